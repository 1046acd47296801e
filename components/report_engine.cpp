#include "components/report_engine.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QMap>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <unordered_map>

// --- numbers ---

QString formatReportNumber(const QString& text, int decimals, QChar separator)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return t;
    qsizetype i = 0;
    bool negative = false;
    if (t[i] == u'-' || t[i] == u'+')
        negative = t[i++] == u'-';
    QString whole, fraction;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128)
        whole += t[i++];
    if (i < t.size() && t[i] == separator) {
        ++i;
        while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128)
            fraction += t[i++];
    }
    if (i != t.size() || (whole.isEmpty() && fraction.isEmpty()))
        return text; // no number: printed as it is

    // Round on the decimal digits themselves, so 0,05 rounds as written.
    QString digits = whole + fraction.left(decimals).leftJustified(decimals, u'0');
    if (fraction.size() > decimals && fraction[decimals] >= u'5') {
        qsizetype k = digits.size() - 1;
        while (k >= 0 && digits[k] == u'9')
            digits[k--] = u'0';
        if (k >= 0)
            digits[k] = QChar(digits[k].unicode() + 1);
        else
            digits.prepend(u'1');
    }
    QString intPart = digits.left(digits.size() - decimals);
    const QString fracPart = digits.right(decimals);
    while (intPart.size() > 1 && intPart[0] == u'0')
        intPart.remove(0, 1);
    if (intPart.isEmpty())
        intPart = QStringLiteral("0");
    QString result = intPart;
    if (decimals > 0)
        result += separator + fracPart;
    const bool zero =
        std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c == u'0'; });
    if (negative && !zero)
        result.prepend(u'-');
    return result;
}

// --- preparation ---

PreparedReport::PreparedReport(ReportTemplate t, std::unique_ptr<ReportRowSource> source)
    : m_template(std::move(t)), m_layout(m_template), m_source(std::move(source)),
      m_texts(std::make_unique<TextCache>())
{
    for (const ReportBand& band : m_template.bands) {
        QList<CompiledCell> cells;
        for (const ReportCell& cell : band.cells) {
            CompiledCell c;
            c.segments = compile(cell.text);
            for (const Segment& s : c.segments)
                c.usesRow = c.usesRow || s.kind == Segment::Field;
            cells << c;
        }
        m_compiled << cells;
    }
    // First pass: the rows and so the page count. Rows have a fixed height,
    // so the count alone fixes every page.
    m_rows = m_source->begin();
    m_pages = m_layout.pageCount(m_rows);
    m_source->end();
}

PreparedReport::~PreparedReport() = default;

QList<PreparedReport::Segment> PreparedReport::compile(const QString& text) const
{
    QList<Segment> segments;
    auto literal = [&](const QString& s) {
        if (s.isEmpty())
            return;
        if (!segments.isEmpty() && segments.last().kind == Segment::Literal)
            segments.last().text += s;
        else
            segments.append({Segment::Literal, s, -1});
    };
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(u'[', i);
        const qsizetype close = open < 0 ? -1 : text.indexOf(u']', open);
        if (close < 0) {
            literal(text.mid(i));
            break;
        }
        literal(text.mid(i, open - i));
        const QString expr = text.mid(open + 1, close - open - 1).trimmed();
        i = close + 1;
        if (expr.compare(QStringLiteral("PAGE#"), Qt::CaseInsensitive) == 0) {
            segments.append({Segment::Page, {}, -1});
            continue;
        }
        if (expr.compare(QStringLiteral("TOTALPAGES"), Qt::CaseInsensitive) == 0) {
            segments.append({Segment::TotalPages, {}, -1});
            continue;
        }
        // DataSet."FIELD" or DataSet.FIELD
        const qsizetype dot = expr.indexOf(u'.');
        QString field = dot < 0 ? QString() : expr.mid(dot + 1).trimmed();
        if (field.size() >= 2 && field.startsWith(u'"') && field.endsWith(u'"'))
            field = field.mid(1, field.size() - 2);
        const QString dataSet = dot < 0 ? expr : expr.left(dot).trimmed();
        if (dot < 0 || dataSet.compare(m_source->dataSetName(), Qt::CaseInsensitive) != 0)
            throw AppError(QStringLiteral("Unknown expression '%1'").arg(expr));
        const QStringList names = m_source->fieldNames();
        int index = -1;
        for (int k = 0; k < names.size() && index < 0; ++k) {
            if (names[k].compare(field, Qt::CaseInsensitive) == 0)
                index = k;
        }
        if (index < 0)
            throw AppError(QStringLiteral("Field '%1' not found").arg(field));
        segments.append({Segment::Field, {}, index});
    }
    return segments;
}

