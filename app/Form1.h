#pragma once

#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "CAN_PlayDB.h"
#include "CAN_ReadDB.h"
#include "CAN_RecDB.h"
#include "CAN_RecDB_Multi.h"
#include "CAN_ViewDB.h"
#include "CANUSB.h"
#include "ELM327_Info.h"
#include "InterfaceCAN.h"
#include "LiveMonitor.h"
#include "MonitorView.h"
#include "RunHost.h"
#include "SignalWatch.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QDateTime;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QLockFile;
class QMenu;
class QTextEdit;
class QTimer;
class QToolButton;
class DatabaseChoice;
class Form2;
class SignalPane;
class FormHelp;
class FormVersion;

// The main window: owns every working object, runs start-up and shutdown, shows the
// device list, the transport buttons, the status lines and the live view, and starts and
// stops the record and playback runs. Its implementation is split by concern over the
// Form1*.cpp files.
class Form1 final : public QMainWindow, public RunHost
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The start-up sequence; false when the program must end (a second instance, a
    // missing library or driver, no device, a device that does not respond).
    bool Form_Load();

    // Public state shared with the other windows and the loops.
    ELM327_Info device;
    int ApplicationOpenFlag = 0;
    int SettingFileOpenFlag = 0;
    double f1_interfaceCAN_offset_time = 0;
    CAN_PlayDB CanPlay;

    // Transport buttons, in the fixed order of ButtonState and SetButtonStates.
    enum Button { Connect, Rec, Disconnect, Pause, Head, Rewind, FF, Repeat, ButtonCount };
    void SetButtonStates(int connect, int rec, int disconnect, int pause, int head, int rewind,
                         int ff, int repeat);
    void RefreshButtonPictures();
    const std::array<int, ButtonCount> &ButtonState() const { return m_ButtonState; }
    static QString buttonPicture(int button, int state);   // ":/buttons/401.png" …

    // Around a run: editing, menus, the device list and file drops off, and back on.
    void lockWindow();
    void unlockWindow();

    // RunHost
    void setStatusText(int index, const QString &text) override;
    QString statusText(int index) const override;
    void setProtocolText(const QString &text) override;
    void setCommentText(const QString &text) override;
    bool timerBattReadEnabled() const override;
    void setTimerBattReadEnabled(bool on) override;
    bool timerFileRecPlayEnabled() const override;
    void setTimerFileRecPlayEnabled(bool on) override;

    // The working objects, for the loops and for tests.
    CAN_ReadDB &rxData() { return Rx_CANDATA; }
    CAN_ViewDB &viewState() { return m_view; }
    CANUSB &canusbConstants() { return CAN_u; }
    CAN_DB &canusbAdapters() { return CAN_d; }
    InterfaceCAN &interfaceBoard() { return IfCan_u; }
    CAN_DB_Interface &interfaceBoards() { return IfCan_d; }
    int RecMultiFlag = 0;
    // Elapsed time of the running record loop in ms (the multi loop's when RecMultiFlag = 1).
    double recordElapsedMs() const;

    QTextEdit *mainView() const { return RTB_MainView; }
    // The CAN database of the live view and its signal pane (Form1_Monitor.cpp).
    DatabaseChoice *databaseChoice() const { return m_database; }
    SignalPane *signalPane() const { return m_signalPane; }

    // The text view's date stamp, e.g. "2026年12月07日(月) 04:05 ".
    static QString dateStampText(const QDateTime &time);
    // Snapshots and date stamps read this clock; an empty function restores the real one.
    static void setViewClockForTesting(std::function<QDateTime()> clock);

public slots:
    void Bt_Connect_Click();
    void Bt_Rec_Click();
    void Bt_Disconnect_Click();
    void Bt_Pause_Click();
    void Bt_Repeat_Click();
    void Bt_OpenPlayFile_Click();
    void Bt_SaveFile_Click();
    void Bt_ViewClear_Click();
    void Cmb_Serect_Device_Click();
    void TimerBattRead_Timer();
    void Timer_File_REC_Play_Timer();
    void menu_file_close_Click();
    void menu_help_version_Click();
    void menu_common_setting_Click();
    void menu_opt_function1_Click();
    void menu_opt_log1_Click();
    void menu_file_changer_Click();

public:
    // Opens a settings window (it becomes this window's child and is deleted when it
    // closes) modal to this window, whose controls and menus stay disabled until the
    // dialog finishes by OK, Cancel, Escape or its close box; the help window is then hidden.
    void openSettingsDialog(QDialog *dialog);
    FormHelp *helpWindow() const { return m_help; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildMenus();
    void buildViewMenu();
    QToolButton *makeTransportButton(const char *name);
    void setDropsAccepted(bool on);
    void connectViewMenu();
    void updateViewMenu();
    QString snapshotFolder();

    // Start-up pieces (Form1_Startup.cpp).
    bool acquireSingleInstance();
    void showProgress(const QString &text, int value);
    int runDeviceCheck();
    void Form_Unload();

    // Playback target (Form1_PlayFile.cpp).
    void ShowPlayTarget(int report);
    void PlayFileDropped(const class QMimeData *data);
    void TogglePause();

    // Working objects.
    CANUSB CAN_u;
    CAN_DB CAN_d;
    InterfaceCAN IfCan_u;
    CAN_DB_Interface IfCan_d;
    CAN_ReadDB Rx_CANDATA;
    CAN_ViewDB m_view;
    // The two record loops; this window is the host of their runs.
    CAN_RecDB m_recDB{*this};
    CAN_RecDB_Multi m_recDBMulti{*this};
    std::array<int, ButtonCount> m_ButtonState{};
    std::unique_ptr<QLockFile> m_instanceLock;

    // Controls, named as the window's controls.
    std::array<QToolButton *, ButtonCount> m_buttons{};
    QComboBox *Cmb_Serect_Device = nullptr;
    MonitorView *RTB_MainView = nullptr;
    QTextEdit *RTB_MainView_Back = nullptr;
    std::unique_ptr<LiveMonitor> m_monitor;   // made at the first tick
    void buildSignalPane(class QSplitter *splitter, QMenu *tools);
    void showSignals();
    DatabaseChoice *m_database = nullptr;
    SignalPane *m_signalPane = nullptr;
    SignalWatch m_signalWatch;
    class QSplitter *m_viewSplitter = nullptr;
    std::array<QLineEdit *, 2> TB_Status{};
    QLineEdit *TB_Comment = nullptr;
    QLineEdit *TB_Protocol = nullptr;
    QLineEdit *TB_ODB_Hard_Version = nullptr;
    QToolButton *Bt_SaveFile = nullptr;
    QToolButton *Bt_ViewClear = nullptr;
    QGroupBox *GB_PlayFile = nullptr;
    QLineEdit *TB_Play_FileName = nullptr;
    QLineEdit *TB_Play_FilePass = nullptr;
    QLabel *Lb_PlayFile = nullptr;
    QToolButton *Bt_OpenPlayFile = nullptr;
    QTimer *TimerBattRead = nullptr;
    QTimer *Timer_File_REC_Play = nullptr;

    QAction *menu_file_changer = nullptr;
    QAction *menu_file_close = nullptr;
    QAction *menu_common_setting = nullptr;
    QAction *menu_opt_function1 = nullptr;
    QAction *menu_opt_log1 = nullptr;
    QAction *menu_help_version = nullptr;

    QMenu *menu_View = nullptr;
    QAction *menu_View_All_Copy = nullptr;
    QAction *menu_View_Ctrl_Z = nullptr;
    QAction *menu_View_Ctrl_X = nullptr;
    QAction *menu_View_Ctrl_C = nullptr;
    QAction *menu_View_Ctrl_V = nullptr;
    QAction *menu_View_DEL = nullptr;
    QAction *menu_View_Text_Red = nullptr;
    QAction *menu_View_Text_Blue = nullptr;
    QAction *menu_View_Text_Black = nullptr;
    QAction *menu_View_Marker_Pink = nullptr;
    QAction *menu_View_Marker_Yellow = nullptr;
    QAction *menu_View_Marker_black = nullptr;
    QAction *menu_View_Marker_white = nullptr;
    QAction *menu_View_Date = nullptr;

    Form2 *m_progress = nullptr;
    class FormFileChanger *m_fileChanger = nullptr;
    FormHelp *m_help = nullptr;
    bool m_unloaded = false;
};
