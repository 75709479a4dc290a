// The tooltip's timing on a manual clock, its placement and its transparency to the mouse.
#include "ui/tooltip.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/wm/backend.h"

namespace {

using qsm::wm::AdvanceClock;
using qsm::wm::InputMouseMove;
using qsm::wm::PumpMessages;

int g_clicks = 0;

LRESULT Beneath(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_LBUTTONDOWN) ++g_clicks;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

class ToolTipTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        qsm::wm::SetManualClock(true, 1000);
        g_clicks = 0;
        WNDCLASSA wc{};
        wc.lpfnWndProc = Beneath;
        wc.lpszClassName = "TipBeneath";
        RegisterClassA(&wc);
        under = CreateWindowExA(0, "TipBeneath", "under", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
        tip = new TToolTip;
        tip->SetToolRect(kTool);
        InputMouseMove(110, 110);
        PumpMessages();
    }
    void TearDown() override {
        delete tip;
        qsm::wm::ResetForTests();
    }
    void Run(DWORD ms) {
        AdvanceClock(ms);
        PumpMessages();
    }
    bool Shown() const { return IsWindowVisible(*tip) != 0; }
    // Shows text and returns after the tip came up (600 ms).
    void ShowFresh(const char* text) {
        tip->SetText(text);
        Run(TToolTip::kShowDelay);
        ASSERT_TRUE(Shown());
    }

    const TRect kTool{100, 100, 140, 120};
    HWND under = nullptr;
    TToolTip* tip = nullptr;
};

TEST_F(ToolTipTest, ShowsAfterTheDelayBelowTheItemAndKeepsStillForTheSameText) {
    EXPECT_EQ(std::string(tip->GetClassName()), "TToolTip");
    EXPECT_FALSE(Shown());
    tip->SetText("Open");
    Run(599);
    EXPECT_FALSE(Shown());
    Run(1);
    ASSERT_TRUE(Shown());
    TRect r = tip->GetWindowRect();
    int offset = GetSystemMetrics(SM_CYCURSOR) / 3 + 2 * GetSystemMetrics(SM_CYBORDER);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120 + offset);
    EXPECT_GT(r.Width(), 7 + 10);  // measured while hidden
    EXPECT_GT(r.Height(), 4 + 5);
    // The same text again: the timer goes on as it was and the tip stays.
    UINT_PTR timer = tip->GetHoverTimer();
    tip->SetText("Open");
    EXPECT_EQ(tip->GetHoverTimer(), timer);
    Run(200);
    EXPECT_TRUE(Shown());
    // Shown without taking the activation from the window beneath.
    EXPECT_NE(GetActiveWindow(), tip->GetHandle());
    // An empty text hides it and stops the timer.
    tip->SetText("");
    EXPECT_FALSE(Shown());
    EXPECT_EQ(tip->GetHoverTimer(), 0u);
}

TEST_F(ToolTipTest, ANextTipComesQuicklyOnlyWithinTheTimeAfterAHide) {
    ShowFresh("Open");
    tip->SetText("Save");  // hides at once, the next comes after 50 ms
    EXPECT_FALSE(Shown());
    Run(49);
    EXPECT_FALSE(Shown());
    Run(1);
    EXPECT_TRUE(Shown());

    tip->SetText("Print");  // hidden now
    Run(49);
    tip->SetText(nullptr);
    Run(601);  // later than 600 ms after that hide: a full delay again
    tip->SetText("Play");
    Run(599);
    EXPECT_FALSE(Shown());
    Run(1);
    EXPECT_TRUE(Shown());
}

