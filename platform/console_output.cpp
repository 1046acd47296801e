#include "platform/console_output.h"

#include "platform/app_error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

[[noreturn]] void outputLost(int error)
{
    throw AppError(QStringLiteral("Не удалось записать стандартный вывод: %1")
                       .arg(QString::fromLocal8Bit(std::strerror(error ? error : EIO))));
}

} // namespace

void writeOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()))
        outputLost(errno);
}

void flushOut()
{
    errno = 0;
    if (std::fflush(stdout) != 0)
        outputLost(errno);
}

void finishOut()
{
    flushOut();
    // A write that failed earlier, whose error the stream kept.
    if (std::ferror(stdout))
        outputLost(EIO);
}

void writeErr(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QString visibleText(const QString& text, bool lineBreaks)
{
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if ((u < 0x20 || (u >= 0x7F && u < 0xA0)) && !(lineBreaks && u == u'\n'))
            c = QChar::ReplacementCharacter;
    }
    return out;
}
