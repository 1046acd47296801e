// A period of moments: the texts a user gives its ends in, and the rows of a
// table that lie in it, in the order the table is shown in. Expected rows are
// read off the hand-made table below.
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/table_period.h"
#include "platform/app_error.h"
#include "tests/support/measurement_table.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const RegionalSettings kRu = RegionalSettings::russian();

qint64 at(int y, int mo, int d, int h, int mi, int s = 0)
{
    return momentOf(QDate(y, mo, d), QTime(h, mi, s));
}

// Records 1 to 8 in file order: a second before 08:00, 08:00 itself, a gap
// from 08:00:30 to 12:00, a clock step back to 11:00, the next day's
// midnight, a deleted record at 08:00 and the last one at 18:00.
QList<TestRow> periodRows()
{
    const auto row = [](qint64 n, const char* date, const char* time, const char* t1,
                        bool deleted = false) {
        return TestRow{.n = n,
                       .mode = QStringLiteral("Оперативный"),
                       .enCh = 3,
                       .date = QLatin1String(date),
                       .time = QLatin1String(time),
                       .t1 = QLatin1String(t1),
                       .t2 = QStringLiteral(" 0,0"),
                       .deleted = deleted};
    };
    return {
        row(1, "15.03.2024", "07:59:59", " 1,0"),       row(2, "15.03.2024", "08:00:00", " 5,0"),
        row(3, "15.03.2024", "08:00:30", " 3,0"),       row(4, "15.03.2024", "12:00:00", " 9,0"),
        row(5, "15.03.2024", "11:00:00", " 2,0"),       row(6, "16.03.2024", "00:00:00", " 7,0"),
        row(7, "16.03.2024", "08:00:00", " 4,0", true), row(8, "16.03.2024", "18:00:00", " 6,0")};
}

using Records = QList<quint32>;

} // namespace

Q_DECLARE_METATYPE(Period)

