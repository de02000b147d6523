#include "LogConversion.h"

#include "ELM327_Info.h"
#include "Excel_OutputDB.h"
#include "FrameBuffer.h"
#include "LogInput.h"
#include "LogTextWriter.h"
#include "Paths.h"
#include "RecordFiles.h"
#include "RecordFormat.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Where the frames go: one file of a log format, or a series of record files.
class FrameTarget : public LogSink
{
public:
    explicit FrameTarget(ConversionReport &report) : m_report(report) {}

    void setInput(const QString &path)
    {
        m_input = QFileInfo(path).fileName();
        m_inputEarliest.reset();
    }
    // The earliest time of the frames read from the input so far.
    std::optional<int64_t> inputEarliest() const { return m_inputEarliest; }
    void setChannel(int channel) { m_channel = channel; }

    virtual void endInput() {}
    virtual Result<> finish() = 0;
    // Stopped half-way: nothing half-written is left behind.
    virtual void abandon() = 0;

    void frame(const LogFrame &f) override
    {
        if (!m_inputEarliest || f.timeUs < *m_inputEarliest)
            m_inputEarliest = f.timeUs;
        ++m_report.framesRead;
        if (f.channel != 0)
            ++m_report.channelFrames[f.channel];
        if (f.tx)
            ++m_report.txFrames;
        if (m_channel != 0 && f.channel != m_channel && !(f.channel == 0 && m_channel == 1)) {
            ++m_report.skippedChannel;
            return;
        }
        accept(f);
    }

    void notRead(int64_t count, std::string_view reason) override
    {
        m_report.framesRead += count;
        notCarried(reason, count);
    }

    void badLine(int64_t lineNumber, std::string_view reason) override
    {
        ++m_report.badLines;
        if (m_report.badLineTexts.size() < ConversionReport::kMaxBadLineTexts)
            m_report.badLineTexts << QStringLiteral("%1:%2: %3")
                                         .arg(m_input)
                                         .arg(lineNumber)
                                         .arg(QString::fromLatin1(reason.data(),
                                                                  qsizetype(reason.size())));
    }

protected:
    virtual void accept(const LogFrame &f) = 0;

    void notCarried(std::string_view reason, int64_t count = 1)
    {
        m_report.notCarried[QString::fromLatin1(reason.data(), qsizetype(reason.size()))] += count;
    }

    void countSkipped(const LogFrame &f)
    {
        if (f.fd)
            ++m_report.skippedFd;
        else if (f.error)
            ++m_report.skippedError;
        else if (f.remote)
            ++m_report.skippedRemote;
        else if (f.extended || f.id > 0x7FF)
            ++m_report.skippedExtended;
        else
            ++m_report.skippedIdZero;
    }

    ConversionReport &m_report;
    QString m_input;
    std::optional<int64_t> m_inputEarliest;
    int m_channel = 0;
};

// Why a frame can be held back that a second reading, knowing the earliest frames, keeps.
constexpr const char *kBeforeFileStart = "time before the file's start";
constexpr const char *kBeforeInputStart = "time before the input's first frame";

class TextTarget final : public FrameTarget
{
public:
    TextTarget(ConversionReport &report, LogFormat format, std::unique_ptr<LogTextWriter> writer)
        : FrameTarget(report), m_format(format), m_writer(std::move(writer))
    {
    }

    Result<> open(const QString &path) { return m_out.open(path); }
    // The earliest time of all the frames to come, when known: no frame is written before
    // the file's start.
    void setEarliest(std::optional<int64_t> us) { m_earliest = us; }

    void start(const LogInputStart &s) override
    {
        if (!m_begun && s.originUs)
            begin(*s.originUs);
    }

