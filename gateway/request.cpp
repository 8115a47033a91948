#include "request.h"

#include <algorithm>
#include <string>

#include "message_format.h"

namespace gateway {
namespace {

Command CommandOf(std::uint16_t code) {
    switch (code) {
        case kDeviceConnect:
            return Command::kDeviceConnect;
        case kDeviceDisconnect:
            return Command::kDeviceDisconnect;
        case kSnvtRead:
            return Command::kSnvtRead;
        case kSnvtWrite:
            return Command::kSnvtWrite;
        case kLastReason:
            return Command::kLastReason;
        default:
            return Command::kUnknown;
    }
}

}  // namespace

bool Request::ForDevice() const {
    return !refusal && command != Command::kUnknown && command != Command::kLastReason;
}

Request DecodeRequest(std::span<const std::uint8_t> body) {
    Request request;
    std::copy_n(body.begin(), std::min(body.size(), request.header.size()), request.header.begin());
    // A lone byte is a code with a zero behind it; an empty body has no code at all.
    request.command = body.empty() ? Command::kUnknown
                                   : CommandOf(ReadBigEndian16(request.header.data()));
    if (request.command == Command::kUnknown) {
        request.value.assign(body.begin(), std::find(body.begin(), body.end(), 0));
        return request;
    }
    request.snvt = ReadBigEndian16(request.header.data() + 2);
    if (body.size() < kHeaderSize) {
        request.refusal = common::Failure{
            common::FailureKind::kRefused,
            "request of " + std::to_string(body.size()) + " bytes is shorter than its header (" +
                std::to_string(kHeaderSize) + ")"};
        return request;
    }
    if (request.command != Command::kSnvtWrite) return request;
    const auto value = body.subspan(kHeaderSize);
    if (value.size() > kMaxValueSize) {
        request.refusal = common::Failure{
            common::FailureKind::kRefused,
            "value of " + std::to_string(value.size()) +
                " bytes does not fit a device frame (at most " + std::to_string(kMaxValueSize) +
                ")"};
        return request;
    }
    request.value.assign(value.begin(), value.end());
    return request;
}

Value EncodeReply(const Request& request, const DeviceOutcome& outcome) {
    Value reply(request.header.begin(), request.header.end());
    reply.push_back(outcome.Ok() ? kStatusOk : kStatusError);
    if (outcome.Ok()) reply.insert(reply.end(), outcome.Value().begin(), outcome.Value().end());
    return reply;
}

const char* CommandName(Command command) {
    switch (command) {
        case Command::kDeviceConnect:
            return "DEVICE_CONNECT";
        case Command::kDeviceDisconnect:
            return "DEVICE_DISCONNECT";
        case Command::kSnvtRead:
            return "SNVT_READ";
        case Command::kSnvtWrite:
            return "SNVT_WRITE";
        case Command::kLastReason:
            return "LAST_REASON";
        case Command::kUnknown:
            break;
    }
    return nullptr;
}

}  // namespace gateway
