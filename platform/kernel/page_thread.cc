#include "platform/kernel/page_thread.h"

#include <climits>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QSM_HEAP_OF_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define QSM_HEAP_OF_SANITIZER 1
#endif
#endif

namespace qsm {

namespace {

constexpr std::uintptr_t kPage = 4096;
// The top of the heap stays while it is under this size: the block grown by PrepareHeap waits there for the
// allocations it is for, and blocks made and freed in turn are not given back and faulted in again.
[[maybe_unused]] constexpr int kKeptTop = 8 << 20;

// How the page thread brings in a block's pages.
enum class TBring {
    // The system maps them in: harmless to a block given back meanwhile, but the process's mappings wait
    // until all of the block's pages are in (the system holds their lock for reading all along).
    Map,
    // The thread faults them in itself with a write that leaves the byte as it was, which holds nothing up
    // but the page itself: only for a mapping that stays until UnmapPreparedPages gives it back.
    Touch,
    // As Touch, for the heap's top: the heap is kept from shrinking until its pages are in.
    TouchHeap,
};

#if defined(__linux__) && defined(MADV_POPULATE_WRITE)

#if defined(__SANITIZE_THREAD__)
constexpr bool kCanTouch = false;  // the race checker would take the page thread's writes for races
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kCanTouch = false;
#else
constexpr bool kCanTouch = true;
#endif
#else
constexpr bool kCanTouch = true;
#endif

// Faults a page in for writing without changing it. The owner of the block may write it at the same moment:
// an atomic or with zero leaves whichever byte is there.
void TouchPages(void* block, std::size_t bytes) noexcept {
    auto* p = static_cast<unsigned char*>(block);
    for (std::size_t at = 0; at < bytes; at += kPage)
        __atomic_fetch_or(p + at, static_cast<unsigned char>(0), __ATOMIC_RELAXED);
}

// The thread that maps in the pages of blocks asked for, in the order asked, while their threads go on with
// what they have. It lives as long as the program.
class TPageThread {
public:
    // False when no thread can be had.
    bool Request(void* block, std::size_t bytes, TBring bring) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failed_) return false;
        if (!started_) {
            try {
                std::thread([this] { Run(); }).detach();
            } catch (const std::exception&) {
                failed_ = true;
                return false;
            }
            started_ = true;
        }
        pending_.push_back({block, bytes, false, bring});
        wake_.notify_one();
        return true;
    }

    // Unmaps a block after the requests that came before it.
    void Unmap(void* block, std::size_t bytes) noexcept {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (started_) {
                try {
                    pending_.push_back({block, bytes, true, TBring::Map});
                    wake_.notify_one();
                    return;
                } catch (...) {
                    // No room for the request: wait until the thread has nothing of this block left.
                }
                drained_.wait(lock, [this] { return pending_.empty() && !busy_; });
            }
        }
        munmap(block, bytes);
    }

private:
    struct TRequest {
        void* Block;
        std::size_t Bytes;
        bool Unmap;
        TBring Bring;
    };

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !pending_.empty(); });
            const TRequest r = pending_.front();
            pending_.erase(pending_.begin());
            busy_ = true;
            lock.unlock();
            if (r.Unmap) {
                munmap(r.Block, r.Bytes);
            } else {
                if (r.Bring == TBring::Map || !kCanTouch)
                    madvise(r.Block, r.Bytes, MADV_POPULATE_WRITE);
                else
                    TouchPages(r.Block, r.Bytes);
#if defined(__GLIBC__)
                if (r.Bring == TBring::TouchHeap) mallopt(M_TRIM_THRESHOLD, kKeptTop);
#endif
            }
            lock.lock();
            busy_ = false;
            if (pending_.empty()) drained_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, drained_;
    std::vector<TRequest> pending_;
    bool busy_ = false;
    bool started_ = false;
    bool failed_ = false;
};

// Never destroyed: the thread may wait on it while the program ends.
TPageThread& PageThread() {
    static TPageThread* thread = new TPageThread();
    return *thread;
}
#endif

bool RequestPages(void* block, std::size_t bytes, TBring bring) noexcept {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    // Only the whole pages inside the block: the bytes around it may belong to others.
    const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kPage - 1);
    if (block == nullptr || end <= start || end - start < 16 * kPage) return false;
    try {
        return PageThread().Request(reinterpret_cast<void*>(start), end - start, bring);
    } catch (...) {
        // No memory for the request: the pages come as the block is filled.
        return false;
    }
#else
    (void)block;
    (void)bytes;
    (void)bring;
    return false;
#endif
}

}  // namespace

bool PreparePages(void* block, std::size_t bytes) noexcept {
    return RequestPages(block, bytes, TBring::Map);
}

bool PrepareMappedPages(void* block, std::size_t bytes) noexcept {
    return RequestPages(block, bytes, TBring::Touch);
}

void* MapPreparedPages(std::size_t bytes) noexcept {
#if defined(__linux__)
    if (bytes == 0) return nullptr;
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
    PrepareMappedPages(block, bytes);
    return block;
#else
    (void)bytes;
    return nullptr;
#endif
}

void UnmapPreparedPages(void* block, std::size_t bytes) noexcept {
#if defined(__linux__)
    if (block == nullptr) return;
#if defined(MADV_POPULATE_WRITE)
    PageThread().Unmap(block, bytes);
#else
    munmap(block, bytes);
#endif
#else
    (void)block;
    (void)bytes;
#endif
}

void PrepareHeap(std::size_t bytes) noexcept {
#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_POPULATE_WRITE) && \
    !defined(QSM_HEAP_OF_SANITIZER)
    // Blocks from this size up have mappings of their own, given back when freed. The library would raise
    // this as large blocks are freed; once thresholds are set it no longer does. Lower, the buffers that
    // worker threads make and free by the hundred (a large score's staves) are mapped and faulted in anew
    // each time; higher, each thread's heap holds more.
    constexpr int kOwnMappingFrom = 512 << 10;
    if (bytes == 0 || bytes > static_cast<std::size_t>(kKeptTop) / 2) return;
    // The page thread writes to the pages it brings in: the heap does not shrink before they are all in (the
    // thread then keeps tops up to kKeptTop).
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    // A block made and freed at once grows the heap, whose top then holds it; the page thread brings in what
    // it added while the start goes on.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(bytes) + (64 << 10));
    char* const before = static_cast<char*>(sbrk(0));
    void* volatile grown = malloc(bytes);
    free(grown);
    char* const after = static_cast<char*>(sbrk(0));
    mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
    const bool asked = before != reinterpret_cast<char*>(-1) && after > before &&
                       RequestPages(before, static_cast<std::size_t>(after - before), TBring::TouchHeap);
    if (!asked) mallopt(M_TRIM_THRESHOLD, kKeptTop);
#else
    (void)bytes;
#endif
}

}  // namespace qsm