    void accept(const LogFrame &f) override
    {
        if (!m_writer->canCarry(f)) {
            countSkipped(f);
            return;
        }
        if (!m_begun)
            begin(f.timeUs);
        if (m_format == LogFormat::Candump ? f.timeUs < 0 : f.timeUs < m_originUs) {
            notCarried(m_format == LogFormat::Candump ? "time before 1970" : kBeforeFileStart);
            return;
        }
        m_writer->write(m_out, f);
        ++m_report.framesWritten;
    }

    void abandon() override
    {
        m_out.close();
        QFile::remove(m_out.path());
    }

    Result<> finish() override
    {
        if (!m_begun)
            begin(QDateTime::currentMSecsSinceEpoch() * 1000);
        m_writer->end(m_out);
        const Result<> closed = m_out.close();
        if (closed)
            m_report.outputs << m_out.path();
        return closed;
    }

private:
    void begin(int64_t originUs)
    {
        m_begun = true;
        if (m_earliest && *m_earliest < originUs)
            originUs = *m_earliest;
        // The formats whose start holds whole milliseconds begin at the one before.
        if (m_format != LogFormat::Csv)
            originUs = (originUs / 1000 - (originUs % 1000 < 0 ? 1 : 0)) * 1000;
        m_originUs = originUs;
        m_writer->begin(m_out, originUs);
    }

    LogFormat m_format;
    std::unique_ptr<LogTextWriter> m_writer;
    TextOutput m_out;
    std::optional<int64_t> m_earliest;
    int64_t m_originUs = 0;
    bool m_begun = false;
};

class RecordTarget final : public FrameTarget
{
public:
    // Into folder as a recording names its files, or, with fileName, as fileName.dat when
    // all fits one record file and fileName-001.dat, -002, … when not.
    RecordTarget(ConversionReport &report, const ELM327_Info &params, const QString &folder,
                 const QString &fileName = {})
        : FrameTarget(report), m_params(params), m_folder(folder), m_fileName(fileName)
    {
        m_params.t_LogSaveFilePath_mode = 2;
        m_params.t_LogSaveFilePath = folder;
        m_params.t_LogSave_subFolder = 0;
        m_buffer = std::make_unique<FrameBuffer>();
    }

    // A log's times count from its first frame, or from its earliest when that is earlier
    // (known from a first reading), so that frames earlier than the first stay; a record
    // file's from its recording's start, which continues over the folder.
    void setEarliest(std::optional<int64_t> us) { m_earliest = us; }

    void start(const LogInputStart &s) override
    {
        if (m_continuous && !m_origin)
            m_origin = s.originUs;
        if (!m_continuous)
            m_origin = m_earliest;
        if (m_keepComments && !s.comment.isNull())
            m_params.t_LogComment = s.comment;
    }
    void setKeepComments(bool on) { m_keepComments = on; }

    void accept(const LogFrame &f) override
    {
        if (!f.fitsRecordFile()) {
            countSkipped(f);
            return;
        }
        if (!m_origin)
            m_origin = f.timeUs;
        if (f.timeUs < *m_origin) {
            notCarried(kBeforeInputStart);
            return;
        }
        if (m_fill == FrameBuffer::kSlots)
            flush(false);
        RecordFrame &slot = (*m_buffer)[m_fill];
        slot.identifier = int32_t(f.id);
        slot.time = double(f.timeUs - *m_origin) / 1000.0;
        slot.dlc = f.dlc;
        slot.data = {};
        std::copy(f.data, f.data + std::min<int>(f.length, 8), slot.data.begin());
        ++m_report.framesWritten;
        ++m_fill;
    }

    // Each text log is a recording of its own: its frames start a new file.
    void endInput() override
    {
        m_earliest.reset();
        if (m_continuous)
            return;
        m_origin.reset();
        if (m_fileName.isEmpty())
            flush(false);
    }
    void setContinuous(bool on) { m_continuous = on; }

    void abandon() override {}

