#include "InterfaceCAN.h"

#include "DeviceProblem.h"
#include "IFCanSymbols.h"

namespace {

IFCanSymbols &bound()
{
    IFCanSymbols &s = IFCanSymbols::instance();
    s.bind();
    return s;
}

} // namespace

std::optional<uint32_t> InterfaceCAN::bitTiming(int32_t t_bitRate)
{
    switch (t_bitRate) {
    case 0: return CAN_BAUDRATE_1M;
    case 2: return CAN_BAUDRATE_500k;
    case 3: return CAN_BAUDRATE_250k;
    case 4: return CAN_BAUDRATE_100k;
    case 5: return CAN_BAUDRATE_50k;
    default: return std::nullopt;
    }
}

namespace {

// A device the driver lost may come with a reason for the user.
uint32_t reportLoss(IFCanSymbols &s, int32_t hPort, uint32_t result)
{
    if (result == InterfaceCAN::IFCAN_ERROR_DELETED && s.getProblem) {
        char text[1024] = {};
        if (s.getProblem(hPort, text, uint32_t(sizeof text)) == InterfaceCAN::IFCAN_ERROR_SUCCESS)
            DeviceProblem::show(text);
    }
    return result;
}

} // namespace

QString InterfaceCAN::portName(int32_t portNo)
{
    return QStringLiteral("IFCAN") + QString::number(portNo);
}

int32_t InterfaceCAN::CanOpenPort(const QString &szName)
{
    auto &s = bound();
    if (!s.openPort)
        return INVALID_PORT_HANDLE;
    const QByteArray name = szName.toLatin1();
    return s.openPort(name.constData());
}

uint32_t InterfaceCAN::CanClosePort(int32_t hPort)
{
    auto &s = bound();
    return s.closePort ? s.closePort(hPort) : IFCAN_ERROR_NOT_READY;
}

uint32_t InterfaceCAN::CanGetPortInformation(int32_t hPort, CAN_PORT_INFORMATION *pInfo)
{
    auto &s = bound();
    if (!pInfo)
        return IFCAN_ERROR_INVALID_PARAMETER;
    return s.getPortInformation ? s.getPortInformation(hPort, pInfo) : IFCAN_ERROR_NOT_READY;
}

uint32_t InterfaceCAN::CanGetConfig(int32_t hPort, CAN_CONFIG *pConfig)
{
    auto &s = bound();
    if (!pConfig)
        return IFCAN_ERROR_INVALID_PARAMETER;
    return s.getConfig ? s.getConfig(hPort, pConfig) : IFCAN_ERROR_NOT_READY;
}

uint32_t InterfaceCAN::CanSetConfig(int32_t hPort, const CAN_CONFIG *pConfig)
{
    auto &s = bound();
    if (!pConfig)
        return IFCAN_ERROR_INVALID_PARAMETER;
    return s.setConfig ? s.setConfig(hPort, pConfig) : IFCAN_ERROR_NOT_READY;
}

uint32_t InterfaceCAN::CanActivate(int32_t hPort)
{
    auto &s = bound();
    return s.activate ? reportLoss(s, hPort, s.activate(hPort)) : IFCAN_ERROR_NOT_READY;
}

uint32_t InterfaceCAN::CanDeactivate(int32_t hPort)
{
    auto &s = bound();
    return s.deactivate ? s.deactivate(hPort) : IFCAN_ERROR_NOT_READY;
}

uint32_t InterfaceCAN::CanReceiveMessage(int32_t hPort, CAN_MESSAGE *pMessages, uint32_t ulCount)
{
    auto &s = bound();
    if (!pMessages && ulCount > 0)
        return IFCAN_ERROR_INVALID_PARAMETER;
    return s.receiveMessage ? reportLoss(s, hPort, s.receiveMessage(hPort, pMessages, ulCount))
                            : IFCAN_ERROR_NOT_READY;
}

uint32_t InterfaceCAN::CanSendMessage(int32_t hPort, const CAN_MESSAGE *pMessages, uint32_t ulCount)
{
    auto &s = bound();
    if (!pMessages && ulCount > 0)
        return IFCAN_ERROR_INVALID_PARAMETER;
    return s.sendMessage ? reportLoss(s, hPort, s.sendMessage(hPort, pMessages, ulCount))
                         : IFCAN_ERROR_NOT_READY;
}

bool InterfaceCAN::hasTimedSending()
{
    auto &s = bound();
    return s.sendMessageAt && s.flushMessageAt && s.getMessageAtStatus;
}

uint32_t InterfaceCAN::CanSendMessageAt(int32_t hPort, const CAN_MESSAGE *pMessages,
                                        uint32_t ulCount, uint64_t ullDueUs)
{
    auto &s = bound();
    if (!pMessages && ulCount > 0)
        return IFCAN_ERROR_INVALID_PARAMETER;
    return s.sendMessageAt
               ? reportLoss(s, hPort, s.sendMessageAt(hPort, pMessages, ulCount, ullDueUs))
               : IFCAN_ERROR_NOT_SUPPORTED;
}

uint32_t InterfaceCAN::CanFlushMessageAt(int32_t hPort)
{
    auto &s = bound();
    return s.flushMessageAt ? s.flushMessageAt(hPort) : IFCAN_ERROR_NOT_SUPPORTED;
}

uint32_t InterfaceCAN::CanGetMessageAtStatus(int32_t hPort, uint32_t *pulSent,
                                             uint32_t *pulWaiting)
{
    auto &s = bound();
    return s.getMessageAtStatus
               ? reportLoss(s, hPort, s.getMessageAtStatus(hPort, pulSent, pulWaiting))
               : IFCAN_ERROR_NOT_SUPPORTED;
}

QString InterfaceCAN::portDevice(const QString &szName)
{
    auto &s = bound();
    char text[256] = {};
    const QByteArray name = szName.toLatin1();
    if (!s.getPortDevice || s.getPortDevice(name.constData(), text, uint32_t(sizeof text))
                                != IFCAN_ERROR_SUCCESS)
        return {};
    return QString::fromUtf8(text);
}

QStringList InterfaceCAN::ignoredEntries()
{
    auto &s = bound();
    if (!s.getIgnoredEntry)
        return {};
    return DeviceProblem::collect([get = s.getIgnoredEntry](int i, char *text, int size) {
        return int(get(uint32_t(i), text, uint32_t(size)));
    });
}

QString InterfaceCAN::driverPath()
{
    return IFCanSymbols::instance().library().path();
}

bool InterfaceCAN::isDriverInstalled()
{
    return IFCanSymbols::instance().library().isPresent();
}

bool InterfaceCAN::bindDriver(QString *error)
{
    auto &s = IFCanSymbols::instance();
    const bool ok = s.bind();
    if (!ok && error)
        *error = s.library().errorString();
    return ok;
}
