// `fln report TABLE -o OUT.pdf [--from MOMENT] [--to MOMENT] [--sort FIELD [--descending]]`.
#include "app/cli_commands.h"

#include "app/cli_progress.h"
#include "app/command_line.h"
#include "components/report_engine.h"
#include "data/dbf_table.h"
#include "output/measurement_report.h"
#include "platform/app_error.h"
#include "platform/heap_tuning.h"
#include "platform/interrupt_signals.h"

#include <algorithm>

int runReportCommand(const CommandLineOptions& o)
{
    // Ctrl-C and the stop signals end the job between pages, with no file left.
    InterruptSignals interrupts;
    const auto stopWhenInterrupted = [] {
        if (const int s = InterruptSignals::received())
            throw AppError(QStringLiteral("Отчет не записан: ") + InterruptSignals::describe(s));
    };
    keepFreedMemoryForReuse();
    DbfTable table;
    openTableForReading(table, o);
    const std::optional<QList<quint32>> rows = periodRows(table, o, commandRegionalSettings(o));
    const auto report =
        rows ? MeasurementReport::prepare(table, *rows) : MeasurementReport::prepare(table);
    stopWhenInterrupted();
    const int pages = report->pageCount();
    CliProgressBar bar(QStringLiteral("Печать отчета ..."));
    const auto show = [&bar, pages](int done) {
        bar.show(int(qint64(done) * 100 / std::max(1, pages)),
                 QStringLiteral("Страница %1 из %2").arg(done).arg(pages));
    };
    show(0);
    const bool written =
        writeReportPdf(*report, o.value(QStringLiteral("o")), [&show](int done, int) {
            show(done);
            return InterruptSignals::received() == 0;
        });
    bar.finish();
    if (!written)
        stopWhenInterrupted();
    return kExitDone;
}
