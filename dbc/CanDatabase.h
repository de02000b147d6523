#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One signal of a message as a CAN database defines it. Texts are UTF-8.
struct DbcSignal
{
    enum class ValueType : uint8_t { Integer, Float, Double };
    enum class Mux : uint8_t { None, Multiplexor, Multiplexed };

    std::string name;
    int startBit = 0;          // Intel: the least significant bit; Motorola: the most
    int length = 1;
    bool motorola = false;
    bool isSigned = false;
    ValueType valueType = ValueType::Integer;
    double factor = 1;
    double offset = 0;
    double minimum = 0;
    double maximum = 0;
    std::string unit;
    std::vector<std::string> receivers;
    Mux mux = Mux::None;
    int64_t muxValue = 0;      // the multiplexor's value that carries this signal
    std::string comment;
    std::vector<std::pair<int64_t, std::string>> valueNames;   // sorted by value

    // Where the raw bits sit in the 64-bit word of the payload (little-endian for Intel,
    // big-endian for Motorola), and how many payload bytes the signal needs. Set by the
    // reader; a signal that does not fit a classic frame is not usable.
    int shift = 0;
    uint64_t mask = 0;
    int bytesNeeded = 0;
    bool usable = false;
    // factor and offset as integers over 10^decimals when the file's texts allow it, so
    // that raw × factor + offset is one exact sum and a single rounding (0.1 × 8192 − 819.2
    // gives 0, not 1e-13). decimals < 0: not so representable; the double sum is used.
    int decimals = -1;
    int64_t scaledFactor = 0;
    int64_t scaledOffset = 0;
    double divisor = 1;

    // The value name of a raw value, or an empty view.
    std::string_view valueName(int64_t raw) const;
};

// One message (BO_) and its signalList.
struct DbcMessage
{
    uint32_t id = 0;           // 11 or 29 bits, without the extended flag
    bool extended = false;     // a 29-bit identifier: read, but not on this bus
    std::string name;
    int size = 8;              // bytes, as declared
    std::string transmitter;
    int64_t line = 0;          // of its BO_ statement
    std::string comment;
    int32_t cycleTimeMs = 0;   // GenMsgCycleTime; 0 when not given
    int multiplexor = -1;      // index of the signal with M, or -1
    std::vector<DbcSignal> signalList;

    const DbcSignal *signal(std::string_view name) const;
};

// A line of a database file the reader could not use.
struct DbcProblem
{
    int64_t line = 0;
    std::string text;
};

// A CAN database read from a DBC file: its messages, a quick look-up of the 11-bit ones,
// and what the reader could not use.
class CanDatabase final
{
public:
    enum class Encoding { Utf8, Cp932 };

    const std::vector<DbcMessage> &messages() const { return m_messages; }
    // The 11-bit message with this identifier, or null. Any id is safe to ask for.
    const DbcMessage *message11(uint32_t id) const
    {
        if (id >= kIds)
            return nullptr;
        const int i = m_index11[id];
        return i < 0 ? nullptr : &m_messages[size_t(i)];
    }
    const DbcMessage *message(uint32_t id, bool extended) const;
    int standardCount() const;   // 11-bit messages

    const std::vector<DbcProblem> &problems() const { return m_problems; }
    int64_t problemCount() const { return m_problemCount; }
    Encoding encoding() const { return m_encoding; }
    bool crlf() const { return m_crlf; }
    // "UTF-8, LF" or "CP932, CRLF".
    QString formatText() const;

    static constexpr int kIds = 0x800;
    static constexpr size_t kMaxProblems = 200;   // kept with their texts; all are counted

private:
    friend class DbcReader;
    void rebuildIndex();

    std::vector<DbcMessage> m_messages;
    std::array<int, kIds> m_index11 = filledIndex();
    std::vector<DbcProblem> m_problems;
    int64_t m_problemCount = 0;
    Encoding m_encoding = Encoding::Utf8;
    bool m_crlf = false;

    static constexpr std::array<int, kIds> filledIndex()
    {
        std::array<int, kIds> a{};
        for (int &i : a)
            i = -1;
        return a;
    }
};

// Whether a measured mean cycle differs from the database's cycle time by as much as a
// cycle-time jump in the live view: the ratio cycle / mean in percent outside
// (100 − ratioPercent, 100 + ratioPercent). False without a cycle time or a mean.
inline bool cycleDiffers(int32_t cycleTimeMs, double meanMs, int32_t ratioPercent)
{
    if (cycleTimeMs <= 0 || !(meanMs > 0))
        return false;
    const double x = double(cycleTimeMs) / meanMs * 100.0;
    return !(100.0 - ratioPercent < x && x < 100.0 + ratioPercent);
}
