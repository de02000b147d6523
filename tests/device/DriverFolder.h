#pragma once

#include "CanusbdrvSymbols.h"
#include "IFCanSymbols.h"
#include "TestHelpers.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <dlfcn.h>

// A driver folder of the test's own, pointed to by CANKESTROVA_DRIVER_DIR. It holds links
// to the built libraries (real or fake) under the names the program binds, or nothing.
// Both bindings are forgotten on the way in and out, so each test binds afresh.
class DriverFolder
{
public:
    DriverFolder() : m_env("CANKESTROVA_DRIVER_DIR", m_dir.path().toUtf8()) { forget(); }
    ~DriverFolder() { forget(); }

    static QString built(const QString &fileName)
    {
        return QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName;
    }

    // Links the built file `source` (in the test's program folder) as `name`.
    bool provide(const QString &source, const QString &name)
    {
        return QFile::link(built(source), path(name));
    }
    bool provideRealDrivers()
    {
        return provide(QStringLiteral("libcanusbdrv.so"), QStringLiteral("libcanusbdrv.so"))
               && provide(QStringLiteral("libIFCan.so"), QStringLiteral("libIFCan.so"));
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A function the fake drivers export for the tests to ask what they were told.
    template <typename Fn>
    Fn fakeFunction(const QString &name, const char *symbol) const
    {
        void *h = dlopen(QFile::encodeName(path(name)).constData(), RTLD_LAZY | RTLD_NOLOAD);
        return h ? reinterpret_cast<Fn>(dlsym(h, symbol)) : nullptr;
    }

private:
    static void forget()
    {
        CanusbdrvSymbols::instance().unbindForTesting();
        IFCanSymbols::instance().unbindForTesting();
    }

    QTemporaryDir m_dir;
    ScopedEnv m_env;
};

// Counts the passes of the event loop: a zero timer fires once in every message pump step.
class PumpCounter
{
public:
    PumpCounter()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { ++passes; });
        m_timer.start(0);
    }
    int passes = 0;

private:
    QTimer m_timer;
};
