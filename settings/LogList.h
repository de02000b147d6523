#pragma once

#include <QString>

class QTextDocument;

// lglist.dat in the program's folder keeps the main text view, colours and markers
// included, from one run to the next (stored in the rich-text control's own format).
QString logListPath();

// What loading lglist.dat came to. A refused file (too large, or nested beyond what a
// notebook holds) is renamed aside, the document is left empty, and message says so.
struct LogListLoad
{
    enum Outcome { Missing, Loaded, Refused };
    Outcome outcome = Missing;
    QString message;
    bool loaded() const { return outcome == Loaded; }
};

// Replaces the document's content when the file exists and may be loaded.
LogListLoad LoadLogList(QTextDocument &view);
// True when written; nothing is written when the program's folder is missing.
bool SaveLogList(const QTextDocument &view);
