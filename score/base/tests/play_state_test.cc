#include "score/base/play_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(StaffPlayStateTest, ResetKeepsChannelAndPort) {
    TStaffPlayState s;
    s.SetChannel(9);
    s.SetPort(12);
    s.SetTick(500);
    s.SetVelocity(20);
    s.SetAuditWalk();
    s.SetAuditMark();
    s.SetKeySignature(0, 0x24, 5);
    s.SetAccidental(1, 1);
    s.Reset();
    EXPECT_EQ(s.GetChannel(), 9);
    EXPECT_EQ(s.GetPort(), 12);
    EXPECT_EQ(s.GetTick(), 0u);
    EXPECT_EQ(s.GetVelocity(), 110);
    EXPECT_EQ(s.GetBeatsPerBar(), 4);
    EXPECT_EQ(s.GetBeatUnitCode(), 2);
    EXPECT_EQ(s.GetLocalRepeatPass(), 1);
    EXPECT_EQ(s.GetMasterRepeatPass(), 1);
    EXPECT_EQ(s.GetMasterRepeatCount(), 2);
    EXPECT_EQ(s.GetKeyTonic(), 2);
    EXPECT_EQ(s.GetKeySharpMask(), 0);
    EXPECT_EQ(s.GetFlatMask(), 0);
    EXPECT_FALSE(s.IsNotationWalk());
    EXPECT_FALSE(s.GetAuditMark());
    EXPECT_TRUE(s.IsNotSkipping());
    EXPECT_FALSE(s.IsJumpTaken());
    EXPECT_FALSE(s.IsJumpTargetReached());

    s.SetChannel(17);
    s.SetPort(31);
    EXPECT_EQ(s.GetChannel(), 1);
    EXPECT_EQ(s.GetPort(), 15);
    TStaffPlayState copy = s;
    EXPECT_EQ(copy.GetPort(), 15);
}

TEST(StaffPlayStateTest, VelocityRamp) {
    TStaffPlayState s;
    s.SetVelocity(60);
    s.SetVelocityRamp(60, 100, 384);
    s.AdvanceTick(192);
    EXPECT_EQ(s.GetVelocity(), 80);
    EXPECT_EQ(s.GetVelocityRampTicks(), 192);
    EXPECT_EQ(s.GetTick(), 192u);
    s.AdvanceTick(1000);  // the ramp ends at its target
    EXPECT_EQ(s.GetVelocity(), 100);
    EXPECT_EQ(s.GetVelocityRampTicks(), 0);
    EXPECT_EQ(s.GetTick(), 1192u);

    s.SetVelocityRamp(100, 20, 70000);
    EXPECT_EQ(s.GetVelocityRampTicks(), 65534);
    s.SetVelocityRamp(100, 20, 65535);
    EXPECT_EQ(s.GetVelocityRampTicks(), 65534);
    s.SetVelocityRamp(100, 228, 100);  // target 228 & 127 = 100 = current: no ramp
    EXPECT_EQ(s.GetVelocityRampTarget(), 100);
    EXPECT_EQ(s.GetVelocityRampTicks(), 0);

    s.SetVelocityRamp(100, 40, 300);
    EXPECT_FALSE(s.IsDynamicSet());
    s.StopVelocityRamp();
    EXPECT_EQ(s.GetVelocityRampTicks(), 0);
    EXPECT_TRUE(s.IsDynamicSet());
    EXPECT_EQ(s.GetBeatsPerBar(), 4);  // the flag shares its byte with the beats
    s.ClearDynamicSet();
    EXPECT_FALSE(s.IsDynamicSet());

    // Falling ramps truncate toward zero.
    s.SetVelocity(100);
    s.SetVelocityRamp(100, 90, 300);
    s.AdvanceTick(100);
    EXPECT_EQ(s.GetVelocity(), 97);
}

TEST(StaffPlayStateTest, TimeSignatureAndClefPacking) {
    TStaffPlayState s;
    s.SetTimeSignature(6, 3);
    EXPECT_EQ(s.GetBarTicks(), 576u);
    s.SetTimeSignature(1, 2);
    EXPECT_EQ(s.GetBeatsPerBar(), 1);
    EXPECT_EQ(s.GetBarTicks(), 192u);
    s.SetTimeSignature(0, 2);
    EXPECT_EQ(s.GetBeatsPerBar(), 1);
    s.SetTimeSignature(128, 0);
    EXPECT_EQ(s.GetBeatsPerBar(), 128);
    EXPECT_EQ(s.GetBarTicks(), 128u * 768);
    s.SetTimeSignature(129, 9);  // 7 bits of beats minus one, 3 bits of unit
    EXPECT_EQ(s.GetBeatsPerBar(), 1);
    EXPECT_EQ(s.GetBeatUnitCode(), 1);

    s.SetAuditMark();
    s.SetKeySignature(0, 0, -3);
    s.SetClef(3, 2);
    s.IncNoteCounter();
    EXPECT_EQ(s.GetClef(), 3);
    EXPECT_EQ(s.GetOctaveShift(), 2);
    EXPECT_EQ(s.GetKeyTonic(), -3);
    EXPECT_TRUE(s.GetAuditMark());
    EXPECT_EQ(s.GetBeatUnitCode(), 1);
    EXPECT_EQ(s.GetNoteCounter(), 1);
    for (int i = 0; i < 15; ++i)
        s.IncNoteCounter();
    EXPECT_EQ(s.GetNoteCounter(), 0);
    EXPECT_EQ(s.GetClef(), 3);
    s.IncNoteCounter();
    s.ClearNoteCounter();
    EXPECT_EQ(s.GetNoteCounter(), 0);
    EXPECT_EQ(s.GetClef(), 3);
}