    Result<> finish() override
    {
        flush(true);
        return m_failure.isEmpty() ? Result<>() : Result<>::failure(m_failure);
    }

private:
    void flush(bool last)
    {
        if (m_fill == 0)
            return;
        RecordFileResult written;
        if (m_fileName.isEmpty()) {
            written = WriteRecordFile(m_params, *m_buffer, m_lastHourStamp, m_lastSequenceNumber,
                                      {});
        } else {
            const QString name = last && m_number == 0
                                     ? m_fileName + QStringLiteral(".dat")
                                     : QStringLiteral("%1-%2.dat")
                                           .arg(m_fileName)
                                           .arg(++m_number, 3, 10, QLatin1Char('0'));
            written = writeNewRecordFile(paths::join(m_folder, name),
                                         encodeRecordFile(*m_buffer,
                                                          RecordTrailer::fromParams(m_params)));
        }
        if (written.ok()) {
            m_report.outputs << written.path;
        } else {
            m_report.framesWritten -= m_fill;
            if (m_failure.isEmpty())
                m_failure = written.path + QStringLiteral(": ") + written.error;
        }
        m_buffer->clear();
        m_fill = 0;
    }

    ELM327_Info m_params;
    QString m_folder;
    QString m_fileName;
    int m_number = 0;
    std::unique_ptr<FrameBuffer> m_buffer;
    int m_fill = 0;
    std::optional<int64_t> m_origin;
    std::optional<int64_t> m_earliest;
    bool m_continuous = false;
    bool m_keepComments = false;
    QString m_lastHourStamp;
    QString m_lastSequenceNumber;
    QString m_failure;
};

// Why the engine could not read a workbook, in words.
QString workbookLoadError(int32_t code, const Excel_OutputDB &engine)
{
    switch (code) {
    case Excel_OutputDB::kNoSuchWorkbook:
        return QStringLiteral("cannot be read");
    case Excel_OutputDB::kBadHeader:
        return QStringLiteral("not a workbook of this program (its header cells differ)");
    case Excel_OutputDB::kForeignWorkbook:
        return QStringLiteral("made for another program (cell A1); skipped");
    case Excel_OutputDB::kBadCells:
        return QStringLiteral("holds no frames");
    case Excel_OutputDB::kFirstRowInvalid:
        return QStringLiteral("the first frame (row %1) is not valid")
            .arg(Excel_OutputDB::kTableSheetRow + 1);
    default:
        break;
    }
    if (!engine.lastError().isEmpty())
        return QStringLiteral("cannot be read: ") + engine.lastError();
    if (code <= -1 && code >= -20999)
        return QStringLiteral("frame %1 (row %2) is not valid")
            .arg(-code)
            .arg(-code + Excel_OutputDB::kTableSheetRow + 1);
    return QStringLiteral("cannot be read (%1)").arg(code);
}

Result<> readWorkbookInput(const QString &path, const ELM327_Info &params,
                           SpreadsheetServer *server, FrameTarget &target,
                           RecordTimeLine &timeLine)
{
    Excel_OutputDB engine;
    const int32_t code = engine.CF_XLS_FileDataLoad(params, server, path);
    if (code != 0)
        return Result<>::failure(workbookLoadError(code, engine));
    // Read as the record file it was made from.
    const FrameBuffer &frames = engine.frames();
    const int count = frames.frameCount();
    const double last = count > 0 ? frames[count - 1].time : 0;
    if (!timeLine.baseUs) {
        const int64_t written = QFileInfo(path).lastModified().toMSecsSinceEpoch() * 1000;
        const int64_t span = std::isfinite(last) && std::fabs(last) < 1e12
                                 ? int64_t(std::llround(last * 1000))
                                 : 0;
        timeLine.baseUs = std::max<int64_t>(0, written - span) / 1000 * 1000;
    }
    target.start({timeLine.baseUs, engine.recordComment()});
    LogFrame f;
    for (int i = 0; i < count; ++i) {
        const RecordFrame &r = frames[i];
        if (!std::isfinite(r.time) || std::fabs(r.time) > 1e12) {
            target.notRead(1, "time not a number");
            continue;
        }
        f.timeUs = *timeLine.baseUs + int64_t(std::llround(r.time * 1000));
        f.id = uint32_t(r.identifier);
        f.dlc = r.dlc;
        f.length = std::min<uint8_t>(r.dlc, 8);
        std::copy(r.data.begin(), r.data.end(), f.data);
        target.frame(f);
    }
    return {};
}

