#include "device_session.h"

#include <ducta.h>

#include <string>

namespace gateway {
namespace {

const char* TextOrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

}  // namespace

bool DeviceSession::DeviceOpen() {
    if (openCount_ > 0) {
        ++openCount_;
        return true;
    }
    if (DCT_module_open() != 0) return false;
    std::uint16_t result = modem_.useModem
                               ? DCT_Open(0, ChannelByte(), 0, TextOrNull(modem_.init),
                                          TextOrNull(modem_.dial), TextOrNull(modem_.hangup), 0)
                               : DCT_Open(0, ChannelByte(), 0, nullptr, nullptr, nullptr, 0);
    if (result != DCT_RESULT_OK) {
        DCT_module_close();
        return false;
    }
    openCount_ = 1;
    return true;
}

bool DeviceSession::DeviceClose() {
    if (openCount_ == 1) {
        if (DCT_Close(0, ChannelByte()) != DCT_RESULT_OK) {
            // The library is released either way; the count must agree with it.
            DCT_module_close();
            openCount_ = 0;
            return false;
        }
        if (DCT_module_close() != 0) return false;
    }
    if (openCount_ > 0) --openCount_;
    return true;
}

bool DeviceSession::DeviceForceClose() {
    if (openCount_ > 1) openCount_ = 1;
    return DeviceClose();
}

bool DeviceSession::SetChannel(int channel) {
    if (channel == channel_) return true;
    if (openCount_ == 0) {
        channel_ = channel;
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
    if (DCT_Write(0, ChannelByte(), snvt, command, data, dataLength) != DCT_RESULT_OK) return false;
    std::uint16_t replySnvt = 0;
    std::uint8_t replyCommand = 0;
    std::uint8_t ok = 0;
    return DCT_Read(0, ChannelByte(), &replySnvt, &replyCommand, &ok, reply, replyLength) ==
           DCT_RESULT_OK;
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
