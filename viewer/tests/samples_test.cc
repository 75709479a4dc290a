// The sample songs built into the program: each one loads from its resource through the compact reader,
// carries its song information, lays out into systems with every item placed and plays to its end with
// every note released; between them they show what the viewer can draw and play.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/ram_stream.h"
#include "midi/score_player.h"
#include "midi/tests/playback_fixture.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/resources.h"
#include "platform/mm/mmsystem.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/system_run.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/expression_items.h"
#include "score/file/score_file.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"
#include "viewer/private_fonts.h"
#include "viewer/samples.h"

namespace {

constexpr int kSampleCount = 7;

// The sample as the compact reader loads it from the raw resource, with the header it reports.
std::unique_ptr<TMusicScore> LoadSample(int id, TScoreFileHeader& header) {
    TQSRResourceStream resource(nullptr, MAKEINTRESOURCEA(id), kSampleResourceType);
    EXPECT_FALSE(resource.GetError()) << id;
    std::unique_ptr<TMusicScore> score(qsm::LoadScoreFromStream(resource, header, nullptr));
    if (score) {
        EXPECT_TRUE(score->GetCompressed()) << id;
    }
    return score;
}

// The id of the sample whose title holds the text.
int FindSample(const char* title) {
    for (int id = 1; id <= kSampleCount; ++id) {
        TSongInfo info;
        if (ReadSampleInfo(id, info) == 1 && std::strstr(info.Title, title)) return id;
    }
    return 0;
}

TEST(SampleSongs, SevenSamplesWithTheirSongInformationAndNoMore) {
    std::set<std::string> titles;
    for (int id = 1; id <= kSampleCount; ++id) {
        SCOPED_TRACE(id);
        TSongInfo info;
        ASSERT_EQ(ReadSampleInfo(id, info), 1);
        EXPECT_GT(std::strlen(info.Title), 0u);
        EXPECT_GT(std::strlen(info.Author), 0u);
        EXPECT_STRNE(info.Author, "QuillStave Composer");  // not the default of a new score
        EXPECT_NE(std::strstr(info.Copyright1, "Public domain"), nullptr) << info.Copyright1;
        titles.insert(info.Title);

        TScoreFileHeader header;
        auto score = LoadSample(id, header);
        ASSERT_NE(score, nullptr);
        EXPECT_EQ(header.Status, StatusOk);
        EXPECT_STREQ(score->SongInfo.Title, info.Title);
        EXPECT_STREQ(score->SongInfo.Copyright1, info.Copyright1);

        std::unique_ptr<TMusicScore> opened(ReadSampleScore(id));
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(opened->GetStaffCount(), score->GetStaffCount());
    }
    EXPECT_EQ(titles.size(), static_cast<size_t>(kSampleCount));
    // The Welcome dialog lists samples until the first id that is missing.
    TSongInfo info;
    EXPECT_EQ(ReadSampleInfo(kSampleCount + 1, info), 0);
    EXPECT_EQ(ReadSampleInfo(0, info), 0);
    EXPECT_EQ(ReadSampleScore(kSampleCount + 1), nullptr);
}

// What the samples show between them, found in the loaded scores.
struct Features {
    bool grandStaff = false, severalStaves = false, hyphenatedLyrics = false, chords = false, ties = false,
         slurs = false, triplets = false, dynamics = false, hairpins = false, repeats = false,
         endings = false, tempoChange = false, keyChange = false, percussion = false;
};

void Collect(TMusicScore& score, Features& f) {
    if (score.GetStaffCount() >= 3) f.severalStaves = true;
    for (int s = 0; s < score.GetStaffCount(); ++s) {
        TMusicStaff* staff = score.GetStaff(s);
        if (staff->StaffFlags & STAFF_BRACE) f.grandStaff = true;
        if (TStaffLyrics* lyrics = staff->GetLyrics()) {
            for (int n = 0; n < lyrics->GetCount(); ++n) {
                TQSRFlatRamStream text(1024, 1 << 16);
                lyrics->GetLine(n)->WriteToStream(text);
                std::string plain(reinterpret_cast<const char*>(text.GetData()), text.GetSize());
                if (plain.find('-') != std::string::npos) f.hyphenatedLyrics = true;
            }
        }
        int tempos = 0, keys = 0;
        for (int i = 0; i < staff->GetItemCount(); ++i) {
            TNotatedItem* item = staff->GetItem(i);
            switch (item->GetType()) {
                case ntChord:
                    f.chords = true;
                    [[fallthrough]];
                case ntNote: {
                    auto* note = static_cast<TSongNote*>(item);
                    f.ties |= note->HasAttribute(naTie);
                    for (int n = 0; n < item->GetNoteCount(); ++n)
                        f.ties |= item->GetNote(n)->HasAttribute(naTie);
                    f.slurs |= note->HasAttribute(naSlur);
                    f.triplets |= note->GetTripletState() != 0;
                    f.hairpins |= note->HasAttribute(naCrescendo) || note->HasAttribute(naDiminuendo);
                    break;
                }
                case ntClef:
                    f.percussion |= static_cast<TClefData*>(item)->GetClefType() == ctPercussion;
                    break;
                case ntBarLine: {
                    const int style = static_cast<TBarLineData*>(item)->GetStyle();
                    f.repeats |= style == bsMasterRepeatClose || style == bsLocalRepeatClose;
                    break;
                }
                case ntSpecialEnding:
                    f.endings |= static_cast<TSpecialEnding*>(item)->GetEndings() != 0;
                    break;
                case ntDynamic:
                    f.dynamics = true;
                    break;
                case ntTempo:
                    ++tempos;
                    break;
                case ntKey:
                    ++keys;
                    break;
                default:
                    break;
            }
        }
        f.tempoChange |= tempos >= 2;
        f.keyChange |= keys >= 2;
    }
}

TEST(SampleSongs, TogetherTheyShowWhatTheViewerCan) {
    Features f;
    for (int id = 1; id <= kSampleCount; ++id) {
        std::unique_ptr<TMusicScore> score(ReadSampleScore(id));
        ASSERT_NE(score, nullptr) << id;
        Collect(*score, f);
    }
    EXPECT_TRUE(f.grandStaff);
    EXPECT_TRUE(f.severalStaves);
    EXPECT_TRUE(f.hyphenatedLyrics);
    EXPECT_TRUE(f.chords);
    EXPECT_TRUE(f.ties);
    EXPECT_TRUE(f.slurs);
    EXPECT_TRUE(f.triplets);
    EXPECT_TRUE(f.dynamics);
    EXPECT_TRUE(f.hairpins);
    EXPECT_TRUE(f.repeats);
    EXPECT_TRUE(f.endings);
    EXPECT_TRUE(f.tempoChange);
    EXPECT_TRUE(f.keyChange);
    EXPECT_TRUE(f.percussion);
}

class SampleSong : public testing::TestWithParam<int> {};

// Laid out system after system, every item of every staff stands in exactly one system, in order.
TEST_P(SampleSong, LaysOutIntoSystemsWithEveryItemPlaced) {
    std::unique_ptr<TMusicScore> score(ReadSampleScore(GetParam()));
    ASSERT_NE(score, nullptr);
    qsm::InstallScoreHooks();
    TColorPalette palette;
    TMusicFonts fonts(8, score->GetFontData(), &palette);
    TScoreDrawInfo system(score.get(), &fonts, 5, 3);
    const int staves = score->GetStaffCount();
    for (int s = 0; s < staves; ++s)
        system.AddStaff(s);
    std::vector<std::vector<int>> placed(static_cast<size_t>(staves));
    const int systems = qsm::LayoutSystems(system, 900, 100, [&](TScoreDrawInfo& run, int) {
        for (int s = 0; s < staves; ++s) {
            TStaffDrawInfo* info = run.GetStaffDrawInfo(s);
            for (int r = 0; r < info->GetRecordCount(); ++r) {
                const TLayoutRecord& record = info->Record(r);
                if (record.IsItemPosition() && record.GetKind() != lkMultiRestMore && record.ItemIndex > 0)
                    placed[static_cast<size_t>(s)].push_back(record.ItemIndex);
            }
        }
        return true;
    });
    EXPECT_GE(systems, 2);
    EXPECT_LT(systems, 100);
    for (int s = 0; s < staves; ++s) {
        std::vector<int> all;
        for (int i = 1; i < score->GetStaff(s)->GetItemCount(); ++i)
            all.push_back(i);
        EXPECT_EQ(placed[static_cast<size_t>(s)], all) << "staff " << s;
    }
}

// Every face a sample names is there where the program's dependencies are installed: on the system, stood in
// for by a metric-compatible face, or one of the program's own fonts. None is missing, so opening a sample
// warns of nothing.
TEST_P(SampleSong, NamesNoMissingFace) {
    std::unique_ptr<TMusicScore> score(ReadSampleScore(GetParam()));
    ASSERT_NE(score, nullptr);
    TPrivateFonts fonts("", AddFontResourceExA, RemoveFontResourceExA);
    fonts.CheckScoreFonts(*score);
    EXPECT_EQ(fonts.GetMissingFaces(), std::vector<std::string>{});
    EXPECT_EQ(fonts.GetAlternates(), std::vector<std::string>(fonts.GetCheckedFaces().size()));
}

class SamplePlayback : public qsm::test::PlaybackTest {
protected:
    void SetUp() override { SetUpPlayback(true); }
};

// Rendered as opening a file renders it and played on the recording device: every event goes out once,
// in order, the song ends by itself and no note is left sounding.
TEST_F(SamplePlayback, EverySamplePlaysToItsEndWithEveryNoteReleased) {
    for (int id = 1; id <= kSampleCount; ++id) {
        SCOPED_TRACE(id);
        std::unique_ptr<TMusicScore> score(ReadSampleScore(id));
        ASSERT_NE(score, nullptr);
        TScoreMidiPlayer player;
        player.SetScore(score.get());
        song_.Clear();
        player.RenderToBuffer(song_);
        song_.AppendEndPause(1);
        EXPECT_FALSE(song_.HasOverflowed());
        std::vector<DWORD> expected;
        int noteOns = 0;
        for (const auto& m : qsm::test::ShortMessages(song_)) {
            expected.push_back(m.msg & 0x00FFFFFF);
            if ((m.msg & 0xF0) == 0x90 && ((m.msg >> 16) & 0xFF) != 0) ++noteOns;
        }
        EXPECT_GT(noteOns, 40);

        qsm::mm::ClearRecording();
        ended_ = 0;
        ASSERT_TRUE(Play());
        for (int second = 0; second < 300 && ended_.load() == 0; ++second)
            Run(1000);
        EXPECT_EQ(ended_.load(), 1);
        const auto log = qsm::mm::GetRecording();
        EXPECT_TRUE(qsm::mm::FindSoundingNotes(log).empty());
        EXPECT_EQ(qsm::test::RecordedMessages(), expected);
        manager_->Stop();
    }
}

// The march plays its drums on the percussion channel (bass drum and snare) and its first part twice.
TEST_F(SamplePlayback, MarchPlaysDrumsAndRepeatsWithItsEndings) {
    const int march = FindSample("Saints");
    ASSERT_NE(march, 0);
    std::unique_ptr<TMusicScore> score(ReadSampleScore(march));
    ASSERT_NE(score, nullptr);
    TScoreMidiPlayer player;
    player.SetScore(score.get());
    player.RenderToBuffer(song_);
    std::set<int> drums;
    int trumpetNotes = 0;
    for (const auto& m : qsm::test::ShortMessages(song_)) {
        const DWORD status = m.msg & 0xFF;
        if (((m.msg >> 16) & 0xFF) == 0) continue;
        if (status == 0x99) drums.insert(static_cast<int>((m.msg >> 8) & 0xFF));
        if (status == 0x90) ++trumpetNotes;
    }
    EXPECT_TRUE(drums.count(36));  // bass drum
    EXPECT_TRUE(drums.count(38));  // snare
    // The trumpet's written notes, tie continuations left out: the first part sounds twice, each time with
    // its own ending.
    int written = 0, firstEnding = 0;
    TMusicStaff* trumpet = score->GetStaff(0);
    bool inFirstEnding = false;
    for (int i = 0; i < trumpet->GetItemCount(); ++i) {
        TNotatedItem* item = trumpet->GetItem(i);
        if (item->GetType() == ntSpecialEnding)
            inFirstEnding = static_cast<TSpecialEnding*>(item)->GetEndings() == 1;
        if (item->GetType() == ntNote && !static_cast<TMusicNote*>(item)->IsTieContinued()) {
            ++written;
            if (inFirstEnding) ++firstEnding;
        }
    }
    const int secondEnding = 1;
    const int firstPart = written - firstEnding - secondEnding;
    EXPECT_EQ(trumpetNotes, 2 * firstPart + firstEnding + secondEnding);
}

// The first notes each melody sounds, as MIDI keys: the tunes are spelt, keyed and clefed as meant.
TEST_F(SamplePlayback, EachTuneBeginsWithItsOwnNotes) {
    const std::vector<std::vector<int>> openings = {
        {66, 66, 67, 69, 69, 67, 66, 64},  // F# F# G A A G F# E
        {62, 67, 71, 67, 71, 69, 67, 64},  // D G B G B A G E
        {65, 67, 69, 65, 65, 67, 69, 65},  // F G A F F G A F
        {60, 64, 65, 67, 60, 64, 65, 67},  // C E F G C E F G
        {69, 72, 74, 76, 77, 76, 74, 71},  // A C D E F E D B
        {69, 69, 69, 69, 69, 69, 69, 72},  // A A A A A A A C
        {74, 67, 69, 71, 72, 74, 67, 67},  // D G A B C D G G
    };
    for (int id = 1; id <= kSampleCount; ++id) {
        SCOPED_TRACE(id);
        std::unique_ptr<TMusicScore> score(ReadSampleScore(id));
        ASSERT_NE(score, nullptr);
        TScoreMidiPlayer player;
        player.SetScore(score.get());
        song_.Clear();
        player.RenderToBuffer(song_);
        const int channel = score->GetStaff(0)->Channel;
        std::vector<int> keys;
        for (const auto& m : qsm::test::ShortMessages(song_)) {
            if ((m.msg & 0xFF) == 0x90u + static_cast<DWORD>(channel) && ((m.msg >> 16) & 0xFF) != 0 &&
                keys.size() < 8)
                keys.push_back(static_cast<int>((m.msg >> 8) & 0xFF));
        }
        EXPECT_EQ(keys, openings[static_cast<size_t>(id - 1)]);
    }
}

// The minuet's second part is repeated by the closing repeat at its end: every one of its notes sounds twice.
TEST_F(SamplePlayback, MinuetPlaysBothPartsTwice) {
    std::unique_ptr<TMusicScore> score(ReadSampleScore(kSampleCount));
    ASSERT_NE(score, nullptr);
    ASSERT_NE(std::strstr(score->SongInfo.Title, "Minuet"), nullptr);
    TScoreMidiPlayer player;
    player.SetScore(score.get());
    player.RenderToBuffer(song_);
    int sounded = 0;
    for (const auto& m : qsm::test::ShortMessages(song_))
        if ((m.msg & 0xFF) == 0x90 && ((m.msg >> 16) & 0xFF) != 0) ++sounded;
    // Written: the first part, its two endings, the second part.
    int part1 = 0, ending1 = 0, ending2 = 0, part2 = 0, section = 0;
    TMusicStaff* violin = score->GetStaff(0);
    for (int i = 0; i < violin->GetItemCount(); ++i) {
        TNotatedItem* item = violin->GetItem(i);
        if (item->GetType() == ntSpecialEnding)
            section = static_cast<int>(static_cast<TSpecialEnding*>(item)->GetEndings());
        if (item->GetType() == ntBarLine &&
            static_cast<TBarLineData*>(item)->GetStyle() == bsMasterRepeatOpen)
            section = 3;
        if (item->GetType() != ntNote) continue;
        int* count[] = {&part1, &ending1, &ending2, &part2};
        ++*count[section];
    }
    EXPECT_GT(part2, 20);
    EXPECT_EQ(sounded, 2 * part1 + ending1 + ending2 + 2 * part2);
}

// Greensleeves slows down for its refrain and again, gradually, before its last note; Jingle Bells sings
// its chorus a second time a whole tone higher.
TEST_F(SamplePlayback, TempoAndKeyChangesAreHeard) {
    std::unique_ptr<TMusicScore> tune(ReadSampleScore(FindSample("Greensleeves")));
    ASSERT_NE(tune, nullptr);
    TScoreMidiPlayer player;
    player.SetScore(tune.get());
    player.RenderToBuffer(song_);
    std::vector<int> bpm;
    for (int i = 0; i < song_.GetEventCount(); ++i) {
        const TMidiEvent* ev = song_.GetEvent(i);
        if (ev->GetKind() == MIDI_KIND_TEMPO) bpm.push_back(TMidiEvent::GetTempoBpm(ev->GetMessage()));
    }
    ASSERT_GE(bpm.size(), 4u);  // the start, the refrain and the steps of the ritardando
    EXPECT_GT(bpm.front(), bpm[1]);
    for (size_t i = 2; i < bpm.size(); ++i)
        EXPECT_LE(bpm[i], bpm[i - 1]) << i;
    EXPECT_LT(bpm.back(), bpm[1]);

    std::unique_ptr<TMusicScore> bells(ReadSampleScore(FindSample("Jingle Bells")));
    ASSERT_NE(bells, nullptr);
    song_.Clear();
    player.SetScore(bells.get());
    player.RenderToBuffer(song_);
    std::vector<int> melody;
    for (const auto& m : qsm::test::ShortMessages(song_))
        if ((m.msg & 0xFF) == 0x90 && ((m.msg >> 16) & 0xFF) != 0)
            melody.push_back(static_cast<int>((m.msg >> 8) & 0xFF));
    ASSERT_EQ(melody.size() % 2, 0u);
    const size_t half = melody.size() / 2;
    ASSERT_GT(half, 40u);
    for (size_t i = 0; i < half; ++i)
        EXPECT_EQ(melody[half + i], melody[i] + 2) << i;
}

INSTANTIATE_TEST_SUITE_P(EachSample, SampleSong, testing::Range(1, kSampleCount + 1));

}  // namespace
