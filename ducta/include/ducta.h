/* Public interface of libducta.so (DUCTA.dll on Windows), the serial device library of the
 * VR-620 controller.
 *
 * One channel (one serial port) at a time. Every call is synchronous and blocks its caller
 * until the work is done or its time-out has run out (in modem mode tens of seconds).
 * The caller serialises all calls.
 *
 * Calling order: DCT_module_open, DCT_Open, any number of DCT_Write + DCT_Read pairs,
 * DCT_Close, DCT_module_close. */
#ifndef DUCTA_H
#define DUCTA_H

#include <stdint.h>

/* On Windows ducta.def names the exports of DUCTA.dll; elsewhere only these six are visible. */
#if defined(_WIN32)
#if defined(DUCTA_BUILDING_LIBRARY)
#define DCT_API
#else
#define DCT_API __declspec(dllimport)
#endif
#elif defined(DUCTA_BUILDING_LIBRARY)
#define DCT_API __attribute__((visibility("default")))
#else
#define DCT_API
#endif

/* Results of the four channel functions. */
#define DCT_RESULT_OK 0x0000u       /* success */
#define DCT_RESULT_NOT_OPEN 0x0002u /* the port is not open */
#define DCT_RESULT_TIMEOUT 0x0003u  /* no complete reply frame within the poll time-out */
#define DCT_RESULT_CHECKSUM 0x0004u /* reply checksum mismatch (out-values filled) */
#define DCT_RESULT_FLAGGED 0x0005u  /* valid reply whose command byte has bit 0 set */
#define DCT_RESULT_FAILED 0x8000u   /* refused or failed call */
#define DCT_RESULT_NO_PORT 0xFFFFu  /* the module has no port object */

/* Why a call failed. After a call that answered DCT_RESULT_FAILED, the calling thread's last
 * error (errno; GetLastError() on Windows) holds the reason, read at once after the call:
 *  - where the port decided it, the system's own code of the port's failure, for example
 *    ENOENT / ERROR_FILE_NOT_FOUND (the device does not exist, or its COM number maps to no
 *    path), EBUSY / ERROR_ACCESS_DENIED (another program holds it), ENOTTY /
 *    ERROR_INVALID_FUNCTION (no serial line), EINVAL / ERROR_INVALID_PARAMETER (its line settings
 *    were refused, or a call's arguments were), ENODEV, EIO or ENXIO /
 *    ERROR_DEVICE_NOT_CONNECTED and the like (the port went away: an adapter pulled out, a
 *    hang-up);
 *  - where the modem decided it, one of the DCT_REASON_MODEM_ codes below: what the modem
 *    answered to the command that failed, or what became of the line.
 * After the other results the result itself says why, and the last error is unspecified, as it
 * is after a success. The modem codes lie in the range that Windows leaves to applications (bit
 * 29 set), far above any errno value. */
#define DCT_REASON_MODEM 0x20620000
#define DCT_REASON_IS_MODEM(code) (((code) & 0x7FFF0000) == DCT_REASON_MODEM)
#define DCT_REASON_MODEM_SILENT (DCT_REASON_MODEM + 3)      /* no result code in time */
#define DCT_REASON_MODEM_OK (DCT_REASON_MODEM + 5)          /* "OK" where CONNECT was due */
#define DCT_REASON_MODEM_NO_CARRIER (DCT_REASON_MODEM + 6)  /* "NO CARRIER" */
#define DCT_REASON_MODEM_ERROR (DCT_REASON_MODEM + 7)       /* "ERROR" */
#define DCT_REASON_MODEM_NO_DIAL (DCT_REASON_MODEM + 8)     /* "NO DIAL" */
#define DCT_REASON_MODEM_BUSY (DCT_REASON_MODEM + 9)        /* "BUSY" */
#define DCT_REASON_MODEM_NO_ANSWER (DCT_REASON_MODEM + 10)  /* "NO ANSWER" */
#define DCT_REASON_MODEM_RING (DCT_REASON_MODEM + 11)       /* "RING" */
#define DCT_REASON_MODEM_CONNECT (DCT_REASON_MODEM + 12)    /* "CONNECT" where OK was due */
/* The command list held no command whose answer could count (empty, or separators only). */
#define DCT_REASON_MODEM_NO_COMMAND (DCT_REASON_MODEM + 13)
/* A close found no connected line to hang up (the open dialled nothing). */
#define DCT_REASON_MODEM_NOT_CONNECTED (DCT_REASON_MODEM + 14)
/* The connected line went away: a transfer found the modem's port hung up. */
#define DCT_REASON_MODEM_CONNECTION_LOST (DCT_REASON_MODEM + 15)

/* The most data bytes a frame carries: its length byte counts the two index bytes and the data. */
#define DCT_MAX_DATA 253u
/* A DCT_Read data buffer must hold the longest reply data plus its terminating NUL. */
#define DCT_READ_BUFFER_SIZE (DCT_MAX_DATA + 1u)

/* Command bytes the manager sends. */
#define DCT_COMMAND_READ 0x81u
#define DCT_COMMAND_WRITE 0x82u

#ifdef __cplusplus
extern "C" {
#endif

/* Creates the module object (closing an existing one first). Always 0. */
DCT_API int DCT_module_open(void);

/* Opens a channel on COM(comIndex + 1). Modem mode when assumeConnected is nonzero or
 * initString or dialString is non-null (an empty text counts). Texts longer than 127
 * characters are cut at 127. 0 or DCT_RESULT_FAILED (the last error says why). */
DCT_API uint16_t DCT_Open(uint8_t selector, uint8_t comIndex, uint8_t assumeConnected,
                          const char* initString, const char* dialString, const char* hangupString,
                          int32_t reserved);

/* Sends one request frame. data may be null when length is 0; length above DCT_MAX_DATA is
 * refused. 0, DCT_RESULT_NOT_OPEN, DCT_RESULT_NO_PORT or DCT_RESULT_FAILED. */
DCT_API uint16_t DCT_Write(uint8_t selector, uint8_t channel, uint16_t index, uint8_t command,
                           const uint8_t* data, uint16_t length);

/* Receives one reply frame into data (at least DCT_READ_BUFFER_SIZE bytes), followed by a NUL.
 * okOut is set to 1 on success only and must not be null; the other out-pointers may be. */
DCT_API uint16_t DCT_Read(uint8_t selector, uint8_t channel, uint16_t* indexOut,
                          uint8_t* commandOut, uint8_t* okOut, uint8_t* data, uint16_t* lengthOut);

/* Closes the channel; a connected modem line is hung up first. 0 or DCT_RESULT_FAILED. */
DCT_API uint16_t DCT_Close(uint8_t selector, uint8_t channel);

/* Closes the channel and frees the module object. Always 0. */
DCT_API int DCT_module_close(void);

#ifdef __cplusplus
}
#endif

#endif /* DUCTA_H */
