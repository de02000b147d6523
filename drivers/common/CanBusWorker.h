#pragma once

#include "BusFrame.h"
#include "DeviceSpec.h"
#include "FrameQueue.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class DeviceSession;
class QEventLoop;

// One CAN device on a thread of its own. The thread owns the QCanBusDevice and runs its
// event loop; the caller's side only touches the two queues, so no entry point of a driver
// library waits for the device, except open (bounded by openTimeoutMs) and close.
class CanBusWorker final
{
public:
    enum class OpenError { None, NoPlugin, Refused, Timeout, ShuttingDown };
    enum class WriteError { None, QueueFull, NotConnected };
    using Filter = std::function<bool(const BusFrame &)>;

    static constexpr int openTimeoutMs = 2000;

    // What a timed queue holds by default: a few seconds of a full bus, far more than any
    // caller should hand over ahead of time.
    static constexpr size_t defaultTimedCapacity = 4096;

    explicit CanBusWorker(size_t rxCapacity = 65536, size_t txCapacity = 65536,
                          size_t timedCapacity = defaultTimedCapacity);
    ~CanBusWorker();
    CanBusWorker(const CanBusWorker &) = delete;
    CanBusWorker &operator=(const CanBusWorker &) = delete;

    // Frames the filter refuses never reach the receive queue. Set it before open.
    void setFilter(Filter filter) { m_filter = std::move(filter); }
    // While off, arriving frames are discarded (a deactivated controller).
    void setReceiving(bool on) { m_receiving = on; }
    bool receiving() const { return m_receiving; }

    OpenError open(const DeviceSpec &spec);
    // Sends what is still queued (briefly), disconnects, stops and joins the thread.
    void close();
    // Opens the device again at another bit rate: most plugins take it only before they
    // connect. On failure the device counts as lost.
    OpenError changeBitRate(int bitRate);

    bool isOpen() const;
    // The device dropped out after it had opened (bus host gone, adapter unplugged).
    bool isLost() const { return m_lost; }
    std::string errorText() const;
    // Ends the session from the caller's side, as a lost device: nothing more is sent.
    void fail(const std::string &why);

    // What the user should be told about the device (an interface down, at another rate),
    // once: the text is gone after it was taken.
    void setProblem(const std::string &text);
    std::string takeProblem();

    // Before the first frame a run reads or sends on a machine interface: its bit rate and
    // mode are set where the process may, else checked. When it cannot be used the session
    // ends as lost, with the problem for the user. Once per open; true for other devices.
    bool prepareRun(int bitRate, bool listenOnly);
    // While on (after prepareRun), a machine interface that goes down or away ends the
    // session as lost.
    bool watchingLink() const { return m_watchLink; }

    // What error frames of the bus reported. The controller's state (warning, passive,
    // bus off) holds until it reports a recovery; the events are cleared when taken.
    enum BusStatus : uint32_t {
        ErrorWarning = 0x01,
        ErrorPassive = 0x02,
        BusOff = 0x04,
        Overrun = 0x08,
        ArbitrationLost = 0x10,
        BusError = 0x20,
    };
    uint32_t takeBusStatus();
    void noteErrorFrame(uint32_t errorClass, const uint8_t *data, size_t size);

    // All or nothing; the frames leave from the worker thread.
    WriteError write(const BusFrame *frames, size_t count);
    bool txFull() const;
    // Waits until every written frame has been handed to the device.
    bool waitUntilSent(int timeoutMs) const;

    // Timed transmission, as hardware interfaces schedule frames: the frames leave at dueNs
    // on CLOCK_MONOTONIC, never before, and never before a timed frame queued earlier, so
    // they stay in the order they were handed over. A due time in the past means at once.
    // All or nothing; a full queue refuses instead of waiting.
    WriteError writeAt(const BusFrame *frames, size_t count, uint64_t dueNs);
    // Drops the timed frames that have not left yet; returns how many.
    size_t flushTimed();
    struct TimedCounts
    {
        uint64_t sent = 0;   // timed frames handed to the device since open
        size_t waiting = 0;  // timed frames still queued
    };
    TimedCounts timedCounts() const;

    FrameQueue &received() { return m_rx; }

private:
    friend class DeviceSession;

    void threadMain();
    void setError(const std::string &text);

    FrameQueue m_rx;
    Filter m_filter;
    std::atomic<bool> m_receiving{true};
    std::atomic<bool> m_lost{false};
    std::atomic<bool> m_watchLink{false};
    std::atomic<bool> m_prepared{false};
    std::mutex m_prepareMutex;
    std::atomic<uint32_t> m_busStatus{0};

    mutable std::mutex m_mutex; // guards everything below
    DeviceSpec m_spec;
    std::thread m_thread;
    DeviceSession *m_session = nullptr;
    QEventLoop *m_loop = nullptr;
    bool m_threadDone = false;
    std::condition_variable m_threadEnded;
    std::vector<BusFrame> m_tx;
    size_t m_txCapacity;
    bool m_txWakePending = false;
    std::atomic<size_t> m_unsent{0};
    struct TimedFrame
    {
        BusFrame frame;
        uint64_t dueNs = 0;
    };
    std::deque<TimedFrame> m_timed;
    size_t m_timedCapacity;
    bool m_timedWakePending = false;
    uint64_t m_timedSent = 0;
    size_t m_timedInFlight = 0;   // taken from m_timed, being written
    std::string m_error;
    std::string m_problem;
    std::function<void(OpenError)> m_opened;
};
