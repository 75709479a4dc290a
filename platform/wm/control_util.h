// Helpers shared by the built-in controls.
#pragma once

#include <string>

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
