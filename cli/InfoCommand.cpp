#include "CliCommon.h"
#include "Commands.h"
#include "DecodeCommand.h"

#include "LogConversion.h"
#include "LogInput.h"
#include "LogTextReader.h"
#include "RecordFormat.h"

#include <QFileInfo>

#include <cmath>
#include <map>

namespace cli {

namespace {

// Counts and times per identifier, over one file or a whole recording.
struct IdStats
{
    int64_t count = 0;
    double first = 0;
    double last = 0;
};

class StatsSink final : public LogSink
{
public:
    void frame(const LogFrame &f) override
    {
        const double ms = double(f.timeUs) / 1000.0;
        if (f.channel != 0)
            ++channels[f.channel];
        // CAN FD and error frames are counted apart: no identifier of a record file.
        if (f.fd) {
            ++fdFrames;
            return;
        }
        if (f.error) {
            ++errorFrames;
            return;
        }
        if (f.remote)
            ++remoteFrames;
        add(f.extended ? int64_t(f.id) | (int64_t(1) << 32) : int64_t(f.id), ms);
    }
    void notRead(int64_t count, std::string_view reason) override
    {
        printErr(QStringLiteral("  %1 frames not read: %2")
                     .arg(count)
                     .arg(QLatin1String(reason.data(), qsizetype(reason.size()))));
        notReadFrames += count;
    }
    void badLine(int64_t lineNumber, std::string_view reason) override
    {
        if (++badLines <= 10)
            printErr(QStringLiteral("  bad line %1: %2")
                         .arg(lineNumber)
                         .arg(QLatin1String(reason.data(), qsizetype(reason.size()))));
    }
    void add(int64_t id, double ms)
    {
        IdStats &s = ids[id];
        if (s.count == 0)
            s.first = ms;
        s.last = ms;
        ++s.count;
        // The span from the earliest to the latest frame: logs need not be in time order.
        if (frames == 0 || ms < firstMs)
            firstMs = ms;
        if (frames == 0 || ms > lastMs)
            lastMs = ms;
        ++frames;
    }

