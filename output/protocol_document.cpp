#include "output/protocol_document.h"

#include "components/chart_limit_lines.h"
#include "components/date_time_chart.h"
#include "data/measurement_schema.h"
#include "data/recording_summary_text.h"
#include "platform/app_error.h"
#include "platform/regional_settings.h"
#include "platform/unseen_file.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// --- the look ---

enum Font : quint8
{
    Body,
    Bold,
    Section,
    Title,
    kFonts
};
constexpr double kFontPoints[kFonts] = {ProtocolDocument::kBodyPoints,
                                        ProtocolDocument::kBodyPoints, 11, 15};

constexpr double kMargin = 42.5;     // 15 mm on every side
constexpr double kBandHeight = 18;   // the page's head and foot, inside the margins
constexpr double kPad = 3;           // inside a table's cell, left and right
constexpr double kBlockGap = 14;     // between blocks of readings
constexpr double kChartHeight = 300; // the chart's height on the page
constexpr double kRuleWidth = 0.5;   // a table's rules
constexpr double kCommentWidth = 80; // the narrowest comment column beside another block
const QSize kChartPixels(698, 400);  // the chart laid out as the chart window's size

QFont protocolFont(Font f)
{
    // Unhinted: the texts measure the same on every device and at every zoom.
    QFont font(QStringLiteral("Arial"));
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setBold(f != Body);
    return font;
}

// The metrics of the fonts in points, taken on a fine device so that no
// pixel rounding enters a width.
class Measure
{
public:
    Measure() : m_device(1, 1, QImage::Format_RGB32)
    {
        const int dotsPerMeter = int(std::lround(kDpi / 0.0254));
        m_device.setDotsPerMeterX(dotsPerMeter);
        m_device.setDotsPerMeterY(dotsPerMeter);
        for (int f = 0; f < kFonts; ++f) {
            QFont font = protocolFont(Font(f));
            font.setPointSizeF(kFontPoints[f]);
            m_metrics.emplace_back(font, &m_device);
        }
    }
    double width(Font f, const QString& text) const
    {
        return m_metrics[f].horizontalAdvance(text) * kScale;
    }
    double ascent(Font f) const { return m_metrics[f].ascent() * kScale; }
    double lineHeight(Font f) const { return m_metrics[f].height() * kScale; }
    // The height of `text` wrapped into `width`.
    double wrappedHeight(Font f, double width, int flags, const QString& text) const
    {
        return m_metrics[f].boundingRect(QRectF(0, 0, width / kScale, 1e7), flags, text).height() *
               kScale;
    }

private:
    static constexpr double kDpi = 720;
    static constexpr double kScale = 72.0 / kDpi;
    QImage m_device;
    std::vector<QFontMetricsF> m_metrics;
};

struct Item
{
    enum Kind : quint8
    {
        Text,    // one line, its baseline's left end at `at`
        Wrapped, // wrapped into `box`
        Rule,    // a line from `box`'s top-left to its bottom-right
        Chart    // the chart in `box`
    };
    Kind kind = Text;
    Font font = Body;
    int flags = 0;
    QPointF at;
    QRectF box;
    QString text;
};

struct Page
{
    QList<Item> items;
};

const QString kNone = QStringLiteral("—");

} // namespace

// --- the layout ---

struct ProtocolDocument::Layout
{
    ProtocolContent content;
    RegionalSettings rs;
    QList<Page> pages;
    std::unique_ptr<DateTimeChart> chart;
};

namespace {

// Places items top-down, page after page. A table's heading comes again on
// every page it runs onto.
class Builder
{
public:
    Builder(QList<Page>& pages, const Measure& measure) : m(measure), m_pages(pages) { newPage(); }

    const Measure& m;
    const double left = kMargin;
    const double right = ProtocolDocument::pageSize().width() - kMargin;
    const double top = kMargin + kBandHeight;
    const double bottom = ProtocolDocument::pageSize().height() - kMargin - kBandHeight;
    double y = 0;

    double width() const { return right - left; }
    Page& page() { return m_pages.last(); }

    void newPage()
    {
        m_pages.append(Page{});
        y = top;
    }
    // Room for `height` more, else a new page (unless the page is still empty).
    bool ensure(double height)
    {
        if (y + height <= bottom || y <= top)
            return false;
        newPage();
        return true;
    }

