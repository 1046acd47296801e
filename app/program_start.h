#pragma once

class QTranslator;
struct CommandLineOptions;

// Loads Qt's own texts (standard buttons, file and colour dialogs) in
// Russian; false when they are not installed.
bool loadQtTexts(QTranslator& translator);

// Starts the windows: application title, the six windows, the splash, the
// message loop. Returns the program's exit code.
int runWindows(int& argc, char** argv, const CommandLineOptions& options);
