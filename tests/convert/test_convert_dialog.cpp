#include "BrowseFileOrFolder.h"
#include "ConvertFixtures.h"
#include "FakeSpreadsheet.h"
#include "FormFileChanger.h"
#include "HookGuard.h"
#include "KeyPresses.h"
#include "WidgetHelpers.h"
#include "OfficeModule.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QUrl>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>


// The dialog with the in-memory office; every log line and closing line.
class ConvertDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        office::setServerFactoryForTesting([this] {
            office::Started s;
            auto fake = std::make_unique<FakeServer>();
            fake->onSave = onSave;
            fake->alive = !deadOffice;
            fake->onQuit = [this] { ++quits; };
            server = fake.get();
            s.server = std::move(fake);
            return s;
        });
        params.ExcelInstallCheck = 1;
        params.t_CF_Save_Path_mode = 2;
        params.t_CF_Save_Path = out.path();
        dialog = std::make_unique<FormFileChanger>(params, &view,
                                                   [this](bool on) { mainEnabled = on; }, nullptr);
        dialog->show();
    }
    void TearDown() override { office::setServerFactoryForTesting({}); }

    QStringList lines() const
    {
        QStringList l = view.toPlainText().split(QLatin1Char('\n'));
        l.removeAll(QString());
        return l;
    }
    QString src(const char *name) const { return in.filePath(QLatin1String(name)); }
    QStringList run()
    {
        dialog->Bt_Change_Click();
        return lines();
    }
    void threeRecords()
    {
        for (const char *n : {"r1.dat", "r2.dat", "r3.dat"})
            ASSERT_TRUE(writeRecord(src(n), knownFrames(), QStringLiteral("c")));
        dialog->sourceDropped({in.path()});
    }

    QTemporaryDir in, out;
    ELM327_Info params;
    QTextEdit view;
    bool mainEnabled = true;
    bool deadOffice = false;
    int quits = 0;
    FakeServer *server = nullptr;
    std::function<void(const QString &)> onSave;
    std::unique_ptr<FormFileChanger> dialog;
};

static const QString kStart = QStringLiteral("変換処理を開始します... ");

TEST_F(ConvertDialog, SourceChecksAndClosingLines)
{
    ASSERT_TRUE(writeAll(src("a.txt"), "x"));
    ASSERT_TRUE(writeAll(src("a.xls"), "x"));
    ASSERT_TRUE(writeRecord(src("a.dat"), FrameBuffer(), QString()));
    struct Case { const char *drop; int mode; QStringList log; };
    const Case cases[] = {
        {"a.txt", 1, {kStart, "読み込むファイル、もしくはフォルダを指定して下さい", "処理を中断しました。"}},
        {"a.xls", 1, {kStart, "ファイルの形式が間違っています。"}},
        {"a.dat", 1, {kStart, "ファイル変換モード(dat -> xls)... ", " ERR:ファイルデータが無効です ",
                      "ファイルが読み込めません", "処理を中断しました。"}},
        {"a.xls", 2, {kStart, "ファイル変換モード(xls -> dat)... ", " ERR:ファイルが読めません",
                      "  読み込めなかった理由: not a workbook", "処理を終了しました。"}},
    };
    for (const Case &c : cases) {
        dialog->sourceDropped({src(c.drop)});
        dialog->findChild<QWidget *>(c.mode == 2 ? "RB_ChangeMode_1" : "RB_ChangeMode_0")
            ->setProperty("checked", true);
        EXPECT_EQ(run(), c.log) << c.drop;
    }
    // The destination folder has gone: the run ends without a closing line.
    params.t_CF_Save_Path = out.filePath("gone");
    dialog->findChild<QWidget *>("RB_ChangeMode_0")->setProperty("checked", true);
    dialog->sourceDropped({src("a.dat")});
    EXPECT_EQ(run(), QStringList{kStart});
}

