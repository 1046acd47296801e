// `fln export --csv` as a user runs it: a table of hard cases read back by
// Python's csv module, by LibreOffice (numbers, not texts) and by csvkit's
// csvstat; the separator follows the locale the test runs under; bad
// options and outputs are refused with nothing written.
#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The decimal separator of the locale the test runs under, which the
// program takes as the user's regional one.
QChar systemDecimalPoint()
{
    const QString p = QLocale::system().decimalPoint();
    return p.isEmpty() ? u'.' : p.front();
}

// One row of the hard cases, and what a reader of the file must find.
struct HardCase
{
    TestRow row;
    std::optional<double> t1, t2; // nothing: an empty field
    QString iso;
};

// Temperatures as the program writes them: with the regional separator.
QString temperature(const char* text)
{
    return QString::fromLatin1(text).replace(u'.', systemDecimalPoint());
}

QList<HardCase> hardCases()
{
    const auto row = [](qint64 n, const char* mode, const char* date, const char* time,
                        const char* t1, const char* t2, const QString& comment) {
        return TestRow{.n = n,
                       .mode = QString::fromUtf8(mode),
                       .enCh = 3,
                       .date = QString::fromLatin1(date),
                       .time = QString::fromLatin1(time),
                       .t1 = temperature(t1),
                       .t2 = temperature(t2),
                       .comment = comment};
    };
    return {
        {row(1, "Оперативный", "01.12.2026", "10:00:00", "-12.5", "3.0",
             QStringLiteral("он сказал \"стоп\"")),
         -12.5, 3.0, "2026-12-01T10:00:00"},
        {row(2, "Оперативный", "01.12.2026", "10:01:00", "-0.5", "25.1", QStringLiteral("а;б,в")),
         -0.5, 25.1, "2026-12-01T10:01:00"},
        {row(3, "Наблюдения", "01.12.2026", "23:59:59", "0.0", "-40.0",
             QStringLiteral("строка1\nстрока2")),
         0.0, -40.0, "2026-12-01T23:59:59"},
        {row(4, "Наблюдения", "02.12.2026", "00:00:00", "125.0", "", QString()), 125.0,
         std::nullopt, "2026-12-02T00:00:00"},
        {row(5, "Наблюдения", "31.12.2026", "07:05:09", "7.2", "-7.2",
             QStringLiteral("\"Ёлка\" — ёжик №5; 100%, \"\"")),
         7.2, -7.2, "2026-12-31T07:05:09"},
        {row(6, "Оперативный", "01.01.2027", "12:00:00", "1", "-1",
             QStringLiteral(" отступ и хвост,")),
         1.0, -1.0, "2027-01-01T12:00:00"},
    };
}

const QStringList kHeaders = {"N",      "Дата",   "Время",      "Режим",
                              "T1, °C", "T2, °C", "Примечание", "Момент"};

// Python's csv module reads the file as a spreadsheet user's script would:
// the byte-order mark taken off by the codec, the given separator, RFC 4180
// quoting; temperatures read with the given decimal point.
const char* kPythonReader = R"(
import csv, json, sys
path, sep, point = sys.argv[1], sys.argv[2], sys.argv[3]
with open(path, encoding='utf-8-sig', newline='') as f:
    rows = list(csv.reader(f, delimiter=sep, strict=True))
def num(t):
    return None if t == '' else float(t.replace(point, '.'))
out = {'header': rows[0], 'rows': []}
for r in rows[1:]:
    out['rows'].append({'fields': r, 't1': num(r[4]), 't2': num(r[5])})
print(json.dumps(out))
)";

struct Fixture
{
    QTemporaryDir dir;
    QString table = dir.filePath("t.db");
    QList<HardCase> cases = hardCases();

    Fixture()
    {
        QList<TestRow> rows;
        for (const HardCase& c : cases)
            rows << c.row;
        writeMeasurementTable(table, rows);
    }
};

} // namespace

