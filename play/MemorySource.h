#pragma once

#include "MemoryBuffer.h"
#include "PlaySource.h"

#include <QString>

#include <array>
#include <memory>

// Up to 200 record files of a folder, read into memory slots before the first frame is
// sent and then played slot after slot without touching a file, with the exclusion and
// skip-time of the kept-files source. During its run FolderPlayMode_FN_Count is the number
// of loaded files and FolderPlayMode_FN_Count_Now the slot playing; each move to the next
// slot shows that file's comment.
class MemorySource final : public FrameSource
{
public:
    static constexpr int kSlotCount = MemoryBuffer::kRows;

    bool load(PlayContext &ctx) override;
    double t0() const override;
    std::optional<PlayFrame> current() const override;
    void advance(PlayContext &ctx) override;
    void rewind(int32_t index) override { m_cursor = index; }
    int32_t position() const override { return m_cursor; }
    void endOfData(PlayContext &ctx, double lastLeftMs) override;

    // The slots of the current (or last) run: first kept frame, trailer comment, file name.
    int32_t startIndex(int32_t slot) const;
    QString comment(int32_t slot) const;
    QString fileName(int32_t slot) const;

private:
    void clearSlots();
    // LoadAllFilesToMemory: FolderPlayMode_FN_Count becomes the number of loaded files.
    void loadAll(PlayContext &ctx, const std::vector<QString> &names);
    int32_t slotPlaying() const;

    // Reserved at the first memory run and kept: about 96 MB.
    std::unique_ptr<MemoryBuffer> m_memory;
    std::array<int32_t, kSlotCount> m_startIndex{};
    MemoryComments m_comments;
    std::array<QString, kSlotCount> m_names;
    int32_t m_cursor = 0;
    const PlayRunState *m_state = nullptr;
};
