// Chords: membership in staff-position order, stem settings of the members, head layout, transposition
// and respelling of every member.
#include "score/song_note.h"

#include <algorithm>
#include <cstdlib>

#include "score/base/play_state.h"
#include "score/pitch_ticks.h"
#include "score/structure_items.h"

namespace {

// A member's staff position. Members are single notes (a chord among them is left to its own slot): the
// field is read without a call, as the chord reads it many times at each sync, for every chord of a score
// that is read or formatted.
int PosOf(const TMusicNote* m) {
    return m->GetType() == ntNote ? m->TMusicNote::GetStaffPos() : m->GetStaffPos();
}

// A note's lowest and highest positions are its own position.
int MinPosOf(const TMusicNote* m) {
    return m->GetType() == ntNote ? m->TMusicNote::GetStaffPos() : m->GetMinStaffPos();
}
int MaxPosOf(const TMusicNote* m) {
    return m->GetType() == ntNote ? m->TMusicNote::GetStaffPos() : m->GetMaxStaffPos();
}

// TSongNote::GetStemDirSign with the member's position read as above.
bool IsDownStem(const TMusicNote* n) {
    if (n->GetStem() == TStemSetting::Up) return false;
    if (n->GetStem() == TStemSetting::Down) return true;
    return !n->IsGrace() && PosOf(n) <= 0;
}

}  // namespace

TChordData::TChordData(TMusicNote* first, TMusicNote* second) : TMusicNote(ntChord, 0, dcQuarter, 0, acNone) {
    Members.reserve(4);
    // The file reader makes its chords empty, a few hundred thousand of them in a large score.
    if (!first && !second) return;
    TMusicNote* notes[2] = {first, second};
    AddNotes(notes, 2);
}

TChordData::~TChordData() {
    for (auto it = Members.rbegin(); it != Members.rend(); ++it)
        delete *it;
}

std::vector<TMusicNote*> TChordData::DetachAllNotes() {
    std::vector<TMusicNote*> out(Members.begin(), Members.end());
    Members.clear();
    return out;
}

void TChordData::DeleteRepeatedMembers() {
    size_t kept = 0;
    for (TMusicNote* m : Members) {
        const TMusicNote* last = kept > 0 ? Members[kept - 1] : nullptr;
        if (last && PosOf(m) == PosOf(last) && m->GetStemSetting() == last->GetStemSetting()) {
            delete m;
            continue;
        }
        Members[kept++] = m;
    }
    Members.resize(kept);
}

TMusicNote* TChordData::GetNote(int index) const {
    if (index < 0 || index >= static_cast<int>(Members.size())) return nullptr;
    return Members[static_cast<size_t>(index)];
}

int TChordData::GetMinStaffPos() const {
    return Members.empty() ? 0 : MinPosOf(Members.back());
}

int TChordData::GetMaxStaffPos() const {
    return Members.empty() ? 0 : MaxPosOf(Members.front());
}

int TChordData::GetStaffPos() const {
    const int mx = GetMaxStaffPos();
    const int mn = GetMinStaffPos();
    int p = mx - (mx - mn) / 2;
    if (std::abs(mx) < std::abs(mn)) --p;
    return p;
}

void TChordData::SetBeamState(int v) {
    TSongNote::SetBeamState(v);
    SyncNotes();
}

void TChordData::SetTripletState(int v) {
    TSongNote::SetTripletState(v);
    SyncNotes();
}

bool TChordData::HasSplitStems() const {
    if (Members.size() < 2) return false;
    return Members.front()->GetStem() != Members.back()->GetStem();
}

bool TChordData::HasWideLayout(int stemDir) const {
    if (!HasSplitStems()) return GetChordLayoutSize() > 1;
    const int side = stemDir != 0 ? stemDir : GetStemDirSign();
    return side > 0 ? (WideFlags & 1) != 0 : (WideFlags & 2) != 0;
}

namespace {
bool ComesBefore(const TMusicNote* a, const TMusicNote* b) {
    if (PosOf(a) != PosOf(b)) return PosOf(a) > PosOf(b);
    return IsDownStem(a) && !IsDownStem(b);
}
}  // namespace

