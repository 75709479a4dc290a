// The process-wide hooks through which the score model reaches the code above it: the staff formatting
// passes that reformat a staff after an edit, and the notation drawing that measures and draws the items.
// Every program, and every test program, installs them once at its start, before it loads, lays out or
// draws a score; an item measured before that is reported by a debug check (see qsm::ReportMissingHook).
#pragma once

namespace qsm {

// Installs the staff formatting passes and the notation drawing. Calling it again does nothing new.
void InstallScoreHooks();

}  // namespace qsm
