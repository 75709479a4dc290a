// Rest chords: a rest with one note part sharing its stem.
#include "score/song_note.h"

#include <algorithm>
#include <cstdlib>

#include "score/base/play_state.h"
#include "score/pitch_ticks.h"
#include "score/structure_items.h"

TRestChord::TRestChord(int duration, uint16_t attributes) : TRestNote(ntRestChord, duration, attributes) {}

TRestChord::~TRestChord() {
    delete Part;
}

void TRestChord::SetPartRaw(TMusicNote* part) {
    if (part == Part) return;
    delete Part;
    Part = part;
}

int TRestChord::GetNoteCount() const {
    return Part ? Part->GetNoteCount() : 0;
}

TMusicNote* TRestChord::GetNote(int index) const {
    return Part ? Part->GetNote(index) : nullptr;
}

int TRestChord::GetMinStaffPos() const {
    const int rest = TRestNote::GetMinStaffPos();
    return Part ? std::min(rest, Part->GetMinStaffPos()) : rest;
}

int TRestChord::GetMaxStaffPos() const {
    const int rest = TRestNote::GetMaxStaffPos();
    return Part ? std::max(rest, Part->GetMaxStaffPos()) : rest;
}

bool TRestChord::HasSplitDurations() const {
    return Part && Part->GetNominalTicks() != GetNominalTicks();
}

int TRestChord::GetAccidentalSpace(TStaffDrawInfo& info) {
    return Part ? Part->GetAccidentalSpace(info) : 0;
}

bool TRestChord::Transpose(TStaffPlayState& state, int semitones, int steps, bool keep) {
    return Part ? Part->Transpose(state, semitones, steps, keep) : true;
}

void TRestChord::RespellFromPitch(TStaffPlayState& state) {
    if (Part) Part->RespellFromPitch(state);
}

void TRestChord::RenewTieDirections() {
    if (!Part) return;
    for (int i = 0; i < Part->GetNoteCount(); ++i) {
        TMusicNote* n = Part->GetNote(i);
        if (n) n->SetTieDownward(!n->IsStemUp());
    }
    Part->SetTieDownward(!Part->IsStemUp());
}

bool TRestChord::AddNote(TMusicNote* note) {
    if (!note || note->GetType() != ntNote) return false;
    if (note->GetNominalTicks() < GetNominalTicks()) return false;
    if (Part) {
        if (Part->GetNominalTicks() != note->GetNominalTicks()) return false;
        if (Part->FindNoteAtStaffPos(note->GetStaffPos())) return false;
    }

    // Keep what may change so that a refusal leaves everything as it was.
    const int oldOwnStem = GetStemSetting();
    TMusicNote noteBefore;
    noteBefore.AssignNote(*note);

    if (GetStem() == TStemSetting::Free) {
        const int sign = note->GetStemDirSign();
        SetStemDirection(note->HasStemSetting() ? -sign : sign);
    }
    if (!note->HasStemSetting()) note->SetStemDirection(-GetStemDirSign());
    auto refuse = [&]() {
        TSongNote::SetStemSetting(oldOwnStem);
        note->AssignNote(noteBefore);
        return false;
    };
    if (note->GetStemSetting() == GetStemSetting()) return refuse();
    note->SetRestChordPart(true);
    note->SetTieDownward(!note->IsStemUp());

    if (!Part) {
        Part = note;
        note->SetArticulationsOnStem(true);
    } else if (Part->GetType() == ntNote) {
        TMusicNote partBefore;
        partBefore.AssignNote(*Part);
        auto* chord = new TChordData(Part);
        if (!chord->AddNote(note)) {
            chord->DetachAllNotes();
            delete chord;
            Part->AssignNote(partBefore);
            return refuse();
        }
        chord->SetRestChordPart(true);
        Part = chord;
    } else {
        if (!static_cast<TChordData*>(Part)->AddNote(note)) return refuse();
    }
    RenewTieDirections();
    return true;
}

bool TRestChord::RemoveNote(TMusicNote* note) {
    if (!note || !Part) return false;
    if (note == Part) {
        Part = nullptr;
        note->SetRestChordPart(false);
        return true;
    }
    if (Part->GetType() != ntChord || Part->GetNoteCount() < 2) return false;
    auto* chord = static_cast<TChordData*>(Part);
    if (!chord->RemoveNote(note)) return false;
    note->SetRestChordPart(false);
    if (chord->GetNoteCount() == 1) {
        TMusicNote* remaining = chord->DetachAllNotes().front();
        remaining->SetChordMember(false);
        remaining->SetHeadColumn(0);
        remaining->SetRestChordPart(true);
        delete chord;
        Part = remaining;
    }
    RenewTieDirections();
    return true;
}

void TRestChord::SyncNotes() {
    ClearBarLength();
    SetTieContinued(false);
    constexpr uint16_t kKeep = AttributeBit(naDotted) | AttributeBit(naTie) | AttributeBit(naSlur) |
                               AttributeBit(naDblDotted) | AttributeBit(naGrace) |
                               AttributeBit(naTieDirection) | AttributeBit(naSlurDirection) |
                               AttributeBit(naCrescendo) | AttributeBit(naDiminuendo);
    constexpr uint16_t kMoved = kArticulationBits | AttributeBit(naAttribute6) | AttributeBit(naAttribute7);
    const uint16_t articulations = GetAttributes() & kMoved;
    SetAttributes(GetAttributes() & kKeep);
    if (!Part) return;
    Part->SetAttributes(Part->GetAttributes() | articulations);
    SetXNoteSpace(Part->GetXNoteSpace());
    SetXAccSpace(Part->GetXAccSpace());
    if (IsGrace()) {
        Part->SetAttributes(Part->GetAttributes() | AttributeBit(naGrace));
    } else {
        Part->ClearAttribute(naGrace);
    }
    Part->SetStemDirection(-GetStemDirSign());
    Part->SetLyricMode(GetLyricMode());
    if (Part->GetNominalTicks() < GetNominalTicks()) {
        Part->TSongNote::SetDuration(GetDur());
        uint16_t w = Part->GetAttributes() &
                     static_cast<uint16_t>(~(AttributeBit(naDotted) | AttributeBit(naDblDotted)));
        if (IsDblDotted()) {
            w |= AttributeBit(naDblDotted);
        } else if (IsDotted()) {
            w |= AttributeBit(naDotted);
        }
        Part->SetAttributes(w);
    }
    Part->SyncNotes();
    RenewTieDirections();
    if (Part->IsTieContinued()) SetTieContinued(true);
}
