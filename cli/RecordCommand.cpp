#include "CliCommon.h"
#include "CliHost.h"
#include "Commands.h"
#include "Progress.h"
#include "StopSignals.h"

#include "CAN_ReadDB.h"
#include "CAN_RecDB.h"
#include "CAN_RecDB_Multi.h"
#include "CanusbRecordDevice.h"
#include "InterfaceRecordDevice.h"
#include "PlayDevice.h"
#include "RecordComment.h"
#include "RecordFiles.h"

#include <QDir>

#include <functional>
#include <QFileInfo>
#include <QTimer>

namespace cli {

namespace {

// The selected device as the record loop sees it, counting what the loop takes in, ending
// the run after a number of frames, and asking the adapter at the end whether its receive
// queue overflowed (frames lost before the loop could take them).
class CountingDevice final : public RecordDevice
{
public:
    CountingDevice(RecordDevice &device, RunHost &host, const RecordLoop::Exclusion *excluded,
                   int64_t frameLimit, const CAN_DB *adapters)
        : m_device(device), m_host(host), m_excluded(excluded), m_limit(frameLimit),
          m_adapters(adapters)
    {
    }

    double wrapMs() const override { return m_device.wrapMs(); }
    bool open(const ELM327_Info &params) override
    {
        opened = m_device.open(params);
        if (opened && onOpened)
            onOpened();
        return opened;
    }
    bool poll(ReceivedFrame &frame) override
    {
        if (!m_device.poll(frame))
            return false;
        if (frame.id < 0x800 && !(m_excluded && (*m_excluded)[frame.id])) {
            ++frames;
            if (m_limit > 0 && frames >= m_limit)
                m_host.RxFlag = 0;
        }
        return true;
    }
    QString lostText() const override { return m_device.lostText(); }
    bool closesBeforeLastFile() const override { return m_device.closesBeforeLastFile(); }
    std::optional<QString> close() override
    {
        if (m_adapters && opened && m_adapters->CAN_USB_Handle >= 1)
            overrun = (CANUSB::canusb_Status(m_adapters->CAN_USB_Handle)
                       & CANUSB::CANSTATUS_RECEIVE_FIFO_FULL) != 0;
        return m_device.close();
    }

    std::function<void()> onOpened;
    int64_t frames = 0;
    bool opened = false;
    bool overrun = false;

private:
    RecordDevice &m_device;
    RunHost &m_host;
    const RecordLoop::Exclusion *m_excluded;
    int64_t m_limit;
    const CAN_DB *m_adapters;
};

QString recordFolderOf(ELM327_Info &params)
{
    return recordBaseFolder(params);
}

} // namespace

int runRecord(const QStringList &args)
{
    QCommandLineParser parser;
    addBusOptions(parser, true);
    parser.addOptions({
        {QStringLiteral("out"), QStringLiteral("Folder for the record files (made when missing)."),
         QStringLiteral("DIR")},
        {QStringLiteral("comment"), QStringLiteral("Comment stored in the files: at most 50 "
                                                   "characters, trailing spaces dropped."),
         QStringLiteral("TEXT")},
        {QStringLiteral("subfolder"), QStringLiteral("Put the files in a sub-folder named after "
                                                     "the comment.")},
        {QStringLiteral("duration"), QStringLiteral("Stop after this many seconds."),
         QStringLiteral("S")},
        {QStringLiteral("frames"), QStringLiteral("Stop after this many frames."),
         QStringLiteral("N")},
    });
    if (const auto exit = parseCommandLine(
            parser, args,
            QStringLiteral("cankestrova-cli record [options]\n\n"
                           "Records every frame into record files of 20001 frames, named "
                           "CRyymmddhh-NNN.dat, as the record button does, until Ctrl-C, "
                           "SIGTERM, --duration or --frames; then writes the last partial "
                           "file and prints one line:\n"
                           "  record: frames=N files=N lost=0|overrun unsaved=N folder=DIR\n"
                           "(overrun: the adapter's receive queue overflowed)"),
            0, 0))
        return *exit;

    Session session;
    ELM327_Info &params = session.params;
    if (const auto exit = applyBusOptions(parser, params, true))
        return *exit;
    bool ok = true;
    const double duration = parser.isSet(QStringLiteral("duration"))
                                 ? parser.value(QStringLiteral("duration")).toDouble(&ok)
                                 : 0;
    if (!ok || duration < 0) {
        printErr(QStringLiteral("cankestrova-cli: bad --duration"));
        return ExitUsage;
    }
    const qint64 frameLimit = parser.isSet(QStringLiteral("frames"))
                                  ? parser.value(QStringLiteral("frames")).toLongLong(&ok)
                                  : 0;
    if (!ok || frameLimit < 0) {
        printErr(QStringLiteral("cankestrova-cli: bad --frames"));
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("out"))) {
        const QString out = QFileInfo(parser.value(QStringLiteral("out"))).absoluteFilePath();
        if (!QDir().mkpath(out)) {
            printErr(QStringLiteral("cankestrova-cli: cannot make ") + out);
            return ExitFiles;
        }
        params.t_LogSaveFilePath_mode = 2;
        params.t_LogSaveFilePath = out;
    }
    if (parser.isSet(QStringLiteral("comment"))) {
        // Stored as the window's comment box stores it, and the user told when it is cut.
        const QString given = parser.value(QStringLiteral("comment"));
        params.t_LogComment = recordComment(given);
        QString unpadded = given;
        while (unpadded.endsWith(QLatin1Char(' ')))
            unpadded.chop(1);
        if (params.t_LogComment != unpadded)
            printErr(QStringLiteral("cankestrova-cli: the comment is cut to %1 characters: %2")
                         .arg(kRecordCommentMaxCharacters)
                         .arg(params.t_LogComment));
    }
    if (parser.isSet(QStringLiteral("subfolder")))
        params.t_LogSave_subFolder = 1;
    // A run without record files would be a monitor without a screen.
    params.t_LogSave_Enable = 1;

