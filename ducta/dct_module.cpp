#include "dct_module.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

#include "modem_control.h"

namespace ducta {
namespace {

constexpr int kHangUpTimeoutS = 10;
constexpr std::size_t kAssumedDialReplySize = 128;
constexpr auto kModemLinesSettle = std::chrono::milliseconds(500);

}  // namespace

void CopyModemText(char (&field)[kModemTextSize], const char* text) {
    std::memset(field, 0, kModemTextSize);
    if (text == nullptr) return;
    std::size_t n = 0;
    while (n < kModemTextSize - 1 && text[n] != '\0') ++n;
    std::memcpy(field, text, n);
}

DctModule::DctModule() : port_(new (std::nothrow) SerialPort) {}

void DctModule::SetConfigFile(const std::filesystem::path& file) {
    if (port_) port_->SetConfigFile(file);
}

int DctModule::OpenChannel(const ChannelSettings& settings) {
    CloseChannel();
    settings_ = settings;
    if (!port_) return kOpenPortFailed;

    char text[48];
    std::snprintf(text, sizeof text, "%d,%d,n,8,1", static_cast<int>(settings_.comNumber),
                  static_cast<int>(settings_.baudRate));
    if (port_->Open(text) != SerialPort::kOpenOk) return kOpenPortFailed;

    if (settings_.mode == ChannelMode::kModem) {
        port_->SetCommandDelay(settings_.commandDelayMs);
        if (settings_.assumeConnected == 1) {
            port_->SetConnected(true);
            if (settings_.dialString[0] != '\0') {
                char reply[kAssumedDialReplySize];
                port_->SendCommand(settings_.dialString, reply, settings_.connTimeOutS);
            }
        } else {
            // Modem lines are absent on a pseudo-terminal; the dial shows whether it works.
            port_->SetRts(true);
            port_->SetDtr(true);
            std::this_thread::sleep_for(kModemLinesSettle);
            if (port_->InitAndDial(settings_.initString, settings_.dialString,
                                   settings_.connTimeOutS) != 0) {
                port_->Close();
                return kOpenModemFailed;
            }
        }
        port_->Purge();
    }
    pollTimeOutMs_ = settings_.pollTimeOutMs;
    return kOpenOk;
}

bool DctModule::CloseChannel() {
    if (!port_) return settings_.mode == ChannelMode::kDirect;
    if (settings_.mode == ChannelMode::kDirect) {
        port_->Close();
        return true;
    }
    bool ok = false;
    if (port_->IsConnected()) ok = port_->HangUp(settings_.hangupString, kHangUpTimeoutS) == 0;
    port_->Close();
    return ok;
}

}  // namespace ducta
