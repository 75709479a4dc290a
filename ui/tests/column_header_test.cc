// The column header: its hit zones, sizing a divider with the mouse, caption clicks, the owner's answers,
// its cursors and its place over the bound list.
#include "ui/column_header.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/module.h"
#include "platform/wm/backend.h"
#include "ui/column_list.h"

namespace {

using qsm::wm::InputMouseButton;
using qsm::wm::InputMouseMove;
using qsm::wm::PumpMessages;

// The owner: logs every header notification and answers the codes it is told to refuse.
class THeaderOwner : public TWindow {
public:
    THeaderOwner() : TWindow(static_cast<TWindow*>(nullptr), "owner") {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.W = 400;
        Attr.H = 300;
    }
    LRESULT EvNotify(UINT, NMHDR& hdr) override {
        auto& nm = reinterpret_cast<HD_NOTIFYA&>(hdr);
        Log.push_back(Name(hdr.code) + " " + std::to_string(nm.iItem));
        for (UINT code : Refuse)
            if (code == hdr.code) return 1;
        return 0;
    }
    static std::string Name(UINT code) {
        switch (code) {
            case HDN_ITEMCLICK:
                return "click";
            case HDN_ITEMDBLCLICK:
                return "dblclick";
            case HDN_DIVIDERDBLCLICK:
                return "divdbl";
            case HDN_BEGINTRACK:
                return "begin";
            case HDN_ENDTRACK:
                return "end";
            case HDN_TRACK:
                return "track";
            default:
                return "?";
        }
    }
    std::vector<std::string> Log;
    std::vector<UINT> Refuse;
};

// Columns of 100, 0 and 80 pixels in a header at (0, 0) of the owner, 300 x 20.
class ColumnHeaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        owner = new THeaderOwner;
        header = new TQSColumnHeader(owner, 10, 0, 0, 300, 20);
        header->AddItem(new TQSHdrItem("Name", nullptr, 100));
        header->AddItem(new TQSHdrItem("Hidden", nullptr, 0));
        header->AddItem(new TQSHdrItem("Location", nullptr, 80));
        ASSERT_TRUE(owner->Create());
        PumpMessages();
    }
    void TearDown() override {
        delete owner;
        qsm::wm::ResetForTests();
    }
    void SetButtons() {
        SetWindowLongA(*header, GWL_STYLE, static_cast<LONG>(header->GetStyle() | HDS_BUTTONS));
    }
    HD_HITTESTINFO Hit(int x, int y = 5) {
        HD_HITTESTINFO info{};
        info.pt = POINT{x, y};
        header->HitTest(info);
        return info;
    }
    // Moves the mouse to a point of the header's client area.
    void MoveTo(int x, int y = 5) {
        TPoint p = header->ClientToScreen(TPoint(x, y));
        InputMouseMove(p.x, p.y);
        PumpMessages();
    }
    void Send(UINT msg, int x, int y = 5) { header->SendMessage(msg, 0, MAKELPARAM(x, y)); }

    THeaderOwner* owner = nullptr;
    TQSColumnHeader* header = nullptr;
};

TEST_F(ColumnHeaderTest, HitZonesSplitCaptionsFromDividersAndReopenANarrowColumn) {
    // The double-click width is 4: each divider zone spans 4 pixels either side of a column's right edge.
    ASSERT_EQ(GetSystemMetrics(SM_CXDOUBLECLK), 4);
    struct Case {
        int x;
        UINT flags;
        int item;
    } cases[] = {
        {0, HHT_ONHEADER, 0},    {95, HHT_ONHEADER, 0},   {96, HHT_ONDIVIDER, 0}, {99, HHT_ONDIVIDER, 0},
        {100, HHT_ONDIVOPEN, 1}, {103, HHT_ONDIVOPEN, 1}, {104, HHT_ONHEADER, 2}, {175, HHT_ONHEADER, 2},
        {176, HHT_ONDIVIDER, 2}, {183, HHT_ONDIVIDER, 2}, {184, HHT_NOWHERE, -1}, {299, HHT_NOWHERE, -1},
    };
    for (const Case& c : cases) {
        HD_HITTESTINFO info = Hit(c.x);
        EXPECT_EQ(info.flags, c.flags) << "x " << c.x;
        EXPECT_EQ(info.iItem, c.item) << "x " << c.x;
    }
    EXPECT_EQ(Hit(-1, -1).flags, HHT_TOLEFT | HHT_ABOVE);
    EXPECT_EQ(Hit(300, 20).flags, HHT_TORIGHT | HHT_BELOW);
    EXPECT_EQ(Hit(300, 20).iItem, -1);

    // Scrolled by 50, every zone moves left by 50.
    header->ScrollColumns(50);
    EXPECT_EQ(Hit(46).flags, HHT_ONDIVIDER);
    EXPECT_EQ(Hit(51).iItem, 1);
    EXPECT_EQ(Hit(60).flags, HHT_ONHEADER);
    EXPECT_EQ(Hit(60).iItem, 2);
}

