// The playback run: engine choice, the run itself and the pieces the variant engines share.
#include "CAN_PlayDB.h"

#include "CAN_PlayDB_Multi.h"
#include "CAN_PlayDB_Multi_MM.h"
#include "CAN_ReadDB.h"
#include "CanusbPlayDevice.h"
#include "Currency.h"
#include "ELM327_Info.h"
#include "FolderFileList.h"
#include "InterfaceCanPlayDevice.h"
#include "MessageBox.h"
#include "MessagePump.h"
#include "Paths.h"
#include "PlayDevice.h"
#include "RecordFiles.h"
#include "RunHost.h"
#include "TimerResolution.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

// The device has dropped out: the run ends with its message.
void endRunDeviceLost(RunHost &host, const ELM327_Info &params, const PlayDevice &device)
{
    showMessage(device.failureText(), MsgIcon::Critical, params.Application_title);
    host.RxFlag = 0;
}

} // namespace

CAN_PlayDB::CAN_PlayDB() : m_fileList(size_t(FrameBuffer::kSlots)) {}

CAN_PlayDB::~CAN_PlayDB() = default;

void CAN_PlayDB::Param_ALL_Clear()
{
    PlayMode = 0;
    t_RecPlay_FileType = 0;
    t_RecPlay_FilePath.clear();
    t_RecPlay_FileName.clear();
    t_RecPlay_PlayMode_Repeat = 0;
}

// ---- Engine choice ---------------------------------------------------------------------

PlayVariant *CAN_PlayDB::multiEngine()
{
    if (!CanPlay_Multi)
        CanPlay_Multi = std::make_unique<CAN_PlayDB_Multi>();
    return CanPlay_Multi.get();
}

PlayVariant *CAN_PlayDB::memoryEngine()
{
    if (!CanPlay_Multi_MM)
        CanPlay_Multi_MM = std::make_unique<CAN_PlayDB_Multi_MM>();
    return CanPlay_Multi_MM.get();
}

void CAN_PlayDB::FilePlayMain(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                              CANUSB &CAN_u, CAN_DB &CAN_d, InterfaceCAN &IfCan_u,
                              CAN_DB_Interface &IfCan_d)
{
    const int32_t vendor = params.t_select_Vender;
    if (vendor != 1 && vendor != 2)
        return;
    // The plain loop plays only when neither exclusion nor skip-time is on, and a folder
    // in memory mode always plays from memory.
    PlayVariant *variant = nullptr;
    if (params.t_MM_Mode == 0 || t_RecPlay_FileType == 1) {
        if (params.t_SkipTimeON == 1 || IsPlayExclusionEnabled(params) == 1)
            variant = multiEngine();
    } else {
        variant = memoryEngine();
    }
    if (vendor == 1) {
        if (variant)
            variant->FilePlay_CANUSB(host, params, rx, CAN_u, CAN_d, *this);
        else
            FilePlay_CANUSB(host, params, rx, CAN_u, CAN_d);
    } else {
        if (variant)
            variant->FilePlay_InterfaceCAN(host, params, rx, IfCan_u, IfCan_d, *this);
        else
            FilePlay_InterfaceCAN(host, params, rx, IfCan_u, IfCan_d);
    }
}

void CAN_PlayDB::FilePlay_CANUSB(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                 CANUSB &CAN_u, CAN_DB &CAN_d)
{
    CanusbPlayDevice device(params, CAN_u, CAN_d);
    playRun(host, params, rx, device);
}

void CAN_PlayDB::FilePlay_InterfaceCAN(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx,
                                       InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d)
{
    InterfaceCanPlayDevice device(params, IfCan_u, IfCan_d);
    playRun(host, params, rx, device);
}

// ---- One run -----------------------------------------------------------------------------

