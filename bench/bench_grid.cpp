// The measurement grid on a large table, against the floor of a plain
// QTableView over the same rows held in memory (what a grid that loads the
// whole table would cost). Prints each figure and the ratios.
//
//   bench_grid [--rows N] [--select N]
//
// Figures: open to first painted rows, peak memory beside the file's size,
// scrolling to the end and back, and a double-click select-all with the
// number of footer computations it caused.
#include "app/app_state.h"
#include "app/main.h"
#include "bench/measurement_rows.h"
#include "components/data_grid.h"
#include "data/dbf_table.h"
#include "data/table_row_reader.h"
#include "platform/help_viewer.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "tests/support/scripted_dialog_service.h"
#include "view/measurement_grid_view.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace {

// Resident and peak resident memory of this process in KiB, from /proc.
qint64 memoryKiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

double ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// The floor: every cell's text in memory, a model that only indexes it.
class MemoryModel : public QAbstractTableModel
{
public:
    std::vector<QStringList> rows;
    int rowCount(const QModelIndex& = {}) const override { return int(rows.size()); }
    int columnCount(const QModelIndex& = {}) const override { return 7; }
    QVariant data(const QModelIndex& i, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(rows[size_t(i.row())].value(i.column()))
                                       : QVariant();
    }
};

struct Figures
{
    double openToPaint = 0, scroll = 0, append = 0;
};

Figures runOurs(const QString& path, const QString& settingsFile)
{
    Figures f;
    AppState state;
    ScriptedDialogService dialogs;
    SettingsStore settings(settingsFile);
    settings.openKey();
    DbfTable table;
    DataGrid grid;
    MeasurementGridView view(grid, table, state, settings, dialogs);
    view.prepare_grid();
    grid.resize(1200, 800);

    QElapsedTimer t;
    t.start();
    table.setTableFile(path);
    table.open();
    table.first();
    grid.show();
    view.load_layout(QStringLiteral("Table_1"));
    grid.grab(); // paints the rows now
    f.openToPaint = ms(t);

    t.restart();
    grid.view()->scrollToBottom();
    grid.grab();
    grid.view()->scrollToTop();
    grid.grab();
    f.scroll = ms(t);

    // An Append of a full download: rows posted one by one under the grid.
    t.restart();
    for (int i = 0; i < 5957; ++i) {
        table.append();
        table.setInteger(QStringLiteral("N"), i + 1);
        table.setText(QStringLiteral("MODE"), QStringLiteral("Наблюдения"));
        table.setText(QStringLiteral("DATE"), QStringLiteral("16.03.2024"));
        table.setText(QStringLiteral("TIME"), QStringLiteral("10:00:00"));
        table.setText(QStringLiteral("T_1"), QStringLiteral("1,0"));
        table.setText(QStringLiteral("T_2"), QStringLiteral("2,0"));
        table.post();
    }
    grid.grab();
    f.append = ms(t);
    if (qEnvironmentVariableIsSet("BENCH_GRID_DETACHED")) {
        grid.setSource(nullptr);
        t.restart();
        for (int i = 0; i < 5957; ++i) {
            table.append();
            table.setInteger(QStringLiteral("N"), i + 1);
            table.post();
        }
        std::printf("same appends without a grid: %.1f ms\n", ms(t));
    }
    return f;
}

Figures runMemory(const QString& path)
{
    Figures f;
    QElapsedTimer t;
    t.start();
    DbfTable table;
    table.setTableFile(path);
    table.open();
    MemoryModel model;
    model.rows.reserve(size_t(table.rowCount()));
    const int fields = int(table.fields().size());
    TableRowReader rows(table);
    for (qint64 p = 0; p < table.rowCount(); ++p) {
        rows.read(p);
        QStringList cells;
        for (int c = 0; c < fields; ++c)
            cells << rows.value(c).toString();
        model.rows.push_back(cells);
    }
    QTableView view;
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.setModel(&model);
    view.resize(1200, 800);
    view.show();
    view.grab();
    f.openToPaint = ms(t);
    t.restart();
    view.scrollToBottom();
    view.grab();
    view.scrollToTop();
    view.grab();
    f.scroll = ms(t);
    return f;
}

