#include "DeviceSearch.h"

#include "CANUSB.h"
#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "DeviceProblem.h"
#include "ELM327_Info.h"
#include "InterfaceCAN.h"
#include "MessagePump.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int kMinSerialLength = 7;
constexpr char kUnknownVersion[] = "???";
// A port on one of the machine's own CAN interfaces, as the driver names its device.
const QString kMachinePrefix = QStringLiteral("socketcan:");

// Room beyond what the driver is told, so that a driver writing one byte too many (its
// terminating NUL after a full 32-character text) lands in our buffer.
constexpr int kBufferSlack = 32;

QString versionOf(CANUSB &CAN_u, int32_t handle)
{
    std::array<char, CANUSB::VERSION_TEXT_LENGTH + kBufferSlack> buffer{};
    if (CAN_u.canusb_VersionInfo(handle, buffer.data()) < 1)
        return QString::fromLatin1(kUnknownVersion);
    return DeviceSearch::serialFromBuffer(buffer.data(), CANUSB::VERSION_TEXT_LENGTH);
}

int32_t checkAdapter(CANUSB &CAN_u, CAN_DB &CAN_d, int32_t selectNo, QString *versionText)
{
    CAN_d.CAN_USB_SelectNo = selectNo;
    CAN_d.CAN_USB_SelectSerial = CAN_d.CAN_USB_FindSerialNo(selectNo);
    const int32_t handle = CAN_u.canusb_Open(CAN_d.CAN_USB_SelectSerial, CANUSB::CAN_BAUD_500K,
                                             CANUSB::CANUSB_ACCEPTANCE_CODE_ALL,
                                             CANUSB::CANUSB_ACCEPTANCE_MASK_ALL,
                                             CANUSB::CANUSB_FLAG_TIMESTAMP);
    if (handle < 1) {
        CAN_d.CAN_USB_Version = QString::fromLatin1(kUnknownVersion);
        *versionText = CAN_d.CAN_USB_Version;
        return -1;
    }
    CAN_d.CAN_USB_Version = versionOf(CAN_u, handle);
    CAN_u.canusb_Close(handle);
    *versionText = CAN_d.CAN_USB_Version;
    return 1;
}

} // namespace

namespace DeviceSearch {

QString serialFromBuffer(const char *buffer, int size)
{
    const size_t n = strnlen(buffer, size_t(std::max(0, size)));
    return QString::fromLatin1(buffer, qsizetype(n));
}

int32_t searchCanUsb(CANUSB &CAN_u, CAN_DB &CAN_d)
{
    for (int32_t i = 1; i <= CAN_DB::CAN_USB_FindCount_MAX; ++i)
        CAN_d.CAN_USB_FindSerialNo(i, QString());
    int32_t count = 0;
    std::array<char, CANUSB::ADAPTER_TEXT_LENGTH + kBufferSlack> buffer{};
    int result = CAN_u.canusb_getFirstAdapter(buffer.data(), CANUSB::ADAPTER_TEXT_LENGTH);
    while (result > 0) {
        const QString serial = serialFromBuffer(buffer.data(), CANUSB::ADAPTER_TEXT_LENGTH);
        if (serial.size() < kMinSerialLength)
            break;
        CAN_d.CAN_USB_FindSerialNo(++count, serial);
        // A driver that reports more adapters than the list holds stops here.
        if (count == CAN_DB::CAN_USB_FindCount_MAX)
            break;
        pumpMessages();
        buffer.fill('\0');
        result = CAN_u.canusb_getNextAdapter(buffer.data(), CANUSB::ADAPTER_TEXT_LENGTH);
    }
    CAN_d.CAN_USB_FindCount = count;
    return count;
}

int32_t searchInterfaceCan(InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d)
{
    const QString handleText = IfCan_d.Interface_CAN_Handle;
    const int32_t selectNo = IfCan_d.Interface_CAN_SelectNo;
    IfCan_d.Param_ALL_Clear();
    IfCan_d.Interface_CAN_Handle = handleText;
    IfCan_d.Interface_CAN_SelectNo = selectNo;

    int32_t count = 0;
    for (int32_t n = 1; n <= CAN_DB_Interface::Interface_CAN_FindCount_MAX; ++n) {
        const int32_t handle = IfCan_u.CanOpenPort(InterfaceCAN::portName(n));
        if (handle != InterfaceCAN::INVALID_PORT_HANDLE) {
            ++count; // n runs to 255, so count stays inside the arrays
            IfCan_d.Interface_CAN_FindNo(count, n);
            const QString device = IfCan_u.portDevice(InterfaceCAN::portName(n));
            if (device.startsWith(kMachinePrefix))
                IfCan_d.interfaceName(count, device.mid(kMachinePrefix.size()));
            InterfaceCAN::CAN_PORT_INFORMATION info;
            if (IfCan_u.CanGetPortInformation(handle, &info) == InterfaceCAN::IFCAN_ERROR_SUCCESS)
                IfCan_d.setPortInformation(count, info);
        }
        // Closed for every number, as the vendor's sample does; -1 is refused harmlessly.
        IfCan_u.CanClosePort(handle);
        pumpMessages();
    }
    IfCan_d.Interface_CAN_FindCount = count;
    return count;
}

QStringList deviceListItems(const CAN_DB &CAN_d, const CAN_DB_Interface &IfCan_d)
{
    QStringList items;
    for (int32_t i = 1; i <= CAN_d.foundCount(); ++i)
        items << QStringLiteral("CANUSB ") + CAN_d.CAN_USB_FindSerialNo(i);
    for (int32_t i = 1; i <= IfCan_d.foundCount(); ++i) {
        QString item = QStringLiteral("Interface ") + IfCan_d.modelName(i) + QStringLiteral(" port:")
                       + QString::number(IfCan_d.Interface_CAN_FindNo(i));
        // Ports on the machine's interfaces all present one board: the name tells them apart.
        if (const QString name = IfCan_d.interfaceName(i); !name.isEmpty())
            item += QStringLiteral(" (") + name + QLatin1Char(')');
        items << item;
    }
    return items;
}

int32_t checkSelectedDevice(ELM327_Info &device, CANUSB &CAN_u, CAN_DB &CAN_d,
                            InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                            QString *versionText)
{
    QString ignored;
    QString &text = versionText ? *versionText : ignored;
    DeviceProblem::setTitle(device.Application_title);
    const int32_t s = device.t_CmbBOX_device_SelectNo;
    const int32_t adapters = CAN_d.foundCount();
    const int32_t ports = IfCan_d.foundCount();
    if (s >= 1 && s <= adapters) {
        device.t_select_Vender = 1;
        return checkAdapter(CAN_u, CAN_d, s, &text);
    }
    if (s > adapters && s - adapters <= ports) {
        const int32_t i = s - adapters;
        device.t_select_Vender = 2;
        IfCan_d.Interface_CAN_SelectNo = IfCan_d.Interface_CAN_FindNo(i);
        text = IfCan_d.deviceLabel(i);
        return 1;
    }
    // Not an item of the list (a stale or corrupted number): nothing is opened, and no
    // vendor stays selected for the record and play buttons to act on.
    device.t_select_Vender = 0;
    text = QString::fromLatin1(kUnknownVersion);
    return -1;
}

} // namespace DeviceSearch
