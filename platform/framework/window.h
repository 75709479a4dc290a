// The window classes of the class library: event handlers with response tables, command enablers, modules
// and the application, and TWindow, the object behind every window.
//
// Response tables. Each class that handles messages declares `DECLARE_RESPONSE_TABLE(TClass);` and defines
// its table in its source file:
//
//   DEFINE_RESPONSE_TABLE1(TMyView, TWindow)
//     EV_WM_SIZE,
//     EV_COMMAND(CM_ZOOMIN, CmZoomIn),
//   END_RESPONSE_TABLE;
//
// A message is looked up by the virtual Find: the class's own table first, then its base's, so a derived
// table overrides its base's entries. Handlers of cracked messages (EV_WM_*) have fixed names and
// signatures (EvSize, EvKeyDown ...); TWindow gives each a default that calls DefaultProcessing, which
// hands the message being dispatched to the window's default procedure (the class's default window
// procedure, the original procedure of a subclassed control, or the dialog manager for a dialog).
//
// Rules of the library that the code built on it relies on:
// - Pre-processing: the application offers every queued message, before translation and dispatch, to
//   PreProcessMsg of its target window's object and then of each ancestor's object, nearest first; the
//   first that answers true has handled it. (A decorated frame also offers it to its visible decorations,
//   see frame.h.)
// - Idle processing: the application's IdleAction(count) reaches the main window's IdleAction, and
//   TWindow::IdleAction passes the count to every object in its child list: child windows and the popups
//   made with this window as parent object. Idle processing continues while any of them answers true.
// - Commands: WM_COMMAND from a menu or accelerator (no control handle) is routed by a frame window from
//   the focus window up through its ancestors to the frame; the first EV_COMMAND entry found is called.
//   A notification from a control goes to the control's parent: an EV_CHILD_NOTIFY entry for that
//   (id, code) first, then an EV_COMMAND entry for the id.
// - Command enabling: a TCommandEnabler is routed like a menu command (message WM_COMMAND_ENABLE with the
//   enabler's address in lParam); the first EV_COMMAND_ENABLE entry found is called. When none calls
//   Enable, the command is enabled if some window along the route has an EV_COMMAND entry for it and
//   disabled otherwise.
// - Creation: Create registers the class from GetWindowClass under GetClassName (once), makes the window
//   and, when WM_CREATE arrives, runs SetupWindow (which creates the child list's windows in order) and
//   then transfers data into the children. For a predefined class (a standard control) the window is
//   made with that class, subclassed afterwards, and set up then.
// - Transfer: TransferData walks the child list in creation order; each child with transfer enabled
//   Transfers its data from or into the buffer and the walk advances by the size it returns.
// - Destruction: deleting a window object deletes the objects in its child list first, then destroys its
//   window. A window destroyed by the window manager leaves its object without a handle.
// The framework runs on one window thread: objects are found from their handles through a table of that
// thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/framework/dc.h"
#include "platform/framework/geometry.h"
#include "platform/wm/winuser.h"

// The message that carries command enabling: lParam is the TCommandEnabler*.
#define WM_COMMAND_ENABLE 0x7FFF

class TWindow;
class TApplication;
class TEventHandler;

// ---- response tables ----

struct TResponseTableEntry {
    using TDispatcher = LRESULT (*)(TEventHandler&, WPARAM, LPARAM);
    static constexpr UINT kAnyCode = 0xFFFFFFFFu;
    UINT Msg;
    UINT Id;      // command id for WM_COMMAND, WM_COMMAND_ENABLE and WM_NOTIFY entries
    UINT Notify;  // notification code of child notifications, kAnyCode for any
    TDispatcher Dispatcher;
};

struct TEventInfo {
    explicit TEventInfo(UINT msg, UINT id = 0, UINT notify = TResponseTableEntry::kAnyCode)
        : Msg(msg), Id(id), Notify(notify) {}
    UINT Msg;
    UINT Id;
    UINT Notify;
    // With exact notify, only entries for that very notification code match (not kAnyCode ones).
    bool ExactNotify = false;
    const TResponseTableEntry* Entry = nullptr;
};

