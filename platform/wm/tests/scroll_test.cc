// Window scroll bars: shown and hidden by their range, kept (disabled) on request, clicks and thumb drags
// reported to the window; the mouse wheel going from the focus up to its parents.
#include "platform/wm/tests/wm_test_util.h"

namespace qsm::wm::testing {
namespace {

class ScrollTest : public WmTest {
protected:
    void SetUp() override {
        WmTest::SetUp();
        SetManualClock(true, 1000);
    }
    // The codes (and positions) of the WM_VSCROLL messages logged since the last call.
    std::vector<std::pair<int, int>> Scrolls() {
        std::vector<std::pair<int, int>> out;
        for (const Logged& l : Rec().log)
            if (l.msg == WM_VSCROLL) out.push_back({LOWORD(l.wparam), static_cast<SHORT>(HIWORD(l.wparam))});
        Rec().Clear();
        return out;
    }
    void ClickAt(int x, int y) {
        Click(x, y);
        PumpMessages();
        AdvanceClock(1000);  // no double click with the next one
    }
};

TEST_F(ScrollTest, WindowScrollBarsFollowTheirRangeAndReportClicksAndThumbDrags) {
    HWND w = MakeTop(100, 100, 200, 150, WS_POPUP | WS_VISIBLE);
    PumpMessages();
    const int bar = GetSystemMetrics(SM_CXVSCROLL);
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 20, 0, 0};
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    EXPECT_TRUE(GetWindowLongA(w, GWL_STYLE) & WS_VSCROLL);
    RECT c{};
    GetClientRect(w, &c);
    EXPECT_EQ(c.right, 200 - bar);
    const int x = 300 - bar / 2;
    Rec().only = {WM_VSCROLL};

    // A click on the lower arrow, its release queued with it: one line down, then the end of scrolling.
    // The window moves the position itself.
    ClickAt(x, 249);
    using Codes = std::vector<std::pair<int, int>>;
    EXPECT_EQ(Scrolls(), (Codes{{SB_LINEDOWN, 0}, {SB_ENDSCROLL, 0}}));
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 0);
    ClickAt(x, 100);
    EXPECT_EQ(Scrolls(), (Codes{{SB_LINEUP, 0}, {SB_ENDSCROLL, 0}}));
    // The track below the thumb (which is at the top): a page down.
    ClickAt(x, 220);
    EXPECT_EQ(Scrolls(), (Codes{{SB_PAGEDOWN, 0}, {SB_ENDSCROLL, 0}}));

    // The thumb dragged half the free track down: positions as it goes, the last one at the release.
    const int arrow = GetSystemMetrics(SM_CYVSCROLL);
    const int track = 150 - 2 * arrow;
    const int thumb = track * 20 / 100;
    const int grab = 100 + arrow + thumb / 2;
    InputMouseMove(x, grab);
    InputMouseButton(0, true);
    InputMouseMove(x, grab + (track - thumb) / 4);
    InputMouseMove(x, grab + (track - thumb) / 2);
    InputMouseButton(0, false);
    PumpMessages();
    AdvanceClock(1000);
    Codes got = Scrolls();
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(got.front().first, SB_THUMBTRACK);
    EXPECT_EQ(got[got.size() - 3].first, SB_THUMBTRACK);
    int half = got[got.size() - 3].second;
    EXPECT_NEAR(half, 40, 2);  // half of the 80 positions the thumb can take
    EXPECT_EQ(got[got.size() - 2], std::make_pair(static_cast<int>(SB_THUMBPOSITION), half));
    EXPECT_EQ(got.back().first, SB_ENDSCROLL);

    // Positions stay within the range less the page.
    EXPECT_EQ(SetScrollPos(w, SB_VERT, 500, TRUE), 0);  // the old one
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 80);

    // A range that fits in the page hides the bar and gives the client its room back...
    si = SCROLLINFO{sizeof si, SIF_RANGE | SIF_PAGE, 0, 9, 20, 0, 0};
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_VSCROLL);
    GetClientRect(w, &c);
    EXPECT_EQ(c.right, 200);
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 0);
    // ...unless the bar is asked to stay, disabled: clicks on it report nothing.
    si.fMask |= SIF_DISABLENOSCROLL;
    SetScrollInfo(w, SB_VERT, &si, TRUE);
    EXPECT_TRUE(GetWindowLongA(w, GWL_STYLE) & WS_VSCROLL);
    GetClientRect(w, &c);
    EXPECT_EQ(c.right, 200 - bar);
    ClickAt(x, 249);
    EXPECT_TRUE(Scrolls().empty());
}

TEST_F(ScrollTest, TheWheelGoesToTheFocusAndUpToItsParentsUnlessAWindowTakesIt) {
    HWND top = MakeTop(0, 0, 300, 200, WS_POPUP | WS_VISIBLE);
    HWND mid = MakeChild(top, 1, 0, 0, 200, 150);
    HWND view = MakeChild(mid, 2, 10, 10, 100, 100);
    PumpMessages();
    SetFocus(view);
    InputMouseMove(40, 50);
    InputKey(VK_CONTROL, true);
    PumpMessages();
    Rec().Clear();
    Rec().only = {WM_MOUSEWHEEL};
    InputMouseWheel(-240);
    PumpMessages();
    ASSERT_EQ(Rec().log.size(), 3u);
    EXPECT_EQ(Rec().log[0].hwnd, view);
    EXPECT_EQ(Rec().log[1].hwnd, mid);
    EXPECT_EQ(Rec().log[2].hwnd, top);
    const Logged& first = Rec().log[0];
    EXPECT_EQ(static_cast<SHORT>(HIWORD(first.wparam)), -240);
    EXPECT_TRUE(LOWORD(first.wparam) & MK_CONTROL);
    EXPECT_EQ(GET_X_LPARAM(first.lparam), 40);  // screen coordinates
    EXPECT_EQ(GET_Y_LPARAM(first.lparam), 50);
    // A window that handles it keeps it from its parents.
    Rec().answer = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
        if (h != mid || m != WM_MOUSEWHEEL) return false;
        *r = 0;
        return true;
    };
    Rec().Clear();
    InputMouseWheel(120);
    PumpMessages();
    EXPECT_EQ(Rec().Count(WM_MOUSEWHEEL, view), 1);
    EXPECT_EQ(Rec().Count(WM_MOUSEWHEEL, mid), 1);
    EXPECT_EQ(Rec().Count(WM_MOUSEWHEEL, top), 0);
    InputKey(VK_CONTROL, false);
}

}  // namespace
}  // namespace qsm::wm::testing
