// The module object behind the exports: the one port and its modem control, the reply time-out,
// and the settings of the current (or last) channel, which decide how the channel is opened and
// closed.
#pragma once

#include <filesystem>
#include <memory>

#include "channel_settings.h"
#include "debug_output.h"
#include "line_capture.h"
#include "modem.h"
#include "serial_port.h"
#include "status.h"

namespace ducta {

class DctModule {
  public:
    static constexpr int kInitialPollTimeOutMs = 1000;

    DctModule();

    // Null when the port object could not be created.
    SerialPort* Port() { return line_ ? &line_->port : nullptr; }
    int PollTimeOutMs() const { return pollTimeOutMs_; }
    // Where the COM numbers are mapped to device paths.
    void SetConfigFile(const std::filesystem::path& file) { configFile_ = file; }

    // Closes the current channel, then opens the one `settings` describe. A direct channel
    // whose port is lost opens it again by itself; a modem channel does not. With a trace file
    // the line is captured from the moment the port is open (the modem's dial included).
    Status OpenChannel(const ChannelSettings& settings);
    // Direct: closes the port, kOk. Modem: hangs a connected line up (kOk when that ended in
    // OK), kNotConnected when it was not connected; the port is closed in every case, and the
    // capture ends after the hang-up.
    Status CloseChannel();

    // Why the last OpenChannel or CloseChannel failed, as the code the exports leave as the
    // thread's last error (ducta.h): the port's, or what the modem answered.
    int FailureCode() const { return failureCode_; }
    // The same for a transfer that ended in `status`, with the port's own error code: on a
    // connected modem line a port that hung up is the connection lost.
    int TransferFailureCode(Status status) const;

  private:
    struct Line {
        explicit Line(DebugOutput& debug) : capture(debug), port(debug), modem(port) {
            port.SetCapture(&capture);
        }
        LineCapture capture;  // before the port, which records into it
        SerialPort port;
        Modem modem;
    };

    DebugOutput debug_;  // before line_: it outlives the port that writes to it
    std::unique_ptr<Line> line_;
    int pollTimeOutMs_ = kInitialPollTimeOutMs;
    int failureCode_ = 0;
    ChannelSettings settings_{};
    std::filesystem::path configFile_;
};

}  // namespace ducta
