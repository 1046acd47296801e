#pragma once

#include <QGraphicsObject>
#include <QList>
#include <QPainterPath>

#include <optional>

class DateTimeChart;

// Limits over the curves of a DateTimeChart: each curve's lower and upper
// limit as a dashed horizontal line in the curve's colour, and, where the
// curve runs beyond a limit, the area between the curve and the limit
// shaded in that colour, so the excursions stand out and the rest of the
// plot stays clear (two curves' limits never cover it). Drawn in the
// chart's scene above the plot, so the screen, the printed page and the
// saved picture all carry it; the legend is left as it is. Only curves
// listed in the legend get their limits drawn.
class ChartLimitLines : public QGraphicsObject
{
    Q_OBJECT

public:
    explicit ChartLimitLines(DateTimeChart& chart);

    // The area between a polyline (in pixels, in ascending order of X) and
    // the horizontal line at `limitY` on the far side of it: above the line
    // (smaller Y) when `above`, else below. One closed figure for each run
    // of the polyline beyond the line, its ends where the polyline crosses.
    static QPainterPath excursions(const QList<QPointF>& polyline, qreal limitY, bool above);

    void setLimits(int curve, std::optional<double> lower, std::optional<double> upper);
    void clearLimits();

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
               QWidget* widget = nullptr) override;

    // The shading's opacity (0–255) and the line's width in pixels.
    static constexpr int kShadeAlpha = 90;
    static constexpr qreal kLineWidth = 1.5;

private:
    struct Limits
    {
        std::optional<double> lower, upper;
    };
    void changed();
    void watchSeries();

    DateTimeChart& m_chart;
    QList<Limits> m_limits;
};
