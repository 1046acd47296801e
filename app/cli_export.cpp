// `fln export`: the export of the main window on the command line, with a
// progress bar on stderr. The table is only read: a sort is built in memory.
#include "app/cli_export.h"

#include "app/cli.h"
#include "app/command_line.h"
#include "data/dbf_table.h"
#include "output/workbook_export.h"
#include "platform/terminal.h"
#include "platform/xlsx_spreadsheet.h"

#include <cstdio>

namespace {

void err(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

// "Экспорт в Excel ... [####....]  42 %  12345 из 29400", redrawn in place
// on a terminal; a log gets the last state once.
class ProgressBar
{
public:
    void show(qint64 written, qint64 total)
    {
        m_written = written;
        m_total = total;
        const int percent = total > 0 ? int(written * 100 / total) : 100;
        if (m_interactive && percent != m_drawn) {
            m_drawn = percent;
            err(u'\r' + text());
        }
    }
    void finish()
    {
        if (m_interactive) {
            if (m_drawn >= 0)
                err(QStringLiteral("\n"));
        } else if (m_total >= 0) {
            err(text() + u'\n');
        }
    }

private:
    QString text() const
    {
        constexpr int kWidth = 40;
        const int percent = m_total > 0 ? int(m_written * 100 / m_total) : 100;
        const int filled = percent * kWidth / 100;
        return QStringLiteral("Экспорт в Excel ... [") + QString(filled, u'#') +
               QString(kWidth - filled, u'.') +
               QStringLiteral("] %1 %  %2 из %3").arg(percent, 3).arg(m_written).arg(m_total);
    }

    bool m_interactive = isTerminal(stderr);
    int m_drawn = -1;
    qint64 m_written = 0;
    qint64 m_total = -1;
};

} // namespace

int runExportCommand(const CommandLineOptions& options)
{
    const RegionalSettings rs = commandRegionalSettings(options);
    DbfTable table;
    table.setTableFile(options.arguments.value(0));
    table.open(DbfTable::Access::ReadOnly);
    if (!options.sortField.isEmpty())
        table.sortForReading(options.sortField, options.descending);

    QString saved;
    XlsxSpreadsheet::Target target;
    if (options.output.isEmpty())
        target.folder = XlsxSpreadsheet::documentsFolder();
    else
        target.file = options.output;
    target.saved = [&saved](const QString& path) { saved = path; };

    ProgressBar bar;
    exportWorkbook(
        table,
        [&target] { return std::unique_ptr<SpreadsheetApplication>(new XlsxSpreadsheet(target)); },
        rs,
        [&bar](qint64 written, qint64 total) {
            bar.show(written, total);
            return true;
        });
    bar.finish();
    const QByteArray line = (saved + u'\n').toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    return kExitDone;
}
