#include "data/dbf_table.h"
#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Order = QList<quint32>;

struct Row
{
    int n;
    const char* mode;
    const char* date;
};

// Records 1..6 of the sorting cases.
const Row kRows[] = {
    {1, "Оперативный", "31.01.2024"},  {2, "Наблюдения", "01.02.2024"},
    {10, "Оперативный", "15.01.2024"}, {3, "Наблюдения", "31.01.2024"},
    {7, "Оперативный", "02.02.2024"},  {5, "Наблюдения", "01.01.2024"},
};

// Every file of a folder with its bytes.
QMap<QString, QByteArray> folderBytes(const QString& dir)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo& fi : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile f(fi.filePath());
        files.insert(fi.fileName(), f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?"));
    }
    return files;
}

quint8 byte28(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0xFF;
    return quint8(f.read(29).at(28));
}

} // namespace

class TstSortTable : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void browsesInKeyOrder_data();
    void browsesInKeyOrder();
    void fileAndFlagTogether();
    void closedWhileSorted();
    void saveKeepsTheSort();
    void nextRunOpensInRecordOrder();
    void keptCurrentOnChanges();
    void failedAddIsSilent();
    void damagedIndexFileDropsTheSort();
    void outsideReaderSeesBrowseOrder();
    void readingOrderWritesNothing_data();
    void readingOrderWritesNothing();
    void readingOrderRefusals();

private:
    void appendRow(const Row& r);
    Order browse();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DbfTable> m_table;
    QString m_path, m_index;
};

void TstSortTable::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath("data.db");
    m_index = m_dir->filePath("data.mdx");
    m_table = std::make_unique<DbfTable>();
    m_table->setNewTableLanguageDriver(0xC9);
    m_table->setTableFile(m_path);
    m_table->create();
    m_table->open();
    for (const Row& r : kRows)
        appendRow(r);
}

void TstSortTable::cleanup()
{
    m_table.reset();
    m_dir.reset();
}

void TstSortTable::appendRow(const Row& r)
{
    m_table->append();
    m_table->setInteger("N", r.n);
    m_table->setText("MODE", QString::fromUtf8(r.mode));
    m_table->setText("DATE", QString::fromUtf8(r.date));
    m_table->post();
}

// The record numbers in browse order, checked against the random access.
Order TstSortTable::browse()
{
    Order order;
    for (m_table->first(); !m_table->eof(); m_table->next())
        order << m_table->recNo();
    Order byPosition;
    for (qint64 i = 0; i < m_table->rowCount(); ++i) {
        byPosition << m_table->recordAt(i);
        if (m_table->positionOf(m_table->recordAt(i)) != i)
            return {};
    }
    return order == byPosition ? order : Order{};
}

void TstSortTable::browsesInKeyOrder_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<Order>("expected");
    QTest::newRow("N descending: highest first") << "N" << true << Order{3, 5, 6, 4, 2, 1};
    QTest::newRow("MODE: Наблюдения first, each group in record order")
        << "MODE" << false << Order{2, 4, 6, 1, 3, 5};
    QTest::newRow("DATE: 1 February before 31 January")
        << "DATE" << false << Order{6, 2, 5, 3, 1, 4};
}

void TstSortTable::browsesInKeyOrder()
{
    QFETCH(QString, field);
    QFETCH(bool, descending);
    QFETCH(Order, expected);
    m_table->goToRecord(4);
    m_table->addSortTag("tab1", field, descending);
    m_table->selectSortTag("tab1");
    QCOMPARE(m_table->selectedSortTag(), QString("TAB1"));
    QCOMPARE(m_table->recNo(), 4u); // the current record stays current
    QCOMPARE(browse(), expected);
    m_table->last();
    QCOMPARE(m_table->recNo(), expected.last());
    m_table->prior();
    QCOMPARE(m_table->recNo(), expected.at(expected.size() - 2));

    m_table->selectSortTag({});
    QCOMPARE(browse(), (Order{1, 2, 3, 4, 5, 6}));
}

void TstSortTable::fileAndFlagTogether()
{
    QVERIFY(!QFile::exists(m_index));
    m_table->addSortTag("tab1", "N", false);
    QVERIFY(QFile::exists(m_index));
    QCOMPARE(m_table->header().productionIndexFlag, 1);
    m_table->close();
    QCOMPARE(byte28(m_path), 1);

    m_table->open();
    m_table->selectSortTag({});
    m_table->removeSortTag("tab1");
    QVERIFY(!QFile::exists(m_index));
    QCOMPARE(m_table->header().productionIndexFlag, 0);
    m_table->removeSortTag("tab1"); // no tag: nothing happens
    m_table->close();
    QCOMPARE(byte28(m_path), 0);
}

