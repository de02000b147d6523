// The conversion engine without an office: text formats, the cell checks, the table to
// frames step, and whole conversions through the in-memory workbook.
#include "ConvertFixtures.h"
#include "Excel_OutputDB.h"
#include "FakeSpreadsheet.h"
#include "HookGuard.h"
#include "Paths.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace workbook;

TEST(ConvertText, WrittenForms)
{
    const std::pair<double, const char *> times[] = {
        {0, "0"}, {12.5, "12.5"}, {1234.5, "1234.5"}, {3600000, "3600000"}, {0.1, "0.1"}};
    for (auto [v, text] : times)
        EXPECT_EQ(timeText(v), QLatin1String(text)) << v;
    const std::pair<int32_t, const char *> ids[] = {
        {0x7FF, "7FF"}, {0x5, "005"}, {0x7F, "07F"}, {0x12345678, "12345678"}};
    for (auto [id, text] : ids)
        EXPECT_EQ(identifierText(id), QLatin1String(text)) << id;
    EXPECT_EQ(byteText(0x0A), QLatin1String("0A"));
}

TEST(ConvertText, NumbersFromAnEditedWorkbook)
{
    struct Row { int column; double value; const char *text; };
    const Row rows[] = {
        {1, 100, "100"},     // identifier "100" became the number 100
        {0, 12.5, "12.5"},   // time
        {3, 0, "0"},         // data byte "00"
        {4, 12, "12"},       // data byte "12"
        {1, 100000, "1E5"},  // identifier "1E5" read as exponent notation
        {2, 8, "8"},         // DLC
        {5, 1.5, "1.5"},     // a fraction in a byte cell stays visible as one (and fails)
    };
    for (const Row &r : rows)
        EXPECT_EQ(cellText(r.column, SheetCell::fromNumber(r.value)), QLatin1String(r.text))
            << r.column << " " << r.value;

    // The same numbers in exponent format, as the spreadsheet keeps a typed "1E1": the
    // identifier comes back as typed; a time or DLC stays the number it is.
    const Row exponent[] = {
        {1, 10, "1E1"}, {1, 200, "2E2"}, {1, 700, "7E2"}, {1, 3, "3E0"}, {1, 1e10, "1E10"},
        {1, 12000, "12E3"}, {1, 0, "0"}, {1, 2.5, "2.5"}, {0, 10, "10"}, {2, 8, "8"},
    };
    for (const Row &r : exponent)
        EXPECT_EQ(cellText(r.column, SheetCell::fromNumber(r.value, true)), QLatin1String(r.text))
            << r.column << " " << r.value;
}

namespace {

TextTable tableOf(std::initializer_list<std::vector<const char *>> rows)
{
    TextTable t;
    int r = 0;
    for (const auto &row : rows) {
        for (size_t c = 0; c < row.size(); ++c)
            t.setCell(r, int(c), QString::fromUtf8(row[c]));
        ++r;
    }
    return t;
}

const std::vector<const char *> kGood = {"1", "100", "2", "0A", "FF"};

} // namespace

TEST(ConvertTable, TableToFrames)
{
    struct Case { const char *what; std::vector<std::vector<const char *>> rows; int32_t result; int frames; };
    const Case cases[] = {
        {"two rows", {kGood, {"2.5", "7FF", "1", "80"}}, 0, 2},
        {"identifier 0 is a bad row, not the end", {kGood, {"3", "0", "1", "00"}, kGood}, -1, 1},
        {"identifier 000 in the first row", {{"3", "000", "1", "00"}, kGood}, kFirstRowInvalid, 0},
        {"empty identifier ends the data", {kGood, {"3", "", "1"}}, 0, 1},
        {"a 32-bit value below 1 is a bad row", {kGood, {"3", "FFFFFFFF", "0"}}, -1, 1},
        {"bad first row is an error", {{"x", "100", "2", "0A", "FF"}}, kFirstRowInvalid, 0},
        {"bad time in row 1", {kGood, {"", "100", "1", "00"}}, -1, 1},
        {"bad DLC", {kGood, kGood, {"1", "100", "?"}}, -2, 3},
        {"DLC beyond a byte", {kGood, {"1", "100", "300"}}, -1, 2},
        {"empty byte within the DLC", {kGood, {"1", "100", "2", "0A"}}, -1, 2},
        {"byte not hex", {kGood, {"1", "100", "1", "G1"}}, -1, 2},
    };
    for (const Case &c : cases) {
        TextTable t;
        int r = 0;
        for (const auto &row : c.rows) {
            for (size_t col = 0; col < row.size(); ++col)
                t.setCell(r, int(col), QString::fromUtf8(row[col]));
            ++r;
        }
        FrameBuffer frames;
        EXPECT_EQ(tableToFrames(t, TextTable::kLastRow, frames), c.result) << c.what;
        EXPECT_EQ(frames.frameCount(), c.frames) << c.what;
    }
}