    void text(Font f, double x, double baseline, const QString& s)
    {
        Item item;
        item.kind = Item::Text;
        item.font = f;
        item.at = QPointF(x, baseline);
        item.text = s;
        page().items.append(std::move(item));
    }
    void wrapped(Font f, const QRectF& box, int flags, const QString& s)
    {
        Item item;
        item.kind = Item::Wrapped;
        item.font = f;
        item.flags = flags;
        item.box = box;
        item.text = s;
        page().items.append(std::move(item));
    }
    void rule(double x1, double y1, double x2, double y2)
    {
        Item item;
        item.kind = Item::Rule;
        item.box = QRectF(QPointF(x1, y1), QPointF(x2, y2));
        page().items.append(std::move(item));
    }
    void chart(const QRectF& box)
    {
        Item item;
        item.kind = Item::Chart;
        item.box = box;
        page().items.append(std::move(item));
    }

    // A section's title, kept on one page with room for a few lines after it.
    void section(const QString& title)
    {
        const double h = m.lineHeight(Section);
        ensure(h + 8 + 4 * m.lineHeight(Body));
        if (y > top)
            y += 8;
        text(Section, left, y + m.ascent(Section), title);
        y += h + 3;
    }

    // A cell's text at its place: one line when it fits, else wrapped. The
    // height it takes.
    double cell(Font f, double x, double w, double rowTop, Qt::Alignment align, const QString& s,
                bool place = true)
    {
        const double inner = w - 2 * kPad;
        const double tw = s.isEmpty() ? 0 : m.width(f, s);
        if (tw <= inner) {
            if (place && !s.isEmpty()) {
                double tx = x + kPad;
                if (align & Qt::AlignRight)
                    tx = x + w - kPad - tw;
                else if (align & Qt::AlignHCenter)
                    tx = x + (w - tw) / 2;
                text(f, tx, rowTop + m.ascent(f), s);
            }
            return m.lineHeight(f);
        }
        const int flags = int(align) | Qt::TextWordWrap | Qt::AlignTop;
        const double h = m.wrappedHeight(f, inner, flags, s);
        if (place)
            wrapped(f, QRectF(x + kPad, rowTop, inner, h + 1), flags, s);
        return h;
    }

    // A table of `rows`, the first `headRows` of them its heading (bold,
    // ruled off, repeated on every page the table runs onto). Columns of
    // `widths`, aligned by `aligns`.
    void table(const QList<QStringList>& rows, const QList<double>& widths,
               const QList<Qt::Alignment>& aligns, int headRows, bool boldFirstColumn = false)
    {
        const auto rowHeight = [&](const QStringList& row, bool head) {
            double h = 0;
            double x = left;
            for (qsizetype c = 0; c < row.size() && c < widths.size(); ++c) {
                const Font f = head || (boldFirstColumn && c == 0) ? Bold : Body;
                h = std::max(h, cell(f, x, widths[c], 0, aligns.value(c), row[c], false));
                x += widths[c];
            }
            return h + 1;
        };
        const auto placeRow = [&](const QStringList& row, bool head, double h) {
            double x = left;
            for (qsizetype c = 0; c < row.size() && c < widths.size(); ++c) {
                const Font f = head || (boldFirstColumn && c == 0) ? Bold : Body;
                cell(f, x, widths[c], y, aligns.value(c), row[c]);
                x += widths[c];
            }
            y += h;
        };
        double tableWidth = 0;
        for (double w : widths)
            tableWidth += w;
        const auto heading = [&] {
            for (int r = 0; r < headRows && r < rows.size(); ++r)
                placeRow(rows[r], true, rowHeight(rows[r], true));
            rule(left, y, left + tableWidth, y);
            y += 2;
        };
        double headHeight = 2;
        for (int r = 0; r < headRows && r < rows.size(); ++r)
            headHeight += rowHeight(rows[r], true);
        ensure(headHeight + (rows.size() > headRows ? rowHeight(rows[headRows], false) : 0));
        if (headRows > 0)
            heading();
        for (qsizetype r = headRows; r < rows.size(); ++r) {
            const double h = rowHeight(rows[r], false);
            if (ensure(h) && headRows > 0)
                heading();
            placeRow(rows[r], false, h);
        }
        rule(left, y, left + tableWidth, y);
        y += 4;
    }

