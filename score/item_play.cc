// Item playback: what each item contributes when a staff is walked. For every item the performance walk calls
// Play (events at the walk's current tick, before the item changes the walk state), then GetNextPlayIndex
// (repeats, endings and jumps), then UpdatePlayState (the walk state past the item). The audit and transpose
// walks of the notation indexes run UpdatePlayState alone.
#include "score/item_play.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "score/base/midi_event.h"
#include "score/base/midi_file_buf.h"
#include "score/base/play_state.h"
#include "score/expression_items.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

// Ticks between successive grace notes, and by which grace notes push the main note back.
constexpr int kGraceTicks = 24;

DWORD ClampTick(long long t) {
    if (t < 0) return 0;
    if (t > 0xFFFFFFFFLL) return 0xFFFFFFFFu;
    return static_cast<DWORD>(t);
}

int ClampData(int v, int high) {
    return std::clamp(v, 0, high);
}

[[gnu::always_inline]] inline void AddShort(TMidiFileBuf& buffer, const TStaffPlayState& state, DWORD tick,
                                            int command, int data1, int data2) {
    buffer.AddEvent(MakeShortEvent(tick, command, state.GetPort(), state.GetChannel(), data1, data2));
}

void AddController(TMidiFileBuf& buffer, const TStaffPlayState& state, DWORD tick, int controller,
                   int value) {
    AddShort(buffer, state, tick, MIDI_CMD_CONTROLLER, ClampData(controller, 127), ClampData(value, 127));
}

// The note-off of a sounding tied note, on the channel and port its note-on went to.
void EndSoundingTie(TMidiFileBuf& buffer, const TSoundingTie& tie, DWORD tick) {
    buffer.AddEvent(
        MakeShortEvent(tick, MIDI_CMD_NOTEON, tie.ChannelPort >> 4, tie.ChannelPort & 15, tie.Key, 0));
}

// A song note or rest that takes the place of the notes before it ends every sounding tie that it does not
// continue with an unmuted, tie-continued note at the tie's staff position. Grace notes end nothing.
void EndUncontinuedTies(const TSongNote& item, bool muted, TStaffPlayState& state, TMidiFileBuf& buffer) {
    if (item.IsGrace() || item.IsChordMember() || item.IsRestChordPart()) return;
    TSoundingTieList& ties = state.GetSoundingTies();
    for (int i = ties.GetCount() - 1; i >= 0; --i) {
        const TSoundingTie tie = ties.Get(i);
        const TMusicNote* note = muted ? nullptr : item.FindNoteAtStaffPos(tie.Position);
        if (note && note->IsTieContinued() && !note->IsMuted()) continue;
        EndSoundingTie(buffer, tie, tie.EndTick);
        ties.Remove(i);
    }
}

// Percentage of the written length that a note sounds, -1 for the default shortening.
int ArticulatedPercentage(const TSongNote& note, int style) {
    const int n = (note.HasAttribute(naTenuto) ? 1 : 0) + (note.HasAttribute(naSlur) ? 1 : 0);
    int p = -1;
    if (note.HasAttribute(naStaccatissimo)) {
        p = n > 0 ? 50 : 28;
    } else if (note.HasAttribute(naStaccato)) {
        p = n > 0 ? 65 : 38;
    } else if (n > 0) {
        p = 100;
    }
    if (style == 7 || style == 20) {  // Legato, Tenuto
        p = p < 0 ? 100 : p + 10;
    } else if (style == 18) {  // Staccato
        if (p < 1) {
            p = 40;
        } else if (p < 100) {
            p -= 10;
        } else if (n < 2) {
            p = 99;
        }
    }
    return p;
}

int ArticulatedLength(int d, int p) {
    int length;
    if (p < 0) {
        length = d < 192 ? d - 2 : (d < 384 ? d - 32 : d - 48);
    } else if (p < 1) {
        length = 1;
    } else if (p <= 98) {
        length = (d * p + 50) / 100;
    } else if (p == 99) {
        length = d - 1;
    } else {
        length = d;
    }
    return std::max(length, 1);
}

