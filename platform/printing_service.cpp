#include "platform/printing_service.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

PrintingService& PrintingService::instance()
{
    static PrintingService service;
    return service;
}

void PrintingService::setPdfDirectory(const QString& dir)
{
    if (dir == m_pdfDirectory)
        return;
    m_pdfDirectory = dir;
    m_printer.reset(); // the next job gets a printer of the new kind
}

bool PrintingService::hasPrinter() const
{
    return !m_pdfDirectory.isEmpty() || !QPrinterInfo::defaultPrinter().isNull();
}

QPrinter* PrintingService::currentPrinter()
{
    if (!hasPrinter())
        return nullptr;
    if (!m_printer) {
        if (m_pdfDirectory.isEmpty()) {
            m_printer = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(),
                                                   QPrinter::HighResolution);
        } else {
            m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            m_printer->setOutputFormat(QPrinter::PdfFormat);
        }
    }
    return m_printer.get();
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
