// The heap's settings for a run that makes many allocations on one thread and ends (printing a file).
#pragma once

#include <cstddef>

namespace qsm {

// Grows the program's heap once by about `bytes` and keeps blocks of up to half a megabyte, and a free top of
// up to 8 MB, in the heap: blocks made and freed in turn (a printed page's buffers) are not mapped, faulted
// in and given back each time. Called once, early in main; nothing happens under a sanitizer's own heap.
void PrepareHeap(std::size_t bytes) noexcept;

}  // namespace qsm
