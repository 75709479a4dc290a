// Simple, relative and neighbourhood indexes: bounds, counters across bars and multi-measure rests, group
// tests and skip loops, and backward steps that give the state of a fresh forward walk.
#include <gtest/gtest.h>

#include <random>

#include "score/notation_index.h"
#include "score/tests/walk_fixture.h"

using namespace qsm::test;

namespace {

TMultiMeasureRest* MultiRest(int bars) {
    auto* rest = new TMultiMeasureRest(bars);
    rest->SetBarLength(4, dcQuarter);
    return rest;
}

// A staff of many item kinds drawn from a seed.
void FillRandom(TMusicStaff& staff, unsigned seed, int count) {
    std::mt19937 rng(seed);
    for (int i = 0; i < count; ++i) {
        switch (rng() % 14) {
            case 0: {
                auto* bar = new TBarLineData();
                bar->SetXBarCnt(rng() % 4 == 0);
                bar->SetComputedFlag(rng() % 5 == 0);
                Append(staff, bar);
                break;
            }
            case 1:
                Append(staff, MultiRest(1 + static_cast<int>(rng() % 4)));
                break;
            case 2:
                Append(staff, new TClefData(static_cast<int>(rng() % 4)));
                break;
            case 3:
                Append(staff, new TKeyData(static_cast<uint16_t>(rng() % 128), 0));
                break;
            case 4:
                Append(staff, new TTimeSignatureData(2 + static_cast<int>(rng() % 5), 2));
                break;
            case 5:
                Append(staff, new TTempoVariance(static_cast<int>(rng() % 6)));
                break;
            case 6:
                Append(staff, new TDynamicLevelData(static_cast<int>(rng() % 8)));
                break;
            case 7:
                Append(staff, new TTempoData(60 + static_cast<int>(rng() % 100)));
                break;
            case 8:
                Append(staff, new TRestNote(static_cast<int>(rng() % 5)));
                break;
            case 9:
                Append(staff, new TPatchData());
                break;
            default: {
                auto* note = Note(static_cast<int>(rng() % 13) - 6, static_cast<int>(rng() % 5));
                note->SetLyricMode(static_cast<int>(rng() % 3));
                Append(staff, note);
                break;
            }
        }
    }
}

void ExpectSameCounters(const TRelNtnIdx& a, const TRelNtnIdx& b) {
    EXPECT_EQ(a.GetIndex(), b.GetIndex());
    EXPECT_EQ(a.GetItem(), b.GetItem());
    EXPECT_EQ(a.GetTime(), b.GetTime());
    EXPECT_EQ(a.GetBarNumber(true), b.GetBarNumber(true));
    EXPECT_EQ(a.GetExcludedBars(), b.GetExcludedBars());
    EXPECT_EQ(a.GetSyllableCount(), b.GetSyllableCount());
    EXPECT_EQ(a.GetBarInMultiRest(), b.GetBarInMultiRest());
}

void ExpectSameNeighbours(const TNeighborhoodNtnIdx& a, const TNeighborhoodNtnIdx& b) {
    EXPECT_EQ(a.GetIndex(), b.GetIndex());
    EXPECT_EQ(a.GetLastBar(), b.GetLastBar());
    EXPECT_EQ(a.GetLastClef(), b.GetLastClef());
    EXPECT_EQ(a.GetLastKey(), b.GetLastKey());
    EXPECT_EQ(a.GetLastTimeSignature(), b.GetLastTimeSignature());
    EXPECT_EQ(a.GetLastInstrument(), b.GetLastInstrument());
    EXPECT_EQ(a.GetLastDynamic(), b.GetLastDynamic());
    EXPECT_EQ(a.GetLastTempo(), b.GetLastTempo());
    EXPECT_EQ(a.GetLastGradualTempo(), b.GetLastGradualTempo());
    EXPECT_EQ(a.GetLastRest(), b.GetLastRest());
    EXPECT_EQ(a.GetLastSongNote(), b.GetLastSongNote());
    EXPECT_EQ(a.GetPrevSongNote(), b.GetPrevSongNote());
}

TEST(SimpleIndex, StaysOnTheStaff) {
    TMusicStaff staff;
    for (int i = 0; i < 5; ++i)
        Append(staff, Note(0));
    const int last = staff.GetLastIndex();
    TSimpleNtnIdx idx(&staff);
    idx.Seek(last + 5);
    EXPECT_EQ(idx.GetIndex(), last);
    EXPECT_FALSE(idx.CanStep(1));
    EXPECT_EQ(idx.Next(), nullptr);
    EXPECT_EQ(idx.GetIndex(), last + 1);
    idx.Seek(-3);
    EXPECT_EQ(idx.GetIndex(), 0);
    EXPECT_EQ(idx.GetItem(), staff.GetItem(0));
    EXPECT_FALSE(idx.CanStep(0));
    EXPECT_FALSE(idx.CanStep(-1));
    EXPECT_EQ(idx.Prev(), nullptr);
    EXPECT_EQ(idx.GetBarLine(), nullptr);
    // No clef anywhere: the loops end on the last and on the first item.
    idx.Seek(1);
    EXPECT_FALSE(idx.StepToKind(ntClef, 1));
    EXPECT_EQ(idx.GetIndex(), last);
    EXPECT_FALSE(idx.StepToKind(ntClef, -1));
    EXPECT_EQ(idx.GetIndex(), 0);

    TSimpleNtnIdx none;
    none.Seek(4);
    EXPECT_EQ(none.GetItem(), nullptr);
    EXPECT_FALSE(none.CanStep(1));
    EXPECT_FALSE(none.StepToSongNote(1));
}

TEST(SimpleIndex, GroupTests) {
    TMusicStaff staff;
    const int quarter = Append(staff, Note(0));
    auto* first = Note(0, dcEighth);
    first->SetBeamState(gsFirst);
    const int a = Append(staff, first);
    auto* grace = Note(0, dc16th, Attr({naGrace}));
    Append(staff, grace);
    auto* end = Note(0, dcEighth);
    end->SetBeamState(gsEnd);
    const int b = Append(staff, end);
    Append(staff, new TTimeSignatureData());
    auto* trip = new TRestNote(dcEighth);
    trip->SetTripletState(gsMiddle);
    const int r = Append(staff, trip);

    TSimpleNtnIdx idx(&staff, quarter);
    EXPECT_FALSE(idx.CanJoinGroup(false, 0));
    EXPECT_TRUE(idx.CanJoinGroup(false, 1));
    idx.Seek(a);
    EXPECT_TRUE(idx.IsGroupOpen(0));
    EXPECT_FALSE(idx.IsGroupContinued(0));
    idx.StepToGroupEnd(false, 0, 1);
    EXPECT_EQ(idx.GetIndex(), b);
    idx.StepToGroupEnd(false, 0, -1);
    EXPECT_EQ(idx.GetIndex(), a);
    idx.Seek(a + 1);  // a grace note does not end a normal group, and a normal note ends no grace group
    EXPECT_TRUE(idx.CanJoinGroup(false, 0));
    idx.Seek(b);
    EXPECT_FALSE(idx.CanJoinGroup(true, 0));
    idx.Seek(b + 1);  // a time signature ends every group
    EXPECT_FALSE(idx.CanJoinGroup(false, 1));
    idx.Seek(r);
    EXPECT_TRUE(idx.IsInTriplet());
    EXPECT_TRUE(idx.IsGroupContinuedAny());
    EXPECT_FALSE(idx.IsInGroup(0));
    EXPECT_TRUE(idx.CanJoinGroup(false, 0));  // rests go on in beams
}

TEST(SimpleIndex, TieAndSlurPartners) {
    TMusicStaff staff;
    const int start = Append(staff, Note(3, dcQuarter, Attr({naTie, naSlur}), acSharp));
    auto* middle = Note(0, dcQuarter, Attr({naSlur}));
    middle->SetSlurContinued(true);
    Append(staff, middle);
    auto* end = Note(3);
    end->SetTieContinued(true);
    end->SetSlurContinued(true);
    const int e = Append(staff, end);
    Append(staff, new TBarLineData(bsLocalRepeatClose, 2));
    auto* after = Note(3);
    after->SetTieContinued(true);
    Append(staff, after);

    TSimpleNtnIdx idx(&staff, start);
    EXPECT_TRUE(idx.StepToMatchInSection(3, acNone, false, 1));
    EXPECT_EQ(idx.GetIndex(), e);
    EXPECT_TRUE(idx.StepToMatchInSection(3, acSharp, false, -1));
    EXPECT_EQ(idx.GetIndex(), start);
    idx.Seek(e);
    EXPECT_FALSE(idx.StepToMatchInSection(3, acNone, false, 1));  // the repeat close ends the section
    EXPECT_EQ(idx.GetIndex(), e + 1);

    idx.Seek(start);
    EXPECT_TRUE(idx.StepToSlurEnd(1));
    EXPECT_EQ(idx.GetIndex(), e);
    EXPECT_TRUE(idx.StepToSlurEnd(-1));
    EXPECT_EQ(idx.GetIndex(), start);
}

TEST(SimpleIndex, SplitStemDirectionOfAChordAbove) {
    TMusicStaff staff;
    auto* chord = new TChordData();
    auto* low = Note(4, dcHalf);
    low->SetStemSetting(2);
    chord->AddNote(low);
    auto* high = Note(-4, dcQuarter);
    high->SetStemSetting(1);
    chord->AddNote(high);
    const int c = Append(staff, chord);
    const int under = Append(staff, Note(-3));
    const int later = Append(staff, Note(-3));
    ASSERT_TRUE(chord->HasSplitStems() && chord->HasSplitDurations());
    TSimpleNtnIdx idx(&staff, under);
    EXPECT_EQ(idx.GetSplitStemDirection(), 1);
    idx.Seek(later);
    EXPECT_EQ(idx.GetSplitStemDirection(), 0);
    idx.Seek(c);
    EXPECT_EQ(idx.GetSplitStemDirection(), 1);
}

TEST(RelIndex, BarsTimeAndMultiMeasureRests) {
    TMusicStaff staff;
    Append(staff, Note(0, dcWhole));
    auto* excluded = new TBarLineData();
    excluded->SetXBarCnt(true);
    const int x = Append(staff, excluded);
    const int rest = Append(staff, MultiRest(4));
    Append(staff, new TBarLineData());
    const int n = Append(staff, Note(0));

    // The opening bar line counts: the first bar is bar 1.
    TRelNtnIdx idx(&staff, x + 1);
    EXPECT_EQ(idx.GetBarNumber(true), 2);
    EXPECT_EQ(idx.GetBarNumber(false), 1);
    EXPECT_EQ(idx.GetExcludedBars(), 1);
    idx.Seek(n);
    EXPECT_EQ(idx.GetTime(), 768 + 4 * 768);
    EXPECT_EQ(idx.GetBarNumber(true), 2 + 3 + 1);

    TRelNtnIdx walk(&staff, rest);
    std::vector<int> bars;
    std::vector<int> times;
    while (walk.GetIndex() == rest) {
        bars.push_back(walk.GetBarInMultiRest());
        times.push_back(walk.GetTime());
        walk.StepForward(true);
    }
    EXPECT_EQ(bars, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(times, (std::vector<int>{768, 1536, 2304, 3072}));
    EXPECT_EQ(walk.GetTime(), 768 + 4 * 768);

    ASSERT_TRUE(idx.SeekItemPosition(rest, 2));
    EXPECT_EQ(idx.GetBarInMultiRest(), 2);
    EXPECT_EQ(idx.GetTime(), 768 + 2 * 768);
    EXPECT_EQ(idx.GetPackedPosition(), (rest << 8) | 2);
    EXPECT_FALSE(idx.SeekItemPosition(rest, 5));
    EXPECT_FALSE(idx.SeekItemPosition(n, 1));
    EXPECT_FALSE(idx.SeekPackedPosition((staff.GetItemCount() + 3) << 8));
    idx.SeekItemPosition(rest, 2);
    idx.StepBack(true);
    idx.StepBack(true);
    idx.StepBack(true);
    EXPECT_EQ(idx.GetIndex(), x);
    EXPECT_EQ(idx.GetTime(), 768);

    idx.SeekTime(768 * 3, true);
    EXPECT_EQ(idx.GetIndex(), rest);
    EXPECT_EQ(idx.GetBarInMultiRest(), 2);
    idx.SeekTime(768 * 3, false);  // without rest bars: the rest that holds the time
    EXPECT_EQ(idx.GetIndex(), rest);
    EXPECT_EQ(idx.GetTime(), 768);
}

TEST(RelIndex, PackedPositionLayout) {
    TMusicStaff staff;
    for (int i = 0; i < 299; ++i)
        Append(staff, Note(0));
    Append(staff, MultiRest(3));
    TRelNtnIdx idx(&staff);
    ASSERT_TRUE(idx.SeekItemPosition(300, 2));
    EXPECT_EQ(idx.GetPackedPosition(), 76802);
}

TEST(RelIndex, ItemPositionsReachEveryBarOfALongRest) {
    // The packed form keeps 8 bits of the bar; a position given as item and bar reaches bar 300.
    TMusicStaff staff;
    Append(staff, Note(0));
    const int rest = Append(staff, MultiRest(400));
    TRelNtnIdx idx(&staff);
    ASSERT_TRUE(idx.SeekItemPosition(rest, 300));
    EXPECT_EQ(idx.GetIndex(), rest);
    EXPECT_EQ(idx.GetBarInMultiRest(), 300);
    EXPECT_EQ(idx.GetTime(), 192 + 300 * 768);
    EXPECT_FALSE(idx.SeekItemPosition(rest, -1));
    EXPECT_FALSE(idx.SeekItemPosition(rest, 401));
}

TEST(RelIndex, StepsBackGiveTheCountersOfAForwardWalk) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        TMusicStaff staff;
        FillRandom(staff, seed, 60);
        TRelNtnIdx forward(&staff);
        std::vector<TRelNtnIdx> seen;
        while (true) {
            seen.push_back(forward);
            if (!forward.CanStepInRests(1)) break;
            forward.StepForward(true);
        }
        TRelNtnIdx back(seen.back());
        for (int i = static_cast<int>(seen.size()) - 1; i > 0; --i) {
            back.StepBack(true);
            ExpectSameCounters(back, seen[static_cast<size_t>(i - 1)]);
        }
        for (int i = 0; i <= staff.GetLastIndex(); i += 7) {
            TRelNtnIdx fresh(&staff, i);
            TRelNtnIdx moved(&staff, staff.GetLastIndex());
            moved.Seek(i);
            ExpectSameCounters(moved, fresh);
        }
    }
}

