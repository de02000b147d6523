#include "FormFileChanger.h"

#include "BrowseFileOrFolder.h"
#include "KeyboardNavigation.h"
#include "ELM327_Info.h"
#include "MessagePump.h"
#include "OfficeModule.h"
#include "Paths.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Codes of a run besides the ones the closing table names: the office could not be
// started, or it stopped answering in the middle of the run.
constexpr int32_t kNoServer = -8;
constexpr int32_t kServerLost = -9;

const QString kFolderImport = QStringLiteral("▼フォルダ取込");

QStringList localPaths(const QMimeData *data)
{
    QStringList paths;
    if (!data)
        return paths;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

// The folder a dropped path names: a file's own folder, or the path itself.
QString folderOf(const QString &path)
{
    const QFileInfo info(path);
    return paths::removeTrailingSeparator(info.isFile() ? info.absolutePath() : path);
}

// What the office or the file system said, on a line of its own under the log line.
const QString kWriteReason = QStringLiteral("  書き込めなかった理由: ");
const QString kReadReason = QStringLiteral("  読み込めなかった理由: ");
const QString kStartReason = QStringLiteral("  起動できなかった理由: ");

} // namespace

FormFileChanger::FormFileChanger(ELM327_Info &params, QTextEdit *mainView,
                                 std::function<void(bool)> setMainEnabled, QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Dialog), m_params(params), m_view(mainView),
      m_setMainEnabled(std::move(setMainEnabled))
{
    setObjectName(QStringLiteral("FormFileChanger"));
    setWindowModality(Qt::WindowModal);
    build();
}

FormFileChanger::~FormFileChanger() = default;

