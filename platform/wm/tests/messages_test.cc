// Messages and their order: creation, showing, activation, focus, destruction, posting from other threads,
// sending across threads, registered messages, timers, quitting.
#include <atomic>
#include <thread>

#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

using Msgs = std::vector<UINT>;

class MessagesTest : public WmTest {};

TEST_F(MessagesTest, CreationAndShowingSendTheirMessagesInOrder) {
    Rec().only = {WM_GETMINMAXINFO, WM_NCCREATE,   WM_NCCALCSIZE,        WM_CREATE,           WM_SIZE,
                  WM_MOVE,          WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_ACTIVATEAPP,
                  WM_NCACTIVATE,    WM_ACTIVATE,   WM_SETFOCUS,          WM_NCPAINT,          WM_ERASEBKGND,
                  WM_PAINT};
    HWND top = MakeTop(10, 20, 300, 200);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(Rec().Messages(), (Msgs{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE,
                                      WM_MOVE, WM_SHOWWINDOW, WM_WINDOWPOSCHANGING, WM_ACTIVATEAPP,
                                      WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS, WM_WINDOWPOSCHANGED}));
    EXPECT_EQ(GetActiveWindow(), top);
    EXPECT_EQ(GetFocus(), top);
    Rec().Clear();
    PumpMessages();
    EXPECT_EQ(Rec().Messages(), (Msgs{WM_PAINT, WM_NCPAINT, WM_ERASEBKGND}));

    // The client area is the window less its frame and caption.
    RECT wr, cr;
    GetWindowRect(top, &wr);
    GetClientRect(top, &cr);
    EXPECT_EQ(wr.right - wr.left, 300);
    EXPECT_EQ(cr.right, 300 - 2 * GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(cr.bottom, 200 - 2 * GetSystemMetrics(SM_CYFRAME) - GetSystemMetrics(SM_CYCAPTION));
    POINT p{0, 0};
    ClientToScreen(top, &p);
    EXPECT_EQ(p.x, 10 + GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(p.y, 20 + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
}

TEST_F(MessagesTest, SizeAndMoveComeFromTheDefaultPositionChangeHandling) {
    HWND top = MakeTop(0, 0, 200, 100, WS_POPUP | WS_VISIBLE);
    HWND child = MakeChild(top, 5, 10, 10, 50, 40);
    Rec().Clear();
    Rec().only = {WM_SIZE, WM_MOVE, WM_WINDOWPOSCHANGED};
    MoveWindow(child, 20, 10, 50, 40, TRUE);
    EXPECT_EQ(Rec().Messages(child), (Msgs{WM_WINDOWPOSCHANGED, WM_MOVE}));
    Rec().Clear();
    SetWindowPos(child, nullptr, 0, 0, 70, 40, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(Rec().Messages(child), (Msgs{WM_WINDOWPOSCHANGED, WM_SIZE}));
    EXPECT_EQ(Rec().log[1].lparam, MAKELPARAM(70, 40));
    // A window that handles the change itself gets neither.
    Rec().Clear();
    Rec().answer = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        *r = 0;
        return m == WM_WINDOWPOSCHANGED;
    };
    MoveWindow(child, 0, 0, 10, 10, TRUE);
    EXPECT_EQ(Rec().Messages(child), (Msgs{WM_WINDOWPOSCHANGED}));
}

TEST_F(MessagesTest, DestroyingGoesParentFirstThenReleasesChildrenFirst) {
    HWND top = MakeTop(0, 0, 200, 100, WS_POPUP | WS_VISIBLE);
    HWND owned = MakeTop(10, 10, 50, 50, WS_POPUP | WS_VISIBLE, 0, top);
    HWND child = MakeChild(top, 1, 0, 0, 10, 10);
    HWND grandchild = MakeChild(child, 2, 0, 0, 5, 5);
    Rec().Clear();
    Rec().only = {WM_DESTROY, WM_NCDESTROY};
    EXPECT_TRUE(DestroyWindow(top));
    std::vector<std::pair<HWND, UINT>> got;
    for (auto& l : Rec().log)
        got.push_back({l.hwnd, l.msg});
    std::vector<std::pair<HWND, UINT>> want{
        {owned, WM_DESTROY},      {owned, WM_NCDESTROY},      {top, WM_DESTROY},     {child, WM_DESTROY},
        {grandchild, WM_DESTROY}, {grandchild, WM_NCDESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}};
    EXPECT_EQ(got, want);
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(grandchild));
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(MessagesTest, CreateFailsWhenTheWindowRefusesAndForUnknownClasses) {
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(
        CreateWindowExA(0, RecorderClass(), "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    Rec().answer = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (m != WM_CREATE) return false;
        *r = -1;
        return true;
    };
    Rec().only = {WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(MakeTop(0, 0, 10, 10), nullptr);
    EXPECT_EQ(Rec().Messages(), (Msgs{WM_DESTROY, WM_NCDESTROY}));
}

TEST_F(MessagesTest, RetrievalOrderIsPostedThenInputThenPaintThenTimers) {
    SetManualClock(true, 1000);
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
    PumpMessages();
    SetTimer(top, 1, 10, nullptr);
    AdvanceClock(10);
    InvalidateRect(top, nullptr, FALSE);
    InputMouseMove(5, 5);
    PostMessageA(top, WM_USER, 0, 0);
    Rec().Clear();
    Rec().only = {WM_USER, WM_MOUSEMOVE, WM_PAINT, WM_TIMER};
    PumpMessages();
    EXPECT_EQ(Rec().Messages(), (Msgs{WM_USER, WM_MOUSEMOVE, WM_PAINT, WM_TIMER}));
}

TEST_F(MessagesTest, TimersFireOnTheManualClockWithoutPilingUp) {
    SetManualClock(true, 5000);
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP);
    Rec().only = {WM_TIMER};
    Rec().Clear();
    EXPECT_NE(SetTimer(top, 1, 70, nullptr), 0u);
    AdvanceClock(69);
    PumpMessages();
    EXPECT_EQ(Rec().Count(WM_TIMER), 0);
    AdvanceClock(1);
    PumpMessages();
    ASSERT_EQ(Rec().Count(WM_TIMER), 1);
    EXPECT_EQ(Rec().log[0].wparam, 1u);
    AdvanceClock(700);  // a late queue sees one timer message, not ten
    PumpMessages();
    EXPECT_EQ(Rec().Count(WM_TIMER), 2);
    EXPECT_EQ(GetTickCount(), 5770u);
    // Setting the same id again restarts it; killing stops it.
    SetTimer(top, 1, 100, nullptr);
    AdvanceClock(99);
    PumpMessages();
    EXPECT_EQ(Rec().Count(WM_TIMER), 2);
    EXPECT_TRUE(KillTimer(top, 1));
    EXPECT_FALSE(KillTimer(top, 1));
    AdvanceClock(1000);
    PumpMessages();
    EXPECT_EQ(Rec().Count(WM_TIMER), 2);
}

TEST_F(MessagesTest, TimersDieWithTheirWindow) {
    SetManualClock(true, 0);
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP);
    SetTimer(top, 7, 10, nullptr);
    DestroyWindow(top);
    AdvanceClock(50);
    EXPECT_EQ(PumpMessages(), 0);
}

int g_proc_calls = 0;
void CountingTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    ++g_proc_calls;
}

TEST_F(MessagesTest, ThreadTimersCallTheirProcedure) {
    SetManualClock(true, 0);
    g_proc_calls = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 20, CountingTimerProc);
    ASSERT_NE(id, 0u);
    AdvanceClock(20);
    PumpMessages();
    EXPECT_EQ(g_proc_calls, 1);
    EXPECT_TRUE(KillTimer(nullptr, id));
}

TEST_F(MessagesTest, QuitEndsGetMessageAfterThePostedMessages) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP);
    PumpMessages();
    PostMessageA(top, WM_USER, 0, 0);
    PostQuitMessage(3);
    MSG m;
    EXPECT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER));
    EXPECT_FALSE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(m.wParam, 3u);
}

