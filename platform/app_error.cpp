#include "platform/app_error.h"

#include <QStringList>

AppError::AppError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}

AppError AppError::format(const QString& pattern, const QStringList& args)
{
    QString out;
    int next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size()) {
            const QChar c = pattern[i + 1];
            if (c == u's' || c == u'd') {
                out += next < args.size() ? args[next] : QString();
                ++next;
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return AppError(out);
}

const QString RangeError::kText = QStringLiteral("Range check error");

RangeError::RangeError() : AppError(kText) {}
