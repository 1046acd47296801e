// Charts of a million rows, side by side with two peers in one run:
// Qt Charts fed every point in one line series, and gnuplot plotting the
// same points to a PNG. Prints each figure and the ratios.
//
//   bench_chart [--rows N] [--dir FOLDER] [--table FILE] [--ours-only]
//
// --table keeps the big table in FILE and reuses it on the next run.
//
// Figures: double-click select-all of every row with its footers; from
// "Построить" to the first painted chart; one zoom step redrawn; memory
// above the open table. Then a second table of as many rows drawn beside it
// ("Добавить запись…"): reading it, the first paint and a zoom step of both,
// and their ratios to the single table's.
#include "charts/graf.h"
#include "components/data_grid.h"
#include "components/date_time_chart.h"
#include "data/dbf_table.h"
#include "data/measurement_document.h"
#include "data/measurement_schema.h"
#include "data/statistics.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"
#include "tests/support/scripted_dialog_service.h"
#include "view/captured_selection.h"
#include "view/measurement_grid_view.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QElapsedTimer>
#include <QFile>
#include <QLineSeries>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QValueAxis>

#include <cmath>
#include <cstdio>
#include <ctime>

#include <sys/resource.h>

namespace {

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

// Processor time of this process in ms: the machine may be shared, and the
// wall clock then counts the others' work too.
double cpuMs()
{
    return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

const QSize kChartSize(682, 443); // the chart window's client area

// One reading a minute from 1 January 2024: a daily wave with noise and a
// few spikes, T2 a smoother copy, as a year of recording gives.
struct Reading
{
    QDateTime when;
    int t1Tenths;
    int t2Tenths;
};

Reading reading(qint64 i)
{
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0));
    const double day = double(i) / 1440.0;
    const double wave = 200 * std::sin(day * 2 * M_PI) + 50 * std::sin(day / 30);
    const int noise = int((i * 7919) % 41) - 20;
    int t1 = int(wave) + noise;
    if (i % 99991 == 0)
        t1 += 600; // a spike that an envelope must keep
    return {start.addSecs(i * 60), t1, int(wave * 0.8) + 150};
}

QString tenths(int v)
{
    return (v < 0 ? QStringLiteral("-") : QString()) + QString::number(std::abs(v) / 10) + u',' +
           QString::number(std::abs(v) % 10);
}

void makeTable(const QString& path, qint64 rows)
{
    DbfTable t;
    t.setNewTableLanguageDriver(0xC9);
    t.setTableFile(path);
    t.create();
    t.open();
    t.disableControls();
    for (qint64 i = 0; i < rows; ++i) {
        const Reading r = reading(i);
        t.append();
        t.setInteger(MeasurementSchema::kN, i % 5957 + 1);
        t.setText(MeasurementSchema::kMode, QStringLiteral("Наблюдения"));
        t.setInteger(MeasurementSchema::kEnCh, 3);
        t.setText(MeasurementSchema::kDate, r.when.toString(QStringLiteral("dd.MM.yyyy")));
        t.setText(MeasurementSchema::kTime, r.when.toString(QStringLiteral("hh:mm:ss")));
        t.setText(MeasurementSchema::kT1, tenths(r.t1Tenths));
        t.setText(MeasurementSchema::kT2, tenths(r.t2Tenths));
        t.post();
    }
    t.enableControls();
    t.close();
}

// Processor time of the finished child processes in ms.
double childCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (double(u.ru_utime.tv_sec) + double(u.ru_stime.tv_sec)) * 1000.0 +
           (double(u.ru_utime.tv_usec) + double(u.ru_stime.tv_usec)) / 1000.0;
}

struct Figures
{
    double firstPaint = 0;
    double firstPaintCpu = 0;
    double zoom = 0;
    double memoryMiB = 0;
};

