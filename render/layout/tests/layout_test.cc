// Layout records, connect arrays, staff and score draw information, fitting and drawing, checked as numbers
// under fixed metrics.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/ram_stream.h"
#include "platform/gdi/gdi_surface.h"
#include "render/layout/item_painter.h"
#include "render/layout/layout_dump.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
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

std::unique_ptr<TMusicScore> ImportData(const std::string& name) {
    return qsm::test::ImportText(qsm::ReadWholeFile(std::string(QSM_TESTDATA_DIR) + "/" + name));
}

class LayoutTest : public qsm::test::FixedMetricsTest {
protected:
    std::string DumpAll(TMusicScore& score, int width) {
        auto s = System(score);
        std::string out;
        qsm::LayoutSystems(*s, width, 50, [&](TScoreDrawInfo& sys, int n) {
            // Beams, brackets and slurs at the system origin (0, 0), each staff at its own y.
            for (int i = 0; i < sys.GetStaffCount(); ++i) {
                fonts->OriginY = sys.GetStaffY(i);
                sys.GetStaffDrawInfo(i)->BuildSlurs(0, 0);
            }
            out += "== system " + std::to_string(n) + "\n" + qsm::DumpSystemLayout(sys, true);
            return true;
        });
        return out;
    }
    int Count(const std::string& op) {
        int n = 0;
        for (const auto& r : qsm::gdi::GetRecords(dc))
            n += r.op == op;
        return n;
    }
};

TEST(LayoutRecordTest, KindsFlagsAndPriorities) {
    TLayoutRecord r;
    r.SetKind(lkNote);
    EXPECT_EQ(r.GetPriority(), 8);
    r.SetHidden(true);
    EXPECT_EQ(r.GetPriority(), 8);  // notes keep their priority when hidden
    EXPECT_FALSE(r.IsDrawable());
    r.SetKind(lkKey);
    EXPECT_EQ(r.GetPriority(), 0);  // other hidden records do not align
    r.SetHidden(false);
    EXPECT_EQ(r.GetPriority(), 3);
    r.SetKind(lkClef);
    r.MidBarClef = 1;
    EXPECT_EQ(r.GetPriority(), 0);
    r.SetKind(lkMultiRestMore);
    r.SetCopy(true);
    EXPECT_TRUE(r.IsBarBreak());
    EXPECT_TRUE(r.IsItemPosition());
    r.SetKind(lkClef);
    EXPECT_FALSE(r.IsItemPosition());
    // Widths are 32-bit: alignment can give one record more than 16 bits hold.
    r.Width = 40000;
    EXPECT_EQ(r.Width, 40000);
    TLayoutRecord zero;
    zero.SetKind(lkFloating);
    EXPECT_TRUE(zero.IsSpacingTransparent());
    zero.SetKind(lkClef);
    EXPECT_FALSE(zero.IsSpacingTransparent());
}

TEST(ConnectArrayTest, GrowsBySixteenToFiveHundredTwelve) {
    TQSStaffConnects beams(32);
    TStaffConnect c;
    for (int i = 0; i < 512; ++i) {
        c.First = static_cast<uint16_t>(i);
        c.Last = static_cast<uint16_t>(i);
        ASSERT_TRUE(beams.Add(c));
        if (i == 32) {
            EXPECT_EQ(beams.GetCapacity(), 48);
        }
    }
    EXPECT_EQ(beams.GetCapacity(), 512);
    EXPECT_FALSE(beams.Add(c));
    EXPECT_EQ(beams.GetCount(), 512);
    c.Flags = 1;
    TQSStaffConnects grace(16);
    TStaffConnect normal;
    normal.First = 3;
    normal.Last = 9;
    grace.Add(normal);
    EXPECT_EQ(grace.FindCovering(1, 5), nullptr);
    EXPECT_NE(grace.FindCovering(0, 5), nullptr);
    TStaffConnect line;
    line.X0 = 10;
    line.Y0 = 100;
    line.Slope = -0.5f;
    EXPECT_EQ(ConnectYAt(line, 15), 97);
}

TEST_F(LayoutTest, DumpsMatchExpectedFiles) {
    for (const char* name : {"sample", "piano", "barred_unbarred"}) {
        SCOPED_TRACE(name);
        auto score = ImportData(std::string(name == std::string("sample") ? "textscore/" : "layout/") + name +
                                ".qsmtxt");
        ASSERT_TRUE(score);
        std::string got = DumpAll(*score, 600);
        std::string expectedPath = std::string(QSM_TESTDATA_DIR) + "/layout/" + name + ".dump";
        if (std::getenv("QSM_WRITE_DUMPS")) {
            std::ofstream(expectedPath, std::ios::binary) << got;
        }
        EXPECT_EQ(got, qsm::ReadWholeFile(expectedPath));
    }
}

