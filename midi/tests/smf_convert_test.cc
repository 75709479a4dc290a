#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/hooks.h"
#include "core/ram_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "midi/tests/smf_builder.h"
#include "midi/tests/smf_roundtrip.h"
#include "score/expression_items.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

using namespace qsm::test;

namespace {

std::unique_ptr<TSMFData> Read(Bytes bytes) {
    auto data = std::make_unique<TSMFData>();
    TQSRFlatRamStream in(bytes.data(), static_cast<DWORD>(bytes.size()), static_cast<DWORD>(bytes.size()));
    TSMFImport::Run(data.get(), &in, nullptr);
    return data;
}

TSMFImportInstructions Record(int track, WORD mask = 0xFFFF) {
    TSMFImportInstructions r;
    DefaultInstructions(r);
    r.Track = static_cast<WORD>(track);
    r.ChannelMask = mask;
    return r;
}

// The items between the opening and the closing bar lines.
std::vector<TNotatedItem*> Body(const TMusicStaff& staff) {
    std::vector<TNotatedItem*> out;
    for (int i = 1; i < staff.GetLastIndex(); ++i)
        out.push_back(staff.GetItem(i));
    return out;
}

bool Tied(const TNotatedItem* item) {
    return static_cast<const TSongNote*>(item)->HasAttribute(naTie);
}

std::unique_ptr<TMusicStaff> NoteStaff(TSMFData& data, const TSMFImportInstructions& r) {
    SMFTrackConverter c;
    InitTrackConverter(c);
    return std::unique_ptr<TMusicStaff>(ConvertNoteTrack(c, &data, r));
}

int CountType(const TMusicStaff& staff, int type) {
    return staff.CountItemsOfType(type);
}

}  // namespace

TEST(SmfConvert, OnsetsOnOneGridTickMakeAChordThatTheNextOnsetEnds) {
    TrackBuilder t;
    t.Event(0, {0x90, 60, 90}).Event(5, {0x90, 64, 90}).Event(19, {0x90, 67, 90});
    t.Event(168, {0x80, 60, 0}).Event(0, {0x80, 64, 0}).Event(0, {0x80, 67, 0}).End();
    auto data = Read(MakeFile(0, 192, {t}));
    auto staff = NoteStaff(*data, Record(0));
    auto body = Body(*staff);
    ASSERT_EQ(body.size(), 3u);
    ASSERT_EQ(body[0]->GetType(), ntChord);
    EXPECT_EQ(body[0]->GetNoteCount(), 2);
    EXPECT_EQ(body[0]->GetDuration(), 24);
    EXPECT_FALSE(Tied(body[0]));
    // The third note sounds alone up to its note-off: a dotted eighth tied to a thirty-second.
    EXPECT_EQ(body[1]->GetType(), ntNote);
    EXPECT_EQ(body[1]->GetDuration(), 144);
    EXPECT_TRUE(Tied(body[1]));
    EXPECT_EQ(body[2]->GetDuration(), 24);
    EXPECT_FALSE(Tied(body[2]));
}

TEST(SmfConvert, NoteLengthsGapsAndTheShortestNote) {
    // A note ending on its own grid tick lasts 12 ticks; a gap becomes rests; 1300 ticks become a dotted
    // whole tied to a dotted eighth.
    TrackBuilder t;
    t.Event(0, {0x90, 62, 80}).Event(3, {0x80, 62, 0});
    t.Event(189, {0x90, 62, 80}).Event(1300, {0x80, 62, 0}).End();
    auto data = Read(MakeFile(0, 192, {t}));
    auto staff = NoteStaff(*data, Record(0));
    auto body = Body(*staff);
    ASSERT_GE(body.size(), 4u);
    EXPECT_EQ(body[0]->GetType(), ntNote);
    EXPECT_EQ(body[0]->GetDuration(), 12);
    int rest = 0;
    size_t i = 1;
    for (; i < body.size() && body[i]->GetType() == ntRest; ++i)
        rest += body[i]->GetDuration();
    EXPECT_EQ(rest, 192 - 12);
    ASSERT_EQ(body.size(), i + 2);
    EXPECT_EQ(body[i]->GetDuration(), 1152);
    EXPECT_TRUE(Tied(body[i]));
    EXPECT_EQ(body[i + 1]->GetDuration(), 1296 - 1152);
    EXPECT_FALSE(Tied(body[i + 1]));
}

