#include "CliCommon.h"

#include "DeviceSearch.h"
#include "MessageBox.h"
#include "Paths.h"
#include "RecordFiles.h"
#include "SettingsFile.h"
#include "Vexa100.h"

#include <QTextStream>

namespace cli {

namespace {
bool g_critical = false;
const char *const kBitRates[] = {"1m", "800k", "500k", "250k", "100k", "50k", "20k", "10k"};
} // namespace

QString exitCodesHelp()
{
    return QStringLiteral(
        "\nExit codes:\n"
        "  0  done\n"
        "  1  done, but frames were lost, not saved, or lines could not be read\n"
        "  2  wrong command line\n"
        "  3  support library, driver or device missing or not working\n"
        "  4  input missing or unreadable, or output not writable\n"
        "  5  LibreOffice or the office module missing or not working (.xls)\n"
        "\nSettings come from config.dat; options override them for this run only.");
}

void printOut(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void printErr(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

std::optional<ExitCode> parseCommandLine(QCommandLineParser &parser, const QStringList &args,
                                         const QString &usage, int minPositional,
                                         int maxPositional)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    parser.setApplicationDescription(usage + QLatin1Char('\n') + exitCodesHelp());
    if (!parser.parse(args)) {
        printErr(QStringLiteral("cankestrova-cli: ") + parser.errorText());
        return ExitUsage;
    }
    if (parser.isSet(help)) {
        // Qt's own first line names the program file without the command; the usage line
        // at the top of the description says it all.
        QString text = parser.helpText();
        if (text.startsWith(QLatin1String("Usage:")))
            text = QStringLiteral("Usage: ") + text.mid(text.indexOf(QLatin1Char('\n')) + 1);
        printOut(text.trimmed());
        return ExitOk;
    }
    const qsizetype n = parser.positionalArguments().size();
    if (n < minPositional || n > maxPositional) {
        printErr(QStringLiteral("cankestrova-cli: wrong number of arguments; see --help"));
        return ExitUsage;
    }
    return std::nullopt;
}

std::optional<int32_t> parseBitRate(const QString &text)
{
    QString t = text.trimmed().toLower();
    if (t.endsWith(QLatin1String("bps")))
        t.chop(3);
    if (t == QLatin1String("1000k"))
        t = QStringLiteral("1m");
    for (int32_t i = 0; i < 8; ++i)
        if (t == QLatin1String(kBitRates[i]))
            return i;
    return std::nullopt;
}

std::optional<IdRange> parseIdRange(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() > 2)
        return std::nullopt;
    IdRange r;
    bool ok1 = false;
    bool ok2 = true;
    r.start = parts[0].trimmed().toInt(&ok1, 16);
    r.end = parts.size() == 2 ? parts[1].trimmed().toInt(&ok2, 16) : r.start;
    if (!ok1 || !ok2 || r.start < 0 || r.end > 0x7FF || r.start > r.end)
        return std::nullopt;
    return r;
}

void addBusOptions(QCommandLineParser &parser, bool recording)
{
    parser.addOptions({
        {QStringLiteral("device"), QStringLiteral("Adapter serial, IFCANn, or number of "
                                                  "`devices` (default: the first)."),
         QStringLiteral("DEVICE")},
        {QStringLiteral("bitrate"), QStringLiteral("1M, 800k, 500k, 250k, 100k, 50k, 20k or 10k."),
         QStringLiteral("RATE")},
        {QStringLiteral("exclude"),
         QStringLiteral("Identifiers not to %1, e.g. 100-1FF (up to 8; replaces the settings' "
                        "ranges).")
             .arg(recording ? QStringLiteral("record") : QStringLiteral("send")),
         QStringLiteral("RANGE")},
    });
}

std::optional<ExitCode> applyBusOptions(const QCommandLineParser &parser, ELM327_Info &params,
                                        bool recording)
{
    if (parser.isSet(QStringLiteral("bitrate"))) {
        const auto rate = parseBitRate(parser.value(QStringLiteral("bitrate")));
        if (!rate) {
            printErr(QStringLiteral("cankestrova-cli: bad --bitrate; see --help"));
            return ExitUsage;
        }
        params.t_bitRate = *rate;
    }
    if (const Result<> r = applyRanges(parser.values(QStringLiteral("exclude")), params,
                                       recording);
        !r) {
        printErr(QStringLiteral("cankestrova-cli: ") + r.error());
        return ExitUsage;
    }
    return std::nullopt;
}

Result<> applyRanges(const QStringList &texts, ELM327_Info &params, bool recording)
{
    if (texts.isEmpty())
        return {};
    if (texts.size() > 8)
        return Result<>::failure(QStringLiteral("at most 8 --exclude ranges"));
    for (int16_t k = 0; k < 8; ++k) {
        const std::optional<IdRange> r =
            k < texts.size() ? parseIdRange(texts[k]) : std::optional<IdRange>(IdRange{});
        if (!r)
            return Result<>::failure(QStringLiteral("bad --exclude range: ") + texts[k]
                                     + QStringLiteral(" (e.g. 100-1FF)"));
        const int32_t on = k < texts.size() ? 1 : 0;
        if (recording) {
            params.t_DisableID_Rec_ON(k, on);
            params.t_DisableID_Rec_Start(k, r->start);
            params.t_DisableID_Rec_End(k, r->end);
        } else {
            params.t_DisableID_Play_ON(k, on);
            params.t_DisableID_Play_Start(k, r->start);
            params.t_DisableID_Play_End(k, r->end);
        }
    }
    return {};
}

void installMessagePrinter()
{
    setMessageHandler([](const MessageRequest &r) {
        if (r.icon == MsgIcon::Critical)
            g_critical = true;
        QString text = r.text;
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        printErr(QStringLiteral("cankestrova-cli: ") + text);
        return r.buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    });
}

bool criticalMessageShown()
{
    return g_critical;
}

Session::Session()
{
    params.Param_ALL_Clear();
    CAN_d.Param_ALL_Clear();
    IfCan_d.Param_ALL_Clear();
    IfCan_u.Param_ALL_Clear();
    play.Param_ALL_Clear();
    settingsResult = LoadSettingsFile(params, play);
}

Result<> Session::checkEnvironment()
{
    QString error;
    if (!vexa::bind(&error))
        return Result<>::failure(QStringLiteral("support library not usable: ") + error);
    m_installed = 0;
    if (CANUSB::isDriverInstalled())
        m_installed = 1;
    if (InterfaceCAN::isDriverInstalled())
        m_installed = m_installed == 0 ? 2 : 3;
    if (m_installed == 0)
        return Result<>::failure(QStringLiteral("no driver library found in ")
                                 + paths::driverFolder());
    return {};
}

void Session::searchDevices()
{
    if (m_installed == 1 || m_installed == 3)
        DeviceSearch::searchCanUsb(CAN_u, CAN_d);
    if (m_installed == 2 || m_installed == 3)
        DeviceSearch::searchInterfaceCan(IfCan_u, IfCan_d);
}

QStringList Session::deviceLines() const
{
    QStringList lines;
    const QStringList items = DeviceSearch::deviceListItems(CAN_d, IfCan_d);
    const int adapters = CAN_d.foundCount();
    for (int i = 0; i < items.size(); ++i) {
        const QString choice
            = i < adapters ? CAN_d.CAN_USB_FindSerialNo(i + 1)
                           : InterfaceCAN::portName(IfCan_d.Interface_CAN_FindNo(i + 1 - adapters));
        lines << QStringLiteral("%1\t%2\t%3").arg(i + 1).arg(choice, items[i]);
    }
    return lines;
}

std::optional<ExitCode> Session::openForRun(const QString &choice)
{
    if (const Result<> env = checkEnvironment(); !env) {
        printErr(QStringLiteral("cankestrova-cli: ") + env.error());
        return ExitDevice;
    }
    searchDevices();
    if (const Result<> s = selectDevice(choice); !s) {
        printErr(QStringLiteral("cankestrova-cli: ") + s.error());
        return ExitDevice;
    }
    return std::nullopt;
}

Result<> Session::selectDevice(const QString &choice)
{
    const int adapters = CAN_d.foundCount();
    const int total = adapters + IfCan_d.foundCount();
    if (total < 1)
        return Result<>::failure(QStringLiteral("no device found"));
    int selected = choice.isEmpty() ? 1 : 0;
    for (int i = 1; i <= adapters && selected == 0; ++i)
        if (CAN_d.CAN_USB_FindSerialNo(i) == choice)
            selected = i;
    for (int i = 1; i <= IfCan_d.foundCount() && selected == 0; ++i)
        if (InterfaceCAN::portName(IfCan_d.Interface_CAN_FindNo(i))
                .compare(choice, Qt::CaseInsensitive)
            == 0)
            selected = adapters + i;
    bool number = false;
    const int n = choice.toInt(&number);
    if (selected == 0 && number && n >= 1 && n <= total)
        selected = n;
    if (selected == 0)
        return Result<>::failure(QStringLiteral("no device ") + choice
                                 + QStringLiteral(" (see: cankestrova-cli devices)"));
    params.t_CmbBOX_device_SelectNo = selected;
    QString version;
    if (DeviceSearch::checkSelectedDevice(params, CAN_u, CAN_d, IfCan_u, IfCan_d, &version) < 0)
        return Result<>::failure(QStringLiteral("the device does not answer"));
    return {};
}

} // namespace cli
