#include "CAN_DB_Interface.h"

#include <algorithm>
#include <iterator>

namespace {

struct BoardModel
{
    uint32_t deviceId;
    uint32_t subsystemId;
    const char *name;
};

constexpr BoardModel kBoards[] = {
    {4851, 8340, "PCI-485120"},  {4851, 14484, "PCI-485120"}, {4851, 8331, "PCI-485111"},
    {4851, 8322, "PCI-485102"},  {4851, 8330, "PCI-485110"},  {4851, 513, "CBI-4851"},
    {4851, 10388, "CBI-485120"},
    {4852, 8340, "PCI-485220"},  {4852, 8331, "PCI-485211"},  {4852, 8322, "PCI-485202"},
    {4852, 8350, "PCI-485230P"}, {4852, 9364, "CPZ-485220"},  {4852, 9355, "CPZ-485211"},
    {4852, 9346, "CPZ-485202"},  {4852, 513, "CBI-4852"},     {4852, 10388, "CBI-485220"},
    {4853, 8360, "PCI-485340"},  {4853, 8342, "PCI-485322"},  {4853, 8324, "PCI-485304"},
    {4853, 9384, "CPZ-485340"},  {4853, 9366, "CPZ-485322"},  {4853, 9348, "CPZ-485304"},
    {4854, 8340, "PCI-485420P"}, {4854, 9364, "CPZ-485420P"}, {4854, 10388, "CSI-485420"},
};

constexpr const char *kCloseTexts[] = {
    "The current driver cannot be used.",
    "The current driver is deleted.",
    "Invalid parameters are specified.",
    "The data area passed to the system call is too small.",
    "The port tried to close before opening the port.",
    "Not enough memory.",
    "The buffer is full.",
    "The buffer is empty.",
    "Invalid function is specified.",
    "The device handle is invalid.",
    "The specified capability is not supported.",
    "It is cycle or data transmission now.",
    "USB communicate Timeout.",
    "USB communicate failed.",
};

} // namespace

void CAN_DB_Interface::Param_ALL_Clear()
{
    m_findNo.fill(0);
    m_interfaceName.fill(QString());
    m_info.fill(InterfaceCAN::CAN_PORT_INFORMATION{0, 0, 0, 0, 0, 0, 0, 0, 0});
    Interface_CAN_FindCount = 0;
    Interface_CAN_SelectNo = 0;
    Interface_CAN_Handle = QStringLiteral("0");
}

int32_t CAN_DB_Interface::Interface_CAN_FindNo(int32_t i) const
{
    return inRange(i) ? m_findNo[size_t(i)] : 0;
}

void CAN_DB_Interface::Interface_CAN_FindNo(int32_t i, int32_t portNo)
{
    if (inRange(i))
        m_findNo[size_t(i)] = portNo;
}

QString CAN_DB_Interface::interfaceName(int32_t i) const
{
    return inRange(i) ? m_interfaceName[size_t(i)] : QString();
}

void CAN_DB_Interface::interfaceName(int32_t i, const QString &name)
{
    if (inRange(i))
        m_interfaceName[size_t(i)] = name;
}

void CAN_DB_Interface::setPortInformation(int32_t i, const InterfaceCAN::CAN_PORT_INFORMATION &info)
{
    if (inRange(i))
        m_info[size_t(i)] = info;
}

int32_t CAN_DB_Interface::foundCount() const
{
    return std::clamp<int32_t>(Interface_CAN_FindCount, 0, Interface_CAN_FindCount_MAX);
}

QString CAN_DB_Interface::modelName(uint32_t deviceId, uint32_t subsystemId)
{
    for (const BoardModel &b : kBoards) {
        if (b.deviceId == deviceId && b.subsystemId == subsystemId)
            return QString::fromLatin1(b.name);
    }
    return QString();
}

QString CAN_DB_Interface::modelName(int32_t i) const
{
    return modelName(IfCAN_info_ulDeviceID(i), IfCAN_info_ulSubsystemID(i));
}

QString CAN_DB_Interface::deviceLabel(int32_t i) const
{
    QString label = QStringLiteral("Interface ") + modelName(i) + QStringLiteral(" RevID:")
                    + QString::number(IfCAN_info_ulRevisionID(i)) + QStringLiteral(" ch:")
                    + QString::number(IfCAN_info_ulChannelNumber(i));
    if (IfCAN_info_ulPhysicalLayer(i) == 1)
        label += QStringLiteral(" 高速CAN対応");
    return label;
}

std::optional<QString> CAN_DB_Interface::closeResultText(uint32_t result)
{
    if (result == InterfaceCAN::IFCAN_ERROR_SUCCESS)
        return QString();
    const uint32_t first = InterfaceCAN::IFCAN_ERROR_NOT_READY;
    if (result >= first && result - first < std::size(kCloseTexts))
        return QString::fromLatin1(kCloseTexts[result - first]);
    return std::nullopt;
}
