// The play target, Repeat and Pause.
#include "Form1.h"

#include "BrowseFileOrFolder.h"
#include "MessageBox.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>

void Form1::Bt_OpenPlayFile_Click()
{
    const QString path = BrowseFileOrFolder(this);
    if (path.isEmpty())
        return;
    CanPlay.get_PlayFilePath_DB_Main(path, device);
    ShowPlayTarget(1);
}

void Form1::PlayFileDropped(const QMimeData *data)
{
    CanPlay.get_PlayFilePath_DD_Main(data, device);
    ShowPlayTarget(1);
}

void Form1::ShowPlayTarget(int report)
{
    switch (CanPlay.t_RecPlay_FileType) {
    case 1:
        TB_Play_FileName->setText(CanPlay.t_RecPlay_FileName);
        TB_Play_FilePass->setText(CanPlay.t_RecPlay_FilePath);
        return;
    case 2:
        TB_Play_FileName->setText(QStringLiteral("■フォルダ再生モード"));
        TB_Play_FilePass->setText(CanPlay.t_RecPlay_FilePath);
        return;
    default:
        if (report != 1)
            return;
        TB_Play_FileName->clear();
        TB_Play_FilePass->clear();
        showMessage(QStringLiteral("正しいファイル、もしくはフォルダではありません"),
                    MsgIcon::Information, device.Application_title);
    }
}

void Form1::Bt_Repeat_Click()
{
    int &state = m_ButtonState[Repeat];
    if (state == 1) {
        state = 2;
        CanPlay.t_RecPlay_PlayMode_Repeat = 1;
    } else if (state == 2) {
        state = 1;
        CanPlay.t_RecPlay_PlayMode_Repeat = 0;
    } else {
        return;
    }
    RefreshButtonPictures();
}

void Form1::Bt_Pause_Click()
{
    TogglePause();
}

void Form1::TogglePause()
{
    int &state = m_ButtonState[Pause];
    if (state == 1) {
        state = 2;
        CanPlay.pauseClicked();
        TimerBattRead->stop();
    } else if (state == 2) {
        state = 1;
        CanPlay.resumeClicked();
        TimerBattRead->start();
    } else {
        return;
    }
    RefreshButtonPictures();
}
