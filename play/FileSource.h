#pragma once

#include "FrameBuffer.h"
#include "PlaySource.h"

#include <QString>

#include <span>
#include <vector>

// A file, or the record files of a folder one after another, through two buffers: one
// plays while the main window's preload timer fills the other with the next file. With
// repeat on, the end of the file (or of the folder's last file) starts a new cycle.
class FileSource : public FrameSource
{
public:
    using Frames = std::span<const RecordFrame, FrameBuffer::kSlots>;

    FileSource();

    bool load(PlayContext &ctx) override;
    double t0() const override { return m_buffers[0][0].time; }
    std::optional<PlayFrame> current() const override;
    void advance(PlayContext &ctx) override;
    void rewind(int32_t index) override { m_cursor = index; }
    int32_t position() const override { return m_cursor; }
    void endOfData(PlayContext &ctx, double lastLeftMs) override;

    // The preload timer's work: the next folder file that can be played into the idle
    // buffer. Files that are gone, unreadable, foreign or empty are passed over; each
    // listed file is tried at most once per call, and the call ends when RxFlag drops.
    void preload(RunHost &host, ELM327_Info &params, PlayRunState &state,
                 const PlayTarget &target);

    // The folder list of the current (or last) run, and the two buffers.
    QString listedName(int32_t index) const;
    const FrameBuffer &buffer(int channel) const { return m_buffers[channel == 2 ? 1 : 0]; }
    // Where the file of the buffer loaded last begins.
    int32_t lastStartIndex() const { return m_lastStart; }

protected:
    // Where the frames of a loaded buffer begin, or -1 when it has none to play. With a
    // host the window system may run during a long scan.
    virtual int32_t firstFrame(Frames frames, const ELM327_Info &params, RunHost *host) const;
    // Past the frame at `cursor`; the end of the data is kSlots.
    virtual void step(int32_t &cursor, Frames frames, const ELM327_Info &params) const;
    // The run has switched to the next folder file, whose first frame is `first`.
    virtual void switchedTo(const RecordFrame &first, PlayContext &ctx);
    // Whether a folder's first files that cannot be played are passed over at the start
    // (otherwise such a first file plays nothing at all).
    virtual bool passesOverUnplayableFirstFiles() const { return false; }

private:
    FrameBuffer &bufferOf(int channel) { return m_buffers[channel == 2 ? 1 : 0]; }
    int activeChannel() const;
    // Loads a file into a buffer; false (the buffer reads empty) when it has nothing to play.
    bool loadInto(int channel, const QString &path, ELM327_Info &params, RunHost *host);
    bool loadFirstFolderFile(PlayContext &ctx);
    QString folderFilePath(int32_t index) const;
    // With repeat on, the folder index goes back to the first name once it has passed the
    // last. The wrap is remembered, and the next file taken into a buffer begins a new
    // cycle: the index alone cannot tell, since the file taken may be a later one when the
    // first names can no longer be played.
    void wrapFolderIndex(PlayRunState &state);
    void noteFileTaken(int channel);
    // True when no preload is waiting to be run or running.
    static bool preloadSettled(PlayContext &ctx);

    FrameBuffer m_buffers[2];
    int32_t m_startIndex[2] = {0, 0};
    bool m_beginsCycle[2] = {false, false};
    bool m_wrapPending = false;
    int32_t m_cursor = 0;
    int32_t m_lastStart = 0;
    std::vector<QString> m_fileList;   // 0 … 20000
    QString m_folder;
    const PlayRunState *m_state = nullptr;
};

// The same with ID-range exclusion and skip-time: a file starts at its first frame that is
// not excluded, excluded frames are passed over at once, a file of excluded frames only
// counts as one without frames, and with skip-time on a long gap before the next folder
// file is not waited for.
class KeptFileSource final : public FileSource
{
public:
    // Index of the first frame with an identifier of at least 1 that is not excluded, or -1
    // when the data ends (or the buffer does) before one. With a host, the window system
    // gets a turn after every 1000th frame passed over.
    static int32_t firstKeptFrame(Frames frames, const ELM327_Info &params, RunHost *host);
    // Past the frame at `cursor` and the excluded frames after it (the window system gets
    // a turn after every 1000th); an identifier below 1 ends the data (kSlots).
    static void stepKept(int32_t &cursor, Frames frames, const ELM327_Info &params);
    // With skip-time on, a gap up to `first` of at least the threshold is skipped.
    static void skipTime(const RecordFrame &first, PlayContext &ctx);

protected:
    int32_t firstFrame(Frames frames, const ELM327_Info &params, RunHost *host) const override
    {
        return firstKeptFrame(frames, params, host);
    }
    void step(int32_t &cursor, Frames frames, const ELM327_Info &params) const override
    {
        stepKept(cursor, frames, params);
    }
    void switchedTo(const RecordFrame &first, PlayContext &ctx) override { skipTime(first, ctx); }
    bool passesOverUnplayableFirstFiles() const override { return true; }
};
