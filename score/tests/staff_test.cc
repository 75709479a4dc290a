#include <gtest/gtest.h>

#include <memory>

#include "score/expression_items.h"
#include "score/lyrics.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

int TypeAt(const TMusicStaff& staff, int i) {
    return staff.GetItem(i) ? staff.GetItem(i)->GetType() : -1;
}

// Fills a staff with items before the closing bar line.
void Append(TMusicStaff& staff, TNotatedItem* item) {
    staff.InsertItem(item, staff.GetLastIndex());
}

TEST(StaffTest, NewStaffDefaults) {
    TMusicStaff staff;
    ASSERT_EQ(staff.GetItemCount(), 2);
    auto* open = static_cast<TBarLineData*>(staff.GetItem(0));
    auto* close = static_cast<TBarLineData*>(staff.GetLastItem());
    EXPECT_EQ(open->GetStyle(), bsSingle);
    EXPECT_EQ(close->GetStyle(), bsSectionClose);
    EXPECT_EQ(close->GetRepeat(), 1);
    EXPECT_STREQ(staff.GetName(), "Staff");
    EXPECT_STREQ(staff.GetGroup(), "Standard");
    EXPECT_EQ(staff.Volume, 127);
    EXPECT_EQ(staff.StereoPan, 64);
    EXPECT_EQ(staff.GetBoundaryTop(), -12);
    EXPECT_EQ(staff.GetBoundaryBottom(), 12);
    EXPECT_EQ(staff.GetLineCount(), 5);
    EXPECT_EQ(staff.StaffFlags, 0);
    EXPECT_EQ(staff.GetFreeItemSlots(), 32000);
    EXPECT_EQ(staff.GetLyrics(), nullptr);
    EXPECT_FALSE(staff.Instrument.HasPatch());
    EXPECT_EQ(staff.GetItem(2), nullptr);
    EXPECT_EQ(staff.GetItem(-1), nullptr);
}

TEST(StaffTest, NamesAndSettings) {
    TMusicStaff staff;
    staff.SetName("A very long staff name that goes on and on");
    EXPECT_EQ(strlen(staff.GetName()), 31u);
    staff.SetGroup("0123456789abcdefXYZ");
    EXPECT_STREQ(staff.GetGroup(), "0123456789abcde");
    EXPECT_FALSE(staff.IsUngrouped());
    staff.SetGroup("_");
    EXPECT_TRUE(staff.IsUngrouped());
    staff.SetLabel("Violin");
    EXPECT_STREQ(staff.GetLabel(false), "Violin");
    staff.SetLabelAbbr("Vln.");
    EXPECT_STREQ(staff.GetLabel(false), "Vln.");
    EXPECT_STREQ(staff.GetLabel(true), "Violin");

    staff.SetBoundaries(-2, 3);
    EXPECT_EQ(staff.GetBoundaryTop(), -5);
    EXPECT_EQ(staff.GetBoundaryBottom(), 5);
    staff.SetBoundaries(-150, 150);
    EXPECT_EQ(staff.GetBoundaryTop(), -100);
    EXPECT_EQ(staff.GetBoundaryBottom(), 100);
    EXPECT_EQ(staff.GetTopLinePosition(), -4);
    EXPECT_EQ(staff.GetBottomLinePosition(), 4);
    staff.SetLineCount(4);
    EXPECT_EQ(staff.GetTopLinePosition(), -2);
    EXPECT_EQ(staff.GetBottomLinePosition(), 4);
    staff.SetLineCount(1);
    EXPECT_EQ(staff.GetTopLinePosition(), 0);
    EXPECT_EQ(staff.GetBottomLinePosition(), 0);
    staff.SetLineCount(0);
    EXPECT_EQ(staff.GetTopLinePosition(), 0);
    EXPECT_EQ(staff.GetBottomLinePosition(), 0);

    staff.SetEndingBar(4);
    EXPECT_EQ(static_cast<TBarLineData*>(staff.GetLastItem())->GetStyle(), bsTransparent);
    staff.SetEndingBar(7);
    EXPECT_EQ(static_cast<TBarLineData*>(staff.GetLastItem())->GetStyle(), bsSectionClose);
    EXPECT_EQ(staff.GetEndingBar(), 7);

    staff.SetLyrics(new TStaffLyrics);
    staff.SetLyrics(new TStaffLyrics);  // the old lyrics are freed
    EXPECT_NE(staff.GetLyrics(), nullptr);
}

