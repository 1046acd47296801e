#pragma once

// A folder of its own in the temporary folder, for a target that hands its
// input to a reader of files: removed with everything in it when the run
// ends (libFuzzer and the replay both end with exit, which destroys it).

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

class FuzzWorkDir
{
public:
    explicit FuzzWorkDir(const QString& name)
        : m_dir(QDir::temp().filePath(name + QStringLiteral("_XXXXXX")))
    {
    }
    QString filePath(const QString& file) const { return m_dir.filePath(file); }

    // The input as the file `file` of the folder; its path, or an empty text
    // where it cannot be written.
    QString write(const QString& file, const std::uint8_t* data, std::size_t size) const
    {
        const QString path = filePath(file);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            return {};
        return path;
    }

private:
    QTemporaryDir m_dir;
};
