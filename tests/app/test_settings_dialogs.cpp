#include "Form1.h"
#include "FormCommonSetting.h"
#include "FormHelp.h"
#include "FormOption1.h"
#include "FormOptionLog1.h"
#include "WidgetHelpers.h"

#include "ELM327_Info.h"

#include <QAction>
#include <QCheckBox>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenuBar>
#include <QColorDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QMimeData>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

namespace {

using Getter = int32_t (ELM327_Info::*)(int16_t) const;

bool checked(const QWidget *w, const QString &name)
{
    auto *b = named<QAbstractButton>(w, name);
    return b && b->isChecked();
}

int checkedIndex(const QWidget *w, const QString &group, int count)
{
    int found = -1;
    for (int i = 0; i < count; ++i)
        if (checked(w, QStringLiteral("%1_%2").arg(group).arg(i)))
            found = i;
    return found;
}

// A dialog on a parameters object of its own, shown so that it reads its settings.
template <class Dialog>
struct Open
{
    ELM327_Info p;
    FormHelp help;
    std::unique_ptr<Dialog> dialog;

    QWidget *show()
    {
        dialog = std::make_unique<Dialog>(p, &help);
        dialog->show();
        return dialog.get();
    }
};

// ---- common settings ------------------------------------------------------------------

struct NumberRow
{
    const char *box;
    const char *typed;
    int32_t ELM327_Info::*param;
    int32_t stored;   // the default when the entry is refused
};

void PrintTo(const NumberRow &r, std::ostream *os)
{
    *os << r.box << " \"" << r.typed << '"';
}

class CommonNumbers : public ::testing::TestWithParam<NumberRow>
{
};

TEST_P(CommonNumbers, OkStoresAcceptedEntriesAndKeepsTheOldValueOtherwise)
{
    Open<FormCommonSetting> o;
    QWidget *w = o.show();
    setText(w, GetParam().box, QString::fromUtf8(GetParam().typed));
    click(w, "Bt_OK");
    EXPECT_EQ(o.p.*GetParam().param, GetParam().stored);
}

const NumberRow kNumbers[] = {
    {"TB_DataChangeColorTime", "0", &ELM327_Info::t_DataChangeColorTime, 60000},
    {"TB_DataChangeColorTime", "3601", &ELM327_Info::t_DataChangeColorTime, 60000},
    {"TB_DataChangeColorTime", "3600", &ELM327_Info::t_DataChangeColorTime, 3600000},
    {"TB_DataChangeColorTime", "0.5", &ELM327_Info::t_DataChangeColorTime, 500},
    {"TB_DataChangeColorTime", "", &ELM327_Info::t_DataChangeColorTime, 60000},
    {"TB_DataChangeColorTime", "1分", &ELM327_Info::t_DataChangeColorTime, 60000},
    {"TB_DataChangeColorTime", "１２", &ELM327_Info::t_DataChangeColorTime, 12000},
    {"TB_DataChangeColorTime", "0.0004", &ELM327_Info::t_DataChangeColorTime, 60000},
    {"TB_MsgLateColor_Time", "0", &ELM327_Info::t_MsgLateColor_Time, 60000},
    {"TB_MsgLateColor_Time", "3601", &ELM327_Info::t_MsgLateColor_Time, 60000},
    {"TB_MsgLateColor_Time", "3600", &ELM327_Info::t_MsgLateColor_Time, 3600000},
    {"TB_MsgLateColor_Time", " 1.25 ", &ELM327_Info::t_MsgLateColor_Time, 1250},
    {"TB_MsgLateColor_Ratio", "0", &ELM327_Info::t_MsgLateColor_Ratio, 30},
    {"TB_MsgLateColor_Ratio", "100", &ELM327_Info::t_MsgLateColor_Ratio, 100},
    {"TB_MsgLateColor_Ratio", "101", &ELM327_Info::t_MsgLateColor_Ratio, 30},
    {"TB_MsgLateColor_Ratio", "2.5", &ELM327_Info::t_MsgLateColor_Ratio, 2},
    {"TB_MsgLateColor_Ratio", "0.4", &ELM327_Info::t_MsgLateColor_Ratio, 30},
    {"TB_Msg_Blackout_Ratio", "149", &ELM327_Info::t_MsgBlackout_Ratio, 250},
    {"TB_Msg_Blackout_Ratio", "150", &ELM327_Info::t_MsgBlackout_Ratio, 150},
    {"TB_Msg_Blackout_Ratio", "10000", &ELM327_Info::t_MsgBlackout_Ratio, 10000},
    {"TB_Msg_Blackout_Ratio", "10001", &ELM327_Info::t_MsgBlackout_Ratio, 250},
    {"TB_SkipTimeParam", "29", &ELM327_Info::t_SkipTime_Value, 300},
    {"TB_SkipTimeParam", "30", &ELM327_Info::t_SkipTime_Value, 30},
    {"TB_SkipTimeParam", "100000", &ELM327_Info::t_SkipTime_Value, 100000},
    {"TB_SkipTimeParam", "100001", &ELM327_Info::t_SkipTime_Value, 300},
    {"TB_SkipTimeParam", "1e3", &ELM327_Info::t_SkipTime_Value, 1000},
    {"TB_SkipTimeParam", "1,000", &ELM327_Info::t_SkipTime_Value, 300},
};
INSTANTIATE_TEST_SUITE_P(Rows, CommonNumbers, ::testing::ValuesIn(kNumbers));

TEST(CommonSetting, ShowsTheParametersAndStoresButtonsAndBoxesOnOk)
{
    Open<FormCommonSetting> o;
    o.p.t_bitRate = 3;
    o.p.t_silent_mode = 1;
    o.p.t_DataChangeColorTime = 1500;
    o.p.t_MM_Mode = 1;
    o.p.t_MsgLateColorEnable = 0;
    QWidget *w = o.show();
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("CANケストローバ Ver1.01　　- 共通設定 -"));
    EXPECT_EQ(checkedIndex(w, "RB_BitRate", 8), 3);
    EXPECT_EQ(checkedIndex(w, "RB_Silent_Mode", 2), 1);
    EXPECT_EQ(checkedIndex(w, "RB_MsgType", 2), 0);
    EXPECT_FALSE(named<QRadioButton>(w, "RB_MsgType_1")->isEnabled());
    EXPECT_EQ(textOf(w, "TB_DataChangeColorTime"), "1.5");
    EXPECT_EQ(textOf(w, "TB_Msg_Blackout_Ratio"), "250");
    EXPECT_EQ(named<QLineEdit>(w, "TB_SkipTimeParam")->toolTip(),
              QString::fromUtf8("30 ～ 100000 [ms]"));
    EXPECT_TRUE(checked(w, "CB_MM_Mode"));
    EXPECT_FALSE(checked(w, "CB_MsgLateColor_Enable"));

