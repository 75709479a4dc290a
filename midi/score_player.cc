#include "midi/score_player.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/file_utils.h"
#include "core/parallel.h"
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
    buffer.AddEvent(MakeShortEvent(tick, MIDI_CMD_CONTROLLER, state.GetPort(), state.GetChannel(), number,
                                   std::clamp(value, 0, 127)));
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
    // A start offset filters the stored events as they come, in the order they come: only the walk in turn
    // gives its outcome.
    const bool collected = buffer.GetFilterMode() != MFB_FILTER_START_OFFSET || buffer.GetFilterTick() == 0;
    if (!collected || buffer.HasOverflowed()) {
        TMidiSliceCollector slices(buffer);
        PlaySlicesInTurn(buffer, limit, slices);
        return;
    }
    PlayWindows(buffer, limit);
}

bool TScoreMidiPlayer::PlaySlicesInTurn(TMidiFileBuf& buffer, DWORD limit, TMidiSliceCollector& slices) {
    const int count = StaffCount();
    while (CurrentTick < limit && CurrentTick < kMaxRenderTick) {
        CurrentTick = std::min(CurrentTick + kSliceTicks, limit);
        bool any = false;
        for (int i = 0; i < count; ++i) {
            if (Cursors[static_cast<size_t>(i)]->PlayUntil(buffer, CurrentTick)) any = true;
            if (slices.HasOverflowed()) return false;
        }
        if (!any) return false;
        slices.Flush(CurrentTick);
    }
    return true;
}

