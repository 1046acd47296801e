#include "components/chart_limit_lines.h"

#include "components/date_time_chart.h"

#include <QChart>
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
}

void ChartLimitLines::setLimits(int curve, std::optional<double> lower, std::optional<double> upper)
{
    if (curve < 0)
        return;
    while (m_limits.size() <= curve)
        m_limits.append(Limits{});
    m_limits[curve] = {lower, upper};
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

void ChartLimitLines::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRectF plot = m_chart.chart()->plotArea();
    if (plot.isEmpty())
        return;
    painter->save();
    painter->setClipRect(plot);
    for (int c = 0; c < m_limits.size() && c < m_chart.curveCount(); ++c) {
        const Limits& l = m_limits[c];
        if ((!l.lower && !l.upper) || !m_chart.curveInLegend(c))
            continue;
        QLineSeries* series = m_chart.series(c);
        const QColor colour = m_chart.curveColor(c);
        const auto yOf = [&](double value) {
            return m_chart.chart()->mapToPosition(QPointF(m_chart.bottomAxisMin(), value), series).y();
        };
        QColor band = colour;
        band.setAlpha(kBandAlpha);
        QPen pen(colour, kLineWidth, Qt::DashLine);
        pen.setCapStyle(Qt::FlatCap);
        if (l.upper) {
            const qreal y = yOf(*l.upper);
            painter->fillRect(QRectF(plot.left(), plot.top(), plot.width(),
                                     std::clamp(y, plot.top(), plot.bottom()) - plot.top()),
                              band);
            if (y >= plot.top() && y <= plot.bottom()) {
                painter->setPen(pen);
                painter->drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            }
        }
        if (l.lower) {
            const qreal y = yOf(*l.lower);
            const qreal top = std::clamp(y, plot.top(), plot.bottom());
            painter->fillRect(QRectF(plot.left(), top, plot.width(), plot.bottom() - top), band);
            if (y >= plot.top() && y <= plot.bottom()) {
                painter->setPen(pen);
                painter->drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            }
        }
    }
    painter->restore();
}
