// Starting the font system's set-up early, so that it overlaps the rest of a program's start.
#pragma once

namespace qsm::gdi {

// Starts reading the system's font configuration on a thread of its own; the first use of fonts (matching a
// face, adding a private font file) waits for it to finish. Calling it again, or after fonts were used, does
// nothing. Without a call, the first use of fonts does the set-up itself.
void StartFontSetup();

}  // namespace qsm::gdi
