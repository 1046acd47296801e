// `fln report TABLE -o OUT.pdf [--sort FIELD [--descending]]`.
#include "app/cli_report.h"

#include "app/cli.h"
#include "app/command_line.h"
#include "components/report_engine.h"
#include "data/dbf_table.h"
#include "output/measurement_report.h"
#include "platform/heap_tuning.h"
#include "platform/terminal.h"

#include <cstdio>

namespace {

void err(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

// The bar is redrawn in place on a terminal, at most once a percent; into a
// log only the last state is written.
class ProgressBar
{
public:
    explicit ProgressBar(int pages) : m_pages(pages), m_interactive(isTerminal(stderr)) {}

    void show(int done)
    {
        m_done = done;
        const int percent = int(qint64(done) * 100 / std::max(1, m_pages));
        if (m_interactive && percent != m_drawn) {
            m_drawn = percent;
            err(text());
        }
    }
    void finish()
    {
        err(m_interactive ? QStringLiteral("\n") : text().mid(1) + QStringLiteral("\n"));
    }

private:
    QString text() const
    {
        constexpr int kWidth = 40;
        const int p = int(qint64(m_done) * 100 / std::max(1, m_pages));
        const int filled = p * kWidth / 100;
        return QStringLiteral("\rПечать отчета ... [") + QString(filled, u'#') +
               QString(kWidth - filled, u'.') +
               QStringLiteral("] %1 %  Страница %2 из %3").arg(p, 3).arg(m_done).arg(m_pages);
    }

    int m_pages;
    bool m_interactive;
    int m_done = 0;
    int m_drawn = -1;
};

} // namespace

int runReportCommand(const CommandLineOptions& o)
{
    if (o.output.isEmpty()) {
        err(QStringLiteral("fln report: -o OUT.pdf is required\n\n") + usageText());
        return kExitUsage;
    }
    keepFreedMemoryForReuse();
    DbfTable table;
    table.setTableFile(o.arguments.first());
    table.open(DbfTable::Access::ReadOnly);
    if (!o.sortField.isEmpty())
        table.sortForReading(o.sortField, o.descending);
    const auto report = MeasurementReport::prepare(table);
    ProgressBar bar(report->pageCount());
    bar.show(0);
    writeReportPdf(*report, o.output, [&](int done, int) {
        bar.show(done);
        return true;
    });
    bar.finish();
    return kExitDone;
}
