// The status bar: where panes go, the two-line hint route, the grip's visibility, size and hit test, the
// etched top edge; and the separators.
#include "ui/status_bar.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/wm/backend.h"
#include "ui/tests/toolbar_test_util.h"
#include "ui/tooltip.h"

namespace {

using qsm::wm::InputMouseButton;
using qsm::wm::InputMouseMove;
using qsm::wm::PumpMessages;

class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        qsm::wm::SetManualClock(true, 5000);
        frame = new TDecoratedFrame(nullptr, "frame", new TWindow(static_cast<TWindow*>(nullptr), "client"));
        frame->Attr.X = 20;
        frame->Attr.Y = 20;
        frame->Attr.W = 500;
        frame->Attr.H = 300;
        bar = new TStatusBar95(frame);
        pane = new TTextGadget(7, TGadget::Recessed, TTextGadget::Left, 6, "pane");
        bar->Insert(*pane);
        frame->Insert(*bar, TDecoratedFrame::Bottom);
        ASSERT_TRUE(frame->Create());
        frame->Show(SW_SHOW);
        PumpMessages();
    }
    void TearDown() override {
        delete GlobalToolTip;
        GlobalToolTip = nullptr;
        HintToTipDepth = 0;
        delete frame;
        qsm::wm::ResetForTests();
    }
    TDecoratedFrame* frame = nullptr;
    TStatusBar95* bar = nullptr;
    TTextGadget* pane = nullptr;
};

