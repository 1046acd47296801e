#pragma once

#include <QPageLayout>
#include <QString>

#include <functional>
#include <memory>

class QPainter;
class QPrinter;
class UnseenFile;

// The application's printers: the current printer (initially the system's
// default printer; none on a machine without one) and, for users without a
// printer and for tests, a PDF writer that saves every print job as a file
// named after the job in a chosen folder (`--print-to-pdf DIR`).
// The program start makes one and hands it to the windows that print, as it
// hands them the dialog service; the print dialog and the preview window
// host are the dialog service's.
//
// Without a printer, every print path of the windows ends the same way:
// printer() throws "There is no default printer currently selected", which
// the default error report shows; nothing is printed, no dialog is shown and
// the window stays as it was. That holds for the report's "Печать" (main
// menu, Ctrl+P, toolbar, grid pop-up: the report is prepared first), the
// preview's "Печать" (the preview stays open), the chart's "Печать" and the
// summary's (which offers "Сохранить в PDF…" instead). The command line prints
// nothing, so it needs no printing service.
// A job is printed through PrintJob (below); a job of one page, through
// printPage.
class PrintingService
{
public:
    enum class Printers
    {
        System, // the system's default printer, when there is one
        None    // a machine without any printer (tests)
    };
    explicit PrintingService(Printers printers = Printers::System);
    // Every job becomes DIR/<job title>.pdf; an empty DIR: the system's printers.
    explicit PrintingService(const QString& pdfDirectory);
    ~PrintingService();

    static const QString kNoPrinterText; // "There is no default printer currently selected"

    // Empty: the system's printers. Otherwise every job is written to
    // DIR/<job title>.pdf.
    void setPdfDirectory(const QString& dir);
    QString pdfDirectory() const { return m_pdfDirectory; }

    // Whether a current printer exists.
    bool hasPrinter() const;
    // The application's current printer; throws kNoPrinterText when there is
    // none. The service owns it; settings made on it (orientation, page
    // layout) stay for the next job, as they do on a printer.
    QPrinter& printer();
    // What a print dialog shows as the printer when jobs become files
    // ("PDF → DIR"); empty for the system's printers, which it knows itself.
    QString printerName() const;

    // Draws one page: `painter` is on `printer`, whose origin is the
    // paper's corner.
    using PagePainter = std::function<void(QPainter& painter, QPrinter& printer)>;
    // Prints one page on the current printer as the job `title`, the paper
    // in `orientation` and its margins measured from the paper's edge; the
    // printer's orientation and page mode stay as they were for the next job.
    // Returns the file the job became ("" on a printer). Throws
    // kNoPrinterText without a printer and AppError when the job does not
    // start, end or get written; a `paint` that throws ends the job with
    // nothing printed and goes on.
    QString printPage(const QString& title, QPageLayout::Orientation orientation,
                      const PagePainter& paint);
    // The same on a printer of its own (a PDF writer with its output file set).
    static QString printPage(QPrinter& printer, const QString& title,
                             QPageLayout::Orientation orientation, const PagePainter& paint);

    // The file name for a job titled `title` in `dir`: the first of
    // "title.pdf", "title (2).pdf", … that does not exist yet.
    static QString freePdfName(const QString& dir, const QString& title);

private:
    Printers m_printers = Printers::System;
    QString m_pdfDirectory;
    std::unique_ptr<QPrinter> m_printer;
};

// One print job on `printer`. When jobs become PDF files (a PDF folder, or a
// printer whose output is a PDF file), the printer writes into an unseen file
// in the target's folder, named only by finish() once it is checked whole:
// "DIR/<title>.pdf" ("<title> (2).pdf" and so on, never replacing a file),
// or the printer's own output file, replaced in one step. A job that is not
// finished (cancelled, failed, killed) leaves nothing and touches no file.
class PrintJob
{
public:
    // Names the job; call before painting starts. Throws AppError when the
    // folder takes no new file.
    PrintJob(PrintingService& service, QPrinter& printer, const QString& title);
    // A job on a printer of its own (a PDF writer with its output file set).
    PrintJob(QPrinter& printer, const QString& title);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // Whether the job becomes a file.
    bool toFile() const { return m_file != nullptr; }
    // After the painter has ended: gives the file its name and returns it
    // ("" on a printer). Throws AppError ("Не удалось записать файл X: …")
    // when the file was not written whole.
    QString finish();

private:
    void start(const QString& pdfFolder);
    void restorePrinter();

    QPrinter& m_printer;
    std::unique_ptr<UnseenFile> m_file;
    QString m_folder; // numbered names in a PDF folder
    QString m_title;
    QString m_target;  // else the printer's own output file
    QString m_restore; // the printer's file name after the job
};
