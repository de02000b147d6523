#include "Common_Function.h"

#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "CANUSB.h"
#include "DeviceSearch.h"
#include "ELM327_Info.h"
#include "InterfaceCAN.h"
#include "MessageBox.h"
#include "OfficeModule.h"
#include "Paths.h"
#include "Vexa100.h"


namespace Common_Function {

int StartupCheck(const ELM327_Info &params)
{
    // The sibling viewer shares this folder layout; its executable name is not part of
    // the folder.
    QString folder = paths::programFolder();
    folder.remove(QStringLiteral("Vistbus.exe"));

    const QString support = paths::join(folder, vexa::libraryFileName());
    if (!paths::isExistingFile(support) || !vexa::bind()) {
        showMessage(QStringLiteral("vexa100.dll が見つかりません。\r\n"
                                   "vexa100.dll は同梱のものを使用してください。\r\n"
                                   "アプリケーションを終了します。"),
                    MsgIcon::Critical, params.Application_title);
        return -1;
    }

    int result = 0;
    if (CANUSB::isDriverInstalled())
        result = 1;
    if (InterfaceCAN::isDriverInstalled())
        result = result == 0 ? 2 : 3;
    if (result == 0) {
        showMessage(QStringLiteral("canusbdrv.dll もしくは  が見つかりません。\r\n")
                        + CANUSB::driverPath()
                        + QStringLiteral("\r\nドライバがインストールされていません。\r\n"
                                         "アプリケーションを終了します。"),
                    MsgIcon::Critical, params.Application_title);
        return -1;
    }
    return result;
}

int DeviceCheck(ELM327_Info &params, CANUSB &canusb, CAN_DB &adapters, InterfaceCAN &board,
                CAN_DB_Interface &boards, QString &versionText)
{
    return DeviceSearch::checkSelectedDevice(params, canusb, adapters, board, boards, &versionText);
}

void SpreadsheetCheck(ELM327_Info &params)
{
    // Usable means the office module loads and the office it drives is installed; the
    // office itself starts only when a conversion runs.
    if (office::isUsable()) {
        params.ExcelInstallCheck = 1;
        return;
    }
    params.ExcelInstallCheck = 0;
    params.t_LogSaveFormat = 2;
}

} // namespace Common_Function
