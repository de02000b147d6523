// Choosing the play target in the main window (drops, the browse dialog, the start-up
// restore), showing it, and the Repeat and Pause buttons outside a run.
#include "SettingsFile.h"
#include "WindowRun.h"
#include "free_port.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace playtest;

namespace {

const QString kNotValid = QStringLiteral("正しいファイル、もしくはフォルダではありません");

class TargetWindow : public PlaybackWindow
{
protected:
    QString name() const { return child<QLineEdit>("TB_Play_FileName")->text(); }
    QString folder() const { return child<QLineEdit>("TB_Play_FilePass")->text(); }
    int kind() const { return w->CanPlay.t_RecPlay_FileType; }
};

} // namespace

// ---- Drops ---------------------------------------------------------------------------------

class PlayTargetControls : public TargetWindow, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(PlayTargetControls, EachOfTheFiveControlsTakesADroppedRecordFile)
{
    const int port = freeTestPort();
    static const QStringList controls = {"GB_PlayFile", "Lb_PlayFile", "TB_Play_FileName",
                                         "TB_Play_FilePass", "Bt_OpenPlayFile"};
    ASSERT_TRUE(bringUp(port + int(controls.indexOf(GetParam()))));
    ASSERT_TRUE(writeRecord(files.filePath("CR15120713-001.dat"), series(1, 0, 1, {1})));
    dropPaths(GetParam(), {files.filePath("CR15120713-001.dat")});
    EXPECT_EQ(kind(), 1);
    EXPECT_EQ(name(), "CR15120713-001.dat");
    EXPECT_EQ(folder(), files.path());
    EXPECT_EQ(w->CanPlay.t_RecPlay_FilePath, files.path());
    EXPECT_TRUE(messages.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Controls, PlayTargetControls,
                         ::testing::Values("GB_PlayFile", "Lb_PlayFile", "TB_Play_FileName",
                                           "TB_Play_FilePass", "Bt_OpenPlayFile"));

struct DropRow
{
    const char *name;
    // Makes the drop in the folder given; returns it.
    std::function<QMimeData *(const QString &dir)> data;
    int kind;
    QString shownName;   // "" with kind 0
    bool rejected;       // the message is shown
};

void PrintTo(const DropRow &row, std::ostream *os)
{
    *os << row.name;
}

class PlayTargetDrops : public TargetWindow, public ::testing::WithParamInterface<DropRow>
{
};

TEST_P(PlayTargetDrops, AreValidatedAndShown)
{
    const DropRow &row = GetParam();
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(port));
    ASSERT_TRUE(writeRecord(files.filePath("good.dat"), series(1, 0, 1, {1})));
    ASSERT_TRUE(writeRecord(files.filePath("other.dat"), series(1, 0, 1, {2})));
    ASSERT_TRUE(writeRecord(files.filePath("CAPS.DAT"), series(1, 0, 1, {1})));
    ASSERT_TRUE(writeRecord(files.filePath("long.data"), series(1, 0, 1, {1})));
    ASSERT_TRUE(writeAll(files.filePath("short.dat"), "not a record file"));
    ASSERT_TRUE(QDir(files.path()).mkdir("sub"));
    // A target chosen before, which a rejected drop must clear.
    w->CanPlay.get_PlayFilePath_DB_Main(files.filePath("other.dat"), w->device);
    ASSERT_EQ(kind(), 1);

    dropOn("GB_PlayFile", row.data(files.path()));
    EXPECT_EQ(kind(), row.kind);
    if (row.kind == 2)
        EXPECT_EQ(name(), QStringLiteral("■フォルダ再生モード"));
    else
        EXPECT_EQ(name(), row.shownName);
    if (row.rejected) {
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, kNotValid);
        EXPECT_EQ(messages.messages[0].icon, MsgIcon::Information);
        EXPECT_EQ(messages.messages[0].title, w->device.Application_title);
        EXPECT_TRUE(folder().isEmpty());
        EXPECT_TRUE(w->CanPlay.t_RecPlay_FileName.isEmpty());
    } else {
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_FALSE(folder().endsWith('/'));
        EXPECT_EQ(folder(), w->CanPlay.t_RecPlay_FilePath);
    }
}

