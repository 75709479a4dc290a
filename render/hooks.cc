#include "render/hooks.h"

#include "render/layout/item_painter.h"
#include "score/format/format.h"

namespace qsm {

void InstallScoreHooks() {
    // Once: a later call writes nothing, so that it may come while a score is read on another thread.
    static const bool installed = [] {
        InstallStaffFormatting();
        InstallNotationDrawing();
        return true;
    }();
    (void)installed;
}

}  // namespace qsm
