#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// Accumulates the monitor table: the buffer grows in steps of 65535 characters and is
// written in place, so a table of a hundred thousand characters costs two allocations
// per tick instead of one per piece.
class StringBuilder final
{
public:
    static constexpr int32_t kGrowth = 65535;

    void Append(QStringView text);
    void Append(QLatin1String text);
    void Append(QChar c) { Append(QStringView(&c, 1)); }

    QString Text() const { return mBuffer.left(mTextLength); }

    // Characters in use; the offset the next piece will start at.
    int32_t length() const { return mTextLength; }
    int32_t capacity() const { return int32_t(mBuffer.size()); }

    // Starts over with the buffer kept, for the next tick.
    void clear() { mTextLength = 0; }

private:
    QChar *reserveFor(qsizetype count);

    QString mBuffer;
    int32_t mTextLength = 0;
};