// TSongNote::GetDuration, which notes and chords keep: the walks take it for every note.
int SongNoteTicks(const TSongNote& note) {
    return note.IsGrace() ? 0 : note.GetNominalTicks();
}

}  // namespace

void EndSoundingTies(TStaffPlayState& state, TMidiFileBuf& buffer) {
    TSoundingTieList& ties = state.GetSoundingTies();
    for (int i = 0; i < ties.GetCount(); ++i) {
        EndSoundingTie(buffer, ties.Get(i), ties.Get(i).EndTick);
    }
    ties.Clear();
}

// ---------------------------------------------------------------------------------------------------------
// Durations: the nominal ticks of a note, rest or chord (none for grace notes), the bar length of a
// whole-bar rest, the bars of a multi-measure rest.

int TSongNote::GetDuration() const {
    return SongNoteTicks(*this);
}

int TRestNote::GetDuration() const {
    return BarLengthFlag ? BarLength : TSongNote::GetDuration();
}

int TMultiMeasureRest::GetDuration() const {
    // Computed wide and kept within the 32-bit tick range.
    const int64_t ticks = static_cast<int64_t>(NumBars) * BarLength;
    return ticks > INT32_MAX ? INT32_MAX : static_cast<int>(ticks);
}

// ---------------------------------------------------------------------------------------------------------
// Base behaviour

void TNotatedItem::UpdatePlayState(TStaffPlayState& /*state*/) {}

void TNotatedItem::Play(TStaffPlayState& /*state*/, TMidiFileBuf& /*buffer*/) {}

int TNotatedItem::GetNextPlayIndex(TStaffPlayState& /*state*/, TMusicStaff& /*staff*/, int index) {
    return index + 1;
}

// ---------------------------------------------------------------------------------------------------------
// Notes, rests and chords

namespace {

// The walk state past a song note that is no chord member or rest chord part, which lasts the ticks given.
void AdvancePastNote(const TSongNote& note, int duration, TStaffPlayState& state) {
    state.AdvanceTick(static_cast<DWORD>(duration));
    if (!note.IsGrace()) {
        state.ClearNoteCounter();
        if (note.HasAttribute(naSlur)) {
            state.BeginNoteGroup(note.IsSlurDownward() ? 1 : 0);
        } else if (note.IsSlurContinued()) {
            state.EndNoteGroup();
        }
        return;
    }
    const TMusicNote* first = note.GetNote(0);
    if (first ? !first->IsMuted() : note.GetVisibility() != ivNever) state.IncNoteCounter();
}

}  // namespace

void TSongNote::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
    if (IsChordMember() || IsRestChordPart()) return;
    AdvancePastNote(*this, GetDuration(), state);
}

void TSongNote::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    // Rests: no sound of their own, but they end the ties that nothing continued.
    EndUncontinuedTies(*this, false, state, buffer);
}

// Notes and chords (which derive from TMusicNote) keep the song note's duration, so it is taken directly
// here: the walks pass here for every note.
void TMusicNote::UpdatePlayState(TStaffPlayState& state) {
    const int accidental = GetAccidental();
    if (accidental >= acSharp && accidental <= acDoubleFlat) {
        state.SetAccidental(GetLetter(state.GetClef()), accidental);
    }
    if (IsChordMember() || IsRestChordPart()) return;
    AdvancePastNote(*this, SongNoteTicks(*this), state);
}

TMidiEvent TMusicNote::MakeNoteOnEvent(const TStaffPlayState& state) const {
    int velocity = state.GetVelocity();
    if (HasAttribute(naAccent) || HasAttribute(naMarcato)) velocity = velocity * 7 / 5;
    velocity = std::min(velocity, 127);
    TMidiEvent event{};
    event.Tick = state.GetTick();
    event.SetCommand(MIDI_CMD_NOTEON);
    event.SetChannel(state.GetChannel());
    event.SetPort(state.GetPort());
    event.SetData(GetMidiPitch(state), velocity);
    return event;
}

