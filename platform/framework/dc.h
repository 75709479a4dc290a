// Drawing objects and device contexts of the class library.
//
// A GDI object wrapper either owns its handle (made by the wrapper: deleted with it) or borrows one (made
// from a handle: left alone). A DC wrapper restores on destruction every object it selected, so that the
// objects the caller deletes afterwards are never still selected; the DC itself is released or deleted
// according to how it was got (client and window DCs are released, memory and screen DCs deleted, a DC
// made from a handle is borrowed).
#pragma once

#include <string>

#include "platform/framework/geometry.h"
#include "platform/gdi/gdi.h"
#include "platform/wm/winuser.h"

class TGdiObject {
public:
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;
    virtual ~TGdiObject();
    HGDIOBJ GetHandle() const { return Handle; }
    bool IsOwned() const { return ShouldDelete; }
    // Gives up ownership and returns the handle.
    HGDIOBJ Release();

protected:
    TGdiObject() = default;
    TGdiObject(HGDIOBJ handle, bool owned) : Handle(handle), ShouldDelete(owned) {}
    HGDIOBJ Handle = nullptr;
    bool ShouldDelete = true;
};

class TPen : public TGdiObject {
public:
    TPen(TColor color, int width = 1, int style = PS_SOLID);
    explicit TPen(const LOGPEN& pen);
    TPen(DWORD style, DWORD width, const LOGBRUSH& brush);
    // Borrows a pen handle (stock pens included).
    explicit TPen(HPEN handle, bool owned = false) : TGdiObject(handle, owned) {}
    operator HPEN() const { return static_cast<HPEN>(Handle); }  // NOLINT(google-explicit-constructor)
};

class TBrush : public TGdiObject {
public:
    explicit TBrush(TColor color);
    explicit TBrush(const LOGBRUSH& brush);
    explicit TBrush(HBRUSH handle, bool owned = false) : TGdiObject(handle, owned) {}
    operator HBRUSH() const { return static_cast<HBRUSH>(Handle); }  // NOLINT(google-explicit-constructor)

protected:
    TBrush() = default;
};

class TFont : public TGdiObject {
public:
    TFont(const char* face, int height, int width = 0, int escapement = 0, int orientation = 0,
          int weight = FW_NORMAL, BYTE pitchAndFamily = DEFAULT_PITCH, BYTE italic = 0, BYTE underline = 0,
          BYTE strikeout = 0, BYTE charSet = DEFAULT_CHARSET, BYTE outputPrecision = OUT_DEFAULT_PRECIS,
          BYTE clipPrecision = CLIP_DEFAULT_PRECIS, BYTE quality = DEFAULT_QUALITY);
    explicit TFont(const LOGFONTA& font);
    explicit TFont(HFONT handle, bool owned = false) : TGdiObject(handle, owned) {}
    operator HFONT() const { return static_cast<HFONT>(Handle); }  // NOLINT(google-explicit-constructor)
    LOGFONTA GetObject() const;
    int GetHeight() const;
};

class TBitmap : public TGdiObject {
public:
    TBitmap(int width, int height, UINT planes = 1, UINT bitCount = 1, const void* bits = nullptr);
    // A bitmap compatible with the DC (colour for a screen DC).
    TBitmap(HDC dc, int width, int height);
    explicit TBitmap(HBITMAP handle, bool owned = false) : TGdiObject(handle, owned) {}
    operator HBITMAP() const { return static_cast<HBITMAP>(Handle); }  // NOLINT(google-explicit-constructor)
    int Width() const;
    int Height() const;
    TSize Size() const { return TSize(Width(), Height()); }
};

class TRegion : public TGdiObject {
public:
    TRegion();  // empty
    explicit TRegion(const TRect& rect);
    explicit TRegion(HRGN handle, bool owned = false) : TGdiObject(handle, owned) {}
    operator HRGN() const { return static_cast<HRGN>(Handle); }  // NOLINT(google-explicit-constructor)
    bool Contains(const TPoint& p) const;
    TRegion& operator-=(const TRegion& other);
    TRegion& operator|=(const TRegion& other);
    TRegion& operator&=(const TRegion& other);
    TRect GetRgnBox() const;
};

// The device context base: every operation forwards to the platform call on the handle.
class TDC {
public:
    explicit TDC(HDC handle) : Handle(handle) {}
    TDC(const TDC&) = delete;
    TDC& operator=(const TDC&) = delete;
    virtual ~TDC();
    HDC GetHandle() const { return Handle; }
    operator HDC() const { return Handle; }  // NOLINT(google-explicit-constructor)

