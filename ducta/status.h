// The library's one vocabulary for what an operation came to. The exports map it onto their
// public result codes explicitly (exports.cpp) and, after a failed call, onto the reason they
// leave as the thread's last error (PortReasonCode); Describe gives the words for the debug
// output.
#pragma once

namespace ducta {

enum class Status {
    kOk,
    kNoPort,           // the module has no port object
    kNotOpen,          // no channel is open
    kRefused,          // a request the frame cannot carry
    kTimeout,          // no complete reply within the poll time-out
    kChecksum,         // a reply whose checksum does not match
    kFlagged,          // a valid reply whose command byte has bit 0 set
    kNoDevicePath,     // the COM number maps to no device
    kCannotOpen,       // the device could not be opened
    kNotATerminal,     // the device is no serial line
    kInUse,            // another program holds the port
    kCannotReadLine,   // the line settings could not be read
    kSpeedRefused,     // a line speed termios cannot set
    kCannotSetLine,    // the line settings could not be written
    kWriteFailed,      // the line refused the bytes
    kWriteIncomplete,  // the line took only part of the bytes in time
    kReadFailed,       // reading the line failed
    kPortLost,         // the line hung up (an adapter pulled out, the far end gone)
    kReopenFailed,     // a lost port could not be opened again
    kModemInitFailed,  // the modem's init list did not end in OK
    kModemDialFailed,  // the dial did not end in CONNECT
    kHangUpFailed,     // the hang-up list did not end in OK
    kNotConnected,     // a modem line that is not connected cannot be hung up
};

// What the status means, in a few words ("port lost").
const char* Describe(Status status);

// The platform's error code that tells why a port operation ended in `status` (ducta.h):
// `systemError`, the system's own code read right after the operation, where the status leaves
// the cause open (an open, a read or a write that failed) and there is one; otherwise the
// platform's code for what the status says.
int PortReasonCode(Status status, int systemError);

}  // namespace ducta
