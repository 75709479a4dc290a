// Imports the text scores of testdata/textscore and checks what each line became, field by field.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/hooks.h"
#include "platform/kernel/text.h"
#include "score/base/fonts_data.h"
#include "score/base/vocabulary.h"
#include "score/file/tests/text_import_fixture.h"
#include "score/notation_index.h"

namespace {

using qsm::test::ImportFile;
using qsm::test::ImportText;
using qsm::test::ItemAs;
using qsm::test::TextOf;

// ---- File structure

TEST(TextImportStructure, HeaderSearchDecidesWhetherThereIsAScore) {
    const std::string body = "|Clef|Type:Bass\n";
    EXPECT_EQ(ImportText("\n!QuillStaveComposer(2.51)\n" + body), nullptr);
    EXPECT_EQ(ImportText(body), nullptr);
    EXPECT_EQ(ImportText(""), nullptr);
    EXPECT_EQ(ImportText("!QuillStaveComposer(v2)\n" + body), nullptr);
    EXPECT_EQ(ImportText("!QuillStaveComposer()\n" + body), nullptr);
    EXPECT_EQ(ImportText("!QuillStaveComposerClip(2.51)\n" + body), nullptr);
    EXPECT_EQ(ImportText("!QuillStaveComposerClip(x,Single)\n" + body), nullptr);
    // Any readable version is accepted; nothing after it is examined.
    for (const char* header :
         {"!QuillStaveComposer(2.75)", "!QuillStaveComposer(9", "!QuillStaveComposer( 3x"}) {
        auto score = ImportText(std::string(header) + "\n" + body);
        ASSERT_NE(score, nullptr) << header;
        EXPECT_EQ(ItemAs<TClefData>(*score, 0, 1).GetClefType(), ctBass);
    }
    // Lines before the header are passed over, an item line among them too.
    auto score = ImportText("Some words\n|Clef|Type:Alto\n!QuillStaveComposer(2.51)\n" + body);
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(score->GetStaff(0)->GetItemCount(), 3);
    EXPECT_EQ(ItemAs<TClefData>(*score, 0, 1).GetClefType(), ctBass);
}

TEST(TextImportStructure, HeaderlessModes) {
    const std::string text = "|Clef|Type:Bass\n!QuillStaveComposer(2.51)\n|Clef|Type:Alto\n";
    // Mode 0: a clip without header: every line is an item line of the one staff.
    auto clip = ImportText(text, 0);
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(clip->GetStaff(0)->GetItemCount(), 5);
    EXPECT_EQ(ItemAs<TClefData>(*clip, 0, 1).GetClefType(), ctBass);
    EXPECT_EQ(TextOf(*clip, 0, 2), "!QuillStaveComposer ...");
    EXPECT_EQ(ItemAs<TClefData>(*clip, 0, 3).GetClefType(), ctAlto);
    // Mode 1: the whole data is a score body.
    auto body = ImportText(text, 1);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->GetStaff(0)->GetItemCount(), 5);
    EXPECT_EQ(ItemAs<TClefData>(*body, 0, 1).GetClefType(), ctBass);
    EXPECT_EQ(TextOf(*body, 0, 2), "!QuillStaveComposer ...");
    // Mode -1 passes the first clef over.
    auto score = ImportText(text, -1);
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(score->GetStaff(0)->GetItemCount(), 3);
}

TEST(TextImportStructure, LinesAreTrimmedCutAndEndedAsTheLineReaderDoes) {
    std::string text = "!QuillStaveComposer(2.51)\r\n  \t|Clef|Type:Bass \t\r\n|Te\rxt|Text:a";
    text += std::string(40000, 'b');
    text += "\n|Clef|Type:Tenor";  // no end line and no final LF
    auto score = ImportText(text);
    ASSERT_NE(score, nullptr);
    TMusicStaff& staff = *score->GetStaff(0);
    ASSERT_EQ(staff.GetItemCount(), 5);
    EXPECT_EQ(ItemAs<TClefData>(*score, 0, 1).GetClefType(), ctBass);
    // The CR inside the keyword is dropped; the text is cut at 31999 characters of line, then at 254.
    auto& long_text = ItemAs<TTextExpression>(*score, 0, 2);
    EXPECT_EQ(std::string(long_text.GetText()), "a" + std::string(253, 'b'));
    EXPECT_EQ(ItemAs<TClefData>(*score, 0, 3).GetClefType(), ctTenor);
    // The closing bar line stays last.
    EXPECT_EQ(staff.GetItem(4)->GetType(), ntBarLine);
}

TEST(TextImportStructure, EndLineEndsTheBody) {
    auto score = ImportText(
        "!QuillStaveComposer(2.51)\n|Clef|Type:Bass\n!quillstavecomposer-end\n!QuillStaveComposer-End\n"
        "|Clef|Type:Alto\n");
    ASSERT_NE(score, nullptr);
    ASSERT_EQ(score->GetStaff(0)->GetItemCount(), 4);
    EXPECT_EQ(TextOf(*score, 0, 2), "!quillstavecomposer-end");
}

TEST(TextImportStructure, GzipFilesReadAsPlainOnes) {
    for (const char* name : {"sections.qsmtxt", "notes.qsmtxt", "staves.qsmtxt"}) {
        const std::string plain = qsm::test::ReadTestFile(name);
        auto a = ImportText(plain);
        auto b = ImportText(qsm::test::Gzip(plain));
        ASSERT_NE(a, nullptr) << name;
        ASSERT_NE(b, nullptr) << name;
        EXPECT_TRUE(qsm::test::SameItems(*a, *b)) << name;
        EXPECT_EQ(std::memcmp(&a->SongInfo, &b->SongInfo, sizeof a->SongInfo), 0) << name;
    }
}

// ---- Sections

