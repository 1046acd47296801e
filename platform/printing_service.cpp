#include "platform/printing_service.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

const QString PrintingService::kNoPrinterText =
    QStringLiteral("There is no default printer currently selected");

PrintingService::PrintingService(Printers printers) : m_printers(printers) {}

PrintingService::PrintingService(const QString& pdfDirectory) : m_pdfDirectory(pdfDirectory) {}

PrintingService::~PrintingService() = default;

void PrintingService::setPdfDirectory(const QString& dir)
{
    if (dir == m_pdfDirectory)
        return;
    m_pdfDirectory = dir;
    m_printer.reset(); // the next job gets a printer of the new kind
}

bool PrintingService::hasPrinter() const
{
    if (!m_pdfDirectory.isEmpty())
        return true;
    return m_printers == Printers::System && !QPrinterInfo::defaultPrinter().isNull();
}

QPrinter& PrintingService::printer()
{
    if (!hasPrinter())
        throw AppError(kNoPrinterText);
    if (!m_printer) {
        if (m_pdfDirectory.isEmpty()) {
            m_printer = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(),
                                                   QPrinter::HighResolution);
        } else {
            m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            m_printer->setOutputFormat(QPrinter::PdfFormat);
        }
    }
    return *m_printer;
}

QString PrintingService::printerName() const
{
    if (!m_pdfDirectory.isEmpty())
        return QStringLiteral("PDF → %1").arg(QDir::toNativeSeparators(m_pdfDirectory));
    return {}; // the print dialog knows the system's printers itself
}

QString PrintingService::freePdfName(const QString& dir, const QString& title)
{
    // A job title may hold characters that a file name cannot.
    QString base = title;
    base.replace(u'/', u'_');
    if (base.isEmpty())
        base = QStringLiteral("document");
    const QDir folder(dir);
    QString name = folder.filePath(base + QStringLiteral(".pdf"));
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = folder.filePath(QStringLiteral("%1 (%2).pdf").arg(base).arg(n));
    return name;
}

QString PrintingService::beginJob(QPrinter& printer, const QString& title)
{
    printer.setDocName(title);
    if (m_pdfDirectory.isEmpty() && printer.outputFormat() != QPrinter::PdfFormat)
        return {};
    if (m_pdfDirectory.isEmpty())
        return printer.outputFileName();
    QDir().mkpath(m_pdfDirectory);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString file = freePdfName(m_pdfDirectory, title);
    printer.setOutputFileName(file);
    return file;
}
