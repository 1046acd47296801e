// The reading commands of the program on a 1,000,000-row measurement table,
// each a whole process from start to end, against `cat` of the same file to
// /dev/null: the cost of reading the file at all. `fln info`, `fln summary
// --json`, `fln dump` and `fln export` run in turn (interleaved, after one
// warm-up run each, so the file is in the page cache); the benchmark prints
// the median wall and processor (user and system) time of each, its ratio to
// cat, and the summary's ratio to info. On a machine others use, the
// processor times are the figures to read.
//
//   bench_info [--rows N] [--runs K] [--dir FOLDER] [--table FILE.dbf] [--other FLN]
//              [--commands "info,summary --json,dump,export"] [--command "summary --json"]
// (--table: keep the big table there and reuse it on the next run; --other:
// another build of the program, timed in the same turns, e.g. before a change;
// --commands: the commands to time with their options, these four by default;
// --command: one command alone)
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
#include <functional>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Times
{
    std::vector<double> wall, cpu;
    void add(const ChildRun& r)
    {
        wall.push_back(r.seconds * 1e3);
        cpu.push_back(r.cpuSeconds * 1e3);
    }
    double medianWall() const { return median(wall); }
    double medianCpu() const { return median(cpu); }
};

// One timed program: a name to print, the run, and its times.
struct Contender
{
    QString name;
    std::function<ChildRun()> run;
    Times times;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const BenchTableOptions options = parseBenchTableOptions(args);
    int runs = 11;
    QString other;
    QStringList commands = {QStringLiteral("info"), QStringLiteral("summary --json"),
                            QStringLiteral("dump"), QStringLiteral("export")};
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--runs")
            runs = std::max(1, args[i + 1].toInt());
        if (args[i] == u"--other")
            other = args[i + 1];
        if (args[i] == u"--commands")
            commands = args[i + 1].split(u',', Qt::SkipEmptyParts);
        if (args[i] == u"--command")
            commands = {args[i + 1]};
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
    // The summary reads the stored limits: none here.
    setenv("XDG_CONFIG_HOME", qPrintable(temp.filePath(QStringLiteral("config"))), 1);

    // The command with its options, the table, and for export the workbook.
    const auto argumentsOf = [&](const QString& command, const QString& tag) {
        QStringList arguments = command.split(u' ', Qt::SkipEmptyParts) + QStringList{big};
        if (arguments.first() == u"export")
            arguments << QStringLiteral("-o") << temp.filePath(tag + QStringLiteral(".xlsx"));
        return arguments;
    };
    std::vector<Contender> contenders;
    contenders.push_back({QStringLiteral("cat > /dev/null"),
                          [&big] { return runChild(QStringLiteral("cat"), {big}); },
                          {}});
    for (const QString& command : commands) {
        const QString fln = QStringLiteral(FLN_EXECUTABLE);
        contenders.push_back({QStringLiteral("fln ") + command,
                              [=] { return runChild(fln, argumentsOf(command, "ours")); },
                              {}});
        if (!other.isEmpty())
            contenders.push_back({QStringLiteral("other fln ") + command,
                                  [=] { return runChild(other, argumentsOf(command, "other")); },
                                  {}});
    }
    // Warm-up, and the file into the cache.
    for (Contender& c : contenders) {
        if (!c.run().ok()) {
            std::printf("%s failed\n", qPrintable(c.name));
            return 1;
        }
    }
    for (int k = 0; k < runs; ++k) {
        for (Contender& c : contenders) {
            const ChildRun r = c.run();
            if (!r.ok()) {
                std::printf("%s failed\n", qPrintable(c.name));
                return 1;
            }
            c.times.add(r);
        }
    }
    const Times& cat = contenders.front().times;
    const double cw = cat.medianWall(), cc = cat.medianCpu();
    std::printf("median of %d interleaved runs\n", runs);
    for (const Contender& c : contenders) {
        const double w = c.times.medianWall(), p = c.times.medianCpu();
        std::printf("%-24s %8.1f ms wall %8.1f ms processor   / cat: %6.2f wall %6.2f processor\n",
                    qPrintable(c.name), w, p, w / cw, cc > 0 ? p / cc : 0.0);
    }
    // The summary against info of the same program (target <= 2.5).
    const auto find = [&](const QString& name) -> const Contender* {
        for (const Contender& c : contenders)
            if (c.name == name)
                return &c;
        return nullptr;
    };
    for (const QString prefix : {QStringLiteral("fln "), QStringLiteral("other fln ")}) {
        const Contender* info = find(prefix + QStringLiteral("info"));
        const Contender* summary = find(prefix + QStringLiteral("summary --json"));
        if (info && summary)
            std::printf("%-24s %6.2f wall %6.2f processor (target <= 2.5)\n",
                        qPrintable(prefix + QStringLiteral("summary / info")),
                        summary->times.medianWall() / info->times.medianWall(),
                        summary->times.medianCpu() / info->times.medianCpu());
    }
    return 0;
}
