#include "platform/number_text.h"

QString decimalText(double value, char format, int precision, QChar separator)
{
    QString text = QString::number(value, format, precision);
    text.replace(u'.', separator);
    return text;
}

QString durationText(qint64 seconds)
{
    if (seconds < 0)
        return QStringLiteral("—");
    const qint64 days = seconds / 86400;
    const qint64 rest = seconds % 86400;
    const QString hms = QStringLiteral("%1:%2:%3")
                            .arg(rest / 3600, 2, 10, QLatin1Char('0'))
                            .arg(rest / 60 % 60, 2, 10, QLatin1Char('0'))
                            .arg(rest % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? QStringLiteral("%1 сут %2").arg(days).arg(hms) : hms;
}
