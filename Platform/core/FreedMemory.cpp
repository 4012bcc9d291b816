#include "Platform/core/FreedMemory.h"

#include <cstdlib>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void FreedMemory::keepForReuse()
{
#if defined(__GLIBC__)
    // The ceilings the allocator would reach by itself only after such blocks were freed once.
    constexpr int largestBlockFromTheHeap = 32 * 1024 * 1024;
    constexpr int freeTopKept = 2 * largestBlockFromTheHeap;
    mallopt(M_MMAP_THRESHOLD, largestBlockFromTheHeap);
    mallopt(M_TRIM_THRESHOLD, freeTopKept);
#endif
}

void FreedMemory::returnFreed()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
