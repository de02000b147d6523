#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// The child of `parent` with that object name; fails the test when there is none.
template <class T>
T *named(const QWidget *parent, const QString &name)
{
    T *child = parent->findChild<T *>(name);
    EXPECT_NE(child, nullptr) << "no " << name.toStdString();
    return child;
}

inline void setText(const QWidget *parent, const QString &name, const QString &text)
{
    if (auto *box = named<QLineEdit>(parent, name))
        box->setText(text);
}

inline QString textOf(const QWidget *parent, const QString &name)
{
    auto *box = named<QLineEdit>(parent, name);
    return box ? box->text() : QString();
}

inline void click(const QWidget *parent, const QString &name)
{
    if (auto *button = named<QAbstractButton>(parent, name))
        button->click();
}

// Runs `answer` on the modal window that the next step opens (a chooser, a message), so
// a test can click through it without a person.
inline void answerNextModal(const std::function<void(QWidget *)> &answer, int tries = 300)
{
    QTimer::singleShot(tries == 300 ? 0 : 10, [answer, tries] {
        if (QWidget *modal = QApplication::activeModalWidget())
            answer(modal);
        else if (tries > 0)
            answerNextModal(answer, tries - 1);
    });
}
