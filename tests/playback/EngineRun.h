#pragma once

#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "CAN_PlayDB.h"
#include "CAN_ReadDB.h"
#include "CANUSB.h"
#include "ELM327_Info.h"
#include "InterfaceCAN.h"
#include "PlaybackFixture.h"
#include "RunHost.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace playtest {

// The main window as the engine sees it, without widgets: a monitor timer that forwards
// the preload request as the live monitor does, and the preload timer.
class EngineHost final : public QObject, public RunHost
{
public:
    EngineHost(CAN_PlayDB &play, ELM327_Info &params) : m_play(play), m_params(params)
    {
        battRead.setInterval(33);
        fileRecPlay.setInterval(100);
        fileRecPlay.setSingleShot(true);
        QObject::connect(&battRead, &QTimer::timeout, this, [this] { tick(); });
        QObject::connect(&fileRecPlay, &QTimer::timeout, this, [this] { preload(); });
    }

    void setStatusText(int index, const QString &text) override
    {
        if (index == 0 || index == 1) {
            status[index] = text;
            statusLog << text;
        }
    }
    QString statusText(int index) const override
    {
        return index == 0 || index == 1 ? status[index] : QString();
    }
    void setProtocolText(const QString &text) override { protocol = text; }
    bool timerBattReadEnabled() const override { return battRead.isActive(); }
    void setTimerBattReadEnabled(bool on) override
    {
        if (on && !battRead.isActive())
            battRead.start();
        else if (!on)
            battRead.stop();
    }
    bool timerFileRecPlayEnabled() const override { return fileRecPlay.isActive(); }
    void setTimerFileRecPlayEnabled(bool on) override
    {
        if (on && !fileRecPlay.isActive())
            fileRecPlay.start();
        else if (!on)
            fileRecPlay.stop();
    }

    QTimer battRead;
    QTimer fileRecPlay;
    QString status[2];
    QStringList statusLog;
    QString protocol;
    int ticks = 0;
    int preloads = 0;
    // Runs on every monitor tick: the tests' hands during a run.
    std::function<void()> onTick;

private:
    void tick()
    {
        battRead.stop();
        if (m_play.Resuest_Timer_File_REC_Play_Enabled == 1) {
            m_play.Resuest_Timer_File_REC_Play_Enabled = 0;
            fileRecPlay.start();
        }
        ++ticks;
        if (onTick)
            onTick();
        if (RxFlag == 1)
            battRead.start();
    }
    void preload()
    {
        fileRecPlay.stop();
        if (m_play.PlayMode != 1 || m_play.t_RecPlay_FileType != 2)
            return;
        ++preloads;
        m_play.FolderPlayMode_PreLoadFile(*this, m_params);
    }

    CAN_PlayDB &m_play;
    ELM327_Info &m_params;
};

// Everything a playback run takes, on the bus of one port: adapter "PLAYUSB" and
// Interface port 1.
struct EngineRun
{
    explicit EngineRun(int port)
        : adapters("CANUSB_ADAPTERS", "PLAYUSB=" + driverBus(port)),
          ports("IFCAN_PORTS", "1=" + driverBus(port))
    {
        CAN_d.CAN_USB_SelectSerial = QStringLiteral("PLAYUSB");
        IfCan_d.Interface_CAN_SelectNo = 1;
        params.t_select_Vender = 1;
    }

    void targetFile(const QString &folder, const QString &name)
    {
        play.t_RecPlay_FileType = 1;
        play.t_RecPlay_FilePath = folder;
        play.t_RecPlay_FileName = name;
    }
    void targetFolder(const QString &folder)
    {
        play.t_RecPlay_FileType = 2;
        play.t_RecPlay_FilePath = folder;
        play.t_RecPlay_FileName.clear();
    }

    // One run as the Connect button starts it. False when the watchdog had to stop it.
    bool run(int watchdogMs = 30000)
    {
        bool stopped = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            stopped = true;
            host.RxFlag = 0;
        });
        watchdog.start(watchdogMs);
        play.PlayMode = 1;
        host.RxFlag = 1;
        play.FilePlayMain(host, params, rx, CAN_u, CAN_d, IfCan_u, IfCan_d);
        play.PlayMode = 0;
        return !stopped;
    }

    ScopedEnv adapters;
    ScopedEnv ports;
    MessageRecorder messages;
    ELM327_Info params;
    CAN_ReadDB rx;
    CANUSB CAN_u;
    CAN_DB CAN_d;
    InterfaceCAN IfCan_u;
    CAN_DB_Interface IfCan_d;
    CAN_PlayDB play;
    EngineHost host{play, params};
};

} // namespace playtest
