// `fln ports`: one line per port found (path, tab, description), the port
// chosen in the window marked, exit 0 also when there is none.
#include "app/cli_commands.h"
#include "device/port_policy.h"
#include "platform/settings_store.h"
#include "tests/support/fln_process.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestPortsCli : public QObject
{
    Q_OBJECT
private slots:
    void listText();
    void onThisMachine();
};

void TestPortsCli::listText()
{
    SerialPortEntry ftdi;
    ftdi.path = QStringLiteral("/dev/ttyUSB0");
    ftdi.stableName =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    ftdi.description = QStringLiteral("FTDI FT232R USB UART (A50285BI)");
    ftdi.kind = SerialPortEntry::Kind::Usb;
    SerialPortEntry uart;
    uart.path = QStringLiteral("/dev/ttyS0");
    uart.description = QStringLiteral("Встроенный последовательный порт");

    QCOMPARE(portListText({ftdi, uart}, QString()),
             QStringLiteral("/dev/ttyUSB0\tFTDI FT232R USB UART (A50285BI)\n"
                            "/dev/ttyS0\tВстроенный последовательный порт\n"));
    // The choice is stored under the by-id name; the line shows the device.
    QCOMPARE(portListText({ftdi, uart}, ftdi.stableName),
             QStringLiteral("/dev/ttyUSB0\tFTDI FT232R USB UART (A50285BI) (выбран)\n"
                            "/dev/ttyS0\tВстроенный последовательный порт\n"));
    QCOMPARE(portListText({ftdi, uart}, QStringLiteral("/dev/ttyS0")),
             QStringLiteral("/dev/ttyUSB0\tFTDI FT232R USB UART (A50285BI)\n"
                            "/dev/ttyS0\tВстроенный последовательный порт (выбран)\n"));
    QCOMPARE(portListText({}, QStringLiteral("/dev/ttyS0")), QString());
}

// The built program on this machine's own ports, with settings of its own.
void TestPortsCli::onThisMachine()
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const FlnRun first = runFln({QStringLiteral("ports")});
    QCOMPARE(first.code, 0);
    if (first.out.isEmpty()) {
        QCOMPARE(first.err, QStringLiteral("Последовательные порты не найдены.\n"));
        return;
    }
    QCOMPARE(first.err, QString());
    const QStringList lines = first.out.split(u'\n', Qt::SkipEmptyParts);
    const QRegularExpression line(QStringLiteral("^/dev/\\S+\\t\\S.*$"));
    for (const QString& l : lines) {
        QVERIFY2(line.match(l).hasMatch(), qPrintable(l));
        QVERIFY2(!l.endsWith(QLatin1String(" (выбран)")), qPrintable(l));
    }

    // The last port chosen in the window (stored as the window stores it).
    const QString chosen = lines.last().section(u'\t', 0, 0);
    {
        SettingsStore settings(QDir(config.path()).filePath(QStringLiteral("Ostrakon/FLN.conf")));
        settings.openKey();
        writeChosenPort(settings, chosen);
    }
    const FlnRun second = runFln({QStringLiteral("ports")});
    QCOMPARE(second.code, 0);
    const QStringList marked = second.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(marked.size(), lines.size());
    QCOMPARE(marked.last(), lines.last() + QStringLiteral(" (выбран)"));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        QCOMPARE(marked[i], lines[i]);
}

QTEST_GUILESS_MAIN(TestPortsCli)
#include "tst_ports_cli.moc"
