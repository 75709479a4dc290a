// The rules of measuring, record building, fitting and drawing on small scores, checked under fixed metrics
// and through a recording DC.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/ram_stream.h"
#include "platform/gdi/gdi_surface.h"
#include "render/layout/item_painter.h"
#include "render/layout/layout_dump.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/sd_ntn_idx.h"
#include "render/layout/system_run.h"
#include "render/layout/tests/layout_fixture.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/file/text_import.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
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

TEST_F(LayoutRulesTest, SystemsFillTheirWidthWhenAShorterStaffEndsEarly) {
    // The lower staff ends after one bar, while the upper one rests through ten bars and goes on: once the
    // lower staff's cursor is gone, the widest staff is the only one still widening, and stretching goes on
    // until the system is as wide as asked.
    std::string a = "|AddStaff|Name:A\n|RestMultiBar|NumBars:10|Visibility:Always\n|Bar\n";
    for (int i = 0; i < 8; ++i)
        a += "|Note|Dur:Whole|Pos:0\n|Bar\n";
    std::string b = "|AddStaff|Name:B\n";
    for (int i = 0; i < 8; ++i)
        b += "|Note|Dur:8th|Pos:0\n";
    Load(a + b + "|Bar|Style:SectionClose\n");
    auto s = System();
    auto systems = Systems(*s, 300);
    ASSERT_GE(systems.size(), 3u);
    // The staff that has ended takes no room in the later systems.
    for (size_t n = 0; n + 1 < systems.size(); ++n)
        for (size_t i = 0; i < systems[n].size(); ++i) {
            int sum = 0;
            for (const TLayoutRecord& r : systems[n][i])
                sum += r.Width;
            EXPECT_EQ(sum, n == 0 || i == 0 ? 300 : 0) << n << " " << i;
        }
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

class LayoutPartRulesTest : public LayoutRulesTest {
protected:
    // Formats the view segment of every staff and builds beams, brackets and slurs at origin (0, 0).
    std::unique_ptr<TScoreDrawInfo> Built(int mode = 3) {
        auto s = System(mode);
        s->FormatAllFromTime(0, 2000);
        s->PrepareAlignment();
        for (int i = 0; i < s->GetStaffCount(); ++i) {
            fonts->OriginY = s->GetStaffY(i);
            s->GetStaffDrawInfo(i)->BuildSlurs(0, 0);
        }
        return s;
    }
};

int CountOps(HDC dc, const std::string& op) {
    int n = 0;
    for (const auto& r : qsm::gdi::GetRecords(dc))
        n += r.op == op;
    return n;
}

TEST_F(LayoutPartRulesTest, BeamsClearRestsInsideAndFollowTheInnerNotes) {
    // Two stem-up eighths on the same line: a flat beam 7 steps above the heads (c + 20 - 35).
    const std::string first = "|Note|Dur:8th|Pos:-4|Opts:Beam=First\n",
                      last = "|Note|Dur:8th|Pos:-4|Opts:Beam=End\n";
    Load(first + last + "|Bar\n");
    auto plain = Built();
    int c = plain->GetStaffY(0);
    ASSERT_EQ(plain->GetStaffDrawInfo(0)->Beams.GetCount(), 1);
    EXPECT_EQ(plain->GetStaffDrawInfo(0)->Beams[0].Y0, c - 15);
    // A rest inside the beam: its top (minimum position) less one step, one space per flag of the next note.
    for (int offset : {0, 4, -4}) {
        Load(first + "|Rest|Dur:8th|Opts:Beam,VertOffset=" + std::to_string(offset) + "\n" + last + "|Bar\n");
        auto s = Built();
        TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
        ASSERT_EQ(st->Beams.GetCount(), 1);
        int top = score->GetStaff(0)->GetItem(2)->GetMinStaffPos();
        int required = c + 10 * (top - 1) / 2 - 10;
        EXPECT_EQ(st->Beams[0].Last, 3);
        EXPECT_EQ(st->Beams[0].Y0, std::min(c - 15, required)) << offset;
        EXPECT_EQ(st->Beams[0].Slope, 0.0f);
    }
    // A rising beam (ends at c - 15 and c - 25) with a rest near its lower end that pokes through the line:
    // the lower end moves to the rest's requirement and the upper end stays, so the beam keeps a smaller
    // slope.
    Load(first +
         "|Rest|Dur:8th|Opts:Beam,VertOffset=-2\n|Note|Dur:8th|Pos:-4|Opts:Beam\n"
         "|Note|Dur:8th|Pos:-4|Opts:Beam\n|Note|Dur:8th|Pos:-2|Opts:Beam=End\n|Bar\n");
    auto s = Built();
    TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
    ASSERT_EQ(st->Beams.GetCount(), 1);
    const TStaffConnect& b = st->Beams[0];
    int top = score->GetStaff(0)->GetItem(2)->GetMinStaffPos();
    int required = c + 10 * (top - 1) / 2 - 10;
    ASSERT_LT(required, c - 15);
    ASSERT_GT(required, c - 25);
    EXPECT_EQ(b.Y0, required);
    EXPECT_NEAR(ConnectYAt(b, b.X1), c - 25, 1);
}

TEST_F(LayoutPartRulesTest, BeamStartingOnAHiddenNoteIsStillDrawn) {
    const std::string rest = "|Note|Dur:8th|Pos:0|Opts:Beam\n|Note|Dur:8th|Pos:0|Opts:Beam=End\n|Bar\n";
    Load("|Note|Dur:8th|Pos:0|Opts:Beam=First\n" + rest);
    DrawFirstSystem(*System(), 400);
    int shown = CountOps(dc, "Polygon");
    ASSERT_GT(shown, 0);
    Load("|Note|Dur:8th|Pos:0|Opts:Beam=First|Visibility:Never\n" + rest);
    DrawFirstSystem(*System(), 400);
    EXPECT_EQ(CountOps(dc, "Polygon"), shown);
}

TEST_F(LayoutPartRulesTest, ChordDotsStackPerStemSide) {
    auto dots = [&](const std::string& line) {
        Load(line + "|Bar\n");
        auto s = Built();
        TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
        auto* chord = dynamic_cast<TChordData*>(score->GetStaff(0)->GetItem(1));
        EXPECT_TRUE(chord);
        return chord ? qsm::ChordDotPositions(*st, *chord) : std::vector<int>();
    };
    // A cluster C, D, E (stem up) is stacked: the line notes dot below their heads, every dot two steps above
    // the one before it.
    EXPECT_EQ(dots("|Chord|Dur:4th,Dotted|Pos:-6,-5,-4\n"), (std::vector<int>{7, 5, 3}));
    // A second E, F: two dots, not one on top of the other.
    EXPECT_EQ(dots("|Chord|Dur:4th,Dotted|Pos:-4,-3\n"), (std::vector<int>{5, 3}));
    // The same cluster with the stem down is walked from its top note down.
    EXPECT_EQ(dots("|Chord|Dur:4th,Dotted|Pos:2,3,4\n"), (std::vector<int>{-1, -3, -5}));
    // A spread chord C, G is not stacked: each dot in the space above its head.
    EXPECT_EQ(dots("|Chord|Dur:4th,Dotted|Pos:-6,-2\n"), (std::vector<int>{5, 1}));
}

TEST_F(LayoutPartRulesTest, LayeredSlotShowsTheFirstNonblankLabelOfItsGroup) {
    Load(
        "|PgSetup|AllowLayering:Y\n|AddStaff|Name:A\n|StaffProperties|WithNextStaff:Layer\n"
        "|Note|Dur:4th|Pos:0\n|AddStaff|Name:B|Label:Bass\n|Note|Dur:4th|Pos:0\n");
    auto s = System();
    DrawFirstSystem(*s, 400);
    ASSERT_TRUE(s->IsLayeringActive());
    qsm::gdi::ClearRecords(dc);
    s->DrawStaffLabels(0, 0, 100);
    std::vector<std::string> t = Texts();
    EXPECT_EQ(std::count(t.begin(), t.end(), std::string("Bass")), 1);
}

TEST_F(LayoutPartRulesTest, EndingStartsAtTheBarLineOnlyWithoutDurationBetween) {
    // x of the first vertical line drawn (the ending's left hook) and the system's first staff.
    auto hookX = [&]() {
        const auto& recs = qsm::gdi::GetRecords(dc);
        for (size_t i = 0; i + 1 < recs.size(); ++i)
            if (recs[i].op == "MoveToEx" && recs[i + 1].op == "LineTo" && recs[i].args.size() >= 2 &&
                recs[i + 1].args.size() >= 2 && recs[i].args[0] == recs[i + 1].args[0] &&
                recs[i].args[1] != recs[i + 1].args[1])
                return recs[i].args[0];
        return -1;
    };
    auto recordX = [](TStaffDrawInfo& st, int kind, int nth) {
        int x = 10;
        for (int i = 0; i < st.GetRecordCount(); ++i) {
            if (st.Record(i).GetKind() == kind && nth-- == 0) return std::make_pair(x, i);
            x += st.Record(i).Width;
        }
        return std::make_pair(-1, -1);
    };
    // Lines, brackets and the staff are the only other vertical lines: use a staff without lines.
    const std::string head = "|StaffProperties|Lines:0\n|Note|Dur:Whole|Pos:0\n|Bar\n";
    // A clef between the bar line and the ending: the bracket starts after the clef.
    Load(head + "|Clef|Type:Bass\n|Ending|Endings:2\n|Note|Dur:Whole|Pos:0\n|Bar\n");
    auto s = System();
    DrawFirstSystem(*s, 600);
    TStaffDrawInfo& st = *s->GetStaffDrawInfo(0);
    auto clef = recordX(st, lkClef, 0);
    ASSERT_GE(clef.second, 0);
    EXPECT_EQ(hookX(), clef.first + st.GetFitWidth(st.Record(clef.second)));
    // With a note between the bar line and the ending, the bracket starts at the ending itself.
    Load(head + "|Rest|Dur:Half\n|Ending|Endings:2\n|Rest|Dur:Half\n|Bar\n");
    auto m = System();
    DrawFirstSystem(*m, 600);
    auto ending = recordX(*m->GetStaffDrawInfo(0), lkEnding, 0);
    EXPECT_EQ(hookX(), ending.first);
}

TEST_F(LayoutPartRulesTest, OpenEndingStopsInsideAMultiMeasureRestUnlessAnEmptyEndingFollows) {
    // The ending's hook (the first vertical line; the staff has no lines) and the end of the top line that
    // starts there.
    auto topLine = [&]() {
        const auto& recs = qsm::gdi::GetRecords(dc);
        int hook = -1;
        for (size_t i = 0; i + 1 < recs.size(); ++i) {
            if (recs[i].op != "MoveToEx" || recs[i + 1].op != "LineTo" || recs[i].args.size() < 2 ||
                recs[i + 1].args.size() < 2)
                continue;
            const auto &p = recs[i].args, &q = recs[i + 1].args;
            if (hook < 0 && p[0] == q[0] && p[1] != q[1]) hook = p[0];
            if (hook >= 0 && p[0] == hook && p[1] == q[1] && q[0] != p[0]) return std::make_pair(hook, q[0]);
        }
        return std::make_pair(-1, -1);
    };
    auto find = [](TStaffDrawInfo& st, int kind, int from) {
        for (int i = from; i < st.GetRecordCount(); ++i)
            if (st.Record(i).GetKind() == kind) return i;
        return -1;
    };
    // A second ending over a rest of three bars: open-ended, its line stops at the rest's first inner bar, so
    // that it does not take the fitting width of the bar line after the rest. Its number is hidden, so that
    // the line is not drawn on to the end of the number.
    const std::string head =
        "|StaffProperties|Lines:0\n|Note|Dur:Whole|Pos:0\n|Bar\n|Ending|Endings:2|HideText:Y\n"
        "|RestMultiBar|NumBars:3|Visibility:Always\n|Bar|Visibility:Always\n";
    Load(head + "|Note|Dur:Whole|Pos:0\n|Bar\n");
    auto open = System();
    DrawFirstSystem(*open, 600);
    TStaffDrawInfo& a = *open->GetStaffDrawInfo(0);
    int ending = find(a, lkEnding, 0);
    int more = find(a, lkMultiRestMore, ending);
    int bar = find(a, lkBarLine, more);
    ASSERT_GT(ending, 0);
    ASSERT_GT(more, ending);
    ASSERT_GT(bar, more);
    auto line = topLine();
    ASSERT_GE(line.first, 0);
    EXPECT_EQ(line.second, 10 + a.XOfRecord(more));
    // An empty ending opening the next bar closes the second one: its line runs to the bar line after the
    // rest and takes its fitting width.
    Load(head + "|Ending\n|Note|Dur:Whole|Pos:0\n|Bar\n");
    auto closed = System();
    DrawFirstSystem(*closed, 600);
    TStaffDrawInfo& b = *closed->GetStaffDrawInfo(0);
    auto shut = topLine();
    EXPECT_EQ(shut.first, line.first);
    ASSERT_GT(b.GetFitWidth(b.Record(bar)), 0);
    EXPECT_EQ(shut.second, 10 + b.XOfRecord(bar) + b.GetFitWidth(b.Record(bar)));
}

// Where the music glyph g was written: x and y of each time, in order.
std::vector<std::pair<int, int>> GlyphPlaces(HDC dc, int g) {
    std::vector<std::pair<int, int>> out;
    int code = GetGlyphCode(g);
    for (const auto& r : qsm::gdi::GetRecords(dc))
        if (r.op == "TextOutW" && r.wtext.size() == 1 && r.args.size() >= 2 &&
            (r.wtext[0] >= 0xF000 ? r.wtext[0] - 0xF000 : r.wtext[0]) == code)
            out.push_back({r.args[0], r.args[1]});
    return out;
}

TEST_F(LayoutPartRulesTest, ArticulationsOnTheStemOfABeamedNoteStandAtTheBeam) {
    // Two stem-up eighths four steps below the middle line: the flat beam lies 15 units (three steps) above
    // the middle line, one step above the end of an unbeamed stem of seven steps.
    auto staccatoY = [&](const std::string& beam1, const std::string& beam2) {
        Load("|Note|Dur:8th,Staccato|Pos:-4|Opts:ArticulationsOnStem" + beam1 +
             "\n|Note|Dur:8th,Staccato|Pos:-4|Opts:ArticulationsOnStem" + beam2 + "\n|Bar\n");
        DrawFirstSystem(*System(), 400);
        auto places = GlyphPlaces(dc, 19);
        EXPECT_EQ(places.size(), 2u);
        return places.empty() ? 0 : places[0].second;
    };
    int plain = staccatoY("", "");
    int beamed = staccatoY(",Beam=First", ",Beam=End");
    EXPECT_EQ(beamed, plain - 5);
}

TEST_F(LayoutPartRulesTest, RestOfARestChordMakesRoomForAHeadColumnLeftOfADownStem) {
    // A chord part with a second (two head columns): on a down stem the rest stands one head width further
    // right; on an up stem it does not move.
    struct TPlace {
        int x = 0, width = 0, partStem = 0, columns = 0;
    };
    auto place = [&](const std::string& stem) {
        TPlace out;
        Load("|RestChord|Dur:4th|Dur2:4th|Pos2:-1,0|Opts:Stem=" + stem + "\n|Bar\n");
        auto s = System();
        DrawFirstSystem(*s, 400);
        auto* rc = dynamic_cast<TRestChord*>(score->GetStaff(0)->GetItem(1));
        if (!rc || !rc->GetPart()) return out;
        out.partStem = rc->GetPart()->GetStemDirSign();
        out.columns = rc->GetPart()->GetChordLayoutSize();
        TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
        for (int i = 0; i < st->GetRecordCount(); ++i)
            if (st->ItemOf(st->Record(i)) == rc) out.width = rc->Measure(*st, st->Record(i));
        auto places = GlyphPlaces(dc, 22);
        EXPECT_EQ(places.size(), 1u);
        if (!places.empty()) out.x = places[0].first;
        return out;
    };
    TPlace a = place("Up"), b = place("Down");
    const TPlace& down = a.partStem < 0 ? a : b;
    const TPlace& up = a.partStem < 0 ? b : a;
    ASSERT_LT(down.partStem, 0);
    ASSERT_GT(up.partStem, 0);
    ASSERT_EQ(down.columns, 2);
    EXPECT_EQ(down.x - up.x, metrics.HeadWidth);
    // The record keeps room for the moved rest.
    EXPECT_GE(down.width, metrics.GlyphWidth + metrics.HeadWidth);
}

TEST_F(LayoutPartRulesTest, EachHeadColumnOfAChordDrawsItsOwnLedgerLines) {
    // Ledger lines: horizontal strokes as long as a head and a quarter of it on either side, with their x.
    auto ledgers = [&]() {
        std::vector<int> out;
        int length = metrics.HeadWidth + 2 * (metrics.HeadWidth / 4 + 1);
        const auto& recs = qsm::gdi::GetRecords(dc);
        for (size_t i = 0; i + 1 < recs.size(); ++i)
            if (recs[i].op == "MoveToEx" && recs[i + 1].op == "LineTo" && recs[i].args.size() >= 2 &&
                recs[i + 1].args.size() >= 2 && recs[i].args[1] == recs[i + 1].args[1] &&
                recs[i + 1].args[0] - recs[i].args[0] == length)
                out.push_back(recs[i].args[0]);
        return out;
    };
    // A second above the staff under a higher note: the heads of the second stand in two columns, and the
    // inner one of them gets its ledger line in its own column too.
    Load("|Chord|Dur:4th|Pos:6,7,9|Opts:Stem=Down\n|Bar\n");
    DrawFirstSystem(*System(), 400);
    auto* chord = dynamic_cast<TChordData*>(score->GetStaff(0)->GetItem(1));
    ASSERT_TRUE(chord);
    ASSERT_NE(chord->GetNote(0)->GetHeadColumn(), chord->GetNote(1)->GetHeadColumn());
    std::vector<int> x = ledgers();
    std::sort(x.begin(), x.end());
    x.erase(std::unique(x.begin(), x.end()), x.end());
    EXPECT_EQ(x.size(), 2u);
    // A third stacks in one column: only the outer note draws the lines.
    Load("|Chord|Dur:4th|Pos:6,8|Opts:Stem=Down\n|Bar\n");
    DrawFirstSystem(*System(), 400);
    x = ledgers();
    EXPECT_EQ(x.size(), 2u);  // the lines at 6 and 8, both in the one column
    if (x.size() == 2u) {
        EXPECT_EQ(x[0], x[1]);
    }
}

TEST_F(LayoutPartRulesTest, PositionsInsideAMultiMeasureRestFindTheRecordOfTheirBar) {
    Load(
        "|Note|Dur:Whole|Pos:0\n|Bar\n|RestMultiBar|NumBars:3|Visibility:Always\n|Bar\n"
        "|Note|Dur:Whole|Pos:0\n|Bar\n");
    auto s = System();
    s->FormatAllFromTime(0, 2000);
    s->PrepareAlignment();
    TStaffDrawInfo& st = *s->GetStaffDrawInfo(0);
    int rest = score->GetStaff(0)->FindItemOfType(0, ntMultiMeasureRest, 1);
    ASSERT_GT(rest, 0);
    for (int bar = 0; bar < 3; ++bar) {
        int ri = st.RecordIndexOfIndex({rest, bar});
        ASSERT_GT(ri, 0) << bar;
        EXPECT_EQ(st.Record(ri).GetKind(), lkMultiRest) << bar;
        EXPECT_EQ(st.Record(ri).Count, bar);
        EXPECT_EQ(st.RecordOfIndex({rest, bar}), &st.Record(ri));
        EXPECT_EQ(st.XOfIndex({rest, bar}), st.XOfRecord(ri));
    }
    // A bar past the rest's records stays at its last one; an item outside the segment has no record.
    EXPECT_EQ(st.RecordIndexOfIndex({rest, 7}), st.RecordIndexOfIndex({rest, 2}));
    EXPECT_EQ(st.RecordIndexOfIndex({score->GetStaff(0)->GetItemCount() + 5, 0}), -1);
    EXPECT_EQ(st.XOfIndex({score->GetStaff(0)->GetItemCount() + 5, 0}), 0x7fffffff);
    // At the score's start the full label is taken; modes 0 and 4 always take it.
    EXPECT_TRUE(st.TakesLabelFull());
}

TEST_F(LayoutPartRulesTest, RestPrintedOnceShowsEveryBarOfASystemStartingInsideIt) {
    // A rest of eight bars that prints its count once and shows its bars: a system that starts at its fourth
    // bar shows each of its bars as a Copy, not only the first.
    Load(
        "|Note|Dur:Whole|Pos:0\n|Bar\n|RestMultiBar|NumBars:8|Visibility:Always|PrintOnce:Y|"
        "WhenHidden:ShowBars\n|Bar\n|Note|Dur:Whole|Pos:0\n|Bar\n");
    int rest = score->GetStaff(0)->FindItemOfType(0, ntMultiMeasureRest, 1);
    ASSERT_GT(rest, 0);
    auto s = System();
    std::vector<TStaffStartPosition> starts{{rest, 3}};
    s->FormatStavesFrom(starts.data(), 3000);
    TStaffDrawInfo& st = *s->GetStaffDrawInfo(0);
    std::vector<int> counts;
    for (int i = 0; i < st.GetRecordCount(); ++i) {
        const TLayoutRecord& r = st.Record(i);
        if (r.GetKind() != lkMultiRest) continue;
        EXPECT_TRUE(r.IsCopy()) << i;
        EXPECT_FALSE(r.IsHidden()) << i;
        counts.push_back(r.Count);
    }
    EXPECT_EQ(counts, (std::vector<int>{3, 4, 5, 6, 7}));
}

TEST_F(LayoutPartRulesTest, IndexesStandAtTheirLayoutRecords) {
    Load(
        "|Note|Dur:Whole|Pos:0\n|Bar\n|RestMultiBar|NumBars:3|Visibility:Always\n|Bar\n"
        "|Note|Dur:Whole|Pos:0\n|Bar\n");
    auto s = System();
    s->FormatAllFromTime(0, 2000);
    TStaffDrawInfo& st = *s->GetStaffDrawInfo(0);
    // From the segment start or no record: the staff's first item.
    EXPECT_EQ(qsm::RelIndexAtRecord(st, nullptr).GetIndex(), 0);
    EXPECT_EQ(qsm::RelIndexAtRecord(st, &st.Record(0)).GetIndex(), 0);
    int checked = 0;
    for (int i = 1; i < st.GetRecordCount(); ++i) {
        const TLayoutRecord& r = st.Record(i);
        TRelNtnIdx idx = qsm::RelIndexAtRecord(st, &r);
        if (!r.IsItemPosition()) continue;
        EXPECT_TRUE(qsm::IsAtLayoutRecord(idx, r)) << i;
        EXPECT_EQ(idx.GetIndex(), r.ItemIndex) << i;
        if (r.GetKind() == lkMultiRest) {
            // Time and bar count follow the bar reached inside the rest.
            EXPECT_EQ(idx.GetBarInMultiRest(), r.Count) << i;
            EXPECT_EQ(idx.GetTime(), 768 * (1 + r.Count)) << i;
            ++checked;
        }
        TRelNtnIdx other(score->GetStaff(0));
        qsm::SeekLayoutRecord(other, r);
        EXPECT_EQ(other.GetIndex(), idx.GetIndex());
        EXPECT_EQ(other.GetTime(), idx.GetTime());
    }
    EXPECT_EQ(checked, 3);
    // A record of another bar of the rest does not stand at this index.
    int rest = score->GetStaff(0)->FindItemOfType(0, ntMultiMeasureRest, 1);
    TRelNtnIdx first = qsm::RelIndexAtRecord(st, &st.Record(st.RecordIndexOfIndex({rest, 0})));
    EXPECT_FALSE(qsm::IsAtLayoutRecord(first, st.Record(st.RecordIndexOfIndex({rest, 1}))));
}

TEST_F(LayoutPartRulesTest, TripletBracketEndsMoveToAnInnerNoteThatStandsOut) {
    // Three stem-up quarters, the middle one far higher than the rising outer ones: the bracket's movable
    // end goes to the middle note's height and the reference end follows it, so the bracket lies level above
    // the middle note.
    Load(
        "|Note|Dur:4th,Triplet=First|Pos:-4|Opts:Stem=Up\n|Note|Dur:4th,Triplet|Pos:6|Opts:Stem=Up\n"
        "|Note|Dur:4th,Triplet=End|Pos:-2|Opts:Stem=Up\n|Bar\n");
    auto s = Built();
    TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
    ASSERT_EQ(st->Triplets.GetCount(), 1);
    const TStaffConnect& t = st->Triplets[0];
    EXPECT_EQ(t.Slope, 0.0f);
    int middle = -1, x = 0;
    for (int i = 0; i < st->GetRecordCount(); ++i) {
        if (st->Record(i).ItemIndex == 2 && st->Record(i).GetKind() == lkNote) {
            middle = i;
            break;
        }
        x += st->Record(i).Width;
    }
    ASSERT_GE(middle, 0);
    fonts->OriginY = s->GetStaffY(0);
    EXPECT_EQ(t.Y0, TripletItemY(*st, middle, x, 1));
}

TEST_F(LayoutPartRulesTest, BarNumberRulerNumbersEachBarBetweenItsBarLines) {
    std::string body;
    for (int i = 0; i < 3; ++i)
        body += "|Note|Dur:Whole|Pos:0\n|Bar\n";
    body += "|RestMultiBar|NumBars:3|Visibility:Always\n|Bar\n|Note|Dur:Whole|Pos:0\n|Bar\n";
    Load(body);
    for (bool join : {false, true}) {
        auto s = System();
        DrawFirstSystem(*s, 3000);
        TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
        qsm::gdi::ClearRecords(dc);
        st->DrawBarNumberRuler(0, 3000, 100, 2, 1, join);
        std::vector<std::string> t = Texts();
        std::string all;
        for (const std::string& x : t)
            all += x + ";";
        // The rest's later bars take no room outside modes 0 and 4, so their own numbers do not fit: only the
        // rest's first bar is numbered, or, joined, the range of its bars.
        if (join)
            EXPECT_EQ(all, "1;2;3;4 - 6;7;");
        else
            EXPECT_EQ(all, "1;2;3;4;7;");
        // A tick per bar position, each from the ruler's line down two steps.
        int ticks = 0;
        const auto& recs = qsm::gdi::GetRecords(dc);
        for (size_t i = 0; i + 1 < recs.size(); ++i)
            if (recs[i].op == "MoveToEx" && recs[i + 1].op == "LineTo" && recs[i].args[1] == 100 &&
                recs[i + 1].args[1] == 100 + 10)
                ++ticks;
        EXPECT_GE(ticks, 7);
    }
    // A span narrower than its number stays empty, and spans are clipped to the right edge.
    auto s = System();
    DrawFirstSystem(*s, 3000);
    qsm::gdi::ClearRecords(dc);
    s->GetStaffDrawInfo(0)->DrawBarNumberRuler(0, 5, 100, 0, 0, false);
    EXPECT_TRUE(Texts().empty());
}

TEST_F(LayoutPartRulesTest, SystemStartKeysComeFromThePlayOrderContext) {
    // A repeat whose second ending is never played in play order, with a key change after it: a system that
    // starts in the second ending repeats the key in force there, never the later one.
    score =
        qsm::test::ImportText(qsm::ReadWholeFile(std::string(QSM_TESTDATA_DIR) + "/layout/quartet.qsmtxt"));
    ASSERT_TRUE(score);
    int startsInEnding = 0;
    for (int width = 150; width <= 600; width += 25) {
        auto s = System();
        auto systems = Systems(*s, width);
        for (size_t n = 1; n < systems.size(); ++n)
            for (size_t i = 0; i < systems[n].size(); ++i) {
                const std::vector<TLayoutRecord>& recs = systems[n][i];
                int first = -1;
                for (const TLayoutRecord& r : recs)
                    if (r.IsItemPosition()) {
                        first = r.ItemIndex;
                        break;
                    }
                TMusicStaff* staff = score->GetStaff(static_cast<int>(i));
                if (first > 0 && staff->GetItem(first)->GetType() == ntSpecialEnding) ++startsInEnding;
                for (const TLayoutRecord& r : recs)
                    if (r.GetKind() == lkKey && r.IsCopy()) {
                        EXPECT_LT(r.ItemIndex, first) << width << " " << n;
                    }
            }
    }
    EXPECT_GT(startsInEnding, 0);
}

TEST_F(LayoutPartRulesTest, HiddenNotationModesDrawAMultiMeasureRestOnceForEachRunOfItsRecords) {
    // Where hidden notation shows, a rest's later bars keep Hidden Copy records of their own: they measure 0
    // and draw nothing; the run's first record draws the rest over all the bars with the full count, and
    // measures the count and two whole rests, or two whole rests alone for a system starting inside.
    Load(
        "|Note|Dur:Whole|Pos:0\n|Bar\n|RestMultiBar|NumBars:4|Visibility:Always\n|Bar\n"
        "|Note|Dur:Whole|Pos:0\n|Bar\n");
    int rest = score->GetStaff(0)->FindItemOfType(0, ntMultiMeasureRest, 1);
    ASSERT_GT(rest, 0);
    int w20 = fonts->GetGlyphWidth(20);
    for (int mode : {0, 4}) {
        for (int startBar : {0, 2}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " start " << startBar);
            auto s = System(mode);
            std::vector<TStaffStartPosition> starts{{startBar ? rest : 0, startBar}};
            s->FormatStavesFrom(starts.data(), 3000);
            s->FitSystem(3000);
            TStaffDrawInfo& st = *s->GetStaffDrawInfo(0);
            std::vector<int> counts, fits;
            for (int i = 0; i < st.GetRecordCount(); ++i) {
                const TLayoutRecord& r = st.Record(i);
                if (r.GetKind() != lkMultiRest) continue;
                counts.push_back(r.Count);
                fits.push_back(st.GetFitWidth(r));
            }
            int first = startBar ? 2 * w20 : qsm::LayoutTextWidth(*fonts, 0, "4") + 2 * w20;
            if (startBar)
                EXPECT_EQ(counts, (std::vector<int>{2, 3}));
            else
                EXPECT_EQ(counts, (std::vector<int>{0, 1, 2, 3}));
            std::vector<int> expected(counts.size(), 0);
            expected[0] = first;
            EXPECT_EQ(fits, expected);
            qsm::gdi::ClearRecords(dc);
            TDrawExtent e;
            e.Init(3000);
            s->DrawSystem(e, 10, 10, -1);
            int fours = 0;
            for (const std::string& t : Texts())
                fours += t == "4";
            EXPECT_EQ(fours, 1);
            EXPECT_EQ(CountOps(dc, "Rectangle"), 1);
        }
    }
}

