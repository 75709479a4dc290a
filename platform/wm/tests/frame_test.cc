// The default frame of top-level windows: the hit codes of its parts, moving by the caption and sizing by
// the edges (also from a child's size grip), the close box; the Z-order bands of topmost windows and owned
// popups; the application's loop hooks inside a modal dialog's loop.
#include <string>

#include "platform/wm/dialog_template.h"
#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

class FrameTest : public WmTest {
protected:
    void SetUp() override {
        WmTest::SetUp();
        SetManualClock(true, 1000);
        // A window under all others, so that the pointer is over a window wherever a drag takes it.
        desk_ = MakeTop(0, 0, 1024, 768, WS_POPUP | WS_VISIBLE);
        SetWindowPos(desk_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    static RECT WindowRect(HWND h) {
        RECT r{};
        GetWindowRect(h, &r);
        return r;
    }
    static LRESULT Hit(HWND h, int x, int y) { return SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(x, y)); }
    // The close box: the rightmost point on the caption's middle row that answers HTCLOSE.
    static POINT CloseBox(HWND h) {
        RECT r = WindowRect(h);
        RECT c{};
        GetClientRect(h, &c);
        POINT origin{0, 0};
        ClientToScreen(h, &origin);
        int y = (r.top + origin.y) / 2;
        for (int x = r.right - 1; x > r.left; --x)
            if (Hit(h, x, y) == HTCLOSE) return POINT{x - 3, y};
        return POINT{-1, -1};
    }
    // A press at `from`, two pointer steps and the release at `to`, all queued before the loop runs.
    static void Drag(POINT from, POINT to) {
        InputMouseMove(from.x, from.y);
        InputMouseButton(0, true);
        InputMouseMove((from.x + to.x) / 2, (from.y + to.y) / 2);
        InputMouseMove(to.x, to.y);
        InputMouseButton(0, false);
        PumpMessages();
        AdvanceClock(1000);  // the next press is no double click
    }
    HWND desk_ = nullptr;
};

TEST_F(FrameTest, ThePartsOfTheFrameAnswerTheirHitCodes) {
    HWND w = MakeTop(100, 100, 300, 200);
    PumpMessages();
    RECT r = WindowRect(w);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    ASSERT_GT(origin.y - r.top, 10);  // a caption above the client area
    int midx = (r.left + r.right) / 2, midy = (r.top + r.bottom) / 2;
    EXPECT_EQ(Hit(w, midx, midy), HTCLIENT);
    EXPECT_EQ(Hit(w, midx, (r.top + origin.y) / 2), HTCAPTION);
    EXPECT_EQ(Hit(w, r.left, midy), HTLEFT);
    EXPECT_EQ(Hit(w, r.right - 1, midy), HTRIGHT);
    EXPECT_EQ(Hit(w, midx, r.top), HTTOP);
    EXPECT_EQ(Hit(w, midx, r.bottom - 1), HTBOTTOM);
    EXPECT_EQ(Hit(w, r.left, r.top), HTTOPLEFT);
    EXPECT_EQ(Hit(w, r.right - 1, r.top + 1), HTTOPRIGHT);
    EXPECT_EQ(Hit(w, r.left + 1, r.bottom - 1), HTBOTTOMLEFT);
    EXPECT_EQ(Hit(w, r.right - 1, r.bottom - 1), HTBOTTOMRIGHT);
    EXPECT_EQ(Hit(w, r.right, midy), HTNOWHERE);
    POINT close = CloseBox(w);
    EXPECT_GT(close.x, midx);
    EXPECT_EQ(Hit(w, close.x, close.y), HTCLOSE);
    // Without a thick frame the edges are a plain border.
    HWND fixed = MakeTop(500, 100, 200, 100, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    RECT f = WindowRect(fixed);
    EXPECT_EQ(Hit(fixed, f.left, (f.top + f.bottom) / 2), HTBORDER);
    EXPECT_EQ(Hit(fixed, f.right - 1, f.bottom - 1), HTBORDER);
}

TEST_F(FrameTest, TheCaptionMovesTheWindowAndTheEdgesSizeItWithinItsTrackingLimits) {
    HWND w = MakeTop(100, 100, 300, 200);
    PumpMessages();
    RECT r = WindowRect(w);
    POINT origin{0, 0};
    ClientToScreen(w, &origin);
    POINT caption{(r.left + r.right) / 2, (r.top + origin.y) / 2};
    Rec().Clear();
    Rec().only = {WM_MOVE, WM_SIZE};
    // Every queued step counts, also those queued before the move loop took the pointer.
    Drag(caption, POINT{caption.x + 40, caption.y + 25});
    RECT moved = WindowRect(w);
    EXPECT_EQ(moved.left, r.left + 40);
    EXPECT_EQ(moved.top, r.top + 25);
    EXPECT_EQ(moved.right - moved.left, 300);
    EXPECT_GE(Rec().Count(WM_MOVE, w), 1);
    EXPECT_EQ(Rec().Count(WM_SIZE, w), 0);
    EXPECT_EQ(GetCapture(), nullptr);

    // The bottom-right corner sizes; the top-left stays.
    Drag(POINT{moved.right - 1, moved.bottom - 1}, POINT{moved.right + 29, moved.bottom + 19});
    RECT sized = WindowRect(w);
    EXPECT_EQ(sized.left, moved.left);
    EXPECT_EQ(sized.top, moved.top);
    EXPECT_EQ(sized.right - sized.left, 330);
    EXPECT_EQ(sized.bottom - sized.top, 220);
    EXPECT_GE(Rec().Count(WM_SIZE, w), 1);

    // The left edge dragged far to the right stops at the window's minimum tracking width, its right edge
    // where it was.
    Rec().answer = [&](HWND h, UINT m, WPARAM, LPARAM l, LRESULT* res) {
        if (h != w || m != WM_GETMINMAXINFO) return false;
        reinterpret_cast<MINMAXINFO*>(l)->ptMinTrackSize = POINT{200, 150};
        *res = 0;
        return true;
    };
    int midy = (sized.top + sized.bottom) / 2;
    Drag(POINT{sized.left, midy}, POINT{sized.left + 250, midy});
    RECT narrow = WindowRect(w);
    EXPECT_EQ(narrow.right, sized.right);
    EXPECT_EQ(narrow.right - narrow.left, 200);

    // Escape during a move puts the window back.
    InputMouseMove(caption.x + 40, caption.y + 25);
    InputMouseButton(0, true);
    InputMouseMove(caption.x + 90, caption.y + 85);
    PressKey(VK_ESCAPE);
    InputMouseMove(caption.x + 120, caption.y + 95);
    InputMouseButton(0, false);
    PumpMessages();
    RECT back = WindowRect(w);
    EXPECT_EQ(back.left, narrow.left);
    EXPECT_EQ(back.top, narrow.top);
}

TEST_F(FrameTest, AChildsSizeGripSizesItsTopLevelWindowUnlessThatIsMaximizedOrFixed) {
    HWND top = MakeTop(50, 50, 300, 200);
    RECT c{};
    GetClientRect(top, &c);
    HWND grip = MakeChild(top, 7, c.right - 16, c.bottom - 16, 16, 16);
    Rec().answer = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* res) {
        if (m != WM_NCHITTEST || GetParent(h) == nullptr) return false;
        *res = HTBOTTOMRIGHT;
        return true;
    };
    PumpMessages();
    RECT g = WindowRect(grip);
    POINT p{g.left + 8, g.top + 8};
    Drag(p, POINT{p.x + 20, p.y + 10});
    RECT r = WindowRect(top);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 210);

