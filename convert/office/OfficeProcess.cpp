#include "OfficeProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// posix_spawn with stdin from `input` (or /dev/null), stdout and stderr to /dev/null, in a
// process group of its own.
pid_t spawnDetached(const QByteArray &program, std::vector<QByteArray> args, int input)
{
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0)
        posix_spawn_file_actions_adddup2(&actions, input, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.constData(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
        throw std::runtime_error("cannot start " + program.toStdString() + ": " + std::strerror(rc));
    return pid;
}

// "7.4" from the install's "ProductKey=LibreOffice 7.4".
QString installedVersion(const QString &programDir)
{
    QFile f(programDir + QStringLiteral("/bootstraprc"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("ProductKey="))
            return QString::fromUtf8(line.trimmed()).section(QLatin1Char(' '), -1);
    }
    return {};
}

// Without these two entries a fresh profile costs several seconds of first-start work.
bool seedProfile(const QString &profileDir, const QString &version)
{
    const QString userDir = profileDir + QStringLiteral("/user");
    if (!QDir().mkpath(userDir))
        return false;
    QFile f(userDir + QStringLiteral("/registrymodifications.xcu"));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QString text = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
        "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
        "<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" "
        "oor:op=\"fuse\"><value>%1</value></prop></item>\n"
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"FirstRun\" "
        "oor:op=\"fuse\"><value>false</value></prop></item>\n"
        "</oor:items>\n").arg(version);
    return f.write(text.toUtf8()) > 0;
}

} // namespace

class OfficeProcess::Watchdog final
{
public:
    explicit Watchdog(pid_t group) : m_group(group), m_thread([this] { run(); }) {}
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    void arm(std::chrono::milliseconds limit)
    {
        {
            std::lock_guard lock(m_mutex);
            m_deadline = Clock::now() + limit;
            m_armed = true;
        }
        m_wake.notify_all();
    }
    void disarm()
    {
        std::lock_guard lock(m_mutex);
        m_armed = false;
    }
    bool fired()
    {
        std::lock_guard lock(m_mutex);
        return m_fired;
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            if (!m_armed) {
                m_wake.wait(lock);
                continue;
            }
            if (m_wake.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed
                && Clock::now() >= m_deadline) {
                ::kill(-m_group, SIGKILL);
                m_fired = true;
                m_armed = false;
            }
        }
    }

    pid_t m_group;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Clock::time_point m_deadline;
    bool m_armed = false;
    bool m_fired = false;
    bool m_stop = false;
    std::thread m_thread;
};

OfficeProcess::OfficeProcess(const QString &programDir)
    : m_programDir(programDir),
      m_profile(QDir::tempPath() + QStringLiteral("/cankestrova-office-XXXXXX"))
{
    m_pipeName = QStringLiteral("cankestrova_%1_%2")
                     .arg(::getpid())
                     .arg(QFileInfo(m_profile.path()).fileName());
}

OfficeProcess::~OfficeProcess()
{
    stop(std::chrono::milliseconds(0));
}

void OfficeProcess::start()
{
    if (!m_profile.isValid() || !seedProfile(m_profile.path(), installedVersion(m_programDir)))
        throw std::runtime_error("cannot create a LibreOffice profile folder in "
                                 + QDir::tempPath().toStdString());
    const QByteArray program = (m_programDir + QStringLiteral("/soffice")).toLocal8Bit();
    const QByteArray profile =
        "-env:UserInstallation=" + QUrl::fromLocalFile(m_profile.path()).toEncoded();
    const QByteArray accept = "--accept=pipe,name=" + m_pipeName.toLatin1() + ";urp;";
    // A group of its own, so the launcher and soffice.bin are stopped together.
    m_pid = spawnDetached(program,
                          {program, "--headless", "--invisible", "--nologo", "--nodefault",
                           "--norestore", "--nolockcheck", profile, accept},
                          -1);
    m_reaped = false;
    m_watchdog = std::make_unique<Watchdog>(m_pid);
    startGuard();
}

// However this program ends (killed, crashed), the write end of this pipe closes and a
// small shell stops the office and removes its profile.
void OfficeProcess::startGuard()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    const QByteArray script = "read _; kill -KILL -" + QByteArray::number(m_pid)
                              + " 2>/dev/null; rm -rf '" + m_profile.path().toLocal8Bit() + "'";
    try {
        m_guardPid = spawnDetached("/bin/sh", {"/bin/sh", "-c", script}, fds[0]);
        m_guardPipe = fds[1];
    } catch (const std::exception &) {
        ::close(fds[1]);
    }
    ::close(fds[0]);
}

bool OfficeProcess::exited()
{
    if (m_reaped || m_pid <= 0)
        return true;
    if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
        m_reaped = true;
    return m_reaped;
}

bool OfficeProcess::killedByWatchdog()
{
    return m_watchdog && m_watchdog->fired();
}

void OfficeProcess::arm(std::chrono::milliseconds limit)
{
    if (m_watchdog)
        m_watchdog->arm(limit);
}

void OfficeProcess::disarm()
{
    if (m_watchdog)
        m_watchdog->disarm();
}

void OfficeProcess::stop(std::chrono::milliseconds wait)
{
    if (m_pid <= 0)
        return;
    const auto deadline = Clock::now() + wait;
    while (!exited() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(-m_pid, SIGKILL);
    if (!m_reaped)
        ::waitpid(m_pid, nullptr, 0);
    m_reaped = true;
    m_pid = -1;
    m_watchdog.reset();
    if (m_guardPipe >= 0) {
        ::close(m_guardPipe);
        m_guardPipe = -1;
        ::waitpid(m_guardPid, nullptr, 0);
    }
    // A killed office leaves its pipe's socket file behind.
    QFile::remove(QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(m_pipeName));
}
