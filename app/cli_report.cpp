// `fln report TABLE -o OUT.pdf [--sort FIELD [--descending]]`.
#include "app/cli_report.h"

#include "app/cli_progress.h"
#include "app/command_line.h"
#include "components/report_engine.h"
#include "data/dbf_table.h"
#include "output/measurement_report.h"
#include "platform/heap_tuning.h"

#include <algorithm>

int runReportCommand(const CommandLineOptions& o)
{
    keepFreedMemoryForReuse();
    DbfTable table;
    table.setTableFile(o.arguments.first());
    table.open(DbfTable::Access::ReadOnly);
    if (!o.sortField.isEmpty())
        table.sortForReading(o.sortField, o.descending);
    const auto report = MeasurementReport::prepare(table);
    const int pages = report->pageCount();
    CliProgressBar bar(QStringLiteral("Печать отчета ..."));
    const auto show = [&bar, pages](int done) {
        bar.show(int(qint64(done) * 100 / std::max(1, pages)),
                 QStringLiteral("Страница %1 из %2").arg(done).arg(pages));
    };
    show(0);
    writeReportPdf(*report, o.output, [&show](int done, int) {
        show(done);
        return true;
    });
    bar.finish();
    return kExitDone;
}
