#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The Interface CAN board driver as the program sees it: the vendor's constants under
// their published names and the driver calls, bound by name from libIFCan.so at the first
// call. Without the library every open answers -1 (no such port) and every other call
// IFCAN_ERROR_NOT_READY ("The current driver cannot be used.").
//
// Do not include the vendor header IFCan.h next to this one: its macros carry the same
// names as these members.
class InterfaceCAN final
{
public:
    static constexpr uint32_t IFCAN_ERROR_SUCCESS = 0x00000000u;
    static constexpr uint32_t IFCAN_ERROR_NOT_READY = 0xC0000001u;
    static constexpr uint32_t IFCAN_ERROR_DELETED = 0xC0000002u;
    static constexpr uint32_t IFCAN_ERROR_INVALID_PARAMETER = 0xC0000003u;
    static constexpr uint32_t IFCAN_ERROR_INSUFFICIENT_BUFFER = 0xC0000004u;
    static constexpr uint32_t IFCAN_ERROR_NOT_OPENED = 0xC0000005u;
    static constexpr uint32_t IFCAN_ERROR_NOT_ENOUGH_MEMORY = 0xC0000006u;
    static constexpr uint32_t IFCAN_ERROR_BUFFER_FULL = 0xC0000007u;
    static constexpr uint32_t IFCAN_ERROR_BUFFER_EMPTY = 0xC0000008u;
    static constexpr uint32_t IFCAN_ERROR_INVALID_FUNCTION = 0xC0000009u;
    static constexpr uint32_t IFCAN_ERROR_INVALID_HANDLE = 0xC000000Au;
    static constexpr uint32_t IFCAN_ERROR_NOT_SUPPORTED = 0xC000000Bu;
    static constexpr uint32_t IFCAN_ERROR_NOW_SENDING = 0xC000000Cu;
    static constexpr uint32_t IFCAN_ERROR_USBIO_TIMEOUT = 0xC000000Du;
    static constexpr uint32_t IFCAN_ERROR_USBIO_FAILED = 0xC000000Eu;

    // Configuration field 1.
    static constexpr uint32_t CAN_NORMAL_MODE = 0;
    static constexpr uint32_t CAN_LISTEN_ONLY_MODE = 1;

    // Bit timing values of configuration field 7.
    static constexpr uint32_t CAN_BAUDRATE_1M = 39;
    static constexpr uint32_t CAN_BAUDRATE_500k = 295;
    static constexpr uint32_t CAN_BAUDRATE_250k = 570;
    static constexpr uint32_t CAN_BAUDRATE_125k = 1338;
    static constexpr uint32_t CAN_BAUDRATE_100k = 2358;
    static constexpr uint32_t CAN_BAUDRATE_95_2k = 3364;
    static constexpr uint32_t CAN_BAUDRATE_83_3k = 3876;
    static constexpr uint32_t CAN_BAUDRATE_50k = 7459;
    static constexpr uint32_t CAN_BAUDRATE_33_3k = 10020;

    static constexpr int32_t CAN_PORT_INFORMATION_LENGTH = 36;
    // CanOpenPort's answer when there is no such port.
    static constexpr int32_t INVALID_PORT_HANDLE = -1;

#pragma pack(push, 1)
    struct CAN_PORT_INFORMATION
    {
        uint32_t ulStructLength = CAN_PORT_INFORMATION_LENGTH;
        uint32_t ulVendorID = 0;
        uint32_t ulDeviceID = 0;
        uint32_t ulSubsystemID = 0;
        uint32_t ulRevisionID = 0;
        uint32_t ulBoardID = 0;
        uint32_t ulModelNumber = 0;
        uint32_t ulChannelNumber = 0;
        uint32_t ulPhysicalLayer = 0; // 1 = high-speed CAN
    };

    // Seven fields: 1 the mode, 7 the bit timing; the others are the board's own.
    struct CAN_CONFIG
    {
        uint32_t ulMode = 0;
        uint32_t ulAcceptanceCode = 0;
        uint32_t ulAcceptanceMask = 0;
        uint32_t ulFilterMode = 0;
        uint32_t ulTransmitRetry = 0;
        uint32_t ulReserved = 0;
        uint32_t ulBitTiming = 0;
    };

    // One message, 24 bytes; ulTimeStamp in microseconds, wrapping at 429491000.
    struct CAN_MESSAGE
    {
        uint32_t ulLength = 0; // DLC; 0..8 from a sound driver, callers still check
        uint32_t ulFlags = 0;  // bit 0: 29-bit identifier, bit 1: remote frame
        uint32_t ulID = 0;
        uint8_t ucData[8] = {};
        uint32_t ulTimeStamp = 0;
    };
#pragma pack(pop)

    // The constants are fixed; kept so that start-up can reset every device object alike.
    void Param_ALL_Clear() {}

    // The bit timing for the bit-rate index t_bitRate: 0 1M, 2 500k, 3 250k, 4 100k,
    // 5 50k. The boards do not support 1 (800k), 6 (20k) and 7 (10k): no value, as for
    // any index outside 0..7.
    static std::optional<uint32_t> bitTiming(int32_t t_bitRate);
    // "IFCAN" + the port number in decimal.
    static QString portName(int32_t portNo);

    // The driver calls. Port names are sent as Latin-1.
    static int32_t CanOpenPort(const QString &szName);
    static uint32_t CanClosePort(int32_t hPort);
    static uint32_t CanGetPortInformation(int32_t hPort, CAN_PORT_INFORMATION *pInfo);
    static uint32_t CanGetConfig(int32_t hPort, CAN_CONFIG *pConfig);
    static uint32_t CanSetConfig(int32_t hPort, const CAN_CONFIG *pConfig);
    static uint32_t CanActivate(int32_t hPort);
    static uint32_t CanDeactivate(int32_t hPort);
    // pMessages holds ulCount messages.
    static uint32_t CanReceiveMessage(int32_t hPort, CAN_MESSAGE *pMessages, uint32_t ulCount);
    static uint32_t CanSendMessage(int32_t hPort, const CAN_MESSAGE *pMessages, uint32_t ulCount);
    // Timed transmission (ullDueUs on CLOCK_MONOTONIC), when the bound library offers it;
    // without it these answer IFCAN_ERROR_NOT_SUPPORTED.
    static bool hasTimedSending();
    static uint32_t CanSendMessageAt(int32_t hPort, const CAN_MESSAGE *pMessages,
                                     uint32_t ulCount, uint64_t ullDueUs);
    static uint32_t CanFlushMessageAt(int32_t hPort);
    static uint32_t CanGetMessageAtStatus(int32_t hPort, uint32_t *pulSent, uint32_t *pulWaiting);

    // The device behind a port ("socketcan:can0") when the library tells; else empty.
    static QString portDevice(const QString &szName);
    // The configuration entries the driver leaves out of its port list, each as
    // "entry<TAB>reason"; empty when the library cannot tell.
    static QStringList ignoredEntries();
    static QString driverPath();
    static bool isDriverInstalled();
    static bool bindDriver(QString *error = nullptr);
};
