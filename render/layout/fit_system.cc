// Fitting a system to its width: each staff broken where its next bar overflows or where a system break
// asks, every staff cut back to the time all of them reach, the staves widened together at equal times
// until the widest fills the width, and every staff padded to the widest.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "render/layout/item_cast.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
#include "render/music_fonts.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

constexpr int kSqueezePasses = 4;               // squeezing and aligning again, a few times over at most
constexpr int kNoBreakBar = 1024;               // no system break asked for: more bars than a system holds
constexpr int64_t kNoCommonTime = 0x7777ffff;   // later than any time a staff breaks at
constexpr int64_t kNoStretchTime = 0x77ffffff;  // later than any time a stretch cursor reaches
constexpr int kNoPriority = 9;                  // after every record priority

}  // namespace

// One staff's place in the stretch: the record it stands at (-1 when done), how many records it has passed
// since the last stretch point and the time it has reached.
struct TScoreDrawInfo::TStretchCursor {
    int cursor = -1, passed = 0;
    int64_t t = 0;
};

// What the steps of fitting share.
struct TScoreDrawInfo::TSystemFit {
    int width = 0;                   // the width to fill
    int breakBar = kNoBreakBar;      // the bar count at a system break asked for on the top staff
    int breakExtra = 0;              // the empty bars that follow that break
    int64_t common = kNoCommonTime;  // the earliest time a staff broke at
    std::vector<int64_t> sums;       // each staff's width
    int64_t maxSum = 0;              // the widest staff's width
    bool extendOnly = false;         // the last system keeps its width and only the narrower staves grow
    std::vector<TStretchCursor> cursors;
    bool widenedSinceRestart = false;  // a pass of the cursors that widened nothing would only repeat
    bool firstPass = true;             // the cursors have not yet been restarted
    // The records the first pass of the cursors widened, in order, each with its staff: every later pass
    // widens the very same ones, since the cursors move by the records' times and kinds, never by widths.
    std::vector<std::pair<int, int>> passTargets;
};

int TScoreDrawInfo::StretchTargetRecord(TStaffDrawInfo& s, int cursor, int passed) {
    const TLayoutRecord& c = s.Record(cursor);
    TNotatedItem* item = s.ItemOf(c);
    auto* rest = qsm::AsRestNote(item);
    if (c.GetKind() == lkMultiRest || (c.GetKind() == lkNote && rest && rest->HasBarLength())) return cursor;
    bool noteLike = c.GetKind() == lkNote || c.GetKind() == lkMultiRest;
    for (int j = cursor - 1; j >= 0 && j >= cursor - passed - 1; --j) {
        const TLayoutRecord& r = s.Record(j);
        int k = r.GetKind();
        if (k == lkNote || k == lkMultiRest || k == lkMultiRestMore || k == lkEnding || k == lkBarLine ||
            k == lkSegmentStart)
            return j;
        if (noteLike && (k == lkGap || k == lkBarStart || k == lkClef || k == lkKey || k == lkTimeSig) &&
            r.GetPriority() != 0)
            return j;
    }
    return cursor > 0 ? cursor - 1 : cursor;
}

