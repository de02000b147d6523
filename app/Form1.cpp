#include "Form1.h"

#include "DatabaseChoice.h"
#include "Form2.h"
#include "FormCommonSetting.h"
#include "FormFileChanger.h"
#include "FormHelp.h"
#include "FormOption1.h"
#include "FormOptionLog1.h"
#include "FormVersion.h"
#include "MessagePump.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTextEdit>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const char *const kButtonNames[Form1::ButtonCount] = {
    "Bt_Connect", "Bt_Rec", "Bt_Disconnect", "Bt_Pause",
    "Bt_Head", "Bt_Rewind", "Bt_FF", "Bt_Repeat",
};
const char *const kButtonTips[Form1::ButtonCount] = {
    "再生", "録画", "停止", "一時停止", "先頭", "巻き戻し", "早送り", "リピート",
};

QLineEdit *makeLine(const char *name, bool readOnly, QWidget *parent)
{
    auto *line = new QLineEdit(parent);
    line->setObjectName(QLatin1String(name));
    line->setReadOnly(readOnly);
    return line;
}
} // namespace

static void initButtonPictures()
{
    // The pictures live in this static library; make sure the linker keeps them.
    Q_INIT_RESOURCE(buttons);
}

Form1::Form1(QWidget *parent) : QMainWindow(parent)
{
    initButtonPictures();
    setObjectName(QStringLiteral("Form1"));
    buildWindow();
    buildMenus();
    buildViewMenu();
    connectViewMenu();
    setDropsAccepted(true);

    TimerBattRead = new QTimer(this);
    TimerBattRead->setObjectName(QStringLiteral("TimerBattRead"));
    TimerBattRead->setInterval(33);
    connect(TimerBattRead, &QTimer::timeout, this, &Form1::TimerBattRead_Timer);

    Timer_File_REC_Play = new QTimer(this);
    Timer_File_REC_Play->setObjectName(QStringLiteral("Timer_File_REC_Play"));
    Timer_File_REC_Play->setInterval(100);
    Timer_File_REC_Play->setSingleShot(true);
    connect(Timer_File_REC_Play, &QTimer::timeout, this, &Form1::Timer_File_REC_Play_Timer);

    SetButtonStates(0, 0, 0, 0, 0, 0, 0, 0);

    // A window of its own, so that a dialog modal to this window does not block it.
    m_help = new FormHelp(nullptr);
}

Form1::~Form1()
{
    delete m_help;
}

QToolButton *Form1::makeTransportButton(const char *name)
{
    auto *b = new QToolButton(this);
    b->setObjectName(QLatin1String(name));
    b->setIconSize(QSize(40, 40));
    b->setAutoRaise(true);
    return b;
}

