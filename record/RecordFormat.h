#pragma once

#include "FrameBuffer.h"
#include "RecordFileResult.h"
#include "RecordTrailer.h"

#include <QByteArray>
#include <QString>

class ELM327_Info;

// A record file is 20001 packed frames of 21 bytes (identifier int32, time double,
// DLC byte, 8 data bytes, little-endian) followed by the trailer: four strings, each a
// 16-bit byte count and code page 932 text. Nothing else, no header.
constexpr qsizetype kRecordFrameBytes = 21;
constexpr qsizetype kRecordFrameAreaBytes = kRecordFrameBytes * FrameBuffer::kSlots;
// The longest file a reader ever needs: the frame area and four strings of 65535 bytes.
constexpr qsizetype kRecordFileMaxBytes = kRecordFrameAreaBytes + 4 * (2 + 0xFFFF);

QByteArray encodeRecordFile(const FrameBuffer &frames, const RecordTrailer &trailer);

// Reads the trailer and, when frames is given, the frame area. False when the block ends
// before the trailer does; frames and trailer are then left as they were. Bytes after
// the trailer are ignored.
bool decodeRecordFile(const QByteArray &bytes, FrameBuffer *frames, RecordTrailer &trailer,
                      QString *error = nullptr);

// The validity check every reader applies. 0 valid; -1 no such file, or it cannot be
// opened or ends before its trailer does; -2 maker, product or key differ; -3 a failure
// after the check had passed. On any result but 0 the identifier of slot 0 of frames
// (when given) is 0, so the buffer reads as empty; on -2 the rest of the frame area is
// the file's. The trailer is filled whenever the file was complete.
int32_t readRecordFile(const QString &path, const ELM327_Info &params, FrameBuffer *frames,
                       RecordTrailer &trailer);

// Creates path, failing when anything of that name exists (also a dangling link), and
// writes the bytes in one block. A file that could not be written completely is removed.
RecordFileResult writeNewRecordFile(const QString &path, const QByteArray &fileBytes);
