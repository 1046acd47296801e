#pragma once

#include <QDialog>
#include <QImage>

class QLabel;
class QTimer;

// The splash window: the splash picture for three seconds at start.
class TForm5 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm5(QWidget* parent = nullptr);

    // The splash picture: 400 x 78, 24-bit colour; the window shows its top 77 rows.
    static QImage splashPicture();

    void FormShow();
    void Timer1Timer();

    QLabel* Image1 = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
