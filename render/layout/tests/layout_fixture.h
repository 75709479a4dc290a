#pragma once
// Test fixture of the layout tests: a drawing context with fixed metrics, so that the expected numbers do
// not depend on the font, optionally drawing into a recording DC.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/gdi/gdi_surface.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

namespace qsm::test {

inline std::unique_ptr<TMusicScore> ImportText(const std::string& text) {
    return qsm::ImportTextScoreText(text);
}

class FixedMetricsTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::InstallScoreHooks();
        qsm::SetFixedMetrics(&metrics);
        fonts = std::make_unique<TMusicFonts>(10, &data, &palette);
        qsm::ApplyFixedMetrics(*fonts);
    }
    void TearDown() override {
        if (dc) {
            fonts->DetachDC();
            DeleteDC(dc);
            dc = nullptr;
        }
        fonts.reset();
        qsm::SetFixedMetrics(nullptr);
    }
    // Attaches a recording DC with an empty log.
    void Record() {
        dc = qsm::gdi::CreateRecordingDC(96, 4000, 4000);
        fonts->AttachDC(dc, dc);
        qsm::gdi::ClearRecords(dc);
    }
    // A layout of every staff of the score.
    std::unique_ptr<TScoreDrawInfo> System(TMusicScore& score, int mode = 3) {
        auto s = std::make_unique<TScoreDrawInfo>(&score, fonts.get(), 5, mode);
        for (int i = 0; i < score.GetStaffCount(); ++i)
            s->AddStaff(i);
        return s;
    }

    qsm::TFixedMetrics metrics;
    TMusicFontsData data;
    TColorPalette palette;
    std::unique_ptr<TMusicFonts> fonts;
    HDC dc = nullptr;
};

}  // namespace qsm::test
