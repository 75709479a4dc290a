// Windows framed by the desktop (a window manager): the client area, the hit codes and the size a frame
// needs come from the desktop's frame; maximizing and minimizing are asked of the desktop, and what the
// desktop reports reaches the window as the sizes and states a window is told of.
#include <vector>

#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

// A desktop that frames captioned windows (but tool windows) with 2 pixels on the sides and the bottom
// and a 22-pixel caption, and keeps a 28-pixel panel at the bottom of the screen.
class FramingDesktop : public Backend {
public:
    SIZE ScreenSize() const override { return SIZE{1024, 768}; }
    RECT WorkArea() const override { return RECT{0, 0, 1024, 740}; }
    bool DesktopFrame(DWORD style, DWORD ex_style, RECT* frame) override {
        if ((style & WS_CAPTION) != WS_CAPTION || (ex_style & WS_EX_TOOLWINDOW)) return false;
        *frame = RECT{2, 22, 2, 2};
        return true;
    }
    void TopLevelState(HWND hwnd, int state) override { asked.push_back({hwnd, state}); }
    struct Ask {
        HWND hwnd;
        int state;
    };
    std::vector<Ask> asked;
};

class DesktopFrameTest : public WmTest {
protected:
    void SetUp() override {
        WmTest::SetUp();
        InstallBackend(&desktop_);
    }
    void TearDown() override {
        ResetForTests();
        InstallBackend(nullptr);
        WmTest::TearDown();
    }
    static RECT Client(HWND h) {
        RECT c{};
        GetClientRect(h, &c);
        POINT o{0, 0};
        ClientToScreen(h, &o);
        OffsetRect(&c, o.x, o.y);
        return c;
    }
    // The size kinds and sizes of the WM_SIZE messages the window got.
    static std::vector<WPARAM> SizeKinds(HWND h) {
        std::vector<WPARAM> kinds;
        for (const Logged& l : Rec().log)
            if (l.hwnd == h && l.msg == WM_SIZE) kinds.push_back(l.wparam);
        return kinds;
    }
    FramingDesktop desktop_;
};

TEST_F(DesktopFrameTest, TheClientAreaHitCodesAndFrameSizesComeFromTheDesktopsFrame) {
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 1, "&File");
    HWND w = CreateWindowExA(0, RecorderClass(), "framed", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400,
                             300, nullptr, menu, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    // The menu bar is the window's own, below the desktop's caption.
    int menu_h = GetSystemMetrics(SM_CYMENU);
    RECT c = Client(w);
    EXPECT_EQ(c.left, 102);
    EXPECT_EQ(c.top, 122 + menu_h);
    EXPECT_EQ(c.right, 498);
    EXPECT_EQ(c.bottom, 398);
    EXPECT_EQ(SendMessageA(w, WM_NCHITTEST, 0, MAKELPARAM(200, 105)), HTCAPTION);
    EXPECT_EQ(SendMessageA(w, WM_NCHITTEST, 0, MAKELPARAM(200, 123)), HTMENU);
    EXPECT_EQ(SendMessageA(w, WM_NCHITTEST, 0, MAKELPARAM(101, 200)), HTBORDER);
    // A frame for a client of 200 x 100 takes the desktop's frame around it.
    RECT want{0, 0, 200, 100};
    AdjustWindowRectEx(&want, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_EQ(want.right - want.left, 204);
    EXPECT_EQ(want.bottom - want.top, 124);
    // A tool window keeps the caption it draws itself.
    HWND tool =
        MakeTop(600, 100, 200, 100, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, WS_EX_TOOLWINDOW);
    EXPECT_EQ(Client(tool).top, 100 + GetSystemMetrics(SM_CYDLGFRAME) + GetSystemMetrics(SM_CYSMCAPTION));
}

TEST_F(DesktopFrameTest, MaximizingAndMinimizingGoThroughTheDesktopAndComeBackAsSizes) {
    HWND w = MakeTop(100, 100, 400, 300);
    Rec().Clear();
    // Maximizing asks the desktop and fills the work area meanwhile.
    ShowWindow(w, SW_SHOWMAXIMIZED);
    ASSERT_EQ(desktop_.asked.size(), 1u);
    EXPECT_EQ(desktop_.asked[0].state, 2);
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.bottom, 740);
    EXPECT_EQ(SizeKinds(w), std::vector<WPARAM>{SIZE_MAXIMIZED});
    // The desktop maximized it within a frame of its own (no sides).
    RECT max_frame{0, 20, 0, 0};
    DesktopPlaced(w, false, true, RECT{0, 0, 1024, 740}, &max_frame);
    EXPECT_EQ(Client(w).top, 20);
    EXPECT_EQ(Client(w).left, 0);
    // Minimized by the desktop, restored to maximized, then restored to its normal rectangle.
    DesktopPlaced(w, true, true, RECT{0, 0, 1024, 740}, nullptr);
    EXPECT_TRUE(IsIconic(w));
    DesktopPlaced(w, false, true, RECT{0, 0, 1024, 740}, nullptr);
    EXPECT_TRUE(IsZoomed(w));
    RECT normal_frame{2, 22, 2, 2};
    DesktopPlaced(w, false, false, RECT{100, 100, 500, 400}, &normal_frame);
    EXPECT_EQ(SizeKinds(w), (std::vector<WPARAM>{SIZE_MAXIMIZED, SIZE_MAXIMIZED, SIZE_MINIMIZED,
                                                 SIZE_MAXIMIZED, SIZE_RESTORED}));
    EXPECT_FALSE(IsZoomed(w));
    EXPECT_EQ(Client(w).left, 102);

    // Maximized by the desktop, the window keeps the rectangle it had for its placement.
    DesktopPlaced(w, false, false, RECT{150, 120, 650, 520}, nullptr);
    DesktopPlaced(w, false, true, RECT{0, 0, 1024, 740}, nullptr);
    WINDOWPLACEMENT wp{};
    GetWindowPlacement(w, &wp);
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_EQ(wp.rcNormalPosition.left, 150);
    EXPECT_EQ(wp.rcNormalPosition.bottom, 520);
    // Restored by the program: the desktop is asked, the normal rectangle comes back.
    desktop_.asked.clear();
    ShowWindow(w, SW_RESTORE);
    ASSERT_EQ(desktop_.asked.size(), 1u);
    EXPECT_EQ(desktop_.asked[0].state, 0);
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 150);
    EXPECT_EQ(r.right, 650);
}

}  // namespace
}  // namespace qsm::wm::testing
