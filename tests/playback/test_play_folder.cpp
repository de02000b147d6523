// Which files of a folder are played, and which engine plays a run.
#include "EngineRun.h"
#include "FolderFileList.h"
#include "free_port.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

using namespace playtest;

namespace {

std::vector<QString> sorted(std::vector<QString> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST(FolderFileList, TakesOnlyPlainVisibleRecordFilesThatPassTheCheck)
{
    QTemporaryDir dir;
    const auto one = series(2, 0, 10, {0x100});
    ASSERT_TRUE(writeRecord(dir.filePath("good.dat"), one));
    ASSERT_TRUE(writeRecord(dir.filePath("empty-but-ours.dat"), {}));   // checked by trailer only
    ASSERT_TRUE(writeRecord(dir.filePath(".hidden.dat"), one));
    ASSERT_TRUE(writeRecord(dir.filePath("CAPS.DAT"), one));
    ASSERT_TRUE(writeRecord(dir.filePath("long.data"), one));
    ASSERT_TRUE(writeRecord(dir.filePath("noext"), one));
    ASSERT_TRUE(writeAll(dir.filePath("short.dat"), QByteArray(100, 'x')));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.dat"));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("pipe.dat")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(dir.filePath("good.dat"), dir.filePath("link.dat")));
    ASSERT_TRUE(QFile::link(dir.filePath("gone.dat"), dir.filePath("dangling.dat")));
    // Another program's file: same layout, other product name.
    {
        ELM327_Info other;
        FrameBuffer b;
        RecordTrailer t = RecordTrailer::fromParams(other);
        t.product = QStringLiteral("別の製品");
        ASSERT_TRUE(writeAll(dir.filePath("foreign.dat"), encodeRecordFile(b, t)));
    }
    ELM327_Info params;
    EXPECT_EQ(sorted(folderRecordFiles(dir.path(), params, nullptr)),
              (std::vector<QString>{"empty-but-ours.dat", "good.dat", "link.dat"}));
}

TEST(FolderFileList, AMissingFolderOrAnEmptyPathGivesNoFiles)
{
    ELM327_Info params;
    QTemporaryDir dir;
    EXPECT_TRUE(folderRecordFiles(dir.filePath("nope"), params, nullptr).empty());
    EXPECT_TRUE(folderRecordFiles(QString(), params, nullptr).empty());
    // A file given as the folder.
    ASSERT_TRUE(writeRecord(dir.filePath("a.dat"), series(1, 0, 1, {1})));
    EXPECT_TRUE(folderRecordFiles(dir.filePath("a.dat"), params, nullptr).empty());
}

TEST(FolderFileList, MoreThan20000FilesOfAnyKindGiveNoFilesAndSubFoldersDoNotCount)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("a.dat"), series(1, 0, 1, {1})));
    for (int i = 1; i < kMaxFolderFiles; ++i) {
        QFile f(dir.filePath(QStringLiteral(".n%1").arg(i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub%1").arg(i)));
    ELM327_Info params;
    EXPECT_EQ(folderRecordFiles(dir.path(), params, nullptr), std::vector<QString>{"a.dat"})
        << "exactly 20000 files still play";
    QFile last(dir.filePath("x.txt"));
    ASSERT_TRUE(last.open(QIODevice::WriteOnly));
    last.close();
    EXPECT_TRUE(folderRecordFiles(dir.path(), params, nullptr).empty());
}

TEST(FolderFileList, StopsAtTheLimitAndWhenTheRunIsStopped)
{
    QTemporaryDir dir;
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("f%1.dat").arg(i);
        ASSERT_TRUE(writeRecord(dir.filePath(name), series(1, 0, 1, {1})));
    }
    ELM327_Info params;
    EXPECT_EQ(folderRecordFiles(dir.path(), params, nullptr, 3).size(), 3u);
    CAN_PlayDB play;
    EngineHost host(play, params);
    host.RxFlag = 0;
    EXPECT_TRUE(folderRecordFiles(dir.path(), params, &host).empty());
    host.RxFlag = 1;
    EXPECT_EQ(folderRecordFiles(dir.path(), params, &host).size(), 5u);
}

// ---- Which engine plays --------------------------------------------------------------------

namespace {

struct FakeVariant final : public PlayVariant
{
    FakeVariant(QStringList &calls, QString name) : m_calls(calls), m_name(std::move(name)) {}
    void FilePlay_CANUSB(RunHost &, ELM327_Info &, CAN_ReadDB &, CANUSB &, CAN_DB &,
                         CAN_PlayDB &) override
    {
        m_calls << m_name + "/usb";
    }
    void FilePlay_InterfaceCAN(RunHost &, ELM327_Info &, CAN_ReadDB &, InterfaceCAN &,
                               CAN_DB_Interface &, CAN_PlayDB &) override
    {
        m_calls << m_name + "/if";
    }
    void FolderPlayMode_PreLoadFile(RunHost &, ELM327_Info &, CAN_PlayDB &) override
    {
        m_calls << m_name + "/preload";
    }
    QStringList &m_calls;
    QString m_name;
};

struct ChoiceRow
{
    const char *name;
    int mmMode;
    int kind;
    int skipTime;
    bool exclusion;
    int vendor;
    const char *engine;   // "multi/usb" …, "plain" (this engine), "" (nothing)
};

void PrintTo(const ChoiceRow &row, std::ostream *os)
{
    *os << row.name;
}

class PlayEngineChoice : public ::testing::TestWithParam<ChoiceRow>
{
};

} // namespace

TEST_P(PlayEngineChoice, FollowsTheSettingsAndTheTarget)
{
    const int port = freeTestPort();
    const ChoiceRow &row = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("c.dat"), series(2, 0, 1, {1})));
    EngineRun run(port);
    // No device exists: the plain engine shows that it tried by the device message.
    ScopedEnv noAdapters("CANUSB_ADAPTERS", "");
    ScopedEnv noPorts("IFCAN_PORTS", "");
    QStringList calls;
    run.play.CanPlay_Multi = std::make_unique<FakeVariant>(calls, "multi");
    run.play.CanPlay_Multi_MM = std::make_unique<FakeVariant>(calls, "memory");
    run.params.t_MM_Mode = row.mmMode;
    run.params.t_SkipTimeON = row.skipTime;
    run.params.t_DisableID_Play_ON(3, row.exclusion ? 1 : 0);
    run.params.t_select_Vender = row.vendor;
    if (row.kind == 1)
        run.targetFile(dir.path(), "c.dat");
    else
        run.targetFolder(dir.path());
    ASSERT_TRUE(run.run(10000));
    const QString engine = QString::fromLatin1(row.engine);
    if (engine == "plain") {
        EXPECT_TRUE(calls.isEmpty());
        EXPECT_EQ(run.messages.messages.size(), 1u);
    } else if (engine.isEmpty()) {
        EXPECT_TRUE(calls.isEmpty());
        EXPECT_TRUE(run.messages.messages.empty());
    } else {
        EXPECT_EQ(calls, QStringList{engine});
        EXPECT_TRUE(run.messages.messages.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayEngineChoice,
    ::testing::Values(ChoiceRow{"PlainFile", 0, 1, 0, false, 1, "plain"},
                      ChoiceRow{"PlainFolderBoard", 0, 2, 0, false, 2, "plain"},
                      ChoiceRow{"SkipTimeFile", 0, 1, 1, false, 1, "multi/usb"},
                      ChoiceRow{"ExclusionFolderBoard", 0, 2, 0, true, 2, "multi/if"},
                      ChoiceRow{"MemoryModeSingleFileIsNotFromMemory", 1, 1, 0, false, 1, "plain"},
                      ChoiceRow{"MemoryModeFileWithExclusion", 1, 1, 0, true, 2, "multi/if"},
                      ChoiceRow{"MemoryModeFolder", 1, 2, 0, false, 1, "memory/usb"},
                      ChoiceRow{"MemoryModeFolderWithSkipTime", 1, 2, 1, true, 2, "memory/if"},
                      ChoiceRow{"UnknownVendorPlaysNothing", 0, 1, 0, false, 3, ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(PlayEngineChoiceVariant, ThePreloadOfTheVariantGoesToIt)
{
    ELM327_Info params;
    CAN_PlayDB play;
    EngineHost host(play, params);
    QStringList calls;
    play.CanPlay_Multi = std::make_unique<FakeVariant>(calls, "multi");
    play.FolderPlayMode_PreLoadFile_Mulit(host, params);
    EXPECT_EQ(calls, QStringList{"multi/preload"});
}
