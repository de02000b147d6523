// The three frame sources, walked without a device: what the next frame is, what follows
// the end of the data, and the order of a recording's files.
#include "EngineRun.h"
#include "FileSource.h"
#include "FolderFileList.h"
#include "MemorySource.h"
#include "MessagePump.h"
#include "PlayPacer.h"
#include "RecordFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace playtest;

namespace {

// ---- The order of a recording's files --------------------------------------------------

struct OrderRow
{
    const char *name;
    const char *a;
    const char *b;
    bool less;
};

class RecordFileOrder : public ::testing::TestWithParam<OrderRow>
{
};

TEST_P(RecordFileOrder, ComparesNumbersAsNumbers)
{
    const OrderRow &row = GetParam();
    EXPECT_EQ(recordFileNameLess(QString::fromUtf8(row.a), QString::fromUtf8(row.b)), row.less);
    if (row.less) {
        EXPECT_FALSE(recordFileNameLess(QString::fromUtf8(row.b), QString::fromUtf8(row.a)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RecordFileOrder,
    ::testing::Values(OrderRow{"NinetyNineBeforeOneHundred", "CR26120915-099.dat", "CR26120915-100.dat", true},
                      OrderRow{"NineHundredNinetyNineBeforeOneThousand", "CR26120915-999.dat", "CR26120915-1000.dat", true},
                      OrderRow{"OneThousandBeforeOneThousandAndOne", "CR26120915-1000.dat", "CR26120915-1001.dat", true},
                      OrderRow{"TheHourGoesFirst", "CR26120915-1500.dat", "CR26120916-001.dat", true},
                      OrderRow{"AcrossTheYear", "CR26123123-050.dat", "CR27010100-001.dat", true},
                      OrderRow{"EqualNamesAreNotLess", "CR26120915-001.dat", "CR26120915-001.dat", false},
                      OrderRow{"LeadingZerosTieByText", "CR-001.dat", "CR-1.dat", true},
                      OrderRow{"AShorterNameFirst", "CR.dat", "CR.data", true},
                      OrderRow{"TextAsWritten", "CR-1.dat", "MC-1.dat", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RecordFileOrderFolder, FilesNumberedPast999PlayInNumberOrder)
{
    QTemporaryDir dir;
    QStringList names;
    for (int n = 998; n <= 1002; ++n)
        names << QStringLiteral("CR26120915-%1.dat").arg(n);
    names << QStringLiteral("CR26120916-001.dat");
    for (qsizetype i = names.size() - 1; i >= 0; --i)
        ASSERT_TRUE(writeRecord(dir.filePath(names[i]), series(2, 0, 10, {0x100})));
    ELM327_Info params;
    const std::vector<QString> listed = folderRecordFiles(dir.path(), params, nullptr);
    EXPECT_EQ(QStringList(listed.begin(), listed.end()), names);
}

// ---- Walking a source ------------------------------------------------------------------

// What a run does with a source, less the device and the timing: takes each frame, moves
// on, and asks the source at every end of its data.
struct SourceWalk
{
    SourceWalk() { host.RxFlag = 1; play.PlayMode = 1; }

    PlayContext context(FrameSource &)
    {
        return PlayContext{host, params, play, play, pacer, [] { pumpMessages(); }};
    }
    // (tag, frame number) of each frame taken, up to `limit` frames or the end of the run.
    std::vector<std::pair<int, int>> walk(FrameSource &source, int limit)
    {
        PlayContext ctx = context(source);
        std::vector<std::pair<int, int>> out;
        if (!source.load(ctx))
            return out;
        pacer.start(source.t0());
        while (host.RxFlag == 1 && int(out.size()) < limit) {
            const auto f = source.current();
            if (!f) {
                source.endOfData(ctx, pacer.now());
                if (pacer.skipOffset() > 0)
                    skips.push_back(pacer.skipOffset());
                continue;
            }
            out.emplace_back(f->record.data[0], f->record.data[1]);
            source.advance(ctx);
        }
        return out;
    }
    // The preload timer of the window, loading into this source.
    void preloadInto(FileSource &source)
    {
        QObject::disconnect(&host.fileRecPlay, &QTimer::timeout, nullptr, nullptr);
        QObject::connect(&host.fileRecPlay, &QTimer::timeout, &host, [this, &source] {
            host.fileRecPlay.stop();
            source.preload(host, params, play, play);
        });
    }

    ELM327_Info params;
    CAN_PlayDB play;
    EngineHost host{play, params};
    double fakeMs = 0;
    PlayPacer pacer{play, PlayClock([this] { return fakeMs; }), [this](double ms) { fakeMs += ms; }};
    std::vector<double> skips;
};

std::vector<std::pair<int, int>> frames(int tag, std::initializer_list<int> numbers)
{
    std::vector<std::pair<int, int>> out;
    for (int n : numbers)
        out.emplace_back(tag, n);
    return out;
}

template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FileSourceTest, ASingleFileWithRepeatStartsANewCycleAtItsEnd)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("a.dat"), series(3, 500, 10, {0x100}, 7)));
    SourceWalk w;
    w.play.t_RecPlay_FileType = 1;
    w.play.t_RecPlay_FilePath = dir.path();
    w.play.t_RecPlay_FileName = QStringLiteral("a.dat");
    w.play.t_RecPlay_PlayMode_Repeat = 1;
    FileSource source;
    EXPECT_EQ(w.walk(source, 7), frames(7, {0, 1, 2, 0, 1, 2, 0}));
    EXPECT_EQ(w.play.vx_millisecond_Repeat_MAX, 0) << "the fake clock stood still";
    EXPECT_EQ(source.t0(), 500);
    // Without repeat the end of the file ends the run.
    w.play.t_RecPlay_PlayMode_Repeat = 0;
    EXPECT_EQ(w.walk(source, 10), frames(7, {0, 1, 2}));
    EXPECT_EQ(w.host.RxFlag, 0);
}

TEST(FileSourceTest, AFolderPlaysItsFilesInTurnThroughThePreload)
{
    QTemporaryDir dir;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(writeRecord(dir.filePath(QStringLiteral("CR26120915-%1.dat").arg(999 + i)),
                                series(2, 1000.0 * i, 10, {0x100}, uint8_t(i))));
    SourceWalk w;
    w.play.t_RecPlay_FileType = 2;
    w.play.t_RecPlay_FilePath = dir.path();
    FileSource source;
    w.preloadInto(source);
    EXPECT_EQ(w.walk(source, 20), frames(0, {0, 1}) + frames(1, {0, 1}) + frames(2, {0, 1}));
    EXPECT_EQ(w.play.FolderPlayMode_FN_Count, 3);
    EXPECT_EQ(source.listedName(2), QStringLiteral("CR26120915-1001.dat"));
}

TEST(KeptFileSourceTest, ExcludedFramesArePassedOverAndAFileOfThemOnlyIsLeftOut)
{
    QTemporaryDir dir;
    std::vector<RecordFrame> first = series(4, 0, 10, {0x150}, 0);
    first[2].identifier = 0x300;
    ASSERT_TRUE(writeRecord(dir.filePath("CR-1.dat"), first));
    ASSERT_TRUE(writeRecord(dir.filePath("CR-2.dat"), series(3, 100, 10, {0x150}, 1)));
    ASSERT_TRUE(writeRecord(dir.filePath("CR-3.dat"), series(2, 200, 10, {0x151}, 2)));
    SourceWalk w;
    w.params.t_DisableID_Play_MAX = 7;
    w.params.t_DisableID_Play_ON(0, 1);
    w.params.t_DisableID_Play_Start(0, 0x150);
    w.params.t_DisableID_Play_End(0, 0x150);
    w.play.t_RecPlay_FileType = 2;
    w.play.t_RecPlay_FilePath = dir.path();
    KeptFileSource source;
    w.preloadInto(source);
    EXPECT_EQ(w.walk(source, 20), frames(0, {2}) + frames(2, {0, 1}));
    EXPECT_EQ(source.t0(), 0) << "the time line begins at record 0, excluded or not";
}

TEST(KeptFileSourceTest, ALongGapBeforeTheNextFileIsSkipped)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("CR-1.dat"), series(2, 0, 10, {0x100}, 0)));
    ASSERT_TRUE(writeRecord(dir.filePath("CR-2.dat"), series(2, 600010, 10, {0x100}, 1)));
    ASSERT_TRUE(writeRecord(dir.filePath("CR-3.dat"), series(2, 600120, 10, {0x100}, 2)));
    SourceWalk w;
    w.params.t_SkipTimeON = 1;
    w.params.t_SkipTime_Value = 300;
    w.play.t_RecPlay_FileType = 2;
    w.play.t_RecPlay_FilePath = dir.path();
    KeptFileSource source;
    w.preloadInto(source);
    EXPECT_EQ(w.walk(source, 20).size(), 6u);
    // The ten minutes are skipped; the 100 ms before the third file are played.
    ASSERT_FALSE(w.skips.empty());
    EXPECT_NEAR(w.skips.front(), 600010, 200);
    EXPECT_EQ(w.skips.back(), w.skips.front());
}