QString PreparedReport::evaluate(const ReportCell& cell, const CompiledCell& compiled, int page,
                                 const QStringList& row) const
{
    QString out;
    for (const Segment& s : compiled.segments) {
        switch (s.kind) {
        case Segment::Literal:
            out += s.text;
            break;
        case Segment::Page:
            out += QString::number(page + 1);
            break;
        case Segment::TotalPages:
            out += QString::number(m_pages);
            break;
        case Segment::Field: {
            const QString v = s.field < row.size() ? row[s.field] : QString();
            out += cell.format == ReportCell::Format::Number
                       ? formatReportNumber(v, cell.decimals, cell.decimalSeparator)
                       : v;
            break;
        }
        }
    }
    return out;
}

QList<PreparedReport::PageCell> PreparedReport::pageCells(int page) const
{
    QList<PageCell> out;
    const QList<ReportPageLayout::PlacedBand> bands = m_layout.bandsOfPage(m_rows, page);
    for (const ReportPageLayout::PlacedBand& placed : bands) {
        const qsizetype bandIndex = placed.band - m_template.bands.constData();
        const QList<CompiledCell>& compiled = m_compiled[bandIndex];
        QStringList row;
        if (placed.row >= 0)
            row = m_source->rowTexts(placed.row);
        for (qsizetype c = 0; c < placed.band->cells.size(); ++c) {
            const ReportCell& cell = placed.band->cells[c];
            out.append({QRectF(cell.x, placed.y, cell.width, placed.band->height),
                        evaluate(cell, compiled[c], page, row), &cell});
        }
    }
    return out;
}

// --- drawing ---

// A cell's text laid out for its width and font: wrapped lines, their
// height and the widest line. Reused while the same text comes again, as
// dates, modes and headings do on every page.
struct TextBlock // of this file only
{
    QTextLayout layout;
    double height = 0;
    double widest = 0;

    TextBlock(const QString& text, const QFont& font, const QPaintDevice& device,
              const ReportCell& cell, double width)
        : layout(text, font, &device)
    {
        QTextOption option;
        option.setWrapMode(cell.wordWrap ? QTextOption::WordWrap : QTextOption::NoWrap);
        option.setUseDesignMetrics(true);
        layout.setTextOption(option);
        layout.setCacheEnabled(true);
        layout.beginLayout();
        for (;;) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(cell.wordWrap ? width : 1e6);
            line.setPosition(QPointF(0, height));
            height += line.height();
            widest = std::max(widest, line.naturalTextWidth());
        }
        layout.endLayout();
    }
};

// The glyphs of one font and device, character by character, so that a text
// that fits on one line is placed as QTextLayout places it without being
// shaped again: most texts of a report (numbers, dates, times) differ on every
// row, and shaping each one costs more than writing it. Only characters whose
// glyph cannot depend on their neighbours take this way (kerning is off;
// ligatures start with 'f'); any other text goes through the full layout.
class FontGlyphs // of this file only
{
public:
    FontGlyphs(const QFont& font, const QPaintDevice& device)
    {
        QTextLayout probe(QStringLiteral("0"), font, &device);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        option.setUseDesignMetrics(true);
        probe.setTextOption(option);
        probe.beginLayout();
        QTextLine line = probe.createLine();
        line.setLineWidth(1e6);
        probe.endLayout();
        const QList<QGlyphRun> runs = probe.glyphRuns();
        if (runs.size() == 1 && runs[0].glyphIndexes().size() == 1) {
            m_raw = runs[0].rawFont();
            m_ascent = line.ascent();
            m_height = line.height();
        }
        m_glyphs.fill(Glyph{}, kCharacters);
    }

