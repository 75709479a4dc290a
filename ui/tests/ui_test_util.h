// Helpers of the drawing tests of the user-interface library: memory bitmaps read back as maps of
// characters, one character per pixel, with known system colours.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"

namespace qsm::uitest {

// Colours of the tests, each with its map character. The system colours are set to distinct values so
// that a swapped colour shows.
struct Key {
    char ch;
    COLORREF colour;
};
constexpr COLORREF kFace = RGB(192, 192, 192);        // 'B' COLOR_BTNFACE
constexpr COLORREF kFrame = RGB(0, 0, 0);             // 'F' COLOR_WINDOWFRAME (and black)
constexpr COLORREF kHilite = RGB(255, 255, 255);      // 'H' COLOR_BTNHIGHLIGHT (and white)
constexpr COLORREF kShadow = RGB(128, 128, 128);      // 'S' COLOR_BTNSHADOW
constexpr COLORREF kHiliteText = RGB(240, 240, 255);  // 'T' COLOR_HIGHLIGHTTEXT
constexpr COLORREF kWindow = RGB(255, 255, 224);      // 'W' COLOR_WINDOW
constexpr COLORREF kBtnText = RGB(0, 0, 128);         // 'X' COLOR_BTNTEXT
constexpr COLORREF kGround = RGB(0, 128, 0);          // '.' what was there before
constexpr COLORREF kRed = RGB(255, 0, 0);             // 'r' glyph colour of no system colour

inline const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = {{'B', kFace},    {'F', kFrame},      {'H', kHilite},
                                          {'S', kShadow},  {'T', kHiliteText}, {'W', kWindow},
                                          {'X', kBtnText}, {'.', kGround},     {'r', kRed}};
    return keys;
}

inline void SetTestColours() {
    const int ids[] = {COLOR_BTNFACE,       COLOR_WINDOWFRAME, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW,
                       COLOR_HIGHLIGHTTEXT, COLOR_WINDOW,      COLOR_BTNTEXT};
    const COLORREF colours[] = {kFace, kFrame, kHilite, kShadow, kHiliteText, kWindow, kBtnText};
    SetSysColors(7, ids, colours);
}

// A 32-bit memory bitmap filled with the ground colour.
struct Canvas {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    int w, h;
    Canvas(int width, int height) : w(width), h(height) {
        dc = CreateCompatibleDC(nullptr);
        bmp = CreateBitmap(w, h, 1, 32, nullptr);
        old = SelectObject(dc, bmp);
        HBRUSH b = CreateSolidBrush(kGround);
        RECT r{0, 0, w, h};
        FillRect(dc, &r, b);
        DeleteObject(b);
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // The pixels of (x, y, x + cw, y + ch) as characters; '?' for a colour without a key.
    std::vector<std::string> Map(int x, int y, int cw, int ch) const {
        std::vector<std::string> rows;
        for (int j = y; j < y + ch; ++j) {
            std::string row;
            for (int i = x; i < x + cw; ++i) {
                COLORREF c = GetPixel(dc, i, j);
                char k = '?';
                for (const Key& key : Keys())
                    if (key.colour == c) k = key.ch;
                row += k;
            }
            rows.push_back(row);
        }
        return rows;
    }
    std::vector<std::string> Map() const { return Map(0, 0, w, h); }
};

inline std::string Show(const std::vector<std::string>& rows) {
    std::string s = "\n";
    for (const std::string& r : rows)
        s += r + "\n";
    return s;
}

}  // namespace qsm::uitest
