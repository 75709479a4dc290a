// The score MIDI player drives the score view's play marks through the view's play-position source.
#include <cairo.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "midi/score_player.h"
#include "midi/view_play_source.h"
#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"
#include "render/view/score_view.h"
#include "score/base/color_palette.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"
#include "score/music_staff.h"

namespace {

// The pixels of the window's top-level back buffer.
std::vector<uint32_t> Pixels(HWND hwnd) {
    cairo_surface_t* s = qsm::wm::TopLevelSurface(hwnd);
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s), w = cairo_image_surface_get_width(s);
    std::vector<uint32_t> out;
    for (int y = 0; y < cairo_image_surface_get_height(s); ++y)
        for (int x = 0; x < w; ++x)
            out.push_back(*reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF);
    return out;
}

int CountDifferent(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        n += a[i] != b[i];
    return a.size() == b.size() ? n : -1;
}

TEST(ScoreMidiPlayerPositions, ThePlayerMovesTheMarksAndTheViewFollowsIt) {
    qsm::wm::ResetForTests();
    std::unique_ptr<TMusicScore> score =
        qsm::ImportTextScoreFile(std::string(QSM_TESTDATA_DIR) + "/layout/quartet.qsmtxt");
    ASSERT_TRUE(score);
    TColorPalette palette;
    {
        TWindow top(static_cast<TWindow*>(nullptr), "marks");
        top.Attr.Style = WS_POPUP | WS_VISIBLE;
        top.Attr.X = top.Attr.Y = 0;
        top.Attr.W = 640;
        top.Attr.H = 300;
        auto* view = new TStaticScoreView(score.get(), &palette, &top, 1, "", 0, 0, 640, 300);
        ASSERT_TRUE(top.Create());
        qsm::wm::PumpMessages();
        std::vector<uint32_t> plain = Pixels(*view);

        TScoreMidiPlayer player;
        player.SetScore(score.get());
        TScoreMidiPlayerPositions positions(player);
        int scoreStaff = score->FindStaffIndex(view->GetLaidOutStaff(0));
        ASSERT_GE(scoreStaff, 0);

        // The source answers what the player holds.
        ASSERT_TRUE(player.SeekTick(2 * 192 + 1));
        TStaffPlayPosition now, before;
        player.GetStaffPosition(now, scoreStaff);
        player.GetStaffLastPosition(before, scoreStaff);
        TViewPlayPosition seen, seenBefore;
        positions.GetStaffPosition(seen, scoreStaff);
        positions.GetStaffLastPosition(seenBefore, scoreStaff);
        EXPECT_EQ(seen.Index, now.Index);
        EXPECT_EQ(seen.RestBars, now.RestBars);
        EXPECT_EQ(seen.RepeatPass, now.RepeatPass);
        EXPECT_EQ(seenBefore.Index, before.Index);
        EXPECT_EQ(positions.GetStaffRestOffsetTicks(scoreStaff), player.GetStaffRestOffsetTicks(scoreStaff));
        ASSERT_GT(now.Index, 0);

        // A few beats in: marks stand on the playing items, the view stays where it is.
        view->FollowPlayPosition(positions);
        std::vector<uint32_t> marked = Pixels(*view);
        EXPECT_GT(CountDifferent(plain, marked), 20);
        EXPECT_EQ(view->GetCurrentIndex(), 0);

        // Further on, past the window's right edge: the view scrolls to the playing item.
        DWORD far = 0;
        for (DWORD tick = 192; tick < player.GetLargestTick() + 20000; tick += 192) {
            player.SeekTick(tick);
            TStaffPlayPosition p;
            player.GetStaffPosition(p, scoreStaff);
            if (p.Index < 0) break;
            TStaffDrawInfo* info = view->GetLaidOutDrawInfo(0);
            if (!info->HasItemRecord(p.Index) || view->GetXOrigin() + info->XOfItem(p.Index) > 640) {
                far = tick;
                break;
            }
        }
        ASSERT_GT(far, 0u) << "the score reaches past the window";
        view->FollowPlayPosition(positions);
        qsm::wm::PumpMessages();
        EXPECT_GT(view->GetCurrentIndex(), 0);
        player.GetStaffPosition(now, scoreStaff);
        int x = view->GetXOrigin() + view->GetLaidOutDrawInfo(0)->XOfItem(now.Index);
        EXPECT_GE(x, 0);
        EXPECT_LT(x, 640);

        // Rewound, the player stands before the first item again and the view returns to the start.
        player.Rewind();
        view->FollowPlayPosition(positions);
        view->SendMessage(WM_KEYDOWN, VK_HOME, 1);
        qsm::wm::PumpMessages();
        view->Invalidate(true);
        view->UpdateWindow();
        EXPECT_EQ(CountDifferent(plain, Pixels(*view)), 0);
    }
    qsm::wm::ResetForTests();
}

}  // namespace
