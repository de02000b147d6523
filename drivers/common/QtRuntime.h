#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class CanBusWorker;
class QEventLoop;
class QObject;
class VirtualBusServer;

// The Qt side of a driver library in whatever process loaded it: a C program or a script
// has no QCoreApplication, a Qt program has one on its main thread. A long-lived host
// thread creates the application object when there is none, and serves the virtual buses
// this process hosts, so a bus outlives any single handle.
// At exit every open device is closed and every thread joined before the globals of Qt
// and of its plugins are destroyed.
class QtRuntime final
{
public:
    static QtRuntime &instance();

    // False once the process is exiting.
    bool start();
    bool shuttingDown() const;

    // Before a virtualcan device opens: when nobody serves its loopback port yet, this
    // process starts to, on the host thread.
    void hostVirtualBus(const std::string &interface);

    // The plugin's globals exist once its first device does; registering the exit hook
    // again after that makes it run before they are destroyed.
    void notePluginUsed(const std::string &plugin);

    // Once per process, before the first virtual bus device opens.
    void keepTimeZoneCached();

    void add(CanBusWorker *worker);
    void remove(CanBusWorker *worker);

private:
    QtRuntime() = default;
    void hostMain();
    void runOnHost(const std::function<void()> &fn);
    void parkPluginServer();
    void shutdown();
    static void atExit();

    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::thread m_thread;
    QObject *m_context = nullptr;
    QEventLoop *m_loop = nullptr;
    VirtualBusServer *m_busServer = nullptr; // host thread only
    bool m_pluginServerParked = false;       // host thread only
    bool m_started = false;
    bool m_shutdown = false;
    std::once_flag m_tzOnce;
    std::set<std::string> m_plugins;
    std::vector<CanBusWorker *> m_workers;
};
