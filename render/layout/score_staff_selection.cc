// The score's helpers that fill a layout with a chosen set of its staves.
#include <cstring>

#include "render/layout/score_draw_info.h"
#include "score/music_score.h"
#include "score/music_staff.h"

namespace {

template <class Chosen>
bool AddChosenStaves(const TMusicScore& score, TScoreDrawInfo& layout, int maxHeight, Chosen chosen) {
    layout.RemoveAllStaves();
    bool added = false;
    for (int i = 0; i < score.GetStaffCount(); ++i) {
        if (layout.IsFull() || layout.GetSystemHeight() > maxHeight) break;
        if (!chosen(i)) continue;
        layout.AddStaff(i);
        added = true;
    }
    return added;
}

}  // namespace

bool TMusicScore::AddSelectedStavesToLayout(TScoreDrawInfo& layout, const TQSBoolArray& bits,
                                            int maxHeight) const {
    return AddChosenStaves(*this, layout, maxHeight, [&](int i) { return bits.Get(i) != 0; });
}

bool TMusicScore::AddStavesOfGroupToLayout(TScoreDrawInfo& layout, const char* group, int maxHeight) const {
    if (!group) group = "";
    return AddChosenStaves(*this, layout, maxHeight,
                           [&](int i) { return std::strcmp(GetStaff(i)->GetGroup(), group) == 0; });
}
