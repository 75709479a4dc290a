// Rendering a score of many staves with the staves walked side by side on several threads: every event, the
// overflow point, the play length and each staff's final position are those of a walk on one thread.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "core/parallel.h"
#include "midi/score_player.h"
#include "score/base/midi_file_buf.h"
#include "score/music_score.h"
#include "score/tests/walk_fixture.h"

using namespace qsm::test;

namespace {

// A staff of varied bars: notes tied over bar lines, chords, long notes whose note-offs fall in later
// slices, tempo and dynamic changes, a local repeat; staves of different lengths end at different slices.
TMusicStaff* VariedStaff(int index, int bars, std::mt19937& rng) {
    auto* staff = new TMusicStaff;
    staff->Channel = index % 16;
    Append(*staff, new TTimeSignatureData(4, 2));
    for (int b = 0; b < bars; ++b) {
        const int pos = static_cast<int>(rng() % 9) - 4;
        switch (rng() % 6) {
            case 0:
                Append(*staff, Note(pos, dcWhole, Attr({naTie})));
                break;
            case 1:
                Append(*staff, Chord({pos - 2, pos, pos + 2}, dcHalf, Attr({naStaccato})));
                Append(*staff, Note(pos, dcHalf, Attr({naAccent})));
                break;
            case 2:
                Append(*staff, new TTempoData(60 + static_cast<int>(rng() % 120)));
                for (int i = 0; i < 8; ++i)
                    Append(*staff, Note(pos + i % 3, dcEighth));
                break;
            case 3:
                Append(*staff, new TDynamicLevelData(static_cast<int>(rng() % 8)));
                Append(*staff, Note(pos, dcWhole));
                break;
            case 4:
                Append(*staff, new TBarLineData(bsLocalRepeatOpen));
                Append(*staff, Note(pos, dcHalf, Attr({naSlur})));
                Append(*staff, Note(pos + 1, dcHalf));
                Append(*staff, new TBarLineData(bsLocalRepeatClose, 2));
                continue;
            default:
                Append(*staff, Note(pos, dcWhole));
                break;
        }
        Append(*staff, new TBarLineData());
    }
    return staff;
}

struct TRendered {
    std::vector<TMidiEvent> Events;
    bool Overflow = false;
    DWORD PlayLength = 0;
    DWORD CurrentTick = 0;
    std::vector<TStaffPlayPosition> Positions;
    std::vector<DWORD> Ticks;
};

// Renders with the given number of threads into a buffer of blocks (0: one that grows).
TRendered Render(TMusicScore& score, unsigned threads, int blocks) {
    qsm::SetParallelThreads(threads);
    TScoreMidiPlayer player;
    player.SetScore(&score);
    TMidiFileBuf buffer(blocks > 0 ? 0 : 16);
    if (blocks > 0) buffer.SetBlockCount(blocks);
    player.RenderToBuffer(buffer);
    TRendered out;
    for (int i = 0; i < buffer.GetEventCount(); ++i)
        out.Events.push_back(*buffer.GetEvent(i));
    out.Overflow = buffer.HasOverflowed();
    out.PlayLength = player.GetPlayLengthMs();
    out.CurrentTick = player.GetCurrentTick();
    for (int s = 0; s < score.GetStaffCount(); ++s) {
        TStaffPlayPosition position;
        player.GetStaffPosition(position, s);
        out.Positions.push_back(position);
        out.Ticks.push_back(player.GetStaffCursor(s)->GetState().GetTick());
    }
    return out;
}

void ExpectSame(const TRendered& a, const TRendered& b) {
    ASSERT_EQ(a.Events.size(), b.Events.size());
    for (size_t i = 0; i < a.Events.size(); ++i)
        ASSERT_EQ(std::memcmp(&a.Events[i], &b.Events[i], sizeof(TMidiEvent)), 0) << "event " << i;
    EXPECT_EQ(a.Overflow, b.Overflow);
    EXPECT_EQ(a.PlayLength, b.PlayLength);
    EXPECT_EQ(a.CurrentTick, b.CurrentTick);
    EXPECT_EQ(a.Positions, b.Positions);
    EXPECT_EQ(a.Ticks, b.Ticks);
}

class ScorePlayerThreads : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 rng(5);
        // Long enough for several windows of slices; one muted staff, one that ends early.
        for (int s = 0; s < 24; ++s)
            score.AddStaff(VariedStaff(s, s == 3 ? 40 : 700 + s, rng));
        score.GetStaff(5)->Muted = 1;
    }
    void TearDown() override { qsm::SetParallelThreads(threads); }

    TMusicScore score;
    unsigned threads = qsm::GetParallelThreads();
};

TEST_F(ScorePlayerThreads, SameBufferAsOneThread) {
    const TRendered one = Render(score, 1, 0);
    ASSERT_FALSE(one.Overflow);
    ASSERT_GT(one.Events.size(), 20000u);
    ExpectSame(Render(score, 6, 0), one);
}

// A buffer that overflows after the first windows of slices: the same events are lost and every staff stops
// where it stops on one thread.
TEST_F(ScorePlayerThreads, SameOverflowAsOneThread) {
    const int blocks = 40;
    const TRendered one = Render(score, 1, blocks);
    ASSERT_TRUE(one.Overflow);
    ASSERT_EQ(one.Events.size(), static_cast<size_t>(blocks * MIDI_BLOCK_EVENTS));
    ASSERT_GT(one.CurrentTick, 1024u * 384u);
    ExpectSame(Render(score, 6, blocks), one);
}

}  // namespace
