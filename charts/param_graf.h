#pragma once

#include "data/chart_data.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;

// The chart choice dialog: which curves the chart window draws. The ticks
// are cleared once, at creation, and kept for the rest of the run.
class TForm4 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm4(QWidget* parent = nullptr);

    void FormCreate();
    void FormShow();
    void CheckBox10Click(); // both boxes
    void Button1Click();    // "Построить"

    CurveChoice choice() const;

    QGroupBox* GroupBox1;
    QCheckBox* CheckBox6; // T1
    QCheckBox* CheckBox7; // T2
    QPushButton* Button1;

public Q_SLOTS:
    // The close button and Escape end the dialog with Cancel (2).
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
};