void TstSortTable::closedWhileSorted()
{
    m_table->addSortTag("tab1", "N", true);
    m_table->selectSortTag("tab1");
    m_table->close();
    QFile::remove(m_index); // what the main window does after closing
    QCOMPARE(byte28(m_path), 1);

    m_table->open();
    QCOMPARE(m_table->selectedSortTag(), QString());
    QCOMPARE(browse(), (Order{1, 2, 3, 4, 5, 6}));
    m_table->close();
    QCOMPARE(byte28(m_path), 0);
}

void TstSortTable::saveKeepsTheSort()
{
    m_table->addSortTag("tab1", "MODE", true);
    m_table->selectSortTag("tab1");
    m_table->close();
    m_table->open();
    QCOMPARE(m_table->selectedSortTag(), QString("TAB1"));
    QCOMPARE(browse(), (Order{1, 3, 5, 2, 4, 6}));

    // Without a selection at the close, none after the open.
    m_table->selectSortTag({});
    m_table->close();
    m_table->open();
    QCOMPARE(m_table->selectedSortTag(), QString());
    QVERIFY(QFile::exists(m_index));
}

// The selection is the component's memory of this run; the index file that
// "Выход" leaves behind brings no invisible order back.
void TstSortTable::nextRunOpensInRecordOrder()
{
    m_table->addSortTag("tab1", "N", true);
    m_table->selectSortTag("tab1");
    m_table->close();
    QVERIFY(QFile::exists(m_index));

    m_table = std::make_unique<DbfTable>(); // the next run
    m_table->setTableFile(m_path);
    m_table->open();
    QCOMPARE(m_table->selectedSortTag(), QString());
    QCOMPARE(browse(), (Order{1, 2, 3, 4, 5, 6}));
    m_table->selectSortTag("tab1"); // the tag itself is still there
    QCOMPARE(browse(), (Order{3, 5, 6, 4, 2, 1}));
    m_table->close();

    // Another table closed in between: its selection is not this table's.
    const QString other = m_dir->filePath("other.db");
    QVERIFY(QFile::copy(m_path, other));
    QVERIFY(QFile::copy(m_index, m_dir->filePath("other.mdx")));
    m_table->setTableFile(other);
    m_table->open();
    QCOMPARE(m_table->selectedSortTag(), QString());
    m_table->close();
    m_table->setTableFile(m_path);
    m_table->open();
    QCOMPARE(m_table->selectedSortTag(), QString());
}

void TstSortTable::keptCurrentOnChanges()
{
    m_table->addSortTag("tab1", "MODE", false);
    m_table->selectSortTag("tab1");

    // Appended records land by key, after their equals.
    appendRow({4, "Наблюдения", "03.02.2024"});
    QCOMPARE(m_table->recNo(), 7u);
    QCOMPARE(browse(), (Order{2, 4, 6, 7, 1, 3, 5}));

    // An edit that changes the key moves the record.
    m_table->goToRecord(3);
    m_table->edit();
    m_table->setText("MODE", QString::fromUtf8("Наблюдения"));
    m_table->post();
    QCOMPARE(browse(), (Order{2, 3, 4, 6, 7, 1, 5}));

    // A deleted record leaves the order; pack keeps the sort.
    m_table->goToRecord(4);
    m_table->deleteRecord();
    QCOMPARE(browse(), (Order{2, 3, 6, 7, 1, 5}));
    m_table->pack();
    QCOMPARE(m_table->selectedSortTag(), QString("TAB1"));
    // Packed: old 5, 6, 7 are now 4, 5, 6.
    QCOMPARE(browse(), (Order{2, 3, 5, 6, 1, 4}));
    QVERIFY(QFile::exists(m_index));

    m_table->regenerateIndexes();
    QCOMPARE(browse(), (Order{2, 3, 5, 6, 1, 4}));
}

void TstSortTable::failedAddIsSilent()
{
    m_table->addSortTag("tab1", "NOPE", false);
    m_table->selectSortTag("tab1");
    QCOMPARE(m_table->selectedSortTag(), QString());
    QVERIFY(!QFile::exists(m_index));
    QCOMPARE(m_table->header().productionIndexFlag, 0);
    QCOMPARE(browse(), (Order{1, 2, 3, 4, 5, 6}));

    // A failed add that replaces the only tag leaves no file and no flag.
    m_table->addSortTag("tab1", "N", true);
    QCOMPARE(m_table->header().productionIndexFlag, 1);
    m_table->addSortTag("tab1", "NOPE", false);
    QVERIFY(!QFile::exists(m_index));
    QCOMPARE(m_table->header().productionIndexFlag, 0);
    m_table->selectSortTag("tab1");
    QCOMPARE(browse(), (Order{1, 2, 3, 4, 5, 6}));
}

