// Whole score files: files of every version made by the independent generator are read with the values the
// format fixes; crafted files give every load status; hostile values are mended; what the writer stores
// reads back and writes again to the same bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/ram_stream.h"
#include "core/zlib_stream.h"
#include "platform/kernel/text.h"
#include "score/base/fonts_data.h"
#include "score/expression_items.h"
#include "score/file/score_file.h"
#include "score/file/tests/file_gen.h"
#include "score/file/tests/saved_bytes.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

namespace gen = qsm::gen;

struct Loaded {
    std::unique_ptr<TMusicScore> score;
    TScoreFileHeader hdr;
    TMusicStaff* Staff(int i) const { return score->GetStaff(i); }
};

Loaded Load(const std::vector<uint8_t>& bytes) {
    Loaded l;
    TQSRFlatRamStream raw(const_cast<uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                          static_cast<DWORD>(bytes.size()));
    l.score.reset(qsm::LoadScoreFromStream(raw, l.hdr, nullptr));
    return l;
}

Loaded Load(const gen::File& f) {
    return Load(f.Encode().data);
}

int Status(const gen::File& f) {
    return Load(f).hdr.Status;
}

gen::File WithVersion(int V) {
    gen::File f;
    f.version = V;
    return f;
}

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string("qsm-") + std::to_string(getpid()) + "-" + name))
        .string();
}

TEST(ScoreFileHeader, EveryLoadStatus) {
    gen::File f;
    EXPECT_EQ(Status(f), StatusOk);
    EXPECT_EQ(Status(WithVersion(25)), StatusOk);
    EXPECT_EQ(Status(WithVersion(24)), StatusOldFormat);
    EXPECT_EQ(Status(WithVersion(33)), StatusNewerFormat);
    f.header.marker = 1;
    EXPECT_EQ(Status(f), StatusBadMarker);
    f.header.marker = -1;
    EXPECT_EQ(Status(f), StatusOk);
    f.header.product = "[X]";
    EXPECT_EQ(Status(f), StatusWrongProduct);
    f.header.product = "[]";
    EXPECT_EQ(Status(f), StatusNotScoreFile);
    f.header.product = "[QuillStave]";
    EXPECT_EQ(Status(f), StatusOk);
    f.header.signature = "[QuillStave Inkwork]";
    EXPECT_EQ(Status(f), StatusNotScoreFile);

    // A file cut inside the staves keeps what was read.
    gen::File cut = gen::SampleFile(32);
    cut.staves.resize(1);
    std::vector<uint8_t> bytes = cut.Encode().data;
    bytes.resize(bytes.size() - 20);
    Loaded l = Load(bytes);
    EXPECT_EQ(l.hdr.Status, StatusDamaged);
    ASSERT_TRUE(l.score);
    EXPECT_EQ(l.score->GetStaffCount(), 1);
    EXPECT_GT(l.Staff(0)->GetItemCount(), 2);
    // So does a file cut in the last word of the last item.
    bytes = cut.Encode().data;
    bytes.pop_back();
    EXPECT_EQ(Load(bytes).hdr.Status, StatusDamaged);
    // A header cut short is no score file.
    bytes = cut.Encode().data;
    bytes.resize(60);
    EXPECT_EQ(Load(bytes).hdr.Status, StatusNotScoreFile);
    EXPECT_FALSE(Load(bytes).score);

    // Fewer than two bytes: an empty score (only a raw memory stream knows its size).
    uint8_t one = 0;
    TQSRFlatRamStream raw(&one, 1, 1);
    TScoreFileHeader hdr;
    std::unique_ptr<TMusicScore> empty(ReadScore(raw, hdr, nullptr));
    EXPECT_EQ(hdr.Status, StatusEmpty);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->GetStaffCount(), 1);

    // A compressed file whose body is whole but whose zlib stream is not (its check value or its last
    // block damaged) is damaged too, and keeps what was read.
    const std::vector<uint8_t> body = gen::SampleFile(32).Encode().data;
    std::vector<uint8_t> packed;
    {
        TQSRSegRamStream sink(1024);
        TQSRZLibOutStream z(1, &sink, false);
        z.WriteBlock(body.data(), static_cast<DWORD>(body.size()));
        z.Finish();
        packed.resize(sink.GetSize());
        sink.Seek(0);
        sink.ReadBlock(packed.data(), static_cast<DWORD>(packed.size()));
    }
    Loaded whole = Load(packed);
    EXPECT_EQ(whole.hdr.Status, StatusOk);
    ASSERT_TRUE(whole.score);
    EXPECT_TRUE(whole.score->GetCompressed());
    for (size_t back : {1u, 4u, 5u, 7u}) {
        std::vector<uint8_t> damaged = packed;
        damaged[damaged.size() - back] ^= 0x01;  // a low bit: even the last deflate byte uses it
        Loaded l = Load(damaged);
        EXPECT_EQ(l.hdr.Status, StatusDamaged) << back;
        ASSERT_TRUE(l.score) << back;
        EXPECT_GE(l.score->GetStaffCount(), 1);
    }
    std::vector<uint8_t> short4(packed.begin(), packed.end() - 4);
    EXPECT_EQ(Load(short4).hdr.Status, StatusDamaged);

    TScoreFileHeader missing;
    EXPECT_EQ(LoadScoreFile("/nonexistent/file.qsm", missing, nullptr), nullptr);
    EXPECT_EQ(missing.Status, StatusNotScoreFile);
}

