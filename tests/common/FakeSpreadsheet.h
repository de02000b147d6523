#pragma once

#include "SpreadsheetServer.h"

#include <QFile>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

// An in-memory spreadsheet server: a workbook is a map of cells plus the formatting calls
// it received; "saving" keeps the sheet under its path (and leaves a file there), so a
// later open of that path gets it back. Hooks let a test act in the middle of a run.
struct FakeSheet
{
    std::map<std::pair<int, int>, SheetCell> cells;
    std::vector<std::pair<SheetRange, double>> fontSizes;
    std::vector<SheetRange> merged, rightAligned, autoFilters;
    std::vector<std::pair<SheetRange, uint32_t>> fills;
    std::map<int, int> widths;
    QString defaultFont;
    double defaultSize = 0;
    int transfers = 0;   // setTexts / readRange calls

    SheetCell at(int row, int column) const
    {
        const auto it = cells.find({row, column});
        return it == cells.end() ? SheetCell{} : it->second;
    }
    QString text(int row, int column) const { return at(row, column).text; }
};

class FakeServer final : public SpreadsheetServer
{
public:
    std::map<QString, std::shared_ptr<FakeSheet>> files;
    std::function<void(const QString &path)> onSave;   // after a save
    bool alive = true;
    std::function<void()> onQuit;

    // Puts a sheet under path and leaves a file there.
    void store(const QString &path, std::shared_ptr<FakeSheet> sheet)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write("fake workbook");
        files[path] = std::move(sheet);
    }

    std::unique_ptr<SpreadsheetBook> newBook() override;
    std::unique_ptr<SpreadsheetBook> openBook(const QString &path) override;
    bool isAlive() override { return alive; }
    void quit() override
    {
        if (onQuit)
            onQuit();
    }
    void check() const
    {
        if (!alive)
            throw std::runtime_error("the fake office has died");
    }
};

class FakeBook final : public SpreadsheetBook
{
public:
    FakeBook(FakeServer &server, std::shared_ptr<FakeSheet> sheet)
        : m_server(server), m_sheet(std::move(sheet))
    {
    }

    void setText(int row, int column, const QString &text) override
    {
        m_server.check();
        m_sheet->cells[{row, column}] = SheetCell::fromText(text);
    }
    void setTexts(int firstRow, int firstColumn,
                  const std::vector<std::vector<QString>> &rows) override
    {
        m_server.check();
        ++m_sheet->transfers;
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c)
                if (!rows[r][c].isEmpty())
                    m_sheet->cells[{firstRow + int(r), firstColumn + int(c)}] =
                        SheetCell::fromText(rows[r][c]);
    }
    void setDefaultFont(const QString &family, double points) override
    {
        m_sheet->defaultFont = family;
        m_sheet->defaultSize = points;
    }
    void setFontSize(const SheetRange &r, double points) override
    {
        m_sheet->fontSizes.emplace_back(r, points);
    }
    void merge(const SheetRange &r) override { m_sheet->merged.push_back(r); }
    void alignRight(const SheetRange &r) override { m_sheet->rightAligned.push_back(r); }
    void setFillAndBorders(const SheetRange &r, uint32_t rgb) override
    {
        m_sheet->fills.emplace_back(r, rgb);
    }
    void setColumnWidth(int column, int characters) override
    {
        m_sheet->widths[column] = characters;
    }
    void setAutoFilter(const SheetRange &r) override { m_sheet->autoFilters.push_back(r); }
    QString cellText(int row, int column) override
    {
        m_server.check();
        const SheetCell c = m_sheet->at(row, column);
        return c.kind == SheetCell::Kind::Number ? QString::number(c.number) : c.text;
    }
    SheetRows readRange(const SheetRange &r) override
    {
        m_server.check();
        ++m_sheet->transfers;
        SheetRows rows;
        for (int row = r.firstRow; row <= r.lastRow; ++row) {
            std::vector<SheetCell> line;
            bool any = false;
            for (int c = r.firstColumn; c <= r.lastColumn; ++c) {
                line.push_back(m_sheet->at(row, c));
                any = any || line.back().kind != SheetCell::Kind::Empty;
            }
            if (!any && m_sheet->cells.lower_bound({row, 0}) == m_sheet->cells.end())
                break;
            rows.push_back(std::move(line));
        }
        return rows;
    }
    void setScreenUpdating(bool) override {}
    void saveAs(const QString &path) override
    {
        m_server.check();
        m_server.store(path, std::make_shared<FakeSheet>(*m_sheet));
        if (m_server.onSave)
            m_server.onSave(path);
    }
    void close() override {}

private:
    FakeServer &m_server;
    std::shared_ptr<FakeSheet> m_sheet;
};

inline std::unique_ptr<SpreadsheetBook> FakeServer::newBook()
{
    check();
    return std::make_unique<FakeBook>(*this, std::make_shared<FakeSheet>());
}

inline std::unique_ptr<SpreadsheetBook> FakeServer::openBook(const QString &path)
{
    check();
    const auto it = files.find(path);
    if (it == files.end())
        throw std::runtime_error("not a workbook");
    return std::make_unique<FakeBook>(*this, it->second);
}
