#include <gtest/gtest.h>

#include <vector>

#include "score/base/play_state.h"
#include "score/expression_items.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

// Treble positions of the letters used below (stored sense).
constexpr int kF5 = -4;
constexpr int kC5 = -1;
constexpr int kB4 = 0;
constexpr int kC4 = 6;
constexpr int kD4 = 5;
constexpr int kE4 = 4;

void Append(TMusicStaff& staff, TNotatedItem* item) {
    staff.InsertItem(item, staff.GetLastIndex());
}

TMusicNote* NoteAt(const TMusicStaff& staff, int index) {
    TNotatedItem* item = staff.GetItem(index);
    return item && item->GetType() == ntNote ? static_cast<TMusicNote*>(item) : nullptr;
}

// Pitches of the notes and chords in staff order, played in a walk from the start.
std::vector<int> Pitches(TMusicStaff& staff) {
    std::vector<int> out;
    for (int i = 0; i < staff.GetItemCount(); ++i) {
        TNotatedItem* item = staff.GetItem(i);
        if (!item->IsNote()) continue;
        TStaffPlayState state;
        staff.BuildPlayStateAt(i, state);
        for (int k = 0; k < item->GetNoteCount(); ++k)
            out.push_back(item->GetNote(k)->GetMidiPitch(state));
    }
    return out;
}

// G major: F sharp, F natural, F (natural in force), bar, F.
void BuildGMajorBar(TMusicStaff& staff) {
    Append(staff, new TClefData(ctTreble));
    Append(staff, new TKeyData(1u << 5, 0, 6));
    Append(staff, new TMusicNote(kF5, dcQuarter, 0, acNone));
    Append(staff, new TMusicNote(kF5, dcQuarter, 0, acNatural));
    Append(staff, new TMusicNote(kF5, dcQuarter, 0, acNone));
    Append(staff, new TMusicNote(kF5, dcQuarter, 0, acNone));
    Append(staff, new TBarLineData(bsSingle, 1));
    Append(staff, new TMusicNote(kF5, dcQuarter, 0, acNone));
}

TEST(StaffAuditTest, AccidentalsMadeExplicitKeepThePitches) {
    TMusicStaff staff;
    BuildGMajorBar(staff);
    const std::vector<int> before = Pitches(staff);
    ASSERT_EQ(before, (std::vector<int>{78, 77, 77, 77, 78}));
    staff.MakeAccidentalsExplicit();
    EXPECT_EQ(NoteAt(staff, 3)->GetAccidental(), acSharp);
    EXPECT_EQ(NoteAt(staff, 4)->GetAccidental(), acNatural);
    EXPECT_EQ(NoteAt(staff, 5)->GetAccidental(), acNatural);
    EXPECT_EQ(NoteAt(staff, 8)->GetAccidental(), acSharp);
    EXPECT_EQ(Pitches(staff), before);
}

TEST(StaffAuditTest, AuditShowsOnlyTheNeededAccidentals) {
    TMusicStaff staff;
    BuildGMajorBar(staff);
    const std::vector<int> before = Pitches(staff);
    staff.AuditAccidentals();
    EXPECT_EQ(NoteAt(staff, 3)->GetAccidental(), acNone);     // the key's sharp
    EXPECT_EQ(NoteAt(staff, 4)->GetAccidental(), acNatural);  // cancels it
    EXPECT_EQ(NoteAt(staff, 5)->GetAccidental(), acNone);     // the natural is in force
    EXPECT_EQ(NoteAt(staff, 8)->GetAccidental(), acNone);     // the bar line restored the key
    EXPECT_EQ(Pitches(staff), before);
}

// Positions far outside the staff (a file may hold any signed byte) are audited like any other.
TEST(StaffAuditTest, FarPositionsAreAuditedLikeNearOnes) {
    for (int pos : {kF5, 120, 127, -128}) {
        TMusicStaff staff;
        Append(staff, new TClefData(ctTreble));
        Append(staff, new TMusicNote(pos, dcQuarter, 0, acSharp));
        Append(staff, new TMusicNote(pos, dcQuarter, 0, acSharp));
        Append(staff, new TMusicNote(pos, dcQuarter, 0, acNone));
        Append(staff, new TBarLineData(bsSingle, 1));
        Append(staff, new TMusicNote(pos, dcQuarter, 0, acNatural));
        const std::vector<int> before = Pitches(staff);
        staff.AuditAccidentals();
        EXPECT_EQ(NoteAt(staff, 2)->GetAccidental(), acSharp) << pos;
        EXPECT_EQ(NoteAt(staff, 3)->GetAccidental(), acNone) << pos;  // the sharp shown before holds
        EXPECT_EQ(NoteAt(staff, 4)->GetAccidental(), acNone) << pos;
        EXPECT_EQ(NoteAt(staff, 6)->GetAccidental(), acNone) << pos;  // natural in a fresh bar
        EXPECT_EQ(Pitches(staff), before) << pos;
    }
}

