#pragma once

struct CommandLineOptions;

// `fln export TABLE [-o OUT.xlsx] [--sort FIELD [--descending]]`: the workbook
// of "Экспорт в Excel" without a window. Without -o the copy goes where the
// windows put it, the user's documents folder. Prints the workbook's path.
// Returns the exit code.
int runExportCommand(const CommandLineOptions& options);
