// The serial port component: property rules, and the real component on a
// pseudo-terminal.
#include "device/cpdrv.h"
#include "platform/pseudo_terminal.h"

#include <QtTest>

#include <functional>

using DriverAction = std::function<void(TCommPortDriver&)>;
using DriverCheck = std::function<bool(const TCommPortDriver&)>;
Q_DECLARE_METATYPE(DriverAction)
Q_DECLARE_METATYPE(DriverCheck)

namespace {

const QString kCom1 = QStringLiteral("\\\\.\\COM1");

struct Received
{
    QByteArray bytes;
    int calls = 0;
    quint32 largest = 0;
};

void listen(TCommPortDriver& d, Received& r)
{
    d.setOnReceiveData([&r](TCommPortDriver*, const std::uint8_t* data, std::uint32_t size) {
        r.bytes.append(reinterpret_cast<const char*>(data), size);
        ++r.calls;
        r.largest = std::max(r.largest, size);
    });
}

} // namespace

class TestCommPortDriver : public QObject
{
    Q_OBJECT
private slots:
    void defaults();
    void propertyRules_data();
    void propertyRules();
    void portNames_data();
    void portNames();
    void closedPort();
    void openSendAndReceive();
    void portNameIgnoredWhileOpen();
    void chunksNeverExceedInBufSize();
    void secondOpenerRefused();
    void lineSettingsReachTheDevice();
};

void TestCommPortDriver::defaults()
{
    TCommPortDriver d{SerialPortMap()};
    QCOMPARE(d.Port(), pnCOM2);
    QCOMPARE(d.PortName(), QStringLiteral("\\\\.\\COM2"));
    QCOMPARE(d.BaudRate(), br9600);
    QCOMPARE(d.BaudRateValue(), 9600u);
    QCOMPARE(d.DataBits(), db8BITS);
    QCOMPARE(d.StopBits(), sb1BITS);
    QCOMPARE(d.Parity(), ptNONE);
    QCOMPARE(d.HwFlow(), hfNONERTSON);
    QCOMPARE(d.SwFlow(), sfNONE);
    QCOMPARE(d.InBufSize(), 2048u);
    QCOMPARE(d.OutBufSize(), 2048u);
    QCOMPARE(d.PollingDelay(), quint16(50));
    QVERIFY(d.EnableDTROnOpen());
    QCOMPARE(d.OutputTimeout(), quint16(500));
    QCOMPARE(d.InputTimeout(), quint16(200));
    QVERIFY(!d.CheckLineStatus());
    QCOMPARE(d.PacketSize(), -1);
    QCOMPARE(d.PacketTimeout(), -1);
    QCOMPARE(d.PacketMode(), pmDiscard);
    QVERIFY(!d.IsOpen());
}

void TestCommPortDriver::propertyRules_data()
{
    QTest::addColumn<DriverAction>("action");
    QTest::addColumn<DriverCheck>("check");
    auto row = [](const char* name, DriverAction a, DriverCheck c) {
        QTest::newRow(name) << a << c;
    };
    row(
        "InBufSize 100 becomes 128", [](auto& d) { d.setInBufSize(100); },
        [](const auto& d) { return d.InBufSize() == 128; });
    row(
        "InBufSize 10000 becomes 8192", [](auto& d) { d.setInBufSize(10000); },
        [](const auto& d) { return d.InBufSize() == 8192; });
    row(
        "InBufSize 4096 kept", [](auto& d) { d.setInBufSize(4096); },
        [](const auto& d) { return d.InBufSize() == 4096; });
    row(
        "OutBufSize 100 becomes 128", [](auto& d) { d.setOutBufSize(100); },
        [](const auto& d) { return d.OutBufSize() == 128; });
    row(
        "OutBufSize 10000 becomes 8192", [](auto& d) { d.setOutBufSize(10000); },
        [](const auto& d) { return d.OutBufSize() == 8192; });
    row(
        "PollingDelay 2 becomes 5", [](auto& d) { d.setPollingDelay(2); },
        [](const auto& d) { return d.PollingDelay() == 5; });
    row(
        "PollingDelay 7 kept", [](auto& d) { d.setPollingDelay(7); },
        [](const auto& d) { return d.PollingDelay() == 7; });
    row(
        "BaudRateValue 12345 is custom", [](auto& d) { d.setBaudRateValue(12345); },
        [](const auto& d) { return d.BaudRate() == brCustom && d.BaudRateValue() == 12345; });
    row(
        "BaudRate br19200 sets 19200", [](auto& d) { d.setBaudRate(br19200); },
        [](const auto& d) { return d.BaudRateValue() == 19200; });
    row(
        "BaudRate br110 sets 110", [](auto& d) { d.setBaudRate(br110); },
        [](const auto& d) { return d.BaudRateValue() == 110; });
    row(
        "BaudRate br256000 sets 256000", [](auto& d) { d.setBaudRate(br256000); },
        [](const auto& d) { return d.BaudRateValue() == 256000; });
    row(
        "BaudRate brCustom keeps the value",
        [](auto& d) {
            d.setBaudRateValue(31250);
            d.setBaudRate(br4800);
            d.setBaudRate(brCustom);
        },
        [](const auto& d) { return d.BaudRate() == brCustom && d.BaudRateValue() == 4800; });
    row(
        "Port pnCOM7 names COM7", [](auto& d) { d.setPort(pnCOM7); },
        [](const auto& d) { return d.PortName() == QStringLiteral("\\\\.\\COM7"); });
    row(
        "Port pnCOM16 names COM16", [](auto& d) { d.setPort(pnCOM16); },
        [](const auto& d) { return d.PortName() == QStringLiteral("\\\\.\\COM16"); });
    row(
        "Port pnCustom keeps the name",
        [](auto& d) {
            d.setPortName(QStringLiteral("/dev/ttyUSB0"));
            d.setPort(pnCustom);
        },
        [](const auto& d) {
            return d.PortName() == QStringLiteral("/dev/ttyUSB0") && d.Port() == pnCustom;
        });
    row(
        "PortName makes Port custom", [](auto& d) { d.setPortName(QStringLiteral("\\\\.\\COM2")); },
        [](const auto& d) { return d.Port() == pnCustom; });
}

