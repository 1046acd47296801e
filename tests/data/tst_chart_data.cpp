// The chart's arithmetic: points from captured rows and the temperature axis window.
#include "data/chart_data.h"
#include "platform/app_error.h"

#include <QtTest>


#include <cfloat>
#include <ctime>

namespace {

const RegionalSettings kRu = RegionalSettings::russian();

qint64 local(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s)).toMSecsSinceEpoch();
}

CapturedRow row(const QString& t1, const QString& t2, const QString& date = "01.02.2024",
                const QString& time = "10:00:00")
{
    return {t1, t2, date, time};
}

double utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return double(QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC)
                      .toMSecsSinceEpoch());
}

} // namespace

Q_DECLARE_METATYPE(CurveChoice)
Q_DECLARE_METATYPE(CapturedRow)
Q_DECLARE_METATYPE(YRange)
Q_DECLARE_METATYPE(AxisWindow)

class TestChartData : public QObject
{
    Q_OBJECT

private slots:
    void axisWindow_data()
    {
        QTest::addColumn<CurveChoice>("choice");
        QTest::addColumn<YRange>("t1");
        QTest::addColumn<YRange>("t2");
        QTest::addColumn<AxisWindow>("expected");
        const CurveChoice only1{true, false}, only2{false, true}, both{true, true};
        const AxisWindow automatic{true, 0, 0};
        QTest::newRow("empty table") << only1 << YRange{} << YRange{} << AxisWindow{false, -5, 5};
        QTest::newRow("20..24") << only1 << YRange{20, 24} << YRange{} << AxisWindow{false, 17, 27};
        QTest::newRow("-22..-18") << only2 << YRange{} << YRange{-22, -18}
                                  << AxisWindow{false, -25, -15};
        QTest::newRow("span exactly 10") << only1 << YRange{15, 25} << YRange{} << automatic;
        QTest::newRow("span above 10") << only1 << YRange{-3.5, 30.1} << YRange{} << automatic;
        QTest::newRow("both, 0..5 and 20..25")
            << both << YRange{0, 5} << YRange{20, 25} << automatic;
        QTest::newRow("both, 20..23 and 21..24")
            << both << YRange{20, 23} << YRange{21, 24} << AxisWindow{false, 17, 27};
        QTest::newRow("unchosen curve ignored")
            << only2 << YRange{-40, 40} << YRange{20, 24} << AxisWindow{false, 17, 27};
        QTest::newRow("one value")
            << only1 << YRange{21.5, 21.5} << YRange{} << AxisWindow{false, 16.5, 26.5};
    }
    void axisWindow()
    {
        QFETCH(CurveChoice, choice);
        QFETCH(YRange, t1);
        QFETCH(YRange, t2);
        QFETCH(AxisWindow, expected);
        const AxisWindow w = leftAxisWindow(choice, t1, t2);
        QCOMPARE(w.automatic, expected.automatic);
        if (!expected.automatic) {
            QCOMPARE(w.min, expected.min);
            QCOMPARE(w.max, expected.max);
        }
    }

    void pointsFollowTheRows()
    {
        // Out of time order, two rows at one moment, an empty T_2.
        const QList<CapturedRow> rows = {
            row("21,5", "-3,0", "02.02.2024", "00:00:10"),
            row("20,0", "", "01.02.2024", "23:59:59"),
            row("22,0", "4,5", "02.02.2024", "00:00:10"),
        };
        const ChartPoints p = buildChartPoints(rows, {true, true}, kRu);
        const double a = local(2024, 2, 1, 23, 59, 59), b = local(2024, 2, 2, 0, 0, 10);
        QCOMPARE(p.t1, (QList<QPointF>{{a, 20.0}, {b, 21.5}, {b, 22.0}}));
        QCOMPARE(p.t2, (QList<QPointF>{{a, 0.0}, {b, -3.0}, {b, 4.5}}));
        QCOMPARE(yRange(p.t2).min, -3.0);
        QCOMPARE(yRange(p.t2).max, 4.5);
        QCOMPARE(yRange({}).max, 0.0);
    }

