// `fln dump FILE --sort FIELD [--descending] [--keep-index]` as a user runs it.
#include "data/dbf_table.h"

#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

FlnRun fln(const QStringList& args)
{
    return runFln(args);
}

// The N column of the dumped rows, in their order.
QStringList numbers(const QString& csv)
{
    QStringList out;
    const QStringList lines = csv.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i)
        out << lines[i].section(u',', 0, 0);
    return out;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An old date in the header shows any rewrite of it.
bool setOldDate(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.seek(1) && f.write("\x65\x01\x01", 3) == 3;
}

quint8 byte28(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? quint8(f.read(29).at(28)) : 0xFF;
}

// Temperatures below and above zero, of one, two and three digits, with
// equal values apart; dates across months and years, equal ones apart; the
// texts as the program writes them (one-digit temperatures with a blank).
QList<TestRow> calendarRows()
{
    const struct
    {
        const char* date;
        const char* time;
        const char* t1;
        const char* t2;
    } data[] = {
        {"31.10.2026", "23:50:00", "-9,9", "0,0"},   {"16.12.2026", "00:10:00", "0,0", "-9,9"},
        {"01.02.2027", "12:00:00", "12,3", "-10,5"}, {"31.01.2027", "08:00:00", "-10,5", "9,9"},
        {"05.11.2025", "12:00:00", " 5,0", "-0,1"},  {"16.12.2026", "06:30:00", "-0,1", "100,0"},
        {"29.02.2024", "18:45:10", "100,0", " 2,0"}, {"01.01.2026", "00:00:00", "-40,0", "-9,9"},
        {"31.12.2025", "23:59:59", "-9,9", "-40,0"}, {"02.10.2026", "09:05:00", " 9,9", "12,3"},
        {"16.12.2026", "00:10:00", "10,0", "0,0"},   {"10.03.2024", "10:00:00", " 2,0", " 5,0"},
    };
    QList<TestRow> rows;
    int n = 0;
    for (const auto& d : data)
        rows.append({.n = ++n,
                     .mode = n % 3 ? QStringLiteral("Оперативный") : QStringLiteral("Наблюдения"),
                     .enCh = 3,
                     .date = QString::fromLatin1(d.date),
                     .time = QString::fromLatin1(d.time),
                     .t1 = QString::fromLatin1(d.t1),
                     .t2 = QString::fromLatin1(d.t2),
                     .comment = {}});
    return rows;
}

QString sortOracle()
{
    QFile f(QStringLiteral(FLN_SOURCE_DIR "/tests/cli/oracle/sort_oracle.py"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TstSortCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path, m_index;

private slots:
    void initTestCase()
    {
        m_path = m_dir.filePath("data.db");
        m_index = m_dir.filePath("data.mdx");
        writeMeasurementTable(m_path,
                              {{.n = 1, .mode = "Оперативный"},
                               {.n = 10, .mode = "Наблюдения"},
                               {.n = 2, .mode = "Оперативный"},
                               {.n = 7, .mode = "Наблюдения"}},
                              0xC9);
        QVERIFY(setOldDate(m_path));
    }

    void sortedDump_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("N") << QStringList{"--sort", "N"} << QStringList{"1", "2", "7", "10"};
        QTest::newRow("N descending")
            << QStringList{"--sort", "n", "--descending"} << QStringList{"10", "7", "2", "1"};
        QTest::newRow("MODE") << QStringList{"--sort", "MODE"} << QStringList{"10", "7", "1", "2"};
    }

    void sortedDump()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, expected);
        const QByteArray before = contents(m_path);
        // A command that prints reads a table the window holds open.
        DbfTable holder;
        holder.setTableFile(m_path);
        holder.open();
        const FlnRun r = fln(QStringList{"dump", m_path} + options);
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("N,MODE,")));
        QCOMPARE(numbers(r.out), expected);
        // Nothing written: the table byte for byte, no index file.
        QCOMPARE(contents(m_path), before);
        QVERIFY(!QFile::exists(m_index));
        holder.close();
        QVERIFY(setOldDate(m_path));
        // The plain dump still shows record order.
        QCOMPARE(numbers(fln({"dump", m_path}).out), (QStringList{"1", "10", "2", "7"}));
    }

    void keepIndex()
    {
        const FlnRun r = fln({"dump", m_path, "--sort", "N", "--descending", "--keep-index"});
        QCOMPARE(r.code, 0);
        QVERIFY(QFile::exists(m_index));
        QCOMPARE(byte28(m_path), 1);
        // A new run opens in record order; the kept tag stays in the file.
        QCOMPARE(numbers(fln({"dump", m_path}).out), (QStringList{"1", "10", "2", "7"}));
        const QByteArray index = contents(m_index);
        QCOMPARE(numbers(fln({"dump", m_path, "--sort", "N"}).out),
                 (QStringList{"1", "2", "7", "10"}));
        QCOMPARE(contents(m_index), index);
        // Clean up for the next case, as the window's Close does.
        QVERIFY(QFile::remove(m_index));
    }

    // Temperatures sort by value and dates by the calendar, times as texts;
    // equal keys stay in record order in both directions. The expected
    // order is an outside program's (dbfread and python3). The order built
    // in memory (the plain dump, and so the report and the workbook) and
    // the one the window's sort index holds (--keep-index) both agree.
    void valueAndCalendarOrder_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("descending");
        for (const char* field : {"T_1", "T_2", "DATE", "TIME"})
            for (bool descending : {false, true})
                QTest::addRow("%s%s", field, descending ? " descending" : "")
                    << QString::fromLatin1(field) << descending;
    }
    void valueAndCalendarOrder()
    {
        QFETCH(QString, field);
        QFETCH(bool, descending);
        const QString path = m_dir.filePath("calendar.db");
        const QString index = m_dir.filePath("calendar.mdx");
        writeMeasurementTable(path, calendarRows(), quint8(0xC9));

        const QStringList direction = descending ? QStringList{"--descending"} : QStringList{};
        const peers::Result peer =
            peers::python(sortOracle(), QStringList{path, field} + direction);
        FLN_NEED_PEER(peer, "python3-dbfread");
        QVERIFY2(peer.exitCode == 0, peer.err.constData());
        const QStringList expected = QString::fromLatin1(peer.out).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(expected.size(), 12);

        const FlnRun inMemory = fln(QStringList{"dump", path, "--sort", field} + direction);
        QCOMPARE(inMemory.code, 0);
        QCOMPARE(numbers(inMemory.out), expected);
        QVERIFY(!QFile::exists(index));

        const FlnRun kept =
            fln(QStringList{"dump", path, "--sort", field, "--keep-index"} + direction);
        QCOMPARE(kept.code, 0);
        QCOMPARE(numbers(kept.out), expected);
        QVERIFY(QFile::exists(index));
        QCOMPARE(byte28(path), 1);
        QVERIFY(QFile::remove(index));
    }

    void unknownFieldFails()
    {
        const FlnRun r = fln({"dump", m_path, "--sort", "NOPE"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("Field 'NOPE' not found")), qPrintable(r.err));
        QVERIFY(!QFile::exists(m_index));
    }
};

QTEST_GUILESS_MAIN(TstSortCli)
#include "tst_sort_cli.moc"
