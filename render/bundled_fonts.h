// The music fonts that ship with the program, registered as private fonts of the process.
#pragma once

#include <string>
#include <vector>

namespace qsm {

// The bundled font files that RegisterBundledFonts adds, found in the first of its folders that has them.
std::vector<std::string> BundledFontFiles();

// Adds the bundled music fonts once per process. They are looked up in $QSM_FONTS_DIR, then in the Fonts
// folder beside the program, then in the source tree's fonts folder. Safe to call often.
void RegisterBundledFonts();

}  // namespace qsm
