// cankestrova-cli: the program's engines without a window, for test benches and scripts.
#include "CliCommon.h"
#include "Commands.h"

#include <QCoreApplication>
#include <QLoggingCategory>

namespace {

const char kUsage[] =
    "usage: cankestrova-cli COMMAND [options]\n"
    "\n"
    "  devices            list the adapters and ports\n"
    "  record [options]   record frames into record files until stopped\n"
    "  play FILE|DIR      send a record file or folder with its recorded timing\n"
    "  convert IN OUT     convert between .dat, .log (candump), .asc (Vector), .csv, .xls\n"
    "  info FILE|DIR      frames, times, identifiers and check of record files and logs\n"
    "  decode --dbc F IN  the signals of record files and logs, by a CAN database, as CSV\n"
    "\n"
    "cankestrova-cli COMMAND --help describes each command and the exit codes.";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The bus plugins' chatter is for debugging them. Qt applies QT_LOGGING_RULES after
    // these rules, so the variable still turns it on; one for something else keeps it off.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false"));
    QCoreApplication::setApplicationName(QStringLiteral("cankestrova-cli"));
    cli::installMessagePrinter();
    QStringList args = app.arguments();
    if (args.size() < 2 || args[1] == QLatin1String("--help") || args[1] == QLatin1String("-h")) {
        cli::printOut(QString::fromUtf8(kUsage));
        return args.size() < 2 ? cli::ExitUsage : cli::ExitOk;
    }
    const QString command = args[1];
    args.removeAt(1);   // the parser wants the program name first, then the options
    if (command == QLatin1String("devices"))
        return cli::runDevices(args);
    if (command == QLatin1String("record"))
        return cli::runRecord(args);
    if (command == QLatin1String("play"))
        return cli::runPlay(args);
    if (command == QLatin1String("convert"))
        return cli::runConvert(args);
    if (command == QLatin1String("info"))
        return cli::runInfo(args);
    if (command == QLatin1String("decode"))
        return cli::runDecode(args);
    cli::printErr(QStringLiteral("cankestrova-cli: unknown command ") + command
                  + QStringLiteral("; see cankestrova-cli --help"));
    return cli::ExitUsage;
}
