// The printed table report: its template read back from the engine, and the
// report prepared from a real table (order, texts, the current record after).
#include "components/report_engine.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "output/measurement_report.h"
#include "tests/support/measurement_table.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using HAlign = ReportCell::HAlign;
using VAlign = ReportCell::VAlign;
using Kind = ReportBand::Kind;

struct Row
{
    int n;
    const char* date;
    const char* time;
    const char* mode;
    const char* t1;
    const char* t2;
    const char* comment;
};

// A small table: readings with one decimal, one-digit temperatures stored
// with a leading space, an empty channel and one deleted record (4).
constexpr Row kRows[] = {
    {1, "01.02.2026", "10:00:00", "Оперативный", " 3,5", " 5,0", ""},
    {2, "01.02.2026", "10:10:00", "Наблюдения", "-12,3", "", "замечание"},
    {3, "01.02.2026", "10:20:00", "Наблюдения", "17,1", "100,0", ""},
    {4, "01.02.2026", "10:30:00", "Наблюдения", "99,9", "99,9", "удалена"},
    {5, "01.02.2026", "10:40:00", "Оперативный", " 0,0", "-0,5", ""},
};

class ReportTable
{
public:
    ReportTable()
    {
        QList<TestRow> rows;
        for (const Row& r : kRows)
            rows.append({.n = r.n,
                         .mode = QString::fromUtf8(r.mode),
                         .enCh = 3,
                         .date = QString::fromUtf8(r.date),
                         .time = QString::fromUtf8(r.time),
                         .t1 = QString::fromUtf8(r.t1),
                         .t2 = QString::fromUtf8(r.t2),
                         .comment = QString::fromUtf8(r.comment),
                         .deleted = r.n == 4});
        writeMeasurementTable(dir.filePath("report.db"), rows, 0xC9);
        table.setTableFile(dir.filePath("report.db"));
        table.open();
        table.first();
    }
    QTemporaryDir dir;
    DbfTable table;
};

// The texts of the printed rows of page 0, one list per row.
QList<QStringList> printedRows(const PreparedReport& report)
{
    QList<QStringList> rows;
    QStringList current;
    for (const PreparedReport::PageCell& c : report.pageCells(0)) {
        if (c.rect.top() < 196 || c.rect.top() >= 713)
            continue; // title, header, footer
        current << c.text;
        if (current.size() == 7) {
            rows << current;
            current.clear();
        }
    }
    return rows;
}

} // namespace

class TestMeasurementReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void page()
    {
        const ReportTemplate t = MeasurementReport::reportTemplate();
        QCOMPARE(t.page.width, 1071.0);
        QCOMPARE(t.page.height, 758.0);
        QCOMPARE(t.page.marginLeft, 25.0);
        QCOMPARE(t.page.marginTop, 72.0);
        QCOMPARE(t.page.marginRight, 25.0);
        QCOMPARE(t.page.marginBottom, 25.0);
        QVERIFY(t.page.landscape);
        QCOMPARE(t.page.paperWidthMm, 210.0);
        QCOMPARE(t.page.paperHeightMm, 297.0);
        // Units of 1/91.6256 inch: the page is 297 × 210 mm, a row 11.1 mm.
        QCOMPARE(qRound(ReportUnits::toMillimetres(1071)), 297);
        QCOMPARE(qRound(ReportUnits::toMillimetres(758)), 210);
        QCOMPARE(qRound(ReportUnits::toMillimetres(40) * 10), 111);

        QList<QPair<Kind, double>> bands;
        for (const ReportBand& b : t.bands)
            bands.append({b.kind, b.height});
        const QList<QPair<Kind, double>> expected{{Kind::ReportTitle, 64},
                                                  {Kind::PageHeader, 60},
                                                  {Kind::MasterData, 40},
                                                  {Kind::PageFooter, 20}};
        QCOMPARE(bands, expected);
    }

    void cells_data()
    {
        QTest::addColumn<int>("band");
        QTest::addColumn<int>("index");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("width");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("hAlign");
        QTest::addColumn<int>("vAlign");
        QTest::addColumn<int>("frame");
        constexpr int L = int(HAlign::Left), C = int(HAlign::Center), R = int(HAlign::Right);
        constexpr int T = int(VAlign::Top), M = int(VAlign::Middle);
        constexpr int all = 15, none = 0;
        constexpr int tlb = ReportFrame::Top | ReportFrame::Left | ReportFrame::Bottom;
        constexpr int tbr = ReportFrame::Top | ReportFrame::Bottom | ReportFrame::Right;
        auto row = [](const char* name, int band, int index, double x, double w, const char* text,
                      double pt, bool bold, int h, int v, int frame) {
            QTest::newRow(name) << band << index << x << w << QString::fromUtf8(text) << pt << bold
                                << h << v << frame;
        };
        row("title", 0, 0, 25, 234, "ФЛН-РК2.03", 14, true, L, T, none);
        row("head N", 1, 0, 25, 61, "N", 12, true, C, M, all);
        row("head date", 1, 1, 86, 88, "Дата", 12, true, C, M, all);
        row("head time", 1, 2, 174, 72, "Время", 12, true, C, M, all);
        row("head mode", 1, 3, 246, 121, "Режим", 12, true, C, M, all);
        row("head t of T1", 1, 4, 367, 20, "t", 14, true, R, M, tlb);
        row("head 1, C", 1, 5, 387, 52, "1, C", 12, true, L, M, tbr);
        row("head t of T2", 1, 6, 439, 20, "t", 14, true, R, M, tlb);
        row("head 2, C", 1, 7, 459, 52, "2, C", 12, true, L, M, tbr);
        row("head comment", 1, 8, 511, 165, "Примечание", 12, true, C, M, all);
        row("row N", 2, 0, 25, 61, "[Dbf1.\"N\"]", 10, false, C, M, all);
        row("row date", 2, 1, 86, 88, "[Dbf1.\"DATE\"]", 10, false, C, M, all);
        row("row time", 2, 2, 174, 72, "[Dbf1.\"TIME\"]", 10, false, C, M, all);
        row("row mode", 2, 3, 246, 121, "[Dbf1.\"MODE\"]", 10, false, C, M, all);
        row("row T_1", 2, 4, 367, 72, "[Dbf1.\"T_1\"]", 10, false, C, M, all);
        row("row T_2", 2, 5, 439, 72, "[Dbf1.\"T_2\"]", 10, false, C, M, all);
        row("row comment", 2, 6, 511, 165, "[Dbf1.\"COMMENT\"]", 10, false, C, M, all);
        row("footer", 3, 0, 844, 202, "Стр. [PAGE#] из [TOTALPAGES]", 10, false, R, M, none);
    }
    void cells()
    {
        QFETCH(int, band);
        QFETCH(int, index);
        const ReportTemplate t = MeasurementReport::reportTemplate();
        QCOMPARE(t.bands[0].cells.size(), 1);
        QCOMPARE(t.bands[1].cells.size(), 9);
        QCOMPARE(t.bands[2].cells.size(), 7);
        QCOMPARE(t.bands[3].cells.size(), 1);
        const ReportCell& c = t.bands[band].cells[index];
        QTEST(c.x, "x");
        QTEST(c.width, "width");
        QTEST(c.text, "text");
        QCOMPARE(c.fontFamily, QStringLiteral("Arial"));
        QTEST(c.pointSize, "points");
        QTEST(c.bold, "bold");
        QTEST(int(c.hAlign), "hAlign");
        QTEST(int(c.vAlign), "vAlign");
        QTEST(int(c.frame.sides), "frame");
        if (c.frame.sides)
            QCOMPARE(c.frame.width, 1.0);
        // Every cell: insets 2 and 1, word wrap; temperatures as "0.0" numbers.
        QCOMPARE(c.insetX, 2.0);
        QCOMPARE(c.insetY, 1.0);
        QVERIFY(c.wordWrap);
        const bool temperature = c.text.contains("T_");
        QCOMPARE(c.format == ReportCell::Format::Number, temperature);
        if (temperature) {
            QCOMPARE(c.decimals, 1);
            QCOMPARE(c.decimalSeparator, QChar(u','));
        }
        // The footer keeps its right edge on x 1046 and widens to its text.
        QCOMPARE(c.growLeft, band == 3);
        if (band == 3)
            QCOMPARE(c.x + c.width, 1046.0);
    }

    // The table occupies x 25..676: the cells of each row of the header and
    // of the data row follow one another without a gap.
    void columnsAdjoin()
    {
        const ReportTemplate t = MeasurementReport::reportTemplate();
        for (int band : {1, 2}) {
            double x = 25;
            for (const ReportCell& c : t.bands[band].cells) {
                QCOMPARE(c.x, x);
                x += c.width;
            }
            QCOMPARE(x, 676.0);
        }
    }

    void rowsFollowTheTablesOrder_data()
    {
        QTest::addColumn<QString>("sortField");
        QTest::addColumn<bool>("descending");
        QTest::newRow("record order") << QString() << false;
        QTest::newRow("T_1 descending") << "T_1" << true;
        QTest::newRow("T_2 ascending") << "T_2" << false;
        QTest::newRow("N descending") << "N" << true;
    }
    void rowsFollowTheTablesOrder()
    {
        QFETCH(QString, sortField);
        QFETCH(bool, descending);
        ReportTable t;
        if (!sortField.isEmpty()) {
            t.table.addSortTag(MeasurementSchema::kSortTag, sortField, descending);
            t.table.selectSortTag(MeasurementSchema::kSortTag);
        }
        QList<int> browsed; // the order the table layer browses in
        for (t.table.first(); !t.table.eof(); t.table.next())
            browsed << int(*t.table.integer(MeasurementSchema::kN));
        if (sortField.isEmpty())
            QCOMPARE(browsed, (QList<int>{1, 2, 3, 5}));
        else
            QVERIFY(browsed != (QList<int>{1, 2, 3, 5}));
        t.table.goToRecord(2);
        auto report = MeasurementReport::prepare(t.table);
        QCOMPARE(report->pageCount(), 1);
        QList<int> printed;
        for (const QStringList& r : printedRows(*report))
            printed << r[0].toInt();
        QCOMPARE(printed, browsed);
        // Afterwards the table stands on its last record in that order.
        QCOMPARE(int(t.table.recNo()), browsed.last());
    }

    void rowTexts()
    {
        ReportTable t;
        auto report = MeasurementReport::prepare(t.table);
        const QList<QStringList> expected{
            {"1", "01.02.2026", "10:00:00", "Оперативный", "3,5", "5,0", ""},
            {"2", "01.02.2026", "10:10:00", "Наблюдения", "-12,3", "", "замечание"},
            {"3", "01.02.2026", "10:20:00", "Наблюдения", "17,1", "100,0", ""},
            {"5", "01.02.2026", "10:40:00", "Оперативный", "0,0", "-0,5", ""},
        };
        QCOMPARE(printedRows(*report), expected);
        const auto cells = report->pageCells(0);
        QCOMPARE(cells.first().text, QStringLiteral("ФЛН-РК2.03"));
        QCOMPARE(cells.last().text, QStringLiteral("Стр. 1 из 1"));
    }

    void emptyTablePrintsOnePage()
    {
        ReportTable t;
        for (quint32 rec : {1u, 2u, 3u, 5u}) {
            t.table.goToRecord(rec);
            t.table.deleteRecord();
        }
        auto report = MeasurementReport::prepare(t.table);
        QCOMPARE(report->rowCount(), 0);
        QCOMPARE(report->pageCount(), 1);
        QCOMPARE(report->pageCells(0).last().text, QStringLiteral("Стр. 1 из 1"));
    }
};

QTEST_MAIN(TestMeasurementReport)
#include "tst_measurement_report.moc"