TEST_F(LayoutTest, EqualTicksStandAtEqualXAndSystemsFillTheWidth) {
    auto score = ImportData("layout/piano.qsmtxt");
    auto s = System(*score);
    int systems = 0;
    qsm::LayoutSystems(*s, 600, 50, [&](TScoreDrawInfo& sys, int) {
        TStaffDrawInfo* a = sys.GetStaffDrawInfo(0);
        TStaffDrawInfo* b = sys.GetStaffDrawInfo(1);
        if (!a->IsAtStaffEnd()) {
            EXPECT_EQ(a->GetTotalWidth(), 600);
            EXPECT_EQ(b->GetTotalWidth(), 600);
        }
        // Bar lines of the same bar lie at the same x on both staves.
        std::vector<int> xa, xb;
        for (int i = 1; i < a->GetRecordCount(); ++i)
            if (a->Record(i).GetKind() == lkBarLine) xa.push_back(a->XOfRecord(i));
        for (int i = 1; i < b->GetRecordCount(); ++i)
            if (b->Record(i).GetKind() == lkBarLine) xb.push_back(b->XOfRecord(i));
        EXPECT_EQ(xa, xb);
        ++systems;
        return true;
    });
    EXPECT_GE(systems, 2);
}

// A staff without bar lines beside a barred one: every item of both staves is laid out exactly once.
// Systems whose staves offer no point to widen at must still end: the stretching stops after a pass that
// widened nothing instead of starting the same pass again.
TEST_F(LayoutTest, StretchingEndsWhenNothingCanBeWidened) {
    auto score = ImportData("layout/stretch_without_points.qsmtxt");
    ASSERT_TRUE(score);
    auto s = System(*score);
    int systems = 0;
    qsm::LayoutSystems(*s, 700, 200, [&](TScoreDrawInfo&, int) {
        ++systems;
        return true;
    });
    EXPECT_GT(systems, 0);
}

// Printing lays a page's systems out again from earlier starts, and a justified page keeps its fitted
// systems to draw them later: both must give each system exactly the layout it had when first fitted.
TEST_F(LayoutTest, SystemsLaidOutAgainOrKeptMatchTheirFirstLayout) {
    constexpr int kWidth = 160;
    for (const char* name : {"layout/quartet.qsmtxt", "layout/piano.qsmtxt"}) {
        SCOPED_TRACE(name);
        auto score = ImportData(name);
        ASSERT_TRUE(score);
        auto s = System(*score);
        std::vector<std::vector<TStaffStartPosition>> starts;
        std::vector<std::string> dumps;
        std::vector<TScoreDrawInfo::TSystemLayout> kept;
        std::vector<TStaffStartPosition> next(static_cast<size_t>(s->GetStaffCount()));
        for (int k = 0; k < 40; ++k) {
            starts.push_back(next);
            s->FormatStavesFrom(next.data(), kWidth);
            s->FitSystem(kWidth);
            dumps.push_back(qsm::DumpSystemLayout(*s, false));
            kept.emplace_back();
            s->SaveSystemLayout(kept.back());
            s->GetStartPositions(next.data());
            if (s->GetStaffDrawInfo(0)->IsAtStaffEnd()) break;
        }
        ASSERT_GE(dumps.size(), 3u);
        // Backwards, each start earlier than the one laid out before it.
        for (size_t k = dumps.size(); k-- > 0;) {
            s->FormatStavesFrom(starts[k].data(), kWidth);
            s->FitSystem(kWidth);
            EXPECT_EQ(qsm::DumpSystemLayout(*s, false), dumps[k]) << "system " << k;
        }
        for (size_t k = 0; k < kept.size(); ++k) {
            s->RestoreSystemLayout(kept[k]);
            EXPECT_EQ(qsm::DumpSystemLayout(*s, false), dumps[k]) << "kept system " << k;
        }
    }
}

