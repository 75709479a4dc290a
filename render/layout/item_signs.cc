// Measuring and drawing of clefs, key and time signatures, bar lines, endings, multi-measure rests, spacers,
// staff boundaries and every expression.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/base/compiler.h"
#include "render/layout/item_cast.h"
#include "render/layout/item_painter.h"
#include "render/layout/item_painter_impl.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/layout_record.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"
#include "render/music_fonts.h"
#include "score/base/vocabulary.h"
#include "score/expression_items.h"
#include "score/music_staff.h"
#include "score/notation_index.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

int W(TStaffDrawInfo& info, int glyph) {
    return info.GetFonts()->GetGlyphWidth(glyph);
}

int TopLine(const TStaffDrawInfo& info) {
    return -2 * ((info.LineCount - 1) / 2);
}

int BottomLine(const TStaffDrawInfo& info) {
    return 2 * (info.LineCount / 2);
}

const char* kPilcrow = "\xB6";

// Clef glyph and baseline position by type; the octave mark positions above and below; the reference.
struct TClefShape {
    int glyph, pos, octaveUp, octaveDown, reference;
};
constexpr TClefShape kClefShapes[5] = {{glTrebleClef, 4, -8, 9, 2},
                                       {glBassClef, 4, -6, 4, -2},
                                       {glCClef, 4, -6, 6, 0},
                                       {glCClef, 2, -8, 4, -2},
                                       {glPercussionClef, 4, -5, 6, 0}};

const TClefShape& ClefShape(int type) {
    return kClefShapes[type >= 0 && type <= 4 ? type : 0];
}

// Key signature positions by clef for letters A-G.
constexpr int kSharpPos[5][7] = {{1, 0, -1, -2, -3, -4, -5},
                                 {3, 2, 1, 0, -1, -2, -3},
                                 {2, 1, 0, -1, -2, -3, -4},
                                 {0, -1, -2, -3, -4, 2, 1},
                                 {3, 2, 1, 0, -1, -2, -3}};
constexpr int kFlatPos[5][7] = {{1, 0, -1, -2, -3, 3, 2},
                                {3, 2, 1, 0, -1, 5, 4},
                                {2, 1, 0, -1, -2, 4, 3},
                                {0, -1, -2, -3, -4, 2, 1},
                                {3, 2, 1, 0, -1, 5, 4}};
// Letters A=0 ... G=6.
constexpr int kFlatOrder[7] = {1, 4, 0, 3, 6, 2, 5};   // B E A D G C F
constexpr int kSharpOrder[7] = {5, 2, 6, 3, 0, 4, 1};  // F C G D A E B

int CountLetters(uint16_t mask) {
    int n = 0;
    for (int i = 0; i < 7; ++i)
        n += (mask >> i) & 1;
    return n;
}

int KeyClef(TStaffDrawInfo& info, TKeyData& key, TLayoutRecord& record) {
    int clef = key.GetClefInForce();
    if (record.IsCopy()) clef = info.GetClefTypeBefore(info.IndexOfRecord(&record), clef);
    return clef >= 0 && clef <= 4 ? clef : 0;
}

bool KeyDrawsCancels(TStaffDrawInfo& info, TKeyData& key, TLayoutRecord& record) {
    if (record.IsCopy()) return false;
    return !key.GetHideCancels() || info.ShowsHidden();
}

int EffectiveBarStyle(TStaffDrawInfo& info, TBarLineData& bar, TLayoutRecord& record) {
    if (record.ItemIndex == 0) return bsTransparent;
    TMusicStaff* staff = info.GetStaff();
    if (record.IsCopy() && staff && record.ItemIndex == staff->GetLastIndex()) return bsSingle;
    int style = bar.GetStyle();
    int rec = info.IndexOfRecord(&record);
    if (!info.ShowsHidden() && rec > 0) {
        const TLayoutRecord& p = info.Record(rec - 1);
        TNotatedItem* pi = info.ItemOf(p);
        if (p.GetKind() == lkBarLine && !p.IsHidden() && pi && pi->GetType() == ntBarLine) {
            int ps = static_cast<TBarLineData*>(pi)->GetStyle();
            if (style == bsSectionOpen && ps == bsSectionClose) return bsDouble;
            if (style == bsLocalRepeatOpen && ps == bsLocalRepeatClose) return 12;
            if (style == bsMasterRepeatOpen && ps == bsMasterRepeatClose) return bsLocalRepeatOpen;
        }
    }
    return style;
}

std::string EndingText(uint32_t endings) {
    std::string s = " ";
    char buf[16];
    for (int b = 0; b < 7; ++b)
        if ((endings >> b) & 1u) {
            std::snprintf(buf, sizeof buf, "%u%c", static_cast<unsigned>(b + 1), '.');
            s += buf;
        }
    return s;
}

