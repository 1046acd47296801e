#pragma once

struct CommandLineOptions;

// `fln chart TABLE -o OUT.png|.svg|.pdf [--t1] [--t2] [--width W] [--height H]`:
// the chart window's chart of every row of the table, drawn without a
// window into a picture (both curves when neither flag is given; the chart
// window's size when no size is given). Prints the picture's path. Returns
// the exit code.
int runChartCommand(const CommandLineOptions& options);
