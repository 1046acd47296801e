#include "components/date_time_chart.h"

#include "components/chart_canvas.h"
#include "components/chart_envelope.h"
#include "components/picture_file.h"
#include "data/chart_data.h"
#include "platform/number_text.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QGraphicsLineItem>
#include <QGraphicsPathItem>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// Nothing to fit: an empty chart shows one day from today's midnight, a
// single moment a minute on each side.
constexpr double kOneMinute = 60 * 1000.0;

// Qt Charts draws axis labels as rich text: a carriage return in the format
// becomes a quoted line break.
QString qtLabelFormat(QString format)
{
    return format.replace(QChar(13), QStringLiteral("'<br>'"));
}

// A read-out value as the table writes it: one decimal, the regional
// separator (never the C library's).
QString numberText(double v, QChar separator)
{
    return std::abs(v) < 1e15 ? decimalText(v, 'f', 1, separator)
                              : decimalText(v, 'g', 15, separator);
}

} // namespace

using chart_detail::ChartCanvas;

DateTimeChart::DateTimeChart(QWidget* parent) : QWidget(parent), m_chart(new QChart)
{
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setBackgroundBrush(Qt::white);
    m_chart->setBackgroundRoundness(0);
    m_chart->setDropShadowEnabled(false);
    m_chart->setPlotAreaBackgroundBrush(Qt::white);
    m_chart->setPlotAreaBackgroundVisible(true);
    QLegend* legend = m_chart->legend();
    legend->setAlignment(Qt::AlignBottom);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(13);
    legend->setFont(arial);
    legend->setLabelColor(Qt::black);

    m_axisX = new QDateTimeAxis;
    m_axisY = new QValueAxis;
    m_axisY->setTickType(QValueAxis::TicksDynamic);
    m_axisY->setTickAnchor(0);
    m_axisY->setTickInterval(1);
    m_axisY->setLabelFormat(QStringLiteral("%g"));
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);

    m_canvas = new ChartCanvas(m_chart, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_canvas);

    m_readOutLine = new QGraphicsLineItem(m_chart);
    m_readOutLine->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    m_readOutLine->setZValue(100);
    m_readOutLine->hide();
    m_readOutText = new QGraphicsSimpleTextItem(m_chart);
    m_readOutText->setZValue(101);
    m_readOutText->hide();

    // Grid lines under the curves, the axis line and labels over them.
    m_timeLabelBrush = m_axisX->labelsBrush();
    m_axisX->setLabelsBrush(Qt::transparent);
    m_axisX->setGridLineVisible(false);
    m_axisX->setLinePen(Qt::NoPen);
    m_timeGrid = new QGraphicsPathItem(m_chart);
    m_timeGrid->setPen(m_axisY->gridLinePen());
    m_timeGrid->setZValue(2);
    m_timeAxisLine = new QGraphicsPathItem(m_chart);
    m_timeAxisLine->setPen(m_axisY->linePen());
    m_timeAxisLine->setZValue(3);

    m_saveImageAction = new QAction(QStringLiteral("Сохранить как изображение…"), this);
    m_saveImageAction->setObjectName(QStringLiteral("saveImageAction"));
    connect(m_saveImageAction, &QAction::triggered, this, &DateTimeChart::saveImageRequested);

    connect(m_chart, &QChart::plotAreaChanged, this, [this] { scheduleRefresh(); });
    setBottomAxisFormat(QStringLiteral("dd.MM.yy"));
    refresh();
}

DateTimeChart::~DateTimeChart() = default;

QChartView* DateTimeChart::chartView() const
{
    return m_canvas;
}

// ---------------------------------------------------------------- curves --

