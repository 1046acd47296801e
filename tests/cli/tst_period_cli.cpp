// --from and --to on every command that takes them, as a user runs them: the
// rows each command writes are those a Python oracle
// (tests/cli/oracle/period_oracle.py) finds in the same table for the same
// period, in the order the table is shown in; the refusals of a moment that
// is none, of a period that ends before it starts, and of a period without
// rows, which leaves no file.
#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

// The tables hold Russian texts: the Russian regional settings read them,
// whatever the C library's locale (the _c run).
FlnRun fln(const QStringList& args)
{
    return runFln(QStringList{"--locale", "ru_RU"} + args, 120000);
}

// Every 5 minutes from 14.03.2024 22:00: three hours missing after row 300,
// the clock put back half an hour at row 700, N counting from 1 in file
// order, T_1 a slow wave and T_2 a faster one, one decimal.
void writeRecording(const QString& path)
{
    QDateTime at(QDate(2024, 3, 14), QTime(22, 0), Qt::UTC);
    writeMeasurementTable(
        path, 1000,
        [&at](qint64 i) {
            if (i > 0)
                at = at.addSecs(i == 300 ? 3 * 3600 : i == 700 ? -1800 : 300);
            const auto text = [](double v) {
                return QString::number(std::round(v * 10) / 10, 'f', 1).replace(u'.', u',');
            };
            return TestRow{.n = i + 1,
                           .mode = QStringLiteral("Оперативный"),
                           .enCh = 3,
                           .date = at.toString("dd.MM.yyyy"),
                           .time = at.toString("HH:mm:ss"),
                           .t1 = text(5 + 4 * std::sin(i / 90.0)),
                           .t2 = text(-18 + 3 * std::cos(i / 13.0))};
        },
        0xC9);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<int> intsOf(const QJsonArray& a)
{
    QList<int> v;
    for (const QJsonValue& x : a)
        v << x.toInt();
    return v;
}

// The N column of `fln dump`'s CSV.
QList<int> dumpedN(const QString& csv)
{
    QList<int> n;
    const QStringList lines = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i)
        n << lines[i].section(u',', 0, 0).toInt();
    return n;
}

// "T1, °C  4,2/5/8,9" as its three numbers.
QList<double> legendFigures(const QString& svg, const QString& caption)
{
    static const QRegularExpression re("<text[^>]*>([^<]*)</text>");
    for (const QRegularExpressionMatch& m : re.globalMatch(svg)) {
        const QString text = m.captured(1).replace(QChar(0xA0), u' ').trimmed();
        if (!text.startsWith(caption))
            continue;
        QList<double> figures;
        for (const QString& f : text.mid(caption.size()).trimmed().split(u'/'))
            figures << QString(f).replace(u',', u'.').toDouble();
        return figures;
    }
    return {};
}

} // namespace

class TestPeriodCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_table;
    QString m_oracle;

    // The oracle's reading of the table for these options.
    QJsonObject oracle(const QStringList& options)
    {
        const peers::Result r = peers::python(m_oracle, QStringList{m_table} + options);
        if (!r.available || r.exitCode != 0)
            return {};
        return QJsonDocument::fromJson(r.out).object();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        m_table = m_dir.filePath("recording.db");
        writeRecording(m_table);
        QFile f(QStringLiteral(FLN_SOURCE_DIR "/tests/cli/oracle/period_oracle.py"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        m_oracle = QString::fromUtf8(f.readAll());
        const peers::Result probe = peers::python(m_oracle, {m_table});
        FLN_NEED_PEER(probe, "python3-dbfread");
        QVERIFY2(probe.exitCode == 0, probe.err.constData());
    }

    void sameRowsAsOracle_data()
    {
        QTest::addColumn<QStringList>("period");
        // The recording runs from 14.03.2024 22:00 to 18.03.2024 11:35; the
        // gap is 15.03.2024 22:55 to 16.03.2024 01:55, the clock goes back
        // from 17.03.2024 11:10 to 10:40.
        QTest::newRow("ISO, both ends on rows")
            << QStringList{"--from", "2024-03-15T08:00", "--to", "2024-03-16T18:00"};
        QTest::newRow("dotted, seconds, across the gap")
            << QStringList{"--from", "15.03.2024 22:52:30", "--to", "16.03.2024 02:00:01"};
        QTest::newRow("the clock step back")
            << QStringList{"--from", "2024-03-17T10:45", "--to", "2024-03-17T11:05"};
        QTest::newRow("no start") << QStringList{"--to", "15.03.2024 00:00"};
        QTest::newRow("no end") << QStringList{"--from", "2024-03-17T12:00:00"};
        QTest::newRow("one row") << QStringList{"--from", "2024-03-15T12:00", "--to",
                                                "2024-03-15T12:00"};
        QTest::newRow("an end given empty")
            << QStringList{"--from", "", "--to", "2024-03-14T23:00"};
    }

    void sameRowsAsOracle()
    {
        QFETCH(QStringList, period);
        const QJsonObject expected = oracle(period);
        QVERIFY2(!expected.isEmpty(), "the oracle failed");
        const QList<int> n = intsOf(expected["n"].toArray());
        QVERIFY(!n.isEmpty());
        const QByteArray before = readFile(m_table);

        // dump: the rows themselves, also in the order of a sort.
        FlnRun r = fln(QStringList{"dump", m_table} + period);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QCOMPARE(dumpedN(r.out), n);
        r = fln(QStringList{"dump", m_table, "--sort", "T_1", "--descending"} + period);
        QCOMPARE(r.code, 0);
        QCOMPARE(
            dumpedN(r.out),
            intsOf(oracle(period + QStringList{"--sort", "T_1", "--descending"})["n"].toArray()));

        // summary: how many, from when to when.
        r = fln(QStringList{"summary", m_table, "--json"} + period);
        QCOMPARE(r.code, 0);
        const QJsonObject summary = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(summary["records"].toInt(), n.size());
        QCOMPARE(summary["first"].toString(), expected["first"].toString());
        QCOMPARE(summary["last"].toString(), expected["last"].toString());

        // export: the N column of the sheet, read by openpyxl.
        const QString xlsx = m_dir.filePath("period.xlsx");
        QFile::remove(xlsx);
        r = fln(QStringList{"export", m_table, "-o", xlsx} + period);
        QCOMPARE(r.code, 0);
        const peers::Result sheet = peers::python(
            "import json, sys, openpyxl\n"
            "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
            "print(json.dumps([row[0] for row in ws.iter_rows(min_row=3, values_only=True)]))\n",
            {xlsx});
        FLN_NEED_PEER(sheet, "python3-openpyxl");
        QVERIFY2(sheet.exitCode == 0, sheet.err.constData());
        QCOMPARE(intsOf(QJsonDocument::fromJson(sheet.out).array()), n);

        // report: the N of each printed row, read by pdftotext.
        const QString pdf = m_dir.filePath("period.pdf");
        r = fln(QStringList{"report", m_table, "-o", pdf} + period);
        QCOMPARE(r.code, 0);
        const peers::Result text = peers::run("pdftotext", {"-raw", pdf, "-"});
        FLN_NEED_PEER(text, "pdftotext (poppler-utils)");
        QList<int> printed;
        static const QRegularExpression row(
            "^(\\d+) \\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d ",
            QRegularExpression::MultilineOption);
        for (const QRegularExpressionMatch& m : row.globalMatch(QString::fromUtf8(text.out)))
            printed << m.captured(1).toInt();
        QCOMPARE(printed, n);

        // chart: the legends carry the period's minimum, mean and maximum.
        const QString svg = m_dir.filePath("period.svg");
        r = fln(QStringList{"chart", m_table, "-o", svg} + period);
        QCOMPARE(r.code, 0);
        const QString picture = QString::fromUtf8(readFile(svg));
        for (const char* channel : {"t1", "t2"}) {
            const QList<double> figures =
                legendFigures(picture, channel == QLatin1String("t1") ? "T1, °C" : "T2, °C");
            const QJsonArray peer = expected[channel].toArray();
            QCOMPARE(figures.size(), 3);
            QCOMPARE(figures[0], peer[0].toDouble());
            QVERIFY2(std::fabs(figures[1] - peer[1].toDouble()) <= 0.0501,
                     qPrintable(QStringLiteral("%1 / %2").arg(figures[1]).arg(peer[1].toDouble())));
            QCOMPARE(figures[2], peer[2].toDouble());
        }
        QCOMPARE(readFile(m_table), before); // only read
    }

    // A moment that is none, or a period that ends before it starts: the
    // usage error names the option; on every command that takes them.
    void refusals_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("period");
        QTest::addColumn<QString>("named");
        const QStringList commands{"summary", "dump", "export", "report", "chart", "protocol"};
        for (const QString& c : commands) {
            QTest::newRow(qPrintable(c + ", --from not a moment"))
                << c << QStringList{"--from", "15.03.2024"} << "--from";
            QTest::newRow(qPrintable(c + ", --to not a day"))
                << c << QStringList{"--to", "2024-02-30T08:00"} << "--to";
            QTest::newRow(qPrintable(c + ", from after to"))
                << c << QStringList{"--from", "2024-03-16T08:00", "--to", "15.03.2024 08:00"}
                << "--from 2024-03-16T08:00 is later than --to 15.03.2024 08:00";
        }
        QTest::newRow("info takes no period")
            << "info" << QStringList{"--from", "2024-03-16T08:00"} << "--from and --to belong to";
    }

    void refusals()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, period);
        QFETCH(QString, named);
        const QString out = m_dir.filePath(command == "chart"    ? "refused.png"
                                           : command == "export" ? "refused.xlsx"
                                                                 : "refused.pdf");
        QStringList args{command, m_table};
        if (command == "chart" || command == "export" || command == "report" ||
            command == "protocol")
            args << "-o" << out;
        const FlnRun r = fln(args + period);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(named), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(out));
    }

    // A period between two rows (inside the gap), or beyond the table: a
    // clear error, nothing printed and no file.
    void periodWithoutRows_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("period");
        QTest::addColumn<QString>("said");
        for (const QString c : {"summary", "dump", "export", "report", "chart", "protocol"}) {
            QTest::newRow(qPrintable(c + ", inside the gap"))
                << c << QStringList{"--from", "2024-03-15T23:00", "--to", "16.03.2024 01:50"}
                << "В период с 15.03.2024 23:00:00 по 16.03.2024 01:50:00 не попала ни одна "
                   "запись.\n";
            QTest::newRow(qPrintable(c + ", after the end"))
                << c << QStringList{"--from", "2025-01-01T00:00"}
                << "В период с 01.01.2025 00:00:00 не попала ни одна запись.\n";
        }
        // Not even the sort index it was asked to keep.
        QTest::newRow("dump --keep-index, inside the gap")
            << "dump --sort T_1 --keep-index"
            << QStringList{"--from", "2024-03-15T23:00", "--to", "16.03.2024 01:50"}
            << "В период с 15.03.2024 23:00:00 по 16.03.2024 01:50:00 не попала ни одна "
               "запись.\n";
    }

    void periodWithoutRows()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, period);
        QFETCH(QString, said);
        const QString out = m_dir.filePath(command == "chart"    ? "empty.png"
                                           : command == "export" ? "empty.xlsx"
                                                                 : "empty.pdf");
        QStringList words = command.split(u' ');
        QStringList args{words.takeFirst(), m_table};
        if (command == "chart" || command == "export" || command == "report" ||
            command == "protocol")
            args << "-o" << out;
        const QByteArray before = readFile(m_table);
        const FlnRun r = fln(args + words + period);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, said);
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(out));
        QCOMPARE(QDir(m_dir.path()).entryList({"empty.*", "*.mdx"}, QDir::Files), QStringList());
        QCOMPARE(readFile(m_table), before);
    }
};

QTEST_GUILESS_MAIN(TestPeriodCli)
#include "tst_period_cli.moc"
