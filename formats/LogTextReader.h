#pragma once

#include "LogFormat.h"
#include "LogFrame.h"
#include "Result.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// One text format's reading of a single line (without its line break).
class LogLineParser
{
public:
    enum class Outcome { Frame, Other, Bad };
    virtual ~LogLineParser() = default;
    // On Bad, reason names what is wrong (a static text).
    virtual Outcome parse(std::string_view line, LogFrame &frame, const char *&reason) = 0;
    // Where the file starts on the wall clock, once its header has said so.
    virtual std::optional<int64_t> startUs() const { return std::nullopt; }
};

// The line parser of a text format; null for a format that is not text.
std::unique_ptr<LogLineParser> makeLogLineParser(LogFormat format);

// Cuts text into lines as it arrives in blocks of any size and hands each line to the
// parser, and what it found to the sink. Lines end in LF or CR LF. A line longer than
// kMaxLineBytes is reported bad and skipped.
class LogTextReader final
{
public:
    static constexpr size_t kMaxLineBytes = 64 * 1024;

    LogTextReader(LogLineParser &parser, LogSink &sink) : m_parser(parser), m_sink(sink) {}

    void feed(std::string_view block);
    // The last line when the text does not end in a line break.
    void finish();
    const LogReadStats &stats() const { return m_stats; }

private:
    void line(std::string_view text);

    LogLineParser &m_parser;
    LogSink &m_sink;
    LogReadStats m_stats;
    LogFrame m_frame;
    bool m_started = false;
    std::string m_pending;
    bool m_overlong = false;
};

// A whole text in memory, e.g. for a fuzzer. Never fails; what is wrong goes to the sink.
LogReadStats parseLogText(LogFormat format, std::string_view text, LogSink &sink);

// bytesRead and the file's size, called after each block; false stops the reading.
using ReadProgress = std::function<bool(int64_t bytesRead, int64_t totalBytes)>;

// Streams a text log file through the sink in blocks. Fails when the file cannot be opened
// or read, or the progress asked to stop; bad lines are the sink's to count.
Result<LogReadStats> readLogTextFile(const QString &path, LogFormat format, LogSink &sink,
                                     const ReadProgress &progress = {});
