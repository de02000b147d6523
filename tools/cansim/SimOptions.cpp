#include "SimOptions.h"

#include <QCommandLineParser>

namespace {

const char *const kDescription =
    "cansim joins a CAN bus as other nodes would and runs one mode:\n"
    "  traffic   periodic ECU traffic: about thirty 11-bit identifiers, cycle times\n"
    "            10..1000 ms, changing signals, rolling counters and checksums, an\n"
    "            occasional late frame, and one identifier (0x5F0) that falls silent\n"
    "            for 4 s of every 20 s; the contents follow --seed\n"
    "  flood     --count N frames at --rate frames/s; DLC 8, bytes 0..3 the sequence\n"
    "            number (little-endian, from 0), bytes 4..7 its complement\n"
    "  listen    writes every frame to --log: '<ms> <ID hex> <DLC> <bytes hex>' with\n"
    "            the arrival time on CLOCK_MONOTONIC in ms (3 decimals)\n"
    "  host      only keeps the bus open (on virtualcan the first process to open a\n"
    "            bus hosts it, and the bus ends when that process ends)\n"
    "  sequence  sends the frames of --frames, one a line '<delay ms> <ID hex> <DLC>\n"
    "            <bytes hex...>'; the delay counts from the previous frame; '#' starts\n"
    "            a comment\n"
    "Identifiers above 7FF are sent as 29-bit frames. SIGTERM and SIGINT end the run\n"
    "cleanly (the log is flushed). Exit codes: 0 done, 1 bad arguments, 2 bus failure,\n"
    "3 file failure.";

std::optional<uint32_t> parseId(const QString &text)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    bool ok = false;
    const uint32_t id = t.toUInt(&ok, 16);
    if (!ok || t.isEmpty() || id > 0x1FFFFFFFu)
        return std::nullopt;
    return id;
}

std::optional<SimOptions::Mode> parseMode(const QString &name)
{
    using M = SimOptions::Mode;
    if (name == QLatin1String("traffic"))
        return M::Traffic;
    if (name == QLatin1String("flood"))
        return M::Flood;
    if (name == QLatin1String("listen"))
        return M::Listen;
    if (name == QLatin1String("host"))
        return M::Host;
    if (name == QLatin1String("sequence"))
        return M::Sequence;
    return std::nullopt;
}

struct Parser
{
    QCommandLineParser p;
    QCommandLineOption plugin{"plugin", "Qt SerialBus plugin (default virtualcan).", "name",
                              "virtualcan"};
    QCommandLineOption interface{"interface",
                                 "Interface: can0, can1 or tcp://127.0.0.1:PORT/can0 "
                                 "(default can0).",
                                 "name", "can0"};
    QCommandLineOption bitrate{"bitrate", "Bit rate for plugins that take one.", "bit/s"};
    QCommandLineOption mode{"mode", "traffic, flood, listen, host or sequence.", "mode",
                            "traffic"};
    QCommandLineOption duration{"duration",
                                "Seconds to run, from the start of the mode; 0 = until "
                                "killed (default).",
                                "s", "0"};
    QCommandLineOption readyFile{"ready-file", "Written once the bus is joined.", "file"};
    QCommandLineOption startDelay{"start-delay-ms",
                                  "Wait this long after joining before the mode starts.",
                                  "ms", "0"};
    QCommandLineOption linger{"linger-ms",
                              "Stay on the bus this long after the last frame was sent, so "
                              "that it reaches every node (default 300; 0 for listen).",
                              "ms"};
    QCommandLineOption connectTimeout{"connect-timeout-ms", "Give up joining after this long.",
                                      "ms", "5000"};
    QCommandLineOption seed{"seed", "traffic: seed of the contents (default 1).", "n", "1"};
    QCommandLineOption count{"count",
                             "flood: frames to send (required); listen: stop after this many "
                             "(0 = no limit).",
                             "n", "0"};
    QCommandLineOption rate{"rate", "flood: frames per second, 0 = unpaced (default 1000).",
                            "fps", "1000"};
    QCommandLineOption id{"id", "flood: identifier in hex (default 100).", "hex"};
    QCommandLineOption ids{"ids", "flood: identifiers in hex, comma-separated, used in turn.",
                           "list"};
    QCommandLineOption log{"log", "listen: the log file.", "file"};
    QCommandLineOption frames{"frames", "sequence: the frame file.", "file"};

