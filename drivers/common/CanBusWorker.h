#pragma once

#include "BusFrame.h"
#include "DeviceSpec.h"
#include "FrameQueue.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
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

    explicit CanBusWorker(size_t rxCapacity = 65536, size_t txCapacity = 65536);
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

    // All or nothing; the frames leave from the worker thread.
    WriteError write(const BusFrame *frames, size_t count);
    bool txFull() const;
    // Waits until every written frame has been handed to the device.
    bool waitUntilSent(int timeoutMs) const;

    FrameQueue &received() { return m_rx; }

private:
    friend class DeviceSession;

    void threadMain();
    void setError(const std::string &text);

    FrameQueue m_rx;
    Filter m_filter;
    std::atomic<bool> m_receiving{true};
    std::atomic<bool> m_lost{false};

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
    std::string m_error;
    std::function<void(OpenError)> m_opened;
};
