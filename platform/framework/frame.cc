#include "platform/framework/frame.h"

#include <algorithm>

#include "platform/framework/gadgets.h"

// ---- layout metrics ----

TLayoutMetrics::TLayoutMetrics() {
    X.AsIs(lmLeft);
    Y.AsIs(lmTop);
    Width.AsIs();
    Height.Horizontal = false;
    Height.AsIs();
}

void TLayoutManager::SetChildLayoutMetrics(TWindow& child, const TLayoutMetrics& metrics) {
    for (TChildMetrics& m : ChildMetrics)
        if (m.Child == &child) {
            m.Metrics = metrics;
            return;
        }
    ChildMetrics.push_back({&child, metrics, TRect()});
}

bool TLayoutManager::GetChildLayoutMetrics(const TWindow& child, TLayoutMetrics& metrics) const {
    for (const TChildMetrics& m : ChildMetrics)
        if (m.Child == &child) {
            metrics = m.Metrics;
            return true;
        }
    return false;
}

bool TLayoutManager::RemoveChildLayoutMetrics(const TWindow& child) {
    size_t n = ChildMetrics.size();
    ForgetChild(&child);
    return ChildMetrics.size() != n;
}

void TLayoutManager::ForgetChild(const TWindow* child) {
    ChildMetrics.erase(std::remove_if(ChildMetrics.begin(), ChildMetrics.end(),
                                      [child](const TChildMetrics& m) { return m.Child == child; }),
                       ChildMetrics.end());
}

namespace {

// A window made without a parent object and then given to a frame as client or decoration takes the
// attributes of a child.
void MakeChildAttributes(TWindow& w) {
    if (!(w.Attr.Style & WS_CHILD))
        w.Attr.Style = (w.Attr.Style & ~(WS_OVERLAPPEDWINDOW | WS_POPUP)) | WS_CHILD;
    w.Attr.Style |= WS_VISIBLE;
    w.EnableAutoCreate();
    if (w.Attr.X == CW_USEDEFAULT) w.Attr.X = 0;
    if (w.Attr.Y == CW_USEDEFAULT) w.Attr.Y = 0;
    if (w.Attr.W == CW_USEDEFAULT) w.Attr.W = 0;
    if (w.Attr.H == CW_USEDEFAULT) w.Attr.H = 0;
}

bool HasVisibleStyle(const TWindow& w) {
    return w.GetHandle() ? (GetWindowLongA(w.GetHandle(), GWL_STYLE) & WS_VISIBLE) != 0
                         : (w.Attr.Style & WS_VISIBLE) != 0;
}

// The child's rectangle in its parent's client coordinates now.
TRect CurrentRect(const TWindow& child) {
    if (!child.GetHandle())
        return TRect(child.Attr.X, child.Attr.Y, child.Attr.X + std::max(0, child.Attr.W),
                     child.Attr.Y + std::max(0, child.Attr.H));
    TRect r = child.GetWindowRect();
    HWND parent = GetParent(child.GetHandle());
    POINT p[2] = {{r.left, r.top}, {r.right, r.bottom}};
    if (parent) MapWindowPoints(nullptr, parent, p, 2);
    return TRect(p[0].x, p[0].y, p[1].x, p[1].y);
}

int RectEdge(const TRect& r, TEdge edge, bool horizontal) {
    switch (edge) {
        case lmLeft:
            return r.left;
        case lmTop:
            return r.top;
        case lmRight:
            return r.right;
        case lmBottom:
            return r.bottom;
        case lmCenter:
            return horizontal ? (r.left + r.right) / 2 : (r.top + r.bottom) / 2;
        case lmWidth:
            return r.Width();
        case lmHeight:
            return r.Height();
    }
    return 0;
}

bool IsHorizontalEdge(TEdge e) {
    return e == lmLeft || e == lmRight || e == lmWidth;
}

// One axis from two (edge, value) facts: start and size.
void Combine(TEdge e1, int v1, TEdge e2, int v2, int currentSize, int& start, int& size) {
    auto kind = [](TEdge e) {
        switch (e) {
            case lmLeft:
            case lmTop:
                return 0;  // start
            case lmRight:
            case lmBottom:
                return 1;  // end
            case lmCenter:
                return 2;
            default:
                return 3;  // size
        }
    };
    int has[4] = {0, 0, 0, 0};
    int val[4] = {0, 0, 0, 0};
    has[kind(e1)] = 1;
    val[kind(e1)] = v1;
    has[kind(e2)] = 1;
    val[kind(e2)] = v2;
    if (!has[3]) {
        if (has[0] && has[1]) {
            has[3] = 1;
            val[3] = val[1] - val[0];
        } else if (has[0] && has[2]) {
            has[3] = 1;
            val[3] = 2 * (val[2] - val[0]);
        } else if (has[1] && has[2]) {
            has[3] = 1;
            val[3] = 2 * (val[1] - val[2]);
        } else {
            has[3] = 1;
            val[3] = currentSize;
        }
    }
    size = std::max(0, val[3]);
    if (has[0])
        start = val[0];
    else if (has[1])
        start = val[1] - size;
    else if (has[2])
        start = val[2] - size / 2;
}

}  // namespace

