// `fln info` and `fln dump` as a user runs them: output, exit codes, texts.
#include "tests/support/measurement_table.h"
#include "tests/support/peers.h"

#include "tests/support/fln_process.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <utility>

namespace {

FlnRun fln(const QStringList& args)
{
    return runFln(args);
}

const QString kSample = QStringLiteral(FLN_SOURCE_DIR "/tests/data/data/sample.db");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath("pipe.db")).constData(), 0600), 0);
        QVERIFY(QDir(m_dir.path()).mkdir("folder.db"));
    }

    void infoPrintsTheHeaderFacts()
    {
        const QByteArray bytes = readFile(kSample);
        const FlnRun r = fln({"info", kSample});
        QCOMPARE(r.code, 0);
        const QString date = QStringLiteral("Last update: %1-%2-%3")
                                 .arg(1900 + quint8(bytes[1]))
                                 .arg(int(bytes[2]), 2, 10, QLatin1Char('0'))
                                 .arg(int(bytes[3]), 2, 10, QLatin1Char('0'));
        for (const QString& line :
             {QStringLiteral("Version: 0x03"), QStringLiteral("Level: 4"), date,
              QStringLiteral("Records: 7"), QStringLiteral("Header length: 289"),
              QStringLiteral("Record length: 100"),
              QStringLiteral("Language driver: 0xC9 (code page 1251)"), QStringLiteral("Fields: 8"),
              QStringLiteral("  MODE        C  11  0"), QStringLiteral("  EN_CH       N   4  0"),
              QStringLiteral("  COMMENT     C  50  0")})
            QVERIFY2(r.out.contains(line + u'\n'), qPrintable(line + u'\n' + r.out));
    }

    // The footers' texts under the users' locale too, where the C library
    // writes a decimal comma of its own.
    void infoPrintsTheFooters()
    {
        const QString path = m_dir.filePath("footers.db");
        QList<TestRow> rows;
        for (const auto& [t1, t2] : {std::pair{"10,0", "-5,3"}, std::pair{"10,1", "-5,4"}})
            rows.append({.n = 1, .date = "01.12.2026", .time = "10:00:00", .t1 = t1, .t2 = t2});
        writeMeasurementTable(path, rows);
        const FlnRun r = fln({"--locale", "ru_RU", "info", path});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.endsWith(QStringLiteral("T1, °C: 10/10,1/10,1\nT2, °C: -5,4/-5,3/-5,3\n")),
                 qPrintable(r.out));
    }

    void dumpIsCsvInUtf8()
    {
        const QByteArray before = readFile(kSample);
        const FlnRun r = fln({"dump", kSample});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 9); // header, seven rows, and the empty rest after the last CRLF
        QCOMPARE(lines[0], QStringLiteral("N,MODE,EN_CH,DATE,TIME,T_1,T_2,COMMENT"));
        QCOMPARE(lines[1],
                 QStringLiteral("1,Оперативный,3,14.03.2024,23:58:00,\"21,5\",\"-3,0\","));
        QCOMPARE(lines[4], QStringLiteral("4,Наблюдения,3,15.03.2024,06:30:00,\"19,8\",\"-10,2\","
                                          "\"окно открыто, \"\"сквозняк\"\"\""));
        QCOMPARE(readFile(kSample), before); // a dump changes no byte
    }

    void dumpMatchesDbfread()
    {
        const FlnRun r = fln({"dump", kSample});
        const auto peer = peers::python(
            "import sys,csv,dbfread\n"
            "t=dbfread.DBF(sys.argv[1])\n"
            "w=csv.writer(sys.stdout,lineterminator='\\r\\n')\n"
            "w.writerow(t.field_names)\n"
            "for rec in t: w.writerow(['' if v is None else v for v in rec.values()])",
            {kSample});
        FLN_NEED_PEER(peer, "python3-dbfread");
        QCOMPARE(peer.exitCode, 0);
        QCOMPARE(r.out, QString::fromUtf8(peer.out));
    }

    void exitCodesAndTexts_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err"); // a part of stderr
        const QString missing = m_dir.filePath("missing.db");
        QTest::newRow("help") << QStringList{"--help"} << 0 << QString();
        QTest::newRow("info without a file")
            << QStringList{"info"} << 2 << "info needs exactly one FILE";
        QTest::newRow("two files")
            << QStringList{"dump", "a", "b"} << 2 << "dump needs exactly one FILE";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "unknown command";
        QTest::newRow("unknown option") << QStringList{"info", "--bogus", kSample} << 2 << "bogus";
        QTest::newRow("descending without sort")
            << QStringList{"dump", "--descending", kSample} << 2 << "--sort";
        QTest::newRow("sort outside dump")
            << QStringList{"info", "--sort", "N", kSample} << 2 << "dump";
        QTest::newRow("missing file")
            << QStringList{"info", missing} << 1 << "Table does not exist";
        QTest::newRow("not a table")
            << QStringList{"dump", FLN_SOURCE_DIR "/CMakeLists.txt"} << 1 << "Invalid DBF file.";
        QTest::newRow("output outside chart, export, report")
            << QStringList{"info", "-o", "x.png", kSample} << 2 << "-o belongs to";
        QTest::newRow("curves outside chart")
            << QStringList{"dump", "--t1", kSample} << 2 << "belong to chart";
        QTest::newRow("picture wider than the limit")
            << QStringList{"chart", kSample, "-o", "x.png", "--width", "10001"} << 2
            << "--width and --height take a number of pixels, 16 to 10000";
        QTest::newRow("picture taller than the limit")
            << QStringList{"chart", kSample, "-o", "x.png", "--height", "20000"} << 2
            << "--width and --height take a number of pixels, 16 to 10000";
        QTest::newRow("keep-index without sort")
            << QStringList{"dump", "--keep-index", kSample} << 2 << "--keep-index";
        QTest::newRow("print-to-pdf is global, before the command")
            << QStringList{"--print-to-pdf", m_dir.path(), "info", missing} << 1
            << "Table does not exist";
        QTest::newRow("unknown locale")
            << QStringList{"--locale", "xyzzy", "info", kSample} << 1 << "xyzzy";
        // Refused before the open, which would wait for ever on a pipe; one
        // wording on every path.
        const QString pipe = m_dir.filePath("pipe.db");
        const QString folder = m_dir.filePath("folder.db");
        const QString notRegular = QStringLiteral("Cannot open table %1: not a regular file");
        const QString aFolder = QStringLiteral("Cannot open table %1: it is a folder");
        QTest::newRow("info of a named pipe")
            << QStringList{"info", pipe} << 1 << notRegular.arg(pipe);
        QTest::newRow("dump of a named pipe")
            << QStringList{"dump", pipe} << 1 << notRegular.arg(pipe);
        QTest::newRow("dump --sort of a named pipe")
            << QStringList{"dump", pipe, "--sort", "N"} << 1 << notRegular.arg(pipe);
        QTest::newRow("info of a folder")
            << QStringList{"info", folder} << 1 << aFolder.arg(folder);
        QTest::newRow("dump --sort of a folder")
            << QStringList{"dump", folder, "--sort", "N"} << 1 << aFolder.arg(folder);
    }

    void exitCodesAndTexts()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, err);
        const FlnRun r = fln(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        if (code == 0)
            QVERIFY(r.out.contains("Usage: fln"));
    }

    // Started over a plain terminal, the windows have nowhere to go: the
    // program says so and ends, instead of aborting inside Qt.
    void windowsWithoutDisplayEndWithAMessage()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(flnExecutable(), {kSample});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(err.contains("no display") && err.contains("fln --help"), qPrintable(err));
    }

    void foreignTableWithoutCommentIsRefused()
    {
        // The sample with its last field renamed.
        QByteArray bytes = readFile(kSample);
        const qsizetype at = bytes.indexOf("COMMENT");
        QVERIFY(at > 0);
        bytes.replace(at, 7, "REMARKS");
        const QString p = m_dir.filePath("remarks.db");
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const FlnRun r = fln({"dump", p});
        QCOMPARE(r.code, 1);
        // The windows' default error report appends the full stop.
        QCOMPARE(r.err, QStringLiteral("Field 'COMMENT' not found.\n"));
        QVERIFY(r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