TEST(TextImportSections, ScoreSettings) {
    TScoreFileHeader header;
    auto score = ImportFile("sections.qsmtxt", -1, &header);
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(header.CodePage, 1250u);

    EXPECT_EQ(score->Selection.ActiveStaff, 1);
    EXPECT_EQ(score->Selection.CaretIndex, 5);
    EXPECT_EQ(score->Selection.SelectIndex, 7);
    EXPECT_EQ(score->Selection.CaretPos, -3);

    const TSongInfo& info = score->SongInfo;
    EXPECT_STREQ(info.Title, "Test | one");
    EXPECT_STREQ(info.Author, "Jane \"JD\" Doe");
    EXPECT_STREQ(info.Lyricist, "Words, by me");
    EXPECT_STREQ(info.Copyright1, "(c) 2024\tTab");
    EXPECT_STREQ(info.Copyright2, "Line\ntwo");
    EXPECT_STREQ(info.Comments, "Back\\slash");

    const TMusicFontsData& fonts = *score->GetFontData();
    EXPECT_EQ(fonts.StaffSize, 18);
    // The notation face is taken as written: no unescaping, quotes kept.
    EXPECT_STREQ(fonts.MusicFontFace, "\"My\\]Font\"");
    EXPECT_EQ(score->Zoom, 10);
    EXPECT_FALSE(score->GetTitlePage());
    EXPECT_FALSE(score->GetJustifyVertically());
    EXPECT_TRUE(score->GetPrintSystemSepMark());
    EXPECT_TRUE(score->GetExtendLastSystem());
    EXPECT_FALSE(score->GetDurationPadding());  // "Yes" is not a whole-value yes
    EXPECT_FALSE(score->GetAllowLayering());
    EXPECT_EQ(score->PageNumbers, 3);
    EXPECT_EQ(score->StaffLabels, 2);
    EXPECT_EQ(score->BarNumbers, 3);
    EXPECT_EQ(score->StartingBar, -4);

    // Centimetres to inches; values outside 0..200 leave the margin as it was.
    EXPECT_FLOAT_EQ(score->Margins.Left, 1.0f);
    EXPECT_FLOAT_EQ(score->Margins.Top, 0.5f);
    EXPECT_FLOAT_EQ(score->Margins.Right, 0.0f);
    EXPECT_FLOAT_EQ(score->Margins.Bottom, static_cast<float>(199.5 * 0.393700787));
    EXPECT_NE(score->Margins.Mirror, 0);

    // Font records: display names match exactly, keyword names ignoring case; symbol styles change nothing.
    const TQSFontSpec& bold = fonts.Fonts[1];
    EXPECT_STREQ(bold.GetFaceName(), "Liberation Serif");
    EXPECT_EQ(bold.GetPointSize(), 14);
    EXPECT_TRUE(bold.IsBold());
    EXPECT_TRUE(bold.IsItalic());
    EXPECT_EQ(bold.GetCharSet(), 700 & 0xFF);
    const TQSFontSpec& title = fonts.Fonts[3];
    EXPECT_STREQ(title.GetFaceName(), "Title Face");
    EXPECT_EQ(title.GetPointSize(), 24);
    EXPECT_FALSE(title.IsBold());
    EXPECT_EQ(fonts.Fonts[11].GetPointSize(), 9);
    TMusicFontsData defaults;
    EXPECT_EQ(fonts.Fonts[0].GetPointSize(),
              defaults.Fonts[0].GetPointSize());  // "staff italic" is neither name
    for (int i : {2, 4, 5, 6, 7, 8, 9, 10}) {
        EXPECT_EQ(fonts.Fonts[i].GetPointSize(), defaults.Fonts[i].GetPointSize()) << i;
        EXPECT_STREQ(fonts.Fonts[i].GetFaceName(), defaults.Fonts[i].GetFaceName()) << i;
    }

    // Fake and context lines add nothing; a fake after a backslash is no fake; the end line ends all.
    const TMusicStaff& staff = *score->GetStaff(0);
    ASSERT_EQ(staff.GetItemCount(), 3);
    EXPECT_EQ(TextOf(*score, 0, 1), "|Fake");
}

TEST(TextImportSections, Staves) {
    auto score = ImportFile("staves.qsmtxt");
    ASSERT_NE(score, nullptr);
    ASSERT_EQ(score->GetStaffCount(), 4);

    // The first AddStaff names the initial staff, which already holds the note before it.
    TMusicStaff& piano = *score->GetStaff(0);
    EXPECT_STREQ(piano.GetName(), "Piano");
    EXPECT_STREQ(piano.GetLabel(true), "Piano | right");
    EXPECT_STREQ(piano.GetLabel(false), "Pno.");
    EXPECT_STREQ(piano.GetGroup(), "Keyboards and m");
    EXPECT_EQ(piano.GetItem(1)->GetType(), ntNote);
    EXPECT_EQ(piano.GetEndingBar(), 3);
    EXPECT_EQ(static_cast<TBarLineData*>(piano.GetLastItem())->GetStyle(), bsDouble);
    EXPECT_FALSE(score->IsStaffVisible(0));
    EXPECT_EQ(piano.GetLineCount(), 4);
    EXPECT_EQ(piano.GetStyle(), 3);
    // Bracket and ConnectBars, then Brace added by the second line, which also clears Layer.
    EXPECT_EQ(piano.StaffFlags & 0x1F, 0x01 | 0x02 | 0x04 | 0x10);
    EXPECT_TRUE(piano.IsMultiPartDotPlacement());
    EXPECT_TRUE(score->GetAnyMultiPartDotPlacement());
    EXPECT_EQ(piano.GetColor(), 3);
    EXPECT_EQ(piano.GetBoundaryTop(), -20);
    EXPECT_EQ(piano.GetBoundaryBottom(), 12);
    EXPECT_NE(piano.Muted, 0);
    EXPECT_EQ(piano.Volume, -1);
    EXPECT_EQ(piano.StereoPan, 127);
    EXPECT_EQ(piano.Device, 15);
    EXPECT_EQ(piano.Channel, 0);
    const TStaffInstrument& grand = piano.Instrument;
    EXPECT_STREQ(grand.Name, "Grand | Piano");
    EXPECT_TRUE(grand.HasPatch());
    EXPECT_EQ(grand.PatchByte, 1);
    EXPECT_NE(grand.BankFlag, 0);
    EXPECT_EQ(grand.Bank, 127 * 128 + 5);  // bank select bytes held at 127
    EXPECT_EQ(grand.Trans, -12);
    const uint8_t velocities[8] = {1, 2, 3, 60, 75, 92, 108, 127};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(grand.DynVel[i], velocities[i]) << i;

    ASSERT_NE(piano.GetLyrics(), nullptr);
    const TStaffLyrics& lyrics = *piano.GetLyrics();
    EXPECT_EQ(lyrics.Placement, 1);
    EXPECT_EQ(lyrics.Align, 1);
    EXPECT_EQ(lyrics.Offset, -3);
    EXPECT_EQ(lyrics.UnderscoreAsSpace, 0);
    ASSERT_EQ(lyrics.GetCount(), 3);  // Lyric3 made lines 1 to 3; Lyric9 was ignored
    EXPECT_EQ(qsm::test::Syllables(*lyrics.GetLine(0)), "");
    EXPECT_EQ(qsm::test::Syllables(*lyrics.GetLine(2)), "1New_York is-n't\rfar");
    // "lyric1" is no lyric section: it became a text item.
    EXPECT_EQ(TextOf(*score, 0, 2), "|lyric1|Text:\"not a ...");

    TMusicStaff& second = *score->GetStaff(1);
    EXPECT_STREQ(second.GetName(), "Piano-2");
    EXPECT_STREQ(second.GetGroup(), "_");
    EXPECT_TRUE(score->IsStaffVisible(1));
    EXPECT_EQ(second.GetLineCount(), 5);  // 40 lines are read as five
    EXPECT_EQ(second.GetBoundaryTop(), -12);
    EXPECT_EQ(second.GetBoundaryBottom(), 30);
    EXPECT_EQ(second.Channel, 15);
    EXPECT_EQ(second.Device, 3);
    EXPECT_EQ(second.Volume, 100);
    EXPECT_EQ(second.StereoPan, -1);
    EXPECT_EQ(second.GetEndingBar(), 0);
    EXPECT_EQ(static_cast<TBarLineData*>(second.GetLastItem())->GetStyle(), bsSectionClose);
    EXPECT_EQ(second.GetColor(), 0);
    EXPECT_STREQ(second.Instrument.Name, "Strings");
    EXPECT_FALSE(second.Instrument.HasPatch());
    EXPECT_EQ(second.Instrument.BankFlag, 0);    // no bank without a patch
    EXPECT_EQ(second.Instrument.DynVel[0], 10);  // a list of nine is ignored
    ASSERT_NE(second.GetLyrics(), nullptr);
    EXPECT_EQ(second.GetLyrics()->UnderscoreAsSpace, 1);
    EXPECT_EQ(qsm::test::Syllables(*second.GetLyrics()->GetLine(0)), "1Hap-py birth-day");

    TMusicStaff& third = *score->GetStaff(2);
    EXPECT_STREQ(third.GetName(), "Piano-3");
    EXPECT_EQ(third.Instrument.PatchByte, 128);
    EXPECT_EQ(third.Instrument.Bank, 2 * 128 + 3);
    EXPECT_EQ(third.GetLineCount(), 3);
    EXPECT_EQ(third.GetBoundaryTop(), -3);
    EXPECT_EQ(third.GetBoundaryBottom(), 3);
    EXPECT_EQ(third.Channel, 8);
    EXPECT_EQ(third.StaffFlags & 0x1F, 0x08);  // "Layer" among the words with the next staff

    TMusicStaff& fourth = *score->GetStaff(3);
    EXPECT_STREQ(fourth.GetName(), "Staff");
    EXPECT_EQ(fourth.Instrument.PatchByte, 6);
    EXPECT_EQ(fourth.Instrument.BankFlag, 0);  // "x,y" is no bank
}

