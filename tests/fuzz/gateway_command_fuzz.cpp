// The gateway's command handling on one request body, with no device (every open and
// transaction fails) or with a device that opens but then fails, or answers. The first input
// byte chooses the device and the length of a value read; the rest is the body.
#include <algorithm>
#include <vector>

#include "command_handler.h"
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
    // The server's buffer: the body, a zero byte behind it, room for the largest reply; what an
    // earlier message left in it must not matter.
    std::vector<std::uint8_t> buffer(gateway::kMaxBodySize + 1, 0xEE);
    std::copy(data + 1, data + size, buffer.begin());
    buffer[received] = 0;
    const std::vector<std::uint8_t> body(data + 1, data + size);

    const auto answer = gateway::AnswerWithoutDevice(log, buffer.data(), received, 7);
    std::vector<std::uint8_t> again(gateway::kMaxBodySize + 1, 0x11);
    std::copy(body.begin(), body.end(), again.begin());
    again[received] = 0;
    const std::uint16_t length =
        gateway::HandleGatewayCommand(device, log, again.data(), received, 7);
    Require(length <= gateway::kMaxBodySize);

    const std::uint16_t code = received >= 2 ? gateway::ReadBigEndian16(body.data()) : 0;
    const bool known =
        received > 0 && code >= gateway::kDeviceConnect && code <= gateway::kSnvtWrite;
    if (!known) {
        // The echo: the body up to its first zero byte, nothing of the buffer behind it.
        Require(answer.has_value() && *answer == length && device.calls == 0);
        Require(length <= received);
        Require(std::equal(again.begin(), again.begin() + length, body.begin()));
        Require(std::find(body.begin(), body.begin() + length, 0) == body.begin() + length);
        return 0;
    }
    const std::uint8_t status = again[4];
    Require(status == gateway::kStatusOk || status == gateway::kStatusError);
    if (received < static_cast<int>(gateway::kHeaderSize)) {
        // Short: ERROR, the missing header bytes as zero, no device call.
        Require(answer.has_value() && *answer == length && length == gateway::kHeaderSize);
        Require(device.calls == 0 && status == gateway::kStatusError);
        for (int i = received; i < 4; ++i) Require(again[i] == 0);
        return 0;
    }
    Require(!answer.has_value());
    // A value too long for a device frame never reaches the device.
    const bool tooLong =
        code == gateway::kSnvtWrite && received - static_cast<int>(gateway::kHeaderSize) >
                                           static_cast<int>(gateway::kMaxValueSize);
    Require(device.calls == (tooLong ? 0 : 1));
    if (tooLong) Require(status == gateway::kStatusError);
    Require(std::equal(again.begin(), again.begin() + 4, body.begin()));
    if (status == gateway::kStatusOk && code == gateway::kSnvtRead) {
        Require(length >= gateway::kHeaderSize &&
                length <= gateway::kHeaderSize + gateway::kMaxValueSize);
    } else {
        Require(length == gateway::kHeaderSize);
    }
    return 0;
}
