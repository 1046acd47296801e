#include "data/chart_data.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

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

double axisLabelStep(double lo, double hi, int maxLabels)
{
    const int room = std::clamp(maxLabels, 1, kMostAxisLabels);
    // Halves first: the span of two values of opposite sign may not fit a double.
    const double half = hi / 2 - lo / 2;
    // Consecutive labels must differ: a step far below the values' own
    // precision would never get from one label to the next.
    const double precision = std::max(std::abs(lo), std::abs(hi)) * (64 * DBL_EPSILON);
    const double wanted = std::max(half / room * 2, precision);
    if (!(wanted > 1))
        return 1;
    double decade = std::pow(10.0, std::floor(std::log10(wanted)));
    // pow and log10 round: the decade never exceeds what is wanted.
    if (decade > wanted)
        decade /= 10;
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        const double step = m * decade;
        if (step >= wanted * (1 - 1e-12) && std::isfinite(step))
            return step;
    }
    return DBL_MAX;
}

YRange distinctRange(double lo, double hi)
{
    // The axis's own arithmetic takes the span: it must fit a double.
    if (!std::isfinite(hi - lo)) {
        lo = std::max(lo, -DBL_MAX / 4);
        hi = std::min(hi, DBL_MAX / 4);
    }
    if (hi > lo)
        return {lo, hi};
    const double pad = std::max(1.0, std::abs(lo) * 1e-9);
    return {lo - pad, hi + pad};
}

namespace {

constexpr double kSecond = 1000;
constexpr double kMinute = 60 * kSecond;
constexpr double kHour = 60 * kMinute;
constexpr double kDay = 24 * kHour;
constexpr double kWeek = 7 * kDay;
// 5 January 1970, the first Monday after the epoch (a Thursday).
constexpr double kMonday = 4 * kDay;

} // namespace

QList<double> timeAxisTicks(double from, double to, int maxTicks, int utcOffsetSeconds)
{
    QList<double> ticks;
    if (!(to >= from) || !std::isfinite(from) || !std::isfinite(to))
        return ticks;
    const int room = std::max(maxTicks, 1);
    static const double kSteps[] = {kSecond,    5 * kSecond, 15 * kSecond, 30 * kSecond,
                                    kMinute,    5 * kMinute, 15 * kMinute, 30 * kMinute,
                                    kHour,      3 * kHour,   6 * kHour,    12 * kHour,
                                    kDay,       kWeek,       2 * kWeek,    4 * kWeek,
                                    13 * kWeek, 26 * kWeek,  52 * kWeek};
    // Beyond the table: whole years of weeks, as many as it takes.
    double step = 52 * kWeek * std::max(1.0, std::ceil((to - from) / room / (52 * kWeek)));
    for (const double s : kSteps) {
        if ((to - from) / s < room) {
            step = s;
            break;
        }
    }
    // Days and weeks begin at local midnight, weeks on a Monday.
    const double offset = utcOffsetSeconds * kSecond;
    const double origin = step >= kWeek ? kMonday : 0;
    const double first = std::ceil((from + offset - origin) / step) * step + origin - offset;
    for (qint64 k = 0;; ++k) {
        const double t = first + double(k) * step;
        if (t > to || ticks.size() > room)
            break;
        ticks.append(t);
    }
    return ticks;
}

QString elapsedText(double milliseconds, bool seconds)
{
    if (!std::isfinite(milliseconds))
        milliseconds = 0;
    const bool before = milliseconds < 0;
    // Whole seconds; a span beyond what a chart can hold is cut, never wraps.
    const qint64 total = qint64(std::min(std::abs(std::round(milliseconds / 1000)), 1e15));
    const qint64 days = total / 86400, rest = total % 86400;
    QString text = QStringLiteral("%1%2 сут %3:%4")
                       .arg(before && total > 0 ? QStringLiteral("−") : QString())
                       .arg(days)
                       .arg(rest / 3600, 2, 10, QLatin1Char('0'))
                       .arg(rest / 60 % 60, 2, 10, QLatin1Char('0'));
    if (seconds)
        text += QStringLiteral(":%1").arg(rest % 60, 2, 10, QLatin1Char('0'));
    return text;
}