TEST_F(StatusBarTest, PanesGoBeforeTheGripAndTheBarHasItsEtchedTop) {
    const auto& g = bar->GetGadgets();
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[1], pane);
    EXPECT_EQ(g[2], bar->GetGrip());
    auto* later = new TTextGadget(8, TGadget::Recessed, TTextGadget::Left, 4, "later");
    bar->Insert(*later);
    EXPECT_EQ(bar->GetGadgets()[2], later);
    EXPECT_EQ(bar->GetGadgets()[3], bar->GetGrip());
    EXPECT_EQ(bar->GetGrip()->GetId(), 9999);

    PumpMessages();
    // The client area starts 2 pixels below the window's top, where the etched line is.
    TRect wr = bar->GetWindowRect();
    TPoint origin = bar->ClientToScreen(TPoint(0, 0));
    EXPECT_EQ(origin.y - wr.top, 2);
    HDC dc = GetWindowDC(*bar);
    EXPECT_EQ(GetPixel(dc, 10, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(dc, 10, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
    ReleaseDC(*bar, dc);
    EXPECT_EQ(bar->GetStyle() & WS_BORDER, 0u);
}

TEST_F(StatusBarTest, TheLongLineGoesToTheBarAndTheShortOneToTheTipWhileAToolbarHandsOnAMove) {
    bar->SetHintText("Plays the song\nPlay");
    EXPECT_EQ(bar->GetHintText(), "Plays the song");
    GlobalToolTip = new TToolTip;
    HintToTipDepth = 1;
    bar->SetHintText("Stops the song\nStop\nignored");
    EXPECT_EQ(bar->GetHintText(), "Plays the song");  // left alone
    EXPECT_EQ(GlobalToolTip->GetCaption(), "Stop");
    bar->SetHintText("One line");
    EXPECT_EQ(GlobalToolTip->GetCaption(), "One line");
    HintToTipDepth = 0;
    // Null clears both.
    bar->SetHintText(nullptr);
    EXPECT_EQ(GlobalToolTip->GetCaption(), "");
    EXPECT_EQ(bar->GetHintText(), "");

    // More than 199 characters are cut before the line break is looked for.
    std::string text(199, 'a');
    bar->SetHintText((text + "\nshort").c_str());
    EXPECT_EQ(bar->GetHintText(), text);
    bar->SetHintText((text + "bc\nshort").c_str());
    EXPECT_EQ(bar->GetHintText(), text);
}

TEST_F(StatusBarTest, TheGripHidesWhileTheFrameIsMaximisedAndSizesTheFrame) {
    TSizeGripGadget* grip = bar->GetGrip();
    int size = std::max(GetSystemMetrics(SM_CYVSCROLL), GetSystemMetrics(SM_CXHSCROLL));
    ASSERT_TRUE(bar->UpdateGripVisibility());
    EXPECT_EQ(grip->GetBounds().Width(), size + 2);  // reaches one pixel further on every side
    TRect c = bar->GetClientRect();
    EXPECT_EQ(grip->GetBounds().right, c.right - 1 + 1);

    // Its corner is the frame's sizing corner: dragging it sizes the frame.
    TPoint in = bar->ClientToScreen(TPoint(grip->GetBounds().left + 3, grip->GetBounds().top + 3));
    EXPECT_EQ(SendMessageA(*bar, WM_NCHITTEST, 0, MAKELPARAM(in.x, in.y)), HTBOTTOMRIGHT);
    TRect before = frame->GetWindowRect();
    // A window under the frame, so that the pointer is over a window wherever the drag takes it.
    TWindow desk(static_cast<TWindow*>(nullptr), "desk");
    desk.Attr.Style = WS_POPUP | WS_VISIBLE;
    desk.Attr.W = 1024;
    desk.Attr.H = 768;
    ASSERT_TRUE(desk.Create());
    SetWindowPos(desk, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The sizing loop reads the input as it was queued: all of it goes in first.
    InputMouseMove(in.x, in.y);
    InputMouseButton(0, true);
    InputMouseMove(in.x + 15, in.y + 10);
    InputMouseMove(in.x + 30, in.y + 20);
    InputMouseButton(0, false);
    PumpMessages();
    TRect after = frame->GetWindowRect();
    EXPECT_EQ(after.Width(), before.Width() + 30);
    EXPECT_EQ(after.Height(), before.Height() + 20);

    frame->Show(SW_MAXIMIZE);
    PumpMessages();
    EXPECT_FALSE(bar->UpdateGripVisibility());
    EXPECT_EQ(grip->GetBounds().Width(), 1 + 2);
    in = bar->ClientToScreen(TPoint(grip->GetBounds().left + 1, grip->GetBounds().top + 3));
    EXPECT_NE(SendMessageA(*bar, WM_NCHITTEST, 0, MAKELPARAM(in.x, in.y)), HTBOTTOMRIGHT);

    frame->Show(SW_RESTORE);
    PumpMessages();
    EXPECT_TRUE(bar->UpdateGripVisibility());
    EXPECT_EQ(grip->GetBounds().Width(), size + 2);
}

// A bar of separators between text gadgets.
TEST(SeparatorTest, GroovesAndTheLastSeparatorDrawsNothing) {
    qsm::wm::ResetForTests();
    TWindow parent(static_cast<TWindow*>(nullptr), "parent");
    parent.Attr.Style = WS_POPUP | WS_VISIBLE;
    parent.Attr.W = 300;
    parent.Attr.H = 60;
    auto* bar = new TGadgetWindow(&parent);
    bar->Attr.W = 300;
    bar->Attr.H = 30;
    auto* tool = new TQSToolbarSeparatorGadget;
    auto* status = new TQSStatusSeparatorGadget(6, 1, 2);
    auto* last = new TQSToolbarSeparatorGadget;
    bar->Insert(*new TTextGadget(1, TGadget::None, TTextGadget::Left, 3, "a"));
    bar->Insert(*tool);
    bar->Insert(*new TTextGadget(2, TGadget::None, TTextGadget::Left, 3, "b"));
    bar->Insert(*status);
    bar->Insert(*new TTextGadget(3, TGadget::None, TTextGadget::Left, 3, "c"));
    bar->Insert(*last);
    ASSERT_TRUE(parent.Create());
    PumpMessages();
    TSize s;
    tool->GetDesiredSize(s);
    EXPECT_EQ(s, TSize(6 * GetSystemMetrics(SM_CXBORDER), 6 * GetSystemMetrics(SM_CYBORDER)));
    status->GetDesiredSize(s);
    EXPECT_EQ(s.cx, GetSystemMetrics(SM_CXBORDER) * 5);

    HDC dc = GetDC(*bar);
    const TRect& t = tool->GetBounds();
    int y = t.top + 3;
    EXPECT_EQ(GetPixel(dc, t.left + 2, y), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(dc, t.left + 3, y), GetSysColor(COLOR_BTNHIGHLIGHT));
    const TRect& st = status->GetBounds();
    int band = GetSystemMetrics(SM_CXBORDER) * 3;
    EXPECT_EQ(GetPixel(dc, st.left + band - 2, y), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(dc, st.left + band - 1, y), GetSysColor(COLOR_BTNHIGHLIGHT));
    const TRect& l = last->GetBounds();
    EXPECT_NE(GetPixel(dc, l.left + 2, y), GetSysColor(COLOR_BTNSHADOW));
    ReleaseDC(*bar, dc);
    qsm::wm::ResetForTests();
}

// In a toolbar docked on the left the groove runs across the toolbar's whole inner width.
class DockedSeparatorTest : public qsm_test::ToolbarFixture {};

TEST_F(DockedSeparatorTest, AcrossTheInnerWidthOfAVerticalToolbar) {
    frame_ = std::make_unique<qsm_test::TTestFrame>();
    auto* tb = new TToolbar(frame_.get(), "Side", 0x1000, 1, nullptr);
    auto* sep = new TQSToolbarSeparatorGadget;
    tb->Insert(*new qsm_test::TTestButton(100, 40, 22));
    tb->Insert(*sep);
    tb->Insert(*new qsm_test::TTestButton(101, 15, 22));  // narrower than the toolbar
    frame_->Create();
    PumpMessages();
    ASSERT_EQ(tb->GetDirection(), TGadgetWindow::Vertical);
    TRect inner;
    tb->GetInnerRect(inner);
    ASSERT_GT(inner.Width(), 30);
    const TRect& b = sep->GetBounds();
    HDC dc = GetDC(*tb);
    EXPECT_EQ(GetPixel(dc, b.left, b.top + 2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(dc, b.left + inner.Width() - 1, b.top + 2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(dc, b.left + inner.Width() / 2, b.top + 3), GetSysColor(COLOR_BTNHIGHLIGHT));
    ReleaseDC(*tb, dc);
}

TEST_F(DockedSeparatorTest, DownTheInnerHeightOfAToolbarDockedOnTop) {
    frame_ = std::make_unique<qsm_test::TTestFrame>();
    auto* tb = new TToolbar(frame_.get(), "Top", 0x2800, 1, nullptr);
    auto* sep = new TQSToolbarSeparatorGadget;
    tb->Insert(*new qsm_test::TTestButton(100, 22, 22));
    tb->Insert(*sep);
    tb->Insert(*new qsm_test::TTestButton(101, 22, 22));
    frame_->Create();
    PumpMessages();
    ASSERT_EQ(tb->GetDirection(), TGadgetWindow::Horizontal);
    TRect inner;
    tb->GetInnerRect(inner);
    const TRect& b = sep->GetBounds();
    HDC dc = GetDC(*tb);
    EXPECT_EQ(GetPixel(dc, b.left + 2, b.top + inner.Height() / 2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetPixel(dc, b.left + 3, b.top + inner.Height() / 2), GetSysColor(COLOR_BTNHIGHLIGHT));
    ReleaseDC(*tb, dc);
}

}  // namespace