TEST(SmfConvert, RangeChannelPedalsAndPatches) {
    TrackBuilder t;
    t.Event(0, {0xC0, 5}).Event(0, {0xB0, 64, 127}).Event(0, {0x90, 40, 90}).Event(0, {0x91, 70, 90});
    t.Event(96, {0xB0, 64, 100}).Event(96, {0x80, 40, 0}).Event(0, {0x81, 70, 0}).Event(0, {0xB0, 64, 0});
    t.Event(0, {0xC0, 9}).Event(0, {0x90, 80, 90}).Event(192, {0x80, 80, 0}).End();
    auto data = Read(MakeFile(0, 192, {t}));
    TSMFImportInstructions r = Record(0, 0x0001);
    r.LowNote = 50;
    r.Flags |= SMF_MAKE_PEDALS | SMF_MAKE_PATCHES;
    auto staff = NoteStaff(*data, r);
    // Channel 2 and the note below 50 are left out; two pedal-downs in a row make one pedal item.
    EXPECT_EQ(staff->Channel, 0);
    EXPECT_EQ(staff->Instrument.PatchByte, 6);
    EXPECT_EQ(CountType(*staff, ntSustainPedal), 2);
    EXPECT_EQ(CountType(*staff, ntPatch), 2);
    EXPECT_EQ(CountType(*staff, ntNote), 1);
    EXPECT_EQ(CountType(*staff, ntChord), 0);
    // Without the flags neither pedals nor patch items are made, but the staff still takes its patch.
    auto plain = NoteStaff(*data, Record(0, 0x0001));
    EXPECT_EQ(CountType(*plain, ntSustainPedal), 0);
    EXPECT_EQ(CountType(*plain, ntPatch), 0);
    EXPECT_EQ(plain->Instrument.PatchByte, 6);
}

TEST(SmfConvert, ConductorTakesTempoTimeAndKeySignatures) {
    TrackBuilder t;
    t.Tempo(0, 500000).Meta(0, 0x58, {6, 3, 24, 8}).Meta(0, 0x59, {0xFD, 1});
    t.Tempo(384, 400000).Meta(0, 0x59, {2, 0}).Meta(0, 0x59, {0xF6, 0}).End();
    auto data = Read(MakeFile(1, 192, {t}));
    SMFTrackConverter c;
    InitTrackConverter(c);
    std::unique_ptr<TMusicStaff> staff(ConvertConductorTrack(c, data.get()));
    EXPECT_STREQ(staff->GetName(), "Tempo Track");
    EXPECT_STREQ(staff->GetGroup(), "Conductor");
    std::vector<TKeyData*> keys;
    std::vector<TTempoData*> tempos;
    for (TNotatedItem* item : Body(*staff)) {
        if (item->GetType() == ntKey) keys.push_back(static_cast<TKeyData*>(item));
        if (item->GetType() == ntTempo) tempos.push_back(static_cast<TTempoData*>(item));
        if (item->GetType() == ntTimeSignature) {
            EXPECT_EQ(static_cast<TTimeSignatureData*>(item)->GetBeats(), 6);
            EXPECT_EQ(static_cast<TTimeSignatureData*>(item)->GetBeatValueExponent(), 3);
        }
    }
    ASSERT_EQ(tempos.size(), 2u);
    EXPECT_EQ(tempos[0]->GetTempo(), 120);
    EXPECT_EQ(tempos[1]->GetTempo(), 150);
    EXPECT_EQ(tempos[1]->GetStaffPos(), -2);
    ASSERT_EQ(keys.size(), 3u);
    // C minor: three flats (B, E, A) and tonic C.
    EXPECT_EQ(keys[0]->GetFlatMask(), (1 << 1) | (1 << 4) | (1 << 0));
    EXPECT_EQ(keys[0]->GetSharpMask(), 0);
    EXPECT_EQ(keys[0]->GetTonic(), 2);
    // D major: F and C sharp.
    EXPECT_EQ(keys[1]->GetSharpMask(), (1 << 5) | (1 << 2));
    EXPECT_EQ(keys[1]->GetTonic(), 3);
    // Ten flats are two: B-flat major.
    EXPECT_EQ(keys[2]->GetFlatMask(), (1 << 1) | (1 << 4));
    EXPECT_EQ(c.KeyFifths, -10);
    // The rests between the events keep their times: the second tempo stands at tick 384.
    int tick = 0;
    for (TNotatedItem* item : Body(*staff)) {
        if (item == tempos[1]) break;
        tick += item->GetDuration();
    }
    EXPECT_EQ(tick, 384);
}

