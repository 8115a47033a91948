#include "line_record.h"

#include <windows.h>

namespace ducta {

bool ApplyLineSettings(const LineSettings& line, DCB& dcb) {
    if (line.baud < 1 || line.dataBits < 5 || line.dataBits > 8) return false;
    if (line.stopBits != 1 && line.stopBits != 2) return false;
    DCB d = dcb;
    d.DCBlength = sizeof(DCB);
    d.BaudRate = static_cast<DWORD>(line.baud);
    d.fBinary = TRUE;
    d.fParity = line.parity != Parity::kNone ? TRUE : FALSE;
    d.fOutxCtsFlow = FALSE;
    d.fOutxDsrFlow = FALSE;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    d.fDsrSensitivity = FALSE;
    d.fTXContinueOnXoff = TRUE;
    d.fOutX = FALSE;
    d.fInX = FALSE;
    d.fErrorChar = FALSE;
    d.fNull = FALSE;  // a 00 byte is data
    d.fRtsControl = RTS_CONTROL_ENABLE;
    // A line error must not stop every later read and write until someone clears it.
    d.fAbortOnError = FALSE;
    d.ByteSize = static_cast<BYTE>(line.dataBits);
    switch (line.parity) {
        case Parity::kNone:
            d.Parity = NOPARITY;
            break;
        case Parity::kOdd:
            d.Parity = ODDPARITY;
            break;
        case Parity::kEven:
            d.Parity = EVENPARITY;
            break;
        case Parity::kMark:
            d.Parity = MARKPARITY;
            break;
        case Parity::kSpace:
            d.Parity = SPACEPARITY;
            break;
    }
    d.StopBits = line.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb = d;
    return true;
}

}  // namespace ducta