int DateTimeChart::addCurve(const QString& objectName, const QString& shortName,
                            const QColor& color)
{
    auto* series = new QLineSeries(this);
    series->setObjectName(objectName);
    series->setColor(color);
    series->setPointsVisible(false);
    series->setPointLabelsVisible(false);
    m_chart->addSeries(series);
    series->attachAxis(m_axisX);
    series->attachAxis(m_axisY);
    Curve curve;
    curve.series = series;
    curve.markers = new QGraphicsPathItem(m_chart);
    curve.markers->setPen(Qt::NoPen);
    curve.markers->setBrush(color);
    curve.markers->setZValue(4.5); // over the curves, under the legend
    curve.shortName = shortName;
    m_curves.append(curve);
    return int(m_curves.size()) - 1;
}

void DateTimeChart::clearCurve(int c)
{
    m_curves[c].points.clear();
    m_curves[c].minY = m_curves[c].maxY = 0;
    m_curves[c].series->clear();
    m_curves[c].markers->setPath({});
    scheduleRefresh();
}

void DateTimeChart::removeCurves(int first)
{
    while (m_curves.size() > first) {
        Curve curve = m_curves.takeLast();
        m_chart->removeSeries(curve.series);
        delete curve.series;
        delete curve.markers;
    }
    scheduleRefresh();
}

void DateTimeChart::addPoint(int c, double x, double y)
{
    Curve& curve = m_curves[c];
    QList<QPointF>& points = curve.points;
    curve.minY = points.isEmpty() ? y : std::min(curve.minY, y);
    curve.maxY = points.isEmpty() ? y : std::max(curve.maxY, y);
    if (points.isEmpty() || x >= points.back().x()) {
        points.append(QPointF(x, y));
    } else {
        const auto at = std::upper_bound(points.begin(), points.end(), x,
                                         [](double v, const QPointF& p) { return v < p.x(); });
        points.insert(at, QPointF(x, y));
    }
    scheduleRefresh();
}

void DateTimeChart::setPoints(int c, QList<QPointF> points)
{
    Curve& curve = m_curves[c];
    curve.points = std::move(points);
    curve.minY = curve.maxY = curve.points.isEmpty() ? 0 : curve.points.front().y();
    for (const QPointF& p : std::as_const(curve.points)) {
        curve.minY = std::min(curve.minY, p.y());
        curve.maxY = std::max(curve.maxY, p.y());
    }
    scheduleRefresh();
}

const QList<QPointF>& DateTimeChart::points(int c) const
{
    return m_curves[c].points;
}

QColor DateTimeChart::curveColor(int c) const
{
    return m_curves[c].series->color();
}

double DateTimeChart::minY(int c) const
{
    return m_curves[c].minY;
}

double DateTimeChart::maxY(int c) const
{
    return m_curves[c].maxY;
}

void DateTimeChart::setCurveTitle(int c, const QString& title)
{
    m_curves[c].title = title;
    // The legend draws its labels as rich text, which would fold a run of
    // blanks into one: every blank stays a blank of its own.
    QString shown = title.toHtmlEscaped();
    shown.replace(u' ', QChar(0x00A0));
    m_curves[c].series->setName(shown);
}

QString DateTimeChart::curveTitle(int c) const
{
    return m_curves[c].title;
}

void DateTimeChart::setCurveInLegend(int c, bool listed)
{
    m_curves[c].inLegend = listed;
    for (QLegendMarker* marker : m_chart->legend()->markers(m_curves[c].series))
        marker->setVisible(listed);
}

bool DateTimeChart::curveInLegend(int c) const
{
    return m_curves[c].inLegend;
}

QLineSeries* DateTimeChart::series(int c) const
{
    return m_curves[c].series;
}

// ------------------------------------------------------------------ axes --

void DateTimeChart::setLeftAxisAutomatic(bool on)
{
    m_leftAutomatic = on;
    refresh();
}

void DateTimeChart::setLeftAxisRange(double min, double max)
{
    m_leftMin = min;
    m_leftMax = max;
    refresh();
}

double DateTimeChart::leftAxisMin() const
{
    return m_axisY->min();
}

double DateTimeChart::leftAxisMax() const
{
    return m_axisY->max();
}

