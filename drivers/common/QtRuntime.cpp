#include "QtRuntime.h"

#include "CanBusWorker.h"
#include "VirtualBusServer.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLoggingCategory>

#include <cstdlib>
#include <future>

#include <unistd.h>

QtRuntime &QtRuntime::instance()
{
    // Never destroyed: the exit hook may run after static destructors have started.
    static QtRuntime *runtime = new QtRuntime;
    return *runtime;
}

bool QtRuntime::start()
{
    std::unique_lock lock(m_mutex);
    if (m_shutdown)
        return false;
    if (m_started)
        return true;
    m_started = true;
    std::atexit(&QtRuntime::atExit);
    m_thread = std::thread([this] { hostMain(); });
    m_ready.wait(lock, [this] { return m_context != nullptr; });
    return true;
}

bool QtRuntime::shuttingDown() const
{
    std::lock_guard lock(m_mutex);
    return m_shutdown;
}

void QtRuntime::hostMain()
{
    // Nothing of Qt has been touched in this process before when there is no application
    // object yet, so creating it here makes this thread Qt's main thread.
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "cankestrova-driver";
        static char *argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
        // A C program or a script gets no Qt chatter on its stderr: the virtual bus logs
        // every client that comes and goes. Qt applies QT_LOGGING_RULES after these rules,
        // so the variable still turns it on.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false"));
    }
    QEventLoop loop;
    QObject context;
    VirtualBusServer busServer;
    // Ready only once the loop runs: an exit() that came between publishing the loop and
    // exec() would be forgotten by exec(), and a host that exits at once would wait for
    // ever in shutdown().
    QMetaObject::invokeMethod(
        &context,
        [&] {
            {
                std::lock_guard lock(m_mutex);
                m_loop = &loop;
                m_context = &context;
                m_busServer = &busServer;
            }
            m_ready.notify_all();
        },
        Qt::QueuedConnection);
    loop.exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::lock_guard lock(m_mutex);
    m_context = nullptr;
    m_loop = nullptr;
    m_busServer = nullptr;
}

void QtRuntime::runOnHost(const std::function<void()> &fn)
{
    std::promise<void> done;
    {
        std::lock_guard lock(m_mutex);
        // Without an application object Qt delivers no events, so nothing would run.
        if (!m_context || !QCoreApplication::instance())
            return;
        QMetaObject::invokeMethod(
            m_context,
            [&] {
                fn();
                done.set_value();
            },
            Qt::QueuedConnection);
    }
    done.get_future().wait();
}

void QtRuntime::hostVirtualBus(const std::string &interface)
{
    keepTimeZoneCached();
    runOnHost([&] {
        parkPluginServer();
        m_busServer->hostInterface(QString::fromStdString(interface));
    });
    notePluginUsed("virtualcan");
}

void QtRuntime::parkPluginServer()
{
    if (m_pluginServerParked)
        return;
    m_pluginServerParked = true;
    // The plugin starts its server when a device opens, unless one already runs in this
    // process. Starting it once here on a port nobody will use keeps every later device
    // from starting one on its worker thread; the buses themselves are ours.
    QCanBusDevice *device = QCanBus::instance()->createDevice(
        QStringLiteral("virtualcan"), QStringLiteral("tcp://127.0.0.1:0/can0"));
    if (!device)
        return;
    device->connectDevice();
    delete device;
}

void QtRuntime::keepTimeZoneCached()
{
    // The virtual bus client stamps every frame it receives with QDateTime's local time.
    // With TZ unset, glibc looks at /etc/localtime again on each conversion (two stat
    // calls per frame), which caps a receiver near 50,000 frames/s. With TZ naming the
    // same file glibc reads it once; the local time is the same.
    std::call_once(m_tzOnce, [] {
        if (!qEnvironmentVariableIsSet("TZ") && access("/etc/localtime", R_OK) == 0)
            qputenv("TZ", ":/etc/localtime");
    });
}

void QtRuntime::notePluginUsed(const std::string &plugin)
{
    std::lock_guard lock(m_mutex);
    if (m_plugins.insert(plugin).second)
        std::atexit(&QtRuntime::atExit);
}

void QtRuntime::add(CanBusWorker *worker)
{
    std::lock_guard lock(m_mutex);
    m_workers.push_back(worker);
}

void QtRuntime::remove(CanBusWorker *worker)
{
    std::lock_guard lock(m_mutex);
    std::erase(m_workers, worker);
}

void QtRuntime::atExit()
{
    instance().shutdown();
}

void QtRuntime::shutdown()
{
    std::vector<CanBusWorker *> workers;
    {
        std::lock_guard lock(m_mutex);
        if (m_shutdown)
            return;
        m_shutdown = true;
        workers = m_workers;
    }
    for (CanBusWorker *worker : workers)
        worker->close();
    {
        // Not through an event: a Qt program has destroyed its application object by the
        // time exit handlers run, and from then on Qt delivers no events.
        std::lock_guard lock(m_mutex);
        if (m_loop)
            m_loop->exit();
    }
    if (m_thread.joinable())
        m_thread.join();
}
