#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "score/base/play_state.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

TMusicNote* Note(int pos, int stem = 0, int dur = dcQuarter, int acc = acNone) {
    auto* n = new TMusicNote(pos, dur, 0, acc);
    n->SetStemSetting(stem);
    return n;
}

TEST(SongNoteTest, DefaultsAndTypes) {
    TMusicNote note;
    EXPECT_EQ(note.GetType(), ntNote);
    EXPECT_EQ(note.GetStaffPos(), 0);
    EXPECT_EQ(note.GetDur(), dcQuarter);
    EXPECT_EQ(note.GetAccidental(), acNone);
    EXPECT_EQ(note.GetVisibility(), 0);
    EXPECT_EQ(note.GetColor(), 0);
    EXPECT_TRUE(note.IsTieDownward());
    EXPECT_TRUE(note.IsNote() && note.IsSongNote() && note.HasNotes());
    EXPECT_FALSE(note.IsRest());
    EXPECT_EQ(note.GetNote(0), &note);
    EXPECT_EQ(note.GetNote(7), &note);

    TRestNote rest;
    EXPECT_EQ(rest.GetType(), ntRest);
    EXPECT_TRUE(rest.IsRest());
    EXPECT_EQ(rest.GetRestNote(), &rest);
    EXPECT_EQ(rest.GetBarLength(), 768);
    EXPECT_EQ(rest.GetNote(0), nullptr);

    TRestChord restChord;
    EXPECT_EQ(restChord.GetType(), ntRestChord);
    EXPECT_FALSE(restChord.HasNotes());
    EXPECT_EQ(restChord.GetNoteCount(), 0);

    TChordData chord;
    EXPECT_EQ(chord.GetType(), ntChord);
    EXPECT_EQ(chord.GetNoteCount(), 0);
    EXPECT_EQ(chord.GetNote(0), nullptr);
    EXPECT_EQ(chord.GetNote(-1), nullptr);
}

TEST(SongNoteTest, VisibilityAndColorNibbles) {
    TMusicNote note;
    note.SetVisibility(5);
    note.SetColor(9);
    EXPECT_EQ(note.GetColor(), 9);
    EXPECT_EQ(note.GetVisibility(), 5);
    note.SetVisibility(0x13);
    EXPECT_EQ(note.GetVisibility(), 3);
    EXPECT_EQ(note.GetColor(), 9);
}

TEST(SongNoteTest, AttributeExclusions) {
    TMusicNote note;
    note.SetAttribute(naDblDotted);
    note.SetAttribute(naDotted);
    EXPECT_TRUE(note.IsDotted());
    EXPECT_FALSE(note.IsDblDotted());

    TMusicNote b;
    b.SetAttribute(naAccent);
    b.SetAttribute(naStaccato);
    b.SetAttribute(naTenuto);
    EXPECT_TRUE(b.HasAttribute(naTenuto));
    EXPECT_FALSE(b.HasAttribute(naStaccato));
    EXPECT_TRUE(b.HasAttribute(naAccent));

    TMusicNote c;
    c.SetAttribute(naTenuto);
    c.SetAttribute(naStaccato);
    c.SetAttribute(naMarcato);
    EXPECT_FALSE(c.HasAttribute(naTenuto));
    c.SetAttribute(naAccent);
    EXPECT_FALSE(c.HasAttribute(naMarcato));
    c.SetAttribute(naAttribute6);
    c.SetAttribute(naAttribute7);
    EXPECT_FALSE(c.HasAttribute(naAttribute6));
    EXPECT_EQ(c.CountArticulations(), 2);
    c.SetAttribute(naCrescendo);
    EXPECT_EQ(c.GetHairpin(), 1);
    c.SetAttribute(naDiminuendo);
    EXPECT_EQ(c.GetHairpin(), 2);
}

TEST(SongNoteTest, NominalTicksAndDurations) {
    EXPECT_EQ(NominalTicks(dcQuarter, true, false, false), 288);
    EXPECT_EQ(NominalTicks(dcQuarter, false, true, false), 336);
    EXPECT_EQ(NominalTicks(dcEighth, false, false, true), 64);
    EXPECT_EQ(NominalTicks(dcQuarter, true, false, true), 192);
    TMusicNote grace(0, dcEighth, AttributeBit(naGrace));
    EXPECT_EQ(grace.GetDuration(), 0);
    EXPECT_EQ(grace.GetNominalTicks(), 96);
    TRestNote rest(dcWhole);
    rest.SetBarLength(3, dcQuarter);
    EXPECT_EQ(rest.GetDuration(), 576);
    rest.SetBarLength(2, 9);
    EXPECT_EQ(rest.GetDuration(), 384);
    rest.ClearBarLength();
    EXPECT_EQ(rest.GetDuration(), 768);
}

