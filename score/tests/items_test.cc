#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "score/expression_items.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

std::vector<std::unique_ptr<TNotatedItem>> OneOfEachKind() {
    std::vector<std::unique_ptr<TNotatedItem>> items;
    items.emplace_back(new TClefData(ctBass));
    items.emplace_back(new TKeyData(0, 0, 2));
    items.emplace_back(new TBarLineData(bsSingle, 1));
    items.emplace_back(new TSpecialEnding(1));
    items.emplace_back(new TPatchData(nullptr));
    items.emplace_back(new TTimeSignatureData(3, 2, tsStandard));
    items.emplace_back(new TTempoData(100, tbQuarter));
    items.emplace_back(new TDynamicLevelData(dlF));
    items.emplace_back(new TMusicNote(0, dcQuarter, 0, acNone));
    items.emplace_back(new TRestNote(dcQuarter, 0));
    items.emplace_back(new TChordData());
    items.emplace_back(new TSustainPedal(1));
    items.emplace_back(new TFlowDirection(fsSegno));
    items.emplace_back(new TGenericControl());
    items.emplace_back(new TTempoVariance(tvFermata, 2));
    items.emplace_back(new TDynamicVariance(dvCrescendo));
    items.emplace_back(new TPerformanceStyle(5));
    items.emplace_back(new TTextExpression(nullptr));
    items.emplace_back(new TRestChord(dcQuarter, 0));
    items.emplace_back(new TChordName(nullptr));
    items.emplace_back(new TStaffSpacer(100));
    items.emplace_back(new TMultiMeasureRest(4));
    items.emplace_back(new TStaffSizer());
    return items;
}

TEST(ItemKindsTest, TypeTagsAndCommonDefaults) {
    auto items = OneOfEachKind();
    ASSERT_EQ(items.size(), static_cast<size_t>(ntItemTypeCount));
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(items[i]->GetType(), static_cast<int>(i));
        EXPECT_EQ(items[i]->GetVisibility(), 0);
        EXPECT_EQ(items[i]->GetColor(), 0);
        EXPECT_EQ(items[i]->GetNote(0) != nullptr, items[i]->GetType() == ntNote);
        const int t = items[i]->GetType();
        const bool song = t == ntNote || t == ntRest || t == ntChord || t == ntRestChord;
        EXPECT_EQ(items[i]->IsSongNote(), song);
        const bool expression = t == ntPatch || t == ntTempo || t == ntDynamic ||
                                (t >= ntSustainPedal && t <= ntTextExpression) || t == ntChordName;
        EXPECT_EQ(items[i]->IsExpression(), expression);
    }
}

TEST(ItemKindsTest, StaffPositionsOfStructureItems) {
    TClefData treble(ctTreble);
    EXPECT_EQ(treble.GetMinStaffPos(), -6);
    EXPECT_EQ(treble.GetMaxStaffPos(), 7);
    treble.SetOctaveShift(osOctaveUp);
    EXPECT_EQ(treble.GetMinStaffPos(), -8);
    TClefData tenor(ctTenor);
    tenor.SetOctaveShift(osOctaveDown);
    EXPECT_EQ(tenor.GetMinStaffPos(), -7);
    EXPECT_EQ(tenor.GetMaxStaffPos(), 5);
    EXPECT_EQ(TClefData(ctPercussion).GetMaxStaffPos(), 4);
    EXPECT_EQ(TKeyData().GetMinStaffPos(), -6);
    EXPECT_EQ(TBarLineData().GetMaxStaffPos(), 4);
    TSpecialEnding ending(3);
    EXPECT_EQ(ending.GetStaffPos(), -10);
    EXPECT_EQ(ending.GetMinStaffPos(), 0);
    EXPECT_EQ(TMultiMeasureRest(2).GetMinStaffPos(), -2);
    EXPECT_EQ(TStaffSizer().GetMaxStaffPos(), 0);
}

