#pragma once

#include "SettingsDialog.h"

#include <array>

class ELM327_Info;
class FormHelp;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;

// Extended function 1: the eight playback exclusion ranges, the eight recording exclusion
// ranges and the eight markers of the live view. Parameters change only on OK.
class FormOption1 final : public SettingsDialog
{
    Q_OBJECT

public:
    FormOption1(ELM327_Info &params, FormHelp *help, QWidget *parent = nullptr);

    void read_setting() override;

public slots:
    void Bt_OK_Click();
    void Bt_Cancell_Click();
    void Bt_MarkerColor_Dialog_Click(int index);
    void Img_Help_Setting_Click();

private:
    using Row = std::array<QCheckBox *, 8>;
    using Boxes = std::array<QLineEdit *, 8>;
    struct ExclusionTable;
    void buildWindow();
    std::array<ExclusionTable, 2> exclusionTables();

    ELM327_Info &m_params;
    FormHelp *m_help;

    Row CB_DisID_Play{};
    Boxes TB_DisID_PlaylStart{};
    Boxes TB_DisID_PlayEnd{};
    Row CB_DisID_Rec{};
    Boxes TB_DisID_RecStart{};
    Boxes TB_DisID_RecEnd{};
    Row CB_MsgMarker{};
    Boxes TB_MsgMarkerID{};
    Boxes TB_MsgMarkerStartByte{};
    Boxes TB_MsgMarkerEndByte{};
    std::array<QPushButton *, 8> Bt_MarkerColor_Dialog{};
    QToolButton *Img_Help_Setting = nullptr;
};