class TEventHandler {
public:
    virtual ~TEventHandler() = default;
    // Looks the event up in the response tables, most derived first; sets info.Entry when found.
    virtual bool Find(TEventInfo& info);
    LRESULT Dispatch(TEventInfo& info, WPARAM wp, LPARAM lp) { return info.Entry->Dispatcher(*this, wp, lp); }

protected:
    static bool SearchEntries(const TResponseTableEntry* entries, TEventInfo& info);
};

#define DECLARE_RESPONSE_TABLE(cls) \
public:                             \
    bool Find(TEventInfo& info) override

#define DEFINE_RESPONSE_TABLE1(cls, base)      \
    bool cls::Find(TEventInfo& info) {         \
        using TMyClass [[maybe_unused]] = cls; \
        using TMyBase = base;                  \
        static const TResponseTableEntry kEntries[] = {
#define END_RESPONSE_TABLE                                                      \
    { 0, 0, 0, nullptr }                                                        \
    }                                                                           \
    ;                                                                           \
    return TEventHandler::SearchEntries(kEntries, info) || TMyBase::Find(info); \
    }                                                                           \
    static_assert(true)

#define QSM_EV_SELF(h) dynamic_cast<TMyClass&>(h)
#define QSM_EV(msg, body)                                                                                \
    TResponseTableEntry {                                                                                \
        msg, 0, TResponseTableEntry::kAnyCode,                                                           \
            [](TEventHandler& h_, [[maybe_unused]] WPARAM wp_, [[maybe_unused]] LPARAM lp_) -> LRESULT { \
                [[maybe_unused]] auto& self_ = QSM_EV_SELF(h_);                                          \
                body                                                                                     \
            }                                                                                            \
    }

// Raw messages: the handler takes (WPARAM, LPARAM) and returns LRESULT.
#define EV_MESSAGE(msg, method) QSM_EV(msg, return self_.method(wp_, lp_);)
// Registered messages: the id is asked for when the table is first searched.
#define EV_REGISTERED(name, method) QSM_EV(RegisterWindowMessageA(name), return self_.method(wp_, lp_);)

#define EV_COMMAND(id, method)                                            \
    TResponseTableEntry {                                                 \
        WM_COMMAND, static_cast<UINT>(id), TResponseTableEntry::kAnyCode, \
            [](TEventHandler& h_, WPARAM, LPARAM) -> LRESULT {            \
                QSM_EV_SELF(h_).method();                                 \
                return 0;                                                 \
            }                                                             \
    }
#define EV_COMMAND_AND_ID(id, method)                                     \
    TResponseTableEntry {                                                 \
        WM_COMMAND, static_cast<UINT>(id), TResponseTableEntry::kAnyCode, \
            [](TEventHandler& h_, WPARAM wp_, LPARAM) -> LRESULT {        \
                QSM_EV_SELF(h_).method(LOWORD(wp_));                      \
                return 0;                                                 \
            }                                                             \
    }
#define EV_COMMAND_ENABLE(id, method)                                             \
    TResponseTableEntry {                                                         \
        WM_COMMAND_ENABLE, static_cast<UINT>(id), TResponseTableEntry::kAnyCode,  \
            [](TEventHandler& h_, WPARAM, LPARAM lp_) -> LRESULT {                \
                QSM_EV_SELF(h_).method(*reinterpret_cast<TCommandEnabler*>(lp_)); \
                return 0;                                                         \
            }                                                                     \
    }
#define EV_CHILD_NOTIFY(id, code, method)                           \
    TResponseTableEntry {                                           \
        WM_COMMAND, static_cast<UINT>(id), static_cast<UINT>(code), \
            [](TEventHandler& h_, WPARAM, LPARAM) -> LRESULT {      \
                QSM_EV_SELF(h_).method();                           \
                return 0;                                           \
            }                                                       \
    }