// Asked to, rows without an identifier are left out and listed; the rest go on.
TEST(ConvertTable, RowsWithoutAnIdentifierCanBeLeftOutAndListed)
{
    TextTable t = tableOf({{"0", "000", "1", "01"}, kGood, {"2", "0", "0"}, {"3", "7E2", "0"},
                           {"4", "FFFFFFFF", "0"}, {"5", "3E0", "0"}});
    FrameBuffer frames;
    std::vector<int32_t> dropped;
    EXPECT_EQ(tableToFrames(t, 6, frames, nullptr, &dropped), 0);
    EXPECT_EQ(dropped, (std::vector<int32_t>{0, 2, 4}));
    ASSERT_EQ(frames.frameCount(), 3);
    EXPECT_EQ(frames[0].identifier, 0x100);
    EXPECT_EQ(frames[1].identifier, 0x7E2);
    EXPECT_EQ(frames[2].identifier, 0x3E0);
    EXPECT_EQ(frames[2].time, 5);
}

TEST(ConvertTable, BytesAfterTheDlcAreFound)
{
    TextTable t = tableOf({{"0", "100", "1", "01"}, {"1", "100", "1", "01", "02"},
                           {"2", "100", "8", "01", "02", "03", "04", "05", "06", "07", "08"},
                           {"3", "100", "0", "", "", "", "", "", "", "", "FF"},
                           {"4", "0", "0", "01"}, {"5", "100", "12", "01"}});
    EXPECT_EQ(rowsWithBytesBeyondDlc(t, TextTable::kLastRow), (std::vector<int32_t>{1, 3}));
}

TEST(ConvertTable, OddValuesAreStoredSafely)
{
    // Over-long DLC and a 29-bit identifier reach the record file as they are (playback
    // guards both); only the eight bytes there are read; the bad row keeps its time.
    FrameBuffer frames;
    TextTable t = tableOf({{"1", "1FFFFFFF", "12", "01", "02", "03", "04", "05", "06", "07", "08"},
                           {"7.5", "123", "x"}});
    EXPECT_EQ(tableToFrames(t, 10, frames), -1);
    EXPECT_EQ(frames[0].identifier, 0x1FFFFFFF);
    EXPECT_EQ(frames[0].dlc, 12);
    EXPECT_EQ(frames[0].data[7], 8);
    EXPECT_EQ(frames[1].time, 7.5);
    EXPECT_EQ(frames[1].identifier, 0x123);
}

TEST(ConvertTable, CellChecks)
{
    auto text = [](const char *t) { return SheetCell::fromText(QString::fromUtf8(t)); };
    const std::vector<SheetCell> good = {text("1"), text("100"), text("1"), text("0A")};
    struct Case { const char *what; SheetRows cells; int32_t result; int32_t lastRow; };
    const Case cases[] = {
        {"empty sheet", {}, kBadCells, 0},
        {"one row", {good}, 0, 1},
        {"empty time with identifier", {good, {{}, text("100"), text("1")}}, kBadCells, 0},
        {"empty identifier before the end", {good, {text("2"), {}, text("1")}, good}, kBadCells, 0},
        {"DLC not a number", {{text("1"), text("100"), text("x")}}, kBadCells, 0},
        {"identifier not hex", {{text("1"), text("10Z"), text("1")}}, kBadCells, 0},
        {"empty byte accepted", {{text("1"), text("100"), text("2"), {}, text("01")}}, 0, 1},
        {"numbers as typed by a person",
         {{SheetCell::fromNumber(12.5), SheetCell::fromNumber(100), SheetCell::fromNumber(1),
           SheetCell::fromNumber(0)}},
         0, 1},
    };
    for (const Case &c : cases) {
        TextTable t;
        int32_t last = -1;
        EXPECT_EQ(checkCells(c.cells, t, last), c.result) << c.what;
        if (c.result == 0)
            EXPECT_EQ(last, c.lastRow) << c.what;
    }
}

