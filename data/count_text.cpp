#include "data/count_text.h"

const QString& russianPlural(qint64 n, const QString& one, const QString& few, const QString& many)
{
    const qint64 tens = (n < 0 ? -n : n) % 100;
    const qint64 units = tens % 10;
    if (tens >= 11 && tens <= 14)
        return many;
    if (units == 1)
        return one;
    if (units >= 2 && units <= 4)
        return few;
    return many;
}

QString groupedCount(qint64 n)
{
    QString digits = QString::number(n < 0 ? -n : n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QChar(0x00A0));
    return n < 0 ? u'-' + digits : digits;
}
