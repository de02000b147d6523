// The Interface CAN board's vendor API on Qt SerialBus.

#include "IFCan.h"

#include "CanBusWorker.h"
#include "HandleTable.h"
#include "DriverConfig.h"
#include "IfcanPorts.h"
#include "SocketCan.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr uint32_t vendorId = 0x1147; // Interface Corporation's PCI vendor ID
constexpr uint32_t revisionId = 1;
constexpr uint32_t highSpeedCan = 1;
constexpr uint64_t timestampWrapUs = 429491000;

struct Port
{
    IfcanPort port;
    std::mutex mutex; // guards config and active
    CAN_CONFIG config{CAN_NORMAL_MODE, 0, 0, 0, 0, 0, CAN_BAUDRATE_500k};
    bool active = false;
    CanBusWorker worker;
};

HandleTable<Port> &ports()
{
    static auto *table = new HandleTable<Port>;
    return *table;
}

int bitRateOf(uint32_t bitTiming)
{
    switch (bitTiming) {
    case CAN_BAUDRATE_1M:
        return 1000000;
    case CAN_BAUDRATE_500k:
        return 500000;
    case CAN_BAUDRATE_250k:
        return 250000;
    case CAN_BAUDRATE_125k:
        return 125000;
    case CAN_BAUDRATE_100k:
        return 100000;
    case CAN_BAUDRATE_95_2k:
        return 95238;
    case CAN_BAUDRATE_83_3k:
        return 83333;
    case CAN_BAUDRATE_50k:
        return 50000;
    case CAN_BAUDRATE_33_3k:
        return 33333;
    default:
        return 0;
    }
}

bool isValidMessage(const CAN_MESSAGE &m)
{
    if (m.ulLength > 8)
        return false;
    return m.ulID <= ((m.ulFlags & 1) ? 0x1FFFFFFFu : 0x7FFu);
}

BusFrame toFrame(const CAN_MESSAGE &m)
{
    BusFrame f;
    f.id = m.ulID;
    f.flags = ((m.ulFlags & 1) ? BusFrame::Extended : 0) | ((m.ulFlags & 2) ? BusFrame::Remote : 0);
    f.len = uint8_t(m.ulLength);
    std::memcpy(f.data, m.ucData, sizeof f.data);
    return f;
}

CAN_MESSAGE toMessage(const BusFrame &f)
{
    CAN_MESSAGE m{};
    m.ulLength = f.len;
    m.ulFlags = (f.extended() ? 1u : 0u) | (f.remote() ? 2u : 0u);
    m.ulID = f.id;
    std::memcpy(m.ucData, f.data, sizeof m.ucData);
    m.ulTimeStamp = uint32_t(f.arrivalNs / 1000u % timestampWrapUs);
    return m;
}

// The checks both send calls make; on success frames holds the messages to send.
uint32_t takeForSending(Port &port, const CAN_MESSAGE *pMessages, uint32_t ulCount,
                        std::vector<BusFrame> &frames)
{
    if (ulCount == 0)
        return IFCAN_ERROR_SUCCESS;
    if (!pMessages || !std::all_of(pMessages, pMessages + ulCount, isValidMessage))
        return IFCAN_ERROR_INVALID_PARAMETER;
    {
        std::lock_guard lock(port.mutex);
        // A listen-only controller never drives the bus, not even an acknowledge.
        if (port.config.ulMode == CAN_LISTEN_ONLY_MODE)
            return IFCAN_ERROR_INVALID_FUNCTION;
        if (!port.active)
            return IFCAN_ERROR_NOT_READY;
    }
    frames.resize(ulCount);
    std::transform(pMessages, pMessages + ulCount, frames.begin(), toFrame);
    return IFCAN_ERROR_SUCCESS;
}

uint32_t sendResult(CanBusWorker::WriteError e)
{
    switch (e) {
    case CanBusWorker::WriteError::None:
        return IFCAN_ERROR_SUCCESS;
    case CanBusWorker::WriteError::QueueFull:
        return IFCAN_ERROR_BUFFER_FULL;
    case CanBusWorker::WriteError::NotConnected:
        break;
    }
    return IFCAN_ERROR_DELETED;
}

} // namespace

