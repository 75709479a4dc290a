#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "score/base/vocabulary.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"

namespace {

TMusicStaff* Named(const char* name) {
    auto* staff = new TMusicStaff;
    staff->SetName(name);
    return staff;
}

TEST(ScoreTest, NewScoreDefaults) {
    TMusicScore score;
    EXPECT_EQ(score.GetStaffCount(), 0);
    EXPECT_EQ(score.Zoom, 8);
    EXPECT_FLOAT_EQ(score.Margins.Left, 0.5f);
    EXPECT_FLOAT_EQ(score.Margins.Bottom, 0.5f);
    EXPECT_EQ(score.Margins.Mirror, 0);
    EXPECT_EQ(score.StartingBar, 1);
    EXPECT_TRUE(score.GetTitlePage());
    EXPECT_TRUE(score.GetJustifyVertically());
    EXPECT_TRUE(score.GetDurationPadding());
    EXPECT_TRUE(score.GetAllowLayering());
    EXPECT_TRUE(score.GetCompressed());
    EXPECT_FALSE(score.GetFromOldFormat());
    EXPECT_FALSE(score.GetExtendLastSystem());
    EXPECT_FALSE(score.GetPrintSystemSepMark());
    EXPECT_FALSE(score.GetAnyMultiPartDotPlacement());
    EXPECT_EQ(score.GetStaffVisibleBits().Count(true), 1);
    EXPECT_TRUE(score.IsStaffVisible(0));
    EXPECT_EQ(score.Selection.ActiveStaff, -1);
    EXPECT_NE(score.GetFontData(), nullptr);
    EXPECT_NE(score.Date, 0);
    EXPECT_EQ(memcmp(&score.SongInfo, DefaultScoreInfo, sizeof(TSongInfo)), 0);
    EXPECT_EQ(score.GetStaff(0), nullptr);
    EXPECT_EQ(score.GetStaff(-1), nullptr);

    TSongInfo info{};
    strcpy(info.Title, "Song");
    TMusicScore titled(&info);
    EXPECT_STREQ(titled.SongInfo.Title, "Song");
}

TEST(ScoreTest, StaffListKeepsVisibilityBitsInStep) {
    TMusicScore score;
    auto* a = Named("A");
    auto* b = Named("B");
    ASSERT_TRUE(score.AddStaff(a));
    ASSERT_TRUE(score.AddStaff(b));
    score.SetStaffVisible(1, false);
    auto* c = Named("C");
    ASSERT_TRUE(score.InsertStaff(c, 0));
    EXPECT_EQ(score.GetStaff(0), c);
    EXPECT_TRUE(score.IsStaffVisible(0));
    EXPECT_TRUE(score.IsStaffVisible(1));
    EXPECT_FALSE(score.IsStaffVisible(2));
    EXPECT_EQ(score.FindStaffIndex(b), 2);
    EXPECT_EQ(score.FindStaffIndex(nullptr), -1);
    std::unique_ptr<TMusicStaff> detached(score.DetachStaff(0));
    EXPECT_EQ(detached.get(), c);
    EXPECT_TRUE(score.IsStaffVisible(0));
    EXPECT_FALSE(score.IsStaffVisible(1));
    EXPECT_EQ(score.DetachStaff(5), nullptr);
    ASSERT_TRUE(score.InsertStaff(detached.release(), 99));
    EXPECT_EQ(score.GetStaff(2), c);
    ASSERT_TRUE(score.InsertStaff(Named("D"), -3));
    EXPECT_STREQ(score.GetStaff(0)->GetName(), "D");

    TMusicScore empty;
    EXPECT_EQ(empty.FindStaffIndex(a), -1);
}

TEST(ScoreTest, AStaffBeyondTheVisibilityBitsIsRefused) {
    TMusicScore score;
    for (int i = 0; i < kMaxStaves; ++i)
        ASSERT_TRUE(score.AddStaff(new TMusicStaff));
    std::unique_ptr<TMusicStaff> extra(new TMusicStaff);
    EXPECT_FALSE(score.AddStaff(extra.get()));
    EXPECT_FALSE(score.InsertStaff(extra.get(), 0));
    EXPECT_EQ(score.GetStaffCount(), kMaxStaves);
    EXPECT_TRUE(score.IsStaffVisible(254));
}

TEST(ScoreTest, UniqueStaffNames) {
    TMusicScore score;
    auto* first = Named("Staff");
    auto* second = Named("Staff");
    score.AddStaff(first);
    score.AddStaff(second);
    score.MakeUniqueStaffName(second);
    EXPECT_STREQ(second->GetName(), "Staff-2");
    auto* third = Named("Staff");
    score.AddStaff(third);
    score.MakeUniqueStaffName(third);
    EXPECT_STREQ(third->GetName(), "Staff-3");
    // The staff asked for is the one renamed, even when it comes first.
    auto* again = Named("Staff");
    score.InsertStaff(again, 0);
    score.MakeUniqueStaffName(again);
    EXPECT_STREQ(again->GetName(), "Staff-4");
    EXPECT_STREQ(first->GetName(), "Staff");
    score.MakeUniqueStaffName(first);
    EXPECT_STREQ(first->GetName(), "Staff");

    TMusicScore many;
    many.AddStaff(Named("Staff"));
    for (int n = 2; n <= 9; ++n)
        many.AddStaff(Named(("Staff-" + std::to_string(n)).c_str()));
    auto* tenth = Named("Staff");
    many.AddStaff(tenth);
    many.MakeUniqueStaffName(tenth);
    EXPECT_STREQ(tenth->GetName(), "Staff-10");

    TMusicScore longNames;
    const std::string name31(31, 'n');
    longNames.AddStaff(Named(name31.c_str()));
    auto* dup = Named(name31.c_str());
    longNames.AddStaff(dup);
    longNames.MakeUniqueStaffName(dup);
    EXPECT_EQ(std::string(dup->GetName()), std::string(29, 'n') + "-2");

    TMusicScore blank;
    auto* nameless = Named("");
    blank.AddStaff(nameless);
    blank.MakeUniqueStaffName(nameless);
    EXPECT_STREQ(nameless->GetName(), "Staff");
    auto* nameless2 = Named("");
    blank.AddStaff(nameless2);
    blank.MakeUniqueStaffName(nameless2);
    EXPECT_STREQ(nameless2->GetName(), "Staff-2");

    char made[32];
    blank.MakeStaffName(made);
    EXPECT_STREQ(made, "Staff-1");
    nameless->SetName("Staff-1");
    blank.MakeStaffName(made);
    EXPECT_STREQ(made, "Staff-3");
    EXPECT_EQ(blank.FindStaffByName("Staff-2"), 1);
    EXPECT_EQ(blank.FindLastStaffByName("staff-2"), -1);
}

TEST(ScoreTest, ChannelsDevicesAndGroups) {
    TMusicScore empty;
    EXPECT_EQ(empty.FindFreeChannel(0), 0);
    EXPECT_EQ(empty.GetLastStaffDevice(), 0);
    EXPECT_EQ(empty.GetMaxPlayDevice(), 0);

    TMusicScore score;
    for (int ch = 0; ch < 16; ++ch) {
        auto* staff = new TMusicStaff;
        staff->Channel = ch;
        staff->Device = ch == 15 ? 2 : 0;
        staff->SetGroup(ch % 2 ? "Odd" : "Even");
        score.AddStaff(staff);
    }
    EXPECT_EQ(score.GetMaxPlayDevice(), 2);
    EXPECT_EQ(score.GetLastStaffDevice(), 2);
    EXPECT_EQ(score.CountStavesOnPort(0, 3), 1);
    EXPECT_EQ(score.FindFreeChannel(0), 15);
    score.GetStaff(15)->Device = 0;
    EXPECT_EQ(score.FindFreeChannel(0), 15);  // all 16 in use: the last staff's channel
    EXPECT_EQ(score.FindFreeChannel(1), 0);

    TQSBoolArray bits(kMaxStaves);
    score.SelectStavesByGroup("Odd", bits);
    EXPECT_EQ(bits.Count(true), 8);
    EXPECT_TRUE(bits.Get(1));
    EXPECT_FALSE(bits.Get(2));
    score.SetStaffFlagBits(0, bits);
    EXPECT_EQ(score.GetStaff(3)->Muted, 1);
    EXPECT_EQ(score.GetStaff(4)->Muted, 0);
    TQSBoolArray muted(kMaxStaves);
    score.GetStaffFlagBits(0, muted);
    EXPECT_TRUE(muted.IsEqual(bits));
    score.SetStaffFlagBits(1, bits);
    EXPECT_TRUE(score.GetStaff(5)->StaffFlags & STAFF_LAYER);

    EXPECT_FALSE(score.AnyStaffMultiPartDotPlacement());
    score.SetAnyMultiPartDotPlacement(false);
    EXPECT_FALSE(score.GetAnyMultiPartDotPlacement());
    score.GetStaff(2)->StaffFlags |= STAFF_MULTIPART_DOTS;
    score.SetAnyMultiPartDotPlacement(false);
    EXPECT_TRUE(score.GetAnyMultiPartDotPlacement());
}

TEST(ScoreTest, ClearContentKeepsTheSignatures) {
    TMusicScore score;
    auto* staff = new TMusicStaff;
    staff->InsertItem(new TMusicNote(0), 1);
    staff->InsertItem(new TMusicNote(1), 2);
    staff->InsertItem(new TRestNote(), 3);
    auto* lyrics = new TStaffLyrics;
    auto* line = new TLyricText;
    char word[] = "la";
    line->AppendSyllable(' ', word, false);
    lyrics->Add(line);
    staff->SetLyrics(lyrics);
    score.AddStaff(staff);
    score.AddStaff(new TMusicStaff);
    score.ClearContent();
    EXPECT_EQ(staff->GetItemCount(), 2);
    EXPECT_EQ(line->GetUsed(), 1);
}

TEST(ScoreTest, SelectionAndReset) {
    TScoreSelection sel;
    sel.Set(0, 3, 3, 2);
    EXPECT_FALSE(sel.HasRange());
    EXPECT_EQ(sel.GetRangeEnd(), 3);
    sel.Set(0, 3, 7, 2);
    EXPECT_TRUE(sel.HasRange());
    EXPECT_EQ(sel.GetRangeEnd(), 7);
    sel.Set(0, 0, 7, 2);
    EXPECT_FALSE(sel.HasRange());
    sel.Reset();
    EXPECT_EQ(sel.CaretIndex, -1);

    TMusicScore score;
    score.AddStaff(new TMusicStaff);
    score.Zoom = 20;
    score.SetTitlePage(false);
    score.Selection.Set(0, 1, 2, 3);
    score.Reset();
    EXPECT_EQ(score.Zoom, 8);
    EXPECT_TRUE(score.GetTitlePage());
    EXPECT_EQ(score.GetStaffCount(), 1);
    EXPECT_EQ(score.Selection.SelectIndex, 2);
}

}  // namespace