TEST(SmfConvert, NotesAreSpeltByTheKeyInForce) {
    TrackBuilder t;
    t.Meta(0, 0x59, {0xFE, 0}).Event(0, {0x90, 70, 90}).Event(0, {0x90, 71, 90}).Event(192, {0x80, 70, 0});
    t.Event(0, {0x80, 71, 0}).End();
    auto data = Read(MakeFile(0, 192, {t}));
    auto staff = NoteStaff(*data, Record(0));
    TNotatedItem* chord = nullptr;
    for (TNotatedItem* item : Body(*staff))
        if (item->GetType() == ntChord) chord = item;
    ASSERT_NE(chord, nullptr);
    // B-flat and B natural collide on one position under flats; the B flips to sharps and stays B natural
    // on its own line, so both notes are kept on different positions or the second is left out.
    ASSERT_GE(chord->GetNoteCount(), 1);
    bool flat = false;
    for (int i = 0; i < chord->GetNoteCount(); ++i)
        flat = flat || chord->GetNote(i)->GetAccidental() == acFlat;
    EXPECT_TRUE(flat);
}

// The round trip's reference: a chord spelt by the key that the conductor left in force loses the note that
// finds its position taken both ways (A-flat and A under one flat), and two staves on one channel that sound
// the same key at once are told apart (their note-offs would pair the wrong way in one stream).
TEST(SmfConvert, RoundTripTellsLeftOutChordNotesAndSharedChannels) {
    TrackBuilder conductor;
    conductor.Meta(0, 0x59, {0xFF, 0}).Tempo(0, 500000).End();
    TrackBuilder upper;
    upper.Event(0, {0x90, 56, 90}).Event(0, {0x90, 57, 90}).Event(192, {0x80, 56, 0}).Event(0, {0x80, 57, 0});
    upper.Event(0, {0x90, 60, 90}).Event(96, {0x80, 60, 0}).Event(0, {0x90, 62, 90});
    upper.Event(96, {0x80, 62, 0}).End();
    TrackBuilder held;
    held.Event(0, {0x90, 60, 90}).Event(384, {0x80, 60, 0}).End();
    auto data = Read(MakeFile(1, 192, {conductor, upper, held}));
    RoundTrip rt = RunRoundTrip(*data);
    EXPECT_EQ(rt.gridNotes, 5);
    EXPECT_EQ(rt.gridSame, 4);
    EXPECT_EQ(rt.missing, 1);
    EXPECT_EQ(rt.lost[rtSpelling], 1);
    EXPECT_EQ(rt.expectedNotes, 4);
    EXPECT_EQ(rt.expectedSame, 4);
    EXPECT_EQ(rt.extra, 0);
}

TEST(SmfConvert, ChannelMaskTexts) {
    char text[40];
    EXPECT_STREQ(ChannelMaskToText(0, text), "-");
    EXPECT_STREQ(ChannelMaskToText(0xFFFF, text), "1-16");
    EXPECT_STREQ(ChannelMaskToText(0x0017, text), "1-3,5");
    EXPECT_STREQ(ChannelMaskToText(0x0003, text), "1,2");
    EXPECT_STREQ(ChannelMaskToText(0x8201, text), "1,10,16");
}

TEST(SmfConvert, InsertAtTickGoesBeforeTheNoteThatStartsThere) {
    TMusicStaff staff;
    staff.InsertItem(new TRestNote(dcQuarter), 1);
    staff.InsertItem(new TKeyData(0, 0, 2), 2);
    staff.InsertItem(new TMusicNote(0, dcQuarter), 3);
    InsertAtTick(&staff, 192, new TTimeSignatureData(3, 2));
    EXPECT_EQ(staff.GetItem(2)->GetType(), ntKey);
    EXPECT_EQ(staff.GetItem(3)->GetType(), ntTimeSignature);
    EXPECT_EQ(staff.GetItem(4)->GetType(), ntNote);
    InsertAtTick(&staff, 0, new TClefData(ctBass));
    EXPECT_EQ(staff.GetItem(1)->GetType(), ntClef);
    // Inside an item: the staff's own insertion splits it.
    InsertAtTick(&staff, 96, new TTimeSignatureData(2, 2));
    EXPECT_EQ(staff.GetItem(3)->GetType(), ntTimeSignature);
    EXPECT_EQ(staff.GetItem(2)->GetDuration(), 96);
}