TEST(StaffAuditTest, TransposeMovesNotesKeysAndInstruments) {
    TMusicStaff staff;
    Append(staff, new TClefData(ctTreble));
    Append(staff, new TPatchData(nullptr));
    Append(staff, new TMusicNote(kC4, dcQuarter, 0, acNone));
    Append(staff, new TMusicNote(kD4, dcQuarter, 0, acNone));
    Append(staff, new TMusicNote(kE4, dcQuarter, 0, acNone));
    staff.Instrument.SetTranspose(3);
    EXPECT_EQ(staff.FindTransposeProblem(2, 0, 0), 0);
    staff.Transpose(2, 0, true);
    // The written notes move up a tone; the instrument's transposition takes it back, so they sound as
    // before (the patch item sets the transposition in force from its place on).
    EXPECT_EQ(Pitches(staff), (std::vector<int>{60, 62, 64}));
    EXPECT_EQ(NoteAt(staff, 3)->GetStaffPos(), kD4);
    EXPECT_EQ(NoteAt(staff, 4)->GetStaffPos(), kE4);
    EXPECT_EQ(NoteAt(staff, 5)->GetAccidental(), acSharp);
    EXPECT_EQ(staff.Instrument.GetTranspose(), 1);
    EXPECT_EQ(static_cast<TPatchData*>(staff.GetItem(2))->GetInstrument().GetTranspose(), -2);

    TMusicStaff plain;
    Append(plain, new TMusicNote(kC4, dcQuarter, 0, acNone));
    Append(plain, new TMusicNote(kE4, dcQuarter, 0, acNone));
    plain.Transpose(-1, -1, false);
    EXPECT_EQ(Pitches(plain), (std::vector<int>{59, 63}));
    EXPECT_EQ(NoteAt(plain, 1)->GetStaffPos(), kC4);  // C flat
    EXPECT_EQ(NoteAt(plain, 2)->GetStaffPos(), kE4);  // E flat
}

TEST(StaffAuditTest, RespellFollowsTheKey) {
    TMusicStaff staff;
    Append(staff, new TClefData(ctTreble));
    uint16_t sharps = 0, flats = 0;
    FifthsToKeyMasks(-6, sharps, flats);
    Append(staff, new TKeyData(sharps, flats, 4));
    Append(staff, new TMusicNote(kB4, dcQuarter, 0, acNatural));
    const std::vector<int> before = Pitches(staff);
    staff.RespellAllNotes();
    EXPECT_EQ(Pitches(staff), before);
    EXPECT_EQ(NoteAt(staff, 3)->GetStaffPos(), kC5);
    EXPECT_EQ(NoteAt(staff, 3)->GetAccidental(), acNone);  // C flat belongs to the key
}

TEST(StaffAuditTest, CloseClusters) {
    TMusicStaff staff;
    Append(staff, new TMusicNote(kC4));
    Append(staff, new TChordData(new TMusicNote(kC4, dcQuarter, 0, acNatural), new TMusicNote(kE4)));
    Append(staff, new TChordData(new TMusicNote(kC4, dcQuarter, 0, acNatural),
                                 new TMusicNote(kC4, dcQuarter, 0, acSharp)));
    EXPECT_EQ(staff.FindCloseCluster(0), 3);
    EXPECT_EQ(staff.FindCloseCluster(4), -1);
}