void FormFileChanger::build()
{
    setMinimumWidth(520);
    auto *root = new QVBoxLayout(this);
    auto radio = [this](const char *name, const char *caption) {
        auto *b = new QRadioButton(QString::fromUtf8(caption), this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    RB_ChangeMode[0] = radio("RB_ChangeMode_0", "dat 形式をExcel (xls) ファイルに変換");
    RB_ChangeMode[1] = radio("RB_ChangeMode_1", "Excel (xls) ファイルを dat 形式に変換");
    auto *modes = new QWidget(this);
    auto *modeLayout = new QVBoxLayout(modes);
    modeLayout->setContentsMargins(0, 0, 0, 0);
    modeLayout->addWidget(RB_ChangeMode[0]);
    modeLayout->addWidget(RB_ChangeMode[1]);
    root->addWidget(modes);

    auto dropLabel = [this](const char *name, const QString &tip) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
        b->setIconSize(QSize(24, 24));
        b->setAutoRaise(true);
        b->setToolTip(tip);
        return b;
    };
    const QString sourceTip = QStringLiteral("ファイルかフォルダをここへドロップ、またはクリックして選択");
    const QString folderTip = QStringLiteral("フォルダをここへドロップ、またはクリックして選択");
    auto lineEdit = [this](const char *name) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(true);
        return e;
    };

    Frame2[0] = new QGroupBox(QStringLiteral("変換するファイル or フォルダ"), this);
    Frame2[0]->setObjectName(QStringLiteral("Frame2_0"));
    // Created in the order Tab walks them: picture, then its box.
    Img_ChangeFile_folder = dropLabel("Img_ChangeFile_folder", sourceTip);
    TB_Play_FileName = lineEdit("TB_Play_FileName");
    Img_ChangeFile_folder_path[0] = dropLabel("Img_ChangeFile_folder_path_0", sourceTip);
    TB_ChangeFilePath[0] = lineEdit("TB_ChangeFilePath_0");
    auto *source = new QGridLayout(Frame2[0]);
    source->addWidget(Img_ChangeFile_folder, 0, 0);
    source->addWidget(TB_Play_FileName, 0, 1);
    source->addWidget(Img_ChangeFile_folder_path[0], 1, 0);
    source->addWidget(TB_ChangeFilePath[0], 1, 1);
    root->addWidget(Frame2[0]);

    Frame2[1] = new QGroupBox(QStringLiteral("変換したファイルの保存先"), this);
    Frame2[1]->setObjectName(QStringLiteral("Frame2_1"));
    RB_ChangeFilePath[0] = radio("RB_ChangeFilePath_0", "実行ファイルのフォルダ内");
    RB_ChangeFilePath[1] = radio("RB_ChangeFilePath_1", "デスクトップ上");
    RB_ChangeFilePath[2] = radio("RB_ChangeFilePath_2", "指定したフォルダ");
    Img_ChangeFile_folder_path[1] = dropLabel("Img_ChangeFile_folder_path_1", folderTip);
    TB_ChangeFilePath[1] = lineEdit("TB_ChangeFilePath_1");
    auto *destination = new QGridLayout(Frame2[1]);
    destination->addWidget(RB_ChangeFilePath[0], 0, 0, 1, 2);
    destination->addWidget(RB_ChangeFilePath[1], 1, 0, 1, 2);
    destination->addWidget(RB_ChangeFilePath[2], 2, 0, 1, 2);
    destination->addWidget(Img_ChangeFile_folder_path[1], 3, 0);
    destination->addWidget(TB_ChangeFilePath[1], 3, 1);
    root->addWidget(Frame2[1]);

    for (QToolButton *picture : {Img_ChangeFile_folder, Img_ChangeFile_folder_path[0]})
        connect(picture, &QToolButton::clicked, this, &FormFileChanger::chooseSource);
    connect(Img_ChangeFile_folder_path[1], &QToolButton::clicked, this,
            &FormFileChanger::chooseDestination);
    for (QLineEdit *box : {TB_Play_FileName, TB_ChangeFilePath[0], TB_ChangeFilePath[1]})
        box->setToolTip(box == TB_ChangeFilePath[1] ? folderTip : sourceTip);
    keyboard::arrowKeysChoose({RB_ChangeMode[0], RB_ChangeMode[1]});
    keyboard::arrowKeysChoose({RB_ChangeFilePath[0], RB_ChangeFilePath[1], RB_ChangeFilePath[2]});

    CB_Vistbus = new QCheckBox(QStringLiteral("ヴィストバスのログ (xls) も含める"), this);
    CB_Vistbus->setObjectName(QStringLiteral("CB_Vistbus"));
    root->addWidget(CB_Vistbus);

    auto *status = new QHBoxLayout;
    Label1 = new QLabel(QStringLiteral("Excelインストール ・・・"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    TB_Excel_Status = lineEdit("TB_Excel_Status");
    TB_Excel_Status->setFrame(false);
    TB_Excel_Status->setMaximumWidth(60);
    status->addWidget(Label1);
    status->addWidget(TB_Excel_Status);
    status->addStretch(1);
    root->addLayout(status);

    auto button = [this](const char *name, const char *caption) {
        auto *b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    Bt_Change = button("Bt_Change", "変換");
    Bt_Cancel = button("Bt_Cancel", "キャンセル");
    Bt_OK = button("Bt_OK", "閉じる");
    Bt_Cancel->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Bt_Change);
    buttons->addWidget(Bt_Cancel);
    buttons->addStretch(1);
    buttons->addWidget(Bt_OK);
    root->addLayout(buttons);
    connect(Bt_Change, &QPushButton::clicked, this, &FormFileChanger::Bt_Change_Click);
    connect(Bt_Cancel, &QPushButton::clicked, this, &FormFileChanger::Bt_Cancel_Click);
    connect(Bt_OK, &QPushButton::clicked, this, &FormFileChanger::Bt_OK_Click);

    for (QWidget *w : {static_cast<QWidget *>(Frame2[0]), static_cast<QWidget *>(TB_Play_FileName),
                       static_cast<QWidget *>(TB_ChangeFilePath[0]),
                       static_cast<QWidget *>(Img_ChangeFile_folder),
                       static_cast<QWidget *>(Img_ChangeFile_folder_path[0]),
                       static_cast<QWidget *>(Frame2[1]), static_cast<QWidget *>(TB_ChangeFilePath[1]),
                       static_cast<QWidget *>(Img_ChangeFile_folder_path[1])}) {
        w->setAcceptDrops(true);
        w->installEventFilter(this);
    }
}

void FormFileChanger::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_setMainEnabled)
        m_setMainEnabled(false);
    read_setting();
    keyboard::focusFirstControl(this);
}

