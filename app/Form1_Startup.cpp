// Start-up and shutdown of the main window.
#include "Form1.h"

#include "DatabaseChoice.h"

#include "Common_Function.h"
#include "DeviceSearch.h"
#include "Form2.h"
#include "FormHelp.h"
#include "FormVersion.h"
#include "LogList.h"
#include "MessageBox.h"
#include "MessagePump.h"
#include "Paths.h"
#include "SettingsFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QProgressBar>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextEdit>
#include <QTimer>

bool Form1::acquireSingleInstance()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QDir().mkpath(folder);
    m_instanceLock = std::make_unique<QLockFile>(folder + QStringLiteral("/cankestrova.lock"));
    // A lock left by a crashed instance is taken over; a live one is not.
    m_instanceLock->setStaleLockTime(0);
    return m_instanceLock->tryLock(0);
}

void Form1::showProgress(const QString &text, int value)
{
    if (!text.isEmpty())
        m_progress->Lb_msg->setText(text);
    m_progress->ProgressBar1->setValue(value);
    pumpMessages();
}

bool Form1::Form_Load()
{
    if (!acquireSingleInstance())
        return false;

    // 1. Working objects to their defaults.
    device.Param_ALL_Clear();
    CAN_d.Param_ALL_Clear();
    CAN_u.Param_ALL_Clear();
    IfCan_d.Param_ALL_Clear();
    IfCan_u.Param_ALL_Clear();
    CanPlay.Param_ALL_Clear();

    // 2. The view's menu starts as buildViewMenu() left it.

    // 3. Support library and drivers.
    const int installed = Common_Function::StartupCheck(device);
    if (installed < 1)
        return false;

    // 4. Settings.
    SettingFileOpenFlag = LoadSettingsFile(device, CanPlay) == 0 ? 1 : 0;

    // 5. Progress window.
    m_progress = new Form2(this);
    m_progress->setWindowTitle(device.Application_title);
    m_progress->show();
    showProgress(QStringLiteral("デバイスの初期処理中"), 0);
    showProgress(QString(), 15);

    // 6, 7. Device searches.
    if (installed == 1 || installed == 3)
        DeviceSearch::searchCanUsb(CAN_u, CAN_d);
    showProgress(QString(), 30);
    if (installed == 2 || installed == 3)
        DeviceSearch::searchInterfaceCan(IfCan_u, IfCan_d);
    showProgress(QString(), 45);

    // 8. Anything found?
    showProgress(QStringLiteral("検索結果の判断処理中"), 45);
    if (CAN_d.CAN_USB_FindCount < 1 && IfCan_d.Interface_CAN_FindCount < 1) {
        m_progress->hide();
        showMessage(QStringLiteral("デバイスが見つかりません。\r\nアプリケーションを終了します。"),
                    MsgIcon::Critical, device.Application_title);
        return false;
    }

    // 9, 10. The device list: every adapter, then every board.
    const QStringList items = DeviceSearch::deviceListItems(CAN_d, IfCan_d);
    const int adapters = CAN_d.foundCount();
    for (int i = 0; i < items.size(); ++i) {
        Cmb_Serect_Device->addItem(items[i]);
        pumpMessages();
        if (i + 1 == adapters)
            showProgress(QString(), 60);
    }
    showProgress(QString(), 75);

    // 11, 12. Select the first device and check that it answers.
    Cmb_Serect_Device->setCurrentIndex(0);
    device.t_CmbBOX_device_SelectNo = 1;
    const int check = runDeviceCheck();
    showProgress(QString(), 90);
    if (check < 0) {
        m_progress->hide();
        showMessage(QStringLiteral("機器が正常に動作していません。\r\nアプリケーションを終了します。"),
                    MsgIcon::Critical, device.Application_title);
        return false;
    }

    // 13. The view, the spreadsheet check, the comment and the play target.
    m_progress->hide();
    const LogListLoad notes = LoadLogList(*RTB_MainView->document());
    if (notes.outcome == LogListLoad::Refused)
        showMessage(notes.message, MsgIcon::Exclamation, device.Application_title);
    RTB_MainView->verticalScrollBar()->setValue(RTB_MainView->verticalScrollBar()->maximum());
    RTB_MainView->moveCursor(QTextCursor::End);
    Common_Function::SpreadsheetCheck(device);
    TB_Comment->setText(device.t_LogComment);
    CanPlay.get_PlayFilePath_StartUp_Main(device);
    ShowPlayTarget(0);
    m_database->restore();

    // 14. Ready.
    setWindowTitle(device.Application_title);
    SetButtonStates(1, 1, 0, 0, 0, 0, 0, 1);
    ApplicationOpenFlag = 1;
    return true;
}

int Form1::runDeviceCheck()
{
    QString version;
    const int result = Common_Function::DeviceCheck(device, CAN_u, CAN_d, IfCan_u, IfCan_d, version);
    TB_ODB_Hard_Version->setText(version);
    return result;
}

void Form1::Cmb_Serect_Device_Click()
{
    const int selected = Cmb_Serect_Device->currentIndex() + 1;
    if (device.t_CmbBOX_device_SelectNo == selected)
        return;
    device.t_CmbBOX_device_SelectNo = selected;
    runDeviceCheck();
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing while a run is active is refused; the user stops it first.
    if (TimerBattRead->isActive() || RxFlag == 1) {
        event->ignore();
        return;
    }
    if (!m_unloaded && ApplicationOpenFlag == 1) {
        RxFlag = 0;
        pumpMessages();
        TimerBattRead->stop();
        const bool notesSaved = SaveLogList(*RTB_MainView->document())
                                || !paths::isExistingFolder(paths::programFolder());
        const bool settingsSaved = SaveSettingsFile(device, CanPlay) == 0;
        // A file that could not be replaced keeps its previous content; say which.
        QStringList unsaved;
        if (!settingsSaved)
            unsaved << settingsFilePath();
        if (!notesSaved)
            unsaved << logListPath();
        if (!unsaved.isEmpty())
            showMessage(QStringLiteral("次のファイルを保存できませんでした。\r\n%1\r\n"
                                       "前回のファイルはそのまま残っています。")
                            .arg(unsaved.join(QStringLiteral("\r\n"))),
                        MsgIcon::Exclamation, device.Application_title);
    }
    Form_Unload();
    event->accept();
}

void Form1::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // The other windows, in a fixed order, each followed by one pump step.
    QWidget *progress = m_progress;
    QWidget *help = m_help;
    for (QWidget *w : {progress, findChild<QWidget *>(QStringLiteral("FormFileChanger")),
                       findChild<QWidget *>(QStringLiteral("FormCommonSetting")), help,
                       findChild<QWidget *>(QStringLiteral("FormOption1")),
                       findChild<QWidget *>(QStringLiteral("FormOptionLog1")),
                       findChild<QWidget *>(QStringLiteral("FormVersion"))}) {
        if (w)
            w->close();
        pumpMessages();
    }
}