int TLayoutManager::EdgeValue(const TWindow* win, TEdge edge, const TSize& client) const {
    bool horizontal = IsHorizontalEdge(edge) || edge == lmCenter;
    if (!win) return RectEdge(TRect(0, 0, client.cx, client.cy), edge, horizontal);
    for (const TChildMetrics& m : ChildMetrics)
        if (m.Child == win) return RectEdge(m.Rect, edge, horizontal);
    return RectEdge(CurrentRect(*win), edge, horizontal);
}

void TLayoutManager::Solve(const TSize& client) {
    for (TChildMetrics& m : ChildMetrics)
        m.Rect = CurrentRect(*m.Child);
    auto resolve = [&](const TLayoutConstraint& c, const TRect& current, bool horizontal) {
        switch (c.Relationship) {
            case lmAsIs:
                return RectEdge(current, c.MyEdge, horizontal);
            case lmAbsolute:
                return c.Value;
            default:
                break;
        }
        bool otherHorizontal = horizontal;
        int base = 0;
        if (!c.RelWin) {
            base = RectEdge(TRect(0, 0, client.cx, client.cy), c.OtherEdge, otherHorizontal);
        } else {
            const TRect* r = nullptr;
            for (const TChildMetrics& m : ChildMetrics)
                if (m.Child == c.RelWin) r = &m.Rect;
            TRect other = r ? *r : CurrentRect(*c.RelWin);
            base = RectEdge(other, c.OtherEdge, otherHorizontal);
        }
        switch (c.Relationship) {
            case lmSameAs:
                return base + c.Value;
            case lmPercentOf:
                return base * c.Value / 100;
            case lmBelow:
                return base + c.Value;
            case lmAbove:
                return base - c.Value;
            default:
                return base;
        }
    };
    size_t passes = ChildMetrics.size() + 1;
    for (size_t pass = 0; pass < passes; ++pass) {
        bool changed = false;
        for (TChildMetrics& m : ChildMetrics) {
            TRect cur = m.Rect;
            int x = cur.left, w = cur.Width(), y = cur.top, h = cur.Height();
            Combine(m.Metrics.X.MyEdge, resolve(m.Metrics.X, cur, true), m.Metrics.Width.MyEdge,
                    resolve(m.Metrics.Width, cur, true), cur.Width(), x, w);
            Combine(m.Metrics.Y.MyEdge, resolve(m.Metrics.Y, cur, false), m.Metrics.Height.MyEdge,
                    resolve(m.Metrics.Height, cur, false), cur.Height(), y, h);
            TRect r(x, y, x + w, y + h);
            if (!(r == m.Rect)) {
                m.Rect = r;
                changed = true;
            }
        }
        if (!changed) break;
    }
}

void TLayoutManager::Layout() {
    TWindow& owner = LayoutOwner();
    if (!owner.GetHandle()) return;
    TRect client = owner.GetClientRect();
    Solve(client.Size());
    for (TChildMetrics& m : ChildMetrics) {
        if (!m.Child->GetHandle()) continue;
        if (!(CurrentRect(*m.Child) == m.Rect)) m.Child->MoveWindow(m.Rect, true);
    }
}

