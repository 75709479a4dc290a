// The drawing side of windows: each top-level window has a back buffer (a cairo image surface) that its
// windows paint into through device contexts of the drawing layer; the backend shows the buffers. A screen
// overlay takes what is drawn on the screen DC (drag frames).
#include <cairo.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/gdi/gdi_surface.h"
#include "platform/wm/internal.h"
#include "platform/wm/scrollbar.h"
#include "platform/wm/surface.h"

namespace qsm::wm {
namespace {

struct DcInfo {
    HWND hwnd;    // null for the screen DC
    RECT bounds;  // in the surface's coordinates
};

std::unordered_map<HWND, cairo_surface_t*>& Buffers() {
    static auto* b = new std::unordered_map<HWND, cairo_surface_t*>();
    return *b;
}
std::unordered_map<HDC, DcInfo>& Dcs() {
    static auto* d = new std::unordered_map<HDC, DcInfo>();
    return *d;
}
cairo_surface_t* g_overlay = nullptr;
HBRUSH g_sys_brushes[31] = {};
HFONT g_gui_font = nullptr;

cairo_surface_t* NewBuffer(int wd, int ht) {
    // In the backend's memory where it shows that without a copy (blocks it gives are cleared and mapped in).
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, wd);
    void (*release)(void*) = nullptr;
    if (void* block = CurrentBackend().NewBufferBlock(
            static_cast<std::size_t>(stride) * static_cast<std::size_t>(ht), &release)) {
        static cairo_user_data_key_t key;
        cairo_surface_t* s = cairo_image_surface_create_for_data(static_cast<unsigned char*>(block),
                                                                 CAIRO_FORMAT_RGB24, wd, ht, stride);
        if (cairo_surface_set_user_data(s, &key, block, release) == CAIRO_STATUS_SUCCESS) return s;
        cairo_surface_destroy(s);
        if (release != nullptr) release(block);
    }
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, wd, ht);
    // The window paints all of it before it first shows.
    MapInForWriting(
        cairo_image_surface_get_data(s),
        static_cast<std::size_t>(cairo_image_surface_get_stride(s)) * static_cast<std::size_t>(ht));
    return s;
}

// The screen rectangle that holds every bit of the overlay that is not zero (empty: none).
RECT g_overlay_bounds{};

cairo_surface_t* Overlay() {
    SIZE s = CurrentBackend().ScreenSize();
    if (g_overlay != nullptr && (cairo_image_surface_get_width(g_overlay) != s.cx ||
                                 cairo_image_surface_get_height(g_overlay) != s.cy)) {
        cairo_surface_destroy(g_overlay);
        g_overlay = nullptr;
        g_overlay_bounds = RECT{};
    }
    if (g_overlay == nullptr) g_overlay = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, s.cx, s.cy);
    return g_overlay;
}

HRGN ToHrgn(const Region& r) {
    HRGN out = CreateRectRgn(0, 0, 0, 0);
    for (const RECT& x : r.Rects()) {
        HRGN piece = CreateRectRgn(x.left, x.top, x.right, x.bottom);
        CombineRgn(out, out, piece, RGN_OR);
        DeleteObject(piece);
    }
    return out;
}

// A window's rectangle in its top-level window's coordinates.
RECT InTop(const Window* w, bool client) {
    const Window* top = w;
    while (top->IsChild())
        top = top->parent;
    POINT t = ScreenOrigin(top);
    POINT o = client ? ClientOrigin(w) : ScreenOrigin(w);
    int wd = client ? w->client.right - w->client.left : w->rect.right - w->rect.left;
    int ht = client ? w->client.bottom - w->client.top : w->rect.bottom - w->rect.top;
    return RECT{o.x - t.x, o.y - t.y, o.x - t.x + wd, o.y - t.y + ht};
}

void SubtractHigherSiblings(Region& r, const Window* w) {
    if (!w->IsChild() || !(w->style & WS_CLIPSIBLINGS)) return;
    for (const Window* s : w->parent->children) {
        if (s == w) break;
        if (s->Visible()) r.Subtract(InTop(s, false));
    }
}

}  // namespace

