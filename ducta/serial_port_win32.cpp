// The port on a Win32 communications device: an overlapped handle opened without sharing, every
// transfer waited on to the caller's deadline and cancelled there.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "deadline.h"
#include "line_record.h"
#include "port_failure.h"
#include "serial_port.h"

namespace ducta {

struct SerialPort::Device {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;  // signals the end of the one operation in flight
    DCB found{};             // the line as it was before we set it up
    // The driver writes into these until an operation has ended, so they belong to the device
    // rather than to the caller's stack.
    OVERLAPPED overlapped{};
    std::vector<std::uint8_t> buffer;
};

void SerialPort::DeviceDeleter::operator()(Device* device) const {
    delete device;
}

namespace {

using Clock = SerialPort::Clock;

// A cancelled operation ends at once in any sound driver; one that does not within this bound
// has hung, and the device is given up.
constexpr DWORD kCancelBoundMs = 2000;

enum class Wait { kEnded, kCancelled, kHung };

// Waits for the operation in flight on `handle` until `deadline`, then cancels it and waits for
// the cancellation to take effect. `transferred` and `error` (0 on success) tell how it ended.
Wait Await(HANDLE handle, OVERLAPPED& overlapped, Clock::time_point deadline, DWORD& transferred,
           DWORD& error) {
    const DWORD ms = static_cast<DWORD>(common::MillisecondsUntil(deadline));
    Wait wait = Wait::kEnded;
    if (WaitForSingleObject(overlapped.hEvent, ms) != WAIT_OBJECT_0) {
        // It may end on its own in the meantime (ERROR_NOT_FOUND); the result below says how.
        CancelIoEx(handle, &overlapped);
        if (WaitForSingleObject(overlapped.hEvent, kCancelBoundMs) != WAIT_OBJECT_0)
            return Wait::kHung;
        wait = Wait::kCancelled;
    }
    error = GetOverlappedResult(handle, &overlapped, &transferred, FALSE) ? 0 : GetLastError();
    return wait;
}

// Read time-outs. Bytes that have arrived are taken at once (an interval of MAXDWORD with no
// total: "return with what is there"); with none there, the read asks for one byte and waits
// for it at most `ms` milliseconds, which every driver ends as soon as the byte is in. (The
// documented "return as soon as anything has arrived" setting, MAXDWORD for the interval and
// the multiplier, is not kept by every implementation: Wine waits until the buffer is full.)
COMMTIMEOUTS TakeWhatIsThere() {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    return t;  // no write time-outs: the wait for a write is bounded by the caller's deadline
}

COMMTIMEOUTS FirstByteWithin(int ms) {
    COMMTIMEOUTS t{};
    t.ReadTotalTimeoutConstant = static_cast<DWORD>(ms);
    return t;
}

// A transfer that ended in `error`: the line lost, or a failure of its own. (A template, so
// that the port's private Transfer is named only inside its members.)
template <typename Transfer>
Transfer Ended(DWORD error, const char* what) {
    return {common::IsDeviceGone(static_cast<int>(error)) ? Transfer::End::kLost
                                                          : Transfer::End::kFailed,
            what, static_cast<int>(error)};
}

std::wstring Widened(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

}  // namespace

Status SerialPort::OpenDevice(int& error) {
    const std::wstring path = Widened(path_);
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(GetLastError());
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
                   ? Status::kInUse
                   : Status::kCannotOpen;
    }
    const auto fail = [handle, &error](Status s, DWORD why) {
        CloseHandle(handle);
        error = static_cast<int>(why);
        return s;
    };
    // A file, a pipe or a console is no serial line; GetCommState tells the serial line among
    // the character devices. A type that cannot be told at all is a device that is not there.
    SetLastError(NO_ERROR);
    if (const DWORD type = GetFileType(handle); type != FILE_TYPE_CHAR) {
        const DWORD why = GetLastError();
        if (type == FILE_TYPE_UNKNOWN && why != NO_ERROR) return fail(Status::kCannotOpen, why);
        return fail(Status::kNotATerminal, 0);
    }
    DCB found{};
    found.DCBlength = sizeof found;
    if (!GetCommState(handle, &found)) return fail(Status::kNotATerminal, GetLastError());
    DCB wanted = found;
    if (!ApplyLineSettings(line_, wanted)) return fail(Status::kSpeedRefused, 0);
    if (!SetCommState(handle, &wanted)) return fail(Status::kCannotSetLine, GetLastError());
    COMMTIMEOUTS timeouts = TakeWhatIsThere();
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr || !SetCommTimeouts(handle, &timeouts)) {
        const DWORD why = GetLastError();
        if (event != nullptr) CloseHandle(event);
        SetCommState(handle, &found);
        return fail(Status::kCannotSetLine, why);
    }
    auto device = std::make_unique<Device>();
    device->handle = handle;
    device->event = event;
    device->found = found;
    device_.reset(device.release());
    return Status::kOk;
}

