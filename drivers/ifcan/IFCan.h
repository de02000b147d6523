/* The C interface of the Interface CAN board driver library (libIFCan.so), the same entry
   points, structures and codes as the vendor's Windows driver. */
#ifndef IFCAN_H
#define IFCAN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define IFCAN_API __stdcall
#else
#define IFCAN_API __attribute__((visibility("default")))
#endif

#define IFCAN_ERROR_SUCCESS 0x00000000u
#define IFCAN_ERROR_NOT_READY 0xC0000001u
#define IFCAN_ERROR_DELETED 0xC0000002u
#define IFCAN_ERROR_INVALID_PARAMETER 0xC0000003u
#define IFCAN_ERROR_INSUFFICIENT_BUFFER 0xC0000004u
#define IFCAN_ERROR_NOT_OPENED 0xC0000005u
#define IFCAN_ERROR_NOT_ENOUGH_MEMORY 0xC0000006u
#define IFCAN_ERROR_BUFFER_FULL 0xC0000007u
#define IFCAN_ERROR_BUFFER_EMPTY 0xC0000008u
#define IFCAN_ERROR_INVALID_FUNCTION 0xC0000009u
#define IFCAN_ERROR_INVALID_HANDLE 0xC000000Au
#define IFCAN_ERROR_NOT_SUPPORTED 0xC000000Bu
#define IFCAN_ERROR_NOW_SENDING 0xC000000Cu
#define IFCAN_ERROR_USBIO_TIMEOUT 0xC000000Du
#define IFCAN_ERROR_USBIO_FAILED 0xC000000Eu

/* Configuration field 1. */
#define CAN_NORMAL_MODE 0
#define CAN_LISTEN_ONLY_MODE 1

/* Bit timing values of configuration field 7. */
#define CAN_BAUDRATE_1M 39
#define CAN_BAUDRATE_500k 295
#define CAN_BAUDRATE_250k 570
#define CAN_BAUDRATE_125k 1338
#define CAN_BAUDRATE_100k 2358
#define CAN_BAUDRATE_95_2k 3364
#define CAN_BAUDRATE_83_3k 3876
#define CAN_BAUDRATE_50k 7459
#define CAN_BAUDRATE_33_3k 10020

#define CAN_PORT_INFORMATION_LENGTH 36

#pragma pack(push, 1)
typedef struct CAN_PORT_INFORMATION
{
    uint32_t ulStructLength;
    uint32_t ulVendorID;
    uint32_t ulDeviceID;
    uint32_t ulSubsystemID;
    uint32_t ulRevisionID;
    uint32_t ulBoardID;
    uint32_t ulModelNumber;
    uint32_t ulChannelNumber;
    uint32_t ulPhysicalLayer; /* 1 = high-speed CAN */
} CAN_PORT_INFORMATION;

/* Seven fields: 1 the mode, 7 the bit timing; the others are the board's own. */
typedef struct CAN_CONFIG
{
    uint32_t ulMode;
    uint32_t ulAcceptanceCode;
    uint32_t ulAcceptanceMask;
    uint32_t ulFilterMode;
    uint32_t ulTransmitRetry;
    uint32_t ulReserved;
    uint32_t ulBitTiming;
} CAN_CONFIG;

/* One message, 24 bytes; ulTimeStamp is microseconds modulo 429491000. */
typedef struct CAN_MESSAGE
{
    uint32_t ulLength; /* DLC 0..8 */
    uint32_t ulFlags;  /* bit 0: 29-bit identifier, bit 1: remote frame */
    uint32_t ulID;
    uint8_t ucData[8];
    uint32_t ulTimeStamp;
} CAN_MESSAGE;
#pragma pack(pop)

/* szName: "IFCAN" + port number. Returns a handle, -1 when there is no such port. */
IFCAN_API int32_t CanOpenPort(const char *szName);
IFCAN_API uint32_t CanClosePort(int32_t hPort);
IFCAN_API uint32_t CanGetPortInformation(int32_t hPort, CAN_PORT_INFORMATION *pInfo);
IFCAN_API uint32_t CanGetConfig(int32_t hPort, CAN_CONFIG *pConfig);
IFCAN_API uint32_t CanSetConfig(int32_t hPort, const CAN_CONFIG *pConfig);
IFCAN_API uint32_t CanActivate(int32_t hPort);
IFCAN_API uint32_t CanDeactivate(int32_t hPort);
/* Takes exactly ulCount waiting messages into pMessages: IFCAN_ERROR_SUCCESS, or
   IFCAN_ERROR_BUFFER_EMPTY (nothing taken) when fewer are waiting. */
IFCAN_API uint32_t CanReceiveMessage(int32_t hPort, CAN_MESSAGE *pMessages, uint32_t ulCount);
/* Sends ulCount messages; IFCAN_ERROR_INVALID_PARAMETER for a length above 8. */
IFCAN_API uint32_t CanSendMessage(int32_t hPort, const CAN_MESSAGE *pMessages, uint32_t ulCount);

/* Timed transmission, an extension of this library. The ulCount messages leave back to back
   at ullDueUs, in microseconds on CLOCK_MONOTONIC, and never before a message given to
   CanSendMessageAt earlier; a due time already past means at once. IFCAN_ERROR_BUFFER_FULL
   (nothing queued) when the timed queue cannot take them all: the call never waits. */
IFCAN_API uint32_t CanSendMessageAt(int32_t hPort, const CAN_MESSAGE *pMessages, uint32_t ulCount,
                                    uint64_t ullDueUs);
/* Drops the timed messages that have not been sent yet. */
IFCAN_API uint32_t CanFlushMessageAt(int32_t hPort);
/* How many timed messages have been sent since the port was opened (counting on past
   2^32 - 1 to 0) and how many still wait; either pointer may be NULL. The counts are
   given also when the port is lost, with IFCAN_ERROR_DELETED. */
IFCAN_API uint32_t CanGetMessageAtStatus(int32_t hPort, uint32_t *pulSent, uint32_t *pulWaiting);

/* Extensions of this library for the machine's CAN interfaces (SocketCAN).
   CanGetStatus: the bus state the controller's error frames reported (warning, passive and
   bus off hold until it recovers; the other bits are cleared once read).
   CanGetProblem: why the port's device failed (an interface down, at another bit rate,
   removed), for the user, UTF-8, once; an empty text when there is nothing to tell.
   CanGetPortDevice: the device behind a port name, "plugin:interface" (socketcan:can0).
   CanGetIgnoredEntry: the configuration entries the port list leaves out, as
   "entry<TAB>reason" (UTF-8) for index 0, 1, ...; returns how many there are. */
#define CAN_STATUS_ERROR_WARNING 0x0001
#define CAN_STATUS_ERROR_PASSIVE 0x0002
#define CAN_STATUS_BUS_OFF 0x0004
#define CAN_STATUS_DATA_OVERRUN 0x0008
#define CAN_STATUS_ARBITRATION_LOST 0x0010
#define CAN_STATUS_BUS_ERROR 0x0020
#define CAN_STATUS_RECEIVE_BUFFER_FULL 0x0040
#define CAN_STATUS_DEVICE_LOST 0x0080
IFCAN_API uint32_t CanGetStatus(int32_t hPort, uint32_t *pulStatus);
IFCAN_API uint32_t CanGetProblem(int32_t hPort, char *szText, uint32_t ulSize);
IFCAN_API uint32_t CanGetPortDevice(const char *szName, char *szText, uint32_t ulSize);
IFCAN_API uint32_t CanGetIgnoredEntry(uint32_t ulIndex, char *szText, uint32_t ulSize);

#ifdef __cplusplus
}
#endif

#endif
