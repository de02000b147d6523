#include "PlayRun.h"

#include "CAN_PlayDB.h"
#include "CAN_ReadDB.h"
#include "CanusbPlayDevice.h"
#include "Currency.h"
#include "ELM327_Info.h"
#include "InterfaceCanPlayDevice.h"
#include "MessageBox.h"
#include "MessagePump.h"
#include "PlayDevice.h"
#include "RecordFiles.h"
#include "RunHost.h"
#include "TimerResolution.h"

#include <algorithm>
#include <cmath>

PlayEngine playEngineFor(const ELM327_Info &params, int32_t targetKind)
{
    if (params.t_select_Vender != 1 && params.t_select_Vender != 2)
        return PlayEngine::None;
    // A folder in memory mode always plays from memory; otherwise the plain loop plays only
    // when neither exclusion nor skip-time is on.
    if (params.t_MM_Mode != 0 && targetKind != 1)
        return PlayEngine::Memory;
    if (params.t_SkipTimeON == 1 || IsPlayExclusionEnabled(params) == 1)
        return PlayEngine::Kept;
    return PlayEngine::Plain;
}

double playThroughCanusb(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, CANUSB &CAN_u,
                         CAN_DB &CAN_d, CAN_PlayDB &play, FrameSource &source)
{
    CanusbPlayDevice device(params, CAN_u, CAN_d);
    PlayRun run(host, params, rx, device, play, source);
    run.run();
    return run.skipOffset();
}

double playThroughInterface(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                            InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d, CAN_PlayDB &play,
                            FrameSource &source)
{
    InterfaceCanPlayDevice device(params, IfCan_u, IfCan_d);
    PlayRun run(host, params, rx, device, play, source);
    run.run();
    return run.skipOffset();
}

PlayRun::PlayRun(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device,
                 CAN_PlayDB &play, FrameSource &source)
    : m_host(host), m_params(params), m_rx(rx), m_device(device), m_play(play), m_source(source),
      m_sender(device, play.m_pacer),
      m_ctx{host, params, play, play, play.m_pacer, [this] { waitingPass(nullptr); }}
{
    m_sender.onLeft = [this](const PlayMessage &message, double atMs) { frameLeft(message, atMs); };
    m_play.m_run = this;
}

PlayRun::~PlayRun()
{
    m_play.m_run = nullptr;
}

double PlayRun::skipOffset() const
{
    return m_play.m_pacer.skipOffset();
}

void PlayRun::run()
{
    m_play.resetRunState();
    m_rx.Param_ALL_Clear();
    m_play.PlayDAT_count = 0;
    m_play.PlayDAT_Select_ch = 1;
    if (m_device.open()) {
        m_host.setProtocolText(m_device.bitRateLabel());
        if (m_source.load(m_ctx)) {
            m_play.PlayDAT_count = m_source.position();
            if (beginSending())
                loop();
        }
    }
    end();
}

bool PlayRun::beginSending()
{
    m_host.setStatusText(0, QStringLiteral("CANバスのチェック中"));
    if (!m_device.start()) {
        m_host.RxFlag = 0;
        return false;
    }
    m_device.busCheck(m_host, m_rx);
    if (m_host.RxFlag != 1)
        return false;
    m_host.setStatusText(0, QStringLiteral("初期処理中"));
    m_host.setTimerBattReadEnabled(true);
    // t0 stays the first record of the first data, so data that begins with frames left
    // out starts at its first played frame's own time.
    m_play.m_pacer.start(m_source.t0());
    m_lastDueMs = m_play.vx_millisecond;
    timeBeginPeriod(1);
    m_periodHeld = true;
    m_sender.begin();
    m_sending = true;
    return true;
}

void PlayRun::loop()
{
    PlayPacer &pacer = m_play.m_pacer;
    while (m_host.RxFlag == 1) {
        if (m_rewindTo) {
            m_source.rewind(*m_rewindTo);
            m_rewindTo.reset();
        }
        const std::optional<PlayFrame> frame = m_source.current();
        if (!frame) {
            if (!settle())
                continue;
            m_source.endOfData(m_ctx, std::max(m_sender.lastLeftMs(), m_lastDueMs));
            showPosition();
            continue;
        }
        if (!m_sender.hasRoom() || !pacer.isDue(frame->record, m_sender.lookAheadMs())) {
            waitingPass(&frame->record);
            continue;
        }
        // Due frames go out back to back: no turn of the window system in between.
        if (!send(*frame))
            continue;
        m_source.advance(m_ctx);
        showPosition();
    }
}

