#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"

namespace {

struct Calls {
    std::vector<DWORD> times;
    UINT kill_at = 0;  // kills its own timer at this call count
};

void RecordCall(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* calls = reinterpret_cast<Calls*>(user);
    calls->times.push_back(timeGetTime());
    if (calls->kill_at != 0 && calls->times.size() == calls->kill_at) timeKillEvent(id);
}

class ManualClock : public ::testing::Test {
protected:
    void SetUp() override { qsm::mm::UseManualClock(1000); }
    void TearDown() override {
        qsm::mm::SetClockStepHook(nullptr);
        qsm::mm::UseRealClock();
    }
};

TEST_F(ManualClock, PeriodicAndOneShotTimersFireAtTheirDeadlines) {
    Calls periodic, once;
    UINT p = timeSetEvent(2, 2, RecordCall, reinterpret_cast<DWORD_PTR>(&periodic), TIME_PERIODIC);
    UINT o = timeSetEvent(5, 1, RecordCall, reinterpret_cast<DWORD_PTR>(&once), TIME_ONESHOT);
    ASSERT_NE(p, 0u);
    ASSERT_NE(o, 0u);
    EXPECT_NE(p, o);
    int steps = 0;
    qsm::mm::SetClockStepHook([&] { ++steps; });
    qsm::mm::AdvanceClock(9);
    EXPECT_EQ(steps, 9);
    EXPECT_EQ(periodic.times, (std::vector<DWORD>{1002, 1004, 1006, 1008}));
    EXPECT_EQ(once.times, (std::vector<DWORD>{1005}));
    EXPECT_EQ(timeKillEvent(o), MMSYSERR_INVALPARAM);  // a one-shot timer ends by itself
    EXPECT_EQ(timeKillEvent(p), TIMERR_NOERROR);
    qsm::mm::AdvanceClock(10);
    EXPECT_EQ(periodic.times.size(), 4u);
}

TEST_F(ManualClock, PeriodicTimersTickOnMultiplesOfTheirPeriod) {
    qsm::mm::UseManualClock(1001);
    Calls periodic;
    UINT p = timeSetEvent(4, 4, RecordCall, reinterpret_cast<DWORD_PTR>(&periodic), TIME_PERIODIC);
    qsm::mm::AdvanceClock(12);
    EXPECT_EQ(periodic.times, (std::vector<DWORD>{1008, 1012}));
    timeKillEvent(p);
}

TEST_F(ManualClock, TimerKilledInsideItsCallbackStops) {
    Calls calls;
    calls.kill_at = 3;
    ASSERT_NE(timeSetEvent(1, 1, RecordCall, reinterpret_cast<DWORD_PTR>(&calls), TIME_PERIODIC), 0u);
    qsm::mm::AdvanceClock(10);
    EXPECT_EQ(calls.times.size(), 3u);
}

TEST(Clock, WrapsAtTwoToThe32AndKeepsPeriodBalance) {
    qsm::mm::SetClockOffset(0xFFFFFFFFu - static_cast<DWORD>(qsm::mm::NowMicros() / 1000) - 5);
    DWORD before = timeGetTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    DWORD after = timeGetTime();
    qsm::mm::SetClockOffset(0);
    EXPECT_GT(before, 0xFFFFFF00u);
    EXPECT_LT(after, 0x100u);  // wrapped
    EXPECT_GE(static_cast<int32_t>(after - before), 19);

    int balance = qsm::mm::GetTimerPeriodBalance();
    EXPECT_EQ(timeBeginPeriod(2), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
    EXPECT_EQ(qsm::mm::GetTimerPeriodBalance(), balance + 1);
    EXPECT_EQ(timeEndPeriod(2), TIMERR_NOERROR);
    EXPECT_EQ(qsm::mm::GetTimerPeriodBalance(), balance);
}

struct Slow {
    std::atomic<int> entered{0};
    std::atomic<int> finished{0};
    std::atomic<bool> overlap{false};
    std::atomic<int> running{0};
};

void SlowCall(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* s = reinterpret_cast<Slow*>(user);
    if (s->running.fetch_add(1) != 0) s->overlap = true;
    s->entered.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    s->finished.fetch_add(1);
    s->running.fetch_sub(1);
}

TEST(RealTimer, KillWaitsForARunningCallbackAndCallbacksNeverOverlap) {
    Slow slow;
    UINT id = timeSetEvent(2, 2, SlowCall, reinterpret_cast<DWORD_PTR>(&slow), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    while (slow.entered.load() < 3)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    int done = slow.finished.load();
    EXPECT_EQ(done, slow.entered.load());  // nothing still running after the kill
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(slow.entered.load(), done);  // and nothing starts afterwards
    EXPECT_FALSE(slow.overlap.load());
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);
}

void KillSelf(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    reinterpret_cast<std::atomic<int>*>(user)->fetch_add(1);
    timeKillEvent(id);
}

TEST(RealTimer, PeriodicTicksFallOnTheGridOfItsPeriod) {
    qsm::mm::SetClockOffset(1);  // an odd start of the clock must not matter
    Calls calls;
    UINT id = timeSetEvent(2, 2, RecordCall, reinterpret_cast<DWORD_PTR>(&calls), TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    timeKillEvent(id);
    qsm::mm::SetClockOffset(0);
    ASSERT_GE(calls.times.size(), 20u);
    // A tick taken late by the scheduler may read the millisecond after; most read their own.
    size_t even = 0;
    for (DWORD t : calls.times)
        even += t % 2 == 0;
    EXPECT_GE(even * 4, calls.times.size() * 3);
}

TEST(RealTimer, KillFromItsOwnCallbackDoesNotDeadlock) {
    std::atomic<int> calls{0};
    ASSERT_NE(timeSetEvent(1, 1, KillSelf, reinterpret_cast<DWORD_PTR>(&calls), TIME_PERIODIC), 0u);
    while (calls.load() == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(calls.load(), 1);
}

}  // namespace
