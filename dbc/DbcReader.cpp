#include "DbcReader.h"

#include "Cp932.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_map>

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool isWordChar(char c)
{
    return !isSpace(c) && !std::strchr(":;|@(),[]\"", c) && c != '\0';
}

// Keywords that start a statement: where the reader picks up again after a bad one.
constexpr std::string_view kKeywords[] = {
    "VERSION", "NS_", "BS_", "BU_", "BO_", "SG_", "CM_", "BA_DEF_", "BA_DEF_DEF_", "BA_",
    "VAL_", "VAL_TABLE_", "SIG_VALTYPE_", "BO_TX_BU_", "EV_", "ENVVAR_DATA_", "SGTYPE_",
    "SGTYPE_VAL_", "SIG_GROUP_", "SIG_TYPE_REF_", "BA_DEF_REL_", "BA_REL_",
    "BA_DEF_DEF_REL_", "BA_DEF_SGTYPE_", "BA_SGTYPE_", "SG_MUL_VAL_", "CAT_DEF_", "CAT_",
    "FILTER", "NS_DESC_", "SIGTYPE_VALTYPE_", "BU_SG_REL_", "BU_EV_REL_", "BU_BO_REL_",
    "EV_DATA_",
};

bool isKeyword(std::string_view w)
{
    return std::find(std::begin(kKeywords), std::end(kKeywords), w) != std::end(kKeywords);
}

void exactScaling(DbcSignal &s, std::string_view factorText, std::string_view offsetText);

// Why a statement was not used; thrown only inside the reader, caught per statement.
struct Bad
{
    std::string text;
};

class Parser
{
public:
    Parser(std::string_view text, CanDatabase &db, std::vector<DbcMessage> &messages)
        : m_s(text), m_messages(messages), m_db(db)
    {
    }

    void run();
    std::vector<DbcProblem> problems;
    int64_t problemCount = 0;

private:
    // Scanning
    void skipSpace()
    {
        while (m_pos < m_s.size() && isSpace(m_s[m_pos])) {
            if (m_s[m_pos] == '\n')
                ++m_line;
            ++m_pos;
        }
    }
    void skipLineSpace()
    {
        while (m_pos < m_s.size() && isSpace(m_s[m_pos]) && m_s[m_pos] != '\n')
            ++m_pos;
    }
    bool atLineEnd()
    {
        skipLineSpace();
        return m_pos >= m_s.size() || m_s[m_pos] == '\n';
    }
    std::string_view word()
    {
        skipSpace();
        const size_t start = m_pos;
        while (m_pos < m_s.size() && isWordChar(m_s[m_pos]))
            ++m_pos;
        return m_s.substr(start, m_pos - start);
    }
    std::string_view needWord(const char *what)
    {
        const std::string_view w = word();
        if (w.empty())
            throw Bad{std::string("expected ") + what};
        return w;
    }
    bool peek(char c)
    {
        skipSpace();
        return m_pos < m_s.size() && m_s[m_pos] == c;
    }
    void expect(char c)
    {
        if (!peek(c))
            throw Bad{std::string("expected '") + c + "'"};
        ++m_pos;
    }
    bool accept(char c)
    {
        if (!peek(c))
            return false;
        ++m_pos;
        return true;
    }
    std::string quoted()
    {
        expect('"');
        const size_t start = m_pos;
        while (m_pos < m_s.size() && m_s[m_pos] != '"') {
            if (m_s[m_pos] == '\n')
                ++m_line;
            ++m_pos;
        }
        if (m_pos >= m_s.size())
            throw Bad{"text without its closing quote"};
        std::string t(m_s.substr(start, m_pos - start));
        ++m_pos;
        t.erase(std::remove(t.begin(), t.end(), '\r'), t.end());
        return t;
    }
    double number(const char *what, std::string_view *text = nullptr)
    {
        std::string_view w = word();
        if (text)
            *text = w;
        if (!w.empty() && w.front() == '+')
            w.remove_prefix(1);
        double v = 0;
        const auto r = std::from_chars(w.data(), w.data() + w.size(), v);
        if (w.empty() || r.ec != std::errc() || r.ptr != w.data() + w.size())
            throw Bad{std::string("expected a number for ") + what};
        return v;
    }
    int64_t integer(const char *what, int64_t low, int64_t high)
    {
        const double v = number(what);
        if (!(v >= double(low) && v <= double(high)) || v != double(int64_t(v)))
            throw Bad{std::string(what) + " out of range"};
        return int64_t(v);
    }
    // Past the ';' that ends the statement, quotes respected.
    void skipStatement()
    {
        while (m_pos < m_s.size()) {
            const char c = m_s[m_pos];
            if (c == '"') {
                quoted();
                continue;
            }
            ++m_pos;
            if (c == '\n')
                ++m_line;
            if (c == ';')
                return;
        }
    }
    void endStatement()
    {
        if (!accept(';'))
            throw Bad{"expected ';'"};
    }
    void skipRestOfLine()
    {
        while (m_pos < m_s.size() && m_s[m_pos] != '\n')
            ++m_pos;
    }
    // To the next line whose first word is a keyword.
    void resync();

