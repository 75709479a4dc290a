// The score MIDI player: rendering whole scores into a song buffer and following the play position.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "midi/score_player.h"
#include "score/base/midi_file_buf.h"
#include "score/expression_items.h"
#include "score/music_score.h"
#include "score/structure_items.h"
#include "score/tests/walk_fixture.h"

using namespace qsm::test;
using Ev = std::vector<std::string>;

namespace {

constexpr int B4 = 0;   // MIDI 71
constexpr int C5 = -1;  // 72
constexpr int F4 = 3;   // 65

// A staff of the given number of 4/4 bars, one whole note each.
TMusicStaff* BarsStaff(int bars, int pos = B4) {
    auto* staff = new TMusicStaff;
    Append(*staff, new TTimeSignatureData(4, 2));
    for (int i = 0; i < bars; ++i) {
        Append(*staff, Note(pos, dcWhole));
        if (i + 1 < bars) Append(*staff, new TBarLineData());
    }
    return staff;
}

std::vector<std::string> Matching(const TMidiFileBuf& buffer, const std::string& what) {
    std::vector<std::string> out;
    for (const std::string& e : Events(buffer)) {
        if (e.find(what) != std::string::npos) out.push_back(e);
    }
    return out;
}

const TMidiEvent* LastEvent(const TMidiFileBuf& buffer) {
    return buffer.GetEvent(buffer.GetEventCount() - 1);
}

// An item that sends the walk back to itself without time passing, as only a damaged file does.
class LoopingItem : public TNotatedItem {
public:
    LoopingItem() : TNotatedItem(ntStaffSpacer) {}
    int Measure(TStaffDrawInfo&, TLayoutRecord&) override { return 0; }
    void Draw(TStaffDrawInfo&, TLayoutRecord&, int) override {}
    int GetNextPlayIndex(TStaffPlayState&, TMusicStaff&, int index) override { return index; }
};

TEST(ScoreMidiPlayer, RendersUntilTheLongestStaffEndsAndMarksTheEnd) {
    TMusicScore score;
    score.AddStaff(BarsStaff(10));
    TMusicStaff* second = BarsStaff(12, C5);
    second->Channel = 1;
    score.AddStaff(second);
    TScoreMidiPlayer player;
    player.SetScore(&score);
    TMidiFileBuf buffer;
    buffer.AddTempo(0, 60);  // cleared by the render
    player.RenderToBuffer(buffer);

    EXPECT_EQ(Events(buffer).front(), "0 tempo 120");
    EXPECT_EQ(Matching(buffer, "tempo").size(), 1u);
    EXPECT_EQ(Matching(buffer, "on 71").size(), 10u);
    EXPECT_EQ(Matching(buffer, "on 72").size(), 12u);
    const TMidiEvent* end = LastEvent(buffer);
    EXPECT_EQ(end->GetKind(), MIDI_KIND_PAUSE);
    EXPECT_EQ(end->Tick, 12u * 768u);
    EXPECT_EQ(player.GetCurrentTick(), 12u * 768u);
    EXPECT_EQ(player.GetLargestTick(), 12u * 768u);
    EXPECT_EQ(player.GetPlayLengthMs(), 24000u);  // 48 quarters at 120 bpm
    EXPECT_EQ(player.GetStaffIndex(0), -1);
    EXPECT_EQ(player.GetStaffIndex(1), -1);

    // Events stay in play order although the staves were rendered slice by slice, staff after staff.
    for (int i = 1; i < buffer.GetEventCount(); ++i)
        ASSERT_FALSE(TMidiEvent::GoesAfter(*buffer.GetEvent(i - 1), *buffer.GetEvent(i))) << i;

    // Rendering again gives the same performance.
    TMidiFileBuf again;
    player.RenderToBuffer(again);
    EXPECT_EQ(Events(again), Events(buffer));

    TScoreMidiPlayer fromFile;
    fromFile.SetPlayLengthFromBuffer(buffer);
    EXPECT_EQ(fromFile.GetPlayLengthMs(), 24000u);
}

TEST(ScoreMidiPlayer, StaffSetUpSendsPatchVolumeAndPanOnItsChannelAndPort) {
    TMusicScore score;
    TMusicStaff* staff = BarsStaff(1);
    staff->Channel = 3;
    staff->Device = 9;
    staff->Instrument.SetBank(1, 2);
    staff->Instrument.SetPatch(40);
    staff->Volume = 300;  // beyond a data byte: sent as the loudest value
    staff->StereoPan = 20;
    score.AddStaff(staff);
    TMusicStaff* quiet = BarsStaff(1);
    quiet->Volume = -1;
    quiet->StereoPan = -1;
    score.AddStaff(quiet);
    TScoreMidiPlayer player;
    player.SetScore(&score);
    TMidiFileBuf buffer;
    player.RenderToBuffer(buffer);

    std::vector<DWORD> atZero;
    for (int i = 0; i < buffer.GetEventCount(); ++i) {
        const TMidiEvent* e = buffer.GetEvent(i);
        if (e->Tick == 0 && e->IsShortMsg() && e->GetCommand() != MIDI_CMD_NOTEON)
            atZero.push_back(e->GetMessage());
    }
    std::sort(atZero.begin(), atZero.end());
    std::vector<DWORD> expected = {0x090100B3, 0x090220B3, 0x090028C3, 0x097F07B3, 0x09140AB3};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(atZero, expected);
}

TEST(ScoreMidiPlayer, MutedStaffKeepsItsTempoAndControllersButSoundsNoNote) {
    TMusicScore score;
    auto* muted = new TMusicStaff;
    muted->Muted = 1;
    muted->Instrument.SetPatch(5);
    Append(*muted, new TTempoData(90, tbQuarter));
    Append(*muted, Note(B4));
    auto* pedal = new TSustainPedal(1);
    Append(*muted, pedal);
    Append(*muted, Note(B4));
    score.AddStaff(muted);
    TScoreMidiPlayer player;
    player.SetScore(&score);
    TMidiFileBuf buffer;
    player.RenderToBuffer(buffer);
    EXPECT_EQ(Events(buffer),
              (Ev{"0 tempo 120", "0 cc 7 127", "0 cc 10 64", "0 tempo 90", "192 cc 64 127", "384 pause 0"}));
}

TEST(ScoreMidiPlayer, StaffMutedDuringATieReleasesTheTiedNote) {
    TMusicStaff staff;
    Append(staff, Note(B4, dcQuarter, Attr({naTie})));
    auto* end = Note(B4);
    end->SetTieContinued(true);
    Append(staff, end);
    Append(staff, Note(C5));
    TStaffMidiPlayerIndex cursor;
    cursor.SetStaff(&staff);
    TMidiFileBuf buffer;
    EXPECT_TRUE(cursor.PlayUntil(buffer, 100));
    staff.Muted = 1;
    EXPECT_FALSE(cursor.PlayUntil(buffer, 0xFFFFFFFFu));
    EXPECT_EQ(Events(buffer), (Ev{"0 on 71 110", "192 off 71"}));
}

TEST(ScoreMidiPlayer, HairpinBetweenDynamicsStepsTheVolumeAndRampsTheVelocity) {
    TMusicScore score;
    auto* staff = new TMusicStaff;
    auto* soft = new TDynamicLevelData(dlMP);
    soft->SetVelocity(60);
    soft->SetVolume(64);
    soft->SetVolumeGiven(true);
    Append(*staff, soft);
    Append(*staff, Note(B4));
    Append(*staff, new TDynamicVariance(dvCrescendo));
    for (int i = 0; i < 10; ++i)
        Append(*staff, Note(B4));  // 10 x 192 = 1920 ticks
    auto* loud = new TDynamicLevelData(dlF);
    loud->SetVelocity(100);
    loud->SetVolume(80);
    loud->SetVolumeGiven(true);
    Append(*staff, loud);
    Append(*staff, Note(B4));
    score.AddStaff(staff);
    TScoreMidiPlayer player;
    player.SetScore(&score);
    TMidiFileBuf buffer;
    player.RenderToBuffer(buffer);

    Ev expected = {"0 cc 7 127", "0 cc 7 64"};
    for (int k = 1; k <= 15; ++k)
        expected.push_back(std::to_string(192 + 120 * k) + " cc 7 " + std::to_string(64 + k));
    expected.push_back("2112 cc 7 80");
    EXPECT_EQ(Matching(buffer, "cc 7"), expected);

    // The notes under the hairpin grow from 60 toward 100; the one after the louder dynamic plays at 100.
    std::vector<int> velocities;
    for (int i = 0; i < buffer.GetEventCount(); ++i) {
        const TMidiEvent* e = buffer.GetEvent(i);
        if (e->IsSoundingNote()) velocities.push_back(e->Data2);
    }
    ASSERT_EQ(velocities.size(), 12u);
    EXPECT_EQ(velocities[0], 60);
    EXPECT_EQ(velocities[1], 60);
    for (size_t i = 2; i < 11; ++i)
        EXPECT_GT(velocities[i], velocities[i - 1]) << i;
    EXPECT_LT(velocities[10], 100);
    EXPECT_EQ(velocities[11], 100);
}

TEST(ScoreMidiPlayer, TiedAccidentalAcrossABarLineIsReleasedAtItsOwnPitch) {
    TMusicScore score;
    auto* staff = new TMusicStaff;
    Append(*staff, new TTimeSignatureData(2, 2));
    Append(*staff, Note(F4, dcHalf, Attr({naTie}), acSharp));
    Append(*staff, new TBarLineData());
    Append(*staff, Note(F4, dcHalf));
    Append(*staff, Note(F4, dcHalf));
    staff->NeedsFormat = 1;
    score.AddStaff(staff);
    TScoreMidiPlayer player;
    player.SetScore(&score);
    TMidiFileBuf buffer;
    player.RenderToBuffer(buffer);
    // The sharp holds through the tie and the release comes at the sharp's pitch: nothing hangs.
    const Ev events = Matching(buffer, " o");
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0], "0 on 66 110");
    EXPECT_EQ(events[1], "720 off 66");
    const std::string key = events[2].substr(7, 2);
    EXPECT_EQ(events[3], "1104 off " + key);
}

