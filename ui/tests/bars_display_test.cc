// The player bar and its tooltip on a real X display under a real window manager (CTest runs it under
// Xvfb with openbox): hovering a tool shows its tip, and the frame keeps the activation and the keyboard
// both in the window manager's eyes and in the X server's. Everything waits for the event it checks (the
// window manager's properties, the tip's timer, a round trip through the window manager). With
// QSM_UI_SCREENSHOT_DIR set, the tooltip and a window of sliders as the X server shows them are written
// there as ui_tooltip.png and ui_sliders.png (docs/ holds them so).
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "ui/tests/bars_scene.h"
#include "ui/tests/x11_desktop.h"

cairo_surface_t* GrabScreen(const RECT& r);

namespace {

using qsm::wm::PumpMessages;

constexpr UINT kGiveUpTimer = 0x5AFE;

// The window the last left press went to, and whether a release followed it.
HWND g_pressed = nullptr;
bool g_released = false;

// Runs the message loop until done() holds; false when the safety timer (30 s) ran out first.
template <typename Done>
bool RunUntil(HWND timer_owner, Done done) {
    SetTimer(timer_owner, kGiveUpTimer, 30000, nullptr);
    bool ok = true;
    while (!done()) {
        MSG m;
        if (GetMessageA(&m, nullptr, 0, 0) <= 0) break;
        if (m.message == WM_TIMER && m.wParam == kGiveUpTimer) {
            ok = false;
            break;
        }
        if (m.message == WM_LBUTTONDOWN) g_pressed = m.hwnd;
        if (m.message == WM_LBUTTONUP) g_released = true;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    KillTimer(timer_owner, kGiveUpTimer);
    return ok && done();
}

void Save(const RECT& r, const char* name) {
    const char* dir = getenv("QSM_UI_SCREENSHOT_DIR");
    if (dir == nullptr) return;
    cairo_surface_t* shot = GrabScreen(r);
    if (shot == nullptr) return;
    cairo_surface_write_to_png(shot, (std::string(dir) + "/" + name).c_str());
    cairo_surface_destroy(shot);
}

class BarsOnADesktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display: run under xvfb-run";
        if (!ProgramOnPath("openbox"))
            GTEST_SKIP() << "openbox is not installed: no test under a real window manager";
        wm_ = StartWindowManager();
        ASSERT_GT(wm_, 0) << "openbox did not start";
        ASSERT_TRUE(qsm::wm::InstallSdlBackend());
        qsm::wm::SetManualClock(false);
    }
    void TearDown() override {
        qsm::uitest::DestroyToolTip();
        sliders_.reset();
        frame_.reset();
        if (qsm::wm::SdlBackendActive()) {
            qsm::wm::ResetForTests();
            qsm::wm::RemoveSdlBackend();
        }
        StopWindowManager(wm_);
    }
    int wm_ = -1;
    std::unique_ptr<qsm::uitest::TBarsFrame> frame_;
    std::unique_ptr<TWindow> sliders_;
};

TEST_F(BarsOnADesktop, HoveringAToolShowsItsTipAndTheFrameStaysActive) {
    frame_.reset(qsm::uitest::BuildBarsFrame(100, 100, 560, 220));
    ASSERT_TRUE(frame_->Create());
    qsm::uitest::MakeToolTip();
    PumpMessages();
    unsigned long xframe = XWindowNamed("Player");
    ASSERT_NE(xframe, 0u);
    ASSERT_TRUE(WaitUntilActive(xframe)) << "the window manager never activated the frame";
    ASSERT_TRUE(WindowManagerBarrier());
    PumpMessages();
    ASSERT_EQ(GetActiveWindow(), frame_->GetHandle());

    const TRect& b = frame_->Play->GetBounds();
    TPoint over = frame_->Bar->ClientToScreen(TPoint((b.left + b.right) / 2, (b.top + b.bottom) / 2));
    MovePointer(over.x, over.y);
    ASSERT_TRUE(RunUntil(*frame_, [] { return IsWindowVisible(*GlobalToolTip) != 0; })) << "no tip came";
    EXPECT_EQ(GlobalToolTip->GetCaption(), "Play");
    EXPECT_EQ(frame_->Status->GetHintText(), "Plays the song from the current position");

    // Whatever the window manager does with the tip has been done once it answers a later request.
    ASSERT_TRUE(WindowManagerBarrier());
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(*GlobalToolTip));
    EXPECT_EQ(GetActiveWindow(), frame_->GetHandle());
    EXPECT_EQ(ActiveXWindow(), xframe);
    EXPECT_EQ(FocusXWindow(), xframe);

    TRect shot = frame_->GetWindowRect();
    TRect tip = GlobalToolTip->GetWindowRect();
    shot.bottom = std::max(shot.bottom, tip.bottom + 4);
    Save(shot, "ui_tooltip.png");

    // A click on the tip goes to the window beneath it, and the desktop does not give the tip the keyboard.
    g_pressed = nullptr;
    g_released = false;
    ClickAt((tip.left + tip.right) / 2, (tip.top + tip.bottom) / 2);
    ASSERT_TRUE(RunUntil(*frame_, [] { return g_released; })) << "the click never came";
    HWND beneath = WindowFromPoint(POINT{(tip.left + tip.right) / 2, (tip.top + tip.bottom) / 2});
    EXPECT_EQ(g_pressed, beneath);
    EXPECT_NE(g_pressed, GlobalToolTip->GetHandle());
    ASSERT_TRUE(WindowManagerBarrier());
    PumpMessages();
    EXPECT_EQ(GetActiveWindow(), frame_->GetHandle());
    EXPECT_EQ(ActiveXWindow(), xframe);
    EXPECT_EQ(FocusXWindow(), xframe);

    // A window of sliders: horizontal with tics, snapped, and vertical.
    if (getenv("QSM_UI_SCREENSHOT_DIR") == nullptr) return;
    auto* win = new TWindow(static_cast<TWindow*>(nullptr), "Sliders");
    win->Attr.Style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
    win->Attr.X = 700;
    win->Attr.Y = 100;
    win->Attr.W = 260;
    win->Attr.H = 190;
    sliders_.reset(win);
    win->SetBkgndColor(TColor(GetSysColor(COLOR_BTNFACE)));
    auto* h = new TQSHSlider(win, 1, 10, 10, 230, 0, 32000);
    h->SetShowTics(true);
    h->SetRuler(10, true);
    auto* plain = new TQSHSlider(win, 2, 10, 60, 230, 20, 32000);
    plain->SetRange(0, 16384);
    auto* v = new TQSVSlider(win, 3, 10, 90, 0, 60, 32001);
    v->SetShowTics(true);
    v->SetRuler(25, false);
    ASSERT_TRUE(win->Create());
    h->SetPosition(40);
    plain->SetPosition(12000);
    v->SetPosition(75);
    unsigned long xsliders = XWindowNamed("Sliders");
    ASSERT_NE(xsliders, 0u);
    ASSERT_TRUE(WaitUntilActive(xsliders));
    ASSERT_TRUE(WindowManagerBarrier());
    PumpMessages();
    UpdateWindow(*win);
    Save(win->GetWindowRect(), "ui_sliders.png");
}

}  // namespace