    click(w, "RB_BitRate_6");
    click(w, "CB_MM_Mode");
    click(w, "CB_SkipTime_On");
    click(w, "RB_Silent_Mode_0");
    click(w, "Bt_OK");
    EXPECT_EQ(o.p.t_bitRate, 6);
    EXPECT_EQ(o.p.t_MM_Mode, 0);
    EXPECT_EQ(o.p.t_SkipTimeON, 1);
    EXPECT_EQ(o.p.t_silent_mode, 0);
    EXPECT_EQ(o.p.t_DataChangeColorTime, 1500);
    EXPECT_EQ(o.p.t_MsgLateColorEnable, 0);
}

// A bit rate a hand-edited file could hold selects nothing and survives OK.
TEST(CommonSetting, ABitRateOutsideTheListSelectsNothingAndIsKept)
{
    for (int32_t rate : {8, -1, 1000000}) {
        Open<FormCommonSetting> o;
        o.p.t_bitRate = rate;
        o.p.t_silent_mode = 7;
        QWidget *w = o.show();
        EXPECT_EQ(checkedIndex(w, "RB_BitRate", 8), -1) << rate;
        EXPECT_EQ(checkedIndex(w, "RB_Silent_Mode", 2), -1);
        click(w, "Bt_OK");
        EXPECT_EQ(o.p.t_bitRate, rate);
        EXPECT_EQ(o.p.t_silent_mode, 7);
    }
}

