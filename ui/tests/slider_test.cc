// Sliders: range, clamping and snapping, geometry and hit tests, the notifications of presses, drags and
// keys, the caret, and the thumb's two images.
#include "ui/slider.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/wm/backend.h"
#include "platform/wm/surface.h"

namespace {

using qsm::wm::InputMouseButton;
using qsm::wm::InputMouseMove;
using qsm::wm::PumpMessages;

constexpr int kThumbH = 32000;
constexpr int kThumbV = 32001;

// Records the scroll notifications it hears, as (code, position).
class TScrollRecorder : public TWindow {
public:
    TScrollRecorder() : TWindow(static_cast<TWindow*>(nullptr), "parent") {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.X = 10;
        Attr.Y = 10;
        Attr.W = 300;
        Attr.H = 200;
    }
    void EvHScroll(UINT code, UINT pos, HWND) {
        Heard.emplace_back(static_cast<int>(code), static_cast<int>(pos));
    }
    void EvVScroll(UINT code, UINT pos, HWND) {
        Heard.emplace_back(static_cast<int>(code), static_cast<int>(pos));
    }
    std::vector<std::pair<int, int>> Heard;
    DECLARE_RESPONSE_TABLE(TScrollRecorder);
};
DEFINE_RESPONSE_TABLE1(TScrollRecorder, TWindow)
EV_WM_HSCROLL, EV_WM_VSCROLL, END_RESPONSE_TABLE;

using Codes = std::vector<std::pair<int, int>>;

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        parent = new TScrollRecorder;
        ASSERT_TRUE(parent->Create());
    }
    void TearDown() override {
        delete parent;
        qsm::wm::ResetForTests();
    }
    // A point of the parent's client area on the screen.
    TPoint Screen(const TWindow& w, int x, int y) const { return w.ClientToScreen(TPoint(x, y)); }
    void Press(const TWindow& w, int x, int y) {
        TPoint s = Screen(w, x, y);
        InputMouseMove(s.x, s.y);
        InputMouseButton(0, true);
        PumpMessages();
    }
    void MoveTo(const TWindow& w, int x, int y) {
        TPoint s = Screen(w, x, y);
        InputMouseMove(s.x, s.y);
        PumpMessages();
    }
    void Release() {
        InputMouseButton(0, false);
        PumpMessages();
    }
    TQSHSlider* MakeH(int w, int h = 0) {
        auto* s = new TQSHSlider(parent, 130, 0, 0, w, h, kThumbH);
        EXPECT_TRUE(s->Create());
        return s;
    }
    TScrollRecorder* parent = nullptr;
};

TEST_F(SliderTest, RangeClampAndSnap) {
    TQSHSlider* s = MakeH(109);  // a track of 100 pixels
    EXPECT_EQ(s->GetTicGap(), 10);
    s->SetRange(50, 50);
    EXPECT_EQ(s->GetRangeSize(), 1);
    s->SetRange(0, 100);
    s->SetRuler(10, true);
    EXPECT_EQ(s->SnapPos(14), 10);
    EXPECT_EQ(s->SnapPos(15), 20);
    EXPECT_EQ(s->SnapPos(-3), 0);
    EXPECT_EQ(s->SnapPos(250), 100);
    s->SetPosition(47);
    EXPECT_EQ(s->GetPosition(), 50);
    EXPECT_EQ(s->GetThumbRect(), TRect(50, 0, 59, 20));

    // A snap past the end of a range that is no multiple of the interval stays inside the range.
    s->SetRange(0, 15);
    EXPECT_EQ(s->SnapPos(15), 15);
    EXPECT_EQ(s->GetPosition(), 15);

    // With a tic interval of 0 (a range below 10 gives one) nothing snaps and nothing divides by it.
    s->SetRange(0, 5);
    s->SetRuler(0, true);
    EXPECT_EQ(s->SnapPos(3), 3);
    s->SetShowTics(true);
    s->Invalidate();
    PumpMessages();
}