// A zoom step: the middle tenth of the plot.
QRectF zoomRect(const QRectF& plot)
{
    return QRectF(plot.left() + plot.width() * 0.45, plot.top(), plot.width() * 0.1, plot.height());
}

Figures runOurs(const QString& path, const QString& settingsFile, qint64 rows)
{
    Figures f;
    DocumentState state;
    state.regional = RegionalSettings::russian();
    ScriptedDialogService dialogs;
    SettingsStore settings(settingsFile);
    settings.openKey();
    DbfTable table;
    DataGrid grid;
    MeasurementGridView view(grid, table, state, settings, dialogs);
    view.prepare_grid();
    // The footers, as the main window writes them on every selection change.
    int footerComputations = 0;
    QObject::connect(&grid, &DataGrid::selectionChanged, [&] {
        ++footerComputations;
        const int c = grid.selectionCount();
        if (c < 2)
            return;
        const TableStatistics s = selectionStatistics(
            c, [&grid](qsizetype k) { return capturedRow(grid, k); }, state.regional);
        grid.setFooterText(grid.columnByField(MeasurementSchema::kT1), footerT1(s, state.regional));
        grid.setFooterText(grid.columnByField(MeasurementSchema::kT2), footerT2(s, state.regional));
    });
    grid.resize(1200, 800);
    table.setTableFile(path);
    table.open();
    table.first();
    grid.show();
    grid.grab();
    find_mma(table, state.statistics, state.regional);

    const qint64 openKiB = memoryKiB("VmRSS:");
    footerComputations = 0;
    QElapsedTimer t;
    t.start();
    double cpu = cpuMs();
    view.DBGridPro1DblClick();
    grid.grab();
    const double selectMs = ms(t);
    const double selectCpu = cpuMs() - cpu;
    const qint64 selectedKiB = memoryKiB("VmRSS:");
    std::printf("select all:  %lld rows in %.0f ms (processor %.0f ms; %d footer computation(s), "
                "T1 footer %s), selection memory %.1f MiB%s\n",
                rows, selectMs, selectCpu, footerComputations,
                qPrintable(grid.column(grid.columnByField(MeasurementSchema::kT1)).footerText),
                double(selectedKiB - openKiB) / 1024.0, selectMs < 1000 ? "" : "  ** over 1 s **");
    std::fflush(stdout);

    PrintingService printing(PrintingService::Printers::None);
    TForm3 form3(printing);
    form3.setRegionalSettings(state.regional);
    form3.resize(kChartSize);
    const auto footer = [&grid](const QString& field) { return footerTextOf(grid, field); };
    form3.setSource({[&grid] { return qsizetype(grid.selectionCount()); },
                     [&grid](qsizetype k) { return capturedRow(grid, k); }, footer});
    form3.setChoice({true, true});

    t.restart();
    cpu = cpuMs();
    form3.show(); // builds the chart
    QCoreApplication::processEvents();
    form3.Chart1->grab();
    f.firstPaint = ms(t);
    f.firstPaintCpu = cpuMs() - cpu;

    const QRectF plot = form3.Chart1->plotArea();
    t.restart();
    form3.Chart1->zoomTo(zoomRect(plot));
    form3.Chart1->grab();
    f.zoom = ms(t);
    f.memoryMiB = double(memoryKiB("VmRSS:") - selectedKiB) / 1024.0;
    std::printf("ours:        first paint %8.1f ms (processor %.0f ms), zoom step %7.1f ms, memory "
                "above the selection %.1f MiB, %d points drawn of %lld\n",
                f.firstPaint, f.firstPaintCpu, f.zoom, f.memoryMiB,
                int(form3.Chart1->series(0)->count()), qint64(form3.Chart1->points(0).size()));
    std::fflush(stdout);

    // A second recording of as many rows beside the first.
    const QString second = path + QStringLiteral(".second.db");
    QFile::remove(second);
    QFile::copy(path, second);
    form3.setDialogService(&dialogs);
    dialogs.queueOpenFile(second);
    t.restart();
    cpu = cpuMs();
    form3.AddRecording1->trigger(); // reads it whole, draws both
    QCoreApplication::processEvents();
    form3.Chart1->grab();
    const double added = ms(t), addedCpu = cpuMs() - cpu;
    form3.hide();
    t.restart();
    cpu = cpuMs();
    form3.show(); // builds the table's chart again, the recording kept
    QCoreApplication::processEvents();
    form3.Chart1->grab();
    const double firstPaint2 = ms(t), firstPaint2Cpu = cpuMs() - cpu;
    t.restart();
    form3.Chart1->zoomTo(zoomRect(form3.Chart1->plotArea()));
    form3.Chart1->grab();
    const double zoom2 = ms(t);
    std::printf("two tables:  adding the second %8.1f ms (processor %.0f ms, reading included), "
                "first paint %8.1f ms (processor %.0f ms), zoom step %7.1f ms; %d curves\n",
                added, addedCpu, firstPaint2, firstPaint2Cpu, zoom2, form3.Chart1->curveCount());
    std::printf(
        "ratios:      two tables / one: first paint %.2f (processor %.2f), zoom step %.2f"
        "%s\n",
        firstPaint2 / f.firstPaint, firstPaint2Cpu / f.firstPaintCpu, zoom2 / f.zoom,
        firstPaint2Cpu < 2 * f.firstPaintCpu && zoom2 < 2 * f.zoom ? "" : "  ** not under 2x **");
    std::fflush(stdout);
    form3.hide();
    QFile::remove(second);
    return f;
}

