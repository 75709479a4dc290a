// Measuring and drawing of notes, chords, rests and rest chords.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/layout/item_painter.h"
#include "render/layout/item_painter_impl.h"
#include "render/layout/layout_record.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_connects.h"
#include "render/layout/staff_draw_info.h"
#include "render/music_fonts.h"
#include "score/music_staff.h"
#include "score/pitch_ticks.h"
#include "score/song_note.h"

namespace {

constexpr int kMaxAccidentalSlots = 16;

int W(TStaffDrawInfo& info, int size, int glyph) {
    return info.GetFonts()->GetGlyphWidth(size, glyph);
}

int DotWidth(TStaffDrawInfo& info, const TSongNote& note) {
    int d = W(info, NoteSize(note), glDot);
    int w = 0;
    if (note.IsDotted() || note.IsDblDotted()) w += static_cast<int>(1.5 * d);
    if (note.IsDblDotted()) w += static_cast<int>(1.5 * d);
    return w;
}

// The space just outside the staff on the note's side.
int LedgerLimit(int lines, int pos) {
    if (lines <= 0) return pos < 0 ? -999 : 999;
    int b = -2 * ((lines - 1) / 2) - 1;
    return pos < 0 ? b : b + 2 * lines;
}

bool ShowsAccidental(const TMusicNote& n) {
    return n.GetShownAccidental() != acNone && !n.HasAutomaticMark() && !n.HasCrossHead();
}

bool IsAccidentalUnison(const TMusicNote& a, const TMusicNote& b) {
    return a.GetStaffPos() == b.GetStaffPos() && a.GetShownAccidental() == b.GetShownAccidental();
}

int AccidentalNeed(const TMusicNote& m, const TMusicNote* previous) {
    int a = ShowsAccidental(m) ? 1 : 0;
    if (a && previous && IsAccidentalUnison(m, *previous)) a = 0;
    return a;
}

bool AccidentalsCollide(const TMusicNote& a, const TMusicNote& b) {
    if (IsAccidentalUnison(a, b)) return false;
    int gap = SymbolPairGap(a.GetShownAccidental(), b.GetShownAccidental());
    if (a.IsGrace()) gap = (2 * gap + 1) / 3;
    return std::abs(a.GetStaffPos() - b.GetStaffPos()) < gap;
}

}  // namespace

int NoteSize(const TSongNote& note) {
    return note.IsGrace() ? 1 : 0;
}

int HeadWidth(TStaffDrawInfo& info, const TMusicNote& note) {
    return W(info, NoteSize(note), note.GetNoteheadSymbolCode());
}

int GetHeadOffset(TStaffDrawInfo& info, const TLayoutRecord& record, const TSongNote& note) {
    int size = NoteSize(note);
    return record.AccidentalSpace * info.GetFonts()->GetAccidentalColumnWidth(size) +
           note.GetXNoteSpace() * W(info, size, glFilledHead);
}

// The head column an up stem stands right of: the leftmost column of the heads on the up-stem side. Heads
// moved aside by a second stand right of the stem, so the stem runs between the two columns.
static int UpSideColumn(const TMusicNote& note) {
    if (note.GetType() != ntChord) return 0;
    const auto& chord = static_cast<const TChordData&>(note);
    const bool split = chord.HasSplitStems();
    int column = -1;
    for (int i = 0; i < chord.GetNoteCount(); ++i) {
        const TMusicNote* m = chord.GetNote(i);
        if (split && !m->IsStemUp()) continue;
        if (column < 0 || m->GetHeadColumn() < column) column = m->GetHeadColumn();
    }
    return std::max(column, 0);
}