TEST(SmfConvert, InsertionsAtRisingTicksWalkOnFromTheCursor) {
    // Dotted quarters and eighths, so that signatures fall on item starts, inside items and at equal
    // ticks; the cursor's series must leave the staff as insertions that each walk from the start.
    auto fill = [](TMusicStaff& staff) {
        for (int i = 0; i < 200; ++i) {
            auto* note = new TMusicNote(i % 5, i % 3 == 0 ? dcEighth : dcQuarter);
            if (i % 3 != 0) note->SetAttribute(naDotted);
            staff.InsertBeforeLastItem(note);
        }
    };
    TMusicStaff walked;
    TMusicStaff fromStart;
    fill(walked);
    fill(fromStart);
    TStaffTickCursor signatures;
    TStaffTickCursor keys;
    const int ticks[] = {0, 0, 96, 144, 144, 1000, 1536, 4000, 4020, 9000, 30000, 60000};
    for (int tick : ticks) {
        InsertAtTick(&walked, tick, new TTimeSignatureData(3, 2), signatures);
        InsertAtTick(&fromStart, tick, new TTimeSignatureData(3, 2));
    }
    for (int tick : ticks) {
        InsertItemAtTimeFrom(&walked, tick, new TKeyData(0, 0, 2), keys);
        fromStart.InsertItemAtTime(new TKeyData(0, 0, 2), tick);
    }
    ASSERT_EQ(walked.GetItemCount(), fromStart.GetItemCount());
    for (int i = 0; i < walked.GetItemCount(); ++i) {
        ASSERT_EQ(walked.GetItem(i)->GetType(), fromStart.GetItem(i)->GetType()) << i;
        ASSERT_EQ(walked.GetItem(i)->GetDuration(), fromStart.GetItem(i)->GetDuration()) << i;
    }
}

TEST(SmfConvert, LyricsInTrailingAndLeadingStyle) {
    auto lyricText = [](TMusicStaff& staff) {
        TQSRFlatRamStream out(256, 256);
        staff.GetLyrics()->GetLine(0)->WriteToStream(out);
        return std::string(reinterpret_cast<const char*>(out.GetData()), out.GetSize());
    };
    {
        TrackBuilder t;
        t.Text(0, 5, "Hel-").Text(192, 5, "lo ").Text(192, 5, "world").Text(0, 5, "\r").Text(192, 5, "a");
        t.Event(0, {0x90, 60, 90}).Event(192, {0x80, 60, 0}).End();
        auto data = Read(MakeFile(0, 192, {t}));
        SMFTrackConverter c;
        InitTrackConverter(c);
        std::unique_ptr<TMusicStaff> staff(ConvertLyricTrack(c, data.get(), 0, 1));
        ASSERT_NE(staff->GetLyrics(), nullptr);
        EXPECT_STREQ(staff->GetGroup(), "Lyrics");
        EXPECT_EQ(staff->GetLineCount(), 0);
        EXPECT_EQ(CountType(*staff, ntNote), 4);
        EXPECT_EQ(lyricText(*staff), "Hel-lo world\r\na\r\n");
        // Each syllable's note lasts to the next one; the last is a quarter.
        std::vector<int> lengths;
        for (TNotatedItem* item : Body(*staff))
            if (item->GetType() == ntNote) lengths.push_back(item->GetDuration());
        EXPECT_EQ(lengths, (std::vector<int>{192, 192, 192, 192}));
    }
    {
        TrackBuilder t;
        t.Text(0, 1, "@T title")
            .Text(0, 1, "/One")
            .Text(96, 1, " two")
            .Text(96, 1, "-ly")
            .Text(96, 1, "\\Next");
        t.End();
        auto data = Read(MakeFile(0, 192, {t}));
        SMFTrackConverter c;
        InitTrackConverter(c);
        std::unique_ptr<TMusicStaff> staff(ConvertLyricTrack(c, data.get(), 0, 2));
        ASSERT_NE(staff->GetLyrics(), nullptr);
        EXPECT_EQ(CountType(*staff, ntNote), 4);
        EXPECT_EQ(lyricText(*staff), "One two-ly\r\n\r\nNext\r\n");
    }
    {
        // No texts of the kind: no lyrics.
        TrackBuilder t;
        t.Text(0, 1, "text").End();
        auto data = Read(MakeFile(0, 192, {t}));
        SMFTrackConverter c;
        InitTrackConverter(c);
        std::unique_ptr<TMusicStaff> staff(ConvertLyricTrack(c, data.get(), 0, 1));
        EXPECT_EQ(staff->GetLyrics(), nullptr);
        std::unique_ptr<TMusicStaff> none(ConvertLyricTrack(c, data.get(), 3, 1));
        EXPECT_EQ(none->GetLyrics(), nullptr);
    }
}

