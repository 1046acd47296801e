#pragma once

struct CommandLineOptions;

// `fln info FILE`: prints the header facts, the fields and the footers of a
// table. Returns the exit code.
int runInfoCommand(const CommandLineOptions& options);