    ShowWindow(top, SW_MAXIMIZE);
    PumpMessages();
    RECT max = WindowRect(top);
    g = WindowRect(grip);
    p = POINT{g.left + 8, g.top + 8};
    Drag(p, POINT{p.x - 30, p.y - 30});
    RECT still = WindowRect(top);
    EXPECT_EQ(still.right - still.left, max.right - max.left);
    EXPECT_EQ(still.bottom - still.top, max.bottom - max.top);

    HWND fixed = MakeTop(400, 300, 200, 150, WS_POPUP | WS_CAPTION | WS_VISIBLE);
    HWND grip2 = MakeChild(fixed, 8, 0, 0, 16, 16);
    PumpMessages();
    g = WindowRect(grip2);
    p = POINT{g.left + 8, g.top + 8};
    Drag(p, POINT{p.x + 40, p.y + 40});
    RECT f = WindowRect(fixed);
    EXPECT_EQ(f.right - f.left, 200);
    EXPECT_EQ(f.bottom - f.top, 150);
}

TEST_F(FrameTest, TheCloseBoxClosesOnlyWhenReleasedOverIt) {
    HWND w = MakeTop(100, 100, 300, 200);
    PumpMessages();
    POINT close = CloseBox(w);
    ASSERT_GE(close.x, 0);
    Rec().only = {WM_CLOSE};
    Drag(close, POINT{close.x - 100, close.y + 50});  // pressed, then left
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(Rec().Count(WM_CLOSE, w), 0);
    Drag(close, POINT{close.x + 1, close.y});
    EXPECT_EQ(Rec().Count(WM_CLOSE, w), 1);
    EXPECT_FALSE(IsWindow(w));  // the default answer to WM_CLOSE
}

