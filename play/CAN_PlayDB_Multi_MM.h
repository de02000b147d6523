#pragma once

#include "MemorySource.h"
#include "PlayVariant.h"

#include <QString>

#include <cstdint>
#include <span>

class PlayDevice;

// The memory playback engine: loads up to 200 record files of a folder into memory before
// the first frame is sent, then plays them one after another without touching a file,
// with the exclusion and skip-time of CAN_PlayDB_Multi (a MemorySource). The run state
// lives in the calling CAN_PlayDB; FolderPlayMode_FN_Count is the number of loaded files
// and FolderPlayMode_FN_Count_Now the slot being played.
class CAN_PlayDB_Multi_MM final : public PlayVariant
{
public:
    static constexpr int kSlotCount = MemorySource::kSlotCount;

    // Entries 0 … upperIndex (clamped to the array) := value.
    static void Arayy_ALL_Clear_zero_long(int32_t upperIndex, int32_t value,
                                          std::span<int32_t> array);

    void FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, CANUSB &CAN_u,
                         CAN_DB &CAN_d, CAN_PlayDB &caller) override;
    void FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                               InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                               CAN_PlayDB &caller) override;

    // The slots of the current (or last) run: first kept frame, trailer comment, file name.
    int32_t PlayDAT_StartIndex(int32_t slot) const { return m_source.startIndex(slot); }
    QString slotComment(int32_t slot) const { return m_source.comment(slot); }
    QString slotFileName(int32_t slot) const { return m_source.fileName(slot); }
    // What skips had added to the playing time of the cycle when the last run ended.
    double SkipTime_Offset = 0;

private:

    MemorySource m_source;
};