void TChordData::InsertOrdered(TMusicNote* note) {
    auto it = Members.begin();
    for (; it != Members.end(); ++it) {
        TMusicNote* m = *it;
        if (PosOf(m) < PosOf(note)) break;
        if (PosOf(m) == PosOf(note) && !IsDownStem(m) && IsDownStem(note)) break;
    }
    Members.insert(it, note);
}

void TChordData::SortNotes() {
    // Chords have a handful of members, mostly in order already: an insertion sort, which keeps equal
    // members in their order as the stable sort does, needs no buffer and few comparisons. Long member
    // lists take the stable sort, which does not slow down with the square of their length.
    constexpr size_t kInsertionLimit = 16;
    if (Members.size() > kInsertionLimit) {
        std::stable_sort(Members.begin(), Members.end(), ComesBefore);
        return;
    }
    for (size_t i = 1; i < Members.size(); ++i) {
        TMusicNote* m = Members[i];
        size_t j = i;
        for (; j > 0 && ComesBefore(m, Members[j - 1]); --j)
            Members[j] = Members[j - 1];
        Members[j] = m;
    }
}

int TChordData::FindStemSplitIndex(int direction) const {
    const int count = static_cast<int>(Members.size());
    if (!HasSplitStems()) return direction < 1 ? count - 1 : 0;
    int k = 1;
    while (k < count - 1 && Members[static_cast<size_t>(k)]->GetStem() == TStemSetting::Down)
        ++k;
    return direction < 1 ? k - 1 : k;
}

bool TChordData::IsUnisonPair() const {
    if (!HasSplitStems() || Members.size() != 2) return false;
    const TMusicNote* a = Members[0];
    const TMusicNote* b = Members[1];
    if (PosOf(a) != PosOf(b) || a->GetDur() == dcWhole) return false;
    if (HasSplitDurations() && !(a->GetNominalTicks() < 384 && b->GetNominalTicks() < 384)) return false;
    return !IsGrace();
}

bool TChordData::AddNote(TMusicNote* note) {
    bool synced = false;
    const bool added = AddMember(note, false, synced);
    if (synced) LayoutHeads();
    return added;
}

int TChordData::AddNotes(TMusicNote** notes, int count, bool finish) {
    if (AddNotesOfOneLength(notes, count, finish)) return count;
    int added = 0;
    bool synced = false;
    for (int i = 0; i < count; ++i) {
        // After a sync with nothing changed since, the chord is in sync with its members.
        if (!notes[i] || !AddMember(notes[i], synced, synced)) continue;
        notes[i] = nullptr;
        ++added;
    }
    // The head layout reads what the syncs leave and writes only the head columns and wide flags, which
    // nothing on the way reads: laying out once after the last sync gives the same columns.
    if (synced && finish) LayoutHeads();
    return added;
}

bool TChordData::AddNotesOfOneLength(TMusicNote** notes, int count, bool finish) {
    if (!Members.empty() || count < 2 || count > 64) return false;
    const TMusicNote* first = notes[0];
    if (!first || first == this) return false;
    const TStemSetting stem = first->GetStem();
    const int dur = first->GetDur();
    constexpr uint16_t kLength = AttributeBit(naDotted) | AttributeBit(naDblDotted);
    const uint16_t dots = first->GetAttributes() & kLength;
    const bool triplet = first->IsTriplet();
    for (int i = 0; i < count; ++i) {
        const TMusicNote* n = notes[i];
        if (!n || n == this || n->GetStem() != stem || n->GetDur() != dur ||
            (n->GetAttributes() & kLength) != dots || n->IsTriplet() != triplet) {
            return false;
        }
        const int p = PosOf(n);
        for (int j = 0; j < i; ++j) {
            if (PosOf(notes[j]) == p) return false;
        }
    }
    // With one length, one stem setting and no shared position, AddMember takes each note on the same path:
    // the note gets the first member's stem setting and the chord's tie bend, and the chord keeps its stem
    // setting. What a sync in between writes is the members' stem settings, which all stay equal (so no
    // add sees split stems) and the last sync sets again, and fields that each sync sets anew from the
    // chord and the members' own fields; the chord's position, length and tie marks come from the members.
    // No add reads them, so only the last sync counts; a later sync of the chord gives the same members
    // whether this one ran or not, since it sets all those fields again.
    TakeFirstMember(notes[0]);
    notes[0] = nullptr;
    for (int i = 1; i < count; ++i) {
        TMusicNote* note = notes[i];
        if (note->HasAttribute(naSlur)) TSongNote::SetAttribute(naSlur);
        note->SetChordMember(true);
        note->SetStem(Members.front()->GetStem());
        note->SetTieDownward(IsTieDownward());
        InsertOrdered(note);
        notes[i] = nullptr;
    }
    if (finish) SyncNotes();
    return true;
}

