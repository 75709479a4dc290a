// Message boxes and window helpers.
#include "ui/message_box.h"

#include <cstdio>

#include "platform/gdi/gdi.h"
#include "platform/wm/controls.h"

namespace {

constexpr int kBoxTextSize = 1024;

bool HasFrame(HWND hwnd) {
    return (static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)) & WS_CAPTION) != 0;
}

}  // namespace

HWND FindMessageBoxOwner(HWND window) {
    for (HWND w = window; w; w = GetParent(w))
        if (HasFrame(w)) return w;
    return window;
}

TWindow* FindMessageBoxOwner(TWindow* window) {
    for (TWindow* w = window; w; w = w->GetParentO()) {
        DWORD style =
            w->GetHandle() ? static_cast<DWORD>(GetWindowLongA(w->GetHandle(), GWL_STYLE)) : w->Attr.Style;
        if (style & WS_CAPTION) return w;
    }
    return window;
}

int MessageBoxPrintf(TWindow* owner, UINT flags, const char* caption, const char* format, va_list args) {
    char text[kBoxTextSize];
    // vsnprintf cuts the text to the buffer and always terminates it.
    text[0] = 0;
    if (format && std::vsnprintf(text, sizeof text, format, args) < 0) text[0] = 0;
    if (!owner) return MessageBoxExA(nullptr, text, caption, flags | MB_TASKMODAL, 0);
    return FindMessageBoxOwner(owner)->MessageBox(text, caption, flags);
}

int FormatMessageBox(TWindow* owner, UINT flags, const char* caption, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = MessageBoxPrintf(owner, flags, caption, format, args);
    va_end(args);
    return result;
}

int InfoBox(TWindow* owner, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = MessageBoxPrintf(owner, MB_OK | MB_ICONINFORMATION, "Information", format, args);
    va_end(args);
    return result;
}

int AppInfoBox(const char* format, ...) {
    TApplication* app = TApplication::Get();
    TWindow* main = app ? app->GetMainWindow() : nullptr;
    va_list args;
    va_start(args, format);
    int result = MessageBoxPrintf(main, MB_OK | MB_ICONINFORMATION, "Information", format, args);
    va_end(args);
    return result;
}

void CenterWindowOver(HWND window, HWND other, bool repaint) {
    RECT r, o;
    if (!GetWindowRect(window, &r) || !GetWindowRect(other, &o)) return;
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = (o.left + o.right) / 2 - w / 2;
    int y = (o.top + o.bottom) / 2 - h / 2;
    MoveWindow(window, x < 0 ? 0 : x, y < 0 ? 0 : y, w, h, repaint);
}

void CenterWindowOnScreen(HWND window, bool repaint) {
    RECT r;
    if (!GetWindowRect(window, &r)) return;
    int w = r.right - r.left, h = r.bottom - r.top;
    MoveWindow(window, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
               repaint);
}

void CenterWindow(TWindow& window, bool repaint) {
    CenterWindowOnScreen(window.GetHandle(), repaint);
}

void CenterOnScreenNoSize(TWindow& window) {
    RECT r;
    if (!GetWindowRect(window.GetHandle(), &r)) return;
    int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(window.GetHandle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

namespace {

LRESULT HitAtCursor(HWND window) {
    POINT p;
    if (!window || !GetCursorPos(&p)) return HTNOWHERE;
    return SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
}

BOOL SetFontOf(HWND child, LPARAM font) {
    SendMessageA(child, WM_SETFONT, static_cast<WPARAM>(font), 0);
    return TRUE;
}

}  // namespace

bool IsCursorInClient(HWND window) {
    return HitAtCursor(window) == HTCLIENT;
}

bool IsCursorOnHScrollBar(HWND window) {
    return HitAtCursor(window) == HTHSCROLL;
}

void SetClassBackground(HWND window, HBRUSH brush) {
    if (reinterpret_cast<HBRUSH>(GetClassLongPtrA(window, GCLP_HBRBACKGROUND)) != brush)
        SetClassLongPtrA(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush));
}

void SetChildrenFont(HWND window) {
    // EnumChildWindows reaches the children of the children too.
    EnumChildWindows(window, SetFontOf, reinterpret_cast<LPARAM>(GetStockObject(ANSI_VAR_FONT)));
}