    void onlyChosenCurvesGetPoints()
    {
        const ChartPoints p = buildChartPoints({row("1,0", "2,0")}, {false, true}, kRu);
        QVERIFY(p.t1.isEmpty());
        QCOMPARE(p.t2.size(), 1);
    }

    void conversionErrors_data()
    {
        QTest::addColumn<CapturedRow>("captured");
        QTest::addColumn<CurveChoice>("choice");
        QTest::addColumn<QString>("error");
        QTest::newRow("no such day") << row("1,0", "1,0", "32.01.2024") << CurveChoice{true, true}
                                     << "'32.01.2024 10:00:00' is not a valid date and time";
        QTest::newRow("no such hour")
            << row("1,0", "1,0", "01.01.2024", "24:00:00") << CurveChoice{true, false}
            << "'01.01.2024 24:00:00' is not a valid date and time";
        QTest::newRow("bad date, T2 only")
            << row("1,0", "1,0", "1-1-2024") << CurveChoice{false, true}
            << "'1-1-2024 10:00:00' is not a valid date and time";
        QTest::newRow("point in T_1") << row("21.5", "1,0") << CurveChoice{true, true}
                                      << "'21.5' is not a valid floating point value";
        QTest::newRow("bad T_2, T1 only") << row("1,0", "abc") << CurveChoice{true, false}
                                          << "'abc' is not a valid floating point value";
        QTest::newRow("blank T_1 is no number") << row("  ", "1,0") << CurveChoice{false, true}
                                                << "'  ' is not a valid floating point value";
    }
    void conversionErrors()
    {
        QFETCH(CapturedRow, captured);
        QFETCH(CurveChoice, choice);
        QFETCH(QString, error);
        try {
            buildChartPoints({row("5,0", "5,0"), captured}, choice, kRu);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), error);
        }
    }

    // The quick reading of the table's own texts gives what the general
    // conversion gives, and other texts still go the general way.
    void temperatures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("tenths") << "23,5" << 23.5;
        QTest::newRow("negative") << "-22,1" << -22.1;
        QTest::newRow("width 6") << "-100,3" << -100.3;
        QTest::newRow("blanks") << "  7,2 " << 7.2;
        QTest::newRow("whole") << "20" << 20.0;
        QTest::newRow("hundredths") << "0,25" << 0.25;
        QTest::newRow("plus") << "+1,5" << 1.5;
        QTest::newRow("empty") << "" << 0.0;
    }
    void temperatures()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(CapturedRowConverter(kRu).temperature(text), value);
        if (!text.isEmpty())
            QCOMPARE(CapturedRowConverter(kRu).temperature(text), textToFloat(text, kRu));
    }

    void otherRegionalSettings()
    {
        const RegionalSettings us{u'.', RegionalSettings::DateOrder::MonthDayYear, u'/', u':'};
        const CapturedMeasurement m =
            convertCapturedRow({"21.5", "-0.5", "02/01/2024", "10:20:30"}, us);
        QCOMPARE(m.msecs, local(2024, 2, 1, 10, 20, 30));
        QCOMPARE(m.t1, 21.5);
        QCOMPARE(m.t2, -0.5);
        // The table's Russian texts do not convert under these settings.
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 convertCapturedRow({"0,0", "0.0", "02/01/2024", "10:20:30"}, us));
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 convertCapturedRow({"0.0", "0.0", "01.02.2024", "10:20:30"}, us));
    }

    // Moments are found by the hour: across the hours that a clock change
    // skips or repeats they are still the moments the general conversion gives.
    void momentsAcrossClockChanges_data()
    {
        QTest::addColumn<QString>("date");
        QTest::newRow("spring: 02:00 to 02:59 do not exist") << "31.03.2024";
        QTest::newRow("autumn: 02:00 to 02:59 twice") << "27.10.2024";
    }
    void momentsAcrossClockChanges()
    {
        QFETCH(QString, date);
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        CapturedRowConverter converter(kRu);
        for (int minutes = 0; minutes < 5 * 60; minutes += 20) {
            const QString time = QStringLiteral("%1:%2:07")
                                     .arg(minutes / 60, 2, 10, QChar(u'0'))
                                     .arg(minutes % 60, 2, 10, QChar(u'0'));
            const qint64 expected = textToDateTime(date + u' ' + time, kRu).toMSecsSinceEpoch();
            QCOMPARE(converter.moment(date, time), expected);
        }
        if (zone.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
    }

    // Whole degrees, 1, 2, 5 × 10^k, the smallest step that keeps the axis
    // within its room of labels, whatever the values.
    void axisLabelStep_data()
    {
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::addColumn<int>("room");
        QTest::addColumn<double>("step");
        QTest::newRow("window of 10") << 17.0 << 27.0 << 11 << 1.0;
        QTest::newRow("fits exactly") << 0.0 << 20.0 << 10 << 2.0;
        QTest::newRow("just over") << 0.0 << 21.0 << 10 << 5.0;
        QTest::newRow("hundred") << 0.0 << 100.0 << 10 << 10.0;
        QTest::newRow("99999 in a table at 20") << 20.0 << 99999.0 << 15 << 10000.0;
        QTest::newRow("both signs") << -99999.0 << 99999.0 << 20 << 10000.0;
        QTest::newRow("1e308") << 20.0 << 1e308 << 20 << 5e306;
        QTest::newRow("the whole double") << -1.7e308 << 1.7e308 << 40 << 1e307;
        QTest::newRow("tiny") << 0.0 << 1e-300 << 10 << 1.0;
        QTest::newRow("no room") << 0.0 << 3.0 << 0 << 5.0;
        QTest::newRow("room beyond the most") << 0.0 << 400.0 << 1000 << 10.0;
        // At 1e308 a degree is lost: the step keeps consecutive labels apart.
        QTest::newRow("equal at 1e308") << 1e308 << 1e308 << 20 << 2e294;
    }
    void axisLabelStep()
    {
        QFETCH(double, lo);
        QFETCH(double, hi);
        QFETCH(int, room);
        QFETCH(double, step);
        const double got = ::axisLabelStep(lo, hi, room);
        QCOMPARE(got, step);
        QVERIFY(hi / got - lo / got <= std::clamp(room, 1, kMostAxisLabels) + 1e-9);
        QVERIFY(hi + got != hi);
    }

    void distinctRange_data()
    {
        QTest::addColumn<double>("lo");
        QTest::addColumn<double>("hi");
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::newRow("apart") << 2.0 << 3.0 << 2.0 << 3.0;
        QTest::newRow("equal") << 20.0 << 20.0 << 19.0 << 21.0;
        QTest::newRow("equal at 1e308") << 1e308 << 1e308 << 1e308 - 1e299 << 1e308 + 1e299;
        QTest::newRow("too wide for a double")
            << -1.7e308 << 1.7e308 << -DBL_MAX / 4 << DBL_MAX / 4;
        QTest::newRow("equal at -1e300") << -1e300 << -1e300 << -1e300 - 1e291 << -1e300 + 1e291;
    }
    void distinctRange()
    {
        QFETCH(double, lo);
        QFETCH(double, hi);
        const YRange r = ::distinctRange(lo, hi);
        QTEST(r.min, "min");
        QTEST(r.max, "max");
        QVERIFY(r.max > r.min);
    }

    // Labels at round moments of one step, the smallest step of the list
    // that keeps them within their room, evenly spaced.
    void timeAxisTicks_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<int>("room");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QList<double>>("ticks");
        QTest::newRow("seconds") << utc(2026, 12, 1, 10, 0, 0, 200) << utc(2026, 12, 1, 10, 0, 3, 500)
                                 << 8 << 0
                                 << QList<double>{utc(2026, 12, 1, 10, 0, 1),
                                                  utc(2026, 12, 1, 10, 0, 2),
                                                  utc(2026, 12, 1, 10, 0, 3)};
        QTest::newRow("15 seconds") << utc(2026, 12, 1, 10, 0, 7) << utc(2026, 12, 1, 10, 1, 10)
                                    << 8 << 0
                                    << QList<double>{utc(2026, 12, 1, 10, 0, 15),
                                                     utc(2026, 12, 1, 10, 0, 30),
                                                     utc(2026, 12, 1, 10, 0, 45),
                                                     utc(2026, 12, 1, 10, 1, 0)};
        QList<double> minutes;
        for (int m = 0; m <= 7; ++m)
            minutes << utc(2026, 12, 1, 10, m);
        QTest::newRow("minutes") << utc(2026, 12, 1, 10, 0) << utc(2026, 12, 1, 10, 7, 13) << 8
                                 << 0 << minutes;
        QTest::newRow("5 minutes") << utc(2026, 12, 1, 10, 3) << utc(2026, 12, 1, 10, 29) << 7
                                   << 0
                                   << QList<double>{utc(2026, 12, 1, 10, 5),
                                                    utc(2026, 12, 1, 10, 10),
                                                    utc(2026, 12, 1, 10, 15),
                                                    utc(2026, 12, 1, 10, 20),
                                                    utc(2026, 12, 1, 10, 25)};
        QTest::newRow("30 minutes") << utc(2026, 12, 1, 10, 0) << utc(2026, 12, 1, 12, 0) << 6
                                    << 0
                                    << QList<double>{utc(2026, 12, 1, 10, 0),
                                                     utc(2026, 12, 1, 10, 30),
                                                     utc(2026, 12, 1, 11, 0),
                                                     utc(2026, 12, 1, 11, 30),
                                                     utc(2026, 12, 1, 12, 0)};
        // The moments of the read-out's complaint: 11:58:20 … 23:56:40.
        QTest::newRow("3 hours") << utc(2026, 12, 1, 11, 58, 20) << utc(2026, 12, 1, 23, 56, 40)
                                 << 8 << 0
                                 << QList<double>{utc(2026, 12, 1, 12), utc(2026, 12, 1, 15),
                                                  utc(2026, 12, 1, 18), utc(2026, 12, 1, 21)};
        // Hours and days are counted in local time: Moscow is 3 hours ahead.
        QTest::newRow("local 6 hours") << utc(2026, 12, 1, 0) << utc(2026, 12, 2, 0) << 6
                                       << 3 * 3600
                                       << QList<double>{utc(2026, 12, 1, 3), utc(2026, 12, 1, 9),
                                                        utc(2026, 12, 1, 15),
                                                        utc(2026, 12, 1, 21)};
        QTest::newRow("local days") << utc(2026, 12, 1, 2) << utc(2026, 12, 5, 2) << 8 << 3 * 3600
                                    << QList<double>{utc(2026, 12, 1, 21), utc(2026, 12, 2, 21),
                                                     utc(2026, 12, 3, 21), utc(2026, 12, 4, 21)};
        // 1 December 2026 is a Tuesday: weeks begin on the Mondays after it.
        QTest::newRow("weeks") << utc(2026, 12, 1) << utc(2027, 1, 31) << 12 << 0
                               << QList<double>{utc(2026, 12, 7), utc(2026, 12, 14),
                                                utc(2026, 12, 21), utc(2026, 12, 28),
                                                utc(2027, 1, 4), utc(2027, 1, 11),
                                                utc(2027, 1, 18), utc(2027, 1, 25)};
        QTest::newRow("one moment") << utc(2026, 12, 1, 10) << utc(2026, 12, 1, 10) << 8 << 0
                                    << QList<double>{utc(2026, 12, 1, 10)};
        QTest::newRow("backwards") << utc(2026, 12, 1, 11) << utc(2026, 12, 1, 10) << 8 << 0
                                   << QList<double>{};
    }
    void timeAxisTicks()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(int, room);
        QFETCH(int, offset);
        QTEST(::timeAxisTicks(from, to, room, offset), "ticks");
    }

    // Years of measurements still get a handful of labels, evenly spaced.
    void timeAxisTicksOverYears()
    {
        const QList<double> t = ::timeAxisTicks(utc(2000, 1, 1), utc(2026, 1, 1), 10, 0);
        QVERIFY(!t.isEmpty() && t.size() <= 10);
        for (qsizetype i = 2; i < t.size(); ++i)
            QCOMPARE(t[i] - t[i - 1], t[1] - t[0]);
    }

    void legend()
    {
        QCOMPARE(legendTitle("T1, °C", "18,2/21,7/25,1"), QString("T1, °C  18,2/21,7/25,1"));
        QCOMPARE(legendTitle("T2, °C", ""), QString("T2, °C  "));
    }
};

QTEST_GUILESS_MAIN(TestChartData)
#include "tst_chart_data.moc"
