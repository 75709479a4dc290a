// What the drawing modes change: hidden notation and its colours (modes 0 and 4), what mode 4 leaves out,
// the system decorations at the left edge (modes 2 and 3), and the marks that only modes 0 and 4 show,
// checked through a recording DC under fixed metrics.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/gdi/gdi_surface.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/tests/layout_fixture.h"
#include "render/music_fonts.h"
#include "score/expression_items.h"
#include "score/music_score.h"
#include "score/structure_items.h"

namespace {

constexpr const char* kHead = "!QuillStaveComposer(2.51)\n";

// Colours that tell the palette entries of the staff drawing apart.
constexpr COLORREF kActive = RGB(200, 0, 0);
constexpr COLORREF kInactive = RGB(0, 200, 0);
constexpr COLORREF kActiveHidden = RGB(0, 0, 200);
constexpr COLORREF kInactiveHidden = RGB(200, 200, 0);

class DrawingModesTest : public qsm::test::FixedMetricsTest {
protected:
    void SetUp() override {
        FixedMetricsTest::SetUp();
        palette.SetColor(PALETTE_ACTIVE_STAFF, kActive);
        palette.SetColor(PALETTE_INACTIVE_STAFF, kInactive);
        palette.SetColor(PALETTE_ACTIVE_HIDDEN, kActiveHidden);
        palette.SetColor(PALETTE_INACTIVE_HIDDEN, kInactiveHidden);
        Record();
    }
    void Load(const std::string& body) {
        score = qsm::test::ImportText(std::string(kHead) + body);
        ASSERT_TRUE(score);
    }
    // Lays the score's first system out in the mode and draws it at (x, 10).
    std::unique_ptr<TScoreDrawInfo> Draw(int mode, int x = 10, int width = 800) {
        auto s = System(*score, mode);
        std::vector<TStaffStartPosition> starts(static_cast<size_t>(s->GetStaffCount()));
        s->FormatStavesFrom(starts.data(), width);
        s->FitSystem(width);
        qsm::gdi::ClearRecords(dc);
        TDrawExtent e;
        e.Init(width);
        s->DrawSystem(e, x, 10, -1);
        return s;
    }
    const std::vector<qsm::gdi::GdiRecord>& Log() { return qsm::gdi::GetRecords(dc); }
    int Count(const std::string& op) {
        return static_cast<int>(
            std::count_if(Log().begin(), Log().end(), [&](const auto& r) { return r.op == op; }));
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (const auto& r : Log())
            if (r.op == "TextOutA") out.push_back(r.text);
        return out;
    }
    bool HasText(const std::string& t) {
        std::vector<std::string> all = Texts();
        return std::find(all.begin(), all.end(), t) != all.end();
    }
    // Colours of the music glyphs written.
    std::set<COLORREF> GlyphColors() {
        std::set<COLORREF> out;
        for (const auto& r : Log())
            if (r.op == "TextOutW") out.insert(r.textColor);
        return out;
    }
    int Glyphs() { return Count("TextOutW"); }
    // Vertical lines drawn at x or right of it.
    int VerticalStrokesFrom(int x) {
        int n = 0;
        const auto& log = Log();
        for (size_t i = 1; i < log.size(); ++i)
            if (log[i].op == "LineTo" && log[i - 1].op == "MoveToEx" &&
                log[i].args[0] == log[i - 1].args[0] && log[i].args[0] >= x)
                ++n;
        return n;
    }

