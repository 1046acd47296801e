#include "charts/measurement_chart.h"

#include "components/date_time_chart.h"
#include "data/measurement_schema.h"

#include <algorithm>

const QString MeasurementChart::kBottomFormat =
    QStringLiteral("hh:mm:ss") + QChar(13) + QStringLiteral("dd.MM.yy");

const QList<std::pair<QColor, QColor>> MeasurementChart::kRecordingColours = {
    {QColor(255, 140, 0), QColor(0, 150, 150)},   // orange, teal
    {QColor(160, 0, 160), QColor(0, 150, 0)},     // purple, green
    {QColor(140, 80, 20), QColor(100, 140, 255)}, // brown, light blue
    {QColor(255, 0, 255), QColor(0, 0, 110)},     // magenta, navy
    {QColor(128, 128, 0), QColor(0, 200, 255)},   // olive, sky blue
    {QColor(255, 105, 180), QColor(70, 70, 70)},  // pink, dark grey
    {QColor(200, 170, 0), QColor(0, 90, 40)},     // dark yellow, dark green
};

void MeasurementChart::setUp(DateTimeChart& chart)
{
    chart.setObjectName(QStringLiteral("Chart1"));
    chart.addCurve(QStringLiteral("Series1"), QStringLiteral("T1"), QColor(255, 0, 0));
    chart.addCurve(QStringLiteral("Series2"), QStringLiteral("T2"), QColor(0, 0, 255));
    chart.setMarginPercent(3, 5, 3, 4);
    chart.setBottomAxisFormat(kBottomFormat);
}

OwnCurves MeasurementChart::build(DateTimeChart& chart, CurveChoice choice,
                                  const ChartSource& source, const RegionalSettings& rs,
                                  const QList<ChartRecording>& others, ChartAlignment alignment)
{
    chart.resetZoom();
    chart.clearCurve(kT1);
    chart.clearCurve(kT2);
    chart.removeCurves(kT2 + 1);
    chart.setCurveInLegend(kT1, choice.t1);
    chart.setCurveInLegend(kT2, choice.t2);

    const qsizetype n = source.count ? source.count() : 0;
    OwnCurves own;
    own.points = buildChartPoints(n, source.rowAt, choice, rs);
    const auto footer = [&](const QString& field) {
        return source.footerText ? source.footerText(field) : QString();
    };
    own.footerT1 = footer(MeasurementSchema::kT1);
    own.footerT2 = footer(MeasurementSchema::kT2);
    draw(chart, choice, own, others, alignment, rs);
    return own;
}

void MeasurementChart::draw(DateTimeChart& chart, CurveChoice choice, const OwnCurves& own,
                            const QList<ChartRecording>& others, ChartAlignment alignment,
                            const RegionalSettings& rs)
{
    chart.resetZoom();
    chart.removeCurves(kT2 + 1);
    chart.setCurveInLegend(kT1, choice.t1);
    chart.setCurveInLegend(kT2, choice.t2);
    chart.setDecimalSeparator(rs.decimalSeparator);
    chart.setBottomAxisFormat(kBottomFormat);
    const bool fromStart = alignment == ChartAlignment::Start;
    chart.setElapsedTime(fromStart);

    // "с начала": each recording's first moment at 0.
    const auto aligned = [fromStart](ChartPoints points) {
        if (fromStart)
            if (const std::optional<double> first = firstMoment(points))
                shiftPoints(points, -*first);
        return points;
    };
    ChartPoints points = aligned(own.points);
    chart.setPoints(kT1, std::move(points.t1));
    chart.setPoints(kT2, std::move(points.t2));

    // The temperature axis's rule over every curve drawn: the table's own
    // ranges as the single chart has them, widened by the other curves.
    YRange t1{chart.minY(kT1), chart.maxY(kT1)}, t2{chart.minY(kT2), chart.maxY(kT2)};
    bool any1 = !chart.points(kT1).isEmpty(), any2 = !chart.points(kT2).isEmpty();
    const auto widen = [](YRange& range, bool& any, const QList<QPointF>& curve) {
        if (curve.isEmpty())
            return;
        const YRange r = yRange(curve);
        range = any ? YRange{std::min(range.min, r.min), std::max(range.max, r.max)} : r;
        any = true;
    };

    const qsizetype shown = std::min<qsizetype>(others.size(), qsizetype(kRecordingColours.size()));
    for (qsizetype i = 0; i < shown; ++i) {
        const ChartRecording& r = others[i];
        const auto& [colour1, colour2] = kRecordingColours[i];
        const QString n = QString::number(i + 2);
        const int c1 = chart.addCurve(QStringLiteral("Recording%1T1").arg(n),
                                      r.name + QStringLiteral(": T1"), colour1);
        const int c2 = chart.addCurve(QStringLiteral("Recording%1T2").arg(n),
                                      r.name + QStringLiteral(": T2"), colour2);
        ChartPoints p = aligned(r.points);
        if (choice.t1)
            widen(t1, any1, p.t1);
        if (choice.t2)
            widen(t2, any2, p.t2);
        chart.setPoints(c1, choice.t1 ? std::move(p.t1) : QList<QPointF>());
        chart.setPoints(c2, choice.t2 ? std::move(p.t2) : QList<QPointF>());
        chart.setCurveInLegend(c1, choice.t1);
        chart.setCurveInLegend(c2, choice.t2);
        chart.setCurveTitle(c1, r.name + QStringLiteral(": ") + MeasurementSchema::kT1Caption);
        chart.setCurveTitle(c2, r.name + QStringLiteral(": ") + MeasurementSchema::kT2Caption);
    }

    // The axis's earlier range plays no part: a window replaces it whole.
    chart.setLeftAxisAutomatic(false);
    const AxisWindow window = leftAxisWindow(choice, t1, t2);
    if (window.automatic) {
        chart.setLeftAxisAutomatic(true);
    } else {
        chart.setLeftAxisRange(window.min, window.max);
    }

    if (choice.t1)
        chart.setCurveTitle(kT1, legendTitle(MeasurementSchema::kT1Caption, own.footerT1));
    if (choice.t2)
        chart.setCurveTitle(kT2, legendTitle(MeasurementSchema::kT2Caption, own.footerT2));
}
