#include "midi/sequencer.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "core/scope_flag.h"
#include "platform/mm/mmsystem.h"
#include "platform/wm/winuser.h"
#include "score/base/midi_file_buf.h"

namespace {

constexpr UINT kTimerPeriod = 2;
constexpr WPARAM kNeedBlock = 1;
constexpr WPARAM kSongEnded = 2;
constexpr DWORD kDryRetryMs = 60000;
constexpr DWORD kRebaseMs = 300000;
// Tries of a release or a restored message at a device that answers "not ready", a millisecond apart.
constexpr int kReleaseTries = 50;
constexpr BYTE kAllNotesOff = 123;
constexpr BYTE kSustain = 64;

// Milliseconds are compared by their signed difference, so that the 32-bit clock may wrap.
bool Before(DWORD a, DWORD b) {
    return static_cast<int32_t>(a - b) < 0;
}

// The periodic timer ticks on the multiples of its period: reference times put on the same grid make the
// events due at whole periods from them go out on the tick they are due, not one millisecond later.
DWORD OnTimerGrid(DWORD ms) {
    return ms + (kTimerPeriod - ms % kTimerPeriod) % kTimerPeriod;
}

}  // namespace

// ---- port tracker ----

void TMidiPortTracker::Update(DWORD msg) {
    BYTE status = static_cast<BYTE>(msg & 0xFF);
    BYTE data1 = static_cast<BYTE>((msg >> 8) & 0xFF);
    BYTE data2 = static_cast<BYTE>((msg >> 16) & 0xFF);
    int command = (status >> 4) & 7;
    bool release = command == 0 || (command == 1 && data2 == 0);
    if (command == 1 && !release) {
        SoundedChannels = static_cast<WORD>(SoundedChannels | (1u << (status & 0x0F)));
        const int key = KeyIndex(msg);
        if (Strikes[key] == 0) {
            Place[key] = static_cast<WORD>(NoteCount);
            Notes[NoteCount++] = msg;
        } else {
            Notes[Place[key]] = msg;
        }
        if (Strikes[key] < 0xFFFF) ++Strikes[key];
        return;
    }
    if (release) {
        const int key = KeyIndex(msg);
        if (Strikes[key] == 0 || --Strikes[key] != 0) return;
        const int place = Place[key];
        Notes[place] = Notes[--NoteCount];
        Place[KeyIndex(Notes[place])] = static_cast<WORD>(place);
        return;
    }
    if (command < 2 || command > 6) return;
    for (int i = 0; i < StateCount; ++i) {
        BYTE s = static_cast<BYTE>(States[i] & 0xFF);
        if (s != status) continue;
        if (command == 3 && static_cast<BYTE>((States[i] >> 8) & 0xFF) != data1) continue;
        if (command == 4) {
            // A program change moves to the end, so that it is sent after the bank selects on restore.
            for (int j = i; j + 1 < StateCount; ++j)
                States[j] = States[j + 1];
            States[StateCount - 1] = msg;
        } else {
            States[i] = msg;
        }
        return;
    }
    if (StateCount < 256) States[StateCount++] = msg;
}

WORD TMidiPortTracker::GetPedalMask() const {
    WORD mask = 0;
    for (int i = 0; i < StateCount; ++i) {
        DWORD s = States[i];
        if ((s & 0xF0) == 0xB0 && ((s >> 8) & 0xFF) == 64 && ((s >> 16) & 0xFF) != 0) {
            mask = static_cast<WORD>(mask | (1u << (s & 0x0F)));
        }
    }
    return mask;
}

// ---- sequencer ----

TQSMidi::TQSMidi() {
    MessageId = RegisterWindowMessageA("QSMMidiSeq");
}

TQSMidi::~TQSMidi() {
    Stop();
    for (TMidiPortTracker*& tracker : Trackers) {
        delete tracker;
        tracker = nullptr;
    }
}

void TQSMidi::OnTimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    reinterpret_cast<TQSMidi*>(user)->OnTimer();
}

void TQSMidi::OnMidiInProc(HMIDIIN handle, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    reinterpret_cast<TQSMidi*>(instance)->OnMidiIn(handle, msg, param1);
}

void TQSMidi::Hold() {
    HoldTimer.store(true);
    while (InCallback.load())
        std::this_thread::yield();
}

void TQSMidi::Unhold() {
    HoldTimer.store(false);
}

