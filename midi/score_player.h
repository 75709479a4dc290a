// The score MIDI player: turns a score into a performance by walking all staves side by side, 384 ticks at
// a time, letting each item play its events into a song buffer; and follows, for a given tick, which item
// each staff has reached, so that a view can show the music while it plays.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/base/wintypes.h"
#include "score/base/play_state.h"

class TMidiFileBuf;
class TMidiSliceCollector;
class TMusicScore;
class TMusicStaff;
class TNotatedItem;

// Where a staff's walk stands: the item, the bars passed inside a multi-measure rest, the repeat pass.
struct TStaffPlayPosition {
    int32_t Index = 0;  // negative: past the last item
    int32_t RestBars = 0;
    uint8_t RepeatPass = 0;

    bool operator==(const TStaffPlayPosition&) const = default;
};

// One staff's cursor: the item index and the play state in force there.
class TStaffMidiPlayerIndex {
public:
    void SetStaff(TMusicStaff* staff);
    void Restart() { SetStaff(Staff); }
    TMusicStaff* GetStaff() const { return Staff; }

    // The staff's opening events: its patch (unless muted), volume and pan.
    void SetUp(TMidiFileBuf& buffer);
    // Plays items while the state's tick is below the limit; true while items remain.
    bool PlayUntil(TMidiFileBuf& buffer, DWORD limit);
    // Set-up, then every item.
    void PlayAll(TMidiFileBuf& buffer);
    // Walks (without playing) to the next song note; false at the end of the staff.
    bool StepNote();
    // Walks (without playing) to the item that covers the tick; true when the item, the bars into a rest or
    // the repeat pass changed.
    bool SeekTick(DWORD tick);
    // The same, from the staff's start when the tick lies before the state's tick.
    bool SeekTickWithRestart(DWORD tick);

    int GetIndex() const { return Index; }
    bool HasItemsLeft() const { return Index != -1; }
    int GetRestBars() const { return RestBars; }
    DWORD GetRestOffsetTicks() const;
    DWORD GetPositionTick() const { return State.GetTick() + GetRestOffsetTicks(); }
    TStaffPlayPosition GetPosition() const;
    const TStaffPlayPosition& GetLastPosition() const { return Last; }
    const TStaffPlayState& GetState() const { return State; }

private:
    // Index, state and the step that ends the walk: the next item in play order, or -1 beyond the last.
    void Advance(TNotatedItem* item);
    // Counts visits that leave the tick where it was; a staff that keeps looping without time passing (only
    // a damaged file makes one) is ended.
    bool IsStuck(DWORD tickBefore);
    void RunHairpin(TMidiFileBuf& buffer);

    TMusicStaff* Staff = nullptr;
    int Index = 0;
    int RestBars = 0;
    TStaffPlayState State;
    TStaffPlayPosition Last;
    int StillVisits = 0;
    // Items visited since the staff's start: a walk whose repeats and jumps never end still stops.
    int64_t Steps = 0;
};

class TScoreMidiPlayer {
public:
    TScoreMidiPlayer();
    TScoreMidiPlayer(const TScoreMidiPlayer&) = delete;
    TScoreMidiPlayer& operator=(const TScoreMidiPlayer&) = delete;

    // Formats the staves that need it and puts a cursor on the start of each; null detaches the score.
    void SetScore(TMusicScore* score);
    TMusicScore* GetScore() const { return Score; }
    void Rewind();

    // Clears the buffer and renders the whole score into it: tempo 120 at tick 0, every staff's opening
    // events, then slices of 384 ticks until every staff has ended or the buffer overflowed; a pause of 0
    // units marks the end. Shows the wait cursor.
    void RenderToBuffer(TMidiFileBuf& buffer);
    // The same without clearing, so that a kind mask or filter the caller set on the buffer holds.
    void RenderWithoutClear(TMidiFileBuf& buffer);
    // Renders from the start up to the target tick.
    void PlayUpTo(TMidiFileBuf& buffer, DWORD target);
    // For a song that was not rendered from the score.
    void SetPlayLengthFromBuffer(const TMidiFileBuf& buffer);

    // Every staff to the item that covers the tick; true when any staff's position changed.
    bool SeekTick(DWORD tick);
    bool SeekTickWithRestart(DWORD tick);

    // Per staff of the score (0, or an empty position, for an index out of range).
    int GetStaffIndex(int staff) const;
    DWORD GetStaffRestOffsetTicks(int staff) const;
    void GetStaffPosition(TStaffPlayPosition& out, int staff) const;
    void GetStaffLastPosition(TStaffPlayPosition& out, int staff) const;
    const TStaffMidiPlayerIndex* GetStaffCursor(int staff) const;

    DWORD GetLargestTick() const;
    DWORD GetStartTick() const { return StartTick; }
    DWORD GetCurrentTick() const { return CurrentTick; }
    DWORD GetPreStartMs() const { return PreStartMs; }
    DWORD GetPlayLengthMs() const { return PlayLengthMs; }

private:
    int StaffCount() const;
    // Set-up of every staff, then slices of 384 ticks up to the limit.
    void PlaySlices(TMidiFileBuf& buffer, DWORD limit);
    // The slices one after another, every staff in turn in each; false when the walk stopped early (every
    // staff ended, or the buffer overflowed).
    bool PlaySlicesInTurn(TMidiFileBuf& buffer, DWORD limit, TMidiSliceCollector& slices);
    // The same outcome, the staffs walking side by side.
    void PlayWindows(TMidiFileBuf& buffer, DWORD limit);

    TMusicScore* Score = nullptr;
    std::vector<std::unique_ptr<TStaffMidiPlayerIndex>> Cursors;
    DWORD StartTick = 0;
    DWORD CurrentTick = 0;
    DWORD PreStartMs = 0;
    DWORD PlayLengthMs = 0;
};
