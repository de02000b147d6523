#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Builds a little-endian byte block, the counterpart of BinaryReader.
class BinaryWriter final
{
public:
    void writeInt32(int32_t v);
    void writeUInt16(uint16_t v);
    void writeUInt8(uint8_t v);
    void writeDouble(double v);
    void writeBytes(const void *src, qsizetype n);
    // A 16-bit byte count and code page 932 text; text longer than 65535 bytes is cut
    // there (at a character boundary) so the count always matches what follows.
    void writeString(const QString &text);
    void reserve(qsizetype n) { m_data.reserve(n); }

    const QByteArray &data() const { return m_data; }

private:
    QByteArray m_data;
};
