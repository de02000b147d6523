#pragma once

#include "RunHost.h"

#include <QObject>
#include <QTimer>

#include <functional>

class CAN_PlayDB;
class ELM327_Info;

// The main window's part in a run, without a window: the stop flag, the status lines
// (kept, for the summary and the progress line), and the two timers. The monitor tick
// forwards the playback engine's preload request to the preload timer, which loads the
// next folder file, as the main window's timers do.
class CliHost final : public QObject, public RunHost
{
public:
    CliHost();

    // Playback runs hand over their engine and parameters for the preload.
    void attachPlayback(CAN_PlayDB *play, ELM327_Info *params);

    void setStatusText(int index, const QString &text) override;
    QString statusText(int index) const override;
    void setProtocolText(const QString &text) override { m_protocol = text; }
    bool timerBattReadEnabled() const override { return m_battRead.isActive(); }
    void setTimerBattReadEnabled(bool on) override;
    bool timerFileRecPlayEnabled() const override { return m_fileRecPlay.isActive(); }
    void setTimerFileRecPlayEnabled(bool on) override;

    // Runs on every monitor tick (33 ms) while a run is on.
    std::function<void()> onTick;

private:
    void tick();
    void preload();

    QTimer m_battRead;
    QTimer m_fileRecPlay;
    QString m_status[2];
    QString m_protocol;
    CAN_PlayDB *m_play = nullptr;
    ELM327_Info *m_params = nullptr;
};