TEST(ScoreFileHeader, SignaturesProductsAndFields) {
    gen::File f;
    f.header.signature = "[quillstave software]";
    EXPECT_EQ(Status(f), StatusOk);
    f.header.signature = "[QUILLSTAVE SOFTWARE]";
    EXPECT_EQ(Status(f), StatusOk);
    f.header.product = "[" + std::string(29, 'x') + "]";  // 31 characters
    EXPECT_EQ(Status(f), StatusNotScoreFile);
    f.header.product = "[" + std::string(28, 'x') + "]";  // 30 characters pass the bracket test
    EXPECT_EQ(Status(f), StatusWrongProduct);

    gen::File old = WithVersion(24);
    old.header.codePage = 437;
    old.header.reservedText = "kept";
    old.header.reserved = 77;
    Loaded l = Load(old);
    EXPECT_EQ(l.hdr.CodePage, GetACP());
    EXPECT_STREQ(l.hdr.ReservedText, "kept");
    EXPECT_EQ(l.hdr.ReservedWord, 77);
    EXPECT_EQ(l.hdr.ProductMajor, 517);
    EXPECT_TRUE(l.score->GetFromOldFormat());
    EXPECT_EQ(l.score->Date, old.header.date);
    gen::File current;
    current.header.codePage = 437;
    l = Load(current);
    EXPECT_EQ(l.hdr.CodePage, 437u);
    EXPECT_STREQ(l.hdr.Product, "QuillStave Composer");
    EXPECT_FALSE(l.score->GetFromOldFormat());
}

TEST(ScoreFileBody, SongInformationAndPageSettings) {
    gen::File f;
    f.info.title = "Title";
    f.info.lyricist = "Lyricist";
    f.info.comments = std::string(2000, 'c');  // kept to 1023 characters
    f.info.letters = "NY";
    f.info.barNumbers = 2;
    f.info.startingBar = 5;
    f.info.margins = "1.25 0.75";
    f.info.mirror = 1;
    f.info.zoom = 12;
    f.info.titlePage = 0;
    f.info.staffLabels = 3;
    f.info.pageNumbers = 4;
    f.info.justify = 0;
    f.info.sepMark = 0xFF;
    f.activeStaff = 0;
    f.caretIndex = 3;
    f.selectIndex = 5;
    f.caretPos = -2;
    Loaded l = Load(f);
    TMusicScore& s = *l.score;
    EXPECT_STREQ(s.SongInfo.Title, "Title");
    EXPECT_STREQ(s.SongInfo.Lyricist, "Lyricist");
    EXPECT_EQ(std::strlen(s.SongInfo.Comments), 1023u);
    EXPECT_FALSE(s.GetExtendLastSystem());
    EXPECT_TRUE(s.GetDurationPadding());
    EXPECT_EQ(s.BarNumbers, 2);
    EXPECT_EQ(s.StartingBar, 5);
    EXPECT_FLOAT_EQ(s.Margins.Top, 1.25f);
    EXPECT_FLOAT_EQ(s.Margins.Left, 0.75f);
    EXPECT_FLOAT_EQ(s.Margins.Right, 0.5f);
    EXPECT_EQ(s.Margins.Mirror, 1);
    EXPECT_EQ(s.Zoom, 12);
    EXPECT_FALSE(s.GetTitlePage());
    EXPECT_EQ(s.StaffLabels, 3);
    EXPECT_EQ(s.PageNumbers, 4);
    EXPECT_FALSE(s.GetJustifyVertically());
    EXPECT_TRUE(s.GetPrintSystemSepMark());
    EXPECT_EQ(s.Selection.CaretIndex, 3);
    EXPECT_EQ(s.Selection.SelectIndex, 5);
    EXPECT_EQ(s.Selection.CaretPos, -2);

    // The layout letters count from version 6; an empty text leaves both flags set.
    gen::File v5 = WithVersion(5);
    v5.info.letters = "NN";
    l = Load(v5);
    EXPECT_TRUE(l.score->GetExtendLastSystem() && l.score->GetDurationPadding());
    f.info.letters = "";
    l = Load(f);
    EXPECT_TRUE(l.score->GetExtendLastSystem() && l.score->GetDurationPadding());
    // Zoom above 5 lost one before version 15.
    auto zoom = [](int V, int z) {
        gen::File g = WithVersion(V);
        g.info.zoom = z;
        return Load(g).score->Zoom;
    };
    EXPECT_EQ(zoom(14, 8), 7);
    EXPECT_EQ(zoom(14, 5), 5);
    EXPECT_EQ(zoom(15, 8), 8);
    // No selection before version 26; no lyricist before 17.
    gen::File v25 = WithVersion(25);
    v25.caretIndex = 9;
    EXPECT_EQ(Load(v25).score->Selection.CaretIndex, -1);
    gen::File v16 = WithVersion(16);
    v16.info.lyricist = "unused";
    EXPECT_STREQ(Load(v16).score->SongInfo.Lyricist, "");
    // Margins that are no length are not taken.
    f.info.margins = "nan -1 1e30 2";
    l = Load(f);
    EXPECT_FLOAT_EQ(l.score->Margins.Top, 0.5f);
    EXPECT_FLOAT_EQ(l.score->Margins.Left, 0.5f);
    EXPECT_FLOAT_EQ(l.score->Margins.Right, 0.5f);
    EXPECT_FLOAT_EQ(l.score->Margins.Bottom, 2.0f);
}