void TstSortTable::damagedIndexFileDropsTheSort()
{
    m_table->addSortTag("tab1", "N", false);
    m_table->selectSortTag("tab1");
    m_table->close();
    QFile f(m_index);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.resize(3000); // cut inside the tree
    f.close();

    m_table->open();
    QCOMPARE(m_table->selectedSortTag(), QString());
    QCOMPARE(m_table->header().productionIndexFlag, 0);
    QCOMPARE(browse(), (Order{1, 2, 3, 4, 5, 6}));
}

void TstSortTable::outsideReaderSeesBrowseOrder()
{
    const QString tool = QStandardPaths::findExecutable("index_dump");
    if (tool.isEmpty())
        QSKIP("index_dump (libdbd-xbase-perl) is not installed");
    // Enough rows for a tree of three levels (11-byte keys: 63 a block).
    for (int i = 0; i < 4500; ++i)
        appendRow({i % 50, i % 3 ? "Оперативный" : "Наблюдения", "01.01.2024"});
    m_table->addSortTag("tab1", "MODE", true);
    m_table->selectSortTag("tab1");
    const Order order = browse();
    QCOMPARE(order.size(), 4506);
    QCOMPARE(order.first(), 1u);
    QCOMPARE(order.last(), 4504u); // the last "Наблюдения" row
    m_table->close();

    QProcess p;
    p.start(tool, {m_index, "TAB1"});
    QVERIFY(p.waitForFinished(60000));
    const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
    QCOMPARE(lines.size(), order.size() + 1);
    const QByteArray observation = QStringEncoder("windows-1251").encode(u"Наблюдения ");
    const QByteArray operative = QStringEncoder("windows-1251").encode(u"Оперативный");
    for (qsizetype i = 0; i < order.size(); ++i) {
        const qsizetype space = lines[i].lastIndexOf(' ');
        const quint32 rec = lines[i].mid(space + 1).toUInt();
        QCOMPARE(rec, order[i]);
        const bool isObservation =
            rec <= 6 ? QByteArray(kRows[rec - 1].mode).startsWith("Н") : (rec - 7) % 3 == 0;
        QCOMPARE(lines[i].left(space), isObservation ? observation : operative);
    }
}

void TstSortTable::readingOrderWritesNothing_data()
{
    browsesInKeyOrder_data();
}

// The order a printing command reads in: a read-only table sorted in memory,
// with table and folder byte for byte as they were, even with a stored sort
// index beside it.
void TstSortTable::readingOrderWritesNothing()
{
    QFETCH(QString, field);
    QFETCH(bool, descending);
    QFETCH(Order, expected);
    m_table->addSortTag("tab1", "N", false);
    m_table->selectSortTag("tab1");
    m_table->close();
    {
        // An old date in the header shows any rewrite of it.
        QFile f(m_path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(1);
        f.write(QByteArray("\x65\x01\x01", 3));
    }
    const auto before = folderBytes(m_dir->path());
    QCOMPARE(before.size(), 2);

    m_table = std::make_unique<DbfTable>();
    m_table->setTableFile(m_path);
    m_table->open(DbfTable::Access::ReadOnly);
    m_table->goToRecord(4);
    m_table->sortForReading(field, descending);
    QCOMPARE(m_table->recNo(), expected.first());
    QCOMPARE(browse(), expected);
    m_table->close();
    QCOMPARE(folderBytes(m_dir->path()), before);
}

void TstSortTable::readingOrderRefusals()
{
    // A table that may change would leave the order behind.
    QVERIFY_THROWS_EXCEPTION(AppError, m_table->sortForReading("N", false));
    m_table->close();
    m_table->open(DbfTable::Access::ReadOnly);
    try {
        m_table->sortForReading("nope", false);
        QFAIL("accepted");
    } catch (const AppError& e) {
        QCOMPARE(e.text(), QString("Field 'nope' not found"));
    }
    QCOMPARE(browse(), (Order{1, 2, 3, 4, 5, 6}));
}

QTEST_GUILESS_MAIN(TstSortTable)
#include "tst_sort_table.moc"
