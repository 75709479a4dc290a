// The audit walk's context at chosen items, transposition step shifts and the accidental error finder.
#include <gtest/gtest.h>

#include <vector>

#include "score/audit_index.h"
#include "score/music_score.h"
#include "score/tests/walk_fixture.h"

using namespace qsm::test;

namespace {

constexpr int F4 = 3;
constexpr int F5 = -4;

void ExpectSameAudit(TAuditNtnIdx& a, TAuditNtnIdx& b) {
    const TStaffPlayState& s = a.GetPlayState();
    const TStaffPlayState& t = b.GetPlayState();
    EXPECT_EQ(a.GetIndex(), b.GetIndex());
    EXPECT_EQ(s.GetTick(), t.GetTick());
    EXPECT_EQ(s.GetClef(), t.GetClef());
    EXPECT_EQ(s.GetKeySharpMask(), t.GetKeySharpMask());
    EXPECT_EQ(s.GetKeyFlatMask(), t.GetKeyFlatMask());
    EXPECT_EQ(s.GetSharpMask(), t.GetSharpMask());
    EXPECT_EQ(s.GetFlatMask(), t.GetFlatMask());
    EXPECT_EQ(s.GetBeatsPerBar(), t.GetBeatsPerBar());
    EXPECT_EQ(s.InNoteGroup(), t.InNoteGroup());
    EXPECT_EQ(a.GetPendingTies().GetCount(), b.GetPendingTies().GetCount());
    EXPECT_EQ(a.GetGroupMask(false), b.GetGroupMask(false));
    EXPECT_EQ(a.GetBarNumber(true), b.GetBarNumber(true));
    EXPECT_EQ(a.GetSyllableCount(), b.GetSyllableCount());
    EXPECT_EQ(a.GetOpenChordTicks(), b.GetOpenChordTicks());
    EXPECT_EQ(a.GetLastSongNote(), b.GetLastSongNote());
}

TEST(AuditIndex, PrevGivesTheStateOfAFreshSeek) {
    TMusicStaff staff;
    Append(staff, new TKeyData(AttributeBit(5), 0));
    Append(staff, Note(F4, dcQuarter, Attr({naSlur}), acNatural));
    Append(staff, Note(0, dcQuarter, Attr({naTie})));
    Append(staff, new TBarLineData());
    Append(staff, Note(0));
    Append(staff, new TTimeSignatureData(3, 2));
    Append(staff, Note(2, dcEighth));
    Append(staff, Note(2, dcEighth));
    TAuditNtnIdx walked(&staff);
    walked.Seek(7);
    walked.Prev();
    TAuditNtnIdx fresh(&staff);
    fresh.Seek(6);
    ExpectSameAudit(walked, fresh);
    // The natural before the bar line is gone: the key's sharp is in force again.
    EXPECT_EQ(walked.GetPlayState().GetAccidental(TMusicNote(F4).GetLetter(ctTreble)), acSharp);
}

TEST(AuditIndex, ContextAtChosenItems) {
    TMusicStaff staff;
    Append(staff, new TClefData(ctBass));
    Append(staff, new TKeyData(0, AttributeBit(1) | AttributeBit(4)));  // B flat, E flat
    Append(staff, new TTimeSignatureData(6, 3));
    auto* sharp = Note(F4, dcEighth, 0, acSharp);
    sharp->SetLyricMode(lmAlways);
    const int a = Append(staff, sharp);
    const int b = Append(staff, Note(F4, dcEighth, Attr({naTie, naSlur})));
    const int c = Append(staff, Note(2, dcQuarter));
    auto* bar = new TBarLineData();
    bar->SetXBarCnt(true);
    Append(staff, bar);
    const int d = Append(staff, Note(2));

    TAuditNtnIdx idx(&staff);
    idx.Seek(a);
    const TStaffPlayState& st = idx.GetPlayState();
    EXPECT_EQ(st.GetClef(), ctBass);
    EXPECT_EQ(st.GetKeyIndex(), -2);
    EXPECT_EQ(st.GetBeatsPerBar(), 6);
    EXPECT_EQ(idx.GetTicksIntoBar(), 0);
    EXPECT_EQ(idx.GetBarNumber(true), 1);
    idx.Seek(c);
    const int letter = TMusicNote(F4).GetLetter(ctBass);
    EXPECT_EQ(st.GetAccidental(letter), acSharp);  // the sharp holds for the rest of the bar
    EXPECT_EQ(idx.GetPendingTies().GetCount(), 1);
    EXPECT_TRUE(st.InNoteGroup());
    EXPECT_EQ(idx.GetTicksIntoBar(), 192);
    EXPECT_FLOAT_EQ(idx.GetBeatPosition(), 2.0f);
    EXPECT_EQ(idx.GetSyllableCount(), 2);
    EXPECT_EQ(st.GetTick(), 192u);
    idx.Seek(d);
    EXPECT_EQ(st.GetAccidental(letter), st.GetKeyAccidental(letter));
    EXPECT_EQ(idx.GetBarNumber(true), 2);
    EXPECT_EQ(idx.GetBarNumber(false), 1);
    TMusicScore score;
    score.StartingBar = 5;
    EXPECT_EQ(idx.GetDisplayBarNumber(score), 5);
    EXPECT_EQ(idx.GetLastSongNote(), c);
    EXPECT_EQ(idx.GetPrevSongNote(), b);
}

TEST(AuditIndex, OpenChordTicksAndGroupMasks) {
    TMusicStaff staff;
    auto* chord = new TChordData();
    auto* low = Note(4, dcWhole);
    low->SetStemSetting(2);
    chord->AddNote(low);
    auto* high = Note(-4, dcQuarter);
    high->SetStemSetting(1);
    chord->AddNote(high);
    Append(staff, chord);
    const int q = Append(staff, Note(-3));
    const int r = Append(staff, Note(-3));
    Append(staff, Note(-3, dcEighth));
    const int bar = Append(staff, new TBarLineData());
    auto* first = Note(0, dcEighth);
    first->SetTripletState(gsFirst);
    first->SetBeamState(gsFirst);
    const int t1 = Append(staff, first);
    auto* rest = new TRestNote(dcEighth);
    rest->SetTripletState(gsMiddle);
    const int t2 = Append(staff, rest);

    // The whole note on the other stem sounds on under the quarters; the bar line ends it.
    TAuditNtnIdx idx(&staff);
    idx.Seek(q);
    EXPECT_EQ(idx.GetOpenChordTicks(), 576);
    EXPECT_EQ(idx.GetOpenChordStem(), 1);
    TAuditNtnIdx ahead(idx);
    ahead.Seek(r);
    EXPECT_EQ(ahead.GetOpenChordTicks(), 384);
    EXPECT_EQ(idx.GetOpenChordTicks(), 576);
    ahead.Seek(bar);
    EXPECT_EQ(ahead.GetOpenChordTicks(), 96);
    ahead.Next();
    EXPECT_EQ(ahead.GetOpenChordTicks(), 0);

    idx.Seek(t2);
    EXPECT_EQ(idx.GetGroupMask(false), 3u);
    idx.Next();  // a rest inside an open triplet keeps bit 1 and never touches bit 0
    EXPECT_EQ(idx.GetGroupMask(false), 3u);
    EXPECT_EQ(idx.GetGroupMask(true), 0u);
    EXPECT_EQ(t1 + 1, t2);
}

TEST(AuditIndex, LaterEndingsStartFromTheFirstEndingsState) {
    TMusicStaff staff;
    Append(staff, new TBarLineData(bsMasterRepeatOpen));
    Append(staff, Note(0, dcQuarter, Attr({naTie})));
    Append(staff, new TSpecialEnding(1));
    Append(staff, new TKeyData(AttributeBit(5) | AttributeBit(2), 0));
    auto* end = Note(0);
    end->SetTieContinued(true);
    Append(staff, end);
    Append(staff, new TBarLineData(bsMasterRepeatClose));
    const int second = Append(staff, new TSpecialEnding(2));
    const int after = Append(staff, Note(0));
    TAuditNtnIdx idx(&staff);
    idx.Seek(second);
    EXPECT_EQ(idx.GetPlayState().GetKeyIndex(), 2);
    EXPECT_EQ(idx.GetPendingTies().GetCount(), 0);
    idx.Seek(after);
    EXPECT_EQ(idx.GetPlayState().GetKeyIndex(), 0);
    EXPECT_EQ(idx.GetPendingTies().GetCount(), 1);  // the tie open where the first ending began
    EXPECT_TRUE(idx.GetPlayState().GetAuditMark());
}

TEST(AuditIndex, CodaTakesTheStateOfTheJump) {
    TMusicStaff staff;
    Append(staff, new TFlowDirection(fsToCoda));
    Append(staff, new TKeyData(AttributeBit(5), 0));
    Append(staff, new TFlowDirection(fsDaCapo));
    const int coda = Append(staff, new TFlowDirection(fsCoda));
    TAuditNtnIdx idx(&staff);
    idx.Seek(coda + 1);
    EXPECT_EQ(idx.GetPlayState().GetKeyIndex(), 0);
    EXPECT_TRUE(idx.GetPlayState().IsJumpTargetReached());
}

TEST(AuditIndex, TheTwentyFifthOpenTieIsDropped) {
    TMusicStaff staff;
    for (int i = 0; i < 26; ++i)
        Append(staff, Note(i - 13, dcQuarter, Attr({naTie})));
    TAuditNtnIdx idx(&staff);
    idx.Seek(staff.GetLastIndex());
    EXPECT_EQ(idx.GetPendingTies().GetCount(), TPendingTieList::MaxTies);
}

TEST(TransposeIndex, StepShiftFollowsKeysAndEndings) {
    TMusicStaff staff;
    const int before = Append(staff, Note(0));
    const int key = Append(staff, new TKeyData(0, 0));
    Append(staff, new TSpecialEnding(1));
    const int dMajor = Append(staff, new TKeyData(AttributeBit(5) | AttributeBit(2), 0));
    const int inFirst = Append(staff, Note(0));
    const int second = Append(staff, new TSpecialEnding(2));
    const int inSecond = Append(staff, Note(0));

    // Up a semitone preferring sharps: C becomes C sharp (same letter), D becomes E flat (one step up).
    TTransposeNtnIdx idx(&staff, 1, 1);
    EXPECT_EQ(idx.GetStepShift(), 0);
    TTransposeNtnIdx down(&staff, 2, 0);
    down.Seek(before);
    EXPECT_EQ(down.GetStepShift(), -1);  // before any key: as under C major
    EXPECT_TRUE(down.CanTranspose());

    while (idx.GetIndex() < inSecond && idx.CanStep(1)) {
        idx.Step(1);
        EXPECT_TRUE(idx.CanTranspose());
        int expected = 0;
        if (idx.GetIndex() == dMajor || idx.GetIndex() == inFirst) expected = -1;
        if (idx.GetIndex() == key || idx.GetIndex() == dMajor || idx.GetIndex() == second + 1) {
            EXPECT_EQ(idx.GetStepShift(), expected) << "at " << idx.GetIndex();
        }
    }
    EXPECT_EQ(idx.GetIndex(), inSecond);

    // Applying moves the notes and rewrites the keys.
    TTransposeNtnIdx apply(&staff, 2, 0);
    while (apply.CanStep(1)) {
        apply.Step(1);
        apply.ApplyTranspose();
    }
    EXPECT_EQ(staff.GetItem(before)->GetStaffPos(), -1);
    EXPECT_EQ(static_cast<TKeyData*>(staff.GetItem(key))->GetFifths(), 2);
    EXPECT_EQ(static_cast<TKeyData*>(staff.GetItem(dMajor))->GetFifths(), 4);
}

TEST(TransposeIndex, TheCodaTakesTheStepShiftOfTheToCoda) {
    // The To Coda met after the D.C. is the one the jump leaves from; the coda goes on from its state.
    TMusicStaff staff;
    Append(staff, new TKeyData(0, 0));
    Append(staff, new TFlowDirection(fsDaCapo));
    Append(staff, new TFlowDirection(fsToCoda));
    const int dMajor = Append(staff, new TKeyData(AttributeBit(5) | AttributeBit(2), 0));
    const int inD = Append(staff, Note(0));
    const int coda = Append(staff, new TFlowDirection(fsCoda));
    const int after = Append(staff, Note(0));
    // Up a semitone preferring sharps: C major keeps its letters, D major becomes E flat (a step up).
    TTransposeNtnIdx idx(&staff, 1, 1);
    std::vector<int> shifts;
    while (idx.GetIndex() < after && idx.CanStep(1)) {
        idx.Step(1);
        EXPECT_TRUE(idx.CanTranspose());
        shifts.push_back(idx.GetStepShift());
    }
    ASSERT_EQ(idx.GetIndex(), after);
    EXPECT_EQ(shifts[static_cast<size_t>(inD - 1)], -1);
    EXPECT_EQ(shifts.back(), 0);
    EXPECT_EQ(idx.GetPlayState().GetKeyIndex(), 0);  // the key in force at the To Coda
    EXPECT_EQ(dMajor + 1, inD);
    EXPECT_EQ(coda + 1, after);
}

TEST(FindErrorIndex, AccidentalsNothingShows) {
    TMusicStaff staff;
    const int sharp = Append(staff, Note(F5, dcQuarter, 0, acSharp));
    const int other = Append(staff, Note(F4));
    const int same = Append(staff, Note(F5));
    const int given = Append(staff, Note(F4, dcQuarter, 0, acNatural));
    auto* tied = Note(F4);
    tied->SetTieContinued(true);
    Append(staff, tied);
    Append(staff, new TBarLineData());
    const int fresh = Append(staff, Note(F4));
    Append(staff, Note(120));
    Append(staff, Note(-128, dcQuarter, 0, acFlat));
    Append(staff, Note(-128));

    auto errorAt = [&](int i) {
        TFindErrorNtnIdx idx(&staff);
        idx.Seek(i);
        return idx.HasAccidentalError();
    };
    EXPECT_FALSE(errorAt(sharp));
    EXPECT_TRUE(errorAt(other));  // F sharp in force, and nothing at this octave shows it
    EXPECT_FALSE(errorAt(same));
    EXPECT_FALSE(errorAt(given));
    EXPECT_FALSE(errorAt(given + 1));
    EXPECT_FALSE(errorAt(fresh));

    TFindErrorNtnIdx walk(&staff);
    int errors = 0;
    while (walk.CanStep(1)) {
        walk.Step(1);
        errors += walk.HasAccidentalError() ? 1 : 0;
    }
    EXPECT_EQ(walk.GetShownAt(-128), acFlat);
    EXPECT_EQ(errors, 1);
    staff.Muted = 1;
    EXPECT_FALSE(errorAt(other));
}

}  // namespace