    const QRawFont& rawFont() const { return m_raw; }
    double ascent() const { return m_ascent; }
    double lineHeight() const { return m_height; }

    // The glyphs and the width of `text` on one line; false when the text
    // needs the full layout (nothing is appended then).
    bool measure(const QString& text, QList<quint32>& glyphs, QList<double>& advances,
                 double& width)
    {
        if (!m_raw.isValid() || text.isEmpty() || text.front() == u' ' || text.back() == u' ')
            return false; // spaces at the ends do not count in a line's width
        const qsizetype start = glyphs.size();
        width = 0;
        for (QChar c : text) {
            const Glyph* g = glyph(c);
            if (!g) {
                glyphs.resize(start);
                advances.resize(start);
                return false;
            }
            glyphs << g->index;
            advances << g->advance;
            width += g->advance;
        }
        // QTextLayout makes a line as wide as its last glyph's ink where that
        // reaches past the glyph's advance, and measures that in its own way:
        // such a text keeps the full layout, and so its exact place.
        if (glyph(text.back())->overhang > 0) {
            glyphs.resize(start);
            advances.resize(start);
            return false;
        }
        return true;
    }

private:
    static constexpr char16_t kCharacters = 0x500; // Latin and Cyrillic
    struct Glyph
    {
        enum State : quint8
        {
            Unknown,
            Simple,
            Complex
        } state = Unknown;
        quint32 index = 0;
        double advance = 0;
        double overhang = 0; // ink right of the advance
    };

    const Glyph* glyph(QChar c)
    {
        const char16_t u = c.unicode();
        if (u >= kCharacters)
            return nullptr;
        Glyph& g = m_glyphs[u];
        if (g.state == Glyph::Unknown) {
            g.state = Glyph::Complex;
            // Cyrillic without its combining marks (U+0483..U+0489).
            const bool plain = (u >= 0x20 && u < 0x7F && u != u'f') ||
                               (u >= 0x400 && u < 0x500 && (u < 0x483 || u > 0x489));
            const QString one(c);
            if (plain && m_raw.supportsCharacter(c)) {
                const QList<quint32> index = m_raw.glyphIndexesForString(one);
                if (index.size() == 1 && index[0] != 0) {
                    g.index = index[0];
                    g.advance = m_raw.advancesForGlyphIndexes(index, QRawFont::UseDesignMetrics)
                                    .value(0)
                                    .x();
                    // Measured as QTextLayout measures it: against the
                    // font's own (not the design) advance.
                    g.overhang =
                        std::max(0.0, m_raw.boundingRect(index[0]).right() -
                                          m_raw.advancesForGlyphIndexes(index).value(0).x());
                    g.state = Glyph::Simple;
                }
            }
        }
        return g.state == Glyph::Simple ? &g : nullptr;
    }

    QRawFont m_raw;
    double m_ascent = 0;
    double m_height = 0;
    QList<Glyph> m_glyphs;
};

struct PreparedReport::TextCache
{
    struct Key
    {
        const ReportCell* cell;
        QString text;
        int dpi;
        double width;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash
    {
        size_t operator()(const Key& k) const
        {
            return qHashMulti(0, k.cell, k.text, k.dpi, qRound64(k.width * 1000));
        }
    };
    static constexpr size_t kLimit = 4096;
    std::unordered_map<Key, std::unique_ptr<TextBlock>, KeyHash> blocks;
    // Per font and resolution, in the order first used.
    QList<QPair<QString, std::shared_ptr<FontGlyphs>>> fonts;
    // A cell's font and its glyphs, per cell and resolution: looked up for
    // every cell of every page.
    struct CellFont
    {
        QFont font;
        FontGlyphs* glyphs = nullptr;
    };
    QHash<QPair<const ReportCell*, int>, CellFont> cellFonts;

