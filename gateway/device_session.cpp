#include "device_session.h"

#include <ducta.h>

#include <string>

#include "device_monitor.h"
#include "device_port.h"
#include "port_failure.h"
#include "system_error.h"

namespace gateway {
namespace {

const char* TextOrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

// Whether a failed transfer's reason says that the port itself has gone.
bool PortGone(const DeviceFailure& failure) {
    if (failure.result != DCT_RESULT_FAILED || DCT_REASON_IS_MODEM(failure.code)) return false;
    const common::PortFailure kind = common::ClassifyPortError(failure.code);
    return kind == common::PortFailure::kGone || kind == common::PortFailure::kMissing;
}

}  // namespace

void DeviceSession::Fail(DeviceFailure::Call call, std::uint16_t result, int code) {
    const DeviceFailure failure{call, result, code};
    if (call != DeviceFailure::Call::kOpen && openCount_ == 0) {
        Fail("device not connected");
        return;
    }
    Fail(FailureReason(failure, Com(), path_));
    if (monitor_ == nullptr || call != DeviceFailure::Call::kTransfer) return;
    if (result == DCT_RESULT_FAILED && code == DCT_REASON_MODEM_CONNECTION_LOST) {
        monitor_->ModemConnectionLost();
    } else if (PortGone(failure)) {
        monitor_->PortLost();
    } else if (result == DCT_RESULT_CHECKSUM || result == DCT_RESULT_FLAGGED) {
        monitor_->TransferWorked();  // a reply came: the line is there
    }
}

void DeviceSession::Fail(std::string reason) {
    reason_ = std::move(reason);
    if (monitor_ != nullptr) monitor_->Failed(reason_);
}

std::string DeviceSession::FailureLine(std::string_view gatewayReason) {
    if (!gatewayReason.empty()) Fail(std::string(gatewayReason));
    if (reason_.empty()) return {};
    return "Device on COM" + std::to_string(Com()) + ": " + reason_;
}

bool DeviceSession::DeviceOpen() {
    reason_.clear();
    if (openCount_ > 0) {
        ++openCount_;
        return true;
    }
    path_ = DevicePathOfCom(Com());
    if (monitor_ != nullptr) monitor_->SetPort(Com(), path_.value_or(""));
    if (DCT_module_open() != 0) {
        Fail("the device library cannot be set up");
        return false;
    }
    // The library takes the channel as a modem line when it gets an init or a dial text.
    const bool modemLine = modem_.useModem && (!modem_.init.empty() || !modem_.dial.empty());
    if (modemLine && monitor_ != nullptr) monitor_->Dialling();
    std::uint16_t result = modem_.useModem
                               ? DCT_Open(0, ChannelByte(), 0, TextOrNull(modem_.init),
                                          TextOrNull(modem_.dial), TextOrNull(modem_.hangup), 0)
                               : DCT_Open(0, ChannelByte(), 0, nullptr, nullptr, nullptr, 0);
    if (result != DCT_RESULT_OK) {
        Fail(DeviceFailure::Call::kOpen, result, common::LastSystemError());
        DCT_module_close();
        if (monitor_ != nullptr) monitor_->Closed();
        return false;
    }
    openCount_ = 1;
    if (monitor_ != nullptr) monitor_->Opened(modemLine && !modem_.dial.empty());
    return true;
}

bool DeviceSession::DeviceClose() {
    reason_.clear();
    if (openCount_ == 1) {
        if (const std::uint16_t r = DCT_Close(0, ChannelByte()); r != DCT_RESULT_OK) {
            Fail(DeviceFailure::Call::kClose, r, common::LastSystemError());
            // The library is released either way; the count must agree with it.
            DCT_module_close();
            openCount_ = 0;
            if (monitor_ != nullptr) monitor_->Closed();
            return false;
        }
        if (DCT_module_close() != 0) {
            Fail("the device library cannot be released");
            return false;
        }
        if (monitor_ != nullptr) monitor_->Closed();
    }
    if (openCount_ > 0) --openCount_;
    return true;
}

bool DeviceSession::DeviceForceClose() {
    if (openCount_ > 1) openCount_ = 1;
    return DeviceClose();
}

bool DeviceSession::SetChannel(int channel) {
    reason_.clear();
    if (channel == channel_) return true;
    if (openCount_ == 0) {
        channel_ = channel;
        path_ = DevicePathOfCom(Com());
        if (monitor_ != nullptr) monitor_->SetPort(Com(), path_.value_or(""));
        return true;
    }
    const int count = openCount_.load();
    if (!DeviceForceClose()) return false;
    channel_ = channel;
    if (!DeviceOpen()) return false;
    openCount_ = count;
    return true;
}

bool DeviceSession::SetModemSettings(const ModemSettings& settings) {
    modem_ = settings;
    return true;
}

// One request and its reply; the reply's SNVT number and command are not compared with the
// request's.
bool DeviceSession::Transact(std::uint16_t snvt, std::uint8_t command, const std::uint8_t* data,
                             std::uint16_t dataLength, std::uint8_t* reply,
                             std::uint16_t* replyLength) {
    reason_.clear();
    std::uint16_t r = DCT_Write(0, ChannelByte(), snvt, command, data, dataLength);
    if (r != DCT_RESULT_OK) {
        Fail(DeviceFailure::Call::kTransfer, r, common::LastSystemError());
        return false;
    }
    std::uint16_t replySnvt = 0;
    std::uint8_t replyCommand = 0;
    std::uint8_t ok = 0;
    r = DCT_Read(0, ChannelByte(), &replySnvt, &replyCommand, &ok, reply, replyLength);
    if (r != DCT_RESULT_OK) {
        Fail(DeviceFailure::Call::kTransfer, r, common::LastSystemError());
        return false;
    }
    if (monitor_ != nullptr) monitor_->TransferWorked();
    return true;
}

bool DeviceSession::SnvtRead(std::uint16_t snvt, std::uint8_t* data, std::uint16_t* length) {
    *length = 0;
    if (Transact(snvt, DCT_COMMAND_READ, nullptr, 0, data, length)) return true;
    *length = 0;
    return false;
}

bool DeviceSession::SnvtWrite(std::uint16_t snvt, const std::uint8_t* data, std::uint16_t length) {
    std::uint8_t acknowledgement[DCT_READ_BUFFER_SIZE];
    std::uint16_t acknowledgementLength = 0;
    return Transact(snvt, DCT_COMMAND_WRITE, data, length, acknowledgement, &acknowledgementLength);
}

}  // namespace gateway