TEST(SmfConvert, InstructionsSplitByChannelAndByWideSpans) {
    TrackBuilder conductor;
    conductor.Tempo(0, 500000).End();
    TrackBuilder piano;
    piano.Text(0, 3, "  Piano  ").Event(0, {0x90, 36, 90}).Event(0, {0x90, 72, 90}).Event(0, {0x99, 38, 90});
    piano.Event(192, {0x80, 36, 0}).Event(0, {0x80, 72, 0}).Event(0, {0x89, 38, 0}).End();
    TrackBuilder silent;
    silent.Event(0, {0xB0, 7, 100}).End();
    auto data = Read(MakeFile(1, 192, {conductor, piano, silent}));
    TSMFImportList list;
    BuildImportInstructions(data.get(), list, true, 16);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Track, 1);
    EXPECT_EQ(list[0].ChannelMask, 0x0001);
    EXPECT_EQ(list[0].HighNote, 127);
    EXPECT_EQ(list[0].LowNote, 36 + 18);
    EXPECT_EQ(list[1].HighNote, 36 + 17);
    EXPECT_EQ(list[1].LowNote, 0);
    EXPECT_EQ(list[2].ChannelMask, 0x0200);
    BuildImportInstructions(data.get(), list, false, 100);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].ChannelMask, 0x0201);

    // Spans counted among the high keys alone, and only over keys still sounding.
    TrackBuilder high;
    high.Event(0, {0x90, 70, 90})
        .Event(0, {0x90, 100, 90})
        .Event(192, {0x80, 70, 0})
        .Event(0, {0x80, 100, 0});
    high.End();
    TrackBuilder apart;
    apart.Event(0, {0x90, 20, 90}).Event(192, {0x80, 20, 0}).Event(0, {0x90, 60, 90});
    apart.Event(192, {0x80, 60, 0}).End();
    auto spans = Read(MakeFile(1, 192, {conductor, high, apart}));
    BuildImportInstructions(spans.get(), list, true, 16);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].LowNote, 70 + 15);
    EXPECT_EQ(list[1].HighNote, 70 + 14);
    EXPECT_EQ(list[2].Track, 2);
    EXPECT_EQ(list[2].LowNote, 0);
    EXPECT_EQ(list[2].HighNote, 127);

    BuildImportInstructions(data.get(), list, true, 16);
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(data.get(), list, 1));
    // Upper, lower and drum staves; the single tempo at 0 moved to the first staff, the conductor gone.
    ASSERT_EQ(score->GetStaffCount(), 3);
    EXPECT_STREQ(score->GetStaff(0)->GetName(), "Piano");
    EXPECT_EQ(CountType(*score->GetStaff(0), ntTempo), 1);
    TMusicStaff* drums = score->GetStaff(2);
    EXPECT_EQ(drums->Channel, 9);
    int clef = -1;
    for (int i = 0; i < drums->GetItemCount(); ++i) {
        TNotatedItem* item = drums->GetItem(i);
        if (item->GetType() == ntClef && clef < 0) clef = static_cast<TClefData*>(item)->GetClefType();
        if (item->GetType() == ntNote) {
            EXPECT_EQ(static_cast<TSongNote*>(item)->GetNotehead(), 4);
        }
    }
    EXPECT_EQ(clef, ctPercussion);
    for (int s = 0; s < score->GetStaffCount(); ++s) {
        EXPECT_EQ(CountType(*score->GetStaff(s), ntTimeSignature), 1) << s;
        EXPECT_EQ(CountType(*score->GetStaff(s), ntKey), 1) << s;
        EXPECT_EQ(CountType(*score->GetStaff(s), ntClef), 1) << s;
    }
    RoundTrip rt = RunRoundTrip(*data);
    EXPECT_EQ(rt.gridNotes, 3);
    EXPECT_EQ(rt.gridSame, 3);
    EXPECT_EQ(rt.extra, 0);
}

TEST(SmfConvert, Format0FileGivesEveryStaffTheConductorsSignatures) {
    TrackBuilder t;
    t.Text(0, 3, "Song").Tempo(0, 600000).Meta(0, 0x58, {3, 2, 24, 8}).Meta(0, 0x59, {1, 0});
    for (int bar = 0; bar < 4; ++bar) {
        t.Event(0, {0x90, 67, 90})
            .Event(0, {0x91, 43, 90})
            .Event(288, {0x80, 67, 0})
            .Event(0, {0x90, 66, 90});
        t.Event(288, {0x80, 66, 0}).Event(0, {0x81, 43, 0});
    }
    t.Tempo(0, 700000).End();
    auto data = Read(MakeFile(0, 192, {t}));
    TSMFImportList list;
    BuildImportInstructions(data.get(), list, true, 16);
    ASSERT_EQ(list.size(), 2u);
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(data.get(), list, 1));
    EXPECT_STREQ(score->SongInfo.Title, "Song");
    // Two note staves and the conductor, kept as the hidden last staff for its second tempo.
    ASSERT_EQ(score->GetStaffCount(), 3);
    TMusicStaff* conductor = score->GetStaff(2);
    EXPECT_STREQ(conductor->GetGroup(), "Conductor");
    EXPECT_EQ(conductor->GetLineCount(), 0);
    EXPECT_EQ(CountType(*conductor, ntTempo), 1);
    for (TNotatedItem* item : Body(*conductor))
        EXPECT_TRUE(item->IsNever());
    EXPECT_EQ(CountType(*score->GetStaff(0), ntTempo), 1);
    for (int s = 0; s < 2; ++s) {
        TMusicStaff* staff = score->GetStaff(s);
        EXPECT_EQ(CountType(*staff, ntTimeSignature), 1);
        ASSERT_EQ(CountType(*staff, ntKey), 1);
        EXPECT_GE(CountType(*staff, ntBarLine), 5);
    }
    int clef = -1;
    for (int i = 0; i < score->GetStaff(1)->GetItemCount() && clef < 0; ++i) {
        if (score->GetStaff(1)->GetItem(i)->GetType() == ntClef)
            clef = static_cast<TClefData*>(score->GetStaff(1)->GetItem(i))->GetClefType();
    }
    EXPECT_EQ(clef, ctBass);
    RoundTrip rt = RunRoundTrip(*data);
    EXPECT_EQ(rt.gridNotes, 12);
    EXPECT_EQ(rt.gridSame, 12);
    EXPECT_EQ(rt.expectedSame, rt.expectedNotes);
    EXPECT_EQ(rt.extra, 0);
}

