// Converts 1,000,000 frames: record files → candump .log → record files, .asc → record
// files, and record files → Vector .blf (zlib containers) → record files, each the best of
// three runs, in frames per second.
#include "ELM327_Info.h"
#include "FrameBuffer.h"
#include "LogConversion.h"
#include "RecordFormat.h"
#include "RecordTrailer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

constexpr int kFrames = 1000000;

bool writeRecording(const QString &folder)
{
    const ELM327_Info params;
    const RecordTrailer trailer = RecordTrailer::fromParams(params);
    FrameBuffer buffer;
    uint32_t x = 1;
    int fill = 0;
    int file = 0;
    for (int i = 0; i < kFrames; ++i) {
        x = x * 1664525u + 1013904223u;
        RecordFrame &f = buffer[fill];
        f.identifier = int32_t(1 + (x >> 8) % 0x7FF);
        f.time = double(i);   // a busy bus: one frame a millisecond, whole ms as recorded
        f.dlc = uint8_t(i % 9);
        for (int k = 0; k < f.dlc; ++k)
            f.data[size_t(k)] = uint8_t(x >> (3 * k));
        if (++fill == FrameBuffer::kSlots || i == kFrames - 1) {
            QFile out(QStringLiteral("%1/CR26010100-%2.dat")
                          .arg(folder)
                          .arg(++file, 3, 10, QLatin1Char('0')));
            if (!out.open(QIODevice::WriteOnly) || out.write(encodeRecordFile(buffer, trailer)) < 0)
                return false;
            buffer.clear();
            fill = 0;
        }
    }
    return true;
}

// The best frames per second of three conversions of in to out (out removed before each).
double framesPerSecond(const QString &in, const QString &out)
{
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        QFileInfo(out).isDir() ? (void)QDir(out).removeRecursively() : (void)QFile::remove(out);
        QElapsedTimer clock;
        clock.start();
        const Result<ConversionReport> r = convertLogs(in, out, {}, ELM327_Info());
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        if (!r || r.value().framesWritten != kFrames) {
            std::fprintf(stderr, "conversion of %s failed: %s\n", qPrintable(in),
                         r ? "frames missing" : qPrintable(r.error()));
            return 0;
        }
        best = std::max(best, double(kFrames) / seconds);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    QDir().mkpath(src);
    if (!writeRecording(src))
        return 1;
    const double datToLog = framesPerSecond(src, dir.filePath("all.log"));
    const double logToDat = framesPerSecond(dir.filePath("all.log"), dir.filePath("fromlog"));
    const double datToAsc = framesPerSecond(src, dir.filePath("all.asc"));
    const double ascToDat = framesPerSecond(dir.filePath("all.asc"), dir.filePath("fromasc"));
    const double datToCsv = framesPerSecond(src, dir.filePath("all.csv"));
    const double csvToDat = framesPerSecond(dir.filePath("all.csv"), dir.filePath("fromcsv"));
    const double datToBlf = framesPerSecond(src, dir.filePath("all.blf"));
    const double blfToDat = framesPerSecond(dir.filePath("all.blf"), dir.filePath("fromblf"));
    std::printf("%d frames, best of 3: dat->log %.0f, log->dat %.0f, dat->asc %.0f, "
                "asc->dat %.0f, dat->csv %.0f, csv->dat %.0f, dat->blf %.0f, blf->dat %.0f "
                "frames/s\n",
                kFrames, datToLog, logToDat, datToAsc, ascToDat, datToCsv, csvToDat, datToBlf,
                blfToDat);
    std::printf("RESULT dat_to_log_fps=%.0f log_to_dat_fps=%.0f asc_to_dat_fps=%.0f "
                "blf_to_dat_fps=%.0f dat_to_blf_fps=%.0f\n",
                datToLog, logToDat, ascToDat, blfToDat, datToBlf);
    return datToLog > 0 && logToDat > 0 && ascToDat > 0 && blfToDat > 0 && datToBlf > 0 ? 0 : 1;
}