void TChordData::TakeFirstMember(TMusicNote* note) {
    const TStemSetting s = note->GetStem();
    TMusicNote::CopyFrom(*note);
    note->SetChordMember(true);
    Members.push_back(note);
    TSongNote::SetBeamState(note->GetBeamState());
    TSongNote::SetTripletState(note->GetTripletState());
    TSongNote::SetDuration(note->GetDur());
    SetAttributes(note->GetAttributes());
    SetStem(s);
    SetChordMember(false);
    if (note->HasAttribute(naSlur)) TSongNote::SetAttribute(naSlur);
    SetSlurDirection(note->GetSlurDirection());
}

bool TChordData::AddMember(TMusicNote* note, bool inSync, bool& synced) {
    if (!note || note == this) return false;
    const int p = PosOf(note);
    TStemSetting s = note->GetStem();
    TStemSetting c = GetStem();
    const bool split = HasSplitStems();
    TMusicNote* d = FindNoteAtStaffPos(p);
    const int count = static_cast<int>(Members.size());

    if (d) {
        if (split) {
            if (s == d->GetStem()) return false;
            s = d->IsStemUp() ? TStemSetting::Down : TStemSetting::Up;
        } else if (count > 1) {
            if (d == Members.front()) {
                if (s == TStemSetting::Up) return false;
                s = TStemSetting::Down;
            } else if (d == Members.back()) {
                if (s == TStemSetting::Down) return false;
                s = TStemSetting::Up;
            } else {
                return false;
            }
        }
    }

    if (count == 0) {
        // No member: the stem setting is the note's own.
        TakeFirstMember(note);
        SyncMembers();
        synced = true;
        return true;
    }

    TMusicNote* first = Members.front();
    TMusicNote* last = Members.back();
    int t = note->GetNominalTicks();
    const int tf = first->GetNominalTicks();
    const int tl = last->GetNominalTicks();
    if (IsTriplet() && !note->IsTriplet() && s == c && t * 2 / 3 == GetNominalTicks()) t = GetNominalTicks();
    const bool mismatch = t != tf && t != tl;
    if (mismatch && split) return false;

    if (!split) {
        if (mismatch || d) {
            if (s == TStemSetting::Free) {
                if (p == PosOf(first)) {
                    s = c == TStemSetting::Up ? TStemSetting::Down : TStemSetting::Up;
                } else {
                    s = p > PosOf(first) ? TStemSetting::Down : TStemSetting::Up;
                }
            }
            if (s == c) return false;
            if (s == TStemSetting::Up && p > PosOf(last)) return false;
            if (s == TStemSetting::Down && p < PosOf(first)) return false;
            if (c == TStemSetting::Free) {
                SetStem(OppositeStem(s));
                SyncMembers();
                synced = true;
            }
            c = tf <= t ? OppositeStem(s) : s;
        }
        if (c == TStemSetting::Free) {
            // A chord in sync that keeps its stem setting gets nothing new from another sync: the sync of a
            // chord whose members share one stem side repeats itself exactly.
            if (!(inSync && s == TStemSetting::Free)) {
                SetStem(s);
                SyncMembers();
                synced = true;
            }
            c = s;
        }
        if (s != c) {
            if (s == TStemSetting::Up && p > PosOf(last)) return false;
            if (s == TStemSetting::Down && p < PosOf(first)) return false;
        }
        if (s == TStemSetting::Free) s = first->GetStem();
        if (note->HasAttribute(naSlur)) TSongNote::SetAttribute(naSlur);
        note->SetChordMember(true);
        note->SetStem(s);
        note->SetTieDownward(IsTieDownward());
        if (count == 1 && t < tf) {
            TSongNote::SetBeamState(note->GetBeamState());
            TSongNote::SetTripletState(note->GetTripletState());
            TSongNote::SetDuration(note->GetDur());
            SetAttributes(note->GetAttributes());
            SetSlurDirection(note->GetSlurDirection());
        }
        InsertOrdered(note);
        SetStem(c);
        SyncMembers();
        synced = true;
        return true;
    }

    // Split stems: the note joins one of the two stem sides.
    const int k = FindStemSplitIndex(1);
    const int lo = PosOf(Members[static_cast<size_t>(k - 1)]);
    const int hi = PosOf(Members[static_cast<size_t>(k)]);
    if (s == TStemSetting::Free) {
        if (tf == tl) {
            s = p > lo ? TStemSetting::Down : TStemSetting::Up;
        } else {
            s = t == tf ? TStemSetting::Down : TStemSetting::Up;
        }
    }
    if (s == first->GetStem()) {
        if (p < hi || (d && lo <= p) || t != tf) return false;
    } else {
        if (lo < p || (d && p <= hi) || t != tl) return false;
    }
    note->SetChordMember(true);
    note->SetStem(s);
    InsertOrdered(note);
    if (note->HasAttribute(naSlur)) TSongNote::SetAttribute(naSlur);
    SyncMembers();
    synced = true;
    return true;
}