void Form1::buildWindow()
{
    auto *central = new QWidget(this);
    auto *root = new QVBoxLayout(central);

    // Device, protocol and version.
    auto *top = new QHBoxLayout;
    Cmb_Serect_Device = new QComboBox(central);
    Cmb_Serect_Device->setObjectName(QStringLiteral("Cmb_Serect_Device"));
    Cmb_Serect_Device->setMinimumWidth(260);
    TB_Protocol = makeLine("TB_Protocol", true, central);
    TB_Protocol->setMaximumWidth(110);
    TB_ODB_Hard_Version = makeLine("TB_ODB_Hard_Version", true, central);
    top->addWidget(Cmb_Serect_Device, 2);
    top->addWidget(TB_Protocol, 1);
    top->addWidget(TB_ODB_Hard_Version, 3);
    root->addLayout(top);
    connect(Cmb_Serect_Device, &QComboBox::activated, this, &Form1::Cmb_Serect_Device_Click);

    // Transport buttons and the play-file group.
    auto *transport = new QHBoxLayout;
    for (int i = 0; i < ButtonCount; ++i) {
        m_buttons[size_t(i)] = makeTransportButton(kButtonNames[i]);
        m_buttons[size_t(i)]->setToolTip(QString::fromUtf8(kButtonTips[i]));
        transport->addWidget(m_buttons[size_t(i)]);
    }
    connect(m_buttons[Connect], &QToolButton::clicked, this, &Form1::Bt_Connect_Click);
    connect(m_buttons[Rec], &QToolButton::clicked, this, &Form1::Bt_Rec_Click);
    connect(m_buttons[Disconnect], &QToolButton::clicked, this, &Form1::Bt_Disconnect_Click);
    connect(m_buttons[Pause], &QToolButton::clicked, this, &Form1::Bt_Pause_Click);
    connect(m_buttons[Repeat], &QToolButton::clicked, this, &Form1::Bt_Repeat_Click);

    GB_PlayFile = new QGroupBox(central);
    GB_PlayFile->setObjectName(QStringLiteral("GB_PlayFile"));
    auto *play = new QGridLayout(GB_PlayFile);
    Lb_PlayFile = new QLabel(QStringLiteral("再生ファイル"), GB_PlayFile);
    Lb_PlayFile->setObjectName(QStringLiteral("Lb_PlayFile"));
    TB_Play_FileName = makeLine("TB_Play_FileName", true, GB_PlayFile);
    TB_Play_FilePass = makeLine("TB_Play_FilePass", true, GB_PlayFile);
    Bt_OpenPlayFile = new QToolButton(GB_PlayFile);
    Bt_OpenPlayFile->setObjectName(QStringLiteral("Bt_OpenPlayFile"));
    Bt_OpenPlayFile->setText(QStringLiteral("…"));
    Bt_OpenPlayFile->setToolTip(QStringLiteral("ファイルもしくはフォルダを選択"));
    play->addWidget(Lb_PlayFile, 0, 0);
    play->addWidget(TB_Play_FileName, 0, 1);
    play->addWidget(Bt_OpenPlayFile, 0, 2, 2, 1);
    play->addWidget(TB_Play_FilePass, 1, 1);
    connect(Bt_OpenPlayFile, &QToolButton::clicked, this, &Form1::Bt_OpenPlayFile_Click);
    transport->addWidget(GB_PlayFile, 1);
    root->addLayout(transport);

    // Comment and status lines.
    auto *lines = new QGridLayout;
    auto *commentLabel = new QLabel(QStringLiteral("コメント"), central);
    commentLabel->setObjectName(QStringLiteral("Label1_0"));
    TB_Comment = makeLine("TB_Comment", false, central);
    TB_Comment->setMaxLength(200);
    auto *statusLabel = new QLabel(QStringLiteral("ステータス"), central);
    statusLabel->setObjectName(QStringLiteral("Label1_1"));
    TB_Status[0] = makeLine("TB_Status_0", true, central);
    TB_Status[1] = makeLine("TB_Status_1", true, central);
    lines->addWidget(commentLabel, 0, 0);
    lines->addWidget(TB_Comment, 0, 1, 1, 2);
    lines->addWidget(statusLabel, 1, 0);
    lines->addWidget(TB_Status[0], 1, 1);
    lines->addWidget(TB_Status[1], 1, 2);
    root->addLayout(lines);

    // The live view and free text area; the hidden box is its drawing buffer.
    RTB_MainView = new MonitorView(central);
    RTB_MainView->setObjectName(QStringLiteral("RTB_MainView"));
    RTB_MainView->setAcceptRichText(true);
    RTB_MainView->setLineWrapMode(QTextEdit::NoWrap);
    QFont mono(QStringLiteral("Noto Sans Mono CJK JP"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(10);
    RTB_MainView->setFont(mono);
    RTB_MainView->document()->setDefaultFont(mono);
    RTB_MainView->setContextMenuPolicy(Qt::CustomContextMenu);
    // Tab leaves the view for the buttons below it, so the window works without a mouse.
    RTB_MainView->setTabChangesFocus(true);
    RTB_MainView->installEventFilter(this);
    RTB_MainView->viewport()->installEventFilter(this);
    RTB_MainView_Back = new QTextEdit(central);
    RTB_MainView_Back->setObjectName(QStringLiteral("RTB_MainView_Back"));
    RTB_MainView_Back->setVisible(false);
    m_viewSplitter = new QSplitter(Qt::Horizontal, central);
    m_viewSplitter->addWidget(RTB_MainView);
    root->addWidget(m_viewSplitter, 1);

    auto *bottom = new QHBoxLayout;
    Bt_SaveFile = new QToolButton(central);
    Bt_SaveFile->setObjectName(QStringLiteral("Bt_SaveFile"));
    Bt_SaveFile->setText(QStringLiteral("スナップショット"));
    Bt_ViewClear = new QToolButton(central);
    Bt_ViewClear->setObjectName(QStringLiteral("Bt_ViewClear"));
    Bt_ViewClear->setText(QStringLiteral("画面クリア"));
    bottom->addStretch(1);
    bottom->addWidget(Bt_SaveFile);
    bottom->addWidget(Bt_ViewClear);
    root->addLayout(bottom);
    connect(Bt_SaveFile, &QToolButton::clicked, this, &Form1::Bt_SaveFile_Click);
    connect(Bt_ViewClear, &QToolButton::clicked, this, &Form1::Bt_ViewClear_Click);

    setCentralWidget(central);
    resize(900, 720);
}

void Form1::buildMenus()
{
    auto action = [this](QMenu *menu, const char *name, const char *caption) {
        QAction *a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QLatin1String(name));
        return a;
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("menu_file"));
    menu_file_changer = action(file, "menu_file_changer", "ファイル変換");
    menu_file_close = action(file, "menu_file_close", "終了(&E)");
    QMenu *tools = menuBar()->addMenu(QStringLiteral("ツール(&T)"));
    tools->setObjectName(QStringLiteral("menu_tool"));
    menu_common_setting = action(tools, "menu_common_setting", "共通設定(&S)");
    menu_opt_function1 = action(tools, "menu_opt_function1", "拡張機能１(&E)");
    menu_opt_log1 = action(tools, "menu_opt_log1", "保存機能(&W)");
    buildSignalPane(m_viewSplitter, tools);
    QMenu *help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("menu_help"));
    menu_help_version = action(help, "menu_help_version", "バージョン情報(&A)");

    connect(menu_file_close, &QAction::triggered, this, &Form1::menu_file_close_Click);
    connect(menu_help_version, &QAction::triggered, this, &Form1::menu_help_version_Click);
    connect(menu_common_setting, &QAction::triggered, this, &Form1::menu_common_setting_Click);
    connect(menu_opt_function1, &QAction::triggered, this, &Form1::menu_opt_function1_Click);
    connect(menu_opt_log1, &QAction::triggered, this, &Form1::menu_opt_log1_Click);
    connect(menu_file_changer, &QAction::triggered, this, &Form1::menu_file_changer_Click);
}

