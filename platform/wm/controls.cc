// Built-in control classes: static, button family, scroll bar and progress bar, and their registration.
#include <algorithm>
#include <cstring>

#include "platform/wm/control_util.h"
#include "platform/wm/scrollbar.h"

namespace qsm::wm {

// ---- static ----

namespace {

// WM_SETFONT: the font, and a redraw when lparam asks for it.
LRESULT SetFontAndRedraw(HWND hwnd, HFONT& field, WPARAM font, LPARAM redraw) {
    field = reinterpret_cast<HFONT>(font);
    if (redraw) InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

// WM_SETTEXT of a control that shows its text: stored as any window's, then drawn again.
LRESULT SetTextAndRedraw(HWND hwnd, WPARAM wparam, LPARAM lparam) {
    LRESULT r = DefWindowProcA(hwnd, WM_SETTEXT, wparam, lparam);
    InvalidateRect(hwnd, nullptr, TRUE);
    return r;
}

struct StaticState {
    HFONT font = nullptr;
    HANDLE image = nullptr;
};

void PaintStatic(HWND hwnd, HDC dc) {
    auto& st = Ctl<StaticState>(hwnd);
    DWORD style = StyleOf(hwnd);
    RECT r = ClientRectOf(hwnd);
    DWORD type = style & SS_TYPEMASK;
    switch (type) {
        case SS_BLACKRECT:
            FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
            return;
        case SS_GRAYRECT:
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
            return;
        case SS_WHITERECT:
            FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
            return;
        case SS_BLACKFRAME:
            FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
            return;
        case SS_GRAYFRAME:
            FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
            return;
        case SS_WHITEFRAME:
            FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
            return;
        case SS_ETCHEDHORZ:
            DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP);
            return;
        case SS_ETCHEDVERT:
            DrawEdge(dc, &r, EDGE_ETCHED, BF_LEFT);
            return;
        case SS_ETCHEDFRAME:
            DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
            return;
        case SS_OWNERDRAW: {
            DRAWITEMSTRUCT dis{
                ODT_STATIC, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, ODA_DRAWENTIRE, 0, hwnd, dc, r, 0};
            SendMessageA(GetParent(hwnd), WM_DRAWITEM, static_cast<WPARAM>(GetDlgCtrlID(hwnd)),
                         reinterpret_cast<LPARAM>(&dis));
            return;
        }
        default:
            break;
    }
    HBRUSH brush = ControlColor(hwnd, dc, WM_CTLCOLORSTATIC);
    FillRect(dc, &r, brush);
    if (type == SS_BITMAP || type == SS_ICON) {
        if (st.image != nullptr && type == SS_BITMAP) {
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, st.image);
            BITMAP bm{};
            GetObjectA(st.image, sizeof bm, &bm);
            BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        return;
    }
    HGDIOBJ old = SelectObject(dc, FontOr(st.font));
    SetBkMode(dc, TRANSPARENT);
    if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    UINT fmt = DT_EXPANDTABS;
    if (type == SS_CENTER)
        fmt |= DT_CENTER | DT_WORDBREAK;
    else if (type == SS_RIGHT)
        fmt |= DT_RIGHT | DT_WORDBREAK;
    else if (type == SS_LEFT)
        fmt |= DT_WORDBREAK;
    else if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP)
        fmt |= DT_SINGLELINE;
    if (style & SS_NOPREFIX) fmt |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE) fmt = (fmt & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
    if (style & SS_ENDELLIPSIS) fmt = (fmt & ~DT_WORDBREAK) | DT_SINGLELINE | DT_END_ELLIPSIS;
    std::string text = TextOf(hwnd);
    DrawTextA(dc, text.c_str(), -1, &r, fmt);
    SelectObject(dc, old);
}

}  // namespace