// ---- Items

TEST(TextImportItems, SignaturesAndStructure) {
    auto score = ImportFile("signatures.qsmtxt");
    ASSERT_NE(score, nullptr);
    int i = 1;
    auto clef = [&](int type, int shift, int autoSys) {
        auto& c = ItemAs<TClefData>(*score, 0, i++);
        EXPECT_EQ(c.GetClefType(), type) << i - 1;
        EXPECT_EQ(c.GetOctaveShift(), shift) << i - 1;
        EXPECT_EQ(c.GetAutoSysOff(), autoSys) << i - 1;
        return &c;
    };
    clef(ctTreble, osNone, 0);
    TClefData* bass = clef(ctBass, osOctaveDown, -1);
    EXPECT_EQ(bass->GetColor(), 2);
    EXPECT_EQ(bass->GetVisibility(), ivNever);
    clef(ctAlto, osOctaveUp, -1);
    clef(ctTenor, osNone, 0);
    clef(ctPercussion, osNone, 0);

    auto key = [&](uint16_t sharps, uint16_t flats, int tonic, bool hide, int autoSys) {
        auto& k = ItemAs<TKeyData>(*score, 0, i++);
        EXPECT_EQ(k.GetSharpMask(), sharps) << i - 1;
        EXPECT_EQ(k.GetFlatMask(), flats) << i - 1;
        EXPECT_EQ(k.GetTonic(), tonic) << i - 1;
        EXPECT_EQ(k.GetHideCancels(), hide) << i - 1;
        EXPECT_EQ(k.GetAutoSysOff(), autoSys) << i - 1;
    };
    // Letters A=0 .. G=6. Three flats give E flat major's tonic E (4).
    key(0, 1 << 0 | 1 << 1 | 1 << 4, 4, true, -1);
    key(1 << 5 | 1 << 2, 0, 3, false, 0);
    key(0, 0, 2, false, 0);
    key(0, 1 << 1, 6, false, 0);

    auto bar = [&](int style, int repeat, bool xbar, bool brk) {
        auto& b = ItemAs<TBarLineData>(*score, 0, i++);
        EXPECT_EQ(b.GetStyle(), style) << i - 1;
        EXPECT_EQ(b.GetRepeat(), repeat) << i - 1;
        EXPECT_EQ(b.GetXBarCnt(), xbar) << i - 1;
        EXPECT_EQ(b.GetSysBreak(), brk) << i - 1;
    };
    bar(bsSingle, 1, false, false);
    bar(bsDouble, 1, true, true);
    bar(bsTransparent, 1, false, false);
    bar(bsLocalRepeatClose, 250, false, false);
    bar(bsLocalRepeatClose, 2, false, false);
    bar(bsMasterRepeatOpen, 1, false, false);
    bar(bsSingle, 1, false, false);
    bar(bsSingle, 1, false, false);

    auto ending = [&](uint32_t mask, bool closed, bool hide, int height, int offset) {
        auto& e = ItemAs<TSpecialEnding>(*score, 0, i++);
        EXPECT_EQ(e.GetEndings(), mask) << i - 1;
        EXPECT_EQ(e.GetClosedBracket(), closed) << i - 1;
        EXPECT_EQ(e.GetHideText(), hide) << i - 1;
        EXPECT_EQ(e.GetBracketHeight(), height) << i - 1;
        EXPECT_EQ(e.GetBracketOffsetNP(), offset) << i - 1;
    };
    ending(0x83, false, false, 4, 1);
    ending(0x84, true, true, 100, 6);  // VertOffset -5 comes last: offset 1 - (-5)
    ending(0, false, false, 0, 40);
    ending(0, false, false, 4, -99);

    auto time = [&](int beats, int exponent, int style) {
        auto& t = ItemAs<TTimeSignatureData>(*score, 0, i++);
        EXPECT_EQ(t.GetBeats(), beats) << i - 1;
        EXPECT_EQ(t.GetBeatValueExponent(), exponent) << i - 1;
        EXPECT_EQ(t.GetStyle(), style) << i - 1;
    };
    time(6, 3, tsStandard);
    time(6, 2, tsStandard);
    time(4, 2, tsCommon);
    time(2, 1, tsAllaBreve);
    time(1, 0, tsStandard);
    time(128, 5, tsStandard);
    time(3, 2, tsStandard);

    for (int width : {120, 9999, 50, 0})
        EXPECT_EQ(ItemAs<TStaffSpacer>(*score, 0, i++).GetWidth(), width);

    auto multi = [&](int bars, bool once, bool showBars, bool showRests) {
        auto& m = ItemAs<TMultiMeasureRest>(*score, 0, i++);
        EXPECT_EQ(m.GetNumBars(), bars) << i - 1;
        EXPECT_EQ(m.GetPrintOnce(), once) << i - 1;
        EXPECT_EQ(m.GetShowBars(), showBars) << i - 1;
        EXPECT_EQ(m.GetShowRests(), showRests) << i - 1;
    };
    multi(4, true, true, false);
    multi(1, false, true, true);
    multi(255, false, false, false);

    auto sizer = [&]() -> TStaffSizer& { return ItemAs<TStaffSizer>(*score, 0, i++); };
    TStaffSizer* s = &sizer();
    EXPECT_TRUE(s->IsNewSize());
    EXPECT_EQ(s->GetUpper(), 6);
    EXPECT_EQ(s->GetLower(), 100);
    s = &sizer();
    EXPECT_EQ(s->GetUpper(), 8);  // no sizes: the item's own default
    EXPECT_EQ(s->GetLower(), 0);
    s = &sizer();
    EXPECT_EQ(s->GetGapWidthRaw(), 9999);
    EXPECT_TRUE(s->GetGapSystemConnections());
    s = &sizer();
    EXPECT_EQ(s->GetGapWidthRaw(), 200);
    EXPECT_FALSE(s->GetGapSystemConnections());
    s = &sizer();
    EXPECT_EQ(s->GetGapWidthRaw(), 1);
    EXPECT_FALSE(s->GetGapSystemConnections());
    s = &sizer();
    EXPECT_TRUE(s->IsNewSystem());
    EXPECT_TRUE(s->GetNewPage());
    s = &sizer();
    EXPECT_TRUE(s->IsNewSystem());
    EXPECT_FALSE(s->GetNewPage());
    for (int style : {ssReset, ssCollapse, ssEndCollapse, ssReset, ssReset}) {
        EXPECT_EQ(sizer().GetStyle(), style) << i - 1;
    }
    EXPECT_EQ(i, score->GetStaff(0)->GetLastIndex());
}

