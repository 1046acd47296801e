// The program's entry point: the windows, or a command without any window.
#include "app/cli.h"
#include "app/command_line.h"
#include "app/program_start.h"

#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLineOptions options = parseCommandLine(args);
    if (!options.usageError.isEmpty()) {
        std::fprintf(stderr, "fln: %s\n\n%s", qPrintable(options.usageError),
                     qPrintable(usageText()));
        return kExitUsage;
    }
    if (options.command.isEmpty())
        return runWindows(argc, argv, options);
    return runCommand(argc, argv, options);
}
