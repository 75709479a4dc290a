// Staff passes that walk the items with the audit index: making accidentals explicit, choosing the ones
// to print, respelling, transposition and its checks, and the bar lines of imported notation.
#include <algorithm>
#include <cstdlib>

#include "score/audit_index.h"
#include "score/expression_items.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/staff_util.h"
#include "score/structure_items.h"

namespace {

// One entry per staff position a note can hold (a signed byte): the accidental last met there.
constexpr int kTableOffset = 128;
constexpr int kTableSize = 256;

bool IsBarContent(const TNotatedItem& item) {
    if (item.GetType() == ntSpecialEnding || item.IsSongNote() || item.GetDuration() > 0) return true;
    return item.IsExpression() &&
           static_cast<const TNtnGeneralExpression&>(item).GetPlacement() != epAsStaffSignature;
}

}  // namespace

void TMusicStaff::MakeAccidentalsExplicit() {
    TAuditNtnIdx index(this);
    TNotatedItem* item = index.GetItem();
    while (item) {
        if (!item->IsSongNote()) {
            item = index.Next();
            continue;
        }
        const TStaffPlayState before = index.GetPlayState();
        TNotatedItem* next = index.Next();
        for (int i = 0; i < item->GetNoteCount(); ++i) {
            TMusicNote* note = item->GetNote(i);
            note->SetAccidental(note->GetPlayedAccidental(before));
        }
        static_cast<TSongNote*>(item)->SyncNotes();
        item = next;
    }
}

void TMusicStaff::AuditAccidentals() {
    Reformat(0, -1);
    MakeAccidentalsExplicit();
    int table[kTableSize];
    std::fill(table, table + kTableSize, int{acNone});
    TAuditNtnIdx index(this);
    TNotatedItem* item = index.GetItem();
    while (item) {
        const TStaffPlayState& state = index.GetPlayState();
        const int type = item->GetType();
        bool clearTable = type == ntBarLine || type == ntKey;
        if (type == ntSpecialEnding && static_cast<TSpecialEnding*>(item)->GetEndings() != 0)
            clearTable = true;
        if (type == ntClef) {
            const auto* clef = static_cast<TClefData*>(item);
            if (clef->GetClefType() != state.GetClef() || clef->GetOctaveShift() != state.GetOctaveShift()) {
                clearTable = true;
            }
        }
        if (clearTable) std::fill(table, table + kTableSize, int{acNone});
        if (!item->IsSongNote() || item->GetNoteCount() == 0) {
            item = index.Next();
            continue;
        }

        const int clef = state.GetClef();
        const int count = item->GetNoteCount();
        TPendingTieList ties = index.GetPendingTies();
        int letters[64];
        int played[64];
        const int n = std::min(count, 64);
        for (int i = 0; i < n; ++i) {
            letters[i] = item->GetNote(i)->GetLetter(clef);
            played[i] = item->GetNote(i)->GetPlayedAccidental(state);
        }
        int shown[64];
        bool hide[64];
        for (int i = 0; i < n; ++i) {
            TMusicNote* note = item->GetNote(i);
            const int p = note->GetStaffPos();
            const int a = played[i];
            const int l = letters[i];
            int& t = table[std::clamp(p + kTableOffset, 0, kTableSize - 1)];
            if (note->IsTieContinued()) {
                bool differentNext = false;
                if (i + 1 < n) {
                    const TMusicNote* next = item->GetNote(i + 1);
                    differentNext = next->GetStaffPos() == p && played[i + 1] != a;
                }
                hide[i] = (a == t || t == acNone) && !differentNext;
                shown[i] = a;
                continue;
            }
            bool show = a != state.GetAccidental(l);
            TPendingTie pending;
            if (!show && ties.Take(p, acNone, pending, false)) show = true;
            for (int j = 0; j < n && !show; ++j) {
                if (j != i && letters[j] == l && played[j] != a) show = true;
            }
            if (!show && t == acNone && state.GetAccidental(l) != state.GetKeyAccidental(l)) show = true;
            if (!show && t != acNone && t != a) show = true;
            hide[i] = !show;
            shown[i] = a;
            t = a;
        }
        TNotatedItem* next = index.Next();
        for (int i = 0; i < n; ++i) {
            TMusicNote* note = item->GetNote(i);
            if (!hide[i]) {
                note->SetAccidental(shown[i]);
            } else if (note->IsTieContinued()) {
                note->SetAccidental(acNone);
                note->SetAutomaticAccidental(shown[i]);
            } else {
                note->SetAccidental(acNone);
            }
        }
        static_cast<TSongNote*>(item)->SyncNotes();
        item = next;
    }
}

