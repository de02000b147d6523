// Every signal of every message of the real databases, decoded here and by
// python3-canmatrix from the same payloads.
#include "DbcFiles.h"
#include "DbcReader.h"
#include "SignalDecoder.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace {

struct Reference
{
    QString signal;
    QString physical;
    QString name;
};

bool close(double a, double b)
{
    if (a == b)
        return true;
    return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

// canmatrix gives the signals under a message line it cannot read to the message before:
// true when a message line refused here lies in the block of message m.
bool misattached(const CanDatabase &db, const DbcMessage &m)
{
    int64_t next = INT64_MAX;
    for (const DbcMessage &other : db.messages())
        if (other.line > m.line)
            next = std::min(next, other.line);
    for (const DbcProblem &p : db.problems())
        if (p.line > m.line && p.line < next
            && p.text.find("is not a CAN identifier") != std::string::npos)
            return true;
    return false;
}

// canmatrix reads a message line with bit 30 or 29 set as the identifier without them;
// here such a line is refused.
bool refused(const CanDatabase &db, uint32_t id)
{
    for (const DbcProblem &p : db.problems()) {
        unsigned long long raw = 0;
        if (std::sscanf(p.text.c_str(), "identifier %llu is not a CAN identifier", &raw) == 1
            && (raw & 0x1FFFFFFF) == id)
            return true;
    }
    return false;
}

class CanmatrixFile : public testing::TestWithParam<std::string>
{
};

TEST_P(CanmatrixFile, EverySignalAgrees)
{
    const QString file = dbcfiles::path(QString::fromStdString(GetParam()));
    const bool cp932 = GetParam().find("cp932") != std::string::npos;
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    python.start(dbcfiles::python(),
                 {dbcfiles::canmatrixScript(), file,
                  QLatin1String(cp932 ? "cp932" : "utf-8"), QStringLiteral("50"),
                  QStringLiteral("23")});
    ASSERT_TRUE(python.waitForFinished(240000));
    ASSERT_EQ(python.exitCode(), 0);
    const QList<QByteArray> lines = python.readAllStandardOutput().split('\n');

    const Result<CanDatabase> read = DbcReader::readFile(file);
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    const CanDatabase &db = read.value();
    EXPECT_EQ(db.encoding(), cp932 ? CanDatabase::Encoding::Cp932 : CanDatabase::Encoding::Utf8);

    // Lines come grouped by message and payload.
    std::map<std::pair<uint32_t, bool>, std::set<QByteArray>> payloads;
    std::vector<DecodedSignal> decoded(256);
    QByteArray lastKey;
    std::map<QString, DecodedSignal> ours;
    size_t oursCount = 0;
    size_t theirsCount = 0;
    auto closePayload = [&] {
        EXPECT_EQ(oursCount, theirsCount) << lastKey.toStdString() << ": signal count";
    };
    int compared = 0;
    int misattachedCount = 0;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> f = line.split('\t');
        ASSERT_EQ(f.size(), 7) << line.toStdString();
        const uint32_t id = f[0].toUInt();
        const bool extended = f[1] == "1";
        const DbcMessage *m = db.message(id, extended);
        if (!m && refused(db, id))
            continue;
        ASSERT_NE(m, nullptr) << GetParam() << ": message " << id;
        const QString name = QString::fromUtf8(f[3]);
        if (f[2] == "-") {   // canmatrix cannot decode it either: it reaches beyond the frame
            const DbcSignal *s = m->signal(name.toStdString());
            if (!s && misattached(db, *m))
                continue;
            ASSERT_NE(s, nullptr) << name.toStdString();
            EXPECT_TRUE(!s->usable || s->bytesNeeded > m->size) << name.toStdString();
            continue;
        }
        const QByteArray key = f[0] + ' ' + f[2] + ' ' + f[6];
        if (key != lastKey) {
            if (!lastKey.isEmpty())
                closePayload();
            lastKey = key;
            const QByteArray bytes = QByteArray::fromHex(f[2]);
            payloads[{id, extended}].insert(bytes);
            decoded.resize(m->signalList.size());
            const int n = signaldecoder::decode(
                *m, std::span(reinterpret_cast<const uint8_t *>(bytes.constData()),
                              size_t(bytes.size())),
                decoded.data());
            ours.clear();
            for (int i = 0; i < n; ++i)
                ours[QString::fromStdString(decoded[size_t(i)].signal->name)] = decoded[size_t(i)];
            oursCount = ours.size();
            theirsCount = 0;
        }
        ++theirsCount;
        const auto it = ours.find(name);
        if (it == ours.end() && misattached(db, *m)) {
            --theirsCount;   // not a signal of this message
            ++misattachedCount;
            continue;
        }
        ASSERT_NE(it, ours.end()) << key.toStdString() << " " << name.toStdString();
        const double want = f[4].toDouble();
        EXPECT_TRUE(close(it->second.value, want))
            << key.toStdString() << " " << name.toStdString() << ": " << it->second.value
            << " vs " << want;
        if (f[5] != "?") {
            const std::string_view ourName = it->second.valueName();
            EXPECT_EQ(QString::fromUtf8(ourName.data(), qsizetype(ourName.size())),
                      f[5] == "-" ? QString() : QString::fromUtf8(f[5]))
                << key.toStdString() << " " << name.toStdString();
        }
        ++compared;
    }
    if (!lastKey.isEmpty())
        closePayload();
    EXPECT_GT(compared, 0);
    if (misattachedCount > 0)
        std::printf("%d values canmatrix gave the wrong message left out\n", misattachedCount);
    for (const auto &[id, set] : payloads) {
        // Fifty different payloads, or all a short message can have.
        const int size = std::min(db.message(id.first, id.second)->size, 7);
        EXPECT_GE(set.size(), std::min<size_t>(50, size_t(1) << (8 * size)))
            << "message " << id.first;
    }
    // Every usable message here is one canmatrix read, and the other way round.
    size_t decodable = 0;
    for (const DbcMessage &m : db.messages())
        decodable += m.size > 0 && !m.signalList.empty();
    EXPECT_EQ(payloads.size(), decodable);
}

std::vector<std::string> files()
{
    std::vector<std::string> names;
    for (const QString &n : dbcfiles::all())
        names.push_back(n.toStdString());
    return names;
}

INSTANTIATE_TEST_SUITE_P(Files, CanmatrixFile, testing::ValuesIn(files()),
                         [](const testing::TestParamInfo<std::string> &info) {
                             return info.param.substr(0, info.param.size() - 4);
                         });

} // namespace
