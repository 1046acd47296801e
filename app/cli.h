#pragma once

#include <QList>
#include <QString>

struct CommandLineOptions;
struct RegionalSettings;

// One command of the command-line mode.
struct CliCommand
{
    // The application object the command runs in: Core needs no display;
    // Gui gets a QApplication on the offscreen platform, for commands that
    // lay out text and paint (fonts, pictures, PDF).
    enum class App { Core, Gui };

    QString name;
    QString usage; // its lines of the usage text
    App app = App::Core;
    int (*run)(const CommandLineOptions&) = nullptr; // returns the exit code
    bool takesFile = true;    // exactly one FILE argument
    bool needsOutput = false; // -o FILE is required
};

// The commands, in the order the usage text lists them.
const QList<CliCommand>& cliCommands();
const CliCommand* findCliCommand(const QString& name);
QString commandUsageLines();

// The regional settings of a command: those of --locale NAME, else the
// system's. An unknown name throws AppError.
RegionalSettings commandRegionalSettings(const CommandLineOptions& options);

// The command-line mode: runs options.command without any window. Prints
// results on stdout, errors (the same texts as the windows) on stderr, and
// returns 0 done, 1 failed, 2 usage.
int runCommand(int& argc, char** argv, const CommandLineOptions& options);

// Writes text to stdout, or to stderr (flushed at once), as UTF-8.
void writeOut(const QString& text);
void writeErr(const QString& text);
