#include "device_session.h"

#include <ducta.h>

#include <mutex>

namespace gateway {
namespace {

struct Session {
    int openCount = 0;
    int channel = 0;
    bool useModem = false;
    std::string init;
    std::string dial;
    std::string hangup;
};

std::mutex sessionMutex;
Session session;

std::uint8_t ChannelByte() {
    return static_cast<std::uint8_t>(session.channel & 0xFF);
}

const char* TextOrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

bool OpenLocked() {
    if (session.openCount > 0) {
        ++session.openCount;
        return true;
    }
    if (DCT_module_open() != 0) return false;
    std::uint16_t result = session.useModem
                               ? DCT_Open(0, ChannelByte(), 0, TextOrNull(session.init),
                                          TextOrNull(session.dial), TextOrNull(session.hangup), 0)
                               : DCT_Open(0, ChannelByte(), 0, nullptr, nullptr, nullptr, 0);
    if (result != DCT_RESULT_OK) {
        DCT_module_close();
        return false;
    }
    session.openCount = 1;
    return true;
}

bool CloseLocked() {
    if (session.openCount == 1) {
        if (DCT_Close(0, ChannelByte()) != DCT_RESULT_OK) {
            // The library is released either way; the count must agree with it.
            DCT_module_close();
            session.openCount = 0;
            return false;
        }
        if (DCT_module_close() != 0) return false;
    }
    if (session.openCount > 0) --session.openCount;
    return true;
}

bool ForceCloseLocked() {
    if (session.openCount > 1) session.openCount = 1;
    return CloseLocked();
}

// One request and its reply; the reply's index and command are not compared with the request.
bool TransactLocked(std::uint16_t snvt, std::uint8_t command, const std::uint8_t* data,
                    std::uint16_t dataLength, std::uint8_t* reply, std::uint16_t* replyLength) {
    if (DCT_Write(0, ChannelByte(), snvt, command, data, dataLength) != DCT_RESULT_OK) return false;
    std::uint16_t index = 0;
    std::uint8_t replyCommand = 0;
    std::uint8_t ok = 0;
    if (DCT_Read(0, ChannelByte(), &index, &replyCommand, &ok, reply, replyLength) != DCT_RESULT_OK)
        return false;
    // A length byte below 2 gives a "negative" length: the answer has no data field at all.
    return *replyLength <= DCT_MAX_DATA;
}

}  // namespace

int OpenCount() {
    std::lock_guard lock(sessionMutex);
    return session.openCount;
}

int GetChannel() {
    std::lock_guard lock(sessionMutex);
    return session.channel;
}

bool SetChannel(int channel) {
    std::lock_guard lock(sessionMutex);
    if (channel == session.channel) return true;
    if (session.openCount == 0) {
        session.channel = channel;
        return true;
    }
    int count = session.openCount;
    if (!ForceCloseLocked()) return false;
    session.channel = channel;
    if (!OpenLocked()) return false;
    session.openCount = count;
    return true;
}

bool SetModemSettings(bool useModem, const std::string& init, const std::string& dial,
                      const std::string& hangup) {
    std::lock_guard lock(sessionMutex);
    session.useModem = useModem;
    session.init = init;
    session.dial = dial;
    session.hangup = hangup;
    return true;
}

bool DeviceOpen() {
    std::lock_guard lock(sessionMutex);
    return OpenLocked();
}

bool DeviceClose() {
    std::lock_guard lock(sessionMutex);
    return CloseLocked();
}

bool DeviceForceClose() {
    std::lock_guard lock(sessionMutex);
    return ForceCloseLocked();
}

bool SnvtRead(std::uint16_t snvt, std::uint8_t* data, std::uint16_t* length) {
    std::lock_guard lock(sessionMutex);
    *length = 0;
    if (TransactLocked(snvt, DCT_COMMAND_READ, nullptr, 0, data, length)) return true;
    *length = 0;
    return false;
}

bool SnvtWrite(std::uint16_t snvt, const std::uint8_t* data, std::uint16_t length) {
    if (length > DCT_MAX_DATA) return false;
    std::lock_guard lock(sessionMutex);
    std::uint8_t acknowledgement[DCT_READ_BUFFER_SIZE];
    std::uint16_t acknowledgementLength = 0;
    return TransactLocked(snvt, DCT_COMMAND_WRITE, data, length, acknowledgement,
                          &acknowledgementLength);
}

void ResetDeviceSession() {
    std::lock_guard lock(sessionMutex);
    session = Session{};
}

}  // namespace gateway