TEST(SongNoteTest, StemDirections) {
    EXPECT_EQ(TMusicNote(0).GetStemDirSign(), -1);
    EXPECT_EQ(TMusicNote(1).GetStemDirSign(), 1);
    EXPECT_EQ(TMusicNote(-3, dcEighth, AttributeBit(naGrace)).GetStemDirSign(), 1);
    TMusicNote n(5);
    n.SetStemDirection(-4);
    EXPECT_EQ(n.GetStemSetting(), 2);
    EXPECT_EQ(n.GetStemDirSign(), -1);
}

TEST(SongNoteTest, RestFieldLimits) {
    TRestNote rest;
    rest.SetVertOffset(3000);
    EXPECT_EQ(rest.GetVertOffset(), 2001);
    rest.SetVertOffset(-2500);
    EXPECT_EQ(rest.GetVertOffset(), -2001);
    rest.SetVertOffset(-7);
    EXPECT_EQ(rest.GetVertOffset(), -7);
    rest.SetHideRest(true);
    EXPECT_EQ(rest.GetVertOffset(), 0);
    EXPECT_FALSE(rest.IsHiddenInRestChord());
    TRestChord rc;
    rc.SetHideRest(true);
    EXPECT_TRUE(rc.IsHiddenInRestChord());
    EXPECT_EQ(TRestNote(dcEighth).GetStaffPos(), -1);
    EXPECT_EQ(TRestNote(dc64th).GetStaffPos(), 3);
    EXPECT_TRUE(TRestNote(dcWhole).IsWholeBarRestCandidate());
    EXPECT_FALSE(TRestNote(dcWhole, AttributeBit(naDotted)).IsWholeBarRestCandidate());
}

TEST(SongNoteTest, StemLengthAndSymbols) {
    TMusicNote n(0, dcEighth);
    n.SetStemLength(0);
    EXPECT_FALSE(n.HasStemLength());
    EXPECT_EQ(n.GetStemLength(), 0);
    n.SetStemLength(12);
    EXPECT_EQ(n.GetStemLength(), 12);
    EXPECT_TRUE(n.HasCustomStem());
    EXPECT_EQ(n.GetFlagCount(), 1);
    n.SetAccidental(acDoubleFlat);
    EXPECT_EQ(n.GetAccidentalSymbolCode(), 43);
    n.SetNotehead(7);
    EXPECT_EQ(n.GetNoteheadSymbolCode(), 60);
    n.SetNotehead(4);
    EXPECT_EQ(n.GetNoteheadSymbolCode(), 54);
    n.SetNotehead(13);
    EXPECT_EQ(n.GetNoteheadSymbolCode(), 72);
    n.SetDuration(dcHalf);
    EXPECT_EQ(n.GetNoteheadSymbolCode(), 71);
    n.SetNotehead(0);
    EXPECT_EQ(n.GetNoteheadSymbolCode(), 6);
}

TEST(SongNoteTest, CopyFromCopiesDeclaredFieldsOnly) {
    TMusicNote src(3, dcEighth, AttributeBit(naAccent), acSharp);
    src.SetMuted(true);
    src.SetBeamState(gsMiddle);
    src.SetTieContinued(true);
    src.SetColor(4);
    TMusicNote dst(-2, dcHalf, 0, acFlat);
    dst.CopyFrom(src);
    EXPECT_EQ(dst.GetDur(), dcEighth);
    EXPECT_TRUE(dst.HasAttribute(naAccent));
    EXPECT_TRUE(dst.IsMuted());
    EXPECT_EQ(dst.GetBeamState(), gsMiddle);
    EXPECT_EQ(dst.GetColor(), 4);
    EXPECT_EQ(dst.GetStaffPos(), -2);
    EXPECT_EQ(dst.GetAccidental(), acFlat);
    EXPECT_FALSE(dst.IsTieContinued());

    TClefData clef;
    clef.SetColor(2);
    TMusicNote n2(0, dcHalf);
    n2.CopyFrom(clef);
    EXPECT_EQ(n2.GetColor(), 2);
    EXPECT_EQ(n2.GetDur(), dcHalf);

    TRestNote rest;
    rest.SetXNoteSpace(3);
    TRestNote from(dcWhole);
    from.SetBarLength(2, dcHalf);
    from.SetXNoteSpace(2);
    rest.CopyFrom(from);
    EXPECT_EQ(rest.GetXNoteSpace(), 0);
    EXPECT_TRUE(rest.HasBarLength());
    EXPECT_EQ(rest.GetBarLength(), 768);
}

