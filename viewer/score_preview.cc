#include "viewer/score_preview.h"

#include <algorithm>
#include <memory>

#include "core/hooks.h"
#include "platform/framework/dc.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/module.h"
#include "render/layout/score_draw_info.h"
#include "score/staff_range.h"
#include "ui/long_task.h"
#include "viewer/print_data.h"

namespace {

constexpr int kNoDrag = -29999;
// Mouse messages made from pen and touch input carry this signature in the upper 24 bits of their extra
// information.
constexpr LPARAM kTouchSignature = 0xFF515700;

}  // namespace

DEFINE_RESPONSE_TABLE1(TScorePreviewControl, TControl)
EV_WM_SIZE, EV_WM_KEYDOWN, EV_WM_CHAR, EV_WM_HSCROLL, EV_WM_VSCROLL, EV_WM_LBUTTONDOWN, EV_WM_LBUTTONUP,
    EV_WM_LBUTTONDBLCLK, EV_WM_RBUTTONDOWN, EV_WM_MOUSEMOVE, EV_WM_MOUSEWHEEL, EV_WM_SETCURSOR,
    EV_WM_GETDLGCODE, EV_REGISTERED("QSINIT", EvQsInit), END_RESPONSE_TABLE;

TScorePreviewControl::TScorePreviewControl(TWindow* parent, int id, const char* title, int x, int y, int w,
                                           int h, TQSMPrintData* printData, TModule* module)
    : TWindow(parent, title, module), TControl(parent, id, title, x, y, w, h, module) {
    Init(printData);
}

TScorePreviewControl::TScorePreviewControl(TWindow* parent, int resourceId, TQSMPrintData* printData,
                                           TModule* module)
    : TWindow(parent, nullptr, module), TControl(parent, resourceId, module) {
    Init(printData);
}

void TScorePreviewControl::Init(TQSMPrintData* data) {
    PrintData = data;
    Attr.Style |= WS_HSCROLL | WS_VSCROLL | WS_TABSTOP;
}