namespace {

// Slices that every staff walks on its own before their events are put in order together: few enough to
// keep the lists small, many enough that the threads seldom wait for each other.
constexpr size_t kWindowSlices = 1024;
// Parts of a window put in order by one task.
constexpr size_t kPartsPerTask = 32;
// Fewer events than this in a window are sorted on the rendering thread alone.
constexpr size_t kFewEvents = 4096;

// An event and the slice of its window in which it was made (with its part within a task above bit 16).
struct TSliceEvent {
    TMidiEvent Event;
    uint32_t Slice;
};

// One staff's walk over a window: the events in the order made, and per slice the end of its events there
// and whether items were left after it. Then each event's part (the slice whose end is the first after its
// tick, or one more part for those at or after the window's end) and the number of events of each part,
// and the events of each task of neighbouring parts side by side, task after task, each task's in the
// order made, each event with its slice and its part within the task; a task's events start at
// TaskStarts[task] of ByTask.
struct TStaffWindow {
    TMidiFileBuf Sink{0};
    std::vector<TMidiEvent> Made;
    std::vector<uint32_t> SliceEnds;
    std::vector<uint8_t> ItemsLeft;
    std::vector<uint16_t> Parts;
    std::vector<uint32_t> PartCounts;
    std::vector<TSliceEvent> ByTask;
    std::vector<size_t> TaskStarts;
    std::vector<TSliceEvent*> TaskEnds;
};

// Room to put a task's parts in order: the events and their sort keys, part after part, and where each
// part's next event goes.
struct TPartScratch {
    std::vector<TMidiEvent> Events;
    std::vector<uint64_t> Keys;
    std::vector<size_t> Next;
};

bool TickBefore(DWORD a, DWORD b) {
    return static_cast<int32_t>(a) < static_cast<int32_t>(b);
}

// The part of an event: the first slice whose end lies after its tick, or the part after the last slice.
// The slices of a window are 384 ticks each from its start, but for a last one cut short by the limit.
size_t PartOf(const std::vector<DWORD>& ends, DWORD start, DWORD tick) {
    if (TickBefore(tick, ends.front())) return 0;
    size_t part = std::min<size_t>((tick - start) / kSliceTicks, ends.size());
    while (part > 0 && TickBefore(tick, ends[part - 1]))
        --part;
    while (part < ends.size() && !TickBefore(tick, ends[part]))
        ++part;
    return part;
}

// Puts parts [first, end) in play order: by tick and rank, then in the order the events would have come to
// a walk of all staffs slice by slice (slice, then staff, then the staff's own order). The events held over
// from earlier windows came before all others. A part starts at offsets[p] of the output.
void SortParts(const std::vector<TMidiEvent>& held, const std::vector<size_t>& heldEnds,
               const std::vector<std::unique_ptr<TStaffWindow>>& staffs, size_t first, size_t end,
               const std::vector<size_t>& offsets, TPartScratch& scratch, TMidiEvent* out) {
    constexpr int kIndexBits = 19;
    constexpr uint64_t kIndexMask = (uint64_t{1} << kIndexBits) - 1;
    static_assert(kWindowSlices <= 1024, "the slice takes 10 bits of the sort key");
    const size_t base = offsets[first];
    scratch.Events.resize(offsets[end] - base);
    scratch.Keys.resize(offsets[end] - base);
    scratch.Next.assign(offsets.begin() + static_cast<std::ptrdiff_t>(first),
                        offsets.begin() + static_cast<std::ptrdiff_t>(end));
    TMidiEvent* events = scratch.Events.data();
    uint64_t* keys = scratch.Keys.data();
    size_t* next = scratch.Next.data();
    // Each event's place as one number: the tick made unsigned (so that it orders as the signed tick does),
    // the rank, the slice (0 for the held events) and the index in the part. Each staff's events of these
    // parts lie side by side and are read in order.
    auto add = [&](size_t p, const TMidiEvent& event, uint32_t slice) {
        const size_t at = next[p - first]++;
        const uint64_t tick = event.Tick ^ 0x80000000u;
        const auto rank = static_cast<uint64_t>(TMidiEvent::SortRank(event));
        keys[at - base] =
            tick << 32 | rank << 29 | uint64_t{slice} << kIndexBits | ((at - offsets[p]) & kIndexMask);
        events[at - base] = event;
    };
    for (size_t p = first; p < end; ++p) {
        for (size_t h = p > 0 ? heldEnds[p - 1] : 0; h < heldEnds[p]; ++h)
            add(p, held[h], 0);
    }
    for (const std::unique_ptr<TStaffWindow>& staff : staffs) {
        const size_t task = first / kPartsPerTask;
        const TSliceEvent* made = staff->ByTask.data();
        for (size_t i = staff->TaskStarts[task]; i < staff->TaskStarts[task + 1]; ++i)
            add(first + (made[i].Slice >> 16), made[i].Event, made[i].Slice & 0xFFFF);
    }
    for (size_t p = first; p < end; ++p) {
        const size_t size = offsets[p + 1] - offsets[p];
        const TMidiEvent* partEvents = events + (offsets[p] - base);
        uint64_t* partKeys = keys + (offsets[p] - base);
        TMidiEvent* to = out + offsets[p];
        if (size <= kIndexMask) {
            std::sort(partKeys, partKeys + size);
            for (size_t i = 0; i < size; ++i)
                to[i] = partEvents[partKeys[i] & kIndexMask];
            continue;
        }
        // A part too long for the index bits: the events, in the list's order, sorted stably (the keys still
        // hold the slices).
        std::vector<TSliceEvent> list(size);
        for (size_t i = 0; i < size; ++i)
            list[i] = {partEvents[i], static_cast<uint32_t>(partKeys[i] >> kIndexBits & (kWindowSlices - 1))};
        std::stable_sort(list.begin(), list.end(), [](const TSliceEvent& a, const TSliceEvent& b) {
            if (TMidiEvent::GoesAfter(b.Event, a.Event)) return true;
            if (TMidiEvent::GoesAfter(a.Event, b.Event)) return false;
            return a.Slice < b.Slice;
        });
        for (size_t i = 0; i < list.size(); ++i)
            to[i] = list[i].Event;
    }
}

}  // namespace

