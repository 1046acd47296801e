#pragma once

struct CommandLineOptions;

// Starts the windows: application title, the six windows, the splash, the
// message loop. Returns the program's exit code.
int runWindows(int& argc, char** argv, const CommandLineOptions& options);
