// The six exports of libducta.so (DUCTA.dll): a thin door onto the one module object, which does
// each call; here its outcome becomes the call's result code. Nothing else of the library is
// visible outside it, and no exception crosses this boundary. A call that fails with DCT_RESULT_FAILED leaves its
// reason as the thread's last error (ducta.h), set as the very last thing before it returns.
#define DUCTA_BUILDING_LIBRARY 1
#include "ducta.h"

#include <algorithm>
#include <memory>
#include <span>

#include "dct_module.h"
#include "frame_codec.h"
#include "port_failure.h"
#include "system_error.h"

namespace {

using ducta::DctModule;
using ducta::Status;

// The one module of this process, or null.
std::unique_ptr<DctModule> g_module;

// A channel function's result, and why when it is DCT_RESULT_FAILED.
struct CallResult {
    uint16_t result = DCT_RESULT_FAILED;
    int reason = 0;
};

// A call the library refuses outright: no module, selector 1, a missing buffer, too much data.
const CallResult kRefusedCall{DCT_RESULT_FAILED,
                              common::PortErrorCode(common::FailureKind::kRefused)};
// What an exception inside the library ends as.
const CallResult kFailedCall{DCT_RESULT_FAILED, common::PortErrorCode(common::FailureKind::kOther)};

// Hands the result out, leaving the reason of a failure as the thread's last error. Everything
// the call made is gone by now, so nothing can change the code afterwards.
uint16_t Answer(CallResult call) {
    if (call.result == DCT_RESULT_FAILED) common::SetLastSystemError(call.reason);
    return call.result;
}

// The public result code of a transfer (DCT_Write, DCT_Read). Only the results the interface
// names keep their own code; every other failure is a failed call.
uint16_t TransferResult(Status status) {
    switch (status) {
        case Status::kOk:
            return DCT_RESULT_OK;
        case Status::kNotOpen:
            return DCT_RESULT_NOT_OPEN;
        case Status::kTimeout:
            return DCT_RESULT_TIMEOUT;
        case Status::kChecksum:
            return DCT_RESULT_CHECKSUM;
        case Status::kFlagged:
            return DCT_RESULT_FLAGGED;
        case Status::kNoPort:
            return DCT_RESULT_NO_PORT;
        case Status::kRefused:
        case Status::kNoDevicePath:
        case Status::kCannotOpen:
        case Status::kNotATerminal:
        case Status::kInUse:
        case Status::kCannotReadLine:
        case Status::kSpeedRefused:
        case Status::kCannotSetLine:
        case Status::kWriteFailed:
        case Status::kWriteIncomplete:
        case Status::kReadFailed:
        case Status::kPortLost:
        case Status::kReopenFailed:
        case Status::kModemInitFailed:
        case Status::kModemDialFailed:
        case Status::kHangUpFailed:
        case Status::kNotConnected:
            return DCT_RESULT_FAILED;
    }
    return DCT_RESULT_FAILED;
}

// DCT_Open and DCT_Close tell success from failure only.
uint16_t ChannelResult(Status status) {
    return status == Status::kOk ? DCT_RESULT_OK : DCT_RESULT_FAILED;
}

// The checks every channel function makes first: a module exists and the selector is not 1.
DctModule* CheckedModule(std::uint8_t selector) {
    if (!g_module || selector == 1) return nullptr;
    return g_module.get();
}

int CloseModule() {
    if (g_module) {
        static_cast<void>(g_module->Close());
        g_module.reset();
    }
    return 0;
}

CallResult OpenCall(uint8_t selector, uint8_t comIndex, uint8_t assumeConnected,
                    const char* initString, const char* dialString, const char* hangupString) {
    try {
        DctModule* module = CheckedModule(selector);
        if (module == nullptr) return kRefusedCall;
        const ducta::Outcome opened = module->Open(
            {comIndex, assumeConnected != 0, initString, dialString, hangupString});
        return {ChannelResult(opened.status), opened.reason};
    } catch (...) {
        return kFailedCall;
    }
}

CallResult WriteCall(uint8_t selector, uint16_t index, uint8_t command, const uint8_t* data,
                     uint16_t length) {
    try {
        DctModule* module = CheckedModule(selector);
        if (module == nullptr) return kRefusedCall;
        if (data == nullptr && length != 0) return kRefusedCall;
        const ducta::Outcome written =
            module->Write(index, command, std::span<const uint8_t>(data, length));
        return {TransferResult(written.status), written.reason};
    } catch (...) {
        return kFailedCall;
    }
}

CallResult ReadCall(uint8_t selector, uint16_t* indexOut, uint8_t* commandOut, uint8_t* okOut,
                    uint8_t* data, uint16_t* lengthOut) {
    try {
        DctModule* module = CheckedModule(selector);
        if (module == nullptr) return kRefusedCall;
        if (data == nullptr || okOut == nullptr) return kRefusedCall;
        ducta::Frame reply;
        const ducta::Outcome read = module->Read(reply);
        const Status r = read.status;
        const bool received = r == Status::kOk || r == Status::kChecksum || r == Status::kFlagged;
        if (received || r == Status::kTimeout) {
            // After a time-out the frame is empty: command, index and length 0, no data.
            // A length byte of 0 or 1 carries no data; the reported length is then the length
            // byte minus 2 as a 16-bit value (65534 or 65535), which callers take as "no data
            // field" (a real data field is never longer than DCT_MAX_DATA).
            const uint16_t length =
                received ? static_cast<uint16_t>(reply.lengthByte - 2) : uint16_t{0};
            if (commandOut != nullptr) *commandOut = reply.command;
            if (indexOut != nullptr) *indexOut = reply.Index();
            if (lengthOut != nullptr) *lengthOut = length;
            std::copy_n(reply.data.begin(), reply.dataSize, data);
            data[reply.dataSize] = 0;
        }
        if (r == Status::kOk) *okOut = 1;
        return {TransferResult(r), read.reason};
    } catch (...) {
        return kFailedCall;
    }
}

CallResult CloseCall(uint8_t selector) {
    try {
        DctModule* module = CheckedModule(selector);
        if (module == nullptr) return kRefusedCall;
        const ducta::Outcome closed = module->Close();
        return {ChannelResult(closed.status), closed.reason};
    } catch (...) {
        return kFailedCall;
    }
}

}  // namespace