TEST_F(LayoutPartRulesTest, PlayMarkMovesThroughAMultiMeasureRestBarByBar) {
    // A rest of four bars drawn by one record: the mark of each bar is that bar's quarter of the rest bar, in
    // the mark colour and without the count; the quarters follow one another over the whole rest bar.
    Load(
        "|Note|Dur:Whole|Pos:0\n|Bar\n|RestMultiBar|NumBars:4|Visibility:Always\n|Bar\n"
        "|Note|Dur:Whole|Pos:0\n|Bar\n|RestMultiBar|NumBars:1|Visibility:Always\n|Bar\n");
    TMusicStaff* staff = score->GetStaff(0);
    int rest = staff->FindItemOfType(0, ntMultiMeasureRest, 1);
    int single = staff->FindItemOfType(rest + 1, ntMultiMeasureRest, 1);
    ASSERT_GT(rest, 0);
    ASSERT_GT(single, rest);
    auto rects = [&] {
        std::vector<std::vector<int>> out;
        for (const auto& r : qsm::gdi::GetRecords(dc))
            if (r.op == "Rectangle") out.push_back(r.args);
        return out;
    };
    for (int mode : {3, 0}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        auto s = System(mode);
        DrawFirstSystem(*s, 3000);
        std::vector<std::vector<int>> whole = rects();
        ASSERT_EQ(whole.size(), 2u);
        TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
        int left = whole[0][0], right = whole[0][2];
        std::vector<std::vector<int>> marks;
        for (int bar = 0; bar < 4; ++bar) {
            qsm::gdi::ClearRecords(dc);
            EXPECT_GE(st->DrawPlayMark(10, 10, {rest, bar}, 8, 0), 0);
            std::vector<std::vector<int>> got = rects();
            ASSERT_EQ(got.size(), 1u) << bar;
            EXPECT_TRUE(Texts().empty()) << bar;
            marks.push_back(got[0]);
        }
        // Drawn at the system's origin, the quarters cover the rest bar exactly.
        EXPECT_EQ(marks[0][0], left);
        EXPECT_EQ(marks[3][2], right);
        for (int bar = 0; bar < 4; ++bar) {
            EXPECT_LT(marks[bar][0], marks[bar][2]) << bar;
            if (bar > 0) {
                EXPECT_EQ(marks[bar][0], marks[bar - 1][2]) << bar;
            }
            int len = marks[bar][2] - marks[bar][0];
            EXPECT_LE(std::abs(4 * len - (right - left)), 4) << bar;
        }
        // A rest of one bar is marked as a whole, count and all.
        qsm::gdi::ClearRecords(dc);
        EXPECT_GE(st->DrawPlayMark(10, 10, {single, 0}, 8, 0), 0);
        std::vector<std::vector<int>> one = rects();
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0][2] - one[0][0], whole[1][2] - whole[1][0]);
        EXPECT_EQ(Texts(), (std::vector<std::string>{"1"}));
    }
}

