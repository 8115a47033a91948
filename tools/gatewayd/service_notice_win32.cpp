#include "service_notice.h"

namespace gatewayd {

// Windows starts services through its own service manager, which this program does not speak
// to: nothing is sent.
ServiceNotice::ServiceNotice() = default;

void ServiceNotice::Send(const std::string&) {}

void ServiceNotice::Ready() {}

void ServiceNotice::Status(const std::string&) {}

void ServiceNotice::Stopping() {}

void ServiceNotice::Watchdog() {}

void ServiceStatusReceiver::ReceiveDeviceStatus(const gateway::DeviceStatus&) {}

}  // namespace gatewayd