    // Statements
    void statement(std::string_view keyword);
    void message();
    void signal();
    void comment();
    void attributeDefault();
    void attribute();
    void valueNames();
    void valueTable();
    void valueType();
    void skipNamespaceBlock();

    DbcMessage *messageById(int64_t rawId)
    {
        const auto it = m_byRawId.find(uint32_t(rawId));
        return it == m_byRawId.end() ? nullptr : &m_messages[size_t(it->second)];
    }
    DbcMessage &needMessage(int64_t rawId)
    {
        DbcMessage *m = messageById(rawId);
        if (!m)
            throw Bad{"no message " + std::to_string(rawId)};
        return *m;
    }
    DbcSignal &needSignal(DbcMessage &m, std::string_view name)
    {
        for (DbcSignal &s : m.signalList)
            if (s.name == name)
                return s;
        throw Bad{"no signal " + std::string(name) + " in " + m.name};
    }
    std::vector<std::pair<int64_t, std::string>> namePairs();
    void problem(int64_t line, std::string text)
    {
        ++problemCount;
        if (problems.size() < CanDatabase::kMaxProblems)
            problems.push_back({line, std::move(text)});
    }
    void layout(DbcSignal &s, int64_t line, const DbcMessage &m);

    std::string_view m_s;
    size_t m_pos = 0;
    int64_t m_line = 1;
    int64_t m_statementLine = 1;
    std::vector<DbcMessage> &m_messages;
    CanDatabase &m_db;
    std::unordered_map<uint32_t, int> m_byRawId;
    int m_current = -1;           // the message SG_ lines belong to
    bool m_skippingSignals = false;
    int64_t m_defaultCycle = 0;
    std::vector<bool> m_cycleSet;
    std::vector<std::pair<std::string, std::vector<std::pair<int64_t, std::string>>>> m_tables;
    struct PendingLayout
    {
        int message;
        int signal;
        int64_t line;
    };
    std::vector<PendingLayout> m_layouts;
};

void Parser::run()
{
    while (true) {
        skipSpace();
        if (m_pos >= m_s.size())
            break;
        m_statementLine = m_line;
        const size_t start = m_pos;
        const std::string_view keyword = word();
        try {
            if (keyword.empty()) {
                ++m_pos;   // a stray ':' or the like
                throw Bad{"not a statement"};
            }
            statement(keyword);
        } catch (const Bad &bad) {
            problem(m_statementLine, bad.text);
            if (m_pos <= start)
                m_pos = start + 1;
            resync();
        }
    }
    for (const PendingLayout &p : m_layouts) {
        DbcMessage &m = m_messages[size_t(p.message)];
        layout(m.signalList[size_t(p.signal)], p.line, m);
    }
    for (size_t i = 0; i < m_messages.size(); ++i)
        if (!m_cycleSet[i])
            m_messages[i].cycleTimeMs = int32_t(m_defaultCycle);
}

