#pragma once

#include "FrameBuffer.h"
#include "SpreadsheetServer.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// The workbook form of a record file: rows 0 … 20000 of eleven texts (time, identifier,
// DLC, D1 … D8), and the conversions between it, the frame buffer and the cells a
// spreadsheet hands back. Free of any office, so tests and fuzzers drive it directly.
class TextTable final
{
public:
    static constexpr int kRows = FrameBuffer::kSlots;
    static constexpr int kLastRow = kRows - 1;
    static constexpr int kColumns = 11;
    static constexpr int kLastColumn = kColumns - 1;
    using Row = std::array<QString, kColumns>;

    TextTable() : m_rows(kRows) {}

    static bool contains(int row, int column)
    {
        return row >= 0 && row < kRows && column >= 0 && column < kColumns;
    }
    // Outside the table: reads give "", writes are ignored.
    QString cell(int row, int column) const
    {
        return contains(row, column) ? m_rows[size_t(row)][size_t(column)] : QString();
    }
    void setCell(int row, int column, const QString &text)
    {
        if (contains(row, column))
            m_rows[size_t(row)][size_t(column)] = text;
    }
    const Row &row(int r) const { return m_rows[size_t(r)]; }
    // Rows 0 … lastRow, columns 0 … lastColumn become "" (both clamped to the table).
    void clear(int lastRow = kLastRow, int lastColumn = kLastColumn);

private:
    std::vector<Row> m_rows;
};

namespace workbook {

// Minus the row is the result of a bad row; row 0 would read as success, so it has a
// code of its own.
constexpr int32_t kFirstRowInvalid = -21000;
constexpr int32_t kBadCells = -40000;

// The texts written into the cells.
QString timeText(double ms);              // shortest decimal form, never exponent notation
QString identifierText(int32_t id);       // upper-case hex, at least three digits
QString byteText(uint8_t value);          // two upper-case hex digits

// The parsers the reader applies. Surrounding blanks are ignored.
std::optional<double> parseNumber(const QString &text);          // finite decimals only
std::optional<uint32_t> parseHex(const QString &text);           // 1 … 8 hex digits

// A cell as text. Numbers come back as the digits a person typed: a workbook edited
// in a spreadsheet may hold 100 where "100" was written, 12.5 for "12.5", 0 for "00",
// or 100000 for an identifier "1E5" that the spreadsheet took for exponent notation
// (from the number and its exponent format when the cell has one: 10 shown as 1.00E+01
// was "1E1").
QString cellText(int column, const SheetCell &cell);

// Frames up to the first identifier below 1 into rows 0 …; returns the number of rows.
int framesToTable(const FrameBuffer &frames, TextTable &table);

// Checks the cells read from the table area (row 0 = first data row) and stores every
// accepted text. Empty time cell ends the data when identifier and DLC are empty too
// (lastRow becomes that row). 0, or kBadCells. pump runs every 100 rows.
int32_t checkCells(const SheetRows &cells, TextTable &table, int32_t &lastRow,
                   void (*pump)() = nullptr);

// Rows 0 … lastRow into frames, stopping without error at the first row whose identifier
// is empty or not hex. 0, or minus the first bad row (kFirstRowInvalid for row 0); the bad
// row keeps the fields that parsed. pump runs every 4000 rows. A row whose identifier is
// below 1 (no frame can hold it) is a bad row, or, given `dropped`, left out and listed
// there while the later rows go on.
int32_t tableToFrames(const TextTable &table, int32_t lastRow, FrameBuffer &frames,
                      void (*pump)() = nullptr, std::vector<int32_t> *dropped = nullptr);

// Rows 0 … lastRow with a data byte after their DLC: a record frame keeps only DLC bytes,
// so those cells are not carried over.
std::vector<int32_t> rowsWithBytesBeyondDlc(const TextTable &table, int32_t lastRow);

} // namespace workbook
