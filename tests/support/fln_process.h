#pragma once

#include <QString>
#include <QStringList>

// One run of the built `fln` program, as a user runs it from a shell.
struct FlnRun
{
    int code = -1; // -1 when the program crashed or did not finish
    QString out;
    QString err;
};

// Runs `executable` with `args` and waits up to a minute for it to finish.
FlnRun runFln(const QString& executable, const QStringList& args);
