#include "failure_reason.h"

#include <ducta.h>

#include <cstdio>

#include "port_failure.h"
#include "system_error.h"

namespace gateway {
namespace {

using common::Failure;
using common::FailureKind;

std::string ModemWords(int code) {
    switch (code) {
        case DCT_REASON_MODEM_SILENT:
            return "modem: no answer";
        case DCT_REASON_MODEM_OK:
            return "modem: OK";
        case DCT_REASON_MODEM_NO_CARRIER:
            return "modem: NO CARRIER";
        case DCT_REASON_MODEM_ERROR:
            return "modem: ERROR";
        case DCT_REASON_MODEM_NO_DIAL:
            return "modem: NO DIAL";
        case DCT_REASON_MODEM_BUSY:
            return "modem: BUSY";
        case DCT_REASON_MODEM_NO_ANSWER:
            return "modem: NO ANSWER";
        case DCT_REASON_MODEM_RING:
            return "modem: RING";
        case DCT_REASON_MODEM_CONNECT:
            return "modem: CONNECT";
        case DCT_REASON_MODEM_NO_COMMAND:
            return "modem: no command sent (the command list is empty)";
        case DCT_REASON_MODEM_NOT_CONNECTED:
            return "modem: not connected, nothing to hang up";
        case DCT_REASON_MODEM_CONNECTION_LOST:
            return "modem: connection lost";
        default:
            return "modem: an answer this gateway does not know (reason " +
                   std::to_string(code - DCT_REASON_MODEM) + ")";
    }
}

Failure PortFailureOf(const DeviceFailure& failure, int com,
                      const std::optional<std::string>& path) {
    if (!path) {
        const std::string key = "COM" + std::to_string(com);
        return {FailureKind::kPortMissing, "no device path for " + key + " (the key " + key +
                                               " of [Ports] in DUCTA.INI is empty)"};
    }
    const std::string& p = *path;
    const bool opening = failure.call == DeviceFailure::Call::kOpen;
    const FailureKind kind = common::ClassifyPortError(failure.code);
    switch (kind) {
        case FailureKind::kPortMissing:
        case FailureKind::kPortLost:
            // An open that finds no device: missing; a port that goes under a transfer: lost.
            if (opening) return {FailureKind::kPortMissing, "port " + p + " missing"};
            return {FailureKind::kPortLost, "port " + p + " lost"};
        case FailureKind::kPortInUse:
            return {kind, "port " + p + " in use by another program"};
        case FailureKind::kNotSerial:
            return {kind, p + " is not a usable serial port"};
        case FailureKind::kRefused:
            // At the open, the value refused is the port's line settings.
            if (opening) {
                return {FailureKind::kNotSerial,
                        p + " is not a usable serial port (its line settings were refused)"};
            }
            return {kind, "request refused by the device library"};
        case FailureKind::kPortStalled:
            return {kind, "port " + p + " stopped taking bytes"};
        default:
            break;
    }
    return {FailureKind::kOther, "port " + p + (opening ? " cannot be opened: " : " failed: ") +
                                     common::SystemErrorText(failure.code)};
}

}  // namespace

Failure FailureOf(const DeviceFailure& failure, int com, const std::optional<std::string>& path) {
    switch (failure.result) {
        case DCT_RESULT_NOT_OPEN:
            return {FailureKind::kNotConnected, "device not connected"};
        case DCT_RESULT_TIMEOUT:
            return {FailureKind::kNoReply, "no reply"};
        case DCT_RESULT_CHECKSUM:
            return {FailureKind::kDamagedReply, "damaged reply (checksum)"};
        case DCT_RESULT_FLAGGED:
            return {FailureKind::kRefusedByDevice, "request refused by the device"};
        case DCT_RESULT_NO_PORT:
            return {FailureKind::kOther, "the device library has no port (out of memory)"};
        case DCT_RESULT_FAILED:
            if (failure.code == DCT_REASON_MODEM_CONNECTION_LOST)
                return {FailureKind::kModemLost, ModemWords(failure.code)};
            if (DCT_REASON_IS_MODEM(failure.code))
                return {FailureKind::kModem, ModemWords(failure.code)};
            return PortFailureOf(failure, com, path);
        default:
            break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "the device library answered an unknown result (0x%04X)",
                  static_cast<unsigned>(failure.result));
    return {FailureKind::kOther, text};
}

}  // namespace gateway