std::string EndingHiddenText(uint32_t endings) {
    std::string s = EndingText(endings);
    // gcc 12 reports the inlined string copy as overlapping; it is not (a known false report).
    QSM_GCC_FALSE_REPORT_BEGIN("-Wrestrict")
    if ((endings & 0x7F) == 0) s = " ";
    QSM_GCC_FALSE_REPORT_END
    if (endings == 0) s = "...";
    if (endings & 0x80) s += "D.";
    return s;
}

void SelectSpacerColor(TStaffDrawInfo& info, const TNotatedItem& item) {
    TMusicFonts* f = info.GetFonts();
    if (info.IsActive() && item.GetColor() >= 1 && item.GetColor() <= 7) return;
    f->SelectColor(info.GetHiddenColor());
}

}  // namespace

// Clefs.
int TNotationDrawing::MeasureClefData(TClefData&, TStaffDrawInfo& info, TLayoutRecord& r) {
    int w = W(info, glTrebleClef);
    return r.MidBarClef && !r.IsCopy() ? MulDiv(2, w, 3) : w;
}

void TNotationDrawing::DrawClefData(TClefData& clef, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    TMusicFonts* f = info.GetFonts();
    int size = r.MidBarClef && !r.IsCopy() ? 1 : 0;
    const TClefShape& s = ClefShape(clef.GetClefType());
    f->DrawGlyphAtPos(size, s.glyph, x, s.pos);
    if (clef.GetOctaveShift() == osOctaveUp || clef.GetOctaveShift() == osOctaveDown) {
        int p = clef.GetOctaveShift() == osOctaveUp ? s.octaveUp : s.octaveDown;
        if (size == 1) {
            // One third of the way toward the reference, in device units.
            int dy = (f->PosToY(p) - f->PosToY(s.reference)) / 3;
            int y = f->PosToY(p) - dy;
            f->DrawGlyph(size, glClefOctave8, x + f->GetGlyphWidth(size, s.glyph) / 2, y);
        } else {
            f->DrawGlyphAtPos(size, glClefOctave8, x + f->GetGlyphWidth(size, s.glyph) / 2, p);
        }
    }
}

// Key signatures.
int TNotationDrawing::MeasureKeyData(TKeyData& key, TStaffDrawInfo& info, TLayoutRecord& r) {
    int q = W(info, glNatural) / 4;
    int cancels = KeyDrawsCancels(info, key, r)
                      ? CountLetters(key.GetCancelledFlats()) + CountLetters(key.GetCancelledSharps())
                      : 0;
    int flats = CountLetters(key.GetFlatMask()), sharps = CountLetters(key.GetSharpMask());
    if (cancels + flats + sharps == 0) return info.ShowsHidden() ? W(info, glNatural) : 0;
    int w = 0;
    if (cancels) {
        w += cancels * (W(info, glNatural) + q);
        if (flats + sharps) w += 2 * q;
    }
    w += flats * (W(info, glFlat) + q) + sharps * (W(info, glSharp) + q);
    return w - q;
}

void TNotationDrawing::DrawKeyData(TKeyData& key, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    TMusicFonts* f = info.GetFonts();
    int clef = KeyClef(info, key, r);
    int q = W(info, glNatural) / 4;
    int flats = CountLetters(key.GetFlatMask()), sharps = CountLetters(key.GetSharpMask());
    bool cancels = KeyDrawsCancels(info, key, r);
    int saved = f->CurrentColor;
    if (cancels + flats + sharps == 0 || (!cancels && flats + sharps == 0)) {
        if (info.ShowsHidden()) {
            f->SelectColor(info.GetHiddenColor());
            f->DrawGlyphAtPos(glNatural, x, kSharpPos[clef][5]);
            f->SelectColor(saved);
        }
        return;
    }
    int drawn = 0;
    if (cancels) {
        bool hiddenCancels = key.GetHideCancels();
        if (hiddenCancels) f->SelectColor(info.GetHiddenColor());
        for (int letter : kFlatOrder)
            if ((key.GetCancelledFlats() >> letter) & 1) {
                f->DrawGlyphAtPos(glNatural, x, kFlatPos[clef][letter]);
                x += W(info, glNatural) + q;
                ++drawn;
            }
        for (int letter : kSharpOrder)
            if ((key.GetCancelledSharps() >> letter) & 1) {
                f->DrawGlyphAtPos(glNatural, x, kSharpPos[clef][letter]);
                x += W(info, glNatural) + q;
                ++drawn;
            }
        if (hiddenCancels) f->SelectColor(saved);
        if (drawn && flats + sharps) x += 2 * q;
    }
    for (int letter : kFlatOrder)
        if ((key.GetFlatMask() >> letter) & 1) {
            f->DrawGlyphAtPos(glFlat, x, kFlatPos[clef][letter]);
            x += W(info, glFlat) + q;
        }
    for (int letter : kSharpOrder)
        if ((key.GetSharpMask() >> letter) & 1) {
            f->DrawGlyphAtPos(glSharp, x, kSharpPos[clef][letter]);
            x += W(info, glSharp) + q;
        }
}

