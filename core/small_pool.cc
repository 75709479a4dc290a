#include "core/small_pool.h"

#include <new>

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
    pool.next[sizeClass] = static_cast<char*>(::operator new(kSlabBytes));
    pool.end[sizeClass] = pool.next[sizeClass] + kSlabBytes;
    void* block = pool.next[sizeClass];
    pool.next[sizeClass] += bytes;
    return block;
}

}  // namespace pool_detail

#endif

}  // namespace qsm
