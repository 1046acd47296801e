#include "app/program_start.h"

#include "app/about.h"
#include "app/app_state.h"
#include "app/command_line.h"
#include "app/demo_mode.h"
#include "app/error_report.h"
#include "app/logo.h"
#include "app/main.h"
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "device/port_policy.h"
#include "device/receive.h"
#include "device/serial_port_map.h"
#include "platform/console_output.h"
#include "platform/display.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/qt_dialog_service.h"
#include "platform/serial_ports.h"
#include "platform/settings_store.h"
#include "sim/simulated_instrument.h"

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include <memory>

bool loadQtTexts(QTranslator& translator)
{
    return translator.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                           QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

int runWindows(int& argc, char** argv, const CommandLineOptions& options)
{
    if (!windowSystemAvailable()) {
        writeErr(QStringLiteral("fln: no display to show the windows on; set DISPLAY, or use a "
                                "command that needs no window (fln --help)\n"));
        return kExitFailed;
    }
    ErrorReportApplication app(argc, argv);
    Q_INIT_RESOURCE(fln);
    // The program speaks Russian, and so do the buttons and the file and
    // colour dialogs that Qt draws for it.
    QTranslator qtTexts;
    if (loadQtTexts(qtTexts))
        QCoreApplication::installTranslator(&qtTexts);
    QCoreApplication::setOrganizationName(QStringLiteral("Ostrakon"));
    QCoreApplication::setApplicationName(QStringLiteral("FLN"));

    QtDialogService dialogs;
    app.setDialogService(&dialogs);

    PrintingService printing(options.printToPdf);

    AppState state;
    try {
        state.regional = commandRegionalSettings(options);
    } catch (...) {
        app.reportCurrentException();
    }

    SettingsStore settings;
    HelpViewer help(QCoreApplication::applicationDirPath());

    // The six windows, once, in this order; all but the splash live for the
    // whole run.
    TForm1 form1(state, dialogs, printing, settings, help);
    try {
        form1.FormCreate();
    } catch (...) {
        app.reportCurrentException();
    }
    // One view of the system's serial ports, for the downloads and for
    // "Порт прибора…" alike.
    const std::shared_ptr<const SerialPortSystem> serialPorts = systemSerialPorts();
    form1.setSerialPortSystem(serialPorts);
    SerialPortMap ports = SerialPortMap::fromOptions(options.port1, options.port2);
    ports.setDiscovery(serialPorts, [&settings] { return readChosenPort(settings); });
    std::unique_ptr<SimulatedInstrument> demo;
    if (options.demo) {
        QString why;
        demo = startDemoInstrument(ports, &why);
        if (!demo)
            app.report(QStringLiteral("Не удается запустить имитатор прибора: %1").arg(why));
    }
    TForm2 form2(state.archive, dialogs, ports, &form1);
    TForm3 form3(printing, &form1);
    TForm4 form4(&form1);
    auto splash = std::make_unique<TForm5>();
    Tform6 form6(&form1);
    form1.attachWindows(&form2, &form3, &form4, &form6);

    splash->exec(); // closes itself after three seconds
    splash.reset();

    // Restored size 703 x 501, centred on the desktop; shown maximised.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect restored(0, 0, 703, 501);
        restored.moveCenter(screen->availableGeometry().center());
        form1.setGeometry(restored);
    }
    form1.showMaximized();
    // `fln FILE`: the table opens once the window is up, as "Открыть" would.
    if (!options.openFile.isEmpty())
        QTimer::singleShot(0, &form1, [&form1, file = options.openFile] { form1.Open_DB(file); });
    return app.exec();
}
