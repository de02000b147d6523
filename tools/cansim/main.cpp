#include "SimOptions.h"
#include "Simulator.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cansim"));

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
