// `fln report TABLE -o OUT.pdf` as a user runs it, checked by PDF readers.
#include "tests/output/report_pdf.h"
#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

FlnRun fln(const QStringList& args)
{
    // The report reads and prints the temperatures with a decimal comma,
    // whatever the regional settings: run it under settings with a point.
    return runFln(QStringList{"--locale", "en_US"} + args);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct StoredRow
{
    int n;
    QString t1, t2, comment;
};

void writeTable(const QString& file, const QList<StoredRow>& rows)
{
    QList<TestRow> table;
    for (const StoredRow& r : rows)
        table.append(
            {.n = r.n,
             .mode = r.n % 2 ? QStringLiteral("Оперативный") : QStringLiteral("Наблюдения"),
             .enCh = 3,
             .date = QStringLiteral("05.12.2026"),
             .time = QStringLiteral("12:%1:00").arg(r.n % 60, 2, 10, QChar(u'0')),
             .t1 = r.t1,
             .t2 = r.t2,
             .comment = r.comment});
    writeMeasurementTable(file, table, 0xC9);
}

// Thirty readings: one-digit temperatures stored with a leading space, which
// the report drops; an empty T_2 in row 7. Three pages: 12 + 14 + 4 rows.
QList<StoredRow> thirtyRows()
{
    QList<StoredRow> rows;
    for (int n = 1; n <= 30; ++n) {
        const QString t1 = QStringLiteral("%1,5").arg(n).rightJustified(4, u' ');
        const QString t2 = n == 7 ? QString() : QStringLiteral("-%1,0").arg(n % 10 + 1);
        rows.append({n, t1, t2, QStringLiteral("строка %1").arg(n)});
    }
    return rows;
}

QList<ReportPdfRow> printed(const QList<StoredRow>& rows)
{
    QList<ReportPdfRow> out;
    for (const StoredRow& r : rows)
        out.append({r.n, r.t1.trimmed(), r.t2.trimmed()});
    return out;
}

} // namespace

class TestReportCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void reportInTableOrderAndSorted_data()
    {
        QTest::addColumn<QStringList>("sort");
        QTest::addColumn<bool>("reversed");
        QTest::newRow("record order") << QStringList{} << false;
        QTest::newRow("N descending") << QStringList{"--sort", "N", "--descending"} << true;
    }
    void reportInTableOrderAndSorted()
    {
        QFETCH(QStringList, sort);
        QFETCH(bool, reversed);
        const QString table = m_dir.filePath("thirty.db");
        QList<StoredRow> rows = thirtyRows();
        writeTable(table, rows);
        const QByteArray before = readFile(table);
        const QString pdf = m_dir.filePath("thirty.pdf");
        QFile::remove(pdf);

        const FlnRun r = fln(QStringList{"report", table, "-o", pdf} + sort);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("Страница 3 из 3")));
        if (reversed)
            std::reverse(rows.begin(), rows.end());
        FLN_CHECK(checkReportPdf(pdf, 3, printed(rows)));
        // Reading only: the table is as it was and no index file appeared.
        QCOMPARE(readFile(table), before);
        QVERIFY(!QFile::exists(m_dir.filePath("thirty.mdx")));
    }

    // One record: one page with title, header, the row and "Стр. 1 из 1".
    // Its comment is longer than the cell: it wraps and is cut at the bottom
    // of the 11.1 mm row, which does not grow.
    void oneRecordWithALongComment()
    {
        const QString table = m_dir.filePath("one.db");
        // 50 characters, the field's size, of wide capitals: four lines in the cell.
        const QString comment =
            QStringLiteral("ЖУЖЖАЩИЙ ШМЕЛЬ ШУМНО КРУЖИТ НАД ШИРОКИМ ПОЛЕМ МАКА");
        QCOMPARE(comment.size(), 50);
        // " 5,0" prints without its blank; "23,46" is read with the comma and
        // printed anew with one decimal.
        writeTable(table, {{1, QStringLiteral(" 5,0"), QStringLiteral("23,46"), comment}});
        const QString pdf = m_dir.filePath("one.pdf");
        const FlnRun r = fln({"report", table, "-o", pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        FLN_CHECK(checkReportPdf(pdf, 1, {{1, "5,0", "23,5"}}));

        constexpr int dpi = 100;
        const peers::Result png = peers::run(
            "pdftoppm", {"-r", QString::number(dpi), "-png", pdf, m_dir.filePath("one")});
        FLN_NEED_PEER(png, "pdftoppm (poppler-utils)");
        QCOMPARE(png.exitCode, 0);
        const QImage page(m_dir.filePath("one-1.png"));
        QVERIFY(!page.isNull());
        QVERIFY(page.width() > page.height());
        auto px = [](double units) { return int(units * dpi / (93.0 / 1.015)); };
        auto ink = [&](double x0, double y0, double x1, double y1) {
            int n = 0;
            for (int y = px(y0); y < px(y1); ++y)
                for (int x = px(x0); x < px(x1); ++x)
                    n += qGray(page.pixel(x, y)) < 128;
            return n;
        };
        // The comment cell is x 511..676, the row y 196..236 (frame lines on
        // those edges). Text inside; nothing below the lower line down to the
        // footer at 713, nor below the other cells.
        QVERIFY(ink(514, 198, 673, 234) > 100);
        QCOMPARE(ink(513, 239, 674, 710), 0);
        QCOMPARE(ink(27, 239, 674, 710), 0);
        // The lower frame line itself is there.
        QVERIFY(ink(514, 235, 673, 238) > px(673 - 514));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("no such table")
            << QStringList{"report", "missing.db", "-o", "x.pdf"} << 1 << QString();
        QTest::newRow("unknown sort field")
            << QStringList{"report", "thirty.db", "-o", "x.pdf", "--sort", "NOPE"} << 1
            << QStringLiteral("Field 'NOPE' not found");
        QTest::newRow("no output file") << QStringList{"report", "thirty.db"} << 2 << QString();
        QTest::newRow("output folder missing")
            << QStringList{"report", "thirty.db", "-o", "no/such/dir/x.pdf"} << 1 << QString();
    }
    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, text);
        writeTable(m_dir.filePath("thirty.db"), thirtyRows());
        for (QString& a : args) {
            if (a.endsWith(".db") || a.endsWith(".pdf"))
                a = m_dir.filePath(a);
        }
        const FlnRun r = fln(args);
        QCOMPARE(r.code, code);
        QVERIFY(!r.err.trimmed().isEmpty());
        if (!text.isEmpty())
            QVERIFY2(r.err.contains(text), qPrintable(r.err));
        QVERIFY(!QFile::exists(m_dir.filePath("x.pdf")));
    }
};

QTEST_MAIN(TestReportCli)
#include "tst_report_cli.moc"
