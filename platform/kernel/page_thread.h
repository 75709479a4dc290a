// Memory whose pages are mapped in ahead of its first use, on a thread of its own: a thread that is about to
// fill a large block (a window's back buffer, the pool's next slab, the heap a start grows into) does not
// then stop at every page for the system to give it one. The page thread changes no byte of a block, so a
// block may be filled while its pages come.
#pragma once

#include <cstddef>

namespace qsm {

// Asks for the whole pages inside the block to be mapped in beforehand on the page thread. The block's bytes
// are not touched, and it may be freed at any time; nothing happens for a block of fewer than 16 pages. False
// where the system cannot do this or no thread can be had.
bool PreparePages(void* block, std::size_t bytes) noexcept;
// As PreparePages, for a mapping given back only with UnmapPreparedPages: the page thread faults the pages in
// itself, which does not hold up the process's other mappings (and thread starts) the way the system's
// mapping-in does while it runs.
bool PrepareMappedPages(void* block, std::size_t bytes) noexcept;

// A block of zeroed memory of its own mapping, its pages asked for on the page thread at once; null where no
// such block can be had. Given back with UnmapPreparedPages.
void* MapPreparedPages(std::size_t bytes) noexcept;
// Gives back a block from MapPreparedPages (or any mapping asked for with PreparePages) once the page thread
// is done with what was asked before: the range is never given back while that thread may still be mapping
// pages into it.
void UnmapPreparedPages(void* block, std::size_t bytes) noexcept;

// Grows the program's heap by about `bytes` and has the page thread map them in, for the allocations of the
// main thread's start; keeps the heap from giving the top of it back (and mapping it again) as blocks come
// and go. Called once, early in main.
void PrepareHeap(std::size_t bytes) noexcept;

}  // namespace qsm
