#include "Paths.h"
#include "RecordFiles.h"
#include "RecordFixtures.h"
#include "TestHelpers.h"
#include "HookGuard.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QString utf8(const char *s)
{
    return QString::fromUtf8(s);
}

QDateTime at(int y, int mo, int d, int h, int mi = 30)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

// A record folder of the test's own (mode 2), a desktop inside a home of its own, and
// a clock the test sets.
class RecordNamingTest : public ::testing::Test
{
protected:
    QTemporaryDir tmp;
    QString home = tmp.filePath("home");
    QString desktop = tmp.filePath("home/Desktop");
    QString folder = tmp.filePath("rec");
    ScopedEnv homeEnv{"HOME", home.toUtf8()};
    ScopedEnv xdgEnv{"XDG_CONFIG_HOME", (home + "/.config").toUtf8()};
    ELM327_Info params;
    FrameBuffer buffer;
    QString lastStamp;
    QString lastNumber;
    QDateTime clock = at(2015, 12, 7, 13);

    void SetUp() override
    {
        QDir().mkpath(desktop);
        QDir().mkpath(folder);
        params.t_LogSaveFilePath_mode = 2;
        params.t_LogSaveFilePath = folder;
    }
    HookGuard<void (*)(std::function<QDateTime()>), std::function<QDateTime()>> recordClock{
        &setRecordClockForTesting, [this] { return clock; }};

    RecordFileResult write(const QString &subFolder = {})
    {
        return WriteRecordFile(params, buffer, lastStamp, lastNumber, subFolder);
    }
    void touch(const QString &name, const QByteArray &content = "earlier run")
    {
        ASSERT_TRUE(writeAll(QDir(folder).filePath(name), content));
    }
    QStringList files(const QString &in) const
    {
        return QDir(in).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    }
};

} // namespace

TEST_F(RecordNamingTest, NamesTheFileAfterTheHourOfWriting)
{
    const RecordFileResult r = write();
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(r.path, folder + "/CR15120713-001.dat");
    EXPECT_EQ(lastStamp, "15120713");
    EXPECT_EQ(lastNumber, "001");
    EXPECT_EQ(CheckRecordFile(r.path, params), 0);
}

TEST_F(RecordNamingTest, CountsUpWithinAnHourAndStartsAgainInTheNext)
{
    EXPECT_EQ(QFileInfo(write().path).fileName(), "CR15120713-001.dat");
    clock = at(2015, 12, 7, 13, 59);
    EXPECT_EQ(QFileInfo(write().path).fileName(), "CR15120713-002.dat");
    clock = at(2015, 12, 7, 14, 0);
    EXPECT_EQ(QFileInfo(write().path).fileName(), "CR15120714-001.dat");
    EXPECT_EQ(lastStamp, "15120714");
    clock = at(2015, 12, 31, 23, 59);
    EXPECT_EQ(QFileInfo(write().path).fileName(), "CR15123123-001.dat");
    clock = at(2016, 1, 1, 0, 0);
    EXPECT_EQ(QFileInfo(write().path).fileName(), "CR16010100-001.dat");
}

struct NumberRow
{
    const char *name;
    QStringList existing;   // numbers already in the folder for the stamp 15120713
    QString lastStamp;      // the caller's state before the call
    QString lastNumber;
    QString expected;       // number of the file written
};

static void PrintTo(const NumberRow &row, std::ostream *os)
{
    *os << row.name;
}

class RecordNumberTest : public RecordNamingTest, public ::testing::WithParamInterface<NumberRow>
{
};

TEST_P(RecordNumberTest, PicksTheFirstFreeNumberAndNeverReplacesAFile)
{
    const NumberRow &row = GetParam();
    for (const QString &n : row.existing)
        touch("CR15120713-" + n + ".dat");
    lastStamp = row.lastStamp;
    lastNumber = row.lastNumber;

    const RecordFileResult r = write();
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(QFileInfo(r.path).fileName(), "CR15120713-" + row.expected + ".dat");
    EXPECT_EQ(lastNumber, row.expected);
    EXPECT_EQ(lastStamp, "15120713");
    for (const QString &n : row.existing)
        EXPECT_EQ(readAll(QDir(folder).filePath("CR15120713-" + n + ".dat")), "earlier run")
            << n.toStdString();
}

