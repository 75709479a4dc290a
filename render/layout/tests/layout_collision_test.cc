// The collision check over every checked score at two page widths: no overlap of marks that notation keeps
// apart, and no mark past the printable width, other than the placements the layout makes on purpose
// (ink_allowed.cc, listed with their reasons in docs/notation/notes.md). Also the check itself on marks drawn
// by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "render/layout/tests/ink_check.h"
#include "render/layout/tests/ink_run.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/glyph_codes.h"
#include "score/music_score.h"

namespace {

using qsm::ink::Kind;

// Two pages: a printed page of about 100 staff spaces and a narrow window of about 53.
constexpr int kStaffSpace = 12;
constexpr int kWidths[] = {1200, 640};

void Check(const std::string& file, qsm::ink::InkReader& reader) {
    auto score = qsm::ink::LoadScore(file);
    ASSERT_TRUE(score) << file;
    int shown = 0;
    for (int width : kWidths)
        for (const auto& f : qsm::ink::CheckScore(*score, file, width, kStaffSpace, reader))
            if (f.allowed.empty() && ++shown <= 10) ADD_FAILURE() << f.text;
    if (shown > 10) ADD_FAILURE() << file << ": " << shown << " findings in all";
}

TEST(Collisions, TestScoresAndSamplesKeepTheirMarksApart) {
    qsm::ink::InkReader reader;
    for (const std::string& file : qsm::ink::CheckedFiles(""))
        Check(file, reader);
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
            Check(file, reader);
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

}  // namespace
