// `fln download [--append] FILE` as a user runs it, against the simulated
// instrument running in this test's event loop on a pseudo-terminal.
#include "data/dbf_table.h"
#include "platform/app_error.h"
#include "sim/simulated_instrument.h"
#include "tests/support/fln_process.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/stat.h>

namespace {

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

QStringList downloadArgs(const SimulatedInstrument& sim, const QTemporaryDir& dir,
                         const QStringList& args)
{
    return QStringList{"--locale",       "ru_RU",   "--port1",
                       sim.devicePath(), "--port2", dir.filePath("no-port"),
                       "download"} +
           args;
}

// Starts fln with the instrument on the first port and nothing on the second.
void start(FlnProcess& p, const SimulatedInstrument& sim, const QTemporaryDir& dir,
           const QStringList& args)
{
    p.start(downloadArgs(sim, dir, args));
}

// Waits for the end, keeping this event loop (and so the instrument) running.
FlnRun finish(FlnProcess& p, int timeoutMs = 30000)
{
    return p.finish(timeoutMs);
}

FlnRun download(const SimulatedInstrument& sim, const QTemporaryDir& dir, const QStringList& args)
{
    FlnProcess p;
    start(p, sim, dir, args);
    return finish(p);
}

// Every file in the folder, hidden ones too.
QStringList files(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

quint8 byte28(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? quint8(f.read(29).at(28)) : 0xFF;
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
        FlnRun r = download(*sim, dir, {file});
        QCOMPARE(r.code, 0);
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
        QCOMPARE(r.code, 0);
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

        const FlnRun r = download(*sim, dir, {dir.filePath("new.db")});
        QCOMPARE(r.code, 1);
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
        QCOMPARE(download(*sim, dir, {old}).code, 1);
        const FlnRun appended = download(*sim, dir, {"--append", old});
        QCOMPARE(appended.code, appendOutput.isEmpty() ? 1 : 0);
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
        const FlnRun r = download(*sim, dir, {"--append", file});
        QCOMPARE(r.code, 1);
        // In the table layer's words, which say what is wrong.
        QVERIFY2(r.err.contains("Invalid DBF file."), qPrintable(r.err));
        QCOMPARE(sim->completedTransfers(), 0); // refused before anything was downloaded
        QCOMPARE(contents(file), QByteArray("not a table"));
    }

    // A table someone holds, and anything that is no regular file, is
    // refused before the instrument is asked for anything, and left alone.
    void refusedBeforeTheDownload_data()
    {
        QTest::addColumn<QString>("target"); // held, pipe, folder
        QTest::addColumn<bool>("append");
        QTest::addColumn<QString>("message");
        const QString held = QStringLiteral("another program has it open");
        QTest::newRow("held open, new") << "held" << false << held;
        QTest::newRow("held open, append") << "held" << true << held;
        QTest::newRow("named pipe, new") << "pipe" << false << "not a regular file";
        QTest::newRow("named pipe, append") << "pipe" << true << "not a regular file";
        QTest::newRow("folder, new") << "folder" << false << "it is a folder";
        QTest::newRow("folder, append") << "folder" << true << "it is a folder";
    }
    void refusedBeforeTheDownload()
    {
        QFETCH(QString, target);
        QFETCH(bool, append);
        QFETCH(QString, message);
        QTemporaryDir dir;
        auto sim = instrument(3, SimOptions::Fault::None);
        const QString file = dir.filePath("t.db");
        DbfTable holder;
        if (target == "held") {
            holder.setTableFile(file);
            holder.create();
            holder.open(); // as the window holds it
        } else if (target == "pipe") {
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else {
            QVERIFY(QDir(dir.path()).mkdir("t.db"));
        }
        const QByteArray before = target == "held" ? contents(file) : QByteArray();

        const FlnRun r =
            download(*sim, dir, append ? QStringList{"--append", file} : QStringList{file});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(sim->completedTransfers(), 0);
        QCOMPARE(files(dir), target == "folder" ? QStringList() : QStringList{"t.db"});
        if (target == "held") {
            QCOMPARE(contents(file), before);
            holder.append(); // the holder's table is still the file on disk
            holder.setInteger("N", 1);
            holder.post();
            holder.close();
            QCOMPARE(rows(file), 1);
        }
    }

    // Append follows "Дополнить": the sort goes with its index file and
    // header byte 28; and its job ends with the rows on disk, whatever the
    // old rows' temperatures say to the statistics.
    void appendToASortedEditedTable()
    {
        QTemporaryDir dir;
        auto sim = instrument(4, SimOptions::Fault::None, 2);
        const QString file = dir.filePath("t.db");
        QCOMPARE(download(*sim, dir, {file}).code, 0);
        {
            DbfTable t;
            t.setTableFile(file);
            t.open();
            t.goToRecord(1);
            t.edit();
            t.setText("T_1", "1.5"); // no number under Russian settings
            t.post();
            t.addSortTag("tab1", "N", true);
            t.selectSortTag("tab1");
            t.close(); // as "Выход" leaves it: the .mdx stays, byte 28 is 1
        }
        QCOMPARE(byte28(file), 1);

        const FlnRun r = download(*sim, dir, {"--append", file});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, "Добавлено записей: 2\n");
        QCOMPARE(files(dir), QStringList{"t.db"});
        QCOMPARE(byte28(file), 0);
        DbfTable t;
        t.setTableFile(file);
        t.open(DbfTable::Access::ReadOnly);
        QList<qint64> numbers;
        for (t.first(); !t.eof(); t.next())
            numbers << t.integer("N").value_or(-1);
        QCOMPARE(numbers, (QList<qint64>{1, 2, 3, 4, 5, 6}));
    }

    // A kill while the table is written (nothing can catch SIGKILL) leaves
    // either no file or the whole table, never a part of one.
    void killedWhileWritingLeavesNoPart()
    {
        auto sim = instrument(5957, SimOptions::Fault::None);
        for (int delayMs = 0; delayMs < 80; delayMs += 10) {
            QTemporaryDir dir;
            QSignalSpy transferred(sim.get(), &SimulatedInstrument::transferFinished);
            FlnProcess p;
            start(p, *sim, dir, {dir.filePath("t.db")});
            QVERIFY(transferred.wait(20000));
            QTest::qWait(delayMs);
            ::kill(pid_t(p.process().processId()), SIGKILL);
            finish(p);
            const QStringList left = files(dir);
            QVERIFY2(left.isEmpty() || left == QStringList{"t.db"}, qPrintable(left.join(' ')));
            if (!left.isEmpty())
                QCOMPARE(rows(dir.filePath("t.db")), 5957);
        }
    }

    // The command line's ends of a transfer that stops: Ctrl-C and the other
    // stop signals, the device gone, a line that stays silent. Each says why,
    // exits 1 and leaves nothing on disk.
    void stoppedTransferLeavesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::newRow("Ctrl-C") << "SIGINT"
                                << "Прием данных прерван: прервано пользователем";
        QTest::newRow("SIGTERM") << "SIGTERM"
                                 << "Прием данных прерван: получен сигнал";
        QTest::newRow("adapter unplugged") << "hang-up"
                                           << "Связь с прибором прервана: устройство";
        QTest::newRow("silent line") << "silence"
                                     << "прибор не передает данных 10 с";
    }
    void stoppedTransferLeavesNothing()
    {
        QFETCH(QString, how);
        QFETCH(QString, message);
        QTemporaryDir dir;
        auto sim = instrument(40, SimOptions::Fault::Stall);
        QSignalSpy commands(sim.get(), &SimulatedInstrument::commandReceived);
        FlnProcess p;
        start(p, *sim, dir, {dir.filePath("t.db")});
        // The archive asked for; the instrument stalls halfway through it.
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(commands.begin(), commands.end(),
                        [](const QList<QVariant>& c) { return c.first().value<char>() == 'N'; }),
            10000);
        QTRY_VERIFY_WITH_TIMEOUT(sim->pending() == 0, 10000); // half the archive is on the line
        QCOMPARE(files(dir), QStringList()); // the new table is unseen until complete
        if (how == "SIGINT")
            ::kill(pid_t(p.process().processId()), SIGINT);
        else if (how == "SIGTERM")
            ::kill(pid_t(p.process().processId()), SIGTERM);
        else if (how == "hang-up")
            sim.reset(); // the other end of the line goes
        const FlnRun r = finish(p, 20000);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QCOMPARE(files(dir), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestDocumentCli)
#include "tst_download_cli.moc"
