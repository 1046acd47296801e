#include "data/sort_index.h"
#include "platform/app_error.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace {

// A small table in memory: flag, N(4), MODE C(11), DATE C(10), LONG C(120), D(8).
struct Table
{
    QList<DbfField> fields{
        {"N", 'N', 4, 0, 1, DbfField::Kind::SmallInt},
        {"MODE", 'C', 11, 0, 5, DbfField::Kind::Character},
        {"DATE", 'C', 10, 0, 16, DbfField::Kind::Character},
        {"LONG", 'C', 120, 0, 26, DbfField::Kind::Character},
        {"BORN", 'D', 8, 0, 146, DbfField::Kind::Other},
    };
    std::vector<QByteArray> records;

    QByteArray make(int n, const QString& mode, const QString& date, bool deleted = false) const
    {
        QStringEncoder cp1251("windows-1251");
        QByteArray r = deleted ? "*" : " ";
        r += QByteArray::number(n).rightJustified(4, ' ');
        r += QByteArray(cp1251.encode(mode)).leftJustified(11, ' ');
        r += date.toLatin1().leftJustified(10, ' ');
        r += QByteArray(128, ' ');
        return r;
    }
    void add(int n, const QString& mode, const QString& date, bool deleted = false)
    {
        records.push_back(make(n, mode, date, deleted));
    }
    RecordReader reader() const
    {
        return [this](quint32 first, quint32 count) {
            QByteArray out;
            for (quint32 i = first; i < first + count; ++i)
                out += records[i - 1];
            return out;
        };
    }
    quint32 count() const { return quint32(records.size()); }
};

// The fixture of the sorting cases: record 5 is deleted.
Table sample()
{
    Table t;
    t.add(1, "Оперативный", "31.01.2024");
    t.add(2, "Наблюдения", "01.02.2024");
    t.add(10, "Оперативный", "15.01.2024");
    t.add(3, "Наблюдения", "31.01.2024");
    t.add(99, "Наблюдения", "01.01.2024", true);
    return t;
}

std::vector<quint32> liveOrder(const SortTag& tag)
{
    std::vector<quint32> order;
    for (qint64 i = 0; i < tag.liveCount(); ++i)
        order.push_back(tag.liveAt(i));
    return order;
}

SortKeyExpression key(const Table& t, const QString& expression)
{
    const auto key = parseKeyExpression(expression, t.fields);
    if (!key)
        qFatal("no key expression %s", qPrintable(expression));
    return *key;
}

using Order = std::vector<quint32>;

} // namespace

class TstSortIndex : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void keptCurrent();
    void fileLifecycle();
    void failedAddLeavesNoFile_data();
    void failedAddLeavesNoFile();
    void damagedFileRefused();
    void outsideReaderAgrees_data();
    void outsideReaderAgrees();
};

void TstSortIndex::order_data()
{
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<Order>("live");
    QTest::addColumn<Order>("all"); // the deleted record keeps its key
    QTest::newRow("N ascending") << "N" << false << Order{1, 2, 4, 3} << Order{1, 2, 4, 3, 5};
    QTest::newRow("N descending: highest first")
        << "N" << true << Order{3, 4, 2, 1} << Order{5, 3, 4, 2, 1};
    QTest::newRow("MODE: Наблюдения first, groups in record order")
        << "MODE" << false << Order{2, 4, 1, 3} << Order{2, 4, 5, 1, 3};
    QTest::newRow("MODE descending: ties still in record order")
        << "MODE" << true << Order{1, 3, 2, 4} << Order{1, 3, 2, 4, 5};
    QTest::newRow("DATE: 1 February before 31 January")
        << "DATE" << false << Order{2, 3, 1, 4} << Order{5, 2, 3, 1, 4};
}

void TstSortIndex::order()
{
    QFETCH(QString, fieldName);
    QFETCH(bool, descending);
    QFETCH(Order, live);
    QFETCH(Order, all);
    const Table t = sample();
    SortTag tag("tab1", key(t, fieldName), descending, 0xC9);
    tag.build(t.reader(), t.count());
    QCOMPARE(tag.name(), QString("TAB1"));
    QCOMPARE(liveOrder(tag), live);
    QCOMPARE(tag.entries(), all);
    for (qint64 i = 0; i < qint64(live.size()); ++i)
        QCOMPARE(tag.livePositionOf(live[size_t(i)]), i);
    QCOMPARE(tag.livePositionOf(5), -1);
    QCOMPARE(tag.livePositionOf(77), -1);
}

