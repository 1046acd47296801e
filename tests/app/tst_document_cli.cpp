// `fln download [--append] FILE` as a user runs it, against the simulated
// instrument running in this test's event loop on a pseudo-terminal.
#include "data/dbf_table.h"
#include "sim/simulated_instrument.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct Run
{
    int exitCode = -1;
    QString out, err;
};

std::unique_ptr<SimulatedInstrument> instrument(int records, SimOptions::Fault fault,
                                                int growBy = 0)
{
    SimOptions o;
    o.fault = fault;
    o.growBy = growBy;
    auto sim = std::make_unique<SimulatedInstrument>(
        SimArchive::generate(3, records, QDateTime(QDate(2026, 10, 1), QTime(6, 0)), 600), o);
    if (!sim->start())
        qFatal("no pseudo-terminal: %s", qPrintable(sim->errorString()));
    return sim;
}

// Runs fln with the instrument on the first port and nothing on the second,
// keeping this event loop (and so the instrument) running meanwhile.
Run download(const SimulatedInstrument& sim, const QTemporaryDir& dir, const QStringList& args)
{
    QProcess p;
    QSignalSpy finished(&p, &QProcess::finished);
    p.start(FLN_EXE, QStringList{"--locale", "ru_RU", "--port1", sim.devicePath(), "--port2",
                                 dir.filePath("no-port"), "download"} +
                         args);
    Run r;
    if (!finished.wait(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

qint64 rows(const QString& file)
{
    DbfTable t;
    t.setTableFile(file);
    t.open(DbfTable::Access::ReadOnly);
    return t.rowCount();
}

QByteArray contents(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestDocumentCli : public QObject
{
    Q_OBJECT

private slots:
    void newThenAppend()
    {
        QTemporaryDir dir;
        auto sim = instrument(30, SimOptions::Fault::None, 5);
        const QString file = dir.filePath("t.db");
        Run r = download(*sim, dir, {file});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, "Добавлено записей: 30\n");
        QVERIFY2(r.err.contains("Количество записей: 30"), qPrintable(r.err));
        // stderr is a pipe here, as in a log: the bar's last state once, on
        // its own line, and no carriage returns.
        QVERIFY2(!r.err.contains(u'\r'), qPrintable(r.err));
        QCOMPARE(r.err.count("Идет прием информации"), 1);
        QVERIFY2(r.err.contains(u'\n' + QStringLiteral("Идет прием информации ... [") +
                                QString(40, u'#') +
                                QStringLiteral("] 100 %  Количество записей: 30\n")),
                 qPrintable(r.err));
        QCOMPARE(rows(file), 30);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"t.db"}); // nothing left over

        r = download(*sim, dir, {"--append", file});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, "Добавлено записей: 5\n");
        QCOMPARE(rows(file), 35);
    }

    void failuresLeaveNoFile_data()
    {
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("appendOutput"); // empty: the append fails too
        QTest::newRow("empty archive") << 0 << int(SimOptions::Fault::None) << "Архив прибора пуст!"
                                       << "Добавлено записей: 0\n";
        QTest::newRow("wrong instrument") << 5 << int(SimOptions::Fault::WrongType)
                                          << "Вы подключили не тот прибор !" << QString();
        QTest::newRow("odd characters")
            << 5 << int(SimOptions::Fault::OddCharacters) << "Range check error" << QString();
    }
    void failuresLeaveNoFile()
    {
        QFETCH(int, records);
        QFETCH(int, fault);
        QFETCH(QString, message);
        QFETCH(QString, appendOutput);
        QTemporaryDir dir;
        auto sim = instrument(records, SimOptions::Fault(fault));

        const Run r = download(*sim, dir, {dir.filePath("new.db")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());

        // An existing table is not replaced; an empty archive appends nothing.
        const QString old = dir.filePath("old.db");
        {
            DbfTable t;
            t.setTableFile(old);
            t.create();
        }
        QCOMPARE(download(*sim, dir, {old}).exitCode, 1);
        const Run appended = download(*sim, dir, {"--append", old});
        QCOMPARE(appended.exitCode, appendOutput.isEmpty() ? 1 : 0);
        QCOMPARE(appended.out, appendOutput);
        QCOMPARE(rows(old), 0);
    }

    void appendToWhatIsNoTable()
    {
        QTemporaryDir dir;
        auto sim = instrument(3, SimOptions::Fault::None);
        const QString file = dir.filePath("letter.db");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a table");
        f.close();
        const Run r = download(*sim, dir, {"--append", file});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("База данных повреждена !"), qPrintable(r.err));
        QCOMPARE(sim->completedTransfers(), 0); // refused before anything was downloaded
        QCOMPARE(contents(file), QByteArray("not a table"));
    }
};

QTEST_GUILESS_MAIN(TestDocumentCli)
#include "tst_document_cli.moc"
