#include "app/cli_commands.h"

#include "app/command_line.h"
#include "data/chart_recording.h"
#include "data/measurement_csv.h"
#include "data/record_moment.h"
#include "platform/regional_settings.h"

namespace {

QCommandLineOption valued(const QString& name, const QString& valueName)
{
    return QCommandLineOption(name, QString(), valueName);
}

QCommandLineOption flag(const QString& name)
{
    return QCommandLineOption(name);
}

QString pictureSideRefusal(const CommandLineOptions& o)
{
    for (const QString& name : {QStringLiteral("width"), QStringLiteral("height")}) {
        if (!o.isSet(name))
            continue;
        bool ok = false;
        const int side = o.value(name).toInt(&ok);
        if (!ok || side < kMinPictureSide || side > kMaxPictureSide)
            return QStringLiteral("--width and --height take a number of pixels, %1 to %2")
                .arg(kMinPictureSide)
                .arg(kMaxPictureSide);
    }
    return {};
}

// --separator and --decimal-point of export --csv: values it can write, and
// a separator that is not the decimal point too (the regional one when
// --decimal-point is not given).
QString csvFormatRefusal(const CommandLineOptions& o)
{
    QChar separator, point;
    if (o.isSet(QStringLiteral("separator")))
        if (QString e =
                MeasurementCsv::readSeparator(o.value(QStringLiteral("separator")), separator);
            !e.isEmpty())
            return e;
    if (o.isSet(QStringLiteral("decimal-point")))
        if (QString e =
                MeasurementCsv::readDecimalPoint(o.value(QStringLiteral("decimal-point")), point);
            !e.isEmpty())
            return e;
    if (separator.isNull())
        return {}; // the decimal point's own separator
    if (point.isNull()) {
        try {
            point = commandRegionalSettings(o).decimalSeparator;
        } catch (...) {
            return {}; // the unknown locale is refused in its own words
        }
    }
    if (separator == point)
        return QStringLiteral("--separator '%1' is the decimal point too: give --decimal-point %2")
            .arg(separator)
            .arg(point == u',' ? u'.' : u',');
    return {};
}

// A malformed moment, or a period that ends before it starts.
QString periodRefusal(const CommandLineOptions& o)
{
    std::optional<qint64> ends[2];
    const QString names[2] = {QStringLiteral("from"), QStringLiteral("to")};
    for (int i = 0; i < 2; ++i) {
        const QString given = o.value(names[i]);
        if (given.trimmed().isEmpty())
            continue; // given empty: that end is open
        const std::optional<RecordMoment> m = readMomentText(given);
        if (!m)
            return QStringLiteral("--%1 takes a moment such as 2024-03-15T08:00 or "
                                  "\"15.03.2024 08:00\" (seconds optional), not '%2'")
                .arg(names[i], given);
        ends[i] = momentOf(*m);
    }
    if (ends[0] && ends[1] && *ends[0] > *ends[1])
        return QStringLiteral("--from %1 is later than --to %2")
            .arg(o.value(names[0]).trimmed(), o.value(names[1]).trimmed());
    return {};
}

// The options more than one command takes.
const CliOption kSort{{valued(QStringLiteral("sort"), QStringLiteral("FIELD"))},
                      {},
                      {},
                      [](const CommandLineOptions& o) {
                          return o.value(QStringLiteral("sort")).isEmpty()
                                     ? QStringLiteral("--sort needs a field name")
                                     : QString();
                      }};
const CliOption kDescending{{flag(QStringLiteral("descending"))},
                            QStringLiteral("sort"),
                            QStringLiteral("--descending needs --sort FIELD")};
const CliOption kOutput{{QCommandLineOption({QStringLiteral("o"), QStringLiteral("output")},
                                            QString(), QStringLiteral("FILE"))},
                        {},
                        {},
                        [](const CommandLineOptions& o) {
                            return o.value(QStringLiteral("o")).isEmpty()
                                       ? QStringLiteral("-o needs a file name")
                                       : QString();
                        }};
const CliOption kJson{{flag(QStringLiteral("json"))}};
// The limits and ΔH (commandSummaryOptions). Given but empty: no limit. The
// numbers are read by the command, under the regional settings.
const CliOption kLimits{{valued(QStringLiteral("lower1"), QStringLiteral("X")),
                         valued(QStringLiteral("upper1"), QStringLiteral("Y")),
                         valued(QStringLiteral("lower2"), QStringLiteral("X")),
                         valued(QStringLiteral("upper2"), QStringLiteral("Y")),
                         valued(QStringLiteral("dh"), QStringLiteral("KJ_PER_MOL"))}};
// --from and --to: the period whose rows the command takes (periodRows).
const CliOption kPeriod{{valued(QStringLiteral("from"), QStringLiteral("MOMENT")),
                         valued(QStringLiteral("to"), QStringLiteral("MOMENT"))},
                        {},
                        {},
                        periodRefusal};
const CliOption kReadings{{flag(QStringLiteral("readings")), flag(QStringLiteral("no-readings"))},
                          {},
                          {},
                          [](const CommandLineOptions& o) {
                              return o.isSet(QStringLiteral("readings")) &&
                                             o.isSet(QStringLiteral("no-readings"))
                                         ? QStringLiteral("--readings and --no-readings "
                                                          "exclude each other")
                                         : QString();
                          }};

} // namespace