namespace {
// Takes need from the records in proportion to the room each can give; returns what it took.
int64_t TakeRoom(TStaffDrawInfo& s, std::vector<int>& room, int64_t need) {
    int64_t total = 0;
    for (int r : room)
        total += r;
    need = std::min(need, total);
    if (need <= 0) return 0;
    int64_t taken = 0;
    for (size_t i = 0; i < room.size(); ++i) {
        int take = static_cast<int>(need * room[i] / total);
        s.Record(static_cast<int>(i)).Width -= take;
        room[i] -= take;
        taken += take;
    }
    for (size_t i = room.size(); i-- > 0 && taken < need;) {
        int take = static_cast<int>(std::min<int64_t>(room[i], need - taken));
        s.Record(static_cast<int>(i)).Width -= take;
        room[i] -= take;
        taken += take;
    }
    return taken;
}

// The first bar of a segment is never cut, so a bar wider than the whole system would run past the page
// edge. Its notes give up the room that spacing and alignment added to them, evenly, until the bar fits:
// first down to what their syllables need, then down to what they draw and half a head (the last note keeps
// a head width, room for a flag); a bar that cannot fit even then runs past the margin. Whether it took any
// room.
bool SqueezeFirstBar(TStaffDrawInfo& s, int width, int headWidth) {
    int end = s.GetRecordCount();
    bool timed = false;
    for (int i = 0; i < s.GetRecordCount(); ++i) {
        const TLayoutRecord& r = s.Record(i);
        if (!r.IsCopy() && r.Time != 0) timed = true;
        if (r.IsBarBreak() && timed) {
            end = i + 1;
            break;
        }
    }
    int64_t x = 0;
    for (int i = 0; i < end; ++i) {
        const TLayoutRecord& r = s.Record(i);
        x += i == end - 1 && r.GetKind() == lkBarLine ? s.GetFitWidth(r) : r.Width;
    }
    if (x <= width) return false;
    TStaffLyrics* lyrics = s.GetStaff() ? s.GetStaff()->GetLyrics() : nullptr;
    TMusicFonts* fonts = s.GetFonts();
    const int hyphen = lyrics && fonts ? qsm::LayoutLyricWidth(*fonts, "-") : 0;
    std::vector<int> spare(static_cast<size_t>(end), 0), lyricRoom(static_cast<size_t>(end), 0);
    auto isNote = [&](const TLayoutRecord& n) {
        return (n.GetKind() == lkNote || n.GetKind() == lkGrace) && !n.IsHidden() && s.ItemOf(n);
    };
    int lastNote = -1;
    for (int i = 0; i < end; ++i)
        if (isNote(s.Record(i))) lastNote = i;
    for (int i = 0; i < end; ++i) {
        TLayoutRecord& n = s.Record(i);
        if (!isNote(n)) continue;
        int least =
            s.GetFitWidth(n) + s.ItemOf(n)->GetDotWidth(s, n) + (i == lastNote ? headWidth : headWidth / 2);
        int syllables = least;
        for (int line = 0; lyrics && fonts && n.GetSyllable() > 0 && line < lyrics->GetCount(); ++line) {
            TLyric cursor;
            cursor.SetLine(*lyrics->GetLine(line), 0);
            cursor.Seek(n.GetSyllable() - 1);
            if (cursor.IsValid())
                syllables = std::max(syllables, qsm::LayoutLyricWidth(*fonts, cursor.GetText()) + hyphen);
        }
        spare[static_cast<size_t>(i)] = std::max(n.Width - syllables, 0);
        lyricRoom[static_cast<size_t>(i)] = std::max(n.Width - least, 0) - spare[static_cast<size_t>(i)];
    }
    int64_t taken = TakeRoom(s, spare, x - width);
    taken += TakeRoom(s, lyricRoom, x - width - taken);
    return taken > 0;
}
}  // namespace

void TScoreDrawInfo::FitSystem(int width) {
    SqueezeFirstBars(width);
    TSystemFit fit;
    fit.width = width;
    for (int si = 0; si < StaffCount; ++si)
        BreakStaff(*Staves[si], si == 0, fit);
    fit.sums.assign(static_cast<size_t>(StaffCount), 0);
    for (int si = 0; si < StaffCount; ++si)
        CutToCommonTime(si, fit);
    ChooseFillWidth(fit);
    StretchToWidth(fit);
    PadToWidest(fit);
    LayoutStavesVertically(true);
}

// Alignment across the staves may widen a squeezed bar again: squeezed and aligned a few times over.
void TScoreDrawInfo::SqueezeFirstBars(int width) {
    for (int pass = 0; pass < kSqueezePasses; ++pass) {
        bool squeezed = false;
        for (int si = 0; si < StaffCount; ++si)
            squeezed = SqueezeFirstBar(*Staves[si], width, Fonts ? Fonts->GetGlyphWidth(glFilledHead) : 0) ||
                       squeezed;
        if (pass == 0 || squeezed) AlignStaves();
        if (!squeezed) break;
    }
}

namespace {
// Makes room for the closing bar line at record closing by narrowing the notes of the last bar, down to
// what they draw and half a head; returns the room taken.
int NarrowLastBar(TStaffDrawInfo& s, int closing, int need, int headWidth) {
    int taken = 0;
    for (int j = closing - 2; j >= 0 && need > 0 && s.Record(j).GetKind() != lkBarLine; --j) {
        TLayoutRecord& n = s.Record(j);
        TNotatedItem* item = s.ItemOf(n);
        if (n.GetKind() != lkNote || !item) continue;
        int least = s.GetFitWidth(n) + item->GetDotWidth(s, n) + headWidth / 2;
        int take = std::min(need, n.Width - least);
        if (take <= 0) continue;
        n.Width -= take;
        taken += take;
        need -= take;
    }
    return taken;
}
}  // namespace

