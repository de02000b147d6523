#include "DecodeCommand.h"

#include "CliCommon.h"
#include "Commands.h"
#include "Progress.h"
#include "StopSignals.h"

#include "DbcReader.h"
#include "LogConversion.h"
#include "LogInput.h"
#include "RecordFormat.h"
#include "SignalCsv.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <set>

namespace cli {

namespace {

constexpr int kShownProblems = 20;
constexpr size_t kFlushBytes = 1 << 20;

QString idText(uint32_t id, bool extended)
{
    if (extended)
        return QStringLiteral("%1x").arg(id, 8, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("%1").arg(id, 3, 16, QLatin1Char('0')).toUpper();
}

// Decodes what the readers hand over into CSV rows, written in large blocks.
class DecodeSink final : public LogSink
{
public:
    DecodeSink(const CanDatabase &db, std::FILE *out) : m_db(db), m_out(out)
    {
        m_buffer.reserve(kFlushBytes + 64 * 1024);
        m_buffer.append(signalcsv::kHeader);
    }

    // Times as the input holds them: from its start where the first file tells one (a
    // record file, an ASC, BLF or TRC header), else as they stand (a candump log's clock).
    void start(const LogInputStart &s) override
    {
        if (!m_originUs && s.originUs)
            m_originUs = s.originUs;
    }
    void frame(const LogFrame &f) override
    {
        ++frames;
        if (f.remote || f.error) {
            ++skipped;
            return;
        }
        const DbcMessage *m = f.extended ? m_db.message(f.id, true) : m_db.message11(f.id);
        if (!m) {
            ++unknown;
            return;
        }
        m_decoded.resize(m->signalList.size());
        const size_t length = f.length < 8 ? f.length : 8;
        const int n = signaldecoder::decode(*m, std::span(f.data, length), m_decoded.data());
        ++decoded;
        signalCount += n;
        signalcsv::appendRows(m_buffer, f.timeUs - m_originUs.value_or(0), *m, m_decoded.data(), n);
        if (m_buffer.size() >= kFlushBytes)
            flush();
    }
    // Frames a reader holds but cannot hand over (CAN FD in a BLF, say) are skipped too.
    void notRead(int64_t count, std::string_view) override { skipped += count; }
    void badLine(int64_t lineNumber, std::string_view reason) override
    {
        if (++badLines <= kShownProblems)
            printErr(QStringLiteral("bad line %1: %2")
                         .arg(lineNumber)
                         .arg(QLatin1String(reason.data(), qsizetype(reason.size()))));
    }
    bool flush()
    {
        if (!m_buffer.empty() && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_out)
                                     != m_buffer.size())
            writeFailed = true;
        m_buffer.clear();
        return !writeFailed;
    }

    int64_t frames = 0;
    int64_t decoded = 0;
    int64_t signalCount = 0;
    int64_t unknown = 0;
    int64_t skipped = 0;
    int64_t badLines = 0;
    bool writeFailed = false;

private:
    const CanDatabase &m_db;
    std::FILE *m_out;
    std::string m_buffer;
    std::vector<DecodedSignal> m_decoded;
    std::optional<int64_t> m_originUs;
};

} // namespace

std::optional<CanDatabase> loadDatabase(const QString &path)
{
    Result<CanDatabase> read = DbcReader::readFile(path);
    if (!read) {
        printErr(QStringLiteral("cankestrova-cli: ") + read.error());
        return std::nullopt;
    }
    const CanDatabase &db = read.value();
    const QString name = QFileInfo(path).fileName();
    for (const DbcProblem &p : db.problems())
        if (&p - db.problems().data() < kShownProblems)
            printErr(QStringLiteral("%1:%2: %3").arg(name).arg(p.line)
                         .arg(QString::fromStdString(p.text)));
    if (db.problemCount() > kShownProblems)
        printErr(QStringLiteral("%1: … and %2 more lines not used")
                     .arg(name)
                     .arg(db.problemCount() - kShownProblems));
    return std::move(read.value());
}

Result<LogReadStats> readInputFrames(const QString &in, const ELM327_Info &params,
                                     LogSink &sink, const ReadProgress &progress)
{
    const QStringList inputs = conversionInputs(in);
    if (inputs.isEmpty())
        return Result<LogReadStats>::failure(QStringLiteral("no record file or log in ") + in);
    int64_t total = 0;
    for (const QString &input : inputs)
        total += QFileInfo(input).size();
    int64_t before = 0;
    LogReadStats all;
    RecordTimeLine timeLine;
    for (const QString &input : inputs) {
        const Result<LogReadStats> r = readLogInput(
            input, params, sink,
            [&](int64_t done, int64_t) { return !progress || progress(before + done, total); },
            &timeLine);
        if (!r)
            return r;
        all.lines += r.value().lines;
        all.frames += r.value().frames;
        all.badLines += r.value().badLines;
        all.otherLines += r.value().otherLines;
        all.notRead += r.value().notRead;
        before += QFileInfo(input).size();
    }
    return all;
}

bool printDatabaseCycles(const CanDatabase &db, const std::vector<SeenId> &ids,
                         int32_t ratioPercent)
{
    bool allMatch = true;
    std::set<const DbcMessage *> seen;
    printOut(QStringLiteral("database: %1 messages (%2)")
                 .arg(db.messages().size())
                 .arg(db.formatText()));
    for (const SeenId &s : ids) {
        const DbcMessage *m = db.message(s.id, s.extended);
        if (!m) {
            printOut(QStringLiteral("  %1  not in the database").arg(idText(s.id, s.extended)));
            continue;
        }
        seen.insert(m);
        QString verdict;
        if (m->cycleTimeMs <= 0)
            verdict = QStringLiteral("no GenMsgCycleTime");
        else if (s.meanCycleMs <= 0)
            verdict = QStringLiteral("GenMsgCycleTime %1 ms, too few frames").arg(m->cycleTimeMs);
        else if (cycleDiffers(m->cycleTimeMs, s.meanCycleMs, ratioPercent)) {
            verdict = QStringLiteral("GenMsgCycleTime %1 ms, mean %2 ms: differs")
                          .arg(m->cycleTimeMs)
                          .arg(s.meanCycleMs, 0, 'f', 3);
            allMatch = false;
        } else
            verdict = QStringLiteral("GenMsgCycleTime %1 ms, mean %2 ms: ok")
                          .arg(m->cycleTimeMs)
                          .arg(s.meanCycleMs, 0, 'f', 3);
        printOut(QStringLiteral("  %1  %2  %3")
                     .arg(idText(s.id, s.extended), QString::fromStdString(m->name), verdict));
    }
    int missing = 0;
    for (const DbcMessage &m : db.messages())
        missing += m.extended ? 0 : !seen.count(&m);
    printOut(QStringLiteral("database messages not seen: %1").arg(missing));
    return allMatch;
}

int runDecode(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("dbc"), QStringLiteral("The CAN database (.dbc)."),
                      QStringLiteral("FILE")});
    parser.addPositionalArgument(QStringLiteral("IN"), QStringLiteral("A file or folder."));
    parser.addPositionalArgument(QStringLiteral("OUT"),
                                 QStringLiteral("The CSV file; standard output when left out "
                                                "or -."));
    if (const auto exit = parseCommandLine(
            parser, args,
            QStringLiteral(
                "cankestrova-cli decode --dbc FILE IN [OUT]\n\n"
                "Decodes the frames of record files (.dat, a folder in recording order) "
                "and text logs (.log, .asc, .csv) into the signals the CAN database "
                "defines: CSV in UTF-8, one row a signal,\n"
                "  time_ms,id,message,signal,value,unit,text\n"
                "value is the physical value, text the value's name where the database "
                "gives one. Of a multiplexed message only the page that arrived is written; "
                "signals beyond a frame's length are left out. Lines of the database that "
                "cannot be used are reported with their line numbers; the rest is used.\n"
                "One line at the end (stderr when the CSV goes to standard output):\n"
                "  decode: frames=N decoded=N signals=N unknown=N skipped=N bad-lines=N "
                "out=PATH"),
            1, 2))
        return *exit;
    if (!parser.isSet(QStringLiteral("dbc"))) {
        printErr(QStringLiteral("cankestrova-cli: decode needs --dbc FILE"));
        return ExitUsage;
    }
    const QStringList positional = parser.positionalArguments();
    const QString in = positional[0];
    const QString outPath = positional.size() > 1 ? positional[1] : QStringLiteral("-");
    const bool toStdout = outPath == QLatin1String("-");
    if (!QFileInfo::exists(in)) {
        printErr(QStringLiteral("cankestrova-cli: no such file or folder: ") + in);
        return ExitFiles;
    }
    const std::optional<CanDatabase> db = loadDatabase(parser.value(QStringLiteral("dbc")));
    if (!db)
        return ExitFiles;
    Session session;
    std::FILE *out = toStdout ? stdout : std::fopen(QFile::encodeName(outPath).constData(), "wb");
    if (!out) {
        printErr(QStringLiteral("cankestrova-cli: cannot write ") + outPath);
        return ExitFiles;
    }
    DecodeSink sink(*db, out);
    Progress progress(QStringLiteral("decoding"));
    stopsignals::install({});
    const Result<LogReadStats> read = readInputFrames(
        in, session.params, sink, [&](int64_t done, int64_t total) {
            progress.update(double(done) / 1e6, double(total) / 1e6, QStringLiteral("MB"));
            return stopsignals::received() == 0 && !sink.writeFailed;
        });
    progress.finish();
    const bool written = sink.flush() && std::fflush(out) == 0;
    const bool closed = toStdout || std::fclose(out) == 0;
    const QString summary =
        QStringLiteral("decode: frames=%1 decoded=%2 signals=%3 unknown=%4 skipped=%5 "
                       "bad-lines=%6 out=%7")
            .arg(sink.frames)
            .arg(sink.decoded)
            .arg(sink.signalCount)
            .arg(sink.unknown)
            .arg(sink.skipped)
            .arg(sink.badLines)
            .arg(outPath);
    if (!written || !closed) {
        printErr(QStringLiteral("cankestrova-cli: writing %1 failed").arg(outPath));
        return ExitFiles;
    }
    if (!read) {
        printErr(QStringLiteral("cankestrova-cli: ") + read.error());
        toStdout ? printErr(summary) : printOut(summary);
        return stopsignals::received() != 0 ? ExitIncomplete : ExitFiles;
    }
    toStdout ? printErr(summary) : printOut(summary);
    return sink.badLines > 0 ? ExitIncomplete : ExitOk;
}

} // namespace cli