// The handler takes the notification code.
#define EV_CHILD_NOTIFY_ALL_CODES(id, method)                             \
    TResponseTableEntry {                                                 \
        WM_COMMAND, static_cast<UINT>(id), TResponseTableEntry::kAnyCode, \
            [](TEventHandler& h_, WPARAM wp_, LPARAM) -> LRESULT {        \
                QSM_EV_SELF(h_).method(HIWORD(wp_));                      \
                return 0;                                                 \
            }                                                             \
    }
// WM_NOTIFY from the control with that id; the handler takes the NMHDR and returns LRESULT.
#define EV_NOTIFY(id, method)                                                  \
    TResponseTableEntry {                                                      \
        WM_NOTIFY, static_cast<UINT>(id), TResponseTableEntry::kAnyCode,       \
            [](TEventHandler& h_, WPARAM, LPARAM lp_) -> LRESULT {             \
                return QSM_EV_SELF(h_).method(*reinterpret_cast<NMHDR*>(lp_)); \
            }                                                                  \
    }

// Cracked window messages.
#define QSM_PT(lp) TPoint(GET_X_LPARAM(lp), GET_Y_LPARAM(lp))
#define EV_WM_CREATE QSM_EV(WM_CREATE, return self_.EvCreate(*reinterpret_cast<CREATESTRUCTA*>(lp_));)
#define EV_WM_DESTROY QSM_EV(WM_DESTROY, self_.EvDestroy(); return 0;)
#define EV_WM_CLOSE QSM_EV(WM_CLOSE, self_.EvClose(); return 0;)
#define EV_WM_SIZE \
    QSM_EV(WM_SIZE, self_.EvSize(static_cast<UINT>(wp_), TSize(LOWORD(lp_), HIWORD(lp_))); return 0;)
#define EV_WM_MOVE QSM_EV(WM_MOVE, self_.EvMove(QSM_PT(lp_)); return 0;)
#define EV_WM_PAINT QSM_EV(WM_PAINT, self_.EvPaint(); return 0;)
#define EV_WM_ERASEBKGND QSM_EV(WM_ERASEBKGND, return self_.EvEraseBkgnd(reinterpret_cast<HDC>(wp_));)
#define EV_WM_SETFOCUS QSM_EV(WM_SETFOCUS, self_.EvSetFocus(reinterpret_cast<HWND>(wp_)); return 0;)
#define EV_WM_KILLFOCUS QSM_EV(WM_KILLFOCUS, self_.EvKillFocus(reinterpret_cast<HWND>(wp_)); return 0;)
#define QSM_EV_MOUSE(msg, method) QSM_EV(msg, self_.method(static_cast<UINT>(wp_), QSM_PT(lp_)); return 0;)
#define EV_WM_LBUTTONDOWN QSM_EV_MOUSE(WM_LBUTTONDOWN, EvLButtonDown)
#define EV_WM_LBUTTONUP QSM_EV_MOUSE(WM_LBUTTONUP, EvLButtonUp)
#define EV_WM_LBUTTONDBLCLK QSM_EV_MOUSE(WM_LBUTTONDBLCLK, EvLButtonDblClk)
#define EV_WM_RBUTTONDOWN QSM_EV_MOUSE(WM_RBUTTONDOWN, EvRButtonDown)
#define EV_WM_RBUTTONUP QSM_EV_MOUSE(WM_RBUTTONUP, EvRButtonUp)
#define EV_WM_MOUSEMOVE QSM_EV_MOUSE(WM_MOUSEMOVE, EvMouseMove)
#define EV_WM_MOUSEWHEEL  \
    QSM_EV(WM_MOUSEWHEEL, \
           return self_.EvMouseWheel(LOWORD(wp_), static_cast<SHORT>(HIWORD(wp_)), QSM_PT(lp_)) ? 1 : 0;)
#define QSM_EV_KEY(msg, method) \
    QSM_EV(msg, self_.method(static_cast<UINT>(wp_), LOWORD(lp_), HIWORD(lp_)); return 0;)