TEST(ScoreMidiPlayer, RenderWithoutClearKeepsTheCallersKindMask) {
    TMusicScore score;
    auto* staff = BarsStaff(2);
    staff->InsertItem(new TKeyData(0, 0), 1);
    score.AddStaff(staff);
    TScoreMidiPlayer player;
    player.SetScore(&score);

    TMidiFileBuf all;
    player.RenderToBuffer(all);
    EXPECT_FALSE(Matching(all, "time").empty());

    TMidiFileBuf masked;
    masked.SetKindMask((1u << MIDI_KIND_TIMESIG) | (1u << MIDI_KIND_KEYSIG) | (1u << MIDI_KIND_PAUSE));
    player.RenderWithoutClear(masked);
    EXPECT_TRUE(Matching(masked, "time").empty());
    EXPECT_TRUE(Matching(masked, "key").empty());
    EXPECT_TRUE(Matching(masked, "pause").empty());
    EXPECT_EQ(Matching(masked, "on 71").size(), 2u);
    // Without the end pause the song ends with the last note's release.
    EXPECT_EQ(player.GetPlayLengthMs(), 3875u);
}

TEST(ScoreMidiPlayer, RepeatsPlayInOrderAcrossSlices) {
    TMusicScore score;
    auto* staff = new TMusicStaff;
    Append(*staff, Note(C5, dcWhole));
    Append(*staff, new TBarLineData(bsLocalRepeatOpen));
    Append(*staff, Note(B4, dcWhole));
    Append(*staff, new TBarLineData(bsLocalRepeatClose, 3));
    Append(*staff, Note(F4, dcWhole));
    score.AddStaff(staff);
    TScoreMidiPlayer player;
    player.SetScore(&score);
    TMidiFileBuf buffer;
    player.RenderToBuffer(buffer);
    EXPECT_EQ(Matching(buffer, " on "),
              (Ev{"0 on 72 110", "768 on 71 110", "1536 on 71 110", "2304 on 71 110", "3072 on 65 110"}));
    EXPECT_EQ(LastEvent(buffer)->Tick, 3840u);
}

