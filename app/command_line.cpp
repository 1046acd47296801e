#include "app/command_line.h"

#include "app/cli_commands.h"
#include "platform/regional_settings.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

namespace {

QCommandLineOption valued(const QString& name, const QString& valueName)
{
    return QCommandLineOption(name, QString(), valueName);
}

// The global options: they belong to no command and may come before it.
const QCommandLineOption kPort1 = valued(QStringLiteral("port1"), QStringLiteral("DEVICE"));
const QCommandLineOption kPort2 = valued(QStringLiteral("port2"), QStringLiteral("DEVICE"));
const QCommandLineOption kDemo(QStringLiteral("demo"));
const QCommandLineOption kLocale = valued(QStringLiteral("locale"), QStringLiteral("NAME"));
const QCommandLineOption kPrintToPdf =
    valued(QStringLiteral("print-to-pdf"), QStringLiteral("DIR"));
const QCommandLineOption kHelp(QStringList{QStringLiteral("h"), QStringLiteral("help")});

// A group of a command's own options (CliCommand::Option): the switches it
// holds, how a refusal names them, what it needs beside it, and how its
// values go into the options.
struct OptionGroup
{
    unsigned flag;
    QList<QCommandLineOption> switches;
    QString named; // "--sort"; several: "--t1, --t2, --width and --height"
    unsigned needs = 0;
    QString needsText; // the refusal when `needs` is missing
    // Takes the values; returns a usage error, or nothing.
    QString (*take)(const QCommandLineParser& p, CommandLineOptions& o) = nullptr;
};

QString takeSize(const QCommandLineParser& p, const QString& name, int& value)
{
    if (!p.isSet(name))
        return {};
    bool ok = false;
    value = p.value(name).toInt(&ok);
    if (ok && value >= kMinPictureSide && value <= kMaxPictureSide)
        return {};
    return QStringLiteral("--width and --height take a number of pixels, %1 to %2")
        .arg(kMinPictureSide)
        .arg(kMaxPictureSide);
}

const QList<OptionGroup>& optionGroups()
{
    using C = CliCommand;
    static const QList<OptionGroup> groups = {
        {C::kSort,
         {valued(QStringLiteral("sort"), QStringLiteral("FIELD"))},
         QStringLiteral("--sort"),
         0,
         {},
         [](const QCommandLineParser& p, CommandLineOptions& o) {
             o.sortField = p.value(QStringLiteral("sort"));
             return o.sortField.isEmpty() ? QStringLiteral("--sort needs a field name") : QString();
         }},
        {C::kDescending,
         {QCommandLineOption(QStringLiteral("descending"))},
         QStringLiteral("--descending"),
         C::kSort,
         QStringLiteral("--descending needs --sort FIELD"),
         [](const QCommandLineParser&, CommandLineOptions& o) {
             o.descending = true;
             return QString();
         }},
        {C::kKeepIndex,
         {QCommandLineOption(QStringLiteral("keep-index"))},
         QStringLiteral("--keep-index"),
         C::kSort,
         QStringLiteral("--keep-index belongs to dump --sort FIELD"),
         [](const QCommandLineParser&, CommandLineOptions& o) {
             o.keepIndex = true;
             return QString();
         }},
        {C::kAppend,
         {QCommandLineOption(QStringLiteral("append"))},
         QStringLiteral("--append"),
         0,
         {},
         [](const QCommandLineParser&, CommandLineOptions& o) {
             o.append = true;
             return QString();
         }},
        {C::kOutput,
         {QCommandLineOption(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(),
                             QStringLiteral("FILE"))},
         QStringLiteral("-o"),
         0,
         {},
         [](const QCommandLineParser& p, CommandLineOptions& o) {
             o.output = p.value(QStringLiteral("o"));
             return o.output.isEmpty() ? QStringLiteral("-o needs a file name") : QString();
         }},
        {C::kChartLook,
         {QCommandLineOption(QStringLiteral("t1")), QCommandLineOption(QStringLiteral("t2")),
          valued(QStringLiteral("width"), QStringLiteral("W")),
          valued(QStringLiteral("height"), QStringLiteral("H"))},
         QStringLiteral("--t1, --t2, --width and --height"),
         0,
         {},
         [](const QCommandLineParser& p, CommandLineOptions& o) {
             o.t1 = p.isSet(QStringLiteral("t1"));
             o.t2 = p.isSet(QStringLiteral("t2"));
             QString error = takeSize(p, QStringLiteral("width"), o.width);
             if (error.isEmpty())
                 error = takeSize(p, QStringLiteral("height"), o.height);
             return error;
         }},
        {C::kLimits,
         {valued(QStringLiteral("lower1"), QStringLiteral("X")),
          valued(QStringLiteral("upper1"), QStringLiteral("Y")),
          valued(QStringLiteral("lower2"), QStringLiteral("X")),
          valued(QStringLiteral("upper2"), QStringLiteral("Y")),
          valued(QStringLiteral("dh"), QStringLiteral("KJ_PER_MOL"))},
         QStringLiteral("--lower1, --upper1, --lower2, --upper2 and --dh"),
         0,
         {},
         [](const QCommandLineParser& p, CommandLineOptions& o) {
             // Given but empty: no limit. The numbers are read by the command,
             // under the regional settings.
             const auto given = [&p](const char* name) {
                 const QString n = QString::fromLatin1(name);
                 return p.isSet(n) ? std::optional<QString>(p.value(n)) : std::nullopt;
             };
             o.lower1 = given("lower1");
             o.upper1 = given("upper1");
             o.lower2 = given("lower2");
             o.upper2 = given("upper2");
             o.dh = given("dh");
             return QString();
         }},
        {C::kJson,
         {QCommandLineOption(QStringLiteral("json"))},
         QStringLiteral("--json"),
         0,
         {},
         [](const QCommandLineParser&, CommandLineOptions& o) {
             o.json = true;
             return QString();
         }},
    };
    return groups;
}

bool isSet(const QCommandLineParser& p, const OptionGroup& group)
{
    for (const QCommandLineOption& option : group.switches)
        if (p.isSet(option))
            return true;
    return false;
}

// "dump, export and report": the commands that take the group.
QString commandsTaking(unsigned flag)
{
    QStringList names;
    for (const CliCommand& command : cliCommands())
        if (command.options & flag)
            names << command.name;
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// Index of the first argument that is not an option or an option's value:
// the command's name.
qsizetype firstPositional(const QStringList& args)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--")
            return i + 1 < args.size() ? i + 1 : -1;
        if (a.startsWith(QLatin1String("--")) && !a.contains(u'=')) {
            bool takesValue = false;
            for (const QCommandLineOption& global : {kPort1, kPort2, kLocale, kPrintToPdf})
                takesValue = takesValue || global.names().contains(a.mid(2));
            if (takesValue) {
                ++i;
                continue;
            }
        }
        if (!a.startsWith(u'-'))
            return i;
    }
    return -1;
}

} // namespace