void TestCommPortDriver::propertyRules()
{
    QFETCH(DriverAction, action);
    QFETCH(DriverCheck, check);
    TCommPortDriver d{SerialPortMap()};
    action(d);
    QVERIFY(check(d));
}

void TestCommPortDriver::portNames_data()
{
    QTest::addColumn<QString>("port1");
    QTest::addColumn<QString>("port2");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1 default") << QString() << QString() << kCom1 << "/dev/ttyS0";
    QTest::newRow("COM2 default") << QString() << QString() << "\\\\.\\COM2"
                                  << "/dev/ttyS1";
    QTest::newRow("COM1 given") << "/dev/pts/9" << QString() << kCom1 << "/dev/pts/9";
    QTest::newRow("COM2 given") << QString() << "/dev/ttyUSB1"
                                << "\\\\.\\COM2"
                                << "/dev/ttyUSB1";
    QTest::newRow("COM3 not mapped") << "/a"
                                     << "/b"
                                     << "\\\\.\\COM3"
                                     << "/dev/ttyS2";
    QTest::newRow("a device path") << "/a" << QString() << "/dev/ttyACM0"
                                   << "/dev/ttyACM0";
}

void TestCommPortDriver::portNames()
{
    QFETCH(QString, port1);
    QFETCH(QString, port2);
    QFETCH(QString, name);
    QFETCH(QString, device);
    qunsetenv("FLN_PORT1");
    qunsetenv("FLN_PORT2");
    QCOMPARE(SerialPortMap::fromOptions(port1, port2).devicePath(name), device);
}

void TestCommPortDriver::closedPort()
{
    SerialPortMap ports;
    ports.setDevice(1, QStringLiteral("/nonexistent/serial-device"));
    TCommPortDriver d(ports);
    d.setPortName(kCom1);
    QVERIFY(!d.OpenPort());
    QVERIFY(!d.IsOpen());
    QVERIFY(!d.pollTimer().isActive());
    QVERIFY(!d.SendChar('V'));
    QCOMPARE(d.SendBytes("VN", 2, 100), 0u);
    QVERIFY(!d.ApplySettings());
    QVERIFY(!d.PurgeQueues(true, true));
    d.ClosePort(); // nothing when already closed
    QVERIFY(!d.IsOpen());

    // the environment names the device when the command line does not
    qputenv("FLN_PORT2", "/dev/pts/77");
    QCOMPARE(SerialPortMap::fromOptions(QString(), QString()).devicePath("\\\\.\\COM2"),
             QStringLiteral("/dev/pts/77"));
    QCOMPARE(SerialPortMap::fromOptions(QString(), "/x").devicePath("\\\\.\\COM2"),
             QStringLiteral("/x"));
    qunsetenv("FLN_PORT2");
}