TEST(ScoreMidiPlayer, PlayUpToStopsAtTheTarget) {
    TMusicScore score;
    score.AddStaff(BarsStaff(8));
    TScoreMidiPlayer player;
    player.SetScore(&score);
    TMidiFileBuf buffer;
    player.PlayUpTo(buffer, 2000);
    EXPECT_EQ(player.GetCurrentTick(), 2000u);
    EXPECT_EQ(Matching(buffer, " on "), (Ev{"0 on 71 110", "768 on 71 110", "1536 on 71 110"}));
    EXPECT_TRUE(player.GetStaffCursor(0)->HasItemsLeft());
}

TEST(ScoreMidiPlayer, PositionsInsideALongRestKeepTheirBar) {
    // Bars past 127 (or 255) inside a rest are told apart, so a play mark can follow them.
    TMusicScore score;
    auto* staff = new TMusicStaff;
    Append(*staff, new TTimeSignatureData(4, 2));
    auto* rest = new TMultiMeasureRest(400);
    rest->SetBarLength(4, 2);
    const int restIndex = Append(*staff, rest);
    score.AddStaff(staff);
    TScoreMidiPlayer player;
    player.SetScore(&score);
    EXPECT_TRUE(player.SeekTick(300 * 768 + 5));
    TStaffPlayPosition pos;
    player.GetStaffPosition(pos, 0);
    EXPECT_EQ(pos.Index, restIndex);
    EXPECT_EQ(pos.RestBars, 300);
    EXPECT_EQ(player.GetStaffRestOffsetTicks(0), 300u * 768u);
    EXPECT_TRUE(player.SeekTick(301 * 768));
    player.GetStaffPosition(pos, 0);
    EXPECT_EQ(pos.RestBars, 301);
}

