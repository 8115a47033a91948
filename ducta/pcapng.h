// The blocks of a pcapng file, pure and without I/O: a section header, an interface
// description and an enhanced packet with its direction flag. Written little-endian with the
// byte-order magic, so that a file reads the same wherever it was written.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace ducta::pcapng {

// Wireshark's own records of a dissector's data: a list of tags in front of the bytes, one of
// which names the dissector that reads them.
inline constexpr std::uint16_t kLinkTypeUpperPdu = 252;
// The tags of such a record: big-endian type and length, the value padded to four bytes.
inline constexpr std::uint16_t kTagEnd = 0;
inline constexpr std::uint16_t kTagProtocolName = 12;

enum class Direction : std::uint32_t { kInbound = 1, kOutbound = 2 };

using Bytes = std::vector<std::uint8_t>;

// A section of unknown length (more sections are appended after it) written by `application`.
void AppendSectionHeader(Bytes& out, std::string_view application);
// An interface of `linkType`, captured whole, with its name and description.
void AppendInterface(Bytes& out, std::uint16_t linkType, std::string_view name,
                     std::string_view description);
// One packet of the interface numbered `interfaceId` in its section: the bytes of `head` and
// `body` one after the other, the time in microseconds since 1970 and the direction.
void AppendPacket(Bytes& out, std::uint32_t interfaceId, std::uint64_t microseconds,
                  Direction direction, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> body);
// The size AppendPacket gives a packet of `captured` bytes.
std::size_t PacketSize(std::size_t captured);

// The tags of an upper-PDU record that hands its bytes to the dissector named `protocol`.
Bytes UpperPduHeader(std::string_view protocol);

}  // namespace ducta::pcapng