TEST(StaffPlayStateTest, AccidentalsInForce) {
    TStaffPlayState s;
    // G major: F sharp (letter 5).
    s.SetKeySignature(0, 1 << 5, 6);
    EXPECT_EQ(s.GetAccidental(5), 0);
    EXPECT_EQ(s.GetKeyAccidental(5), 0);
    EXPECT_EQ(s.GetKeyIndex(), 1);
    s.SetAccidental(5, 2);  // natural until the bar line
    EXPECT_EQ(s.GetAccidental(5), 2);
    EXPECT_EQ(s.GetKeyAccidental(5), 0);
    s.SetAccidental(2, 3);
    s.SetAccidental(3, 4);
    s.SetAccidental(0, 1);
    EXPECT_EQ(s.GetAccidental(2), 3);
    EXPECT_TRUE(s.HasDoubleSharp(2));
    EXPECT_EQ(s.GetAccidental(3), 4);
    EXPECT_TRUE(s.HasDoubleFlat(3));
    EXPECT_EQ(s.GetAccidental(0), 1);
    s.SetAccidental(0, 0);  // a new accidental replaces the old
    EXPECT_EQ(s.GetAccidental(0), 0);
    EXPECT_FALSE(s.HasFlat(0));
    s.ResetAccidentals();
    EXPECT_EQ(s.GetAccidental(5), 0);
    EXPECT_EQ(s.GetAccidental(2), 2);
    EXPECT_EQ(s.GetAccidental(3), 2);
    EXPECT_EQ(s.GetAccidental(0), 2);
    s.SetAccidental(99, 0);  // no such letter: nothing
    EXPECT_EQ(s.GetSharpMask(), 1 << 5);

    // Key index from the masks: sharps counted F C G D A E B, flats B E A D G C F, each up to a gap.
    s.SetKeySignature(0, (1 << 5) | (1 << 2) | (1 << 6) | (1 << 3), 4);
    EXPECT_EQ(s.GetKeyIndex(), 4);
    s.SetKeySignature((1 << 1) | (1 << 4) | (1 << 0), (1 << 5) | (1 << 2), 0);
    EXPECT_EQ(s.GetKeyIndex(), -3);
    s.SetKeySignature(0, (1 << 2), 0);  // C sharp alone: no F sharp before it
    EXPECT_EQ(s.GetKeyIndex(), 0);
    s.SetKeySignature(0x7F, 0, 2);
    EXPECT_EQ(s.GetKeyIndex(), -7);
}

TEST(StaffPlayStateTest, RepeatFlowWalkAndGroupBits) {
    TStaffPlayState s;
    s.SetMasterRepeatPass(127);
    s.IncMasterRepeatPass();
    EXPECT_EQ(s.GetMasterRepeatPass(), -128);
    s.SetLocalRepeatPass(32767);
    s.IncLocalRepeatPass();
    EXPECT_EQ(s.GetLocalRepeatPass(), -32768);
    s.SetLocalRepeatPass(3);
    s.SetMasterRepeatPass(2);
    EXPECT_EQ(s.GetRepeatPass(), 3);
    s.SetMasterRepeatCount(300);
    EXPECT_EQ(s.GetMasterRepeatCount(), 44);

    s.SetPerformanceStyle(22);
    s.BeginJumpSkip();
    EXPECT_FALSE(s.IsNotSkipping());
    EXPECT_TRUE(s.IsJumpTaken());
    EXPECT_EQ(s.GetPerformanceStyle(), 22);
    s.EndJumpSkip();
    EXPECT_TRUE(s.IsNotSkipping());
    EXPECT_TRUE(s.IsJumpTaken());
    EXPECT_TRUE(s.IsJumpTargetReached());
    s.SetVelocityRamp(10, 50, 10);
    EXPECT_TRUE(s.IsJumpTargetReached());  // shares its byte with the ramp target
    s.SetPerformanceStyle(-1);
    EXPECT_EQ(s.GetPerformanceStyle(), -1);
    s.SetPerformanceStyle(40);
    EXPECT_EQ(s.GetPerformanceStyle(), -24);
    EXPECT_TRUE(s.IsJumpTaken());
    s.BeginJumpSearch();
    EXPECT_FALSE(s.IsNotSkipping());

    s.SetClef(0, 1);
    s.BeginNoteGroup(1);
    EXPECT_TRUE(s.InNoteGroup());
    EXPECT_TRUE(s.IsNoteGroupStart());
    s.BeginNoteGroup(0);
    EXPECT_TRUE(s.InNoteGroup());
    EXPECT_FALSE(s.IsNoteGroupStart());
    s.SetTransposeWalk();
    EXPECT_TRUE(s.IsNotationWalk());
    EXPECT_TRUE(s.IsTransposeWalk());
    EXPECT_TRUE(s.InNoteGroup());
    EXPECT_EQ(s.GetOctaveShift(), 1);
    s.EndNoteGroup();
    EXPECT_FALSE(s.InNoteGroup());
    EXPECT_TRUE(s.IsTransposeWalk());
    s.SetAuditWalk();
    EXPECT_FALSE(s.IsTransposeWalk());
    EXPECT_TRUE(s.IsNotationWalk());

    s.SetTranspose(-14);
    EXPECT_EQ(s.GetTranspose(), -14);
}