class TestCsvExportCli : public QObject
{
    Q_OBJECT

private slots:
    void readBackByPython_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("separator"); // empty: the locale's choice
        QTest::addColumn<QString>("point");     // empty: the locale's decimal point
        QTest::newRow("the locale's choice") << QStringList() << QString() << QString();
        QTest::newRow("tab, decimal point")
            << QStringList({"--separator", "tab", "--decimal-point", "."}) << "\t"
            << ".";
        QTest::newRow("decimal comma: semicolon") << QStringList({"--decimal-point", ","}) << ";"
                                                  << ",";
        QTest::newRow("decimal point: comma") << QStringList({"--decimal-point", "."}) << ","
                                              << ".";
        QTest::newRow("bar") << QStringList({"--separator", "|"}) << "|" << QString();
    }
    void readBackByPython()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, separator);
        QFETCH(QString, point);
        const QChar dp = point.isEmpty() ? systemDecimalPoint() : point.front();
        // A decimal comma takes ";", a decimal point ",".
        const QString sep = !separator.isEmpty() ? separator
                            : dp == u','         ? QStringLiteral(";")
                                                 : QStringLiteral(",");
        Fixture f;
        const QByteArray before = readFile(f.table);
        const QString out = f.dir.filePath("out.csv");
        const FlnRun r = runFln(QStringList{"export", f.table, "--csv", "-o", out} + options);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, out + u'\n');
        QCOMPARE(readFile(f.table), before); // only read
        QVERIFY(!QFile::exists(f.dir.filePath("t.mdx")));

        // The bytes: a byte-order mark, the header row exactly, CRLF line
        // ends; the one bare LF is the one inside the third row's comment.
        const QByteArray bytes = readFile(out);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        // The header as RFC 4180 writes it: "T1, °C" quoted where "," separates.
        QStringList headerLine = kHeaders;
        for (QString& h : headerLine)
            if (h.contains(sep))
                h = u'"' + h + u'"';
        QVERIFY2(bytes.mid(3).startsWith((headerLine.join(sep) + "\r\n").toUtf8()),
                 bytes.left(120).constData());
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count('\n') - bytes.count("\r\n"), 1);

        const peers::Result py = peers::python(kPythonReader, {out, sep, QString(dp)});
        FLN_NEED_PEER(py, "python3");
        QVERIFY2(py.exitCode == 0, py.err.constData());
        const QJsonObject read = QJsonDocument::fromJson(py.out).object();
        QStringList header;
        for (const QJsonValue& v : read["header"].toArray())
            header << v.toString();
        QCOMPARE(header, kHeaders);
        const QJsonArray rows = read["rows"].toArray();
        QCOMPARE(rows.size(), f.cases.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const HardCase& c = f.cases[i];
            const QJsonObject o = rows[i].toObject();
            QStringList fields;
            for (const QJsonValue& v : o["fields"].toArray())
                fields << v.toString();
            QCOMPARE(fields.size(), kHeaders.size());
            QCOMPARE(fields[0], QString::number(*c.row.n));
            QCOMPARE(fields[1], c.row.date);
            QCOMPARE(fields[2], c.row.time);
            QCOMPARE(fields[3], c.row.mode);
            QCOMPARE(fields[6], c.row.comment);
            QCOMPARE(fields[7], c.iso);
            for (const auto& [json, expected] :
                 {std::pair{o["t1"], c.t1}, std::pair{o["t2"], c.t2}}) {
                QCOMPARE(json.isNull(), !expected.has_value());
                if (expected)
                    QCOMPARE(json.toDouble(), *expected);
            }
        }
    }

    void browsingOrder()
    {
        // --sort: the rows come in the order of the sort, as everywhere.
        Fixture f;
        const QString out = f.dir.filePath("sorted.csv");
        const FlnRun r =
            runFln({"export", f.table, "--csv", "-o", out, "--sort", "T_1", "--descending"});
        QCOMPARE(r.code, 0);
        const peers::Result py =
            peers::python("import csv,sys\n"
                          "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline=''),"
                          "delimiter=sys.argv[2]))\n"
                          "print(' '.join(r[0] for r in rows[1:]))\n",
                          {out, systemDecimalPoint() == u',' ? ";" : ","});
        FLN_NEED_PEER(py, "python3");
        // T_1: -12.5, -0.5, 0, 125, 7.2, 1 for N = 1..6.
        QCOMPARE(py.out.trimmed(), QByteArray("4 5 6 3 2 1"));
    }

    void period()
    {
        // --from and --to: the rows of the period, in the browsing order.
        // The moments read under the Russian settings, the table's own.
        QTemporaryDir dir;
        const QString table = dir.filePath("minutes.db");
        writeMeasurementTable(table, minuteRows({"1,0", "2,0", "3,0", "4,0", "5,0"}));
        const QString out = dir.filePath("period.csv");
        const FlnRun r = runFln({"--locale", "ru_RU", "export", table, "--csv", "-o", out, "--from",
                                 "2026-12-01T10:01", "--to", "2026-12-01T10:03"});
        QCOMPARE(r.code, 0);
        const peers::Result py =
            peers::python("import csv,sys\n"
                          "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline=''),"
                          "delimiter=';'))\n"
                          "print(' '.join(r[0] + '/' + r[4] for r in rows[1:]))\n",
                          {out});
        FLN_NEED_PEER(py, "python3");
        QCOMPARE(py.out.trimmed(), QByteArray("2/2 3/3 4/4"));
    }

    void libreOfficeReadsNumbers()
    {
        // The locale's choice of separator and decimal point, imported with
        // the filter options a user picks for such a file: the temperature
        // columns hold numbers, the comments their texts.
        Fixture f;
        const QString out = f.dir.filePath("out.csv");
        QCOMPARE(runFln({"export", f.table, "--csv", "-o", out}).code, 0);
        const bool comma = systemDecimalPoint() == u',';
        const QString options = comma ? QStringLiteral("59,34,76,1,,1049")  // ";", Russian
                                      : QStringLiteral("44,34,76,1,,1033"); // ",", English (US)
        const QString lo = f.dir.filePath("lo");
        const peers::Result calc =
            peers::run("soffice",
                       {"-env:UserInstallation=file://" + f.dir.filePath("profile"), "--headless",
                        "--infilter=CSV:" + options, "--convert-to", "xlsx", "--outdir", lo, out},
                       180000);
        FLN_NEED_PEER(calc, "LibreOffice (libreoffice-calc-nogui)");
        QVERIFY2(QFile::exists(lo + "/out.xlsx"), calc.err.constData());
        const peers::Result py = peers::python(
            "import json, sys, openpyxl\n"
            "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
            "print(json.dumps([[c.value if c.value is None or isinstance(c.value,(int,float,str))"
            " else str(c.value) for c in r] for r in ws.iter_rows(min_row=2)]))\n",
            {lo + "/out.xlsx"});
        FLN_NEED_PEER(py, "python3-openpyxl");
        QVERIFY2(py.exitCode == 0, py.err.constData());
        const QJsonArray rows = QJsonDocument::fromJson(py.out).array();
        QCOMPARE(rows.size(), f.cases.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QJsonArray r = rows[i].toArray();
            const HardCase& c = f.cases[i];
            for (const auto& [cell, expected] : {std::pair{r[4], c.t1}, std::pair{r[5], c.t2}}) {
                if (!expected) {
                    QVERIFY(cell.isNull());
                    continue;
                }
                QVERIFY2(cell.isDouble(), qPrintable(cell.toString())); // a number, not a text
                QCOMPARE(cell.toDouble(), *expected);
            }
            QCOMPARE(r[6].toString(), c.row.comment.isEmpty() ? QString() : c.row.comment);
        }
    }

    void csvstatReads()
    {
        // csvkit's csvstat on the file as a decimal-point user exports it:
        // the temperatures are numbers, the ISO moments date-times, and the
        // extremes and counts those of the table.
        Fixture f;
        const QString out = f.dir.filePath("out.csv");
        QCOMPARE(runFln({"export", f.table, "--csv", "-o", out, "--decimal-point", "."}).code, 0);
        const peers::Result stat = peers::run("csvstat", {"--csv", "-e", "utf-8-sig", out});
        FLN_NEED_PEER(stat, "csvstat (csvkit)");
        QVERIFY2(stat.exitCode == 0, stat.err.constData());
        // Read csvstat's own CSV with Python, from a file.
        const QString statFile = f.dir.filePath("stat.csv");
        {
            QFile s(statFile);
            QVERIFY(s.open(QIODevice::WriteOnly));
            s.write(stat.out);
        }
        const peers::Result columns = peers::python(
            "import csv, json, sys\n"
            "print(json.dumps({r['column_name']: r for r in csv.DictReader(open(sys.argv[1]))}))\n",
            {statFile});
        FLN_NEED_PEER(columns, "python3");
        const QJsonObject c = QJsonDocument::fromJson(columns.out).object();
        // csvstat writes its figures in the locale the test runs under.
        const auto figure = [&c](const char* column, const char* what) {
            return c[column].toObject()[what].toString().replace(u',', u'.').toDouble();
        };
        QCOMPARE(c["T1, °C"].toObject()["type"].toString(), QStringLiteral("Number"));
        QCOMPARE(c["T2, °C"].toObject()["type"].toString(), QStringLiteral("Number"));
        QCOMPARE(figure("T1, °C", "min"), -12.5);
        QCOMPARE(figure("T1, °C", "max"), 125.0);
        QCOMPARE(figure("T2, °C", "min"), -40.0);
        QCOMPARE(c["T2, °C"].toObject()["nulls"].toString(), QStringLiteral("True"));
        QCOMPARE(c["Момент"].toObject()["type"].toString(), QStringLiteral("DateTime"));
        QCOMPARE(c["Примечание"].toObject()["type"].toString(), QStringLiteral("Text"));
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error"); // a part of stderr
        QTest::newRow("separator of two characters")
            << QStringList({"--csv", "--separator", ";;"}) << 2 << "--separator takes";
        QTest::newRow("separator a quote")
            << QStringList({"--csv", "--separator", "\""}) << 2 << "--separator takes";
        QTest::newRow("separator a letter")
            << QStringList({"--csv", "--separator", "x"}) << 2 << "--separator takes";
        QTest::newRow("separator a line break")
            << QStringList({"--csv", "--separator", "\n"}) << 2 << "--separator takes";
        QTest::newRow("separator empty")
            << QStringList({"--csv", "--separator", ""}) << 2 << "--separator takes";
        QTest::newRow("decimal point a semicolon")
            << QStringList({"--csv", "--decimal-point", ";"}) << 2 << "--decimal-point takes";
        QTest::newRow("separator the decimal point")
            << QStringList({"--csv", "--separator", ",", "--decimal-point", ","}) << 2
            << "is the decimal point too";
        QTest::newRow("separator without --csv")
            << QStringList({"--separator", ";"}) << 2 << "belong to export --csv";
        QTest::newRow("a workbook's name for CSV")
            << QStringList({"--csv", "-o", "@/out.xlsx"}) << 1
            << "is not a CSV file this command writes: name it .csv";
        QTest::newRow("a CSV name for a workbook")
            << QStringList({"-o", "@/out.csv"}) << 1
            << "is not a workbook this command writes: name it .xlsx";
        QTest::newRow("the table itself") << QStringList({"--csv", "-o", "@/t.db"}) << 1 << "t.db";
        QTest::newRow("the table under a .csv link")
            << QStringList({"--csv", "-o", "@/link.csv"}) << 1 << "link.csv";
    }
    void refused()
    {
        QFETCH(QStringList, options);
        QFETCH(int, code);
        QFETCH(QString, error);
        Fixture f;
        QVERIFY(QFile::link(f.table, f.dir.filePath("link.csv")));
        for (QString& o : options)
            o.replace(u'@', f.dir.path());
        const QByteArray before = readFile(f.table);
        const QStringList filesBefore = QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden);
        const FlnRun r = runFln(QStringList{"export", f.table} + options);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(readFile(f.table), before);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore);
    }
};

QTEST_MAIN(TestCsvExportCli)
#include "tst_csv_export_cli.moc"
