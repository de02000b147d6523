#pragma once

#include "LogConversion.h"
#include "LogFrame.h"
#include "RecordFixture.h"

#include <QStandardPaths>

#include <string>
#include <utility>
#include <vector>

namespace formattest {

// Keeps what a reader found.
struct Collected final : LogSink
{
    std::vector<LogFrame> frames;
    std::vector<std::pair<int64_t, std::string>> bad;

    void frame(const LogFrame &f) override { frames.push_back(f); }
    void badLine(int64_t line, std::string_view reason) override
    {
        bad.emplace_back(line, std::string(reason));
    }
};

// Frames of every DLC and many identifiers at times with microsecond parts, as a converted
// file may hold them; classicOnly keeps the DLC at 8 or less for tools that know no more.
inline std::vector<RecordFrame> knownFrames(int count, bool classicOnly = false)
{
    std::vector<RecordFrame> out;
    uint32_t x = 12345;
    for (int i = 0; i < count; ++i) {
        x = x * 1664525u + 1013904223u;
        RecordFrame f;
        f.identifier = int32_t(1 + (x >> 8) % 0x7FF);
        f.time = double(int64_t(1500) * i + (x >> 4) % 1000) / 1000.0;
        f.dlc = uint8_t(i % 9);
        if (!classicOnly && i % 97 == 5)
            f.dlc = 12;   // a DLC above 8 as a device may report it, with eight bytes
        for (int k = 0; k < 8; ++k)
            f.data[size_t(k)] = k < f.dlc ? uint8_t(x >> (k * 3)) : 0;
        out.push_back(f);
    }
    if (!out.empty())
        out.front().time = 0;
    return out;
}

// The frames as record files: 20001 each, named in recording order.
inline bool writeRecording(const QString &folder, const std::vector<RecordFrame> &frames,
                           const QString &comment = QStringLiteral("ＣＡＮ受信ログ"))
{
    for (size_t start = 0, n = 1; start < frames.size(); start += FrameBuffer::kSlots, ++n) {
        const size_t end = std::min(frames.size(), start + size_t(FrameBuffer::kSlots));
        const QString name = QStringLiteral("CR26010100-%1.dat").arg(n, 3, 10, QLatin1Char('0'));
        if (!recordfixture::writeRecord(folder + QLatin1Char('/') + name,
                                        {frames.begin() + long(start), frames.begin() + long(end)},
                                        comment))
            return false;
    }
    return true;
}

// The record files of a folder in recording order.
inline QStringList recordFilesIn(const QString &folder)
{
    QStringList out;
    for (const QString &p : conversionInputs(folder))
        if (p.endsWith(QLatin1String(".dat")))
            out << p;
    return out;
}

inline QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

} // namespace formattest
