#include "core/small_pool.h"

#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QSM_POOL_THROUGH_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QSM_POOL_THROUGH_HEAP 1
#endif
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

namespace {

// Blocks are multiples of 8 bytes, the alignment of the objects kept here (pointers and 64-bit values).
constexpr std::size_t kGrain = 8;
constexpr std::size_t kClasses = kSmallPoolLimit / kGrain;
constexpr std::size_t kSlabBytes = 256 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

struct ThreadPool {
    FreeBlock* free[kClasses];
    // The part of the current slab of each class not handed out yet.
    char* next[kClasses];
    char* end[kClasses];
};

thread_local ThreadPool tPool;

std::size_t ClassOf(std::size_t size) {
    return size == 0 ? 0 : (size - 1) / kGrain;
}

}  // namespace

void* PoolAllocate(std::size_t size) {
    if (size > kSmallPoolLimit) return ::operator new(size);
    const std::size_t c = ClassOf(size);
    ThreadPool& pool = tPool;
    if (FreeBlock* b = pool.free[c]) {
        pool.free[c] = b->next;
        return b;
    }
    const std::size_t bytes = (c + 1) * kGrain;
    if (pool.end[c] - pool.next[c] < static_cast<std::ptrdiff_t>(bytes)) {
        // Slabs stay for the life of the process: their blocks circulate through the free lists.
        pool.next[c] = static_cast<char*>(::operator new(kSlabBytes));
        pool.end[c] = pool.next[c] + kSlabBytes;
    }
    void* block = pool.next[c];
    pool.next[c] += bytes;
    return block;
}

void PoolFree(void* block, std::size_t size) noexcept {
    if (block == nullptr) return;
    if (size > kSmallPoolLimit) {
        ::operator delete(block);
        return;
    }
    const std::size_t c = ClassOf(size);
    ThreadPool& pool = tPool;
    auto* b = static_cast<FreeBlock*>(block);
    b->next = pool.free[c];
    pool.free[c] = b;
}

#endif

}  // namespace qsm
