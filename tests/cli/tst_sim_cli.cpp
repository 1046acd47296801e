// `fln sim` as a user runs it: the device path on the first line, then the
// instrument answers on that device until the process is stopped.
#include "platform/serial_device.h"
#include "tests/support/fln_process.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

class TestSimCli : public QObject
{
    Q_OBJECT
private slots:
    void answersOnThePrintedDevice();
    void refusesBadOptions_data();
    void refusesBadOptions();
};

namespace {

QString fln()
{
    return flnExecutable();
}

QByteArray ask(SerialDevice& port, char command, qsizetype expected)
{
    port.write(&command, 1);
    QByteArray got;
    QElapsedTimer t;
    t.start();
    char buf[512];
    while (got.size() < expected && t.elapsed() < 5000) {
        const auto n = port.read(buf, sizeof buf);
        if (n > 0)
            got.append(buf, n);
        else
            QTest::qWait(5);
    }
    return got;
}

} // namespace

void TestSimCli::answersOnThePrintedDevice()
{
    QProcess sim;
    sim.start(fln(), {"sim", "--fast", "--csv", QStringLiteral(FLN_SOURCE_DIR "/tests/sim/data/archive.csv")});
    QVERIFY2(sim.waitForReadyRead(10000), qPrintable(sim.errorString()));
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY(device.startsWith(QLatin1String("/dev/")));
    SerialDevice port;
    QVERIFY(port.open(device));
    QVERIFY(port.configure(SerialLineSettings{}));
    QCOMPARE(ask(port, 'V', 9), QByteArray("601302010"));
    // three records from the file: count 3, then 3 x 22 characters
    const QByteArray archive = ask(port, 'N', 1 + 4 + 66 + 1);
    QCOMPARE(archive.left(5), QByteArray("S3000"));
    QCOMPARE(archive.size(), 72);
    QVERIFY(archive.endsWith('P'));
    // the first record: 0x03, T1 2345 (29 09), T2 -5 (FB FF), 23:50:00 on 31.12.2025
    QCOMPARE(archive.mid(5, 22), QByteArray("309290;???002371?1<091"));
    sim.kill();
    sim.waitForFinished();
}

void TestSimCli::refusesBadOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("too many records") << QStringList{"sim", "--records", "5958"};
    QTest::newRow("unknown fault") << QStringList{"sim", "--fault", "smoke"};
    QTest::newRow("bad start") << QStringList{"sim", "--start", "yesterday"};
    QTest::newRow("stray argument") << QStringList{"sim", "extra"};
}

void TestSimCli::refusesBadOptions()
{
    QFETCH(QStringList, args);
    QProcess sim;
    sim.start(fln(), args);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardError().startsWith("fln sim: "));
}

QTEST_GUILESS_MAIN(TestSimCli)
#include "tst_sim_cli.moc"
