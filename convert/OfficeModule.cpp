#include "OfficeModule.h"

#include "OfficeModuleApi.h"
#include "Paths.h"

#include <dlfcn.h>

#include <optional>

namespace office {

namespace {

constexpr int kStartLimitMs = 30000;
int g_callLimitMs = 60000;
std::function<Started()> g_factory;

struct Module
{
    OfficeUsableFn usable = nullptr;
    OfficeStartFn start = nullptr;
    QString error;
};

QString g_folderForTesting;
std::optional<Module> g_module;

// Loaded once and never unloaded: UNO keeps threads of its own running.
const Module &module()
{
    if (!g_module) g_module = [] {
        Module m;
        const QString folder =
            g_folderForTesting.isEmpty() ? paths::programFolder() : g_folderForTesting;
        const QString path = paths::join(folder, moduleFileName());
        void *handle = ::dlopen(path.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            m.error = QString::fromLocal8Bit(::dlerror());
            return m;
        }
        auto api = reinterpret_cast<OfficeApiFn>(::dlsym(handle, "cankestrova_office_api"));
        if (!api || api() != kOfficeModuleApi) {
            m.error = path + QStringLiteral(" is from another build of the program");
            return m;
        }
        m.usable = reinterpret_cast<OfficeUsableFn>(::dlsym(handle, "cankestrova_office_usable"));
        m.start = reinterpret_cast<OfficeStartFn>(::dlsym(handle, "cankestrova_office_start"));
        if (!m.usable || !m.start)
            m.error = path + QStringLiteral(" lacks its entry points");
        return m;
    }();
    return *g_module;
}

} // namespace

QString moduleFileName()
{
    return QStringLiteral("libcankestrova_office.so");
}

bool isUsable(QString *why)
{
    const Module &m = module();
    if (!m.error.isEmpty()) {
        if (why)
            *why = m.error;
        return false;
    }
    return m.usable(why);
}

Started start()
{
    if (g_factory)
        return g_factory();
    Started s;
    if (!isUsable(&s.error))
        return s;
    s.server.reset(module().start(kStartLimitMs, g_callLimitMs, &s.error));
    return s;
}

void setCallLimitMs(int ms)
{
    g_callLimitMs = ms;
}

int callLimitMs()
{
    return g_callLimitMs;
}

void setModuleFolderForTesting(const QString &folder)
{
    g_folderForTesting = folder;
    g_module.reset();
}

void setServerFactoryForTesting(std::function<Started()> factory)
{
    g_factory = std::move(factory);
}

} // namespace office
