// Decodes 1,000,000 frames of the identifiers a Toyota powertrain database knows, with
// random payloads: once into values only, once into CSV rows written to /dev/null.
#include "DbcReader.h"
#include "SignalCsv.h"
#include "SignalDecoder.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kFrames = 1000000;

struct Frame
{
    const DbcMessage *message;
    uint8_t length;
    uint8_t data[8];
};

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main()
{
    const Result<CanDatabase> read = DbcReader::readFile(QStringLiteral(BENCH_DBC_FILE));
    if (!read) {
        std::fprintf(stderr, "%s\n", qPrintable(read.error()));
        return 1;
    }
    const CanDatabase &db = read.value();
    std::vector<const DbcMessage *> known;
    size_t maxSignals = 0;
    for (const DbcMessage &m : db.messages())
        if (!m.extended) {
            known.push_back(&m);
            maxSignals = std::max(maxSignals, m.signalList.size());
        }
    std::mt19937_64 random(23);
    std::vector<Frame> frames(kFrames);
    for (Frame &f : frames) {
        // The look-up by identifier is part of the work, as for a frame off the bus.
        f.message = db.message11(known[random() % known.size()]->id);
        f.length = uint8_t(std::min(f.message->size, 8));
        const uint64_t bits = random();
        std::memcpy(f.data, &bits, 8);
    }
    std::vector<DecodedSignal> out(maxSignals);

    const auto decodeStart = std::chrono::steady_clock::now();
    int64_t signalCount = 0;
    double sum = 0;
    for (const Frame &f : frames) {
        const DbcMessage *m = db.message11(f.message->id);
        const int n = signaldecoder::decode(*m, std::span(f.data, f.length), out.data());
        signalCount += n;
        for (int i = 0; i < n; ++i)
            sum += out[size_t(i)].value;
    }
    const double decodeSeconds = seconds(decodeStart);

    std::FILE *sink = std::fopen("/dev/null", "wb");
    std::string csv;
    csv.reserve(2 << 20);
    int64_t bytes = 0;
    const auto csvStart = std::chrono::steady_clock::now();
    int64_t time = 0;
    for (const Frame &f : frames) {
        const DbcMessage *m = db.message11(f.message->id);
        const int n = signaldecoder::decode(*m, std::span(f.data, f.length), out.data());
        signalcsv::appendRows(csv, time += 250, *m, out.data(), n);
        if (csv.size() >= (1 << 20)) {
            bytes += int64_t(csv.size());
            std::fwrite(csv.data(), 1, csv.size(), sink);
            csv.clear();
        }
    }
    bytes += int64_t(csv.size());
    std::fwrite(csv.data(), 1, csv.size(), sink);
    std::fclose(sink);
    const double csvSeconds = seconds(csvStart);

    std::printf("messages %zu, signals per frame %.2f, CSV %.1f MB (checksum %g)\n",
                known.size(), double(signalCount) / kFrames, double(bytes) / 1e6, sum);
    std::printf("RESULT decode_fps=%.0f csv_fps=%.0f frames=%d\n", kFrames / decodeSeconds,
                kFrames / csvSeconds, kFrames);
    return 0;
}
