// A desktop for the display tests: a real window manager (openbox) on the X display, a user's pointer and
// keyboard (XTest), and questions to the X server and the window manager about the windows they hold. Every
// wait is for an X event (a property, a configure, a drawing of the window), never for a time; a 30 s safety
// net ends a wait that nothing answers. No X type shows here: the X headers clash with GoogleTest's names,
// so windows are X ids in an unsigned long.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// True when a program of that name is on the PATH.
bool ProgramOnPath(const char* name);
// Starts openbox on the display and waits until it manages the screen; its process id, or -1.
int StartWindowManager();
void StopWindowManager(int pid);

// The X window whose title is `name` (anywhere in the tree); 0 when there is none.
unsigned long XWindowNamed(const char* name);
// Waits until the window manager manages a window whose title satisfies `fits`; that window, or 0.
unsigned long WaitForXWindow(const std::function<bool(const std::string&)>& fits);
std::string XWindowTitle(unsigned long w);
// Waits until the title of `w` satisfies `fits`.
bool WaitForXTitle(unsigned long w, const std::function<bool(const std::string&)>& fits);
// Waits until a window of that title is mapped anywhere on the screen, also one the window manager does not
// manage (a tip, a menu); that window, or 0.
unsigned long WaitForMappedXWindow(const char* name);
// Runs `action` (keys that open a menu, say) and waits until a window that was not on the screen before
// shows and is drawn into; that window, or 0.
unsigned long WaitForOpenedAndDrawn(const std::function<void()>& action);
// The window the window manager calls active (_NET_ACTIVE_WINDOW), 0 for none.
unsigned long ActiveXWindow();
// The window that has the keyboard.
unsigned long FocusXWindow();
// Waits until the window manager calls `w` active.
bool WaitUntilActive(unsigned long w);
// A round trip through the window manager: when it returns true the window manager has handled everything
// the X server gave it before.
bool WindowManagerBarrier();

// ---- what the window manager and the X server hold of a window ----
struct XBox {
    int x = 0, y = 0, w = 0, h = 0;
    int Right() const { return x + w; }
    int Bottom() const { return y + h; }
};
// The window's own area on the screen (without the frame the window manager draws around it).
XBox XWindowBox(unsigned long w);
// The frame the window manager draws around the window (_NET_FRAME_EXTENTS) as the space it takes on each
// side: x left, y top, w right, h bottom; all 0 when there is none.
XBox XFrameExtents(unsigned long w);
// The window with its frame on the screen.
XBox XFrameBox(unsigned long w);
// The names of the atoms of the window's _NET_WM_STATE.
std::vector<std::string> XWindowStates(unsigned long w);
bool XHasState(unsigned long w, const char* state);
// Maximized both ways.
bool XWindowMaximized(unsigned long w);
// The name of the window's first _NET_WM_WINDOW_TYPE ("" without one).
std::string XWindowType(unsigned long w);
// The window it is transient for (WM_TRANSIENT_FOR), 0 for none.
unsigned long XTransientFor(unsigned long w);
// The window's size limits (WM_NORMAL_HINTS); 0 where it sets none.
struct XSizeLimits {
    int min_w = 0, min_h = 0, max_w = 0, max_h = 0;
};
XSizeLimits XWindowSizeLimits(unsigned long w);
// The size of the window's first icon (_NET_WM_ICON); false without one.
bool XWindowIcon(unsigned long w, int* width, int* height);
// The screen's pixels in `box` as 0xRRGGBB, rows from the top.
std::vector<uint32_t> XPixels(const XBox& box);
// The screen's size.
XBox XScreenBox();
// Writes the screen, as the X server shows it, to a PNG file.
bool SaveXScreen(const std::string& path);

// Waits until test() holds, checking it again at every change the X server reports of `w` (its properties,
// size, place or mapping, and every drawing into it) and of the root window's properties.
bool WaitForX(unsigned long w, const std::function<bool()>& test);

// ---- requests as a pager, task bar or the user's keyboard shortcuts make them ----
// Adds (or removes) one or two _NET_WM_STATE states.
void RequestXState(unsigned long w, bool add, const char* state, const char* state2 = nullptr);
void RequestMaximize(unsigned long w, bool maximize);
// Iconifies the window (WM_CHANGE_STATE).
void RequestMinimize(unsigned long w);
// Activates the window (_NET_ACTIVE_WINDOW), which also brings an iconified window back.
void RequestActivate(unsigned long w);
// Asks the window manager to close the window, as its close button does.
void CloseXWindow(unsigned long w);

// ---- the user's pointer and keyboard ----
void MovePointer(int x, int y);
// A click of the left button there (the window manager sees it as the user's).
void ClickAt(int x, int y);
// Presses the left button at (x, y).
void PressAt(int x, int y);
// With the button held, moves the pointer to (x, y) in steps.
void MoveHeld(int x, int y);
// Begins a drag that the window manager carries out (it moves or sizes the window as the pointer goes on),
// and waits until it has begun; false when it never does. With (dx, dy) not 0, a drag of the window
// manager's frame around `w`: the left button is pressed at (x, y) and the pointer moved by (dx, dy), which
// starts the window manager's drag. With (0, 0), a press at (x, y) on window `w` at which the program asks
// the window manager to drag: the window manager takes the pointer from the window.
bool BeginWindowManagerDrag(int x, int y, int dx, int dy, unsigned long w);
// With the button held, moves the pointer to (x, y) in steps and releases the button there.
void MoveAndRelease(int x, int y);
// Presses and releases a key given by its keysym name ("o", "Return"), with Control held when asked.
void PressKey(const char* name, bool control);
// Presses (down) or releases a key given by its keysym name: a modifier held while other keys go.
void HoldKey(const char* name, bool down);
// Types printable ASCII text, with Shift where the keyboard needs it.
void TypeText(const std::string& text);