extern "C" {

IFCAN_API int32_t CanOpenPort(const char *szName)
{
    const auto number = ifcanports::portNumber(szName);
    if (!number)
        return -1;
    const std::vector<IfcanPort> configured = ifcanports::configured();
    const auto found = std::find_if(configured.begin(), configured.end(),
                                    [&](const IfcanPort &p) { return p.number == *number; });
    if (found == configured.end())
        return -1;

    static std::mutex openMutex;
    std::lock_guard lock(openMutex);
    if (ports().any([&](const Port &p) { return p.port.number == *number; }))
        return -1;
    auto port = std::make_shared<Port>();
    port->port = *found;
    // A board receives nothing until it is activated.
    port->worker.setReceiving(false);
    DeviceSpec spec = found->spec;
    spec.bitRate = bitRateOf(port->config.ulBitTiming);
    if (port->worker.open(spec) != CanBusWorker::OpenError::None)
        return -1;
    const int32_t handle = ports().add(port);
    return handle > 0 ? handle : -1;
}

IFCAN_API uint32_t CanClosePort(int32_t hPort)
{
    const std::shared_ptr<Port> port = ports().take(hPort);
    if (!port)
        return ports().wasIssued(hPort) ? IFCAN_ERROR_NOT_OPENED : IFCAN_ERROR_INVALID_HANDLE;
    port->worker.close();
    // The device that dropped out during the session is reported here, where the user
    // sees the result.
    return port->worker.isLost() ? IFCAN_ERROR_DELETED : IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanGetPortInformation(int32_t hPort, CAN_PORT_INFORMATION *pInfo)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    if (!pInfo)
        return IFCAN_ERROR_INVALID_PARAMETER;
    CAN_PORT_INFORMATION info{};
    info.ulStructLength = CAN_PORT_INFORMATION_LENGTH;
    info.ulVendorID = vendorId;
    info.ulDeviceID = port->port.model.deviceId;
    info.ulSubsystemID = port->port.model.subsystemId;
    info.ulRevisionID = revisionId;
    info.ulBoardID = 0;
    info.ulModelNumber = boardmodels::modelNumber(port->port.model);
    info.ulChannelNumber = port->port.channel;
    info.ulPhysicalLayer = highSpeedCan;
    *pInfo = info;
    return IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanGetConfig(int32_t hPort, CAN_CONFIG *pConfig)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    if (!pConfig)
        return IFCAN_ERROR_INVALID_PARAMETER;
    std::lock_guard lock(port->mutex);
    *pConfig = port->config;
    return IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanSetConfig(int32_t hPort, const CAN_CONFIG *pConfig)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    if (!pConfig)
        return IFCAN_ERROR_INVALID_PARAMETER;
    const int bitRate = bitRateOf(pConfig->ulBitTiming);
    if (bitRate == 0 || (pConfig->ulMode != CAN_NORMAL_MODE && pConfig->ulMode != CAN_LISTEN_ONLY_MODE))
        return IFCAN_ERROR_INVALID_PARAMETER;
    std::lock_guard lock(port->mutex);
    const bool rateChanged = pConfig->ulBitTiming != port->config.ulBitTiming;
    port->config = *pConfig;
    if (port->worker.isLost())
        return IFCAN_ERROR_DELETED;
    // A machine interface takes its rate when the port is activated.
    const bool machine = port->port.spec.plugin == socketcan::pluginName;
    if (rateChanged && !machine
        && port->worker.changeBitRate(bitRate) != CanBusWorker::OpenError::None)
        return IFCAN_ERROR_DELETED;
    return IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanActivate(int32_t hPort)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    if (port->worker.isLost())
        return IFCAN_ERROR_DELETED;
    std::lock_guard lock(port->mutex);
    // The run starts here: a machine interface is brought to the configured rate and mode.
    if (!port->worker.prepareRun(bitRateOf(port->config.ulBitTiming),
                                 port->config.ulMode == CAN_LISTEN_ONLY_MODE))
        return IFCAN_ERROR_DELETED;
    port->active = true;
    port->worker.setReceiving(true);
    return IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanDeactivate(int32_t hPort)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    std::lock_guard lock(port->mutex);
    port->active = false;
    port->worker.setReceiving(false);
    return IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanReceiveMessage(int32_t hPort, CAN_MESSAGE *pMessages, uint32_t ulCount)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    if (!pMessages || ulCount == 0)
        return IFCAN_ERROR_INVALID_PARAMETER;
    FrameQueue &queue = port->worker.received();
    if (ulCount > queue.capacity())
        return IFCAN_ERROR_INSUFFICIENT_BUFFER;
    BusFrame one;
    std::vector<BusFrame> many;
    BusFrame *frames = &one;
    if (ulCount > 1) {
        many.resize(ulCount);
        frames = many.data();
    }
    if (!queue.popExactly(frames, ulCount))
        return port->worker.isLost() ? IFCAN_ERROR_DELETED : IFCAN_ERROR_BUFFER_EMPTY;
    for (uint32_t i = 0; i < ulCount; ++i)
        pMessages[i] = toMessage(frames[i]);
    return IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanSendMessage(int32_t hPort, const CAN_MESSAGE *pMessages, uint32_t ulCount)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    std::vector<BusFrame> frames;
    if (const uint32_t refused = takeForSending(*port, pMessages, ulCount, frames))
        return refused;
    if (frames.empty())
        return IFCAN_ERROR_SUCCESS;
    return sendResult(port->worker.write(frames.data(), frames.size()));
}

IFCAN_API uint32_t CanSendMessageAt(int32_t hPort, const CAN_MESSAGE *pMessages, uint32_t ulCount,
                                    uint64_t ullDueUs)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    if (ullDueUs > UINT64_MAX / 1000u)
        return IFCAN_ERROR_INVALID_PARAMETER;
    std::vector<BusFrame> frames;
    if (const uint32_t refused = takeForSending(*port, pMessages, ulCount, frames))
        return refused;
    if (frames.empty())
        return IFCAN_ERROR_SUCCESS;
    return sendResult(port->worker.writeAt(frames.data(), frames.size(), ullDueUs * 1000u));
}