TEST(ScoreFileBody, Fonts) {
    auto faceOf = [](int V, const char* face, int* charset = nullptr) {
        gen::File f = WithVersion(V);
        f.info.fonts = std::vector<gen::FontRec>(12);
        f.info.fonts[0].face = face;
        Loaded l = Load(f);
        const TQSFontSpec& spec = l.score->GetFontData()->Fonts[0];
        if (charset) *charset = spec.GetCharSet();
        return std::string(spec.GetFaceName());
    };
    int charset = 0;
    EXPECT_EQ(faceOf(16, "qsmv15", &charset), "QSM2STDA");
    EXPECT_EQ(charset, 2);
    EXPECT_EQ(faceOf(18, "QSM2STD", &charset), "QSM2STDA");
    EXPECT_EQ(charset, 2);
    EXPECT_EQ(faceOf(19, "QSM2STD"), "QSM2STD");
    EXPECT_EQ(faceOf(16, "QSM2STD"), "QSM2STD");

    // Version 14 has ten records: the last two keep their defaults.
    gen::File v14 = WithVersion(14);
    v14.info.fonts = std::vector<gen::FontRec>(12, gen::FontRec{.face = "Arial", .style = 1, .size = 20});
    Loaded l = Load(v14);
    EXPECT_STREQ(l.score->GetFontData()->Fonts[9].GetFaceName(), "Arial");
    EXPECT_STREQ(l.score->GetFontData()->Fonts[10].GetFaceName(), "Times New Roman");
    EXPECT_EQ(l.score->GetFontData()->Fonts[9].GetPointSize(), 20);

    // The music face from version 24; a staff size of 0 takes the default.
    gen::File f;
    f.info.face = "MyFace";
    f.info.staffSize = 0;
    l = Load(f);
    EXPECT_STREQ(l.score->GetFontData()->MusicFontFace, "MyFace");
    EXPECT_EQ(l.score->GetFontData()->StaffSize, 16);
    f.info.staffSize = 24;
    EXPECT_EQ(Load(f).score->GetFontData()->StaffSize, 24);
    // The default face is written empty.
    gen::File plain;
    Loaded p = Load(plain);
    std::strcpy(p.score->GetFontData()->MusicFontFace, "QSM2STDA");
    std::vector<uint8_t> bytes = SavedBytes(*p.score);
    Loaded back = Load(bytes);
    EXPECT_STREQ(back.score->GetFontData()->MusicFontFace, "");
}

TEST(ScoreFileBody, StaffVisibility) {
    gen::File f = gen::SampleFile(32);
    f.staves[1].group = "Other";
    f.info.visible = {2};
    Loaded l = Load(f);
    EXPECT_FALSE(l.score->IsStaffVisible(0));
    EXPECT_TRUE(l.score->IsStaffVisible(1));
    // No bit set, or a version without the bytes: the staves of staff 0's group are shown.
    f.info.visible = {0};
    l = Load(f);
    EXPECT_TRUE(l.score->IsStaffVisible(0));
    EXPECT_FALSE(l.score->IsStaffVisible(1));
    gen::File v7 = gen::SampleFile(7);
    v7.staves[1].group = "Standard";
    l = Load(v7);
    EXPECT_TRUE(l.score->IsStaffVisible(0));
    EXPECT_TRUE(l.score->IsStaffVisible(1));
}

TEST(ScoreFileStaves, StaffRecords) {
    gen::File f;
    gen::Staff& s = f.staves[0];
    s.name = "Violin";
    s.label = "Violin I";
    s.labelAbbr = "Vl.";
    s.instName = "Strings";
    s.group = "Orchestra";
    s.endingBar = 1;
    s.channel = 3;
    s.device = 2;
    s.bankFlag = 1;
    s.bank = 129;
    s.patch = 41;
    s.dynVel = {1, 2, 3, 4, 5, 6, 7, 8};
    s.connection = 5;
    s.top = -120;
    s.bottom = 2;
    s.layer = 3;
    s.trans = -12;
    s.volume = 100;
    s.pan = 20;
    s.color = 3;
    Loaded l = Load(f);
    TMusicStaff& st = *l.Staff(0);
    EXPECT_STREQ(st.GetName(), "Violin");
    EXPECT_STREQ(st.GetLabelText(), "Violin I");
    EXPECT_STREQ(st.GetLabelAbbr(), "Vl.");
    EXPECT_STREQ(st.Instrument.Name, "Strings");
    EXPECT_STREQ(st.GetGroup(), "Orchestra");
    EXPECT_EQ(st.Channel, 3);
    EXPECT_EQ(st.Device, 2);
    EXPECT_EQ(st.Instrument.Bank, 129);
    EXPECT_EQ(st.Instrument.PatchByte, 41);
    EXPECT_EQ(st.Instrument.DynVel[7], 8);
    EXPECT_EQ(st.Instrument.Trans, -12);
    EXPECT_EQ(st.StaffFlags & 0x1F, STAFF_BRACKET | STAFF_CONNECT_BARS | STAFF_LAYER | STAFF_MULTIPART_DOTS);
    EXPECT_TRUE(l.score->GetAnyMultiPartDotPlacement());
    EXPECT_EQ(st.GetBoundaryTop(), -100);
    EXPECT_EQ(st.GetBoundaryBottom(), 5);
    EXPECT_EQ(st.Volume, 100);
    EXPECT_EQ(st.StereoPan, 20);
    EXPECT_EQ(st.GetColor(), 3);
    // The closing bar line takes the ending bar style (1: Master Repeat Close).
    EXPECT_EQ(static_cast<TBarLineData*>(st.GetLastItem())->GetStyle(), bsMasterRepeatClose);

    s.lines = 0;
    s.top = 3;
    s.bottom = -3;
    s.color = 9;
    l = Load(f);
    EXPECT_EQ(l.Staff(0)->GetLineCount(), 0);
    EXPECT_LE(l.Staff(0)->GetBoundaryTop(), 0);
    EXPECT_GE(l.Staff(0)->GetBoundaryBottom(), 0);
    EXPECT_EQ(l.Staff(0)->GetColor(), 0);
    s.lines = 40;
    EXPECT_EQ(Load(f).Staff(0)->GetLineCount(), 5);

    // Before version 19 the label is a copy of the name.
    gen::File v18 = WithVersion(18);
    v18.staves[0].name = "Flute";
    EXPECT_STREQ(Load(v18).Staff(0)->GetLabelText(), "Flute");
}