// The pixel of a window's caption just right of its left end, and of its sizing border.
COLORREF CaptionPixel(HWND h) {
    HDC dc = GetWindowDC(h);
    int f = GetSystemMetrics(SM_CXFRAME);
    COLORREF c = GetPixel(dc, f + 1, f + GetSystemMetrics(SM_CYCAPTION) / 2);
    ReleaseDC(h, dc);
    return c;
}
COLORREF BorderPixel(HWND h) {
    HDC dc = GetWindowDC(h);
    COLORREF c = GetPixel(dc, GetSystemMetrics(SM_CXFRAME) - 1, 100);
    ReleaseDC(h, dc);
    return c;
}

TEST_F(FrameTest, TheCaptionAndBorderShowWhichWindowIsActive) {
    const COLORREF active = GetSysColor(COLOR_ACTIVECAPTION), inactive = GetSysColor(COLOR_INACTIVECAPTION);
    ASSERT_NE(active, inactive);
    const COLORREF active_border = GetSysColor(COLOR_ACTIVEBORDER);
    const COLORREF inactive_border = GetSysColor(COLOR_INACTIVEBORDER);
    HWND a = MakeTop(100, 100, 300, 200);
    HWND b = MakeTop(500, 100, 300, 200);
    SetWindowTextA(a, "");
    SetWindowTextA(b, "");
    PumpMessages();
    ASSERT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(CaptionPixel(b), active);
    EXPECT_EQ(CaptionPixel(a), inactive);
    if (active_border != inactive_border) {
        EXPECT_EQ(BorderPixel(b), active_border);
        EXPECT_EQ(BorderPixel(a), inactive_border);
    }

    // Activating by a click on the client area, then by SetActiveWindow: both frames change each time.
    Click(250, 250);
    PumpMessages();
    ASSERT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(CaptionPixel(a), active);
    EXPECT_EQ(CaptionPixel(b), inactive);
    SetActiveWindow(b);
    PumpMessages();
    EXPECT_EQ(CaptionPixel(b), active);
    EXPECT_EQ(CaptionPixel(a), inactive);

    // A window shown without activation leaves the active one's caption as it is, and is drawn inactive.
    HWND c = MakeTop(100, 400, 300, 200, WS_OVERLAPPEDWINDOW);
    SetWindowTextA(c, "");
    ShowWindow(c, SW_SHOWNOACTIVATE);
    PumpMessages();
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(CaptionPixel(b), active);
    EXPECT_EQ(CaptionPixel(c), inactive);

    // When the active window goes, the one that takes over is drawn active.
    DestroyWindow(b);
    PumpMessages();
    HWND now = GetActiveWindow();
    ASSERT_TRUE(now == a || now == c);
    EXPECT_EQ(CaptionPixel(now), active);
    EXPECT_EQ(CaptionPixel(now == a ? c : a), inactive);
}

