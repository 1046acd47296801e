#include "charts/measurement_chart.h"

#include "components/date_time_chart.h"
#include "data/measurement_schema.h"

const QString MeasurementChart::kBottomFormat =
    QStringLiteral("hh:mm:ss") + QChar(13) + QStringLiteral("dd.MM.yy");

void MeasurementChart::setUp(DateTimeChart& chart)
{
    chart.setObjectName(QStringLiteral("Chart1"));
    chart.addCurve(QStringLiteral("Series1"), QStringLiteral("T1"), QColor(255, 0, 0));
    chart.addCurve(QStringLiteral("Series2"), QStringLiteral("T2"), QColor(0, 0, 255));
    chart.setMarginPercent(3, 5, 3, 4);
    chart.setBottomAxisFormat(kBottomFormat);
}

void MeasurementChart::build(DateTimeChart& chart, CurveChoice choice, const ChartSource& source,
                             const RegionalSettings& rs)
{
    chart.resetZoom();
    chart.clearCurve(kT1);
    chart.clearCurve(kT2);
    chart.setCurveInLegend(kT1, choice.t1);
    chart.setCurveInLegend(kT2, choice.t2);
    chart.setDecimalSeparator(rs.decimalSeparator);

    const qsizetype n = source.count ? source.count() : 0;
    chart.setBottomAxisFormat(kBottomFormat);
    ChartPoints points = buildChartPoints(n, source.rowAt, choice, rs);
    chart.setPoints(kT1, std::move(points.t1));
    chart.setPoints(kT2, std::move(points.t2));

    // The axis's earlier range plays no part: a window replaces it whole.
    chart.setLeftAxisAutomatic(false);
    const AxisWindow window = leftAxisWindow(choice, {chart.minY(kT1), chart.maxY(kT1)},
                                             {chart.minY(kT2), chart.maxY(kT2)});
    if (window.automatic) {
        chart.setLeftAxisAutomatic(true);
    } else {
        chart.setLeftAxisRange(window.min, window.max);
    }

    const auto footer = [&](const QString& field) {
        return source.footerText ? source.footerText(field) : QString();
    };
    if (choice.t1)
        chart.setCurveTitle(
            kT1, legendTitle(MeasurementSchema::kT1Caption, footer(MeasurementSchema::kT1)));
    if (choice.t2)
        chart.setCurveTitle(
            kT2, legendTitle(MeasurementSchema::kT2Caption, footer(MeasurementSchema::kT2)));
}