TEST(ScoreFileStaves, ItemCounts) {
    // Count 2: no records.
    gen::File f;
    Loaded l = Load(f);
    EXPECT_EQ(l.Staff(0)->GetItemCount(), 2);
    // Version 8 stores the boundary bar lines, which the staff replaces by its own.
    gen::File v8 = WithVersion(8);
    v8.staves[0].items = {gen::Clef{.type = 1}.Encode(8), gen::Note{.pos = 3}.Encode(8)};
    l = Load(v8);
    ASSERT_EQ(l.Staff(0)->GetItemCount(), 4);
    EXPECT_EQ(l.Staff(0)->GetItem(1)->GetType(), ntClef);
    EXPECT_EQ(l.Staff(0)->GetItem(2)->GetType(), ntNote);
    EXPECT_EQ(l.hdr.Status, StatusOldFormat);

    // Records beyond the 32002 a staff holds are read and dropped, and the next staff is found; the items
    // lost make the file a damaged one. A staff filled exactly loads whole.
    gen::File big;
    big.staves[0].items.assign(32003, gen::Bar{}.Encode(32));
    gen::Staff second;
    second.name = "Second";
    big.staves.push_back(second);
    l = Load(big);
    EXPECT_EQ(l.hdr.Status, StatusDamaged);
    EXPECT_EQ(l.Staff(0)->GetItemCount(), 32002);
    ASSERT_EQ(l.score->GetStaffCount(), 2);
    EXPECT_STREQ(l.Staff(1)->GetName(), "Second");
    big.staves[0].items.resize(32000);
    l = Load(big);
    EXPECT_EQ(l.hdr.Status, StatusOk);
    EXPECT_EQ(l.Staff(0)->GetItemCount(), 32002);

    // An unknown item code ends the staff and the file.
    gen::File bad = gen::SampleFile(32);
    bad.staves[0].items.insert(bad.staves[0].items.begin() + 2, gen::RawItem(23, gen::Bytes{}));
    l = Load(bad);
    EXPECT_EQ(l.hdr.Status, StatusDamaged);
    EXPECT_EQ(l.score->GetStaffCount(), 1);
    EXPECT_EQ(l.Staff(0)->GetItemCount(), 4);
}

TEST(ScoreFileStaves, MoreStavesThanAScoreHolds) {
    gen::File f;
    f.staves.assign(300, gen::Staff{});
    Loaded l = Load(f);
    EXPECT_EQ(l.hdr.Status, StatusDamaged);
    EXPECT_EQ(l.score->GetStaffCount(), 255);
    gen::File none;
    none.staves.clear();
    l = Load(none);
    EXPECT_EQ(l.hdr.Status, StatusOk);
    EXPECT_EQ(l.score->GetStaffCount(), 1);
}

