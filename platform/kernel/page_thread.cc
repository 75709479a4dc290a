#include "platform/kernel/page_thread.h"

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

#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
// The thread that maps in the pages of blocks asked for, in the order asked, while their threads go on with
// what they have. It lives as long as the program and touches no byte of a block.
class TPageThread {
public:
    // False when no thread can be had.
    bool Request(void* block, std::size_t bytes) {
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
        pending_.push_back({block, bytes, false});
        wake_.notify_one();
        return true;
    }

    // Unmaps a block after the requests that came before it.
    void Unmap(void* block, std::size_t bytes) noexcept {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (started_) {
                try {
                    pending_.push_back({block, bytes, true});
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
    };

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !pending_.empty(); });
            const TRequest r = pending_.front();
            pending_.erase(pending_.begin());
            busy_ = true;
            lock.unlock();
            if (r.Unmap)
                munmap(r.Block, r.Bytes);
            else
                madvise(r.Block, r.Bytes, MADV_POPULATE_WRITE);
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

constexpr std::uintptr_t kPage = 4096;

}  // namespace

bool PreparePages(void* block, std::size_t bytes) noexcept {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    // Only the whole pages inside the block: the bytes around it may belong to others.
    const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kPage - 1);
    if (block == nullptr || end <= start || end - start < 16 * kPage) return false;
    try {
        return PageThread().Request(reinterpret_cast<void*>(start), end - start);
    } catch (...) {
        // No memory for the request: the pages come as the block is filled.
        return false;
    }
#else
    (void)block;
    (void)bytes;
    return false;
#endif
}

void* MapPreparedPages(std::size_t bytes) noexcept {
#if defined(__linux__)
    if (bytes == 0) return nullptr;
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
    PreparePages(block, bytes);
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
#if defined(__GLIBC__) && defined(__linux__) && !defined(QSM_HEAP_OF_SANITIZER)
    // The top of the heap stays while it is under this size: the block grown here waits there for the
    // allocations it is for, and blocks made and freed in turn are not given back and faulted in again.
    constexpr int kKeptTop = 8 << 20;
    // Blocks from this size up have mappings of their own, given back when freed. The library would raise
    // this as large blocks are freed; once thresholds are set it no longer does. Lower, the buffers that
    // worker threads make and free by the hundred (a large score's staves) are mapped and faulted in anew
    // each time; higher, each thread's heap holds more.
    constexpr int kOwnMappingFrom = 512 << 10;
    if (bytes == 0 || bytes > static_cast<std::size_t>(kKeptTop) / 2) return;
    mallopt(M_TRIM_THRESHOLD, kKeptTop);
    // A block made and freed at once grows the heap, whose top then holds it; the page thread maps in what
    // it added while the start goes on.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(bytes) + (64 << 10));
    char* const before = static_cast<char*>(sbrk(0));
    void* volatile grown = malloc(bytes);
    free(grown);
    char* const after = static_cast<char*>(sbrk(0));
    mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
    if (before != reinterpret_cast<char*>(-1) && after > before)
        PreparePages(before, static_cast<std::size_t>(after - before));
#else
    (void)bytes;
#endif
}

}  // namespace qsm
