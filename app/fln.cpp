// The program's entry point: the windows, or a command without any window.
#include "app/cli.h"
#include "app/command_line.h"
#include "app/program_start.h"
#include "platform/console_output.h"
#include "platform/interrupt_signals.h"

#include <QStringDecoder>
#include <QStringList>

#include <clocale>

int main(int argc, char** argv)
{
    // The system's reasons (a full disk, ...) in the user's language from the
    // start, also on the ways that never make an application object (--help).
    std::setlocale(LC_ALL, "");
    ignoreFileSizeSignal();
    QStringList args;
    for (int i = 0; i < argc; ++i) {
        // A name that is not UTF-8 cannot be opened through Qt's file names:
        // said as such, not as a file that does not exist.
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString arg = utf8(QByteArrayView(argv[i]));
        if (utf8.hasError()) {
            writeErr(QStringLiteral("fln: имя «%1» не в кодировке UTF-8; переименуйте файл\n")
                         .arg(visibleText(arg)));
            return kExitFailed;
        }
        args << arg;
    }
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