void CAN_PlayDB::playRun(RunHost &host, ELM327_Info &params, CAN_ReadDB &rx, PlayDevice &device)
{
    resetRunState();
    rx.Param_ALL_Clear();
    ClearFrameBuffer(FrameBuffer::kLastIndex, m_ch1);
    ClearFrameBuffer(FrameBuffer::kLastIndex, m_ch2);
    PlayDAT_count = 0;
    PlayDAT_Select_ch = 1;
    if (openDevice(host, device)) {
        loadFirstData(host, params);
        if (hasDataToPlay(host)) {
            device.fill(m_ch1[0]);
            if (beginSending(host, rx, device, m_ch1[0].time))
                playLoop(host, params, rx, device);
        }
    }
    endRun(host, device);
}

void CAN_PlayDB::loadFirstData(RunHost &host, ELM327_Info &params)
{
    if (t_RecPlay_FileType == 1) {
        LoadRecordFile(paths::join(t_RecPlay_FilePath, t_RecPlay_FileName), params, m_ch1);
        return;
    }
    if (t_RecPlay_FileType != 2)
        return;
    BuildFolderFileList(host, params);
    if (FolderPlayMode_FN_Count < 1)
        return;
    LoadRecordFile(folderFilePath(FolderPlayMode_FN_Count_Now), params, m_ch1);
    noteFileTaken(1);
    if (FolderPlayMode_FN_Count > 1) {
        // The second file comes into buffer 2 through the main window's preload timer,
        // as every later one does.
        ++FolderPlayMode_FN_Count_Now;
        host.setTimerFileRecPlayEnabled(true);
        while (host.RxFlag == 1 && host.timerFileRecPlayEnabled())
            pumpMessages();
    }
}

bool CAN_PlayDB::hasDataToPlay(const RunHost &host) const
{
    if (host.RxFlag != 1 || m_ch1[0].identifier < 1)
        return false;
    return t_RecPlay_FileType == 1 || (t_RecPlay_FileType == 2 && FolderPlayMode_FN_Count >= 1);
}

void CAN_PlayDB::playLoop(RunHost &host, const ELM327_Info &params, CAN_ReadDB &rx,
                          PlayDevice &device)
{
    while (host.RxFlag == 1) {
        const int32_t channel = PlayDAT_Select_ch;
        if (channel != 1 && channel != 2) {
            host.RxFlag = 0;
            break;
        }
        const FrameBuffer &buffer = channel == 1 ? m_ch1 : m_ch2;
        while (host.RxFlag == 1 && PlayDAT_Select_ch == channel) {
            if (PlayDAT_count < 0 || PlayDAT_count > FrameBuffer::kLastIndex) {
                if (!handOffsSettled(host, params))
                    continue;
                PlayDAT_count = 0;
                endOfBuffer(host, device);
                continue;
            }
            if (!isDue(buffer[PlayDAT_count])) {
                waitingPass(&buffer[PlayDAT_count]);
                continue;
            }
            // Due frames go out back to back: no yield between sending and the next test.
            if (!sendDueMessage(host, params, rx, device, buffer[PlayDAT_count]))
                break;
            advance(buffer, device);
            if (PlayDAT_count > FrameBuffer::kLastIndex && handOffsSettled(host, params)) {
                PlayDAT_count = 0;
                endOfBuffer(host, device);
            }
        }
    }
}

void CAN_PlayDB::advance(const FrameBuffer &buffer, PlayDevice &device)
{
    ++PlayDAT_count;
    if (PlayDAT_count > FrameBuffer::kLastIndex)
        return;
    if (buffer[PlayDAT_count].identifier < 1)
        PlayDAT_count = FrameBuffer::kSlots;
    else
        device.fill(buffer[PlayDAT_count]);
}

void CAN_PlayDB::endOfBuffer(RunHost &host, PlayDevice &device)
{
    const bool folder = t_RecPlay_FileType == 2 && FolderPlayMode_FN_Count > 1;
    if (!folder) {
        if (t_RecPlay_PlayMode_Repeat != 1) {
            host.RxFlag = 0;
            return;
        }
        startNewCycle();
        device.fill(m_ch1[0]);
        return;
    }
    // The other buffer is filled by the preload the previous switch asked for. A file
    // that played in less time than that takes must not hand over to the file before.
    while (host.RxFlag == 1 && !preloadSettled(host))
        waitingPass();
    if (host.RxFlag != 1)
        return;
    const int nextChannel = PlayDAT_Select_ch == 1 ? 2 : 1;
    if (beginsCycle(nextChannel))
        startNewCycle();
    const FrameBuffer &next = nextChannel == 2 ? m_ch2 : m_ch1;
    if (next[0].identifier < 1 || FolderPlayMode_FN_Count <= FolderPlayMode_FN_Count_Now)
        host.RxFlag = 0;
    else
        device.fill(next[0]);
    PlayDAT_Select_ch = nextChannel;
    ++FolderPlayMode_FN_Count_Now;
    wrapFolderIndex();
    Resuest_Timer_File_REC_Play_Enabled = 1;
}