TEST(TextImportItems, Expressions) {
    auto score = ImportFile("expressions.qsmtxt");
    ASSERT_NE(score, nullptr);
    int i = 1;
    auto expr = [&](int type, int pos, bool wide, int justify, int placement) -> TNotatedItem& {
        TNotatedItem* item = score->GetStaff(0)->GetItem(i++);
        EXPECT_NE(item, nullptr);
        if (item == nullptr) return *score->GetStaff(0)->GetItem(0);
        EXPECT_EQ(item->GetType(), type) << i - 1;
        if (!item->IsExpression()) return *item;
        auto& e = static_cast<TNtnGeneralExpression&>(*item);
        EXPECT_EQ(e.GetStaffPos(), pos) << i - 1;
        EXPECT_EQ(e.GetWide(), wide) << i - 1;
        EXPECT_EQ(e.GetJustify(), justify) << i - 1;
        EXPECT_EQ(e.GetPlacement(), placement) << i - 1;
        return *item;
    };

    auto* patch = static_cast<TPatchData*>(&expr(ntPatch, -4, true, ejCenter, epAtNextNote));
    const TStaffInstrument& violin = patch->GetInstrument();
    EXPECT_STREQ(violin.Name, "Violin |I");
    EXPECT_EQ(violin.PatchByte, 41);
    EXPECT_NE(violin.BankFlag, 0);
    EXPECT_EQ(violin.Bank, 130);
    EXPECT_EQ(violin.Trans, -2);
    EXPECT_EQ(violin.DynVel[7], 75);
    patch = static_cast<TPatchData*>(&expr(ntPatch, -8, false, 0, 0));
    EXPECT_FALSE(patch->GetInstrument().HasPatch());
    EXPECT_EQ(patch->GetInstrument().BankFlag, 0);
    EXPECT_EQ(patch->GetInstrument().DynVel[0], 10);
    patch = static_cast<TPatchData*>(&expr(ntPatch, -8, false, 0, 0));
    EXPECT_EQ(patch->GetInstrument().PatchByte, 1);
    EXPECT_EQ(patch->GetInstrument().Bank, 127 * 128);
    EXPECT_EQ(patch->GetInstrument().Trans, 300 - 256);
    patch = static_cast<TPatchData*>(&expr(ntPatch, -8, false, 0, 0));
    EXPECT_EQ(patch->GetInstrument().PatchByte, 8);
    EXPECT_EQ(patch->GetInstrument().BankFlag, 0);

    auto* tempo = static_cast<TTempoData*>(&expr(ntTempo, -8, false, ejRight, epAsStaffSignature));
    EXPECT_EQ(tempo->GetTempo(), 96);
    EXPECT_EQ(tempo->GetBase(), tbQuarterDotted);
    EXPECT_STREQ(tempo->GetText(), "Allegro |");
    tempo = static_cast<TTempoData*>(&expr(ntTempo, -10, false, 0, 0));
    EXPECT_EQ(tempo->GetTempo(), 4);
    EXPECT_EQ(tempo->GetBase(), tbQuarter);

    auto* dynamic = static_cast<TDynamicLevelData*>(&expr(ntDynamic, 8, false, 0, 0));
    EXPECT_EQ(dynamic->GetStyle(), dlMF);
    EXPECT_TRUE(dynamic->HasVelocity());
    EXPECT_EQ(dynamic->GetVelocity(), 127);
    EXPECT_TRUE(dynamic->HasVolume());
    EXPECT_EQ(dynamic->GetVolume(), 64);
    dynamic = static_cast<TDynamicLevelData*>(&expr(ntDynamic, 8, false, 0, 0));
    EXPECT_EQ(dynamic->GetStyle(), dlFFF);
    EXPECT_FALSE(dynamic->HasVelocity());
    EXPECT_TRUE(dynamic->HasVolume());
    EXPECT_EQ(dynamic->GetVolume(), 0);

    for (int status : {0, 1, 1, 1}) {
        EXPECT_EQ(static_cast<TSustainPedal&>(expr(ntSustainPedal, 8, false, 0, 0)).GetStatus(), status);
    }
    EXPECT_EQ(static_cast<TFlowDirection&>(expr(ntFlowDirection, 3, false, 0, 0)).GetStyle(), 9);
    EXPECT_EQ(static_cast<TFlowDirection&>(expr(ntFlowDirection, -8, false, 0, 0)).GetStyle(), 3);

    auto* mpc = static_cast<TGenericControl*>(&expr(ntGenericControl, -8, false, 0, 0));
    EXPECT_EQ(mpc->GetController(), 1);
    EXPECT_EQ(mpc->GetStyle(), gcLinearSweep);
    EXPECT_EQ(mpc->GetTimeRes(), 3);
    EXPECT_EQ(mpc->GetSweepRes(), 3);
    const int times[4] = {0, 2, 1, 4}, values[4] = {10, 100, -5, 127};
    for (int p = 0; p < 4; ++p) {
        EXPECT_TRUE(mpc->IsPointInUse(p));
        EXPECT_EQ(mpc->GetPointTime(p), times[p]);
        EXPECT_EQ(mpc->GetPointValue(p), values[p]);
    }
    mpc = static_cast<TGenericControl*>(&expr(ntGenericControl, -8, false, 0, 0));
    EXPECT_EQ(mpc->GetController(), 2);
    EXPECT_EQ(mpc->GetTimeRes(), 2);
    EXPECT_TRUE(mpc->IsPointInUse(0));
    EXPECT_FALSE(mpc->IsPointInUse(1));
    EXPECT_FALSE(mpc->IsPointInUse(2));  // points are read up to the first missing one
    mpc = static_cast<TGenericControl*>(&expr(ntGenericControl, -8, false, 0, 0));
    EXPECT_EQ(mpc->GetController(), 0);
    EXPECT_EQ(mpc->GetStyle(), gcAbsolute);
    EXPECT_EQ(mpc->GetTimeRes(), 2);

    auto variance = [&](int style, int pause) {
        TNotatedItem& item = expr(ntTempoVariance, style == 2 ? -9 : (style == 0 ? -8 : 8), false, 0, 0);
        EXPECT_EQ(static_cast<TTempoVariance&>(item).GetStyle(), style);
        EXPECT_EQ(static_cast<TTempoVariance&>(item).GetPause(), pause);
    };
    variance(2, 3);
    variance(6, 0);
    variance(0, 300 & 0xFF);
    EXPECT_EQ(static_cast<TDynamicVariance&>(expr(ntDynamicVariance, 8, false, 0, 0)).GetStyle(), 4);
    for (int style : {12, 12, 22}) {
        EXPECT_EQ(static_cast<TPerformanceStyle&>(expr(ntPerformanceStyle, 8, false, 0, 0)).GetStyle(),
                  style);
    }

    auto* text = static_cast<TTextExpression*>(&expr(ntTextExpression, -5, false, 0, 0));
    EXPECT_STREQ(text->GetText(), "Hello, world");
    EXPECT_EQ(text->GetFont(), 9);
    text = static_cast<TTextExpression*>(&expr(ntTextExpression, -8, true, 0, 0));
    EXPECT_EQ(text->GetFont(), 0);
    EXPECT_EQ(text->GetColor(), 7);
    EXPECT_EQ(text->GetVisibility(), ivTopStaff);
    text = static_cast<TTextExpression*>(&expr(ntTextExpression, -8, false, 0, 0));
    EXPECT_EQ(text->GetFont(), 2);
    EXPECT_EQ(text->GetColor(), 0);
    EXPECT_EQ(text->GetVisibility(), 0);
    text = static_cast<TTextExpression*>(&expr(ntTextExpression, -8, false, 0, 0));
    EXPECT_EQ(std::string(text->GetText()).size(), 254u);
    EXPECT_EQ(i, score->GetStaff(0)->GetLastIndex());
}