namespace {
QMimeData *urls(const QList<QUrl> &list)
{
    auto *d = new QMimeData;
    d->setUrls(list);
    return d;
}
QUrl local(const QString &dir, const char *name)
{
    return QUrl::fromLocalFile(dir + "/" + name);
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayTargetDrops,
    ::testing::Values(
        DropRow{"RecordFile", [](const QString &d) { return urls({local(d, "good.dat")}); },
                1, "good.dat", false},
        DropRow{"SeveralFilesUseTheFirst", [](const QString &d) {
                    return urls({local(d, "good.dat"), local(d, "short.dat")});
                },
                1, "good.dat", false},
        DropRow{"Folder", [](const QString &d) { return urls({QUrl::fromLocalFile(d)}); },
                2, "", false},
        DropRow{"FolderWithTrailingSeparator", [](const QString &d) { return urls({QUrl::fromLocalFile(d + "/sub/")}); }, 2, "",
                false},
        // A path that does not exist is taken as a folder.
        DropRow{"NothingThere", [](const QString &d) { return urls({local(d, "gone")}); },
                2, "", false},
        DropRow{"CapitalExtension", [](const QString &d) { return urls({local(d, "CAPS.DAT")}); }, 0, "", true},
        DropRow{"LongerExtension", [](const QString &d) { return urls({local(d, "long.data")}); }, 0, "", true},
        DropRow{"NotARecordFile", [](const QString &d) { return urls({local(d, "short.dat")}); }, 0, "", true},
        DropRow{"TextOnly", [](const QString &) {
                    auto *t = new QMimeData;
                    t->setText("good.dat");
                    return t;
                },
                0, "", true},
        DropRow{"NotALocalFile", [](const QString &d) {
                    return urls({QUrl("https://example.com/good.dat"), local(d, "good.dat")});
                },
                0, "", true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TargetWindow, ARejectedFileStillLeavesItsFolderAsTheStoredPath)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(port));
    ASSERT_TRUE(writeAll(files.filePath("short.dat"), "x"));
    dropPaths("TB_Play_FilePass", {files.filePath("short.dat")});
    EXPECT_EQ(kind(), 0);
    EXPECT_EQ(w->CanPlay.t_RecPlay_FilePath, files.path());
    EXPECT_TRUE(folder().isEmpty());
}

// ---- The browse dialog ---------------------------------------------------------------------

TEST_F(TargetWindow, AFileChosenInTheDialogGivesTheSameTargetAsTheSameFileDropped)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(port));
    ASSERT_TRUE(writeRecord(files.filePath("same.dat"), series(1, 0, 1, {1})));
    dropPaths("Lb_PlayFile", {files.filePath("same.dat")});
    const ::PlayTarget byDrop = w->CanPlay;
    w->CanPlay.Param_ALL_Clear();
    setBrowseFileOrFolderForTesting([&](QWidget *) { return files.filePath("same.dat"); });
    click("Bt_OpenPlayFile");
    EXPECT_EQ(w->CanPlay.t_RecPlay_FileType, byDrop.t_RecPlay_FileType);
    EXPECT_EQ(w->CanPlay.t_RecPlay_FilePath, byDrop.t_RecPlay_FilePath);
    EXPECT_EQ(w->CanPlay.t_RecPlay_FileName, byDrop.t_RecPlay_FileName);
    EXPECT_EQ(name(), "same.dat");
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(TargetWindow, ACancelledDialogChangesNothing)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(port));
    ASSERT_TRUE(writeRecord(files.filePath("keep.dat"), series(1, 0, 1, {1})));
    dropPaths("GB_PlayFile", {files.filePath("keep.dat")});
    setBrowseFileOrFolderForTesting([](QWidget *) { return QString(); });
    click("Bt_OpenPlayFile");
    EXPECT_EQ(kind(), 1);
    EXPECT_EQ(name(), "keep.dat");
    EXPECT_TRUE(messages.messages.empty());
}

// The real dialog: a file and a folder can both be chosen with it.
class PlayTargetRealDialog : public TargetWindow, public ::testing::WithParamInterface<bool>
{
};

