// A workbook's table as a spreadsheet hands it back: cells of text or numbers, checked,
// stored and turned into frames as the conversion back to a record file does.
#include "WorkbookTable.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Cells from the bytes: a kind byte, then up to 12 bytes of text or a double.
SheetRows cellsFrom(const uint8_t *data, size_t size)
{
    SheetRows rows;
    size_t at = 0;
    while (at < size && rows.size() < 64) {
        std::vector<SheetCell> row;
        const size_t columns = data[at++] % (TextTable::kColumns + 2);
        for (size_t c = 0; c < columns && at < size; ++c) {
            const uint8_t kind = data[at++];
            if (kind % 3 == 0) {
                row.push_back({});
            } else if (kind % 3 == 1) {
                const size_t n = std::min<size_t>(kind / 3 % 13, size - at);
                row.push_back(SheetCell::fromText(QString::fromLatin1(
                    reinterpret_cast<const char *>(data + at), qsizetype(n))));
                at += n;
            } else {
                double v = 0;
                const size_t n = std::min(sizeof v, size - at);
                std::memcpy(&v, data + at, n);
                at += n;
                row.push_back(SheetCell::fromNumber(v));
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static TextTable table;
    static FrameBuffer frames;
    table.clear();
    const SheetRows cells = cellsFrom(data, size);
    for (size_t r = 0; r < cells.size(); ++r)
        for (size_t c = 0; c < cells[r].size(); ++c)
            (void)workbook::cellText(int(c), cells[r][c]);
    int32_t lastRow = -1;
    if (workbook::checkCells(cells, table, lastRow) != 0)
        return 0;
    if (lastRow >= TextTable::kRows)
        std::abort();
    const int32_t result = workbook::tableToFrames(table, lastRow, frames);
    if (result > 0)
        std::abort();   // 0 or minus the bad row, never a positive code
    return 0;
}
