// How the font system answers a face name: with the face itself (installed on the system, or from a font file
// the program added for itself), with a metric-compatible face that the system's font configuration puts in
// its place (Liberation Serif for Times New Roman, say), or with no face of that name at all.
#pragma once

#include <string>

namespace qsm::gdi {

struct FaceLookup {
    enum Kind { Missing, Installed, Private, StandIn };
    Kind kind = Missing;
    // The face text is drawn with: the face itself, or the one standing in for it (empty when missing).
    std::string family;
};

// A face stands in when fontconfig binds it to the asked-for family as strongly as that family itself (its
// metric aliases), not as a mere fallback. The answer is kept with the program's other face matches.
FaceLookup LookUpFace(const char* face);

}  // namespace qsm::gdi
