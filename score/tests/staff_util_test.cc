#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "score/check_error.h"
#include "score/expression_items.h"
#include "score/pitch_ticks.h"
#include "score/song_note.h"
#include "score/staff_util.h"
#include "score/structure_items.h"

namespace {

TEST(StaffUtilTest, ClefsAndSpelling) {
    EXPECT_EQ(ClefReferenceStep(ctTreble), 29);
    EXPECT_EQ(ClefReferenceStep(ctBass), 17);
    EXPECT_EQ(ClefReferenceStep(ctAlto), 23);
    EXPECT_EQ(ClefReferenceStep(ctTenor), 21);
    EXPECT_EQ(ClefReferenceStep(ctPercussion), 17);
    EXPECT_EQ(ClefReferenceStep(7), 29);

    int pos = 0, acc = 0;
    MidiNoteToStaffPos(ctTreble, 0, 60, pos, acc);
    EXPECT_EQ(pos, 6);
    EXPECT_EQ(acc, acNatural);
    MidiNoteToStaffPos(ctTreble, 0, 64, pos, acc);
    EXPECT_EQ(pos, 4);
    MidiNoteToStaffPos(ctTreble, 0, 61, pos, acc);
    EXPECT_EQ(pos, 6);
    EXPECT_EQ(acc, acSharp);
    MidiNoteToStaffPos(ctTreble, -1, 61, pos, acc);
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(acc, acFlat);
    MidiNoteToStaffPos(ctTreble, -1, 68, pos, acc);  // A flat
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(acc, acFlat);
    MidiNoteToStaffPos(ctTreble, -6, 59, pos, acc);  // C flat
    EXPECT_EQ(pos, 6);
    EXPECT_EQ(acc, acFlat);
    MidiNoteToStaffPos(ctTreble, -7, 64, pos, acc);  // F flat
    EXPECT_EQ(pos, 3);
    EXPECT_EQ(acc, acFlat);
    MidiNoteToStaffPos(ctTreble, 6, 65, pos, acc);  // E sharp
    EXPECT_EQ(pos, 4);
    EXPECT_EQ(acc, acSharp);
    MidiNoteToStaffPos(ctTreble, 7, 60, pos, acc);  // B sharp
    EXPECT_EQ(pos, 7);
    EXPECT_EQ(acc, acSharp);
    MidiNoteToStaffPos(ctBass, 0, 50, pos, acc);
    EXPECT_EQ(pos, 0);
    // Out-of-range notes keep their pitch class: 128 is a G sharp.
    MidiNoteToStaffPos(ctTreble, 0, 128, pos, acc);
    EXPECT_EQ(acc, acSharp);
}

TEST(StaffUtilTest, PitchNames) {
    char name[8];
    StaffUtil_PitchName(60, name);
    EXPECT_STREQ(name, "C 4");
    StaffUtil_PitchName(61, name);
    EXPECT_STREQ(name, "C#4");
    StaffUtil_PitchName(70, name);
    EXPECT_STREQ(name, "A#4");
    StaffUtil_PitchName(0, name);
    EXPECT_STREQ(name, "C -1");
    StaffUtil_PitchName(127, name);
    EXPECT_STREQ(name, "G 9");
    char list[128 * 8];
    const int used = StaffUtil_BuildPitchNameList(list);
    EXPECT_STREQ(list, "C -1");
    EXPECT_EQ(list[used - 1], 0);
    EXPECT_EQ(list[used - 2], 0);
    EXPECT_STREQ(list + used - 5, "G 9");
}

TEST(StaffUtilTest, SpacingAndTicks) {
    EXPECT_EQ(SymbolPairGap(acNatural, acFlat), 6);
    EXPECT_EQ(SymbolPairGap(acSharp, acSharp), 6);
    EXPECT_EQ(SymbolPairGap(acNatural, acNatural), 5);
    EXPECT_EQ(SymbolPairGap(acDoubleSharp, acDoubleSharp), 3);
    EXPECT_EQ(SymbolPairGap(acFlat, acSharp), 2 + 3);
    EXPECT_EQ(SymbolSideSpace(acDoubleFlat, 1), 4);
    EXPECT_EQ(MeasureTicks(4, 2), 768);
    EXPECT_EQ(MeasureTicks(6, 3), 576);
    EXPECT_EQ(MeasureTicks(0, 2), 192);
    EXPECT_EQ(BeatTicks(6, 3, true), 288);
    EXPECT_EQ(BeatTicks(6, 3, false), 96);
    EXPECT_EQ(BeatTicks(3, 3, true), 96);
    EXPECT_EQ(TimeSignatureBeatTicks(TTimeSignatureData(12, 3, 0), true), 288);
    EXPECT_EQ(DurationToTicks(6), 12);
    EXPECT_EQ(DurationToTicks(0), 768);
    EXPECT_EQ(DurationToTicks(2), 192);
}

TEST(StaffUtilTest, SetDurationFromTicks) {
    TMusicNote note;
    EXPECT_EQ(SetDurationFromTicks(note, 500, false), 384);
    EXPECT_EQ(note.GetDur(), dcHalf);
    EXPECT_EQ(SetDurationFromTicks(note, 500, true), 384);
    EXPECT_EQ(SetDurationFromTicks(note, 520, true), 512);
    EXPECT_EQ(note.GetDur(), dcWhole);
    EXPECT_EQ(note.GetTripletState(), gsFirst);
    EXPECT_EQ(SetDurationFromTicks(note, 200, false), 192);
    EXPECT_EQ(note.GetTripletState(), gsNone);
    EXPECT_EQ(SetDurationFromTicks(note, 5000, false), 1152);
    EXPECT_TRUE(note.IsDotted());
    EXPECT_EQ(SetDurationFromTicks(note, 300, false), 288);
    EXPECT_EQ(note.GetDur(), dcQuarter);
    EXPECT_TRUE(note.IsDotted());
    // Lengths below the shortest duration end at the sixty-fourth (or its triplet) instead of cycling.
    EXPECT_EQ(SetDurationFromTicks(note, 0, false), 12);
    EXPECT_EQ(SetDurationFromTicks(note, 5, true), 8);
    EXPECT_EQ(note.GetDur(), dc64th);

    TRestNote rest(dcWhole);
    rest.SetBarLength(1, dcWhole);
    EXPECT_EQ(SetDurationFromTicks(rest, 96, false), 96);
    EXPECT_FALSE(rest.HasBarLength());
    EXPECT_EQ(rest.GetDuration(), 96);

    TChordData chord(new TMusicNote(2), new TMusicNote(-2));
    EXPECT_EQ(SetDurationFromTicks(chord, 576, false), 576);
    EXPECT_EQ(chord.GetDur(), dcHalf);
    EXPECT_TRUE(chord.IsDotted());
    EXPECT_EQ(chord.GetNote(0)->GetDur(), dcHalf);
    EXPECT_TRUE(chord.GetNote(1)->IsDotted());
    EXPECT_EQ(chord.GetDuration(), 576);
}

TEST(StaffUtilTest, TiesAndContinuations) {
    TMusicNote note(3, dcHalf, 0, acSharp);
    note.SetStemSetting(2);
    note.SetNotehead(2);
    EXPECT_FALSE(HasTie(&note));
    std::unique_ptr<TNotatedItem> next(MakeTiedContinuation(note));
    ASSERT_EQ(next->GetType(), ntNote);
    auto* cont = static_cast<TMusicNote*>(next.get());
    EXPECT_EQ(cont->GetStaffPos(), 3);
    EXPECT_EQ(cont->GetAccidental(), acSharp);
    EXPECT_EQ(cont->GetStemSetting(), 2);
    EXPECT_EQ(cont->GetNotehead(), 2);
    EXPECT_FALSE(cont->HasAttribute(naTie));
    EXPECT_TRUE(note.HasAttribute(naTie));
    EXPECT_TRUE(HasTie(&note));

    TChordData chord(new TMusicNote(4), new TMusicNote(0));
    chord.AddNote(new TMusicNote(-3));
    std::unique_ptr<TNotatedItem> chordNext(MakeTiedContinuation(chord));
    ASSERT_EQ(chordNext->GetType(), ntChord);
    EXPECT_EQ(chordNext->GetNoteCount(), 3);
    EXPECT_TRUE(chord.HasAttribute(naTie));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(chord.GetNote(i)->HasAttribute(naTie));
    EXPECT_TRUE(HasTie(&chord));

    TRestNote rest;
    rest.SetStemSetting(1);
    std::unique_ptr<TNotatedItem> restNext(MakeTiedContinuation(rest));
    EXPECT_EQ(restNext->GetType(), ntRest);
    EXPECT_EQ(static_cast<TRestNote*>(restNext.get())->GetStemSetting(), 1);

    TClefData clef;
    try {
        MakeTiedContinuation(clef);
        FAIL() << "a clef has no continuation";
    } catch (const qsm::TXCheck& e) {
        EXPECT_STREQ(e.what(), "Bad Notation");
        EXPECT_EQ(e.GetModule(), "STAFFUTL");
    }
    EXPECT_FALSE(HasTie(&clef));
    EXPECT_FALSE(HasTie(nullptr));

    TChordData two(new TMusicNote(1), new TMusicNote(-1));
    TieChordNotes(two);
    EXPECT_TRUE(two.HasAttribute(naTie));
    EXPECT_TRUE(two.GetNote(1)->HasAttribute(naTie));
}

}  // namespace
