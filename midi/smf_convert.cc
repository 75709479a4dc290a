// The passes that turn one track of a read MIDI file into a staff.
#include "midi/smf_convert.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/hooks.h"
#include "core/ram_stream.h"
#include "core/text_utils.h"
#include "midi/smf_file.h"
#include "score/base/midi_file_buf.h"
#include "score/expression_items.h"
#include "score/lyrics.h"
#include "score/music_staff.h"
#include "score/pitch_ticks.h"
#include "score/song_note.h"
#include "score/staff_util.h"
#include "score/structure_items.h"

namespace {

// A staff with fewer free item slots takes no more items.
constexpr int kMinFreeSlots = 1500;
constexpr int kLyricNote = 71;
constexpr int kMaxLyricText = 60;

bool StaffIsFull(const TMusicStaff* staff) {
    return staff->GetFreeItemSlots() < kMinFreeSlots;
}

// Appends before the staff's closing bar line.
void Append(TMusicStaff* staff, TNotatedItem* item) {
    staff->InsertItem(item, staff->GetLastIndex());
}

bool PollCancel(SMFTrackConverter& c) {
    if (!c.Cancelled && IsLongTaskCancelled()) c.Cancelled = true;
    return c.Cancelled;
}

int SnapTo12(const SMFTrackConverter& c, int tick) {
    int t = ((tick + 6) / 12) * 12;
    return t < c.Position ? c.Position : t;
}

int QuantizeTick(const SMFTrackConverter& c, int tick) {
    const int s = SnapTo12(c, tick);
    const int q = c.QuantizeTicks > 0 ? c.QuantizeTicks : 12;
    return ((s + q / 2) / q) * q;
}

void ClearTie(TNotatedItem* item) {
    if (!item->IsSongNote()) return;
    static_cast<TSongNote*>(item)->ClearAttribute(naTie);
    if (item->GetType() == ntChord) {
        for (int i = 0; i < item->GetNoteCount(); ++i)
            item->GetNote(i)->ClearAttribute(naTie);
    }
}

// Staff position and accidental of a MIDI note spelt for the treble clef with sharps (+1) or flats (-1).
void Spell(int signedNote, int& position, int& accidental) {
    const int note = signedNote < 0 ? -signedNote : signedNote;
    MidiNoteToStaffPos(ctTreble, signedNote < 0 ? -1 : 1, note, position, accidental);
}

// The item that sounds the notes now sounding, or a rest; null when the staff is full.
TNotatedItem* MakeSoundingItem(SMFTrackConverter& c) {
    if (StaffIsFull(c.Staff)) return nullptr;
    if (c.SoundingCount == 0) return new TRestNote(dcQuarter, 0);
    int position = 0;
    int accidental = acNone;
    if (c.SoundingCount == 1) {
        Spell(c.Notes[0].Note, position, accidental);
        auto* note = new TMusicNote(position, dc64th, 0, accidental);
        ++c.Notes[0].Pieces;
        note->SetAttribute(naTie);
        return note;
    }
    auto chord = std::make_unique<TChordData>();
    for (int i = 0; i < c.SoundingCount; ++i) {
        SMFTrackConverter::Sounding& entry = c.Notes[i];
        int spelling = entry.Note;
        Spell(spelling, position, accidental);
        if (chord->FindNoteAtStaffPos(position) != nullptr) {
            spelling = -spelling;
            Spell(spelling, position, accidental);
            if (chord->FindNoteAtStaffPos(position) != nullptr) continue;  // no free position
        }
        auto note = std::make_unique<TMusicNote>(position, dc64th, 0, accidental);
        note->SetAttribute(naTie);
        if (!chord->AddNote(note.get())) continue;
        note.release();
        entry.Note = spelling;
        ++entry.Pieces;
    }
    chord->SetAttribute(naTie);
    return chord.release();
}

// Fills the staff up to the tick with what sounds (tied pieces of falling length) or with rests.
void AdvanceTo(SMFTrackConverter& c, int tick) {
    int d = tick - c.Position;
    if (d <= 0) return;
    TNotatedItem* last = nullptr;
    while (d > 0) {
        TNotatedItem* item = MakeSoundingItem(c);
        if (item == nullptr) {
            if (last != nullptr) ClearTie(last);
            return;  // the staff is full: the position stays
        }
        Append(c.Staff, item);
        const int ticks = SetDurationFromTicks(*item, d, false);
        // A zero step would never end; the duration table has none, but a damaged one must not hang.
        d -= ticks > 0 ? ticks : d;
        last = item;
    }
    c.Position = tick - d;
    c.SoundingCount = 0;
    if (last != nullptr) ClearTie(last);
}

int FindSounding(const SMFTrackConverter& c, int note) {
    for (int i = 0; i < c.SoundingCount; ++i) {
        const int n = c.Notes[i].Note < 0 ? -c.Notes[i].Note : c.Notes[i].Note;
        if (n == note) return i;
    }
    return -1;
}

bool InRange(const SMFTrackConverter& c, int note) {
    return note >= c.Instructions->LowNote && note <= c.Instructions->HighNote;
}

void NoteOff(SMFTrackConverter& c, int tick, int note) {
    if (!InRange(c, note)) return;
    int e = QuantizeTick(c, tick);
    const int i = FindSounding(c, note);
    if (i < 0) return;
    if (c.Notes[i].Pieces == 0 && e <= c.Position) {
        const int snapped = SnapTo12(c, tick) - c.Position;
        e = c.Position + (snapped > 12 ? snapped : 12);
    }
    AdvanceTo(c, e);
}

void NoteOn(SMFTrackConverter& c, int tick, int note) {
    if (!InRange(c, note)) return;
    AdvanceTo(c, QuantizeTick(c, tick));
    if (FindSounding(c, note) >= 0 || c.SoundingCount >= SMFTrackConverter::kMaxSounding) return;
    c.Notes[c.SoundingCount++] = {c.KeyFifths < 0 ? -note : note, 0};
}

void ShortMessage(SMFTrackConverter& c, const TMidiEvent& ev) {
    if ((c.Instructions->ChannelMask & (1u << ev.GetChannel())) == 0) return;
    const int tick = static_cast<int>(ev.Tick & 0x7FFFFFFF);
    switch (ev.GetCommand()) {
        case MIDI_CMD_NOTEOFF:
            NoteOff(c, tick, ev.Data1 & 0x7F);
            break;
        case MIDI_CMD_NOTEON:
            if (ev.Data2 == 0) {
                NoteOff(c, tick, ev.Data1 & 0x7F);
            } else {
                NoteOn(c, tick, ev.Data1 & 0x7F);
            }
            break;
        case MIDI_CMD_CONTROLLER: {
            if (ev.Data1 != 64 || (c.Instructions->Flags & SMF_MAKE_PEDALS) == 0) break;
            const int down = ev.Data2 >= 64 ? 1 : 0;
            if (down == c.PedalDown) break;
            c.PedalDown = down;
            if (c.SoundingCount == 0 || down == 0) AdvanceTo(c, QuantizeTick(c, tick));
            if (!StaffIsFull(c.Staff)) Append(c.Staff, new TSustainPedal(down));
            break;
        }
        case MIDI_CMD_PROGRAM: {
            const int patch = (ev.Data1 & 0x7F) + 1;
            if (c.Staff->Instrument.PatchByte == 0) c.Staff->Instrument.PatchByte = static_cast<BYTE>(patch);
            if ((c.Instructions->Flags & SMF_MAKE_PATCHES) == 0) break;
            AdvanceTo(c, QuantizeTick(c, tick));
            if (!StaffIsFull(c.Staff)) {
                auto* item = new TPatchData();
                item->SetPatchByte(patch);
                Append(c.Staff, item);
            }
            break;
        }
        default:
            break;
    }
}

void KeySignature(SMFTrackConverter& c, const TMidiEvent& ev) {
    const int tick = static_cast<int>(ev.Tick & 0x7FFFFFFF);
    AdvanceTo(c, QuantizeTick(c, tick));
    const int count = static_cast<int16_t>(static_cast<uint16_t>(ev.Status | (ev.Data1 << 8)));
    const int minor = ev.Data2 != 0 ? 1 : 0;
    const int fifths = count % 8;  // beyond seven: the remainder, sign kept
    int tonic = FifthsToMajorTonic(fifths);
    if (minor) tonic = (tonic + 5) % 7;
    static constexpr int kFlatOrder[7] = {1, 4, 0, 3, 6, 2, 5};   // B E A D G C F
    static constexpr int kSharpOrder[7] = {5, 2, 6, 3, 0, 4, 1};  // F C G D A E B
    uint16_t sharps = 0;
    uint16_t flats = 0;
    const int n = fifths < 0 ? -fifths : fifths;
    for (int i = 0; i < n; ++i) {
        if (fifths < 0) {
            flats = static_cast<uint16_t>(flats | (1u << kFlatOrder[i]));
        } else {
            sharps = static_cast<uint16_t>(sharps | (1u << kSharpOrder[i]));
        }
    }
    if (!StaffIsFull(c.Staff)) Append(c.Staff, new TKeyData(sharps, flats, tonic));
    c.KeyFifths = count;
    c.KeyMinor = minor;
}

void MetaEvent(SMFTrackConverter& c, const TMidiEvent& ev) {
    const int tick = static_cast<int>(ev.Tick & 0x7FFFFFFF);
    switch (ev.GetKind()) {
        case MIDI_KIND_TEMPO: {
            if (c.Kind != 0) break;
            const int bpm = TMidiEvent::GetTempoBpm(ev.GetMessage());
            AdvanceTo(c, QuantizeTick(c, tick));
            if (StaffIsFull(c.Staff)) break;
            auto* tempo = new TTempoData(bpm, tbQuarter);
            tempo->SetStaffPos(-2);
            Append(c.Staff, tempo);
            break;
        }
        case MIDI_KIND_TIMESIG:
            if (c.Kind != 0) break;
            AdvanceTo(c, QuantizeTick(c, tick));
            if (!StaffIsFull(c.Staff))
                Append(c.Staff, new TTimeSignatureData(ev.Status, ev.Data1, tsStandard));
            break;
        case MIDI_KIND_KEYSIG:
            if (c.Kind == 2) break;
            KeySignature(c, ev);
            break;
        default:
            break;
    }
}

// Walks the track's events: short messages on note staves, meta events by the pass's kind.
void WalkEvents(SMFTrackConverter& c) {
    TSMFTrackData* track = c.Track;
    const int count = track->GetEventCount();
    for (int i = 0; i < count; ++i) {
        if (PollCancel(c)) return;
        const TMidiEvent& ev = *track->GetEvent(i);
        if (ev.IsShortMsg()) {
            if (c.Kind == 1) ShortMessage(c, ev);
        } else {
            MetaEvent(c, ev);
        }
        if (StaffIsFull(c.Staff)) return;
    }
}

void StartPass(SMFTrackConverter& c, int kind, const TSMFImportInstructions* record) {
    c.Kind = kind;
    c.Instructions = record;
    c.Track = nullptr;
    c.Staff = new TMusicStaff();
    c.Position = 0;
    c.SoundingCount = 0;
    c.PedalDown = 0;
    c.QuantizeTicks = DurationToTicks(record->QuantizeDuration);
    c.RestTicks = DurationToTicks(record->RestDuration);
}

void SetLocalRecord(SMFTrackConverter& c, int quantize, int rest) {
    DefaultInstructions(c.Local);
    c.Local.QuantizeDuration = static_cast<uint8_t>(quantize);
    c.Local.RestDuration = static_cast<uint8_t>(rest);
}

bool IsLyricKind(int lyricKind, int type, const char* text) {
    if (text[0] == 0) return false;
    if (lyricKind == 1) return type == SMF_LYRIC;
    if (lyricKind == 2) return type == SMF_TEXT && text[0] != '@';
    return false;
}

// Reads the texts of the kind in order; calls f(tick, text) for each.
template <class F>
void ForEachLyricText(TSMFTrackData* track, int lyricKind, F f) {
    TQSRStream& stream = track->GetTextStream();
    stream.Rewind();
    DWORD tick = 0;
    int type = 0;
    char text[kMaxLyricText + 1];
    while (track->ReadText(tick, type, text, sizeof(text))) {
        if (IsLyricKind(lyricKind, type, text) && !f(static_cast<int>(tick & 0x7FFFFFFF), text)) return;
    }
}

}  // namespace

