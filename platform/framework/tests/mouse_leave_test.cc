// WM_MOUSELEAVE from the window system and the gadget window's MouseLeave when the pointer leaves the bar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/framework/frame.h"
#include "platform/framework/gadgets.h"
#include "platform/wm/backend.h"

namespace {

using qsm::wm::InputMouseMove;
using qsm::wm::PumpMessages;

std::vector<std::string> g_events;

LRESULT LeaveRecorder(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_MOUSELEAVE) {
        char name[32];
        GetWindowTextA(hwnd, name, sizeof name);
        g_events.push_back(std::string("leave ") + name);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

class MouseLeaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        g_events.clear();
        WNDCLASSA wc{};
        wc.lpfnWndProc = LeaveRecorder;
        wc.lpszClassName = "LeaveRecorder";
        RegisterClassA(&wc);
    }
    void TearDown() override { qsm::wm::ResetForTests(); }
    static bool Track(HWND hwnd, DWORD flags = TME_LEAVE) {
        TRACKMOUSEEVENT t{sizeof(TRACKMOUSEEVENT), flags, hwnd, 0};
        return TrackMouseEvent(&t) != FALSE;
    }
};

TEST_F(MouseLeaveTest, OneLeaveWhenThePointerGoesElsewhere) {
    HWND a = CreateWindowExA(0, "LeaveRecorder", "a", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                             nullptr, nullptr);
    HWND b = CreateWindowExA(0, "LeaveRecorder", "b", WS_POPUP | WS_VISIBLE, 200, 0, 100, 100, nullptr,
                             nullptr, nullptr, nullptr);
    InputMouseMove(50, 50);
    PumpMessages();
    ASSERT_TRUE(Track(a));
    InputMouseMove(60, 50);  // still inside: nothing
    PumpMessages();
    EXPECT_TRUE(g_events.empty());
    InputMouseMove(250, 50);  // onto b
    InputMouseMove(50, 50);   // back: the tracking was used up
    InputMouseMove(500, 500);
    PumpMessages();
    EXPECT_EQ(g_events, (std::vector<std::string>{"leave a"}));

    // Asked while the pointer is elsewhere: the leave comes at once. A cancel stops it.
    g_events.clear();
    ASSERT_TRUE(Track(b));
    PumpMessages();
    EXPECT_EQ(g_events, (std::vector<std::string>{"leave b"}));
    g_events.clear();
    InputMouseMove(250, 50);
    ASSERT_TRUE(Track(b));
    ASSERT_TRUE(Track(b, TME_LEAVE | TME_CANCEL));
    InputMouseMove(500, 500);
    PumpMessages();
    EXPECT_TRUE(g_events.empty());
    // A destroyed window is forgotten.
    ASSERT_TRUE(Track(a) || true);
    InputMouseMove(50, 50);
    ASSERT_TRUE(Track(a));
    DestroyWindow(a);
    InputMouseMove(500, 500);
    PumpMessages();
    EXPECT_TRUE(g_events.empty());
    TRACKMOUSEEVENT bad{4, TME_LEAVE, b, 0};
    EXPECT_FALSE(TrackMouseEvent(&bad));
}

class TLoggingGadget : public TGadget {
public:
    explicit TLoggingGadget(int id) : TGadget(id, Raised) {}
    void GetDesiredSize(TSize& s) override { s = TSize(30, 20); }
    void MouseEnter(UINT k, const TPoint& p) override {
        TGadget::MouseEnter(k, p);
        g_events.push_back("enter " + std::to_string(GetId()));
    }
    void MouseLeave(UINT k, const TPoint& p) override {
        TGadget::MouseLeave(k, p);
        g_events.push_back("leave " + std::to_string(GetId()) + " at " + std::to_string(p.y));
    }
};

TEST_F(MouseLeaveTest, TheGadgetUnderThePointerLeavesWhenThePointerLeavesTheBar) {
    TDecoratedFrame frame(nullptr, "bar", new TWindow(static_cast<TWindow*>(nullptr), "client"));
    frame.Attr.X = frame.Attr.Y = 0;
    frame.Attr.W = 300;
    frame.Attr.H = 200;
    auto* bar = new TControlBar(&frame);
    auto* g = new TLoggingGadget(7);
    bar->Insert(*g);
    frame.Insert(*bar, TDecoratedFrame::Top);
    ASSERT_TRUE(frame.Create());
    frame.Show(SW_SHOW);
    PumpMessages();
    TPoint on = bar->ClientToScreen(TPoint(g->GetBounds().left + 5, 10));
    InputMouseMove(on.x, on.y);
    PumpMessages();
    EXPECT_EQ(g_events, (std::vector<std::string>{"enter 7"}));
    // Straight off the bar, with no move seen inside it on the way.
    TPoint below = bar->ClientToScreen(TPoint(0, 150));
    InputMouseMove(on.x, below.y);
    PumpMessages();
    EXPECT_EQ(g_events, (std::vector<std::string>{"enter 7", "leave 7 at 150"}));
    // Coming back enters again.
    InputMouseMove(on.x, on.y);
    PumpMessages();
    EXPECT_EQ(g_events.back(), "enter 7");
}

}  // namespace