// The whole command as the user meets it: Open_DB with its statistics walk,
// the grid shown and its stored layout, up to the first painted rows.
double runOpenDb(const QString& path, const QString& dir)
{
    AppState state;
    state.regional = RegionalSettings::russian();
    ScriptedDialogService dialogs;
    SettingsStore settings(dir + QStringLiteral("/settings-open.ini"));
    HelpViewer help(dir);
    PrintingService printing(PrintingService::Printers::None);
    TForm1 form(state, dialogs, printing, settings, help);
    form.FormCreate();
    form.resize(1200, 800);
    form.show();
    QElapsedTimer t;
    t.start();
    form.Open_DB(path);
    form.DBGridPro1->grab();
    const double took = ms(t);
    const int t1 = form.DBGridPro1->columnByField(QStringLiteral("T_1"));
    std::printf("Open_DB: %lld rows shown, T_1 footer %s, %lld message(s)\n",
                qint64(form.DBGridPro1->model()->rowCount()),
                qPrintable(form.DBGridPro1->column(t1).footerText),
                qint64(dialogs.messages().size()));
    return took;
}

void selectAll(const QString& path, const QString& settingsFile, int rows)
{
    AppState state;
    ScriptedDialogService dialogs;
    SettingsStore settings(settingsFile);
    settings.openKey();
    DbfTable table;
    table.setTableFile(path);
    table.open();
    DataGrid grid;
    MeasurementGridView view(grid, table, state, settings, dialogs);
    grid.resize(1200, 800);
    grid.show();
    // What the footers do on each notification: a pass over the entries.
    int computations = 0;
    double sink = 0;
    QObject::connect(&grid, &DataGrid::selectionChanged, [&] {
        ++computations;
        for (const SelectionEntry& e : grid.selectionEntries())
            sink += e.values.value(0).toString().size();
    });
    QElapsedTimer t;
    t.start();
    view.DBGridPro1DblClick();
    grid.grab();
    const double took = ms(t);
    std::printf("select all %d rows: %.0f ms, %d selected, %d footer computation(s)%s\n", rows,
                took, grid.selectionCount(), computations, took < 1000 ? "" : "  ** over 1 s **");
    (void)sink;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rows = 1000000, select = 100000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows"))
            rows = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--select"))
            select = args[i + 1].toInt();
    }
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.db"));
    const QString small = dir.filePath(QStringLiteral("small.db"));
    std::printf("making tables of %d and %d rows...\n", rows, select);
    std::fflush(stdout);
    makeMeasurementTable(big, rows);
    makeMeasurementTable(small, select);
    const double fileMiB = double(QFileInfo(big).size()) / 1048576.0;

    const qint64 before = memoryKiB("VmRSS:");
    const Figures ours = runOurs(big, dir.filePath(QStringLiteral("settings.ini")));
    const qint64 oursPeak = memoryKiB("VmHWM:");
    std::printf("grid:      open to first paint %8.1f ms, scroll end and back %7.1f ms, "
                "peak memory %.1f MiB (%.1f MiB above start) for a %.1f MiB file\n",
                ours.openToPaint, ours.scroll, double(oursPeak) / 1024.0,
                double(oursPeak - before) / 1024.0, fileMiB);
    std::printf("grid:      5957 rows appended one by one under the grid in %.1f ms\n",
                ours.append);
    std::fflush(stdout);

    const qint64 beforeMemory = memoryKiB("VmRSS:");
    const Figures mem = runMemory(big);
    const qint64 memoryPeak = memoryKiB("VmHWM:");
    std::printf("in memory: open to first paint %8.1f ms, scroll end and back %7.1f ms, "
                "peak memory %.1f MiB (%.1f MiB above start)\n",
                mem.openToPaint, mem.scroll, double(memoryPeak) / 1024.0,
                double(memoryPeak - beforeMemory) / 1024.0);
    std::printf("ratio grid / in memory: open to paint %.3f, scroll %.3f\n",
                ours.openToPaint / mem.openToPaint, ours.scroll / mem.scroll);
    std::printf("Open_DB with statistics to first paint: %.1f ms\n", runOpenDb(big, dir.path()));
    std::fflush(stdout);
    selectAll(small, dir.filePath(QStringLiteral("settings2.ini")), select);
    return 0;
}
