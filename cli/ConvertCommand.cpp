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
                                              "log, asc, csv, blf, trc, xls."),
         QStringLiteral("FORMAT")},
        {QStringLiteral("channel"), QStringLiteral("Keep only the frames of this channel (1, "
                                                   "2, …; candump's can0 is 1)."),
         QStringLiteral("N")},
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
                "(.asc) and binary (.blf) logs, PEAK traces (.trc), CSV (.csv: "
                "time_ms,id,dlc,d1..d8; times in ms, identifier and bytes in hex; SavvyCAN's "
                "GVRET CSV is read too) and workbooks (.xls, the conversion dialog's layout). "
                "Any of the logs may be read as .gz. The kind is told by the extension.\n"
                "A folder of record files is read in recording order as one time line. Record "
                "files, 20001 frames each: OUT.dat when the frames fit one, else OUT-001.dat, "
                "OUT-002.dat, … beside it; into the folder OUT (named as a recording names "
                "them) when OUT is a folder or has no .dat extension. Frames a record file "
                "cannot hold (CAN FD, remote, error frames, 29-bit identifiers and those above "
                "7FF, identifier 0) are skipped and counted; so are CAN FD frames for every other "
                "format, remote and error frames for CSV, error frames for .trc, and with "
                "--channel the other channels' frames. Channel and direction are kept by .log, "
                ".asc, .blf and .trc; for .dat and .csv the frames of each channel are counted "
                "on a line of their own. Lines that are not what their format allows are "
                "reported with their line numbers. Frames left out for any other reason are "
                "named with their count, and the exit code is 1.\n"
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
            printErr(QStringLiteral("cankestrova-cli: --to takes dat, log, asc, csv, blf, trc "
                                    "or xls"));
            return ExitUsage;
        }
    }
    if (parser.isSet(QStringLiteral("channel"))) {
        bool ok = false;
        options.channel = parser.value(QStringLiteral("channel")).toInt(&ok);
        if (!ok || options.channel < 1 || options.channel > 0xFFFF) {
            printErr(QStringLiteral("cankestrova-cli: --channel takes a channel number, 1 or "
                                    "more"));
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
    for (auto it = r.notCarried.begin(); it != r.notCarried.end(); ++it)
        printErr(QStringLiteral("not converted: %1 frames: %2").arg(it.value()).arg(it.key()));
    if (!r.targetKeepsChannels && (r.channelFrames.size() > 1 || r.txFrames > 0)) {
        QStringList channels;
        for (const auto &[channel, count] : r.channelFrames)
            channels << QStringLiteral("%1=%2").arg(channel).arg(count);
        printOut(QStringLiteral("channels: %1 tx=%2 (not kept in this format; --channel N "
                                "keeps one)")
                     .arg(channels.join(QLatin1Char(' ')))
                     .arg(r.txFrames));
    }
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
    return r.badLines > 0 || !r.skippedInputs.isEmpty() || !r.notCarried.isEmpty()
               ? ExitIncomplete
               : ExitOk;
}

} // namespace cli