// Time signatures.
int TNotationDrawing::MeasureTimeSignatureData(TTimeSignatureData& t, TStaffDrawInfo& info, TLayoutRecord&) {
    return qsm::LayoutTimeSignatureWidth(*info.GetFonts(), t.GetStyle(), t.GetBeats(), t.GetBeatValue());
}

void TNotationDrawing::DrawTimeSignatureData(TTimeSignatureData& t, TStaffDrawInfo& info, TLayoutRecord&,
                                             int x) {
    info.GetFonts()->DrawTimeSignature(t.GetStyle(), t.GetBeats(), t.GetBeatValue(), x);
}

// Bar lines.
int TNotationDrawing::MeasureBarLineData(TBarLineData& bar, TStaffDrawInfo& info, TLayoutRecord& r) {
    int style = EffectiveBarStyle(info, bar, r);
    if (style == bsTransparent && !info.ShowsHidden()) return 0;
    return info.GetFonts()->GetBarLineWidth(style);
}

void TNotationDrawing::DrawBarLineData(TBarLineData& bar, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    TMusicFonts* f = info.GetFonts();
    int style = EffectiveBarStyle(info, bar, r);
    int top = TopLine(info), bottom = BottomLine(info);
    if (top == 0 && bottom == 0) top = -1, bottom = 1;
    if (style != bsTransparent) {
        if (info.ConnectBarsState & 1) top = -info.UpperSize;
        if (info.ConnectBarsState & 2) bottom = info.LowerSize;
    }
    int saved = f->CurrentColor;
    int width = r.Width;
    if (bar.GetStyle() == bsLocalRepeatClose && !r.IsCopy()) {
        bool active = info.IsActive();
        if (active || info.ShowsHidden()) {
            char text[16];
            std::snprintf(text, sizeof text, "(%u)", static_cast<unsigned>(bar.GetRepeat()));
            int tw = qsm::LayoutBoldWidth(*f, text);
            int mid = x + width / 2;
            int tx = (info.ConnectBarsState & 1) ? mid - tw : mid - tw / 2;
            if (!active) f->SelectColor(info.GetHiddenColor());
            f->DrawBoldText(tx, -8, text);
            f->SelectColor(saved);
        }
        x += width / 2 - f->GetBarLineWidth(style) / 2;
    }
    if (bar.GetSysBreak() && info.ShowsHidden() && info.IsTopStaff()) {
        f->SelectColor(info.GetHiddenColor());
        f->DrawBoldText(x + width, -6, kPilcrow);
        f->SelectColor(saved);
    }
    if (style == bsTransparent) {
        if (!info.ShowsHidden() || r.ItemIndex == 0) return;
        f->SelectColor(info.GetHiddenColor());
        f->DrawBarLine(x, style, top, bottom);
        f->SelectColor(saved);
        return;
    }
    f->DrawBarLine(x, style, top, bottom);
}

// Special endings.
int TNotationDrawing::MeasureSpecialEnding(TSpecialEnding& e, TStaffDrawInfo& info, TLayoutRecord&) {
    if (!info.ShowsHidden()) return 0;
    return qsm::LayoutBoldWidth(*info.GetFonts(), EndingHiddenText(e.GetEndings()).c_str());
}

