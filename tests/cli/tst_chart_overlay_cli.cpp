// `fln chart A.db B.db …` as a user runs it: both tables' curves in their
// colours where their data lie in the PNG, the legend texts in the SVG,
// "--align start" measured on the picture, the axis rule over all curves,
// and the refusals (an unreadable table named, too many tables, an output
// that is one of the tables) with nothing written.
#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

FlnRun flnChart(const QStringList& args)
{
    return runFln(QStringList{"--locale", "ru_RU", "chart"} + args);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A table of these T_1 and T_2 texts, a minute apart from `start`.
void makeTable(const QString& path, const QStringList& t1, const QStringList& t2,
               const QDateTime& start)
{
    QList<TestRow> rows;
    for (qsizetype i = 0; i < t1.size(); ++i) {
        const QDateTime m = start.addSecs(60 * i);
        rows << TestRow{.n = i + 1,
                        .mode = "Оперативный",
                        .enCh = 3,
                        .date = m.toString("dd.MM.yyyy"),
                        .time = m.toString("hh:mm:ss"),
                        .t1 = t1[i],
                        .t2 = t2[i]};
    }
    writeMeasurementTable(path, rows);
}

QStringList svgTexts(const QString& path)
{
    QStringList texts;
    static const QRegularExpression re("<text[^>]*>([^<]*)</text>");
    auto it = re.globalMatch(QString::fromUtf8(readFile(path)));
    while (it.hasNext())
        texts << it.next().captured(1).replace(QChar(0xA0), u' ').trimmed();
    return texts;
}

// Where a colour is drawn in a picture: how much of it, its mean row and
// its leftmost and rightmost columns.
struct Ink
{
    qint64 count = 0;
    double meanY = 0;
    int left = 0, right = 0;
};

Ink inkOf(const QImage& image, QRgb colour)
{
    Ink ink;
    qint64 sumY = 0;
    ink.left = image.width();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == colour) {
                ++ink.count, sumY += y;
                ink.left = std::min(ink.left, x), ink.right = std::max(ink.right, x);
            }
    ink.meanY = ink.count ? double(sumY) / double(ink.count) : 0;
    return ink;
}

// The colours, written out again: the table's own red and blue, the second
// recording's orange and teal.
const QRgb kRed = qRgb(255, 0, 0), kBlue = qRgb(0, 0, 255);
const QRgb kOrange = qRgb(255, 140, 0), kTeal = qRgb(0, 150, 150);

} // namespace

class TestChartOverlayCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_a, m_b, m_later;

