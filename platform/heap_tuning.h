#pragma once

#include <cstddef>
#include <vector>

// Long page-by-page output (a report of thousands of PDF pages) allocates and
// frees the same large buffers for every page. By default the C library hands
// such memory back to the system at once and maps large blocks afresh, so
// every page paid for new, zero-filled memory from the system: a third of the
// processor time of `fln report`. This keeps freed memory for reuse, up to a
// bound; the peak memory stays the same. Call it once, before such work.
void keepFreedMemoryForReuse();

// Memory for large arrays that are filled once and then read (the moments
// and readings of a million rows): a block of 2 MiB or more is aligned
// to the system's large pages and asks for them (transparent huge pages on
// Linux, where the system offers them on request), so that filling it costs
// a few dozen page faults instead of one every 4 KiB, which on a virtual
// machine cost as much as the work itself. Smaller blocks, and systems
// without such pages, take ordinary memory.
void* allocateLarge(std::size_t bytes);
void freeLarge(void* block, std::size_t bytes);

template <typename T>
struct LargePageAllocator
{
    using value_type = T;
    LargePageAllocator() = default;
    template <typename U>
    LargePageAllocator(const LargePageAllocator<U>&)
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(allocateLarge(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) { freeLarge(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const LargePageAllocator<U>&) const
    {
        return true;
    }
};

template <typename T>
using LargeVector = std::vector<T, LargePageAllocator<T>>;