TEST_F(ToolTipTest, TheQuickRuleHoldsAcrossTheWrapOfTheTickCountAndNotBeforeAnyHide) {
    // Shortly after the clock starts no tip was hidden yet: the full delay.
    delete tip;
    qsm::wm::SetManualClock(true, 0);
    tip = new TToolTip;
    tip->SetToolRect(kTool);
    tip->SetText("Open");
    Run(50);
    EXPECT_FALSE(Shown());
    Run(550);
    EXPECT_TRUE(Shown());

    // Hidden by a new text just before the tick count wraps and asked again before it wraps too.
    delete tip;
    qsm::wm::SetManualClock(true, 0xFFFFFE00u - 600);
    tip = new TToolTip;
    tip->SetToolRect(kTool);
    ShowFresh("Open");
    tip->SetText("Save");   // hidden at 0xFFFFFE00
    tip->SetText(nullptr);  // and nothing armed
    Run(16);
    tip->SetText("Play");
    Run(50);
    EXPECT_TRUE(Shown());
    // After the wrap, still within 600 ms of the hide at 0xFFFFFFxx.
    tip->SetText("Stop");  // hidden at 0xFFFFFE42
    tip->SetText(nullptr);
    Run(0x1C0);  // now past the wrap, 448 ms later
    tip->SetText("Pause");
    Run(50);
    EXPECT_TRUE(Shown());
}

TEST_F(ToolTipTest, ALongTextSetAgainNeitherBlinksNorRestarts) {
    std::string long_text(180, 'x');
    long_text += "end";
    ShowFresh(long_text.c_str());
    UINT_PTR timer = tip->GetHoverTimer();
    for (int i = 0; i < 5; ++i) {
        tip->SetText(long_text.c_str());
        Run(10);
        EXPECT_TRUE(Shown());
    }
    EXPECT_EQ(tip->GetHoverTimer(), timer);
    // Measured with 127 characters: as wide as a tip of the first 127.
    int wide = tip->GetWindowRect().Width();
    tip->SetText(long_text.substr(0, 127).c_str());
    Run(50);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(tip->GetWindowRect().Width(), wide);
}

TEST_F(ToolTipTest, TheCursorOutsideOrACaptureHidesAndStops) {
    InputMouseMove(300, 200);
    PumpMessages();
    tip->SetText("Open");
    Run(600);
    EXPECT_FALSE(Shown());
    EXPECT_EQ(tip->GetHoverTimer(), 0u);

    InputMouseMove(110, 110);
    PumpMessages();
    tip->SetText("Close");
    Run(600);
    ASSERT_TRUE(Shown());
    SetCapture(under);
    Run(199);
    EXPECT_TRUE(Shown());
    Run(1);
    EXPECT_FALSE(Shown());
    EXPECT_EQ(tip->GetHoverTimer(), 0u);
    ReleaseCapture();

    tip->SetText("Again");
    Run(600);
    ASSERT_TRUE(Shown());
    InputMouseMove(150, 110);  // off the item
    Run(200);
    EXPECT_FALSE(Shown());
}

TEST_F(ToolTipTest, NearTheScreenEdgesTheTipMovesAboveAndLeft) {
    SIZE screen = qsm::wm::CurrentBackend().ScreenSize();
    TRect low(screen.cx - 30, screen.cy - 20, screen.cx - 2, screen.cy - 2);
    tip->SetToolRect(low);
    InputMouseMove(low.left + 3, low.top + 3);
    PumpMessages();
    ShowFresh("A tip wider than its item");
    TRect r = tip->GetWindowRect();
    EXPECT_EQ(r.bottom, low.top);
    EXPECT_EQ(r.right, low.right);

    // A place rectangle fixes where it goes.
    TRect place(40, 50, 90, 60);
    tip->SetToolRect(low, &place);
    tip->SetText("Placed");
    Run(50);
    r = tip->GetWindowRect();
    EXPECT_EQ(r.left, 39);
    EXPECT_EQ(r.top, 50);
}

TEST_F(ToolTipTest, ClicksOnTheTipReachTheWindowBeneath) {
    ShowFresh("Open");
    TRect r = tip->GetWindowRect();
    qsm::wm::Click(r.left + 2, r.top + 2);
    PumpMessages();
    EXPECT_EQ(g_clicks, 1);
}

}  // namespace