void FormFileChanger::read_setting()
{
    setWindowTitle(m_params.Application_title + QStringLiteral("　　- ファイル変換 -"));
    const bool installed = m_params.ExcelInstallCheck == 1;
    TB_Excel_Status->setText(installed ? QStringLiteral(" OK") : QStringLiteral(" NG"));
    QPalette palette = TB_Excel_Status->palette();
    palette.setColor(QPalette::Text, installed ? QColor(0, 160, 11) : QColor(Qt::red));
    TB_Excel_Status->setPalette(palette);
    Bt_Change->setEnabled(installed && m_running == 0);
    Bt_Cancel->setEnabled(m_running == 1);

    // A remembered source that has gone since is forgotten.
    bool forget = false;
    if (m_params.t_CF_Load_FileType == 1) {
        const QString &name = m_params.t_CF_Load_Name;
        forget = name.isEmpty() || m_params.t_CF_Load_Path.isEmpty()
                 || !(name.endsWith(QLatin1String(".dat")) || name.endsWith(QLatin1String(".xls")))
                 || !paths::isExistingFile(paths::join(m_params.t_CF_Load_Path, name));
    } else if (m_params.t_CF_Load_FileType == 2) {
        forget = m_params.t_CF_Load_Path.isEmpty()
                 || !paths::isExistingFolder(m_params.t_CF_Load_Path);
    }
    if (forget) {
        m_params.t_CF_Load_Name.clear();
        m_params.t_CF_Load_Path.clear();
        m_params.t_CF_Load_FileType = 0;
    }
    showSource();
    TB_ChangeFilePath[1]->setText(m_params.t_CF_Save_Path);
    RB_ChangeMode[m_params.t_CF_mode == 2 ? 1 : 0]->setChecked(true);
    RB_ChangeFilePath[std::clamp(m_params.t_CF_Save_Path_mode, 0, 2)]->setChecked(true);
    // An installed program's folder is not writable: show where the files really go.
    RB_ChangeFilePath[0]->setToolTip(paths::fileFolder());
    CB_Vistbus->setChecked(m_params.t_CF_Vistbus_On == 1);
}

void FormFileChanger::showSource()
{
    TB_Play_FileName->setText(m_params.t_CF_Load_FileType == 2 ? kFolderImport
                                                               : m_params.t_CF_Load_Name);
    TB_ChangeFilePath[0]->setText(m_params.t_CF_Load_Path);
}

void FormFileChanger::sourceDropped(const QStringList &dropped)
{
    if (dropped.isEmpty()) {
        m_params.t_CF_Load_Name.clear();
        m_params.t_CF_Load_Path.clear();
        m_params.t_CF_Load_FileType = 0;
        showSource();
        return;
    }
    const QFileInfo info(dropped.first());
    const QString name = info.isFile() ? info.fileName() : QString();
    const QString extension = name.section(QLatin1Char('.'), -1);
    m_params.t_CF_Load_Path = folderOf(dropped.first());
    if (name.isEmpty()) {
        m_params.t_CF_Load_Name.clear();
        m_params.t_CF_Load_FileType = 2;
    } else if (name.contains(QLatin1Char('.'))
               && (extension == QLatin1String("dat") || extension == QLatin1String("xls"))) {
        m_params.t_CF_Load_Name = name;
        m_params.t_CF_Load_FileType = 1;
    } else {
        m_params.t_CF_Load_Name.clear();
        m_params.t_CF_Load_Path.clear();
        m_params.t_CF_Load_FileType = 0;
    }
    showSource();
}

