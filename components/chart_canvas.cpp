#include "components/chart_canvas.h"

#include "components/date_time_chart.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>
#include <QWheelEvent>

namespace chart_detail {

ChartCanvas::ChartCanvas(QChart* chart, DateTimeChart* owner)
    : QChartView(chart, owner), m_owner(owner)
{
    setRubberBand(QChartView::NoRubberBand);
    setRenderHint(QPainter::Antialiasing);
    setFrameShape(QFrame::NoFrame);
    setMouseTracking(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void ChartCanvas::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        m_bandOrigin = e->position().toPoint();
        if (!m_band)
            m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
        m_band->setGeometry(QRect(m_bandOrigin, QSize()));
        m_band->show();
    } else if (e->button() == Qt::RightButton) {
        m_rightLast = e->position();
        m_rightOrigin = m_rightLast;
        m_panned = false;
    }
    e->accept();
}

void ChartCanvas::mouseMoveEvent(QMouseEvent* e)
{
    const QPointF pos = e->position();
    if ((e->buttons() & Qt::LeftButton) && m_band && m_band->isVisible())
        m_band->setGeometry(QRect(m_bandOrigin, pos.toPoint()).normalized());
    if (e->buttons() & Qt::RightButton) {
        if (m_panned || (pos - m_rightOrigin).manhattanLength() > 3) {
            m_panned = true;
            m_owner->pan(pos.x() - m_rightLast.x(), pos.y() - m_rightLast.y());
            m_rightLast = pos;
        }
    }
    m_owner->showReadOut(pos);
    e->accept();
}

void ChartCanvas::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && m_band && m_band->isVisible()) {
        m_band->hide();
        const QRect r = m_band->geometry();
        if (r.width() > 4 && r.height() > 4)
            m_owner->zoomTo(QRectF(r).intersected(m_owner->plotArea()));
    } else if (e->button() == Qt::RightButton && !m_panned) {
        if (m_owner->isZoomed())
            m_owner->zoomBack();
        else
            m_owner->contextMenu(e->globalPosition().toPoint());
    }
    e->accept();
}

void ChartCanvas::contextMenuEvent(QContextMenuEvent* e)
{
    // The mouse's menu comes with the right button's release, above.
    if (e->reason() != QContextMenuEvent::Mouse)
        m_owner->contextMenu(e->globalPos());
    e->accept();
}

void ChartCanvas::keyPressEvent(QKeyEvent* e)
{
    const QRectF plot = m_owner->plotArea();
    switch (e->key()) {
    case Qt::Key_Left:
        m_owner->pan(plot.width() / 10, 0);
        break;
    case Qt::Key_Right:
        m_owner->pan(-plot.width() / 10, 0);
        break;
    case Qt::Key_Up:
        m_owner->pan(0, plot.height() / 10);
        break;
    case Qt::Key_Down:
        m_owner->pan(0, -plot.height() / 10);
        break;
    default:
        QChartView::keyPressEvent(e);
        return;
    }
    e->accept();
}

void ChartCanvas::wheelEvent(QWheelEvent* e)
{
    e->accept();
}

void ChartCanvas::leaveEvent(QEvent* e)
{
    m_owner->hideReadOut();
    QChartView::leaveEvent(e);
}

void ChartCanvas::resizeEvent(QResizeEvent* e)
{
    QChartView::resizeEvent(e);
    m_owner->applyMargins();
    m_owner->scheduleRefresh();
}

} // namespace chart_detail
