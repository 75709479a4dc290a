// Item records: every kind written and read back, every version rule of the reader against records made by
// the independent generator, the mending of hostile values, and copying and comparing through records.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "core/ram_stream.h"
#include "score/expression_items.h"
#include "score/file/tests/file_gen.h"
#include "score/item_records.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/staff_range.h"
#include "score/structure_items.h"

namespace {

using qsm::gen::Bytes;
namespace gen = qsm::gen;

// Reads one generated record as format version V; null when the reader refused it.
std::unique_ptr<TNotatedItem> Read(int V, const Bytes& record, bool* streamError = nullptr) {
    TQSRSegRamStream in(1024);
    in.WriteBlock(record.data.data(), static_cast<DWORD>(record.data.size()));
    in.Seek(0);
    TScoreFileHeader hdr(StatusOk);
    hdr.FormatVersion = V;
    TNotatedItem* item = nullptr;
    bool ok = ReadNotatedItem(hdr, in, item);
    if (streamError) *streamError = in.GetError() != 0;
    EXPECT_EQ(ok, item != nullptr);
    if (ok) {
        EXPECT_EQ(in.Tell(), record.data.size()) << "the whole record is consumed";
    }
    return std::unique_ptr<TNotatedItem>(item);
}

// The item as its class: borrowed from a held item, or taking over a temporary one.
template <class T>
T* As(const std::unique_ptr<TNotatedItem>& item, int type) {
    EXPECT_TRUE(item);
    if (!item) return nullptr;
    EXPECT_EQ(item->GetType(), type);
    return item->GetType() == type ? static_cast<T*>(item.get()) : nullptr;
}
template <class T>
std::shared_ptr<T> As(std::unique_ptr<TNotatedItem>&& item, int type) {
    T* p = As<T>(item, type);
    if (!p) return nullptr;
    item.release();
    return std::shared_ptr<T>(p);
}

std::vector<uint8_t> RecordOf(const TNotatedItem& item) {
    TQSRSegRamStream out(1024);
    WriteNotatedItem(out, item);
    std::vector<uint8_t> bytes(out.GetSize());
    out.Seek(0);
    out.ReadBlock(bytes.data(), static_cast<DWORD>(bytes.size()));
    return bytes;
}

// One item of every kind with values away from the defaults.
std::vector<std::unique_ptr<TNotatedItem>> EveryKind() {
    std::vector<std::unique_ptr<TNotatedItem>> items;
    for (int code = 0; code < ntItemTypeCount; ++code)
        items.emplace_back(CreateNotatedItem(code));
    auto& clef = static_cast<TClefData&>(*items[ntClef]);
    clef.SetClefType(ctAlto);
    clef.SetOctaveShift(osOctaveDown);
    clef.SetAutoSysOff(true);
    auto& key = static_cast<TKeyData&>(*items[ntKey]);
    key.SetMasks(0, 0x12);
    key.SetTonic(4);
    key.SetClefInForce(ctBass);
    key.SetPrecedingSignature(0x48, 0);
    key.SetHideCancels(true);
    auto& bar = static_cast<TBarLineData&>(*items[ntBarLine]);
    bar.SetStyleAndRepeat(bsLocalRepeatClose, 3);
    bar.SetSysBreak(true);
    bar.SetXBarCnt(true);
    auto& ending = static_cast<TSpecialEnding&>(*items[ntSpecialEnding]);
    ending.SetEndings(5);
    ending.SetClosedBracket(true);
    ending.SetBracketOffsetNP(-3);
    ending.SetBracketHeight(20);
    auto& patch = static_cast<TPatchData&>(*items[ntPatch]);
    patch.GetInstrument().SetName("Strings");
    patch.GetInstrument().SetBank(1, 2);
    patch.GetInstrument().SetPatch(48);
    patch.GetInstrument().SetTranspose(-12);
    static_cast<TTimeSignatureData&>(*items[ntTimeSignature]).SetBeats(7);
    auto& tempo = static_cast<TTempoData&>(*items[ntTempo]);
    tempo.SetTempo(72, tbQuarterDotted);
    tempo.SetText("Andante");
    tempo.SetPlacement(epAtNextNote);
    auto& dyn = static_cast<TDynamicLevelData&>(*items[ntDynamic]);
    dyn.SetVelocity(99);
    dyn.SetVelocityGiven(true);
    dyn.SetStaffPos(-12);
    auto& note = static_cast<TMusicNote&>(*items[ntNote]);
    note.SetStaffPos(-3);
    note.SetAccidental(acFlat);
    note.SetAttribute(naStaccato);
    note.SetAttribute(naTieDirection);
    note.SetTieDownward(true);
    note.SetMarkNumber(5);
    note.SetStemLength(12);
    note.SetNotehead(6);
    note.SetLyricMode(lmNever);
    note.SetXAccSpace(2);
    auto& rest = static_cast<TRestNote&>(*items[ntRest]);
    rest.SetDuration(dcEighth);
    rest.SetVertOffset(-4);
    auto& chord = static_cast<TChordData&>(*items[ntChord]);
    chord.AddNote(new TMusicNote(2, dcHalf, 0, acNone));
    chord.AddNote(new TMusicNote(-2, dcHalf, 0, acSharp));
    static_cast<TSustainPedal&>(*items[ntSustainPedal]).SetStatus(0);
    static_cast<TFlowDirection&>(*items[ntFlowDirection]).SetStyle(fsDSalCoda);
    auto& mpc = static_cast<TGenericControl&>(*items[ntGenericControl]);
    mpc.SetController(7);
    mpc.SetPoint(1, 3, 90);
    auto& tv = static_cast<TTempoVariance&>(*items[ntTempoVariance]);
    tv.SetStyle(tvRitardando);
    tv.SetPause(3);
    static_cast<TDynamicVariance&>(*items[ntDynamicVariance]).SetStyle(dvSforzando);
    static_cast<TPerformanceStyle&>(*items[ntPerformanceStyle]).SetStyle(7);
    auto& text = static_cast<TTextExpression&>(*items[ntTextExpression]);
    text.SetText("con brio");
    text.SetFont(5);
    text.SetJustify(ejRight);
    auto& rc = static_cast<TRestChord&>(*items[ntRestChord]);
    rc.AddNote(new TMusicNote(-5, dcQuarter, 0, acNatural));
    static_cast<TChordName&>(*items[ntChordName]).SetText("G7/B");
    static_cast<TStaffSpacer&>(*items[ntStaffSpacer]).SetWidth(275);
    auto& mmr = static_cast<TMultiMeasureRest&>(*items[ntMultiMeasureRest]);
    mmr.SetNumBars(12);
    mmr.SetShowRests(false);
    static_cast<TStaffSizer&>(*items[ntStaffSizer]).SetGap(350);
    for (auto& item : items)
        item->SetColor(3);
    items[ntClef]->SetVisibility(ivTopStaff);
    return items;
}

TEST(ItemRecords, EveryKindReadsBackAsWritten) {
    auto items = EveryKind();
    for (auto& item : items) {
        SCOPED_TRACE(item->GetType());
        std::unique_ptr<TNotatedItem> copy(CloneNotatedItem(*item));
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->GetType(), item->GetType());
        EXPECT_EQ(CompareNotatedItems(*item, *copy), 0);
        EXPECT_EQ(RecordOf(*item), RecordOf(*copy));
        EXPECT_EQ(copy->GetColor(), 3);
    }
    // A few fields checked on the copies directly, beside the byte comparison.
    std::unique_ptr<TNotatedItem> note(CloneNotatedItem(*items[ntNote]));
    auto* n = static_cast<TMusicNote*>(note.get());
    EXPECT_EQ(n->GetStaffPos(), -3);
    EXPECT_EQ(n->GetAccidental(), acFlat);
    EXPECT_EQ(n->GetMarkNumber(), 5);
    EXPECT_EQ(n->GetStemLength(), 12);
    EXPECT_TRUE(n->HasAttribute(naStaccato));
    std::unique_ptr<TNotatedItem> chord(CloneNotatedItem(*items[ntChord]));
    EXPECT_EQ(chord->GetNoteCount(), 2);
    std::unique_ptr<TNotatedItem> rc(CloneNotatedItem(*items[ntRestChord]));
    ASSERT_EQ(rc->GetType(), ntRestChord);
    EXPECT_EQ(rc->GetNote(0)->GetStaffPos(), -5);
    EXPECT_TRUE(rc->GetNote(0)->IsRestChordPart());
}