class TestTablePeriod : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_table;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_table = m_dir.filePath(QStringLiteral("period.db"));
        writeMeasurementTable(m_table, periodRows(), 0xC9);
    }

    void momentText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected"); // invalid: refused
        const QDateTime eight(QDate(2024, 3, 15), QTime(8, 0), Qt::UTC);
        const QDateTime none;
        QTest::newRow("ISO") << "2024-03-15T08:00" << eight;
        QTest::newRow("ISO, seconds") << "2024-03-15T08:00:30" << eight.addSecs(30);
        QTest::newRow("ISO, blank for T") << "2024-03-15 08:00" << eight;
        QTest::newRow("dotted") << "15.03.2024 08:00" << eight;
        QTest::newRow("dotted, seconds")
            << "15.03.2024 23:59:59" << QDateTime(QDate(2024, 3, 15), QTime(23, 59, 59), Qt::UTC);
        QTest::newRow("blanks around") << "  15.03.2024 08:00 " << eight;
        QTest::newRow("leap day") << "2024-02-29T00:00"
                                  << QDateTime(QDate(2024, 2, 29), QTime(0, 0), Qt::UTC);
        QTest::newRow("empty") << "" << none;
        QTest::newRow("date alone") << "2024-03-15" << none;
        QTest::newRow("dotted with T") << "15.03.2024T08:00" << none;
        QTest::newRow("two-digit year") << "15.03.24 08:00" << none;
        QTest::newRow("slashes") << "15/03/2024 08:00" << none;
        QTest::newRow("one-digit hour") << "2024-03-15T8:00" << none;
        QTest::newRow("month 13") << "2024-13-01T00:00" << none;
        QTest::newRow("31 February") << "31.02.2024 08:00" << none;
        QTest::newRow("not a leap year") << "2023-02-29T08:00" << none;
        QTest::newRow("hour 24") << "2024-03-15T24:00" << none;
        QTest::newRow("second 60") << "2024-03-15T08:00:60" << none;
        QTest::newRow("zone") << "2024-03-15T08:00Z" << none;
        QTest::newRow("fraction") << "2024-03-15T08:00:00.5" << none;
        QTest::newRow("words") << "yesterday" << none;
    }

    void momentText()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const std::optional<RecordMoment> m = readMomentText(text);
        QCOMPARE(m.has_value(), expected.isValid());
        if (m)
            QCOMPARE(momentDateTime(momentOf(*m)), expected);
    }

    void records_data()
    {
        QTest::addColumn<Period>("period");
        QTest::addColumn<Records>("expected");
        QTest::newRow("edges included")
            << Period{at(2024, 3, 15, 8, 0), at(2024, 3, 15, 12, 0)} << Records{2, 3, 4, 5};
        QTest::newRow("inside a gap")
            << Period{at(2024, 3, 15, 9, 0), at(2024, 3, 15, 10, 30)} << Records{};
        QTest::newRow("one moment")
            << Period{at(2024, 3, 15, 8, 0, 30), at(2024, 3, 15, 8, 0, 30)} << Records{3};
        QTest::newRow("the clock step back alone")
            << Period{at(2024, 3, 15, 10, 0), at(2024, 3, 15, 11, 30)} << Records{5};
        QTest::newRow("no start") << Period{std::nullopt, at(2024, 3, 15, 8, 0)} << Records{1, 2};
        QTest::newRow("no end, past a deleted record")
            << Period{at(2024, 3, 16, 0, 0), std::nullopt} << Records{6, 8};
        QTest::newRow("no ends") << Period{} << Records{1, 2, 3, 4, 5, 6, 8};
        QTest::newRow("before the table")
            << Period{std::nullopt, at(2024, 3, 15, 7, 59, 58)} << Records{};
        QTest::newRow("after the table")
            << Period{at(2024, 3, 16, 18, 0, 1), std::nullopt} << Records{};
        QTest::newRow("from after to")
            << Period{at(2024, 3, 15, 12, 0), at(2024, 3, 15, 8, 0)} << Records{};
    }

    void records()
    {
        QFETCH(Period, period);
        QFETCH(Records, expected);
        DbfTable table;
        table.setTableFile(m_table);
        table.open(DbfTable::Access::ReadOnly);
        QCOMPARE(periodRecords(table, period, kRu), expected);
    }

    // The order the table is shown in: T_1 falling.
    void recordsInSortOrder()
    {
        DbfTable table;
        table.setTableFile(m_table);
        table.open(DbfTable::Access::ReadOnly);
        table.sortForReading(MeasurementSchema::sortExpression(MeasurementSchema::kT1), true);
        QCOMPARE(periodRecords(table, Period{at(2024, 3, 15, 8, 0), at(2024, 3, 16, 0, 0)}, kRu),
                 (Records{4, 6, 2, 3, 5}));
    }

    // A DATE that is no date cannot be said to lie inside or outside: the
    // general conversion's error, as the summary reports it.
    void textThatIsNoMoment()
    {
        const QString path = m_dir.filePath(QStringLiteral("bad.db"));
        QList<TestRow> rows = periodRows();
        rows[4].date = QStringLiteral("15.13.2024");
        writeMeasurementTable(path, rows, 0xC9);
        DbfTable table;
        table.setTableFile(path);
        table.open(DbfTable::Access::ReadOnly);
        try {
            periodRecords(table, Period{at(2024, 3, 15, 8, 0), std::nullopt}, kRu);
            QFAIL("no error");
        } catch (const AppError& e) {
            QCOMPARE(e.text(),
                     QStringLiteral("'15.13.2024 11:00:00' is not a valid date and time"));
        }
    }

    void texts()
    {
        const Period both{at(2024, 3, 15, 8, 0), at(2024, 3, 16, 18, 0, 5)};
        QCOMPARE(emptyPeriodText(both, kRu),
                 QStringLiteral("В период с 15.03.2024 08:00:00 по 16.03.2024 18:00:05 не "
                                "попала ни одна запись"));
        QCOMPARE(periodText(Period{std::nullopt, at(2024, 3, 15, 8, 0)}, kRu),
                 QStringLiteral("по 15.03.2024 08:00:00"));
    }
};

QTEST_GUILESS_MAIN(TestTablePeriod)
#include "tst_table_period.moc"
