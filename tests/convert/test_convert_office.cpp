// Against a real LibreOffice: the written .xls read by an independent reader (xlrd),
// the way back, the dialog on a folder, foreign workbooks, and an office that hangs.
#include "ConvertFixtures.h"
#include "FormFileChanger.h"
#include "OfficeModule.h"

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>

#include <csignal>
#include <gtest/gtest.h>

namespace {

bool officeMissing(QString *why)
{
    return !office::isUsable(why);
}

#define SKIP_WITHOUT_OFFICE()                                                     \
    do {                                                                          \
        QString why;                                                              \
        if (officeMissing(&why))                                                  \
            GTEST_SKIP() << "LibreOffice is not installed: " << why.toStdString(); \
    } while (0)

class ConvertOffice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        params.ExcelInstallCheck = 1;
        params.t_CF_Save_Path_mode = 2;
        params.t_CF_Save_Path = dir.path();
    }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    ELM327_Info params;
};

} // namespace

TEST_F(ConvertOffice, WorkbookLayoutReadByXlrdAndBack)
{
    SKIP_WITHOUT_OFFICE();
    office::Started office = office::start();
    ASSERT_TRUE(office.server) << office.error.toStdString();
    ASSERT_TRUE(writeRecord(path("known.dat"), knownFrames(), QStringLiteral("試験 comment")));
    Excel_OutputDB engine;
    ASSERT_EQ(engine.CF_DAT_FileDataLoad(params, path("known.dat")), 0);
    ASSERT_EQ(engine.Excel_DataOutput(params, office.server.get(), QStringLiteral("known")), 0)
        << engine.lastError().toStdString();

    QProcess xlrd;
    xlrd.start(QStringLiteral("/usr/bin/python3"),
               {QStringLiteral(CHECK_XLS_SCRIPT), path("known.xls"), params.Application_title,
                params.Homepage_URL, params.Copy_light});
    ASSERT_TRUE(xlrd.waitForFinished(60000));
    EXPECT_EQ(xlrd.exitCode(), 0) << xlrd.readAllStandardOutput().toStdString()
                                  << xlrd.readAllStandardError().toStdString();

    Excel_OutputDB back;
    ASSERT_EQ(back.CF_XLS_FileDataLoad(params, office.server.get(), path("known.xls")), 0)
        << back.lastError().toStdString();
    EXPECT_TRUE(sameFrames(back.frames(), knownFrames()));
    EXPECT_EQ(back.recordComment(), QStringLiteral("試験 comment"));
    office.server->quit();
}

TEST_F(ConvertOffice, DialogFoldersForeignWorkbooksAndAHang)
{
    SKIP_WITHOUT_OFFICE();
    QTemporaryDir records;
    for (const char *n : {"r1.dat", "r2.dat", "r3.dat"})
        ASSERT_TRUE(writeRecord(records.filePath(n), knownFrames(), QStringLiteral("c")));
    QTextEdit view;
    FormFileChanger dialog(params, &view, {}, nullptr);
    dialog.show();
    auto lines = [&] {
        QStringList l = view.toPlainText().split(QLatin1Char('\n'));
        l.removeAll(QString());
        return l;
    };
    dialog.sourceDropped({records.path()});
    dialog.Bt_Change_Click();
    EXPECT_EQ(lines(), (QStringList{"変換処理を開始します... ", "フォルダ変換モード(dat -> xls)... ",
                                    "3個のファイルを抽出します ", "1番目のファイル r1.dat を抽出... ",
                                    "2番目のファイル r2.dat を抽出... ", "3番目のファイル r3.dat を抽出... ",
                                    "変換が終了しました。"}));

    // A workbook of the sibling viewer beside ours: skipped unless the option is on.
    QFile::copy(path("r2.xls"), path("zz.xls"));
    {
        office::Started office = office::start();
        ASSERT_TRUE(office.server);
        Excel_OutputDB engine;
        ASSERT_EQ(engine.CF_DAT_FileDataLoad(params, records.filePath("r1.dat")), 0);
        ELM327_Info sibling = params;
        sibling.Application_title = QStringLiteral("ヴィストバス Ver2.00");
        ASSERT_EQ(engine.Excel_DataOutput(sibling, office.server.get(), QStringLiteral("zz")), 0);
    }
    params.t_CF_Vistbus_Txt = QStringLiteral("ヴィストバス");
    dialog.sourceDropped({dir.path()});
    dialog.findChild<QWidget *>("RB_ChangeMode_1")->setProperty("checked", true);
    QTemporaryDir back;
    params.t_CF_Save_Path = back.path();
    dialog.Bt_Change_Click();
    EXPECT_EQ(lines().mid(2), (QStringList{"4個のファイルを抽出します ", "1番目のファイル r1.xls を抽出... ",
                                           "2番目のファイル r2.xls を抽出... ", "3番目のファイル r3.xls を抽出... ",
                                           "4番目のファイル zz.xls を抽出... ", " 処理をスキップします",
                                           "処理を終了しました。"}));
    Excel_OutputDB reread;
    ASSERT_EQ(reread.CF_DAT_FileDataLoad(params, back.filePath("r3.dat")), 0);
    EXPECT_TRUE(sameFrames(reread.frames(), knownFrames()));
    EXPECT_EQ(reread.recordComment(), QStringLiteral("c"));
    dialog.findChild<QWidget *>("CB_Vistbus")->setProperty("checked", true);
    dialog.Bt_Change_Click();
    EXPECT_EQ(lines().last(), QStringLiteral("変換が終了しました。"));

    // An office that stops answering is killed after the call limit; the run ends.
    office::setCallLimitMs(3000);
    office::setServerFactoryForTesting([] {
        office::setServerFactoryForTesting({});
        office::Started s = office::start();
        if (s.server)
            ::kill(-pid_t(s.server->processId()), SIGSTOP);
        return s;
    });
    dialog.Bt_Change_Click();
    office::setCallLimitMs(60000);
    const QStringList log = lines();
    EXPECT_TRUE(log.join('|').contains("did not answer within 3 s")) << log.join('|').toStdString();
    EXPECT_EQ(log.last(), QStringLiteral("処理を中断しました。"));
}

