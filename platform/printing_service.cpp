#include "platform/printing_service.h"

#include "platform/app_error.h"
#include "platform/unseen_file.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>

#include <optional>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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

namespace {

QString printOnePage(QPrinter& printer, PrintingService* service, const QString& title,
                     QPageLayout::Orientation orientation,
                     const PrintingService::PagePainter& paint)
{
    // The printer may be the application's: the next job finds it as it was.
    const QPageLayout::Orientation oldOrientation = printer.pageLayout().orientation();
    const bool fullPage = printer.fullPage();
    const auto restore = qScopeGuard([&] {
        printer.setFullPage(fullPage);
        printer.setPageOrientation(oldOrientation);
    });
    printer.setPageOrientation(orientation);
    printer.setFullPage(true);
    std::optional<PrintJob> job;
    if (service)
        job.emplace(*service, printer, title);
    else
        job.emplace(printer, title);
    QPainter painter;
    if (!painter.begin(&printer))
        throw AppError(QStringLiteral("Printing failed: the printer did not start the job"));
    try {
        paint(painter, printer);
    } catch (...) {
        printer.abort();
        painter.end();
        throw;
    }
    if (!painter.end())
        throw AppError(QStringLiteral("Printing failed"));
    return job->finish();
}

} // namespace

QString PrintingService::printPage(const QString& title, QPageLayout::Orientation orientation,
                                   const PagePainter& paint)
{
    return printOnePage(printer(), this, title, orientation, paint);
}

QString PrintingService::printPage(QPrinter& printer, const QString& title,
                                   QPageLayout::Orientation orientation, const PagePainter& paint)
{
    return printOnePage(printer, nullptr, title, orientation, paint);
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

// --- print jobs ---

namespace {

// Whether `fd` holds a whole PDF as a PDF writer ends one: "%%EOF" last, and
// the cross-reference table where "startxref" says it is. A write that the
// printer's engine lost (a full disk) leaves the end missing or moved.
bool wholePdf(int fd)
{
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || st.st_size < 32)
        return false;
    const qint64 size = st.st_size;
    QByteArray tail(int(std::min<qint64>(size, 1024)), '\0');
    if (::pread(fd, tail.data(), size_t(tail.size()), size - tail.size()) != tail.size())
        return false;
    while (tail.endsWith('\n') || tail.endsWith('\r'))
        tail.chop(1);
    if (!tail.endsWith("%%EOF"))
        return false;
    const qsizetype at = tail.lastIndexOf("startxref");
    if (at < 0)
        return false;
    bool ok = false;
    const qint64 xref = tail.mid(at + 9, tail.size() - 5 - at - 9).trimmed().toLongLong(&ok);
    if (!ok || xref <= 0 || xref > size - 4)
        return false;
    char word[4];
    return ::pread(fd, word, 4, xref) == 4 && std::memcmp(word, "xref", 4) == 0;
}

// The system's reason for a PDF that the printer's engine did not write
// whole: it does not say, so the file system is asked.
QString incompleteReason(int fd)
{
    struct statvfs fs = {};
    if (::fstatvfs(fd, &fs) == 0 && fs.f_bavail == 0)
        return QString::fromLocal8Bit(std::strerror(ENOSPC));
    struct rlimit limit = {};
    struct stat st = {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        ::fstat(fd, &st) == 0 && rlim_t(st.st_size) >= limit.rlim_cur)
        return QString::fromLocal8Bit(std::strerror(EFBIG));
    return QStringLiteral("файл записан не полностью");
}

} // namespace

PrintJob::PrintJob(PrintingService& service, QPrinter& printer, const QString& title)
    : m_printer(printer), m_title(title)
{
    start(service.pdfDirectory());
}

PrintJob::PrintJob(QPrinter& printer, const QString& title) : m_printer(printer), m_title(title)
{
    start(QString());
}

void PrintJob::start(const QString& folder)
{
    QPrinter& printer = m_printer;
    printer.setDocName(m_title);
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        printer.setOutputFormat(QPrinter::PdfFormat);
        m_folder = folder;
        m_restore = PrintingService::freePdfName(folder, m_title);
        m_file = std::make_unique<UnseenFile>(folder, m_restore);
    } else if (printer.outputFormat() == QPrinter::PdfFormat &&
               !printer.outputFileName().isEmpty()) {
        m_target = QFileInfo(printer.outputFileName()).absoluteFilePath();
        m_restore = printer.outputFileName();
        m_file = std::make_unique<UnseenFile>(QFileInfo(m_target).absolutePath(), m_target);
    } else {
        return;
    }
    printer.setOutputFileName(m_file->path());
}

PrintJob::~PrintJob()
{
    restorePrinter();
}

void PrintJob::restorePrinter()
{
    // The printer keeps a file name of its own for the next job, not the
    // unseen file's, which is gone by then.
    if (m_file && m_printer.outputFileName() == m_file->path())
        m_printer.setOutputFileName(m_restore);
}

QString PrintJob::finish()
{
    if (!m_file)
        return {};
    restorePrinter();
    const std::unique_ptr<UnseenFile> file = std::move(m_file);
    const QString named =
        m_target.isEmpty() ? PrintingService::freePdfName(m_folder, m_title) : m_target;
    if (!wholePdf(file->descriptor()))
        throw writeFailure(named, incompleteReason(file->descriptor()));
    file->sync(named);
    if (!m_target.isEmpty()) {
        file->publish(m_target);
        return m_target;
    }
    // The first free name: a file that took it meanwhile is never replaced.
    QString target = named;
    for (int k = 0; k < 10000; ++k) {
        if (file->publishNew(target))
            return target;
        target = PrintingService::freePdfName(m_folder, m_title);
    }
    throw writeFailure(target, QString::fromLocal8Bit(std::strerror(EEXIST)));
}