TEST(TextImportItems, NotesRestsAndChords) {
    auto score = ImportFile("notes.qsmtxt");
    ASSERT_NE(score, nullptr);
    int i = 1;
    auto note = [&]() -> TMusicNote& { return ItemAs<TMusicNote>(*score, 0, i++); };

    TMusicNote* n = &note();
    EXPECT_EQ(n->GetStaffPos(), 0);
    EXPECT_EQ(n->GetDur(), dcQuarter);
    EXPECT_EQ(n->GetAccidental(), acNone);
    EXPECT_EQ(n->GetAttributes(), 0);

    n = &note();
    EXPECT_EQ(n->GetDur(), dcEighth);
    EXPECT_EQ(n->GetAttributes(), AttributeBit(naDotted) | AttributeBit(naStaccato) | AttributeBit(naAccent) |
                                      AttributeBit(naTie) | AttributeBit(naSlurDirection) |
                                      AttributeBit(naTieDirection));
    EXPECT_EQ(n->GetAccidental(), acFlat);
    EXPECT_EQ(n->GetStaffPos(), 3);
    EXPECT_EQ(n->GetNotehead(), 0);
    EXPECT_EQ(n->GetStemSetting(), 1);
    EXPECT_EQ(n->GetSlurDirection(), 2);
    EXPECT_EQ(n->GetTieDirection(), 1);
    EXPECT_EQ(n->GetLyricMode(), lmNever);

    n = &note();
    EXPECT_EQ(n->GetDur(), dc16th);
    EXPECT_EQ(n->GetAttributes(), AttributeBit(naDblDotted) | AttributeBit(naGrace) | AttributeBit(naTenuto) |
                                      AttributeBit(naCrescendo));
    EXPECT_EQ(n->GetAccidental(), acSharp);
    EXPECT_EQ(n->GetStaffPos(), -2);
    EXPECT_EQ(n->GetNotehead(), 1);
    EXPECT_EQ(n->GetStemSetting(), 2);  // any stem value but Up is down
    EXPECT_EQ(n->GetXAccSpace(), 3);
    EXPECT_EQ(n->GetXNoteSpace(), 2);
    EXPECT_TRUE(n->HasNoLegerLines());
    EXPECT_TRUE(n->HasArticulationsOnStem());
    EXPECT_TRUE(n->IsMuted());
    EXPECT_EQ(n->GetStemLengthField(), 31);

    n = &note();
    EXPECT_EQ(n->GetDur(), dcHalf);
    // DblDotted replaces Dotted; Marcato and Staccatissimo stand together.
    EXPECT_EQ(n->GetAttributes(), AttributeBit(naDblDotted) | AttributeBit(naStaccatissimo) |
                                      AttributeBit(naMarcato) | AttributeBit(naSlur) |
                                      AttributeBit(naDiminuendo) | AttributeBit(naTieDirection));
    EXPECT_EQ(n->GetAccidental(), acDoubleSharp);
    EXPECT_EQ(n->GetStaffPos(), -3);
    EXPECT_EQ(n->GetMarkNumber(), 5);
    EXPECT_EQ(n->GetStemLengthField(), 37 & 31);
    EXPECT_EQ(n->GetLyricMode(), lmAlways);
    EXPECT_EQ(n->GetTieDirection(), 2);

    n = &note();
    EXPECT_EQ(n->GetDur(), dc64th);
    EXPECT_EQ(n->GetStaffPos(), 0);  // "+3" has no number
    EXPECT_EQ(n->GetColor(), 4);
    EXPECT_EQ(n->GetAttributes(), 0);  // Slur, Lyric, Stem and Tie without values are ignored
    EXPECT_EQ(n->GetStemSetting(), 0);

    n = &note();
    EXPECT_EQ(n->GetDur(), dcWhole);
    EXPECT_EQ(n->GetAttributes(), AttributeBit(naDotted));
    EXPECT_EQ(n->GetAccidental(), acDoubleFlat);
    EXPECT_EQ(n->GetStaffPos(), 127);  // held at the end of the signed byte
    EXPECT_EQ(n->GetNotehead(), 13);
    EXPECT_EQ(n->GetMarkNumber(), 3);

    EXPECT_EQ(note().GetStaffPos(), -128);

    n = &note();
    EXPECT_EQ(n->GetAccidental(), acNatural);
    EXPECT_EQ(n->GetStaffPos(), 4);
    EXPECT_EQ(n->GetNotehead(), 6);
    EXPECT_TRUE(n->HasAttribute(naTie));
    EXPECT_EQ(n->GetMarkNumber(), 12);
    EXPECT_EQ(n->GetLyricMode(), lmDefault);
    EXPECT_EQ(n->GetSlurDirection(), 0);

    n = &note();
    EXPECT_EQ(n->GetDur(), dc32nd);
    EXPECT_EQ(n->GetStaffPos(), 0);

    EXPECT_EQ(ItemAs<TBarLineData>(*score, 0, i++).GetStyle(), bsSingle);
    for (int state : {gsFirst, gsMiddle, gsEnd}) {
        n = &note();
        EXPECT_EQ(n->GetBeamState(), state);
        EXPECT_EQ(n->GetStemSetting(), 1);
    }
    for (int state : {gsFirst, gsMiddle, gsEnd}) {
        n = &note();
        EXPECT_EQ(n->GetTripletState(), state);
        EXPECT_EQ(n->GetStemSetting(), 2);
    }
    EXPECT_EQ(ItemAs<TBarLineData>(*score, 0, i++).GetStyle(), bsSingle);

    auto* rest = &ItemAs<TRestNote>(*score, 0, i++);
    EXPECT_EQ(rest->GetDur(), dcHalf);
    EXPECT_TRUE(rest->IsDotted());
    EXPECT_TRUE(rest->HasAttribute(naCrescendo));
    EXPECT_EQ(rest->GetVertOffset(), -3);
    EXPECT_EQ(rest->GetStemSetting(), 1);
    EXPECT_EQ(rest->GetBeamState(), gsNone);  // beams are no rest option
    EXPECT_FALSE(rest->IsHideRest());
    rest = &ItemAs<TRestNote>(*score, 0, i++);
    EXPECT_EQ(rest->GetVertOffset(), 2001);
    rest = &ItemAs<TRestNote>(*score, 0, i++);
    EXPECT_EQ(rest->GetVertOffset(), 0);

    auto* chord = &ItemAs<TChordData>(*score, 0, i++);
    ASSERT_EQ(chord->GetNoteCount(), 3);
    EXPECT_EQ(chord->GetNote(0)->GetStaffPos(), 6);
    EXPECT_EQ(chord->GetNote(1)->GetStaffPos(), 4);
    EXPECT_EQ(chord->GetNote(2)->GetStaffPos(), 2);
    // A chord line with one note gives a plain note.
    n = &note();
    EXPECT_EQ(n->GetStaffPos(), 1);
    EXPECT_EQ(n->GetDur(), dcEighth);
    EXPECT_EQ(n->GetStemSetting(), 1);
    EXPECT_FALSE(n->IsChordMember());
    // A second voice shorter than the first is ignored.
    chord = &ItemAs<TChordData>(*score, 0, i++);
    ASSERT_EQ(chord->GetNoteCount(), 2);
    EXPECT_EQ(chord->GetNote(0)->GetStaffPos(), 2);
    EXPECT_EQ(chord->GetNote(1)->GetStaffPos(), -2);
    // A longer second voice takes the other stem side.
    chord = &ItemAs<TChordData>(*score, 0, i++);
    ASSERT_EQ(chord->GetNoteCount(), 3);
    EXPECT_TRUE(chord->HasSplitStems());
    EXPECT_EQ(chord->GetNote(0)->GetStaffPos(), 3);
    EXPECT_EQ(chord->GetNote(0)->GetDur(), dcQuarter);
    EXPECT_EQ(chord->GetNote(0)->GetStemSetting(), 2);
    for (int m = 1; m < 3; ++m) {
        EXPECT_EQ(chord->GetNote(m)->GetDur(), dcHalf);
        EXPECT_EQ(chord->GetNote(m)->GetStemSetting(), 1);
    }
    EXPECT_EQ(chord->GetNote(1)->GetStaffPos(), -4);
    EXPECT_EQ(chord->GetNote(2)->GetStaffPos(), -6);
    chord = &ItemAs<TChordData>(*score, 0, i++);
    ASSERT_EQ(chord->GetNoteCount(), 3);
    EXPECT_EQ(chord->GetColor(), 3);
    EXPECT_EQ(chord->GetXAccSpace(), 1);
    EXPECT_TRUE(chord->IsMuted());
    EXPECT_EQ(chord->GetNote(2)->GetAccidental(), acFlat);
    EXPECT_TRUE(chord->GetNote(2)->HasAttribute(naTie));
    for (int m = 0; m < 3; ++m)
        EXPECT_TRUE(chord->GetNote(m)->IsMuted());

    auto* rc = &ItemAs<TRestChord>(*score, 0, i++);
    ASSERT_NE(rc->GetPart(), nullptr);
    EXPECT_EQ(rc->GetPart()->GetType(), ntNote);
    EXPECT_EQ(rc->GetPart()->GetStaffPos(), 5);
    EXPECT_TRUE(rc->GetPart()->IsRestChordPart());
    EXPECT_EQ(rc->GetPart()->GetStemLengthField(), 6);
    EXPECT_TRUE(rc->GetPart()->HasNoLegerLines());
    EXPECT_EQ(rc->GetVertOffset(), -2);
    EXPECT_FALSE(rc->IsHideRest());
    rc = &ItemAs<TRestChord>(*score, 0, i++);
    ASSERT_NE(rc->GetPart(), nullptr);
    EXPECT_EQ(rc->GetPart()->GetType(), ntChord);
    EXPECT_EQ(rc->GetPart()->GetNoteCount(), 2);
    EXPECT_TRUE(rc->GetPart()->IsMuted());
    EXPECT_TRUE(rc->IsHideRest());
    EXPECT_EQ(rc->GetVertOffset(), 0);  // no offset for a hidden rest
    // A second voice shorter than the rest gives a plain rest with the rest chord's settings.
    rest = &ItemAs<TRestNote>(*score, 0, i++);
    EXPECT_EQ(rest->GetType(), ntRest);
    EXPECT_EQ(rest->GetVertOffset(), -1);
    rc = &ItemAs<TRestChord>(*score, 0, i++);
    EXPECT_TRUE(rc->IsHideRest());  // an offset beyond 2000 hides the rest
    rest = &ItemAs<TRestNote>(*score, 0, i++);
    EXPECT_EQ(rest->GetType(), ntRest);
    EXPECT_EQ(i, score->GetStaff(0)->GetLastIndex());
}