TEST(SmfConvert, LyricStavesFollowTheirNoteStaffAndEmptyOnesTakeNoRecord) {
    TrackBuilder conductor;
    conductor.Tempo(0, 500000).Tempo(192, 400000).End();
    TrackBuilder voice;
    voice.Text(0, 3, "Voice").Event(0, {0x90, 60, 90}).Text(0, 5, "la").Event(192, {0x80, 60, 0});
    voice.Event(0, {0x90, 62, 90}).Text(0, 5, "la").Event(192, {0x80, 62, 0}).End();
    // Only a line break, after the first tick: the track counts as one with lyrics, but no syllable.
    TrackBuilder breaks;
    breaks.Text(96, 5, "\n").End();
    TrackBuilder bass;
    bass.Event(0, {0x92, 40, 90}).Event(384, {0x82, 40, 0}).End();
    auto data = Read(MakeFile(1, 192, {conductor, voice, breaks, bass}));
    TSMFImportList list;
    BuildImportInstructions(data.get(), list, true, 16);
    ASSERT_EQ(list.size(), 2u);
    {
        std::unique_ptr<TMusicScore> score(ConvertMidiToScore(data.get(), list, 0));
        EXPECT_EQ(score->GetStaffCount(), 3);  // two note staves and the conductor
    }
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(data.get(), list, 1));
    ASSERT_EQ(score->GetStaffCount(), 5);
    EXPECT_STREQ(score->GetStaff(0)->GetName(), "Voice");
    EXPECT_NE(score->GetStaff(0)->StaffFlags & STAFF_LAYER, 0);
    TMusicStaff* lyric = score->GetStaff(1);
    ASSERT_NE(lyric->GetLyrics(), nullptr);
    EXPECT_STREQ(lyric->GetGroup(), "Lyrics");
    EXPECT_EQ(lyric->GetBoundaryBottom(), score->GetStaff(0)->GetBoundaryBottom() + 5);
    EXPECT_EQ(score->GetStaff(2)->Channel, 2);
    // The empty lyric staff of the third track stays a lyric staff: hidden and muted, not a note staff that
    // would take a record past the end of the list.
    TMusicStaff* empty = score->GetStaff(3);
    EXPECT_EQ(empty->GetLyrics(), nullptr);
    EXPECT_STREQ(empty->GetGroup(), "Lyrics");
    for (TNotatedItem* item : Body(*empty))
        EXPECT_TRUE(item->IsNever());
    EXPECT_EQ(empty->GetBoundaryTop(), -1);
    EXPECT_STREQ(score->GetStaff(4)->GetGroup(), "Conductor");
}

TEST(SmfConvert, MoreThan256TracksWithLyrics) {
    std::vector<TrackBuilder> tracks(262);
    for (int i = 0; i < 262; ++i) {
        tracks[i].Text(0, 1, "x");
        if (i == 258 || i == 260) {
            tracks[i].Event(0, {0x90, 60, 90}).Text(0, 5, "oh").Event(192, {0x80, 60, 0});
            tracks[i].Text(0, 5, "yes");
        }
        tracks[i].End();
    }
    auto data = Read(MakeFile(1, 192, tracks));
    ASSERT_EQ(data->GetTrackCount(), 262);
    TSMFImportList list;
    BuildImportInstructions(data.get(), list, true, 16);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].Track, 260);
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(data.get(), list, 1));
    ASSERT_EQ(score->GetStaffCount(), 4);
    EXPECT_NE(score->GetStaff(1)->GetLyrics(), nullptr);
    EXPECT_NE(score->GetStaff(3)->GetLyrics(), nullptr);
}

namespace {
int cancelAfter = 0;
int polls = 0;
bool CancelLater() {
    return ++polls > cancelAfter;
}
bool RunOutOfMemoryLater() {
    if (++polls > cancelAfter) throw std::bad_alloc();
    return false;
}
}  // namespace

