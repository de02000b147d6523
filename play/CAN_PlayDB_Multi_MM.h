#pragma once

#include "MemoryBuffer.h"
#include "PlayVariant.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class PlayDevice;

// The memory playback engine: loads up to 200 record files of a folder into memory before
// the first frame is sent, then plays them one after another without touching a file,
// with the exclusion and skip-time of CAN_PlayDB_Multi. The run state lives in the calling
// CAN_PlayDB; FolderPlayMode_FN_Count is the number of loaded files and
// FolderPlayMode_FN_Count_Now the slot being played.
class CAN_PlayDB_Multi_MM final : public PlayVariant
{
public:
    static constexpr int kSlotCount = MemoryBuffer::kRows;

    CAN_PlayDB_Multi_MM();
    ~CAN_PlayDB_Multi_MM() override;

    // Entries 0 … upperIndex (clamped to the array) := value.
    static void Arayy_ALL_Clear_zero_long(int32_t upperIndex, int32_t value,
                                          std::span<int32_t> array);

    void FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, CANUSB &CAN_u,
                         CAN_DB &CAN_d, CAN_PlayDB &caller) override;
    void FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                               InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d,
                               CAN_PlayDB &caller) override;

    // The slots of the current (or last) run: first kept frame, trailer comment, file name.
    int32_t PlayDAT_StartIndex(int32_t slot) const;
    QString slotComment(int32_t slot) const;
    QString slotFileName(int32_t slot) const;
    double SkipTime_Offset = 0;

private:
    void playRun(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device,
                 CAN_PlayDB &caller);
    void clearSlots();
    // LoadAllFilesToMemory: FolderPlayMode_FN_Count becomes the number of loaded files.
    void LoadAllFilesToMemory(RunHost &host, ELM327_Info &params, CAN_PlayDB &caller,
                              const std::vector<QString> &names);
    void playLoop(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device,
                  CAN_PlayDB &caller);
    void endOfSlot(RunHost &host, ELM327_Info &params, PlayDevice &device, CAN_PlayDB &caller);

    // Reserved at the first memory run and kept: about 96 MB.
    std::unique_ptr<MemoryBuffer> m_memory;
    std::array<int32_t, kSlotCount> m_startIndex{};
    MemoryComments m_comments;
    std::array<QString, kSlotCount> m_names;
};