TEST(SongNoteTest, MidiPitchUnderClefsAndAccidentals) {
    TStaffPlayState state;
    TMusicNote b(0);
    EXPECT_EQ(b.GetMidiPitch(state), 71);
    EXPECT_EQ(TMusicNote(1).GetMidiPitch(state), 69);
    EXPECT_EQ(TMusicNote(6).GetMidiPitch(state), 60);
    state.SetClef(ctBass, osNone);
    EXPECT_EQ(TMusicNote(0).GetMidiPitch(state), 50);
    state.SetClef(ctTreble, osOctaveUp);
    EXPECT_EQ(TMusicNote(0).GetMidiPitch(state), 83);
    state.SetClef(ctTreble, osOctaveDown);
    EXPECT_EQ(TMusicNote(0).GetMidiPitch(state), 59);
    state.SetClef(ctTreble, osNone);
    // F5 (the top line, position -4) under a key with F sharp, then with a written natural.
    uint16_t fSharp = 1u << 5;
    state.SetKeySignature(0, fSharp, 3);
    EXPECT_EQ(TMusicNote(-4).GetMidiPitch(state), 78);
    EXPECT_EQ(TMusicNote(-4, dcQuarter, 0, acNatural).GetMidiPitch(state), 77);
    state.SetTranspose(-2);
    EXPECT_EQ(TMusicNote(0).GetMidiPitch(state), 69);
    // Extreme positions fold into range keeping the pitch class.
    state.SetTranspose(0);
    const int low = TMusicNote(100).GetMidiPitch(state);
    EXPECT_GE(low, 0);
    EXPECT_LE(low, 127);
    EXPECT_EQ(FoldMidiPitch(-12), 12);
    EXPECT_EQ(FoldMidiPitch(-1), 11);
    EXPECT_EQ(FoldMidiPitch(128), 116);
}

TEST(SongNoteTest, TransposeAndRespell) {
    TStaffPlayState state;
    TMusicNote b(0);
    EXPECT_TRUE(b.Transpose(state, 1, -1, false));
    EXPECT_EQ(b.GetStaffPos(), -1);
    EXPECT_EQ(b.GetAccidental(), acNatural);
    EXPECT_EQ(b.GetMidiPitch(state), 72);

    TMusicNote trial(0);
    EXPECT_TRUE(trial.Transpose(state, 2, -1, true));
    EXPECT_EQ(trial.GetStaffPos(), 0);
    EXPECT_EQ(trial.GetAccidental(), acNone);
    // Three semitones over one letter needs a triple accidental: the note is spelled from the pitch.
    TMusicNote c(6, dcQuarter, 0, acNatural);
    EXPECT_FALSE(c.Transpose(state, 5, -1, false));
    EXPECT_EQ(c.GetMidiPitch(state), 65);

    // Key of six flats: B is spelled C flat.
    uint16_t sharps = 0, flats = 0;
    FifthsToKeyMasks(-6, sharps, flats);
    state.SetKeySignature(flats, sharps, 6);
    TMusicNote n(7, dcQuarter, 0, acNatural);  // B3
    ASSERT_EQ(n.GetMidiPitch(state), 59);
    n.RespellFromPitch(state);
    EXPECT_EQ(n.GetStaffPos(), 6);
    EXPECT_EQ(n.GetAccidental(), acFlat);
}

