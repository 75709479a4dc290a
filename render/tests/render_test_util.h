// A drawing context at a chosen staff space attached to a recording DC, for exact tests of what is drawn.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi_surface.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"

namespace qsm::testing {

class RecordingContext {
public:
    explicit RecordingContext(int staffSpace, int originY = 200) : fonts(staffSpace, &data, &palette) {
        dc = qsm::gdi::CreateRecordingDC(96, 2000, 2000);
        fonts.AttachDC(dc, dc);
        fonts.OriginY = originY;
        qsm::gdi::ClearRecords(dc);
    }
    ~RecordingContext() {
        fonts.DetachDC();
        DeleteDC(dc);
    }
    // The calls logged since the last Clear with the given name.
    std::vector<qsm::gdi::GdiRecord> Calls(const std::string& op) const {
        std::vector<qsm::gdi::GdiRecord> out;
        for (const auto& r : qsm::gdi::GetRecords(dc))
            if (r.op == op) out.push_back(r);
        return out;
    }
    const std::vector<qsm::gdi::GdiRecord>& All() const { return qsm::gdi::GetRecords(dc); }
    void Clear() { qsm::gdi::ClearRecords(dc); }
    int U() const { return fonts.StaffSpace; }

    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts fonts;
    HDC dc;
};

}  // namespace qsm::testing
