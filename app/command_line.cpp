#include "app/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>

namespace {

const QStringList kValued = {QStringLiteral("--port1"), QStringLiteral("--port2"),
                             QStringLiteral("--locale")};

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
        "  info FILE                       print the header facts and fields of a table\n"
        "  dump FILE [--sort FIELD [--descending] [--keep-index]]\n"
        "                                  print the live rows as CSV (UTF-8)\n"
        "  download [--append] FILE        download the instrument's archive into a table\n"
        "  sim [options]                   run the simulated instrument\n"
        "\n"
        "Global options:\n"
        "  --port1 DEVICE                  device of the first serial port\n"
        "  --port2 DEVICE                  device of the second serial port\n"
        "  --demo                          start with the simulated instrument\n"
        "  --locale NAME                   regional settings of this locale (e.g. ru_RU)\n"
        "  -h, --help                      show this text\n");
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
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    p.addOptions({port1, port2, demo, locale, sort, descending, keepIndex, append, help});
    if (!p.parse(args)) {
        o.usageError = p.errorText();
        return o;
    }
    o.port1 = p.value(port1);
    o.port2 = p.value(port2);
    o.demo = p.isSet(demo);
    o.locale = p.value(locale);
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

    const auto refuse = [&o](const QString& text) {
        o.usageError = text;
        return o;
    };
    const bool isDump = o.command == u"dump";
    if ((p.isSet(sort) || o.descending || o.keepIndex) && !isDump)
        return refuse(QStringLiteral("--sort, --descending and --keep-index belong to dump"));
    if ((o.descending || o.keepIndex) && o.sortField.isEmpty())
        return refuse(QStringLiteral("--descending and --keep-index need --sort FIELD"));
    if (p.isSet(sort) && o.sortField.isEmpty())
        return refuse(QStringLiteral("--sort needs a field name"));
    if (o.append && o.command != u"download")
        return refuse(QStringLiteral("--append belongs to download"));
    if (o.command.isEmpty() || o.command == u"sim")
        return o;
    if (o.command == u"info" || isDump || o.command == u"download") {
        if (o.arguments.size() != 1)
            return refuse(QStringLiteral("%1 needs exactly one FILE").arg(o.command));
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
