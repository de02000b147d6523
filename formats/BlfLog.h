#pragma once

#include "LogFrame.h"
#include "LogTextWriter.h"
#include "Result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class LogInputBytes;

// Vector's binary logging format. A 144-byte file header ("LOGG", the measurement's start
// and end as local calendar times) and objects ("LOBJ", a type, their size); the frames
// mostly sit in LOG_CONTAINER objects, zlib-compressed or not, whose contents run on from
// one container to the next. Read: CAN_MESSAGE and CAN_MESSAGE2, CAN_ERROR and
// CAN_ERROR_EXT (error frames), CAN_FD_MESSAGE and CAN_FD_MESSAGE_64 (CAN FD frames, or a
// classic frame when they say so); every other object is passed over by its size.
namespace blf {

constexpr uint32_t kCanMessage = 1;
constexpr uint32_t kCanError = 2;
constexpr uint32_t kLogContainer = 10;
constexpr uint32_t kCanErrorExt = 73;
constexpr uint32_t kCanMessage2 = 86;
constexpr uint32_t kCanFdMessage = 100;
constexpr uint32_t kCanFdMessage64 = 101;
constexpr uint32_t kFileHeaderBytes = 144;
// Neither a container nor its contents may be larger: a file that says so is damaged.
constexpr uint32_t kMaxObjectBytes = 64u << 20;

// Reads one file through sink: one container in memory at a time. Damaged objects are
// bad lines numbered by the object's place in the file; a file that does not start as a
// .blf, or whose object chain breaks, fails.
struct ReadResult
{
    int64_t frames = 0;
    int64_t bad = 0;
    int64_t other = 0;
};
Result<ReadResult> read(LogInputBytes &in, LogSink &sink,
                        const std::function<bool(int64_t, int64_t)> &progress);

} // namespace blf

// Writes CAN_MESSAGE objects (CAN_ERROR_EXT for error frames) with nanosecond times, in
// zlib-compressed containers of 128 KiB, and the header with start, end and counts at the
// end. The start is the origin down to the millisecond the header holds.
class BlfLogWriter final : public LogTextWriter
{
public:
    static constexpr size_t kContainerBytes = 128 * 1024;

    BlfLogWriter() = default;
    ~BlfLogWriter() override;
    BlfLogWriter(const BlfLogWriter &) = delete;
    BlfLogWriter &operator=(const BlfLogWriter &) = delete;

    bool canCarry(const LogFrame &frame) const override { return !frame.fd; }
    void begin(TextOutput &out, int64_t originUs) override;
    void write(TextOutput &out, const LogFrame &frame) override;
    void end(TextOutput &out) override;

private:
    void flush(TextOutput &out);
    std::string header(int64_t fileBytes) const;

    int64_t m_originUs = 0;
    int64_t m_lastUs = 0;
    int64_t m_objects = 0;
    int64_t m_uncompressed = 0;
    std::string m_container;   // the objects of the container being filled
    size_t m_used = 0;
    std::string m_compressed;
    void *m_zlib = nullptr;    // z_stream, reset for each container
};