TEST(ItemKindsTest, ClefFields) {
    TClefData clef(ctAlto);
    EXPECT_EQ(clef.GetClefType(), ctAlto);
    EXPECT_EQ(clef.GetOctaveShift(), 0);
    EXPECT_EQ(clef.GetAutoSysOff(), 0);
    clef.SetAutoSysOff(true);
    EXPECT_EQ(clef.GetAutoSysOff(), -1);
    clef.SetOctaveShift(-1);
    EXPECT_EQ(clef.GetOctaveShift(), -1);
}

TEST(KeyTest, MasksCountingAndTonic) {
    TKeyData key;
    key.SetSharp(5);  // F
    key.SetSharp(6);  // G
    EXPECT_EQ(CountSharps(key.GetSharpMask()), 1);
    key.SetFlat(5);
    EXPECT_EQ(key.GetKeyAccidental(5), 1);
    EXPECT_EQ(key.GetKeyAccidental(6), 0);
    key.SetNatural(6);
    EXPECT_EQ(key.GetKeyAccidental(6), 2);
    EXPECT_EQ(KeySignatureToFifths(0x24 /* C, F */, 0x13 /* A, B, E */), -3);
    EXPECT_EQ(FifthsToMajorTonic(-3), 4);
    EXPECT_EQ(FifthsToMajorTonic(0), 2);
    EXPECT_EQ(FifthsToMajorTonic(1), 6);
    EXPECT_EQ(FifthsToMajorTonic(-1), 5);
    key.SetPrecedingSignature(0x64, 0);
    key.SetMasks(0x20, 0);
    EXPECT_EQ(key.GetCancelledSharps(), 0x44);
}

TEST(KeyTest, Transposition) {
    uint16_t sharps = 0, flats = 0;
    FifthsToKeyMasks(2, sharps, flats);
    TKeyData d(sharps, flats, 3);
    int steps = 0;
    d.Transpose(2, steps, 0, true);
    EXPECT_EQ(steps, -1);
    EXPECT_EQ(d.GetFifths(), 2);
    d.Transpose(2, steps, 0, false);
    EXPECT_EQ(steps, -1);
    EXPECT_EQ(d.GetFifths(), 4);
    EXPECT_EQ(d.GetTonic(), 4);

    FifthsToKeyMasks(-7, sharps, flats);
    TKeyData cFlat(sharps, flats, 2);
    cFlat.Transpose(0, steps, 0, false);
    EXPECT_EQ(cFlat.GetFifths(), 5);  // B major
    EXPECT_EQ(steps, -6);
    TKeyData c(0, 0, 2);
    c.Transpose(-1, steps, -1, false);
    EXPECT_EQ(c.GetFifths(), -7);  // C flat preferred over B
    EXPECT_EQ(steps, 0);
    TKeyData c2(0, 0, 2);
    c2.Transpose(6, steps, 1, false);
    EXPECT_EQ(c2.GetFifths(), 6);  // F sharp preferred over G flat
    TKeyData c3(0, 0, 2);
    c3.Transpose(-14, steps, 0, false);
    EXPECT_EQ(c3.GetFifths(), -2);  // B flat, more than an octave down
    EXPECT_EQ(steps, 8);
}

TEST(TimeSignatureTest, ValueRules) {
    TTimeSignatureData a(0, 9, 0);
    EXPECT_EQ(a.GetBeats(), 1);
    EXPECT_EQ(a.GetBeatValueExponent(), 5);
    TTimeSignatureData b(-6, 3, 0);
    EXPECT_EQ(b.GetBeats(), 6);
    EXPECT_EQ(b.GetBeatValue(), 8);
    EXPECT_EQ(b.GetMeasureTicks(), 576);
    TTimeSignatureData c(300, 2, 0);
    EXPECT_EQ(c.GetBeats(), 128);
    c.SetStyle(tsCommon);
    EXPECT_EQ(c.GetBeats(), 4);
    EXPECT_TRUE(c.IsCommon());
    c.SetStyle(tsAllaBreve);
    EXPECT_EQ(c.GetBeats(), 2);
    EXPECT_EQ(c.GetBeatValueExponent(), 1);
    EXPECT_EQ(ExponentOfBeatValue(16), 4);
    EXPECT_EQ(ExponentOfBeatValue(3), 2);
}

