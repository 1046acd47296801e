#pragma once

#include <QObject>
#include <QPointF>
#include <QString>

class DateTimeChart;
class QGraphicsLineItem;
class QGraphicsSimpleTextItem;

// A two-point measure on a DateTimeChart: press the left button with Shift
// held, drag, release; the chart shows the line between the two points and
// Δt, ΔT and the rate in °C per hour until the next click. The chart's own
// zoom and pan keep their buttons without Shift.
class ChartMeasure : public QObject
{
    Q_OBJECT

public:
    explicit ChartMeasure(DateTimeChart& chart);

    // The measure between two points of the plot in values (X in
    // milliseconds, Y in degrees); also what the mouse gesture does.
    void measure(const QPointF& from, const QPointF& to);
    void clear();
    void setDecimalSeparator(QChar separator) { m_separator = separator; }
    // The text shown, "" when there is no measure.
    QString text() const;

    // "Δt 01:30:00   ΔT 1,5 °C   1 °C/ч": Δt as [days сут] hh:mm:ss, ΔT and
    // the rate with at most two decimals and the decimal separator given;
    // the rate is "—" for Δt = 0.
    static QString measureText(double milliseconds, double degrees, QChar decimalSeparator);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointF valueAt(const QPointF& viewportPos) const;
    void place();

    DateTimeChart& m_chart;
    QChar m_separator = u',';
    QGraphicsLineItem* m_line;
    QGraphicsSimpleTextItem* m_text;
    bool m_dragging = false;
    QPointF m_from, m_to; // in values
};
