#include "pcapng.h"

namespace ducta::pcapng {
namespace {

constexpr std::uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescription = 1;
constexpr std::uint32_t kEnhancedPacket = 6;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint16_t kOptionEnd = 0;
constexpr std::uint16_t kSectionApplication = 4;  // shb_userappl
constexpr std::uint16_t kInterfaceName = 2;       // if_name
constexpr std::uint16_t kInterfaceDescriptionText = 3;
constexpr std::uint16_t kPacketFlags = 2;  // epb_flags, its lowest two bits the direction

std::size_t Padded(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

void Put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutPadded(Bytes& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.resize(out.size() + Padded(bytes.size()) - bytes.size(), 0);
}

std::span<const std::uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void PutOption(Bytes& out, std::uint16_t code, std::span<const std::uint8_t> value) {
    Put16(out, code);
    Put16(out, static_cast<std::uint16_t>(value.size()));
    PutPadded(out, value);
}

// Starts a block; FinishBlock fills in its length, which stands at both ends.
std::size_t StartBlock(Bytes& out, std::uint32_t type) {
    const std::size_t start = out.size();
    Put32(out, type);
    Put32(out, 0);
    return start;
}

void FinishBlock(Bytes& out, std::size_t start) {
    const auto length = static_cast<std::uint32_t>(out.size() - start + 4);
    Put32(out, length);
    for (int i = 0; i < 4; ++i) out[start + 4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
}

// Option texts are cut where their 16-bit length ends.
std::span<const std::uint8_t> OptionText(std::string_view text) {
    return AsBytes(text.substr(0, 0xFFFC));
}

}  // namespace

void AppendSectionHeader(Bytes& out, std::string_view application) {
    const std::size_t start = StartBlock(out, kSectionHeader);
    Put32(out, kByteOrderMagic);
    Put16(out, 1);  // version 1.0
    Put16(out, 0);
    Put32(out, 0xFFFFFFFF);  // section length -1: not known, the file grows
    Put32(out, 0xFFFFFFFF);
    PutOption(out, kSectionApplication, OptionText(application));
    PutOption(out, kOptionEnd, {});
    FinishBlock(out, start);
}

void AppendInterface(Bytes& out, std::uint16_t linkType, std::string_view name,
                     std::string_view description) {
    const std::size_t start = StartBlock(out, kInterfaceDescription);
    Put16(out, linkType);
    Put16(out, 0);
    Put32(out, 0);  // no snapshot length: every packet is captured whole
    PutOption(out, kInterfaceName, OptionText(name));
    PutOption(out, kInterfaceDescriptionText, OptionText(description));
    PutOption(out, kOptionEnd, {});
    FinishBlock(out, start);
}

std::size_t PacketSize(std::size_t captured) {
    // Header 28 bytes, the padded data, the flags option 8, the end option 4, the length 4.
    return 28 + Padded(captured) + 8 + 4 + 4;
}

void AppendPacket(Bytes& out, std::uint32_t interfaceId, std::uint64_t microseconds,
                  Direction direction, std::span<const std::uint8_t> head,
                  std::span<const std::uint8_t> body) {
    const std::size_t start = StartBlock(out, kEnhancedPacket);
    const auto captured = static_cast<std::uint32_t>(head.size() + body.size());
    Put32(out, interfaceId);
    Put32(out, static_cast<std::uint32_t>(microseconds >> 32));
    Put32(out, static_cast<std::uint32_t>(microseconds));
    Put32(out, captured);
    Put32(out, captured);
    out.insert(out.end(), head.begin(), head.end());
    out.insert(out.end(), body.begin(), body.end());
    out.resize(out.size() + Padded(captured) - captured, 0);
    Bytes flags;
    Put32(flags, static_cast<std::uint32_t>(direction));
    PutOption(out, kPacketFlags, flags);
    PutOption(out, kOptionEnd, {});
    FinishBlock(out, start);
}

Bytes UpperPduHeader(std::string_view protocol) {
    Bytes out;
    const auto tag = [&out](std::uint16_t type, std::span<const std::uint8_t> value) {
        // Big-endian, and the length counts the padding, as Wireshark writes these tags.
        const auto length = static_cast<std::uint16_t>(Padded(value.size()));
        out.push_back(static_cast<std::uint8_t>(type >> 8));
        out.push_back(static_cast<std::uint8_t>(type));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(length));
        PutPadded(out, value);
    };
    tag(kTagProtocolName, AsBytes(protocol));
    tag(kTagEnd, {});
    return out;
}

}  // namespace ducta::pcapng