TEST(ItemRecords, ItemRangesMoveBetweenStaves) {
    TMusicStaff source;
    auto items = EveryKind();
    const int base = source.GetItemCount();
    for (auto& item : items)
        source.InsertItem(CloneNotatedItem(*item), source.GetItemCount() - 1);
    TStaffItemRange all(&source, base - 1, source.GetItemCount() - 2);

    TQSRSegRamStream out(1024);
    WriteItemRange(all, out);
    const uint32_t size = out.GetSize();

    // Into the middle of another staff: the items arrive in order, equal to their sources.
    TMusicStaff target;
    const int before = target.GetItemCount();
    out.Seek(0);
    TStaffItemRange into;
    into.Staff = &target;
    into.First = 1;
    ASSERT_TRUE(ReadItemRange(into, out, false));
    EXPECT_EQ(into.First, 1);
    EXPECT_EQ(into.GetCount(), all.GetCount());
    EXPECT_EQ(target.GetItemCount(), before + all.GetCount());
    for (int i = 0; i < all.GetCount(); ++i)
        EXPECT_EQ(CompareNotatedItems(*source.GetItem(all.First + i), *target.GetItem(into.First + i)), 0)
            << i;

    // A range cut short inserts what was whole and says it was not all.
    std::vector<uint8_t> bytes(size);
    out.Seek(0);
    out.ReadBlock(bytes.data(), size);
    TQSRSegRamStream cut(1024);
    cut.WriteBlock(bytes.data(), size - 3);
    cut.Seek(0);
    TMusicStaff partial;
    const int partialBefore = partial.GetItemCount();
    TStaffItemRange some;
    some.Staff = &partial;
    some.First = 1;
    EXPECT_FALSE(ReadItemRange(some, cut, false));
    EXPECT_EQ(some.GetCount(), all.GetCount() - 1);
    EXPECT_EQ(partial.GetItemCount(), partialBefore + all.GetCount() - 1);

    // A range with no staff reads nothing.
    out.Seek(0);
    TStaffItemRange nowhere;
    EXPECT_FALSE(ReadItemRange(nowhere, out, false));
}

