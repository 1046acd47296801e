// The chart's arithmetic: points from captured rows and the temperature axis window.
#include "data/chart_data.h"
#include "platform/app_error.h"

#include <QtTest>

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

    void legend()
    {
        QCOMPARE(legendTitle("T1, °C", "18,2/21,7/25,1"), QString("T1, °C  18,2/21,7/25,1"));
        QCOMPARE(legendTitle("T2, °C", ""), QString("T2, °C  "));
    }
};

QTEST_GUILESS_MAIN(TestChartData)
#include "tst_chart_data.moc"