DWORD TQSMidi::GetEffectiveTempo() const {
    DWORD tempo = Tempo.load(std::memory_order_relaxed);
    float factor = SpeedFactor.load(std::memory_order_relaxed);
    if (!(factor == factor) || factor == 0.0f || factor == 1.0f) return tempo == 0 ? 1 : tempo;
    double scaled = std::trunc(static_cast<double>(tempo) * static_cast<double>(factor));
    if (scaled < 1.0) return 1;
    if (scaled > 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<DWORD>(scaled);
}

DWORD TQSMidi::DueOffsetMs(DWORD ticks) const {
    uint64_t t = GetEffectiveTempo();
    uint64_t d = ticks;
    uint64_t ms = ((t % 192) * d / 192 + (t / 192) * d) / 1000;
    return static_cast<DWORD>(ms);
}

bool TQSMidi::SendToPort(DWORD msg, bool track) {
    int port = static_cast<int>((msg >> 24) & 15);
    HMIDIOUT out = Outs[port];
    if (out == nullptr) return true;
    if (midiOutShortMsg(out, msg) == MIDIERR_NOTREADY) return false;
    if (track && Trackers[port] != nullptr) Trackers[port]->Update(msg);
    return true;
}

bool TQSMidi::SendSurely(DWORD msg) {
    for (int attempt = 0; attempt < kReleaseTries; ++attempt) {
        if (SendToPort(msg, false)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void TQSMidi::Restore() {
    // Every state and every held note goes out again, for as long as the device takes them: a port that
    // still answers "not ready" after the tries gets nothing more.
    for (int port = 0; port < 16; ++port) {
        TMidiPortTracker* t = Trackers[port];
        if (t == nullptr) continue;
        DWORD portBits = static_cast<DWORD>(port) << 24;
        bool taken = true;
        for (int i = 0; taken && i < t->StateCount; ++i)
            taken = SendSurely((t->States[i] & 0x00FFFFFF) | portBits);
        for (int i = 0; taken && i < t->NoteCount; ++i)
            taken = SendSurely((t->Notes[i] & 0x00FFFFFF) | portBits);
    }
}

void TQSMidi::Silence() {
    // After the releases of what the tracker holds, every channel that sounded also gets all-notes-off and
    // sustain-off, for notes the device still sounds that the tracker does not know of.
    for (int port = 0; port < 16; ++port) {
        TMidiPortTracker* t = Trackers[port];
        if (t == nullptr) continue;
        DWORD portBits = static_cast<DWORD>(port) << 24;
        WORD pedals = t->GetPedalMask();
        for (DWORD channel = 0; channel < 16; ++channel) {
            if (pedals & (1u << channel)) SendSurely(0xB0 | channel | (DWORD{kSustain} << 8) | portBits);
        }
        for (int i = 0; i < t->NoteCount; ++i)
            SendSurely((t->Notes[i] & 0x0000FFFF) | portBits);
        for (DWORD channel = 0; channel < 16; ++channel) {
            if (!(t->SoundedChannels & (1u << channel))) continue;
            SendSurely(0xB0 | channel | (DWORD{kAllNotesOff} << 8) | portBits);
            if (!(pedals & (1u << channel))) SendSurely(0xB0 | channel | (DWORD{kSustain} << 8) | portBits);
        }
    }
}

void TQSMidi::Notify(From from, WPARAM what) {
    HWND owner = Owner.load();
    if (owner == nullptr) return;
    if (from == From::kWindow && what == kNeedBlock) {
        SendMessageA(owner, MessageId, what, 0);
    } else {
        PostMessageA(owner, MessageId, what, 0);
    }
}

void TQSMidi::PurgeNotices() {
    HWND owner = Owner.load();
    if (owner == nullptr) return;
    MSG msg;
    while (PeekMessageA(&msg, owner, MessageId, MessageId, PM_REMOVE)) {
    }
}

bool TQSMidi::SwapBuffers(From from) {
    TSingleMidiBuf* next = Queued.exchange(nullptr, std::memory_order_acq_rel);
    if (next == nullptr || next->Count <= 0) {
        // The song ran dry: say so and look again in a minute.
        NeedSwap = true;
        Notify(From::kTimer, kSongEnded);
        DueTime.store(timeGetTime() + kDryRetryMs);
        return false;
    }
    CurBlock = next;
    PendingIndex = 0;
    NeedSwap = false;
    Notify(from, kNeedBlock);  // the slot is empty before the request goes out
    return true;
}

void TQSMidi::ResetBlock(TSingleMidiBuf* first) {
    CurBlock = first;
    PendingIndex = 0;
    NeedSwap = false;
    Queued.store(nullptr);
    CurrentTick.store(0);
    PendingTick.store(first->Events[0].Tick);
    Tempo.store(500000);
}

void TQSMidi::PumpEvents(bool seeking) {
    if (Queued.load() == nullptr) Notify(From::kWindow, kNeedBlock);
    DWORD elapsed = 0;
    DWORD lastTempoTick = 0;
    DWORD units = 0;
    DWORD refTick = RefTick.load();
    for (;;) {
        const TMidiEvent& ev = CurBlock->Events[PendingIndex];
        bool meta = ev.GetKind() != MIDI_KIND_SHORT;
        if (ev.Tick >= refTick && (meta || ev.IsSoundingNote())) break;
        switch (ev.GetKind()) {
            case MIDI_KIND_SHORT: {
                TMidiPortTracker* t = Trackers[ev.GetPort()];
                if (t != nullptr) t->Update(ev.GetMessage());
                break;
            }
            case MIDI_KIND_TEMPO: {
                DWORD span = ev.Tick - lastTempoTick + units * 48;
                if (span != 0) elapsed += TicksToMs(GetEffectiveTempo(), static_cast<int>(span));
                lastTempoTick = ev.Tick;
                units = 0;
                Tempo.store(TMidiEvent::GetTempoMicros(ev.GetMessage()));
                break;
            }
            case MIDI_KIND_PAUSE:
                units += static_cast<DWORD>(ev.Status | (ev.Data1 << 8));
                break;
            default:
                break;
        }
        if (++PendingIndex >= CurBlock->Count) {
            if (!SwapBuffers(From::kWindow)) return;
        }
        PendingTick.store(CurBlock->Events[PendingIndex].Tick);
    }
    if (!seeking) {
        Restore();
        DWORD rest = refTick > lastTempoTick ? refTick - lastTempoTick : 0;
        StartPositionMs.store(TicksToMs(GetEffectiveTempo(), static_cast<int>(units * 48 + rest)) + elapsed);
    }
    CurrentTick.store(refTick);
}

bool TQSMidi::Start(HWND owner, const TMidiPlayParams& params, TSingleMidiBuf* first) {
    if (Playing.load() || first == nullptr || first->Count <= 0 || owner == nullptr) return false;
    Paused.store(false);
    PausedAt.store(0);
    TotalPausedMs.store(0);
    StartPositionMs.store(0);
    Owner.store(owner);
    timeBeginPeriod(kTimerPeriod);
    for (int port = 0; port < 16; ++port) {
        Outs[port] = params.Outs[port];
        if (Outs[port] != nullptr && Trackers[port] == nullptr) Trackers[port] = new TMidiPortTracker;
        if (Trackers[port] != nullptr) Trackers[port]->Clear();
    }
    DWORD now = timeGetTime();
    const DWORD ref = OnTimerGrid(now + params.StartDelay);
    RefTime.store(ref);
    RefTick.store(params.StartTick);
    DueTime.store(ref);
    ClockTick.store(params.StartTick);
    PauseUnits.store(0);
    ResetBlock(first);
    Playing.store(true);
    PumpEvents(false);
    TimerId = timeSetEvent(kTimerPeriod, kTimerPeriod, OnTimerProc, reinterpret_cast<DWORD_PTR>(this),
                           TIME_PERIODIC);
    if (TimerId == 0) Stop();
    return Playing.load();
}

bool TQSMidi::SetNextBlock(TSingleMidiBuf* block) {
    if (!Playing.load() || block == nullptr) return false;
    TSingleMidiBuf* expected = nullptr;
    return Queued.compare_exchange_strong(expected, block, std::memory_order_release,
                                          std::memory_order_relaxed);
}

void TQSMidi::Stop() {
    if (!Playing.exchange(false)) return;
    // No callback may run while the notes are silenced: hold the timer off, then end it.
    Hold();
    if (TimerId != 0) {
        timeKillEvent(TimerId);
        TimerId = 0;
    }
    Silence();
    Paused.store(false);
    PausedAt.store(0);
    Queued.store(nullptr);
    PurgeNotices();
    Owner.store(nullptr);
    timeEndPeriod(kTimerPeriod);
    Unhold();
}

void TQSMidi::TogglePause() {
    if (!Playing.load()) return;
    Hold();
    DWORD now = timeGetTime();
    if (Paused.load()) {
        Restore();
        // The pause counts in whole timer periods, so that the times keep to the timer's grid.
        DWORD length = OnTimerGrid(now - PausedAt.load());
        DueTime.store(DueTime.load() + length);
        RefTime.store(RefTime.load() + length);
        TotalPausedMs.store(TotalPausedMs.load() + length);
        PausedAt.store(0);
        Paused.store(false);
    } else {
        PausedAt.store(now);
        Paused.store(true);
        Silence();
    }
    Unhold();
}

void TQSMidi::Reposition(DWORD startTick, TSingleMidiBuf* first) {
    if (!Playing.load() || !Paused.load() || first == nullptr || first->Count <= 0) return;
    Hold();
    PurgeNotices();
    StartPositionMs.store(0);
    ResetBlock(first);
    for (TMidiPortTracker* tracker : Trackers) {
        if (tracker != nullptr) tracker->Clear();
    }
    TotalPausedMs.store(0);
    DWORD now = timeGetTime();
    RefTime.store(OnTimerGrid(now));
    DueTime.store(OnTimerGrid(now));
    PausedAt.store(now);
    RefTick.store(startTick);
    ClockTick.store(startTick);
    PauseUnits.store(0);
    PumpEvents(true);
    Unhold();
}

void TQSMidi::SetSpeedFactor(float factor) {
    Hold();
    SpeedFactor.store(factor);
    DWORD current = CurrentTick.load();
    RefTick.store(current);
    PendingTick.store(current);
    DWORD now = timeGetTime();
    RefTime.store(OnTimerGrid(now));
    DueTime.store(OnTimerGrid(now));
    if (Paused.load()) PausedAt.store(now);
    Unhold();
}

DWORD TQSMidi::GetPauseLength() const {
    if (!Paused.load()) return 0;
    return timeGetTime() - PausedAt.load();
}

int TQSMidi::GetCountdownSeconds() const {
    if (!Playing.load() || Paused.load()) return 0;
    DWORD now = timeGetTime();
    DWORD ref = RefTime.load(std::memory_order_relaxed);
    if (!Before(now, ref)) return 0;
    return static_cast<int>((ref + 500 - now) / 1000);
}

void TQSMidi::OnTimer() {
    // Hold() waits while this runs.
    const qsm::ScopedFlag inCallback(InCallback);
    if (!Playing.load() || HoldTimer.load() || Paused.load()) return;
    DWORD now = timeGetTime();
    DWORD due = DueTime.load(std::memory_order_relaxed);
    if (Before(now, due)) return;
    DWORD units = PauseUnits.load(std::memory_order_relaxed);
    DWORD clock = ClockTick.load(std::memory_order_relaxed);
    DWORD refTick = RefTick.load(std::memory_order_relaxed);
    DWORD refTime = RefTime.load(std::memory_order_relaxed);
    if (now - due >= 2 && units == 0) {
        // Catch up with the time the callback came late.
        uint64_t ticks = static_cast<uint64_t>(now - due) * 192000 / GetEffectiveTempo();
        clock += static_cast<DWORD>(ticks);
    }
    DWORD current = clock;
    DWORD pending = PendingTick.load(std::memory_order_relaxed);
    bool dry = false;
    if (NeedSwap) {
        // The last block ended without a next one: look for it again before going on.
        if (SwapBuffers(From::kTimer)) {
            pending = CurBlock->Events[PendingIndex].Tick;
        } else {
            dry = true;
        }
    }
    while (!dry && current >= pending) {
        const TMidiEvent& ev = CurBlock->Events[PendingIndex];
        switch (ev.GetKind()) {
            case MIDI_KIND_SHORT:
                if (!SendToPort(ev.GetMessage(), true)) {
                    // Not ready: the same event is tried at the next tick.
                    ClockTick.store(clock, std::memory_order_relaxed);
                    CurrentTick.store(current, std::memory_order_relaxed);
                    return;
                }
                break;
            case MIDI_KIND_TEMPO:
                Tempo.store(TMidiEvent::GetTempoMicros(ev.GetMessage()), std::memory_order_relaxed);
                refTick = pending;
                refTime = due;
                current = ev.Tick;
                break;
            case MIDI_KIND_PAUSE:
                current = refTick = pending;
                refTime = due;
                units = units > 0 ? units - 1 : static_cast<DWORD>(ev.Status | (ev.Data1 << 8));
                break;
            default:
                break;
        }
        if (units > 0) break;
        if (++PendingIndex >= CurBlock->Count) {
            if (!SwapBuffers(From::kTimer)) {
                dry = true;
                break;
            }
        }
        pending = CurBlock->Events[PendingIndex].Tick;
    }
    RefTick.store(refTick, std::memory_order_relaxed);
    RefTime.store(refTime, std::memory_order_relaxed);
    PendingTick.store(pending, std::memory_order_relaxed);
    PauseUnits.store(units, std::memory_order_relaxed);
    CurrentTick.store(current, std::memory_order_relaxed);
    if (dry) {
        // SwapBuffers set the time to look again.
        ClockTick.store(clock, std::memory_order_relaxed);
        return;
    }
    DWORD d = 48;
    if (units == 0) {
        clock = clock + 48 > pending ? (pending > clock ? pending : clock) : clock + 48;
        d = clock - refTick;
    }
    ClockTick.store(clock, std::memory_order_relaxed);
    DWORD newDue = refTime + DueOffsetMs(d);
    if (newDue - refTime > kRebaseMs) {
        RefTime.store(newDue, std::memory_order_relaxed);
        RefTick.store(clock, std::memory_order_relaxed);
    }
    DueTime.store(newDue, std::memory_order_relaxed);
}

void TQSMidi::SetEcho(HMIDIOUT handle, BYTE channelOverride) {
    EchoChannel.store(channelOverride);
    EchoOut.store(handle);
}

void TQSMidi::SetRecording(bool on) {
    if (on && !Recording.load()) InRead.store(InWrite.load(std::memory_order_acquire));
    Recording.store(on);
}

bool TQSMidi::ReadInput(TMidiEvent& event) {
    BYTE r = InRead.load(std::memory_order_relaxed);
    if (r == InWrite.load(std::memory_order_acquire)) return false;
    event = InRing[r];
    InRead.store(static_cast<BYTE>(r + 1), std::memory_order_release);
    return true;
}

void TQSMidi::OnMidiIn(HMIDIIN handle, UINT msg, DWORD_PTR data) {
    // Only short messages: the other callback messages carry no message in their data.
    if (msg != MIM_DATA && msg != MIM_MOREDATA) return;
    DWORD message = static_cast<DWORD>(data) & 0x00FFFFFF;
    BYTE status = static_cast<BYTE>(message & 0xFF);
    HMIDIOUT echo = EchoOut.load();
    if (echo != nullptr) {
        DWORD out = message;
        BYTE channel = EchoChannel.load();
        if (channel != 0 && status >= 0x80 && status < 0xF0) out = (out & ~0x0Fu) | ((channel - 1u) & 0x0F);
        if (midiOutShortMsg(echo, out) == MIDIERR_NOTREADY) midiOutShortMsg(echo, out);
    }
    if (!Recording.load()) {
        HWND window = InputWindow.load();
        int command = status >> 4;
        bool wanted = command == 0x8 || command == 0x9 || command == 0xB || command == 0xC || command == 0xE;
        if (window != nullptr && wanted) {
            PostMessageA(window, MM_MIM_DATA, reinterpret_cast<WPARAM>(handle), static_cast<LPARAM>(message));
        }
        return;
    }
    if (msg != MIM_DATA || status >= 0xF0 || status < 0x80) return;
    BYTE w = InWrite.load(std::memory_order_relaxed);
    if (static_cast<BYTE>(w + 1) == InRead.load(std::memory_order_acquire)) return;  // full: drop the new one
    TMidiEvent& ev = InRing[w];
    ev.Status = status;
    ev.Data1 = static_cast<BYTE>((message >> 8) & 0xFF);
    ev.Data2 = static_cast<BYTE>((message >> 16) & 0xFF);
    ev.KindPort = 0;
    if (!Playing.load()) {
        ev.Tick = 0xFFFFFFFFu;
    } else if (Paused.load()) {
        ev.Tick = RefTick.load(std::memory_order_relaxed);
    } else {
        DWORD tempo = GetEffectiveTempo();
        DWORD refTick = RefTick.load(std::memory_order_relaxed);
        int32_t since = static_cast<int32_t>(timeGetTime() - RefTime.load(std::memory_order_relaxed));
        if (since < 0 || tempo < 1000) {
            ev.Tick = refTick;
        } else {
            ev.Tick = refTick + static_cast<DWORD>(static_cast<uint64_t>(since) * 192 / (tempo / 1000));
        }
    }
    InWrite.store(static_cast<BYTE>(w + 1), std::memory_order_release);
}