    Parser()
    {
        p.setApplicationDescription(QString::fromLatin1(kDescription));
        p.addHelpOption();
        p.addOptions({plugin, interface, bitrate, mode, duration, readyFile, startDelay, linger,
                      connectTimeout, seed, count, rate, id, ids, log, frames});
    }
};

bool toInt(const QString &text, int min, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min)
        return false;
    *out = v;
    return true;
}

} // namespace

QString SimOptions::helpText()
{
    Parser parser;
    return parser.p.helpText();
}

std::optional<SimOptions> SimOptions::parse(const QStringList &arguments, QString *error,
                                            bool *helpShown)
{
    Parser parser;
    *helpShown = false;
    if (!parser.p.parse(arguments)) {
        *error = parser.p.errorText();
        return std::nullopt;
    }
    if (parser.p.isSet(QStringLiteral("help"))) {
        *helpShown = true;
        return std::nullopt;
    }
    if (!parser.p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: %1")
                     .arg(parser.p.positionalArguments().first());
        return std::nullopt;
    }

    SimOptions o;
    auto fail = [error](const QString &message) {
        *error = message;
        return std::optional<SimOptions>();
    };

    o.plugin = parser.p.value(parser.plugin);
    o.interface = parser.p.value(parser.interface);
    const auto mode = parseMode(parser.p.value(parser.mode));
    if (!mode)
        return fail(QStringLiteral("unknown mode: %1").arg(parser.p.value(parser.mode)));
    o.mode = *mode;

    if (parser.p.isSet(parser.bitrate) && !toInt(parser.p.value(parser.bitrate), 1, &o.bitrate))
        return fail(QStringLiteral("--bitrate must be a positive number"));
    bool ok = false;
    o.durationS = parser.p.value(parser.duration).toDouble(&ok);
    if (!ok || o.durationS < 0)
        return fail(QStringLiteral("--duration must be 0 or more seconds"));
    o.readyFile = parser.p.value(parser.readyFile);
    if (!toInt(parser.p.value(parser.startDelay), 0, &o.startDelayMs))
        return fail(QStringLiteral("--start-delay-ms must be 0 or more"));
    if (parser.p.isSet(parser.linger) && !toInt(parser.p.value(parser.linger), 0, &o.lingerMs))
        return fail(QStringLiteral("--linger-ms must be 0 or more"));
    if (!toInt(parser.p.value(parser.connectTimeout), 1, &o.connectTimeoutMs))
        return fail(QStringLiteral("--connect-timeout-ms must be positive"));
    o.seed = parser.p.value(parser.seed).toUInt(&ok);
    if (!ok)
        return fail(QStringLiteral("--seed must be an unsigned number"));
    o.count = parser.p.value(parser.count).toLongLong(&ok);
    if (!ok || o.count < 0)
        return fail(QStringLiteral("--count must be 0 or more"));
    o.rate = parser.p.value(parser.rate).toDouble(&ok);
    if (!ok || o.rate < 0 || o.rate > 1.0e7)
        return fail(QStringLiteral("--rate must be 0 (unpaced) or a positive frame rate"));

    if (parser.p.isSet(parser.ids)) {
        o.ids.clear();
        for (const QString &part : parser.p.value(parser.ids).split(QLatin1Char(','))) {
            const auto v = parseId(part);
            if (!v)
                return fail(QStringLiteral("bad identifier in --ids: '%1'").arg(part));
            o.ids.append(*v);
        }
    } else if (parser.p.isSet(parser.id)) {
        const auto v = parseId(parser.p.value(parser.id));
        if (!v)
            return fail(QStringLiteral("bad identifier: '%1'").arg(parser.p.value(parser.id)));
        o.ids = {*v};
    }

    o.logFile = parser.p.value(parser.log);
    o.framesFile = parser.p.value(parser.frames);
    if (o.mode == Mode::Flood && o.count < 1)
        return fail(QStringLiteral("flood needs --count N (1 or more)"));
    if (o.mode == Mode::Listen && o.logFile.isEmpty())
        return fail(QStringLiteral("listen needs --log FILE"));
    if (o.mode == Mode::Sequence && o.framesFile.isEmpty())
        return fail(QStringLiteral("sequence needs --frames FILE"));
    return o;
}
