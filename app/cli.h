#pragma once

struct CommandLineOptions;

// The command-line mode: runs options.command without any window. Prints
// results on stdout, errors (the same texts as the windows) on stderr, and
// returns 0 done, 1 failed, 2 usage.
int runCommand(int& argc, char** argv, const CommandLineOptions& options);
