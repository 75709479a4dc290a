// System runs over a whole score and the PNG rendering of a score.
#include "render/layout/system_run.h"

#include <algorithm>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "render/layout/item_painter.h"
#include "render/layout/score_draw_info.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "score/music_staff.h"

namespace qsm {

int LayoutSystems(TScoreDrawInfo& system, int width, int maxSystems,
                  const std::function<bool(TScoreDrawInfo&, int)>& visit, int formatWidth) {
    int n = system.GetStaffCount();
    if (n == 0) return 0;
    std::vector<TStaffStartPosition> starts(static_cast<size_t>(n)), next(static_cast<size_t>(n));
    int count = 0;
    while (count < maxSystems) {
        system.FormatStavesFrom(starts.data(), formatWidth > 0 ? formatWidth : width);
        system.FitSystem(width);
        ++count;
        if (visit && !visit(system, count - 1)) break;
        TStaffDrawInfo* top = system.GetStaffDrawInfo(0);
        if (!top || top->IsAtStaffEnd()) break;
        system.GetStartPositions(next.data());
        // A run that does not move on would never end.
        if (next == starts) break;
        starts = next;
    }
    return count;
}

ScorePage::ScorePage(TMusicScore& score, int width, int staffSpace)
    : fonts(staffSpace, score.GetFontData() ? score.GetFontData() : &defaultFonts, &palette),
      system(&score, &fonts, 5, 3) {
    for (int i = 0; i < score.GetStaffCount(); ++i)
        system.AddStaff(i);
    margin = 2 * fonts.StaffSpace;
    label = system.GetLabelWidth(true, true);
    left = margin + label + system.GetBracketWidth();
    usable = width - left - margin;
}

bool RenderScorePng(TMusicScore& score, const std::string& path, int width, int staffSpace, int maxSystems) {
    ScorePage run(score, width, staffSpace);
    TScoreDrawInfo& system = run.system;
    TMusicFonts& fonts = run.fonts;
    const int margin = run.margin, label = run.label, left = run.left, usable = run.usable;
    if (usable < 10 * fonts.StaffSpace) return false;
    // First pass: the heights of the systems.
    std::vector<int> heights;
    LayoutSystems(system, usable, maxSystems, [&](TScoreDrawInfo& s, int) {
        heights.push_back(s.GetSystemHeight());
        return true;
    });
    int gap = 3 * fonts.StaffSpace;
    int total = 2 * margin;
    for (int h : heights)
        total += h + gap;
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, width, total);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    RECT all{0, 0, width, total};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    fonts.AttachDC(dc, dc);
    int y = margin;
    LayoutSystems(system, usable, maxSystems, [&](TScoreDrawInfo& s, int index) {
        TDrawExtent extent;
        extent.Init(usable);
        extent.Right = 0x7fffffff;
        s.DrawSystem(extent, left, y, -1);
        if (index == 0) s.DrawStaffLabels(margin, y, label);
        y += s.GetSystemHeight() + gap;
        return true;
    });
    fonts.DetachDC();
    bool ok = qsm::gdi::WritePng(dc, path.c_str());
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    DeleteDC(screen);
    return ok;
}

}  // namespace qsm