// The chooser is the real one: a colour chosen and then Cancel changes nothing; a
// colour chosen and OK stores it; a cancelled chooser keeps the button's colour.
TEST(CommonSetting, ColourChooserOnlyCountsOnOk)
{
    auto choose = [](QWidget *w, const QColor &c, bool accept) {
        answerNextModal([c, accept](QWidget *modal) {
            auto *chooser = qobject_cast<QColorDialog *>(modal);
            ASSERT_NE(chooser, nullptr);
            EXPECT_EQ(chooser->objectName(), "CommonDialog1");
            chooser->setCurrentColor(c);
            accept ? chooser->accept() : chooser->reject();
        });
        click(w, "Bt_MsgLateColor_Dialog");
    };
    Open<FormCommonSetting> o;
    QWidget *w = o.show();
    choose(w, Qt::blue, true);
    click(w, "Bt_Cancell");
    EXPECT_EQ(o.p.t_MsgLateColor, 0x0000FF);

    w = o.show();
    choose(w, Qt::blue, true);
    choose(w, Qt::green, false);
    click(w, "Bt_OK");
    EXPECT_EQ(o.p.t_MsgLateColor, 0xFF0000) << "blue as 0x00BBGGRR";
    EXPECT_EQ(o.p.t_DataChangeColor, 0x0000FF);
}

TEST(CommonSetting, HelpPictureShowsHelpText101)
{
    Open<FormCommonSetting> o;
    click(o.show(), "Img_Help_Setting");
    EXPECT_TRUE(o.help.isVisible());
    EXPECT_TRUE(o.help.helpText().startsWith(QString::fromUtf8("- 共通設定 -")));
    for (const char *item : {"通信速度", "サイレントモード", "30 ～ 100000 [ms]", "150 ～ 10000 [%]",
                             "1 ～ 3600 [sec]", "最大200ファイル"})
        EXPECT_TRUE(o.help.helpText().contains(QString::fromUtf8(item))) << item;
}

// ---- extended function 1 --------------------------------------------------------------

struct RangeRow
{
    const char *start;
    const char *end;
    int32_t storedStart;   // the old pair is 0x10 to 0x20
    int32_t storedEnd;
};

void PrintTo(const RangeRow &r, std::ostream *os)
{
    *os << '"' << r.start << "\" - \"" << r.end << '"';
}

class ExclusionRanges : public ::testing::TestWithParam<RangeRow>
{
};

// Each row is typed into row 7 of both exclusion tables, its check box ticked.
TEST_P(ExclusionRanges, ValidPairsAreStoredInvalidOnesKeepTheOldPair)
{
    Open<FormOption1> o;
    o.p.t_DisableID_Play_Start(7, 0x10);
    o.p.t_DisableID_Rec_Start(7, 0x10);
    o.p.t_DisableID_Play_End(7, 0x20);
    o.p.t_DisableID_Rec_End(7, 0x20);
    QWidget *w = o.show();
    for (const char *box : {"TB_DisID_PlaylStart_7", "TB_DisID_RecStart_7"})
        setText(w, box, QString::fromUtf8(GetParam().start));
    for (const char *box : {"TB_DisID_PlayEnd_7", "TB_DisID_RecEnd_7"})
        setText(w, box, QString::fromUtf8(GetParam().end));
    click(w, "CB_DisID_Play_7");
    click(w, "CB_DisID_Rec_7");
    click(w, "Bt_OK");
    EXPECT_EQ(o.p.t_DisableID_Play_Start(7), GetParam().storedStart);
    EXPECT_EQ(o.p.t_DisableID_Play_End(7), GetParam().storedEnd);
    EXPECT_EQ(o.p.t_DisableID_Rec_Start(7), GetParam().storedStart);
    EXPECT_EQ(o.p.t_DisableID_Rec_End(7), GetParam().storedEnd);
    EXPECT_EQ(o.p.t_DisableID_Play_ON(7), 1) << "the check box is stored whatever the pair";
    EXPECT_EQ(o.p.t_DisableID_Rec_ON(7), 1);
}

