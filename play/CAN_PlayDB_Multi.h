#pragma once

#include "FileSource.h"
#include "FrameBuffer.h"
#include "PlayVariant.h"

#include <QString>

#include <cstdint>
#include <span>

class PlayDevice;
struct RecordFrame;

// The playback engine for ID-range exclusion and skip-time: frames in an excluded range are
// passed over without being waited for, and with skip-time on a long gap between two
// folder files is not waited for either. It plays from buffers of its own (a
// KeptFileSource) but keeps the run state in the calling CAN_PlayDB, so the main window
// sees it like the plain engine.
class CAN_PlayDB_Multi final : public PlayVariant
{
public:
    using Frames = std::span<const RecordFrame, FrameBuffer::kSlots>;

    void FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, CANUSB &CAN_u,
                         CAN_DB &CAN_d, CAN_PlayDB &caller) override;
    void FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                               InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                               CAN_PlayDB &caller) override;
    void FolderPlayMode_PreLoadFile(RunHost &host, ELM327_Info &params,
                                    CAN_PlayDB &caller) override;

    // The first frame of the most recently loaded file that is not excluded.
    int32_t PlayDAT_StartIndex = 0;
    // What skips had added to the playing time of the cycle when the last run ended.
    double SkipTime_Offset = 0;

    QString FolderPlayMode_FN_List(int32_t index) const { return m_source.listedName(index); }

    // Moves past the frame just sent and past the excluded frames after it, and fills the
    // message from the frame it stops at. Ends the data (20001) at an identifier below 1.
    static void advanceKept(int32_t &count, Frames frames, const ELM327_Info &params,
                            PlayDevice &device);

private:

    KeptFileSource m_source;
};
