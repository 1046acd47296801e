#include "app/cli_commands.h"

#include "app/cli_chart.h"
#include "app/cli_download.h"
#include "app/cli_ports.h"
#include "app/cli_dump.h"
#include "app/cli_export.h"
#include "app/cli_info.h"
#include "app/cli_report.h"
#include "app/cli_sim.h"
#include "app/cli_summary.h"

const QList<CliCommand>& cliCommands()
{
    using C = CliCommand;
    static const QList<CliCommand> commands = {
        {.name = QStringLiteral("info"),
         .usage = QStringLiteral(
             "  info FILE [--json]              print the header facts, fields and footers of a table\n"),
         .options = C::kJson,
         .run = runInfoCommand},
        {.name = QStringLiteral("summary"),
         .usage = QStringLiteral(
             "  summary TABLE [--lower1 X] [--upper1 Y] [--lower2 X] [--upper2 Y] [--dh KJ_PER_MOL] [--json]\n"
             "                                  analyse the recording: interval, gaps,\n"
             "                                  extremes, MKT, time out of the limits\n"
             "                                  (else the stored ones), per day\n"),
         .options = C::kLimits | C::kJson,
         .run = runSummaryCommand},
        {.name = QStringLiteral("dump"),
         .usage = QStringLiteral(
             "  dump FILE [--sort FIELD [--descending] [--keep-index]]\n"
             "                                  print the live rows as CSV (UTF-8); reads\n"
             "                                  only, except --keep-index, which stores the\n"
             "                                  sort as tag \"tab1\" in the table's .mdx\n"),
         .options = C::kSort | C::kDescending | C::kKeepIndex,
         .run = runDumpCommand},
        {.name = QStringLiteral("download"),
         .usage = QStringLiteral(
             "  download [--append] FILE        download the instrument's archive into a table\n"),
         .options = C::kAppend,
         .run = runDownloadCommand},
        {.name = QStringLiteral("ports"),
         .usage = QStringLiteral(
             "  ports                           list the serial ports the instrument can be on\n"),
         .arguments = C::Arguments::None,
         .run = runPortsCommand},
        {.name = QStringLiteral("chart"),
         .usage =
             QStringLiteral(
                 "  chart TABLE -o OUT.png|.svg|.pdf [--t1] [--t2] [--width W] [--height H]\n"
                 "                                  draw T1 and T2 of every row as a picture;\n"
                 "                                  W and H: %1 to %2 pixels a side\n")
                 .arg(kMinPictureSide)
                 .arg(kMaxPictureSide),
         .options = C::kOutput | C::kChartLook,
         .needsOutput = true,
         .outputSuffixes = {QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("pdf")},
         .outputKind = QStringLiteral("picture"),
         .app = C::App::Gui,
         .run = runChartCommand},
        {.name = QStringLiteral("export"),
         .usage = QStringLiteral("  export TABLE [-o OUT.xlsx] [--sort FIELD [--descending]]\n"
                                 "                                  write the rows as an Excel "
                                 "workbook\n"),
         .options = C::kSort | C::kDescending | C::kOutput,
         .outputSuffixes = {QStringLiteral("xlsx")},
         .outputKind = QStringLiteral("workbook"),
         .run = runExportCommand},
        {.name = QStringLiteral("report"),
         .usage = QStringLiteral("  report TABLE -o OUT.pdf [--sort FIELD [--descending]]\n"
                                 "                                  write the printed report as "
                                 "PDF\n"),
         .options = C::kSort | C::kDescending | C::kOutput,
         .needsOutput = true,
         .app = C::App::Gui,
         .run = runReportCommand},
        {.name = QStringLiteral("sim"),
         .usage =
             QStringLiteral("  sim [options]                   run the simulated instrument\n"),
         .arguments = C::Arguments::Own,
         .run = runSimCommand},
    };
    return commands;
}

const CliCommand* findCliCommand(const QString& name)
{
    for (const CliCommand& command : cliCommands())
        if (command.name == name)
            return &command;
    return nullptr;
}
