#pragma once

#include <cstdio>

// Whether the stream goes to a terminal. A progress bar redraws itself with
// carriage returns only there; in a log file it would become one long line.
bool isTerminal(std::FILE* stream);
