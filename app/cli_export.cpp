// `fln export`: the export of the main window on the command line, with a
// progress bar on stderr. The table is only read: a sort is built in memory.
#include "app/cli_commands.h"

#include "app/cli_progress.h"
#include "app/command_line.h"
#include "data/dbf_table.h"
#include "output/workbook_export.h"
#include "platform/console_output.h"
#include "platform/regional_settings.h"
#include "platform/xlsx_spreadsheet.h"

#include <QFileInfo>

int runExportCommand(const CommandLineOptions& options)
{
    const RegionalSettings rs = commandRegionalSettings(options);
    DbfTable table;
    openTableForReading(table, options);
    // Checked before the workbook is begun: an empty period writes nothing.
    const std::optional<QList<quint32>> rows = periodRows(table, options, rs);

    QString saved;
    XlsxSpreadsheet::Target target;
    if (const QString output = options.value(QStringLiteral("o")); output.isEmpty()) {
        // Named after the table, as the window's export names it.
        target.folder = XlsxSpreadsheet::documentsFolder();
        target.name = QFileInfo(options.arguments.value(0)).completeBaseName();
    } else {
        target.file = output;
    }
    target.saved = [&saved](const QString& path) { saved = path; };

    CliProgressBar bar(QStringLiteral("Экспорт в Excel ..."));
    exportWorkbook(
        table,
        [&target] { return std::unique_ptr<SpreadsheetApplication>(new XlsxSpreadsheet(target)); },
        rs,
        [&bar](qint64 written, qint64 total) {
            bar.show(total > 0 ? int(written * 100 / total) : 100,
                     QStringLiteral("%1 из %2").arg(written).arg(total));
            return true;
        },
        rows);
    bar.finish();
    writeOut(saved + u'\n');
    return kExitDone;
}
