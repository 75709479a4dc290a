#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/ram_stream.h"
#include "midi/smf_file.h"
#include "midi/tests/smf_builder.h"

using namespace qsm::test;

namespace {

struct Imported {
    TSMFData data;
    std::string log;
};

void Import(Imported& out, Bytes bytes) {
    TQSRFlatRamStream in(bytes.data(), static_cast<DWORD>(bytes.size()), static_cast<DWORD>(bytes.size()));
    TQSRFlatRamStream log(1024, 1024);
    TSMFImport::Run(&out.data, &in, &log);
    out.log.assign(reinterpret_cast<const char*>(log.GetData()), log.GetSize());
}

// Events of a track as (tick, status, data1, data2) for short messages.
struct Ev {
    DWORD tick;
    int status, d1, d2;
    bool operator==(const Ev&) const = default;
};

std::vector<Ev> ShortEvents(const TSMFTrackData* track) {
    std::vector<Ev> out;
    for (int i = 0; i < track->GetEventCount(); ++i) {
        const TMidiEvent* e = track->GetEvent(i);
        if (e->IsShortMsg()) out.push_back({e->Tick, e->Status, e->Data1, e->Data2});
    }
    return out;
}

std::vector<const TMidiEvent*> EventsOfKind(const TSMFTrackData* track, int kind) {
    std::vector<const TMidiEvent*> out;
    for (int i = 0; i < track->GetEventCount(); ++i)
        if (track->GetEvent(i)->GetKind() == kind) out.push_back(track->GetEvent(i));
    return out;
}

int CountLines(const std::string& log, const char* text) {
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(SmfReader, JunkBeforeHeaderAndRiffWrapperAreSkipped) {
    TrackBuilder t;
    t.Event(0, {0x90, 60, 100}).Event(96, {0x80, 60, 0}).End();
    Bytes file = MakeFile(0, 96, {t});

    Bytes junk(128 + file.size(), 0x55);
    std::copy(file.begin(), file.end(), junk.begin() + 128);
    Imported a;
    Import(a, junk);
    EXPECT_EQ(a.log, "");
    ASSERT_EQ(a.data.GetTrackCount(), 1);
    EXPECT_EQ(ShortEvents(a.data.GetTrack(0)), (std::vector<Ev>{{0, 0x90, 60, 100}, {192, 0x80, 60, 0}}));

    // A RIFF "RMID" envelope around the same file.
    Bytes riff = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'M', 'I', 'D', 'd', 'a', 't', 'a', 0, 0, 0, 0};
    riff.insert(riff.end(), file.begin(), file.end());
    Imported b;
    Import(b, riff);
    EXPECT_EQ(b.log, "");
    EXPECT_EQ(ShortEvents(b.data.GetTrack(0)), ShortEvents(a.data.GetTrack(0)));

    Imported c;
    Import(c, Bytes(300, 'x'));
    EXPECT_NE(c.log.find("Error["), std::string::npos);
    EXPECT_NE(c.log.find("]: This is not a MIDI file.\r\n"), std::string::npos);
    EXPECT_EQ(c.data.GetTrackCount(), 0);
}

TEST(SmfReader, TicksAreRescaledExactlyTo192PerQuarter) {
    struct Case {
        int division;
        uint32_t delta;
        DWORD expected;
    } cases[] = {
        {96, 96, 192}, {480, 480, 192}, {480, 240, 96}, {120, 1, 2},  // 192/120: 1 + MulDiv(1, 72, 120) = 2
        {120, 7, 11},  {192, 5, 5},     {0, 32, 192},   {256, 100, 75},
    };
    for (const Case& c : cases) {
        TrackBuilder t;
        t.Event(c.delta, {0x90, 60, 1}).End();
        Imported im;
        Import(im, MakeFile(0, c.division, {t}));
        ASSERT_EQ(im.data.GetTrackCount(), 1) << c.division;
        EXPECT_EQ(im.data.GetTrack(0)->GetEvent(0)->Tick, c.expected) << "division " << c.division;
    }

    // Frame-based divisions are read without failing.
    TrackBuilder t;
    t.Event(50, {0x90, 60, 1}).End();
    Imported im;
    Import(im, MakeFile(0, 0xE728, {t}));  // 25 frames of 40 ticks: 500 ticks per quarter at 120 bpm
    EXPECT_EQ(im.log, "");
    EXPECT_EQ(im.data.GetTrack(0)->GetEvent(0)->Tick, 19u);
}

TEST(SmfReader, ChannelMessagesRunningStatusAndNoteOffs) {
    TrackBuilder t;
    t.Event(0, {0x90, 60, 100})
        .Event(0, {62, 90})      // running status
        .Event(10, {60, 0})      // note-on with velocity 0
        .Event(0, {0xC3, 5})     // program: one data byte
        .Event(0, {0xE3, 1, 2})  // pitch bend
        .Event(0, {0xB3, 7, 100})
        .Event(0, {0xF8})    // real-time byte: ignored, running status kept
        .Event(0, {10, 64})  // running status controller
        .End();
    Imported im;
    Import(im, MakeFile(0, 192, {t}));
    EXPECT_EQ(im.log, "");
    // At tick 10 the note-off sorts first; the rest keep their order.
    EXPECT_EQ(ShortEvents(im.data.GetTrack(0)), (std::vector<Ev>{{0, 0x90, 60, 100},
                                                                 {0, 0x90, 62, 90},
                                                                 {10, 0x80, 60, 0},
                                                                 {10, 0xC3, 5, 0},
                                                                 {10, 0xE3, 1, 2},
                                                                 {10, 0xB3, 7, 100},
                                                                 {10, 0xB3, 10, 64}}));

    // A note-on with velocity 0 becomes a note-off and goes before a note-on of the same tick.
    TrackBuilder u;
    u.Event(0, {0x90, 64, 80}).Event(192, {0x90, 65, 80}).Event(0, {0x90, 64, 0}).End();
    Imported im2;
    Import(im2, MakeFile(0, 192, {u}));
    EXPECT_EQ(ShortEvents(im2.data.GetTrack(0)),
              (std::vector<Ev>{{0, 0x90, 64, 80}, {192, 0x80, 64, 0}, {192, 0x90, 65, 80}}));
}

TEST(SmfReader, DataBytesWithoutStatus) {
    // After a meta event the earlier status is taken again, with a warning.
    TrackBuilder t;
    t.Event(0, {0x91, 60, 100}).Text(0, 1, "x").Text(0, 1, "y").Event(10, {60, 0}).End();
    Imported im;
    Import(im, MakeFile(0, 192, {t}));
    EXPECT_EQ(CountLines(im.log, "Unexpected running status"), 1);
    EXPECT_EQ(ShortEvents(im.data.GetTrack(0)), (std::vector<Ev>{{0, 0x91, 60, 100}, {10, 0x81, 60, 0}}));

    // A data byte before any status cannot be read as a message: it is dropped with the warning, and
    // reading goes on with the next byte.
    TrackBuilder u;
    u.Event(0, {60}).Event(0, {0x90, 61, 100}).End();
    Imported im2;
    Import(im2, MakeFile(0, 192, {u}));
    EXPECT_EQ(CountLines(im2.log, "Unexpected running status"), 1);
    EXPECT_EQ(ShortEvents(im2.data.GetTrack(0)), (std::vector<Ev>{{0, 0x90, 61, 100}}));

    // Status bytes F1-F6 are reported with their value.
    TrackBuilder v;
    v.Event(0, {0xF4}).Event(0, {0x90, 61, 100}).End();
    Imported im3;
    Import(im3, MakeFile(0, 192, {v}));
    EXPECT_EQ(CountLines(im3.log, "Unexpected status byte (244)"), 1);
    EXPECT_EQ(ShortEvents(im3.data.GetTrack(0)).size(), 1u);
}

TEST(SmfReader, ZeroLengthNotesEndAfterTheyBegin) {
    // 1 tick at division 960 rescales to 0: the note-off would sort before its note-on and the note hang.
    TrackBuilder t;
    t.Event(0, {0x93, 55, 90}).Event(0, {0x83, 55, 0}).Event(0, {0x93, 57, 90}).Event(1, {0x93, 57, 0}).End();
    Imported im;
    Import(im, MakeFile(0, 960, {t}));
    EXPECT_EQ(ShortEvents(im.data.GetTrack(0)),
              (std::vector<Ev>{{0, 0x93, 55, 90}, {0, 0x93, 57, 90}, {1, 0x83, 55, 0}, {1, 0x83, 57, 0}}));
}

TEST(SmfReader, Utf8TextsAreTakenIntoTheCodePageWhereEveryCharacterFits) {
    TrackBuilder conductor;
    conductor
        .Text(0, 3, "Caf\xC3\xA9 \xC3\xBC\xE2\x82\xAC")  // fits the ANSI page
        .Text(0, 5, "\xE4\xB8\xAD\xC3\xA9")              // a character without a place: kept
        .Text(0, 5, "d\xE9j\xE0")                        // not UTF-8: kept
        .End();
    Imported im;
    Import(im, MakeFile(1, 192, {conductor}));
    EXPECT_STREQ(im.data.GetText(SMF_FIELD_TITLE), "Caf\xE9 \xFC\x80");
    TSMFTrackData* track = im.data.GetTrack(0);
    ASSERT_NE(track, nullptr);
    track->FindText(0);  // rewinds the texts
    DWORD tick = 0;
    int type = 0;
    char text[64];
    std::vector<std::string> texts;
    while (track->ReadText(tick, type, text, sizeof(text)))
        texts.push_back(text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Caf\xE9 \xFC\x80", "\xE4\xB8\xAD\xC3\xA9", "d\xE9j\xE0"}));
}

TEST(SmfReader, MetaEventsGoToTheirTracks) {
    TrackBuilder conductor;
    conductor.Text(0, 3, "Song Title")
        .Text(0, 2, "Copyright 1999\rSecond line")
        .Text(0, 1, "Music By Ann Smith")
        .Tempo(0, 640000)
        .Meta(0, 0x58, {6, 3, 24, 8})
        .End();
    TrackBuilder piano;
    piano.Text(0, 3, "Piano")
        .Text(0, 3, "Other name")
        .Text(0, 4, "Grand")
        .Text(0, 2, "Ignored: both copyright lines are set")
        .Meta(0, 0x21, {2})
        .Meta(0, 0x59, {0xFD, 1})  // 3 flats, minor
        .Tempo(192, 500000)        // goes to the first track
        .Event(0, {0x90, 60, 100})
        .Text(10, 5, "la")
        .Event(182, {0x80, 60, 0})
        .End();
    TrackBuilder empty;
    empty.End();
    TrackBuilder textOnly;
    textOnly.Text(0, 1, "@KMIDI KARAOKE FILE").Text(96, 1, "Hel").End();
    Imported im;
    Import(im, MakeFile(1, 192, {conductor, piano, empty, textOnly}));
    EXPECT_EQ(im.log, "");

    EXPECT_STREQ(im.data.GetText(SMF_FIELD_TITLE), "Song Title");
    EXPECT_STREQ(im.data.GetText(SMF_FIELD_AUTHOR), "Ann Smith");
    EXPECT_STREQ(im.data.GetText(SMF_FIELD_COPYRIGHT), "Copyright 1999");
    EXPECT_STREQ(im.data.GetText(SMF_FIELD_COPYRIGHT2), "Second line");

    // The empty third track is dropped; the text-only track stays.
    ASSERT_EQ(im.data.GetTrackCount(), 3);
    TSMFTrackData* first = im.data.GetTrack(0);
    TSMFTrackData* second = im.data.GetTrack(1);
    TSMFTrackData* third = im.data.GetTrack(2);
    EXPECT_STREQ(first->GetName(), "Song Title");
    EXPECT_STREQ(second->GetName(), "Piano");
    EXPECT_STREQ(second->GetInstrumentName(), "Grand");
    EXPECT_EQ(second->GetPort(), 2);

    // Tempo (exact microseconds) and time signatures on the first track, key signatures where they stand.
    auto tempos = EventsOfKind(first, MIDI_KIND_TEMPO);
    ASSERT_EQ(tempos.size(), 2u);
    EXPECT_EQ(TMidiEvent::GetTempoMicros(tempos[0]->GetMessage()), 640000u);
    EXPECT_EQ(tempos[1]->Tick, 192u);
    EXPECT_EQ(TMidiEvent::GetTempoMicros(tempos[1]->GetMessage()), 500000u);
    auto times = EventsOfKind(first, MIDI_KIND_TIMESIG);
    ASSERT_EQ(times.size(), 1u);
    EXPECT_EQ(times[0]->Status, 6);
    EXPECT_EQ(times[0]->Data1, 3);
    auto keys = EventsOfKind(second, MIDI_KIND_KEYSIG);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(static_cast<int16_t>(keys[0]->Status | (keys[0]->Data1 << 8)), -3);
    EXPECT_EQ(keys[0]->Data2, 1);
    EXPECT_TRUE(EventsOfKind(first, MIDI_KIND_KEYSIG).empty());

    // Lyrics at tick 1 or later count; text events beginning with "@" do not.
    EXPECT_TRUE(second->FindText(1));
    EXPECT_FALSE(second->FindText(2));
    EXPECT_FALSE(second->FindText(0));
    EXPECT_TRUE(third->FindText(2));
    EXPECT_FALSE(third->FindText(1));

    // The text records in order.
    TQSRStream& texts = third->GetTextStream();
    texts.Rewind();
    DWORD tick = 0;
    int type = 0;
    char text[8];
    ASSERT_TRUE(third->ReadText(tick, type, text, sizeof(text)));
    EXPECT_EQ(tick, 0u);
    EXPECT_EQ(type, 1);
    EXPECT_STREQ(text, "@KMIDI ");  // cut to the buffer
    ASSERT_TRUE(third->ReadText(tick, type, text, sizeof(text)));
    EXPECT_EQ(tick, 96u);
    EXPECT_STREQ(text, "Hel");
    EXPECT_FALSE(third->ReadText(tick, type, text, sizeof(text)));

    // An empty first track is kept.
    TrackBuilder none;
    none.End();
    TrackBuilder notes;
    notes.Event(0, {0x90, 60, 1}).End();
    Imported im2;
    Import(im2, MakeFile(1, 192, {none, notes}));
    EXPECT_EQ(im2.data.GetTrackCount(), 2);
    EXPECT_TRUE(im2.data.GetTrack(0)->IsEmpty());

    // The author rule takes the text after "By " and only from the first track at tick 0.
    TrackBuilder byLater;
    byLater.Text(5, 1, "By Nobody").Text(0, 1, "Words By Bob").End();
    Imported im3;
    Import(im3, MakeFile(0, 192, {byLater}));
    EXPECT_STREQ(im3.data.GetText(SMF_FIELD_AUTHOR), "");
}

TEST(SmfReader, HostileLengthsAreBounded) {
    // A system-exclusive message longer than the message buffer keeps 60000 bytes, and its record says so.
    Bytes big(70000, 0x11);
    big.back() = 0xF7;
    TrackBuilder t;
    t.SysEx(0, big).Event(0, {0x90, 60, 1}).End();
    Imported im;
    Import(im, MakeFile(0, 192, {t}));
    EXPECT_EQ(CountLines(im.log, "Warning["), 1);
    EXPECT_EQ(ShortEvents(im.data.GetTrack(0)).size(), 1u);
    TQSRStream& sysex = im.data.GetSysExStream();
    sysex.Rewind();
    EXPECT_EQ(sysex.Get(), 0xF0);
    EXPECT_EQ(sysex.ReadLong(), 0u);
    EXPECT_EQ(sysex.ReadWord(), TSMFInStream::kMaxMessage);
    EXPECT_EQ(sysex.GetSize(), 7 + TSMFInStream::kMaxMessage);

    // Meta events shorter than their type needs are passed on as other meta events, with a warning.
    TrackBuilder u;
    u.Meta(0, 0x51, {7})
        .Meta(0, 0x58, {4, 2})
        .Meta(0, 0x59, {1})
        .Meta(0, 0x00, {})
        .Event(0, {0x90, 60, 1})
        .End();
    Imported im2;
    Import(im2, MakeFile(0, 192, {u}));
    EXPECT_EQ(CountLines(im2.log, "too short"), 3);
    EXPECT_EQ(im2.data.GetTrack(0)->GetEventCount(), 1);

    // A meta event whose stated length runs past its chunk reads what the chunk holds.
    TrackBuilder v;
    v.Event(0, {0x90, 60, 1}).Raw({0, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F, 'a', 'b'});
    Imported im3;
    Import(im3, MakeFile(0, 192, {v}));
    EXPECT_EQ(CountLines(im3.log, "Attempt to read past end of record"), 1);
    EXPECT_EQ(ShortEvents(im3.data.GetTrack(0)).size(), 1u);
}

TEST(SmfReader, ChunksAndTruncation) {
    TrackBuilder a;
    a.Event(0, {0x90, 60, 1}).End();
    TrackBuilder b;
    b.Event(0, {0x90, 62, 1}).End();
    // A chunk of another type between the tracks, whose data holds an "M", is skipped by its length.
    Bytes file = MakeHeader(1, 2, 192);
    AppendTrack(file, a);
    Bytes alien = {'X', 'Y', 'Z', 'W', 0, 0, 0, 5, 'M', 'T', 'r', 0, 0};
    file.insert(file.end(), alien.begin(), alien.end());
    AppendTrack(file, b);
    Imported im;
    Import(im, file);
    EXPECT_EQ(CountLines(im.log, "Chunk [XYZW] of 5 bytes skipped"), 1);
    ASSERT_EQ(im.data.GetTrackCount(), 2);
    EXPECT_EQ(ShortEvents(im.data.GetTrack(1)), (std::vector<Ev>{{0, 0x90, 62, 1}}));

    // Padding bytes before a track tag are scanned over.
    Bytes padded = MakeHeader(1, 2, 192);
    AppendTrack(padded, a);
    padded.insert(padded.end(), {0, 0, 0});
    AppendTrack(padded, b);
    Imported im2;
    Import(im2, padded);
    EXPECT_EQ(CountLines(im2.log, "Expected string [MTrk] not found in proper place"), 1);
    EXPECT_EQ(im2.data.GetTrackCount(), 2);

    // A missing tag ends the reading with an error; the tracks read so far stay.
    Bytes broken = MakeHeader(1, 2, 192);
    AppendTrack(broken, a);
    broken.insert(broken.end(), {0, 'M', 'x', 'y', 'z'});
    Imported im3;
    Import(im3, broken);
    EXPECT_EQ(CountLines(im3.log, "Expected string [MTrk] not found\r\n"), 1);
    EXPECT_EQ(im3.data.GetTrackCount(), 1);

    // A track cut short: an error when more than one byte is missing, a warning for one byte.
    Bytes whole = MakeFile(0, 192, {a});
    Bytes cut(whole.begin(), whole.end() - 3);
    Imported im4;
    Import(im4, cut);
    EXPECT_EQ(CountLines(im4.log, "Error["), 1);
    EXPECT_EQ(CountLines(im4.log, "Premature error detected"), 1);
    EXPECT_EQ(ShortEvents(im4.data.GetTrack(0)).size(), 1u);
    Bytes cut1(whole.begin(), whole.end() - 1);
    Imported im5;
    Import(im5, cut1);
    EXPECT_EQ(CountLines(im5.log, "Warning["), 1);
    EXPECT_EQ(CountLines(im5.log, "Error["), 0);

    // Every prefix of a file reads without harm.
    TrackBuilder c;
    c.Text(0, 3, "Name")
        .Tempo(0, 600000)
        .Event(0, {0x90, 60, 100})
        .Event(96, {60, 0})
        .SysEx(0, {1, 2, 0xF7})
        .End();
    Bytes full = MakeFile(1, 96, {c, a});
    for (size_t n = 0; n <= full.size(); ++n) {
        Imported part;
        Import(part, Bytes(full.begin(), full.begin() + static_cast<long>(n)));
        EXPECT_LE(part.data.GetTrackCount(), 2);
    }
}

TEST(SmfReader, TrackDataAndDataReset) {
    TSMFData data(3);
    EXPECT_EQ(data.GetTrackCount(), 3);
    EXPECT_EQ(data.GetTrack(3), nullptr);
    data.SetText(SMF_FIELD_TITLE, std::string(400, 'a').c_str());
    EXPECT_EQ(std::strlen(data.GetText(SMF_FIELD_TITLE)), 254u);
    data.GetTrack(1)->SetName("A name longer than the forty characters of the field");
    EXPECT_EQ(std::strlen(data.GetTrack(1)->GetName()), 39u);
    data.GetTrack(1)->AddTempo(0, 100);
    data.GetSysExStream().Put(1);
    data.Reset(1);
    EXPECT_EQ(data.GetTrackCount(), 1);
    EXPECT_STREQ(data.GetText(SMF_FIELD_TITLE), "");
    EXPECT_EQ(data.GetSysExStream().GetSize(), 0u);
    EXPECT_TRUE(data.GetTrack(0)->IsEmpty());
    EXPECT_EQ(SMFPack32(1, 2, 3, 4), 0x01020304u);
    EXPECT_EQ(SMFPack16(0xAB, 0xCD), 0xABCD);
}
