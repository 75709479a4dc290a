#include "render/layout/tests/ink_allowed.h"

#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/notated_item.h"

namespace qsm::ink {
namespace {

// The type of the item that drew the mark, -1 for marks of no item (lyrics, staff lines ...).
int ItemType(const Ink& ink, TMusicScore& score) {
    if (ink.tag != "item") return -1;
    TMusicStaff* staff = score.GetStaff(ink.staff);
    const TNotatedItem* item = staff ? staff->GetItem(ink.item) : nullptr;
    return item ? item->GetType() : -1;
}

bool Either(const Overlap& o, bool (*test)(const Ink&)) {
    return test(*o.a) || test(*o.b);
}

}  // namespace

// Each entry is one placement of docs/notation/notes.md ("Placements the check lets stand").
std::string AllowedOverlap(const Overlap& o, TMusicScore& score, bool oneBar) {
    const int ta = ItemType(*o.a, score), tb = ItemType(*o.b, score);
    auto has = [&](int type) { return ta == type || tb == type; };
    // A bar wider than the page, squeezed to its drawn width, cannot keep its syllables apart.
    if (oneBar && std::string(o.rule) == "syllables") return "bar wider than the page";
    // A hairpin stands at the height of the dynamic before it, whatever the notes under it reach.
    if (Either(o, [](const Ink& i) { return i.kind == Kind::Hairpin; })) return "hairpin at its dynamic";
    // The repeat count of a closing repeat stands over its bar line, where an ending's label or the next
    // bar's repeat count may stand too.
    if (std::string(o.rule) == "text/text" && has(ntBarLine) && (has(ntSpecialEnding) || ta == tb))
        return "repeat count over the bar line";
    // Syllables stand on their staff's lyric line; stems, heads and dynamics that reach down to it meet them.
    if (std::string(o.rule) != "syllables" && Either(o, [](const Ink& i) { return i.kind == Kind::Lyric; }))
        return "lyrics on the lyric line";
    // The tempo mark of an imported file stands ten steps above the first staff's middle line.
    if (has(ntTempo) && o.a->staff == 0 && o.b->staff == 0 && score.GetStaff(0) &&
        score.GetStaff(0)->GetItem(o.a->item) && score.GetStaff(0)->GetItem(o.a->item)->GetStaffPos() == -10)
        return "imported tempo mark";
    if (has(ntTempo) && o.a->staff == 0 && o.b->staff == 0 && score.GetStaff(0) &&
        score.GetStaff(0)->GetItem(o.b->item) && score.GetStaff(0)->GetItem(o.b->item)->GetStaffPos() == -10)
        return "imported tempo mark";
    // Expressions stand at their own position and justification: a score that puts several at one point
    // gets them on one another.
    if (std::string(o.rule) == "text/text" && ta >= ntTempo && tb >= ntTempo && ta != ntBarLine &&
        o.a->staff == o.b->staff && o.a->bounds.top < o.b->bounds.bottom &&
        o.b->bounds.top < o.a->bounds.bottom)
        return "expressions at one point";
    return {};
}

std::string AllowedPastRight(const Ink& ink, TMusicScore& score, bool oneBar) {
    // A system holds at least one bar: a bar that is wider than the page even when squeezed runs past it.
    if (oneBar) return "bar wider than the page";
    // The repeat count of the system's closing bar line is centred over it.
    if (ink.kind == Kind::Text && ItemType(ink, score) == ntBarLine) return "repeat count over the bar line";
    return {};
}

}  // namespace qsm::ink
