#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The CANUSB adapter driver as the program sees it: the vendor's constants under their
// published names and the driver calls, bound by name from libcanusbdrv.so at the first
// call. Without the library (or with an entry point missing) every call answers
// ERROR_CANUSB_GENERAL, which callers already treat as failure.
//
// Do not include the vendor header canusbdrv.h next to this one: its macros carry the
// same names as these members.
class CANUSB final
{
public:
    // Bit rates as the kilobit texts canusb_Open takes.
    static constexpr char CAN_BAUD_1M[] = "1000";
    static constexpr char CAN_BAUD_800K[] = "800";
    static constexpr char CAN_BAUD_500K[] = "500";
    static constexpr char CAN_BAUD_250K[] = "250";
    static constexpr char CAN_BAUD_125K[] = "125";
    static constexpr char CAN_BAUD_100K[] = "100";
    static constexpr char CAN_BAUD_50K[] = "50";
    static constexpr char CAN_BAUD_20K[] = "20";
    static constexpr char CAN_BAUD_10K[] = "10";

    // Register pairs (BTR0:BTR1), as the vendor publishes them.
    static constexpr char CAN_BAUD_BTR_1M[] = "0x00:0x14";
    static constexpr char CAN_BAUD_BTR_500K[] = "0x00:1C";
    static constexpr char CAN_BAUD_BTR_250K[] = "0x01:0x1C";
    static constexpr char CAN_BAUD_BTR_125K[] = "0x3:0x1C";
    static constexpr char CAN_BAUD_BTR_100K[] = "0x43:0x2F";
    static constexpr char CAN_BAUD_BTR_50K[] = "0x47:0x2F";
    static constexpr char CAN_BAUD_BTR_20K[] = "0x53:0x2F";
    static constexpr char CAN_BAUD_BTR_10K[] = "0x67:0x2F";
    static constexpr char CAN_BAUD_BTR_5K[] = "0x7F:0x7F";

    // Status bits of canusb_Status.
    static constexpr int32_t CANSTATUS_RECEIVE_FIFO_FULL = 0x01;
    static constexpr int32_t CANSTATUS_TRANSMIT_FIFO_FULL = 0x02;
    static constexpr int32_t CANSTATUS_ERROR_WARNING = 0x04;
    static constexpr int32_t CANSTATUS_DATA_OVERRUN = 0x08;
    static constexpr int32_t CANSTATUS_ERROR_PASSIVE = 0x20;
    static constexpr int32_t CANSTATUS_ARBITRATION_LOST = 0x40;
    static constexpr int32_t CANSTATUS_BUS_ERROR = 0x80;

    // Results.
    static constexpr int32_t ERROR_CANUSB_OK = 1;
    static constexpr int32_t ERROR_CANUSB_GENERAL = -1;
    static constexpr int32_t ERROR_CANUSB_OPEN_SUBSYSTEM = -2;
    static constexpr int32_t ERROR_CANUSB_COMMAND_SUBSYSTEM = -3;
    static constexpr int32_t ERROR_CANUSB_NOT_OPEN = -4;
    static constexpr int32_t ERROR_CANUSB_TX_FIFO_FULL = -5;
    static constexpr int32_t ERROR_CANUSB_INVALID_PARAM = -6;
    static constexpr int32_t ERROR_CANUSB_NO_MESSAGE = -7;
    static constexpr int32_t ERROR_CANUSB_MEMORY_ERROR = -8;
    static constexpr int32_t ERROR_CANUSB_NO_DEVICE = -9;
    static constexpr int32_t ERROR_CANUSB_TIMEOUT = -10;
    static constexpr int32_t ERROR_CANUSB_INVALID_HARDWARE = -11;

