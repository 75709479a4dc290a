// Drawing one staff segment: staff lines run by run, system decorations, items, hairpins, beams, triplet
// brackets, slurs, lyrics and the play mark.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "render/layout/item_cast.h"
#include "render/layout/item_painter.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"
#include "render/music_fonts.h"
#include "score/expression_items.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/staff_range.h"
#include "score/structure_items.h"

void TStaffDrawInfo::BuildSlurs(int x, int /*y*/) {
    Beams.Clear();
    Triplets.Clear();
    Slurs.Clear();
    if (!Staff) return;
    int rx = x;
    for (int i = 0; i < RecordCount; ++i) {
        const TLayoutRecord& r = Record(i);
        auto* n = r.GetKind() == lkSegmentStart ? nullptr : qsm::AsSongNote(ItemOf(r));
        if (n && n->GetBeamState() == gsFirst) {
            TStaffConnect c;
            if (BuildBeam(*this, c, i, rx) && !Beams.Add(c)) break;
        }
        rx += r.Width;
    }
    int lastEnd[2] = {-1, -1};
    rx = x;
    for (int i = 0; i < RecordCount; ++i) {
        const TLayoutRecord& r = Record(i);
        auto* n = r.GetKind() == lkSegmentStart ? nullptr : qsm::AsSongNote(ItemOf(r));
        if (n && (n->IsSlurContinued() || n->HasAttribute(naSlur))) {
            int g = n->IsGrace() ? 1 : 0;
            if (r.ItemIndex > lastEnd[g]) {
                TStaffSlur s;
                bool built = BuildSlur(*this, s, i, rx);
                lastEnd[g] = std::max<int>(s.Last, r.ItemIndex);
                if (built && !Slurs.Add(s)) break;
            }
        }
        rx += r.Width;
    }
    rx = x;
    for (int i = 0; i < RecordCount; ++i) {
        const TLayoutRecord& r = Record(i);
        auto* n = r.GetKind() == lkSegmentStart ? nullptr : qsm::AsSongNote(ItemOf(r));
        if (n && n->GetTripletState() == gsFirst) {
            TStaffConnect c;
            if (BuildTripletBracket(*this, c, i, rx) && !Triplets.Add(c)) break;
        }
        rx += r.Width;
    }
}

void TStaffDrawInfo::DrawSegment(const TDrawExtent& extent, int x, int y) {
    TMusicFonts* f = GetFonts();
    if (!f || !Owner) return;
    f->OriginY = y + Y;
    f->SelectColor(GetColor());
    int n = IsHidden() ? 0 : LineCount;
    int lineStart = x + Owner->GetFirstRecordWidth();
    int lastGap = 0;
    bool itemSeen = false;
    TDrawMode mode = GetDrawMode();
    bool pending = Slot == 0 && (mode == TDrawMode::PrintLike || mode == TDrawMode::Print || x > 0);
    int rx = x;
    int i = 0;
    for (; i < RecordCount; ++i) {
        TLayoutRecord& r = Record(i);
        if (r.GetKind() == lkGap && !r.IsHidden() && r.Width != 0) {
            auto* sizer = qsm::AsStaffSizer(ItemOf(r));
            bool connections = sizer && sizer->GetGapSystemConnections();
            if (itemSeen && rx > lineStart) {
                int end = rx;
                if (i > 0 && Record(i - 1).GetKind() == lkBarLine)
                    end = rx - Record(i - 1).Width + GetFitWidth(Record(i - 1));
                if (pending) {
                    f->Tag("decor", ScoreStaff);
                    Owner->DrawSystemDecorations(lineStart, y, lastGap);
                }
                f->OriginY = y + Y;
                f->SelectColor(GetColor());
                f->Tag("staff", ScoreStaff);
                if (!IsHidden() && n > 0 && lineStart < end) f->DrawStaffLines(lineStart, end, n, false);
                pending = Slot == 0 && connections;
                lineStart = rx + r.Width;
                lastGap = i;
            } else {
                lineStart += r.Width;
                if (Slot == 0 && connections) pending = true;
            }
        } else if (r.IsItemPosition() && r.ItemIndex > 0 && r.Width != 0) {
            itemSeen = true;
        }
        rx += r.Width;
        if (r.GetKind() == lkBarLine && rx > extent.Right) {
            ++i;
            break;
        }
    }
    if (lastGap == 0 || rx > lineStart) {
        bool follows = lastGap == 0;
        for (int j = lastGap + 1; j < RecordCount && !follows; ++j) {
            int k = Record(j).GetKind();
            if (k == lkGrace || k == lkNote || k == lkMultiRest) follows = true;
        }
        if (pending && follows) {
            f->Tag("decor", ScoreStaff);
            Owner->DrawSystemDecorations(lineStart, y, lastGap);
        }
        f->OriginY = y + Y;
        f->SelectColor(GetColor());
        f->Tag("staff", ScoreStaff);
        if (!IsHidden() && n > 0 && rx > lineStart) f->DrawStaffLines(lineStart, rx, n, false);
    }
    if (IsHidden()) return;
    DrawSlurs(*this, extent.Left, extent.Right);
    if (Staff && Staff->GetLyrics() && mode != TDrawMode::EditExcerpt) DrawLyrics(extent, x);
    f->OriginY = y + Y;
    rx = x;
    int hairpinEnd = 0;
    int last = mode == TDrawMode::EditExcerpt ? RecordCount - 1 : RecordCount;
    // Where the closing bar line of the segment starts, when the segment ends in one: expressions stand
    // left of it.
    ClosingBarX = 0;
    if (RecordCount > 0 && Record(RecordCount - 1).GetKind() == lkBarLine) {
        ClosingBarX = x;
        for (int k = 0; k + 1 < RecordCount; ++k)
            ClosingBarX += Record(k).Width;
    }
    for (int k = 0; k < last; ++k) {
        TLayoutRecord& r = Record(k);
        if (r.GetKind() == lkSegmentStart) {
            rx += r.Width;
            continue;
        }
        TNotatedItem* item = ItemOf(r);
        // Hairpins, beams and brackets start at their first note even when that note's record is hidden;
        // they decide themselves what of them is shown.
        if (auto* note = qsm::AsSongNote(item)) {
            if (r.ItemIndex > hairpinEnd &&
                (note->HasAttribute(naCrescendo) || note->HasAttribute(naDiminuendo))) {
                f->Tag("hairpin", ScoreStaff, r.ItemIndex);
                hairpinEnd = DrawHairpins(k, rx);
            }
            if (note->GetBeamState() == gsFirst) {
                f->Tag("beam", ScoreStaff, r.ItemIndex);
                DrawBeam(*this, k, rx);
            }
            if (note->GetTripletState() == gsFirst) {
                f->Tag("triplet", ScoreStaff, r.ItemIndex);
                DrawTripletBracket(*this, k);
            }
        }
        if (item && (!r.IsHidden() || ShowsHidden())) {
            f->Tag("item", ScoreStaff, r.ItemIndex, r.GetKind());
            f->SelectColor(GetItemColorIndex(item, r));
            item->Draw(*this, r, rx);
            f->SelectColor(GetColor());
        }
        rx += r.Width;
        if (r.GetKind() == lkBarLine && rx > extent.Right) break;
    }
    ClosingBarX = 0;
}