TEST_F(ConvertDialog, FolderOfThreeBothWays)
{
    threeRecords();
    EXPECT_EQ(dialog->findChild<QLineEdit *>("TB_Play_FileName")->text(), QStringLiteral("▼フォルダ取込"));
    const QStringList expected = {kStart, "フォルダ変換モード(dat -> xls)... ", "3個のファイルを抽出します ",
                                  "1番目のファイル r1.dat を抽出... ", "2番目のファイル r2.dat を抽出... ",
                                  "3番目のファイル r3.dat を抽出... ", "変換が終了しました。"};
    EXPECT_EQ(run(), expected);
    for (const char *n : {"r1.xls", "r2.xls", "r3.xls"})
        EXPECT_TRUE(QFile::exists(out.filePath(n))) << n;
}

TEST_F(ConvertDialog, CancelAndCloseBetweenFiles)
{
    threeRecords();
    onSave = [this](const QString &) { dialog->findChild<QPushButton *>("Bt_Cancel")->click(); };
    QStringList log = run();
    EXPECT_EQ(log.mid(3), (QStringList{"1番目のファイル r1.dat を抽出... ", "変換を中断しました。"}));
    EXPECT_TRUE(dialog->findChild<QPushButton *>("Bt_Change")->isEnabled());

    // Closing in the middle stops after the file, shuts the office down, then closes.
    onSave = [this](const QString &) { dialog->close(); };
    log = run();
    EXPECT_EQ(log.mid(3), (QStringList{"1番目のファイル r1.dat を抽出... ", "変換を中断しました。"}));
    EXPECT_EQ(quits, 2);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(mainEnabled);
}

TEST_F(ConvertDialog, OfficeMissingOrLost)
{
    params.ExcelInstallCheck = 0;
    dialog->read_setting();
    EXPECT_FALSE(dialog->findChild<QPushButton *>("Bt_Change")->isEnabled());
    EXPECT_EQ(dialog->findChild<QLineEdit *>("TB_Excel_Status")->text(), QStringLiteral(" NG"));
    EXPECT_FALSE(mainEnabled);

    params.ExcelInstallCheck = 1;
    threeRecords();
    deadOffice = true;
    const QStringList log = run();
    // The logged line stays as it is; what the office said follows on a line of its own.
    EXPECT_EQ(log.mid(3, 3), (QStringList{"1番目のファイル r1.dat を抽出... ",
                                          " ERR:変換ファイル 書込エラー",
                                          "  書き込めなかった理由: the fake office has died"}));
    EXPECT_EQ(log.last(), QStringLiteral("処理を中断しました。"));
}

TEST_F(ConvertDialog, RememberedSourceAndChoices)
{
    params.t_CF_Load_FileType = 1;
    params.t_CF_Load_Path = in.path();
    params.t_CF_Load_Name = QStringLiteral("vanished.dat");
    params.t_CF_mode = 2;
    params.t_CF_Save_Path_mode = 1;
    dialog->read_setting();
    EXPECT_EQ(params.t_CF_Load_FileType, 0);
    EXPECT_TRUE(params.t_CF_Load_Path.isEmpty());
    // Real drops: on a source target and on a destination target.
    ASSERT_TRUE(writeRecord(src("d.dat"), knownFrames(), QString()));
    auto drop = [&](const char *target, const QString &path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QWidget *w = dialog->findChild<QWidget *>(target);
        QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &enter);
        QDropEvent event(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &event);
    };
    drop("Img_ChangeFile_folder", src("d.dat"));
    EXPECT_EQ(params.t_CF_Load_FileType, 1);
    EXPECT_EQ(params.t_CF_Load_Name, QStringLiteral("d.dat"));
    EXPECT_EQ(dialog->findChild<QLineEdit *>("TB_ChangeFilePath_0")->text(), in.path());
    drop("Frame2_1", src("d.dat"));
    EXPECT_EQ(params.t_CF_Save_Path, in.path());
    EXPECT_EQ(dialog->findChild<QLineEdit *>("TB_ChangeFilePath_1")->text(), in.path());
    dialog->destinationDropped({src("x")});
    EXPECT_EQ(params.t_CF_Save_Path, src("x"));
    dialog->findChild<QWidget *>("CB_Vistbus")->setProperty("checked", true);
    dialog->close();
    EXPECT_TRUE(mainEnabled);
    EXPECT_EQ(params.t_CF_mode, 2);
    EXPECT_EQ(params.t_CF_Save_Path_mode, 1);
    EXPECT_EQ(params.t_CF_Vistbus_On, 1);
}

