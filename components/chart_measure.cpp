#include "components/chart_measure.h"

#include "components/date_time_chart.h"
#include "platform/number_text.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsEllipseItem>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

QString decimal(double v, QChar separator)
{
    QString t = decimalText(std::round(v * 100) / 100, 'f', 2, separator);
    while (t.endsWith(u'0'))
        t.chop(1);
    if (t.endsWith(separator))
        t.chop(1);
    if (t == u"-0")
        t = QStringLiteral("0");
    return t;
}

const QColor kColour = Qt::darkGreen;
// Half the width of the strip about the mouse in which readings are weighed,
// in pixels; beyond it only the nearest reading in time of each curve counts.
constexpr double kReach = 24;
// The ring's radius and the box's padding and distance from the plot's edge.
constexpr double kRing = 4;
constexpr double kPadding = 4;
constexpr double kInset = 6;

// Whether the segment a–b touches the rectangle.
bool touches(const QRectF& r, const QPointF& a, const QPointF& b)
{
    if (r.contains(a) || r.contains(b))
        return true;
    const QLineF segment(a, b);
    const QLineF edges[4] = {{r.topLeft(), r.topRight()},
                             {r.topRight(), r.bottomRight()},
                             {r.bottomRight(), r.bottomLeft()},
                             {r.bottomLeft(), r.topLeft()}};
    for (const QLineF& e : edges)
        if (segment.intersects(e) == QLineF::BoundedIntersection)
            return true;
    return false;
}

} // namespace

ChartMeasure::ChartMeasure(DateTimeChart& chart) : QObject(&chart), m_chart(chart)
{
    setObjectName(QStringLiteral("ChartMeasure"));
    QChart* c = chart.chart();
    m_clip = new QGraphicsRectItem(c);
    m_clip->setPen(Qt::NoPen);
    m_clip->setBrush(Qt::NoBrush);
    m_clip->setFlag(QGraphicsItem::ItemClipsChildrenToShape);
    m_clip->setZValue(60);
    m_clip->hide();
    m_line = new QGraphicsLineItem(m_clip);
    m_line->setPen(QPen(kColour, 1.5, Qt::SolidLine));
    for (QGraphicsEllipseItem*& end : m_ends) {
        end = new QGraphicsEllipseItem(-kRing, -kRing, 2 * kRing, 2 * kRing, m_clip);
        end->setPen(QPen(kColour, 1.5));
        end->setBrush(Qt::NoBrush);
    }
    m_box = new QGraphicsRectItem(c);
    m_box->setPen(QPen(kColour, 1));
    m_box->setBrush(Qt::white);
    m_box->setZValue(61);
    m_box->hide();
    m_text = new QGraphicsSimpleTextItem(m_box);
    m_text->setBrush(kColour);
    if (QChartView* view = chart.chartView())
        view->viewport()->installEventFilter(this);
    // The measure follows its readings through every zoom, pan and resize.
    connect(c, &QChart::plotAreaChanged, this, [this] { place(); });
    for (QAbstractAxis* axis : c->axes()) {
        if (auto* values = qobject_cast<QValueAxis*>(axis))
            connect(values, &QValueAxis::rangeChanged, this, [this] { place(); });
        else if (auto* times = qobject_cast<QDateTimeAxis*>(axis))
            connect(times, &QDateTimeAxis::rangeChanged, this, [this] { place(); });
    }
}

QString ChartMeasure::measureText(double milliseconds, double degrees, QChar decimalSeparator)
{
    QString dt = durationText(qint64(std::llround(std::fabs(milliseconds) / 1000)));
    if (milliseconds < 0)
        dt.prepend(u'-');
    const QString rate = milliseconds == 0
                             ? QStringLiteral("—")
                             : decimal(degrees / (milliseconds / 3600000.0), decimalSeparator) +
                                   QStringLiteral(" °C/ч");
    return QStringLiteral("Δt %1   ΔT %2 °C   %3")
        .arg(dt, decimal(degrees, decimalSeparator), rate);
}

