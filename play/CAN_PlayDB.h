#pragma once

#include "FileSource.h"
#include "PlayPacer.h"
#include "PlayRunState.h"
#include "PlayTarget.h"
#include "PlayVariant.h"

#include <QString>

#include <cstdint>
#include <memory>

class CAN_DB;
class CAN_DB_Interface;
class CAN_ReadDB;
class CANUSB;
class ELM327_Info;
class InterfaceCAN;
class PlayRun;
class QMimeData;
class RunHost;

// The playback engine: plays a record file or a folder of record files onto the bus with
// their recorded timing, and holds the play target. Its run state (PlayRunState) is what
// the main window, the live monitor and the command line read; PlayMode is the program-wide
// mode word (0 idle, 1 playing, 2 recording).
//
// A run is one long call on the window thread that lets the window system run whenever
// nothing is due, so Pause, Repeat, Disconnect and the two timers of the main window work
// while it plays. The main window's side of a run is the RunHost. The run itself is a
// PlayRun over a frame source; its timing is the PlayPacer's.
class CAN_PlayDB : public PlayTarget, public PlayRunState
{
public:
    CAN_PlayDB();
    virtual ~CAN_PlayDB();
    CAN_PlayDB(const CAN_PlayDB &) = delete;
    CAN_PlayDB &operator=(const CAN_PlayDB &) = delete;

    void Param_ALL_Clear();

    // The play target: restored from the settings at start-up, dropped on the window, or
    // chosen in the browse dialog. Each sets t_RecPlay_FileType (0 when rejected),
    // t_RecPlay_FilePath and t_RecPlay_FileName.
    void get_PlayFilePath_StartUp_Main(const ELM327_Info &params);
    void get_PlayFilePath_DD_Main(const QMimeData *drop, const ELM327_Info &params);
    void get_PlayFilePath_DB_Main(const QString &path, const ELM327_Info &params);

    // Plays the target once through (or until stopped) with the engine the settings ask
    // for (playEngineFor): this one, the skip-time and exclusion engine, or the memory
    // engine for a folder. Returns when the run has ended; RxFlag is 0 then.
    void FilePlayMain(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, CANUSB &CAN_u,
                      CAN_DB &CAN_d, InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d);
    void FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, CANUSB &CAN_u,
                         CAN_DB &CAN_d);
    void FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                               InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d);

    // The preload of the next folder file, run by the main window's Timer_File_REC_Play.
    // Files that are gone, unreadable, foreign or empty are passed over; each listed file
    // is tried at most once per call, and the call ends when RxFlag drops.
    void FolderPlayMode_PreLoadFile(RunHost &host, ELM327_Info &params);
    // The same for the skip-time and exclusion engine.
    void FolderPlayMode_PreLoadFile_Mulit(RunHost &host, ELM327_Info &params);
    // The preload timer's tick: the preload of the engine that plays, while a folder plays.
    void preloadForTimer(RunHost &host, ELM327_Info &params);

    // The Pause button (Pause_ON_Flag 1) and its second press (2). During a run the pause
    // takes effect at once, and lasts from click to click.
    void pauseClicked();
    void resumeClicked();

    // Playing time of the current cycle at the run's latest clock reading.
    double elapsedMs() const { return m_pacer.elapsedMs(); }
    // True while the run hands frames to a driver that sends them at their due times.
    bool sendsTimed() const;

    // The variant engines, created on first use and kept.
    std::unique_ptr<PlayVariant> CanPlay_Multi;
    std::unique_ptr<PlayVariant> CanPlay_Multi_MM;

    // The folder list of the current (or last) run and the two buffers.
    QString FolderPlayMode_FN_List(int32_t index) const { return m_files.listedName(index); }
    const FrameBuffer &playBuffer(int32_t channel) const { return m_files.buffer(channel); }

private:
    friend class PlayRun;

    PlayVariant *multiEngine();
    PlayVariant *memoryEngine();

    void clearTarget();
    void takePath(const QString &path, const ELM327_Info &params);

    PlayPacer m_pacer{*this};
    FileSource m_files;
    PlayRun *m_run = nullptr;   // the run in progress
};
