// `fln summary` against an independent reading of the same tables: a Python
// oracle (dbfread and numpy, tests/cli/oracle/summary_oracle.py) computes
// every figure of the JSON object from the table file, and the two objects
// must agree key by key. Also the stored limits, the text form, reads-only
// and the errors.
#include "data/summary_options.h"
#include "platform/settings_store.h"
#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

struct Row
{
    QString mode, date, time, t1, t2;
};

const QString kOp = QStringLiteral("Оперативный");
const QString kObs = QStringLiteral("Наблюдения");

// In record order: T1 out above 8,5 at the start and below 3,5 at the end,
// two gaps, a clock step back (00:05 then 00:03), two equal moments, a day
// boundary.
QList<Row> mixedRows()
{
    return {
        {kOp, "15.03.2024", "23:58:00", " 9,0", " 0,0"},
        {kOp, "15.03.2024", "23:59:00", " 9,5", " 1,0"},
        {kOp, "16.03.2024", "00:00:00", " 5,0", " 2,0"},
        {kOp, "16.03.2024", "00:01:00", " 3,0", " 3,0"},
        {kOp, "16.03.2024", "00:05:00", " 4,0", " 4,0"},
        {kObs, "16.03.2024", "00:03:00", " 6,0", " 5,0"},
        {kObs, "16.03.2024", "00:06:00", " 9,0", " 6,0"},
        {kObs, "16.03.2024", "00:06:00", " 3,0", " 7,0"},
    };
}

// A longer recording: every 30 s, negative readings, an hour's gap, a step
// back of a day, repeated moments.
QList<Row> gappedRows()
{
    QList<Row> rows;
    QDateTime at(QDate(2023, 12, 31), QTime(22, 0), Qt::UTC);
    for (int i = 0; i < 400; ++i) {
        at = at.addSecs(i == 150 ? 3600 : i == 300 ? -86400 : i % 97 == 0 ? 0 : 30);
        const double t1 = std::round(60 * std::sin(i / 20.0)) / 10 - 2;
        const double t2 = std::round(35 * std::cos(i / 7.0)) / 10 + 20;
        rows.append({i % 50 < 40 ? kOp : kObs, at.toString("dd.MM.yyyy"), at.toString("HH:mm:ss"),
                     QString::number(t1, 'f', 1).replace(u'.', u','),
                     QString::number(t2, 'f', 1).replace(u'.', u',')});
    }
    return rows;
}

void writeTable(const QString& path, const QList<Row>& rows)
{
    writeMeasurementTable(
        path, rows.size(),
        [&rows](qint64 i) {
            const Row& r = rows[i];
            return TestRow{.n = i + 1,
                           .mode = r.mode,
                           .enCh = 3,
                           .date = r.date,
                           .time = r.time,
                           .t1 = r.t1,
                           .t2 = r.t2};
        },
        0xC9);
}

void writeMillion(const QString& path)
{
    QDateTime at(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    writeMeasurementTable(
        path, 1000000,
        [&at](qint64 i) {
            at = at.addSecs(i % 200000 == 199999 ? 7200 : i == 500000 ? -600 : 60);
            return TestRow{
                .n = i % 5957 + 1,
                .mode = (i / 1000) & 1 ? kObs : kOp,
                .enCh = 3,
                .date = at.toString("dd.MM.yyyy"),
                .time = at.toString("HH:mm:ss"),
                .t1 = QString::number(std::round(40 * std::sin(i / 700.0)) / 10 + 4, 'f', 1)
                          .replace(u'.', u','),
                .t2 = QString::number(std::round(100 * std::cos(i / 300.0)) / 10 - 18, 'f', 1)
                          .replace(u'.', u',')};
        },
        0xC9);
}

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Rounded figures may differ in the last place where a value lies on a half.
const QStringList kRounded = {"mean", "stdev", "mkt"};

void compareJson(const QJsonValue& ours, const QJsonValue& peer, const QString& path,
                 QStringList& differences)
{
    if (ours.isObject() && peer.isObject()) {
        const QJsonObject a = ours.toObject(), b = peer.toObject();
        if (a.keys() != b.keys())
            differences << path + ": keys " + a.keys().join(',') + " / " + b.keys().join(',');
        for (const QString& k : b.keys())
            compareJson(a.value(k), b.value(k), path + '.' + k, differences);
        return;
    }
    if (ours.isArray() && peer.isArray()) {
        const QJsonArray a = ours.toArray(), b = peer.toArray();
        if (a.size() != b.size())
            differences << path + QStringLiteral(": %1 / %2 entries").arg(a.size()).arg(b.size());
        for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
            compareJson(a[i], b[i], path + QStringLiteral("[%1]").arg(i), differences);
        return;
    }
    if (ours.isDouble() && peer.isDouble()) {
        const double tolerance = kRounded.contains(path.section('.', -1)) ? 0.0101 : 1e-9;
        if (std::fabs(ours.toDouble() - peer.toDouble()) > tolerance)
            differences
                << path + QStringLiteral(": %1 / %2").arg(ours.toDouble()).arg(peer.toDouble());
        return;
    }
    if (ours != peer)
        differences << path + ": " +
                           QJsonDocument(QJsonArray{ours}).toJson(QJsonDocument::Compact) + " / " +
                           QJsonDocument(QJsonArray{peer}).toJson(QJsonDocument::Compact);
}

} // namespace

class TestSummaryCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oracle;

    QString table(const QString& name, const QList<Row>& rows)
    {
        const QString path = m_dir.filePath(name + ".db");
        if (!QFile::exists(path))
            writeTable(path, rows);
        return path;
    }

private slots:
    void initTestCase()
    {
        // The user's own stored limits never reach these runs.
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        QFile f(QStringLiteral(FLN_SOURCE_DIR "/tests/cli/oracle/summary_oracle.py"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        m_oracle = QString::fromUtf8(f.readAll());
    }

    void agreesWithOracle_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QStringList>("limits");
        const QStringList limits{"--lower1", "3,5", "--upper1", "8.5", "--upper2", "5,5"};
        QTest::newRow("gaps, step back, equal moments, excursions at both ends")
            << "mixed" << limits;
        QTest::newRow("longer, negative, no limits") << "gapped" << QStringList{};
        QTest::newRow("longer, limits, dh")
            << "gapped" << QStringList{"--lower1", "-5",       "--upper1", "2",    "--lower2",
                                       "17",       "--upper2", "23",       "--dh", "60"};
        QTest::newRow("a period: from the clock step back on")
            << "mixed" << QStringList{"--from", "2024-03-16T00:01"} + limits;
        QTest::newRow("a period: until a moment between rows")
            << "mixed" << QStringList{"--to", "2024-03-16T00:04:59"} + limits;
        QTest::newRow("a period across the hour's gap, limits")
            << "gapped"
            << QStringList{"--from", "2023-12-31T23:00", "--to", "2024-01-01T00:40:30", "--lower1",
                           "-5",     "--upper1",         "2"};
        QTest::newRow("one reading") << "one" << limits;
        QTest::newRow("no rows") << "none" << limits;
        QTest::newRow("a million rows")
            << "million"
            << QStringList{"--lower1", "0", "--upper1", "6", "--lower2", "-25", "--upper2", "-12"};
    }
    void agreesWithOracle()
    {
        QFETCH(QString, fixture);
        QFETCH(QStringList, limits);
        QString path;
        if (fixture == "mixed")
            path = table(fixture, mixedRows());
        else if (fixture == "gapped")
            path = table(fixture, gappedRows());
        else if (fixture == "one")
            path = table(fixture, mixedRows().mid(0, 1));
        else if (fixture == "none")
            path = table(fixture, {});
        else {
            // Once, under the users' locale: the second run proves nothing new.
            if (qEnvironmentVariable("LC_ALL").startsWith(u'C'))
                QSKIP("the million rows run under the users' locale only");
            path = m_dir.filePath("million.db");
            if (!QFile::exists(path))
                writeMillion(path);
        }
        const QByteArray before = fileHash(path);
        // The tables hold Russian texts: the Russian regional settings read
        // them, whatever the C library's locale (the _c run).
        const FlnRun run =
            runFln(QStringList{"--locale", "ru_RU", "summary", path, "--json"} + limits, 300000);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.code, 0);
        QCOMPARE(fileHash(path), before); // reads only
        QVERIFY(!QFile::exists(QString(path).replace(".db", ".mdx")));

        QStringList oracleLimits;
        for (qsizetype i = 0; i < limits.size(); ++i)
            oracleLimits << (i % 2 ? QString(limits[i]).replace(u',', u'.') : limits[i]);
        const peers::Result peer =
            peers::python(m_oracle, QStringList{path} + oracleLimits, 600000);
        FLN_NEED_PEER(peer, "python3-dbfread, python3-numpy");
        QVERIFY2(peer.exitCode == 0, peer.err.constData());

        QJsonParseError e1, e2;
        const QJsonDocument ours = QJsonDocument::fromJson(run.out.toUtf8(), &e1);
        QVERIFY2(e1.error == QJsonParseError::NoError, qPrintable(e1.errorString() + run.out));
        const QJsonDocument theirs = QJsonDocument::fromJson(peer.out, &e2);
        QVERIFY2(e2.error == QJsonParseError::NoError, qPrintable(e2.errorString()));
        QStringList differences;
        compareJson(ours.object(), theirs.object(), QString(), differences);
        QVERIFY2(differences.isEmpty(), qPrintable(differences.mid(0, 20).join('\n')));
        if (fixture == "mixed" && limits.size() == 6) {
            // The sample values that the manual works through.
            const QJsonObject t1 = ours.object()["channels"].toObject()["T1"].toObject();
            QCOMPARE(t1["mean"].toDouble(), 6.06);
            QCOMPARE(t1["above"].toObject()["excursions"].toInt(), 2);
            QCOMPARE(ours.object()["interval_s"].toInt(), 60);
        }
    }

    // Without options the stored limits count; options win over them; the
    // text form speaks Russian with the regional separator.
    void storedLimitsAndText()
    {
        const QString path = table("mixed", mixedRows());
        {
            QSettings s(m_dir.filePath("config/Ostrakon/FLN.conf"), QSettings::IniFormat);
            s.beginGroup("1.0");
            s.setValue("Summary_T1_Upper", "8.5");
            s.setValue("Summary_DH", "83.144");
        }
        FlnRun run = runFln({"--locale", "ru_RU", "summary", path, "--json"});
        QCOMPARE(run.code, 0);
        QJsonObject t1 = QJsonDocument::fromJson(run.out.toUtf8())
                             .object()["channels"]
                             .toObject()["T1"]
                             .toObject();
        QCOMPARE(t1["upper"].toDouble(), 8.5);
        QCOMPARE(t1["above"].toObject()["readings"].toInt(), 3);

        run = runFln({"--locale", "ru_RU", "summary", path, "--json", "--upper1", ""});
        t1 = QJsonDocument::fromJson(run.out.toUtf8())
                 .object()["channels"]
                 .toObject()["T1"]
                 .toObject();
        QVERIFY(t1["upper"].isNull());
        QCOMPARE(t1["above"].toObject()["readings"].toInt(), 0);
        QFile::remove(m_dir.filePath("config/Ostrakon/FLN.conf"));

        run = runFln({"--locale", "ru_RU", "summary", path, "--lower1", "3,5"});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(QRegularExpression("Записей +8\n")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QRegularExpression("Среднее +6,06 +3,50\n")),
                 qPrintable(run.out));
        QVERIFY2(run.out.contains(QRegularExpression("Интервал +00:01:00\n")), qPrintable(run.out));
        QVERIFY2(
            run.out.contains(QRegularExpression("Первый шаг назад +16\\.03\\.2024 00:03:00\n")),
            qPrintable(run.out));
        // The day's extremes are readings, with their one decimal.
        QVERIFY2(
            run.out.contains(QRegularExpression("16\\.03\\.2024 +6 +3,0 +5,00 +9,0 +00:02:00")),
            qPrintable(run.out));
        // Within 3,5 and up: 5,0 4,0 6,0 9,0 9,5 9,0 of eight readings.
        QVERIFY2(run.out.contains(QRegularExpression("Доля времени в границах +75,0\u00A0% +—\n")),
                 qPrintable(run.out));
    }

    // Each table keeps its own limits: the command reads those stored for
    // its table, those used last for a table that has none, and options
    // win over either.
    void limitsOfTheTable()
    {
        const QString fridge = m_dir.filePath("fridge.db");
        const QString freezer = m_dir.filePath("freezer.db");
        const QString other = m_dir.filePath("other.db");
        for (const QString& t : {fridge, freezer, other})
            writeTable(t, mixedRows());
        const QString conf = m_dir.filePath("config/Ostrakon/FLN.conf");
        {
            SettingsStore store(conf);
            store.openKey();
            SummaryOptions o;
            o.upper[0] = 8.5;
            saveTableSummaryOptions(store, fridge, o);
            o.upper[0] = 5.5;
            o.lower[1] = 2.5;
            saveTableSummaryOptions(store, freezer, o); // used last
        }
        const auto limits = [](const FlnRun& run) {
            const QJsonObject c =
                QJsonDocument::fromJson(run.out.toUtf8()).object()["channels"].toObject();
            return QStringList{QString::number(c["T1"].toObject()["upper"].toDouble()),
                               QString::number(c["T2"].toObject()["lower"].toDouble())};
        };
        // Reached by another path too: the same file.
        const QString viaDot = m_dir.path() + "/./fridge.db";
        QCOMPARE(limits(runFln({"--locale", "ru_RU", "summary", fridge, "--json"})),
                 (QStringList{"8.5", "0"}));
        QCOMPARE(limits(runFln({"--locale", "ru_RU", "summary", viaDot, "--json"})),
                 (QStringList{"8.5", "0"}));
        QCOMPARE(limits(runFln({"--locale", "ru_RU", "summary", freezer, "--json"})),
                 (QStringList{"5.5", "2.5"}));
        QCOMPARE(limits(runFln({"--locale", "ru_RU", "summary", other, "--json"})),
                 (QStringList{"5.5", "2.5"}));
        QCOMPARE(
            limits(runFln({"--locale", "ru_RU", "summary", fridge, "--json", "--upper1", "7"})),
            (QStringList{"7", "0"}));
        QFile::remove(conf);
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("error");
        QTest::newRow("not a number") << QStringList{"summary", "TABLE", "--lower1", "abc"} << 1
                                      << "'abc' is not a valid floating point value.\n";
        QTest::newRow("no energy") << QStringList{"summary", "TABLE", "--dh", "0"} << 1
                                   << "ΔH: «0» — нужно число от 1 до 1000 кДж/моль.\n";
        // An energy near zero makes the mean kinetic temperature rounding
        // noise (810 °C for readings of 1 to 10 °C), one far above nothing.
        QTest::newRow("energy near zero") << QStringList{"summary", "TABLE", "--dh", "1e-16"} << 1
                                          << "ΔH: «1e-16» — нужно число от 1 до 1000 кДж/моль.\n";
        QTest::newRow("energy below 1") << QStringList{"summary", "TABLE", "--dh", "0,5"} << 1
                                        << "ΔH: «0,5» — нужно число от 1 до 1000 кДж/моль.\n";
        QTest::newRow("energy above 1000") << QStringList{"summary", "TABLE", "--dh", "1000,5"} << 1
                                           << "ΔH: «1000,5» — нужно число от 1 до 1000 кДж/моль.\n";
        QTest::newRow("limits of T1 reversed")
            << QStringList{"summary", "TABLE", "--lower1", "9", "--upper1", "2"} << 1
            << "T1: нижняя граница 9 выше верхней 2.\n";
        QTest::newRow("limits of T2 reversed")
            << QStringList{"summary", "TABLE", "--lower2", "5,5", "--upper2", "-5"} << 1
            << "T2: нижняя граница 5,5 выше верхней -5.\n";
        QTest::newRow("a value left out")
            << QStringList{"summary", "TABLE", "--lower1", "--json"} << 2
            << "fln: --lower1 needs a value, not the option '--json'";
        QTest::newRow("limit elsewhere")
            << QStringList{"info", "TABLE", "--upper2", "5"} << 2
            << "--lower1, --upper1, --lower2, --upper2 and --dh belong "
               "to summary";
        QTest::newRow("json elsewhere")
            << QStringList{"dump", "TABLE", "--json"} << 2 << "--json belongs to info and summary";
    }
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, error);
        args.replaceInStrings("TABLE", table("mixed", mixedRows()));
        const FlnRun run = runFln(QStringList{"--locale", "ru_RU"} + args);
        QCOMPARE(run.code, code);
        QVERIFY2(run.err.startsWith(error) || run.err.contains(error), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    // Readings of 1e308 and −1e308 fit a temperature's six characters: the
    // JSON parses, the mean of three equal readings is that reading, a mean
    // kinetic temperature below absolute zero is null in JSON and "—" in
    // the text, and nothing reads "inf" or "nan".
    void hugeReadings()
    {
        const QString path = table("huge", {{kOp, "15.03.2024", "23:58:00", "1e308", "1e308"},
                                            {kOp, "15.03.2024", "23:59:00", "1e308", "-1e308"},
                                            {kOp, "16.03.2024", "00:00:00", "1e308", "1,0"}});
        FlnRun run = runFln({"--locale", "ru_RU", "summary", path, "--json"});
        QCOMPARE(run.code, 0);
        QJsonParseError e;
        const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8(), &e).object();
        QVERIFY2(e.error == QJsonParseError::NoError, qPrintable(e.errorString() + run.out));
        const QJsonObject t1 = o["channels"].toObject()["T1"].toObject();
        const QJsonObject t2 = o["channels"].toObject()["T2"].toObject();
        QCOMPARE(t1["mean"].toDouble(), 1e308);
        QCOMPARE(t1["stdev"].toDouble(), 0.0);
        QVERIFY(std::fabs(t1["mkt"].toDouble() / 1e308 - 1) < 1e-12);
        QCOMPARE(t2["mean"].toDouble(), 0.33);
        QVERIFY(t2["mkt"].isNull());
        QVERIFY2(!run.out.contains("inf", Qt::CaseInsensitive) &&
                     !run.out.contains("nan", Qt::CaseInsensitive),
                 qPrintable(run.out));

        run = runFln({"--locale", "ru_RU", "summary", path});
        QCOMPARE(run.code, 0);
        QVERIFY2(!run.out.contains("inf", Qt::CaseInsensitive) &&
                     !run.out.contains("nan", Qt::CaseInsensitive),
                 qPrintable(run.out));
        QVERIFY2(run.out.contains(QRegularExpression("\nMKT[^\n]*  [0-9,]+E30[78] +—\n")),
                 qPrintable(run.out));

        run = runFln({"--locale", "ru_RU", "info", path, "--json"});
        QCOMPARE(run.code, 0);
        const QJsonObject info = QJsonDocument::fromJson(run.out.toUtf8(), &e).object();
        QVERIFY2(e.error == QJsonParseError::NoError, qPrintable(e.errorString() + run.out));
        QCOMPARE(info["records"].toInt(), 3);
    }

    // A table's path with a backslash, a quote, a tab and "%1" comes back
    // from `info --json` through a JSON parser as it was.
    void pathReadBack()
    {
        const QString path = m_dir.filePath(QStringLiteral("a\\b \"c\"\t%1.db"));
        writeTable(path, mixedRows());
        const FlnRun run = runFln({"--locale", "ru_RU", "info", path, "--json"});
        QCOMPARE(run.code, 0);
        QJsonParseError e;
        const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8(), &e).object();
        QVERIFY2(e.error == QJsonParseError::NoError, qPrintable(e.errorString() + run.out));
        QCOMPARE(o["file"].toString(), path);
        QCOMPARE(o["records"].toInt(), 8);
    }

    // Control characters in a table's texts never reach the terminal: the
    // text form shows "�" where JSON escapes them.
    void controlCharactersShown()
    {
        const QString path = table(
            "control", {{QStringLiteral("\x1b[31mA\tB"), "15.03.2024", "23:58:00", "1,0", "2,0"},
                        {kOp, "15.03.2024", "23:59:00", "1,0", "2,0"}});
        FlnRun run = runFln({"--locale", "ru_RU", "summary", path});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(QStringLiteral("Режим «\uFFFD[31mA\uFFFDB»")),
                 qPrintable(run.out));
        for (QChar c : run.out)
            QVERIFY2(c.unicode() >= 0x20 || c == u'\n', qPrintable(run.out));
        run = runFln({"--locale", "ru_RU", "summary", path, "--json"});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(QStringLiteral("\"\\u001b[31mA\\u0009B\": 1")),
                 qPrintable(run.out));
    }

    void infoJson()
    {
        const FlnRun run =
            runFln({"--locale", "ru_RU", "info", table("mixed", mixedRows()), "--json"});
        QCOMPARE(run.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(o["records"].toInt(), 8);
        QCOMPARE(o["language_driver"].toInt(), 0xC9);
        QCOMPARE(o["fields"].toArray().size(), 8);
        QCOMPARE(o["fields"].toArray()[5].toObject()["name"].toString(), "T_1");
        // The footers: 3/6,1/9,5 and 0/3,5/7 (means rounded to tenths).
        QCOMPARE(o["footers"].toObject()["T1"].toObject()["mean"].toDouble(), 6.1);
        QCOMPARE(o["footers"].toObject()["T2"].toObject()["max"].toDouble(), 7.0);
    }
};

QTEST_GUILESS_MAIN(TestSummaryCli)
#include "tst_summary_cli.moc"