TEST(ScoreMidiPlayer, SeekFollowsItemsRestBarsAndRepeatPasses) {
    TMusicScore score;
    auto* staff = new TMusicStaff;
    Append(*staff, new TTimeSignatureData(4, 2));
    const int first = Append(*staff, Note(B4, dcWhole));
    Append(*staff, new TBarLineData());
    auto* rest = new TMultiMeasureRest(4);
    rest->SetBarLength(4, 2);
    const int restIndex = Append(*staff, rest);
    Append(*staff, new TBarLineData(bsLocalRepeatOpen));
    const int repeated = Append(*staff, Note(B4, dcWhole));
    Append(*staff, new TBarLineData(bsLocalRepeatClose, 2));
    score.AddStaff(staff);
    TScoreMidiPlayer player;
    player.SetScore(&score);

    EXPECT_TRUE(player.SeekTick(100));
    EXPECT_EQ(player.GetStaffIndex(0), first);
    EXPECT_FALSE(player.SeekTick(700));  // same note

    // Into the third bar of the rest: bars passed and their ticks.
    EXPECT_TRUE(player.SeekTick(768 + 2 * 768 + 10));
    TStaffPlayPosition pos;
    player.GetStaffPosition(pos, 0);
    EXPECT_EQ(pos.Index, restIndex);
    EXPECT_EQ(pos.RestBars, 2);
    EXPECT_EQ(player.GetStaffRestOffsetTicks(0), 1536u);
    EXPECT_EQ(player.GetStaffCursor(0)->GetPositionTick(), 768u + 1536u);
    TStaffPlayPosition last;
    player.GetStaffLastPosition(last, 0);
    EXPECT_EQ(last.Index, first);
    EXPECT_TRUE(player.SeekTick(768 + 3 * 768));
    player.GetStaffPosition(pos, 0);
    EXPECT_EQ(pos.RestBars, 3);

    // The repeated bar: the same item, the pass tells the two apart.
    EXPECT_TRUE(player.SeekTick(5 * 768 + 1));
    player.GetStaffPosition(pos, 0);
    EXPECT_EQ(pos.Index, repeated);
    const int firstPass = pos.RepeatPass;
    EXPECT_TRUE(player.SeekTick(6 * 768 + 1));
    player.GetStaffPosition(pos, 0);
    EXPECT_EQ(pos.Index, repeated);
    EXPECT_NE(pos.RepeatPass, firstPass);

    // Past the end, and back: the staff starts over.
    EXPECT_TRUE(player.SeekTick(100000));
    EXPECT_EQ(player.GetStaffIndex(0), -1);
    EXPECT_FALSE(player.SeekTick(200000));
    EXPECT_TRUE(player.SeekTickWithRestart(5));
    EXPECT_EQ(player.GetStaffIndex(0), first);
    EXPECT_EQ(player.GetStaffIndex(7), -1);  // no such staff
    EXPECT_EQ(player.GetStaffRestOffsetTicks(-1), 0u);
}