void TMusicNote::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    EndUncontinuedTies(*this, IsMuted(), state, buffer);

    int velocity = state.GetVelocity();
    int boost = HasAttribute(naTenuto) ? 1 : 0;
    if (HasAttribute(naAccent)) {
        boost += 8;
    } else if (HasAttribute(naMarcato)) {
        boost += 10;
    }
    const int style = state.GetPerformanceStyle();
    if (style == 9) boost += 3;  // Marcato
    velocity = std::min(velocity + (velocity / 20 + 1) * boost, 127);

    const int pitch = GetMidiPitch(state);
    long long start = state.GetTick();
    int d = SongNoteTicks(*this);
    if (!IsGrace()) {
        const int g = state.GetNoteCounter() * kGraceTicks;
        if (g != 0 && g < d) {
            start += g;
            d -= g;
        }
    } else if (!IsMuted() && !(GetVisibility() == ivNever && IsTieContinued())) {
        d = kGraceTicks;
        start += state.GetNoteCounter() * kGraceTicks;
    }
    const DWORD s = ClampTick(start);

    // A note that ends a tie sends the note-off of the note that started it (its key may differ when the
    // context changed in between); the tie goes on when the note is tied onward itself.
    TSoundingTieList& ties = state.GetSoundingTies();
    if (IsTieContinued()) {
        const int open = ties.Find(GetStaffPos());
        if (open < 0) {
            if (HasAttribute(naTie) || IsMuted()) return;
            AddShort(buffer, state,
                     ClampTick(start + ArticulatedLength(d, ArticulatedPercentage(*this, style))),
                     MIDI_CMD_NOTEON, pitch, 0);
            return;
        }
        TSoundingTie tie = ties.Get(open);
        ties.Remove(open);
        if (IsMuted()) {
            EndSoundingTie(buffer, tie, s);
            return;
        }
        if (HasAttribute(naTie)) {
            tie.EndTick = ClampTick(start + d);
            if (!ties.Add(tie)) EndSoundingTie(buffer, tie, tie.EndTick);
            return;
        }
        EndSoundingTie(buffer, tie,
                       ClampTick(start + ArticulatedLength(d, ArticulatedPercentage(*this, style))));
        return;
    }
    if (IsMuted()) return;
    AddShort(buffer, state, s, MIDI_CMD_NOTEON, pitch, velocity);
    if (HasAttribute(naTie)) {
        TSoundingTie tie;
        tie.EndTick = ClampTick(start + d);
        tie.Key = static_cast<BYTE>(pitch);
        tie.ChannelPort = static_cast<BYTE>((state.GetChannel() & 15) | ((state.GetPort() & 15) << 4));
        tie.Position = static_cast<signed char>(GetStaffPos());
        if (!ties.Add(tie)) EndSoundingTie(buffer, tie, tie.EndTick);
        return;
    }
    AddShort(buffer, state, ClampTick(start + ArticulatedLength(d, ArticulatedPercentage(*this, style))),
             MIDI_CMD_NOTEON, pitch, 0);
}

void TChordData::UpdatePlayState(TStaffPlayState& state) {
    for (TMusicNote* member : Members)
        member->UpdatePlayState(state);
    if (IsChordMember() || IsRestChordPart()) return;
    AdvancePastNote(*this, SongNoteTicks(*this), state);
}

void TChordData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    EndUncontinuedTies(*this, IsMuted(), state, buffer);
    if (IsMuted()) return;
    for (TMusicNote* member : Members)
        member->Play(state, buffer);
}

void TRestChord::UpdatePlayState(TStaffPlayState& state) {
    if (Part) Part->UpdatePlayState(state);
    TSongNote::UpdatePlayState(state);
}

void TRestChord::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    EndUncontinuedTies(*this, Part && Part->IsMuted(), state, buffer);
    if (Part) Part->Play(state, buffer);
}

// ---------------------------------------------------------------------------------------------------------
// Signatures and structure

void TClefData::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
    state.SetClef(Type, OctaveShift);
}

void TKeyData::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
    state.SetKeySignature(FlatMask, SharpMask, static_cast<int>(Tonic));
}

