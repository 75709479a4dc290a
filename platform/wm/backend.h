// The display side of the window manager. All windows, top-level and child, belong to the window manager;
// a backend shows top-level windows and reports input. The headless backend (the default) keeps a virtual
// screen and takes input from the functions below, which tests call; the SDL backend shows real windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"
#include "platform/wm/winuser.h"

namespace qsm::wm {

class Backend {
public:
    virtual ~Backend() = default;
    virtual SIZE ScreenSize() const = 0;
    // True when the backend waits for its own events on the window thread; Wait then replaces the queue's
    // condition variable there and Wake (callable from any thread) must end a Wait in progress.
    virtual bool OwnsWait() const { return false; }
    virtual void Wait(DWORD /*timeout_ms*/) {}
    virtual void Wake() {}
    // Turns pending display events into input of the window manager.
    virtual void Pump() {}
    // The window thread's queue has nothing to do: what waits to be shown is shown now.
    virtual void Settle() {}
    // Top-level windows.
    virtual void TopLevelCreated(HWND /*hwnd*/) {}
    virtual void TopLevelDestroyed(HWND /*hwnd*/) {}
    virtual void TopLevelShown(HWND /*hwnd*/, bool /*shown*/) {}
    virtual void TopLevelMoved(HWND /*hwnd*/, const RECT& /*screen*/) {}
    virtual void TopLevelTitle(HWND /*hwnd*/, const char* /*title*/) {}
    virtual void TopLevelRaised(HWND /*hwnd*/) {}
    // Whether the desktop (a window manager) frames a top-level window of this style: it draws the frame
    // and caption and moves, sizes, maximizes and minimizes the window. `frame` gets what the frame takes
    // on each side (left, top, right, bottom). False: the window manager draws the whole non-client area.
    virtual bool DesktopFrame(DWORD /*style*/, DWORD /*ex_style*/, RECT* /*frame*/) { return false; }
    // A top-level window goes to the state: 0 normal, 1 minimized, 2 maximized. The desktop carries it out
    // and reports the outcome (DesktopPlaced).
    virtual void TopLevelState(HWND /*hwnd*/, int /*state*/) {}
    // The part of the screen that a maximized window fills.
    virtual RECT WorkArea() const {
        SIZE s = ScreenSize();
        return RECT{0, 0, s.cx, s.cy};
    }
    // Memory of `bytes` for a top-level window's back buffer that the backend shows without copying it, and
    // how it is freed; null: the buffer is the drawing library's own.
    virtual void* NewBufferBlock(std::size_t /*bytes*/, void (** /*release*/)(void*)) { return nullptr; }
    // Pixels of a top-level window changed inside `rect` (window coordinates).
    virtual void Present(HWND /*hwnd*/, const RECT& /*rect*/) {}
    virtual void CursorChanged(HCURSOR /*cursor*/) {}
    virtual void CaptureChanged(bool /*captured*/) {}
    virtual void Beep() {}
};

// The backend in use (the headless one unless another was installed). Installing one is done before the
// first window is made; the window manager does not own it.
Backend& CurrentBackend();
void InstallBackend(Backend* backend);

// ---- clock ----
// The clock behind GetTickCount, timers, double clicks and message times. A manual clock only moves when
// AdvanceClock is called; waiting threads then see the new time.
void SetManualClock(bool manual, DWORD start_ms = 0);
void AdvanceClock(DWORD ms);

// ---- input as a display reports it (screen coordinates) ----
void InputMouseMove(int x, int y);
// button: 0 left, 1 right, 2 middle, 3 and 4 the side buttons (back and forward).
void InputMouseButton(int button, bool down);
void InputMouseWheel(int delta);
// A key press or release; `ch` is the character the key yields (0: none, -1: derive it from the key and the
// shift and control state as a US keyboard would).
void InputKey(int vk, bool down, int ch = -1);
// Characters typed without key messages (text input of a display), in code page 1252.
void InputText(const char* text);
void InputDropFiles(HWND hwnd, POINT client_pt, const std::vector<std::string>& paths);
// A close request from the desktop for a top-level window.
void InputClose(HWND hwnd);
// The desktop placed a top-level window it frames: its state, its rectangle on the screen with the frame,
// and the frame (left, top, right, bottom; null: unchanged). The window is told as if it had been moved and
// sized so (WM_SIZE says whether it is maximized, minimized or restored).
void DesktopPlaced(HWND hwnd, bool minimized, bool maximized, const RECT& rect, const RECT* frame);

// ---- conveniences for tests ----
void Click(int x, int y, int button = 0);
void PressKey(int vk, int ch = -1);
// Dispatches every message that is due (sent, posted, input, paint, timers) without waiting; returns the
// number dispatched. This is how tests run the queue.
int PumpMessages();
// Milliseconds until the first timer of the calling thread's queue is due: 0 when one is due now, 0xFFFFFFFF
// when the thread has none. A host that runs the queue from another event loop (a browser running a
// plug-in) asks it to know when to call PumpMessages next.
DWORD NextTimerDue();

// The caret: its window, its rectangle in that window's client area and whether it shows now; false
// when there is none. Backends draw it over the window's pixels.
bool GetCaretState(HWND* owner, RECT* client_rect, bool* on);

// The picture of a cursor loaded from a cursor resource of a module: width x height pixels as 0xAARRGGBB,
// rows from the top, and its hot spot. False for system cursors and for cursors without a picture.
struct CursorImage {
    int width = 0, height = 0;
    int hot_x = 0, hot_y = 0;
    std::vector<uint32_t> pixels;
};
bool GetCursorImage(HCURSOR cursor, CursorImage* out);
// Reads a cursor resource: the hot spot (two 16-bit words), then a monochrome DIB of twice the cursor's
// height, the colour mask above the transparency mask. False for data that is not one.
bool ParseCursorResource(const void* data, size_t size, CursorImage* out);
// Reads an icon resource: a 32-bit DIB (BITMAPINFOHEADER, then rows of blue, green, red and alpha bytes,
// bottom-up for a positive height) whose alpha is the icon's transparency. Its picture is found through
// GetCursorImage under the handle LoadIconA gives. False for data that is not one.
bool ParseIconResource(const void* data, size_t size, CursorImage* out);

// Called with a modal window (dialog, message box, popup menu window) once its loop runs; a test answers
// it by sending input or ending it. With no hook, modal windows wait for real input.
using ModalHook = std::function<void(HWND)>;
void SetModalHook(ModalHook hook);
void CallModalHook(HWND hwnd);

// Destroys every window, kills timers, empties the queues and resets focus, capture, key state, the clock
// and the hooks: a clean slate between tests. From then on windows are found across processes only through
// the directory that the environment variable QSM_WM_IPC_DIR names (none when it is not set), so that tests
// running side by side never see each other's windows. Without a call to it, the per-user directory
// $XDG_RUNTIME_DIR/qsm-wm (or /tmp/qsm-wm-<uid>) is used unless QSM_WM_IPC_DIR names another.
void ResetForTests();

// While one lives on a thread, every call of that thread that waits on a window of another process
// (FindWindowA, the activation calls and WM_COPYDATA on what it found) is over by the same moment, given
// in milliseconds from its making: a call that would wait past it gives up with ERROR_TIMEOUT, and a
// request the other process had not yet taken is then dropped there. Limits nest; the nearest holds.
class RemoteCallLimit {
public:
    explicit RemoteCallLimit(unsigned ms);
    ~RemoteCallLimit();
    RemoteCallLimit(const RemoteCallLimit&) = delete;
    RemoteCallLimit& operator=(const RemoteCallLimit&) = delete;
    // Whether a call under this limit gave up.
    bool GaveUp() const;

private:
    int64_t previous_;  // the limit before this one (steady clock, nanoseconds)
    unsigned gave_up_;  // the calls of this thread that had given up when this one was made
};

// Keeps the top-level windows this process makes from then on out of other processes' reach (their
// FindWindowA does not see them): for a run that ends of its own accord and would drop what it is handed.
void HideWindowsFromOtherProcesses();

// Hooks of the application's message loop: offered every queued message before translation (true: it was
// handled), and the idle pass with its count. The dialog, message box and menu loops call them too.
struct LoopHooks {
    std::function<bool(MSG&)> pre_translate;
    std::function<bool(LONG count)> idle;
};
void SetLoopHooks(LoopHooks hooks);
const LoopHooks& GetLoopHooks();

}  // namespace qsm::wm
