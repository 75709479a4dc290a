// The placements the layout makes on purpose although their marks meet: the short list that
// docs/notation/notes.md keeps, each entry with its reason and a picture. The collision test fails on any
// overlap that is not on it.
#pragma once

#include <string>

#include "render/layout/tests/ink_check.h"

class TMusicScore;

namespace qsm::ink {

// The name of the list entry the overlap falls under, or empty; oneBar as below.
std::string AllowedOverlap(const Overlap& overlap, TMusicScore& score, bool oneBar);
// The name of the list entry that lets the mark run past the printable width, or empty. oneBar tells that
// the system holds a single bar with notes (or none), which the layout keeps whole whatever its width.
std::string AllowedPastRight(const Ink& ink, TMusicScore& score, bool oneBar);

}  // namespace qsm::ink
