// find_mma against the bare walk of the table layer (open, read T_1 and T_2
// of every row as numbers) and against a Python peer doing the same
// arithmetic over dbfread, on one 1,000,000-row measurement table.
// Prints each time and the ratios.
//
//   bench_statistics [--rows N] [--dir FOLDER] [--table FILE.dbf]
// (--table: keep the big table there and reuse it on the next run)
#include "bench/measurement_rows.h"
#include "data/dbf_table.h"
#include "data/statistics.h"
#include "platform/app_error.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double bestOf(int runs, const std::function<void()>& f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// The peer: dbfread, the comma turned into a point, min/max/sum per channel
// and the mean rounded to tenths. Prints its footer text of T_1 on stdout.
const char* const kPeer = R"(import sys, math, dbfread
def num(s): return float(s.strip().replace(',', '.'))
first = True
n = 0
for r in dbfread.DBF(sys.argv[1], encoding='cp1251'):
    a = num(r['T_1']); b = num(r['T_2']); n += 1
    if first:
        mn1 = mx1 = s1 = a; mn2 = mx2 = s2 = b; first = False
    else:
        mn1 = min(mn1, a); mx1 = max(mx1, a); s1 += a
        mn2 = min(mn2, b); mx2 = max(mx2, b); s2 += b
m1 = math.floor(s1 / n / 0.1 + 0.5) * 0.1
print('%g/%g/%g' % (mn1, round(m1, 1), mx1))
)";

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchTableOptions options = parseBenchTableOptions(app.arguments());
    const qint64 rows = options.rows;
    const QString& dir = options.dir;
    const QString& keep = options.keep;
    QTemporaryDir temp((dir.isEmpty() ? QDir::tempPath() : dir) +
                       QStringLiteral("/bench_statistics_XXXXXX"));
    const QString big = keep.isEmpty() ? temp.filePath(QStringLiteral("big.dbf")) : keep;
    const RegionalSettings rs = RegionalSettings::russian();

    try {
        if (!QFile::exists(big)) {
            QElapsedTimer build;
            build.start();
            makeMeasurementTable(big, rows);
            std::printf("built %lld rows in %.0f ms\n", rows, build.nsecsElapsed() / 1e6);
        }

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

        TableStatistics stats;
        const double mma = bestOf(3, [&] {
            DbfTable t;
            t.setTableFile(big);
            t.open();
            find_mma(t, stats, rs);
            t.close();
        });

        QProcess peer;
        QElapsedTimer timer;
        timer.start();
        peer.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), kPeer, big});
        const bool peerOk = peer.waitForStarted() && peer.waitForFinished(-1) &&
                            peer.exitStatus() == QProcess::NormalExit && peer.exitCode() == 0;
        const double python = timer.nsecsElapsed() / 1e6;

        std::printf("rows:                      %lld\n", rows);
        std::printf("bare walk T_1, T_2:        %8.1f ms   (checksum %.1f)\n", walk, sum);
        std::printf("find_mma:                  %8.1f ms   footer T_1 %s\n", mma,
                    qPrintable(footerT1(stats, rs)));
        std::printf("find_mma / walk:           %8.2f      (target <= 1.5)\n", mma / walk);
        if (peerOk)
            std::printf("python dbfread peer:       %8.1f ms   footer T_1 %s\n"
                        "python / find_mma:         %8.1f\n",
                        python, peer.readAllStandardOutput().trimmed().constData(), python / mma);
        else
            std::printf("python dbfread peer:       not available (%s)\n",
                        peer.readAllStandardError().trimmed().constData());
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
