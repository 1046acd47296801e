// The analysis of a recording: interval, gaps, clock faults, extremes with
// their moments, mean, deviation, mean kinetic temperature, limits, days.
// Expected values are worked out by hand from the rows below.
#include "data/dbf_table.h"
#include "data/recording_summary.h"
#include "platform/app_error.h"
#include "tests/support/measurement_table.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

const RegionalSettings kRu = RegionalSettings::russian();

struct Row
{
    const char* mode;
    const char* date;
    const char* time;
    const char* t1;
    const char* t2;
};

const QString kOp = QStringLiteral("Оперативный");
const QString kObs = QStringLiteral("Наблюдения");

// In record order. Time order moves record 6 (a clock step back to 00:03)
// before record 5; records 7 and 8 share a moment. Two steps of 2 minutes
// in a 1-minute recording are gaps. T1 starts above 8,5 and ends below 3,5;
// T2 ends above 5,5.
const Row kRows[] = {
    {"Оперативный", "15.03.2024", "23:58:00", " 9,0", " 0,0"},
    {"Оперативный", "15.03.2024", "23:59:00", " 9,5", " 1,0"},
    {"Оперативный", "16.03.2024", "00:00:00", " 5,0", " 2,0"},
    {"Оперативный", "16.03.2024", "00:01:00", " 3,0", " 3,0"},
    {"Оперативный", "16.03.2024", "00:05:00", " 4,0", " 4,0"},
    {"Наблюдения", "16.03.2024", "00:03:00", " 6,0", " 5,0"},
    {"Наблюдения", "16.03.2024", "00:06:00", " 9,0", " 6,0"},
    {"Наблюдения", "16.03.2024", "00:06:00", " 3,0", " 7,0"},
};

qint64 at(const char* date, const char* time)
{
    return momentOf(QDate::fromString(QLatin1String(date), QStringLiteral("dd.MM.yyyy")),
                    QTime::fromString(QLatin1String(time), QStringLiteral("HH:mm:ss")));
}

SummaryOptions limits()
{
    SummaryOptions o;
    o.lower[0] = 3.5;
    o.upper[0] = 8.5;
    o.upper[1] = 5.5;
    return o;
}

} // namespace

class TestRecordingSummary : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_tableNo = 0;

    QString makeTable(const QList<Row>& rows)
    {
        const QString path = m_dir.filePath(QStringLiteral("r%1.db").arg(++m_tableNo));
        QList<TestRow> table;
        qint64 n = 1;
        for (const Row& r : rows)
            table.append({.n = n++,
                          .mode = QString::fromUtf8(r.mode),
                          .enCh = 3,
                          .date = QLatin1String(r.date),
                          .time = QLatin1String(r.time),
                          .t1 = QLatin1String(r.t1),
                          .t2 = QLatin1String(r.t2)});
        writeMeasurementTable(path, table);
        return path;
    }

    QList<Row> fixture() const { return QList<Row>(std::begin(kRows), std::end(kRows)); }