QString usageText()
{
    QString commands;
    for (const CliCommand& command : cliCommands())
        commands += command.usage;
    return QStringLiteral(
               "Usage: fln [global options] [command [options] [arguments]]\n"
               "Without a command the program starts its windows; `fln FILE` opens the table "
               "FILE.\n"
               "\n"
               "Commands:\n"
               "%1"
               "\n"
               "Global options:\n"
               "  --port1 DEVICE                  device of the first serial port\n"
               "  --port2 DEVICE                  device of the second serial port\n"
               "  --demo                          start with the simulated instrument\n"
               "  --locale NAME                   regional settings of this locale (e.g. ru_RU)\n"
               "  --print-to-pdf DIR              print jobs are saved as DIR/<job title>.pdf\n"
               "  -h, --help                      show this text\n")
        .arg(commands);
}

CommandLineOptions parseCommandLine(const QStringList& arguments)
{
    CommandLineOptions o;
    QStringList args = arguments.isEmpty() ? QStringList{QStringLiteral("fln")} : arguments;

    // Everything after the name of a command with arguments of its own
    // belongs to that command and its own parser.
    const qsizetype cmdAt = firstPositional(args);
    if (cmdAt > 0) {
        const CliCommand* command = findCliCommand(args[cmdAt]);
        if (command && command->arguments == CliCommand::Arguments::Own) {
            o.simArguments = args.mid(cmdAt + 1);
            args = args.mid(0, cmdAt + 1);
        }
    }

    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOptions({kPort1, kPort2, kDemo, kLocale, kPrintToPdf, kHelp});
    for (const OptionGroup& group : optionGroups())
        p.addOptions(group.switches);
    if (!p.parse(args)) {
        o.usageError = p.errorText();
        return o;
    }
    // An option that takes a value took the next option instead
    // (`--lower1 --json`): the user left the value out.
    for (const QString& name : p.optionNames())
        for (const QString& value : p.values(name))
            if (value.startsWith(QLatin1String("--")) && value.size() > 2) {
                o.usageError =
                    QStringLiteral("%1%2 needs a value, not the option '%3'")
                        .arg(name.size() > 1 ? QStringLiteral("--") : QStringLiteral("-"), name,
                             value);
                return o;
            }
    o.port1 = p.value(kPort1);
    o.port2 = p.value(kPort2);
    o.demo = p.isSet(kDemo);
    o.locale = p.value(kLocale);
    o.printToPdf = p.value(kPrintToPdf);
    if (p.isSet(kHelp)) {
        o.help = true;
        return o;
    }
    const QStringList pos = p.positionalArguments();
    if (!pos.isEmpty()) {
        o.command = pos.first();
        o.arguments = pos.mid(1);
        o.cliCommand = findCliCommand(o.command);
    }

    const auto refuse = [&o](const QString& text) {
        o.usageError = text;
        o.cliCommand = nullptr;
        return o;
    };
    // `fln FILE`: the windows, opening that table, as a file manager asks.
    if (!o.cliCommand && !o.command.isEmpty() && o.arguments.isEmpty() &&
        (QFileInfo::exists(o.command) || o.command.endsWith(u".db", Qt::CaseInsensitive))) {
        o.openFile = QFileInfo(o.command).absoluteFilePath();
        o.command.clear();
    }
    const unsigned taken = o.cliCommand ? o.cliCommand->options : 0;
    unsigned given = 0;
    for (const OptionGroup& group : optionGroups())
        if (isSet(p, group))
            given |= group.flag;
    for (const OptionGroup& group : optionGroups()) {
        if (!(given & group.flag))
            continue;
        if (!(taken & group.flag))
            return refuse(QStringLiteral("%1 %2 to %3")
                              .arg(group.named,
                                   group.named.contains(u',') ? QStringLiteral("belong")
                                                              : QStringLiteral("belongs"),
                                   commandsTaking(group.flag)));
        if ((group.needs & given) != group.needs)
            return refuse(group.needsText);
        if (const QString error = group.take(p, o); !error.isEmpty())
            return refuse(error);
    }
    if (o.command.isEmpty())
        return o;
    if (!o.cliCommand)
        return refuse(QStringLiteral("unknown command '%1'").arg(o.command));
    if (o.cliCommand->arguments == CliCommand::Arguments::OneFile && o.arguments.size() != 1)
        return refuse(QStringLiteral("%1 needs exactly one FILE").arg(o.command));
    if (o.cliCommand->arguments == CliCommand::Arguments::None && !o.arguments.isEmpty())
        return refuse(QStringLiteral("%1 takes no arguments").arg(o.command));
    if (o.cliCommand->needsOutput && o.output.isEmpty())
        return refuse(QStringLiteral("%1 needs -o FILE").arg(o.command));
    return o;
}

RegionalSettings commandRegionalSettings(const CommandLineOptions& options)
{
    return options.locale.isEmpty() ? RegionalSettings::fromSystem()
                                    : RegionalSettings::fromName(options.locale);
}
