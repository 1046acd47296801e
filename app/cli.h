#pragma once

struct CommandLineOptions;

// `fln --help`: prints the usage text. Returns the exit code.
int runHelp(const CommandLineOptions& options);

// The command-line mode: runs options.cliCommand, which the parser found in
// the table of commands, without any window. Prints results on stdout, errors
// (the same texts as the windows) on stderr, and returns 0 done, 1 failed.
int runCommand(int& argc, char** argv, const CommandLineOptions& options);
