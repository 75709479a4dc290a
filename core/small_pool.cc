#include "core/small_pool.h"

#include <cstdint>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

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

char* MapSlab(int flags) {
#if defined(__linux__)
    void* mapped =
        mmap(nullptr, kSlabBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | flags, -1, 0);
    if (mapped != MAP_FAILED) return static_cast<char*>(mapped);
#else
    (void)flags;
#endif
    return nullptr;
}

// A class that has used up a slab is making objects by the thousand (the items of a score being read): its
// next slabs are mapped with their pages at once, so that the objects do not fault the pages in one at a
// time. A class's first slab is left to fill page by page, so that a class (or a thread) that makes few
// objects holds little memory.
char* NewSlab(std::size_t sizeClass) {
    char* slab = nullptr;
#if defined(__linux__) && defined(MAP_POPULATE)
    if (tSlabsTaken[sizeClass]++ > 0) slab = MapSlab(MAP_POPULATE);
#endif
    return slab ? slab : static_cast<char*>(::operator new(kSlabBytes));
}

}  // namespace

thread_local ThreadPool tPool;

void* AllocateLarge(std::size_t size) {
    return ::operator new(size);
}

void FreeLarge(void* block) noexcept {
    ::operator delete(block);
}

namespace {

// Free lists handed on by the threads, whole, for any thread to take.
struct TSharedBlocks {
    struct List {
        FreeBlock* First;
        unsigned Count;
    };
    std::mutex Mutex;
    std::vector<List> Lists[kClasses];
};

// Never destroyed: threads may free blocks while the program ends.
TSharedBlocks& Shared() {
    static TSharedBlocks* shared = new TSharedBlocks();
    return *shared;
}

}  // namespace

void ShareFreeBlocks(std::size_t sizeClass) noexcept {
    ThreadPool& pool = tPool;
    TSharedBlocks& shared = Shared();
    try {
        std::lock_guard<std::mutex> lock(shared.Mutex);
        shared.Lists[sizeClass].push_back({pool.free[sizeClass], pool.freeCount[sizeClass]});
    } catch (...) {
        // No room to record the list: the thread keeps it.
        return;
    }
    pool.free[sizeClass] = nullptr;
    pool.freeCount[sizeClass] = 0;
}

void* AllocateFromNewSlab(std::size_t sizeClass) {
    ThreadPool& pool = tPool;
    const std::size_t bytes = (sizeClass + 1) * kGrain;
    // Blocks another thread freed come before a new slab.
    {
        TSharedBlocks& shared = Shared();
        std::lock_guard<std::mutex> lock(shared.Mutex);
        std::vector<TSharedBlocks::List>& lists = shared.Lists[sizeClass];
        if (!lists.empty()) {
            const TSharedBlocks::List list = lists.back();
            lists.pop_back();
            FreeBlock* b = list.First;
            pool.free[sizeClass] = b->next;
            pool.freeCount[sizeClass] = list.Count - 1;
            return b;
        }
    }
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