void TStaffDrawInfo::DrawSegmentInRect(const RECT& rect) {
    TDrawExtent extent;
    extent.Width = rect.right - rect.left;
    extent.Left = rect.left;
    extent.Right = rect.right;
    DrawSegment(extent, rect.left, rect.top);
}

int TStaffDrawInfo::DrawHairpins(int ri, int x) {
    TMusicFonts* f = GetFonts();
    TLayoutRecord& r = Record(ri);
    TStaffItemRange run(Staff, r.ItemIndex, r.ItemIndex);
    StaffHairpinRunExtent(run, r.ItemIndex);
    if (!run.IsValid()) return r.ItemIndex;
    auto* firstNote = qsm::AsSongNote(Staff->GetItem(run.First));
    int kind = firstNote ? firstNote->GetHairpin() : 0;
    if (kind == 0) kind = static_cast<TSongNote*>(ItemOf(r))->GetHairpin();
    TSimpleNtnIdx dyn(Staff, run.First);
    int pos = 9;
    if (dyn.StepToDynamic(-1) && dyn.GetItem()) pos = dyn.GetItem()->GetStaffPos();
    int x1 = x;
    auto* note = qsm::AsSongNote(ItemOf(r));
    if (note && r.ItemIndex <= run.Last && (!r.IsHidden() || ShowsHidden()))
        x1 += GetHeadOffset(*this, r, *note);
    bool allHidden = true;
    int sum = 0, endRec = -1;
    for (int i = ri; i < RecordCount; ++i) {
        const TLayoutRecord& o = Record(i);
        if (o.ItemIndex == run.Last && o.GetKind() != lkSegmentStart) {
            // The run's last note is one of its records too: a hairpin under a single shown note is drawn.
            if (!o.IsHidden()) allHidden = false;
            endRec = i;
            break;
        }
        if (i < RecordCount - 1 && !o.IsHidden()) allHidden = false;
        sum += o.Width;
    }
    int x2;
    if (endRec >= 0) {
        const TLayoutRecord& e = Record(endRec);
        auto* en = qsm::AsSongNote(ItemOf(e));
        int g = f->GetGlyphWidth(glFilledHead), nlay = 1;
        if (auto* rest = qsm::AsRestNote(en)) {
            g = f->GetGlyphWidth(NoteSize(*rest), glWholeRest + std::clamp(rest->GetDur(), 0, 6));
        } else if (en && en->HasNotes()) {
            g = HeadWidth(*this, *static_cast<TMusicNote*>(en));
            nlay = std::max<int>(e.ChordLayout, 1);
        }
        int ex = x + sum;
        x2 = std::max(ex + e.Width - g, ex + (en ? GetHeadOffset(*this, e, *en) : 0) + g * nlay);
    } else {
        x2 = x + sum - f->GetGlyphWidth(glFilledHead);
    }
    if (allHidden && !ShowsHidden()) return run.Last;
    f->SelectColor(allHidden ? GetHiddenColor() : GetColor());
    f->DrawHairpin(kind, x1, x2, pos, false);
    f->SelectColor(GetColor());
    return run.Last;
}