void DateTimeChart::setBottomAxisFormat(const QString& format)
{
    m_bottomFormat = format;
    m_axisX->setFormat(qtLabelFormat(format));
}

void DateTimeChart::setElapsedTime(bool on)
{
    m_elapsed = on;
    scheduleRefresh();
}

double DateTimeChart::bottomAxisMin() const
{
    return double(m_axisX->min().toMSecsSinceEpoch());
}

double DateTimeChart::bottomAxisMax() const
{
    return double(m_axisX->max().toMSecsSinceEpoch());
}

void DateTimeChart::setMarginPercent(double left, double top, double right, double bottom)
{
    m_margins[0] = left, m_margins[1] = top, m_margins[2] = right, m_margins[3] = bottom;
    applyMargins();
}

void DateTimeChart::applyMargins()
{
    const QSizeF size = m_chart->size();
    m_chart->setMargins(QMargins(
        qRound(size.width() * m_margins[0] / 100), qRound(size.height() * m_margins[1] / 100),
        qRound(size.width() * m_margins[2] / 100), qRound(size.height() * m_margins[3] / 100)));
}

QRectF DateTimeChart::plotArea() const
{
    return m_canvas->mapFromScene(m_chart->mapToScene(m_chart->plotArea()))
        .boundingRect()
        .translated(m_canvas->pos());
}

// --------------------------------------------------------- view, refresh --

DateTimeChart::View DateTimeChart::currentView() const
{
    if (isZoomed())
        return m_zoomHistory.back();
    View v{0, 0, 0, 0};
    bool any = false;
    double yMin = 0, yMax = 0;
    for (const Curve& c : m_curves) {
        if (c.points.isEmpty())
            continue;
        const double lo = c.minY, hi = c.maxY;
        if (!any) {
            v.xMin = c.points.front().x(), v.xMax = c.points.back().x();
            yMin = lo, yMax = hi;
        } else {
            v.xMin = std::min(v.xMin, c.points.front().x());
            v.xMax = std::max(v.xMax, c.points.back().x());
            yMin = std::min(yMin, lo), yMax = std::max(yMax, hi);
        }
        any = true;
    }
    if (!any) {
        v.xMin = double(QDateTime(QDate::currentDate(), QTime(0, 0)).toMSecsSinceEpoch());
        v.xMax = v.xMin + 24 * 60 * kOneMinute;
    } else if (v.xMax == v.xMin) {
        v.xMin -= kOneMinute, v.xMax += kOneMinute;
    }
    // Fitted to the data out to whole degrees, or the window set.
    const YRange y = m_leftAutomatic ? distinctRange(std::floor(yMin), std::ceil(yMax))
                                     : distinctRange(m_leftMin, m_leftMax);
    v.yMin = y.min, v.yMax = y.max;
    return v;
}

void DateTimeChart::setView(const View& v)
{
    // Qt Charts lays the labels out at once, at the step it has: a step that
    // suits both the old and the new range first, so that neither ever
    // carries more than a few dozen labels.
    const double step = leftLabelStep(v.yMin, v.yMax);
    m_axisY->setTickInterval(std::max(step, m_axisY->tickInterval()));
    m_axisY->setRange(v.yMin, v.yMax);
    m_axisY->setTickInterval(step);
    m_axisX->setRange(QDateTime::fromMSecsSinceEpoch(qint64(std::floor(v.xMin))),
                      QDateTime::fromMSecsSinceEpoch(qint64(std::ceil(v.xMax))));
    updateTicks();
    if (m_readOutLine->isVisible())
        showReadOut(m_readOutPos);
}

void DateTimeChart::refresh()
{
    m_refreshQueued = false;
    setView(currentView());
    updateEnvelopes(int(std::lround(m_chart->plotArea().width())));
}

void DateTimeChart::scheduleRefresh()
{
    if (m_refreshQueued)
        return;
    m_refreshQueued = true;
    QTimer::singleShot(0, this, [this] {
        if (m_refreshQueued)
            refresh();
    });
}

