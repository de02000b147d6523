#pragma once

#include <QString>

class ELM327_Info;
class CANUSB;
class CAN_DB;
class InterfaceCAN;
class CAN_DB_Interface;

// Start-up checks shared by the main window.
namespace Common_Function {

// 1 only the CANUSB driver, 2 only the Interface driver, 3 both, -1 start refused (the
// message has been shown).
int StartupCheck(const ELM327_Info &params);

// Opens the device selected by t_CmbBOX_device_SelectNo once, puts its version text (or
// the board label) into versionText and sets t_select_Vender. Negative when the device
// does not respond.
int DeviceCheck(ELM327_Info &params, CANUSB &canusb, CAN_DB &adapters, InterfaceCAN &board,
                CAN_DB_Interface &boards, QString &versionText);

// ExcelInstallCheck = 1 when the spreadsheet server (LibreOffice and the program's office
// module) is usable; otherwise 0, and the record format falls back to text.
void SpreadsheetCheck(ELM327_Info &params);

} // namespace Common_Function