    // Selection: the first selection of each kind remembers the original object, restored by
    // RestoreObjects (and the destructor).
    void SelectObject(const TPen& pen);
    void SelectObject(const TBrush& brush);
    void SelectObject(const TFont& font);
    void SelectObject(const TBitmap& bitmap);
    void SelectStockObject(int index);
    void RestorePen();
    void RestoreBrush();
    void RestoreFont();
    void RestoreBitmap();
    void RestoreObjects();
    int SaveDC() const { return ::SaveDC(Handle); }
    bool RestoreDC(int saved = -1) const { return ::RestoreDC(Handle, saved) != 0; }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(Handle, index); }

    // Attributes.
    TColor SetTextColor(TColor c) const { return ::SetTextColor(Handle, c); }
    TColor GetTextColor() const { return ::GetTextColor(Handle); }
    TColor SetBkColor(TColor c) const { return ::SetBkColor(Handle, c); }
    TColor GetBkColor() const { return ::GetBkColor(Handle); }
    int SetBkMode(int mode) const { return ::SetBkMode(Handle, mode); }
    UINT SetTextAlign(UINT align) const { return ::SetTextAlign(Handle, align); }
    int SetROP2(int rop) const { return ::SetROP2(Handle, rop); }
    int GetROP2() const { return ::GetROP2(Handle); }
    int SetPolyFillMode(int mode) const { return ::SetPolyFillMode(Handle, mode); }
    int SetMapMode(int mode) const { return ::SetMapMode(Handle, mode); }
    bool SetWindowOrg(const TPoint& p, TPoint* old = nullptr) const {
        return ::SetWindowOrgEx(Handle, p.x, p.y, old) != 0;
    }
    bool SetViewportOrg(const TPoint& p, TPoint* old = nullptr) const {
        return ::SetViewportOrgEx(Handle, p.x, p.y, old) != 0;
    }
    bool SetWindowExt(const TSize& s) const { return ::SetWindowExtEx(Handle, s.cx, s.cy, nullptr) != 0; }
    bool SetViewportExt(const TSize& s) const { return ::SetViewportExtEx(Handle, s.cx, s.cy, nullptr) != 0; }

    // Clipping.
    int SelectClipRgn(const TRegion& r) const { return ::SelectClipRgn(Handle, r); }
    int SelectClipRgn(std::nullptr_t) const { return ::SelectClipRgn(Handle, nullptr); }
    int IntersectClipRect(const TRect& r) const {
        return ::IntersectClipRect(Handle, r.left, r.top, r.right, r.bottom);
    }
    int ExcludeClipRect(const TRect& r) const {
        return ::ExcludeClipRect(Handle, r.left, r.top, r.right, r.bottom);
    }
    TRect GetClipBox() const;

    // Drawing.
    bool MoveTo(int x, int y) const { return ::MoveToEx(Handle, x, y, nullptr) != 0; }
    bool MoveTo(const TPoint& p) const { return MoveTo(p.x, p.y); }
    bool LineTo(int x, int y) const { return ::LineTo(Handle, x, y) != 0; }
    bool LineTo(const TPoint& p) const { return LineTo(p.x, p.y); }
    bool Polyline(const POINT* pts, int count) const { return ::Polyline(Handle, pts, count) != 0; }
    bool Polygon(const POINT* pts, int count) const { return ::Polygon(Handle, pts, count) != 0; }
    bool PolyBezier(const POINT* pts, int count) const {
        return ::PolyBezier(Handle, pts, static_cast<DWORD>(count)) != 0;
    }
    bool Rectangle(const TRect& r) const {
        return ::Rectangle(Handle, r.left, r.top, r.right, r.bottom) != 0;
    }
    bool Rectangle(int l, int t, int r, int b) const { return ::Rectangle(Handle, l, t, r, b) != 0; }
    bool Ellipse(const TRect& r) const { return ::Ellipse(Handle, r.left, r.top, r.right, r.bottom) != 0; }
    bool FillRect(const TRect& r, const TBrush& brush) const { return ::FillRect(Handle, &r, brush) != 0; }
    bool FillRect(const TRect& r, HBRUSH brush) const { return ::FillRect(Handle, &r, brush) != 0; }
    bool FrameRect(const TRect& r, const TBrush& brush) const { return ::FrameRect(Handle, &r, brush) != 0; }
    bool PatBlt(const TRect& r, DWORD rop = PATCOPY) const {
        return ::PatBlt(Handle, r.left, r.top, r.Width(), r.Height(), rop) != 0;
    }
    bool InvertRect(const TRect& r) const { return ::InvertRect(Handle, &r) != 0; }
    bool DrawFocusRect(const TRect& r) const { return ::DrawFocusRect(Handle, &r) != 0; }
    bool DrawEdge(const TRect& r, UINT edge, UINT flags) const {
        RECT rr = r;
        return ::DrawEdge(Handle, &rr, edge, flags) != 0;
    }
    bool DrawFrameControl(const TRect& r, UINT type, UINT state) const {
        RECT rr = r;
        return ::DrawFrameControl(Handle, &rr, type, state) != 0;
    }
    bool SetPixel(int x, int y, TColor c) const { return ::SetPixelV(Handle, x, y, c) != 0; }
    TColor GetPixel(int x, int y) const { return ::GetPixel(Handle, x, y); }
    bool BitBlt(const TRect& dst, const TDC& src, const TPoint& srcPt, DWORD rop = SRCCOPY) const {
        return ::BitBlt(Handle, dst.left, dst.top, dst.Width(), dst.Height(), src, srcPt.x, srcPt.y, rop) !=
               0;
    }
    bool StretchBlt(const TRect& dst, const TDC& src, const TRect& srcRect, DWORD rop = SRCCOPY) const {
        return ::StretchBlt(Handle, dst.left, dst.top, dst.Width(), dst.Height(), src, srcRect.left,
                            srcRect.top, srcRect.Width(), srcRect.Height(), rop) != 0;
    }

    // Paths.
    bool BeginPath() const { return ::BeginPath(Handle) != 0; }
    bool EndPath() const { return ::EndPath(Handle) != 0; }
    bool StrokeAndFillPath() const { return ::StrokeAndFillPath(Handle) != 0; }

    // Text.
    bool TextOut(int x, int y, const char* text, int count = -1) const;
    bool ExtTextOut(int x, int y, UINT options, const TRect* rect, const char* text, int count = -1) const;
    int DrawText(const char* text, int count, const TRect& rect, UINT format) const;
    TSize GetTextExtent(const char* text, int count = -1) const;
    bool GetTextMetrics(TEXTMETRICA& tm) const { return ::GetTextMetricsA(Handle, &tm) != 0; }
    std::string GetTextFace() const;
    bool GetCharWidth(UINT first, UINT last, int* widths) const {
        return ::GetCharWidth32A(Handle, first, last, widths) != 0;
    }

