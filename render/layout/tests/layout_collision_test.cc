// The collision check over every checked score at two page widths: no overlap of marks that notation keeps
// apart, and no mark past the printable width, other than the placements the layout makes on purpose
// (ink_allowed.cc, listed with their reasons in docs/notation/notes.md). Also the check itself on marks drawn
// by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "render/layout/layout_record.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"
#include "render/layout/system_run.h"
#include "render/layout/tests/ink_check.h"
#include "render/layout/tests/ink_run.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/file/text_score_source.h"
#include "score/glyph_codes.h"
#include "score/music_score.h"

namespace {

using qsm::ink::Kind;

// Two pages: a printed page of about 100 staff spaces and a narrow window of about 53.
constexpr int kStaffSpace = 12;
constexpr int kWidths[] = {1200, 640};

void Check(const std::string& file, qsm::ink::InkReader& reader, int maxSystems = 400) {
    auto score = qsm::ink::LoadScore(file);
    ASSERT_TRUE(score) << file;
    int shown = 0;
    for (int width : kWidths)
        for (const auto& f : qsm::ink::CheckScore(*score, file, width, kStaffSpace, reader, maxSystems))
            if (f.allowed.empty() && ++shown <= 10) ADD_FAILURE() << f.text;
    if (shown > 10) ADD_FAILURE() << file << ": " << shown << " findings in all";
}

bool IsFuzzSeed(const std::string& file) {
    return file.find("/fuzz/corpus/") != std::string::npos;
}

TEST(Collisions, TestScoresAndSamplesKeepTheirMarksApart) {
    qsm::ink::InkReader reader;
    for (const std::string& file : qsm::ink::CheckedFiles(""))
        if (!IsFuzzSeed(file)) Check(file, reader);
}

// The MIDI files kept in the repository for the importer's fuzzing: lyrics and karaoke text, chords, sixteen
// channels, bars longer than a whole note, a delta far into the song. The check runs on every machine over
// these, over their first pages (the delta far into the song brings thousands of bars of rests: ink_report
// checks the files whole); the corpus of real files is fetched for a test of its own.
TEST(Collisions, MidiFilesOfTheRepositoryKeepTheirMarksApart) {
    qsm::ink::InkReader reader;
    int midi = 0;
    for (const std::string& file : qsm::ink::CheckedFiles(""))
        if (IsFuzzSeed(file)) {
            ++midi;
            Check(file, reader, 24);
        }
    EXPECT_GE(midi, 8);
}

// Runs as a test of its own once the corpus has been fetched (render_collision_corpus names it in
// QSM_MIDI_CORPUS).
TEST(Collisions, MidiCorpusKeepsItsMarksApart) {
    const char* corpus = std::getenv("QSM_MIDI_CORPUS");
    if (!corpus || !*corpus) GTEST_SKIP() << "QSM_MIDI_CORPUS names no corpus folder";
    qsm::ink::InkReader reader;
    const auto files = qsm::ink::CheckedFiles(corpus);
    int midi = 0;
    for (const std::string& file : files)
        if (file.compare(0, std::string(corpus).size(), corpus) == 0) {
            ++midi;
            // The first pages of each file keep the test's time modest under the sanitizers; ink_report
            // checks the files whole.
            Check(file, reader, 12);
        }
    if (midi == 0) GTEST_SKIP() << "no MIDI files in " << corpus;
}

// The check on marks drawn by hand: a syllable over a head collides, the same syllable beside it does not, a
// head against a head of another item collides, and marks of one item never do.
TEST(Collisions, TheCheckSeesOverlapsOfInkOnly) {
    TColorPalette palette;
    TMusicFontsData data;
    TMusicFonts fonts(20, &data, &palette);
    HDC dc = qsm::gdi::CreateRecordingDC(96, 800, 400);
    fonts.AttachDC(dc, dc);
    fonts.OriginY = 200;
    const int w = fonts.GetGlyphWidth(glFilledHead);
    fonts.Tag("item", 0, 5, 14);
    fonts.DrawGlyphAtPos(glFilledHead, 100, 0);
    fonts.DrawGlyphAtPos(glFilledHead, 100, 1);  // a second in one chord: one item
    fonts.Tag("lyric", 0, 5, 0);
    fonts.DrawLyricText(100, 0, "Ah");  // over the head
    fonts.Tag("lyric", 0, 9, 0);
    fonts.DrawLyricText(100, 8, "la");  // well below it
    fonts.Tag("item", 0, 6, 14);
    fonts.DrawGlyphAtPos(glFilledHead, 100 + w / 2, 0);  // half a head to the right
    fonts.DrawGlyphAtPos(glFilledHead, 100 + 3 * w, 0);  // clear
    qsm::ink::InkReader reader;
    const auto inks = reader.Read(qsm::gdi::GetRecords(dc));
    const auto overlaps = qsm::ink::FindOverlaps(inks);

    int headText = 0, headHead = 0;
    for (const auto& o : overlaps) {
        if (std::string(o.rule) == "note/text") ++headText;
        if (std::string(o.rule) == "head/head") ++headHead;
        EXPECT_FALSE(o.a->item == o.b->item && o.a->tag == o.b->tag) << qsm::ink::Describe(*o.a);
        EXPECT_NE(o.a->what, "la");
        EXPECT_NE(o.b->what, "la");
    }
    EXPECT_GE(headText, 2);  // "Ah" over both heads of item 5, and over the head of item 6
    EXPECT_EQ(headHead, 2);  // item 6's first head against both heads of item 5
    const auto past = qsm::ink::PastRight(inks, 100 + 3 * w);
    ASSERT_EQ(past.size(), 1u);
    EXPECT_EQ(past[0]->kind, Kind::Head);
    fonts.DetachDC();
    DeleteDC(dc);
}

// Lays the score out in systems of the width at a staff space of 12, draws them one under another and hands
// each system with the marks it drew to `take`.
template <class Take>
void EachSystemsMarks(TMusicScore& score, int width, Take take) {
    TColorPalette palette;
    TMusicFontsData data;
    TMusicFonts fonts(12, &data, &palette);
    TScoreDrawInfo system(&score, &fonts, 5, 3);
    for (int i = 0; i < score.GetStaffCount(); ++i)
        system.AddStaff(i);
    HDC dc = qsm::gdi::CreateRecordingDC(96, 2000, 2000);
    fonts.AttachDC(dc, dc);
    qsm::ink::InkReader reader;
    int y = 40;
    qsm::LayoutSystems(system, width, 20, [&](TScoreDrawInfo& s, int) {
        qsm::gdi::ClearRecords(dc);
        TDrawExtent extent;
        extent.Init(width);
        s.DrawSystem(extent, 40, y, -1);
        y += s.GetSystemHeight() + 40;
        take(s, reader.Read(qsm::gdi::GetRecords(dc)));
        return true;
    });
    fonts.DetachDC();
    DeleteDC(dc);
}

// The marks of every system of the score laid out in systems of the width.
std::vector<qsm::ink::Ink> AllMarks(TMusicScore& score, int width) {
    std::vector<qsm::ink::Ink> out;
    EachSystemsMarks(score, width, [&](TScoreDrawInfo&, std::vector<qsm::ink::Ink> inks) {
        for (auto& ink : inks)
            out.push_back(std::move(ink));
    });
    return out;
}

// Imported files as engravers set them: ties between short notes arch over two staff spaces or so; a drum
// staff shows neither key signature nor accidentals before its cross heads.
TEST(Collisions, ImportedTiesArchAndDrumsShowNoAccidentals) {
    const std::string dir = std::string(QSM_TESTDATA_DIR) + "/notation/";
    auto ties = qsm::ink::LoadScore(dir + "short_ties.mid");
    ASSERT_TRUE(ties);
    // (Narrower, the bar no longer fits the page and gives up its room, down to what its marks draw.)
    for (int width : {1200, 700}) {
        int count = 0;
        for (const auto& ink : AllMarks(*ties, width))
            if (ink.kind == Kind::Tie) {
                ++count;
                EXPECT_GE(ink.bounds.right - ink.bounds.left, 18) << width << ": tie of item " << ink.item;
            }
        EXPECT_GE(count, 4);
    }
    auto drums = qsm::ink::LoadScore(dir + "drum_key.mid");
    ASSERT_TRUE(drums);
    ASSERT_GE(drums->GetStaffCount(), 2);
    int heads = 0;
    for (const auto& ink : AllMarks(*drums, 900)) {
        if (ink.staff != 1) continue;
        EXPECT_NE(ink.kind, Kind::Accidental) << qsm::ink::Describe(ink);
        heads += ink.kind == Kind::Head ? 1 : 0;
    }
    EXPECT_GE(heads, 16);
}

// A lyric staff of an imported file hides its bar lines; the hidden bar line that closes a system held the
// spacing room of its bar and carried every staff past the printable width.
TEST(Collisions, SystemsWithHiddenBarLinesKeepToThePrintableWidth) {
    const std::string file = std::string(QSM_TESTDATA_DIR) + "/notation/conductor_lyrics.mid";
    auto score = qsm::ink::LoadScore(file);
    ASSERT_TRUE(score);
    qsm::ink::InkReader reader;
    for (int width : {800, 900})
        for (const auto& f : qsm::ink::CheckScore(*score, file, width, kStaffSpace, reader))
            EXPECT_FALSE(f.allowed.empty() && f.kind.rfind("past", 0) == 0) << f.text;
}

// Lays the score out in systems of the width and gives, for each system, the texts its decorations draw (the
// bar number) and the number of bars it closes.
std::vector<std::pair<std::vector<std::string>, int>> DecorationTexts(TMusicScore& score, int width) {
    std::vector<std::pair<std::vector<std::string>, int>> out;
    EachSystemsMarks(score, width, [&](TScoreDrawInfo& s, const std::vector<qsm::ink::Ink>& inks) {
        std::vector<std::string> texts;
        for (const auto& ink : inks)
            if (ink.tag == "decor" && ink.kind == Kind::Text) texts.push_back(ink.what);
        int bars = 0;
        const TStaffDrawInfo& top = *s.GetStaffDrawInfo(0);
        for (int k = 0; k < top.GetRecordCount(); ++k)
            if (top.Record(k).GetKind() == lkBarLine && !top.Record(k).IsCopy() && top.Record(k).Count)
                ++bars;
        out.push_back({texts, bars});
    });
    return out;
}

// The boxed bar number over a system names the system's first bar: none over the first system (bar 1), then
// one more than the bars the systems before it closed.
TEST(Decorations, BarNumbersNameEachSystemsFirstBar) {
    std::string text = "!QuillStaveComposer(2.51)\n|Clef|Type:Treble\n|TimeSig|Signature:4/4\n";
    for (int bar = 0; bar < 12; ++bar)
        text += "|Note|Dur:4th|Pos:0\n|Note|Dur:4th|Pos:1\n|Note|Dur:4th|Pos:2\n|Note|Dur:4th|Pos:3\n|Bar\n";
    auto score = qsm::ImportTextScoreText(text);
    ASSERT_TRUE(score);
    score->BarNumbers = 3;
    const auto systems = DecorationTexts(*score, 500);
    ASSERT_GE(systems.size(), 3u);
    EXPECT_TRUE(systems[0].first.empty()) << systems[0].first.front();
    int before = 0;
    for (size_t i = 0; i < systems.size(); ++i) {
        if (i > 0) {
            ASSERT_EQ(systems[i].first.size(), 1u) << "system " << i + 1;
            EXPECT_EQ(systems[i].first[0], " " + std::to_string(before + 1) + " ") << "system " << i + 1;
        }
        before += systems[i].second;
    }
}

}  // namespace