TEST(RelIndex, AlignWithAStaffOfAnotherRhythm) {
    // Quarters with a bar line after two of them; halves with a bar line after the first.
    TMusicStaff quarters;
    Append(quarters, Note(0));
    const int q2 = Append(quarters, Note(0));
    const int qBar = Append(quarters, new TBarLineData());
    const int q3 = Append(quarters, Note(0));
    TMusicStaff halves;
    const int h1 = Append(halves, Note(0, dcHalf));
    const int hBar = Append(halves, new TBarLineData());
    const int h2 = Append(halves, Note(0, dcHalf));

    TRelNtnIdx other(&quarters, q3);
    TRelNtnIdx idx(&halves);
    // The note after the bar line: past the bar line here too.
    EXPECT_EQ(idx.AlignWith(other, false), 384);
    EXPECT_EQ(idx.GetIndex(), h2);
    EXPECT_EQ(idx.GetBarNumber(true), other.GetBarNumber(true));
    // The bar line itself.
    other.Seek(qBar);
    EXPECT_EQ(idx.AlignWith(other, false), 384);
    EXPECT_EQ(idx.GetIndex(), hBar);
    // A time inside the half note: the first position at or after it, and its own time.
    other.Seek(q2);
    EXPECT_EQ(idx.AlignWith(other, false), 384);
    EXPECT_EQ(idx.GetIndex(), hBar);
    EXPECT_EQ(h1 + 1, hBar);
    // And the other way round: the half note after the bar line.
    TRelNtnIdx back(&quarters);
    TRelNtnIdx half(&halves, h2);
    EXPECT_EQ(back.AlignWith(half, false), 384);
    EXPECT_EQ(back.GetIndex(), q3);
}

