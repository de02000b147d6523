#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The CANUSB adapters found at start-up and the one selected. Serials are kept at 1..30;
// an index outside reads as an empty serial and is not written.
class CAN_DB final
{
public:
    static constexpr int32_t CAN_USB_FindCount_MAX = 30;

    CAN_DB() { Param_ALL_Clear(); }

    void Param_ALL_Clear();

    QString CAN_USB_FindSerialNo(int32_t i) const;
    void CAN_USB_FindSerialNo(int32_t i, const QString &serial);

    // Adapters found; the list's own readers use foundCount(), which cannot exceed the
    // array even if this member was set to something else.
    int32_t CAN_USB_FindCount = 0;
    int32_t CAN_USB_SelectNo = 0;
    QString CAN_USB_SelectSerial;
    QString CAN_USB_Version;
    int32_t CAN_USB_Handle = 0;

    int32_t foundCount() const;

    static constexpr bool inRange(int32_t i) { return i >= 1 && i <= CAN_USB_FindCount_MAX; }

private:
    std::array<QString, CAN_USB_FindCount_MAX + 1> m_serials; // [0] unused
};
