// The song event buffer: a whole performance as one sequence of events in play order, spread over a chain
// of event blocks, with the filters that let playback start in the middle of a song, and the cursors that
// walk it by event, tick and millisecond.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/base/wintypes.h"
#include "score/base/midi_event.h"

constexpr int MIDI_MAX_BLOCKS = 1024;

// Filter modes of the song buffer.
enum : int {
    MFB_FILTER_END_LIMIT = 0,
    MFB_FILTER_START_OFFSET = 1,
};

// Milliseconds that ticks last at a tempo given in microseconds per quarter note (192 ticks); 0 for ticks
// below 1.
DWORD TicksToMs(DWORD tempo, int ticks);

class TMidiFileBuf {
public:
    // growthStep: blocks to add when every block is full (0: never grow beyond the blocks allocated). Songs
    // of real files need tens of blocks, so unless a caller asks otherwise the buffer grows.
    explicit TMidiFileBuf(int growthStep = 16);
    ~TMidiFileBuf();
    TMidiFileBuf(const TMidiFileBuf&) = delete;
    TMidiFileBuf& operator=(const TMidiFileBuf&) = delete;

    // Empties every block and clears the overflow flag, the filter tick, the kind mask and the latest
    // collapsed tempo.
    void Clear();
    // Frees every block but the first, then Clear.
    void FreeBlocks();
    // Frees all blocks and allocates n empty ones (at least 1, at most 1024); returns how many.
    int SetBlockCount(int n);
    // Allocates up to n further empty blocks, never beyond 1024; returns how many were added.
    int Grow(int n);
    int GetBlockCount() const { return LastAllocated + 1; }
    int GetGrowthStep() const { return GrowthStep; }
    // Index of the block that holds the last event; -1 when the buffer is empty.
    int GetHighestBlock() const;
    // Block i in play order (null beyond the allocated blocks). Blocks before the highest are full.
    TSingleMidiBuf* GetBlock(int i) const;

    bool IsEmpty() const { return Stored == 0 && Pending.empty(); }
    // The block that holds the last event is full.
    bool IsFull() const;
    int GetEventCount() const;
    // Event at a global index (block * 2048 + position); null outside 0 .. count - 1.
    TMidiEvent* GetEvent(int index) const;
    DWORD GetLastTick() const;
    // Index of the first event at the tick, or of the last event before it; 0 at or before the first
    // event; the index before the last event when the tick lies beyond the last event. Never negative.
    int FindTick(DWORD tick) const;
    bool HasOverflowed() const { return Overflow != 0; }

    void SetStartOffset(DWORD tick);
    void SetEndLimit(DWORD tick);
    int GetFilterMode() const { return FilterMode; }
    DWORD GetFilterTick() const { return FilterTick; }
    // Bit k set: events of kind k are ignored.
    void SetKindMask(WORD mask) { KindMask = mask; }
    WORD GetKindMask() const { return KindMask; }

    // Adds a copy of the event in play order. Returns 0 when it was stored or merged, non-zero when it
    // was ignored, filtered out or could not be stored. When every block is full and none can be added the
    // overflow flag is set and the event that comes last in play order is lost (which may be one added
    // earlier).
    int AddEvent(const TMidiEvent& event) {
        // Collected events that no filter touches take the short way: a performance adds millions.
        if (Collector != nullptr && KindMask == 0 && FilterTick == 0) {
            Collector->push_back(event);
            return 0;
        }
        return AddFilteredEvent(event);
    }
    // Adds events that are in play order among themselves, with the same outcome as AddEvent one by one.
    void AddEvents(const TMidiEvent* events, size_t count);
    int AddTempo(DWORD tick, int bpm);
    int AddTimeSignature(DWORD tick, int beats, int unitCode);
    int AddPause(DWORD tick, int units);
    // minor: any non-zero value counts as 1.
    int AddKeySignature(DWORD tick, int count, int minor);
    // A silent end: tempo 60 and a pause of the given seconds just after the last event.
    void AppendEndPause(int seconds);
    // A silent end: tempo 60 just after the last event and again the given seconds later.
    void AppendEndGap(int seconds);
    // Milliseconds from the start to the tick (to the last event when the tick is 0).
    DWORD GetSongDurationMs(DWORD tick) const;

    // While a list is set, the events that AddEvent would store (past the kind mask and the end limit) are
    // appended to it instead, for a caller that puts a batch in play order itself and hands it back through
    // AddEvent. Not for use with a start offset, whose filter works on the stored events.
    void SetCollector(std::vector<TMidiEvent>* list) { Collector = list; }
    // Events that can still be added before the buffer overflows, growing it as AddEvent would.
    int GetFreeCapacity() const;

