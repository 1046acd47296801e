#include "components/chart_measure.h"

#include "components/date_time_chart.h"

#include <QChart>
#include <QChartView>
#include <QGraphicsLineItem>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPen>

#include <cmath>

namespace {

QString decimal(double v, QChar separator)
{
    QString t = QString::number(std::round(v * 100) / 100, 'f', 2);
    while (t.endsWith(u'0'))
        t.chop(1);
    if (t.endsWith(u'.'))
        t.chop(1);
    if (t == u"-0")
        t = QStringLiteral("0");
    return t.replace(u'.', separator);
}

} // namespace

ChartMeasure::ChartMeasure(DateTimeChart& chart) : QObject(&chart), m_chart(chart)
{
    setObjectName(QStringLiteral("ChartMeasure"));
    m_line = new QGraphicsLineItem(chart.chart());
    m_line->setPen(QPen(Qt::darkGreen, 1.5, Qt::SolidLine));
    m_line->setZValue(60);
    m_line->hide();
    m_text = new QGraphicsSimpleTextItem(chart.chart());
    m_text->setBrush(Qt::darkGreen);
    m_text->setZValue(61);
    m_text->hide();
    if (QChartView* view = chart.chartView())
        view->viewport()->installEventFilter(this);
    connect(chart.chart(), &QChart::plotAreaChanged, this, [this] { place(); });
}

QString ChartMeasure::measureText(double milliseconds, double degrees, QChar decimalSeparator)
{
    const qint64 seconds = qint64(std::llround(std::fabs(milliseconds) / 1000));
    const qint64 rest = seconds % 86400;
    QString dt = QStringLiteral("%1:%2:%3")
                     .arg(rest / 3600, 2, 10, QLatin1Char('0'))
                     .arg(rest / 60 % 60, 2, 10, QLatin1Char('0'))
                     .arg(rest % 60, 2, 10, QLatin1Char('0'));
    if (seconds >= 86400)
        dt = QStringLiteral("%1 сут %2").arg(seconds / 86400).arg(dt);
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
    m_line->show();
    m_text->show();
    place();
}

void ChartMeasure::clear()
{
    m_line->hide();
    m_text->hide();
    m_text->setText(QString());
}

QString ChartMeasure::text() const
{
    return m_text->isVisible() ? m_text->text() : QString();
}

QPointF ChartMeasure::valueAt(const QPointF& viewportPos) const
{
    QChart* chart = m_chart.chart();
    const QPointF scenePos = m_chart.chartView()->mapToScene(viewportPos.toPoint());
    return chart->mapToValue(chart->mapFromScene(scenePos),
                             m_chart.curveCount() ? m_chart.series(0) : nullptr);
}

void ChartMeasure::place()
{
    if (!m_line->isVisible() || m_chart.curveCount() == 0)
        return;
    QChart* chart = m_chart.chart();
    const QPointF a = chart->mapToPosition(m_from, m_chart.series(0));
    const QPointF b = chart->mapToPosition(m_to, m_chart.series(0));
    m_line->setLine(QLineF(a, b));
    const QRectF plot = chart->plotArea();
    m_text->setPos(plot.left() + 6, plot.top() + 4);
}

bool ChartMeasure::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton && (e->modifiers() & Qt::ShiftModifier)) {
            m_dragging = true;
            const QPointF v = valueAt(e->position());
            measure(v, v);
            return true;
        }
        if (m_line->isVisible())
            clear(); // any other click ends the measure and goes on as usual
        break;
    }
    case QEvent::MouseMove:
        if (m_dragging) {
            measure(m_from, valueAt(static_cast<QMouseEvent*>(event)->position()));
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_dragging) {
            m_dragging = false;
            measure(m_from, valueAt(static_cast<QMouseEvent*>(event)->position()));
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
