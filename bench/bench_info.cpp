// `fln info` of a 1,000,000-row measurement table, the whole process from
// start to end, against `cat` of the same file to /dev/null: the cost of
// reading the file at all. The two run in turn (interleaved, after one warm-up
// run each, so the file is in the page cache); the benchmark prints the median
// wall and processor (user and system) time of each and the ratios.
//
//   bench_info [--rows N] [--runs K] [--dir FOLDER] [--table FILE.dbf] [--other FLN]
// (--table: keep the big table there and reuse it on the next run; --other:
// another build of the program, timed in the same turns, e.g. before a change)
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
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

struct ChildRun
{
    bool ok = false;
    double wallMs = 0;
    double cpuMs = 0; // user and system
};

ChildRun runChild(const QList<QByteArray>& args)
{
    std::vector<QByteArray> storage(args.begin(), args.end());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ChildRun run;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.wallMs = double(timer.nsecsElapsed()) / 1e6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return run;
}

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
    QByteArray other;
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--runs")
            runs = std::max(1, args[i + 1].toInt());
        if (args[i] == u"--other")
            other = QFile::encodeName(args[i + 1]);
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

    const QByteArray file = QFile::encodeName(big);
    const QList<QByteArray> info = {FLN_EXECUTABLE, "info", file};
    const QList<QByteArray> cat = {"cat", file};
    const QList<QByteArray> otherInfo = {other, "info", file};
    // Warm-up, and the file into the cache.
    if (!runChild(info).ok || !runChild(cat).ok || (!other.isEmpty() && !runChild(otherInfo).ok)) {
        std::printf("fln info or cat failed\n");
        return 1;
    }
    struct Times
    {
        std::vector<double> wall, cpu;
        void add(const ChildRun& r)
        {
            wall.push_back(r.wallMs);
            cpu.push_back(r.cpuMs);
        }
    } ours, plain, theirs;
    for (int k = 0; k < runs; ++k) {
        const ChildRun a = runChild(info);
        const ChildRun b = runChild(cat);
        const ChildRun c = other.isEmpty() ? ChildRun{true} : runChild(otherInfo);
        if (!a.ok || !b.ok || !c.ok) {
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
    line("fln info", ours);
    if (!other.isEmpty())
        line("other fln info", theirs);
    return 0;
}
