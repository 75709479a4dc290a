#include "platform/framework/window.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/framework/controls.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resources.h"
#include "platform/wm/backend.h"

namespace {

// Objects of the windows made by the library, on the window thread.
std::unordered_map<HWND, TWindow*>& Table() {
    static std::unordered_map<HWND, TWindow*> table;
    return table;
}

// The object whose window is being made: it takes the first message that arrives for an unknown window.
thread_local TWindow* g_creating = nullptr;

TApplication* g_application = nullptr;

}  // namespace

// ---- event handlers ----

bool TEventHandler::Find(TEventInfo&) {
    return false;
}

bool TEventHandler::SearchEntries(const TResponseTableEntry* e, TEventInfo& info) {
    for (; e->Dispatcher; ++e) {
        if (e->Msg != info.Msg) continue;
        if (info.Msg == WM_COMMAND || info.Msg == WM_COMMAND_ENABLE || info.Msg == WM_NOTIFY) {
            if (e->Id != info.Id) continue;
            if (info.ExactNotify ? e->Notify != info.Notify
                                 : (e->Notify != TResponseTableEntry::kAnyCode && e->Notify != info.Notify))
                continue;
        }
        info.Entry = e;
        return true;
    }
    return false;
}

// ---- modules ----

TModule::TModule(const char* name, HINSTANCE instance)
    : Name(name ? name : ""), Instance(instance ? instance : GetModuleHandleA(nullptr)) {}

int TModule::LoadString(UINT id, char* buf, int size) const {
    return LoadStringA(Instance, id, buf, size);
}

std::string TModule::LoadString(UINT id) const {
    char buf[1024];
    int n = LoadStringA(Instance, id, buf, sizeof buf);
    return std::string(buf, static_cast<size_t>(std::max(n, 0)));
}

HCURSOR TModule::LoadCursor(const char* name) const {
    return LoadCursorA(Instance, name);
}
HICON TModule::LoadIcon(const char* name) const {
    return LoadIconA(Instance, name);
}
HMENU TModule::LoadMenu(const char* name) const {
    return LoadMenuA(Instance, name);
}
HACCEL TModule::LoadAccelerators(const char* name) const {
    return LoadAcceleratorsA(Instance, name);
}

const void* TModule::LoadResourceData(const char* name, const char* type, DWORD* size) const {
    if (size) *size = 0;
    HRSRC r = FindResourceA(Instance, name, type);
    if (!r) return nullptr;
    if (size) *size = SizeofResource(Instance, r);
    return LockResource(LoadResource(Instance, r));
}

TModule& TModule::GetDefault() {
    if (g_application) return *g_application;
    static TModule program;
    return program;
}

namespace {

// A program started by a test or a benchmark learns nothing from the outside about when it has shown its
// first screen, or the answer to an input; with QSM_IDLE_LOG naming a file (or a pipe) the message loop
// appends one line, the main window's caption, the first time its queue is empty and no idle work is left (by
// then every window that was made has been painted), and again each time that comes after a key or mouse
// message.
void ReportIdle(HWND main) {
    const char* path = std::getenv("QSM_IDLE_LOG");
    if (path == nullptr || *path == '\0') return;
    char caption[512] = "";
    if (main != nullptr) GetWindowTextA(main, caption, sizeof caption);
    std::string line = std::string(caption) + "\n";
    int fd = open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return;
    ssize_t written = write(fd, line.data(), line.size());
    (void)written;
    close(fd);
}

}  // namespace

// ---- the application ----

TApplication::TApplication(const char* name, HINSTANCE instance) : TModule(name, instance) {
    g_application = this;
    qsm::wm::LoopHooks hooks;
    hooks.pre_translate = [this](MSG& m) { return ProcessAppMsg(m); };
    hooks.idle = [this](LONG count) { return IdleAction(count); };
    qsm::wm::SetLoopHooks(hooks);
}

