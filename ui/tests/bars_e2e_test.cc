// A frame with a player bar and a status bar, driven as a user would on the headless display with a manual
// clock: hovering a button shows its long hint in the status bar at once and its tip after the delay, a
// click posts one command, toggles and exclusive buttons keep their states, a slider drag reports its
// codes in order, and a maximised frame hides the grip.
#include <gtest/gtest.h>

#include <memory>

#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "ui/tests/bars_scene.h"

namespace {

using qsm::uitest::TBarsFrame;
using qsm::wm::AdvanceClock;
using qsm::wm::InputMouseButton;
using qsm::wm::InputMouseMove;
using qsm::wm::PumpMessages;
using Codes = std::vector<std::pair<int, int>>;

class BarsTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        qsm::wm::SetManualClock(true, 10000);
        frame.reset(qsm::uitest::BuildBarsFrame(40, 40, 560, 220));
        ASSERT_TRUE(frame->Create());
        qsm::uitest::MakeToolTip();
        PumpMessages();
    }
    void TearDown() override {
        qsm::uitest::DestroyToolTip();
        frame.reset();
        qsm::wm::ResetForTests();
    }
    TPoint Centre(const TGadget& g) const {
        const TRect& b = g.GetBounds();
        return frame->Bar->ClientToScreen(TPoint((b.left + b.right) / 2, (b.top + b.bottom) / 2));
    }
    void Move(TPoint p) {
        InputMouseMove(p.x, p.y);
        PumpMessages();
    }
    void Click(TPoint p) {
        Move(p);
        InputMouseButton(0, true);
        InputMouseButton(0, false);
        PumpMessages();
        AdvanceClock(1000);  // the next press is no double click
        PumpMessages();
    }
    bool TipShown() const { return IsWindowVisible(*GlobalToolTip) != 0; }
    std::unique_ptr<TBarsFrame> frame;
};

TEST_F(BarsTest, HoverShowsTheLongHintAtOnceAndTheTipAfterTheDelay) {
    Move(Centre(*frame->Play));
    EXPECT_EQ(frame->Status->GetHintText(), "Plays the song from the current position");
    EXPECT_EQ(GlobalToolTip->GetCaption(), "Play");
    AdvanceClock(599);
    PumpMessages();
    EXPECT_FALSE(TipShown());
    AdvanceClock(1);
    PumpMessages();
    ASSERT_TRUE(TipShown());
    // Below the button, and the frame keeps the activation.
    TRect tip = GlobalToolTip->GetWindowRect();
    TPoint tl =
        frame->Bar->ClientToScreen(TPoint(frame->Play->GetBounds().left, frame->Play->GetBounds().bottom));
    EXPECT_EQ(tip.left, tl.x);
    EXPECT_GT(tip.top, tl.y);
    EXPECT_EQ(GetActiveWindow(), frame->GetHandle());

    // The next button's tip follows quickly; off the bar the hint and the tip go.
    Move(Centre(*frame->Loop));
    EXPECT_FALSE(TipShown());
    EXPECT_EQ(frame->Status->GetHintText(), "Plays the song again when it ends");
    AdvanceClock(50);
    PumpMessages();
    EXPECT_TRUE(TipShown());
    EXPECT_EQ(GlobalToolTip->GetCaption(), "Repeat");
    TRect client = frame->GetClientWindow()->GetWindowRect();
    Move(TPoint(client.left + 10, client.top + 10));
    AdvanceClock(200);
    PumpMessages();
    EXPECT_FALSE(TipShown());
    EXPECT_EQ(frame->Status->GetHintText(), "");
}

TEST_F(BarsTest, ClicksPostOneCommandAndButtonsKeepTheirStates) {
    Click(Centre(*frame->Play));
    EXPECT_EQ(frame->Commands, std::vector<int>{qsm::uitest::kCmPlay});
    Click(Centre(*frame->Loop));
    EXPECT_EQ(frame->Loop->GetButtonState(), TToolbarButtonGadget::Down);
    Click(Centre(*frame->Slow));
    EXPECT_EQ(frame->Slow->GetButtonState(), TToolbarButtonGadget::Down);
    EXPECT_EQ(frame->Fast->GetButtonState(), TToolbarButtonGadget::Up);
    EXPECT_EQ(frame->Commands,
              (std::vector<int>{qsm::uitest::kCmPlay, qsm::uitest::kCmLoop, qsm::uitest::kCmSlow}));
    // A press hides the tip at the next check: the button holds the capture.
    Move(Centre(*frame->Play));
    AdvanceClock(600);
    PumpMessages();
    ASSERT_TRUE(TipShown());
    InputMouseButton(0, true);
    PumpMessages();
    AdvanceClock(200);
    PumpMessages();
    EXPECT_FALSE(TipShown());
    InputMouseButton(0, false);
    PumpMessages();
}

TEST_F(BarsTest, ASliderDragReportsItsCodesInOrderAndTheThumbFollows) {
    TQSHSlider* s = frame->Bar->Slider;
    s->SetPosition(0);
    TRect thumb = s->GetThumbRect();
    TPoint press = s->ClientToScreen(TPoint(thumb.left + 4, thumb.top + 10));
    frame->Bar->Heard.clear();
    InputMouseMove(press.x, press.y);
    InputMouseButton(0, true);
    PumpMessages();
    Move(TPoint(press.x + 40, press.y + 3));
    Move(TPoint(press.x + 95, press.y + 3));
    InputMouseButton(0, false);
    PumpMessages();
    int track = s->GetClientRect().Width() - thumb.Width();
    int p40 = 40 * 16384 / track, p95 = 95 * 16384 / track;
    EXPECT_EQ(frame->Bar->Heard, (Codes{{TQSSlider::SB_BEGINDRAG, 0},
                                        {SB_THUMBTRACK, 0},
                                        {SB_THUMBTRACK, p40},
                                        {SB_THUMBTRACK, p95},
                                        {SB_THUMBPOSITION, p95},
                                        {SB_ENDSCROLL, p95}}));
    EXPECT_EQ(s->GetPosition(), p95);
    EXPECT_NEAR(s->GetThumbRect().left, 95, 1);  // rounded down twice
}

TEST_F(BarsTest, AMaximisedFrameHidesTheGrip) {
    TSizeGripGadget* grip = frame->Status->GetGrip();
    int full = grip->GetBounds().Width();
    EXPECT_GT(full, 3);
    frame->Show(SW_MAXIMIZE);
    PumpMessages();
    EXPECT_EQ(grip->GetBounds().Width(), 3);  // one pixel, reaching one further on each side
    frame->Show(SW_RESTORE);
    PumpMessages();
    EXPECT_EQ(grip->GetBounds().Width(), full);
    if (const char* dir = getenv("QSM_UI_SHOT_DIR")) {
        Move(Centre(*frame->Play));
        AdvanceClock(600);
        PumpMessages();
        qsm::wm::SaveScreenPng((std::string(dir) + "/ui_bars_headless.png").c_str());
    }
}

}  // namespace