TEST_F(SliderTest, GeometryAndHitTests) {
    TQSHSlider* s = MakeH(109);
    EXPECT_EQ(s->GetClientRect(), TRect(0, 0, 109, 32));  // a height of 0 becomes 32
    EXPECT_EQ(s->PointToPos(TPoint(50, 5)), 50);
    EXPECT_EQ(s->PosToPoint(30), TPoint(30, 0));
    s->SetPosition(50);
    // Tics off: a press anywhere beside the thumb jumps there.
    EXPECT_EQ(s->HitTest(TPoint(52, 5)), SB_THUMBTRACK);
    EXPECT_EQ(s->HitTest(TPoint(10, 5)), SB_THUMBPOSITION);
    s->SetShowTics(true);
    EXPECT_EQ(s->HitTest(TPoint(10, 5)), SB_PAGEUP);
    EXPECT_EQ(s->HitTest(TPoint(80, 5)), SB_PAGEDOWN);
    EXPECT_EQ(s->HitTest(TPoint(52, 25)), SB_THUMBPOSITION);  // below the thumb

    auto* v = new TQSVSlider(parent, 131, 200, 0, 0, 109, kThumbV);
    ASSERT_TRUE(v->Create());
    EXPECT_EQ(v->GetClientRect().Width(), 32);
    EXPECT_EQ(v->GetThumbRect(), TRect(6, 0, 26, 9));  // centred across
    v->SetPosition(100);
    EXPECT_EQ(v->GetThumbRect().top, 100);
    EXPECT_EQ(v->HitTest(TPoint(10, 50)), SB_PAGEUP);
    EXPECT_EQ(v->HitTest(TPoint(2, 50)), SB_THUMBPOSITION);
    EXPECT_EQ(v->HitTest(TPoint(10, 104)), SB_THUMBTRACK);
    EXPECT_EQ(v->PointToPos(TPoint(0, 25)), 25);
}

TEST_F(SliderTest, ASliderNoWiderThanItsThumbKeepsItsThumbAtTheStart) {
    for (int w : {9, 10, 4}) {
        TQSHSlider* s = MakeH(w);
        s->SetPosition(70);
        EXPECT_EQ(s->GetThumbRect().left, 0) << w;
        EXPECT_EQ(s->PointToPos(TPoint(3, 3)), 0) << w;
        s->SetShowTics(true);
        s->UpdateWindow();
        parent->Heard.clear();
        Press(*s, 1, 5);
        MoveTo(*s, 8, 5);
        Release();
        ASSERT_FALSE(parent->Heard.empty());
        for (auto [code, pos] : parent->Heard)
            EXPECT_EQ(pos, 0) << w << " code " << code;
        delete s;
    }
}

TEST_F(SliderTest, PressesDragsAndKeysNotifyTheParent) {
    TQSHSlider* s = MakeH(109);
    s->SetPosition(20);
    // A press on the thumb starts a drag: begin, track, then track on every move, position and end at the
    // release. The slider does not move itself.
    Press(*s, 22, 5);  // grab offset 2
    EXPECT_TRUE(s->IsDragging());
    EXPECT_EQ(GetCapture(), s->GetHandle());
    MoveTo(*s, 42, 9);
    MoveTo(*s, 72, 9);
    Release();
    EXPECT_FALSE(s->IsDragging());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(parent->Heard, (Codes{{TQSSlider::SB_BEGINDRAG, 20},
                                    {SB_THUMBTRACK, 20},
                                    {SB_THUMBTRACK, 40},
                                    {SB_THUMBTRACK, 70},
                                    {SB_THUMBPOSITION, 70},
                                    {SB_ENDSCROLL, 70}}));
    EXPECT_EQ(s->GetPosition(), 20);
    // The press gave the slider the focus, and with it the caret inside the thumb.
    EXPECT_EQ(GetFocus(), s->GetHandle());
    HWND owner = nullptr;
    RECT caret{};
    bool on_b = false;
    ASSERT_TRUE(qsm::wm::GetCaretState(&owner, &caret, &on_b));
    EXPECT_EQ(owner, s->GetHandle());
    EXPECT_EQ(caret.left, 20 + 3);
    EXPECT_EQ(caret.top, 3);

    // Beside the thumb: a jump there with tics off, a page with them on.
    parent->Heard.clear();
    Press(*s, 90, 5);
    Release();
    s->SetShowTics(true);
    Press(*s, 5, 5);
    Release();
    EXPECT_EQ(parent->Heard, (Codes{{SB_THUMBPOSITION, 90}, {SB_PAGEUP, 0}}));

    // Keys: each repeat notifies with the current position, the release ends the scroll once.
    parent->Heard.clear();
    SendMessageA(*s, WM_KEYDOWN, VK_RIGHT, 2);
    SendMessageA(*s, WM_KEYUP, VK_RIGHT, 1);
    SendMessageA(*s, WM_KEYDOWN, VK_HOME, 1);
    SendMessageA(*s, WM_KEYUP, VK_HOME, 1);
    SendMessageA(*s, WM_KEYDOWN, 'A', 1);
    SendMessageA(*s, WM_KEYUP, 'A', 1);
    EXPECT_EQ(
        parent->Heard,
        (Codes{{SB_LINEDOWN, 20}, {SB_LINEDOWN, 20}, {SB_ENDSCROLL, 20}, {SB_TOP, 20}, {SB_ENDSCROLL, 20}}));

    // Losing the focus takes the caret away.
    SetFocus(*parent);
    EXPECT_FALSE(qsm::wm::GetCaretState(&owner, &caret, &on_b) && owner == s->GetHandle());
}

