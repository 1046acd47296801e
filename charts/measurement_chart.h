#pragma once

#include "data/chart_data.h"
#include "data/chart_recording.h"

#include <QColor>
#include <QList>

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

// How recordings drawn together line up: by their clock time, or each
// shifted so that its first moment is at the start of an elapsed time axis
// ("с начала").
enum class ChartAlignment
{
    Clock,
    Start
};

// The table's own curves as the chart draws them: their points and the
// footer texts their legend entries carry.
struct OwnCurves
{
    ChartPoints points;
    QString footerT1, footerT2;
};

// The measurement chart on the chart component: curve 0 is T1 (`Series1`,
// red), curve 1 is T2 (`Series2`, blue); no title, legend below in Arial
// 13 px, white back wall, margins 3/5/3/4 %. Other recordings drawn beside
// them follow as curves 2, 3, … (T1 and T2 of each), in colours of their own
// and with legend entries "b.db: T1, °C".
namespace MeasurementChart {

inline constexpr int kT1 = 0;
inline constexpr int kT2 = 1;
// "hh:mm:ss", a carriage return, "dd.MM.yy".
extern const QString kBottomFormat;

// The colours of the T1 and T2 curves of the other recordings, the first
// other recording first; none of them is the table's own red or blue.
extern const QList<std::pair<QColor, QColor>> kRecordingColours;

void setUp(DateTimeChart& chart);

// Builds the chart (all but hiding and showing it): clears the curves,
// lists the chosen ones in the legend, sets the bottom axis's format, adds
// the points of every entry, scales the left axis and sets the legend
// titles. A text that does not convert throws and leaves the chart as far
// as it got. Returns what it drew of the table, for draw().
OwnCurves build(DateTimeChart& chart, CurveChoice choice, const ChartSource& source,
                const RegionalSettings& rs, const QList<ChartRecording>& others = {},
                ChartAlignment alignment = ChartAlignment::Clock);

// Draws the table's curves and the other recordings (at most
// kMostChartRecordings - 1 of them) anew, aligned as asked; the temperature
// axis's rule takes every curve drawn.
void draw(DateTimeChart& chart, CurveChoice choice, const OwnCurves& own,
          const QList<ChartRecording>& others, ChartAlignment alignment,
          const RegionalSettings& rs);

} // namespace MeasurementChart