TEST(BarLineTest, StylesAndRepeats) {
    TBarLineData bar(bsSingle, 1);
    bar.SetStyleAndRepeat(bsLocalRepeatClose, 1);
    EXPECT_EQ(bar.GetRepeat(), 2);
    bar.SetStyleAndRepeat(bsLocalRepeatClose, 5);
    EXPECT_EQ(bar.GetRepeat(), 5);
    bar.SetStyleAndRepeat(bsDouble, 5);
    EXPECT_EQ(bar.GetRepeat(), 1);
    bar.SetVisibility(ivNever);
    bar.SetStaffEndStyle(4);
    EXPECT_EQ(bar.GetStyle(), bsTransparent);
    EXPECT_EQ(bar.GetVisibility(), 0);
    bar.SetStaffEndStyle(9);
    EXPECT_EQ(bar.GetStyle(), bsSectionClose);
    EXPECT_TRUE(bar.IsClosingStyle());
    EXPECT_EQ(bar.GetMatchingOpenStyle(), bsSectionOpen);
    EXPECT_EQ(TBarLineData(bsDouble).GetMatchingOpenStyle(), 11);
    EXPECT_TRUE(TBarLineData(bsMasterRepeatOpen).IsRepeatOpen());
    EXPECT_TRUE(TBarLineData(bsLocalRepeatOpen).IsOpeningStyle());
}

TEST(SpecialEndingTest, EndingsAndOffsets) {
    TSpecialEnding ending(0x80 | 0x02);
    EXPECT_TRUE(ending.HasEnding(1));
    EXPECT_TRUE(ending.HasEnding(7));
    EXPECT_FALSE(ending.HasEnding(0));
    EXPECT_FALSE(ending.HasEnding(40));
    EXPECT_TRUE(ending.IsLaterEnding());
    EXPECT_FALSE(TSpecialEnding(1).IsLaterEnding());
    EXPECT_FALSE(TSpecialEnding(0).IsLaterEnding());
    EXPECT_EQ(ending.GetBracketHeight(), 4);
    EXPECT_EQ(ending.GetBracketOffsetNP(), 1);
    EXPECT_EQ(ending.GetVertOffset(), 0);
    ending.SetVertOffset(5);
    EXPECT_EQ(ending.GetBracketOffsetNP(), -4);
    ending.SetBracketHeight(500);
    EXPECT_EQ(ending.GetBracketHeight(), 100);
}

TEST(MultiMeasureRestTest, DurationAndLimits) {
    TMultiMeasureRest rest(0);
    EXPECT_EQ(rest.GetNumBars(), 1);
    EXPECT_TRUE(rest.GetShowBars());
    EXPECT_TRUE(rest.GetShowRests());
    TMultiMeasureRest four(4);
    four.SetBarLength(3, dcQuarter);
    EXPECT_EQ(four.GetDuration(), 4 * 576);
    // A bar of 128 whole notes and many bars: computed without wrapping.
    TMultiMeasureRest huge(65535);
    huge.SetBarLength(128, dcWhole);
    EXPECT_EQ(huge.GetBarLength(), 98304);
    EXPECT_EQ(huge.GetDuration(), INT32_MAX);
}

