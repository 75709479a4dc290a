// What the SDL backend asks of and tells the X desktop beyond what SDL says: whether a window manager runs,
// the frame it draws around each kind of window, and the hints that make it treat a window as the kind it is
// (its type, the window it belongs to, the actions it offers on it). Everything goes through a connection of
// its own to the X server; Xlib is loaded when the first window is made. Without X (or without a window
// manager) every answer is "no" and the backend draws its windows' frames itself.
#pragma once

#include <SDL.h>

#include "platform/base/wintypes.h"

namespace qsm::wm::desktop {

// Closes the connection; the next question opens it again.
void Unbind();

// True when a window manager runs on the display; asked once.
bool ManagerRuns();

// The rectangle of the display SDL counts first, as the X server has it: the primary output of the screen
// (else its first output that shows anything) where XRandR runs, else the whole screen; asked once. False
// without X. Answers the program's first questions while SDL is still starting.
bool ScreenBounds(RECT* bounds);
// The part of the screen that the window manager leaves to windows (_NET_WORKAREA) now; false when it
// names none.
bool WorkArea(RECT* area);

// The kinds of window the window manager frames.
enum class Kind { Normal, Dialog };
// The frame the window manager gives a window of that kind (left, top, right, bottom), as it answers for a
// window of the kind that is never shown; asked once per kind. False when it does not answer.
bool FrameOfKind(Kind kind, bool resizable, RECT* frame);

// Hints of a framed window, set before it is first shown: its kind and the actions the window manager
// offers on it (the close action always).
void SetFramedHints(SDL_Window* win, Kind kind, bool resizable, bool minimize, bool maximize);
// The window `win` belongs to (WM_TRANSIENT_FOR): the window manager keeps it above that one and places it
// over it.
void SetOwner(SDL_Window* win, SDL_Window* owner);
// Asks the window manager to put a window that belongs to another back over it, after that one was shown
// above it (a floating toolbar shown before its frame).
void RaiseOwned(SDL_Window* win);
// The frame the window manager draws around the window now (_NET_FRAME_EXTENTS); false when it has not said.
bool CurrentFrame(SDL_Window* win, RECT* frame);
// Where the window is on the screen now, as the X server has it: SDL's own record of the place is only
// updated when the place it is told of changes, so after a move SDL asked for with a frame it no longer knows
// (the window manager changed it since) it keeps the place it asked for. False without X.
bool CurrentPlace(SDL_Window* win, int* x, int* y);
// The X window of an SDL window (0 without X).
unsigned long XWindowOf(SDL_Window* win);
// The X window whose frame the window manager changed, when that is what the display's event `msg` says
// (SDL reports no such change itself); else 0.
unsigned long FrameChangedIn(const SDL_SysWMmsg* msg);
// Whether the display's event `msg` moves the keyboard focus to or from a window.
bool FocusChangeIn(const SDL_SysWMmsg* msg);

}  // namespace qsm::wm::desktop
