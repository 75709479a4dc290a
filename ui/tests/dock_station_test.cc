// Rows of toolbars in a dock station: packing with overlaps, new rows, and where a dropped toolbar goes.
#include "ui/tests/toolbar_test_util.h"

namespace qsm_test {
namespace {

class DockStationTest : public ToolbarFixture {
protected:
    TToolbar* Add(const char* title, int startsRow, int buttons, uint16_t placement = 0x2800) {
        if (!frame_) frame_ = std::make_unique<TTestFrame>();
        auto* tb = new TToolbar(frame_.get(), title, placement, startsRow, nullptr);
        for (int i = 0; i < buttons; ++i)
            tb->Insert(*new TTestButton(200 + i));
        return tb;
    }
    void Show() {
        frame_->Create();
        qsm::wm::PumpMessages();
    }
    static std::vector<TToolbar*> Order(TDockStation* st) {
        std::vector<TToolbar*> v;
        for (TToolbar* t = st->FirstToolbar(); t; t = t->Next)
            v.push_back(t);
        return v;
    }
    const int g = TToolbar::BorderUnit();
};

TEST_F(DockStationTest, NeighboursOverlapAndRowsStartBeforeTheRowAbove) {
    TToolbar* a = Add("A", 1, 3);
    TToolbar* b = Add("B", 0, 2);
    TToolbar* c = Add("C", 1, 4);
    Show();
    TDockStation* top = Station(tpTop);
    EXPECT_EQ(Order(top), (std::vector<TToolbar*>{a, b, c}));
    TRect ra = a->GetWindowRect(), rb = b->GetWindowRect(), rc = c->GetWindowRect();
    EXPECT_EQ(rb.left, ra.right - g);
    EXPECT_EQ(rb.top, ra.top);
    EXPECT_EQ(rc.left, ra.left);
    EXPECT_EQ(rc.top, ra.bottom - g);
    EXPECT_EQ(c->RowOrder, 2);
    // The station holds both rows; the toolbars' outer g pixels lie under its borders.
    TRect st = top->GetWindowRect();
    EXPECT_EQ(st.bottom, rc.bottom);
    EXPECT_EQ(ra.top, st.top + 1);  // below the frame's one-pixel border
}

TEST_F(DockStationTest, DropAtTheStartOfARowTakesOverItsStart) {
    TToolbar* a = Add("A", 1, 3);
    TToolbar* b = Add("B", 0, 2);
    TToolbar* c = Add("C", 1, 2, 0x1400);  // on the left for now
    Show();
    TRect ra = a->GetWindowRect();
    c->ShowToolbar(0x2880, 0);
    Station(tpTop)->RemoveToolbar(c, true);
    Station(tpTop)->HitDockPosition(c, ra.left, ra.top);
    qsm::wm::PumpMessages();
    EXPECT_EQ(Order(Station(tpTop)), (std::vector<TToolbar*>{c, a, b}));
    EXPECT_EQ(c->StartsRow, 1);
    EXPECT_EQ(a->StartsRow, 0);
    EXPECT_EQ(a->GetWindowRect().top, c->GetWindowRect().top);
    EXPECT_EQ(a->GetWindowRect().left, c->GetWindowRect().right - g);
}

TEST_F(DockStationTest, DropOnARowGoesAfterTheToolbarsThatBeginBeforeThePoint) {
    TToolbar* a = Add("A", 1, 3);
    TToolbar* b = Add("B", 0, 2);
    TToolbar* d = Add("D", 1, 2, 0x1400);
    Show();
    TRect ra = a->GetWindowRect();
    d->ShowToolbar(0x1480, 0);
    Station(tpLeft)->RemoveToolbar(d, true);
    d->Placement = 0x2880;
    Station(tpTop)->HitDockPosition(d, ra.left + 5, ra.top + 1);
    EXPECT_EQ(Order(Station(tpTop)), (std::vector<TToolbar*>{a, d, b}));
    EXPECT_EQ(d->StartsRow, 0);
    EXPECT_EQ(d->GetWindowRect().top, ra.top);
    EXPECT_EQ(b->GetWindowRect().left, d->GetWindowRect().right - g);
}

TEST_F(DockStationTest, DropBetweenRowsMakesANewRowThere) {
    TToolbar* a = Add("A", 1, 3);
    TToolbar* c = Add("C", 1, 3);
    TToolbar* d = Add("D", 1, 2, 0x1400);
    Show();
    TRect ra = a->GetWindowRect(), rc = c->GetWindowRect();
    Station(tpLeft)->RemoveToolbar(d, true);
    d->Placement = 0x2880;
    int y = ra.top + a->GetMargins().Top + 2;  // past the first row's band, before the second's
    ASSERT_LT(y, rc.top - c->GetMargins().Bottom);
    Station(tpTop)->HitDockPosition(d, ra.left + 40, y);
    EXPECT_EQ(Order(Station(tpTop)), (std::vector<TToolbar*>{a, d, c}));
    EXPECT_EQ(d->StartsRow, 1);
    EXPECT_EQ(c->StartsRow, 1);
    EXPECT_EQ(d->GetWindowRect().left, ra.left);  // rows are packed from their start
    EXPECT_EQ(c->GetWindowRect().top, d->GetWindowRect().bottom - g);
}

TEST_F(DockStationTest, AToolbarBeyondTheStationsEndMovesToARowOfItsOwn) {
    TToolbar* a = Add("A", 1, 30);  // wider than the frame
    TToolbar* b = Add("B", 0, 3);
    TToolbar* d = Add("D", 1, 2, 0x1400);
    Show();
    TRect st = Station(tpTop)->GetWindowRect();
    ASSERT_GE(b->GetWindowRect().left, st.right);
    Station(tpLeft)->RemoveToolbar(d, true);
    d->Placement = 0x2880;
    TRect ra = a->GetWindowRect();
    Station(tpTop)->HitDockPosition(d, ra.left, ra.top);
    EXPECT_EQ(Order(Station(tpTop)), (std::vector<TToolbar*>{d, a, b}));
    EXPECT_EQ(b->StartsRow, 1);
    EXPECT_GT(b->GetWindowRect().top, a->GetWindowRect().top);
    EXPECT_EQ(b->GetWindowRect().left, d->GetWindowRect().left);
}

TEST_F(DockStationTest, ARemovedRowHeadLeavesItsStartToItsFollower) {
    TToolbar* a = Add("A", 1, 3);
    TToolbar* b = Add("B", 0, 2);
    TToolbar* c = Add("C", 1, 2);
    Show();
    Station(tpTop)->RemoveToolbar(a, true);
    EXPECT_EQ(b->StartsRow, 1);
    EXPECT_EQ(a->NextStartsRow, 0);  // read before the follower inherited the start
    EXPECT_FALSE(a->IsWindowVisible());
    Station(tpTop)->RemoveToolbar(b, true);
    EXPECT_EQ(b->NextStartsRow, 1);
    EXPECT_EQ(Order(Station(tpTop)), (std::vector<TToolbar*>{c}));
    // Toggled back on, a hidden toolbar returns to the row it came from.
    frame_->SendMessage(WM_COMMAND, 20312, 0);  // C hidden: the station is empty
    EXPECT_EQ(Station(tpTop)->GetWindowRect().Height(), 0);
    frame_->SendMessage(WM_COMMAND, 20312, 0);
    EXPECT_EQ(Order(Station(tpTop)), (std::vector<TToolbar*>{c}));
    EXPECT_TRUE(c->IsWindowVisible());
}

}  // namespace
}  // namespace qsm_test
