#include "LiveMonitor.h"

#include "CAN_PlayDB.h"
#include "CanDatabase.h"
#include "CAN_ReadDB.h"
#include "CAN_ViewDB.h"
#include "ELM327_Info.h"
#include "MessagePump.h"
#include "RunHost.h"
#include "Vexa100.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int32_t kLastId = 0x7FF;
// The CANUSB adapter's time stamp runs modulo 60000 ms.
constexpr int64_t kCanusbWrapScaled = int64_t(60000) * 10000;

// Whole seconds of a millisecond span, halves to even; a span the clock cannot give
// (not finite, or beyond any run) shows as 0 rather than as a wrapped integer.
QString roundedSeconds(double ms)
{
    const double s = std::nearbyint(ms / 1000.0);
    if (!std::isfinite(s) || std::fabs(s) > 9.0e15)
        return QStringLiteral("0");
    return QString::number(int64_t(s));
}

int32_t clampToInt32(int64_t v)
{
    return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

// Writes the decimal digits of v at out, returns their count (at most 20).
int decimal(uint64_t v, char16_t *out)
{
    char16_t digits[20];
    int n = 0;
    do {
        digits[n++] = char16_t(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (int i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    return n;
}

} // namespace

// One table line is assembled here and appended to the builder in one piece.
class TableLineWriter
{
public:
    explicit TableLineWriter(int32_t base) : m_base(base) {}

    int32_t offset() const { return m_base + m_size; }   // the builder's length so far
    void ascii(const char *s)
    {
        while (*s)
            m_buf[m_size++] = char16_t(*s++);
    }
    void hex(uint32_t v, int digits)
    {
        for (int i = digits - 1; i >= 0; --i)
            m_buf[m_size + i] = char16_t(kHexDigits[(v >> (4 * (digits - 1 - i))) & 0xF]);
        m_size += digits;
    }
    void number(int64_t v)
    {
        if (v < 0)
            m_buf[m_size++] = u'-';
        m_size += decimal(v < 0 ? 0 - uint64_t(v) : uint64_t(v), m_buf + m_size);
    }
    int time(Currency t)
    {
        const int n = LiveMonitor::timeText(t, m_buf + m_size);
        m_size += n;
        return n;
    }
    // At most max characters of s, and never beyond the line's room.
    void text(const QString &s, int max)
    {
        const int n = std::min<int>({int(s.size()), max, int(std::size(m_buf)) - 2 - m_size});
        for (int i = 0; i < n; ++i)
            m_buf[m_size++] = s[i].unicode();
    }
    QStringView text() const { return QStringView(m_buf, m_size); }

private:
    int32_t m_base;
    int m_size = 0;
    char16_t m_buf[160];
};

LiveMonitor::LiveMonitor(const Links &links, MonitorSink &sink)
    : m_device(links.device), m_play(links.play), m_rx(links.rx), m_view(links.view),
      m_host(links.host), m_interfaceOffset(links.interfaceOffset),
      m_recordElapsedMs(links.recordElapsedMs), m_clock(&vexa::vx_timeGetTime), m_sink(sink)
{
}

int LiveMonitor::timeText(Currency t, char16_t *out)
{
    const int64_t scaled = t.scaled();
    const uint64_t magnitude = scaled < 0 ? 0 - uint64_t(scaled) : uint64_t(scaled);
    int n = 0;
    if (scaled < 0)
        out[n++] = u'-';
    n += decimal(magnitude / 10000, out + n);
    uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        out[n++] = u'.';
        for (int d = 1000; fraction != 0; d /= 10) {
            out[n++] = char16_t(u'0' + fraction / uint64_t(d));
            fraction %= uint64_t(d);
        }
    }
    return n;
}

QString LiveMonitor::timeText(Currency t)
{
    char16_t buf[kTimeTextMax];
    return QString(reinterpret_cast<const QChar *>(buf), timeText(t, buf));
}

void LiveMonitor::setDatabase(const CanDatabase *db)
{
    if (db == m_db)
        return;
    m_db = db;
    m_names.assign(db ? kIds : 0, QString());
    m_cycleTimes.assign(db ? kIds : 0, 0);
    m_cycleSamples.fill(0);
    if (!db)
        return;
    for (const DbcMessage &m : db->messages()) {
        if (m.extended || m.id < 1 || m.id >= uint32_t(kIds))
            continue;
        m_names[m.id] = QString::fromStdString(m.name);
        m_cycleTimes[m.id] = m.cycleTimeMs;
    }
}

bool LiveMonitor::cycleStrays(int16_t id, Currency d)
{
    const size_t i = size_t(id);
    if (!m_db || m_cycleTimes[i] <= 0)
        return false;
    const Currency stamp = m_rx.CAN11_ReceivedTime(id);
    if (stamp != m_lastStamp[i]) {   // a frame arrived since the last tick
        m_lastStamp[i] = stamp;
        // A mean over about the last eight cycles seen, so that a cycle that changes shows.
        const double ms = d.toDouble();
        m_meanCycle[i] = m_cycleSamples[i] == 0 ? ms : m_meanCycle[i] + (ms - m_meanCycle[i]) / 8;
        m_cycleSamples[i] = std::min(m_cycleSamples[i] + 1, 1000);
    }
    constexpr int kSamplesBeforeJudging = 4;
    return m_cycleSamples[i] >= kSamplesBeforeJudging
           && cycleDiffers(m_cycleTimes[i], m_meanCycle[i], m_device.t_MsgLateColor_Ratio);
}

void LiveMonitor::collectMarkers()
{
    // The parameters hold eight markers whatever the settings file says the last one is;
    // an identifier outside 1..0x7FF is never on the table.
    for (const Marker &m : m_markers)
        m_hasMarker[size_t(m.id)] = false;
    m_markers.clear();
    m_markerPlaced.fill(false);
    const int last = std::min<int32_t>(m_device.t_MsgMarker_MAX, 7);
    for (int m = 0; m <= last; ++m) {
        const auto mi = int16_t(m);
        const int32_t id = m_device.t_MsgMarkerID(mi);
        if (m_device.t_MsgMarker_ON(mi) != 1 || id < 1 || id > kLastId)
            continue;
        m_markers.push_back({mi, int16_t(id), m_device.t_MsgMarkerStartByte(mi),
                             m_device.t_MsgMarkerEndByte(mi)});
        m_hasMarker[size_t(id)] = true;
    }
}

int32_t LiveMonitor::fade(FadeMemo &memo, int32_t colour, int32_t numerator,
                          int32_t denominator)
{
    // A counter is never above the fade time it started from; a fade time of 0 or less
    // never starts a counter. Both are held here too, so no settings file can make the
    // channels overflow into each other or the library divide by zero.
    if (denominator <= 0)
        return colour & 0xFFFFFF;
    numerator = std::min(numerator, denominator);
    // Most coloured cells of a tick share one fade step.
    if (memo.valid && memo.colour == colour && memo.numerator == numerator
        && memo.denominator == denominator)
        return memo.result;
    memo = {true, colour, numerator, denominator,
            vexa::ColorAttenuation(colour & 0xFFFFFF, numerator, denominator) & 0xFFFFFF};
    return memo.result;
}

void LiveMonitor::tick()
{
    if (m_inTick)
        return;
    struct Reentry
    {
        bool &flag;
        explicit Reentry(bool &f) : flag(f) { flag = true; }
        ~Reentry() { flag = false; }
    } reentry(m_inTick);

    const double now = m_clock() - m_play.Pause_ON_offset_time;
    m_host.setTimerBattReadEnabled(false);
    if (m_play.Resuest_Timer_File_REC_Play_Enabled == 1) {
        m_play.Resuest_Timer_File_REC_Play_Enabled = 0;
        m_host.setTimerFileRecPlayEnabled(true);
    }

    m_builder.clear();
    collectMarkers();
    writeModeTexts();

    for (int id = 1; id <= kLastId; ++id) {
        const bool wasListed = m_listed[size_t(id)];
        m_listed[size_t(id)] = m_rx.CAN11_Received(int16_t(id)) == 1;
        if (!wasListed)   // a new run, or the identifier's first frame
            m_cycleSamples[size_t(id)] = 0;
        if (m_listed[size_t(id)])
            appendLine(int16_t(id), now);
        if (id % 100 == 0)
            pumpMessages();
    }
    m_builder.Append(m_view.DisableID_Status_Buffer);
    m_builder.Append(QLatin1String("\r\n\r\n"));
    m_text = m_builder.Text();

    m_ranges.clear();
    for (int id = 1; id <= kLastId; ++id) {
        // Only lines of this tick's text: a range recorded for an identifier that was
        // not drawn would land on someone else's line.
        if (m_listed[size_t(id)] && m_rx.CAN11_Received(int16_t(id)) == 1)
            colourLine(int16_t(id));
        if (id % 100 == 0)
            pumpMessages();
    }

    m_sink.showTable(m_text, m_ranges);
    // A Pause clicked while this tick let the window system run has stopped the timer;
    // it stays stopped until the run resumes.
    if (m_host.RxFlag == 1 && m_play.Pause_ON_Flag != 1)
        m_host.setTimerBattReadEnabled(true);
}

void LiveMonitor::writeModeTexts()
{
    const QLatin1String crlf("\r\n");
    const QString header = QStringLiteral("ID  DLC  D1 D2 D3 D4 D5 D6 D7 D8");
    if (m_play.PlayMode == 1) {
        m_interfaceOffset = m_play.interfaceCAN_offset_time;
        m_host.setStatusText(
            0, QStringLiteral("＞再生中 ")
                   + roundedSeconds(m_play.vx_millisecond - m_play.vx_start_time
                                    - m_play.Pause_ON_offset_time)
                   + QStringLiteral("[s] ： ")
                   + roundedSeconds(m_play.vx_millisecond - m_play.vx_millisecond_Repeat
                                    - m_play.Pause_ON_offset_time2)
                   + QLatin1Char('/') + roundedSeconds(m_play.vx_millisecond_Repeat_MAX)
                   + QStringLiteral("[s]"));
        if (m_play.t_RecPlay_FileType == 2)
            writeFolderStatus();
        m_host.setCommentText(m_device.t_LogComment);
        m_builder.Append(QStringLiteral("再生モード"));
    } else if (m_play.PlayMode == 2) {
        m_interfaceOffset = m_play.interfaceCAN_offset_time;
        const double elapsed = m_recordElapsedMs ? std::nearbyint(m_recordElapsedMs()) : 0.0;
        const int64_t ms = std::isfinite(elapsed) && std::fabs(elapsed) < 9.0e18 ? int64_t(elapsed) : 0;
        m_host.setStatusText(0, QStringLiteral("●録画中　") + QString::number(ms / 1000)
                                    + QStringLiteral("[s]"));
        m_builder.Append(QStringLiteral("録画モード"));
    } else {
        return;
    }
    m_builder.Append(crlf);
    m_builder.Append(header);
    m_builder.Append(crlf);
}

void LiveMonitor::writeFolderStatus()
{
    const QString n = QString::number(m_play.PlayDAT_count);
    const int32_t total = m_play.FolderPlayMode_FN_Count;
    const int32_t next = m_play.FolderPlayMode_FN_Count_Now;
    const QString t = QString::number(total);
    const bool skip = m_device.t_SkipTimeON == 1;
    QString text;
    if (m_device.t_MM_Mode != 0) {
        // The memory player keeps every file loaded, so its index never wraps to 0.
        const QString i = QString::number(int64_t(next) + 1);
        text = (skip ? QStringLiteral("メモリ再生　ST　Msg:") : QStringLiteral("メモリ再生 　Msg:"))
               + n + QStringLiteral(" 　File:") + i + QLatin1Char('/') + t;
    } else {
        // After the list has wrapped the index is 0 while the last file plays.
        const QString i = QString::number(next == 0 ? total : next);
        text = (skip ? QStringLiteral("ST Msg:") : QStringLiteral("　 Msg:")) + n
               + QStringLiteral(" 　File:") + i + QLatin1Char('/') + t;
    }
    m_host.setStatusText(1, text);
}

void LiveMonitor::appendLine(int16_t id, double now)
{
    const size_t i = size_t(id);
    TableLineWriter line(m_builder.length());
    line.hex(uint32_t(id), 3);
    line.ascii("  ");
    const int32_t dlc = m_rx.CAN11_DLC(id);
    line.number(dlc);
    line.ascii("  ");

    // A device may report a DLC up to 15 (or anything, from a broken file): the line
    // always has exactly eight byte columns.
    const int bytes = std::clamp<int32_t>(dlc, 0, 8);
    const uint8_t latest[8] = {m_rx.CAN11_Data1(id), m_rx.CAN11_Data2(id),
                               m_rx.CAN11_Data3(id), m_rx.CAN11_Data4(id),
                               m_rx.CAN11_Data5(id), m_rx.CAN11_Data6(id),
                               m_rx.CAN11_Data7(id), m_rx.CAN11_Data8(id)};
    const uint8_t before[8] = {m_rx.CAN11_Data1_old(id), m_rx.CAN11_Data2_old(id),
                               m_rx.CAN11_Data3_old(id), m_rx.CAN11_Data4_old(id),
                               m_rx.CAN11_Data5_old(id), m_rx.CAN11_Data6_old(id),
                               m_rx.CAN11_Data7_old(id), m_rx.CAN11_Data8_old(id)};
    for (int k = 1; k <= bytes; ++k) {
        const int32_t at = line.offset();
        const uint8_t old = before[k - 1];
        const uint8_t cur = latest[k - 1];
        const int32_t counter = m_view.byteCounter(id, k);
        if (old != cur || counter > 0) {
            m_view.setByteCounter(id, k, old != cur ? m_device.t_DataChangeColorTime
                                                    : counter - kInterval);
            m_view.setByteStart(id, k, at + 1);
            m_view.setByteLength(id, k, 2);
        }
        if (m_hasMarker[i]) {
            for (const Marker &m : m_markers) {
                if (m.id == id && m.startByte == k) {
                    m_view.ViewColorMsgMarker_start(m.index, at + 1);
                    m_markerPlaced[size_t(m.index)] = true;
                }
            }
        }
        line.ascii(" ");
        line.hex(cur, 2);
    }
    if (m_hasMarker[i]) {
        for (const Marker &m : m_markers)
            if (m.id == id)
                m_view.ViewColorMsgMarker_end(
                    m.index, clampToInt32((int64_t(m.endByte) - m.startByte) * 3 + 2));
    }
    for (int k = bytes; k < 8; ++k)
        line.ascii("   ");
    m_bytesEnd[i] = line.offset();

    const Currency delta = m_rx.CAN11_ReceivedTime_Delta(id);
    if (delta > Currency()) {
        const double x = ((now - m_interfaceOffset) - m_rx.CAN11_ReadTime_old(id))
                         / delta.toDouble() * 100.0;
        m_rx.CAN11_BlackoutON(id, x > 100.0 + double(m_device.t_MsgBlackout_Ratio) ? 1 : 0);
    }

    appendTimeColumn(id, line);
    if (m_db && !m_names[i].isEmpty()) {
        line.ascii("  ");
        line.text(m_names[i], kNameMax);
    }
    line.ascii("\r\n");
    m_builder.Append(line.text());
}

void LiveMonitor::appendTimeColumn(int16_t id, TableLineWriter &line)
{
    const int32_t at = line.offset();
    const Currency newest = m_rx.CAN11_ReceivedTime(id);
    const Currency before = m_rx.CAN11_ReceivedTime_old(id);
    Currency d = newest - before;
    const int32_t vendor = m_device.t_select_Vender;
    if (vendor == 1 && d < Currency())
        d = d + Currency::fromScaled(kCanusbWrapScaled);
    const bool writing = m_rx.CAN11_ReceivedTime_writting(id) != 0;
    const int32_t counter = m_view.ViewColorlength_dt_timerCounter(id);

    line.ascii("   ");
    int shown = 0;
    auto record = [&] {
        m_view.ViewColorlength_dt_start(id, at + 3);
        m_view.ViewColorlength_dt_end(id, shown + 2);
    };
    if (writing || (d < Currency() && vendor != 2)) {
        line.ascii(newest == Currency() && before == Currency() ? "----" : "????");
        shown = 4;
    } else if (d <= Currency()) {
        // Nothing new (or, from an Interface board, a stamp that went backwards): the
        // previous cycle time stays on show.
        shown = line.time(m_rx.CAN11_ReceivedTime_Delta(id));
        if (counter > 0) {
            m_view.ViewColorlength_dt_timerCounter(id, counter - kInterval);
            record();
        }
    } else {
        const double x = m_rx.CAN11_ReceivedTime_Delta(id).toDouble() / d.toDouble() * 100.0;
        const double ratio = m_device.t_MsgLateColor_Ratio;
        shown = line.time(d);
        if (cycleStrays(id, d)) {
            // Held at full colour while the mean stays off the database's cycle time.
            m_view.ViewColorlength_dt_timerCounter(id, m_device.t_MsgLateColor_Time);
            record();
        } else if (100.0 - ratio < x && x < 100.0 + ratio) {
            if (counter > 0) {
                m_view.ViewColorlength_dt_timerCounter(id, counter - kInterval);
                record();
            }
        } else {
            m_view.ViewColorlength_dt_timerCounter(id, m_device.t_MsgLateColor_Time);
            record();
        }
        m_rx.CAN11_ReceivedTime_Delta(id, d);
    }
    line.ascii("ms");
    m_timeStart[size_t(id)] = at + 3;
    m_timeLength[size_t(id)] = shown + 2;
}

void LiveMonitor::colourLine(int16_t id)
{
    const size_t i = size_t(id);
    if (m_device.t_DataChangeColorEnable == 1) {
        const int bytes = std::clamp<int32_t>(m_rx.CAN11_DLC(id), 0, 8);
        for (int k = 1; k <= bytes; ++k) {
            const int32_t counter = m_view.byteCounter(id, k);
            if (counter > 0)
                m_ranges.push_back({m_view.byteStart(id, k), m_view.byteLength(id, k),
                                    fade(m_dataFade, m_device.t_DataChangeColor, counter,
                                         m_device.t_DataChangeColorTime),
                                    false});
        }
    }

    // The cycle-time colours go on this tick's time column. The range kept in the view
    // state is refreshed only while a fade runs, so a silent identifier's range can be
    // many ticks old, and lines above it change length with their cycle times.
    const int32_t counter = m_view.ViewColorlength_dt_timerCounter(id);
    const bool silent = m_rx.CAN11_BlackoutON(id) == 1;
    if (counter >= 1 && !silent && m_device.t_MsgLateColorEnable == 1)
        m_ranges.push_back({m_timeStart[i], m_timeLength[i],
                            fade(m_lateFade, m_device.t_MsgLateColor, counter,
                                 m_device.t_MsgLateColor_Time),
                            false});
    else if (m_device.t_MsgBlackout_Enable == 1 && silent)
        m_ranges.push_back({m_timeStart[i], m_timeLength[i],
                            m_device.t_MsgBlackout_Color & 0xFFFFFF, false});

    if (!m_hasMarker[i])
        return;
    for (const Marker &m : m_markers) {
        // A start byte beyond this frame's DLC (or outside 1..8) is not on the line; a
        // span past byte 8 stops at the end of the byte columns.
        if (m.id != id || !m_markerPlaced[size_t(m.index)])
            continue;
        const int32_t start = m_view.ViewColorMsgMarker_start(m.index);
        const int32_t length = std::min(m_view.ViewColorMsgMarker_end(m.index), m_bytesEnd[i] - start);
        if (length > 0)
            m_ranges.push_back({start, length, m_device.t_MsgMarkerColor(m.index) & 0xFFFFFF, true});
    }
}