int TStaffDrawInfo::GetLyricLineY(int line) const {
    TStaffLyrics* lyrics = Staff ? Staff->GetLyrics() : nullptr;
    if (!lyrics) return 0;
    TMusicFonts* f = GetFonts();
    int h = f ? f->LyricHeight : 2;
    int count = std::min(lyrics->GetCount(), kMaxLyricLines);
    if (lyrics->Placement == 1) return lyrics->Offset - UpperSize + h / 2 + line * h;
    return LowerSize - lyrics->Offset - count * h + h / 2 + line * h;
}

void TStaffDrawInfo::DrawLyrics(const TDrawExtent& extent, int x) {
    TStaffLyrics* lyrics = Staff ? Staff->GetLyrics() : nullptr;
    if (!lyrics) return;
    TMusicFonts* f = GetFonts();
    int hy = qsm::LayoutLyricWidth(*f, "-");
    for (int line = kMaxLyricLines - 1; line >= 0; --line) {
        if (!LyricCursors[line]) continue;
        int p = GetLyricLineY(line);
        TLyric cursor;
        cursor.Assign(*LyricCursors[line]);
        int rx = x, prevEnd = x;
        for (int i = 0; i < RecordCount; ++i) {
            const TLayoutRecord& r = Record(i);
            int k = r.GetSyllable();
            if (k > 0) {
                cursor.Seek(k - 1);
                if (!cursor.IsValid()) break;
                const char* text = cursor.GetText();
                int w = qsm::LayoutLyricWidth(*f, text);
                int tx = rx;
                auto* note = qsm::AsSongNote(ItemOf(r));
                if (lyrics->Align == 1 && note) {
                    tx += GetLyricX(*this, r, *note);
                    if (!note->StartsSlurOrTie())
                        tx += f->GetGlyphWidth(NoteSize(*note), glFilledHead) / 2 - w / 2;
                }
                f->Tag("lyric", ScoreStaff, r.ItemIndex, line);
                f->DrawLyricText(tx, p, text);
                f->Tag("hyphen", ScoreStaff, r.ItemIndex, line);
                if (cursor.GetSeparator() == '-') f->DrawLyricText(prevEnd + (tx - prevEnd - hy) / 2, p, "-");
                prevEnd = tx + w;
            }
            if (rx > extent.Right) break;
            rx += r.Width;
        }
        if (prevEnd > x && !ShowsHidden()) {
            TLyric next;
            next.Assign(cursor);
            next.Next();
            f->Tag("hyphen", ScoreStaff, -1, line);
            if (next.IsValid() && next.GetSeparator() == '-') f->DrawLyricText(prevEnd, p, "-");
        }
    }
}

void TStaffDrawInfo::DrawLyricAt(int ri, int line, int x) {
    if (line < 0 || line >= kMaxLyricLines || !LyricCursors[line]) return;
    const TLayoutRecord& r = Record(ri);
    int k = r.GetSyllable();
    if (k <= 0) return;
    TLyric cursor;
    cursor.Assign(*LyricCursors[line]);
    cursor.Seek(k - 1);
    if (!cursor.IsValid()) return;
    TMusicFonts* f = GetFonts();
    int w = qsm::LayoutLyricWidth(*f, cursor.GetText());
    int tx = x;
    auto* note = qsm::AsSongNote(ItemOf(r));
    TStaffLyrics* lyrics = Staff->GetLyrics();
    if (lyrics && lyrics->Align == 1 && note) {
        tx += GetLyricX(*this, r, *note);
        if (!note->StartsSlurOrTie()) tx += f->GetGlyphWidth(NoteSize(*note), glFilledHead) / 2 - w / 2;
    }
    f->DrawLyricText(tx, GetLyricLineY(line), cursor.GetText());
}

