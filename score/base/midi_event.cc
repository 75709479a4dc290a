#include "score/base/midi_event.h"

#include <cstring>

bool TMidiEvent::IsSoundingNote() const {
    return IsShortMsg() && (Status & 0x80) && GetCommand() == MIDI_CMD_NOTEON && Data2 != 0;
}

bool TMidiEvent::IsNoteRelease() const {
    if (!IsShortMsg() || !(Status & 0x80)) return false;
    int command = GetCommand();
    return command == MIDI_CMD_NOTEOFF || (command == MIDI_CMD_NOTEON && Data2 == 0);
}

void TMidiEvent::SetData1(int data1) {
    Data1 = static_cast<BYTE>(data1);
}

void TMidiEvent::SetData2(int data2) {
    Data2 = static_cast<BYTE>(data2);
}

static void SetMeta(TMidiEvent& event, int kind, DWORD value) {
    event.Status = static_cast<BYTE>(value);
    event.Data1 = static_cast<BYTE>(value >> 8);
    event.Data2 = static_cast<BYTE>(value >> 16);
    event.KindPort = static_cast<BYTE>((kind << 4) | (event.KindPort & 15));
}

void TMidiEvent::SetTempo(int bpm) {
    if (bpm < 4) bpm = 4;
    // A tempo of more than 60,000,000 bpm would store 0 microseconds; keep at least one.
    if (bpm > 60000000) bpm = 60000000;
    SetMeta(*this, MIDI_KIND_TEMPO, static_cast<DWORD>(60000000 / bpm));
}

void TMidiEvent::SetTimeSignature(int beats, int unitCode) {
    SetMeta(*this, MIDI_KIND_TIMESIG,
            static_cast<DWORD>(beats & 0xFF) | (static_cast<DWORD>(unitCode & 0xFF) << 8));
}

void TMidiEvent::SetKeySignature(int count, int minor) {
    SetMeta(*this, MIDI_KIND_KEYSIG,
            static_cast<DWORD>(static_cast<WORD>(count)) | ((minor ? 1u : 0u) << 16));
}

void TMidiEvent::SetPause(int units) {
    SetMeta(*this, MIDI_KIND_PAUSE, static_cast<WORD>(units));
}

int TMidiEvent::GetTempoBpm(DWORD message) {
    if ((message >> 28) != MIDI_KIND_TEMPO) return 45;
    DWORD micros = GetTempoMicros(message);
    if (micros == 0) micros = 1;
    int bpm = static_cast<int>(60000000u / micros);
    return bpm < 8 ? 8 : bpm;
}

bool TMidiEvent::IsSameSlot(const TMidiEvent& a, const TMidiEvent& b) {
    if (a.Tick != b.Tick || a.GetKind() != b.GetKind()) return false;
    if (!a.IsShortMsg()) return true;
    if (a.GetPort() != b.GetPort() || a.GetChannel() != b.GetChannel() || a.GetCommand() != b.GetCommand())
        return false;
    int command = a.GetCommand();
    if (command == MIDI_CMD_NOTEOFF || command == MIDI_CMD_NOTEON) return false;
    if (command == MIDI_CMD_CONTROLLER) return a.Data1 == b.Data1;
    return true;
}

void TSingleMidiBuf::CopyFrom(const TSingleMidiBuf& other) {
    Count = other.Count;
    if (Count > 0) std::memcpy(Events, other.Events, sizeof(TMidiEvent) * static_cast<size_t>(Count));
}

// Index behind the last event that does not go after the new one (upper bound).
static int UpperPosition(const TSingleMidiBuf& block, const TMidiEvent& event) {
    int i = block.Count - 1;
    while (i >= 0 && TMidiEvent::GoesAfter(block.Events[i], event))
        --i;
    return i + 1;
}

// Index in front of every event that the new one does not go after (lower bound).
static int LowerPosition(const TSingleMidiBuf& block, const TMidiEvent& event) {
    int i = UpperPosition(block, event);
    while (i > 0 && !TMidiEvent::GoesAfter(event, block.Events[i - 1]))
        --i;
    return i;
}

static void InsertAt(TSingleMidiBuf& block, int position, const TMidiEvent& event) {
    int n = block.Count;
    if (position < n)
        std::memmove(&block.Events[position + 1], &block.Events[position],
                     sizeof(TMidiEvent) * static_cast<size_t>(n - position));
    block.Events[position] = event;
    block.Count = static_cast<SHORT>(n + 1);
}

bool TSingleMidiBuf::Insert(const TMidiEvent& event) {
    if (IsFull()) return false;
    InsertAt(*this, UpperPosition(*this, event), event);
    return true;
}