const RangeRow kRanges[] = {
    {"7FF", "7FF", 0x7FF, 0x7FF}, {"800", "800", 0x10, 0x20}, {"7FF", "800", 0x10, 0x20},
    {"100", "0FF", 0x10, 0x20},   {"", "010", 0x0, 0x10},     {"0x100", "1ff", 0x100, 0x1FF},
    {"1A0 ID", "zz", 0x10, 0x20}, {"１A0", "7fF", 0x1A0, 0x7FF},
    {"FFFFFFFFFFFFFFFFFFFF", "7FF", 0x10, 0x20},
};
INSTANTIATE_TEST_SUITE_P(Rows, ExclusionRanges, ::testing::ValuesIn(kRanges));

struct MarkerRow
{
    const char *id;
    const char *first;
    const char *last;
    int32_t storedId;   // the old marker is 0x123, bytes 2 to 3
    int32_t storedFirst;
    int32_t storedLast;
};

void PrintTo(const MarkerRow &r, std::ostream *os)
{
    *os << r.id << ' ' << r.first << '-' << r.last;
}

class Markers : public ::testing::TestWithParam<MarkerRow>
{
};

TEST_P(Markers, BytesOneToEightInOrderAndElevenBitIdentifiers)
{
    Open<FormOption1> o;
    o.p.t_MsgMarkerID(3, 0x123);
    o.p.t_MsgMarkerStartByte(3, 2);
    o.p.t_MsgMarkerEndByte(3, 3);
    QWidget *w = o.show();
    setText(w, "TB_MsgMarkerID_3", GetParam().id);
    setText(w, "TB_MsgMarkerStartByte_3", GetParam().first);
    setText(w, "TB_MsgMarkerEndByte_3", GetParam().last);
    click(w, "Bt_OK");
    EXPECT_EQ(o.p.t_MsgMarkerID(3), GetParam().storedId);
    EXPECT_EQ(o.p.t_MsgMarkerStartByte(3), GetParam().storedFirst);
    EXPECT_EQ(o.p.t_MsgMarkerEndByte(3), GetParam().storedLast);
}

const MarkerRow kMarkers[] = {
    {"123", "3", "2", 0x123, 2, 3}, {"123", "0", "4", 0x123, 2, 3}, {"123", "5", "9", 0x123, 2, 3},
    {"123", "1", "8", 0x123, 1, 8}, {"123", "2.5", "3", 0x123, 2, 3}, {"123", "", "4", 0x123, 2, 3},
    {"7FF", "4", "4", 0x7FF, 4, 4}, {"800", "4", "4", 0x123, 4, 4},   {"", "4", "4", 0x0, 4, 4},
};
INSTANTIATE_TEST_SUITE_P(Rows, Markers, ::testing::ValuesIn(kMarkers));

