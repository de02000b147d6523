#include "LogList.h"
#include "NotebookDocument.h"
#include "NotebookRows.h"
#include "Paths.h"
#include "TestHelpers.h"
#include "HookGuard.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocumentFragment>
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
    ASSERT_TRUE(LoadLogList(back).loaded());
    EXPECT_EQ(back.toPlainText(), QString::fromUtf8("7DF  8  02 受信"));
    QTextCursor probe(&back);
    probe.setPosition(9);
    EXPECT_EQ(probe.charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(probe.charFormat().background().color(), QColor(255, 250, 163));

    QFile::remove(folder.path() + "/lglist.dat");
    QTextDocument untouched;
    untouched.setPlainText("old");
    EXPECT_EQ(LoadLogList(untouched).outcome, LogListLoad::Missing);
    EXPECT_EQ(untouched.toPlainText(), "old");

    paths::setProgramFolderForTesting(folder.path() + "/gone");
    EXPECT_FALSE(SaveLogList(doc));
}

TEST(LogList, HostileFilesAreSetAsideAndTheNotebookStartsEmpty)
{
    for (const NotebookRow &row : hostileNotebooks()) {
        SCOPED_TRACE(row.name);
        QTemporaryDir folder;
        paths::setProgramFolderForTesting(folder.path());
        ASSERT_TRUE(writeNotebook(folder.path() + "/lglist.dat", row));
        NotebookDocument view;
        view.setPlainText("before");
        QElapsedTimer t;
        t.start();
        const LogListLoad result = LoadLogList(view);
        view.pageCount();   // a layout that never ends would show here
        EXPECT_LT(t.elapsed(), 2000);
        EXPECT_EQ(result.outcome, LogListLoad::Refused);
        EXPECT_TRUE(result.message.startsWith(QString::fromUtf8("lglist.dat を読み込めませんでした")));
        EXPECT_TRUE(view.isEmpty());
        EXPECT_FALSE(QFile::exists(folder.path() + "/lglist.dat"));
        const QStringList aside = QDir(folder.path()).entryList({"lglist_refused_*.dat"});
        ASSERT_EQ(aside.size(), 1);
        EXPECT_TRUE(result.message.contains(aside[0]));
        EXPECT_EQ(QFileInfo(folder.path() + "/" + aside[0]).size(),
                  row.sparseSize ? row.sparseSize : row.html.size());
    }
    paths::setProgramFolderForTesting(QString());
}

TEST(LogList, ANotebookWithAPastedTableAndMarkersStillLoads)
{
    QTemporaryDir folder;
    paths::setProgramFolderForTesting(folder.path());
    QFile f(folder.path() + "/lglist.dat");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><head><style>p, li { white-space: pre-wrap; }</style></head><body>"
            "<table border=1><tr><td><span style=\"background-color:#ffff00;\">7DF</span>"
            "</td></tr></table><p>x</p></body></html>");
    f.close();
    NotebookDocument view;
    EXPECT_TRUE(LoadLogList(view).loaded());
    EXPECT_TRUE(view.toPlainText().contains("7DF"));
    paths::setProgramFolderForTesting(QString());
}

// Pasted rich text keeps its text, text colours and markers, and nothing else.
TEST(LogList, PasteKeepsTextColoursAndMarkersOnly)
{
    for (const NotebookRow &row : hostileNotebooks()) {
        SCOPED_TRACE(row.name);
        QMimeData mime;
        mime.setHtml(row.sparseSize ? QString(NotebookDocument::kMaxBytes + 1, u'a')
                                    : QString::fromUtf8(row.html));
        if (row.sparseSize)
            mime.setText(QString(NotebookDocument::kMaxBytes + 1, u'a'));
        else if (!NotebookDocument::refusal(QString::fromUtf8(row.html),
                                            NotebookDocument::Source::Paste).isEmpty())
            mime.setText(QStringLiteral("notes"));   // refused rich text: the text comes in
        QElapsedTimer t;
        t.start();
        const QTextDocumentFragment kept = NotebookDocument::pasted(mime);
        EXPECT_LT(t.elapsed(), 2000);
        if (row.sparseSize) {
            EXPECT_TRUE(kept.isEmpty());
            continue;
        }
        EXPECT_EQ(kept.toPlainText().trimmed(), "notes");
        const QString html = kept.toHtml();
        for (const char *gone : {"<img", "<table", "url(", "background=", "@import"})
            EXPECT_FALSE(html.contains(gone)) << gone;
    }

    QMimeData mime;
    mime.setHtml("<p><span style=\"color:#ff0000; background-color:#ffff00;\">red</span>"
                 "<b>bold</b><font size=7 face=Serif>big</font></p><p>two</p>");
    NotebookDocument doc;
    QTextCursor(&doc).insertFragment(NotebookDocument::pasted(mime));
    EXPECT_EQ(doc.toPlainText(), "redboldbig\ntwo");
    QTextCursor probe(&doc);
    probe.setPosition(1);
    EXPECT_EQ(probe.charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(probe.charFormat().background().color(), QColor(255, 255, 0));
    probe.setPosition(5);
    EXPECT_NE(probe.charFormat().fontWeight(), QFont::Bold);
    probe.setPosition(9);
    EXPECT_FALSE(probe.charFormat().hasProperty(QTextFormat::FontPointSize));
}