LRESULT StaticProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(hwnd, msg, [&](HDC dc) { PaintStatic(hwnd, dc); });
        case WM_NCHITTEST:
            // Statics let the pointer through unless they notify.
            if (!(StyleOf(hwnd) & SS_NOTIFY)) return HTTRANSPARENT;
            return HTCLIENT;
        case WM_LBUTTONDOWN:
            if (StyleOf(hwnd) & SS_NOTIFY) Notify(hwnd, STN_CLICKED);
            return 0;
        case WM_LBUTTONDBLCLK:
            if (StyleOf(hwnd) & SS_NOTIFY) Notify(hwnd, STN_DBLCLK);
            return 0;
        case WM_SETFONT:
            return SetFontAndRedraw(hwnd, Ctl<StaticState>(hwnd).font, wparam, lparam);
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(Ctl<StaticState>(hwnd).font);
        case WM_SETTEXT:
            return SetTextAndRedraw(hwnd, wparam, lparam);
        case WM_ENABLE:
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case STM_SETIMAGE:
        case STM_SETICON: {
            auto& st = Ctl<StaticState>(hwnd);
            HANDLE old = st.image;
            st.image = reinterpret_cast<HANDLE>(msg == STM_SETICON ? wparam : static_cast<WPARAM>(lparam));
            InvalidateRect(hwnd, nullptr, TRUE);
            return reinterpret_cast<LRESULT>(old);
        }
        case STM_GETIMAGE:
        case STM_GETICON:
            return reinterpret_cast<LRESULT>(Ctl<StaticState>(hwnd).image);
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        default:
            return DefWindowProcA(hwnd, msg, wparam, lparam);
    }
}

// ---- buttons ----

