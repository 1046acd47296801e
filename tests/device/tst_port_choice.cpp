// "Порт прибора…": the ports offered, the choice stored, and the next
// download on the port chosen, with the simulated instrument on a
// pseudo-terminal among ports that stay silent.
#include "data/archive_image.h"
#include "device/download_session.h"
#include "device/port_choice.h"
#include "device/receive.h"
#include "platform/settings_store.h"
#include "sim/simulated_instrument.h"
#include "tests/support/scripted_dialog_service.h"

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

    SerialPortMap ports()
    {
        SerialPortMap map;
        map.setDiscovery(system, [this] { return readChosenPort(settings); });
        return map;
    }

    // One download as the window starts it: 1 on success, 2 on failure.
    // `events` collects what the user hears and what goes to the instrument,
    // in their order.
    int download(QString* error, QStringList* events = nullptr)
    {
        ArchiveImage image;
        DownloadSession session(image, ports());
        if (events) {
            QObject::connect(&session, &DownloadSession::choiceMissing,
                             [events](const QString& text) { events->append(text); });
            QObject::connect(&session, &DownloadSession::commandSent,
                             [events](char c) { events->append(QString(QChar(c))); });
        }
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
    void goneChoiceNamedBeforeTheFallback();
    void chosenDeviceOutsideTheList();
    void overridesShown_data();
    void overridesShown();
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

// The adapter the user chose is unplugged: the download window says so, with
// the name, before it tries any other port.
void TestPortChoice::goneChoiceNamedBeforeTheFallback()
{
    Fixture f;
    const QString gone =
        QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_GONE-if00-port0");
    f.settings.writeString("Port", gone);
    const QString named =
        QStringLiteral("Выбранный порт %1 не найден — адаптер отключён?").arg(gone);

    QString error;
    QStringList events;
    QCOMPARE(f.download(&error, &events), 2);
    QVERIFY(events.size() >= 2);
    QCOMPARE(events.first(), named); // before the first "V" to any port
    QCOMPARE(events.mid(1), QStringList(events.size() - 1, QStringLiteral("V")));
    // The fallback went on over the automatic order.
    QCOMPARE(error.split(u'\n').value(1), "Опрошены порты: " + f.silent1 + ", " + f.silent2);

    // The window: the warning box first, then the search's own message.
    ArchiveImage archive;
    ScriptedDialogService dialogs;
    TForm2 window(archive, dialogs, f.ports());
    window.setTimerIntervals(300, 50);
    window.CommPortDriver1->setPollingDelay(5);
    QSignalSpy finished(&window, &QDialog::finished);
    window.show();
    QVERIFY(finished.wait(15000));
    const QList<ScriptedDialogService::Call> said = dialogs.messages();
    QCOMPARE(said.size(), 2);
    QCOMPARE(said[0].text, named);
    QCOMPARE(said[0].caption, QStringLiteral("ФЛН-РК2"));
    QVERIFY(said[0].icon == DialogService::Icon::Warning);
    QVERIFY(said[1].text.startsWith(DownloadSession::kNotFound));

    // A choice that is there is used without a word.
    f.settings.writeString("Port", f.sim->devicePath());
    events.clear();
    QCOMPARE(f.download(&error, &events), 1);
    QVERIFY(!events.isEmpty());
    QCOMPARE(events.first(), QStringLiteral("V"));
}

// A pseudo-terminal or a Bluetooth port that the search does not list, but
// that exists: it is no "не подключен", and the download uses it.
void TestPortChoice::chosenDeviceOutsideTheList()
{
    Fixture f;
    f.system->list.removeLast(); // the instrument's pseudo-terminal is not found by the search
    f.settings.writeString("Port", f.sim->devicePath());
    {
        PortChoiceDialog d(f.system, f.settings);
        QCOMPARE(rows(d).size(), 3);
        QCOMPARE(rows(d).last(),
                 f.sim->devicePath() + " — подключено (нет среди найденных портов) (выбран)");
        QCOMPARE(d.findChild<QListWidget*>("PortList")->currentRow(), 2);
        QVERIFY(!d.findChild<QLabel*>("PortInEffect")->isVisibleTo(&d));
    }
    QString error;
    QCOMPARE(f.download(&error), 1);
}

void TestPortChoice::overridesShown_data()
{
    QTest::addColumn<QString>("option1");
    QTest::addColumn<QString>("environment1");
    QTest::addColumn<QString>("simulator1");
    QTest::addColumn<QString>("option2");
    QTest::addColumn<QString>("text"); // %1: the chosen port; empty: no override shown
    QTest::newRow("nothing given") << ""
                                   << ""
                                   << ""
                                   << ""
                                   << "";
    QTest::newRow("--port1") << "/dev/pts/31"
                             << ""
                             << ""
                             << ""
                             << "Первый порт задан параметром --port1: /dev/pts/31.\n"
                                "Выбор в этом окне действует только для второго порта (сейчас это "
                                "%1).";
    QTest::newRow("FLN_PORT1")
        << ""
        << "/dev/ttyUSB7"
        << ""
        << ""
        << "Первый порт задан переменной окружения FLN_PORT1: /dev/ttyUSB7.\n"
           "Выбор в этом окне действует только для второго порта (сейчас "
           "это %1).";
    QTest::newRow("--demo over --port1")
        << "/dev/pts/31"
        << ""
        << "/dev/pts/40"
        << ""
        << "Первый порт — имитатор прибора (--demo): /dev/pts/40.\n"
           "Выбор в этом окне действует только для второго порта (сейчас это %1).";
    QTest::newRow("--port1 and --port2") << "/dev/pts/31"
                                         << ""
                                         << ""
                                         << "/dev/pts/32"
                                         << "Первый порт задан параметром --port1: /dev/pts/31.\n"
                                            "Второй порт задан параметром --port2: /dev/pts/32.\n"
                                            "Выбор в этом окне сейчас не действует.";
}

void TestPortChoice::overridesShown()
{
    QFETCH(QString, option1);
    QFETCH(QString, environment1);
    QFETCH(QString, simulator1);
    QFETCH(QString, option2);
    QFETCH(QString, text);
    Fixture f;
    f.settings.writeString("Port", f.sim->devicePath());
    SerialPortSources given;
    given.option1 = option1;
    given.environment1 = environment1;
    given.simulator1 = simulator1;
    given.option2 = option2;
    PortChoiceDialog d(f.system, f.settings);
    d.setOverrides(given);
    const auto* label = d.findChild<QLabel*>("PortInEffect");
    QCOMPARE(label->isVisibleTo(&d), !text.isEmpty());
    QCOMPARE(label->text(), text.isEmpty() ? QString() : text.arg(f.sim->devicePath()));
    // The choice itself stays marked as chosen.
    QCOMPARE(d.findChild<QListWidget*>("PortList")->currentRow(), 2);
}

QTEST_MAIN(TestPortChoice)
#include "tst_port_choice.moc"
