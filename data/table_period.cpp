#include "data/table_period.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/record_moment.h"
#include "data/recording_summary.h"

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
    // A day's rows share its DATE text: its day is read once.
    QByteArray dayText;
    qint64 dayStart = 0;
    const qint64 n = table.rowCount();
    for (qint64 i = 0; i < n; ++i) {
        const char* p = table.peekRecord(table.recordAt(i));
        if (!p)
            continue;
        QByteArrayView date = table.fieldBytes(p, dateField);
        QByteArrayView time = table.fieldBytes(p, timeField);
        while (!date.isEmpty() && (date.back() == ' ' || date.back() == '\0'))
            date.chop(1);
        while (!time.isEmpty() && (time.back() == ' ' || time.back() == '\0'))
            time.chop(1);
        if (!dayText.isEmpty() && date == dayText) {
            if (const std::optional<int> second = readSecondOfDay(time, rs)) {
                take(dayStart + *second);
                continue;
            }
        }
        std::optional<RecordMoment> m = readRecordMoment(date, time, rs);
        if (m) {
            dayText = date.toByteArray();
            dayStart = momentOf(m->date, QTime(0, 0));
        } else {
            // Texts beyond the bytes' fast path, such as a separator that is
            // not ASCII.
            m = readRecordMoment(table.decodeAt(p, dateField).toString().trimmed(),
                                 table.decodeAt(p, timeField).toString().trimmed(), rs);
        }
        if (m)
            take(momentOf(m->date, QTime(m->hour, m->minute, m->second)));
    }
    return period;
}
