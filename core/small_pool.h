// Blocks of up to 128 bytes (aligned to 8 bytes) carved from large slabs, for objects that a program makes by
// the hundred thousand (the items of a score): no heap call and no heap header per object, and freeing is a
// push onto a list. Freed blocks are kept for the next objects of their size; slabs are never given back.
// Each thread has its own lists, so that a block freed on another thread than the one that made it is simply
// reused there. Under the address sanitizer every block is an ordinary heap block, so that the sanitizer
// still sees overruns, uses after free and leaks of single objects.
#pragma once

#include <cstddef>

namespace qsm {

constexpr std::size_t kSmallPoolLimit = 128;

// A block of at least `size` bytes, aligned for any object of that size; sizes above the limit come from
// the heap.
void* PoolAllocate(std::size_t size);
// Gives back a block from PoolAllocate with the same size.
void PoolFree(void* block, std::size_t size) noexcept;

}  // namespace qsm
