#pragma once

#include <QDialog>

// The chart window: T1 and T2 of the selected rows against time.
class TForm3 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm3(QWidget* parent = nullptr);
};
