#include "LogFormat.h"

#include <QFileInfo>

LogFormat logFormatOfName(const QString &name)
{
    const QString n = name.toLower();
    if (n == QLatin1String("dat"))
        return LogFormat::Record;
    if (n == QLatin1String("log"))
        return LogFormat::Candump;
    if (n == QLatin1String("asc"))
        return LogFormat::Asc;
    if (n == QLatin1String("csv"))
        return LogFormat::Csv;
    if (n == QLatin1String("xls"))
        return LogFormat::Xls;
    return LogFormat::Unknown;
}

LogFormat logFormatOfPath(const QString &path)
{
    return logFormatOfName(QFileInfo(path).suffix());
}

QString logFormatExtension(LogFormat format)
{
    switch (format) {
    case LogFormat::Record: return QStringLiteral(".dat");
    case LogFormat::Candump: return QStringLiteral(".log");
    case LogFormat::Asc: return QStringLiteral(".asc");
    case LogFormat::Csv: return QStringLiteral(".csv");
    case LogFormat::Xls: return QStringLiteral(".xls");
    case LogFormat::Unknown: break;
    }
    return {};
}

bool isTextLogFormat(LogFormat format)
{
    return format == LogFormat::Candump || format == LogFormat::Asc || format == LogFormat::Csv;
}
