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

// Every option any command takes, once, in the order the commands' rows
// first name them.
QList<const CliOption*> commandOptions()
{
    QList<const CliOption*> all;
    for (const CliCommand& command : cliCommands())
        for (const CliOption& option : command.options) {
            bool known = false;
            for (const CliOption* other : std::as_const(all))
                known = known || other->has(option.switches.constFirst().names().constFirst());
            if (!known)
                all << &option;
        }
    return all;
}

bool isSet(const QCommandLineParser& p, const CliOption& group)
{
    for (const QCommandLineOption& option : group.switches)
        if (p.isSet(option))
            return true;
    return false;
}

// "dump, export and report": the commands that take the option `name`.
QString commandsTaking(const QString& name)
{
    QStringList names;
    for (const CliCommand& command : cliCommands())
        if (command.option(name))
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

QList<QCommandLineOption> globalCommandLineOptions()
{
    return {kPort1, kPort2, kDemo, kLocale, kPrintToPdf, kHelp};
}

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
               "--from and --to take the rows from one moment to another, both included, in\n"
               "the order the table is shown in; either end may be left out. A MOMENT is\n"
               "2024-03-15T08:00 or \"15.03.2024 08:00\", seconds optional. A period without\n"
               "rows is an error: nothing is written.\n"
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
    QStringList ownArguments;

    // Everything after the name of a command with arguments of its own
    // belongs to that command and its own parser.
    const qsizetype cmdAt = firstPositional(args);
    if (cmdAt > 0) {
        const CliCommand* command = findCliCommand(args[cmdAt]);
        if (command && command->arguments == CliCommand::Arguments::Own) {
            ownArguments = args.mid(cmdAt + 1);
            args = args.mid(0, cmdAt + 1);
        }
    }

    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOptions(globalCommandLineOptions());
    const QList<const CliOption*> options = commandOptions();
    for (const CliOption* option : options)
        p.addOptions(option->switches);
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
        o.arguments = pos.mid(1) + ownArguments;
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
    for (const CliOption* option : options) {
        if (!isSet(p, *option))
            continue;
        const QString key = option->switches.constFirst().names().constFirst();
        if (!o.cliCommand || !o.cliCommand->option(key)) {
            const QString named = option->named();
            return refuse(QStringLiteral("%1 %2 to %3")
                              .arg(named,
                                   option->switches.size() > 1 ? QStringLiteral("belong")
                                                               : QStringLiteral("belongs"),
                                   commandsTaking(key)));
        }
        if (!option->needs.isEmpty() && !p.isSet(option->needs))
            return refuse(option->needsText);
        for (const QCommandLineOption& s : option->switches)
            if (p.isSet(s))
                for (const QString& name : s.names())
                    o.values.insert(name, s.valueName().isEmpty() ? QString() : p.value(s));
        if (option->check)
            if (const QString error = option->check(o); !error.isEmpty())
                return refuse(error);
    }
    if (o.command.isEmpty())
        return o;
    if (!o.cliCommand)
        return refuse(QStringLiteral("unknown command '%1'").arg(o.command));
    if (o.cliCommand->arguments == CliCommand::Arguments::OneFile &&
        (o.arguments.isEmpty() || o.arguments.size() > o.cliCommand->mostFiles))
        return refuse(o.cliCommand->mostFiles == 1
                          ? QStringLiteral("%1 needs exactly one FILE").arg(o.command)
                          : QStringLiteral("%1 takes one to %2 tables")
                                .arg(o.command)
                                .arg(o.cliCommand->mostFiles));
    if (o.cliCommand->arguments == CliCommand::Arguments::None && !o.arguments.isEmpty())
        return refuse(QStringLiteral("%1 takes no arguments").arg(o.command));
    if (o.cliCommand->needsOutput && !o.isSet(QStringLiteral("o")))
        return refuse(QStringLiteral("%1 needs -o FILE").arg(o.command));
    return o;
}

RegionalSettings commandRegionalSettings(const CommandLineOptions& options)
{
    return options.locale.isEmpty() ? RegionalSettings::fromSystem()
                                    : RegionalSettings::fromName(options.locale);
}