TEST_P(PlayTargetRealDialog, TakesAFileOrAFolder)
{
    const bool chooseFile = GetParam();
    ASSERT_TRUE(bringUp(freeTestPort()));
    ASSERT_TRUE(writeRecord(files.filePath("pick.dat"), series(1, 0, 1, {1})));
    ASSERT_TRUE(QDir(files.path()).mkdir("folder"));
    const QString pick = chooseFile ? files.filePath("pick.dat") : files.filePath("folder");
    bool seen = false;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        answer.stop();
        seen = true;
        // As a user picks it: open its folder, click it in the list, then Open.
        dialog->setDirectory(files.path());
        auto *view = dialog->findChild<QListView *>("listView");
        ASSERT_NE(view, nullptr);
        auto *model = qobject_cast<QFileSystemModel *>(view->model());
        ASSERT_NE(model, nullptr);
        QModelIndex index;
        waitUntil([&] {
            index = model->index(pick);
            return index.isValid() && model->rowCount(index.parent()) >= 2;
        });
        ASSERT_TRUE(index.isValid());
        view->setCurrentIndex(index);
        waitUntil([] { return false; }, 100);
        auto *box = dialog->findChild<QDialogButtonBox *>("buttonBox");
        ASSERT_NE(box, nullptr);
        QPushButton *open = box->button(QDialogButtonBox::Open);
        ASSERT_NE(open, nullptr);
        open->click();
    });
    answer.start();
    QTimer::singleShot(10000, [] {
        if (QWidget *d = QApplication::activeModalWidget())
            d->close();
    });
    click("Bt_OpenPlayFile");
    ASSERT_TRUE(seen);
    EXPECT_EQ(kind(), chooseFile ? 1 : 2) << w->CanPlay.t_RecPlay_FilePath.toStdString();
    EXPECT_EQ(w->CanPlay.t_RecPlay_FilePath, chooseFile ? files.path() : files.filePath("folder"));
    EXPECT_EQ(name(), chooseFile ? QString("pick.dat") : QStringLiteral("■フォルダ再生モード"));
}

INSTANTIATE_TEST_SUITE_P(Choice, PlayTargetRealDialog, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "File" : "Folder"; });

// ---- Restored at start-up ------------------------------------------------------------------

struct RestoreRow
{
    const char *name;
    int kind;
    const char *file;      // under the files folder
    const char *folder;    // relative to the files folder ("" = itself)
    bool keep;
};

void PrintTo(const RestoreRow &row, std::ostream *os)
{
    *os << row.name;
}

class PlayTargetRestore : public TargetWindow, public ::testing::WithParamInterface<RestoreRow>
{
};

TEST_P(PlayTargetRestore, KeepsOnlyATargetThatIsStillValidAndSaysNothing)
{
    const RestoreRow &row = GetParam();
    const int port = freeTestPort();
    ASSERT_TRUE(writeRecord(files.filePath("kept.dat"), series(1, 0, 1, {1})));
    ASSERT_TRUE(writeAll(files.filePath("spoilt.dat"), "x"));
    ELM327_Info params;
    ::PlayTarget saved;
    saved.t_RecPlay_FileType = row.kind;
    saved.t_RecPlay_FilePath =
        QString(row.folder).isEmpty() ? files.path() : files.filePath(row.folder);
    saved.t_RecPlay_FileName = row.file;
    ASSERT_EQ(SaveSettingsFile(params, saved), 0);

    ASSERT_TRUE(bringUp(port));
    EXPECT_EQ(w->SettingFileOpenFlag, 1);
    EXPECT_TRUE(messages.messages.empty());
    if (!row.keep) {
        EXPECT_EQ(kind(), 0);
        EXPECT_TRUE(w->CanPlay.t_RecPlay_FilePath.isEmpty());
        EXPECT_TRUE(name().isEmpty());
        EXPECT_TRUE(folder().isEmpty());
        return;
    }
    EXPECT_EQ(kind(), row.kind);
    EXPECT_EQ(folder(), saved.t_RecPlay_FilePath);
    EXPECT_EQ(name(), row.kind == 1 ? QString(row.file) : QStringLiteral("■フォルダ再生モード"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlayTargetRestore,
    ::testing::Values(RestoreRow{"ValidFile", 1, "kept.dat", "", true},
                      RestoreRow{"FileThatFailsTheCheck", 1, "spoilt.dat", "", false},
                      RestoreRow{"FileGone", 1, "gone.dat", "", false},
                      RestoreRow{"FileWithoutName", 1, "", "", false},
                      RestoreRow{"Folder", 2, "", "", true},
                      RestoreRow{"FolderGone", 2, "", "gone", false},
                      RestoreRow{"UnknownKind", 7, "kept.dat", "", false}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- Repeat, Pause and Connect outside a run -------------------------------------------------

TEST_F(TargetWindow, RepeatTogglesTheSettingAndItsPictureWhileIdle)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(port));
    ASSERT_EQ(w->ButtonState()[7], 1);
    click("Bt_Repeat");
    EXPECT_EQ(w->ButtonState()[7], 2);
    EXPECT_EQ(w->CanPlay.t_RecPlay_PlayMode_Repeat, 1);
    EXPECT_EQ(button("Bt_Repeat")->property("buttonState").toInt(), 2);
    EXPECT_EQ(Form1::buttonPicture(7, 2), ":/buttons/308.png");
    click("Bt_Repeat");
    EXPECT_EQ(w->ButtonState()[7], 1);
    EXPECT_EQ(w->CanPlay.t_RecPlay_PlayMode_Repeat, 0);
    // A button in state 0 ignores the click.
    w->SetButtonStates(0, 0, 0, 0, 0, 0, 0, 0);
    click("Bt_Repeat");
    EXPECT_EQ(w->ButtonState()[7], 0);
    EXPECT_EQ(w->CanPlay.t_RecPlay_PlayMode_Repeat, 0);
}

TEST_F(TargetWindow, PauseDoesNothingWhileIdle)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(port));
    click("Bt_Pause");
    EXPECT_EQ(w->ButtonState()[3], 0);
    EXPECT_EQ(w->CanPlay.Pause_ON_Flag, 0);
    EXPECT_FALSE(w->timerBattReadEnabled());
}