void FormFileChanger::destinationDropped(const QStringList &dropped)
{
    m_params.t_CF_Save_Path = dropped.isEmpty() ? QString() : folderOf(dropped.first());
    TB_ChangeFilePath[1]->setText(m_params.t_CF_Save_Path);
}

void FormFileChanger::chooseSource()
{
    if (m_running == 1)
        return;
    const QString chosen = BrowseFileOrFolder(this);
    if (!chosen.isEmpty())
        sourceDropped({chosen});
}

void FormFileChanger::chooseDestination()
{
    if (m_running == 1)
        return;
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("保存先フォルダの選択"), TB_ChangeFilePath[1]->text());
    if (!chosen.isEmpty())
        destinationDropped({chosen});
}

void FormFileChanger::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // A run stops after its file, as with キャンセル; otherwise the dialog closes.
        if (m_running == 1)
            Bt_Cancel_Click();
        else
            close();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused button is pressed; anywhere else Enter converts.
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()))
            button->click();
        else if (Bt_Change->isEnabled())
            Bt_Change->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

bool FormFileChanger::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == TB_Play_FileName || watched == TB_ChangeFilePath[0])
            chooseSource();
        else if (watched == TB_ChangeFilePath[1])
            chooseDestination();
    }
    if (event->type() == QEvent::DragEnter) {
        auto *enter = static_cast<QDragEnterEvent *>(event);
        if (enter->mimeData()->hasUrls())
            enter->acceptProposedAction();
        return true;
    }
    if (event->type() != QEvent::Drop)
        return QWidget::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    drop->acceptProposedAction();
    if (m_running == 1)
        return true;   // the run's source and destination stay as they are
    const bool destination = watched == Frame2[1] || watched == TB_ChangeFilePath[1]
                             || watched == Img_ChangeFile_folder_path[1];
    const QStringList dropped = localPaths(drop->mimeData());
    if (destination)
        destinationDropped(dropped);
    else
        sourceDropped(dropped);
    return true;
}

void FormFileChanger::storeChoices()
{
    m_params.t_CF_mode = RB_ChangeMode[1]->isChecked() ? 2 : 1;
    for (int i = 0; i < 3; ++i)
        if (RB_ChangeFilePath[i]->isChecked())
            m_params.t_CF_Save_Path_mode = i;
    m_params.t_CF_Vistbus_On = CB_Vistbus->isChecked() ? 1 : 0;
}

void FormFileChanger::log(const QString &line, bool replace)
{
    if (!m_view)
        return;
    if (replace)
        m_view->clear();
    QTextCursor cursor(m_view->document());
    cursor.movePosition(QTextCursor::End);
    // The view keeps CR LF as one line break.
    cursor.insertText(line + QLatin1Char('\n'));
    m_view->moveCursor(QTextCursor::End);
    m_view->ensureCursorVisible();
    // The next office call blocks for a while: show the line now, not after it.
    m_view->viewport()->repaint();
}

void FormFileChanger::logWithReason(const QString &line, const QString &introduction)
{
    log(line);
    if (!m_engine.lastError().isEmpty())
        log(introduction + m_engine.lastError());
}

int32_t FormFileChanger::checkSource() const
{
    const int32_t type = m_params.t_CF_Load_FileType;
    if ((type != 1 && type != 2) || m_params.t_CF_Load_Path.isEmpty()
        || (type == 1 && m_params.t_CF_Load_Name.isEmpty()))
        return -1;
    if (type == 2)
        return paths::isExistingFolder(m_params.t_CF_Load_Path) ? 0 : -1;
    const QString file = paths::join(m_params.t_CF_Load_Path, m_params.t_CF_Load_Name);
    if (!paths::isExistingFile(file))
        return -1;
    const QString wanted = m_params.t_CF_mode == 2 ? QStringLiteral(".xls") : QStringLiteral(".dat");
    return m_params.t_CF_Load_Name.endsWith(wanted) ? 0 : -7;
}

