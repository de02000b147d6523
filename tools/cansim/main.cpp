#include "SimOptions.h"
#include "Simulator.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cansim"));
    // The virtual bus logs every client that comes and goes; keep stderr for our own
    // messages unless the user asked for Qt's logging.
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));

    QString error;
    bool help = false;
    const auto options = SimOptions::parse(QCoreApplication::arguments(), &error, &help);
    if (help) {
        std::printf("%s", qPrintable(SimOptions::helpText()));
        return 0;
    }
    if (!options) {
        std::fprintf(stderr, "cansim: %s\n(cansim --help shows the options)\n", qPrintable(error));
        return Simulator::BadArguments;
    }

    Simulator simulator(*options);
    simulator.start();
    return app.exec();
}
