// Which serial ports the program offers, and which device is "the first
// port" and "the second port", from fake port lists.
#include "platform/serial_ports.h"

#include <QtTest>

#include <cerrno>

namespace {

const QString kFtdiById =
    QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

class FakeSystem : public SerialPortSystem
{
public:
    QList<SerialDeviceFacts> list;
    QMap<QString, QString> links;
    QStringList present;
    QList<SerialDeviceFacts> devices() const override { return list; }
    QMap<QString, QString> stableNames() const override { return links; }
    bool exists(const QString& path) const override { return present.contains(path); }
};

SerialDeviceFacts usb(const QString& path, const QString& maker, const QString& product,
                      const QString& serial)
{
    SerialDeviceFacts f;
    f.path = path;
    f.manufacturer = maker;
    f.product = product;
    f.serialNumber = serial;
    f.usb = true;
    return f;
}

SerialDeviceFacts builtIn(const QString& path, int uartType)
{
    SerialDeviceFacts f;
    f.path = path;
    f.uartType = uartType;
    return f;
}

// A PC with everything at once, listed in the system's own (unsorted) order.
FakeSystem workshopPc()
{
    FakeSystem s;
    s.list = {builtIn("/dev/ttyS1", 0), // the kernel's placeholder: no UART
              builtIn("/dev/ttyS0", 4), // a 16550A on the board
              usb("/dev/ttyACM0", "Microchip Technology Inc.", "MCP2221 USB-I2C/UART Combo", ""),
              usb("/dev/ttyUSB10", "", "", ""),
              usb("/dev/ttyUSB0", "FTDI", "FT232R USB UART", "A50285BI")};
    s.links = {{kFtdiById, "/dev/ttyUSB0"}};
    s.present = {"/dev/ttyS0",   "/dev/ttyS1",    "/dev/ttyACM0",
                 "/dev/ttyUSB0", "/dev/ttyUSB10", kFtdiById};
    return s;
}

} // namespace

Q_DECLARE_METATYPE(SerialDeviceFacts)