int32_t FormFileChanger::convertDatFile(const QString &path, const QString &baseName)
{
    m_engine.PlayDAT_ch_Clear();
    if (m_engine.CF_DAT_FileDataLoad(m_params, path) != 0) {
        log(QStringLiteral(" ERR:ファイルデータが無効です "));
        return -5;
    }
    if (m_engine.Excel_DataOutput(m_params, m_server, baseName) == 0)
        return 0;
    logWithReason(QStringLiteral(" ERR:変換ファイル 書込エラー"), kWriteReason);
    return m_server && !m_server->isAlive() ? kServerLost : -6;
}

int32_t FormFileChanger::convertXlsFile(const QString &path, const QString &baseName)
{
    m_engine.setDropRowsWithoutIdentifier(true);
    const int32_t result = m_engine.CF_XLS_FileDataLoad(m_params, m_server, path);
    if (result == 0) {
        // Rows no frame can hold are named one by one; the other frames are still written.
        for (const int32_t row : m_engine.droppedRows())
            log(QStringLiteral(" ERR:ファイルデータが無効です ") + QString::number(row)
                + QStringLiteral("メッセージ目"));
        const std::vector<int32_t> beyond =
            workbook::rowsWithBytesBeyondDlc(m_engine.table(), TextTable::kLastRow);
        if (!beyond.empty())
            log(QStringLiteral("  DLC より後ろのデータを書き込みませんでした: ")
                + QString::number(beyond.size()) + QStringLiteral("メッセージ (最初は ")
                + QString::number(beyond.front()) + QStringLiteral("メッセージ目)"));
        const int32_t written = m_engine.CF_DAT_FileDataWrite(m_params, baseName);
        if (written == 0)
            return m_engine.droppedRows().empty() ? 0 : -6;
        logWithReason(QStringLiteral(" ERR:変換ファイル 書込エラー"), kWriteReason);
        // Not the writer's -1: that would close with the missing-source lines.
        return -6;
    }
    switch (result) {
    case Excel_OutputDB::kBadHeader:
        log(QStringLiteral(" ERR:ファイルフォーマットが不正です"));
        break;
    case Excel_OutputDB::kBadCells:
        log(QStringLiteral(" ERR:データがありません"));
        break;
    case Excel_OutputDB::kNoSuchWorkbook:
        log(QStringLiteral(" ERR:ファイルが読めません"));
        break;
    case Excel_OutputDB::kForeignWorkbook:
        log(QStringLiteral(" 処理をスキップします"));
        break;
    case Excel_OutputDB::kFirstRowInvalid:
        log(QStringLiteral(" ERR:ファイルデータが無効です 0メッセージ目"));
        break;
    default:
        if (!m_engine.lastError().isEmpty()) {
            // A failure of the office or the file, not a bad row.
            logWithReason(QStringLiteral(" ERR:ファイルが読めません"), kReadReason);
            if (m_server && !m_server->isAlive())
                return kServerLost;
        } else if (result <= -1 && result >= -20999) {
            log(QStringLiteral(" ERR:ファイルデータが無効です ") + QString::number(-result)
                + QStringLiteral("メッセージ目"));
        }
        break;
    }
    return -6;
}