int GetStemX(TStaffDrawInfo& info, const TLayoutRecord& record, TMusicNote& note, int direction) {
    if (record.IsHidden() && !info.ShowsHidden()) return 0;
    int dir = (note.HasSplitStems() && direction != 0) ? direction : note.GetStemDirSign();
    int off = GetHeadOffset(info, record, note);
    int hw = HeadWidth(info, note);
    if (dir > 0) return off + (UpSideColumn(note) + 1) * hw;
    int wide = note.HasWideLayout(-1) ? 1 : 0;
    return off + (wide + (note.HasSplitStems() ? 0 : 0)) * hw;
}

int GetLyricX(TStaffDrawInfo& info, const TLayoutRecord& record, TSongNote& note) {
    int x = GetHeadOffset(info, record, note);
    TMusicNote* n = nullptr;
    if (note.GetType() == ntNote || note.GetType() == ntChord)
        n = static_cast<TMusicNote*>(&note);
    else if (note.GetType() == ntRestChord)
        n = static_cast<TRestChord&>(note).GetPart();
    if (n && (n->HasSplitStems() || n->GetStemDirSign() < 0) && n->HasWideLayout(-1))
        x += W(info, NoteSize(note), glFilledHead);
    return x;
}

void GetNoteExtent(TStaffDrawInfo& info, const TMusicNote& member, RECT& out) {
    int hw = HeadWidth(info, member);
    out.left = member.GetHeadColumn() * hw;
    out.right = out.left + hw;
    TMusicFonts* f = info.GetFonts();
    int u = f->StaffSpace;
    out.top = (member.GetStaffPos() - 1) * u / 2;
    out.bottom = (member.GetStaffPos() + 1) * u / 2;
}

int GetStemLengthSteps(const TMusicNote& note) {
    int len;
    if (note.GetStemLengthField() >= 1 && note.GetStemLengthField() <= 30) {
        len = note.GetStemLengthField();
    } else if (note.GetDur() == dcWhole) {
        len = 0;
    } else {
        static constexpr int kByFlags[5] = {7, 7, 7, 9, 10};
        int flags = std::clamp(note.GetFlagCount(), 0, 4);
        len = kByFlags[flags];
        int pos = note.GetStaffPos();
        if (flags == 0) {
            if (note.GetStemDirSign() < 0) {
                if (pos > 1) --len;
                if (pos > 4) --len;
            } else {
                if (pos < -1) --len;
                if (pos < -4) --len;
            }
        }
        if (!note.IsGrace()) {
            bool farSide = note.GetStemDirSign() > 0 ? pos > 0 : pos < 0;
            if (farSide) len = std::max(len, std::abs(pos));
        }
    }
    if (note.IsGrace()) len = len * 2 / 3;
    return len;
}

namespace {

// Dot position of a note whose stem points in direction dir.
int DotPositionFor(const TMusicNote& note, int dir, const TMusicNote* neighbour, bool dotsBelow,
                   bool stacked) {
    int p = note.GetStaffPos();
    if (p % 2 != 0) return p;
    if (stacked) return p + dir;
    int q = (dir < 0 && dotsBelow) ? p + 1 : p - 1;
    if (neighbour && neighbour->GetStaffPos() == q) return p + (p - q);
    return q;
}

}  // namespace

int GetDotPosition(const TMusicNote& note, const TMusicNote* neighbour, bool dotsBelow, bool stacked) {
    return DotPositionFor(note, note.GetStemDirSign(), neighbour, dotsBelow, stacked);
}

int CountChordAccidentalColumns(TStaffDrawInfo& info, TChordData& chord) {
    return qsm::LayoutChordAccidentals(info, chord, nullptr, 0, nullptr);
}

