#include "score/base/midi_file_buf.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

DWORD TicksToMs(DWORD tempo, int ticks) {
    if (ticks < 1) return 0;
    // Whole chunks of 96000 ticks, each rounded down on its own, computed in 64 bits.
    uint64_t total = 0;
    uint64_t t = static_cast<uint64_t>(tempo);
    while (ticks > 0) {
        uint64_t c = static_cast<uint64_t>(std::min(ticks, 96000));
        total += ((t % 192) * c / 192 + (t / 192) * c) / 1000;
        ticks -= static_cast<int>(c);
    }
    return total > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(total);
}

TMidiFileBuf::TMidiFileBuf(int growthStep) : GrowthStep(growthStep < 0 ? 0 : growthStep) {
    Blocks[0] = new TSingleMidiBuf;
    LastAllocated = 0;
    Clear();
}

TMidiFileBuf::~TMidiFileBuf() {
    for (int i = 0; i <= LastAllocated; ++i)
        delete Blocks[i];
}

void TMidiFileBuf::Clear() {
    for (int i = 0; i <= LastAllocated; ++i)
        Blocks[i]->Count = 0;
    Stored = 0;
    Pending.clear();
    Overflow = 0;
    FilterTick = 0;
    KindMask = 0;
    LatestTempoTick = 0;
}

void TMidiFileBuf::FreeBlocks() {
    for (int i = 1; i <= LastAllocated; ++i) {
        delete Blocks[i];
        Blocks[i] = nullptr;
    }
    LastAllocated = 0;
    Clear();
}

int TMidiFileBuf::SetBlockCount(int n) {
    for (int i = 0; i <= LastAllocated; ++i) {
        delete Blocks[i];
        Blocks[i] = nullptr;
    }
    // The first block always exists: the buffer's tests and the start filter read it.
    n = std::clamp(n, 1, MIDI_MAX_BLOCKS);
    for (int i = 0; i < n; ++i)
        Blocks[i] = new TSingleMidiBuf;
    LastAllocated = n - 1;
    Stored = 0;
    Pending.clear();
    return n;
}

int TMidiFileBuf::Grow(int n) {
    int added = 0;
    while (added < n && LastAllocated + 1 < MIDI_MAX_BLOCKS) {
        Blocks[++LastAllocated] = new TSingleMidiBuf;
        ++added;
    }
    return added;
}

int TMidiFileBuf::GetHighestBlock() const {
    Normalize();
    return Stored == 0 ? -1 : (Stored - 1) / MIDI_BLOCK_EVENTS;
}

TSingleMidiBuf* TMidiFileBuf::GetBlock(int i) const {
    Normalize();
    return i >= 0 && i <= LastAllocated ? Blocks[i] : nullptr;
}

bool TMidiFileBuf::IsFull() const {
    Normalize();
    return Stored > 0 && Stored % MIDI_BLOCK_EVENTS == 0;
}

int TMidiFileBuf::GetEventCount() const {
    Normalize();
    return Stored;
}

TMidiEvent* TMidiFileBuf::GetEvent(int index) const {
    Normalize();
    return index >= 0 && index < Stored ? &At(index) : nullptr;
}

DWORD TMidiFileBuf::GetLastTick() const {
    Normalize();
    return Stored > 0 ? At(Stored - 1).Tick : 0;
}

int TMidiFileBuf::FindTick(DWORD tick) const {
    Normalize();
    int n = Stored;
    int32_t t = static_cast<int32_t>(tick);
    if (n == 0 || t <= static_cast<int32_t>(At(0).Tick)) return 0;
    if (t > static_cast<int32_t>(At(n - 1).Tick)) return std::max(n - 2, 0);
    // First event at or after the tick; the first event lies before it and the last at or after it.
    int low = 1, high = n - 1;
    while (low < high) {
        int mid = low + (high - low) / 2;
        if (static_cast<int32_t>(At(mid).Tick) < t)
            low = mid + 1;
        else
            high = mid;
    }
    return static_cast<int32_t>(At(low).Tick) == t ? low : low - 1;
}

