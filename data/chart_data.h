#pragma once

#include "data/captured_row.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <functional>

// What the chart window computes before the chart component draws: the
// points of the T1 and T2 curves from the captured rows, the window of the
// temperature axis, the legend titles. Plain functions, shared by the chart
// window and `fln chart`.

// Which curves the user ticked.
struct CurveChoice
{
    bool t1 = false;
    bool t2 = false;
};

// The points of both curves: X the moment in milliseconds since the epoch
// (local time), Y the temperature. Each curve is in ascending order of X; a
// point with the X of points already there comes after them.
struct ChartPoints
{
    QList<QPointF> t1;
    QList<QPointF> t2;
};

// Converts every row (X, Y1 and Y2 for each one, whatever curves are chosen,
// so a text that does not convert always throws) and adds the points of the
// chosen curves.
ChartPoints buildChartPoints(qsizetype count, const CapturedRowAt& rowAt, CurveChoice choice,
                             const RegionalSettings& rs);
ChartPoints buildChartPoints(const QList<CapturedRow>& rows, CurveChoice choice,
                             const RegionalSettings& rs);

// The smallest and the largest Y of a curve; 0 and 0 for a curve without points.
struct YRange
{
    double min = 0;
    double max = 0;
};
YRange yRange(const QList<QPointF>& points);

// The temperature axis: automatic, or a fixed window.
struct AxisWindow
{
    bool automatic = false;
    double min = 0;
    double max = 0;

    bool operator==(const AxisWindow&) const = default;
};

// The span limit of the temperature axis, in degrees.
inline constexpr double kAxisSpanLimit = 10;

// Data spanning the limit or more gets an automatic axis; less gets a window
// exactly 10 degrees wide around the middle of the chosen curves' values.
AxisWindow leftAxisWindow(CurveChoice choice, YRange t1, YRange t2);

// The most labels an axis carries, however far its values lie apart.
inline constexpr int kMostAxisLabels = 40;

// The label step of the temperature axis from `lo` to `hi`: whole degrees
// (1, 2, 5, 10, 20, 50 …), the smallest at which the axis carries at most
// `maxLabels` labels (capped at kMostAxisLabels). At any magnitude the step
// stays large enough for consecutive labels to differ, so that an axis at
// 1e308 gets a handful of labels, not an endless run. `lo` and `hi` are
// finite.
double axisLabelStep(double lo, double hi, int maxLabels);

// A range of the temperature axis that a double tells apart from a point:
// [lo, hi] when hi > lo, else widened around it by a degree, or by a
// proportion of the value where a degree is lost to rounding. A span too
// wide for a double is cut to a quarter of the largest double on each side.
YRange distinctRange(double lo, double hi);

// The moments (milliseconds since the epoch) at which the time axis from
// `from` to `to` carries its labels: multiples of one round step in local
// time (1, 5, 15, 30 seconds; 1, 5, 15, 30 minutes; 1, 3, 6, 12 hours; a
// day; a week from Monday, then 2, 4, 13, 26 and 52 weeks and whole years of
// weeks), the smallest step that gives at most `maxTicks` labels, evenly
// spaced. `utcOffsetSeconds` is the local time's offset from UTC.
QList<double> timeAxisTicks(double from, double to, int maxTicks, int utcOffsetSeconds);

// "T1, °C  " (two blanks) followed by the footer text, nothing between.
QString legendTitle(const QString& caption, const QString& footerText);

// How long after a start a moment of an elapsed time axis is: "0 сут 06:00",
// with seconds "2 сут 03:04:05"; before the start with a minus sign.
QString elapsedText(double milliseconds, bool seconds);