#define EV_WM_KEYDOWN QSM_EV_KEY(WM_KEYDOWN, EvKeyDown)
#define EV_WM_KEYUP QSM_EV_KEY(WM_KEYUP, EvKeyUp)
#define EV_WM_CHAR QSM_EV_KEY(WM_CHAR, EvChar)
#define EV_WM_SYSKEYDOWN QSM_EV_KEY(WM_SYSKEYDOWN, EvSysKeyDown)
#define QSM_EV_SCROLL(msg, method) \
    QSM_EV(msg, self_.method(LOWORD(wp_), HIWORD(wp_), reinterpret_cast<HWND>(lp_)); return 0;)
#define EV_WM_HSCROLL QSM_EV_SCROLL(WM_HSCROLL, EvHScroll)
#define EV_WM_VSCROLL QSM_EV_SCROLL(WM_VSCROLL, EvVScroll)
#define EV_WM_TIMER QSM_EV(WM_TIMER, self_.EvTimer(static_cast<UINT>(wp_)); return 0;)
#define EV_WM_GETDLGCODE QSM_EV(WM_GETDLGCODE, return self_.EvGetDlgCode(reinterpret_cast<const MSG*>(lp_));)
#define EV_WM_SETCURSOR  \
    QSM_EV(WM_SETCURSOR, \
           return self_.EvSetCursor(reinterpret_cast<HWND>(wp_), LOWORD(lp_), HIWORD(lp_)) ? 1 : 0;)
#define EV_WM_NCHITTEST QSM_EV(WM_NCHITTEST, return self_.EvNCHitTest(QSM_PT(lp_));)
#define EV_WM_GETMINMAXINFO \
    QSM_EV(WM_GETMINMAXINFO, self_.EvGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lp_)); return 0;)
#define EV_WM_DRAWITEM                                                                                     \
    QSM_EV(WM_DRAWITEM, self_.EvDrawItem(static_cast<UINT>(wp_), *reinterpret_cast<DRAWITEMSTRUCT*>(lp_)); \
           return 1;)
#define EV_WM_SETFONT QSM_EV(WM_SETFONT, self_.EvSetFont(reinterpret_cast<HFONT>(wp_), lp_ != 0); return 0;)
#define EV_WM_ACTIVATE                                                                                \
    QSM_EV(WM_ACTIVATE, self_.EvActivate(LOWORD(wp_), HIWORD(wp_) != 0, reinterpret_cast<HWND>(lp_)); \
           return 0;)
#define EV_WM_SYSCOLORCHANGE QSM_EV(WM_SYSCOLORCHANGE, self_.EvSysColorChange(); return 0;)
#define EV_WM_DROPFILES QSM_EV(WM_DROPFILES, self_.EvDropFiles(reinterpret_cast<HDROP>(wp_)); return 0;)
#define EV_WM_COPYDATA                                                                                  \
    QSM_EV(WM_COPYDATA,                                                                                 \
           return self_.EvCopyData(reinterpret_cast<HWND>(wp_), reinterpret_cast<COPYDATASTRUCT*>(lp_)) \
                      ? 1                                                                               \
                      : 0;)
#define EV_WM_CAPTURECHANGED \
    QSM_EV(WM_CAPTURECHANGED, self_.EvCaptureChanged(reinterpret_cast<HWND>(lp_)); return 0;)
#define EV_WM_INITMENUPOPUP                                                                    \
    QSM_EV(WM_INITMENUPOPUP,                                                                   \
           self_.EvInitMenuPopup(reinterpret_cast<HMENU>(wp_), LOWORD(lp_), HIWORD(lp_) != 0); \
           return 0;)
#define EV_WM_CONTEXTMENU \
    QSM_EV(WM_CONTEXTMENU, self_.EvContextMenu(reinterpret_cast<HWND>(wp_), QSM_PT(lp_)); return 0;)
#define EV_WM_CTLCOLORSTATIC                                  \
    QSM_EV(WM_CTLCOLORSTATIC,                                 \
           return reinterpret_cast<LRESULT>(self_.EvCtlColor( \
               reinterpret_cast<HDC>(wp_), reinterpret_cast<HWND>(lp_), WM_CTLCOLORSTATIC));)
