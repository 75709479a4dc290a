// Device contexts, drawing objects, fonts, regions and bitmaps with the semantics of the Windows graphics
// interface, drawn with cairo. Coordinates are integers in logical units; a DC maps them to device pixels
// through its mapping mode. Text is measured with FreeType at whole-pixel advances and no kerning, so the
// screen, memory bitmaps and printed pages measure alike.
//
// Kinds of DC:
// - screen DC: CreateDCA("DISPLAY", ...) or CreateCompatibleDC(nullptr) answers screen metrics and measures
//   text; a window system makes DCs over its own surfaces with qsm::gdi::CreateSurfaceDC (gdi_surface.h);
// - memory DC: CreateCompatibleDC; draws into the bitmap selected into it (CreateCompatibleBitmap,
//   CreateDIBSection, CreateBitmap). CreateCompatibleBitmap on a memory DC makes a bitmap like the one it
//   holds: a new memory DC holds a monochrome one, so colour bitmaps come from a screen DC (or
//   CreateBitmap with 32 bits);
// - printer DC: qsm::gdi::CreatePdfDC (gdi_surface.h) gives a DC on a PDF file at a chosen resolution, with
//   StartDocA/StartPage/EndPage/EndDoc;
// - recording DC: qsm::gdi::CreateRecordingDC (gdi_surface.h) logs every call with its arguments and the
//   DC's state, for exact tests.
//
// Pixel rules: lines leave out their last point; Rectangle and Ellipse cover [left, right) x [top, bottom);
// cosmetic pens are one device pixel wide under any mapping, geometric pens and fonts scale with it.
// Lines, curves and fills are drawn with whole pixels on raster surfaces, as GDI draws them, unless the DC is
// set to draw smoothly (qsm::gdi::SetDCSmoothing); text is smoothed.
#pragma once

#include "platform/base/wintypes.h"

using WCHAR = char16_t;
using LPWSTR = char16_t*;
using LPCWSTR = const char16_t*;
using ULONG_PTR = uintptr_t;

#define LF_FACESIZE 32

// Object types (GetObjectType) and stock objects (GetStockObject).
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_MEMDC 10
#define OBJ_EXTPEN 11

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define ANSI_FIXED_FONT 11
#define ANSI_VAR_FONT 12
#define SYSTEM_FONT 13
#define DEVICE_DEFAULT_FONT 14
#define SYSTEM_FIXED_FONT 16
#define DEFAULT_GUI_FONT 17

// Pen styles, end caps, joins and types.
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
#define PS_INSIDEFRAME 6
#define PS_STYLE_MASK 0x0000000F
#define PS_ENDCAP_ROUND 0x00000000
#define PS_ENDCAP_SQUARE 0x00000100
#define PS_ENDCAP_FLAT 0x00000200
#define PS_ENDCAP_MASK 0x00000F00
#define PS_JOIN_ROUND 0x00000000
#define PS_JOIN_BEVEL 0x00001000
#define PS_JOIN_MITER 0x00002000
#define PS_JOIN_MASK 0x0000F000
#define PS_COSMETIC 0x00000000
#define PS_GEOMETRIC 0x00010000
#define PS_TYPE_MASK 0x000F0000

#define BS_SOLID 0
#define BS_NULL 1
#define BS_HOLLOW BS_NULL
#define BS_PATTERN 3

struct LOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
};
struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
};

// Fonts.
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900

#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define MAC_CHARSET 77
#define SHIFTJIS_CHARSET 128
#define HANGUL_CHARSET 129
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136
#define GREEK_CHARSET 161
#define TURKISH_CHARSET 162
#define VIETNAMESE_CHARSET 163
#define HEBREW_CHARSET 177
#define ARABIC_CHARSET 178
#define BALTIC_CHARSET 186
#define RUSSIAN_CHARSET 204
#define THAI_CHARSET 222
#define EASTEUROPE_CHARSET 238
#define OEM_CHARSET 255

#define OUT_DEFAULT_PRECIS 0
#define OUT_TT_PRECIS 4
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};
using LOGFONT = LOGFONTA;

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
using TEXTMETRIC = TEXTMETRICA;

#define FR_PRIVATE 0x10
#define FR_NOT_ENUM 0x20

// Text alignment and output.
#define TA_NOUPDATECP 0
#define TA_UPDATECP 1
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24
#define GDI_ERROR 0xFFFFFFFFu
#define CLR_INVALID 0xFFFFFFFFu

#define TRANSPARENT 1
#define OPAQUE 2

