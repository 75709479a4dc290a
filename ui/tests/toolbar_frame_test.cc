// The floating toolbar: its tool window, sizing by float shapes, docking again, closing, activation.
#include "ui/tests/toolbar_test_util.h"

namespace qsm_test {
namespace {

class ToolbarFrameTest : public ToolbarFixture {
protected:
    TToolbar* OpenFloating(int buttons = 8) {
        TToolbar* tb = Open(0x2800, 0xf010, buttons);
        tb->Float();
        qsm::wm::PumpMessages();
        return tb;
    }
    static TPoint Caption(TToolbar* tb) {
        TRect f = tb->FloatingFrame->GetWindowRect();
        return TPoint(f.left + 20, f.top + tb->FrameCy + 4);
    }
};

TEST_F(ToolbarFrameTest, FloatsInASmallToolWindowThatNeverTakesActivation) {
    TToolbar* tb = OpenFloating();
    ASSERT_NE(tb->FloatingFrame, nullptr);
    HWND f = *tb->FloatingFrame;
    EXPECT_TRUE(IsWindowVisible(f));
    EXPECT_TRUE(GetWindowLongA(f, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetParent(*tb), f);
    EXPECT_EQ(tb->FloatingFrame->GetWindowRect().TopLeft(), TPoint(10, 10));
    EXPECT_EQ(tb->FloatingFrame->GetWindowRect().Size(), tb->GetShapeSize(0));
    EXPECT_EQ(Station(tpTop)->GetWindowRect().Height(), 0);
    EXPECT_EQ(GetActiveWindow(), frame_->GetHandle());
    EXPECT_EQ(tb->FloatingFrame->Active, 1);  // its caption shows active with the main frame
    // Clicks on it leave the main frame active.
    TRect tr = tb->GetWindowRect();
    MouseTo(TPoint(tr.left + 40, tr.top + 20));
    Button(true);
    Button(false);
    EXPECT_EQ(GetActiveWindow(), frame_->GetHandle());
    // While the main frame is disabled (a modal dialog), clicks on the caption and the buttons are swallowed.
    frame_->EnableWindow(false);
    MouseTo(Caption(tb));
    Button(true);
    EXPECT_FALSE(tb->IsDragging());
    Button(false);
    auto* b = static_cast<TTestButton*>(tb->GadgetWithId(100));
    MouseTo(tb->ClientToScreen(b->GetBounds().TopLeft().OffsetBy(5, 5)));
    Button(true);
    Button(false);
    EXPECT_EQ(b->Clicks, 0);
    frame_->EnableWindow(true);
    Button(true);
    Button(false);
    EXPECT_EQ(b->Clicks, 1);
}

TEST_F(ToolbarFrameTest, EdgesStepThroughTheFloatShapes) {
    TToolbar* tb = OpenFloating(8);
    ASSERT_GE(tb->GetShapeCount(), 3);
    EXPECT_EQ(tb->GetShape(0).Rows, 1);
    for (int i = 1; i < tb->GetShapeCount(); ++i) {
        EXPECT_GT(tb->GetShape(i).Rows, tb->GetShape(i - 1).Rows);
        EXPECT_LT(tb->GetShapeSize(i).cx, tb->GetShapeSize(i - 1).cx);
    }
    TRect f = tb->FloatingFrame->GetWindowRect();
    MouseTo(TPoint(f.left + 1, f.top + f.Height() / 2));  // on the left edge
    Button(true);
    MouseTo(TPoint(f.left + 20, f.top + f.Height() / 2));
    EXPECT_EQ(tb->GetShapeIndex(), 1);
    Button(false);
    TRect g = tb->FloatingFrame->GetWindowRect();
    EXPECT_EQ(g.right, f.right);  // the right edge stays
    EXPECT_EQ(g.Size(), tb->GetShapeSize(1));
    // Dragged back past where it began, it steps back to one row.
    MouseTo(TPoint(g.left + 1, g.top + g.Height() / 2));
    Button(true);
    MouseTo(TPoint(f.left - 5, g.top + g.Height() / 2));
    Button(false);
    EXPECT_EQ(tb->GetShapeIndex(), 0);
    EXPECT_EQ(tb->FloatingFrame->GetWindowRect(), f);
}

TEST_F(ToolbarFrameTest, ASingleShapeCannotBeResized) {
    TToolbar* tb = OpenFloating(1);
    EXPECT_EQ(tb->GetShapeCount(), 1);
    TRect f = tb->FloatingFrame->GetWindowRect();
    MouseTo(TPoint(f.left + 1, f.top + f.Height() / 2));
    Button(true);
    MouseTo(TPoint(f.left + 30, f.top + f.Height() / 2));
    Button(false);
    EXPECT_EQ(tb->FloatingFrame->GetWindowRect(), f);
}

TEST_F(ToolbarFrameTest, DoubleClickOnTheCaptionDocksAgain) {
    TToolbar* tb = OpenFloating();
    MouseTo(Caption(tb));
    Button(true);
    Button(false);
    Button(true);
    Button(false);
    qsm::wm::PumpMessages();
    EXPECT_EQ(tb->FloatingFrame, nullptr);
    EXPECT_EQ(tb->Placement, 0x2880);
    EXPECT_EQ(tb->GetParentO(), Station(tpTop));
    EXPECT_TRUE(tb->IsWindowVisible());
    // A double click on its background floats it again.
    TRect r = tb->GetWindowRect();
    MouseTo(TPoint(r.left + 6, r.top + 10));
    Button(true);
    Button(false);
    Button(true);
    Button(false);
    EXPECT_NE(tb->FloatingFrame, nullptr);
}

TEST_F(ToolbarFrameTest, DraggedByItsCaptionOntoAnEdgeItDocks) {
    TToolbar* tb = OpenFloating();
    TRect client = frame_->ClientOnScreen();
    MouseTo(Caption(tb));
    Button(true);
    EXPECT_TRUE(tb->IsDragging());
    MouseTo(TPoint(client.right - 4, client.top + 120));
    EXPECT_EQ(tb->GetDragWord() & 0xF030, tpRight);
    Button(false);
    qsm::wm::PumpMessages();
    EXPECT_EQ(tb->FloatingFrame, nullptr);
    EXPECT_EQ(tb->GetParentO(), Station(tpRight));
    EXPECT_EQ(frame_->ClientOnScreen().right, Station(tpRight)->GetWindowRect().left);
}

TEST_F(ToolbarFrameTest, TheDragFollowsThePointerOutsideEveryWindow) {
    TToolbar* tb = OpenFloating();
    TRect f = tb->FloatingFrame->GetWindowRect();
    TPoint start = Caption(tb);
    MouseTo(start);
    Button(true);
    // Far below the frame, where no window is: the toolbar keeps the mouse.
    const TPoint far(start.x + 700, start.y + 600);
    ASSERT_EQ(WindowFromPoint(far), nullptr);
    MouseTo(far);
    EXPECT_EQ(tb->GetDragRect().TopLeft(), f.TopLeft().OffsetBy(700, 600));
    Button(false);
    ASSERT_NE(tb->FloatingFrame, nullptr);
    EXPECT_EQ(tb->FloatingFrame->GetWindowRect().TopLeft(), f.TopLeft().OffsetBy(700, 600));
    EXPECT_EQ(tb->FloatPos, f.TopLeft().OffsetBy(700, 600));
}

TEST_F(ToolbarFrameTest, ClosingHidesAndTheCommandShowsItAtItsLastPlace) {
    TToolbar* tb = OpenFloating();
    ::SetWindowPos(*tb->FloatingFrame, nullptr, 300, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    tb->FloatingFrame->SendMessage(WM_CLOSE);
    qsm::wm::PumpMessages();
    EXPECT_EQ(tb->FloatingFrame, nullptr);
    EXPECT_TRUE(tb->Placement & tpHidden);
    EXPECT_FALSE(tb->IsWindowVisible());
    frame_->SendMessage(WM_COMMAND, 20310, 0);
    qsm::wm::PumpMessages();
    ASSERT_NE(tb->FloatingFrame, nullptr);
    EXPECT_EQ(tb->FloatingFrame->GetWindowRect().TopLeft(), TPoint(300, 250));
    // Saved floating and shown, it floats again after a restart.
    Close();
    tb = Open(0x2800, 0xf010);
    ASSERT_NE(tb->FloatingFrame, nullptr);
    EXPECT_EQ(tb->FloatingFrame->GetWindowRect().TopLeft(), TPoint(300, 250));
}

TEST_F(ToolbarFrameTest, ShapeIndexIsKeptToTheShapesThereAre) {
    uint8_t record[10] = {0x90, 0x28, 10, 0, 10, 0, 0xFE, 0xFF, 0, 1};  // floating, shape -2
    ASSERT_TRUE(SysInfo.WriteBlob("Toolbars", "Tools", record, sizeof record));
    TToolbar* tb = Open(0x2800, 0xf010, 4);
    EXPECT_EQ(tb->GetShapeIndex(), 0);
    ASSERT_NE(tb->FloatingFrame, nullptr);
    tb->SetShapeIndex(99);
    EXPECT_EQ(tb->GetShapeIndex(), tb->GetShapeCount() - 1);
    EXPECT_EQ(tb->FloatingFrame->GetWindowRect().Size(), tb->GetShapeSize(tb->GetShapeIndex()));
    EXPECT_EQ(tb->GetShapeSize(-1), TSize(0, 0));
    tb->SetShapeIndex(-3);
    EXPECT_EQ(tb->GetShapeIndex(), 0);
    // A toolbar without gadgets still has its one shape.
    Close();
    tb = Open(0x2800, 0xf010, 0, "Empty");
    EXPECT_EQ(tb->GetShapeCount(), 1);
    tb->Float();
    qsm::wm::PumpMessages();
    ASSERT_NE(tb->FloatingFrame, nullptr);
    EXPECT_EQ(tb->FloatingFrame->GetWindowRect().Size(), tb->GetShapeSize(0));
}

}  // namespace
}  // namespace qsm_test