TApplication::~TApplication() {
    delete MainWindow;
    MainWindow = nullptr;
    qsm::wm::SetLoopHooks({});
    if (g_application == this) g_application = nullptr;
}

TApplication* TApplication::Get() {
    return g_application;
}

void TApplication::InitMainWindow() {
    if (!MainWindow) SetMainWindow(new TWindow(static_cast<TWindow*>(nullptr), GetName().c_str(), this));
}

void TApplication::InitInstance() {
    InitMainWindow();
    if (MainWindow) {
        MainWindow->SetFlag(TWindow::wfMainWindow);
        if (MainWindow->Create()) MainWindow->Show(nCmdShow);
    }
}

int TApplication::TermInstance(int status) {
    return status;
}

int TApplication::Run() {
    InitApplication();
    InitInstance();
    int status = (MainWindow && MainWindow->GetHandle()) ? MessageLoop() : -1;
    return TermInstance(status);
}

int TApplication::MessageLoop() {
    LONG idle = 0;
    bool reportIdle = true;
    for (;;) {
        MSG m;
        if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) return static_cast<int>(m.wParam);
            idle = 0;
            if ((m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) ||
                (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST))
                reportIdle = true;
            if (!ProcessAppMsg(m)) {
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
            continue;
        }
        if (IdleAction(idle++)) continue;
        if (reportIdle) {
            reportIdle = false;
            ReportIdle(MainWindow ? MainWindow->GetHandle() : nullptr);
        }
        WaitMessage();
    }
}

bool TApplication::ProcessAppMsg(MSG& msg) {
    for (HWND h = msg.hwnd; h; h = GetParent(h)) {
        TWindow* w = TWindow::FromHandle(h);
        if (w && w->PreProcessMsg(msg)) return true;
    }
    return false;
}

bool TApplication::IdleAction(LONG idleCount) {
    return MainWindow ? MainWindow->IdleAction(idleCount) : false;
}

bool TApplication::PumpWaitingMessages() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return false;
        }
        if (!ProcessAppMsg(m)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    return true;
}

bool TApplication::CanClose() {
    return MainWindow ? MainWindow->CanClose() : true;
}

TWindow* TApplication::SetMainWindow(TWindow* window) {
    TWindow* old = MainWindow;
    if (old) old->ClearFlag(TWindow::wfMainWindow);
    MainWindow = window;
    if (window) window->SetFlag(TWindow::wfMainWindow);
    return old;
}

// ---- windows: construction and the object tree ----

TWindow::TWindow() = default;

TWindow::TWindow(TWindow* parent, const char* title, TModule* module) {
    Init(parent, title, module);
}

TWindow::TWindow(HWND handle, TModule* module) {
    Module = module ? module : &TModule::GetDefault();
    Handle = handle;
    SetFlag(wfAlias);
}

void TWindow::Init(TWindow* parent, const char* title, TModule* module) {
    Title = title ? title : "";
    Module = module ? module : (parent ? parent->Module : &TModule::GetDefault());
    Attr.Style = parent ? (WS_CHILD | WS_VISIBLE) : WS_OVERLAPPEDWINDOW;
    if (!parent) Attr.X = Attr.Y = Attr.W = Attr.H = CW_USEDEFAULT;
    if (parent) {
        parent->AddChild(this);
        SetFlag(wfAutoCreate);
    }
}

TWindow::~TWindow() {
    // Children first; each removes itself from this list.
    while (!Children.empty())
        delete Children.back();
    if (Handle && !IsFlagSet(wfAlias)) {
        HWND h = Handle;
        Unbind();
        if (::IsWindow(h)) DestroyWindow(h);
    }
    if (Parent) Parent->RemoveChild(this);
    if (IsFlagSet(wfMainWindow) && g_application && g_application->GetMainWindow() == this)
        g_application->SetMainWindow(nullptr);
}

TWindow* TWindow::FromHandle(HWND hwnd) {
    auto it = Table().find(hwnd);
    return it == Table().end() ? nullptr : it->second;
}

