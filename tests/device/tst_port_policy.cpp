// Which device is "the first port" and "the second port", from fake port
// lists, and what the user is told when a port cannot be used.
#include "device/port_policy.h"
#include "tests/support/fake_serial_ports.h"

#include <QtTest>

#include <cerrno>

using namespace fake_ports;

class TestPortPolicy : public QObject
{
    Q_OBJECT
private slots:
    void assignment_data();
    void assignment();
    void storedChoiceFollowsTheAdapter();
    void sourcesAndMissingChoice_data();
    void sourcesAndMissingChoice();
    void openFailures_data();
    void openFailures();
};

// Each slot takes the first of: option, environment, stored choice (when it
// is there), the discovered ports not named already.
void TestPortPolicy::assignment_data()
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

void TestPortPolicy::assignment()
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
void TestPortPolicy::storedChoiceFollowsTheAdapter()
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
void TestPortPolicy::sourcesAndMissingChoice_data()
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

void TestPortPolicy::sourcesAndMissingChoice()
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

void TestPortPolicy::openFailures_data()
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

void TestPortPolicy::openFailures()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    QCOMPARE(openFailureText(classifyOpenError(error), QStringLiteral("/dev/ttyUSB0")), text);
}

QTEST_APPLESS_MAIN(TestPortPolicy)
#include "tst_port_policy.moc"
