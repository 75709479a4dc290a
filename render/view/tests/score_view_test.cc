// The score view window on the headless window system with a score of the test corpus.
#include <cairo.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/ram_stream.h"
#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "render/layout/score_draw_info.h"
#include "render/music_fonts.h"
#include "render/view/score_view.h"
#include "score/base/color_palette.h"
#include "score/file/text_import.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

namespace {

std::unique_ptr<TMusicScore> LoadScore(const char* name) {
    return qsm::ImportTextScoreFile(std::string(QSM_TESTDATA_DIR) + "/" + name);
}

// The client pixels of a child window, read from its top-level window's back buffer.
std::vector<uint32_t> ClientPixels(HWND hwnd) {
    cairo_surface_t* s = qsm::wm::TopLevelSurface(hwnd);
    cairo_surface_flush(s);
    RECT r;
    GetClientRect(hwnd, &r);
    POINT origin{0, 0};
    MapWindowPoints(hwnd, GetAncestor(hwnd, GA_ROOT), &origin, 1);
    // The back buffer covers the whole top-level window; its client starts after the non-client edge.
    RECT wr, cr;
    HWND root = GetAncestor(hwnd, GA_ROOT);
    GetWindowRect(root, &wr);
    POINT rootClient{0, 0};
    ClientToScreen(root, &rootClient);
    int ox = origin.x + (rootClient.x - wr.left), oy = origin.y + (rootClient.y - wr.top);
    (void)cr;
    int stride = cairo_image_surface_get_stride(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    std::vector<uint32_t> out;
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x)
            out.push_back(*reinterpret_cast<const uint32_t*>(data + (oy + y) * stride + (ox + x) * 4) &
                          0xFFFFFF);
    return out;
}

int CountDifferent(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return -1;
    int n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

void InputCtrl(bool down) {
    qsm::wm::InputKey(VK_CONTROL, down, 0);
    qsm::wm::PumpMessages();
}

// A long score with what reaches across bar lines and segment ends: ties and slurs over bar lines,
// hairpins over bar lines, endings, long text expressions, lyrics with hyphens, multi-measure rests, key
// and clef changes, triplets and beams.
std::string MakeWalkScoreText(int bars) {
    std::string t = "!QuillStaveComposer(2.51)\n";
    for (int s = 0; s < 2; ++s) {
        t += "|AddStaff|Name:W" + std::to_string(s) + "|Label:Walk\n|Clef|Type:" + (s ? "Bass" : "Treble") +
             "\n|Key|Signature:Bb\n|TimeSig|Signature:4/4\n";
        for (int b = 0; b < bars; ++b) {
            switch ((b + 3 * s) % 9) {
                case 0:
                    t += "|Note|Dur:Whole|Pos:0^\n";
                    break;
                case 1:
                    t += "|Text|Text:\"poco a poco crescendo e molto espressivo\"|Pos:8\n"
                         "|Note|Dur:Half|Pos:0\n|Note|Dur:8th,Slur|Pos:1|Opts:Beam=First\n"
                         "|Note|Dur:8th,Slur|Pos:2|Opts:Beam\n|Note|Dur:8th,Slur|Pos:3|Opts:Beam\n"
                         "|Note|Dur:8th,Slur|Pos:4|Opts:Beam=End\n";
                    break;
                case 2:
                    t += "|Note|Dur:4th,Slur|Pos:2|Opts:Crescendo\n|Note|Dur:4th,Slur|Pos:1|Opts:Crescendo\n"
                         "|Note|Dur:4th|Pos:0|Opts:Crescendo\n|Note|Dur:4th|Pos:-1|Opts:Crescendo\n";
                    break;
                case 3:
                    t += "|Dynamic|Style:f|Pos:-7\n|Note|Dur:8th,Triplet=First|Pos:3|Opts:Beam=First\n"
                         "|Note|Dur:8th,Triplet|Pos:2|Opts:Beam\n|Note|Dur:8th,Triplet=End|Pos:1|Opts:Beam="
                         "End\n"
                         "|Note|Dur:4th,Triplet=First|Pos:0\n|Note|Dur:4th,Triplet|Pos:-1\n"
                         "|Note|Dur:4th,Triplet=End|Pos:-2\n|Note|Dur:4th|Pos:-3^\n";
                    break;
                case 4:
                    t += "|Ending|Endings:1,2\n|Note|Dur:Half|Pos:-3\n|Chord|Dur:Half|Pos:-3,-1,1\n";
                    break;
                case 5:
                    t += "|RestMultiBar|NumBars:3|Visibility:Always\n";
                    break;
                case 6:
                    t += "|Key|Signature:F#,C#\n|Note|Dur:4th,Slur|Pos:-4|Opts:Diminuendo\n"
                         "|Note|Dur:4th,Slur|Pos:-2|Opts:Diminuendo\n|Note|Dur:Half,Slur|Pos:0\n";
                    break;
                case 7:
                    t += std::string("|Clef|Type:") + (s ? "Treble" : "Bass") +
                         "\n|Note|Dur:Half|Pos:1\n|Rest|Dur:4th\n|Note|Dur:4th|Pos:#0\n";
                    break;
                default:
                    t += std::string("|Clef|Type:") + (s ? "Bass" : "Treble") +
                         "\n|Key|Signature:Bb\n|Note|Dur:Whole|Pos:2\n";
                    break;
            }
            t += "|Bar\n";
        }
        if (s == 0) {
            t += "|Lyric1|Text:\"";
            for (int k = 0; k < bars; ++k)
                t += k % 3 ? "ex-ten-ded-ly " : "wonderfully-long ";
            t += "\"\n";
        }
    }
    return t;
}

class ScoreViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        score = LoadScore("layout/quartet.qsmtxt");
        ASSERT_TRUE(score);
        top = std::make_unique<TWindow>(static_cast<TWindow*>(nullptr), "view test");
        top->Attr.Style = WS_POPUP | WS_VISIBLE;
        top->Attr.X = top->Attr.Y = 0;
        top->Attr.W = 640;
        top->Attr.H = 300;
        view = new TStaticScoreView(score.get(), &palette, top.get(), 1, "", 0, 0, 640, 300);
        ASSERT_TRUE(top->Create());
        view->SetFocus();
        qsm::wm::PumpMessages();
    }
    void TearDown() override {
        top.reset();
        qsm::wm::ResetForTests();
    }
    void Repaint() {
        view->Invalidate(true);
        view->UpdateWindow();
    }
    TColorPalette palette;
    std::unique_ptr<TMusicScore> score;
    std::unique_ptr<TWindow> top;
    TStaticScoreView* view = nullptr;
};