void Parser::resync()
{
    // Finish the line the bad statement started on, then look at each following line.
    while (m_pos < m_s.size()) {
        skipRestOfLine();
        if (m_pos >= m_s.size())
            return;
        ++m_pos;
        ++m_line;
        const size_t save = m_pos;
        const int64_t saveLine = m_line;
        skipLineSpace();
        size_t end = m_pos;
        while (end < m_s.size() && isWordChar(m_s[end]))
            ++end;
        const bool keyword = isKeyword(m_s.substr(m_pos, end - m_pos));
        m_pos = save;
        m_line = saveLine;
        if (keyword)
            return;
    }
}

void Parser::statement(std::string_view keyword)
{
    if (keyword == "BO_")
        return message();
    if (keyword == "SG_")
        return signal();
    m_current = -1;
    m_skippingSignals = false;
    if (keyword == "CM_")
        return comment();
    if (keyword == "BA_DEF_DEF_")
        return attributeDefault();
    if (keyword == "BA_")
        return attribute();
    if (keyword == "VAL_")
        return valueNames();
    if (keyword == "VAL_TABLE_")
        return valueTable();
    if (keyword == "SIG_VALTYPE_")
        return valueType();
    if (keyword == "NS_")
        return skipNamespaceBlock();
    if (keyword == "VERSION" || keyword == "BS_" || keyword == "BU_") {
        skipRestOfLine();
        return;
    }
    if (isKeyword(keyword)) {   // known, not needed for decoding
        skipStatement();
        return;
    }
    throw Bad{"not a statement: " + std::string(keyword.substr(0, 40))};
}

void Parser::skipNamespaceBlock()
{
    skipRestOfLine();
    // Its lines name one keyword each, indented.
    while (m_pos + 1 < m_s.size()) {
        const size_t save = m_pos;
        const int64_t saveLine = m_line;
        ++m_pos;   // the line break
        ++m_line;
        if (m_pos < m_s.size() && m_s[m_pos] != ' ' && m_s[m_pos] != '\t') {
            m_pos = save;
            m_line = saveLine;
            return;
        }
        const std::string_view w = word();
        if (!isKeyword(w) || !atLineEnd()) {
            m_pos = save;
            m_line = saveLine;
            return;
        }
    }
}

void Parser::message()
{
    m_current = -1;
    m_skippingSignals = true;
    const int64_t raw = integer("identifier", 0, 0xFFFFFFFF);
    const std::string name(needWord("message name"));
    expect(':');
    const int64_t size = integer("size", 0, 64);
    const std::string_view transmitter = word();
    skipRestOfLine();
    DbcMessage m;
    m.extended = (raw & 0x80000000u) != 0;
    m.id = uint32_t(raw & 0x7FFFFFFF);
    if (m.extended && m.id > 0x1FFFFFFF) {
        if (name == "VECTOR__INDEPENDENT_SIG_MSG")   // holds signalList of no message
            return;
        throw Bad{"identifier " + std::to_string(raw) + " is not a CAN identifier; message "
                  + name + " and its signalList skipped"};
    }
    if (!m.extended && m.id > 0x7FF) {
        if (m.id > 0x1FFFFFFF)
            throw Bad{"identifier " + std::to_string(raw) + " is not a CAN identifier; "
                      "message " + name + " and its signalList skipped"};
        m.extended = true;
    }
    if (messageById(raw))
        throw Bad{"second message with identifier " + std::to_string(raw) + "; " + name
                  + " and its signalList skipped"};
    m.name = name;
    m.line = m_statementLine;
    m.size = int(size);
    m.transmitter = std::string(transmitter);
    m_byRawId.emplace(uint32_t(raw), int(m_messages.size()));
    m_current = int(m_messages.size());
    m_skippingSignals = false;
    m_messages.push_back(std::move(m));
    m_cycleSet.push_back(false);
}

