#pragma once

struct CommandLineOptions;

// `fln download [--append] FILE`: downloads the instrument's archive into a
// new table, or appends the newer records to an existing one. Returns the
// exit code.
int runDownloadCommand(const CommandLineOptions& options);