void ChartMeasure::measure(const QPointF& from, const QPointF& to)
{
    m_from = from;
    m_to = to;
    m_text->setText(measureText(to.x() - from.x(), to.y() - from.y(), m_separator));
    m_shown = true;
    m_clip->show();
    m_box->show();
    place();
}

void ChartMeasure::measureBetween(const QPointF& fromPos, const QPointF& toPos)
{
    const std::optional<QPointF> a = nearestReading(fromPos);
    const std::optional<QPointF> b = nearestReading(toPos);
    if (a && b)
        measure(*a, *b);
}

void ChartMeasure::clear()
{
    m_shown = false;
    m_dragging = false;
    m_clip->hide();
    m_box->hide();
    m_text->setText(QString());
}

QString ChartMeasure::text() const
{
    return m_shown ? m_text->text() : QString();
}

QRectF ChartMeasure::box() const
{
    return m_box->mapRectToParent(m_box->rect());
}

QLineF ChartMeasure::line() const
{
    return m_line->line();
}

QList<QList<QPointF>> ChartMeasure::drawnCurves() const
{
    const QRectF plot = m_chart.chart()->plotArea();
    const double xMin = m_chart.bottomAxisMin(), xMax = m_chart.bottomAxisMax();
    const double yMin = m_chart.leftAxisMin(), yMax = m_chart.leftAxisMax();
    QList<QList<QPointF>> curves;
    if (plot.isEmpty() || !(xMax > xMin) || !(yMax > yMin))
        return curves;
    for (int c = 0; c < m_chart.curveCount(); ++c) {
        // The envelope Qt Charts draws, or the lone reading it does not.
        QList<QPointF> line = m_chart.series(c)->points();
        if (line.isEmpty())
            line = m_chart.points(c).mid(0, 1);
        for (QPointF& p : line)
            p = QPointF(plot.left() + (p.x() - xMin) / (xMax - xMin) * plot.width(),
                        plot.bottom() - (p.y() - yMin) / (yMax - yMin) * plot.height());
        curves << line;
    }
    return curves;
}

std::optional<QPointF> ChartMeasure::nearestReading(const QPointF& viewportPos) const
{
    QChart* chart = m_chart.chart();
    const QPointF at = chart->mapFromScene(m_chart.chartView()->mapToScene(viewportPos.toPoint()));
    const QRectF plot = chart->plotArea();
    const double xMin = m_chart.bottomAxisMin(), xMax = m_chart.bottomAxisMax();
    const double yMin = m_chart.leftAxisMin(), yMax = m_chart.leftAxisMax();
    if (plot.isEmpty() || !(xMax > xMin) || !(yMax > yMin))
        return std::nullopt;
    const double perPixelX = (xMax - xMin) / plot.width();
    const auto position = [&](const QPointF& p) {
        return QPointF(plot.left() + (p.x() - xMin) / perPixelX,
                       plot.bottom() - (p.y() - yMin) / (yMax - yMin) * plot.height());
    };
    const double x = xMin + (at.x() - plot.left()) * perPixelX;
    std::optional<QPointF> best;
    double bestDistance = 0;
    const auto weigh = [&](const QPointF& p) {
        const QPointF d = position(p) - at;
        const double distance = d.x() * d.x() + d.y() * d.y();
        if (!best || distance < bestDistance) {
            best = p;
            bestDistance = distance;
        }
    };
    const auto byX = [](const QPointF& p, double v) { return p.x() < v; };
    for (int c = 0; c < m_chart.curveCount(); ++c) {
        const QList<QPointF>& points = m_chart.points(c);
        if (points.isEmpty())
            continue;
        // Every reading in the strip about the mouse, and the nearest ones
        // in time on either side of it, however far.
        auto first = std::lower_bound(points.cbegin(), points.cend(), x - kReach * perPixelX, byX);
        auto last = std::lower_bound(first, points.cend(), x + kReach * perPixelX, byX);
        if (first != points.cbegin())
            --first;
        if (last != points.cend())
            ++last;
        for (auto it = first; it != last; ++it)
            weigh(*it);
    }
    return best;
}

