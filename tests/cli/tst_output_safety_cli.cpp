// What the commands that write or print never do: write over the table they
// read, write into a device or a pipe, report success when their printed
// result was lost, or die half-way by a stop signal.
#include "tests/support/fln_process.h"
#include "tests/support/measurement_table.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A table of `rows` rows with Russian temperature texts.
void makeTable(const QString& path, int rows)
{
    writeMeasurementTable(path, rows, [](qint64 i) {
        return TestRow{.n = i % 9999 + 1, // the field has four digits
                       .mode = "Оперативный",
                       .enCh = 3,
                       .date =
                           QStringLiteral("%1.12.2026").arg(i / 1440 % 28 + 1, 2, 10, QChar(u'0')),
                       .time = QStringLiteral("%1:%2:00")
                                   .arg(i / 60 % 24, 2, 10, QChar(u'0'))
                                   .arg(i % 60, 2, 10, QChar(u'0')),
                       .t1 = QStringLiteral("%1,5").arg(20 + i % 7),
                       .t2 = QStringLiteral("-%1,0").arg(i % 9 + 1)};
    });
}

// The arguments of `command` on `table`, writing `output`.
QStringList commandLine(const QString& command, const QString& table, const QString& output)
{
    return QStringList{"--locale", "ru_RU", command, table, "-o", output};
}

// Whether the running program `pid` has its own handler for `signalNumber`
// (the caught-signals mask of /proc/PID/status).
bool catches(qint64 pid, int signalNumber)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
    return false;
}

} // namespace