void TMusicStaff::RespellAllNotes() {
    MakeAccidentalsExplicit();
    TAuditNtnIdx index(this);
    for (TNotatedItem* item = index.GetItem(); item; item = index.Next()) {
        const int type = item->GetType();
        if (type == ntNote || type == ntChord)
            static_cast<TSongNote*>(item)->RespellFromPitch(index.GetPlayState());
    }
    AuditAccidentals();
}

void TMusicStaff::Transpose(int semitones, int mode, bool adjustInstrument) {
    MakeAccidentalsExplicit();
    TTransposeNtnIdx index(this, semitones, mode);
    for (TNotatedItem* item = index.GetItem(); item; item = index.Next())
        index.ApplyTranspose();
    AuditAccidentals();
    if (!adjustInstrument) return;
    for (TNotatedItem* item : Items) {
        if (item->GetType() != ntPatch) continue;
        TStaffInstrument& instrument = static_cast<TPatchData*>(item)->GetInstrument();
        instrument.SetTranspose(instrument.GetTranspose() - semitones);
    }
    Instrument.SetTranspose(Instrument.GetTranspose() - semitones);
}

int TMusicStaff::FindCloseCluster(int start) {
    TAuditNtnIdx index(this);
    index.Seek(start);
    for (TNotatedItem* item = index.GetItem(); item; item = index.Next()) {
        if (!item->IsNote()) continue;
        int previous = -1;
        for (int i = 0; i < item->GetNoteCount(); ++i) {
            const TMusicNote* note = item->GetNote(i);
            const int pitch = note->GetMidiPitch(index.GetPlayState());
            const bool tied = note->IsTieContinued() || note->HasAttribute(naTie);
            if (i > 0 && !tied && std::abs(pitch - previous) <= 1) return index.GetIndex();
            previous = pitch;
        }
    }
    return -1;
}

int TMusicStaff::FindTransposeProblem(int semitones, int mode, int fromIndex) {
    TTransposeNtnIdx index(this, semitones, mode);
    for (TNotatedItem* item = index.GetItem(); item; item = index.Next()) {
        if (index.GetIndex() > fromIndex && !index.CanTranspose()) return index.GetIndex();
    }
    return 0;
}

void TMusicStaff::InsertBarLines(bool fillLastMeasure) {
    MakeAccidentalsExplicit();
    int measure = MeasureTicks(4, 2);
    int t = 0;
    int nextBar = measure;
    bool inTriplet = false;
    int i = 1;
    while (GetItem(i) && !IsFull()) {
        TNotatedItem* item = GetItem(i);
        if (t >= nextBar && IsBarContent(*item)) {
            if (inTriplet) break;
            InsertItem(new TBarLineData(bsSingle, 1), i);
            item = GetItem(i);
        }
        const int type = item->GetType();
        bool finish = false;
        if (item->IsSongNote()) {
            auto* song = static_cast<TSongNote*>(item);
            if (!song->IsGrace()) inTriplet = song->IsTriplet() && song->GetTripletState() != gsEnd;
            if (t + item->GetDuration() > nextBar) {
                if (song->IsTriplet() || type == ntRestChord || song->HasSplitStems() || nextBar - t < 12) {
                    finish = true;
                } else {
                    SplitItemAt(i, t, nextBar);
                }
            }
        } else if (type == ntTimeSignature) {
            const int newMeasure = static_cast<TTimeSignatureData*>(item)->GetMeasureTicks();
            nextBar = (t + measure == nextBar) ? t + newMeasure : t;
            measure = newMeasure;
        } else if (type == ntBarLine) {
            if (!fillLastMeasure) {
                bool notesFollow = false;
                for (int j = i + 1; j < GetItemCount() && !notesFollow; ++j)
                    notesFollow = GetItem(j)->IsSongNote();
                if (!notesFollow) break;
            } else if (i == GetLastIndex()) {
                while (t < nextBar && nextBar - t >= ShortestFittingTicks(false) && !IsFull()) {
                    auto* rest = new TRestNote(dcQuarter, 0);
                    t += SetDurationFromTicks(*rest, nextBar - t, false);
                    InsertItem(rest, GetLastIndex());
                }
                break;
            }
            if (i != GetLastIndex()) {
                if (t < nextBar && static_cast<TBarLineData*>(item)->GetStyle() == bsSingle) {
                    DeleteItem(i);
                    continue;
                }
                nextBar = t + measure;
            }
        }
        if (finish) break;
        t += ItemDuration(i);
        ++i;
    }
    Reformat(0, -1);
    AuditAccidentals();
}
