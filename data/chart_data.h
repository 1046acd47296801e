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

// "T1, °C  " (two blanks) followed by the footer text, nothing between.
QString legendTitle(const QString& caption, const QString& footerText);
