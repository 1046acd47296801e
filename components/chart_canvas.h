#pragma once

#include <QChartView>

class DateTimeChart;
class QRubberBand;

namespace chart_detail {

// The view of the chart with the mouse gestures: a rectangle with the left
// button zooms in, a drag with the right button pans, a right click steps
// back out (or opens the context menu at the full view). Only the chart
// builds it; the gestures act on the chart.
class ChartCanvas : public QChartView
{
public:
    ChartCanvas(QChart* chart, DateTimeChart* owner);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    DateTimeChart* m_owner;
    QRubberBand* m_band = nullptr;
    QPoint m_bandOrigin;
    QPointF m_rightOrigin;
    QPointF m_rightLast;
    bool m_panned = false;
};

} // namespace chart_detail
