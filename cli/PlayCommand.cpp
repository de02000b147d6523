#include "CliCommon.h"
#include "CliHost.h"
#include "Commands.h"
#include "Progress.h"
#include "StopSignals.h"

#include "CAN_ReadDB.h"
#include "CanusbPlayDevice.h"
#include "FolderFileList.h"
#include "InterfaceCanPlayDevice.h"
#include "Paths.h"
#include "RecordFiles.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <map>

namespace cli {

namespace {

// What a run would send, file by file, and which identifiers another node holds: the bus
// check runs for its 3 s on the real device, nothing is sent.
int dryRun(Session &session, CliHost &host)
{
    ELM327_Info &params = session.params;
    CAN_PlayDB &play = session.play;
    std::vector<QString> files;
    if (play.t_RecPlay_FileType == 1)
        files.push_back(play.t_RecPlay_FileName);
    else
        files = folderRecordFiles(play.t_RecPlay_FilePath, params, nullptr,
                                  params.t_MM_Mode == 1 ? 200 : kMaxFolderFiles);
    const bool excluding = IsPlayExclusionEnabled(params) == 1;
    std::map<int32_t, int64_t> counts;
    int64_t frames = 0;
    int64_t excluded = 0;
    int64_t unsendable = 0;
    FrameBuffer buffer;
    for (const QString &name : files) {
        ELM327_Info scratch = params;
        const QString path = paths::join(play.t_RecPlay_FilePath, name);
        const int32_t code = LoadRecordFile(path, scratch, buffer);
        const int n = code == 0 ? buffer.frameCount() : 0;
        int64_t sent = 0;
        for (int i = 0; i < n; ++i) {
            const int32_t id = buffer[i].identifier;
            // The run leaves out what an 11-bit frame cannot carry; so does the count.
            if (!PlayDevice::toMessage(buffer[i], false).sendable) {
                ++unsendable;
                continue;
            }
            if (excluding && IsPlayExcludedID(id, params) == 1) {
                ++excluded;
                continue;
            }
            ++counts[id];
            ++sent;
        }
        frames += sent;
        const QString span
            = n > 0 ? QStringLiteral("%1-%2 ms").arg(buffer[0].time).arg(buffer[n - 1].time)
                    : QStringLiteral("-");
        printOut(QStringLiteral("file %1 frames=%2 send=%3 time=%4")
                     .arg(name)
                     .arg(n)
                     .arg(sent)
                     .arg(span));
    }
    QStringList ids;
    for (const auto &[id, count] : counts)
        ids << QStringLiteral("%1:%2").arg(id, 3, 16, QLatin1Char('0')).toUpper().arg(count);
    printOut(QStringLiteral("identifiers ") + ids.join(QLatin1Char(' ')));

    // The bus check, as the run would make it before its first frame.
    CAN_ReadDB rx;
    rx.Param_ALL_Clear();
    std::unique_ptr<PlayDevice> device;
    if (params.t_select_Vender == 1)
        device = std::make_unique<CanusbPlayDevice>(params, session.CAN_u, session.CAN_d);
    else
        device = std::make_unique<InterfaceCanPlayDevice>(params, session.IfCan_u, session.IfCan_d);
    host.RxFlag = 1;
    const bool opened = device->open() && device->start();
    if (opened)
        device->busCheck(host, rx);
    device->close();
    host.RxFlag = 0;
    if (!opened)
        return ExitDevice;
    QStringList held;
    int64_t heldFrames = 0;
    for (const auto &[id, count] : counts) {
        if (id >= 1 && id <= 0x7FF && rx.CAN11_Disabled_ID(int16_t(id)) != 0) {
            held << QString::number(id, 16).toUpper();
            heldFrames += count;
        }
    }
    printOut(QStringLiteral("held back by the bus check: ")
             + (held.isEmpty() ? QStringLiteral("none") : held.join(QLatin1Char(' '))));
    printOut(QStringLiteral("play (dry run): files=%1 frames=%2 excluded=%3 held=%4 "
                            "above7ff=%5")
                 .arg(files.size())
                 .arg(frames - heldFrames)
                 .arg(excluded)
                 .arg(heldFrames)
                 .arg(unsendable));
    return ExitOk;
}

} // namespace

int runPlay(const QStringList &args)
{
    QCommandLineParser parser;
    addBusOptions(parser, false);
    parser.addOptions({
        {QStringLiteral("repeat"), QStringLiteral("Play again from the start, until stopped.")},
        {QStringLiteral("skip-gap"), QStringLiteral("Between files of a folder, do not wait "
                                                    "out gaps of at least MS (30-100000)."),
         QStringLiteral("MS")},
        {QStringLiteral("memory"), QStringLiteral("Load up to 200 files of the folder before "
                                                  "sending.")},
        {QStringLiteral("dry-run"), QStringLiteral("List what would be sent and run the 3 s bus "
                                                   "check; send nothing.")},
    });
    parser.addPositionalArgument(QStringLiteral("TARGET"), QStringLiteral("A record file or a "
                                                                          "folder of them."));
    if (const auto exit = parseCommandLine(
            parser, args,
            QStringLiteral("cankestrova-cli play FILE|DIR [options]\n\n"
                           "Sends the frames of a record file, or of every record file of a "
                           "folder in turn, with their recorded spacing. It first listens 3 s "
                           "and never sends an identifier another node is sending. Ctrl-C or "
                           "SIGTERM stop it. One line at the end:\n"
                           "  play: sent=N time=S folder|file=PATH [stopped]"),
            1, 1))
        return *exit;

    Session session;
    ELM327_Info &params = session.params;
    CAN_PlayDB &play = session.play;
    if (const auto exit = applyBusOptions(parser, params, false))
        return *exit;
    if (parser.isSet(QStringLiteral("skip-gap"))) {
        bool ok = false;
        const int ms = parser.value(QStringLiteral("skip-gap")).toInt(&ok);
        if (!ok || ms < 30 || ms > 100000) {
            printErr(QStringLiteral("cankestrova-cli: --skip-gap takes 30 to 100000 ms"));
            return ExitUsage;
        }
        params.t_SkipTimeON = 1;
        params.t_SkipTime_Value = ms;
    }
    if (parser.isSet(QStringLiteral("memory")))
        params.t_MM_Mode = 1;

    const QString target = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    if (!QFileInfo::exists(target)) {
        printErr(QStringLiteral("cankestrova-cli: no such file or folder: ") + target);
        return ExitFiles;
    }
    play.get_PlayFilePath_DB_Main(target, params);
    if (play.t_RecPlay_FileType == 0) {
        printErr(QStringLiteral("cankestrova-cli: not a record file of this program: ") + target);
        return ExitFiles;
    }
    play.t_RecPlay_PlayMode_Repeat = parser.isSet(QStringLiteral("repeat")) ? 1 : 0;

    if (const auto exit = session.openForRun(parser.value(QStringLiteral("device"))))
        return *exit;

    CliHost host;
    host.attachPlayback(&play, &params);
    stopsignals::install([&host] { host.RxFlag = 0; });
    if (parser.isSet(QStringLiteral("dry-run")))
        return dryRun(session, host);

    CAN_ReadDB rx;
    Progress progress(QStringLiteral("playing"));
    host.onTick = [&] {
        QString text = QStringLiteral("sent %1").arg(play.sentFrameCount);
        if (play.t_RecPlay_FileType == 2)
            text += QStringLiteral(" file %1/%2").arg(play.FolderPlayMode_FN_Count_Now)
                        .arg(play.FolderPlayMode_FN_Count);
        progress.update(double(play.sentFrameCount), 0, QStringLiteral("frames"), text);
    };
    printErr(QStringLiteral("cankestrova-cli: playing %1 after a 3 s bus check; Ctrl-C stops")
                 .arg(target));
    QElapsedTimer clock;
    clock.start();
    play.PlayMode = 1;
    host.RxFlag = 1;
    play.FilePlayMain(host, params, rx, session.CAN_u, session.CAN_d, session.IfCan_u,
                      session.IfCan_d);
    play.PlayMode = 0;
    progress.finish();

    const bool stopped = stopsignals::received() != 0;
    printOut(
        QStringLiteral("play: sent=%1 time=%2 %3=%4%5")
            .arg(play.sentFrameCount)
            .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 3)
            .arg(play.t_RecPlay_FileType == 1 ? QStringLiteral("file") : QStringLiteral("folder"))
            .arg(target)
            .arg(stopped ? QStringLiteral(" stopped") : QString()));
    if (criticalMessageShown())
        return ExitDevice;
    return ExitOk;
}

} // namespace cli