TEST(StaffTest, InsertDeleteAndDetach) {
    TMusicStaff staff;
    Append(staff, new TClefData(ctTreble));
    Append(staff, new TMusicNote(0));
    Append(staff, new TRestNote());
    Append(staff, new TMusicNote(2));
    ASSERT_EQ(staff.GetItemCount(), 6);
    EXPECT_EQ(TypeAt(staff, 1), ntClef);
    EXPECT_EQ(TypeAt(staff, 5), ntBarLine);
    EXPECT_EQ(staff.CountItemsOfType(ntNote), 2);
    EXPECT_TRUE(staff.HasNotes());

    EXPECT_FALSE(staff.DeleteItem(0));
    EXPECT_FALSE(staff.DeleteItem(5));
    EXPECT_EQ(staff.DetachItem(0), nullptr);
    EXPECT_EQ(staff.DetachItem(5), nullptr);
    EXPECT_EQ(staff.GetItemCount(), 6);

    std::unique_ptr<TNotatedItem> rest(staff.DetachItem(3));
    EXPECT_EQ(rest->GetType(), ntRest);
    EXPECT_TRUE(staff.DeleteItem(1));
    EXPECT_EQ(staff.GetItemCount(), 4);

    // Deleting a range never takes the closing bar line.
    staff.DeleteItems(1, 100);
    ASSERT_EQ(staff.GetItemCount(), 2);
    EXPECT_EQ(static_cast<TBarLineData*>(staff.GetLastItem())->GetStyle(), bsSectionClose);
    staff.DeleteItems(0, 1);
    EXPECT_EQ(staff.GetItemCount(), 2);
}

TEST(StaffTest, FindersAndTimes) {
    TMusicStaff staff;
    Append(staff, new TClefData(ctTreble));       // 1
    Append(staff, new TMusicNote(0, dcQuarter));  // 2: 0
    Append(staff, new TMusicNote(1, dcQuarter));  // 3: 192
    Append(staff, new TBarLineData());            // 4: 384
    Append(staff, new TTextExpression("x"));      // 5
    Append(staff, new TRestNote(dcHalf));         // 6: 384
    Append(staff, new TMusicNote(2, dcQuarter));  // 7: 768
    ASSERT_EQ(staff.GetLastIndex(), 8);

    EXPECT_EQ(staff.FindItemOfType(0, ntBarLine, 1), 4);
    EXPECT_EQ(staff.FindItemOfType(4, ntBarLine, 1), 8);
    EXPECT_EQ(staff.FindItemOfType(7, ntClef, -1), 1);
    EXPECT_EQ(staff.FindItemOfType(7, ntTempo, -1), 0);
    EXPECT_EQ(staff.FindSongNote(3, 1), 6);
    EXPECT_EQ(staff.FindSongNote(7, 1), 8);
    EXPECT_EQ(staff.FindSongNote(1, -1), 0);
    EXPECT_EQ(staff.FindBarLineFromClamped(4, -1), 1);
    EXPECT_EQ(staff.FindNthBarLine(0), 0);
    EXPECT_EQ(staff.FindNthBarLine(1), 4);
    EXPECT_EQ(staff.FindNthBarLine(2), 8);
    EXPECT_EQ(staff.FindNthBarLine(3), 8);

    EXPECT_EQ(staff.FindItemAtTime(0, 5, 384), 0);
    EXPECT_EQ(staff.FindItemAtTime(192, 0, 0), 3);
    EXPECT_EQ(staff.FindItemAtTime(384, 0, 0), 4);
    EXPECT_EQ(staff.FindItemAtTime(768, 0, 0), 7);
    EXPECT_EQ(staff.FindItemAtTime(5000, 0, 0), 8);
    EXPECT_EQ(staff.FindItemAtTime(384, 6, 384), 6);
    EXPECT_EQ(staff.FindItemAtTime(200, 7, 768), 4);

    EXPECT_EQ(staff.GetDurationBetween(7, 0, 0), 768);
    EXPECT_EQ(staff.GetDurationBetween(2, 7, 768), 0);
    EXPECT_EQ(staff.GetDurationBetween(0, 7, 768), 0);
    EXPECT_EQ(staff.GetDurationBetween(99, 0, 0), 960);

    int beats = 0, exponent = 0;
    staff.GetTimeSignatureAt(7, beats, exponent);
    EXPECT_EQ(beats, 4);
    EXPECT_EQ(exponent, 2);
    staff.InsertItem(new TTimeSignatureData(3, 3, 0), 2);
    staff.GetTimeSignatureAt(8, beats, exponent);
    EXPECT_EQ(beats, 3);
    EXPECT_EQ(exponent, 3);

    int clef = 0, time = 0, key = 0;
    staff.FindContextItems(8, clef, time, key);
    EXPECT_EQ(clef, 1);
    EXPECT_EQ(time, 2);
    EXPECT_EQ(key, -1);
    TStaffPlayState state;
    staff.Channel = 3;
    staff.BuildPlayStateAt(8, state);
    EXPECT_EQ(state.GetChannel(), 3);
}

