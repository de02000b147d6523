#include "WorkbookTable.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>

void TextTable::clear(int lastRow, int lastColumn)
{
    const int rows = std::min(lastRow, kLastRow);
    const int columns = std::min(lastColumn, kLastColumn);
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= columns; ++c)
            m_rows[size_t(r)][size_t(c)].clear();
}

namespace workbook {

namespace {

enum Column { kTime = 0, kIdentifier = 1, kDlc = 2, kFirstByte = 3 };

const SheetCell &cellAt(const SheetRows &cells, int row, int column)
{
    static const SheetCell empty;
    if (row < 0 || size_t(row) >= cells.size())
        return empty;
    const auto &r = cells[size_t(row)];
    return size_t(column) < r.size() ? r[size_t(column)] : empty;
}

// 100000 for "1E5": a value that is too large for an identifier but is one digit times
// a power of ten was exponent notation in the cell.
std::optional<QString> exponentIdentifier(double v)
{
    for (int e = 1; e <= 9; ++e) {
        const double mantissa = v / std::pow(10.0, e);
        if (mantissa >= 1 && mantissa <= 9 && mantissa == std::floor(mantissa))
            return QString::number(int(mantissa)) + QLatin1Char('E') + QString::number(e);
    }
    return std::nullopt;
}

// The typed text of an identifier that the spreadsheet keeps as a number in exponent
// notation: the largest power of ten that divides it, so 10 gives "1E1" and 700 "7E2".
// Zero has no such form ("0E0" … "0E9" are all 0) and stays "0".
QString typedExponentText(double v)
{
    if (v <= 0 || v >= 1e15 || v != std::floor(v))
        return {};
    auto mantissa = uint64_t(v);
    int e = 0;
    while (mantissa % 10 == 0) {
        mantissa /= 10;
        ++e;
    }
    return QString::number(mantissa) + QLatin1Char('E') + QString::number(e);
}

} // namespace

QString timeText(double ms)
{
    char buffer[512];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, ms, std::chars_format::fixed);
    if (end.ec != std::errc())
        return QString::number(ms, 'g', QLocale::FloatingPointShortest);
    return QString::fromLatin1(buffer, end.ptr - buffer);
}

QString identifierText(int32_t id)
{
    return QStringLiteral("%1").arg(uint32_t(id), 3, 16, QLatin1Char('0')).toUpper();
}

QString byteText(uint8_t value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

std::optional<double> parseNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<uint32_t> parseHex(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 8)
        return std::nullopt;
    uint32_t v = 0;
    for (QChar ch : t) {
        const int digit = QStringLiteral("0123456789ABCDEF").indexOf(ch.toUpper());
        if (digit < 0)
            return std::nullopt;
        v = v * 16 + uint32_t(digit);
    }
    return v;
}

QString cellText(int column, const SheetCell &cell)
{
    if (cell.kind == SheetCell::Kind::Empty)
        return {};
    if (cell.kind == SheetCell::Kind::Text)
        return cell.text;
    const double v = cell.number;
    const bool hexColumn = column == kIdentifier || column >= kFirstByte;
    if (!hexColumn || v < 0 || v >= 1e15 || v != std::floor(v))
        return timeText(v);
    const QString digits = timeText(v);
    if (column == kIdentifier && cell.scientific && v > 0)
        return typedExponentText(v);
    if (column == kIdentifier) {
        const auto asHex = parseHex(digits);
        if (!asHex || *asHex > 0x7FF)
            if (const auto e = exponentIdentifier(v))
                return *e;
    }
    return digits;
}

int framesToTable(const FrameBuffer &frames, TextTable &table)
{
    int r = 0;
    for (; r < FrameBuffer::kSlots; ++r) {
        const RecordFrame &f = frames[r];
        if (f.identifier < 1)
            break;
        table.setCell(r, kTime, timeText(f.time));
        table.setCell(r, kIdentifier, identifierText(f.identifier));
        table.setCell(r, kDlc, QString::number(f.dlc));
        for (int k = 1; k <= 8; ++k)
            table.setCell(r, kFirstByte + k - 1, k <= f.dlc ? byteText(f.data[size_t(k - 1)])
                                                            : QString());
    }
    return r;
}

