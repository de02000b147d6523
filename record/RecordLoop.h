#pragma once

#include "FrameBuffer.h"
#include "RecordFileResult.h"
#include "RecordTimeline.h"

#include <QString>

#include <array>
#include <cstdint>

class CAN_ReadDB;
class ELM327_Info;
class RecordDevice;
class RunHost;
struct ReceivedFrame;

// The receive-and-record loop that CAN_RecDB and CAN_RecDB_Multi share: connects through
// a device adapter, keeps the per-identifier table current for the live monitor, and fills
// two frame buffers that go to disk as record files every 20001 frames. A run is one long
// call from the record button; it yields to the window system only when no frame is
// waiting and returns once RxFlag has fallen to 0.
class RecordLoop
{
public:
    // Identifiers 0 … 0x7FF that a run drops before they reach the table or a file.
    using Exclusion = std::array<bool, 0x800>;
    using Clock = double (*)();

    explicit RecordLoop(RunHost &host);
    RecordLoop(const RecordLoop &) = delete;
    RecordLoop &operator=(const RecordLoop &) = delete;

    // Which of the two frame buffers is filling: 1 or 2.
    int32_t RecDAT_Select_ch = 1;
    // Elapsed recording time in ms: that of the last frame taken in.
    double vx_millisecond = 0;
    // Kept for the playback side's layout; a recording run does not write them.
    double vx_millisecond_Repeat = 0;
    double vx_millisecond_Repeat_MAX = 0;

    // One whole run on device; excluded (may be null) names the identifiers to drop.
    void run(RecordDevice &device, ELM327_Info &params, CAN_ReadDB &rx,
             const Exclusion *excluded);

    // The outcome of the last run's files: how many were written, how many frames never
    // reached a file, and the last failure with its path and reason.
    int32_t recordFilesWritten() const { return m_filesWritten; }
    int64_t unsavedFrameCount() const { return m_unsavedFrames; }
    const RecordFileResult &lastWriteFailure() const { return m_lastFailure; }

    // The text status line 1 shows after a record file could not be written.
    static QString unsavedStatusText(int64_t frames);

    // The millisecond clock read for every frame; tests drive time themselves.
    void setClockForTesting(Clock clock);

private:
    bool start(RecordDevice &device, ELM327_Info &params, CAN_ReadDB &rx);
    void receive(RecordDevice &device, ELM327_Info &params, CAN_ReadDB &rx,
                 const Exclusion *excluded);
    static void restWhileIdle();
    void take(const ReceivedFrame &frame, bool save, ELM327_Info &params, CAN_ReadDB &rx);
    void writeActiveBuffer(ELM327_Info &params, int frames);
    void finish(RecordDevice &device, ELM327_Info &params, bool resolutionRaised);
    void reportUnsaved(const ELM327_Info &params);

    RunHost &m_host;
    Clock m_clock;
    FrameBuffer m_buffer1;
    FrameBuffer m_buffer2;
    int32_t m_fillCount = 0;

    // One run's record-file state.
    RecordTimeline m_timeline;
    QString m_subFolderName;
    QString m_lastHourStamp;
    QString m_lastSequenceNumber;
    int32_t m_filesWritten = 0;
    int64_t m_unsavedFrames = 0;
    RecordFileResult m_lastFailure;
};
