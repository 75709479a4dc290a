// Support for the screenshot programs and display tests: the SDL backend on a real display, the X server's
// pixels of a window and the comparison of those with what the window drew.
#pragma once

#include <cairo.h>

#include "platform/wm/winuser.h"

// The X server's pixels of a screen rectangle as a cairo image; null without a display (x11_grab.cc).
cairo_surface_t* GrabScreen(const RECT& r);
// Takes the keyboard from every window, as a switch to another program does (x11_grab.cc).
bool DropKeyboardFocus();

namespace qsm::shot {

// Installs the SDL backend when a display is there (DISPLAY set, as under xvfb-run); false: the headless
// backend stays and draws the same pixels on its virtual screen.
bool StartDisplay();
// Closes every window and removes the SDL backend that StartDisplay installed.
void EndDisplay();

// The pixels in which the X server's picture of the window differs from its back buffer (-1: not
// comparable).
long DifferingPixels(cairo_surface_t* screen, HWND hwnd);
// Whether the X server shows the window exactly as it drew itself.
bool ShownAsDrawn(HWND hwnd);
// Dispatches every message waiting in the queue.
void Pump();

}  // namespace qsm::shot