void TstSortIndex::keptCurrent()
{
    Table t = sample();
    SortTag up("tab1", key(t, "MODE"), false, 0xC9);
    SortTag down("tab1", key(t, "MODE"), true, 0xC9);
    up.build(t.reader(), t.count());
    down.build(t.reader(), t.count());

    // Appended records land after their equals, in both directions.
    t.add(4, "Наблюдения", "02.02.2024");
    t.add(5, "Оперативный", "02.02.2024");
    for (SortTag* tag : {&up, &down}) {
        tag->insert(6, t.records[5]);
        tag->insert(7, t.records[6]);
    }
    QCOMPARE(liveOrder(up), (Order{2, 4, 6, 1, 3, 7}));
    QCOMPARE(liveOrder(down), (Order{1, 3, 7, 2, 4, 6}));

    // A post that changes the key moves the record; one that does not, does not.
    t.records[0] = t.make(1, "Наблюдения", "31.01.2024");
    up.update(1, t.records[0]);
    QCOMPARE(liveOrder(up), (Order{1, 2, 4, 6, 3, 7}));
    t.records[3] = t.make(33, "Наблюдения", "31.01.2024");
    up.update(4, t.records[3]);
    QCOMPARE(liveOrder(up), (Order{1, 2, 4, 6, 3, 7}));

    // A delete takes the key out.
    up.remove(2);
    QCOMPARE(liveOrder(up), (Order{1, 4, 6, 3, 7}));
    QCOMPARE(up.entries(), (Order{1, 4, 5, 6, 3, 7}));
    QCOMPARE(up.livePositionOf(2), -1);
    QCOMPARE(up.livePositionOf(3), 3);
}

void TstSortIndex::fileLifecycle()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.mdx");
    const Table t = sample();
    {
        SortIndex index(path, "data", 0xC9, t.fields);
        QVERIFY(index.addTag("tab1", "N", true, t.reader(), t.count()));
        QVERIFY(QFile::exists(path));
        QVERIFY(index.tag("Tab1"));
        // A tag of the same name is replaced.
        QVERIFY(index.addTag("TAB1", "mode", false, t.reader(), t.count()));
        QCOMPARE(index.tag("tab1")->expression(), QString("MODE"));
    }
    {
        // Opened again: the tag comes back, built from the records.
        SortIndex index(path, "data", 0xC9, t.fields);
        index.load(t.reader(), t.count());
        QVERIFY(index.tag("tab1"));
        QCOMPARE(liveOrder(*index.tag("tab1")), (Order{2, 4, 1, 3}));
        QVERIFY(!index.removeTag("other"));
        QVERIFY(index.removeTag("tab1"));
        QVERIFY(index.isEmpty());
        QVERIFY(!QFile::exists(path));
    }
}

void TstSortIndex::failedAddLeavesNoFile_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("tagName");
    QTest::addColumn<bool>("unwritable");
    QTest::newRow("key over 100 bytes") << "LONG"
                                        << "tab1" << false;
    QTest::newRow("date key") << "BORN"
                              << "tab1" << false;
    QTest::newRow("unknown field") << "NOPE"
                                   << "tab1" << false;
    QTest::newRow("tag name too long") << "N"
                                       << "tab1234567890" << false;
    QTest::newRow("write fails") << "N"
                                 << "tab1" << true;
}

void TstSortIndex::failedAddLeavesNoFile()
{
    QFETCH(QString, expression);
    QFETCH(QString, tagName);
    QFETCH(bool, unwritable);
    QTemporaryDir dir;
    const QString path = unwritable ? dir.filePath("missing/data.mdx") : dir.filePath("data.mdx");
    const Table t = sample();
    SortIndex index(path, "data", 0xC9, t.fields);
    QVERIFY(!index.addTag(tagName, expression, false, t.reader(), t.count()));
    QVERIFY(index.isEmpty());
    QVERIFY(!index.tag(tagName));
    QVERIFY(!QFile::exists(path));
}

