#include "app/command_line.h"

#include "app/cli.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// The global options that take a value: the command is the first word after them.
const QStringList kValued = {QStringLiteral("--port1"), QStringLiteral("--port2"),
                             QStringLiteral("--locale"), QStringLiteral("--print-to-pdf")};

// Index of the first argument that is not an option or an option's value.
qsizetype firstPositional(const QStringList& args)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--")
            return i + 1 < args.size() ? i + 1 : -1;
        if (kValued.contains(a)) {
            ++i;
            continue;
        }
        if (!a.startsWith(u'-'))
            return i;
    }
    return -1;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "Usage: fln [global options] [command [options] [arguments]]\n"
        "Without a command the program starts its windows; `fln FILE` opens the table FILE.\n"
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
        .arg(commandUsageLines());
}

CommandLineOptions parseCommandLine(const QStringList& arguments)
{
    CommandLineOptions o;
    QStringList args = arguments.isEmpty() ? QStringList{QStringLiteral("fln")} : arguments;

    // Everything after "sim" belongs to the simulator and its own parser.
    const qsizetype cmdAt = firstPositional(args);
    if (cmdAt > 0 && args[cmdAt] == u"sim") {
        o.simArguments = args.mid(cmdAt + 1);
        args = args.mid(0, cmdAt + 1);
    }

    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption port1(QStringLiteral("port1"), QString(), QStringLiteral("DEVICE"));
    const QCommandLineOption port2(QStringLiteral("port2"), QString(), QStringLiteral("DEVICE"));
    const QCommandLineOption demo(QStringLiteral("demo"));
    const QCommandLineOption locale(QStringLiteral("locale"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption sort(QStringLiteral("sort"), QString(), QStringLiteral("FIELD"));
    const QCommandLineOption descending(QStringLiteral("descending"));
    const QCommandLineOption keepIndex(QStringLiteral("keep-index"));
    const QCommandLineOption append(QStringLiteral("append"));
    const QCommandLineOption printToPdf(QStringLiteral("print-to-pdf"), QString(),
                                        QStringLiteral("DIR"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QString(), QStringLiteral("FILE"));
    const QCommandLineOption t1(QStringLiteral("t1"));
    const QCommandLineOption t2(QStringLiteral("t2"));
    const QCommandLineOption width(QStringLiteral("width"), QString(), QStringLiteral("W"));
    const QCommandLineOption height(QStringLiteral("height"), QString(), QStringLiteral("H"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption lower1(QStringLiteral("lower1"), QString(), QStringLiteral("X"));
    const QCommandLineOption upper1(QStringLiteral("upper1"), QString(), QStringLiteral("Y"));
    const QCommandLineOption lower2(QStringLiteral("lower2"), QString(), QStringLiteral("X"));
    const QCommandLineOption upper2(QStringLiteral("upper2"), QString(), QStringLiteral("Y"));
    const QCommandLineOption dh(QStringLiteral("dh"), QString(), QStringLiteral("KJ_PER_MOL"));
    const QCommandLineOption json(QStringLiteral("json"));
    p.addOptions({port1, port2, demo, locale, sort, descending, keepIndex, append, printToPdf,
                  output, t1, t2, width, height, help, lower1, upper1, lower2, upper2, dh, json});
    if (!p.parse(args)) {
        o.usageError = p.errorText();
        return o;
    }
    o.port1 = p.value(port1);
    o.port2 = p.value(port2);
    o.demo = p.isSet(demo);
    o.locale = p.value(locale);
    o.printToPdf = p.value(printToPdf);
    if (p.isSet(help)) {
        o.command = QStringLiteral("help");
        return o;
    }
    const QStringList pos = p.positionalArguments();
    if (!pos.isEmpty()) {
        o.command = pos.first();
        o.arguments = pos.mid(1);
    }
    o.sortField = p.value(sort);
    o.descending = p.isSet(descending);
    o.keepIndex = p.isSet(keepIndex);
    o.append = p.isSet(append);
    o.output = p.value(output);
    o.t1 = p.isSet(t1);
    o.t2 = p.isSet(t2);
    const auto given = [&p](const QCommandLineOption& option) {
        return p.isSet(option) ? std::optional<QString>(p.value(option)) : std::nullopt;
    };
    o.lower1 = given(lower1);
    o.upper1 = given(upper1);
    o.lower2 = given(lower2);
    o.upper2 = given(upper2);
    o.dh = given(dh);
    o.json = p.isSet(json);

    const auto refuse = [&o](const QString& text) {
        o.usageError = text;
        return o;
    };
    const auto size = [&p](const QCommandLineOption& option, int& value) {
        if (!p.isSet(option))
            return true;
        bool ok = false;
        value = p.value(option).toInt(&ok);
        return ok && value >= 16 && value <= 20000;
    };
    if (!size(width, o.width) || !size(height, o.height))
        return refuse(QStringLiteral("--width and --height take a number of pixels, 16 to 20000"));
    const auto is = [&o](std::initializer_list<const char16_t*> names) {
        for (const char16_t* name : names)
            if (o.command == QStringView(name))
                return true;
        return false;
    };
    if (p.isSet(sort) && !is({u"dump", u"export", u"report"}))
        return refuse(QStringLiteral("--sort belongs to dump, export and report"));
    if (o.descending && o.sortField.isEmpty())
        return refuse(QStringLiteral("--descending needs --sort FIELD"));
    if (o.keepIndex && (o.command != u"dump" || o.sortField.isEmpty()))
        return refuse(QStringLiteral("--keep-index belongs to dump --sort FIELD"));
    if (p.isSet(sort) && o.sortField.isEmpty())
        return refuse(QStringLiteral("--sort needs a field name"));
    if (o.append && o.command != u"download")
        return refuse(QStringLiteral("--append belongs to download"));
    if (p.isSet(output) && !is({u"chart", u"export", u"report"}))
        return refuse(QStringLiteral("-o belongs to chart, export and report"));
    if (p.isSet(output) && o.output.isEmpty())
        return refuse(QStringLiteral("-o needs a file name"));
    if ((o.t1 || o.t2 || p.isSet(width) || p.isSet(height)) && o.command != u"chart")
        return refuse(QStringLiteral("--t1, --t2, --width and --height belong to chart"));
    if ((p.isSet(lower1) || p.isSet(upper1) || p.isSet(lower2) || p.isSet(upper2) ||
         p.isSet(dh)) &&
        o.command != u"summary")
        return refuse(QStringLiteral("--lower1, --upper1, --lower2, --upper2 and --dh belong to summary"));
    if (o.json && !is({u"info", u"summary"}))
        return refuse(QStringLiteral("--json belongs to info and summary"));
    if (o.command.isEmpty() || o.command == u"sim")
        return o;
    if (const CliCommand* command = findCliCommand(o.command)) {
        if (command->takesFile && o.arguments.size() != 1)
            return refuse(QStringLiteral("%1 needs exactly one FILE").arg(o.command));
        if (command->needsOutput && o.output.isEmpty())
            return refuse(QStringLiteral("%1 needs -o FILE").arg(o.command));
        return o;
    }
    // `fln FILE`: the windows, opening that table, as a file manager asks.
    if (o.arguments.isEmpty() &&
        (QFileInfo::exists(o.command) || o.command.endsWith(u".db", Qt::CaseInsensitive))) {
        o.openFile = QFileInfo(o.command).absoluteFilePath();
        o.command.clear();
        return o;
    }
    return refuse(QStringLiteral("unknown command '%1'").arg(o.command));
}
