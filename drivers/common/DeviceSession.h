#pragma once

#include "BusFrame.h"
#include "CanBusWorker.h"
#include "DeviceSpec.h"

#include <QCanBusDevice>
#include <QObject>
#include <QTimer>

#include <cstdint>

#include <functional>
#include <memory>
#include <vector>

class QAbstractSocket;
class QEventLoop;

// The worker thread's side of a CanBusWorker: opens the Qt SerialBus device, stamps and
// queues what arrives, writes what the caller queued, and notices when the device drops out.
class DeviceSession final : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(CanBusWorker::OpenError)>;

    DeviceSession(CanBusWorker &worker, QEventLoop &loop);
    ~DeviceSession() override;

    void openDevice(const DeviceSpec &spec, Done done);
    void reopen(int bitRate, Done done);
    void drainTx();
    // Sends the timed frames whose time has come. Sleeps (absolute clock_nanosleep) until
    // shortly before the next one is due and spins only the last stretch; returns to the
    // event loop at least every kPaceTurnNs, and arms a timer for frames further off.
    void paceTimed();
    // Graceful end: pending frames leave, the device disconnects, the loop quits.
    void finish();

private:
    void onFramesReceived();
    void onStateChanged(QCanBusDevice::CanBusDeviceState state);
    void onError(QCanBusDevice::CanBusError error);
    void endOpen(CanBusWorker::OpenError error, const QString &text = {});
    void closeDevice();
    void retireDevice();
    void markLost(const QString &why);
    bool waitFor(const std::function<bool()> &done, int timeoutMs);
    // How many of the frames the device took.
    size_t writeNow(const BusFrame *frames, size_t count);
    void checkLink();
    void prepareSocket();
    uint64_t arrivalOf(const QCanBusFrame &frame, uint64_t now, uint64_t realNow);

    // Frames further off than this are left to a timer; closer ones the pacer waits for.
    static constexpr uint64_t kPaceAheadNs = 2000000;
    // The stretch before a due time that is spun rather than slept: a sleeping thread
    // mostly wakes within it, even on a busy machine.
    static constexpr uint64_t kSpinNs = 50000;
    // How long a refused write is tried again, and how long it waits between tries.
    static constexpr uint64_t kWriteRetryNs = 20000000;
    static constexpr uint64_t kWriteRetryPauseNs = 50000;
    // The longest the pacer keeps the event loop waiting.
    static constexpr uint64_t kPaceTurnNs = 2000000;

    CanBusWorker &m_worker;
    QEventLoop &m_loop;
    DeviceSpec m_spec;
    std::unique_ptr<QCanBusDevice> m_device;
    QTimer m_openTimer;
    QTimer m_paceTimer;
    // A machine interface is watched: going down or away reaches the socket as no error.
    QTimer m_linkTimer;
    bool m_machineInterface = false;
    uint64_t m_lastArrivalNs = 0;
    // The sockets a frame line goes through, emptied at once after a timed frame.
    QList<QAbstractSocket *> m_sockets;
    Done m_done;
    bool m_opening = false;
    bool m_closing = false;
    std::vector<BusFrame> m_batch;
};
