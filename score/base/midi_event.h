// The 8-byte MIDI event record that every performance is made of, and the sorted 2048-event block that the
// song buffer chains and the sequencer plays.
#pragma once

#include "platform/base/wintypes.h"

// Kinds held in the high nibble of the kind/port byte.
enum : BYTE {
    MIDI_KIND_SHORT = 0,
    MIDI_KIND_TEMPO = 1,
    MIDI_KIND_TIMESIG = 2,
    MIDI_KIND_KEYSIG = 3,
    MIDI_KIND_PAUSE = 4,
};

// Commands of a short message (the status byte's high nibble is 8 + command).
enum : int {
    MIDI_CMD_NOTEOFF = 0,
    MIDI_CMD_NOTEON = 1,
    MIDI_CMD_KEYPRESSURE = 2,
    MIDI_CMD_CONTROLLER = 3,
    MIDI_CMD_PROGRAM = 4,
    MIDI_CMD_CHANPRESSURE = 5,
    MIDI_CMD_PITCHBEND = 6,
};

// One timed event. Bytes 4-7 read as a little-endian word (GetMessage) are the value handed to the short
// message call: status, data 1, data 2, and the output port in bits 24-27.
//   kind 1 tempo:          microseconds per quarter in 24 bits (Status, Data1 = low 16 bits, Data2 = bits
//   16-23) kind 2 time signature: Status = beats per bar, Data1 = beat unit code kind 3 key signature:
//   Status/Data1 = signed 16-bit count (sharps positive), Data2 = 1 for minor kind 4 pause: Status/Data1 =
//   16-bit count of 48-tick units during which the clock stands still
struct TMidiEvent {
    DWORD Tick;
    BYTE Status;
    BYTE Data1;
    BYTE Data2;
    BYTE KindPort;

    DWORD GetTick() const { return Tick; }
    int GetKind() const { return KindPort >> 4; }
    int GetPort() const { return KindPort & 15; }
    bool IsShortMsg() const { return GetKind() == MIDI_KIND_SHORT; }
    // Command 0-7 of a short message (meaningful only when the status byte has its high bit).
    int GetCommand() const { return (Status >> 4) & 7; }
    int GetChannel() const { return Status & 15; }
    BYTE GetData1() const { return Data1; }
    BYTE GetData2() const { return Data2; }
    // Bytes 4-7 as one word, exactly as the short message call takes them.
    DWORD GetMessage() const {
        return static_cast<DWORD>(Status) | (static_cast<DWORD>(Data1) << 8) |
               (static_cast<DWORD>(Data2) << 16) | (static_cast<DWORD>(KindPort) << 24);
    }
    // A short note-on with a non-zero velocity.
    bool IsSoundingNote() const;
    // A short note-off, or a note-on with velocity 0.
    bool IsNoteRelease() const;

    // The setters of a short message are inline: a performance makes millions of events.
    void SetCommand(int command) {
        Status = static_cast<BYTE>(((8 + (command & 7)) << 4) | (Status & 15));
        KindPort = static_cast<BYTE>(KindPort & 15);
    }
    void SetChannel(int channel) { Status = static_cast<BYTE>((Status & 0xF0) | (channel & 15)); }
    // The port nibble holds ports 0-15, as many as the MIDI manager opens.
    void SetPort(int port) { KindPort = static_cast<BYTE>((KindPort & 0xF0) | (port & 15)); }
    void SetData(int data1, int data2) {
        Data1 = static_cast<BYTE>(data1);
        Data2 = static_cast<BYTE>(data2);
    }
    void SetData1(int data1);
    void SetData2(int data2);
    void SetShortMsg(int command, int port, int channel, int data1, int data2) {
        SetCommand(command);
        SetPort(port);
        SetChannel(channel);
        SetData(data1, data2);
    }
    void SetTempo(int bpm);
    void SetTimeSignature(int beats, int unitCode);
    // minor: any non-zero value counts as 1 (minor key), 0 major.
    void SetKeySignature(int count, int minor);
    void SetPause(int units);

