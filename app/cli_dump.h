#pragma once

struct CommandLineOptions;

// `fln dump FILE [--sort FIELD [--descending] [--keep-index]]`: prints the
// live rows as CSV (RFC 4180, UTF-8). Returns the exit code.
int runDumpCommand(const CommandLineOptions& options);