TEST_F(LayoutPartRulesTest, PlayMarkInsideARestThatASystemStartsIn) {
    // A system that starts at the third bar of a four-bar rest draws the rest over its last two bars: their
    // marks are the two halves of that rest bar, and the bars before the system have no mark there.
    Load(
        "|Note|Dur:Whole|Pos:0\n|Bar\n|RestMultiBar|NumBars:4|Visibility:Always\n|Bar\n"
        "|Note|Dur:Whole|Pos:0\n|Bar\n");
    int rest = score->GetStaff(0)->FindItemOfType(0, ntMultiMeasureRest, 1);
    ASSERT_GT(rest, 0);
    auto rects = [&] {
        std::vector<std::vector<int>> out;
        for (const auto& r : qsm::gdi::GetRecords(dc))
            if (r.op == "Rectangle") out.push_back(r.args);
        return out;
    };
    for (int mode : {3, 4}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        auto s = System(mode);
        std::vector<TStaffStartPosition> starts{{rest, 2}};
        s->FormatStavesFrom(starts.data(), 3000);
        s->FitSystem(3000);
        qsm::gdi::ClearRecords(dc);
        TDrawExtent e;
        e.Init(3000);
        s->DrawSystem(e, 10, 10, -1);
        std::vector<std::vector<int>> whole = rects();
        ASSERT_EQ(whole.size(), 1u);
        TStaffDrawInfo* st = s->GetStaffDrawInfo(0);
        for (int bar : {0, 1}) {
            qsm::gdi::ClearRecords(dc);
            EXPECT_LT(st->DrawPlayMark(10, 10, {rest, bar}, 8, 0), 0) << bar;
            EXPECT_TRUE(rects().empty()) << bar;
        }
        std::vector<std::vector<int>> marks;
        for (int bar : {2, 3}) {
            qsm::gdi::ClearRecords(dc);
            EXPECT_GE(st->DrawPlayMark(10, 10, {rest, bar}, 8, 0), 0) << bar;
            std::vector<std::vector<int>> got = rects();
            ASSERT_EQ(got.size(), 1u) << bar;
            marks.push_back(got[0]);
        }
        EXPECT_EQ(marks[0][0], whole[0][0]);
        EXPECT_EQ(marks[0][2], marks[1][0]);
        EXPECT_EQ(marks[1][2], whole[0][2]);
        EXPECT_LE(std::abs((marks[0][2] - marks[0][0]) - (marks[1][2] - marks[1][0])), 1);
    }
}

