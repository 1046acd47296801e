#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class DialogService;
class PrintingService;
class PreparedReport;
class QPrinter;
class QWidget;

// The report engine's windows over the program's services: the modal
// preview, and printing through the print dialog with a progress window.
class ReportPrinting
{
public:
    // `help` shows the manual; `jobTitle` names print jobs (and, printing to
    // PDF, their files).
    ReportPrinting(DialogService& dialogs, PrintingService& printing, std::function<void()> help,
                   QString jobTitle);

    // The files of the table the report is made from, which a saved report
    // never replaces.
    void setTableFiles(QStringList files) { m_tableFiles = std::move(files); }

    // Shows the prepared pages in "Предварительный просмотр".
    void preview(QWidget* parent, const PreparedReport& report);

    // Without a printer: the printing service's error. Otherwise the print dialog (all pages or a
    // list such as 1,3,5-12, copies, collate) on an A4 landscape page; when
    // confirmed, the chosen pages with a progress window that can cancel.
    // Returns whether the pages went to the printer.
    bool printWithDialog(QWidget* parent, const PreparedReport& report);

    // Where the preview's file dialogs start.
    void setFolder(const QString& folder) { m_folder = folder; }
    // Where the preview keeps its zoom choice for the next preview.
    void setZoomMemory(int* choice) { m_zoomChoice = choice; }
    // Told where each finished job went: the file it became, or (empty
    // file) the printer's name.
    using Printed = std::function<void(const QString& file, const QString& printer)>;
    void setPrinted(Printed printed) { m_printed = std::move(printed); }

    static const QString kPreparedReportFilter;

private:
    DialogService& m_dialogs;
    PrintingService& m_printing;
    std::function<void()> m_help;
    QString m_jobTitle;
    QStringList m_tableFiles;
    QString m_folder;
    int* m_zoomChoice = nullptr;
    Printed m_printed;
};

// Puts `printer` on A4 landscape with the page's full area, for the report.
void setReportPage(QPrinter& printer, const PreparedReport& report);