#define EV_WM_ENTERIDLE \
    QSM_EV(WM_ENTERIDLE, self_.EvEnterIdle(static_cast<UINT>(wp_), reinterpret_cast<HWND>(lp_)); return 0;)
#define EV_WM_GESTURE QSM_EV(WM_GESTURE, return self_.EvGesture(wp_, lp_);)

// ---- command enablers ----

// Asks whether a command is available now, on behalf of a menu item, a gadget or any other command
// source. The receiver answers through Enable, SetCheck and SetText; Enable marks the enabler handled.
class TCommandEnabler {
public:
    enum { Unchecked = 0, Checked = 1, Indeterminate = 2 };
    explicit TCommandEnabler(UINT id, HWND receiver = nullptr) : Id(id), Receiver(receiver) {}
    virtual ~TCommandEnabler() = default;
    UINT GetId() const { return Id; }
    HWND GetReceiver() const { return Receiver; }
    bool IsReceiver(HWND hwnd) const { return hwnd == Receiver; }
    virtual void Enable(bool enable = true) {
        Handled = true;
        Enabled = enable;
    }
    virtual void SetText(const char* text) { Text = text ? text : ""; }
    virtual void SetCheck(int state) { CheckState = state; }
    bool GetHandled() const { return Handled; }
    // What the receiver answered (for command sources that read the answer afterwards).
    bool GetEnabled() const { return Enabled; }
    int GetCheck() const { return CheckState; }
    const std::string& GetText() const { return Text; }

protected:
    UINT Id;
    HWND Receiver;
    bool Handled = false;
    bool Enabled = true;
    int CheckState = -1;  // -1: not set
    std::string Text;
};

// ---- modules and the application ----

class TModule {
public:
    // A null instance is the program's module.
    explicit TModule(const char* name = nullptr, HINSTANCE instance = nullptr);
    virtual ~TModule() = default;
    HINSTANCE GetInstance() const { return Instance; }
    operator HINSTANCE() const { return Instance; }  // NOLINT(google-explicit-constructor)
    const std::string& GetName() const { return Name; }

    // Resources of this module.
    int LoadString(UINT id, char* buf, int size) const;
    std::string LoadString(UINT id) const;
    HCURSOR LoadCursor(const char* name) const;
    HICON LoadIcon(const char* name) const;
    HMENU LoadMenu(const char* name) const;
    HACCEL LoadAccelerators(const char* name) const;
    // The bytes of a resource; null (and size 0) when there is none.
    const void* LoadResourceData(const char* name, const char* type, DWORD* size) const;

    // The module code runs in when no other is named (the application, else the program's module).
    static TModule& GetDefault();

private:
    std::string Name;
    HINSTANCE Instance;
};

class TApplication : public TModule {
public:
    explicit TApplication(const char* name = nullptr, HINSTANCE instance = nullptr);
    ~TApplication() override;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // The application object of the process (null when none exists).
    static TApplication* Get();

    virtual void InitApplication() {}
    virtual void InitInstance();
    // Makes the main window; the default makes a plain frame window.
    virtual void InitMainWindow();
    virtual int TermInstance(int status);
    // InitApplication, InitInstance, the message loop, TermInstance; returns the quit code.
    virtual int Run();
    virtual int MessageLoop();
    // Offers the message to the pre-processing of its target and its ancestors; true when handled.
    virtual bool ProcessAppMsg(MSG& msg);
    // Called when the queue is empty, with the number of calls since the last message; true asks for more.
    virtual bool IdleAction(LONG idleCount);
    // Dispatches every waiting message, pre-processing included; false when WM_QUIT was seen.
    bool PumpWaitingMessages();
    virtual bool CanClose();