TEST_F(ConvertOffice, EveryClosingLine)
{
    SKIP_WITHOUT_OFFICE();
    QTemporaryDir src, empty;
    ASSERT_TRUE(writeAll(src.filePath("a.txt"), "x"));
    ASSERT_TRUE(writeAll(src.filePath("bad.xls"), "not a workbook"));
    ASSERT_TRUE(writeAll(src.filePath("bad.dat"), "not a record file"));
    for (const char *n : {"r1.dat", "r2.dat"})
        ASSERT_TRUE(writeRecord(src.filePath(n), knownFrames(), QStringLiteral("c")));
    QTextEdit view;
    FormFileChanger dialog(params, &view, {}, nullptr);
    dialog.show();
    struct Case { QString drop; int mode; bool cancel; QStringList closing; };
    const QString stopped = QStringLiteral("処理を中断しました。");
    const Case cases[] = {
        {src.filePath("a.txt"), 1, false, {"読み込むファイル、もしくはフォルダを指定して下さい", stopped}},
        {src.filePath("bad.xls"), 1, false, {"ファイルの形式が間違っています。"}},
        {src.filePath("bad.dat"), 1, false, {"ファイルが読み込めません", stopped}},
        {src.filePath("bad.xls"), 2, false, {"処理を終了しました。"}},
        {empty.path(), 1, false, {"フォルダ内に有効なファイルが１つもありません", stopped}},
        {src.path(), 1, true, {"1番目のファイル r1.dat を抽出... ", "変換を中断しました。"}},
        {src.filePath("r1.dat"), 1, false, {"変換が終了しました。"}},
    };
    for (const Case &c : cases) {
        dialog.sourceDropped({c.drop});
        dialog.findChild<QWidget *>(c.mode == 2 ? "RB_ChangeMode_1" : "RB_ChangeMode_0")
            ->setProperty("checked", true);
        if (c.cancel)
            QTimer::singleShot(0, &dialog, [&] { dialog.Bt_Cancel_Click(); });
        dialog.Bt_Change_Click();
        QStringList log = view.toPlainText().split(QLatin1Char('\n'));
        log.removeAll(QString());
        EXPECT_EQ(log.mid(log.size() - c.closing.size()), c.closing) << c.drop.toStdString();
    }
    // The destination has gone: no closing line at all.
    params.t_CF_Save_Path_mode = 2;
    params.t_CF_Save_Path = dir.filePath("gone");
    dialog.Bt_Change_Click();
    EXPECT_EQ(view.toPlainText().trimmed(), QStringLiteral("変換処理を開始します..."));
}