void TKeyData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    const int fifths = GetFifths();
    const int tonic = static_cast<int>(Tonic);
    if (state.GetTick() != 0 && state.GetKeyIndex() == fifths && state.GetKeyTonic() == tonic) return;
    const int minor = tonic == (FifthsToMajorTonic(fifths) + 5) % 7 ? 1 : 0;
    buffer.AddKeySignature(state.GetTick(), fifths, minor);
}

void TTimeSignatureData::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
    state.SetTimeSignature(Beats, Exponent);
}

void TTimeSignatureData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    if (state.GetTick() != 0 && state.GetBeatsPerBar() == Beats && state.GetBeatUnitCode() == Exponent)
        return;
    buffer.AddTimeSignature(state.GetTick(), Beats, Exponent);
}

void TMultiMeasureRest::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
    state.AdvanceTick(static_cast<DWORD>(GetDuration()));
}

void TBarLineData::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
    state.ResetAccidentals();
    switch (Style) {
        case bsSectionOpen:
        case bsSectionClose:
            state.SetMasterRepeatPass(1);
            break;
        case bsLocalRepeatOpen:
            state.SetLocalRepeatPass(1);
            break;
        case bsLocalRepeatClose:
            state.IncLocalRepeatPass();
            break;
        case bsMasterRepeatOpen:
            state.SetMasterRepeatPass(1);
            state.SetMasterRepeatCount(2);
            break;
        case bsMasterRepeatClose:
            state.IncMasterRepeatPass();
            break;
        default:
            break;
    }
}

int TBarLineData::GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index) {
    int pass;
    int count;
    int target;
    if (Style == bsLocalRepeatClose) {
        if (state.IsNotationWalk()) return index + 1;
        pass = state.GetLocalRepeatPass();
        count = Repeat;
        target = bsLocalRepeatOpen;
        if (count <= pass) state.SetLocalRepeatPass(0);
    } else if (Style == bsMasterRepeatClose) {
        if (!state.IsNotSkipping()) return index + 1;
        pass = state.GetMasterRepeatPass();
        count = state.GetMasterRepeatCount();
        target = bsMasterRepeatOpen;
    } else {
        return index + 1;
    }
    if (pass >= count) return index + 1;

    int found = 0;
    int localCloses = 0;
    int localOpens = 0;
    bool closeSeen = false;
    for (int i = std::min(index, staff.GetItemCount()) - 1; i >= 1; --i) {
        const TNotatedItem* item = staff.GetItem(i);
        if (!item || item->GetType() != ntBarLine) continue;
        const int style = static_cast<const TBarLineData*>(item)->GetStyle();
        if (style == bsLocalRepeatClose) ++localCloses;
        if (style == bsLocalRepeatOpen) ++localOpens;
        if (style == target) {
            found = i;
            break;
        }
        if (target == bsMasterRepeatOpen) {
            if (style == bsSectionOpen || style == bsSectionClose) {
                found = i;
                break;
            }
            if (style == bsLocalRepeatOpen && !closeSeen) return index + 1;
            if (style == bsLocalRepeatClose) closeSeen = true;
        } else {
            if (style == bsLocalRepeatClose) {
                found = i;
                break;
            }
            if (style == bsMasterRepeatOpen && !closeSeen) return index + 1;
            if (style == bsMasterRepeatClose) closeSeen = true;
        }
    }
    if (target == bsMasterRepeatOpen && localCloses != localOpens) return index + 1;
    return std::max(found + 1, 1);
}

void TSpecialEnding::UpdatePlayState(TStaffPlayState& state) {
    TNotatedItem::UpdatePlayState(state);
    if (Endings != 0) state.SetMasterRepeatCount(8);
}