// Cuts the staff's records after the last one that fits the width, or at a system break (a new-system
// staff sizer or a bar line's system break on the top staff, kept at the same bar on the others); the
// time the staff reached there lowers the common time.
void TScoreDrawInfo::BreakStaff(TStaffDrawInfo& s, bool top, TSystemFit& fit) {
    if (s.GetRecordCount() == 0) return;
    int64_t x = 0, barTime = 0, doneTime = 0;
    int bars = 0, emptyBars = 0, lastBar = 0;
    bool overflow = false;
    for (int i = 0; i < s.GetRecordCount(); ++i) {
        TLayoutRecord& r = s.Record(i);
        if (bars > 0) {
            int w = r.GetKind() == lkBarLine ? s.GetFitWidth(r) : r.Width;
            // The closing bar line that follows the staff's last bar line holds no music of its own: it
            // stays with that bar line rather than taking a system for itself.
            bool closing = r.GetKind() == lkBarLine && i == s.GetRecordCount() - 1 && i > 0 &&
                           s.Record(i - 1).GetKind() == lkBarLine;
            if (x + w > fit.width && closing)
                x -= NarrowLastBar(s, i, static_cast<int>(x + w - fit.width),
                                   Fonts ? Fonts->GetGlyphWidth(glFilledHead) : 0);
            if (x + w > fit.width && !closing) {
                s.SetRecordCount(i);
                overflow = true;
                break;
            }
            if (top && r.GetKind() == lkBoundary) {
                auto* sizer = qsm::AsStaffSizer(s.ItemOf(r));
                if (sizer && sizer->IsNewSystem()) {
                    s.SetRecordCount(lastBar + 1);
                    fit.breakBar = bars;
                    fit.breakExtra = emptyBars;
                    overflow = true;
                    break;
                }
            }
        }
        if (r.IsCopy() && r.GetKind() != lkMultiRest)
            doneTime += r.Time;
        else
            barTime += r.Time;
        x += r.Width;
        if (r.IsBarBreak()) {
            if (barTime != 0) {
                ++bars;
                emptyBars = 0;
                doneTime += barTime;
                barTime = 0;
            } else {
                ++emptyBars;
            }
            if (bars > 0) {
                lastBar = i;
                auto* bar = qsm::AsBarLine(s.ItemOf(r));
                if (top && r.GetKind() == lkBarLine && bar && bar->GetSysBreak()) {
                    fit.breakBar = bars;
                    fit.breakExtra = emptyBars;
                }
                if (bars == fit.breakBar &&
                    (r.IsMultiBarRest() || (bar && !bar->GetComputedFlag()) || emptyBars >= fit.breakExtra)) {
                    s.SetRecordCount(i + 1);
                    overflow = true;
                    break;
                }
            }
        }
    }
    if (overflow) {
        if (bars == 0) doneTime = barTime != 0 ? doneTime + barTime : 0;
        if (doneTime > 0 && doneTime < fit.common) fit.common = doneTime;
    }
}

// Cuts staff si back to the common time and then to its last bar break, closes its last record and notes
// its width.
void TScoreDrawInfo::CutToCommonTime(int si, TSystemFit& fit) {
    TStaffDrawInfo& s = *Staves[si];
    if (s.GetRecordCount() == 0) return;
    int64_t t = 0;
    int n = s.GetRecordCount();
    int cut = n;
    for (int i = 0; i < n; ++i) {
        t += s.Record(i).Time;
        if (t > fit.common) {
            cut = i;
            break;
        }
    }
    if (cut > 0) s.SetRecordCount(cut);
    BackOffToBarBreak(s);
    CloseStaffEnd(s);
    int64_t& sum = fit.sums[static_cast<size_t>(si)];
    sum = s.GetFirstItemPosition() < 0 ? 0 : s.GetTotalWidth();
    fit.maxSum = std::max(fit.maxSum, sum);
}

// Backing off to a bar break must leave the staff some item of its own; otherwise it keeps the records cut
// at the common time, so that its music is not skipped.
void TScoreDrawInfo::BackOffToBarBreak(TStaffDrawInfo& s) {
    int count = s.GetRecordCount();
    int back = count - 1;
    while (back > 0 && !s.Record(back).IsBarBreak())
        --back;
    bool keepsItem = false;
    for (int i = 0; i <= back; ++i)
        if (s.Record(i).IsItemPosition()) keepsItem = true;
    if (back > 0 && keepsItem) {
        s.SetRecordCount(back + 1);
    } else if (back <= 0 && (keepsItem || count <= 1)) {
        bool anyItem = false;
        for (int i = 0; i < count; ++i)
            if (s.Record(i).IsItemPosition()) anyItem = true;
        if (!anyItem) s.SetRecordCount(1);
    }
}