TEST_F(LayoutPartRulesTest, StaccatoDotsStandInSpacesOnEitherSideOfTheStaff) {
    // Quarter notes on every line and space, stem up (dot below) and stem down (dot above): the dot, two
    // units either side of where it is written, keeps clear of every staff line (ten units apart).
    for (const char* stem : {"Up", "Down"}) {
        for (int pos = -5; pos <= 5; ++pos) {
            SCOPED_TRACE(std::string(stem) + " " + std::to_string(pos));
            Load("|Note|Dur:4th,Staccato|Pos:" + std::to_string(pos) + "|Opts:Stem=" + stem + "\n|Bar\n");
            DrawFirstSystem(*System(), 400);
            auto heads = GlyphPlaces(dc, 7);
            auto dots = GlyphPlaces(dc, 19);
            ASSERT_EQ(heads.size(), 1u);
            ASSERT_EQ(dots.size(), 1u);
            const int step = std::abs(dots[0].second - heads[0].second);
            EXPECT_GE(step, 10);  // clear of the head
            // The middle line lies pos steps of five units from the head.
            const int middle = heads[0].second + 5 * pos;
            for (int k = -2; k <= 2; ++k)
                EXPECT_GE(std::abs(dots[0].second - (middle + 10 * k)), 3) << "line " << k;
        }
    }
}
