// The chart component: the per-column envelope, curves and axes, zooming and
// the pictures it saves.
#include "components/chart_envelope.h"
#include "components/date_time_chart.h"
#include "platform/app_error.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLineItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The lowest and highest Y in each of `columns` equal slices of [xMin, xMax).
QList<QPair<double, double>> extremes(const QList<QPointF>& points, double xMin, double xMax,
                                      int columns)
{
    QList<QPair<double, double>> out(columns, {qInf(), -qInf()});
    for (const QPointF& p : points) {
        const int c = int(std::floor((p.x() - xMin) / (xMax - xMin) * columns));
        if (c < 0 || c >= columns)
            continue;
        out[c].first = std::min(out[c].first, p.y());
        out[c].second = std::max(out[c].second, p.y());
    }
    return out;
}

QList<QPointF> noisyCurve(int n, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<QPointF> points;
    double x = 0;
    for (int i = 0; i < n; ++i) {
        x += random.bounded(3); // steps of 0, 1 or 2: equal X happen
        points.append({x, random.bounded(200.0) - 100});
    }
    return points;
}

int countColour(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

struct ShownChart
{
    DateTimeChart chart;
    int t1 = chart.addCurve("Series1", "T1", Qt::red);
    int t2 = chart.addCurve("Series2", "T2", Qt::blue);
    ShownChart()
    {
        chart.resize(700, 450);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
    }
    // The axes and curves follow a change once the event loop has run.
    void settle() { QTRY_VERIFY(!chart.refreshPending()); }
};

} // namespace

