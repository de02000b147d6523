// The record run.
#include "Form1.h"

#include "MessageBox.h"
#include "Paths.h"
#include "RecordComment.h"
#include "RecordFiles.h"

#include <QLineEdit>

void Form1::Bt_Rec_Click()
{
    if (m_ButtonState[Rec] != 1)
        return;
    SetButtonStates(0, 2, 1, 0, 0, 0, 0, 0);
    lockWindow();

    if (device.t_LogSave_Enable != 1) {
        // Recording without a record file is not offered.
        showMessage(QStringLiteral("録画をする場合は、[ツール(T)] - [保存機能] の\r\n"
                                   "[録画ファイルを保存する] を有効にしてください"),
                    MsgIcon::Critical, device.Application_title);
        unlockWindow();
        return;
    }

    setStatusText(0, QStringLiteral("通信初期処理中"));
    TB_Status[0]->setFocus();
    device.t_LogComment = recordComment(TB_Comment->text());

    // The monitor reads the playback object's pause and clock state in every mode: what
    // the last playback left (a pause still on, its summed pause time) must not reach
    // this run, or the table would stand still and silence would be greyed late.
    CanPlay.resetRunState();
    CanPlay.PlayMode = 2;
    m_view.Param_ALL_Clear();
    RxFlag = 1;
    if (IsRecExclusionEnabled(device) == 1) {
        RecMultiFlag = 1;
        m_view.DisableID_Status_Buffer = RecExclusionText(device);
        if (device.t_select_Vender == 1)
            m_recDBMulti.Open_CANUSB_Multi(device, Rx_CANDATA, CAN_u, CAN_d);
        else if (device.t_select_Vender == 2)
            m_recDBMulti.Open_InterfaceCAN_Multi(device, Rx_CANDATA, IfCan_u, IfCan_d);
    } else {
        RecMultiFlag = 0;
        if (device.t_select_Vender == 1)
            m_recDB.Open_CANUSB(device, Rx_CANDATA, CAN_u, CAN_d);
        else if (device.t_select_Vender == 2)
            m_recDB.Open_InterfaceCAN(device, Rx_CANDATA, IfCan_u, IfCan_d);
    }
    RxFlag = 0;
    // Before any handler can run: a snapshot, a copy or closing the window must find every
    // line current and coloured.
    RTB_MainView->finishLiveTable();
    m_view.DisableID_Status_Buffer.clear();
    CanPlay.PlayMode = 0;
    // An installed program keeps its files in the user's data folder, not beside itself;
    // the user is told where they went.
    const RecordLoop &loop = RecMultiFlag == 1 ? static_cast<const RecordLoop &>(m_recDBMulti)
                                               : static_cast<const RecordLoop &>(m_recDB);
    if (loop.recordFilesWritten() > 0 && device.t_LogSaveFilePath_mode == 0
        && !paths::isProgramFolderWritable() && statusText(1).isEmpty())
        setStatusText(1, QStringLiteral("保存先：") + paths::fileFolder());
    unlockWindow();
}

double Form1::recordElapsedMs() const
{
    return RecMultiFlag == 1 ? m_recDBMulti.vx_millisecond : m_recDB.vx_millisecond;
}