// ---- Shared pieces -----------------------------------------------------------------------

void CAN_PlayDB::resetRunState()
{
    sentFrameCount = 0;
    Resuest_Timer_File_REC_Play_Enabled = 0;
    Pause_ON_Flag = 0;
    Pause_ON_starttime = 0;
    Pause_ON_offset_time = 0;
    Pause_ON_offset_time2 = 0;
    FolderPlayMode_FN_Count = 0;
    FolderPlayMode_FN_Count_Now = 0;
    interfaceCAN_offset_time = 0;
    vx_millisecond_Repeat = 0;
    vx_millisecond_Repeat_MAX = 0;
    m_clock.restart();
    m_t0 = 0;
    m_timed = false;
    m_device = nullptr;
    m_rx = nullptr;
    m_wrapPending = false;
    m_beginsCycle[0] = m_beginsCycle[1] = false;
}

bool CAN_PlayDB::openDevice(RunHost &host, PlayDevice &device)
{
    if (!device.open())
        return false;
    host.setProtocolText(device.bitRateLabel());
    return true;
}

bool CAN_PlayDB::beginSending(RunHost &host, CAN_ReadDB &rx, PlayDevice &device, double t0)
{
    host.setStatusText(0, QStringLiteral("CANバスのチェック中"));
    if (!device.start()) {
        host.RxFlag = 0;
        return false;
    }
    device.busCheck(host, rx);
    if (host.RxFlag != 1)
        return false;
    host.setStatusText(0, QStringLiteral("初期処理中"));
    host.setTimerBattReadEnabled(true);
    m_t0 = t0;
    m_clock.restart();
    readClock();
    vx_start_time = vx_millisecond;
    vx_millisecond_Repeat = vx_millisecond;
    timeBeginPeriod(1);
    m_periodHeld = true;
    m_device = &device;
    m_rx = &rx;
    m_timed = device.canSendTimed();
    if (m_timed)
        m_handOff.restart(device.timedStatus().sent);
    return true;
}

void CAN_PlayDB::readClock()
{
    vx_millisecond = m_clock.now();
    interfaceCAN_offset_time = m_clock.wrapOffset();
}

double CAN_PlayDB::elapsedMs(double skipOffset) const
{
    return vx_millisecond - vx_millisecond_Repeat + skipOffset - Pause_ON_offset_time2;
}

bool CAN_PlayDB::isDue(const RecordFrame &record, double skipOffset) const
{
    if (m_timed && (Pause_ON_Flag != 0 || !m_handOff.hasRoom()))
        return false;
    const double target = record.time - m_t0;
    if (!std::isfinite(target))
        return true;
    return target <= elapsedMs(skipOffset) + (m_timed ? PlayHandOff::kLookAheadMs : 0);
}

double CAN_PlayDB::dueMs(const RecordFrame &record, double skipOffset) const
{
    const double target = record.time - m_t0;
    if (!std::isfinite(target))
        return vx_millisecond;
    return vx_millisecond_Repeat - skipOffset + Pause_ON_offset_time2 + target;
}

uint64_t CAN_PlayDB::driverDueUs(double atMs)
{
    const double nowMs = m_clock.now();
    const auto nowNs = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count());
    const double aheadNs = (atMs - nowMs) * 1.0e6;
    // A time already past (or no time at all) means at once. Rounded up, so a frame never
    // leaves before its time on the run's clock.
    const uint64_t dueNs = aheadNs > 0 ? nowNs + uint64_t(aheadNs) : nowNs;
    return (dueNs + 999) / 1000;
}

