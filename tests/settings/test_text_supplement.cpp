#include "Cp932.h"
#include "SettingsRecord.h"
#include "TextSupplement.h"

#include <gtest/gtest.h>

namespace {

// Where a text sits in the record and how to reach it.
struct TextRow
{
    const char *name;
    QString ELM327_Info::*param;
    QString PlayTarget::*player;
};

void PrintTo(const TextRow &row, std::ostream *os)
{
    *os << row.name;
}

const TextRow kTexts[] = {
    {"snapshot folder", &ELM327_Info::t_SaveFilePath, nullptr},
    {"played folder", nullptr, &PlayTarget::t_RecPlay_FilePath},
    {"played file", nullptr, &PlayTarget::t_RecPlay_FileName},
    {"record folder", &ELM327_Info::t_LogSaveFilePath, nullptr},
    {"comment", &ELM327_Info::t_LogComment, nullptr},
    {"conversion output", &ELM327_Info::t_CF_Save_Path, nullptr},
};

QString &textOf(const TextRow &row, ELM327_Info &p, PlayTarget &t)
{
    return row.param ? p.*row.param : t.*row.player;
}

class TextSupplement : public ::testing::TestWithParam<TextRow>
{
};

} // namespace

// A text code page 932 cannot hold comes back whole; the field itself still holds the
// code page 932 form, so other readers see what they always saw.
TEST_P(TextSupplement, TextsOutsideCodePage932SurviveTheFile)
{
    const QString real = QString::fromUtf8("/home/josé/Straße/ログ ✓");
    ELM327_Info p;
    PlayTarget t;
    textOf(GetParam(), p, t) = real;
    const QByteArray bytes = settingsrecord::serialize(p, t);
    EXPECT_TRUE(bytes.contains(cp932::encode(real)));

    ELM327_Info readP;
    PlayTarget readT;
    ASSERT_TRUE(settingsrecord::parse(bytes, readP, readT));
    EXPECT_EQ(textOf(GetParam(), readP, readT), real);
}

INSTANTIATE_TEST_SUITE_P(Fields, TextSupplement, ::testing::ValuesIn(kTexts),
                         [](const auto &info) {
                             QString n = QString::fromLatin1(info.param.name);
                             return n.replace(' ', '_').toStdString();
                         });

TEST(TextSupplementLayout, TextsCodePage932HoldsLeaveTheReservedFieldEmpty)
{
    ELM327_Info p;
    PlayTarget t;
    p.t_LogSaveFilePath = QString::fromUtf8("/data/録画");
    const QByteArray plain = settingsrecord::serialize(p, t);
    p.t_LogSaveFilePath = QString::fromUtf8("/data/é");
    const QByteArray extra = settingsrecord::serialize(p, t);
    // The record grows by exactly the supplement; nothing else moves.
    EXPECT_GT(extra.size(), plain.size());
    ELM327_Info back;
    PlayTarget backT;
    back.t_LogSaveFilePath = "untouched";
    ASSERT_TRUE(settingsrecord::parse(plain, back, backT));
    EXPECT_EQ(back.t_LogSaveFilePath, QString::fromUtf8("/data/録画"));
}

// When another program rewrote the field (and kept the reserved one), the field wins.
TEST(TextSupplementLayout, AFieldChangedSinceIsNotOverwritten)
{
    ELM327_Info p;
    PlayTarget t;
    p.t_LogSaveFilePath = QString::fromUtf8("/data/é");
    QByteArray bytes = settingsrecord::serialize(p, t);
    const QByteArray stored = cp932::encode(p.t_LogSaveFilePath);   // "/data/?"
    const qsizetype at = bytes.indexOf(stored);
    ASSERT_GT(at, 0);
    bytes[at + stored.size() - 1] = 'x';   // same length, another folder
    ELM327_Info back;
    PlayTarget backT;
    ASSERT_TRUE(settingsrecord::parse(bytes, back, backT));
    EXPECT_EQ(back.t_LogSaveFilePath, "/data/x");
}

// A damaged reserved field changes nothing and never reads past its end.
TEST(TextSupplementLayout, DamagedSupplementsAreIgnored)
{
    const QByteArray damaged[] = {
        "CKUTF8\n42:",           "CKUTF8\n42:99:/data/é",  "CKUTF8\n42:-1:x",
        "CKUTF8\n42:3",          "CKUTF8\nxx:3:abc",        "CKUTF8\n42:99999999999999999999:x",
        "CKUTF8\n7:3:abc",       "CKUTF\n42:8:/data/\xc3\xa9", QByteArray("CKUTF8\n42:2:\xff\xfe"),
    };
    for (const QByteArray &bytes : damaged) {
        ELM327_Info p;
        PlayTarget t;
        p.t_LogSaveFilePath = "/data/?";
        textsupplement::apply(bytes, p, t);
        EXPECT_EQ(p.t_LogSaveFilePath, "/data/?") << bytes.toStdString();
    }
    ELM327_Info p;
    PlayTarget t;
    p.t_LogSaveFilePath = "/data/?";
    textsupplement::apply("CKUTF8\n42:8:/data/\xc3\xa9", p, t);
    EXPECT_EQ(p.t_LogSaveFilePath, QString::fromUtf8("/data/é")) << "the well-formed one";
}
