// The staff formatting passes: the derived marks they write, and that a second pass changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "midi/tests/demo_score.h"
#include "score/file/text_import.h"
#include "score/file/text_score_source.h"
#include "score/format/format.h"
#include "score/format/tests/format_fixture.h"
#include "score/music_score.h"
#include "score/staff_range.h"
#include "score/tests/walk_fixture.h"

using namespace qsm::test;
using namespace format_fixture;

namespace {

TSongNote* SongAt(TMusicStaff& staff, int i) {
    return static_cast<TSongNote*>(staff.GetItem(i));
}

TEST(Format, WholeBarRests) {
    TMusicStaff staff;
    Append(staff, new TTimeSignatureData(3, 2));
    const int alone = Append(staff, new TRestNote(dcWhole));
    Append(staff, new TBarLineData());
    const int shared = Append(staff, new TRestNote(dcWhole));
    Append(staff, Note(0));
    Append(staff, new TBarLineData());
    const int dotted = Append(staff, new TRestNote(dcWhole, AttributeBit(naDotted) | AttributeBit(naTie)));
    FormatStaff(staff);
    auto* a = static_cast<TRestNote*>(staff.GetItem(alone));
    EXPECT_TRUE(a->HasBarLength());
    EXPECT_EQ(a->GetDuration(), 576);
    EXPECT_FALSE(static_cast<TRestNote*>(staff.GetItem(shared))->HasBarLength());
    auto* d = static_cast<TRestNote*>(staff.GetItem(dotted));
    EXPECT_FALSE(d->HasBarLength());
    EXPECT_FALSE(d->HasAttribute(naTie));  // rests keep only the attributes a rest can show
    EXPECT_TRUE(d->HasAttribute(naDotted));
    EXPECT_EQ(staff.NeedsFormat, 0);
}

TEST(Format, TheFirstItemIsNeverFormatted) {
    TMusicStaff staff;
    auto* first = new TRestNote(dcQuarter, AttributeBit(naTie));
    staff.InsertItem(first, 0);
    auto* second = new TRestNote(dcQuarter, AttributeBit(naTie));
    staff.InsertItem(second, 1);
    FormatStaff(staff);
    EXPECT_TRUE(first->HasAttribute(naTie));
    EXPECT_FALSE(second->HasAttribute(naTie));
}

TEST(Format, GroupsThatCannotBeCompletedLoseTheirMarks) {
    TMusicStaff staff;
    // A triplet whose durations give 78 ticks: no multiple of 12.
    const int t1 = Append(staff, Grouped(0, dcEighth, gsNone, gsFirst));
    const int t2 = Append(staff, Note(0, dc64th, AttributeBit(naDblDotted)));
    SongAt(staff, t2)->SetTripletState(gsEnd);
    // A beam of notes with different stored stems.
    const int b1 = Append(staff, Grouped(0, dcEighth, gsFirst));
    SongAt(staff, b1)->SetStemSetting(1);
    const int b2 = Append(staff, Grouped(0, dcEighth, gsEnd));
    SongAt(staff, b2)->SetStemSetting(2);
    // Middle without an open group; First while one is open.
    const int lone = Append(staff, Grouped(0, dcEighth, gsMiddle));
    const int o1 = Append(staff, Grouped(0, dcEighth, gsFirst));
    SongAt(staff, o1)->SetStemSetting(1);
    const int o2 = Append(staff, Grouped(0, dcEighth, gsFirst));
    SongAt(staff, o2)->SetStemSetting(1);
    const int o3 = Append(staff, Grouped(0, dcEighth, gsEnd));
    SongAt(staff, o3)->SetStemSetting(1);
    FormatStaff(staff);
    EXPECT_EQ(SongAt(staff, t1)->GetTripletState(), gsNone);
    EXPECT_EQ(SongAt(staff, b1)->GetBeamState(), gsNone);
    EXPECT_EQ(SongAt(staff, lone)->GetBeamState(), gsNone);
    EXPECT_EQ(SongAt(staff, o1)->GetBeamState(), gsNone);  // its group would end at o3 through another First
    EXPECT_EQ(SongAt(staff, o2)->GetBeamState(), gsFirst);
    EXPECT_EQ(SongAt(staff, o3)->GetBeamState(), gsEnd);
}

TEST(Format, DefaultStemBeamsGetOneStemDirection) {
    TMusicStaff staff;
    const int a = Append(staff, Grouped(4, dcEighth, gsFirst));
    const int b = Append(staff, Grouped(2, dcEighth, gsMiddle));
    const int c = Append(staff, Grouped(6, dcEighth, gsEnd));
    const int d = Append(staff, Grouped(-5, dcEighth, gsFirst, gsNone, AttributeBit(naGrace)));
    const int e = Append(staff, Grouped(-6, dcEighth, gsEnd, gsNone, AttributeBit(naGrace)));
    Append(staff, Note(0));
    FormatStaff(staff);
    for (int i : {a, b, c}) {
        EXPECT_EQ(SongAt(staff, i)->GetStemSetting(), 1) << i;  // low notes: stems up
        EXPECT_NE(SongAt(staff, i)->GetBeamState(), gsNone);
    }
    for (int i : {d, e})
        EXPECT_EQ(SongAt(staff, i)->GetStemSetting(), 1) << i;  // grace groups: up
}

TEST(Format, TiesAndSlurs) {
    TMusicStaff staff;
    auto* start = Note(3, dcQuarter, Attr({naTie, naSlur}), acSharp);
    start->SetTieDirection(2);  // given: downward
    const int s = Append(staff, start);
    Append(staff, new TBarLineData());
    const int e = Append(staff, Note(3));
    const int after = Append(staff, Note(2));
    const int g = Append(staff, Note(-2, dcEighth, Attr({naGrace})));
    FormatStaff(staff);
    auto* end = static_cast<TMusicNote*>(staff.GetItem(e));
    EXPECT_TRUE(end->IsTieContinued());
    EXPECT_TRUE(end->IsTieDownward());
    EXPECT_EQ(end->GetShownAccidental(), acNone);
    EXPECT_EQ(end->GetAccidental(), acSharp);  // plays the sharp the tie carries over the bar line
    EXPECT_TRUE(end->IsSlurContinued());
    EXPECT_FALSE(SongAt(staff, after)->IsSlurContinued());
    EXPECT_TRUE(SongAt(staff, g)->IsSlurDownward());
    EXPECT_FALSE(SongAt(staff, s)->IsTieContinued());

    // Playing the formatted staff: one note of F sharp for both halves of the tie.
    EXPECT_EQ(Perform(staff).front(), "0 on 66 110");
    EXPECT_EQ(Perform(staff)[1], "352 off 66");
}

TEST(Format, ChordColoursAndMarks) {
    TMusicStaff staff;
    auto* chord = Chord({2, -2});
    chord->SetColor(3);
    chord->GetNote(0)->SetColor(5);
    chord->GetNote(0)->SetMarkNumber(3);
    chord->GetNote(1)->SetMarkNumber(4);
    const int c = Append(staff, chord);
    FormatStaff(staff);
    auto* formatted = staff.GetItem(c);
    EXPECT_EQ(formatted->GetNote(0)->GetColor(), 0);
    EXPECT_EQ(formatted->GetNote(0)->GetMarkNumber(), 0);
    EXPECT_EQ(formatted->GetNote(1)->GetMarkNumber(), 4);
}

TEST(Format, SignaturesBarsDynamicsTempoRamps) {
    TMusicStaff staff;
    staff.Instrument.SetDynamicVelocity(dlFF, 111);
    Append(staff, new TClefData(ctAlto));
    const int g = Append(staff, new TKeyData(AttributeBit(5), 0));
    const int empty = Append(staff, new TBarLineData());
    const int accel = Append(staff, new TTempoVariance(tvAccelerando));
    Append(staff, Note(0, dcHalf));
    const int t1 = Append(staff, new TTempoData(90));
    const int rit = Append(staff, new TTempoVariance(tvRitardando));
    Append(staff, Note(0, dcWhole));
    Append(staff, new TTempoData(60));
    const int ff = Append(staff, new TDynamicLevelData(dlFF));
    auto* given = new TDynamicLevelData(dlP);
    given->SetVelocity(33);
    given->SetVelocityGiven(true);
    const int p = Append(staff, given);
    const int bar = Append(staff, new TBarLineData());
    Append(staff, new TTimeSignatureData(6, 3));
    const int multi = Append(staff, new TMultiMeasureRest(2));
    const int key = Append(staff, new TKeyData(0, AttributeBit(1)));
    FormatStaff(staff);

    auto* keyG = static_cast<TKeyData*>(staff.GetItem(g));
    EXPECT_EQ(keyG->GetClefInForce(), ctAlto);
    EXPECT_EQ(keyG->GetPrecedingSharps(), 0);
    auto* keyF = static_cast<TKeyData*>(staff.GetItem(key));
    EXPECT_EQ(keyF->GetPrecedingSharps(), AttributeBit(5));
    EXPECT_EQ(keyF->GetCancelledSharps(), AttributeBit(5));
    EXPECT_TRUE(static_cast<TBarLineData*>(staff.GetItem(empty))->GetComputedFlag());
    EXPECT_FALSE(static_cast<TBarLineData*>(staff.GetItem(bar))->GetComputedFlag());
    EXPECT_TRUE(static_cast<TBarLineData*>(staff.GetItem(staff.GetLastIndex()))->GetComputedFlag());
    // An accelerando before the first tempo mark starts from the opening tempo of 120.
    auto* a = static_cast<TTempoVariance*>(staff.GetItem(accel));
    EXPECT_EQ(a->GetRampStartTempo(), 120);
    EXPECT_EQ(a->GetRampEndTempo(), 90);
    EXPECT_EQ(a->GetRampLength(), 384);
    auto* r = static_cast<TTempoVariance*>(staff.GetItem(rit));
    EXPECT_EQ(r->GetRampStartTempo(), 90);
    EXPECT_EQ(r->GetRampEndTempo(), 60);
    EXPECT_EQ(r->GetRampLength(), 768);
    EXPECT_EQ(t1 + 1, rit);
    EXPECT_EQ(static_cast<TDynamicLevelData*>(staff.GetItem(ff))->GetVelocity(), 111);
    EXPECT_EQ(static_cast<TDynamicLevelData*>(staff.GetItem(p))->GetVelocity(), 33);
    EXPECT_EQ(static_cast<TMultiMeasureRest*>(staff.GetItem(multi))->GetBarLength(), 576);
}

TEST(Format, FormattingAFormattedStaffChangesNothing) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        TMusicStaff staff;
        FillRandom(staff, seed, 150);
        FormatStaff(staff);
        const std::string once = Snapshot(staff);
        FormatStaff(staff);
        ASSERT_EQ(FirstDifference(Snapshot(staff), once), "") << "seed " << seed;
        TStaffItemRange range(&staff, 20, 40);
        FormatStaffItems(range);
        ReformatStaffRange(staff, 60, -1);
        ASSERT_EQ(FirstDifference(Snapshot(staff), once), "") << "seed " << seed;
    }
}

