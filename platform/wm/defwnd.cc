// Default window behaviour: DefWindowProcA, the non-client area (frames, caption, scroll bars, hit codes),
// moving and sizing by the frame, system metrics and system colours.
#include <algorithm>
#include <cstring>

#include "platform/wm/internal.h"

namespace qsm::wm {

namespace {

constexpr COLORREF kDefaultColors[31] = {
    RGB(0xC0, 0xC0, 0xC0), RGB(0x00, 0x80, 0x80), RGB(0x00, 0x00, 0x80), RGB(0x80, 0x80, 0x80),
    RGB(0xC0, 0xC0, 0xC0), RGB(0xFF, 0xFF, 0xFF), RGB(0x00, 0x00, 0x00), RGB(0x00, 0x00, 0x00),
    RGB(0x00, 0x00, 0x00), RGB(0xFF, 0xFF, 0xFF), RGB(0xC0, 0xC0, 0xC0), RGB(0xC0, 0xC0, 0xC0),
    RGB(0x80, 0x80, 0x80), RGB(0x00, 0x00, 0x80), RGB(0xFF, 0xFF, 0xFF), RGB(0xC0, 0xC0, 0xC0),
    RGB(0x80, 0x80, 0x80), RGB(0x80, 0x80, 0x80), RGB(0x00, 0x00, 0x00), RGB(0xC0, 0xC0, 0xC0),
    RGB(0xFF, 0xFF, 0xFF), RGB(0x00, 0x00, 0x00), RGB(0xDF, 0xDF, 0xDF), RGB(0x00, 0x00, 0x00),
    RGB(0xFF, 0xFF, 0xE1), RGB(0xB5, 0xB5, 0xB5), RGB(0x00, 0x00, 0xFF), RGB(0x10, 0x84, 0xD0),
    RGB(0xB5, 0xB5, 0xB5), RGB(0x00, 0x00, 0x80), RGB(0xC0, 0xC0, 0xC0)};

bool HasCaption(const Window* w) {
    return (w->style & WS_CAPTION) == WS_CAPTION;
}
bool HasMenuBar(const Window* w) {
    return !(w->style & WS_CHILD) && w->menu != nullptr;
}

int FrameWidth(const Window* w) {
    if (w->style & WS_THICKFRAME) return GetSystemMetrics(SM_CXFRAME);
    if ((w->style & WS_DLGFRAME) || (w->ex_style & WS_EX_DLGMODALFRAME))
        return GetSystemMetrics(SM_CXDLGFRAME);
    if (w->style & WS_BORDER) return GetSystemMetrics(SM_CXBORDER);
    return 0;
}

int CaptionHeight(const Window* w) {
    if (!HasCaption(w)) return 0;
    return (w->ex_style & WS_EX_TOOLWINDOW) ? GetSystemMetrics(SM_CYSMCAPTION)
                                            : GetSystemMetrics(SM_CYCAPTION);
}

int EdgeWidth(const Window* w) {
    int e = 0;
    if (w->ex_style & WS_EX_CLIENTEDGE) e += GetSystemMetrics(SM_CXEDGE);
    if (w->ex_style & WS_EX_STATICEDGE) e += GetSystemMetrics(SM_CXBORDER);
    return e;
}

// The application command a media or browser key gives; 0 for other keys.
int AppCommandOfKey(WPARAM vk) {
    switch (vk) {
        case VK_BROWSER_BACK:
            return APPCOMMAND_BROWSER_BACKWARD;
        case VK_BROWSER_FORWARD:
            return APPCOMMAND_BROWSER_FORWARD;
        case VK_BROWSER_HOME:
            return APPCOMMAND_BROWSER_HOME;
        case VK_MEDIA_NEXT_TRACK:
            return APPCOMMAND_MEDIA_NEXTTRACK;
        case VK_MEDIA_PREV_TRACK:
            return APPCOMMAND_MEDIA_PREVIOUSTRACK;
        case VK_MEDIA_STOP:
            return APPCOMMAND_MEDIA_STOP;
        case VK_MEDIA_PLAY_PAUSE:
            return APPCOMMAND_MEDIA_PLAY_PAUSE;
        default:
            return 0;
    }
}

}  // namespace

void DecideDesktopFrame(Window* w) {
    w->desktop_frame = RECT{};
    w->desktop_framed =
        !(w->style & WS_CHILD) && CurrentBackend().DesktopFrame(w->style, w->ex_style, &w->desktop_frame);
}

RECT FrameInsets(const Window* w) {
    if (w->desktop_framed) return w->desktop_frame;
    int f = FrameWidth(w);
    return RECT{f, f + CaptionHeight(w), f, f};
}

RECT DefaultNcCalc(const Window* w, RECT r) {
    RECT in = FrameInsets(w);
    r.left += in.left;
    r.top += in.top;
    r.right -= in.right;
    r.bottom -= in.bottom;
    if (HasMenuBar(w)) r.top += GetSystemMetrics(SM_CYMENU);
    int e = EdgeWidth(w);
    InflateRect(&r, -e, -e);
    if (w->style & WS_VSCROLL) r.right -= GetSystemMetrics(SM_CXVSCROLL);
    if (w->style & WS_HSCROLL) r.bottom -= GetSystemMetrics(SM_CYHSCROLL);
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

// Rectangles of the non-client parts, in window coordinates.
struct NcLayout {
    RECT caption{}, close{}, sysmenu{}, menubar{}, vscroll{}, hscroll{}, grip{};
};

static NcLayout Layout(const Window* w) {
    NcLayout l;
    int width = w->rect.right - w->rect.left;
    RECT in = FrameInsets(w);
    int f = in.left;
    int top = in.top;
    // The desktop draws the caption of a window it frames.
    if (int ch = w->desktop_framed ? 0 : CaptionHeight(w)) {
        l.caption = RECT{f, f, width - f, f + ch - 1};
        if (w->style & WS_SYSMENU) {
            int bs = ch - 4;
            l.close = RECT{l.caption.right - bs - 2, l.caption.top + 2, l.caption.right - 2,
                           l.caption.top + 2 + bs};
            if (!(w->ex_style & WS_EX_TOOLWINDOW)) l.sysmenu = RECT{f, f, f + ch - 1, f + ch - 1};
        }
    }
    if (HasMenuBar(w)) {
        l.menubar = RECT{f, top, width - in.right, top + GetSystemMetrics(SM_CYMENU)};
    }
    const RECT& c = w->client;
    if (w->style & WS_VSCROLL)
        l.vscroll = RECT{c.right, c.top, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
    if (w->style & WS_HSCROLL)
        l.hscroll = RECT{c.left, c.bottom, c.right, c.bottom + GetSystemMetrics(SM_CYHSCROLL)};
    if ((w->style & WS_VSCROLL) && (w->style & WS_HSCROLL))
        l.grip = RECT{l.vscroll.left, l.hscroll.top, l.vscroll.right, l.hscroll.bottom};
    return l;
}

void ScrollBarRects(const Window* w, int bar, RECT* whole) {
    NcLayout l = Layout(w);
    *whole = bar == SB_VERT ? l.vscroll : l.hscroll;
}

LRESULT DefaultNcHitTest(Window* w, POINT screen) {
    RECT wr = ScreenRect(w);
    if (!PtInRect(&wr, screen)) return HTNOWHERE;
    POINT p{screen.x - wr.left, screen.y - wr.top};
    if (PtInRect(&w->client, p)) return HTCLIENT;
    NcLayout l = Layout(w);
    if (PtInRect(&l.vscroll, p)) return HTVSCROLL;
    if (PtInRect(&l.hscroll, p)) return HTHSCROLL;
    if (PtInRect(&l.grip, p)) return (w->style & WS_THICKFRAME) ? HTBOTTOMRIGHT : HTSIZE;
    if (PtInRect(&l.menubar, p)) return HTMENU;
    if (PtInRect(&l.close, p)) return HTCLOSE;
    if (PtInRect(&l.sysmenu, p)) return HTSYSMENU;
    if (PtInRect(&l.caption, p)) return HTCAPTION;
    // What the desktop's frame covers: its caption and its edges.
    if (w->desktop_framed) return p.y < w->desktop_frame.top ? HTCAPTION : HTBORDER;
    int width = wr.right - wr.left, height = wr.bottom - wr.top;
    if (w->style & WS_THICKFRAME) {
        int f = GetSystemMetrics(SM_CXFRAME);
        int corner = GetSystemMetrics(SM_CYCAPTION);
        bool left = p.x < f, right = p.x >= width - f, top = p.y < f, bottom = p.y >= height - f;
        bool near_left = p.x < corner, near_right = p.x >= width - corner;
        bool near_top = p.y < corner, near_bottom = p.y >= height - corner;
        if ((top && near_left) || (left && near_top)) return HTTOPLEFT;
        if ((top && near_right) || (right && near_top)) return HTTOPRIGHT;
        if ((bottom && near_left) || (left && near_bottom)) return HTBOTTOMLEFT;
        if ((bottom && near_right) || (right && near_bottom)) return HTBOTTOMRIGHT;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
        if (top) return HTTOP;
        if (bottom) return HTBOTTOM;
    }
    return HTBORDER;
}

// Moves or sizes a top-level window with the pointer until the button is released. The loop reads the
// pointer messages of this thread itself, as the system's own move and size loop does, and follows the
// pointer as each message saw it (from `start`, where the press was): pointer messages queued before the
// capture was taken, client or non-client ones, count as well.

static void TrackMoveSize(Window* w, LRESULT hit, POINT start) {
    HWND hwnd = w->handle;
    if (w->IsChild() || w->maximized) return;
    RECT r0 = w->rect;
    MINMAXINFO mmi{};
    SIZE screen = CurrentBackend().ScreenSize();
    mmi.ptMaxTrackSize = POINT{screen.cx * 2, screen.cy * 2};
    mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    Call(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    SetCapture(hwnd);
    MSG m;
    while (IsWindow(hwnd) && GetCapture() == hwnd) {
        if (!GetMessageA(&m, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) {
            SetWindowPos(hwnd, nullptr, r0.left, r0.top, r0.right - r0.left, r0.bottom - r0.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        }
        if (!IsPointerMove(m.message) && !IsLeftRelease(m.message)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
            continue;
        }
        POINT p = m.pt;
        int dx = p.x - start.x, dy = p.y - start.y;
        RECT r = r0;
        if (hit == HTCAPTION) {
            OffsetRect(&r, dx, dy);
        } else {
            if (hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT) r.left += dx;
            if (hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT) r.right += dx;
            if (hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT) r.top += dy;
            if (hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT) r.bottom += dy;
            int wdt = std::clamp<int>(r.right - r.left, mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x);
            int hgt = std::clamp<int>(r.bottom - r.top, mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y);
            if (r.left != r0.left)
                r.left = r.right - wdt;
            else
                r.right = r.left + wdt;
            if (r.top != r0.top)
                r.top = r.bottom - hgt;
            else
                r.bottom = r.top + hgt;
        }
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (IsLeftRelease(m.message)) break;
    }
    if (GetCapture() == hwnd) ReleaseCapture();
}

// Waits for the release of a press on a non-client button; true when released over the same part.
static bool TrackNcButton(Window* w, LRESULT part) {
    HWND hwnd = w->handle;
    SetCapture(hwnd);
    bool inside = true;
    MSG m;
    while (IsWindow(hwnd) && GetCapture() == hwnd) {
        if (!GetMessageA(&m, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (IsPointerMove(m.message) || IsLeftRelease(m.message)) {
            inside = DefaultNcHitTest(w, m.pt) == part;
            if (IsLeftRelease(m.message)) break;
            continue;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    if (GetCapture() == hwnd) ReleaseCapture();
    return inside && IsWindow(hwnd);
}

static HCURSOR SizeCursor(LRESULT hit) {
    switch (hit) {
        case HTLEFT:
        case HTRIGHT:
            return LoadCursorA(nullptr, IDC_SIZEWE);
        case HTTOP:
        case HTBOTTOM:
            return LoadCursorA(nullptr, IDC_SIZENS);
        case HTTOPLEFT:
        case HTBOTTOMRIGHT:
            return LoadCursorA(nullptr, IDC_SIZENWSE);
        case HTTOPRIGHT:
        case HTBOTTOMLEFT:
            return LoadCursorA(nullptr, IDC_SIZENESW);
        default:
            return nullptr;
    }
}

void PaintNonClient(Window* w);              // paint.cc
void MenuBarClick(Window* w, POINT screen);  // menu.cc
bool MenuBarKey(Window* w, char c);          // menu.cc

}  // namespace qsm::wm

using namespace qsm::wm;

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    Window* w = W(hwnd);
    if (w == nullptr) return 0;
    switch (msg) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<CREATESTRUCTA*>(lparam);
            if (cs != nullptr && cs->lpszName != nullptr && !IS_INTRESOURCE(cs->lpszName))
                w->text = cs->lpszName;
            return TRUE;
        }
        case WM_NCCALCSIZE: {
            auto* r = reinterpret_cast<RECT*>(lparam);
            if (r != nullptr) {
                RECT out = DefaultNcCalc(w, *r);
                *r = out;
            }
            return 0;
        }
        case WM_NCHITTEST:
            return DefaultNcHitTest(w, POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
        case WM_NCPAINT:
            PaintNonClient(w);
            return 0;
        case WM_NCACTIVATE:
            // The caption and the sizing border show whether the window is active; they are drawn anew
            // when that changes.
            if (!w->IsChild() && w->nc_active != (wparam != 0)) {
                w->nc_active = wparam != 0;
                if (HasCaption(w) || (w->style & WS_THICKFRAME)) {
                    w->nc_pending = true;
                    UpdatePaintFlag(w);
                }
            }
            return TRUE;
        case WM_ACTIVATE:
            if (LOWORD(wparam) != WA_INACTIVE && !HIWORD(wparam)) SetFocus(hwnd);
            return 0;
        case WM_MOUSEACTIVATE:
            if (w->IsChild()) {
                LRESULT r = SendMessageA(w->parent->handle, WM_MOUSEACTIVATE, wparam, lparam);
                if (r != 0) return r;
            }
            return MA_ACTIVATE;
        case WM_SETCURSOR: {
            if (w->IsChild() && SendMessageA(w->parent->handle, WM_SETCURSOR, wparam, lparam)) return TRUE;
            LRESULT hit = static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lparam)));
            if (hit == HTERROR) {
                WORD m = HIWORD(static_cast<DWORD_PTR>(lparam));
                if (m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN) MessageBeep(0);
                return FALSE;
            }
            if (hit == HTCLIENT) {
                // Asked on behalf of a child, a window leaves the child's client area to the child's cursor.
                if (reinterpret_cast<HWND>(wparam) != hwnd) return FALSE;
                if (w->cls->cursor != nullptr) {
                    SetCursor(w->cls->cursor);
                    return TRUE;
                }
                return FALSE;
            }
            if (HCURSOR c = (w->style & WS_THICKFRAME) ? SizeCursor(hit) : nullptr) {
                SetCursor(c);
                return TRUE;
            }
            SetCursor(LoadCursorA(nullptr, IDC_ARROW));
            return FALSE;
        }
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            switch (wparam & 0xFFF0) {
                case SC_CLOSE:
                    SendMessageA(hwnd, WM_CLOSE, 0, 0);
                    break;
                case SC_MINIMIZE:
                    ShowWindow(hwnd, SW_MINIMIZE);
                    break;
                case SC_MAXIMIZE:
                    ShowWindow(hwnd, SW_MAXIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(hwnd, SW_RESTORE);
                    break;
                case SC_MOVE:
                    TrackMoveSize(w, HTCAPTION, S().cursor);
                    break;
                case SC_SIZE:
                    TrackMoveSize(w, static_cast<LRESULT>(wparam & 0x000F) + HTLEFT - 1, S().cursor);
                    break;
                default:
                    break;
            }
            return 0;
        case WM_NCLBUTTONDOWN: {
            LRESULT hit = static_cast<LRESULT>(wparam);
            POINT pt{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            Window* top = TopLevel(w);
            if (hit == HTCAPTION && !w->IsChild()) {
                TrackMoveSize(w, HTCAPTION, pt);
            } else if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
                // A child answering a sizing code (a size grip) sizes its top-level window.
                Window* target = (top->style & WS_THICKFRAME) ? top : nullptr;
                if (target != nullptr && !target->maximized) TrackMoveSize(target, hit, pt);
            } else if (hit == HTCLOSE) {
                if (TrackNcButton(w, HTCLOSE)) PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, PackLParam(pt));
            } else if (hit == HTVSCROLL || hit == HTHSCROLL) {
                NcScrollClick(w, hit == HTVSCROLL ? SB_VERT : SB_HORZ, pt);
            } else if (hit == HTMENU) {
                MenuBarClick(w, pt);
            }
            return 0;
        }
        case WM_NCLBUTTONDBLCLK:
            if (wparam == HTCAPTION && !w->IsChild() && (w->style & WS_MAXIMIZEBOX) &&
                (w->style & WS_THICKFRAME))
                ShowWindow(hwnd, w->maximized ? SW_RESTORE : SW_MAXIMIZE);
            else if (wparam == HTVSCROLL || wparam == HTHSCROLL)
                NcScrollClick(w, wparam == HTVSCROLL ? SB_VERT : SB_HORZ,
                              POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
            return 0;
        case WM_SYSKEYDOWN:
            if (wparam == VK_F4 && (GetKeyState(VK_MENU) & 0x8000))
                PostMessageA(TopLevel(w)->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
            [[fallthrough]];
        case WM_KEYDOWN:
            // The media and browser keys are application commands of the window that has them.
            if (int command = AppCommandOfKey(wparam))
                SendMessageA(hwnd, WM_APPCOMMAND, reinterpret_cast<WPARAM>(hwnd),
                             MAKELPARAM(0, static_cast<WORD>(command | FAPPCOMMAND_KEY)));
            return 0;
        case WM_XBUTTONUP: {
            // The mouse's side buttons go back and forward.
            int command = GET_XBUTTON_WPARAM(wparam) == XBUTTON1 ? APPCOMMAND_BROWSER_BACKWARD
                                                                 : APPCOMMAND_BROWSER_FORWARD;
            SendMessageA(hwnd, WM_APPCOMMAND, reinterpret_cast<WPARAM>(hwnd),
                         MAKELPARAM(0, static_cast<WORD>(command | FAPPCOMMAND_MOUSE)));
            return TRUE;
        }
        case WM_SYSCHAR:
            // Alt and a letter open the top-level window's menu bar at the item with that mnemonic.
            if ((GetKeyState(VK_MENU) & 0x8000) && !MenuBarKey(TopLevel(w), static_cast<char>(wparam)))
                MessageBeep(0);
            return 0;
        case WM_SETTEXT: {
            auto* text = reinterpret_cast<LPCSTR>(lparam);
            w->text = text != nullptr ? text : "";
            if (!w->IsChild()) {
                CurrentBackend().TopLevelTitle(hwnd, w->text.c_str());
                if (HasCaption(w)) {
                    w->nc_pending = true;
                    UpdatePaintFlag(w);
                }
            }
            return TRUE;
        }
        case WM_GETTEXT: {
            auto* buf = reinterpret_cast<LPSTR>(lparam);
            if (buf == nullptr || wparam == 0) return 0;
            size_t n = std::min(w->text.size(), static_cast<size_t>(wparam) - 1);
            memcpy(buf, w->text.data(), n);
            buf[n] = 0;
            return static_cast<LRESULT>(n);
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return EraseBackground(w, reinterpret_cast<HDC>(wparam)) ? 1 : 0;
        case WM_WINDOWPOSCHANGED: {
            auto* pos = reinterpret_cast<WINDOWPOS*>(lparam);
            if (pos == nullptr) return 0;
            if (!(pos->flags & SWP_NOMOVE) || (pos->flags & SWP_FRAMECHANGED)) {
                POINT co{w->rect.left + w->client.left, w->rect.top + w->client.top};
                Call(w, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(co.x), static_cast<WORD>(co.y)));
            }
            if (!(pos->flags & SWP_NOSIZE) || (pos->flags & SWP_FRAMECHANGED)) {
                WPARAM kind = w->minimized ? SIZE_MINIMIZED : w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
                if (W(hwnd) != nullptr)
                    Call(w, WM_SIZE, kind,
                         MAKELPARAM(static_cast<WORD>(w->client.right - w->client.left),
                                    static_cast<WORD>(w->client.bottom - w->client.top)));
            }
            return 0;
        }
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(DefaultControlColor(reinterpret_cast<HDC>(wparam), msg));
        case WM_MOUSEWHEEL:
        case WM_APPCOMMAND:
            if (w->IsChild()) return SendMessageA(w->parent->handle, msg, wparam, lparam);
            return 0;
        case WM_CONTEXTMENU:
            if (w->IsChild()) SendMessageA(w->parent->handle, msg, wparam, lparam);
            return 0;
        case WM_RBUTTONUP: {
            POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            ClientToScreen(hwnd, &p);
            SendMessageA(hwnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd), PackLParam(p));
            return 0;
        }
        case WM_DROPFILES:
            DragFinish(reinterpret_cast<HDROP>(wparam));
            return 0;
        case WM_SETREDRAW:
            if (wparam) {
                w->style |= WS_VISIBLE;
            } else {
                w->style &= ~WS_VISIBLE;
            }
            return 0;
        case WM_CANCELMODE:
            if (GetCapture() == hwnd) ReleaseCapture();
            return 0;
        case WM_SHOWWINDOW:
        case WM_GETDLGCODE:
        default:
            return 0;
    }
}

// ---- system metrics and colours ----

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CXFULLSCREEN:
        case SM_CXVIRTUALSCREEN:
        case SM_CXMAXIMIZED:
            return CurrentBackend().ScreenSize().cx;
        case SM_CYSCREEN:
        case SM_CYVIRTUALSCREEN:
        case SM_CYMAXIMIZED:
            return CurrentBackend().ScreenSize().cy;
        case SM_CYFULLSCREEN:
            return CurrentBackend().ScreenSize().cy - 19;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
        case SM_CYVSCROLL:
        case SM_CXHSCROLL:
        case SM_CYVTHUMB:
        case SM_CXHTHUMB:
            return 16;
        case SM_CYCAPTION:
            return 19;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        case SM_CYMENU:
            return 19;
        case SM_CXMIN:
            return 112;
        case SM_CYMIN:
            return 27;
        case SM_CXSIZE:
        case SM_CYSIZE:
            return 18;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 4;
        case SM_CXMINTRACK:
            return 112;
        case SM_CYMINTRACK:
            return 27;
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK:
            return 4;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return 2;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        case SM_CYSMCAPTION:
            return 16;
        case SM_CXSMSIZE:
        case SM_CYSMSIZE:
            return 12;
        case SM_CXDRAG:
        case SM_CYDRAG:
            return 4;
        case SM_CMOUSEBUTTONS:
            return 3;
        case SM_MOUSEWHEELPRESENT:
        case SM_CMONITORS:
            return 1;
        default:
            return 0;
    }
}

DWORD GetSysColor(int index) {
    if (index < 0 || index >= 31) return 0;
    State& s = S();
    return s.sys_colors[static_cast<size_t>(index)];
}

BOOL SetSysColors(int count, const int* indexes, const COLORREF* colours) {
    if (indexes == nullptr || colours == nullptr) return FALSE;
    for (int i = 0; i < count; ++i)
        if (indexes[i] >= 0 && indexes[i] < 31) S().sys_colors[static_cast<size_t>(indexes[i])] = colours[i];
    SysColorsChanged();
    std::vector<HWND> tops;
    for (Window* t : S().toplevels)
        tops.push_back(t->handle);
    for (HWND h : tops)
        SendMessageA(h, WM_SYSCOLORCHANGE, 0, 0);
    for (HWND h : tops)
        InvalidateRect(h, nullptr, TRUE);
    return TRUE;
}

namespace qsm::wm {
void FillDefaultColors(std::array<COLORREF, 31>& colors) {
    for (size_t i = 0; i < 31; ++i)
        colors[i] = kDefaultColors[i];
}
void ResetSysColors() {
    FillDefaultColors(S().sys_colors);
    SysColorsChanged();
}
}  // namespace qsm::wm
