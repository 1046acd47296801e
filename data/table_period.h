#pragma once

#include "platform/regional_settings.h"

#include <QtGlobal>

#include <optional>

class DbfTable;

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
