#include "controller.h"

#include <array>
#include <span>

#include "fault_points.h"

namespace sim {

namespace {

std::vector<std::uint8_t> Frame(std::uint8_t command, std::uint16_t point,
                                std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, ducta::kMaxFrameSize> out{};
    const std::size_t n = ducta::BuildFrame(command, static_cast<std::uint8_t>(point >> 8),
                                            static_cast<std::uint8_t>(point & 0xFF), data, out);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<std::uint8_t> Refusal(const ducta::Frame& request) {
    return Frame(static_cast<std::uint8_t>(request.command | 0x01), request.Index(), {});
}

// A frame of L + 4 bytes whose length byte L is too small to hold the point; its checksum
// is right for the bytes it has, so only the length is wrong.
std::vector<std::uint8_t> ShortFrame(std::uint8_t command, std::uint8_t lengthByte,
                                     std::uint16_t point) {
    std::vector<std::uint8_t> f{ducta::kStx, command, lengthByte};
    if (lengthByte == 1) f.push_back(static_cast<std::uint8_t>(point >> 8));
    f.push_back(ducta::FrameChecksum(std::span<const std::uint8_t>(f).subspan(1)));
    return f;
}

}  // namespace

Controller::Controller(DataTable& table, Log log) : table_(table), log_(std::move(log)) {}

Reply Controller::Answer(const ducta::Frame& request) {
    if (!request.checksumOk) {
        log_("request checksum wrong: no reply");
        return {};
    }
    for (const FaultPoint& faultPoint : kFaultPoints) {
        if (faultPoint.point == request.Index()) return Faulty(request, faultPoint);
    }
    return Normal(request);
}

Reply Controller::Normal(const ducta::Frame& request) {
    const std::uint16_t point = request.Index();
    const Value* value = table_.Find(point);
    if (request.command == kCommandRead && value != nullptr) {
        return {Frame(kCommandReadReply, point, *value)};
    }
    if (request.command == kCommandWrite && value != nullptr) {
        const Value newValue(request.data.begin(),
                             request.data.begin() + static_cast<std::ptrdiff_t>(request.dataSize));
        if (const auto stored = table_.Store(point, newValue); !stored.Ok()) {
            // A value that could not be kept must not be reported as written.
            log_("write not stored (" + stored.Why().words + "): refused");
            return {Refusal(request)};
        }
        return {Frame(kCommandWrite, point, {})};
    }
    log_(request.command == kCommandRead || request.command == kCommandWrite
             ? "unknown data point: refused"
             : "unknown command: refused");
    return {Refusal(request)};
}

Reply Controller::Faulty(const ducta::Frame& request, const FaultPoint& faultPoint) {
    log_(std::string("fault point: ") + faultPoint.description);
    const std::uint16_t point = faultPoint.point;
    // What a healthy point would answer: a read gets the point's two bytes as its value,
    // a write is acknowledged without being stored.
    const bool isWrite = request.command == kCommandWrite;
    const std::uint8_t command = isWrite ? kCommandWrite : kCommandReadReply;
    const std::array<std::uint8_t, 2> value{static_cast<std::uint8_t>(point >> 8),
                                            static_cast<std::uint8_t>(point & 0xFF)};
    const std::span<const std::uint8_t> data =
        isWrite ? std::span<const std::uint8_t>() : std::span<const std::uint8_t>(value);
    std::vector<std::uint8_t> valid = Frame(command, point, data);

    Reply reply;
    switch (faultPoint.fault) {
        case Fault::kNone:
            reply.bytes = std::move(valid);
            break;
        case Fault::kSilence:
            break;
        case Fault::kBadChecksum:
            valid.back() = static_cast<std::uint8_t>(valid.back() + 1);
            reply.bytes = std::move(valid);
            break;
        case Fault::kNoise:
            reply.bytes = {0xFF, 0x00, 0x55, 0xAA, 0x13};
            reply.bytes.insert(reply.bytes.end(), valid.begin(), valid.end());
            break;
        case Fault::kStrayStx:
            reply.bytes = {ducta::kStx};
            reply.bytes.insert(reply.bytes.end(), valid.begin(), valid.end());
            break;
        case Fault::kSlow:
            reply.bytes = std::move(valid);
            reply.byteGap = kSlowByteGap;
            break;
        case Fault::kLengthZero:
            reply.bytes = ShortFrame(command, 0, point);
            break;
        case Fault::kLengthOne:
            reply.bytes = ShortFrame(command, 1, point);
            break;
        case Fault::kFlagged:
            reply.bytes = Frame(static_cast<std::uint8_t>(command | 0x01), point, data);
            break;
    }
    return reply;
}

}  // namespace sim
