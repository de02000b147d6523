#include "Cp932.h"

#include <gtest/gtest.h>

struct Cp932Row
{
    const char *utf8;
    QByteArray bytes;
};

class Cp932RoundTrip : public ::testing::TestWithParam<Cp932Row>
{
};

TEST_P(Cp932RoundTrip, EncodesAndDecodes)
{
    const Cp932Row &row = GetParam();
    const QString text = QString::fromUtf8(row.utf8);
    EXPECT_EQ(cp932::encode(text), row.bytes);
    EXPECT_EQ(cp932::decode(row.bytes), text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Cp932RoundTrip,
    ::testing::Values(
        Cp932Row{"", QByteArray()},
        Cp932Row{"CAN_Kestrova_REC_FILE_DAT", QByteArray("CAN_Kestrova_REC_FILE_DAT")},
        // The default comment: seven full-width characters, fourteen bytes.
        Cp932Row{"ＣＡＮ受信ログ", QByteArray::fromHex("82628260826d8ef3904d838d834f")},
        Cp932Row{"ペルモラ技研", QByteArray::fromHex("8379838b838283898b5a8ca4")},
        // Microsoft's extensions: the wave dash that Windows types, and a NEC special.
        Cp932Row{"～①", QByteArray::fromHex("81608740")},
        Cp932Row{"￥", QByteArray::fromHex("818f")}));

TEST(Cp932, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(cp932::encode(QString::fromUtf8("a😀b")), QByteArray("a?b"));
    EXPECT_EQ(cp932::encode(QString::fromUtf8("ä")), QByteArray("?"));
}

TEST(Cp932, BrokenBytesBecomeQuestionMarks)
{
    // A lone lead byte at the end and an invalid trail byte.
    EXPECT_EQ(cp932::decode(QByteArray::fromHex("4182")), QStringLiteral("A?"));
    EXPECT_EQ(cp932::decode(QByteArray::fromHex("41a0ff42")).startsWith(QLatin1Char('A')), true);
    EXPECT_TRUE(cp932::decode(QByteArray::fromHex("41a0ff42")).endsWith(QLatin1Char('B')));
}
