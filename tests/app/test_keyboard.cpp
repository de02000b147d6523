// The settings dialogs with the keyboard alone: where the focus opens, what the arrow
// keys, Tab, space, Enter and Esc do, sent as key events to the real widgets.
#include "FormCommonSetting.h"
#include "FormHelp.h"
#include "FormOption1.h"
#include "FormOptionLog1.h"
#include "KeyPresses.h"
#include "WidgetHelpers.h"

#include "ELM327_Info.h"

#include <QRadioButton>

#include <functional>
#include <memory>

namespace {

struct KeyRow
{
    const char *name;
    std::function<SettingsDialog *(ELM327_Info &, FormHelp *)> make;
    const char *opensOn;   // the control that has the focus when the dialog opens
    std::function<void(QWidget *)> keys;
    std::function<void(const ELM327_Info &)> expect;
};

void PrintTo(const KeyRow &r, std::ostream *os)
{
    *os << r.name;
}

template <class Dialog>
SettingsDialog *make(ELM327_Info &p, FormHelp *help)
{
    return new Dialog(p, help);
}

const ELM327_Info kDefaults;

const KeyRow kRows[] = {
    {"bit rate down then Enter", make<FormCommonSetting>, "RB_BitRate_2",
     [](QWidget *w) { press(w, {Qt::Key_Down, Qt::Key_Return}); },
     [](const ELM327_Info &p) { EXPECT_EQ(p.t_bitRate, 3); }},
    {"bit rate up twice", make<FormCommonSetting>, "RB_BitRate_2",
     [](QWidget *w) { press(w, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Enter}); },
     [](const ELM327_Info &p) { EXPECT_EQ(p.t_bitRate, 0); }},
    {"bit rate up at the top goes round", make<FormCommonSetting>, "RB_BitRate_2",
     [](QWidget *w) { press(w, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Return}); },
     [](const ELM327_Info &p) { EXPECT_EQ(p.t_bitRate, 7); }},
    {"silent mode: Tab over the 11-bit group, then Right", make<FormCommonSetting>,
     "RB_BitRate_2",
     [](QWidget *w) { press(w, {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Right, Qt::Key_Return}); },
     [](const ELM327_Info &p) {
         EXPECT_EQ(p.t_silent_mode, 1);
         EXPECT_EQ(p.t_msgID_type, 0) << "the 29-bit button is never chosen";
         EXPECT_EQ(p.t_bitRate, 2);
     }},
    {"bit rate then Esc", make<FormCommonSetting>, "RB_BitRate_2",
     [](QWidget *w) { press(w, {Qt::Key_Down, Qt::Key_Escape}); },
     [](const ELM327_Info &p) { EXPECT_EQ(p.t_bitRate, 2); }},
    {"exclusion row 0: space, Tab, a range, Enter", make<FormOption1>, "CB_DisID_Play_0",
     [](QWidget *w) {
         press(w, {Qt::Key_Space, Qt::Key_Tab});
         press(w, {Qt::Key_Backspace});
         type(w, "100");
         press(w, {Qt::Key_Tab, Qt::Key_Backspace});
         type(w, "1FF");
         press(w, {Qt::Key_Return});
     },
     [](const ELM327_Info &p) {
         EXPECT_EQ(p.t_DisableID_Play_ON(0), 1);
         EXPECT_EQ(p.t_DisableID_Play_Start(0), 0x100);
         EXPECT_EQ(p.t_DisableID_Play_End(0), 0x1FF);
     }},
    {"exclusion row 0 then Esc", make<FormOption1>, "CB_DisID_Play_0",
     [](QWidget *w) { press(w, {Qt::Key_Space, Qt::Key_Escape}); },
     [](const ELM327_Info &p) { EXPECT_EQ(p.t_DisableID_Play_ON(0), 0); }},
    {"record destination: Tab twice, Right", make<FormOptionLog1>, "CB_LogFile_Enable",
     [](QWidget *w) { press(w, {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Right, Qt::Key_Return}); },
     [](const ELM327_Info &p) { EXPECT_EQ(p.t_LogSaveFilePath_mode, 1); }},
    {"record format: Down skips the disabled formats", make<FormOptionLog1>,
     "CB_LogFile_Enable",
     [](QWidget *w) { press(w, {Qt::Key_Tab, Qt::Key_Down, Qt::Key_Return}); },
     [](const ELM327_Info &p) { EXPECT_EQ(p.t_LogSaveFormat, 0); }},
    {"record saving off with space, then Esc", make<FormOptionLog1>, "CB_LogFile_Enable",
     [](QWidget *w) { press(w, {Qt::Key_Space, Qt::Key_Escape}); },
     [](const ELM327_Info &p) { EXPECT_EQ(p.t_LogSave_Enable, kDefaults.t_LogSave_Enable); }},
};

class DialogKeys : public ::testing::TestWithParam<KeyRow>
{
};

TEST_P(DialogKeys, KeysAloneChangeTheSettingOrNothing)
{
    ELM327_Info p;
    p.t_LogSave_Enable = 1;
    FormHelp help;
    std::unique_ptr<SettingsDialog> dialog(GetParam().make(p, &help));
    dialog->show();
    press(dialog.get(), {});
    ASSERT_NE(dialog->focusWidget(), nullptr);
    EXPECT_EQ(dialog->focusWidget()->objectName(), GetParam().opensOn);
    GetParam().keys(dialog.get());
    EXPECT_FALSE(dialog->isVisible()) << "Enter is OK and Esc is Cancel";
    GetParam().expect(p);
}

INSTANTIATE_TEST_SUITE_P(Rows, DialogKeys, ::testing::ValuesIn(kRows));

// Tab walks the common settings column by column, top to bottom, as they are drawn.
TEST(DialogKeys, TabFollowsTheDrawnOrder)
{
    ELM327_Info p;
    FormHelp help;
    FormCommonSetting dialog(p, &help);
    dialog.show();
    press(&dialog, {});
    QStringList walked{dialog.focusWidget()->objectName()};
    for (int i = 0; i < 22; ++i) {
        press(&dialog, {Qt::Key_Tab});
        walked << dialog.focusWidget()->objectName();
    }
    const QStringList expected{
        "RB_BitRate_2", "RB_MsgType_0", "RB_Silent_Mode_0", "CB_SkipTime_On",
        "TB_SkipTimeParam", "CB_MM_Mode", "CB_DataChangeColor_Enable",
        "TB_DataChangeColorTime", "Bt_DataChangeColor_Dialog", "CB_MsgLateColor_Enable",
        "TB_MsgLateColor_Ratio", "TB_MsgLateColor_Time", "Bt_MsgLateColor_Dialog",
        "CB_Msg_Blackout_Enable", "TB_Msg_Blackout_Ratio", "Bt_Msg_Blackout_Dialog",
        "Img_Help_Setting", "Bt_OK", "Bt_Cancell", "RB_BitRate_2"};
    EXPECT_EQ(walked.mid(0, expected.size()), expected);
}

} // namespace
