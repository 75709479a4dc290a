// Item ranges: bounds, builders, queries and the multi-item changes.
#include <gtest/gtest.h>

#include "core/ram_stream.h"
#include "score/item_records.h"
#include "score/notation_index.h"
#include "score/staff_range.h"
#include "score/tests/walk_fixture.h"

using namespace qsm::test;

namespace {

TMusicNote* Eighth(int pos, int beam = gsNone) {
    auto* n = Note(pos, dcEighth);
    n->SetBeamState(beam);
    return n;
}

TEST(StaffRange, Bounds) {
    TMusicStaff staff;
    for (int i = 0; i < 98; ++i)
        Append(staff, Note(0));
    ASSERT_EQ(staff.GetItemCount(), 100);
    TStaffItemRange r(&staff, 7, 3);
    EXPECT_EQ(r.First, 3);
    EXPECT_EQ(r.Last, 7);
    EXPECT_EQ(r.GetCount(), 5);
    r.SetRange(-1, 5);
    EXPECT_EQ(r.First, 5);
    EXPECT_EQ(r.Last, -1);
    EXPECT_FALSE(r.IsValid());
    r.SetRange(3, 900);
    EXPECT_EQ(r.Last, 99);
    // Both bounds at -1: no item, whatever the comparison of the bounds says.
    r.SetRange(-1, -1);
    EXPECT_FALSE(r.IsValid());
    EXPECT_EQ(r.GetCount(), 0);
    StaffRangeSetMuted(r);
    StaffRangeShiftItems(r, 3);
    StaffRangeDelete(r);
    EXPECT_EQ(staff.GetItemCount(), 100);
    TStaffItemRange none(nullptr, 1, 4);
    EXPECT_FALSE(none.IsValid());
    EXPECT_EQ(StaffRangeGetTicks(none), 0);
}

TEST(StaffRange, NormalizeAndBars) {
    TMusicStaff staff;
    Append(staff, Note(0));
    const int bar = Append(staff, new TBarLineData());
    const int a = Append(staff, Note(0));
    const int b = Append(staff, Note(0));
    TStaffItemRange r(&staff, 0, 1);
    StaffRangeNormalize(r);
    EXPECT_EQ(r.First, 1);
    EXPECT_EQ(r.Last, bar - 1);
    r.SetRange(b, b);
    StaffRangeNormalize(r);
    EXPECT_EQ(r.First, a);
    EXPECT_EQ(r.Last, b);
    r.SetToBar(a);
    EXPECT_EQ(r.First, bar);
    EXPECT_EQ(r.Last, b);
    r.First = b;
    r.Last = -1;  // a negative last stands for the first
    StaffRangeNormalize(r);
    EXPECT_EQ(r.First, a);
    EXPECT_EQ(r.Last, b);
}

TEST(StaffRange, GroupsFormAndCut) {
    TMusicStaff staff;
    const int e1 = Append(staff, Eighth(-2));
    Append(staff, Eighth(-3));
    const int e3 = Append(staff, Eighth(-5));
    const int q = Append(staff, Note(0));
    TStaffItemRange triplet(&staff, e1, e3);
    EXPECT_TRUE(StaffRangeCanFormGroup(triplet, 1));
    EXPECT_TRUE(StaffRangeCanFormGroup(triplet, 0));
    TStaffItemRange withQuarter(&staff, e3, q);
    EXPECT_FALSE(StaffRangeCanFormGroup(withQuarter, 0));
    TStaffItemRange single(&staff, e1, e1);
    EXPECT_FALSE(StaffRangeCanFormGroup(single, 0));

    // High notes: the stems go down.
    ASSERT_TRUE(StaffMakeNoteGroup(triplet, 0));
    EXPECT_EQ(static_cast<TSongNote*>(staff.GetItem(e1))->GetBeamState(), gsFirst);
    EXPECT_EQ(static_cast<TSongNote*>(staff.GetItem(e1 + 1))->GetBeamState(), gsMiddle);
    EXPECT_EQ(static_cast<TSongNote*>(staff.GetItem(e3))->GetBeamState(), gsEnd);
    for (int i = e1; i <= e3; ++i)
        EXPECT_EQ(static_cast<TSongNote*>(staff.GetItem(i))->GetStemSetting(), 2);

    TStaffItemRange head(&staff, e1, e1 + 1);
    EXPECT_TRUE(StaffRangeCutsGroup(head, 0));  // its last note opens a group that goes on
    EXPECT_FALSE(StaffRangeCutsGroup(head, 1));
    EXPECT_TRUE(StaffRangeCutsAnyGroup(head));
    EXPECT_FALSE(StaffRangeCutsGroup(triplet, 0));
    int dir = -1;
    EXPECT_FALSE(StaffRangeGetStemDir(head, dir));
    EXPECT_TRUE(StaffRangeGetStemDir(triplet, dir));
    EXPECT_EQ(dir, 2);

    TStaffItemRange extended;
    extended.Staff = &staff;
    StaffRangeExtendByNotes(extended, 0, e1 + 1);
    EXPECT_EQ(extended.First, e1);
    EXPECT_EQ(extended.Last, e3);
    StaffRangeExtendByNotes(extended, 0, q);
    EXPECT_EQ(extended.First, q);
    EXPECT_EQ(extended.Last, q);

    TStaffItemRange one(&staff, e1 + 1, e1 + 1);
    StaffRangeUngroup(one, 0);
    for (int i = e1; i <= e3; ++i)
        EXPECT_EQ(static_cast<TSongNote*>(staff.GetItem(i))->GetBeamState(), gsNone);
}

TEST(StaffRange, TiesToggleBetweenNotesOfOnePitch) {
    TMusicStaff staff;
    const int a = Append(staff, Note(3, dcQuarter, 0, acSharp));
    const int b = Append(staff, Note(3));
    TStaffItemRange r(&staff, a, b);
    bool tied = true;
    EXPECT_TRUE(StaffRangeToggleTies(r, &tied));
    EXPECT_FALSE(tied);
    EXPECT_TRUE(StaffRangeToggleTies(r, nullptr));
    EXPECT_TRUE(static_cast<TSongNote*>(staff.GetItem(a))->HasAttribute(naTie));
    EXPECT_FALSE(static_cast<TSongNote*>(staff.GetItem(b))->HasAttribute(naTie));
    bool set = false;
    EXPECT_TRUE(StaffRangeGetAttributeState(r, naTie, set));
    EXPECT_TRUE(set);
    EXPECT_TRUE(StaffRangeToggleAttribute(r, naTie));
    EXPECT_FALSE(static_cast<TSongNote*>(staff.GetItem(a))->HasAttribute(naTie));

    // A different pitch spelled out refuses the tie.
    static_cast<TMusicNote*>(staff.GetItem(b))->SetAccidental(acFlat);
    EXPECT_FALSE(StaffRangeToggleTies(r, nullptr));

    // A clef between the notes: nothing changes.
    TMusicStaff clefStaff;
    const int c1 = Append(clefStaff, Note(3));
    Append(clefStaff, new TClefData(ctBass));
    const int c2 = Append(clefStaff, Note(3));
    TStaffItemRange across(&clefStaff, c1, c2);
    EXPECT_FALSE(StaffRangeToggleTies(across, nullptr));
    EXPECT_FALSE(static_cast<TSongNote*>(clefStaff.GetItem(c1))->HasAttribute(naTie));
}

TEST(StaffRange, AttributesDurationsAndLooks) {
    TMusicStaff staff;
    const int n = Append(staff, Note(0, dcQuarter, 0, acNatural));
    auto* chord = Chord({2, -2}, dcQuarter);
    const int c = Append(staff, chord);
    const int r = Append(staff, new TRestNote(dcHalf));
    TStaffItemRange all(&staff, n, r);

    bool set = true;
    EXPECT_TRUE(StaffRangeGetAttributeState(all, naStaccato, set));
    EXPECT_FALSE(set);
    EXPECT_TRUE(StaffRangeToggleAttribute(all, naStaccato));
    EXPECT_TRUE(static_cast<TSongNote*>(staff.GetItem(n))->HasAttribute(naStaccato));
    EXPECT_TRUE(chord->GetNote(0)->HasAttribute(naStaccato));
    EXPECT_FALSE(static_cast<TSongNote*>(staff.GetItem(r))->HasAttribute(naStaccato));
    EXPECT_FALSE(StaffRangeGetAttributeState(all, 10, set));

    int lo = 0;
    int hi = 0;
    StaffRangeGetDurationExtent(all, lo, hi);
    EXPECT_EQ(lo, dcHalf);
    EXPECT_EQ(hi, dcQuarter);
    int code = -1;
    EXPECT_FALSE(StaffRangeGetDuration(all, code));
    StaffRangeSetDuration(all, dcEighth);
    EXPECT_TRUE(StaffRangeGetDuration(all, code));
    EXPECT_EQ(code, dcEighth);
    StaffRangeShiftDuration(all, 5);
    EXPECT_TRUE(StaffRangeGetDuration(all, code));
    EXPECT_EQ(code, dcWhole);

    int accidental = -1;
    EXPECT_FALSE(StaffRangeGetAccidental(all, accidental));
    StaffRangeSetAccidental(all, acFlat);
    EXPECT_TRUE(StaffRangeGetAccidental(all, accidental));
    EXPECT_EQ(accidental, acFlat);

    int color = -1;
    EXPECT_TRUE(StaffRangeGetColor(all, color));
    EXPECT_EQ(color, 0);
    staff.GetItem(r)->SetColor(3);
    EXPECT_TRUE(StaffRangeGetColor(all, color));
    EXPECT_EQ(color, 8);
    StaffRangeSetColor(all, 5);
    EXPECT_TRUE(StaffRangeGetColor(all, color));
    EXPECT_EQ(color, 5);

    int style = -1;
    StaffRangeSetNotehead(all, 3);
    EXPECT_TRUE(StaffRangeGetNotehead(all, style));
    EXPECT_EQ(style, 3);
    StaffRangeCycleNotehead(all, (1 << 7) | (1 << 2));
    EXPECT_TRUE(StaffRangeGetNotehead(all, style));
    EXPECT_EQ(style, 7);
    StaffRangeCycleNotehead(all, (1 << 7) | (1 << 2));
    EXPECT_TRUE(StaffRangeGetNotehead(all, style));
    EXPECT_EQ(style, 2);
    StaffRangeCycleNotehead(all, 1 << 10);  // lands on 10: becomes 11
    EXPECT_TRUE(StaffRangeGetNotehead(all, style));
    EXPECT_EQ(style, 11);
    StaffRangeCycleNotehead(all, 0);  // nothing allowed: nothing changes, and the loop ends
    EXPECT_TRUE(StaffRangeGetNotehead(all, style));
    EXPECT_EQ(style, 11);
    TStaffItemRange restOnly(&staff, r, r);
    EXPECT_FALSE(StaffRangeGetNotehead(restOnly, style));

    EXPECT_EQ(StaffRangeFindNoteAtStaffPos(all, -2), c);
    EXPECT_EQ(StaffRangeFindNoteAtStaffPos(all, 9), 0);
    int max = 0;
    int min = 0;
    StaffRangeGetNoteStaffPosExtent(all, max, min);
    EXPECT_EQ(max, 2);
    EXPECT_EQ(min, -2);
    TStaffItemRange empty(&staff, 5, 1);
    empty.Clear();
    StaffRangeGetStaffPosExtent(empty, max, min);
    EXPECT_EQ(max, -2147483647);
    EXPECT_EQ(min, 2147483647);

    StaffRangeSetMuted(all);
    EXPECT_TRUE(static_cast<TMusicNote*>(staff.GetItem(n))->IsMuted());
    StaffRangeSetHidden(all);
    EXPECT_EQ(staff.GetItem(n)->GetVisibility(), ivNever);
    EXPECT_NE(staff.GetItem(staff.GetLastIndex())->GetVisibility(), ivNever);
}

TEST(StaffRange, ShiftItems) {
    TMusicStaff staff;
    const int bar = Append(staff, new TBarLineData(bsTransparent));
    const int clef = Append(staff, new TClefData(ctBass));
    const int spacer = Append(staff, new TStaffSpacer(200));
    const int low = Append(staff, Note(120));
    const int high = Append(staff, Note(-126));
    TStaffItemRange r(&staff, bar, bar);
    StaffRangeShiftItems(r, 1);
    EXPECT_EQ(static_cast<TBarLineData*>(staff.GetItem(bar))->GetStyle(), bsSingle);
    r.SetRange(clef, clef);
    StaffRangeShiftItems(r, -3);
    EXPECT_EQ(static_cast<TClefData*>(staff.GetItem(clef))->GetClefType(), 4);
    r.SetRange(spacer, spacer);
    StaffRangeShiftItems(r, 2);
    EXPECT_EQ(static_cast<TStaffSpacer*>(staff.GetItem(spacer))->GetWidth(), 100);
    // Positions stop at the ends of their byte instead of wrapping round.
    r.SetRange(low, high);
    StaffRangeShiftItems(r, 12);
    EXPECT_EQ(staff.GetItem(low)->GetStaffPos(), 127);
    EXPECT_EQ(staff.GetItem(high)->GetStaffPos(), -114);
    StaffRangeShiftItems(r, -20);
    EXPECT_EQ(staff.GetItem(high)->GetStaffPos(), -128);
}

TEST(StaffRange, RestsDeletionAndSize) {
    TMusicStaff staff;
    const int r1 = Append(staff, new TRestNote(dcQuarter));
    Append(staff, new TRestNote(dcHalf));
    const int r3 = Append(staff, new TRestNote(dcQuarter));
    const int n = Append(staff, Note(0));
    TStaffItemRange rests(&staff, r1, r3);
    EXPECT_TRUE(StaffRangeIsRestRun(rests));
    TStaffItemRange mixed(&staff, r1, n);
    EXPECT_FALSE(StaffRangeIsRestRun(mixed));
    EXPECT_EQ(StaffRangeGetTicks(mixed), 192 + 384 + 192 + 192);

    TQSRSizerStream sizer;
    WriteItemRange(mixed, sizer);
    EXPECT_EQ(StaffRangeGetByteSize(mixed), static_cast<int>(sizer.GetSize()));
    EXPECT_GT(StaffRangeGetByteSize(mixed), 4);

    StaffRangeMergeRests(rests);
    EXPECT_EQ(rests.Last, r1);
    auto* kept = static_cast<TRestNote*>(staff.GetItem(r1));
    EXPECT_EQ(kept->GetDur(), dcWhole);
    EXPECT_EQ(kept->GetDuration(), 768);
    EXPECT_EQ(staff.GetItem(r1 + 1)->GetType(), ntNote);

    // A range that reaches the end keeps the closing bar line.
    TStaffItemRange tail(&staff, r1, staff.GetLastIndex());
    StaffRangeDelete(tail);
    EXPECT_FALSE(tail.IsValid());
    EXPECT_EQ(staff.GetItemCount(), 2);
    EXPECT_EQ(staff.GetItem(1)->GetType(), ntBarLine);
}

TEST(StaffRange, HairpinRunAndOuterPositions) {
    TMusicStaff staff;
    Append(staff, new TDynamicLevelData(dlP));
    const int a = Append(staff, Note(0, dcQuarter, Attr({naCrescendo})));
    Append(staff, new TTextExpression("x"));
    const int b = Append(staff, Note(-2, dcQuarter, Attr({naCrescendo})));
    Append(staff, Note(-2));
    TStaffItemRange run;
    run.Staff = &staff;
    StaffHairpinRunExtent(run, b);
    EXPECT_EQ(run.First, a);
    EXPECT_EQ(run.Last, b);

    TStaffItemRange notes(&staff, a, b);
    // Stems of notes at and above the middle line point down: above, nothing but the head and a step.
    EXPECT_EQ(StaffRangeOuterStaffPos(notes, 1), -2 - 2);
    // Below: the stem of 7 steps from the lowest stem end and one step more.
    EXPECT_EQ(StaffRangeOuterStaffPos(notes, -1), 0 + 7 + 1);
}

}  // namespace
