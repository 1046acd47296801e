#include "tests/support/fln_process.h"

#include <QProcess>

FlnRun runFln(const QString& executable, const QStringList& args)
{
    QProcess p;
    p.start(executable, args);
    if (!p.waitForFinished(60000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