TEST(PendingTieListTest, AddAndTake) {
    TPendingTieList list;
    for (int i = 0; i < TPendingTieList::MaxTies; ++i)
        ASSERT_TRUE(list.Add(i % 6 - 3, i % 5, i % 2 == 0));
    EXPECT_FALSE(list.Add(0, 0, false));
    EXPECT_EQ(list.GetCount(), 24);
    TPendingTie tie;
    EXPECT_TRUE(list.GetEntry(23, tie));
    EXPECT_FALSE(list.GetEntry(24, tie));
    EXPECT_FALSE(list.GetEntry(-1, tie));

    list.Clear();
    list.Add(4, 0, true);    // 0
    list.Add(-2, 1, false);  // 1
    list.Add(4, 2, false);   // 2
    list.Add(7, 3, true);    // 3
    // Accidental 5 finds the last entry at the position whatever its accidental.
    ASSERT_TRUE(list.Take(4, 5, tie, false));
    EXPECT_EQ(tie.GetAccidental(), 2);
    EXPECT_FALSE(tie.GetFlag());
    EXPECT_EQ(list.GetCount(), 4);
    ASSERT_TRUE(list.Take(4, 0, tie, true));
    EXPECT_TRUE(tie.GetFlag());
    EXPECT_EQ(tie.GetPosition(), 4);
    EXPECT_EQ(list.GetCount(), 3);
    ASSERT_TRUE(list.GetEntry(0, tie));
    EXPECT_EQ(tie.GetPosition(), -2);
    ASSERT_TRUE(list.GetEntry(2, tie));
    EXPECT_EQ(tie.GetPosition(), 7);
    EXPECT_FALSE(list.Take(4, 0, tie, true));
    EXPECT_FALSE(list.Take(-2, 0, tie, true));
    EXPECT_TRUE(list.Take(-2, 1, tie, true));
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(StaffInstrumentTest, DefaultsAndSetters) {
    TStaffInstrument inst;
    EXPECT_STREQ(inst.Name, "");
    EXPECT_FALSE(inst.HasBank());
    EXPECT_FALSE(inst.HasPatch());
    EXPECT_EQ(inst.GetTranspose(), 0);
    const int velocities[8] = {10, 30, 45, 60, 75, 92, 108, 127};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(inst.GetDynamicVelocity(i), velocities[i]);
    EXPECT_EQ(inst.GetDynamicVelocity(8), 0);

    std::string longName(60, 'x');
    inst.SetName(longName.c_str());
    EXPECT_EQ(std::strlen(inst.Name), 47u);
    EXPECT_EQ(inst.CompareName(std::string(47, 'x').c_str()), 0);
    inst.SetName("Piano");
    EXPECT_EQ(inst.CompareName("Piano"), 0);
    EXPECT_NE(inst.CompareName("Organ"), 0);
    EXPECT_EQ(inst.Name[6], 0);

    inst.SetBank(3, 5);
    EXPECT_TRUE(inst.HasBank());
    EXPECT_EQ(inst.GetBank(), 3 * 128 + 5);
    EXPECT_EQ(inst.GetBankMsb(), 3);
    EXPECT_EQ(inst.GetBankLsb(), 5);
    inst.ClearBank();
    EXPECT_FALSE(inst.HasBank());
    inst.SetPatch(0);
    EXPECT_TRUE(inst.HasPatch());
    EXPECT_EQ(inst.PatchByte, 1);
    EXPECT_EQ(inst.GetPatch(), 0);
    inst.SetPatch(127);
    EXPECT_EQ(inst.GetPatch(), 127);
    inst.ClearPatch();
    EXPECT_FALSE(inst.HasPatch());
    inst.SetTranspose(-12);
    EXPECT_EQ(inst.Trans, -12);
    inst.SetDynamicVelocity(7, 100);
    inst.SetDynamicVelocity(8, 1);
    inst.SetDynamicVelocity(-1, 1);
    EXPECT_EQ(inst.GetDynamicVelocity(7), 100);
    inst.Reset();
    EXPECT_EQ(inst.GetDynamicVelocity(7), 127);
    EXPECT_STREQ(inst.Name, "");
}

}  // namespace