TEST_F(ColumnHeaderTest, DraggingADividerSizesTheColumnButNeverBelowZero) {
    // A real drag: press on the divider of column 0, move right by 30, release.
    MoveTo(98);
    InputMouseButton(0, true);
    PumpMessages();
    EXPECT_EQ(header->GetDragState(), TQSColumnHeader::DragSizing);
    EXPECT_EQ(GetCapture(), header->GetHandle());
    MoveTo(128);
    EXPECT_EQ(header->GetDragWidth(), 130);
    EXPECT_EQ(header->GetColumnWidth(0), 100);  // only the line moves while dragging
    InputMouseButton(0, false);
    PumpMessages();
    EXPECT_EQ(header->GetColumnWidth(0), 130);
    EXPECT_EQ(header->GetDragState(), TQSColumnHeader::DragIdle);
    EXPECT_EQ(GetCapture(), nullptr);
    std::vector<std::string> want = {"begin 0", "track 0", "end 0"};
    EXPECT_EQ(owner->Log, want);

    // Moved far left of the column's left edge, the width stops at 0.
    Send(WM_LBUTTONDOWN, 208);
    Send(WM_MOUSEMOVE, 20);
    Send(WM_LBUTTONUP, 20);
    EXPECT_EQ(header->GetColumnWidth(2), 0);
    EXPECT_EQ(header->GetTotalWidth(), 130);
}

TEST_F(ColumnHeaderTest, AZeroWidthColumnOpensAgainFromJustRightOfItsDivider) {
    Send(WM_LBUTTONDOWN, 101);
    Send(WM_MOUSEMOVE, 141);
    Send(WM_LBUTTONUP, 141);
    EXPECT_EQ(header->GetColumnWidth(1), 40);
    EXPECT_EQ(header->GetColumnWidth(0), 100);
}

TEST_F(ColumnHeaderTest, TheOwnerMayRefuseADragOrEndItWhileItRuns) {
    owner->Refuse = {HDN_BEGINTRACK};
    Send(WM_LBUTTONDOWN, 98);
    EXPECT_EQ(header->GetDragState(), TQSColumnHeader::DragIdle);
    EXPECT_EQ(GetCapture(), nullptr);

    owner->Refuse = {HDN_TRACK};
    owner->Log.clear();
    Send(WM_LBUTTONDOWN, 98);
    Send(WM_MOUSEMOVE, 150);
    // The first refused move ends the drag with the width reached so far: unchanged.
    EXPECT_EQ(header->GetDragState(), TQSColumnHeader::DragIdle);
    EXPECT_EQ(header->GetColumnWidth(0), 100);
    std::vector<std::string> want = {"begin 0", "track 0", "end 0"};
    EXPECT_EQ(owner->Log, want);
}