void TScorePreviewControl::GetWindowClass(WNDCLASSA& wc) {
    TControl::GetWindowClass(wc);
    wc.style |= CS_DBLCLKS;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void TScorePreviewControl::SetupWindow() {
    TControl::SetupWindow();
    PostMessage(RegisterWindowMessageA("QSINIT"));
}

LRESULT TScorePreviewControl::EvQsInit(WPARAM, LPARAM) {
    ComputeZoomLevels();
    GotoIndex(StartIndex);
    return 0;
}

TSize TScorePreviewControl::ClientSize() const {
    TRect r = GetClientRect();
    return TSize(std::max<int>(r.Width(), 20), std::max<int>(r.Height(), 20));
}

// ---- zoom ----

int TScorePreviewControl::ZoomWidthsFor(int physWidth, int fitWidth, int clientWidth, int* widths) {
    widths[0] = fitWidth;
    int count = 1;
    int d0 = physWidth / std::max(fitWidth, 1);
    for (int d = d0; d >= 1; --d) {
        if (physWidth % d != 0) continue;
        int w = physWidth / d;
        if (w <= widths[count - 1]) continue;
        if (count > 1 && w <= clientWidth)
            widths[count - 1] = w;
        else if (count > 2 && MulDiv(100, widths[count - 1], widths[count - 2]) < 133)
            widths[count - 1] = w;
        else {
            widths[count++] = w;
            if (count == kMaxZoomLevels) break;
        }
    }
    return count;
}

void TScorePreviewControl::ComputeZoomLevels() {
    if (!PrintData) return;
    TSize c = ClientSize();
    Fit = PrintData->FitPageInto(c.cx, c.cy);
    Fit.cx = std::max<LONG>(Fit.cx, 1);
    Fit.cy = std::max<LONG>(Fit.cy, 1);
    int old = ZoomLevel;
    ZoomCount = ZoomWidthsFor(PrintData->GetPhysWidth(), Fit.cx, c.cx, ZoomWidth);
    ZoomLevel = -1;
    // A resize keeps the level, clamped into the new list.
    SetZoom(std::max(old, 0));
}

void TScorePreviewControl::SetZoom(int level) {
    level = std::clamp(level, 0, ZoomCount - 1);
    if (level == ZoomLevel) {
        Invalidate(false);
        return;
    }
    POINT oldPos = Scroll;
    SIZE oldMax = ScrollMax;
    ZoomLevel = level;
    TSize c = ClientSize();
    PageSize = {ZoomWidth[level], MulDiv(ZoomWidth[level], Fit.cy, Fit.cx)};
    ViewSize = {std::min<LONG>(PageSize.cx, c.cx), std::min<LONG>(PageSize.cy, c.cy)};
    if (level == 0)
        Origin = {(c.cx - PageSize.cx) / 2, (c.cy - PageSize.cy) / 2};
    else
        Origin = {c.cx / 2, c.cy / 2};
    auto axis = [&](LONG origin, LONG client, LONG page, LONG view, LONG oldPos, LONG oldRange, LONG& range,
                    LONG& pos, int bar) {
        LONG m = client > page ? origin - (client - page) / 2 : origin;
        range = level == 0 ? 0 : 2 * m + page - view;
        pos = range < 1 || oldRange < 1 ? 0 : MulDiv(oldPos, range, oldRange);
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        si.nMin = 0;
        si.nMax = level == 0 ? 0 : 2 * m + page;
        si.nPage = level == 0 ? 0 : static_cast<UINT>(view);
        si.nPos = pos;
        if (GetHandle()) SetScrollInfo(bar, si, true);
    };
    axis(Origin.x, c.cx, PageSize.cx, ViewSize.cx, oldPos.x, oldMax.cx, ScrollMax.cx, Scroll.x, SB_HORZ);
    axis(Origin.y, c.cy, PageSize.cy, ViewSize.cy, oldPos.y, oldMax.cy, ScrollMax.cy, Scroll.y, SB_VERT);
    Refresh();
}

POINT TScorePreviewControl::ClientToPage(POINT client) const {
    return PrintData->ScreenToPage(PageSize, Origin, POINT{client.x + Scroll.x, client.y + Scroll.y});
}

void TScorePreviewControl::ZoomKeeping(int level, POINT from, POINT to) {
    level = std::clamp(level, 0, ZoomCount - 1);
    if (level == ZoomLevel || !PrintData) return;
    POINT page = ClientToPage(from);
    SetZoom(level);
    POINT s = PrintData->PageToScreen(PageSize, Origin, page);
    ScrollTo(SB_HORZ, s.x - to.x);
    ScrollTo(SB_VERT, s.y - to.y);
}

void TScorePreviewControl::ZoomAround(int level) {
    TSize c = ClientSize();
    POINT at{c.cx / 2, c.cy * 2 / 5};
    ZoomKeeping(level, at, at);
}

// ---- pages ----

template <class Stop>
void TScorePreviewControl::Walk(bool longWalk, Stop stop) {
    std::unique_ptr<TLongTaskDlg> progress;
    if (longWalk && TApplication::Get()) {
        progress = std::make_unique<TLongTaskDlg>(Frame ? Frame : this, IDD_WORKING, 1, 0);
        if (progress->Create())
            progress->SetTextPrintf("Working...");
        else
            progress.reset();
    }
    Busy = 1;
    PrintData->ResetPages();
    PageIndex = 1;
    MorePages = PrintData->DrawPage(nullptr, PageIndex, false);
    while (MorePages && !stop() && !IsLongTaskCancelled()) {
        PrintData->StartNextPage();
        ++PageIndex;
        MorePages = PrintData->DrawPage(nullptr, PageIndex, false);
    }
    if (progress) progress->CloseDialog();
    Busy = 0;
}

void TScorePreviewControl::GotoPage(int p) {
    if (!PrintData) return;
    Walk(p > 30, [&] { return PageIndex >= p; });
    Refresh();
}

void TScorePreviewControl::GotoIndex(int index) {
    if (!PrintData) return;
    Walk(index > 67200, [&] { return PrintData->GetPageEndIndex() > index; });
    SetZoom(std::min(ZoomLevel, 1));
    Refresh();
}

void TScorePreviewControl::GotoStart() {
    if (!PrintData) return;
    Walk(false, [] { return true; });
    SetZoom(0);
    Refresh();
}

void TScorePreviewControl::NextPage() {
    if (!PrintData || !MorePages) return;
    PrintData->StartNextPage();
    ++PageIndex;
    MorePages = PrintData->DrawPage(nullptr, PageIndex, false);
    Refresh();
}

void TScorePreviewControl::PreviousPage() {
    if (PageIndex > 1) GotoPage(PageIndex - 1);
}

void TScorePreviewControl::GotoLastPage() {
    // The length of the top staff lies at or beyond the end of the last page.
    if (MorePages) GotoIndex(LastPageIndex());
}

int TScorePreviewControl::LastPageIndex() const {
    TScoreDrawInfo* info = PrintData ? PrintData->GetDrawInfo() : nullptr;
    TMusicStaff* top = info ? info->GetMusicStaff(0) : nullptr;
    if (!top) return 0;
    TStaffItemRange range;
    range.SetStaff(top);
    return StaffRangeGetTicks(range);
}

void TScorePreviewControl::GotoDisplayedPage(int n) {
    if (!PrintData) return;
    int base = PrintData->GetPageNumberBase();
    GotoPage(base != 0 ? n - base + 1 : n);
    SetZoom(std::min(ZoomLevel, 1));
}

int TScorePreviewControl::GetDisplayedPage() const {
    int base = PrintData ? PrintData->GetPageNumberBase() : 0;
    return base != 0 ? PageIndex + base - 1 : PageIndex;
}

void TScorePreviewControl::TogglePrintableArea() {
    if (!PrintData) return;
    PrintData->showPrintableArea = !PrintData->showPrintableArea;
    Refresh();
}

bool TScorePreviewControl::IsPrintableAreaShown() const {
    return PrintData && PrintData->showPrintableArea;
}

void TScorePreviewControl::ToggleShowPrinterMargin() {
    if (PrintData && PrintData->GetDrawInfo()) PrintData->GetDrawInfo()->ToggleShowPrinterMargin();
    Refresh();
}

bool TScorePreviewControl::IsPrinterMarginShown() const {
    return PrintData && PrintData->GetDrawInfo() && PrintData->GetDrawInfo()->GetShowPrinterMargin();
}

void TScorePreviewControl::Refresh() {
    if (GetHandle()) Invalidate(false);
}

// ---- painting ----

void TScorePreviewControl::Paint(TDC& dc, bool, TRect& rect) {
    if (!Busy && ZoomLevel >= 0 && PrintData) {
        MorePages = PrintData->DrawPreviewPage(&dc, PageSize, Origin, ViewSize, Scroll, PageIndex);
        return;
    }
    HBRUSH grey = CreateSolidBrush(RGB(160, 160, 160));
    ::FillRect(dc, &rect, grey);
    DeleteObject(grey);
}

// ---- scrolling ----

int TScorePreviewControl::ScrollPos(int bar) const {
    return bar == SB_HORZ ? Scroll.x : Scroll.y;
}

void TScorePreviewControl::ScrollTo(int bar, int pos) {
    LONG& cur = bar == SB_HORZ ? Scroll.x : Scroll.y;
    pos = std::clamp<int>(pos, 0, std::max<int>(bar == SB_HORZ ? ScrollMax.cx : ScrollMax.cy, 0));
    if (pos == cur) return;
    cur = pos;
    if (!GetHandle()) return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(bar, si, true);
    Invalidate(false);
}

void TScorePreviewControl::ScrollLine(int bar, UINT code, UINT thumbPos) {
    int s = bar == SB_HORZ ? ViewSize.cx : ViewSize.cy;
    int range = bar == SB_HORZ ? ScrollMax.cx : ScrollMax.cy;
    switch (code) {
        case SB_LINEUP:
            ScrollBy(bar, -(s / 10 + 1));
            break;
        case SB_LINEDOWN:
            ScrollBy(bar, s / 10 + 1);
            break;
        case SB_PAGEUP:
            ScrollBy(bar, -s / 2);
            break;
        case SB_PAGEDOWN:
            ScrollBy(bar, s / 2);
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            ScrollTo(bar, static_cast<int>(thumbPos));
            break;
        case SB_TOP:
            ScrollTo(bar, 0);
            break;
        case SB_BOTTOM:
            ScrollTo(bar, range);
            break;
        default:
            break;
    }
}

void TScorePreviewControl::EvHScroll(UINT code, UINT thumbPos, HWND) {
    ScrollLine(SB_HORZ, code, thumbPos);
}
void TScorePreviewControl::EvVScroll(UINT code, UINT thumbPos, HWND) {
    ScrollLine(SB_VERT, code, thumbPos);
}

void TScorePreviewControl::EvSize(UINT sizeType, const TSize& size) {
    TWindow::EvSize(sizeType, size);
    if (ZoomLevel >= 0) ComputeZoomLevels();
}

// ---- keys ----

void TScorePreviewControl::EvKeyDown(UINT key, UINT, UINT) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    switch (key) {
        case VK_PRIOR:
            PreviousPage();
            break;
        case VK_NEXT:
            NextPage();
            break;
        case VK_HOME:
            if (ctrl) {
                ScrollTo(SB_HORZ, 0);
                ScrollTo(SB_VERT, 0);
            } else {
                GotoStart();
            }
            break;
        case VK_END:
            if (ctrl) {
                ScrollTo(SB_HORZ, ScrollMax.cx);
                ScrollTo(SB_VERT, ScrollMax.cy);
            } else {
                GotoLastPage();
            }
            break;
        case VK_LEFT:
            if (ScrollMax.cx <= 0)
                PreviousPage();
            else
                ScrollBy(SB_HORZ, -ViewSize.cx / 2);
            break;
        case VK_RIGHT:
            if (ScrollMax.cx <= 0)
                NextPage();
            else
                ScrollBy(SB_HORZ, ViewSize.cx / 2);
            break;
        case VK_UP:
            if (ZoomLevel > 0) ScrollBy(SB_VERT, -ViewSize.cy / 2);
            break;
        case VK_DOWN:
            if (ZoomLevel > 0) ScrollBy(SB_VERT, ViewSize.cy / 2);
            break;
        default:  // other keys (the media keys among them) take the window's default course
            DefaultProcessing();
            break;
    }
}