    TWindow* GetMainWindow() const { return MainWindow; }
    // Takes the window (the application deletes it); returns the previous one, which the caller now owns.
    TWindow* SetMainWindow(TWindow* window);
    int nCmdShow = SW_SHOWNORMAL;
    // Painting of old-style three-dimensional controls (kept for the code that reads it).
    bool Ctl3dEnabled() const { return Ctl3d; }
    void EnableCtl3d(bool on = true) { Ctl3d = on; }

private:
    TWindow* MainWindow = nullptr;
    bool Ctl3d = true;
};

// ---- windows ----

// Creation attributes of a window; the window reads them when it is created.
struct TWindowAttr {
    DWORD Style = WS_CHILD | WS_VISIBLE;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, W = 0, H = 0;
    int Id = 0;
    const char* Menu = nullptr;   // a resource name or MAKEINTRESOURCEA id, for top-level windows
    HACCEL AccelTable = nullptr;  // translated by PreProcessMsg
    LPVOID Param = nullptr;
};

// Transfer directions.
enum TTransferDirection { tdGetData = 0, tdSetData = 1, tdSizeData = 2 };

class TWindow : virtual public TEventHandler {
public:
    TWindow(TWindow* parent, const char* title = nullptr, TModule* module = nullptr);
    // Wraps a window that exists already (a foreign window): messages are not routed through the object.
    TWindow(HWND handle, TModule* module = nullptr);
    ~TWindow() override;
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    // The object of a window handle made by the library (null for others).
    static TWindow* FromHandle(HWND hwnd);

    // Creation and destruction. Register makes the window class known (GetWindowClass under
    // GetClassName) unless it is known already; false when it cannot be registered.
    bool Register();
    virtual bool Create();
    virtual void Destroy(int retVal = 0);
    // Child windows are created here, then the data are transferred in.
    virtual void SetupWindow();
    virtual void CleanupWindow() {}
    virtual void GetWindowClass(WNDCLASSA& wc);
    virtual const char* GetClassName();
    virtual bool CanClose();
    virtual void CloseWindow(int retVal = 0);