TEST_F(MessagesTest, PeekFiltersByWindowAndRange) {
    HWND a = MakeTop(0, 0, 100, 100, WS_POPUP);
    HWND b = MakeTop(0, 0, 100, 100, WS_POPUP);
    PumpMessages();
    PostMessageA(a, WM_USER + 1, 0, 0);
    PostMessageA(b, WM_USER + 2, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(m.hwnd, b);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.hwnd, a);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, MessagesForDestroyedWindowsAreDropped) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP);
    PumpMessages();
    PostMessageA(top, WM_USER, 0, 0);
    DestroyWindow(top);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, WindowTextAndLongs) {
    HWND top = MakeTop(0, 0, 100, 100, WS_POPUP);
    EXPECT_TRUE(SetWindowTextA(top, "Hello"));
    char buf[4];
    EXPECT_EQ(GetWindowTextA(top, buf, sizeof buf), 3);
    EXPECT_STREQ(buf, "Hel");
    EXPECT_EQ(GetWindowTextLengthA(top), 5);
    EXPECT_EQ(SetWindowLongPtrA(top, 8, 1234), 0);
    EXPECT_EQ(GetWindowLongPtrA(top, 8), 1234);
    EXPECT_EQ(GetWindowLongPtrA(top, 64), 0);  // past the extra bytes
    EXPECT_TRUE(GetWindowLongA(top, GWL_STYLE) & static_cast<LONG>(WS_POPUP));
    char name[32];
    EXPECT_GT(GetClassNameA(top, name, sizeof name), 0);
    EXPECT_STREQ(name, RecorderClass());
    EXPECT_TRUE(SetPropA(top, "k", reinterpret_cast<HANDLE>(7)));
    EXPECT_EQ(GetPropA(top, "k"), reinterpret_cast<HANDLE>(7));
    EXPECT_EQ(RemovePropA(top, "k"), reinterpret_cast<HANDLE>(7));
    EXPECT_EQ(GetPropA(top, "k"), nullptr);
}