bool TChordData::RemoveNote(TMusicNote* note) {
    auto it = std::find(Members.begin(), Members.end(), note);
    if (it == Members.end()) return false;
    const bool wasSplit = HasSplitStems();
    Members.erase(it);
    note->SetChordMember(false);
    note->SetHeadColumn(0);
    if (GetStem() == TStemSetting::Free) note->SetStem(TStemSetting::Free);
    if (!Members.empty() && wasSplit && !HasSplitStems()) {
        SetStemDirection(Members.front()->GetStemDirSign());
        SetArticulationsOnStem(false);
    }
    return true;
}

void TChordData::SyncNotes() {
    if (Members.empty()) return;
    SyncMembers();
    LayoutHeads();
}

void TChordData::SyncMembers() {
    if (Members.empty()) return;
    CopySettingsToMembers();
    const bool split = Members.front()->GetStem() != Members.back()->GetStem();
    bool pickedFirst = false;
    const int dir = ChooseStemDirection(split, pickedFirst);
    TakeRepresentativeMember(pickedFirst);
    PassMarksToMembers(split, dir, TieLine(split, dir));
}

// The members take the chord's settings and keep only their own dots, ties and directions; two members at
// one staff position share the accidental one of them shows.
void TChordData::CopySettingsToMembers() {
    const size_t n = Members.size();
    constexpr uint16_t kKeep = AttributeBit(naDotted) | AttributeBit(naTie) | AttributeBit(naDblDotted) |
                               AttributeBit(naTieDirection) | AttributeBit(naSlurDirection) |
                               AttributeBit(naCrescendo) | AttributeBit(naDiminuendo);
    constexpr uint16_t kDirections = AttributeBit(naTieDirection) | AttributeBit(naSlurDirection);
    const bool grace = IsGrace();
    // The members take these from the chord, which the loop leaves as it is. Taking the chord's tie
    // direction, given or not, leaves a member with the chord's direction flag and downward bit; so does
    // taking its slur direction.
    const int visibility = GetVisibility();
    const int lyricMode = GetLyricMode();
    const int noteSpace = GetXNoteSpace();
    const uint16_t directions = GetAttributes() & kDirections;
    const bool tieDown = IsTieDownward();
    const bool slurDown = IsSlurDownward();
    const bool muted = IsMuted();
    const bool noLegerLines = HasNoLegerLines();
    const bool articulationsOnStem = HasArticulationsOnStem();
    for (size_t i = 0; i < n; ++i) {
        TMusicNote* m = Members[i];
        m->SetVisibility(visibility);
        m->SetLyricMode(lyricMode);
        m->SetXNoteSpace(noteSpace);
        m->SetTieDownward(tieDown);
        m->SetSlurDownward(slurDown);
        m->SetMuted(muted);
        m->SetNoLegerLines(noLegerLines);
        m->SetArticulationsOnStem(articulationsOnStem);
        m->SetChordMember(true);
        uint16_t word = static_cast<uint16_t>((m->GetAttributes() & kKeep & ~kDirections) | directions);
        if (grace) word |= AttributeBit(naGrace);
        m->SetAttributes(word);
        m->SetSlurContinued(false);
        m->TSongNote::SetBeamState(gsNone);
        m->TSongNote::SetTripletState(gsNone);
        m->SetStemLengthField(0);
        if (i > 0) {
            TMusicNote* prev = Members[i - 1];
            if (PosOf(prev) == PosOf(m) && prev->GetShownAccidental() != m->GetShownAccidental()) {
                if (m->GetShownAccidental() == acNone) {
                    m->SetAccidental(prev->GetShownAccidental());
                } else if (prev->GetShownAccidental() == acNone) {
                    prev->SetAccidental(m->GetShownAccidental());
                }
            }
        }
    }
}

