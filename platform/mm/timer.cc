// The multimedia clock and timers: timeGetTime over CLOCK_MONOTONIC (or a manual clock for tests), and
// timeSetEvent timers that each run on a thread of their own and sleep to absolute deadlines.
#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"

namespace {

constexpr uint64_t kNsPerMs = 1000000;

uint64_t MonotonicNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

struct Timer {
    UINT id = 0;
    UINT period = 0;
    bool periodic = false;
    LPTIMECALLBACK proc = nullptr;
    DWORD_PTR user = 0;
    std::atomic<bool> stop{false};
    std::thread thread;
    std::thread::id thread_id;
    uint64_t next_ms = 0;  // manual clock only
};

struct ClockState {
    std::atomic<bool> manual{false};
    std::atomic<uint64_t> manual_ms{0};
    std::atomic<uint64_t> offset_ms{0};
    std::atomic<int> period_balance{0};
    std::mutex mu;  // timers and hook
    std::map<UINT, std::shared_ptr<Timer>> timers;
    UINT next_id = 1;
    std::function<void()> step_hook;
    std::mutex advance_mu;  // one AdvanceClock at a time
};

// Never destroyed: timer threads may still run while the process exits.
ClockState& State() {
    static ClockState* state = new ClockState;
    return *state;
}

void SleepUntilNs(uint64_t deadline, const std::atomic<bool>& stop) {
    // Sleeps in slices so that a kill is noticed within a few milliseconds even for long delays.
    constexpr uint64_t kSlice = 20 * kNsPerMs;
    for (;;) {
        if (stop.load(std::memory_order_acquire)) return;
        uint64_t now = MonotonicNs();
        if (now >= deadline) return;
        uint64_t until = deadline - now > kSlice ? now + kSlice : deadline;
        timespec ts;
        ts.tv_sec = static_cast<time_t>(until / 1000000000u);
        ts.tv_nsec = static_cast<long>(until % 1000000000u);  // NOLINT(runtime/int): timespec's own type
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }
}

void RunTimerThread(std::shared_ptr<Timer> timer, uint64_t first_deadline) {
    sched_param param{};
    param.sched_priority = 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);  // an ordinary thread when not allowed
    uint64_t period = static_cast<uint64_t>(timer->period == 0 ? 1 : timer->period) * kNsPerMs;
    uint64_t deadline = first_deadline;
    for (;;) {
        SleepUntilNs(deadline, timer->stop);
        if (timer->stop.load(std::memory_order_acquire)) break;
        timer->proc(timer->id, 0, timer->user, 0, 0);
        if (!timer->periodic) break;
        deadline += period;
        uint64_t now = MonotonicNs();
        if (now > deadline + period) deadline += (now - deadline) / period * period;  // skip, no burst
    }
}

}  // namespace

DWORD timeGetTime() {
    ClockState& s = State();
    if (s.manual.load(std::memory_order_acquire)) return static_cast<DWORD>(s.manual_ms.load());
    return static_cast<DWORD>(MonotonicNs() / kNsPerMs + s.offset_ms.load(std::memory_order_relaxed));
}

MMRESULT timeBeginPeriod(UINT period) {
    if (period == 0) return TIMERR_NOCANDO;
    State().period_balance.fetch_add(1);
    return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period) {
    if (period == 0) return TIMERR_NOCANDO;
    State().period_balance.fetch_sub(1);
    return TIMERR_NOERROR;
}

namespace {
std::atomic<int> g_failTimers{0};
}  // namespace

void qsm::mm::FailNextTimerEvents(int n) {
    g_failTimers.store(n);
}

