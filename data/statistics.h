#pragma once

#include "data/captured_row.h"
#include "platform/regional_settings.h"

#include <QList>
#include <QString>
#include <QStringList>

class DbfTable;

// Minimum, maximum and rounded mean of T_1 and T_2 over the open table.
// Recomputed only by find_mma; they keep their values in between, also
// across closing and opening tables.
struct TableStatistics
{
    double t1Min = 0, t1Max = 0, t1Mean = 0;
    double t2Min = 0, t2Max = 0, t2Mean = 0;
};

// s / n rounded to tenths, a half upward. The quotient and the addition of
// one half are carried out in 80-bit extended precision against the double
// nearest to 0.1, so 2.25 rounds down to 2.2 (2.25 / 0.1 is slightly below
// 22.5) while 10.05 rounds up to 10.1.
double roundedMean(double sum, qint64 n);

// "min/mean/max", for example 18,2/21,7/25,1.
QString footerText(double min, double mean, double max, const RegionalSettings& rs);

// The T_1 and T_2 footers of the table statistics.
QString footerT1(const TableStatistics& s, const RegionalSettings& rs);
QString footerT2(const TableStatistics& s, const RegionalSettings& rs);

// Recomputes the table statistics over the live rows of the open table. With
// two or more rows the current row ends on the first row; with one row the
// row's values are taken as they are; with none (or a closed table) the
// statistics keep their values. A temperature text that does not convert
// throws "'%s' is not a valid floating point value"; the statistics then keep
// their previous values. Returns the number of rows.
qint64 find_mma(DbfTable& table, TableStatistics& statistics, const RegionalSettings& rs);

// Minimum, rounded mean and maximum of the captured values of two or more
// selection entries: index 0 is the T_1 text, index 1 the T_2 text.
TableStatistics selectionStatistics(const QList<QStringList>& capturedValues,
                                    const RegionalSettings& rs);
// The same over `count` captured rows, read one at a time.
TableStatistics selectionStatistics(qsizetype count, const CapturedRowAt& rowAt,
                                    const RegionalSettings& rs);
