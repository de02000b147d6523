// A stand-in for libcanusbdrv.so that misbehaves on request, for the failures the real
// driver never shows: more adapters than the list holds, NULs and unterminated texts in
// the buffers, a call failing halfway, an adapter that will not open. Driven by
// environment variables read at canusb_getFirstAdapter / canusb_Open:
//   FAKE_CANUSB_SERIALS  '|'-separated serials; "\0" in a serial is a NUL byte, and a
//                        serial "*" writes 32 bytes of 'S' with no terminator
//   FAKE_CANUSB_COUNT    instead: this many serials FAKE0001, FAKE0002, ...
//   FAKE_CANUSB_FAIL_AT  the n-th enumeration call (1-based) answers -1
//   FAKE_CANUSB_OPEN     "fail": canusb_Open answers ERROR_CANUSB_NO_DEVICE
//   FAKE_CANUSB_VERSION  the version text; "fail": canusb_VersionInfo answers -1;
//                        "full": 32 characters and the NUL in the 33rd byte
// With FAKE_WITHOUT_READ defined the library lacks canusb_Read. With FAKE_WITH_TIMED it
// has the timed entry points: frames "leave" when their due time has passed, and the
// tests ask how many were written, flushed and still waiting when the handle closed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <string>
#include <vector>

#define API extern "C" __attribute__((visibility("default")))

namespace {

std::vector<std::string> g_serials;
size_t g_next = 0;
int g_calls = 0;
int g_opens = 0;
int g_closes = 0;
std::string g_lastOpen;
int g_writes = 0;
std::deque<uint64_t> g_timed; // due times of the timed frames still waiting
uint32_t g_timedSent = 0;
int g_timedFlushes = 0;
int g_waitingAtClose = -1;

std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? v : "";
}

std::vector<std::string> configured()
{
    std::vector<std::string> out;
    const std::string count = env("FAKE_CANUSB_COUNT");
    if (!count.empty()) {
        for (int i = 1; i <= std::atoi(count.c_str()); ++i) {
            char s[16];
            std::snprintf(s, sizeof s, "FAKE%04d", i);
            out.push_back(s);
        }
        return out;
    }
    const std::string text = env("FAKE_CANUSB_SERIALS");
    size_t pos = 0;
    while (!text.empty() && pos <= text.size()) {
        const size_t bar = std::min(text.find('|', pos), text.size());
        std::string item = text.substr(pos, bar - pos);
        for (size_t z; (z = item.find("\\0")) != std::string::npos;)
            item.replace(z, 2, std::string(1, '\0'));
        out.push_back(item);
        pos = bar + 1;
    }
    return out;
}

int report(char *buffer, int size)
{
    ++g_calls;
    const std::string failAt = env("FAKE_CANUSB_FAIL_AT");
    if (!failAt.empty() && std::atoi(failAt.c_str()) == g_calls)
        return -1;
    if (g_next >= g_serials.size())
        return -9;
    const std::string &s = g_serials[g_next++];
    if (s == "*") {
        std::memset(buffer, 'S', size_t(size));
    } else {
        const size_t n = std::min(s.size(), size_t(size - 1));
        std::memcpy(buffer, s.data(), n);
        buffer[n] = '\0';
    }
    return int(g_serials.size() - g_next + 1);
}

} // namespace

API int canusb_getFirstAdapter(char *szAdapter, int size)
{
    // The counters start afresh with every enumeration: tests that link this file in
    // different folders still share one loaded copy.
    g_serials = configured();
    g_next = 0;
    g_calls = 0;
    g_opens = 0;
    g_closes = 0;
    return report(szAdapter, size);
}

API int canusb_getNextAdapter(char *szAdapter, int size)
{
    return report(szAdapter, size);
}

API int32_t canusb_Open(const char *szID, const char *szBitrate, uint32_t code, uint32_t mask,
                        uint32_t flags)
{
    ++g_opens;
    g_writes = 0;
    g_timed.clear();
    g_timedSent = 0;
    g_timedFlushes = 0;
    g_waitingAtClose = -1;
    char text[128];
    std::snprintf(text, sizeof text, "%s|%s|%u|%u|%u", szID ? szID : "(null)",
                  szBitrate ? szBitrate : "(null)", code, mask, flags);
    g_lastOpen = text;
    if (env("FAKE_CANUSB_OPEN") == "fail")
        return -9;
    return 7;
}

API int canusb_Close(int32_t)
{
    ++g_closes;
    g_waitingAtClose = int(g_timed.size());
    return 1;
}

#ifndef FAKE_WITHOUT_READ
API int canusb_Read(int32_t, void *)
{
    return -7;
}
#endif

API int canusb_Write(int32_t, void *)
{
    ++g_writes;
    return 1;
}

API int canusb_Flush(int32_t, uint8_t flags)
{
    if (flags & 0x04) {
        ++g_timedFlushes;
        g_timed.clear();
    }
    return 1;
}

#ifdef FAKE_WITH_TIMED
namespace {
void leaveWhenDue()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t nowUs = uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
    while (!g_timed.empty() && g_timed.front() <= nowUs) {
        g_timed.pop_front();
        ++g_timedSent;
    }
}
} // namespace

API int canusb_WriteAt(int32_t, void *, uint64_t dueUs)
{
    leaveWhenDue();
    g_timed.push_back(dueUs);
    return 1;
}

API int canusb_WriteAtStatus(int32_t, uint32_t *sent, uint32_t *waiting)
{
    leaveWhenDue();
    if (sent)
        *sent = g_timedSent;
    if (waiting)
        *waiting = uint32_t(g_timed.size());
    return 1;
}
#endif

API int canusb_VersionInfo(int32_t, char *verinfo)
{
    const std::string v = env("FAKE_CANUSB_VERSION");
    if (v == "fail")
        return -1;
    if (v == "full") {
        std::memset(verinfo, 'V', 32);
        verinfo[32] = '\0';
        return 1;
    }
    std::snprintf(verinfo, 32, "%s", v.empty() ? "FAKE HW1.0 SW2.0" : v.c_str());
    return 1;
}

// What the tests ask the fake afterwards.
API const char *fake_last_open()
{
    return g_lastOpen.c_str();
}
API int fake_open_count()
{
    return g_opens;
}
API int fake_close_count()
{
    return g_closes;
}
API int fake_enumeration_calls()
{
    return g_calls;
}
API int fake_write_count()
{
    return g_writes;
}
API int fake_timed_sent()
{
    return int(g_timedSent);
}
API int fake_timed_flushes()
{
    return g_timedFlushes;
}
API int fake_waiting_at_close()
{
    return g_waitingAtClose;
}
