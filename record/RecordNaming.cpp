#include "RecordFiles.h"

#include "Paths.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

// Far beyond what one hour of recording can fill; only a folder flooded with our names
// by something else gets here.
constexpr int kLastNumber = 999999;
// A Linux file name holds 255 bytes; leave room for a "-NNNNNN" suffix.
constexpr qsizetype kMaxSubFolderNameBytes = 255 - 8;

std::function<QDateTime()> &recordClock()
{
    static std::function<QDateTime()> clock;
    return clock;
}

QDateTime now()
{
    return recordClock() ? recordClock()() : QDateTime::currentDateTime();
}

QString threeDigits(int number)
{
    return QString::number(number).rightJustified(3, QLatin1Char('0'));
}

bool nameTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Cuts at a character boundary so the name's UTF-8 form fits maxBytes.
QString fitBytes(const QString &name, qsizetype maxBytes)
{
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < name.size()
                          && name[i + 1].isLowSurrogate();
        const qsizetype n = pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (bytes + n > maxBytes)
            return name.left(i);
        bytes += n;
        if (pair)
            ++i;
    }
    return name;
}

} // namespace

QString recordBaseFolder(ELM327_Info &params)
{
    switch (params.t_LogSaveFilePath_mode) {
    case 1:
        return paths::desktopFolder();
    case 2:
        if (paths::isExistingFolder(params.t_LogSaveFilePath))
            return paths::removeTrailingSeparator(params.t_LogSaveFilePath);
        params.t_LogSaveFilePath = paths::desktopFolder();
        return params.t_LogSaveFilePath;
    default:
        return paths::fileFolder();
    }
}

QString recordHourStamp(const QDateTime &localTime)
{
    return localTime.toString(QStringLiteral("yyMMddHH"));
}

QString recordFileName(const QString &hourStamp, int number)
{
    return QStringLiteral("CR") + hourStamp + QLatin1Char('-') + threeDigits(number)
           + QStringLiteral(".dat");
}

bool recordFileNameLess(const QString &a, const QString &b)
{
    const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            // Without leading zeros, the longer number is the larger; of two as long, the
            // text decides.
            qsizetype si = i;
            qsizetype sj = j;
            while (si + 1 < ei && a[si] == QLatin1Char('0'))
                ++si;
            while (sj + 1 < ej && b[sj] == QLatin1Char('0'))
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int c = QStringView(a).sliced(si, ei - si).compare(QStringView(b).sliced(sj, ej - sj));
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i >= a.size();   // the one that ended first
    return a < b;
}

QString recordSubFolderName(const QString &comment)
{
    QString name = comment;
    name.remove(QLatin1Char('\r'));
    name.remove(QLatin1Char('\n'));
    name.replace(QLatin1Char('\t'), QStringLiteral("　　"));
    static const std::pair<char16_t, char16_t> kReplacements[] = {
        {u'\\', u'￥'}, {u'/', u'／'}, {u':', u'：'}, {u'*', u'＊'}, {u'?', u'？'},
        {u'"', u' '},   {u'<', u'＜'}, {u'>', u'＞'}, {u'|', u'｜'},
    };
    for (const auto &[from, to] : kReplacements)
        name.replace(QChar(from), QChar(to));
    // NUL ends a path on Linux and the other control characters make names nobody can
    // type; none of them belongs in a folder name.
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    if (name.trimmed().isEmpty())
        return {};
    // ".", ".." and hidden folders: the leading dots become full-width.
    for (qsizetype i = 0; i < name.size() && name[i] == QLatin1Char('.'); ++i)
        name[i] = QChar(u'．');
    return fitBytes(name, kMaxSubFolderNameBytes);
}

bool isPlainFolderName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

void setRecordClockForTesting(std::function<QDateTime()> clock)
{
    recordClock() = std::move(clock);
}

RecordFileResult WriteRecordFile(ELM327_Info &params, const FrameBuffer &buffer,
                                 QString &lastHourStamp, QString &lastSequenceNumber,
                                 const QString &subFolderName)
{
    const RecordTrailer trailer = RecordTrailer::fromParams(params);
    const QString stamp = recordHourStamp(now());
    int number = 1;
    if (stamp == lastHourStamp)
        number = std::max(1, lastSequenceNumber.toInt());
    else
        lastHourStamp = stamp;

    QString folder = recordBaseFolder(params);
    if (params.t_LogSave_subFolder == 1 && isPlainFolderName(subFolderName)
        && paths::isExistingFolder(paths::join(folder, subFolderName)))
        folder = paths::join(folder, subFolderName);

    const QByteArray bytes = encodeRecordFile(buffer, trailer);
    RecordFileResult result =
        RecordFileResult::failure(folder, QStringLiteral("no free record file name"));
    for (; number <= kLastNumber; ++number) {
        const QString path = paths::join(folder, recordFileName(stamp, number));
        if (nameTaken(path))
            continue;
        lastSequenceNumber = threeDigits(number);
        result = writeNewRecordFile(path, bytes);
        // Someone else may have taken the name between the test and the creation.
        if (result.ok() || !nameTaken(path))
            return result;
    }
    return result;
}

RecordFileResult CreateRecordSubFolder(ELM327_Info &params, QString &subFolderName)
{
    subFolderName.clear();
    const QString base = recordBaseFolder(params);
    if (!paths::isExistingFolder(base))
        return RecordFileResult::failure(base, QStringLiteral("the record folder does not exist"));
    const QString name = recordSubFolderName(params.t_LogComment);
    if (name.isEmpty())
        return RecordFileResult::success(base);

    for (int n = 1; n <= kLastNumber; ++n) {
        const QString candidate = n == 1 ? name : name + QLatin1Char('-') + threeDigits(n);
        const QString path = paths::join(base, candidate);
        if (nameTaken(path))
            continue;
        std::error_code error;
        const bool made =
            std::filesystem::create_directory(QFile::encodeName(path).toStdString(), error);
        if (made) {
            subFolderName = candidate;
            return RecordFileResult::success(path);
        }
        if (!nameTaken(path))
            return RecordFileResult::failure(path, QString::fromLocal8Bit(error.message()));
    }
    return RecordFileResult::failure(base, QStringLiteral("no free sub-folder name"));
}