TEST(SongNoteTest, EnharmonicShift) {
    TMusicNote n(6, dcQuarter, 0, acSharp);  // C sharp in treble
    EXPECT_TRUE(EnharmonicShift(n, ctTreble, 1));
    EXPECT_EQ(n.GetStaffPos(), 5);  // D flat
    EXPECT_EQ(n.GetAccidental(), acFlat);
    TMusicNote e(4, dcQuarter, 0, acNatural);  // E: up gives F flat
    EXPECT_TRUE(EnharmonicShift(e, ctTreble, 1));
    EXPECT_EQ(e.GetAccidental(), acFlat);
    TMusicNote bb(7, dcQuarter, 0, acDoubleFlat);
    EXPECT_FALSE(EnharmonicShift(bb, ctTreble, 1));
    TMusicNote none(0);
    EXPECT_FALSE(EnharmonicShift(none, ctTreble, 1));
}

TEST(ChordTest, MembersStayOrderedAndRefuseSameSideUnison) {
    TChordData chord(Note(2), Note(-2));
    ASSERT_EQ(chord.GetNoteCount(), 2);
    EXPECT_EQ(chord.GetNote(0)->GetStaffPos(), 2);
    EXPECT_EQ(chord.GetNote(1)->GetStaffPos(), -2);
    EXPECT_TRUE(chord.GetNote(0)->IsChordMember());
    EXPECT_FALSE(chord.IsChordMember());
    TMusicNote* middle = Note(0);
    EXPECT_TRUE(chord.AddNote(middle));
    EXPECT_EQ(chord.GetNote(1), middle);
    EXPECT_EQ(chord.FindNoteAtStaffPos(0), middle);
    EXPECT_EQ(chord.FindNoteAtStaffPos(1), nullptr);
    EXPECT_EQ(chord.GetMinStaffPos(), -2);
    EXPECT_EQ(chord.GetMaxStaffPos(), 2);

    // A unison with the middle member on the same stem side is refused and stays the caller's.
    std::unique_ptr<TMusicNote> again(Note(0, chord.GetStemSetting() ? chord.GetStemSetting() : 2));
    EXPECT_FALSE(chord.AddNote(again.get()));
    EXPECT_EQ(chord.GetNoteCount(), 3);
    EXPECT_FALSE(again->IsChordMember());

    EXPECT_TRUE(chord.RemoveNote(middle));
    EXPECT_FALSE(middle->IsChordMember());
    EXPECT_FALSE(chord.RemoveNote(middle));
    delete middle;
}

// Short and long member lists are sorted by different means; both give the order of one stable sort
// (falling position, down stems before up stems at one position, equal members as they came), and the
// repeated members go after the sort.
TEST(ChordTest, SortAndRepeatedMembersOfShortAndLongChords) {
    std::mt19937 random(25);
    for (int count : {2, 5, 16, 17, 40}) {
        SCOPED_TRACE(count);
        TChordData chord;
        std::vector<TMusicNote*> expected;
        for (int i = 0; i < count; ++i) {
            // The mark number tells equal members apart.
            TMusicNote* n = Note(static_cast<int>(random() % 5) - 2, static_cast<int>(random() % 3));
            n->SetMarkNumber(i % 16);
            chord.AppendNoteRaw(n);
            expected.push_back(n);
        }
        std::stable_sort(expected.begin(), expected.end(), [](const TMusicNote* a, const TMusicNote* b) {
            if (a->GetStaffPos() != b->GetStaffPos()) return a->GetStaffPos() > b->GetStaffPos();
            return !a->IsStemUp() && b->IsStemUp();
        });
        chord.SortNotes();
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(chord.GetNote(i), expected[static_cast<size_t>(i)]);

        std::vector<TMusicNote*> kept;
        for (TMusicNote* n : expected) {
            if (kept.empty() || n->GetStaffPos() != kept.back()->GetStaffPos() ||
                n->GetStemSetting() != kept.back()->GetStemSetting())
                kept.push_back(n);
        }
        chord.DeleteRepeatedMembers();
        ASSERT_EQ(chord.GetNoteCount(), static_cast<int>(kept.size()));
        for (size_t i = 0; i < kept.size(); ++i)
            EXPECT_EQ(chord.GetNote(static_cast<int>(i)), kept[i]);
    }
}

