// Private state of the window manager, shared by its source files.
#pragma once

#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/wm/backend.h"
#include "platform/wm/region.h"
#include "platform/wm/winuser.h"

namespace qsm::wm {

// Keeps the picture of the module's cursor resource `name` (when it has one) for the cursor handle.
void RememberCursorImage(HCURSOR cursor, HINSTANCE instance, LPCSTR name);
// The picture of an icon resource of the module, kept under the icon's handle for GetCursorImage.
void RememberIconImage(HICON icon, HINSTANCE instance, LPCSTR name);

struct ThreadQueue;

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int wnd_extra = 0;
    std::vector<BYTE> cls_extra;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON icon_small = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    LPCSTR menu_name = nullptr;  // an integer resource or points into menu_name_text
    std::string menu_name_text;
    bool system = false;
};

struct ScrollState {
    int min = 0;
    int max = 100;
    UINT page = 0;
    int pos = 0;
    int track_pos = 0;
    bool tracking = false;
    UINT disabled_arrows = 0;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    std::shared_ptr<ThreadQueue> queue;
    std::string text;
    DWORD style = 0;
    DWORD ex_style = 0;
    RECT rect{};    // window rectangle in the parent's client coordinates (screen for top-level windows)
    RECT client{};  // client rectangle in window coordinates
    Window* parent = nullptr;       // only for child windows
    Window* owner = nullptr;        // only for top-level windows
    std::vector<Window*> children;  // Z-order, topmost first
    UINT_PTR id = 0;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    LONG_PTR user_data = 0;
    std::vector<BYTE> extra;
    std::map<std::string, HANDLE> props;
    ScrollState hscroll, vscroll;
    Region update;  // client coordinates
    bool erase_pending = false;
    bool nc_pending = false;
    // Last shown without activation (SWP_NOACTIVATE, SW_SHOWNA ...): the desktop must not give it the
    // keyboard.
    bool shown_without_activation = false;
    bool internal_paint = false;
    bool painting = false;
    bool counted_for_paint = false;
    bool destroying = false;
    bool created = false;  // WM_NCCREATE answered
    bool maximized = false;
    bool nc_active = false;  // caption drawn as active
    bool minimized = false;
    RECT normal_rect{};  // restore rectangle
    // Framed by the desktop (a window manager): the frame it draws takes desktop_frame (left, top, right,
    // bottom) of the window rectangle, and the window draws no frame or caption of its own.
    bool desktop_framed = false;
    RECT desktop_frame{};
    Window* last_active_popup = nullptr;
    HWND dialog_default_focus = nullptr;
    void* control = nullptr;  // private state of a built-in control, owned by its window procedure
    void (*control_free)(void*) = nullptr;

    bool IsChild() const { return (style & WS_CHILD) != 0 && parent != nullptr; }
    bool Visible() const { return (style & WS_VISIBLE) != 0; }
};

struct SentMessage {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wparam = 0;
    LPARAM lparam = 0;
    LRESULT result = 0;
    std::function<LRESULT()> call;   // when set, run on the window's thread in place of a message
    std::function<void()> finished;  // when set, called once done is set (also when the thread is gone)
    bool done = false;
    std::mutex m;
    std::condition_variable cv;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT interval = 0;
    DWORD due = 0;
    TIMERPROC proc = nullptr;
    bool system = false;  // WM_SYSTIMER-like internal timers (caret blinking)
};

struct ThreadQueue {
    DWORD thread_id = 0;
    std::mutex m;
    std::condition_variable cv;
    std::deque<MSG> posted;
    std::deque<MSG> input;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quit = false;
    int quit_code = 0;
    bool alive = true;
    bool backend_thread = false;
    // Touched only by the owning thread.
    std::vector<Timer> timers;
    int windows_to_paint = 0;
    MSG last{};
    int in_send = 0;
};

