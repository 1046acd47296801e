// `fln chart` as a user runs it: the picture's texts (legend and axis labels
// of the scaled window) in the SVG, the curves' colours where the data lie
// in the PNG, one page in the PDF; the table is only read; errors.
#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/time.h>

namespace {

// The tables' texts are Russian ones: the command reads them under the
// Russian regional settings whatever the locale the test runs under.
FlnRun flnChart(const QStringList& args)
{
    return runFln(QStringList{"--locale", "ru_RU", "chart"} + args);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A table with these (T_1, T_2) texts, one row a minute from 10:00 on 1 December 2026.
void makeTable(const QString& path, const QList<QPair<QString, QString>>& rows)
{
    QStringList t1, t2;
    for (const auto& [a, b] : rows) {
        t1 << a;
        t2 << b;
    }
    writeMeasurementTable(path, minuteRows(t1, t2));
}

// The texts of an SVG's <text> elements. The legend keeps its two blanks
// as no-break spaces (a rich-text label would fold them): read as blanks.
QStringList svgTexts(const QString& path)
{
    QStringList texts;
    static const QRegularExpression re("<text[^>]*>([^<]*)</text>");
    auto it = re.globalMatch(QString::fromUtf8(readFile(path)));
    while (it.hasNext())
        texts << it.next().captured(1).replace(QChar(0xA0), u' ').trimmed();
    return texts;
}

} // namespace

class TestChartCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_table;

private slots:
    void initTestCase()
    {
        // T1 20,0 … 24,0 and T2 21,0 … 23,0: together they span 4 degrees,
        // so the axis runs from 17 to 27; footers 20/22/24 and 21/22/23.
        m_table = m_dir.filePath("chart.db");
        makeTable(m_table, {{"20,0", "21,0"}, {"24,0", "23,0"}, {"22,0", "22,0"}});
    }

    void svgHoldsLegendAndAxisLabels()
    {
        const QString out = m_dir.filePath("both.svg");
        const QByteArray before = readFile(m_table);
        const FlnRun r = flnChart({m_table, "-o", out});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, out + u'\n');
        const QStringList texts = svgTexts(out);
        QVERIFY2(texts.contains("T1, °C  20/22/24"), qPrintable(texts.join(" | ")));
        QVERIFY(texts.contains("T2, °C  21/22/23"));
        for (int degree = 17; degree <= 27; ++degree)
            QVERIFY2(texts.contains(QString::number(degree)), qPrintable(QString::number(degree)));
        QVERIFY(!texts.contains("16") && !texts.contains("28"));
        QVERIFY(texts.contains("10:00:00"));
        QVERIFY(texts.contains("01.12.26"));
        // Only read: the table is as it was, and no index file appeared.
        QCOMPARE(readFile(m_table), before);
        QVERIFY(!QFile::exists(m_dir.filePath("chart.mdx")));

