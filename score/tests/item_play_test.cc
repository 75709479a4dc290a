// Playback of every item kind, checked as the event lists a performance walk renders.
#include <gtest/gtest.h>

#include "score/item_play.h"
#include "score/tests/walk_fixture.h"

using namespace qsm::test;
using Ev = std::vector<std::string>;

namespace {

constexpr int B4 = 0;   // middle line of the treble clef: MIDI 71
constexpr int C5 = -1;  // 72
constexpr int F4 = 3;   // 65

TEST(ItemPlay, ArticulatedLengthsAndVelocities) {
    TMusicStaff staff;
    Append(staff, Note(B4, dcQuarter, Attr({naStaccato})));
    Append(staff, Note(B4, dcQuarter));
    Append(staff, Note(B4, dcHalf));
    Append(staff, Note(B4, dcWhole));
    Append(staff, Note(B4, dcEighth));
    Append(staff, Note(B4, dcQuarter, Attr({naStaccatissimo, naTenuto})));
    Append(staff, Note(B4, dcQuarter, Attr({naAccent})));
    EXPECT_EQ(Perform(staff),
              (Ev{"0 on 71 110", "73 off 71", "192 on 71 110", "352 off 71", "384 on 71 110", "720 off 71",
                  "768 on 71 110", "1488 off 71", "1536 on 71 110", "1630 off 71", "1632 on 71 116",
                  "1728 off 71", "1824 on 71 127", "1984 off 71"}));
}

TEST(ItemPlay, DynamicsSetVelocityAndVolume) {
    TMusicStaff staff;
    auto* dynamic = new TDynamicLevelData(dlMF);
    dynamic->SetVelocity(80);
    dynamic->SetVolume(90);
    dynamic->SetVolumeGiven(true);
    Append(staff, dynamic);
    Append(staff, Note(B4, dcQuarter, Attr({naAccent})));
    Append(staff, Note(B4, dcQuarter, Attr({naTenuto})));
    auto* loud = new TDynamicLevelData(dlFF);
    loud->SetVelocity(120);
    Append(staff, loud);
    Append(staff, Note(B4, dcQuarter, Attr({naMarcato})));
    // Accent: 80 + 5 x 8; tenuto: 80 + 5 and the full length; marcato at 120 is capped at 127.
    EXPECT_EQ(Perform(staff), (Ev{"0 cc 7 90", "0 on 71 120", "160 off 71", "192 on 71 85", "384 off 71",
                                  "384 on 71 127", "544 off 71"}));
}

TEST(ItemPlay, PerformanceStylesChangeLengthAndVelocity) {
    TMusicStaff staff;
    Append(staff, new TPerformanceStyle(7));  // Legato
    Append(staff, Note(B4));
    Append(staff, Note(B4, dcQuarter, Attr({naStaccato})));
    Append(staff, new TPerformanceStyle(18));  // Staccato
    Append(staff, Note(B4));
    Append(staff, Note(B4, dcQuarter, Attr({naStaccato})));
    Append(staff, Note(B4, dcQuarter, Attr({naTenuto})));
    Append(staff, new TPerformanceStyle(9));  // Marcato
    Append(staff, Note(B4));
    EXPECT_EQ(Perform(staff), (Ev{"0 on 71 110", "192 off 71", "192 on 71 110", "284 off 71", "384 on 71 110",
                                  "461 off 71", "576 on 71 110", "630 off 71", "768 on 71 116", "959 off 71",
                                  "960 on 71 127", "1120 off 71"}));
}

TEST(ItemPlay, TiedNotesSoundAsOne) {
    TMusicStaff staff;
    auto* first = Note(B4, dcQuarter, Attr({naTie}));
    auto* second = Note(B4, dcQuarter);
    second->SetTieContinued(true);
    Append(staff, first);
    Append(staff, second);
    Append(staff, Note(C5));
    EXPECT_EQ(Perform(staff), (Ev{"0 on 71 110", "352 off 71", "384 on 72 110", "544 off 72"}));
}

TEST(ItemPlay, GraceNotesTakeTimeFromTheMainNote) {
    TMusicStaff staff;
    Append(staff, Note(C5, dcEighth, Attr({naGrace})));
    Append(staff, Note(C5, dcEighth, Attr({naGrace})));
    Append(staff, Note(B4));
    EXPECT_EQ(Perform(staff),
              (Ev{"0 on 72 110", "22 off 72", "24 on 72 110", "46 off 72", "48 on 71 110", "190 off 71"}));
}

TEST(ItemPlay, ChordsPlayEveryMember) {
    TMusicStaff staff;
    Append(staff, Chord({B4, F4}));
    auto* muted = Chord({B4, F4});
    muted->SetMuted(true);
    Append(staff, muted);
    auto* restChord = new TRestChord(dcQuarter);
    restChord->AddNote(Note(C5));
    Append(staff, restChord);
    Append(staff, new TRestNote(dcQuarter));
    const Ev events = Perform(staff);
    EXPECT_EQ(events,
              (Ev{"0 on 65 110", "0 on 71 110", "160 off 65", "160 off 71", "384 on 72 110", "544 off 72"}));
}

TEST(ItemPlay, SignaturesTempoPedalAndPatch) {
    TMusicStaff staff;
    Append(staff, new TKeyData(0, AttributeBit(1)));  // one flat (B): F major
    Append(staff, new TTimeSignatureData(3, 2));
    Append(staff, new TTempoData(90, tbQuarterDotted));
    TStaffInstrument instrument;
    instrument.SetPatch(5);
    instrument.SetBank(1, 3);
    Append(staff, new TPatchData(&instrument));
    Append(staff, new TSustainPedal(1));
    Append(staff, Note(B4, dcHalf, 0, acNatural));
    Append(staff, new TSustainPedal(0));
    Append(staff, new TKeyData(0, AttributeBit(1)));     // the same key again: nothing
    Append(staff, new TTimeSignatureData(3, 2));         // the same meter again: nothing
    Append(staff, new TKeyData(0, AttributeBit(1), 3));  // D minor: relative minor of F
    Append(staff, new TTimeSignatureData(6, 3));
    EXPECT_EQ(Perform(staff), (Ev{"0 key -1 0", "0 time 3 2", "0 tempo 135", "0 cc 0 1", "0 cc 32 3",
                                  "0 prog 5", "0 cc 64 127", "0 on 71 110", "336 off 71", "384 cc 64 0",
                                  "384 key -1 1", "384 time 6 3"}));
}

TEST(ItemPlay, PatchTransposesTheNotesAfterIt) {
    TMusicStaff staff;
    TStaffInstrument instrument;
    instrument.SetTranspose(-12);
    Append(staff, new TPatchData(&instrument));
    Append(staff, Note(B4));
    EXPECT_EQ(Perform(staff), (Ev{"0 on 59 110", "160 off 59"}));
}

TEST(ItemPlay, OutOfRangeValuesFromFilesStayMidiData) {
    TMusicStaff staff;
    TStaffInstrument bad;
    bad.PatchByte = 200;
    Append(staff, new TPatchData(&bad));
    TStaffInstrument wideBank;
    wideBank.SetPatch(0);
    wideBank.BankFlag = 1;
    wideBank.Bank = 0xFFFF;
    Append(staff, new TPatchData(&wideBank));
    auto* control = new TGenericControl();
    control->SetController(1);  // volume
    control->SetPoint(0, 0, 300);
    control->SetPoint(1, -4, -5);
    Append(staff, control);
    auto* bend = new TGenericControl();
    bend->SetController(4);
    bend->SetPoint(0, 1, 20000);
    Append(staff, bend);
    EXPECT_EQ(Perform(staff),
              (Ev{"0 cc 0 127", "0 cc 32 127", "0 prog 0", "0 cc 7 127", "0 cc 7 0", "192 bend 127 127"}));
}

TEST(ItemPlay, GenericControlSweep) {
    TMusicStaff staff;
    auto* control = new TGenericControl();
    control->SetController(10);  // expression, controller 11
    control->SetStyle(gcLinearSweep);
    control->SetTimeRes(dcQuarter);
    control->SetSweepRes(8);
    control->SetPoint(0, 0, 0);
    control->SetPoint(1, 1, 127);
    Append(staff, control);
    const Ev events = Perform(staff);
    ASSERT_EQ(events.size(), 16u);
    EXPECT_EQ(events.front(), "0 cc 11 0");
    EXPECT_EQ(events[1], "12 cc 11 8");
    EXPECT_EQ(events[14], "179 cc 11 112");
    EXPECT_EQ(events.back(), "192 cc 11 127");
}

TEST(ItemPlay, TempoVariancePausesAndRamps) {
    TMusicStaff staff;
    Append(staff, new TTempoVariance(tvFermata, 4));
    Append(staff, new TTempoVariance(tvBreathMark, 0));
    auto* accel = new TTempoVariance(tvAccelerando);
    accel->SetPlaybackRamp(100, 104, 192);
    Append(staff, accel);
    Append(staff, Note(B4));
    EXPECT_EQ(Perform(staff), (Ev{"0 on 71 110", "1 pause 4", "48 tempo 101", "96 tempo 102", "144 tempo 103",
                                  "160 off 71"}));
}

TEST(ItemPlay, LocalRepeatPlaysTheSectionTwice) {
    TMusicStaff staff;
    Append(staff, Note(C5));
    Append(staff, new TBarLineData(bsLocalRepeatOpen));
    Append(staff, Note(B4));
    Append(staff, new TBarLineData(bsLocalRepeatClose, 2));
    Append(staff, Note(F4));
    EXPECT_EQ(Perform(staff), (Ev{"0 on 72 110", "160 off 72", "192 on 71 110", "352 off 71", "384 on 71 110",
                                  "544 off 71", "576 on 65 110", "736 off 65"}));
}

TEST(ItemPlay, MasterRepeatWithEndings) {
    TMusicStaff staff;
    Append(staff, new TBarLineData(bsMasterRepeatOpen));
    Append(staff, Note(C5));
    Append(staff, new TSpecialEnding(1));
    Append(staff, Note(B4));
    Append(staff, new TBarLineData(bsMasterRepeatClose));
    Append(staff, new TSpecialEnding(2));
    Append(staff, Note(F4));
    EXPECT_EQ(Perform(staff), (Ev{"0 on 72 110", "160 off 72", "192 on 71 110", "352 off 71", "384 on 72 110",
                                  "544 off 72", "576 on 65 110", "736 off 65"}));
}

TEST(ItemPlay, TheDEndingIsPlayedAfterADaCapo) {
    TMusicStaff staff;
    Append(staff, new TBarLineData(bsMasterRepeatOpen));
    Append(staff, Note(C5));
    Append(staff, new TSpecialEnding(1));
    Append(staff, Note(B4));
    Append(staff, new TBarLineData(bsMasterRepeatClose));
    Append(staff, new TSpecialEnding(2));
    Append(staff, Note(F4));
    Append(staff, new TSpecialEnding(0x80));  // ending 8, "D"
    Append(staff, Note(2));                   // G4
    Append(staff, new TBarLineData(bsDouble));
    Append(staff, new TFlowDirection(fsDaCapo));
    // Twice through the repeat (endings 1 and 2), then after the jump straight to the D ending.
    EXPECT_EQ(Perform(staff), (Ev{"0 on 72 110", "160 off 72", "192 on 71 110", "352 off 71", "384 on 72 110",
                                  "544 off 72", "576 on 65 110", "736 off 65", "768 on 72 110", "928 off 72",
                                  "960 on 67 110", "1120 off 67"}));
}

TEST(ItemPlay, TempoCurvesKeepAPlayableTempo) {
    TMusicStaff staff;
    auto* tempo = new TGenericControl();
    tempo->SetController(0);
    tempo->SetTimeRes(dcQuarter);
    tempo->SetPoint(0, 0, 90);
    tempo->SetPoint(1, 2, 1);
    tempo->SetPoint(2, 1, -30);
    Append(staff, tempo);
    TMidiFileBuf buffer;
    PerformStaff(staff, buffer);
    ASSERT_EQ(buffer.GetEventCount(), 3);
    std::vector<std::pair<DWORD, DWORD>> tempos;
    for (int i = 0; i < 3; ++i) {
        const TMidiEvent& e = *buffer.GetEvent(i);
        tempos.emplace_back(e.Tick, TMidiEvent::GetTempoMicros(e.GetMessage()));
    }
    // 90 quarters a minute, then twice the slowest tempo kept: 4 a minute.
    EXPECT_EQ(tempos, (std::vector<std::pair<DWORD, DWORD>>{{0, 666666}, {384, 15000000}, {576, 15000000}}));
}

TEST(ItemPlay, NoteOnEventOfANote) {
    TStaffPlayState state;
    state.SetChannel(3);
    state.SetPort(2);
    state.SetVelocity(80);
    TMusicNote plain(B4);
    TMidiEvent on = plain.MakeNoteOnEvent(state);
    EXPECT_EQ(Describe(on), "0 on 71 80");
    EXPECT_EQ(on.GetChannel(), 3);
    EXPECT_EQ(on.GetPort(), 2);
    TMusicNote accent(C5, dcQuarter, Attr({naAccent}));
    EXPECT_EQ(Describe(accent.MakeNoteOnEvent(state)), "0 on 72 112");  // 80 x 7 / 5
    state.SetVelocity(100);
    TMusicNote marcato(C5, dcQuarter, Attr({naMarcato}));
    EXPECT_EQ(Describe(marcato.MakeNoteOnEvent(state)), "0 on 72 127");
}

// An item that sends the walk back to the start, as only a damaged file or a broken item could.
class JumpBack : public TNotatedItem {
public:
    JumpBack() : TNotatedItem(ntStaffSpacer) {}
    int Measure(TStaffDrawInfo&, TLayoutRecord&) override { return 0; }
    void Draw(TStaffDrawInfo&, TLayoutRecord&, int) override {}
    int GetNextPlayIndex(TStaffPlayState&, TMusicStaff&, int) override { return 0; }
};

TEST(ItemPlay, PlayOrderWalksOfTheStaffStopAtTheirStepCap) {
    TMusicStaff staff;
    Append(staff, new TClefData(ctBass));
    Append(staff, Note(B4));
    Append(staff, new JumpBack());
    Append(staff, new TKeyData(AttributeBit(5), 0));
    const int target = Append(staff, Note(B4));
    int clef = 0;
    int time = 0;
    int key = 0;
    staff.FindContextItems(target, clef, time, key);  // never reached: the walk ends all the same
    EXPECT_EQ(clef, 1);
    EXPECT_EQ(key, -1);
    TStaffPlayState state;
    staff.BuildPlayStateAt(target, state);
    EXPECT_EQ(state.GetClef(), ctBass);
    EXPECT_EQ(state.GetKeyIndex(), 0);
}

// An item that play order jumps over: the walk goes on three items further.
class JumpOver : public TNotatedItem {
public:
    JumpOver() : TNotatedItem(ntStaffSpacer) {}
    int Measure(TStaffDrawInfo&, TLayoutRecord&) override { return 0; }
    void Draw(TStaffDrawInfo&, TLayoutRecord&, int) override {}
    int GetNextPlayIndex(TStaffPlayState&, TMusicStaff&, int index) override { return index + 3; }
};

TEST(ItemPlay, ContextOfAnItemThatPlayOrderSkipsIsTheOneWhereTheWalkJumped) {
    TMusicStaff staff;
    const int clef = Append(staff, new TClefData(ctBass));
    Append(staff, Note(B4));
    Append(staff, new JumpOver());
    const int skipped = Append(staff, Note(B4));
    Append(staff, Note(B4));
    const int key = Append(staff, new TKeyData(AttributeBit(5), 0));
    const int last = Append(staff, Note(B4));
    int c = 0, t = 0, k = 0;
    staff.FindContextItems(skipped, c, t, k);
    EXPECT_EQ(c, clef);
    EXPECT_EQ(k, -1);  // the key after the skipped note is not in force there
    staff.FindContextItems(last, c, t, k);
    EXPECT_EQ(k, key);
    // A walk carried on from index to index gives what a walk from the start gives, also going back.
    TStaffContextWalk walk;
    for (int i : {0, 2, skipped, last, skipped, last, last}) {
        int c1 = 0, t1 = 0, k1 = 0, c2 = 0, t2 = 0, k2 = 0;
        staff.FindContextItems(i, c1, t1, k1);
        staff.FindContextItems(i, c2, t2, k2, walk);
        EXPECT_EQ(c1, c2) << i;
        EXPECT_EQ(t1, t2) << i;
        EXPECT_EQ(k1, k2) << i;
    }
}

TEST(ItemPlay, DaCapoAlFine) {
    TMusicStaff staff;
    Append(staff, Note(C5));
    Append(staff, new TFlowDirection(fsFine));
    Append(staff, Note(B4));
    Append(staff, new TFlowDirection(fsDCalFine));
    EXPECT_EQ(Perform(staff), (Ev{"0 on 72 110", "160 off 72", "192 on 71 110", "352 off 71", "384 on 72 110",
                                  "544 off 72"}));
}

TEST(ItemPlay, DalSegnoAlCoda) {
    TMusicStaff staff;
    Append(staff, Note(C5));
    Append(staff, new TFlowDirection(fsSegno));
    Append(staff, Note(B4));
    Append(staff, new TFlowDirection(fsToCoda));
    Append(staff, Note(F4));
    Append(staff, new TFlowDirection(fsDSalCoda));
    Append(staff, new TFlowDirection(fsCoda));
    Append(staff, Note(C5, dcHalf));
    EXPECT_EQ(Perform(staff),
              (Ev{"0 on 72 110", "160 off 72", "192 on 71 110", "352 off 71", "384 on 65 110", "544 off 65",
                  "576 on 71 110", "736 off 71", "768 on 72 110", "1104 off 72"}));
}

TEST(ItemPlay, CodaBeforeTheJumpEndsTheWalk) {
    // A coda placed before the D.C. with a To Coda after it: the walk jumps to the coda once and goes on.
    TMusicStaff staff;
    Append(staff, new TFlowDirection(fsCoda));
    Append(staff, Note(C5));
    Append(staff, new TFlowDirection(fsDaCapo));
    Append(staff, new TFlowDirection(fsToCoda));
    Append(staff, Note(B4));
    TMidiFileBuf buffer;
    const int steps = PerformStaff(staff, buffer);
    EXPECT_LT(steps, 40);
    EXPECT_EQ(Events(buffer), (Ev{"0 on 72 110", "160 off 72", "192 on 72 110", "352 off 72", "384 on 72 110",
                                  "544 off 72", "576 on 71 110", "736 off 71"}));
}

TEST(ItemPlay, TiesThatNothingContinuesStillEnd) {
    {  // into a rest
        TMusicStaff staff;
        Append(staff, Note(B4, dcQuarter, Attr({naTie})));
        Append(staff, new TRestNote(dcQuarter));
        EXPECT_EQ(Perform(staff), (Ev{"0 on 71 110", "192 off 71"}));
    }
    {  // into another pitch
        TMusicStaff staff;
        Append(staff, Note(B4, dcQuarter, Attr({naTie})));
        Append(staff, Note(C5));
        EXPECT_EQ(Perform(staff), (Ev{"0 on 71 110", "192 off 71", "192 on 72 110", "352 off 72"}));
    }
    {  // on the last note
        TMusicStaff staff;
        Append(staff, Note(B4, dcHalf, Attr({naTie})));
        EXPECT_EQ(Perform(staff), (Ev{"0 on 71 110", "384 off 71"}));
    }
    {  // across a repeat: the jump back reaches a note that continues nothing
        TMusicStaff staff;
        Append(staff, new TBarLineData(bsLocalRepeatOpen));
        Append(staff, Note(C5));
        Append(staff, Note(B4, dcQuarter, Attr({naTie})));
        Append(staff, new TBarLineData(bsLocalRepeatClose, 2));
        auto* end = Note(B4);
        end->SetTieContinued(true);
        Append(staff, end);
        EXPECT_EQ(Perform(staff), (Ev{"0 on 72 110", "160 off 72", "192 on 71 110", "384 off 71",
                                      "384 on 72 110", "544 off 72", "576 on 71 110", "928 off 71"}));
    }
    {  // across a D.C.: the jump back reaches a note that continues nothing
        TMusicStaff staff;
        Append(staff, Note(C5));
        Append(staff, Note(B4, dcQuarter, Attr({naTie})));
        Append(staff, new TFlowDirection(fsDaCapo));
        auto* end = Note(B4);
        end->SetTieContinued(true);
        Append(staff, end);
        EXPECT_EQ(Perform(staff), (Ev{"0 on 72 110", "160 off 72", "192 on 71 110", "384 off 71",
                                      "384 on 72 110", "544 off 72", "576 on 71 110", "928 off 71"}));
    }
    {  // continued by a muted chord
        TMusicStaff staff;
        Append(staff, Note(B4, dcQuarter, Attr({naTie})));
        auto* chord = Chord({B4, F4});
        chord->GetNote(0)->SetTieContinued(true);
        chord->SetMuted(true);
        Append(staff, chord);
        Append(staff, Note(C5));
        EXPECT_EQ(Perform(staff), (Ev{"0 on 71 110", "192 off 71", "384 on 72 110", "544 off 72"}));
    }
    {  // continued by a muted note
        TMusicStaff staff;
        Append(staff, Note(B4, dcQuarter, Attr({naTie})));
        auto* end = Note(B4);
        end->SetTieContinued(true);
        end->SetMuted(true);
        Append(staff, end);
        EXPECT_EQ(Perform(staff), (Ev{"0 on 71 110", "192 off 71"}));
    }
}

TEST(ItemPlay, TiedAccidentalAcrossABarLineEndsAtItsOwnPitch) {
    TMusicStaff staff;
    Append(staff, Note(F4, dcQuarter, Attr({naTie}), acSharp));
    Append(staff, new TBarLineData());
    auto* end = Note(F4);  // after the bar line F plays natural in this context
    end->SetTieContinued(true);
    Append(staff, end);
    EXPECT_EQ(Perform(staff), (Ev{"0 on 66 110", "352 off 66"}));
}

TEST(ItemPlay, ManyOpenTiesNeverHang) {
    TMusicStaff staff;
    std::vector<int> positions;
    for (int i = 0; i < 40; ++i)
        positions.push_back(20 - i);
    auto* chord = new TChordData();
    for (int p : positions)
        chord->AddNote(Note(p, dcQuarter, Attr({naTie})));
    Append(staff, chord);
    Append(staff, new TRestNote());
    TMidiFileBuf buffer;
    PerformStaff(staff, buffer);
    int on = 0;
    int off = 0;
    for (int i = 0; i < buffer.GetEventCount(); ++i) {
        const TMidiEvent& e = *buffer.GetEvent(i);
        if (e.GetCommand() == MIDI_CMD_NOTEON) (e.Data2 ? on : off)++;
    }
    EXPECT_EQ(on, chord->GetNoteCount());
    EXPECT_EQ(off, on);
}

TEST(ItemPlay, SilentKindsAddNothingButTime) {
    TMusicStaff staff;
    Append(staff, new TClefData(ctBass));
    Append(staff, new TDynamicVariance(dvCrescendo));
    Append(staff, new TTextExpression("dolce"));
    Append(staff, new TChordName("C7"));
    Append(staff, new TStaffSpacer(100));
    Append(staff, new TStaffSizer());
    Append(staff, new TSpecialEnding(0));
    Append(staff, new TFlowDirection(fsSegno));
    auto* multi = new TMultiMeasureRest(2);
    multi->SetBarLength(4, dcQuarter);
    Append(staff, multi);
    Append(staff, new TRestNote(dcHalf));
    Append(staff, Note(0));
    // Bass clef: the middle line is D3.
    EXPECT_EQ(Perform(staff), (Ev{"1920 on 50 110", "2080 off 50"}));
}

TEST(ItemPlay, UpdatePlayStateKeepsTheContext) {
    TMusicStaff staff;
    Append(staff, new TClefData(ctBass));
    Append(staff, new TKeyData(AttributeBit(5), 0));
    Append(staff, new TTimeSignatureData(6, 3));
    Append(staff, Note(F4, dcQuarter, Attr({naSlur}), acDoubleSharp));
    Append(staff, Note(F4, dcQuarter, Attr({naGrace})));
    auto* multi = new TMultiMeasureRest(3);
    multi->SetBarLength(6, 3);
    Append(staff, multi);
    TMidiFileBuf buffer;
    TStaffPlayState state;
    PerformStaff(staff, buffer, &state);
    EXPECT_EQ(state.GetClef(), ctBass);
    EXPECT_EQ(state.GetKeyIndex(), 1);
    EXPECT_EQ(state.GetBeatsPerBar(), 6);
    EXPECT_EQ(state.GetBeatUnitCode(), 3);
    EXPECT_EQ(state.GetTick(), 192u + 3u * 576u);
    EXPECT_TRUE(state.InNoteGroup());
    EXPECT_EQ(state.GetNoteCounter(), 1);
    // The closing bar line brought the key's accidentals back.
    EXPECT_EQ(state.GetAccidental(TMusicNote(F4).GetLetter(ctBass)), 2);
}

}  // namespace
