#pragma once

#include <QLineF>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

class DateTimeChart;
class QGraphicsEllipseItem;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;

// A two-point measure on a DateTimeChart: press the left button with Shift
// held, drag, release. Each end takes the reading nearest to the mouse on
// the curve nearest to it, so Δt and ΔT are those of two readings, never of
// where the mouse happened to be. The chart shows the line between the two
// readings, a ring on each, and Δt, ΔT and the rate in °C per hour in a box
// placed where no curve runs. The measure stays through zoom and pan (it
// follows its readings) until a plain left click or the next measure. The
// chart's own zoom and pan keep their buttons without Shift.
class ChartMeasure : public QObject
{
    Q_OBJECT

public:
    explicit ChartMeasure(DateTimeChart& chart);

    // The measure between two readings in values (X in milliseconds, Y in
    // degrees).
    void measure(const QPointF& from, const QPointF& to);
    // The measure between the readings nearest to two places of the chart's
    // view (its viewport's coordinates); nothing without readings.
    void measureBetween(const QPointF& fromPos, const QPointF& toPos);
    void clear();
    void setDecimalSeparator(QChar separator) { m_separator = separator; }
    // The text shown, "" when there is no measure.
    QString text() const;
    // The readings measured between (valid only while a measure is shown).
    QPointF from() const { return m_from; }
    QPointF to() const { return m_to; }
    // The read-out's box and the line between the readings, in the chart's
    // coordinates.
    QRectF box() const;
    QLineF line() const;

    // The reading nearest to a place of the chart's view, in pixels, over
    // every curve with points: of the curve nearest there, its nearest reading.
    std::optional<QPointF> nearestReading(const QPointF& viewportPos) const;

    // "Δt 01:30:00   ΔT 1,5 °C   1 °C/ч": Δt as [days сут] hh:mm:ss, ΔT and
    // the rate with at most two decimals and the decimal separator given;
    // the rate is "—" for Δt = 0.
    static QString measureText(double milliseconds, double degrees, QChar decimalSeparator);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The curves as drawn, in the chart's coordinates.
    QList<QList<QPointF>> drawnCurves() const;
    void place();
    void placeBox();

    DateTimeChart& m_chart;
    QChar m_separator = u',';
    QGraphicsRectItem* m_clip; // the plot area: the line and rings stay inside
    QGraphicsLineItem* m_line;
    QGraphicsEllipseItem* m_ends[2];
    QGraphicsRectItem* m_box;
    QGraphicsSimpleTextItem* m_text;
    bool m_shown = false;
    bool m_dragging = false;
    bool m_clickPending = false; // a plain left press that may end the measure
    QPointF m_clickOrigin;
    QPointF m_from, m_to; // in values
};