TEST(ScoreFileStaves, Lyrics) {
    gen::File f;
    f.staves[0].lyrics =
        gen::Lyrics{.options = 1 | 2 | 8,
                    .offset = -3,
                    .lines = {gen::MakeLyricLine({{1, "Hap"}, {'-', "py"}}), gen::LyricLine{}}};
    Loaded l = Load(f);
    TStaffLyrics* lyrics = l.Staff(0)->GetLyrics();
    ASSERT_TRUE(lyrics);
    EXPECT_EQ(lyrics->GetCount(), 2);
    EXPECT_EQ(lyrics->Placement, 1);
    EXPECT_EQ(lyrics->Align, 1);
    EXPECT_EQ(lyrics->UnderscoreAsSpace, 0);
    EXPECT_EQ(lyrics->Offset, -3);
    TLyric cursor;
    cursor.SetLine(*lyrics->GetLine(0), 1);
    EXPECT_STREQ(cursor.GetText(), "py");
    EXPECT_EQ(lyrics->GetLine(1)->GetCapacity(), 0);

    // Version 15 wrote an unset options word as all ones.
    gen::File v15 = WithVersion(15);
    v15.staves[0].lyrics = gen::Lyrics{.options = 0xFFFF};
    Loaded l15 = Load(v15);
    lyrics = l15.Staff(0)->GetLyrics();
    ASSERT_TRUE(lyrics);
    EXPECT_EQ(lyrics->Placement, 0);
    EXPECT_EQ(lyrics->Align, 0);
    gen::File v16 = WithVersion(16);
    v16.staves[0].lyrics = gen::Lyrics{.options = 0xFFFF};
    Loaded l16 = Load(v16);
    lyrics = l16.Staff(0)->GetLyrics();
    EXPECT_EQ(lyrics->Placement, 1);
    EXPECT_EQ(lyrics->Align, 1);
    EXPECT_EQ(lyrics->UnderscoreAsSpace, 1);

    // More than eight lines: damaged, the staff has no lyrics.
    f.staves[0].lyrics = gen::Lyrics{.count = 9};
    l = Load(f);
    EXPECT_EQ(l.hdr.Status, StatusDamaged);
    EXPECT_EQ(l.Staff(0)->GetLyrics(), nullptr);

    // Hostile line sizes: a used length beyond the size, bytes without an end, a size read as unsigned.
    gen::LyricLine wild{.size = 6, .used = 3000, .bytes = {7, 65, 66, 67, 68, 69}};
    f.staves[0].lyrics = gen::Lyrics{.lines = {wild}};
    l = Load(f);
    ASSERT_EQ(l.hdr.Status, StatusOk);
    lyrics = l.Staff(0)->GetLyrics();
    EXPECT_LE(lyrics->GetLine(0)->GetUsed(), 6);
    cursor.SetLine(*lyrics->GetLine(0), 0);
    for (int i = 0; i < 10 && cursor.IsValid(); ++i)
        cursor.Next();
    EXPECT_FALSE(cursor.IsValid());
    cursor.Prev();
    cursor.Prev();
    gen::LyricLine huge{.size = 40000, .used = 5};
    f.staves[0].lyrics = gen::Lyrics{.lines = {huge}};
    l = Load(f);
    EXPECT_EQ(l.hdr.Status, StatusOk);
    EXPECT_EQ(l.Staff(0)->GetLyrics()->GetLine(0)->GetCapacity(), 40002);
}

TEST(ScoreFileStaves, LyricLinesAsWritten) {
    TMusicScore score;
    auto* staff = new TMusicStaff();
    auto* lyrics = new TStaffLyrics();
    auto* line = new TLyricText();
    char word[] = "abcdefg";
    line->AppendSyllable(1, word, false);  // used 1 + 9 = 10 in a 1024-byte buffer
    lyrics->Add(line);
    staff->SetLyrics(lyrics);
    score.AddStaff(staff);
    Loaded back = Load(SavedBytes(score));
    EXPECT_EQ(back.Staff(0)->GetLyrics()->GetLine(0)->GetCapacity(), 12 + 2);
    EXPECT_EQ(back.Staff(0)->GetLyrics()->GetLine(0)->GetUsed(), 10);
}

TEST(ScoreFileStaves, OldVersionConversions) {
    // Before version 19 patch items take the staff's transposition.
    gen::File v18 = WithVersion(18);
    v18.staves[0].trans = 0xF4;
    v18.staves[0].items = {gen::Patch{.patch = 3}.Encode(18)};
    Loaded l = Load(v18);
    EXPECT_EQ(static_cast<TPatchData*>(l.Staff(0)->GetItem(1))->GetInstrument().Trans, -12);

    // Before version 22 a slurred main note loses its slur when an unslurred grace note follows, and the
    // note after a slurred grace note takes no lyric.
    const int kGrace = 1 << 13;
    const int kSlur = 1 << 8;
    gen::File v21 = WithVersion(21);
    v21.staves[0].items = {gen::Note{.song = {.attrs = kSlur}}.Encode(21),
                           gen::Note{.song = {.attrs = kGrace}}.Encode(21),
                           gen::Note{.song = {.attrs = kGrace | kSlur}}.Encode(21), gen::Note{}.Encode(21)};
    l = Load(v21);
    auto note = [&](int i) { return static_cast<TMusicNote*>(l.Staff(0)->GetItem(i)); };
    EXPECT_FALSE(note(1)->HasAttribute(naSlur));
    EXPECT_EQ(note(4)->GetLyricMode(), lmNever);
    EXPECT_EQ(note(2)->GetLyricMode(), lmDefault);
    gen::File v22 = v21;
    v22.version = 22;
    l = Load(v22);
    EXPECT_TRUE(note(1)->HasAttribute(naSlur));
    EXPECT_EQ(note(4)->GetLyricMode(), lmDefault);
}

