#include "core/small_pool.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace qsm {

#if defined(QSM_POOL_THROUGH_HEAP)

void* PoolAllocate(std::size_t size) {
    return ::operator new(size);
}

// The heap needs no size back (and the sized delete is not declared by every compiler's default flags).
void PoolFree(void* block, std::size_t) noexcept {
    ::operator delete(block);
}

#else

namespace pool_detail {

namespace {

constexpr std::size_t kSlabBytes = 256 * 1024;

// Slabs taken by each class on this thread.
thread_local unsigned tSlabsTaken[kClasses];

// A class that has used up a slab is making objects by the thousand (the items of a score being read): its
// next slabs are mapped with all their pages in one call, rather than faulted in a page at a time as the
// objects reach them. A class's first slab is left to fill page by page, so that a class (or a thread) that
// makes few objects holds little memory.
char* NewSlab(std::size_t sizeClass) {
#if defined(__linux__) && defined(MAP_POPULATE)
    if (tSlabsTaken[sizeClass]++ > 0) {
        void* mapped = mmap(nullptr, kSlabBytes, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (mapped != MAP_FAILED) return static_cast<char*>(mapped);
    }
#endif
    return static_cast<char*>(::operator new(kSlabBytes));
}

}  // namespace

thread_local ThreadPool tPool;

void* AllocateLarge(std::size_t size) {
    return ::operator new(size);
}

void FreeLarge(void* block) noexcept {
    ::operator delete(block);
}

void* AllocateFromNewSlab(std::size_t sizeClass) {
    ThreadPool& pool = tPool;
    const std::size_t bytes = (sizeClass + 1) * kGrain;
    // Slabs stay for the life of the process: their blocks circulate through the free lists.
    pool.next[sizeClass] = NewSlab(sizeClass);
    pool.end[sizeClass] = pool.next[sizeClass] + kSlabBytes;
    void* block = pool.next[sizeClass];
    pool.next[sizeClass] += bytes;
    return block;
}

}  // namespace pool_detail

#endif

}  // namespace qsm