bool PlayRun::send(const PlayFrame &frame)
{
    m_device.fill(frame.record);
    const PlayMessage &message = m_device.message();
    const double due = m_play.m_pacer.dueMs(frame.record);
    // An identifier the frame format cannot carry (above 0x7FF with 11-bit identifiers)
    // is left out, as is one another node already sends.
    const bool skipped = !message.sendable
                         || (message.isTableId() && m_rx.CAN11_Disabled_ID(int16_t(message.id)) != 0);
    if (!skipped) {
        switch (m_sender.put(frame.index, due)) {
        case PlaySender::Result::Done:
            break;
        case PlaySender::Result::Untimed:
            // The rest is sent by the run itself, each frame at its time.
            return false;
        case PlaySender::Result::Busy:
            // The driver's queue is full: it empties while the window system runs.
            if (m_host.RxFlag != 1)
                return false;
            pumpMessages();
            if (!m_sender.collect())
                deviceLost();
            return false;
        case PlaySender::Result::Lost:
            deviceLost();
            return false;
        }
    }
    m_lastDueMs = std::max(m_lastDueMs, due);
    return true;
}

void PlayRun::waitingPass(const RecordFrame *next)
{
    PlayPacer &pacer = m_play.m_pacer;
    if (pacer.waitingPass())
        takeBack();
    pumpMessages();
    if (m_play.Pause_ON_Flag == 1)
        takeBack();
    if (!m_sender.collect()) {
        deviceLost();
        return;
    }
    showPosition();
    if (!m_sender.timed()) {
        if (!m_sender.settled())
            pacer.restUntil(m_sender.lastHandedDueMs());
        else
            pacer.restBefore(next);
    } else if (!m_sender.hasRoom()) {
        // Room comes as frames leave; the driver may be a moment late.
        pacer.restUntil(m_sender.refillDueMs());
    } else if (next) {
        pacer.restBeforeHandOver(*next, m_sender.lookAheadMs());
    } else if (!m_sender.settled()) {
        pacer.restUntil(m_sender.lastHandedDueMs());
    } else {
        pacer.restBefore(nullptr);
    }
}

bool PlayRun::settle()
{
    while (m_host.RxFlag == 1 && !m_rewindTo && !m_sender.settled())
        waitingPass(nullptr);
    return m_host.RxFlag == 1 && !m_rewindTo;
}

void PlayRun::takeBack()
{
    if (const auto first = m_sender.takeBack())
        m_rewindTo = *first;
    showPosition();
}

void PlayRun::pauseClicked()
{
    if (!m_sending)
        return;
    m_play.m_pacer.pauseClicked();
    takeBack();
}

void PlayRun::resumeClicked()
{
    if (m_sending)
        m_play.m_pacer.resumeClicked();
}

void PlayRun::frameLeft(const PlayMessage &message, double atMs)
{
    ++m_play.sentFrameCount;
    if (!message.isTableId())
        return;
    // The table holds the playing time in whole milliseconds, as the program's millisecond
    // clock reads, so its cycle times look as they do in a recording; the finer clock only
    // schedules.
    const double playing = std::floor(atMs - m_play.Pause_ON_offset_time);
    m_rx.updateFrame(int16_t(message.id), message.dlc, playing, Currency::fromDouble(playing),
                     message.data);
}

void PlayRun::showPosition()
{
    // The status line counts frames on the bus: the first that has not left.
    if (m_rewindTo)
        m_play.PlayDAT_count = *m_rewindTo;
    else
        m_play.PlayDAT_count = m_sender.firstWaiting().value_or(m_source.position());
}

void PlayRun::deviceLost()
{
    if (m_host.RxFlag == 1)
        showMessage(m_device.failureText(), MsgIcon::Critical, m_params.Application_title);
    m_host.RxFlag = 0;
}

void PlayRun::end()
{
    // Disconnect leaves nothing queued in the driver: what has not left is dropped, what
    // has is entered.
    if (m_sending)
        m_sender.end();
    m_sending = false;
    m_play.refusedFrameCount = m_sender.refused();
    if (m_periodHeld) {
        timeEndPeriod(1);
        m_periodHeld = false;
    }
    m_device.close();
    if (m_host.timerBattReadEnabled())
        m_host.setTimerBattReadEnabled(false);
    if (m_host.timerFileRecPlayEnabled())
        m_host.setTimerFileRecPlayEnabled(false);
    m_host.RxFlag = 0;
}
