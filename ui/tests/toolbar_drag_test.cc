// The drag rectangle: docking shapes near the frame's edges, the floating shape elsewhere, Ctrl.
#include "ui/toolbar_drag.h"
#include "ui/tests/toolbar_test_util.h"

namespace qsm_test {
namespace {

using qsm::DragStep;
using qsm::TToolbarDragGeometry;

// A frame client of (100, 100)-(600, 400) inside stations that reach 30 pixels further out on every side.
TToolbarDragGeometry Geometry() {
    return TToolbarDragGeometry{TRect(70, 70, 630, 430), TRect(100, 100, 600, 400), TSize(200, 30),
                                TSize(30, 200)};
}

TEST(ToolbarDragStep, SnapsToTheSideItComesNear) {
    TToolbarDragGeometry d = Geometry();
    TRect r(300, 80, 500, 110);  // over the top edge
    EXPECT_EQ(DragStep(d, r, 0x2880, TPoint(320, 90), false, 0xf010, TSize(120, 60)), 0x2880);
    EXPECT_EQ(r, TRect(300, 80, 500, 110));
    r = TRect(80, 200, 280, 230);  // the horizontal shape over the left edge
    EXPECT_EQ(DragStep(d, r, 0x2880, TPoint(90, 210), false, 0xf010, TSize(120, 60)), 0x1880);
    EXPECT_EQ(r.Size(), TSize(30, 200));
    EXPECT_TRUE(r.Contains(TPoint(90, 210)));
    // A side missing from the mask is never taken.
    r = TRect(80, 200, 280, 230);
    EXPECT_EQ(DragStep(d, r, 0x2880, TPoint(90, 210), false, 0xe010, TSize(120, 60)) & 0xF010, 0x2010);
}

TEST(ToolbarDragStep, LeavingAStationTakesTheFloatShape) {
    TToolbarDragGeometry d = Geometry();
    // A real placement word (border bits, new look) never equals the bare side: the top-left stays.
    TRect r(300, 200, 500, 230);
    EXPECT_EQ(DragStep(d, r, 0x2880, TPoint(310, 210), false, 0xf010, TSize(120, 60)), 0x2890);
    EXPECT_EQ(r, TRect(300, 200, 420, 260));
    // The bare top word outside the dock area keeps the bottom edge instead.
    r = TRect(300, 500, 500, 530);
    EXPECT_EQ(DragStep(d, r, 0x2000, TPoint(310, 520), false, 0xf010, TSize(120, 60)), 0x2010);
    EXPECT_EQ(r, TRect(300, 470, 420, 530));
    // A mouse left of the new shape centres it on the mouse.
    r = TRect(300, 200, 500, 230);
    DragStep(d, r, 0x2880, TPoint(460, 210), false, 0xf010, TSize(120, 60));
    EXPECT_EQ(r, TRect(400, 200, 520, 260));
    // Once floating, the rectangle only follows the mouse.
    r = TRect(90, 80, 210, 140);
    EXPECT_EQ(DragStep(d, r, 0x2890, TPoint(95, 90), true, 0xf010, TSize(120, 60)), 0x2890);
    EXPECT_EQ(r, TRect(90, 80, 210, 140));
}

using ToolbarDragTest = ToolbarFixture;

TEST_F(ToolbarDragTest, CtrlKeepsTheRectangleFloatingAndIsReadAtOnce) {
    TToolbar* tb = Open(0x2800, 0xf010);
    TRect r = tb->GetWindowRect();
    TRect client = frame_->ClientOnScreen();
    MouseTo(TPoint(r.left + 6, r.top + 10));
    Button(true);
    MouseTo(TPoint(client.left + 200, client.top + 150));
    ASSERT_TRUE(tb->GetDragWord() & tpFloating);
    qsm::wm::InputKey(VK_CONTROL, true);
    qsm::wm::PumpMessages();
    MouseTo(TPoint(client.left + 4, client.top + 100));  // over the left edge, Ctrl held
    EXPECT_TRUE(tb->GetDragWord() & tpFloating);
    qsm::wm::InputKey(VK_CONTROL, false);  // released without moving: docks there at once
    qsm::wm::PumpMessages();
    EXPECT_EQ(tb->GetDragWord() & 0xF030, tpLeft);
    qsm::wm::InputKey(VK_CONTROL, true);
    qsm::wm::PumpMessages();
    EXPECT_TRUE(tb->GetDragWord() & tpFloating);
    qsm::wm::InputKey(VK_CONTROL, false);
    qsm::wm::PumpMessages();
    Button(false);
    EXPECT_EQ(tb->Placement & 0xF030, tpLeft);
}

}  // namespace
}  // namespace qsm_test