void TScorePreviewControl::EvChar(UINT key, UINT, UINT) {
    if (key == '+')
        ZoomIn();
    else if (key == '-')
        ZoomOut();
    else if (key >= '1' && key <= '8')
        ZoomAround(static_cast<int>(key - '1'));
}

LRESULT TScorePreviewControl::EvGetDlgCode(const MSG*) {
    return DLGC_WANTCHARS;
}

// ---- mouse ----

int TScorePreviewControl::HitTest(POINT client) const {
    int left = Origin.x - Scroll.x, top = Origin.y - Scroll.y;
    if (client.x < left) return -1;
    if (client.x >= left + PageSize.cx) return 1;
    if (client.y >= top && client.y < top + PageSize.cy) return 0;
    return client.x > left + PageSize.cx / 2 ? 1 : -1;
}

void TScorePreviewControl::EndDrag() {
    if (DragAnchor.x == kNoDrag) return;
    DragAnchor = {kNoDrag, kNoDrag};
    if (GetCapture() == GetHandle()) ReleaseCapture();
}

void TScorePreviewControl::EvLButtonDown(UINT, const TPoint& p) {
    int hit = HitTest(p);
    if (hit < 0) {
        PreviousPage();
    } else if (hit > 0) {
        NextPage();
    } else if ((GetMessageExtraInfo() & static_cast<LPARAM>(0xFFFFFF00)) != kTouchSignature) {
        SetFocus();
        if (ZoomLevel > 0 && DragAnchor.x == kNoDrag) {
            DragAnchor = p;
            SetCapture();
            ::SetCursor(LoadCursorA(nullptr, IDC_HAND));
        }
    }
}