TEST(StaffTest, InsertAtTimeSplitsTheCoveringItem) {
    TMusicStaff staff;
    Append(staff, new TMusicNote(0, dcWhole));
    staff.InsertItemAtTime(new TTextExpression("here"), 192);
    ASSERT_EQ(staff.GetItemCount(), 5);
    EXPECT_EQ(staff.GetItem(1)->GetDuration(), 192);
    EXPECT_TRUE(static_cast<TMusicNote*>(staff.GetItem(1))->HasAttribute(naTie));
    EXPECT_EQ(TypeAt(staff, 2), ntTextExpression);
    EXPECT_EQ(staff.GetItem(3)->GetDuration(), 576);
    EXPECT_FALSE(static_cast<TMusicNote*>(staff.GetItem(3))->HasAttribute(naTie));
    EXPECT_EQ(staff.GetDurationBetween(staff.GetLastIndex(), 0, 0), 768);
}

TEST(StaffTest, SplitMergeAndTruncate) {
    TMusicStaff staff;
    Append(staff, new TMusicNote(0, dcWhole));
    EXPECT_EQ(staff.SplitToDuration(1, 720), 2);  // 576 + 144, tied
    EXPECT_EQ(staff.GetDurationBetween(staff.GetLastIndex(), 0, 0), 720);
    EXPECT_TRUE(staff.CanMerge(1, 2));
    EXPECT_FALSE(staff.CanMerge(2, 3));
    EXPECT_EQ(staff.GetRunDuration(1), 720);
    staff.MergeRun(1);
    EXPECT_EQ(staff.GetItemCount(), 3);
    EXPECT_EQ(staff.GetItem(1)->GetDuration(), 144);

    // A remainder below the shortest duration is dropped instead of cycling.
    TMusicStaff small;
    Append(small, new TRestNote(dcQuarter));
    EXPECT_EQ(small.SplitToDuration(1, 5), 1);
    EXPECT_EQ(small.SplitToDuration(1, 200), 1);
    EXPECT_EQ(small.GetItemCount(), 3);
    EXPECT_EQ(small.SplitToDuration(0, 200), 0);

    TMusicStaff rests;
    Append(rests, new TRestNote(dcQuarter));
    Append(rests, new TRestNote(dcQuarter));
    Append(rests, new TMusicNote(0, dcQuarter));
    EXPECT_TRUE(rests.CanMerge(1, 2));
    EXPECT_FALSE(rests.CanMerge(2, 3));
    rests.TruncateAtTime(100);
    EXPECT_EQ(rests.GetItemCount(), 5);
    rests.TruncateAtTime(192);
    EXPECT_EQ(rests.GetItemCount(), 3);
    EXPECT_EQ(TypeAt(rests, 2), ntBarLine);
}

