#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct CommandLineOptions;

// One command of the command-line mode: everything the parser, the usage
// text and the dispatcher know of it. A new command is one row of
// cliCommands() and its run function.
struct CliCommand
{
    // The application object the command runs in: Core needs no display;
    // Gui gets a QApplication on the offscreen platform, for commands that
    // lay out text and paint (fonts, pictures, PDF).
    enum class App
    {
        Core,
        Gui
    };
    // The command's own options, in groups that the parser reads and names
    // together (the parser's table of options says which switches each holds).
    enum Option : unsigned
    {
        kSort = 1u << 0,       // --sort FIELD
        kDescending = 1u << 1, // --descending (with --sort)
        kKeepIndex = 1u << 2,  // --keep-index (with --sort)
        kAppend = 1u << 3,     // --append
        kOutput = 1u << 4,     // -o FILE
        kChartLook = 1u << 5,  // --t1, --t2, --width W, --height H
        kLimits = 1u << 6,     // --lower1 X, --upper1 Y, --lower2 X, --upper2 Y, --dh KJ_PER_MOL
        kJson = 1u << 7,       // --json
    };
    // What follows the command's name.
    enum class Arguments
    {
        OneFile, // exactly one FILE
        None,    // nothing (ports)
        Own,     // everything after the name is the command's own (sim)
    };

    QString name = {};
    QString usage = {};   // its lines of the usage text
    unsigned options = 0; // the Option groups it accepts
    Arguments arguments = Arguments::OneFile;
    bool needsOutput = false;        // -o FILE is required
    QStringList outputSuffixes = {}; // -o must end in one of these ("png"); empty: any name
    QString outputKind = {};         // what -o holds, for the refusal of another suffix ("picture")
    App app = App::Core;
    int (*run)(const CommandLineOptions&) = nullptr; // returns the exit code
};

// A picture's side in pixels, for --width and --height of chart. The largest
// keeps the memory of the biggest picture within reach of an ordinary machine.
inline constexpr int kMinPictureSide = 16;
inline constexpr int kMaxPictureSide = 10000;

// The commands, in the order the usage text lists them.
const QList<CliCommand>& cliCommands();
// nullptr: no such command.
const CliCommand* findCliCommand(const QString& name);