TEST(ItemRecords, RecordLayoutOfTheCurrentVersion) {
    TMusicNote note(3, dcEighth, AttributeBit(naDotted) | AttributeBit(naGrace), acSharp);
    note.SetVisibility(ivAlways);
    note.SetColor(2);
    note.SetStemLength(0);  // a zero-length stem travels as 0
    // code, prefix, word 1 (dur), word 2, word 3 (dotted = file bit 2, grace = bit 13), note word, stem byte
    std::vector<uint8_t> expect = {8, 0, 0x21, 3, 0, 0, 0, 0x04, 0x20, 3, 0x40, 0};
    EXPECT_EQ(RecordOf(note), expect);
    // The tie direction is stored only when it was given.
    note.SetTieDownward(true);
    EXPECT_EQ(RecordOf(note), expect);
    // An automatic accidental is stored as none.
    note.SetAutomaticMark(true);
    EXPECT_EQ(RecordOf(note)[10], 0x45);
}

TEST(ItemRecords, CommonPrefixByVersion) {
    // No prefix before version 10.
    auto clef = Read(9, gen::Clef{.vis = 2, .color = 1, .type = 1}.Encode(9));
    EXPECT_EQ(clef->GetVisibility(), 0);
    EXPECT_EQ(clef->GetColor(), 0);
    // The old layout: visibility 3 means Never; colour in bits 3-5.
    clef = Read(28, gen::Clef{.vis = 5, .color = 6}.Encode(28));
    EXPECT_EQ(clef->GetVisibility(), ivNever);
    EXPECT_EQ(clef->GetColor(), 6);
    // Colours past the palette and unknown visibilities become 0.
    clef = Read(32, gen::Clef{.vis = 7, .color = 12}.Encode(32));
    EXPECT_EQ(clef->GetVisibility(), 0);
    EXPECT_EQ(clef->GetColor(), 0);
}

TEST(ItemRecords, StaffStructureItems) {
    auto clef = As<TClefData>(Read(32, gen::Clef{.type = 9, .octave = 9}.Encode(32)), ntClef);
    EXPECT_EQ(clef->GetClefType(), ctTreble);
    EXPECT_EQ(clef->GetOctaveShift(), 0);
    // AutoSys off: stored from version 27, taken from Visibility Never before.
    auto c26 = Read(26, gen::Clef{.vis = 5, .autoSysOff = 1}.Encode(26));
    EXPECT_EQ(static_cast<TClefData*>(c26.get())->GetAutoSysOff(), -1);
    auto c27 = Read(27, gen::Clef{.vis = 5, .autoSysOff = 0}.Encode(27));
    EXPECT_EQ(static_cast<TClefData*>(c27.get())->GetAutoSysOff(), 0);

    // Bar styles above 1 were numbered 2 lower before version 26; unknown styles become Single.
    auto bar = As<TBarLineData>(Read(28, gen::Bar{.style = 2, .repeat = 3}.Encode(28)), ntBarLine);
    EXPECT_EQ(bar->GetStyle(), 2);
    EXPECT_EQ(bar->GetRepeat(), 3);
    EXPECT_FALSE(bar->GetSysBreak());
    EXPECT_EQ(As<TBarLineData>(Read(25, gen::Bar{.style = 2}.Encode(25)), ntBarLine)->GetStyle(), 4);
    EXPECT_EQ(As<TBarLineData>(Read(25, gen::Bar{.style = 9}.Encode(25)), ntBarLine)->GetStyle(), bsSingle);
    EXPECT_EQ(As<TBarLineData>(Read(32, gen::Bar{.style = 31}.Encode(32)), ntBarLine)->GetStyle(), bsSingle);
    EXPECT_FALSE(As<TBarLineData>(Read(11, gen::Bar{.sysBreak = 1}.Encode(11)), ntBarLine)->GetSysBreak());
    EXPECT_TRUE(As<TBarLineData>(Read(12, gen::Bar{.sysBreak = 1}.Encode(12)), ntBarLine)->GetSysBreak());

    auto ending = As<TSpecialEnding>(Read(31, gen::Ending{.endings = 6}.Encode(31)), ntSpecialEnding);
    EXPECT_EQ(ending->GetEndings(), 6u);
    EXPECT_EQ(ending->GetBracketOffsetNP(), 1);
    EXPECT_EQ(ending->GetBracketHeight(), 4);

    auto sig =
        As<TTimeSignatureData>(Read(32, gen::TimeSig{.beats = 0, .exponent = 7}.Encode(32)), ntTimeSignature);
    EXPECT_EQ(sig->GetBeats(), 1);
    EXPECT_EQ(sig->GetBeatValueExponent(), 5);
    sig = As<TTimeSignatureData>(Read(32, gen::TimeSig{.beats = 0xFFFD}.Encode(32)), ntTimeSignature);
    EXPECT_EQ(sig->GetBeats(), 128);

    EXPECT_EQ(As<TStaffSpacer>(Read(32, gen::Spacer{.width = 0x18000 + 1234}.Encode(32)), ntStaffSpacer)
                  ->GetWidth(),
              1234);
    EXPECT_EQ(As<TStaffSpacer>(Read(32, gen::Spacer{.width = 20000}.Encode(32)), ntStaffSpacer)->GetWidth(),
              9999);

    auto mmr = As<TMultiMeasureRest>(Read(28, gen::MultiRest{.bars = 0}.Encode(28)), ntMultiMeasureRest);
    EXPECT_EQ(mmr->GetNumBars(), 1);
    EXPECT_TRUE(mmr->GetPrintOnce() && mmr->GetShowBars() && mmr->GetShowRests());
    mmr = As<TMultiMeasureRest>(Read(29, gen::MultiRest{.bars = 3, .options = 4}.Encode(29)),
                                ntMultiMeasureRest);
    EXPECT_TRUE(!mmr->GetPrintOnce() && mmr->GetShowBars() && !mmr->GetShowRests());
}

