#include "data/table_period.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/record_moment.h"
#include "data/recording_summary_text.h"
#include "data/table_row_reader.h"
#include "platform/app_error.h"

#include <QDateTime>
#include <QStringList>
#include <QTime>

#include <algorithm>

std::optional<TablePeriod> tablePeriod(const DbfTable& table, const RegionalSettings& rs)
{
    if (!table.isOpen())
        return std::nullopt;
    const int dateField = table.fieldIndex(MeasurementSchema::kDate);
    const int timeField = table.fieldIndex(MeasurementSchema::kTime);
    if (dateField < 0 || timeField < 0)
        return std::nullopt;
    std::optional<TablePeriod> period;
    const auto take = [&period](qint64 at) {
        if (!period)
            period = TablePeriod{at, at};
        period->first = std::min(period->first, at);
        period->last = std::max(period->last, at);
    };
    TableRowReader rows(table);
    RecordMomentReader moments(rs);
    for (bool row = rows.viewFirst(); row; row = rows.viewNext()) {
        if (const std::optional<qint64> at =
                moments.read(rows.fieldBytes(dateField), rows.fieldBytes(timeField))) {
            take(*at);
            continue;
        }
        // Texts beyond the bytes' fast path, such as a separator that is not
        // ASCII.
        if (const std::optional<RecordMoment> m =
                readRecordMoment(rows.value(dateField).toString().trimmed(),
                                 rows.value(timeField).toString().trimmed(), rs))
            take(momentOf(m->date, QTime(m->hour, m->minute, m->second)));
    }
    return period;
}

RowMomentReader::RowMomentReader(const DbfTable& table, const RegionalSettings& rs)
    : m_rs(rs), m_moments(rs)
{
    const auto field = [&table](const QString& name) {
        const int f = table.fieldIndex(name);
        if (f < 0)
            throw AppError(QStringLiteral("Field '%1' not found").arg(name));
        return f;
    };
    m_date = field(MeasurementSchema::kDate);
    m_time = field(MeasurementSchema::kTime);
}

qint64 RowMomentReader::read(const TableRowReader& rows)
{
    if (const std::optional<qint64> at =
            m_moments.read(rows.fieldBytes(m_date), rows.fieldBytes(m_time)))
        return *at;
    // Anything else goes through the general conversion, which decides and
    // reports.
    const QString text = rows.value(m_date).toString() + u' ' + rows.value(m_time).toString();
    const QDateTime dt = textToDateTime(text, m_rs);
    return momentOf(dt.date(), dt.time());
}

QList<quint32> periodRecords(const DbfTable& table, const Period& period,
                             const RegionalSettings& rs)
{
    QList<quint32> records;
    if (!table.isOpen() || period.isReversed())
        return records;
    RowMomentReader moments(table, rs);
    TableRowReader rows(table);
    for (bool row = rows.viewFirst(); row; row = rows.viewNext())
        if (period.contains(moments.read(rows)))
            records.append(rows.recNo());
    return records;
}

QString periodText(const Period& period, const RegionalSettings& rs)
{
    QStringList parts;
    if (period.from)
        parts << QStringLiteral("с ") + momentText(*period.from, rs);
    if (period.to)
        parts << QStringLiteral("по ") + momentText(*period.to, rs);
    return parts.join(u' ');
}

QString emptyPeriodText(const Period& period, const RegionalSettings& rs)
{
    const QString text = periodText(period, rs);
    return text.isEmpty() ? QStringLiteral("В таблице нет ни одной записи")
                          : QStringLiteral("В период %1 не попала ни одна запись").arg(text);
}
