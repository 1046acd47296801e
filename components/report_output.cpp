// Output of a prepared report: page lists, the order of copies, pages onto a
// printer or a PDF file.

#include "components/report_engine.h"

#include "platform/app_error.h"
#include "platform/fast_compression.h"
#include "platform/unseen_file.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>

QList<int> printSequence(const QList<int>& pages, int copies, bool collate)
{
    QList<int> out;
    copies = std::max(1, copies);
    if (collate) {
        for (int c = 0; c < copies; ++c)
            out += pages;
    } else {
        for (int p : pages) {
            for (int c = 0; c < copies; ++c)
                out << p;
        }
    }
    return out;
}

bool parsePageList(const QString& text, int pageCount, QList<int>& pages)
{
    pages.clear();
    const QString t = text.simplified().remove(u' ');
    if (t.isEmpty()) {
        for (int p = 0; p < pageCount; ++p)
            pages << p;
        return true;
    }
    for (const QString& part : t.split(u',')) {
        const QStringList ends = part.split(u'-');
        if (ends.size() > 2)
            return false;
        bool ok1 = false, ok2 = false;
        const int from = ends[0].toInt(&ok1);
        const int to = ends.size() == 2 ? ends[1].toInt(&ok2) : from;
        if (!ok1 || (ends.size() == 2 && !ok2) || from < 1 || to < from)
            return false;
        for (int p = from; p <= std::min(to, pageCount); ++p)
            pages << p - 1;
    }
    return true;
}

bool printReportPages(const PreparedReport& report, QPagedPaintDevice& device,
                      const QList<int>& pages,
                      const std::function<bool(int done, int total)>& progress)
{
    QPainter painter;
    if (!painter.begin(&device))
        throw AppError(QStringLiteral("Не удается начать печать"));
    const double scale = PreparedReport::devicePixelsPerUnit(device);
    bool first = true;
    int done = 0;
    for (int page : pages) {
        if (page < 0 || page >= report.pageCount())
            continue;
        if (!first && !device.newPage()) {
            painter.end();
            throw AppError(QStringLiteral("Не удается начать новую страницу"));
        }
        first = false;
        painter.resetTransform();
        painter.scale(scale, scale);
        report.paintPage(painter, page);
        ++done;
        if (progress && !progress(done, int(pages.size()))) {
            if (auto* printer = dynamic_cast<QPrinter*>(&device))
                printer->abort(); // the pages so far do not go out
            painter.end();
            return false;
        }
    }
    if (!painter.end())
        throw AppError(QStringLiteral("Не удается завершить печать"));
    return true;
}

bool writeReportPdf(const PreparedReport& report, const QString& fileName,
                    const std::function<bool(int done, int total)>& progress)
{
    const ReportPageSetup& setup = report.reportTemplate().page;
    // Built unseen beside its target and named only when whole: a cancel, a
    // full disk or a kill leaves an older report of that name as it was.
    OutputFile file(fileName);
    QList<int> pages;
    pages.reserve(report.pageCount());
    for (int p = 0; p < report.pageCount(); ++p)
        pages << p;
    bool done = false;
    try {
        // The pages' streams dominate the time of a long report; the
        // fastest level keeps the same pages.
        const FastCompressionScope fastCompression;
        QPdfWriter writer(&file);
        writer.setResolution(600);
        writer.setCreator(QStringLiteral("ФЛН-РК2"));
        writer.setPageLayout(QPageLayout(
            QPageSize(QSizeF(setup.paperWidthMm, setup.paperHeightMm), QPageSize::Millimeter),
            setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
        // The writer does not say when a write fails: the file does, and
        // the pages still to come could not be stored.
        done = printReportPages(report, writer, pages, [&](int n, int total) {
            return !file.failed() && (!progress || progress(n, total));
        });
    } catch (const AppError&) {
        if (!file.failed())
            throw;
    }
    if (!done && !file.failed())
        return false; // cancelled: the unfinished file goes with `file`
    file.commit();    // throws with the system's reason when a write failed
    return true;
}
