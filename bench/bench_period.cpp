// The rows of a period (periodRecords: every row's DATE and TIME read and
// compared with the period's ends) against a bare walk of the same rows in
// the same order that only collects their record numbers, processor time,
// best of eleven runs of each in turn, on a recording of 1,000,000 rows as the instrument writes it
// (one reading a minute, a gap every 50,000 rows), in record order and in
// the order of its T_1 column. Target: period <= 1.5 × bare walk.
//
//   bench_period [--rows N] [--dir FOLDER] [--table FILE.dbf]
// (--table: keep the recording there and reuse it on the next run)
#include "bench/measurement_rows.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/table_period.h"
#include "data/table_row_reader.h"
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

constexpr int kRuns = 11;

double cpuMs(const std::function<void()>& f)
{
    const std::clock_t start = std::clock();
    f();
    return double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC;
}

const QDateTime kStart(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);

void makeRecording(const QString& path, qint64 rows)
{
    DbfTable t;
    t.setNewTableLanguageDriver(0xC9);
    t.setTableFile(path);
    t.create();
    t.open();
    t.disableControls();
    QDateTime at = kStart;
    for (qint64 i = 0; i < rows; ++i) {
        at = at.addSecs(i % 50000 == 49999 ? 3600 : 60);
        const double t1 = std::round(40 * std::sin(double(i) / 700)) / 10 + 4;
        t.append();
        t.setInteger(QStringLiteral("N"), i % 5957 + 1);
        t.setText(QStringLiteral("MODE"), QStringLiteral("Оперативный"));
        t.setInteger(QStringLiteral("EN_CH"), 3);
        t.setText(QStringLiteral("DATE"), at.toString(QStringLiteral("dd.MM.yyyy")));
        t.setText(QStringLiteral("TIME"), at.toString(QStringLiteral("HH:mm:ss")));
        t.setText(QStringLiteral("T_1"), QString::number(t1, 'f', 1).replace(u'.', u','));
        t.setText(QStringLiteral("T_2"), QStringLiteral("-18,0"));
        t.post();
    }
    t.enableControls();
    t.close();
}

QList<quint32> bareWalk(const DbfTable& table)
{
    QList<quint32> records;
    TableRowReader rows(table);
    for (bool row = rows.viewFirst(); row; row = rows.viewNext())
        records.append(rows.recNo());
    return records;
}

void compare(const char* order, const DbfTable& table, qint64 rows)
{
    const RegionalSettings rs = RegionalSettings::russian();
    const qint64 first = momentOf(kStart.date(), kStart.time());
    const qint64 span = rows * 60;
    const struct
    {
        const char* name;
        Period period;
    } periods[] = {{"every row", Period{first, first + 2 * span}},
                   {"the middle half", Period{first + span / 4, first + 3 * span / 4}},
                   {"one day", Period{first + span / 2, first + span / 2 + 86399}},
                   {"open start, first tenth", Period{std::nullopt, first + span / 10}}};
    // The two alternate, so that a busy machine slows both alike; the best
    // of each counts.
    std::printf("%s\n", order);
    for (const auto& p : periods) {
        QList<quint32> bare, in;
        double walk = 1e300, ms = 1e300;
        for (int i = 0; i < kRuns; ++i) {
            walk = std::min(walk, cpuMs([&] { bare = bareWalk(table); }));
            ms = std::min(ms, cpuMs([&] { in = periodRecords(table, p.period, rs); }));
        }
        std::printf("  %-24s bare walk %7.1f ms, period %7.1f ms cpu, %8lld of %lld rows, "
                    "ratio %5.2f (target <= 1.5)\n",
                    p.name, walk, ms, qint64(in.size()), qint64(bare.size()), ms / walk);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchTableOptions options = parseBenchTableOptions(app.arguments());
    QTemporaryDir temp((options.dir.isEmpty() ? QDir::tempPath() : options.dir) +
                       QStringLiteral("/bench_period_XXXXXX"));
    const QString recording =
        options.keep.isEmpty() ? temp.filePath(QStringLiteral("recording.dbf")) : options.keep;
    try {
        if (!QFile::exists(recording))
            makeRecording(recording, options.rows);
        std::printf("rows: %lld, processor time, best of %d\n", options.rows, kRuns);
        DbfTable table;
        table.setTableFile(recording);
        table.open(DbfTable::Access::ReadOnly);
        compare("record order", table, options.rows);
        table.sortForReading(MeasurementSchema::sortExpression(MeasurementSchema::kT1), false);
        compare("sorted by T_1", table, options.rows);
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
