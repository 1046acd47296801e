// The program's entry point: the windows, or a command without any window.
#include "app/cli.h"
#include "app/command_line.h"
#include "app/program_start.h"
#include "platform/console_output.h"

#include <QStringList>

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLineOptions options = parseCommandLine(args);
    if (!options.usageError.isEmpty()) {
        writeErr(QStringLiteral("fln: %1\n\n").arg(options.usageError) + usageText());
        return kExitUsage;
    }
    if (options.help)
        return runHelp(options);
    if (!options.cliCommand)
        return runWindows(argc, argv, options);
    return runCommand(argc, argv, options);
}
