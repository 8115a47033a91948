#include "gateway.h"

#include <memory>
#include <mutex>

#include "device_monitor.h"
#include "device_port.h"
#include "gateway_server.h"

namespace gateway {
namespace {

// The process's one gateway: the server while one runs, and the device's state, which outlives
// servers and holds the channel that SetChannel stores while none runs.
class Gateway {
  public:
    Gateway() : monitor_(ConnectionLog()) { monitor_.SetPort(1, DevicePathOfCom(1).value_or("")); }

    DeviceMonitor& Monitor() { return monitor_; }

    common::Outcome<> Start(const ServerConfig& config, std::function<void()> endedByItself) {
        std::lock_guard lock(mutex_);
        if (server_ != nullptr && server_->Running())
            return common::Failure{common::FailureKind::kOther, "a gateway runs already"};
        server_.reset();  // one that ended: its threads are joined here
        auto server = std::make_shared<GatewayServer>(ConnectionLog(), monitor_);
        auto started = server->Start(config, std::move(endedByItself));
        if (started.Ok()) server_ = std::move(server);
        return started;
    }

    // The server while it runs, else null.
    std::shared_ptr<GatewayServer> Running() {
        std::lock_guard lock(mutex_);
        return server_ != nullptr && server_->Running() ? server_ : nullptr;
    }
    std::shared_ptr<GatewayServer> Any() {
        std::lock_guard lock(mutex_);
        return server_;
    }

    void StoreIdle(int channel) {
        monitor_.SetPort(channel + 1, DevicePathOfCom(channel + 1).value_or(""));
    }

  private:
    DeviceMonitor monitor_;  // before the server, which reports to it
    std::mutex mutex_;       // guards server_: any thread may start, stop or ask
    std::shared_ptr<GatewayServer> server_;
};

Gateway& TheGateway() {
    // Never destroyed: a program that ends with the server running must not join its threads
    // in the middle of the run-time clean-up.
    static auto* gateway = new Gateway;
    return *gateway;
}

}  // namespace

common::Outcome<> StartGatewayServer(const ServerConfig& config,
                                     std::function<void()> endedByItself) {
    return TheGateway().Start(config, std::move(endedByItself));
}

void StopGatewayServerAsync(std::function<void()> stopped) {
    if (auto server = TheGateway().Any()) {
        server->RequestStop(std::move(stopped));
    } else if (stopped) {
        stopped();
    }
}

bool StopGatewayServer() {
    if (auto server = TheGateway().Any()) server->Stop();
    return true;
}

unsigned GetClientCount() {
    auto server = TheGateway().Running();
    return server != nullptr ? server->ClientCount() : 0;
}

bool GatewayServerRunning() {
    return TheGateway().Running() != nullptr;
}

int GatewayServerPort() {
    auto server = TheGateway().Running();
    return server != nullptr ? server->Port() : 0;
}

int GetChannel() {
    return TheGateway().Monitor().Snapshot().com - 1;
}

void SetChannel(int channel, std::function<void(bool)> done) {
    if (auto server = TheGateway().Running()) {
        server->SetChannel(channel, std::move(done));
        return;
    }
    TheGateway().StoreIdle(channel);
    if (done) done(true);
}

void SetModemSettings(const ModemSettings& settings, std::function<void()> done) {
    if (auto server = TheGateway().Running()) {
        server->SetModemSettings(settings, std::move(done));
        return;
    }
    if (done) done();
}

DeviceStatus GetDeviceStatus() {
    return TheGateway().Monitor().Snapshot();
}

void SetDeviceStatusReceiver(DeviceStatusReceiver* receiver) {
    TheGateway().Monitor().Attach(receiver);
}

}  // namespace gateway