UINT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK proc, DWORD_PTR user, UINT flags) {
    (void)resolution;
    if (proc == nullptr || delay == 0) return 0;
    // A test's refusal, as when the system has no timer left.
    for (int n = g_failTimers.load(); n > 0;)
        if (g_failTimers.compare_exchange_weak(n, n - 1)) return 0;
    ClockState& s = State();
    auto timer = std::make_shared<Timer>();
    timer->period = delay;
    timer->periodic = (flags & TIME_PERIODIC) != 0;
    timer->proc = proc;
    timer->user = user;
    std::lock_guard<std::mutex> lock(s.mu);
    timer->id = s.next_id++;
    if (s.next_id == 0) s.next_id = 1;
    if (s.manual.load()) {
        const uint64_t now_ms = s.manual_ms.load();
        timer->next_ms = timer->periodic ? (now_ms + delay + delay - 1) / delay * delay : now_ms + delay;
    } else {
        // Deadlines fall on whole milliseconds of timeGetTime. A periodic timer ticks on the multiples of
        // its period, so that a caller can put its own times on the same grid; a one-shot timer fires
        // delay ms after the next whole millisecond.
        const uint64_t offset = s.offset_ms.load(std::memory_order_relaxed);
        const uint64_t now_ms = MonotonicNs() / kNsPerMs + offset;
        uint64_t first_ms = now_ms + 1 + delay;
        if (timer->periodic) first_ms = (now_ms + delay + delay - 1) / delay * delay;
        if (first_ms <= now_ms) first_ms += delay;
        try {
            timer->thread = std::thread(RunTimerThread, timer, (first_ms - offset) * kNsPerMs);
        } catch (const std::system_error&) {
            return 0;
        }
        timer->thread_id = timer->thread.get_id();
    }
    s.timers[timer->id] = timer;
    return timer->id;
}

MMRESULT timeKillEvent(UINT id) {
    ClockState& s = State();
    std::shared_ptr<Timer> timer;
    {
        std::lock_guard<std::mutex> lock(s.mu);
        auto it = s.timers.find(id);
        if (it == s.timers.end()) return MMSYSERR_INVALPARAM;
        timer = it->second;
        s.timers.erase(it);
    }
    timer->stop.store(true, std::memory_order_release);
    if (timer->thread.joinable()) {
        if (timer->thread_id == std::this_thread::get_id()) {
            timer->thread.detach();  // killed from its own callback: the thread ends after it returns
        } else {
            timer->thread.join();
        }
    }
    return TIMERR_NOERROR;
}

namespace qsm::mm {

void UseManualClock(DWORD start_ms) {
    ClockState& s = State();
    s.manual_ms.store(start_ms);
    s.manual.store(true, std::memory_order_release);
}

void UseRealClock() {
    State().manual.store(false, std::memory_order_release);
}

bool IsManualClock() {
    return State().manual.load(std::memory_order_acquire);
}

void SetClockOffset(DWORD offset_ms) {
    State().offset_ms.store(offset_ms);
}

uint64_t NowMicros() {
    ClockState& s = State();
    if (s.manual.load(std::memory_order_acquire)) return s.manual_ms.load() * 1000;
    return MonotonicNs() / 1000 + s.offset_ms.load(std::memory_order_relaxed) * 1000;
}

int GetTimerPeriodBalance() {
    return State().period_balance.load();
}

void SetClockStepHook(std::function<void()> hook) {
    ClockState& s = State();
    std::lock_guard<std::mutex> lock(s.mu);
    s.step_hook = std::move(hook);
}

void AdvanceClock(DWORD ms) {
    ClockState& s = State();
    std::lock_guard<std::mutex> advance(s.advance_mu);
    for (DWORD step = 0; step < ms; ++step) {
        uint64_t now = s.manual_ms.fetch_add(1) + 1;
        std::vector<std::shared_ptr<Timer>> due;
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> lock(s.mu);
            for (auto& entry : s.timers) {
                if (entry.second->next_ms <= now) due.push_back(entry.second);
            }
            hook = s.step_hook;
        }
        for (auto& timer : due) {
            if (timer->stop.load()) continue;
            timer->next_ms += timer->period;
            timer->proc(timer->id, 0, timer->user, 0, 0);
            if (!timer->periodic) timeKillEvent(timer->id);
        }
        if (hook) hook();
    }
}

}  // namespace qsm::mm