    static DWORD GetTempoMicros(DWORD message) { return message & 0x00FFFFFF; }
    static int GetTempoBpm(DWORD message);
    // Order of events at one tick: 0 note-offs, 1 pedal releases, 2 other messages and meta events,
    // 3 pedal presses, 4 sounding note-ons.
    static int SortRank(const TMidiEvent& event) {
        if (!event.IsShortMsg()) return 2;
        switch (event.GetCommand()) {
            case MIDI_CMD_NOTEOFF:
                return 0;
            case MIDI_CMD_NOTEON:
                return event.Data2 == 0 ? 0 : 4;
            case MIDI_CMD_CONTROLLER:
                if (event.Data1 == 64) return event.Data2 > 64 ? 3 : 1;
                return 2;
            default:
                return 2;
        }
    }
    // True when a belongs after b: a later tick (ticks compared as signed 32-bit), or the same tick and a
    // higher rank. (Inline: sorting a whole song asks it millions of times.)
    static bool GoesAfter(const TMidiEvent& a, const TMidiEvent& b) {
        const auto ta = static_cast<int32_t>(a.Tick);
        const auto tb = static_cast<int32_t>(b.Tick);
        if (ta != tb) return ta > tb;
        return SortRank(b) < SortRank(a);
    }
    // Events that occupy the same slot at one tick, so that the later one may replace the earlier.
    static bool IsSameSlot(const TMidiEvent& a, const TMidiEvent& b);
};
static_assert(sizeof(TMidiEvent) == 8, "the event record is 8 bytes");

// Events per block.
constexpr int MIDI_BLOCK_EVENTS = 2048;

// One block: a count and up to 2048 events kept in play order.
struct TSingleMidiBuf {
    SHORT Count = 0;
    TMidiEvent Events[MIDI_BLOCK_EVENTS];

    int GetCount() const { return Count; }
    bool IsFull() const { return Count >= MIDI_BLOCK_EVENTS; }
    void CopyFrom(const TSingleMidiBuf& other);
    DWORD GetFirstTick() const { return Count > 0 ? Events[0].Tick : 0; }
    DWORD GetLastTick() const { return Count > 0 ? Events[Count - 1].Tick : 0; }

    // Sorted insert behind every event that does not go after the new one; false when the block is full.
    bool Insert(const TMidiEvent& event);
    // Sorted insert that hands an event on when the block is full. Returns true when the event was stored
    // and nothing is handed on. Otherwise the record holds the event to offer to the next block: the block's
    // former last event (the new one took its place) or the new event itself, unchanged; displaced then says
    // which. An event handed on from the block before (carried true) was earlier in play order than every
    // event of this block that compares equal to it, so it goes in front of them.
    bool InsertWithCarry(TMidiEvent& event, bool carried, bool& displaced);
    // Overwrites the first event that is the same slot as the new one; stops at the first later tick.
    bool Replace(const TMidiEvent& event);

    // Highest (or lowest) velocity of the note-ons on the channels of the mask; 0 (or 127) when none.
    int GetVelocityExtreme(WORD channelMask, bool highest) const;
    // Widest distance in semitones between the highest and lowest sounding keys on the channels of the
    // mask. keys is a 128-bit array of the sounding keys owned by the caller (carried across blocks).
    int GetWidestSpan(WORD channelMask, BYTE keys[16], int widest) const;
    // Mask of the channels of the short messages whose (1 << command) is in commandMask.
    WORD GetChannelsUsed(WORD commandMask) const;
    // Adds the programs and drum keys of one port in the form the patch caching call takes: per program a
    // word with a bit per channel that selects it; per key of the drum channels a word with a bit per
    // channel.
    void GetPatchArrays(int port, WORD drumChannelMask, WORD patches[128], WORD keys[128]) const;
    // Shifts note keys on the ports and channels of the masks; keys leave 0-127 only by octaves.
    void Transpose(int amount, WORD channelMask, WORD portMask);
};

namespace qsm {
// The key after transposition, folded back into 0-127 keeping its pitch class.
int FoldTransposedKey(int key);
}  // namespace qsm
