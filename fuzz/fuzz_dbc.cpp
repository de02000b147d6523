// CAN databases: any text is read into messages without a fault, every message decodes
// every payload length, and CR LF line ends read as LF ones do.
#include "DbcReader.h"
#include "SignalCsv.h"
#include "SignalDecoder.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const CanDatabase db = DbcReader::parse(text);

    uint8_t payload[8] = {};
    for (size_t i = 0; i < 8 && i < size; ++i)
        payload[i] = data[size - 1 - i];
    std::vector<DecodedSignal> out;
    std::string csv;
    for (const DbcMessage &m : db.messages()) {
        if (!m.extended && db.message11(m.id) != &m)
            std::abort();   // the look-up must find every 11-bit message
        out.resize(m.signalList.size());
        for (size_t length = 0; length <= 8; ++length) {
            const int n = signaldecoder::decode(m, std::span(payload, length), out.data());
            if (n < 0 || size_t(n) > m.signalList.size())
                std::abort();
            for (int i = 0; i < n; ++i)
                if (!out[size_t(i)].signal->usable
                    || out[size_t(i)].signal->bytesNeeded > int(length))
                    std::abort();   // decoded bits the frame does not have
            csv.clear();
            signalcsv::appendRows(csv, int64_t(length), m, out.data(), n);
        }
    }

    std::string lf(text);
    for (size_t at = lf.find("\r\n"); at != std::string::npos; at = lf.find("\r\n", at))
        lf.erase(at, 1);
    const CanDatabase again = DbcReader::parse(lf);
    if (again.messages().size() != db.messages().size()
        || again.problemCount() != db.problemCount())
        std::abort();   // the line ends must not change what is read
    return 0;
}