// A click on the source picture or box offers the file-or-folder chooser, on the
// destination picture or box a folder chooser; what is chosen counts as a drop.
TEST_F(ConvertDialog, ClicksOpenChoosers)
{
    ASSERT_TRUE(writeRecord(src("c.dat"), knownFrames(), QString()));
    QString answer;
    int asked = 0;
    HookGuard chooser(&setBrowseFileOrFolderForTesting,
                      std::function<QString(QWidget *)>([&](QWidget *) {
                          ++asked;
                          return answer;
                      }));
    answer = src("c.dat");
    click(dialog.get(), "Img_ChangeFile_folder");
    EXPECT_EQ(params.t_CF_Load_FileType, 1);
    EXPECT_EQ(params.t_CF_Load_Name, "c.dat");
    answer = in.path();
    QTest::mouseClick(named<QLineEdit>(dialog.get(), "TB_ChangeFilePath_0"), Qt::LeftButton);
    EXPECT_EQ(params.t_CF_Load_FileType, 2);
    EXPECT_EQ(textOf(dialog.get(), "TB_Play_FileName"), QStringLiteral("▼フォルダ取込"));
    answer.clear();   // cancelled: the source stays
    click(dialog.get(), "Img_ChangeFile_folder_path_0");
    EXPECT_EQ(params.t_CF_Load_FileType, 2);
    EXPECT_EQ(asked, 3);

    QTemporaryDir first, second;
    for (const char *target : {"Img_ChangeFile_folder_path_1", "TB_ChangeFilePath_1"}) {
        const QTemporaryDir &chosen = QString(target).startsWith("TB") ? second : first;
        // The dialog itself is window-modal too: answer the chooser, not whatever is on top.
        QTimer::singleShot(50, [&] {
            auto *folders = dialog->findChild<QFileDialog *>();
            ASSERT_NE(folders, nullptr);
            folders->setDirectory(chosen.path());
            QMetaObject::invokeMethod(folders, "accept");
        });
        if (QString(target).startsWith("TB"))
            QTest::mouseClick(named<QLineEdit>(dialog.get(), target), Qt::LeftButton);
        else
            click(dialog.get(), target);
        EXPECT_EQ(params.t_CF_Save_Path, chosen.path()) << target;
        EXPECT_EQ(textOf(dialog.get(), "TB_ChangeFilePath_1"), chosen.path());
    }
}

// Keys alone: the dialog opens on the direction, the arrows turn it round, Tab reaches the
// source picture whose space bar opens the chooser, Enter converts and Esc closes.
TEST_F(ConvertDialog, KeyboardAlone)
{
    ASSERT_TRUE(writeRecord(src("k.dat"), knownFrames(), QString()));
    HookGuard chooser(&setBrowseFileOrFolderForTesting,
                      std::function<QString(QWidget *)>([&](QWidget *) { return src("k.dat"); }));
    dialog->close();
    params.t_CF_mode = 2;
    dialog->show();
    press(dialog.get(), {});
    ASSERT_NE(dialog->focusWidget(), nullptr);
    EXPECT_EQ(dialog->focusWidget()->objectName(), "RB_ChangeMode_1");
    press(dialog.get(), {Qt::Key_Up});
    EXPECT_TRUE(named<QAbstractButton>(dialog.get(), "RB_ChangeMode_0")->isChecked());
    press(dialog.get(), {Qt::Key_Tab});
    EXPECT_EQ(dialog->focusWidget()->objectName(), "Img_ChangeFile_folder");
    press(dialog.get(), {Qt::Key_Space});
    EXPECT_EQ(params.t_CF_Load_Name, "k.dat");
    press(dialog.get(), {Qt::Key_Return});
    EXPECT_EQ(lines().last(), QStringLiteral("変換が終了しました。"));
    EXPECT_TRUE(QFile::exists(out.filePath("k.xls")));
    press(dialog.get(), {Qt::Key_Escape});
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(params.t_CF_mode, 1);
}
