// The recording summary against find_mma over the same rows, processor time,
// best of three, on two tables of 1,000,000 rows: a recording as the
// instrument writes it (one reading a minute, in time order, a mode block now
// and then, a gap every 50,000 rows), and the benchmarks' shared table (one
// day, seconds cycling, modes alternating row by row: every step of the
// summary's time order has to be sorted). Target: summary <= 2 × find_mma.
//
//   bench_summary [--rows N] [--dir FOLDER] [--table FILE.dbf]
// (--table: keep both tables there, the recording as FILE.dbf.recording.dbf,
// and reuse them on the next run)
#include "bench/measurement_rows.h"
#include "data/dbf_table.h"
#include "data/recording_summary.h"
#include "data/statistics.h"
#include "platform/app_error.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

double bestCpuMs(int runs, const std::function<void()>& f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const std::clock_t start = std::clock();
        f();
        best = std::min(best, double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC);
    }
    return best;
}

void makeRecording(const QString& path, qint64 rows)
{
    DbfTable t;
    t.setNewTableLanguageDriver(0xC9);
    t.setTableFile(path);
    t.create();
    t.open();
    t.disableControls();
    const QString modes[] = {QStringLiteral("Оперативный"), QStringLiteral("Наблюдения")};
    QDateTime at(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    for (qint64 i = 0; i < rows; ++i) {
        at = at.addSecs(i % 50000 == 49999 ? 3600 : 60);
        const double t1 = std::round(40 * std::sin(double(i) / 700)) / 10 + 4;
        const double t2 = std::round(100 * std::cos(double(i) / 300)) / 10 - 18;
        t.append();
        t.setInteger(QStringLiteral("N"), i % 5957 + 1);
        t.setText(QStringLiteral("MODE"), modes[(i / 1000) & 1]);
        t.setInteger(QStringLiteral("EN_CH"), 3);
        t.setText(QStringLiteral("DATE"), at.toString(QStringLiteral("dd.MM.yyyy")));
        t.setText(QStringLiteral("TIME"), at.toString(QStringLiteral("HH:mm:ss")));
        t.setText(QStringLiteral("T_1"), QString::number(t1, 'f', 1).replace(u'.', u','));
        t.setText(QStringLiteral("T_2"), QString::number(t2, 'f', 1).replace(u'.', u','));
        t.post();
    }
    t.enableControls();
    t.close();
}

void compare(const char* name, const QString& path)
{
    const RegionalSettings rs = RegionalSettings::russian();
    TableStatistics stats;
    const double mma = bestCpuMs(3, [&] {
        DbfTable t;
        t.setTableFile(path);
        t.open(DbfTable::Access::ReadOnly);
        find_mma(t, stats, rs);
        t.close();
    });
    SummaryOptions options;
    options.lower = {0.0, -25.0};
    options.upper = {6.0, -12.0};
    RecordingSummary s;
    const double summary = bestCpuMs(3, [&] {
        DbfTable t;
        t.setTableFile(path);
        t.open(DbfTable::Access::ReadOnly);
        s = summarizeTable(t, options, rs);
        t.close();
    });
    std::printf("%s\n", name);
    std::printf("  find_mma:            %8.1f ms cpu   footer T_1 %s\n", mma,
                qPrintable(footerT1(stats, rs)));
    std::printf("  summary:             %8.1f ms cpu   %lld records, interval %lld s, "
                "%lld gaps, T_1 mean %.2f, MKT %.2f\n",
                summary, s.records, s.interval, qint64(s.gaps.size()), s.channels[0].mean,
                s.channels[0].mkt.value_or(NAN));
    std::printf("  summary / find_mma:  %8.2f      (target <= 2)\n", summary / mma);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchTableOptions options = parseBenchTableOptions(app.arguments());
    QTemporaryDir temp((options.dir.isEmpty() ? QDir::tempPath() : options.dir) +
                       QStringLiteral("/bench_summary_XXXXXX"));
    const QString shared =
        options.keep.isEmpty() ? temp.filePath(QStringLiteral("shared.dbf")) : options.keep;
    const QString recording = options.keep.isEmpty() ? temp.filePath(QStringLiteral("recording.dbf"))
                                                     : options.keep + QStringLiteral(".recording.dbf");
    try {
        if (!QFile::exists(recording))
            makeRecording(recording, options.rows);
        if (!QFile::exists(shared))
            makeMeasurementTable(shared, options.rows);
        std::printf("rows: %lld\n", options.rows);
        compare("a recording in time order", recording);
        compare("the shared benchmark table (time order sorted)", shared);
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