TEST(ItemRecords, KeySignatures) {
    // Before version 26 the tonic comes from the masks (two sharps: D).
    auto key = As<TKeyData>(Read(25, gen::Key{.sharps = 0x24}.Encode(25)), ntKey);
    EXPECT_EQ(key->GetTonic(), FifthsToMajorTonic(2));
    // In version 26 any option byte hides the cancels; from 27 bit 1 is AutoSys.
    key = As<TKeyData>(Read(26, gen::Key{.tonic = 1, .option = 2}.Encode(26)), ntKey);
    EXPECT_TRUE(key->GetHideCancels());
    EXPECT_EQ(key->GetTonic(), 1);
    key = As<TKeyData>(Read(27, gen::Key{.option = 2}.Encode(27)), ntKey);
    EXPECT_FALSE(key->GetHideCancels());
    EXPECT_EQ(key->GetAutoSysOff(), -1);
    // Hostile values: bits beyond the seven letters, a letter in both masks, a tonic past G, a bad clef.
    key = As<TKeyData>(
        Read(32, gen::Key{.flats = 0xFF01, .sharps = 0x0101, .clef = 9, .tonic = 200}.Encode(32)), ntKey);
    EXPECT_EQ(key->GetSharpMask() & ~0x7F, 0);
    EXPECT_EQ(key->GetFlatMask() & key->GetSharpMask(), 0);
    EXPECT_LE(key->GetTonic(), 6);
    EXPECT_EQ(key->GetClefInForce(), 0);
    // Version 2 has no preceding masks.
    key = As<TKeyData>(Read(2, gen::Key{.flats = 2}.Encode(2)), ntKey);
    EXPECT_EQ(key->GetFlatMask(), 2);
}

TEST(ItemRecords, StaffSizers) {
    // Version 30 numbered the styles differently.
    auto s = As<TStaffSizer>(Read(30, gen::Sizer{.style = 0}.Encode(30)), ntStaffSizer);
    EXPECT_TRUE(s->IsEndCollapse());
    s = As<TStaffSizer>(Read(30, gen::Sizer{.style = 3, .gapWord = 0x8000 | 250}.Encode(30)), ntStaffSizer);
    EXPECT_TRUE(s->IsGap());
    EXPECT_EQ(s->GetGapWidthRaw(), 250);
    EXPECT_TRUE(s->GetGapSystemConnections());
    s = As<TStaffSizer>(Read(30, gen::Sizer{.style = 5}.Encode(30)), ntStaffSizer);
    EXPECT_TRUE(s->IsReset());
    s = As<TStaffSizer>(Read(32, gen::Sizer{.style = 1, .upper = 150, .lower = 0}.Encode(32)), ntStaffSizer);
    EXPECT_EQ(s->GetUpper(), 99);
    s = As<TStaffSizer>(Read(32, gen::Sizer{.style = 1, .upper = 0, .lower = 0}.Encode(32)), ntStaffSizer);
    EXPECT_EQ(s->GetUpper(), 8);
    s = As<TStaffSizer>(Read(32, gen::Sizer{.style = 5, .newPage = 1}.Encode(32)), ntStaffSizer);
    EXPECT_TRUE(s->GetNewPage());
}

