#include "FormOptionLog1.h"

#include "DialogSupport.h"
#include "ELM327_Info.h"

#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char *const kPlaceTexts[3] = {"実行ファイルのフォルダ内", "デスクトップ上", "指定したフォルダ"};

template <size_t N>
QList<QRadioButton *> group(const std::array<QRadioButton *, N> &buttons)
{
    return QList<QRadioButton *>(buttons.begin(), buttons.end());
}

void storeSelected(const QList<QRadioButton *> &buttons, int32_t &target)
{
    if (const auto i = dialogs::selectedIndex(buttons))
        target = *i;
}

QByteArray rowName(const char *base, int i)
{
    return QByteArray(base) + '_' + QByteArray::number(i);
}

} // namespace

FormOptionLog1::FormOptionLog1(ELM327_Info &params, FormHelp *help, QWidget *parent)
    : SettingsDialog(parent), m_params(params), m_help(help)
{
    setObjectName(QStringLiteral("FormOptionLog1"));
    buildWindow();
}

QToolButton *FormOptionLog1::folderPicture(QWidget *parent, const char *name, bool open)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(style()->standardIcon(open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirIcon));
    b->setIconSize(QSize(24, 24));
    b->setAutoRaise(true);
    b->setToolTip(QStringLiteral("フォルダかファイルをここへドロップ、またはクリックして選択"));
    b->setAcceptDrops(true);
    b->installEventFilter(this);
    return b;
}

void FormOptionLog1::buildWindow()
{
    using namespace dialogs;
    auto *root = new QVBoxLayout(this);

    CB_LogFile_Enable = check(this, "CB_LogFile_Enable", QStringLiteral("録画ファイルを保存する"));
    root->addWidget(CB_LogFile_Enable);

    GB_LogSave_Format = new QGroupBox(QStringLiteral("録画ファイルの形式"), this);
    GB_LogSave_Format->setObjectName(QStringLiteral("GB_LogSave_Format"));
    auto *format = new QGridLayout(GB_LogSave_Format);
    const QString formatTexts[3] = {QStringLiteral("CanKes形式で保存 (.dat)"),
                                    QStringLiteral("Excel形式で保存 (.xls)"),
                                    QStringLiteral("テキスト形式で保存 （.csv）")};
    for (int i = 0; i < 3; ++i) {
        RB_LogSV_Format[size_t(i)] =
            radio(GB_LogSave_Format, rowName("RB_LogSV_Format", i), formatTexts[i]);
        format->addWidget(RB_LogSV_Format[size_t(i)], i, 0);
    }
    // Record files are always written in the program's own format.
    RB_LogSV_Format[1]->setEnabled(false);
    RB_LogSV_Format[2]->setEnabled(false);
    auto *excel = new QHBoxLayout;
    excel->addWidget(label(GB_LogSave_Format, "Label1", QStringLiteral("Excelインストール ・・・")));
    TB_Excel_Status = line(GB_LogSave_Format, "TB_Excel_Status", QString(), QString(), 48);
    TB_Excel_Status->setReadOnly(true);
    TB_Excel_Status->setFrame(false);
    TB_Excel_Status->setAttribute(Qt::WA_TranslucentBackground);
    TB_Excel_Status->setFocusPolicy(Qt::NoFocus);
    excel->addWidget(TB_Excel_Status);
    excel->addStretch(1);
    format->addLayout(excel, 1, 1);
    root->addWidget(GB_LogSave_Format);

    // A destination group: three places, the folder box and its two drop pictures.
    auto destination = [&](QGroupBox *box, const char *radioName,
                           std::array<QRadioButton *, 3> &places,
                           const char *boxName, QLineEdit *&path, const char *pictureName,
                           QToolButton *&picture, const char *pathPictureName,
                           QToolButton *&pathPicture) {
        auto *grid = new QGridLayout(box);
        for (int i = 0; i < 3; ++i) {
            places[size_t(i)] =
                radio(box, rowName(radioName, i), QString::fromUtf8(kPlaceTexts[i]));
            grid->addWidget(places[size_t(i)], 0, i);
        }
        picture = folderPicture(box, pictureName, false);
        pathPicture = folderPicture(box, pathPictureName, true);
        path = line(box, boxName, QString(), QStringLiteral("保存先フォルダ"), 0);
        path->installEventFilter(this);
        auto *row = new QHBoxLayout;
        row->addWidget(picture);
        row->addWidget(pathPicture);
        row->addWidget(path, 1);
        grid->addLayout(row, 1, 0, 1, 3);
        connect(picture, &QToolButton::clicked, this, [this, path] { browseFolder(path); });
        connect(pathPicture, &QToolButton::clicked, this, [this, path] { browseFolder(path); });
    };
    GB_LogSave_path = new QGroupBox(QStringLiteral("録画ファイルの保存先"), this);
    GB_LogSave_path->setObjectName(QStringLiteral("GB_LogSave_path"));
    destination(GB_LogSave_path, "RB_LogSaveFilePath", RB_LogSaveFilePath, "TB_LogSaveFilePath",
                TB_LogSaveFilePath, "Img_Log_save_folder", Img_Log_save_folder,
                "Img_Log_save_folder_path", Img_Log_save_folder_path);
    root->addWidget(GB_LogSave_path);

    auto *frame4 = new QGroupBox(this);
    frame4->setObjectName(QStringLiteral("Frame4"));
    auto *frameRow = new QHBoxLayout(frame4);
    CB_LogSave_subFolder = check(frame4, "CB_LogSave_subFolder",
                                 QStringLiteral("コメントをサブフォルダにして保存する"));
    frameRow->addWidget(CB_LogSave_subFolder);
    root->addWidget(frame4);

    auto *snapFormat = new QGroupBox(QStringLiteral("スナップショットの形式"), this);
    snapFormat->setObjectName(QStringLiteral("GB_SV_Format"));
    auto *snapRow = new QHBoxLayout(snapFormat);
    RB_SV_Format[0] = radio(snapFormat, "RB_SV_Format_0", QStringLiteral("テキスト形式で保存 （.txt）"));
    RB_SV_Format[1] = radio(snapFormat, "RB_SV_Format_1", QStringLiteral("リッチテキスト形式で保存 (.rtf)"));
    snapRow->addWidget(RB_SV_Format[0]);
    snapRow->addWidget(RB_SV_Format[1]);
    root->addWidget(snapFormat);

    auto *snapPath = new QGroupBox(QStringLiteral("スナップショットの保存先"), this);
    snapPath->setObjectName(QStringLiteral("GB_SaveFilePath"));
    destination(snapPath, "RB_SaveFilePath", RB_SaveFilePath, "TB_SaveFilePath", TB_SaveFilePath,
                "Img_save_folder", Img_save_folder, "Img_save_folder_path", Img_save_folder_path);
    root->addWidget(snapPath);

    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
    root->addLayout(bottomRow(this, Img_Help_Setting, ok, cancel));
    for (const auto &buttons : {group(RB_LogSV_Format), group(RB_LogSaveFilePath),
                                group(RB_SV_Format), group(RB_SaveFilePath)})
        keyboard::arrowKeysChoose(buttons);
    connect(ok, &QPushButton::clicked, this, &FormOptionLog1::Bt_OK_Click);
    connect(cancel, &QPushButton::clicked, this, &FormOptionLog1::Bt_Cancell_Click);
    connect(Img_Help_Setting, &QToolButton::clicked, this, &FormOptionLog1::Img_Help_Setting_Click);
    connect(CB_LogFile_Enable, &QCheckBox::toggled, this, &FormOptionLog1::CB_LogFile_Enable_Click);
    resize(560, sizeHint().height());
}

