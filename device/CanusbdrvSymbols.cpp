#include "CanusbdrvSymbols.h"

// The vendor header is read here only, to hold our copy of its frame record to the same
// layout; its macros share their names with the CANUSB members, so it stays out of every
// other file.
#include "canusbdrv.h"

#include <cstddef>

static_assert(sizeof(CANUSB::CANMsg) == sizeof(::CANMsg));
static_assert(offsetof(CANUSB::CANMsg, timestamp) == offsetof(::CANMsg, timestamp));
static_assert(offsetof(CANUSB::CANMsg, flags) == offsetof(::CANMsg, flags));
static_assert(offsetof(CANUSB::CANMsg, len) == offsetof(::CANMsg, len));
static_assert(offsetof(CANUSB::CANMsg, data) == offsetof(::CANMsg, data));

CanusbdrvSymbols::CanusbdrvSymbols() : m_library(QStringLiteral("libcanusbdrv.so")) {}

CanusbdrvSymbols &CanusbdrvSymbols::instance()
{
    static CanusbdrvSymbols symbols;
    return symbols;
}

bool CanusbdrvSymbols::bind()
{
    if (m_library.wasTried())
        return m_library.isBound();
    if (m_library.load()) {
        auto get = [this](auto &fn, const char *name, bool required = true) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                m_library.resolve(name, required));
        };
        get(getFirstAdapter, "canusb_getFirstAdapter");
        get(getNextAdapter, "canusb_getNextAdapter");
        get(open, "canusb_Open");
        get(close, "canusb_Close");
        get(read, "canusb_Read");
        get(write, "canusb_Write");
        get(versionInfo, "canusb_VersionInfo");
        get(readFirst, "canusb_ReadFirst", false);
        get(status, "canusb_Status", false);
        get(flush, "canusb_Flush", false);
        get(writeAt, "canusb_WriteAt", false);
        get(writeAtStatus, "canusb_WriteAtStatus", false);
        get(getProblem, "canusb_GetProblem", false);
        get(getIgnoredEntry, "canusb_getIgnoredEntry", false);
    }
    if (!m_library.finish())
        clear();
    return m_library.isBound();
}

void CanusbdrvSymbols::clear()
{
    getFirstAdapter = getNextAdapter = nullptr;
    open = nullptr;
    close = status = nullptr;
    read = write = nullptr;
    versionInfo = nullptr;
    readFirst = nullptr;
    flush = nullptr;
    writeAt = nullptr;
    writeAtStatus = nullptr;
    getProblem = nullptr;
    getIgnoredEntry = nullptr;
}

void CanusbdrvSymbols::unbindForTesting()
{
    clear();
    m_library.forget();
}
