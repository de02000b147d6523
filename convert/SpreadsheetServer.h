#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The workbook side of the conversion, as the engine sees it. The office module implements
// it over LibreOffice; tests implement it in memory. Every call may throw std::exception
// (the office died, hung or refused); the engine absorbs that into its result codes.

// One cell as the spreadsheet hands it back: empty, text, or a number (a person who
// edits a workbook may turn "100" into the number 100).
struct SheetCell
{
    enum class Kind : uint8_t { Empty, Text, Number };
    Kind kind = Kind::Empty;
    QString text;
    double number = 0;
    // The number is shown in exponent notation ("1.00E+01"): what the spreadsheet makes of
    // a typed "1E1", which tells the identifier 1E1 from the number 10.
    bool scientific = false;

    static SheetCell fromText(const QString &t)
    {
        return t.isEmpty() ? SheetCell{} : SheetCell{Kind::Text, t, 0};
    }
    static SheetCell fromNumber(double v, bool scientific = false)
    {
        return {Kind::Number, {}, v, scientific};
    }
    bool operator==(const SheetCell &) const = default;
};

// Rows of cells; a row may be shorter than the range it was read from.
using SheetRows = std::vector<std::vector<SheetCell>>;

// A rectangle of cells, 0-based and inclusive (A1 is row 0, column 0).
struct SheetRange
{
    int firstRow = 0;
    int firstColumn = 0;
    int lastRow = 0;
    int lastColumn = 0;
    bool operator==(const SheetRange &) const = default;
};

// One open workbook; every call works on its active sheet.
class SpreadsheetBook
{
public:
    virtual ~SpreadsheetBook() = default;

    virtual void setText(int row, int column, const QString &text) = 0;
    // Whole rows of text written in one transfer from (firstRow, firstColumn); empty
    // texts leave their cells empty, numeric-looking texts stay text.
    virtual void setTexts(int firstRow, int firstColumn,
                          const std::vector<std::vector<QString>> &rows) = 0;
    // The font of every cell that has none of its own.
    virtual void setDefaultFont(const QString &family, double points) = 0;
    virtual void setFontSize(const SheetRange &range, double points) = 0;
    virtual void merge(const SheetRange &range) = 0;
    virtual void alignRight(const SheetRange &range) = 0;
    // Fill colour 0xRRGGBB and thin continuous borders around and between the cells.
    virtual void setFillAndBorders(const SheetRange &range, uint32_t rgb) = 0;
    // Width in characters of the default font's digit.
    virtual void setColumnWidth(int column, int characters) = 0;
    virtual void setAutoFilter(const SheetRange &range) = 0;

    // The cell as the sheet displays it ("" when empty).
    virtual QString cellText(int row, int column) = 0;
    // The range in one transfer; rows past the sheet's used area may be left out.
    virtual SheetRows readRange(const SheetRange &range) = 0;

    virtual void setScreenUpdating(bool on) = 0;
    // Replaces an existing file of that name without asking.
    virtual void saveAs(const QString &path) = 0;
    virtual void close() = 0;
};

// A running spreadsheet server, started once for a run of conversions.
class SpreadsheetServer
{
public:
    virtual ~SpreadsheetServer() = default;

    virtual std::unique_ptr<SpreadsheetBook> newBook() = 0;
    virtual std::unique_ptr<SpreadsheetBook> openBook(const QString &path) = 0;
    // False once the server has died or was stopped; a run then ends.
    virtual bool isAlive() = 0;
    // The server's process (group) id, 0 when it has none.
    virtual int64_t processId() const { return 0; }
    // Shuts the server down; safe to call more than once.
    virtual void quit() = 0;
};
