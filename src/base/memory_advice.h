#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

/// Asks the system to back a large buffer that is about to be filled with huge pages, which
/// spares thousands of page faults on a big page. A hint only; elsewhere it does nothing.
inline void adviseHugePages(void* data, std::size_t bytes) {
#ifdef __linux__
    constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

/// Keeps big freed buffers in the heap instead of giving them back to the system at once. A copy
/// of a big page (for a recovery copy, a save, a colouring pass) then lands in memory that is
/// already mapped, and costs a fifth of the time a fresh mapping's page faults take. The price:
/// the largest such buffer stays allocated to the process once it was needed.
inline constexpr int kHeapTopKeptUpTo = 1024 << 20;

inline void keepLargeBuffersInHeap() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 512 << 20);
    mallopt(M_TRIM_THRESHOLD, kHeapTopKeptUpTo);
#endif
}

/// Work on a page of more characters than this leaves copies worth giving back to the system.
inline constexpr long long kBigPageCharacters = 1 << 20;

/// Gives the heap's free memory back to the system: after a big page has been read, its bytes,
/// its decoded text and the copies made on the way are garbage that would otherwise stay. Called
/// by a worker thread when it is done with a big page, it returns that thread's heap too.
inline void returnFreedMemory() {
#ifdef __GLIBC__
    // A trim leaves the free top of a worker thread's heap alone; that heap gives it back only when
    // one of its blocks is freed while the trim threshold is low. So the threshold is low for one
    // free in the calling thread's heap. (Each worker keeps a heap of its own: with one heap for
    // all threads, keys stalled on its lock while a big page was checked.)
    mallopt(M_TRIM_THRESHOLD, 0);
    void* volatile block = malloc(256 << 10); // big enough that freeing it trims
    free(block);
    mallopt(M_TRIM_THRESHOLD, kHeapTopKeptUpTo);
    malloc_trim(0);
#endif
}
