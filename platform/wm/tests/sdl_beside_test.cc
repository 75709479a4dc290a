// A program's start on a real display (CTest runs it under Xvfb): SDL starts on a thread of its own while the
// program makes and shows its first window; the screen's metrics are answered meanwhile as SDL answers them
// later, a post from another thread wakes the loop whenever it comes, and the window comes on the screen once
// SDL runs.
#include <cairo.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/real_clock_loop.h"
#include "platform/wm/tests/shot_util.h"
#include "platform/wm/winuser.h"

namespace qsm::wm {
namespace {

LRESULT PaintProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT r;
        GetClientRect(h, &r);
        HBRUSH brush = CreateSolidBrush(RGB(200, 40, 90));
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        EndPaint(h, &ps);
        return 0;
    }
    return DefWindowProcA(h, msg, wparam, lparam);
}

TEST(SdlBesideTest, AWindowShownWhileSdlStartsComesOnTheScreen) {
    if (std::getenv("DISPLAY") == nullptr || !InstallSdlBackendBeside(nullptr))
        GTEST_SKIP() << "no X display";
    const SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT work = CurrentBackend().WorkArea();
    EXPECT_GT(screen.cx, 0);
    EXPECT_GT(screen.cy, 0);

    WNDCLASSA wc{};
    wc.lpfnWndProc = PaintProc;
    wc.lpszClassName = "SdlBesideWindow";
    RegisterClassA(&wc);
    HWND top = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "SdlBesideWindow", "", WS_POPUP | WS_VISIBLE,
                               30, 40, 160, 120, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(top, nullptr);
    std::atomic<bool> got{false};
    const UINT ping = RegisterWindowMessageA("SdlBesidePing");
    std::thread poster([&] { PostMessageA(top, ping, 0, 0); });
    MSG m;
    while (!got && GetMessageA(&m, nullptr, 0, 0)) {
        if (m.message == ping) got = true;
        DispatchMessageA(&m);
    }
    poster.join();
    EXPECT_TRUE(got);

    long differing = -1;
    EXPECT_TRUE(RunUntil([&] {
        differing = qsm::shot::DifferingOnScreen(top);
        return differing == 0;
    })) << differing;
    // SDL, running now, answers as the X server did.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screen.cx);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), screen.cy);
    const RECT now = CurrentBackend().WorkArea();
    EXPECT_TRUE(EqualRect(&now, &work));

    ResetForTests();
    RemoveSdlBackend();
}

}  // namespace
}  // namespace qsm::wm
