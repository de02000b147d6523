#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

class CANUSB;
class CAN_DB;
class InterfaceCAN;
class CAN_DB_Interface;
class ELM327_Info;

// Finding the attached devices at start-up and checking the one chosen in the device
// list. Nothing here touches a window: the texts to show are returned.
namespace DeviceSearch {

// The CANUSB adapters, first/next, one message pump step before each next. A call that
// fails, a serial shorter than 7 characters, or a full list (30) ends the search.
// Returns the number found, also stored as CAN_USB_FindCount.
int32_t searchCanUsb(CANUSB &CAN_u, CAN_DB &CAN_d);

// The Interface ports "IFCAN1" .. "IFCAN255", one message pump step after each.
// Returns the number found, also stored as Interface_CAN_FindCount.
int32_t searchInterfaceCan(InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d);

// The device list: "CANUSB " + serial for every adapter, then "Interface " + model +
// " port:" + port number for every port, and " (" + interface + ")" for a port on one of
// the machine's CAN interfaces. Item k (0-based) is selection number k + 1.
QStringList deviceListItems(const CAN_DB &CAN_d, const CAN_DB_Interface &IfCan_d);

// Checks the device numbered t_CmbBOX_device_SelectNo (1-based: the adapters, then the
// ports) and sets t_select_Vender. An adapter is opened at 500 kbit/s, its version read
// and closed again: 1, or -1 when it does not open (the version is then "???"). A port
// gives 1 and its board label. A number outside the list gives -1, "???" and vendor 0.
// versionText receives what the hardware version box shows.
int32_t checkSelectedDevice(ELM327_Info &device, CANUSB &CAN_u, CAN_DB &CAN_d,
                            InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                            QString *versionText);

// The serial number in an enumeration buffer: the text before the first NUL, at most
// `size` bytes.
QString serialFromBuffer(const char *buffer, int size);

} // namespace DeviceSearch