TEST(ItemRecords, ExpressionPrefixAndTexts) {
    auto placement = [](int V, int p) {
        auto item = Read(V, gen::Text{.placement = p}.Encode(V));
        return static_cast<TNtnGeneralExpression*>(item.get())->GetPlacement();
    };
    EXPECT_EQ(placement(19, 1), 2);
    EXPECT_EQ(placement(20, 2), 3);
    EXPECT_EQ(placement(21, 1), 1);
    EXPECT_EQ(placement(21, 2), 2);

    EXPECT_EQ(As<TTextExpression>(Read(25, gen::Text{.font = 0}.Encode(25)), ntTextExpression)->GetFont(), 2);
    EXPECT_EQ(As<TTextExpression>(Read(26, gen::Text{.font = 0}.Encode(26)), ntTextExpression)->GetFont(), 0);
    EXPECT_EQ(As<TTextExpression>(Read(32, gen::Text{.font = 200}.Encode(32)), ntTextExpression)->GetFont(),
              2);
    EXPECT_EQ(As<TChordName>(Read(32, gen::Text{.code = 19, .font = 99}.Encode(32)), ntChordName)->GetFont(),
              0);
    auto text =
        As<TTextExpression>(Read(32, gen::Text{.justify = 3, .text = ""}.Encode(32)), ntTextExpression);
    EXPECT_STREQ(text->GetText(), "<Text Expression>");
    EXPECT_EQ(text->GetVisibility(), ivNever);
    EXPECT_EQ(text->GetStaffPos(), -8);
    EXPECT_TRUE(text->GetWide());
    EXPECT_EQ(text->GetJustify(), 0);
    EXPECT_STREQ(
        As<TChordName>(Read(32, gen::Text{.code = 19, .text = ""}.Encode(32)), ntChordName)->GetText(),
        "C/F");
    // Version 10: Pos, Wide and Font in one word; no expression prefix.
    text = As<TTextExpression>(Read(10, gen::Text{.pos = -6, .wide = 1, .font = 1, .text = "a"}.Encode(10)),
                               ntTextExpression);
    EXPECT_EQ(text->GetStaffPos(), -6);
    EXPECT_EQ(text->GetFont(), 3);
    EXPECT_EQ(text->GetPlacement(), epAsStaffSignature);
}

TEST(ItemRecords, TemposAndDynamics) {
    auto tempo = [](int V, gen::Tempo t) {
        return As<TTempoData>(Read(V, t.Encode(V)), ntTempo)->GetTempo();
    };
    EXPECT_EQ(tempo(23, {.tempo = 120, .base = 0}), 240);
    EXPECT_EQ(tempo(23, {.tempo = 120, .base = 4}), 60);
    EXPECT_EQ(tempo(24, {.tempo = 120, .base = 0}), 120);
    EXPECT_EQ(tempo(32, {.tempo = -30}), 4);
    // Version 10 tempo: a name by index, Wide and the visibility from the flags word.
    auto item = Read(10, gen::Tempo{.pos = -9, .tempo = 90, .base = 2, .flags = 0x20 | 0x40 | 8}.Encode(10));
    auto* t = As<TTempoData>(item, ntTempo);
    EXPECT_STREQ(t->GetText(), "Allegro");
    EXPECT_TRUE(t->GetWide());
    EXPECT_EQ(t->GetStaffPos(), -9);
    EXPECT_EQ(t->GetVisibility(), 0);
    item = Read(10, gen::Tempo{.flags = 0x20 | 13}.Encode(10));
    EXPECT_STREQ(As<TTempoData>(item, ntTempo)->GetText(), "");
    item = Read(4, gen::Tempo{.flags = 0}.Encode(4));
    EXPECT_EQ(item->GetVisibility(), ivNever);
    EXPECT_EQ(As<TTempoData>(Read(32, gen::Tempo{.base = 9}.Encode(32)), ntTempo)->GetBase(), tbQuarter);

    auto d = As<TDynamicLevelData>(
        Read(32, gen::Dynamic{.option = 0x60 | 9, .velocity = 200, .volume = 200}.Encode(32)), ntDynamic);
    EXPECT_EQ(d->GetVelocity(), 0);
    EXPECT_EQ(d->GetVolume(), 127);
    EXPECT_FALSE(d->HasVolume());
    EXPECT_TRUE(d->HasVelocity());
    EXPECT_EQ(d->GetStyle(), 0);
    d = As<TDynamicLevelData>(Read(3, gen::Dynamic{.pos = 5, .option = 6}.Encode(3)), ntDynamic);
    EXPECT_EQ(d->GetStyle(), 6);
    EXPECT_EQ(d->GetVolume(), 127);
    EXPECT_EQ(d->GetVelocity(), 50);
    EXPECT_EQ(d->GetStaffPos(), 5);
    d = As<TDynamicLevelData>(
        Read(9, gen::Dynamic{.pos = -4, .wide = 1, .option = 2, .hiddenOld = 1}.Encode(9)), ntDynamic);
    EXPECT_EQ(d->GetVisibility(), ivNever);
    EXPECT_TRUE(d->GetWide());
    EXPECT_EQ(d->GetStaffPos(), -4);

    auto tv =
        As<TTempoVariance>(Read(25, gen::StyleMark{.code = 14, .style = 1}.Encode(25)), ntTempoVariance);
    EXPECT_EQ(tv->GetStyle(), 2);
    tv = As<TTempoVariance>(Read(11, gen::StyleMark{.code = 14, .wide = 0, .style = 1}.Encode(11)),
                            ntTempoVariance);
    EXPECT_EQ(tv->GetPlacement(), epAtNextNote);
    EXPECT_EQ(tv->GetJustify(), ejCenter);
    EXPECT_EQ(
        As<TTempoVariance>(Read(32, gen::StyleMark{.code = 14, .style = 20}.Encode(32)), ntTempoVariance)
            ->GetStyle(),
        0);
    EXPECT_EQ(
        As<TDynamicVariance>(Read(32, gen::StyleMark{.code = 15, .style = 7}.Encode(32)), ntDynamicVariance)
            ->GetStyle(),
        0);
    EXPECT_EQ(As<TPerformanceStyle>(Read(32, gen::StyleMark{.code = 16, .style = 23}.Encode(32)),
                                    ntPerformanceStyle)
                  ->GetStyle(),
              0);
}

