// The CANUSB adapter's vendor API on Qt SerialBus.

#include "canusbdrv.h"

#include "AcceptanceFilter.h"
#include "CanBusWorker.h"
#include "CanusbAdapters.h"
#include "DriverConfig.h"
#include "HandleTable.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace {

constexpr const char *versionText = "canusbdrv 1.0 ";
constexpr uint32_t timestampWrapMs = 60000;
constexpr int flushWaitMs = 1000;

struct Channel
{
    std::string serial;
    DeviceSpec spec;
    bool timestamps = false;
    CanBusWorker worker;

    // The first read or write starts the run; a machine interface is made ready then,
    // not at open, which the device check does at 500 kbit/s whatever the run's rate.
    bool ready() { return worker.prepareRun(spec.bitRate, false); }
};

HandleTable<Channel> &channels()
{
    static auto *table = new HandleTable<Channel>;
    return *table;
}

struct Enumeration
{
    std::mutex mutex;
    std::vector<CanusbAdapter> adapters;
    size_t next = 0;
};

Enumeration &enumeration()
{
    static auto *e = new Enumeration;
    return *e;
}

int bitRateFromText(const char *text)
{
    static const struct
    {
        const char *text;
        int bitRate;
    } rates[] = {{"1000", 1000000}, {"800", 800000}, {"500", 500000},
                 {"250", 250000},   {"125", 125000}, {"100", 100000},
                 {"50", 50000},     {"20", 20000},   {"10", 10000}};
    if (!text)
        return 0;
    for (const auto &r : rates) {
        if (std::strcmp(text, r.text) == 0)
            return r.bitRate;
    }
    return 0;
}

void copySerial(const std::string &serial, char *buffer, int size)
{
    const size_t n = std::min(serial.size(), size_t(size - 1));
    std::memcpy(buffer, serial.data(), n);
    buffer[n] = '\0';
}

int reportAdapter(Enumeration &e, char *buffer, int size)
{
    if (e.next >= e.adapters.size()) {
        buffer[0] = '\0';
        return e.adapters.empty() ? 0 : ERROR_CANUSB_NO_DEVICE;
    }
    copySerial(e.adapters[e.next++].serial, buffer, size);
    return int(e.adapters.size());
}

void toMessage(const BusFrame &frame, bool timestamps, CANMsg &msg)
{
    msg.id = frame.id;
    msg.timestamp = timestamps ? uint32_t(frame.arrivalNs / 1000000u % timestampWrapMs) : 0;
    msg.flags = (frame.extended() ? CANMSG_EXTENDED : 0) | (frame.remote() ? CANMSG_RTR : 0);
    msg.len = frame.len;
    std::memcpy(msg.data, frame.data, sizeof msg.data);
}

bool toFrame(const CANMsg *msg, BusFrame &frame)
{
    if (!msg || msg->len > 8)
        return false;
    frame.flags = ((msg->flags & CANMSG_EXTENDED) ? BusFrame::Extended : 0)
                  | ((msg->flags & CANMSG_RTR) ? BusFrame::Remote : 0);
    if (msg->id > (frame.extended() ? 0x1FFFFFFFu : 0x7FFu))
        return false;
    frame.id = msg->id;
    frame.len = msg->len;
    std::memcpy(frame.data, msg->data, sizeof frame.data);
    return true;
}

int writeResult(CanBusWorker::WriteError e)
{
    switch (e) {
    case CanBusWorker::WriteError::None:
        return ERROR_CANUSB_OK;
    case CanBusWorker::WriteError::QueueFull:
        return ERROR_CANUSB_TX_FIFO_FULL;
    case CanBusWorker::WriteError::NotConnected:
        break;
    }
    return ERROR_CANUSB_NO_DEVICE;
}

int openError(CanBusWorker::OpenError e)
{
    switch (e) {
    case CanBusWorker::OpenError::None:
        return ERROR_CANUSB_OK;
    case CanBusWorker::OpenError::Timeout:
        return ERROR_CANUSB_TIMEOUT;
    case CanBusWorker::OpenError::ShuttingDown:
        return ERROR_CANUSB_GENERAL;
    case CanBusWorker::OpenError::NoPlugin:
    case CanBusWorker::OpenError::Refused:
        break;
    }
    return ERROR_CANUSB_OPEN_SUBSYSTEM;
}

} // namespace

