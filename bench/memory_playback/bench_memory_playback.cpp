// Writes 200 full record files (20001 frames each) into a temporary folder and starts a
// memory run on a private virtual bus; the run is stopped when it reaches its bus check,
// so the time measured is the device opening, the folder listing and the loading of every
// file into memory. The files were just written, so they are read from the page cache.
#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "CAN_PlayDB.h"
#include "CAN_ReadDB.h"
#include "CANUSB.h"
#include "ELM327_Info.h"
#include "InterfaceCAN.h"
#include "RecordFormat.h"
#include "RecordTrailer.h"
#include "RunHost.h"
#include "free_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr int kFiles = 200;

class BenchHost final : public RunHost
{
public:
    void setStatusText(int index, const QString &text) override
    {
        // The bus check starts once everything is in memory.
        if (index == 0 && text == QStringLiteral("CANバスのチェック中") && loadedMs < 0) {
            loadedMs = clock.nsecsElapsed() / 1e6;
            RxFlag = 0;
        }
    }
    QString statusText(int) const override { return {}; }
    void setProtocolText(const QString &) override {}
    bool timerBattReadEnabled() const override { return false; }
    void setTimerBattReadEnabled(bool) override {}
    bool timerFileRecPlayEnabled() const override { return false; }
    void setTimerFileRecPlayEnabled(bool) override {}

    QElapsedTimer clock;
    double loadedMs = -1;
};

long peakRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        long value = 0;
        if (key == "VmHWM:" && status >> value)
            return value;
    }
    return -1;
}

bool writeFiles(const QString &folder)
{
    ELM327_Info params;
    FrameBuffer buffer;
    for (int i = 0; i < FrameBuffer::kSlots; ++i) {
        RecordFrame &f = buffer[i];
        f.identifier = 0x100 + i % 0x600;
        f.time = i * 0.5;
        f.dlc = 8;
        for (int k = 0; k < 8; ++k)
            f.data[size_t(k)] = uint8_t(i + k);
    }
    const RecordTrailer trailer = RecordTrailer::fromParams(params);
    for (int n = 0; n < kFiles; ++n) {
        buffer[0].time = n * 10000.0;
        QFile file(QStringLiteral("%1/CR26120806-%2.dat").arg(folder).arg(n + 1, 3, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(encodeRecordFile(buffer, trailer)) < 0)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray bus =
        "virtualcan:tcp://127.0.0.1:" + QByteArray::number(freeTestPort()) + "/can0";
    qputenv("CANUSB_ADAPTERS", "BENCHUSB=" + bus);
    qputenv("IFCAN_PORTS", "1=" + bus);
    qputenv("QT_LOGGING_RULES", "qt.canbus*=false");

    QTemporaryDir dir;
    if (!dir.isValid() || !writeFiles(dir.path())) {
        std::fprintf(stderr, "cannot write the record files\n");
        return 1;
    }
    const long rssBefore = peakRssKb();

    ELM327_Info params;
    params.t_select_Vender = 1;
    params.t_MM_Mode = 1;
    CAN_ReadDB rx;
    CANUSB CAN_u;
    CAN_DB CAN_d;
    CAN_d.CAN_USB_SelectSerial = QStringLiteral("BENCHUSB");
    InterfaceCAN IfCan_u;
    CAN_DB_Interface IfCan_d;
    CAN_PlayDB play;
    play.t_RecPlay_FileType = 2;
    play.t_RecPlay_FilePath = dir.path();
    BenchHost host;
    host.RxFlag = 1;
    play.PlayMode = 1;
    host.clock.start();
    play.FilePlayMain(host, params, rx, CAN_u, CAN_d, IfCan_u, IfCan_d);
    const double totalMs = host.clock.nsecsElapsed() / 1e6;
    if (host.loadedMs < 0 || play.FolderPlayMode_FN_Count != kFiles) {
        std::fprintf(stderr, "the run did not load %d files (loaded %d)\n", kFiles,
                     play.FolderPlayMode_FN_Count);
        return 1;
    }
    std::printf("files=%d frames_per_file=%d loaded_in_ms=%.1f run_ms=%.1f rss_before_mb=%ld\n",
                kFiles, FrameBuffer::kSlots, host.loadedMs, totalMs, rssBefore / 1024);
    std::printf("RESULT load_s=%.3f rss_mb=%ld\n", host.loadedMs / 1000.0, peakRssKb() / 1024);
    return 0;
}
