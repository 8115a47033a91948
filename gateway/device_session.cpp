#include "device_session.h"

#include <ducta.h>

#include <array>
#include <string>

#include "device_monitor.h"
#include "device_port.h"
#include "message_format.h"
#include "system_error.h"

namespace gateway {
namespace {

using common::Done;
using common::Failure;
using common::FailureKind;
using common::Outcome;

const char* TextOrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

}  // namespace

Failure DeviceSession::Fail(DeviceFailure::Call call, std::uint16_t result, int code) {
    if (call != DeviceFailure::Call::kOpen && openCount_ == 0)
        return Fail(Failure{FailureKind::kNotConnected, "device not connected"});
    Failure failure = Fail(FailureOf({call, result, code}, Com(), path_));
    if (monitor_ == nullptr || call != DeviceFailure::Call::kTransfer) return failure;
    switch (failure.kind) {
        case FailureKind::kModemLost:
            monitor_->ModemConnectionLost();
            break;
        case FailureKind::kPortLost:
            monitor_->PortLost();
            break;
        case FailureKind::kDamagedReply:
        case FailureKind::kRefusedByDevice:
            monitor_->TransferWorked();  // a reply came: the line is there
            break;
        default:
            break;
    }
    return failure;
}

Failure DeviceSession::Fail(Failure failure) {
    if (monitor_ != nullptr) monitor_->Failed(failure.words);
    return failure;
}

Outcome<> DeviceSession::Open() {
    if (openCount_ > 0) {
        ++openCount_;
        return Done{};
    }
    path_ = DevicePathOfCom(Com());
    if (monitor_ != nullptr) monitor_->SetPort(Com(), path_.value_or(""));
    if (DCT_module_open() != 0)
        return Fail(Failure{FailureKind::kOther, "the device library cannot be set up"});
    // The library takes the channel as a modem line when it gets an init or a dial text.
    const bool modemLine = modem_.useModem && (!modem_.init.empty() || !modem_.dial.empty());
    if (modemLine && monitor_ != nullptr) monitor_->Dialling();
    const std::uint16_t result =
        modem_.useModem ? DCT_Open(0, ChannelByte(), 0, TextOrNull(modem_.init),
                                   TextOrNull(modem_.dial), TextOrNull(modem_.hangup), 0)
                        : DCT_Open(0, ChannelByte(), 0, nullptr, nullptr, nullptr, 0);
    if (result != DCT_RESULT_OK) {
        Failure failure = Fail(DeviceFailure::Call::kOpen, result, common::LastSystemError());
        DCT_module_close();
        if (monitor_ != nullptr) monitor_->Closed();
        return failure;
    }
    openCount_ = 1;
    if (monitor_ != nullptr) monitor_->Opened(modemLine && !modem_.dial.empty());
    return Done{};
}

Outcome<> DeviceSession::Close() {
    if (openCount_ == 1) {
        if (const std::uint16_t r = DCT_Close(0, ChannelByte()); r != DCT_RESULT_OK) {
            Failure failure = Fail(DeviceFailure::Call::kClose, r, common::LastSystemError());
            // The library is released either way; the count must agree with it.
            DCT_module_close();
            openCount_ = 0;
            if (monitor_ != nullptr) monitor_->Closed();
            return failure;
        }
        if (DCT_module_close() != 0)
            return Fail(Failure{FailureKind::kOther, "the device library cannot be released"});
        if (monitor_ != nullptr) monitor_->Closed();
    }
    if (openCount_ > 0) --openCount_;
    return Done{};
}

Outcome<> DeviceSession::ForceClose() {
    if (openCount_ > 1) openCount_ = 1;
    return Close();
}

Outcome<> DeviceSession::SetChannel(int channel) {
    if (channel == channel_) return Done{};
    if (openCount_ == 0) {
        channel_ = channel;
        path_ = DevicePathOfCom(Com());
        if (monitor_ != nullptr) monitor_->SetPort(Com(), path_.value_or(""));
        return Done{};
    }
    const int count = openCount_;
    if (auto closed = ForceClose(); !closed.Ok()) return closed;
    channel_ = channel;
    auto opened = Open();
    if (opened.Ok()) openCount_ = count;
    return opened;
}

// One request and its reply; the reply's SNVT number and command are not compared with the
// request's.
Outcome<Value> DeviceSession::Transact(std::uint16_t snvt, std::uint8_t command,
                                       std::span<const std::uint8_t> data) {
    std::uint16_t r = DCT_Write(0, ChannelByte(), snvt, command, data.data(),
                                static_cast<std::uint16_t>(data.size()));
    if (r != DCT_RESULT_OK)
        return Fail(DeviceFailure::Call::kTransfer, r, common::LastSystemError());
    std::uint16_t replySnvt = 0;
    std::uint8_t replyCommand = 0;
    std::uint8_t ok = 0;
    std::array<std::uint8_t, DCT_READ_BUFFER_SIZE> reply{};
    std::uint16_t length = 0;
    r = DCT_Read(0, ChannelByte(), &replySnvt, &replyCommand, &ok, reply.data(), &length);
    if (r != DCT_RESULT_OK)
        return Fail(DeviceFailure::Call::kTransfer, r, common::LastSystemError());
    if (monitor_ != nullptr) monitor_->TransferWorked();
    // A length byte below 2 comes back as a "negative" length: an answer without a data field,
    // which a write's acknowledgement may be but a read's value may not.
    if (length > kMaxValueSize) {
        if (command == DCT_COMMAND_WRITE) return Value{};
        return Fail(Failure{FailureKind::kRefused, "reply without a data field"});
    }
    return Value(reply.begin(), reply.begin() + length);
}

Outcome<Value> DeviceSession::Read(std::uint16_t snvt) {
    return Transact(snvt, DCT_COMMAND_READ, {});
}

Outcome<> DeviceSession::Write(std::uint16_t snvt, std::span<const std::uint8_t> value) {
    auto acknowledged = Transact(snvt, DCT_COMMAND_WRITE, value);
    if (!acknowledged.Ok()) return acknowledged.Why();
    return Done{};
}

}  // namespace gateway
