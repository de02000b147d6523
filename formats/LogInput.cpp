#include "LogInput.h"

#include "BlfLog.h"
#include "ELM327_Info.h"
#include "FrameBuffer.h"
#include "RecordFormat.h"
#include "TrcLog.h"

#include <QDateTime>
#include <QFileInfo>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

LogInputBytes::~LogInputBytes()
{
    if (m_gz)
        gzclose(static_cast<gzFile>(m_gz));
}

Result<> LogInputBytes::open(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return Result<>::failure(path + QStringLiteral(": ") + m_file.errorString());
    m_size = m_file.size();
    if (isGzipPath(path)) {
        const int fd = m_file.handle();
        m_gz = gzdopen(fd, "rb");
        if (!m_gz)
            return Result<>::failure(path + QStringLiteral(": cannot be read through zlib"));
        gzbuffer(static_cast<gzFile>(m_gz), 1 << 18);
    }
    return {};
}

void LogInputBytes::openMemory(std::string_view bytes)
{
    m_memory = bytes;
    m_inMemory = true;
    m_memoryAt = 0;
    m_size = int64_t(bytes.size());
}

int64_t LogInputBytes::read(char *data, int64_t n)
{
    if (m_inMemory) {
        const int64_t got = std::min<int64_t>(n, m_size - m_memoryAt);
        std::memcpy(data, m_memory.data() + m_memoryAt, size_t(got));
        m_memoryAt += got;
        return got;
    }
    if (!m_gz) {
        const qint64 got = m_file.read(data, n);
        if (got < 0)
            m_error = m_file.errorString();
        return got;
    }
    gzFile gz = static_cast<gzFile>(m_gz);
    const int got = gzread(gz, data, unsigned(std::min<int64_t>(n, 1 << 30)));
    int code = Z_OK;
    const char *why = gzerror(gz, &code);
    // A stream cut short ends without a failure of gzread's own: zlib notes it.
    if (got < 0 || (got == 0 && code != Z_OK && code != Z_STREAM_END)) {
        m_error = QStringLiteral("damaged compressed data: ") + QString::fromLatin1(why);
        return -1;
    }
    return got;
}

int64_t LogInputBytes::position() const
{
    if (m_inMemory)
        return m_memoryAt;
    if (m_gz)
        return int64_t(gzoffset(static_cast<gzFile>(m_gz)));
    return m_file.pos();
}

