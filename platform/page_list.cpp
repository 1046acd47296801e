#include "platform/page_list.h"

#include <algorithm>

QPageRanges readPageList(const QString& text, int pageCount)
{
    QPageRanges ranges;
    const QString list = QString(text).remove(u' ');
    if (list.isEmpty())
        return {};
    for (const QString& item : list.split(u',')) {
        const QStringList ends = item.split(u'-');
        if (ends.size() > 2)
            return {};
        bool ok1 = false, ok2 = true;
        const int from = ends[0].toInt(&ok1);
        const int to = ends.size() == 2 ? ends[1].toInt(&ok2) : from;
        if (!ok1 || !ok2 || from < 1 || to < from || to > pageCount)
            return {};
        ranges.addRange(from, to);
    }
    return ranges;
}

QList<int> pageIndexes(const QPageRanges& ranges, int pageCount)
{
    QList<int> pages;
    if (ranges.isEmpty()) {
        for (int p = 0; p < pageCount; ++p)
            pages << p;
        return pages;
    }
    for (const QPageRanges::Range& r : ranges.toRangeList())
        for (int p = std::max(r.from, 1); p <= std::min(r.to, pageCount); ++p)
            pages << p - 1;
    return pages;
}
