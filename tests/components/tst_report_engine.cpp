// The banded report engine: page stacking as arithmetic, expressions, number
// format, drawing with cut-off texts, search, page lists and prepared-report
// files.
#include "components/prepared_report_file.h"
#include "components/report_engine.h"
#include "components/report_preview.h"
#include "platform/app_error.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/memory_limit.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QtTest>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

namespace {

class MemoryRows : public ReportRowSource
{
public:
    MemoryRows(QStringList fields, QList<QStringList> rows)
        : m_fields(std::move(fields)), m_rows(std::move(rows))
    {
    }
    QString dataSetName() const override { return QStringLiteral("Data"); }
    QStringList fieldNames() const override { return m_fields; }
    qint64 begin() override
    {
        ++begun;
        return m_rows.size();
    }
    void end() override { ++ended; }
    QStringList rowTexts(qint64 row) const override
    {
        ++reads;
        return m_rows.value(row);
    }

    int begun = 0, ended = 0;
    mutable int reads = 0;

private:
    QStringList m_fields;
    QList<QStringList> m_rows;
};

ReportCell textCell(double x, double w, const QString& text, quint8 frame = ReportFrame::All)
{
    ReportCell c;
    c.x = x;
    c.width = w;
    c.text = text;
    c.frame.sides = frame;
    c.hAlign = ReportCell::HAlign::Center;
    c.vAlign = ReportCell::VAlign::Middle;
    return c;
}

// A page of the size and bands of the printed table report.
ReportTemplate tableLikeTemplate(const QString& rowText = QStringLiteral("[Data.\"A\"]"))
{
    ReportTemplate t;
    t.page = {1071, 758, 25, 72, 25, 25, true, 210, 297};
    t.bands << ReportBand{ReportBand::Kind::ReportTitle, 64, {textCell(25, 234, "Title", 0)}}
            << ReportBand{ReportBand::Kind::PageHeader, 60, {textCell(25, 100, "Head")}}
            << ReportBand{ReportBand::Kind::MasterData, 40, {textCell(25, 165, rowText)}}
            << ReportBand{ReportBand::Kind::PageFooter,
                          20,
                          {textCell(844, 202, "Стр. [PAGE#] из [TOTALPAGES]", 0)}};
    return t;
}

QList<QStringList> rows(int n, const QString& prefix = QStringLiteral("row "))
{
    QList<QStringList> out;
    for (int i = 0; i < n; ++i)
        out << QStringList{prefix + QString::number(i + 1)};
    return out;
}

std::unique_ptr<PreparedReport> prepared(int n, const ReportTemplate& t = tableLikeTemplate())
{
    return std::make_unique<PreparedReport>(
        t, std::make_unique<MemoryRows>(QStringList{"A"}, rows(n)));
}

// A prepared report's bytes as our files lay them out (magic "FLNR", version
// 1, template, data set, fields, row count, rows, one offset per row, the
// index's offset), with parts that a damaged file may have instead.
struct FlnrFile
{
    ReportTemplate t = tableLikeTemplate();
    qint64 rowCount = -1;    // else rows.size()
    qint64 indexOffset = -1; // else where the index starts
    QByteArray fields;       // else the list {"A"}
    int rawRow = -1;         // the row written as `rawRowBytes`
    QByteArray rawRowBytes;
    std::function<void(QList<qint64>&)> changeOffsets; // the index as written

    QByteArray bytes(int rowsWritten = 30) const
    {
        QByteArray out;
        QDataStream s(&out, QIODevice::WriteOnly);
        s.setVersion(QDataStream::Qt_6_4);
        s << quint32(0x464C4E52) << quint32(1) << t << QStringLiteral("Data");
        if (fields.isEmpty())
            s << QStringList{"A"};
        else
            s.writeRawData(fields.constData(), int(fields.size()));
        s << (rowCount >= 0 || rowCount < -1 ? rowCount : qint64(rowsWritten));
        QList<qint64> offsets;
        for (int i = 0; i < rowsWritten; ++i) {
            offsets << s.device()->pos();
            if (i == rawRow)
                s.writeRawData(rawRowBytes.constData(), int(rawRowBytes.size()));
            else
                s << QStringList{QString::number(i + 1)};
        }
        const qint64 index = s.device()->pos();
        if (changeOffsets)
            changeOffsets(offsets);
        for (qint64 o : offsets)
            s << o;
        s << (indexOffset >= 0 ? indexOffset : index);
        return out;
    }
};

// A row's texts as the file holds them.
QByteArray texts(const QStringList& list)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(QDataStream::Qt_6_4);
    s << list;
    return out;
}

