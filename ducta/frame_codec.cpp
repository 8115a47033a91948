#include "frame_codec.h"

#include <algorithm>

namespace ducta {

std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytes) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : bytes) sum = static_cast<std::uint8_t>(sum + b);
    return sum;
}

std::size_t BuildFrame(std::uint8_t command, std::uint8_t indexHigh, std::uint8_t indexLow,
                       std::span<const std::uint8_t> data,
                       std::array<std::uint8_t, kMaxFrameSize>& out) {
    if (data.size() > kMaxFrameData) return 0;
    out.fill(0);
    out[0] = kStx;
    out[1] = command;
    out[2] = static_cast<std::uint8_t>(data.size() + 2);
    out[3] = indexHigh;
    out[4] = indexLow;
    std::copy(data.begin(), data.end(), out.begin() + 5);
    const std::size_t body = data.size() + 4;  // command .. last data byte
    out[body + 1] = FrameChecksum(std::span<const std::uint8_t>(out.data() + 1, body));
    return body + 2;
}

bool FrameReader::Feed(std::uint8_t byte) {
    if (Complete()) return true;
    if (received_ == 0 && byte != kStx) return false;
    buffer_[received_++] = byte;
    if (received_ == 3) expected_ = static_cast<std::size_t>(buffer_[2]) + 4;
    return Complete();
}

std::size_t FrameReader::Feed(std::span<const std::uint8_t> bytes) {
    std::size_t taken = 0;
    while (taken < bytes.size() && !Complete()) Feed(bytes[taken++]);
    return taken;
}

std::size_t FrameReader::Wanted() const {
    // Until the length byte is in, three more bytes never reach past a frame: it has four
    // bytes at least after its start byte.
    if (received_ < 3) return 3 - received_;
    return expected_ - received_;
}

Frame FrameReader::Result() const {
    Frame f;
    f.command = buffer_[1];
    f.lengthByte = buffer_[2];
    f.indexHigh = buffer_[3];
    f.indexLow = buffer_[4];
    f.dataSize = f.lengthByte >= 2 ? f.lengthByte - 2u : 0u;
    std::copy_n(buffer_.begin() + 5, f.dataSize, f.data.begin());
    // The checksum covers the L + 2 bytes after the start byte and follows them.
    const std::size_t summed = static_cast<std::size_t>(f.lengthByte) + 2;
    f.checksumOk = FrameChecksum(std::span<const std::uint8_t>(buffer_.data() + 1, summed)) ==
                   buffer_[summed + 1];
    return f;
}

void FrameReader::Reset() {
    buffer_.fill(0);
    received_ = 0;
    expected_ = 0;
}

}  // namespace ducta
