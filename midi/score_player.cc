#include "midi/score_player.h"

#include <algorithm>
#include <cstdlib>

#include "core/file_utils.h"
#include "score/base/midi_file_buf.h"
#include "score/expression_items.h"
#include "score/format/format.h"
#include "score/item_play.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/notation_index.h"

namespace {

constexpr DWORD kSliceTicks = 384;
// Visits in a row that leave a staff's tick unchanged before its walk is given up. Real staves need far
// fewer (the zero-length items between two notes, times the passes of a repeat); only a damaged file whose
// jumps loop over items without duration reaches it.
constexpr int kMaxStillVisits = 1 << 20;

// Items a walk may visit: every item through 255 passes of a repeat inside the eight of a repeat with
// endings.
int64_t MaxWalkSteps(const TMusicStaff& staff) {
    return 2048 * static_cast<int64_t>(staff.GetItemCount()) + 1000;
}
// Ticks are compared as signed 32-bit values in the song buffer: rendering stops before they would wrap.
constexpr DWORD kMaxRenderTick = 0x7FFFFFFFu - kSliceTicks;

void AddController(TMidiFileBuf& buffer, const TStaffPlayState& state, DWORD tick, int number, int value) {
    TMidiEvent event{};
    event.Tick = tick;
    event.SetShortMsg(MIDI_CMD_CONTROLLER, state.GetPort(), state.GetChannel(), number,
                      std::clamp(value, 0, 127));
    buffer.AddEvent(event);
}

}  // namespace

// ---- one staff ----

void TStaffMidiPlayerIndex::SetStaff(TMusicStaff* staff) {
    Staff = staff;
    Index = 0;
    RestBars = 0;
    Last = TStaffPlayPosition{};
    StillVisits = 0;
    Steps = 0;
    if (Staff != nullptr)
        State.InitFromStaff(*Staff);
    else
        State.Reset();
}

void TStaffMidiPlayerIndex::SetUp(TMidiFileBuf& buffer) {
    State.Reset();
    if (Staff == nullptr) return;
    State.SetChannel(Staff->Channel);
    State.SetPort(Staff->Device);
    State.SetTranspose(Staff->Instrument.GetTranspose());
    if (!Staff->Muted && Staff->Instrument.HasPatch()) {
        TPatchData patch(&Staff->Instrument);
        patch.Play(State, buffer);
    }
    if (Staff->Volume >= 0) AddController(buffer, State, 0, 7, Staff->Volume);
    if (Staff->StereoPan >= 0) AddController(buffer, State, 0, 10, Staff->StereoPan);
}

void TStaffMidiPlayerIndex::Advance(TNotatedItem* item) {
    int next = item->GetNextPlayIndex(State, *Staff, Index);
    item->UpdatePlayState(State);
    Index = next < 0 || next > Staff->GetLastIndex() || ++Steps > MaxWalkSteps(*Staff) ? -1 : next;
}

bool TStaffMidiPlayerIndex::IsStuck(DWORD tickBefore) {
    if (State.GetTick() != tickBefore) {
        StillVisits = 0;
        return false;
    }
    return ++StillVisits >= kMaxStillVisits;
}

void TStaffMidiPlayerIndex::RunHairpin(TMidiFileBuf& buffer) {
    const int start = Index;
    TDynamicLevelData* before = nullptr;
    for (int i = start - 1; i >= 0 && before == nullptr; --i) {
        TNotatedItem* item = Staff->GetItem(i);
        if (item->GetType() == ntDynamic) before = static_cast<TDynamicLevelData*>(item);
    }
    TDynamicLevelData* after = nullptr;
    int64_t span = 0;
    for (int i = start; i < Staff->GetItemCount(); ++i) {
        TNotatedItem* item = Staff->GetItem(i);
        if (i > start && item->GetType() == ntDynamic) {
            after = static_cast<TDynamicLevelData*>(item);
            break;
        }
        span += item->GetDuration();
    }
    State.ClearDynamicSet();
    if (before == nullptr || after == nullptr || span <= 0) return;
    const DWORD ticks = static_cast<DWORD>(std::min<int64_t>(span, 0x7FFFFFFF));
    const DWORD t0 = State.GetTick();
    if (before->GetVelocity() >= 1 && after->GetVelocity() >= 1 &&
        before->GetVelocity() != after->GetVelocity())
        State.SetVelocityRamp(State.GetVelocity(), after->GetVelocity(), ticks);
    if (!before->HasVolume() || !after->HasVolume()) return;
    const int diff = after->GetVolume() - before->GetVolume();
    if (diff == 0) return;
    const int steps = std::abs(diff);
    const int sign = diff > 0 ? 1 : -1;
    const float step = static_cast<float>(ticks) / static_cast<float>(steps);
    const int64_t end = static_cast<int64_t>(t0) + ticks;
    int64_t previous = t0;
    for (int k = 0; k <= steps; ++k) {
        const int64_t t = static_cast<int64_t>(t0) + static_cast<int64_t>(step * static_cast<float>(k));
        if (t >= end) break;
        if (t <= previous) continue;
        AddController(buffer, State, static_cast<DWORD>(t), 7, before->GetVolume() + k * sign);
        previous = t;
    }
}