TEST(Format, ManyDefaultStemBeamsFormatInOnePass) {
    TMusicStaff staff;
    for (int g = 0; g < 2000; ++g) {
        Append(staff, Grouped(g % 9 - 4, dcEighth, gsFirst));
        Append(staff, Grouped(g % 7 - 3, dcEighth, gsEnd));
        if (g % 4 == 3) Append(staff, new TBarLineData());
    }
    FormatStaff(staff);
    int settled = 0;
    for (int i = 1; i < staff.GetLastIndex(); ++i) {
        const TNotatedItem* item = staff.GetItem(i);
        if (item->IsSongNote() && static_cast<const TSongNote*>(item)->HasStemSetting()) ++settled;
    }
    EXPECT_EQ(settled, 4000);
    const std::string once = Snapshot(staff);
    FormatStaff(staff);
    EXPECT_EQ(FirstDifference(Snapshot(staff), once), "");
}

// The pass settles each default-stem beam on its way, without a pass of its own for every group: the
// result is that of settling every group first and formatting then.
TEST(Format, BeamsSettledOnTheWayGiveTheResultOfBeamsSettledFirst) {
    TMusicStaff walked;
    FillMusic(walked, 60);
    FormatStaff(walked);

    TMusicStaff settled;
    FillMusic(settled, 60);
    const TFormatItemsFn hook = SetFormatStaffItemsHook(nullptr);
    int groups = 0;
    for (int i = 1; i < settled.GetLastIndex(); ++i) {
        const TNotatedItem* item = settled.GetItem(i);
        if (!item->IsSongNote()) continue;
        const auto* note = static_cast<const TSongNote*>(item);
        if (note->GetBeamState() != gsFirst || note->HasStemSetting()) continue;
        TStaffItemRange group(&settled, i, i);
        StaffRangeExtendByNotes(group, 0, i);
        ASSERT_TRUE(StaffMakeNoteGroup(group, 0)) << i;
        ++groups;
    }
    SetFormatStaffItemsHook(hook);
    EXPECT_EQ(groups, 30);
    FormatStaff(settled);
    EXPECT_EQ(FirstDifference(Snapshot(walked), Snapshot(settled)), "");
}

