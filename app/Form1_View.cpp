// The text view outside a run: context menu, clearing, drops on the play-file group.
#include "Form1.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextEdit>
#include <QTimer>

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == RTB_MainView) {
        // During a run the view belongs to the monitor: no typing, no menu.
        if (event->type() == QEvent::FocusIn && TimerBattRead->isActive()) {
            TB_Status[0]->setFocus();
            return true;
        }
        if (event->type() == QEvent::ContextMenu) {
            if (!TimerBattRead->isActive())
                menu_View->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
            return true;
        }
        return false;
    }
    auto *w = qobject_cast<QWidget *>(watched);
    if (!w || !w->acceptDrops())
        return false;
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        drag->acceptProposedAction();
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

void Form1::Bt_SaveFile_Click()
{
}
