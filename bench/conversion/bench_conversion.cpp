// Prints the time of each conversion step and ends with
// RESULT dat_to_xls_s=X xls_to_dat_s=X folder10_s=X server_start_s=X
// bench_conversion --settings FOLDER writes the settings of the README's picture instead.
#include "ELM327_Info.h"
#include "Excel_OutputDB.h"
#include "FormFileChanger.h"
#include "OfficeModule.h"
#include "RecordFormat.h"
#include "SettingsFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

FrameBuffer fullFrames()
{
    FrameBuffer b;
    double t = 0;
    for (int i = 0; i < FrameBuffer::kSlots; ++i) {
        b[i].identifier = 0x100 + i % 40;
        b[i].time = t += 0.25 + (i % 7) * 0.125;
        b[i].dlc = uint8_t(i % 9);
        for (int k = 0; k < b[i].dlc; ++k)
            b[i].data[size_t(k)] = uint8_t(i * 7 + k);
    }
    return b;
}

// CPU seconds used so far by the processes of a group (the office), from /proc; a
// figure the other load on the machine does not inflate.
double groupCpuSeconds(qint64 group)
{
    double total = 0;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> f = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (f.size() > 12 && f[2].toLongLong() == group)
            total += (f[11].toDouble() + f[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
    }
    return total;
}

double ownCpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

double seconds(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e9;
}

} // namespace

// For the README's picture: three record files in FOLDER/records, and the program's
// settings file pointing the conversion dialog at them, with FOLDER/out as destination.
int writePictureSettings(const QString &folder)
{
    ELM327_Info params;
    RecordTrailer trailer = RecordTrailer::fromParams(params);
    trailer.comment = QStringLiteral("ブレーキ試験 2号車");
    QDir().mkpath(folder + QStringLiteral("/records"));
    QDir().mkpath(folder + QStringLiteral("/out"));
    for (const char *name : {"CR26120809-001.dat", "CR26120809-002.dat", "CR26120810-001.dat"}) {
        QFile f(folder + QStringLiteral("/records/") + QLatin1String(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(encodeRecordFile(fullFrames(), trailer)) < 0)
            return 1;
    }
    params.t_select_Vender = 1;
    params.t_CF_mode = 1;
    params.t_CF_Load_FileType = 2;
    params.t_CF_Load_Path = folder + QStringLiteral("/records");
    params.t_CF_Save_Path_mode = 2;
    params.t_CF_Save_Path = folder + QStringLiteral("/out");
    PlayTarget player;
    return SaveSettingsFile(params, player) == 0 ? 0 : 1;
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--settings")
        return writePictureSettings(QString::fromLocal8Bit(argv[2]));
    QString why;
    if (!office::isUsable(&why)) {
        std::fprintf(stderr, "LibreOffice is not usable: %s\n", qPrintable(why));
        return 1;
    }
    QTemporaryDir dir;
    ELM327_Info params;
    params.ExcelInstallCheck = 1;
    params.t_CF_Save_Path_mode = 2;
    params.t_CF_Save_Path = dir.path();
    RecordTrailer trailer = RecordTrailer::fromParams(params);
    trailer.comment = QStringLiteral("bench");
    const QByteArray file = encodeRecordFile(fullFrames(), trailer);
    QFile f(dir.filePath("full.dat"));
    if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size())
        return 1;
    f.close();

    QElapsedTimer timer;
    timer.start();
    office::Started office = office::start();
    const double start = seconds(timer);
    if (!office.server) {
        std::fprintf(stderr, "office: %s\n", qPrintable(office.error));
        return 1;
    }
    std::printf("office started in %.3f s\n", start);

    Excel_OutputDB engine;
    double office0 = groupCpuSeconds(office.server->processId()), own0 = ownCpuSeconds();
    auto cpu = [&] {
        const double o = groupCpuSeconds(office.server->processId()), m = ownCpuSeconds();
        std::printf("    cpu: office %.3f s, program %.3f s\n", o - office0, m - own0);
        office0 = o;
        own0 = m;
    };
    timer.restart();
    if (engine.CF_DAT_FileDataLoad(params, dir.filePath("full.dat")) != 0
        || engine.Excel_DataOutput(params, office.server.get(), QStringLiteral("full")) != 0) {
        std::fprintf(stderr, "dat -> xls failed: %s\n", qPrintable(engine.lastError()));
        return 1;
    }
    const double toXls = seconds(timer);
    std::printf("dat -> xls, 20001 frames: %.3f s\n", toXls);
    cpu();

    timer.restart();
    Excel_OutputDB back;
    if (back.CF_XLS_FileDataLoad(params, office.server.get(), dir.filePath("full.xls")) != 0
        || back.CF_DAT_FileDataWrite(params, QStringLiteral("back")) != 0) {
        std::fprintf(stderr, "xls -> dat failed: %s\n", qPrintable(back.lastError()));
        return 1;
    }
    const double toDat = seconds(timer);
    std::printf("xls -> dat, 20001 frames: %.3f s (same frames: %s)\n", toDat,
                std::equal(back.frames().frames().begin(), back.frames().frames().end(),
                           engine.frames().frames().begin()) ? "yes" : "NO");
    cpu();
    // The machine is shared: CPU seconds show what a conversion costs without the waits.
    if (qEnvironmentVariableIsSet("BENCH_LOOP"))
        for (int i = 0; i < 3; ++i) {
            timer.restart();
            engine.Excel_DataOutput(params, office.server.get(), QStringLiteral("loop"));
            std::printf("dat -> xls again: %.3f s\n", seconds(timer));
            cpu();
        }
    office.server->quit();

    // The dialog's run on a folder of ten, the office's start and stop included.
    QTemporaryDir folder, output;
    for (int i = 0; i < 10; ++i)
        QFile::copy(dir.filePath("full.dat"), folder.filePath(QStringLiteral("f%1.dat").arg(i)));
    params.t_CF_Load_FileType = 2;
    params.t_CF_Load_Path = folder.path();
    params.t_CF_mode = 1;
    params.t_CF_Save_Path = output.path();
    QTextEdit view;
    FormFileChanger dialog(params, &view, {}, nullptr);
    dialog.show();
    timer.restart();
    dialog.Bt_Change_Click();
    const double folder10 = seconds(timer);
    std::printf("folder of 10, dat -> xls: %.3f s, last line: %s\n", folder10,
                qPrintable(view.toPlainText().trimmed().section(QLatin1Char('\n'), -1)));

    std::printf("RESULT dat_to_xls_s=%.3f xls_to_dat_s=%.3f folder10_s=%.3f server_start_s=%.3f\n",
                toXls, toDat, folder10, start);
    return dialog.lastCode() == 0 ? 0 : 1;
}