// The staff's last record closes the system: an opening bar line there stands for the staff's last item,
// and a bar line or the rest of a multi-measure rest is measured again where it now ends.
void TScoreDrawInfo::CloseStaffEnd(TStaffDrawInfo& s) {
    TLayoutRecord& last = s.Record(s.GetRecordCount() - 1);
    if (last.GetKind() == lkBarLine) {
        auto* bar = qsm::AsBarLine(s.ItemOf(last));
        if (!last.IsCopy() && bar && bar->IsOpeningStyle() && s.GetStaff()) {
            last.SetCopy(true);
            last.ItemIndex = static_cast<uint16_t>(s.GetStaff()->GetLastIndex());
        }
        // What it draws, as the fitting measured it: a hidden bar line (a staff whose bar lines do not
        // show) also gives up the spacing room it held, which would carry its staff past the width.
        last.Width = s.GetFitWidth(last);
    } else if (last.GetKind() == lkMultiRestMore) {
        last.SetHidden(false);
        TNotatedItem* it = s.ItemOf(last);
        if (it) last.Width = it->Measure(s, last);
    }
}

// The width to fill: the widest staff's when the printer margin shows or at the end of the staves (unless
// the score extends its last system, which then only pads the narrower staves), else the system's.
void TScoreDrawInfo::ChooseFillWidth(TSystemFit& fit) {
    TStaffDrawInfo* top = GetStaffDrawInfo(0);
    if (ShowPrinterMargin) {
        fit.width = static_cast<int>(fit.maxSum);
    } else if (top && top->IsAtStaffEnd() &&
               top->GetLastItemIndex() == (top->GetStaff() ? top->GetStaff()->GetLastIndex() : -1)) {
        if (Score && Score->GetExtendLastSystem()) {
            fit.extendOnly = true;
        } else {
            fit.width = static_cast<int>(fit.maxSum);
        }
    }
}

// Puts every staff with an item back at its first record; whether any staff can stretch.
bool TScoreDrawInfo::RestartCursors(TSystemFit& fit) {
    bool any = false;
    fit.cursors.assign(static_cast<size_t>(StaffCount), TStretchCursor());
    for (int si = 0; si < StaffCount; ++si) {
        TStaffDrawInfo& s = *Staves[si];
        if (s.GetRecordCount() > 0 && s.GetFirstItemPosition() >= 0) {
            fit.cursors[static_cast<size_t>(si)].cursor = 0;
            any = true;
        }
    }
    return any;
}

namespace {
// A record the stretch widens at: a note, a multi-measure rest, or a bar line that closes notes.
bool IsStretchPoint(TStaffDrawInfo& s, int i) {
    const TLayoutRecord& r = s.Record(i);
    int k = r.GetKind();
    if (k == lkNote || k == lkMultiRest || k == lkMultiRestMore) return true;
    if (k != lkBarLine) return false;
    for (int j = i - 1; j >= 0; --j) {
        int pk = s.Record(j).GetKind();
        if (pk == lkNote || pk == lkMultiRest) return true;
        if (pk == lkMultiRestMore || pk == lkBarLine) return false;
    }
    return false;
}

}  // namespace

// Moves the cursor to the staff's next stretch point (at the start, past its first note); false when the
// staff has none left.
bool TScoreDrawInfo::AdvanceToStretchPoint(TStaffDrawInfo& s, TStretchCursor& k) {
    if (k.passed == 0 && !IsStretchPoint(s, k.cursor)) {
        while (k.cursor < s.GetRecordCount() && s.Record(k.cursor).GetKind() != lkNote &&
               s.Record(k.cursor).GetKind() != lkMultiRest) {
            k.t += s.Record(k.cursor).Time;
            ++k.cursor;
        }
        if (k.cursor < s.GetRecordCount()) {
            k.t += s.Record(k.cursor).Time;
            ++k.cursor;
            ++k.passed;
        }
    }
    while (k.cursor >= 0 && k.cursor < s.GetRecordCount() && !IsStretchPoint(s, k.cursor)) {
        k.t += s.Record(k.cursor).Time;
        ++k.cursor;
        ++k.passed;
    }
    if (k.cursor >= s.GetRecordCount()) {
        k.cursor = -1;
        return false;
    }
    return true;
}

// Moves every cursor to its next stretch point and finds the earliest time among them, and the first
// priority at that time; false when no staff has a stretch point left.
bool TScoreDrawInfo::NextStretchTime(TSystemFit& fit, int64_t& best, int& bestPriority) {
    best = kNoStretchTime;
    bestPriority = kNoPriority;
    bool anyCursor = false;
    for (int si = 0; si < StaffCount; ++si) {
        TStretchCursor& k = fit.cursors[static_cast<size_t>(si)];
        TStaffDrawInfo& s = *Staves[si];
        if (k.cursor < 0 || !AdvanceToStretchPoint(s, k)) continue;
        anyCursor = true;
        int pr = s.Record(k.cursor).GetPriority();
        if (k.t < best) {
            best = k.t;
            bestPriority = pr;
        } else if (k.t == best && pr < bestPriority) {
            bestPriority = pr;
        }
    }
    return anyCursor;
}