// Process-wide state. `m` guards the handle table, the class list, atoms and registered messages; the
// window tree and everything else belongs to the window thread.
struct State {
    std::mutex m;
    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    uintptr_t next_handle = 0x1000;
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM next_atom = 0xC000;
    std::unordered_map<std::string, UINT> registered;  // lower-cased names
    UINT next_registered = 0xC000;
    std::map<std::string, std::pair<ATOM, int>> atoms;  // name -> atom, count
    std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;

    std::vector<Window*> toplevels;  // Z-order, topmost first
    HWND active = nullptr;
    HWND focus = nullptr;
    HWND capture = nullptr;
    POINT cursor{0, 0};
    std::array<BYTE, 256> keys{};  // bit 0x80 down, 0x01 toggled: as the input stands now
    // The same as of the input message the window thread retrieved last (what GetKeyState answers).
    std::array<BYTE, 256> msg_keys{};
    HCURSOR current_cursor = nullptr;
    int cursor_shown = 0;
    // Double-click tracking.
    HWND last_click_hwnd = nullptr;
    UINT last_click_msg = 0;
    DWORD last_click_time = 0;
    POINT last_click_pt{};
    std::array<COLORREF, 31> sys_colors{};
};

State& S();
// Looks a handle up; null for a handle that is not (or no longer) a window.
Window* W(HWND hwnd);
std::shared_ptr<Window> Hold(HWND hwnd);
ThreadQueue& CurrentQueue();
std::shared_ptr<ThreadQueue> CurrentQueueShared();
DWORD Now();
void WakeQueue(ThreadQueue& q);
void WakeAllQueues();

// Window helpers.
POINT ScreenOrigin(const Window* w);  // of the window rectangle
POINT ClientOrigin(const Window* w);  // of the client area, in screen coordinates
RECT ScreenRect(const Window* w);
Window* TopLevel(Window* w);
bool ReallyVisible(const Window* w);
LRESULT Call(Window* w, UINT msg, WPARAM wparam, LPARAM lparam);  // calls the window procedure directly
void PostInput(Window* w, UINT msg, WPARAM wparam, LPARAM lparam, DWORD private_data = 0);
void RecalcClient(Window* w, bool send_calc);
void DestroyAllWindows();

// Painting helpers (paint.cc).
// children: 0 as the window's style says (not with WS_CLIPCHILDREN), 1 all children, 2 none.
void InvalidateWindow(Window* w, const RECT* client_rect, bool erase, int children);
void UpdatePaintFlag(Window* w);
bool EraseBackground(Window* w, HDC dc);
// The drawing side (surface.cc): device contexts over a top-level window's back buffer, presenting and
// moving its pixels.
HDC MakePaintDc(Window* w, const Region& clip);
void PresentClientRect(Window* w, const RECT& client_rect);
void ScrollPixels(Window* w, const RECT& client_rect, int dx, int dy);
void FillRectWithBrush(HDC dc, const RECT& r, HBRUSH brush);
void PaintNonClient(Window* w);
void ForgetSurface(HWND top);
// A DC over the window's part of its top-level back buffer: the client area (client) or the whole window,
// clipped to what is visible of it and to `clip` (client or window coordinates) when given.
HDC MakeWindowDc(Window* w, bool client, const Region* clip);
// Draws a scroll bar (window or control) into `r`.
void DrawScrollBar(HDC dc, const RECT& r, const ScrollState& s, bool vertical, bool enabled);
HFONT DefaultGuiFont();
HBRUSH RealBrush(HBRUSH brush);  // a class brush given as a colour index plus one becomes a brush
void DrawMenuBar(Window* w, HDC dc, const RECT& bar);
RECT MenuBarRect(const Window* w);  // in window coordinates
HBRUSH DefaultControlColor(HDC dc, UINT msg);
void SysColorsChanged();
void ResetSysColors();
void FillDefaultColors(std::array<COLORREF, 31>& colors);
void DropPaintState(Window* w);
Window* FindWindowToPaint(ThreadQueue& q);
// Whether the window or a visible window within it waits to be painted.
bool WaitsForPaint(Window* w);

