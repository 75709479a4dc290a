// The rules of measuring, record building, fitting and drawing on small scores, checked under fixed metrics
// and through a recording DC.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/ram_stream.h"
#include "platform/gdi/gdi_surface.h"
#include "render/base/color_palette.h"
#include "render/base/fonts_data.h"
#include "render/layout/item_painter.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/sd_ntn_idx.h"
#include "render/layout/system_run.h"
#include "render/layout/tests/layout_fixture.h"
#include "render/music_fonts.h"
#include "score/file/text_import.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/structure_items.h"

namespace {

constexpr const char* kHead = "!QuillStaveComposer(2.51)\n";

class LayoutRulesTest : public qsm::test::FixedMetricsTest {
protected:
    void SetUp() override {
        FixedMetricsTest::SetUp();
        Record();
    }
    void Load(const std::string& body) {
        text = std::string(kHead) + body;
        score = qsm::test::ImportText(text);
        ASSERT_TRUE(score);
    }
    std::unique_ptr<TScoreDrawInfo> System(int mode = 3) { return FixedMetricsTest::System(*score, mode); }
    // The systems of a page run; each keeps its records' kinds and item indexes per staff.
    std::vector<std::vector<std::vector<TLayoutRecord>>> Systems(TScoreDrawInfo& s, int width) {
        std::vector<std::vector<std::vector<TLayoutRecord>>> out;
        qsm::LayoutSystems(s, width, 50, [&](TScoreDrawInfo& sys, int) {
            std::vector<std::vector<TLayoutRecord>> staves;
            for (int i = 0; i < sys.GetStaffCount(); ++i) {
                TStaffDrawInfo* st = sys.GetStaffDrawInfo(i);
                std::vector<TLayoutRecord> recs;
                for (int r = 0; r < st->GetRecordCount(); ++r)
                    recs.push_back(st->Record(r));
                staves.push_back(recs);
            }
            out.push_back(staves);
            return true;
        });
        return out;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (const auto& r : qsm::gdi::GetRecords(dc))
            if (r.op == "TextOutA") out.push_back(r.text);
        return out;
    }
    // Music glyph indexes written, in order.
    std::vector<int> Glyphs() {
        std::vector<int> out;
        for (const auto& r : qsm::gdi::GetRecords(dc)) {
            int code = -1;
            if (r.op == "TextOutW" && r.wtext.size() == 1)
                code = r.wtext[0] >= 0xF000 ? r.wtext[0] - 0xF000 : r.wtext[0];
            if (code < 0) continue;
            for (int g = 1; g < kGlyphCount; ++g)
                if (GetGlyphCode(g) == code) {
                    out.push_back(g);
                    break;
                }
        }
        return out;
    }
    void DrawFirstSystem(TScoreDrawInfo& s, int width) {
        std::vector<TStaffStartPosition> starts(static_cast<size_t>(s.GetStaffCount()));
        s.FormatStavesFrom(starts.data(), width);
        s.FitSystem(width);
        qsm::gdi::ClearRecords(dc);
        TDrawExtent e;
        e.Init(width);
        s.DrawSystem(e, 10, 10, -1);
    }

