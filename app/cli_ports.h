#pragma once

#include <QList>
#include <QString>

struct CommandLineOptions;
struct SerialPortEntry;

// The lines of `fln ports`: device path, a tab, the description, and
// " (выбран)" on the port stored as the user's choice.
QString portListText(const QList<SerialPortEntry>& ports, const QString& chosen);

// `fln ports`: the serial ports the instrument can be connected to. Exit 0
// also when there is none; a line on stderr then says so.
int runPortsCommand(const CommandLineOptions& options);
