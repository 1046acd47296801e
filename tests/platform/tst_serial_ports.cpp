// Which serial ports the program offers, from fake port lists.
#include "platform/serial_ports.h"
#include "tests/support/fake_serial_ports.h"

#include <QtTest>

using namespace fake_ports;

Q_DECLARE_METATYPE(SerialDeviceFacts)

class TestSerialPorts : public QObject
{
    Q_OBJECT
private slots:
    void discovery();
    void descriptions_data();
    void descriptions();
};

void TestSerialPorts::discovery()
{
    const QList<SerialPortEntry> ports = discoverSerialPorts(workshopPc());
    QStringList paths;
    for (const SerialPortEntry& e : ports)
        paths << e.path;
    // USB adapters first, numbered in order; the phantom ttyS1 is left out.
    QCOMPARE(paths, (QStringList{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB10", "/dev/ttyS0"}));
    QCOMPARE(ports[1].stableName, kFtdiById);
    QCOMPARE(ports[1].storedName(), kFtdiById);
    QCOMPARE(ports[0].stableName, QString());
    QCOMPARE(ports[0].storedName(), QStringLiteral("/dev/ttyACM0"));
    QCOMPARE(ports[0].kind, SerialPortEntry::Kind::Usb);
    QCOMPARE(ports[3].kind, SerialPortEntry::Kind::BuiltIn);

    FakeSystem none;
    QVERIFY(discoverSerialPorts(none).isEmpty());
    // A ttyS whose type the kernel does not tell is offered all the same.
    none.list = {builtIn("/dev/ttyS4", -1)};
    QCOMPARE(discoverSerialPorts(none).size(), 1);
}

void TestSerialPorts::descriptions_data()
{
    QTest::addColumn<SerialDeviceFacts>("facts");
    QTest::addColumn<QString>("description");
    QTest::newRow("FTDI adapter") << usb("/dev/ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI")
                                  << "FTDI FT232R USB UART (A50285BI)";
    QTest::newRow("maker repeated in the product")
        << usb("/dev/ttyUSB0", "Prolific", "Prolific PL2303 Serial Port", "")
        << "Prolific PL2303 Serial Port";
    QTest::newRow("ACM modem without serial number")
        << usb("/dev/ttyACM0", "Microchip Technology Inc.", "MCP2221 USB-I2C/UART Combo", "")
        << "Microchip Technology Inc. MCP2221 USB-I2C/UART Combo";
    QTest::newRow("adapter that says nothing") << usb("/dev/ttyUSB3", "", "", "") << "Адаптер USB";
    QTest::newRow("built-in UART")
        << builtIn("/dev/ttyS0", 4) << "Встроенный последовательный порт";
}

void TestSerialPorts::descriptions()
{
    QFETCH(SerialDeviceFacts, facts);
    QFETCH(QString, description);
    FakeSystem s;
    s.list = {facts};
    const QList<SerialPortEntry> ports = discoverSerialPorts(s);
    QCOMPARE(ports.size(), 1);
    QCOMPARE(ports[0].description, description);
}

QTEST_APPLESS_MAIN(TestSerialPorts)
#include "tst_serial_ports.moc"
