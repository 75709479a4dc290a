// Pixels of windows: the back buffers of top-level windows and the screen overlay, for backends and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/wm/winuser.h"

using cairo_surface_t = struct _cairo_surface;

namespace qsm::wm {

// The back buffer of a window's top-level window (borrowed; valid until the window is resized or goes).
cairo_surface_t* TopLevelSurface(HWND hwnd);

// Maps in at once, for writing, the pages of a new block that is about to be drawn over whole (a window's
// back buffer, the display's image of a window): one request rather than a fault at each page, which is
// costly on a loaded or virtual machine. Does nothing where the system cannot.
void MapInForWriting(void* block, std::size_t bytes);
// The window DCs taken and not yet released: the top-level window each draws into and its bounds there.
// What is drawn through them shows when they are released; a host that shows the pixels itself (a browser's
// plug-in site) shows these bounds too after handling messages, for a DC kept across messages (a drag).
std::vector<std::pair<HWND, RECT>> HeldWindowDcs();
// What was drawn on the screen DC (GetDC(nullptr)): an exclusive-or layer over every window. Its colour
// bits are xor-ed into the windows' pixels beneath, so what is drawn there twice (a drag frame drawn and
// drawn again to erase it) leaves no trace; where nothing was drawn they are zero. Null until something is
// first drawn there.
cairo_surface_t* ScreenOverlaySurface();
// The screen rectangle that holds every bit of the overlay that is not zero; empty when it holds none.
RECT ScreenOverlayBounds();
// Xors the overlay's colour bits at screen point (x, y) into the xrgb pixel.
uint32_t XorScreenOverlay(uint32_t pixel, int x, int y);
// The virtual screen: the desktop colour, the visible top-level windows in Z-order, the overlay.
bool SaveScreenPng(const char* path);
// Drops every buffer (between tests).
void ResetSurfaces();

}  // namespace qsm::wm
