#include "LogList.h"
#include "Paths.h"
#include "TestHelpers.h"
#include "HookGuard.h"

#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

TEST(LogList, ColoursSurviveARestart)
{
    QTemporaryDir folder;
    const HookGuard programFolder(&paths::setProgramFolderForTesting, folder.path());

    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat red;
    red.setForeground(QColor(255, 0, 0));
    red.setBackground(QColor(255, 250, 163));
    c.insertText("7DF  8  ");
    c.insertText("02", red);
    c.insertText(QString::fromUtf8(" 受信"));
    ASSERT_TRUE(SaveLogList(doc));
    EXPECT_TRUE(QFile::exists(folder.path() + "/lglist.dat"));

    QTextDocument back;
    ASSERT_TRUE(LoadLogList(back));
    EXPECT_EQ(back.toPlainText(), QString::fromUtf8("7DF  8  02 受信"));
    QTextCursor probe(&back);
    probe.setPosition(9);
    EXPECT_EQ(probe.charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(probe.charFormat().background().color(), QColor(255, 250, 163));

    QFile::remove(folder.path() + "/lglist.dat");
    QTextDocument untouched;
    untouched.setPlainText("old");
    EXPECT_FALSE(LoadLogList(untouched));
    EXPECT_EQ(untouched.toPlainText(), "old");

    paths::setProgramFolderForTesting(folder.path() + "/gone");
    EXPECT_FALSE(SaveLogList(doc));
}
