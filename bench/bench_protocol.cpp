// `fln protocol` beside `fln summary --json` of the same table, each as the
// user runs it (a process of its own, best of three, wall and processor
// time): a recording of 1,000,000 rows without readings (target under 2 s)
// and one of 20,000 rows with its readings (target under 3 s). Prints each
// figure and the ratio protocol / summary.
//
//   bench_protocol [--rows N] [--dir FOLDER] [--table FILE.dbf]
// (--table: keep the big table there and reuse it on the next run)
#include "bench/child_run.h"
#include "bench/measurement_rows.h"
#include "data/dbf_table.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// One reading a minute in time order, a mode block now and then, a gap
// every 50,000 rows, a comment every 500.
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
        if (i % 500 == 7)
            t.setText(QStringLiteral("COMMENT"), QStringLiteral("осмотр камеры"));
        t.post();
    }
    t.enableControls();
    t.close();
}

ChildRun best(const QStringList& args)
{
    ChildRun b;
    for (int i = 0; i < 3; ++i) {
        const ChildRun r = runChild(QStringLiteral(FLN_EXECUTABLE), args);
        if (!r.ok())
            return r;
        if (i == 0 || r.seconds < b.seconds)
            b = r;
    }
    return b;
}

bool compare(const char* name, const QString& table, const QString& pdf, const QStringList& options,
             double target)
{
    const QStringList locale{QStringLiteral("--locale"), QStringLiteral("ru_RU")};
    const ChildRun summary =
        best(locale + QStringList{QStringLiteral("summary"), table, QStringLiteral("--json")});
    const ChildRun protocol =
        best(locale + QStringList{QStringLiteral("protocol"), table, QStringLiteral("-o"), pdf} +
             options);
    if (!summary.ok() || !protocol.ok()) {
        std::fprintf(stderr, "%s: a run failed (summary %d, protocol %d)\n", name, summary.code,
                     protocol.code);
        return false;
    }
    std::printf("%s\n", name);
    std::printf("  fln summary --json:  %7.3f s wall  %7.3f s cpu  %7ld KiB peak\n",
                summary.seconds, summary.cpuSeconds, summary.peakKiB);
    std::printf("  fln protocol:        %7.3f s wall  %7.3f s cpu  %7ld KiB peak  %lld bytes\n",
                protocol.seconds, protocol.cpuSeconds, protocol.peakKiB,
                qint64(QFileInfo(pdf).size()));
    std::printf("  protocol / summary:  %7.2f wall   %7.2f cpu     (target: protocol < %.0f s)\n",
                protocol.seconds / summary.seconds, protocol.cpuSeconds / summary.cpuSeconds,
                target);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchTableOptions options = parseBenchTableOptions(app.arguments());
    QTemporaryDir temp((options.dir.isEmpty() ? QDir::tempPath() : options.dir) +
                       QStringLiteral("/bench_protocol_XXXXXX"));
    const QString big =
        options.keep.isEmpty() ? temp.filePath(QStringLiteral("recording.dbf")) : options.keep;
    const QString small = temp.filePath(QStringLiteral("readings.dbf"));
    if (!QFile::exists(big))
        makeRecording(big, options.rows);
    makeRecording(small, 20000);
    std::printf("rows: %lld and 20000\n", options.rows);
    bool ok = compare("without readings", big, temp.filePath(QStringLiteral("big.pdf")),
                      {QStringLiteral("--no-readings")}, 2);
    ok = compare("20,000 rows with their readings", small,
                 temp.filePath(QStringLiteral("small.pdf")), {}, 3) &&
         ok;
    return ok ? 0 : 1;
}
