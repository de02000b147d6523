#pragma once

#include "ELM327_Info.h"
#include "FrameBuffer.h"
#include "RecordFormat.h"
#include "RecordTrailer.h"
#include "TestHelpers.h"

#include <QString>

#include <vector>

// Record files of known frames, written and read back byte for byte as the program does.
namespace recordfixture {

inline bool writeRecord(const QString &path, const std::vector<RecordFrame> &frames,
                        const QString &comment = QStringLiteral("ＣＡＮ受信ログ"))
{
    FrameBuffer buffer;
    for (size_t i = 0; i < frames.size() && i < size_t(FrameBuffer::kSlots); ++i)
        buffer[int(i)] = frames[i];
    RecordTrailer trailer = RecordTrailer::fromParams(ELM327_Info());
    trailer.comment = comment;
    return writeAll(path, encodeRecordFile(buffer, trailer));
}

// The frames of the record files at paths, in order; a file that fails the check adds none.
inline std::vector<RecordFrame> readRecords(const QStringList &paths)
{
    std::vector<RecordFrame> out;
    const ELM327_Info params;
    for (const QString &path : paths) {
        FrameBuffer buffer;
        RecordTrailer trailer;
        if (readRecordFile(path, params, &buffer, trailer) != 0)
            continue;
        for (int i = 0; i < buffer.frameCount(); ++i)
            out.push_back(buffer[i]);
    }
    return out;
}

} // namespace recordfixture