TEST(ItemRecords, OtherExpressions) {
    EXPECT_EQ(As<TFlowDirection>(Read(32, gen::Flow{.style = 12}.Encode(32)), ntFlowDirection)->GetStyle(),
              0);
    EXPECT_EQ(As<TFlowDirection>(Read(10, gen::Flow{.style = 2}.Encode(10)), ntFlowDirection)->GetStaffPos(),
              8);
    EXPECT_EQ(As<TFlowDirection>(Read(10, gen::Flow{.style = 5}.Encode(10)), ntFlowDirection)->GetStaffPos(),
              -10);

    auto patch = As<TPatchData>(Read(18, gen::Patch{.patch = 5}.Encode(18)), ntPatch);
    EXPECT_STREQ(patch->GetInstrument().Name, "[#005]");
    patch = As<TPatchData>(Read(18, gen::Patch{.patch = 0}.Encode(18)), ntPatch);
    EXPECT_STREQ(patch->GetInstrument().Name, "");
    patch = As<TPatchData>(Read(19, gen::Patch{.patch = 5, .name = "Oboe", .trans = -2}.Encode(19)), ntPatch);
    EXPECT_STREQ(patch->GetInstrument().Name, "Oboe");
    EXPECT_EQ(patch->GetInstrument().Trans, -2);

    auto mpc = As<TGenericControl>(
        Read(32,
             gen::Control{
                 .controller = 40, .style = -1, .timeRes = 9, .inUse = {1, 0, 0, 0}, .time = {-3, 0, 0, 0}}
                 .Encode(32)),
        ntGenericControl);
    EXPECT_EQ(mpc->GetController(), 0);
    EXPECT_EQ(mpc->GetStyle(), 0);
    EXPECT_EQ(mpc->GetTimeRes(), 0);
    EXPECT_TRUE(mpc->IsPointInUse(0));
    EXPECT_FALSE(mpc->IsPointInUse(1));

    auto pedal =
        As<TSustainPedal>(Read(9, gen::Pedal{.pos = 7, .wide = 0, .status = 1}.Encode(9)), ntSustainPedal);
    EXPECT_TRUE(pedal->GetWide());
    EXPECT_EQ(pedal->GetStaffPos(), 7);
    EXPECT_TRUE(pedal->IsDown());
}

