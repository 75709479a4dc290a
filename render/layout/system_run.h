// Laying a whole score out system after system at a given width, as printing does, and rendering the
// systems one below the other into a PNG file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "render/layout/score_draw_info.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"

class TMusicScore;

namespace qsm {

// Fits systems of the width from the score's start until the top staff reaches its end (at most
// maxSystems); visit is called with each fitted system and its number and may stop the run by returning
// false. Each system is formatted for formatWidth (0: the width) before it is fitted into the width.
// Returns the number of systems.
int LayoutSystems(TScoreDrawInfo& system, int width, int maxSystems,
                  const std::function<bool(TScoreDrawInfo&, int)>& visit, int formatWidth = 0);

// Every staff of a score in one page-layout system at a staff space in pixels, on a page of the width with
// margins of two staff spaces: the labels stand at the margin and the notes from left over usable pixels.
struct ScorePage {
    ScorePage(TMusicScore& score, int width, int staffSpace);
    ScorePage(const ScorePage&) = delete;
    ScorePage& operator=(const ScorePage&) = delete;

    TColorPalette palette;
    TMusicFontsData defaultFonts;
    TMusicFonts fonts;
    TScoreDrawInfo system;
    int margin;
    int label;
    int left;
    int usable;
};

// Renders every staff of the score in systems of the width (mode 3, page layout) with the staff space in
// pixels; true when the file was written.
bool RenderScorePng(TMusicScore& score, const std::string& path, int width, int staffSpace, int maxSystems);

}  // namespace qsm
