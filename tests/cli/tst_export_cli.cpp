// `fln export` as a user runs it: the workbook read back by LibreOffice and
// by GDAL agrees row for row with `fln dump` of the same table, in file order
// and under a sort; the table is only read; errors and the default folder.
#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

FlnRun fln(const QStringList& args)
{
    return runFln(args);
}

// The tables' texts are Russian ones; the export reads them under the
// Russian regional settings whatever the locale the test runs under.
FlnRun flnExport(const QStringList& args)
{
    return fln(QStringList{"--locale", "ru_RU", "export"} + args);
}

const QString kSample = QStringLiteral(FLN_SOURCE_DIR "/tests/data/data/sample.db");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// RFC 4180 records, CRLF or LF.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                field += u'"', ++i;
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = any = true;
        } else if (c == u',') {
            row << field, field.clear(), any = true;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            row << field, rows << row, row.clear(), field.clear(), any = false;
        } else {
            field += c, any = true;
        }
    }
    if (any || !row.isEmpty())
        row << field, rows << row;
    return rows;
}

double number(const QString& text)
{
    bool ok = false;
    const double v = QString(text).replace(u',', u'.').trimmed().toDouble(&ok);
    return ok ? v : qQNaN();
}

// One row of `fln dump` (N,MODE,EN_CH,DATE,TIME,T_1,T_2,COMMENT) as the
// workbook holds it: N, the date, MODE, T_1, T_2, COMMENT.
struct Expected
{
    QString n, date, time, mode;
    double t1, t2;
    QString comment;
};

QList<Expected> dumped(const QString& csv)
{
    QList<Expected> out;
    const QList<QStringList> rows = parseCsv(csv);
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QStringList& r = rows[i];
        out << Expected{r[0], r[3], r[4], r[1], number(r[5]), number(r[6]), r[7]};
    }
    return out;
}

} // namespace

class TestExportCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void agreesWithDump_data()
    {
        QTest::addColumn<QStringList>("sort");
        QTest::newRow("file order") << QStringList();
        QTest::newRow("T_1 descending") << QStringList({"--sort", "T_1", "--descending"});
        QTest::newRow("COMMENT") << QStringList({"--sort", "COMMENT"});
    }
    void agreesWithDump()
    {
        QFETCH(QStringList, sort);
        QTemporaryDir dir;
        const QString table = dir.filePath("t.db"), copy = dir.filePath("copy.db");
        QVERIFY(QFile::copy(kSample, table) && QFile::copy(kSample, copy));
        const QByteArray before = readFile(table);

        const QString out = dir.filePath("out.xlsx");
        const FlnRun r = flnExport(QStringList{table, "-o", out} + sort);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, out + u'\n');
        // Not a terminal: the progress bar's last state, once.
        QCOMPARE(r.err,
                 QStringLiteral("Экспорт в Excel ... [%1] 100 %  7 из 7\n").arg(QString(40, u'#')));
        QCOMPARE(readFile(table), before); // only read: no byte, no index file
        QVERIFY(!QFile::exists(dir.filePath("t.mdx")));

        const FlnRun d = fln(QStringList{"dump", copy} + sort);
        QCOMPARE(d.code, 0);
        const QList<Expected> rows = dumped(d.out);
        QCOMPARE(rows.size(), 7);

        // LibreOffice shows the formatted values.
        const QString lo = dir.filePath("lo");
        const peers::Result calc = peers::run(
            "soffice",
            {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless",
             "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", lo, out});
        FLN_NEED_PEER(calc, "LibreOffice (libreoffice-calc-nogui)");
        const QList<QStringList> shown = parseCsv(QString::fromUtf8(readFile(lo + "/out.csv")));
        QCOMPARE(shown.size(), rows.size() + 2);
        QCOMPARE(shown[0], QStringList(6, QString())); // the title row has no text
        QCOMPARE(shown[1], QStringList({"N", "Дата", "Режим", "T1, C", "T2, C", "Примечание"}));
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const Expected& e = rows[i];
            const QStringList& s = shown[i + 2];
            // DD/MM/YYYY H:MM: the hour without a leading zero, no seconds.
            const QString date = QString(e.date).replace(u'.', u'/') + u' ' +
                                 QString::number(e.time.left(2).toInt()) + e.time.mid(2, 3);
            // The "/" of a format is the date separator of LibreOffice's
            // locale: "." under a Russian one.
            QCOMPARE(QStringList(s).replaceInStrings(QRegularExpression("^(\\d\\d)\\.(\\d\\d)\\."),
                                                     "\\1/\\2/"),
                     QStringList({e.n, date, e.mode, s[3], s[4], e.comment}));
            QCOMPARE(number(s[3]), e.t1);
            QCOMPARE(number(s[4]), e.t2);
        }

        // GDAL reads the cells' types; its date-time columns keep the day only.
        const peers::Result gdal = peers::run("ogr2ogr", {"-f", "CSV", "/vsistdout/", out});
        FLN_NEED_PEER(gdal, "ogr2ogr (gdal-bin)");
        QCOMPARE(gdal.exitCode, 0);
        const QList<QStringList> read = parseCsv(QString::fromUtf8(gdal.out));
        QCOMPARE(read.size(), rows.size() + 3); // its field names, the title row, the header row
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const Expected& e = rows[i];
            const QStringList& g = read[i + 3];
            const QString day = e.date.mid(6, 4) + u'/' + e.date.mid(3, 2) + u'/' + e.date.left(2);
            QCOMPARE(g, QStringList({e.n, day, e.mode, g[3], g[4], e.comment}));
            QCOMPARE(number(g[3]), e.t1);
            QCOMPARE(number(g[4]), e.t2);
        }
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::newRow("no such table") << QStringList({"missing.db", "-o", "x.xlsx"}) << 1 << "";
        QTest::newRow("empty temperature") << QStringList({"bad.db", "-o", "x.xlsx"}) << 1
                                           << "'' is not a valid floating point value.\n";
        QTest::newRow("unknown sort field")
            << QStringList({"bad.db", "-o", "x.xlsx", "--sort", "T_3"}) << 1
            << "Field 'T_3' not found.\n";
        QTest::newRow("no table") << QStringList() << 2 << "";
    }
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, error);
        QTemporaryDir dir;
        writeMeasurementTable(dir.filePath("bad.db"),
                              {{.n = 1, .date = "01.12.2026", .time = "10:00:00", .t2 = "1,0"}});
        for (QString& a : args)
            if (a.endsWith(".db") || a.endsWith(".xlsx"))
                a = dir.filePath(a);
        const FlnRun r = flnExport(args);
        QCOMPARE(r.code, code);
        QVERIFY(!r.err.isEmpty());
        if (!error.isEmpty())
            QCOMPARE(r.err, error);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"bad.db"}));
    }

    void documentsFolderByDefault()
    {
        // The documents folder of a user with no folder settings of his own.
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        qunsetenv("XDG_CONFIG_HOME");
        const FlnRun first = flnExport({kSample});
        const FlnRun second = flnExport({kSample});
        qputenv("HOME", oldHome);
        if (!oldConfig.isEmpty())
            qputenv("XDG_CONFIG_HOME", oldConfig);
        QCOMPARE(first.code, 0);
        QCOMPARE(second.code, 0);
        // Named after the table sample.db, as the window names it.
        QCOMPARE(first.out, home.filePath("Documents/sample.xlsx\n"));
        QCOMPARE(second.out, home.filePath("Documents/sample (2).xlsx\n"));
        for (const char* name : {"Documents/sample.xlsx", "Documents/sample (2).xlsx"})
            QVERIFY(readFile(home.filePath(name)).startsWith("PK")); // a zip archive each
    }
};

QTEST_GUILESS_MAIN(TestExportCli)
#include "tst_export_cli.moc"