namespace qsm {

bool DotsBelow(TStaffDrawInfo& info, const TSongNote& item, const TMusicNote& note) {
    if (item.IsUnderOpenChord() || item.HasSplitStems()) return true;
    if (info.IsLayered() && info.GetStaff() && info.GetStaff()->IsMultiPartDotPlacement()) return true;
    return info.IsLayered() && note.HasStemSetting() && note.IsTieDownward();
}

std::vector<int> ChordDotPositions(TStaffDrawInfo& info, TChordData& chord) {
    int n = chord.GetNoteCount();
    std::vector<int> out(static_cast<size_t>(std::max(n, 0)), 0);
    // One stem side: its members from the one at the stem split (from) to the stem end (to).
    auto side = [&](int dir, int from, int to) {
        if (from < 0 || to < 0 || from >= n || to >= n) return;
        int step = to >= from ? 1 : -1;
        int walk = -step;  // members lie from the lowest to the highest: positions fall as the index rises
        int count = std::abs(to - from) + 1;
        int span = std::abs(chord.GetNote(from)->GetStaffPos() - chord.GetNote(to)->GetStaffPos());
        bool stacked = count >= 2 && (span & ~1) <= count;
        int prev = 0;
        for (int i = from;; i += step) {
            TMusicNote* m = chord.GetNote(i);
            const TMusicNote* next = i != to ? chord.GetNote(i + step) : nullptr;
            int dp = DotPositionFor(*m, dir, next, DotsBelow(info, chord, *m), stacked);
            if (i != from && (dp - prev) * walk <= 0) dp = prev + 2 * walk;
            out[static_cast<size_t>(i)] = dp;
            prev = dp;
            if (i == to) break;
        }
    };
    if (n <= 0) return out;
    if (!chord.HasSplitStems()) {
        int d = chord.GetStemDirSign() > 0 ? 1 : -1;
        side(d, chord.FindStemSplitIndex(d), d > 0 ? n - 1 : 0);
    } else {
        int k = chord.FindStemSplitIndex(1);
        side(-1, k - 1, 0);
        side(1, k, n - 1);
    }
    return out;
}

void DrawArticulations(TStaffDrawInfo& info, const TSongNote& note, int x, int pos, int d, bool onStem) {
    TMusicFonts* f = info.GetFonts();
    int size = NoteSize(note);
    int step = size == 1 ? d : 2 * d;
    int p = pos + step + (d > 0 ? 1 : 0);
    int w7 = W(info, size, glFilledHead);
    int cx = x + w7 / 2;
    if (onStem && !note.HasAttribute(naAccent) && !note.HasAttribute(naTenuto) &&
        !note.HasAttribute(naMarcato))
        cx -= w7 * d / 2;
    auto mark = [&](int glyph) {
        f->DrawGlyphAtPos(size, glyph, cx - W(info, size, glyph) / 2, p);
        p += step;
    };
    if (note.HasAttribute(naStaccatissimo)) {
        mark(d > 0 ? 48 : 47);
    } else if (note.HasAttribute(naStaccato)) {
        const int top = LedgerLimit(info.LineCount, -1) + 1;
        const int bottom = top + 2 * (info.LineCount - 1);
        // Away from the stem the dot stands centred in the first space a space or more from the head:
        // written where the rule writes it and raised a quarter space, it would nearly touch a staff or
        // ledger line.
        int space = pos + 2 * d;
        if ((space - top) % 2 == 0) space += d;
        if (!onStem && size != 1 && info.LineCount > 0) {
            f->DrawGlyph(size, 19, cx - W(info, size, 19) / 2, f->PosToY(space) + f->StaffSpace / 4);
            p = space + step;
        } else {
            // Away from the stem, a dot that would sit on a staff line goes to the space beyond it.
            if (!onStem && info.LineCount > 0 && p >= top && p <= bottom && (p - top) % 2 == 0) p += d;
            mark(19);
        }
    }
    if (note.HasAttribute(naTenuto)) mark(49);
    // An accent or a marcato is about a space tall and crosses a staff line wherever it stands inside the
    // staff: away from the stem it stands outside the staff, as far from the outer line as from a head.
    if ((note.HasAttribute(naAccent) || note.HasAttribute(naMarcato)) && !onStem && info.LineCount > 0)
        p = d > 0 ? std::max(p, LedgerLimit(info.LineCount, 1) + 1)
                  : std::min(p, LedgerLimit(info.LineCount, -1));
    if (note.HasAttribute(naAccent))
        mark(44);
    else if (note.HasAttribute(naMarcato))
        mark(d > 0 ? 46 : 45);
}

void DrawNoteArticulations(TStaffDrawInfo& info, const TSongNote& item, TMusicNote& n, int x, int pos,
                           int itemIndex) {
    int sd = n.GetStemDirSign();
    int d = sd;
    bool onStem = n.HasArticulationsOnStem();
    if (onStem) {
        d = -sd;
        // A beamed note without a stem length of its own has its stem end at its beam.
        int field = n.GetStemLengthField();
        const TStaffConnect* beam = n.GetBeamState() != gsNone && (field < 1 || field > 30)
                                        ? info.Beams.FindCovering(NoteSize(item), itemIndex)
                                        : nullptr;
        TMusicFonts* f = info.GetFonts();
        if (beam && f->StaffSpace > 0) {
            pos = (ConnectYAt(*beam, x) - f->OriginY) * 2 / f->StaffSpace;
        } else {
            int len = GetStemLengthSteps(n) - 1;
            if (len > 0) pos += d * len;
        }
    }
    DrawArticulations(info, item, x, pos, d, onStem);
}

// One note, also each member of a chord (chord given) with the accidental column offset.
void DrawOneNote(TStaffDrawInfo& info, TLayoutRecord& record, TMusicNote& n, int x, TChordData* chord,
                 int accColumnOffset, int dotPosition, bool ledger) {
    TMusicFonts* f = info.GetFonts();
    int rec = info.IndexOfRecord(&record);
    int size = NoteSize(n);
    int saved = f->CurrentColor;
    int hidden = info.GetHiddenColor();
    bool show = info.ShowsHidden();
    int acw = f->GetAccidentalColumnWidth(size);
    int pos = n.GetStaffPos();
    int itemX = x;
    // Accidental.
    if (record.AccidentalSpace > 0) {
        int glyph = n.GetAccidentalSymbolCode();
        if (glyph != glNoAccidental && !n.HasAutomaticMark() && !n.HasCrossHead()) {
            int column = chord ? accColumnOffset : record.AccidentalSpace - n.GetAccidentalSpace(info);
            f->DrawGlyphAtPos(size, glyph, x + column * acw, pos);
        }
    }
    x += record.AccidentalSpace * acw + n.GetXNoteSpace() * W(info, size, glFilledHead);
    int hw = HeadWidth(info, n);
    int headX = x + n.GetHeadColumn() * hw;
    // Ledger lines.
    int b = LedgerLimit(info.LineCount, pos);
    if (ledger && std::abs(pos) > std::abs(b)) {
        bool hiddenLines = n.HasNoLegerLines() || record.IsHidden();
        if (!n.HasNoLegerLines() || show) {
            if (hiddenLines) f->SelectColor(hidden);
            int e = hw / 4 + 1;
            f->DrawLedgerLines(headX - e, b, pos, hw + 2 * e);
            if (hiddenLines) f->SelectColor(saved);
        }
    }
    int d = W(info, size, glDot);
    // A tie arriving from the previous system.
    if (n.IsTieContinued() && rec >= 0) {
        int room = 0;
        if (!info.GetNoteRoomLeft(rec, pos, n.GetAccidental(), room)) {
            int xr = headX - (d / 5 + 1);
            int xl =
                std::min(itemX + GetHeadOffset(info, record, chord ? *chord : n) - room, xr - std::max(d, 1));
            f->DrawTieArc(pos, n.IsTieDownward(), xl, xr);
        }
    }
    // Head.
    f->DrawGlyphAtPos(size, n.GetNoteheadSymbolCode(), headX, pos);
    // Stem.
    if (!chord && n.HasFreeStem() && (n.GetStemLengthField() != 31 || show)) {
        bool hiddenStem = n.GetStemLengthField() == 31;
        if (hiddenStem) f->SelectColor(hidden);
        int length = n.GetStemLengthField() >= 1 && n.GetStemLengthField() <= 30 ? n.GetStemLengthField() : 0;
        if (n.GetStemDirSign() > 0)
            f->DrawStemUp(headX, pos, size, n.GetNoteheadSymbolCode(), 0, n.GetFlagCount(), length);
        else
            f->DrawStemDown(headX, pos, size, n.GetNoteheadSymbolCode(), 0, n.GetFlagCount(), length);
        if (hiddenStem) f->SelectColor(saved);
    }
    // Articulations.
    if (!chord && n.HasArticulation()) DrawNoteArticulations(info, n, n, headX, pos, record.ItemIndex);
    // The dots of a chord stand in one column right of all its heads, whatever the member's own column.
    x = chord ? x + std::max(chord->GetChordLayoutSize(), 1) * hw : headX + hw;
    // Dots.
    const TSongNote& owner = chord ? static_cast<const TSongNote&>(*chord) : n;
    if (owner.IsDotted() || owner.IsDblDotted()) {
        int dp = chord ? dotPosition : GetDotPosition(n, nullptr, DotsBelow(info, owner, n), false);
        int y = f->PosToY(dp) + (f->StaffSpace / 2) * 5 / 12 + 1;
        int dx = static_cast<int>(0.4 * d + 1.0 + x);
        if (n.GetStemDirSign() > 0 && n.GetFlagCount() > 0 && ((n.HasFreeStem() && !chord) || n.IsGrace())) {
            static constexpr int kAllow[5] = {0, 0, 1, 3, 4};
            int limit = (pos % 2 ? 7 : 8) + kAllow[std::clamp(n.GetFlagCount(), 0, 4)];
            if (n.IsGrace() || GetStemLengthSteps(n) < limit) dx = x + W(info, size, glFlagUp1);
        }
        f->DrawGlyph(size, glDot, dx, y);
        if (owner.IsDblDotted()) f->DrawGlyph(size, glDot, static_cast<int>(0.2 * d + 1.0 + dx + d), y);
        x = dx + (owner.IsDblDotted() ? 2 * d : d);
    }
    // Tie.
    if (n.HasAttribute(naTie) && rec >= 0) {
        int room = 0;
        info.GetNoteRoomRight(rec, pos, n.GetAccidental(), room);
        int right =
            itemX + (chord ? chord->Measure(info, record) : n.Measure(info, record)) + room - (d / 5 + 1);
        int xl = x + d / 6 + 1;
        f->DrawTieArc(pos, n.IsTieDownward(), xl, std::max(right, xl + d));
    }
    f->SelectColor(saved);
}

int LayoutChordAccidentals(TStaffDrawInfo& info, TChordData& chord, TLayoutRecord* record, int x,
                           int* columnsOut) {
    int n = chord.GetNoteCount();
    if (n <= 0) return 0;
    std::vector<int> columns(static_cast<size_t>(n), 0);
    int maxColumns = 0;
    for (int c = 2;; ++c) {
        const TMusicNote* slots[kMaxAccidentalSlots] = {};
        maxColumns = 0;
        int limit = -100000, base = 0, col = 0, groupColumns = 0, trailing = 0;
        bool restart = false;
        for (int i = n - 1; i >= 0 && !restart; --i) {
            TMusicNote* m = chord.GetNote(i);
            const TMusicNote* prev = i + 1 < n ? chord.GetNote(i + 1) : nullptr;
            int a = AccidentalNeed(*m, prev);
            if (a <= 0) continue;
            int pos = m->GetStaffPos();
            if (pos < limit) {
                if (col == base && trailing) col += trailing;
                col += a;
                if (col > groupColumns) col = a + base;
            } else {
                limit = pos + c + 1;
                base = col = groupColumns = a;
                trailing = 0;
                for (int j = i - 1; j >= 0; --j) {
                    TMusicNote* o = chord.GetNote(j);
                    if (o->GetStaffPos() >= limit) {
                        trailing = 0;
                        break;
                    }
                    int aj = AccidentalNeed(*o, chord.GetNote(j + 1));
                    if (aj > 0) {
                        groupColumns += aj;
                        trailing = aj;
                    }
                }
            }
            maxColumns = std::max(maxColumns, groupColumns);
            int slot = std::clamp(col, 0, kMaxAccidentalSlots - 1);
            if (slots[slot] && AccidentalsCollide(*slots[slot], *m) && c < 15) {
                restart = true;
            } else {
                slots[slot] = m;
                columns[static_cast<size_t>(i)] = col;
            }
        }
        if (!restart) break;
    }
    if (record) {
        // Drawing pass: every member with its column; ledger lines by the outermost notes only.
        std::vector<int> dots = chord.IsDotted() || chord.IsDblDotted()
                                    ? ChordDotPositions(info, chord)
                                    : std::vector<int>(static_cast<size_t>(n));
        for (int i = n - 1; i >= 0; --i) {
            TMusicNote* m = chord.GetNote(i);
            int offset = record->AccidentalSpace - (chord.GetXAccSpace() + columns[static_cast<size_t>(i)]);
            // Ledger lines come from the outermost member on each side of the staff in each head column.
            bool outer = true;
            int pos = m->GetStaffPos();
            for (int j = 0; j < n && outer; ++j) {
                const TMusicNote* o = chord.GetNote(j);
                int q = o->GetStaffPos();
                if (j != i && o->GetHeadColumn() == m->GetHeadColumn() && (q < 0) == (pos < 0) &&
                    (std::abs(q) > std::abs(pos) || (q == pos && j > i)))
                    outer = false;
            }
            DrawOneNote(info, *record, *m, x, &chord, offset, dots[static_cast<size_t>(i)], outer);
        }
    }
    if (columnsOut) *columnsOut = maxColumns;
    return maxColumns;
}

void DrawChordStems(TStaffDrawInfo& info, TLayoutRecord& record, TChordData& chord, int x) {
    TMusicFonts* f = info.GetFonts();
    int n = chord.GetNoteCount();
    if (n == 0) return;
    int saved = f->CurrentColor;
    bool show = info.ShowsHidden();
    int downIdx = n - 1, upIdx = 0;
    if (chord.HasSplitStems()) {
        int k = 1;
        while (k < n - 1 && chord.GetNote(k)->GetStem() == TStemSetting::Down)
            ++k;
        downIdx = k - 1;
        upIdx = k;
    }
    int off = GetHeadOffset(info, record, chord);
    int hw = HeadWidth(info, chord);
    bool beamed = chord.GetBeamState() != gsNone;
    auto stemVisible = [&](TMusicNote* m) { return m->GetStemLengthField() != 31 || show; };
    TMusicNote* down = chord.GetNote(downIdx);
    TMusicNote* up = chord.GetNote(upIdx);
    int length =
        chord.GetStemLengthField() >= 1 && chord.GetStemLengthField() <= 30 ? chord.GetStemLengthField() : 0;
    // With split durations each stem belongs to its own voice: a whole note there has no stem, and the
    // flags are those of the voice.
    int downFlags = chord.HasSplitStems() ? down->GetFlagCount() : chord.GetFlagCount();
    int upFlags = chord.HasSplitStems() ? up->GetFlagCount() : chord.GetFlagCount();
    bool downWhole = (chord.HasSplitStems() ? down->GetDur() : chord.GetDur()) == dcWhole;
    bool upWhole = (chord.HasSplitStems() ? up->GetDur() : chord.GetDur()) == dcWhole;
    if (!beamed) {
        bool split = chord.HasSplitStems();
        bool downOn = !downWhole && (split ? down->GetStemDirSign() < 0 : chord.GetStemDirSign() < 0);
        bool upOn = !upWhole && (split ? up->GetStemDirSign() > 0 : chord.GetStemDirSign() > 0);
        if (downOn && stemVisible(down)) {
            if (down->GetStemLengthField() == 31) f->SelectColor(info.GetHiddenColor());
            int sx = x + off + ((chord.HasWideLayout(-1) ? 1 : 0) + 0) * hw;
            int span = std::abs(down->GetStaffPos() - chord.GetNote(0)->GetStaffPos());
            f->DrawStemDown(sx, down->GetStaffPos(), NoteSize(chord), down->GetNoteheadSymbolCode(), span,
                            downFlags, length);
            f->SelectColor(saved);
        }
        if (upOn && stemVisible(up)) {
            if (up->GetStemLengthField() == 31) f->SelectColor(info.GetHiddenColor());
            int sx = x + off + UpSideColumn(chord) * hw;
            int span = std::abs(up->GetStaffPos() - chord.GetNote(n - 1)->GetStaffPos());
            f->DrawStemUp(sx, up->GetStaffPos(), NoteSize(chord), up->GetNoteheadSymbolCode(), span, upFlags,
                          length);
            f->SelectColor(saved);
        }
    }
    if (chord.HasArticulation()) {
        int sd = chord.GetStemDirSign();
        TMusicNote* outer = sd > 0 ? chord.GetNote(0) : chord.GetNote(n - 1);
        DrawNoteArticulations(info, chord, *outer, x + off, outer->GetStaffPos(), record.ItemIndex);
    }
}

int RestShiftWidth(TStaffDrawInfo& info, TRestChord& rc) {
    TMusicNote* part = rc.GetPart();
    return part && part->GetChordLayoutSize() > 1 && part->GetStemDirSign() < 0 ? HeadWidth(info, *part) : 0;
}

int RestShift(TRestChord& rc) {
    TMusicNote* part = rc.GetPart();
    if (!part || part->GetNoteCount() == 0) return 0;
    int r = rc.GetStaffPos();
    int s = 0;
    if (rc.GetStemDirSign() < 1) {
        int p = part->GetFirstNote()->GetStaffPos();
        if (rc.GetDur() == dcQuarter) p += 1;
        if (rc.GetDur() >= dc32nd) p += 2;
        s = p > -5 ? p + 5 : 0;
    } else {
        int q = part->GetLastNote()->GetStaffPos();
        s = q - r < 5 ? -(5 - (q - r)) : 0;
    }
    if (s == 0) return 0;
    int mag = (std::abs(s) + 1) & ~1;
    return s < 0 ? -mag : mag;
}

void DrawRestGlyph(TStaffDrawInfo& info, TLayoutRecord& record, TRestNote& rest, int x, int shift) {
    TMusicFonts* f = info.GetFonts();
    int size = NoteSize(rest);
    int glyph = glWholeRest + std::clamp(rest.GetDur(), 0, 6);
    int gx = x + GetHeadOffset(info, record, rest);
    int rec = info.IndexOfRecord(&record);
    if (rest.HasBarLength() && !info.ShowsHidden() && rec >= 0) {
        int prev = x + info.GetDistanceToBarLine(rec, -1, 1, false, true);
        int next = x + info.GetDistanceToBarLine(rec, 1, -1, false, true);
        gx = prev + (next - prev) / 2 - W(info, size, glWholeRest) / 2;
    }
    int pos = rest.GetStaffPos() + shift;
    f->DrawGlyphAtPos(size, glyph, gx, pos);
    if (rest.IsDotted() || rest.IsDblDotted()) {
        int d = W(info, size, glDot);
        int dpos = rest.GetVertOffset() + shift - (rest.GetDur() >= dc32nd ? 2 : 0);
        int y = f->PosToY(dpos) - (f->StaffSpace / 2) * 5 / 12;
        int after = gx + W(info, size, glyph);
        int first = static_cast<int>(0.35 * d + after + 1.0);
        f->DrawGlyph(size, glDot, first, y);
        if (rest.IsDblDotted()) {
            int base = first + d + 1;
            f->DrawGlyph(size, glDot, static_cast<int>(0.25 * d + base + 1.0), y);
        }
    }
}

}  // namespace qsm