void CAN_PlayDB::waitingPass(const RecordFrame *next, double skipOffset)
{
    switch (Pause_ON_Flag) {
    case 1:
        // Paused: the clock is not read, so the playing time stands still. What the driver
        // has not sent yet is taken back and handed over again after the pause.
        if (m_timed && !m_handOff.empty())
            takeBackHandOffs();
        if (Pause_ON_starttime < vx_millisecond)
            Pause_ON_starttime = vx_millisecond;
        break;
    case 2: {
        // A pause that began and ended within one turn of the window system was never
        // seen by a paused pass: it began at the last reading, not at an older pause.
        if (Pause_ON_starttime < vx_millisecond)
            Pause_ON_starttime = vx_millisecond;
        Pause_ON_Flag = 0;
        readClock();
        const double paused = vx_millisecond - Pause_ON_starttime;
        Pause_ON_offset_time += paused;
        Pause_ON_offset_time2 += paused;
        break;
    }
    default:
        readClock();
        break;
    }
    pumpMessages();
    if (m_timed) {
        // A pause clicked just now stops what has not left at once, not a pass later.
        if (Pause_ON_Flag == 1 && !m_handOff.empty())
            takeBackHandOffs();
        enterHandedOffSent();
        restTimed(next, skipOffset);
        return;
    }
    rest(next, skipOffset);
}

void CAN_PlayDB::restTimed(const RecordFrame *next, double skipOffset)
{
    double restMs = kMaxRestMs;
    if (Pause_ON_Flag == 0) {
        const double nowMs = m_clock.now();
        if (!m_handOff.hasRoom()) {
            // Room comes when the oldest frame leaves; the driver may be a moment late.
            restMs = std::max(m_handOff.front().dueMs - nowMs, kMinTimedRestMs);
        } else if (next) {
            const double target = next->time - m_t0;
            const double elapsed =
                nowMs - vx_millisecond_Repeat + skipOffset - Pause_ON_offset_time2;
            restMs = target - PlayHandOff::kLookAheadMs - elapsed;
        } else if (!m_handOff.empty()) {
            restMs = std::max(m_handOff.lastDueMs() - nowMs, kMinTimedRestMs);
        }
        restMs = std::min(restMs, kMaxRestMs);
    }
    if (restMs > 0)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(restMs));
}

void CAN_PlayDB::rest(const RecordFrame *next, double skipOffset)
{
    double restMs = kMaxRestMs;
    if (next && Pause_ON_Flag == 0) {
        const double target = next->time - m_t0;
        if (!std::isfinite(target))
            return;
        // The window system may have run for a while: measure again.
        const double elapsed = m_clock.now() - vx_millisecond_Repeat + skipOffset
                               - Pause_ON_offset_time2;
        restMs = std::min(target - elapsed - kSpinMarginMs, kMaxRestMs);
    }
    if (restMs > 0)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(restMs));
}

bool CAN_PlayDB::sendDueMessage(RunHost &host, const ELM327_Info &params, CAN_ReadDB &rx,
                                PlayDevice &device, const RecordFrame &record,
                                double skipOffset)
{
    const PlayMessage &message = device.message();
    // An identifier the frame format cannot carry (above 0x7FF with 11-bit identifiers)
    // is left out, as is one another node already sends.
    if (!message.sendable)
        return true;
    if (message.isTableId() && rx.CAN11_Disabled_ID(int16_t(message.id)) != 0)
        return true;
    if (m_timed)
        return handOver(host, params, rx, device, record, skipOffset);
    for (;;) {
        switch (device.send()) {
        case PlayDevice::SendResult::Sent:
        case PlayDevice::SendResult::Refused:
        case PlayDevice::SendResult::Untimed:
            enterSentFrame(rx, message, vx_millisecond);
            return true;
        case PlayDevice::SendResult::Busy:
            // The driver's queue is full: it empties while the window system runs.
            if (host.RxFlag != 1)
                return false;
            pumpMessages();
            break;
        case PlayDevice::SendResult::Lost:
            endRunDeviceLost(host, params, device);
            return false;
        }
    }
}