IFCAN_API uint32_t CanFlushMessageAt(int32_t hPort)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    port->worker.flushTimed();
    return IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanGetMessageAtStatus(int32_t hPort, uint32_t *pulSent, uint32_t *pulWaiting)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    const CanBusWorker::TimedCounts counts = port->worker.timedCounts();
    if (pulSent)
        *pulSent = uint32_t(counts.sent);
    if (pulWaiting)
        *pulWaiting = uint32_t(counts.waiting);
    // The counts stay readable after a loss; the code says the port is gone.
    return port->worker.isLost() ? IFCAN_ERROR_DELETED : IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanGetStatus(int32_t hPort, uint32_t *pulStatus)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    if (!pulStatus)
        return IFCAN_ERROR_INVALID_PARAMETER;
    const uint32_t bus = port->worker.takeBusStatus();
    uint32_t status = 0;
    if (bus & CanBusWorker::ErrorWarning)
        status |= CAN_STATUS_ERROR_WARNING;
    if (bus & CanBusWorker::ErrorPassive)
        status |= CAN_STATUS_ERROR_PASSIVE;
    if (bus & CanBusWorker::BusOff)
        status |= CAN_STATUS_BUS_OFF;
    if (bus & CanBusWorker::Overrun)
        status |= CAN_STATUS_DATA_OVERRUN;
    if (bus & CanBusWorker::ArbitrationLost)
        status |= CAN_STATUS_ARBITRATION_LOST;
    if (bus & CanBusWorker::BusError)
        status |= CAN_STATUS_BUS_ERROR;
    if (port->worker.received().dropped() > 0)
        status |= CAN_STATUS_RECEIVE_BUFFER_FULL;
    if (port->worker.isLost())
        status |= CAN_STATUS_DEVICE_LOST;
    *pulStatus = status;
    return IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanGetProblem(int32_t hPort, char *szText, uint32_t ulSize)
{
    const std::shared_ptr<Port> port = ports().get(hPort);
    if (!port)
        return IFCAN_ERROR_INVALID_HANDLE;
    if (!szText || ulSize == 0)
        return IFCAN_ERROR_INVALID_PARAMETER;
    driverconfig::copyText(port->worker.takeProblem(), szText, int(std::min<uint32_t>(ulSize, INT32_MAX)));
    return IFCAN_ERROR_SUCCESS;
}

IFCAN_API uint32_t CanGetPortDevice(const char *szName, char *szText, uint32_t ulSize)
{
    if (!szText || ulSize == 0)
        return IFCAN_ERROR_INVALID_PARAMETER;
    szText[0] = '\0';
    const auto number = ifcanports::portNumber(szName);
    if (!number)
        return IFCAN_ERROR_INVALID_PARAMETER;
    for (const IfcanPort &p : ifcanports::configured()) {
        if (p.number == *number) {
            driverconfig::copyText(p.spec.plugin + ':' + p.spec.interface, szText,
                                   int(std::min<uint32_t>(ulSize, INT32_MAX)));
            return IFCAN_ERROR_SUCCESS;
        }
    }
    return IFCAN_ERROR_INVALID_PARAMETER;
}

IFCAN_API uint32_t CanGetIgnoredEntry(uint32_t ulIndex, char *szText, uint32_t ulSize)
{
    std::vector<driverconfig::IgnoredEntry> ignored;
    ifcanports::configured(&ignored);
    const int size = int(std::min<uint32_t>(ulSize, INT32_MAX));
    if (ulIndex < ignored.size())
        driverconfig::copyText(ignored[ulIndex].entry + '\t' + ignored[ulIndex].reason, szText, size);
    else if (szText && size > 0)
        szText[0] = '\0';
    return uint32_t(ignored.size());
}

} // extern "C"