void Parser::signal()
{
    if (m_current < 0) {
        skipRestOfLine();
        if (m_skippingSignals)
            return;   // the message's line said so
        throw Bad{"signal outside a message"};
    }
    DbcMessage &m = m_messages[size_t(m_current)];
    DbcSignal s;
    s.name = std::string(needWord("signal name"));
    if (!peek(':')) {
        const std::string_view mux = needWord("':'");
        if (mux == "M") {
            s.mux = DbcSignal::Mux::Multiplexor;
        } else if (mux.size() >= 2 && mux[0] == 'm') {
            std::string_view digits = mux.substr(1);
            if (digits.back() == 'M')   // also a multiplexor of its own: used as multiplexed
                digits.remove_suffix(1);
            uint64_t v = 0;
            const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
            if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size()
                || v > 0xFFFFFFFFu)
                throw Bad{"signal " + s.name + ": multiplexer mark " + std::string(mux)};
            s.mux = DbcSignal::Mux::Multiplexed;
            s.muxValue = int64_t(v);
        } else {
            throw Bad{"signal " + s.name + ": multiplexer mark " + std::string(mux.substr(0, 20))};
        }
    }
    expect(':');
    s.startBit = int(integer("start bit", 0, 4095));
    expect('|');
    s.length = int(integer("length", 1, 512));
    expect('@');
    skipSpace();
    if (m_pos + 1 >= m_s.size() || (m_s[m_pos] != '0' && m_s[m_pos] != '1')
        || (m_s[m_pos + 1] != '+' && m_s[m_pos + 1] != '-'))
        throw Bad{"signal " + s.name + ": byte order and sign"};
    s.motorola = m_s[m_pos] == '0';
    s.isSigned = m_s[m_pos + 1] == '-';
    m_pos += 2;
    expect('(');
    std::string_view factorText;
    std::string_view offsetText;
    s.factor = number("factor", &factorText);
    expect(',');
    s.offset = number("offset", &offsetText);
    expect(')');
    exactScaling(s, factorText, offsetText);
    expect('[');
    s.minimum = number("minimum");
    expect('|');
    s.maximum = number("maximum");
    expect(']');
    s.unit = quoted();
    while (!atLineEnd()) {
        if (accept(','))
            continue;
        const std::string_view r = word();
        if (r.empty())
            throw Bad{"signal " + s.name + ": receivers"};
        s.receivers.emplace_back(r);
    }
    if (s.mux == DbcSignal::Mux::Multiplexor) {
        if (m.multiplexor >= 0) {
            problem(m_statementLine, "signal " + s.name + ": second multiplexor of " + m.name
                                         + ", read as a plain signal");
            s.mux = DbcSignal::Mux::None;
        } else {
            m.multiplexor = int(m.signalList.size());
        }
    }
    m_layouts.push_back({m_current, int(m.signalList.size()), m_statementLine});
    m.signalList.push_back(std::move(s));
}

void Parser::layout(DbcSignal &s, int64_t line, const DbcMessage &m)
{
    s.mask = s.length >= 64 ? ~uint64_t(0) : (uint64_t(1) << s.length) - 1;
    if (s.valueType == DbcSignal::ValueType::Float && s.length != 32) {
        problem(line, "signal " + s.name + ": a float signal is 32 bits long");
        return;
    }
    if (s.valueType == DbcSignal::ValueType::Double && s.length != 64) {
        problem(line, "signal " + s.name + ": a double signal is 64 bits long");
        return;
    }
    int lowest = 0;
    if (s.motorola) {
        const int msb = (7 - s.startBit / 8) * 8 + s.startBit % 8;   // in the big-endian word
        lowest = msb - s.length + 1;
        if (s.startBit > 63 || lowest < 0) {
            problem(line, "signal " + s.name + " of " + m.name + " reaches beyond 8 bytes");
            return;
        }
        s.bytesNeeded = 8 - lowest / 8;
    } else {
        lowest = s.startBit;
        if (s.startBit + s.length > 64) {
            problem(line, "signal " + s.name + " of " + m.name + " reaches beyond 8 bytes");
            return;
        }
        s.bytesNeeded = (s.startBit + s.length - 1) / 8 + 1;
    }
    s.shift = lowest;
    if (s.bytesNeeded > m.size)   // decoded only from a frame longer than declared
        problem(line, "signal " + s.name + " of " + m.name + " reaches beyond its "
                          + std::to_string(m.size) + " bytes");
    if (s.mux == DbcSignal::Mux::Multiplexed && m.multiplexor < 0) {
        problem(line, "signal " + s.name + " of " + m.name + " is multiplexed, but the message "
                                                             "has no multiplexor");
        return;
    }
    s.usable = true;
}

