#pragma once

#include "BusFrame.h"
#include "CanBusWorker.h"
#include "DeviceSpec.h"

#include <QCanBusDevice>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

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

    CanBusWorker &m_worker;
    QEventLoop &m_loop;
    DeviceSpec m_spec;
    std::unique_ptr<QCanBusDevice> m_device;
    QTimer m_openTimer;
    Done m_done;
    bool m_opening = false;
    bool m_closing = false;
    std::vector<BusFrame> m_batch;
};
