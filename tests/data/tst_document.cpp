// The measurement document's work without any window: create, open, save,
// close, pack and renumber.
#include "data/dbf_table.h"
#include "data/measurement_document.h"
#include "platform/app_error.h"
#include "tests/support/archive_builder.h"
#include "tests/support/helper_check.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

ArchiveRecord rec(int day, int t1)
{
    ArchiveRecord r;
    r.flags = 0x03;
    r.t1 = static_cast<std::uint16_t>(t1);
    r.hour = 8;
    r.day = day;
    r.month = 3;
    r.year = 9;
    return r;
}

QList<qint64> columnN(DbfTable& t)
{
    QList<qint64> n;
    for (t.first(); !t.eof(); t.next())
        n << t.integer("N").value_or(-1);
    return n;
}

// N in file order, whatever order the table is browsed in.
QList<qint64> fileOrderN(DbfTable& t)
{
    QList<QPair<quint32, qint64>> byRecord;
    for (t.first(); !t.eof(); t.next())
        byRecord.append({t.recNo(), t.integer("N").value_or(-1)});
    std::sort(byRecord.begin(), byRecord.end());
    QList<qint64> n;
    for (const auto& p : byRecord)
        n << p.second;
    return n;
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A document with a table made from `days` (T1 = 10 × day hundredths).
    void makeDocument(MeasurementDocument& doc, const QString& file, QList<int> days)
    {
        ArchiveImage& image = doc.state().archive;
        image = ArchiveImage();
        for (int i = 0; i < days.size(); ++i)
            putRecord(image, i, rec(days[i], days[i] * 1000));
        image.bytes[0] = days.size();
        image.decodedLength = 2 + 11 * days.size();
        doc.beginCreate();
        doc.createTable(path(file));
        QCOMPARE(doc.fillFromArchive(), days.size());
        doc.findMma();
    }

private slots:
    void titles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << "/data/july.db"
                               << "july - ФЛН-РК2";
        QTest::newRow("only the last extension goes") << "/t/a.b.db"
                                                      << "a.b - ФЛН-РК2";
        QTest::newRow("no extension") << "/t/table"
                                      << "table - ФЛН-РК2";
    }
    void titles()
    {
        QFETCH(QString, file);
        QFETCH(QString, title);
        QCOMPARE(MeasurementDocument::titleFor(file), title);
    }

    void createFillsAndSetsTheFlags()
    {
        DbfTable t;
        DocumentState s;
        s.regional = RegionalSettings::russian();
        s.modified = true;
        MeasurementDocument doc(t, s);
        FLN_CHECK(makeDocument(doc, "new.db", {1, 2, 3}));
        QVERIFY(s.tableOpen);
        QVERIFY(!s.modified);
        QCOMPARE(columnN(t), (QList<qint64>{1, 2, 3}));
        QCOMPARE(s.statistics.t1Min, 10.0);
        QCOMPARE(s.statistics.t1Max, 30.0);
        QCOMPARE(s.statistics.t1Mean, 20.0);
    }

    void incompleteArchiveLeavesAnExistingFileAlone()
    {
        const QString file = path("keep.db");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not touched");
        }
        DbfTable t;
        DocumentState s;
        MeasurementDocument doc(t, s);
        s.archive = makeArchive({rec(1, 100), rec(2, 200)});
        s.archive.decodedLength -= 11;
        doc.beginCreate();
        QVERIFY(!doc.archiveEmpty());
        QVERIFY_THROWS_EXCEPTION(AppError, doc.createTable(file));
        QVERIFY(!s.tableOpen);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("not touched"));
    }

    void createReplacesAnExistingTable()
    {
        DbfTable t;
        DocumentState s;
        s.regional = RegionalSettings::russian();
        MeasurementDocument doc(t, s);
        FLN_CHECK(makeDocument(doc, "twice.db", {1, 2, 3, 4}));
        doc.close();
        FLN_CHECK(makeDocument(doc, "twice.db", {7}));
        QCOMPARE(t.rowCount(), 1);
    }

    void openRefusesWhatIsNoTable()
    {
        const QString file = path("text.db");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is a letter, not a dBase table\n");
        }
        DbfTable t;
        DocumentState s;
        MeasurementDocument doc(t, s);
        QVERIFY(!doc.openTable(file));
        QVERIFY(!s.tableOpen);
        QVERIFY(!t.isOpen());
        QVERIFY(!doc.openTable(path("missing.db")));
    }

    void closeDeletesTheSortIndex()
    {
        DbfTable t;
        DocumentState s;
        s.regional = RegionalSettings::russian();
        MeasurementDocument doc(t, s);
        FLN_CHECK(makeDocument(doc, "sorted.db", {1, 2}));
        t.addSortTag("tab1", "T_1", false);
        t.selectSortTag("tab1");
        s.modified = true;
        doc.save();
        QVERIFY(!s.modified);
        QVERIFY(s.tableOpen);
        QCOMPARE(t.selectedSortTag().toLower(), "tab1"); // the order survives saving
        doc.close();
        QVERIFY(!s.tableOpen);
        QVERIFY(!t.isOpen());
        QVERIFY(!QFile::exists(path("sorted.mdx")));
    }

    void packKeepsTheNumbersAndRenumberCloses()
    {
        DbfTable t;
        DocumentState s;
        s.regional = RegionalSettings::russian();
        MeasurementDocument doc(t, s);
        FLN_CHECK(makeDocument(doc, "gaps.db", {1, 2, 3, 4, 5}));
        for (int position : {3, 1}) { // N 4, then N 2
            t.goToPosition(position);
            t.deleteRecord();
        }
        s.modified = true;
        doc.packAndReopen();
        QVERIFY(!s.modified);
        QCOMPARE(t.position(), 0);
        QCOMPARE(columnN(t), (QList<qint64>{1, 3, 5}));
        doc.renumber();
        QCOMPARE(columnN(t), (QList<qint64>{1, 2, 3}));
    }

    void renumberFollowsTheDisplayOrder_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QList<qint64>>("fileOrder");
        // Days 3, 1, 2 in the file: T_1 30, 10, 20.
        QTest::newRow("by T_1") << "T_1" << false << QList<qint64>{3, 1, 2};
        QTest::newRow("by T_1 descending") << "T_1" << true << QList<qint64>{1, 3, 2};
        // Each number written moves its row within an order by N; the rows
        // are still numbered once each, in the order they were shown.
        QTest::newRow("by N descending") << "N" << true << QList<qint64>{3, 2, 1};
    }
    void renumberFollowsTheDisplayOrder()
    {
        QFETCH(QString, field);
        QFETCH(bool, descending);
        QFETCH(QList<qint64>, fileOrder);
        DbfTable t;
        DocumentState s;
        s.regional = RegionalSettings::russian();
        MeasurementDocument doc(t, s);
        FLN_CHECK(makeDocument(doc, QStringLiteral("order_%1_%2.db").arg(field).arg(descending),
                               {3, 1, 2}));
        t.addSortTag("tab1", field, descending);
        t.selectSortTag("tab1");
        s.modified = true;
        doc.renumber();
        QVERIFY(s.modified); // renumbering leaves the flags alone
        QCOMPARE(t.selectedSortTag().toLower(), "tab1");
        QCOMPARE(fileOrderN(t), fileOrder);
        doc.close();
    }
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