// Qt Charts with every point in its series: the same chart without the envelope.
Figures runQtCharts(qint64 rows)
{
    Figures f;
    const qint64 before = memoryKiB("VmRSS:");
    QList<QPointF> p1, p2;
    p1.reserve(rows);
    p2.reserve(rows);
    for (qint64 i = 0; i < rows; ++i) {
        const Reading r = reading(i);
        const double x = double(r.when.toMSecsSinceEpoch());
        p1.append({x, r.t1Tenths / 10.0});
        p2.append({x, r.t2Tenths / 10.0});
    }
    // The peer's best case: its points are ready before the clock starts.
    QElapsedTimer t;
    t.start();
    const double cpu = cpuMs();
    auto* chart = new QChart;
    auto* s1 = new QLineSeries;
    auto* s2 = new QLineSeries;
    s1->setColor(Qt::red);
    s2->setColor(Qt::blue);
    s1->replace(p1);
    s2->replace(p2);
    chart->addSeries(s1);
    chart->addSeries(s2);
    auto* x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("hh:mm:ss'<br>'dd.MM.yy"));
    auto* y = new QValueAxis;
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* s : {s1, s2}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    x->setRange(QDateTime::fromMSecsSinceEpoch(qint64(p1.front().x())),
                QDateTime::fromMSecsSinceEpoch(qint64(p1.back().x())));
    y->setRange(-40, 90);
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing);
    view.resize(kChartSize);
    view.show();
    QCoreApplication::processEvents();
    view.grab();
    f.firstPaint = ms(t);
    f.firstPaintCpu = cpuMs() - cpu;
    t.restart();
    chart->zoomIn(zoomRect(chart->plotArea()));
    view.grab();
    f.zoom = ms(t);
    f.memoryMiB = double(memoryKiB("VmRSS:") - before) / 1024.0;
    std::printf("Qt Charts:   first paint %8.1f ms (processor %.0f ms), zoom step %7.1f ms, "
                "memory %.1f MiB\n",
                f.firstPaint, f.firstPaintCpu, f.zoom, f.memoryMiB);
    std::fflush(stdout);
    return f;
}