void ChartMeasure::place()
{
    if (!m_shown || m_chart.curveCount() == 0)
        return;
    const QRectF plot = m_chart.chart()->plotArea();
    const double xMin = m_chart.bottomAxisMin(), xMax = m_chart.bottomAxisMax();
    const double yMin = m_chart.leftAxisMin(), yMax = m_chart.leftAxisMax();
    if (plot.isEmpty() || !(xMax > xMin) || !(yMax > yMin))
        return;
    // From the axes' ranges themselves: Qt Charts' own mapping may not yet
    // know of a range that has just changed.
    const auto position = [&](const QPointF& p) {
        return QPointF(plot.left() + (p.x() - xMin) / (xMax - xMin) * plot.width(),
                       plot.bottom() - (p.y() - yMin) / (yMax - yMin) * plot.height());
    };
    m_clip->setRect(plot);
    const QPointF a = position(m_from);
    const QPointF b = position(m_to);
    m_line->setLine(QLineF(a, b));
    m_ends[0]->setPos(a);
    m_ends[1]->setPos(b);
    placeBox();
}

void ChartMeasure::placeBox()
{
    const QRectF plot = m_chart.chart()->plotArea();
    const QRectF text = m_text->boundingRect();
    const QSizeF size(text.width() + 2 * kPadding, text.height() + 2 * kPadding);
    m_box->setRect(QRectF(QPointF(0, 0), size));
    m_text->setPos(kPadding, kPadding);

    // A corner of the plot where neither a curve nor the measure runs; if
    // every corner is taken, above the plot, in the chart's top margin.
    const QList<QList<QPointF>> curves = drawnCurves();
    const QLineF line = m_line->line();
    const auto clear = [&](const QRectF& r) {
        const QRectF room = r.adjusted(-kRing, -kRing, kRing, kRing);
        if (touches(room, line.p1(), line.p2()))
            return false;
        for (const QList<QPointF>& c : curves) {
            if (c.size() == 1 && room.contains(c.front()))
                return false;
            for (qsizetype i = 1; i < c.size(); ++i)
                if (touches(room, c[i - 1], c[i]))
                    return false;
        }
        return true;
    };
    const double left = plot.left() + kInset;
    const double right = plot.right() - kInset - size.width();
    const double top = plot.top() + kInset;
    const double bottom = plot.bottom() - kInset - size.height();
    const QPointF corners[4] = {{left, top}, {right, top}, {left, bottom}, {right, bottom}};
    for (const QPointF& corner : corners) {
        const QRectF r(corner, size);
        if (plot.contains(r) && clear(r)) {
            m_box->setPos(corner);
            return;
        }
    }
    m_box->setPos(plot.left(), std::max(0.0, plot.top() - size.height() - 2));
}

bool ChartMeasure::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier)) {
            m_clickPending = false;
            if (const std::optional<QPointF> reading = nearestReading(e->position())) {
                m_dragging = true;
                measure(*reading, *reading);
            }
            return true;
        }
        // A plain click ends the measure; a drag (a zoom) keeps it.
        m_clickPending = m_shown && e->button() == Qt::LeftButton;
        m_clickOrigin = e->position();
        break;
    }
    case QEvent::MouseMove:
        if (m_dragging) {
            if (const std::optional<QPointF> reading =
                    nearestReading(static_cast<QMouseEvent*>(event)->position()))
                measure(m_from, *reading);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (m_dragging) {
            m_dragging = false;
            if (const std::optional<QPointF> reading = nearestReading(e->position()))
                measure(m_from, *reading);
            return true;
        }
        if (m_clickPending && e->button() == Qt::LeftButton) {
            m_clickPending = false;
            if ((e->position() - m_clickOrigin).manhattanLength() <= 4)
                clear();
        }
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
