#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <condition_variable>

// Another node on the virtual bus that floods it: frames of one identifier, 8 bytes, the
// sequence number little-endian in bytes 0..3, paced to a rate on the monotonic clock.
// It runs on a thread of its own, as a separate ECU would.
class FloodSender final
{
public:
    struct Result
    {
        uint64_t sent = 0;
        double seconds = 0; // from the first frame to the last one leaving the socket
    };

    explicit FloodSender(std::string interface);
    ~FloodSender();

    bool start(std::string *error);
    // Blocks until all count frames are out.
    Result flood(uint32_t count, uint32_t rate, uint32_t id);

private:
    void threadMain();

    std::string m_interface;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    enum class State { Starting, Idle, Flooding, Failed, Quit } m_state = State::Starting;
    std::string m_error;
    uint32_t m_count = 0;
    uint32_t m_rate = 0;
    uint32_t m_id = 0;
    Result m_result;
};
