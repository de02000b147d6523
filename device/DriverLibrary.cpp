#include "DriverLibrary.h"

#include "Paths.h"

#include <cstdio>

DriverLibrary::DriverLibrary(QString fileName) : m_fileName(std::move(fileName)) {}

QString DriverLibrary::path() const
{
    return paths::join(paths::driverFolder(), m_fileName);
}

bool DriverLibrary::isPresent() const
{
    return paths::isExistingFile(path());
}

bool DriverLibrary::load()
{
    if (m_tried)
        return m_library && m_library->isLoaded();
    m_tried = true;
    const QString file = path();
    if (!paths::isExistingFile(file)) {
        m_error = QStringLiteral("%1 が見つかりません。").arg(file);
        return false;
    }
    m_library = std::make_unique<QLibrary>(file);
    if (!m_library->load()) {
        m_error = QStringLiteral("%1 を読み込めません: %2").arg(file, m_library->errorString());
        return false;
    }
    return true;
}

void *DriverLibrary::resolve(const char *name, bool required)
{
    void *p = m_library && m_library->isLoaded()
                  ? reinterpret_cast<void *>(m_library->resolve(name))
                  : nullptr;
    if (!p && required)
        m_missing << QString::fromLatin1(name);
    return p;
}

bool DriverLibrary::finish()
{
    if (m_error.isEmpty() && !m_missing.isEmpty())
        m_error = QStringLiteral("%1 に %2 がありません。").arg(path(), m_missing.join(QLatin1String(", ")));
    m_bound = m_error.isEmpty();
    if (!m_bound && !m_reported) {
        // Reported once: the start-up check has the program end with a message anyway,
        // and a broken driver file is otherwise hard to tell from an absent device.
        m_reported = true;
        std::fprintf(stderr, "%s\n", qPrintable(m_error));
    }
    return m_bound;
}

void DriverLibrary::forget()
{
    // QLibrary does not unload on destruction, which is what the header asks for.
    m_library.reset();
    m_error.clear();
    m_missing.clear();
    m_tried = false;
    m_bound = false;
    m_reported = false;
}
