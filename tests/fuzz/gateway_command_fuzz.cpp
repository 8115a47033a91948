// The gateway's decoding of one request body and the reply built from what it came to: the
// first input byte chooses the outcome (a failure, or a value of some length), the rest is the
// body.
#include <algorithm>
#include <vector>

#include "fuzz_input.h"
#include "message_format.h"
#include "request.h"

using vr620_fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size - 1 > static_cast<std::size_t>(gateway::kMaxBodySize)) return 0;
    const std::uint8_t behaviour = data[0];
    const std::vector<std::uint8_t> body(data + 1, data + size);
    const gateway::Request request = gateway::DecodeRequest(body);

    const std::uint16_t code = body.size() >= 2 ? gateway::ReadBigEndian16(body.data()) : 0;
    const bool known = !body.empty() && ((code >= gateway::kDeviceConnect &&
                                          code <= gateway::kSnvtWrite) ||
                                         code == gateway::kLastReason);
    if (!known) {
        // The echo: the body up to its first zero byte.
        Require(request.command == gateway::Command::kUnknown && !request.ForDevice());
        Require(request.value.size() <= body.size());
        Require(std::equal(request.value.begin(), request.value.end(), body.begin()));
        Require(std::find(request.value.begin(), request.value.end(), 0) == request.value.end());
        return 0;
    }
    // A short command and a value too long for a device frame never reach the device.
    const bool tooLong = code == gateway::kSnvtWrite &&
                         body.size() > gateway::kHeaderSize + gateway::kMaxValueSize;
    const bool refused = body.size() < gateway::kHeaderSize || tooLong;
    Require(request.refusal.has_value() == refused);
    Require(request.value.size() <= gateway::kMaxValueSize);
    if (refused || code == gateway::kLastReason) Require(!request.ForDevice());

    const gateway::DeviceOutcome outcome =
        (behaviour & 1) != 0
            ? gateway::DeviceOutcome(gateway::Value(behaviour >> 1, 0x5A))
            : gateway::DeviceOutcome(common::Failure{common::FailureKind::kOther, "fuzz"});
    const gateway::Value reply = gateway::EncodeReply(request, outcome);
    Require(reply.size() >= gateway::kHeaderSize && reply.size() <= gateway::kMaxBodySize);
    Require(reply[4] == (outcome.Ok() ? gateway::kStatusOk : gateway::kStatusError));
    // The header comes back as it was sent, the missing bytes as zero.
    for (std::size_t i = 0; i < 4; ++i) Require(reply[i] == (i < body.size() ? body[i] : 0));
    Require(reply.size() == gateway::kHeaderSize + (outcome.Ok() ? outcome.Value().size() : 0));
    return 0;
}