protected:
    TDC() = default;
    HDC Handle = nullptr;
    HGDIOBJ OrgPen = nullptr, OrgBrush = nullptr, OrgFont = nullptr, OrgBitmap = nullptr;
};

// The DC of a window's client area (GetDC / ReleaseDC).
class TClientDC : public TDC {
public:
    explicit TClientDC(HWND wnd);
    ~TClientDC() override;

private:
    HWND Wnd;
};

// The DC of a whole window, the non-client area included.
class TWindowDC : public TDC {
public:
    explicit TWindowDC(HWND wnd);
    ~TWindowDC() override;

protected:
    HWND Wnd;
};

// Draws over every window on the screen (drag frames).
class TScreenDC : public TWindowDC {
public:
    TScreenDC() : TWindowDC(nullptr) {}
};

// The DC of a paint: BeginPaint on construction, EndPaint on destruction.
class TPaintDC : public TDC {
public:
    explicit TPaintDC(HWND wnd);
    ~TPaintDC() override;
    PAINTSTRUCT Ps{};

private:
    HWND Wnd;
};

// A memory DC compatible with another (the screen when none), drawing into the bitmap selected into it.
class TMemoryDC : public TDC {
public:
    TMemoryDC();
    explicit TMemoryDC(const TDC& dc);
    TMemoryDC(const TDC& dc, const TBitmap& bitmap);
    ~TMemoryDC() override;
};

// A DC made from a device name (the display, an information context).
class TCreatedDC : public TDC {
public:
    TCreatedDC(const char* driver, const char* device = nullptr);
    explicit TCreatedDC(HDC owned) : TDC(owned) {}
    ~TCreatedDC() override;
};
