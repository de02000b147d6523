#pragma once

#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "CAN_PlayDB.h"
#include "CANUSB.h"
#include "ELM327_Info.h"
#include "InterfaceCAN.h"
#include "Result.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstdio>

// What every subcommand shares: exit codes, printing, the settings of config.dat with the
// command line's overrides, and the devices the two driver libraries offer.
namespace cli {

enum ExitCode {
    ExitOk = 0,
    ExitIncomplete = 1,   // ran, but frames were lost, not saved or not readable
    ExitUsage = 2,        // wrong command line
    ExitDevice = 3,       // support library, driver or device missing or failing
    ExitFiles = 4,        // input missing or unreadable, output not writable
    ExitOffice = 5,       // LibreOffice or the office module missing or not working (.xls)
};

// The help text's last part, the same for every subcommand.
QString exitCodesHelp();

void printOut(const QString &line);   // stdout, one line
void printErr(const QString &line);   // stderr, one line

// Parses the command line of a subcommand (argv without the program name). On --help
// prints the help and gives ExitOk; on an error prints it and gives ExitUsage.
std::optional<ExitCode> parseCommandLine(QCommandLineParser &parser, const QStringList &args,
                                         const QString &usage, int minPositional,
                                         int maxPositional);

// "1M", "1000k", "800k", "500k", "250k", "100k", "50k", "20k", "10k" → t_bitRate 0 … 7.
std::optional<int32_t> parseBitRate(const QString &text);

struct IdRange
{
    int32_t start = 0;
    int32_t end = 0;
};
// "100-1FF" or "100", hexadecimal identifiers 0 … 7FF, start ≤ end.
std::optional<IdRange> parseIdRange(const QString &text);
// The up to eight ranges replace the settings' recording (or playback) ranges.
Result<> applyRanges(const QStringList &texts, ELM327_Info &params, bool recording);
// --device, --bitrate and --exclude, which record and play share.
void addBusOptions(QCommandLineParser &parser, bool recording);
// --bitrate and --exclude of record and play into the run's settings; an exit code when
// either is wrong (the message is printed).
std::optional<ExitCode> applyBusOptions(const QCommandLineParser &parser, ELM327_Info &params,
                                        bool recording);

// Messages the engines show go to stderr; remembers whether one was critical.
void installMessagePrinter();
bool criticalMessageShown();

// One run's settings and devices.
class Session
{
public:
    // config.dat is read and never written: the command line only overrides for this run.
    Session();

    // The support library and at least one driver library; the message says what is missing.
    Result<> checkEnvironment();
    void searchDevices();
    // "1. CANUSB VC123456" lines, with what --device takes for each.
    QStringList deviceLines() const;
    // SERIAL, IFCANn, or the list number; empty: the first device. Checks that it answers.
    Result<> selectDevice(const QString &choice);
    // The three above in turn, as a run starts; an exit code (message printed) when one fails.
    std::optional<ExitCode> openForRun(const QString &choice);

    ELM327_Info params;
    CAN_PlayDB play;
    CANUSB CAN_u;
    CAN_DB CAN_d;
    InterfaceCAN IfCan_u;
    CAN_DB_Interface IfCan_d;
    int32_t settingsResult = -1;

private:
    int m_installed = 0;   // 1 CANUSB driver, 2 Interface driver, 3 both
};

} // namespace cli