TEST_F(ColumnHeaderTest, CaptionsAreButtonsOnlyWithTheButtonStyle) {
    Send(WM_LBUTTONDOWN, 50);
    EXPECT_EQ(header->GetPressedColumn(), -1);
    Send(WM_LBUTTONUP, 50);
    Send(WM_LBUTTONDBLCLK, 50);
    EXPECT_TRUE(owner->Log.empty());

    SetButtons();
    Send(WM_LBUTTONDOWN, 50);
    EXPECT_EQ(header->GetPressedColumn(), 0);
    EXPECT_EQ(GetCapture(), header->GetHandle());
    // Off the caption it looks released; back on it, pressed again.
    Send(WM_MOUSEMOVE, 150);
    EXPECT_EQ(header->GetPressedColumn(), -1);
    Send(WM_MOUSEMOVE, 60);
    EXPECT_EQ(header->GetPressedColumn(), 0);
    Send(WM_LBUTTONUP, 60);
    EXPECT_EQ(header->GetPressedColumn(), -1);
    // Pressed, moved off and released there: no click.
    Send(WM_LBUTTONDOWN, 150);
    Send(WM_MOUSEMOVE, 20);
    Send(WM_LBUTTONUP, 20);
    Send(WM_LBUTTONDBLCLK, 150);
    Send(WM_LBUTTONDBLCLK, 99);
    std::vector<std::string> want = {"click 0", "dblclick 2", "divdbl 0"};
    EXPECT_EQ(owner->Log, want);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ColumnHeaderTest, TheCursorShowsWhatADragWouldDo) {
    auto cursorAt = [&](int x) {
        MoveTo(x);
        return GetCursor();
    };
    HCURSOR size = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1011));
    HCURSOR open = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1012));
    ASSERT_NE(size, open);
    EXPECT_EQ(cursorAt(98), size);
    EXPECT_EQ(cursorAt(102), open);
    EXPECT_EQ(cursorAt(50), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(cursorAt(180), size);
    // Both are pictures of the program's own: 32 x 32 with the hot spot in the middle.
    for (HCURSOR c : {size, open}) {
        qsm::wm::CursorImage image;
        ASSERT_TRUE(qsm::wm::GetCursorImage(c, &image));
        EXPECT_EQ(image.width, 32);
        EXPECT_EQ(image.height, 32);
        EXPECT_EQ(image.hot_x, 15);
        EXPECT_EQ(image.hot_y, 15);
        EXPECT_EQ(image.pixels[15 * 32 + 15] >> 24, 0xFFu);  // the hot spot is on the shape
        EXPECT_EQ(image.pixels[0], 0u);                      // the corners are transparent
    }
}

TEST_F(ColumnHeaderTest, ItemsAreInsertedAndDeletedWithinRange) {
    TQSHdrItem refused("x", nullptr, 5);
    EXPECT_FALSE(header->InsertItem(&refused, -1));
    EXPECT_EQ(header->GetColumnCount(), 3);
    auto* item = new TQSHdrItem("Last", nullptr, 7);
    EXPECT_TRUE(header->InsertItem(item, 99));
    EXPECT_EQ(header->GetItem(3), item);
    EXPECT_STREQ(header->GetColumnText(3), "Last");
    EXPECT_EQ(item->cchTextMax, 4);
    EXPECT_EQ(item->fmt, HDF_STRING);
    EXPECT_FALSE(header->DeleteItem(4));
    EXPECT_FALSE(header->DeleteItem(-1));
    EXPECT_TRUE(header->DeleteItem(1));
    EXPECT_STREQ(header->GetColumnText(1), "Location");
    EXPECT_EQ(header->GetColumnText(3), nullptr);
    EXPECT_EQ(header->GetItem(-1), nullptr);
    item->SetText("Renamed");
    EXPECT_STREQ(header->GetColumnText(2), "Renamed");
    EXPECT_EQ(item->mask, HDI_WIDTH | HDI_FORMAT | HDI_TEXT);
}

TEST_F(ColumnHeaderTest, TheSizingLineIsErasedByDrawingItAgain) {
    UpdateWindow(*owner);
    HDC dc = GetDC(*header);
    std::vector<COLORREF> before;
    for (int x = 90; x < 140; ++x)
        before.push_back(GetPixel(dc, x, 10));
    Send(WM_LBUTTONDOWN, 98);
    Send(WM_MOUSEMOVE, 120);
    EXPECT_NE(GetPixel(dc, 122, 10), before[122 - 90]);
    Send(WM_MOUSEMOVE, 110);
    EXPECT_EQ(GetPixel(dc, 122, 10), before[122 - 90]);
    ReleaseDC(*header, dc);
}

}  // namespace