#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004

// Raster operations for lines and fills (SetROP2) and for blits (BitBlt).
#define R2_BLACK 1
#define R2_NOTMERGEPEN 2
#define R2_MASKNOTPEN 3
#define R2_NOTCOPYPEN 4
#define R2_MASKPENNOT 5
#define R2_NOT 6
#define R2_XORPEN 7
#define R2_NOTMASKPEN 8
#define R2_MASKPEN 9
#define R2_NOTXORPEN 10
#define R2_NOP 11
#define R2_MERGENOTPEN 12
#define R2_COPYPEN 13
#define R2_MERGEPENNOT 14
#define R2_MERGEPEN 15
#define R2_WHITE 16

#define SRCCOPY 0x00CC0020u
#define SRCPAINT 0x00EE0086u
#define SRCAND 0x008800C6u
#define SRCINVERT 0x00660046u
#define NOTSRCCOPY 0x00330008u
#define DSTINVERT 0x00550009u
#define PATCOPY 0x00F00021u
#define PATINVERT 0x005A0049u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

// Fill modes.
#define ALTERNATE 1
#define WINDING 2

// Mapping modes.
#define MM_TEXT 1
#define MM_LOMETRIC 2
#define MM_HIMETRIC 3
#define MM_LOENGLISH 4
#define MM_HIENGLISH 5
#define MM_TWIPS 6
#define MM_ISOTROPIC 7
#define MM_ANISOTROPIC 8

// Device capabilities.
#define DRIVERVERSION 0
#define TECHNOLOGY 2
#define HORZSIZE 4
#define VERTSIZE 6
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define RASTERCAPS 38
#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define SIZEPALETTE 104
#define PHYSICALWIDTH 110
#define PHYSICALHEIGHT 111
#define PHYSICALOFFSETX 112
#define PHYSICALOFFSETY 113

#define DT_RASDISPLAY 1
#define DT_RASPRINTER 2
#define RC_BITBLT 1
#define RC_PALETTE 0x0100  // never set: every device here is true colour
#define RC_STRETCHBLT 0x0800

// A palette entry (palettes themselves are not offered: no device here has one).
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};
#define PC_NOCOLLAPSE 0x04

// Regions.
#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5

// Bitmaps.
#define BI_RGB 0
#define DIB_RGB_COLORS 0

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};
struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// Printing.
struct DOCINFOA {
    int cbSize;
    LPCSTR lpszDocName;
    LPCSTR lpszOutput;
    LPCSTR lpszDatatype;
    DWORD fwType;
};
// Spooler answers: StartDocA's job number is positive; the errors are negative.
#define SP_ERROR (-1)
#define SP_APPABORT (-2)
#define SP_USERABORT (-3)
#define SP_OUTOFDISK (-4)
#define SP_OUTOFMEMORY (-5)
// Asked while pages are put out (at StartPage and EndPage): FALSE cancels the job, which the spooler then
// discards. The second argument is 0 or SP_OUTOFDISK.
using ABORTPROC = BOOL (*)(HDC, int);

// Copies a face name into a LOGFONT's field: at most 31 characters, always terminated.
inline void CopyFaceName(CHAR (&out)[LF_FACESIZE], const char* face) {
    size_t n = 0;
    if (face)
        while (n < LF_FACESIZE - 1 && face[n])
            ++n;
    for (size_t i = 0; i < n; ++i)
        out[i] = face[i];
    out[n] = 0;
}

// Device contexts.
HDC CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR output, const void* devmode);
HDC CreateICA(LPCSTR driver, LPCSTR device, LPCSTR output, const void* devmode);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int saved);
int GetDeviceCaps(HDC hdc, int index);
DWORD GetObjectType(HGDIOBJ obj);

// Objects.
HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount, const DWORD* styles);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
// A brush repeating the bitmap's top-left 8 x 8 pixels (fewer when the bitmap is smaller), aligned to the
// device origin of the DC it fills on. The pixels are copied. A monochrome device bitmap (CreateBitmap with
// one bit per pixel) paints its black pixels in the DC's text colour and its white ones in the background
// colour at the time of use; a DIB section keeps its own colours.
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HFONT CreateFontIndirectA(const LOGFONTA* font);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR face);
HGDIOBJ GetStockObject(int index);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
BOOL DeleteObject(HGDIOBJ obj);
int GetObjectA(HGDIOBJ obj, int size, LPVOID out);

