#pragma once

// A folder of its own in the temporary folder, for a target that hands its
// input to a reader of files: removed with everything in it when the run
// ends (libFuzzer and the replay both end with exit, which destroys it).

#include <QDir>
#include <QString>
#include <QTemporaryDir>

class FuzzWorkDir
{
public:
    explicit FuzzWorkDir(const QString& name)
        : m_dir(QDir::temp().filePath(name + QStringLiteral("_XXXXXX")))
    {
    }
    QString filePath(const QString& file) const { return m_dir.filePath(file); }

private:
    QTemporaryDir m_dir;
};