TEST(ChordTest, SecondsLayOutInTwoColumns) {
    TChordData up(Note(3, 1), Note(2, 1));
    ASSERT_EQ(up.GetNoteCount(), 2);
    EXPECT_EQ(up.GetNote(0)->GetHeadColumn(), 0);
    EXPECT_EQ(up.GetNote(1)->GetHeadColumn(), 1);
    EXPECT_EQ(up.GetChordLayoutSize(), 2);
    EXPECT_TRUE(up.HasWideLayout(0));

    TChordData down(Note(-3, 2), Note(-2, 2));
    ASSERT_EQ(down.GetNoteCount(), 2);
    EXPECT_EQ(down.GetNote(0)->GetStaffPos(), -2);
    EXPECT_EQ(down.GetNote(0)->GetHeadColumn(), 0);
    EXPECT_EQ(down.GetNote(1)->GetHeadColumn(), 1);
    EXPECT_EQ(down.GetChordLayoutSize(), 2);

    TChordData wide(Note(4), Note(0));
    EXPECT_EQ(wide.GetChordLayoutSize(), 1);
    EXPECT_FALSE(wide.HasWideLayout(0));
}

TEST(ChordTest, SyncDerivesChordFromMembers) {
    auto* low = Note(4, 0, dcHalf);
    low->SetAttribute(naTie);
    auto* high = Note(-1, 0, dcHalf);
    TChordData chord(low, high);
    chord.SetColor(3);
    chord.SetAttribute(naAccent);
    chord.SyncNotes();
    EXPECT_EQ(chord.GetDur(), dcHalf);
    EXPECT_TRUE(chord.HasAttribute(naTie));
    EXPECT_EQ(low->GetColor(), 0);
    EXPECT_EQ(chord.GetStemDirSign(), 1);  // the lowest note lies below the middle line
    EXPECT_EQ(low->GetStemSetting(), 1);
    EXPECT_EQ(high->GetStemSetting(), 1);
    EXPECT_TRUE(low->HasAttribute(naAccent));
    EXPECT_TRUE(chord.GetStaffPos() >= -1 && chord.GetStaffPos() <= 4);
    // A single tie on an up-stem chord: the line is the top member, so the lower member's tie goes down.
    EXPECT_TRUE(low->IsTieDownward());

    chord.SetBeamState(gsFirst);
    EXPECT_EQ(low->GetBeamState(), gsFirst);
    EXPECT_EQ(chord.GetGroupStateMask(), (1 << gsFirst) | (1 << gsNone));
}

TEST(ChordTest, SplitStemsAndSides) {
    TChordData chord(Note(3, 0, dcQuarter), Note(-3, 0, dcQuarter));
    // A half note does not fit the quarter chord: it goes to the other stem side.
    TMusicNote* half = Note(5, 0, dcHalf);
    ASSERT_TRUE(chord.AddNote(half));
    EXPECT_TRUE(chord.HasSplitStems());
    EXPECT_TRUE(chord.HasSplitDurations());
    EXPECT_EQ(half->GetStemSetting(), 2);
    EXPECT_EQ(chord.FindStemSplitIndex(-1), 0);
    EXPECT_EQ(chord.FindStemSplitIndex(1), 1);
    // An eighth fits neither side.
    std::unique_ptr<TMusicNote> eighth(Note(0, 0, dcEighth));
    EXPECT_FALSE(chord.AddNote(eighth.get()));
    EXPECT_EQ(chord.GetNoteCount(), 3);
}

TEST(ChordTest, TransposeAllMembers) {
    TStaffPlayState state;
    TChordData chord(Note(6, 0, dcQuarter, acNatural), Note(4, 0, dcQuarter, acNatural));  // C4 E4
    EXPECT_TRUE(chord.Transpose(state, 2, -1, false));
    EXPECT_EQ(chord.GetNote(0)->GetMidiPitch(state), 62);
    EXPECT_EQ(chord.GetNote(1)->GetMidiPitch(state), 66);
    EXPECT_EQ(chord.GetNote(0)->GetStaffPos(), 5);
}

TEST(RestChordTest, AddAndRemoveNotes) {
    TRestChord rc(dcQuarter);
    TMusicNote* a = Note(-2);
    ASSERT_TRUE(rc.AddNote(a));
    EXPECT_EQ(rc.GetPart(), a);
    EXPECT_TRUE(a->IsRestChordPart());
    EXPECT_TRUE(a->HasArticulationsOnStem());
    EXPECT_NE(a->GetStemSetting(), rc.GetStemSetting());
    EXPECT_TRUE(rc.HasNotes());
    EXPECT_TRUE(rc.HasSplitStems());

    // Shorter than the rest: refused.
    std::unique_ptr<TMusicNote> shorter(Note(1, 0, dcEighth));
    EXPECT_FALSE(rc.AddNote(shorter.get()));

    TMusicNote* b = Note(-4, a->GetStemSetting());
    ASSERT_TRUE(rc.AddNote(b));
    ASSERT_EQ(rc.GetPart()->GetType(), ntChord);
    EXPECT_EQ(rc.GetNoteCount(), 2);

    EXPECT_TRUE(rc.RemoveNote(b));
    delete b;
    EXPECT_EQ(rc.GetPart(), a);
    EXPECT_EQ(rc.GetPart()->GetType(), ntNote);
    EXPECT_FALSE(a->IsChordMember());
    EXPECT_TRUE(rc.RemoveNote(a));
    delete a;
    EXPECT_FALSE(rc.HasNotes());
}

