// Preparing a report: number format, expressions, the page count, each
// page's cells with their texts, and the search through them.

#include "components/report_engine.h"
#include "components/report_text_cache.h"

#include "platform/app_error.h"

#include <algorithm>

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
                                 const QStringList& row, qsizetype& budget) const
{
    QString out;
    for (const Segment& s : compiled.segments) {
        if (out.size() >= budget)
            break;
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
            // Only as much of a value as the page may still take is read on.
            const QString v =
                s.field < row.size() ? row[s.field].left(budget - out.size() + 1) : QString();
            out += cell.format == ReportCell::Format::Number
                       ? formatReportNumber(v, cell.decimals, cell.decimalSeparator)
                       : v;
            break;
        }
        }
    }
    out.truncate(budget);
    budget -= out.size();
    return out;
}

QList<PreparedReport::PageCell> PreparedReport::pageCells(int page) const
{
    QList<PageCell> out;
    qsizetype budget = kPageTextLimit;
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
                        evaluate(cell, compiled[c], page, row, budget), &cell});
        }
    }
    return out;
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