void Parser::comment()
{
    skipSpace();
    if (peek('"')) {   // a comment on the whole database
        quoted();
        endStatement();
        return;
    }
    const std::string_view what = needWord("object");
    if (what == "BO_") {
        DbcMessage &m = needMessage(integer("identifier", 0, 0xFFFFFFFF));
        m.comment = quoted();
    } else if (what == "SG_") {
        DbcMessage &m = needMessage(integer("identifier", 0, 0xFFFFFFFF));
        DbcSignal &s = needSignal(m, needWord("signal name"));
        s.comment = quoted();
    } else {
        skipStatement();   // nodes and environment variables
        return;
    }
    endStatement();
}

void Parser::attributeDefault()
{
    const std::string name = quoted();
    skipSpace();
    if (name == "GenMsgCycleTime" && !peek('"')) {
        m_defaultCycle = integer("GenMsgCycleTime", 0, 0x7FFFFFFF);
        endStatement();
        return;
    }
    skipStatement();
}

void Parser::attribute()
{
    const std::string name = quoted();
    if (name != "GenMsgCycleTime") {
        skipStatement();
        return;
    }
    const std::string_view what = needWord("object");
    if (what != "BO_")
        throw Bad{"GenMsgCycleTime belongs to a message"};
    const int64_t raw = integer("identifier", 0, 0xFFFFFFFF);
    DbcMessage &m = needMessage(raw);
    m.cycleTimeMs = int32_t(integer("GenMsgCycleTime", 0, 0x7FFFFFFF));
    m_cycleSet[size_t(&m - m_messages.data())] = true;
    endStatement();
}

std::vector<std::pair<int64_t, std::string>> Parser::namePairs()
{
    std::vector<std::pair<int64_t, std::string>> pairs;
    while (!peek(';')) {
        if (m_pos >= m_s.size())
            throw Bad{"expected ';'"};
        const int64_t v = integer("value", INT64_MIN / 2, INT64_MAX / 2);
        pairs.emplace_back(v, quoted());
    }
    ++m_pos;
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    // The first definition of a value counts
    pairs.erase(std::unique(pairs.begin(), pairs.end(),
                            [](const auto &a, const auto &b) { return a.first == b.first; }),
                pairs.end());
    return pairs;
}

void Parser::valueNames()
{
    skipSpace();
    const size_t save = m_pos;
    const std::string_view first = word();
    int64_t raw = 0;
    const auto r = std::from_chars(first.data(), first.data() + first.size(), raw);
    if (first.empty() || r.ec != std::errc() || r.ptr != first.data() + first.size()) {
        m_pos = save;   // value names of an environment variable
        skipStatement();
        return;
    }
    if (raw < 0 || raw > 0xFFFFFFFFll)
        throw Bad{"identifier out of range"};
    DbcMessage &m = needMessage(raw);
    DbcSignal &s = needSignal(m, needWord("signal name"));
    skipSpace();
    if (m_pos < m_s.size() && isWordChar(m_s[m_pos])
        && !(m_s[m_pos] == '-' || (m_s[m_pos] >= '0' && m_s[m_pos] <= '9'))) {
        const std::string_view table = word();   // a value table by name
        endStatement();
        for (const auto &[tableName, pairs] : m_tables)
            if (tableName == table) {
                s.valueNames = pairs;
                return;
            }
        throw Bad{"no value table " + std::string(table)};
    }
    s.valueNames = namePairs();
}

void Parser::valueTable()
{
    std::string name(needWord("table name"));
    m_tables.emplace_back(std::move(name), namePairs());
}