    std::unique_ptr<TMusicScore> score;
};

// Two staves, each with a note that is never shown between two shown ones.
constexpr const char* kHiddenNotes =
    "|AddStaff|Name:A\n|Clef|Type:Treble\n|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:2|Visibility:Never\n"
    "|Note|Dur:Half|Pos:1\n|Bar\n"
    "|AddStaff|Name:B\n|Clef|Type:Treble\n|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:2|Visibility:Never\n"
    "|Note|Dur:Half|Pos:1\n|Bar\n";

TEST_F(DrawingModesTest, HiddenNotesAreDrawnOnlyInModes0And4InTheHiddenColours) {
    Load(kHiddenNotes);
    Draw(1);
    int shown = Glyphs();
    std::set<COLORREF> plain = GlyphColors();
    // Outside modes 0 and 4 the staves draw in the default entry and the hidden notes are not drawn.
    for (COLORREF c : {kActive, kInactive, kActiveHidden, kInactiveHidden})
        EXPECT_EQ(plain.count(c), 0u);
    Draw(3);
    EXPECT_EQ(Glyphs(), shown);
    EXPECT_EQ(GlyphColors(), plain);
    for (int mode : {0, 4}) {
        auto s = Draw(mode);
        ASSERT_EQ(s->GetActiveStaff(), 0);
        // The hidden note of each staff is drawn as well, the active staff apart from the other.
        EXPECT_GE(Glyphs(), shown + 2) << mode;
        std::set<COLORREF> c = GlyphColors();
        EXPECT_EQ(c.count(kActive), 1u) << mode;
        EXPECT_EQ(c.count(kInactive), 1u) << mode;
        EXPECT_EQ(c.count(kActiveHidden), 1u) << mode;
        EXPECT_EQ(c.count(kInactiveHidden), 1u) << mode;
    }
    // Another active staff swaps the colours.
    auto s = System(*score, 0);
    s->SetActiveStaff(1);
    EXPECT_EQ(s->GetStaffDrawInfo(0)->GetColor(), PALETTE_INACTIVE_STAFF);
    EXPECT_EQ(s->GetStaffDrawInfo(1)->GetColor(), PALETTE_ACTIVE_STAFF);
    EXPECT_EQ(s->GetStaffDrawInfo(0)->GetHiddenColor(), PALETTE_INACTIVE_HIDDEN);
    EXPECT_EQ(s->GetStaffDrawInfo(1)->GetHiddenColor(), PALETTE_ACTIVE_HIDDEN);
}

TEST_F(DrawingModesTest, HiddenNotesKeepTheirRoomOnlyInModes0And4) {
    Load(kHiddenNotes);
    for (int mode = 0; mode <= 4; ++mode) {
        auto s = Draw(mode);
        TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
        int hidden = -1;
        for (int i = 0; i < st->GetRecordCount(); ++i)
            if (st->Record(i).GetKind() == lkNote && st->Record(i).IsHidden()) hidden = i;
        ASSERT_GE(hidden, 0) << mode;
        if (mode == 0 || mode == 4)
            EXPECT_GT(st->Record(hidden).Width, 0) << mode;
        else
            EXPECT_EQ(st->Record(hidden).Width, 0) << mode;
    }
}

TEST_F(DrawingModesTest, Mode4LeavesOutLyricsDecorationsAndTheLastRecord) {
    Load(
        "|AddStaff|Name:A\n|StaffProperties|WithNextStaff:Brace,ConnectBars\n|Clef|Type:Treble\n"
        "|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:1\n|Bar\n|Note|Dur:Half|Pos:2\n|Bar|Style:SectionClose\n"
        "|Lyric1|Text:\"Sing a song\"\n"
        "|AddStaff|Name:B\n|Clef|Type:Bass\n|Note|Dur:Half|Pos:0\n|Bar\n|Note|Dur:Half|Pos:0\n"
        "|Bar|Style:SectionClose\n");
    // Vertical strokes at and right of the staves' last records, the closing bar lines.
    auto closing = [&](TScoreDrawInfo& s) {
        TStaffDrawInfo* top = s.GetStaffDrawInfo(0);
        return VerticalStrokesFrom(10 + top->XOfRecord(top->GetRecordCount() - 1));
    };
    auto s = Draw(1);
    EXPECT_TRUE(HasText("Sing"));
    EXPECT_GT(closing(*s), 0);
    EXPECT_GT(Count("PolyBezier"), 0);  // the brace
    s = Draw(0);
    EXPECT_TRUE(HasText("Sing"));
    EXPECT_GT(closing(*s), 0);
    s = Draw(4);
    EXPECT_FALSE(HasText("Sing"));
    EXPECT_FALSE(HasText("song"));
    // No brace, and the closing bar lines are not drawn.
    EXPECT_EQ(Count("PolyBezier"), 0);
    EXPECT_EQ(closing(*s), 0);
}

TEST_F(DrawingModesTest, OnlyModes2And3DrawTheSystemDecorationsAtTheLeftEdge) {
    Load(
        "|AddStaff|Name:A\n|StaffProperties|WithNextStaff:Brace,ConnectBars\n|Note|Dur:Whole|Pos:0\n|Bar\n"
        "|AddStaff|Name:B\n|Note|Dur:Whole|Pos:0\n|Bar\n");
    for (int mode = 0; mode <= 4; ++mode) {
        Draw(mode, 0);
        int atEdge = Count("PolyBezier");
        Draw(mode, 10);
        int inside = Count("PolyBezier");
        if (mode == 2 || mode == 3) {
            EXPECT_GT(atEdge, 0) << mode;
            EXPECT_EQ(inside, atEdge) << mode;
        } else {
            EXPECT_EQ(atEdge, 0) << mode;
            EXPECT_EQ(inside, mode == 4 ? 0 : 2) << mode;  // the two halves of the brace
        }
    }
}

TEST_F(DrawingModesTest, RepeatCountsShowOnOtherStavesOnlyInModes0And4) {
    std::string staff =
        "|Bar|Style:LocalRepeatOpen\n|Note|Dur:Whole|Pos:0\n|Bar|Style:LocalRepeatClose|Repeat:3\n";
    Load("|AddStaff|Name:A\n" + staff + "|AddStaff|Name:B\n" + staff);
    auto count = [&] {
        std::vector<COLORREF> colors;
        for (const auto& r : Log())
            if (r.op == "TextOutA" && r.text == "(3)") colors.push_back(r.textColor);
        return colors;
    };
    for (int mode : {1, 2, 3}) {
        Draw(mode);
        EXPECT_EQ(count().size(), 1u) << mode;  // the active staff's alone
    }
    for (int mode : {0, 4}) {
        Draw(mode);
        std::vector<COLORREF> c = count();
        ASSERT_EQ(c.size(), 2u) << mode;
        EXPECT_EQ(c[1], kInactiveHidden) << mode;
    }
}

TEST_F(DrawingModesTest, HiddenOnlyMarksOfModes0And4) {
    // An ending whose text is hidden, a spacer, and a system break mark on the bar that ends the system.
    Load(
        "|AddStaff|Name:A\n|Ending|Endings:1|HideText:Y\n|Note|Dur:4th|Pos:0\n|Spacer|Width:200\n"
        "|Note|Dur:4th|Pos:0\n|Bar|SysBreak:Y\n|Note|Dur:Half|Pos:0\n|Bar\n");
    for (int mode = 0; mode <= 4; ++mode) {
        Draw(mode);
        bool shown = mode == 0 || mode == 4;
        std::vector<COLORREF> ending;
        for (const auto& r : Log())
            if (r.op == "TextOutA" && r.text == " 1.") ending.push_back(r.textColor);
        ASSERT_EQ(ending.size(), shown ? 1u : 0u) << mode;
        if (shown) {
            EXPECT_EQ(ending[0], kActiveHidden);
        }
        // The spacer's ruler.
        bool ruler = false;
        for (const auto& r : Log())
            if (r.op == "Polyline" && r.penColor == kActiveHidden) ruler = true;
        EXPECT_EQ(ruler, shown) << mode;
        // The mark stands on the system's last record, which mode 4 does not draw.
        EXPECT_EQ(HasText("\xB6"), mode == 0) << mode;
    }
}

TEST_F(DrawingModesTest, ExpressionMarkersTakeRoomInMode0Only) {
    Load("|AddStaff|Name:A\n|Note|Dur:4th|Pos:0\n|Text|Text:\"dolce\"|Pos:-8\n|Note|Dur:4th|Pos:0\n|Bar\n");
    std::vector<int> widths;
    for (int mode = 0; mode <= 4; ++mode) {
        auto s = Draw(mode);
        TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
        int width = -1;
        for (int i = 0; i < st->GetRecordCount(); ++i)
            if (dynamic_cast<TTextExpression*>(st->ItemOf(st->Record(i)))) width = st->Record(i).Width;
        widths.push_back(width);
        EXPECT_TRUE(HasText("dolce")) << mode;
    }
    ASSERT_GE(widths[1], 0);
    for (int mode = 1; mode <= 4; ++mode)
        EXPECT_GT(widths[0], widths[mode]) << mode;
    EXPECT_EQ(widths[2], widths[1]);
    EXPECT_EQ(widths[3], widths[1]);
}

TEST_F(DrawingModesTest, HairpinsShowUnlessEveryNoteOfTheirRunIsHidden) {
    // The pen colours of the slanted strokes drawn: a hairpin is the only slanted line of these scores.
    auto slanted = [&] {
        std::vector<COLORREF> colors;
        const auto& log = Log();
        for (size_t i = 1; i < log.size(); ++i)
            if (log[i].op == "LineTo" && log[i - 1].op == "MoveToEx" &&
                log[i].args[0] != log[i - 1].args[0] && log[i].args[1] != log[i - 1].args[1])
                colors.push_back(log[i].penColor);
        return colors;
    };
    const std::string after = "|Bar\n|Note|Dur:4th|Pos:0\n|Bar\n";
    // A crescendo under one shown note, and one under two.
    for (const std::string& run : {std::string("|Note|Dur:Half|Pos:0|Opts:Crescendo\n"),
                                   std::string("|Note|Dur:4th|Pos:0|Opts:Crescendo\n|Note|Dur:4th|Pos:0|Opts:"
                                               "Crescendo\n")}) {
        Load("|AddStaff|Name:A\n|Note|Dur:4th|Pos:0\n" + run + after);
        for (int mode = 0; mode <= 4; ++mode) {
            Draw(mode);
            std::vector<COLORREF> c = slanted();
            ASSERT_EQ(c.size(), 2u) << mode << run;
            EXPECT_EQ(c[0], mode == 0 || mode == 4 ? kActive : RGB(0, 0, 0)) << mode;
        }
    }
    // Under a hidden note alone it shows only in modes 0 and 4, in the hidden colour.
    Load("|AddStaff|Name:A\n|Note|Dur:4th|Pos:0\n|Note|Dur:Half|Pos:0|Opts:Crescendo|Visibility:Never\n" +
         after);
    for (int mode = 0; mode <= 4; ++mode) {
        Draw(mode);
        std::vector<COLORREF> c = slanted();
        if (mode == 0 || mode == 4) {
            ASSERT_EQ(c.size(), 2u) << mode;
            EXPECT_EQ(c[0], kActiveHidden) << mode;
        } else {
            EXPECT_TRUE(c.empty()) << mode;
        }
    }
}

TEST_F(DrawingModesTest, PerformanceDetailsAndInvisibleItemsShowOnlyInModes0And4) {
    // A dynamic with a velocity and no volume, a fermata with a pause, a transparent bar line, an empty key
    // signature and a text that is never shown.
    Load(
        "|AddStaff|Name:A\n|Dynamic|Style:mf|Opts:Velocity=90\n|Note|Dur:4th|Pos:0\n"
        "|TempoVariance|Style:Fermata|Pause:3\n|Note|Dur:4th|Pos:0\n|Bar|Style:***\n|Key\n"
        "|Text|Text:secret|Visibility:Never\n|Note|Dur:Half|Pos:0\n|Bar\n|Note|Dur:Whole|Pos:0\n|Bar\n");
    auto textColor = [&](const std::string& t) {
        for (const auto& r : Log())
            if (r.op == "TextOutA" && r.text == t) return static_cast<int64_t>(r.textColor);
        return static_cast<int64_t>(-1);
    };
    for (int mode = 0; mode <= 4; ++mode) {
        auto s = Draw(mode);
        bool shown = mode == 0 || mode == 4;
        EXPECT_EQ(textColor("[90,-]"), shown ? static_cast<int64_t>(kActiveHidden) : -1) << mode;
        EXPECT_EQ(textColor(":3"), shown ? static_cast<int64_t>(kActiveHidden) : -1) << mode;
        // A text that is never shown keeps a hidden record, drawn in mode 0 but not in mode 4.
        EXPECT_EQ(HasText("secret"), mode == 0) << mode;
        // The transparent bar line and the empty key measure room of their own only where they are drawn.
        TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
        int found = 0;
        for (int i = 0; i < st->GetRecordCount(); ++i) {
            const TLayoutRecord& r = st->Record(i);
            if (r.GetKind() == lkKey && r.ItemIndex > 0) {
                ++found;
                EXPECT_EQ(st->GetFitWidth(r) > 0, shown) << mode;
            }
            auto* bar = dynamic_cast<TBarLineData*>(st->ItemOf(r));
            if (r.GetKind() == lkBarLine && bar && bar->GetStyle() == bsTransparent && r.ItemIndex > 0) {
                ++found;
                EXPECT_EQ(st->GetFitWidth(r) > 0, shown) << mode;
            }
        }
        EXPECT_EQ(found, 2) << mode;
    }
}

TEST_F(DrawingModesTest, LayeringSwitchAndFullLabelsBelongToTheHiddenNotationModes) {
    std::string a = "|PgSetup|AllowLayering:Y\n|AddStaff|Name:A|Label:Alto|LabelAbbr:A.\n"
                    "|StaffProperties|WithNextStaff:Layer\n",
                b = "|AddStaff|Name:B|Label:Bass|LabelAbbr:B.\n";
    for (int i = 0; i < 12; ++i) {
        a += "|Note|Dur:Whole|Pos:0\n|Bar\n";
        b += "|Note|Dur:Whole|Pos:0\n|Bar\n";
    }
    Load(a + b);
    for (int mode = 0; mode <= 4; ++mode) {
        auto s = System(*score, mode);
        s->SetLayering(false);
        // The switch counts in mode 0 only; the score's permission holds in the other modes.
        EXPECT_EQ(s->IsLayeringActive(), mode != 0) << mode;
        // A later system: the abbreviated label, except where hidden notation is shown.
        std::vector<TStaffStartPosition> starts(2, TStaffStartPosition{5, 0});
        s->FormatStavesFrom(starts.data(), 300);
        s->FitSystem(300);
        qsm::gdi::ClearRecords(dc);
        s->DrawStaffLabels(0, 10, 100);
        bool full = mode == 0 || mode == 4;
        EXPECT_EQ(HasText("Alto"), full) << mode;
        EXPECT_EQ(HasText("A."), !full) << mode;
    }
}

TEST_F(DrawingModesTest, HairpinsStandAtTheNearestDynamicBeforeTheirRun) {
    // The y at which a hairpin's two lines meet (its closed end).
    auto closedY = [&] {
        const auto& log = Log();
        for (size_t i = 1; i < log.size(); ++i)
            if (log[i].op == "LineTo" && log[i - 1].op == "MoveToEx" &&
                log[i].args[0] != log[i - 1].args[0] && log[i].args[1] != log[i - 1].args[1])
                return log[i - 1].args[1];
        return -1;
    };
    const std::string run = "|Note|Dur:4th|Pos:0|Opts:Crescendo\n|Note|Dur:4th|Pos:0|Opts:Crescendo\n|Bar\n";
    Load("|AddStaff|Name:A\n|Note|Dur:4th|Pos:0\n" + run);
    auto s = Draw(3);
    int staffY = 10 + s->GetStaffY(0);
    // Without a dynamic, nine steps below the middle line.
    EXPECT_EQ(closedY(), staffY + 9 * 10 / 2);
    // The nearest dynamic before the run gives the position: the later of two, whatever lies between.
    Load(
        "|AddStaff|Name:A\n|Dynamic|Style:p|Pos:-3\n|Note|Dur:4th|Pos:0\n|Dynamic|Style:f|Pos:-7\n"
        "|Note|Dur:4th|Pos:0\n" +
        run);
    s = Draw(3);
    EXPECT_EQ(closedY(), staffY + 7 * 10 / 2);
}

}  // namespace
