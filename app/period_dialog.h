#pragma once

#include "data/table_period.h"

#include <QDialog>

class QDateTimeEdit;
class QPushButton;

// "Выделить период…": the first and the last moment of the rows to select,
// both included, as date-time fields filled with the table's span; buttons
// set both at once to the whole table, the whole day of "С" or the last 24
// hours of the table. The window only asks: the main window selects.
class PeriodDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PeriodDialog(const TablePeriod& span, QWidget* parent = nullptr);

    // The fields as a period (the seconds count).
    Period period() const;
    void setPeriod(qint64 from, qint64 to);

    QDateTimeEdit* From;
    QDateTimeEdit* To;
    QPushButton* WholeTable;
    QPushButton* WholeDay;
    QPushButton* LastDay;

private:
    TablePeriod m_span;
};
