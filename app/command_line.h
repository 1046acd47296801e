#pragma once

#include <QCommandLineOption>
#include <QHash>
#include <QList>
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
    // The arguments after the command: its FILE; of a command with arguments
    // of its own (sim), everything after its name.
    QStringList arguments;
    // The command's own options as given, under each of their names: the
    // value, empty for a switch. Read them with isSet() and value().
    QHash<QString, QString> values;
    // no command: the table the windows open at start (`fln FILE`)
    QString openFile;

    bool isSet(const QString& name) const { return values.contains(name); }
    // Empty when not given.
    QString value(const QString& name) const { return values.value(name); }
    // Nothing when not given.
    std::optional<QString> valueIfSet(const QString& name) const
    {
        const auto it = values.constFind(name);
        return it == values.constEnd() ? std::nullopt : std::optional<QString>(*it);
    }

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
// The global options: they belong to no command and may come before it.
QList<QCommandLineOption> globalCommandLineOptions();

// The regional settings of a run: those of --locale NAME, else the
// system's. An unknown name throws AppError.
RegionalSettings commandRegionalSettings(const CommandLineOptions& options);