TRect TLayoutManager::GetLayoutRect(const TWindow& child) const {
    for (const TChildMetrics& m : ChildMetrics)
        if (m.Child == &child) return m.Rect;
    return CurrentRect(child);
}

// ---- layout window ----

TLayoutWindow::TLayoutWindow(TWindow* parent, const char* title, TModule* module) {
    Init(parent, title, module);
}

void TLayoutWindow::EvSize(UINT sizeType, const TSize& size) {
    TWindow::EvSize(sizeType, size);
    if (sizeType != SIZE_MINIMIZED) Layout();
}

DEFINE_RESPONSE_TABLE1(TLayoutWindow, TWindow)
EV_WM_SIZE, END_RESPONSE_TABLE;

// ---- frame window ----

TFrameWindow::TFrameWindow(TWindow* parent, const char* title, TWindow* clientWnd, bool shrinkToClient,
                           TModule* module) {
    Init(parent, title, module);
    InitFrame(clientWnd, shrinkToClient);
}

TFrameWindow::~TFrameWindow() = default;

void TFrameWindow::InitFrame(TWindow* clientWnd, bool shrinkToClient) {
    Attr.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    if (Parent) Attr.Style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    ShrinkToClient = shrinkToClient;
    if (clientWnd) TFrameWindow::SetClientWindow(clientWnd);
}

TWindow* TFrameWindow::SetClientWindow(TWindow* clientWnd) {
    TWindow* old = ClientWnd;
    ClientWnd = clientWnd;
    if (clientWnd) {
        if (clientWnd->GetParentO() != this) clientWnd->SetParent(this);
        MakeChildAttributes(*clientWnd);
        if (Handle && !clientWnd->GetHandle()) clientWnd->Create();
        if (Handle && clientWnd->GetHandle()) {
            TRect r = GetClientRect();
            clientWnd->MoveWindow(r, true);
        }
    }
    return old;
}

bool TFrameWindow::SetIcon(TModule* module, const char* resId) {
    Icon = (module ? module : Module)->LoadIcon(resId);
    if (Handle && Icon) SendMessage(WM_SETICON, 1, reinterpret_cast<LPARAM>(Icon));
    return Icon != nullptr;
}

bool TFrameWindow::AssignMenu(const char* menuId) {
    Attr.Menu = menuId;
    if (!Handle) return true;
    HMENU menu = Module->LoadMenu(menuId);
    if (!menu) return false;
    HMENU old = ::GetMenu(Handle);
    ::SetMenu(Handle, menu);
    if (old) DestroyMenu(old);
    return true;
}

void TFrameWindow::SetupWindow() {
    TWindow::SetupWindow();
    if (ShrinkToClient && ClientWnd && ClientWnd->GetHandle()) {
        TRect want = ClientWnd->GetWindowRect();
        TRect have = GetClientRect();
        TRect frame = GetWindowRect();
        MoveWindow(frame.left, frame.top, frame.Width() + want.Width() - have.Width(),
                   frame.Height() + want.Height() - have.Height(), true);
    }
    if (ClientWnd && ClientWnd->GetHandle()) ClientWnd->MoveWindow(GetClientRect(), true);
    if (Icon) SendMessage(WM_SETICON, 1, reinterpret_cast<LPARAM>(Icon));
}

bool TFrameWindow::PreProcessMsg(MSG& msg) {
    return TWindow::PreProcessMsg(msg);
}

bool TFrameWindow::IdleAction(LONG idleCount) {
    return TWindow::IdleAction(idleCount);
}

std::vector<TWindow*> TFrameWindow::CommandRoute() {
    std::vector<TWindow*> route;
    HWND focus = GetFocus();
    if (focus && Handle && IsChild(Handle, focus)) {
        for (HWND h = focus; h && h != Handle; h = GetParent(h))
            if (TWindow* w = TWindow::FromHandle(h)) route.push_back(w);
    } else if (ClientWnd && ClientWnd->GetHandle()) {
        route.push_back(ClientWnd);
    }
    route.push_back(this);
    return route;
}