void TNotationDrawing::DrawSpecialEnding(TSpecialEnding& e, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    TMusicFonts* f = info.GetFonts();
    int rec = info.IndexOfRecord(&r);
    int t = e.GetBracketOffsetNP() - info.UpperSize;
    int hook = t + e.GetBracketHeight();
    int s = x;
    uint32_t endings = e.GetEndings();
    TMusicStaff* staff = info.GetStaff();
    if (!info.ShowsHidden() && rec >= 0 && staff) {
        // Back to the preceding bar line when no item with a duration stands between it and the ending.
        TSimpleNtnIdx idx(staff, r.ItemIndex);
        if (!idx.StepToKind(ntBarLine, -1)) idx.Seek(0);
        if (!idx.IsDurational()) idx.StepToDurational(1);
        if (!idx.IsDurational() || r.ItemIndex <= idx.GetIndex())
            s = x + info.GetDistanceToBarLine(rec, -1, 0, endings != 0, false);
    }
    bool openEnded = endings != 0 && !e.GetClosedBracket() && !e.HasEnding(0);
    if (openEnded && staff) {
        // An empty ending that opens the next bar closes this one.
        TSimpleNtnIdx idx(staff, r.ItemIndex);
        if (idx.StepToKind(ntBarLine, 1)) {
            while (idx.CanStep(1)) {
                idx.Step(1);
                if (idx.IsDurational() || idx.GetItemType() == ntBarLine) break;
                auto* next = qsm::AsSpecialEnding(idx.GetItem());
                if (next && next->GetEndings() == 0) {
                    openEnded = false;
                    break;
                }
            }
        }
    }
    int e1 = x;
    if (rec >= 0) e1 = x + info.GetDistanceToBarLine(rec, 1, e.GetClosedBracket() ? 0 : 1, false, openEnded);
    int tx = s;
    int saved = f->CurrentColor;
    if ((endings != 0 && !e.GetHideText()) || info.ShowsHidden()) {
        if ((endings & 0x7F) && !e.GetHideText()) {
            std::string text = EndingText(endings);
            f->DrawBoldText(tx, t + 2, text.c_str());
            tx += qsm::LayoutBoldWidth(*f, text.c_str());
        }
        if (info.ShowsHidden()) {
            std::string extra;
            if (e.GetHideText() || (endings & 0x7F) == 0)
                extra = (endings & 0x7F) ? EndingText(endings) : " ";
            if (endings == 0) extra += "...";
            if (endings & 0x80) extra += "D.";
            if (!extra.empty() && extra != " ") {
                f->SelectColor(info.GetHiddenColor());
                f->DrawBoldText(tx, t + 2, extra.c_str());
                tx += qsm::LayoutBoldWidth(*f, extra.c_str());
                f->SelectColor(saved);
            }
        }
        e1 = std::max(e1, tx);
    }
    int yt = f->PosToY(t), yh = f->PosToY(hook);
    if (endings != 0) f->DrawLine(s, yh, s, yt);
    f->DrawLine(s, yt, e1, yt);
    if (e.GetClosedBracket()) f->DrawLine(e1, yt, e1, yh);
}

// Multi-measure rests.
namespace {

// Where hidden notation is shown, a rest is drawn once for each run of its records in a segment, by the
// run's first record, over all the bars of the run: the later records of the run cover no bars of their own.
bool CoversNoBars(TStaffDrawInfo& info, const TLayoutRecord& r) {
    if (!info.ShowsHidden() || r.GetKind() != lkMultiRest) return false;
    int rec = info.IndexOfRecord(&r);
    if (rec < 1 || rec > info.GetRecordCount()) return false;
    const TLayoutRecord& prev = info.Record(rec - 1);
    return prev.ItemIndex == r.ItemIndex && prev.IsMultiBarRest();
}

// The bars that a rest record at index rec covers: up to the next shown continuation or the end of its run.
int CoveredBars(TStaffDrawInfo& info, int rec, const TLayoutRecord& r) {
    const TLayoutRecord* last = &r;
    for (int i = rec + 1; rec >= 0 && i < info.GetRecordCount(); ++i) {
        const TLayoutRecord& n = info.Record(i);
        if (n.ItemIndex != r.ItemIndex || !n.IsMultiBarRest()) break;
        if (n.GetKind() == lkMultiRestMore && !n.IsHidden()) return std::max(n.Count - r.Count, 1);
        last = &n;
    }
    int covered = last->GetKind() == lkMultiRestMore ? last->Count - r.Count : last->Count + 1 - r.Count;
    return std::max(covered, 1);
}

// Whether the rest record draws the rest bar (rather than a whole rest, or nothing).
bool DrawsRestBar(TStaffDrawInfo& info, const TLayoutRecord& r) {
    if (r.GetKind() != lkMultiRest) return false;
    if (info.ShowsHidden()) return !CoversNoBars(info, r);
    return !r.IsHidden() && !r.IsCopy();
}

// The ends of the rest bar that the record at index rec draws at x.
void RestBarEnds(TStaffDrawInfo& info, int rec, const TLayoutRecord& r, int x, int& x1, int& x2) {
    int w20 = W(info, glWholeRest);
    int room = rec >= 0 ? info.GetRoomAfter(rec) : r.Width;
    x1 = x + w20 / 2;
    x2 = x + std::max(room, r.Width) - w20 / 2;
}

}  // namespace