void DefaultInstructions(TSMFImportInstructions& record) {
    record.ChannelMask = 0xFFFF;
    record.Track = 0;
    record.HighNote = 127;
    record.LowNote = 0;
    record.QuantizeDuration = dc32nd;
    record.RestDuration = dcQuarter;
    record.Flags = SMF_GROUP_NOTES | SMF_COMPOUND_BEATS;
}

void InitTrackConverter(SMFTrackConverter& converter) {
    std::memset(&converter, 0, sizeof(converter));
    converter.Kind = 1;
    DefaultInstructions(converter.Local);
}

void NameMidiTrack(SMFTrackConverter& c) {
    c.Position = 0;
    c.SoundingCount = 0;
    c.PedalDown = 0;
    if (c.Kind == 0) {
        c.Staff->SetGroup("Conductor");
        c.Staff->SetName("Tempo Track");
        return;
    }
    if (c.Kind == 2) c.Staff->SetGroup("Lyrics");
    if (c.Track == nullptr) return;
    char name[32];
    const char* source = c.Track->GetName()[0] != 0 ? c.Track->GetName() : c.Track->GetInstrumentName();
    SafeStrCopy(name, source, sizeof(name));
    TrimLeft(name);
    TrimRight(name);
    if (name[0] != 0) c.Staff->SetName(name);
}

