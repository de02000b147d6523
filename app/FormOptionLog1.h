#pragma once

#include "SettingsDialog.h"

#include <array>

class ELM327_Info;
class FormHelp;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMimeData;
class QRadioButton;
class QToolButton;

// The save functions: whether and where record files are written, comment sub-folders,
// and the format and folder of snapshots. Parameters change only on OK.
class FormOptionLog1 final : public SettingsDialog
{
    Q_OBJECT

public:
    FormOptionLog1(ELM327_Info &params, FormHelp *help, QWidget *parent = nullptr);

    void read_setting() override;

    // Each drop target puts the folder of what was dropped into its group's box.
    void Img_save_folder_OLEDragDrop(const QMimeData *data);
    void Img_save_folder_path_OLEDragDrop(const QMimeData *data);
    void TB_SaveFilePath_OLEDragDrop(const QMimeData *data);
    void Img_Log_save_folder_OLEDragDrop(const QMimeData *data);
    void Img_Log_save_folder_path_OLEDragDrop(const QMimeData *data);
    void TB_LogSaveFilePath_OLEDragDrop(const QMimeData *data);

public slots:
    void Bt_OK_Click();
    void Bt_Cancell_Click();
    void CB_LogFile_Enable_Click();
    void Img_Help_Setting_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    QToolButton *folderPicture(QWidget *parent, const char *name, bool open);
    void browseFolder(QLineEdit *box);
    static void dropInto(QLineEdit *box, const QMimeData *data);

    ELM327_Info &m_params;
    FormHelp *m_help;

    QCheckBox *CB_LogFile_Enable = nullptr;
    QGroupBox *GB_LogSave_Format = nullptr;
    std::array<QRadioButton *, 3> RB_LogSV_Format{};
    QLineEdit *TB_Excel_Status = nullptr;
    QGroupBox *GB_LogSave_path = nullptr;
    std::array<QRadioButton *, 3> RB_LogSaveFilePath{};
    QLineEdit *TB_LogSaveFilePath = nullptr;
    QToolButton *Img_Log_save_folder = nullptr;
    QToolButton *Img_Log_save_folder_path = nullptr;
    QCheckBox *CB_LogSave_subFolder = nullptr;
    std::array<QRadioButton *, 2> RB_SV_Format{};
    std::array<QRadioButton *, 3> RB_SaveFilePath{};
    QLineEdit *TB_SaveFilePath = nullptr;
    QToolButton *Img_save_folder = nullptr;
    QToolButton *Img_save_folder_path = nullptr;
    QToolButton *Img_Help_Setting = nullptr;
};
