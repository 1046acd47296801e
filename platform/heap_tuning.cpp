#include "platform/heap_tuning.h"

#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    // Blocks below 32 MiB come from the heap and are reused; the heap gives
    // memory back once 64 MiB at its top are free.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}
