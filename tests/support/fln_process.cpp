#include "tests/support/fln_process.h"

#include <QSignalSpy>

QString flnExecutable()
{
#ifdef FLN_EXECUTABLE
    return QStringLiteral(FLN_EXECUTABLE);
#else
    return QStringLiteral(FLN_BINARY_DIR "/app/fln");
#endif
}

void FlnProcess::start(const QStringList& args, std::function<void()> childSetup)
{
    if (childSetup)
        m_process.setChildProcessModifier(std::move(childSetup));
    m_process.start(flnExecutable(), args);
}

FlnRun FlnProcess::finish(int timeoutMs)
{
    FlnRun r;
    if (m_process.state() != QProcess::NotRunning &&
        !QSignalSpy(&m_process, &QProcess::finished).wait(timeoutMs)) {
        m_process.kill();
        m_process.waitForFinished();
        return r;
    }
    if (m_process.exitStatus() == QProcess::NormalExit)
        r.code = m_process.exitCode();
    r.out = QString::fromUtf8(m_process.readAllStandardOutput());
    r.err = QString::fromUtf8(m_process.readAllStandardError());
    return r;
}

FlnRun runFln(const QStringList& args, int timeoutMs)
{
    FlnProcess p;
    p.start(args);
    return p.finish(timeoutMs);
}