class ConvertEngine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        params.t_CF_Save_Path_mode = 2;
        params.t_CF_Save_Path = dir.path();
    }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    // Record file → workbook → record file.
    FrameBuffer roundTrip(const FrameBuffer &frames, std::shared_ptr<FakeSheet> *sheet = nullptr)
    {
        EXPECT_TRUE(writeRecord(path("in.dat"), frames, QStringLiteral("試験 comment")));
        EXPECT_EQ(engine.CF_DAT_FileDataLoad(params, path("in.dat")), 0);
        EXPECT_EQ(engine.Excel_DataOutput(params, &server, QStringLiteral("in")), 0);
        if (sheet)
            *sheet = server.files[path("in.xls")];
        Excel_OutputDB back;
        EXPECT_EQ(back.CF_XLS_FileDataLoad(params, &server, path("in.xls")), 0);
        EXPECT_EQ(back.recordComment(), QStringLiteral("試験 comment"));
        EXPECT_EQ(back.CF_DAT_FileDataWrite(params, QStringLiteral("out")), 0);
        Excel_OutputDB reread;
        EXPECT_EQ(reread.CF_DAT_FileDataLoad(params, path("out.dat")), 0);
        return reread.frames();
    }

    QTemporaryDir dir;
    ELM327_Info params;
    FakeServer server;
    Excel_OutputDB engine;
};

TEST_F(ConvertEngine, LayoutOfTheSheet)
{
    std::shared_ptr<FakeSheet> s;
    EXPECT_TRUE(sameFrames(roundTrip(knownFrames(), &s), knownFrames()));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->text(0, 0), params.Application_title);
    EXPECT_EQ(s->text(1, 0), params.Homepage_URL);
    EXPECT_EQ(s->text(0, 2), params.Copy_light);
    EXPECT_EQ(s->text(3, 0), QStringLiteral("試験 comment"));
    EXPECT_FALSE(s->text(0, 7).isEmpty());
    EXPECT_EQ(s->defaultSize, 10);
    const std::vector<std::pair<SheetRange, double>> sizes = {
        {{1, 0, 1, 0}, 8}, {{0, 2, 0, 2}, 8}, {{5, 0, 5, 10}, 9}};
    EXPECT_EQ(s->fontSizes, sizes);
    EXPECT_EQ(s->merged, (std::vector<SheetRange>{SheetRange{0, 7, 0, 10}}));
    EXPECT_EQ(s->rightAligned, (std::vector<SheetRange>{SheetRange{0, 7, 1, 10}}));
    ASSERT_EQ(s->fills.size(), 1u);
    EXPECT_EQ(s->fills[0].second, 0xFFFF99u);
    EXPECT_EQ(s->autoFilters, (std::vector<SheetRange>{SheetRange{5, 0, 10, 10}}));
    EXPECT_EQ(s->widths, (std::map<int, int>{{0, 11}, {1, 7}, {2, 5}, {3, 4}, {4, 4}, {5, 4},
                                             {6, 4}, {7, 4}, {8, 4}, {9, 4}, {10, 4}}));
    const char *headers[] = {"経過時間 [ms]", "CAN ID", "DLC", "D1", "D8"};
    const int headerColumns[] = {0, 1, 2, 3, 10};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(s->text(5, headerColumns[i]), QString::fromUtf8(headers[i]));
    // Row 7 on: text, DLC 3 gives three bytes and five empty cells.
    const char *second[] = {"12.5", "005", "3", "12", "34", "56", "", "", "", "", ""};
    for (int c = 0; c < 11; ++c)
        EXPECT_EQ(s->text(7, c), QLatin1String(second[c])) << c;
    EXPECT_EQ(s->at(6, 0).kind, SheetCell::Kind::Text);
    EXPECT_EQ(s->text(6, 1), QLatin1String("7FF"));
    EXPECT_EQ(s->text(9, 1), QLatin1String("12345678"));
    EXPECT_EQ(s->text(11, 0), QString());
    // The table moves in one transfer, never cell by cell.
    EXPECT_EQ(s->transfers, 2 + 1);   // headers, table, and the read back
}

