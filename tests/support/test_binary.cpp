#include "BinaryReader.h"
#include "BinaryWriter.h"
#include "Currency.h"

#include <limits>

#include <gtest/gtest.h>

TEST(BinaryReader, ReadsLittleEndianValues)
{
    BinaryWriter w;
    w.writeInt32(-2);
    w.writeUInt16(0xBEEF);
    w.writeUInt8(7);
    w.writeDouble(1.0);
    w.writeString(QString::fromUtf8("ＣＡＮ"));
    EXPECT_EQ(w.data().left(4), QByteArray::fromHex("feffffff"));
    EXPECT_EQ(w.data().mid(7, 8), QByteArray::fromHex("000000000000f03f"));

    BinaryReader r(w.data());
    EXPECT_EQ(r.readInt32(), -2);
    EXPECT_EQ(r.readUInt16(), 0xBEEF);
    EXPECT_EQ(r.readUInt8(), 7);
    EXPECT_EQ(r.readDouble(), 1.0);
    EXPECT_EQ(r.readString(), QString::fromUtf8("ＣＡＮ"));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0);
}

TEST(BinaryReader, KeepsTheFirstErrorAndNeverReadsPastTheEnd)
{
    // A string whose count runs past the end of the data.
    const QByteArray data = QByteArray::fromHex("0500414243");
    BinaryReader r(data);
    EXPECT_TRUE(r.readString().isEmpty());
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.errorOffset(), 2);
    EXPECT_EQ(r.readInt32(), 0);
    EXPECT_EQ(r.errorOffset(), 2);

    char buffer[4] = {1, 1, 1, 1};
    BinaryReader r2(QByteArray("ab"));
    EXPECT_FALSE(r2.readBytes(buffer, 4));
    EXPECT_EQ(QByteArray(buffer, 4), QByteArray(4, '\0'));
}

TEST(BinaryWriter, CutsOverlongStringsSoTheCountMatches)
{
    BinaryWriter w;
    w.writeString(QString(40000, QChar(0x3042)));   // 80000 bytes in code page 932
    BinaryReader r(w.data());
    const QString back = r.readString();
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0);
    EXPECT_LE(back.size() * 2, 0xFFFF);
    EXPECT_GT(back.size(), 30000);
}

TEST(Currency, RoundsToFourDecimals)
{
    EXPECT_EQ(Currency::fromDouble(1.23456).scaled(), 12346);
    EXPECT_EQ(Currency::fromDouble(-2.5).toDouble(), -2.5);
    EXPECT_EQ(Currency::fromDouble(4294967295.0).toDouble(), 4294967295.0);
    EXPECT_EQ(Currency::fromDouble(std::nan("")).scaled(), 0);
}

TEST(Currency, ValuesBeyondTheRangeStopAtItsEnds)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {1e300, inf, 922337203685477.6, 1e15})
        EXPECT_EQ(Currency::fromDouble(v).scaled(), INT64_MAX) << v;
    for (double v : {-1e300, -inf, -1e15})
        EXPECT_EQ(Currency::fromDouble(v).scaled(), INT64_MIN) << v;
    const Currency top = Currency::fromScaled(INT64_MAX), bottom = Currency::fromScaled(INT64_MIN);
    EXPECT_EQ((top - bottom).scaled(), INT64_MAX);
    EXPECT_EQ((bottom - top).scaled(), INT64_MIN);
    EXPECT_EQ((top + top).scaled(), INT64_MAX);
    EXPECT_EQ((bottom + bottom).scaled(), INT64_MIN);
    EXPECT_EQ((top - Currency::fromScaled(1)).scaled(), INT64_MAX - 1);
}
