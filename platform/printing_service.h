#pragma once

#include <QString>

#include <memory>

class QPrinter;

// The application's printers: the current printer (initially the system's
// default printer; none on a machine without one) and, for users without a
// printer and for tests, a PDF writer that saves every print job as a file
// named after the job in a chosen folder (`--print-to-pdf DIR`).
// The print dialog and the preview window host are the dialog service's.
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

    // Names the job and, when printing to PDF, points the printer at
    // DIR/<title>.pdf ("<title> (2).pdf" and so on when that name is taken).
    // Call before painting starts. Returns that file name, or "".
    QString beginJob(QPrinter& printer, const QString& title);

    // The file name for a job titled `title` in `dir`: the first of
    // "title.pdf", "title (2).pdf", … that does not exist yet.
    static QString freePdfName(const QString& dir, const QString& title);

private:
    PrintingService() = default;

    QString m_pdfDirectory;
    std::unique_ptr<QPrinter> m_printer;
};