int TNotationDrawing::MeasureMultiMeasureRest(TMultiMeasureRest& m, TStaffDrawInfo& info, TLayoutRecord& r) {
    TMusicFonts* f = info.GetFonts();
    int w20 = W(info, glWholeRest);
    if (r.GetKind() == lkMultiRestMore)
        return info.ShowsHidden() || !m.GetShowBars() ? 0 : f->GetBarLineWidth(0);
    if (!info.ShowsHidden()) {
        if (r.IsCopy() && !r.IsHidden()) return w20;
    } else {
        if (CoversNoBars(info, r)) return 0;
        if (r.IsCopy()) return 2 * w20;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%d", m.GetNumBars());
    return qsm::LayoutTextWidth(*f, 0, text) + 2 * w20;
}

void TNotationDrawing::DrawMultiMeasureRest(TMultiMeasureRest& m, TStaffDrawInfo& info, TLayoutRecord& r,
                                            int x) {
    TMusicFonts* f = info.GetFonts();
    int rec = info.IndexOfRecord(&r);
    if (r.GetKind() == lkMultiRestMore) {
        if (!info.ShowsHidden() && m.GetShowBars() && r.Width > 0 && f->CurrentColor != 8) {
            int top = TopLine(info), bottom = BottomLine(info);
            if (info.ConnectBarsState & 1) top = -info.UpperSize;
            if (info.ConnectBarsState & 2) bottom = info.LowerSize;
            f->DrawBarLine(x, 0, top, bottom);
        }
        return;
    }
    int w20 = W(info, glWholeRest);
    if (!info.ShowsHidden() && r.IsCopy()) {
        if (m.GetShowRests() && r.Width >= w20 && rec >= 0) {
            int prev = x + info.GetDistanceToBarLine(rec, -1, 1, false, true);
            int next = x + info.GetDistanceToBarLine(rec, 1, -1, false, true);
            f->DrawGlyphAtPos(glWholeRest, prev + (next - prev - w20) / 2, info.LineCount >= 3 ? -2 : 0);
        }
        return;
    }
    if (CoversNoBars(info, r)) return;
    int bars = m.GetNumBars();
    if (!info.ShowsHidden() && !m.GetPrintOnce()) bars = CoveredBars(info, rec, r);
    char text[16];
    std::snprintf(text, sizeof text, "%d", bars);
    int x1 = 0, x2 = 0;
    RestBarEnds(info, rec, r, x, x1, x2);
    f->DrawMultiMeasureRestBar(x1, x2, text, -5, info.ShowsHidden());
}

// Staff spacers and boundaries.
int TNotationDrawing::MeasureStaffSpacer(TStaffSpacer& s, TStaffDrawInfo& info, TLayoutRecord& r) {
    return MulDiv(r.IsHidden() ? 25 : s.GetWidth(), W(info, glFilledHead), 100);
}

void TNotationDrawing::DrawStaffSpacer(TStaffSpacer& s, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    if (!info.ShowsHidden()) return;
    TMusicStaff* staff = info.GetStaff();
    if (info.GetDrawMode() == TDrawMode::EditExcerpt && staff && staff->IsUngrouped() &&
        s.GetVisibility() != ivAlways)
        return;
    TMusicFonts* f = info.GetFonts();
    int saved = f->CurrentColor;
    SelectSpacerColor(info, s);
    int top = staff ? staff->GetBoundaryTop() : -12;
    f->DrawRuler(f->CurrentColor, top, x, MeasureStaffSpacer(s, info, r), r.IsHidden());
    f->SelectColor(saved);
}

int TNotationDrawing::MeasureStaffSizer(TStaffSizer& s, TStaffDrawInfo& info, TLayoutRecord& r) {
    int u = info.GetFonts()->StaffSpace;
    if (r.IsCopy()) return 0;
    if (r.IsHidden() && info.ShowsHidden()) return u;
    switch (s.GetStyle()) {
        case ssGap:
            return MulDiv(r.IsHidden() ? 25 : s.GetGapWidthRaw(), W(info, glFilledHead), 100);
        case ssNewSystem:
            return qsm::LayoutBoldWidth(*info.GetFonts(), kPilcrow);
        default:
            return u;
    }
}

void TNotationDrawing::DrawStaffSizer(TStaffSizer& s, TStaffDrawInfo& info, TLayoutRecord& r, int x) {
    if (!info.ShowsHidden() || r.IsCopy()) return;
    TMusicFonts* f = info.GetFonts();
    TMusicStaff* staff = info.GetStaff();
    int saved = f->CurrentColor;
    SelectSpacerColor(info, s);
    int c = f->CurrentColor;
    int top = TopLine(info), bottom = BottomLine(info);
    int bt = staff ? staff->GetBoundaryTop() : -12, bb = staff ? staff->GetBoundaryBottom() : 12;
    if (r.IsHidden()) {
        f->DrawArrow(info.GetHiddenColor(), x, top - 1, top);
    } else {
        switch (s.GetStyle()) {
            case ssReset:
                f->DrawArrow(c, x, top, bt);
                f->DrawArrow(c, x, bottom, bb);
                break;
            case ssNewSize:
                if (s.GetUpper()) f->DrawArrow(c, x, top, top - s.GetUpper());
                if (s.GetLower()) f->DrawArrow(c, x, bottom, bottom + s.GetLower());
                break;
            case ssCollapse:
                f->DrawArrow(c, x, top - 1, 0);
                f->DrawArrow(c, x, bottom + 1, 0);
                break;
            case ssEndCollapse:
                f->DrawArrow(c, x, 0, top - 1);
                f->DrawArrow(c, x, 0, bottom + 1);
                break;
            case ssGap:
                f->DrawRuler(c, top, x, MeasureStaffSizer(s, info, r), false);
                break;
            case ssNewSystem:
                f->SelectColor(info.GetHiddenColor());
                f->DrawBoldText(x, top - 1, kPilcrow);
                break;
            default:
                break;
        }
    }
    f->SelectColor(saved);
}

// Expressions: the shared measure and draw.
int TNotationDrawing::MeasureGeneralExpression(TNtnGeneralExpression& e, TStaffDrawInfo& info,
                                               TLayoutRecord& r) {
    if (e.GetWide()) return e.MeasureExpression(info, r);
    return info.GetDrawMode() == TDrawMode::Edit ? info.GetFonts()->GetExpressionMarkerWidth() : 0;
}

void TNotationDrawing::DrawGeneralExpression(TNtnGeneralExpression& e, TStaffDrawInfo& info, TLayoutRecord& r,
                                             int x) {
    TMusicFonts* f = info.GetFonts();
    int w = e.MeasureExpression(info, r);
    bool marker = info.GetDrawMode() == TDrawMode::Edit && !e.GetWide();
    int mw = marker ? f->GetExpressionMarkerWidth() : 0;
    int R = r.Width;
    int tx = x, mx = x;
    if (e.GetJustify() == ejCenter) tx = x - w / 2;
    if (e.GetJustify() == ejRight) tx = x - w;
    int arrowTo = 0;
    if (e.GetPlacement() == epAtNextNote) {
        int d = info.GetDistanceToNextNote(info.IndexOfRecord(&r));
        tx += d;
        arrowTo = d;
    } else {
        switch (e.GetJustify()) {
            case ejLeft:
                tx += mw;
                break;
            case ejCenter:
                tx += R / 2;
                mx += R / 2 - mw / 2;
                break;
            default:
                tx += R - mw;
                mx += R - mw;
                break;
        }
    }
    // A mark that ends its system (a pedal release after the last note) stands left of the closing bar
    // line, not across or past it.
    if (info.ClosingBarX > 0 && tx + w > info.ClosingBarX) tx = info.ClosingBarX - w;
    e.DrawExpression(info, r, tx);
    int saved = f->CurrentColor;
    if (marker) {
        f->SelectColor(info.GetHiddenColor());
        f->DrawExpressionMarker(mx, e.GetStaffPos(), e.GetJustify());
    }
    if (arrowTo && info.GetDrawMode() == TDrawMode::Edit)
        f->DrawDottedArrow(info.GetHiddenColor(), e.GetStaffPos(), x + mw, x + arrowTo);
    f->SelectColor(saved);
}

// Expression kinds.
int TNotationDrawing::MeasureExpressionTextExpression(TTextExpression& e, TStaffDrawInfo& info,
                                                      TLayoutRecord&) {
    return qsm::LayoutTextWidth(*info.GetFonts(), e.GetFont(), e.GetText());
}

void TNotationDrawing::DrawExpressionTextExpression(TTextExpression& e, TStaffDrawInfo& info, TLayoutRecord&,
                                                    int x) {
    if (info.GetDrawMode() == TDrawMode::EditExcerpt && e.GetVisibility() == ivNever) return;
    int style = e.GetFont();
    info.GetFonts()->DrawText(style, style <= 1 ? 1 : 0, x, e.GetStaffPos(), e.GetText());
}

int TNotationDrawing::MeasureExpressionChordName(TChordName& e, TStaffDrawInfo& info, TLayoutRecord&) {
    return qsm::LayoutTextWidth(*info.GetFonts(), e.GetFont() + 2, e.GetText());
}

void TNotationDrawing::DrawExpressionChordName(TChordName& e, TStaffDrawInfo& info, TLayoutRecord&, int x) {
    info.GetFonts()->DrawText(e.GetFont() + 2, 0, x, e.GetStaffPos(), e.GetText());
}

namespace {
std::string ControlText(const TGenericControl& e) {
    const char* name = GetListName(22, e.GetController());
    return std::string("[mpc:") + (name ? name : "") + "]";
}
}  // namespace

int TNotationDrawing::MeasureExpressionGenericControl(TGenericControl& e, TStaffDrawInfo& info,
                                                      TLayoutRecord&) {
    return qsm::LayoutBoldWidth(*info.GetFonts(), ControlText(e).c_str());
}

void TNotationDrawing::DrawExpressionGenericControl(TGenericControl& e, TStaffDrawInfo& info, TLayoutRecord&,
                                                    int x) {
    info.GetFonts()->DrawBoldText(x, e.GetStaffPos(), ControlText(e).c_str());
}

int TNotationDrawing::MeasureExpressionSustainPedal(TSustainPedal& e, TStaffDrawInfo& info, TLayoutRecord&) {
    return W(info, e.GetStatus() == 0 ? glPedalUp : glPedalDown);
}

void TNotationDrawing::DrawExpressionSustainPedal(TSustainPedal& e, TStaffDrawInfo& info, TLayoutRecord&,
                                                  int x) {
    info.GetFonts()->DrawGlyphAtPos(e.GetStatus() == 0 ? glPedalUp : glPedalDown, x, e.GetStaffPos());
}

int TNotationDrawing::MeasureExpressionPerformanceStyle(TPerformanceStyle& e, TStaffDrawInfo& info,
                                                        TLayoutRecord&) {
    return qsm::LayoutItalicWidth(*info.GetFonts(), e.GetStyleText());
}

void TNotationDrawing::DrawExpressionPerformanceStyle(TPerformanceStyle& e, TStaffDrawInfo& info,
                                                      TLayoutRecord&, int x) {
    info.GetFonts()->DrawItalicText(x, e.GetStaffPos(), e.GetStyleText());
}

int TNotationDrawing::MeasureExpressionTempoData(TTempoData& e, TStaffDrawInfo& info, TLayoutRecord&) {
    return qsm::LayoutTempoMarkWidth(*info.GetFonts(), e.GetText(), e.GetBase(), e.GetTempo());
}

void TNotationDrawing::DrawExpressionTempoData(TTempoData& e, TStaffDrawInfo& info, TLayoutRecord&, int x) {
    info.GetFonts()->DrawTempoMark(e.GetText(), e.GetBase(), e.GetTempo(), x, e.GetStaffPos());
}

int TNotationDrawing::MeasureExpressionTempoVariance(TTempoVariance& e, TStaffDrawInfo& info,
                                                     TLayoutRecord&) {
    switch (e.GetStyle()) {
        case tvBreathMark:
            return W(info, glBreathMark);
        case tvCaesura:
            return W(info, glCaesura);
        case tvFermata:
            return W(info, glFermata);
        default:
            return qsm::LayoutItalicWidth(*info.GetFonts(), e.GetStyleText());
    }
}

void TNotationDrawing::DrawExpressionTempoVariance(TTempoVariance& e, TStaffDrawInfo& info, TLayoutRecord& r,
                                                   int x) {
    TMusicFonts* f = info.GetFonts();
    int pos = e.GetStaffPos();
    if (e.IsPauseStyle()) {
        int glyph = e.GetStyle() == tvBreathMark
                        ? glBreathMark
                        : (e.GetStyle() == tvCaesura ? glCaesura : (pos <= 0 ? glFermata : glFermataBelow));
        f->DrawGlyphAtPos(glyph, x, pos);
        if (e.GetPause() && info.ShowsHidden()) {
            char text[16];
            std::snprintf(text, sizeof text, ":%d", e.GetPause());
            int saved = f->CurrentColor;
            f->SelectColor(info.GetHiddenColor());
            f->DrawBoldText(x + MeasureExpressionTempoVariance(e, info, r), pos, text);
            f->SelectColor(saved);
        }
    } else {
        f->DrawItalicText(x, pos, e.GetStyleText());
    }
}

int TNotationDrawing::MeasureExpressionDynamicLevelData(TDynamicLevelData& e, TStaffDrawInfo& info,
                                                        TLayoutRecord&) {
    return W(info, glDynamicPPP + std::clamp(e.GetStyle(), 0, 7));
}

void TNotationDrawing::DrawExpressionDynamicLevelData(TDynamicLevelData& e, TStaffDrawInfo& info,
                                                      TLayoutRecord&, int x) {
    TMusicFonts* f = info.GetFonts();
    int glyph = glDynamicPPP + std::clamp(e.GetStyle(), 0, 7);
    f->DrawGlyphAtPos(glyph, x, e.GetStaffPos());
    if (info.ShowsHidden() && (e.HasVelocity() || e.HasVolume())) {
        char a[8] = "-", b[8] = "-", text[24];
        if (e.HasVelocity()) std::snprintf(a, sizeof a, "%d", e.GetVelocity());
        if (e.HasVolume()) std::snprintf(b, sizeof b, "%d", e.GetVolume());
        std::snprintf(text, sizeof text, "[%s,%s]", a, b);
        int saved = f->CurrentColor;
        f->SelectColor(info.GetHiddenColor());
        f->DrawBoldText(x + W(info, glyph), e.GetStaffPos(), text);
        f->SelectColor(saved);
    }
}

int TNotationDrawing::MeasureExpressionDynamicVariance(TDynamicVariance& e, TStaffDrawInfo& info,
                                                       TLayoutRecord&) {
    return qsm::LayoutItalicWidth(*info.GetFonts(), e.GetStyleText());
}

void TNotationDrawing::DrawExpressionDynamicVariance(TDynamicVariance& e, TStaffDrawInfo& info,
                                                     TLayoutRecord&, int x) {
    info.GetFonts()->DrawItalicText(x, e.GetStaffPos(), e.GetStyleText());
}

int TNotationDrawing::MeasureExpressionPatchData(TPatchData& e, TStaffDrawInfo& info, TLayoutRecord&) {
    return qsm::LayoutBoldWidth(*info.GetFonts(), e.GetDisplayName());
}

void TNotationDrawing::DrawExpressionPatchData(TPatchData& e, TStaffDrawInfo& info, TLayoutRecord&, int x) {
    info.GetFonts()->DrawBoldText(x, e.GetStaffPos(), e.GetDisplayName());
}

namespace {
struct TFlowParts {
    const char* before;
    const char* after;
    TGlyph sign;  // coda, segno or none
};
TFlowParts FlowParts(int style) {
    switch (style) {
        case fsCoda:
            return {"Coda", "", glCoda};
        case fsSegno:
            return {"", "", glSegno};
        case fsFine:
            return {"Fine", "", glNone};
        case fsToCoda:
            return {"To Coda ", "", glCoda};
        case fsDaCapo:
            return {"D.C.", "", glNone};
        case fsDCalCoda:
            return {"D.C. al Coda", "", glNone};
        case fsDCalFine:
            return {"D.C. al Fine", "", glNone};
        case fsDalSegno:
            return {"D.S.", "", glSegno};
        case fsDSalCoda:
            return {"D.S.", " al Coda", glSegno};
        case fsDSalFine:
            return {"D.S.", " al Fine", glSegno};
        default:
            return {"", "", glNone};
    }
}
bool FlowWithSign(int style) {
    return style == fsSegno || style == fsToCoda || style == fsDalSegno || style == fsDSalCoda ||
           style == fsDSalFine;
}
}  // namespace

int TNotationDrawing::MeasureExpressionFlowDirection(TFlowDirection& e, TStaffDrawInfo& info,
                                                     TLayoutRecord&) {
    TMusicFonts& f = *info.GetFonts();
    TFlowParts p = FlowParts(e.GetStyle());
    if (FlowWithSign(e.GetStyle()))
        return qsm::LayoutItalicWidth(f, p.before) + qsm::LayoutItalicWidth(f, p.after) + W(info, glCoda);
    return qsm::LayoutItalicWidth(f, p.before);
}

void TNotationDrawing::DrawExpressionFlowDirection(TFlowDirection& e, TStaffDrawInfo& info, TLayoutRecord&,
                                                   int x) {
    TMusicFonts* f = info.GetFonts();
    TFlowParts p = FlowParts(e.GetStyle());
    int pos = e.GetStaffPos();
    switch (e.GetStyle()) {
        case fsCoda:
            f->DrawGlyphAtPos(glCoda, x, pos - 5);
            f->DrawItalicText(x, pos, p.before);
            break;
        case fsSegno:
            f->DrawGlyphAtPos(glSegno, x, pos);
            break;
        case fsToCoda:
        case fsDalSegno:
        case fsDSalCoda:
        case fsDSalFine: {
            f->DrawItalicText(x, pos, p.before);
            x += qsm::LayoutItalicWidth(*f, p.before);
            f->DrawGlyphAtPos(p.sign, x, pos);
            x += W(info, glCoda);
            if (*p.after) f->DrawItalicText(x, pos, p.after);
            break;
        }
        default:
            f->DrawItalicText(x, pos, p.before);
            break;
    }
}

namespace qsm {

bool MultiMeasureRestBarShare(TStaffDrawInfo& info, int record, int bar, int& drawing, int& x1, int& x2) {
    if (record < 0 || record >= info.GetRecordCount()) return false;
    int item = info.Record(record).ItemIndex;
    int d = record;
    for (; d >= 1; --d) {
        const TLayoutRecord& r = info.Record(d);
        if (r.ItemIndex != item || !r.IsMultiBarRest()) return false;
        if (r.GetKind() != lkMultiRest) continue;
        // The nearest record of the rest that is drawn decides: a later bar's record that is not drawn
        // belongs to the rest bar drawn before it.
        if (info.ShowsHidden() ? !CoversNoBars(info, r) : !r.IsHidden()) break;
    }
    if (d < 1) return false;
    const TLayoutRecord& r = info.Record(d);
    if (!DrawsRestBar(info, r)) return false;
    int bars = CoveredBars(info, d, r);
    int k = bar - r.Count;
    if (bars < 2 || k < 0 || k >= bars) return false;
    int a = 0, b = 0;
    RestBarEnds(info, d, r, info.XOfRecord(d), a, b);
    drawing = d;
    x1 = a + (b - a) * k / bars;
    x2 = a + (b - a) * (k + 1) / bars;
    return true;
}

void InstallNotationDrawing() {
    static TNotationDrawing drawing;
    SetItemDrawing(&drawing);
}
}  // namespace qsm