// Widens every staff by one unit before its cursor, and moves on the cursors that stand at the earliest
// time and priority.
void TScoreDrawInfo::WidenAtCursors(TSystemFit& fit, int64_t best, int bestPriority) {
    for (int si = 0; si < StaffCount; ++si) {
        TStretchCursor& k = fit.cursors[static_cast<size_t>(si)];
        TStaffDrawInfo& s = *Staves[si];
        if (k.cursor < 0) continue;
        int target = StretchTargetRecord(s, k.cursor, k.passed);
        s.Record(target).Width += 1;
        fit.sums[static_cast<size_t>(si)] += 1;
        if (fit.firstPass) fit.passTargets.emplace_back(si, target);
        fit.widenedSinceRestart = true;
        const TLayoutRecord& c = s.Record(k.cursor);
        if (k.t < best || (k.t == best && c.GetPriority() <= bestPriority)) {
            k.t += c.Time;
            ++k.cursor;
            ++k.passed;
            if (k.cursor >= s.GetRecordCount()) k.cursor = -1;
        }
    }
}

// Widens the staves together, a unit at a time at equal times, until the widest fills the width.
void TScoreDrawInfo::StretchToWidth(TSystemFit& fit) {
    bool canStretch = !fit.extendOnly && RestartCursors(fit);
    while (canStretch && fit.maxSum < fit.width) {
        int64_t best = 0;
        int bestPriority = 0;
        if (!NextStretchTime(fit, best, bestPriority)) {
            if (!fit.widenedSinceRestart || !RestartCursors(fit)) break;
            fit.widenedSinceRestart = false;
            SkipWholePasses(fit);
            continue;
        }
        WidenAtCursors(fit, best, bestPriority);
        for (int64_t v : fit.sums)
            fit.maxSum = std::max(fit.maxSum, v);
        if (fit.maxSum >= fit.width) break;
        bool any = false;
        for (const TStretchCursor& k : fit.cursors)
            if (k.cursor >= 0) any = true;
        // A step in which only staves narrower than the widest one widened goes on: their cursors reach
        // the widest staff's width in time, and the pass after them widens the widest staff again.
        if (!any) {
            if (!RestartCursors(fit)) break;
            fit.widenedSinceRestart = false;
            SkipWholePasses(fit);
        }
    }
}

// After the first pass of the cursors: every pass widens the same records, and a staff only grows within
// a pass, so as many whole passes as leave every staff short of the width are added at once; the pass that
// reaches the width is then stepped through as before.
void TScoreDrawInfo::SkipWholePasses(TSystemFit& fit) {
    if (!fit.firstPass) return;
    fit.firstPass = false;
    std::vector<int64_t> perPass(fit.sums.size(), 0);
    for (const auto& [si, target] : fit.passTargets)
        ++perPass[static_cast<size_t>(si)];
    int64_t passes = -1;
    for (size_t si = 0; si < perPass.size(); ++si) {
        if (perPass[si] == 0) continue;
        int64_t room = fit.width - 1 - fit.sums[si];
        int64_t n = room < 0 ? 0 : room / perPass[si];
        passes = passes < 0 ? n : std::min(passes, n);
    }
    if (passes <= 0) return;
    for (const auto& [si, target] : fit.passTargets)
        Staves[si]->Record(target).Width += static_cast<int32_t>(passes);
    for (size_t si = 0; si < perPass.size(); ++si) {
        fit.sums[si] += passes * perPass[si];
        fit.maxSum = std::max(fit.maxSum, fit.sums[si]);
    }
}

// Pads every staff with an item to the widest one, in its last record but one.
void TScoreDrawInfo::PadToWidest(TSystemFit& fit) {
    if (fit.extendOnly) fit.maxSum = std::max<int64_t>(fit.maxSum, fit.width);
    for (int si = 0; si < StaffCount; ++si) {
        TStaffDrawInfo& s = *Staves[si];
        if (s.GetRecordCount() < 1 || s.GetFirstItemPosition() < 0) continue;
        int64_t sum = s.GetTotalWidth();
        if (sum < fit.maxSum) {
            int idx = s.GetRecordCount() >= 2 ? s.GetRecordCount() - 2 : 0;
            s.Record(idx).Width += static_cast<int32_t>(fit.maxSum - sum);
        }
    }
}