void DateTimeChart::updateEnvelopes(int columns)
{
    m_envelopeColumns = columns;
    const double xMin = bottomAxisMin();
    const double xMax = bottomAxisMax();
    for (Curve& c : m_curves) {
        if (c.points.isEmpty())
            c.series->clear();
        else
            c.series->replace(chartEnvelope(c.points, xMin, xMax, std::max(columns, 1)));
    }
    updateMarkers();
}

void DateTimeChart::updateMarkers()
{
    const QRectF plot = m_chart->plotArea();
    const double xMin = bottomAxisMin(), xMax = bottomAxisMax();
    const double yMin = m_axisY->min(), yMax = m_axisY->max();
    for (Curve& c : m_curves) {
        QPainterPath path;
        if (xMax > xMin && yMax > yMin && !plot.isEmpty()) {
            for (const QPointF& p : isolatedPoints(c.points)) {
                const QPointF at(plot.left() + (p.x() - xMin) / (xMax - xMin) * plot.width(),
                                 plot.bottom() - (p.y() - yMin) / (yMax - yMin) * plot.height());
                // A marker whose centre is in the plot; zoomed or panned away, none.
                if (plot.adjusted(-0.5, -0.5, 0.5, 0.5).contains(at))
                    path.addEllipse(at, kMarkerRadius, kMarkerRadius);
            }
        }
        c.markers->setPath(path);
    }
}

double DateTimeChart::leftLabelStep(double lo, double hi) const
{
    // Whole degrees; a coarser step only where the labels would not fit
    // (Qt Charts cuts a label taller than its room down to "...").
    const QRectF plot = m_chart->plotArea();
    const double height = plot.height() > 10 ? plot.height() : 300;
    return axisLabelStep(lo, hi, int(height / 26));
}

void DateTimeChart::updateTicks()
{
    const QRectF plot = m_chart->plotArea();
    const double width = plot.width() > 10 ? plot.width() : 600;
    const int room = std::clamp(int(width / 90) + 1, 2, 12);
    m_axisX->setTickCount(room); // its invisible labels keep their room
    const double xMin = bottomAxisMin(), xMax = bottomAxisMax();
    // Elapsed time has round steps from its start, with no zone.
    const int utcOffset =
        m_elapsed ? 0 : QDateTime::fromMSecsSinceEpoch(qint64(xMin)).offsetFromUtc();
    m_timeTicks = timeAxisTicks(xMin, xMax, room, utcOffset);
    // Seconds on an elapsed axis only where a step needs them.
    bool seconds = false;
    for (const double t : std::as_const(m_timeTicks))
        seconds = seconds || std::fmod(std::abs(t), 60000.0) != 0;

    // A tick, its grid line and its label at each moment; labels centred
    // under their tick, lines as the format breaks them.
    constexpr double kTickLength = 5;
    const QString format = QString(m_bottomFormat).replace(QChar(13), QChar(10));
    QPainterPath grid, line;
    line.moveTo(plot.bottomLeft());
    line.lineTo(plot.bottomRight());
    while (m_timeLabels.size() < m_timeTicks.size()) {
        auto* label = new QGraphicsSimpleTextItem(m_timeAxisLine); // in the chart's coordinates
        m_timeLabels << label;
    }
    for (qsizetype i = 0; i < m_timeLabels.size(); ++i) {
        QGraphicsSimpleTextItem* label = m_timeLabels[i];
        if (i >= m_timeTicks.size() || !(xMax > xMin)) {
            label->hide();
            continue;
        }
        const double t = m_timeTicks[i];
        const double x = plot.left() + (t - xMin) / (xMax - xMin) * plot.width();
        grid.moveTo(x, plot.top());
        grid.lineTo(x, plot.bottom());
        line.moveTo(x, plot.bottom());
        line.lineTo(x, plot.bottom() + kTickLength);
        label->setFont(m_axisX->labelsFont());
        label->setBrush(m_timeLabelBrush);
        label->setText(m_elapsed ? elapsedText(t, seconds)
                                 : QDateTime::fromMSecsSinceEpoch(qint64(t)).toString(format));
        const QRectF box = label->boundingRect();
        label->setPos(x - box.width() / 2, plot.bottom() + kTickLength + 2);
        label->show();
    }
    m_timeGrid->setPath(grid);
    m_timeAxisLine->setPath(line);
}

