// Minimum, rounded mean and maximum of the temperatures, and their footer texts.
#include "data/dbf_table.h"
#include "data/statistics.h"
#include "platform/app_error.h"
#include "tests/support/measurement_table.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const RegionalSettings kRu = RegionalSettings::russian();

using Rows = QList<QPair<QString, QString>>; // (T_1, T_2) texts

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_tableNo = 0;

    // An open table with one row per (T_1, T_2) pair.
    void makeTable(DbfTable& t, const Rows& rows)
    {
        QList<TestRow> table;
        qint64 n = 1;
        for (const auto& [t1, t2] : rows)
            table.append({.n = n++, .t1 = t1, .t2 = t2});
        const QString path = m_dir.filePath(QStringLiteral("s%1.db").arg(++m_tableNo));
        writeMeasurementTable(path, table);
        t.setTableFile(path);
        t.open();
    }

private slots:
    void roundedMean_data()
    {
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<QString>("mean");
        // 2.25 / 0.1 lies just below 22.5 once 0.1 is a double: the mean reads 2,2.
        QTest::newRow("2,2 and 2,3") << QList<double>{2.2, 2.3} << "2,2";
        QTest::newRow("10,0 and 10,1") << QList<double>{10.0, 10.1} << "10,1";
        QTest::newRow("-5,3 and -5,4") << QList<double>{-5.3, -5.4} << "-5,3";
        QTest::newRow("exact tenth") << QList<double>{1.5, 1.5, 1.5} << "1,5";
        QTest::newRow("thirds") << QList<double>{0.1, 0.1, 0.2} << "0,1";
        QTest::newRow("zero") << QList<double>{-0.5, 0.5} << "0";
    }
    void roundedMean()
    {
        QFETCH(QList<double>, values);
        QFETCH(QString, mean);
        double sum = 0;
        for (double v : values)
            sum += v;
        QCOMPARE(floatToText(::roundedMean(sum, values.size()), kRu), mean);
    }

    void texts_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("23.5") << 23.5 << "23,5";
        QTest::newRow("20") << 20.0 << "20";
        QTest::newRow("-5.3") << -5.3 << "-5,3";
        QTest::newRow("0") << 0.0 << "0";
        QTest::newRow("327.7") << 327.7 << "327,7";
    }
    void texts()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(floatToText(value, kRu), text);
    }

    void footer() { QCOMPARE(footerText(18.2, 21.7, 25.1, kRu), "18,2/21,7/25,1"); }

    void tableStatistics_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("t1");
        QTest::addColumn<QString>("t2");
        QTest::newRow("one row") << Rows{{" 5,3", "-0,1"}} << "5,3/5,3/5,3"
                                 << "-0,1/-0,1/-0,1";
        QTest::newRow("10,0 and 10,1") << Rows{{"10,0", "0,0"}, {"10,1", "0,0"}} << "10/10,1/10,1"
                                       << "0/0/0";
        QTest::newRow("min and max in the middle")
            << Rows{{"20,0", " 1,0"}, {"-12,0", " 3,0"}, {"25,1", " 2,0"}, {"21,7", " 2,0"}}
            << "-12/13,7/25,1"
            << "1/2/3";
    }
    void tableStatistics()
    {
        QFETCH(Rows, rows);
        QFETCH(QString, t1);
        QFETCH(QString, t2);
        DbfTable t;
        makeTable(t, rows);
        t.last();
        TableStatistics s;
        QCOMPARE(find_mma(t, s, kRu), rows.size());
        QCOMPARE(footerT1(s, kRu), t1);
        QCOMPARE(footerT2(s, kRu), t2);
        if (rows.size() > 1)
            QCOMPARE(t.position(), 0); // back on the first row
    }

    void emptyTableKeepsTheStatistics()
    {
        DbfTable t;
        makeTable(t, {});
        TableStatistics s;
        s.t1Min = 1;
        s.t1Mean = 2;
        s.t1Max = 3;
        QCOMPARE(find_mma(t, s, kRu), 0);
        QCOMPARE(footerT1(s, kRu), "1/2/3");
    }

    void textThatDoesNotConvert()
    {
        DbfTable t;
        makeTable(t, {{"1,0", "1,0"}, {"0.5", "1,0"}, {"3,0", "1,0"}});
        TableStatistics s;
        s.t1Mean = 7;
        try {
            find_mma(t, s, kRu);
            QFAIL("'0.5' converted under a comma separator");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), "'0.5' is not a valid floating point value");
        }
        QCOMPARE(s.t1Mean, 7.0); // no partial sum left standing in for the mean

        DbfTable empty;
        makeTable(empty, {{"1,0", "1,0"}, {"", "1,0"}});
        try {
            find_mma(empty, s, kRu);
            QFAIL("an empty temperature converted");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), "'' is not a valid floating point value");
        }
    }

    void selection()
    {
        const TableStatistics s = selectionStatistics({{"-5,4", "10,0", "01.07.2007", "12:00:00"},
                                                       {"-5,3", "10,1", "02.07.2007", "12:00:00"}},
                                                      kRu);
        QCOMPARE(footerT1(s, kRu), "-5,4/-5,3/-5,3");
        QCOMPARE(footerT2(s, kRu), "10/10,1/10,1");
        QVERIFY_THROWS_EXCEPTION(AppError,
                                 selectionStatistics({{"1,0", "x"}, {"1,0", "1,0"}}, kRu));
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