namespace {

struct ButtonState {
    HFONT font = nullptr;
    UINT check = BST_UNCHECKED;
    bool pushed = false;  // drawn pressed
    MousePress press;     // the mouse button (or the space bar) is down on it
    bool focus = false;
    HANDLE image = nullptr;
};

DWORD ButtonType(HWND hwnd) {
    return StyleOf(hwnd) & BS_TYPEMASK;
}

bool IsPush(DWORD t) {
    return t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON || t == BS_USERBUTTON;
}
bool IsCheck(DWORD t) {
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE;
}
bool IsRadio(DWORD t) {
    return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON;
}

// Blends an icon's picture onto the context by its alpha; a disabled icon is drawn in grey, faded.
void DrawIconImage(HDC dc, int left, int top, const CursorImage& icon, bool disabled) {
    for (int y = 0; y < icon.height; ++y)
        for (int x = 0; x < icon.width; ++x) {
            uint32_t p = icon.pixels[static_cast<size_t>(y) * static_cast<size_t>(icon.width) +
                                     static_cast<size_t>(x)];
            unsigned a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (a == 0) continue;
            if (disabled) {
                unsigned grey = (r * 30 + g * 59 + b * 11) / 100;
                r = g = b = (grey + 255) / 2;
                a /= 2;
            }
            COLORREF under = GetPixel(dc, left + x, top + y);
            auto mix = [a](unsigned over, unsigned back) { return (over * a + back * (255 - a)) / 255; };
            SetPixelV(dc, left + x, top + y,
                      RGB(mix(r, GetRValue(under)), mix(g, GetGValue(under)), mix(b, GetBValue(under))));
        }
}

void PaintButton(HWND hwnd, HDC dc) {
    auto& st = Ctl<ButtonState>(hwnd);
    DWORD style = StyleOf(hwnd);
    DWORD type = style & BS_TYPEMASK;
    RECT r = ClientRectOf(hwnd);
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    if (type == BS_OWNERDRAW) {
        UINT state =
            (st.pushed ? ODS_SELECTED : 0) | (st.focus ? ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
        DRAWITEMSTRUCT dis{
            ODT_BUTTON, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, ODA_DRAWENTIRE, state, hwnd, dc, r, 0};
        SendMessageA(GetParent(hwnd), WM_DRAWITEM, static_cast<WPARAM>(GetDlgCtrlID(hwnd)),
                     reinterpret_cast<LPARAM>(&dis));
        return;
    }
    HBRUSH brush = ControlColor(hwnd, dc, IsPush(type) ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC);
    HGDIOBJ old_font = SelectObject(dc, FontOr(st.font));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    std::string text = TextOf(hwnd);
    UINT align = (style & BS_CENTER) == BS_CENTER ? DT_CENTER
                 : (style & BS_RIGHT)             ? DT_RIGHT
                 : (style & BS_LEFT)              ? DT_LEFT
                                                  : 0;
    if (IsPush(type) || (style & BS_PUSHLIKE)) {
        bool down = st.pushed || ((style & BS_PUSHLIKE) && st.check == BST_CHECKED);
        RECT e = r;
        if (type == BS_DEFPUSHBUTTON) {
            FrameRect(dc, &e, GetSysColorBrush(COLOR_WINDOWFRAME));
            InflateRect(&e, -1, -1);
        }
        if (down) {
            FrameRect(dc, &e, GetSysColorBrush(COLOR_BTNSHADOW));
            InflateRect(&e, -1, -1);
            FillRect(dc, &e, GetSysColorBrush(COLOR_BTNFACE));
        } else {
            DrawEdge(dc, &e, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
        }
        RECT t = r;
        if (down) OffsetRect(&t, 1, 1);
        if (st.image != nullptr && (style & BS_BITMAP)) {
            BITMAP bm{};
            GetObjectA(st.image, sizeof bm, &bm);
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, st.image);
            BitBlt(dc, t.left + (t.right - t.left - bm.bmWidth) / 2,
                   t.top + (t.bottom - t.top - bm.bmHeight) / 2, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        } else if (CursorImage icon; st.image != nullptr && (style & BS_ICON) &&
                                     GetCursorImage(reinterpret_cast<HCURSOR>(st.image), &icon)) {
            DrawIconImage(dc, t.left + (t.right - t.left - icon.width) / 2,
                          t.top + (t.bottom - t.top - icon.height) / 2, icon, !enabled);
        } else {
            DrawTextA(dc, text.c_str(), -1, &t, (align ? align : DT_CENTER) | DT_VCENTER | DT_SINGLELINE);
        }
        if (st.focus) {
            RECT f = r;
            InflateRect(&f, -4, -4);
            DrawFocusRect(dc, &f);
        }
    } else if (type == BS_GROUPBOX) {
        // Only the frame and its caption: the controls the box frames show through it.
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        RECT frame = r;
        frame.top += tm.tmHeight / 2;
        DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
        if (!text.empty()) {
            RECT t{r.left + 8, r.top, r.right - 8, r.top + tm.tmHeight};
            RECT calc = t;
            DrawTextA(dc, text.c_str(), -1, &calc, DT_SINGLELINE | DT_CALCRECT);
            calc.left -= 2;
            calc.right += 2;
            FillRect(dc, &calc, brush);
            DrawTextA(dc, text.c_str(), -1, &t, DT_SINGLELINE);
        }
    } else {
        FillRect(dc, &r, brush);
        int box = 13;
        bool left_text = (style & BS_LEFTTEXT) != 0;
        RECT b{r.left, r.top + (r.bottom - r.top - box) / 2, r.left + box,
               r.top + (r.bottom - r.top - box) / 2 + box};
        if (left_text) OffsetRect(&b, r.right - r.left - box, 0);
        UINT state = (IsRadio(type) ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK) |
                     (st.check != BST_UNCHECKED ? DFCS_CHECKED : 0) | (st.pushed ? DFCS_PUSHED : 0) |
                     (enabled ? 0 : DFCS_INACTIVE);
        DrawFrameControl(dc, &b, DFC_BUTTON, state);
        RECT t = r;
        if (left_text)
            t.right = b.left - 4;
        else
            t.left = b.right + 4;
        RECT calc = t;
        DrawTextA(dc, text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | (align ? align : 0));
        if (st.focus && !text.empty()) {
            DrawTextA(dc, text.c_str(), -1, &calc, DT_SINGLELINE | DT_CALCRECT);
            int h = calc.bottom - calc.top;
            RECT f{calc.left - 1, t.top + (t.bottom - t.top - h) / 2 - 1, calc.right + 1,
                   t.top + (t.bottom - t.top - h) / 2 + h + 1};
            DrawFocusRect(dc, &f);
        }
    }
    SelectObject(dc, old_font);
}

// A click: the automatic kinds change their own state, and the parent hears of it.
void Clicked(HWND hwnd) {
    auto& st = Ctl<ButtonState>(hwnd);
    DWORD type = ButtonType(hwnd);
    if (type == BS_AUTOCHECKBOX) {
        SendMessageA(hwnd, BM_SETCHECK, st.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
    } else if (type == BS_AUTO3STATE) {
        SendMessageA(hwnd, BM_SETCHECK, (st.check + 1) % 3, 0);
    } else if (type == BS_AUTORADIOBUTTON) {
        // Unchecks the other automatic radio buttons of the group.
        HWND parent = GetParent(hwnd);
        if (parent != nullptr) {
            HWND h = hwnd;
            for (HWND s = GetNextDlgGroupItem(parent, h, FALSE); s != nullptr && s != hwnd;
                 s = GetNextDlgGroupItem(parent, s, FALSE))
                if ((StyleOf(s) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                    SendMessageA(s, BM_SETCHECK, BST_UNCHECKED, 0);
        }
        SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
    }
    Notify(hwnd, BN_CLICKED);
}

LRESULT OnNcHitTest(HWND hwnd, WPARAM wparam, LPARAM lparam) {
    if (ButtonType(hwnd) == BS_GROUPBOX) return HTTRANSPARENT;
    return DefWindowProcA(hwnd, WM_NCHITTEST, wparam, lparam);
}

// A press with the mouse: held (and the button drawn pushed) until the mouse button comes up. Radio buttons,
// owner-drawn buttons and notifying ones report a double click instead of a second press.
LRESULT OnLButtonDown(HWND hwnd, UINT msg) {
    auto& st = Ctl<ButtonState>(hwnd);
    if (msg == WM_LBUTTONDBLCLK &&
        (IsRadio(ButtonType(hwnd)) || ButtonType(hwnd) == BS_OWNERDRAW || (StyleOf(hwnd) & BS_NOTIFY))) {
        Notify(hwnd, BN_DBLCLK);
        return 0;
    }
    SetFocus(hwnd);
    st.press.Begin(hwnd);
    SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
    return 0;
}

// While pressed, the button shows pushed only with the pointer over it.
LRESULT OnMouseMove(HWND hwnd, POINT p) {
    auto& st = Ctl<ButtonState>(hwnd);
    if (st.press.held) {
        RECT r = ClientRectOf(hwnd);
        SendMessageA(hwnd, BM_SETSTATE, PtInRect(&r, p), 0);
    }
    return 0;
}

// Released over the button (drawn pushed), the press clicks.
LRESULT OnLButtonUp(HWND hwnd) {
    auto& st = Ctl<ButtonState>(hwnd);
    if (!st.press.End(hwnd)) return 0;
    bool inside = st.pushed;
    SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
    if (inside) Clicked(hwnd);
    return 0;
}

LRESULT OnCaptureChanged(HWND hwnd) {
    if (Ctl<ButtonState>(hwnd).press.Lost()) SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
    return 0;
}

// The space bar presses the button as the mouse does; its release clicks.
LRESULT OnKeyDown(HWND hwnd, WPARAM key, LPARAM flags) {
    if (key == VK_SPACE && !(flags & (1 << 30))) {
        Ctl<ButtonState>(hwnd).press.held = true;
        SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
    }
    return 0;
}

LRESULT OnKeyUp(HWND hwnd, WPARAM key) {
    auto& st = Ctl<ButtonState>(hwnd);
    if (key == VK_SPACE && st.press.held) {
        st.press.held = false;
        SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
        Clicked(hwnd);
    }
    return 0;
}

LRESULT OnSetFocus(HWND hwnd) {
    Ctl<ButtonState>(hwnd).focus = true;
    InvalidateRect(hwnd, nullptr, FALSE);
    if (StyleOf(hwnd) & BS_NOTIFY) Notify(hwnd, BN_SETFOCUS);
    return 0;
}

// Losing the focus gives up a press without a click.
LRESULT OnKillFocus(HWND hwnd) {
    auto& st = Ctl<ButtonState>(hwnd);
    st.focus = false;
    if (st.press.End(hwnd)) SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
    InvalidateRect(hwnd, nullptr, FALSE);
    if (StyleOf(hwnd) & BS_NOTIFY) Notify(hwnd, BN_KILLFOCUS);
    return 0;
}

// Check boxes take three states only when made as three-state ones; push buttons keep no check at all
// unless they look like a push button but work as a check box or radio button.
LRESULT OnSetCheck(HWND hwnd, WPARAM check) {
    auto& st = Ctl<ButtonState>(hwnd);
    DWORD type = ButtonType(hwnd);
    UINT v = static_cast<UINT>(check);
    if (!(type == BS_3STATE || type == BS_AUTO3STATE) && v == BST_INDETERMINATE) v = BST_CHECKED;
    if (!IsCheck(type) && !IsRadio(type) && !(StyleOf(hwnd) & BS_PUSHLIKE)) return 0;
    if (st.check != v) {
        st.check = v;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    return 0;
}

LRESULT OnGetState(HWND hwnd) {
    auto& st = Ctl<ButtonState>(hwnd);
    return st.check | (st.pushed ? BST_PUSHED : 0) | (st.focus ? BST_FOCUS : 0);
}

LRESULT OnSetState(HWND hwnd, bool pushed) {
    auto& st = Ctl<ButtonState>(hwnd);
    if (st.pushed != pushed) {
        st.pushed = pushed;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    return 0;
}

// BM_SETSTYLE replaces the button's own style bits (the low word).
LRESULT OnSetStyle(HWND hwnd, WPARAM style, LPARAM redraw) {
    Window* w = W(hwnd);
    w->style = (w->style & ~0xFFFFu) | (static_cast<DWORD>(style) & 0xFFFF);
    if (redraw) InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
}

LRESULT OnClick(HWND hwnd) {
    if (IsWindowEnabled(hwnd)) {
        SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
        SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
        Clicked(hwnd);
    }
    return 0;
}

LRESULT OnSetImage(HWND hwnd, HANDLE image) {
    auto& st = Ctl<ButtonState>(hwnd);
    HANDLE old = st.image;
    st.image = image;
    InvalidateRect(hwnd, nullptr, TRUE);
    return reinterpret_cast<LRESULT>(old);
}

LRESULT OnGetDlgCode(HWND hwnd) {
    DWORD type = ButtonType(hwnd);
    if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
    if (IsPush(type)) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    if (IsRadio(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
    if (type == BS_GROUPBOX) return DLGC_STATIC;
    return DLGC_BUTTON;
}

}  // namespace

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(hwnd, msg, [&](HDC dc) { PaintButton(hwnd, dc); });
        case WM_NCHITTEST:
            return OnNcHitTest(hwnd, wparam, lparam);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return OnLButtonDown(hwnd, msg);
        case WM_MOUSEMOVE:
            return OnMouseMove(hwnd, PointOf(lparam));
        case WM_LBUTTONUP:
            return OnLButtonUp(hwnd);
        case WM_CAPTURECHANGED:
            return OnCaptureChanged(hwnd);
        case WM_KEYDOWN:
            return OnKeyDown(hwnd, wparam, lparam);
        case WM_KEYUP:
            return OnKeyUp(hwnd, wparam);
        case WM_CHAR:
            return 0;
        case WM_SETFOCUS:
            return OnSetFocus(hwnd);
        case WM_KILLFOCUS:
            return OnKillFocus(hwnd);
        case WM_ENABLE:
            return Redraw(hwnd, FALSE);
        case WM_SETFONT:
            return SetFontAndRedraw(hwnd, Ctl<ButtonState>(hwnd).font, wparam, lparam);
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(Ctl<ButtonState>(hwnd).font);
        case WM_SETTEXT:
            return SetTextAndRedraw(hwnd, wparam, lparam);
        case BM_GETCHECK:
            return Ctl<ButtonState>(hwnd).check;
        case BM_SETCHECK:
            return OnSetCheck(hwnd, wparam);
        case BM_GETSTATE:
            return OnGetState(hwnd);
        case BM_SETSTATE:
            return OnSetState(hwnd, wparam != 0);
        case BM_SETSTYLE:
            return OnSetStyle(hwnd, wparam, lparam);
        case BM_CLICK:
            return OnClick(hwnd);
        case BM_SETIMAGE:
            return OnSetImage(hwnd, reinterpret_cast<HANDLE>(lparam));
        case BM_GETIMAGE:
            return reinterpret_cast<LRESULT>(Ctl<ButtonState>(hwnd).image);
        case WM_GETDLGCODE:
            return OnGetDlgCode(hwnd);
        default:
            return DefWindowProcA(hwnd, msg, wparam, lparam);
    }
}

// ---- scroll bar control ----

namespace {

UINT ScrollMessage(bool vertical) {
    return vertical ? WM_VSCROLL : WM_HSCROLL;
}

// A press tracks the part under the pointer (arrows and page areas repeat, the thumb is dragged) until
// the button comes up, telling the parent as it goes.
LRESULT OnScrollBarPress(HWND hwnd, Window* w, bool vertical, POINT p) {
    if (w->style & WS_TABSTOP) SetFocus(hwnd);
    RECT r;
    GetWindowRect(hwnd, &r);
    ClientToScreen(hwnd, &p);
    TrackScrollBar(hwnd, GetParent(hwnd), ScrollMessage(vertical), reinterpret_cast<LPARAM>(hwnd), w->vscroll,
                   r, vertical, p);
    InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
}

// The arrow, paging, Home and End keys ask the parent to scroll, as the bar's parts do.
LRESULT OnScrollBarKey(HWND hwnd, const ScrollState& s, bool vertical, WPARAM key) {
    static constexpr std::pair<WPARAM, WORD> kCodes[] = {
        {VK_UP, SB_LINEUP},    {VK_LEFT, SB_LINEUP},   {VK_DOWN, SB_LINEDOWN}, {VK_RIGHT, SB_LINEDOWN},
        {VK_PRIOR, SB_PAGEUP}, {VK_NEXT, SB_PAGEDOWN}, {VK_HOME, SB_TOP},      {VK_END, SB_BOTTOM}};
    for (auto [vk, code] : kCodes) {
        if (vk != key) continue;
        HWND parent = GetParent(hwnd);
        UINT m = ScrollMessage(vertical);
        // The notification carries the current position; the parent decides where to go.
        SendMessageA(parent, m, MAKEWPARAM(code, static_cast<WORD>(s.pos)), reinterpret_cast<LPARAM>(hwnd));
        SendMessageA(parent, m, MAKEWPARAM(SB_ENDSCROLL, static_cast<WORD>(s.pos)),
                     reinterpret_cast<LPARAM>(hwnd));
        break;
    }
    return 0;
}

// SBM_SETPOS, SBM_SETRANGE and SBM_SETRANGEREDRAW answer the position before.
LRESULT ApplyAndRedraw(HWND hwnd, ScrollState& s, const SCROLLINFO& si, bool redraw) {
    int old = s.pos;
    ApplyScrollInfo(s, si);
    if (redraw) InvalidateRect(hwnd, nullptr, FALSE);
    return old;
}

LRESULT OnSetPos(HWND hwnd, ScrollState& s, WPARAM pos, LPARAM redraw) {
    return ApplyAndRedraw(hwnd, s, SCROLLINFO{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, static_cast<int>(pos), 0},
                          redraw != 0);
}

LRESULT OnSetRange(HWND hwnd, ScrollState& s, UINT msg, WPARAM low, LPARAM high) {
    return ApplyAndRedraw(
        hwnd, s,
        SCROLLINFO{sizeof(SCROLLINFO), SIF_RANGE, static_cast<int>(low), static_cast<int>(high), 0, 0, 0},
        msg == SBM_SETRANGEREDRAW);
}

LRESULT OnGetRange(const ScrollState& s, int* low, int* high) {
    if (low != nullptr) *low = s.min;
    if (high != nullptr) *high = s.max;
    return 0;
}

LRESULT OnSetScrollInfo(HWND hwnd, ScrollState& s, WPARAM redraw, const SCROLLINFO* si) {
    if (si == nullptr) return s.pos;
    int pos = ApplyScrollInfo(s, *si);
    if (redraw) InvalidateRect(hwnd, nullptr, FALSE);
    return pos;
}

LRESULT OnGetScrollInfo(const ScrollState& s, SCROLLINFO* si) {
    if (si == nullptr) return FALSE;
    ReadScrollInfo(s, si);
    return TRUE;
}

LRESULT OnEnableArrows(HWND hwnd, ScrollState& s, WPARAM which) {
    s.disabled_arrows = static_cast<UINT>(which);
    InvalidateRect(hwnd, nullptr, FALSE);
    return TRUE;
}

}  // namespace

LRESULT ScrollBarProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    Window* w = W(hwnd);
    if (w == nullptr) return 0;
    bool vertical = (w->style & SBS_VERT) != 0;
    ScrollState& s = w->vscroll;
    switch (msg) {
        case WM_CREATE:
            return SetField(s, ScrollState{0, 0, 0, 0, 0, false, 0});
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(hwnd, msg, [&](HDC dc) {
                ControlColor(hwnd, dc, WM_CTLCOLORSCROLLBAR);
                DrawScrollBar(dc, ClientRectOf(hwnd), s, vertical,
                              IsWindowEnabled(hwnd) && s.disabled_arrows != ESB_DISABLE_BOTH);
            });
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return OnScrollBarPress(hwnd, w, vertical, PointOf(lparam));
        case WM_KEYDOWN:
            return OnScrollBarKey(hwnd, s, vertical, wparam);
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        case SBM_SETPOS:
            return OnSetPos(hwnd, s, wparam, lparam);
        case SBM_GETPOS:
            return s.pos;
        case SBM_SETRANGE:
        case SBM_SETRANGEREDRAW:
            return OnSetRange(hwnd, s, msg, wparam, lparam);
        case SBM_GETRANGE:
            return OnGetRange(s, reinterpret_cast<int*>(wparam), reinterpret_cast<int*>(lparam));
        case SBM_SETSCROLLINFO:
            return OnSetScrollInfo(hwnd, s, wparam, reinterpret_cast<const SCROLLINFO*>(lparam));
        case SBM_GETSCROLLINFO:
            return OnGetScrollInfo(s, reinterpret_cast<SCROLLINFO*>(lparam));
        case SBM_ENABLE_ARROWS:
            return OnEnableArrows(hwnd, s, wparam);
        case WM_ENABLE:
            return Redraw(hwnd, FALSE);
        default:
            return DefWindowProcA(hwnd, msg, wparam, lparam);
    }
}

// ---- progress bar ----

namespace {
struct ProgressState {
    int low = 0;
    int high = 100;
    int pos = 0;
    int step = 10;
    COLORREF bar = CLR_DEFAULT_BAR;
    static constexpr COLORREF CLR_DEFAULT_BAR = 0xFF000000u;
};

void PaintProgress(HWND hwnd, HDC dc) {
    auto& st = Ctl<ProgressState>(hwnd);
    RECT r = ClientRectOf(hwnd);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    bool vertical = (StyleOf(hwnd) & PBS_VERTICAL) != 0;
    RECT in = r;
    InflateRect(&in, -1, -1);
    int len = vertical ? in.bottom - in.top : in.right - in.left;
    int range = st.high - st.low;
    int filled = range > 0 ? static_cast<int>(static_cast<int64_t>(len) * (st.pos - st.low) / range) : 0;
    COLORREF color = st.bar == ProgressState::CLR_DEFAULT_BAR ? GetSysColor(COLOR_HIGHLIGHT) : st.bar;
    HBRUSH b = CreateSolidBrush(color);
    if (StyleOf(hwnd) & PBS_SMOOTH) {
        RECT f = vertical ? RECT{in.left, in.bottom - filled, in.right, in.bottom}
                          : RECT{in.left, in.top, in.left + filled, in.bottom};
        FillRect(dc, &f, b);
    } else {
        // Blocks two thirds of the bar's thickness wide with a two-pixel gap.
        int thick = vertical ? in.right - in.left : in.bottom - in.top;
        int block = std::max(2, thick * 2 / 3);
        for (int at = 0; at < filled; at += block + 2) {
            int end = std::min(at + block, len);
            RECT f = vertical ? RECT{in.left, in.bottom - end, in.right, in.bottom - at}
                              : RECT{in.left + at, in.top, in.left + end, in.bottom};
            FillRect(dc, &f, b);
        }
    }
    DeleteObject(b);
}

}  // namespace

LRESULT ProgressProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto set_pos = [&](int p) {
        auto& st = Ctl<ProgressState>(hwnd);
        int old = st.pos;
        st.pos = std::clamp(p, st.low, std::max(st.low, st.high));
        if (old != st.pos) InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    };
    switch (msg) {
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(hwnd, msg, [&](HDC dc) { PaintProgress(hwnd, dc); });
        case PBM_SETRANGE:
        case PBM_SETRANGE32: {
            auto& st = Ctl<ProgressState>(hwnd);
            LRESULT old = MAKELONG(static_cast<WORD>(st.low), static_cast<WORD>(st.high));
            if (msg == PBM_SETRANGE) {
                st.low = LOWORD(static_cast<DWORD_PTR>(lparam));
                st.high = HIWORD(static_cast<DWORD_PTR>(lparam));
            } else {
                st.low = static_cast<int>(wparam);
                st.high = static_cast<int>(lparam);
            }
            set_pos(st.pos);
            InvalidateRect(hwnd, nullptr, FALSE);
            return old;
        }
        case PBM_GETRANGE: {
            auto& st = Ctl<ProgressState>(hwnd);
            if (auto* r = reinterpret_cast<PBRANGE*>(lparam)) *r = PBRANGE{st.low, st.high};
            return wparam ? st.low : st.high;
        }
        case PBM_SETPOS:
            return set_pos(static_cast<int>(wparam));
        case PBM_DELTAPOS:
            return set_pos(Ctl<ProgressState>(hwnd).pos + static_cast<int>(wparam));
        case PBM_GETPOS:
            return Ctl<ProgressState>(hwnd).pos;
        case PBM_SETSTEP: {
            int old = Ctl<ProgressState>(hwnd).step;
            Ctl<ProgressState>(hwnd).step = static_cast<int>(wparam);
            return old;
        }
        case PBM_STEPIT: {
            auto& st = Ctl<ProgressState>(hwnd);
            int next = st.pos + st.step;
            if (next > st.high) next = st.low + (next - st.high);  // wraps around as the common control does
            return set_pos(next);
        }
        case PBM_SETBARCOLOR: {
            COLORREF old = Ctl<ProgressState>(hwnd).bar;
            Ctl<ProgressState>(hwnd).bar = static_cast<COLORREF>(lparam);
            InvalidateRect(hwnd, nullptr, FALSE);
            return old;
        }
        default:
            return DefWindowProcA(hwnd, msg, wparam, lparam);
    }
}

void RegisterBuiltinClasses() {
    struct Builtin {
        const char* name;
        WNDPROC proc;
        UINT style;
        LPCSTR cursor;
        int brush;  // colour index + 1, or 0
        int extra;
    };
    const Builtin list[] = {
        {"STATIC", StaticProc, CS_DBLCLKS | CS_PARENTDC, IDC_ARROW, 0, 0},
        {"BUTTON", ButtonProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, IDC_ARROW, 0, 0},
        {"EDIT", EditProc, CS_DBLCLKS | CS_PARENTDC, IDC_IBEAM, 0, 0},
        {"LISTBOX", ListBoxProc, CS_DBLCLKS | CS_PARENTDC, IDC_ARROW, 0, 0},
        {"COMBOBOX", ComboBoxProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, IDC_ARROW, 0, 0},
        {"ComboLBox", ListBoxProc, CS_DBLCLKS | CS_SAVEBITS, IDC_ARROW, 0, 0},
        {"SCROLLBAR", ScrollBarProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, IDC_ARROW, 0, 0},
        {PROGRESS_CLASSA, ProgressProc, CS_HREDRAW | CS_VREDRAW, IDC_ARROW, 0, 0},
        {WC_DIALOG, DialogClassProc, CS_DBLCLKS | CS_SAVEBITS, IDC_ARROW, COLOR_BTNFACE + 1, DLGWINDOWEXTRA},
        {"#32768", MenuWindowProc, CS_DBLCLKS | CS_SAVEBITS, IDC_ARROW, COLOR_MENU + 1, 0},
        {RICHEDIT_CLASSA, RichEditProc, CS_DBLCLKS, IDC_IBEAM, 0, 0},
    };
    for (const Builtin& b : list) {
        auto c = std::make_shared<WindowClass>();
        c->name = b.name;
        c->proc = b.proc;
        c->style = b.style;
        c->cursor = LoadCursorA(nullptr, b.cursor);
        c->background = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(b.brush));
        c->wnd_extra = b.extra;
        c->system = true;
        State& s = S();
        std::lock_guard<std::mutex> lock(s.m);
        c->atom = s.next_atom++;
        s.classes.push_back(c);
    }
}

}  // namespace qsm::wm

void InitCommonControls() {}
