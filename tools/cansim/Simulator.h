#pragma once

#include "BusLink.h"
#include "SignalBridge.h"
#include "SimOptions.h"

#include <QObject>
#include <QTimer>

#include <memory>

class SimMode;

// One run of cansim: joins the bus, announces it, runs the chosen mode and leaves the
// bus cleanly, whichever way the run ends.
class Simulator final : public QObject
{
    Q_OBJECT

public:
    explicit Simulator(SimOptions options, QObject *parent = nullptr);
    ~Simulator() override;

    // Starts the run; the application quits with the exit code when it is over.
    void start();

    enum ExitCode { Done = 0, BadArguments = 1, BusFailure = 2, FileFailure = 3 };

private:
    void onJoined();
    void startMode();
    void onModeFinished();
    void end(int exitCode, const QString &message = {});
    bool writeReadyFile(QString *error) const;
    std::unique_ptr<SimMode> createMode();

    SimOptions m_options;
    BusLink m_bus;
    SignalBridge m_signals;
    std::unique_ptr<SimMode> m_mode;
    QTimer m_durationTimer;
    bool m_ended = false;
};
