#include "LogConversion.h"

#include "ELM327_Info.h"
#include "Excel_OutputDB.h"
#include "FrameBuffer.h"
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

// Where the frames go: one text file, or a series of record files.
class FrameTarget : public LogSink
{
public:
    explicit FrameTarget(ConversionReport &report) : m_report(report) {}

    void setInput(const QString &path) { m_input = QFileInfo(path).fileName(); }
    // The comment the input carries (a record file's or a workbook's).
    virtual void setInputComment(const QString &) {}

    // The zero of the time line: the record file's own zero, or a text log's first frame.
    virtual void startInput(std::optional<int64_t> originUs) = 0;
    virtual void endInput() {}
    virtual Result<> finish() = 0;
    // Stopped half-way: nothing half-written is left behind.
    virtual void abandon() = 0;

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
};

class TextTarget final : public FrameTarget
{
public:
    TextTarget(ConversionReport &report, std::unique_ptr<LogTextWriter> writer)
        : FrameTarget(report), m_writer(std::move(writer))
    {
    }

    Result<> open(const QString &path) { return m_out.open(path); }

    void startInput(std::optional<int64_t> originUs) override
    {
        if (!m_begun && originUs)
            begin(*originUs);
    }

    void frame(const LogFrame &f) override
    {
        ++m_report.framesRead;
        if (!m_writer->canCarry(f)) {
            countSkipped(f);
            return;
        }
        if (!m_begun)
            begin(f.timeUs);
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
        m_writer->begin(m_out, originUs);
    }

    std::unique_ptr<LogTextWriter> m_writer;
    TextOutput m_out;
    bool m_begun = false;
};

class RecordTarget final : public FrameTarget
{
public:
    RecordTarget(ConversionReport &report, const ELM327_Info &params, const QString &folder)
        : FrameTarget(report), m_params(params)
    {
        m_params.t_LogSaveFilePath_mode = 2;
        m_params.t_LogSaveFilePath = folder;
        m_params.t_LogSave_subFolder = 0;
    }

    void startInput(std::optional<int64_t> originUs) override
    {
        m_origin = originUs;
    }

    void setInputComment(const QString &comment) override
    {
        if (m_keepComments)
            m_params.t_LogComment = comment;
    }
    void setKeepComments(bool on) { m_keepComments = on; }

    void frame(const LogFrame &f) override
    {
        ++m_report.framesRead;
        if (!f.fitsRecordFile()) {
            countSkipped(f);
            return;
        }
        if (!m_origin)
            m_origin = f.timeUs;
        RecordFrame &slot = m_buffer[m_fill];
        slot.identifier = int32_t(f.id);
        slot.time = double(f.timeUs - *m_origin) / 1000.0;
        slot.dlc = f.dlc;
        slot.data = {};
        std::copy(f.data, f.data + std::min<int>(f.length, 8), slot.data.begin());
        ++m_report.framesWritten;
        if (++m_fill == FrameBuffer::kSlots)
            flush();
    }

    // Each text log is a recording of its own: its frames start a new file.
    void endInput() override
    {
        if (!m_continuous)
            flush();
    }
    void setContinuous(bool on) { m_continuous = on; }

    void abandon() override {}

    Result<> finish() override
    {
        flush();
        return m_failure.isEmpty() ? Result<>() : Result<>::failure(m_failure);
    }

private:
    void flush()
    {
        if (m_fill == 0)
            return;
        const RecordFileResult written =
            WriteRecordFile(m_params, m_buffer, m_lastHourStamp, m_lastSequenceNumber, {});
        if (written.ok()) {
            m_report.outputs << written.path;
        } else {
            m_report.framesWritten -= m_fill;
            m_failure = written.path + QStringLiteral(": ") + written.error;
        }
        m_buffer.clear();
        m_fill = 0;
    }

    ELM327_Info m_params;
    FrameBuffer m_buffer;
    int m_fill = 0;
    std::optional<int64_t> m_origin;
    bool m_continuous = false;
    bool m_keepComments = false;
    QString m_lastHourStamp;
    QString m_lastSequenceNumber;
    QString m_failure;
};

// A record file knows times from the recording's start only; the wall clock of its first
// frame is taken from when the file was written, less the frames it spans.
int64_t wallClockBase(const QString &path, const FrameBuffer &buffer)
{
    const int count = buffer.frameCount();
    const double last = count > 0 ? buffer[count - 1].time : 0;
    const int64_t written = QFileInfo(path).lastModified().toMSecsSinceEpoch() * 1000;
    const int64_t span = std::isfinite(last) ? int64_t(std::llround(last * 1000)) : 0;
    return std::max<int64_t>(0, written - span);
}

