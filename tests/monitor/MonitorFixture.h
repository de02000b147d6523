#pragma once

#include "CAN_PlayDB.h"
#include "CAN_ReadDB.h"
#include "CAN_ViewDB.h"
#include "ELM327_Info.h"
#include "LiveMonitor.h"
#include "RunHost.h"
#include "Vexa100.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

// The main window as the monitor sees it: status lines, comment and the two timers as
// plain state, so a test can read what a tick did to them.
class RecordingHost final : public RunHost
{
public:
    void setStatusText(int index, const QString &text) override
    {
        if (index == 0 || index == 1)
            status[size_t(index)] = text;
    }
    QString statusText(int index) const override
    {
        return index == 0 || index == 1 ? status[size_t(index)] : QString();
    }
    void setProtocolText(const QString &text) override { protocol = text; }
    void setCommentText(const QString &text) override { comment = text; }
    bool timerBattReadEnabled() const override { return battRead; }
    void setTimerBattReadEnabled(bool on) override
    {
        battRead = on;
        battReadChanges.push_back(on);
    }
    bool timerFileRecPlayEnabled() const override { return fileRecPlay; }
    void setTimerFileRecPlayEnabled(bool on) override { fileRecPlay = on; }

    std::array<QString, 2> status;
    QString protocol;
    QString comment;
    bool battRead = false;
    bool fileRecPlay = false;
    std::vector<bool> battReadChanges;
};

// Keeps what the monitor hands over, as the view would get it.
class RecordingSink final : public MonitorSink
{
public:
    void showTable(const QString &t, const std::vector<ColourRange> &r) override
    {
        text = t;
        ranges = r;
        ++shown;
        if (onShow)
            onShow();
    }
    QString text;
    std::vector<ColourRange> ranges;
    int shown = 0;
    std::function<void()> onShow;
};

// The working objects of a run, wired to a monitor on a clock the test turns.
struct MonitorRig
{
    explicit MonitorRig(MonitorSink *to = nullptr)
        : monitor({device, play, rx, view, host, interfaceOffset,
                   [this] { return recordElapsed; }},
                  to ? *to : sink)
    {
        device.t_select_Vender = 1;
        play.PlayMode = 2;
        host.RxFlag = 1;
        monitor.setClock([this] { return clock; });
    }

    // A frame as the receive loop enters it, taken in at the current clock.
    void frame(int id, int dlc, double stampMs, std::array<uint8_t, 8> bytes = {})
    {
        rx.updateFrame(int16_t(id), dlc, clock, Currency::fromDouble(stampMs), bytes.data());
    }

    void tick(double advanceMs = LiveMonitor::kInterval)
    {
        clock += advanceMs;
        monitor.tick();
    }

    QStringList lines() const { return sink.text.split(QStringLiteral("\r\n")); }

    // The table line of an identifier ("" when not listed).
    QString lineOf(int id) const
    {
        const QString head = QStringLiteral("%1  ").arg(id, 3, 16, QLatin1Char('0')).toUpper();
        for (const QString &l : lines())
            if (l.startsWith(head))
                return l;
        return {};
    }

    // CR LF offset of the first character of an identifier's line.
    int lineStartOf(int id) const
    {
        const QString line = lineOf(id);
        return line.isEmpty() ? -1 : int(sink.text.indexOf(line));
    }

    // The ranges that start on an identifier's line, as (column, length, colour, bg).
    std::vector<ColourRange> rangesOn(int id) const
    {
        std::vector<ColourRange> out;
        const int start = lineStartOf(id);
        if (start < 0)
            return out;
        const int end = start + int(lineOf(id).size());
        for (ColourRange r : sink.ranges)
            if (r.start >= start && r.start < end) {
                r.start -= start;
                out.push_back(r);
            }
        return out;
    }

    // The range on the cycle-time column of an identifier's line, if any.
    const ColourRange *timeRange(int id) const
    {
        static ColourRange found;
        const QString line = lineOf(id);
        const int column = int(line.lastIndexOf(QStringLiteral("   "))) + 3;
        for (const ColourRange &r : rangesOn(id))
            if (!r.background && r.start == column) {
                found = r;
                return &found;
            }
        return nullptr;
    }

    ELM327_Info device;
    CAN_PlayDB play;
    CAN_ReadDB rx;
    CAN_ViewDB view;
    RecordingHost host;
    RecordingSink sink;
    double interfaceOffset = 0;
    double recordElapsed = 0;
    double clock = 50000;
    LiveMonitor monitor;
};