class TestSerialPorts : public QObject
{
    Q_OBJECT
private slots:
    void discovery();
    void descriptions_data();
    void descriptions();
    void assignment_data();
    void assignment();
    void storedChoiceFollowsTheAdapter();
    void sourcesAndMissingChoice_data();
    void sourcesAndMissingChoice();
    void openFailures_data();
    void openFailures();
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

// Each slot takes the first of: option, environment, stored choice (when it
// is there), the discovered ports not named already.
void TestSerialPorts::assignment_data()
{
    QTest::addColumn<QString>("option1");
    QTest::addColumn<QString>("option2");
    QTest::addColumn<QString>("env1");
    QTest::addColumn<QString>("env2");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("withPorts");
    QTest::addColumn<QString>("port1");
    QTest::addColumn<QString>("port2");

    const QString s = QString();
    QTest::newRow("discovered only: USB before built-in")
        << s << s << s << s << s << true << "/dev/ttyACM0" << kFtdiById;
    QTest::newRow("nothing discovered: the built-in names")
        << s << s << s << s << s << false << "/dev/ttyS0"
        << "/dev/ttyS1";
    QTest::newRow("options win over everything") << "/dev/pts/3"
                                                 << "/dev/pts/4"
                                                 << "/dev/e1"
                                                 << "/dev/e2" << kFtdiById << true << "/dev/pts/3"
                                                 << "/dev/pts/4";
    QTest::newRow("environment over stored and discovered")
        << s << s << "/dev/e1"
        << "/dev/e2" << kFtdiById << true << "/dev/e1"
        << "/dev/e2";
    QTest::newRow("option 1 and environment 2") << "/dev/pts/3" << s << "/dev/e1"
                                                << "/dev/e2" << s << true << "/dev/pts/3"
                                                << "/dev/e2";
    QTest::newRow("stored choice first, then the next discovered")
        << s << s << s << s << kFtdiById << true << kFtdiById << "/dev/ttyACM0";
    QTest::newRow("option 1 given: stored choice becomes port 2")
        << "/dev/pts/3" << s << s << s << kFtdiById << true << "/dev/pts/3" << kFtdiById;
    QTest::newRow("stored choice unplugged: discovered")
        << s << s << s << s << "/dev/serial/by-id/usb-gone" << true << "/dev/ttyACM0" << kFtdiById;
    QTest::newRow("a discovered port named by option is not tried twice")
        << "/dev/ttyACM0" << s << s << s << s << true << "/dev/ttyACM0" << kFtdiById;
    QTest::newRow("by-id name of the option's adapter counts as taken")
        << kFtdiById << s << s << s << s << true << kFtdiById << "/dev/ttyACM0";
    QTest::newRow("stored choice with nothing discovered")
        << s << s << s << s << "/dev/pts/9" << false << "/dev/pts/9" << s;
}

void TestSerialPorts::assignment()
{
    QFETCH(QString, option1);
    QFETCH(QString, option2);
    QFETCH(QString, env1);
    QFETCH(QString, env2);
    QFETCH(QString, stored);
    QFETCH(bool, withPorts);
    QFETCH(QString, port1);
    QFETCH(QString, port2);

    FakeSystem pc = workshopPc();
    pc.present << "/dev/pts/9";
    // Only the USB adapters with a stable name and the ACM modem.
    pc.list = {pc.list[2], pc.list[4]};
    const QList<SerialPortEntry> discovered =
        withPorts ? discoverSerialPorts(pc) : QList<SerialPortEntry>();
    const SerialPortAssignment a =
        assignSerialPorts({option1, option2, env1, env2, stored}, discovered,
                          [&pc](const QString& p) { return pc.exists(p); });
    QCOMPARE(a.port1, port1);
    QCOMPARE(a.port2, port2);
}

// The choice is kept under the by-id name, so the same adapter in another
// socket (now ttyUSB3) is still the one chosen.
void TestSerialPorts::storedChoiceFollowsTheAdapter()
{
    FakeSystem pc;
    pc.list = {usb("/dev/ttyUSB0", "Prolific", "PL2303", ""),
               usb("/dev/ttyUSB3", "FTDI", "FT232R USB UART", "A50285BI")};
    pc.links = {{kFtdiById, "/dev/ttyUSB3"}};
    pc.present = {"/dev/ttyUSB0", "/dev/ttyUSB3", kFtdiById};
    const SerialPortAssignment a =
        assignSerialPorts({{}, {}, {}, {}, kFtdiById}, discoverSerialPorts(pc),
                          [&pc](const QString& p) { return pc.exists(p); });
    QCOMPARE(a.port1, kFtdiById);
    QCOMPARE(a.port2, QStringLiteral("/dev/ttyUSB0"));
}

Q_DECLARE_METATYPE(SerialPortSource)

// Where each port came from, and whether an unplugged choice is worth a word:
// only when it would have been used.
void TestSerialPorts::sourcesAndMissingChoice_data()
{
    QTest::addColumn<QString>("simulator1");
    QTest::addColumn<QString>("option1");
    QTest::addColumn<QString>("option2");
    QTest::addColumn<QString>("env1");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<SerialPortSource>("source1");
    QTest::addColumn<SerialPortSource>("source2");
    QTest::addColumn<QString>("missing");
    using S = SerialPortSource;
    const QString s, gone = QStringLiteral("/dev/serial/by-id/usb-gone");
    QTest::newRow("stored gone: named, discovered ports used")
        << s << s << s << s << gone << S::Discovered << S::Discovered << gone;
    QTest::newRow("stored there") << s << s << s << s << kFtdiById << S::Stored << S::Discovered
                                  << s;
    QTest::newRow("stored gone, port 2 still open to it")
        << s << "/dev/pts/3" << s << s << gone << S::Option << S::Discovered << gone;
    QTest::newRow("stored gone, both ports given: no word")
        << s << "/dev/pts/3"
        << "/dev/pts/4" << s << gone << S::Option << S::Option << s;
    QTest::newRow("simulator over option")
        << "/dev/pts/9"
        << "/dev/pts/3" << s << s << s << S::Simulator << S::Discovered << s;
    QTest::newRow("environment") << s << s << s << "/dev/e1" << s << S::Environment << S::Discovered
                                 << s;
}

void TestSerialPorts::sourcesAndMissingChoice()
{
    QFETCH(QString, simulator1);
    QFETCH(QString, option1);
    QFETCH(QString, option2);
    QFETCH(QString, env1);
    QFETCH(QString, stored);
    QFETCH(SerialPortSource, source1);
    QFETCH(SerialPortSource, source2);
    QFETCH(QString, missing);
    FakeSystem pc = workshopPc();
    SerialPortSources sources;
    sources.simulator1 = simulator1;
    sources.option1 = option1;
    sources.option2 = option2;
    sources.environment1 = env1;
    sources.stored = stored;
    const SerialPortAssignment a = assignSerialPorts(
        sources, discoverSerialPorts(pc), [&pc](const QString& p) { return pc.exists(p); });
    QCOMPARE(a.source1, source1);
    QCOMPARE(a.source2, source2);
    QCOMPARE(a.missingChoice, missing);
    if (!simulator1.isEmpty())
        QCOMPARE(a.port1, simulator1);
    if (!missing.isEmpty())
        QCOMPARE(missingChoiceText(missing),
                 "Выбранный порт " + missing + " не найден — адаптер отключён?");
}

void TestSerialPorts::openFailures_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("EACCES: not in dialout")
        << EACCES
        << "Нет доступа к порту /dev/ttyUSB0. Добавьте пользователя в группу dialout и войдите в "
           "систему заново.";
    QTest::newRow("EPERM") << EPERM
                           << "Нет доступа к порту /dev/ttyUSB0. Добавьте пользователя в группу "
                              "dialout и войдите в систему заново.";
    QTest::newRow("EBUSY: held exclusively")
        << EBUSY << "Порт /dev/ttyUSB0 занят другой программой.";
    QTest::newRow("EWOULDBLOCK: locked")
        << EWOULDBLOCK << "Порт /dev/ttyUSB0 занят другой программой.";
    // Nothing to act on: the search simply goes on.
    QTest::newRow("ENOENT") << ENOENT << QString();
    QTest::newRow("ENXIO") << ENXIO << QString();
    QTest::newRow("none") << 0 << QString();
}

void TestSerialPorts::openFailures()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    QCOMPARE(openFailureText(classifyOpenError(error), QStringLiteral("/dev/ttyUSB0")), text);
}

QTEST_APPLESS_MAIN(TestSerialPorts)
#include "tst_serial_ports.moc"