// Cancelled at any point, the conversion gives a score; out of memory at any point, it throws and leaves
// nothing allocated behind (the leak checker of the sanitizer build sees to it).
TEST(SmfConvert, CancelAtAnyPointReturnsAScore) {
    TrackBuilder t;
    t.Tempo(0, 500000).Meta(0, 0x58, {4, 2, 24, 8});
    for (int i = 0; i < 20; ++i)
        t.Event(0, {0x90, 60 + i, 90}).Text(0, 5, "la").Event(96, {0x80, 60 + i, 0});
    t.Tempo(0, 400000).End();
    auto data = Read(MakeFile(0, 192, {t}));
    TSMFImportList list;
    BuildImportInstructions(data.get(), list, true, 16);
    qsm::SetLongTaskCancelTest(CancelLater);
    for (cancelAfter = 0; cancelAfter < 120; cancelAfter += 3) {
        polls = 0;
        std::unique_ptr<TMusicScore> score(ConvertMidiToScore(data.get(), list, 1));
        ASSERT_NE(score, nullptr);
        EXPECT_GE(score->GetStaffCount(), 1);
    }
    qsm::SetLongTaskCancelTest(RunOutOfMemoryLater);
    for (cancelAfter = 0; cancelAfter < 120; cancelAfter += 3) {
        polls = 0;
        EXPECT_THROW(delete ConvertMidiToScore(data.get(), list, 1), std::bad_alloc);
    }
    qsm::SetLongTaskCancelTest(nullptr);
    std::unique_ptr<TMusicScore> whole(ConvertMidiToScore(data.get(), list, 1));
    EXPECT_EQ(whole->GetStaffCount(), 3);
}

TEST(SmfConvert, EmptyFileAndTrackToStaff) {
    TSMFData empty;
    TSMFImportList list;
    BuildImportInstructions(&empty, list, true, 16);
    EXPECT_TRUE(list.empty());
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&empty, list, 1));
    EXPECT_EQ(score->GetStaffCount(), 1);

    TrackBuilder t;
    t.Event(0, {0x90, 60, 90}).Event(192, {0x80, 60, 0}).End();
    auto data = Read(MakeFile(0, 192, {t}));
    std::unique_ptr<TMusicStaff> staff(ConvertTrackToStaff(data.get(), Record(0)));
    EXPECT_EQ(CountType(*staff, ntNote), 1);
    // A record naming no track gives an empty, unnamed staff.
    auto none = NoteStaff(*data, Record(5));
    EXPECT_EQ(none->GetItemCount(), 2);
    EXPECT_STREQ(none->GetName(), "Staff");
}

namespace {
std::vector<std::string> progressTexts;
std::vector<int> gauge;
int gaugeRange = 0;
}  // namespace

TEST(SmfConvert, ProgressGoesToTheLongTaskDialog) {
    TrackBuilder conductor;
    conductor.Tempo(0, 500000).End();
    TrackBuilder voice;
    voice.Text(0, 3, "Voice").Event(0, {0x90, 60, 90}).Text(0, 5, "la").Event(192, {0x80, 60, 0});
    voice.Event(0, {0x90, 62, 90}).Text(0, 5, "lu").Event(192, {0x80, 62, 0}).End();
    TrackBuilder bass;
    bass.Event(0, {0x91, 40, 90}).Event(384, {0x81, 40, 0}).End();
    auto data = Read(MakeFile(1, 192, {conductor, voice, bass}));
    TSMFImportList list;
    BuildImportInstructions(data.get(), list, true, 16);
    ASSERT_EQ(list.size(), 2u);
    progressTexts.clear();
    gauge.clear();
    qsm::LongTaskProgressHooks hooks;
    hooks.resetGauge = [](int range) { gaugeRange = range; };
    hooks.setGauge = [](int value) { gauge.push_back(value); };
    hooks.setText = [](const char* text) { progressTexts.emplace_back(text); };
    qsm::SetLongTaskProgressHooks(hooks);
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(data.get(), list, 1));
    qsm::SetLongTaskProgressHooks({});
    EXPECT_EQ(gaugeRange, 100);
    ASSERT_FALSE(progressTexts.empty());
    EXPECT_EQ(progressTexts[0], "Converting MIDI data to notation");
    EXPECT_NE(std::find(progressTexts.begin(), progressTexts.end(), "Formatting Staff: Voice"),
              progressTexts.end());
    // Four steps for each of the three staves (two note staves, one lyric staff): the gauge ends full.
    ASSERT_EQ(gauge.size(), 12u);
    EXPECT_TRUE(std::is_sorted(gauge.begin(), gauge.end()));
    EXPECT_EQ(gauge.back(), 100);
}

