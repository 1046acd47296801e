// Drawing a prepared page (frame lines merged, texts on two paths) and
// searching the pages' texts.

#include "components/report_engine.h"
#include "components/report_text.h"

#include <QFontMetricsF>
#include <QMap>
#include <QPainter>

#include <algorithm>

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
    void add(const QRectF& r, const ReportFrame& frame)
    {
        if (frame.sides == ReportFrame::None || frame.width <= 0)
            return;
        const double w = frame.width, h = w / 2;
        if (frame.sides & ReportFrame::Left)
            m_vertical[{key(r.left()), key(w)}] << Span{r.top() - h, r.bottom() + h};
        if (frame.sides & ReportFrame::Right)
            m_vertical[{key(r.right()), key(w)}] << Span{r.top() - h, r.bottom() + h};
        if (frame.sides & ReportFrame::Top)
            m_horizontal[{key(r.top()), key(w)}] << Span{r.left() - h, r.right() + h};
        if (frame.sides & ReportFrame::Bottom)
            m_horizontal[{key(r.bottom()), key(w)}] << Span{r.left() - h, r.right() + h};
    }
    // One colour and state for all lines: a PDF page gets a bare fill for
    // each line instead of a colour, a state and a fill. Each line stays a
    // fill of its own, which viewers snap to whole pixels.
    void draw(QPainter& painter)
    {
        QList<QRectF> rects;
        for (auto it = m_horizontal.begin(); it != m_horizontal.end(); ++it) {
            const double y = it.key().first / kScale, w = it.key().second / kScale;
            for (const Span& s : merged(it.value()))
                rects << QRectF(s.from, y - w / 2, s.to - s.from, w);
        }
        for (auto it = m_vertical.begin(); it != m_vertical.end(); ++it) {
            const double x = it.key().first / kScale, w = it.key().second / kScale;
            for (const Span& s : merged(it.value()))
                rects << QRectF(x - w / 2, s.from, w, s.to - s.from);
        }
        if (rects.isEmpty())
            return;
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        for (const QRectF& r : rects)
            painter.drawRect(r);
        painter.restore();
    }

private:
    struct Span
    {
        double from, to;
    };
    static constexpr double kScale = 1000;
    static qint64 key(double v) { return qRound64(v * kScale); }
    static QList<Span> merged(QList<Span>& spans)
    {
        std::sort(spans.begin(), spans.end(),
                  [](const Span& a, const Span& b) { return a.from < b.from; });
        QList<Span> out;
        for (const Span& s : spans) {
            if (!out.isEmpty() && s.from <= out.last().to + 1e-6)
                out.last().to = std::max(out.last().to, s.to);
            else
                out << s;
        }
        return out;
    }
    QMap<QPair<qint64, qint64>, QList<Span>> m_horizontal, m_vertical;
};

void drawText(QPainter& painter, const QRectF& inner, const ReportCell& cell,
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
    if (clip) {
        painter.save();
        painter.setClipRect(inner, Qt::IntersectClip);
    }
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
        line.draw(&painter, QPointF(x - line.x(), y - line.y()));
    }
    if (clip)
        painter.restore();
}

} // namespace

void PreparedReport::paintPage(QPainter& painter, int page, int highlight) const
{
    const QList<PageCell> cells = pageCells(page);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    QPaintDevice& device = *painter.device();
    // Texts that fit on one line are gathered per font and drawn together
    // after the cells: a PDF page gets one text object per font instead of
    // one per cell.
    struct Run
    {
        FontGlyphs* font;
        QList<quint32> glyphs;
        QList<QPointF> positions;
    };
    QList<Run> runs;
    QList<quint32> glyphs;
    QList<double> advances;
    FrameLines frames;
    painter.setPen(Qt::black);
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
            painter.fillRect(rect, QColor(255, 230, 0));
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
                run = runs.insert(runs.end(), Run{&font, {}, {}});
            run->glyphs += glyphs;
            for (double a : std::as_const(advances)) {
                run->positions << QPointF(x, baseline);
                x += a;
            }
        } else {
            drawText(painter, inner, cell, m_texts->get(pc.text, cell, *f, device, inner.width()));
        }
        frames.add(rect, cell.frame);
    }
    for (const Run& r : std::as_const(runs)) {
        QGlyphRun run;
        run.setRawFont(r.font->rawFont());
        run.setGlyphIndexes(r.glyphs);
        run.setPositions(r.positions);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    frames.draw(painter);
    painter.restore();
}

// --- search ---

PreparedReport::Hit PreparedReport::find(const QString& needle, Hit from,
                                         const std::function<bool(int)>& keepGoing) const
{
    if (needle.isEmpty())
        return {};
    int page = from.valid() ? from.page : 0;
    int after = from.valid() ? from.cell : -1;
    for (; page < m_pages; ++page, after = -1) {
        if (keepGoing && !keepGoing(page))
            return {};
        const QList<PageCell> cells = pageCells(page);
        for (qsizetype i = after + 1; i < cells.size(); ++i) {
            if (cells[i].text.contains(needle, Qt::CaseInsensitive))
                return {page, int(i)};
        }
    }
    return {};
}
