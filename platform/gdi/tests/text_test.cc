#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"

namespace {

HFONT MakeFont(const char* face, int height, int weight = FW_NORMAL, BYTE charset = ANSI_CHARSET) {
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = charset;
    CopyFaceName(lf.lfFaceName, face);
    return CreateFontIndirectA(&lf);
}

int Width(HDC dc, const char* s) {
    SIZE sz{};
    GetTextExtentPointA(dc, s, static_cast<int>(std::strlen(s)), &sz);
    return sz.cx;
}

TEST(GdiText, ExtentsAreSumsOfWholePixelAdvances) {
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HFONT f = MakeFont("Times New Roman", -20);
    HGDIOBJ old = SelectObject(dc, f);
    char face[LF_FACESIZE] = {};
    ASSERT_GT(GetTextFaceA(dc, LF_FACESIZE, face), 0);
    EXPECT_STRNE(face, "");
    // No kerning: "AV" is exactly "A" plus "V".
    EXPECT_EQ(Width(dc, "AV"), Width(dc, "A") + Width(dc, "V"));
    EXPECT_EQ(Width(dc, ""), 0);
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_GE(tm.tmHeight, 20);
    SIZE sz;
    GetTextExtentPointA(dc, "x", 1, &sz);
    EXPECT_EQ(sz.cy, tm.tmHeight);
    // Widths are measured at each size, not scaled.
    HFONT big = MakeFont("Times New Roman", -200);
    SelectObject(dc, big);
    EXPECT_EQ(Width(dc, "mmmm"), 4 * Width(dc, "m"));
    EXPECT_NEAR(Width(dc, "m"), 156, 1);  // 0.778 em
    SelectObject(dc, f);
    EXPECT_EQ(Width(dc, "m"), 16);  // 15.56 rounded at the pixel size
    // A positive height is the cell height.
    HFONT cell = MakeFont("Times New Roman", 20);
    SelectObject(dc, cell);
    GetTextMetricsA(dc, &tm);
    EXPECT_EQ(tm.tmHeight, 20);
    SelectObject(dc, old);
    DeleteObject(f);
    DeleteObject(big);
    DeleteObject(cell);
    DeleteDC(dc);
}

TEST(GdiText, CharsetDecodesBytes) {
    HDC dc = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HFONT f = MakeFont("Liberation Sans", -30);
    HGDIOBJ old = SelectObject(dc, f);
    // 0x80 is the euro sign in code page 1252; in 1251 it is a Cyrillic letter.
    SIZE a, w;
    GetTextExtentPointA(dc, "\x80", 1, &a);
    const char16_t euro[] = u"\u20AC";
    GetTextExtentPoint32W(dc, euro, 1, &w);
    EXPECT_EQ(a.cx, w.cx);
    HFONT cyr = MakeFont("Liberation Sans", -30, FW_NORMAL, RUSSIAN_CHARSET);
    SelectObject(dc, cyr);
    const char16_t dje[] = u"\u0402";
    GetTextExtentPointA(dc, "\x80", 1, &a);
    GetTextExtentPoint32W(dc, dje, 1, &w);
    EXPECT_EQ(a.cx, w.cx);
    EXPECT_EQ(lstrlenW(euro), 1);
    SelectObject(dc, old);
    DeleteObject(f);
    DeleteObject(cyr);
    DeleteDC(dc);
}

TEST(GdiText, FaceMatchingReportsTheFaceFound) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT missing = MakeFont("No Such Face Anywhere", -10, FW_NORMAL, SYMBOL_CHARSET);
    HGDIOBJ old = SelectObject(dc, missing);
    char face[LF_FACESIZE];
    GetTextFaceA(dc, LF_FACESIZE, face);
    EXPECT_STRCASENE(face, "No Such Face Anywhere");
    HFONT serif = MakeFont("liberation serif", -10);
    SelectObject(dc, serif);
    GetTextFaceA(dc, LF_FACESIZE, face);
    EXPECT_STRCASEEQ(face, "Liberation Serif");
    char tiny[4];
    EXPECT_EQ(GetTextFaceA(dc, 4, tiny), 3);
    EXPECT_EQ(std::strlen(tiny), 3u);
    SelectObject(dc, old);
    DeleteObject(missing);
    DeleteObject(serif);
    DeleteDC(dc);
    EXPECT_EQ(AddFontResourceExA("/nonexistent/font.ttf", FR_PRIVATE, nullptr), 0);
    EXPECT_FALSE(RemoveFontResourceExA("/nonexistent/font.ttf", FR_PRIVATE, nullptr));
}

