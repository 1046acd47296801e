#include "platform/heap_tuning.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <new>

void keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    // Blocks below 32 MiB come from the heap and are reused; the heap gives
    // memory back once 64 MiB at its top are free.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

namespace {

constexpr std::size_t kLargePage = 2 << 20;

bool isLarge(std::size_t bytes)
{
    return bytes >= kLargePage;
}

// A large block is taken in whole large pages: the last one is then the
// block's own too.
std::size_t largeSize(std::size_t bytes)
{
    return (bytes + kLargePage - 1) / kLargePage * kLargePage;
}

} // namespace

void* allocateLarge(std::size_t bytes)
{
    if (!isLarge(bytes))
        return ::operator new(bytes);
    void* block = ::operator new(largeSize(bytes), std::align_val_t(kLargePage));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(block, largeSize(bytes), MADV_HUGEPAGE); // only advice: its failure changes nothing
#endif
    return block;
}

void freeLarge(void* block, std::size_t bytes)
{
    if (!isLarge(bytes))
        ::operator delete(block, bytes);
    else
        ::operator delete(block, largeSize(bytes), std::align_val_t(kLargePage));
}