// Attributes.
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);
int SetROP2(HDC hdc, int rop);
int GetROP2(HDC hdc);
int SetPolyFillMode(HDC hdc, int mode);
int GetPolyFillMode(HDC hdc);

// Coordinates.
int SetMapMode(HDC hdc, int mode);
int GetMapMode(HDC hdc);
BOOL SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT old);
BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT old);
BOOL OffsetWindowOrgEx(HDC hdc, int dx, int dy, LPPOINT old);
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, LPPOINT old);
BOOL SetWindowExtEx(HDC hdc, int x, int y, SIZE* old);
BOOL SetViewportExtEx(HDC hdc, int x, int y, SIZE* old);
BOOL GetWindowOrgEx(HDC hdc, LPPOINT out);
BOOL GetViewportOrgEx(HDC hdc, LPPOINT out);
BOOL GetWindowExtEx(HDC hdc, SIZE* out);
BOOL GetViewportExtEx(HDC hdc, SIZE* out);
BOOL LPtoDP(HDC hdc, LPPOINT points, int count);
BOOL DPtoLP(HDC hdc, LPPOINT points, int count);

// Lines and shapes.
BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT old);
BOOL LineTo(HDC hdc, int x, int y);
BOOL GetCurrentPositionEx(HDC hdc, LPPOINT out);
BOOL Polyline(HDC hdc, const POINT* points, int count);
BOOL Polygon(HDC hdc, const POINT* points, int count);
BOOL PolyBezier(HDC hdc, const POINT* points, DWORD count);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL SetPixelV(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);
int FillRect(HDC hdc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush);
BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop);
// A comment among the drawing calls: a recording DC logs it (as text), every other DC ignores it.
BOOL GdiComment(HDC hdc, UINT size, const BYTE* data);

// Paths.
BOOL BeginPath(HDC hdc);
BOOL EndPath(HDC hdc);
BOOL AbortPath(HDC hdc);
BOOL StrokePath(HDC hdc);
BOOL FillPath(HDC hdc);
BOOL StrokeAndFillPath(HDC hdc);
BOOL CloseFigure(HDC hdc);

// Text.
BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int count);
BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count);
BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count,
                 const INT* dx);
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const INT* dx);
BOOL GetTextExtentPointA(HDC hdc, LPCSTR text, int count, SIZE* size);
BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size);
BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* tm);
int GetTextFaceA(HDC hdc, int count, LPSTR face);
BOOL GetCharWidth32A(HDC hdc, UINT first, UINT last, INT* widths);
int lstrlenW(LPCWSTR text);
int AddFontResourceExA(LPCSTR path, DWORD flags, LPVOID reserved);
BOOL RemoveFontResourceExA(LPCSTR path, DWORD flags, LPVOID reserved);

// Regions and clipping. Clip regions are in device coordinates; IntersectClipRect and ExcludeClipRect take
// logical ones.
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, LPRECT rect);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);
int SelectClipRgn(HDC hdc, HRGN rgn);
int ExtSelectClipRgn(HDC hdc, HRGN rgn, int mode);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom);
int GetClipBox(HDC hdc, LPRECT rect);
int GetClipRgn(HDC hdc, HRGN rgn);
BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush);

// Bitmaps.
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
BOOL BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop);
BOOL GdiFlush();
// Device-independent bitmaps from the caller's memory (uncompressed, DIB_RGB_COLORS). The source y counts
// from the bottom of a bottom-up image (biHeight > 0) and from the top of a top-down one. StretchDIBits
// answers the rows copied, 0 on failure; SetDIBitsToDevice copies 1:1 and takes the whole image at once
// (startScan 0, scanLines at least its height).
int StretchDIBits(HDC hdc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC hdc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT startScan, UINT scanLines,
                      const void* bits, const BITMAPINFO* info, UINT usage);

// Printing on a printer DC.
int SetAbortProc(HDC hdc, ABORTPROC proc);
int StartDocA(HDC hdc, const DOCINFOA* info);
int EndDoc(HDC hdc);
int AbortDoc(HDC hdc);
int StartPage(HDC hdc);
int EndPage(HDC hdc);

// Rectangles (helpers the drawing code uses beside the DC).
BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rect);
BOOL IsRectEmpty(const RECT* rect);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL InflateRect(LPRECT rect, int dx, int dy);
BOOL IntersectRect(LPRECT out, const RECT* a, const RECT* b);
BOOL UnionRect(LPRECT out, const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* rect, POINT pt);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL CopyRect(LPRECT out, const RECT* in);
