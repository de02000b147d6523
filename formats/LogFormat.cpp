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
    if (n == QLatin1String("blf"))
        return LogFormat::Blf;
    if (n == QLatin1String("trc"))
        return LogFormat::Trc;
    return LogFormat::Unknown;
}

bool isGzipPath(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("gz"), Qt::CaseInsensitive) == 0;
}

LogFormat logFormatOfPath(const QString &path)
{
    if (isGzipPath(path)) {
        const QString inner = QFileInfo(path).completeBaseName();
        const LogFormat f = logFormatOfName(QFileInfo(inner).suffix());
        return isStreamLogFormat(f) ? f : LogFormat::Unknown;
    }
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
    case LogFormat::Blf: return QStringLiteral(".blf");
    case LogFormat::Trc: return QStringLiteral(".trc");
    case LogFormat::Unknown: break;
    }
    return {};
}

QString logFormatTitle(LogFormat format)
{
    switch (format) {
    case LogFormat::Record: return QStringLiteral("record file (.dat)");
    case LogFormat::Candump: return QStringLiteral("candump log (.log)");
    case LogFormat::Asc: return QStringLiteral("Vector ASCII log (.asc)");
    case LogFormat::Csv: return QStringLiteral("CSV log (.csv)");
    case LogFormat::Xls: return QStringLiteral("workbook (.xls)");
    case LogFormat::Blf: return QStringLiteral("Vector binary log (.blf)");
    case LogFormat::Trc: return QStringLiteral("PEAK trace (.trc)");
    case LogFormat::Unknown: break;
    }
    return QStringLiteral("log");
}

bool isStreamLogFormat(LogFormat format)
{
    return isTextLogFormat(format) || format == LogFormat::Blf || format == LogFormat::Trc;
}

bool isTextLogFormat(LogFormat format)
{
    return format == LogFormat::Candump || format == LogFormat::Asc || format == LogFormat::Csv;
}
