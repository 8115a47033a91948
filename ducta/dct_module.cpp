#include "dct_module.h"

#include <chrono>
#include <new>
#include <string>
#include <thread>

#include "device_path.h"
#include "ducta.h"

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

Status DctModule::OpenChannel(const ChannelSettings& settings) {
    CloseChannel();
    settings_ = settings;
    if (!line_) {
        failureCode_ = PortReasonCode(Status::kNoPort, 0);
        return Status::kNoPort;
    }
    SerialPort& port = line_->port;
    Modem& modem = line_->modem;

    const std::string com = "COM" + std::to_string(settings_.comNumber);
    const auto path = common::DevicePathForCom(configFile_, settings_.comNumber);
    if (!path) {
        debug_.Line(com + ": " + Describe(Status::kNoDevicePath) + " (the key " + com +
                    " of [Ports] in " + configFile_.string() + " is empty)");
        failureCode_ = PortReasonCode(Status::kNoDevicePath, 0);
        return Status::kNoDevicePath;
    }
    LineSettings line;
    line.baud = settings_.baudRate;
    const bool modemMode = settings_.mode == ChannelMode::kModem;
    if (const Status s = port.Open(*path, line, !modemMode); s != Status::kOk) {
        failureCode_ = PortReasonCode(s, port.LastError());
        return s;
    }
    if (!settings_.traceFile.empty()) {
        line_->capture.Start(settings_.traceFile, settings_.traceMaxSizeMb, *path,
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
                failureCode_ = ModemReasonCode(modem.LastFailure());
                port.Close();
                return s;
            }
        }
        port.Purge();
    }
    pollTimeOutMs_ = settings_.pollTimeOutMs;
    return Status::kOk;
}

Status DctModule::CloseChannel() {
    if (!line_) {
        failureCode_ = PortReasonCode(Status::kNoPort, 0);
        return settings_.mode == ChannelMode::kDirect ? Status::kOk : Status::kNoPort;
    }
    SerialPort& port = line_->port;
    if (settings_.mode == ChannelMode::kDirect) {
        port.Close();
        line_->capture.Stop();
        return Status::kOk;
    }
    Status s = Status::kNotConnected;
    failureCode_ = DCT_REASON_MODEM_NOT_CONNECTED;
    if (line_->modem.IsConnected()) {
        s = line_->modem.HangUp(settings_.hangupString, kHangUpTimeoutS);
        failureCode_ = ModemReasonCode(line_->modem.LastFailure());
    } else if (port.IsOpen()) {
        port.Report(std::string(Describe(s)) + ": nothing to hang up");
    }
    port.Close();
    line_->capture.Stop();
    return s;
}

int DctModule::TransferFailureCode(Status status) const {
    const int systemError = line_ ? line_->port.LastError() : 0;
    const bool lineGone = status == Status::kPortLost || status == Status::kReopenFailed;
    if (lineGone && settings_.mode == ChannelMode::kModem && line_ && line_->modem.IsConnected())
        return DCT_REASON_MODEM_CONNECTION_LOST;
    return PortReasonCode(status, systemError);
}

}  // namespace ducta
