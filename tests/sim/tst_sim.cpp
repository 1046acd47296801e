// The simulated instrument: its archive bytes, and what it says on the line.
#include "platform/serial_device.h"
#include "sim/simulated_instrument.h"

#include <QElapsedTimer>
#include <QtTest>

#include <stdexcept>

namespace {

// Talks to the simulator from the PC's side of the pseudo-terminal.
struct Line
{
    SerialDevice port;
    explicit Line(const QString& path)
    {
        if (port.open(path)) {
            SerialLineSettings s;
            s.stopBits = SerialLineSettings::StopBits::Two;
            port.configure(s);
        }
    }
    QByteArray ask(char command, qsizetype expected, int timeoutMs = 5000)
    {
        port.write(&command, 1);
        QByteArray got;
        QElapsedTimer t;
        t.start();
        char buf[4096];
        while (got.size() < expected && t.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const auto n = port.read(buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
        }
        return got;
    }
};

std::unique_ptr<SimulatedInstrument> started(SimArchive a, SimOptions::Fault fault = {},
                                             double rate = 0)
{
    SimOptions o;
    o.fault = fault;
    o.charsPerSecond = rate;
    auto sim = std::make_unique<SimulatedInstrument>(std::move(a), o);
    if (!sim->start())
        qFatal("no pseudo-terminal");
    return sim;
}

} // namespace

class TestSim : public QObject
{
    Q_OBJECT
private slots:
    void recordLayout();
    void wireEncoding();
    void generatedArchive();
    void csvArchive();
    void csvErrors();
    void answers_data();
    void answers();
    void pacedAtTheLineRate();
};

void TestSim::recordLayout()
{
    SimRecord r;
    r.observation = true;
    r.channels = 1;
    r.t1 = 2345;
    r.t2 = -5;
    r.time = QDateTime(QDate(2007, 2, 28), QTime(13, 4, 5));
    const QByteArray expected("\x21\x29\x09\xFB\xFF\x05\x04\x0D\x1C\x02\x07", 11);
    QCOMPARE(SimArchive::encodeRecord(r), expected);
}

void TestSim::wireEncoding()
{
    // the count 300 travels as < 2 1 0
    QCOMPARE(SimArchive::toWire(QByteArray("\x2C\x01", 2)), QByteArray("<210"));
    QCOMPARE(SimArchive::toWire(QByteArray("\x06\xFF\x00", 3)), QByteArray("60??00"));
}

void TestSim::generatedArchive()
{
    const QDateTime start(QDate(2026, 1, 10), QTime(0, 0));
    const SimArchive a = SimArchive::generate(42, 5957, start, 600);
    const auto& recs = a.records();
    QCOMPARE(recs.size(), 5957);
    QCOMPARE(a.image().size(), 65529);
    QCOMPARE(quint8(a.image()[0]) + 256 * quint8(a.image()[1]), 5957);
    bool observation = false, operative = false, negative = false;
    QSet<int> channels;
    for (int i = 0; i < recs.size(); ++i) {
        QCOMPARE(recs[i].time, start.addSecs(600LL * i));
        observation |= recs[i].observation;
        operative |= !recs[i].observation;
        negative |= recs[i].t2 < 0;
        channels << recs[i].channels;
        QVERIFY(recs[i].t1 > 500 && recs[i].t1 < 3000);
    }
    QVERIFY(observation && operative && negative);
    QVERIFY(channels.size() >= 3);
    // the same seed makes the same archive, another seed another one
    QCOMPARE(SimArchive::generate(42, 100, start, 600).image(),
             SimArchive::generate(42, 100, start, 600).image());
    QVERIFY(SimArchive::generate(43, 100, start, 600).image() !=
            SimArchive::generate(42, 100, start, 600).image());
    // growing adds newer records at the same interval, up to the largest archive
    SimArchive g = SimArchive::generate(1, 3, start, 60);
    g.grow(2);
    QCOMPARE(g.records().size(), 5);
    QCOMPARE(g.records()[4].time, start.addSecs(240));
    SimArchive full = SimArchive::generate(1, 5957, start, 60);
    full.grow(1);
    QCOMPARE(full.records().size(), 5957);
}

void TestSim::csvArchive()
{
    const SimArchive a = SimArchive::fromCsv(QFINDTESTDATA("data/archive.csv"));
    QCOMPARE(a.records().size(), 3);
    const QByteArray img = a.image();
    QCOMPARE(img.left(2), QByteArray("\x03\x00", 2));
    // 23.45 -> 2345 (0x0929), -0.05 -> 65531 (0xFFFB), 23:50:00 31.12.2025
    QCOMPARE(img.mid(2, 11), QByteArray("\x03\x29\x09\xFB\xFF\x00\x32\x17\x1F\x0C\x19", 11));
    // observation, channel 1, -327.68 -> 0x8000, 327.67 -> 0x7FFF
    QCOMPARE(img.mid(13, 11), QByteArray("\x21\x00\x80\xFF\x7F\x05\x00\x00\x01\x01\x1A", 11));
    QCOMPARE(img.mid(24, 11), QByteArray("\x22\xF4\x01\x00\x00\x38\x22\x0C\x0F\x06\xFF", 11));
}

void TestSim::csvErrors()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.csv");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("0;3;1.0;2.0;01.01.2026;00:00:00\n0;3;400.0;2.0;01.01.2026;00:10:00\n");
    f.close();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, SimArchive::fromCsv(path));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, SimArchive::fromCsv(dir.filePath("none.csv")));
}