int32_t checkCells(const SheetRows &cells, TextTable &table, int32_t &lastRow, void (*pump)())
{
    lastRow = TextTable::kLastRow;
    for (int c = 0; c < TextTable::kColumns; ++c) {
        for (int r = 0; r <= lastRow; ++r) {
            if (pump && r % 100 == 0)
                pump();
            const QString text = cellText(c, cellAt(cells, r, c));
            if (text.isEmpty()) {
                if (c == kTime) {
                    if (r == 0)
                        return kBadCells;
                    if (!cellText(kIdentifier, cellAt(cells, r, kIdentifier)).isEmpty()
                        || !cellText(kDlc, cellAt(cells, r, kDlc)).isEmpty())
                        return kBadCells;
                    lastRow = r;
                    break;
                }
                if ((c == kIdentifier || c == kDlc) && r < lastRow)
                    return kBadCells;
                continue;
            }
            const bool numeric = c == kTime || c == kDlc;
            if (numeric ? !parseNumber(text) : !parseHex(text))
                return kBadCells;
            table.setCell(r, c, text);
        }
    }
    return 0;
}

int32_t tableToFrames(const TextTable &table, int32_t lastRow, FrameBuffer &frames,
                      void (*pump)(), std::vector<int32_t> *dropped)
{
    const int last = std::min<int32_t>(lastRow, TextTable::kLastRow);
    int slot = 0;
    for (int r = 0; r <= last; ++r) {
        if (pump && r > 0 && r % 4000 == 0)
            pump();
        const TextTable::Row &row = table.row(r);
        const auto id = parseHex(row[kIdentifier]);
        if (!id)
            return 0;
        const int32_t bad = r == 0 ? kFirstRowInvalid : -r;
        // Identifier 0 would end the frames here and lose every later row without a word
        // ("0E5" that a spreadsheet turned into 0 reads back as this).
        if (int32_t(*id) < 1) {
            if (!dropped)
                return bad;
            dropped->push_back(r);
            continue;
        }
        RecordFrame &f = frames[slot++];
        const auto time = parseNumber(row[kTime]);
        if (!time)
            return bad;
        f.time = *time;
        f.identifier = int32_t(*id);
        const auto dlc = parseNumber(row[kDlc]);
        // A DLC is one byte; anything that does not fit is a bad row, not a wrapped value.
        const double rounded = dlc ? std::nearbyint(*dlc) : -1;
        if (!dlc || rounded < 0 || rounded > 255)
            return bad;
        f.dlc = uint8_t(rounded);
        for (int k = 1; k <= 8 && k <= f.dlc; ++k) {
            const auto value = parseHex(row[kFirstByte + k - 1]);
            if (!value)
                return bad;
            f.data[size_t(k - 1)] = uint8_t(*value & 0xFF);
        }
    }
    return 0;
}

std::vector<int32_t> rowsWithBytesBeyondDlc(const TextTable &table, int32_t lastRow)
{
    std::vector<int32_t> rows;
    const int last = std::min<int32_t>(lastRow, TextTable::kLastRow);
    for (int r = 0; r <= last; ++r) {
        const TextTable::Row &row = table.row(r);
        const auto dlc = parseNumber(row[kDlc]);
        const auto id = parseHex(row[kIdentifier]);
        if (!dlc || !id || int32_t(*id) < 1)
            continue;
        for (int k = std::max(0, int(std::nearbyint(*dlc))) + 1; k <= 8; ++k) {
            if (!row[kFirstByte + k - 1].isEmpty()) {
                rows.push_back(r);
                break;
            }
        }
    }
    return rows;
}

} // namespace workbook