extern "C" {

CANUSB_API int canusb_getFirstAdapter(char *szAdapter, int size)
{
    if (!szAdapter || size < 1)
        return ERROR_CANUSB_INVALID_PARAM;
    Enumeration &e = enumeration();
    std::lock_guard lock(e.mutex);
    e.adapters = canusbadapters::configured();
    e.next = 0;
    return reportAdapter(e, szAdapter, size);
}

CANUSB_API int canusb_getNextAdapter(char *szAdapter, int size)
{
    if (!szAdapter || size < 1)
        return ERROR_CANUSB_INVALID_PARAM;
    Enumeration &e = enumeration();
    std::lock_guard lock(e.mutex);
    return reportAdapter(e, szAdapter, size);
}

CANUSB_API CANHANDLE canusb_Open(const char *szID, const char *szBitrate,
                                 uint32_t acceptance_code, uint32_t acceptance_mask,
                                 uint32_t flags)
{
    const int bitRate = bitRateFromText(szBitrate);
    if (bitRate == 0)
        return ERROR_CANUSB_INVALID_PARAM;
    const std::vector<CanusbAdapter> adapters = canusbadapters::configured();
    const auto adapter = std::find_if(adapters.begin(), adapters.end(), [&](const auto &a) {
        return !szID || !*szID || a.serial == szID;
    });
    if (adapter == adapters.end())
        return ERROR_CANUSB_NO_DEVICE;

    // One open at a time, so that the adapter's "already open" test cannot race.
    static std::mutex openMutex;
    std::lock_guard lock(openMutex);
    // An adapter serves one handle, as the USB device can only be claimed once.
    if (channels().any([&](const Channel &c) { return c.serial == adapter->serial; }))
        return ERROR_CANUSB_OPEN_SUBSYSTEM;
    auto channel = std::make_shared<Channel>();
    channel->serial = adapter->serial;
    channel->spec = adapter->spec;
    channel->spec.bitRate = bitRate;
    channel->timestamps = flags & CANUSB_FLAG_TIMESTAMP;
    const AcceptanceFilter filter(acceptance_code, acceptance_mask);
    if (acceptance_mask != CANUSB_ACCEPTANCE_MASK_ALL)
        channel->worker.setFilter([filter](const BusFrame &f) { return filter.accepts(f); });
    const int result = openError(channel->worker.open(channel->spec));
    if (result != ERROR_CANUSB_OK)
        return result;
    const CANHANDLE handle = channels().add(channel);
    return handle > 0 ? handle : ERROR_CANUSB_MEMORY_ERROR;
}

CANUSB_API int canusb_Close(CANHANDLE h)
{
    const std::shared_ptr<Channel> channel = channels().take(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    channel->worker.close();
    return ERROR_CANUSB_OK;
}

CANUSB_API int canusb_Read(CANHANDLE h, CANMsg *msg)
{
    const std::shared_ptr<Channel> channel = channels().get(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    if (!msg)
        return ERROR_CANUSB_INVALID_PARAM;
    BusFrame frame;
    // Frames that arrived before a loss are still delivered; then the loss is reported.
    channel->ready();
    if (!channel->worker.received().pop(frame))
        return channel->worker.isLost() ? ERROR_CANUSB_NO_DEVICE : ERROR_CANUSB_NO_MESSAGE;
    toMessage(frame, channel->timestamps, *msg);
    return ERROR_CANUSB_OK;
}

CANUSB_API int canusb_ReadFirst(CANHANDLE h, uint32_t id, uint32_t flags, CANMsg *msg)
{
    const std::shared_ptr<Channel> channel = channels().get(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    if (!msg)
        return ERROR_CANUSB_INVALID_PARAM;
    const uint8_t wanted = ((flags & CANMSG_EXTENDED) ? BusFrame::Extended : 0)
                           | ((flags & CANMSG_RTR) ? BusFrame::Remote : 0);
    BusFrame frame;
    channel->ready();
    const bool found = channel->worker.received().takeFirst(
        [&](const BusFrame &f) { return f.id == id && f.flags == wanted; }, frame);
    if (!found)
        return channel->worker.isLost() ? ERROR_CANUSB_NO_DEVICE : ERROR_CANUSB_NO_MESSAGE;
    toMessage(frame, channel->timestamps, *msg);
    return ERROR_CANUSB_OK;
}

CANUSB_API int canusb_Write(CANHANDLE h, CANMsg *msg)
{
    const std::shared_ptr<Channel> channel = channels().get(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    BusFrame frame;
    if (!toFrame(msg, frame))
        return ERROR_CANUSB_INVALID_PARAM;
    if (!channel->ready())
        return ERROR_CANUSB_NO_DEVICE;
    return writeResult(channel->worker.write(&frame, 1));
}

CANUSB_API int canusb_WriteAt(CANHANDLE h, CANMsg *msg, uint64_t dueUs)
{
    const std::shared_ptr<Channel> channel = channels().get(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    BusFrame frame;
    if (!toFrame(msg, frame) || dueUs > UINT64_MAX / 1000u)
        return ERROR_CANUSB_INVALID_PARAM;
    if (!channel->ready())
        return ERROR_CANUSB_NO_DEVICE;
    return writeResult(channel->worker.writeAt(&frame, 1, dueUs * 1000u));
}

CANUSB_API int canusb_WriteAtStatus(CANHANDLE h, uint32_t *sent, uint32_t *waiting)
{
    const std::shared_ptr<Channel> channel = channels().get(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    const CanBusWorker::TimedCounts counts = channel->worker.timedCounts();
    if (sent)
        *sent = uint32_t(counts.sent);
    if (waiting)
        *waiting = uint32_t(counts.waiting);
    // The counts stay readable after a loss; the code says the device is gone.
    return channel->worker.isLost() ? ERROR_CANUSB_NO_DEVICE : ERROR_CANUSB_OK;
}

CANUSB_API int canusb_Status(CANHANDLE h)
{
    const std::shared_ptr<Channel> channel = channels().get(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    int status = 0;
    if (channel->worker.received().dropped() > 0)
        status |= CANSTATUS_RECEIVE_FIFO_FULL;
    if (channel->worker.txFull())
        status |= CANSTATUS_TRANSMIT_FIFO_FULL;
    if (channel->worker.isLost())
        status |= CANSTATUS_BUS_ERROR;
    const uint32_t bus = channel->worker.takeBusStatus();
    if (bus & CanBusWorker::ErrorWarning)
        status |= CANSTATUS_ERROR_WARNING;
    if (bus & CanBusWorker::ErrorPassive)
        status |= CANSTATUS_ERROR_PASSIVE;
    if (bus & CanBusWorker::Overrun)
        status |= CANSTATUS_DATA_OVERRUN;
    if (bus & CanBusWorker::ArbitrationLost)
        status |= CANSTATUS_ARBITRATION_LOST;
    if (bus & (CanBusWorker::BusOff | CanBusWorker::BusError))
        status |= CANSTATUS_BUS_ERROR;
    return status;
}

CANUSB_API int canusb_VersionInfo(CANHANDLE h, char *verinfo)
{
    const std::shared_ptr<Channel> channel = channels().get(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    if (!verinfo)
        return ERROR_CANUSB_INVALID_PARAM;
    const std::string text = (versionText + channel->spec.plugin).substr(0, 31);
    std::memcpy(verinfo, text.c_str(), text.size() + 1);
    return ERROR_CANUSB_OK;
}

CANUSB_API int canusb_Flush(CANHANDLE h, uint8_t flushflags)
{
    const std::shared_ptr<Channel> channel = channels().get(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    if (flushflags & FLUSH_CANCEL_TIMED)
        channel->worker.flushTimed();
    if (flushflags & FLUSH_EMPTY_INQUEUE) {
        channel->worker.received().clear();
        channel->worker.received().resetDropped();
    }
    if (flushflags & FLUSH_DONTWAIT)
        return ERROR_CANUSB_OK;
    if (channel->worker.isLost())
        return ERROR_CANUSB_NO_DEVICE;
    return channel->worker.waitUntilSent(flushWaitMs) ? ERROR_CANUSB_OK : ERROR_CANUSB_TIMEOUT;
}

CANUSB_API int canusb_GetProblem(CANHANDLE h, char *text, int size)
{
    const std::shared_ptr<Channel> channel = channels().get(h);
    if (!channel)
        return ERROR_CANUSB_NOT_OPEN;
    if (!text || size < 1)
        return ERROR_CANUSB_INVALID_PARAM;
    return driverconfig::copyText(channel->worker.takeProblem(), text, size);
}

CANUSB_API int canusb_getIgnoredEntry(int index, char *text, int size)
{
    std::vector<driverconfig::IgnoredEntry> ignored;
    canusbadapters::configured(&ignored);
    if (index >= 0 && size_t(index) < ignored.size())
        driverconfig::copyText(ignored[size_t(index)].entry + '\t' + ignored[size_t(index)].reason,
                               text, size);
    else if (text && size > 0)
        text[0] = '\0';
    return int(ignored.size());
}

} // extern "C"
