#pragma once

// Where a prepared page is drawn: a painter (screen, printer) or the report's
// own PDF writer. The page is given in units; each canvas maps them onto its
// device.

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPaintDevice;
class QRawFont;
class QTextLine;

class ReportCanvas
{
public:
    virtual ~ReportCanvas() = default;

    // The device whose resolution the texts are laid out for.
    virtual const QPaintDevice& device() const = 0;
    // A found cell marked in the preview.
    virtual void highlight(const QRectF& rect) = 0;
    // Glyphs of one font, each at its own place on its baseline; `text`
    // has the character each glyph stands for, one for one.
    virtual void glyphs(const QRawFont& font, const QList<quint32>& glyphs,
                        const QList<QPointF>& positions, const QString& text) = 0;
    // One line of a laid-out text, its origin at `at`; `text` is the whole
    // text of the line's layout.
    virtual void textLine(const QTextLine& line, const QString& text, const QPointF& at) = 0;
    // Everything drawn until unclip() is cut to `rect`.
    virtual void clip(const QRectF& rect) = 0;
    virtual void unclip() = 0;
    // The frame lines: black filled rectangles, each a fill of its own.
    virtual void frameLines(const QList<QRectF>& rects) = 0;
};