TEST(Option1, EveryRowOfEveryTableIsShownAndStored)
{
    Open<FormOption1> o;
    o.p.t_DisableID_Play_Start(0, 0x5);
    o.p.t_DisableID_Rec_End(1, 0x10);
    o.p.t_MsgMarkerID(2, 0x7FF);
    o.p.t_MsgMarkerStartByte(4, 0);    // bytes a hand-edited file could hold
    o.p.t_MsgMarkerEndByte(4, 99);
    o.p.t_MsgMarkerColor(7, 0x00123456);
    QWidget *w = o.show();
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("CANケストローバ Ver1.01　　- 拡張機能１ -"));
    EXPECT_EQ(textOf(w, "TB_DisID_PlaylStart_0"), "005");
    EXPECT_EQ(textOf(w, "TB_DisID_RecEnd_1"), "010");
    EXPECT_EQ(textOf(w, "TB_MsgMarkerID_2"), "7FF");
    EXPECT_EQ(textOf(w, "TB_MsgMarkerStartByte_4"), "0");
    EXPECT_EQ(textOf(w, "TB_MsgMarkerEndByte_4"), "99");

    for (int i = 0; i < 8; ++i) {
        const QString n = QString::number(i);
        const QString hex = QString::number(0x100 + i, 16);
        for (const char *box : {"TB_DisID_PlaylStart_", "TB_DisID_PlayEnd_", "TB_DisID_RecStart_",
                                "TB_DisID_RecEnd_", "TB_MsgMarkerID_"})
            setText(w, box + n, hex);
        setText(w, "TB_MsgMarkerStartByte_" + n, QString::number(1 + i % 8));
        setText(w, "TB_MsgMarkerEndByte_" + n, "8");
        for (const char *box : {"CB_DisID_Play_", "CB_DisID_Rec_", "CB_MsgMarker_"})
            click(w, box + n);
    }
    click(w, "Bt_OK");
    for (int16_t i = 0; i < 8; ++i) {
        for (Getter get : std::initializer_list<Getter>{
                 &ELM327_Info::t_DisableID_Play_Start, &ELM327_Info::t_DisableID_Play_End,
                 &ELM327_Info::t_DisableID_Rec_Start, &ELM327_Info::t_DisableID_Rec_End,
                 &ELM327_Info::t_MsgMarkerID})
            EXPECT_EQ((o.p.*get)(i), 0x100 + i) << "row " << i;
        for (Getter get : std::initializer_list<Getter>{&ELM327_Info::t_DisableID_Play_ON,
                                                        &ELM327_Info::t_DisableID_Rec_ON,
                                                        &ELM327_Info::t_MsgMarker_ON})
            EXPECT_EQ((o.p.*get)(i), 1) << "row " << i;
        EXPECT_EQ(o.p.t_MsgMarkerStartByte(i), 1 + i % 8);
        EXPECT_EQ(o.p.t_MsgMarkerEndByte(i), 8);
    }
    EXPECT_EQ(o.p.t_MsgMarkerColor(7), 0x00123456);
    EXPECT_EQ(o.p.t_MsgMarkerColor(0), 0x00FFB3F3);
}

TEST(Option1, CancelChangesNothing)
{
    Open<FormOption1> o;
    const ELM327_Info before = o.p;
    QWidget *w = o.show();
    setText(w, "TB_DisID_PlaylStart_0", "100");
    setText(w, "TB_DisID_PlayEnd_0", "200");
    click(w, "CB_MsgMarker_0");
    click(w, "Bt_Cancell");
    EXPECT_EQ(o.p.t_DisableID_Play_Start(0), before.t_DisableID_Play_Start(0));
    EXPECT_EQ(o.p.t_DisableID_Play_End(0), before.t_DisableID_Play_End(0));
    EXPECT_EQ(o.p.t_MsgMarker_ON(0), 0);
}

// ---- save functions -------------------------------------------------------------------

// Sends a drop of these paths to the widget, as a file manager would.
void drop(QWidget *target, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
}

struct DropRow
{
    const char *target;
    const char *box;
};

void PrintTo(const DropRow &r, std::ostream *os)
{
    *os << r.target;
}

class FolderDrops : public ::testing::TestWithParam<DropRow>
{
};

