#pragma once

#include "CanusbdrvSymbols.h"
#include "IFCanSymbols.h"
#include "TestHelpers.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <dlfcn.h>

#include <ostream>

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

// Removes an environment variable for the lifetime of the object.
class ScopedUnset
{
public:
    explicit ScopedUnset(const char *name) : m_name(name), m_had(qEnvironmentVariableIsSet(name))
    {
        m_old = qgetenv(name);
        qunsetenv(name);
    }
    ~ScopedUnset()
    {
        if (m_had)
            qputenv(m_name, m_old);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
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

// Readable failures for texts and lists.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList &l, std::ostream *os)
{
    *os << '{' << l.join(QStringLiteral(" | ")).toStdString() << '}';
}
