// The dockable toolbar: construction, layout and float shapes, showing and hiding, painting, the toolbar
// list and its commands, the context menu.
#include "ui/toolbar.h"

#include <algorithm>

#include "core/sys_info.h"
#include "platform/framework/controls.h"
#include "ui/button_gadget.h"
#include "ui/dock_station.h"
#include "ui/edge_border.h"
#include "ui/status_bar.h"
#include "ui/toolbar_draw.h"
#include "ui/toolbar_frame.h"
#include "ui/tooltip.h"

int ContextMenuId = 20302;

namespace {

std::vector<TToolbar*>& List() {
    static auto* list = [] {
        auto* l = new std::vector<TToolbar*>();
        l->reserve(33);
        return l;
    }();
    return *list;
}

// The four stations (left, top, right, bottom) and the frame that owns them.
TDockStation* g_stations[4] = {};
TDecoratedFrame* g_frame = nullptr;

int SideIndex(uint16_t side) {
    switch (side) {
        case tpLeft:
            return 0;
        case tpTop:
            return 1;
        case tpRight:
            return 2;
        case tpBottom:
            return 3;
        default:
            return -1;
    }
}

bool IsSeparator(TGadget* g) {
    return dynamic_cast<TSeparatorGadget*>(g) != nullptr;
}

}  // namespace

// ---- the list and the stations ----

const std::vector<TToolbar*>& TToolbar::Toolbars() {
    return List();
}

TDecoratedFrame* TToolbar::DockFrame() {
    return g_frame;
}

TDockStation* TToolbar::StationOfSide(uint16_t side) {
    int i = SideIndex(side);
    return i < 0 ? nullptr : g_stations[i];
}

TDockStation* TToolbar::StationOf(uint16_t placement) {
    return StationOfSide(placement & 0xF030);
}

int TToolbar::BorderUnit() {
    return ToolbarBorderUnit();
}

void TToolbar::ForgetStation(TDockStation* station) {
    bool any = false;
    for (TDockStation*& s : g_stations) {
        if (s == station) s = nullptr;
        any = any || s != nullptr;
    }
    if (!any) g_frame = nullptr;
}

void TToolbar::MakeDockStations(TDecoratedFrame* frame) {
    g_frame = frame;
    static const uint16_t kWords[4] = {0x1400, 0x2800, 0x4100, 0x8200};
    static const TDecoratedFrame::TLocation kSides[4] = {TDecoratedFrame::Left, TDecoratedFrame::Top,
                                                         TDecoratedFrame::Right, TDecoratedFrame::Bottom};
    for (int i = 0; i < 4; ++i) {
        g_stations[i] = new TDockStation(frame, kWords[i]);
        frame->Insert(*g_stations[i], kSides[i]);
    }
}

// ---- construction ----

TToolbar::TToolbar(TDecoratedFrame* frame, const char* title, uint16_t placement, int startsRow, TFont* font,
                   TModule* module)
    : TControlBar(frame, Horizontal, font, module) {
    Title = title ? title : "";
    // Button glyphs take the height their toolbar asks for.
    TToolbarButtonGadget::ButtonSizeOf = [](const TGadgetWindow& w) {
        auto* t = dynamic_cast<const TToolbar*>(&w);
        return t ? t->ButtonSize : -1;
    };
    List().push_back(this);
    NumberToolbars();
    Attr.Style = (Attr.Style | WS_CLIPSIBLINGS) & ~(WS_VISIBLE | WS_BORDER);
    HintMode = EnterHints;
    SetBkgndColor(TColor(GetSysColor(COLOR_BTNFACE)));
    DockMask = 0xf010;
    Placement = placement;
    if (SysInfo.IsVersion4OrLater()) Placement |= tpNewLook;
    StartsRow = startsRow;
    int v = SysInfo.IsVersion4OrLater() ? 2 : 1;
    Margins = {3 + v, 2 + v, 2 + v, 1 + v};
    FloatPos = TPoint(10, 10);
    LoadState();
    if (!g_frame) MakeDockStations(frame);
    SetParent(StationOfSide(Placement & tpSideMask) ? StationOfSide(Placement & tpSideMask) : g_stations[1]);
    if (TDockStation* st = StationOf(Placement)) st->InsertToolbar(this);
    FrameCx = GetSystemMetrics(SM_CXFRAME);
    FrameCy = GetSystemMetrics(SM_CYFRAME);
    CaptionCy = SysInfo.IsVersion4OrLater() ? GetSystemMetrics(SM_CYSMCAPTION)
                                            : GetSystemMetrics(SM_CYCAPTION) / 2 + 2;
    Direction = IsVerticalPlacement(Placement) ? Vertical : Horizontal;
}

