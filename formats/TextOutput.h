#pragma once

#include "Result.h"

#include <QFile>
#include <QString>

#include <string>

// A text (or binary) file written through one large buffer: writers put each line together in place
// and the file sees a write per megabyte. The first failure is kept.
class TextOutput final
{
public:
    static constexpr size_t kFlushBytes = 1 << 20;

    // Creates or replaces path.
    Result<> open(const QString &path);
    // Room for at least n more bytes; write them at the pointer, then commit(end).
    char *reserve(size_t n);
    void commit(char *end) { m_used = size_t(end - m_buffer.data()); maybeFlush(); }
    void append(std::string_view text);
    // Bytes written so far, and a change of bytes already written (a binary header that is
    // only known at the end).
    int64_t written() const { return m_total + int64_t(m_used); }
    void patch(int64_t offset, std::string_view bytes);
    // Flushes and closes; the file is removed when anything failed.
    Result<> close();
    const QString &path() const { return m_path; }

private:
    void maybeFlush();
    void flush();

    QFile m_file;
    QString m_path;
    std::string m_buffer;
    size_t m_used = 0;
    int64_t m_total = 0;
    QString m_error;
};
