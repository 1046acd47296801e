#pragma once

#include "data/chart_data.h"
#include "data/table_period.h"

#include <QList>
#include <QString>

#include <optional>

class DbfTable;

// A table drawn on the chart: the points of every row in the table's
// browsing order, and the name its legend entries carry.
struct ChartRecording
{
    QString name; // the file's name, "b.db"
    ChartPoints points;
};

// The rows of an open table as the chart draws them (all of them, or these
// records), each read as the chart window's captured rows are; a text that
// does not convert throws the regional error.
ChartPoints tableChartPoints(const DbfTable& table, CurveChoice choice, const RegionalSettings& rs,
                             const std::optional<QList<quint32>>& records = std::nullopt);

// Reads the table file `file` for drawing beside the open table: opened
// read-only (readers take no lock, so the open table's own work goes on),
// read whole and closed again; nothing in it is written. A table that cannot
// be read throws AppError naming it: "Не удалось прочитать запись b.db: …".
// With a period, only its rows (none: a recording without points).
ChartRecording readChartRecording(const QString& file, CurveChoice choice,
                                  const RegionalSettings& rs,
                                  const std::optional<Period>& period = std::nullopt);

// The earliest moment of a recording's points; nothing without points.
std::optional<double> firstMoment(const ChartPoints& points);
// Moves every point `dx` along the time axis.
void shiftPoints(ChartPoints& points, double dx);

// The recordings a chart shows at most, the open table's own included.
inline constexpr int kMostChartRecordings = 8;
