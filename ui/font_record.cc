// Font records as font descriptions, font availability, and fonts that fit a width.
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/font_record.h"
#include "platform/gdi/gdi.h"
#include "ui/ui_util.h"

void TQSFontSpec::ToLogFont(LOGFONTA* out, int pixelsPerInch) const {
    *out = LOGFONTA{};
    static_assert(sizeof(out->lfFaceName) >= sizeof(FaceName));
    std::memcpy(out->lfFaceName, FaceName, sizeof(FaceName));
    out->lfFaceName[sizeof(FaceName) - 1] = 0;
    out->lfWeight = IsBold() ? FW_BOLD : FW_NORMAL;
    out->lfItalic = IsItalic() ? 1 : 0;
    out->lfCharSet = CharSet;
    out->lfHeight = std::min(-MulDiv(pixelsPerInch, PointSize, 72), -2);
}

void TQSFontSpec::FromLogFont(const LOGFONTA& font, int32_t points) {
    char face[sizeof(font.lfFaceName) + 1] = {};
    std::memcpy(face, font.lfFaceName, sizeof(font.lfFaceName));
    SetFaceName(face);
    Style = 0;
    SetBold(font.lfWeight > 699);
    SetItalic(font.lfItalic != 0);
    CharSet = font.lfCharSet;
    PointSize = points;
}

void TQSFontSpec::FromLogFontForDC(HDC dc, const LOGFONTA& font) {
    int points = MulDiv(std::abs(static_cast<int>(font.lfHeight)), 72, GetDeviceCaps(dc, LOGPIXELSY));
    FromLogFont(font, std::max(points, 2));
}

bool TQSFontSpec::IsAvailable() const {
    LOGFONTA lf;
    ToLogFont(&lf, 72);
    HFONT font = CreateFontIndirectA(&lf);
    if (!font) return false;
    HDC screen = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    char face[LF_FACESIZE + 1] = {};
    int n = GetTextFaceA(screen, LF_FACESIZE, face);
    SelectObject(screen, old);
    DeleteDC(screen);
    DeleteObject(font);
    // The font engine names the face it matched; a substitute has another name.
    return n > 0 && strcasecmp(face, FaceName) == 0;
}

bool IsFontFaceAvailable(const char* face, BYTE charSet) {
    return TQSFontSpec(face, 0, 12, charSet).IsAvailable();
}

UINT PointsToPixels(HDC dc, UINT points) {
    return points * static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSY)) / 72u;
}

bool TextFitsWidth(HDC dc, HFONT font, const char* text, int width) {
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPointA(dc, text, static_cast<int>(std::strlen(text)), &size);
    SelectObject(dc, old);
    return size.cx < width;
}

HFONT MakeFittingFont(HDC dc, LOGFONTA& font, const char* text, int width) {
    for (;;) {
        HFONT made = CreateFontIndirectA(&font);
        if (!made || TextFitsWidth(dc, made, text, width) || std::abs(static_cast<int>(font.lfHeight)) < 5)
            return made;
        font.lfHeight = font.lfHeight * 3 / 4;
        DeleteObject(made);
    }
}
