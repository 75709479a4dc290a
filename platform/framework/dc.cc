#include "platform/framework/dc.h"

#include <cstring>

TGdiObject::~TGdiObject() {
    if (ShouldDelete && Handle) DeleteObject(Handle);
}

HGDIOBJ TGdiObject::Release() {
    ShouldDelete = false;
    return Handle;
}

TPen::TPen(TColor color, int width, int style) : TGdiObject(CreatePen(style, width, color), true) {}
TPen::TPen(const LOGPEN& pen) : TGdiObject(CreatePenIndirect(&pen), true) {}
TPen::TPen(DWORD style, DWORD width, const LOGBRUSH& brush)
    : TGdiObject(ExtCreatePen(style, width, &brush, 0, nullptr), true) {}

TBrush::TBrush(TColor color) : TGdiObject(CreateSolidBrush(color), true) {}
TBrush::TBrush(const LOGBRUSH& brush) : TGdiObject(CreateBrushIndirect(&brush), true) {}

TFont::TFont(const char* face, int height, int width, int escapement, int orientation, int weight,
             BYTE pitchAndFamily, BYTE italic, BYTE underline, BYTE strikeout, BYTE charSet,
             BYTE outputPrecision, BYTE clipPrecision, BYTE quality)
    : TGdiObject(CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeout,
                             charSet, outputPrecision, clipPrecision, quality, pitchAndFamily, face),
                 true) {}
TFont::TFont(const LOGFONTA& font) : TGdiObject(CreateFontIndirectA(&font), true) {}

LOGFONTA TFont::GetObject() const {
    LOGFONTA lf{};
    GetObjectA(Handle, sizeof lf, &lf);
    return lf;
}

int TFont::GetHeight() const {
    return GetObject().lfHeight;
}

TBitmap::TBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits)
    : TGdiObject(CreateBitmap(width, height, planes, bitCount, bits), true) {}
TBitmap::TBitmap(HDC dc, int width, int height)
    : TGdiObject(CreateCompatibleBitmap(dc, width, height), true) {}

int TBitmap::Width() const {
    BITMAP bm{};
    GetObjectA(Handle, sizeof bm, &bm);
    return bm.bmWidth;
}

int TBitmap::Height() const {
    BITMAP bm{};
    GetObjectA(Handle, sizeof bm, &bm);
    return bm.bmHeight;
}

TRegion::TRegion() : TGdiObject(CreateRectRgn(0, 0, 0, 0), true) {}
TRegion::TRegion(const TRect& rect) : TGdiObject(CreateRectRgnIndirect(&rect), true) {}
bool TRegion::Contains(const TPoint& p) const {
    return PtInRegion(*this, p.x, p.y) != 0;
}
TRegion& TRegion::operator-=(const TRegion& other) {
    CombineRgn(*this, *this, other, RGN_DIFF);
    return *this;
}
TRegion& TRegion::operator|=(const TRegion& other) {
    CombineRgn(*this, *this, other, RGN_OR);
    return *this;
}
TRegion& TRegion::operator&=(const TRegion& other) {
    CombineRgn(*this, *this, other, RGN_AND);
    return *this;
}
TRect TRegion::GetRgnBox() const {
    TRect r;
    ::GetRgnBox(*this, &r);
    return r;
}

// ---- TDC ----

TDC::~TDC() {
    RestoreObjects();
}

namespace {
void Remember(HGDIOBJ& org, HGDIOBJ previous) {
    if (!org) org = previous;
}
}  // namespace

void TDC::SelectObject(const TPen& pen) {
    Remember(OrgPen, ::SelectObject(Handle, pen.GetHandle()));
}
void TDC::SelectObject(const TBrush& brush) {
    Remember(OrgBrush, ::SelectObject(Handle, brush.GetHandle()));
}
void TDC::SelectObject(const TFont& font) {
    Remember(OrgFont, ::SelectObject(Handle, font.GetHandle()));
}
void TDC::SelectObject(const TBitmap& bitmap) {
    Remember(OrgBitmap, ::SelectObject(Handle, bitmap.GetHandle()));
}