bool CAN_PlayDB::handOver(RunHost &host, const ELM327_Info &params, CAN_ReadDB &rx,
                          PlayDevice &device, const RecordFrame &record, double skipOffset)
{
    const PlayMessage &message = device.message();
    const double at = std::max(dueMs(record, skipOffset), m_handOff.lastDueMs());
    for (;;) {
        switch (device.sendAt(driverDueUs(at))) {
        case PlayDevice::SendResult::Sent:
            m_handOff.add(PlayDAT_count, &record, message, at);
            return true;
        case PlayDevice::SendResult::Refused:
            enterSentFrame(rx, message, vx_millisecond);
            return true;
        case PlayDevice::SendResult::Busy:
            if (host.RxFlag != 1)
                return false;
            pumpMessages();
            enterHandedOffSent();
            break;
        case PlayDevice::SendResult::Lost:
            endRunDeviceLost(host, params, device);
            return false;
        case PlayDevice::SendResult::Untimed: {
            // The device cannot send at a due time after all: the run goes on sending each
            // frame itself, once what was handed over has left.
            while (host.RxFlag == 1 && !m_handOff.empty())
                waitingPass();
            m_timed = false;
            while (host.RxFlag == 1 && !isDue(record, skipOffset))
                waitingPass(&record, skipOffset);
            if (host.RxFlag != 1)
                return false;
            return sendDueMessage(host, params, rx, device, record, skipOffset);
        }
        }
    }
}

bool CAN_PlayDB::enterHandedOffSent()
{
    if (m_handOff.empty())
        return true;
    const PlayDevice::TimedStatus status = m_device->timedStatus();
    while (const auto frame = m_handOff.takeSent(status.sent))
        enterSentFrame(*m_rx, frame->message, frame->dueMs);
    // Frames neither sent nor waiting: the driver dropped them with the device.
    return m_handOff.empty() || status.waiting > 0;
}

void CAN_PlayDB::takeBackHandOffs()
{
    m_device->cancelTimed();
    enterHandedOffSent();
    if (const auto first = m_handOff.takeFirstUnsent(m_device->timedStatus().sent)) {
        PlayDAT_count = first->index;
        m_device->fill(*first->record);
        ++m_takeBacks;
    }
}

bool CAN_PlayDB::handOffsSettled(RunHost &host, const ELM327_Info &params)
{
    const uint32_t takeBacks = m_takeBacks;
    while (m_timed && host.RxFlag == 1 && !m_handOff.empty() && takeBacks == m_takeBacks) {
        waitingPass();
        if (!enterHandedOffSent()) {
            endRunDeviceLost(host, params, *m_device);
        }
    }
    return host.RxFlag == 1 && takeBacks == m_takeBacks;
}

void CAN_PlayDB::enterSentFrame(CAN_ReadDB &rx, const PlayMessage &message, double atMs)
{
    ++sentFrameCount;
    if (!message.isTableId())
        return;
    const double playing = std::floor(atMs - Pause_ON_offset_time);
    rx.updateFrame(int16_t(message.id), message.dlc, playing, Currency::fromDouble(playing),
                   message.data);
}

void CAN_PlayDB::startNewCycle()
{
    if (vx_millisecond_Repeat_MAX == 0)
        vx_millisecond_Repeat_MAX = vx_millisecond - vx_start_time - Pause_ON_offset_time2;
    vx_millisecond_Repeat = vx_millisecond;
    Pause_ON_offset_time2 = 0;
}

void CAN_PlayDB::wrapFolderIndex()
{
    if (FolderPlayMode_FN_Count_Now != FolderPlayMode_FN_Count || t_RecPlay_PlayMode_Repeat != 1)
        return;
    FolderPlayMode_FN_Count_Now = 0;
    m_wrapPending = true;
}

void CAN_PlayDB::noteFileTaken(int channel)
{
    m_beginsCycle[channel == 2 ? 1 : 0] = m_wrapPending;
    m_wrapPending = false;
}

bool CAN_PlayDB::beginsCycle(int channel) const
{
    return m_beginsCycle[channel == 2 ? 1 : 0];
}