void TScoreMidiPlayer::PlayWindows(TMidiFileBuf& buffer, DWORD limit) {
    const size_t count = static_cast<size_t>(StaffCount());
    // The outcome is that of the walk in turn (PlaySlicesInTurn): every staff walks a window of slices on
    // its own, into its own lists, and the events are then put in the order the walk in turn would have
    // given them, up to the same end. Where the events would overflow the buffer the window is walked again
    // in turn, so that the same events are lost and every staff stops where it would have stopped.
    const int64_t room = buffer.GetFreeCapacity();
    int64_t collected = 0;
    std::vector<TMidiEvent> heldOver;
    // Each staff's lists apart from the others', so that threads never write to the same cache line.
    std::vector<std::unique_ptr<TStaffWindow>> staffs(count);
    for (std::unique_ptr<TStaffWindow>& staff : staffs) {
        staff = std::make_unique<TStaffWindow>();
        staff->Sink.SetKindMask(buffer.GetKindMask());
        if (buffer.GetFilterMode() == MFB_FILTER_END_LIMIT) staff->Sink.SetEndLimit(buffer.GetFilterTick());
        staff->Sink.SetCollector(&staff->Made);
    }
    std::vector<TStaffMidiPlayerIndex> windowStart(count);
    std::vector<DWORD> ends;
    std::vector<TPartScratch> scratch(kWindowSlices / kPartsPerTask + 1);
    std::vector<size_t> heldEnds(kWindowSlices + 1);
    std::vector<size_t> offsets(kWindowSlices + 2);
    std::vector<TMidiEvent> sorted;
    while (CurrentTick < limit && CurrentTick < kMaxRenderTick) {
        const DWORD start = CurrentTick;
        ends.clear();
        for (DWORD tick = start; ends.size() < kWindowSlices && tick < limit && tick < kMaxRenderTick;) {
            tick = std::min(tick + kSliceTicks, limit);
            ends.push_back(tick);
        }
        const size_t slices = ends.size();
        const size_t parts = slices + 1;
        const size_t tasks = (parts + kPartsPerTask - 1) / kPartsPerTask;
        for (size_t i = 0; i < count; ++i)
            windowStart[i] = *Cursors[i];

        qsm::ParallelFor(count, [&](size_t i) {
            TStaffWindow& staff = *staffs[i];
            // The walk changes the cursor at every item: a copy on this thread's stack shares no cache line
            // with the cursors that other threads change.
            TStaffMidiPlayerIndex cursor = *Cursors[i];
            staff.Made.clear();
            staff.SliceEnds.assign(slices, 0);
            staff.ItemsLeft.assign(slices, 0);
            for (size_t k = 0; k < slices; ++k) {
                const bool left = cursor.PlayUntil(staff.Sink, ends[k]);
                staff.SliceEnds[k] = static_cast<uint32_t>(staff.Made.size());
                staff.ItemsLeft[k] = left ? 1 : 0;
                if (!left) {
                    std::fill(staff.SliceEnds.begin() + static_cast<std::ptrdiff_t>(k), staff.SliceEnds.end(),
                              staff.SliceEnds[k]);
                    break;
                }
            }
            *Cursors[i] = cursor;
            // The events by task, in the order made: first each event's part and the size of each part,
            // then the events written through plain pointers (a list's own bookkeeping would be read again
            // after every event written, as an event's bytes may alias it).
            const size_t made = staff.Made.size();
            const TMidiEvent* events = staff.Made.data();
            staff.Parts.resize(made);
            staff.PartCounts.assign(parts, 0);
            uint16_t* partOf = staff.Parts.data();
            uint32_t* counts = staff.PartCounts.data();
            for (size_t e = 0; e < made; ++e) {
                const size_t p = PartOf(ends, start, events[e].Tick);
                partOf[e] = static_cast<uint16_t>(p);
                ++counts[p];
            }
            staff.ByTask.resize(made);
            staff.TaskStarts.assign(tasks + 1, 0);
            for (size_t p = 0; p < parts; ++p)
                staff.TaskStarts[p / kPartsPerTask + 1] += counts[p];
            for (size_t t = 0; t < tasks; ++t)
                staff.TaskStarts[t + 1] += staff.TaskStarts[t];
            staff.TaskEnds.resize(tasks);
            for (size_t t = 0; t < tasks; ++t)
                staff.TaskEnds[t] = staff.ByTask.data() + staff.TaskStarts[t];
            // Neighbouring events nearly always go to the same task: its end stays in a register.
            size_t task = 0;
            TSliceEvent* to = staff.TaskEnds[0];
            size_t e = 0;
            for (size_t k = 0; k < slices; ++k) {
                for (const size_t sliceEnd = staff.SliceEnds[k]; e < sliceEnd; ++e) {
                    const size_t p = partOf[e];
                    if (p / kPartsPerTask != task) {
                        staff.TaskEnds[task] = to;
                        task = p / kPartsPerTask;
                        to = staff.TaskEnds[task];
                    }
                    *to++ = {events[e], static_cast<uint32_t>(k | (p % kPartsPerTask) << 16)};
                }
            }
        });

        // Where the walk in turn would have stopped: the first staff whose events no longer fit, or the first
        // slice after which no staff has items left.
        size_t last = slices - 1;
        bool ended = false;
        for (size_t k = 0; k < slices && !ended; ++k) {
            bool any = false;
            for (size_t i = 0; i < count; ++i) {
                collected += staffs[i]->SliceEnds[k] - (k > 0 ? staffs[i]->SliceEnds[k - 1] : 0);
                if (collected > room) {
                    for (size_t j = 0; j < count; ++j)
                        *Cursors[j] = windowStart[j];
                    TMidiSliceCollector inTurn(buffer, std::move(heldOver));
                    PlaySlicesInTurn(buffer, limit, inTurn);
                    return;
                }
                if (staffs[i]->ItemsLeft[k] != 0) any = true;
            }
            if (!any) {
                last = k;
                ended = true;
            }
        }
        CurrentTick = ends[last];

        // Every part's events in play order, side by side, each part in its place of the whole.
        size_t held = 0;
        for (size_t p = 0; p < parts; ++p) {
            if (p + 1 < parts) {
                held = static_cast<size_t>(
                    std::partition_point(heldOver.begin() + static_cast<std::ptrdiff_t>(held), heldOver.end(),
                                         [&](const TMidiEvent& e) { return TickBefore(e.Tick, ends[p]); }) -
                    heldOver.begin());
            } else {
                held = heldOver.size();
            }
            heldEnds[p] = held;
            size_t size = held - (p > 0 ? heldEnds[p - 1] : 0);
            for (const std::unique_ptr<TStaffWindow>& staff : staffs)
                size += staff->PartCounts[p];
            offsets[p + 1] = offsets[p] + size;
        }
        sorted.resize(offsets[parts]);
        // Neighbouring parts go to one thread, which then reads each staff's events in order. A window of few
        // events (a short or all but empty score) is sorted on this thread: waking the workers, or making
        // them, would take longer than the sort.
        auto sortTask = [&](size_t task) {
            const size_t end = std::min(parts, (task + 1) * kPartsPerTask);
            SortParts(heldOver, heldEnds, staffs, task * kPartsPerTask, end, offsets, scratch[task],
                      sorted.data());
        };
        if (sorted.size() < kFewEvents) {
            for (size_t task = 0; task < tasks; ++task)
                sortTask(task);
        } else {
            qsm::ParallelFor(tasks, sortTask);
        }

        // The walk in turn hands over the events before the end of each slice, and all at its end.
        const size_t ready = ended ? sorted.size() : offsets[parts - 1];
        buffer.AddEvents(sorted.data(), ready);
        heldOver.assign(sorted.begin() + static_cast<std::ptrdiff_t>(ready), sorted.end());
        if (ended) return;
    }
    buffer.AddEvents(heldOver.data(), heldOver.size());
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