TEST(SpacerAndBoundaryTest, Widths) {
    TStaffSpacer spacer(20000);
    EXPECT_EQ(spacer.GetWidth(), 9999);
    spacer.SetWidthValue(1.5f);
    EXPECT_EQ(spacer.GetWidth(), 150);
    spacer.AddWidth(-500);
    EXPECT_EQ(spacer.GetWidth(), 0);

    TStaffSizer sizer;
    EXPECT_TRUE(sizer.IsReset());
    sizer.SetNewSize(150, 0);
    EXPECT_EQ(sizer.GetUpper(), 99);
    sizer.SetNewSize(100, -3);
    EXPECT_EQ(sizer.GetUpper(), 100);
    EXPECT_EQ(sizer.GetLower(), 0);
    sizer.SetNewSize(0, 0);
    EXPECT_EQ(sizer.GetUpper(), 8);
    sizer.SetLower(5);
    EXPECT_EQ(sizer.GetUpper(), 8);
    EXPECT_EQ(sizer.GetLower(), 5);
    sizer.SetStyle(ssGap);
    EXPECT_TRUE(sizer.IsGap());
    EXPECT_DOUBLE_EQ(sizer.GetGapWidth(), 2.0);
    EXPECT_EQ(sizer.GetUpper(), 0);
    sizer.SetGapSystemConnections(true);
    sizer.SetGap(0x9234);
    EXPECT_TRUE(sizer.GetGapSystemConnections());
    EXPECT_EQ(sizer.GetGapWidthRaw(), 0x1234);
    sizer.SetStyle(ssNewSystem);
    EXPECT_FALSE(sizer.GetNewPage());
    sizer.SetNewSystem(true);
    EXPECT_TRUE(sizer.GetNewPage());
    sizer.SetGapSystemConnections(true);
    EXPECT_FALSE(sizer.GetGapSystemConnections());
}

TEST(ExpressionTest, PositionsAndWideDefaults) {
    struct Case {
        std::unique_ptr<TNtnGeneralExpression> item;
        int pos;
        bool wide;
    };
    std::vector<Case> cases;
    cases.push_back({std::make_unique<TPatchData>(nullptr), -8, true});
    cases.push_back({std::make_unique<TTempoData>(120, tbQuarter), -10, false});
    cases.push_back({std::make_unique<TDynamicLevelData>(dlP), 8, false});
    cases.push_back({std::make_unique<TSustainPedal>(1), 8, true});
    cases.push_back({std::make_unique<TFlowDirection>(fsFine), -8, true});
    cases.push_back({std::make_unique<TGenericControl>(), -8, true});
    cases.push_back({std::make_unique<TTempoVariance>(tvBreathMark, 0), -8, false});
    cases.push_back({std::make_unique<TTempoVariance>(tvCaesura, 0), -4, false});
    cases.push_back({std::make_unique<TTempoVariance>(tvFermata, 0), -9, false});
    cases.push_back({std::make_unique<TTempoVariance>(tvRubato, 0), 8, false});
    cases.push_back({std::make_unique<TDynamicVariance>(dvSforzando), 8, false});
    cases.push_back({std::make_unique<TPerformanceStyle>(3), 8, false});
    cases.push_back({std::make_unique<TTextExpression>("x"), -8, false});
    cases.push_back({std::make_unique<TChordName>("G7"), -8, false});
    for (auto& c : cases) {
        SCOPED_TRACE(c.item->GetType());
        EXPECT_EQ(c.item->GetStaffPos(), c.pos);
        EXPECT_EQ(c.item->GetMinStaffPos(), c.pos);
        EXPECT_EQ(c.item->GetWide(), c.wide);
        EXPECT_EQ(c.item->GetJustify(), 0);
        EXPECT_EQ(c.item->GetPlacement(), 0);
    }
    TTextExpression text("a");
    text.SetStaffPos(-3);
    EXPECT_EQ(text.GetMaxStaffPos(), -3);
    text.SetJustify(6);
    EXPECT_EQ(text.GetJustify(), 2);
}

TEST(ExpressionTest, TempoBases) {
    EXPECT_EQ(TTempoData(120, tbEighth).GetNormalizedTempo(), 60);
    EXPECT_EQ(TTempoData(90, tbQuarterDotted).GetNormalizedTempo(), 135);
    EXPECT_EQ(TTempoData(3, tbQuarter).GetTempo(), 4);
    EXPECT_EQ(TTempoData(-50, tbQuarter).GetTempo(), 4);
    EXPECT_EQ(TempoToQuarters(7, tbEighth), 4);
    EXPECT_EQ(TempoFromQuarters(120, tbHalfDotted), 40);
    EXPECT_EQ(ConvertTempoBase(60, tbHalf, tbEighth), 240);
    TTempoData tempo(100, tbQuarter);
    EXPECT_STREQ(tempo.GetText(), "");
    tempo.SetText("Allegro");
    EXPECT_STREQ(tempo.GetText(), "Allegro");
}

