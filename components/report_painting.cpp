// Drawing a prepared page (frame lines merged, texts on two paths) onto a
// painter or any canvas, and the pages onto a printer.

#include "components/report_canvas.h"
#include "components/report_engine.h"
#include "components/report_text_cache.h"

#include "platform/app_error.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

using report_detail::FontGlyphs;
using report_detail::TextBlock;

// --- drawing ---

double PreparedReport::devicePixelsPerUnit(const QPaintDevice& device)
{
    return device.logicalDpiX() / ReportUnits::kPerInch;
}

namespace {

// The frame lines of a page as filled rectangles, each line once and lines
// that continue one another joined: adjacent cells share their edges, and a
// row's top and bottom lines become one line each. A PDF page stays small.
class FrameLines
{
public:
    using Frames = std::vector<std::pair<QRectF, ReportFrame>>;
    // `lastFrames`, `lastLines`: the previous page's, kept between pages.
    FrameLines(Frames& lastFrames, QList<QRectF>& lastLines)
        : m_lastFrames(lastFrames), m_lastLines(lastLines)
    {
        m_frames.reserve(lastFrames.size());
    }
    void add(const QRectF& r, const ReportFrame& frame)
    {
        if (frame.sides == ReportFrame::None || frame.width <= 0)
            return;
        m_frames.emplace_back(r, frame);
    }
    // Each line stays a fill of its own, which viewers snap to whole pixels.
    void draw(ReportCanvas& canvas)
    {
        if (m_frames != m_lastFrames) {
            m_lastFrames = std::move(m_frames);
            m_lastLines = joined(m_lastFrames);
        }
        if (!m_lastLines.isEmpty())
            canvas.frameLines(m_lastLines);
    }

private:
    static QList<QRectF> joined(const Frames& frames)
    {
        std::vector<Line> horizontal, vertical;
        for (const auto& [r, frame] : frames)
            add(horizontal, vertical, r, frame);
        QList<QRectF> rects;
        for (const Line& l : merged(horizontal)) {
            const double y = l.at / kScale, w = l.width / kScale;
            rects << QRectF(l.from, y - w / 2, l.to - l.from, w);
        }
        for (const Line& l : merged(vertical)) {
            const double x = l.at / kScale, w = l.width / kScale;
            rects << QRectF(x - w / 2, l.from, w, l.to - l.from);
        }
        return rects;
    }
    // A line across (at) or along the page, `width` thick, from `from` to `to`.
    struct Line
    {
        qint64 at, width;
        double from, to;
    };
    static void add(std::vector<Line>& horizontal, std::vector<Line>& vertical, const QRectF& r,
                    const ReportFrame& frame)
    {
        const double w = frame.width, h = w / 2;
        if (frame.sides & ReportFrame::Left)
            vertical.push_back({key(r.left()), key(w), r.top() - h, r.bottom() + h});
        if (frame.sides & ReportFrame::Right)
            vertical.push_back({key(r.right()), key(w), r.top() - h, r.bottom() + h});
        if (frame.sides & ReportFrame::Top)
            horizontal.push_back({key(r.top()), key(w), r.left() - h, r.right() + h});
        if (frame.sides & ReportFrame::Bottom)
            horizontal.push_back({key(r.bottom()), key(w), r.left() - h, r.right() + h});
    }
    static constexpr double kScale = 1000;
    // Clamped first: a length beyond any paper must not overflow the key.
    static qint64 key(double v)
    {
        const double scaled = v * kScale;
        return qRound64(std::isnan(scaled) ? 0 : std::clamp(scaled, -kKeyLimit, kKeyLimit));
    }
    static constexpr double kKeyLimit = 1e15;
    // The lines in order of place and width, those of one place and width
    // that touch or overlap joined.
    static std::vector<Line> merged(std::vector<Line>& lines)
    {
        std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
            return std::tie(a.at, a.width, a.from) < std::tie(b.at, b.width, b.from);
        });
        std::vector<Line> out;
        for (const Line& l : lines) {
            Line* last = out.empty() ? nullptr : &out.back();
            if (last && last->at == l.at && last->width == l.width && l.from <= last->to + 1e-6)
                last->to = std::max(last->to, l.to);
            else
                out.push_back(l);
        }
        return out;
    }
    Frames m_frames;
    Frames& m_lastFrames;
    QList<QRectF>& m_lastLines;
};

void drawText(ReportCanvas& canvas, const QRectF& inner, const ReportCell& cell,
              const TextBlock& block)
{
    // A text taller than the cell shows its first lines and is cut at the
    // bottom: the row never grows.
    double top = inner.top();
    if (block.height < inner.height()) {
        if (cell.vAlign == ReportCell::VAlign::Middle)
            top += (inner.height() - block.height) / 2;
        else if (cell.vAlign == ReportCell::VAlign::Bottom)
            top += inner.height() - block.height;
    }
    // Clipping costs every printed page a clip path: only texts that do
    // not fit get one.
    const bool clip = block.height > inner.height() + 0.01 || block.widest > inner.width() + 0.01;
    if (clip)
        canvas.clip(inner);
    for (int i = 0; i < block.layout.lineCount(); ++i) {
        const QTextLine line = block.layout.lineAt(i);
        const double y = top + line.y();
        if (y >= inner.bottom())
            break; // wholly cut off: not drawn at all
        const double w = line.naturalTextWidth();
        double x = inner.left();
        if (cell.hAlign == ReportCell::HAlign::Center)
            x += (inner.width() - w) / 2;
        else if (cell.hAlign == ReportCell::HAlign::Right)
            x += inner.width() - w;
        canvas.textLine(line, block.layout.text(), QPointF(x - line.x(), y - line.y()));
    }
    if (clip)
        canvas.unclip();
}