// The server of a conversion, started when the first workbook comes up.
class WorkbookServer
{
public:
    explicit WorkbookServer(const ConversionOptions &options) : m_options(options) {}

    Result<SpreadsheetServer *> get()
    {
        if (!m_started) {
            m_started = true;
            m_result = m_options.workbookServer
                           ? m_options.workbookServer()
                           : Result<SpreadsheetServer *>::failure(
                                 QStringLiteral(".xls needs LibreOffice, which this run has not"));
        }
        if (m_result && !m_result.value()->isAlive())
            return Result<SpreadsheetServer *>::failure(
                QStringLiteral("LibreOffice stopped during the conversion"));
        return m_result;
    }

private:
    const ConversionOptions &m_options;
    bool m_started = false;
    Result<SpreadsheetServer *> m_result = Result<SpreadsheetServer *>::failure({});
};

// Record files to workbooks, one each, named after it.
Result<ConversionReport> convertToWorkbooks(const QStringList &inputs, const QString &out,
                                            const ConversionOptions &options,
                                            const ELM327_Info &params)
{
    using R = Result<ConversionReport>;
    for (const QString &input : inputs)
        if (logFormatOfPath(input) != LogFormat::Record)
            return R::failure(input + QStringLiteral(": only record files (.dat) become "
                                                     "workbooks; convert it to .dat first"));
    const bool intoFile = inputs.size() == 1 && !QFileInfo(out).isDir()
                          && logFormatOfPath(out) == LogFormat::Xls;
    const QString folder = intoFile ? QFileInfo(out).absolutePath() : out;
    if (!intoFile && logFormatOfPath(out) == LogFormat::Xls && !QFileInfo(out).isDir())
        return R::failure(out + QStringLiteral(": several workbooks go into a folder"));
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        return R::failure(folder + QStringLiteral(": cannot make the output folder"));

    ELM327_Info p = params;
    p.t_CF_Save_Path_mode = 2;
    p.t_CF_Save_Path = folder;
    WorkbookServer workbooks(options);
    ConversionReport report;
    int64_t total = 0;
    for (const QString &input : inputs)
        total += QFileInfo(input).size();
    int64_t before = 0;
    for (const QString &input : inputs) {
        const Result<SpreadsheetServer *> server = workbooks.get();
        if (!server)
            return R::failure(server.error());
        const QFileInfo info(input);
        const QString base = intoFile ? QFileInfo(out).completeBaseName()
                                      : info.completeBaseName();
        Excel_OutputDB engine;
        if (engine.CF_DAT_FileDataLoad(p, input) != 0) {
            report.skippedInputs << info.fileName()
                                        + QStringLiteral(": not a record file of this program");
        } else {
            const int frames = engine.frames().frameCount();
            report.framesRead += frames;
            if (engine.Excel_DataOutput(p, server.value(), base) == 0) {
                ++report.inputs;
                report.framesWritten += frames;
                report.outputs << engine.lastOutputPath();
            } else {
                report.skippedInputs << info.fileName() + QStringLiteral(": ")
                                            + engine.lastOutputPath() + QStringLiteral(": ")
                                            + engine.lastError();
            }
        }
        before += info.size();
        if (options.progress && !options.progress(before, total))
            return R::failure(QStringLiteral("stopped; the workbooks finished so far are kept"));
    }
    return report;
}

// The earliest frame of each input and of all, as a first reading found them.
struct Earliest
{
    std::map<QString, int64_t> perInput;
    std::optional<int64_t> all;
};

