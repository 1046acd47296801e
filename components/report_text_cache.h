#pragma once

// The report engine's text measuring cache, shared by its preparation and its
// painting: a cell's text laid out, a font's glyphs, and the cache of both.
// Nothing outside the engine includes this.

#include "components/report_engine.h"

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QPaintDevice>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace report_detail {

// A cell's text laid out for its width and font: wrapped lines, their
// height and the widest line. Reused while the same text comes again, as
// dates, modes and headings do on every page.
struct TextBlock
{
    QTextLayout layout;
    double height = 0;
    double widest = 0;

    TextBlock(const QString& text, const QFont& font, const QPaintDevice& device,
              const ReportCell& cell, double width)
        : layout(text, font, &device)
    {
        QTextOption option;
        // A word wider than the cell breaks inside it, as a line wraps, so
        // that it reads from its start instead of being cut on both sides.
        option.setWrapMode(cell.wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                         : QTextOption::NoWrap);
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
class FontGlyphs
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

} // namespace report_detail

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
            // The width hashed as a number: no rounding that a width beyond
            // the range of an integer could overflow.
            return qHashMulti(0, k.cell, k.text, k.dpi, k.width);
        }
    };
    static constexpr size_t kLimit = 4096;
    // The characters of the texts kept: two pages' worth at most.
    static constexpr qsizetype kTextLimit = 2 * PreparedReport::kPageTextLimit;
    qsizetype characters = 0;
    std::unordered_map<Key, std::unique_ptr<report_detail::TextBlock>, KeyHash> blocks;
    // Per font and resolution, in the order first used.
    QList<QPair<QString, std::shared_ptr<report_detail::FontGlyphs>>> fonts;
    // A cell's font and its glyphs, per cell and resolution: looked up for
    // every cell of every page.
    struct CellFont
    {
        QFont font;
        report_detail::FontGlyphs* glyphs = nullptr;
    };
    QHash<QPair<const ReportCell*, int>, CellFont> cellFonts;

    const CellFont& cellFont(const ReportCell& cell, const QPaintDevice& device);

    // The frames of the last page drawn and their lines joined: the pages
    // of a long report share one layout, and joining costs a sort.
    struct Frames
    {
        std::vector<std::pair<QRectF, ReportFrame>> frames;
        QList<QRectF> lines;
    } lastFrames;

    const report_detail::TextBlock& get(const QString& text, const ReportCell& cell,
                                        const QFont& font, const QPaintDevice& device,
                                        double width);
};
