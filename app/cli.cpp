#include "app/cli.h"

#include "app/cli_commands.h"
#include "app/command_line.h"
#include "app/error_report.h"
#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/table_period.h"
#include "platform/app_error.h"
#include "platform/console_output.h"
#include "platform/output_target.h"
#include "platform/regional_settings.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>

#include <exception>
#include <memory>

namespace {

// ".png, .svg or .pdf"
QString suffixList(QStringList suffixes)
{
    for (QString& suffix : suffixes)
        suffix.prepend(u'.');
    const QString last = suffixes.takeLast();
    return suffixes.isEmpty() ? last
                              : suffixes.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// What every command that writes a file refuses before it starts: its own
// table or the table's index, a device or a pipe, a name it cannot write.
void checkOutput(const CliCommand& command, const CommandLineOptions& options)
{
    const QString output = options.value(QStringLiteral("o"));
    if (output.isEmpty())
        return;
    // Every table the command reads, with its index.
    QStringList tableFiles;
    for (const QString& file :
         options.arguments.isEmpty() ? QStringList{QString()} : options.arguments) {
        DbfTable table;
        table.setTableFile(file);
        tableFiles << table.tableFile() << table.indexFile();
    }
    if (const QString refusal = refusedOutput(output, tableFiles); !refusal.isEmpty())
        throw AppError(refusal);
    if (command.outputKind.isEmpty())
        return;
    // export --csv writes a CSV file instead of its workbook.
    const bool csv = options.isSet(QStringLiteral("csv"));
    const QStringList suffixes = csv ? QStringList{QStringLiteral("csv")} : command.outputSuffixes;
    if (!suffixes.contains(QFileInfo(output).suffix().toLower()))
        throw AppError::format(
            QStringLiteral("'%s' is not a %s this command writes: name it %s"),
            {output, csv ? QStringLiteral("CSV file") : command.outputKind, suffixList(suffixes)});
}

} // namespace

void openTableForReading(DbfTable& table, const CommandLineOptions& options)
{
    table.setTableFile(options.arguments.value(0));
    table.open(DbfTable::Access::ReadOnly);
    if (const QString field = options.value(QStringLiteral("sort")); !field.isEmpty())
        table.sortForReading(MeasurementSchema::sortExpression(field),
                             options.isSet(QStringLiteral("descending")));
}

std::optional<Period> givenPeriod(const CommandLineOptions& options)
{
    Period period;
    // The parser refused a moment that does not read.
    if (const std::optional<RecordMoment> m = readMomentText(options.value(QStringLiteral("from"))))
        period.from = momentOf(*m);
    if (const std::optional<RecordMoment> m = readMomentText(options.value(QStringLiteral("to"))))
        period.to = momentOf(*m);
    if (!period.from && !period.to)
        return std::nullopt;
    return period;
}

std::optional<QList<quint32>> periodRows(const DbfTable& table, const CommandLineOptions& options,
                                         const RegionalSettings& rs)
{
    const std::optional<Period> period = givenPeriod(options);
    if (!period)
        return std::nullopt;
    QList<quint32> rows = periodRecords(table, *period, rs);
    if (rows.isEmpty())
        throw AppError(emptyPeriodText(*period, rs));
    return rows;
}

int runHelp(const CommandLineOptions&)
{
    try {
        writeOut(usageText());
        finishOut();
        return kExitDone;
    } catch (const AppError& e) {
        writeErr(errorReportText(e) + u'\n');
        return kExitFailed;
    }
}

int runCommand(int& argc, char** argv, const CommandLineOptions& options)
{
    const CliCommand& command = *options.cliCommand;
    // Commands that paint get fonts and a paint engine without any display.
    std::unique_ptr<QCoreApplication> app;
    if (command.app == CliCommand::App::Gui) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The windowless platform's remarks (no runtime folder, no size hints)
        // are not the user's business; the command says what went wrong.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                writeErr(text + u'\n');
        });
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    try {
        commandRegionalSettings(options); // refuse an unknown locale name before any work
        checkOutput(command, options);
        const int code = command.run(options);
        finishOut();
        return code;
    } catch (const std::exception& e) {
        // The same text as the windows' default error report. A failure
        // without a text (an abandoned open) still says what failed.
        QString text = errorReportText(e);
        if (text.isEmpty())
            text = QStringLiteral("Cannot open %1").arg(options.arguments.value(0));
        // A text of the table quoted in the message reaches the terminal harmless.
        writeErr(visibleText(text, true) + u'\n');
    } catch (...) {
        writeErr(
            QStringLiteral("fln %1: an unexpected error ended the command\n").arg(command.name));
    }
    return kExitFailed;
}