int TSpecialEnding::GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index) {
    const int pass = state.GetMasterRepeatPass();
    if (Endings == 0 || pass == 0) return index + 1;
    // Ending 8 ("D") is the one played after a D.C. or D.S. jump.
    const bool play = state.IsNotSkipping() ? HasEnding(pass - 1) : HasEnding(7);
    if (play) return index + 1;
    for (int i = index + 1; i < staff.GetItemCount(); ++i) {
        const TNotatedItem* item = staff.GetItem(i);
        if (item->GetType() == ntBarLine) {
            const int style = static_cast<const TBarLineData*>(item)->GetStyle();
            if (style == bsDouble || style == bsBrokenDouble || style == bsSectionOpen ||
                style == bsMasterRepeatOpen) {
                return i;
            }
            if (style == bsSectionClose || style == bsMasterRepeatClose) return i + 1;
        } else if (item->GetType() == ntSpecialEnding &&
                   static_cast<const TSpecialEnding*>(item)->GetEndings() != 0) {
            return i;
        }
    }
    return index + 1;
}

// ---------------------------------------------------------------------------------------------------------
// Expressions

void TPatchData::UpdatePlayState(TStaffPlayState& state) {
    TNtnGeneralExpression::UpdatePlayState(state);
    state.SetTranspose(Instrument.Trans);
}

void TPatchData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    // A patch byte beyond program 128 is no program a device knows: such an item plays nothing.
    if (Instrument.PatchByte == 0 || Instrument.PatchByte > 128) return;
    const DWORD tick = state.GetTick();
    if (Instrument.BankFlag) {
        AddController(buffer, state, tick, 0, Instrument.Bank >> 7);
        AddController(buffer, state, tick, 32, Instrument.Bank & 127);
    }
    AddShort(buffer, state, tick, MIDI_CMD_PROGRAM, Instrument.PatchByte - 1, 0);
}

void TTempoData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    buffer.AddTempo(state.GetTick(), GetNormalizedTempo());
}

void TDynamicLevelData::UpdatePlayState(TStaffPlayState& state) {
    TNtnGeneralExpression::UpdatePlayState(state);
    state.StopVelocityRamp();
    if (Velocity != 0) state.SetVelocity(Velocity);
}

void TDynamicLevelData::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    if (VolumeGiven) AddController(buffer, state, state.GetTick(), 7, Volume);
}

void TSustainPedal::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    AddController(buffer, state, state.GetTick(), 64, IsDown() ? 127 : 0);
}

namespace {

void EmitControlValue(const TGenericControl& control, TStaffPlayState& state, TMidiFileBuf& buffer,
                      long long tick, int value) {
    const DWORD t = ClampTick(tick);
    switch (control.GetController()) {
        case 0:
            buffer.AddTempo(t, std::max(value, 4));
            break;
        case 4: {
            const int bend = ClampData(value, 16383);
            AddShort(buffer, state, t, MIDI_CMD_PITCHBEND, bend % 128, bend / 128);
            break;
        }
        default: {
            const int number = control.GetControllerNumber();
            if (number >= 0) AddController(buffer, state, t, number, value);
            break;
        }
    }
}

}  // namespace

void TGenericControl::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    const long long unit = TimeRes <= 9 ? (768 >> TimeRes) : 0;
    // Point times are counts of the unit after the point before; a negative count stays on the same tick.
    auto pointTicks = [&](int i) { return std::max(GetPointTime(i), 0) * unit; };
    long long t = state.GetTick();
    if (Style != gcLinearSweep) {
        for (int i = 0; i < kPoints; ++i) {
            if (!IsPointInUse(i)) continue;
            t += pointTicks(i);
            EmitControlValue(*this, state, buffer, t, GetPointValue(i));
        }
        return;
    }
    const int sweepRes = static_cast<int>(SweepRes);
    for (int i = 0; i < kPoints && IsPointInUse(i); ++i) {
        t += pointTicks(i);
        const int from = GetPointValue(i);
        EmitControlValue(*this, state, buffer, t, from);
        if (i == kPoints - 1 || !IsPointInUse(i + 1)) break;
        const long long end = t + pointTicks(i + 1);
        const int delta = GetPointValue(i + 1) - from;
        if (end == t || delta == 0 || sweepRes <= 0) continue;
        const int steps = std::abs(delta) / sweepRes;
        if (steps == 0) continue;
        const int sign = delta > 0 ? 1 : -1;
        const float span = static_cast<float>(end - t) / static_cast<float>(steps);
        long long last = t;
        for (int k = 0; k < steps; ++k) {
            const long long tk = t + static_cast<long long>(static_cast<float>(k) * span);
            if (tk <= last) continue;
            if (tk >= end) break;
            EmitControlValue(*this, state, buffer, tk, from + k * sweepRes * sign);
            last = tk;
        }
    }
}

