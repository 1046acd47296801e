// The table layer against the I/O floor and two outside readers, on one
// 1,000,000-row measurement table (N repeating 1..5957, as appended downloads
// leave it). Prints each time and the ratios the targets are stated in.
//
//   bench_table [--rows N] [--dir FOLDER] [--table FILE.dbf]
// (--table: keep the big table there and reuse it on the next run)
#include "bench/measurement_rows.h"
#include "data/dbf_table.h"
#include "platform/app_error.h"
#include "platform/regional_settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr int kDownload = 5957;

// Processor time of the best run, printed beside the wall time: on a busy
// machine the wall clock also counts the time other programs had the CPU.
double g_cpuMs = 0;

double bestOf(int runs, const std::function<void()>& f)
{
    double best = 1e300;
    g_cpuMs = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        const std::clock_t c0 = std::clock();
        timer.start();
        f();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
        g_cpuMs = std::min(g_cpuMs, double(std::clock() - c0) * 1000.0 / CLOCKS_PER_SEC);
    }
    return best;
}

// Milliseconds of an outside program, or a negative value when it is missing
// or fails.
double timeProcess(const QString& program, const QStringList& args)
{
    const QString exe =
        program.startsWith(u'/') ? program : QStandardPaths::findExecutable(program);
    if (exe.isEmpty())
        return -1;
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    p.start(exe, args);
    if (!p.waitForStarted() || !p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit ||
        p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     p.readAllStandardError().constData());
        return -1;
    }
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchTableOptions options = parseBenchTableOptions(app.arguments());
    const qint64 rows = options.rows;
    const QString& dir = options.dir;
    const QString& keep = options.keep;
    QTemporaryDir temp(dir.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_table_XXXXXX")
                                     : dir + QStringLiteral("/bench_table_XXXXXX"));
    const QString big = keep.isEmpty() ? temp.filePath(QStringLiteral("big.dbf")) : keep;
    const RegionalSettings rs = RegionalSettings::russian();

    try {
        // 1. The big table, through the layer.
        QElapsedTimer build;
        build.start();
        if (!QFile::exists(big)) {
            makeMeasurementTable(big, rows);
        }
        std::printf("built %lld rows (%lld bytes) in %.0f ms\n", rows, QFile(big).size(),
                    build.nsecsElapsed() / 1e6);

        // 2. One download's worth of appends into a new table.
        int n = 0;
        const double appends = bestOf(5, [&] {
            const QString p = temp.filePath(QStringLiteral("append%1.db").arg(n++));
            DbfTable t;
            t.setNewTableLanguageDriver(0xC9);
            t.setTableFile(p);
            t.create();
            t.open();
            for (int i = 0; i < kDownload; ++i)
                appendMeasurement(t, i + 1, i);
            t.close();
        });
        const double appendsCpu = g_cpuMs;

        // 3. Open and walk every row reading T_1 and T_2 as numbers.
        double sum = 0;
        const double walk = bestOf(3, [&] {
            DbfTable t;
            t.setTableFile(big);
            t.open();
            const int t1 = t.fieldIndex(QStringLiteral("T_1"));
            const int t2 = t.fieldIndex(QStringLiteral("T_2"));
            for (t.first(); !t.eof(); t.next())
                sum += t.number(t1, rs).value_or(0) + t.number(t2, rs).value_or(0);
            t.close();
        });
        const double walkCpu = g_cpuMs;

        // 4. The I/O floor and the outside readers.
        const double cat = bestOf(3, [&] {
            timeProcess(QStringLiteral("sh"),
                        {QStringLiteral("-c"), QStringLiteral("cat \"$0\" > /dev/null"), big});
        });
        const double dbfread = timeProcess(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral(
                 "import sys,dbfread\nfor r in dbfread.DBF(sys.argv[1]): r['T_1']; r['T_2']"),
             big});
        const double ogr =
            timeProcess(QStringLiteral("ogr2ogr"), {QStringLiteral("-f"), QStringLiteral("CSV"),
                                                    QStringLiteral("/vsistdout/"), big});

        std::printf("5957 appends:            %8.1f ms   (cpu %.1f ms; target < 100 ms)\n", appends,
                    appendsCpu);
        std::printf("open + walk T_1, T_2:    %8.1f ms   (cpu %.1f ms; checksum %.1f)\n", walk,
                    walkCpu, sum);
        std::printf("cat > /dev/null:         %8.1f ms\n", cat);
        std::printf("walk / cat:              %8.2f     (target <= 3)\n", walk / cat);
        if (dbfread > 0)
            std::printf("dbfread:                 %8.1f ms   dbfread / walk: %.1f (target >= 20)\n",
                        dbfread, dbfread / walk);
        else
            std::printf("dbfread:                 not available\n");
        if (ogr > 0)
            std::printf("ogr2ogr -f CSV:          %8.1f ms   ogr2ogr / walk: %.1f\n", ogr,
                        ogr / walk);
        else
            std::printf("ogr2ogr:                 not available\n");
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
