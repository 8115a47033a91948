// The gateway's command handling on one request body, with no device (every open and
// transaction fails) or with a device that opens but then fails, or answers. The first input
// byte chooses the device and the length of a value read; the rest is the body.
#include <algorithm>
#include <vector>

#include "command_handler.h"
#include "device_actions.h"
#include "fuzz_input.h"
#include "log_writer.h"
#include "message_format.h"

using vr620_fuzz::Require;

namespace {

// Stands in for the device session: no serial line can be opened while fuzzing.
class FuzzDevice : public gateway::DeviceActions {
  public:
    FuzzDevice(std::uint8_t behaviour) : behaviour_(behaviour) {}
    bool DeviceOpen() override {
        ++calls;
        return Opens();
    }
    bool DeviceClose() override {
        ++calls;
        return Opens();
    }
    bool SnvtRead(std::uint16_t, std::uint8_t* data, std::uint16_t* length) override {
        ++calls;
        *length = 0;
        if (!Answers()) return false;
        // Up to the largest data field of a device frame, and once past it, which the handler
        // must refuse rather than send.
        *length = static_cast<std::uint16_t>((behaviour_ >> 2) * 5);
        std::fill_n(data, std::min<std::size_t>(*length, gateway::kMaxValueSize + 1), 0x5A);
        return true;
    }
    bool SnvtWrite(std::uint16_t, const std::uint8_t*, std::uint16_t length) override {
        ++calls;
        Require(length <= gateway::kMaxValueSize);
        return Answers();
    }
    int calls = 0;

  private:
    bool Opens() const { return (behaviour_ & 3) != 0; }
    bool Answers() const { return (behaviour_ & 3) == 2; }
    std::uint8_t behaviour_;
};

class NullReceiver : public gateway::LogReceiver {
  public:
    void ReceiveLogLine(const char*) override {}
    std::uint32_t LogReceiverId() const override { return 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size - 1 > static_cast<std::size_t>(gateway::kMaxBodySize)) return 0;
    FuzzDevice device(data[0]);
    // The log lines are formatted too, as when a window is attached.
    static NullReceiver receiver;
    static gateway::LogWriter log;
    static const bool attached = (log.Attach(&receiver), true);
    (void)attached;

    const int received = static_cast<int>(size - 1);
    const std::vector<std::uint8_t> body(data + 1, data + size);

    const auto answer = gateway::AnswerWithoutDevice(log, body, 7);
    const std::vector<std::uint8_t> reply = gateway::HandleGatewayCommand(device, log, body, 7);
    const std::size_t length = reply.size();
    Require(length <= gateway::kMaxBodySize);

    const std::uint16_t code = received >= 2 ? gateway::ReadBigEndian16(body.data()) : 0;
    const bool known =
        received > 0 && code >= gateway::kDeviceConnect && code <= gateway::kSnvtWrite;
    if (!known) {
        // The echo: the body up to its first zero byte.
        Require(answer.has_value() && *answer == reply && device.calls == 0);
        Require(length <= body.size());
        Require(std::equal(reply.begin(), reply.end(), body.begin()));
        Require(std::find(reply.begin(), reply.end(), 0) == reply.end());
        return 0;
    }
    Require(length >= gateway::kHeaderSize);
    const std::uint8_t status = reply[4];
    Require(status == gateway::kStatusOk || status == gateway::kStatusError);
    if (received < static_cast<int>(gateway::kHeaderSize)) {
        // Short: ERROR, the missing header bytes as zero, no device call.
        Require(answer.has_value() && *answer == reply && length == gateway::kHeaderSize);
        Require(device.calls == 0 && status == gateway::kStatusError);
        Require(std::equal(body.begin(), body.end(), reply.begin()));
        for (int i = received; i < 4; ++i) Require(reply[i] == 0);
        return 0;
    }
    Require(!answer.has_value());
    // A value too long for a device frame never reaches the device.
    const bool tooLong =
        code == gateway::kSnvtWrite && received - static_cast<int>(gateway::kHeaderSize) >
                                           static_cast<int>(gateway::kMaxValueSize);
    Require(device.calls == (tooLong ? 0 : 1));
    if (tooLong) Require(status == gateway::kStatusError);
    Require(std::equal(reply.begin(), reply.begin() + 4, body.begin()));
    if (status == gateway::kStatusOk && code == gateway::kSnvtRead) {
        Require(length <= gateway::kHeaderSize + gateway::kMaxValueSize);
        Require(
            std::all_of(reply.begin() + 5, reply.end(), [](std::uint8_t b) { return b == 0x5A; }));
    } else {
        Require(length == gateway::kHeaderSize);
    }
    return 0;
}
