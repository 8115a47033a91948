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
 * characters are cut at 127. 0 or DCT_RESULT_FAILED. */
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
