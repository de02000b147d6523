#include "StringBuilder.h"

#include <gtest/gtest.h>

TEST(StringBuilder, NewBuilderIsEmpty)
{
    StringBuilder b;
    EXPECT_EQ(b.length(), 0);
    EXPECT_EQ(b.Text(), QString());
    EXPECT_EQ(b.capacity(), 0);
}

TEST(StringBuilder, EmptyAppendChangesNothing)
{
    StringBuilder b;
    b.Append(QStringView());
    b.Append(QLatin1String(""));
    EXPECT_EQ(b.length(), 0);
    EXPECT_EQ(b.capacity(), 0);
}

TEST(StringBuilder, GrowsInSteps)
{
    StringBuilder b;
    b.Append(QStringLiteral("ID  DLC"));
    EXPECT_EQ(b.capacity(), StringBuilder::kGrowth);
    const QString chunk(1000, QLatin1Char('x'));
    for (int i = 0; i < 70; ++i)
        b.Append(chunk);
    EXPECT_EQ(b.length(), 7 + 70000);
    EXPECT_EQ(b.capacity(), 2 * StringBuilder::kGrowth);
    EXPECT_EQ(b.Text().size(), 70007);
    EXPECT_TRUE(b.Text().startsWith(QLatin1String("ID  DLCxxx")));
    EXPECT_FALSE(b.Text().contains(QChar(0)));
}

TEST(StringBuilder, OnePieceLongerThanTheStep)
{
    StringBuilder b;
    const QString big(3 * StringBuilder::kGrowth + 5, QChar(u'録'));
    b.Append(big);
    EXPECT_EQ(b.Text(), big);
    EXPECT_EQ(b.capacity(), 4 * StringBuilder::kGrowth);
}

TEST(StringBuilder, KeepsPiecesInOrderAcrossTheStep)
{
    StringBuilder b;
    QString expected;
    for (int i = 0; i < 20000; ++i) {
        const QString piece = QString::number(i) + QLatin1Char(i % 7 ? ' ' : '\n');
        b.Append(piece);
        expected += piece;
    }
    EXPECT_EQ(b.Text(), expected);
}

TEST(StringBuilder, ClearStartsOverInTheSameBuffer)
{
    StringBuilder b;
    b.Append(QStringLiteral("first table"));
    b.clear();
    b.Append(QLatin1Char('x'));
    EXPECT_EQ(b.Text(), QStringLiteral("x"));
    EXPECT_EQ(b.capacity(), StringBuilder::kGrowth);
}