TEST(Format, TiesBeyondTheOpenTieListStillSoundOnce) {
    // 25 tied notes at once: the open-tie list holds 24, so one continuation is not found.
    std::initializer_list<int> positions = {-12, -11, -10, -9, -8, -7, -6, -5, -4, -3, -2, -1, 0,
                                            1,   2,   3,   4,  5,  6,  7,  8,  9,  10, 11, 12};
    TMusicStaff staff;
    const int first = Append(staff, Chord(positions, dcQuarter, AttributeBit(naTie)));
    const int second = Append(staff, Chord(positions));
    FormatStaff(staff);
    ASSERT_EQ(staff.GetItem(first)->GetNoteCount(), 25);
    int continued = 0;
    for (int i = 0; i < staff.GetItem(second)->GetNoteCount(); ++i)
        continued += staff.GetItem(second)->GetNote(i)->IsTieContinued() ? 1 : 0;
    EXPECT_EQ(continued, 24);
    TMidiFileBuf buffer;
    PerformStaff(staff, buffer);
    int sounding[128] = {};
    int on = 0;
    for (int i = 0; i < buffer.GetEventCount(); ++i) {
        const TMidiEvent& e = *buffer.GetEvent(i);
        if (e.GetCommand() != MIDI_CMD_NOTEON) continue;
        sounding[e.Data1] += e.Data2 ? 1 : -1;
        EXPECT_GE(sounding[e.Data1], 0) << Describe(e);
        EXPECT_LE(sounding[e.Data1], 1) << Describe(e);
        on += e.Data2 ? 1 : 0;
    }
    EXPECT_EQ(on, 26);  // the 25 tied notes and the one started again
    for (int key = 0; key < 128; ++key)
        EXPECT_EQ(sounding[key], 0) << key;
}