    std::string text;
    std::unique_ptr<TMusicScore> score;
};

TEST_F(LayoutRulesTest, SpacingAfterSignaturesAndBarLines) {
    Load("|Clef|Type:Treble\n|Key|Signature:Bb\n|Note|Dur:4th|Pos:0\n|Bar\n|Note|Dur:4th|Pos:0\n|Bar\n");
    auto s = System();
    s->FormatAllFromTime(0, 2000);
    TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
    std::vector<int> widths;
    for (int i = 0; i < st->GetRecordCount(); ++i)
        widths.push_back(st->Record(i).Width);
    // Segment start, opening bar, clef (10 and 2/3 of the head before the key), key (flat 10 and 8/5 of the
    // head before a note), note, bar line.
    ASSERT_GE(widths.size(), 6u);
    EXPECT_EQ(st->Record(2).GetKind(), lkClef);
    EXPECT_EQ(widths[2], 16);
    EXPECT_EQ(st->Record(3).GetKind(), lkKey);
    EXPECT_EQ(widths[3], 26);
    EXPECT_EQ(st->Record(5).GetKind(), lkBarLine);
    // The bar line gets 3/2 of the note head before the next note.
    TNotatedItem* bar = st->ItemOf(st->Record(5));
    EXPECT_EQ(widths[5], bar->Measure(*st, st->Record(5)) + 15);
}

TEST_F(LayoutRulesTest, MidBarClefIsCueSized) {
    Load(
        "|Clef|Type:Treble\n|Note|Dur:4th|Pos:0\n|Clef|Type:Bass\n|Note|Dur:4th|Pos:0\n|Bar\n"
        "|Clef|Type:Treble\n|Note|Dur:4th|Pos:0\n|Bar\n");
    auto s = System();
    s->FormatAllFromTime(0, 2000);
    TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
    std::vector<const TLayoutRecord*> clefs;
    for (int i = 0; i < st->GetRecordCount(); ++i)
        if (st->Record(i).GetKind() == lkClef) clefs.push_back(&st->Record(i));
    ASSERT_EQ(clefs.size(), 3u);
    TNotatedItem* mid = st->ItemOf(*clefs[1]);
    EXPECT_TRUE(clefs[1]->MidBarClef);
    EXPECT_EQ(clefs[1]->GetPriority(), 0);
    EXPECT_EQ(mid->Measure(*st, const_cast<TLayoutRecord&>(*clefs[1])), MulDiv(2, 10, 3));
    EXPECT_FALSE(clefs[2]->MidBarClef);  // a clef right after a bar line
    EXPECT_EQ(clefs[2]->GetPriority(), 2);
}

TEST_F(LayoutRulesTest, KeyChangeDrawsNaturalsGapThenFlats) {
    Load(
        "|Clef|Type:Treble\n|Key|Signature:F#,C#\n|Note|Dur:4th|Pos:0\n|Bar\n|Key|Signature:Bb,Eb,Ab\n"
        "|Note|Dur:4th|Pos:0\n|Bar\n");
    auto s = System();
    DrawFirstSystem(*s, 3000);
    std::vector<int> g = Glyphs();
    // Clef, the two sharps, note head, then two naturals and three flats.
    std::vector<int> keyGlyphs;
    for (int x : g)
        if (x == 8 || x == 9 || x == 10) keyGlyphs.push_back(x);
    EXPECT_EQ(keyGlyphs, (std::vector<int>{9, 9, 10, 10, 8, 8, 8}));
    TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
    for (int i = 0; i < st->GetRecordCount(); ++i) {
        const TLayoutRecord& r = st->Record(i);
        if (r.GetKind() == lkKey && r.ItemIndex > 3) {
            // Two naturals (10 + q each), the 2q gap, three flats (10 + q each), less the last q; q = 10/4.
            EXPECT_EQ(st->ItemOf(r)->Measure(*st, const_cast<TLayoutRecord&>(r)), 2 * 12 + 4 + 3 * 12 - 2);
        }
    }
}

TEST_F(LayoutRulesTest, RepeatCountShowsOnTheActiveStaffOnly) {
    Load(
        "|AddStaff|Name:A\n|Note|Dur:4th|Pos:0\n|Bar|Style:LocalRepeatClose|Repeat:3\n"
        "|AddStaff|Name:B\n|Note|Dur:4th|Pos:0\n|Bar|Style:LocalRepeatClose|Repeat:3\n");
    auto s = System();
    s->SetActiveStaff(0);
    DrawFirstSystem(*s, 3000);
    std::vector<std::string> t = Texts();
    EXPECT_EQ(std::count(t.begin(), t.end(), std::string("(3)")), 1);
}

TEST_F(LayoutRulesTest, EndingNumbersAndHiddenDetails) {
    Load(
        "|Ending|Endings:1,2\n|Note|Dur:4th|Pos:0\n|Bar\n|Dynamic|Style:mf|Opts:Velocity=90\n|Note|Dur:4th|"
        "Pos:0\n|Bar\n");
    auto s = System();
    DrawFirstSystem(*s, 3000);
    std::vector<std::string> t = Texts();
    EXPECT_NE(std::find(t.begin(), t.end(), std::string(" 1.2.")), t.end());
    EXPECT_EQ(std::find(t.begin(), t.end(), std::string("[90,-]")), t.end());
    // Drawing mode 0 shows the dynamic's given velocity and the missing volume.
    auto hidden = System(0);
    DrawFirstSystem(*hidden, 3000);
    t = Texts();
    EXPECT_NE(std::find(t.begin(), t.end(), std::string("[90,-]")), t.end());
}

TEST_F(LayoutRulesTest, LaterSystemsStartWithCopiesOfBarClefAndKey) {
    std::string body = "|Clef|Type:Bass\n|Key|Signature:Bb\n";
    for (int i = 0; i < 12; ++i)
        body += "|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:1\n|Bar\n";
    Load(body);
    auto s = System();
    auto systems = Systems(*s, 200);
    ASSERT_GE(systems.size(), 3u);
    const std::vector<TLayoutRecord>& second = systems[1][0];
    ASSERT_GE(second.size(), 4u);
    EXPECT_EQ(second[0].GetKind(), lkSegmentStart);
    EXPECT_EQ(second[1].GetKind(), lkBarLine);
    EXPECT_TRUE(second[1].IsCopy());
    EXPECT_EQ(second[1].ItemIndex, 0);
    EXPECT_EQ(second[2].GetKind(), lkClef);
    EXPECT_TRUE(second[2].IsCopy());
    EXPECT_FALSE(second[2].IsHidden());
    EXPECT_EQ(second[3].GetKind(), lkKey);
    EXPECT_TRUE(second[3].IsCopy());
    // Every system but the last fills the width; the last keeps its natural width.
    for (size_t i = 0; i + 1 < systems.size(); ++i) {
        int sum = 0;
        for (const TLayoutRecord& r : systems[i][0])
            sum += r.Width;
        EXPECT_EQ(sum, 200);
    }
    int last = 0;
    for (const TLayoutRecord& r : systems.back()[0])
        last += r.Width;
    EXPECT_LT(last, 200);
}

TEST_F(LayoutRulesTest, LastSystemExtendsOnlyWhenAskedAndMarginSwitchStopsStretching) {
    Load("|Note|Dur:4th|Pos:0\n|Bar\n|Note|Dur:4th|Pos:0\n|Bar\n");
    auto s = System();
    DrawFirstSystem(*s, 500);
    EXPECT_LT(s->GetStaffDrawInfo(0)->GetTotalWidth(), 500);
    score->SetExtendLastSystem(true);
    DrawFirstSystem(*s, 500);
    EXPECT_EQ(s->GetStaffDrawInfo(0)->GetTotalWidth(), 500);
    std::string body;
    for (int i = 0; i < 12; ++i)
        body += "|Note|Dur:4th|Pos:0\n|Bar\n";
    Load(body);
    auto m = System();
    m->ToggleShowPrinterMargin();
    DrawFirstSystem(*m, 200);
    EXPECT_LT(m->GetStaffDrawInfo(0)->GetTotalWidth(), 200);
}

TEST_F(LayoutRulesTest, SystemBreakOnTheTopStaffEndsTheSystemOnEveryStaff) {
    std::string a = "|AddStaff|Name:A\n", b = "|AddStaff|Name:B\n";
    for (int i = 0; i < 6; ++i) {
        a += std::string("|Note|Dur:4th|Pos:0\n|Bar") + (i == 1 ? "|SysBreak:Y" : "") + "\n";
        b += "|Note|Dur:8th|Pos:0\n|Note|Dur:8th|Pos:1\n|Bar\n";
    }
    Load(a + b);
    auto s = System();
    auto systems = Systems(*s, 3000);
    ASSERT_GE(systems.size(), 2u);
    for (int staff = 0; staff < 2; ++staff) {
        int bars = 0;
        for (const TLayoutRecord& r : systems[0][static_cast<size_t>(staff)])
            if (r.GetKind() == lkBarLine && r.ItemIndex > 0) ++bars;
        EXPECT_EQ(bars, 2) << staff;
    }
}

TEST_F(LayoutRulesTest, ViewStartingInsideAMultiMeasureRestRepeatsItAsACopy) {
    Load(
        "|Note|Dur:4th|Pos:0\n|Bar\n|RestMultiBar|NumBars:8|Visibility:Always\n|Bar\n|Note|Dur:4th|Pos:0\n|"
        "Bar\n");
    auto s = System(1);
    s->FormatAllFromTime(768 * 6 + 192, 2000);
    TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
    bool copyFound = false;
    for (int i = 0; i < st->GetRecordCount(); ++i) {
        const TLayoutRecord& r = st->Record(i);
        if (r.GetKind() == lkMultiRest && r.IsCopy() && r.Count > 0) copyFound = true;
    }
    EXPECT_TRUE(copyFound);
}

TEST_F(LayoutRulesTest, HyphenatedWordBrokenAtTheSystemEnd) {
    Load("|Note|Dur:4th|Pos:0\n|Bar\n|Note|Dur:4th|Pos:0\n|Bar\n|Lyric1|Text:\"Hap-py\"\n");
    auto s = System();
    DrawFirstSystem(*s, 60);
    std::vector<std::string> t = Texts();
    ASSERT_NE(std::find(t.begin(), t.end(), std::string("Hap")), t.end());
    EXPECT_EQ(std::find(t.begin(), t.end(), std::string("py")), t.end());
    EXPECT_NE(std::find(t.begin(), t.end(), std::string("-")), t.end());
    // Drawing mode 0 leaves the hyphen off.
    auto m = System(0);
    DrawFirstSystem(*m, 60);
    t = Texts();
    EXPECT_EQ(std::find(t.begin(), t.end(), std::string("-")), t.end());
}

TEST_F(LayoutRulesTest, VerticalPlacesGroupsAndLabels) {
    Load(
        "|AddStaff|Name:A|Label:Piano\n|StaffProperties|WithNextStaff:Brace,ConnectBars\n|Note|Dur:4th|Pos:"
        "0\n"
        "|AddStaff|Name:B|Label:Piano\n|Note|Dur:4th|Pos:0\n|AddStaff|Name:C|Label:Bass\n|Note|Dur:4th|Pos:"
        "0\n");
    auto s = System();
    DrawFirstSystem(*s, 400);
    // Five-line staves with the default boundaries of 12 steps lie 24 half spaces apart.
    EXPECT_EQ(s->GetStaffY(1) - s->GetStaffY(0), 24 * s->GetHalfSpace());
    EXPECT_EQ(s->GetStaffDrawInfo(0)->BraceState, 2);
    EXPECT_EQ(s->GetStaffDrawInfo(1)->BraceState, 1);
    EXPECT_EQ(s->GetStaffDrawInfo(2)->BraceState, 0);
    EXPECT_EQ(s->GetStaffDrawInfo(0)->ConnectBarsState, 2);
    qsm::gdi::ClearRecords(dc);
    s->DrawStaffLabels(0, 0, 100);
    std::vector<std::string> t = Texts();
    EXPECT_EQ(std::count(t.begin(), t.end(), std::string("Piano")), 1);
    EXPECT_EQ(std::count(t.begin(), t.end(), std::string("Bass")), 1);
    // Labels measure in the staff-label font; with braces the column is wider.
    EXPECT_EQ(s->GetLabelWidth(false, true), 5 * metrics.CharWidth);
    EXPECT_EQ(s->GetLabelWidth(true, true), 5 * metrics.CharWidth + 4 * 10 + 3 * 10);
}

TEST_F(LayoutRulesTest, PlayMarkRedrawsTheItemInTheMarkColour) {
    Load("|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:1\n|Bar\n");
    auto s = System(1);
    s->FormatAllFromTime(0, 400);
    s->PrepareAlignment();
    TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
    qsm::gdi::ClearRecords(dc);
    EXPECT_GE(st->DrawPlayMark(0, 0, {2, 0}, 8, 0), 0);
    EXPECT_FALSE(Glyphs().empty());
    EXPECT_LT(st->DrawPlayMark(0, 0, {99, 0}, 8, 0), 0);
}

TEST_F(LayoutRulesTest, DrawingIndexFollowsBoundaries) {
    Load(
        "|Note|Dur:4th|Pos:0\n|Boundary|Style:NewSize|Upper:6\n|Note|Dur:4th|Pos:0\n"
        "|Boundary|Style:Collapse|Visibility:Always\n|Note|Dur:4th|Pos:0\n"
        "|Boundary|Style:EndCollapse|Visibility:Always\n|Note|Dur:4th|Pos:0\n|Boundary|Style:Reset\n|Bar\n");
    auto s = System();
    TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
    TMusicStaff* staff = score->GetStaff(0);
    TSDNtnIdx idx(st, 0);
    EXPECT_EQ(idx.GetUpperSize(), 12);
    EXPECT_EQ(idx.GetLowerSize(), 12);
    EXPECT_FALSE(idx.IsStaffShown());  // item 0
    std::vector<int> upper, shown;
    while (idx.CanStep(1)) {
        idx.Next();
        upper.push_back(idx.GetUpperSize());
        shown.push_back(idx.IsStaffShown() ? 1 : 0);
    }
    // After the NewSize boundary the upper size is the top line (4) + 6; the lower size stays.
    int newSize = staff->FindItemOfType(0, ntStaffSizer, 1);
    EXPECT_EQ(upper[static_cast<size_t>(newSize)], 10);
    EXPECT_EQ(idx.GetLowerSize(), 12);
    // Collapsed between the Collapse and EndCollapse boundaries; the EndCollapse itself shows the staff.
    int collapse = staff->FindItemOfType(newSize, ntStaffSizer, 1);
    int end = staff->FindItemOfType(collapse, ntStaffSizer, 1);
    EXPECT_EQ(shown[static_cast<size_t>(collapse)], 0);
    EXPECT_EQ(shown[static_cast<size_t>(collapse) - 1], 0);
    EXPECT_EQ(shown[static_cast<size_t>(end) - 1], 1);
    // Going back restarts from the first item.
    idx.Seek(1);
    EXPECT_EQ(idx.GetIndex(), 1);
    EXPECT_EQ(idx.GetUpperSize(), 12);
}

}  // namespace