void Parser::valueType()
{
    DbcMessage &m = needMessage(integer("identifier", 0, 0xFFFFFFFF));
    DbcSignal &s = needSignal(m, needWord("signal name"));
    expect(':');
    const int64_t type = integer("value type", 0, 2);
    endStatement();
    s.valueType = type == 1   ? DbcSignal::ValueType::Float
                  : type == 2 ? DbcSignal::ValueType::Double
                              : DbcSignal::ValueType::Integer;
}

// A decimal text as mantissa × 10^exponent, when the mantissa has at most 18 digits.
bool decimalOf(std::string_view t, int64_t &mantissa, int &exponent)
{
    size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        negative = t[i++] == '-';
    int64_t m = 0;
    int digits = 0;
    int e = 0;
    bool seenDigit = false;
    bool point = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        seenDigit = true;
        if (m == 0 && c == '0') {
            if (point)
                --e;
            continue;
        }
        if (++digits > 18)
            return false;
        m = m * 10 + (c - '0');
        if (point)
            --e;
    }
    if (!seenDigit)
        return false;
    if (i < t.size()) {
        if (t[i] != 'e' && t[i] != 'E')
            return false;
        int x = 0;
        const auto r = std::from_chars(t.data() + i + 1 + (i + 1 < t.size() && t[i + 1] == '+'),
                                       t.data() + t.size(), x);
        if (r.ec != std::errc() || r.ptr != t.data() + t.size() || x < -40 || x > 40)
            return false;
        e += x;
    }
    mantissa = negative ? -m : m;
    exponent = e;
    return true;
}

void exactScaling(DbcSignal &s, std::string_view factorText, std::string_view offsetText)
{
    int64_t mf = 0;
    int64_t mo = 0;
    int ef = 0;
    int eo = 0;
    if (!decimalOf(factorText, mf, ef) || !decimalOf(offsetText, mo, eo))
        return;
    const int decimals = std::max({0, -ef, -eo});
    if (decimals > 18)
        return;
    // Both as integers over 10^decimals, each below 2^62.
    auto scale = [](int64_t m, int by, int64_t &out) {
        __int128 v = m;
        for (int i = 0; i < by; ++i) {
            v *= 10;
            if (v > (__int128(1) << 62) || v < -(__int128(1) << 62))
                return false;
        }
        out = int64_t(v);
        return true;
    };
    if (!scale(mf, ef + decimals, s.scaledFactor) || !scale(mo, eo + decimals, s.scaledOffset))
        return;
    s.decimals = decimals;
    s.divisor = 1;
    for (int i = 0; i < decimals; ++i)
        s.divisor *= 10;
}

bool isUtf8(std::string_view s)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(QByteArrayView(s.data(), qsizetype(s.size())));
    return !decoder.hasError();
}

} // namespace

CanDatabase DbcReader::parse(std::string_view bytes)
{
    CanDatabase db;
    if (bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0)
        bytes.remove_prefix(3);
    int64_t lf = 0;
    int64_t crlf = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\n') {
            ++lf;
            crlf += i > 0 && bytes[i - 1] == '\r';
        }
    db.m_crlf = lf > 0 && crlf * 2 > lf;
    std::string converted;
    std::string_view text = bytes;
    if (!isUtf8(bytes)) {
        db.m_encoding = CanDatabase::Encoding::Cp932;
        converted = cp932::decode(QByteArray(bytes.data(), qsizetype(bytes.size()))).toStdString();
        text = converted;
    }
    Parser parser(text, db, db.m_messages);
    parser.run();
    db.m_problems = std::move(parser.problems);
    db.m_problemCount = parser.problemCount;
    db.rebuildIndex();
    return db;
}

Result<CanDatabase> DbcReader::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<CanDatabase>::failure(QStringLiteral("cannot open %1: %2")
                                                .arg(path, file.errorString()));
    if (file.size() > kMaxFileBytes)
        return Result<CanDatabase>::failure(
            QStringLiteral("%1 is larger than %2 MB, not a CAN database")
                .arg(path)
                .arg(kMaxFileBytes / (1024 * 1024)));
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return Result<CanDatabase>::failure(QStringLiteral("cannot read %1: %2")
                                                .arg(path, file.errorString()));
    return parse(std::string_view(bytes.constData(), size_t(bytes.size())));
}
