// Writes the bash completion of fln from the program's own tables: the
// commands, their options and the global options, as `fln --help` names them.
//
//   make_bash_completion OUT
#include "app/cli_commands.h"
#include "app/command_line.h"
#include "data/measurement_schema.h"

#include <QFile>

#include <cstdio>

namespace {

QStringList spelled(const QCommandLineOption& option)
{
    QStringList names;
    for (const QString& name : option.names())
        names << (name.size() > 1 ? QStringLiteral("--") : QStringLiteral("-")) + name;
    return names;
}

QStringList spelled(const QList<QCommandLineOption>& options)
{
    QStringList names;
    for (const QCommandLineOption& option : options)
        names << spelled(option);
    return names;
}

// Every option of every command, once.
QList<QCommandLineOption> commandSwitches()
{
    QList<QCommandLineOption> all;
    QStringList seen;
    for (const CliCommand& command : cliCommands())
        for (const CliOption& option : command.options)
            for (const QCommandLineOption& s : option.switches)
                if (!seen.contains(s.names().constFirst())) {
                    seen << s.names().constFirst();
                    all << s;
                }
    return all;
}

// "-o | --output": the names of the options whose value is `valueName`
// ("" for every option that takes a value), as a case pattern.
QString pattern(const QList<QCommandLineOption>& options, const QString& valueName)
{
    QStringList names;
    for (const QCommandLineOption& option : options)
        if (!option.valueName().isEmpty() &&
            (valueName.isEmpty() || option.valueName() == valueName))
            names << spelled(option);
    return names.join(QStringLiteral(" | "));
}

// '@(png|PNG|svg|SVG)'
QString filePattern(const QStringList& suffixes)
{
    QStringList both;
    for (const QString& suffix : suffixes)
        both << suffix.toLower() << suffix.toUpper();
    return QStringLiteral("'@(%1)'").arg(both.join(u'|'));
}

QString script()
{
    const QList<QCommandLineOption> global = globalCommandLineOptions();
    const QList<QCommandLineOption> all = global + commandSwitches();
    QStringList commands;
    for (const CliCommand& command : cliCommands())
        commands << command.name;
    QStringList fields;
    for (const MeasurementSchema::Field& field : MeasurementSchema::kFields)
        fields << QString::fromLatin1(field.name);

    QString outputs;
    for (const CliCommand& command : cliCommands())
        if (command.option(QStringLiteral("o")) && !command.outputSuffixes.isEmpty())
            outputs += QStringLiteral("                %1) _filedir %2 ;;\n")
                           .arg(command.name, filePattern(command.outputSuffixes));
    // Values the completion cannot offer: numbers, limits.
    QStringList others;
    for (const QCommandLineOption& option : all)
        if (!option.valueName().isEmpty() &&
            !QStringList{QStringLiteral("DEVICE"), QStringLiteral("NAME"), QStringLiteral("DIR"),
                         QStringLiteral("FIELD"), QStringLiteral("FILE")}
                 .contains(option.valueName()))
            others << spelled(option);

    QString options;
    for (const CliCommand& command : cliCommands()) {
        switch (command.arguments) {
        case CliCommand::Arguments::Own:
            options += QStringLiteral("        %1)\n            _filedir\n            return\n"
                                      "            ;;\n")
                           .arg(command.name);
            break;
        case CliCommand::Arguments::None:
            options += QStringLiteral("        %1) return ;;\n").arg(command.name);
            break;
        case CliCommand::Arguments::OneFile: {
            QList<QCommandLineOption> own;
            for (const CliOption& option : command.options)
                own += option.switches;
            options += QStringLiteral("        %1) options=\"%2\" ;;\n")
                           .arg(command.name, spelled(own).join(u' '));
            break;
        }
        }
    }

    return QStringLiteral(
               R"(# bash completion for fln, the program of the ФЛН-РК2 instrument
# (installed where bash-completion loads it on demand). Written at build time
# from the program's table of commands by make_bash_completion.

_fln_tables()
{
    _filedir '@(db|DB|dbf|DBF)'
}

_fln()
{
    local cur prev words cword
    _init_completion || return

    local commands="%1"
    local global="%2"

    # The command is the first word that is neither an option nor an
    # option's value.
    local i command=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            %3)
                ((i++))
                ;;
            -*) ;;
            *)
                command=${words[i]}
                break
                ;;
        esac
    done

    case $prev in
        %4)
            local ports
            ports=$(fln ports 2>/dev/null | cut -f1)
            COMPREPLY=($(compgen -W "$ports" -- "$cur"))
            [[ $cur == /* ]] && _filedir
            return
            ;;
        %5)
            COMPREPLY=($(compgen -W "ru_RU en_US C" -- "$cur"))
            return
            ;;
        %6)
            _filedir -d
            return
            ;;
        %7)
            COMPREPLY=($(compgen -W "%8" -- "$cur"))
            return
            ;;
        %9)
            case $command in
%10                *) _filedir ;;
            esac
            return
            ;;
        %11)
            return
            ;;
    esac

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$global" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
            _fln_tables
        fi
        return
    fi

    local options=""
    case $command in
%12    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        _fln_tables
    fi
} &&
    complete -F _fln fln
)")
        .arg(commands.join(u' '), spelled(global).join(u' '), pattern(all, {}),
             pattern(global, QStringLiteral("DEVICE")), pattern(global, QStringLiteral("NAME")),
             pattern(global, QStringLiteral("DIR")), pattern(all, QStringLiteral("FIELD")),
             fields.join(u' '), pattern(all, QStringLiteral("FILE")))
        .arg(outputs, others.join(QStringLiteral(" | ")), options);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bash_completion OUT\n");
        return 2;
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(script().toUtf8()) < 0 ||
        !out.flush()) {
        std::fprintf(stderr, "make_bash_completion: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