bool TSingleMidiBuf::InsertWithCarry(TMidiEvent& event, bool carried, bool& displaced) {
    displaced = false;
    if (!IsFull()) {
        InsertAt(*this, carried ? LowerPosition(*this, event) : UpperPosition(*this, event), event);
        return true;
    }
    if (TMidiEvent::GoesAfter(Events[Count - 1], event)) {
        TMidiEvent last = Events[Count - 1];
        Count = static_cast<SHORT>(Count - 1);
        InsertAt(*this, carried ? LowerPosition(*this, event) : UpperPosition(*this, event), event);
        event = last;
        displaced = true;
    }
    return false;
}

bool TSingleMidiBuf::Replace(const TMidiEvent& event) {
    for (int i = 0; i < Count; ++i) {
        if (static_cast<int32_t>(Events[i].Tick) > static_cast<int32_t>(event.Tick)) return false;
        if (TMidiEvent::IsSameSlot(Events[i], event)) {
            Events[i] = event;
            return true;
        }
    }
    return false;
}

int TSingleMidiBuf::GetVelocityExtreme(WORD channelMask, bool highest) const {
    int result = highest ? 0 : 127;
    for (int i = 0; i < Count; ++i) {
        const TMidiEvent& e = Events[i];
        if (!e.IsShortMsg() || !(e.Status & 0x80) || e.GetCommand() != MIDI_CMD_NOTEON) continue;
        if (!(channelMask & (1u << e.GetChannel()))) continue;
        if (highest ? e.Data2 > result : e.Data2 < result) result = e.Data2;
    }
    return result;
}

int TSingleMidiBuf::GetWidestSpan(WORD channelMask, BYTE keys[16], int widest) const {
    for (int i = 0; i < Count; ++i) {
        const TMidiEvent& e = Events[i];
        if (!(channelMask & (1u << e.GetChannel()))) continue;
        int key = e.Data1 & 127;
        if (e.IsNoteRelease()) {
            keys[key >> 3] = static_cast<BYTE>(keys[key >> 3] & ~(1u << (key & 7)));
        } else if (e.IsSoundingNote()) {
            keys[key >> 3] = static_cast<BYTE>(keys[key >> 3] | (1u << (key & 7)));
            int low = 0;
            while (!(keys[low >> 3] & (1u << (low & 7))))
                ++low;
            int high = 127;
            while (!(keys[high >> 3] & (1u << (high & 7))))
                --high;
            if (high - low > widest) widest = high - low;
        }
    }
    return widest;
}

WORD TSingleMidiBuf::GetChannelsUsed(WORD commandMask) const {
    WORD mask = 0;
    for (int i = 0; i < Count; ++i) {
        const TMidiEvent& e = Events[i];
        if (!e.IsShortMsg() || !(e.Status & 0x80)) continue;
        if (commandMask & (1u << e.GetCommand())) mask = static_cast<WORD>(mask | (1u << e.GetChannel()));
    }
    return mask;
}

void TSingleMidiBuf::GetPatchArrays(int port, WORD drumChannelMask, WORD patches[128], WORD keys[128]) const {
    for (int i = 0; i < Count; ++i) {
        const TMidiEvent& e = Events[i];
        if (!e.IsShortMsg() || !(e.Status & 0x80) || e.GetPort() != port) continue;
        WORD bit = static_cast<WORD>(1u << e.GetChannel());
        if (e.GetCommand() == MIDI_CMD_PROGRAM)
            patches[e.Data1 & 127] = static_cast<WORD>(patches[e.Data1 & 127] | bit);
        else if (e.IsSoundingNote() && (drumChannelMask & bit))
            keys[e.Data1 & 127] = static_cast<WORD>(keys[e.Data1 & 127] | bit);
    }
}

void TSingleMidiBuf::Transpose(int amount, WORD channelMask, WORD portMask) {
    for (int i = 0; i < Count; ++i) {
        TMidiEvent& e = Events[i];
        if (!e.IsShortMsg() || !(e.Status & 0x80)) continue;
        int command = e.GetCommand();
        if (command != MIDI_CMD_NOTEOFF && command != MIDI_CMD_NOTEON) continue;
        if (!(portMask & (1u << e.GetPort())) || !(channelMask & (1u << e.GetChannel()))) continue;
        e.Data1 = static_cast<BYTE>(qsm::FoldTransposedKey(e.Data1 + amount));
    }
}

namespace qsm {
int FoldTransposedKey(int key) {
    if (key > 127) return (key - 115) % 12 + 115;
    if (key < 0) return ((key % 12) + 12) % 12;
    return key;
}
}  // namespace qsm
