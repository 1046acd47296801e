// Decoding the instrument's archive image into measurement rows.
#include "data/archive_decoding.h"
#include "data/dbf_table.h"
#include "platform/app_error.h"
#include "tests/support/archive_builder.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const RegionalSettings kRu = RegionalSettings::russian();

struct Row
{
    qint64 n;
    QString mode;
    qint64 enCh;
    QString t1, t2, date, time, comment;
};

QList<Row> readRows(DbfTable& t)
{
    QList<Row> rows;
    for (t.first(); !t.eof(); t.next())
        rows.append({t.integer("N").value_or(-1), t.text("MODE"), t.integer("EN_CH").value_or(-1),
                     t.text("T_1"), t.text("T_2"), t.text("DATE"), t.text("TIME"),
                     t.text("COMMENT")});
    return rows;
}

// 12:00:00 on the given day of July 2007, with T1 = day degrees.
ArchiveRecord at(int day, int hour = 12, int minute = 0, int second = 0)
{
    ArchiveRecord r;
    r.flags = 0x01;
    r.t1 = static_cast<std::uint16_t>(day * 100);
    r.t2 = 0;
    r.second = second;
    r.minute = minute;
    r.hour = hour;
    r.day = day;
    r.month = 7;
    r.year = 7;
    return r;
}

} // namespace

class TestArchiveDecoding : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_tableNo = 0;

    // A fresh, open, empty measurement table.
    void newTable(DbfTable& t)
    {
        t.setTableFile(m_dir.filePath(QStringLiteral("t%1.db").arg(++m_tableNo)));
        t.create();
        t.open();
    }

