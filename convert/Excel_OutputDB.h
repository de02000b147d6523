#pragma once

#include "FrameBuffer.h"
#include "SpreadsheetServer.h"
#include "WorkbookTable.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class ELM327_Info;

// Converts one record file at a time to a workbook and back. Holds the two forms of the
// data (frame buffer and text table) and the record comment that passes between them.
// Knows no widget; the workbook side is whatever SpreadsheetServer it is handed.
class Excel_OutputDB final
{
public:
    static constexpr int32_t kNoSuchWorkbook = -50000;
    static constexpr int32_t kForeignWorkbook = -60000;
    static constexpr int32_t kBadHeader = -30000;
    static constexpr int32_t kBadCells = workbook::kBadCells;
    static constexpr int32_t kFirstRowInvalid = workbook::kFirstRowInvalid;
    static constexpr int32_t kMaxFolderFiles = 20000;
    // The first cell of the table in the sheet (A7) and of the header row (A6).
    static constexpr int kTableSheetRow = 6;

    void Param_ALL_Clear();
    static void ArayyExcel_ALL_Clear_zero_string(int lastRow, int lastColumn, TextTable &table);
    void PlayDAT_ch_Clear();

    QString Time_ID_DLC_Data(int16_t row, int16_t column) const;
    void Time_ID_DLC_Data(int16_t row, int16_t column, const QString &text);

    void dat_to_Excel();
    int32_t Excel_to_dat(int32_t lastRow);

    int32_t CF_DAT_FileDataLoad(const ELM327_Info &params, const QString &path);
    int32_t CF_DAT_FileDataWrite(ELM327_Info &params, const QString &baseName);
    int32_t Excel_DataOutput(ELM327_Info &params, SpreadsheetServer *server,
                             const QString &baseName);
    int32_t CF_XLS_FileDataLoad(const ELM327_Info &params, SpreadsheetServer *server,
                                const QString &path);
    int32_t FolderMode_FileSerch(const ELM327_Info &params, QStringList &names, int32_t &count,
                                 int32_t maximum = kMaxFolderFiles);

    // Where converted files go (by t_CF_Save_Path_mode: 0 the folder of record files, which
    // is the program's folder unless that is not writable; 1 the desktop; 2 the chosen
    // folder); may store the desktop into t_CF_Save_Path when the chosen folder is gone.
    static QString outputFolder(ELM327_Info &params);

    FrameBuffer &frames() { return m_frames; }
    const TextTable &table() const { return m_table; }
    QString recordComment() const { return m_comment; }
    void setRecordComment(const QString &comment) { m_comment = comment; }
    // The reason of the last failure that a result code alone does not tell.
    QString lastError() const { return m_error; }
    // Rows whose identifier is below 1 (a "0E5" the spreadsheet made 0) are left out of the
    // frames and listed by droppedRows() instead of failing the workbook; off by default.
    void setDropRowsWithoutIdentifier(bool on) { m_dropRowsWithoutIdentifier = on; }
    const std::vector<int32_t> &droppedRows() const { return m_droppedRows; }
    // The file the last writer made or tried.
    QString lastOutputPath() const { return m_outputPath; }

private:
    void fillSheet(const ELM327_Info &params, SpreadsheetBook &book, int rows);

    TextTable m_table;
    FrameBuffer m_frames;
    QString m_comment;
    QString m_error;
    QString m_outputPath;
    bool m_dropRowsWithoutIdentifier = false;
    std::vector<int32_t> m_droppedRows;
};