TEST(SmfConvert, RoundTripKeepsTheBarsThroughARepeatedTimeSignature) {
    // The second track repeats the conductor's 3/4 inside bar 2; the conductor drops the repeat, so the
    // note that a rest follows there grows up to the beat of the bars from tick 0, not across the bar line.
    TrackBuilder conductor;
    conductor.Meta(0, 0x58, {3, 2, 24, 8}).Tempo(0, 500000).End();
    TrackBuilder notes;
    notes.Event(0, {0x90, 60, 90}).Event(576, {0x80, 60, 0});
    notes.Event(384, {0x90, 62, 90}).Meta(40, 0x58, {3, 2, 24, 8}).Event(56, {0x80, 62, 0});
    notes.Event(288, {0x90, 64, 90}).Event(192, {0x80, 64, 0}).End();
    auto data = Read(MakeFile(1, 192, {conductor, notes}));
    RoundTrip rt = RunRoundTrip(*data);
    EXPECT_EQ(rt.expectedNotes, 3);
    EXPECT_EQ(rt.expectedSame, 3);
    EXPECT_EQ(rt.grown, 1);
    EXPECT_EQ(rt.extra, 0);
}

namespace {

std::unique_ptr<TMusicScore> Convert(const std::vector<TrackBuilder>& tracks) {
    auto data = Read(MakeFile(1, 192, tracks));
    TSMFImportList list;
    BuildImportInstructions(data.get(), list, true, 16);
    return std::unique_ptr<TMusicScore>(ConvertMidiToScore(data.get(), list, 1));
}

}  // namespace

// A drum staff (channel 10) takes no key signature, neither the conductor's nor its track's own: its lines
// name instruments. Its notes keep the accidentals they play with, but their cross heads give them no room.
TEST(SmfConvert, DrumStaffTakesNoKeySignature) {
    TrackBuilder conductor, drums;
    conductor.Meta(0, 0x58, {4, 2, 24, 8}).Meta(0, 0x59, {2, 0}).Tempo(0, 500000).End();
    drums.Meta(0, 0x59, {1, 0});
    for (int beat = 0; beat < 8; ++beat)
        drums.Event(beat ? 12 : 0, {0x99, beat % 2 ? 46 : 42, 90}).Event(180, {0x89, beat % 2 ? 46 : 42, 0});
    drums.End();
    auto score = Convert({conductor, drums});
    ASSERT_GE(score->GetStaffCount(), 1);
    TMusicStaff* staff = score->GetStaff(0);
    int keys = 0, sharps = 0, crossHeads = 0;
    for (TNotatedItem* item : Body(*staff)) {
        if (item->GetType() == ntKey) {
            ++keys;
            auto* key = static_cast<TKeyData*>(item);
            EXPECT_EQ(key->GetSharpMask(), 0);
            EXPECT_EQ(key->GetFlatMask(), 0);
        }
        if (item->GetType() == ntNote) {
            auto* note = static_cast<TMusicNote*>(item);
            crossHeads += note->HasCrossHead() ? 1 : 0;
            if (note->GetAccidental() == acSharp) ++sharps;
        }
    }
    EXPECT_EQ(keys, 1);
    EXPECT_EQ(crossHeads, 8);
    EXPECT_GT(sharps, 0);  // F sharp and A sharp still play as written
}

// A track that sets its key after a rest at the start of its first bar has the key at the start, before the
// rest, where a key signature stands.
TEST(SmfConvert, KeyAfterLeadingRestsMovesToTheStart) {
    TrackBuilder conductor, flute;
    conductor.Meta(0, 0x58, {4, 2, 24, 8}).Tempo(0, 500000).End();
    flute.Meta(96, 0x59, {3, 0});
    flute.Event(96, {0x90, 73, 90}).Event(180, {0x80, 73, 0});
    flute.Event(12, {0x90, 76, 90}).Event(180, {0x80, 76, 0}).End();
    auto score = Convert({conductor, flute});
    ASSERT_GE(score->GetStaffCount(), 1);
    TMusicStaff* staff = score->GetStaff(0);
    int key = -1, rest = -1, time = -1;
    for (int i = 0; i < staff->GetItemCount(); ++i) {
        const int type = staff->GetItem(i)->GetType();
        if (type == ntKey && key < 0) key = i;
        if (type == ntRest && rest < 0) rest = i;
        if (type == ntTimeSignature && time < 0) time = i;
    }
    ASSERT_GE(key, 0);
    ASSERT_GE(rest, 0);
    EXPECT_LT(key, rest);
    EXPECT_LT(key, time);
    EXPECT_NE(static_cast<TKeyData*>(staff->GetItem(key))->GetSharpMask(), 0);
}