TEST(Format, AllStaffsAndTheEditHooks) {
    TMusicScore score;
    auto* clean = new TMusicStaff();
    auto* dirty = new TMusicStaff();
    Append(*clean, new TRestNote(dcWhole));
    Append(*dirty, new TRestNote(dcWhole));
    dirty->NeedsFormat = 1;
    ASSERT_TRUE(score.AddStaff(clean));
    ASSERT_TRUE(score.AddStaff(dirty));
    FormatAllStaffs(&score, false);
    EXPECT_FALSE(static_cast<TRestNote*>(clean->GetItem(1))->HasBarLength());
    EXPECT_TRUE(static_cast<TRestNote*>(dirty->GetItem(1))->HasBarLength());
    EXPECT_EQ(dirty->NeedsFormat, 0);
    FormatAllStaffs(&score, true);
    EXPECT_TRUE(static_cast<TRestNote*>(clean->GetItem(1))->HasBarLength());

    // Edits through the staff and the ranges reformat once the passes are installed.
    InstallStaffFormatting();
    Append(*clean, Note(0, dcQuarter, Attr({naTie})));
    clean->InsertItem(Note(0), clean->GetLastIndex());
    clean->Reformat(2, -1);
    EXPECT_TRUE(SongAt(*clean, 3)->IsTieContinued());
    TStaffItemRange range(clean, 2, 3);
    StaffRangeToggleTies(range, nullptr);
    EXPECT_FALSE(SongAt(*clean, 3)->IsTieContinued());
}

