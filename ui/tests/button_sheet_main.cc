// Writes a sheet of the toolbar button's looks and of the eleven edge border styles (drawn in the
// standard colours, enlarged three times) to the PNG file named on the command line, for review.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi_surface.h"
#include "platform/wm/backend.h"
#include "ui/button_gadget.h"
#include "ui/edge_border.h"
#include "ui/toolbar_draw.h"

namespace {

// A play mark with a white gleam, a grey shadow and a blue bar, on the button face.
const std::vector<std::string> kGlyph = {
    "................", "................", "..##............", "..#H#...........", "..#HH##.........",
    "..#.H..##....bb.", "..#.......##.bb.", "..#.........#bb.", "..#.......##.bb.", "..#.....##...bb.",
    "..#...##.....bb.", "..#.##.......bb.", "..##..........SS", "...SS...........", "................"};

COLORREF ColourOf(char c) {
    switch (c) {
        case '#':
            return RGB(0, 0, 0);
        case 'H':
            return RGB(255, 255, 255);
        case 'S':
            return RGB(128, 128, 128);
        case 'b':
            return RGB(0, 0, 160);
        default:
            return RGB(192, 192, 192);
    }
}

class TSheetButton : public TToolbarButtonGadget {
public:
    TSheetButton(int type, bool enabled, int state) : TToolbarButtonGadget(1, 100, type, enabled, state) {
        const int w = 16, h = 15, stride = (w * 3 + 3) & ~3;
        Packed.resize(sizeof(BITMAPINFOHEADER) + static_cast<size_t>(stride) * h);
        BITMAPINFOHEADER bi{};
        bi.biSize = sizeof bi;
        bi.biWidth = w;
        bi.biHeight = -h;
        bi.biPlanes = 1;
        bi.biBitCount = 24;
        std::memcpy(Packed.data(), &bi, sizeof bi);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                COLORREF c = ColourOf(kGlyph[y][x]);
                uint8_t* p = Packed.data() + sizeof bi + static_cast<size_t>(y) * stride + x * 3;
                p[0] = GetBValue(c);
                p[1] = GetGValue(c);
                p[2] = GetRValue(c);
            }
    }
    TDib* GetGlyphBitmap() override { return new TDib(Packed.data(), Packed.size()); }
    void SetLook(bool hot, bool pressed) {
        if (hot) MouseEnter(0, TPoint(0, 0));
        if (pressed) BeginPressed(TPoint(0, 0));
    }

private:
    std::vector<uint8_t> Packed;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png\n", argv[0]);
        return 2;
    }
    qsm::wm::ResetForTests();
    TToolbarButtonGadget::ButtonSizeOf = [](const TGadgetWindow&) { return 30; };
    const int scale = 3, cellW = 64, cellH = 56;
    const int W = 8 * cellW, H = 2 * cellH;
    HDC small = CreateCompatibleDC(nullptr);
    HBITMAP smallBmp = CreateBitmap(W, H, 1, 32, nullptr);
    HGDIOBJ oldSmall = SelectObject(small, smallBmp);
    RECT all{0, 0, W, H};
    FillRect(small, &all, GetSysColorBrush(COLOR_BTNFACE));

    using B = TToolbarButtonGadget;
    struct Look {
        const char* name;
        int type;
        bool enabled;
        int state;
        bool hot, pressed;
    };
    const Look looks[] = {{"normal", B::Command, true, B::Up, false, false},
                          {"hot", B::Command, true, B::Up, true, false},
                          {"pressed", B::Command, true, B::Up, true, true},
                          {"down", B::Toggle, true, B::Down, false, false},
                          {"down hot", B::Toggle, true, B::Down, true, false},
                          {"indeterm.", B::Toggle, true, B::Indeterminate, false, false},
                          {"disabled", B::Command, false, B::Up, false, false},
                          {"drop-down", B::DropDown, true, B::Up, true, false}};
    TControlBar bar(nullptr);
    std::vector<TSheetButton*> buttons;
    for (const Look& l : looks) {
        auto* b = new TSheetButton(l.type, l.enabled, l.state);
        bar.Insert(*b);
        buttons.push_back(b);
    }
    HFONT font = static_cast<HFONT>(GetStockObject(ANSI_VAR_FONT));
    HGDIOBJ oldFont = SelectObject(small, font);
    SetBkMode(small, TRANSPARENT);
    TDC dc(small);
    for (size_t i = 0; i < buttons.size(); ++i) {
        TSize s;
        buttons[i]->GetDesiredSize(s);
        const int x = static_cast<int>(i) * cellW + (cellW - s.cx) / 2;
        buttons[i]->SetBounds(TRect(x, 4, x + s.cx, 4 + s.cy));
        buttons[i]->SetLook(looks[i].hot, looks[i].pressed);
        buttons[i]->Paint(dc);
        SIZE ext{};
        const int len = static_cast<int>(std::strlen(looks[i].name));
        GetTextExtentPoint32A(small, looks[i].name, len, &ext);
        TextOutA(small, static_cast<int>(i) * cellW + (cellW - ext.cx) / 2, 42, looks[i].name, len);
    }
    for (int style = 0; style < EdgeBorder::NumStyles; ++style) {
        const int x = (style % 11) * 46 + 4;
        EdgeBorder(TRect(x, cellH + 4, x + 40, cellH + 30), EdgeBorder::Style{style}, BF_MIDDLE).Paint(small);
        const std::string label = std::to_string(style);
        TextOutA(small, x + 16, cellH + 34, label.c_str(), static_cast<int>(label.size()));
    }
    SelectObject(small, oldFont);

    HDC big = CreateCompatibleDC(nullptr);
    HBITMAP bigBmp = CreateBitmap(W * scale, H * scale, 1, 32, nullptr);
    HGDIOBJ oldBig = SelectObject(big, bigBmp);
    StretchBlt(big, 0, 0, W * scale, H * scale, small, 0, 0, W, H, SRCCOPY);
    const bool ok = qsm::gdi::WritePng(big, argv[1]);
    SelectObject(big, oldBig);
    DeleteObject(bigBmp);
    DeleteDC(big);
    SelectObject(small, oldSmall);
    DeleteObject(smallBmp);
    DeleteDC(small);
    ToolbarModuleExit();
    return ok ? 0 : 1;
}
