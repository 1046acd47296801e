#pragma once

#include "data/record_moment.h"
#include "platform/regional_settings.h"

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

class DbfTable;
class TableRowReader;

// The span of a measurement table: its earliest and its latest moment, as
// DATE and TIME give them (on the scale of recording_summary.h), whatever
// order the table is shown in.
struct TablePeriod
{
    qint64 first = 0;
    qint64 last = 0;
};

// Over the live rows of the open table; rows whose DATE and TIME do not
// read under the regional settings are left out (the commands that convert
// them report them). Nothing for a closed table or one without such rows.
std::optional<TablePeriod> tablePeriod(const DbfTable& table, const RegionalSettings& rs);

// A period the user chooses: the moments from `from` to `to`, both ends
// included, on the scale of the table's moments; an end not given is open.
struct Period
{
    std::optional<qint64> from;
    std::optional<qint64> to;

    bool contains(qint64 at) const { return (!from || at >= *from) && (!to || at <= *to); }
    // From after to: no moment lies in it.
    bool isReversed() const { return from && to && *from > *to; }
};

// The record numbers of the live rows whose moment lies in the period, in
// the table's browsing order (the selected sort's order, else record order),
// in one walk. A DATE or TIME that is no moment throws the general
// conversion's error ("'%s' is not a valid date and time"), as the summary,
// the chart and the export do. Empty for a closed table.
QList<quint32> periodRecords(const DbfTable& table, const Period& period,
                             const RegionalSettings& rs);

// "с 15.03.2024 08:00:00 по 16.03.2024 18:00:00", "с 15.03.2024 08:00:00",
// "по …" under the regional settings; empty for a period with no end.
QString periodText(const Period& period, const RegionalSettings& rs);
// The refusal of a period that holds no row of a table.
QString emptyPeriodText(const Period& period, const RegionalSettings& rs);

// The moment of a row as the commands read it: DATE and TIME straight from
// the record's bytes where they allow, else the general conversion, which
// throws for a text that is no moment.
class RowMomentReader
{
public:
    // Throws "Field '%s' not found" for a table without DATE or TIME.
    RowMomentReader(const DbfTable& table, const RegionalSettings& rs);
    // The row `rows` viewed last.
    qint64 read(const TableRowReader& rows);

private:
    RegionalSettings m_rs;
    RecordMomentReader m_moments;
    int m_date = -1, m_time = -1;
};