TEST(ExpressionTest, Texts) {
    EXPECT_STREQ(TTextExpression(nullptr).GetText(), "<Text Expression>");
    EXPECT_STREQ(TChordName(nullptr).GetText(), "C/F");
    TTextExpression text("abc");
    text.SetTextLimited("0123456789abcdef", 7);
    EXPECT_STREQ(text.GetText(), "0123456 ...");
    text.SetTextLimited("short", 7);
    EXPECT_STREQ(text.GetText(), "short");
    std::string longText(400, 'x');
    text.SetText(longText.c_str());
    EXPECT_EQ(strlen(text.GetText()), static_cast<size_t>(kMaxExpressionText));
    EXPECT_EQ(text.GetFont(), efStaffItalic);
    text.SetFontFromLegacy(1);
    EXPECT_EQ(text.GetFont(), 3);
    TTextExpression other("other");
    other.SetColor(5);
    text.CopyFrom(other);
    EXPECT_EQ(text.GetColor(), 5);
    EXPECT_EQ(strlen(text.GetText()), static_cast<size_t>(kMaxExpressionText));
    EXPECT_EQ(TChordName(nullptr).GetFont(), efStaffSymbols);
}

TEST(ExpressionTest, SmallKinds) {
    TSustainPedal down(1);
    EXPECT_EQ(down.GetSymbolCode(), 31);
    EXPECT_EQ(TSustainPedal(0).GetSymbolCode(), 32);

    TGenericControl control;
    EXPECT_EQ(control.GetTimeRes(), 2);
    for (int i = 0; i < TGenericControl::kPoints; ++i) {
        EXPECT_FALSE(control.IsPointInUse(i));
        EXPECT_EQ(control.GetPointValue(i), 100);
    }
    control.SetPoint(2, 3, 64);
    EXPECT_TRUE(control.IsPointInUse(2));
    EXPECT_EQ(control.GetPointTime(2), 3);
    control.SetPoint(9, 1, 1);
    EXPECT_FALSE(control.IsPointInUse(9));
    control.SetController(1);
    EXPECT_EQ(control.GetControllerNumber(), 7);
    control.SetController(4);
    EXPECT_FALSE(control.HasControllerNumber());
    EXPECT_EQ(ControllerIndexToNumber(17), 95);
    EXPECT_EQ(ControllerIndexToNumber(18), -1);

    EXPECT_EQ(TDynamicVariance(dvDiminuendo).GetHairpinKind(), 2);
    EXPECT_EQ(TDynamicVariance(dvRinforzando).GetHairpinKind(), 0);
    EXPECT_STREQ(TDynamicVariance(dvSforzando).GetStyleText(), "sfz");
    EXPECT_STREQ(TTempoVariance(tvRitenuto, 0).GetStyleText(), "rit.");
    EXPECT_TRUE(TTempoVariance(tvCaesura, 0).IsPauseStyle());
    EXPECT_FALSE(TTempoVariance(tvRubato, 0).IsPauseStyle());
    EXPECT_STREQ(TPerformanceStyle(9).GetStyleText(), "marc.");

    TDynamicLevelData dyn(dlMP);
    EXPECT_FALSE(dyn.HasVelocity());
    dyn.SetVelocity(300);
    EXPECT_EQ(dyn.GetVelocity(), 127);

    TPatchData patch(nullptr);
    EXPECT_STREQ(patch.GetDisplayName(), "[Instr]");
    EXPECT_FALSE(patch.GetInstrument().HasPatch());
    EXPECT_EQ(patch.GetInstrument().GetDynamicVelocity(7), 127);
    patch.SetPatchByte(41);
    EXPECT_EQ(patch.GetInstrument().GetPatch(), 40);
    TStaffInstrument instrument;
    instrument.SetName("Violin");
    instrument.SetTranspose(-2);
    TPatchData copy(&instrument);
    EXPECT_STREQ(copy.GetDisplayName(), "Violin");
    EXPECT_EQ(copy.GetInstrument().GetTranspose(), -2);
}

}  // namespace