// One reading of the inputs into the target. Files start at their earliest frames when
// plan tells them; seen gets the earliest frames this reading met.
Result<ConversionReport> convertOnce(const QStringList &inputs, const QString &out, LogFormat to,
                                     const ConversionOptions &options, const ELM327_Info &params,
                                     bool single, bool allText, const Earliest *plan,
                                     Earliest &seen)
{
    using R = Result<ConversionReport>;
    ConversionReport report;
    std::unique_ptr<FrameTarget> target;
    if (to == LogFormat::Record) {
        const QFileInfo outInfo(out);
        const bool intoFile = !outInfo.isDir() && logFormatOfPath(out) == LogFormat::Record;
        const QString folder = intoFile ? outInfo.absolutePath() : out;
        if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
            return R::failure(folder + QStringLiteral(": cannot make the output folder"));
        auto records = std::make_unique<RecordTarget>(
            report, params, folder, intoFile ? outInfo.completeBaseName() : QString());
        records->setContinuous(!allText);
        records->setKeepComments(options.keepComments);
        target = std::move(records);
    } else {
        QString path = out;
        if (QFileInfo(out).isDir())
            path = paths::join(out, QFileInfo(inputs.first()).completeBaseName()
                                        + logFormatExtension(to));
        report.targetKeepsChannels = to != LogFormat::Csv;
        auto text = std::make_unique<TextTarget>(report, to, makeLogTextWriter(to));
        if (plan)
            text->setEarliest(plan->all);
        if (const Result<> opened = text->open(path); !opened)
            return R::failure(opened.error());
        target = std::move(text);
    }
    target->setChannel(options.channel);

    int64_t total = 0;
    for (const QString &input : inputs)
        total += QFileInfo(input).size();
    int64_t before = 0;
    RecordTimeLine recordTime;
    WorkbookServer workbooks(options);
    for (const QString &input : inputs) {
        target->setInput(input);
        const LogFormat from = logFormatOfPath(input);
        const int64_t badBefore = report.badLines;
        const qsizetype badTextsBefore = report.badLineTexts.size();
        if (plan && to == LogFormat::Record && allText && plan->perInput.count(input))
            static_cast<RecordTarget *>(target.get())->setEarliest(plan->perInput.at(input));
        Result<> read;
        if (from == LogFormat::Xls) {
            const Result<SpreadsheetServer *> server = workbooks.get();
            if (!server) {
                target->abandon();
                return R::failure(server.error());
            }
            read = readWorkbookInput(input, params, server.value(), *target, recordTime);
        } else {
            ReadProgress progress;
            if (options.progress)
                progress
                    = [&](int64_t done, int64_t) { return options.progress(before + done, total); };
            const Result<LogReadStats> stats
                = readLogInput(input, params, *target, progress, &recordTime);
            if (!stats)
                read = Result<>::failure(stats.error());
        }
        if (const std::optional<int64_t> e = target->inputEarliest()) {
            seen.perInput[input] = *e;
            if (!seen.all || *e < *seen.all)
                seen.all = e;
        }
        target->endInput();
        if (read) {
            ++report.inputs;
        } else if (single) {
            target->abandon();
            return R::failure(read.error());
        } else {
            // An input refused as a whole is named once, not by each of its lines.
            report.badLines = badBefore;
            report.badLineTexts = report.badLineTexts.mid(0, badTextsBefore);
            report.skippedInputs << (read.error().startsWith(input)
                                         ? QFileInfo(input).fileName()
                                               + read.error().mid(input.size())
                                         : QFileInfo(input).fileName() + QStringLiteral(": ")
                                               + read.error());
        }
        before += QFileInfo(input).size();
        if (options.progress && !options.progress(before, total)) {
            target->abandon();
            return R::failure(QStringLiteral("stopped; record files finished so far are kept, "
                                             "a text log is not written"));
        }
    }
    if (const Result<> finished = target->finish(); !finished)
        return R::failure(finished.error());
    return report;
}

} // namespace