// The drawing object's bodies for the song notes.
int TNotationDrawing::MeasureSongNote(TSongNote&, TStaffDrawInfo& info, TLayoutRecord&) {
    return 2 * W(info, 0, glFilledHead);
}

int TNotationDrawing::MeasureMusicNote(TMusicNote& n, TStaffDrawInfo& info, TLayoutRecord& r) {
    return GetHeadOffset(info, r, n) + (n.GetHeadColumn() + 1) * HeadWidth(info, n);
}

void TNotationDrawing::DrawMusicNote(TMusicNote& n, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    qsm::DrawOneNote(info, r, n, x, nullptr, 0, 0, true);
}

int TNotationDrawing::MeasureChordData(TChordData& c, TStaffDrawInfo& info, TLayoutRecord& r) {
    return GetHeadOffset(info, r, c) + (c.GetHeadColumn() + 1) * HeadWidth(info, c);
}

void TNotationDrawing::DrawChordData(TChordData& c, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    qsm::LayoutChordAccidentals(info, c, &r, x, nullptr);
    qsm::DrawChordStems(info, r, c, x);
}

int TNotationDrawing::MeasureRestNote(TRestNote& rest, TStaffDrawInfo& info, TLayoutRecord& r) {
    return GetHeadOffset(info, r, rest) +
           W(info, NoteSize(rest), glWholeRest + std::clamp(rest.GetDur(), 0, 6));
}

