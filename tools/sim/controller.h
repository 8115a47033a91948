// The simulated controller's answers: one request frame in, one reply (or silence) out.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data_table.h"
#include "fault_points.h"
#include "frame_codec.h"

namespace sim {

inline constexpr std::uint8_t kCommandRead = 0x81;
inline constexpr std::uint8_t kCommandReadReply = 0x80;
inline constexpr std::uint8_t kCommandWrite = 0x82;
// The pause between the bytes of a reply sent in slow pieces.
inline constexpr std::chrono::milliseconds kSlowByteGap{40};

struct Reply {
    std::vector<std::uint8_t> bytes;  // empty: no reply at all
    std::chrono::milliseconds byteGap{0};
};

class Controller {
  public:
    using Log = std::function<void(std::string_view)>;
    Controller(DataTable& table, Log log);

    // A request whose checksum is wrong gets no reply, as a device that cannot trust the
    // frame would do.
    Reply Answer(const ducta::Frame& request);

  private:
    Reply Normal(const ducta::Frame& request);
    Reply Faulty(const ducta::Frame& request, const FaultPoint& faultPoint);

    DataTable& table_;
    Log log_;
};

}  // namespace sim