void TScorePreviewControl::EvLButtonUp(UINT, const TPoint&) {
    EndDrag();
}

void TScorePreviewControl::EvMouseMove(UINT modKeys, const TPoint& p) {
    if (DragAnchor.x == kNoDrag) return;
    if (!(modKeys & MK_LBUTTON)) {
        EndDrag();
        return;
    }
    ScrollBy(SB_HORZ, DragAnchor.x - p.x);
    ScrollBy(SB_VERT, DragAnchor.y - p.y);
    UpdateWindow();
    DragAnchor = p;
}

void TScorePreviewControl::EvLButtonDblClk(UINT modKeys, const TPoint& p) {
    if (HitTest(p) == 0)
        ZoomKeeping(ZoomLevel + 1, p, p);
    else
        EvLButtonDown(modKeys, p);
}

void TScorePreviewControl::EvRButtonDown(UINT, const TPoint& p) {
    TPoint screen = ClientToScreen(p);
    if (HitTest(p) != 0) {
        if (HWND parent = GetParentH())
            ::SendMessageA(parent, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetHandle()),
                           MAKELPARAM(screen.x, screen.y));
        return;
    }
    HINSTANCE inst = GetModule() ? GetModule()->GetInstance() : GetModuleHandleA(nullptr);
    HMENU menu = LoadMenuA(inst, "QSMPreviewRtClick");
    HMENU popup = menu ? GetSubMenu(menu, 0) : nullptr;
    if (!popup) {
        if (menu) DestroyMenu(menu);
        return;
    }
    if (ZoomLevel >= ZoomCount - 1) EnableMenuItem(popup, 1, MF_BYCOMMAND | MF_GRAYED);
    if (ZoomLevel <= 0) EnableMenuItem(popup, 2, MF_BYCOMMAND | MF_GRAYED);
    int cmd = TrackPopupMenu(popup, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                             GetHandle(), nullptr);
    DestroyMenu(menu);
    TSize c = ClientSize();
    if (cmd == 1)
        ZoomKeeping(ZoomCount - 1, p, POINT{c.cx / 2, c.cy / 2});
    else if (cmd == 2)
        SetZoom(0);
}

