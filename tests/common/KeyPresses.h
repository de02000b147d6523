#pragma once

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <initializer_list>

// Keys as a keyboard user presses them: each goes to whatever has the focus in `window`
// at that moment, so a test walks the window the way the focus really moves.
inline QWidget *focused(QWidget *window)
{
    QWidget *f = window->focusWidget();
    return f ? f : window;
}

inline void press(QWidget *window, std::initializer_list<Qt::Key> keys)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    for (Qt::Key key : keys)
        QTest::keyClick(focused(window), key);
}

inline void type(QWidget *window, const char *text)
{
    QTest::keyClicks(focused(window), QString::fromUtf8(text));
}
