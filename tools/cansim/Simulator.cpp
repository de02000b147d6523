#include "Simulator.h"

#include "FloodMode.h"
#include "ListenMode.h"
#include "SequenceMode.h"
#include "TrafficMode.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cstdio>

namespace {
constexpr int kVirtualBusSettleMs = 150;
} // namespace

Simulator::Simulator(SimOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options))
{
    m_durationTimer.setSingleShot(true);
    m_durationTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_durationTimer, &QTimer::timeout, this, [this] { end(Done); });
    connect(&m_signals, &SignalBridge::terminationRequested, this, [this] { end(Done); });
    connect(&m_bus, &BusLink::joined, this, &Simulator::onJoined);
    connect(&m_bus, &BusLink::failed, this, [this](const QString &why) { end(BusFailure, why); });
}

Simulator::~Simulator() = default;

void Simulator::start()
{
    m_mode = createMode();
    QString error;
    if (m_mode && !m_mode->prepare(&error)) {
        QTimer::singleShot(0, this, [this, error] { end(FileFailure, error); });
        return;
    }
    m_bus.open(m_options.plugin, m_options.interface, m_options.bitrate,
               m_options.connectTimeoutMs);
}

std::unique_ptr<SimMode> Simulator::createMode()
{
    using M = SimOptions::Mode;
    switch (m_options.mode) {
    case M::Traffic: return std::make_unique<TrafficMode>(m_bus, m_options.seed);
    case M::Flood:
        return std::make_unique<FloodMode>(m_bus, m_options.count, m_options.rate, m_options.ids);
    case M::Listen:
        return std::make_unique<ListenMode>(m_bus, m_options.logFile, m_options.count);
    case M::Sequence: return std::make_unique<SequenceMode>(m_bus, m_options.framesFile);
    case M::Host: return nullptr;
    }
    return nullptr;
}

void Simulator::onJoined()
{
    // A virtualcan client counts as connected once its socket is, but the bus's host
    // forwards frames to it only after it has read the client's registration line. Give
    // the host that moment, so that whoever waits for the ready file can send at once.
    const bool virtualBus = m_options.plugin == QLatin1String("virtualcan");
    QTimer::singleShot(virtualBus ? kVirtualBusSettleMs : 0, this, [this] {
        if (m_ended)
            return;
        QString error;
        if (!writeReadyFile(&error)) {
            end(FileFailure, error);
            return;
        }
        QTimer::singleShot(m_options.startDelayMs, Qt::PreciseTimer, this, &Simulator::startMode);
    });
}

bool Simulator::writeReadyFile(QString *error) const
{
    if (m_options.readyFile.isEmpty())
        return true;
    // Written whole or not at all, so a caller polling for it never reads half a file.
    QSaveFile file(m_options.readyFile);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_options.readyFile, file.errorString());
        return false;
    }
    file.write(QByteArray("ready ") + QByteArray::number(QCoreApplication::applicationPid())
               + '\n');
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_options.readyFile, file.errorString());
        return false;
    }
    return true;
}

void Simulator::startMode()
{
    if (m_ended)
        return;
    if (m_options.durationS > 0)
        m_durationTimer.start(int(m_options.durationS * 1000.0));
    if (!m_mode)
        return; // host: nothing to do but stay
    connect(m_mode.get(), &SimMode::finished, this, &Simulator::onModeFinished);
    QString error;
    if (!m_mode->start(&error))
        end(FileFailure, error);
}

void Simulator::onModeFinished()
{
    const int linger = m_options.lingerMs >= 0 ? m_options.lingerMs : m_mode->defaultLingerMs();
    m_durationTimer.stop();
    QTimer::singleShot(linger, this, [this] { end(Done); });
}

void Simulator::end(int exitCode, const QString &message)
{
    if (m_ended)
        return;
    m_ended = true;
    m_durationTimer.stop();
    if (m_mode) {
        m_mode->stop();
        if (m_bus.isJoined())
            std::printf("%s\n", qPrintable(m_mode->summary()));
    }
    if (!message.isEmpty())
        std::fprintf(stderr, "cansim: %s\n", qPrintable(message));
    std::fflush(stdout);
    m_bus.close();
    QCoreApplication::exit(exitCode);
}