void MapInForWriting(void* block, std::size_t bytes) {
#ifndef MADV_POPULATE_WRITE
    constexpr int MADV_POPULATE_WRITE = 23;
#endif
    if (block == nullptr || bytes == 0) return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    // Only whole pages of the block: the first and last may be shared with other blocks.
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(block) + page - 1) & ~(page - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(page - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}

cairo_surface_t* TopLevelSurface(HWND hwnd) {
    Window* w = W(hwnd);
    if (w == nullptr) return nullptr;
    Window* top = TopLevel(w);
    int wd = std::max(1, static_cast<int>(top->rect.right - top->rect.left));
    int ht = std::max(1, static_cast<int>(top->rect.bottom - top->rect.top));
    cairo_surface_t*& s = Buffers()[top->handle];
    if (s != nullptr && (cairo_image_surface_get_width(s) != wd || cairo_image_surface_get_height(s) != ht)) {
        cairo_surface_t* bigger = NewBuffer(wd, ht);
        cairo_t* cr = cairo_create(bigger);
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(s);
        s = bigger;
    }
    if (s == nullptr) s = NewBuffer(wd, ht);
    return s;
}

std::vector<std::pair<HWND, RECT>> HeldWindowDcs() {
    std::vector<std::pair<HWND, RECT>> held;
    for (const auto& [dc, info] : Dcs())
        if (info.hwnd != nullptr && IsWindow(info.hwnd)) held.emplace_back(info.hwnd, info.bounds);
    return held;
}

cairo_surface_t* ScreenOverlaySurface() {
    return g_overlay;
}

RECT ScreenOverlayBounds() {
    return g_overlay_bounds;
}

namespace {

// Which pages of the block from `first` are in memory or swapped out (bit 0 set), from the system's page map;
// every page where that cannot be told.
std::vector<unsigned char> TouchedPages(std::uintptr_t first, std::size_t pages, std::size_t page) {
    std::vector<unsigned char> touched(pages, 1);
    const int fd = open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return touched;
    std::vector<uint64_t> entries(pages);
    const auto bytes = static_cast<ssize_t>(pages * sizeof(uint64_t));
    if (pread(fd, entries.data(), static_cast<std::size_t>(bytes), static_cast<off_t>(first / page * 8)) ==
        bytes)
        for (std::size_t i = 0; i < pages; ++i)
            touched[i] = (entries[i] >> 62) != 0 ? 1 : 0;  // present or swapped
    close(fd);
    return touched;
}

// Finds the bounds of what the overlay holds after a drawing on it. Only the pages of the overlay that were
// ever mapped in can hold bits: a screen DC taken only to measure maps in none, and reading the others would
// map each in, which is slow on a loaded machine.
void MeasureOverlay() {
    g_overlay_bounds = RECT{};
    if (g_overlay == nullptr) return;
    cairo_surface_flush(g_overlay);
    const unsigned char* data = cairo_image_surface_get_data(g_overlay);
    const int wd = cairo_image_surface_get_width(g_overlay), ht = cairo_image_surface_get_height(g_overlay);
    const int stride = cairo_image_surface_get_stride(g_overlay);
    if (data == nullptr || wd <= 0 || ht <= 0) return;
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(data) & ~(page - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(data) + static_cast<std::size_t>(stride) * ht;
    const std::vector<unsigned char> in = TouchedPages(first, (end - first + page - 1) / page, page);
    RECT b{wd, ht, 0, 0};
    for (int y = 0; y < ht; ++y) {
        const auto row = reinterpret_cast<std::uintptr_t>(data + static_cast<std::ptrdiff_t>(y) * stride);
        const std::size_t p0 = (row - first) / page,
                          p1 = (row + static_cast<std::size_t>(wd) * 4 - 1 - first) / page;
        bool any = false;
        for (std::size_t p = p0; p <= p1 && !any; ++p)
            any = (in[p] & 1) != 0;
        if (!any) continue;
        const auto* px = reinterpret_cast<const uint32_t*>(row);
        for (int x = 0; x < wd; ++x)
            if ((px[x] & 0x00FFFFFFu) != 0) {
                b.left = std::min<LONG>(b.left, x);
                b.right = std::max<LONG>(b.right, x + 1);
                b.top = std::min<LONG>(b.top, y);
                b.bottom = y + 1;
            }
    }
    if (b.right > b.left) g_overlay_bounds = b;
}

}  // namespace

uint32_t XorScreenOverlay(uint32_t pixel, int x, int y) {
    if (g_overlay == nullptr || x < 0 || y < 0 || x >= cairo_image_surface_get_width(g_overlay) ||
        y >= cairo_image_surface_get_height(g_overlay))
        return pixel;
    const auto* row = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(g_overlay) +
                                                        y * cairo_image_surface_get_stride(g_overlay));
    return pixel ^ (row[x] & 0x00FFFFFFu);
}

void ForgetSurface(HWND top) {
    auto it = Buffers().find(top);
    if (it == Buffers().end()) return;
    cairo_surface_destroy(it->second);
    Buffers().erase(it);
}

HDC MakeWindowDc(Window* w, bool client, const Region* clip) {
    // A window that is not shown gets a DC that draws nowhere but measures text as any other.
    bool shown = ReallyVisible(w);
    cairo_surface_t* surface = TopLevelSurface(w->handle);
    HDC dc = qsm::gdi::CreateSurfaceDC(surface);
    if (dc == nullptr) return nullptr;
    RECT area = InTop(w, client);
    Region vis;
    if (!shown) {
        // Nothing is visible: the clip stays empty.
    } else if (clip != nullptr) {
        vis = *clip;
        vis.Offset(area.left, area.top);
        vis.Intersect(area);
    } else {
        vis.Add(area);
    }
    // Clipped by every ancestor's client area, by higher siblings where asked, and by children for windows
    // with WS_CLIPCHILDREN.
    for (const Window* a = w; a->IsChild(); a = a->parent) {
        vis.Intersect(InTop(a->parent, true));
        SubtractHigherSiblings(vis, a);
    }
    if (w->style & WS_CLIPCHILDREN) {
        for (const Window* c : w->children)
            if (c->Visible()) vis.Subtract(InTop(c, false));
    }
    qsm::gdi::SetDCOrigin(dc, area.left, area.top);
    HRGN rgn = ToHrgn(vis);
    qsm::gdi::SetDCSystemClip(dc, rgn);
    DeleteObject(rgn);
    Dcs()[dc] = DcInfo{TopLevel(w)->handle, vis.Bounds()};
    return dc;
}

HDC MakePaintDc(Window* w, const Region& clip) {
    return MakeWindowDc(w, true, &clip);
}

void PresentClientRect(Window* w, const RECT& client_rect) {
    Window* top = TopLevel(w);
    POINT o = ClientOrigin(w);
    POINT t = ScreenOrigin(top);
    RECT r = client_rect;
    OffsetRect(&r, o.x - t.x, o.y - t.y);
    CurrentBackend().Present(top->handle, r);
}

void ScrollPixels(Window* w, const RECT& client_rect, int dx, int dy) {
    cairo_surface_t* s = TopLevelSurface(w->handle);
    RECT area = InTop(w, true);
    RECT dst = client_rect;
    OffsetRect(&dst, area.left, area.top);
    int wd = dst.right - dst.left, ht = dst.bottom - dst.top;
    if (wd <= 0 || ht <= 0) return;
    cairo_surface_t* tmp = cairo_image_surface_create(CAIRO_FORMAT_RGB24, wd, ht);
    cairo_t* cr = cairo_create(tmp);
    cairo_set_source_surface(cr, s, -(dst.left - dx), -(dst.top - dy));
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cr = cairo_create(s);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_rectangle(cr, dst.left, dst.top, wd, ht);
    cairo_clip(cr);
    cairo_set_source_surface(cr, tmp, dst.left, dst.top);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(tmp);
    cairo_surface_mark_dirty(s);
    CurrentBackend().Present(TopLevel(w)->handle, dst);
}

HBRUSH RealBrush(HBRUSH brush) {
    auto v = reinterpret_cast<uintptr_t>(brush);
    if (v >= 1 && v <= 31) return GetSysColorBrush(static_cast<int>(v - 1));
    return brush;
}

void FillRectWithBrush(HDC dc, const RECT& r, HBRUSH brush) {
    if (dc == nullptr) return;
    FillRect(dc, &r, RealBrush(brush));
}

HBRUSH DefaultControlColor(HDC dc, UINT msg) {
    bool window = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
    if (dc != nullptr) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    return GetSysColorBrush(window ? COLOR_WINDOW : COLOR_BTNFACE);
}

void SysColorsChanged() {
    for (HBRUSH& b : g_sys_brushes) {
        if (b != nullptr) DeleteObject(b);
        b = nullptr;
    }
}

HFONT DefaultGuiFont() {
    if (g_gui_font == nullptr) g_gui_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    return g_gui_font;
}

namespace {

// `band` rings of FrameRect inside `r`, which then lies inside them: four strips where every ring is a ring
// (four fills cost less than a frame's outline), the rings one by one otherwise.
void FrameBand(HDC dc, RECT& r, int band, HBRUSH brush) {
    if (band <= 0) return;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w - 2 * (band - 1) > 2 && h - 2 * (band - 1) > 2) {
        const RECT strips[4] = {{r.left, r.top, r.right, r.top + band},
                                {r.left, r.bottom - band, r.right, r.bottom},
                                {r.left, r.top + band, r.left + band, r.bottom - band},
                                {r.right - band, r.top + band, r.right, r.bottom - band}};
        for (const RECT& s : strips)
            FillRect(dc, &s, brush);
        InflateRect(&r, -band, -band);
        return;
    }
    for (int i = 0; i < band; ++i) {
        FrameRect(dc, &r, brush);
        InflateRect(&r, -1, -1);
    }
}

}  // namespace

