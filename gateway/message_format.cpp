#include "message_format.h"

namespace gateway {

std::array<std::uint8_t, kLengthFieldSize> EncodeLength(std::uint32_t length) {
    return {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
            static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
}

std::uint32_t DecodeLength(std::span<const std::uint8_t, kLengthFieldSize> field) {
    return static_cast<std::uint32_t>(field[0]) << 24 | static_cast<std::uint32_t>(field[1]) << 16 |
           static_cast<std::uint32_t>(field[2]) << 8 | static_cast<std::uint32_t>(field[3]);
}

std::uint16_t ReadBigEndian16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

void WriteBigEndian16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value >> 8);
    bytes[1] = static_cast<std::uint8_t>(value);
}

std::vector<std::uint8_t> BuildRequestBody(std::uint16_t code, std::uint16_t snvt,
                                           std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> body(kHeaderSize + data.size());
    WriteBigEndian16(body.data(), code);
    WriteBigEndian16(body.data() + 2, snvt);
    body[4] = 0;
    std::copy(data.begin(), data.end(), body.begin() + kHeaderSize);
    return body;
}

std::optional<Reply> ParseReplyBody(std::span<const std::uint8_t> body) {
    if (body.size() < kHeaderSize) return std::nullopt;
    Reply reply;
    reply.code = ReadBigEndian16(body.data());
    reply.snvt = ReadBigEndian16(body.data() + 2);
    reply.status = body[4];
    reply.data.assign(body.begin() + kHeaderSize, body.end());
    return reply;
}

}  // namespace gateway