TEST(ScoreFileStaves, StaffGroupsFromOldStyles) {
    gen::File f = WithVersion(27);
    f.staves.assign(3, gen::Staff{});
    f.staves[0].connection = 1;  // Upper Grand Staff
    f.staves[1].connection = 2;  // Lower Grand Staff
    f.info.visible = {7};
    Loaded l = Load(f);
    EXPECT_EQ(l.Staff(0)->StaffFlags & 7, STAFF_BRACE | STAFF_CONNECT_BARS);
    EXPECT_EQ(l.Staff(1)->StaffFlags & 7, 0);
    EXPECT_EQ(l.Staff(2)->StaffFlags & 7, 0);
    // Orchestral staves of one group are bracketed and connected, the last visible one excepted.
    f.staves[0].connection = 3;
    f.staves[1].connection = 3;
    f.staves[2].connection = 3;
    l = Load(f);
    EXPECT_EQ(l.Staff(0)->StaffFlags & 7, STAFF_BRACKET | STAFF_CONNECT_BARS);
    EXPECT_EQ(l.Staff(1)->StaffFlags & 7, STAFF_BRACKET | STAFF_CONNECT_BARS);
    EXPECT_EQ(l.Staff(2)->StaffFlags & 7, 0);
    // From version 28 the word holds the flags themselves.
    f.version = 28;
    f.staves[0].connection = 2;
    l = Load(f);
    EXPECT_EQ(l.Staff(0)->StaffFlags & 7, STAFF_BRACE);
    EXPECT_EQ(l.Staff(0)->GetStyle(), 0);
}

TEST(ScoreFileRoundTrip, EveryVersionReadsAndWritesStably) {
    for (int V = 0; V <= 32; ++V) {
        SCOPED_TRACE(V);
        Loaded l = Load(gen::SampleFile(V));
        ASSERT_TRUE(l.score);
        EXPECT_EQ(l.hdr.Status, V > 24 ? StatusOk : StatusOldFormat);
        EXPECT_EQ(l.score->GetStaffCount(), 2);
        EXPECT_EQ(l.Staff(0)->GetItemCount(), static_cast<int>(gen::AllItems(V).size()) + 2);
        std::vector<uint8_t> first = SavedBytes(*l.score);
        Loaded again = Load(first);
        EXPECT_EQ(again.hdr.Status, StatusOk);
        again.score->Date = l.score->Date;
        EXPECT_EQ(SavedBytes(*again.score), first);
    }
}

TEST(ScoreFileRoundTrip, WriterMatchesTheGenerator) {
    // The writer's bytes for a small score equal the generator's independent encoding of it.
    gen::File f;
    f.header.codePage = GetACP();
    f.info.fonts = {{.style = 3, .size = 10},
                    {.style = 1, .size = 8},
                    {.style = 0, .size = 7},
                    {.style = 1, .size = 24},
                    {.style = 0, .size = 12},
                    {},
                    {},
                    {},
                    {},
                    {},
                    {},
                    {}};
    f.staves[0].items = {gen::Note{}.Encode(32), gen::Clef{.type = 1}.Encode(32)};
    f.staves[0].lyrics = gen::Lyrics{.lines = {gen::MakeLyricLine({{1, "la"}})}};
    std::vector<uint8_t> bytes = f.Encode().data;
    Loaded l = Load(bytes);
    ASSERT_EQ(l.hdr.Status, StatusOk);
    EXPECT_EQ(SavedBytes(*l.score), bytes);
}

TEST(ScoreFileRoundTrip, FilesOnDisk) {
    Loaded l = Load(gen::SampleFile(32));
    const std::string packed = TempPath("packed.qsm");
    const std::string plain = TempPath("plain.qsm");
    ASSERT_TRUE(SaveScoreFile(packed.c_str(), true, *l.score));
    ASSERT_TRUE(SaveScoreFile(plain.c_str(), false, *l.score));
    TScoreFileHeader hdr;
    std::unique_ptr<TMusicScore> a(LoadScoreFile(packed.c_str(), hdr, nullptr));
    ASSERT_TRUE(a);
    EXPECT_EQ(hdr.Status, StatusOk);
    EXPECT_TRUE(a->GetCompressed());
    std::unique_ptr<TMusicScore> b(LoadScoreFile(plain.c_str(), hdr, nullptr));
    ASSERT_TRUE(b);
    EXPECT_FALSE(b->GetCompressed());
    EXPECT_EQ(SavedBytes(*a), SavedBytes(*b));
    {
        std::ifstream in(packed, std::ios::binary);
        char head[6];
        in.read(head, 6);
        EXPECT_EQ(std::memcmp(head, "[QSZ]\0", 6), 0);
    }
    // A gzip'ed file loads as well.
    const std::string gz = TempPath("gz.qsm");
    {
        std::vector<uint8_t> bytes = gen::Gzip(gen::SampleFile(30).Encode().data);
        std::ofstream out(gz, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::unique_ptr<TMusicScore> c(LoadScoreFile(gz.c_str(), hdr, nullptr));
    EXPECT_TRUE(c);
    EXPECT_EQ(hdr.Status, StatusOk);

    TSongInfo info;
    EXPECT_TRUE(ReadScoreFileInfo(packed.c_str(), hdr, info));
    EXPECT_STREQ(info.Title, "Sample");
    EXPECT_FALSE(ReadScoreFileInfo("/nonexistent/x.qsm", hdr, info));
    EXPECT_STREQ(GuessScoreFileExtension(packed.c_str()), ".qsm");
    const std::string text = TempPath("text.qsm");
    {
        std::ofstream out(text);
        out << "!QuillStaveComposerClip(2.51,Single)\r\n";
    }
    EXPECT_STREQ(GuessScoreFileExtension(text.c_str()), ".qsmtxt");

    // A write that fails is reported, whether at opening or when the data reach the disk.
    EXPECT_FALSE(SaveScoreFile("/nonexistent/dir/x.qsm", true, *l.score));
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(SaveScoreFile("/dev/full", true, *l.score));
        EXPECT_FALSE(SaveScoreFile("/dev/full", false, *l.score));
    }
    for (const std::string& p : {packed, plain, gz, text})
        std::remove(p.c_str());
}

TEST(ScoreFileRoundTrip, CopiesThroughRecords) {
    Loaded l = Load(gen::SampleFile(32));
    TMusicScore to;
    CopyScoreInfo(*l.score, to);
    EXPECT_STREQ(to.SongInfo.Title, "Sample");
    TMusicStaff staff;
    CopyStaffHeader(*l.Staff(1), staff);
    EXPECT_STREQ(staff.GetName(), "Bass");
}

}  // namespace

