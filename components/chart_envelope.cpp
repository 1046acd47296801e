#include "components/chart_envelope.h"

#include <algorithm>
#include <cmath>

QList<QPointF> chartEnvelope(const QList<QPointF>& points, double xMin, double xMax, int columns)
{
    const auto byX = [](const QPointF& p, double x) { return p.x() < x; };
    const auto xBelow = [](double x, const QPointF& p) { return x < p.x(); };
    auto first = std::lower_bound(points.cbegin(), points.cend(), xMin, byX);
    auto last = std::upper_bound(points.cbegin(), points.cend(), xMax, xBelow);
    // One point beyond each edge keeps the line running to the plot's border.
    if (first != points.cbegin())
        --first;
    if (last != points.cend())
        ++last;

    QList<QPointF> out;
    if (columns < 1 || !(xMax > xMin) || last - first <= 4 * qsizetype(columns)) {
        out = QList<QPointF>(first, last);
        return out;
    }
    out.reserve(4 * columns + 8);
    const double scale = columns / (xMax - xMin);
    const auto columnOf = [&](double x) {
        const double c = std::floor((x - xMin) * scale);
        return c < 0 ? qint64(-1) : c >= columns ? qint64(columns) : qint64(c);
    };

    auto it = first;
    while (it != last) {
        const qint64 column = columnOf(it->x());
        auto lo = it, hi = it, end = it;
        // Points are sorted: the column ends at the first point of a later one.
        while (end != last && columnOf(end->x()) == column) {
            if (end->y() < lo->y())
                lo = end;
            if (end->y() > hi->y())
                hi = end;
            ++end;
        }
        const auto tail = end - 1;
        // First, the extremes in their order, last; each point once.
        const QPointF* picks[4] = {&*it, lo < hi ? &*lo : &*hi, lo < hi ? &*hi : &*lo, &*tail};
        const QPointF* previous = nullptr;
        for (const QPointF* p : picks) {
            if (p != previous)
                out.append(*p);
            previous = p;
        }
        it = end;
    }
    return out;
}

QList<QPointF> isolatedPoints(const QList<QPointF>& points)
{
    // A line joins every point to the next one; only where all of them are
    // the same point has it no length.
    if (points.isEmpty())
        return {};
    const QPointF& first = points.front();
    for (const QPointF& p : points)
        if (p != first)
            return {};
    return {first};
}