    // canusb_Open flags.
    static constexpr uint32_t CANUSB_FLAG_TIMESTAMP = 0x0001;
    static constexpr uint32_t CANUSB_FLAG_QUEUE_REPLACE = 0x0002;
    static constexpr uint32_t CANUSB_FLAG_BLOCK = 0x0004;
    static constexpr uint32_t CANUSB_FLAG_SLOW = 0x0008;
    static constexpr uint32_t CANUSB_FLAG_NO_LOCAL_SEND = 0x0010;

    static constexpr uint32_t CANUSB_ACCEPTANCE_CODE_ALL = 0x00000000u;
    static constexpr uint32_t CANUSB_ACCEPTANCE_MASK_ALL = 0xFFFFFFFFu;

    // canusb_Flush flags.
    static constexpr uint8_t FLUSH_WAIT = 0x00;
    static constexpr uint8_t FLUSH_DONTWAIT = 0x01;
    static constexpr uint8_t FLUSH_EMPTY_INQUEUE = 0x02;
    static constexpr uint8_t FLUSH_CANCEL_TIMED = 0x04;

    // Frame flags.
    static constexpr uint8_t CANMSG_EXTENDED = 0x80;
    static constexpr uint8_t CANMSG_RTR = 0x40;

    // Sizes of the text buffers the enumeration and version calls fill.
    static constexpr int ADAPTER_TEXT_LENGTH = 32;
    static constexpr int VERSION_TEXT_LENGTH = 32;

#pragma pack(push, 1)
    // One frame, 18 bytes, little-endian; timestamp in ms, wrapping at 60000.
    struct CANMsg
    {
        uint32_t id = 0;
        uint32_t timestamp = 0;
        uint8_t flags = 0;
        uint8_t len = 0; // 0..8 from a sound driver; callers still check
        uint8_t data[8] = {};
    };
#pragma pack(pop)

    // The constants are fixed; kept so that start-up can reset every device object alike.
    void Param_ALL_Clear() {}

    // The kilobit text for the bit-rate index t_bitRate 0..7 (1M, 800k, 500k, 250k, 100k,
    // 50k, 20k, 10k); nullptr for any other value (config.dat is read as it stands).
    static const char *bitRateText(int32_t t_bitRate);

    // The driver calls, with the vendor's arguments and results. Serial numbers are sent
    // as Latin-1; an empty serial is sent as an empty text, which the driver (like the
    // vendor's) takes as "the first adapter".
    static int canusb_getFirstAdapter(char *szAdapter, int size);
    static int canusb_getNextAdapter(char *szAdapter, int size);
    static int32_t canusb_Open(const QString &szID, const char *szBitrate,
                               uint32_t acceptance_code, uint32_t acceptance_mask,
                               uint32_t flags);
    static int canusb_Close(int32_t handle);
    static int canusb_Read(int32_t handle, CANMsg *msg);
    static int canusb_ReadFirst(int32_t handle, uint32_t id, uint32_t flags, CANMsg *msg);
    static int canusb_Write(int32_t handle, CANMsg *msg);
    static int canusb_Status(int32_t handle);
    // verinfo must hold at least VERSION_TEXT_LENGTH bytes.
    static int canusb_VersionInfo(int32_t handle, char *verinfo);
    static int canusb_Flush(int32_t handle, uint8_t flushflags);
    // Timed transmission (dueUs on CLOCK_MONOTONIC), when the bound library offers it.
    static bool hasTimedSending();
    static int canusb_WriteAt(int32_t handle, CANMsg *msg, uint64_t dueUs);
    static int canusb_WriteAtStatus(int32_t handle, uint32_t *sent, uint32_t *waiting);

    // The configuration entries the driver leaves out of its adapter list, each as
    // "entry<TAB>reason"; empty when the library cannot tell.
    static QStringList ignoredEntries();
    // The start-up check looks for the library file; the path is for its message.
    static QString driverPath();
    static bool isDriverInstalled();
    // Binds now; false with the reason when the library or an entry point is missing.
    static bool bindDriver(QString *error = nullptr);
};