// The chord's stem direction: without a stem setting the member farthest from the centre line decides (and
// fixes the chord's own setting when its members' stems are split); whether that was the first member.
int TChordData::ChooseStemDirection(bool split, bool& pickedFirst) {
    const bool grace = IsGrace();
    // Without a stem setting the chord's own sign is not needed: the far member decides.
    const bool byFarMember = GetStem() == TStemSetting::Free && !grace;
    int dir = byFarMember ? 0 : GetStemDirSign();
    if (byFarMember) {
        const TMusicNote* far = Members.back();
        if (std::abs(PosOf(Members.back())) < std::abs(PosOf(Members.front()))) {
            far = Members.front();
            pickedFirst = true;
        }
        dir = PosOf(far) >= 0 ? 1 : -1;
        if (split) SetStemDirection(dir);
    }
    return dir;
}

// The representative member gives the chord its position and length.
void TChordData::TakeRepresentativeMember(bool pickedFirst) {
    const TMusicNote* rep =
        (GetStem() == TStemSetting::Down || pickedFirst) ? Members.front() : Members.back();
    Pos = static_cast<int8_t>(PosOf(rep));
    TSongNote::SetDuration(rep->GetDur());
    uint16_t own = GetAttributes();
    own = static_cast<uint16_t>(own &
                                ~(AttributeBit(naDotted) | AttributeBit(naDblDotted) | AttributeBit(naTie)));
    if (rep->HasAttribute(naDotted)) own |= AttributeBit(naDotted);
    if (rep->HasAttribute(naDblDotted)) own |= AttributeBit(naDblDotted);
    SetAttributes(own);
    SetTieContinued(false);
}

// The line that separates upward from downward ties. The tied members are visited in one pass, without a
// list of them: the first two neighbours among them, else the first with a continued tie, else a single
// tied member under an upward stem, else the middle between the outer tied members decides.
int TChordData::TieLine(bool split, int dir) const {
    int tieLine = PosOf(Members.front()) + 1;
    if (split) return tieLine;
    const TMusicNote* first = nullptr;
    const TMusicNote* last = nullptr;
    const TMusicNote* continued = nullptr;
    int count = 0;
    bool found = false;
    for (const TMusicNote* m : Members) {
        if (!m->HasAttribute(naTie)) continue;
        if (!found && last && PosOf(last) - PosOf(m) <= 1) {
            tieLine = PosOf(m) + 1;
            found = true;
        }
        if (!continued && m->IsTieContinued()) continued = m;
        if (!first) first = m;
        last = m;
        ++count;
    }
    if (count == 0 || found) return tieLine;
    if (continued) return PosOf(continued) + (continued->IsTieDownward() ? 0 : 1);
    if (count == 1 && dir > 0) return PosOf(Members.back());
    const int low = PosOf(first);
    const int high = PosOf(last);
    return low - (low - high) / 2;
}