namespace {
QStringList numbers(int first, int last)
{
    QStringList out;
    for (int i = first; i <= last; ++i)
        out << QString::number(i).rightJustified(3, '0');
    return out;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Numbers, RecordNumberTest,
    ::testing::Values(
        NumberRow{"FreshFolder", {}, "", "", "001"},
        NumberRow{"EarlierRunLeftOne", {"001"}, "", "", "002"},
        NumberRow{"EarlierRunLeftAGap", {"001", "003"}, "", "", "002"},
        NumberRow{"OtherHourInTheCallerState", {"001"}, "15120712", "007", "002"},
        NumberRow{"GoesOnFromTheCallerNumber", {"001", "002"}, "15120713", "002", "003"},
        NumberRow{"CallerNumberFreeAgain", {}, "15120713", "005", "005"},
        NumberRow{"CallerNumberNotANumber", {}, "15120713", "x", "001"},
        NumberRow{"NinetyNineToHundred", numbers(1, 999), "15120713", "999", "1000"},
        NumberRow{"AllThousandTaken", numbers(1, 1000), "", "", "1001"},
        NumberRow{"BeyondAThousand", numbers(1000, 1001), "15120713", "1000", "1002"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(RecordNamingTest, ADanglingLinkCountsAsTaken)
{
    const QString victim = tmp.filePath("victim.dat");
    ASSERT_TRUE(QFile::link(victim, QDir(folder).filePath("CR15120713-001.dat")));
    EXPECT_EQ(QFileInfo(write().path).fileName(), "CR15120713-002.dat");
    EXPECT_FALSE(QFileInfo::exists(victim));
}

TEST_F(RecordNamingTest, RoundTripsAFullBuffer)
{
    for (int i = 0; i < FrameBuffer::kSlots; ++i)
        buffer[i] = fixture::recordFrame(1 + i % 0x7FF, i * 0.5, uint8_t(i % 9),
                                         {uint8_t(i), uint8_t(i >> 8), 0xFF});
    params.t_LogComment = utf8("試験 ①");
    const RecordFileResult r = write();
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(QFileInfo(r.path).size(), 420021 + 8 + 15 + 12 + 25 + 7);

    ELM327_Info reader;
    FrameBuffer back;
    ASSERT_EQ(LoadRecordFile(r.path, reader, back), 0);
    EXPECT_EQ(reader.t_LogComment, utf8("試験 ①"));
    for (int i : {0, 1, 8, 12345, 20000})
        EXPECT_EQ(back[i], buffer[i]) << "slot " << i;
}

TEST_F(RecordNamingTest, AFailedWriteSaysSoAndWhere)
{
    params.t_LogSaveFilePath = "/proc";   // a folder nobody, not even root, can write to
    const RecordFileResult r = write();
    EXPECT_EQ(r.code, -1);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.path, "/proc/CR15120713-001.dat");
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_EQ(params.t_LogSaveFilePath, "/proc");
}

// ---- Where the files go

struct FolderRow
{
    const char *name;
    int32_t mode;
    const char *configured;   // t_LogSaveFilePath; "<rec>" is the test's record folder
    const char *expected;     // "<rec>", "<desktop>" or "<program>"
    bool storesDesktop;       // the desktop also lands in t_LogSaveFilePath
};

static void PrintTo(const FolderRow &row, std::ostream *os)
{
    *os << row.name;
}

class RecordFolderTest : public RecordNamingTest, public ::testing::WithParamInterface<FolderRow>
{
protected:
    QString program = tmp.filePath("program");
    QString expand(const char *s) const
    {
        return QString(s)
            .replace("<rec>", folder)
            .replace("<desktop>", desktop)
            .replace("<program>", program);
    }
};

TEST_P(RecordFolderTest, FollowsTheFolderMode)
{
    const FolderRow &row = GetParam();
    QDir().mkpath(program);
    const HookGuard programFolder(&paths::setProgramFolderForTesting, program);
    params.t_LogSaveFilePath_mode = row.mode;
    params.t_LogSaveFilePath = expand(row.configured);
    const QString before = params.t_LogSaveFilePath;

    const RecordFileResult r = write();
    ASSERT_TRUE(r.ok()) << r.error.toStdString();
    EXPECT_EQ(QFileInfo(r.path).path(), expand(row.expected));
    EXPECT_EQ(params.t_LogSaveFilePath, row.storesDesktop ? desktop : before);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RecordFolderTest,
    ::testing::Values(FolderRow{"ProgramFolder", 0, "<rec>", "<program>", false},
                      FolderRow{"Desktop", 1, "<rec>", "<desktop>", false},
                      FolderRow{"ChosenFolder", 2, "<rec>", "<rec>", false},
                      FolderRow{"ChosenFolderWithSeparator", 2, "<rec>/", "<rec>", false},
                      FolderRow{"ChosenFolderEmpty", 2, "", "<desktop>", true},
                      FolderRow{"ChosenFolderGone", 2, "<rec>/gone", "<desktop>", true},
                      FolderRow{"UnknownModeIsProgramFolder", 7, "<rec>", "<program>", false}),
    [](const auto &info) { return std::string(info.param.name); });

struct SubFolderUseRow
{
    const char *name;
    int32_t enabled;
    const char *subFolder;
    bool makeIt;
    bool inside;
};

static void PrintTo(const SubFolderUseRow &row, std::ostream *os)
{
    *os << row.name;
}

class RecordSubFolderUseTest : public RecordNamingTest,
                               public ::testing::WithParamInterface<SubFolderUseRow>
{
};

TEST_P(RecordSubFolderUseTest, WritesIntoTheSubFolderOnlyWhenItIsThere)
{
    const SubFolderUseRow &row = GetParam();
    params.t_LogSave_subFolder = row.enabled;
    if (row.makeIt)
        QDir(folder).mkpath(utf8(row.subFolder));
    const RecordFileResult r = write(utf8(row.subFolder));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(QFileInfo(r.path).path(), row.inside ? folder + "/" + utf8(row.subFolder) : folder);
}

INSTANTIATE_TEST_SUITE_P(
    SubFolder, RecordSubFolderUseTest,
    ::testing::Values(SubFolderUseRow{"OnAndThere", 1, "走行１", true, true},
                      SubFolderUseRow{"OnButGone", 1, "走行１", false, false},
                      SubFolderUseRow{"Off", 0, "走行１", true, false},
                      SubFolderUseRow{"OnButNoName", 1, "", false, false},
                      SubFolderUseRow{"ParentIsRefused", 1, "..", false, false},
                      SubFolderUseRow{"PathIsRefused", 1, "a/b", true, false}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- The comment as a folder name

struct NameRow
{
    const char *name;
    QString comment;
    QString expected;
};

static void PrintTo(const NameRow &row, std::ostream *os)
{
    *os << row.name;
}

class SubFolderNameTest : public ::testing::TestWithParam<NameRow>
{
};

TEST_P(SubFolderNameTest, MakesOnePlainName)
{
    const QString got = recordSubFolderName(GetParam().comment);
    EXPECT_EQ(got, GetParam().expected) << got.toStdString();
    if (!got.isEmpty()) {
        EXPECT_TRUE(isPlainFolderName(got));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Comments, SubFolderNameTest,
    ::testing::Values(
        NameRow{"SlashAndColon", "a/b:c", utf8("a／b：c")},
        NameRow{"EveryForbiddenCharacter", "\\*?\"<>|", utf8("￥＊？ ＜＞｜")},
        NameRow{"LineBreaksDropped", "one\r\ntwo\rthree\nfour", "onetwothreefour"},
        NameRow{"TabIsTwoWideSpaces", "a\tb", utf8("a　　b")},
        NameRow{"Japanese", utf8("ＣＡＮ受信ログ"), utf8("ＣＡＮ受信ログ")},
        NameRow{"Dot", ".", utf8("．")},
        NameRow{"DotDot", "..", utf8("．．")},
        NameRow{"HiddenName", ".cache", utf8("．cache")},
        NameRow{"InnerDotsStay", "v1.2.", "v1.2."},
        NameRow{"DotDotSlash", "../x", utf8("．．／x")},
        NameRow{"NulAndBellDropped", QString("a") + QChar(0) + "b\a", "ab"},
        NameRow{"Empty", "", ""},
        NameRow{"OnlySpaces", "   ", ""},
        NameRow{"OnlyLineBreaks", "\r\n\r\n", ""},
        NameRow{"OnlyTabs", "\t\t", ""},
        NameRow{"OnlyQuotes", "\"\"", ""},
        NameRow{"LeadingSpacesKept", "  x", "  x"},
        NameRow{"LongAsciiCut", QString(300, 'a'), QString(247, 'a')},
        NameRow{"LongJapaneseCutAtACharacter", QString(100, QChar(0x3042)),
                QString(82, QChar(0x3042))},
        NameRow{"SurrogatePairNotSplit", QString(246, 'a') + utf8("😀"), QString(246, 'a')}),
    [](const auto &info) { return std::string(info.param.name); });

class SubFolderCreateTest : public RecordNamingTest
{
protected:
    RecordFileResult create(const QString &comment, QString &name)
    {
        params.t_LogComment = comment;
        return CreateRecordSubFolder(params, name);
    }
};

TEST_F(SubFolderCreateTest, SecondRecordingWithTheSameCommentGetsASuffix)
{
    QString name;
    ASSERT_TRUE(create("a/b:c", name).ok());
    EXPECT_EQ(name, utf8("a／b：c"));
    EXPECT_TRUE(QFileInfo(folder + "/" + name).isDir());
    ASSERT_TRUE(create("a/b:c", name).ok());
    EXPECT_EQ(name, utf8("a／b：c-002"));
    ASSERT_TRUE(create("a/b:c", name).ok());
    EXPECT_EQ(name, utf8("a／b：c-003"));

    params.t_LogSave_subFolder = 1;
    const RecordFileResult r = write(name);
    EXPECT_EQ(QFileInfo(r.path).path(), folder + "/" + utf8("a／b：c-003"));
}

TEST_F(SubFolderCreateTest, AFileOfThatNameIsStepped)
{
    touch("log");
    QString name;
    ASSERT_TRUE(create("log", name).ok());
    EXPECT_EQ(name, "log-002");
}

TEST_F(SubFolderCreateTest, SuffixesGoOnPastNineHundredNinetyNine)
{
    QDir(folder).mkdir("x");
    for (int i = 2; i <= 999; ++i)
        QDir(folder).mkdir("x-" + QString::number(i).rightJustified(3, '0'));
    QString name;
    ASSERT_TRUE(create("x", name).ok());
    EXPECT_EQ(name, "x-1000");
}

TEST_F(SubFolderCreateTest, DotsStayInsideTheRecordFolder)
{
    for (const char *comment : {".", ".."}) {
        QString name;
        const RecordFileResult r = create(comment, name);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(QFileInfo(r.path).path(), folder);
        EXPECT_TRUE(QFileInfo(r.path).isDir());
    }
    EXPECT_EQ(files(folder), QStringList({utf8("．"), utf8("．．")}));
    EXPECT_EQ(files(tmp.path()), QStringList({"home", "rec"}));
}

TEST_F(SubFolderCreateTest, NoUsableNameMeansNoSubFolder)
{
    QString name = "stale";
    const RecordFileResult r = create("   ", name);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(name.isEmpty());
    EXPECT_EQ(r.path, folder);
    EXPECT_TRUE(files(folder).isEmpty());
}

TEST_F(SubFolderCreateTest, AFolderThatCannotBeMadeIsReported)
{
    params.t_LogSaveFilePath = "/proc";
    QString name = "stale";
    const RecordFileResult r = create("run", name);
    EXPECT_EQ(r.code, -1);
    EXPECT_EQ(r.path, "/proc/run");
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_TRUE(name.isEmpty());
}
