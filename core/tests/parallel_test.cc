#include "core/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

TEST(ParallelFor, RunsEveryIndexOnceWhateverTheCountAndNesting) {
    for (size_t count : {0u, 1u, 2u, 7u, 64u, 1000u}) {
        std::vector<std::atomic<int>> runs(count);
        std::atomic<int> inner{0};
        qsm::ParallelFor(count, [&](size_t i) {
            runs[i].fetch_add(1);
            // A call from inside the work runs on the calling thread.
            qsm::ParallelFor(3, [&](size_t) { inner.fetch_add(1); });
        });
        for (size_t i = 0; i < count; ++i)
            EXPECT_EQ(runs[i].load(), 1) << count << " " << i;
        EXPECT_EQ(inner.load(), static_cast<int>(3 * count));
    }
}

TEST(ParallelFor, OneThreadRunsInOrderOnTheCaller) {
    const unsigned before = qsm::GetParallelThreads();
    qsm::SetParallelThreads(0);
    EXPECT_EQ(qsm::GetParallelThreads(), 1u);
    std::vector<size_t> order;
    const auto caller = std::this_thread::get_id();
    qsm::ParallelFor(5, [&](size_t i) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        order.push_back(i);
    });
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2, 3, 4}));
    qsm::SetParallelThreads(before);
}

TEST(ParallelFor, CallsFromSeveralThreadsAllFinish) {
    qsm::SetParallelThreads(4);
    std::atomic<long> total{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            for (int round = 0; round < 50; ++round)
                qsm::ParallelFor(16, [&](size_t i) { total.fetch_add(static_cast<long>(i)); });
        });
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_EQ(total.load(), 4L * 50 * 120);
}

TEST(ParallelFor, AnExceptionOfTheWorkReachesTheCallerAfterTheOtherCallsReturned) {
    qsm::SetParallelThreads(4);
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> running{0};
        std::atomic<int> after{0};
        // Whichever thread takes index 5 throws; the others are still in their calls for a while.
        EXPECT_THROW(qsm::ParallelFor(64,
                                      [&](size_t i) {
                                          running.fetch_add(1);
                                          if (i == 5) {
                                              running.fetch_sub(1);
                                              throw std::runtime_error("stop");
                                          }
                                          for (int k = 0; k < 1000; ++k)
                                              after.fetch_add(1, std::memory_order_relaxed);
                                          running.fetch_sub(1);
                                      }),
                     std::runtime_error);
        EXPECT_EQ(running.load(), 0);
        // The pool is ready for the next job.
        std::atomic<int> runs{0};
        qsm::ParallelFor(16, [&](size_t) { runs.fetch_add(1); });
        EXPECT_EQ(runs.load(), 16);
    }
}

}  // namespace
