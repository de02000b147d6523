#include "CliCommon.h"
#include "Commands.h"

#include "CANUSB.h"
#include "InterfaceCAN.h"

namespace cli {

namespace {

// Entries the libraries leave out are named, so that none disappears without a word.
void printIgnored()
{
    const QList<std::pair<QString, QStringList>> ignored = {
        {QStringLiteral("CANUSB"), CANUSB::ignoredEntries()},
        {QStringLiteral("Interface"), InterfaceCAN::ignoredEntries()}};
    for (const auto &[family, entries] : ignored) {
        for (const QString &entry : entries) {
            const QStringList parts = entry.split(QLatin1Char('\t'));
            printOut(QStringLiteral("-\t%1 entry \"%2\" ignored: %3")
                         .arg(family, parts.value(0), parts.value(1)));
        }
    }
}

} // namespace

int runDevices(const QStringList &args)
{
    QCommandLineParser parser;
    if (const auto exit = parseCommandLine(
            parser, args,
            QStringLiteral("cankestrova-cli devices\n\n"
                           "Lists the adapters and ports the two driver libraries offer, as the "
                           "program's start-up finds them:\nnumber, what --device takes, "
                           "and the name the device list shows. Configuration entries a library "
                           "leaves out follow, marked \"-\", with the reason."),
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
        printIgnored();
        printErr(QStringLiteral("cankestrova-cli: no device found"));
        return ExitDevice;
    }
    for (const QString &line : lines)
        printOut(line);
    printIgnored();
    return ExitOk;
}

} // namespace cli