QByteArray bigEndian32(quint32 v)
{
    QByteArray out;
    QDataStream(&out, QIODevice::WriteOnly) << v;
    return out;
}

} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Page height 758, margins 72 and 25, footer 20: rows live in 72..713.
    // The first page loses 64 units to the title: 517 / 40 = 12 rows;
    // the others keep 581 / 40 = 14 rows.
    void pageCount_data()
    {
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<int>("pages");
        QTest::newRow("empty table") << qint64(0) << 1;
        QTest::newRow("one record") << qint64(1) << 1;
        QTest::newRow("first page full") << qint64(12) << 1;
        QTest::newRow("one over the first page") << qint64(13) << 2;
        QTest::newRow("second page full") << qint64(26) << 2;
        QTest::newRow("third page begun") << qint64(27) << 3;
        QTest::newRow("a million records") << qint64(1000000) << 71429;
    }
    void pageCount()
    {
        QFETCH(qint64, rows);
        QFETCH(int, pages);
        const ReportTemplate t = tableLikeTemplate();
        const ReportPageLayout layout(t);
        QCOMPARE(layout.rowsOnFirstPage(), 12);
        QCOMPARE(layout.rowsOnOtherPages(), 14);
        QCOMPARE(layout.pageCount(rows), pages);
        // Every row is on exactly one page, in order.
        if (rows < 100) {
            qint64 next = 0;
            for (int p = 0; p < pages; ++p) {
                const auto range = layout.rowsOfPage(rows, p);
                QCOMPARE(range.first, next);
                QVERIFY(range.count > 0 || rows == 0);
                next += range.count;
            }
            QCOMPARE(next, rows);
        }
        const auto last = layout.rowsOfPage(rows, pages - 1);
        QCOMPARE(last.first + last.count, rows);
    }

    void bandPositions()
    {
        const ReportTemplate t = tableLikeTemplate();
        const ReportPageLayout layout(t);
        using K = ReportBand::Kind;
        auto describe = [&](qint64 rows, int page) {
            QList<std::tuple<K, double, qint64>> out;
            for (const auto& b : layout.bandsOfPage(rows, page))
                out.append({b.band->kind, b.y, b.row});
            return out;
        };
        // One record: title, header, the row, the footer on the bottom margin.
        QList<std::tuple<K, double, qint64>> one{{K::ReportTitle, 72, -1},
                                                 {K::PageHeader, 136, -1},
                                                 {K::MasterData, 196, 0},
                                                 {K::PageFooter, 713, -1}};
        QCOMPARE(describe(1, 0), one);
        // Second page of 27 rows: no title, rows 12..25 from y 132 down.
        const auto second = describe(27, 1);
        QCOMPARE(second.size(), 1 + 14 + 1);
        QCOMPARE(second.first(), std::make_tuple(K::PageHeader, 72.0, qint64(-1)));
        QCOMPARE(second[1], std::make_tuple(K::MasterData, 132.0, qint64(12)));
        QCOMPARE(second[14], std::make_tuple(K::MasterData, 132.0 + 13 * 40, qint64(25)));
        QVERIFY(132.0 + 14 * 40 <= 713); // the last row ends above the footer
        QCOMPARE(second.last(), std::make_tuple(K::PageFooter, 713.0, qint64(-1)));
        QVERIFY(describe(27, 3).isEmpty()); // no such page
    }

    void aBandTallerThanThePageStillEnds()
    {
        ReportTemplate t = tableLikeTemplate();
        t.bands[2].height = 2000;
        const ReportPageLayout layout(t);
        QCOMPARE(layout.rowsOnFirstPage(), 0);
        QCOMPARE(layout.pageCount(3), 4); // the title page, then one row a page
    }

    // A row band of no height, or of none that can be measured, still gives
    // each row exactly one page and never divides by zero.
    void rowsWithoutHeightStillEnd_data()
    {
        QTest::addColumn<double>("height");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative") << -40.0;
        QTest::newRow("not a number") << std::nan("");
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
    }
    void rowsWithoutHeightStillEnd()
    {
        QFETCH(double, height);
        ReportTemplate t = tableLikeTemplate();
        t.bands[2].height = height;
        const ReportPageLayout layout(t);
        const int pages = layout.pageCount(10);
        QVERIFY2(pages >= 1 && pages <= 11, qPrintable(QString::number(pages)));
        qint64 rows = 0;
        for (int p = 0; p < pages; ++p)
            rows += layout.rowsOfPage(10, p).count;
        QCOMPARE(rows, 10);
    }

    void numberFormat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("printed");
        QTest::newRow("one decimal, comma") << "23,5"
                                            << "23,5";
        QTest::newRow("leading space") << " 5,0"
                                       << "5,0";
        QTest::newRow("negative") << "-12,3"
                                  << "-12,3";
        QTest::newRow("no decimals") << "7"
                                     << "7,0";
        QTest::newRow("more decimals, half up") << "0,05"
                                                << "0,1";
        QTest::newRow("carry into the integer") << "9,95"
                                                << "10,0";
        QTest::newRow("no integer digit") << ",5"
                                          << "0,5";
        QTest::newRow("leading zeros") << "007,2"
                                       << "7,2";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("blanks") << "   "
                                << "";
        QTest::newRow("no number") << "обрыв"
                                   << "обрыв";
        QTest::newRow("point is no separator here") << "12.5"
                                                    << "12.5";
        QTest::newRow("two separators") << "1,2,3"
                                        << "1,2,3";
        QTest::newRow("sign alone") << " -"
                                    << " -";
    }
    void numberFormat()
    {
        QFETCH(QString, text);
        QFETCH(QString, printed);
        QCOMPARE(formatReportNumber(text, 1, u','), printed);
    }

    void expressionsAndPageNumbers()
    {
        ReportTemplate t = tableLikeTemplate(QStringLiteral("<[Data.\"B\"]|[Data.A]> [x"));
        t.bands[2].cells[0].format = ReportCell::Format::Number;
        PreparedReport report(
            t, std::make_unique<MemoryRows>(QStringList{"A", "B"},
                                            QList<QStringList>{{" 5,0", "x"}, {"", "-1,25"}}));
        QCOMPARE(report.pageCount(), 1);
        const auto cells = report.pageCells(0);
        QStringList texts;
        for (const auto& c : cells)
            texts << c.text;
        QCOMPARE(texts, (QStringList{"Title", "Head", "<x|5,0> [x", "<-1,3|> [x", "Стр. 1 из 1"}));
        QCOMPARE(cells[2].rect, QRectF(25, 196, 165, 40));
        QCOMPARE(cells[3].rect, QRectF(25, 236, 165, 40));
    }

    void everyFooterHasItsPageAndTheSameTotal()
    {
        auto report = prepared(40); // 12 + 14 + 14
        QCOMPARE(report->pageCount(), 3);
        for (int p = 0; p < 3; ++p)
            QCOMPARE(report->pageCells(p).last().text, QStringLiteral("Стр. %1 из 3").arg(p + 1));
    }

    void unknownFieldIsAnError()
    {
        QVERIFY_THROWS_EXCEPTION(AppError, prepared(1, tableLikeTemplate("[Data.\"NOPE\"]")));
        QVERIFY_THROWS_EXCEPTION(AppError, prepared(1, tableLikeTemplate("[Other.\"A\"]")));
    }

    // Preparing only counts rows: it reads none, whatever the table's size.
    void preparationReadsNoRows()
    {
        auto source = std::make_unique<MemoryRows>(QStringList{"A"}, rows(5000));
        MemoryRows* raw = source.get();
        PreparedReport report(tableLikeTemplate(), std::move(source));
        QCOMPARE(raw->begun, 1);
        QCOMPARE(raw->ended, 1);
        QCOMPARE(raw->reads, 0);
        report.pageCells(100);
        QCOMPARE(raw->reads, 14);
    }

    // A text too long for its cell wraps and is cut at the cell's bottom: no
    // ink below the row, and the row does not move the footer.
    void longTextIsCutAtTheCellsEdge()
    {
        const QString comment = QStringLiteral(
            "Очень длинное примечание, которое не помещается в одну строку ячейки и "
            "должно переноситься по словам и обрезаться снизу у края строки таблицы");
        PreparedReport report(
            tableLikeTemplate(),
            std::make_unique<MemoryRows>(QStringList{"A"}, QList<QStringList>{{comment}}));
        const double scale = 2.0; // pixels per unit
        QImage image(int(1071 * scale), int(758 * scale), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.scale(scale, scale);
            report.paintPage(painter, 0);
        }
        auto inkIn = [&](double x0, double y0, double x1, double y1) {
            int ink = 0;
            for (int y = int(y0 * scale); y < int(y1 * scale); ++y)
                for (int x = int(x0 * scale); x < int(x1 * scale); ++x)
                    ink += qGray(image.pixel(x, y)) < 160;
            return ink;
        };
        // The row is 196..236 and the cell 25..190; inside the frame lines.
        QVERIFY(inkIn(28, 198, 187, 234) > 200); // the text is there
        QCOMPARE(inkIn(26, 238, 189, 700), 0);   // and nothing below the row
    }

    // A word wider than its cell breaks inside it, as a line wraps: it reads
    // from its start at the cell's left, on the row's first line, instead
    // of being centred and clipped on both sides.
    void wordWiderThanItsCellBreaksInside()
    {
        PreparedReport report(tableLikeTemplate(),
                              std::make_unique<MemoryRows>(
                                  QStringList{"A"}, QList<QStringList>{{QString(50, u'Ш')}}));
        const double scale = 3.0; // pixels per unit
        QImage image(int(1071 * scale), int(758 * scale), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.scale(scale, scale);
            report.paintPage(painter, 0);
        }
        auto inkIn = [&](double x0, double y0, double x1, double y1) {
            int ink = 0;
            for (int y = int(y0 * scale); y < int(y1 * scale); ++y)
                for (int x = int(x0 * scale); x < int(x1 * scale); ++x)
                    ink += qGray(image.pixel(x, y)) < 160;
            return ink;
        };
        // The row is 196..236, the cell's text area 27..188 from y 197: the
        // first line's capitals stand in 198..207, starting at the left.
        QVERIFY(inkIn(27.5, 198, 34, 207) > 20);
        QVERIFY(inkIn(150, 198, 187, 207) > 20); // the line is full
        QCOMPARE(inkIn(26, 238, 189, 700), 0);   // nothing below the row
    }

    // A text that fits on one line lands where Qt's own text layout puts
    // it, pixel for pixel, whatever way the engine takes to draw it.
    void oneLineTextLandsWhereTheTextLayoutPutsIt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("align");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<double>("points");
        using H = ReportCell::HAlign;
        QTest::newRow("time, centred") << "12:30:15" << int(H::Center) << false << 10.0;
        QTest::newRow("number, right") << "-8,2" << int(H::Right) << false << 10.0;
        QTest::newRow("Cyrillic, left") << "Оперативный" << int(H::Left) << false << 10.0;
        // The last glyph's ink reaches past its advance.
        QTest::newRow("bold heading, centred") << "Дата" << int(H::Center) << true << 12.0;
        QTest::newRow("big letter, right") << "t" << int(H::Right) << true << 14.0;
        QTest::newRow("ligature letters") << "fifty fine" << int(H::Center) << false << 10.0;
        QTest::newRow("spaces at the ends") << " 5,0 " << int(H::Center) << false << 10.0;
        QTest::newRow("Latin and signs") << "N (x+y)/2 = 1.5%" << int(H::Left) << false << 10.0;
    }
    void oneLineTextLandsWhereTheTextLayoutPutsIt()
    {
        QFETCH(QString, text);
        QFETCH(int, align);
        QFETCH(bool, bold);
        QFETCH(double, points);
        ReportCell cell = textCell(10, 150, QStringLiteral("[Data.\"A\"]"), ReportFrame::None);
        cell.hAlign = ReportCell::HAlign(align);
        cell.bold = bold;
        cell.pointSize = points;
        ReportTemplate t;
        t.page = {200, 80, 10, 10, 10, 10, true, 210, 297};
        t.bands << ReportBand{ReportBand::Kind::MasterData, 40, {cell}};
        PreparedReport report(
            t, std::make_unique<MemoryRows>(QStringList{"A"}, QList<QStringList>{{text}}));

        const double scale = 5.0; // pixels per unit
        auto page = [&] {
            QImage image(int(200 * scale), int(80 * scale), QImage::Format_RGB32);
            image.fill(Qt::white);
            return image;
        };
        QImage drawn = page();
        {
            QPainter painter(&drawn);
            painter.scale(scale, scale);
            report.paintPage(painter, 0);
        }
        // The reference: the cell's inner rectangle (inset 2 and 1), the text
        // laid out by QTextLayout on one line, aligned by its natural width
        // and centred vertically by the line's height.
        QImage expected = page();
        {
            QPainter painter(&expected);
            painter.scale(scale, scale);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setRenderHint(QPainter::TextAntialiasing, true);
            painter.setPen(Qt::black);
            QFont font(QStringLiteral("Arial"));
            font.setPointSizeF(points * ReportUnits::kPerInch / expected.logicalDpiY());
            font.setBold(bold);
            font.setHintingPreference(QFont::PreferNoHinting);
            font.setKerning(false);
            QTextLayout layout(text, font, &expected);
            QTextOption option;
            option.setWrapMode(QTextOption::NoWrap);
            option.setUseDesignMetrics(true);
            layout.setTextOption(option);
            layout.beginLayout();
            QTextLine line = layout.createLine();
            line.setLineWidth(1e6);
            layout.endLayout();
            const QRectF inner(12, 11, 146, 38);
            double x = inner.left();
            if (cell.hAlign == ReportCell::HAlign::Center)
                x += (inner.width() - line.naturalTextWidth()) / 2;
            else if (cell.hAlign == ReportCell::HAlign::Right)
                x += inner.width() - line.naturalTextWidth();
            line.draw(&painter, QPointF(x, inner.top() + (inner.height() - line.height()) / 2));
        }
        QCOMPARE(drawn, expected);
    }

    void find()
    {
        auto report = prepared(40);
        PreparedReport::Hit hit = report->find(QStringLiteral("ROW 3"), {});
        QCOMPARE(hit.page, 0);
        QCOMPARE(report->pageCells(0)[hit.cell].text, QStringLiteral("row 3"));
        hit = report->find(QStringLiteral("row 3"), hit); // then row 30 on the third page
        QCOMPARE(hit.page, 2);
        QCOMPARE(report->pageCells(2)[hit.cell].text, QStringLiteral("row 30"));
        hit = report->find(QStringLiteral("row 3"), hit);
        QCOMPARE(report->pageCells(hit.page)[hit.cell].text, QStringLiteral("row 31"));
        hit = report->find(QStringLiteral("Стр. 3"), hit);
        QCOMPARE(hit.page, 2);
        QVERIFY(!report->find(QStringLiteral("Стр. 3"), hit).valid());
        QVERIFY(!report->find(QStringLiteral("nowhere"), {}).valid());
    }

    // "Найти далее" says when nothing (more) is found, and the wait cursor
    // goes away even when a row cannot be read.
    void previewFindSaysWhenNothingIsFound()
    {
        auto report = prepared(30);
        QStringList told;
        ReportPreviewHost host;
        host.inform = [&](QWidget*, const QString& text) { told << text; };
        ReportPreview preview(*report, host);
        QVERIFY(preview.findNext(QStringLiteral("row 30")));
        QVERIFY(told.isEmpty());
        QVERIFY(!preview.findNext(QStringLiteral("нет такого")));
        QVERIFY(!preview.pageView()->highlight().valid());
        QCOMPARE(told, QStringList{QStringLiteral("Текст \"нет такого\" не найден.")});
        QVERIFY(!QApplication::overrideCursor());
    }

    // Past the last page "Найти далее" goes on from the first and says so in
    // the status bar; a text found on the way down says nothing.
    void previewFindWrapsToTheFirstPage_data()
    {
        QTest::addColumn<int>("startPage");
        QTest::addColumn<QStringList>("searches");
        QTest::addColumn<QStringList>("found"); // the cell's text, then the status
        QTest::newRow("a text on an earlier page")
            << 2 << QStringList{"row 5"} << QStringList{"row 5", "Поиск продолжен с начала"};
        QTest::newRow("the only occurrence, again")
            << 0 << QStringList{"row 30", "row 30"}
            << QStringList{"row 30", "", "row 30", "Поиск продолжен с начала"};
        // The last page holds rows 27 to 40: "row 30" to "row 39" first.
        QStringList down, downFound;
        for (int row = 30; row <= 39; ++row)
            down << "row 3", downFound << QStringLiteral("row %1").arg(row) << "";
        QTest::newRow("on down, then round") << 2 << (down << "row 3")
                                             << (downFound << "row 3"
                                                           << "Поиск продолжен с начала");
    }
    void previewFindWrapsToTheFirstPage()
    {
        QFETCH(int, startPage);
        QFETCH(QStringList, searches);
        QFETCH(QStringList, found);
        auto report = prepared(40);
        QStringList told;
        ReportPreviewHost host;
        host.inform = [&](QWidget*, const QString& text) { told << text; };
        ReportPreview preview(*report, host);
        preview.resize(900, 700);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.pageView()->showPage(startPage);
        QCOMPARE(preview.pageView()->currentPage(), startPage);
        const auto* status = preview.findChild<QLabel*>("findStatus");
        QStringList seen;
        for (const QString& text : searches) {
            QVERIFY2(preview.findNext(text), qPrintable(told.join(' ')));
            const PreparedReport::Hit hit = preview.pageView()->highlight();
            seen << report->pageCells(hit.page)[hit.cell].text
                 << (status ? status->text() : QStringLiteral("(no status)"));
        }
        QCOMPARE(seen, found);
        QVERIFY(told.isEmpty());
    }
    void previewFindRestoresTheCursorWhenARowFails()
    {
        class FailingRows : public MemoryRows
        {
        public:
            using MemoryRows::MemoryRows;
            QStringList rowTexts(qint64 row) const override
            {
                if (row >= 20)
                    throw AppError(QStringLiteral("damaged"));
                return MemoryRows::rowTexts(row);
            }
        };
        PreparedReport report(tableLikeTemplate(),
                              std::make_unique<FailingRows>(QStringList{"A"}, rows(30)));
        ReportPreview preview(report, {});
        QVERIFY_THROWS_EXCEPTION(AppError, preview.findNext(QStringLiteral("no such row")));
        QVERIFY(!QApplication::overrideCursor());
    }

    void copiesAndCollate()
    {
        QCOMPARE(printSequence({0, 1, 2}, 2, true), (QList<int>{0, 1, 2, 0, 1, 2}));
        QCOMPARE(printSequence({0, 1, 2}, 2, false), (QList<int>{0, 0, 1, 1, 2, 2}));
        QCOMPARE(printSequence({4}, 0, true), (QList<int>{4}));
    }

    void preparedReportFileOpensAgain()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath("report.flnr");
        ReportTemplate t = tableLikeTemplate();
        t.bands[2].cells[0].format = ReportCell::Format::Number;
        t.bands[2].cells[0].text = QStringLiteral("[Data.\"A\"] °C");
        {
            QList<QStringList> data = rows(30, QString());
            data[3] = QStringList{QStringLiteral(" 5,0")};
            PreparedReport report(t, std::make_unique<MemoryRows>(QStringList{"A"}, data));
            QVERIFY(PreparedReportFile::save(report, name));
        }
        std::unique_ptr<PreparedReport> opened = PreparedReportFile::open(name);
        QCOMPARE(opened->reportTemplate(), t);
        QCOMPARE(opened->rowCount(), 30);
        QCOMPARE(opened->pageCount(), 3);
        QCOMPARE(opened->pageCells(0)[2 + 3].text, QStringLiteral("5,0 °C"));
        QCOMPARE(opened->pageCells(2).at(1 + 3).text, QStringLiteral("30,0 °C"));
        QCOMPARE(opened->pageCells(2).last().text, QStringLiteral("Стр. 3 из 3"));
    }

    // Whatever a damaged file holds, it is refused with the usual text,
    // when opened or at the latest when its page is read: never a crash, a
    // division by zero or an allocation the file's size cannot back.
    void damagedPreparedReportIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const FlnrFile sound;
        const QByteArray whole = sound.bytes();
        QTest::newRow("cut short") << whole.left(whole.size() - 20);
        QTest::newRow("not a report") << QByteArray("PK\3\4 zip");
        QTest::newRow("empty") << QByteArray();
        auto withTemplate = [](auto change) {
            FlnrFile f;
            change(f.t);
            return f.bytes();
        };
        auto rowHeight = [&](double h) {
            return withTemplate([h](ReportTemplate& t) { t.bands[2].height = h; });
        };
        QTest::newRow("row height 0") << rowHeight(0);
        QTest::newRow("row height negative") << rowHeight(-40);
        QTest::newRow("row height not a number") << rowHeight(std::nan(""));
        QTest::newRow("row height taller than the page") << rowHeight(5000);
        QTest::newRow("title height not a number")
            << withTemplate([](ReportTemplate& t) { t.bands[0].height = std::nan(""); });
        QTest::newRow("page height 0")
            << withTemplate([](ReportTemplate& t) { t.page.height = 0; });
        QTest::newRow("margins past the page")
            << withTemplate([](ReportTemplate& t) { t.page.marginTop = 1e9; });
        QTest::newRow("cell far off the page")
            << withTemplate([](ReportTemplate& t) { t.bands[2].cells[0].x = 1e300; });
        QTest::newRow("frame width huge")
            << withTemplate([](ReportTemplate& t) { t.bands[1].cells[0].frame.width = 1e300; });
        QTest::newRow("font size not a number") << withTemplate(
            [](ReportTemplate& t) { t.bands[2].cells[0].pointSize = std::nan(""); });
        FlnrFile f;
        f.rowCount = qint64(1) << 61;
        QTest::newRow("row count huge") << f.bytes();
        f = {};
        f.rowCount = -5;
        QTest::newRow("row count negative") << f.bytes();
        f = {};
        f.indexOffset = std::numeric_limits<qint64>::max() - 3;
        QTest::newRow("index offset huge") << f.bytes();
        f = {};
        f.fields = bigEndian32(0xFFFFFFF0);
        QTest::newRow("field count huge") << f.bytes();
        f = {};
        f.rawRow = 3;
        f.rawRowBytes = bigEndian32(0xFFFFFFF0);
        QTest::newRow("a row's text count huge") << f.bytes();
        // Rows of a file of ours follow one another: rows that share their
        // bytes would make one long text cost once per row.
        f = {};
        f.changeOffsets = [](QList<qint64>& o) {
            for (qint64& offset : o)
                offset = o[0];
        };
        QTest::newRow("every row at the same offset") << f.bytes();
        f = {};
        f.rawRow = 0;
        f.rawRowBytes = texts({QString(1000, u'x')});
        f.changeOffsets = [](QList<qint64>& o) { o[1] = o[0] + 8; };
        QTest::newRow("a row inside the one before") << f.bytes();
        // A page of hundreds of thousands of cells: rows a thousandth of a
        // unit high, each of 1024 cells.
        f = {};
        f.t.bands[2].height = 0.001;
        f.t.bands[2].cells = QList<ReportCell>(1024, f.t.bands[2].cells[0]);
        QTest::newRow("cells a page cannot hold") << f.bytes(200);
    }
    void damagedPreparedReportIsRefused()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString name = dir.filePath("report.flnr");
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        try {
            std::unique_ptr<PreparedReport> opened = PreparedReportFile::open(name);
            QImage image(200, 150, QImage::Format_RGB32);
            QPainter painter(&image);
            for (int p = 0; p < opened->pageCount(); ++p) {
                opened->pageCells(p);
                opened->paintPage(painter, p);
            }
            QFAIL("a damaged file was read");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), QStringLiteral("Файл \"%1\" не является подготовленным отчетом.")
                                   .arg(QDir::toNativeSeparators(name)));
        }
    }

    // A small file whose one long value every cell of a row repeats: the
    // work is bounded by what a page may show, not by the cells times the
    // value, and stays within a memory limit the unbounded work breaks at
    // once. The first cell shows the value's start.
    void repeatedLongValueStaysSmall()
    {
        if (!MemoryLimit::available())
            QSKIP("AddressSanitizer reserves the address space for itself");
        QTemporaryDir dir;
        const QString name = dir.filePath("report.flnr");
        FlnrFile f;
        ReportCell cell = f.t.bands[2].cells[0];
        cell.text = QStringLiteral("[Data.\"A\"]");
        f.t.bands[2].cells = QList<ReportCell>(1024, cell);
        f.rawRow = 0;
        f.rawRowBytes = texts({QStringLiteral("слово ").repeated(100000)}); // 1,2 MB
        {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(f.bytes(1));
        }
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<PreparedReport> opened = PreparedReportFile::open(name);
        QImage image(400, 300, QImage::Format_RGB32);
        {
            const MemoryLimit limit(qint64(400) << 20);
            const QList<PreparedReport::PageCell> cells = opened->pageCells(0);
            qsizetype characters = 0;
            for (const PreparedReport::PageCell& c : cells)
                characters += c.text.size();
            QVERIFY(characters <= PreparedReport::kPageTextLimit);
            QPainter painter(&image);
            painter.scale(PreparedReport::devicePixelsPerUnit(image),
                          PreparedReport::devicePixelsPerUnit(image));
            opened->paintPage(painter, 0);
            painter.end();
            QVERIFY(writeReportPdf(*opened, dir.filePath("report.pdf")));
        }
        bool first = true;
        for (const PreparedReport::PageCell& c : opened->pageCells(0))
            if (c.cell == &opened->reportTemplate().bands[2].cells[0] && first) {
                QVERIFY(c.text.startsWith(QStringLiteral("слово слово ")));
                first = false;
            }
        QVERIFY(!first);
        qInfo("opened, drawn and written in %lld ms", timer.elapsed());
    }

    // The fixture above writes what our own files hold.
    void soundFixtureOpens()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath("report.flnr");
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(FlnrFile().bytes());
        file.close();
        std::unique_ptr<PreparedReport> opened = PreparedReportFile::open(name);
        QCOMPARE(opened->rowCount(), 30);
        QCOMPARE(opened->pageCells(2).at(1 + 3).text, QStringLiteral("30"));
    }

    void pdfOutput()
    {
        QTemporaryDir dir;
        auto report = prepared(40);
        // Cancelled after the first page: no file is left behind.
        const QString cancelled = dir.filePath("cancelled.pdf");
        QList<int> seen;
        QVERIFY(!writeReportPdf(*report, cancelled, [&](int done, int total) {
            seen << done << total;
            return false;
        }));
        QCOMPARE(seen, (QList<int>{1, 3}));
        QVERIFY(!QFile::exists(cancelled));
        // A folder that does not exist is an error that says which file.
        const QString bad = dir.filePath("no/such/folder/report.pdf");
        try {
            writeReportPdf(*report, bad);
            QFAIL("no error");
        } catch (const AppError& e) {
            QVERIFY2(e.text().contains("report.pdf"), qPrintable(e.text()));
        }
        // Done: a PDF file of three pages.
        const QString done = dir.filePath("done.pdf");
        QVERIFY(writeReportPdf(*report, done));
        QFile file(done);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("%PDF-"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                     bytes.count("/Type /Page "),
                 qsizetype(3));
    }

    // A report written over an older one replaces it only when whole: a
    // full disk or a cancel leaves the older file as it was and nothing
    // else in the folder, and a failure says why in the usual form.
    void failedOutputKeepsTheOlderFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("diskFull");
        QTest::newRow("PDF, disk full") << "report.pdf" << true;
        QTest::newRow("PDF, cancelled") << "report.pdf" << false;
        QTest::newRow("prepared report, disk full") << "report.flnr" << true;
        QTest::newRow("prepared report, cancelled") << "report.flnr" << false;
    }
    void failedOutputKeepsTheOlderFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, diskFull);
        QTemporaryDir dir;
        const QString target = dir.filePath(name);
        const QByteArray older = "the older report";
        {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(older);
        }
        auto report = prepared(3000);
        const bool pdf = name.endsWith(".pdf");
        auto write = [&] {
            return pdf ? writeReportPdf(*report, target,
                                        [&](int done, int) { return diskFull || done < 2; })
                       : PreparedReportFile::save(*report, target, [&](qint64 done, qint64) {
                             return diskFull || done < 2000;
                         });
        };
        if (diskFull) {
            FileSizeLimit full(16 * 1024);
            try {
                write();
                QFAIL("a full disk went unnoticed");
            } catch (const AppError& e) {
                QCOMPARE(e.text(), QStringLiteral("Не удалось записать файл %1: %2")
                                       .arg(QDir::toNativeSeparators(target),
                                            QString::fromLocal8Bit(std::strerror(EFBIG))));
            }
        } else {
            QVERIFY(!write());
        }
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), older);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
    }

    void cancelledSaveLeavesNoFile()
    {
        QTemporaryDir dir;
        const QString name = dir.filePath("report.flnr");
        auto report = prepared(5000);
        QVERIFY(!PreparedReportFile::save(*report, name,
                                          [](qint64 done, qint64) { return done < 2000; }));
        QVERIFY(!QFile::exists(name));
    }
};

QTEST_MAIN(TestReportEngine)
#include "tst_report_engine.moc"
