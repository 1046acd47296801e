#pragma once

struct CommandLineOptions;

// `fln summary TABLE`: the analysis of the recording, as aligned text or
// (--json) one JSON object. The table is only read. Returns the exit code.
int runSummaryCommand(const CommandLineOptions& options);
