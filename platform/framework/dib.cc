// Device-independent bitmaps and the hatch brush of the class library.
#include "platform/framework/dib.h"

#include <cstdlib>
#include <cstring>

#include "platform/gdi/dib.h"
#include "platform/kernel/resources.h"

TDib::TDib(HINSTANCE module, const char* resName) {
    HRSRC res = FindResourceA(module, resName, RT_BITMAP);
    if (!res) return;
    const void* data = LockResource(LoadResource(module, res));
    if (data) Load(data, SizeofResource(module, res));
}

TDib::TDib(const void* packed, size_t size) {
    Load(packed, size);
}

void TDib::Load(const void* packed, size_t size) {
    if (!qsm::gdi::UnpackDib(packed, size, &Info, &Bits)) {
        Info.clear();
        Bits.clear();
    }
}

int TDib::Width() const {
    return IsOK() ? GetInfo()->bmiHeader.biWidth : 0;
}

int TDib::Height() const {
    return IsOK() ? std::abs(GetInfo()->bmiHeader.biHeight) : 0;
}

int TDib::BitsPixel() const {
    return IsOK() ? GetInfo()->bmiHeader.biBitCount : 0;
}

int TDib::NumColors() const {
    return IsOK() ? static_cast<int>(GetInfo()->bmiHeader.biClrUsed) : 0;
}

bool TDib::IsBottomUp() const {
    return IsOK() && GetInfo()->bmiHeader.biHeight > 0;
}

RGBQUAD* TDib::Colors() {
    return reinterpret_cast<RGBQUAD*>(Info.data() + sizeof(BITMAPINFOHEADER));
}

const RGBQUAD* TDib::Colors() const {
    return reinterpret_cast<const RGBQUAD*>(Info.data() + sizeof(BITMAPINFOHEADER));
}

TColor TDib::GetColor(int index) const {
    if (index < 0 || index >= NumColors()) return TColor(0, 0, 0);
    const RGBQUAD& q = Colors()[index];
    return TColor(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

void TDib::SetColor(int index, TColor color) {
    if (index < 0 || index >= NumColors()) return;
    COLORREF c = color;
    Colors()[index] = RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0};
}

int TDib::FindColor(TColor color) const {
    COLORREF c = color;
    for (int i = 0; i < NumColors(); ++i)
        if (static_cast<COLORREF>(GetColor(i)) == c) return i;
    return -1;
}

void TDib::MapUIColors(UINT mapColors, const TColor* bkColor) {
    struct Map {
        UINT flag;
        COLORREF from;
        int sysColor;
    };
    static const Map kMaps[] = {{MapText, RGB(0, 0, 0), COLOR_BTNTEXT},
                                {MapShadow, RGB(128, 128, 128), COLOR_BTNSHADOW},
                                {MapFace, RGB(192, 192, 192), COLOR_BTNFACE},
                                {MapHighlight, RGB(255, 255, 255), COLOR_BTNHIGHLIGHT}};
    // Every entry is judged by its colour before any is changed, so that one mapping never feeds another.
    std::vector<COLORREF> before(static_cast<size_t>(NumColors()));
    for (int i = 0; i < NumColors(); ++i)
        before[static_cast<size_t>(i)] = GetColor(i);
    for (const Map& m : kMaps) {
        if (!(mapColors & m.flag)) continue;
        TColor to = m.flag == MapFace && bkColor ? *bkColor : TColor(GetSysColor(m.sysColor));
        for (int i = 0; i < NumColors(); ++i)
            if (before[static_cast<size_t>(i)] == m.from) SetColor(i, to);
    }
}

bool StretchDIBits(const TDC& dc, const TRect& dest, const TRect& src, const TDib& dib, DWORD rop) {
    if (!dib.IsOK()) return false;
    // The source rectangle is given from the first row shown; the call counts from the bottom of a
    // bottom-up image.
    int sy = dib.IsBottomUp() ? dib.Height() - src.bottom : src.top;
    return ::StretchDIBits(dc, dest.left, dest.top, dest.Width(), dest.Height(), src.left, sy, src.Width(),
                           src.Height(), dib.GetBits(), dib.GetInfo(), DIB_RGB_COLORS, rop) > 0;
}

bool SetDIBitsToDevice(const TDC& dc, const TRect& dest, const TPoint& src, const TDib& dib) {
    if (!dib.IsOK()) return false;
    int sy = dib.IsBottomUp() ? dib.Height() - src.y - dest.Height() : src.y;
    return ::SetDIBitsToDevice(dc, dest.left, dest.top, static_cast<DWORD>(dest.Width()),
                               static_cast<DWORD>(dest.Height()), src.x, sy, 0,
                               static_cast<UINT>(dib.Height()), dib.GetBits(), dib.GetInfo(),
                               DIB_RGB_COLORS) > 0;
}

const uint8_t THatch8x8Brush::Hatch11F1[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};

THatch8x8Brush::THatch8x8Brush(const uint8_t hatch[8], TColor fgColor, TColor bgColor) {
    Reconstruct(hatch, fgColor, bgColor);
}

void THatch8x8Brush::Reconstruct(const uint8_t hatch[8], TColor fgColor, TColor bgColor) {
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[2];
    } bi{};
    bi.h.biSize = sizeof(BITMAPINFOHEADER);
    bi.h.biWidth = 8;
    bi.h.biHeight = -8;
    bi.h.biPlanes = 1;
    bi.h.biBitCount = 1;
    bi.h.biClrUsed = 2;
    COLORREF bg = bgColor, fg = fgColor;
    bi.colors[0] = RGBQUAD{GetBValue(bg), GetGValue(bg), GetRValue(bg), 0};
    bi.colors[1] = RGBQUAD{GetBValue(fg), GetGValue(fg), GetRValue(fg), 0};
    void* bits = nullptr;
    HBITMAP bmp =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp && bits)
        for (int y = 0; y < 8; ++y)
            static_cast<uint8_t*>(bits)[y * 4] = hatch[y];
    HBRUSH brush = bmp ? CreatePatternBrush(bmp) : nullptr;
    if (bmp) DeleteObject(bmp);
    if (Handle && ShouldDelete) DeleteObject(Handle);
    Handle = brush;
    ShouldDelete = true;
}