void Form1::buildViewMenu()
{
    menu_View = new QMenu(this);
    menu_View->setObjectName(QStringLiteral("menu_View"));
    auto action = [this](const char *name, const char *caption) {
        QAction *a = menu_View->addAction(QString::fromUtf8(caption));
        a->setObjectName(QLatin1String(name));
        return a;
    };
    menu_View_All_Copy = action("menu_View_All_Copy", "すべてコピー");
    menu_View_Ctrl_Z = action("menu_View_Ctrl_Z", "元に戻す(&Z)");
    menu_View->addSeparator()->setObjectName(QStringLiteral("menu_View_line1"));
    menu_View_Ctrl_X = action("menu_View_Ctrl_X", "切り取り(&X)");
    menu_View_Ctrl_C = action("menu_View_Ctrl_C", "コピー(&C)");
    menu_View_Ctrl_V = action("menu_View_Ctrl_V", "貼り付け(&V)");
    menu_View_DEL = action("menu_View_DEL", "削除");
    menu_View->addSeparator()->setObjectName(QStringLiteral("menu_View_line2"));
    menu_View_Text_Red = action("menu_View_Text_Red", "赤字");
    menu_View_Text_Blue = action("menu_View_Text_Blue", "青字");
    menu_View_Text_Black = action("menu_View_Text_Black", "黒字");
    menu_View_Marker_Pink = action("menu_View_Marker_Pink", "マーカー ピンク");
    menu_View_Marker_Yellow = action("menu_View_Marker_Yellow", "マーカー 黄");
    menu_View_Marker_black = action("menu_View_Marker_black", "マーカー 黒");
    menu_View_Marker_white = action("menu_View_Marker_white", "マーカー 白");
    menu_View->addSeparator()->setObjectName(QStringLiteral("menu_View_line3"));
    menu_View_Date = action("menu_View_Date", "日時を挿入");

    // Initial states of the view's menu.
    for (QAction *a : {menu_View_All_Copy, menu_View_Ctrl_Z, menu_View_Ctrl_X, menu_View_Ctrl_C,
                       menu_View_DEL, menu_View_Text_Red, menu_View_Text_Blue,
                       menu_View_Text_Black, menu_View_Marker_Pink, menu_View_Marker_Yellow,
                       menu_View_Marker_black, menu_View_Marker_white})
        a->setEnabled(false);
    const QMimeData *clip = QApplication::clipboard()->mimeData();
    menu_View_Ctrl_V->setEnabled(clip && clip->hasText());
    menu_View_Date->setEnabled(true);
}

