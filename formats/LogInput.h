#pragma once

#include "LogFormat.h"
#include "LogFrame.h"
#include "LogTextReader.h"
#include "Result.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

class ELM327_Info;

// A log file's bytes as they come: straight from the file, or through zlib for a .gz.
class LogInputBytes final
{
public:
    LogInputBytes() = default;
    ~LogInputBytes();
    LogInputBytes(const LogInputBytes &) = delete;
    LogInputBytes &operator=(const LogInputBytes &) = delete;

    Result<> open(const QString &path);
    // Bytes held by the caller instead of a file (a fuzzer's input).
    void openMemory(std::string_view bytes);
    // Up to n bytes; 0 at the end, -1 on a failure (errorString says which).
    int64_t read(char *data, int64_t n);
    // Bytes of the file itself consumed so far (compressed ones for a .gz), and its size.
    int64_t position() const;
    int64_t size() const { return m_size; }
    QString errorString() const { return m_error; }

private:
    QFile m_file;
    void *m_gz = nullptr;   // gzFile
    std::string_view m_memory;
    bool m_inMemory = false;
    int64_t m_memoryAt = 0;
    int64_t m_size = 0;
    QString m_error;
};

// Where readLogInput carries the time line of a recording over from one record file to
// the next: empty before the first, then the wall clock of its first frame.
struct RecordTimeLine
{
    std::optional<int64_t> baseUs;
};

// Opens any input file of a format read here — record file (.dat), candump .log, .asc,
// .csv (also SavvyCAN's GVRET layout), .blf, .trc, and any of the text ones as .gz — and
// streams its frames into sink: first sink.start() with where the file starts on the wall
// clock (and a record file's comment), then every frame, bad lines and objects as they
// come. progress gets the bytes read and the file's size after each block; false stops.
// Fails when the file cannot be opened or read, is stopped, or holds no frame its format
// allows (the message names the format expected and the file's first line). params gives
// the identification a record file must carry; timeLine, when given, keeps the record
// files of one recording on one time line.
Result<LogReadStats> readLogInput(const QString &path, const ELM327_Info &params, LogSink &sink,
                                  const ReadProgress &progress = {},
                                  RecordTimeLine *timeLine = nullptr);
