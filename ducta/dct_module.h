// The module object behind the exports: the one port and its modem control, the reply time-out,
// and the settings of the current (or last) channel, which decide how the channel is opened and
// closed. Each operation does the whole of its call and returns what it came to; the exports
// only turn that into their results.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "channel_settings.h"
#include "debug_output.h"
#include "frame_codec.h"
#include "line_capture.h"
#include "modem.h"
#include "serial_port.h"
#include "status.h"

namespace ducta {

// What a call came to: the library's status and, when it failed, the code that tells why (the
// system's own error code of the port, or one of ducta.h's DCT_REASON_MODEM_ codes), which the
// exports leave as the thread's last error.
struct Outcome {
    Status status = Status::kOk;
    int reason = 0;
};

// The channel DCT_Open asks for: a COM port, direct or through a modem with its command texts
// (null for none).
struct ChannelRequest {
    std::uint8_t comIndex = 0;  // 0 is COM1
    bool assumeConnected = false;
    const char* initString = nullptr;
    const char* dialString = nullptr;
    const char* hangupString = nullptr;
};

class DctModule {
  public:
    static constexpr int kInitialPollTimeOutMs = 1000;

    DctModule();

    // Closes the current channel, then opens the requested one with the settings DUCTA.INI
    // beside the library gives now. A modem channel is one with an init or a dial text, or an
    // assumed connection. A direct channel whose port is lost opens it again by itself; a modem
    // channel does not. With a trace file the line is captured from the moment the port is
    // open (the modem's dial included). A channel that fails to open is closed again.
    Outcome Open(const ChannelRequest& request);
    // One request frame; kRefused (nothing sent) for more data than a frame carries.
    Outcome Write(std::uint16_t index, std::uint8_t command, std::span<const std::uint8_t> data);
    // One reply frame into `reply`, within the channel's reply time-out.
    Outcome Read(Frame& reply);
    // Direct: closes the port, kOk. Modem: hangs a connected line up (kOk when that ended in
    // OK), kNotConnected when it was not connected; the port is closed in every case, and the
    // capture ends after the hang-up.
    Outcome Close();

  private:
    struct Line {
        explicit Line(DebugOutput& debug) : capture(debug), port(debug), modem(port) {
            port.SetCapture(&capture);
        }
        LineCapture capture;  // before the port, which records into it
        SerialPort port;
        Modem modem;
    };

    Outcome OpenChannel(const ChannelSettings& settings, const std::filesystem::path& config);
    // What a transfer that ended in `status` came to: on a connected modem line a port that
    // hung up is the connection lost.
    Outcome Transferred(Status status) const;

    DebugOutput debug_;  // before line_: it outlives the port that writes to it
    std::unique_ptr<Line> line_;
    int pollTimeOutMs_ = kInitialPollTimeOutMs;
    ChannelSettings settings_{};
};

}  // namespace ducta
