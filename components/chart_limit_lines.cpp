#include "components/chart_limit_lines.h"

#include "components/date_time_chart.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

ChartLimitLines::ChartLimitLines(DateTimeChart& chart)
    : QGraphicsObject(chart.chart()), m_chart(chart)
{
    setObjectName(QStringLiteral("LimitLines"));
    setZValue(50); // above the curves, below the read-out
    connect(chart.chart(), &QChart::plotAreaChanged, this, &ChartLimitLines::changed);
    for (QAbstractAxis* axis : chart.chart()->axes(Qt::Vertical))
        if (auto* values = qobject_cast<QValueAxis*>(axis))
            connect(values, &QValueAxis::rangeChanged, this, &ChartLimitLines::changed);
    for (QAbstractAxis* axis : chart.chart()->axes(Qt::Horizontal))
        if (auto* times = qobject_cast<QDateTimeAxis*>(axis))
            connect(times, &QDateTimeAxis::rangeChanged, this, &ChartLimitLines::changed);
    watchSeries();
}

void ChartLimitLines::watchSeries()
{
    // The shading follows the curves as drawn, which change with the data
    // and with every zoom and pan.
    for (int c = 0; c < m_chart.curveCount(); ++c) {
        QLineSeries* series = m_chart.series(c);
        connect(series, &QXYSeries::pointsReplaced, this, &ChartLimitLines::changed,
                Qt::UniqueConnection);
        connect(series, &QXYSeries::pointsRemoved, this, &ChartLimitLines::changed,
                Qt::UniqueConnection);
    }
}

void ChartLimitLines::setLimits(int curve, std::optional<double> lower, std::optional<double> upper)
{
    if (curve < 0)
        return;
    while (m_limits.size() <= curve)
        m_limits.append(Limits{});
    m_limits[curve] = {lower, upper};
    watchSeries(); // curves added after the limits were made
    changed();
}

void ChartLimitLines::clearLimits()
{
    m_limits.clear();
    changed();
}

void ChartLimitLines::changed()
{
    prepareGeometryChange();
    update();
}

QRectF ChartLimitLines::boundingRect() const
{
    return m_chart.chart()->plotArea();
}

QPainterPath ChartLimitLines::excursions(const QList<QPointF>& polyline, qreal limitY, bool above)
{
    // How far beyond the line a point lies: positive outside.
    const auto beyond = [&](const QPointF& p) { return above ? limitY - p.y() : p.y() - limitY; };
    QPainterPath path;
    bool open = false;
    for (qsizetype i = 0; i < polyline.size(); ++i) {
        const QPointF& p = polyline[i];
        const qreal d = beyond(p);
        if (i > 0) {
            const QPointF& q = polyline[i - 1];
            const qreal e = beyond(q);
            // Crossing the line between q and p: the figure opens or closes there.
            if ((e > 0) != (d > 0) && e != d) {
                const qreal t = e / (e - d);
                const QPointF cross(q.x() + t * (p.x() - q.x()), limitY);
                if (open) {
                    path.lineTo(cross);
                    path.closeSubpath();
                    open = false;
                } else {
                    path.moveTo(cross);
                    open = true;
                }
            }
        }
        if (d > 0) {
            if (!open) { // the polyline starts beyond the line
                path.moveTo(p.x(), limitY);
                open = true;
            }
            path.lineTo(p);
        }
    }
    if (open) {
        path.lineTo(polyline.back().x(), limitY);
        path.closeSubpath();
    }
    return path;
}

void ChartLimitLines::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRectF plot = m_chart.chart()->plotArea();
    const double xMin = m_chart.bottomAxisMin(), xMax = m_chart.bottomAxisMax();
    const double yMin = m_chart.leftAxisMin(), yMax = m_chart.leftAxisMax();
    if (plot.isEmpty() || !(xMax > xMin) || !(yMax > yMin))
        return;
    const auto xOf = [&](double x) {
        return plot.left() + (x - xMin) / (xMax - xMin) * plot.width();
    };
    const auto yOf = [&](double y) {
        return plot.bottom() - (y - yMin) / (yMax - yMin) * plot.height();
    };
    painter->save();
    painter->setClipRect(plot);
    for (int c = 0; c < m_limits.size() && c < m_chart.curveCount(); ++c) {
        const Limits& l = m_limits[c];
        if ((!l.lower && !l.upper) || !m_chart.curveInLegend(c))
            continue;
        const QColor colour = m_chart.curveColor(c);
        QColor shade = colour;
        shade.setAlpha(kShadeAlpha);
        QPen pen(colour, kLineWidth, Qt::DashLine);
        pen.setCapStyle(Qt::FlatCap);
        // The curve as drawn: the envelope of the visible range.
        QList<QPointF> polyline = m_chart.series(c)->points();
        for (QPointF& p : polyline)
            p = QPointF(xOf(p.x()), yOf(p.y()));
        for (const auto& [limit, above] : {std::pair{l.upper, true}, std::pair{l.lower, false}}) {
            if (!limit)
                continue;
            const qreal y = yOf(*limit);
            if (!polyline.isEmpty())
                painter->fillPath(excursions(polyline, y, above), shade);
            if (y >= plot.top() && y <= plot.bottom()) {
                painter->setPen(pen);
                painter->drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            }
        }
    }
    painter->restore();
}
