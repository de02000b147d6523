#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Reads little-endian values from a byte block without ever reading past its end. The
// first failure is kept with its offset; later reads then return zeros and fail too.
class BinaryReader final
{
public:
    explicit BinaryReader(const QByteArray &data) : m_data(data) {}

    int32_t readInt32();
    uint16_t readUInt16();
    uint8_t readUInt8();
    double readDouble();
    // Copies n bytes into dst (zero-filled when they are not there).
    bool readBytes(void *dst, qsizetype n);
    // A 16-bit byte count followed by that many bytes of code page 932 text.
    QString readString();
    bool skip(qsizetype n);

    bool ok() const { return m_error.isEmpty(); }
    const QString &error() const { return m_error; }
    qsizetype errorOffset() const { return m_errorOffset; }
    qsizetype offset() const { return m_offset; }
    qsizetype remaining() const { return m_data.size() - m_offset; }

private:
    bool take(qsizetype n, const char *what);

    // Held by value (shared, not copied): a reader built from a temporary stays valid.
    const QByteArray m_data;
    qsizetype m_offset = 0;
    QString m_error;
    qsizetype m_errorOffset = -1;
};