    std::map<int64_t, IdStats> ids;
    std::map<int, int64_t> channels;
    int64_t fdFrames = 0;
    int64_t errorFrames = 0;
    int64_t remoteFrames = 0;
    int64_t notReadFrames = 0;
    int64_t frames = 0;
    int64_t badLines = 0;
    double firstMs = 0;
    double lastMs = 0;
};

QString idText(int64_t id)
{
    if (id >> 32)
        return QStringLiteral("%1x").arg(uint32_t(id), 8, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("%1").arg(id, 3, 16, QLatin1Char('0')).toUpper();
}

// One record file: its check, trailer and frames. False when it does not pass the check.
bool recordInfo(const QString &path, const ELM327_Info &params, StatsSink &stats)
{
    FrameBuffer buffer;
    RecordTrailer trailer;
    const int32_t code = readRecordFile(path, params, &buffer, trailer);
    const char *verdict = code == 0    ? "ok"
                          : code == -2 ? "fails (written by another program)"
                                       : "fails (missing, short or unreadable)";
    const int n = code == 0 ? buffer.frameCount() : 0;
    printOut(QStringLiteral("%1: check %2, frames %3%4")
                 .arg(QFileInfo(path).fileName(), QLatin1String(verdict))
                 .arg(n)
                 .arg(n > 0 ? QStringLiteral(", %1 … %2 ms").arg(buffer[0].time, 0, 'f', 3)
                                  .arg(buffer[n - 1].time, 0, 'f', 3)
                            : QString()));
    if (code != -1)
        printOut(QStringLiteral("  product \"%1\" maker \"%2\" key \"%3\" comment \"%4\"")
                     .arg(trailer.product, trailer.maker, trailer.key, trailer.comment));
    for (int i = 0; i < n; ++i)
        stats.add(buffer[i].identifier, buffer[i].time);
    return code == 0;
}

} // namespace

int runInfo(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("dbc"),
                      QStringLiteral("A CAN database: names each identifier's message and "
                                     "compares its mean cycle with GenMsgCycleTime."),
                      QStringLiteral("FILE")});
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("A file or folder."));
    if (const auto exit = parseCommandLine(
            parser, args,
            QStringLiteral("cankestrova-cli info [--dbc FILE] FILE|DIR\n\n"
                           "For record files: whether each passes the record-file check, its "
                           "trailer strings (product, maker, key, comment), frames and times; "
                           "for .log, .asc, .csv, .blf and .trc files (also as .gz) the frames, "
                           "read as convert reads them, and bad lines. Then, over all, the "
                           "identifiers with their counts and mean cycle times, the CAN FD, "
                           "error and remote frames and the channels. Exit code 4 when a file "
                           "cannot be read or holds no frame, 1 when lines are not valid."),
            1, 1))
        return *exit;
    Session session;
    const QString path = parser.positionalArguments().first();
    if (!QFileInfo::exists(path)) {
        printErr(QStringLiteral("cankestrova-cli: no such file or folder: ") + path);
        return ExitFiles;
    }
    std::optional<CanDatabase> db;
    if (parser.isSet(QStringLiteral("dbc"))
        && !(db = loadDatabase(parser.value(QStringLiteral("dbc")))))
        return ExitFiles;
    StatsSink stats;
    bool allPass = true;
    bool unreadable = false;
    const QStringList inputs = conversionInputs(path);
    for (const QString &input : inputs) {
        const LogFormat format = logFormatOfPath(input);
        if (format == LogFormat::Record) {
            allPass = recordInfo(input, session.params, stats) && allPass;
        } else if (isStreamLogFormat(format)) {
            const Result<LogReadStats> r = readLogInput(input, session.params, stats);
            if (!r) {
                printErr(QStringLiteral("cankestrova-cli: ") + r.error());
                unreadable = true;
                continue;
            }
            printOut(QStringLiteral("%1: frames %2, bad lines %3")
                         .arg(QFileInfo(input).fileName())
                         .arg(r.value().frames)
                         .arg(r.value().badLines));
            allPass = allPass && r.value().badLines == 0 && r.value().notRead == 0;
        } else {
            printErr(QStringLiteral("cankestrova-cli: not a log or record file: ") + input);
            allPass = false;
        }
    }
    printOut(QStringLiteral("frames %1, time %2 s, identifiers %3")
                 .arg(stats.frames)
                 .arg((stats.lastMs - stats.firstMs) / 1000.0, 0, 'f', 3)
                 .arg(stats.ids.size()));
    if (stats.fdFrames + stats.errorFrames + stats.remoteFrames > 0)
        printOut(QStringLiteral("  CAN FD %1, error frames %2, remote %3")
                     .arg(stats.fdFrames)
                     .arg(stats.errorFrames)
                     .arg(stats.remoteFrames));
    if (!stats.channels.empty()) {
        QStringList channels;
        for (const auto &[channel, count] : stats.channels)
            channels << QStringLiteral("%1: %2").arg(channel).arg(count);
        printOut(QStringLiteral("  channels ") + channels.join(QStringLiteral(", ")));
    }
    for (const auto &[id, s] : stats.ids) {
        const QString cycle
            = s.count > 1
                  ? QStringLiteral("%1 ms").arg((s.last - s.first) / double(s.count - 1), 0, 'f', 3)
                  : QStringLiteral("-");
        printOut(QStringLiteral("  %1  count %2  mean cycle %3")
                     .arg(idText(id))
                     .arg(s.count)
                     .arg(cycle));
    }
    if (db) {
        std::vector<SeenId> seen;
        for (const auto &[id, s] : stats.ids)
            seen.push_back({uint32_t(id), (id >> 32) != 0, s.count,
                            s.count > 1 ? (s.last - s.first) / double(s.count - 1) : 0.0});
        allPass = printDatabaseCycles(*db, seen, session.params.t_MsgLateColor_Ratio) && allPass;
    }
    if (unreadable)
        return ExitFiles;
    return allPass ? ExitOk : ExitIncomplete;
}

} // namespace cli
