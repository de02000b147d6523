#include "CliCommon.h"
#include "Commands.h"
#include "Progress.h"
#include "StopSignals.h"

#include "LogConversion.h"
#include "OfficeModule.h"

namespace cli {

int runConvert(const QStringList &args)
{
    QCommandLineParser parser;
    parser.addOptions({
        {QStringLiteral("to"), QStringLiteral("Format to write when OUT does not tell: dat, "
                                              "log, asc, csv, xls."),
         QStringLiteral("FORMAT")},
        {QStringLiteral("comment"), QStringLiteral("Comment stored in record files written "
                                                   "(default: a record file's or workbook's "
                                                   "own comment, else the settings' comment)."),
         QStringLiteral("TEXT")},
    });
    parser.addPositionalArgument(QStringLiteral("IN"), QStringLiteral("A file or folder."));
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("A file, or a folder for "
                                                                       "record files or "
                                                                       "workbooks."));
    if (const auto exit = parseCommandLine(
            parser, args,
            QStringLiteral(
                "cankestrova-cli convert IN OUT [options]\n\n"
                "Converts between record files (.dat) and candump logs (.log), Vector ASCII "
                "(.asc), CSV (.csv: time_ms,id,dlc,d1..d8; times in ms, identifier and "
                "bytes in hex) and workbooks (.xls, the conversion dialog's layout). The kind is "
                "told by the extension.\n"
                "A folder of record files is read in recording order as one time line. Record "
                "files are written into the folder OUT, 20001 frames each, named as a "
                "recording names them. Frames a record file cannot hold (CAN FD, remote, "
                "error frames, 29-bit identifiers and those above 7FF, identifier 0) are skipped "
                "and counted; "
                "so are CAN FD frames for every other format, and remote and error frames "
                "for CSV. Lines that are not what their format allows are reported with "
                "their line numbers.\n"
                "Workbooks: each record file becomes one .xls named after it (OUT is the "
                ".xls for a single file, else a folder); a workbook is read as the record file "
                "it was made from, into any format. A folder's workbooks are read when it "
                "holds no .dat, .log, .asc or .csv. Workbooks need LibreOffice Calc "
                "(libreoffice-calc-nogui), started once, hidden, for the whole command; "
                "exit code 5 when it cannot be used.\n"
                "One line at the end:\n"
                "  convert: inputs=N read=N written=N skipped=N bad-lines=N out=PATH"),
            2, 2))
        return *exit;

    Session session;
    if (parser.isSet(QStringLiteral("comment")))
        session.params.t_LogComment = parser.value(QStringLiteral("comment"));
    ConversionOptions options;
    options.keepComments = !parser.isSet(QStringLiteral("comment"));
    if (parser.isSet(QStringLiteral("to"))) {
        options.to = logFormatOfName(parser.value(QStringLiteral("to")));
        if (options.to == LogFormat::Unknown) {
            printErr(QStringLiteral("cankestrova-cli: --to takes dat, log, asc, csv or xls"));
            return ExitUsage;
        }
    }
    Progress progress(QStringLiteral("converting"));
    options.progress = [&](int64_t done, int64_t total) {
        progress.update(double(done) / 1e6, double(total) / 1e6, QStringLiteral("MB"));
        return stopsignals::received() == 0;
    };
    // One office for the whole command, started when the first workbook comes up.
    office::Started started;
    bool officeFailed = false;
    options.workbookServer = [&]() -> Result<SpreadsheetServer *> {
        started = office::start();
        if (started.server)
            return started.server.get();
        officeFailed = true;
        return Result<SpreadsheetServer *>::failure(
            QStringLiteral(".xls needs LibreOffice Calc (libreoffice-calc-nogui) and the "
                           "office module %1 beside the program: %2")
                .arg(office::moduleFileName(), started.error));
    };
    stopsignals::install({});
    const QStringList positional = parser.positionalArguments();
    const Result<ConversionReport> result =
        convertLogs(positional[0], positional[1], options, session.params);
    if (started.server)
        started.server->quit();
    progress.finish();
    if (!result) {
        printErr(QStringLiteral("cankestrova-cli: ") + result.error());
        if (officeFailed)
            return ExitOffice;
        return stopsignals::received() != 0 ? ExitIncomplete : ExitFiles;
    }
    const ConversionReport &r = result.value();
    for (const QString &line : r.badLineTexts)
        printErr(QStringLiteral("bad line ") + line);
    if (r.badLines > r.badLineTexts.size())
        printErr(QStringLiteral("… and %1 more bad lines").arg(r.badLines - r.badLineTexts.size()));
    for (const QString &input : r.skippedInputs)
        printErr(QStringLiteral("not converted: ") + input);
    QString out = r.outputs.isEmpty() ? QStringLiteral("-") : r.outputs.first();
    if (r.outputs.size() > 1)
        out += QStringLiteral(" (+%1 more)").arg(r.outputs.size() - 1);
    const QString skipped = r.skippedText();
    printOut(
        QStringLiteral("convert: inputs=%1 read=%2 written=%3 skipped=%4%5 bad-lines=%6 out=%7")
            .arg(r.inputs)
            .arg(r.framesRead)
            .arg(r.framesWritten)
            .arg(r.skipped())
            .arg(skipped.isEmpty()
                     ? QString()
                     : QStringLiteral(" ") + skipped.mid(skipped.indexOf(QLatin1Char('('))))
            .arg(r.badLines)
            .arg(out));
    return r.badLines > 0 || !r.skippedInputs.isEmpty() ? ExitIncomplete : ExitOk;
}

} // namespace cli