    WORD GetChannelsUsed(WORD commandMask) const;
    int GetVelocityExtreme(WORD channelMask, bool highest) const;
    int GetWidestSpan(WORD channelMask) const;
    // Clears both arrays, then marks the programs and drum keys used on the port.
    void GetPatchArrays(int port, WORD drumChannelMask, WORD patches[128], WORD keys[128]) const;
    void Transpose(int amount, WORD channelMask, WORD portMask);

private:
    int GetCapacity() const { return (LastAllocated + 1) * MIDI_BLOCK_EVENTS; }
    TMidiEvent& At(int index) const { return Blocks[index >> 11]->Events[index & (MIDI_BLOCK_EVENTS - 1)]; }
    int AddFilteredEvent(const TMidiEvent& event);
    int Insert(const TMidiEvent& event);
    // Brings the events added out of order into their places in the blocks.
    void Normalize() const;
    // Index of the first stored event that goes after the event (Stored when none does).
    int FirstStoredAfter(const TMidiEvent& event) const;
    void SetStoredCount(int count) const;

    TSingleMidiBuf* Blocks[MIDI_MAX_BLOCKS] = {};
    int LastAllocated = -1;
    BOOL Overflow = 0;
    int FilterMode = MFB_FILTER_END_LIMIT;
    DWORD FilterTick = 0;
    WORD KindMask = 0;
    DWORD LatestTempoTick = 0;
    int GrowthStep = 0;
    std::vector<TMidiEvent>* Collector = nullptr;

    // Events in the blocks, in play order; the blocks are filled from the first.
    mutable int Stored = 0;
    // Events that arrived before the end of the stored ones, in arrival order, and the one of them that
    // comes last in play order. They are merged in before anything reads the buffer. After an overflow
    // they may exceed the capacity; the merge keeps the events that come first.
    mutable std::vector<TMidiEvent> Pending;
    mutable TMidiEvent PendingLast = {};
    // The one of them that comes first in play order.
    mutable TMidiEvent PendingFirst = {};
};

// Fills a song buffer with events that come in slices of time, several sources one after another within a
// slice (a score's staves), so that nearly every event would land before the end of the stored ones and
// wait there to be sorted in. While it lives, the buffer's events are collected; Flush sorts the slice's
// events together with those held over from earlier slices (which came first) and hands the ones before
// the slice's end to the buffer, which then only appends; the rest are held over. The outcome is the
// buffer's own (equal events keep the order they came in, whatever the split), overflow included. The
// destructor hands over what is left. A buffer with a start offset is filled directly.
class TMidiSliceCollector {
public:
    explicit TMidiSliceCollector(TMidiFileBuf& buffer);
    // Goes on from a caller that handed over the events before some tick itself: the events at or after it
    // (in play order) are held over and count as collected.
    TMidiSliceCollector(TMidiFileBuf& buffer, std::vector<TMidiEvent> heldOver);
    ~TMidiSliceCollector();
    TMidiSliceCollector(const TMidiSliceCollector&) = delete;
    TMidiSliceCollector& operator=(const TMidiSliceCollector&) = delete;

    // The buffer has overflowed, or would have, had the events collected so far been added one by one.
    bool HasOverflowed();
    // Hands over the events before the tick (ticks compared as signed 32-bit values).
    void Flush(DWORD limit) { Flush(&limit); }

private:
    // Every event when there is no limit.
    void Flush(const DWORD* limit);

    TMidiFileBuf& Buffer;
    const bool Active;
    const int64_t Room;
    int64_t Count = 0;
    size_t Counted = 0;
    std::vector<TMidiEvent> Arrived;
    std::vector<TMidiEvent> HeldOver;
    std::vector<TMidiEvent> Batch;
    std::vector<uint64_t> Keys;
};

// A cursor over the events of a song buffer.
class TMFBIndex {
public:
    explicit TMFBIndex(const TMidiFileBuf* buffer) : Buffer(buffer) {}
    virtual ~TMFBIndex() = default;
    TMFBIndex(const TMFBIndex&) = default;
    TMFBIndex& operator=(const TMFBIndex&) = default;

    virtual void Reset() { Index = 0; }
    virtual void SetPos(int index) { Index = index; }
    // Moves to the next event unless on the last one.
    virtual void Next();

    int GetIndex() const { return Index; }
    // The event at the cursor; null when there is none.
    TMidiEvent* GetEvent() const { return Buffer->GetEvent(Index); }
    bool IsTempoOrPause() const;
    bool IsSoundingNote() const;
    // direction < 1: backward.
    bool CanMove(int direction) const;
    void Step(int direction);
    // Moves to the nearest sounding note-on at another tick than the current event's.
    void SeekSoundingNote(int direction);
    void SeekLastSoundingNote();
    // Moves to the nearest tempo or pause event, or to the end.
    void SeekTempoOrPause(int direction);

protected:
    const TMidiFileBuf* Buffer;
    int Index = 0;
};

// A cursor that keeps the time in milliseconds of the position, following tempo and pause events.
class TMFBTimeIndex : public TMFBIndex {
public:
    explicit TMFBTimeIndex(const TMidiFileBuf* buffer);

    void Reset() override;
    // Clamped to the last event; moving back starts over from the first.
    void SetPos(int index) override;
    void Next() override;

    DWORD GetMs() const;
    DWORD GetTick() const { return CurrentTick; }
    DWORD GetTempo() const { return Tempo; }
    void SeekTick(DWORD tick);
    void SeekMs(DWORD ms);

private:
    void Account(const TMidiEvent& event);

    DWORD Tempo = 500000;
    DWORD CurrentTick = 0;
    DWORD ElapsedMs = 0;
    DWORD TempoTick = 0;
};