TMusicStaff* ConvertConductorTrack(SMFTrackConverter& c, TSMFData* data) {
    c.Data = data;
    SetLocalRecord(c, dc32nd, dcEighth);
    StartPass(c, 0, &c.Local);
    std::unique_ptr<TMusicStaff> staff(c.Staff);  // the pass's until it ends: gone if it fails
    if (data != nullptr && data->GetTrackCount() >= 1) {
        c.Track = data->GetTrack(0);
        NameMidiTrack(c);
        if (!c.Track->IsEmpty()) WalkEvents(c);
    }
    return staff.release();
}

TMusicStaff* ConvertNoteTrack(SMFTrackConverter& c, TSMFData* data, const TSMFImportInstructions& record) {
    c.Data = data;
    StartPass(c, 1, &record);
    std::unique_ptr<TMusicStaff> staff(c.Staff);  // the pass's until it ends: gone if it fails
    int channel = 0;
    while (channel < 15 && (record.ChannelMask & (1u << channel)) == 0)
        ++channel;
    c.Staff->Channel = channel;
    if (data != nullptr && record.Track < data->GetTrackCount()) {
        c.Track = data->GetTrack(record.Track);
        NameMidiTrack(c);
        if (!c.Track->IsEmpty()) WalkEvents(c);
    }
    return staff.release();
}

