// `fln chart`: the chart of a whole table as a picture. The table is only read.
#include "app/cli_chart.h"

#include "app/command_line.h"
#include "charts/measurement_chart.h"
#include "components/date_time_chart.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/statistics.h"
#include "platform/console_output.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// The chart window's outer size.
constexpr int kDefaultWidth = 698;
constexpr int kDefaultHeight = 482;

} // namespace

int runChartCommand(const CommandLineOptions& options)
{
    const RegionalSettings rs = commandRegionalSettings(options);
    const QSize size(options.width > 0 ? options.width : kDefaultWidth,
                     options.height > 0 ? options.height : kDefaultHeight);

    DbfTable table;
    table.setTableFile(options.arguments.value(0));
    table.open(DbfTable::Access::ReadOnly);

    // The legends carry the footers of the whole table, as the window's do
    // with nothing selected.
    TableStatistics statistics;
    find_mma(table, statistics, rs);
    const QString footer1 = footerT1(statistics, rs);
    const QString footer2 = footerT2(statistics, rs);

    // Rows are read one after the other as the chart asks for them.
    const qint64 rows = table.rowCount();
    qint64 at = -1;
    const CapturedRowAt rowAt = [&](qsizetype k) {
        if (at < 0 || k != at + 1) {
            table.first();
            for (qint64 i = 0; i < k; ++i)
                table.next();
        } else {
            table.next();
        }
        at = k;
        return CapturedRow{table.text(MeasurementSchema::kT1), table.text(MeasurementSchema::kT2),
                           table.text(MeasurementSchema::kDate),
                           table.text(MeasurementSchema::kTime)};
    };
    const bool both = !options.t1 && !options.t2;
    const CurveChoice choice{both || options.t1, both || options.t2};

    DateTimeChart chart;
    chart.setWindowTitle(QStringLiteral("Графики"));
    chart.setAttribute(Qt::WA_DontShowOnScreen);
    MeasurementChart::setUp(chart);
    chart.resize(size);
    chart.show();
    QCoreApplication::processEvents();
    MeasurementChart::build(
        chart, choice,
        {[rows] { return qsizetype(rows); }, rowAt,
         [&](const QString& field) { return field == MeasurementSchema::kT1 ? footer1 : footer2; }},
        rs);
    QCoreApplication::processEvents();
    chart.saveImage(options.output, size);
    writeOut(QFileInfo(options.output).absoluteFilePath() + u'\n');
    return kExitDone;
}
