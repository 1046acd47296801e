#pragma once

#include "platform/heap_tuning.h"

#include <QtGlobal>

#include <span>

// The indices of `moments` in ascending order of the moments, equal moments
// in the order they are given: a least-significant-digit radix sort of the
// moments' offsets from the earliest, 11 bits a pass (three passes cover 270
// years in seconds). It costs the same for shuffled and for nearly sorted
// moments: on a million shuffled moments about a quarter of
// std::stable_sort's time, on moments already in order or sorted by a
// temperature column about the same (bench_time_order).
LargeVector<quint32> timeOrder(std::span<const qint64> moments);