    // Widths of the columns: each its widest text, the last ones given the
    // rest of the width; narrowed in proportion where they do not fit.
    enum class Fill
    {
        None, // each column its widest text
        Last, // the last column takes the rest of the width
        Even  // every column a share of the rest
    };
    QList<double> columnWidths(const QList<QStringList>& rows, int headRows, Fill fill,
                               bool boldFirstColumn = false) const
    {
        QList<double> widths;
        for (qsizetype r = 0; r < rows.size(); ++r)
            for (qsizetype c = 0; c < rows[r].size(); ++c) {
                if (widths.size() <= c)
                    widths << 0;
                // A heading may wrap onto two lines: its longest word counts.
                double w = 0;
                if (r < headRows) {
                    for (const QString& word : rows[r][c].split(u' '))
                        w = std::max(w, m.width(Bold, word));
                } else {
                    w = m.width(boldFirstColumn && c == 0 ? Bold : Body, rows[r][c]);
                }
                widths[c] = std::max(widths[c], w + 2 * kPad + 1);
            }
        double total = 0;
        for (double w : widths)
            total += w;
        if (total > width()) {
            for (double& w : widths)
                w *= width() / total;
        } else if (fill == Fill::Last && !widths.isEmpty()) {
            widths.last() += width() - total;
        } else if (fill == Fill::Even && !widths.isEmpty()) {
            for (double& w : widths)
                w += (width() - total) / double(widths.size());
        }
        return widths;
    }

private:
    QList<Page>& m_pages;
};

QString countText(qint64 n, const RegionalSettings& rs)
{
    return groupedInteger(n, rs);
}

// Rows of the summary from its label `from` (inclusive) to `to` (exclusive;
// empty: to the end).
QList<QStringList> summaryPart(const QList<QStringList>& rows, const QString& from,
                               const QString& to)
{
    QList<QStringList> part;
    bool in = false;
    for (const QStringList& row : rows) {
        if (!to.isEmpty() && row.value(0).startsWith(to))
            break;
        if (row.value(0) == from && row.size() == 3)
            in = true;
        if (in)
            part << row;
    }
    return part;
}

void layOutHeading(Builder& b, const ProtocolContent& c, const RegionalSettings& rs,
                   const QString& title)
{
    const Measure& m = b.m;
    const QString heading = c.scope.isEmpty() ? title : title + QStringLiteral(". ") + c.scope;
    const int flags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
    const double height = m.wrappedHeight(Title, b.width(), flags, heading);
    b.wrapped(Title, QRectF(b.left, b.y, b.width(), height + 1), flags, heading);
    b.y += height + 4;
    const RecordingSummary& s = c.summary;
    const QFileInfo file(c.tableFile);
    QList<QStringList> rows;
    rows << QStringList{QStringLiteral("Таблица"), file.fileName()};
    rows << QStringList{QStringLiteral("Папка"), QDir::toNativeSeparators(file.absolutePath())};
    rows << QStringList{QStringLiteral("Период"), s.first && s.last ? momentText(*s.first, rs) +
                                                                          QStringLiteral(" – ") +
                                                                          momentText(*s.last, rs)
                                                                    : kNone};
    rows << QStringList{QStringLiteral("Записей"), countText(s.records, rs)};
    rows << QStringList{QStringLiteral("Интервал"), s.interval ? durationText(s.interval) : kNone};
    rows << QStringList{QStringLiteral("Пропуски"), s.gaps.isEmpty()
                                                        ? QStringLiteral("нет")
                                                        : QStringLiteral("%1 (пропущено %2)")
                                                              .arg(countText(s.gaps.size(), rs),
                                                                   durationText(s.missingSeconds))};
    rows << QStringList{
        QStringLiteral("Шаги часов назад"),
        s.clockBack == 0
            ? QStringLiteral("нет")
            : QStringLiteral("%1 (первый %2)")
                  .arg(countText(s.clockBack, rs),
                       s.firstClockBackAt ? momentText(*s.firstClockBackAt, rs) : kNone)};
    rows << QStringList{QStringLiteral("Границы ") + MeasurementSchema::kT1Caption,
                        limitsText(s.channels[0], rs)};
    rows << QStringList{QStringLiteral("Границы ") + MeasurementSchema::kT2Caption,
                        limitsText(s.channels[1], rs)};
    rows << QStringList{QStringLiteral("ΔH для MKT"),
                        floatToText(s.activationEnergy, rs) + QStringLiteral(" кДж/моль")};
    rows << QStringList{QStringLiteral("Программа"), c.program};
    if (!c.readingsNote.isEmpty())
        rows << QStringList{QStringLiteral("Показания"), c.readingsNote};
    const QList<double> widths = b.columnWidths(rows, 0, Builder::Fill::Last, true);
    b.table(rows, widths, {Qt::AlignLeft, Qt::AlignLeft}, 0, true);
}

void layOutSummary(Builder& b, const ProtocolContent& c, const RegionalSettings& rs)
{
    const RecordingSummary& s = c.summary;
    b.section(QStringLiteral("Заключение"));
    const QList<QStringList> verdict = verdictRows(s, rs);
    b.table(verdict, b.columnWidths(verdict, 1, Builder::Fill::Even, true),
            {Qt::AlignLeft, Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight, Qt::AlignRight,
             Qt::AlignRight},
            1, true);

    b.section(QStringLiteral("Показатели"));
    const QList<QStringList> figures = summaryPart(summaryRows(s, rs), QString(), QString());
    QList<double> widths = b.columnWidths(figures, 1, Builder::Fill::None);
    if (widths.size() == 3) {
        // The two channels side by side in columns of one width, wide
        // enough to read as columns.
        const double channel =
            std::max({widths[1], widths[2], std::min(160.0, (b.width() - widths[0]) / 2)});
        widths[1] = widths[2] = channel;
        widths[0] = std::min(widths[0], b.width() - 2 * channel);
    }
    b.table(figures, widths, {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight}, 1);
}

void layOutDays(Builder& b, const ProtocolContent& c, const RegionalSettings& rs)
{
    const QList<QStringList> days = dayRows(c.summary, rs);
    if (days.size() <= 1)
        return;
    b.section(QStringLiteral("По дням"));
    QList<Qt::Alignment> aligns{Qt::AlignLeft};
    for (qsizetype i = 1; i < days.first().size(); ++i)
        aligns << (Qt::AlignRight | Qt::AlignVCenter);
    // Headings wrap in their columns and stay right-aligned over the figures.
    b.table(days, b.columnWidths(days, 1, Builder::Fill::Even), aligns, 1);
}

void layOutChart(Builder& b, bool hasChart)
{
    if (!hasChart)
        return;
    // The title stays with the chart.
    b.ensure(kChartHeight + 8 + b.m.lineHeight(Section) + 3);
    b.section(QStringLiteral("График"));
    b.chart(QRectF(b.left, b.y, b.width(), kChartHeight));
    b.y += kChartHeight + 4;
}

// The readings in blocks of compact columns side by side, as many as fit
// across the page; a block runs down the page before the next one starts.
void layOutReadings(Builder& b, const ProtocolContent& c)
{
    if (!c.withReadings || c.readings.isEmpty())
        return;
    const Measure& m = b.m;
    b.section(QStringLiteral("Показания"));
    const QString up = QStringLiteral(" ↑"), down = QStringLiteral(" ↓");
    const QString note = QStringLiteral("Показания вне границ выделены жирным и отмечены "
                                        "стрелкой: ↑ выше верхней границы, ↓ ниже нижней.");
    const int noteFlags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
    const double noteHeight = m.wrappedHeight(Body, b.width(), noteFlags, note);
    b.wrapped(Body, QRectF(b.left, b.y, b.width(), noteHeight + 1), noteFlags, note);
    b.y += noteHeight + 3;

    const QStringList heads{QStringLiteral("Момент"), MeasurementSchema::kT1Caption,
                            MeasurementSchema::kT2Caption, QStringLiteral("Режим"),
                            QStringLiteral("Комментарий")};
    double w[5];
    for (int i = 0; i < 5; ++i)
        w[i] = m.width(Bold, heads[i]);
    // The widest texts; a mark widens a number by the arrow. The same texts
    // come again and again: each is measured once.
    QHash<QString, double> measured;
    const auto width = [&](Font f, const QString& s) {
        if (s.isEmpty())
            return 0.0;
        const QString key = f == Bold ? u'\1' + s : s;
        auto it = measured.constFind(key);
        if (it == measured.constEnd())
            it = measured.insert(key, m.width(f, s));
        return *it;
    };
    const double arrow = m.width(Bold, up);
    bool comments = false;
    for (const ProtocolReading& r : c.readings) {
        w[0] = std::max(w[0], width(Body, r.moment));
        w[1] = std::max(w[1], width(r.side1 ? Bold : Body, r.t1) + (r.side1 ? arrow : 0));
        w[2] = std::max(w[2], width(r.side2 ? Bold : Body, r.t2) + (r.side2 ? arrow : 0));
        w[3] = std::max(w[3], width(Body, r.mode));
        if (!r.comment.isEmpty()) {
            comments = true;
            w[4] = std::max(w[4], width(Body, r.comment));
        }
    }
    for (double& v : w)
        v += 2 * kPad + 1;
    // Without any comment the column goes, and the blocks are narrow
    // enough to stand side by side; comments get a column of at least
    // kCommentWidth, wrapped within it, or the page's whole rest.
    const int columns = comments ? 5 : 4;
    const double fixed = w[0] + w[1] + w[2] + w[3];
    int blocks = 1;
    double blockWidth = b.width();
    if (!comments) {
        blocks = std::max(1, int((b.width() + kBlockGap) / (fixed + kBlockGap)));
        blockWidth = fixed;
    } else if (const double room = (b.width() - kBlockGap) / 2 - fixed;
               room >= std::min(w[4], kCommentWidth)) {
        blocks = 2;
        blockWidth = fixed + std::min(w[4], room);
    }
    w[4] = std::max(20.0, blockWidth - fixed);
    const double line = m.lineHeight(Body);
    const auto rowHeight = [&](const ProtocolReading& r) {
        if (r.comment.isEmpty() || width(Body, r.comment) <= w[4] - 2 * kPad)
            return line;
        return m.wrappedHeight(Body, w[4] - 2 * kPad, Qt::TextWordWrap, r.comment);
    };
    const auto heading = [&](double x, double at) {
        double cx = x;
        for (int i = 0; i < columns; ++i) {
            const double tw = m.width(Bold, heads[i]);
            const double tx = i == 1 || i == 2 ? cx + w[i] - kPad - tw : cx + kPad;
            b.text(Bold, tx, at + m.ascent(Bold), heads[i]);
            cx += w[i];
        }
        b.rule(x, at + line + 1, x + blockWidth, at + line + 1);
        return at + line + 3;
    };
    const auto place = [&](const ProtocolReading& r, double x, double at, double h) {
        b.text(Body, x + kPad, at + m.ascent(Body), r.moment);
        double cx = x + w[0];
        const auto number = [&](const QString& t, qint8 side, double cw) {
            const Font f = side ? Bold : Body;
            const QString s = side > 0 ? t + up : side < 0 ? t + down : t;
            b.text(f, cx + cw - kPad - width(f, s), at + m.ascent(f), s);
            cx += cw;
        };
        number(r.t1, r.side1, w[1]);
        number(r.t2, r.side2, w[2]);
        b.text(Body, cx + kPad, at + m.ascent(Body), r.mode);
        cx += w[3];
        if (!r.comment.isEmpty()) {
            if (h > line)
                b.wrapped(Body, QRectF(cx + kPad, at, w[4] - 2 * kPad, h + 1),
                          Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, r.comment);
            else
                b.text(Body, cx + kPad, at + m.ascent(Body), r.comment);
        }
    };

    qsizetype next = 0;
    const qsizetype total = c.readings.size();
    b.ensure(2 * line + 3);
    while (next < total) {
        const double top = b.y;
        double lowest = top;
        for (int block = 0; block < blocks && next < total; ++block) {
            const double x = b.left + block * (blockWidth + kBlockGap);
            double at = heading(x, top);
            // At least one reading per block, however tall its comment.
            bool first = true;
            while (next < total) {
                const double h = rowHeight(c.readings[next]);
                if (!first && at + h > b.bottom)
                    break;
                place(c.readings[next], x, at, h);
                at += h;
                ++next;
                first = false;
            }
            lowest = std::max(lowest, at);
        }
        b.y = lowest + 4;
        if (next < total)
            b.newPage();
    }
}

// The head and foot of every page, once the number of pages is known.
void addPageBands(QList<Page>& pages, const Measure& m, const ProtocolContent& c,
                  const RegionalSettings& rs)
{
    const double left = kMargin, right = ProtocolDocument::pageSize().width() - kMargin;
    const double headBase = kMargin + m.ascent(Body);
    const double footTop = ProtocolDocument::pageSize().height() - kMargin - m.lineHeight(Body);
    const QString name = QFileInfo(c.tableFile).fileName();
    const QString made =
        QStringLiteral("Составлен %1, %2")
            .arg(momentText(momentOf(c.made.date(), c.made.time()), rs), c.program);
    const int n = int(pages.size());
    for (int p = 0; p < n; ++p) {
        QList<Item>& items = pages[p].items;
        const QString number = QStringLiteral("Страница %1 из %2").arg(p + 1).arg(n);
        const double numberWidth = m.width(Body, number);
        Item item;
        item.kind = Item::Wrapped;
        item.font = Body;
        item.flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
        item.box = QRectF(left, kMargin, right - left - numberWidth - 12, m.lineHeight(Body) + 1);
        item.text = name;
        items << item;
        items << Item{Item::Text, Body, 0, QPointF(right - numberWidth, headBase), {}, number};
        items << Item{Item::Rule,
                      Body,
                      0,
                      {},
                      QRectF(QPointF(left, kMargin + m.lineHeight(Body) + 2),
                             QPointF(right, kMargin + m.lineHeight(Body) + 2)),
                      {}};
        items << Item{Item::Rule,
                      Body,
                      0,
                      {},
                      QRectF(QPointF(left, footTop - 3), QPointF(right, footTop - 3)),
                      {}};
        items << Item{Item::Text, Body, 0, QPointF(left, footTop + m.ascent(Body)), {}, made};
    }
}

// The chart component set up as the chart window draws the measurement
// chart, with both curves and the limit lines. The temperature axis also
// takes in the limits, so that their lines are on the chart.
std::unique_ptr<DateTimeChart> makeChart(const ProtocolContent& c, const RegionalSettings& rs)
{
    if (!c.withChart || (c.chart.t1.isEmpty() && c.chart.t2.isEmpty()))
        return nullptr;
    auto chart = std::make_unique<DateTimeChart>();
    chart->setAttribute(Qt::WA_DontShowOnScreen);
    chart->setObjectName(QStringLiteral("ProtocolChart"));
    chart->addCurve(QStringLiteral("Series1"), QStringLiteral("T1"), QColor(255, 0, 0));
    chart->addCurve(QStringLiteral("Series2"), QStringLiteral("T2"), QColor(0, 0, 255));
    chart->setMarginPercent(3, 5, 3, 4);
    chart->setBottomAxisFormat(QStringLiteral("hh:mm:ss") + QChar(13) + QStringLiteral("dd.MM.yy"));
    chart->setDecimalSeparator(rs.decimalSeparator);
    chart->setPoints(0, c.chart.t1);
    chart->setPoints(1, c.chart.t2);
    YRange ranges[2] = {yRange(c.chart.t1), yRange(c.chart.t2)};
    for (int i = 0; i < 2; ++i) {
        const ChannelSummary& ch = c.summary.channels[size_t(i)];
        for (const std::optional<double>& limit : {ch.lower, ch.upper})
            if (limit && std::isfinite(*limit)) {
                ranges[i].min = std::min(ranges[i].min, *limit);
                ranges[i].max = std::max(ranges[i].max, *limit);
            }
    }
    // The chart window's window of the axis; where the data span it
    // anyway, the data and the limits with a margin, so that no limit line
    // falls off the chart.
    const AxisWindow window = leftAxisWindow({true, true}, ranges[0], ranges[1]);
    chart->setLeftAxisAutomatic(false);
    if (window.automatic) {
        const YRange span = distinctRange(std::min(ranges[0].min, ranges[1].min),
                                          std::max(ranges[0].max, ranges[1].max));
        const double margin = (span.max - span.min) / 20;
        chart->setLeftAxisRange(span.min - margin, span.max + margin);
    } else {
        chart->setLeftAxisRange(window.min, window.max);
    }
    chart->setCurveTitle(0, MeasurementSchema::kT1Caption);
    chart->setCurveTitle(1, MeasurementSchema::kT2Caption);
    auto* limits = new ChartLimitLines(*chart);
    for (int i = 0; i < 2; ++i)
        limits->setLimits(i, c.summary.channels[size_t(i)].lower,
                          c.summary.channels[size_t(i)].upper);
    chart->resize(kChartPixels);
    chart->show();
    QCoreApplication::processEvents();
    return chart;
}

} // namespace