private slots:
    void temperature_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<QChar>("separator"); // the regional decimal separator
        QTest::addColumn<QString>("text");
        QTest::newRow("2345 rounds up") << 2345 << QChar(u',') << "23,5";
        QTest::newRow("2344 rounds down") << 2344 << QChar(u',') << "23,4";
        QTest::newRow("500 padded to four") << 500 << QChar(u',') << " 5,0";
        QTest::newRow("zero") << 0 << QChar(u',') << "0,0";
        QTest::newRow("4 hundredths") << 4 << QChar(u',') << "0,0";
        QTest::newRow("minus one hundredth is zero") << 65535 << QChar(u',') << "0,0";
        QTest::newRow("minus five hundredths") << 65531 << QChar(u',') << "-0,1";
        QTest::newRow("largest positive") << 32767 << QChar(u',') << "327,7";
        QTest::newRow("largest negative") << 32768 << QChar(u',') << "-327,7";
        QTest::newRow("minus twelve") << 65536 - 1200 << QChar(u',') << "-12,0";
        // Under a Russian C library locale too, a point where the settings say so.
        QTest::newRow("2345, point") << 2345 << QChar(u'.') << "23.5";
        QTest::newRow("500, point") << 500 << QChar(u'.') << " 5.0";
        QTest::newRow("32768, point") << 32768 << QChar(u'.') << "-327.7";
    }
    void temperature()
    {
        QFETCH(int, raw);
        QFETCH(QChar, separator);
        QFETCH(QString, text);
        ArchiveImage image;
        image.bytes[10] = raw & 0xFF;
        image.bytes[11] = raw >> 8;
        QCOMPARE(bytes2word(image, 10), raw);
        RegionalSettings rs = kRu;
        rs.decimalSeparator = separator;
        QCOMPARE(temperatureText(bytes2temp(image, 10), rs), text);
    }

    void timeAndDate_data()
    {
        QTest::addColumn<QList<int>>("bytes"); // second, minute, hour, day, month, year
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("date");
        QTest::newRow("ordinary") << QList<int>{9, 30, 14, 5, 7, 7} << "14:30:09"
                                  << "05.07.2007";
        QTest::newRow("hour 25, day 0, month 13") << QList<int>{5, 4, 25, 0, 13, 7} << "00:04:05"
                                                  << "01.01.2007";
        QTest::newRow("minute 60, day 32, year 255")
            << QList<int>{59, 60, 23, 32, 2, 255} << "23:00:59"
            << "01.02.2255";
        QTest::newRow("second 60, day 31, month 12")
            << QList<int>{60, 0, 0, 31, 12, 0} << "00:00:00"
            << "31.12.2000";
    }
    void timeAndDate()
    {
        QFETCH(QList<int>, bytes);
        QFETCH(QString, time);
        QFETCH(QString, date);
        ArchiveImage image;
        for (int i = 0; i < 6; ++i)
            image.bytes[100 + i] = static_cast<std::uint8_t>(bytes[i]);
        QCOMPARE(bytes2time(image, 100), time);
        QCOMPARE(bytes2date(image, 103), date);
    }

    void offsetsPastTheImageAreRangeErrors()
    {
        ArchiveImage image;
        QCOMPARE(bytes2word(image, ArchiveImage::kSize - 2), 0);
        QVERIFY_THROWS_EXCEPTION(RangeError, bytes2word(image, ArchiveImage::kSize - 1));
        QVERIFY_THROWS_EXCEPTION(RangeError, bytes2time(image, ArchiveImage::kSize - 2));
        QVERIFY_THROWS_EXCEPTION(RangeError, bytes2date(image, -1));
    }

    void secondsCount()
    {
        // 1 January 2000 is day 730120 when 1 January of year 1 is day 1.
        QCOMPARE(str2sec("01.01.2000", "00:00:01", kRu), 730120LL * 86400 + 1);
        // The texts are written day first whatever the user's date order is.
        const RegionalSettings us = RegionalSettings::fromName("en_US");
        QCOMPARE(str2sec("13.02.2000", "00:00:00", us), str2sec("13.02.2000", "00:00:00", kRu));
        QVERIFY(str2sec("31.12.2007", "23:59:59", kRu) < str2sec("01.01.2008", "00:00:00", kRu));
        try {
            str2sec("30.02.2007", "10:00:00", kRu);
            QFAIL("30 February was accepted");
        } catch (const AppError& e) {
            QCOMPARE(e.text(), "'30.02.2007 10:00:00' is not a valid date and time");
        }
    }

    void newTableTakesEveryRecord()
    {
        ArchiveRecord a = at(3, 25, 4, 5); // hour 25 becomes 00
        a.flags = 0x21;
        a.t1 = 2345;
        a.t2 = 65531;
        ArchiveRecord b = at(4);
        b.flags = 0xDF;
        b.t1 = 500;
        b.t2 = 0;
        b.day = 0; // becomes 01
        b.month = 13;
        const ArchiveImage image = makeArchive({a, b});

        DbfTable t;
        newTable(t);
        QCOMPARE(flash2fln01(t, image, kRu, false), std::optional<int>(2));
        const QList<Row> rows = readRows(t);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].n, 1);
        QCOMPARE(rows[0].mode, "Наблюдения");
        QCOMPARE(rows[0].enCh, 1);
        QCOMPARE(rows[0].t1, "23,5");
        QCOMPARE(rows[0].t2, "-0,1");
        QCOMPARE(rows[0].time, "00:04:05");
        QCOMPARE(rows[0].date, "03.07.2007");
        QCOMPARE(rows[0].comment, QString());
        QCOMPARE(rows[1].n, 2);
        QCOMPARE(rows[1].mode, "Оперативный");
        QCOMPARE(rows[1].enCh, 3);
        QCOMPARE(rows[1].t1.trimmed(),
                 "5,0"); // stored " 5,0"; how trailing blanks read is the table's
        QCOMPARE(rows[1].t2, "0,0");
        QCOMPARE(rows[1].date, "01.01.2007");
    }

    void append_data()
    {
        // Table rows (by day) already present, archive records (by day),
        // then the N values and T1 days expected to be added.
        QTest::addColumn<QList<int>>("tableDays");
        QTest::addColumn<QList<int>>("archiveDays");
        QTest::addColumn<QList<int>>("addedN");
        QTest::addColumn<QList<int>>("addedDays");
        QTest::newRow("empty table takes all, N from 1")
            << QList<int>{} << QList<int>{1, 2} << QList<int>{1, 2} << QList<int>{1, 2};
        QTest::newRow("only newer ones")
            << QList<int>{1, 2} << QList<int>{1, 2, 3, 4} << QList<int>{3, 4} << QList<int>{3, 4};
        QTest::newRow("same time is not newer")
            << QList<int>{5} << QList<int>{5} << QList<int>{} << QList<int>{};
        QTest::newRow("nothing newer")
            << QList<int>{5} << QList<int>{1, 2, 3} << QList<int>{} << QList<int>{};
        QTest::newRow("older after the first newer one go in too")
            << QList<int>{5} << QList<int>{4, 6, 2, 7} << QList<int>{2, 3, 4}
            << QList<int>{6, 2, 7};
        QTest::newRow("empty archive")
            << QList<int>{5} << QList<int>{} << QList<int>{} << QList<int>{};
    }
    void append()
    {
        QFETCH(QList<int>, tableDays);
        QFETCH(QList<int>, archiveDays);
        QFETCH(QList<int>, addedN);
        QFETCH(QList<int>, addedDays);

        DbfTable t;
        newTable(t);
        ArchiveImage before;
        for (int i = 0; i < tableDays.size(); ++i)
            putRecord(before, i, at(tableDays[i]));
        before.bytes[0] = tableDays.size();
        before.decodedLength = 2 + 11 * tableDays.size();
        flash2fln01(t, before, kRu, false);

        ArchiveImage image;
        for (int i = 0; i < archiveDays.size(); ++i)
            putRecord(image, i, at(archiveDays[i]));
        image.bytes[0] = archiveDays.size();
        image.decodedLength = 2 + 11 * archiveDays.size();

        QCOMPARE(flash2fln01(t, image, kRu, true), std::optional<int>(addedN.size()));
        const QList<Row> rows = readRows(t);
        QCOMPARE(rows.size(), tableDays.size() + addedN.size());
        for (int i = 0; i < addedN.size(); ++i) {
            const Row& r = rows[tableDays.size() + i];
            QCOMPARE(r.n, addedN[i]);
            QCOMPARE(r.date, QStringLiteral("%1.07.2007").arg(addedDays[i], 2, 10, QChar('0')));
        }
    }

    void appendComparesTheTimeToTheSecond()
    {
        DbfTable t;
        newTable(t);
        flash2fln01(t, makeArchive({at(5, 10, 20, 30)}), kRu, false);
        const auto added = flash2fln01(
            t, makeArchive({at(5, 10, 20, 29), at(5, 10, 20, 30), at(5, 10, 20, 31)}), kRu, true);
        QCOMPARE(added, std::optional<int>(1));
        t.last();
        QCOMPARE(t.text("TIME"), "10:20:31");
        QCOMPARE(t.integer("N"), std::optional<qint64>(3));
    }

    void appendStopsOnAnImpossibleDateBeforeAnyRow()
    {
        DbfTable t;
        newTable(t);
        flash2fln01(t, makeArchive({at(5)}), kRu, false);
        ArchiveRecord bad = at(30);
        bad.month = 2; // 30 February
        QVERIFY_THROWS_EXCEPTION(AppError, flash2fln01(t, makeArchive({bad, at(6)}), kRu, true));
        QCOMPARE(t.rowCount(), 1);
    }

    void countBeyondTheDecodedBytesWritesNothing()
    {
        DbfTable t;
        newTable(t);
        ArchiveImage image = makeArchive({at(1), at(2), at(3)});
        image.decodedLength = 2 + 11 * 2 + 5; // the third record was never received
        try {
            flash2fln01(t, image, kRu, false);
            QFAIL("an incomplete archive was accepted");
        } catch (const AppError& e) {
            QVERIFY(e.text().contains("3"));
        }
        QCOMPARE(t.rowCount(), 0);

        // A count the image cannot hold at all is a range error, still before any row.
        image.bytes[0] = 5958 & 0xFF;
        image.bytes[1] = 5958 >> 8;
        image.decodedLength = 65535;
        QVERIFY_THROWS_EXCEPTION(RangeError, flash2fln01(t, image, kRu, false));
        QCOMPARE(t.rowCount(), 0);
    }

    void largestArchive()
    {
        ArchiveImage image;
        for (int i = 0; i < ArchiveImage::kMaxRecords; ++i)
            putRecord(image, i, at(1 + i % 28));
        image.bytes[0] = ArchiveImage::kMaxRecords & 0xFF;
        image.bytes[1] = ArchiveImage::kMaxRecords >> 8;
        image.decodedLength = 2 + 11 * ArchiveImage::kMaxRecords;
        DbfTable t;
        newTable(t);
        QCOMPARE(flash2fln01(t, image, kRu, false), std::optional<int>(5957));
        t.last();
        QCOMPARE(t.integer("N"), std::optional<qint64>(5957));
    }

    void closedTableIsLeftAlone()
    {
        DbfTable t;
        QCOMPARE(flash2fln01(t, makeArchive({at(1)}), kRu, false), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestArchiveDecoding)
#include "tst_archive_decoding.moc"
