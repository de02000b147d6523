/* The C interface of the CANUSB adapter driver library (libcanusbdrv.so), the same entry
   points, records and codes as the vendor's Windows driver. */
#ifndef CANUSBDRV_H
#define CANUSBDRV_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define CANUSB_API __stdcall
#else
#define CANUSB_API __attribute__((visibility("default")))
#endif

typedef int32_t CANHANDLE;

/* Bit rates, as the kilobit texts canusb_Open takes. */
#define CAN_BAUD_1M "1000"
#define CAN_BAUD_800K "800"
#define CAN_BAUD_500K "500"
#define CAN_BAUD_250K "250"
#define CAN_BAUD_125K "125"
#define CAN_BAUD_100K "100"
#define CAN_BAUD_50K "50"
#define CAN_BAUD_20K "20"
#define CAN_BAUD_10K "10"

/* Results. */
#define ERROR_CANUSB_OK 1
#define ERROR_CANUSB_GENERAL -1
#define ERROR_CANUSB_OPEN_SUBSYSTEM -2
#define ERROR_CANUSB_COMMAND_SUBSYSTEM -3
#define ERROR_CANUSB_NOT_OPEN -4
#define ERROR_CANUSB_TX_FIFO_FULL -5
#define ERROR_CANUSB_INVALID_PARAM -6
#define ERROR_CANUSB_NO_MESSAGE -7
#define ERROR_CANUSB_MEMORY_ERROR -8
#define ERROR_CANUSB_NO_DEVICE -9
#define ERROR_CANUSB_TIMEOUT -10
#define ERROR_CANUSB_INVALID_HARDWARE -11

/* Status bits of canusb_Status. */
#define CANSTATUS_RECEIVE_FIFO_FULL 0x01
#define CANSTATUS_TRANSMIT_FIFO_FULL 0x02
#define CANSTATUS_ERROR_WARNING 0x04
#define CANSTATUS_DATA_OVERRUN 0x08
#define CANSTATUS_ERROR_PASSIVE 0x20
#define CANSTATUS_ARBITRATION_LOST 0x40
#define CANSTATUS_BUS_ERROR 0x80

/* canusb_Open flags. */
#define CANUSB_FLAG_TIMESTAMP 0x0001
#define CANUSB_FLAG_QUEUE_REPLACE 0x0002
#define CANUSB_FLAG_BLOCK 0x0004
#define CANUSB_FLAG_SLOW 0x0008
#define CANUSB_FLAG_NO_LOCAL_SEND 0x0010

#define CANUSB_ACCEPTANCE_CODE_ALL 0x00000000u
#define CANUSB_ACCEPTANCE_MASK_ALL 0xFFFFFFFFu

/* canusb_Flush flags. */
#define FLUSH_WAIT 0x00
#define FLUSH_DONTWAIT 0x01
#define FLUSH_EMPTY_INQUEUE 0x02
/* Drops the frames given to canusb_WriteAt that have not been sent yet. */
#define FLUSH_CANCEL_TIMED 0x04

/* Frame flags. */
#define CANMSG_EXTENDED 0x80
#define CANMSG_RTR 0x40

#pragma pack(push, 1)
/* One frame, 18 bytes: timestamp is milliseconds modulo 60000. */
typedef struct CANMsg
{
    uint32_t id;
    uint32_t timestamp;
    uint8_t flags;
    uint8_t len;
    uint8_t data[8];
} CANMsg;
#pragma pack(pop)

/* Adapter enumeration: writes the serial number of the first / next adapter into
   szAdapter (size bytes, NUL-terminated); returns the number of adapters (> 0) or an
   error code (<= 0) when there is none left. */
CANUSB_API int canusb_getFirstAdapter(char *szAdapter, int size);
CANUSB_API int canusb_getNextAdapter(char *szAdapter, int size);

/* szID: serial number (NULL: the first adapter); szBitrate: one of CAN_BAUD_*.
   Returns a handle > 0 or an error code <= 0. */
CANUSB_API CANHANDLE canusb_Open(const char *szID, const char *szBitrate, uint32_t acceptance_code,
                                 uint32_t acceptance_mask, uint32_t flags);
CANUSB_API int canusb_Close(CANHANDLE h);
/* ERROR_CANUSB_OK with one frame in msg, ERROR_CANUSB_NO_MESSAGE when none is waiting. */
CANUSB_API int canusb_Read(CANHANDLE h, CANMsg *msg);
/* The first waiting frame with this id (and flags), taken out of the queue. */
CANUSB_API int canusb_ReadFirst(CANHANDLE h, uint32_t id, uint32_t flags, CANMsg *msg);
CANUSB_API int canusb_Write(CANHANDLE h, CANMsg *msg);
/* The status bits; CANSTATUS_RECEIVE_FIFO_FULL once frames were dropped. */
CANUSB_API int canusb_Status(CANHANDLE h);
/* Writes the version text (at most 32 bytes with its NUL) into verinfo. */
CANUSB_API int canusb_VersionInfo(CANHANDLE h, char *verinfo);
CANUSB_API int canusb_Flush(CANHANDLE h, uint8_t flushflags);

/* Timed transmission, an extension of this library. The frame leaves at dueUs, in
   microseconds on CLOCK_MONOTONIC, and never before a frame given to canusb_WriteAt
   earlier; a due time already past means at once. ERROR_CANUSB_TX_FIFO_FULL when the
   timed queue is full: the call never waits. canusb_Flush with FLUSH_CANCEL_TIMED drops
   what has not been sent. */
CANUSB_API int canusb_WriteAt(CANHANDLE h, CANMsg *msg, uint64_t dueUs);
/* How many timed frames have been sent since the handle was opened (counting on past
   2^32 - 1 to 0) and how many still wait; either pointer may be NULL. The counts are
   given also when the device is lost, with ERROR_CANUSB_NO_DEVICE. */
CANUSB_API int canusb_WriteAtStatus(CANHANDLE h, uint32_t *sent, uint32_t *waiting);

/* Extensions of this library for the machine's CAN interfaces (SocketCAN).
   canusb_GetProblem: what the user should be told about why the handle's device failed
   (an interface down, at another bit rate, removed), UTF-8, once: the text is gone after
   it was read. Returns the bytes copied; 0 when there is nothing to tell.
   canusb_getIgnoredEntry: the configuration entries the adapter list leaves out, as
   "entry<TAB>reason" (UTF-8) for index 0, 1, ...; returns how many there are. */
CANUSB_API int canusb_GetProblem(CANHANDLE h, char *text, int size);
CANUSB_API int canusb_getIgnoredEntry(int index, char *text, int size);

#ifdef __cplusplus
}
#endif

#endif
