// The layer's own entry points beside the Windows-style calls of gdi.h: DCs over surfaces that another part
// of the platform owns (the window system paints its windows this way), PDF printer DCs, recording DCs for
// tests, and the screen metrics.
//
// Window system use: make one DC per paint with CreateSurfaceDC over the window's back-buffer surface, set
// the window's offset inside that surface with SetDCOrigin and its update region with SetDCSystemClip, hand
// the HDC to the window's painting code, and DeleteDC it afterwards. The application's own clip region
// (SelectClipRgn) is intersected with the system clip; RestoreDC and SelectClipRgn(hdc, nullptr) never widen
// past it. The DC does not take the surface: it holds a cairo reference for its lifetime.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/gdi.h"

using cairo_surface_t = struct _cairo_surface;

namespace qsm::gdi {

// Screen metrics that screen DCs answer (defaults 1920 x 1080 at 96 dpi).
void SetScreenMetrics(int width, int height, int dpi);

// A DC drawing on the given cairo image surface. dpi answers LOGPIXELSX and LOGPIXELSY.
HDC CreateSurfaceDC(cairo_surface_t* surface, int dpi = 96);
// Device offset of logical (0, 0) at MM_TEXT with zero origins, in surface pixels (a child window's place in
// its top-level buffer).
void SetDCOrigin(HDC hdc, int x, int y);
// The region the DC may draw in, in surface pixels (copied); nullptr allows the whole surface.
void SetDCSystemClip(HDC hdc, HRGN rgn);

// Draws lines, curves and fills of the DC antialiased (on) or with whole pixels as GDI does (off, the
// default) on raster surfaces; text is always smoothed, raster operations other than R2_COPYPEN never are,
// and printer DCs draw vectors either way. Answers the setting before.
bool SetDCSmoothing(HDC hdc, bool on);

// The cairo surface of a bitmap (a memory bitmap or DIB section), for saving as PNG or showing; borrowed.
cairo_surface_t* GetBitmapSurface(HBITMAP bitmap);
// Writes the bitmap selected into a memory or surface DC as a PNG file. True on success.
bool WritePng(HDC hdc, const char* path);

// A printer DC on a PDF file. The page is widthPt x heightPt points (1/72 inch); the DC's device units are
// pixels at dpi. With a null path the file is named by the lpszOutput of StartDocA. Each EndPage ends a page.
HDC CreatePdfDC(const char* path, double widthPt, double heightPt, int dpi);

// Printers. CreateDCA and CreateICA hand every driver other than "DISPLAY" to the printer factory, which the
// print layer installs; without one they fail. A factory makes its DCs with CreatePdfDC and sets the
// printable area and the job hooks below.
using PrinterDCFactory = HDC (*)(LPCSTR driver, LPCSTR device, LPCSTR output, const void* devmode,
                                 bool infoOnly);
void SetPrinterDCFactory(PrinterDCFactory factory);

// The printable area of a printer DC in device pixels: device (0, 0) is the area's top-left corner, HORZRES
// and VERTRES are its size, PHYSICALOFFSETX/Y its place on the page.
struct PrinterArea {
    int offsetX = 0, offsetY = 0, width = 0, height = 0;
};
void SetPrinterArea(HDC hdc, const PrinterArea& area);

// Called around a job of a printer DC. outputPath answers the file the job is written to at StartDocA (an
// empty answer fails StartDocA with SP_ERROR); finished gets the finished file at EndDoc and answers false
// when the job could not be handed on (EndDoc then answers SP_ERROR); aborted gets the file after
// AbortDoc removed it. A DC with a finished hook that is deleted in the middle of a job aborts it.
struct PrinterJobHooks {
    std::function<std::string(const DOCINFOA* info)> outputPath;
    std::function<bool(const std::string& path)> finished;
    std::function<void(const std::string& path)> aborted;
};
void SetPrinterJobHooks(HDC hdc, PrinterJobHooks hooks);

// One logged call of a recording DC.
struct GdiRecord {
    std::string op;             // the call's name, "TextOutA", "Rectangle", "SelectObject" ...
    std::vector<int32_t> args;  // integer arguments in call order; points flattened as x, y
    std::string text;           // bytes of an ANSI text call
    std::u16string wtext;       // characters of a wide text call
    // State in force when the call was made.
    int penStyle = 0;  // PS_* with type, cap and join bits
    int penWidth = 0;
    COLORREF penColor = 0;
    int brushStyle = 0;  // BS_SOLID or BS_NULL
    COLORREF brushColor = 0;
    std::string fontFace;    // face asked for by the selected font
    int32_t fontHeight = 0;  // lfHeight of the selected font
    int32_t fontWeight = 0;
    int fontItalic = 0;
    int fontCharSet = 0;
    UINT textAlign = 0;
    COLORREF textColor = 0;
    int bkMode = 0;
    int rop2 = 0;
    int polyFillMode = 0;

    std::string ToString() const;
};

// A DC that logs every call (drawing, text, selection and attribute changes) and draws nothing; it measures
// text like a screen DC of the given resolution.
HDC CreateRecordingDC(int dpi = 96, int width = 1000, int height = 1000);
// Starts or stops logging on any DC (a surface DC that also records).
void SetRecording(HDC hdc, bool on);
// The log of a recording DC; empty for other DCs.
const std::vector<GdiRecord>& GetRecords(HDC hdc);
void ClearRecords(HDC hdc);

}  // namespace qsm::gdi
