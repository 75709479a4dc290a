// Support for the screenshot programs and display tests: the SDL backend on a real display, the X server's
// pixels of a window and the comparison of those with what the window drew.
#pragma once

#include <cairo.h>

#include <string>

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
// The pixels in which the X server shows the window otherwise than it drew itself now (-1: no display, or
// not comparable).
long DifferingOnScreen(HWND hwnd);
// Whether the X server shows the window exactly as it drew itself.
bool ShownAsDrawn(HWND hwnd);
// Dispatches every message waiting in the queue.
void Pump();

// Saves dialogs as <Folder>/<name>.png: the X server's pixels once it shows the dialog as drawn when
// OnDisplay, the dialog's own pixels otherwise.
struct TDialogShots {
    std::string Folder;
    bool OnDisplay = false;
    int Failures = 0;

    // Saves the dialog with the focus on its OK or Cancel button, so that no caret blinks in the picture.
    bool Save(HWND dlg, const char* name);
    // The next modal window is saved under `name`, then closed; a failure counts in Failures.
    void Next(const char* name);
};

}  // namespace qsm::shot