TEST_F(ConvertOffice, WorkbookRetypedByAPersonReadsBackTheSameFrames)
{
    SKIP_WITHOUT_OFFICE();
    // Calc turns what is typed into numbers where it can, as a person editing the
    // workbook would leave it: time 12.5, identifier 005 → 5, bytes 00 → 0, DLC 3.
    const QByteArray csv = "\n\n\n\n\nheaders\n"
                           "0,7FF,8,00,0A,1E,99,FF,10,05,80\n"
                           "12.5,005,3,12,34,56\n"
                           "1234.5,100,0\n"
                           "3600000.25,12345678,2,AB,CD\n";
    ASSERT_TRUE(writeAll(path("typed.csv"), csv));
    office::Started office = office::start();
    ASSERT_TRUE(office.server) << office.error.toStdString();
    {
        auto book = office.server->openBook(path("typed.csv"));
        EXPECT_EQ(book->readRange({7, 1, 7, 1}).at(0).at(0), SheetCell::fromNumber(5));
        book->setText(0, 0, params.Application_title);
        book->setText(1, 0, params.Homepage_URL);
        book->setText(0, 2, params.Copy_light);
        book->setText(3, 0, QStringLiteral("retyped"));
        book->saveAs(path("typed.xls"));
    }
    Excel_OutputDB engine;
    ASSERT_EQ(engine.CF_XLS_FileDataLoad(params, office.server.get(), path("typed.xls")), 0)
        << engine.lastError().toStdString();
    FrameBuffer expected = knownFrames();
    expected[4] = RecordFrame{};
    EXPECT_TRUE(sameFrames(engine.frames(), expected));
    EXPECT_EQ(engine.recordComment(), QStringLiteral("retyped"));
}

// Identifiers that Calc's CSV import turned into numbers in exponent format come back as
// typed; a "0E5" (0 whatever the exponent) is named with its row and the rest is kept.
TEST_F(ConvertOffice, IdentifiersCalcTookForExponentsComeBackAsTyped)
{
    SKIP_WITHOUT_OFFICE();
    const QByteArray csv = "\n\n\n\n\nheaders\n"
                           "0,1E1,1,01\n"
                           "1,2E2,1,02\n"
                           "2,0E5,1,03\n"
                           "3,7E2,1,04\n"
                           "4,3E0,1,05\n"
                           "5,0E9,1,06\n"
                           "6,100,1,07,99\n";
    ASSERT_TRUE(writeAll(path("exp.csv"), csv));
    // Calc's own CSV import, with special numbers detected as its import dialog offers:
    // "1E1" becomes the number 10 shown as 1.00E+01.
    QProcess import;
    import.start(QStringLiteral("soffice"),
                 {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(path("profile")).toString(),
                  QStringLiteral("--headless"), QStringLiteral("--infilter=CSV:44,34,76,1,,1041,false,true"),
                  QStringLiteral("--convert-to"), QStringLiteral("ods"), QStringLiteral("--outdir"),
                  dir.path(), path("exp.csv")});
    ASSERT_TRUE(import.waitForFinished(120000));
    ASSERT_TRUE(QFile::exists(path("exp.ods"))) << import.readAllStandardError().toStdString();
    {
        office::Started office = office::start();
        ASSERT_TRUE(office.server) << office.error.toStdString();
        auto book = office.server->openBook(path("exp.ods"));
        EXPECT_EQ(book->readRange({6, 1, 6, 1}).at(0).at(0), SheetCell::fromNumber(10, true));
        EXPECT_EQ(book->cellText(6, 1), QStringLiteral("1.00E+01"));
        book->setText(0, 0, params.Application_title);
        book->setText(1, 0, params.Homepage_URL);
        book->setText(0, 2, params.Copy_light);
        book->saveAs(path("exp.xls"));
        book->close();
        office.server->quit();
    }
    QTextEdit view;
    params.t_CF_mode = 2;
    FormFileChanger dialog(params, &view, {}, nullptr);
    dialog.show();
    dialog.sourceDropped({path("exp.xls")});
    dialog.Bt_Change_Click();
    QStringList log = view.toPlainText().split(QLatin1Char('\n'));
    log.removeAll(QString());
    EXPECT_EQ(log.mid(2), (QStringList{" ERR:ファイルデータが無効です 2メッセージ目",
                                       " ERR:ファイルデータが無効です 5メッセージ目",
                                       "  DLC より後ろのデータを書き込みませんでした: 1メッセージ (最初は 6メッセージ目)",
                                       "処理を終了しました。"}));
    Excel_OutputDB back;
    ASSERT_EQ(back.CF_DAT_FileDataLoad(params, path("exp.dat")), 0);
    std::vector<int32_t> ids;
    for (int i = 0; i < back.frames().frameCount(); ++i)
        ids.push_back(back.frames()[i].identifier);
    EXPECT_EQ(ids, (std::vector<int32_t>{0x1E1, 0x2E2, 0x7E2, 0x3E0, 0x100}));
    EXPECT_EQ(back.frames()[4].data[0], 0x07);
}