// gnuplot reading the same points from a data file and writing a PNG.
Figures runGnuplot(const QString& dir, qint64 rows)
{
    const QString gnuplot = QStandardPaths::findExecutable(QStringLiteral("gnuplot"));
    if (gnuplot.isEmpty()) {
        std::printf("gnuplot:     not installed (apt-get install gnuplot-nox), skipped\n");
        return {};
    }
    const QString data = dir + QStringLiteral("/points.dat");
    {
        QFile f(data);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        QByteArray buf;
        for (qint64 i = 0; i < rows; ++i) {
            const Reading r = reading(i);
            buf += QByteArray::number(r.when.toSecsSinceEpoch()) + ' ' +
                   QByteArray::number(r.t1Tenths / 10.0) + ' ' +
                   QByteArray::number(r.t2Tenths / 10.0) + '\n';
            if (buf.size() > (1 << 20)) {
                f.write(buf);
                buf.clear();
            }
        }
        f.write(buf);
    }
    const QString script = QStringLiteral("set terminal png size %1,%2\n"
                                          "set output '%3/gnuplot.png'\n"
                                          "set xdata time\nset timefmt '%s'\n"
                                          "set format x \"%H:%M:%S\\n%d.%m.%y\"\n"
                                          "plot '%4' using 1:2 with lines lc rgb 'red' title 'T1', "
                                          "'' using 1:3 with lines lc rgb 'blue' title 'T2'\n")
                               .arg(kChartSize.width())
                               .arg(kChartSize.height())
                               .arg(dir, data);
    const QString scriptFile = dir + QStringLiteral("/chart.gp");
    {
        QFile f(scriptFile);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(script.toUtf8());
    }
    Figures f;
    QElapsedTimer t;
    t.start();
    const double cpu = childCpuMs();
    QProcess p;
    p.start(gnuplot, {scriptFile});
    p.waitForFinished(600000);
    f.firstPaint = ms(t);
    f.firstPaintCpu = childCpuMs() - cpu;
    if (p.exitCode() != 0) {
        std::printf("gnuplot:     failed: %s\n", p.readAllStandardError().constData());
        return {};
    }
    std::printf("gnuplot:     PNG of the same points in %8.1f ms (processor %.0f ms)\n",
                f.firstPaint, f.firstPaintCpu);
    return f;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qint64 rows = 1000000;
    QString dirPath, keep;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--rows")
            rows = args[i + 1].toLongLong();
        else if (args[i] == u"--dir")
            dirPath = args[i + 1];
        else if (args[i] == u"--table")
            keep = args[i + 1];
    }
    QTemporaryDir dir(dirPath.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_chart-XXXXXX")
                                        : dirPath + QStringLiteral("/bench_chart-XXXXXX"));
    const QString table = keep.isEmpty() ? dir.filePath(QStringLiteral("chart.db")) : keep;
    if (keep.isEmpty() || !QFile::exists(keep)) {
        std::printf("making a table of %lld rows, one a minute...\n", rows);
        std::fflush(stdout);
        makeTable(table, rows);
    }
    {
        DbfTable t;
        t.setTableFile(table);
        t.open();
        rows = t.recordCount();
    }

    const Figures ours = runOurs(table, dir.filePath(QStringLiteral("settings.ini")), rows);
    if (args.contains(QStringLiteral("--ours-only"))) // for profiling
        return 0;
    const Figures qt = runQtCharts(rows);
    const Figures gp = runGnuplot(dir.path(), rows);

    std::printf("ratios:      first paint Qt Charts / ours %.1f (processor %.1f), zoom step "
                "Qt Charts / ours %.1f",
                qt.firstPaint / ours.firstPaint, qt.firstPaintCpu / ours.firstPaintCpu,
                qt.zoom / ours.zoom);
    if (gp.firstPaint > 0)
        std::printf(", first paint gnuplot / ours %.1f (processor %.1f)",
                    gp.firstPaint / ours.firstPaint, gp.firstPaintCpu / ours.firstPaintCpu);
    std::printf("\n");
    return 0;
}
