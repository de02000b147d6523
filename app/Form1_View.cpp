// The text view outside a run: its context menu, clearing, snapshots, and the drops on
// the play-file group.
#include "Form1.h"

#include "MessageBox.h"
#include "Paths.h"
#include "RtfWriter.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSaveFile>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTimer>

namespace {

std::function<QDateTime()> &viewClock()
{
    static std::function<QDateTime()> clock;
    return clock;
}

QDateTime viewNow()
{
    return viewClock() ? viewClock()() : QDateTime::currentDateTime();
}

// 0x00BBGGRR as the palette of the menu is written.
QColor fromBgr(int bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

} // namespace

void Form1::setViewClockForTesting(std::function<QDateTime()> clock)
{
    viewClock() = std::move(clock);
}

QString Form1::dateStampText(const QDateTime &t)
{
    static const char *const weekdays[] = {"月", "火", "水", "木", "金", "土", "日"};
    return t.toString(QStringLiteral("yyyy年MM月dd日(")) + QString::fromUtf8(weekdays[t.date().dayOfWeek() - 1])
           + t.toString(QStringLiteral(") hh:mm ")) ;
}

void Form1::connectViewMenu()
{
    connect(RTB_MainView, &QTextEdit::selectionChanged, this, &Form1::updateViewMenu);
    connect(menu_View, &QMenu::aboutToShow, this, &Form1::updateViewMenu);
    connect(menu_View_All_Copy, &QAction::triggered, this, [this] {
        auto *data = new QMimeData;
        const QString text = RTB_MainView->toPlainText();
        data->setText(text);
        data->setHtml(text.toHtmlEscaped());
        QApplication::clipboard()->setMimeData(data);
    });
    connect(menu_View_Ctrl_Z, &QAction::triggered, RTB_MainView, &QTextEdit::undo);
    connect(menu_View_Ctrl_X, &QAction::triggered, this, [this] {
        QTextCursor c = RTB_MainView->textCursor();
        auto *data = new QMimeData;
        const QString text = c.selection().toPlainText();
        data->setText(text);
        data->setHtml(text.toHtmlEscaped());
        QApplication::clipboard()->setMimeData(data);
        c.removeSelectedText();
    });
    connect(menu_View_Ctrl_C, &QAction::triggered, this, [this] {
        const QTextCursor c = RTB_MainView->textCursor();
        auto *data = new QMimeData;
        data->setHtml(c.selection().toHtml());
        data->setText(c.selection().toPlainText());
        QApplication::clipboard()->clear();
        QApplication::clipboard()->setMimeData(data);
    });
    connect(menu_View_Ctrl_V, &QAction::triggered, this, [this] {
        const QMimeData *data = QApplication::clipboard()->mimeData();
        if (!data)
            return;
        QTextCursor c = RTB_MainView->textCursor();
        if (data->hasHtml())
            c.insertHtml(data->html());
        else if (data->hasText())
            c.insertText(data->text());
    });
    connect(menu_View_DEL, &QAction::triggered, this,
            [this] { RTB_MainView->textCursor().removeSelectedText(); });
    auto textColour = [this](QAction *a, int bgr) {
        connect(a, &QAction::triggered, this, [this, bgr] {
            QTextCharFormat f;
            f.setForeground(fromBgr(bgr));
            RTB_MainView->textCursor().mergeCharFormat(f);
        });
    };
    textColour(menu_View_Text_Red, 0x0000FF);
    textColour(menu_View_Text_Blue, 0xFF0000);
    textColour(menu_View_Text_Black, 0);
    auto marker = [this](QAction *a, const QColor &colour) {
        connect(a, &QAction::triggered, this, [this, colour] {
            QTextCharFormat f;
            f.setBackground(colour);
            RTB_MainView->textCursor().mergeCharFormat(f);
        });
    };
    marker(menu_View_Marker_Pink, QColor(255, 211, 248));
    marker(menu_View_Marker_Yellow, QColor(255, 250, 163));
    marker(menu_View_Marker_black, QColor(0, 0, 0));
    marker(menu_View_Marker_white, QColor(255, 255, 255));
    connect(menu_View_Date, &QAction::triggered, this,
            [this] { RTB_MainView->textCursor().insertText(dateStampText(viewNow())); });
}

void Form1::updateViewMenu()
{
    if (TimerBattRead->isActive())
        return;
    const bool selected = RTB_MainView->textCursor().hasSelection();
    for (QAction *a : {menu_View_Ctrl_X, menu_View_Ctrl_C, menu_View_DEL, menu_View_Text_Red,
                       menu_View_Text_Blue, menu_View_Text_Black, menu_View_Marker_Pink,
                       menu_View_Marker_Yellow, menu_View_Marker_black, menu_View_Marker_white})
        a->setEnabled(selected);
    if (selected) {
        for (QAction *a : {menu_View_All_Copy, menu_View_Ctrl_Z, menu_View_Ctrl_V, menu_View_Date})
            a->setEnabled(false);
        return;
    }
    const QMimeData *clip = QApplication::clipboard()->mimeData();
    menu_View_All_Copy->setEnabled(!RTB_MainView->document()->isEmpty());
    menu_View_Ctrl_Z->setEnabled(RTB_MainView->document()->isUndoAvailable());
    // Text on the clipboard, not markup alone: a copied picture comes with markup that
    // only refers to it, and the notebook has nothing to show for it.
    menu_View_Ctrl_V->setEnabled(clip && clip->hasText());
    menu_View_Date->setEnabled(true);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == RTB_MainView || watched == RTB_MainView->viewport()) {
        // During a run the view belongs to the monitor: no typing, no menu.
        if (event->type() == QEvent::FocusIn && TimerBattRead->isActive()) {
            TB_Status[0]->setFocus();
            return true;
        }
        if (event->type() == QEvent::ContextMenu) {
            if (!TimerBattRead->isActive()) {
                updateViewMenu();
                menu_View->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
            }
            return true;
        }
        return false;
    }
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || !w->acceptDrops())
        return false;
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        static_cast<QDragMoveEvent *>(event)->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto *drop = static_cast<QDropEvent *>(event);
        drop->acceptProposedAction();
        PlayFileDropped(drop->mimeData());
        return true;
    }
    return false;
}

