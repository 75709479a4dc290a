#include "platform/kernel/page_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Blocks whose pages come on the page thread read as zeros and keep what their thread writes while the
// pages come; blocks given back right after being made (while their pages may still be coming) leave the
// others alone.
TEST(PageThread, MappedBlocksAreZeroedAndKeepWhatIsWritten) {
    constexpr std::size_t kBytes = (1 << 20) + 100;
    std::vector<unsigned char*> blocks;
    for (int i = 0; i < 8; ++i) {
        auto* b = static_cast<unsigned char*>(qsm::MapPreparedPages(kBytes));
        ASSERT_NE(b, nullptr);
        ASSERT_EQ(std::count(b, b + kBytes, 0), static_cast<long>(kBytes));
        std::memset(b, i + 1, kBytes);
        blocks.push_back(b);
        qsm::UnmapPreparedPages(qsm::MapPreparedPages(kBytes), kBytes);
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(std::count(blocks[i], blocks[i] + kBytes, i + 1), static_cast<long>(kBytes)) << i;
        qsm::UnmapPreparedPages(blocks[i], kBytes);
    }
    EXPECT_EQ(qsm::MapPreparedPages(0), nullptr);
    qsm::UnmapPreparedPages(nullptr, 0);
}

// Pages asked for in a heap block being filled (and the heap grown ahead, whose pages the page thread brings
// in while small blocks are made there and filled) leave its bytes as written; a block of a few pages is not
// worth the request.
TEST(PageThread, PreparedHeapBlocksKeepTheirBytes) {
    qsm::PrepareHeap(1 << 20);
    std::vector<std::vector<unsigned char>> blocks;
    for (int i = 0; i < 200; ++i)
        blocks.emplace_back(4000, static_cast<unsigned char>(i + 1));
    std::vector<char> small(4096 * 4, 'x');
    EXPECT_FALSE(qsm::PreparePages(small.data(), small.size()));
    std::vector<char> big(3 << 20);
    for (std::size_t i = 0; i < big.size(); i += 3)
        big[i] = static_cast<char>(i);
    qsm::PreparePages(big.data(), big.size());
    for (std::size_t i = 1; i < big.size(); i += 3)
        big[i] = 'y';
    for (std::size_t i = 0; i + 2 < big.size(); i += 3) {
        ASSERT_EQ(big[i], static_cast<char>(i)) << i;
        ASSERT_EQ(big[i + 1], 'y') << i;
        ASSERT_EQ(big[i + 2], 0) << i;
    }
    EXPECT_EQ(std::count(small.begin(), small.end(), 'x'), static_cast<long>(small.size()));
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(std::count(blocks[i].begin(), blocks[i].end(), i + 1), 4000) << i;
}

}  // namespace
