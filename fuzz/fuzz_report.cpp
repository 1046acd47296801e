// A prepared report file of any content: it either opens, and then every page
// it has can be laid out, read, drawn and written as PDF, or it is refused
// with AppError.
#include "components/prepared_report_file.h"
#include "platform/app_error.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void needApplication()
{
    static QGuiApplication* app = [] {
        // Fonts need a platform; none with a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_report";
        static char* argv[] = {name, nullptr};
        return new QGuiApplication(argc, argv);
    }();
    (void)app;
}

void usePage(const PreparedReport& report, int page, QImage& image)
{
    (void)report.pageCells(page);
    QPainter painter(&image);
    const double scale = PreparedReport::devicePixelsPerUnit(image);
    painter.scale(scale, scale);
    report.paintPage(painter, page, 0);
}

} // namespace

// Fontconfig keeps its caches for the life of the process, and the
// application above lives until the end: neither is a leak of ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    needApplication();
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(reinterpret_cast<const char*>(data), qsizetype(size));
    buffer->open(QIODevice::ReadOnly);
    std::unique_ptr<PreparedReport> report;
    try {
        report = PreparedReportFile::open(std::move(buffer), QStringLiteral("fuzz.flnr"));
    } catch (const AppError&) {
        return 0;
    }
    const int pages = report->pageCount();
    if (pages < 1)
        std::abort(); // a report has at least one page
    QImage image(64, 48, QImage::Format_RGB32);
    try {
        // The first pages, and the last: a page's rows come from the file.
        for (int p = 0; p < std::min(pages, 3); ++p)
            usePage(*report, p, image);
        usePage(*report, pages - 1, image);
        (void)report->find(QStringLiteral("1"), {}, [](int page) { return page < 3; });
        // Written as PDF: a report of up to three pages whole, with its
        // fonts; a longer one is cancelled after its third page.
        static const QString pdf =
            QDir::temp().filePath(QStringLiteral("fuzz_report_%1.pdf").arg(getpid()));
        if (writeReportPdf(*report, pdf, [](int done, int) { return done < 3; }))
            QFile::remove(pdf);
    } catch (const AppError&) {
        // A row damaged past its offset: refused when it is read.
    }
    return 0;
}