QString Form1::buttonPicture(int button, int state)
{
    const int base = state == 2 ? 300 : state == 1 ? 400 : 500;
    return QStringLiteral(":/buttons/%1.png").arg(base + button + 1);
}

void Form1::SetButtonStates(int connect, int rec, int disconnect, int pause, int head,
                            int rewind, int ff, int repeat)
{
    m_ButtonState = {connect, rec, disconnect, pause, head, rewind, ff, repeat};
    RefreshButtonPictures();
}

void Form1::RefreshButtonPictures()
{
    for (int i = 0; i < ButtonCount; ++i) {
        QToolButton *b = m_buttons[size_t(i)];
        const int state = m_ButtonState[size_t(i)];
        b->setIcon(QIcon(buttonPicture(i, state)));
        b->setProperty("buttonState", state);
    }
}

void Form1::setDropsAccepted(bool on)
{
    for (QWidget *w : std::initializer_list<QWidget *>{GB_PlayFile, TB_Play_FileName,
                                                       TB_Play_FilePass, Bt_OpenPlayFile,
                                                       Lb_PlayFile})
        w->setAcceptDrops(on);
    // Drops are handled by the main window for all five controls.
    for (QWidget *w : std::initializer_list<QWidget *>{GB_PlayFile, TB_Play_FileName,
                                                       TB_Play_FilePass, Bt_OpenPlayFile,
                                                       Lb_PlayFile})
        w->installEventFilter(this);
}

void Form1::lockWindow()
{
    RTB_MainView->setReadOnly(true);
    for (QAction *a : {menu_opt_function1, menu_common_setting, menu_opt_log1,
                       menu_help_version, menu_file_close, menu_file_changer})
        a->setEnabled(false);
    m_database->setEnabled(false);
    Cmb_Serect_Device->setEnabled(false);
    Bt_OpenPlayFile->setEnabled(false);
    Bt_SaveFile->setEnabled(false);
    Bt_ViewClear->setEnabled(false);
    TB_Comment->setReadOnly(true);
    for (QWidget *w : std::initializer_list<QWidget *>{GB_PlayFile, TB_Play_FileName,
                                                       TB_Play_FilePass, Bt_OpenPlayFile,
                                                       Lb_PlayFile})
        w->setAcceptDrops(false);
}

