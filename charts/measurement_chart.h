#pragma once

#include "data/chart_data.h"

#include <functional>

class DateTimeChart;

// Where a chart takes its points and legend texts: the grid's selection
// entries (or all rows of a table, for `fln chart`) and the footer texts of
// the T_1 and T_2 columns.
struct ChartSource
{
    std::function<qsizetype()> count;
    CapturedRowAt rowAt;
    std::function<QString(const QString& field)> footerText;
};

// The measurement chart on the chart component: curve 0 is T1 (`Series1`,
// red), curve 1 is T2 (`Series2`, blue); no title, legend below in Arial
// 13 px, white back wall, margins 3/5/3/4 %.
namespace MeasurementChart {

inline constexpr int kT1 = 0;
inline constexpr int kT2 = 1;
// "hh:mm:ss", a carriage return, "dd.MM.yy".
extern const QString kBottomFormat;

void setUp(DateTimeChart& chart);

// Builds the chart (all but hiding and showing it): clears both curves,
// lists the chosen ones in the legend, sets the bottom axis's format, adds
// the points of every entry, scales the left axis and sets the legend
// titles. A text that does not convert throws and leaves the chart as far
// as it got.
void build(DateTimeChart& chart, CurveChoice choice, const ChartSource& source,
           const RegionalSettings& rs);

} // namespace MeasurementChart
