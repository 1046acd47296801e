#include "peers.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace peers {

bool required()
{
    return qEnvironmentVariable("FLN_REQUIRE_PEERS") == QStringLiteral("1");
}

Result run(const QString& program, const QStringList& args, int timeoutMs)
{
    Result r;
    const QString path =
        program.startsWith(u'/') ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return r;
    QProcess p;
    p.start(path, args);
    if (!p.waitForStarted())
        return r;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
    }
    r.available = true;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

Result python(const QString& script, const QStringList& args, int timeoutMs)
{
    Result r = run(QStringLiteral("/usr/bin/python3"),
                   QStringList{QStringLiteral("-c"), script} + args, timeoutMs);
    if (r.available && (r.err.contains("ModuleNotFoundError") || r.err.contains("ImportError")))
        r.available = false;
    return r;
}

} // namespace peers