TMusicStaff* ConvertLyricTrack(SMFTrackConverter& c, TSMFData* data, int track, int lyricKind) {
    c.Data = data;
    SetLocalRecord(c, dc16th, dcEighth);
    StartPass(c, 2, &c.Local);
    std::unique_ptr<TMusicStaff> staff(c.Staff);  // the pass's until it ends: gone if it fails
    c.Staff->SetLineCount(0);
    if (data == nullptr || track < 0 || track >= data->GetTrackCount()) return staff.release();
    c.Track = data->GetTrack(track);
    NameMidiTrack(c);
    TQSRFlatRamStream text(32000, 32000);

    // First reading: are separators at the ends of the texts (trailing) or at their starts (leading), and
    // are words parted by hyphens or spaces.
    int trailing = 0;
    int leading = 0;
    int hyphens = 0;
    int spaces = 0;
    static const char kAllMarks[] = "- \r\n\\/";
    ForEachLyricText(c.Track, lyricKind, [&](int, const char* s) {
        const size_t n = std::strlen(s);
        if (n <= 1) return true;
        char found = 0;
        if (std::strchr(kAllMarks, s[n - 1]) != nullptr) {
            ++trailing;
            found = s[n - 1];
        } else if (std::strchr(kAllMarks, s[0]) != nullptr) {
            ++leading;
            found = s[0];
        }
        if (found == '-') ++hyphens;
        if (found == ' ') ++spaces;
        return true;
    });
    const bool trailingStyle = leading <= trailing;
    const char* marks = trailingStyle ? "- \r\n" : kAllMarks;
    const char defaultSeparator = hyphens <= spaces ? '-' : ' ';

    // Second reading: the syllables, each with a note of its own.
    bool written = false;
    bool stopped = false;
    int column = 0;
    int previousTick = 0;
    char left = ' ';
    ForEachLyricText(c.Track, lyricKind, [&](int tick, const char* s) {
        if (PollCancel(c)) {
            stopped = true;
            return false;
        }
        if (StaffIsFull(c.Staff)) return false;
        if (std::strcmp(s, "\r") == 0 || std::strcmp(s, "\n") == 0) {
            text.Printf("\n");
            column = 0;
            return true;
        }
        char buffer[kMaxLyricText + 1];
        SafeStrCopy(buffer, s, sizeof(buffer));
        char* syllable = buffer;
        char separator = defaultSeparator;
        size_t n = std::strlen(syllable);
        if (trailingStyle) {
            separator = left;
            left = defaultSeparator;
            if (n > 0 && std::strchr(marks, syllable[n - 1]) != nullptr) {
                left = syllable[n - 1];
                syllable[--n] = 0;
            }
        } else if (n > 0 && std::strchr(marks, syllable[0]) != nullptr) {
            separator = syllable[0];
            ++syllable;
        }
        for (char* p = syllable; *p != 0; ++p) {
            if (*p == ' ' || *p == '-' || *p == '\r' || *p == '\n' || *p == '\t') *p = '_';
        }
        if (syllable[0] == '\\' || syllable[0] == '/') {
            if (written) text.Printf(syllable[0] == '/' ? "\n" : "\n\n");
            column = 0;
            ++syllable;
        }
        if (separator == '\n' || separator == '\r' || separator == '/') {
            text.Printf("\n");
            column = 0;
        } else if (separator == '\\') {
            text.Printf("\n\n");
            column = 0;
        } else if (column != 0) {
            text.Put(separator);
            ++column;
        }
        const int length = static_cast<int>(std::strlen(syllable));
        if (length == 0) return true;
        if (separator == ' ' && column + length > 80) {
            text.Printf("\n");
            column = 0;
        }
        if (written) NoteOff(c, tick < previousTick + 384 ? tick : previousTick + 384, kLyricNote);
        NoteOn(c, tick, kLyricNote);
        text.WriteBlock(syllable, static_cast<DWORD>(length));
        column += length;
        written = true;
        previousTick = tick;
        return true;
    });
    if (stopped || !written) return staff.release();
    NoteOff(c, previousTick + 192, kLyricNote);
    text.Rewind();
    auto line = std::make_unique<TLyricText>();
    line->ReadFromStream(text, true);
    auto lyrics = std::make_unique<TStaffLyrics>();
    lyrics->Add(line.release());
    lyrics->UnderscoreAsSpace = 1;
    c.Staff->SetLyrics(lyrics.release());
    return staff.release();
}

