// The frame reader over an arbitrary byte stream, fed in the pieces the receive loop reads
// (never past the end of a frame), frame after frame.
#include <algorithm>
#include <array>
#include <vector>

#include "frame_codec.h"
#include "fuzz_input.h"

using vr620_fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ducta::FrameReader reader;
    std::vector<std::uint8_t> frameBytes;
    std::size_t pos = 0;
    std::size_t step = 1;
    while (pos < size) {
        const std::size_t wanted = reader.Wanted();
        Require(wanted >= 1 && wanted <= ducta::kMaxFrameSize);
        const std::size_t piece = vr620_fuzz::NextPiece(wanted, size - pos, data[pos], step);
        const std::size_t taken = reader.Feed(std::span(data + pos, piece));
        Require(taken == piece);  // a piece never reaches past the frame
        if (reader.Received() > 0)
            frameBytes.insert(frameBytes.end(), data + pos, data + pos + piece);
        pos += piece;
        Require(reader.Received() <= ducta::kMaxFrameSize);
        if (!reader.Complete()) continue;

        const ducta::Frame frame = reader.Result();
        Require(frame.dataSize <= ducta::kMaxFrameData);
        Require(reader.Received() == static_cast<std::size_t>(frame.lengthByte) + 4);
        // A good frame with a data field is exactly what the builder makes of its fields.
        if (frame.checksumOk && frame.lengthByte >= 2) {
            std::array<std::uint8_t, ducta::kMaxFrameSize> rebuilt{};
            const std::size_t n = ducta::BuildFrame(
                frame.command, frame.indexHigh, frame.indexLow,
                std::span<const std::uint8_t>(frame.data.data(), frame.dataSize), rebuilt);
            Require(n == reader.Received());
            // The bytes ahead of the start byte were dropped; compare the frame's own bytes.
            Require(std::equal(rebuilt.begin(), rebuilt.begin() + static_cast<long>(n),
                               frameBytes.end() - static_cast<long>(n)));
        }
        reader.Reset();
        frameBytes.clear();
    }
    return 0;
}
