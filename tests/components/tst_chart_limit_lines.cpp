// Limits over the chart's curves: a dashed line in the curve's colour at each
// limit and the excursions beyond it shaded, in the picture the chart saves;
// nothing for a curve left out of the legend; the legend itself untouched.
// The two-point measure between readings.
#include "components/chart_limit_lines.h"
#include "components/chart_measure.h"
#include "components/date_time_chart.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QImage>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainterPath>
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
    void linesAndExcursions()
    {
        DateTimeChart chart;
        const int t1 = chart.addCurve("Series1", "T1", Qt::red);
        const int t2 = chart.addCurve("Series2", "T2", Qt::blue);
        chart.resize(700, 450);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        // T1 rises above its upper limit 24 (to 25,5 at 20 s) and falls below
        // its lower limit 20 (to 18,5 at 45 s); T2 stays at 22, inside its
        // limits 19 and 25. The axis runs from 17 to 27.
        chart.setPoints(t1, {{0, 21.5}, {20000, 25.5}, {30000, 22}, {45000, 18.5}, {60000, 22}});
        chart.setPoints(t2, {{0, 22.0}, {60000, 22.0}});
        chart.setCurveTitle(t1, "T1, °C  18,5/21,9/25,5");
        chart.setLeftAxisAutomatic(false);
        chart.setLeftAxisRange(17, 27);
        ChartLimitLines limits(chart);
        limits.setLimits(t1, 20.0, 24.0);
        limits.setLimits(t2, 19.0, 25.0);
        QTRY_VERIFY(!chart.refreshPending()); // the axes and curves follow the change

        QTemporaryDir dir;
        chart.saveImage(dir.filePath("c.png"));
        const QImage png = QImage(dir.filePath("c.png")).convertToFormat(QImage::Format_RGB32);
        QChart* c = chart.chart();
        const QRectF plot = c->plotArea();
        const int x0 = int(plot.left()) + 2, x1 = int(plot.right()) - 2;
        const auto place = [&](double ms, double value) {
            return c->mapToPosition(QPointF(ms, value), chart.series(t1)).toPoint();
        };
        const auto rowOf = [&](double value) { return place(0, value).y(); };
        // Dashed: the row of each limit is partly in the curve's colour, partly not.
        for (const auto& [limit, colour] : {std::pair{20.0, qRgb(255, 0, 0)},
                                            {24.0, qRgb(255, 0, 0)},
                                            {19.0, qRgb(0, 0, 255)},
                                            {25.0, qRgb(0, 0, 255)}}) {
            int best = 0;
            for (int dy = -1; dy <= 1; ++dy)
                best = std::max(best, inRow(png, rowOf(limit) + dy, x0, x1, colour));
            QVERIFY2(
                best > (x1 - x0) / 4 && best < (x1 - x0) * 9 / 10,
                qPrintable(QStringLiteral("limit %1: %2 of %3").arg(limit).arg(best).arg(x1 - x0)));
        }
        const auto tintedRed = [](QRgb p) {
            return qRed(p) == 255 && qGreen(p) > 100 && qGreen(p) < 240 && qBlue(p) > 100 &&
                   qBlue(p) < 240;
        };
        const auto describe = [&](QPoint at) {
            return QStringLiteral("%1,%2: %3").arg(at.x()).arg(at.y()).arg(png.pixel(at), 0, 16);
        };
        // Between the curve and the limit where T1 is out: shaded in its colour.
        for (const QPoint at : {place(17500, 24.5), place(47500, 19.5)})
            QVERIFY2(tintedRed(png.pixel(at)), qPrintable(describe(at)));
        // Beyond the limits where the readings are in them the plot stays
        // white: above T1's upper limit, and between T2's lower limit and
        // T1's, where one curve's band once covered the other's room.
        for (const QPoint at :
             {place(57500, 26.5), place(57500, 19.5), place(7500, 17.5), place(37500, 24.5)})
            QCOMPARE(png.pixel(at) & 0xFFFFFF, 0xFFFFFFu);
        QCOMPARE(chart.curveTitle(t1), QStringLiteral("T1, °C  18,5/21,9/25,5"));

        // A curve out of the legend has no limits drawn; without limits
        // there are no dashes at all.
        chart.setCurveInLegend(t2, false);
        QTRY_VERIFY(!chart.refreshPending());
        chart.saveImage(dir.filePath("d.png"));
        const QImage noT2 = QImage(dir.filePath("d.png")).convertToFormat(QImage::Format_RGB32);
        for (double limit : {19.0, 25.0})
            QCOMPARE(inRow(noT2, rowOf(limit), x0, x1, qRgb(0, 0, 255)), 0);
        limits.clearLimits();
        QTRY_VERIFY(!chart.refreshPending());
        chart.saveImage(dir.filePath("e.png"));
        const QImage plain = QImage(dir.filePath("e.png")).convertToFormat(QImage::Format_RGB32);
        // (the curve itself crosses the row in a pixel or two)
        QVERIFY(inRow(plain, rowOf(20.0), x0, x1, qRgb(255, 0, 0)) < 6);
        QVERIFY(!tintedRed(plain.pixel(place(17500, 24.5))));
    }

    // The figure between a polyline and a limit, in pixels (Y grows downward).
    void excursions_data()
    {
        QTest::addColumn<QList<QPointF>>("polyline");
        QTest::addColumn<bool>("above");
        QTest::addColumn<QList<QPointF>>("inside");
        QTest::addColumn<QList<QPointF>>("outside");
        // The limit is at y = 50 in every row.
        QTest::newRow("a peak above")
            << QList<QPointF>{{0, 60}, {10, 30}, {20, 60}} << true
            << QList<QPointF>{{10, 35}, {6, 45}} << QList<QPointF>{{10, 55}, {2, 45}, {10, 25}};
        QTest::newRow("starts and ends beyond")
            << QList<QPointF>{{0, 40}, {10, 60}, {20, 40}} << true
            << QList<QPointF>{{1, 45}, {19, 45}} << QList<QPointF>{{10, 45}, {10, 55}};
        QTest::newRow("a dip below")
            << QList<QPointF>{{0, 40}, {10, 70}, {20, 40}} << false << QList<QPointF>{{10, 65}}
            << QList<QPointF>{{10, 45}, {2, 55}};
        QTest::newRow("never beyond") << QList<QPointF>{{0, 60}, {20, 55}} << true
                                      << QList<QPointF>{} << QList<QPointF>{{10, 45}, {10, 57}};
    }
    void excursions()
    {
        QFETCH(QList<QPointF>, polyline);
        QFETCH(bool, above);
        QFETCH(QList<QPointF>, inside);
        QFETCH(QList<QPointF>, outside);
        const QPainterPath path = ChartLimitLines::excursions(polyline, 50, above);
        for (const QPointF& p : inside)
            QVERIFY2(path.contains(p), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        for (const QPointF& p : outside)
            QVERIFY2(!path.contains(p), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    }

    void measureText_data()
    {
        QTest::addColumn<double>("ms");
        QTest::addColumn<double>("degrees");
        QTest::addColumn<QString>("text");
        QTest::newRow("an hour and a half")
            << 5400000.0 << 1.5 << "Δt 01:30:00   ΔT 1,5 °C   1 °C/ч";
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

    // Shift + drag measures between readings: each end takes the nearest
    // reading of the curve nearest to the mouse, wherever between readings
    // the mouse is. The read-out's box lies where no curve runs; the measure
    // stays through zoom and pan; a plain click ends it.
    void measureGesture()
    {
        DateTimeChart chart;
        const int t1 = chart.addCurve("Series1", "T1", Qt::red);
        const int t2 = chart.addCurve("Series2", "T2", Qt::blue);
        chart.resize(700, 450);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        // Readings every ten minutes for twelve hours: T1 high (25 … 26,5,
        // starting in the upper left corner), T2 low (18 … 19).
        const double t0 = QDateTime(QDate(2026, 12, 1), QTime(0, 0)).toMSecsSinceEpoch();
        const double tenMinutes = 600000;
        QList<QPointF> high, low;
        for (int k = 0; k <= 72; ++k) {
            high.append({t0 + k * tenMinutes, 26.5 - (k % 4) * 0.5});
            low.append({t0 + k * tenMinutes, 18.0 + (k % 3) * 0.5});
        }
        chart.setPoints(t1, high);
        chart.setPoints(t2, low);
        chart.setLeftAxisAutomatic(false);
        chart.setLeftAxisRange(17, 27);
        ChartMeasure measure(chart);
        QTRY_VERIFY(!chart.refreshPending());
        QChart* c = chart.chart();
        QWidget* viewport = chart.chartView()->viewport();
        const auto at = [&](double x, double y) {
            const QPointF scene = c->mapToScene(c->mapToPosition(QPointF(x, y), chart.series(t1)));
            return chart.chartView()->mapFromScene(scene);
        };
        // From 3 min 37 s after T1's reading no. 3 (26,5 − 1,5 = 25 °C) to
        // 4 min 11 s before T2's no. 15 (18 + 0 = 18 °C): readings two hours apart.
        QTest::mousePress(viewport, Qt::LeftButton, Qt::ShiftModifier,
                          at(t0 + 3 * tenMinutes + 217000, 25.0));
        QTest::mouseMove(viewport, at(t0 + 9 * tenMinutes, 22));
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ShiftModifier,
                            at(t0 + 15 * tenMinutes - 251000, 18.1));
        const QString expected = QStringLiteral("Δt 02:00:00   ΔT -7 °C   -3,5 °C/ч");
        QCOMPARE(measure.text(), expected);
        QCOMPARE(measure.from(), QPointF(t0 + 3 * tenMinutes, 25.0));
        QCOMPARE(measure.to(), QPointF(t0 + 15 * tenMinutes, 18.0));

        // The box is clear of the curves: none of their pixels lie under it.
        const QRectF box = measure.box();
        QVERIFY(!box.isEmpty());
        QVERIFY2(QRectF(QPointF(0, 0), c->size()).contains(box),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(box.x())
                                .arg(box.y())
                                .arg(box.width())
                                .arg(box.height())));
        const auto curvePixelsIn = [&](const QRectF& r) {
            QTemporaryDir dir;
            measure.clear();
            chart.saveImage(dir.filePath("m.png"));
            const QImage png = QImage(dir.filePath("m.png")).convertToFormat(QImage::Format_RGB32);
            int n = 0;
            const QRect pixels = r.toAlignedRect().intersected(png.rect());
            for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
                n += inRow(png, y, pixels.left(), pixels.right() + 1, qRgb(255, 0, 0));
                n += inRow(png, y, pixels.left(), pixels.right() + 1, qRgb(0, 0, 255));
            }
            return n;
        };
        QCOMPARE(curvePixelsIn(box), 0);

        // Through a zoom (a rectangle dragged with the left button) and a pan
        // (a drag with the right one) the measure stays on its readings.
        measure.measureBetween(at(t0 + 3 * tenMinutes + 217000, 25.0),
                               at(t0 + 15 * tenMinutes - 251000, 18.1));
        QCOMPARE(measure.text(), expected);
        const auto onItsReadings = [&] {
            const QLineF line = measure.line();
            const QPointF a = c->mapToPosition(measure.from(), chart.series(t1));
            const QPointF b = c->mapToPosition(measure.to(), chart.series(t1));
            return (line.p1() - a).manhattanLength() < 0.5 &&
                   (line.p2() - b).manhattanLength() < 0.5;
        };
        QVERIFY(onItsReadings());
        const QPoint zoomFrom = at(t0 + 2 * tenMinutes, 26.8);
        const QPoint zoomTo = at(t0 + 30 * tenMinutes, 17.5);
        QTest::mousePress(viewport, Qt::LeftButton, {}, zoomFrom);
        QMouseEvent drag(QEvent::MouseMove, zoomTo, viewport->mapToGlobal(zoomTo), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drag);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, zoomTo);
        QVERIFY(chart.isZoomed());
        QTRY_VERIFY(!chart.refreshPending());
        QCOMPARE(measure.text(), expected);
        QVERIFY(onItsReadings());
        const QPoint panFrom = chart.plotArea().center().toPoint();
        const QPoint panTo = panFrom + QPoint(-120, 30);
        QTest::mousePress(viewport, Qt::RightButton, {}, panFrom);
        QMouseEvent pan(QEvent::MouseMove, panTo, viewport->mapToGlobal(panTo), Qt::NoButton,
                        Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &pan);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, panTo);
        QTRY_VERIFY(!chart.refreshPending());
        QCOMPARE(measure.text(), expected);
        QVERIFY(onItsReadings());
        QCOMPARE(curvePixelsIn(measure.box()), 0);

        // A plain click ends it.
        measure.measureBetween(at(t0 + 3 * tenMinutes, 25.0), at(t0 + 15 * tenMinutes, 18.0));
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at(t0 + 20 * tenMinutes, 21));
        QCOMPARE(measure.text(), QString());
    }
};

QTEST_MAIN(TestChartLimitLines)
#include "tst_chart_limit_lines.moc"
