#pragma once

#include "FrameBuffer.h"
#include "PlayClock.h"
#include "PlayHandOff.h"
#include "PlayTarget.h"
#include "PlayVariant.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class CAN_DB;
class CAN_DB_Interface;
class CAN_ReadDB;
class CANUSB;
class ELM327_Info;
class InterfaceCAN;
class PlayDevice;
class QMimeData;
class RunHost;
struct PlayMessage;
struct RecordFrame;

// The playback engine: plays a record file or a folder of record files onto the bus with
// their recorded timing, and holds the play target. Its PlayMode is the program-wide mode
// word (0 idle, 1 playing, 2 recording).
//
// A run is one long call on the window thread that lets the window system run whenever
// nothing is due, so Pause, Repeat, Disconnect and the two timers of the main window work
// while it plays. The main window's side of a run is the RunHost.
class CAN_PlayDB : public PlayTarget
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
    // for: this one, the skip-time and exclusion engine, or the memory engine for a folder.
    // Returns when the run has ended; RxFlag is 0 then.
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

    // Run state, read by the main window for its status lines and written by the variant
    // engines as theirs.
    int32_t PlayMode = 0;
    int32_t t_RecPlay_PlayMode_Repeat = 0;

    int32_t PlayDAT_count = 0;
    int32_t PlayDAT_Select_ch = 1;
    int32_t Resuest_Timer_File_REC_Play_Enabled = 0;
    int32_t Pause_ON_Flag = 0;
    double Pause_ON_starttime = 0;
    double Pause_ON_offset_time = 0;
    double Pause_ON_offset_time2 = 0;
    int32_t FolderPlayMode_FN_Count = 0;
    int32_t FolderPlayMode_FN_Count_Now = 0;
    double vx_millisecond = 0;
    double vx_start_time = 0;
    // What the live monitor subtracts from its own clock reading to stand on the engine's
    // time line: 0, or a whole number of wraps once the 32-bit clock has wrapped.
    double interfaceCAN_offset_time = 0;
    double vx_millisecond_Repeat = 0;
    double vx_millisecond_Repeat_MAX = 0;
    // Frames that left for the bus in this run, for a summary.
    int64_t sentFrameCount = 0;

    // The variant engines, created on first use and kept.
    std::unique_ptr<PlayVariant> CanPlay_Multi;
    std::unique_ptr<PlayVariant> CanPlay_Multi_MM;

    // ---- The pieces a run is made of, shared with the variant engines -------------------

    // Step 1 of a run: pause, cycle, clock and folder bookkeeping back to 0.
    void resetRunState();
    // Opens the device and shows its bit rate in TB_Protocol. False after a failure (the
    // message has been shown); the device needs closing either way (endRun).
    bool openDevice(RunHost &host, PlayDevice &device);
    // The last steps before the first frame, with the message already filled from it:
    // starts the device, runs the 3 s bus check, starts the monitor timer and the run's
    // clock with t0 as the time of the frame that is due at once. False when the device
    // would not start (shown) or the run was stopped meanwhile.
    bool beginSending(RunHost &host, CAN_ReadDB &rx, PlayDevice &device, double t0);
    // Playing time in the current cycle: now − cycle start − pauses of the cycle, plus the
    // time a variant has skipped.
    double elapsedMs(double skipOffset = 0) const;
    // A record whose time (less t0) has been reached. A time that is not a number is due
    // at once, so a damaged record cannot hold the run. When the driver sends at due times,
    // a record is due for handing over as soon as it falls within the look-ahead and the
    // driver's share has room, and never while the run is paused.
    bool isDue(const RecordFrame &record, double skipOffset = 0) const;
    // One pass with nothing due: reads the clock (or, paused, keeps it frozen; resumed,
    // adds the pause), then lets the window system run. Then, when the next record is
    // still far off (or there is none yet, or the run is paused), the thread sleeps up to
    // kMaxRestMs instead of spinning; the last kSpinMarginMs before a record is due are
    // always spun. A sleeping thread can wake late by a millisecond or more (on a virtual
    // machine, the idle processor itself is descheduled), so dense traffic is spun
    // throughout and only sparse traffic and pauses save the core.
    //
    // When the driver sends at due times, the window thread does not spin at all: a pass
    // enters what the driver has sent into the per-ID table, takes back what it has not
    // sent when the run is paused (PlayDAT_count goes back to the first frame that never
    // left), and sleeps until the next frame is to be handed over.
    void waitingPass(const RecordFrame *next = nullptr, double skipOffset = 0);
    // Sends the message of `record` (the record at PlayDAT_count) when the bus check did
    // not find its identifier on the bus and enters it into the per-ID table. Never yields
    // unless the driver's queue is full. With a driver that sends at due times, the message
    // is handed over with its due time instead and entered once the driver has sent it.
    // False when the device has dropped out: the message has been shown and RxFlag is 0.
    bool sendDueMessage(RunHost &host, const ELM327_Info &params, CAN_ReadDB &rx,
                        PlayDevice &device, const RecordFrame &record, double skipOffset = 0);
    // At the end of a buffer: waits until the driver has sent every frame handed over, so
    // a switch, a new cycle or the end of the run comes after the last frame, as it does
    // when each frame is sent on its own. False when the run was paused meanwhile and has
    // gone back within the buffer, or has stopped.
    // A device that drops out meanwhile ends the run with its message.
    bool handOffsSettled(RunHost &host, const ELM327_Info &params);
    // The per-ID entry of a sent frame, in the order the live monitor reads: identifiers
    // outside 1 … 0x7FF have no entry. atMs is the clock reading it was sent at; the
    // entry's time is the playing time in whole milliseconds, as the program's millisecond
    // clock reads, so the table's cycle times look as they do in a recording; the finer
    // clock only schedules.
    void enterSentFrame(CAN_ReadDB &rx, const PlayMessage &message, double atMs);
    // True while the run hands frames to a driver that sends them at their due times.
    bool sendsTimed() const { return m_timed; }
    // A cycle is complete: its length is kept (first cycle only) and the time line
    // restarts, so the first frame of the next cycle is due at once.
    void startNewCycle();
    // True when no preload is waiting to be run or running, so the idle buffer holds what
    // the last switch asked for.
    bool preloadSettled(RunHost &host);
    // With repeat on, the folder index goes back to the first name once it has passed the
    // last. The wrap is remembered, and the next file taken into a buffer begins a new
    // cycle: the index alone cannot tell, since the file taken may be a later one when the
    // first names can no longer be played.
    void wrapFolderIndex();
    // A file was taken into buffer 1 or 2 (at the start or by a preload).
    void noteFileTaken(int channel);
    // Whether the file in buffer 1 or 2 begins a new cycle when the run switches to it.
    bool beginsCycle(int channel) const;
    // Closes the device, stops both timers, RxFlag = 0.
    void endRun(RunHost &host, PlayDevice &device);

    PlayClock &clock() { return m_clock; }
    double t0() const { return m_t0; }

    // The folder list of the current (or last) run and the two buffers.
    QString FolderPlayMode_FN_List(int32_t index) const;
    const FrameBuffer &playBuffer(int32_t channel) const { return channel == 2 ? m_ch2 : m_ch1; }

