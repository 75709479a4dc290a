// The on-screen backend: every top-level window of the window manager is a borderless SDL window that
// shows the window's back buffer, non-client area included (the window manager draws captions, frames and
// menu bars itself). SDL's hit-test callback answers from WM_NCHITTEST, so that moving by the caption and
// sizing by the edges are done by the desktop. Input, activation, close requests and dropped files come
// back as input of the window manager. X11 is the reference display.
#pragma once

#include "platform/wm/winuser.h"

namespace qsm::wm {

// Starts SDL's video on the current thread (which must be the window thread, before its first window) and
// installs the backend. False, with the headless backend left in place, where there is no display.
bool InstallSdlBackend();
// Closes every SDL window and SDL itself and puts the headless backend back.
void RemoveSdlBackend();
// True while the SDL backend is installed.
bool SdlBackendActive();
// What the desktop is told about a press at `window_pt` (coordinates of its SDL window) of top-level window
// `hwnd`:
// an SDL_HitTestResult (0 normal, 1 draggable, 2 to 9 the sizing edges and corners).
int DesktopHitTest(HWND hwnd, POINT window_pt);

}  // namespace qsm::wm
