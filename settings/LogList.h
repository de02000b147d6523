#pragma once

#include <QString>

class QTextDocument;

// lglist.dat in the program's folder keeps the main text view, colours and markers
// included, from one run to the next (stored in the rich-text control's own format).
QString logListPath();
// Replaces the document's content when the file exists; true when it was loaded.
bool LoadLogList(QTextDocument &view);
// True when written; nothing is written when the program's folder is missing.
bool SaveLogList(const QTextDocument &view);
