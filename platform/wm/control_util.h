// Helpers shared by the built-in controls.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <utility>

#include "platform/kernel/clipboard.h"
#include "platform/kernel/memory.h"
#include "platform/wm/internal.h"

namespace qsm::wm {

// The private state of a built-in control, made on first use and freed with the window.
template <class T>
T& Ctl(HWND hwnd) {
    Window* w = W(hwnd);
    if (w->control == nullptr) {
        w->control = new T();
        w->control_free = [](void* p) { delete static_cast<T*>(p); };
    }
    return *static_cast<T*>(w->control);
}

inline DWORD StyleOf(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
}

// WM_COMMAND with the notification code to the parent (or `target` when given).
inline void Notify(HWND ctl, WORD code, HWND target = nullptr) {
    HWND parent = target != nullptr ? target : GetParent(ctl);
    if (parent != nullptr)
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(ctl)), code),
                     reinterpret_cast<LPARAM>(ctl));
}

// Asks the parent for the colours of a control; the default ones when it does not answer.
inline HBRUSH ControlColor(HWND ctl, HDC dc, UINT msg) {
    HWND parent = GetParent(ctl);
    LRESULT r = parent != nullptr
                    ? SendMessageA(parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(ctl))
                    : 0;
    if (r == 0) return DefaultControlColor(dc, msg);
    return RealBrush(reinterpret_cast<HBRUSH>(r));
}

inline HFONT FontOr(HFONT f) {
    return f != nullptr ? f : DefaultGuiFont();
}

inline std::string TextOf(HWND hwnd) {
    Window* w = W(hwnd);
    return w != nullptr ? w->text : std::string();
}

inline RECT ClientRectOf(HWND hwnd) {
    RECT r{0, 0, 0, 0};
    GetClientRect(hwnd, &r);
    return r;
}

// WM_PAINT and WM_ERASEBKGND of a control that paints all of its client area itself: there is no separate
// erasing (so nothing flickers), and `paint`(dc) draws between BeginPaint and EndPaint.
template <class F>
LRESULT PaintWhole(HWND hwnd, UINT msg, F&& paint) {
    if (msg == WM_ERASEBKGND) return 1;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc != nullptr) paint(dc);
    EndPaint(hwnd, &ps);
    return 0;
}

// The client point of a mouse message.
inline POINT PointOf(LPARAM lparam) {
    return POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
}

// Stores `value` in a control's field and answers 0: the whole work of the messages that only set a field.
template <class T, class V>
LRESULT SetField(T& field, V value) {
    field = value;
    return 0;
}

// Draws the whole control again (WM_ENABLE and the like); `erase` as for InvalidateRect. Answers 0.
inline LRESULT Redraw(HWND hwnd, BOOL erase) {
    InvalidateRect(hwnd, nullptr, erase);
    return 0;
}

// WM_SETFOCUS and WM_KILLFOCUS of the text controls: the caret, `caret_height` high and placed by
// `place_caret`, comes and goes with the focus; the text is drawn again (for its selection) and the parent
// told.
template <class F>
LRESULT TextFocusGained(HWND hwnd, int caret_height, F&& place_caret) {
    CreateCaret(hwnd, nullptr, 1, caret_height);
    place_caret();
    ShowCaret(hwnd);
    InvalidateRect(hwnd, nullptr, FALSE);
    Notify(hwnd, EN_SETFOCUS);
    return 0;
}

inline LRESULT TextFocusLost(HWND hwnd) {
    DestroyCaret();
    InvalidateRect(hwnd, nullptr, FALSE);
    Notify(hwnd, EN_KILLFOCUS);
    return 0;
}

// The press of the left mouse button on a control, held until the button is released: the control keeps the
// mouse capture meanwhile (to drag a selection, or to click on release).
struct MousePress {
    bool held = false;

    // The button went down on `hwnd`.
    void Begin(HWND hwnd) {
        held = true;
        SetCapture(hwnd);
    }
    // The button came up (or the press is given up): true when a press was held; the capture is released
    // when `hwnd` still has it.
    bool End(HWND hwnd) {
        if (!held) return false;
        held = false;
        if (GetCapture() == hwnd) ReleaseCapture();
        return true;
    }
    // WM_CAPTURECHANGED: the capture went elsewhere; true when a press was held.
    bool Lost() { return std::exchange(held, false); }

    // WM_LBUTTONUP and WM_CAPTURECHANGED of a control that does nothing more on them.
    LRESULT OnLButtonUp(HWND hwnd) {
        End(hwnd);
        return 0;
    }
    LRESULT OnCaptureChanged() {
        held = false;
        return 0;
    }
};

// Letters, digits, the underscore and the accented letters of code page 1252 make up words.
inline bool IsWordChar(char c) {
    return isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0xC0;
}

// The word around position `i` of `t` as [first, last); empty at `i` when there is none.
inline std::pair<int, int> WordAround(const std::string& t, int i) {
    int a = i, b = i;
    while (a > 0 && IsWordChar(t[static_cast<size_t>(a) - 1]))
        --a;
    while (b < static_cast<int>(t.size()) && IsWordChar(t[static_cast<size_t>(b)]))
        ++b;
    return {a, b};
}

// EM_GETSEL: the selection [min, max) of anchor and caret, stored through the pointers that are given and
// returned packed in one value.
inline LRESULT ReportSelection(int anchor, int caret, WPARAM wparam, LPARAM lparam) {
    int a = std::min(anchor, caret), b = std::max(anchor, caret);
    if (wparam) *reinterpret_cast<DWORD*>(wparam) = static_cast<DWORD>(a);
    if (lparam) *reinterpret_cast<DWORD*>(lparam) = static_cast<DWORD>(b);
    return MAKELONG(static_cast<WORD>(a), static_cast<WORD>(b));
}

// Puts `s` on the clipboard as text; an empty text leaves the clipboard as it is.
inline void PutTextOnClipboard(const std::string& s) {
    if (s.empty() || !OpenClipboard(nullptr)) return;
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, s.size() + 1);
    if (auto* p = static_cast<char*>(GlobalLock(mem))) {
        memcpy(p, s.c_str(), s.size() + 1);
        GlobalUnlock(mem);
        SetClipboardData(CF_TEXT, mem);
    }
    CloseClipboard();
}

// Where a WM_VSCROLL or WM_HSCROLL request moves a position `pos`: by `line` or `page`, to the thumb's
// position, to 0 or to `end`. False for requests that move nothing (SB_ENDSCROLL).
inline bool ScrollRequestTarget(WPARAM wparam, int pos, int line, int page, int end, int* to) {
    switch (LOWORD(wparam)) {
        case SB_LINEUP:
            *to = pos - line;
            return true;
        case SB_LINEDOWN:
            *to = pos + line;
            return true;
        case SB_PAGEUP:
            *to = pos - page;
            return true;
        case SB_PAGEDOWN:
            *to = pos + page;
            return true;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            *to = HIWORD(wparam);
            return true;
        case SB_TOP:
            *to = 0;
            return true;
        case SB_BOTTOM:
            *to = end;
            return true;
        default:
            return false;
    }
}

LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ScrollBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT DialogClassProc(HWND, UINT, WPARAM, LPARAM);
LRESULT MenuWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT RichEditProc(HWND, UINT, WPARAM, LPARAM);

// The list box that belongs to a combo box sends its notifications to the combo box.
void SetListBoxOwnerCombo(HWND list, HWND combo);

}  // namespace qsm::wm