void TTempoVariance::Play(TStaffPlayState& state, TMidiFileBuf& buffer) {
    const long long g = static_cast<long long>(state.GetNoteCounter()) * kGraceTicks;
    const long long s = static_cast<long long>(state.GetTick()) + g;
    if (Style == tvBreathMark || Style == tvCaesura) {
        if (Pause > 0) buffer.AddPause(ClampTick(s), Pause);
        return;
    }
    if (Style == tvFermata) {
        if (Pause > 0) buffer.AddPause(ClampTick(s + 1), Pause);
        return;
    }
    const long long length = RampLength;
    if (length <= g || RampStart == RampEnd) return;
    const long long span = length - g;
    const long long end = s + span;
    const int steps = std::abs(static_cast<int>(RampEnd) - static_cast<int>(RampStart));
    const int sign = RampEnd > RampStart ? 1 : -1;
    const float stepTime = static_cast<float>(span) / static_cast<float>(steps);
    long long last = s;
    for (int k = 0; k < steps; ++k) {
        const long long tk = s + static_cast<long long>(static_cast<float>(k) * stepTime);
        if (tk <= last) continue;
        if (tk >= end) break;
        buffer.AddTempo(ClampTick(tk), RampStart + k * sign);
        last = tk;
    }
}

void TPerformanceStyle::UpdatePlayState(TStaffPlayState& state) {
    state.SetPerformanceStyle(Style);
    TNtnGeneralExpression::UpdatePlayState(state);
}

// ---------------------------------------------------------------------------------------------------------
// Flow directions

void TFlowDirection::UpdatePlayState(TStaffPlayState& state) {
    TNtnGeneralExpression::UpdatePlayState(state);
    switch (Style) {
        case fsToCoda:
            if (state.IsJumpTaken()) {
                state.EndJumpSkip();
                state.ResetAccidentals();
            }
            break;
        case fsDaCapo:
        case fsDCalCoda:
        case fsDCalFine:
            state.BeginJumpSearch();
            state.ResetAccidentals();
            break;
        case fsDalSegno:
        case fsDSalCoda:
        case fsDSalFine:
            state.BeginJumpSkip();
            state.ResetAccidentals();
            break;
        default:
            break;
    }
}

int TFlowDirection::GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index) {
    auto flowStyleAt = [&](int i) {
        const TNotatedItem* item = staff.GetItem(i);
        return item && item->GetType() == ntFlowDirection
                   ? static_cast<const TFlowDirection*>(item)->GetStyle()
                   : -1;
    };
    switch (Style) {
        case fsFine:
            return state.IsJumpTaken() ? staff.GetItemCount() : index + 1;
        case fsToCoda: {
            // Once the coda has been reached, a To Coda met again (a coda placed before the jump) plays on:
            // jumping again would loop for ever.
            if (!state.IsJumpTaken() || state.IsNotSkipping() || state.IsJumpTargetReached())
                return index + 1;
            int firstJump = -1;
            for (int i = 0; i < staff.GetItemCount(); ++i) {
                const int style = flowStyleAt(i);
                if (style == fsCoda) return i;
                if (style >= fsDaCapo && style <= fsDSalFine && firstJump < 0) firstJump = i;
            }
            return firstJump >= 0 ? firstJump + 1 : index + 1;
        }
        case fsDaCapo:
        case fsDCalCoda:
        case fsDCalFine:
            return state.IsJumpTaken() ? index + 1 : 0;
        case fsDalSegno:
        case fsDSalCoda:
        case fsDSalFine:
            if (state.IsJumpTaken()) return index + 1;
            for (int i = 0; i < staff.GetItemCount(); ++i) {
                if (flowStyleAt(i) == fsSegno) return i;
            }
            return index + 1;
        default:
            return index + 1;
    }
}
