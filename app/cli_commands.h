#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class DbfTable;
struct CommandLineOptions;
struct Period;
struct RegionalSettings;
struct SummaryOptions;
struct SerialPortEntry;

// An option of a command, or options the command reads together (--t1,
// --t2, --width and --height of chart): the switches the parser reads, what
// must be given with them, and what their values must be.
struct CliOption
{
    QList<QCommandLineOption> switches;
    QString needs = {};     // an option that must come with these ("sort")
    QString needsText = {}; // the refusal when it does not
    // The refusal of a value the command cannot take; nothing: any value.
    QString (*check)(const CommandLineOptions& given) = nullptr;

    // How a refusal names them: "--sort", "-o", "--t1, --t2, --width and --height".
    QString named() const;
    bool has(const QString& name) const;
};

// One command of the command-line mode: everything the parser, the usage
// text, the bash completion and the dispatcher know of it. A new command is
// one row of cliCommands() and its run function.
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
    // What follows the command's name.
    enum class Arguments
    {
        OneFile, // exactly one FILE
        None,    // nothing (ports)
        Own,     // everything after the name is the command's own (sim)
    };

    QString name = {};
    QString usage = {};            // its lines of the usage text
    QList<CliOption> options = {}; // the options it takes
    Arguments arguments = Arguments::OneFile;
    int mostFiles = 1;               // OneFile: up to so many FILEs (chart draws several tables)
    bool needsOutput = false;        // -o FILE is required
    QStringList outputSuffixes = {}; // the names -o is offered ("png"), for the completion
    QString outputKind = {}; // what -o holds ("picture"); given, -o takes only outputSuffixes
    App app = App::Core;
    int (*run)(const CommandLineOptions&) = nullptr; // returns the exit code

    // The option that has the switch `name` ("sort", "o"); nullptr: none.
    const CliOption* option(const QString& name) const;
};

// A picture's side in pixels, for --width and --height of chart. The largest
// keeps the memory of the biggest picture within reach of an ordinary machine.
inline constexpr int kMinPictureSide = 16;
inline constexpr int kMaxPictureSide = 10000;

// The commands, in the order the usage text lists them.
const QList<CliCommand>& cliCommands();
// nullptr: no such command.
const CliCommand* findCliCommand(const QString& name);

// The commands' run functions: each does its command with the options the
// parser took by its row, and returns the exit code. An error throws; the
// dispatcher prints it.

// `fln info FILE [--json]`: the header facts, the fields and the footers of a table.
int runInfoCommand(const CommandLineOptions& options);
// `fln summary TABLE [limits] [--json]`: the analysis of the recording, as
// aligned text or one JSON object. The table is only read.
int runSummaryCommand(const CommandLineOptions& options);
// `fln dump FILE [--sort FIELD [--descending] [--keep-index]]`: the live rows
// as CSV (RFC 4180, UTF-8).
int runDumpCommand(const CommandLineOptions& options);
// `fln download [--append] FILE`: the instrument's archive into a new table,
// or its newer records appended to an existing one.
int runDownloadCommand(const CommandLineOptions& options);
// `fln ports`: the serial ports the instrument can be connected to. Exit 0
// also when there is none; a line on stderr then says so.
int runPortsCommand(const CommandLineOptions& options);
// `fln chart TABLE [TABLE2 …] -o OUT.png|.svg|.pdf [--t1] [--t2] [--width W]
// [--height H] [--align start]`: the chart window's chart of every row,
// drawn without a window into a picture (both curves when neither flag is
// given; the chart window's size when no size is given); the other tables'
// curves beside the first one's, as "Добавить запись…" draws them. Prints
// the picture's path.
int runChartCommand(const CommandLineOptions& options);
// `fln export TABLE [-o OUT.xlsx] [--sort FIELD [--descending]]`: the workbook
// of "Экспорт в Excel" without a window. Without -o the copy goes where the
// windows put it, the user's documents folder. Prints the workbook's path.
int runExportCommand(const CommandLineOptions& options);
// `fln report TABLE -o OUT.pdf [--sort FIELD [--descending]]`: the printed
// report as a PDF file, page by page, with a progress bar on stderr.
int runReportCommand(const CommandLineOptions& options);
// `fln protocol TABLE -o OUT.pdf [--from --to] [limits] [--readings|--no-readings]`:
// the protocol of the recording or the period as a PDF file that carries summary.json and
// readings.csv, with a progress bar on stderr. Prints the file's path.
int runProtocolCommand(const CommandLineOptions& options);
// `fln sim [options]`: the simulated instrument on a pseudo-terminal;
// options.arguments holds everything after "sim".
int runSimCommand(const CommandLineOptions& options);

// Opens FILE, the table of a command that only reads it, as every such
// command does: shared and read-only, in the order of --sort FIELD
// [--descending] (built in memory) when the command takes them.
void openTableForReading(DbfTable& table, const CommandLineOptions& options);

// The period of --from and --to as the parser took them (a value given
// empty leaves its end open); nothing when neither end is given.
std::optional<Period> givenPeriod(const CommandLineOptions& options);
// The rows (record numbers) of the table openTableForReading opened whose
// moment lies in the period of --from and --to, in its browsing order;
// nothing when no period is given: the command takes every row. A period
// without rows throws the refusal, before the command writes anything.
std::optional<QList<quint32>> periodRows(const DbfTable& table, const CommandLineOptions& options,
                                         const RegionalSettings& rs);

// The limits and ΔH of a command over the table FILE: --lower1, --upper1,
// --lower2, --upper2 and --dh where given (an empty value: no limit), the
// rest as stored for the table (else those used last, as the windows start
// a new table with). A value that is no number, a ΔH out of its range or a
// lower limit above the upper one throws its refusal.
SummaryOptions commandSummaryOptions(const CommandLineOptions& options, const RegionalSettings& rs);

// The lines of `fln ports`: device path, a tab, the description, and
// " (выбран)" on the port stored as the user's choice.
QString portListText(const QList<SerialPortEntry>& ports, const QString& chosen);