void TMidiFileBuf::SetStartOffset(DWORD tick) {
    FilterMode = MFB_FILTER_START_OFFSET;
    FilterTick = tick;
}

void TMidiFileBuf::SetEndLimit(DWORD tick) {
    FilterMode = MFB_FILTER_END_LIMIT;
    FilterTick = tick;
}

int TMidiFileBuf::AddFilteredEvent(const TMidiEvent& source) {
    TMidiEvent event = source;
    if (KindMask & (1u << event.GetKind())) return 1;
    if (FilterTick != 0) {
        if (FilterMode == MFB_FILTER_END_LIMIT) {
            if (event.Tick >= FilterTick) return 1;
        } else if (event.Tick >= FilterTick) {
            event.Tick -= FilterTick;
        } else {
            // Before the start: what is in force at the start is kept at tick 0.
            int kind = event.GetKind();
            if (kind == MIDI_KIND_TEMPO) {
                if (event.Tick < LatestTempoTick) return 1;
                LatestTempoTick = event.Tick;
            } else if (kind == MIDI_KIND_PAUSE) {
                return 1;
            } else if (kind == MIDI_KIND_SHORT && (event.Status & 0x80) &&
                       (event.GetCommand() == MIDI_CMD_NOTEOFF || event.GetCommand() == MIDI_CMD_NOTEON)) {
                return 1;
            }
            event.Tick = 0;
            Normalize();
            if (Blocks[0]->Replace(event)) return 0;
        }
    }
    if (Collector != nullptr) {
        Collector->push_back(event);
        return 0;
    }
    return Insert(event);
}

void TMidiFileBuf::AddEvents(const TMidiEvent* events, size_t count) {
    size_t i = 0;
    while (i < count) {
        // Unfiltered events that go after the stored ones are copied a block at a time: the events that
        // follow the first are in play order already.
        const bool plain = KindMask == 0 && FilterTick == 0 && Collector == nullptr && Pending.empty();
        if (!plain || Stored >= GetCapacity() ||
            (Stored > 0 && TMidiEvent::GoesAfter(At(Stored - 1), events[i]))) {
            AddEvent(events[i++]);
            continue;
        }
        TSingleMidiBuf& block = *Blocks[Stored / MIDI_BLOCK_EVENTS];
        const int at = Stored % MIDI_BLOCK_EVENTS;
        const size_t n = std::min(count - i, static_cast<size_t>(MIDI_BLOCK_EVENTS - at));
        std::copy_n(events + i, n, block.Events + at);
        block.Count = static_cast<SHORT>(at + static_cast<int>(n));
        Stored += static_cast<int>(n);
        i += n;
    }
}

int TMidiFileBuf::GetFreeCapacity() const {
    Normalize();
    const int capacity = GrowthStep > 0 ? MIDI_MAX_BLOCKS * MIDI_BLOCK_EVENTS : GetCapacity();
    return std::max(capacity - Stored, 0);
}

namespace {

// Waiting events are merged in at multiples of this many when the merge is cheap.
constexpr int kMergeStep = 4096;

}  // namespace

int TMidiFileBuf::Insert(const TMidiEvent& event) {
    int total = Stored + static_cast<int>(Pending.size());
    if (total >= GetCapacity() && GrowthStep > 0) Grow(GrowthStep);
    if (total >= GetCapacity()) {
        // Full: the event that comes last in play order is lost.
        Overflow = 1;
        const TMidiEvent* last = Stored > 0 ? &At(Stored - 1) : nullptr;
        if (!Pending.empty() && (!last || !TMidiEvent::GoesAfter(*last, PendingLast))) last = &PendingLast;
        if (!last || !TMidiEvent::GoesAfter(*last, event)) return 1;
    } else if (Pending.empty() && (Stored == 0 || !TMidiEvent::GoesAfter(At(Stored - 1), event))) {
        // In play order: append (every block before the one it lands in is full).
        At(Stored) = event;
        ++Stored;
        Blocks[(Stored - 1) / MIDI_BLOCK_EVENTS]->Count =
            static_cast<SHORT>((Stored - 1) % MIDI_BLOCK_EVENTS + 1);
        return 0;
    }
    if (Pending.empty() || !TMidiEvent::GoesAfter(PendingLast, event)) PendingLast = event;
    if (Pending.empty() || TMidiEvent::GoesAfter(PendingFirst, event)) PendingFirst = event;
    Pending.push_back(event);
    const int waiting = static_cast<int>(Pending.size());
    if (waiting > GetCapacity()) {
        Normalize();
    } else if (waiting % kMergeStep == 0 && Stored - FirstStoredAfter(PendingFirst) <= 4 * waiting) {
        // A score's performance comes slice by slice, each staff's events a little before the end of the
        // stored ones: merged every few thousand events they move only the latest stored events, and the
        // waiting list and the sort's scratch memory stay small. Events that reach far back wait for the
        // merge before the next read.
        Normalize();
    }
    return 0;
}

