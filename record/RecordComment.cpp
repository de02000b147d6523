#include "RecordComment.h"

QString recordComment(QString text)
{
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    qsizetype characters = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())
            continue;
        if (++characters > kRecordCommentMaxCharacters)
            return text.left(i);
    }
    return text;
}
