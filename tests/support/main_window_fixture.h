#pragma once

#include "app/app_state.h"
#include "app/main.h"
#include "components/data_grid.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "tests/support/measurement_table.h"
#include "tests/support/scripted_dialog_service.h"

#include <QTemporaryDir>

// The main window as the program starts it, with everything outside the test
// kept aside: its settings file and program folder in a temporary folder of
// the test's own (or in a given folder, where a test starts the program
// again over the same settings), dialogs that the test answers, no printer,
// and the Russian regional settings. Header only: the tests that use it link the
// application already.
struct MainWindowFixture
{
    explicit MainWindowFixture(const QString& folder = QString())
        : home(folder.isEmpty() ? dir.path() : folder),
          settings(home + QStringLiteral("/settings.ini")), help(home),
          form(state, dialogs, printing, settings, help)
    {
        state.regional = RegionalSettings::russian();
        form.FormCreate();
    }

    // The window over a settings file and a program folder of the test's
    // choice, FormCreate not yet called: for the tests of the start itself.
    struct BeforeStart
    {
    };
    MainWindowFixture(const QString& settingsFile, const QString& programDir, BeforeStart)
        : home(programDir), settings(settingsFile), help(programDir),
          form(state, dialogs, printing, settings, help)
    {
        state.regional = RegionalSettings::russian();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // Writes these rows as the table `name` in the test's folder and opens
    // it as "Открыть" does. A table that does not open is a broken fixture:
    // the test program stops there.
    void open(const QList<TestRow>& rows, const QString& name = QStringLiteral("rows.db"))
    {
        const QString file = path(name);
        writeMeasurementTable(file, rows);
        form.Open_DB(file);
        if (!state.tableOpen)
            qFatal("the test table did not open");
    }

    DataGrid& grid() const { return *form.DBGridPro1; }
    QString footer(const char* field) const
    {
        return grid().column(grid().columnByField(QString::fromLatin1(field))).footerText;
    }

    QTemporaryDir dir;
    QString home; // where settings and the program folder are
    AppState state;
    ScriptedDialogService dialogs;
    SettingsStore settings;
    HelpViewer help;
    // No printer, as on a PC without one; a test that prints sets a PDF folder.
    PrintingService printing{PrintingService::Printers::None};
    TForm1 form;
};
