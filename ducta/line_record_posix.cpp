#include "line_record.h"

#include <termios.h>

#include <array>
#include <utility>

namespace ducta {

std::optional<unsigned> TermiosSpeed(long baud) {
    static constexpr std::array<std::pair<long, speed_t>, 30> kSpeeds{{
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    }};
    for (const auto& [rate, speed] : kSpeeds) {
        if (rate == baud) return speed;
    }
    return std::nullopt;
}

bool ApplyLineSettings(const LineSettings& line, termios& tio) {
    const auto speed = TermiosSpeed(line.baud);
    if (!speed) return false;
    termios t = tio;
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    switch (line.dataBits) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        default:
            t.c_cflag |= CS8;
            break;
    }
    switch (line.parity) {
        case Parity::kNone:
            break;
        case Parity::kOdd:
            t.c_cflag |= PARENB | PARODD;
            break;
        case Parity::kEven:
            t.c_cflag |= PARENB;
            break;
        case Parity::kMark:
            t.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case Parity::kSpace:
            t.c_cflag |= PARENB | CMSPAR;
            break;
    }
    if (line.stopBits == 2) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (cfsetispeed(&t, static_cast<speed_t>(*speed)) != 0 ||
        cfsetospeed(&t, static_cast<speed_t>(*speed)) != 0)
        return false;
    tio = t;
    return true;
}

}  // namespace ducta
