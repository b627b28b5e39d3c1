#include "base/LargePages.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quorvix {

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

} // namespace

void adviseLargePages(void* data, std::size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (data == nullptr || size < kLargePage)
        return;
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + pageSize - 1) / pageSize * pageSize;
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) / pageSize * pageSize;
    if (end > begin)
        (void)::madvise(reinterpret_cast<void*>(begin), end - begin,
                        MADV_HUGEPAGE); // a hint: failure is harmless
#else
    (void)data;
    (void)size;
#endif
}

void prepareLargePageHeap(std::size_t bytes)
{
#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    if (bytes < kLargePage)
        return;
    // The heap grows at its top, and allocations are carved from the top in turn. So the top is grown once
    // by the whole amount (in blocks small enough to come from the heap rather than from mappings of their
    // own), advised, and freed again: later allocations then fall into the advised range. Freed memory must
    // stay in the heap for that, so it is no longer trimmed.
    // The blocks are as large as the heap serves (32 MiB is the highest threshold glibc accepts): the page
    // where one ends and the next begins is touched by the allocator before the advice is given, and the
    // large page around it is then made of small ones.
    constexpr std::size_t kThreshold = std::size_t{32} << 20;
    constexpr std::size_t kBlock = kThreshold - (std::size_t{64} << 10);
    ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(kThreshold));
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
    std::vector<std::uintptr_t> blocks;
    blocks.reserve(bytes / kBlock + 1);
    for (std::size_t reserved = 0; reserved < bytes; reserved += kBlock) {
        void* block = ::malloc(kBlock);
        if (block == nullptr)
            break;
        blocks.push_back(reinterpret_cast<std::uintptr_t>(block));
    }
    // Only one stretch of heap below the break is advised: blocks placed anywhere else (by an allocator that
    // maps them, or after the heap could not grow) leave everything as it was.
    const auto heapEnd = reinterpret_cast<std::uintptr_t>(::sbrk(0));
    std::sort(blocks.begin(), blocks.end());
    bool contiguous = !blocks.empty() && blocks.back() + kBlock <= heapEnd;
    for (std::size_t i = 1; i < blocks.size(); ++i)
        contiguous = contiguous && blocks[i] - blocks[i - 1] <= kBlock + 64;
    if (contiguous)
        adviseLargePages(reinterpret_cast<void*>(blocks.front()), heapEnd - blocks.front());
    for (const std::uintptr_t block : blocks)
        ::free(reinterpret_cast<void*>(block));
#else
    (void)bytes;
#endif
}

} // namespace quorvix
