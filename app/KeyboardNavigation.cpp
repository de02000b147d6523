#include "KeyboardNavigation.h"

#include <QKeyEvent>
#include <QPointer>
#include <QRadioButton>

namespace keyboard {

namespace {

// Owned by the group's first button. Qt's own arrow handling moves the focus only, and
// only to a neighbour on screen; a group laid out in columns then cannot be walked.
class ArrowChooser final : public QObject
{
public:
    ArrowChooser(const QList<QRadioButton *> &group) : QObject(group.constFirst())
    {
        for (QRadioButton *b : group) {
            m_group << b;
            b->installEventFilter(this);
            connect(b, &QAbstractButton::toggled, this, &ArrowChooser::fixTabStop);
        }
        fixTabStop();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        const int step = key == Qt::Key_Down || key == Qt::Key_Right ? 1
                         : key == Qt::Key_Up || key == Qt::Key_Left ? -1
                                                                     : 0;
        const int from = m_group.indexOf(qobject_cast<QRadioButton *>(watched));
        if (step == 0 || from < 0)
            return false;
        const int n = int(m_group.size());
        for (int k = 1; k < n; ++k) {
            QRadioButton *next = m_group[(from + step * k + n * k) % n];
            if (next && next->isEnabled() && next->isVisibleTo(next->window())) {
                next->setFocus(Qt::TabFocusReason);
                next->click();   // as a mouse click would: handlers of the choice run
                return true;
            }
        }
        return true;
    }

private:
    // Only the chosen button (or, with none chosen, the first usable one) is a tab stop.
    void fixTabStop()
    {
        QRadioButton *stop = nullptr;
        for (QRadioButton *b : m_group)
            if (b && b->isChecked())
                stop = b;
        for (QRadioButton *b : m_group)
            if (!stop && b && b->isEnabled())
                stop = b;
        for (QRadioButton *b : m_group)
            if (b)
                b->setFocusPolicy(b == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }

    QList<QPointer<QRadioButton>> m_group;
};

} // namespace

void arrowKeysChoose(const QList<QRadioButton *> &group)
{
    if (!group.isEmpty())
        new ArrowChooser(group);
}

void focusFirstControl(QWidget *window)
{
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if (w->window() == window && w->isEnabled() && w->isVisibleTo(window)
            && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

} // namespace keyboard