TEST(ItemRecords, NotesByVersion) {
    // The mark number: in the prefix for 24-28, in its own byte from 29 on, none before 24.
    auto note = Read(28, gen::Note{.song = {.mark = 6}}.Encode(28));
    EXPECT_EQ(As<TMusicNote>(note, ntNote)->GetMarkNumber(), 6);
    note = Read(29, gen::Note{.song = {.mark = 6}}.Encode(29));
    EXPECT_EQ(As<TMusicNote>(note, ntNote)->GetMarkNumber(), 6);
    note = Read(29, gen::Note{.song = {.mark = 9}}.Encode(29));
    EXPECT_EQ(As<TMusicNote>(note, ntNote)->GetMarkNumber(), 0);
    // Lyric mode from version 13; stem 3 and noteheads 14-15 mean nothing; durations past 64ths neither.
    EXPECT_EQ(As<TMusicNote>(Read(12, gen::Note{.song = {.lyric = 2}}.Encode(12)), ntNote)->GetLyricMode(),
              0);
    EXPECT_EQ(As<TMusicNote>(Read(13, gen::Note{.song = {.lyric = 2}}.Encode(13)), ntNote)->GetLyricMode(),
              2);
    auto n = As<TMusicNote>(
        Read(32, gen::Note{.song = {.dur = 9, .stem = 3, .lyric = 3, .head = 15}}.Encode(32)), ntNote);
    EXPECT_EQ(n->GetStemSetting(), 0);
    EXPECT_EQ(n->GetNotehead(), 0);
    EXPECT_EQ(n->GetLyricMode(), 0);
    EXPECT_EQ(n->GetDur(), 0);
    EXPECT_EQ(As<TMusicNote>(Read(32, gen::Note{.acc = 7}.Encode(32)), ntNote)->GetAccidental(), acSharp);
    // Before version 5 the accidental has two bits and 3 means none.
    EXPECT_EQ(As<TMusicNote>(Read(4, gen::Note{.acc = 3}.Encode(4)), ntNote)->GetAccidental(), acNone);
    EXPECT_EQ(As<TMusicNote>(Read(4, gen::Note{.acc = 1}.Encode(4)), ntNote)->GetAccidental(), acFlat);
    // Stem lengths: no byte before 19 (31 for 17-18), a stored 0 is a zero-length stem.
    EXPECT_EQ(As<TMusicNote>(Read(16, gen::Note{.stemFlag = 1}.Encode(16)), ntNote)->GetStemLengthField(), 0);
    EXPECT_EQ(As<TMusicNote>(Read(17, gen::Note{.stemFlag = 1}.Encode(17)), ntNote)->GetStemLengthField(),
              31);
    EXPECT_EQ(As<TMusicNote>(Read(19, gen::Note{.stemFlag = 1, .stemByte = 0}.Encode(19)), ntNote)
                  ->GetStemLengthField(),
              31);
    EXPECT_EQ(As<TMusicNote>(Read(19, gen::Note{.stemFlag = 1, .stemByte = 7}.Encode(19)), ntNote)
                  ->GetStemLengthField(),
              7);
    // Attribute bits take effect only from the version that stores them.
    n = As<TMusicNote>(Read(25, gen::Note{.song = {.attrs = 0x0008 | 0x0004}}.Encode(25)), ntNote);
    EXPECT_FALSE(n->HasAttribute(naMarcato));
    EXPECT_TRUE(n->HasAttribute(naDotted));
    n = As<TMusicNote>(Read(26, gen::Note{.song = {.attrs = 0x0008}}.Encode(26)), ntNote);
    EXPECT_TRUE(n->HasAttribute(naMarcato));
    // Before version 4 the old slur code.
    n = As<TMusicNote>(Read(3, gen::Note{.song = {.oldSlur = 2}}.Encode(3)), ntNote);
    EXPECT_TRUE(n->HasAttribute(naSlur));
    EXPECT_TRUE(n->IsSlurContinued());
}

TEST(ItemRecords, RestsAndRestChords) {
    EXPECT_EQ(As<TRestNote>(Read(32, gen::Rest{.vertOffset = 3000}.Encode(32)), ntRest)->GetVertOffset(),
              2001);
    // A rest chord hides its rest by a VertOffset beyond the limits.
    TRestChord rc;
    rc.AddNote(new TMusicNote(-4));
    rc.SetHideRest(true);
    std::unique_ptr<TNotatedItem> copy(CloneNotatedItem(rc));
    auto* back = As<TRestChord>(copy, ntRestChord);
    EXPECT_TRUE(back->IsHideRest());
    EXPECT_EQ(back->GetVertOffset(), 0);
    // Without a chord part it reads as a rest.
    auto rest = Read(32, gen::RestChord{.rest = {.song = {.dur = 3}}}.Encode(32));
    EXPECT_EQ(As<TRestNote>(rest, ntRest)->GetDur(), dcEighth);
    // A part of the wrong kind, or parts nested without end, make the record damaged.
    bool error = false;
    EXPECT_FALSE(Read(32, gen::RestChord{.part = gen::Clef{}.Encode(32)}.Encode(32), &error));
    EXPECT_TRUE(error);
    Bytes nested = gen::Note{}.Encode(32);
    for (int i = 0; i < 50; ++i)
        nested = gen::RestChord{.part = nested}.Encode(32);
    EXPECT_FALSE(Read(32, nested, &error));
    EXPECT_TRUE(error);
}

