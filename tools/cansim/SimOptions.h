#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// Everything the command line of cansim can say, checked once at start.
struct SimOptions
{
    enum class Mode { Traffic, Flood, Listen, Host, Sequence };

    QString plugin = QStringLiteral("virtualcan");
    QString interface = QStringLiteral("can0");
    int bitrate = 0; // 0: leave the plugin's own setting
    Mode mode = Mode::Traffic;

    double durationS = 0; // 0: until killed
    QString readyFile;
    int startDelayMs = 0;
    int lingerMs = -1; // -1: the mode's default
    int connectTimeoutMs = 5000;

    uint32_t seed = 1;

    int64_t count = 0; // flood: frames to send; listen: frames to take (0: no limit)
    double rate = 1000; // flood: frames per second (0: as fast as the bus takes them)
    QList<uint32_t> ids{0x100};

    QString logFile;
    QString framesFile;

    // The parsed options, or the message that explains what is wrong.
    static std::optional<SimOptions> parse(const QStringList &arguments, QString *error,
                                           bool *helpShown);
    static QString helpText();
};