TEST_F(LayoutTest, UnbarredStaffIsNotSkipped) {
    auto score = ImportData("layout/barred_unbarred.qsmtxt");
    auto s = System(*score);
    std::vector<int> seen[2];
    qsm::LayoutSystems(*s, 300, 50, [&](TScoreDrawInfo& sys, int) {
        for (int k = 0; k < 2; ++k) {
            TStaffDrawInfo* st = sys.GetStaffDrawInfo(k);
            for (int i = 0; i < st->GetRecordCount(); ++i) {
                const TLayoutRecord& r = st->Record(i);
                if (r.IsItemPosition() && r.GetKind() != lkMultiRestMore) seen[k].push_back(r.ItemIndex);
            }
        }
        return true;
    });
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        TMusicStaff* staff = score->GetStaff(k);
        std::vector<int> all;
        for (int i = 1; i < staff->GetItemCount(); ++i)
            all.push_back(i);
        std::vector<int> got;
        for (int i : seen[k])
            if (i > 0) got.push_back(i);
        EXPECT_EQ(got, all);
    }
}

TEST_F(LayoutTest, ColoursOutsideThePaletteDrawAsDefault) {
    auto score =
        qsm::test::ImportText("!QuillStaveComposer(2.51)\n|Clef|Type:Treble\n|Note|Dur:4th|Pos:0\n|Bar\n");
    ASSERT_TRUE(score);
    TMusicStaff* staff = score->GetStaff(0);
    staff->SetColor(12);
    auto s = System(*score);
    s->FormatAllFromTime(0, 400);
    TStaffDrawInfo* info = s->GetStaffDrawInfo(0);
    EXPECT_EQ(info->GetColor(), 0);
    staff->SetColor(3);
    EXPECT_EQ(info->GetColor(), 11);
    TNotatedItem* note = staff->GetItem(staff->FindSongNote(0, 1));
    ASSERT_TRUE(note);
    note->SetColor(9);
    TLayoutRecord r;
    EXPECT_EQ(info->GetItemColorIndex(note, r), 11);
    note->SetColor(2);
    EXPECT_EQ(info->GetItemColorIndex(note, r), 10);
}

// Layout measures without any DC attached to the drawing context.
TEST_F(LayoutTest, LaysOutWithoutAnAttachedDC) {
    auto score = ImportData("textscore/sample.qsmtxt");
    auto s = System(*score, 1);
    s->FormatAllFromTime(0, 800);
    s->PrepareAlignment();
    EXPECT_GT(s->GetStaffDrawInfo(0)->GetTotalWidth(), 0);
}

TEST_F(LayoutTest, DrawsStaffLinesStemsBeamsAndConnectedBars) {
    auto score = ImportData("layout/piano.qsmtxt");
    Record();
    auto s = System(*score);
    s->FormatStavesFrom(std::vector<TStaffStartPosition>(2).data(), 600);
    s->FitSystem(600);
    TDrawExtent e;
    e.Init(600);
    s->DrawSystem(e, 50, 20, -1);
    EXPECT_GE(Count("Polygon"), 4);  // beams
    // Every beamed eighth gets a stem from its head to the beam: the bass's eight and the treble's four.
    int stems = 0;
    for (const auto& r : qsm::gdi::GetRecords(dc))
        if (r.op == "LineTo") ++stems;
    EXPECT_GT(stems, 20);
    // A bar line of the upper staff reaches down into the room below it (ConnectBars).
    TStaffDrawInfo* top = s->GetStaffDrawInfo(0);
    EXPECT_EQ(top->ConnectBarsState & 2, 2);
}

TEST_F(LayoutTest, ViewFormatsFromAPositionAndNavigatesByTicks) {
    auto score = ImportData("layout/piano.qsmtxt");
    auto s = System(*score, 1);
    s->FormatAllFromTime(768 * 3, 500);
    s->PrepareAlignment();
    TStaffDrawInfo* top = s->GetStaffDrawInfo(0);
    // The segment starts three bar boundaries before the position.
    EXPECT_LT(static_cast<int>(top->Record(0).Time), 768 * 3);
    EXPECT_EQ(top->IndexAtX(0), static_cast<int>(top->Record(0).Time));
    int x = 0;
    for (int i = 0; i < top->GetRecordCount(); ++i) {
        if (top->Record(i).GetKind() == lkNote && !top->Record(i).IsCopy()) {
            x = top->XOfRecord(i) + 1;
            EXPECT_EQ(top->ItemAtX(x), top->Record(i).ItemIndex);
            break;
        }
        x = 0;
    }
    EXPECT_GT(x, 0);
}

}  // namespace