TEST_P(FolderDrops, FileGivesItsFolderAndAFolderLosesItsTrailingSeparator)
{
    QTemporaryDir tmp;
    const QString folder = tmp.filePath("data");
    QDir().mkpath(folder);
    QFile file(folder + "/a.dat");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    Open<FormOptionLog1> o;
    QWidget *w = o.show();
    auto *target = named<QWidget>(w, GetParam().target);
    drop(target, {folder + "/a.dat", tmp.path()});
    EXPECT_EQ(textOf(w, GetParam().box), folder);
    setText(w, GetParam().box, "");
    drop(target, {folder + "/"});
    EXPECT_EQ(textOf(w, GetParam().box), folder);
    EXPECT_EQ(checkedIndex(w, QString(GetParam().box) == "TB_SaveFilePath" ? "RB_SaveFilePath"
                                                                         : "RB_LogSaveFilePath", 3),
              0) << "the option buttons are not changed";
}

const DropRow kDrops[] = {
    {"Img_save_folder", "TB_SaveFilePath"},
    {"Img_save_folder_path", "TB_SaveFilePath"},
    {"TB_SaveFilePath", "TB_SaveFilePath"},
    {"Img_Log_save_folder", "TB_LogSaveFilePath"},
    {"Img_Log_save_folder_path", "TB_LogSaveFilePath"},
    {"TB_LogSaveFilePath", "TB_LogSaveFilePath"},
};
INSTANTIATE_TEST_SUITE_P(Rows, FolderDrops, ::testing::ValuesIn(kDrops));

// A click on a folder picture offers a folder chooser; the folder chosen goes into the box.
TEST(OptionLog1, FolderPictureOpensAChooser)
{
    QTemporaryDir tmp;
    Open<FormOptionLog1> o;
    QWidget *w = o.show();
    answerNextModal([&](QWidget *modal) {
        auto *chooser = qobject_cast<QFileDialog *>(modal);
        ASSERT_NE(chooser, nullptr);
        chooser->setDirectory(tmp.path());
        QMetaObject::invokeMethod(chooser, "accept");
    });
    click(w, "Img_Log_save_folder");
    EXPECT_EQ(textOf(w, "TB_LogSaveFilePath"), tmp.path());
}

struct FormatRow
{
    int32_t excel;
    int32_t format;
    int shown;     // the selected RB_LogSV_Format button, -1 none
    int32_t stored;
};

void PrintTo(const FormatRow &r, std::ostream *os)
{
    *os << "excel " << r.excel << " format " << r.format;
}

class RecordFormat : public ::testing::TestWithParam<FormatRow>
{
};

TEST_P(RecordFormat, SelectionFollowsTheSpreadsheetCheck)
{
    Open<FormOptionLog1> o;
    o.p.ExcelInstallCheck = GetParam().excel;
    o.p.t_LogSaveFormat = GetParam().format;
    QWidget *w = o.show();
    EXPECT_EQ(checkedIndex(w, "RB_LogSV_Format", 3), GetParam().shown);
    auto *status = named<QLineEdit>(w, "TB_Excel_Status");
    EXPECT_EQ(status->text(), GetParam().excel == 1 ? " OK" : " NG");
    EXPECT_EQ(status->palette().color(QPalette::Text),
              GetParam().excel == 1 ? QColor(0, 160, 11) : QColor(255, 0, 0));
    EXPECT_FALSE(named<QRadioButton>(w, "RB_LogSV_Format_1")->isEnabled());
    EXPECT_FALSE(named<QRadioButton>(w, "RB_LogSV_Format_2")->isEnabled());
    click(w, "Bt_OK");
    EXPECT_EQ(o.p.t_LogSaveFormat, GetParam().stored);
}

const FormatRow kFormats[] = {
    {0, 1, 0, 0}, {1, 1, 1, 1}, {0, 2, 2, 2}, {1, 0, 0, 0}, {1, 5, -1, 5}, {0, 5, 0, 0},
};
INSTANTIATE_TEST_SUITE_P(Rows, RecordFormat, ::testing::ValuesIn(kFormats));

