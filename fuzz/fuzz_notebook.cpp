// lglist.dat and pasted rich text: the notebook's check, the document it loads into, its
// layout, and what a paste keeps.
#include "NotebookDocument.h"

#include <QGuiApplication>
#include <QMimeData>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString html = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    if (NotebookDocument::refusal(html).isEmpty()) {
        NotebookDocument doc;
        doc.setHtml(html);
        doc.setTextWidth(600);
        doc.pageCount();   // the whole layout
        doc.toHtml();
    }
    QMimeData mime;
    mime.setHtml(html);
    mime.setText(html);
    NotebookDocument::pasted(mime);
    return 0;
}