namespace {

// A record file knows times from the recording's start only; the wall clock of its first
// frame is taken from when the file was written, less the frames it spans.
int64_t wallClockBase(const QString &path, const FrameBuffer &buffer)
{
    const int count = buffer.frameCount();
    const double last = count > 0 ? buffer[count - 1].time : 0;
    const int64_t written = QFileInfo(path).lastModified().toMSecsSinceEpoch() * 1000;
    const int64_t span = std::isfinite(last) && std::fabs(last) < 1e12
                             ? int64_t(std::llround(last * 1000))
                             : 0;
    // Whole milliseconds, as the record file's own times and the starts other formats hold.
    const int64_t base = std::max<int64_t>(0, written - span);
    return base / 1000 * 1000;
}

Result<LogReadStats> readRecord(const QString &path, const ELM327_Info &params, LogSink &sink,
                                RecordTimeLine *timeLine)
{
    using R = Result<LogReadStats>;
    auto buffer = std::make_unique<FrameBuffer>();
    RecordTrailer trailer;
    const int32_t code = readRecordFile(path, params, buffer.get(), trailer);
    if (code != 0)
        return R::failure(path + (code == -2 ? QStringLiteral(": not a record file of this program")
                                             : QStringLiteral(": not a readable record file")));
    RecordTimeLine own;
    RecordTimeLine &line = timeLine ? *timeLine : own;
    if (!line.baseUs)
        line.baseUs = wallClockBase(path, *buffer);
    const int64_t baseUs = *line.baseUs;
    sink.start({baseUs, trailer.comment});
    LogReadStats stats;
    LogFrame f;
    const int count = buffer->frameCount();
    for (int i = 0; i < count; ++i) {
        const RecordFrame &r = (*buffer)[i];
        ++stats.lines;
        if (!std::isfinite(r.time) || std::fabs(r.time) > 1e12) {
            sink.notRead(1, "time not a number");
            ++stats.notRead;
            continue;
        }
        f.timeUs = baseUs + int64_t(std::llround(r.time * 1000));
        f.id = uint32_t(r.identifier);
        f.dlc = r.dlc;
        f.length = std::min<uint8_t>(r.dlc, 8);
        std::copy(r.data.begin(), r.data.end(), f.data);
        ++stats.frames;
        sink.frame(f);
    }
    // Slots after the first empty one are never read by a player: say how many hold a frame.
    int64_t beyond = 0;
    for (int i = count + 1; i < FrameBuffer::kSlots; ++i)
        if ((*buffer)[i].identifier != 0)
            ++beyond;
    if (beyond > 0) {
        sink.notRead(beyond, "past an identifier 0");
        stats.notRead += beyond;
    }
    return stats;
}

// The first line of what was read, for a message: printable ASCII only, at most 60.
QString firstLineText(std::string_view head)
{
    QString out;
    for (char c : head) {
        if (c == '\n' || c == '\r' || out.size() >= 60)
            break;
        out += c >= 0x20 && c < 0x7F ? QChar(QLatin1Char(c)) : QChar(u'?');
    }
    return out;
}

Result<LogReadStats> readStream(const QString &path, LogFormat format, LogSink &sink,
                                const ReadProgress &progress, std::string &head)
{
    using R = Result<LogReadStats>;
    LogInputBytes in;
    if (const Result<> opened = in.open(path); !opened)
        return R::failure(opened.error());
    const auto failed = [&](const QString &why) { return R::failure(path + QStringLiteral(": ") + why); };
    std::vector<char> block(1 << 20);
    if (format == LogFormat::Blf) {
        const Result<blf::ReadResult> r = blf::read(in, sink, progress);
        // The first bytes, for the message when no frame is found.
        QFile raw(path);
        if (raw.open(QIODevice::ReadOnly))
            head = raw.read(80).toStdString();
        if (!r) {
            return failed(r.error() + QStringLiteral("; first bytes \"%1\"").arg(firstLineText(head)));
        }
        LogReadStats stats;
        stats.lines = r.value().frames + r.value().bad + r.value().other;
        stats.frames = r.value().frames;
        stats.badLines = r.value().bad;
        stats.otherLines = r.value().other;
        return stats;
    }
    const std::unique_ptr<LogLineParser> parser = makeLogLineParser(format);
    if (!parser)
        return failed(QStringLiteral("not a log this program reads"));
    LogTextReader reader(*parser, sink);
    std::unique_ptr<CarBusSplitter> splitter;
    std::string split;
    for (bool first = true;; first = false) {
        const int64_t n = in.read(block.data(), int64_t(block.size()));
        if (n < 0)
            return failed(in.errorString());
        if (n == 0)
            break;
        const std::string_view bytes(block.data(), size_t(n));
        if (first) {
            head = std::string(bytes.substr(0, 200));
            if (format == LogFormat::Trc && CarBusSplitter::detect(bytes))
                splitter = std::make_unique<CarBusSplitter>();
        }
        if (splitter) {
            split.clear();
            splitter->feed(bytes, split);
            reader.feed(split);
        } else {
            reader.feed(bytes);
        }
        if (progress && !progress(in.position(), in.size()))
            return R::failure(QStringLiteral("stopped"));
    }
    reader.finish();
    return reader.stats();
}

} // namespace

Result<LogReadStats> readLogInput(const QString &path, const ELM327_Info &params, LogSink &sink,
                                  const ReadProgress &progress, RecordTimeLine *timeLine)
{
    using R = Result<LogReadStats>;
    const LogFormat format = logFormatOfPath(path);
    if (format == LogFormat::Record && !isGzipPath(path)) {
        const Result<LogReadStats> r = readRecord(path, params, sink, timeLine);
        if (r && progress)
            progress(QFileInfo(path).size(), QFileInfo(path).size());
        return r;
    }
    if (!isStreamLogFormat(format))
        return R::failure(path + QStringLiteral(": not a log this program reads (.dat, .log, "
                                                ".asc, .csv, .blf, .trc, or one of these as .gz)"));
    std::string head;
    const Result<LogReadStats> r = readStream(path, format, sink, progress, head);
    if (!r)
        return r;
    if (r.value().frames == 0) {
        const QString first = firstLineText(head);
        return R::failure(QStringLiteral("%1: no frame found where a %2 was expected%3; first "
                                         "line \"%4\"")
                              .arg(path, logFormatTitle(format),
                                   r.value().badLines > 0
                                       ? QStringLiteral(" (%1 lines not valid)").arg(r.value().badLines)
                                       : QString(),
                                   head.empty() ? QStringLiteral("(the file is empty)") : first));
    }
    return r;
}
