// "Сервис → Порт прибора…" from the main window of a program started with
// `--demo` or `--port1`: the dialog says which port is in effect.
#include "device/port_choice.h"
#include "device/receive.h"
#include "device/serial_port_map.h"
#include "tests/support/main_window_fixture.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QTest>

namespace {

class OneAdapter : public SerialPortSystem
{
public:
    QList<SerialDeviceFacts> devices() const override
    {
        SerialDeviceFacts f;
        f.path = QStringLiteral("/dev/ttyUSB0");
        f.manufacturer = QStringLiteral("FTDI");
        f.product = QStringLiteral("FT232R USB UART");
        f.usb = true;
        return {f};
    }
    QMap<QString, QString> stableNames() const override { return {}; }
    bool exists(const QString& path) const override { return path == u"/dev/ttyUSB0"; }
};

// What the dialog shows when the main window opens it.
QString shownInEffect(MainWindowFixture& w)
{
    QString shown = QStringLiteral("dialog not shown");
    w.dialogs.queueModal([&](QDialog& d) {
        const auto* label = d.findChild<QLabel*>("PortInEffect");
        shown = label && label->isVisibleTo(&d) ? label->text() : QString();
        const auto* list = d.findChild<QListWidget*>("PortList");
        if (!list || list->count() != 1 || !list->item(0)->text().endsWith(" (выбран)"))
            shown = QStringLiteral("the choice is not marked");
        return 0;
    });
    w.form.findChild<QAction*>("PortChoice1")->trigger();
    return shown;
}

} // namespace

class TestPortWindow : public QObject
{
    Q_OBJECT
private slots:
    void demoAndOptionShown()
    {
        MainWindowFixture w;
        w.form.setSerialPortSystem(std::make_shared<OneAdapter>());
        w.settings.writeString("Port", "/dev/ttyUSB0");

        // As the program starts with `--demo`.
        SerialPortMap demo;
        demo.setSimulator(1, "/dev/pts/40");
        TForm2 demoWindow(w.state.archive, w.dialogs, demo, &w.form);
        w.form.attachWindows(&demoWindow, nullptr, nullptr, nullptr);
        QCOMPARE(shownInEffect(w),
                 QStringLiteral("Первый порт — имитатор прибора (--demo): /dev/pts/40.\n"
                                "Выбор в этом окне действует только для второго порта (сейчас "
                                "это /dev/ttyUSB0)."));

        // As with `--port1` and `--port2`.
        const SerialPortMap both = SerialPortMap::fromOptions("/dev/pts/31", "/dev/pts/32");
        TForm2 optionWindow(w.state.archive, w.dialogs, both, &w.form);
        w.form.attachWindows(&optionWindow, nullptr, nullptr, nullptr);
        QCOMPARE(shownInEffect(w),
                 QStringLiteral("Первый порт задан параметром --port1: /dev/pts/31.\n"
                                "Второй порт задан параметром --port2: /dev/pts/32.\n"
                                "Выбор в этом окне сейчас не действует."));

        // Nothing given: only the choice.
        TForm2 plainWindow(w.state.archive, w.dialogs, SerialPortMap(), &w.form);
        w.form.attachWindows(&plainWindow, nullptr, nullptr, nullptr);
        QCOMPARE(shownInEffect(w), QString());
    }
};

QTEST_MAIN(TestPortWindow)
#include "tst_port_window.moc"
