#pragma once

#include <QByteArray>
#include <QString>

// Text as stored in settings and record files: code page 932 (Shift-JIS with Microsoft's
// extensions), so files move between this program and Japanese Windows unchanged.
namespace cp932 {

// Characters that code page 932 cannot hold become "?".
QByteArray encode(const QString &text);
// Bytes that are not valid code page 932 become "?".
QString decode(const QByteArray &bytes);

} // namespace cp932
