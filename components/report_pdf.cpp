// A prepared report as a PDF file: the canvas that writes its pages straight
// into PDF content streams, and the file written unseen (through Qt's PDF
// writer for a face that ours cannot embed).

#include "components/pdf_document.h"
#include "components/report_canvas.h"
#include "components/report_engine.h"

#include "platform/app_error.h"
#include "platform/unseen_file.h"

#include <QBuffer>
#include <QGlyphRun>
#include <QPageLayout>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextLine>

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

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
    void glyphs(const QRawFont& font, const QList<quint32>& glyphs, const QList<QPointF>& positions,
                const QString& text) override
    {
        draw(font, glyphs, positions, text.size() == glyphs.size() ? text.constData() : nullptr);
    }
    void textLine(const QTextLine& line, const QString& text, const QPointF& at) override
    {
        bool textsKnown = true;
        for (const QGlyphRun& run : line.glyphRuns()) {
            QList<QPointF> positions = run.positions();
            for (QPointF& p : positions)
                p += at;
            textsKnown = draw(run.rawFont(), run.glyphIndexes(), positions, nullptr) && textsKnown;
        }
        if (!textsKnown)
            learnTexts(line, text);
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

    // Draws the glyphs; `text`, where given, has a character per glyph.
    // False when a glyph's text is not known yet.
    bool draw(const QRawFont& font, const QList<quint32>& glyphs, const QList<QPointF>& positions,
              const QChar* text)
    {
        if (glyphs.isEmpty())
            return true;
        const int f = m_pdf.font(font);
        const bool embedded = m_pdf.embedded(f);
        // A face that may not be embedded: its text unseen, for search
        // and copy, and its glyphs drawn as outlines after it.
        m_content.op(embedded ? "BT " : "q BT 3 Tr ").op(m_pdf.resource(f)).op(" ");
        m_content.number(font.pixelSize() * kGrid).op("Tf 1 0 0 -1 0 0 Tm\n");
        // A glyph that stands where the one before it ends continues its
        // string; any other starts a new one, moved from the last one's
        // start (the text's y axis points up).
        bool open = false, known = true;
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
            if (text) {
                m_pdf.useGlyph(f, glyph, QStringView(text + i, 1));
            } else {
                m_pdf.useGlyph(f, glyph);
                known = known && m_pdf.knowsText(f, glyph);
            }
            nextX = x + std::round(m_pdf.advance(f, glyph) * kGrid);
            nextY = y;
        }
        m_content.op(embedded ? ">Tj\nET\n" : ">Tj\nET Q\n");
        if (!embedded) {
            for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
                m_content.op("q 1 0 0 1 ")
                    .number(onGrid(positions[i].x()))
                    .number(onGrid(positions[i].y()))
                    .op("cm ")
                    .op(outline(f, font, glyphs[i]))
                    .op("f Q\n");
            }
        }
        return known;
    }

    // The outline of a glyph as path operators, its origin at 0 0, in grid
    // steps.
    QByteArrayView outline(int f, const QRawFont& font, quint32 glyph)
    {
        std::string& path = m_outlines[quint64(f) << 32 | glyph];
        if (path.empty()) {
            PdfContent ops;
            const QPainterPath p = font.pathForGlyph(glyph);
            for (int i = 0; i < p.elementCount(); ++i) {
                const QPainterPath::Element e = p.elementAt(i);
                ops.number(e.x * kGrid, 2).number(e.y * kGrid, 2);
                if (e.isMoveTo()) {
                    ops.op("m ");
                } else if (e.isLineTo()) {
                    ops.op("l ");
                } else if (e.isCurveTo() && i + 2 < p.elementCount()) {
                    for (int k = 1; k <= 2; ++k)
                        ops.number(p.elementAt(i + k).x * kGrid, 2)
                            .number(p.elementAt(i + k).y * kGrid, 2);
                    ops.op("c ");
                    i += 2;
                }
            }
            path.assign(ops.bytes().data(), size_t(ops.bytes().size()));
            path += ' '; // never empty: a space has no outline
        }
        return QByteArrayView(path.data(), qsizetype(path.size()));
    }

    // Tells the writer which characters the line's glyphs stand for: each
    // character's cluster of glyphs, as the layout shaped them. Characters
    // that give the same glyphs are one cluster, told to its first glyph;
    // the other glyphs of a cluster have no characters of their own.
    void learnTexts(const QTextLine& line, const QString& text)
    {
        const int start = line.textStart(), end = start + line.textLength();
        QList<QGlyphRun> cluster;
        int from = start;
        const auto tell = [&](int to) {
            if (!cluster.isEmpty() && !cluster[0].glyphIndexes().isEmpty() && to > from &&
                to <= text.size())
                m_pdf.useGlyph(m_pdf.font(cluster[0].rawFont()), cluster[0].glyphIndexes()[0],
                               QStringView(text).mid(from, to - from));
        };
        for (int i = start; i < end; ++i) {
            QList<QGlyphRun> glyphs = line.glyphRuns(i, 1);
            if (i == start || glyphs != cluster) {
                tell(i);
                cluster = std::move(glyphs);
                from = i;
            }
        }
        tell(end);
        for (const QGlyphRun& run : line.glyphRuns())
            m_pdf.giveUpUnknownTexts(m_pdf.font(run.rawFont()));
    }

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
    std::unordered_map<quint64, std::string> m_outlines; // by font and glyph
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
