// The window manager's queue: 10,000 messages posted from another thread and dispatched on the window
// thread, and what a waiting window loop costs in processor time (a window timer of 100 ms running, as the
// player's is).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"

namespace {

std::atomic<int> g_count{0};

LRESULT CountingProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_APP) {
        g_count.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    return DefWindowProcA(h, msg, w, l);
}

HWND MakeWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = CountingProc;
        wc.lpszClassName = "WmBench";
        RegisterClassA(&wc);
        registered = true;
    }
    return CreateWindowExA(0, "WmBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                           nullptr, nullptr);
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_PostedFromAnotherThread(benchmark::State& state) {
    qsm::wm::ResetForTests();
    HWND hwnd = MakeWindow();
    qsm::wm::PumpMessages();
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        g_count = 0;
        auto start = std::chrono::steady_clock::now();
        std::thread poster([&] {
            for (int i = 0; i < n; ++i)
                PostMessageA(hwnd, WM_APP, static_cast<WPARAM>(i), 0);
        });
        MSG m;
        while (g_count.load(std::memory_order_relaxed) < n && GetMessageA(&m, nullptr, 0, 0)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        auto end = std::chrono::steady_clock::now();
        poster.join();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["messages"] = n;
    DestroyWindow(hwnd);
}
BENCHMARK(BM_PostedFromAnotherThread)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_IdleLoop(benchmark::State& state) {
    qsm::wm::ResetForTests();
    HWND hwnd = MakeWindow();
    SetTimer(hwnd, 1, 100, nullptr);
    qsm::wm::PumpMessages();
    const auto span = std::chrono::milliseconds(state.range(0));
    double cpu_percent = 0;
    for (auto _ : state) {
        std::thread quitter([&] {
            std::this_thread::sleep_for(span);
            PostMessageA(hwnd, WM_QUIT, 0, 0);
        });
        double cpu0 = ThreadCpuSeconds();
        auto start = std::chrono::steady_clock::now();
        MSG m;
        while (GetMessageA(&m, nullptr, 0, 0) && m.message != WM_QUIT) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        double cpu = ThreadCpuSeconds() - cpu0;
        quitter.join();
        cpu_percent = 100.0 * cpu / wall;
        state.SetIterationTime(wall);
    }
    state.counters["cpu_percent_of_a_core"] = cpu_percent;
    DestroyWindow(hwnd);
}
BENCHMARK(BM_IdleLoop)->Arg(2000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
