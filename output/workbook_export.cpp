#include "output/workbook_export.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/record_moment.h"
#include "platform/app_error.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace {

// Records between two progress reports: a few milliseconds of work.
constexpr qint64 kProgressStep = 4096;

int requireField(const DbfTable& table, const QString& name)
{
    const int i = table.fieldIndex(name);
    if (i < 0)
        throw AppError::format(QStringLiteral("Field '%s' not found"), {name});
    return i;
}

} // namespace

double automationDate(const QDate& date, int hour, int minute)
{
    static const QDate kEpoch(1899, 12, 30);
    const qint64 days = kEpoch.daysTo(date);
    const double fraction = double(hour * 60 + minute) / 1440.0;
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

double recordDate(const QString& date, const QString& time, const RegionalSettings& rs)
{
    // The texts the program writes are read directly; anything else takes
    // the general conversion, which decides.
    const QString hhmm = time.left(5);
    if (const std::optional<RecordMoment> m = readRecordMoment(date, hhmm, rs))
        return automationDate(m->date, m->hour, m->minute);
    const QDateTime dt = textToDateTime(date + u' ' + hhmm, rs);
    return automationDate(dt.date(), dt.time().hour(), dt.time().minute());
}

WorkbookRowReader::WorkbookRowReader(const DbfTable& table, const RegionalSettings& rs)
    : m_rows(table), m_rs(rs), m_n(requireField(table, MeasurementSchema::kN)),
      m_date(requireField(table, MeasurementSchema::kDate)),
      m_time(requireField(table, MeasurementSchema::kTime)),
      m_mode(requireField(table, MeasurementSchema::kMode)),
      m_t1(requireField(table, MeasurementSchema::kT1)),
      m_t2(requireField(table, MeasurementSchema::kT2)),
      m_comment(requireField(table, MeasurementSchema::kComment))
{
}

void WorkbookRowReader::read(qint64 position, WorkbookRow& row)
{
    m_rows.view(position);
    readViewed(row);
}

void WorkbookRowReader::readRecord(quint32 recNo, WorkbookRow& row)
{
    m_rows.viewRecord(recNo);
    readViewed(row);
}

void WorkbookRowReader::readViewed(WorkbookRow& row)
{
    const QVariant n = m_rows.value(m_n);
    const qint64 number = n.toLongLong(); // an empty N reads as 0
    if (number < std::numeric_limits<qint32>::min() || number > std::numeric_limits<qint32>::max())
        throw RangeError();
    row.n = qint32(number);
    row.date = recordDate(m_rows.value(m_date).toString(), m_rows.value(m_time).toString(), m_rs);
    row.mode = m_rows.value(m_mode).toString();
    row.t1 = m_rows.requiredNumber(m_t1, m_rs);
    row.t2 = m_rows.requiredNumber(m_t2, m_rs);
    row.comment = m_rows.value(m_comment).toString();
}

QString tooManyRecordsText(qint64 records)
{
    return QStringLiteral("В таблице %1 записей, а лист Excel вмещает не более %2 записей "
                          "(%3 строк вместе с двумя строками заголовка). Экспорт не выполнен.")
        .arg(records)
        .arg(WorkbookLayout::kMaxRecords)
        .arg(WorkbookLayout::kSheetRows);
}

WorkbookExportResult exportWorkbook(DbfTable& table, const SpreadsheetFactory& create,
                                    const RegionalSettings& rs, const WorkbookProgress& progress,
                                    const std::optional<QList<quint32>>& records)
{
    namespace L = WorkbookLayout;
    // A sheet has room for so many rows only; the automation would fail at
    // the first row beyond it, with the rest of the table missing.
    const qint64 n = records ? records->size() : table.rowCount();
    if (n > L::kMaxRecords)
        throw AppError(tooManyRecordsText(n));
    WorkbookRowReader reader(table, rs);

    const std::unique_ptr<SpreadsheetApplication> app = create();
    app->setVisible(true);
    app->addWorkbook(SpreadsheetApplication::kOneWorksheetTemplate);
    app->setWorksheetName(1, 1, L::kSheetName);
    const QString saveName = app->worksheetName(1, 1);

    const QString& sheet = L::kSheetName;
    for (int k = 1; k <= L::kColumns; ++k)
        app->setColumnWidth(sheet, k, L::kColumnWidth);
    app->setColumnNumberFormat(sheet, L::kDateColumn, L::kDateFormat);
    app->setRowFontBold(sheet, L::kHeaderRow, true);
    app->setRowFontBold(sheet, L::kTitleRow, true);
    app->setRowFontColor(sheet, L::kTitleRow, L::kTitleColor);
    app->setRowFontSize(sheet, L::kTitleRow, L::kTitleSize);
    for (int c = 1; c <= L::kColumns; ++c)
        app->setCellText(sheet, L::kHeaderRow, c, L::kHeaders[size_t(c - 1)]);

    // A record still being edited is posted first, as the first move of the
    // walk would post it. The rows are read by their positions; the table's
    // current record moves once, to where the walk stops.
    if (table.state() == DbfTable::State::Edit || table.state() == DbfTable::State::Insert)
        table.post();
    const auto stopAt = [&table, &records](qint64 i) {
        if (table.isEmpty())
            return;
        if (records)
            table.goToRecord(records->at(std::min(i, qint64(records->size()) - 1)));
        else
            table.goToPosition(i);
    };
    int r = L::kFirstRecordRow;
    WorkbookRow row;
    qint64 i = 0;
    try {
        for (; i < n; ++i) {
            if (progress && i % kProgressStep == 0 && i > 0 && !progress(i, n)) {
                stopAt(i);
                app->quit();
                return WorkbookExportResult::Cancelled;
            }
            if (records)
                reader.readRecord(records->at(i), row);
            else
                reader.read(i, row);
            app->setCellInteger(sheet, r, 1, row.n);
            app->setCellDate(sheet, r, 2, row.date);
            app->setCellText(sheet, r, 3, row.mode);
            app->setCellNumber(sheet, r, 4, row.t1);
            app->setCellNumber(sheet, r, 5, row.t2);
            app->setCellText(sheet, r, 6, row.comment);
            ++r;
        }
    } catch (...) {
        stopAt(i); // the record the export stopped at
        throw;
    }
    // The walk ends on the last record, which stays current.
    if (n > 0 && records)
        table.goToRecord(records->constLast());
    else if (n > 0)
        table.last();
    if (progress && !progress(n, n)) {
        app->quit();
        return WorkbookExportResult::Cancelled;
    }

    // The instance quits whether the copy is saved or not; a failed save is
    // reported after that.
    std::exception_ptr saveError;
    try {
        app->saveCopyAs(saveName);
    } catch (...) {
        saveError = std::current_exception();
    }
    app->quit();
    if (saveError)
        std::rethrow_exception(saveError);
    return WorkbookExportResult::Saved;
}