QStringList DateTimeChart::bottomAxisLabels() const
{
    QStringList texts;
    for (qsizetype i = 0; i < m_timeTicks.size() && i < m_timeLabels.size(); ++i)
        texts << m_timeLabels[i]->text();
    return texts;
}

void DateTimeChart::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    scheduleRefresh();
}

void DateTimeChart::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    scheduleRefresh();
}

// ------------------------------------------------------------------ zoom --

void DateTimeChart::zoomTo(const QRectF& rect)
{
    const QRectF plot = plotArea();
    if (rect.width() < 1 || rect.height() < 1 || plot.width() < 1 || plot.height() < 1)
        return;
    const View v = currentView();
    const double sx = (v.xMax - v.xMin) / plot.width();
    const double sy = (v.yMax - v.yMin) / plot.height();
    const View zoomed{
        v.xMin + (rect.left() - plot.left()) * sx, v.xMin + (rect.right() - plot.left()) * sx,
        v.yMax - (rect.bottom() - plot.top()) * sy, v.yMax - (rect.top() - plot.top()) * sy};
    if (!(zoomed.xMax > zoomed.xMin) || !(zoomed.yMax > zoomed.yMin))
        return;
    m_zoomHistory.append(zoomed);
    refresh();
}

void DateTimeChart::zoomBack()
{
    if (!m_zoomHistory.isEmpty())
        m_zoomHistory.removeLast();
    refresh();
}

void DateTimeChart::resetZoom()
{
    m_zoomHistory.clear();
    refresh();
}

void DateTimeChart::pan(double dx, double dy)
{
    const QRectF plot = plotArea();
    if (plot.width() < 1 || plot.height() < 1)
        return;
    View v = currentView();
    const double sx = (v.xMax - v.xMin) / plot.width();
    const double sy = (v.yMax - v.yMin) / plot.height();
    v.xMin -= dx * sx, v.xMax -= dx * sx;
    v.yMin += dy * sy, v.yMax += dy * sy;
    // At the far ends of a double there is nowhere further to go.
    if (!std::isfinite(v.yMin) || !std::isfinite(v.yMax) || !(v.yMax > v.yMin) ||
        !std::isfinite(v.xMin) || !std::isfinite(v.xMax) || !(v.xMax > v.xMin))
        return;
    // Panning the full view starts a step that the right click takes back.
    if (isZoomed())
        m_zoomHistory.back() = v;
    else
        m_zoomHistory.append(v);
    refresh();
}

// -------------------------------------------------------------- read-out --

QString DateTimeChart::readOutAt(const QPointF& widgetPos)
{
    const QRectF plot = plotArea();
    if (!plot.contains(widgetPos))
        return {};
    const double xMin = bottomAxisMin(), xMax = bottomAxisMax();
    const double x = xMin + (widgetPos.x() - plot.left()) / plot.width() * (xMax - xMin);
    const auto nearest = [x](const QList<QPointF>& p) {
        auto it = std::lower_bound(p.cbegin(), p.cend(), x,
                                   [](const QPointF& a, double v) { return a.x() < v; });
        if (it == p.cend() || (it != p.cbegin() && x - (it - 1)->x() <= it->x() - x))
            --it;
        return *it;
    };
    bool found = false;
    double best = 0;
    for (const Curve& c : m_curves) {
        if (c.points.isEmpty())
            continue;
        const double px = nearest(c.points).x();
        if (!found || std::abs(px - x) < std::abs(best - x))
            best = px;
        found = true;
    }
    if (!found)
        return {};
    QString text = m_elapsed ? elapsedText(best, true)
                             : QDateTime::fromMSecsSinceEpoch(qint64(best))
                                   .toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    for (const Curve& c : m_curves)
        if (!c.points.isEmpty())
            text += QStringLiteral("   ") + c.shortName + QStringLiteral(" = ") +
                    numberText(nearest(c.points).y(), m_decimalSeparator);
    m_readOutX = best;
    return text;
}