bool TStaffMidiPlayerIndex::PlayUntil(TMidiFileBuf& buffer, DWORD limit) {
    if (Staff == nullptr) Index = -1;
    while (Index != -1 && State.GetTick() < limit) {
        TNotatedItem* item = Staff->GetItem(Index);
        if (item == nullptr) {
            Index = -1;
            break;
        }
        if (State.IsDynamicSet() && TSimpleNtnIdx(Staff, Index).GetHairpin() != 0) RunHairpin(buffer);
        // A muted staff still plays what sounds no note: tempo, patches, controllers. A note it passes
        // over ends the tied notes still sounding from before the staff was muted.
        if (!Staff->Muted || !item->HasNotes())
            item->Play(State, buffer);
        else
            EndSoundingTies(State, buffer);
        const DWORD before = State.GetTick();
        Advance(item);
        if (Index != -1 && IsStuck(before)) Index = -1;
        if (Index == -1) EndSoundingTies(State, buffer);
    }
    return Index != -1;
}

void TStaffMidiPlayerIndex::PlayAll(TMidiFileBuf& buffer) {
    SetUp(buffer);
    PlayUntil(buffer, 0xFFFFFFFFu);
}

bool TStaffMidiPlayerIndex::StepNote() {
    Last = GetPosition();
    if (Staff == nullptr) return false;
    while (Index != -1) {
        TNotatedItem* item = Staff->GetItem(Index);
        if (item == nullptr) break;
        const DWORD before = State.GetTick();
        Advance(item);
        if (Index != -1 && IsStuck(before)) Index = -1;
        if (Index != -1 && Staff->GetItem(Index)->IsSongNote()) return true;
    }
    return false;
}

bool TStaffMidiPlayerIndex::SeekTick(DWORD tick) {
    if (Staff == nullptr) return false;
    if (Index == -1 && State.GetTick() <= tick) return false;
    Last = GetPosition();
    if (tick < State.GetTick()) {
        State.InitFromStaff(*Staff);
        Index = 0;
        RestBars = 0;
        Steps = 0;
    }
    StillVisits = 0;
    TNotatedItem* item = nullptr;
    while (Index != -1) {
        item = Staff->GetItem(Index);
        if (item == nullptr) {
            Index = -1;
            break;
        }
        const DWORD before = State.GetTick();
        if (static_cast<int64_t>(tick) < static_cast<int64_t>(before) + item->GetDuration()) break;
        Advance(item);
        if (Index != -1 && IsStuck(before)) Index = -1;
    }
    RestBars = 0;
    if (Index != -1 && item->GetType() == ntMultiMeasureRest) {
        const DWORD bar = State.GetBarTicks();
        if (bar > 0) RestBars = static_cast<int>((tick - State.GetTick()) / bar);
    }
    return !(GetPosition() == Last);
}

bool TStaffMidiPlayerIndex::SeekTickWithRestart(DWORD tick) {
    if (Staff != nullptr && tick < State.GetTick()) Restart();
    return SeekTick(tick);
}

DWORD TStaffMidiPlayerIndex::GetRestOffsetTicks() const {
    return State.GetBarTicks() * static_cast<DWORD>(RestBars);
}

TStaffPlayPosition TStaffMidiPlayerIndex::GetPosition() const {
    TStaffPlayPosition position;
    position.Index = Index;
    position.RestBars = RestBars;
    position.RepeatPass = static_cast<uint8_t>(State.GetRepeatPass());
    return position;
}

// ---- the score ----

TScoreMidiPlayer::TScoreMidiPlayer() {
    SetScore(nullptr);
}

int TScoreMidiPlayer::StaffCount() const {
    if (Score == nullptr) return 0;
    return std::min(Score->GetStaffCount(), static_cast<int>(Cursors.size()));
}

void TScoreMidiPlayer::SetScore(TMusicScore* score) {
    Score = score;
    StartTick = 0;
    CurrentTick = 0;
    PreStartMs = 0;
    PlayLengthMs = 0;
    const int count = score != nullptr ? score->GetStaffCount() : 0;
    while (static_cast<int>(Cursors.size()) < count)
        Cursors.push_back(std::make_unique<TStaffMidiPlayerIndex>());
    if (score != nullptr) FormatAllStaffs(score, false);
    for (int i = 0; i < count; ++i)
        Cursors[static_cast<size_t>(i)]->SetStaff(score->GetStaff(i));
}

