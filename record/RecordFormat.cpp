#include "RecordFormat.h"

#include "BinaryReader.h"
#include "BinaryWriter.h"
#include "Paths.h"

#include <QFile>

#include <exception>

namespace {

bool readTrailer(const QByteArray &bytes, RecordTrailer &trailer, QString *error)
{
    BinaryReader r(bytes);
    r.skip(kRecordFrameAreaBytes);
    RecordTrailer read;
    read.product = r.readString();
    read.maker = r.readString();
    read.key = r.readString();
    read.comment = r.readString();
    if (!r.ok()) {
        if (error)
            *error = r.error();
        return false;
    }
    trailer = read;
    return true;
}

void readFrames(const QByteArray &bytes, FrameBuffer &frames)
{
    BinaryReader r(bytes);
    for (RecordFrame &f : frames.frames()) {
        f.identifier = r.readInt32();
        f.time = r.readDouble();
        f.dlc = r.readUInt8();
        r.readBytes(f.data.data(), qsizetype(f.data.size()));
    }
}

} // namespace

QByteArray encodeRecordFile(const FrameBuffer &frames, const RecordTrailer &trailer)
{
    BinaryWriter w;
    w.reserve(kRecordFrameAreaBytes + 512);
    for (const RecordFrame &f : frames.frames()) {
        w.writeInt32(f.identifier);
        w.writeDouble(f.time);
        w.writeUInt8(f.dlc);
        w.writeBytes(f.data.data(), qsizetype(f.data.size()));
    }
    w.writeString(trailer.product);
    w.writeString(trailer.maker);
    w.writeString(trailer.key);
    w.writeString(trailer.comment);
    return w.data();
}

bool decodeRecordFile(const QByteArray &bytes, FrameBuffer *frames, RecordTrailer &trailer,
                      QString *error)
{
    // The trailer first: a short file must leave the caller's buffer as it was.
    if (!readTrailer(bytes, trailer, error))
        return false;
    if (frames)
        readFrames(bytes, *frames);
    return true;
}

int32_t readRecordFile(const QString &path, const ELM327_Info &params, FrameBuffer *frames,
                       RecordTrailer &trailer)
{
    int32_t result = -1;
    try {
        if (paths::isExistingFile(path)) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray bytes = file.read(kRecordFileMaxBytes);
                const bool read = file.error() == QFileDevice::NoError;
                if (read && decodeRecordFile(bytes, frames, trailer))
                    result = trailer.check(params);
            }
        }
    } catch (const std::exception &) {
        result = result == 0 ? -3 : -1;
    }
    if (result != 0 && frames)
        (*frames)[0].identifier = 0;
    return result;
}

RecordFileResult writeNewRecordFile(const QString &path, const QByteArray &fileBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return RecordFileResult::failure(path, file.errorString());
    const bool written = file.write(fileBytes) == fileBytes.size() && file.flush();
    QString error = file.errorString();
    file.close();
    if (written && file.error() == QFileDevice::NoError)
        return RecordFileResult::success(path);
    if (file.error() != QFileDevice::NoError)
        error = file.errorString();
    file.remove();
    return RecordFileResult::failure(path, error);
}
