// Starting the font system's set-up early, so that it overlaps the rest of a program's start.
#pragma once

#include <string>
#include <vector>

namespace qsm::gdi {

// A face the program is expected to ask for: its name, bold (FW_SEMIBOLD or more) and italic.
struct FaceRequest {
    std::string face;
    bool bold = false;
    bool italic = false;
};

// Starts reading the system's font configuration on a thread of its own. The thread then gives the font files
// to the face matching ahead of the program's own AddFontResourceExA for them, and matches the faces, so that
// the program finds them matched. Fonts are found as without the set-up: a face asked for before the program
// added all those files itself is matched without them, and one it never asks for costs only the thread's
// time. The first use of fonts (matching a face, adding or removing a private font file) waits for the thread
// to finish. Calling it again, or after fonts were used, does nothing; without a call, the first use of fonts
// does the set-up itself. The faces matched in the set-up's set of fonts are kept in the user's cache folder:
// a later start whose fontconfig would read and see just what this one's did, with the same files given
// ahead, takes its matches from there, and sets fontconfig up only when a face they lack is asked for or the
// set of fonts changes.
void StartFontSetup(std::vector<std::string> fontFiles = {}, std::vector<FaceRequest> faces = {});

}  // namespace qsm::gdi