    // Messages.
    virtual bool PreProcessMsg(MSG& msg);
    virtual bool IdleAction(LONG idleCount);
    virtual LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    // Hands the message being dispatched to the default procedure.
    LRESULT DefaultProcessing();
    LRESULT HandleMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0);
    // Commands (see the routing rules at the top).
    virtual LRESULT EvCommand(UINT id, HWND hWndCtl, UINT notifyCode);
    virtual void EvCommandEnable(TCommandEnabler& ce);
    virtual LRESULT EvNotify(UINT id, NMHDR& info);
    // True when this window's own tables hold an EV_COMMAND for the id.
    bool HasCommandHandler(UINT id);

    // Painting: called with the paint DC, whether the background was erased, and the update rectangle.
    virtual void Paint(TDC& dc, bool erase, TRect& rect);

    // Data transfer.
    virtual UINT Transfer(void* buffer, TTransferDirection direction);
    virtual void TransferData(TTransferDirection direction);
    void EnableTransfer() { TransferEnabled = true; }
    void DisableTransfer() { TransferEnabled = false; }
    bool IsTransferEnabled() const { return TransferEnabled; }
    void SetTransferBuffer(void* buffer) { TransferBuffer = buffer; }
    void* GetTransferBuffer() const { return TransferBuffer; }

    // The object tree.
    HWND GetHandle() const { return Handle; }
    operator HWND() const { return Handle; }  // NOLINT(google-explicit-constructor)
    TWindow* GetParentO() const { return Parent; }
    HWND GetParentH() const { return Handle ? ::GetParent(Handle) : nullptr; }
    void SetParent(TWindow* newParent);
    const std::vector<TWindow*>& GetChildren() const { return Children; }
    int NumChildren() const { return static_cast<int>(Children.size()); }
    TWindow* ChildWithId(int id) const;
    TModule* GetModule() const { return Module; }
    TApplication* GetApplication() const { return TApplication::Get(); }
    bool IsFlagSet(UINT flag) const { return (Flags & flag) != 0; }
    void SetFlag(UINT flag) { Flags |= flag; }
    void ClearFlag(UINT flag) { Flags &= ~flag; }
    enum : UINT { wfAutoCreate = 1, wfMainWindow = 2, wfFullyCreated = 4, wfAlias = 8, wfDeleteOnClose = 16 };
    // Children with auto-create are made by the parent's SetupWindow (the default for child windows).
    void EnableAutoCreate() { SetFlag(wfAutoCreate); }
    void DisableAutoCreate() { ClearFlag(wfAutoCreate); }

    // Window services (the window must exist).
    int GetId() const { return Handle ? GetDlgCtrlID(Handle) : Attr.Id; }
    void SetCaption(const char* title);
    std::string GetCaption() const;
    const char* GetTitle() const { return Title.c_str(); }
    bool Show(int cmd) { return ::ShowWindow(Handle, cmd) != 0; }
    bool IsWindowVisible() const { return ::IsWindowVisible(Handle) != 0; }
    bool EnableWindow(bool enable) { return ::EnableWindow(Handle, enable) != 0; }
    bool IsWindowEnabled() const { return ::IsWindowEnabled(Handle) != 0; }
    bool IsWindow() const { return Handle && ::IsWindow(Handle); }
    TRect GetWindowRect() const;
    TRect GetClientRect() const;
    bool MoveWindow(int x, int y, int w, int h, bool repaint = false) {
        return ::MoveWindow(Handle, x, y, w, h, repaint) != 0;
    }
    bool MoveWindow(const TRect& r, bool repaint = false) {
        return MoveWindow(r.left, r.top, r.Width(), r.Height(), repaint);
    }
    bool SetWindowPos(HWND after, const TRect& r, UINT flags) {
        return ::SetWindowPos(Handle, after, r.left, r.top, r.Width(), r.Height(), flags) != 0;
    }
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;
    void Invalidate(bool erase = true) { ::InvalidateRect(Handle, nullptr, erase); }
    void InvalidateRect(const TRect& r, bool erase = true) { ::InvalidateRect(Handle, &r, erase); }
    void UpdateWindow() { ::UpdateWindow(Handle); }
    void ScrollWindow(int dx, int dy, const TRect* scroll = nullptr, const TRect* clip = nullptr) {
        ::ScrollWindow(Handle, dx, dy, scroll, clip);
    }
    // Background the framework erases with; with none set the class brush is used.
    void SetBkgndColor(TColor color);
    void ClearBkgndColor() { HasBkgndColor = false; }
    UINT_PTR SetTimer(UINT id, UINT ms) { return ::SetTimer(Handle, id, ms, nullptr); }
    bool KillTimer(UINT id) { return ::KillTimer(Handle, id) != 0; }
    HWND SetCapture() { return ::SetCapture(Handle); }
    void ReleaseCapture() { ::ReleaseCapture(); }
    HWND SetFocus() { return ::SetFocus(Handle); }
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::SendMessageA(Handle, msg, wp, lp);
    }
    bool PostMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::PostMessageA(Handle, msg, wp, lp) != 0;
    }
    int SetScrollInfo(int bar, const SCROLLINFO& info, bool redraw = true) {
        return ::SetScrollInfo(Handle, bar, &info, redraw);
    }
    bool GetScrollInfo(int bar, SCROLLINFO& info) const { return ::GetScrollInfo(Handle, bar, &info) != 0; }
    int GetScrollPos(int bar) const { return ::GetScrollPos(Handle, bar); }
    bool ShowScrollBar(int bar, bool show) { return ::ShowScrollBar(Handle, bar, show) != 0; }
    DWORD GetStyle() const { return static_cast<DWORD>(GetWindowLongA(Handle, GWL_STYLE)); }
    DWORD SetStyle(DWORD style) {
        return static_cast<DWORD>(SetWindowLongA(Handle, GWL_STYLE, static_cast<LONG>(style)));
    }
    void SetAcceleratorTable(HACCEL table) { Attr.AccelTable = table; }

    // Default handlers of the cracked messages: each hands the message to DefaultProcessing.
    int EvCreate(CREATESTRUCTA& cs);
    void EvDestroy();
    void EvClose();
    void EvSize(UINT sizeType, const TSize& size);
    void EvMove(const TPoint& p);
    void EvPaint();
    LRESULT EvEraseBkgnd(HDC dc);
    void EvSetFocus(HWND lost);
    void EvKillFocus(HWND gets);
    void EvLButtonDown(UINT modKeys, const TPoint& p);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvLButtonDblClk(UINT modKeys, const TPoint& p);
    void EvRButtonDown(UINT modKeys, const TPoint& p);
    void EvRButtonUp(UINT modKeys, const TPoint& p);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    bool EvMouseWheel(UINT modKeys, int zDelta, const TPoint& p);
    void EvKeyDown(UINT key, UINT repeatCount, UINT flags);
    void EvKeyUp(UINT key, UINT repeatCount, UINT flags);
    void EvChar(UINT key, UINT repeatCount, UINT flags);
    void EvSysKeyDown(UINT key, UINT repeatCount, UINT flags);
    void EvHScroll(UINT code, UINT thumbPos, HWND ctl);
    void EvVScroll(UINT code, UINT thumbPos, HWND ctl);
    void EvTimer(UINT id);
    LRESULT EvGetDlgCode(const MSG* msg);
    bool EvSetCursor(HWND wnd, UINT hitTest, UINT mouseMsg);
    LRESULT EvNCHitTest(const TPoint& p);
    void EvGetMinMaxInfo(MINMAXINFO& info);
    void EvDrawItem(UINT ctrlId, DRAWITEMSTRUCT& info);
    void EvSetFont(HFONT font, bool redraw);
    void EvActivate(UINT active, bool minimized, HWND other);
    void EvSysColorChange();
    void EvDropFiles(HDROP drop);
    bool EvCopyData(HWND sender, COPYDATASTRUCT* data);
    void EvCaptureChanged(HWND gets);
    void EvInitMenuPopup(HMENU popup, UINT index, bool sysMenu);
    void EvContextMenu(HWND wnd, const TPoint& p);
    HBRUSH EvCtlColor(HDC dc, HWND ctl, UINT ctlMsg);
    void EvEnterIdle(UINT source, HWND wnd);
    LRESULT EvGesture(WPARAM wp, LPARAM lp);

    TWindowAttr Attr;

    DECLARE_RESPONSE_TABLE(TWindow);