void TNotationDrawing::DrawRestNote(TRestNote& rest, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    qsm::DrawRestGlyph(info, r, rest, x, 0);
}

int TNotationDrawing::MeasureRestChord(TRestChord& rc, TStaffDrawInfo& info, TLayoutRecord& r) {
    int rest = MeasureRestNote(rc, info, r) + qsm::RestShiftWidth(info, rc);
    TMusicNote* part = rc.GetPart();
    return part ? std::max(rest, part->Measure(info, r)) : rest;
}

void TNotationDrawing::DrawRestChord(TRestChord& rc, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    TMusicNote* part = rc.GetPart();
    if (part) part->Draw(info, r, x);
    bool hiddenRest = rc.IsHideRest();
    if (hiddenRest && !info.ShowsHidden()) return;
    TMusicFonts* f = info.GetFonts();
    int saved = f->CurrentColor;
    if (hiddenRest) f->SelectColor(info.GetHiddenColor());
    qsm::DrawRestGlyph(info, r, rc, x + qsm::RestShiftWidth(info, rc), qsm::RestShift(rc));
    f->SelectColor(saved);
}

int TNotationDrawing::GetDotWidthMusicNote(TMusicNote& n, TStaffDrawInfo& info, TLayoutRecord&) {
    return DotWidth(info, n);
}
int TNotationDrawing::GetDotWidthChordData(TChordData& n, TStaffDrawInfo& info, TLayoutRecord&) {
    return DotWidth(info, n);
}
int TNotationDrawing::GetDotWidthRestNote(TRestNote& n, TStaffDrawInfo& info, TLayoutRecord&) {
    return DotWidth(info, n);
}
int TNotationDrawing::GetDotWidthRestChord(TRestChord& n, TStaffDrawInfo& info, TLayoutRecord&) {
    return DotWidth(info, n);
}

int TNotationDrawing::GetChordAccidentalColumns(TChordData& c, TStaffDrawInfo& info) {
    return CountChordAccidentalColumns(info, c);
}
