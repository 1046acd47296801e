#include "platform/output_target.h"

#include <QFile>

#include <sys/stat.h>

namespace {

bool statOf(const QString& path, struct stat& st)
{
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

QString refusedOutput(const QString& output, const QStringList& tableFiles)
{
    struct stat target = {};
    if (!statOf(output, target))
        return {}; // a new file, or one that the writer fails on in its own words
    for (const QString& file : tableFiles) {
        struct stat source = {};
        if (statOf(file, source) && source.st_dev == target.st_dev &&
            source.st_ino == target.st_ino)
            return QStringLiteral("Файл %1 — это сама таблица; укажите другое имя.").arg(output);
    }
    if (!S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode))
        return QStringLiteral("Файл %1 — не обычный файл; укажите другое имя.").arg(output);
    return {};
}
