#include "BusLink.h"

#include <QCanBus>
#include <QVariant>

BusLink::BusLink(QObject *parent) : QObject(parent)
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (!m_joined)
            fail(QStringLiteral("the bus did not answer in time"));
    });
}

BusLink::~BusLink()
{
    close();
}

void BusLink::open(const QString &plugin, const QString &interface, int bitrate, int timeoutMs)
{
    QString error;
    m_device.reset(QCanBus::instance()->createDevice(plugin, interface, &error));
    if (!m_device) {
        // Let the caller connect to failed() before it fires.
        QTimer::singleShot(0, this, [this, error] {
            fail(QStringLiteral("cannot create the device: %1").arg(error));
        });
        return;
    }
    // Some plugins (virtualcan with can7, say) report a bad interface name only here.
    if (m_device->error() != QCanBusDevice::NoError) {
        const QString why = m_device->errorString();
        m_device.reset();
        QTimer::singleShot(0, this, [this, why] {
            fail(QStringLiteral("cannot use the interface: %1").arg(why));
        });
        return;
    }
    // Whoever joins a virtual bus first hosts it. Hosting it with the drivers' server
    // rather than the plugin's own lets this side send each frame line at once; the
    // plugin then finds the port taken and simply joins.
    if (plugin == QLatin1String("virtualcan"))
        m_busServer.hostInterface(interface);
    if (bitrate > 0)
        m_device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(bitrate));
    connect(m_device.get(), &QCanBusDevice::stateChanged, this, &BusLink::onStateChanged);
    connect(m_device.get(), &QCanBusDevice::errorOccurred, this, &BusLink::onError);
    connect(m_device.get(), &QCanBusDevice::framesReceived, this, &BusLink::framesArrived);
    m_timeout.start(timeoutMs);
    if (!m_device->connectDevice()) {
        const QString why = m_device->errorString();
        QTimer::singleShot(0, this, [this, why] {
            fail(QStringLiteral("cannot join the bus: %1").arg(why));
        });
        return;
    }
    if (m_device->state() == QCanBusDevice::ConnectedState)
        QTimer::singleShot(0, this, [this] { onStateChanged(QCanBusDevice::ConnectedState); });
}

void BusLink::close()
{
    if (!m_device || m_closing)
        return;
    m_closing = true;
    if (m_device->state() != QCanBusDevice::UnconnectedState)
        m_device->disconnectDevice();
}

bool BusLink::send(const QCanBusFrame &frame)
{
    return m_joined && !m_closing && m_device->writeFrame(frame);
}

QList<QCanBusFrame> BusLink::takeFrames()
{
    if (!m_device)
        return {};
    return m_device->readAllFrames();
}

void BusLink::onStateChanged(QCanBusDevice::CanBusDeviceState state)
{
    if (state == QCanBusDevice::ConnectedState && !m_joined && !m_failed) {
        m_joined = true;
        m_timeout.stop();
        VirtualBusServer::sendLinesAtOnce(m_device.get());
        emit joined();
        return;
    }
    if (state == QCanBusDevice::UnconnectedState && !m_closing) {
        fail(m_joined ? QStringLiteral("the bus was lost") : QStringLiteral("cannot join the bus"));
    }
}

void BusLink::onError(QCanBusDevice::CanBusError error)
{
    // Write errors are the sender's business (it retries); anything else while joining
    // means the bus is not there.
    if (error == QCanBusDevice::WriteError || error == QCanBusDevice::NoError)
        return;
    if (!m_joined)
        fail(QStringLiteral("cannot join the bus: %1").arg(m_device->errorString()));
}

void BusLink::fail(const QString &why)
{
    if (m_failed || m_closing)
        return;
    m_failed = true;
    m_timeout.stop();
    emit failed(why);
}