TEST(StaffAuditTest, BarLinesForImportedNotes) {
    TMusicStaff staff;
    for (int i = 0; i < 10; ++i)
        Append(staff, new TMusicNote(kB4, dcQuarter));
    staff.InsertBarLines(true);
    std::vector<int> bars;
    for (int i = 1; i < staff.GetLastIndex(); ++i) {
        if (staff.GetItem(i)->GetType() == ntBarLine) bars.push_back(i);
    }
    EXPECT_EQ(bars, (std::vector<int>{5, 10}));
    EXPECT_EQ(staff.GetItem(staff.GetLastIndex() - 1)->GetType(), ntRest);
    EXPECT_EQ(staff.GetItem(staff.GetLastIndex() - 1)->GetDuration(), 384);
    EXPECT_EQ(staff.GetDurationBetween(staff.GetLastIndex(), 0, 0), 3 * 768);

    TMusicStaff open;
    Append(open, new TMusicNote(kB4, dcHalf));
    Append(open, new TMusicNote(kB4, dcWhole));  // crosses the bar: cut and tied
    open.InsertBarLines(false);
    ASSERT_EQ(open.GetItemCount(), 6);
    EXPECT_EQ(open.GetItem(2)->GetDuration(), 384);
    EXPECT_TRUE(NoteAt(open, 2)->HasAttribute(naTie));
    EXPECT_EQ(open.GetItem(3)->GetType(), ntBarLine);
    EXPECT_EQ(open.GetItem(4)->GetDuration(), 384);
}

TEST(StaffAuditTest, BarLinesStopAtTheItemLimitAndKeepTheClosingBar) {
    // Dotted halves cut at every bar line: the staff fills up long before the notes run out.
    TMusicStaff staff;
    for (int i = 0; i < 20000; ++i)
        Append(staff, new TMusicNote(kB4, dcHalf, AttributeBit(naDotted)));
    staff.InsertBarLines(true);
    EXPECT_GE(staff.GetItemCount(), kStaffFullItems);
    EXPECT_LE(staff.GetItemCount(), kStaffMaxItems);
    EXPECT_EQ(staff.GetItem(0)->GetType(), ntBarLine);
    EXPECT_EQ(static_cast<TBarLineData*>(staff.GetLastItem())->GetStyle(), bsSectionClose);
    // Every bar up to the last inserted bar line holds 768 ticks; nothing was lost on the way.
    int t = 0, barStart = 0, notes = 0, total = 0;
    for (int i = 1; i < staff.GetLastIndex(); ++i) {
        const TNotatedItem* item = staff.GetItem(i);
        if (item->GetType() == ntBarLine) {
            EXPECT_EQ(t - barStart, 768) << i;
            barStart = t;
        }
        if (item->GetType() == ntNote && !static_cast<const TMusicNote*>(item)->HasAttribute(naTie)) ++notes;
        t += item->GetDuration();
        total += item->GetDuration();
    }
    EXPECT_EQ(notes, 20000);
    EXPECT_EQ(total, 20000 * 576);
}

TEST(StaffAuditTest, BarLinesAfterAMeterChangeAndAtATriplet) {
    TMusicStaff staff;
    Append(staff, new TMusicNote(kB4, dcHalf));
    Append(staff, new TTimeSignatureData(3, 2, 0));  // mid-bar: a bar line comes first
    for (int i = 0; i < 4; ++i)
        Append(staff, new TMusicNote(kB4, dcQuarter));
    Append(staff, new TBarLineData(bsSingle, 1));  // inside the second 3/4 bar: dropped
    Append(staff, new TMusicNote(kB4, dcHalf));
    Append(staff, new TMusicNote(kB4, dcHalf));
    auto* triplet = new TMusicNote(kB4, dcHalf);
    triplet->SetTripletState(gsFirst);
    Append(staff, triplet);  // crosses the bar: the pass ends here
    Append(staff, new TMusicNote(kB4, dcWhole));
    staff.InsertBarLines(true);
    std::vector<int> types;
    for (int i = 1; i < staff.GetLastIndex(); ++i)
        types.push_back(staff.GetItem(i)->GetType());
    // The bar line goes before the time signature; the single bar line inside the second bar goes.
    EXPECT_EQ(types, (std::vector<int>{ntNote, ntBarLine, ntTimeSignature, ntNote, ntNote, ntNote, ntBarLine,
                                       ntNote, ntNote, ntBarLine, ntNote, ntNote, ntNote}));
    EXPECT_EQ(staff.GetItem(staff.GetLastIndex() - 1)->GetDuration(), 768);  // left as it was
}

