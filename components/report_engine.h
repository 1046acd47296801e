#pragma once

#include "components/report_layout.h"
#include "components/report_row_source.h"
#include "components/report_template.h"

#include <QList>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>

class QPainter;
class QPaintDevice;
class QPagedPaintDevice;
class ReportCanvas;

// A cell's number format: `text` read as a number with `separator` as the
// decimal separator (blanks around it allowed) and written with `decimals`
// decimals, at least one integer digit, halves rounded away from zero. A text
// that is no number comes back unchanged; an empty one stays empty.
QString formatReportNumber(const QString& text, int decimals, QChar separator);

// A report prepared from a template and a row source: the first pass counts
// the rows and fixes the page count ([TOTALPAGES]); the second pass, drawing,
// happens page by page on demand onto any paint device.
class PreparedReport
{
public:
    struct PageCell
    {
        QRectF rect;  // in units, the frame's rectangle
        QString text; // expressions evaluated, numbers formatted
        const ReportCell* cell = nullptr;
    };
    struct Hit
    {
        int page = -1;
        int cell = -1; // index into pageCells(page)
        bool valid() const { return page >= 0; }
    };

    // Prepares: walks the source (it ends on its last row). Throws AppError
    // for an expression that names an unknown field.
    PreparedReport(ReportTemplate t, std::unique_ptr<ReportRowSource> source);
    ~PreparedReport();
    PreparedReport(const PreparedReport&) = delete;
    PreparedReport& operator=(const PreparedReport&) = delete;

    const ReportTemplate& reportTemplate() const { return m_template; }
    const ReportPageLayout& layout() const { return m_layout; }
    const ReportRowSource& source() const { return *m_source; }
    qint64 rowCount() const { return m_rows; }
    int pageCount() const { return m_pages; }

    // Every cell of page `page` (0-based) with its text, in drawing order.
    // A page's texts together hold at most kPageTextLimit characters; the
    // cells past that are cut (to nothing).
    QList<PageCell> pageCells(int page) const;
    // Many times what a page of the smallest print shows, and a bound on
    // the work that a prepared file can ask for, whatever its rows hold and
    // however many cells repeat them.
    static constexpr qsizetype kPageTextLimit = qsizetype(1) << 18;

    // Draws page `page` in units: the caller's painter maps units onto its
    // device (see unitsToDevice). `highlight` (an index into pageCells) is
    // drawn marked.
    void paintPage(QPainter& painter, int page, int highlight = -1) const;
    // The same onto any canvas.
    void drawPage(ReportCanvas& canvas, int page, int highlight = -1) const;
    // The scale from units to the device's pixels, for a painter on `device`.
    static double devicePixelsPerUnit(const QPaintDevice& device);

    // The next cell after `from` whose text contains `needle` (ignoring
    // case), searching on to the last page; an invalid `from` starts at the
    // first page. `keepGoing` is asked between pages and may stop the search.
    Hit find(const QString& needle, Hit from,
             const std::function<bool(int page)>& keepGoing = {}) const;

private:
    struct Segment
    {
        enum Kind
        {
            Literal,
            Field,
            Page,
            TotalPages
        } kind = Literal;
        QString text;
        int field = -1;
    };
    struct CompiledCell
    {
        QList<Segment> segments;
        bool usesRow = false;
    };
    QList<Segment> compile(const QString& text) const;
    // `budget`: the characters the page may still take; less what this
    // cell takes.
    QString evaluate(const ReportCell& cell, const CompiledCell& compiled, int page,
                     const QStringList& row, qsizetype& budget) const;

    const ReportTemplate m_template; // const: never detached, the layout points into it
    ReportPageLayout m_layout;
    std::unique_ptr<ReportRowSource> m_source;
    QList<QList<CompiledCell>> m_compiled; // per band, per cell
    qint64 m_rows = 0;
    int m_pages = 1;
    struct TextCache; // texts laid out for drawing, reused across pages
    std::unique_ptr<TextCache> m_texts;
};

// Output of prepared pages onto a paged device (a printer or a PDF writer),
// one page at a time. `progress(done, total)` is called after each page and
// cancels by returning false. Returns false when cancelled.
bool printReportPages(const PreparedReport& report, QPagedPaintDevice& device,
                      const QList<int>& pages,
                      const std::function<bool(int done, int total)>& progress = {});

// The order in which pages leave the printer: the chosen pages `copies`
// times, each copy whole when collated, else each page repeated in turn.
QList<int> printSequence(const QList<int>& pages, int copies, bool collate);

// Writes the whole report as a PDF file of A4 (or the template's paper)
// pages, built unseen and named only when whole: a cancel (false) or a
// failure leaves an older file of that name as it was. Throws AppError
// ("Не удалось записать файл X: <reason>") when the file cannot be written.
bool writeReportPdf(const PreparedReport& report, const QString& fileName,
                    const std::function<bool(int done, int total)>& progress = {});