TEST_F(SliderTest, ADragEndsCleanlyWhenAnotherWindowTakesTheMouse) {
    qsm::wm::SetManualClock(true, 1000);
    TQSHSlider* s = MakeH(109);
    s->SetPosition(30);
    Press(*s, 33, 5);
    MoveTo(*s, 53, 5);
    ASSERT_TRUE(s->IsDragging());
    parent->Heard.clear();
    SetCapture(*parent);
    PumpMessages();
    EXPECT_FALSE(s->IsDragging());
    EXPECT_EQ(parent->Heard, (Codes{{SB_THUMBPOSITION, 50}, {SB_ENDSCROLL, 50}}));
    Release();
    ReleaseCapture();
    // The next drag starts afresh (a press later than a double click).
    qsm::wm::AdvanceClock(1000);
    parent->Heard.clear();
    Press(*s, 33, 5);
    Release();
    ASSERT_FALSE(parent->Heard.empty());
    EXPECT_EQ(parent->Heard.front().first, TQSSlider::SB_BEGINDRAG);
    EXPECT_EQ(parent->Heard.back().first, SB_ENDSCROLL);

    // Two quick presses beside the thumb page twice: the second is no lost double click.
    s->SetShowTics(true);
    qsm::wm::AdvanceClock(1000);
    parent->Heard.clear();
    Press(*s, 90, 5);
    Release();
    Press(*s, 90, 5);
    Release();
    EXPECT_EQ(parent->Heard, (Codes{{SB_PAGEDOWN, 0}, {SB_PAGEDOWN, 0}}));
}

TEST_F(SliderTest, TheThumbShowsItsPressedImageWhileDraggedAndTheBackgroundAroundIt) {
    TQSHSlider* s = MakeH(109);
    s->SetPosition(50);
    s->UpdateWindow();
    cairo_surface_t* surface = qsm::wm::TopLevelSurface(*parent);
    ASSERT_NE(surface, nullptr);
    HDC dc = GetDC(*s);
    // The thumb's face at (53, 5); a corner of its point at (50, 19) is background.
    COLORREF face = GetPixel(dc, 53, 5);
    EXPECT_EQ(face, RGB(192, 192, 192));
    EXPECT_EQ(GetPixel(dc, 50, 19), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(*s, dc);
    Press(*s, 53, 5);
    dc = GetDC(*s);
    bool dithered = GetPixel(dc, 53, 5) == RGB(255, 255, 255) || GetPixel(dc, 54, 5) == RGB(255, 255, 255);
    EXPECT_TRUE(dithered);
    ReleaseDC(*s, dc);
    Release();
    dc = GetDC(*s);
    EXPECT_EQ(GetPixel(dc, 53, 5), RGB(192, 192, 192));
    ReleaseDC(*s, dc);
}

}  // namespace