void DateTimeChart::showReadOut(const QPointF& widgetPos)
{
    m_readOutPos = widgetPos;
    const QString t = readOutAt(widgetPos);
    if (t.isEmpty()) {
        hideReadOut();
        return;
    }
    const QRectF plot = m_chart->plotArea();
    const double xMin = bottomAxisMin(), xMax = bottomAxisMax();
    const double px = plot.left() + (m_readOutX - xMin) / (xMax - xMin) * plot.width();
    m_readOutLine->setLine(px, plot.top(), px, plot.bottom());
    m_readOutText->setText(t);
    const QRectF box = m_readOutText->boundingRect();
    const double tx =
        std::clamp(px + 6, plot.left(), std::max(plot.left(), plot.right() - box.width()));
    m_readOutText->setPos(tx, plot.top() + 2);
    m_readOutLine->show();
    m_readOutText->show();
}

void DateTimeChart::hideReadOut()
{
    m_readOutLine->hide();
    m_readOutText->hide();
}

void DateTimeChart::contextMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    if (!m_contextActions.isEmpty()) {
        menu.addActions(m_contextActions);
        menu.addSeparator();
    }
    menu.addAction(m_saveImageAction);
    menu.exec(globalPos);
}

// ---------------------------------------------------------------- output --

void DateTimeChart::render(QPainter& painter, const QRectF& target)
{
    hideReadOut();
    if (m_refreshQueued)
        refresh();
    // The envelope at the target's own resolution, so a printer's finer
    // pixels get finer detail; then back to the screen's.
    const int screenColumns = m_envelopeColumns;
    const double scale = m_chart->size().width() > 0 ? target.width() / m_chart->size().width() : 1;
    updateEnvelopes(std::min(int(std::lround(m_chart->plotArea().width() * scale)), 8192));
    // Qt Charts' own time labels only keep their room on the screen: a
    // picture or a page carries no text that no one sees.
    QList<QGraphicsItem*> unseen;
    for (QGraphicsItem* item : m_canvas->scene()->items())
        if (auto* text = dynamic_cast<QGraphicsTextItem*>(item);
            text && text->isVisible() && text->defaultTextColor().alpha() == 0)
            unseen << text;
    for (QGraphicsItem* item : std::as_const(unseen))
        item->hide();
    const auto showAgain = qScopeGuard([&] {
        for (QGraphicsItem* item : std::as_const(unseen))
            item->show();
    });
    m_canvas->scene()->render(&painter, target, m_chart->sceneBoundingRect(),
                              m_proportional ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio);
    updateEnvelopes(screenColumns);
}

void DateTimeChart::saveImage(const QString& fileName, QSize size)
{
    if (size.isEmpty())
        size = this->size();
    // The chart is laid out at the picture's size in its scene alone: the
    // window keeps its own size, so no screen buffer grows with the picture.
    const QSizeF screenSize = m_chart->size();
    m_chart->resize(QSizeF(size));
    applyMargins();
    if (QGraphicsLayout* layout = m_chart->layout())
        layout->activate();
    refresh();
    const auto restore = qScopeGuard([&] {
        m_chart->resize(screenSize);
        applyMargins();
        if (QGraphicsLayout* layout = m_chart->layout())
            layout->activate();
        refresh();
    });
    writePictureFile(fileName, size, window()->windowTitle(),
                     [this](QPainter& painter, const QRectF& target) { render(painter, target); });
}
