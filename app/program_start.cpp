#include "app/program_start.h"

#include "app/command_line.h"

#include <cstdio>

// Replaced by the application shell (main window, splash, message loop).
int runWindows(int& argc, char** argv, const CommandLineOptions& options)
{
    std::fprintf(stderr, "fln: the windows are not built yet; see `fln --help`\n");
    return kExitFailed;
}
