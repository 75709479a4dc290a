// Message boxes with printf-style texts and a sensible owner, and small window helpers: centring, cursor
// hit tests, the class background and the font of child windows.
#pragma once

#include <cstdarg>

#include "platform/framework/window.h"

// The window a box for `window` belongs to: the first of the window and its ancestors whose style has the
// border or the dialog-frame bit; the window itself when none has. Null for null.
TWindow* FindMessageBoxOwner(TWindow* window);
HWND FindMessageBoxOwner(HWND window);

// Formats the text (cut to 1023 bytes, never more) and shows it. Without an owner the box is task-modal:
// every window of the thread waits for it. With one, the box is owned by FindMessageBoxOwner(owner).
// Returns the box's answer (IDOK, IDCANCEL, IDYES, IDNO, ...).
int MessageBoxPrintf(TWindow* owner, UINT flags, const char* caption, const char* format, va_list args)
    __attribute__((format(printf, 4, 0)));
int FormatMessageBox(TWindow* owner, UINT flags, const char* caption, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
// An OK box with the information icon and the caption "Information".
int InfoBox(TWindow* owner, const char* format, ...) __attribute__((format(printf, 2, 3)));
// InfoBox owned by the application's main window (task-modal when there is none).
int AppInfoBox(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Moves `window`, keeping its size, so that its centre is the centre of `other`; the left and top edges
// are kept on the screen (never negative).
void CenterWindowOver(HWND window, HWND other, bool repaint);
// Centres the window on the screen, keeping its size.
void CenterWindowOnScreen(HWND window, bool repaint);
void CenterWindow(TWindow& window, bool repaint);
// The same through SetWindowPos, with no change of size or Z order.
void CenterOnScreenNoSize(TWindow& window);

// Whether the cursor is over the window's client area, or over its horizontal scroll bar.
bool IsCursorInClient(HWND window);
bool IsCursorOnHScrollBar(HWND window);

// Sets the background brush of the window's class when it differs from the one set.
void SetClassBackground(HWND window, HBRUSH brush);

// Gives every child window, at every depth, the stock ANSI_VAR_FONT (without redrawing).
void SetChildrenFont(HWND window);
