#pragma once

#include "InterfaceCAN.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// The Interface CAN ports found at start-up and the one selected. Entries are kept at
// 0..255 (the search fills 1..count); an index outside reads as 0 and is not written.
class CAN_DB_Interface final
{
public:
    static constexpr int32_t Interface_CAN_FindCount_MAX = 255;

    CAN_DB_Interface() { Param_ALL_Clear(); }

    // Zeroes every entry, the count and the selection; the handle text becomes "0".
    void Param_ALL_Clear();

    int32_t Interface_CAN_FindCount = 0;
    // The port number n of the selected "IFCAN"n.
    int32_t Interface_CAN_SelectNo = 0;
    // The open port's handle as decimal text; "-1" after a failed open.
    QString Interface_CAN_Handle;

    // The port number n of the i-th port found.
    int32_t Interface_CAN_FindNo(int32_t i) const;
    void Interface_CAN_FindNo(int32_t i, int32_t portNo);

#define IFCAN_DB_INFO(field)                                                       \
    uint32_t IfCAN_info_##field(int32_t i) const                                   \
    {                                                                              \
        return inRange(i) ? m_info[size_t(i)].field : 0;                           \
    }                                                                              \
    void IfCAN_info_##field(int32_t i, uint32_t v)                                 \
    {                                                                              \
        if (inRange(i))                                                            \
            m_info[size_t(i)].field = v;                                           \
    }
    IFCAN_DB_INFO(ulStructLength)
    IFCAN_DB_INFO(ulVendorID)
    IFCAN_DB_INFO(ulDeviceID)
    IFCAN_DB_INFO(ulSubsystemID)
    IFCAN_DB_INFO(ulRevisionID)
    IFCAN_DB_INFO(ulBoardID)
    IFCAN_DB_INFO(ulModelNumber)
    IFCAN_DB_INFO(ulChannelNumber)
    IFCAN_DB_INFO(ulPhysicalLayer)
#undef IFCAN_DB_INFO

    // The machine interface behind the i-th port ("vcan0"); empty for any other device.
    QString interfaceName(int32_t i) const;
    void interfaceName(int32_t i, const QString &name);

    // All nine fields of entry i at once, as the driver reported them.
    void setPortInformation(int32_t i, const InterfaceCAN::CAN_PORT_INFORMATION &info);

    // Ports found, never more than the arrays hold.
    int32_t foundCount() const;

    // The board model by device and subsystem identifier, both as plain numbers (4851 is
    // the number 4851, not 0x4851); empty when the pair is not a known board.
    static QString modelName(uint32_t deviceId, uint32_t subsystemId);
    QString modelName(int32_t i) const;
    // "Interface " + model + " RevID:" + revision + " ch:" + channel, followed by
    // " 高速CAN対応" for a high-speed physical layer.
    QString deviceLabel(int32_t i) const;

    // What the first status line shows after the last CanClosePort of a run: an empty
    // text (cleared) on success, the driver's message for 0xC0000001 .. 0xC000000E, and
    // no value for any other code (the line is left as it is).
    static std::optional<QString> closeResultText(uint32_t result);

    static constexpr bool inRange(int32_t i) { return i >= 0 && i <= Interface_CAN_FindCount_MAX; }

private:
    std::array<int32_t, Interface_CAN_FindCount_MAX + 1> m_findNo{};
    std::array<QString, Interface_CAN_FindCount_MAX + 1> m_interfaceName{};
    std::array<InterfaceCAN::CAN_PORT_INFORMATION, Interface_CAN_FindCount_MAX + 1> m_info{};
};
