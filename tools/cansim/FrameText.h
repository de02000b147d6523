#pragma once

#include <QByteArray>
#include <QCanBusFrame>
#include <QString>

#include <cstdint>
#include <optional>

// Frames as the simulator writes and reads them in its text files.
namespace frametext {

// Identifiers above 0x7FF become 29-bit frames; everything else is a standard frame.
QCanBusFrame makeFrame(uint32_t id, const QByteArray &data);

// "<ms> <ID hex> <DLC> <bytes hex space-separated>" with the time to 3 decimals; standard
// identifiers have three digits, 29-bit ones eight.
QByteArray logLine(double ms, const QCanBusFrame &frame);

// One line of a sequence file: "<delay ms> <ID hex> <DLC> <bytes hex...>". Blank lines
// and lines starting with '#' give an empty optional and no error.
struct ScriptLine
{
    double delayMs = 0;
    QCanBusFrame frame;
};
std::optional<ScriptLine> parseScriptLine(const QByteArray &line, QString *error);

} // namespace frametext
