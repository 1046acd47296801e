#pragma once

#include "data/table_row_reader.h"
#include "platform/regional_settings.h"
#include "platform/spreadsheet.h"

#include <QDate>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class DbfTable;

// The workbook that "Экспорт в Excel" fills: one sheet, a title row with no
// text, a header row and one row per record of the table in its current
// order.
namespace WorkbookLayout {

inline const QString kSheetName = QStringLiteral("ФЛН-РК2");
inline constexpr int kColumns = 6;
inline constexpr int kColumnWidth = 20;
inline constexpr int kDateColumn = 2;
// In a Russian spreadsheet program's own tokens; the file stores it as
// "DD/MM/YYYY H:MM" (see XlsxSpreadsheet::fileNumberFormat).
inline const QString kDateFormat = QStringLiteral("ДД/ММ/ГГГГ Ч:ММ");
inline constexpr int kTitleRow = 1;
inline constexpr int kTitleColor = 16711680; // blue-green-red: pure blue
inline constexpr int kTitleSize = 14;
inline constexpr int kHeaderRow = 2;
// No degree sign, unlike the grid's captions.
inline const std::array<QString, kColumns> kHeaders = {
    QStringLiteral("N"),     QStringLiteral("Дата"),  QStringLiteral("Режим"),
    QStringLiteral("T1, C"), QStringLiteral("T2, C"), QStringLiteral("Примечание")};
inline constexpr int kFirstRecordRow = 3;
// A sheet's rows; two of them are the title and the header.
inline constexpr qint64 kSheetRows = 1048576;
inline constexpr qint64 kMaxRecords = kSheetRows - 2;

} // namespace WorkbookLayout

// One record as the cells of its row.
struct WorkbookRow
{
    qint32 n = 0;
    double date = 0; // automation date, to the minute
    QString mode;
    double t1 = 0;
    double t2 = 0;
    QString comment;
};

// An automation date: days since 30 December 1899, the time of day as the
// fraction (which counts away from zero for days before that date).
double automationDate(const QDate& date, int hour, int minute);

// DATE, one blank and the first five characters of TIME (hours and minutes:
// the seconds never reach the workbook) as an automation date under the
// regional settings; "'%s' is not a valid date and time" otherwise.
double recordDate(const QString& date, const QString& time, const RegionalSettings& rs);

// Reads the rows of a measurement table, by their positions in its current
// order, as the workbook's rows; the table's current record stays.
class WorkbookRowReader
{
public:
    // Throws "Field '%s' not found" when the table lacks one of the fields.
    WorkbookRowReader(const DbfTable& table, const RegionalSettings& rs);
    // Row `position` of the table's order. The regional conversion errors of
    // the record's texts; the empty temperature text is no number either.
    void read(qint64 position, WorkbookRow& row);
    // The same of the record with this number.
    void readRecord(quint32 recNo, WorkbookRow& row);

private:
    void readViewed(WorkbookRow& row);

    TableRowReader m_rows;
    RegionalSettings m_rs;
    int m_n, m_date, m_time, m_mode, m_t1, m_t2, m_comment;
};

// Told how many of the records are written now and then, and once at the
// end; returning false cancels the export.
using WorkbookProgress = std::function<bool(qint64 written, qint64 total)>;

enum class WorkbookExportResult
{
    Saved,
    Cancelled
};

// The text that refuses a table with more records than one sheet holds.
QString tooManyRecordsText(qint64 records);

// The export: the automation sequence on a new spreadsheet instance from
// `create`, the records of `table` walked in its current order from the
// first to the last, which is the current record afterwards. The table is
// not changed.
//
// A table too large for one sheet is refused before anything is created.
// A conversion error ends the export at its record, without saving. A failed
// save is reported after the instance has been told to quit. A cancelled
// export quits without saving.
//
// Given `records`, only the records with these numbers are written, in that
// order (a period's rows), and the last of them is current afterwards.
WorkbookExportResult exportWorkbook(DbfTable& table, const SpreadsheetFactory& create,
                                    const RegionalSettings& rs,
                                    const WorkbookProgress& progress = {},
                                    const std::optional<QList<quint32>>& records = std::nullopt);
