#pragma once

// The rows the benchmarks fill their tables with: N repeats 1..5957 as
// appended downloads do, both modes, temperatures with one decimal under the
// Russian settings.
#include "data/dbf_table.h"

#include <QString>
#include <QStringList>

inline void appendMeasurement(DbfTable& t, int n, int i)
{
    static const QString modes[] = {QStringLiteral("Оперативный"), QStringLiteral("Наблюдения")};
    t.append();
    t.setInteger(QStringLiteral("N"), n);
    t.setText(QStringLiteral("MODE"), modes[i & 1]);
    t.setInteger(QStringLiteral("EN_CH"), 3);
    t.setText(QStringLiteral("DATE"), QStringLiteral("15.03.2024"));
    t.setText(QStringLiteral("TIME"),
              QStringLiteral("12:30:%1").arg(i % 60, 2, 10, QLatin1Char('0')));
    t.setText(QStringLiteral("T_1"), QStringLiteral("%1,%2").arg(i % 80 - 20).arg(i % 10));
    t.setText(QStringLiteral("T_2"), QStringLiteral("%1,5").arg(i % 50));
    t.post();
}

// A new measurement table of `rows` rows at `path`, in Windows-1251 as the
// program's tables are on the target systems.
inline void makeMeasurementTable(const QString& path, qint64 rows)
{
    DbfTable t;
    t.setNewTableLanguageDriver(0xC9);
    t.setTableFile(path);
    t.create();
    t.open();
    t.disableControls();
    for (qint64 i = 0; i < rows; ++i)
        appendMeasurement(t, int(i % 5957) + 1, int(i));
    t.enableControls();
    t.close();
}

// The options of the table benchmarks: --rows N, --dir FOLDER (where the
// temporary tables go), --table FILE (keep the big table there and reuse it).
struct BenchTableOptions
{
    qint64 rows = 1000000;
    QString dir;
    QString keep;
};

inline BenchTableOptions parseBenchTableOptions(const QStringList& args)
{
    BenchTableOptions o;
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == u"--rows")
            o.rows = args[i + 1].toLongLong();
        if (args[i] == u"--dir")
            o.dir = args[i + 1];
        if (args[i] == u"--table")
            o.keep = args[i + 1];
    }
    return o;
}