void Form1::Bt_ViewClear_Click()
{
    RTB_MainView->clear();
}

QString Form1::snapshotFolder()
{
    switch (device.t_SaveFilePath_mode) {
    case 1:
        return paths::desktopFolder();
    case 2:
        if (device.t_SaveFilePath.isEmpty())
            device.t_SaveFilePath = paths::programFolder();
        return device.t_SaveFilePath;
    default:
        return paths::programFolder();
    }
}

void Form1::Bt_SaveFile_Click()
{
    const QString folder = snapshotFolder();
    const QString extension = device.t_SaveFormat == 2 ? QStringLiteral(".txt")
                                                       : QStringLiteral(".rtf");
    const QString stamp = viewNow().toString(QStringLiteral("yyMMddhh"));
    auto name = [&](int n) {
        return paths::join(folder, QStringLiteral("MC%1-%2%3")
                                       .arg(stamp)
                                       .arg(n, 3, 10, QLatin1Char('0'))
                                       .arg(extension));
    };
    int counter = 1;
    while (QFile::exists(name(counter)) && counter < 1000)
        ++counter;
    if (counter >= 1000) {
        showMessage(QStringLiteral("ファイルがいっぱいです"), MsgIcon::Critical, device.Application_title);
        return;
    }
    QSaveFile file(name(counter));
    const QByteArray content = device.t_SaveFormat == 2
                                   ? RTB_MainView->toPlainText().toUtf8()
                                   : documentToRtf(*RTB_MainView->document());
    // A failing write is not reported as saved.
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        showMessage(QStringLiteral("保存できませんでした") + QStringLiteral("\r\n") + file.fileName()
                        + QStringLiteral("\r\n") + file.errorString(),
                    MsgIcon::Critical, device.Application_title);
        return;
    }
    showMessage(QStringLiteral("保存しました"), MsgIcon::Information, device.Application_title);
}
