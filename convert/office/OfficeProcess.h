#pragma once

#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <sys/types.h>

// One soffice process group with a private profile and pipe name. A watchdog kills the
// group when a call takes longer than allowed; a guard process kills it, and removes the
// profile, when this program ends in any way, so no office outlives the program.
class OfficeProcess final
{
public:
    explicit OfficeProcess(const QString &programDir);
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    // Starts soffice listening for UNO on pipeName(); throws std::runtime_error.
    void start();
    QString pipeName() const { return m_pipeName; }
    // The process group, 0 when none runs.
    pid_t group() const { return m_pid > 0 ? m_pid : 0; }

    bool exited();
    bool killedByWatchdog();
    bool running() { return m_pid > 0 && !exited() && !killedByWatchdog(); }

    // From now on the group is killed unless disarm() comes within `limit`.
    void arm(std::chrono::milliseconds limit);
    void disarm();

    // Waits up to `wait` for the office to end by itself, then kills what is left.
    void stop(std::chrono::milliseconds wait);

private:
    class Watchdog;
    void startGuard();

    QString m_programDir;
    QTemporaryDir m_profile;
    QString m_pipeName;
    pid_t m_pid = -1;
    bool m_reaped = false;
    pid_t m_guardPid = -1;
    int m_guardPipe = -1;
    std::unique_ptr<Watchdog> m_watchdog;
};