TEST_F(ConvertEngine, FullFileAndEditedWorkbook)
{
    EXPECT_TRUE(sameFrames(roundTrip(fullFrames()), fullFrames()));

    // A person retyped cells in a spreadsheet: plain decimal texts became numbers.
    std::shared_ptr<FakeSheet> s;
    roundTrip(knownFrames(), &s);
    for (auto &[cell, value] : s->cells) {
        bool ok = false;
        const double v = value.text.toDouble(&ok);
        if (cell.first >= 6 && ok && !value.text.contains(QLatin1Char('E')))
            value = SheetCell::fromNumber(v);
    }
    ASSERT_EQ(s->at(8, 1).kind, SheetCell::Kind::Number);   // "100"
    Excel_OutputDB edited;
    EXPECT_EQ(edited.CF_XLS_FileDataLoad(params, &server, path("in.xls")), 0);
    EXPECT_TRUE(sameFrames(edited.frames(), knownFrames()));
}

TEST_F(ConvertEngine, RecordFileResults)
{
    FrameBuffer empty;
    ASSERT_TRUE(writeRecord(path("empty.dat"), empty, QString()));
    ASSERT_TRUE(writeAll(path("short.dat"), QByteArray(100, '\1')));
    ELM327_Info other;
    other.Copy_light2 = QStringLiteral("someone else");
    ASSERT_TRUE(writeRecord(path("other.dat"), knownFrames(), QString(), other));
    const std::pair<const char *, int32_t> cases[] = {
        {"missing.dat", -1}, {"empty.dat", -2}, {"short.dat", -2}, {"other.dat", -2}};
    for (auto [name, code] : cases) {
        EXPECT_EQ(engine.CF_DAT_FileDataLoad(params, path(name)), code) << name;
        EXPECT_EQ(engine.frames()[0].identifier, 0) << name;
    }
    params.t_CF_Save_Path = path("gone");
    EXPECT_EQ(engine.CF_DAT_FileDataWrite(params, QStringLiteral("x")), 0);
    EXPECT_EQ(params.t_CF_Save_Path, paths::desktopFolder());
    QFile::remove(paths::join(paths::desktopFolder(), QStringLiteral("x.dat")));
}

TEST_F(ConvertEngine, WorkbookResults)
{
    roundTrip(knownFrames());
    auto variant = [&](const char *name, auto edit) {
        auto sheet = std::make_shared<FakeSheet>(*server.files[path("in.xls")]);
        edit(*sheet);
        server.store(path(name), sheet);
        return path(name);
    };
    const QString foreign = variant("foreign.xls", [](FakeSheet &s) {
        s.cells[{0, 0}] = SheetCell::fromText(QStringLiteral("ヴィストバス Ver2"));
    });
    const QString badHeader = variant("header.xls", [](FakeSheet &s) { s.cells.erase({1, 0}); });
    const QString hole = variant("hole.xls", [](FakeSheet &s) { s.cells.erase({7, 0}); });
    const QString noData = variant("nodata.xls", [](FakeSheet &s) {
        for (int r = 6; r < 20; ++r)
            for (int c = 0; c < 11; ++c)
                s.cells.erase({r, c});
    });
    struct Case { QString path; int vistbus; const char *sibling; int32_t result; };
    const Case cases[] = {
        {foreign, 0, "ヴィストバス", Excel_OutputDB::kForeignWorkbook},
        {foreign, 1, "ヴィストバス", 0},
        {foreign, 1, "", Excel_OutputDB::kForeignWorkbook},
        {badHeader, 0, "", Excel_OutputDB::kBadHeader},
        {hole, 0, "", Excel_OutputDB::kBadCells},
        {noData, 0, "", Excel_OutputDB::kBadCells},
        {path("missing.xls"), 0, "", Excel_OutputDB::kNoSuchWorkbook},
    };
    for (const Case &c : cases) {
        params.t_CF_Vistbus_On = c.vistbus;
        params.t_CF_Vistbus_Txt = QString::fromUtf8(c.sibling);
        EXPECT_EQ(engine.CF_XLS_FileDataLoad(params, &server, c.path), c.result) << c.path.toStdString();
    }
    // An office that dies in the middle is a run-time error with its reason.
    server.alive = false;
    EXPECT_EQ(engine.CF_XLS_FileDataLoad(params, &server, path("in.xls")), -1);
    EXPECT_FALSE(engine.lastError().isEmpty());
    EXPECT_EQ(engine.Excel_DataOutput(params, nullptr, QStringLiteral("x")), -1);
}