bool TFrameWindow::HasCommandHandlerOnRoute(UINT id) {
    for (TWindow* w : CommandRoute())
        if (w->HasCommandHandler(id)) return true;
    return false;
}

LRESULT TFrameWindow::EvCommand(UINT id, HWND hWndCtl, UINT notifyCode) {
    if (hWndCtl) return TWindow::EvCommand(id, hWndCtl, notifyCode);
    for (TWindow* w : CommandRoute()) {
        TEventInfo info(WM_COMMAND, id);
        if (w->Find(info)) return w->Dispatch(info, MAKEWPARAM(static_cast<WORD>(id), 0), 0);
    }
    return DefaultProcessing();
}

void TFrameWindow::EvCommandEnable(TCommandEnabler& ce) {
    std::vector<TWindow*> route = CommandRoute();
    for (TWindow* w : route) {
        TEventInfo info(WM_COMMAND_ENABLE, ce.GetId());
        if (w->Find(info)) {
            w->Dispatch(info, 0, reinterpret_cast<LPARAM>(&ce));
            if (ce.GetHandled()) return;
        }
    }
    bool handler = false;
    for (TWindow* w : route)
        handler = handler || w->HasCommandHandler(ce.GetId());
    ce.Enable(handler);
}

void TFrameWindow::EvSize(UINT sizeType, const TSize& size) {
    TWindow::EvSize(sizeType, size);
    if (sizeType != SIZE_MINIMIZED && ClientWnd && ClientWnd->GetHandle())
        ClientWnd->MoveWindow(GetClientRect(), true);
}

void TFrameWindow::EvSetFocus(HWND lost) {
    TWindow::EvSetFocus(lost);
    if (SavedFocus && ::IsWindow(SavedFocus) && IsChild(Handle, SavedFocus))
        ::SetFocus(SavedFocus);
    else if (ClientWnd && ClientWnd->GetHandle())
        ClientWnd->SetFocus();
}

