// Staff utilities: spelling, pitch names, accidental spacing, tick lengths, duration fitting and tied
// continuations.
#include "score/staff_util.h"

#include <cstdio>
#include <vector>

#include "score/check_error.h"
#include "score/song_note.h"
#include "score/structure_items.h"

int ClefReferenceStep(int clef) {
    switch (clef) {
        case ctTreble:
            return 29;
        case ctBass:
            return 17;
        case ctAlto:
            return 23;
        case ctTenor:
            return 21;
        case ctPercussion:
            return 17;
        default:
            return 29;
    }
}

void MidiNoteToStaffPos(int clef, int key, int note, int& position, int& accidental) {
    static constexpr int kFlatSteps[12] = {0, 1, 1, 2, 3, 3, 4, 4, 5, 6, 6, 0};
    static constexpr int kSharpSteps[12] = {0, 0, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};
    // Notes outside 0-127 keep their pitch class when brought into range.
    note = FoldMidiPitch(note);
    const int k = note + 3;
    const int octave = k / 12;
    const int i = k % 12;
    int base = octave - 2;
    int step = 0;
    accidental = acNatural;
    if (key < 0) {
        step = kFlatSteps[i];
        if (kFlatSteps[i] == kFlatSteps[(i + 1) % 12]) accidental = acFlat;
        if (i == 11) base = octave - 1;
        if (key <= -7 && i == 7) {
            step = 5;
            accidental = acFlat;
        } else if (key <= -6 && i == 2) {
            step = 2;
            accidental = acFlat;
        }
    } else {
        step = kSharpSteps[i];
        if (kSharpSteps[i] == kSharpSteps[(i + 11) % 12]) accidental = acSharp;
        if (key >= 7 && i == 3) {
            step = 1;
            accidental = acSharp;
        } else if (key >= 6 && i == 8) {
            step = 4;
            accidental = acSharp;
        }
    }
    position = ClefReferenceStep(clef) - (step + base * 7);
}

void StaffUtil_PitchName(int note, char* buffer) {
    static constexpr char kLetters[12] = {'C', 'C', 'D', 'D', 'E', 'F', 'F', 'G', 'G', 'A', 'A', 'B'};
    static constexpr char kSharps[12] = {' ', '#', ' ', '#', ' ', ' ', '#', ' ', '#', ' ', '#', ' '};
    if (note < 0) note = 0;
    if (note > 127) note = 127;
    snprintf(buffer, 8, "%c%c%d", kLetters[note % 12], kSharps[note % 12], note / 12 - 1);
}

int StaffUtil_BuildPitchNameList(char* buffer) {
    int used = 0;
    for (int note = 0; note < 128; ++note) {
        char name[8];
        StaffUtil_PitchName(note, name);
        int n = 0;
        while (name[n])
            buffer[used++] = name[n++];
        buffer[used++] = 0;
    }
    buffer[used++] = 0;
    return used;
}

int SymbolSideSpace(int accidental, int side) {
    if (accidental == acFlat || accidental == acDoubleFlat) return side >= 0 ? 4 : 2;
    if (accidental == acDoubleSharp) return 2;
    return 3;
}

int SymbolPairGap(int left, int right) {
    if (left == acNatural && right == acFlat) return 6;
    if (left == acNatural && right == acNatural) return 5;
    if (left == acDoubleSharp && right == acDoubleSharp) return 3;
    return SymbolSideSpace(left, -1) + SymbolSideSpace(right, 1);
}

int MeasureTicks(int beats, int exponent) {
    if (beats < 1) beats = 1;
    if (exponent < 0) exponent = 0;
    if (exponent > 15) exponent = 15;
    return (768 >> exponent) * beats;
}

int BeatTicks(int beats, int exponent, bool compound) {
    if (beats < 1) beats = 1;
    const int measure = MeasureTicks(beats, exponent);
    if (compound && beats % 3 == 0 && beats / 3 > 1) return measure / beats * 3;
    return measure / beats;
}

int TimeSignatureBeatTicks(const TTimeSignatureData& timeSignature, bool compound) {
    return BeatTicks(timeSignature.GetBeats(), timeSignature.GetBeatValueExponent(), compound);
}

int DurationToTicks(int code) {
    if (code < 0) code = 0;
    if (code < 2) return 192 << (2 - code);
    if (code > 10) return 0;
    return 192 >> (code - 2);
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

int SetDurationFromTicks(TNotatedItem& item, int ticks, bool allowTriplets) {
    int code = 0;
    CandidateKind kind = kDotted;
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
    song.SetTripletState(kind == kTriplet ? gsFirst : gsNone);
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
            std::vector<TMusicNote*> notes;
            for (int i = 0; i < source.GetNoteCount(); ++i)
                notes.push_back(ContinueNote(*source.GetNote(i)));
            source.SetAttribute(naTie);
            if (notes.empty()) return new TChordData();
            if (notes.size() == 1) return notes.front();
            auto* chord = new TChordData();
            chord->AddNotes(notes.data(), static_cast<int>(notes.size()));
            // A note the chord refused must not leak.
            for (TMusicNote* refused : notes)
                delete refused;
            return chord;
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