TEST(TextImportItems, UnreadableLinesBecomeTextItems) {
    auto score = ImportFile("lenient.qsmtxt");
    ASSERT_NE(score, nullptr);
    const char* const texts[] = {"|Clef|Type:Soprano",
                                 "|Clef|Type: treble",
                                 "|Tempo|Base:Quarter",
                                 "|Text|Text:\"\"",
                                 "|Text",
                                 "|TimeSig|Signature:3-4",
                                 "|TimeSig",
                                 "|MPC|Controller:vol ...",
                                 "|MPC|Controller:vol",
                                 "|MPC|Pt1:1,2",
                                 "|MPC|Controller:vol ...",
                                 "|ChordName|Text:C7",
                                 "|Dynamic|Style:mfp",
                                 "|Flow",
                                 "|TempoVariance|Styl ...",
                                 "|DynamicVariance|St ...",
                                 "|PerformanceStyle|S ...",
                                 "|Chord|Dur:4th|Pos: ...",
                                 "|Frobnicate|X:1",
                                 "|Lyric|Text:x",
                                 "This line has exact ...",
                                 "Exactly twenty-four cha",
                                 "Twenty-three characters",
                                 "|",
                                 "|Chord|Dur:4th|Pos: ...",
                                 "|Chord|Dur:4th"};
    const int count = static_cast<int>(std::size(texts));
    const TMusicStaff& staff = *score->GetStaff(0);
    ASSERT_EQ(staff.GetItemCount(), count + 3);
    for (int i = 0; i < count; ++i) {
        auto& text = ItemAs<TTextExpression>(*score, 0, i + 1);
        EXPECT_STREQ(text.GetText(), texts[i]) << i + 1;
        EXPECT_TRUE(text.GetWide());
        EXPECT_EQ(text.GetFont(), 3);  // StaffBold
        EXPECT_EQ(text.GetStaffPos(), -8);
    }
    // The section line among them still works; the last item line is read normally.
    EXPECT_EQ(staff.GetLineCount(), 4);
    EXPECT_EQ(ItemAs<TMultiMeasureRest>(*score, 0, count + 1).GetNumBars(), 3);
}

TEST(TextImportClip, ClipLinesFillTheOneStaff) {
    TScoreFileHeader header;
    auto score = ImportFile("clip.qsmtxt", -1, &header);
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(header.CodePage, 1251u);
    ASSERT_EQ(score->GetStaffCount(), 1);
    const TMusicStaff& staff = *score->GetStaff(0);
    ASSERT_EQ(staff.GetItemCount(), 6);
    EXPECT_EQ(ItemAs<TClefData>(*score, 0, 1).GetClefType(), ctBass);
    EXPECT_EQ(ItemAs<TMusicNote>(*score, 0, 2).GetDur(), dcEighth);
    // Sections are no clip lines: they become text items (except Locale).
    EXPECT_EQ(TextOf(*score, 0, 3), "|SongInfo|Title:x");
    EXPECT_STREQ(score->SongInfo.Title, "");
    EXPECT_EQ(ItemAs<TRestNote>(*score, 0, 4).GetDur(), dcQuarter);
}

