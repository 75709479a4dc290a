// MIDI files into notation: the conversion of one track's events into a staff (the conductor staff of
// tempo, time and key signatures, a note staff per instruction record, a lyric staff per track with lyric
// texts), and the driver that turns a whole read file into a formatted score.
//
// All times are ticks at 192 per quarter note. A staff is filled as a plain run of items appended at its
// end while a time cursor (Position) walks forward; bar lines, clefs and rhythm clean-up follow when the
// whole score is finished.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/base/wintypes.h"

class TMusicScore;
class TMusicStaff;
class TNotatedItem;
class TProgressCounter;
class TSMFData;
class TSMFTrackData;

// Flag bits of an instruction record.
enum : uint8_t {
    SMF_MAKE_PEDALS = 0x01,    // sustain pedal items
    SMF_MAKE_PATCHES = 0x02,   // patch items
    SMF_GROUP_NOTES = 0x04,    // the note grouping clean-up
    SMF_COMPOUND_BEATS = 0x08  // bars of 6, 9, 12 ... beats count three written beats as one
};

// What one note staff takes from the file.
struct TSMFImportInstructions {
    WORD ChannelMask;          // bit n: MIDI channel n + 1
    WORD Track;                // index of the track in the file
    uint8_t HighNote;          // highest MIDI note taken
    uint8_t LowNote;           // lowest MIDI note taken
    uint8_t QuantizeDuration;  // duration code of the grid
    uint8_t RestDuration;      // duration code handed to the rest regrouping
    uint8_t Flags;
};

// All 16 channels, track 0, notes 0-127, a thirty-second grid, quarter rests, grouping in compound beats.
void DefaultInstructions(TSMFImportInstructions& record);

using TSMFImportList = std::vector<TSMFImportInstructions>;

// State shared by the passes of one conversion.
struct SMFTrackConverter {
    struct Sounding {
        int32_t Note;    // MIDI note; negative when spelt with flats
        int32_t Pieces;  // times the note has been written
    };
    static constexpr int kMaxSounding = 30;

    int32_t Kind;  // 0 conductor, 1 note staff, 2 lyric staff
    TSMFData* Data;
    const TSMFImportInstructions* Instructions;
    TSMFTrackData* Track;
    TMusicStaff* Staff;
    int32_t Position;
    int32_t PedalDown;
    int32_t KeyFifths;
    int32_t KeyMinor;
    int32_t QuantizeTicks;
    int32_t RestTicks;
    Sounding Notes[kMaxSounding];
    int32_t SoundingCount;
    // Set once the long-task poll reported a cancel; every later pass and step ends at once.
    bool Cancelled;
    // The record in force for the conductor and lyric passes.
    TSMFImportInstructions Local;
};

// Kind 1, everything else 0.
void InitTrackConverter(SMFTrackConverter& converter);

// The passes; each returns a new staff that the caller owns.
TMusicStaff* ConvertConductorTrack(SMFTrackConverter& converter, TSMFData* data);
TMusicStaff* ConvertNoteTrack(SMFTrackConverter& converter, TSMFData* data,
                              const TSMFImportInstructions& record);
// Lyric kind 1 takes lyric events, 2 text events that do not begin with "@", 0 none. The staff has no
// lyrics when the pass was cancelled, the track does not exist or no syllable was found.
TMusicStaff* ConvertLyricTrack(SMFTrackConverter& converter, TSMFData* data, int track, int lyricKind);

// Names the converter's staff from its track and starts the staff's time cursor, sounding notes and pedal.
void NameMidiTrack(SMFTrackConverter& converter);

// Inserts an item at a tick: before the first note, rest or chord that starts there (never before item 1),
// or where the staff's own insertion at a time puts it. The staff takes the item.
void InsertAtTick(TMusicStaff* staff, int tick, TNotatedItem* item);

// Where a series of insertions at ticks that do not fall may start walking the staff: an item and the tick
// it starts at; every item before it ends before the tick of the next insertion. A cursor serves one staff
// while nothing else changes it.
struct TStaffTickCursor {
    int Index = 1;
    int Tick = 0;
};
// As the insertion above, walking from the cursor, which it moves on.
void InsertAtTick(TMusicStaff* staff, int tick, TNotatedItem* item, TStaffTickCursor& cursor);
// As TMusicStaff::InsertItemAtTime, walking from the cursor, which it moves on.
void InsertItemAtTimeFrom(TMusicStaff* staff, int tick, TNotatedItem* item, TStaffTickCursor& cursor);

// "-" for no channel, else runs of channels numbered from 1: "1-3,5", "1,2". The buffer must hold 40 bytes.
char* ChannelMaskToText(WORD mask, char* buffer);

// Empties the list and fills it with one record per track that plays notes (per used channel when split),
// split into an upper and a lower staff where the notes sounding together span more than spanLimit
// semitones.
void BuildImportInstructions(TSMFData* data, TSMFImportList& list, bool splitByChannel, int spanLimit);

// A new score (owned by the caller) from a read file: the song texts, the conductor, a note staff per record
// with its lyric staff, the remaining lyric staves, then the formatting stage. Progress goes to the long-task
// dialog when one is active, and its cancel ends the conversion; the score is returned in every case.
TMusicScore* ConvertMidiToScore(TSMFData* data, const TSMFImportList& list, int lyricKind);

// The formatting stage of a converted score: staves padded to the longest, each staff formatted with its
// record, the first tempo moved to the first staff and the conductor kept hidden at the end while it has
// tempo changes. lyricStaves (may be null) tells, per staff, which were made as lyric staves; without it a
// staff that holds lyrics counts as one.
void FinishImportedScore(TMusicScore* score, const TSMFImportList& list, TProgressCounter& progress,
                         const std::vector<bool>* lyricStaves = nullptr);

// Formats one converted staff (the conductor when it is the conductor itself).
void FormatImportedStaff(TMusicStaff* staff, TMusicStaff* conductor, const TSMFImportInstructions& record,
                         TProgressCounter& progress, bool lyricStaff = false);

// One record's note staff alone (owned by the caller).
TMusicStaff* ConvertTrackToStaff(TSMFData* data, const TSMFImportInstructions& record);