void feedRecordFrames(const FrameBuffer &buffer, int64_t baseUs, FrameTarget &target,
                      ConversionReport &report)
{
    target.startInput(baseUs);
    LogFrame f;
    const int count = buffer.frameCount();
    for (int i = 0; i < count; ++i) {
        const RecordFrame &r = buffer[i];
        if (!std::isfinite(r.time) || std::fabs(r.time) > 1e12) {
            ++report.framesRead;
            ++report.skippedBadTime;
            continue;
        }
        f.timeUs = baseUs + int64_t(std::llround(r.time * 1000));
        f.id = uint32_t(r.identifier);
        f.dlc = r.dlc;
        f.length = std::min<uint8_t>(r.dlc, 8);
        std::copy(r.data.begin(), r.data.end(), f.data);
        target.frame(f);
    }
}

Result<> readRecordInput(const QString &path, const ELM327_Info &params, FrameTarget &target,
                         ConversionReport &report, std::optional<int64_t> &baseUs)
{
    FrameBuffer buffer;
    RecordTrailer trailer;
    const int32_t code = readRecordFile(path, params, &buffer, trailer);
    if (code != 0)
        return Result<>::failure(code == -2 ? QStringLiteral("not a record file of this program")
                                            : QStringLiteral("not a readable record file"));
    if (!baseUs)
        baseUs = wallClockBase(path, buffer);
    target.setInputComment(trailer.comment);
    feedRecordFrames(buffer, *baseUs, target, report);
    return {};
}

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
                           ConversionReport &report, std::optional<int64_t> &baseUs)
{
    Excel_OutputDB engine;
    const int32_t code = engine.CF_XLS_FileDataLoad(params, server, path);
    if (code != 0)
        return Result<>::failure(workbookLoadError(code, engine));
    if (!baseUs)
        baseUs = wallClockBase(path, engine.frames());
    target.setInputComment(engine.recordComment());
    feedRecordFrames(engine.frames(), *baseUs, target, report);
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
    add(skippedBadTime, "bad time");
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
        else if (isTextLogFormat(f))
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
        return R::failure(in + QStringLiteral(": no .dat, .log, .asc, .csv or .xls files"));
    for (const QString &input : inputs)
        if (logFormatOfPath(input) == LogFormat::Unknown)
            return R::failure(input
                              + QStringLiteral(": unknown kind (.dat, .log, .asc, .csv, .xls)"));

    bool allText = true;
    bool anyRecord = false;
    for (const QString &input : inputs) {
        allText = allText && isTextLogFormat(logFormatOfPath(input));
        anyRecord = anyRecord || logFormatOfPath(input) == LogFormat::Record;
    }
    LogFormat to = options.to;
    if (to == LogFormat::Unknown)
        to = logFormatOfPath(out);
    if (to == LogFormat::Unknown && !anyRecord)
        to = LogFormat::Record;
    if (to == LogFormat::Unknown)
        return R::failure(out + QStringLiteral(": say which format to write (.log, .asc, .csv, .xls)"));
    if (to == LogFormat::Xls)
        return convertToWorkbooks(inputs, out, options, params);

    ConversionReport report;
    std::unique_ptr<FrameTarget> target;
    if (to == LogFormat::Record) {
        if (!QDir().mkpath(out) || !QFileInfo(out).isDir())
            return R::failure(out + QStringLiteral(": cannot make the output folder"));
        auto records = std::make_unique<RecordTarget>(report, params, out);
        records->setContinuous(!allText);
        records->setKeepComments(options.keepComments);
        target = std::move(records);
    } else {
        QString path = out;
        if (QFileInfo(out).isDir())
            path = paths::join(out, QFileInfo(inputs.first()).completeBaseName()
                                        + logFormatExtension(to));
        auto text = std::make_unique<TextTarget>(report, makeLogTextWriter(to));
        if (const Result<> opened = text->open(path); !opened)
            return R::failure(opened.error());
        target = std::move(text);
    }

    int64_t total = 0;
    for (const QString &input : inputs)
        total += QFileInfo(input).size();
    int64_t before = 0;
    std::optional<int64_t> recordBase;
    WorkbookServer workbooks(options);
    for (const QString &input : inputs) {
        target->setInput(input);
        const LogFormat from = logFormatOfPath(input);
        Result<> read;
        if (from == LogFormat::Record) {
            read = readRecordInput(input, params, *target, report, recordBase);
        } else if (from == LogFormat::Xls) {
            const Result<SpreadsheetServer *> server = workbooks.get();
            if (!server) {
                target->abandon();
                return R::failure(server.error());
            }
            read = readWorkbookInput(input, params, server.value(), *target, report, recordBase);
        } else {
            target->startInput(std::nullopt);
            ReadProgress progress;
            if (options.progress)
                progress
                    = [&](int64_t done, int64_t) { return options.progress(before + done, total); };
            const Result<LogReadStats> stats = readLogTextFile(input, from, *target, progress);
            if (!stats)
                read = Result<>::failure(stats.error());
        }
        target->endInput();
        if (read)
            ++report.inputs;
        else
            report.skippedInputs << QFileInfo(input).fileName() + QStringLiteral(": ")
                                        + read.error();
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
