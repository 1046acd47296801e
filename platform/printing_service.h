#pragma once

#include <QString>

#include <memory>

class QPrinter;
class UnseenFile;

// The application's printers: the current printer (initially the system's
// default printer; none on a machine without one) and, for users without a
// printer and for tests, a PDF writer that saves every print job as a file
// named after the job in a chosen folder (`--print-to-pdf DIR`).
// The print dialog and the preview window host are the dialog service's.
// A job is printed through PrintJob (below).
class PrintingService
{
public:
    static PrintingService& instance();

    // Empty: the system's printers. Otherwise every job is written to
    // DIR/<job title>.pdf.
    void setPdfDirectory(const QString& dir);
    QString pdfDirectory() const { return m_pdfDirectory; }

    // Whether a current printer exists.
    bool hasPrinter() const;
    // The application's current printer, or nullptr when there is none. The
    // service owns it; settings made on it (orientation, page layout) stay
    // for the next job, as they do on a printer.
    QPrinter* currentPrinter();

    // The file name for a job titled `title` in `dir`: the first of
    // "title.pdf", "title (2).pdf", … that does not exist yet.
    static QString freePdfName(const QString& dir, const QString& title);

private:
    PrintingService() = default;

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
    void restorePrinter();

    QPrinter& m_printer;
    std::unique_ptr<UnseenFile> m_file;
    QString m_folder; // numbered names in a PDF folder
    QString m_title;
    QString m_target;  // else the printer's own output file
    QString m_restore; // the printer's file name after the job
};