class TestDateTimeChart : public QObject
{
    Q_OBJECT

private slots:
    void envelopeKeepsEveryColumnsExtremes_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("columns");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::newRow("most of the curve") << 5000 << 37 << 10.0 << 4000.0;
        QTest::newRow("zoomed in") << 5000 << 50 << 1200.5 << 1800.25;
        QTest::newRow("fewer points than columns") << 300 << 200 << 5.0 << 250.0;
    }
    void envelopeKeepsEveryColumnsExtremes()
    {
        QFETCH(int, points);
        QFETCH(int, columns);
        QFETCH(double, from);
        QFETCH(double, to);
        const QList<QPointF> curve = noisyCurve(points, 7);
        const QList<QPointF> env = chartEnvelope(curve, from, to, columns);
        QCOMPARE(extremes(env, from, to, columns), extremes(curve, from, to, columns));
        QVERIFY(env.size() <= 4 * columns + 2);
        // In order, and running on past both edges.
        QVERIFY(std::is_sorted(env.cbegin(), env.cend(),
                               [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
        QVERIFY(env.front().x() < from);
        QVERIFY(env.back().x() > to);
    }

    void envelopeOfAFewPointsIsThePoints()
    {
        const QList<QPointF> few{{1, 5}, {2, -1}, {2, 7}, {3, 0}};
        QCOMPARE(chartEnvelope(few, 0, 10, 700), few);
        QCOMPARE(chartEnvelope({}, 0, 10, 700), QList<QPointF>{});
    }

    void isolatedPoints_data()
    {
        QTest::addColumn<QList<QPointF>>("points");
        QTest::addColumn<QList<QPointF>>("isolated");
        QTest::newRow("none") << QList<QPointF>{} << QList<QPointF>{};
        QTest::newRow("one reading") << QList<QPointF>{{5, 20}} << QList<QPointF>{{5, 20}};
        QTest::newRow("one reading twice")
            << QList<QPointF>{{5, 20}, {5, 20}} << QList<QPointF>{{5, 20}};
        QTest::newRow("one moment, two values")
            << QList<QPointF>{{5, 20}, {5, 21}} << QList<QPointF>{};
        QTest::newRow("a line") << QList<QPointF>{{5, 20}, {6, 20}, {7, 22}} << QList<QPointF>{};
    }
    void isolatedPoints()
    {
        QFETCH(QList<QPointF>, points);
        QFETCH(QList<QPointF>, isolated);
        QCOMPARE(::isolatedPoints(points), isolated);
    }

    // A curve of one reading has no line to draw: a round marker in its
    // colour stands at the reading, and goes when the view moves away.
    void aLoneReadingIsAMarker()
    {
        ShownChart f;
        const double t0 = QDateTime(QDate(2026, 12, 1), QTime(12, 0)).toMSecsSinceEpoch();
        f.chart.setPoints(f.t1, {{t0, 22.0}});
        f.chart.setPoints(f.t2, {{t0, 20.0}, {t0, 20.0}});
        f.chart.setLeftAxisAutomatic(false);
        f.chart.setLeftAxisRange(16, 26);
        f.settle();
        QTemporaryDir dir;
        f.chart.saveImage(dir.filePath("one.png"));
        const QImage png = QImage(dir.filePath("one.png")).convertToFormat(QImage::Format_RGB32);
        // The lone moment stands in the middle of the time axis; 22 is six
        // tenths, 20 four tenths up the 16 … 26 window.
        const QRectF plot = f.chart.chart()->plotArea();
        const auto at = [&](double share) {
            return QPointF(plot.center().x(), plot.bottom() - share * plot.height()).toPoint();
        };
        const auto count = [&](QPoint centre, QRgb colour) {
            int n = 0;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    n += (png.pixel(centre + QPoint(dx, dy)) & 0xFFFFFF) == (colour & 0xFFFFFF);
            return n;
        };
        QVERIFY2(count(at(0.6), qRgb(255, 0, 0)) >= 9,
                 qPrintable(QString::number(count(at(0.6), qRgb(255, 0, 0)))));
        QVERIFY(count(at(0.4), qRgb(0, 0, 255)) >= 9);
        // Nowhere else in the plot (the legend has its own marks below it).
        const QImage inPlot = png.copy(plot.toAlignedRect());
        QVERIFY(countColour(inPlot, qRgb(255, 0, 0)) < 60);
        QVERIFY(countColour(inPlot, qRgb(0, 0, 255)) < 60);

        // Panned far away: no marker at the plot's edge.
        f.chart.pan(-plot.width() * 3, 0);
        f.settle();
        f.chart.saveImage(dir.filePath("away.png"));
        const QImage away = QImage(dir.filePath("away.png")).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(countColour(away.copy(plot.toAlignedRect()), qRgb(255, 0, 0)), 0);
        // Cleared: nothing.
        f.chart.resetZoom();
        f.chart.clearCurve(f.t1);
        f.settle();
        f.chart.saveImage(dir.filePath("none.png"));
        const QImage none = QImage(dir.filePath("none.png")).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(countColour(none.copy(plot.toAlignedRect()), qRgb(255, 0, 0)), 0);
    }

    void curvesKeepTheirOrderAndExtremes()
    {
        DateTimeChart chart;
        const int c = chart.addCurve("Series1", "T1", QColor(255, 0, 0));
        QCOMPARE(chart.minY(c), 0.0);
        QCOMPARE(chart.maxY(c), 0.0);
        chart.addPoint(c, 20, 1);
        chart.addPoint(c, 10, 2);
        chart.addPoint(c, 20, 3); // after the point with the same X
        chart.addPoint(c, 15, -4);
        QCOMPARE(chart.points(c), (QList<QPointF>{{10, 2}, {15, -4}, {20, 1}, {20, 3}}));
        QCOMPARE(chart.minY(c), -4.0);
        QCOMPARE(chart.maxY(c), 3.0);
        QCOMPARE(chart.curveColor(c), QColor(255, 0, 0));
        chart.clearCurve(c);
        QVERIFY(chart.points(c).isEmpty());
        QCOMPARE(chart.maxY(c), 0.0);
    }

    void legendListsOnlyChosenCurves()
    {
        ShownChart f;
        f.chart.setCurveTitle(f.t1, "T1, °C  1/2/3");
        f.chart.setCurveInLegend(f.t2, false);
        const auto markers = f.chart.chart()->legend()->markers();
        QCOMPARE(markers.size(), 2);
        QVERIFY(markers[0]->isVisible());
        QCOMPARE(markers[0]->label().replace(QChar(0xA0), u' '), QString("T1, °C  1/2/3"));
        QCOMPARE(f.chart.curveTitle(f.t1), QString("T1, °C  1/2/3"));
        QVERIFY(!markers[1]->isVisible());
        QCOMPARE(f.chart.chart()->legend()->alignment(), Qt::AlignBottom);
        QCOMPARE(f.chart.chart()->legend()->font().pixelSize(), 13);
    }

    void leftAxisFixedOrFitted()
    {
        ShownChart f;
        f.chart.setPoints(f.t1, {{0, 3.2}, {1000, 41.7}});
        f.chart.setLeftAxisAutomatic(false);
        f.chart.setLeftAxisRange(17, 27);
        QCOMPARE(f.chart.leftAxisMin(), 17.0);
        QCOMPARE(f.chart.leftAxisMax(), 27.0);
        f.chart.setLeftAxisAutomatic(true);
        QVERIFY(f.chart.leftAxisMin() <= 3.2 && f.chart.leftAxisMin() > 2);
        QVERIFY(f.chart.leftAxisMax() >= 41.7 && f.chart.leftAxisMax() < 43);
        QCOMPARE(f.chart.bottomAxisMin(), 0.0);
        QCOMPARE(f.chart.bottomAxisMax(), 1000.0);
    }

    // Qt Charts gets the envelope of what is visible: a handful of points
    // per pixel column, recomputed on zoom so a narrow spike shows up.
    void zoomRecomputesTheEnvelope()
    {
        ShownChart f;
        QList<QPointF> points;
        for (int i = 0; i < 200000; ++i)
            points.append({double(i) * 1000, (i % 2) ? 1.0 : -1.0});
        points[123457].setY(50); // one spike
        f.chart.setPoints(f.t1, points);
        f.chart.setLeftAxisAutomatic(true);
        f.settle();
        const QRectF plot = f.chart.plotArea();
        QVERIFY(plot.width() > 100);
        QLineSeries* series = f.chart.series(f.t1);
        QVERIFY(series->count() <= 4 * int(plot.width()) + 8);
        QCOMPARE(series->count() > 0, true);
        const auto maxOf = [](const QList<QPointF>& p) {
            return std::max_element(p.cbegin(), p.cend(),
                                    [](auto& a, auto& b) { return a.y() < b.y(); })
                ->y();
        };
        QCOMPARE(maxOf(series->points()), 50.0);

        // The tenth of the plot around the spike.
        const double at = plot.left() + plot.width() * 123457 / 199999.0;
        f.chart.zoomTo(
            QRectF(at - plot.width() / 20, plot.top(), plot.width() / 10, plot.height()));
        f.settle();
        QVERIFY(f.chart.isZoomed());
        QVERIFY(f.chart.bottomAxisMin() > 100000.0 * 1000);
        QVERIFY(f.chart.bottomAxisMax() < 150000.0 * 1000);
        QCOMPARE(maxOf(series->points()), 50.0);
        for (const QPointF& p : series->points())
            QVERIFY(p.x() >= f.chart.bottomAxisMin() - 2000 &&
                    p.x() <= f.chart.bottomAxisMax() + 2000);

        // The right button's step back: the full view again.
        f.chart.zoomBack();
        QVERIFY(!f.chart.isZoomed());
        QCOMPARE(f.chart.bottomAxisMin(), 0.0);
    }

    void rightClickStepsBackOut()
    {
        ShownChart f;
        f.chart.setPoints(f.t1, {{0, 0}, {60000, 10}});
        f.settle();
        const QRectF plot = f.chart.plotArea();
        QWidget* viewport = f.chart.chartView()->viewport();
        const QPoint a = plot.topLeft().toPoint() + QPoint(20, 20);
        const QPoint b = plot.center().toPoint();
        QTest::mousePress(viewport, Qt::LeftButton, {}, a);
        QMouseEvent move(QEvent::MouseMove, b, viewport->mapToGlobal(b), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, b);
        QVERIFY(f.chart.isZoomed());
        QVERIFY(f.chart.bottomAxisMax() < 60000);
        QTest::mouseClick(viewport, Qt::RightButton, {}, b);
        QVERIFY(!f.chart.isZoomed());
        QCOMPARE(f.chart.bottomAxisMax(), 60000.0);
    }

    void readOutShowsTheNearestPoint()
    {
        ShownChart f;
        const double t0 = QDateTime(QDate(2024, 2, 1), QTime(10, 0)).toMSecsSinceEpoch();
        f.chart.setPoints(f.t1, {{t0, 21.5}, {t0 + 60000, 22.0}});
        f.chart.setPoints(f.t2, {{t0, -3.0}, {t0 + 60000, 0.5}});
        f.settle();
        const QRectF plot = f.chart.plotArea();
        QCOMPARE(f.chart.readOutAt({plot.left() + plot.width() * 0.3, plot.center().y()}),
                 QString("01.02.2024 10:00:00   T1 = 21,5   T2 = -3,0"));
        QCOMPARE(f.chart.readOutAt({plot.left() + plot.width() * 0.8, plot.center().y()}),
                 QString("01.02.2024 10:01:00   T1 = 22,0   T2 = 0,5"));
        QCOMPARE(f.chart.readOutAt({plot.left() - 5, plot.center().y()}), QString());
    }

    // After a pan or a zoom the line and its text stand where the mouse
    // is, for the point that lies there now.
    void readOutFollowsTheView()
    {
        ShownChart f;
        const double t0 = QDateTime(QDate(2024, 2, 1), QTime(10, 0)).toMSecsSinceEpoch();
        QList<QPointF> points;
        for (int i = 0; i <= 100; ++i)
            points.append({t0 + i * 60000.0, 20.0 + i % 7});
        f.chart.setPoints(f.t1, points);
        f.settle();
        QGraphicsSimpleTextItem* text = nullptr;
        QGraphicsLineItem* line = nullptr;
        for (QGraphicsItem* item : f.chart.chart()->childItems()) {
            if (auto* t = dynamic_cast<QGraphicsSimpleTextItem*>(item))
                text = t;
            if (auto* l = dynamic_cast<QGraphicsLineItem*>(item))
                line = l;
        }
        QVERIFY(text && line);
        const QRectF plot = f.chart.plotArea();
        QWidget* viewport = f.chart.chartView()->viewport();
        const QPoint at =
            (plot.topLeft() + QPointF(plot.width() * 0.4, plot.height() / 2)).toPoint();
        QTest::mouseMove(viewport, at);
        QTRY_VERIFY(text->isVisible());
        const QString before = text->text();
        QCOMPARE(before, f.chart.readOutAt(at));
        // The mouse stays; the keyboard pans and the button zooms.
        const auto inStep = [&] {
            if (!text->isVisible())
                return true;
            const double x = line->mapToScene(line->line().p1()).x();
            const QPointF scenePoint = f.chart.chartView()->mapToScene(at);
            return text->text() == f.chart.readOutAt(at) &&
                   std::abs(x - scenePoint.x()) <= plot.width() / 100 + 1;
        };
        f.chart.chartView()->setFocus();
        QTest::keyClick(f.chart.chartView(), Qt::Key_Left);
        f.settle();
        QVERIFY2(inStep(), qPrintable(text->text()));
        QVERIFY(!text->isVisible() || text->text() != before);
        f.chart.zoomTo(
            QRectF(plot.left() + plot.width() / 4, plot.top(), plot.width() / 2, plot.height()));
        f.settle();
        QVERIFY2(inStep(), qPrintable(text->text()));
    }

    // The time axis's labels fall on round moments of the visible span,
    // evenly, each centred under its own moment, in the two-line format.
    void timeAxisLabelsAtRoundMoments()
    {
        ShownChart f;
        f.chart.setBottomAxisFormat(QStringLiteral("hh:mm:ss\rdd.MM.yy"));
        const double t0 = QDateTime(QDate(2026, 12, 1), QTime(10, 0, 7)).toMSecsSinceEpoch();
        const double minute = 60000;
        // 22 minutes: too many labels a minute apart, five minutes fits.
        f.chart.setPoints(f.t1, {{t0, 20}, {t0 + 22 * minute, 21}});
        f.settle();
        QCOMPARE(f.chart.bottomAxisLabels(),
                 (QStringList{"10:05:00\n01.12.26", "10:10:00\n01.12.26", "10:15:00\n01.12.26",
                              "10:20:00\n01.12.26"}));
        // Each label sits under its moment.
        const QRectF plot = f.chart.plotArea();
        const double from = f.chart.bottomAxisMin(), to = f.chart.bottomAxisMax();
        QList<double> centres;
        for (QGraphicsItem* item : f.chart.chart()->childItems())
            for (QGraphicsItem* child : item->childItems())
                if (auto* label = dynamic_cast<QGraphicsSimpleTextItem*>(child);
                    label && label->isVisible())
                    centres
                        << label->mapToItem(f.chart.chart(), label->boundingRect().center()).x();
        QCOMPARE(centres.size(), 4);
        for (int i = 0; i < 4; ++i) {
            const double at =
                plot.left() + (f.chart.bottomAxisTicks()[i] - from) / (to - from) * plot.width();
            QVERIFY2(std::abs(centres[i] - at) < 1.5, qPrintable(QString::number(centres[i] - at)));
        }
        // A zoom to an odd stretch of an hour and a half: whole quarter or
        // half hours, never the odd moment where the stretch begins.
        f.chart.setPoints(f.t1, {{t0, 20}, {t0 + 97 * minute + 13000, 21}});
        f.settle();
        const QList<double> ticks = f.chart.bottomAxisTicks();
        QVERIFY(ticks.size() >= 2);
        const double step = ticks[1] - ticks[0];
        QVERIFY2(step == 15 * minute || step == 30 * minute, qPrintable(QString::number(step)));
        for (int i = 0; i < ticks.size(); ++i) {
            QCOMPARE(ticks[i] - ticks[0], i * step);
            const QTime at = QDateTime::fromMSecsSinceEpoch(qint64(ticks[i])).time();
            QCOMPARE(at.second(), 0);
            QCOMPARE(at.minute() % 15, 0);
        }
    }

    // However far apart or large the values, the left axis carries a few
    // dozen labels at most, and drawing it ends.
    void leftAxisLabelsStayFew_data()
    {
        QTest::addColumn<QList<double>>("values");
        QTest::newRow("99999") << QList<double>{20, 21, 99999, 22};
        QTest::newRow("-99999") << QList<double>{20, -99999};
        QTest::newRow("1e308") << QList<double>{20, 1e308};
        QTest::newRow("both ends") << QList<double>{-1.7e308, 1.7e308};
        QTest::newRow("equal at 1e308") << QList<double>{1e308, 1e308};
        QTest::newRow("tiny") << QList<double>{1e-300, 2e-300};
    }
    void leftAxisLabelsStayFew()
    {
        QFETCH(QList<double>, values);
        ShownChart f;
        QList<QPointF> points;
        for (qsizetype i = 0; i < values.size(); ++i)
            points.append({i * 60000.0, values[i]});
        f.chart.setPoints(f.t1, points);
        f.chart.setLeftAxisAutomatic(true);
        f.settle();
        QVERIFY(f.chart.leftAxisMax() > f.chart.leftAxisMin());
        int labels = 0;
        for (QGraphicsItem* item : f.chart.chart()->scene()->items())
            labels += item->isVisible() && dynamic_cast<QGraphicsTextItem*>(item) != nullptr;
        QVERIFY2(labels <= 60, qPrintable(QString::number(labels)));
        // The fixed window at such values, and a pan there.
        f.chart.setLeftAxisAutomatic(false);
        f.chart.setLeftAxisRange(values.back() - 5, values.back() + 5);
        f.chart.pan(0, 30);
        f.settle();
        QVERIFY(f.chart.leftAxisMax() > f.chart.leftAxisMin());
    }

    void savesPictures()
    {
        ShownChart f;
        f.chart.setPoints(f.t1, {{0, 0}, {60000, 10}});
        f.chart.setPoints(f.t2, {{0, 10}, {60000, 0}});
        f.chart.setCurveTitle(f.t1, "T1, °C  legend");
        f.settle();
        QTemporaryDir dir;
        f.chart.saveImage(dir.filePath("c.png"));
        const QImage png(dir.filePath("c.png"));
        QCOMPARE(png.size(), f.chart.size());
        QVERIFY(countColour(png, qRgb(255, 0, 0)) > 50);
        QVERIFY(countColour(png, qRgb(0, 0, 255)) > 50);

        f.chart.saveImage(dir.filePath("c.svg"));
        QFile svg(dir.filePath("c.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        // Two blanks drawn as two: rich text would fold them into one.
        QVERIFY(
            QString::fromUtf8(svg.readAll()).replace(QChar(0xA0), u' ').contains("T1, °C  legend"));

        f.chart.saveImage(dir.filePath("c.pdf"));
        QFile pdf(dir.filePath("c.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");

        QVERIFY_THROWS_EXCEPTION(AppError, f.chart.saveImage(dir.filePath("no/such/dir/c.png")));
    }
};

QTEST_MAIN(TestDateTimeChart)
#include "tst_date_time_chart.moc"
