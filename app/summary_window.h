#pragma once

#include "data/recording_summary.h"
#include "output/protocol_document.h"

#include <QDialog>
#include <QList>

#include <functional>

class DbfTable;
class DialogService;
class QLabel;
class QLineEdit;
class PrintingService;
class QPainter;
class QPrinter;
class QPushButton;
class QTableWidget;
class SettingsStore;

// "Сводка": the analysis of the open table or of the selected rows, with the
// limit fields of T1 and T2 and ΔH (kept per table in the settings store), recomputed
// when they change. It shows and asks; the figures come from data/. It opens
// large enough to show its tables whole where the screen allows.
class SummaryWindow : public QDialog
{
    Q_OBJECT

public:
    // `records`: the selected rows' record numbers; empty for the whole table
    // in its browsing order. Computes at once: a text that does not convert
    // throws from here, before the window is shown. `printing`: the printers
    // of "Печать".
    SummaryWindow(const DbfTable& table, const QList<quint32>& records, const RegionalSettings& rs,
                  SettingsStore& settings, PrintingService& printing, QWidget* parent = nullptr);

    const RecordingSummary& summary() const { return m_summary; }
    QString periodText() const;

    // The buttons' work.
    void copyToClipboard();
    // The summary on the current printer, through the protocol's layout on
    // as many pages as it needs; without one, the default error report's
    // message offers "Сохранить в PDF…".
    void print();
    // "Протокол…": the protocol of the same rows and limits in its preview.
    void showProtocol();
    // Writes the printed pages as a PDF file (unseen until whole); returns
    // its name. Throws AppError on a refusal or a failed write.
    QString saveAsPdf(const QString& fileName);
    // The last file a print job or "Сохранить в PDF…" wrote; empty: none.
    QString writtenFile() const { return m_writtenFile; }

    // Errors while printing go here (the default error report).
    void setErrorReport(std::function<void()> report) { m_errorReport = std::move(report); }
    // The messages and the save dialog of "Сохранить в PDF…"; without a
    // service, no printer is only reported.
    void setDialogService(DialogService* dialogs) { m_dialogs = dialogs; }
    // Where the save dialog starts and the table whose name the file takes.
    void setSaveSuggestion(const QString& folder, const QString& tableName)
    {
        m_saveFolder = folder;
        m_saveName = tableName;
    }

    QLineEdit* Lower1 = nullptr;
    QLineEdit* Upper1 = nullptr;
    QLineEdit* Lower2 = nullptr;
    QLineEdit* Upper2 = nullptr;
    QLineEdit* ActivationEnergy = nullptr;
    QLabel* Period = nullptr;
    QLabel* LimitsOf = nullptr;       // "Границы таблицы rows.db:"
    QLabel* Problem = nullptr;        // a limit that is not a number
    QLabel* Written = nullptr;        // where "Сохранить в PDF…" put the file
    QTableWidget* Figures = nullptr;  // the recording: label, value
    QTableWidget* Channels = nullptr; // per channel: label, T1, T2
    QTableWidget* Days = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* PrintButton = nullptr;
    QPushButton* ProtocolButton = nullptr;
    QPushButton* CloseButton = nullptr;

private:
    void limitsEdited();
    void recompute();
    void fill(QTableWidget* table, const QList<QStringList>& rows, bool headingRow);
    // Room for every table whole, within the screen's free area.
    void fitToContents();
    void offerPdf();
    // What the printed summary shows: the protocol's heading, verdicts,
    // figures and days, without chart and readings.
    ProtocolContent printedContent() const;
    // A job's file, when it became one, is the last file written.
    QString keepWritten(const QString& file);

    const DbfTable& m_table;
    QList<quint32> m_records;
    RegionalSettings m_rs;
    SettingsStore& m_settings;
    SummaryOptions m_options;
    RecordingSummary m_summary;
    PrintingService& m_printing;
    DialogService* m_dialogs = nullptr;
    std::function<void()> m_errorReport;
    QString m_saveFolder, m_saveName;
    QString m_writtenFile;
};