void TScoreMidiPlayer::Rewind() {
    CurrentTick = 0;
    for (int i = 0; i < StaffCount(); ++i)
        Cursors[static_cast<size_t>(i)]->SetStaff(Score->GetStaff(i));
}

void TScoreMidiPlayer::PlaySlices(TMidiFileBuf& buffer, DWORD limit) {
    const int count = StaffCount();
    for (int i = 0; i < count; ++i) {
        TStaffMidiPlayerIndex& cursor = *Cursors[static_cast<size_t>(i)];
        cursor.SetStaff(Score->GetStaff(i));
        cursor.SetUp(buffer);
    }
    TMidiSliceCollector slices(buffer);
    while (CurrentTick < limit && CurrentTick < kMaxRenderTick) {
        CurrentTick = std::min(CurrentTick + kSliceTicks, limit);
        bool any = false;
        for (int i = 0; i < count; ++i) {
            if (Cursors[static_cast<size_t>(i)]->PlayUntil(buffer, CurrentTick)) any = true;
            if (slices.HasOverflowed()) return;
        }
        if (!any) return;
        slices.Flush(CurrentTick);
    }
}

void TScoreMidiPlayer::RenderToBuffer(TMidiFileBuf& buffer) {
    TQSBusyCursor busy;
    buffer.Clear();
    RenderWithoutClear(buffer);
}

void TScoreMidiPlayer::RenderWithoutClear(TMidiFileBuf& buffer) {
    buffer.AddTempo(0, 120);
    PreStartMs = 0;
    StartTick = 0;
    CurrentTick = 0;
    PlaySlices(buffer, 0xFFFFFFFFu);
    CurrentTick = GetLargestTick();
    buffer.AddPause(CurrentTick, 0);
    PlayLengthMs = buffer.GetSongDurationMs(0) + PreStartMs;
}

void TScoreMidiPlayer::PlayUpTo(TMidiFileBuf& buffer, DWORD target) {
    CurrentTick = 0;
    PlaySlices(buffer, target);
}

void TScoreMidiPlayer::SetPlayLengthFromBuffer(const TMidiFileBuf& buffer) {
    StartTick = 0;
    PreStartMs = 0;
    PlayLengthMs = buffer.GetSongDurationMs(0);
}

bool TScoreMidiPlayer::SeekTick(DWORD tick) {
    bool changed = false;
    for (int i = 0; i < StaffCount(); ++i) {
        if (Cursors[static_cast<size_t>(i)]->SeekTick(tick)) changed = true;
    }
    CurrentTick = tick;
    return changed;
}

bool TScoreMidiPlayer::SeekTickWithRestart(DWORD tick) {
    bool changed = false;
    for (int i = 0; i < StaffCount(); ++i) {
        if (Cursors[static_cast<size_t>(i)]->SeekTickWithRestart(tick)) changed = true;
    }
    CurrentTick = tick;
    return changed;
}

const TStaffMidiPlayerIndex* TScoreMidiPlayer::GetStaffCursor(int staff) const {
    if (staff < 0 || staff >= StaffCount()) return nullptr;
    return Cursors[static_cast<size_t>(staff)].get();
}

int TScoreMidiPlayer::GetStaffIndex(int staff) const {
    const TStaffMidiPlayerIndex* cursor = GetStaffCursor(staff);
    return cursor != nullptr ? cursor->GetIndex() : -1;
}

DWORD TScoreMidiPlayer::GetStaffRestOffsetTicks(int staff) const {
    const TStaffMidiPlayerIndex* cursor = GetStaffCursor(staff);
    return cursor != nullptr ? cursor->GetRestOffsetTicks() : 0;
}

void TScoreMidiPlayer::GetStaffPosition(TStaffPlayPosition& out, int staff) const {
    const TStaffMidiPlayerIndex* cursor = GetStaffCursor(staff);
    out = cursor != nullptr ? cursor->GetPosition() : TStaffPlayPosition{-1, 0, 0};
}

void TScoreMidiPlayer::GetStaffLastPosition(TStaffPlayPosition& out, int staff) const {
    const TStaffMidiPlayerIndex* cursor = GetStaffCursor(staff);
    out = cursor != nullptr ? cursor->GetLastPosition() : TStaffPlayPosition{-1, 0, 0};
}

DWORD TScoreMidiPlayer::GetLargestTick() const {
    DWORD largest = 0;
    for (int i = 0; i < StaffCount(); ++i)
        largest = std::max(largest, Cursors[static_cast<size_t>(i)]->GetState().GetTick());
    return largest;
}