bool CAN_PlayDB::preloadSettled(RunHost &host)
{
    // The monitor tick forwards the request; while paused it stands still, and the
    // request waits for it. A host without a running monitor gets it forwarded here.
    if (Resuest_Timer_File_REC_Play_Enabled == 1 && Pause_ON_Flag != 1
        && !host.timerBattReadEnabled()) {
        Resuest_Timer_File_REC_Play_Enabled = 0;
        host.setTimerFileRecPlayEnabled(true);
    }
    return Resuest_Timer_File_REC_Play_Enabled == 0 && !host.timerFileRecPlayEnabled();
}

void CAN_PlayDB::endRun(RunHost &host, PlayDevice &device)
{
    // Disconnect leaves nothing queued in the driver: what has not left is dropped, what
    // has is entered.
    if (m_timed && !m_handOff.empty()) {
        device.cancelTimed();
        enterHandedOffSent();
        m_handOff.takeFirstUnsent(device.timedStatus().sent);
    }
    m_timed = false;
    m_device = nullptr;
    m_rx = nullptr;
    if (m_periodHeld) {
        timeEndPeriod(1);
        m_periodHeld = false;
    }
    device.close();
    if (host.timerBattReadEnabled())
        host.setTimerBattReadEnabled(false);
    if (host.timerFileRecPlayEnabled())
        host.setTimerFileRecPlayEnabled(false);
    host.RxFlag = 0;
}

// ---- The folder ------------------------------------------------------------------------

void CAN_PlayDB::ClearFileNameList(int32_t last)
{
    const int32_t end = std::min<int32_t>(last, int32_t(m_fileList.size()) - 1);
    for (int32_t i = 0; i <= end; ++i)
        m_fileList[size_t(i)].clear();
}

void CAN_PlayDB::BuildFolderFileList(RunHost &host, const ELM327_Info &params)
{
    ClearFileNameList(FrameBuffer::kLastIndex);
    FolderPlayMode_FN_Count = 0;
    if (t_RecPlay_FileType != 2)
        return;
    const std::vector<QString> names = folderRecordFiles(t_RecPlay_FilePath, params, &host);
    for (const QString &name : names)
        m_fileList[size_t(FolderPlayMode_FN_Count++)] = name;
}

QString CAN_PlayDB::FolderPlayMode_FN_List(int32_t index) const
{
    if (index < 0 || index >= int32_t(m_fileList.size()))
        return {};
    return m_fileList[size_t(index)];
}

QString CAN_PlayDB::folderFilePath(int32_t index) const
{
    if (index < 0 || index >= FolderPlayMode_FN_Count)
        return {};
    return paths::join(t_RecPlay_FilePath, m_fileList[size_t(index)]);
}

void CAN_PlayDB::FolderPlayMode_PreLoadFile(RunHost &host, ELM327_Info &params)
{
    const int idleChannel = PlayDAT_Select_ch != 1 ? 1 : 2;
    FrameBuffer &idle = idleChannel == 1 ? m_ch1 : m_ch2;
    wrapFolderIndex();
    // A file that has gone, cannot be read or holds no frames is passed over like one of
    // another program; trying each at most once keeps a folder gone bad under a repeating
    // run from holding the preload.
    for (int32_t tried = 0; tried < FolderPlayMode_FN_Count && host.RxFlag == 1
                            && FolderPlayMode_FN_Count_Now >= 0
                            && FolderPlayMode_FN_Count_Now < FolderPlayMode_FN_Count;
         ++tried) {
        const QString path = folderFilePath(FolderPlayMode_FN_Count_Now);
        const int32_t result = LoadRecordFile(path, params, idle);
        if (result == 0 && idle[0].identifier >= 1) {
            noteFileTaken(idleChannel);
            return;
        }
        idle[0].identifier = 0;
        ++FolderPlayMode_FN_Count_Now;
        wrapFolderIndex();
        pumpMessages();
    }
}

void CAN_PlayDB::FolderPlayMode_PreLoadFile_Mulit(RunHost &host, ELM327_Info &params)
{
    if (PlayVariant *variant = multiEngine())
        variant->FolderPlayMode_PreLoadFile(host, params, *this);
}
