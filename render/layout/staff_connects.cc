// Beams, slurs and triplet brackets of a staff segment: geometry from the layout records and drawing.
#include "render/layout/staff_connects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/layout/item_cast.h"
#include "render/layout/item_painter.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"
#include "render/music_fonts.h"
#include "score/music_staff.h"
#include "score/notation_index.h"
#include "score/song_note.h"
#include "score/staff_range.h"
#include "score/structure_items.h"

namespace {

int Sign(int v) {
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

// The note or chord a record stands for (a rest chord's chord part), or null.
TMusicNote* PitchedOf(TNotatedItem* item) {
    if (!item) return nullptr;
    if (item->GetType() == ntNote || item->GetType() == ntChord) return static_cast<TMusicNote*>(item);
    if (item->GetType() == ntRestChord) return static_cast<TRestChord*>(item)->GetPart();
    return nullptr;
}

bool Counts(TStaffDrawInfo& info, const TLayoutRecord& r) {
    return !r.IsHidden() || info.ShowsHidden();
}

int YOf(TMusicFonts* f, int pos) {
    return f->OriginY + f->StaffSpace * pos / 2;
}

// Fills a beam or bracket record: flags from the grace flag, the direction and the all-hidden state.
void FillConnect(TStaffConnect& out, int grace, bool down, bool allHidden, int first, int last, int x0,
                 int y0, int x1, float slope) {
    out.Flags = static_cast<uint8_t>((grace & 0x0F) | (down ? 0x10 : 0) | (allHidden ? 0x40 : 0));
    out.First = static_cast<uint16_t>(first);
    out.Last = static_cast<uint16_t>(last);
    out.X0 = x0;
    out.Y0 = y0;
    out.X1 = x1;
    out.Slope = slope;
}

}  // namespace

int ConnectYAt(const TStaffConnect& c, int x) {
    return static_cast<int>(static_cast<float>(x - c.X0) * c.Slope + static_cast<float>(c.Y0));
}

int MinStemLength(TStaffDrawInfo&, TMusicNote& note, bool inner, bool end) {
    int field = note.GetStemLengthField();
    if (field >= 1 && field <= 30) return field;
    int d = note.GetStemDirSign() >= 0 ? 1 : -1;
    TMusicNote* e = note.GetStemEndNote(d);
    if (!e) e = &note;
    int b = e->GetStaffPos();
    int k = note.GetFlagCount();
    int len = 2 * k + 2;
    if ((d > 0 && b >= -1) || (d < 0 && b < 2)) len = 2 * k + 3;
    if (end && d > 0) {
        int a = e->GetShownAccidental();
        if (a == acFlat || a == acDoubleFlat)
            len += 2;
        else if (a != acNone)
            len += 1;
    }
    if (!e->IsGrace() && ((d > 0 && b > 0) || (d < 0 && b < 0))) len = std::max(len, std::abs(b));
    if (inner) return len;
    int std = 2 * std::max(k, 2) + 3;
    for (int offset : {3, 7, 11})
        if (d < 0 ? b > offset : b < -offset) --std;
    return std::max(len, std);
}

bool BuildBeam(TStaffDrawInfo& info, TStaffConnect& out, int ri, int x) {
    TMusicFonts* f = info.GetFonts();
    TMusicStaff* staff = info.GetStaff();
    const TLayoutRecord& start = info.Record(ri);
    TMusicNote* n0 = PitchedOf(info.ItemOf(start));
    if (!n0 || !staff) return false;
    int g = n0->IsGrace() ? 1 : 0;
    TSimpleNtnIdx idx(staff, start.ItemIndex);
    TStaffItemRange range = TStaffItemRange::CopyAndExtend(idx, 0);
    if (!range.IsValid()) return false;
    TMusicNote* n1 = PitchedOf(staff->GetItem(range.Last));
    if (!n1 || n0->GetBeamState() == gsNone || n1->GetBeamState() == gsNone) return false;
    int num = g ? 2 : 1, den = g ? 3 : 1;
    int s = f->StaffSpace;
    int xa = 0, xb = 0, rx = x;
    bool allHidden = true;
    // The counted notes and the rests of the group, in record order, with their stem or head x.
    struct TMember {
        TMusicNote* note;  // null for a rest
        TSongNote* rest;
        int x;
    };
    std::vector<TMember> members;
    int lastCounted = -1;
    for (int i = ri; i < info.GetRecordCount(); ++i) {
        const TLayoutRecord& r = info.Record(i);
        if (r.ItemIndex > range.Last) break;
        TNotatedItem* item = info.ItemOf(r);
        TMusicNote* n = PitchedOf(item);
        if (n && n->GetBeamState() != gsNone && (n->IsGrace() ? 1 : 0) == g && Counts(info, r)) {
            int sx = rx + GetStemX(info, r, *n, 0);
            if (lastCounted < 0) {
                xa = sx;
                n0 = n;
            }
            xb = sx;
            n1 = n;
            if (!r.IsHidden() && n->GetStemLengthField() != 31) allHidden = false;
            members.push_back({n, nullptr, sx});
            lastCounted = static_cast<int>(members.size()) - 1;
        } else if (item && item->GetType() == ntRest && lastCounted >= 0 &&
                   (static_cast<TSongNote*>(item)->IsGrace() ? 1 : 0) == g && Counts(info, r)) {
            auto* rest = static_cast<TSongNote*>(item);
            members.push_back({nullptr, rest, rx + GetHeadOffset(info, r, *rest)});
        }
        rx += r.Width;
        if (r.ItemIndex == range.Last) break;
    }
    if (lastCounted < 0 || (allHidden && !info.ShowsHidden())) return false;
    members.resize(static_cast<size_t>(lastCounted) + 1);
    int d = n0->GetStemDirSign();
    int v = d >= 0 ? 1 : -1;
    TMusicNote* e0 = n0->GetStemEndNote(v);
    TMusicNote* e1 = n1->GetStemEndNote(v);
    int ya = YOf(f, e0->GetStaffPos()), yb = YOf(f, e1->GetStaffPos());
    bool explicitA = n0->GetStemLengthField() >= 1 && n0->GetStemLengthField() <= 30;
    bool explicitB = n1->GetStemLengthField() >= 1 && n1->GetStemLengthField() <= 30;
    int la = MinStemLength(info, *n0, false, false);
    int lb = MinStemLength(info, *n1, false, true);
    ya -= v * la * s * num / (den * 2);
    yb -= v * lb * s * num / (den * 2);
    bool adjustable = !explicitA && !explicitB;
    // Which end is the reference (outer) one: true when it is the first.
    bool refFirst = v > 0 ? ya <= yb : ya >= yb;
    auto& ref = refFirst ? ya : yb;
    auto& mov = refFirst ? yb : ya;
    if (adjustable && ya - yb != 0 && Sign(ya - yb) != Sign(e0->GetStaffPos() - e1->GetStaffPos())) mov = ref;
    int dx = xa - xb;
    float slope = 0.0f;
    if (dx == 0) {
        dx = 1;
        xb = xa + 1;
        adjustable = false;
    } else {
        slope = static_cast<float>(ya - yb) / static_cast<float>(dx);
    }
    auto recompute = [&] { slope = static_cast<float>(ya - yb) / static_cast<float>(xa - xb); };
    auto beyond = [&](int y, int than) { return v > 0 ? y < than : y > than; };
    if (adjustable) {
        if (std::fabs(slope) > 0.5f) {
            // Held at one half: the movable end lies half the distance away from the reference end.
            mov = ref - d * ((xa - xb) / 2);
            recompute();
        }
        for (size_t k = 1; k < members.size(); ++k) {
            const TMember& m = members[k];
            int req = 0;
            if (m.note) {
                int state = m.note->GetBeamState();
                if (state != gsFirst && state != gsMiddle) continue;
                TMusicNote* e = m.note->GetStemEndNote(v);
                int len = MinStemLength(info, *m.note, true, state == gsMiddle);
                req = YOf(f, e->GetStaffPos()) - v * len * s * num / (den * 2);
            } else {
                // A rest inside the beam keeps the beams of the next note clear of it.
                int pos = (d >= 1 ? m.rest->GetMinStaffPos() : m.rest->GetMaxStaffPos()) - d;
                int flags = 1;
                for (size_t j = k + 1; j < members.size(); ++j)
                    if (members[j].note) {
                        flags = members[j].note->GetFlagCount();
                        break;
                    }
                req = YOf(f, pos) - v * flags * s * num / den;
            }
            int line = static_cast<int>(static_cast<float>(m.x - xa) * slope + static_cast<float>(ya));
            if (beyond(req, line)) {
                mov = req;
                if (beyond(req, ref)) ref = req;
                recompute();
            }
        }
    }
    FillConnect(out, g, d < 1, allHidden, range.First, range.Last, xa, ya, xb, slope);
    return true;
}

void DrawBeam(TStaffDrawInfo& info, int ri, int x) {
    TMusicFonts* f = info.GetFonts();
    TMusicStaff* staff = info.GetStaff();
    const TLayoutRecord& start = info.Record(ri);
    const TStaffConnect* beam = info.Beams.FindById(start.ItemIndex);
    if (!beam || !staff) return;
    int g = beam->GetGraceFlag();
    int d = beam->IsDown() ? -1 : 1;
    int s = f->StaffSpace;
    int saved = f->CurrentColor;
    TMusicNote* first = PitchedOf(info.ItemOf(start));
    if (first && first->GetTripletState() != gsNone && (!beam->IsAllHidden() || info.ShowsHidden())) {
        TSimpleNtnIdx idx(staff, start.ItemIndex);
        TStaffItemRange t = TStaffItemRange::CopyAndExtend(idx, 1);
        if (t.First == beam->First && t.Last == beam->Last) {
            int y0 = beam->Y0 - d * s * 3 / 2;
            int y1 = ConnectYAt(*beam, beam->X1) - d * s * 3 / 2;
            f->DrawTripletMark(0, g ? 1 : 0, beam->X0, y0, beam->X1, y1, false);
        }
    }
    int rx = x;
    int prevX = 0, running = 0, prevFlags = 0;
    bool havePrev = false, prevDotted = false;
    std::vector<std::pair<TMusicNote*, int>> notes;
    std::vector<const TLayoutRecord*> records;
    for (int i = ri; i < info.GetRecordCount(); ++i) {
        const TLayoutRecord& r = info.Record(i);
        if (r.ItemIndex > beam->Last) break;
        TMusicNote* n = PitchedOf(info.ItemOf(r));
        if (n && n->GetBeamState() != gsNone && (n->IsGrace() ? 1 : 0) == g && (Counts(info, r) || i == ri)) {
            notes.push_back({n, rx + GetStemX(info, r, *n, d)});
            records.push_back(&r);
        }
        rx += r.Width;
    }
    int w7 = f->GetGlyphWidth(g ? 1 : 0, glFilledHead);
    for (size_t k = 0; k < notes.size(); ++k) {
        TMusicNote* n = notes[k].first;
        int sx = notes[k].second;
        const TLayoutRecord& r = *records[k];
        f->SelectColor(r.IsHidden() ? info.GetHiddenColor() : info.GetItemColorIndex(n, r));
        TMusicNote* head = n;
        if (n->GetType() == ntChord) {
            auto* c = static_cast<TChordData*>(n);
            int split = c->FindStemSplitIndex(d);
            if (split >= 0 && split < c->GetNoteCount()) head = c->GetNote(split);
        }
        int headPos = d > 0 ? n->GetMinStaffPos() : n->GetMaxStaffPos();
        if (head != n) headPos = head->GetStaffPos();
        int hy = YOf(f, headPos) - d * f->GetStemAttachOffset(g ? 1 : 0, head->GetNoteheadSymbolCode(), d);
        int by = ConnectYAt(*beam, sx);
        bool stemSide = d > 0 ? hy >= by : by >= hy;
        if (stemSide && n->GetStemLengthField() != 31 && (!r.IsHidden() || info.ShowsHidden())) {
            // The stem is its note's; the beams are the group's.
            f->Tag("item", info.GetScoreStaff(), r.ItemIndex, r.GetKind());
            f->DrawStemLine(sx, hy, by, d);
            f->Tag("beam", info.GetScoreStaff(), start.ItemIndex);
        }
        int flags = n->GetFlagCount();
        if (!havePrev) {
            running = flags;
        } else {
            int pby = ConnectYAt(*beam, prevX);
            int nextFlags = k + 1 < notes.size() ? notes[k + 1].first->GetFlagCount() : 0;
            if (flags == running) {
                f->DrawBeams(prevX, pby, sx, by, d, g != 0, running);
            } else if (flags > running) {
                if (nextFlags >= flags || (nextFlags > 0 && !prevDotted)) {
                    f->DrawBeams(prevX, pby, sx, by, d, g != 0, running);
                    running = flags;
                } else {
                    int stub = sx - w7;
                    f->DrawBeams(prevX, pby, sx, by, d, g != 0, running);
                    f->DrawBeams(stub, ConnectYAt(*beam, stub), sx, by, d, g != 0, flags);
                }
            } else {
                if (prevFlags > flags && prevFlags == running && k >= 2) {
                    int stub = prevX + w7;
                    f->DrawBeams(prevX, pby, stub, ConnectYAt(*beam, stub), d, g != 0, running);
                } else if (prevFlags > flags && prevFlags == running) {
                    int stub = prevX + w7;
                    f->DrawBeams(prevX, pby, stub, ConnectYAt(*beam, stub), d, g != 0, running);
                }
                f->DrawBeams(prevX, pby, sx, by, d, g != 0, flags);
                running = flags;
            }
        }
        prevDotted = n->IsDotted() || n->IsDblDotted();
        prevFlags = flags;
        prevX = sx;
        havePrev = true;
    }
    f->SelectColor(saved);
}

TMusicNote* SlurEndNote(TSongNote* note, int direction) {
    if (!note || !note->HasNotes()) return nullptr;
    if (note->GetType() == ntRestChord) {
        auto* rc = static_cast<TRestChord*>(note);
        if (rc->GetStemDirSign() == direction && !rc->IsHideRest()) return nullptr;
        TMusicNote* part = rc->GetPart();
        return part ? part->GetStemEndNote(direction) : nullptr;
    }
    return static_cast<TMusicNote*>(note)->GetStemEndNote(direction);
}

namespace {

constexpr int kMaxSlurPoints = 120;

void AddPoint(std::vector<POINT>& pts, POINT p) {
    if (static_cast<int>(pts.size()) >= kMaxSlurPoints)
        pts.back() = p;
    else
        pts.push_back(p);
}

void SlurNotePoints(TStaffDrawInfo& info, int ri, int x, int d, int sg, int mode, std::vector<POINT>& pts) {
    TMusicFonts* f = info.GetFonts();
    const TLayoutRecord& r = info.Record(ri);
    auto* item = qsm::AsSongNote(info.ItemOf(r));
    if (!item) return;
    int s = f->StaffSpace;
    int num = sg ? 2 : 1, den = sg ? 3 : 1;
    int W = std::max(f->GetGlyphWidth(NoteSize(*item), glFilledHead), 1);
    bool own = !item->IsGrace() && sg == 1;
    TMusicNote* n = PitchedOf(item);
    TRestNote* rest = qsm::AsRestNote(item);
    if (item->GetType() == ntRestChord && n) {
        auto* rc = static_cast<TRestChord*>(item);
        if (rc->GetStemDirSign() != d || rc->IsHideRest())
            rest = nullptr;
        else
            n = nullptr;
    }
    if (rest && !n) {
        int pos = d >= 1 ? rest->GetMinStaffPos() : rest->GetMaxStaffPos();
        int y = YOf(f, pos) - (own ? 0 : d * 2 * s * num / (den * 2));
        AddPoint(pts, {x + GetHeadOffset(info, r, *item) + W / 2, y});
        return;
    }
    if (!n) return;
    TMusicNote* e = n->GetStemEndNote(d);
    if (!e) return;
    int sx = GetStemX(info, r, *n, d);
    int ye = YOf(f, e->GetStaffPos());
    bool stemSide = d == e->GetStemDirSign() || n->HasSplitStems();
    if (mode != 0 && stemSide) {
        int state = n->GetBeamState(), tstate = n->GetTripletState();
        if (mode == 1 && (state == gsFirst || state == gsMiddle || tstate == gsFirst || tstate == gsMiddle))
            mode = 0;
        if (mode == 2 && (state == gsMiddle || state == gsEnd || tstate == gsMiddle || tstate == gsEnd))
            mode = 0;
    }
    bool stemEnd = stemSide && mode != 0 && ((mode == 1 && d < 0) || (mode == 2 && d > 0));
    if (sg == 1 && (!item->IsGrace() || !item->HasAttribute(naSlur))) {
        sx = std::max(GetHeadOffset(info, r, *item) - 1, 1);
    } else if (!stemSide) {
        sx += d >= 0 ? W / 2 : -W / 2;
    } else if (mode != 0) {
        sx += d >= 0 ? -W / 2 : W / 2;
    }
    int X = x + sx;
    if (sg == 0 && e->IsSlurContinued() && !e->IsTieContinued()) {
        int a = e->GetShownAccidental(), k = 0;
        if (a == acSharp || a == acNatural) k = 3;
        if ((a == acFlat || a == acDoubleFlat) && d > 0) k = 5;
        if (k) AddPoint(pts, {X - W, ye - d * (num * k * s) / (den * 2)});
    }
    bool visibleStem = e->GetStemLengthField() != 31 && n->GetDur() > 0;
    if (stemSide && visibleStem && !own && !stemEnd) {
        const TStaffConnect* beam = n->GetBeamState() != gsNone
                                        ? info.Beams.FindCovering(n->IsGrace() ? 1 : 0, r.ItemIndex)
                                        : nullptr;
        if (beam)
            ye = ConnectYAt(*beam, X);
        else if (n->GetBeamState() == gsNone)
            ye = f->GetStemEnd(d, e->GetStaffPos(), NoteSize(*n), n->GetFlagCount(),
                               n->GetStemLengthField() <= 30 ? n->GetStemLengthField() : 0);
    }
    int clearance = 2;
    if (!own && !stemEnd) {
        clearance = 4;
        if (n->HasArticulation() && n->HasArticulationsOnStem() == stemSide)
            clearance += 4 * n->CountArticulations() + 2;
    } else if (stemEnd) {
        clearance = 3;
    }
    AddPoint(pts, {X, ye - d * clearance * s * num / (den * 4)});
}

}  // namespace

bool BuildSlur(TStaffDrawInfo& info, TStaffSlur& out, int ri, int x) {
    TMusicFonts* f = info.GetFonts();
    TMusicStaff* staff = info.GetStaff();
    const TLayoutRecord& rec = info.Record(ri);
    auto* note = qsm::AsSongNote(info.ItemOf(rec));
    if (!note || !staff) return false;
    TSimpleNtnIdx back(staff, rec.ItemIndex), ahead(staff, rec.ItemIndex);
    back.StepToSlurEnd(-1);
    ahead.StepToSlurEnd(1);
    int d = note->IsSlurDownward() ? -1 : 1;
    if (TSongNote* sn = back.GetSongNote()) d = sn->IsSlurDownward() ? -1 : 1;
    int sg = note->IsGrace() ? 1 : 0;
    int s = f->StaffSpace;
    int W = std::max(f->GetGlyphWidth(glFilledHead), 1);
    TMusicNote* S = SlurEndNote(back.GetSongNote(), d);
    TMusicNote* F = SlurEndNote(ahead.GetSongNote(), d);
    bool special = true;
    if (S && d > 0 && (S->GetStemDirSign() > 0 || S->HasSplitStems()) && S->HasCustomStem()) special = false;
    if (F && d < 0 && F->GetStemDirSign() < 0 && !F->HasSplitStems() && F->HasCustomStem()) special = false;
    int startItem = back.GetIndex(), endItem = ahead.GetIndex();
    int leadIn = 0;
    bool haveLeadIn = false;
    if (rec.ItemIndex != startItem) {
        int sum = 0;
        for (int i = ri - 1; i >= 0; --i) {
            const TLayoutRecord& r = info.Record(i);
            sum += r.Width;
            if (r.GetKind() != lkSegmentStart && r.ItemIndex <= startItem) {
                TNotatedItem* it = info.ItemOf(r);
                if (it && it->GetType() == ntSpecialEnding) {
                    sum -= W / 4;
                    if (sum < 1) sum = W / 2;
                } else {
                    sum -= W / 2 + (it ? it->Measure(info, const_cast<TLayoutRecord&>(r)) : 0);
                    if (sum < W) sum = W;
                }
                break;
            }
            if (i == 0) {
                if (sum < W) sum = W;
            }
        }
        leadIn = sum;
        haveLeadIn = true;
    }
    std::vector<POINT> pts;
    int rx = x;
    bool reachedEnd = false;
    for (int i = ri; i < info.GetRecordCount(); ++i) {
        const TLayoutRecord& r = info.Record(i);
        TNotatedItem* it = info.ItemOf(r);
        if (it && it->IsSongNote() && r.GetKind() != lkSegmentStart) {
            int mode = 0;
            if (special) mode = r.ItemIndex == startItem ? 1 : (r.ItemIndex == endItem ? 2 : 0);
            std::vector<POINT> got;
            if (!r.IsHidden() || info.ShowsHidden()) SlurNotePoints(info, i, rx, d, sg, mode, got);
            if (pts.empty() && haveLeadIn && !got.empty()) AddPoint(pts, {x - leadIn, got.front().y});
            for (POINT p : got)
                AddPoint(pts, p);
        } else if (it && !pts.empty() && it->GetType() == ntClef && !r.IsHidden()) {
            int pos = d <= 0 ? it->GetMaxStaffPos() : it->GetMinStaffPos();
            AddPoint(pts, {rx + it->Measure(info, const_cast<TLayoutRecord&>(r)) / 2,
                           f->OriginY + s * (pos - d) / 2});
        }
        if (r.ItemIndex >= endItem && r.GetKind() != lkSegmentStart) {
            reachedEnd = true;
            rx += r.Width;
            break;
        }
        rx += r.Width;
    }
    if ((!reachedEnd || !ahead.GetSongNote()) && !pts.empty()) AddPoint(pts, {rx, pts.back().y});
    out.First = rec.ItemIndex;
    out.Last = static_cast<uint16_t>(endItem);
    out.Flags = static_cast<uint8_t>((sg & 0x0F) | (d != 1 ? 0x10 : 0) | (rec.IsHidden() ? 0x40 : 0));
    if (pts.size() < 2 || (rec.IsHidden() && !info.ShowsHidden())) return false;
    int L = (pts.back().x - pts.front().x) / W;
    int h = L >= 26 ? s * 9 / 4 : (L > 10 ? 2 * s : (L > 5 ? 3 * s / 2 : s));
    out.Curve.FitOverPoints(static_cast<int>(pts.size()), pts.data(), h, d);
    int m = out.Curve.PointAt(0.5f).y;
    int A = pts.front().y;
    for (POINT p : pts)
        A = d > 0 ? std::min<int>(A, p.y) : std::max<int>(A, p.y);
    bool beyond = d > 0 ? m < A - 3 * s : m > A + 3 * s;
    if (beyond) {
        pts.front().y = A;
        pts.back().y = A;
        out.Curve.FitOverPoints(static_cast<int>(pts.size()), pts.data(), h, d);
    }
    return true;
}

void DrawSlurs(TStaffDrawInfo& info, int lo, int hi) {
    TMusicFonts* f = info.GetFonts();
    for (int i = 0; i < info.Slurs.GetCount(); ++i) {
        const TStaffSlur& s = info.Slurs[i];
        if (s.Curve.x2 < lo || s.Curve.x0 > hi) continue;
        f->SelectColor((s.Flags & 0x40) ? info.GetHiddenColor() : info.GetColor());
        f->Tag("slur", info.GetScoreStaff(), s.First);
        f->DrawSlur({s.Curve.x0, s.Curve.y0}, {s.Curve.x1, s.Curve.y1}, {s.Curve.x2, s.Curve.y2},
                    (s.Flags & 0x10) != 0, (s.Flags & 0x0F) != 0);
    }
    f->SelectColor(info.GetColor());
}

int TripletItemY(TStaffDrawInfo& info, int ri, int x, int b) {
    TMusicFonts* f = info.GetFonts();
    const TLayoutRecord& r = info.Record(ri);
    auto* item = qsm::AsSongNote(info.ItemOf(r));
    int c = f->OriginY;
    if (!item) return c;
    int s = f->StaffSpace;
    int g = item->IsGrace() ? 1 : 0;
    int num = g ? 2 : 1, den = g ? 3 : 1;
    TMusicNote* n = PitchedOf(item);
    TRestNote* rest = qsm::AsRestNote(item);
    if (item->GetType() == ntRestChord && n) {
        auto* rc = static_cast<TRestChord*>(item);
        if (rc->GetStemDirSign() != b || (rc->IsHideRest() && !info.ShowsHidden()))
            rest = nullptr;
        else
            n = nullptr;
    }
    int o = (num * s * (-b)) / den;
    int pos;
    if (rest && !n)
        pos = b < 1 ? rest->GetMaxStaffPos() : rest->GetMinStaffPos();
    else if (n)
        pos = n->GetStemEndNote(b) ? n->GetStemEndNote(b)->GetStaffPos() : n->GetStaffPos();
    else
        return c;
    int X = x + GetHeadOffset(info, r, *item);
    int y = YOf(f, pos);
    for (int i = 0; i < info.Slurs.GetCount(); ++i) {
        const TStaffSlur& sl = info.Slurs[i];
        if (((sl.Flags & 0x10) != 0) != (b < 1) || !sl.Curve.ContainsX(X)) continue;
        int cy = sl.Curve.YForX(X);
        if (b > 0 ? cy < y : cy > y) y = cy;
    }
    if (n) {
        int m = y;
        if (b == n->GetStemDirSign() && n->GetStemLengthField() != 31 && n->GetDur() > 0) {
            const TStaffConnect* beam =
                n->GetBeamState() != gsNone ? info.Beams.FindCovering(g, r.ItemIndex) : nullptr;
            if (beam)
                m = ConnectYAt(*beam, X);
            else
                m = f->GetStemEnd(b, pos, NoteSize(*n), n->GetFlagCount(),
                                  n->GetStemLengthField() <= 30 ? n->GetStemLengthField() : 0);
        }
        if (n->HasArticulation() && n->HasArticulationsOnStem() == (b == n->GetStemDirSign()))
            m -= b * (2 * n->CountArticulations() + 1) * s * num / (den * 2);
        if (b > 0 ? m < y : m > y) y = m;
    }
    return y + (3 * o) / 2;
}

bool BuildTripletBracket(TStaffDrawInfo& info, TStaffConnect& out, int ri, int x) {
    TMusicFonts* f = info.GetFonts();
    TMusicStaff* staff = info.GetStaff();
    const TLayoutRecord& start = info.Record(ri);
    auto* first = qsm::AsSongNote(info.ItemOf(start));
    if (!first || !staff) return false;
    TSimpleNtnIdx idx(staff, start.ItemIndex);
    TStaffItemRange t = TStaffItemRange::CopyAndExtend(idx, 1);
    if (!t.IsValid()) return false;
    auto* last = qsm::AsSongNote(staff->GetItem(t.Last));
    if (!last || first->GetTripletState() == gsNone || last->GetTripletState() == gsNone) return false;
    if (first->GetBeamState() != gsNone) {
        TStaffItemRange beam = TStaffItemRange::CopyAndExtend(idx, 0);
        if (beam.First == t.First && beam.Last == t.Last) return false;
    }
    int b = first->GetStemDirSign() >= 0 ? 1 : -1;
    int g = first->IsGrace() ? 1 : 0;
    int s = f->StaffSpace;
    int count = 0, notes = 0;
    bool allHidden = true, reached = false;
    int xa = 0, ya = 0, xb = 0, yb = 0;
    std::vector<std::pair<int, int>> inner;  // record index and x
    TMusicNote* firstNote = nullptr;
    TMusicNote* lastNote = nullptr;
    int rx = x;
    for (int i = ri; i < info.GetRecordCount(); ++i) {
        const TLayoutRecord& r = info.Record(i);
        auto* n = qsm::AsSongNote(info.ItemOf(r));
        if (n && r.GetKind() != lkSegmentStart && n->GetTripletState() != gsNone &&
            (n->IsGrace() ? 1 : 0) == g && r.ItemIndex >= t.First && r.ItemIndex <= t.Last) {
            ++count;
            if (n->HasNotes()) {
                ++notes;
                if (!firstNote) firstNote = PitchedOf(n);
                lastNote = PitchedOf(n);
            }
            if (!r.IsHidden()) allHidden = false;
            if (count == 1) {
                xa = rx + GetHeadOffset(info, r, *n);
                ya = TripletItemY(info, i, rx, b);
            } else {
                inner.push_back({i, rx});
            }
            if (!r.IsHidden() || info.ShowsHidden()) {
                xb = rx + n->Measure(info, const_cast<TLayoutRecord&>(r));
                yb = TripletItemY(info, i, xb - GetHeadOffset(info, r, *n), b);
            }
        }
        rx += r.Width;
        if (r.ItemIndex >= t.Last && r.GetKind() != lkSegmentStart) {
            reached = true;
            break;
        }
    }
    if (!inner.empty()) inner.pop_back();
    if (!reached || count < 2 || (allHidden && !info.ShowsHidden()) || xa >= xb) return false;
    float limit = 0.25f;
    if (first->HasNotes() && last->HasNotes() && firstNote && lastNote) {
        TMusicNote* ea = firstNote->GetStemEndNote(b);
        TMusicNote* eb = lastNote->GetStemEndNote(b);
        int diff = std::clamp((eb ? eb->GetStaffPos() : 0) - (ea ? ea->GetStaffPos() : 0), -2, 2);
        if (Sign(diff) != Sign(yb - ya) && yb - ya != 0) yb = ya + (s * diff) / 2;
    } else if (notes < 2) {
        limit = 0.0f;
    }
    bool refFirst = b > 0 ? ya <= yb : ya >= yb;
    int& ref = refFirst ? ya : yb;
    int& mov = refFirst ? yb : ya;
    auto slopeOf = [&] { return static_cast<float>(ya - yb) / static_cast<float>(xa - xb); };
    float slope = slopeOf();
    if (std::fabs(slope) > limit) {
        int span = std::abs(xa - xb);
        mov = ref + static_cast<int>(limit * static_cast<float>(span)) * (b > 0 ? 1 : -1);
        slope = slopeOf();
    }
    for (auto [i, ix] : inner) {
        const TLayoutRecord& r = info.Record(i);
        auto* n = qsm::AsSongNote(info.ItemOf(r));
        int X = ix + (n ? GetHeadOffset(info, r, *n) : 0);
        int y = TripletItemY(info, i, ix, b);
        int line = static_cast<int>(static_cast<float>(X - xa) * slope + static_cast<float>(ya));
        if (b > 0 ? y < line : y > line) {
            // The movable end goes to the item; the reference end follows when the item lies further out.
            mov = y;
            if (b > 0 ? y < ref : y > ref) ref = y;
            slope = slopeOf();
        }
    }
    int c = f->OriginY;
    if (b <= 0 && mov < c + 3 * s) {
        int shift = c + 3 * s - mov;
        ya += shift;
        yb += shift;
    } else if (b > 0 && mov > c - 3 * s) {
        int shift = mov - (c - 3 * s);
        ya -= shift;
        yb -= shift;
    }
    FillConnect(out, g, b < 0, allHidden, t.First, t.Last, xa, ya, xb, slope);
    return true;
}

void DrawTripletBracket(TStaffDrawInfo& info, int ri) {
    TMusicFonts* f = info.GetFonts();
    const TStaffConnect* t = info.Triplets.FindById(info.Record(ri).ItemIndex);
    if (!t) return;
    if (t->IsAllHidden() && !info.ShowsHidden()) return;
    int saved = f->CurrentColor;
    f->SelectColor(t->IsAllHidden() ? info.GetHiddenColor() : info.GetColor());
    int hook = t->IsDown() ? -1 : 1;
    f->DrawTripletMark(hook, t->GetGraceFlag() ? 1 : 0, t->X0, t->Y0, t->X1, ConnectYAt(*t, t->X1), true);
    f->SelectColor(saved);
}