TEST(TextImportClip, HeaderlessClipsHaveNoEndLine) {
    auto score = ImportText("|Rest\n!QuillStaveComposerClip-End\n|Rest|Dur:Half\n", 0);
    ASSERT_NE(score, nullptr);
    ASSERT_EQ(score->GetStaff(0)->GetItemCount(), 5);
    EXPECT_EQ(TextOf(*score, 0, 2), "!QuillStaveComposer ...");
    EXPECT_EQ(ItemAs<TRestNote>(*score, 0, 3).GetDur(), dcHalf);
}

TEST(TextImportClip, CancellingTheLongTaskStopsTheClip) {
    static int asked = 0;
    asked = 0;
    qsm::SetLongTaskCancelTest([] { return ++asked > 2; });
    auto score = ImportText("!QuillStaveComposerClip(2.51,Single)\n|Rest\n|Rest\n|Rest\n|Rest\n");
    qsm::SetLongTaskCancelTest(nullptr);
    ASSERT_NE(score, nullptr);
    EXPECT_EQ(score->GetStaff(0)->GetItemCount(), 4);
    EXPECT_EQ(asked, 3);
}

// The importer reads lines in blocks; they must be the lines the stream's own line reader gives.
TEST(TextImportLines, BlockReaderGivesTheLinesOfTheStreamsLineReader) {
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    const char alphabet[] = {'a', 'b', ' ', '\r', '\n', '\0', '|', 'x'};
    for (int round = 0; round < 200; ++round) {
        std::string data;
        const size_t length = next() % (round % 10 == 0 ? 70000 : 60);
        for (size_t i = 0; i < length; ++i)
            data += alphabet[next() % sizeof alphabet];
        const int limit = round % 3 == 0 ? 4 : 32000;
        TQSRFlatRamStream a(data.data(), static_cast<DWORD>(data.size()), static_cast<DWORD>(data.size()));
        TQSRFlatRamStream b(data.data(), static_cast<DWORD>(data.size()), static_cast<DWORD>(data.size()));
        qsm::TTextLineReader reader(b);
        std::vector<char> x(static_cast<size_t>(limit)), y(static_cast<size_t>(limit));
        for (int line = 0; a.GetError() == 0; ++line) {
            ASSERT_FALSE(reader.AtEnd()) << round << " " << line;
            ASSERT_EQ(a.ReadLine(x.data(), limit), reader.ReadLine(y.data(), limit)) << round << " " << line;
            ASSERT_STREQ(x.data(), y.data()) << round << " " << line;
        }
        EXPECT_TRUE(reader.AtEnd()) << round;
    }
}

// The import ends by formatting every staff: the derived marks are there when it returns.
TEST(TextImportStructure, ImportedStavesAreFormatted) {
    auto score = ImportFile("sample.qsmtxt");
    ASSERT_NE(score, nullptr);
    ASSERT_EQ(score->GetStaffCount(), 2);
    EXPECT_STREQ(score->GetStaff(0)->GetName(), "Piano");
    EXPECT_STREQ(score->GetStaff(1)->GetName(), "Piano-2");
    EXPECT_EQ(ItemAs<TBarLineData>(*score, 0, 11).GetStyle(), bsDouble);
    // The tie of the first eighth ends on the second; the whole rest fills the 3/4 bar.
    EXPECT_TRUE(ItemAs<TMusicNote>(*score, 0, 7).IsTieContinued());
    auto& rest = ItemAs<TRestNote>(*score, 0, 10);
    EXPECT_TRUE(rest.HasBarLength());
    EXPECT_EQ(rest.GetBarLength(), 576);
    // The beamed eighths share one stem direction, stored by the formatting.
    EXPECT_EQ(ItemAs<TMusicNote>(*score, 0, 6).GetStemSetting(), 1);
    EXPECT_EQ(ItemAs<TMusicNote>(*score, 0, 7).GetStemSetting(), 1);
}

// ---- Limits that keep hostile files in bounds

TEST(TextImportLimits, StavesBeyond255AreDroppedWithTheirLines) {
    std::string text = "!QuillStaveComposer(2.51)\n";
    for (int i = 0; i < 260; ++i) {
        text += "|AddStaff|Name:S" + std::to_string(i) + "\n|Clef|Type:Bass\n|StaffProperties|Lines:3\n";
    }
    text += "|SongInfo|Title:still read\n";
    auto score = ImportText(text);
    ASSERT_NE(score, nullptr);
    ASSERT_EQ(score->GetStaffCount(), 255);
    EXPECT_STREQ(score->GetStaff(254)->GetName(), "S254");
    EXPECT_EQ(score->GetStaff(254)->GetItemCount(), 3);
    EXPECT_EQ(score->GetStaff(254)->GetLineCount(), 3);
    EXPECT_STREQ(score->SongInfo.Title, "still read");
}

TEST(TextImportLimits, AStaffHoldsAtMost32002Items) {
    std::string text = "!QuillStaveComposer(2.51)\n";
    for (int i = 0; i < 32100; ++i)
        text += "|Spacer|Width:7\n";
    text += "|AddStaff|Name:Next\n|AddStaff|Name:Other\n|Spacer\n";
    auto score = ImportText(text);
    ASSERT_NE(score, nullptr);
    const TMusicStaff& full = *score->GetStaff(0);
    EXPECT_EQ(full.GetItemCount(), 32002);
    EXPECT_EQ(full.GetLastItem()->GetType(), ntBarLine);
    ASSERT_EQ(score->GetStaffCount(), 2);
    EXPECT_EQ(score->GetStaff(1)->GetItemCount(), 3);
}

}  // namespace

