// Lays out and draws a score as the viewer shows it, into a recording DC with fixed metrics: the continuous
// system from a few time positions (drawing modes 1 and 0) and page systems (mode 3). Shared by the fuzz
// targets that follow a file from its bytes to the screen.
#pragma once

#include "platform/gdi/gdi_surface.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/system_run.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"

namespace qsm::fuzz {

inline void LayOutAndDraw(TMusicScore* score, int maxSystems) {
    qsm::InstallScoreHooks();
    qsm::TFixedMetrics metrics;
    qsm::SetFixedMetrics(&metrics);
    {
        TMusicFontsData fontData;
        TColorPalette palette;
        TMusicFonts fonts(8, &fontData, &palette);
        qsm::ApplyFixedMetrics(fonts);
        HDC dc = qsm::gdi::CreateRecordingDC(96, 2000, 2000);
        fonts.AttachDC(dc, dc);
        TDrawExtent extent;
        extent.Init(800);
        for (int mode : {1, 0}) {
            TScoreDrawInfo view(score, &fonts, 5, mode);
            for (int i = 0; i < score->GetStaffCount() && i < 64; ++i)
                view.AddStaff(i);
            for (int time : {0, 768, 100000}) {
                view.FormatAllFromTime(time, 800);
                view.PrepareAlignment();
                view.DrawSystem(extent, 0, 0, 0);
                qsm::gdi::ClearRecords(dc);
            }
        }
        TScoreDrawInfo pages(score, &fonts, 5, 3);
        for (int i = 0; i < score->GetStaffCount() && i < 64; ++i)
            pages.AddStaff(i);
        qsm::LayoutSystems(pages, 700, maxSystems, [&](TScoreDrawInfo& s, int) {
            s.DrawSystem(extent, 0, 0, -1);
            s.DrawStaffLabels(0, 0, 100);
            qsm::gdi::ClearRecords(dc);
            return true;
        });
        fonts.DetachDC();
        DeleteDC(dc);
    }
    qsm::SetFixedMetrics(nullptr);
}

}  // namespace qsm::fuzz
