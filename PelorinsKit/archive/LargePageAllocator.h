#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <sys/mman.h>

// An allocator for the few big arrays of a read archive: blocks of several megabytes are mapped
// on their own and asked to be backed by 2 MB pages, since touching fresh memory page by page
// costs far more than filling it (157 MB in 4 KB pages: about a second on some machines; in 2 MB
// pages: a hundredth of that). Smaller blocks come from the usual heap. Where the system offers
// no large pages, the mapping simply stays in small ones.
template <typename T> class LargePageAllocator
{
public:
    using value_type = T;

    LargePageAllocator() = default;
    template <typename U> LargePageAllocator(const LargePageAllocator<U>&) noexcept { }

    T* allocate(std::size_t count)
    {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < mappedFrom)
            return std::allocator<T>().allocate(count);
        const std::size_t size = rounded(bytes);
        // Mapped with a large page's worth to spare, then trimmed to a large-page boundary.
        void* mapped = mmap(nullptr, size + largePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        auto* base = static_cast<char*>(mapped);
        char* aligned = reinterpret_cast<char*>(
            (reinterpret_cast<std::uintptr_t>(base) + largePage - 1) & ~std::uintptr_t(largePage - 1));
        if (aligned > base)
            munmap(base, std::size_t(aligned - base));
        if (const std::size_t after = std::size_t(base + size + largePage - (aligned + size)))
            munmap(aligned + size, after);
        madvise(aligned, size, MADV_HUGEPAGE);
        return reinterpret_cast<T*>(aligned);
    }

    void deallocate(T* block, std::size_t count) noexcept
    {
        const std::size_t bytes = count * sizeof(T);
        if (bytes < mappedFrom)
            std::allocator<T>().deallocate(block, count);
        else
            munmap(block, rounded(bytes));
    }

    template <typename U> bool operator==(const LargePageAllocator<U>&) const noexcept { return true; }

private:
    static constexpr std::size_t largePage = std::size_t(2) << 20;
    static constexpr std::size_t mappedFrom = std::size_t(4) << 20;

    static std::size_t rounded(std::size_t bytes) { return (bytes + largePage - 1) & ~(largePage - 1); }
};
