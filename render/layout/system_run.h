// Laying a whole score out system after system at a given width, as printing does, and rendering the
// systems one below the other into a PNG file.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TScoreDrawInfo;
class TMusicScore;

namespace qsm {

// Fits systems of the width from the score's start until the top staff reaches its end (at most
// maxSystems); visit is called with each fitted system and its number and may stop the run by returning
// false. Returns the number of systems.
int LayoutSystems(TScoreDrawInfo& system, int width, int maxSystems,
                  const std::function<bool(TScoreDrawInfo&, int)>& visit);

// Renders every staff of the score in systems of the width (mode 3, page layout) with the staff space in
// pixels; true when the file was written.
bool RenderScorePng(TMusicScore& score, const std::string& path, int width, int staffSpace, int maxSystems);

}  // namespace qsm