void TestSim::answers_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QByteArray>("toV");
    QTest::addColumn<QByteArray>("toN");
    using F = SimOptions::Fault;
    // One record: flags 0, T1 = T2 = 0x1010, 16:16:16 on 16.12.2016 (day 0x10,
    // month 0x0C, year 0x10): every byte but the flags and the month is "01".
    const QByteArray whole("S1000000101010101010101<001P");
    const QByteArray id("601302010");
    // clang-format off
    QTest::newRow("none")          << int(F::None)          << id                    << whole;
    QTest::newRow("wrong type")    << int(F::WrongType)     << QByteArray("611302010") << whole;
    QTest::newRow("wrong version") << int(F::WrongVersion)  << QByteArray("602302010") << whole;
    QTest::newRow("Z before")      << int(F::RestartBefore) << QByteArray("Z")       << whole;
    QTest::newRow("silence")       << int(F::Silence)       << QByteArray()          << QByteArray();
    QTest::newRow("no S")          << int(F::NoStart)       << id << QByteArray("1000000101010101010101<001P");
    QTest::newRow("odd")           << int(F::OddCharacters) << id << QByteArray("S1000000101010101010101<00P");
    QTest::newRow("bad pair")      << int(F::BadPair)       << id << QByteArray("S100000010101010@010101<001P");
    QTest::newRow("stall")         << int(F::Stall)         << id << QByteArray("S10000001010101");
    QTest::newRow("Z during")      << int(F::RestartDuring) << id << QByteArray("S10000001010101Z");
    // clang-format on
}

void TestSim::answers()
{
    QFETCH(int, fault);
    QFETCH(QByteArray, toV);
    QFETCH(QByteArray, toN);
    QTemporaryDir dir;
    QFile csv(dir.filePath("one.csv"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("0;0;41.12;41.12;16.12.2016;16:16:16\n");
    csv.close();
    auto sim = started(SimArchive::fromCsv(csv.fileName()), SimOptions::Fault(fault));
    Line line(sim->devicePath());
    QVERIFY(line.port.isOpen());
    const int wait = toV.isEmpty() ? 300 : 5000;
    QCOMPARE(line.ask('V', std::max<qsizetype>(toV.size(), 1), wait), toV);
    if (toV == "Z") // the next "V" is answered
        QCOMPARE(line.ask('V', 9), QByteArray("601302010"));
    QCOMPARE(line.ask('N', std::max<qsizetype>(toN.size(), 1), toN.isEmpty() ? 300 : 5000), toN);
    if (SimOptions::Fault(fault) == SimOptions::Fault::RestartDuring) // only once
        QCOMPARE(line.ask('N', 28), QByteArray("S1000000101010101010101<001P"));
}

void TestSim::pacedAtTheLineRate()
{
    auto sim = started(SimArchive::generate(3, 20, QDateTime(QDate(2026, 1, 1), QTime()), 60), {},
                       SimOptions::kLineRate);
    Line line(sim->devicePath());
    QVERIFY(line.port.isOpen());
    QCOMPARE(line.ask('V', 9), QByteArray("601302010"));
    const QByteArray expected = sim->archiveStream();
    QElapsedTimer t;
    t.start();
    QCOMPARE(line.ask('N', expected.size()), expected);
    // 446 characters at 9600 baud, 11 bits each, take about 0.51 s
    QVERIFY2(t.elapsed() >= 450, qPrintable(QString::number(t.elapsed())));
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
