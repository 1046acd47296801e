// A disk that fills up while the table is written. The process's file size
// limit stands in for the full disk (writes past it fail with EFBIG once
// SIGXFSZ is ignored), and /dev/full for a disk that takes no byte at all.
#include "data/dbf_table.h"
#include "data/mdx_file.h"
#include "data/measurement_document.h"
#include "platform/app_error.h"
#include "sim/simulated_instrument.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/fln_process.h"
#include "tests/support/helper_check.h"

#include <QDir>
#include <QFile>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kWriteError = QStringLiteral("Error while writing occurred. (Disk full?)");
const QString kIndexError =
    QStringLiteral("Error while writing occurred; indexes probably corrupted. (Disk full?)");
constexpr qint64 kHeaderLength = 289;
constexpr qint64 kRecordLength = 100;

// From now on every write to the open file `path` goes to /dev/full.
void redirectToDevFull(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const int full = ::open("/dev/full", O_RDWR);
    QVERIFY(full >= 0);
    bool found = false;
    for (int fd = 0; fd < 1024; ++fd) {
        char link[4096];
        const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
        const ssize_t n = ::readlink(proc.constData(), link, sizeof link);
        if (n > 0 && fd != full && QFile::decodeName(QByteArray(link, int(n))) == target &&
            ::dup2(full, fd) >= 0)
            found = true;
    }
    ::close(full);
    QVERIFY(found);
}

void addRow(DbfTable& t, int n, const QString& t1)
{
    t.append();
    t.setInteger(QStringLiteral("N"), n);
    t.setText(QStringLiteral("MODE"), QStringLiteral("Оперативный"));
    t.setInteger(QStringLiteral("EN_CH"), 1);
    t.setText(QStringLiteral("DATE"), QStringLiteral("01.10.2026"));
    t.setText(QStringLiteral("TIME"), QStringLiteral("06:00:00"));
    t.setText(QStringLiteral("T_1"), t1);
    t.post();
}

// A closed table of `rows` rows, N = 1..rows, T_1 = "<N>,5".
void makeTable(const QString& path, int rows, bool sortTag = false)
{
    DbfTable t;
    t.setTableFile(path);
    t.create();
    t.open();
    if (sortTag) {
        t.addSortTag(QStringLiteral("TAB1"), QStringLiteral("N"), true);
        t.selectSortTag(QStringLiteral("TAB1"));
    }
    for (int i = 1; i <= rows; ++i)
        addRow(t, i, QString::number(i) + QStringLiteral(",5"));
    t.close();
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file is a closed table of exactly `rows` records whose N and T_1 read
// back as makeTable wrote them.
void verifyTable(const QString& path, int rows)
{
    const QByteArray bytes = contents(path);
    QCOMPARE(bytes.size(), kHeaderLength + kRecordLength * rows + 1);
    QCOMPARE(bytes.back(), '\x1a');
    QCOMPARE(qFromLittleEndian<quint32>(bytes.constData() + 4), quint32(rows));
    DbfTable t;
    t.setTableFile(path);
    t.open(DbfTable::Access::ReadOnly);
    QCOMPARE(t.recordCount(), quint32(rows));
    QCOMPARE(t.rowCount(), qint64(rows));
    t.selectSortTag(QString());
    t.first();
    for (int i = 1; i <= rows; ++i, t.next()) {
        QCOMPARE(t.integer(QStringLiteral("N")), std::optional<qint64>(i));
        QCOMPARE(t.text(QStringLiteral("T_1")), QString::number(i) + QStringLiteral(",5"));
    }
    QVERIFY(t.eof());
}

QString expectFailure(const std::function<void()>& step)
{
    try {
        step();
    } catch (const AppError& e) {
        return e.text();
    }
    return QStringLiteral("<no failure>");
}

std::unique_ptr<SimulatedInstrument> instrument()
{
    SimOptions o;
    o.growBy = 5; // every transfer finds five records more
    auto sim = std::make_unique<SimulatedInstrument>(
        SimArchive::generate(3, 30, QDateTime(QDate(2026, 10, 1), QTime(6, 0)), 600), o);
    if (!sim->start())
        qFatal("no pseudo-terminal: %s", qPrintable(sim->errorString()));
    return sim;
}

// `fln download ARGS` against the simulated instrument, its files unable to
// grow past `limit` bytes (0: no limit), this event loop running meanwhile.
FlnRun download(const SimulatedInstrument& sim, const QTemporaryDir& dir, const QStringList& args,
                qint64 limit = 0)
{
    FlnProcess p;
    std::function<void()> limitFileSize;
    if (limit > 0)
        limitFileSize = [limit] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit l{rlim_t(limit), rlim_t(limit)};
            setrlimit(RLIMIT_FSIZE, &l);
        };
    p.start(QStringList{"--locale", "ru_RU", "--port1", sim.devicePath(), "--port2",
                        dir.filePath("no-port"), "download"} +
                args,
            limitFileSize);
    return p.finish(30000);
}

} // namespace