extern "C" {

DCT_API int DCT_module_open(void) {
    try {
        CloseModule();
        g_module = std::make_unique<DctModule>();
    } catch (...) {
        g_module.reset();
    }
    return 0;
}

DCT_API uint16_t DCT_Open(uint8_t selector, uint8_t comIndex, uint8_t assumeConnected,
                          const char* initString, const char* dialString, const char* hangupString,
                          int32_t /*reserved*/) {
    return Answer(
        OpenCall(selector, comIndex, assumeConnected, initString, dialString, hangupString));
}

DCT_API uint16_t DCT_Write(uint8_t selector, uint8_t /*channel*/, uint16_t index, uint8_t command,
                           const uint8_t* data, uint16_t length) {
    return Answer(WriteCall(selector, index, command, data, length));
}

DCT_API uint16_t DCT_Read(uint8_t selector, uint8_t /*channel*/, uint16_t* indexOut,
                          uint8_t* commandOut, uint8_t* okOut, uint8_t* data, uint16_t* lengthOut) {
    return Answer(ReadCall(selector, indexOut, commandOut, okOut, data, lengthOut));
}

DCT_API uint16_t DCT_Close(uint8_t selector, uint8_t /*channel*/) {
    return Answer(CloseCall(selector));
}

DCT_API int DCT_module_close(void) {
    try {
        CloseModule();
    } catch (...) {
    }
    return 0;
}

}  // extern "C"