void TstSortIndex::damagedFileRefused()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.mdx");
    const Table t = sample();
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3000, '\x02'));
    }
    SortIndex damaged(path, "data", 0xC9, t.fields);
    QVERIFY_THROWS_EXCEPTION(AppError, damaged.load(t.reader(), t.count()));

    // A tag on a field this table does not have.
    Table other = sample();
    other.fields[1].name = "KIND";
    SortIndex writer(path, "data", 0xC9, t.fields);
    QVERIFY(writer.addTag("tab1", "MODE", false, t.reader(), t.count()));
    SortIndex foreign(path, "data", 0xC9, other.fields);
    QVERIFY_THROWS_EXCEPTION(AppError, foreign.load(other.reader(), other.count()));
}

void TstSortIndex::outsideReaderAgrees_data()
{
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<int>("rows");
    QTest::newRow("N, small") << "N" << false << 20;
    QTest::newRow("N descending, deep") << "N" << true << 9000;
    QTest::newRow("DATE, deep") << "DATE" << false << 9000;
    QTest::newRow("DATE descending, small") << "DATE" << true << 30;
    QTest::newRow("CTOD(DATE), deep") << "CTOD(DATE)" << false << 9000;
    QTest::newRow("CTOD(DATE) descending, small") << "CTOD(DATE)" << true << 30;
}

void TstSortIndex::outsideReaderAgrees()
{
    QFETCH(QString, fieldName);
    QFETCH(bool, descending);
    QFETCH(int, rows);
    const QString tool = QStandardPaths::findExecutable("index_dump");
    if (tool.isEmpty())
        QSKIP("index_dump (libdbd-xbase-perl) is not installed");

    // Many equal keys, so that ties span leaves and levels; dates of digits and
    // dots collate like their bytes, numbers compare by value, CTOD's dates
    // (across three years) by the calendar.
    Table t;
    std::vector<int> numbers;
    std::vector<QByteArray> dates;
    std::vector<QDate> days;
    for (int i = 0; i < rows; ++i) {
        numbers.push_back((i * 37) % 101 - 50);
        days.push_back(QDate(2023 + i % 3, i % 12 + 1, i * 7 % 28 + 1));
        dates.push_back(days.back().toString("dd.MM.yyyy").toLatin1());
        t.add(numbers.back(), "Наблюдения", QString::fromLatin1(dates.back()));
    }
    // Expected: by value (or bytes), reversed when descending, ties in record order.
    std::vector<quint32> expected(static_cast<size_t>(rows));
    std::iota(expected.begin(), expected.end(), 1u);
    std::stable_sort(expected.begin(), expected.end(), [&](quint32 a, quint32 b) {
        if (descending)
            std::swap(a, b);
        if (fieldName == "N")
            return numbers[a - 1] < numbers[b - 1];
        if (fieldName == "DATE")
            return dates[a - 1] < dates[b - 1];
        return days[a - 1] < days[b - 1];
    });

    QTemporaryDir dir;
    const QString path = dir.filePath("data.mdx");
    SortIndex index(path, "data", 0xC9, t.fields);
    QVERIFY(index.addTag("tab1", fieldName, descending, t.reader(), t.count()));
    QCOMPARE(liveOrder(*index.tag("tab1")), expected);

    QProcess p;
    p.start(tool, {path, "TAB1"});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    // Each line: the key's raw bytes (which may hold a line feed), a blank,
    // the record number.
    const QByteArray out = p.readAllStandardOutput();
    const int keyLength = index.tag("tab1")->keyLength();
    qsizetype at = 0;
    for (int i = 0; i < rows; ++i) {
        QVERIFY(at + keyLength + 1 <= out.size());
        const QByteArray key = out.mid(at, keyLength);
        QCOMPARE(out[at + keyLength], ' ');
        const qsizetype end = out.indexOf('\n', at + keyLength);
        QVERIFY(end > 0);
        const quint32 rec = out.mid(at + keyLength + 1, end - at - keyLength - 1).toUInt();
        at = end + 1;
        QCOMPARE(rec, expected[size_t(i)]);
        if (fieldName == "N")
            QCOMPARE(key, numericKey(QByteArray::number(numbers[rec - 1])));
        else if (fieldName == "DATE")
            QCOMPARE(key, dates[rec - 1]);
        else {
            // The Julian day as an 8-byte little-endian double.
            const double julian = double(days[rec - 1].toJulianDay());
            QByteArray bytes(8, '\0');
            std::memcpy(bytes.data(), &julian, 8); // a little-endian machine
            QCOMPARE(key, bytes);
        }
    }
    QCOMPARE(at, out.size());
}

QTEST_GUILESS_MAIN(TstSortIndex)
#include "tst_sort_index.moc"
