// Posting and sending across threads, and registered messages; these also run under ThreadSanitizer.
#include <atomic>
#include <thread>

#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

class ThreadsTest : public WmTest {};

TEST_F(ThreadsTest, PostedMessagesFromAnotherThreadArriveInOrder) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP);
    UINT seq = RegisterWindowMessageA("QSMMidiSeq");
    Rec().only = {seq};
    Rec().Clear();
    std::thread t([&] {
        for (int i = 0; i < 1000; ++i)
            ASSERT_TRUE(PostMessageA(top, seq, static_cast<WPARAM>(i), 0));
    });
    t.join();
    PumpMessages();
    ASSERT_EQ(Rec().log.size(), 1000u);
    for (size_t i = 0; i < 1000; ++i)
        EXPECT_EQ(Rec().log[i].wparam, i);
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(static_cast<uintptr_t>(0x12345678)), seq, 0, 0));
}

TEST_F(ThreadsTest, GetMessageWakesForAPostFromAnotherThread) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP);
    PumpMessages();
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostMessageA(top, WM_USER + 7, 42, 0);
    });
    MSG m;
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    t.join();
    EXPECT_EQ(m.hwnd, top);
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 7));
    EXPECT_EQ(m.wParam, 42u);
}

TEST_F(ThreadsTest, WaitMessageWithoutTimersSleepsUntilWorkArrives) {
    // An idle loop must not spin: with no timer and nothing queued, the wait lasts until the post.
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP);
    PumpMessages();
    std::atomic<bool> posted{false};
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        posted = true;
        PostMessageA(top, WM_USER + 8, 0, 0);
    });
    WaitMessage();
    EXPECT_TRUE(posted);
    t.join();
    PumpMessages();
}

TEST_F(ThreadsTest, SendMessageFromAnotherThreadRunsOnTheWindowThread) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP);
    std::thread::id window_thread = std::this_thread::get_id();
    std::atomic<bool> ran_on_window_thread{false};
    Rec().answer = [&](HWND, UINT m, WPARAM w, LPARAM, LRESULT* r) {
        if (m != WM_USER + 1) return false;
        ran_on_window_thread = std::this_thread::get_id() == window_thread;
        *r = static_cast<LRESULT>(w * 2);
        return true;
    };
    std::atomic<LRESULT> result{0};
    std::atomic<bool> done{false};
    std::thread t([&] {
        result = SendMessageA(top, WM_USER + 1, 21, 0);
        done = true;
    });
    MSG m;
    while (!done) {
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        std::this_thread::yield();
    }
    t.join();
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(ran_on_window_thread);
}

TEST_F(ThreadsTest, RegisteredMessagesAreStablePerNameIgnoringCase) {
    UINT a = RegisterWindowMessageA("QSINIT");
    UINT b = RegisterWindowMessageA("qsinit");
    UINT c = RegisterWindowMessageA("QSSW_GETCOLTEXT");
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_GE(a, 0xC000u);
    EXPECT_LE(c, 0xFFFFu);
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
    // From several threads at once: one id per name.
    std::vector<std::thread> ts;
    std::vector<UINT> ids(8);
    for (int i = 0; i < 8; ++i)
        ts.emplace_back([&, i] { ids[static_cast<size_t>(i)] = RegisterWindowMessageA("Shared.Name"); });
    for (auto& t : ts)
        t.join();
    for (UINT id : ids)
        EXPECT_EQ(id, ids[0]);
}

}  // namespace
}  // namespace qsm::wm::testing