// Rows of the bitmap that hold ink, top and bottom.
void InkRows(HDC dc, int w, int h, int* top, int* bottom) {
    *top = -1;
    *bottom = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (GetPixel(dc, x, y) != RGB(255, 255, 255)) {
                if (*top < 0) *top = y;
                *bottom = y;
                break;
            }
}

// Bounds of the pixels that are not white.
RECT InkBox(HDC dc, int w, int h) {
    RECT r{w, h, -1, -1};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (GetPixel(dc, x, y) != RGB(255, 255, 255)) {
                r.left = std::min<LONG>(r.left, x);
                r.top = std::min<LONG>(r.top, y);
                r.right = std::max<LONG>(r.right, x + 1);
                r.bottom = std::max<LONG>(r.bottom, y + 1);
            }
    return r;
}

TEST(GdiText, ColourAndSynthesisedStyles) {
    const std::string path = std::string(QSM_FONTS_DIR) + "/qsm2stda.ttf";
    ASSERT_EQ(AddFontResourceExA(path.c_str(), FR_PRIVATE, nullptr), 1);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(120, 120, 1, 32, nullptr);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_BASELINE);
    // The music font has one face only: bold and italic are made from it, under its own name.
    auto draw = [&](int weight, BYTE italic, COLORREF colour) {
        LOGFONTA lf{};
        lf.lfHeight = -100;
        lf.lfWeight = weight;
        lf.lfItalic = italic;
        lf.lfCharSet = SYMBOL_CHARSET;
        CopyFaceName(lf.lfFaceName, "QSM2STDA");
        HFONT f = CreateFontIndirectA(&lf);
        HGDIOBJ old = SelectObject(dc, f);
        char face[LF_FACESIZE];
        GetTextFaceA(dc, LF_FACESIZE, face);
        EXPECT_STREQ(face, "QSM2STDA");
        PatBlt(dc, 0, 0, 120, 120, WHITENESS);
        SetTextColor(dc, colour);
        TextOutA(dc, 20, 80, "\x64", 1);  // the sharp: upright strokes
        SelectObject(dc, old);
        DeleteObject(f);
        return InkBox(dc, 120, 120);
    };
    RECT plain = draw(FW_NORMAL, 0, RGB(255, 0, 0));
    // Text colour: the strokes are drawn in it.
    bool red = false;
    for (int y = plain.top; y < plain.bottom && !red; ++y)
        for (int x = plain.left; x < plain.right && !red; ++x)
            red = GetPixel(dc, x, y) == RGB(255, 0, 0);
    EXPECT_TRUE(red);
    RECT bold = draw(FW_BOLD, 0, RGB(0, 0, 0));
    EXPECT_GT(bold.right - bold.left, plain.right - plain.left);
    RECT italic = draw(FW_NORMAL, 1, RGB(0, 0, 0));
    EXPECT_GT(italic.right - italic.left, plain.right - plain.left + 5);  // slanted to the right
    EXPECT_EQ(italic.bottom, plain.bottom);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    RemoveFontResourceExA(path.c_str(), FR_PRIVATE, nullptr);
}