QString ConversionReport::skippedText() const
{
    if (skipped() == 0)
        return {};
    QStringList parts;
    const auto add = [&](int64_t n, const char *what) {
        if (n > 0)
            parts << QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(n);
    };
    add(skippedFd, "CAN FD");
    add(skippedRemote, "remote");
    add(skippedError, "error");
    add(skippedExtended, "29-bit or above 7FF");
    add(skippedIdZero, "id 0");
    add(skippedChannel, "other channel");
    return QStringLiteral("skipped %1 (%2)").arg(skipped()).arg(parts.join(QStringLiteral(", ")));
}

QStringList conversionInputs(const QString &in)
{
    const QFileInfo info(in);
    if (!info.isDir())
        return {in};
    QStringList records;
    QStringList texts;
    QStringList workbooks;
    const QFileInfoList entries =
        QDir(in).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &e : entries) {
        const LogFormat f = logFormatOfPath(e.fileName());
        if (f == LogFormat::Record)
            records << e.filePath();
        else if (isStreamLogFormat(f))
            texts << e.filePath();
        else if (f == LogFormat::Xls)
            workbooks << e.filePath();
    }
    // Workbooks beside record files are mostly made from them: the record files win.
    if (records.isEmpty() && texts.isEmpty())
        records = workbooks;
    // Record files of one recording go by hour stamp and number (…-999 before …-1000).
    std::sort(records.begin(), records.end(), [](const QString &a, const QString &b) {
        return recordFileNameLess(QFileInfo(a).fileName(), QFileInfo(b).fileName());
    });
    return records + texts;
}

Result<ConversionReport> convertLogs(const QString &in, const QString &out,
                                     const ConversionOptions &options, const ELM327_Info &params)
{
    using R = Result<ConversionReport>;
    if (!QFileInfo::exists(in))
        return R::failure(in + QStringLiteral(": no such file or folder"));
    const QStringList inputs = conversionInputs(in);
    if (inputs.isEmpty())
        return R::failure(in + QStringLiteral(": no .dat, .log, .asc, .csv, .blf, .trc or .xls "
                                              "files"));
    for (const QString &input : inputs)
        if (logFormatOfPath(input) == LogFormat::Unknown)
            return R::failure(input + QStringLiteral(": unknown kind (.dat, .log, .asc, .csv, "
                                                     ".blf, .trc, .xls, or a log as .gz)"));
    const bool single = !QFileInfo(in).isDir();

    bool allText = true;
    bool anyRecord = false;
    for (const QString &input : inputs) {
        allText = allText && isStreamLogFormat(logFormatOfPath(input));
        anyRecord = anyRecord || logFormatOfPath(input) == LogFormat::Record;
    }
    LogFormat to = options.to;
    if (to == LogFormat::Unknown && !isGzipPath(out))
        to = logFormatOfPath(out);
    if (to == LogFormat::Unknown && !anyRecord && !isGzipPath(out))
        to = LogFormat::Record;
    if (to == LogFormat::Unknown)
        return R::failure(out + QStringLiteral(": say which format to write (.dat, .log, .asc, "
                                               ".csv, .blf, .trc, .xls; .gz is read only)"));
    if (to == LogFormat::Xls)
        return convertToWorkbooks(inputs, out, options, params);

    Earliest seen;
    Result<ConversionReport> r
        = convertOnce(inputs, out, to, options, params, single, allText, nullptr, seen);
    // Frames earlier than a file's first were held back: read again, starting each file at
    // its earliest frame, in place of what the first reading wrote. Logs in time order are
    // read once.
    if (r && (r.value().notCarried.contains(QLatin1String(kBeforeFileStart))
              || r.value().notCarried.contains(QLatin1String(kBeforeInputStart)))) {
        for (const QString &written : r.value().outputs)
            QFile::remove(written);
        Earliest again;
        r = convertOnce(inputs, out, to, options, params, single, allText, &seen, again);
    }
    return r;
}