    const CellFont& cellFont(const ReportCell& cell, const QPaintDevice& device);

    const TextBlock& get(const QString& text, const ReportCell& cell, const QFont& font,
                         const QPaintDevice& device, double width);
};

double PreparedReport::devicePixelsPerUnit(const QPaintDevice& device)
{
    return device.logicalDpiX() / ReportUnits::kPerInch;
}

namespace {

QFont cellFont(const ReportCell& cell, const QPaintDevice& device)
{
    // The painter maps units to pixels; a point size given for the device's
    // resolution would be scaled twice, so the size is set for the unit.
    QFont font(cell.fontFamily);
    font.setPointSizeF(cell.pointSize * ReportUnits::kPerInch / device.logicalDpiY());
    font.setBold(cell.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

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

const TextBlock& PreparedReport::TextCache::get(const QString& text, const ReportCell& cell,
                                                const QFont& font, const QPaintDevice& device,
                                                double width)
{
    Key key{&cell, text, device.logicalDpiY(), width};
    auto it = blocks.find(key);
    if (it == blocks.end()) {
        if (blocks.size() >= kLimit)
            blocks.clear(); // texts that change with every row: keep memory flat
        it = blocks
                 .emplace(std::move(key),
                          std::make_unique<TextBlock>(text, font, device, cell, width))
                 .first;
    }
    return *it->second;
}

const PreparedReport::TextCache::CellFont&
PreparedReport::TextCache::cellFont(const ReportCell& cell, const QPaintDevice& device)
{
    const QPair<const ReportCell*, int> key(&cell, device.logicalDpiY());
    auto it = cellFonts.find(key);
    if (it == cellFonts.end()) {
        CellFont cf;
        cf.font = ::cellFont(cell, device);
        const QString name = cf.font.key() + u'@' + QString::number(device.logicalDpiY());
        for (const auto& f : std::as_const(fonts)) {
            if (f.first == name)
                cf.glyphs = f.second.get();
        }
        if (!cf.glyphs) {
            fonts.append({name, std::make_shared<FontGlyphs>(cf.font, device)});
            cf.glyphs = fonts.last().second.get();
        }
        it = cellFonts.insert(key, cf);
    }
    return *it;
}

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

// --- output ---

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
        throw AppError(QStringLiteral("Cannot start printing"));
    const double scale = PreparedReport::devicePixelsPerUnit(device);
    bool first = true;
    int done = 0;
    for (int page : pages) {
        if (page < 0 || page >= report.pageCount())
            continue;
        if (!first && !device.newPage()) {
            painter.end();
            throw AppError(QStringLiteral("Cannot start a new page"));
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
        throw AppError(QStringLiteral("Cannot finish printing"));
    return true;
}

bool writeReportPdf(const PreparedReport& report, const QString& fileName,
                    const std::function<bool(int done, int total)>& progress)
{
    const ReportPageSetup& setup = report.reportTemplate().page;
    QPdfWriter writer(fileName);
    writer.setResolution(600);
    writer.setCreator(QStringLiteral("ФЛН-РК2"));
    writer.setPageLayout(QPageLayout(
        QPageSize(QSizeF(setup.paperWidthMm, setup.paperHeightMm), QPageSize::Millimeter),
        setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
    QList<int> pages;
    pages.reserve(report.pageCount());
    for (int p = 0; p < report.pageCount(); ++p)
        pages << p;
    {
        // The writer only says that it failed; find out early and say why.
        QFile probe(fileName);
        if (!probe.open(QIODevice::WriteOnly))
            throw AppError(QStringLiteral("Cannot create file \"%1\". %2")
                               .arg(QDir::toNativeSeparators(fileName), probe.errorString()));
    }
    if (!printReportPages(report, writer, pages, progress)) {
        QFile::remove(fileName); // a cancelled file is no report
        return false;
    }
    return true;
}
