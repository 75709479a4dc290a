// Filling a layout with the staves of a bit set or of a group.
#include <gtest/gtest.h>

#include <memory>

#include "core/bool_array.h"
#include "render/layout/item_painter.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/tests/layout_fixture.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "score/music_staff.h"

namespace {

class StaffSelectionTest : public qsm::test::FixedMetricsTest {
protected:
    void AddStaves(TMusicScore& score, int n) {
        for (int i = 0; i < n; ++i) {
            auto* staff = new TMusicStaff;
            staff->SetGroup(i % 2 ? "Winds" : "Strings");
            score.AddStaff(staff);
        }
    }
};

TEST_F(StaffSelectionTest, GroupsAndBitsChooseStavesInScoreOrder) {
    TMusicScore score;
    AddStaves(score, 5);
    TScoreDrawInfo layout(&score, fonts.get(), 5, 3);
    layout.AddStaff(4);
    ASSERT_TRUE(score.AddStavesOfGroupToLayout(layout, "Winds", 1 << 30));
    ASSERT_EQ(layout.GetStaffCount(), 2);
    EXPECT_EQ(layout.GetMusicStaff(0), score.GetStaff(1));
    EXPECT_EQ(layout.GetMusicStaff(1), score.GetStaff(3));
    // Group names are told apart exactly.
    EXPECT_FALSE(score.AddStavesOfGroupToLayout(layout, "winds", 1 << 30));
    EXPECT_EQ(layout.GetStaffCount(), 0);

    TQSBoolArray bits(kMaxStaves);
    bits.Set(0, 1);
    bits.Set(2, 1);
    bits.Set(4, 1);
    ASSERT_TRUE(score.AddSelectedStavesToLayout(layout, bits, 1 << 30));
    ASSERT_EQ(layout.GetStaffCount(), 3);
    EXPECT_EQ(layout.GetMusicStaff(2), score.GetStaff(4));
    // A height that the first staff already passes keeps that staff only.
    ASSERT_TRUE(score.AddSelectedStavesToLayout(layout, bits, 0));
    EXPECT_EQ(layout.GetStaffCount(), 1);
    EXPECT_FALSE(score.AddSelectedStavesToLayout(layout, TQSBoolArray(kMaxStaves), 1 << 30));
}

TEST_F(StaffSelectionTest, AFullLayoutStopsAtSixtyFourStaves) {
    TMusicScore score;
    AddStaves(score, 70);
    TScoreDrawInfo layout(&score, fonts.get(), 5, 3);
    TQSBoolArray bits(kMaxStaves);
    bits.Fill(true);
    ASSERT_TRUE(score.AddSelectedStavesToLayout(layout, bits, 1 << 30));
    EXPECT_EQ(layout.GetStaffCount(), TScoreDrawInfo::kMaxStaves);
    EXPECT_EQ(layout.GetMusicStaff(63), score.GetStaff(63));
}

}  // namespace
