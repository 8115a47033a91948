#include "dct_module.h"

#include <chrono>
#include <new>
#include <string>
#include <thread>

#include "device_path.h"
#include "ducta.h"
#include "frame_io.h"
#include "library_config.h"

namespace ducta {
namespace {

constexpr int kHangUpTimeoutS = 10;
constexpr std::size_t kAssumedDialReplySize = 128;
constexpr auto kModemLinesSettle = std::chrono::milliseconds(500);

// The reason code of a modem list or dial that failed: the port's failure under it, or the
// modem's answer.
int ModemReasonCode(const Modem::Failure& failure) {
    if (failure.port != Status::kOk) return PortReasonCode(failure.port, 0);
    if (!failure.answer) return DCT_REASON_MODEM_NO_COMMAND;
    return DCT_REASON_MODEM + static_cast<int>(*failure.answer);
}

}  // namespace

DctModule::DctModule() : line_(new (std::nothrow) Line(debug_)) {}

Outcome DctModule::Open(const ChannelRequest& request) {
    const auto config = LibraryConfigPath();
    const bool modem = request.assumeConnected || request.initString != nullptr ||
                       request.dialString != nullptr;
    ChannelSettings settings = ReadChannelConfig(config, modem);
    settings.assumeConnected = request.assumeConnected ? 1 : 0;
    CopyModemText(settings.initString, request.initString);
    CopyModemText(settings.dialString, request.dialString);
    CopyModemText(settings.hangupString, request.hangupString);
    settings.comNumber = request.comIndex + 1;
    const Outcome opened = OpenChannel(settings, config);
    if (opened.status != Status::kOk) static_cast<void>(Close());
    return opened;
}

Outcome DctModule::OpenChannel(const ChannelSettings& settings,
                               const std::filesystem::path& config) {
    static_cast<void>(Close());
    settings_ = settings;
    if (!line_) return {Status::kNoPort, PortReasonCode(Status::kNoPort, 0)};
    SerialPort& port = line_->port;
    Modem& modem = line_->modem;

    const std::string com = "COM" + std::to_string(settings_.comNumber);
    const auto path = common::DevicePathForCom(config, settings_.comNumber);
    if (!path) {
        debug_.Line(com + ": " + Describe(Status::kNoDevicePath) + " (the key " + com +
                    " of [Ports] in " + config.string() + " is empty)");
        return {Status::kNoDevicePath, PortReasonCode(Status::kNoDevicePath, 0)};
    }
    LineSettings line;
    line.baud = settings_.baudRate;
    const bool modemMode = settings_.mode == ChannelMode::kModem;
    if (const Status s = port.Open(*path, line, !modemMode); s != Status::kOk)
        return {s, PortReasonCode(s, port.LastError())};
    if (!settings_.traceFile.empty()) {
        line_->capture.Start(settings_.traceFile, settings_.traceMaxSizeMb, com, *path,
                             com + (modemMode ? " through a modem, " : " direct, ") +
                                 std::to_string(line.baud) + " bit/s");
    }

    if (modemMode) {
        modem.SetCommandDelay(settings_.commandDelayMs);
        if (settings_.assumeConnected == 1) {
            modem.SetConnected(true);
            if (settings_.dialString[0] != '\0') {
                char reply[kAssumedDialReplySize];
                modem.SendCommand(settings_.dialString, reply, settings_.connTimeOutS);
            }
        } else {
            // Modem lines are absent on a pseudo-terminal; the dial shows whether it works.
            port.SetRts(true);
            port.SetDtr(true);
            std::this_thread::sleep_for(kModemLinesSettle);
            const Status s = modem.InitAndDial(settings_.initString, settings_.dialString,
                                               settings_.connTimeOutS);
            if (s != Status::kOk) {
                const int reason = ModemReasonCode(modem.LastFailure());
                port.Close();
                return {s, reason};
            }
        }
        port.Purge();
    }
    pollTimeOutMs_ = settings_.pollTimeOutMs;
    return {};
}

Outcome DctModule::Write(std::uint16_t index, std::uint8_t command,
                         std::span<const std::uint8_t> data) {
    return Transferred(WriteFrame(line_ ? &line_->port : nullptr, command,
                                  static_cast<std::uint8_t>(index >> 8),
                                  static_cast<std::uint8_t>(index & 0xFF), data));
}

Outcome DctModule::Read(Frame& reply) {
    return Transferred(ReadFrame(line_ ? &line_->port : nullptr, pollTimeOutMs_, reply));
}

Outcome DctModule::Close() {
    if (!line_) {
        const Status s = settings_.mode == ChannelMode::kDirect ? Status::kOk : Status::kNoPort;
        return {s, PortReasonCode(Status::kNoPort, 0)};
    }
    SerialPort& port = line_->port;
    if (settings_.mode == ChannelMode::kDirect) {
        port.Close();
        line_->capture.Stop();
        return {};
    }
    Outcome closed{Status::kNotConnected, DCT_REASON_MODEM_NOT_CONNECTED};
    if (line_->modem.IsConnected()) {
        closed.status = line_->modem.HangUp(settings_.hangupString, kHangUpTimeoutS);
        closed.reason = ModemReasonCode(line_->modem.LastFailure());
    } else if (port.IsOpen()) {
        port.Report(std::string(Describe(closed.status)) + ": nothing to hang up");
    }
    port.Close();
    line_->capture.Stop();
    return closed;
}

Outcome DctModule::Transferred(Status status) const {
    const int systemError = line_ ? line_->port.LastError() : 0;
    const bool lineGone = status == Status::kPortLost || status == Status::kReopenFailed;
    if (lineGone && settings_.mode == ChannelMode::kModem && line_ && line_->modem.IsConnected())
        return {status, DCT_REASON_MODEM_CONNECTION_LOST};
    return {status, PortReasonCode(status, systemError)};
}

}  // namespace ducta