TToolbar::~TToolbar() {
    if (Dragging) {
        DrawDragFrame(DragRect, DragWord, false);
        Dragging = 0;
    }
    if (Handle) Destroy();
    if (Station) {
        TDockStation* st = Station;
        st->RemoveToolbar(this, false);
    }
    DestroyFloatingFrame();
    auto& list = List();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    NumberToolbars();
}

void TToolbar::NumberToolbars() {
    auto& list = List();
    for (size_t i = 0; i < list.size(); ++i)
        list[i]->CommandId = CM_TOOLBAR_FIRST + static_cast<UINT>(i);
}

void TToolbar::GetWindowClass(WNDCLASSA& wc) {
    TControlBar::GetWindowClass(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
}

void TToolbar::SetupWindow() {
    TControlBar::SetupWindow();
    ComputeFloatShapes();
    if ((Placement & tpFloating) && !(Placement & tpHidden) && !FloatingFrame) ShowToolbar(Placement, 0);
}

void TToolbar::CleanupWindow() {
    SaveState();
    TControlBar::CleanupWindow();
}

// ---- layout ----

TSize TToolbar::LayoutGadgets(uint16_t placement, int rows, int* resultRows, bool apply) {
    const bool floating = (placement & tpFloating) != 0;
    const bool vertical = IsVerticalPlacement(placement);
    const bool overlapRows = !SysInfo.IsVersion4OrLater();
    int innerLeft = Margins.Left, innerTop = Margins.Top;
    if (!floating) {
        if (vertical)
            innerTop += 13;
        else
            innerLeft += 10;
    }
    const int startX = innerLeft - 1;
    int x = startX, y = innerTop;
    int limit = 0x7FFF;
    std::vector<TSize> sizes;
    sizes.reserve(Gadgets.size());
    for (TGadget* g : Gadgets) {
        TSize s;
        g->GetDesiredSize(s);
        sizes.push_back(s);
    }
    auto counts = [this](TGadget* g) { return g->GetEnabled() || IsSeparator(g) || CountAllGadgets; };
    if (floating && rows > 1) {
        int sum = 0, widest = 0;
        for (size_t i = 0; i < Gadgets.size(); ++i)
            if (counts(Gadgets[i])) {
                sum += sizes[i].cx;
                widest = std::max<int>(widest, sizes[i].cx);
            }
        limit = std::max((sum + rows - 1) / rows, widest) + startX;
    }
    int maxRight = x, maxBottom = y;
    int rowHeight = 0, widestSoFar = 0;
    int rowCount = 1;
    bool rowHasGadget = false, breakPending = false, forced = false;
    auto newRow = [&]() {
        y += rowHeight - (overlapRows && rowHeight > 0 ? 1 : 0);
        x = startX;
        rowHeight = 0;
        rowHasGadget = false;
        ++rowCount;
    };
    for (size_t i = 0; i < Gadgets.size(); ++i) {
        TGadget* g = Gadgets[i];
        const TSize& s = sizes[i];
        if (!floating && dynamic_cast<TTextGadget*>(g)) {
            // Text is never shown in a docked toolbar: parked out of sight.
            if (apply) g->SetBounds(TRect(-s.cx, -s.cy, 0, 0));
            continue;
        }
        const bool sep = IsSeparator(g);
        if (floating && rows != 1 && sep && rowHasGadget) {
            int group = 0;
            for (size_t j = i + 1; j < Gadgets.size() && !IsSeparator(Gadgets[j]); ++j)
                group += sizes[j].cx;
            if (forced || x + group > limit) {
                // The separator ends the row and becomes a divider across the toolbar.
                y += rowHeight - (overlapRows && rowHeight > 0 ? 1 : 0);
                if (apply) g->SetBounds(TRect(0, y, 10000, y + s.cy + 1));
                maxBottom = std::max<int>(maxBottom, y + s.cy + 1);
                y += dynamic_cast<TQSToolbarSeparatorGadget*>(g) ? s.cy + 1 : Margins.Top + 1;
                x = startX;
                rowHeight = 0;
                rowHasGadget = false;
                breakPending = false;
                forced = false;
                ++rowCount;
                continue;
            }
        }
        if (breakPending) {
            newRow();
            breakPending = false;
        }
        TRect b(x, y, x + s.cx, y + s.cy);
        if (sep && !floating) {
            if (vertical)
                b.right = x + std::max<int>(widestSoFar, s.cx);
            else
                b.bottom = y + std::max<int>(rowHeight, s.cy);
        }
        if (apply) g->SetBounds(b);
        maxRight = std::max<int>(maxRight, b.right);
        maxBottom = std::max<int>(maxBottom, b.bottom);
        rowHeight = std::max<int>(rowHeight, b.Height());
        widestSoFar = std::max<int>(widestSoFar, b.Width());
        rowHasGadget = true;
        x += s.cx;
        if (!floating && vertical) {
            breakPending = true;
        } else if (floating && x > limit) {
            breakPending = true;
            forced = true;
        }
    }
    if (resultRows) *resultRows = Gadgets.empty() ? 1 : rowCount;
    TSize size(maxRight + Margins.Right, maxBottom + Margins.Bottom);
    if (floating) {
        size.cx += FrameCx + 1;
        size.cy += FrameCy + CaptionCy;
    }
    return size;
}

void TToolbar::GetDesiredSize(TSize& size) {
    int rows = 1;
    if ((Placement & tpFloating) && !Shapes.empty()) rows = GetShape(ShapeIndex).Rows;
    size = LayoutGadgets(Placement, rows, nullptr, false);
}

void TToolbar::PositionGadgets() {
    int rows = 1;
    if ((Placement & tpFloating) && !Shapes.empty()) rows = GetShape(ShapeIndex).Rows;
    LayoutGadgets(Placement, rows, nullptr, true);
}

TRect TToolbar::GetLayoutRect() {
    TSize s;
    GetDesiredSize(s);
    return TRect(0, 0, s.cx, s.cy);
}

void TToolbar::LayoutSession() {
    if (!Handle || InLayout) return;
    InLayout = true;
    TSize want;
    GetDesiredSize(want);
    TRect r = GetWindowRect();
    bool resized = r.Width() != want.cx || r.Height() != want.cy;
    if (resized)
        ::SetWindowPos(Handle, nullptr, 0, 0, want.cx, want.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PositionGadgets();
    Invalidate();
    InLayout = false;
    if (resized && Station) Station->LayoutToolbars();
}

void TToolbar::ComputeFloatShapes() {
    Shapes.clear();
    const int n = NumGadgets();
    int previous = -1;
    for (int rows = 1; rows <= std::max(1, n); ++rows) {
        int got = 1;
        TSize s = LayoutGadgets(static_cast<uint16_t>(Placement | tpFloating), rows, &got, false);
        if (got != previous) {
            Shapes.push_back(TShape{s, rows});
            previous = got;
        }
        if (got >= n || static_cast<int>(Shapes.size()) >= kMaxShapes) break;
    }
    // A saved index may be negative or beyond the shapes: keep it to the shapes there are.
    ShapeIndex = std::clamp(ShapeIndex, 0, GetShapeCount() - 1);
    PositionGadgets();
}

void TToolbar::SetShapeIndex(int n) {
    if (!Handle) {
        ShapeIndex = n;
        return;
    }
    ShapeIndex = std::clamp(n, 0, std::max(0, GetShapeCount() - 1));
    if ((Placement & tpFloating) && FloatingFrame) FloatingFrame->Fit();
}

TSize TToolbar::GetShapeSize(int n) const {
    if (n < 0 || n >= GetShapeCount()) return TSize(0, 0);
    return Shapes[static_cast<size_t>(n)].Size;
}

void TToolbar::Relayout() {
    bool shown = !(Placement & tpHidden);
    if (shown) ShowToolbar(static_cast<uint16_t>(Placement | tpHidden), 1);
    ComputeFloatShapes();
    LayoutSession();
    if (shown) ShowToolbar(static_cast<uint16_t>(Placement & ~tpHidden), 1);
}

void TToolbar::SetButtonSize(int size) {
    size = std::max(size, 6);
    if (size == ButtonSize) return;
    ButtonSize = size;
    if (!Handle || NumGadgets() == 0) return;
    for (TGadget* g : Gadgets)
        if (auto* b = dynamic_cast<TToolbarButtonGadget*>(g)) b->DropCels();
    Relayout();
}

// ---- showing, hiding, docking, floating ----

void TToolbar::DestroyFloatingFrame() {
    if (!FloatingFrame) return;
    TToolbarFrame* f = FloatingFrame;
    FloatingFrame = nullptr;
    f->ReleaseToolbar();
    f->Destroy();
    delete f;
}

void TToolbar::ShowToolbar(uint16_t placement, int remember) {
    const uint16_t old = Placement;
    Placement = placement;
    Direction = IsVerticalPlacement(placement) ? Vertical : Horizontal;
    TDockStation* oldStation = Station ? Station : StationOf(old);
    TDockStation* newStation = StationOf(placement);
    TDockStation* sideStation = StationOfSide(placement & tpSideMask);
    if (!sideStation) sideStation = g_stations[1];
    if (remember && Handle && IsWindowVisible()) {
        if (!Station && FloatingFrame && FloatingFrame->GetHandle()) {
            FloatPos = FloatingFrame->GetWindowRect().TopLeft();
        } else if (Station && Station->GetHandle()) {
            DockedPos = Station->ScreenToClient(GetWindowRect().TopLeft());
        }
    }
    if (Station) oldStation->RemoveToolbar(this, newStation != oldStation);
    const bool hidden = (placement & tpHidden) != 0;
    const bool floating = !hidden && (placement & tpFloating) != 0;
    if (FloatingFrame && (newStation || hidden)) {
        if (Handle) Show(SW_HIDE);
        if (sideStation) SetParent(sideStation);
        DestroyFloatingFrame();
    }
    if (newStation) {
        if (GetParentO() != newStation) SetParent(newStation);
        TPoint p = newStation->GetHandle() ? newStation->ClientToScreen(DockedPos) : DockedPos;
        newStation->HitDockPosition(this, p.x, p.y);
        LayoutSession();
    } else if (floating && g_frame) {
        if (FloatPos.x == -1 && FloatPos.y == -1 && Handle) FloatPos = GetWindowRect().TopLeft();
        if (!FloatingFrame) {
            FloatingFrame = new TToolbarFrame(g_frame, GetTitle(), this, FloatPos);
            if (g_frame->GetHandle()) FloatingFrame->Create();
        } else if (FloatingFrame->GetHandle()) {
            ::SetWindowPos(*FloatingFrame, nullptr, FloatPos.x, FloatPos.y, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    } else if (hidden && Handle) {
        Show(SW_HIDE);
    }
    if (g_frame) g_frame->Layout();
}

void TToolbar::Float() {
    if (DockMask & tpFloating) ShowToolbar(static_cast<uint16_t>(Placement | tpFloating), 1);
}

void TToolbar::Dock() {
    ShowToolbar(static_cast<uint16_t>(Placement & ~tpFloating), 1);
}

// ---- finders and commands ----

int TToolbar::FindByTitle(const char* name) {
    if (!name) return -1;
    auto& list = List();
    for (size_t i = 0; i < list.size(); ++i)
        if (std::string(list[i]->GetTitle()) == name) return static_cast<int>(i);
    return -1;
}

TToolbar* TToolbar::FindByGadgetId(int id) {
    for (TToolbar* t : List())
        if (t->GadgetWithId(id)) return t;
    return nullptr;
}

bool TToolbar::GetGadgetScreenRect(int id, TRect& rect, TPoint& point, bool hover) {
    POINT cursor{0, 0};
    GetCursorPos(&cursor);
    point = cursor;
    rect = TRect();
    TToolbar* found = nullptr;
    TGadget* gadget = nullptr;
    for (TToolbar* t : List()) {
        if ((t->Placement & tpHidden) || !t->Handle) continue;
        TGadget* g = t->GadgetWithId(id);
        if (!g) continue;
        if (!found) {
            found = t;
            gadget = g;
        }
        if (g->PtIn(t->ScreenToClient(cursor))) {
            found = t;
            gadget = g;
            break;
        }
    }
    if (!found) return false;
    TRect b = gadget->GetBounds();
    TPoint tl = found->ClientToScreen(b.TopLeft());
    rect = TRect(tl, b.Size());
    const uint16_t side = found->Placement & tpSideMask;
    const bool docked = !(found->Placement & tpFloating);
    point = docked && (side == tpRight || side == tpBottom) ? rect.BottomRight() : rect.TopLeft();
    if (hover) found->HandleMessage(WM_MOUSEMOVE, 0, MAKELPARAM(b.left, b.top));
    return true;
}

bool TToolbar::AreGadgetsAdjacent(int id1, int id2) {
    for (TToolbar* t : List())
        for (TGadget* g = t->FirstGadget(); g; g = t->NextGadget(*g))
            if (g->GetId() == id1) {
                TGadget* n = t->NextGadget(*g);
                if (n && n->GetId() == id2) return true;
            }
    return false;
}

void TToolbar::EnableToolbarCommands(TCommandEnabler& ce) {
    ce.Enable(true);
}

bool TToolbar::ToggleToolbarCommand(UINT id) {
    // A command past the list names no toolbar: nothing to do.
    auto& list = List();
    if (id < CM_TOOLBAR_FIRST || id - CM_TOOLBAR_FIRST >= list.size()) return false;
    TToolbar* t = list[id - CM_TOOLBAR_FIRST];
    t->ShowToolbar(static_cast<uint16_t>(t->Placement ^ tpHidden), 1);
    return true;
}

// ---- context menu ----

void TToolbar::BuildToolbarsMenu(HMENU menu) {
    for (TToolbar* t : List())
        AppendMenuA(menu, MF_STRING | ((t->Placement & tpHidden) ? MF_UNCHECKED : MF_CHECKED), t->CommandId,
                    t->GetTitle());
}

void TToolbar::TrackContextMenu() {
    if (::GetCapture() || !ContextMenuId) return;
    TPopupMenu menu;
    BuildToolbarsMenu(menu);
    if (HMENU extra = Module->LoadMenu(MAKEINTRESOURCEA(ContextMenuId))) {
        HMENU items = GetSubMenu(extra, 0) ? GetSubMenu(extra, 0) : extra;
        menu.MergeItems(items);
        DestroyMenu(extra);
    }
    menu.CheckMenuItem(static_cast<UINT>(ButtonSize / 6), MF_BYCOMMAND | MF_CHECKED);
    POINT at{0, 0};
    GetCursorPos(&at);
    int r = menu.TrackPopupMenu(TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, TPoint(at), 0, Handle);
    if (r >= 1 && r <= 20)
        SetButtonSize(6 * r);
    else if ((r == CM_TOOLBAR_LIST || r >= CM_TOOLBAR_FIRST) && g_frame && g_frame->GetHandle())
        g_frame->PostMessage(WM_COMMAND, static_cast<WPARAM>(r), 0);
}

bool TToolbar::IsFrameEnabled() {
    return g_frame && g_frame->GetHandle() && g_frame->IsWindowEnabled();
}

// ---- messages ----

bool TToolbar::PreProcessMsg(MSG& msg) {
    // Keys and mouse buttons hide the tip; moves and hit tests do not.
    if (GlobalToolTip && ((msg.message >= WM_KEYDOWN && msg.message <= 0x0108) ||
                          (msg.message >= WM_LBUTTONDOWN && msg.message <= WM_MBUTTONDBLCLK)))
        GlobalToolTip->SetText(nullptr);
    if (Dragging && (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_CONTROL) {
        POINT p{0, 0};
        GetCursorPos(&p);
        DragTo(TPoint(p), msg.message == WM_KEYDOWN);
    }
    return TControlBar::PreProcessMsg(msg);
}

void TToolbar::Paint(TDC& dc, bool erase, TRect& rect) {
    TRect inner;
    GetInnerRect(inner);
    if (!(Placement & tpFloating)) {
        const bool vertical = IsVerticalPlacement(Placement);
        for (int i = 0; i < 2; ++i) {
            TRect bar = vertical
                            ? TRect(inner.left, inner.top + 3 + 3 * i, inner.right, inner.top + 6 + 3 * i)
                            : TRect(inner.left + 3 * i, inner.top, inner.left + 3 * i + 3, inner.bottom);
            EdgeBorder(bar, EdgeBorder::Style(6)).Paint(dc);
        }
    }
    TControlBar::Paint(dc, erase, rect);
    Draw3dEdges(dc, GetClientRect(), static_cast<uint16_t>(Placement | tpBorderMask));
}

HBRUSH TToolbar::EvCtlColor(HDC dc, HWND, UINT) {
    ::SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return ToolbarFaceBrush();
}

void TToolbar::EvLButtonDown(UINT modKeys, const TPoint& p) {
    TControlBar::EvLButtonDown(modKeys, p);
    if (GetCapture()) return;  // a gadget took the press
    BeginDrag(ClientToScreen(p));
}

void TToolbar::EvLButtonUp(UINT modKeys, const TPoint& p) {
    if (Dragging) {
        EndDrag();
        return;
    }
    TControlBar::EvLButtonUp(modKeys, p);
}

void TToolbar::EvLButtonDblClk(UINT, const TPoint& p) {
    TGadget* g = GadgetFromPoint(p);
    if (g && g->GetEnabled() && !IsSeparator(g)) {
        MessageBeep(0);
        return;
    }
    ToggleFloating();
}

void TToolbar::EvRButtonDown(UINT, const TPoint&) {
    TrackContextMenu();
}

void TToolbar::EvMouseMove(UINT modKeys, const TPoint& p) {
    if (Dragging) {
        DragTo(ClientToScreen(p), (modKeys & MK_CONTROL) != 0 || GetKeyState(VK_CONTROL) < 0);
        return;
    }
    if (GlobalToolTip) {
        TGadget* g = GadgetFromPoint(p);
        if (!GetCapture() && !g)
            GlobalToolTip->SetText(nullptr);
        else if (g)
            GlobalToolTip->SetToolRect(
                TRect(ClientToScreen(g->GetBounds().TopLeft()), g->GetBounds().Size()));
    }
    ++HintToTipDepth;
    TControlBar::EvMouseMove(modKeys, p);
    --HintToTipDepth;
}

bool TToolbar::EvSetCursor(HWND, UINT, UINT) {
    ::SetCursor(LoadCursorA(nullptr, Dragging ? IDC_SIZEALL : IDC_ARROW));
    return true;
}

void TToolbar::EvSysColorChange() {
    SetBkgndColor(TColor(GetSysColor(COLOR_BTNFACE)));
    TControlBar::EvSysColorChange();
}

LRESULT TToolbar::EvFrameCommand(WPARAM wp, LPARAM) {
    if (wp == 0) {
        if (FloatingFrame) ShowToolbar(static_cast<uint16_t>(Placement | tpHidden), 1);
    } else if (Placement & tpFloating) {
        ToggleFloating();
    }
    return 0;
}

namespace {
LRESULT ToolbarCtlColor(TToolbar& t, WPARAM wp, LPARAM lp, UINT msg) {
    return reinterpret_cast<LRESULT>(
        t.EvCtlColor(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp), msg));
}
}  // namespace

DEFINE_RESPONSE_TABLE1(TToolbar, TControlBar)
QSM_EV(WM_CTLCOLORSTATIC, return ToolbarCtlColor(self_, wp_, lp_, WM_CTLCOLORSTATIC);),
    QSM_EV(WM_CTLCOLORBTN, return ToolbarCtlColor(self_, wp_, lp_, WM_CTLCOLORBTN);),
    QSM_EV(WM_CTLCOLOREDIT, return ToolbarCtlColor(self_, wp_, lp_, WM_CTLCOLOREDIT);), EV_WM_LBUTTONDOWN,
    EV_WM_LBUTTONUP, EV_WM_LBUTTONDBLCLK, EV_WM_RBUTTONDOWN, EV_WM_MOUSEMOVE, EV_WM_SETCURSOR,
    EV_WM_SYSCOLORCHANGE, EV_MESSAGE(WM_TOOLBAR_FRAMECMD, EvFrameCommand), END_RESPONSE_TABLE;