// The members on the chord's stem side take its group states and articulations, shorter members on the
// other side its length; ties of the members tie the chord and point away from the tie line.
void TChordData::PassMarksToMembers(bool split, int dir, int tieLine) {
    const int chordTicks = GetNominalTicks();
    // What the members take from the chord; the loop changes only the chord's tie marks.
    uint16_t stemSideMarks = 0;
    if (HasAttribute(naAccent)) {
        stemSideMarks |= AttributeBit(naAccent);
    } else if (HasAttribute(naMarcato)) {
        stemSideMarks |= AttributeBit(naMarcato);
    }
    if (HasAttribute(naStaccatissimo)) {
        stemSideMarks |= AttributeBit(naStaccatissimo);
    } else if (HasAttribute(naStaccato)) {
        stemSideMarks |= AttributeBit(naStaccato);
    }
    if (HasAttribute(naTenuto)) stemSideMarks |= AttributeBit(naTenuto);
    if (HasAttribute(naSlur)) stemSideMarks |= AttributeBit(naSlur);
    constexpr uint16_t kDots = AttributeBit(naDotted) | AttributeBit(naDblDotted);
    const uint16_t dots = HasAttribute(naDblDotted)
                              ? AttributeBit(naDblDotted)
                              : static_cast<uint16_t>(GetAttributes() & AttributeBit(naDotted));
    const int stemLength = GetStemLengthField();
    const int beamState = GetBeamState();
    const int tripletState = GetTripletState();
    const bool slurContinued = IsSlurContinued();
    const int dur = GetDur();
    const bool tieDirectionGiven = HasAttribute(naTieDirection);
    for (TMusicNote* m : Members) {
        if (!split) m->SetStemDirection(dir);
        if (stemLength != 0) m->SetStemLengthField(stemLength);
        if ((IsDownStem(m) ? -1 : 1) == dir) {
            m->TSongNote::SetBeamState(beamState);
            m->TSongNote::SetTripletState(tripletState);
            m->SetAttributes(m->GetAttributes() | stemSideMarks);
            m->SetSlurContinued(slurContinued);
        } else if (m->GetNominalTicks() < chordTicks) {
            m->TSongNote::SetDuration(dur);
            m->SetAttributes(static_cast<uint16_t>((m->GetAttributes() & ~kDots) | dots));
        }
        if (m->HasAttribute(naTie)) {
            SetAttributes(GetAttributes() | AttributeBit(naTie));
            if (!tieDirectionGiven) {
                m->SetTieDownward(split ? IsDownStem(m) : PosOf(m) >= tieLine);
            }
        }
        if (m->IsTieContinued()) SetTieContinued(true);
    }
}

