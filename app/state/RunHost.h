#pragma once

#include <QString>

// What a running loop (recording or playback) needs of the main window: the stop flag,
// the status lines, the protocol box and the two timers. The main window implements it;
// headless tests and benchmarks bring their own.
class RunHost
{
public:
    virtual ~RunHost() = default;

    // 1 while a loop runs; Disconnect, the end of the data or a device failure set it to 0
    // and the loop returns at its next test.
    int RxFlag = 0;

    virtual void setStatusText(int index, const QString &text) = 0;   // TB_Status(0), (1)
    virtual QString statusText(int index) const = 0;
    virtual void setProtocolText(const QString &text) = 0;            // TB_Protocol
    virtual void setCommentText(const QString &text) { Q_UNUSED(text); }   // TB_Comment

    virtual bool timerBattReadEnabled() const = 0;
    virtual void setTimerBattReadEnabled(bool on) = 0;
    virtual bool timerFileRecPlayEnabled() const = 0;
    virtual void setTimerFileRecPlayEnabled(bool on) = 0;
};
