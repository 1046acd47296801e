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
    return groupedInteger(n, RegionalSettings::russian());
}

QString countText(qint64 n, const RegionalSettings& rs, const QString& one, const QString& few,
                  const QString& many)
{
    return groupedInteger(n, rs) + u' ' + russianPlural(n, one, few, many);
}
