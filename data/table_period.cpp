#include "data/table_period.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/record_moment.h"
#include "data/table_row_reader.h"

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
