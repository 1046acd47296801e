#include "app/logo.h"

#include "platform/app_title.h"
#include "platform/window_placement.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

TForm5::TForm5(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(kAppTitle);
    setFixedSize(400, 77);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 401, 81);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(QPixmap::fromImage(splashPicture()));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(3000);
    connect(Timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);
}

QImage TForm5::splashPicture()
{
    QImage image(400, 78, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // A dark blue ground fading to teal, a temperature trace over a faint
    // chart grid, and the instrument's name.
    QLinearGradient ground(0, 0, 400, 78);
    ground.setColorAt(0, QColor(12, 34, 80));
    ground.setColorAt(1, QColor(20, 110, 130));
    p.fillRect(image.rect(), ground);

    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    for (int x = 0; x < 400; x += 20)
        p.drawLine(x, 0, x, 78);
    for (int y = 8; y < 78; y += 14)
        p.drawLine(0, y, 400, y);

    QPainterPath trace;
    trace.moveTo(0, 60);
    trace.cubicTo(60, 58, 90, 20, 150, 30);
    trace.cubicTo(210, 40, 240, 66, 300, 50);
    trace.cubicTo(340, 40, 370, 18, 400, 22);
    p.setPen(QPen(QColor(255, 170, 40), 2.5));
    p.drawPath(trace);
    QPainterPath trace2;
    trace2.moveTo(0, 70);
    trace2.cubicTo(80, 66, 120, 44, 190, 50);
    trace2.cubicTo(250, 55, 300, 30, 400, 40);
    p.setPen(QPen(QColor(120, 220, 255), 2));
    p.drawPath(trace2);

    // The thermometer mark.
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(220, 40, 40));
    p.drawEllipse(QPointF(26, 58), 8, 8);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(22, 12, 8, 40), 4, 4);
    p.fillRect(QRectF(24.5, 28, 3, 26), QColor(220, 40, 40));

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(50, 6, 340, 40), Qt::AlignLeft | Qt::AlignVCenter, kAppTitle);
    QFont sub(QStringLiteral("DejaVu Sans"));
    sub.setPixelSize(12);
    p.setFont(sub);
    p.setPen(QColor(220, 235, 255));
    p.drawText(QRect(52, 44, 340, 20), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Передача данных с прибора"));
    p.end();
    return image;
}

void TForm5::showEvent(QShowEvent* event)
{
    centreOnScreen(*this);
    FormShow();
    QDialog::showEvent(event);
}

void TForm5::FormShow()
{
    Timer1->start();
}

void TForm5::Timer1Timer()
{
    Timer1->stop();
    done(1);
}
