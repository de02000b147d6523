#pragma once

#include "SettingsDialog.h"

#include <array>

class ELM327_Info;
class FormHelp;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

// The common settings: bit rate, identifier format, silent mode, memory playback, time
// skipping between files and the three colour rules of the live view. Parameters change
// only on OK.
class FormCommonSetting final : public SettingsDialog
{
    Q_OBJECT

public:
    FormCommonSetting(ELM327_Info &params, FormHelp *help, QWidget *parent = nullptr);

    void read_setting() override;

public slots:
    void Bt_OK_Click();
    void Bt_Cancell_Click();
    void Bt_DataChangeColor_Dialog_Click();
    void Bt_MsgLateColor_Dialog_Click();
    void Bt_Msg_Blackout_Dialog_Click();
    void Img_Help_Setting_Click();

private:
    void buildWindow();

    ELM327_Info &m_params;
    FormHelp *m_help;

    std::array<QRadioButton *, 8> RB_BitRate{};
    std::array<QRadioButton *, 2> RB_MsgType{};
    std::array<QRadioButton *, 2> RB_Silent_Mode{};
    QCheckBox *CB_SkipTime_On = nullptr;
    QLineEdit *TB_SkipTimeParam = nullptr;
    QCheckBox *CB_MM_Mode = nullptr;
    QCheckBox *CB_DataChangeColor_Enable = nullptr;
    QLineEdit *TB_DataChangeColorTime = nullptr;
    QPushButton *Bt_DataChangeColor_Dialog = nullptr;
    QCheckBox *CB_MsgLateColor_Enable = nullptr;
    QLineEdit *TB_MsgLateColor_Ratio = nullptr;
    QLineEdit *TB_MsgLateColor_Time = nullptr;
    QPushButton *Bt_MsgLateColor_Dialog = nullptr;
    QCheckBox *CB_Msg_Blackout_Enable = nullptr;
    QLineEdit *TB_Msg_Blackout_Ratio = nullptr;
    QPushButton *Bt_Msg_Blackout_Dialog = nullptr;
    QToolButton *Img_Help_Setting = nullptr;
};
