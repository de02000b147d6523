#include "IFCanSymbols.h"

// Read here only, to hold our copies of the records to the vendor layout; its macros
// share their names with the InterfaceCAN members.
#include "IFCan.h"

#include <cstddef>

static_assert(sizeof(InterfaceCAN::CAN_PORT_INFORMATION) == sizeof(::CAN_PORT_INFORMATION));
static_assert(sizeof(InterfaceCAN::CAN_CONFIG) == sizeof(::CAN_CONFIG));
static_assert(sizeof(InterfaceCAN::CAN_MESSAGE) == sizeof(::CAN_MESSAGE));
static_assert(offsetof(InterfaceCAN::CAN_MESSAGE, ulID) == offsetof(::CAN_MESSAGE, ulID));
static_assert(offsetof(InterfaceCAN::CAN_MESSAGE, ucData) == offsetof(::CAN_MESSAGE, ucData));
static_assert(offsetof(InterfaceCAN::CAN_MESSAGE, ulTimeStamp)
              == offsetof(::CAN_MESSAGE, ulTimeStamp));
static_assert(offsetof(InterfaceCAN::CAN_PORT_INFORMATION, ulPhysicalLayer)
              == offsetof(::CAN_PORT_INFORMATION, ulPhysicalLayer));
static_assert(offsetof(InterfaceCAN::CAN_CONFIG, ulBitTiming)
              == offsetof(::CAN_CONFIG, ulBitTiming));

IFCanSymbols::IFCanSymbols() : m_library(QStringLiteral("libIFCan.so")) {}

IFCanSymbols &IFCanSymbols::instance()
{
    static IFCanSymbols symbols;
    return symbols;
}

bool IFCanSymbols::bind()
{
    if (m_library.wasTried())
        return m_library.isBound();
    if (m_library.load()) {
        auto get = [this](auto &fn, const char *name, bool required = true) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                m_library.resolve(name, required));
        };
        get(openPort, "CanOpenPort");
        get(closePort, "CanClosePort");
        get(getPortInformation, "CanGetPortInformation");
        get(getConfig, "CanGetConfig");
        get(setConfig, "CanSetConfig");
        get(activate, "CanActivate");
        get(deactivate, "CanDeactivate");
        get(receiveMessage, "CanReceiveMessage");
        get(sendMessage, "CanSendMessage");
        get(sendMessageAt, "CanSendMessageAt", false);
        get(flushMessageAt, "CanFlushMessageAt", false);
        get(getMessageAtStatus, "CanGetMessageAtStatus", false);
        get(getStatus, "CanGetStatus", false);
        get(getProblem, "CanGetProblem", false);
        get(getPortDevice, "CanGetPortDevice", false);
        get(getIgnoredEntry, "CanGetIgnoredEntry", false);
    }
    if (!m_library.finish())
        clear();
    return m_library.isBound();
}

void IFCanSymbols::clear()
{
    openPort = nullptr;
    closePort = activate = deactivate = nullptr;
    getPortInformation = nullptr;
    getConfig = nullptr;
    setConfig = nullptr;
    receiveMessage = nullptr;
    sendMessage = nullptr;
    sendMessageAt = nullptr;
    flushMessageAt = nullptr;
    getMessageAtStatus = nullptr;
    getStatus = nullptr;
    getProblem = nullptr;
    getPortDevice = nullptr;
    getIgnoredEntry = nullptr;
}

void IFCanSymbols::unbindForTesting()
{
    clear();
    m_library.forget();
}
