#include "data/statistics.h"
#include "data/measurement_schema.h"

#include "data/dbf_table.h"
#include "platform/app_error.h"

#include <cmath>

static_assert(sizeof(long double) > sizeof(double),
              "the rounded mean needs an extended-precision long double");

double roundedMean(double sum, qint64 n)
{
    const double m = sum / static_cast<double>(n);
    const long double tenth = 0.1; // the double nearest to 0.1, widened exactly
    const long double k = std::floor(static_cast<long double>(m) / tenth + 0.5L);
    return static_cast<double>(k * tenth);
}

QString footerText(double min, double mean, double max, const RegionalSettings& rs)
{
    return floatToText(min, rs) + u'/' + floatToText(mean, rs) + u'/' + floatToText(max, rs);
}

QString footerT1(const TableStatistics& s, const RegionalSettings& rs)
{
    return footerText(s.t1Min, s.t1Mean, s.t1Max, rs);
}

QString footerT2(const TableStatistics& s, const RegionalSettings& rs)
{
    return footerText(s.t2Min, s.t2Mean, s.t2Max, rs);
}

namespace {

struct Channel
{
    double min = 0, max = 0, sum = 0;

    void start(double v) { min = max = sum = v; }
    void add(double v)
    {
        if (v < min)
            min = v;
        if (v > max)
            max = v;
        sum += v; // rounded to double after each addition
    }
};

} // namespace

qint64 find_mma(DbfTable& table, TableStatistics& statistics, const RegionalSettings& rs)
{
    if (!table.isOpen())
        return 0;
    // The walk counts the rows itself: a count before it would read the whole
    // table once more. Only none and one row are told apart beforehand.
    const qint64 few = table.rowCountUpTo(2);
    if (few == 0)
        return 0;
    const int f1 = table.fieldIndex(MeasurementSchema::kT1);
    const int f2 = table.fieldIndex(MeasurementSchema::kT2);
    if (f1 < 0 || f2 < 0)
        throw AppError(QStringLiteral("Field '%1' not found")
                           .arg(f1 < 0 ? MeasurementSchema::kT1 : MeasurementSchema::kT2));

    // Computed aside and stored at the end, so that a text that does not
    // convert leaves the previous statistics instead of a partial sum
    // standing in for a mean.
    Channel c1, c2;
    if (few == 1) {
        if (table.position() < 0)
            table.first();
        const double v1 = table.requiredNumber(f1, rs);
        const double v2 = table.requiredNumber(f2, rs);
        statistics.t1Min = statistics.t1Max = statistics.t1Mean = v1;
        statistics.t2Min = statistics.t2Max = statistics.t2Mean = v2;
        return 1;
    }

    // The walk is hidden from the grid; the move back to the first row after
    // the new values are stored is what the grid reports.
    qint64 n = 0;
    table.disableControls();
    try {
        table.first();
        c1.start(table.requiredNumber(f1, rs));
        c2.start(table.requiredNumber(f2, rs));
        table.next();
        for (n = 1; !table.eof(); ++n) {
            c1.add(table.requiredNumber(f1, rs));
            c2.add(table.requiredNumber(f2, rs));
            table.next();
        }
    } catch (...) {
        table.enableControls();
        throw;
    }

    statistics.t1Min = c1.min;
    statistics.t1Max = c1.max;
    statistics.t1Mean = roundedMean(c1.sum, n);
    statistics.t2Min = c2.min;
    statistics.t2Max = c2.max;
    statistics.t2Mean = roundedMean(c2.sum, n);
    table.enableControls();
    table.first();
    return n;
}

TableStatistics selectionStatistics(const QList<QStringList>& capturedValues,
                                    const RegionalSettings& rs)
{
    return selectionStatistics(
        capturedValues.size(),
        [&](qsizetype k) {
            const QStringList& e = capturedValues[k];
            return CapturedRow{e.value(0), e.value(1), {}, {}};
        },
        rs);
}

TableStatistics selectionStatistics(qsizetype count, const CapturedRowAt& rowAt,
                                    const RegionalSettings& rs)
{
    TableStatistics s;
    if (count <= 0)
        return s;
    const CapturedRowConverter convert(rs);
    CapturedRow row = rowAt(0);
    Channel c1, c2;
    c1.start(convert.number(row.t1));
    c2.start(convert.number(row.t2));
    for (qsizetype i = 1; i < count; ++i) {
        row = rowAt(i);
        c1.add(convert.number(row.t1));
        c2.add(convert.number(row.t2));
    }
    s.t1Min = c1.min;
    s.t1Max = c1.max;
    s.t1Mean = roundedMean(c1.sum, count);
    s.t2Min = c2.min;
    s.t2Max = c2.max;
    s.t2Mean = roundedMean(c2.sum, count);
    return s;
}