TEST(RestChordTest, RefusedSecondNoteLeavesPartInPlace) {
    TRestChord rc(dcQuarter);
    TMusicNote* a = Note(-2);
    ASSERT_TRUE(rc.AddNote(a));
    const int stem = a->GetStemSetting();
    std::unique_ptr<TMusicNote> clash(Note(-2, stem));
    EXPECT_FALSE(rc.AddNote(clash.get()));
    EXPECT_EQ(rc.GetPart(), a);
    EXPECT_FALSE(a->IsChordMember());
    EXPECT_EQ(a->GetStemSetting(), stem);
    EXPECT_FALSE(clash->IsRestChordPart());
}

TEST(RestChordTest, SyncMovesArticulationsToThePart) {
    TRestChord rc(dcHalf);
    TMusicNote* a = Note(-2, 0, dcHalf);
    ASSERT_TRUE(rc.AddNote(a));
    rc.SetAttribute(naStaccato);
    rc.SetAttribute(naTie);
    rc.SetBarLength(1, dcWhole);
    rc.SyncNotes();
    EXPECT_FALSE(rc.HasAttribute(naStaccato));
    EXPECT_TRUE(rc.HasAttribute(naTie));
    EXPECT_FALSE(rc.HasBarLength());
    EXPECT_TRUE(a->HasAttribute(naStaccato));
    EXPECT_EQ(a->GetStemDirSign(), -rc.GetStemDirSign());
}

// Every field of a note, the computed ones included.
std::string DescribeNote(const TMusicNote& n) {
    std::string out;
    for (int v : {n.GetStaffPos(),
                  int{n.GetFlagsByte()},
                  int{n.GetAttributes()},
                  n.GetMarkNumber(),
                  n.GetXAccSpace(),
                  n.GetXNoteSpace(),
                  n.GetDur(),
                  n.GetNotehead(),
                  n.GetStemSetting(),
                  n.GetBeamState(),
                  n.GetTripletState(),
                  n.GetLyricMode(),
                  int{n.IsSlurDownward()},
                  int{n.IsRestChordPart()},
                  int{n.IsChordMember()},
                  int{n.IsSlurContinued()},
                  int{n.IsTieContinued()},
                  int{n.IsUnderOpenChord()},
                  n.GetAccidental(),
                  int{n.HasAutomaticMark()},
                  int{n.IsTieDownward()},
                  int{n.IsMuted()},
                  int{n.HasNoLegerLines()},
                  int{n.HasArticulationsOnStem()},
                  n.GetStemLengthField(),
                  n.GetHeadColumn()}) {
        out += std::to_string(v);
        out += ',';
    }
    return out;
}

std::string DescribeChord(const TChordData& chord) {
    std::string out = DescribeNote(chord) + "w" + std::to_string(chord.GetWideFlags()) + ":";
    for (int i = 0; i < chord.GetNoteCount(); ++i)
        out += " [" + DescribeNote(*chord.GetNote(i)) + "]";
    return out;
}

