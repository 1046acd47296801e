// Output of a prepared report: page lists, the order of copies, pages onto a
// printer or a PDF file.

#include "components/pdf_document.h"
#include "components/report_canvas.h"
#include "components/report_engine.h"

#include "platform/app_error.h"
#include "platform/unseen_file.h"

#include <QBuffer>
#include <QGlyphRun>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTextLine>

#include <algorithm>
#include <cmath>

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

namespace {

constexpr int kPdfResolution = 600; // the dots per inch the texts are laid out for

QPageLayout pdfPageLayout(const ReportPageSetup& setup)
{
    return QPageLayout(
        QPageSize(QSizeF(setup.paperWidthMm, setup.paperHeightMm), QPageSize::Millimeter),
        setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
}

// The report's pages written straight into a PDF content stream: a text of
// one cell is one string, not a string per glyph as Qt's PDF writer has it,
// which is what makes a long report quick to write. The page looks as it does
// through Qt's writer: glyphs stand where Qt places them.
class PdfCanvas : public ReportCanvas
{
public:
    PdfCanvas(PdfDocument& pdf, const QPaintDevice& layoutDevice)
        : m_pdf(pdf), m_device(layoutDevice)
    {
    }

    // Starts a page `heightPoints` high. The page's own unit is 1/64 of the
    // report's unit, with the y axis downwards as on the screen: the grid
    // Qt places glyphs on, so that most places are whole numbers.
    void beginPage(int heightPoints)
    {
        m_content.clear();
        const double pointsPerPixel = 72.0 / kPdfResolution;
        const double pixelsPerStep = PreparedReport::devicePixelsPerUnit(m_device) / kGrid;
        m_content.number(pointsPerPixel, 9).op("0 0 ").number(-pointsPerPixel, 9).op("0 ");
        m_content.number(heightPoints).op("cm\n");
        m_content.number(pixelsPerStep, 12).op("0 0 ").number(pixelsPerStep, 12).op("0 0 cm\n");
    }
    QByteArrayView content() const { return m_content.bytes(); }

    const QPaintDevice& device() const override { return m_device; }
    void highlight(const QRectF& rect) override
    {
        m_content.op("q 1 0.902 0 rg ");
        rectangle(rect).op("f Q\n");
    }
    void glyphs(const QRawFont& font, const QList<quint32>& glyphs,
                const QList<QPointF>& positions) override
    {
        if (glyphs.isEmpty())
            return;
        const int f = m_pdf.font(font);
        m_content.op("BT /F").op(QByteArray::number(f)).op(" ");
        m_content.number(font.pixelSize() * kGrid).op("Tf 1 0 0 -1 0 0 Tm\n");
        // A glyph that stands where the one before it ends continues its
        // string; any other starts a new one, moved from the last one's
        // start (the text's y axis points up).
        bool open = false;
        double lineX = 0, lineY = 0, nextX = 0, nextY = 0;
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
            const double x = onGrid(positions[i].x()), y = onGrid(positions[i].y());
            const quint32 glyph = glyphs[i];
            if (!open || y != nextY || x != nextX) {
                if (open)
                    m_content.op(">Tj\n");
                m_content.number(x - lineX, 6).number(lineY - y, 6).op("Td <");
                lineX = x;
                lineY = y;
                open = true;
            }
            m_content.hexGlyph(glyph);
            m_pdf.useGlyph(f, glyph);
            nextX = x + std::round(m_pdf.advance(f, glyph) * kGrid);
            nextY = y;
        }
        m_content.op(">Tj\nET\n");
    }
    void textLine(const QTextLine& line, const QPointF& at) override
    {
        for (const QGlyphRun& run : line.glyphRuns()) {
            QList<QPointF> positions = run.positions();
            for (QPointF& p : positions)
                p += at;
            glyphs(run.rawFont(), run.glyphIndexes(), positions);
        }
    }
    void clip(const QRectF& rect) override
    {
        m_content.op("q ");
        rectangle(rect).op("W n\n");
    }
    void unclip() override { m_content.op("Q\n"); }
    void frameLines(const QList<QRectF>& rects) override
    {
        for (const QRectF& r : rects)
            rectangle(r).op("f\n");
    }

private:
    static constexpr double kGrid = 64;
    // A glyph's place in grid steps, cut (not rounded) to a whole step as
    // Qt cuts it. The advances are whole steps.
    static double onGrid(double v) { return std::abs(v) < 1e15 ? double(qint64(v * kGrid)) : 0.0; }
    PdfContent& rectangle(const QRectF& r)
    {
        return m_content.number(r.x() * kGrid)
            .number(r.y() * kGrid)
            .number(r.width() * kGrid)
            .number(r.height() * kGrid)
            .op("re ");
    }

    PdfDocument& m_pdf;
    const QPaintDevice& m_device;
    PdfContent m_content;
};

// The report through Qt's PDF writer: for fonts that ours cannot embed.
bool writeReportPdfWithQt(const PreparedReport& report, OutputFile& file,
                          const std::function<bool(int done, int total)>& progress)
{
    QList<int> pages;
    pages.reserve(report.pageCount());
    for (int p = 0; p < report.pageCount(); ++p)
        pages << p;
    QPdfWriter writer(&file);
    writer.setResolution(kPdfResolution);
    writer.setCreator(QStringLiteral("ФЛН-РК2"));
    writer.setPageLayout(pdfPageLayout(report.reportTemplate().page));
    // The writer does not say when a write fails: the file does, and
    // the pages still to come could not be stored.
    return printReportPages(report, writer, pages, [&](int n, int total) {
        return !file.failed() && (!progress || progress(n, total));
    });
}

bool writeReportPdfPages(const PreparedReport& report, OutputFile& file,
                         const std::function<bool(int done, int total)>& progress)
{
    // Texts are laid out for a PDF device, as Qt's writer lays them out;
    // nothing is painted on it.
    QBuffer nowhere;
    QPdfWriter layoutDevice(&nowhere);
    layoutDevice.setResolution(kPdfResolution);
    const QSize size = pdfPageLayout(report.reportTemplate().page).fullRectPoints().size();
    PdfDocument pdf(file, QStringLiteral("ФЛН-РК2"));
    PdfCanvas canvas(pdf, layoutDevice);
    const int total = report.pageCount();
    for (int page = 0; page < total; ++page) {
        canvas.beginPage(size.height());
        report.drawPage(canvas, page);
        pdf.addPage(size, canvas.content());
        if (file.failed() || (progress && !progress(page + 1, total)))
            return false;
    }
    pdf.finish();
    return true;
}

} // namespace

bool writeReportPdf(const PreparedReport& report, const QString& fileName,
                    const std::function<bool(int done, int total)>& progress)
{
    // Built unseen beside its target and named only when whole: a cancel, a
    // full disk or a kill leaves an older report of that name as it was.
    std::unique_ptr<OutputFile> file = std::make_unique<OutputFile>(fileName);
    bool done = false;
    try {
        try {
            done = writeReportPdfPages(report, *file, progress);
        } catch (const PdfUnsupportedFont&) {
            file = std::make_unique<OutputFile>(fileName);
            done = writeReportPdfWithQt(report, *file, progress);
        }
    } catch (const AppError&) {
        if (!file->failed())
            throw;
    }
    if (!done && !file->failed())
        return false; // cancelled: the unfinished file goes with `file`
    file->commit();   // throws with the system's reason when a write failed
    return true;
}
