// Reserved data points that make the simulated controller misbehave on purpose, so that
// the library's and the gateway's error paths can be exercised without a faulty device.
#pragma once

#include <array>
#include <cstdint>

namespace sim {

enum class Fault {
    kNone,
    kSilence,      // no reply at all
    kBadChecksum,  // a reply whose checksum byte is off by one
    kNoise,        // bytes other than 0x02 ahead of a valid reply
    kStrayStx,     // one extra 0x02 ahead of a valid reply
    kSlow,         // a valid reply with a long pause between its bytes
    kLengthZero,   // a reply whose length byte is 0
    kLengthOne,    // a reply whose length byte is 1
    kFlagged,      // a valid reply whose command byte has bit 0 set
};

struct FaultPoint {
    std::uint16_t point;
    Fault fault;
    const char* description;
};

inline constexpr std::array<FaultPoint, 8> kFaultPoints{{
    {0xFF01, Fault::kSilence, "silence: no reply at all"},
    {0xFF02, Fault::kBadChecksum, "a reply with a wrong checksum"},
    {0xFF03, Fault::kNoise, "noise bytes (FF 00 55 AA 13) before a valid reply"},
    {0xFF04, Fault::kStrayStx, "a stray 02 before the reply"},
    {0xFF05, Fault::kSlow, "a valid reply sent slowly (about 40 ms between bytes)"},
    {0xFF06, Fault::kLengthZero, "a reply whose length byte is 0"},
    {0xFF07, Fault::kLengthOne, "a reply whose length byte is 1"},
    {0xFF08, Fault::kFlagged, "a valid reply whose command byte has bit 0 set"},
}};

}  // namespace sim
