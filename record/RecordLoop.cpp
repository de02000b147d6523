#include "RecordLoop.h"

#include "CAN_ReadDB.h"
#include "ELM327_Info.h"
#include "MessageBox.h"
#include "MessagePump.h"
#include "RecordDevice.h"
#include "RecordFiles.h"
#include "RunHost.h"
#include "TimerResolution.h"
#include "Vexa100.h"

#include <chrono>
#include <span>
#include <thread>

namespace {

// TB_Protocol by t_bitRate 0 … 7.
const char *const kProtocolTexts[] = {"1M bps",   "800k bps", "500k bps", "250k bps",
                                      "100k bps", "50k bps",  "20k bps",  "10k bps"};

QString protocolText(int32_t bitRate)
{
    if (bitRate < 0 || bitRate >= int32_t(std::size(kProtocolTexts)))
        return {};
    return QString::fromLatin1(kProtocolTexts[bitRate]);
}

} // namespace

RecordLoop::RecordLoop(RunHost &host) : m_host(host), m_clock(&vexa::vx_timeGetTime) {}

void RecordLoop::setClockForTesting(Clock clock)
{
    m_clock = clock ? clock : &vexa::vx_timeGetTime;
}

QString RecordLoop::unsavedStatusText(int64_t frames)
{
    return QStringLiteral("録画ファイル保存エラー：未保存 %1 フレーム").arg(frames);
}

void RecordLoop::run(RecordDevice &device, ELM327_Info &params, CAN_ReadDB &rx,
                     const Exclusion *excluded)
{
    const bool opened = start(device, params, rx);
    if (opened)
        receive(device, params, rx, excluded);
    finish(device, params, opened);
}

bool RecordLoop::start(RecordDevice &device, ELM327_Info &params, CAN_ReadDB &rx)
{
    m_subFolderName.clear();
    if (params.t_LogSave_subFolder == 1)
        CreateRecordSubFolder(params, m_subFolderName);

    rx.Param_ALL_Clear();
    m_timeline.reset(device.wrapMs());
    m_buffer1.clear();
    m_buffer2.clear();
    m_fillCount = 0;
    RecDAT_Select_ch = 1;
    m_lastHourStamp.clear();
    m_lastSequenceNumber.clear();
    m_filesWritten = 0;
    m_unsavedFrames = 0;
    m_lastFailure = RecordFileResult();

    if (!device.open(params))
        return false;
    m_host.setProtocolText(protocolText(params.t_bitRate));
    m_host.setTimerBattReadEnabled(true);
    vx_millisecond = 0;
    timeBeginPeriod(1);
    return true;
}

// The hot path: at 90,000 frames/s there are about 11 µs per frame, driver call included,
// so nothing here allocates or touches a string unless a file fails.
void RecordLoop::receive(RecordDevice &device, ELM327_Info &params, CAN_ReadDB &rx,
                         const Exclusion *excluded)
{
    const bool save = params.t_LogSave_Enable == 1;
    ReceivedFrame frame;
    int emptyPolls = 0;
    while (m_host.RxFlag == 1) {
        if (!device.poll(frame)) {
            if (const QString lost = device.lostText(); !lost.isEmpty()) {
                // The frames so far still go to their file at the end of the run.
                showMessage(lost, MsgIcon::Critical, params.Application_title);
                m_host.RxFlag = 0;
                break;
            }
            m_timeline.noteIdle(m_clock());
            pumpMessages();
            if (++emptyPolls > 1)
                restWhileIdle();
            continue;
        }
        emptyPolls = 0;
        if (frame.id >= 0x800) {
            pumpMessages();
            continue;
        }
        if (excluded && (*excluded)[frame.id])
            continue;
        take(frame, save, params, rx);
    }
}

// Spinning on an empty queue would keep a core busy that the driver's receiving thread and
// the rest of the machine need most when the bus is busiest; a pause of 0.1 ms lets a
// dozen frames gather at 120,000 frames/s, nothing against the driver's queue.
void RecordLoop::restWhileIdle()
{
    std::this_thread::sleep_for(std::chrono::microseconds(100));
}

void RecordLoop::take(const ReceivedFrame &frame, bool save, ELM327_Info &params,
                      CAN_ReadDB &rx)
{
    const double now = m_clock();
    const double elapsed = m_timeline.advance(frame.deviceTimeMs, now);
    vx_millisecond = elapsed;
    // The table keeps the device's own time stamps; the monitor takes cycle times from them.
    rx.updateFrame(int16_t(frame.id), frame.dlc, now, Currency::fromDouble(frame.deviceTimeMs),
                   frame.data);
    if (!save)
        return;
    StoreFrame(m_fillCount, RecDAT_Select_ch, m_buffer1, m_buffer2, elapsed,
               int32_t(frame.id), frame.dlc, std::span<const uint8_t>(frame.data));
    if (m_fillCount <= FrameBuffer::kLastIndex)
        return;
    m_fillCount = 0;
    writeActiveBuffer(params, FrameBuffer::kSlots);
    (RecDAT_Select_ch == 1 ? m_buffer1 : m_buffer2).clear();
    RecDAT_Select_ch = RecDAT_Select_ch == 1 ? 2 : 1;
}

void RecordLoop::writeActiveBuffer(ELM327_Info &params, int frames)
{
    const FrameBuffer &active = RecDAT_Select_ch == 1 ? m_buffer1 : m_buffer2;
    const RecordFileResult result =
        WriteRecordFile(params, active, m_lastHourStamp, m_lastSequenceNumber, m_subFolderName);
    if (result.ok()) {
        ++m_filesWritten;
        return;
    }
    // Recording goes on, so that a folder that comes back (a drive plugged in again,
    // space freed) saves the next files; the user sees at once that frames are lost.
    m_unsavedFrames += frames;
    m_lastFailure = result;
    m_host.setStatusText(1, unsavedStatusText(m_unsavedFrames));
}

void RecordLoop::finish(RecordDevice &device, ELM327_Info &params, bool resolutionRaised)
{
    if (resolutionRaised)
        timeEndPeriod(1);
    m_host.setStatusText(0, QStringLiteral("終了処理中"));

    std::optional<QString> closed;
    if (device.closesBeforeLastFile())
        closed = device.close();
    if (params.t_LogSave_Enable == 1 && m_fillCount > 0) {
        writeActiveBuffer(params, m_fillCount);
        m_fillCount = 0;
    }
    if (m_host.timerBattReadEnabled())
        m_host.setTimerBattReadEnabled(false);
    if (!device.closesBeforeLastFile())
        closed = device.close();

    if (closed && closed->isEmpty()) {
        m_host.setProtocolText(QString());
        m_host.setStatusText(0, QString());
        m_host.setStatusText(1, QString());
    } else if (closed) {
        m_host.setStatusText(0, *closed);
    }
    m_host.RxFlag = 0;
    reportUnsaved(params);
}

// An empty status line after a run would read as "all saved"; when frames were lost the
// line keeps saying so and a message names the loss.
void RecordLoop::reportUnsaved(const ELM327_Info &params)
{
    if (m_unsavedFrames == 0)
        return;
    m_host.setStatusText(1, unsavedStatusText(m_unsavedFrames));
    QString text = QStringLiteral("録画ファイルを保存できませんでした。\r\n"
                                  "保存されなかったフレーム：%1\r\n")
                       .arg(m_unsavedFrames);
    text += m_lastFailure.path;
    if (!m_lastFailure.error.isEmpty())
        text += QStringLiteral("\r\n") + m_lastFailure.error;
    showMessage(text, MsgIcon::Critical, params.Application_title);
}