private:
    void playRun(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device);
    void loadFirstData(RunHost &host, ELM327_Info &params);
    bool hasDataToPlay(const RunHost &host) const;
    void playLoop(RunHost &host, const ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device);
    void advance(const FrameBuffer &buffer, PlayDevice &device);
    void endOfBuffer(RunHost &host, PlayDevice &device);
    void readClock();
    void rest(const RecordFrame *next, double skipOffset);
    void restTimed(const RecordFrame *next, double skipOffset);
    // The record's due time on the run's clock.
    double dueMs(const RecordFrame &record, double skipOffset) const;
    // A time on the run's clock as the driver takes it: microseconds on CLOCK_MONOTONIC.
    uint64_t driverDueUs(double atMs);
    bool handOver(RunHost &host, const ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device,
                  const RecordFrame &record, double skipOffset);
    // False when frames handed over were neither sent nor still waiting.
    bool enterHandedOffSent();
    void takeBackHandOffs();

    // A pass sleeps at most this long, so the window system still runs 1000 times a second.
    static constexpr double kMaxRestMs = 1.0;
    static constexpr double kSpinMarginMs = 3.0;
    // The shortest sleep of a pass that waits for the driver, so a late driver is not
    // polled in a spin.
    static constexpr double kMinTimedRestMs = 0.05;

    void ClearFileNameList(int32_t last);
    void BuildFolderFileList(RunHost &host, const ELM327_Info &params);
    QString folderFilePath(int32_t index) const;
    PlayVariant *multiEngine();
    PlayVariant *memoryEngine();

    void clearTarget();
    void takePath(const QString &path, const ELM327_Info &params);

    FrameBuffer m_ch1;   // PlayDAT_ch1
    FrameBuffer m_ch2;   // PlayDAT_ch2
    std::vector<QString> m_fileList;   // FolderPlayMode_FN_List, 0 … 20000
    PlayClock m_clock;
    double m_t0 = 0;
    bool m_periodHeld = false;
    // The run's device and table while frames are handed over ahead of time.
    bool m_timed = false;
    PlayDevice *m_device = nullptr;
    CAN_ReadDB *m_rx = nullptr;
    PlayHandOff m_handOff;
    uint32_t m_takeBacks = 0;
    bool m_wrapPending = false;
    bool m_beginsCycle[2] = {false, false};
};