TEST(OptionLog1, SnapshotFormatIsStoredAsOneOrTwo)
{
    for (const auto &[button, stored] : {std::pair{"RB_SV_Format_0", 2}, {"RB_SV_Format_1", 1}}) {
        Open<FormOptionLog1> o;
        QWidget *w = o.show();
        EXPECT_EQ(checkedIndex(w, "RB_SV_Format", 2), 1) << "rich text by default";
        click(w, button);
        click(w, "Bt_OK");
        EXPECT_EQ(o.p.t_SaveFormat, stored);
    }
}

TEST(OptionLog1, ClearingRecordSavingGreysItsControlsAndKeepsTheirChoices)
{
    Open<FormOptionLog1> o;
    o.p.t_LogSaveFilePath_mode = 2;
    o.p.t_LogSaveFilePath = "/data/rec";
    QWidget *w = o.show();
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("CANケストローバ Ver1.01　　- 保存機能 -"));
    const char *const greyed[] = {"GB_LogSave_Format", "RB_LogSV_Format_0", "GB_LogSave_path",
                                  "RB_LogSaveFilePath_2", "TB_LogSaveFilePath",
                                  "Img_Log_save_folder"};
    for (const char *name : greyed)
        EXPECT_TRUE(named<QWidget>(w, name)->isEnabled()) << name;
    click(w, "CB_LogFile_Enable");
    for (const char *name : greyed)
        EXPECT_FALSE(named<QWidget>(w, name)->isEnabled()) << name;
    EXPECT_TRUE(named<QWidget>(w, "CB_LogSave_subFolder")->isEnabled());
    click(w, "Bt_OK");
    EXPECT_EQ(o.p.t_LogSave_Enable, 0);
    EXPECT_EQ(o.p.t_LogSaveFilePath_mode, 2);
    EXPECT_EQ(o.p.t_LogSaveFilePath, "/data/rec");
    EXPECT_EQ(o.p.t_LogSaveFormat, 0);

    w = o.show();
    EXPECT_FALSE(checked(w, "CB_LogFile_Enable"));
    EXPECT_FALSE(named<QWidget>(w, "TB_LogSaveFilePath")->isEnabled());
    click(w, "CB_LogFile_Enable");
    EXPECT_TRUE(named<QWidget>(w, "TB_LogSaveFilePath")->isEnabled());
    EXPECT_FALSE(named<QWidget>(w, "RB_LogSV_Format_1")->isEnabled());
}

TEST(OptionLog1, FolderModesOutsideTheListSelectNothingAndSurviveOk)
{
    Open<FormOptionLog1> o;
    o.p.t_LogSaveFilePath_mode = 3;
    o.p.t_SaveFilePath_mode = -1;
    o.p.t_SaveFormat = 0;
    QWidget *w = o.show();
    EXPECT_EQ(checkedIndex(w, "RB_LogSaveFilePath", 3), -1);
    EXPECT_EQ(checkedIndex(w, "RB_SaveFilePath", 3), -1);
    EXPECT_EQ(checkedIndex(w, "RB_SV_Format", 2), -1);
    setText(w, "TB_SaveFilePath", "/snap");
    click(w, "Bt_OK");
    EXPECT_EQ(o.p.t_LogSaveFilePath_mode, 3);
    EXPECT_EQ(o.p.t_SaveFilePath_mode, -1);
    EXPECT_EQ(o.p.t_SaveFilePath, "/snap");
}

// ---- opened from the main window ------------------------------------------------------

struct MenuRow
{
    const char *menu;
    const char *dialog;
    const char *closedBy;   // a button, "close box" or "Escape"
    const char *helpHeading = nullptr;
};

void PrintTo(const MenuRow &r, std::ostream *os)
{
    *os << r.menu << " / " << r.closedBy;
}