namespace {

// The sample file of every version, read field by field: each value the generator stored where the version
// has the field, and the Part's default or conversion where it has not.
TEST(ScoreFileVersions, EachVersionReadsWhatItStores) {
    for (int V = 0; V <= 32; ++V) {
        SCOPED_TRACE(V);
        Loaded l = Load(gen::SampleFile(V));
        ASSERT_TRUE(l.score);
        const TMusicScore& s = *l.score;
        EXPECT_STREQ(s.SongInfo.Title, "Sample");
        EXPECT_STREQ(s.SongInfo.Author, "Generator");
        EXPECT_STREQ(s.SongInfo.Lyricist, V >= 17 ? "Words" : "");
        EXPECT_EQ(s.Zoom, V >= 15 ? 8 : (V >= 6 ? 7 : 8));
        EXPECT_TRUE(s.GetTitlePage());
        EXPECT_EQ(s.GetFontData()->StaffSize, 16);
        EXPECT_TRUE(s.IsStaffVisible(0));
        EXPECT_TRUE(s.IsStaffVisible(1));
        EXPECT_EQ(s.Selection.CaretIndex, -1);

        const TMusicStaff& st = *l.Staff(0);
        ASSERT_EQ(st.GetItemCount(), 26);
        EXPECT_STREQ(st.GetLabelText(), V >= 19 ? "" : "Staff");
        EXPECT_EQ(st.GetLineCount(), 5);
        if (V >= 4) {
            ASSERT_TRUE(st.GetLyrics());
            TLyric cursor;
            cursor.SetLine(*st.GetLyrics()->GetLine(0), 2);
            EXPECT_STREQ(cursor.GetText(), "day");
        } else {
            EXPECT_EQ(st.GetLyrics(), nullptr);
        }

        int i = 1;
        auto next = [&](int type) -> TNotatedItem* {
            TNotatedItem* item = st.GetItem(i++);
            EXPECT_EQ(item->GetType(), type) << "item " << i - 1;
            return item->GetType() == type ? item : nullptr;
        };
        auto* clef = static_cast<TClefData*>(next(ntClef));
        ASSERT_TRUE(clef);
        EXPECT_EQ(clef->GetClefType(), ctBass);
        EXPECT_EQ(clef->GetAutoSysOff(), 0);
        auto* key = static_cast<TKeyData*>(next(ntKey));
        ASSERT_TRUE(key);
        EXPECT_EQ(key->GetSharpMask(), 0x48);
        EXPECT_EQ(key->GetTonic(), V >= 26 ? 3 : FifthsToMajorTonic(KeySignatureToFifths(0x48, 0)));
        auto* time = static_cast<TTimeSignatureData*>(next(ntTimeSignature));
        ASSERT_TRUE(time);
        EXPECT_EQ(time->GetBeats(), 3);
        EXPECT_EQ(time->GetBeatValueExponent(), 2);
        auto* tempo = static_cast<TTempoData*>(next(ntTempo));
        ASSERT_TRUE(tempo);
        EXPECT_EQ(tempo->GetTempo(), 96);
        EXPECT_EQ(tempo->GetBase(), tbQuarter);
        EXPECT_STREQ(tempo->GetText(), V >= 11 ? "Allegro" : "");
        EXPECT_EQ(tempo->GetStaffPos(), -10);
        EXPECT_EQ(tempo->GetWide(), V < 4);
        EXPECT_EQ(tempo->GetPlacement(), V >= 11 ? 0 : epAsStaffSignature);
        EXPECT_EQ(tempo->GetVisibility(), 0);
        auto* patch = static_cast<TPatchData*>(next(ntPatch));
        ASSERT_TRUE(patch);
        EXPECT_EQ(patch->GetInstrument().PatchByte, 5);
        EXPECT_STREQ(patch->GetInstrument().Name, V >= 19 ? "Piano" : "[#005]");
        auto* dyn = static_cast<TDynamicLevelData*>(next(ntDynamic));
        ASSERT_TRUE(dyn);
        EXPECT_EQ(dyn->GetStyle(), 4);
        EXPECT_EQ(dyn->HasVelocity(), V >= 4);
        // Without a stored velocity the formatting takes the staff's velocity of the level.
        if (V >= 4) {
            EXPECT_EQ(dyn->GetVelocity(), 80);
        }
        EXPECT_EQ(dyn->HasVolume(), V >= 4);
        EXPECT_EQ(dyn->GetVolume(), V >= 4 ? 100 : 127);
        auto* ending = static_cast<TSpecialEnding*>(next(ntSpecialEnding));
        ASSERT_TRUE(ending);
        EXPECT_EQ(ending->GetEndings(), 3u);
        EXPECT_EQ(ending->GetBracketOffsetNP(), 1);
        EXPECT_EQ(ending->GetBracketHeight(), 4);
        auto* note = static_cast<TMusicNote*>(next(ntNote));
        ASSERT_TRUE(note);
        EXPECT_EQ(note->GetStaffPos(), 1);
        EXPECT_EQ(note->GetAccidental(), acSharp);
        EXPECT_TRUE(note->IsDotted());
        EXPECT_EQ(note->GetDur(), dcQuarter);
        auto* rest = static_cast<TRestNote*>(next(ntRest));
        ASSERT_TRUE(rest);
        EXPECT_EQ(rest->GetDur(), dcEighth);
        auto* chord = static_cast<TChordData*>(next(ntChord));
        ASSERT_TRUE(chord);
        ASSERT_EQ(chord->GetNoteCount(), 2);
        EXPECT_EQ(chord->GetNote(0)->GetStaffPos(), 2);
        EXPECT_EQ(chord->GetNote(1)->GetStaffPos(), -2);
        auto* bar = static_cast<TBarLineData*>(next(ntBarLine));
        ASSERT_TRUE(bar);
        EXPECT_EQ(bar->GetStyle(), bsSingle);
        auto* pedal = static_cast<TSustainPedal*>(next(ntSustainPedal));
        ASSERT_TRUE(pedal);
        EXPECT_TRUE(pedal->IsDown());
        EXPECT_TRUE(pedal->GetWide());
        auto* flow = static_cast<TFlowDirection*>(next(ntFlowDirection));
        ASSERT_TRUE(flow);
        EXPECT_EQ(flow->GetStyle(), 1);
        EXPECT_EQ(flow->GetStaffPos(), -8);
        auto* mpc = static_cast<TGenericControl*>(next(ntGenericControl));
        ASSERT_TRUE(mpc);
        EXPECT_EQ(mpc->GetController(), 1);
        EXPECT_EQ(mpc->GetStyle(), 1);
        EXPECT_TRUE(mpc->IsPointInUse(1));
        EXPECT_FALSE(mpc->IsPointInUse(2));
        EXPECT_EQ(mpc->GetPointTime(1), 4);
        EXPECT_EQ(mpc->GetPointValue(1), 127);
        auto* tv = static_cast<TTempoVariance*>(next(ntTempoVariance));
        ASSERT_TRUE(tv);
        EXPECT_EQ(tv->GetStyle(), V < 26 ? 3 : 2);
        EXPECT_EQ(tv->GetPause(), 2);
        auto* dv = static_cast<TDynamicVariance*>(next(ntDynamicVariance));
        ASSERT_TRUE(dv);
        EXPECT_EQ(dv->GetStyle(), 1);
        auto* perf = static_cast<TPerformanceStyle*>(next(ntPerformanceStyle));
        ASSERT_TRUE(perf);
        EXPECT_EQ(perf->GetStyle(), 3);
        auto* text = static_cast<TTextExpression*>(next(ntTextExpression));
        ASSERT_TRUE(text);
        EXPECT_STREQ(text->GetText(), "dolce");
        EXPECT_EQ(text->GetFont(), V < 26 ? 4 : 2);
        auto* rc = static_cast<TRestChord*>(next(ntRestChord));
        ASSERT_TRUE(rc);
        ASSERT_TRUE(rc->GetPart());
        EXPECT_EQ(rc->GetPart()->GetStaffPos(), -4);
        EXPECT_EQ(rc->GetPart()->HasArticulationsOnStem(), V <= 20);
        auto* name = static_cast<TChordName*>(next(ntChordName));
        ASSERT_TRUE(name);
        EXPECT_STREQ(name->GetText(), "Am7");
        auto* spacer = static_cast<TStaffSpacer*>(next(ntStaffSpacer));
        ASSERT_TRUE(spacer);
        EXPECT_EQ(spacer->GetWidth(), 150);
        bar = static_cast<TBarLineData*>(next(ntBarLine));
        ASSERT_TRUE(bar);
        EXPECT_EQ(bar->GetStyle(), 1);
        auto* multi = static_cast<TMultiMeasureRest*>(next(ntMultiMeasureRest));
        ASSERT_TRUE(multi);
        EXPECT_EQ(multi->GetNumBars(), 4);
        EXPECT_TRUE(multi->GetPrintOnce() && multi->GetShowBars() && multi->GetShowRests());
        auto* sizer = static_cast<TStaffSizer*>(next(ntStaffSizer));
        ASSERT_TRUE(sizer);
        if (V == 30) {
            EXPECT_TRUE(sizer->IsCollapse());
        } else {
            EXPECT_TRUE(sizer->IsNewSize());
            EXPECT_EQ(sizer->GetUpper(), 10);
            EXPECT_EQ(sizer->GetLower(), 6);
        }
        EXPECT_STREQ(l.Staff(1)->GetName(), "Bass");
        EXPECT_EQ(static_cast<TMusicNote*>(l.Staff(1)->GetItem(1))->GetStaffPos(), 4);
    }
}

}  // namespace