std::unique_ptr<TMusicScore> ImportCorpusFile(const std::filesystem::path& path) {
    return qsm::ImportTextScoreFile(path.string());
}

TEST(Format, EveryTestScoreIsFormattedOnceForAll) {
    int files = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(QSM_TESTDATA_DIR) + "/textscore")) {
        if (entry.path().extension() != ".qsmtxt") continue;
        auto score = ImportCorpusFile(entry.path());
        if (!score) continue;  // files that are no score, kept for the importer's own tests
        ++files;
        std::string before;
        for (int i = 0; i < score->GetStaffCount(); ++i)
            before += Snapshot(*score->GetStaff(i));
        FormatAllStaffs(score.get(), true);
        std::string after;
        for (int i = 0; i < score->GetStaffCount(); ++i)
            after += Snapshot(*score->GetStaff(i));
        EXPECT_EQ(FirstDifference(after, before), "") << entry.path().filename();
    }
    EXPECT_GE(files, 5);

    // The scores built in code for the playback tests, and hand-written music: formatted once, then again.
    std::vector<std::unique_ptr<TMusicScore>> built;
    built.push_back(MakeDemoScore(8, 120, false));
    built.push_back(MakeDemoScore(4, 90, true));
    built.push_back(std::make_unique<TMusicScore>());
    auto* music = new TMusicStaff();
    FillMusic(*music, 40);
    ASSERT_TRUE(built.back()->AddStaff(music));
    for (auto& score : built) {
        FormatAllStaffs(score.get(), true);
        std::string once;
        for (int i = 0; i < score->GetStaffCount(); ++i)
            once += Snapshot(*score->GetStaff(i));
        FormatAllStaffs(score.get(), true);
        std::string twice;
        for (int i = 0; i < score->GetStaffCount(); ++i)
            twice += Snapshot(*score->GetStaff(i));
        EXPECT_EQ(FirstDifference(twice, once), "");
    }
}

TEST(Format, TheSampleScoreGetsItsMarks) {
    auto score = ImportCorpusFile(std::string(QSM_TESTDATA_DIR) + "/textscore/sample.qsmtxt");
    ASSERT_NE(score, nullptr);
    TMusicStaff& staff = *score->GetStaff(0);
    int rest = -1;
    int tieEnd = -1;
    for (int i = 0; i < staff.GetItemCount(); ++i) {
        const TNotatedItem* item = staff.GetItem(i);
        if (item->GetType() == ntRest) rest = i;
        if (item->GetType() == ntNote && static_cast<const TSongNote*>(item)->IsTieContinued()) tieEnd = i;
    }
    ASSERT_GT(rest, 0);
    ASSERT_GT(tieEnd, 0);
    EXPECT_EQ(staff.GetItem(rest)->GetDuration(), 576);
    auto* end = static_cast<TMusicNote*>(staff.GetItem(tieEnd));
    EXPECT_FALSE(end->HasAutomaticMark());  // the sharp is in force in the bar already
    EXPECT_EQ(end->GetBeamState(), gsEnd);
    EXPECT_EQ(end->GetStemSetting(), 1);
    EXPECT_EQ(SongAt(staff, tieEnd - 1)->GetStemSetting(), 1);
    // The tied D sharp sounds once, for both eighths.
    const auto events = Perform(staff);
    int dSharp = 0;
    for (const auto& e : events)
        dSharp += e.find(" on 63 ") != std::string::npos ? 1 : 0;
    EXPECT_EQ(dSharp, 1);
}

}  // namespace