private slots:
    void initTestCase()
    {
        // A: T1 at 30, T2 at 0 for ten minutes from 10:00 on 1 December 2026.
        // B: T1 at 20, T2 at 10 over the same ten minutes.
        // Later: like B, but from 14:30 on 5 December, for five minutes.
        const QDateTime ten(QDate(2026, 12, 1), QTime(10, 0));
        m_a = m_dir.filePath("a.db");
        m_b = m_dir.filePath("b.db");
        m_later = m_dir.filePath("later.db");
        makeTable(m_a, QStringList(11, "30,0"), QStringList(11, "0,0"), ten);
        makeTable(m_b, QStringList(11, "20,0"), QStringList(11, "10,0"), ten);
        makeTable(m_later, QStringList(6, "20,0"), QStringList(6, "10,0"),
                  QDateTime(QDate(2026, 12, 5), QTime(14, 30)));
    }

    void bothTablesCurvesWhereTheirDataLie()
    {
        const QByteArray a = readFile(m_a), b = readFile(m_b);
        const QString out = m_dir.filePath("two.png");
        const FlnRun r = flnChart({m_a, m_b, "-o", out, "--width", "600", "--height", "400"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, out + u'\n');
        const QImage image(out);
        QCOMPARE(image.size(), QSize(600, 400));
        const Ink red = inkOf(image, kRed), blue = inkOf(image, kBlue),
                  orange = inkOf(image, kOrange), teal = inkOf(image, kTeal);
        for (const Ink& ink : {red, blue, orange, teal}) {
            QVERIFY(ink.count > 100);
            QVERIFY(ink.right - ink.left > 300); // across the plot
        }
        // From the top: 30 (A's T1), 20 (B's T1), 10 (B's T2), 0 (A's T2),
        // evenly apart.
        QVERIFY(red.meanY < orange.meanY);
        QVERIFY(orange.meanY < teal.meanY);
        QVERIFY(teal.meanY < blue.meanY);
        const double step = (blue.meanY - red.meanY) / 3;
        QVERIFY(std::abs(orange.meanY - red.meanY - step) < 3);
        QVERIFY(std::abs(teal.meanY - orange.meanY - step) < 3);
        // Read, never written.
        QCOMPARE(readFile(m_a), a);
        QCOMPARE(readFile(m_b), b);
        QVERIFY(!QFile::exists(m_dir.filePath("a.mdx")) && !QFile::exists(m_dir.filePath("b.mdx")));
    }

    void legendTextsAndAxisRule()
    {
        const QString out = m_dir.filePath("two.svg");
        QCOMPARE(flnChart({m_a, m_b, "-o", out}).code, 0);
        const QStringList texts = svgTexts(out);
        // The first table's entries as the single chart has them.
        QVERIFY2(texts.contains("T1, °C  30/30/30"), qPrintable(texts.join(" | ")));
        QVERIFY(texts.contains("T2, °C  0/0/0"));
        QVERIFY(texts.contains("b.db: T1, °C"));
        QVERIFY(texts.contains("b.db: T2, °C"));
        // The curves span 0 … 30: past the 10-degree limit, an automatic
        // axis that shows all of them.
        QVERIFY(texts.contains("0") && texts.contains("30"));

        // Only T1: 20 and 30 span exactly 10 degrees, still automatic; and
        // no T2 entry of either table.
        const QString t1 = m_dir.filePath("t1.svg");
        QCOMPARE(flnChart({m_a, m_b, "-o", t1, "--t1"}).code, 0);
        const QStringList t1Texts = svgTexts(t1);
        QVERIFY(t1Texts.contains("b.db: T1, °C"));
        QVERIFY(!t1Texts.join(u'|').contains("T2, °C"));
    }

    void alignedFromTheStart()
    {
        // By the clock the later recording lies four days to the right of
        // A; from the start both begin at the left of the plot, the later
        // one half as long (5 minutes against 10).
        const QString clock = m_dir.filePath("clock.png"), start = m_dir.filePath("start.png");
        QCOMPARE(flnChart({m_a, m_later, "-o", clock, "--width", "800", "--height", "400"}).code,
                 0);
        QCOMPARE(flnChart({m_a, m_later, "-o", start, "--width", "800", "--height", "400",
                           "--align", "start"})
                     .code,
                 0);
        const QImage c(clock), s(start);
        const Ink aClock = inkOf(c, kRed), laterClock = inkOf(c, kOrange);
        QVERIFY(aClock.count > 0 && laterClock.count > 0);
        QVERIFY(laterClock.left > aClock.right);

        const Ink aStart = inkOf(s, kRed), laterStart = inkOf(s, kOrange);
        QVERIFY(aStart.count > 100 && laterStart.count > 100);
        QVERIFY(std::abs(aStart.left - laterStart.left) <= 1);
        const double ratio =
            double(laterStart.right - laterStart.left) / double(aStart.right - aStart.left);
        QVERIFY2(std::abs(ratio - 0.5) < 0.02, qPrintable(QString::number(ratio)));

        // The axis shows elapsed time.
        const QString svg = m_dir.filePath("start.svg");
        QCOMPARE(flnChart({m_a, m_later, "-o", svg, "--align", "start"}).code, 0);
        const QStringList texts = svgTexts(svg);
        QVERIFY2(texts.contains("0 сут 00:00"), qPrintable(texts.join(" | ")));
        QVERIFY(!texts.contains("01.12.26"));
    }

    void periodTakesEveryTablesRows()
    {
        // Up to 10:05 on 1 December: A's first six rows, none of the later
        // recording's, which then draws nothing.
        const QString out = m_dir.filePath("period.png");
        QCOMPARE(flnChart({m_a, m_later, "-o", out, "--width", "800", "--height", "400", "--to",
                           "2026-12-01T10:05"})
                     .code,
                 0);
        const QImage image(out);
        QVERIFY(inkOf(image, kRed).count > 100);
        // Only the legend's small square of its colour, no curve.
        const Ink later = inkOf(image, kOrange);
        QVERIFY2(later.count < 100 && later.right - later.left < 20,
                 qPrintable(QStringLiteral("%1 pixels over %2 columns")
                                .arg(later.count)
                                .arg(later.right - later.left)));
        // With B over the same minutes, both are cut alike: their curves
        // end at the same column.
        const QString both = m_dir.filePath("period2.png");
        QCOMPARE(flnChart({m_a, m_b, "-o", both, "--width", "800", "--height", "400", "--to",
                           "2026-12-01T10:05"})
                     .code,
                 0);
        const QImage two(both);
        const Ink red = inkOf(two, kRed), orange = inkOf(two, kOrange);
        QVERIFY(red.count > 100 && orange.count > 100);
        QVERIFY(std::abs(red.right - orange.right) <= 1);
        QVERIFY(std::abs(red.left - orange.left) <= 1);
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error"); // a part of stderr
        QTest::newRow("no such second table") << QStringList({"a.db", "missing.db", "-o", "x.png"})
                                              << 1 << "Не удалось прочитать запись missing.db: ";
        QTest::newRow("second table not a table") << QStringList({"a.db", "junk.db", "-o", "x.png"})
                                                  << 1 << "Не удалось прочитать запись junk.db: ";
        QTest::newRow("a text that does not convert")
            << QStringList({"a.db", "bad.db", "-o", "x.png"}) << 1
            << "Не удалось прочитать запись bad.db: 'x' is not a valid floating point value";
        QTest::newRow("first table not a table") << QStringList({"junk.db", "b.db", "-o", "x.png"})
                                                 << 1 << "Не удалось прочитать запись junk.db: ";
        QTest::newRow("nine tables") << QStringList({"a.db", "a.db", "a.db", "a.db", "a.db", "a.db",
                                                     "a.db", "a.db", "a.db", "-o", "x.png"})
                                     << 2 << "chart takes one to 8 tables";
        QTest::newRow("the picture over the second table")
            << QStringList({"a.db", "b.db", "-o", "b.db"}) << 1 << "b.db";
        QTest::newRow("unknown alignment")
            << QStringList({"a.db", "b.db", "-o", "x.png", "--align", "end"}) << 2
            << "--align takes start or clock";
    }
    void refused()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QVERIFY(QFile::copy(m_a, dir.filePath("a.db")) && QFile::copy(m_b, dir.filePath("b.db")));
        {
            QFile junk(dir.filePath("junk.db"));
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write("not a table at all\n");
        }
        makeTable(dir.filePath("bad.db"), {"1,0", "x"}, {"1,0", "2,0"},
                  QDateTime(QDate(2026, 12, 1), QTime(10, 0)));
        for (QString& a : args)
            if (!a.startsWith(u'-') && a != u"end")
                a = dir.filePath(a);
        const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        const QByteArray b = readFile(dir.filePath("b.db"));
        const FlnRun r = flnChart(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
        QCOMPARE(readFile(dir.filePath("b.db")), b);
    }
};

QTEST_GUILESS_MAIN(TestChartOverlayCli)
#include "tst_chart_overlay_cli.moc"
