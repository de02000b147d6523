#include "StringBuilder.h"

#include <algorithm>
#include <limits>

QChar *StringBuilder::reserveFor(qsizetype count)
{
    // A table that long cannot arise (2047 short lines); refuse rather than overflow.
    if (count > std::numeric_limits<int32_t>::max() - mTextLength - kGrowth)
        return nullptr;
    while (mBuffer.size() < mTextLength + count)
        mBuffer.append(QString(kGrowth, QChar(0)));
    return mBuffer.data() + mTextLength;
}

void StringBuilder::Append(QStringView text)
{
    if (text.isEmpty())
        return;
    QChar *out = reserveFor(text.size());
    if (!out)
        return;
    std::copy(text.begin(), text.end(), out);
    mTextLength += int32_t(text.size());
}

void StringBuilder::Append(QLatin1String text)
{
    if (text.isEmpty())
        return;
    QChar *out = reserveFor(text.size());
    if (!out)
        return;
    for (char c : text)
        *out++ = QLatin1Char(c);
    mTextLength += int32_t(text.size());
}
