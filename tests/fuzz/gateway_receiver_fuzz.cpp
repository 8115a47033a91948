// The gateway's message receiver over an arbitrary byte stream, fed in the pieces the server
// reads (never past the end of a message), message after message.
#include <algorithm>

#include "fuzz_input.h"
#include "message_receiver.h"

using vr620_fuzz::Require;
using State = gateway::MessageReceiver::State;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    gateway::MessageReceiver receiver;
    std::size_t pos = 0;
    std::size_t step = 1;
    std::size_t messageStart = 0;
    while (pos < size) {
        const std::size_t wanted = receiver.Wanted();
        Require(wanted >= 1 && wanted <= gateway::kMaxBodySize);
        const std::size_t piece = vr620_fuzz::NextPiece(wanted, size - pos, data[pos], step);
        Require(receiver.Feed({data + pos, piece}) == piece);
        pos += piece;
        Require(receiver.InMessage() || receiver.GetState() != State::kLength);
        switch (receiver.GetState()) {
            case State::kTooLong:
                Require(
                    gateway::DecodeLength(std::span<const std::uint8_t, gateway::kLengthFieldSize>(
                        data + messageStart, gateway::kLengthFieldSize)) > gateway::kMaxBodySize);
                Require(pos - messageStart == gateway::kLengthFieldSize);
                // A second feed takes nothing: the body is never read.
                Require(receiver.Feed({data, size}) == 0);
                receiver.Next();
                messageStart = pos;
                break;
            case State::kComplete: {
                const auto body = receiver.Body();
                Require(body.size() <= gateway::kMaxBodySize);
                Require(pos - messageStart == gateway::kLengthFieldSize + body.size());
                Require(std::equal(body.begin(), body.end(),
                                   data + messageStart + gateway::kLengthFieldSize));
                Require(receiver.Feed({data, size}) == 0);
                receiver.Next();
                messageStart = pos;
                break;
            }
            default:
                break;
        }
    }
    return 0;
}