TEST_F(ScoreViewTest, ShowsTheScoreFromItsStartWithTheLabelColumn) {
    ASSERT_GT(view->GetDrawInfo()->GetStaffCount(), 1);
    std::vector<uint32_t> px = ClientPixels(*view);
    int ink = 0;
    for (uint32_t p : px)
        ink += p != 0xFFFFFF;
    EXPECT_GT(ink, 1000);
    // At the start the music stands right of the labels.
    EXPECT_EQ(view->GetPosition().GetIndex(), 0);
    EXPECT_EQ(view->GetXOrigin(),
              view->GetLabelWidth() - view->GetDrawInfo()->GetStaffDrawInfo(0)->XOfItem(0));
    SCROLLINFO si{sizeof si, SIF_ALL};
    GetScrollInfo(*view, SB_HORZ, &si);
    int page = view->GetClientRect().Width() / (2 * view->GetStaffSize()) + 1;
    EXPECT_EQ(si.nMax, view->GetTopStaffItemCount() + page);
    EXPECT_EQ(static_cast<int>(si.nPage), page);
}

TEST_F(ScoreViewTest, CtrlWheelZoomsByTwoWithinTheLimitsAndRebuildsTheFonts) {
    int s = view->GetStaffSize();
    SendMessageA(*view, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 120), 0);
    EXPECT_EQ(view->GetStaffSize(), s + 2);
    EXPECT_EQ(view->GetFonts()->StaffSpace, s + 2);
    EXPECT_EQ(score->Zoom, s + 2);
    for (int i = 0; i < 40; ++i)
        SendMessageA(*view, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(view->GetStaffSize(), 2);
    view->SetStaffSize(99);
    EXPECT_EQ(view->GetStaffSize(), 50);
    // Shift leaves the wheel alone.
    int y = view->GetYOffset();
    SendMessageA(*view, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(view->GetYOffset(), y);
}

TEST_F(ScoreViewTest, KeysMoveByBarsTimeStepsAndStaffSizes) {
    int s = view->GetStaffSize();
    ASSERT_GT(view->GetVertExtent(), 6 * s);
    view->SendMessage(WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(view->GetYOffset(), -s);
    view->SendMessage(WM_KEYDOWN, VK_DOWN, 2);  // repeated twice
    EXPECT_EQ(view->GetYOffset(), -3 * s);
    view->SendMessage(WM_KEYDOWN, VK_UP, 1);
    EXPECT_EQ(view->GetYOffset(), -2 * s);
    // The wheel scrolls by a quarter of its delta.
    SendMessageA(*view, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    EXPECT_EQ(view->GetYOffset(), -2 * s - 30);
    view->SendMessage(WM_KEYDOWN, VK_PRIOR, 1);
    EXPECT_EQ(view->GetYOffset(), 0);

    // Right goes one bar on, Left one back, Home to the start.
    TRelNtnIdx expect = view->GetPosition();
    expect.StepToNextBar(1);
    view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    EXPECT_EQ(view->GetCurrentIndex(), expect.GetTime());
    EXPECT_GT(view->GetCurrentIndex(), 0);
    view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    int twoBars = view->GetCurrentIndex();
    view->SendMessage(WM_KEYDOWN, VK_LEFT, 1);
    TRelNtnIdx back = expect;
    back.SeekTime(twoBars, true);
    back.StepToNextBar(-1);
    EXPECT_EQ(view->GetCurrentIndex(), back.GetTime());
    EXPECT_LT(view->GetCurrentIndex(), twoBars);
    // Ctrl+Right is one time step.
    InputCtrl(true);
    TRelNtnIdx step = view->GetPosition();
    step.StepToNextTime(1);
    view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    EXPECT_EQ(view->GetCurrentIndex(), step.GetTime());
    InputCtrl(false);
    view->SendMessage(WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(view->GetCurrentIndex(), 0);
    // End without Ctrl: the last item, not one past it.
    view->SendMessage(WM_KEYDOWN, VK_END, 1);
    EXPECT_LE(view->GetPosition().GetIndex(), view->GetTopStaffItemCount() - 1);
    EXPECT_GT(view->GetCurrentIndex(), expect.GetTime());
}

TEST_F(ScoreViewTest, ScrollingThenRepaintingEqualsAFullRepaint) {
    view->VScrollBy(3 * view->GetStaffSize());
    std::vector<uint32_t> scrolled = ClientPixels(*view);
    Repaint();
    std::vector<uint32_t> full = ClientPixels(*view);
    EXPECT_EQ(CountDifferent(scrolled, full), 0);

    view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    qsm::wm::PumpMessages();
    std::vector<uint32_t> moved = ClientPixels(*view);
    Repaint();
    EXPECT_EQ(CountDifferent(moved, ClientPixels(*view)), 0);
}

// A performance standing where the test puts it, the same item on every staff.
class TFixedPlayer : public TPlayPositionSource {
public:
    void GetStaffPosition(TViewPlayPosition& out, int) const override { out = Now; }
    void GetStaffLastPosition(TViewPlayPosition& out, int) const override { out = Before; }
    DWORD GetStaffRestOffsetTicks(int) const override { return 0; }
    void MoveTo(int index) {
        Before = Now;
        Now.Index = index;
    }
    TViewPlayPosition Now, Before;
};

// Steps the view; after each step the window must hold what a full repaint draws there.
class ScoreWalk {
public:
    explicit ScoreWalk(TStaticScoreView* view) : View(view) {}
    void Key(UINT key, bool ctrl, int times) {
        if (ctrl) InputCtrl(true);
        for (int i = 0; i < times; ++i) {
            int before = View->GetCurrentIndex();
            View->SendMessage(WM_KEYDOWN, key, 1);
            Check("key", static_cast<int>(key), before);
        }
        if (ctrl) InputCtrl(false);
    }
    void Vertical(int d) {
        View->VScrollBy(d);
        Check("vertical", d, View->GetCurrentIndex());
    }
    void Check(const char* what, int arg, int from) {
        View->UpdateWindow();
        std::vector<uint32_t> moved = ClientPixels(*View);
        View->Invalidate(true);
        View->UpdateWindow();
        int differ = CountDifferent(moved, ClientPixels(*View));
        EXPECT_EQ(differ, 0) << what << " " << arg << " from " << from << " to " << View->GetCurrentIndex()
                             << " at staff size " << View->GetStaffSize() << ", offset "
                             << View->GetYOffset();
        Failures += differ != 0;
    }
    TStaticScoreView* View;
    int Failures = 0;
};

TEST_F(ScoreViewTest, WalkingScoresByBarsStepsZoomAndOffsetsMatchesAFullRepaintAtEveryStep) {
    // Also what reaches across bar lines and segment ends: ties, slurs, hairpins, endings, long text,
    // lyric hyphens, multi-measure rests, key and clef changes.
    std::unique_ptr<TMusicScore> walk = qsm::ImportTextScoreText(MakeWalkScoreText(40));
    std::unique_ptr<TMusicScore> piano = LoadScore("layout/piano.qsmtxt");
    ASSERT_TRUE(walk && piano);
    view->EnableCaret(true);
    for (TMusicScore* shown : {walk.get(), piano.get(), score.get()}) {
        view->SetScore(shown);
        view->SetStaffSize(8);
        qsm::wm::PumpMessages();
        ScoreWalk w(view);
        w.Key(VK_RIGHT, false, 20);
        w.Key(VK_LEFT, true, 20);
        w.Key(VK_LEFT, false, 12);
        w.Key(VK_RIGHT, true, 30);
        view->SetStaffSize(13);
        w.Key(VK_RIGHT, false, 6);
        view->SetStaffSize(5);
        w.Key(VK_LEFT, false, 6);
        view->SetStaffSize(8);
        // Down and up by lines, pages, the wheel's quarter delta and odd amounts, then sideways there.
        for (int d : {8, 48, 30, 7, 150, -3, -150, -48, 1000, -1000, 23})
            w.Vertical(d);
        w.Key(VK_RIGHT, false, 6);
        w.Key(VK_DOWN, true, 2);
        w.Key(VK_LEFT, true, 6);
        // Play marks shown while the view moves are drawn by every paint.
        TFixedPlayer player;
        player.MoveTo(view->GetPosition().GetIndex() + 2);
        view->FollowPlayPosition(player);
        w.Key(VK_RIGHT, true, 1);
        w.Key(VK_DOWN, false, 3);
        w.Key(VK_LEFT, true, 1);
        std::vector<uint32_t> marked = ClientPixels(*view);
        player.MoveTo(-1);
        view->FollowPlayPosition(player);
        EXPECT_GT(CountDifferent(marked, ClientPixels(*view)), 20) << "the marks stayed through the moves";
        w.Check("marks gone", 0, 0);
        EXPECT_EQ(w.Failures, 0);
    }
    view->SetScore(score.get());
}

TEST_F(ScoreViewTest, ScrollingVerticallyKeepsTheFocusFrameWhole) {
    view->EnableCaret(true);
    qsm::wm::PumpMessages();
    view->VScrollBy(3 * view->GetStaffSize());
    std::vector<uint32_t> scrolled = ClientPixels(*view);
    Repaint();
    EXPECT_EQ(CountDifferent(scrolled, ClientPixels(*view)), 0);
}

TEST_F(ScoreViewTest, FocusFrameDrawnAndErasedRestoresTheImage) {
    std::vector<uint32_t> before = ClientPixels(*view);
    view->EnableCaret(true);
    std::vector<uint32_t> framed = ClientPixels(*view);
    EXPECT_GT(CountDifferent(before, framed), 100);
    view->EnableCaret(false);
    EXPECT_EQ(CountDifferent(before, ClientPixels(*view)), 0);
}

TEST_F(ScoreViewTest, ADragEndsAndReleasesTheCaptureWhenTheButtonIsNoLongerHeld) {
    SendMessageA(*view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 100));
    EXPECT_TRUE(view->IsDragging());
    EXPECT_EQ(GetCapture(), view->GetHandle());
    // A short horizontal drag does not move the position.
    SendMessageA(*view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300 - 2 * view->GetStaffSize(), 100));
    EXPECT_EQ(view->GetCurrentIndex(), 0);
    // A long drag to the left moves forward.
    SendMessageA(*view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 100));
    EXPECT_GT(view->GetCurrentIndex(), 0);
    SendMessageA(*view, WM_MOUSEMOVE, 0, MAKELPARAM(90, 100));
    EXPECT_FALSE(view->IsDragging());
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ScoreViewTest, ADragMovesByTheTimeStepsItsLengthSpansLeftForwardRightBack) {
    view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    TRelNtnIdx from = view->GetPosition();
    TStaffDrawInfo* top = view->GetLaidOutDrawInfo(0);
    TRelNtnIdx ahead = from;
    for (int i = 0; i < 3; ++i)
        ahead.StepToNextTime(1);
    ASSERT_GT(ahead.GetTime(), from.GetTime());
    // Just past the left edge of the third time position on.
    int d = top->XOfItem(ahead.GetIndex()) - top->XOfItem(from.GetIndex()) + 1;
    ASSERT_GT(d, 3 * view->GetStaffSize());
    SendMessageA(*view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(500, 100));
    SendMessageA(*view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(500 - d, 100));
    EXPECT_EQ(view->GetCurrentIndex(), ahead.GetTime());
    // The same length to the right goes the steps that lie ahead of the new position.
    TRelNtnIdx now = view->GetPosition(), back = now, next = now;
    top = view->GetLaidOutDrawInfo(0);
    int x = top->XOfItem(now.GetIndex());
    int steps = 0;
    for (int t = top->IndexAtX(x + d); next.GetTime() < t; ++steps)
        next.StepToNextTime(1);
    for (int i = 0; i < std::max(steps, 1); ++i)
        back.StepToNextTime(-1);
    SendMessageA(*view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(500, 100));
    EXPECT_EQ(view->GetCurrentIndex(), back.GetTime());
    EXPECT_LT(view->GetCurrentIndex(), ahead.GetTime());
    SendMessageA(*view, WM_LBUTTONUP, 0, MAKELPARAM(500, 100));
}

TEST_F(ScoreViewTest, ScrollingToATimeInsideAnItemLandsOnTheStepBoundaryOnTheSideItComesFrom) {
    TMusicStaff* staff = view->GetLaidOutStaff(0);
    // An item that lasts: the next time position lies more than one tick later.
    TRelNtnIdx idx(staff);
    TRelNtnIdx after = idx;
    do {
        idx = after;
        after.StepToNextTime(1);
    } while (after.GetTime() - idx.GetTime() < 2 || idx.GetTime() == 0);
    int inside = idx.GetTime() + 1;
    // Forward from the start: the boundary after the time.
    view->ScrollToIndex(inside);
    EXPECT_EQ(view->GetCurrentIndex(), after.GetTime());
    // Back from further on: the boundary at the start of the item that covers the time.
    view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    ASSERT_GT(view->GetCurrentIndex(), after.GetTime());
    view->ScrollToIndex(inside);
    EXPECT_EQ(view->GetCurrentIndex(), idx.GetTime());
    // An exact time stays as it is either way.
    view->ScrollToIndex(after.GetTime());
    EXPECT_EQ(view->GetCurrentIndex(), after.GetTime());
    view->ScrollToIndex(idx.GetTime());
    EXPECT_EQ(view->GetCurrentIndex(), idx.GetTime());
    // The same time and item again: nothing is drawn.
    view->UpdateWindow();
    view->ScrollToIndex(idx.GetTime());
    RECT update{};
    EXPECT_FALSE(GetUpdateRect(*view, &update, FALSE));
}

TEST_F(ScoreViewTest, GrowingTheWindowWhileScrolledDownReducesTheOffset) {
    view->VScrollBy(5 * view->GetStaffSize());
    int y = view->GetYOffset();
    ASSERT_LT(y, 0);
    view->MoveWindow(0, 0, 640, 300 + 2 * view->GetStaffSize());
    EXPECT_EQ(view->GetYOffset(), std::min(0, y + 2 * view->GetStaffSize()));
    // Tall enough for everything: no extent, the bar shows an empty range.
    view->MoveWindow(0, 0, 640, 5000);
    EXPECT_EQ(view->GetYOffset(), 0);
    SCROLLINFO si{sizeof si, SIF_ALL};
    GetScrollInfo(*view, SB_VERT, &si);
    EXPECT_EQ(si.nMax, 0);
}

TEST_F(ScoreViewTest, StaffGroupsHideAndShowAndOutOfRangeStavesAnswerNothing) {
    int laid = view->GetDrawInfo()->GetStaffCount();
    EXPECT_EQ(view->GetLaidOutDrawInfo(laid), nullptr);
    EXPECT_EQ(view->GetLaidOutDrawInfo(-1), nullptr);
    EXPECT_EQ(view->GetLaidOutStaff(laid), nullptr);
    EXPECT_TRUE(view->IsStaffRowVisible(0));
    // Hiding every staff shows the first staff's group again.
    for (int i = 0; i < score->GetStaffCount(); ++i)
        score->SetStaffVisible(i, false);
    view->Relayout();
    EXPECT_GE(view->GetDrawInfo()->GetStaffCount(), 1);
    EXPECT_TRUE(score->IsStaffVisible(0));
}

TEST_F(ScoreViewTest, StavesOfGroupsNamedHiddenInAnyCaseAreHiddenAndShownAgainByName) {
    ASSERT_GE(score->GetStaffCount(), 3);
    score->GetStaff(1)->SetGroup("HIDDEN parts");
    score->GetStaff(2)->SetGroup("Hidde");  // shorter than the prefix: stays
    int laid = view->GetDrawInfo()->GetStaffCount();
    view->HideHiddenGroupStaves();
    EXPECT_FALSE(score->IsStaffVisible(1));
    EXPECT_TRUE(score->IsStaffVisible(2));
    EXPECT_EQ(view->GetDrawInfo()->GetStaffCount(), laid - 1) << "the view lays the staves out again";
    for (int i = 0; i < view->GetDrawInfo()->GetStaffCount(); ++i)
        EXPECT_NE(view->GetLaidOutStaff(i), score->GetStaff(1));
    view->ShowStaffGroup("HIDDEN parts");
    EXPECT_TRUE(score->IsStaffVisible(1));
    EXPECT_EQ(view->GetDrawInfo()->GetStaffCount(), laid);

    // Items of the laid-out staves, the top staff's through the virtual slot.
    TMusicStaff* top = view->GetLaidOutStaff(0);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(view->GetItemOfStaff(0, 0), top->GetItem(0));
    EXPECT_EQ(view->GetTopStaffItem(top->GetItemCount() - 1), top->GetItem(top->GetItemCount() - 1));
    EXPECT_EQ(view->GetItemOfStaff(0, top->GetItemCount()), nullptr);
    EXPECT_EQ(view->GetItemOfStaff(0, -1), nullptr);
    EXPECT_EQ(view->GetItemOfStaff(laid, 0), nullptr);
    // Laid-out staves count the visible ones only.
    view->HideHiddenGroupStaves();
    EXPECT_EQ(view->GetItemOfStaff(1, 0), score->GetStaff(2)->GetItem(0));
    EXPECT_EQ(view->GetItemOfStaff(laid - 1, 0), nullptr);
}

TEST_F(ScoreViewTest, PlayMarksDrawnMovedAndErasedLeaveExactlyTheScore) {
    view->EnableCaret(true);
    std::vector<uint32_t> score_only = ClientPixels(*view);
    TFixedPlayer player;
    int time = view->GetCurrentIndex();

    player.MoveTo(3);
    view->FollowPlayPosition(player);
    std::vector<uint32_t> marked = ClientPixels(*view);
    EXPECT_GT(CountDifferent(score_only, marked), 20);
    EXPECT_EQ(view->GetCurrentIndex(), time) << "a mark inside the window does not scroll";

    // Moving the marks on gives the picture of a full repaint, which draws the marks shown once on it.
    player.MoveTo(5);
    view->FollowPlayPosition(player);
    std::vector<uint32_t> moved = ClientPixels(*view);
    EXPECT_GT(CountDifferent(marked, moved), 20);
    Repaint();
    EXPECT_EQ(CountDifferent(moved, ClientPixels(*view)), 0);

    // The performance ends: the marks go and the score is as it was, anti-aliased edges included.
    player.MoveTo(-1);
    view->FollowPlayPosition(player);
    EXPECT_EQ(CountDifferent(score_only, ClientPixels(*view)), 0);

    // An unchanged position paints nothing.
    player.MoveTo(-1);
    view->FollowPlayPosition(player);
    EXPECT_EQ(CountDifferent(score_only, ClientPixels(*view)), 0);

    // A performance that stops without a move (rewound) takes its marks away all the same.
    player.MoveTo(4);
    view->FollowPlayPosition(player);
    EXPECT_GT(CountDifferent(score_only, ClientPixels(*view)), 20);
    player.Now.Index = player.Before.Index = -1;
    view->FollowPlayPosition(player);
    EXPECT_EQ(CountDifferent(score_only, ClientPixels(*view)), 0);

    // Marks drawn by the caller in a DC are shown from then on: a repaint draws them once again.
    view->EnableCaret(false);  // the focus frame, a not-XOR pen, would go under the marks
    std::vector<uint32_t> plain = ClientPixels(*view);
    player.Now.Index = 5;
    {
        TClientDC dc(*view);
        view->DrawPlayPosition(dc, player);
    }
    std::vector<uint32_t> drawn = ClientPixels(*view);
    EXPECT_GT(CountDifferent(plain, drawn), 20);
    Repaint();
    EXPECT_EQ(CountDifferent(drawn, ClientPixels(*view)), 0);
    player.MoveTo(-1);
    view->FollowPlayPosition(player);
    EXPECT_EQ(CountDifferent(plain, ClientPixels(*view)), 0);
    view->EnableCaret(true);

    // A position beyond the right edge brings the view to it; the item stays in the window.
    int last = view->GetTopStaffItemCount() - 1;
    player.MoveTo(last);
    view->FollowPlayPosition(player);
    qsm::wm::PumpMessages();
    EXPECT_GT(view->GetCurrentIndex(), time);
    EXPECT_LE(view->GetPosition().GetIndex(), last);
    int x = view->GetXOrigin() + view->GetLaidOutDrawInfo(0)->XOfItem(last);
    EXPECT_GE(x, 0);
    EXPECT_LT(x, 640);
    // The window drawn at the new position shows the marks; they go when the performance ends.
    std::vector<uint32_t> followed = ClientPixels(*view);
    Repaint();
    EXPECT_EQ(CountDifferent(followed, ClientPixels(*view)), 0);
    player.MoveTo(-1);
    view->FollowPlayPosition(player);
    EXPECT_GT(CountDifferent(followed, ClientPixels(*view)), 20);
    std::vector<uint32_t> ended = ClientPixels(*view);
    Repaint();
    EXPECT_EQ(CountDifferent(ended, ClientPixels(*view)), 0);
}

}  // namespace
