#pragma once

#include "data/recording_summary.h"

#include <QDialog>
#include <QList>

#include <functional>

class DbfTable;
class DialogService;
class QLabel;
class QLineEdit;
class PrintingService;
class QPrinter;
class QPushButton;
class QTableWidget;
class SettingsStore;

// "Сводка": the analysis of the open table or of the selected rows, with the
// limit fields of T1 and T2 and ΔH (kept in the settings store), recomputed
// when they change. It shows and asks; the figures come from data/.
class SummaryWindow : public QDialog
{
    Q_OBJECT

public:
    // `records`: the selected rows' record numbers; empty for the whole table
    // in its browsing order. Computes at once: a text that does not convert
    // throws from here, before the window is shown.
    SummaryWindow(const DbfTable& table, const QList<quint32>& records, const RegionalSettings& rs,
                  SettingsStore& settings, QWidget* parent = nullptr);

    const RecordingSummary& summary() const { return m_summary; }
    QString periodText() const;

    // The buttons' work.
    void copyToClipboard();
    void print();
    void printOn(QPrinter& printer);

    // The printers of "Печать"; without a service there is no printer.
    void setPrintingService(PrintingService* printing) { m_printing = printing; }
    // Errors while printing go here (the default error report).
    void setErrorReport(std::function<void()> report) { m_errorReport = std::move(report); }

    QLineEdit* Lower1 = nullptr;
    QLineEdit* Upper1 = nullptr;
    QLineEdit* Lower2 = nullptr;
    QLineEdit* Upper2 = nullptr;
    QLineEdit* ActivationEnergy = nullptr;
    QLabel* Period = nullptr;
    QLabel* Problem = nullptr; // a limit that is not a number
    QTableWidget* Figures = nullptr;
    QTableWidget* Days = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* PrintButton = nullptr;
    QPushButton* CloseButton = nullptr;

private:
    void limitsEdited();
    void recompute();
    void fill(QTableWidget* table, const QList<QStringList>& rows, bool headingRow);

    const DbfTable& m_table;
    QList<quint32> m_records;
    RegionalSettings m_rs;
    SettingsStore& m_settings;
    SummaryOptions m_options;
    RecordingSummary m_summary;
    PrintingService* m_printing = nullptr;
    std::function<void()> m_errorReport;
};