void FormOptionLog1::read_setting()
{
    using namespace dialogs;
    const ELM327_Info &p = m_params;
    setWindowTitle(caption(p.Application_title, QStringLiteral("保存機能")));
    const bool excel = p.ExcelInstallCheck == 1;
    TB_Excel_Status->setText(excel ? QStringLiteral(" OK") : QStringLiteral(" NG"));
    QPalette palette = TB_Excel_Status->palette();
    palette.setColor(QPalette::Text, excel ? QColor(0, 160, 11) : QColor(255, 0, 0));
    palette.setColor(QPalette::Base, Qt::transparent);
    TB_Excel_Status->setPalette(palette);

    selectIndex(group(RB_SV_Format), p.t_SaveFormat == 1 ? 1 : p.t_SaveFormat == 2 ? 0 : -1);
    selectIndex(group(RB_SaveFilePath), p.t_SaveFilePath_mode);
    TB_SaveFilePath->setText(p.t_SaveFilePath);

    if (p.t_LogSave_Enable == 1 || p.t_LogSave_Enable == 0)
        CB_LogFile_Enable->setChecked(p.t_LogSave_Enable == 1);
    CB_LogFile_Enable_Click();

    int format = -1;
    if (p.t_LogSaveFormat == 1 && excel)
        format = 1;
    else if (p.t_LogSaveFormat == 2)
        format = 2;
    else if (p.t_LogSaveFormat == 0 || !excel)
        format = 0;
    selectIndex(group(RB_LogSV_Format), format);

    selectIndex(group(RB_LogSaveFilePath), p.t_LogSaveFilePath_mode);
    TB_LogSaveFilePath->setText(p.t_LogSaveFilePath);
    if (p.t_LogSave_subFolder == 1 || p.t_LogSave_subFolder == 0)
        CB_LogSave_subFolder->setChecked(p.t_LogSave_subFolder == 1);
}

