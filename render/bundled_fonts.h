// The music fonts that ship with the program, registered as private fonts of the process.
#pragma once

namespace qsm {

// Adds the bundled music fonts once per process. They are looked up in $QSM_FONTS_DIR, then in the Fonts
// folder beside the program, then in the source tree's fonts folder. Safe to call often.
void RegisterBundledFonts();

}  // namespace qsm