TEST(StaffTest, NotesJoinAndLeaveItems) {
    TMusicStaff staff;
    Append(staff, new TMusicNote(2));
    Append(staff, new TRestNote());
    ASSERT_TRUE(staff.AddNoteToItem(new TMusicNote(-2), 1));
    ASSERT_EQ(TypeAt(staff, 1), ntChord);
    EXPECT_EQ(staff.GetItem(1)->GetNoteCount(), 2);
    auto same = std::make_unique<TMusicNote>(-2, dcQuarter, 0, acNone);
    same->SetStemSetting(static_cast<TChordData*>(staff.GetItem(1))->GetNote(1)->GetStemSetting());
    EXPECT_FALSE(staff.AddNoteToItem(same.get(), 1));
    EXPECT_EQ(staff.GetItem(1)->GetNoteCount(), 2);

    ASSERT_TRUE(staff.AddNoteToItem(new TMusicNote(-3), 2));
    ASSERT_EQ(TypeAt(staff, 2), ntRestChord);
    EXPECT_EQ(staff.GetItem(2)->GetNoteCount(), 1);

    staff.GetItem(1)->SetColor(6);
    ASSERT_TRUE(staff.RemoveNoteAt(1, -2));
    ASSERT_EQ(TypeAt(staff, 1), ntNote);
    EXPECT_EQ(staff.GetItem(1)->GetColor(), 6);
    EXPECT_FALSE(static_cast<TMusicNote*>(staff.GetItem(1))->IsChordMember());
    ASSERT_TRUE(staff.RemoveNoteAt(2, -3));
    EXPECT_EQ(TypeAt(staff, 2), ntRest);
    EXPECT_FALSE(staff.RemoveNoteAt(2, -3));
    EXPECT_FALSE(staff.AddNoteToItem(same.get(), 0));
}

TEST(StaffTest, SpacersGroupsAndClefSuggestion) {
    TMusicStaff staff;
    EXPECT_EQ(staff.SuggestClef(), ctTreble);
    Append(staff, new TStaffSpacer(100));
    Append(staff, new TMusicNote(10));
    EXPECT_EQ(staff.ChangeSpacerWidth(1, 50), 50);
    EXPECT_EQ(staff.ChangeSpacerWidth(2, 50), 50);
    EXPECT_EQ(static_cast<TStaffSpacer*>(staff.GetItem(1))->GetWidth(), 200);
    EXPECT_EQ(staff.ChangeSpacerWidth(3, 50), 0);
    EXPECT_EQ(staff.SuggestClef(), ctBass);
    staff.Channel = 9;
    EXPECT_EQ(staff.SuggestClef(), ctPercussion);

    TMusicStaff beams;
    for (int i = 0; i < 4; ++i) {
        auto* n = new TMusicNote(0, dcEighth);
        n->SetBeamState(i == 0 ? gsFirst : (i == 3 ? gsEnd : gsMiddle));
        Append(beams, n);
    }
    auto* after = new TMusicNote(0, dcEighth);
    after->SetBeamState(gsFirst);
    Append(beams, after);
    beams.DissolveGroupAt(0, 3);
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(static_cast<TSongNote*>(beams.GetItem(i))->GetBeamState(), gsNone);
    EXPECT_EQ(after->GetBeamState(), gsFirst);
}

}  // namespace