TEST_F(ConvertEngine, FolderSearch)
{
    for (const char *name : {"b.dat", "a.dat", ".hidden.dat"})
        ASSERT_TRUE(writeRecord(path(name), knownFrames(), QString()));
    ASSERT_TRUE(writeAll(path("bad.dat"), "nope"));
    ASSERT_TRUE(writeAll(path("c.xls"), "x"));
    ASSERT_TRUE(writeAll(path("c.txt"), "x"));
    QStringList names;
    int32_t count = -1;
    EXPECT_EQ(engine.FolderMode_FileSerch(params, names, count), -2);
    params.t_CF_Load_FileType = 2;
    params.t_CF_Load_Path = path("gone");
    EXPECT_EQ(engine.FolderMode_FileSerch(params, names, count), -3);
    params.t_CF_Load_Path = dir.path();
    params.t_CF_mode = 1;
    EXPECT_EQ(engine.FolderMode_FileSerch(params, names, count), 0);
    EXPECT_EQ(names, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(engine.FolderMode_FileSerch(params, names, count, 1), 0);
    EXPECT_EQ(count, 1);
    params.t_CF_mode = 2;
    EXPECT_EQ(engine.FolderMode_FileSerch(params, names, count), 0);
    EXPECT_EQ(names, QStringList{QStringLiteral("c")});
}

// Converted files go where record files go: beside an unpacked program, into the data
// folder for an installed one; a chosen folder that has gone falls back to the desktop.
TEST(ConvertEngineFolders, OutputFolderByMode)
{
    QTemporaryDir program;
    QTemporaryDir data;
    QTemporaryDir home;
    const HookGuard folder(&paths::setProgramFolderForTesting, program.path());
    const ScopedEnv xdg("XDG_DATA_HOME", data.path().toUtf8());
    const ScopedEnv homeEnv("HOME", home.path().toUtf8());
    const QString dataFolder = data.path() + "/pelmora/CanKestrova";
    struct Row { int mode; QString chosen; bool installed; QString expected; };
    const Row rows[] = {
        {0, {}, false, program.path()},
        {0, {}, true, dataFolder},
        {1, {}, true, paths::desktopFolder()},
        {2, home.path(), true, home.path()},
        {2, home.path() + "/gone", false, paths::desktopFolder()},
    };
    for (const Row &r : rows) {
        QFile::remove(program.filePath("cankestrova.installed"));
        if (r.installed)
            ASSERT_TRUE(writeAll(program.filePath("cankestrova.installed"), "installed\n"));
        ELM327_Info params;
        params.t_CF_Save_Path_mode = r.mode;
        params.t_CF_Save_Path = r.chosen;
        EXPECT_EQ(Excel_OutputDB::outputFolder(params), r.expected) << r.mode << r.installed;
    }
    EXPECT_TRUE(QFileInfo(dataFolder).isDir());
}

TEST_F(ConvertEngine, TableCellProperty)
{
    engine.Time_ID_DLC_Data(3, 10, QStringLiteral("FF"));
    EXPECT_EQ(engine.Time_ID_DLC_Data(3, 10), QLatin1String("FF"));
    engine.Time_ID_DLC_Data(-1, 11, QStringLiteral("x"));   // outside: ignored
    EXPECT_EQ(engine.Time_ID_DLC_Data(20001, 0), QString());
    engine.Param_ALL_Clear();
    EXPECT_EQ(engine.Time_ID_DLC_Data(3, 10), QString());
}