TEST(StaffAuditTest, SignaturesOnABarBoundaryStandAfterItsBarLine) {
    TMusicStaff staff;
    for (int i = 0; i < 4; ++i)
        Append(staff, new TMusicNote(kB4, dcQuarter));
    Append(staff, new TKeyData(0, 0x7F, 0));
    Append(staff, new TTimeSignatureData(3, 2, 0));
    for (int i = 0; i < 3; ++i)
        Append(staff, new TMusicNote(kB4, dcQuarter));
    staff.InsertBarLines(true);
    std::vector<int> types;
    for (int i = 1; i < staff.GetLastIndex(); ++i)
        types.push_back(staff.GetItem(i)->GetType());
    EXPECT_EQ(types, (std::vector<int>{ntNote, ntNote, ntNote, ntNote, ntBarLine, ntKey, ntTimeSignature,
                                       ntNote, ntNote, ntNote}));
}

TMusicNote* Tied(int pos, int accidental = acNone) {
    auto* note = new TMusicNote(pos, dcQuarter, 0, accidental);
    note->SetAttribute(naTie);
    return note;
}

TEST(StaffAuditTest, TiesThatNothingContinuesAreRemoved) {
    TMusicStaff staff;
    Append(staff, Tied(kB4));                                     // 1: continued by 3 over the bar line
    Append(staff, new TBarLineData(bsSingle, 1));                 // 2
    Append(staff, Tied(kB4));                                     // 3: a rest follows
    Append(staff, new TRestNote(dcQuarter, 0));                   // 4
    Append(staff, Tied(kC5, acSharp));                            // 5: C sharp to C natural
    Append(staff, new TMusicNote(kC5, dcQuarter, 0, acNatural));  // 6
    auto* grace = new TMusicNote(kE4, dcEighth, AttributeBit(naGrace));
    Append(staff, Tied(kE4));  // 7: continued past the grace note
    Append(staff, grace);      // 8
    Append(staff, new TChordData(new TMusicNote(kE4), new TMusicNote(kC4)));  // 9
    auto* chord = new TChordData(Tied(kE4), Tied(kC4));                       // 10: only E goes on
    chord->SetAttribute(naTie);
    Append(staff, chord);
    Append(staff, new TMusicNote(kE4));                 // 11
    auto* last = new TChordData(Tied(kE4), Tied(kD4));  // 12: the end of the staff follows
    last->SetAttribute(naTie);
    Append(staff, last);

    EXPECT_EQ(staff.AuditItemRange(), 5);
    EXPECT_TRUE(NoteAt(staff, 1)->HasAttribute(naTie));
    EXPECT_FALSE(NoteAt(staff, 3)->HasAttribute(naTie));
    EXPECT_FALSE(NoteAt(staff, 5)->HasAttribute(naTie));
    EXPECT_TRUE(NoteAt(staff, 7)->HasAttribute(naTie));
    EXPECT_TRUE(chord->HasAttribute(naTie));
    EXPECT_TRUE(chord->FindNoteAtStaffPos(kE4)->HasAttribute(naTie));
    EXPECT_FALSE(chord->FindNoteAtStaffPos(kC4)->HasAttribute(naTie));
    EXPECT_FALSE(last->HasAttribute(naTie));
    EXPECT_FALSE(last->GetNote(0)->HasAttribute(naTie));
    EXPECT_FALSE(last->GetNote(1)->HasAttribute(naTie));
    EXPECT_EQ(staff.AuditItemRange(), 0);  // nothing left to mend
}

TEST(StaffAuditTest, TieAuditKeepsToItsRangeAndReadsTheKey) {
    // In G major an F tied to an F sharp written without accidental is the same pitch.
    TMusicStaff staff;
    Append(staff, new TKeyData(1u << 5, 0, 6));
    Append(staff, Tied(kF5));                                   // 2
    Append(staff, new TMusicNote(kF5, dcQuarter, 0, acSharp));  // 3
    Append(staff, Tied(kB4));                                   // 4: outside the range
    Append(staff, new TRestNote(dcQuarter, 0));                 // 5
    Append(staff, Tied(kB4));                                   // 6: the range ends here; 7 is read
    Append(staff, new TRestNote(dcQuarter, 0));                 // 7
    EXPECT_EQ(staff.AuditItemRange(6, 6), 1);
    EXPECT_FALSE(NoteAt(staff, 6)->HasAttribute(naTie));
    EXPECT_TRUE(NoteAt(staff, 4)->HasAttribute(naTie));
    EXPECT_EQ(staff.AuditItemRange(0, 3), 0);
    EXPECT_TRUE(NoteAt(staff, 2)->HasAttribute(naTie));
    EXPECT_EQ(staff.AuditItemRange(), 1);
}

}  // namespace