ProtocolDocument::ProtocolDocument(ProtocolContent content, const RegionalSettings& rs)
    : m(std::make_unique<Layout>())
{
    m->content = std::move(content);
    m->rs = rs;
    m->chart = makeChart(m->content, rs);
    const Measure measure;
    Builder b(m->pages, measure);
    const bool summaryOnly = !m->content.withChart && !m->content.withReadings;
    layOutHeading(b, m->content, rs,
                  summaryOnly ? QStringLiteral("Сводка") : QStringLiteral("Протокол"));
    layOutSummary(b, m->content, rs);
    layOutChart(b, m->chart != nullptr);
    layOutDays(b, m->content, rs);
    layOutReadings(b, m->content);
    addPageBands(m->pages, measure, m->content, rs);
}

ProtocolDocument::~ProtocolDocument() = default;

const ProtocolContent& ProtocolDocument::content() const
{
    return m->content;
}

int ProtocolDocument::pageCount() const
{
    return int(m->pages.size());
}

void ProtocolDocument::paintPage(QPainter& painter, int page) const
{
    if (page < 0 || page >= pageCount())
        return;
    // A font of s points draws s units high in the painter's units, which
    // are points: its size is told for the device's resolution.
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 72;
    QFont fonts[kFonts];
    for (int f = 0; f < kFonts; ++f) {
        fonts[f] = protocolFont(Font(f));
        fonts[f].setPointSizeF(kFontPoints[f] * 72.0 / dpi);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QPen text(Qt::black);
    const QPen rule(Qt::black, kRuleWidth);
    painter.setPen(text);
    int current = -1;
    for (const Item& item : m->pages[page].items) {
        switch (item.kind) {
        case Item::Text:
        case Item::Wrapped:
            if (item.font != current) {
                painter.setFont(fonts[item.font]);
                current = item.font;
            }
            if (item.kind == Item::Text)
                painter.drawText(item.at, item.text);
            else
                painter.drawText(item.box, item.flags, item.text);
            break;
        case Item::Rule:
            painter.setPen(rule);
            painter.drawLine(item.box.topLeft(), item.box.bottomRight());
            painter.setPen(text);
            break;
        case Item::Chart:
            if (m->chart) {
                painter.save();
                m->chart->render(painter, item.box);
                painter.restore();
                current = -1;
            }
            break;
        }
    }
    painter.restore();
}

bool paintProtocolPages(const ProtocolDocument& document, QPagedPaintDevice& device,
                        const QList<int>& pages,
                        const std::function<bool(int done, int total)>& progress)
{
    QPainter painter;
    if (!painter.begin(&device))
        throw AppError(QStringLiteral("Не удается начать печать"));
    const double scale = device.logicalDpiX() / 72.0;
    int done = 0;
    for (int page : pages) {
        if (page < 0 || page >= document.pageCount())
            continue;
        if (done > 0 && !device.newPage()) {
            painter.end();
            throw AppError(QStringLiteral("Не удается начать новую страницу"));
        }
        painter.resetTransform();
        painter.scale(scale, scale);
        document.paintPage(painter, page);
        ++done;
        if (progress && !progress(done, int(pages.size()))) {
            if (auto* printer = dynamic_cast<QPrinter*>(&device))
                printer->abort();
            painter.end();
            return false;
        }
    }
    if (!painter.end())
        throw AppError(QStringLiteral("Не удается завершить печать"));
    return true;
}

bool writeProtocolPdf(const ProtocolDocument& document, const QString& fileName,
                      const QList<PdfAttachment>& attachments,
                      const std::function<bool(int done, int total)>& progress)
{
    // Built unseen beside its target and named only when whole.
    OutputFile file(fileName);
    bool done = false;
    try {
        QPdfWriter writer(&file);
        writer.setResolution(720);
        writer.setCreator(QStringLiteral("ФЛН-РК2"));
        writer.setTitle(QStringLiteral("Протокол ") +
                        QFileInfo(document.content().tableFile).fileName());
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        for (const PdfAttachment& a : attachments)
            writer.addFileAttachment(a.name, a.data, a.mimeType);
        QList<int> pages;
        for (int p = 0; p < document.pageCount(); ++p)
            pages << p;
        // The writer does not say when a write fails: the file does.
        done = paintProtocolPages(document, writer, pages, [&](int n, int total) {
            return !file.failed() && (!progress || progress(n, total));
        });
    } catch (const AppError&) {
        if (!file.failed())
            throw;
    }
    if (!done && !file.failed())
        return false;
    file.commit();
    return true;
}