TEST(ScoreMidiPlayer, StepNoteWalksFromNoteToNote) {
    TMusicStaff staff;
    Append(staff, new TTimeSignatureData(4, 2));
    const int a = Append(staff, Note(B4));
    Append(staff, new TSustainPedal(1));
    const int b = Append(staff, Note(C5));
    TStaffMidiPlayerIndex cursor;
    cursor.SetStaff(&staff);
    ASSERT_TRUE(cursor.StepNote());
    EXPECT_EQ(cursor.GetIndex(), a);
    ASSERT_TRUE(cursor.StepNote());
    EXPECT_EQ(cursor.GetIndex(), b);
    EXPECT_EQ(cursor.GetLastPosition().Index, a);
    EXPECT_FALSE(cursor.StepNote());
    EXPECT_FALSE(cursor.HasItemsLeft());

    TMidiFileBuf buffer;
    cursor.Restart();
    cursor.PlayAll(buffer);
    EXPECT_EQ(Matching(buffer, " on "), (Ev{"0 on 71 110", "192 on 72 110"}));
}

// An item that sends the walk back to the start, time passing on the way.
class JumpToStart : public TNotatedItem {
public:
    JumpToStart() : TNotatedItem(ntStaffSpacer) {}
    int Measure(TStaffDrawInfo&, TLayoutRecord&) override { return 0; }
    void Draw(TStaffDrawInfo&, TLayoutRecord&, int) override {}
    int GetNextPlayIndex(TStaffPlayState&, TMusicStaff&, int) override { return 0; }
};

TEST(ScoreMidiPlayer, StaffThatLoopsWithTimeEndsAtItsStepCap) {
    TMusicStaff staff;
    Append(staff, Note(B4));
    Append(staff, new JumpToStart);
    TStaffMidiPlayerIndex cursor;
    cursor.SetStaff(&staff);
    TMidiFileBuf buffer;
    cursor.PlayAll(buffer);
    EXPECT_FALSE(cursor.HasItemsLeft());
    const size_t notes = Matching(buffer, " on 71").size();
    EXPECT_GT(notes, 100u);
    EXPECT_LT(notes, 2048u * 4u);
}

TEST(ScoreMidiPlayer, StaffThatLoopsWithoutTimeEnds) {
    TMusicScore score;
    auto* staff = new TMusicStaff;
    Append(*staff, Note(B4));
    Append(*staff, new LoopingItem);
    Append(*staff, Note(C5));
    score.AddStaff(staff);
    score.AddStaff(BarsStaff(2));
    TScoreMidiPlayer player;
    player.SetScore(&score);
    TMidiFileBuf buffer;
    player.RenderToBuffer(buffer);
    EXPECT_EQ(Matching(buffer, " on "), (Ev{"0 on 71 110", "0 on 71 110", "768 on 71 110"}));
    EXPECT_EQ(LastEvent(buffer)->Tick, 1536u);

    TStaffMidiPlayerIndex cursor;
    cursor.SetStaff(staff);
    EXPECT_TRUE(cursor.SeekTick(100));
    EXPECT_TRUE(cursor.SeekTick(300));
    EXPECT_FALSE(cursor.HasItemsLeft());
}

TEST(ScoreMidiPlayer, EmptyAndReplacedScores) {
    TScoreMidiPlayer player;
    TMidiFileBuf buffer;
    player.RenderToBuffer(buffer);
    EXPECT_EQ(Events(buffer), (Ev{"0 tempo 120", "0 pause 0"}));
    EXPECT_FALSE(player.SeekTick(10));

    TMusicScore big;
    for (int i = 0; i < 3; ++i)
        big.AddStaff(BarsStaff(1));
    player.SetScore(&big);
    player.RenderToBuffer(buffer);
    EXPECT_EQ(Matching(buffer, " on ").size(), 3u);
    TMusicScore small;
    small.AddStaff(BarsStaff(2));
    player.SetScore(&small);
    player.RenderToBuffer(buffer);
    EXPECT_EQ(Matching(buffer, " on ").size(), 2u);
    EXPECT_EQ(player.GetStaffIndex(1), -1);
    player.Rewind();
    EXPECT_EQ(player.GetStaffIndex(0), 0);
    EXPECT_EQ(player.GetCurrentTick(), 0u);
}

}  // namespace
