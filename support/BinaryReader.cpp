#include "BinaryReader.h"

#include "Cp932.h"

#include <cstring>

bool BinaryReader::take(qsizetype n, const char *what)
{
    if (!ok())
        return false;
    if (n < 0 || n > remaining()) {
        m_error = QStringLiteral("%1 bytes of %2 needed at offset %3, %4 left")
                      .arg(n).arg(QLatin1String(what)).arg(m_offset).arg(remaining());
        m_errorOffset = m_offset;
        return false;
    }
    return true;
}

int32_t BinaryReader::readInt32()
{
    if (!take(4, "int32"))
        return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uchar(m_data[m_offset + i]);
    m_offset += 4;
    return int32_t(v);
}

uint16_t BinaryReader::readUInt16()
{
    if (!take(2, "uint16"))
        return 0;
    const uint16_t v = uint16_t(uchar(m_data[m_offset]) | (uchar(m_data[m_offset + 1]) << 8));
    m_offset += 2;
    return v;
}

uint8_t BinaryReader::readUInt8()
{
    if (!take(1, "uint8"))
        return 0;
    return uchar(m_data[m_offset++]);
}

double BinaryReader::readDouble()
{
    if (!take(8, "double"))
        return 0;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | uchar(m_data[m_offset + i]);
    m_offset += 8;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

bool BinaryReader::readBytes(void *dst, qsizetype n)
{
    if (!take(n, "bytes")) {
        std::memset(dst, 0, size_t(std::max<qsizetype>(n, 0)));
        return false;
    }
    std::memcpy(dst, m_data.constData() + m_offset, size_t(n));
    m_offset += n;
    return true;
}

QString BinaryReader::readString()
{
    const uint16_t n = readUInt16();
    if (!take(n, "string"))
        return {};
    const QByteArray bytes = m_data.mid(m_offset, n);
    m_offset += n;
    return cp932::decode(bytes);
}

bool BinaryReader::skip(qsizetype n)
{
    if (!take(n, "bytes"))
        return false;
    m_offset += n;
    return true;
}
