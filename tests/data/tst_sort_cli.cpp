// `fln dump FILE --sort FIELD [--descending] [--keep-index]` as a user runs it.
#include "data/dbf_table.h"

#include "tests/support/fln_process.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

FlnRun fln(const QStringList& args)
{
    return runFln(QStringLiteral(FLN_EXECUTABLE), args);
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
        DbfTable t;
        t.setNewTableLanguageDriver(0xC9);
        t.setTableFile(m_path);
        t.create();
        t.open();
        const struct
        {
            int n;
            const char* mode;
        } rows[] = {{1, "Оперативный"}, {10, "Наблюдения"}, {2, "Оперативный"}, {7, "Наблюдения"}};
        for (const auto& r : rows) {
            t.append();
            t.setInteger("N", r.n);
            t.setText("MODE", QString::fromUtf8(r.mode));
            t.post();
        }
        t.close();
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
