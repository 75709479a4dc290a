#include "render/hooks.h"

#include "render/layout/item_painter.h"
#include "score/format/format.h"

namespace qsm {

void InstallScoreHooks() {
    InstallStaffFormatting();
    InstallNotationDrawing();
}

}  // namespace qsm
