#pragma once

// A program run by a benchmark as a child process of its own and timed: wall
// time, processor time and peak resident memory, the last two from wait4, so
// that only this child counts. Its output goes to /dev/null.
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

struct ChildRun
{
    int code = -1; // the exit status; -1: it did not start or did not exit
    double seconds = 0;
    double cpuSeconds = 0; // user and system: steadier than wall time on a busy machine
    long peakKiB = 0;
    bool ok() const { return code == 0; }
};

// `program` is looked up on PATH unless it is a path.
inline ChildRun runChild(const QString& program, const QStringList& args)
{
    std::vector<QByteArray> storage{QFile::encodeName(program)};
    for (const QString& a : args)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ChildRun run;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakKiB = usage.ru_maxrss;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}
