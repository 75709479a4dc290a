#include "platform/kernel/heap_settings.h"

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

void PrepareHeap(std::size_t bytes) noexcept {
#if defined(__GLIBC__) && !defined(QSM_HEAP_OF_SANITIZER)
    // Blocks from this size up have mappings of their own, given back when freed. The library would raise
    // the threshold as large blocks are freed; once it is set it no longer does.
    constexpr int kOwnMappingFrom = 512 << 10;
    // The top of the heap stays while it is under this size.
    constexpr int kKeptTop = 8 << 20;
    if (bytes == 0 || bytes > static_cast<std::size_t>(kKeptTop) / 2) return;
    // A block made and freed at once grows the heap, whose top then holds it.
    mallopt(M_TRIM_THRESHOLD, kKeptTop);
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(bytes) + (64 << 10));
    void* volatile grown = malloc(bytes);
    free(grown);
    mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
#else
    (void)bytes;
#endif
}

}  // namespace qsm
