// The record run.
#include "Form1.h"

#include "MessageBox.h"
#include "RecordFiles.h"

#include <QLineEdit>

namespace {

constexpr qsizetype kCommentMaxCharacters = 50;

// The comment as the record files keep it: without trailing spaces and at most 50
// characters, counted as the user sees them (a character outside the basic plane is one
// character, never cut in half).
QString recordComment(QString text)
{
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    qsizetype characters = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())
            continue;
        if (++characters > kCommentMaxCharacters)
            return text.left(i);
    }
    return text;
}

} // namespace

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
    unlockWindow();
}

double Form1::recordElapsedMs() const
{
    return RecMultiFlag == 1 ? m_recDBMulti.vx_millisecond : m_recDB.vx_millisecond;
}
