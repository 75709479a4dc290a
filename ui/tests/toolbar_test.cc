// The dockable toolbar in a frame: docking, the saved state across a restart, dragging to another side,
// the show/hide commands, floating, sizing by shapes and docking again.
#include "ui/button_gadget.h"
#include "ui/tests/toolbar_test_util.h"
#include "ui/tooltip.h"

#include <cstring>

namespace qsm_test {
namespace {

using ToolbarTest = ToolbarFixture;

TEST_F(ToolbarTest, ViewerToolbarDocksOnTopAboveTheClient) {
    TToolbar* tb = Open(0x2800, 0xf000);
    EXPECT_EQ(tb->Placement, 0x2880);
    EXPECT_EQ(tb->CommandId, 20310u);
    EXPECT_EQ(tb->GetParentO(), Station(tpTop));
    EXPECT_TRUE(tb->IsWindowVisible());
    TRect st = Station(tpTop)->GetWindowRect();
    TRect r = tb->GetWindowRect();
    TSize want;
    tb->GetDesiredSize(want);
    EXPECT_EQ(r.Size(), want);
    EXPECT_GT(st.Height(), 20);
    EXPECT_EQ(frame_->ClientOnScreen().top, st.bottom);
    // The empty stations take no room across their side.
    EXPECT_EQ(Station(tpLeft)->GetWindowRect().Width(), 0);
    EXPECT_EQ(Station(tpBottom)->GetWindowRect().Height(), 0);
}

TEST_F(ToolbarTest, PlacementSurvivesARestartThroughTheStore) {
    TToolbar* tb = Open(0x2800, 0xf000);
    tb->ShowToolbar(0x1480, 1);  // to the left side
    qsm::wm::PumpMessages();
    EXPECT_EQ(tb->GetParentO(), Station(tpLeft));
    Close();
    uint8_t record[22] = {};
    ASSERT_EQ(SysInfo.ReadBlob("Toolbars", "Tools", nullptr, record, sizeof record), 10u);
    EXPECT_EQ(record[0] | (record[1] << 8), 0x1480);
    tb = Open(0x2800, 0xf000);
    EXPECT_EQ(tb->Placement, 0x1480);
    EXPECT_EQ(tb->GetParentO(), Station(tpLeft));
    EXPECT_TRUE(tb->IsWindowVisible());
    EXPECT_GT(Station(tpLeft)->GetWindowRect().Width(), 20);
    EXPECT_EQ(Station(tpTop)->GetWindowRect().Height(), 0);
    // A button size other than 18 is kept in an eleventh byte.
    tb->ButtonSize = 24;
    Close();
    EXPECT_EQ(SysInfo.ReadBlob("Toolbars", "Tools", nullptr, record, sizeof record), 11u);
    EXPECT_EQ(record[10], 24);
}

TEST_F(ToolbarTest, DraggedByItsGripperToTheLeftSide) {
    if (SysInfo.GetStatusDepth() == 0) SysInfo.PushStatus("Ready", false);  // the base text
    const std::string base = SysInfo.GetStatusText();
    TToolbar* tb = Open(0x2800, 0xf000);
    TRect r = tb->GetWindowRect();
    TRect client = frame_->ClientOnScreen();
    MouseTo(TPoint(r.left + 6, r.top + 10));  // on the gripper
    Button(true);
    ASSERT_TRUE(tb->IsDragging());
    EXPECT_EQ(::GetCapture(), tb->GetHandle());
    EXPECT_STREQ(SysInfo.GetStatusText(),
                 "Drag the toolbar to an edge of the window to dock it there; hold Ctrl to keep it floating");
    // Over the client area the rectangle takes the floating shape, though floating is not allowed.
    MouseTo(TPoint(client.left + 200, client.top + 150));
    EXPECT_TRUE(tb->GetDragWord() & tpFloating);
    // Near the left edge it takes the shape of a toolbar docked on the left.
    MouseTo(TPoint(client.left + 4, client.top + 100));
    EXPECT_EQ(tb->GetDragWord() & 0xF030, tpLeft);
    EXPECT_LT(tb->GetDragRect().Width(), tb->GetDragRect().Height());
    Button(false);
    EXPECT_FALSE(tb->IsDragging());
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_EQ(SysInfo.GetStatusText(), base);
    EXPECT_EQ(tb->Placement & 0xF030, tpLeft);
    EXPECT_EQ(tb->GetParentO(), Station(tpLeft));
    EXPECT_TRUE(tb->IsWindowVisible());
    EXPECT_EQ(Station(tpTop)->GetWindowRect().Height(), 0);
    EXPECT_EQ(frame_->ClientOnScreen().left, Station(tpLeft)->GetWindowRect().right);
}

TEST_F(ToolbarTest, ReleasedInTheOpenWithoutFloatingItStaysWhereItWas) {
    TToolbar* tb = Open(0x2800, 0xf000);
    TRect before = tb->GetWindowRect();
    TRect client = frame_->ClientOnScreen();
    MouseTo(TPoint(before.left + 6, before.top + 10));
    Button(true);
    MouseTo(TPoint(client.left + 250, client.top + 200));
    Button(false);
    EXPECT_EQ(tb->Placement, 0x2880);
    EXPECT_EQ(tb->GetWindowRect(), before);
    EXPECT_EQ(tb->FloatingFrame, nullptr);
}

TEST_F(ToolbarTest, APressOnAButtonIsTheButtonsAndStartsNoDrag) {
    TToolbar* tb = Open(0x2800, 0xf000);
    TGadget* b = tb->GadgetWithId(100);
    TPoint p = tb->ClientToScreen(b->GetBounds().TopLeft().OffsetBy(5, 5));
    MouseTo(p);
    Button(true);
    EXPECT_FALSE(tb->IsDragging());
    Button(false);
    EXPECT_EQ(static_cast<TTestButton*>(b)->Clicks, 1);
    // A separator takes no press: it starts a drag.
    TGadget* sep = tb->NextGadget(*tb->GadgetWithId(102));
    MouseTo(tb->ClientToScreen(sep->GetBounds().TopLeft().OffsetBy(2, 5)));
    Button(true);
    EXPECT_TRUE(tb->IsDragging());
    Button(false);
}

TEST_F(ToolbarTest, CommandHidesAndShowsTheToolbarWhereItWas) {
    TToolbar* tb = Open(0x2800, 0xf000);
    TRect before = tb->GetWindowRect();
    frame_->SendMessage(WM_COMMAND, 20310, 0);
    qsm::wm::PumpMessages();
    EXPECT_TRUE(tb->Placement & tpHidden);
    EXPECT_FALSE(tb->IsWindowVisible());
    EXPECT_EQ(Station(tpTop)->GetWindowRect().Height(), 0);
    frame_->SendMessage(WM_COMMAND, 20310, 0);
    qsm::wm::PumpMessages();
    EXPECT_FALSE(tb->Placement & tpHidden);
    EXPECT_TRUE(tb->IsWindowVisible());
    EXPECT_EQ(tb->GetWindowRect(), before);
    // A command that names no toolbar does nothing and is not taken.
    EXPECT_FALSE(TToolbar::ToggleToolbarCommand(20311));
    EXPECT_FALSE(TToolbar::ToggleToolbarCommand(20399));
    TCommandEnabler ce(20310);
    TToolbar::EnableToolbarCommands(ce);
    EXPECT_TRUE(ce.GetHandled() && ce.GetEnabled());
}

TEST_F(ToolbarTest, ButtonSizeHasAFloorAndTheListIsNumbered) {
    TToolbar* tb = Open(0x2800, 0xf000);
    tb->SetButtonSize(3);
    EXPECT_EQ(tb->GetButtonSize(), 6);
    tb->SetButtonSize(24);
    EXPECT_EQ(tb->GetButtonSize(), 24);
    EXPECT_TRUE(tb->IsWindowVisible());
    EXPECT_EQ(tb->GetParentO(), Station(tpTop));
    auto* second = new TToolbar(frame_.get(), "More", 0x2800, 1, nullptr);
    EXPECT_EQ(second->CommandId, 20311u);
    EXPECT_EQ(TToolbar::FindByTitle("More"), 1);
    EXPECT_EQ(TToolbar::FindByTitle("more"), -1);
    EXPECT_EQ(TToolbar::FindByGadgetId(103), tb);
    EXPECT_TRUE(TToolbar::AreGadgetsAdjacent(100, 101));
    EXPECT_FALSE(TToolbar::AreGadgetsAdjacent(101, 100));
}

TEST_F(ToolbarTest, TheTipFollowsTheGadgetsAndKeysAndClicksHideIt) {
    TToolbar* tb = Open(0x2800, 0xf000);
    GlobalToolTip = new TToolTip();
    auto text = [] {
        char buf[64] = {};
        GetWindowTextA(*GlobalToolTip, buf, sizeof buf);
        return std::string(buf);
    };
    TGadget* b = tb->GadgetWithId(101);
    TRect onScreen(tb->ClientToScreen(b->GetBounds().TopLeft()), b->GetBounds().Size());
    MouseTo(onScreen.TopLeft().OffsetBy(4, 4));
    EXPECT_EQ(GlobalToolTip->GetToolRect(), onScreen);
    GlobalToolTip->SetText("Play");
    MouseTo(onScreen.TopLeft().OffsetBy(6, 5));  // moves keep it
    EXPECT_EQ(text(), "Play");
    qsm::wm::PressKey('A');  // the focus is in the client
    qsm::wm::PumpMessages();
    EXPECT_EQ(text(), "");
    GlobalToolTip->SetText("Play");
    TRect r = tb->GetWindowRect();
    MouseTo(TPoint(r.left + 6, r.top + 10));  // off the gadgets: hidden
    EXPECT_EQ(text(), "");
    GlobalToolTip->SetText("Play");
    Button(true);
    EXPECT_EQ(text(), "");
    Button(false);
    delete GlobalToolTip;
    GlobalToolTip = nullptr;
}

// A button with a plain 16 x 15 glyph.
class TGlyphButton : public TToolbarButtonGadget {
public:
    explicit TGlyphButton(int id) : TToolbarButtonGadget(1, id, Command, true) {}
    TDib* GetGlyphBitmap() override {
        const int w = 16, h = 15, stride = (w * 3 + 3) & ~3;
        std::vector<uint8_t> packed(sizeof(BITMAPINFOHEADER) + static_cast<size_t>(stride) * h, 0x40);
        BITMAPINFOHEADER bi{};
        bi.biSize = sizeof bi;
        bi.biWidth = w;
        bi.biHeight = h;
        bi.biPlanes = 1;
        bi.biBitCount = 24;
        std::memcpy(packed.data(), &bi, sizeof bi);
        return new TDib(packed.data(), packed.size());
    }
};

TEST_F(ToolbarTest, ButtonGlyphsTakeTheToolbarsButtonSize) {
    TToolbar* tb = Open(0x2800, 0xf000, 0);
    auto* b = new TGlyphButton(300);
    tb->Insert(*b);
    qsm::wm::PumpMessages();
    EXPECT_EQ(b->GetBounds().Size(), TSize(19 + 4, 18 + 4));
    tb->SetButtonSize(30);
    qsm::wm::PumpMessages();
    EXPECT_EQ(b->GetBounds().Size(), TSize(32 + 4, 30 + 4));
    TSize want;
    tb->GetDesiredSize(want);
    EXPECT_EQ(tb->GetWindowRect().Size(), want);
    EXPECT_EQ(tb->GetParentO(), Station(tpTop));
    EXPECT_TRUE(tb->IsWindowVisible());
}

TEST_F(ToolbarTest, GadgetScreenRectPrefersTheToolbarUnderTheCursor) {
    TToolbar* tb = Open(0x2800, 0xf000);
    TRect rect;
    TPoint point;
    EXPECT_FALSE(TToolbar::GetGadgetScreenRect(999, rect, point, false));
    TGadget* b = tb->GadgetWithId(102);
    TRect want(tb->ClientToScreen(b->GetBounds().TopLeft()), b->GetBounds().Size());
    ASSERT_TRUE(TToolbar::GetGadgetScreenRect(102, rect, point, false));
    EXPECT_EQ(rect, want);
    EXPECT_EQ(point, want.TopLeft());
    // Docked at the bottom, the point is the far corner.
    tb->ShowToolbar(0x8280, 1);
    qsm::wm::PumpMessages();
    want = TRect(tb->ClientToScreen(b->GetBounds().TopLeft()), b->GetBounds().Size());
    ASSERT_TRUE(TToolbar::GetGadgetScreenRect(102, rect, point, false));
    EXPECT_EQ(point, want.BottomRight());
    // A hidden toolbar is not searched.
    tb->ShowToolbar(0x82A0, 1);
    EXPECT_FALSE(TToolbar::GetGadgetScreenRect(102, rect, point, false));
}

TEST_F(ToolbarTest, ContextMenuListsTheToolbarsAndPostsTheChoice) {
    TToolbar* tb = Open(0x2800, 0xf000);
    int shown = 0;
    qsm::wm::SetModalHook([&](HWND) {
        ++shown;
        qsm::wm::PressKey(VK_DOWN);
        qsm::wm::PressKey(VK_RETURN);
    });
    TRect r = tb->GetWindowRect();
    ContextMenuId = 0;  // the viewer's setting: no menu
    MouseTo(TPoint(r.left + 6, r.top + 10));
    qsm::wm::InputMouseButton(1, true);
    qsm::wm::InputMouseButton(1, false);
    qsm::wm::PumpMessages();
    EXPECT_EQ(shown, 0);
    ContextMenuId = 20302;
    MouseTo(TPoint(r.left + 6, r.top + 16));  // not a double click
    qsm::wm::InputMouseButton(1, true);
    qsm::wm::InputMouseButton(1, false);
    qsm::wm::PumpMessages();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(tb->Placement & tpHidden);  // "Tools" chosen: command 20310 hid it
    qsm::wm::SetModalHook(nullptr);
}

}  // namespace
}  // namespace qsm_test