TEST_F(MessagesTest, PlacementRemembersTheNormalRectangleOfAMaximizedWindow) {
    HWND top = MakeTop(40, 30, 300, 200);
    PumpMessages();
    ShowWindow(top, SW_MAXIMIZE);
    PumpMessages();
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    ASSERT_TRUE(GetWindowPlacement(top, &wp));
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(wp.rcNormalPosition.left, 40);
    EXPECT_EQ(wp.rcNormalPosition.right, 340);
    RECT r{};
    GetWindowRect(top, &r);
    EXPECT_GT(r.right - r.left, 300);
    // Restored through a placement: the rectangle given, not the maximized one.
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{10, 20, 210, 170};
    ASSERT_TRUE(SetWindowPlacement(top, &wp));
    GetWindowRect(top, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.bottom, 170);
    ASSERT_TRUE(GetWindowPlacement(top, &wp));
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWNORMAL));

    // A hidden window given a maximized placement (a frame starting as it was left) shows maximized and
    // later restores to the saved rectangle.
    HWND other = MakeTop(0, 0, 100, 100, WS_OVERLAPPEDWINDOW);
    wp.showCmd = SW_SHOWMAXIMIZED;
    wp.rcNormalPosition = RECT{50, 60, 250, 210};
    ASSERT_TRUE(SetWindowPlacement(other, &wp));
    EXPECT_TRUE(IsWindowVisible(other));
    EXPECT_TRUE(IsZoomed(other));
    ShowWindow(other, SW_RESTORE);
    GetWindowRect(other, &r);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(r.right, 250);
}

TEST_F(MessagesTest, SetParentMovesAWindowBetweenParentsAndRefusesLoops) {
    HWND top = MakeTop(0, 0, 300, 200, WS_POPUP | WS_VISIBLE);
    HWND left = MakeChild(top, 1, 0, 0, 100, 200);
    HWND right = MakeChild(top, 2, 200, 0, 100, 200);
    HWND bar = MakeChild(left, 3, 5, 5, 50, 20);
    PumpMessages();
    EXPECT_EQ(SetParent(bar, right), left);
    EXPECT_EQ(GetParent(bar), right);
    EXPECT_TRUE(IsChild(right, bar));
    EXPECT_FALSE(IsChild(left, bar));
    EXPECT_TRUE(IsWindowVisible(bar));
    // The same place in the new parent's client area.
    RECT r{};
    GetWindowRect(bar, &r);
    EXPECT_EQ(r.left, 205);
    EXPECT_EQ(r.top, 5);
    EXPECT_EQ(WindowFromPoint(POINT{210, 10}), bar);
    EXPECT_EQ(GetWindow(left, GW_CHILD), nullptr);
    // A window cannot become a child of its own descendant.
    EXPECT_EQ(SetParent(right, bar), nullptr);
    EXPECT_EQ(GetParent(right), top);
    // Destroying the new parent takes the window with it.
    DestroyWindow(right);
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_TRUE(IsWindow(left));
}

}  // namespace
}  // namespace qsm::wm::testing
