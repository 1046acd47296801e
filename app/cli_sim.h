#pragma once

struct CommandLineOptions;

// `fln sim [options]`: the simulated instrument on a pseudo-terminal.
// options.simArguments holds everything after "sim". Returns the exit code.
int runSimCommand(const CommandLineOptions& options);
