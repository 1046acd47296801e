#include "data/time_order.h"

#include <algorithm>
#include <numeric>

LargeVector<quint32> timeOrder(std::span<const qint64> at)
{
    const size_t n = at.size();
    LargeVector<quint32> order(n), next(n);
    std::iota(order.begin(), order.end(), 0u);
    if (n == 0)
        return order;
    const auto [lowest, highest] = std::minmax_element(at.begin(), at.end());
    const qint64 low = *lowest;
    const quint64 span = quint64(*highest - low);
    constexpr int kBits = 11;
    constexpr size_t kBuckets = size_t(1) << kBits;
    for (int shift = 0; shift == 0 || (shift < 64 && (span >> shift) != 0); shift += kBits) {
        std::vector<size_t> count(kBuckets + 1, 0);
        for (size_t i = 0; i < n; ++i)
            ++count[((quint64(at[i] - low) >> shift) & (kBuckets - 1)) + 1];
        for (size_t b = 1; b <= kBuckets; ++b)
            count[b] += count[b - 1];
        for (size_t i = 0; i < n; ++i) {
            const quint32 row = order[i];
            next[count[(quint64(at[row] - low) >> shift) & (kBuckets - 1)]++] = row;
        }
        order.swap(next);
    }
    return order;
}
