#include "viewer/tool_glyphs.h"

#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/kernel/resources.h"
#include "viewer/app.h"

char TQSMViewToolbarBtn::CommandToGlyphChar(int command) {
    static const struct {
        int command;
        char glyph;
    } table[] = {
        {54, 'T'},  {110, 'L'}, {111, 'i'}, {113, 'F'}, {114, 'f'}, {116, 'y'}, {117, 'z'}, {118, 'c'},
        {119, 'd'}, {120, 'A'}, {121, 'C'}, {122, 'E'}, {123, 'J'}, {125, 'B'}, {128, 'm'}, {129, 'l'},
        {132, '['}, {133, '<'}, {134, '>'}, {136, 'Y'}, {203, 'b'}, {204, 'a'}, {209, 'Z'},
    };
    for (const auto& e : table)
        if (e.command == command) return e.glyph;
    return 0;
}

TDib* TQSMViewToolbarBtn::GetGlyph(const char* resId) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (app && app->GetCommandFont() && IS_INTRESOURCE(resId)) {
        char c = CommandToGlyphChar(static_cast<int>(reinterpret_cast<uintptr_t>(resId)));
        if (c != 0) return app->MakeCommandGlyph(c, app->GetToolButtonSize());
    }
    auto* dib = new TDib(static_cast<HINSTANCE>(nullptr), resId);
    if (dib->IsOK()) dib->MapUIColors(TDib::MapText | TDib::MapFace | TDib::MapShadow | TDib::MapHighlight);
    return dib;
}

TDib* TQSMViewerApp::MakeCommandGlyph(char character, SIZE size) const {
    int w = size.cx > 0 ? size.cx : 1;
    int h = size.cy > 0 ? size.cy : 1;
    BITMAPINFOHEADER bi{};
    bi.biSize = sizeof(bi);
    bi.biWidth = w;
    bi.biHeight = -h;
    bi.biPlanes = 1;
    bi.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap =
        CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint8_t> packed;
    if (bitmap && bits) {
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        HGDIOBJ oldFont = SelectObject(dc, CommandFont);
        RECT r{0, 0, w, h};
        HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
        FillRect(dc, &r, face);
        DeleteObject(face);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextA(dc, &character, 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        GdiFlush();
        size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
        packed.resize(sizeof(bi) + bytes);
        std::memcpy(packed.data(), &bi, sizeof(bi));
        std::memcpy(packed.data() + sizeof(bi), bits, bytes);
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return new TDib(packed.data(), packed.size());
}
