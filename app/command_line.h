#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Everything the command line can say, gathered by one parser.
struct CommandLineOptions
{
    // global options
    QString port1;  // --port1 DEVICE (else FLN_PORT1, else /dev/ttyS0)
    QString port2;  // --port2 DEVICE (else FLN_PORT2, else /dev/ttyS1)
    bool demo = false;
    QString locale; // --locale NAME: regional settings of that locale
    QString printToPdf; // --print-to-pdf DIR: print jobs become DIR/<job title>.pdf

    // subcommand and its arguments; empty: start the windows
    QString command;     // info, dump, download, sim, ...
    QStringList arguments; // positional arguments after the command
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
enum ExitCode { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

CommandLineOptions parseCommandLine(const QStringList& arguments);
QString usageText();
