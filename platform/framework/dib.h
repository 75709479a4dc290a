// Device-independent bitmaps of the class library and the 8 x 8 hatch brush made from one.
//
// TDib loads a bitmap resource (a packed DIB) from a module, by number or name, and keeps its own copy: the
// colour table may be changed (SetColor, MapUIColors) before the image is drawn with StretchDIBits or
// SetDIBitsToDevice. A resource that is missing or not a valid image gives a TDib that is not IsOK, whose
// size is 0 x 0 and that draws nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/framework/dc.h"

class TDib {
public:
    TDib(HINSTANCE module, const char* resName);
    TDib(HINSTANCE module, int resId)
        : TDib(module, reinterpret_cast<const char*>(static_cast<uintptr_t>(resId))) {}
    // An image from a packed DIB in memory (copied).
    TDib(const void* packed, size_t size);

    bool IsOK() const { return !Info.empty(); }
    int Width() const;
    int Height() const;  // rows, whichever way they run
    TSize Size() const { return TSize(Width(), Height()); }
    int BitsPixel() const;
    int NumColors() const;
    bool IsBottomUp() const;

    // Colour-table entries (an index outside the table answers black and changes nothing).
    TColor GetColor(int index) const;
    void SetColor(int index, TColor color);
    // The first entry of that colour, or -1.
    int FindColor(TColor color) const;
    // Entries that hold the standard button colours take the system's: black the button text, dark grey
    // (128, 128, 128) the shadow, light grey (192, 192, 192) the face, white the highlight, each when its
    // flag is given. With bkColor, the face entry takes that colour instead.
    enum { MapText = 0x1, MapFace = 0x2, MapShadow = 0x4, MapHighlight = 0x8 };
    void MapUIColors(UINT mapColors, const TColor* bkColor = nullptr);

    const BITMAPINFO* GetInfo() const { return reinterpret_cast<const BITMAPINFO*>(Info.data()); }
    const void* GetBits() const { return Bits.data(); }
    void* GetBits() { return Bits.data(); }

private:
    void Load(const void* packed, size_t size);
    RGBQUAD* Colors();
    const RGBQUAD* Colors() const;
    std::vector<uint8_t> Info;  // 40-byte header and the colour table
    std::vector<uint8_t> Bits;
};

// The image, or the source rectangle of it (y from the image's first row as it is shown), stretched into
// dest of the DC.
bool StretchDIBits(const TDC& dc, const TRect& dest, const TRect& src, const TDib& dib, DWORD rop = SRCCOPY);
// The source rectangle copied 1:1 to dest's top-left corner.
bool SetDIBitsToDevice(const TDC& dc, const TRect& dest, const TPoint& src, const TDib& dib);

// A pattern brush of 8 rows of 8 pixels: bit 7 of hatch[0] is the top-left pixel; set bits show the
// foreground colour, clear ones the background. Reconstruct makes it anew (new system colours).
class THatch8x8Brush : public TBrush {
public:
    THatch8x8Brush(const uint8_t hatch[8], TColor fgColor = TColor(0, 0, 0),
                   TColor bgColor = TColor(255, 255, 255));
    void Reconstruct(const uint8_t hatch[8], TColor fgColor, TColor bgColor);

    // The one-pixel checker (0xAA, 0x55, ...).
    static const uint8_t Hatch11F1[8];
};