    if (const auto exit = session.openForRun(parser.value(QStringLiteral("device"))))
        return *exit;
    const QString folder = recordFolderOf(params);

    CliHost host;
    CAN_ReadDB rx;
    const bool excluding = IsRecExclusionEnabled(params) == 1;
    const RecordLoop::Exclusion exclusion = CAN_RecDB_Multi::exclusionOf(params);
    CAN_RecDB loop(host);
    std::unique_ptr<RecordDevice> device;
    if (params.t_select_Vender == 1)
        device = std::make_unique<CanusbRecordDevice>(session.CAN_u, session.CAN_d);
    else
        device = std::make_unique<InterfaceRecordDevice>(session.IfCan_u, session.IfCan_d);
    CountingDevice counting(*device, host, excluding ? &exclusion : nullptr, frameLimit,
                            params.t_select_Vender == 1 ? &session.CAN_d : nullptr);

    counting.onOpened = [&] {
        printErr(QStringLiteral("cankestrova-cli: recording from %1 at %2 into %3; Ctrl-C stops")
                     .arg(parser.value(QStringLiteral("device")).isEmpty()
                              ? QStringLiteral("the first device")
                              : parser.value(QStringLiteral("device")),
                          PlayDevice::bitRateLabel(params.t_bitRate),
                          folder));
    };
    stopsignals::install([&host] { host.RxFlag = 0; });
    QTimer stopAfter;
    stopAfter.setSingleShot(true);
    QObject::connect(&stopAfter, &QTimer::timeout, [&host] { host.RxFlag = 0; });
    Progress progress(QStringLiteral("recording"));
    host.onTick = [&] {
        if (duration > 0 && !stopAfter.isActive() && host.RxFlag == 1 && counting.opened)
            stopAfter.start(int(duration * 1000));
        progress.update(double(counting.frames), 0, QStringLiteral("frames"),
                        QStringLiteral("frames %1").arg(counting.frames));
    };
    host.RxFlag = 1;
    session.play.PlayMode = 2;
    loop.run(counting, params, rx, excluding ? &exclusion : nullptr);
    session.play.PlayMode = 0;
    progress.finish();

    const int64_t unsaved = loop.unsavedFrameCount();
    const QString lost = counting.overrun ? QStringLiteral("overrun") : QStringLiteral("0");
    const QString where = params.t_LogSave_subFolder == 1 && !folder.isEmpty()
                              ? folder + QStringLiteral(" (sub-folder by comment)")
                              : folder;
    printOut(QStringLiteral("record: frames=%1 files=%2 lost=%3 unsaved=%4 folder=%5")
                 .arg(counting.frames)
                 .arg(loop.recordFilesWritten())
                 .arg(lost)
                 .arg(unsaved)
                 .arg(where));
    // A device that went away mid-run: what came before is in the files, but the run did
    // not end as asked.
    if (!counting.opened || criticalMessageShown())
        return ExitDevice;
    return unsaved > 0 || counting.overrun ? ExitIncomplete : ExitOk;
}

} // namespace cli
