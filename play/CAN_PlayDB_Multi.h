#pragma once

#include "FrameBuffer.h"
#include "PlayVariant.h"

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

class PlayDevice;
struct RecordFrame;

// The playback engine for ID-range exclusion and skip-time: frames in an excluded range are
// passed over without being waited for, and with skip-time on a long gap between two
// folder files is not waited for either. It plays from buffers of its own but keeps the
// run state in the calling CAN_PlayDB, so the main window sees it like the plain engine.
class CAN_PlayDB_Multi final : public PlayVariant
{
public:
    using Frames = std::span<const RecordFrame, FrameBuffer::kSlots>;

    CAN_PlayDB_Multi();

    void FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, CANUSB &CAN_u,
                         CAN_DB &CAN_d, CAN_PlayDB &caller) override;
    void FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                               InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                               CAN_PlayDB &caller) override;
    void FolderPlayMode_PreLoadFile(RunHost &host, ELM327_Info &params,
                                    CAN_PlayDB &caller) override;

    // The first frame of the most recently loaded file that is not excluded.
    int32_t PlayDAT_StartIndex = 0;
    // What skips have added to the playing time in the current cycle.
    double SkipTime_Offset = 0;

    QString FolderPlayMode_FN_List(int32_t index) const;

    // ---- Shared with the memory engine ----------------------------------------------------

    // Index of the first frame with an identifier of at least 1 that is not excluded, or -1
    // when the data ends (or the buffer does) before one. With a host, the window system
    // gets a turn after every 1000th frame passed over.
    static int32_t firstKeptFrame(Frames frames, const ELM327_Info &params, RunHost *host);
    // Moves past the frame just sent and past the excluded frames after it, and fills the
    // message from the frame it stops at. Ends the data (20001) at an identifier below 1.
    static void advanceKept(int32_t &count, Frames frames, const ELM327_Info &params,
                            PlayDevice &device);
    // With skip-time on, a gap up to the next file's first frame of at least the threshold
    // is added to the offset, so that frame is due at once.
    static void applySkipTime(const CAN_PlayDB &caller, const ELM327_Info &params,
                              const RecordFrame &next, double &offset);

private:
    void playRun(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device,
                 CAN_PlayDB &caller);
    bool loadFirstData(RunHost &host, ELM327_Info &params, CAN_PlayDB &caller);
    bool loadFirstFolderFile(RunHost &host, ELM327_Info &params, CAN_PlayDB &caller);
    void playLoop(RunHost &host, const ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device,
                  CAN_PlayDB &caller);
    void endOfBuffer(RunHost &host, const ELM327_Info &params, PlayDevice &device,
                     CAN_PlayDB &caller);
    // Loads a file and finds its first kept frame; false (buffer reads empty) without one.
    bool loadKept(RunHost &host, ELM327_Info &params, const QString &path, int channel);
    QString folderFilePath(const CAN_PlayDB &caller, int32_t index) const;

    FrameBuffer &buffer(int channel) { return channel == 2 ? m_ch2 : m_ch1; }

    FrameBuffer m_ch1;
    FrameBuffer m_ch2;
    // The start index of each buffer's file: a switch starts the buffer it switches to
    // where its own file's kept frames begin.
    int32_t m_startIndex[2] = {0, 0};
    std::vector<QString> m_fileList;
};
