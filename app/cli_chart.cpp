// `fln chart`: the chart of whole tables, or of the period of --from and
// --to, as a picture. The tables are only read.
#include "app/cli_commands.h"

#include "app/command_line.h"
#include "charts/measurement_chart.h"
#include "components/date_time_chart.h"
#include "data/chart_recording.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/statistics.h"
#include "data/table_row_reader.h"
#include "platform/app_error.h"
#include "platform/console_output.h"
#include "platform/interrupt_signals.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// The chart window's outer size.
constexpr int kDefaultWidth = 698;
constexpr int kDefaultHeight = 482;

} // namespace

int runChartCommand(const CommandLineOptions& options)
{
    // Ctrl-C and the stop signals end the job before the picture is written.
    InterruptSignals interrupts;
    const auto stopWhenInterrupted = [] {
        if (const int s = InterruptSignals::received())
            throw AppError(QStringLiteral("Рисунок не записан: ") + InterruptSignals::describe(s));
    };
    const RegionalSettings rs = commandRegionalSettings(options);
    // The parser took only sides within the limits.
    const auto side = [&options](const QString& name, int otherwise) {
        return options.isSet(name) ? options.value(name).toInt() : otherwise;
    };
    const QSize size(side(QStringLiteral("width"), kDefaultWidth),
                     side(QStringLiteral("height"), kDefaultHeight));
    const QString output = options.value(QStringLiteral("o"));

    DbfTable table;
    try {
        openTableForReading(table, options);
    } catch (const AppError& e) {
        // Among several tables, the one that failed is named as the others are.
        if (options.arguments.size() < 2)
            throw;
        throw AppError(
            QStringLiteral("Не удалось прочитать запись %1: %2")
                .arg(QFileInfo(options.arguments.first()).fileName(),
                     e.text().isEmpty() ? QStringLiteral("таблица не открывается") : e.text()));
    }

    // Rows are read as the chart asks for them, in the browsing order: every
    // row, or the rows of the period as if they were the grid's selection.
    const std::optional<QList<quint32>> period = periodRows(table, options, rs);
    TableRowReader reader(table);
    const int t1 = table.fieldIndex(MeasurementSchema::kT1);
    const int t2 = table.fieldIndex(MeasurementSchema::kT2);
    const int date = table.fieldIndex(MeasurementSchema::kDate);
    const int time = table.fieldIndex(MeasurementSchema::kTime);
    const qint64 rows = period ? period->size() : reader.rowCount();
    const CapturedRowAt rowAt = [&](qsizetype k) {
        if (period)
            reader.viewRecord(period->at(k));
        else
            reader.view(k);
        return CapturedRow{reader.text(t1), reader.text(t2), reader.text(date), reader.text(time)};
    };

    // The legends carry the footers of the whole table, as the window's do
    // with nothing selected, or those of the period's rows, as the window's
    // do for a selection; an empty table's footers show no figures, so its
    // legends end in the two blanks after the caption.
    TableStatistics statistics;
    bool empty = false;
    if (period)
        statistics = selectionStatistics(rows, rowAt, rs);
    else
        empty = find_mma(table, statistics, rs) == 0;
    const QString footer1 = empty ? QString() : footerT1(statistics, rs);
    const QString footer2 = empty ? QString() : footerT2(statistics, rs);
    stopWhenInterrupted();
    const bool curve1 = options.isSet(QStringLiteral("t1"));
    const bool curve2 = options.isSet(QStringLiteral("t2"));
    const bool both = !curve1 && !curve2;
    const CurveChoice choice{both || curve1, both || curve2};

    // The other tables are read whole (or their rows of the period) before
    // anything is drawn: one that cannot be read ends the command, naming
    // it, and nothing is written.
    QList<ChartRecording> others;
    for (const QString& file : options.arguments.mid(1)) {
        others << readChartRecording(file, choice, rs, givenPeriod(options));
        stopWhenInterrupted();
    }
    const ChartAlignment alignment = options.value(QStringLiteral("align")) == u"start"
                                         ? ChartAlignment::Start
                                         : ChartAlignment::Clock;

    DateTimeChart chart;
    chart.setWindowTitle(QStringLiteral("Графики"));
    chart.setAttribute(Qt::WA_DontShowOnScreen);
    MeasurementChart::setUp(chart);
    // The widget keeps the window's size: the picture is laid out at its own
    // size when it is written, and no screen buffer grows with it.
    chart.resize(kDefaultWidth, kDefaultHeight);
    chart.show();
    QCoreApplication::processEvents();
    MeasurementChart::build(
        chart, choice,
        {[rows] { return qsizetype(rows); }, rowAt,
         [&](const QString& field) { return field == MeasurementSchema::kT1 ? footer1 : footer2; }},
        rs, others, alignment);
    QCoreApplication::processEvents();
    stopWhenInterrupted();
    chart.saveImage(output, size);
    writeOut(QFileInfo(output).absoluteFilePath() + u'\n');
    return kExitDone;
}
