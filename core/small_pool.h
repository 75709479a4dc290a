// Blocks of up to 128 bytes (aligned to 8 bytes) carved from large slabs, for objects that a program makes by
// the hundred thousand (the items of a score): no heap call and no heap header per object, and freeing is a
// push onto a list. Freed blocks are kept for the next objects of their size; slabs are never given back.
// Each thread has its own lists, so that a block freed on another thread than the one that made it is simply
// reused there; a thread that holds many freed blocks of a size hands them on to a shared store, where a
// thread that runs out of blocks of that size takes them before it maps a new slab (objects made on some
// threads and freed on another do not make the pool grow). Under the address sanitizer every block is an
// ordinary heap block, so that the sanitizer still sees overruns, uses after free and leaks of single
// objects.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define QSM_POOL_THROUGH_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QSM_POOL_THROUGH_HEAP 1
#endif
#endif

namespace qsm {

constexpr std::size_t kSmallPoolLimit = 128;

#if defined(QSM_POOL_THROUGH_HEAP)

// A block of at least `size` bytes, aligned for any object of that size; sizes above the limit come from
// the heap.
void* PoolAllocate(std::size_t size);
// Gives back a block from PoolAllocate with the same size.
void PoolFree(void* block, std::size_t size) noexcept;

#else

namespace pool_detail {

// Blocks are multiples of 8 bytes, the alignment of the objects kept here (pointers and 64-bit values).
constexpr std::size_t kGrain = 8;
constexpr std::size_t kClasses = kSmallPoolLimit / kGrain;

struct FreeBlock {
    FreeBlock* next;
};

struct ThreadPool {
    FreeBlock* free[kClasses];
    // The length of each free list.
    unsigned freeCount[kClasses];
    // The part of the current slab of each class not handed out yet.
    char* next[kClasses];
    char* end[kClasses];
};

extern thread_local ThreadPool tPool;

constexpr std::size_t ClassOf(std::size_t size) {
    return size == 0 ? 0 : (size - 1) / kGrain;
}

// The paths that call the heap: large blocks, and a new slab when the current one is used up.
void* AllocateLarge(std::size_t size);
void* AllocateFromNewSlab(std::size_t sizeClass);
void FreeLarge(void* block) noexcept;

// A free list this long goes to the shared store whole.
constexpr unsigned kShareAt = 4096;
void ShareFreeBlocks(std::size_t sizeClass) noexcept;

}  // namespace pool_detail

// Inline, so that a constant size (an object's operator new) leaves only a list pop or a pointer bump.
inline void* PoolAllocate(std::size_t size) {
    using namespace pool_detail;
    if (size > kSmallPoolLimit) return AllocateLarge(size);
    const std::size_t c = ClassOf(size);
    ThreadPool& pool = tPool;
    if (FreeBlock* b = pool.free[c]) {
        pool.free[c] = b->next;
        --pool.freeCount[c];
        return b;
    }
    const std::size_t bytes = (c + 1) * kGrain;
    if (pool.end[c] - pool.next[c] < static_cast<std::ptrdiff_t>(bytes)) return AllocateFromNewSlab(c);
    void* block = pool.next[c];
    pool.next[c] += bytes;
    return block;
}

inline void PoolFree(void* block, std::size_t size) noexcept {
    using namespace pool_detail;
    if (block == nullptr) return;
    if (size > kSmallPoolLimit) {
        FreeLarge(block);
        return;
    }
    const std::size_t c = ClassOf(size);
    ThreadPool& pool = tPool;
    auto* b = static_cast<FreeBlock*>(block);
    b->next = pool.free[c];
    pool.free[c] = b;
    if (++pool.freeCount[c] >= kShareAt) ShareFreeBlocks(c);
}

#endif

// An allocator for containers of a few small elements held by many objects (the members of a chord): their
// blocks come from the pool as well.
template <class T>
struct TPoolAllocator {
    using value_type = T;

    TPoolAllocator() = default;
    template <class U>
    TPoolAllocator(const TPoolAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return static_cast<T*>(PoolAllocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { PoolFree(p, n * sizeof(T)); }

    template <class U>
    bool operator==(const TPoolAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace qsm
