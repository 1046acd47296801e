#pragma once

struct CommandLineOptions;

// `fln report TABLE -o OUT.pdf [--sort FIELD [--descending]]`: the printed
// report of a table as a PDF file, page by page, with a progress bar on
// stderr. Reads the table only; the sort is built in memory.
int runReportCommand(const CommandLineOptions& options);
