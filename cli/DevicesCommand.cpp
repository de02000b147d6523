#include "CliCommon.h"
#include "Commands.h"

namespace cli {

int runDevices(const QStringList &args)
{
    QCommandLineParser parser;
    if (const auto exit = parseCommandLine(
            parser, args,
            QStringLiteral("cankestrova-cli devices\n\n"
                           "Lists the adapters and ports the two driver libraries offer, as the "
                           "program's start-up finds them:\nnumber, what --device takes, "
                           "and the name the device list shows."),
            0, 0))
        return *exit;
    Session session;
    if (const Result<> env = session.checkEnvironment(); !env) {
        printErr(QStringLiteral("cankestrova-cli: ") + env.error());
        return ExitDevice;
    }
    session.searchDevices();
    const QStringList lines = session.deviceLines();
    if (lines.isEmpty()) {
        printErr(QStringLiteral("cankestrova-cli: no device found"));
        return ExitDevice;
    }
    for (const QString &line : lines)
        printOut(line);
    return ExitOk;
}

} // namespace cli
