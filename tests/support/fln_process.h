#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// The built `fln` program (FLN_EXECUTABLE, set for every command-line test).
QString flnExecutable();

// One run of the built `fln` program, as a user runs it from a shell.
struct FlnRun
{
    int code = -1; // -1 when the program crashed or did not finish in time
    QString out;
    QString err;
};

// A run of `fln` while this test's event loop keeps going, so that whatever
// the test serves from it (a simulated instrument on a pseudo-terminal) keeps
// answering. Start it, act on it meanwhile (signals), then finish it.
class FlnProcess
{
public:
    // `childSetup` runs in the child before the program starts (limits,
    // signal dispositions).
    void start(const QStringList& args, std::function<void()> childSetup = {});
    // Waits for the end with the event loop running; kills the program when
    // it takes longer than `timeoutMs`.
    FlnRun finish(int timeoutMs = 60000);
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

// Starts `fln` with `args` and finishes it.
FlnRun runFln(const QStringList& args, int timeoutMs = 60000);