void TWindow::AddChild(TWindow* child) {
    Children.push_back(child);
    child->Parent = this;
}

void TWindow::RemoveChild(TWindow* child) {
    Children.erase(std::remove(Children.begin(), Children.end(), child), Children.end());
    child->Parent = nullptr;
}

void TWindow::SetParent(TWindow* newParent) {
    if (Parent) Parent->RemoveChild(this);
    if (newParent) newParent->AddChild(this);
    if (Handle) ::SetParent(Handle, newParent ? newParent->Handle : nullptr);
}

TWindow* TWindow::ChildWithId(int id) const {
    for (TWindow* c : Children)
        if (c->GetId() == id) return c;
    return nullptr;
}

void TWindow::Bind(HWND hwnd) {
    Handle = hwnd;
    Table()[hwnd] = this;
}

void TWindow::Unbind() {
    if (Handle) Table().erase(Handle);
    Handle = nullptr;
}

void TWindow::Attach(HWND hwnd) {
    Bind(hwnd);
    auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    if (current != FrameworkWndProc) {
        DefaultProc = current;
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameworkWndProc));
    }
}

void TWindow::Detach() {
    if (!Handle) return;
    if (DefaultProc) SetWindowLongPtrA(Handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefaultProc));
    DefaultProc = nullptr;
    Unbind();
}

// ---- creation ----

void TWindow::GetWindowClass(WNDCLASSA& wc) {
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = FrameworkWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = Module ? Module->GetInstance() : nullptr;
    wc.hIcon = nullptr;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_WINDOW + 1));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = GetClassName();
}

const char* TWindow::GetClassName() {
    return "OWLWindow";
}

bool TWindow::Register() {
    const char* cls = GetClassName();
    WNDCLASSA existing{};
    if (GetClassInfoA(Module ? Module->GetInstance() : nullptr, cls, &existing)) return true;
    WNDCLASSA wc{};
    GetWindowClass(wc);
    wc.lpszClassName = cls;
    return RegisterClassA(&wc) != 0;
}

bool TWindow::Create() {
    if (Handle) return true;
    if (Parent && !Parent->Handle) return false;
    const char* cls = GetClassName();
    if (!Register()) return false;
    WNDCLASSA existing{};
    GetClassInfoA(Module ? Module->GetInstance() : nullptr, cls, &existing);
    bool predefined = existing.lpfnWndProc != FrameworkWndProc;
    HMENU menu = nullptr;
    if (Attr.Style & WS_CHILD)
        menu = reinterpret_cast<HMENU>(static_cast<intptr_t>(Attr.Id));
    else if (Attr.Menu)
        menu = Module->LoadMenu(Attr.Menu);
    TWindow* outer = g_creating;
    g_creating = predefined ? nullptr : this;
    HWND h = CreateWindowExA(Attr.ExStyle, cls, Title.c_str(), Attr.Style, Attr.X, Attr.Y, Attr.W, Attr.H,
                             Parent ? Parent->Handle : nullptr, menu,
                             Module ? Module->GetInstance() : nullptr, Attr.Param);
    if (g_creating == this) g_creating = nullptr;
    g_creating = outer;
    if (!h) {
        if (Handle) Unbind();
        return false;
    }
    if (!Handle) {
        // A predefined class: subclass now and set up as WM_CREATE would have.
        Attach(h);
        PerformSetupAndTransfer();
    }
    return true;
}

void TWindow::PerformSetupAndTransfer() {
    if (SetupDone) return;
    SetupDone = true;
    SetupWindow();
    TransferData(tdSetData);
    SetFlag(wfFullyCreated);
}

void TWindow::SetupWindow() {
    for (TWindow* c : std::vector<TWindow*>(Children))
        if (c->IsFlagSet(wfAutoCreate) && !c->Handle) c->Create();
}