void TChordData::LayoutHeads() {
    const int n = static_cast<int>(Members.size());
    const bool split = HasSplitStems();
    bool second = false, junction = false, dotsDiffer = false, upperDotted = false, unison = false;
    bool unisonAbove = false, unisonBelow = false, unshared = false, downSecond = false, upSecond = false;
    auto M = [&](int i) { return Members[static_cast<size_t>(i)]; };

    for (int i = 0; i + 1 < n; ++i) {
        TMusicNote* lower = M(i);
        TMusicNote* upper = M(i + 1);
        if (PosOf(lower) - PosOf(upper) > 1) continue;
        if (!split) {
            second = true;
            break;
        }
        if (IsDownStem(lower) && !IsDownStem(upper)) {
            junction = true;
            dotsDiffer = lower->GetDotCount() != upper->GetDotCount();
            upperDotted = upper->GetDotCount() > 0;
            if (PosOf(lower) == PosOf(upper)) {
                unison = true;
                if (i + 2 < n && PosOf(M(i + 2)) == PosOf(lower) - 1) unisonAbove = true;
                if (i - 1 >= 0 && PosOf(M(i - 1)) == PosOf(lower) + 1) unisonBelow = true;
                const bool shared = lower->GetNominalTicks() == upper->GetNominalTicks() &&
                                    lower->HasCustomStem() && upper->HasCustomStem() &&
                                    (!HasArticulation() || HasArticulationsOnStem() || n < 3);
                unshared = !shared;
            }
        } else if (IsDownStem(lower)) {
            downSecond = true;
        } else {
            upSecond = true;
        }
    }

    int D = 0;
    int U = 0;
    const int ds = downSecond ? 1 : 0;
    const int us = upSecond ? 1 : 0;
    const int ud = upperDotted ? 1 : 0;
    if (split) {
        if (!junction) {
            U = ds;
        } else if (!unison) {
            D = downSecond ? 0 : 1;
            if (dotsDiffer) D = us + (1 - ds) + ud;
        } else if (unshared) {
            if (unisonAbove || unisonBelow) dotsDiffer = true;
            if (!dotsDiffer) {
                D = downSecond ? 0 : 1;
            } else {
                D = us + (1 - ds) + ud + ((upperDotted && unisonBelow) ? 1 : 0);
            }
        } else {
            U = ds;
            D = 0;
        }
    }

    const int downExtra = split ? ds : (second ? 1 : 0);
    int lowestDown = -1;
    int highestDown = -1;
    for (int i = n - 1; i >= 0; --i) {
        if (!IsDownStem(M(i))) continue;
        if (highestDown < 0) highestDown = i;
        M(i)->SetHeadColumn(D + downExtra);
        lowestDown = i;
        if (i - 1 >= 0 && IsDownStem(M(i - 1)) && PosOf(M(i - 1)) == PosOf(M(i)) + 1) {
            M(i - 1)->SetHeadColumn(D);
            lowestDown = i - 1;
            --i;
        }
    }
    (void)lowestDown;
    for (int i = highestDown + 1; i < n; ++i) {
        M(i)->SetHeadColumn(U);
        if (i + 1 < n && !IsDownStem(M(i + 1)) && PosOf(M(i + 1)) == PosOf(M(i)) - 1) {
            M(i + 1)->SetHeadColumn(U + 1);
            ++i;
        }
    }

    int value = 0;
    if (split) {
        value = std::max(U + us, D + ds);
        WideFlags = static_cast<uint8_t>((downSecond ? 2 : 0) | (upSecond ? 1 : 0));
    } else {
        value = second ? 1 : 0;
        WideFlags = static_cast<uint8_t>(second ? 2 : 0);
    }
    SetHeadColumn(value);
}

bool TChordData::Transpose(TStaffPlayState& state, int semitones, int steps, bool keep) {
    bool anyFailed = false;
    for (TMusicNote* m : Members) {
        if (!m->Transpose(state, semitones, steps, keep)) {
            if (keep) return false;
            anyFailed = true;
        }
    }
    if (keep) return true;
    if (anyFailed) RespellFromPitch(state);
    SortNotes();
    SyncNotes();
    return !anyFailed;
}

void TChordData::RespellFromPitch(TStaffPlayState& state) {
    for (TMusicNote* m : Members)
        m->RespellFromPitch(state);
    SortNotes();
    const bool equalColumns =
        Members.size() == 2 && Members[0]->GetHeadColumn() == Members[1]->GetHeadColumn();
    if (!(IsUnisonPair() && equalColumns)) {
        const int clef = state.GetClef();
        for (size_t i = 0; i < Members.size();) {
            TMusicNote* m = Members[i];
            TMusicNote* other = nullptr;
            for (TMusicNote* o : Members) {
                if (o != m && PosOf(o) == PosOf(m)) {
                    other = o;
                    break;
                }
            }
            if (!other || EnharmonicShift(*m, clef, 1)) {
                ++i;
                continue;
            }
            bool duplicate = m->GetShownAccidental() == other->GetShownAccidental();
            if (!duplicate) {
                if (!EnharmonicShift(*other, clef, -1)) {
                    duplicate = true;
                } else {
                    bool collides = false;
                    for (TMusicNote* o : Members) {
                        if (o != other && PosOf(o) == PosOf(other)) collides = true;
                    }
                    if (collides) {
                        EnharmonicShift(*other, clef, 1);
                        duplicate = true;
                    }
                }
            }
            if (!duplicate) {
                ++i;
                continue;
            }
            if (Members.size() == 2) {
                other->SetStem(TStemSetting::Down);
                m->SetStem(TStemSetting::Up);
                ++i;
            } else {
                Members.erase(Members.begin() + static_cast<std::ptrdiff_t>(i));
                delete m;
            }
        }
        SortNotes();
    }
    SyncNotes();
}