TEST(ItemRecords, Chords) {
    gen::Note low{.pos = 4};
    gen::Note high{.pos = -2};
    auto chord = Read(32, gen::Chord{.members = {low.Encode(32), high.Encode(32)}}.Encode(32));
    auto* c = As<TChordData>(chord, ntChord);
    ASSERT_EQ(c->GetNoteCount(), 2);
    EXPECT_EQ(c->GetNote(0)->GetStaffPos(), 4);  // members fall by position
    EXPECT_TRUE(c->GetNote(0)->IsChordMember());
    // A member repeating the one before it is dropped; a chord left with one member is that note.
    auto single = Read(32, gen::Chord{.members = {low.Encode(32), low.Encode(32)}}.Encode(32));
    EXPECT_EQ(As<TMusicNote>(single, ntNote)->GetStaffPos(), 4);
    // Version 15 chords have a spare word after the note record and after the chord's own.
    chord = Read(15, gen::Chord{.members = {low.Encode(15), high.Encode(15)}}.Encode(15));
    EXPECT_EQ(As<TChordData>(chord, ntChord)->GetNoteCount(), 2);
    // Version 24 kept the mark number of members in their colour.
    chord = Read(
        24,
        gen::Chord{.members = {gen::Note{.song = {.color = 3}, .pos = 1}.Encode(24), high.Encode(24)}}.Encode(
            24));
    c = As<TChordData>(chord, ntChord);
    EXPECT_EQ(c->GetNote(0)->GetMarkNumber(), 3);
    EXPECT_EQ(c->GetNote(0)->GetColor(), 0);
    chord = Read(
        25,
        gen::Chord{.members = {gen::Note{.song = {.color = 3}, .pos = 1}.Encode(25), high.Encode(25)}}.Encode(
            25));
    EXPECT_EQ(As<TChordData>(chord, ntChord)->GetNote(0)->GetMarkNumber(), 0);
    // Members must be notes.
    bool error = false;
    EXPECT_FALSE(
        Read(32, gen::Chord{.members = {low.Encode(32), gen::Text{}.Encode(32)}}.Encode(32), &error));
    EXPECT_TRUE(error);
    EXPECT_FALSE(
        Read(32,
             gen::Chord{.members = {low.Encode(32),
                                    gen::Chord{.members = {low.Encode(32), high.Encode(32)}}.Encode(32)}}
                 .Encode(32),
             &error));
    EXPECT_TRUE(error);
    // A member count larger than the records present ends in a stream error.
    EXPECT_FALSE(Read(32, gen::Chord{.members = {low.Encode(32)}, .count = 3}.Encode(32), &error));
    EXPECT_TRUE(error);
}

TEST(ItemRecords, UnknownCodesAndCutRecords) {
    bool error = false;
    EXPECT_FALSE(Read(32, gen::RawItem(23, Bytes{}), &error));
    EXPECT_FALSE(Read(32, gen::RawItem(-1, Bytes{}), &error));
    Bytes cut = gen::Key{}.Encode(32);
    cut.data.resize(cut.data.size() - 1);
    EXPECT_FALSE(Read(32, cut, &error));
    EXPECT_TRUE(error);
}

TEST(ItemRecords, CopyAndCompare) {
    // A chord with one member copies as that note; a rest chord without a part as a rest.
    TChordData chord(new TMusicNote(1));
    std::unique_ptr<TNotatedItem> copy(CloneNotatedItem(chord));
    EXPECT_EQ(copy->GetType(), ntNote);
    TRestChord rc;
    copy.reset(CloneNotatedItem(rc));
    EXPECT_EQ(copy->GetType(), ntRest);
    // Computed marks do not take part.
    TMusicNote a(2);
    TMusicNote b(2);
    b.SetTieContinued(true);
    b.SetSlurContinued(true);
    b.SetHeadColumn(1);
    EXPECT_EQ(CompareNotatedItems(a, b), 0);
    b.SetStaffPos(3);
    EXPECT_LT(CompareNotatedItems(a, b), 0);
    EXPECT_GT(CompareNotatedItems(b, a), 0);
    // Records longer than 2048 bytes are compared whole.
    TChordData big1;
    TChordData big2;
    for (int i = 0; i < 250; ++i) {
        big1.AppendNoteRaw(new TMusicNote(i % 100));
        big2.AppendNoteRaw(new TMusicNote(i % 100));
    }
    EXPECT_GT(RecordOf(big1).size(), 2048u);
    EXPECT_EQ(CompareNotatedItems(big1, big2), 0);
    big2.GetNote(249)->SetStaffPos(50);
    EXPECT_NE(CompareNotatedItems(big1, big2), 0);
}

TEST(ItemRecords, DefaultItems) {
    EXPECT_EQ(CreateNotatedItem(23), nullptr);
    EXPECT_EQ(CreateNotatedItem(-1), nullptr);
    for (int code = 0; code < ntItemTypeCount; ++code) {
        std::unique_ptr<TNotatedItem> item(CreateNotatedItem(code));
        ASSERT_TRUE(item);
        EXPECT_EQ(item->GetType(), code);
    }
    std::unique_ptr<TNotatedItem> perf(CreateNotatedItem(ntPerformanceStyle));
    EXPECT_EQ(static_cast<TPerformanceStyle&>(*perf).GetStyle(), 20);
    std::unique_ptr<TNotatedItem> spacer(CreateNotatedItem(ntStaffSpacer));
    EXPECT_EQ(static_cast<TStaffSpacer&>(*spacer).GetWidth(), 100);
}

}  // namespace