void closeBy(QDialog *dialog, const QString &how)
{
    if (how == "close box") {
        dialog->close();
    } else if (how == "Escape") {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(dialog, &key);
    } else {
        click(dialog, how);
    }
}

bool mainWindowUsable(Form1 &w)
{
    return w.centralWidget()->isEnabled() && w.menuBar()->isEnabled();
}

class FromTheMenu : public ::testing::TestWithParam<MenuRow>
{
};

// However the dialog goes away, the main window is usable again and the help is hidden.
TEST_P(FromTheMenu, MainWindowIsDisabledWhileTheDialogIsOpenAndUsableAfterwards)
{
    Form1 w;
    w.show();
    named<QAction>(&w, GetParam().menu)->trigger();
    QPointer<QDialog> dialog = named<QDialog>(&w, GetParam().dialog);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(mainWindowUsable(w));
    if (GetParam().helpHeading) {
        click(dialog, "Img_Help_Setting");
        EXPECT_TRUE(w.helpWindow()->isVisible());
        const QString heading = QString::fromUtf8(GetParam().helpHeading);
        EXPECT_TRUE(w.helpWindow()->helpText().startsWith(heading));
        EXPECT_TRUE(w.helpWindow()->isEnabled());
        EXPECT_TRUE(w.helpWindow()->isWindow() && !w.helpWindow()->parentWidget())
            << "a window of its own, which the dialog modal to the main window does not block";
    }
    closeBy(dialog, GetParam().closedBy);
    EXPECT_TRUE(mainWindowUsable(w));
    EXPECT_FALSE(w.helpWindow()->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog) << "each opening makes a fresh dialog";
}

const MenuRow kMenus[] = {
    {"menu_common_setting", "FormCommonSetting", "Bt_OK", "- 共通設定 -"},
    {"menu_common_setting", "FormCommonSetting", "Bt_Cancell", "- 共通設定 -"},
    {"menu_common_setting", "FormCommonSetting", "close box", "- 共通設定 -"},
    {"menu_opt_function1", "FormOption1", "Bt_OK", "- 拡張機能１ -"},
    {"menu_opt_function1", "FormOption1", "Bt_Cancell", "- 拡張機能１ -"},
    {"menu_opt_function1", "FormOption1", "Escape", "- 拡張機能１ -"},
    {"menu_opt_log1", "FormOptionLog1", "Bt_OK", "- 保存機能 -"},
    {"menu_opt_log1", "FormOptionLog1", "Bt_Cancell", "- 保存機能 -"},
    {"menu_opt_log1", "FormOptionLog1", "close box", "- 保存機能 -"},
    {"menu_help_version", "FormVersion", "Bt_OK"},
    {"menu_help_version", "FormVersion", "close box"},
};
INSTANTIATE_TEST_SUITE_P(Rows, FromTheMenu, ::testing::ValuesIn(kMenus));

// Records the addresses the desktop would open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

TEST(VersionWindow, ShowsTheProductAndItsLinkOpensTheHomepage)
{
    Form1 w;
    w.show();
    named<QAction>(&w, "menu_help_version")->trigger();
    auto *version = named<QDialog>(&w, "FormVersion");
    ASSERT_NE(version, nullptr);
    EXPECT_TRUE(version->isWindow());
    auto *ok = named<QAbstractButton>(version, "Bt_OK");
    EXPECT_TRUE(ok->isEnabled());
    auto *link = named<QLabel>(version, "Lb_Homepage");
    UrlCatcher catcher;
    const QString scheme = QUrl(w.device.Homepage_URL).scheme();
    QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    emit link->linkActivated(link->text());
    QDesktopServices::unsetUrlHandler(scheme);
    EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl(w.device.Homepage_URL)});
    ok->click();
    EXPECT_FALSE(version->isVisible());
}

} // namespace

#include "test_settings_dialogs.moc"