int TStaffDrawInfo::DrawPlayMark(int x, int y, TStaffStartPosition position, int colour, int lyricLine) {
    TMusicFonts* f = GetFonts();
    if (!f || !Staff) return -1;
    f->OriginY = y + Y;
    int ri = RecordIndexOfIndex(position);
    if (ri < 0) return -1;
    TLayoutRecord& r = Record(ri);
    int drawing = -1, x1 = 0, x2 = 0;
    if (r.IsMultiBarRest() && qsm::MultiMeasureRestBarShare(*this, ri, position.Bar, drawing, x1, x2)) {
        // A rest drawn over several bars: the mark is the playing bar's share of its rest bar, so it moves
        // through the rest as it plays.
        const TLayoutRecord& d = Record(drawing);
        f->SelectColor(colour ? colour : GetItemColorIndex(ItemOf(d), d));
        f->DrawMultiMeasureRestBar(x + x1, x + x2, "", -5, ShowsHidden());
        f->SelectColor(GetColor());
        return ri;
    }
    int rx = x + XOfRecord(ri);
    if (!r.IsHidden() || ShowsHidden()) {
        TNotatedItem* item = ItemOf(r);
        f->SelectColor(colour ? colour : GetItemColorIndex(item, r));
        if (item) item->Draw(*this, r, rx);
        if (Staff->GetLyrics() && r.GetSyllable() > 0) DrawLyricAt(ri, lyricLine, rx);
    }
    f->SelectColor(GetColor());
    return ri;
}

void TStaffDrawInfo::DrawBarNumberRuler(int x, int right, int y, int tickLength, int barTickLength,
                                        bool joinRests) {
    TMusicFonts* f = GetFonts();
    if (!f || !Staff) return;
    TMusicScore* score = GetScore();
    int startingBar = score ? score->StartingBar : 1;
    int savedOrigin = f->OriginY, savedColor = f->CurrentColor;
    f->OriginY = y;
    f->SelectColor(GetHiddenColor());
    int singleBar = f->GetBarLineWidth(bsSingle);
    bool atEnd = IsAtStaffEnd();
    // The number is written centred in the span between two bar positions, the span clipped to 0..right,
    // when it is wider than the text.
    auto write = [&](const char* text, int from, int to) {
        int lo = std::max(from, 0), hi = std::min(to, right);
        int w = f->MeasureBoldText(text);
        if (w >= hi - lo) return;
        f->SelectColor(GetColor());
        f->DrawBoldText(lo + (hi - lo - w) / 2, 0, text);
        f->SelectColor(GetHiddenColor());
    };
    int rx = x;
    bool havePrev = false, runOpen = false, havePosition = false;
    int lastNumber = 0;
    int prevX = 0, prevNumber = 0, runFirst = 0;
    for (int i = 0; i < RecordCount; ++i) {
        const TLayoutRecord& r = Record(i);
        auto* bar = r.GetKind() == lkBarLine ? qsm::AsBarLine(ItemOf(r)) : nullptr;
        bool position = (bar && bar->IsCountedBar() && !bar->GetComputedFlag()) ||
                        r.GetKind() == lkMultiRestMore || (atEnd && i == RecordCount - 1);
        if (position) {
            // The number of the bar that begins at this position: a bar line that carries its count gives it;
            // the opening bar line (count 0) stands before the bar that the next counted bar line ends; a bar
            // inside a multi-measure rest follows the bar before it.
            int n;
            if (r.GetKind() == lkBarLine && r.Count)
                n = r.Count + startingBar;
            else if (r.GetKind() == lkMultiRestMore && havePosition)
                n = lastNumber + 1;
            else
                n = BarNumberAt(i) + startingBar - 1;
            havePosition = true;
            lastNumber = n;
            int bx = r.GetKind() == lkBarLine ? rx + GetFitWidth(r) / 2 : rx + r.Width + singleBar / 2;
            if (tickLength) f->DrawLine(bx, f->PosToY(0), bx, f->PosToY(tickLength));
            if (joinRests && r.GetKind() == lkMultiRestMore) {
                // Bars inside a multi-measure rest join the range that the rest's first bar opened.
                if (!runOpen && havePrev) {
                    runOpen = true;
                    runFirst = prevNumber;
                }
            } else {
                if (bx > 0 && havePrev && prevX < right && (prevNumber > 0 || runOpen)) {
                    char text[32];
                    if (runOpen && runFirst != n - 1)
                        std::snprintf(text, sizeof text, "%d - %d", runFirst, n - 1);
                    else
                        std::snprintf(text, sizeof text, "%d", runOpen ? runFirst : prevNumber);
                    write(text, prevX, bx);
                }
                runOpen = false;
                havePrev = true;
                prevX = bx;
                prevNumber = n;
            }
        } else if (bar && barTickLength) {
            int mx = rx + r.Width / 2;
            f->DrawLine(mx, f->PosToY(0), mx, f->PosToY(barTickLength));
        }
        rx += r.Width;
    }
    f->OriginY = savedOrigin;
    f->SelectColor(savedColor);
}
