#include "Excel_OutputDB.h"

#include "ELM327_Info.h"
#include "MessagePump.h"
#include "Paths.h"
#include "RecordFiles.h"
#include "RecordFormat.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QSaveFile>

#include <exception>

namespace {

const char *const kHeaders[] = {"経過時間 [ms]", "CAN ID", "DLC", "D1", "D2", "D3",
                                "D4",            "D5",     "D6",  "D7", "D8"};
// Excel's colour index 36 (light yellow) and the sheet's fonts.
constexpr uint32_t kHeaderFill = 0xFFFF99;
constexpr int kColumnWidths[] = {11, 7, 5, 4, 4, 4, 4, 4, 4, 4, 4};

QString errorText(const std::exception &e)
{
    return QString::fromStdString(e.what());
}

} // namespace

void Excel_OutputDB::Param_ALL_Clear()
{
    ArayyExcel_ALL_Clear_zero_string(TextTable::kLastRow, TextTable::kLastColumn, m_table);
}

void Excel_OutputDB::ArayyExcel_ALL_Clear_zero_string(int lastRow, int lastColumn,
                                                      TextTable &table)
{
    table.clear(lastRow, lastColumn);
}

void Excel_OutputDB::PlayDAT_ch_Clear()
{
    m_frames.clear();
}

QString Excel_OutputDB::Time_ID_DLC_Data(int16_t row, int16_t column) const
{
    return m_table.cell(row, column);
}

void Excel_OutputDB::Time_ID_DLC_Data(int16_t row, int16_t column, const QString &text)
{
    m_table.setCell(row, column, text);
}

void Excel_OutputDB::dat_to_Excel()
{
    workbook::framesToTable(m_frames, m_table);
}

int32_t Excel_OutputDB::Excel_to_dat(int32_t lastRow)
{
    m_droppedRows.clear();
    return workbook::tableToFrames(m_table, lastRow, m_frames, &pumpMessages,
                                   m_dropRowsWithoutIdentifier ? &m_droppedRows : nullptr);
}

int32_t Excel_OutputDB::CF_DAT_FileDataLoad(const ELM327_Info &params, const QString &path)
{
    m_error.clear();
    if (!paths::isExistingFile(path))
        return -1;
    try {
        RecordTrailer trailer;
        const int32_t result = readRecordFile(path, params, &m_frames, trailer);
        // A file that exists but ends before its trailer is not a record file.
        if (result == -1 || result == -2 || m_frames[0].identifier < 1) {
            m_frames[0].identifier = 0;
            return -2;
        }
        if (result != 0)
            return -3;
        m_comment = trailer.comment;
        return 0;
    } catch (const std::exception &e) {
        m_error = errorText(e);
        return -3;
    }
}

int32_t Excel_OutputDB::CF_DAT_FileDataWrite(ELM327_Info &params, const QString &baseName)
{
    m_error.clear();
    RecordTrailer trailer = RecordTrailer::fromParams(params);
    trailer.comment = m_comment;
    m_outputPath = paths::join(outputFolder(params), baseName + QStringLiteral(".dat"));
    try {
        // Replaces a file of the same name as the workbook side does, but only once the
        // new one is complete.
        const QByteArray bytes = encodeRecordFile(m_frames, trailer);
        QSaveFile file(m_outputPath);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
            && file.commit())
            return 0;
        m_error = file.errorString();
    } catch (const std::exception &e) {
        m_error = errorText(e);
    }
    return -1;
}

QString Excel_OutputDB::outputFolder(ELM327_Info &params)
{
    switch (params.t_CF_Save_Path_mode) {
    case 1:
        return paths::desktopFolder();
    case 2:
        if (!params.t_CF_Save_Path.isEmpty() && paths::isExistingFolder(params.t_CF_Save_Path))
            return paths::removeTrailingSeparator(params.t_CF_Save_Path);
        params.t_CF_Save_Path = paths::desktopFolder();
        return params.t_CF_Save_Path;
    default:
        // The program's folder when it may be written, else the user's data folder.
        return paths::fileFolder();
    }
}