void InsertItemAtTimeFrom(TMusicStaff* staff, int tick, TNotatedItem* item, TStaffTickCursor& cursor) {
    std::unique_ptr<TNotatedItem> owned(item);  // the staff's also when a split on the way throws
    // The walk of TMusicStaff::InsertItemAtTime, started at the cursor: the items before it end before the
    // tick, so the walk would pass them without cutting any.
    if (cursor.Tick >= tick) cursor = TStaffTickCursor();
    int t = cursor.Tick;
    int i = cursor.Index;
    while (t < tick && i < staff->GetLastIndex()) {
        if (t > tick - 1536) staff->SplitItemAt(i, t, tick);
        t += staff->GetItem(i)->GetDuration();
        ++i;
        if (t < tick) cursor = {i, t};
    }
    staff->InsertItem(owned.release(), i);
}

void InsertAtTick(TMusicStaff* staff, int tick, TNotatedItem* item, TStaffTickCursor& cursor) {
    std::unique_ptr<TNotatedItem> owned(item);  // the staff's also when a split on the way throws
    if (staff == nullptr || item == nullptr) return;
    if (cursor.Tick >= tick) cursor = TStaffTickCursor();
    int time = cursor.Tick;
    int at = -1;
    for (int i = cursor.Index; i < staff->GetLastIndex(); ++i) {
        if (time == tick) {
            at = i;
            break;
        }
        time += staff->GetItem(i)->GetDuration();
        if (time > tick) break;
        if (time < tick) cursor = {i + 1, time};
    }
    if (at < 0 && time == tick && tick > 0) at = staff->GetLastIndex();
    if (at < 0) {
        InsertItemAtTimeFrom(staff, tick, owned.release(), cursor);
        return;
    }
    // Behind the signatures that stand at the tick, before its first note, rest or chord.
    while (at < staff->GetLastIndex()) {
        const int type = staff->GetItem(at)->GetType();
        if (type == ntNote || type == ntRest || type == ntChord) break;
        ++at;
    }
    staff->InsertItem(owned.release(), at);
}

void InsertAtTick(TMusicStaff* staff, int tick, TNotatedItem* item) {
    TStaffTickCursor cursor;
    InsertAtTick(staff, tick, item, cursor);
}

char* ChannelMaskToText(WORD mask, char* buffer) {
    buffer[0] = 0;
    if (mask == 0) {
        std::strcpy(buffer, "-");
        return buffer;
    }
    char* out = buffer;
    int channel = 0;
    while (channel < 16) {
        if ((mask & (1u << channel)) == 0) {
            ++channel;
            continue;
        }
        int end = channel;
        while (end + 1 < 16 && (mask & (1u << (end + 1))) != 0)
            ++end;
        if (out != buffer) *out++ = ',';
        const int first = channel + 1;
        const int last = end + 1;
        if (last == first) {
            out += std::sprintf(out, "%d", first);
        } else if (last == first + 1) {
            out += std::sprintf(out, "%d,%d", first, last);
        } else {
            out += std::sprintf(out, "%d-%d", first, last);
        }
        channel = end + 1;
    }
    return buffer;
}