        const QString onlyT1 = m_dir.filePath("t1.svg");
        QCOMPARE(flnChart({m_table, "-o", onlyT1, "--t1"}).code, 0);
        const QStringList t1Texts = svgTexts(onlyT1);
        QVERIFY(t1Texts.contains("T1, °C  20/22/24"));
        QVERIFY(!t1Texts.join(u'|').contains("T2, °C"));
        // T1 alone spans 4 degrees as well: 17 … 27.
        QVERIFY(t1Texts.contains("17") && t1Texts.contains("27"));
    }

    void pngHoldsTheCurvesWhereTheDataLie()
    {
        // T1 high, T2 low: red above blue, both over the whole width.
        const QString table = m_dir.filePath("apart.db");
        makeTable(table, {{"30,0", "5,0"}, {"31,0", "4,0"}, {"30,0", "5,0"}, {"31,0", "4,0"}});
        const QString out = m_dir.filePath("apart.png");
        const FlnRun r = flnChart({table, "-o", out, "--width", "500", "--height", "300"});
        QCOMPARE(r.code, 0);
        const QImage image(out);
        QCOMPARE(image.size(), QSize(500, 300));
        qint64 redY = 0, blueY = 0, red = 0, blue = 0;
        int redLeft = 500, redRight = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y);
                if (c == qRgb(255, 0, 0)) {
                    ++red, redY += y;
                    redLeft = std::min(redLeft, x), redRight = std::max(redRight, x);
                } else if (c == qRgb(0, 0, 255)) {
                    ++blue, blueY += y;
                }
            }
        QVERIFY(red > 100 && blue > 100);
        QVERIFY(redY / red < blueY / blue);
        QVERIFY(redRight - redLeft > 300);
    }

    void pdfIsOnePage()
    {
        const QString out = m_dir.filePath("chart.pdf");
        QCOMPARE(flnChart({m_table, "-o", out}).code, 0);
        const peers::Result info = peers::run("pdfinfo", {out});
        FLN_NEED_PEER(info, "pdfinfo (poppler-utils)");
        QCOMPARE(info.exitCode, 0);
        QVERIFY(QString::fromUtf8(info.out).contains(QRegularExpression("Pages:\\s+1\\n")));
        const peers::Result text = peers::run("pdftotext", {out, "-"});
        FLN_NEED_PEER(text, "pdftotext (poppler-utils)");
        QVERIFY(QString::fromUtf8(text.out).contains("20/22/24"));
    }

    // The picture carries only the texts one sees: the time labels at round
    // moments, none of the evenly spread ones that once lay hidden beside
    // them (at odd moments of a stretch that starts and ends at odd ones).
    void pictureTextsAreOnlyTheVisibleLabels()
    {
        // 10:00:07 to 11:37:20: labels every quarter or half hour.
        QList<TestRow> rows = minuteRows({"20,0", "21,0"});
        rows[0].time = "10:00:07";
        rows[1].time = "11:37:20";
        const QString table = m_dir.filePath("odd.db");
        writeMeasurementTable(table, rows);
        const QRegularExpression clock("^(\\d\\d):(\\d\\d):(\\d\\d)$");
        const auto timesIn = [&](const QStringList& texts) {
            QStringList times;
            for (const QString& t : texts)
                if (clock.match(t.trimmed()).hasMatch())
                    times << t.trimmed();
            return times;
        };
        const auto checkRound = [&](const QStringList& times, const char* what) {
            QVERIFY2(times.size() >= 2, what);
            for (const QString& t : times) {
                const auto m = clock.match(t);
                QVERIFY2(m.captured(3) == "00" && m.captured(2).toInt() % 15 == 0,
                         qPrintable(QStringLiteral("%1: %2 in %3").arg(what, t, times.join(' '))));
            }
            QCOMPARE(QSet<QString>(times.cbegin(), times.cend()).size(), times.size());
        };
        const QString svg = m_dir.filePath("odd.svg");
        QCOMPARE(flnChart({table, "-o", svg}).code, 0);
        const QStringList svgTimes = timesIn(svgTexts(svg));
        checkRound(svgTimes, "svg");
        // No text at all that is drawn without colour.
        QVERIFY(!readFile(svg).contains("fill-opacity=\"0\""));

        const QString pdf = m_dir.filePath("odd.pdf");
        QCOMPARE(flnChart({table, "-o", pdf}).code, 0);
        const peers::Result text = peers::run("pdftotext", {"-raw", pdf, "-"});
        FLN_NEED_PEER(text, "pdftotext (poppler-utils)");
        QStringList words;
        for (const QString& line : QString::fromUtf8(text.out).split(u'\n'))
            words << line.split(u' ', Qt::SkipEmptyParts);
        QStringList pdfTimes = timesIn(words);
        checkRound(pdfTimes, "pdf");
        QStringList sortedSvg = svgTimes;
        pdfTimes.sort();
        sortedSvg.sort();
        QCOMPARE(pdfTimes, sortedSvg);
    }

    // An empty table: no figures after the captions, the two blanks stay,
    // as in the window, whose footers are empty then.
    void emptyTableLegendEndsInTheTwoBlanks()
    {
        const QString table = m_dir.filePath("empty.db");
        writeMeasurementTable(table, {});
        const QString out = m_dir.filePath("empty.svg");
        QCOMPARE(flnChart({table, "-o", out}).code, 0);
        QStringList legends;
        static const QRegularExpression re("<text[^>]*>([^<]*)</text>");
        auto it = re.globalMatch(QString::fromUtf8(readFile(out)));
        while (it.hasNext()) {
            const QString t = it.next().captured(1).replace(QChar(0xA0), u' ');
            if (t.contains("°C"))
                legends << t;
        }
        QCOMPARE(legends, (QStringList{"T1, °C  ", "T2, °C  "}));
    }

    // Whatever a temperature text holds, the left axis carries a few dozen
    // labels and the picture is written at once.
    void hugeValuesEndQuickly_data()
    {
        QTest::addColumn<QStringList>("t1");
        QTest::newRow("99999") << QStringList{"99999"};
        QTest::newRow("-99999") << QStringList{"-99999"};
        QTest::newRow("999999") << QStringList{"999999"};
        QTest::newRow("1e308") << QStringList{" 1e308"};
        QTest::newRow("both ends") << QStringList{"-1e308", " 1e308"};
        QTest::newRow("all 1e308") << QStringList(10, " 1e308");
    }
    void hugeValuesEndQuickly()
    {
        QFETCH(QStringList, t1);
        QList<QPair<QString, QString>> rows;
        for (int i = 0; i < 10; ++i)
            rows.append({i < 10 - t1.size() ? "20,0" : t1[i - (10 - t1.size())], "21,0"});
        QTemporaryDir dir;
        makeTable(dir.filePath("huge.db"), rows);
        const QString out = dir.filePath("huge.svg");
        const FlnRun r =
            runFln({"--locale", "ru_RU", "chart", dir.filePath("huge.db"), "-o", out}, 30000);
        QCOMPARE(r.code, 0);
        int numbers = 0;
        for (const QString& text : svgTexts(out)) {
            bool ok = false;
            text.toDouble(&ok);
            numbers += ok;
        }
        QVERIFY2(numbers >= 2 && numbers <= 40, qPrintable(QString::number(numbers)));
    }

    // A picture that cannot be written whole is not left behind, an older
    // one stays as it was, and the command fails with the system's reason.
    // The file size limit stands in for a full disk.
    void fullDisk_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("older");
        QTest::newRow("png") << "c.png" << false;
        QTest::newRow("svg") << "c.svg" << false;
        QTest::newRow("pdf") << "c.pdf" << false;
        QTest::newRow("png over an older one") << "c.png" << true;
        QTest::newRow("pdf over an older one") << "c.pdf" << true;
    }
    void fullDisk()
    {
        QFETCH(QString, name);
        QFETCH(bool, older);
        QTemporaryDir dir;
        const QString out = dir.filePath(name);
        if (older) {
            QFile f(out);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("an older picture");
        }
        FlnProcess fln;
        fln.start({"--locale", "ru_RU", "chart", m_table, "-o", out}, [] {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        const FlnRun r = fln.finish();
        QCOMPARE(r.code, 1);
        const QString prefix = "Не удалось записать файл " + out + ": ";
        QVERIFY2(r.err.contains(prefix) && r.err.size() > prefix.size() + 2, qPrintable(r.err));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 older ? QStringList{name} : QStringList{});
        if (older)
            QCOMPARE(readFile(out), QByteArray("an older picture"));
    }

    // A vector picture holds the curves' envelope, not the picture's pixels:
    // 10,000 pixels a side need no more memory than a small one (a screen
    // buffer of that size alone would take 400 MB).
    void largeVectorPictureNeedsLittleMemory()
    {
        const QString out = m_dir.filePath("large.svg");
        const FlnRun r = flnChart({m_table, "-o", out, "--width", "10000", "--height", "10000"});
        QCOMPARE(r.code, 0);
        QVERIFY(readFile(out).contains("<svg"));
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage); // the largest of the finished runs, in KiB
        QVERIFY2(usage.ru_maxrss < 300 * 1024, qPrintable(QString::number(usage.ru_maxrss)));
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::newRow("no picture") << QStringList({"chart.db"}) << 2 << "";
        QTest::newRow("not a picture type") << QStringList({"chart.db", "-o", "x.gif"}) << 1
                                            << "/x.gif' is not a picture this command writes: "
                                               "name it .png, .svg or .pdf.\n";
        QTest::newRow("no such table") << QStringList({"missing.db", "-o", "x.png"}) << 1 << "";
        QTest::newRow("text of an unchosen curve")
            << QStringList({"bad.db", "-o", "x.png", "--t1"}) << 1
            << "'x' is not a valid floating point value.\n";
        QTest::newRow("unwritable picture")
            << QStringList({"chart.db", "-o", "no/such/dir/x.png"}) << 1 << "";
    }
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, error);
        QTemporaryDir dir;
        makeTable(dir.filePath("bad.db"), {{"1,0", "1,0"}, {"2,0", "x"}});
        QFile::copy(m_table, dir.filePath("chart.db"));
        for (QString& a : args)
            if (!a.startsWith(u'-'))
                a = dir.filePath(a);
        const FlnRun r = flnChart(args);
        QCOMPARE(r.code, code);
        QVERIFY(!r.err.isEmpty());
        if (!error.isEmpty())
            QVERIFY2(r.err.endsWith(error), qPrintable(r.err));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"bad.db", "chart.db"}));
    }
};

QTEST_GUILESS_MAIN(TestChartCli)
#include "tst_chart_cli.moc"
