#pragma once

#include "Excel_OutputDB.h"

#include <QWidget>

#include <functional>

class ELM327_Info;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QToolButton;

// The file conversion dialog: what to convert (dropped file or folder), which way, where
// the results go, and the Convert button whose log goes into the main text view.
class FormFileChanger final : public QWidget
{
    Q_OBJECT

public:
    // setMainEnabled switches the main window's controls off while the dialog is open.
    FormFileChanger(ELM327_Info &params, QTextEdit *mainView,
                    std::function<void(bool)> setMainEnabled, QWidget *mainWindow);
    ~FormFileChanger() override;

    void read_setting();
    // Drops: index 0 the source, 1 the destination. An empty list is a drop without files.
    void sourceDropped(const QStringList &paths);
    void destinationDropped(const QStringList &paths);

    void Bt_Change_Click();
    void Bt_Cancel_Click();
    void Bt_OK_Click();
    void Form_Unload();

    int32_t running() const { return m_running; }
    // The result of the last run (0, -1 … -7), for the log's closing lines.
    int32_t lastCode() const { return m_lastCode; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void build();
    void storeChoices();
    // A click on a picture or a box: the chooser, whose answer counts as a drop.
    void chooseSource();
    void chooseDestination();
    void log(const QString &line, bool replace = false);
    // The line, then what the engine was told, introduced in Japanese, on a line of its own.
    void logWithReason(const QString &line, const QString &introduction);
    void showSource();
    int32_t checkSource() const;
    int32_t convertDatFile(const QString &path, const QString &baseName);
    int32_t convertXlsFile(const QString &path, const QString &baseName);
    void logClosingLines(int32_t code);

    ELM327_Info &m_params;
    QTextEdit *m_view;
    std::function<void(bool)> m_setMainEnabled;
    Excel_OutputDB m_engine;
    class SpreadsheetServer *m_server = nullptr;
    int32_t m_running = 0;
    int32_t m_lastCode = 0;
    bool m_closeAfterRun = false;
    bool m_unloaded = false;

    QRadioButton *RB_ChangeMode[2] = {};
    QGroupBox *Frame2[2] = {};
    QLineEdit *TB_Play_FileName = nullptr;
    QLineEdit *TB_ChangeFilePath[2] = {};
    QToolButton *Img_ChangeFile_folder = nullptr;
    QToolButton *Img_ChangeFile_folder_path[2] = {};
    QRadioButton *RB_ChangeFilePath[3] = {};
    QCheckBox *CB_Vistbus = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *TB_Excel_Status = nullptr;
    QPushButton *Bt_Change = nullptr;
    QPushButton *Bt_Cancel = nullptr;
    QPushButton *Bt_OK = nullptr;
};
