#include "BinaryWriter.h"

#include "Cp932.h"

#include <cstring>

void BinaryWriter::writeInt32(int32_t v)
{
    const uint32_t u = uint32_t(v);
    const char b[4] = {char(u), char(u >> 8), char(u >> 16), char(u >> 24)};
    m_data.append(b, 4);
}

void BinaryWriter::writeUInt16(uint16_t v)
{
    const char b[2] = {char(v), char(v >> 8)};
    m_data.append(b, 2);
}

void BinaryWriter::writeUInt8(uint8_t v)
{
    m_data.append(char(v));
}

void BinaryWriter::writeDouble(double v)
{
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    char b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = char(bits >> (8 * i));
    m_data.append(b, 8);
}

void BinaryWriter::writeBytes(const void *src, qsizetype n)
{
    m_data.append(static_cast<const char *>(src), n);
}

void BinaryWriter::writeString(const QString &text)
{
    QByteArray bytes = cp932::encode(text);
    if (bytes.size() > 0xFFFF) {
        QString cut = text;
        while (bytes.size() > 0xFFFF) {
            cut.chop(std::max<qsizetype>(1, (bytes.size() - 0xFFFF) / 2));
            bytes = cp932::encode(cut);
        }
    }
    writeUInt16(uint16_t(bytes.size()));
    m_data.append(bytes);
}
