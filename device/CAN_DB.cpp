#include "CAN_DB.h"

#include <algorithm>

void CAN_DB::Param_ALL_Clear()
{
    for (QString &s : m_serials)
        s.clear();
    CAN_USB_FindCount = 0;
    CAN_USB_SelectNo = 0;
    CAN_USB_SelectSerial.clear();
    CAN_USB_Version.clear();
    CAN_USB_Handle = 0;
}

QString CAN_DB::CAN_USB_FindSerialNo(int32_t i) const
{
    return inRange(i) ? m_serials[size_t(i)] : QString();
}

void CAN_DB::CAN_USB_FindSerialNo(int32_t i, const QString &serial)
{
    if (inRange(i))
        m_serials[size_t(i)] = serial;
}

int32_t CAN_DB::foundCount() const
{
    return std::clamp<int32_t>(CAN_USB_FindCount, 0, CAN_USB_FindCount_MAX);
}
