#include "CliHost.h"

#include "CAN_PlayDB.h"
#include "ELM327_Info.h"
#include "RecordFiles.h"

CliHost::CliHost()
{
    m_battRead.setInterval(33);
    m_fileRecPlay.setInterval(100);
    m_fileRecPlay.setSingleShot(true);
    connect(&m_battRead, &QTimer::timeout, this, [this] { tick(); });
    connect(&m_fileRecPlay, &QTimer::timeout, this, [this] { preload(); });
}

void CliHost::attachPlayback(CAN_PlayDB *play, ELM327_Info *params)
{
    m_play = play;
    m_params = params;
}

void CliHost::setStatusText(int index, const QString &text)
{
    if (index == 0 || index == 1)
        m_status[index] = text;
}

QString CliHost::statusText(int index) const
{
    return index == 0 || index == 1 ? m_status[index] : QString();
}

void CliHost::setTimerBattReadEnabled(bool on)
{
    if (on && !m_battRead.isActive())
        m_battRead.start();
    else if (!on)
        m_battRead.stop();
}

void CliHost::setTimerFileRecPlayEnabled(bool on)
{
    if (on && !m_fileRecPlay.isActive())
        m_fileRecPlay.start();
    else if (!on)
        m_fileRecPlay.stop();
}

void CliHost::tick()
{
    if (m_play && m_play->Resuest_Timer_File_REC_Play_Enabled == 1) {
        m_play->Resuest_Timer_File_REC_Play_Enabled = 0;
        m_fileRecPlay.start();
    }
    if (onTick)
        onTick();
}

void CliHost::preload()
{
    m_fileRecPlay.stop();
    if (m_play && m_params)
        m_play->preloadForTimer(*this, *m_params);
}