void TDC::SelectStockObject(int index) {
    HGDIOBJ obj = GetStockObject(index);
    HGDIOBJ previous = ::SelectObject(Handle, obj);
    switch (GetObjectType(obj)) {
        case OBJ_PEN:
        case OBJ_EXTPEN:
            Remember(OrgPen, previous);
            break;
        case OBJ_BRUSH:
            Remember(OrgBrush, previous);
            break;
        case OBJ_FONT:
            Remember(OrgFont, previous);
            break;
        default:
            break;
    }
}

void TDC::RestorePen() {
    if (OrgPen) ::SelectObject(Handle, OrgPen);
    OrgPen = nullptr;
}
void TDC::RestoreBrush() {
    if (OrgBrush) ::SelectObject(Handle, OrgBrush);
    OrgBrush = nullptr;
}
void TDC::RestoreFont() {
    if (OrgFont) ::SelectObject(Handle, OrgFont);
    OrgFont = nullptr;
}
void TDC::RestoreBitmap() {
    if (OrgBitmap) ::SelectObject(Handle, OrgBitmap);
    OrgBitmap = nullptr;
}
void TDC::RestoreObjects() {
    if (!Handle) return;
    RestorePen();
    RestoreBrush();
    RestoreFont();
    RestoreBitmap();
}

TRect TDC::GetClipBox() const {
    TRect r;
    ::GetClipBox(Handle, &r);
    return r;
}

namespace {
int Count(const char* text, int count) {
    return count >= 0 ? count : (text ? static_cast<int>(strlen(text)) : 0);
}
}  // namespace

bool TDC::TextOut(int x, int y, const char* text, int count) const {
    return ::TextOutA(Handle, x, y, text, Count(text, count)) != 0;
}

bool TDC::ExtTextOut(int x, int y, UINT options, const TRect* rect, const char* text, int count) const {
    return ::ExtTextOutA(Handle, x, y, options, rect, text, static_cast<UINT>(Count(text, count)), nullptr) !=
           0;
}

int TDC::DrawText(const char* text, int count, const TRect& rect, UINT format) const {
    RECT r = rect;
    return ::DrawTextA(Handle, text, count, &r, format);
}

TSize TDC::GetTextExtent(const char* text, int count) const {
    SIZE s{0, 0};
    ::GetTextExtentPoint32A(Handle, text, Count(text, count), &s);
    return s;
}

std::string TDC::GetTextFace() const {
    char face[LF_FACESIZE] = {};
    ::GetTextFaceA(Handle, LF_FACESIZE, face);
    return face;
}

// ---- DCs of windows and memory ----

TClientDC::TClientDC(HWND wnd) : TDC(GetDC(wnd)), Wnd(wnd) {}
TClientDC::~TClientDC() {
    RestoreObjects();
    ReleaseDC(Wnd, Handle);
    Handle = nullptr;
}

TWindowDC::TWindowDC(HWND wnd) : TDC(GetWindowDC(wnd)), Wnd(wnd) {}
TWindowDC::~TWindowDC() {
    RestoreObjects();
    ReleaseDC(Wnd, Handle);
    Handle = nullptr;
}

TPaintDC::TPaintDC(HWND wnd) : Wnd(wnd) {
    Handle = BeginPaint(wnd, &Ps);
}
TPaintDC::~TPaintDC() {
    RestoreObjects();
    EndPaint(Wnd, &Ps);
    Handle = nullptr;
}

TMemoryDC::TMemoryDC() : TDC(CreateCompatibleDC(nullptr)) {}
TMemoryDC::TMemoryDC(const TDC& dc) : TDC(CreateCompatibleDC(dc)) {}
TMemoryDC::TMemoryDC(const TDC& dc, const TBitmap& bitmap) : TDC(CreateCompatibleDC(dc)) {
    SelectObject(bitmap);
}
TMemoryDC::~TMemoryDC() {
    RestoreObjects();
    DeleteDC(Handle);
    Handle = nullptr;
}

TCreatedDC::TCreatedDC(const char* driver, const char* device)
    : TDC(CreateDCA(driver, device, nullptr, nullptr)) {}
TCreatedDC::~TCreatedDC() {
    RestoreObjects();
    DeleteDC(Handle);
    Handle = nullptr;
}