bool TScorePreviewControl::EvMouseWheel(UINT modKeys, int zDelta, const TPoint& screen) {
    TPoint p = ScreenToClient(screen);
    if (modKeys & MK_CONTROL) {
        ZoomKeeping(ZoomLevel + (zDelta > 0 ? 1 : -1), p, p);
        return true;
    }
    if (modKeys & MK_SHIFT) return true;
    TSize c = ClientSize();
    bool horizontal = ScrollMax.cy <= 0 || p.y >= c.cy;
    ScrollLine(horizontal ? SB_HORZ : SB_VERT, zDelta > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
    return true;
}

bool TScorePreviewControl::EvSetCursor(HWND wnd, UINT hitTest, UINT mouseMsg) {
    if (wnd != GetHandle() || hitTest != HTCLIENT) return TWindow::EvSetCursor(wnd, hitTest, mouseMsg);
    POINT p;
    GetCursorPos(&p);
    TPoint c = ScreenToClient(TPoint(p.x, p.y));
    int hit = HitTest(c);
    HCURSOR cursor = nullptr;
    if (hit != 0) {
        HINSTANCE inst = GetModule() ? GetModule()->GetInstance() : GetModuleHandleA(nullptr);
        cursor = LoadCursorA(inst, hit < 0 ? "PageTurnLeft" : "PageTurnRight");
        if (!cursor) cursor = LoadCursorA(nullptr, IDC_SIZEWE);
    }
    if (!cursor) cursor = LoadCursorA(nullptr, DragAnchor.x != kNoDrag ? IDC_HAND : IDC_ARROW);
    ::SetCursor(cursor);
    return true;
}
