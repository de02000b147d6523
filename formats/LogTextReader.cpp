#include "LogTextReader.h"

#include "AscLog.h"
#include "CandumpLog.h"
#include "CsvLog.h"
#include "TrcLog.h"

#include <QFile>

#include <cstring>
#include <vector>

std::unique_ptr<LogLineParser> makeLogLineParser(LogFormat format)
{
    switch (format) {
    case LogFormat::Candump: return std::make_unique<CandumpLineParser>();
    case LogFormat::Asc: return std::make_unique<AscLineParser>();
    case LogFormat::Csv: return std::make_unique<CsvLineParser>();
    case LogFormat::Trc: return std::make_unique<TrcLineParser>();
    default: return nullptr;
    }
}

void LogTextReader::line(std::string_view text)
{
    ++m_stats.lines;
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    const char *reason = "";
    switch (m_parser.parse(text, m_frame, reason)) {
    case LogLineParser::Outcome::Frame:
        if (!m_started) {
            m_started = true;
            m_sink.start({m_parser.startUs(), {}});
        }
        ++m_stats.frames;
        m_sink.frame(m_frame);
        break;
    case LogLineParser::Outcome::Other:
        ++m_stats.otherLines;
        break;
    case LogLineParser::Outcome::Bad:
        ++m_stats.badLines;
        m_sink.badLine(m_stats.lines, reason);
        break;
    }
}

void LogTextReader::feed(std::string_view block)
{
    while (!block.empty()) {
        const void *nl = std::memchr(block.data(), '\n', block.size());
        if (!nl) {
            if (m_overlong)
                return;
            if (m_pending.size() + block.size() > kMaxLineBytes) {
                m_overlong = true;
                m_pending.clear();
                return;
            }
            m_pending.append(block);
            return;
        }
        const size_t n = size_t(static_cast<const char *>(nl) - block.data());
        if (m_overlong) {
            ++m_stats.lines;
            ++m_stats.badLines;
            m_sink.badLine(m_stats.lines, "line too long");
            m_overlong = false;
        } else if (!m_pending.empty()) {
            if (m_pending.size() + n > kMaxLineBytes) {
                ++m_stats.lines;
                ++m_stats.badLines;
                m_sink.badLine(m_stats.lines, "line too long");
            } else {
                m_pending.append(block.substr(0, n));
                line(m_pending);
            }
            m_pending.clear();
        } else {
            line(block.substr(0, n));
        }
        block.remove_prefix(n + 1);
    }
}

void LogTextReader::finish()
{
    if (m_overlong) {
        ++m_stats.lines;
        ++m_stats.badLines;
        m_sink.badLine(m_stats.lines, "line too long");
    } else if (!m_pending.empty()) {
        line(m_pending);
    }
    m_pending.clear();
    m_overlong = false;
}

LogReadStats parseLogText(LogFormat format, std::string_view text, LogSink &sink)
{
    const std::unique_ptr<LogLineParser> parser = makeLogLineParser(format);
    if (!parser)
        return {};
    LogTextReader reader(*parser, sink);
    reader.feed(text);
    reader.finish();
    return reader.stats();
}

Result<LogReadStats> readLogTextFile(const QString &path, LogFormat format, LogSink &sink,
                                     const ReadProgress &progress)
{
    const std::unique_ptr<LogLineParser> parser = makeLogLineParser(format);
    if (!parser)
        return Result<LogReadStats>::failure(QStringLiteral("%1: not a text log").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<LogReadStats>::failure(path + QStringLiteral(": ") + file.errorString());
    const int64_t total = file.size();
    LogTextReader reader(*parser, sink);
    std::vector<char> block(1 << 20);
    int64_t done = 0;
    for (;;) {
        const qint64 n = file.read(block.data(), qint64(block.size()));
        if (n < 0)
            return Result<LogReadStats>::failure(path + QStringLiteral(": ") + file.errorString());
        if (n == 0)
            break;
        reader.feed(std::string_view(block.data(), size_t(n)));
        done += n;
        if (progress && !progress(done, total))
            return Result<LogReadStats>::failure(QStringLiteral("stopped"));
    }
    reader.finish();
    return reader.stats();
}
