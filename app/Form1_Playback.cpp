// The playback run and the one-shot preload hand-off.
#include "Form1.h"

#include "MessageBox.h"
#include "MonitorView.h"
#include "RecordFiles.h"

#include <QTimer>

namespace {

constexpr double kPlayingSyncBudgetMs = 0.25;

} // namespace

void Form1::Bt_Connect_Click()
{
    if (m_ButtonState[Connect] == 2 && m_ButtonState[Pause] == 2) {
        TogglePause();
        return;
    }
    if (m_ButtonState[Connect] != 1)
        return;

    SetButtonStates(2, 0, 1, 1, 0, 0, 0, m_ButtonState[Repeat]);
    lockWindow();
    CanPlay.resetRunState();
    CanPlay.PlayMode = 1;
    m_view.Param_ALL_Clear();
    m_view.DisableID_Status_Buffer = PlayExclusionText(device);
    RxFlag = 1;

    if (CanPlay.t_RecPlay_FileType != 1 && CanPlay.t_RecPlay_FileType != 2) {
        showMessage(QStringLiteral("再生するファイルもしくはフォルダを\r\n選択してください"),
                    MsgIcon::Information, device.Application_title);
    } else {
        setStatusText(0, QStringLiteral("初期処理中"));
        // Frames are due between the window system's turns: the table comes up in slices
        // short enough not to hold one back.
        RTB_MainView->setSyncBudgetMs(kPlayingSyncBudgetMs);
        CanPlay.FilePlayMain(*this, device, Rx_CANDATA, CAN_u, CAN_d, IfCan_u, IfCan_d);
        RTB_MainView->setSyncBudgetMs(0);
        // Before any handler can run: a snapshot, a copy or closing the window must find
        // every line current and coloured.
        RTB_MainView->finishLiveTable();
        setStatusText(0, QString());
        setStatusText(1, QString());
    }

    RxFlag = 0;
    CanPlay.PlayMode = 0;
    setProtocolText(QString());
    unlockWindow();
}

void Form1::Timer_File_REC_Play_Timer()
{
    Timer_File_REC_Play->stop();
    CanPlay.preloadForTimer(*this, device);
}
