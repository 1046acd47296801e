// The recording summary's time order (data/time_order: a radix sort) against
// std::stable_sort of the same indices by moment, processor time, best of
// five, on the moments of 1,000,000 rows as the summary meets them: the
// benchmarks' shared table (one day, the seconds cycling through a minute), a
// recording as the instrument writes it (one reading a minute, a gap every
// 50,000 rows; in time order already, which the summary does not sort), the
// same recording in the order of its T_1 column (the grid sorted by a
// temperature), and nearly in time order (every thousandth pair swapped).
// Both must give the same order.
//
//   bench_time_order [--rows N]
#include "data/time_order.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <numeric>
#include <vector>

namespace {

std::vector<quint32> stableSortOrder(const std::vector<qint64>& at)
{
    std::vector<quint32> order(at.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&at](quint32 a, quint32 b) { return at[a] < at[b]; });
    return order;
}

double bestCpuMs(const std::function<void()>& f)
{
    double best = 1e300;
    for (int i = 0; i < 5; ++i) {
        const std::clock_t start = std::clock();
        f();
        best = std::min(best, double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    qint64 rows = 1000000;
    for (qsizetype i = 1; i + 1 < args.size(); ++i)
        if (args[i] == u"--rows")
            rows = args[i + 1].toLongLong();
    const size_t n = size_t(rows);
    const qint64 day = qint64(2460385) * 86400; // 15.03.2024

    std::vector<qint64> shared(n), recording(n);
    std::vector<double> t1(n);
    for (size_t i = 0; i < n; ++i) {
        shared[i] = day + 45000 + qint64(i % 60);
        recording[i] = day + 60 * qint64(i) + qint64(i / 50000) * 3600;
        t1[i] = std::round(40 * std::sin(double(i) / 700)) / 10 + 4;
    }
    std::vector<quint32> byT1(n);
    std::iota(byT1.begin(), byT1.end(), 0u);
    std::stable_sort(byT1.begin(), byT1.end(),
                     [&t1](quint32 a, quint32 b) { return t1[a] < t1[b]; });
    std::vector<qint64> sortedByT1(n);
    for (size_t i = 0; i < n; ++i)
        sortedByT1[i] = recording[byT1[i]];
    std::vector<qint64> nearly = recording;
    for (size_t i = 0; i + 1 < n; i += 1000)
        std::swap(nearly[i], nearly[i + 1]);

    const struct
    {
        const char* name;
        const std::vector<qint64>* moments;
    } cases[] = {{"shared table (a minute cycling)", &shared},
                 {"recording in time order", &recording},
                 {"recording sorted by T_1", &sortedByT1},
                 {"recording nearly in time order", &nearly}};
    std::printf("rows: %lld, processor time, best of 5\n", rows);
    std::printf("%-34s %12s %14s %8s\n", "moments", "radix (ms)", "stable_sort", "ratio");
    for (const auto& c : cases) {
        LargeVector<quint32> radix;
        std::vector<quint32> stable;
        const double r = bestCpuMs([&] { radix = timeOrder(*c.moments); });
        const double s = bestCpuMs([&] { stable = stableSortOrder(*c.moments); });
        std::printf("%-34s %12.1f %14.1f %8.2f%s\n", c.name, r, s, s / r,
                    std::equal(radix.begin(), radix.end(), stable.begin(), stable.end())
                        ? ""
                        : "   ORDERS DIFFER");
    }
    return 0;
}