// A note with random values in every field the chord reads, on a few positions so that seconds, unisons and
// refusals come up often.
TMusicNote* RandomNote(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto* n = new TMusicNote(pick(11) - 5, pick(10) < 7 ? dcQuarter + pick(2) : pick(7), 0, pick(6));
    for (int bit : {naAccent, naDotted, naStaccato, naTie, naSlur, naTenuto, naDblDotted, naGrace, naMarcato,
                    naStaccatissimo, naCrescendo}) {
        if (pick(bit == naGrace ? 12 : 5) == 0) n->SetAttribute(bit);
    }
    n->SetStemSetting(pick(3));
    if (pick(4) == 0) n->TSongNote::SetBeamState(pick(4));
    if (pick(5) == 0) n->TSongNote::SetTripletState(pick(4));
    if (pick(4) == 0) n->SetTieDirection(pick(3));
    if (pick(4) == 0) n->SetSlurDirection(pick(3));
    if (pick(4) == 0) n->SetTieContinued(true);
    if (pick(6) == 0) n->SetStemLength(pick(8));
    if (pick(6) == 0) n->SetArticulationsOnStem(true);
    if (pick(6) == 0) n->SetMuted(true);
    if (pick(6) == 0) n->SetVisibility(pick(4));
    if (pick(6) == 0) n->SetLyricMode(pick(3));
    if (pick(6) == 0) n->SetXNoteSpace(pick(4));
    return n;
}

TMusicNote* CopyOf(const TMusicNote& note) {
    auto* copy = new TMusicNote();
    copy->AssignNote(note);
    return copy;
}

// Building a chord with one call for all its notes gives the chord that adding them one by one gives: the
// same members in the same order with the same stems, copied accidentals, tie marks and head columns, and the
// same notes refused. Some chords start with members and chord settings changed since their last sync.
TEST(ChordTest, AddingNotesAtOnceEqualsAddingThemOneByOne) {
    std::mt19937 rng(20261209);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    int refusals = 0, splits = 0, wide = 0;
    for (int round = 0; round < 20000; ++round) {
        TChordData single;
        TChordData bulk;
        const int before = pick(3);
        for (int i = 0; i < before; ++i) {
            std::unique_ptr<TMusicNote> a(RandomNote(rng));
            std::unique_ptr<TMusicNote> b(CopyOf(*a));
            if (single.AddNote(a.get())) a.release();
            TMusicNote* list[1] = {b.get()};
            if (bulk.AddNotes(list, 1) == 1) b.release();
        }
        if (pick(2) == 0) {
            // Chord settings changed without a sync.
            for (TChordData* c : {&single, &bulk}) {
                std::mt19937 same(static_cast<unsigned>(round));
                c->SetStemSetting(static_cast<int>(same() % 3));
                if (same() % 2) c->SetAttribute(naStaccato);
                c->SetTieDirection(static_cast<int>(same() % 3));
                c->TSongNote::SetTripletState(static_cast<int>(same() % 4));
                c->SetVisibility(static_cast<int>(same() % 4));
                if (same() % 3 == 0) c->SetAttribute(naGrace);
            }
        }
        ASSERT_EQ(DescribeChord(single), DescribeChord(bulk));

        const int count = 1 + pick(6);
        std::vector<TMusicNote*> notes, copies;
        for (int i = 0; i < count; ++i) {
            notes.push_back(RandomNote(rng));
            copies.push_back(CopyOf(*notes.back()));
        }
        std::vector<bool> taken;
        for (TMusicNote* n : notes)
            taken.push_back(single.AddNote(n));
        const int added = bulk.AddNotes(copies.data(), count);
        int takenCount = 0;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(taken[static_cast<size_t>(i)], copies[static_cast<size_t>(i)] == nullptr) << round;
            if (taken[static_cast<size_t>(i)]) {
                ++takenCount;
            } else {
                EXPECT_EQ(DescribeNote(*notes[static_cast<size_t>(i)]),
                          DescribeNote(*copies[static_cast<size_t>(i)]));
                delete notes[static_cast<size_t>(i)];
                delete copies[static_cast<size_t>(i)];
                ++refusals;
            }
        }
        EXPECT_EQ(added, takenCount);
        ASSERT_EQ(DescribeChord(single), DescribeChord(bulk)) << "round " << round;
        splits += single.HasSplitStems() ? 1 : 0;
        wide += single.GetChordLayoutSize() > 1 ? 1 : 0;
    }
    // The rounds reach refusals, split stems and chords laid out in two columns.
    EXPECT_GT(refusals, 1000);
    EXPECT_GT(splits, 1000);
    EXPECT_GT(wide, 1000);
}