private slots:
    void meanKinetic_data()
    {
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<double>("mkt");
        QTest::newRow("20, 25, 30") << QList<double>{20, 25, 30} << 25.86;
        QTest::newRow("constant 5") << QList<double>{5, 5, 5, 5} << 5.0;
        QTest::newRow("one reading") << QList<double>{-18.5} << -18.5;
    }
    void meanKinetic()
    {
        QFETCH(QList<double>, values);
        QFETCH(double, mkt);
        const std::optional<double> m =
            meanKineticTemperature(std::vector<double>(values.cbegin(), values.cend()));
        QVERIFY(m);
        QCOMPARE(std::round(*m * 100) / 100, mkt);
        QVERIFY(!meanKineticTemperature({}));
        QVERIFY(!meanKineticTemperature(std::vector<double>{-300}));
    }

    void recording()
    {
        DbfTable t;
        t.setTableFile(makeTable(fixture()));
        t.open(DbfTable::Access::ReadOnly);
        const RecordingSummary s = summarizeTable(t, limits(), kRu);
        QCOMPARE(s.records, 8);
        QCOMPARE(*s.first, at("15.03.2024", "23:58:00"));
        QCOMPARE(*s.last, at("16.03.2024", "00:06:00"));
        QCOMPARE(s.span(), 480);
        QCOMPARE(s.interval, 60);
        QCOMPARE(s.modes.size(), 2);
        QCOMPARE(s.modes[0], std::make_pair(kOp, qint64(5)));
        QCOMPARE(s.modes[1], std::make_pair(kObs, qint64(3)));

        QCOMPARE(s.gaps.size(), 2);
        QCOMPARE(s.gaps[0].from, at("16.03.2024", "00:01:00"));
        QCOMPARE(s.gaps[0].seconds(), 120);
        QCOMPARE(s.gaps[1].from, at("16.03.2024", "00:03:00"));
        QCOMPARE(s.missingSeconds, 120);
        QCOMPARE(s.longestGap->from, at("16.03.2024", "00:01:00"));
        QCOMPARE(s.clockBack, 1);
        QCOMPARE(*s.firstClockBackAt, at("16.03.2024", "00:03:00"));
        QCOMPARE(s.equalMoments, 1);

        const ChannelSummary& c1 = s.channels[0];
        QCOMPARE(c1.count, 8);
        QCOMPARE(c1.min, 3.0);
        QCOMPARE(c1.minAt, at("16.03.2024", "00:01:00"));
        QCOMPARE(c1.max, 9.5);
        QCOMPARE(c1.maxAt, at("15.03.2024", "23:59:00"));
        QCOMPARE(c1.mean, 6.0625);
        QVERIFY(std::fabs(c1.stdev - std::sqrt(53.21875 / 8)) < 1e-12);
        // Above 8,5: 9,0 9,5 at the start, 9,0 at 00:06; below 3,5: 3,0 twice,
        // apart, the last one ending the recording.
        QCOMPARE(c1.above.readings, 3);
        QCOMPARE(c1.above.seconds, 180);
        QCOMPARE(c1.above.excursions, 2);
        QCOMPARE(*c1.above.firstAt, at("15.03.2024", "23:58:00"));
        QCOMPARE(*c1.above.longestAt, at("15.03.2024", "23:58:00"));
        QCOMPARE(c1.above.longestSeconds, 120);
        QCOMPARE(c1.below.readings, 2);
        QCOMPARE(c1.below.excursions, 2);
        QCOMPARE(*c1.below.firstAt, at("16.03.2024", "00:01:00"));
        QCOMPARE(c1.below.longestSeconds, 60);
        // Within 3,5..8,5: 5,0 4,0 6,0 of eight readings.
        QCOMPARE(*c1.withinReadings, 3);
        QCOMPARE(*c1.withinShare, 0.375);

        const ChannelSummary& c2 = s.channels[1];
        QCOMPARE(c2.mean, 3.5);
        QCOMPARE(c2.minAt, at("15.03.2024", "23:58:00"));
        QCOMPARE(c2.below.readings, 0);
        QVERIFY(!c2.below.firstAt);
        QCOMPARE(c2.above.readings, 2);
        QCOMPARE(c2.above.excursions, 1);
        QCOMPARE(*c2.above.firstAt, at("16.03.2024", "00:06:00"));
        QCOMPARE(c2.above.longestSeconds, 120);
        QCOMPARE(*c2.withinShare, 0.75); // at most 5,5: six of eight

        QCOMPARE(s.days.size(), 2);
        QCOMPARE(s.days[0].date, QDate(2024, 3, 15));
        QCOMPARE(s.days[0].records, 2);
        QCOMPARE(s.days[0].channels[0].mean, 9.25);
        QCOMPARE(s.days[0].channels[0].outSeconds, 120);
        QCOMPARE(s.days[1].records, 6);
        QCOMPARE(s.days[1].channels[0].min, 3.0);
        QCOMPARE(s.days[1].channels[0].mean, 5.0);
        QCOMPARE(s.days[1].channels[0].max, 9.0);
        QCOMPARE(s.days[1].channels[0].outSeconds, 180);
        QCOMPARE(s.days[1].channels[1].mean, 4.5);
        QCOMPARE(s.days[1].channels[1].outSeconds, 120);
    }

    // A clock step back is a matter of record order, not of the order the
    // rows are browsed in; a selection counts its own rows only.
    void orderAndSelection()
    {
        DbfTable t;
        t.setTableFile(makeTable(fixture()));
        t.open(DbfTable::Access::ReadOnly);
        t.sortForReading(QStringLiteral("T_1"), true);
        const RecordingSummary sorted = summarizeTable(t, limits(), kRu);
        QCOMPARE(sorted.clockBack, 1);
        QCOMPARE(sorted.equalMoments, 1);
        QCOMPARE(sorted.gaps.size(), 2);
        QCOMPARE(sorted.channels[0].above.excursions, 2);

        const RecordingSummary some = summarizeRecords(t, {6, 5, 4}, limits(), kRu);
        QCOMPARE(some.records, 3);
        QCOMPARE(some.clockBack, 1); // record 6 after record 5
        QCOMPARE(*some.first, at("16.03.2024", "00:01:00"));
        QCOMPARE(some.interval, 120);
        QCOMPARE(some.gaps.size(), 0);
        QCOMPARE(some.modes[0].second, 2);
        QCOMPARE(some.modes[1].second, 1);
    }

    void edges()
    {
        DbfTable t;
        t.setTableFile(makeTable({}));
        t.open(DbfTable::Access::ReadOnly);
        const RecordingSummary none = summarizeTable(t, limits(), kRu);
        QCOMPARE(none.records, 0);
        QVERIFY(!none.first);
        QVERIFY(none.days.isEmpty());
        t.close();

        t.setTableFile(makeTable({kRows[0]}));
        t.open(DbfTable::Access::ReadOnly);
        const RecordingSummary one = summarizeTable(t, limits(), kRu);
        QCOMPARE(one.records, 1);
        QCOMPARE(one.interval, 0);
        QCOMPARE(one.channels[0].stdev, 0.0);
        QCOMPARE(*one.channels[0].mkt, 9.0);
        QCOMPARE(one.channels[0].above.readings, 1);
        QCOMPARE(one.channels[0].above.seconds, 0); // no interval to count with
        QCOMPARE(one.days.size(), 1);
        QCOMPARE(*one.channels[0].withinShare, 0.0);
        // No limit on a channel: no share to give.
        const RecordingSummary unlimited = summarizeTable(t, {}, kRu);
        QVERIFY(!unlimited.channels[0].withinReadings);
        QVERIFY(!unlimited.channels[0].withinShare);
    }

    // The summary's edges, each pinned by one case: a step of exactly 1,5
    // intervals is no gap, one second more is; of two steps met equally
    // often the shorter is the interval; of equally long excursions the
    // first is the longest. Rows from 15.03.2024 23:58:00 on, T1 as given.
    void pinnedEdges_data()
    {
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<QStringList>("t1");
        QTest::addColumn<qint64>("interval");
        QTest::addColumn<int>("gaps");
        QTest::addColumn<qint64>("missing");
        QTest::addColumn<int>("longestExcursionRow"); // above 5,0; -1: none
        const QStringList cool(5, QStringLiteral("1,0"));
        QTest::newRow("90 s in a 60-s recording: no gap")
            << QList<int>{60, 60, 90, 60} << cool << qint64(60) << 0 << qint64(0) << -1;
        QTest::newRow("91 s in a 60-s recording: a gap of 31 s missing")
            << QList<int>{60, 60, 91, 60} << cool << qint64(60) << 1 << qint64(31) << -1;
        QTest::newRow("steps 60, 60, 120, 120: interval 60, two gaps")
            << QList<int>{60, 60, 120, 120} << cool << qint64(60) << 2 << qint64(120) << -1;
        QTest::newRow("steps 120, 120, 60, 60: the same")
            << QList<int>{120, 120, 60, 60} << cool << qint64(60) << 2 << qint64(120) << -1;
        QTest::newRow("two excursions of two readings: the first is the longest")
            << QList<int>{60, 60, 60, 60, 60, 60}
            << QStringList{"9,0", "9,0", "1,0", "9,0", "9,0", "1,0", "1,0"} << qint64(60) << 0
            << qint64(0) << 0;
        QTest::newRow("the longer second excursion")
            << QList<int>{60, 60, 60, 60, 60, 60}
            << QStringList{"9,0", "1,0", "9,0", "9,0", "1,0", "1,0", "1,0"} << qint64(60) << 0
            << qint64(0) << 2;
    }
    void pinnedEdges()
    {
        QFETCH(QList<int>, steps);
        QFETCH(QStringList, t1);
        QFETCH(qint64, interval);
        QFETCH(int, gaps);
        QFETCH(qint64, missing);
        QFETCH(int, longestExcursionRow);
        QDateTime moment(QDate(2024, 3, 15), QTime(23, 58), Qt::UTC);
        QList<QByteArray> texts; // kept for the rows' pointers
        QList<qint64> moments;
        for (qsizetype i = 0; i < t1.size(); ++i) {
            if (i > 0)
                moment = moment.addSecs(steps[i - 1]);
            texts << moment.toString("dd.MM.yyyy").toLatin1()
                  << moment.toString("HH:mm:ss").toLatin1() << t1[i].toLatin1();
            moments << momentOf(moment.date(), moment.time());
        }
        QList<Row> rows;
        for (qsizetype i = 0; i < t1.size(); ++i)
            rows.append({"Оперативный", texts[3 * i].constData(), texts[3 * i + 1].constData(),
                         texts[3 * i + 2].constData(), "0,0"});
        DbfTable t;
        t.setTableFile(makeTable(rows));
        t.open(DbfTable::Access::ReadOnly);
        SummaryOptions o;
        o.upper[0] = 5.0;
        const RecordingSummary s = summarizeTable(t, o, kRu);
        QCOMPARE(s.interval, interval);
        QCOMPARE(s.gaps.size(), gaps);
        QCOMPARE(s.missingSeconds, missing);
        const LimitSide& above = s.channels[0].above;
        if (longestExcursionRow < 0) {
            QVERIFY(!above.longestAt);
        } else {
            QCOMPARE(above.excursions, 2);
            QCOMPARE(*above.longestAt, moments[longestExcursionRow]);
        }
    }

    // Readings of 1e308 fit the six characters of a temperature: their sums
    // and squares must not overflow, and the mean kinetic temperature of
    // any readings lies between the coolest and the hottest.
    void hugeReadings()
    {
        DbfTable t;
        t.setTableFile(makeTable({{"Оперативный", "15.03.2024", "23:58:00", "1e308", "1e308"},
                                  {"Оперативный", "15.03.2024", "23:59:00", "1e308", "-1e308"},
                                  {"Оперативный", "16.03.2024", "00:00:00", "1e308", "1,0"}}));
        t.open(DbfTable::Access::ReadOnly);
        const RecordingSummary s = summarizeTable(t, {}, kRu);
        const ChannelSummary& c1 = s.channels[0];
        QCOMPARE(c1.mean, 1e308); // three equal readings
        QCOMPARE(c1.stdev, 0.0);
        QVERIFY(c1.mkt);
        QVERIFY(std::fabs(*c1.mkt / 1e308 - 1) < 1e-12);
        const ChannelSummary& c2 = s.channels[1];
        QCOMPARE(c2.mean, 1.0 / 3); // 1e308 − 1e308 + 1 over three
        // √(((1e308 − m)² + (−1e308 − m)² + (1 − m)²) / 3) = 1e308·√(2/3)
        QVERIFY(std::fabs(c2.stdev / (1e308 * std::sqrt(2.0 / 3)) - 1) < 1e-12);
        QVERIFY(!c2.mkt); // −1e308 °C is below absolute zero
        QCOMPARE(s.days.size(), 2);
        QCOMPARE(s.days[0].channels[0].mean, 1e308);
        QCOMPARE(s.days[0].channels[1].mean, 0.0);
        // Near absolute zero a reading's term vanishes beside a hot one's
        // (python3: 10000 / (10000 / 1273.15 + ln 2) − 273.15), and among
        // cold readings alone it must not vanish to nothing.
        QVERIFY(std::fabs(*meanKineticTemperature(std::vector<double>{-273.1, 1000}) -
                          896.7579263644574) < 1e-9);
        const std::optional<double> cold =
            meanKineticTemperature(std::vector<double>{-273.1, -273.1});
        QVERIFY(cold);
        QVERIFY(std::fabs(*cold + 273.1) < 1e-9);
    }

    void conversionErrors_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("t1");
        QTest::addColumn<QString>("t2");
        QTest::addColumn<QString>("error");
        QTest::newRow("point") << "16.03.2024"
                               << "5.5"
                               << "1,0"
                               << "'5.5' is not a valid floating point value";
        QTest::newRow("empty T_2") << "16.03.2024"
                                   << "5,5"
                                   << ""
                                   << "'' is not a valid floating point value";
        QTest::newRow("bad date") << "32.03.2024"
                                  << "x"
                                  << "1,0"
                                  << "'32.03.2024 00:00:00' is not a valid date and time";
    }
    void conversionErrors()
    {
        QFETCH(QString, date);
        QFETCH(QString, t1);
        QFETCH(QString, t2);
        QFETCH(QString, error);
        const QByteArray d = date.toLatin1(), a = t1.toLatin1(), b = t2.toLatin1();
        DbfTable t;
        t.setTableFile(makeTable(
            {kRows[0], {"Оперативный", d.constData(), "00:00:00", a.constData(), b.constData()}}));
        t.open(DbfTable::Access::ReadOnly);
        try {
            summarizeTable(t, {}, kRu);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), error);
        }
    }
};

QTEST_APPLESS_MAIN(TestRecordingSummary)
#include "tst_recording_summary.moc"
