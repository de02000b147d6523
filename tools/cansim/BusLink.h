#pragma once

#include "VirtualBusServer.h"

#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QObject>
#include <QTimer>

#include <memory>

// One Qt SerialBus device: joins the bus, reports when it is joined or lost, and hands
// frames in and out.
class BusLink final : public QObject
{
    Q_OBJECT

public:
    explicit BusLink(QObject *parent = nullptr);
    ~BusLink() override;

    // Starts joining; exactly one of joined() or failed() follows.
    void open(const QString &plugin, const QString &interface, int bitrate, int timeoutMs);
    void close();

    bool isJoined() const { return m_joined; }
    bool send(const QCanBusFrame &frame);
    QList<QCanBusFrame> takeFrames();

signals:
    void joined();
    void failed(const QString &why);
    void framesArrived();

private:
    void onStateChanged(QCanBusDevice::CanBusDeviceState state);
    void onError(QCanBusDevice::CanBusError error);
    void fail(const QString &why);

    VirtualBusServer m_busServer; // outlives the device: declared before it
    std::unique_ptr<QCanBusDevice> m_device;
    QTimer m_timeout;
    bool m_joined = false;
    bool m_failed = false;
    bool m_closing = false;
};
