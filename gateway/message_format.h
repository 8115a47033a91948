// The gateway's wire format, pure and without I/O. Every message on a connection is a 4-byte
// big-endian body length followed by the body. A request or reply body starts with a 5-byte
// header: command code (16-bit big-endian), SNVT number (16-bit big-endian), status byte; the
// data of a write request or a successful read reply follow it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ducta.h"

namespace gateway {

// The gateway's TCP port unless the user names another.
inline constexpr int kDefaultPort = 7105;

inline constexpr std::size_t kLengthFieldSize = 4;
inline constexpr std::size_t kHeaderSize = 5;
// The largest body the server accepts.
inline constexpr int kMaxBodySize = 4096;
// The value of one data point travels in one device frame, whose data field holds 253 bytes.
inline constexpr std::size_t kMaxValueSize = DCT_MAX_DATA;

enum CommandCode : std::uint16_t {
    kDeviceConnect = 1,
    kDeviceDisconnect = 2,
    kSnvtRead = 3,
    kSnvtWrite = 4,
    // The words of this connection's most recent ERROR, answered by the gateway itself.
    kLastReason = 0x0010,
};

inline constexpr std::uint8_t kStatusOk = 0x00;
inline constexpr std::uint8_t kStatusError = 0xFF;

std::array<std::uint8_t, kLengthFieldSize> EncodeLength(std::uint32_t length);
std::uint32_t DecodeLength(std::span<const std::uint8_t, kLengthFieldSize> field);

std::uint16_t ReadBigEndian16(const std::uint8_t* bytes);
void WriteBigEndian16(std::uint8_t* bytes, std::uint16_t value);

// A request body: header with status 0, then `data`.
std::vector<std::uint8_t> BuildRequestBody(std::uint16_t code, std::uint16_t snvt,
                                           std::span<const std::uint8_t> data = {});

struct Reply {
    std::uint16_t code = 0;
    std::uint16_t snvt = 0;
    std::uint8_t status = kStatusError;
    std::vector<std::uint8_t> data;
    bool Ok() const { return status == kStatusOk; }
};

// The reply of a known command, or nothing when the body is shorter than its header.
std::optional<Reply> ParseReplyBody(std::span<const std::uint8_t> body);

}  // namespace gateway
