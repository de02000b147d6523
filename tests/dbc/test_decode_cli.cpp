// cankestrova-cli decode and info --dbc on real files in a folder of the test's own.
#include "DbcFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct CliResult
{
    int code = -1;
    QString out;
    QString err;
};

class DecodeCli : public testing::Test
{
protected:
    CliResult run(const QStringList &args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ProgramFiles", m_dir.filePath("settings"));   // no user's config.dat
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(m_dir.path());
        p.start(QCoreApplication::applicationDirPath() + "/cankestrova-cli", args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    QString read(const QString &name)
    {
        QFile f(m_dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QString::fromUtf8(f.readAll());
    }

    QTemporaryDir m_dir;
    const QString m_jp = dbcfiles::path("jp_body_cp932.dbc");
    // BODY_STATUS every 100 ms, DIAG_MUX on pages 1 and 2, one unknown identifier.
    const QByteArray m_log = "(10.000000) can0 1A0#0100800100000000\n"
                             "(10.050000) can0 5F0#01E803E8030000FF\n"
                             "(10.100000) can0 1A0#0300000000000000\n"
                             "(10.150000) can0 5F0#02102700000000FF\n"
                             "(10.200000) can0 1A0#02\n"
                             "(10.250000) can0 123#00\n";
};

const char kRows[] =
    "time_ms,id,message,signal,value,unit,text\n"
    "T0,1A0,BODY_STATUS,DOOR_FL,1,,開\n"
    "T0,1A0,BODY_STATUS,DOOR_FR,0,,\n"
    "T0,1A0,BODY_STATUS,LAMP_MODE,0,,消灯\n"
    "T0,1A0,BODY_STATUS,OUTSIDE_TEMP,-39.2,℃,\n"
    "T0,1A0,BODY_STATUS,COUNTER,0,,\n"
    "T1,5F0,DIAG_MUX,PAGE,1,,\n"
    "T1,5F0,DIAG_MUX,VOLTAGE,1,V,\n"
    "T1,5F0,DIAG_MUX,CURRENT,10,A,\n"
    "T2,1A0,BODY_STATUS,DOOR_FL,1,,開\n"
    "T2,1A0,BODY_STATUS,DOOR_FR,1,,\n"
    "T2,1A0,BODY_STATUS,LAMP_MODE,0,,消灯\n"
    "T2,1A0,BODY_STATUS,OUTSIDE_TEMP,-40,℃,\n"
    "T2,1A0,BODY_STATUS,COUNTER,0,,\n"
    "T3,5F0,DIAG_MUX,PAGE,2,,\n"
    "T3,5F0,DIAG_MUX,ODOMETER,1000,km,\n"
    "T4,1A0,BODY_STATUS,DOOR_FL,0,,閉\n"   // one byte: the signals of byte 0 only
    "T4,1A0,BODY_STATUS,DOOR_FR,1,,\n"
    "T4,1A0,BODY_STATUS,LAMP_MODE,0,,消灯\n";

QString rowsWithTimes(const QStringList &times)
{
    QString rows = QString::fromUtf8(kRows);
    for (int i = 0; i < times.size(); ++i)
        rows.replace(QStringLiteral("T%1,").arg(i), times[i] + ',');
    return rows;
}

TEST_F(DecodeCli, CandumpLogToCsv)
{
    write("bus.log", m_log);
    const CliResult r = run({"decode", "--dbc", m_jp, "bus.log", "signals.csv"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(read("signals.csv"),
              rowsWithTimes({"10000.000", "10050.000", "10100.000", "10150.000", "10200.000"}));
    EXPECT_TRUE(r.out.contains("decode: frames=6 decoded=5 signals=18 unknown=1 skipped=0 "
                               "bad-lines=0 out=signals.csv"))
        << r.out.toStdString();
    // The database's line that cannot be used is named, the rest of it still decodes.
    EXPECT_TRUE(r.err.contains("jp_body_cp932.dbc:26: signal FUEL_RATE")) << r.err.toStdString();
}

TEST_F(DecodeCli, RecordFolderToStandardOutput)
{
    write("bus.log", m_log);
    ASSERT_EQ(run({"convert", "bus.log", "rec"}).code, 0);
    const CliResult r = run({"decode", "--dbc", m_jp, "rec"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, rowsWithTimes({"0.000", "50.000", "100.000", "150.000", "200.000"}));
    EXPECT_TRUE(r.err.contains("decode: frames=6 decoded=5")) << r.err.toStdString();
}

TEST_F(DecodeCli, InfoComparesCycleTimes)
{
    write("bus.log", m_log);
    const CliResult r = run({"info", "--dbc", m_jp, "bus.log"});
    EXPECT_EQ(r.code, 1);   // DIAG_MUX comes every 100 ms, the database says 1000
    EXPECT_TRUE(r.out.contains("1A0  BODY_STATUS  GenMsgCycleTime 100 ms, mean 100.000 ms: ok"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("5F0  DIAG_MUX  GenMsgCycleTime 1000 ms, mean 100.000 ms: "
                               "differs"));
    EXPECT_TRUE(r.out.contains("123  not in the database"));
}

struct FailRow
{
    const char *name;
    QStringList args;
    int code;
    const char *err;
};

class DecodeCliFails : public DecodeCli, public testing::WithParamInterface<FailRow>
{
};

TEST_P(DecodeCliFails, ExitCodeAndMessage)
{
    write("bus.log", m_log);
    write("broken.log", "(1.0) can0 1A0#01\nnot a frame\n");
    QStringList args = GetParam().args;
    args.replaceInStrings("JP", m_jp);
    const CliResult r = run(args);
    EXPECT_EQ(r.code, GetParam().code) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(GetParam().err))) << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeCliFails,
    testing::Values(FailRow{"NoDatabase", {"decode", "bus.log"}, 2, "needs --dbc"},
                    FailRow{"DatabaseMissing", {"decode", "--dbc", "no.dbc", "bus.log"}, 4,
                            "cannot open"},
                    FailRow{"InputMissing", {"decode", "--dbc", "JP", "no.log"}, 4,
                            "no such file"},
                    FailRow{"OutputNotWritable",
                            {"decode", "--dbc", "JP", "bus.log", "/nonexistent/x.csv"}, 4,
                            "cannot write"},
                    FailRow{"BadLine", {"decode", "--dbc", "JP", "broken.log", "o.csv"}, 1,
                            "bad line 2"}),
    [](const testing::TestParamInfo<FailRow> &info) { return std::string(info.param.name); });

} // namespace