// Menu items are enabled, checked and renamed by the command enablers of the route.
class TMenuItemEnabler : public TCommandEnabler {
public:
    TMenuItemEnabler(HMENU menu, UINT id, HWND receiver, int position)
        : TCommandEnabler(id, receiver), Menu(menu), Position(position) {}
    void Enable(bool enable) override {
        TCommandEnabler::Enable(enable);
        EnableMenuItem(Menu, static_cast<UINT>(Position), MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
    }
    void SetText(const char* text) override {
        TCommandEnabler::SetText(text);
        ModifyMenuA(Menu, static_cast<UINT>(Position), MF_BYPOSITION | MF_STRING, Id, text);
    }
    void SetCheck(int state) override {
        TCommandEnabler::SetCheck(state);
        CheckMenuItem(Menu, static_cast<UINT>(Position),
                      MF_BYPOSITION | (state == Checked ? MF_CHECKED : MF_UNCHECKED));
    }

private:
    HMENU Menu;
    int Position;
};

void TFrameWindow::EvInitMenuPopup(HMENU popup, UINT index, bool sysMenu) {
    if (sysMenu) {
        TWindow::EvInitMenuPopup(popup, index, sysMenu);
        return;
    }
    int n = GetMenuItemCount(popup);
    for (int i = 0; i < n; ++i) {
        UINT id = GetMenuItemID(popup, i);
        if (id == 0 || id == 0xFFFFFFFFu) continue;  // separators and popups
        TMenuItemEnabler ce(popup, id, Handle, i);
        EvCommandEnable(ce);
    }
}

DEFINE_RESPONSE_TABLE1(TFrameWindow, TWindow)
EV_WM_SIZE, EV_WM_SETFOCUS, EV_WM_INITMENUPOPUP, END_RESPONSE_TABLE;

// ---- decorated frame ----

TDecoratedFrame::TDecoratedFrame(TWindow* parent, const char* title, TWindow* clientWnd,
                                 bool trackMenuSelection, TModule* module)
    : TFrameWindow(), TLayoutWindow(), TrackMenuSelection(trackMenuSelection) {
    Init(parent, title, module);
    InitFrame(nullptr, false);
    if (clientWnd) TDecoratedFrame::SetClientWindow(clientWnd);
}

TWindow* TDecoratedFrame::SetClientWindow(TWindow* clientWnd) {
    TWindow* old = ClientWnd;
    if (old) ForgetChild(old);
    ClientWnd = clientWnd;
    if (clientWnd) {
        if (clientWnd->GetParentO() != this) clientWnd->SetParent(this);
        MakeChildAttributes(*clientWnd);
        if (Handle && !clientWnd->GetHandle()) clientWnd->Create();
    }
    Layout();
    return old;
}

void TDecoratedFrame::Insert(TWindow& decoration, TLocation location) {
    if (decoration.GetParentO() != this) decoration.SetParent(this);
    MakeChildAttributes(decoration);
    auto& list = Decorations[location];
    if (std::find(list.begin(), list.end(), &decoration) == list.end()) list.push_back(&decoration);
    // The size across the side is the decoration's own; the other constraints are the frame's.
    TLayoutMetrics m;
    if (!GetChildLayoutMetrics(decoration, m)) SetChildLayoutMetrics(decoration, m);
    if (Handle) {
        if (!decoration.GetHandle()) decoration.Create();
        Layout();
    }
}

TWindow* TDecoratedFrame::DecorationWithId(int id) const {
    for (const auto& list : Decorations)
        for (TWindow* d : list)
            if (d->GetId() == id) return d;
    return nullptr;
}

TMessageBar* TDecoratedFrame::GetMessageBar() const {
    return dynamic_cast<TMessageBar*>(DecorationWithId(IDW_STATUSBAR));
}

void TDecoratedFrame::RebuildMetrics() {
    auto visible = [](TWindow* w) { return HasVisibleStyle(*w); };
    std::vector<TWindow*> vis[4];
    for (int side = 0; side < 4; ++side)
        for (TWindow* d : Decorations[side])
            if (visible(d)) vis[side].push_back(d);
    TWindow* lastTop = vis[Top].empty() ? nullptr : vis[Top].back();
    TWindow* lastBottom = vis[Bottom].empty() ? nullptr : vis[Bottom].back();
    auto setTopEdge = [&](TEdgeConstraint& c) {
        if (lastTop)
            c.Below(lastTop, 0);
        else
            c.SameAs(lmParent, lmTop);
    };
    auto setBottomEdge = [&](TEdgeConstraint& c) {
        if (lastBottom)
            c.Above(lastBottom, 0);
        else
            c.SameAs(lmParent, lmBottom);
    };
    for (int side = 0; side < 4; ++side) {
        TWindow* prev = nullptr;
        for (TWindow* d : vis[side]) {
            TLayoutMetrics m;
            GetChildLayoutMetrics(*d, m);
            switch (side) {
                case Top:
                    m.X.SameAs(lmParent, lmLeft);
                    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, 0);
                    if (prev)
                        m.Y.Below(prev, 0);
                    else
                        m.Y.SameAs(lmParent, lmTop);
                    if (m.Height.MyEdge != lmHeight) m.Height.AsIs();
                    break;
                case Bottom:
                    m.X.SameAs(lmParent, lmLeft);
                    m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, 0);
                    if (prev)
                        m.Y.Above(prev, 0);
                    else
                        m.Y.SameAs(lmParent, lmBottom);
                    if (m.Height.MyEdge != lmHeight) m.Height.AsIs();
                    break;
                case Left:
                    if (prev)
                        m.X.RightOf(prev, 0);
                    else
                        m.X.SameAs(lmParent, lmLeft);
                    setTopEdge(m.Y);
                    setBottomEdge(m.Height);
                    if (m.Width.MyEdge != lmWidth) m.Width.AsIs();
                    break;
                case Right:
                    if (prev)
                        m.X.LeftOf(prev, 0);
                    else
                        m.X.SameAs(lmParent, lmRight);
                    setTopEdge(m.Y);
                    setBottomEdge(m.Height);
                    if (m.Width.MyEdge != lmWidth) m.Width.AsIs();
                    break;
            }
            SetChildLayoutMetrics(*d, m);
            prev = d;
        }
    }
    if (ClientWnd) {
        TLayoutMetrics m;
        if (vis[Left].empty())
            m.X.SameAs(lmParent, lmLeft);
        else
            m.X.RightOf(vis[Left].back(), 0);
        if (vis[Right].empty())
            m.Width.Set(lmRight, lmSameAs, lmParent, lmRight, 0);
        else
            m.Width.LeftOf(vis[Right].back(), 0);
        setTopEdge(m.Y);
        setBottomEdge(m.Height);
        SetChildLayoutMetrics(*ClientWnd, m);
    }
}

