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
// The same for a program's start: SDL starts on a thread of its own while the program goes on, where an X
// display answers; the first windows shown are made once it runs. Where SDL then finds no display after
// all, `no_display` is called on the window thread and the program runs as without one. False, with nothing
// started, where no X display answers (InstallSdlBackend may still find another).
bool InstallSdlBackendBeside(void (*no_display)());
// Closes every SDL window and SDL itself and puts the headless backend back.
void RemoveSdlBackend();
// True while the SDL backend is installed.
bool SdlBackendActive();
// What the desktop is told about a press at `window_pt` (coordinates of its SDL window) of top-level window
// `hwnd`:
// an SDL_HitTestResult (0 normal, 1 draggable, 2 to 9 the sizing edges and corners).
int DesktopHitTest(HWND hwnd, POINT window_pt);

}  // namespace qsm::wm