// A painter as the canvas: the screen, a printer.
class PainterCanvas : public ReportCanvas
{
public:
    explicit PainterCanvas(QPainter& painter) : m_painter(painter) {}

    const QPaintDevice& device() const override { return *m_painter.device(); }
    void highlight(const QRectF& rect) override { m_painter.fillRect(rect, QColor(255, 230, 0)); }
    void glyphs(const QRawFont& font, const QList<quint32>& glyphs, const QList<QPointF>& positions,
                const QString&) override
    {
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        m_painter.drawGlyphRun(QPointF(0, 0), run);
    }
    void textLine(const QTextLine& line, const QString&, const QPointF& at) override
    {
        line.draw(&m_painter, at);
    }
    void clip(const QRectF& rect) override
    {
        m_painter.save();
        m_painter.setClipRect(rect, Qt::IntersectClip);
    }
    void unclip() override { m_painter.restore(); }
    // One colour and state for all lines.
    void frameLines(const QList<QRectF>& rects) override
    {
        m_painter.save();
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(Qt::black);
        for (const QRectF& r : rects)
            m_painter.drawRect(r);
        m_painter.restore();
    }

private:
    QPainter& m_painter;
};

} // namespace

void PreparedReport::paintPage(QPainter& painter, int page, int highlight) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(Qt::black);
    PainterCanvas canvas(painter);
    drawPage(canvas, page, highlight);
    painter.restore();
}

void PreparedReport::drawPage(ReportCanvas& canvas, int page, int highlight) const
{
    const QList<PageCell> cells = pageCells(page);
    const QPaintDevice& device = canvas.device();
    // Texts that fit on one line are gathered per font and drawn together
    // after the cells: one text object per font instead of one per cell.
    struct Run
    {
        FontGlyphs* font;
        QList<quint32> glyphs;
        QList<QPointF> positions;
        QString text; // a character per glyph
    };
    QList<Run> runs;
    QList<quint32> glyphs;
    QList<double> advances;
    FrameLines frames(m_texts->lastFrames.frames, m_texts->lastFrames.lines);
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const PageCell& pc = cells[i];
        const ReportCell& cell = *pc.cell;
        const TextCache::CellFont* cf = &m_texts->cellFont(cell, device);
        const QFont* f = &cf->font;
        QRectF rect = pc.rect;
        if (cell.growLeft && !pc.text.isEmpty()) {
            const double needed =
                QFontMetricsF(*f, &device).horizontalAdvance(pc.text) + 2 * cell.insetX;
            if (needed > rect.width())
                rect.setLeft(rect.right() - needed);
        }
        if (i == highlight)
            canvas.highlight(rect);
        const QRectF inner = rect.adjusted(cell.insetX, cell.insetY, -cell.insetX, -cell.insetY);
        if (pc.text.isEmpty() || inner.width() <= 0 || inner.height() <= 0) {
            frames.add(rect, cell.frame);
            continue;
        }
        FontGlyphs& font = *cf->glyphs;
        glyphs.clear();
        advances.clear();
        double width = 0;
        if (font.measure(pc.text, glyphs, advances, width) && width <= inner.width() &&
            font.lineHeight() <= inner.height()) {
            // Placed as drawText places a single line that needs no clip.
            double top = inner.top();
            if (cell.vAlign == ReportCell::VAlign::Middle)
                top += (inner.height() - font.lineHeight()) / 2;
            else if (cell.vAlign == ReportCell::VAlign::Bottom)
                top += inner.height() - font.lineHeight();
            double x = inner.left();
            if (cell.hAlign == ReportCell::HAlign::Center)
                x += (inner.width() - width) / 2;
            else if (cell.hAlign == ReportCell::HAlign::Right)
                x += inner.width() - width;
            const double baseline = top + font.ascent();
            auto run = std::find_if(runs.begin(), runs.end(),
                                    [&](const Run& r) { return r.font == &font; });
            if (run == runs.end())
                run = runs.insert(runs.end(), Run{&font, {}, {}, {}});
            run->glyphs += glyphs;
            run->text += pc.text;
            for (double a : std::as_const(advances)) {
                run->positions << QPointF(x, baseline);
                x += a;
            }
        } else {
            drawText(canvas, inner, cell, m_texts->get(pc.text, cell, *f, device, inner.width()));
        }
        frames.add(rect, cell.frame);
    }
    for (const Run& r : std::as_const(runs))
        canvas.glyphs(r.font->rawFont(), r.glyphs, r.positions, r.text);
    frames.draw(canvas);
}

// --- printing ---

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