void Excel_OutputDB::fillSheet(const ELM327_Info &params, SpreadsheetBook &book, int rows)
{
    book.setDefaultFont(QStringLiteral("Arial"), 10);
    book.setText(0, 0, params.Application_title);
    book.setText(1, 0, params.Homepage_URL);
    book.setFontSize({1, 0, 1, 0}, 8);
    book.setText(0, 2, params.Copy_light);
    book.setFontSize({0, 2, 0, 2}, 8);
    book.setText(3, 0, m_comment);
    book.setText(0, 7, QLocale::system().toString(QDateTime::currentDateTime(),
                                                  QLocale::ShortFormat));
    book.merge({0, 7, 0, 10});
    book.alignRight({0, 7, 1, 10});

    const SheetRange header{kTableSheetRow - 1, 0, kTableSheetRow - 1, TextTable::kLastColumn};
    std::vector<QString> headers;
    for (const char *h : kHeaders)
        headers.push_back(QString::fromUtf8(h));
    book.setTexts(header.firstRow, 0, {headers});
    book.setFillAndBorders(header, kHeaderFill);
    book.setFontSize(header, 9);

    std::vector<std::vector<QString>> table(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        table[size_t(r)].assign(m_table.row(r).begin(), m_table.row(r).end());
    book.setTexts(kTableSheetRow, 0, table);
    book.setAutoFilter({header.firstRow, 0, kTableSheetRow + rows - 1, TextTable::kLastColumn});
    for (int c = 0; c < TextTable::kColumns; ++c)
        book.setColumnWidth(c, kColumnWidths[c]);
}

int32_t Excel_OutputDB::Excel_DataOutput(ELM327_Info &params, SpreadsheetServer *server,
                                         const QString &baseName)
{
    m_error.clear();
    m_outputPath = paths::join(outputFolder(params), baseName + QStringLiteral(".xls"));
    if (!server) {
        m_error = QStringLiteral("no spreadsheet server");
        return -1;
    }
    try {
        Param_ALL_Clear();
        dat_to_Excel();
        const int rows = m_frames.frameCount();
        const auto book = server->newBook();
        fillSheet(params, *book, rows);
        book->saveAs(m_outputPath);
        book->close();
        return 0;
    } catch (const std::exception &e) {
        m_error = errorText(e);
        return -1;
    }
}

int32_t Excel_OutputDB::CF_XLS_FileDataLoad(const ELM327_Info &params,
                                            SpreadsheetServer *server, const QString &path)
{
    m_error.clear();
    if (!paths::isExistingFile(path))
        return kNoSuchWorkbook;
    if (!server) {
        m_error = QStringLiteral("no spreadsheet server");
        return -1;
    }
    try {
        Param_ALL_Clear();
        const auto book = server->openBook(path);
        book->setScreenUpdating(false);
        int32_t result = 0;
        const QString a1 = book->cellText(0, 0);
        if (book->cellText(1, 0) != params.Homepage_URL
            || !book->cellText(0, 2).contains(params.Copy_light2)) {
            result = kBadHeader;
        } else if (!a1.contains(params.Application_title2)
                   && !(params.t_CF_Vistbus_On == 1 && !params.t_CF_Vistbus_Txt.isEmpty()
                        && a1.contains(params.t_CF_Vistbus_Txt))) {
            result = kForeignWorkbook;
        }
        int32_t lastRow = TextTable::kLastRow;
        if (result == 0) {
            m_comment = book->cellText(3, 0);
            const SheetRows cells = book->readRange(
                {kTableSheetRow, 0, kTableSheetRow + TextTable::kLastRow, TextTable::kLastColumn});
            result = workbook::checkCells(cells, m_table, lastRow, &pumpMessages);
        }
        book->setScreenUpdating(true);
        book->close();
        if (result != 0)
            return result;
        PlayDAT_ch_Clear();
        return Excel_to_dat(lastRow);
    } catch (const std::exception &e) {
        m_error = errorText(e);
        return -1;
    }
}

int32_t Excel_OutputDB::FolderMode_FileSerch(const ELM327_Info &params, QStringList &names,
                                             int32_t &count, int32_t maximum)
{
    names.clear();
    count = 0;
    const QString extension =
        params.t_CF_mode == 2 ? QStringLiteral(".xls") : QStringLiteral(".dat");
    if (params.t_CF_Load_FileType != 2)
        return -2;
    if (!paths::isExistingFolder(params.t_CF_Load_Path))
        return -3;
    const QDir folder(params.t_CF_Load_Path);
    // Hidden entries and everything that is not a plain file are skipped.
    const QStringList files = folder.entryList(QDir::Files, QDir::Name);
    if (files.size() > kMaxFolderFiles)
        return -4;
    for (const QString &name : files) {
        if (count >= maximum)
            break;
        if (!name.endsWith(extension) || name.size() <= extension.size())
            continue;
        const QString path = folder.filePath(name);
        if (extension == QLatin1String(".dat") && CheckRecordFile(path, params) != 0)
            continue;
        names << name.left(name.size() - extension.size());
        ++count;
    }
    return 0;
}