void TWindow::Destroy(int) {
    if (!Handle) return;
    for (TWindow* c : std::vector<TWindow*>(Children))
        if (c->Handle) c->Destroy();
    CleanupWindow();
    HWND h = Handle;
    if (IsFlagSet(wfAlias)) {
        Handle = nullptr;
        return;
    }
    DestroyWindow(h);
    if (Handle == h) Unbind();
}

bool TWindow::CanClose() {
    for (TWindow* c : Children)
        if (c->Handle && !c->CanClose()) return false;
    return true;
}

void TWindow::CloseWindow(int retVal) {
    if (IsFlagSet(wfMainWindow) && g_application) {
        if (g_application->CanClose()) Destroy(retVal);
    } else if (CanClose()) {
        Destroy(retVal);
    }
}

// ---- message handling ----

bool TWindow::PreProcessMsg(MSG& msg) {
    // A window disabled under a modal one takes no keys: the keys typed into a dialog it owns reach it on the
    // walk up from the dialog, and must not run its commands.
    if (Attr.AccelTable && Handle && ::IsWindowEnabled(Handle))
        return TranslateAcceleratorA(Handle, Attr.AccelTable, &msg) != 0;
    return false;
}

bool TWindow::IdleAction(LONG idleCount) {
    bool more = false;
    for (TWindow* c : std::vector<TWindow*>(Children))
        if (c->Handle) more |= c->IdleAction(idleCount);
    return more;
}

LRESULT TWindow::DefWindowProcFor(UINT msg, WPARAM wp, LPARAM lp) {
    if (DefaultProc) return CallWindowProcA(DefaultProc, Handle, msg, wp, lp);
    return DefWindowProcA(Handle, msg, wp, lp);
}

LRESULT TWindow::DefaultProcessing() {
    return DefWindowProcFor(CurrentEvent.Msg, CurrentEvent.WParam, CurrentEvent.LParam);
}

LRESULT TWindow::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    return WindowProc(msg, wp, lp);
}

LRESULT TWindow::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    TCurrentEvent saved = CurrentEvent;
    CurrentEvent = {msg, wp, lp};
    LRESULT r = 0;
    switch (msg) {
        case WM_COMMAND:
            r = EvCommand(LOWORD(wp), reinterpret_cast<HWND>(lp), HIWORD(wp));
            break;
        case WM_COMMAND_ENABLE:
            EvCommandEnable(*reinterpret_cast<TCommandEnabler*>(lp));
            break;
        case WM_NOTIFY: {
            auto* hdr = reinterpret_cast<NMHDR*>(lp);
            r = hdr ? EvNotify(static_cast<UINT>(hdr->idFrom), *hdr) : 0;
            break;
        }
        default: {
            TEventInfo info(msg);
            r = Find(info) ? Dispatch(info, wp, lp) : DefaultProcessing();
            break;
        }
    }
    CurrentEvent = saved;
    return r;
}

bool TWindow::HasCommandHandler(UINT id) {
    TEventInfo info(WM_COMMAND, id);
    return Find(info);
}

LRESULT TWindow::EvCommand(UINT id, HWND hWndCtl, UINT notifyCode) {
    if (hWndCtl) {
        TEventInfo exact(WM_COMMAND, id, notifyCode);
        exact.ExactNotify = true;
        if (Find(exact)) return Dispatch(exact, CurrentEvent.WParam, CurrentEvent.LParam);
    }
    TEventInfo info(WM_COMMAND, id, notifyCode);
    if (Find(info)) return Dispatch(info, CurrentEvent.WParam, CurrentEvent.LParam);
    return DefaultProcessing();
}

void TWindow::EvCommandEnable(TCommandEnabler& ce) {
    TEventInfo info(WM_COMMAND_ENABLE, ce.GetId());
    if (Find(info)) Dispatch(info, 0, reinterpret_cast<LPARAM>(&ce));
}