int TMidiFileBuf::FirstStoredAfter(const TMidiEvent& event) const {
    int low = 0, high = Stored;
    while (low < high) {
        int mid = low + (high - low) / 2;
        if (TMidiEvent::GoesAfter(At(mid), event))
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

void TMidiFileBuf::SetStoredCount(int count) const {
    int oldHigh = Stored == 0 ? -1 : (Stored - 1) / MIDI_BLOCK_EVENTS;
    int newHigh = count == 0 ? -1 : (count - 1) / MIDI_BLOCK_EVENTS;
    int top = std::max(oldHigh, newHigh);
    for (int b = std::max(0, std::min(oldHigh, newHigh)); b <= top; ++b) {
        int n = std::clamp(count - b * MIDI_BLOCK_EVENTS, 0, MIDI_BLOCK_EVENTS);
        Blocks[b]->Count = static_cast<SHORT>(n);
    }
    Stored = count;
}

void TMidiFileBuf::Normalize() const {
    if (Pending.empty()) return;
    auto before = [](const TMidiEvent& a, const TMidiEvent& b) { return TMidiEvent::GoesAfter(b, a); };
    // Events that compare equal keep their arrival order, and every stored event arrived before them. The
    // events come in runs already in play order (a staff's events of one slice), so the runs are merged
    // pairwise (each merge keeps the order of equal events) rather than sorted from scratch.
    std::vector<size_t> runs{0};
    for (size_t i = 1; i < Pending.size(); ++i)
        if (TMidiEvent::GoesAfter(Pending[i - 1], Pending[i])) runs.push_back(i);
    runs.push_back(Pending.size());
    // Short runs (events added in no order) are sorted as a whole.
    if (runs.size() > Pending.size() / 16 + 2) {
        std::stable_sort(Pending.begin(), Pending.end(), before);
        runs = {0, Pending.size()};
    }
    while (runs.size() > 2) {
        std::vector<size_t> merged{0};
        for (size_t k = 0; k + 1 < runs.size(); k += 2) {
            const size_t end = k + 2 < runs.size() ? runs[k + 2] : runs[k + 1];
            std::inplace_merge(Pending.begin() + static_cast<std::ptrdiff_t>(runs[k]),
                               Pending.begin() + static_cast<std::ptrdiff_t>(runs[k + 1]),
                               Pending.begin() + static_cast<std::ptrdiff_t>(end), before);
            merged.push_back(end);
        }
        runs.swap(merged);
    }
    // The stored events up to the first one that goes after the earliest pending event stay where they are.
    const int low = FirstStoredAfter(Pending.front());
    std::vector<TMidiEvent> tail;
    tail.reserve(static_cast<size_t>(Stored - low));
    for (int i = low; i < Stored; ++i)
        tail.push_back(At(i));
    int capacity = GetCapacity();
    int total = std::min(Stored + static_cast<int>(Pending.size()), capacity);
    size_t i = 0, j = 0;
    for (int out = low; out < total; ++out) {
        if (j < Pending.size() && (i == tail.size() || TMidiEvent::GoesAfter(tail[i], Pending[j])))
            At(out) = Pending[j++];
        else
            At(out) = tail[i++];
    }
    Pending.clear();
    // A long list is given back; a short one is kept for the next events.
    if (Pending.capacity() > 4 * kMergeStep) Pending.shrink_to_fit();
    SetStoredCount(total);
}

int TMidiFileBuf::AddTempo(DWORD tick, int bpm) {
    TMidiEvent event = {};
    event.Tick = tick;
    event.SetTempo(bpm);
    return AddEvent(event);
}

int TMidiFileBuf::AddTimeSignature(DWORD tick, int beats, int unitCode) {
    TMidiEvent event = {};
    event.Tick = tick;
    event.SetTimeSignature(beats, unitCode);
    return AddEvent(event);
}

int TMidiFileBuf::AddPause(DWORD tick, int units) {
    TMidiEvent event = {};
    event.Tick = tick;
    event.SetPause(units);
    return AddEvent(event);
}

int TMidiFileBuf::AddKeySignature(DWORD tick, int count, int minor) {
    TMidiEvent event = {};
    event.Tick = tick;
    event.SetKeySignature(count, minor);
    return AddEvent(event);
}

// The tick just after the last event, before the start filter takes its offset off again.
static DWORD EndTick(const TMidiFileBuf& buffer) {
    DWORD offset = buffer.GetFilterMode() == MFB_FILTER_START_OFFSET ? buffer.GetFilterTick() : 0;
    return buffer.GetLastTick() + offset + 1;
}

void TMidiFileBuf::AppendEndPause(int seconds) {
    DWORD t = EndTick(*this);
    AddTempo(t, 60);
    AddPause(t, seconds * 4);
}

void TMidiFileBuf::AppendEndGap(int seconds) {
    DWORD t = EndTick(*this);
    AddTempo(t, 60);
    AddTempo(t + static_cast<DWORD>(seconds) * 192, 60);
}

DWORD TMidiFileBuf::GetSongDurationMs(DWORD tick) const {
    TMFBTimeIndex index(this);
    if (tick != 0)
        index.SeekTick(tick);
    else
        index.SetPos(GetEventCount() - 1);
    return index.GetMs();
}

WORD TMidiFileBuf::GetChannelsUsed(WORD commandMask) const {
    WORD mask = 0;
    for (int b = 0, high = GetHighestBlock(); b <= high; ++b)
        mask = static_cast<WORD>(mask | Blocks[b]->GetChannelsUsed(commandMask));
    return mask;
}

int TMidiFileBuf::GetVelocityExtreme(WORD channelMask, bool highest) const {
    int result = highest ? 0 : 127;
    for (int b = 0, high = GetHighestBlock(); b <= high; ++b) {
        int v = Blocks[b]->GetVelocityExtreme(channelMask, highest);
        result = highest ? std::max(result, v) : std::min(result, v);
    }
    return result;
}

int TMidiFileBuf::GetWidestSpan(WORD channelMask) const {
    BYTE keys[16] = {};
    int widest = 0;
    for (int b = 0, high = GetHighestBlock(); b <= high; ++b)
        widest = Blocks[b]->GetWidestSpan(channelMask, keys, widest);
    return widest;
}

void TMidiFileBuf::GetPatchArrays(int port, WORD drumChannelMask, WORD patches[128], WORD keys[128]) const {
    std::memset(patches, 0, sizeof(WORD) * 128);
    std::memset(keys, 0, sizeof(WORD) * 128);
    for (int b = 0, high = GetHighestBlock(); b <= high; ++b)
        Blocks[b]->GetPatchArrays(port, drumChannelMask, patches, keys);
}

void TMidiFileBuf::Transpose(int amount, WORD channelMask, WORD portMask) {
    for (int b = 0, high = GetHighestBlock(); b <= high; ++b)
        Blocks[b]->Transpose(amount, channelMask, portMask);
}

TMidiSliceCollector::TMidiSliceCollector(TMidiFileBuf& buffer)
    : Buffer(buffer),
      Active(buffer.GetFilterMode() != MFB_FILTER_START_OFFSET || buffer.GetFilterTick() == 0),
      Room(buffer.GetFreeCapacity()) {
    if (Active) Buffer.SetCollector(&Arrived);
}

TMidiSliceCollector::TMidiSliceCollector(TMidiFileBuf& buffer, std::vector<TMidiEvent> heldOver)
    : TMidiSliceCollector(buffer) {
    HeldOver = std::move(heldOver);
    Count = static_cast<int64_t>(HeldOver.size());
}

TMidiSliceCollector::~TMidiSliceCollector() {
    Flush(nullptr);
    Buffer.SetCollector(nullptr);
}

bool TMidiSliceCollector::HasOverflowed() {
    Count += static_cast<int64_t>(Arrived.size() - Counted);
    Counted = Arrived.size();
    return Buffer.HasOverflowed() || Count > Room;
}

void TMidiSliceCollector::Flush(const DWORD* limit) {
    if (!Active) return;
    // The events held over came first.
    Batch.swap(HeldOver);
    Batch.insert(Batch.end(), Arrived.begin(), Arrived.end());
    HeldOver.clear();
    Arrived.clear();
    Counted = 0;
    // Each event's place as one number, sorted as plain numbers: the tick made unsigned (so that it orders
    // as the signed tick does), the rank at one tick, and the index in the batch, which keeps equal events in
    // the order they came.
    constexpr int kIndexBits = 29;
    constexpr uint64_t kIndexMask = (uint64_t{1} << kIndexBits) - 1;
    if (Batch.size() <= kIndexMask) {
        Keys.resize(Batch.size());
        for (size_t i = 0; i < Batch.size(); ++i) {
            const uint64_t tick = Batch[i].Tick ^ 0x80000000u;
            const auto rank = static_cast<uint64_t>(TMidiEvent::SortRank(Batch[i]));
            Keys[i] = tick << 32 | rank << kIndexBits | i;
        }
        std::sort(Keys.begin(), Keys.end());
        Arrived.resize(Keys.size());
        for (size_t i = 0; i < Keys.size(); ++i)
            Arrived[i] = Batch[Keys[i] & kIndexMask];
    } else {
        std::stable_sort(Batch.begin(), Batch.end(), [](const TMidiEvent& a, const TMidiEvent& b) {
            return TMidiEvent::GoesAfter(b, a);
        });
        Arrived.swap(Batch);
    }
    Batch.clear();
    size_t ready = Arrived.size();
    if (limit != nullptr) {
        const auto end = static_cast<int32_t>(*limit);
        ready = static_cast<size_t>(
            std::partition_point(Arrived.begin(), Arrived.end(),
                                 [end](const TMidiEvent& e) { return static_cast<int32_t>(e.Tick) < end; }) -
            Arrived.begin());
    }
    HeldOver.assign(Arrived.begin() + static_cast<std::ptrdiff_t>(ready), Arrived.end());
    Buffer.SetCollector(nullptr);
    Buffer.AddEvents(Arrived.data(), ready);
    Arrived.clear();
    Buffer.SetCollector(&Arrived);
}

void TMFBIndex::Next() {
    if (CanMove(1)) ++Index;
}

bool TMFBIndex::IsTempoOrPause() const {
    const TMidiEvent* e = GetEvent();
    return e && (e->GetKind() == MIDI_KIND_TEMPO || e->GetKind() == MIDI_KIND_PAUSE);
}

bool TMFBIndex::IsSoundingNote() const {
    const TMidiEvent* e = GetEvent();
    return e && e->IsSoundingNote();
}

bool TMFBIndex::CanMove(int direction) const {
    if (direction < 1) return Index >= 1;
    return Index < Buffer->GetEventCount() - 1;
}

void TMFBIndex::Step(int direction) {
    SetPos(direction < 1 ? Index - 1 : Index + 1);
}

void TMFBIndex::SeekSoundingNote(int direction) {
    const TMidiEvent* start = GetEvent();
    if (!start) return;
    DWORD startTick = start->Tick;
    TMFBIndex copy(Buffer);
    copy.Index = Index;
    while (copy.CanMove(direction)) {
        copy.Step(direction);
        if (copy.GetEvent()->Tick != startTick && copy.IsSoundingNote()) break;
    }
    if (copy.IsSoundingNote()) SetPos(copy.Index);
}

void TMFBIndex::SeekLastSoundingNote() {
    SetPos(Buffer->GetEventCount() - 1);
    SeekSoundingNote(-1);
}

void TMFBIndex::SeekTempoOrPause(int direction) {
    TMFBIndex copy(Buffer);
    copy.Index = Index;
    while (copy.CanMove(direction)) {
        copy.Step(direction);
        if (copy.IsTempoOrPause()) break;
    }
    SetPos(copy.Index);
}

TMFBTimeIndex::TMFBTimeIndex(const TMidiFileBuf* buffer) : TMFBIndex(buffer) {
    TMFBTimeIndex::Reset();
}

void TMFBTimeIndex::Reset() {
    Index = 0;
    Tempo = 500000;
    ElapsedMs = 0;
    CurrentTick = 0;
    TempoTick = 0;
    if (const TMidiEvent* e = Buffer->GetEvent(0)) Account(*e);
}

void TMFBTimeIndex::Account(const TMidiEvent& event) {
    int kind = event.GetKind();
    if (kind == MIDI_KIND_TEMPO || kind == MIDI_KIND_PAUSE) {
        ElapsedMs += TicksToMs(Tempo, static_cast<int>(event.Tick - TempoTick));
        TempoTick = event.Tick;
        if (kind == MIDI_KIND_TEMPO)
            Tempo = TMidiEvent::GetTempoMicros(event.GetMessage());
        else
            ElapsedMs += TicksToMs(Tempo, (event.Status | (event.Data1 << 8)) * 192 / 4);
    }
    CurrentTick = event.Tick;
}

void TMFBTimeIndex::Next() {
    if (!CanMove(1)) return;
    ++Index;
    Account(*Buffer->GetEvent(Index));
}

void TMFBTimeIndex::SetPos(int index) {
    index = std::min(index, Buffer->GetEventCount() - 1);
    if (index < Index) Reset();
    // The steps of Next, a block at a time: a song's whole length is walked this way on every render.
    while (Index < index) {
        const int next = Index + 1;
        const TSingleMidiBuf* block = Buffer->GetBlock(next / MIDI_BLOCK_EVENTS);
        const int first = next % MIDI_BLOCK_EVENTS;
        const int last = std::min(first + (index - next), MIDI_BLOCK_EVENTS - 1);
        for (int k = first; k <= last; ++k) {
            // Only tempo and pause events change the time; the tick is the last event's.
            const int kind = block->Events[k].GetKind();
            if (kind == MIDI_KIND_TEMPO || kind == MIDI_KIND_PAUSE) Account(block->Events[k]);
        }
        CurrentTick = block->Events[last].Tick;
        Index += last - first + 1;
    }
}

DWORD TMFBTimeIndex::GetMs() const {
    if (static_cast<int32_t>(CurrentTick) < static_cast<int32_t>(TempoTick)) return 0;
    return ElapsedMs + TicksToMs(Tempo, static_cast<int>(CurrentTick - TempoTick));
}

void TMFBTimeIndex::SeekTick(DWORD tick) {
    SetPos(Buffer->FindTick(tick));
    CurrentTick = tick;
}

void TMFBTimeIndex::SeekMs(DWORD ms) {
    if (ms == 0 || ms < ElapsedMs) Reset();
    while (CanMove(1)) {
        TMFBIndex next(Buffer);
        next.SetPos(Index);
        next.SeekTempoOrPause(1);
        const TMidiEvent* e = next.GetEvent();
        DWORD eventMs = ElapsedMs + TicksToMs(Tempo, static_cast<int>(e->Tick - TempoTick));
        if (ms <= ElapsedMs) break;
        if (ms < eventMs) {
            int ticks = MulDiv(static_cast<int>(ms - ElapsedMs), 192000, static_cast<int>(Tempo));
            SeekTick(static_cast<DWORD>(ticks) + TempoTick);
            break;
        }
        SetPos(next.GetIndex());
    }
}
