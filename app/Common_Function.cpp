#include "Common_Function.h"

#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "CANUSB.h"
#include "DeviceSearch.h"
#include "ELM327_Info.h"
#include "InterfaceCAN.h"
#include "MessageBox.h"
#include "Paths.h"
#include "Vexa100.h"

#include <QFileInfo>
#include <QStandardPaths>

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

QString spreadsheetServerPath()
{
    const QString inPath = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (!inPath.isEmpty())
        return inPath;
    for (const char *candidate : {"/usr/lib/libreoffice/program/soffice",
                                  "/opt/libreoffice/program/soffice"})
        if (QFileInfo(QLatin1String(candidate)).isExecutable())
            return QLatin1String(candidate);
    return {};
}

int DeviceCheck(ELM327_Info &params, CANUSB &canusb, CAN_DB &adapters, InterfaceCAN &board,
                CAN_DB_Interface &boards, QString &versionText)
{
    return DeviceSearch::checkSelectedDevice(params, canusb, adapters, board, boards, &versionText);
}

void SpreadsheetCheck(ELM327_Info &params)
{
    if (!spreadsheetServerPath().isEmpty()) {
        params.ExcelInstallCheck = 1;
        return;
    }
    params.ExcelInstallCheck = 0;
    params.t_LogSaveFormat = 2;
}

} // namespace Common_Function
