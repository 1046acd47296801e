// `fln info` of a 1,000,000-row measurement table, the whole process from
// start to end, against `cat` of the same file to /dev/null: the cost of
// reading the file at all. The two run in turn (interleaved, after one warm-up
// run each, so the file is in the page cache); the benchmark prints the median
// wall and processor (user and system) time of each and the ratios.
//
//   bench_info [--rows N] [--runs K] [--dir FOLDER] [--table FILE.dbf] [--other FLN]
//              [--command "summary --json"]
// (--table: keep the big table there and reuse it on the next run; --other:
// another build of the program, timed in the same turns, e.g. before a change;
// --command: another command of the table instead of `info`, with its options)
#include "bench/child_run.h"
#include "bench/measurement_rows.h"
#include "platform/app_error.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const BenchTableOptions options = parseBenchTableOptions(args);
    int runs = 11;
    QString other;
    QStringList command{QStringLiteral("info")};
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--runs")
            runs = std::max(1, args[i + 1].toInt());
        if (args[i] == u"--other")
            other = args[i + 1];
        if (args[i] == u"--command")
            command = args[i + 1].split(u' ', Qt::SkipEmptyParts);
    }
    QTemporaryDir temp((options.dir.isEmpty() ? QDir::tempPath() : options.dir) +
                       QStringLiteral("/bench_info_XXXXXX"));
    const QString big =
        options.keep.isEmpty() ? temp.filePath(QStringLiteral("big.dbf")) : options.keep;
    try {
        if (!QFile::exists(big)) {
            QElapsedTimer build;
            build.start();
            makeMeasurementTable(big, options.rows);
            std::printf("built %lld rows in %.0f ms\n", options.rows, build.nsecsElapsed() / 1e6);
        }
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    // The users' settings: the temperatures carry a decimal comma.
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    setenv("LANG", "ru_RU.UTF-8", 1);

    const QStringList commandLine = command + QStringList{big};
    const auto info = [&] { return runChild(QStringLiteral(FLN_EXECUTABLE), commandLine); };
    const auto cat = [&big] { return runChild(QStringLiteral("cat"), {big}); };
    const auto otherInfo = [&] {
        return other.isEmpty() ? ChildRun{0} : runChild(other, commandLine);
    };
    // Warm-up, and the file into the cache.
    if (!info().ok() || !cat().ok() || !otherInfo().ok()) {
        std::printf("fln info or cat failed\n");
        return 1;
    }
    struct Times
    {
        std::vector<double> wall, cpu;
        void add(const ChildRun& r)
        {
            wall.push_back(r.seconds * 1e3);
            cpu.push_back(r.cpuSeconds * 1e3);
        }
    } ours, plain, theirs;
    for (int k = 0; k < runs; ++k) {
        const ChildRun a = info();
        const ChildRun b = cat();
        const ChildRun c = otherInfo();
        if (!a.ok() || !b.ok() || !c.ok()) {
            std::printf("fln info or cat failed\n");
            return 1;
        }
        ours.add(a);
        plain.add(b);
        theirs.add(c);
    }
    const double cw = median(plain.wall), cc = median(plain.cpu);
    std::printf("median of %d interleaved runs\n", runs);
    std::printf("cat > /dev/null:  %8.1f ms wall %8.1f ms processor\n", cw, cc);
    const auto line = [&](const char* name, const Times& t) {
        const double w = median(t.wall), c = median(t.cpu);
        std::printf("%-16s  %8.1f ms wall %8.1f ms processor   / cat: %5.2f wall %5.2f "
                    "processor (target <= 5)\n",
                    name, w, c, w / cw, cc > 0 ? c / cc : 0.0);
    };
    const QByteArray name = (QStringLiteral("fln ") + command.join(u' ')).toUtf8();
    line(name.constData(), ours);
    if (!other.isEmpty())
        line(QByteArray("other " + name).constData(), theirs);
    return 0;
}
