// Pixels of windows: the back buffers of top-level windows and the screen overlay, for backends and tests.
#pragma once

#include "platform/wm/winuser.h"

using cairo_surface_t = struct _cairo_surface;

namespace qsm::wm {

// The back buffer of a window's top-level window (borrowed; valid until the window is resized or goes).
cairo_surface_t* TopLevelSurface(HWND hwnd);
// What was drawn on the screen DC (GetDC(nullptr)); transparent elsewhere.
cairo_surface_t* ScreenOverlaySurface();
// The virtual screen: the desktop colour, the visible top-level windows in Z-order, the overlay.
bool SaveScreenPng(const char* path);
// Drops every buffer (between tests).
void ResetSurfaces();

}  // namespace qsm::wm
