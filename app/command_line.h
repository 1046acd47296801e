#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct CliCommand;
struct RegionalSettings;

// Everything the command line can say, gathered by one parser.
struct CommandLineOptions
{
    // global options
    QString port1; // --port1 DEVICE (else FLN_PORT1, else /dev/ttyS0)
    QString port2; // --port2 DEVICE (else FLN_PORT2, else /dev/ttyS1)
    bool demo = false;
    QString locale;     // --locale NAME: regional settings of that locale
    QString printToPdf; // --print-to-pdf DIR: print jobs become DIR/<job title>.pdf

    bool help = false; // -h, --help: print the usage text

    // subcommand and its arguments; empty: start the windows
    QString command;                        // info, dump, download, sim, ...
    const CliCommand* cliCommand = nullptr; // its row of the command table
    QStringList arguments;                  // positional arguments after the command
    // dump, export, report: the browsing order
    QString sortField;
    bool descending = false;
    bool keepIndex = false; // dump only
    // chart, export, report: the file written (-o FILE)
    QString output;
    // chart: the curves (neither given: both) and the picture's size (0: default)
    bool t1 = false;
    bool t2 = false;
    int width = 0;
    int height = 0;
    // download
    bool append = false;
    // summary: the limits and ΔH as typed (none: not given, take the stored
    // ones; empty: no limit); info, summary: --json
    std::optional<QString> lower1, upper1, lower2, upper2, dh;
    bool json = false;
    // sim: everything after "sim" is passed on
    QStringList simArguments;
    // no command: the table the windows open at start (`fln FILE`)
    QString openFile;

    QString usageError; // non-empty: print it with the usage and exit 2
};

// Exit codes of the command-line mode.
enum ExitCode
{
    kExitDone = 0,
    kExitFailed = 1,
    kExitUsage = 2
};

// Reads the command line as the table of commands (app/cli_commands.h) says
// each command takes it. A command that is not in the table, an option the
// command does not take, a missing FILE or -o: usageError says what.
CommandLineOptions parseCommandLine(const QStringList& arguments);
// The usage text of `fln --help`: the commands' lines and the global options.
QString usageText();

// The regional settings of a run: those of --locale NAME, else the
// system's. An unknown name throws AppError.
RegionalSettings commandRegionalSettings(const CommandLineOptions& options);