TEST(GdiText, AlignmentPlacesTheCell) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(200, 100, 1, 32, nullptr);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    HFONT f = MakeFont("Liberation Sans", -40);
    HGDIOBJ oldFont = SelectObject(dc, f);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    SetBkMode(dc, TRANSPARENT);
    auto draw = [&](UINT align, int x, int y, const char* s) {
        PatBlt(dc, 0, 0, 200, 100, WHITENESS);
        SetTextAlign(dc, align);
        TextOutA(dc, x, y, s, static_cast<int>(std::strlen(s)));
    };
    int top, bottom;
    draw(TA_BASELINE, 10, 60, "x");
    InkRows(dc, 200, 100, &top, &bottom);
    EXPECT_NEAR(bottom, 59, 1);  // sits on the baseline
    draw(TA_TOP, 10, 20, "x");
    int topAligned;
    InkRows(dc, 200, 100, &topAligned, &bottom);
    EXPECT_NEAR(bottom, 20 + tm.tmAscent - 1, 1);
    draw(TA_BOTTOM, 10, 80, "x");
    InkRows(dc, 200, 100, &top, &bottom);
    EXPECT_NEAR(bottom, 80 - tm.tmDescent - 1, 1);
    // Centred text: ink on both sides of x.
    draw(TA_CENTER | TA_BASELINE, 100, 60, "HHHH");
    EXPECT_NE(GetPixel(dc, 100 - Width(dc, "HHHH") / 2 + 4, 45), RGB(255, 255, 255));
    // An opaque background fills the cell.
    PatBlt(dc, 0, 0, 200, 100, WHITENESS);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(0, 255, 0));
    SetTextAlign(dc, TA_TOP);
    TextOutA(dc, 10, 10, "x", 1);
    EXPECT_EQ(GetPixel(dc, 11, 11), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dc, 11, 9), RGB(255, 255, 255));
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBmp);
    DeleteObject(f);
    DeleteObject(bmp);
    DeleteDC(dc);
}

}  // namespace

namespace {

TEST(GdiText, PrivateFontFilesComeAndGo) {
    const std::string path = std::string(QSM_FONTS_DIR) + "/qsm2stda.ttf";
    HDC dc = CreateCompatibleDC(nullptr);
    char face[LF_FACESIZE];
    auto faceOf = [&](const char* name) {
        HFONT f = MakeFont(name, -40, FW_NORMAL, SYMBOL_CHARSET);
        HGDIOBJ old = SelectObject(dc, f);
        GetTextFaceA(dc, LF_FACESIZE, face);
        SelectObject(dc, old);
        DeleteObject(f);
        return std::string(face);
    };
    EXPECT_NE(faceOf("QSM2STDA"), "QSM2STDA");
    EXPECT_EQ(AddFontResourceExA(path.c_str(), FR_PRIVATE, nullptr), 1);
    EXPECT_EQ(AddFontResourceExA(path.c_str(), FR_PRIVATE, nullptr), 1);
    EXPECT_EQ(faceOf("qsm2stda"), "QSM2STDA");
    // Symbol fonts take bytes as U+F000 plus the byte; the font maps both forms.
    HFONT music = MakeFont("QSM2STDA", -40, FW_NORMAL, SYMBOL_CHARSET);
    HGDIOBJ old = SelectObject(dc, music);
    SIZE a, w;
    GetTextExtentPointA(dc, "\x6B", 1, &a);
    const WCHAR head[] = u"\uF06B";
    GetTextExtentPoint32W(dc, head, 1, &w);
    EXPECT_GT(a.cx, 0);
    EXPECT_EQ(a.cx, w.cx);
    SIZE flag, wflag;
    GetTextExtentPointA(dc, "\x87", 1, &flag);  // never through code page 1252
    const WCHAR down[] = u"\uF087";
    GetTextExtentPoint32W(dc, down, 1, &wflag);
    EXPECT_GT(flag.cx, 0);
    EXPECT_EQ(flag.cx, wflag.cx);
    EXPECT_TRUE(RemoveFontResourceExA(path.c_str(), FR_PRIVATE, nullptr));
    EXPECT_EQ(faceOf("QSM2STDA"), "QSM2STDA");  // added twice, removed once
    EXPECT_TRUE(RemoveFontResourceExA(path.c_str(), FR_PRIVATE, nullptr));
    EXPECT_NE(faceOf("QSM2STDA"), "QSM2STDA");
    EXPECT_FALSE(RemoveFontResourceExA(path.c_str(), FR_PRIVATE, nullptr));
    // A font made while the file was there keeps measuring.
    GetTextExtentPointA(dc, "\x6B", 1, &w);
    EXPECT_EQ(w.cx, a.cx);
    SelectObject(dc, old);
    DeleteObject(music);
    DeleteDC(dc);
}

}  // namespace
