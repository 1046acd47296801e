// "Порт прибора…": the ports offered, the choice stored, and the next
// download on the port chosen, with the simulated instrument on a
// pseudo-terminal among ports that stay silent.
#include "data/archive_image.h"
#include "device/download_session.h"
#include "device/port_choice.h"
#include "platform/settings_store.h"
#include "sim/simulated_instrument.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

class FakeSystem : public SerialPortSystem
{
public:
    QList<SerialDeviceFacts> list;
    QMap<QString, QString> links;
    QList<SerialDeviceFacts> devices() const override { return list; }
    QMap<QString, QString> stableNames() const override { return links; }
    bool exists(const QString& path) const override { return QFileInfo::exists(path); }
};

SerialDeviceFacts adapter(const QString& path, const QString& product, const QString& serial)
{
    SerialDeviceFacts f;
    f.path = path;
    f.manufacturer = QStringLiteral("FTDI");
    f.product = product;
    f.serialNumber = serial;
    f.usb = true;
    return f;
}

struct Fixture
{
    QTemporaryDir dir;
    SettingsStore settings{dir.filePath("fln.conf")};
    std::unique_ptr<SimulatedInstrument> sim;
    std::shared_ptr<FakeSystem> system = std::make_shared<FakeSystem>();
    // Empty sockets in front of the instrument: the automatic order tries
    // the first two and never reaches it.
    QString silent1, silent2;

    Fixture()
    {
        settings.openKey();
        SimOptions o;
        sim = std::make_unique<SimulatedInstrument>(
            SimArchive::generate(3, 4, QDateTime(QDate(2026, 1, 10), QTime(0, 0)), 600), o);
        if (!sim->start())
            qFatal("no pseudo-terminal: %s", qPrintable(sim->errorString()));
        // Named to sort before the pseudo-terminal, which the list orders by name.
        silent1 = QStringLiteral("/dev/fln-absent-adapter-0");
        silent2 = QStringLiteral("/dev/fln-absent-adapter-1");
        system->list = {adapter(silent1, "FT232R USB UART", "A1"),
                        adapter(silent2, "FT232R USB UART", "A2"),
                        adapter(sim->devicePath(), "FT231X USB UART", "DN05")};
    }

    // One download as the window starts it: 1 on success, 2 on failure.
    int download(QString* error)
    {
        SerialPortMap ports;
        ports.setDiscovery(system, [this] { return readChosenPort(settings); });
        ArchiveImage image;
        DownloadSession session(image, ports);
        session.setTimerIntervals(300, 50);
        session.port().setPollingDelay(5);
        session.setKeepsDecodeErrors(true);
        QSignalSpy finished(&session, &DownloadSession::finished);
        session.start();
        if (!finished.wait(15000))
            return -1;
        *error = session.errorText();
        return finished.first().first().toInt();
    }
};

QStringList rows(const PortChoiceDialog& d)
{
    QStringList out;
    const auto* list = d.findChild<QListWidget*>("PortList");
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class TestPortChoice : public QObject
{
    Q_OBJECT
private slots:
    void choiceStoredAndUsedByTheNextDownload();
    void refreshFindsAPluggedAdapter();
};

void TestPortChoice::choiceStoredAndUsedByTheNextDownload()
{
    Fixture f;
    // Automatic: the two silent ports are tried, and named in the message.
    QString error;
    QCOMPARE(f.download(&error), 2);
    QCOMPARE(error.split(u'\n').value(1), "Опрошены порты: " + f.silent1 + ", " + f.silent2);

    {
        PortChoiceDialog d(f.system, f.settings);
        QCOMPARE(rows(d), (QStringList{f.silent1 + " — FTDI FT232R USB UART (A1)",
                                       f.silent2 + " — FTDI FT232R USB UART (A2)",
                                       f.sim->devicePath() + " — FTDI FT231X USB UART (DN05)"}));
        QCOMPARE(d.findChild<QListWidget*>("PortList")->currentRow(), -1);
        QVERIFY(!d.findChild<QPushButton*>("OkButton")->isEnabled());
        d.findChild<QListWidget*>("PortList")->setCurrentRow(2);
        d.findChild<QPushButton*>("OkButton")->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }
    QCOMPARE(f.settings.readString("Port"), f.sim->devicePath());
    // "Default_dir" lives beside it, untouched.
    QVERIFY(!f.settings.valueExists("Default_dir"));

    QCOMPARE(f.download(&error), 1);

    {
        // Shown again: the choice is marked.
        PortChoiceDialog d(f.system, f.settings);
        QCOMPARE(d.findChild<QListWidget*>("PortList")->currentRow(), 2);
        QVERIFY(rows(d).at(2).endsWith(" (выбран)"));
        QVERIFY(!rows(d).at(0).endsWith(" (выбран)"));
        d.findChild<QPushButton*>("AutomaticButton")->click();
    }
    QCOMPARE(f.settings.readString("Port"), QString());
    QCOMPARE(f.download(&error), 2);
}

void TestPortChoice::refreshFindsAPluggedAdapter()
{
    Fixture f;
    const QList<SerialDeviceFacts> all = f.system->list;
    f.system->list.clear();
    PortChoiceDialog d(f.system, f.settings);
    QVERIFY(rows(d).isEmpty());
    QVERIFY(d.findChild<QLabel*>("CurrentChoice")->text().contains("не найдены"));
    f.system->list = {all[0]};
    f.system->links = {{"/dev/serial/by-id/usb-FTDI_A1", f.silent1}};
    d.findChild<QPushButton*>("RefreshButton")->click();
    QCOMPARE(rows(d), QStringList{f.silent1 + " — FTDI FT232R USB UART (A1)"});
    d.findChild<QListWidget*>("PortList")->setCurrentRow(0);
    d.findChild<QPushButton*>("OkButton")->click();
    // Stored under the name that follows the adapter to another socket.
    QCOMPARE(f.settings.readString("Port"), QStringLiteral("/dev/serial/by-id/usb-FTDI_A1"));

    // Unplugged again: the choice stays visible, marked.
    f.system->list.clear();
    d.refresh();
    QCOMPARE(rows(d), QStringList{"/dev/serial/by-id/usb-FTDI_A1 — не подключен (выбран)"});
}

QTEST_MAIN(TestPortChoice)
#include "tst_port_choice.moc"