TEST_F(TargetWindow, PicturesFollowEveryState)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(port));
    w->SetButtonStates(2, 1, 0, 2, 1, 0, 2, 1);
    const std::array<int, 8> expected{2, 1, 0, 2, 1, 0, 2, 1};
    static const char *const names[8] = {"Bt_Connect", "Bt_Rec", "Bt_Disconnect", "Bt_Pause",
                                          "Bt_Head", "Bt_Rewind", "Bt_FF", "Bt_Repeat"};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(button(names[k])->property("buttonState").toInt(), expected[size_t(k)]);
        const int base = expected[size_t(k)] == 2 ? 300 : expected[size_t(k)] == 1 ? 400 : 500;
        EXPECT_EQ(Form1::buttonPicture(k, expected[size_t(k)]),
                  QStringLiteral(":/buttons/%1.png").arg(base + k + 1));
        EXPECT_FALSE(QIcon(Form1::buttonPicture(k, expected[size_t(k)])).isNull());
    }
}

TEST_F(TargetWindow, ConnectWithoutATargetAsksForOneAndReturnsToIdle)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(port));
    ASSERT_EQ(kind(), 0);
    click("Bt_Repeat");   // repeat on survives the refused run
    w->Bt_Connect_Click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QStringLiteral("再生するファイルもしくはフォルダを\r\n選択してください"));
    EXPECT_EQ(messages.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(states(), (std::array<int, 8>{1, 1, 0, 0, 0, 0, 0, 2}));
    EXPECT_EQ(w->CanPlay.PlayMode, 0);
    EXPECT_EQ(w->RxFlag, 0);
    EXPECT_TRUE(child<QGroupBox>("GB_PlayFile")->acceptDrops());
}

TEST_F(TargetWindow, DropsAreRefusedDuringARun)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(port));
    ASSERT_TRUE(writeRecord(files.filePath("a.dat"), series(3, 0, 300, {1})));
    ASSERT_TRUE(writeRecord(files.filePath("b.dat"), series(1, 0, 1, {2})));
    w->CanPlay.get_PlayFilePath_DB_Main(files.filePath("a.dat"), w->device);
    bool dropped = false;
    ASSERT_TRUE(play([&] {
        if (!dropped && w->CanPlay.PlayDAT_count >= 1) {
            dropped = true;
            for (const char *c : {"GB_PlayFile", "Lb_PlayFile", "TB_Play_FileName",
                                  "TB_Play_FilePass", "Bt_OpenPlayFile"})
                dropPaths(c, {files.filePath("b.dat")});
        }
    }));
    EXPECT_TRUE(dropped);
    EXPECT_EQ(w->CanPlay.t_RecPlay_FileName, "a.dat");
    EXPECT_TRUE(messages.messages.empty());
}
