// Staff utilities over items: beat lengths of time signatures, duration fitting and tied continuations.
#include "score/staff_util.h"

#include <memory>
#include <utility>
#include <vector>

#include "score/check_error.h"
#include "score/pitch_ticks.h"
#include "score/song_note.h"
#include "score/structure_items.h"

int TimeSignatureBeatTicks(const TTimeSignatureData& timeSignature, bool compound) {
    return BeatTicks(timeSignature.GetBeats(), timeSignature.GetBeatValueExponent(), compound);
}

namespace {

enum CandidateKind { kDotted, kPlain, kTriplet };

int CandidateTicks(int code, CandidateKind kind) {
    const int plain = 768 >> code;
    if (kind == kDotted) return plain + plain / 2;
    if (kind == kTriplet) return plain * 2 / 3;
    return plain;
}

}  // namespace

int ShortestFittingTicks(bool allowTriplets) {
    return CandidateTicks(dc64th, allowTriplets ? kTriplet : kPlain);
}

namespace {

// The longest candidate not above ticks (code and kind), or the shortest candidate.
void FindFittingCandidate(int ticks, bool allowTriplets, int& code, CandidateKind& kind) {
    code = 0;
    kind = kDotted;
    while (CandidateTicks(code, kind) > ticks) {
        if (kind == kDotted) {
            kind = kPlain;
        } else if (kind == kPlain && allowTriplets) {
            kind = kTriplet;
        } else if (code < dc64th) {
            ++code;
            kind = kDotted;
        } else {
            // Nothing shorter exists: the shortest candidate stands.
            break;
        }
    }
}

}  // namespace

int FittingTicks(int ticks, bool allowTriplets) {
    int code = 0;
    CandidateKind kind = kDotted;
    FindFittingCandidate(ticks, allowTriplets, code, kind);
    return CandidateTicks(code, kind);
}

int SetDurationFromTicks(TNotatedItem& item, int ticks, bool allowTriplets) {
    int code = 0;
    CandidateKind kind = kDotted;
    FindFittingCandidate(ticks, allowTriplets, code, kind);
    const bool dotted = kind == kDotted;
    if (!item.IsSongNote()) return CandidateTicks(code, kind);
    auto& song = static_cast<TSongNote&>(item);
    if (item.GetType() == ntChord) {
        auto& chord = static_cast<TChordData&>(item);
        for (int i = 0; i < chord.GetNoteCount(); ++i) {
            TMusicNote* note = chord.GetNote(i);
            note->SetDuration(code);
            note->ClearAttribute(naDotted);
            note->ClearAttribute(naDblDotted);
            if (dotted) note->SetAttribute(naDotted);
        }
        chord.SyncNotes();
    } else {
        if (TRestNote* rest = item.GetRestNote()) rest->ClearBarLength();
        song.SetDuration(code);
        song.ClearAttribute(naDotted);
        song.ClearAttribute(naDblDotted);
        if (dotted) song.SetAttribute(naDotted);
    }
    // A chord was synced just above; setting its triplet state syncs it again, which changes nothing when
    // the state stays as it is.
    const int triplet = kind == kTriplet ? gsFirst : gsNone;
    if (item.GetType() != ntChord || song.GetTripletState() != triplet) song.SetTripletState(triplet);
    return CandidateTicks(code, kind);
}

bool HasTie(const TNotatedItem* item) {
    if (!item) return false;
    if (item->GetType() == ntNote) return static_cast<const TMusicNote*>(item)->HasAttribute(naTie);
    if (item->GetType() == ntChord) {
        for (int i = 0; i < item->GetNoteCount(); ++i) {
            if (item->GetNote(i)->HasAttribute(naTie)) return true;
        }
    }
    return false;
}

namespace {

TMusicNote* ContinueNote(TMusicNote& source) {
    auto* note = new TMusicNote(source.GetStaffPos(), source.GetDur(), 0, source.GetShownAccidental());
    if (source.HasAttribute(naTie)) note->SetAttribute(naTie);
    note->SetStemSetting(source.GetStemSetting());
    note->SetNotehead(source.GetNotehead());
    source.SetAttribute(naTie);
    return note;
}

}  // namespace

TNotatedItem* MakeTiedContinuation(TNotatedItem& item) {
    switch (item.GetType()) {
        case ntNote:
            return ContinueNote(static_cast<TMusicNote&>(item));
        case ntRest: {
            auto& source = static_cast<TRestNote&>(item);
            auto* rest = new TRestNote(source.GetDur(), 0);
            rest->SetStemSetting(source.GetStemSetting());
            return rest;
        }
        case ntChord: {
            auto& source = static_cast<TChordData&>(item);
            // The notes are this function's until the chord takes them: those it refuses, and all that it
            // has not taken when memory runs out, are deleted on the way out.
            std::vector<TMusicNote*> notes;
            struct TPending {
                std::vector<TMusicNote*>& Notes;
                ~TPending() {
                    for (TMusicNote* note : Notes)
                        delete note;
                }
            } pending{notes};
            notes.reserve(static_cast<size_t>(source.GetNoteCount()));
            for (int i = 0; i < source.GetNoteCount(); ++i)
                notes.push_back(ContinueNote(*source.GetNote(i)));
            source.SetAttribute(naTie);
            if (notes.empty()) return new TChordData();
            if (notes.size() == 1) return std::exchange(notes.front(), nullptr);
            auto chord = std::make_unique<TChordData>();
            chord->AddNotes(notes.data(), static_cast<int>(notes.size()));
            return chord.release();
        }
        default:
            break;
    }
    qsm::CheckPrecondition(false, "Bad Notation", "STAFFUTL");
    return nullptr;
}

void TieChordNotes(TChordData& chord) {
    chord.SetAttribute(naTie);
    for (int i = 0; i < chord.GetNoteCount(); ++i)
        chord.GetNote(i)->SetAttribute(naTie);
}