void FormOptionLog1::CB_LogFile_Enable_Click()
{
    const bool on = CB_LogFile_Enable->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{
             GB_LogSave_Format, RB_LogSV_Format[0], GB_LogSave_path, RB_LogSaveFilePath[0],
             RB_LogSaveFilePath[1], RB_LogSaveFilePath[2], TB_LogSaveFilePath})
        w->setEnabled(on);
}

void FormOptionLog1::Bt_OK_Click()
{
    ELM327_Info &p = m_params;
    if (const auto i = dialogs::selectedIndex(group(RB_SV_Format)))
        p.t_SaveFormat = *i == 1 ? 1 : 2;
    storeSelected(group(RB_SaveFilePath), p.t_SaveFilePath_mode);
    p.t_SaveFilePath = TB_SaveFilePath->text();
    p.t_LogSave_Enable = CB_LogFile_Enable->isChecked() ? 1 : 0;
    storeSelected(group(RB_LogSV_Format), p.t_LogSaveFormat);
    storeSelected(group(RB_LogSaveFilePath), p.t_LogSaveFilePath_mode);
    p.t_LogSaveFilePath = TB_LogSaveFilePath->text();
    p.t_LogSave_subFolder = CB_LogSave_subFolder->isChecked() ? 1 : 0;
    accept();
}

void FormOptionLog1::Bt_Cancell_Click()
{
    reject();
}

void FormOptionLog1::Img_Help_Setting_Click()
{
    dialogs::showHelp(m_help, this, m_params.Application_title, 103);
}

void FormOptionLog1::dropInto(QLineEdit *box, const QMimeData *data)
{
    if (const auto folder = dialogs::droppedFolder(data))
        box->setText(*folder);
}

void FormOptionLog1::Img_save_folder_OLEDragDrop(const QMimeData *data)
{
    dropInto(TB_SaveFilePath, data);
}

void FormOptionLog1::Img_save_folder_path_OLEDragDrop(const QMimeData *data)
{
    dropInto(TB_SaveFilePath, data);
}

void FormOptionLog1::TB_SaveFilePath_OLEDragDrop(const QMimeData *data)
{
    dropInto(TB_SaveFilePath, data);
}

void FormOptionLog1::Img_Log_save_folder_OLEDragDrop(const QMimeData *data)
{
    dropInto(TB_LogSaveFilePath, data);
}

void FormOptionLog1::Img_Log_save_folder_path_OLEDragDrop(const QMimeData *data)
{
    dropInto(TB_LogSaveFilePath, data);
}

void FormOptionLog1::TB_LogSaveFilePath_OLEDragDrop(const QMimeData *data)
{
    dropInto(TB_LogSaveFilePath, data);
}

bool FormOptionLog1::eventFilter(QObject *watched, QEvent *event)
{
    using Handler = void (FormOptionLog1::*)(const QMimeData *);
    const std::pair<QObject *, Handler> targets[] = {
        {Img_save_folder, &FormOptionLog1::Img_save_folder_OLEDragDrop},
        {Img_save_folder_path, &FormOptionLog1::Img_save_folder_path_OLEDragDrop},
        {TB_SaveFilePath, &FormOptionLog1::TB_SaveFilePath_OLEDragDrop},
        {Img_Log_save_folder, &FormOptionLog1::Img_Log_save_folder_OLEDragDrop},
        {Img_Log_save_folder_path, &FormOptionLog1::Img_Log_save_folder_path_OLEDragDrop},
        {TB_LogSaveFilePath, &FormOptionLog1::TB_LogSaveFilePath_OLEDragDrop},
    };
    for (const auto &[target, handler] : targets) {
        if (watched != target)
            continue;
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (!drag->mimeData()->hasUrls())
                return false;   // plain text still goes into the box as typed text
            drag->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto *drop = static_cast<QDropEvent *>(event);
            if (!drop->mimeData()->hasUrls())
                return false;
            (this->*handler)(drop->mimeData());
            drop->acceptProposedAction();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FormOptionLog1::browseFolder(QLineEdit *box)
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("フォルダの選択"), box->text());
    if (!folder.isEmpty())
        box->setText(QDir::toNativeSeparators(folder));
}