namespace {

TEST(StaffImportTest, RegroupImportedRestsMovesRestTimeToTheBeat) {
    TMusicStaff staff;
    staff.InsertItem(new TMusicNote(0, dcEighth), 1);  // 0..96
    staff.InsertItem(new TRestNote(dcHalf), 2);        // 96..480
    auto* tied = new TMusicNote(1, dcEighth);
    tied->SetAttribute(naTie);
    staff.InsertItem(tied, 3);                         // 480..576
    staff.InsertItem(new TMusicNote(1, dcEighth), 4);  // 576..672
    staff.InsertItem(new TRestNote(dcEighth), 5);      // 672..768
    staff.RegroupImportedRests(false, 192);
    // The first note takes rest time up to its beat; the tied eighths join into one run that takes the last
    // rest up to the beat and is then cut at the beat it crosses.
    ASSERT_EQ(staff.GetItemCount(), 6);
    const int expected[][2] = {{ntNote, 192}, {ntRest, 288}, {ntNote, 96}, {ntNote, 192}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(staff.GetItem(i + 1)->GetType(), expected[i][0]);
        EXPECT_EQ(staff.GetItem(i + 1)->GetDuration(), expected[i][1]);
    }
    EXPECT_TRUE(static_cast<TMusicNote*>(staff.GetItem(3))->HasAttribute(naTie));
    EXPECT_EQ(staff.GetDurationBetween(staff.GetLastIndex(), 0, 0), 768);
}

// A run of tied dotted wholes after an eighth: the run starts off the beat, so its first piece is cut at the
// beat; the rest after it is taken up to the beat. Length and notes: as splitting the whole run at once.
TMusicStaff* MakeLongTiedRun(int runNotes, int fillers) {
    auto* staff = new TMusicStaff();
    staff->InsertBeforeLastItem(new TMusicNote(0, dcEighth));
    for (int i = 0; i < runNotes; ++i) {
        auto* note = new TMusicNote(2, dcWhole, i + 1 < runNotes ? AttributeBit(naTie) : 0);
        note->SetAttribute(naDotted);
        staff->InsertBeforeLastItem(note);
    }
    if (fillers == 0) staff->InsertBeforeLastItem(new TRestNote(dcEighth));
    for (int i = 0; i < fillers; ++i)
        staff->InsertBeforeLastItem(new TMusicNote(4, dcQuarter));
    return staff;
}

int StaffTicks(const TMusicStaff& staff) {
    int sum = 0;
    for (int i = 0; i < staff.GetItemCount(); ++i)
        sum += staff.GetItem(i)->GetDuration();
    return sum;
}

bool IsTied(const TNotatedItem* item) {
    return static_cast<const TMusicNote*>(item)->HasAttribute(naTie);
}

TEST(StaffImportTest, RegroupImportedRestsSplitsLongTiedRuns) {
    const int runNotes = 300;
    std::unique_ptr<TMusicStaff> staff(MakeLongTiedRun(runNotes, 0));
    const int before = StaffTicks(*staff);
    staff->RegroupImportedRests(false, 192);
    // The eighth, the run cut at the first beat, then dotted wholes on the beat; the rest went into the run.
    ASSERT_EQ(staff->GetItemCount(), runNotes + 4);
    EXPECT_EQ(StaffTicks(*staff), before);
    EXPECT_EQ(staff->GetItem(2)->GetDuration(), 96);
    for (int i = 3; i < staff->GetLastIndex(); ++i) {
        ASSERT_EQ(staff->GetItem(i)->GetType(), ntNote);
        EXPECT_EQ(staff->GetItem(i)->GetDuration(), 1152);
        EXPECT_EQ(staff->GetItem(i)->GetStaffPos(), 2);
    }
    for (int i = 2; i < staff->GetLastIndex(); ++i)
        EXPECT_EQ(IsTied(staff->GetItem(i)), i + 1 < staff->GetLastIndex()) << i;

    // A staff that fills up while the run's pieces are being made still gets every piece of the run: the
    // cut at the beat takes the last two free items.
    const int fillers = kStaffFullItems - 5 - 50;
    staff.reset(MakeLongTiedRun(50, fillers));
    const int filledBefore = StaffTicks(*staff);
    staff->RegroupImportedRests(false, 192);
    ASSERT_EQ(staff->GetItemCount(), kStaffFullItems);
    EXPECT_EQ(StaffTicks(*staff), filledBefore);
    const int durations[] = {96, 768, 288};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(staff->GetItem(2 + i)->GetDuration(), durations[i]);
    for (int i = 5; i < 5 + 49; ++i)
        EXPECT_EQ(staff->GetItem(i)->GetDuration(), 1152);
    EXPECT_TRUE(IsTied(staff->GetItem(5 + 47)));
    EXPECT_FALSE(IsTied(staff->GetItem(5 + 48)));
    EXPECT_EQ(staff->GetItem(5 + 49)->GetStaffPos(), 4);
}

TEST(StaffImportTest, RegroupImportedRestsStopsWhenTheStaffIsFull) {
    // Every quarter starts half a beat late, so each is cut at the beat it crosses until the staff is full;
    // the items the pass did not reach stay as they were, in order, and no time is lost.
    TMusicStaff staff;
    staff.InsertBeforeLastItem(new TMusicNote(0, dcEighth));
    while (staff.GetItemCount() < kStaffFullItems - 10)
        staff.InsertBeforeLastItem(new TMusicNote(0, dcQuarter));
    const TNotatedItem* lastQuarter = staff.GetItem(staff.GetLastIndex() - 1);
    auto ticks = [&] {
        int sum = 0;
        for (int i = 0; i < staff.GetItemCount(); ++i)
            sum += staff.GetItem(i)->GetDuration();
        return sum;
    };
    const int before = ticks();
    staff.RegroupImportedRests(false, 192);
    EXPECT_EQ(staff.GetItemCount(), kStaffFullItems);
    EXPECT_EQ(ticks(), before);
    EXPECT_EQ(staff.GetItem(2)->GetDuration(), 96);
    EXPECT_EQ(staff.GetItem(3)->GetDuration(), 96);
    EXPECT_EQ(staff.GetItem(staff.GetLastIndex() - 1), lastQuarter);
    EXPECT_EQ(lastQuarter->GetDuration(), 192);
    EXPECT_EQ(staff.GetLastItem()->GetType(), ntBarLine);
}

}  // namespace