void PaintNonClient(Window* w) {
    RECT wr{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    if (EqualRect(&wr, &w->client)) return;  // no frame at all
    Region nc;
    nc.Add(wr);
    nc.Subtract(w->client);
    HDC dc = MakeWindowDc(w, false, &nc);
    if (dc == nullptr) return;
    RECT r = wr;
    bool thick = (w->style & WS_THICKFRAME) != 0;
    bool dlg = (w->style & WS_DLGFRAME) || (w->ex_style & WS_EX_DLGMODALFRAME);
    if (w->desktop_framed) {
        // The desktop draws the frame and the caption.
        r.left += w->desktop_frame.left;
        r.top += w->desktop_frame.top;
        r.right -= w->desktop_frame.right;
        r.bottom -= w->desktop_frame.bottom;
    } else if (thick || dlg) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
        int band = (thick ? GetSystemMetrics(SM_CXFRAME) : GetSystemMetrics(SM_CXDLGFRAME)) - 2;
        FrameBand(dc, r, band,
                  GetSysColorBrush(thick ? (w->nc_active ? COLOR_ACTIVEBORDER : COLOR_INACTIVEBORDER)
                                         : COLOR_BTNFACE));
    } else if (w->style & WS_BORDER) {
        FrameBand(dc, r, 1, GetSysColorBrush(COLOR_WINDOWFRAME));
    }
    if ((w->style & WS_CAPTION) == WS_CAPTION && !w->desktop_framed) {
        bool tool = (w->ex_style & WS_EX_TOOLWINDOW) != 0;
        int ch = GetSystemMetrics(tool ? SM_CYSMCAPTION : SM_CYCAPTION);
        RECT cap{r.left, r.top, r.right, r.top + ch - 1};
        FillRect(dc, &cap, GetSysColorBrush(w->nc_active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        RECT line{r.left, cap.bottom, r.right, cap.bottom + 1};
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNFACE));
        RECT text = cap;
        text.left += 4;
        if (w->style & WS_SYSMENU) {
            int bs = ch - 5;
            RECT close{cap.right - bs - 3, cap.top + 2, cap.right - 3, cap.top + 2 + bs};
            DrawFrameControl(dc, &close, DFC_CAPTION, DFCS_CAPTIONCLOSE);
            text.right = close.left - 2;
        }
        LOGFONTA lf{};
        lf.lfHeight = tool ? -9 : -11;
        lf.lfWeight = 700;
        strcpy(lf.lfFaceName, "Microsoft Sans Serif");
        HFONT font = CreateFontIndirectA(&lf);
        HGDIOBJ old = SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(w->nc_active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
        DrawTextA(dc, w->text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, old);
        DeleteObject(font);
        r.top += ch;
    }
    if (!(w->style & WS_CHILD) && w->menu != nullptr) {
        RECT bar{r.left, r.top, r.right, r.top + GetSystemMetrics(SM_CYMENU)};
        DrawMenuBar(w, dc, bar);
        r.top = bar.bottom;
    }
    if (w->ex_style & WS_EX_CLIENTEDGE) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (w->ex_style & WS_EX_STATICEDGE) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    RECT bar;
    if (w->style & WS_VSCROLL) {
        ScrollBarRects(w, SB_VERT, &bar);
        DrawScrollBar(dc, bar, w->vscroll, true, w->vscroll.disabled_arrows != ESB_DISABLE_BOTH);
    }
    if (w->style & WS_HSCROLL) {
        ScrollBarRects(w, SB_HORZ, &bar);
        DrawScrollBar(dc, bar, w->hscroll, false, w->hscroll.disabled_arrows != ESB_DISABLE_BOTH);
    }
    if ((w->style & WS_VSCROLL) && (w->style & WS_HSCROLL)) {
        RECT grip{w->client.right, w->client.bottom, w->client.right + GetSystemMetrics(SM_CXVSCROLL),
                  w->client.bottom + GetSystemMetrics(SM_CYHSCROLL)};
        FillRect(dc, &grip, GetSysColorBrush(COLOR_BTNFACE));
    }
    ReleaseDC(w->handle, dc);
}

void DrawScrollBar(HDC dc, const RECT& r, const ScrollState& s, bool vertical, bool enabled) {
    int length = vertical ? r.bottom - r.top : r.right - r.left;
    int thick = vertical ? r.right - r.left : r.bottom - r.top;
    ScrollGeometry g = ComputeScrollGeometry(s, length, thick);
    auto part = [&](int from, int to) {
        return vertical ? RECT{r.left, r.top + from, r.right, r.top + to}
                        : RECT{r.left + from, r.top, r.left + to, r.bottom};
    };
    RECT a1 = part(0, g.arrow), a2 = part(length - g.arrow, length), track = part(g.arrow, length - g.arrow);
    UINT dis = enabled ? 0 : DFCS_INACTIVE;
    DrawFrameControl(dc, &a1, DFC_SCROLL, (vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | dis);
    DrawFrameControl(dc, &a2, DFC_SCROLL, (vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | dis);
    FillRect(dc, &track, GetSysColorBrush(COLOR_3DLIGHT));
    if (enabled && g.thumb_size > 0) {
        RECT t = part(g.thumb_start, g.thumb_start + g.thumb_size);
        DrawEdge(dc, &t, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    }
}

bool SaveScreenPng(const char* path) {
    SIZE size = CurrentBackend().ScreenSize();
    cairo_surface_t* screen = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size.cx, size.cy);
    cairo_t* cr = cairo_create(screen);
    COLORREF bg = GetSysColor(COLOR_BACKGROUND);
    cairo_set_source_rgb(cr, GetRValue(bg) / 255.0, GetGValue(bg) / 255.0, GetBValue(bg) / 255.0);
    cairo_paint(cr);
    std::vector<Window*> tops = S().toplevels;
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        Window* t = *it;
        if (!t->Visible()) continue;
        cairo_set_source_surface(cr, TopLevelSurface(t->handle), t->rect.left, t->rect.top);
        cairo_paint(cr);
    }
    cairo_destroy(cr);
    if (g_overlay != nullptr) {
        cairo_surface_flush(g_overlay);
        cairo_surface_flush(screen);
        unsigned char* data = cairo_image_surface_get_data(screen);
        int stride = cairo_image_surface_get_stride(screen);
        for (int y = 0; y < size.cy; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
            for (int x = 0; x < size.cx; ++x)
                row[x] = XorScreenOverlay(row[x], x, y);
        }
        cairo_surface_mark_dirty(screen);
    }
    bool ok = cairo_surface_write_to_png(screen, path) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(screen);
    return ok;
}

void ResetSurfaces() {
    for (auto& [h, s] : Buffers())
        cairo_surface_destroy(s);
    Buffers().clear();
    if (g_overlay != nullptr) cairo_surface_destroy(g_overlay);
    g_overlay = nullptr;
    g_overlay_bounds = RECT{};
}

}  // namespace qsm::wm

using namespace qsm::wm;

HBRUSH GetSysColorBrush(int index) {
    if (index < 0 || index >= 31) return nullptr;
    HBRUSH& b = g_sys_brushes[index];
    if (b == nullptr) b = CreateSolidBrush(GetSysColor(index));
    return b;
}

HDC GetDC(HWND hwnd) {
    if (hwnd == nullptr) {
        HDC dc = qsm::gdi::CreateSurfaceDC(Overlay());
        SIZE s = CurrentBackend().ScreenSize();
        Dcs()[dc] = DcInfo{nullptr, RECT{0, 0, s.cx, s.cy}};
        return dc;
    }
    Window* w = W(hwnd);
    return w != nullptr ? MakeWindowDc(w, true, nullptr) : nullptr;
}

HDC GetWindowDC(HWND hwnd) {
    if (hwnd == nullptr) return GetDC(nullptr);
    Window* w = W(hwnd);
    return w != nullptr ? MakeWindowDc(w, false, nullptr) : nullptr;
}

HDC GetDCEx(HWND hwnd, HRGN, DWORD) {
    return GetDC(hwnd);
}

int ReleaseDC(HWND, HDC dc) {
    if (dc == nullptr) return 0;
    auto it = Dcs().find(dc);
    if (it == Dcs().end()) return 0;
    DcInfo info = it->second;
    Dcs().erase(it);
    DeleteDC(dc);
    if (info.hwnd != nullptr && IsWindow(info.hwnd)) {
        cairo_surface_mark_dirty(TopLevelSurface(info.hwnd));
        CurrentBackend().Present(info.hwnd, info.bounds);
    } else if (info.hwnd == nullptr) {
        // Only what changed on the screen is shown again: the pixels the overlay held before or holds now
        // (a DC taken only to measure or to make others leaves both empty).
        const RECT before = g_overlay_bounds;
        MeasureOverlay();
        RECT changed;
        UnionRect(&changed, &before, &g_overlay_bounds);
        if (IntersectRect(&changed, &changed, &info.bounds)) CurrentBackend().Present(nullptr, changed);
    }
    return 1;
}
