#pragma once

#include <QString>
#include <QTextDocument>
#include <QTextDocumentFragment>

class QMimeData;

// The notebook's document. It holds text, text colours and background markers, and never
// loads anything from a file or the network: images, backgrounds, style sheets and their
// imports in loaded or pasted rich text come to nothing.
class NotebookDocument final : public QTextDocument
{
    Q_OBJECT

public:
    // Larger rich text is refused outright: a notebook with its last table and the user's
    // notes is a few megabytes.
    static constexpr qint64 kMaxBytes = 32 * 1024 * 1024;
    // Tables inside tables take the layout time that doubles with each level, and other
    // elements nested thousands deep exhaust the stack; a notebook needs neither.
    static constexpr int kMaxTableDepth = 4;
    static constexpr int kMaxElementDepth = 100;

    using QTextDocument::QTextDocument;

    // Why rich text may not be handed to the document, or empty when it may. A file is
    // also refused for references to images and style sheets (the notebook never writes
    // them); a paste only for its size and nesting, since what it refers to is dropped.
    enum class Source { File, Paste };
    static QString refusal(QStringView html, Source source = Source::File);
    // What a paste brings into the notebook: its text with only the text and background
    // colours, nothing for content that is refused.
    static QTextDocumentFragment pasted(const QMimeData &source);

protected:
    QVariant loadResource(int type, const QUrl &name) override;
};
