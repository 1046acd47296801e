#include "app/cli.h"

#include "app/cli_chart.h"
#include "app/cli_download.h"
#include "app/cli_dump.h"
#include "app/cli_export.h"
#include "app/cli_info.h"
#include "app/cli_report.h"
#include "app/cli_sim.h"
#include "app/command_line.h"
#include "app/error_report.h"
#include "platform/regional_settings.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <memory>

const QList<CliCommand>& cliCommands()
{
    using App = CliCommand::App;
    static const QList<CliCommand> commands = {
        {QStringLiteral("info"),
         QStringLiteral("  info FILE                       print the header facts and fields of a table\n"),
         App::Core, runInfoCommand},
        {QStringLiteral("dump"),
         QStringLiteral("  dump FILE [--sort FIELD [--descending] [--keep-index]]\n"
                        "                                  print the live rows as CSV (UTF-8); reads\n"
                        "                                  only, except --keep-index, which stores the\n"
                        "                                  sort as tag \"tab1\" in the table's .mdx\n"),
         App::Core, runDumpCommand},
        {QStringLiteral("download"),
         QStringLiteral("  download [--append] FILE        download the instrument's archive into a table\n"),
         App::Core, runDownloadCommand},
        {QStringLiteral("chart"),
         QStringLiteral("  chart TABLE -o OUT.png|.svg|.pdf [--t1] [--t2] [--width W] [--height H]\n"
                        "                                  draw T1 and T2 of every row as a picture\n"),
         App::Gui, runChartCommand, true, true},
        {QStringLiteral("export"),
         QStringLiteral("  export TABLE [-o OUT.xlsx] [--sort FIELD [--descending]]\n"
                        "                                  write the rows as an Excel workbook\n"),
         App::Core, runExportCommand},
        {QStringLiteral("report"),
         QStringLiteral("  report TABLE -o OUT.pdf [--sort FIELD [--descending]]\n"
                        "                                  write the printed report as PDF\n"),
         App::Gui, runReportCommand, true, true},
        {QStringLiteral("sim"),
         QStringLiteral("  sim [options]                   run the simulated instrument\n"), App::Core,
         runSimCommand, false},
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

QString commandUsageLines()
{
    QString lines;
    for (const CliCommand& command : cliCommands())
        lines += command.usage;
    return lines;
}

RegionalSettings commandRegionalSettings(const CommandLineOptions& options)
{
    return options.locale.isEmpty() ? RegionalSettings::fromSystem()
                                    : RegionalSettings::fromName(options.locale);
}

void writeOut(const QString& text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
}

void writeErr(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

int runCommand(int& argc, char** argv, const CommandLineOptions& options)
{
    if (options.command == u"help") {
        QCoreApplication app(argc, argv);
        writeOut(usageText());
        return kExitDone;
    }
    const CliCommand* command = findCliCommand(options.command);
    if (!command) {
        std::fprintf(stderr, "fln: unknown command '%s'\n\n%s", qPrintable(options.command),
                     qPrintable(usageText()));
        return kExitUsage;
    }
    // Commands that paint get fonts and a paint engine without any display.
    std::unique_ptr<QCoreApplication> app;
    if (command->app == CliCommand::App::Gui) {
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
        return command->run(options);
    } catch (const std::exception& e) {
        // The same text as the windows' default error report. A failure
        // without a text (an abandoned open) still says what failed.
        QString text = errorReportText(e);
        if (text.isEmpty())
            text = QStringLiteral("Cannot open %1").arg(options.arguments.value(0));
        writeErr(text + u'\n');
    } catch (...) {
        writeErr(QStringLiteral("fln %1: an unexpected error ended the command\n").arg(command->name));
    }
    return kExitFailed;
}
