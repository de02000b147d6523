#pragma once

#include <QByteArray>

class QTextDocument;

// The text view as a Rich Text Format document that word processors open with its text
// colours and background markers (colour table, \cf, \highlight and \chcbpat, \uN).
QByteArray documentToRtf(const QTextDocument &document);
