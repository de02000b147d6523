#pragma once

#include "Cp932.h"
#include "RecordDevice.h"
#include "RunHost.h"
#include "TestHelpers.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <vector>

// One frame slot of a record file as the tests read it back, by byte offsets of the
// format (identifier int32, time double, DLC byte, 8 data bytes; 21 bytes, little-endian),
// without the program's readers.
struct FileFrame
{
    int32_t id = 0;
    double time = 0;
    uint8_t dlc = 0;
    std::array<uint8_t, 8> data{};

    bool operator==(const FileFrame &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const FileFrame &f)
{
    os << "{id " << std::hex << f.id << std::dec << " t " << f.time << " dlc " << int(f.dlc)
       << " data";
    for (uint8_t b : f.data)
        os << ' ' << int(b);
    return os << '}';
}

struct RecordedFile
{
    QString name;
    std::vector<FileFrame> frames;   // slots before the first identifier below 1
    bool restZero = true;            // every slot after those is all zero
    QStringList trailer;             // the four strings
    qint64 size = 0;
};

constexpr int kSlots = 20001;
constexpr int kFrameBytes = 21;

inline RecordedFile readRecorded(const QString &path)
{
    RecordedFile out;
    out.name = QFileInfo(path).fileName();
    const QByteArray bytes = readAll(path);
    out.size = bytes.size();
    if (bytes.size() < kSlots * kFrameBytes)
        return out;
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData());
    bool ended = false;
    for (int k = 0; k < kSlots; ++k) {
        const uint8_t *s = p + k * kFrameBytes;
        FileFrame f;
        std::memcpy(&f.id, s, 4);
        std::memcpy(&f.time, s + 4, 8);
        f.dlc = s[12];
        std::memcpy(f.data.data(), s + 13, 8);
        if (!ended && f.id < 1)
            ended = true;
        if (!ended)
            out.frames.push_back(f);
        else if (f != FileFrame())
            out.restZero = false;
    }
    qsizetype at = kSlots * kFrameBytes;
    for (int i = 0; i < 4 && at + 2 <= bytes.size(); ++i) {
        const int n = uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8;
        out.trailer << cp932::decode(bytes.mid(at + 2, n));
        at += 2 + n;
    }
    if (at != bytes.size())
        out.trailer << QStringLiteral("<%1 bytes more>").arg(bytes.size() - at);
    return out;
}

// The record files of a folder in name order.
inline std::vector<RecordedFile> readRecordedFolder(const QString &folder)
{
    std::vector<RecordedFile> files;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name);
    for (const QString &name : names)
        files.push_back(readRecorded(QDir(folder).filePath(name)));
    return files;
}

// The main window's side of a run, for loops run without a window.
class TestHost final : public RunHost
{
public:
    std::array<QString, 2> status;
    QString protocol;
    bool monitorTimer = false;
    bool fileTimer = false;
    std::vector<QString> events;   // what the loop did to the window, in order

    void setStatusText(int index, const QString &text) override
    {
        if (index == 0 || index == 1)
            status[size_t(index)] = text;
        events.push_back(QStringLiteral("status%1=%2").arg(index).arg(text));
    }
    QString statusText(int index) const override
    {
        return index == 0 || index == 1 ? status[size_t(index)] : QString();
    }
    void setProtocolText(const QString &text) override
    {
        protocol = text;
        events.push_back(QStringLiteral("protocol=") + text);
    }
    bool timerBattReadEnabled() const override { return monitorTimer; }
    void setTimerBattReadEnabled(bool on) override
    {
        monitorTimer = on;
        events.push_back(on ? QStringLiteral("timer on") : QStringLiteral("timer off"));
    }
    bool timerFileRecPlayEnabled() const override { return fileTimer; }
    void setTimerFileRecPlayEnabled(bool on) override { fileTimer = on; }
};

// The PC clock the scripted runs use.
inline double &scriptedNow()
{
    static double now = 1000;
    return now;
}
inline double scriptedClock()
{
    return scriptedNow();
}

// A device that delivers a script: frames, empty polls, and actions between them, each at
// a PC clock reading of the script's own. When the script is through, it ends the run as
// the Disconnect button would.
class ScriptedDevice final : public RecordDevice
{
public:
    struct Step
    {
        std::optional<ReceivedFrame> frame;   // none: an empty poll
        double pcMs = 0;
        std::function<void()> action;         // runs before the poll answers
    };

    ScriptedDevice(RunHost &host, double wrapMs = 60000) : m_host(host), m_wrap(wrapMs) {}

    std::vector<Step> steps;
    bool openResult = true;
    bool closeFirst = true;
    std::optional<QString> closeResult = QString();
    std::function<void()> onClose;
    int opens = 0;
    int closes = 0;
    int polls = 0;

    void frame(uint32_t id, uint8_t dlc, double deviceMs, double pcMs,
               std::array<uint8_t, 8> data = {})
    {
        ReceivedFrame f;
        f.id = id;
        f.dlc = dlc;
        std::memcpy(f.data, data.data(), 8);
        f.deviceTimeMs = deviceMs;
        steps.push_back({f, pcMs, {}});
    }
    void idle(double pcMs) { steps.push_back({std::nullopt, pcMs, {}}); }
    void action(std::function<void()> a)
    {
        const double pc = steps.empty() ? scriptedNow() : steps.back().pcMs;
        steps.push_back({std::nullopt, pc, std::move(a)});
    }

    double wrapMs() const override { return m_wrap; }
    bool open(const ELM327_Info &) override
    {
        ++opens;
        return openResult;
    }
    bool poll(ReceivedFrame &out) override
    {
        ++polls;
        if (m_next >= steps.size()) {
            m_host.RxFlag = 0;
            return false;
        }
        const Step &s = steps[m_next++];
        scriptedNow() = s.pcMs;
        if (s.action)
            s.action();
        if (!s.frame)
            return false;
        out = *s.frame;
        return true;
    }
    bool closesBeforeLastFile() const override { return closeFirst; }
    std::optional<QString> close() override
    {
        ++closes;
        if (onClose)
            onClose();
        return closeResult;
    }

private:
    RunHost &m_host;
    double m_wrap;
    size_t m_next = 0;
};