void TDecoratedFrame::Layout() {
    if (!Handle) return;
    RebuildMetrics();
    TLayoutManager::Layout();
}

void TDecoratedFrame::SetupWindow() {
    TFrameWindow::SetupWindow();
    Layout();
}

bool TDecoratedFrame::PreProcessMsg(MSG& msg) {
    for (const auto& list : Decorations)
        for (TWindow* d : std::vector<TWindow*>(list))
            if (d != ClientWnd && d->GetHandle() && HasVisibleStyle(*d) && d->PreProcessMsg(msg)) return true;
    return TFrameWindow::PreProcessMsg(msg);
}

LRESULT TDecoratedFrame::EvCommand(UINT id, HWND hWndCtl, UINT notifyCode) {
    if (!hWndCtl) {
        if (TWindow* d = DecorationWithId(static_cast<int>(id))) {
            d->Show(HasVisibleStyle(*d) ? SW_HIDE : SW_SHOW);
            Layout();
            return 0;
        }
    }
    return TFrameWindow::EvCommand(id, hWndCtl, notifyCode);
}

void TDecoratedFrame::EvCommandEnable(TCommandEnabler& ce) {
    if (TWindow* d = DecorationWithId(static_cast<int>(ce.GetId()))) {
        ce.Enable(true);
        ce.SetCheck(HasVisibleStyle(*d) ? TCommandEnabler::Checked : TCommandEnabler::Unchecked);
        return;
    }
    TFrameWindow::EvCommandEnable(ce);
}

void TDecoratedFrame::EvSize(UINT sizeType, const TSize& size) {
    TWindow::EvSize(sizeType, size);
    if (sizeType != SIZE_MINIMIZED) Layout();
}

void TDecoratedFrame::EvMenuSelect(WPARAM wp, LPARAM lp) {
    if (TrackMenuSelection) {
        UINT id = LOWORD(wp), flags = HIWORD(wp);
        if (flags == 0xFFFF && lp == 0)
            SetHintCommand(-1);
        else if (!(flags & (MF_POPUP | MF_SEPARATOR)))
            SetHintCommand(static_cast<int>(id));
    }
    DefaultProcessing();
}

void TDecoratedFrame::SetHintCommand(int id) {
    TMessageBar* bar = GetMessageBar();
    if (!bar) return;
    if (id <= 0) {
        bar->SetHintText(nullptr);
        return;
    }
    char buf[256];
    int n = Module->LoadString(static_cast<UINT>(id), buf, sizeof buf);
    if (n <= 0) {
        bar->SetHintText(nullptr);
        return;
    }
    // The whole "long\nshort" text: the bar shows the long line, a bar of its own may route the short one.
    std::string text(buf, static_cast<size_t>(n));
    bar->SetHintText(text.c_str());
}

namespace {
LRESULT MenuSelectThunk(TDecoratedFrame& f, WPARAM wp, LPARAM lp) {
    f.EvMenuSelect(wp, lp);
    return 0;
}
}  // namespace

DEFINE_RESPONSE_TABLE1(TDecoratedFrame, TFrameWindow)
EV_WM_SIZE, QSM_EV(WM_MENUSELECT, return MenuSelectThunk(self_, wp_, lp_);), END_RESPONSE_TABLE;