LRESULT TWindow::EvNotify(UINT id, NMHDR& hdr) {
    TEventInfo info(WM_NOTIFY, id, hdr.code);
    if (Find(info)) return Dispatch(info, CurrentEvent.WParam, CurrentEvent.LParam);
    return DefaultProcessing();
}

void TWindow::Paint(TDC&, bool, TRect&) {}

UINT TWindow::Transfer(void*, TTransferDirection) {
    return 0;
}

void TWindow::TransferData(TTransferDirection direction) {
    if (!TransferBuffer) return;
    auto* p = static_cast<BYTE*>(TransferBuffer);
    for (TWindow* c : Children)
        if (c->Handle && c->IsTransferEnabled()) p += c->Transfer(p, direction);
}

// ---- services ----

void TWindow::SetCaption(const char* title) {
    Title = title ? title : "";
    if (Handle) SetWindowTextA(Handle, Title.c_str());
}

std::string TWindow::GetCaption() const {
    if (!Handle) return Title;
    char buf[512];
    int n = GetWindowTextA(Handle, buf, sizeof buf);
    return std::string(buf, static_cast<size_t>(std::max(n, 0)));
}

TRect TWindow::GetWindowRect() const {
    TRect r;
    ::GetWindowRect(Handle, &r);
    return r;
}

TRect TWindow::GetClientRect() const {
    TRect r;
    ::GetClientRect(Handle, &r);
    return r;
}

TPoint TWindow::ClientToScreen(TPoint p) const {
    ::ClientToScreen(Handle, &p);
    return p;
}

TPoint TWindow::ScreenToClient(TPoint p) const {
    ::ScreenToClient(Handle, &p);
    return p;
}

void TWindow::SetBkgndColor(TColor color) {
    HasBkgndColor = true;
    BkgndColor = color;
}

int TWindow::MessageBox(const char* text, const char* caption, UINT type) {
    return MessageBoxA(Handle, text,
                       caption ? caption : (g_application ? g_application->GetName().c_str() : ""), type);
}

// ---- default handlers ----

