#include "core/small_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Blocks of every size, many more than one slab holds, live side by side without overlapping, keep what is
// written into them, and are aligned for pointers; freed blocks are handed out again.
TEST(SmallPool, BlocksOfEverySizeAreDistinctAlignedAndReused) {
    std::vector<std::pair<char*, size_t>> blocks;
    for (int round = 0; round < 3000; ++round)
        for (size_t size : {1u, 8u, 16u, 24u, 40u, 64u, 100u, 128u, 129u, 300u}) {
            auto* p = static_cast<char*>(qsm::PoolAllocate(size));
            ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
            std::memset(p, static_cast<int>(blocks.size() & 0x7F), size);
            blocks.emplace_back(p, size);
        }
    for (size_t i = 0; i < blocks.size(); ++i)
        for (size_t k = 0; k < blocks[i].second; ++k)
            ASSERT_EQ(blocks[i].first[k], static_cast<char>(i & 0x7F)) << i;
    std::vector<std::pair<char*, size_t>> sorted = blocks;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 1; i < sorted.size(); ++i)
        ASSERT_LE(sorted[i - 1].first + sorted[i - 1].second, sorted[i].first);
    for (auto& [p, size] : blocks)
        qsm::PoolFree(p, size);
    qsm::PoolFree(nullptr, 40);

    // A block freed on another thread is good for that thread's next block of the size.
    void* made = qsm::PoolAllocate(40);
    void* again = nullptr;
    std::thread other([&] {
        qsm::PoolFree(made, 40);
        again = qsm::PoolAllocate(40);
        std::memset(again, 1, 40);
        qsm::PoolFree(again, 40);
    });
    other.join();
    EXPECT_NE(again, nullptr);
}

// Threads that each make blocks by the thousand of one size, many slabs of them, get blocks of their own
// that keep what is written into them while the other thread fills its own.
TEST(SmallPool, ThreadsFillingManySlabsKeepTheirBlocks) {
    constexpr size_t kSize = 64;
    constexpr size_t kCount = 24000;  // about six slabs
    std::vector<char*> made[2];
    auto fill = [](std::vector<char*>& blocks, char mark) {
        for (size_t i = 0; i < kCount; ++i) {
            auto* p = static_cast<char*>(qsm::PoolAllocate(kSize));
            std::memset(p, mark, kSize);
            blocks.push_back(p);
        }
    };
    std::thread other([&] { fill(made[1], 'b'); });
    fill(made[0], 'a');
    other.join();
    std::vector<char*> all;
    for (int t = 0; t < 2; ++t)
        for (char* p : made[t]) {
            ASSERT_EQ(std::count(p, p + kSize, t == 0 ? 'a' : 'b'), static_cast<long>(kSize));
            all.push_back(p);
        }
    std::sort(all.begin(), all.end());
    for (size_t i = 1; i < all.size(); ++i)
        ASSERT_LE(all[i - 1] + kSize, all[i]);
    for (auto& blocks : made)
        for (char* p : blocks)
            qsm::PoolFree(p, kSize);
}

// Blocks made on worker threads and freed on another thread (a score read side by side and closed on the
// main thread) are made again by the next workers, instead of the pool growing by as many.
TEST(SmallPool, BlocksFreedOnAnotherThreadAreMadeAgainThere) {
#if defined(QSM_POOL_THROUGH_HEAP)
    GTEST_SKIP() << "blocks come from the heap";
#else
    constexpr size_t kSize = 88;  // a size no other test here uses
    constexpr size_t kCount = 40000;
    auto make = [](std::vector<char*>& blocks) {
        std::thread worker([&] {
            for (size_t i = 0; i < kCount; ++i) {
                auto* p = static_cast<char*>(qsm::PoolAllocate(kSize));
                std::memset(p, 'w', kSize);
                blocks.push_back(p);
            }
        });
        worker.join();
    };
    std::vector<char*> first, second;
    make(first);
    for (char* p : first)
        qsm::PoolFree(p, kSize);
    make(second);
    std::sort(first.begin(), first.end());
    size_t again = 0;
    for (char* p : second)
        if (std::binary_search(first.begin(), first.end(), p)) ++again;
    // The freeing thread keeps a short list of its own; the rest went on.
    EXPECT_GE(again, kCount - qsm::pool_detail::kShareAt);
    for (char* p : second)
        qsm::PoolFree(p, kSize);
#endif
}

// A container on the pool allocator keeps its elements while it grows from pool blocks into heap blocks.
TEST(SmallPool, ContainerGrowsAcrossTheLimit) {
    std::vector<int*, qsm::TPoolAllocator<int*>> list;
    std::vector<int> values(100);
    for (int& v : values) {
        v = static_cast<int>(&v - values.data());
        list.push_back(&v);
    }
    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_EQ(*list[i], static_cast<int>(i));
    list.resize(3);
    list.shrink_to_fit();
    EXPECT_EQ(*list[2], 2);
}

}  // namespace
