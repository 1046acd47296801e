// Limits over the chart's curves: a dashed line in the curve's colour at each
// limit and a light band beyond it, in the picture the chart saves; nothing
// for a curve left out of the legend; the legend itself untouched.
#include "components/chart_limit_lines.h"
#include "components/chart_measure.h"
#include "components/date_time_chart.h"

#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Pixels of row y between x0 and x1 of exactly this colour.
int inRow(const QImage& image, int y, int x0, int x1, QRgb colour)
{
    int n = 0;
    for (int x = x0; x < x1; ++x)
        n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

} // namespace

class TestChartLimitLines : public QObject
{
    Q_OBJECT

private slots:
    void linesAndBands()
    {
        DateTimeChart chart;
        const int t1 = chart.addCurve("Series1", "T1", Qt::red);
        const int t2 = chart.addCurve("Series2", "T2", Qt::blue);
        chart.resize(700, 450);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        // T1 stays between 21,5 and 22,5, so its own line never crosses the
        // rows of the limits; the axis runs from 17 to 27.
        chart.setPoints(t1, {{0, 21.5}, {30000, 22.5}, {60000, 22.0}});
        chart.setPoints(t2, {{0, 22.0}, {60000, 22.0}});
        chart.setCurveTitle(t1, "T1, °C  21,5/22/22,5");
        chart.setCurveInLegend(t2, false);
        chart.setLeftAxisAutomatic(false);
        chart.setLeftAxisRange(17, 27);
        ChartLimitLines limits(chart);
        limits.setLimits(t1, 20.0, 24.0);
        limits.setLimits(t2, 19.0, 25.0); // T2 is not shown: no line
        QTest::qWait(20);

        QTemporaryDir dir;
        chart.saveImage(dir.filePath("c.png"));
        const QImage png = QImage(dir.filePath("c.png")).convertToFormat(QImage::Format_RGB32);
        QChart* c = chart.chart();
        const QRectF plot = c->plotArea();
        const int x0 = int(plot.left()) + 2, x1 = int(plot.right()) - 2;
        const auto rowOf = [&](double value, int curve) {
            return int(std::lround(c->mapToPosition(QPointF(0, value), chart.series(curve)).y()));
        };
        // Dashed: the row of each limit is partly red, partly not.
        for (double limit : {20.0, 24.0}) {
            int best = 0;
            for (int dy = -1; dy <= 1; ++dy)
                best = std::max(best, inRow(png, rowOf(limit, t1) + dy, x0, x1, qRgb(255, 0, 0)));
            QVERIFY2(best > (x1 - x0) / 4 && best < (x1 - x0) * 9 / 10,
                     qPrintable(QStringLiteral("limit %1: %2 red of %3").arg(limit).arg(best).arg(x1 - x0)));
        }
        // The band beyond the upper limit is tinted with the curve's colour,
        // the room between the limits stays white (rows between grid lines).
        const QRgb above = png.pixel(x0 + 30, rowOf(26.5, t1));
        QCOMPARE(qRed(above), 255);
        QVERIFY2(qGreen(above) < 250 && qGreen(above) > 200, qPrintable(QString::number(above, 16)));
        const QRgb below = png.pixel(x0 + 30, rowOf(18.5, t1));
        QVERIFY(qGreen(below) < 250 && qBlue(below) < 250);
        QCOMPARE(png.pixel(x0 + 30, rowOf(23.5, t1)) & 0xFFFFFF, 0xFFFFFFu);
        // T2 is out of the legend: no blue line, no band of its own.
        for (double limit : {19.0, 25.0})
            QCOMPARE(inRow(png, rowOf(limit, t2), x0, x1, qRgb(0, 0, 255)), 0);
        QCOMPARE(chart.curveTitle(t1), QStringLiteral("T1, °C  21,5/22/22,5"));

        // Without limits the picture has no dashes.
        limits.clearLimits();
        QTest::qWait(20);
        chart.saveImage(dir.filePath("d.png"));
        const QImage plain = QImage(dir.filePath("d.png")).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(inRow(plain, rowOf(20.0, t1), x0, x1, qRgb(255, 0, 0)), 0);
    }

    void measureText_data()
    {
        QTest::addColumn<double>("ms");
        QTest::addColumn<double>("degrees");
        QTest::addColumn<QString>("text");
        QTest::newRow("an hour and a half") << 5400000.0 << 1.5 << "Δt 01:30:00   ΔT 1,5 °C   1 °C/ч";
        QTest::newRow("no time") << 0.0 << 2.0 << "Δt 00:00:00   ΔT 2 °C   —";
        QTest::newRow("two days back")
            << -(49 * 3600000.0) << 3.25 << "Δt -2 сут 01:00:00   ΔT 3,25 °C   -0,07 °C/ч";
    }
    void measureText()
    {
        QFETCH(double, ms);
        QFETCH(double, degrees);
        QFETCH(QString, text);
        QCOMPARE(ChartMeasure::measureText(ms, degrees, u','), text);
    }

    // Shift + drag measures; a plain click afterwards ends the measure.
    void measureGesture()
    {
        DateTimeChart chart;
        const int t1 = chart.addCurve("Series1", "T1", Qt::red);
        chart.resize(700, 450);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.setPoints(t1, {{0, 20}, {3600000, 24}});
        chart.setLeftAxisAutomatic(false);
        chart.setLeftAxisRange(17, 27);
        ChartMeasure measure(chart);
        QTest::qWait(20);
        QChart* c = chart.chart();
        QWidget* viewport = chart.chartView()->viewport();
        const auto at = [&](double x, double y) {
            const QPointF scene = c->mapToScene(c->mapToPosition(QPointF(x, y), chart.series(t1)));
            return chart.chartView()->mapFromScene(scene);
        };
        QTest::mousePress(viewport, Qt::LeftButton, Qt::ShiftModifier, at(600000, 20));
        QTest::mouseMove(viewport, at(1800000, 21));
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ShiftModifier, at(2400000, 22));
        // 30 minutes and 2 degrees, give or take a pixel of the plot.
        const QRegularExpression re("^Δt 00:(\\d\\d):\\d\\d   ΔT ([0-9,]+) °C   ([0-9,]+) °C/ч$");
        const auto m = re.match(measure.text());
        QVERIFY2(m.hasMatch(), qPrintable(measure.text()));
        QVERIFY(std::abs(m.captured(1).toInt() - 30) <= 1);
        QVERIFY(std::abs(m.captured(2).replace(',', '.').toDouble() - 2.0) < 0.1);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at(1800000, 25));
        QCOMPARE(measure.text(), QString());
    }
};

QTEST_MAIN(TestChartLimitLines)
#include "tst_chart_limit_lines.moc"