int TWindow::EvCreate(CREATESTRUCTA&) {
    return static_cast<int>(DefaultProcessing());
}
void TWindow::EvDestroy() {
    if (IsFlagSet(wfMainWindow)) PostQuitMessage(0);
    DefaultProcessing();
}
void TWindow::EvClose() {
    if (IsFlagSet(wfMainWindow) || !Parent)
        CloseWindow();
    else
        DefaultProcessing();
}
void TWindow::EvSize(UINT, const TSize&) {
    DefaultProcessing();
}
void TWindow::EvMove(const TPoint&) {
    DefaultProcessing();
}
void TWindow::EvPaint() {
    // A standard control bound to an object paints itself through its own procedure.
    if (DefaultProc) {
        DefaultProcessing();
        return;
    }
    TPaintDC dc(Handle);
    TRect r(dc.Ps.rcPaint);
    Paint(dc, dc.Ps.fErase != 0, r);
}
LRESULT TWindow::EvEraseBkgnd(HDC dc) {
    if (!HasBkgndColor) return DefaultProcessing();
    TBrush brush(BkgndColor);
    TRect r = GetClientRect();
    ::FillRect(dc, &r, brush);
    return 1;
}
void TWindow::EvSetFocus(HWND) {
    DefaultProcessing();
}
void TWindow::EvKillFocus(HWND) {
    DefaultProcessing();
}
void TWindow::EvLButtonDown(UINT, const TPoint&) {
    DefaultProcessing();
}
void TWindow::EvLButtonUp(UINT, const TPoint&) {
    DefaultProcessing();
}
void TWindow::EvLButtonDblClk(UINT, const TPoint&) {
    DefaultProcessing();
}
void TWindow::EvRButtonDown(UINT, const TPoint&) {
    DefaultProcessing();
}
void TWindow::EvRButtonUp(UINT, const TPoint&) {
    DefaultProcessing();
}
void TWindow::EvMouseMove(UINT, const TPoint&) {
    DefaultProcessing();
}
bool TWindow::EvMouseWheel(UINT, int, const TPoint&) {
    return DefaultProcessing() != 0;
}
void TWindow::EvKeyDown(UINT, UINT, UINT) {
    DefaultProcessing();
}
void TWindow::EvKeyUp(UINT, UINT, UINT) {
    DefaultProcessing();
}
void TWindow::EvChar(UINT, UINT, UINT) {
    DefaultProcessing();
}
void TWindow::EvSysKeyDown(UINT, UINT, UINT) {
    DefaultProcessing();
}
void TWindow::EvHScroll(UINT, UINT, HWND) {
    DefaultProcessing();
}
void TWindow::EvVScroll(UINT, UINT, HWND) {
    DefaultProcessing();
}
void TWindow::EvTimer(UINT) {
    DefaultProcessing();
}
LRESULT TWindow::EvGetDlgCode(const MSG*) {
    return DefaultProcessing();
}
bool TWindow::EvSetCursor(HWND, UINT, UINT) {
    return DefaultProcessing() != 0;
}
LRESULT TWindow::EvNCHitTest(const TPoint&) {
    return DefaultProcessing();
}
void TWindow::EvGetMinMaxInfo(MINMAXINFO&) {
    DefaultProcessing();
}
void TWindow::EvDrawItem(UINT, DRAWITEMSTRUCT& info) {
    // An item of an owner-drawn control of the library is drawn by the control's own object.
    if (info.CtlType != ODT_MENU)
        if (auto* control = dynamic_cast<TControl*>(FromHandle(info.hwndItem))) {
            control->DrawItem(info);
            return;
        }
    DefaultProcessing();
}
void TWindow::EvSetFont(HFONT, bool) {
    DefaultProcessing();
}
void TWindow::EvActivate(UINT, bool, HWND) {
    DefaultProcessing();
}
void TWindow::EvSysColorChange() {
    DefaultProcessing();
}
void TWindow::EvDropFiles(HDROP) {
    DefaultProcessing();
}
bool TWindow::EvCopyData(HWND, COPYDATASTRUCT*) {
    return DefaultProcessing() != 0;
}
void TWindow::EvCaptureChanged(HWND) {
    DefaultProcessing();
}
void TWindow::EvInitMenuPopup(HMENU, UINT, bool) {
    DefaultProcessing();
}
void TWindow::EvContextMenu(HWND, const TPoint&) {
    DefaultProcessing();
}
HBRUSH TWindow::EvCtlColor(HDC, HWND, UINT) {
    return reinterpret_cast<HBRUSH>(DefaultProcessing());
}
void TWindow::EvEnterIdle(UINT, HWND) {
    DefaultProcessing();
}
LRESULT TWindow::EvGesture(WPARAM, LPARAM) {
    return DefaultProcessing();
}

DEFINE_RESPONSE_TABLE1(TWindow, TEventHandler)
EV_WM_DESTROY, EV_WM_CLOSE, EV_WM_PAINT, EV_WM_ERASEBKGND, EV_WM_DRAWITEM, END_RESPONSE_TABLE;

// ---- the window procedure ----

LRESULT FrameworkWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    TWindow* w = TWindow::FromHandle(hwnd);
    if (!w && g_creating) {
        w = g_creating;
        g_creating = nullptr;
        w->Bind(hwnd);
    }
    if (!w) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_CREATE) {
        LRESULT r = w->WindowProc(msg, wp, lp);
        if (r != -1) w->PerformSetupAndTransfer();
        return r;
    }
    if (msg == WM_NCDESTROY) {
        LRESULT r = w->WindowProc(msg, wp, lp);
        if (TWindow::FromHandle(hwnd) == w) {
            w->Unbind();
            w->SetupDone = false;
            w->ClearFlag(TWindow::wfFullyCreated);
        }
        if (w->IsFlagSet(TWindow::wfDeleteOnClose)) delete w;
        return r;
    }
    return w->WindowProc(msg, wp, lp);
}