TEST_F(FrameTest, TopmostWindowsStayAboveAndOwnedPopupsAboveTheirOwner) {
    HWND a = MakeTop(0, 0, 200, 200, WS_POPUP | WS_VISIBLE);
    HWND tip = MakeTop(50, 50, 40, 40, WS_POPUP | WS_VISIBLE, WS_EX_TOPMOST);
    HWND b = MakeTop(20, 20, 200, 200, WS_POPUP | WS_VISIBLE);
    HWND owned = MakeTop(150, 150, 40, 40, WS_POPUP | WS_VISIBLE, 0, a);
    PumpMessages();
    EXPECT_EQ(WindowFromPoint(POINT{60, 60}), tip);  // created before b, still above it
    EXPECT_EQ(WindowFromPoint(POINT{30, 30}), b);
    // Raising the owner raises what it owns above it; the topmost band stays on top.
    SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(WindowFromPoint(POINT{30, 30}), a);
    EXPECT_EQ(WindowFromPoint(POINT{160, 160}), owned);
    EXPECT_EQ(WindowFromPoint(POINT{60, 60}), tip);
    Click(210, 210);  // activating b by a click raises it, still under the topmost window
    PumpMessages();
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(WindowFromPoint(POINT{160, 160}), b);
    EXPECT_EQ(WindowFromPoint(POINT{60, 60}), tip);
    // A topmost window sent to the bottom is no longer topmost.
    SetWindowPos(tip, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_FALSE(GetWindowLongA(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(WindowFromPoint(POINT{60, 60}), b);
    SetWindowPos(b, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(WindowFromPoint(POINT{60, 60}), a);
    SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_TRUE(GetWindowLongA(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(WindowFromPoint(POINT{60, 60}), tip);

    // Children: each new one goes below its siblings (the order of a dialog's controls); HWND_TOP and
    // HWND_BOTTOM move one up and down.
    HWND first = MakeChild(a, 1, 0, 0, 50, 50);
    HWND second = MakeChild(a, 2, 25, 25, 50, 50);
    EXPECT_EQ(ChildWindowFromPoint(a, POINT{30, 30}), first);
    SetWindowPos(second, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(ChildWindowFromPoint(a, POINT{30, 30}), second);
    SetWindowPos(second, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(ChildWindowFromPoint(a, POINT{30, 30}), first);
}

const char kAskDialog[] = R"(dialog 0 0 120 60 "Ask"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION
edittext 101 5 5 100 12 WS_TABSTOP
defpushbutton "OK" 1 10 40 40 14 WS_TABSTOP
pushbutton "Cancel" 2 60 40 40 14 WS_TABSTOP
)";

struct HookRun {
    std::vector<std::string> log;
    HWND dialog = nullptr;
    std::string text;
};
HookRun* g_hooks = nullptr;

INT_PTR AskProc(HWND h, UINT msg, WPARAM wparam, LPARAM) {
    if (msg == WM_INITDIALOG) {
        g_hooks->dialog = h;
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wparam) == IDCANCEL) {
        char buf[32] = "";
        GetDlgItemTextA(h, 101, buf, sizeof buf);
        g_hooks->text = buf;
        EndDialog(h, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

TEST_F(FrameTest, ADialogsLoopRunsThePreTranslateAndIdlePassesAndTellsItsOwner) {
    HookRun run;
    g_hooks = &run;
    HWND owner = MakeTop(0, 0, 400, 300);
    PumpMessages();
    Rec().only = {WM_ENTERIDLE};
    Rec().answer = [&](HWND h, UINT m, WPARAM wparam, LPARAM l, LRESULT*) {
        if (h == owner && m == WM_ENTERIDLE)
            run.log.push_back("enteridle " + std::to_string(wparam) +
                              (reinterpret_cast<HWND>(l) == run.dialog ? " dialog" : " other"));
        return false;
    };
    LoopHooks hooks;
    // The pre-translate pass takes every press of Z, so no character comes of it.
    hooks.pre_translate = [&](MSG& m) {
        if (m.message != WM_KEYDOWN) return false;
        run.log.push_back("pre " + std::string(1, static_cast<char>(m.wParam)));
        return m.wParam == 'Z';
    };
    hooks.idle = [&](LONG count) {
        run.log.push_back("idle " + std::to_string(count));
        if (count < 2) return true;  // more idle work
        if (count == 2) PostMessageA(run.dialog, WM_COMMAND, IDCANCEL, 0);
        return false;
    };
    SetLoopHooks(hooks);
    SetModalHook([](HWND) {
        PressKey('Z', 'z');
        PressKey('Y', 'y');
    });
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(kAskDialog, sizeof kAskDialog - 1, &t, &error)) << error;
    EXPECT_EQ(DialogBoxFromTemplate(t, owner, AskProc, 0), IDCANCEL);
    SetLoopHooks({});
    g_hooks = nullptr;
    EXPECT_EQ(run.text, "y");
    std::vector<std::string> want = {"pre Z", "pre Y", "enteridle 0 dialog", "idle 0", "idle 1", "idle 2"};
    EXPECT_EQ(run.log, want);
}

}  // namespace
}  // namespace qsm::wm::testing
