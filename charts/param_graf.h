#pragma once

#include <QDialog>

// The chart choice dialog: which curves the chart window draws.
class TForm4 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm4(QWidget* parent = nullptr);
};
