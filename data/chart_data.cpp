#include "data/chart_data.h"

#include <algorithm>

namespace {

// Points arrive in the selection's order; a stable sort by X keeps equal
// moments in that order, as adding them one by one would.
void sortByX(QList<QPointF>& points)
{
    if (std::is_sorted(points.cbegin(), points.cend(),
                       [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }))
        return;
    std::stable_sort(points.begin(), points.end(),
                     [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
}

} // namespace

ChartPoints buildChartPoints(qsizetype count, const CapturedRowAt& rowAt, CurveChoice choice,
                             const RegionalSettings& rs)
{
    ChartPoints points;
    if (choice.t1)
        points.t1.reserve(count);
    if (choice.t2)
        points.t2.reserve(count);
    CapturedRowConverter converter(rs);
    for (qsizetype k = 0; k < count; ++k) {
        const CapturedMeasurement m = converter.convert(rowAt(k));
        const double x = double(m.msecs);
        if (choice.t1)
            points.t1.append(QPointF(x, m.t1));
        if (choice.t2)
            points.t2.append(QPointF(x, m.t2));
    }
    sortByX(points.t1);
    sortByX(points.t2);
    return points;
}

ChartPoints buildChartPoints(const QList<CapturedRow>& rows, CurveChoice choice,
                             const RegionalSettings& rs)
{
    return buildChartPoints(
        rows.size(), [&rows](qsizetype k) { return rows[k]; }, choice, rs);
}

YRange yRange(const QList<QPointF>& points)
{
    if (points.isEmpty())
        return {};
    YRange r{points.front().y(), points.front().y()};
    for (const QPointF& p : points) {
        r.min = std::min(r.min, p.y());
        r.max = std::max(r.max, p.y());
    }
    return r;
}

AxisWindow leftAxisWindow(CurveChoice choice, YRange t1, YRange t2)
{
    double hi = 0, lo = 0;
    if (choice.t1 && choice.t2) {
        hi = std::max(t1.max, t2.max);
        lo = std::min(t1.min, t2.min);
    } else if (choice.t1) {
        hi = t1.max, lo = t1.min;
    } else if (choice.t2) {
        hi = t2.max, lo = t2.min;
    }
    if (hi - lo >= kAxisSpanLimit)
        return {true, 0, 0};
    const double pad = (kAxisSpanLimit - (hi - lo)) / 2;
    return {false, lo - pad, hi + pad};
}

QString legendTitle(const QString& caption, const QString& footerText)
{
    return caption + QStringLiteral("  ") + footerText;
}
