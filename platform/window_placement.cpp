#include "platform/window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

void centreOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // move() places the frame's corner; the frame is what must be centred.
    QRect frame(QPoint(0, 0), window.frameGeometry().size());
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

namespace {

class CentredWindow : public QObject
{
public:
    explicit CentredWindow(QWidget& window) : QObject(&window), m_window(window)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &m_window)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            if (!event->spontaneous())
                centre();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // The frame has come or changed: centred again. A move of the
            // user's keeps the frame's size and the window where it is.
            if (m_window.isVisible() && m_window.frameGeometry().size() != m_frame)
                centre();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void centre()
    {
        m_frame = m_window.frameGeometry().size();
        centreOnScreen(m_window);
    }

    QWidget& m_window;
    QSize m_frame;
};

} // namespace

void keepCentredOnScreen(QWidget& window)
{
    new CentredWindow(window);
}