void Form1::unlockWindow()
{
    for (QWidget *w : std::initializer_list<QWidget *>{GB_PlayFile, TB_Play_FileName,
                                                       TB_Play_FilePass, Bt_OpenPlayFile,
                                                       Lb_PlayFile})
        w->setAcceptDrops(true);
    Bt_OpenPlayFile->setEnabled(true);
    TB_Comment->setReadOnly(false);
    RTB_MainView->setReadOnly(false);
    TB_Status[0]->setFocus();
    for (QAction *a : {menu_opt_function1, menu_common_setting, menu_opt_log1,
                       menu_help_version, menu_file_close, menu_file_changer})
        a->setEnabled(true);
    m_database->setEnabled(true);
    Cmb_Serect_Device->setEnabled(true);
    Bt_SaveFile->setEnabled(true);
    Bt_ViewClear->setEnabled(true);
    const int repeat = CanPlay.t_RecPlay_PlayMode_Repeat == 1 ? 2 : 1;
    SetButtonStates(1, 1, 0, 0, 0, 0, 0, repeat);
}

void Form1::setStatusText(int index, const QString &text)
{
    if (index == 0 || index == 1)
        TB_Status[size_t(index)]->setText(text);
}

QString Form1::statusText(int index) const
{
    return index == 0 || index == 1 ? TB_Status[size_t(index)]->text() : QString();
}

void Form1::setProtocolText(const QString &text)
{
    TB_Protocol->setText(text);
}

void Form1::setCommentText(const QString &text)
{
    TB_Comment->setText(text);
}

bool Form1::timerBattReadEnabled() const
{
    return TimerBattRead->isActive();
}

void Form1::setTimerBattReadEnabled(bool on)
{
    if (on && !TimerBattRead->isActive())
        TimerBattRead->start();
    else if (!on)
        TimerBattRead->stop();
}

bool Form1::timerFileRecPlayEnabled() const
{
    return Timer_File_REC_Play->isActive();
}

void Form1::setTimerFileRecPlayEnabled(bool on)
{
    if (on && !Timer_File_REC_Play->isActive())
        Timer_File_REC_Play->start();
    else if (!on)
        Timer_File_REC_Play->stop();
}

void Form1::menu_file_close_Click()
{
    close();
}

// The conversion dialog is window-modal; the main window's controls stay off until it
// closes, however it closes.
void Form1::menu_file_changer_Click()
{
    if (!m_fileChanger) {
        auto setMainEnabled = [this](bool on) {
            centralWidget()->setEnabled(on);
            menuBar()->setEnabled(on);
        };
        m_fileChanger = new FormFileChanger(device, RTB_MainView, setMainEnabled, this);
    }
    m_fileChanger->show();
    m_fileChanger->raise();
}

void Form1::menu_help_version_Click()
{
    openSettingsDialog(new FormVersion(device));
}

void Form1::menu_common_setting_Click()
{
    openSettingsDialog(new FormCommonSetting(device, m_help));
}

void Form1::menu_opt_function1_Click()
{
    openSettingsDialog(new FormOption1(device, m_help));
}

void Form1::menu_opt_log1_Click()
{
    openSettingsDialog(new FormOptionLog1(device, m_help));
}

void Form1::openSettingsDialog(QDialog *dialog)
{
    // The dialog stays a window of its own; only this window's contents are disabled, so
    // the dialog, a child of this window, stays usable.
    dialog->setParent(this, dialog->windowFlags() | Qt::Dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    centralWidget()->setEnabled(false);
    menuBar()->setEnabled(false);
    // finished() comes from OK, Cancel, Escape and the close box alike.
    connect(dialog, &QDialog::finished, this, [this] {
        if (m_help)
            m_help->hide();
        centralWidget()->setEnabled(true);
        menuBar()->setEnabled(true);
    });
    dialog->show();
}
