// Staff passes that walk the items with the audit index: making accidentals explicit, choosing the ones
// to print, respelling, transposition and its checks, and the bar lines of imported notation.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "score/audit_index.h"
#include "score/expression_items.h"
#include "score/music_staff.h"
#include "score/pitch_ticks.h"
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

bool IsSplittable(const TNotatedItem* item) {
    const int type = item->GetType();
    return type == ntNote || type == ntRest || type == ntChord;
}

// Gives the last of the pieces the longest duration not above ticks and appends tied continuations for
// what remains, as the staff's own SplitToDuration does; count is the staff's item count.
void SplitLastPiece(std::vector<TNotatedItem*>& pieces, int ticks, int& count) {
    if (!IsSplittable(pieces.back())) return;
    int remaining = ticks - SetDurationFromTicks(*pieces.back(), ticks, false);
    while (remaining >= ShortestFittingTicks(false) && count < kStaffFullItems) {
        std::unique_ptr<TNotatedItem> piece(MakeTiedContinuation(*pieces.back()));
        remaining -= SetDurationFromTicks(*piece, remaining, false);
        pieces.push_back(piece.get());
        piece.release();
        ++count;
    }
}

// The staff's SplitItemAt for an item that is not in the item list: the item, starting at itemStart, cut
// at splitTime; the pieces in order, the item itself first. The pieces after the first are the caller's
// also when making one throws.
void SplitPieces(std::vector<TNotatedItem*>& pieces, TNotatedItem* item, int itemStart, int splitTime,
                 int& count) {
    pieces.clear();
    pieces.push_back(item);
    if (count >= kStaffFullItems || itemStart >= splitTime || !IsSplittable(item)) return;
    const int total = item->GetDuration();
    if (itemStart + total <= splitTime) return;
    SplitLastPiece(pieces, splitTime - itemStart, count);
    const int rest = total - (splitTime - itemStart);
    if (rest < ShortestFittingTicks(false) || count >= kStaffFullItems) return;
    std::unique_ptr<TNotatedItem> continuation(MakeTiedContinuation(*pieces.back()));
    pieces.push_back(continuation.get());
    continuation.release();
    ++count;
    SplitLastPiece(pieces, rest, count);
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
    // Whether an entry was set since the table was last cleared: bars of rests clear nothing.
    bool tableSet = false;
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
        if (clearTable && tableSet) {
            std::fill(table, table + kTableSize, int{acNone});
            tableSet = false;
        }
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
            tableSet = true;
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

int TMusicStaff::AuditItemRange(int first, int last) {
    if (last < 0 || last > GetLastIndex()) last = GetLastIndex();
    first = std::max(first, 0);
    struct OpenTie {
        TMusicNote* note;
        int position;
        int accidental;
    };
    std::vector<OpenTie> open;
    TSongNote* openItem = nullptr;
    int removed = 0;
    // Ends the ties of the item before that the current item (null: none) does not continue.
    auto resolve = [&](const TNotatedItem* item, const TStaffPlayState& state) {
        if (openItem == nullptr) return;
        bool anyLeft = false;
        for (const OpenTie& tie : open) {
            const TMusicNote* note = item != nullptr ? item->FindNoteAtStaffPos(tie.position) : nullptr;
            if (note != nullptr && note->GetPlayedAccidental(state) == tie.accidental) {
                anyLeft = true;
                continue;
            }
            tie.note->ClearAttribute(naTie);
            ++removed;
        }
        if (!anyLeft && openItem->GetType() == ntChord && openItem->HasAttribute(naTie)) {
            openItem->ClearAttribute(naTie);
            openItem->SyncNotes();
        }
        open.clear();
        openItem = nullptr;
    };
    TAuditNtnIdx index(this);
    TNotatedItem* item = index.GetItem();
    while (item) {
        const int at = index.GetIndex();
        if (at > last && openItem == nullptr) break;
        const TStaffPlayState state = index.GetPlayState();
        TNotatedItem* next = index.Next();
        if (!item->IsSongNote() || static_cast<TSongNote*>(item)->IsGrace()) {
            item = next;
            continue;
        }
        resolve(item, state);
        if (at >= first && at <= last) {
            for (int i = 0; i < item->GetNoteCount(); ++i) {
                TMusicNote* note = item->GetNote(i);
                if (note->HasAttribute(naTie))
                    open.push_back({note, note->GetStaffPos(), note->GetPlayedAccidental(state)});
            }
            auto* song = static_cast<TSongNote*>(item);
            if (!open.empty() || (song->GetType() == ntChord && song->HasAttribute(naTie))) openItem = song;
        }
        item = next;
    }
    // Nothing follows the last note of the staff.
    resolve(nullptr, TStaffPlayState());
    return removed;
}

void TMusicStaff::InsertBarLines(bool fillLastMeasure) {
    MakeAccidentalsExplicit();
    // The items are moved into a new list in one pass: items still to be placed come from a short stack of
    // pieces (tied continuations of a cut item, an item that gave way to a new bar line) and then from the
    // old list. Inserting into the list itself would move every later item once per bar line.
    std::vector<TNotatedItem*> source;
    source.reserve(Items.size() + Items.size() / 4 + 16);
    source.swap(Items);
    if (!source.empty()) Items.push_back(source[0]);
    size_t next = 1;
    std::vector<TNotatedItem*> pending;  // the next item to place at the back
    std::vector<TNotatedItem*> pieces;   // a cut item and its continuations, until they are pending
    auto take = [&]() -> TNotatedItem* {
        if (!pending.empty()) {
            TNotatedItem* item = pending.back();
            pending.pop_back();
            return item;
        }
        return next < source.size() ? source[next++] : nullptr;
    };
    auto isLast = [&] { return pending.empty() && next >= source.size(); };
    size_t lastSongNote = 0;  // index in the old list of its last note, rest or chord
    for (size_t j = 1; j < source.size(); ++j) {
        if (source[j]->IsSongNote()) lastSongNote = j;
    }
    auto notesFollow = [&] {
        if (std::any_of(pending.begin(), pending.end(),
                        [](const TNotatedItem* p) { return p->IsSongNote(); }))
            return true;
        return lastSongNote >= next && lastSongNote > 0;
    };
    int count = static_cast<int>(source.size());
    auto full = [&] { return count >= kStaffFullItems; };

    int measure = MeasureTicks(4, 2);
    int t = 0;
    int nextBar = measure;
    bool inTriplet = false;
    TNotatedItem* item = take();
    try {
        while (item && !full()) {
            // A key or time signature that falls on a bar boundary belongs after that bar's line; a time
            // signature inside a bar ends the bar there, and stands after the bar line too.
            const bool signature = item->GetType() == ntKey || item->GetType() == ntTimeSignature;
            if (item->GetType() == ntTimeSignature && t < nextBar && t + measure != nextBar) nextBar = t;
            if (t >= nextBar && (IsBarContent(*item) || signature)) {
                if (inTriplet) break;
                auto bar = std::make_unique<TBarLineData>(bsSingle, 1);
                pending.push_back(item);
                item = bar.release();
                ++count;
            }
            const int type = item->GetType();
            bool finish = false;
            if (item->IsSongNote()) {
                auto* song = static_cast<TSongNote*>(item);
                if (!song->IsGrace()) inTriplet = song->IsTriplet() && song->GetTripletState() != gsEnd;
                if (t + item->GetDuration() > nextBar) {
                    if (song->IsTriplet() || type == ntRestChord || song->HasSplitStems() ||
                        nextBar - t < 12) {
                        finish = true;
                    } else {
                        SplitPieces(pieces, item, t, nextBar, count);
                        pending.reserve(pending.size() + pieces.size());
                        for (size_t k = pieces.size(); k-- > 1;)
                            pending.push_back(pieces[k]);
                        pieces.clear();
                    }
                }
            } else if (type == ntTimeSignature) {
                const int newMeasure = static_cast<TTimeSignatureData*>(item)->GetMeasureTicks();
                nextBar = (t + measure == nextBar) ? t + newMeasure : t;
                measure = newMeasure;
            } else if (type == ntBarLine) {
                const bool last = isLast();
                if (!fillLastMeasure) {
                    if (!notesFollow()) break;
                } else if (last) {
                    while (t < nextBar && nextBar - t >= ShortestFittingTicks(false) && !full()) {
                        auto rest = std::make_unique<TRestNote>(dcQuarter, 0);
                        t += SetDurationFromTicks(*rest, nextBar - t, false);
                        Items.push_back(rest.get());
                        rest.release();
                        ++count;
                    }
                    break;
                }
                if (!last) {
                    if (t < nextBar && static_cast<TBarLineData*>(item)->GetStyle() == bsSingle) {
                        delete item;
                        --count;
                        item = take();
                        continue;
                    }
                    nextBar = t + measure;
                }
            }
            if (finish) break;
            t += item->GetDuration();
            Items.push_back(item);
            item = take();
        }
        // What the pass did not reach stays as it was.
        for (; item; item = take())
            Items.push_back(item);
    } catch (...) {
        // Out of memory on the way: the items not placed yet are deleted, so that every item still has
        // one owner (the staff keeps those placed).
        delete item;
        for (size_t k = 1; k < pieces.size(); ++k)
            delete pieces[k];
        for (TNotatedItem* p : pending)
            delete p;
        while (next < source.size())
            delete source[next++];
        throw;
    }
    Reformat(0, -1);
    AuditAccidentals();
}