class TestOutputSafetyCli : public QObject
{
    Q_OBJECT

private slots:
    // The output named in every way that reaches the table, on every command
    // that writes one: refused before any work, the table and its index as
    // they were. The table is "t.pdf", a name each of the commands writes.
    void outputIsNeverTheTable_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("output"); // relative to the table's folder, but "/..."
        QTest::addColumn<QString>("prepare");
        QTest::addColumn<QString>("refusal"); // empty: written
        const QString itself = QStringLiteral("Файл %1 — это сама таблица; укажите другое имя.\n");
        const QString special = QStringLiteral("Файл %1 — не обычный файл; укажите другое имя.\n");
        for (const char* command : {"export", "report", "chart"}) {
            const auto row = [command](const char* name) -> QTestData& {
                return QTest::addRow("%s: %s", command, name) << QString(command);
            };
            row("same path") << "t.pdf"
                             << "" << itself.arg("t.pdf");
            row("./path") << "./t.pdf"
                          << "" << itself.arg("./t.pdf");
            row("absolute") << "/t.pdf"
                            << "" << itself.arg("/t.pdf");
            row("symbolic link") << "l.pdf"
                                 << "symlink" << itself.arg("l.pdf");
            row("hard link") << "h.pdf"
                             << "hardlink" << itself.arg("h.pdf");
            row("the sort index") << "t.mdx"
                                  << "" << itself.arg("t.mdx");
            row("named pipe") << "p.pdf"
                              << "fifo" << special.arg("p.pdf");
            // A name each command writes: the export writes a workbook.
            row("new path") << (QString(command) == u"export" ? "new.xlsx" : "new.pdf") << ""
                            << QString();
        }
    }
    void outputIsNeverTheTable()
    {
        QFETCH(QString, command);
        QFETCH(QString, output);
        QFETCH(QString, prepare);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        const QString table = dir.filePath("t.pdf");
        makeTable(table, 3);
        // The sort index beside it, as the windows keep it.
        QCOMPARE(runFln({"dump", table, "--sort", "N", "--keep-index"}).code, 0);
        QVERIFY(QFile::exists(dir.filePath("t.mdx")));
        const QByteArray tableBytes = readFile(table);
        const QByteArray indexBytes = readFile(dir.filePath("t.mdx"));
        const QByteArray linkPath = QFile::encodeName(dir.filePath(output));
        if (prepare == u"symlink")
            QCOMPARE(::symlink("t.pdf", linkPath.constData()), 0);
        else if (prepare == u"hardlink")
            QCOMPARE(::link(QFile::encodeName(table).constData(), linkPath.constData()), 0);
        else if (prepare == u"fifo")
            QCOMPARE(::mkfifo(linkPath.constData(), 0600), 0);
        if (output.startsWith(u'/')) {
            output = dir.path() + output;
            refusal.replace(QStringLiteral("/t.pdf"), output);
        }
        const QStringList before =
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);

        FlnProcess p;
        p.process().setWorkingDirectory(dir.path());
        p.start(commandLine(command, "t.pdf", output));
        const FlnRun r = p.finish(20000);

        QCOMPARE(readFile(table), tableBytes);
        QCOMPARE(readFile(dir.filePath("t.mdx")), indexBytes);
        if (refusal.isEmpty()) {
            QCOMPARE(r.code, 0);
            QVERIFY(QFileInfo(dir.filePath(output)).size() > 0);
            return;
        }
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, refusal);
        QCOMPARE(r.out, QString());
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden),
            before);
        if (prepare == u"fifo") {
            struct stat st = {};
            QCOMPARE(::lstat(linkPath.constData(), &st), 0);
            QVERIFY(S_ISFIFO(st.st_mode));
        }
    }

    // The result of a command that prints is all the user gets of it (the
    // workbook's path, the rows): lost on the way, the command failed.
    void lostStandardOutputFails_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("export") << QStringList{"export", "t.db", "-o", "t.xlsx"};
        QTest::newRow("chart") << QStringList{"chart", "t.db", "-o", "t.png"};
        QTest::newRow("info") << QStringList{"info", "t.db"};
        QTest::newRow("dump") << QStringList{"dump", "t.db"};
        QTest::newRow("help") << QStringList{"--help"};
        QTest::newRow("sim help") << QStringList{"sim", "--help"};
    }
    void lostStandardOutputFails()
    {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        makeTable(dir.filePath("t.db"), 3);
        FlnProcess p;
        p.process().setWorkingDirectory(dir.path());
        p.process().setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringList{"--locale", "ru_RU"} + args);
        const FlnRun r = p.finish(20000);
        QCOMPARE(r.code, 1);
        // The system's reason follows, in the language of the system's messages.
        const QString message = r.err.section(u'\n', -2);
        QVERIFY2(message.startsWith(QStringLiteral("Не удалось записать стандартный вывод: ")) &&
                     message.endsWith(QStringLiteral(".\n")),
                 qPrintable(r.err));
    }

    // The reason is the system's, in the user's language, on every path:
    // also --help, which never makes an application object. Under the
    // users' locale a command's reason is Russian; the help's is the same.
    void lostHelpSaysWhyInTheUsersLanguage()
    {
        QTemporaryDir dir;
        makeTable(dir.filePath("t.db"), 3);
        const auto reason = [&](const QStringList& args) {
            FlnProcess p;
            p.process().setWorkingDirectory(dir.path());
            p.process().setStandardOutputFile(QStringLiteral("/dev/full"));
            p.start(args);
            const FlnRun r = p.finish(20000);
            return r.err.section(QStringLiteral("Не удалось записать стандартный вывод: "), 1);
        };
        const QString info = reason({"info", "t.db"});
        QVERIFY(!info.isEmpty());
        QCOMPARE(reason({"--help"}), info);
    }

    // Under a file-size limit (`ulimit -f`) a write past it fails and the
    // command says so as on a full disk, instead of dying by SIGXFSZ
    // without a word; the older output stays.
    void fileSizeLimitSaysWhy_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("output"); // empty: standard output into "out.txt"
        QTest::addColumn<int>("limit");
        QTest::newRow("report") << QStringList{"report", "t.db", "-o", "r.pdf"} << "r.pdf" << 16384;
        QTest::newRow("export") << QStringList{"export", "t.db", "-o", "w.xlsx"} << "w.xlsx"
                                << 4096;
        QTest::newRow("chart") << QStringList{"chart", "t.db", "-o", "c.svg"} << "c.svg" << 4096;
        QTest::newRow("dump") << QStringList{"dump", "t.db"} << "" << 16384;
        QTest::newRow("summary") << QStringList{"summary", "t.db"} << "" << 512;
    }
    void fileSizeLimitSaysWhy()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        QFETCH(int, limit);
        QTemporaryDir dir;
        makeTable(dir.filePath("t.db"), 3000);
        const QString older = dir.filePath(output.isEmpty() ? QStringLiteral("none") : output);
        if (!output.isEmpty()) {
            QFile f(older);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("older");
        }
        FlnProcess p;
        p.process().setWorkingDirectory(dir.path());
        if (output.isEmpty())
            p.process().setStandardOutputFile(dir.filePath("out.txt"));
        p.start(QStringList{"--locale", "ru_RU"} + args, [limit] {
            // As a shell sets it: the signal at its default, the limit low.
            ::signal(SIGXFSZ, SIG_DFL);
            rlimit l{rlim_t(limit), rlim_t(limit)};
            ::setrlimit(RLIMIT_FSIZE, &l);
        });
        const FlnRun r = p.finish(120000);
        QCOMPARE(r.code, 1);
        const QString message = r.err.section(u'\n', -2);
        const QString expected = output.isEmpty()
                                     ? QStringLiteral("Не удалось записать стандартный вывод: ")
                                     : QStringLiteral("Не удалось записать файл %1: ").arg(older);
        QVERIFY2(message.startsWith(expected), qPrintable(r.err));
        QVERIFY2(!r.err.contains("/proc/") && !r.err.contains("ERROR"), qPrintable(r.err));
        if (!output.isEmpty())
            QCOMPARE(readFile(older), QByteArray("older"));
    }

    // The export writes a workbook: a name with another suffix is refused
    // before any work, as the chart refuses one.
    void exportNamesAWorkbook()
    {
        QTemporaryDir dir;
        makeTable(dir.filePath("t.db"), 3);
        FlnProcess p;
        p.process().setWorkingDirectory(dir.path());
        p.start({"--locale", "ru_RU", "export", "t.db", "-o", "x.pdf"});
        const FlnRun r = p.finish(20000);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err,
                 QStringLiteral("'x.pdf' is not a workbook this command writes: name it .xlsx.\n"));
        QVERIFY(!QFile::exists(dir.filePath("x.pdf")));
    }

    // A file name that is not UTF-8 cannot be opened through the program's
    // file names: it is said so, not that the file does not exist.
    void nameNotUtf8()
    {
        QTemporaryDir dir;
        makeTable(dir.filePath("t.db"), 3);
        const QByteArray raw = QFile::encodeName(dir.path()) + "/t\xe9.db";
        QCOMPARE(::rename(QFile::encodeName(dir.filePath("t.db")).constData(), raw.constData()), 0);
        QProcess p;
        // Bytes as a shell passes them: QProcess takes only texts.
        p.start("/bin/sh", {"-c", "exec \"$0\" info \"$(printf '%s/t\\351.db' \"$1\")\"",
                            flnExecutable(), dir.path()});
        QVERIFY(p.waitForFinished(20000));
        ::unlink(raw.constData()); // a name Qt cannot remove
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(
            QString::fromUtf8(p.readAllStandardError()),
            QStringLiteral("fln: имя «%1/t\uFFFD.db» не в кодировке UTF-8; переименуйте файл\n")
                .arg(dir.path()));
    }

    // Ctrl-C or SIGTERM while a long report or chart is made: the command
    // says why, exits 1 and leaves no file.
    void stopSignalEndsTheJob_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("message");
        QTest::newRow("report, Ctrl-C")
            << "report"
            << "r.pdf" << int(SIGINT) << "Отчет не записан: прервано пользователем (Ctrl-C)\n";
        QTest::newRow("report, SIGTERM")
            << "report"
            << "r.pdf" << int(SIGTERM) << "Отчет не записан: получен сигнал завершения (SIGTERM)\n";
        QTest::newRow("chart, Ctrl-C")
            << "chart"
            << "c.svg" << int(SIGINT) << "Рисунок не записан: прервано пользователем (Ctrl-C)\n";
        QTest::newRow("chart, SIGTERM")
            << "chart"
            << "c.svg" << int(SIGTERM)
            << "Рисунок не записан: получен сигнал завершения (SIGTERM)\n";
    }
    void stopSignalEndsTheJob()
    {
        QFETCH(QString, command);
        QFETCH(QString, output);
        QFETCH(int, signalNumber);
        QFETCH(QString, message);
        QTemporaryDir dir;
        // Long enough that the signal comes while the job is at work.
        makeTable(dir.filePath("t.db"), 50000);
        FlnProcess p;
        p.start(commandLine(command, dir.filePath("t.db"), dir.filePath(output)));
        // Sent once the program listens for it; before that it would only
        // have died by it. Until the program has replaced the forked child,
        // the child shows this test's own handlers.
        QVERIFY(p.process().waitForStarted());
        const QString exe = QStringLiteral("/proc/%1/exe").arg(p.process().processId());
        QTRY_COMPARE(QFileInfo(exe).canonicalFilePath(),
                     QFileInfo(flnExecutable()).canonicalFilePath());
        QElapsedTimer waited;
        waited.start();
        while (!catches(p.process().processId(), signalNumber) &&
               p.process().state() != QProcess::NotRunning && waited.elapsed() < 30000)
            QTest::qWait(1);
        QVERIFY(p.process().state() != QProcess::NotRunning);
        ::kill(pid_t(p.process().processId()), signalNumber);
        const FlnRun r = p.finish(60000);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.section(u'\n', -2), message);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"t.db"});
    }
};

QTEST_GUILESS_MAIN(TestOutputSafetyCli)
#include "tst_output_safety_cli.moc"