void TestCommPortDriver::openSendAndReceive()
{
    PseudoTerminal pty;
    QVERIFY2(pty.open(), qPrintable(pty.errorString()));
    SerialPortMap ports;
    ports.setDevice(1, pty.devicePath());
    TCommPortDriver d(ports);
    d.setPortName(kCom1);
    d.setStopBits(sb2BITS);
    d.setEnableDTROnOpen(false); // a pseudo-terminal has no modem lines: not a failure
    Received r;
    listen(d, r);

    QVERIFY(d.OpenPort());
    QVERIFY(d.IsOpen());
    QVERIFY(d.pollTimer().isActive());
    QCOMPARE(d.pollTimer().interval(), 50);
    QVERIFY(d.OpenPort()); // already open: true, nothing changes
    QVERIFY(d.IsOpen());

    QVERIFY(d.SendChar('V'));
    QCOMPARE(d.SendBytes("N12", 3, 500), 3u);
    QByteArray atInstrument;
    QTRY_VERIFY((atInstrument += pty.readAll()) == "VN12");

    // a poll with nothing waiting calls no event
    d.PollInput();
    QCOMPARE(r.calls, 0);

    QCOMPARE(pty.write("S0000P", 6), 6);
    QTRY_COMPARE(r.bytes, QByteArray("S0000P"));
    const int calls = r.calls;
    d.PollInput();
    QCOMPARE(r.calls, calls);

    // a new polling delay restarts the running timer
    d.setPollingDelay(20);
    QCOMPARE(d.pollTimer().interval(), 20);
    QVERIFY(d.pollTimer().isActive());

    // settings changed while open are applied at once
    d.setBaudRate(br19200);
    QVERIFY(d.IsOpen());
    QVERIFY(d.ApplySettings());
    QVERIFY(d.PurgeQueues(true, false));
    QVERIFY(d.OutputSpace() > 0);

    d.ClosePort();
    QVERIFY(!d.IsOpen());
    QVERIFY(!d.pollTimer().isActive());
    QVERIFY(!d.SendChar('V'));
}

void TestCommPortDriver::portNameIgnoredWhileOpen()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    SerialPortMap ports;
    ports.setDevice(1, pty.devicePath());
    TCommPortDriver d(ports);
    d.setPortName(kCom1);
    QVERIFY(d.OpenPort());
    d.setPortName(QStringLiteral("\\\\.\\COM2"));
    d.setPort(pnCOM5);
    d.setInBufSize(300);
    d.setOutBufSize(300);
    QCOMPARE(d.PortName(), kCom1);
    QCOMPARE(d.InBufSize(), 2048u);
    QCOMPARE(d.OutBufSize(), 2048u);
    d.ClosePort();
    QCOMPARE(d.PortName(), kCom1);
    QCOMPARE(d.Port(), pnCustom);
}

void TestCommPortDriver::chunksNeverExceedInBufSize()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    SerialPortMap ports;
    ports.setDevice(1, pty.devicePath());
    TCommPortDriver d(ports);
    d.setPortName(kCom1);
    d.setInBufSize(128);
    Received r;
    listen(d, r);
    QVERIFY(d.OpenPort());
    QByteArray sent;
    for (int i = 0; i < 1000; ++i)
        sent += char('0' + i % 16);
    QCOMPARE(pty.write(sent.constData(), sent.size()), sent.size());
    QTRY_COMPARE(r.bytes.size(), sent.size());
    QCOMPARE(r.bytes, sent);
    QCOMPARE(r.largest, 128u);
    QVERIFY(r.calls >= 8);
}

void TestCommPortDriver::secondOpenerRefused()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    SerialPortMap ports;
    ports.setDevice(1, pty.devicePath());
    TCommPortDriver first(ports), second(ports);
    first.setPortName(kCom1);
    second.setPortName(kCom1);
    QVERIFY(first.OpenPort());
    QVERIFY(!second.OpenPort());
    QVERIFY(!second.IsOpen());
    first.ClosePort();
    QVERIFY(second.OpenPort());
}

void TestCommPortDriver::lineSettingsReachTheDevice()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    SerialPortMap ports;
    ports.setDevice(1, pty.devicePath());
    TCommPortDriver d(ports);
    d.setPortName(kCom1);
    d.setStopBits(sb2BITS);
    d.setEnableDTROnOpen(false);
    QVERIFY(d.OpenPort());
    // what the download dialog asks for: 9600 baud, 8 data bits, no parity,
    // 2 stop bits, no handshake, no XON/XOFF
    SerialLineSettings s = pty.deviceSettings();
    QCOMPARE(s.baudRate, 9600u);
    QCOMPARE(s.dataBits, 8);
    QVERIFY(s.parity == SerialLineSettings::Parity::None);
    QVERIFY(s.stopBits == SerialLineSettings::StopBits::Two);
    QVERIFY(s.rts != SerialLineSettings::Rts::Handshake);
    QVERIFY(!s.xonXoff);
    // changes while open are applied at once (a pseudo-terminal keeps 8 data
    // bits and no parity whatever it is told, so those two are not read back)
    d.setBaudRate(br19200);
    d.setStopBits(sb1BITS);
    d.setHwFlow(hfRTSCTS);
    d.setSwFlow(sfXONXOFF);
    s = pty.deviceSettings();
    QCOMPARE(s.baudRate, 19200u);
    QVERIFY(s.stopBits == SerialLineSettings::StopBits::One);
    QVERIFY(s.rts == SerialLineSettings::Rts::Handshake);
    QVERIFY(s.xonXoff);
}

QTEST_GUILESS_MAIN(TestCommPortDriver)
#include "tst_cpdrv.moc"