// Input helpers (input.cc).
void ActivateWindow(Window* w, int how);
void ForgetWindow(Window* w);  // clears focus, capture and activation that point at a window being destroyed
Window* HitWindow(POINT screen, LRESULT* hit);
// Brings the key state that GetKeyState answers up to an input message being retrieved.
void TrackKeyState(const MSG& m);

// Non-client helpers (defwnd.cc).
// Asks the backend whether the desktop frames the top-level window (before its first WM_NCCALCSIZE).
void DecideDesktopFrame(Window* w);
// What the frame and caption take on each side of the window rectangle (left, top, right, bottom).
RECT FrameInsets(const Window* w);
RECT DefaultNcCalc(const Window* w, RECT rect);
LRESULT DefaultNcHitTest(Window* w, POINT screen);
void ScrollBarRects(const Window* w, int bar, RECT* whole);  // in window coordinates
void NcScrollClick(Window* w, int bar, POINT screen);

// Timers (queue.cc).
void KillWindowTimers(HWND hwnd);
// Internal timers call `proc` on the window's thread and never show up as messages.
UINT_PTR SetSystemTimer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC proc);
void KillSystemTimer(HWND hwnd, UINT_PTR id);

// Runs `fn` on the thread of the window's queue as a message sent from another thread would be (directly
// on that thread); false when the window or its thread is gone.
bool RunOnWindowThread(HWND hwnd, std::function<LRESULT()> fn, LRESULT* result);
// Queues `fn` to run on the thread of the window's queue as RunOnWindowThread does, but returns at once;
// `finished` is called (on whichever thread) once the call is done or its thread has gone. Null when the
// window or its thread is gone.
std::shared_ptr<SentMessage> QueueOnWindowThread(HWND hwnd, std::function<LRESULT()> fn,
                                                 std::function<void()> finished);
// Answers messages other threads sent to this thread's windows (for loops waiting on something else).
void AnswerIncomingSends();

// Windows of other processes (ipc.cc). A remote handle is no window to W(); these calls take it.
bool IsRemoteWindow(HWND hwnd);
BOOL RemoteIsWindow(HWND hwnd);
HWND RemoteLastActivePopup(HWND hwnd);
BOOL RemoteIsIconic(HWND hwnd);
BOOL RemoteShowWindow(HWND hwnd, int cmd);
BOOL RemoteSetForeground(HWND hwnd);
// Only WM_COPYDATA goes across; false when nothing was delivered. timeout_ms 0 waits as long as it takes.
bool RemoteSend(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT timeout_ms, LRESULT* result);
// A top-level window of an application class came or went: the class's socket is bound or let go.
void IpcTopLevelCreated(Window* w);
void IpcTopLevelDestroyed(Window* w);
void ResetIpcForTests();

// Built-in classes (controls.cc).
void RegisterBuiltinClasses();

// Modal loops (modal.cc): runs the queue until `*done`, calling the pre-translate and idle hooks.
void RunModalLoop(HWND modal, const bool* done, UINT idle_kind);
// Dispatches what is already queued (paint included) without the idle pass or waiting.
void PumpMessagesOnce();
// The innermost modal window whose loop runs on this thread, null when none does.
HWND InnermostModal();
// Gives a dialog's keyboard handling a message of its loop; true when it was used.
bool DialogMessageHook(HWND modal, MSG& m);

// Pointer messages as the loops that hold the capture read them: client and non-client ones alike, since
// those queued before the capture was taken are non-client ones when they were over a window's frame.
inline bool IsPointerMove(UINT msg) {
    return msg == WM_MOUSEMOVE || msg == WM_NCMOUSEMOVE;
}
inline bool IsLeftRelease(UINT msg) {
    return msg == WM_LBUTTONUP || msg == WM_NCLBUTTONUP;
}

int ClampInt(LONG_PTR v);
inline LPARAM PackLParam(POINT p) {
    return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
}

}  // namespace qsm::wm