namespace {

// A value is the rest of its field after the colon, taken as it stands: numbers skip leading blanks as the
// C conversion does, while names, flags and texts keep the blank and read accordingly.
TEST(TextImportFields, ValuesAreTakenFromRightAfterTheColon) {
    auto score = ImportText(
        "!QuillStaveComposer(2.51)\n"
        "|SongInfo|Title: \"Spaced\"\n"
        "|Tempo|Tempo: 96|Base: Half|Wide: Y\n"
        "|Text|Text:x|Font: User2\n"
        "|Chord|Dur:8th|Pos: -6 , -4\n"
        "|Clef|Type: Bass\n");
    ASSERT_NE(score, nullptr);
    EXPECT_STREQ(score->SongInfo.Title, " \"Spaced\"");
    auto& tempo = ItemAs<TTempoData>(*score, 0, 1);
    EXPECT_EQ(tempo.GetTempo(), 96);
    EXPECT_EQ(tempo.GetBase(), tbQuarter);
    EXPECT_FALSE(tempo.GetWide());
    EXPECT_EQ(ItemAs<TTextExpression>(*score, 0, 2).GetFont(), 0);
    EXPECT_EQ(ItemAs<TChordData>(*score, 0, 3).GetNoteCount(), 2);  // list parts are trimmed
    EXPECT_EQ(TextOf(*score, 0, 4), "|Clef|Type: Bass");
}

// Name lookup gives the first name of the list that equals the value, ignoring code page 1252 case unless
// asked not to, for every name of every list, case-changed names, names with a letter more or less, long
// values and values from no list.
TEST(TextImportFields, NameLookupFindsTheFirstEqualName) {
    auto fold = [](const std::string& s) {
        std::string out;
        for (const char c : s)
            out += static_cast<char>(qsm::ToLower1252(static_cast<BYTE>(c)));
        return out;
    };
    std::mt19937 rng(11);
    for (int list = 0; list < VOCABULARY_LIST_COUNT; ++list) {
        std::vector<std::string> names;
        for (const char* name = GetNameList(list); *name != 0; name += std::strlen(name) + 1)
            names.emplace_back(name);
        auto expected = [&](const std::string& value, bool ignoreCase) {
            for (size_t i = 0; i < names.size(); ++i) {
                if (ignoreCase ? fold(names[i]) == fold(value) : names[i] == value)
                    return static_cast<int>(i);
            }
            return -7;
        };
        std::vector<std::string> values = {"", "x", std::string(70, 'a'), "\xC9t\xE9"};
        for (const std::string& name : names) {
            values.push_back(name);
            std::string mixed = name;
            for (char& c : mixed) {
                if (rng() % 2) c = static_cast<char>(qsm::ToUpper1252(static_cast<BYTE>(c)));
            }
            values.push_back(mixed);
            values.push_back(name + "s");
            if (!name.empty()) values.push_back(name.substr(0, name.size() - 1));
            values.push_back(name + std::string(64, 'z'));
        }
        for (const std::string& value : values) {
            for (bool ignoreCase : {true, false}) {
                ASSERT_EQ(TQSMFileTextImporter::FindName(list, value.c_str(), -7, ignoreCase),
                          expected(value, ignoreCase))
                    << "list " << list << " value '" << value << "'";
            }
        }
    }
    EXPECT_EQ(TQSMFileTextImporter::FindName(14, nullptr, -3), -3);
    EXPECT_EQ(TQSMFileTextImporter::FindName(VOCABULARY_LIST_COUNT, "4th", -3), -3);
}

// ---- Beam groups

// A random staff of beamed notes, chords with split stems and durations, rest chords, grace notes and bar
// lines; its beam marks are then scrambled so that broken groups occur too.
std::unique_ptr<TMusicScore> RandomBeamedStaff(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* beams[] = {"", "Beam=First,", "Beam,", "Beam=End,"};
    std::string text = "!QuillStaveComposer(2.51)\n|AddStaff|Name:Beams\n|Clef|Type:Treble\n";
    for (int i = 0; i < 300; ++i) {
        const std::string pos = std::to_string(pick(13) - 6);
        const std::string opts = std::string("|Opts:") + beams[pick(4)] + (pick(3) == 0 ? "Stem=Up" : "");
        switch (pick(8)) {
            case 0:
                text += pick(3) == 0 ? "|Bar\n" : "|TimeSig|Signature:3/4\n";
                break;
            case 1:
                text += "|Chord|Dur:8th|Pos:" + pos + ",3" + opts + "|Dur2:" + (pick(2) ? "4th" : "8th") +
                        "|Pos2:-5\n";
                break;
            case 2:
                text += "|RestChord|Dur:8th|Dur2:4th|Pos2:" + pos + opts + "\n";
                break;
            default:
                text += std::string("|Note|Dur:") + (pick(2) ? "8th" : "16th") +
                        (pick(5) == 0 ? ",Grace" : "") + "|Pos:" + pos + opts + "\n";
        }
    }
    auto score = ImportText(text + "!QuillStaveComposer-End\n");
    TMusicStaff* staff = score->GetStaff(0);
    for (int i = 0; i < staff->GetItemCount(); ++i) {
        TNotatedItem* item = staff->GetItem(i);
        if (item->IsSongNote() && pick(4) == 0) static_cast<TSongNote*>(item)->SetBeamState(pick(4));
    }
    return score;
}

TEST(TextImportBeams, SplitStemDirectionsOfARangeAreThoseOfEachNote) {
    std::mt19937 rng(26);
    for (int round = 0; round < 25; ++round) {
        auto score = RandomBeamedStaff(rng);
        ASSERT_NE(score, nullptr);
        TMusicStaff* staff = score->GetStaff(0);
        const int count = staff->GetItemCount();
        int imposed = 0;
        for (int r = 0; r < 12; ++r) {
            int a = r == 0 ? 0 : static_cast<int>(rng() % static_cast<unsigned>(count));
            int b = r == 0 ? count - 1 : static_cast<int>(rng() % static_cast<unsigned>(count));
            if (a > b) std::swap(a, b);
            std::vector<std::pair<int, int>> one, all;
            for (int i = a; i <= b; ++i) {
                if (!staff->GetItem(i)->IsSongNote()) continue;
                one.emplace_back(i, TSimpleNtnIdx(staff, i).GetSplitStemDirection());
                imposed += one.back().second != 0;
            }
            TSimpleNtnIdx::ForEachSplitStemDirection(staff, a, b,
                                                     [&](int i, int d) { all.emplace_back(i, d); });
            ASSERT_EQ(all, one) << "round " << round << ", items " << a << " to " << b;
        }
        EXPECT_GT(imposed, 0) << "round " << round;
    }
}

TEST(TextImportBeams, OneLongBeamGroupStaysOneGroup) {
    std::string text = "!QuillStaveComposer(2.51)\n|AddStaff|Name:Beam\n|Clef|Type:Treble\n";
    const int kNotes = 3000;
    for (int i = 0; i < kNotes; ++i) {
        const char* beam = i == 0 ? "Beam=First" : i == kNotes - 1 ? "Beam=End" : "Beam";
        text += "|Note|Dur:8th|Pos:" + std::to_string(i % 9 - 4) + "|Opts:" + beam + "\n";
    }
    auto score = ImportText(text + "!QuillStaveComposer-End\n");
    ASSERT_NE(score, nullptr);
    const TMusicStaff* staff = score->GetStaff(0);
    int first = 0, middle = 0, end = 0, up = 0;
    for (int i = 0; i < staff->GetItemCount(); ++i) {
        const TNotatedItem* item = staff->GetItem(i);
        if (item->GetType() != ntNote) continue;
        const auto* n = static_cast<const TSongNote*>(item);
        first += n->GetBeamState() == gsFirst;
        middle += n->GetBeamState() == gsMiddle;
        end += n->GetBeamState() == gsEnd;
        up += n->GetStemDirSign() > 0;
    }
    EXPECT_EQ(first, 1);
    EXPECT_EQ(middle, kNotes - 2);
    EXPECT_EQ(end, 1);
    EXPECT_TRUE(up == 0 || up == kNotes) << up;  // one stem direction for the whole group
}

TEST(TextImportTimeSignature, NumbersBeyondTheRangeAreBounded) {
    auto score = ImportText(
        "!QuillStaveComposer(2.51)\n|TimeSig|Signature:-2147483648/4\n|TimeSig|Signature:-3/8\n"
        "|TimeSig|Signature:2147483647/-2147483648\n!QuillStaveComposer-End\n");
    ASSERT_NE(score, nullptr);
    const TMusicStaff* staff = score->GetStaff(0);
    std::vector<int> beats;
    for (int i = 0; i < staff->GetItemCount(); ++i) {
        if (staff->GetItem(i)->GetType() == ntTimeSignature)
            beats.push_back(static_cast<const TTimeSignatureData*>(staff->GetItem(i))->GetBeats());
    }
    EXPECT_EQ(beats, (std::vector<int>{128, 3, 128}));
    TTimeSignatureData odd(INT_MIN, INT_MIN, tsStandard);
    EXPECT_EQ(odd.GetBeats(), 128);
    EXPECT_EQ(odd.GetBeatValueExponent(), 5);
}

}  // namespace