TEST(MemorySourceTest, PlaysTheLoadedFilesInTurnAndShowsEachOnesComment)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeRecord(dir.filePath("CR-1.dat"), series(2, 0, 10, {0x100}, 0), "one"));
    ASSERT_TRUE(writeAll(dir.filePath("CR-2.dat"), QByteArray("not a record file")));
    ASSERT_TRUE(writeRecord(dir.filePath("CR-3.dat"), series(2, 50, 10, {0x100}, 2), "three"));
    SourceWalk w;
    w.params.t_LogComment = QStringLiteral("before");
    w.play.t_RecPlay_FileType = 2;
    w.play.t_RecPlay_FilePath = dir.path();
    w.play.t_RecPlay_PlayMode_Repeat = 1;
    MemorySource source;
    EXPECT_EQ(w.walk(source, 6), frames(0, {0, 1}) + frames(2, {0, 1}) + frames(0, {0, 1}));
    EXPECT_EQ(w.play.FolderPlayMode_FN_Count, 2) << "the file that fails its check is left out";
    EXPECT_EQ(source.fileName(1), QStringLiteral("CR-3.dat"));
    EXPECT_EQ(w.params.t_LogComment, QStringLiteral("one")) << "slot 0 again after the wrap";
    EXPECT_EQ(w.play.FolderPlayMode_FN_Count_Now, 0);
}

} // namespace
