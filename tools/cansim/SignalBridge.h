#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGTERM and SIGINT into a Qt signal, delivered from the event loop, so the run can
// end cleanly (the log flushed, the bus left) instead of dying inside a write.
class SignalBridge final : public QObject
{
    Q_OBJECT

public:
    explicit SignalBridge(QObject *parent = nullptr);
    ~SignalBridge() override;

signals:
    void terminationRequested();

private:
    static void handler(int signalNumber);
    static int s_fds[2];
    std::unique_ptr<QSocketNotifier> m_notifier;
};
