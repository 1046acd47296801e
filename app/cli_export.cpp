// `fln export`: the export of the main window on the command line, with a
// progress bar on stderr. The table is only read: a sort is built in memory.
#include "app/cli_commands.h"

#include "app/cli_progress.h"
#include "app/command_line.h"
#include "data/dbf_table.h"
#include "data/measurement_csv.h"
#include "output/workbook_export.h"
#include "platform/console_output.h"
#include "platform/regional_settings.h"
#include "platform/xlsx_spreadsheet.h"

#include <QDir>
#include <QFileInfo>

#include "platform/unseen_file.h"

namespace {

// A new name in `folder` after the table: "t.csv", else "t (2).csv", ...
QString newFileIn(const QString& folder, const QString& name, const QString& suffix)
{
    const QDir dir(folder);
    for (int k = 1;; ++k) {
        const QString path = dir.absoluteFilePath(
            k == 1 ? name + suffix : QStringLiteral("%1 (%2)%3").arg(name).arg(k).arg(suffix));
        if (!QFileInfo::exists(path))
            return path;
    }
}

// `fln export TABLE --csv`: the rows (of the period) in the browsing order as CSV.
int exportCsv(const CommandLineOptions& options, DbfTable& table, const RegionalSettings& rs,
              const std::optional<QList<quint32>>& period)
{
    MeasurementCsv::Format format = MeasurementCsv::Format::forDecimalPoint(
        options.isSet(QStringLiteral("decimal-point"))
            ? options.value(QStringLiteral("decimal-point")).front()
            : rs.decimalSeparator);
    if (options.isSet(QStringLiteral("separator")))
        MeasurementCsv::readSeparator(options.value(QStringLiteral("separator")),
                                      format.separator); // the parser took only good ones
    QString output = options.value(QStringLiteral("o"));
    if (output.isEmpty())
        output = newFileIn(XlsxSpreadsheet::documentsFolder(),
                           QFileInfo(options.arguments.value(0)).completeBaseName(),
                           QStringLiteral(".csv"));

    const QList<quint32> records = period ? *period : MeasurementCsv::browsingOrder(table);
    CliProgressBar bar(QStringLiteral("Экспорт в CSV ..."));
    OutputFile out(output);
    MeasurementCsv::write(out, table, records, rs, format, [&bar](qint64 written, qint64 total) {
        bar.show(total > 0 ? int(written * 100 / total) : 100,
                 QStringLiteral("%1 из %2").arg(written).arg(total));
        return true;
    });
    out.commit();
    bar.finish();
    writeOut(QFileInfo(output).absoluteFilePath() + u'\n');
    return kExitDone;
}

} // namespace

int runExportCommand(const CommandLineOptions& options)
{
    const RegionalSettings rs = commandRegionalSettings(options);
    // -o names what is written: a workbook, or with --csv a CSV file (the
    // dispatcher refused any other name).
    const bool csv = options.isSet(QStringLiteral("csv"));
    DbfTable table;
    openTableForReading(table, options);
    // Checked before the file is begun: an empty period writes nothing.
    const std::optional<QList<quint32>> rows = periodRows(table, options, rs);
    if (csv)
        return exportCsv(options, table, rs, rows);

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
