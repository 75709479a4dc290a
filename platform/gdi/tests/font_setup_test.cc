// The font system's set-up started on a thread of its own: fonts used at once wait for it and are the ones
// found without it.
#include <gtest/gtest.h>

#include <string>

#include "platform/gdi/font_setup.h"
#include "platform/gdi/gdi.h"

namespace {

std::string FaceOf(HDC dc, const char* name, int weight) {
    LOGFONTA lf{};
    lf.lfHeight = -12;
    lf.lfWeight = weight;
    CopyFaceName(lf.lfFaceName, name);
    HFONT f = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, f);
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, LF_FACESIZE, face);
    SIZE size{};
    GetTextExtentPoint32A(dc, "Ag", 2, &size);
    SelectObject(dc, old);
    DeleteObject(f);
    return std::string(face) + (size.cx > 0 ? "" : " (no extent)");
}

TEST(FontSetup, FontsUsedWhileItRunsWaitForIt) {
    qsm::gdi::StartFontSetup();
    qsm::gdi::StartFontSetup();  // one set-up per process
    // A private font file added at once, then faces matched: system faces and the private one.
    const std::string path = std::string(QSM_FONTS_DIR) + "/qsm2stda.ttf";
    EXPECT_EQ(AddFontResourceExA(path.c_str(), FR_PRIVATE, nullptr), 1);
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(FaceOf(dc, "liberation serif", FW_BOLD), "Liberation Serif");
    EXPECT_EQ(FaceOf(dc, "QSM2STDA", FW_NORMAL), "QSM2STDA");
    DeleteDC(dc);
    EXPECT_TRUE(RemoveFontResourceExA(path.c_str(), FR_PRIVATE, nullptr));
    qsm::gdi::StartFontSetup();  // after fonts were used: nothing to do
}

}  // namespace