protected:
    // For classes that derive from TWindow virtually: the most derived constructor calls Init.
    TWindow();
    void Init(TWindow* parent, const char* title, TModule* module);
    // Binds the object to a window made by someone else (a dialog's control): subclasses it.
    void Attach(HWND hwnd);
    void Detach();
    // Called for a window whose procedure is the library's from the first message on.
    virtual LRESULT DefWindowProcFor(UINT msg, WPARAM wp, LPARAM lp);
    // Where a control made from a dialog template is found (set by the resource-id constructors).
    bool FromResource = false;

    HWND Handle = nullptr;
    TWindow* Parent = nullptr;
    std::vector<TWindow*> Children;
    TModule* Module = nullptr;
    std::string Title;
    UINT Flags = 0;
    WNDPROC DefaultProc = nullptr;  // the original procedure of a subclassed window
    bool TransferEnabled = false;
    void* TransferBuffer = nullptr;
    bool HasBkgndColor = false;
    TColor BkgndColor;

    // The message being dispatched.
    struct TCurrentEvent {
        UINT Msg = 0;
        WPARAM WParam = 0;
        LPARAM LParam = 0;
    } CurrentEvent;

private:
    friend LRESULT FrameworkWndProc(HWND, UINT, WPARAM, LPARAM);
    friend class TDialog;
    void AddChild(TWindow* child);
    void RemoveChild(TWindow* child);
    void Bind(HWND hwnd);
    void Unbind();
    void PerformSetupAndTransfer();
    bool SetupDone = false;
};

LRESULT FrameworkWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