class TestDiskFull : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); }

    // Room for no more than the end-of-file byte that is there, for half
    // the new record, or for all of it but the end-of-file byte after it.
    void appendFails_data()
    {
        QTest::addColumn<qint64>("room");
        QTest::newRow("no new byte") << qint64(1);
        QTest::newRow("half a record") << qint64(50);
        QTest::newRow("record without end byte") << qint64(100);
    }
    void appendFails()
    {
        QFETCH(qint64, room);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        makeTable(path, 3);
        // A closed table ends with the end-of-file byte; the next record starts there.
        const qint64 slot = kHeaderLength + kRecordLength * 3;
        DbfTable t;
        t.setTableFile(path);
        t.open();
        {
            FileSizeLimit full(slot + room);
            QCOMPARE(expectFailure([&] { addRow(t, 4, QStringLiteral("4,5")); }), kWriteError);
            QCOMPARE(t.recordCount(), 3u);
            QCOMPARE(t.rowCount(), qint64(3));
            t.cancel();
            t.close(); // the header fits in place
        }
        FLN_CHECK(verifyTable(path, 3));

        // Once there is room again the table takes the row.
        t.open();
        addRow(t, 4, QStringLiteral("4,5"));
        t.close();
        FLN_CHECK(verifyTable(path, 4));
    }

    // The index file cannot be written either: the table keeps its rows and
    // its header, the index file its last good state.
    void appendWithSortTagFails()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        makeTable(path, 3, true);
        const QByteArray index = contents(dir.filePath(QStringLiteral("data.mdx")));
        QVERIFY(index.size() > 1024);
        DbfTable t;
        t.setTableFile(path);
        t.open();
        // A new run opens in record order; the grid's sort selects the tag.
        t.selectSortTag(QStringLiteral("TAB1"));
        {
            FileSizeLimit full(kHeaderLength + kRecordLength * 3 + 1);
            QCOMPARE(expectFailure([&] { addRow(t, 4, QStringLiteral("4,5")); }), kWriteError);
            t.cancel();
            QCOMPARE(t.rowCount(), qint64(3));
            t.first(); // descending by N
            QCOMPARE(t.integer(QStringLiteral("N")), std::optional<qint64>(3));
            QCOMPARE(expectFailure([&] { t.close(); }), kIndexError);
            QVERIFY(!t.isOpen());
        }
        FLN_CHECK(verifyTable(path, 3));
        QCOMPARE(contents(path).at(28), '\x01');
        QCOMPARE(contents(dir.filePath(QStringLiteral("data.mdx"))), index);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList({QStringLiteral("data.db"), QStringLiteral("data.mdx")}));
        t.open();
        QCOMPARE(t.selectedSortTag(), QStringLiteral("TAB1"));
        t.first();
        QCOMPARE(t.integer(QStringLiteral("N")), std::optional<qint64>(3));
        t.close();
    }

    // A folder that takes no new file while the index file itself may be
    // written, and the disk full: written over in place, the index would be
    // cut; it is refused instead and stays as it was.
    void indexKeptInFolderWithoutNewFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        makeTable(path, 3, true);
        const QString mdx = dir.filePath(QStringLiteral("data.mdx"));
        const QByteArray index = contents(mdx);
        const MdxContents tags = readMdxFile(mdx);
        QVERIFY(index.size() > 1024);
        // The superuser creates files in any folder: the write runs as nobody,
        // who owns the index and the folder but may not write the folder.
        const QByteArray folder = QFile::encodeName(dir.path());
        const bool root = ::geteuid() == 0;
        constexpr uid_t kNobody = 65534;
        if (root) {
            QCOMPARE(::chown(folder.constData(), kNobody, kNobody), 0);
            QCOMPARE(::chown(QFile::encodeName(mdx).constData(), kNobody, kNobody), 0);
        }
        QCOMPARE(::chmod(folder.constData(), 0555), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                ::_exit(3);
            FileSizeLimit full(index.size() / 2);
            try {
                writeMdxFile(mdx, tags);
            } catch (const AppError&) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        int status = 0;
        const pid_t waited = ::waitpid(child, &status, 0);
        ::chmod(folder.constData(), 0755);
        QCOMPARE(waited, child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 1); // the write was refused
        QCOMPARE(contents(mdx), index);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList({QStringLiteral("data.db"), QStringLiteral("data.mdx")}));
    }

    // Save closes and opens the table again; when the close cannot write the
    // index file the table is open again all the same, still unsaved.
    void saveKeepsTableOpen()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        makeTable(path, 3, true);
        DbfTable t;
        DocumentState state;
        MeasurementDocument doc(t, state);
        QVERIFY(doc.openTable(path));
        t.selectSortTag(QStringLiteral("TAB1"));
        state.modified = true;
        {
            FileSizeLimit full(kHeaderLength + kRecordLength * 3 + 1);
            QCOMPARE(expectFailure([&] { doc.save(); }), kIndexError);
        }
        QVERIFY(t.isOpen());
        QVERIFY(state.tableOpen);
        QVERIFY(state.modified);
        QCOMPARE(t.selectedSortTag(), QStringLiteral("TAB1"));
        QCOMPARE(t.rowCount(), qint64(3));
        doc.close();
        FLN_CHECK(verifyTable(path, 3));
    }

    void createFails_data()
    {
        QTest::addColumn<qint64>("room");
        QTest::newRow("no byte") << qint64(0);
        QTest::newRow("half the header") << qint64(100);
        QTest::newRow("all but the end byte") << kHeaderLength;
    }
    void createFails()
    {
        QFETCH(qint64, room);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("new.db"));
        DbfTable t;
        t.setTableFile(path);
        {
            FileSizeLimit full(room);
            QVERIFY(!expectFailure([&] { t.create(); }).isEmpty());
        }
        QVERIFY(!QFile::exists(path));
        QVERIFY(!t.isOpen());
        t.create(); // and with room the same table object creates it
        FLN_CHECK(verifyTable(path, 0));
    }

    // The packed table (three rows) needs 590 bytes; the old one stays
    // whole however far the copy got, and nothing is left beside it.
    void packFails_data()
    {
        QTest::addColumn<qint64>("room");
        QTest::newRow("no record") << kHeaderLength;
        QTest::newRow("two records") << kHeaderLength + kRecordLength * 2;
        QTest::newRow("all but the end-of-file byte") << kHeaderLength + kRecordLength * 3;
    }
    void packFails()
    {
        QFETCH(qint64, room);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        makeTable(path, 5);
        const QByteArray before = contents(path);
        DbfTable t;
        t.setTableFile(path);
        t.open();
        t.goToRecord(2);
        t.deleteRecord();
        t.goToRecord(4);
        t.deleteRecord();
        {
            FileSizeLimit full(room);
            QCOMPARE(expectFailure([&] { t.pack(); }), kWriteError);
            QVERIFY(t.isOpen());
            QCOMPARE(t.recordCount(), 5u);
            QCOMPARE(t.rowCount(), qint64(3));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList({QStringLiteral("data.db")}));
            t.goToPosition(1);
            QCOMPARE(t.integer(QStringLiteral("N")), std::optional<qint64>(3));
        }
        t.close();
        // Only the two deletion flags changed.
        QByteArray expected = before;
        expected[kHeaderLength + kRecordLength * 1] = '*';
        expected[kHeaderLength + kRecordLength * 3] = '*';
        const QByteArray after = contents(path);
        QCOMPARE(after.mid(4), expected.mid(4));

        t.open();
        t.pack();
        QCOMPARE(t.recordCount(), 3u);
        t.close();
    }

    // The header cannot be written at all: close says so, and the file
    // keeps what was written before.
    void closeReportsFailedHeaderWrite()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        makeTable(path, 2);
        const QByteArray before = contents(path);
        DbfTable t;
        t.setTableFile(path);
        t.open();
        FLN_CHECK(redirectToDevFull(path));
        QCOMPARE(expectFailure([&] { addRow(t, 3, QStringLiteral("3,5")); }), kWriteError);
        t.cancel();
        QCOMPARE(expectFailure([&] { t.close(); }), kWriteError);
        QVERIFY(!t.isOpen());
        QCOMPARE(contents(path), before);
    }

    // `fln download` into a full disk: exit 1 with the text, no file left,
    // an existing table of that name untouched.
    void downloadFails_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new file") << false;
        QTest::newRow("existing file") << true;
    }
    void downloadFails()
    {
        QFETCH(bool, existing);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("new.db"));
        if (existing)
            makeTable(path, 2);
        const QByteArray before = contents(path);

        auto sim = instrument();
        // Room for the header and a few rows, not for thirty.
        const FlnRun r = download(*sim, dir, {path}, 1000);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(kWriteError), qPrintable(r.err));
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        if (existing) {
            QCOMPARE(left, QStringList({QStringLiteral("new.db")}));
            QCOMPARE(contents(path), before);
        } else {
            QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
        }
    }

    // Appending stops at the full disk: the rows that fitted stay, counted
    // by the header, and the table is whole.
    void downloadAppendFails()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.db"));
        auto sim = instrument();
        QCOMPARE(download(*sim, dir, {path}).code, 0);
        const QByteArray before = contents(path);
        QCOMPARE(before.size(), kHeaderLength + kRecordLength * 30 + 1);

        const FlnRun r = download(*sim, dir, {QStringLiteral("--append"), path},
                                  before.size() + kRecordLength * 2 + kRecordLength / 2);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(kWriteError), qPrintable(r.err));
        const QByteArray after = contents(path);
        QCOMPARE(after.size(), kHeaderLength + kRecordLength * 32 + 1);
        QCOMPARE(after.back(), '\x1a');
        QCOMPARE(qFromLittleEndian<quint32>(after.constData() + 4), 32u);
        // The rows that were there are untouched (the header's date aside).
        QCOMPARE(after.mid(kHeaderLength, kRecordLength * 30),
                 before.mid(kHeaderLength, kRecordLength * 30));
        DbfTable t;
        t.setTableFile(path);
        t.open(DbfTable::Access::ReadOnly);
        t.last();
        QCOMPARE(t.integer(QStringLiteral("N")), std::optional<qint64>(32));
    }
};

QTEST_GUILESS_MAIN(TestDiskFull)
#include "tst_disk_full.moc"
