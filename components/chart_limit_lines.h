#pragma once

#include <QGraphicsObject>
#include <QList>

#include <optional>

class DateTimeChart;

// Limits over the curves of a DateTimeChart: each curve's lower and upper
// limit as a dashed horizontal line in the curve's colour, and the region
// beyond it as a light band of that colour, so readings out of the limits
// stand out. Drawn in the chart's scene above the plot, so the screen, the
// printed page and the saved picture all carry it; the legend is left as
// it is. Only curves listed in the legend get their limits drawn.
class ChartLimitLines : public QGraphicsObject
{
    Q_OBJECT

public:
    explicit ChartLimitLines(DateTimeChart& chart);

    void setLimits(int curve, std::optional<double> lower, std::optional<double> upper);
    void clearLimits();

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
               QWidget* widget = nullptr) override;

    // The band's opacity (0–255) and the line's width in pixels.
    static constexpr int kBandAlpha = 28;
    static constexpr qreal kLineWidth = 1.5;

private:
    struct Limits
    {
        std::optional<double> lower, upper;
    };
    void changed();

    DateTimeChart& m_chart;
    QList<Limits> m_limits;
};