namespace {

TKeyData* Key(int fifths) {
    uint16_t sharps = 0, flats = 0;
    FifthsToKeyMasks(fifths, sharps, flats);
    return new TKeyData(sharps, flats);
}

int BeamAt(const TMusicStaff& staff, int i) {
    return static_cast<const TSongNote*>(staff.GetItem(i))->GetBeamState();
}

TEST(StaffImportTest, RemoveRedundantItemsKeepsTheLastOfARunAndDropsRepeats) {
    TMusicStaff staff;
    Append(staff, Key(1));
    Append(staff, Key(2));
    Append(staff, new TMusicNote(0));
    Append(staff, Key(2));  // the key in force again
    Append(staff, new TMusicNote(1));
    Append(staff, new TSustainPedal(1));
    Append(staff, new TSustainPedal(1));
    Append(staff, new TMusicNote(2));
    Append(staff, new TTimeSignatureData(3, 2));
    Append(staff, new TTimeSignatureData(4, 2));
    Append(staff, new TBarLineData(bsDouble, 1));
    Append(staff, new TBarLineData(bsSingle, 1));
    Append(staff, new TMusicNote(3));
    staff.RemoveRedundantItems();
    const int expected[] = {ntBarLine, ntKey,           ntNote,    ntNote, ntSustainPedal,
                            ntNote,    ntTimeSignature, ntBarLine, ntNote, ntBarLine};
    ASSERT_EQ(staff.GetItemCount(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(TypeAt(staff, i), expected[i]) << i;
    EXPECT_EQ(static_cast<TKeyData*>(staff.GetItem(1))->GetFifths(), 2);
    EXPECT_EQ(static_cast<TTimeSignatureData*>(staff.GetItem(6))->GetBeats(), 4);
    EXPECT_EQ(static_cast<TBarLineData*>(staff.GetItem(7))->GetStyle(), bsSingle);

    // A pedal of the other status, or any item, between two pedals keeps both; the opening bar line stays
    // even when another bar line follows it.
    TMusicStaff pedals;
    Append(pedals, new TBarLineData(bsSingle, 1));
    Append(pedals, new TSustainPedal(1));
    Append(pedals, new TSustainPedal(0));
    Append(pedals, new TSustainPedal(1));
    Append(pedals, new TMusicNote(0));
    Append(pedals, new TSustainPedal(0));
    Append(pedals, new TSustainPedal(0));
    pedals.RemoveRedundantItems();
    ASSERT_EQ(pedals.GetItemCount(), 8);
    EXPECT_EQ(TypeAt(pedals, 1), ntBarLine);
    EXPECT_EQ(TypeAt(pedals, 6), ntSustainPedal);
    EXPECT_EQ(TypeAt(pedals, 7), ntBarLine);
}

TEST(StaffImportTest, CheckImportedBarsMakesWholeBarRestsOfFullRestBars) {
    TMusicStaff staff;
    for (int i = 0; i < 4; ++i)
        Append(staff, new TRestNote(dcQuarter));
    Append(staff, new TBarLineData(bsSingle, 1));
    Append(staff, new TMusicNote(0));
    for (int i = 0; i < 3; ++i)
        Append(staff, new TRestNote(dcQuarter));
    Append(staff, new TBarLineData(bsSingle, 1));
    Append(staff, new TRestNote(dcHalf));  // a bar that is not full stays
    staff.CheckImportedBars();
    ASSERT_EQ(staff.GetItemCount(), 10);
    ASSERT_EQ(TypeAt(staff, 1), ntRest);
    EXPECT_TRUE(static_cast<TRestNote*>(staff.GetItem(1))->HasBarLength());
    EXPECT_EQ(TypeAt(staff, 2), ntBarLine);
    EXPECT_EQ(TypeAt(staff, 3), ntNote);
    EXPECT_EQ(TypeAt(staff, 6), ntRest);
    EXPECT_FALSE(static_cast<TRestNote*>(staff.GetItem(8))->HasBarLength());
}

TEST(StaffImportTest, GroupImportedNotesBeamsEachBeat) {
    TMusicStaff staff;
    for (int i = 0; i < 6; ++i)
        Append(staff, new TMusicNote(i % 3, dcEighth));
    Append(staff, new TMusicNote(0, dcQuarter));
    Append(staff, new TMusicNote(0, dc16th));
    Append(staff, new TMusicNote(0, dc16th));
    Append(staff, new TRestNote(dcEighth));
    staff.GroupImportedNotes(false);
    const int expected[] = {gsFirst, gsEnd, gsFirst, gsEnd, gsFirst, gsEnd, gsNone, gsFirst, gsEnd, gsNone};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(BeamAt(staff, i + 1), expected[i]) << i;

    // In 6/8 with compound beats the beat is a dotted quarter: three eighths to a beam.
    TMusicStaff compound;
    Append(compound, new TTimeSignatureData(6, 3));
    for (int i = 0; i < 6; ++i)
        Append(compound, new TMusicNote(0, dcEighth));
    compound.GroupImportedNotes(true);
    const int three[] = {gsFirst, gsMiddle, gsEnd, gsFirst, gsMiddle, gsEnd};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(BeamAt(compound, i + 2), three[i]) << i;
}

TEST(StaffTest, InsertingIntoABeamedGroupWidensIt) {
    TMusicStaff staff;
    for (int i = 0; i < 4; ++i) {
        auto* n = new TMusicNote(0, dcEighth);
        n->SetBeamState(i == 0 ? gsFirst : (i == 3 ? gsEnd : gsMiddle));
        Append(staff, n);
    }
    staff.InsertItemAndReformat(new TMusicNote(2, dcEighth), 3);
    const int widened[] = {gsFirst, gsMiddle, gsMiddle, gsMiddle, gsEnd};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(BeamAt(staff, i + 1), widened[i]) << i;
    // Beside the group, or with a stem direction of its own, a note stays out of it.
    staff.InsertItemAndReformat(new TMusicNote(2, dcEighth), 6);
    EXPECT_EQ(BeamAt(staff, 6), gsNone);
    auto* own = new TMusicNote(2, dcEighth);
    own->SetStemDirection(1);
    staff.InsertItemAndReformat(own, 2);
    EXPECT_EQ(BeamAt(staff, 2), gsNone);
    EXPECT_EQ(BeamAt(staff, 1), gsFirst);

    // Inserting at a time finds the item again and regroups it the same way.
    TMusicStaff timed;
    for (int i = 0; i < 2; ++i) {
        auto* n = new TMusicNote(0, dcEighth);
        n->SetBeamState(i == 0 ? gsFirst : gsEnd);
        Append(timed, n);
    }
    timed.InsertItemAtTimeAndReformat(new TMusicNote(1, dcEighth), 96);
    EXPECT_EQ(BeamAt(timed, 1), gsFirst);
    EXPECT_EQ(BeamAt(timed, 2), gsMiddle);
    EXPECT_EQ(BeamAt(timed, 3), gsEnd);
}

TEST(StaffTest, WalkToEndingCountsFromTheEnding) {
    TMusicStaff staff;
    Append(staff, new TMusicNote(0, dcHalf));
    Append(staff, new TSpecialEnding(1));
    Append(staff, new TMusicNote(0, dcQuarter));
    Append(staff, new TMusicNote(0, dcEighth));
    Append(staff, new TMusicNote(0, dcQuarter));
    EXPECT_EQ(staff.WalkToEnding(5), 192 + 96);
    EXPECT_EQ(staff.WalkToEnding(2), 0);
    // Without an ending the walk starts at item 0.
    TMusicStaff plain;
    Append(plain, new TMusicNote(0, dcHalf));
    Append(plain, new TMusicNote(0, dcQuarter));
    EXPECT_EQ(plain.WalkToEnding(2), 384);
}

}  // namespace