void SerialPort::CloseDevice(bool restore) {
    if (restore) SetCommState(device_->handle, &device_->found);
    CloseHandle(device_->handle);
    CloseHandle(device_->event);
    device_.reset();
}

bool SerialPort::DeviceHungUp(int& error) {
    DWORD errors = 0;
    COMSTAT status{};
    // Also clears the line errors (framing, overrun, parity) of the last exchange.
    if (ClearCommError(device_->handle, &errors, &status)) return false;
    error = static_cast<int>(GetLastError());
    return common::IsDeviceGone(error);
}

SerialPort::Transfer SerialPort::ReadDevice(std::span<std::uint8_t> buffer, std::size_t& received,
                                            Clock::time_point deadline) {
    Device& d = *device_;
    d.buffer.resize(buffer.size());
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        // Also clears the line errors (framing, overrun, parity) that would stop the reads.
        if (!ClearCommError(d.handle, &errors, &status))
            return Ended<Transfer>(GetLastError(), "read");
        const int msLeft = common::MillisecondsUntil(deadline);
        const DWORD queued = std::min<DWORD>(status.cbInQue, static_cast<DWORD>(buffer.size()));
        if (queued == 0 && msLeft == 0) return {Transfer::End::kTimeout};
        COMMTIMEOUTS timeouts = queued > 0 ? TakeWhatIsThere() : FirstByteWithin(msLeft);
        if (!SetCommTimeouts(d.handle, &timeouts)) return Ended<Transfer>(GetLastError(), "read");
        d.overlapped = OVERLAPPED{};
        d.overlapped.hEvent = d.event;
        DWORD got = 0;
        DWORD error = 0;
        if (!ReadFile(d.handle, d.buffer.data(), queued > 0 ? queued : 1, &got, &d.overlapped) &&
            GetLastError() != ERROR_IO_PENDING)
            return Ended<Transfer>(GetLastError(), "read");
        const Wait wait = Await(d.handle, d.overlapped, deadline, got, error);
        if (wait == Wait::kHung) {
            // Whatever the driver still writes lands in memory that stays ours for good.
            CloseHandle(d.handle);
            static_cast<void>(device_.release());
            return {Transfer::End::kLost, "read", static_cast<int>(ERROR_OPERATION_ABORTED)};
        }
        if (got > 0) {
            std::copy_n(d.buffer.begin(), got, buffer.begin());
            received = got;
            return {};
        }
        if (wait == Wait::kCancelled) return {Transfer::End::kTimeout};
        // The driver's time-out ran out with nothing (some drivers say so as ERROR_TIMEOUT).
        if (error != 0 && error != ERROR_TIMEOUT) return Ended<Transfer>(error, "read");
        if (Clock::now() >= deadline) return {Transfer::End::kTimeout};
    }
}

SerialPort::Transfer SerialPort::WriteDevice(std::span<const std::uint8_t> bytes, std::size_t& sent,
                                             Clock::time_point deadline) {
    Device& d = *device_;
    d.buffer.assign(bytes.begin(), bytes.end());
    while (sent < bytes.size()) {
        d.overlapped = OVERLAPPED{};
        d.overlapped.hEvent = d.event;
        DWORD put = 0;
        DWORD error = 0;
        if (!WriteFile(d.handle, d.buffer.data() + sent, static_cast<DWORD>(bytes.size() - sent),
                       &put, &d.overlapped) &&
            GetLastError() != ERROR_IO_PENDING)
            return Ended<Transfer>(GetLastError(), "write");
        const Wait wait = Await(d.handle, d.overlapped, deadline, put, error);
        if (wait == Wait::kHung) {
            CloseHandle(d.handle);
            static_cast<void>(device_.release());
            return {Transfer::End::kLost, "write", static_cast<int>(ERROR_OPERATION_ABORTED)};
        }
        sent += put;
        if (wait == Wait::kCancelled) return {Transfer::End::kTimeout};
        if (error != 0) return Ended<Transfer>(error, "write");
        if (put == 0) return {Transfer::End::kTimeout};  // the line takes nothing
    }
    return {};
}

void SerialPort::Purge() {
    if (device_) PurgeComm(device_->handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

int SerialPort::SetDtr(bool on) {
    return device_ && EscapeCommFunction(device_->handle, on ? SETDTR : CLRDTR) ? 0 : 1;
}

int SerialPort::SetRts(bool on) {
    return device_ && EscapeCommFunction(device_->handle, on ? SETRTS : CLRRTS) ? 0 : 1;
}

}  // namespace ducta