// The notes of one chord line are copies of one note that differ in position, accidental, head, tie and mark:
// such lists, given to an empty chord at once, give the chord of adding them one by one. Some lists share a
// position or a length change, which takes the general way. A chord built without its last sync and then
// reset to the template and synced equals one built in full and then reset and synced.
TEST(ChordTest, CopiesOfOneNoteAddedAtOnceEqualAddingThemOneByOne) {
    std::mt19937 rng(91220261);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    int uniform = 0, splits = 0, wide = 0, ties = 0;
    for (int round = 0; round < 20000; ++round) {
        std::unique_ptr<TMusicNote> templ(RandomNote(rng));
        TChordData single;
        TChordData bulk;
        TChordData deferred;
        if (pick(2) == 0) {
            // The chord takes the template's settings first, as the text reader does.
            single.CopyFrom(*templ);
            bulk.CopyFrom(*templ);
            deferred.CopyFrom(*templ);
        }
        const int count = 2 + pick(5);
        const bool mixed = pick(8) == 0;
        std::vector<TMusicNote*> notes, copies, others;
        std::vector<int> used;
        for (int i = 0; i < count; ++i) {
            TMusicNote* n = CopyOf(*templ);
            int pos = pick(15) - 7;
            if (!mixed) {
                while (std::find(used.begin(), used.end(), pos) != used.end())
                    pos = pick(15) - 7;
            }
            used.push_back(pos);
            n->SetStaffPos(pos);
            n->SetAccidental(pick(6));
            if (pick(3) == 0) n->SetAttribute(naTie);
            if (pick(5) == 0) n->SetNotehead(pick(4));
            if (pick(5) == 0) n->SetMarkNumber(pick(8));
            if (mixed && pick(3) == 0) n->SetDuration(pick(7));
            if (mixed && pick(3) == 0) n->SetStemSetting(pick(3));
            notes.push_back(n);
            copies.push_back(CopyOf(*n));
            others.push_back(CopyOf(*n));
        }
        uniform += mixed ? 0 : 1;
        int taken = 0;
        for (TMusicNote* n : notes) {
            if (single.AddNote(n)) {
                ++taken;
            } else {
                delete n;
            }
        }
        EXPECT_EQ(bulk.AddNotes(copies.data(), count), taken) << round;
        // Without the last sync, when the caller resets the chord's settings and syncs.
        EXPECT_EQ(deferred.AddNotes(others.data(), count, false), taken) << round;
        for (TMusicNote* n : copies)
            delete n;
        for (TMusicNote* n : others)
            delete n;
        ASSERT_EQ(DescribeChord(single), DescribeChord(bulk)) << "round " << round;
        deferred.CopyFrom(*templ);
        deferred.SyncNotes();
        TChordData& reset = pick(2) == 0 ? single : bulk;
        reset.CopyFrom(*templ);
        reset.SyncNotes();
        ASSERT_EQ(DescribeChord(reset), DescribeChord(deferred)) << "round " << round;
        splits += single.HasSplitStems() ? 1 : 0;
        wide += single.GetChordLayoutSize() > 1 ? 1 : 0;
        ties += single.HasAttribute(naTie) ? 1 : 0;
    }
    EXPECT_GT(uniform, 15000);
    EXPECT_GT(splits, 200);
    EXPECT_GT(wide, 3000);
    EXPECT_GT(ties, 3000);
}

TEST(ChordTest, AddNotesKeepsRefusedAndNullEntries) {
    TChordData chord;
    TMusicNote* notes[4] = {Note(2, 1), nullptr, Note(2, 1), Note(-1, 1)};
    TMusicNote* refused = notes[2];
    EXPECT_EQ(chord.AddNotes(notes, 4), 2);
    EXPECT_EQ(notes[0], nullptr);
    EXPECT_EQ(notes[1], nullptr);
    EXPECT_EQ(notes[2], refused);
    EXPECT_EQ(notes[3], nullptr);
    EXPECT_EQ(chord.GetNoteCount(), 2);
    delete refused;
}

TEST(NotatedItemTest, FindTiedNote) {
    auto* low = Note(2, 0, dcQuarter, acSharp);
    low->SetAttribute(naTie);
    auto* high = Note(-2);
    high->SetTieContinued(true);
    TChordData chord(low, high);
    EXPECT_EQ(chord.FindTiedNote(2, false, acSharp, false), low);
    EXPECT_EQ(chord.FindTiedNote(2, false, acNone, false), low);
    EXPECT_EQ(chord.FindTiedNote(2, false, acFlat, false), nullptr);
    EXPECT_EQ(chord.FindTiedNote(-2, true, acNone, false), high);
    EXPECT_EQ(chord.FindTiedNote(-2, false, acNone, false), nullptr);
}

}  // namespace