TEST(NeighborhoodIndex, PrevGivesTheStateOfAForwardWalk) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        TMusicStaff staff;
        FillRandom(staff, seed, 60);
        TNeighborhoodNtnIdx idx(&staff, staff.GetLastIndex());
        while (idx.GetIndex() > 2) {
            idx.Prev();
            TNeighborhoodNtnIdx fresh(&staff);
            while (fresh.GetIndex() < idx.GetIndex())
                fresh.Next();
            ExpectSameNeighbours(idx, fresh);
        }
    }
}

TEST(NeighborhoodIndex, InstrumentAndMeter) {
    TMusicStaff staff;
    staff.Instrument.SetName("Staff own");
    const int n = Append(staff, Note(0));
    TStaffInstrument horn;
    horn.SetName("Horn");
    Append(staff, new TPatchData(&horn));
    Append(staff, new TTimeSignatureData(6, 3));
    const int m = Append(staff, Note(0));
    TNeighborhoodNtnIdx idx(&staff, n);
    EXPECT_STREQ(idx.GetInstrumentData()->Name, "Staff own");
    int beats = 0;
    int exponent = 0;
    idx.GetTimeSignature(beats, exponent);
    EXPECT_EQ(beats, 4);
    EXPECT_EQ(exponent, 2);
    idx.Seek(m);
    EXPECT_STREQ(idx.GetInstrumentData()->Name, "Horn");
    idx.GetTimeSignature(beats, exponent);
    EXPECT_EQ(beats, 6);
    EXPECT_EQ(exponent, 3);
    EXPECT_EQ(idx.GetLastSongNote(), n);
}

}  // namespace