void FormFileChanger::Bt_Change_Click()
{
    if (m_running == 1)
        return;
    storeChoices();
    Bt_Change->setEnabled(false);
    Bt_Cancel->setEnabled(true);
    m_running = 1;

    log(QStringLiteral("変換処理を開始します... "), true);

    int32_t code = checkSource();
    if (code == 0 && m_params.t_CF_Save_Path_mode == 2
        && (m_params.t_CF_Save_Path.isEmpty() || !paths::isExistingFolder(m_params.t_CF_Save_Path)))
        code = -2;
    QStringList names;
    int32_t count = 0;
    const bool folderMode = m_params.t_CF_Load_FileType == 2;
    if (code == 0 && folderMode
        && (m_engine.FolderMode_FileSerch(m_params, names, count) != 0 || count < 1))
        code = -4;
    // The office starts only when there is something to convert: a second saved on
    // every mistaken press.
    office::Started started;
    if (code == 0 && m_params.ExcelInstallCheck == 1)
        started = office::start();
    m_server = started.server.get();
    if (code == 0 && !m_server) {
        log(QStringLiteral(" ERR:表計算ソフトを起動できません"));
        if (!started.error.isEmpty())
            log(kStartReason + started.error);
        code = kNoServer;
    }

    const bool toWorkbook = m_params.t_CF_mode != 2;
    const QString extension = toWorkbook ? QStringLiteral(".dat") : QStringLiteral(".xls");
    auto convert = [&](const QString &path, const QString &base) {
        return toWorkbook ? convertDatFile(path, base) : convertXlsFile(path, base);
    };
    if (code == 0 && !folderMode) {
        log(toWorkbook ? QStringLiteral("ファイル変換モード(dat -> xls)... ")
                       : QStringLiteral("ファイル変換モード(xls -> dat)... "));
        const QString name = m_params.t_CF_Load_Name;
        code = convert(paths::join(m_params.t_CF_Load_Path, name),
                       name.left(name.size() - extension.size()));
    } else if (code == 0) {
        log(toWorkbook ? QStringLiteral("フォルダ変換モード(dat -> xls)... ")
                       : QStringLiteral("フォルダ変換モード(xls -> dat)... "));
        log(QString::number(count) + QStringLiteral("個のファイルを抽出します "));
        for (int k = 1; k <= count && m_running == 1; ++k) {
            const QString &name = names[k - 1];
            log(QString::number(k) + QStringLiteral("番目のファイル ") + name + extension
                + QStringLiteral(" を抽出... "));
            code = convert(paths::join(m_params.t_CF_Load_Path, name + extension), name);
            pumpMessages();
            if (code == kServerLost)
                break;
        }
    }

    m_server = nullptr;
    if (started.server)
        started.server->quit();
    started.server.reset();
    logClosingLines(code);
    m_lastCode = code;

    m_running = 0;
    Bt_Cancel->setEnabled(false);
    Bt_Change->setEnabled(m_params.ExcelInstallCheck == 1);
    if (m_closeAfterRun)
        close();
}

void FormFileChanger::logClosingLines(int32_t code)
{
    const QString interrupted = QStringLiteral("処理を中断しました。");
    switch (code) {
    case 0:
        log(m_running == 1 ? QStringLiteral("変換が終了しました。")
                           : QStringLiteral("変換を中断しました。"));
        break;
    case -1:
        log(QStringLiteral("読み込むファイル、もしくはフォルダを指定して下さい"));
        log(interrupted);
        break;
    case -4:
        log(QStringLiteral("フォルダ内に有効なファイルが１つもありません"));
        log(interrupted);
        break;
    case -5:
        log(QStringLiteral("ファイルが読み込めません"));
        log(interrupted);
        break;
    case -6:
        log(QStringLiteral("処理を終了しました。"));
        break;
    case -7:
        log(QStringLiteral("ファイルの形式が間違っています。"));
        break;
    case kNoServer:
    case kServerLost:
        log(interrupted);
        break;
    default:   // -2: the destination folder is gone; the run ends without a closing line
        break;
    }
}

void FormFileChanger::Bt_Cancel_Click()
{
    m_running = 0;
}

void FormFileChanger::Bt_OK_Click()
{
    close();
}

void FormFileChanger::closeEvent(QCloseEvent *event)
{
    if (m_running == 1) {
        // The run is on the stack below us: stop it after the current file, and close
        // once it has shut its office down.
        m_running = 0;
        m_closeAfterRun = true;
        hide();
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void FormFileChanger::Form_Unload()
{
    storeChoices();
    m_closeAfterRun = false;
    if (m_setMainEnabled)
        m_setMainEnabled(true);
}