QString CliOption::named() const
{
    QStringList names;
    for (const QCommandLineOption& s : switches) {
        const QString& name = s.names().constFirst();
        names << (name.size() > 1 ? QStringLiteral("--") : QStringLiteral("-")) + name;
    }
    const QString last = names.takeLast();
    return names.isEmpty() ? last
                           : names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

bool CliOption::has(const QString& name) const
{
    for (const QCommandLineOption& s : switches)
        if (s.names().contains(name))
            return true;
    return false;
}

const CliOption* CliCommand::option(const QString& name) const
{
    for (const CliOption& o : options)
        if (o.has(name))
            return &o;
    return nullptr;
}

const QList<CliCommand>& cliCommands()
{
    using C = CliCommand;
    static const QList<CliCommand> commands = {
        {.name = QStringLiteral("info"),
         .usage = QStringLiteral("  info FILE [--json]              print the header facts, fields "
                                 "and footers of a table\n"),
         .options = {kJson},
         .run = runInfoCommand},
        {.name = QStringLiteral("summary"),
         .usage = QStringLiteral(
             "  summary TABLE [--from MOMENT] [--to MOMENT] [--lower1 X] [--upper1 Y] [--lower2 X] "
             "[--upper2 Y] [--dh KJ_PER_MOL] [--json]\n"
             "                                  analyse the recording: interval, gaps,\n"
             "                                  extremes, MKT, time out of the limits\n"
             "                                  (else those stored for the table), per day\n"),
         .options = {kLimits, kPeriod, kJson},
         .run = runSummaryCommand},
        {.name = QStringLiteral("dump"),
         .usage = QStringLiteral(
             "  dump FILE [--from MOMENT] [--to MOMENT] [--sort FIELD [--descending] "
             "[--keep-index]]\n"
             "                                  print the live rows as CSV (UTF-8); reads\n"
             "                                  only, except --keep-index, which stores the\n"
             "                                  sort as tag \"tab1\" in the table's .mdx\n"),
         .options = {kPeriod,
                     kSort,
                     kDescending,
                     {{flag(QStringLiteral("keep-index"))},
                      QStringLiteral("sort"),
                      QStringLiteral("--keep-index belongs to dump --sort FIELD")}},
         .run = runDumpCommand},
        {.name = QStringLiteral("download"),
         .usage = QStringLiteral(
             "  download [--append] FILE        download the instrument's archive into a table\n"),
         .options = {{{flag(QStringLiteral("append"))}}},
         .run = runDownloadCommand},
        {.name = QStringLiteral("ports"),
         .usage = QStringLiteral(
             "  ports                           list the serial ports the instrument can be on\n"),
         .arguments = C::Arguments::None,
         .run = runPortsCommand},
        {.name = QStringLiteral("chart"),
         .usage =
             QStringLiteral(
                 "  chart TABLE [TABLE2 ...] -o OUT.png|.svg|.pdf [--from MOMENT] [--to MOMENT] "
                 "[--t1] [--t2] [--width W] [--height H] [--align start]\n"
                 "                                  draw T1 and T2 of every row as a picture;\n"
                 "                                  W and H: %1 to %2 pixels a side; up to %3\n"
                 "                                  tables side by side, with --align start\n"
                 "                                  each from its first moment\n")
                 .arg(kMinPictureSide)
                 .arg(kMaxPictureSide)
                 .arg(kMostChartRecordings),
         .options = {kOutput,
                     kPeriod,
                     {{flag(QStringLiteral("t1")), flag(QStringLiteral("t2")),
                       valued(QStringLiteral("width"), QStringLiteral("W")),
                       valued(QStringLiteral("height"), QStringLiteral("H"))},
                      {},
                      {},
                      pictureSideRefusal},
                     {{valued(QStringLiteral("align"), QStringLiteral("HOW"))},
                      {},
                      {},
                      [](const CommandLineOptions& o) {
                          const QString how = o.value(QStringLiteral("align"));
                          return how == u"start" || how == u"clock"
                                     ? QString()
                                     : QStringLiteral("--align takes start or clock");
                      }}},
         .mostFiles = kMostChartRecordings,
         .needsOutput = true,
         .outputSuffixes = {QStringLiteral("png"), QStringLiteral("svg"), QStringLiteral("pdf")},
         .outputKind = QStringLiteral("picture"),
         .app = C::App::Gui,
         .run = runChartCommand},
        {.name = QStringLiteral("export"),
         .usage = QStringLiteral(
             "  export TABLE [-o OUT.xlsx] [--from MOMENT] [--to MOMENT] [--sort FIELD "
             "[--descending]]\n"
             "                                  write the rows as an Excel workbook\n"
             "  export TABLE --csv [-o OUT.csv] [--separator C] [--decimal-point P] [--from "
             "MOMENT] [--to MOMENT] [--sort FIELD [--descending]]\n"
             "                                  write the rows as CSV (UTF-8); the separator\n"
             "                                  is ';' where the decimal point is ',', else ','\n"),
         .options = {kOutput,
                     kPeriod,
                     kSort,
                     kDescending,
                     {{flag(QStringLiteral("csv"))}},
                     {{valued(QStringLiteral("separator"), QStringLiteral("C")),
                       valued(QStringLiteral("decimal-point"), QStringLiteral("P"))},
                      QStringLiteral("csv"),
                      QStringLiteral("--separator and --decimal-point belong to export --csv"),
                      csvFormatRefusal}},
         .outputSuffixes = {QStringLiteral("xlsx")}, // with --csv: .csv
         .outputKind = QStringLiteral("workbook"),
         .run = runExportCommand},
        {.name = QStringLiteral("report"),
         .usage = QStringLiteral("  report TABLE -o OUT.pdf [--from MOMENT] [--to MOMENT] "
                                 "[--sort FIELD [--descending]]\n"
                                 "                                  write the printed report as "
                                 "PDF\n"),
         .options = {kOutput, kPeriod, kSort, kDescending},
         .needsOutput = true,
         .outputSuffixes = {QStringLiteral("pdf")},
         .app = C::App::Gui,
         .run = runReportCommand},
        {.name = QStringLiteral("protocol"),
         .usage = QStringLiteral(
             "  protocol TABLE -o OUT.pdf [--from MOMENT] [--to MOMENT] [--lower1 X] [--upper1 Y] "
             "[--lower2 X] [--upper2 Y] [--dh KJ_PER_MOL] [--readings|--no-readings]\n"
             "                                  write the protocol of the recording (or\n"
             "                                  the period) as PDF:\n"
             "                                  heading, verdict, figures, chart, days and\n"
             "                                  readings (up to 20 000 rows unless\n"
             "                                  --readings), with summary.json and\n"
             "                                  readings.csv attached\n"),
         .options = {kOutput, kPeriod, kLimits, kReadings},
         .needsOutput = true,
         .outputSuffixes = {QStringLiteral("pdf")},
         .outputKind = QStringLiteral("PDF document"),
         .app = C::App::Gui,
         .run = runProtocolCommand},
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
