#include "ui/column_header.h"

#include <algorithm>
#include <cstring>

#include "core/sys_info.h"
#include "ui/column_list.h"
#include "ui/edge_border.h"

// ---- items ----

TQSHdrItem::TQSHdrItem(const char* text, HBITMAP bitmap, int width) : HD_ITEMA{} {
    mask = HDI_WIDTH | HDI_FORMAT;
    fmt = 0;
    SetText(text);
    if (bitmap != nullptr) SetBitmap(bitmap);
    SetWidth(width);
}

TQSHdrItem::~TQSHdrItem() {
    delete[] pszText;
}

void TQSHdrItem::SetText(const char* text) {
    mask |= HDI_TEXT | HDI_FORMAT;
    fmt |= HDF_STRING;
    delete[] pszText;
    size_t n = text != nullptr ? std::strlen(text) : 0;
    pszText = new char[n + 1];
    if (n > 0) std::memcpy(pszText, text, n);
    pszText[n] = '\0';
    cchTextMax = static_cast<int>(n);
}

void TQSHdrItem::SetBitmap(HBITMAP bitmap) {
    mask |= HDI_FORMAT | HDI_BITMAP;
    fmt |= HDF_BITMAP;
    hbm = bitmap;
}

void TQSHdrItem::SetLParam(LPARAM v) {
    mask |= HDI_LPARAM;
    lParam = v;
}

// ---- the header ----

DEFINE_RESPONSE_TABLE1(TQSColumnHeader, TControl)
EV_MESSAGE(WM_GETFONT, EvGetFont), EV_WM_SETFONT, EV_WM_LBUTTONDOWN, EV_WM_MOUSEMOVE, EV_WM_LBUTTONUP,
    EV_WM_LBUTTONDBLCLK, EV_WM_SETCURSOR, EV_WM_SETFOCUS,
    EV_MESSAGE(TQSColumnHeader::WM_LAYOUT, EvLayout), END_RESPONSE_TABLE;

TQSColumnHeader::TQSColumnHeader(TWindow* parent, int id, int x, int y, int w, int h, TModule* module) {
    Init(parent, nullptr, module);
    InitControl(id, x, y, w, h);
    Attr.Style &= ~(WS_GROUP | WS_TABSTOP);
    InitHeader();
}

TQSColumnHeader::TQSColumnHeader(TWindow* parent, int resourceId, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
    InitHeader();
}

void TQSColumnHeader::InitHeader() {
    Items.reserve(5);
    HeaderFont = std::make_unique<TFont>(
        static_cast<HFONT>(GetStockObject(SysInfo.IsWin9x() ? DEFAULT_GUI_FONT : SYSTEM_FONT)));
    DragState = DragIdle;
    ScrollOffset = 0;
    PressedColumn = -1;
}

TQSColumnHeader::~TQSColumnHeader() {
    // The list outlives no header of its own: it must not call back into this one.
    if (ListBox != nullptr && ListBox->Header == this) ListBox->Header = nullptr;
}

void TQSColumnHeader::GetWindowClass(WNDCLASSA& wc) {
    TControl::GetWindowClass(wc);
    wc.style |= CS_HREDRAW | CS_VREDRAW;
    // The header chooses its cursor at every WM_SETCURSOR; a class cursor would replace it at once.
    wc.hCursor = nullptr;
}

void TQSColumnHeader::SetupWindow() {
    TControl::SetupWindow();
    PostMessage(WM_LAYOUT);
}

// ---- items and widths ----

void TQSColumnHeader::AddItem(TQSHdrItem* item) {
    Items.emplace_back(item);
}

bool TQSColumnHeader::InsertItem(TQSHdrItem* item, int index) {
    if (index < 0) return false;
    if (index > GetColumnCount()) index = GetColumnCount();
    Items.emplace(Items.begin() + index, item);
    if (GetHandle()) Invalidate(true);
    return true;
}

bool TQSColumnHeader::DeleteItem(int index) {
    if (index < 0 || index >= GetColumnCount()) return false;
    Items.erase(Items.begin() + index);
    if (PressedColumn >= GetColumnCount()) PressedColumn = -1;
    if (GetHandle()) Invalidate(true);
    return true;
}

TQSHdrItem* TQSColumnHeader::GetItem(int n) const {
    return n >= 0 && n < GetColumnCount() ? Items[static_cast<size_t>(n)].get() : nullptr;
}

const char* TQSColumnHeader::GetColumnText(int n) const {
    TQSHdrItem* item = GetItem(n);
    return item != nullptr ? item->pszText : nullptr;
}

int TQSColumnHeader::GetColumnWidth(int n) const {
    TQSHdrItem* item = GetItem(n);
    return item != nullptr ? item->cxy : 0;
}

int TQSColumnHeader::GetTotalWidth() const {
    int total = 0;
    for (const auto& item : Items)
        total += item->cxy;
    return total;
}

int TQSColumnHeader::ColumnLeft(int n) const {
    int x = 0;
    for (int i = 0; i < n && i < GetColumnCount(); ++i)
        x += Items[static_cast<size_t>(i)]->cxy;
    return x;
}

void TQSColumnHeader::SetColumnWidth(int n, int w) {
    TQSHdrItem* item = GetItem(n);
    if (item == nullptr) return;
    item->cxy = w;
    if (GetHandle()) Invalidate(true);
    if (ListBox != nullptr && ListBox->GetHandle()) {
        ListBox->SendMessage(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(GetTotalWidth()));
        ListBox->SyncHeaderScroll();
        ListBox->Invalidate(true);
    }
}

void TQSColumnHeader::ScrollColumns(int pos) {
    if (pos == ScrollOffset) return;
    int dx = ScrollOffset - pos;
    ScrollOffset = pos;
    if (!GetHandle()) return;
    ScrollWindow(dx, 0);
    UpdateWindow();
}

// ---- fonts and measures ----

int TQSColumnHeader::GetHeaderHeight() const {
    TScreenDC dc;
    dc.SelectObject(*HeaderFont);
    TEXTMETRICA tm{};
    dc.GetTextMetrics(tm);
    return tm.tmHeight + tm.tmExternalLeading + 4 * GetSystemMetrics(SM_CYBORDER);
}

int TQSColumnHeader::GetHeaderTextWidth(int n) const {
    TQSHdrItem* item = GetItem(n);
    if (item == nullptr) return 0;
    TScreenDC dc;
    dc.SelectObject(*HeaderFont);
    TEXTMETRICA tm{};
    dc.GetTextMetrics(tm);
    int a = tm.tmAveCharWidth;
    int w = 3 * a;
    bool bitmap = (item->fmt & HDF_BITMAP) != 0 && item->hbm != nullptr;
    bool text = (item->fmt & HDF_STRING) != 0 && item->pszText != nullptr;
    if (bitmap) w += TBitmap(item->hbm).Width();
    if (text) w += dc.GetTextExtent(item->pszText, item->cchTextMax).cx;
    if (bitmap && text) w += a;
    return w;
}

void TQSColumnHeader::SetFont(HFONT font) {
    HeaderFont = std::make_unique<TFont>(font);
    if (GetHandle()) Invalidate(true);
}

LRESULT TQSColumnHeader::EvGetFont(WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>(static_cast<HFONT>(*HeaderFont));
}

void TQSColumnHeader::EvSetFont(HFONT font, bool redraw) {
    DefaultProcessing();
    SetFont(font);
    if (redraw && GetColumnCount() > 0) Invalidate(true);
}

// ---- layout over the list ----

LRESULT TQSColumnHeader::EvLayout(WPARAM, LPARAM) {
    LayoutWithList();
    return 0;
}

void TQSColumnHeader::LayoutWithList() {
    if (ListBox == nullptr || !ListBox->GetHandle() || !GetHandle()) return;
    if (HasOption(OptionPlaceOverList)) {
        RECT l = ListBox->GetWindowRect();
        MapWindowPoints(nullptr, GetParentH(), reinterpret_cast<POINT*>(&l), 2);
        int h = GetHeaderHeight();
        ::SetWindowPos(GetHandle(), nullptr, l.left, l.top, l.right - l.left, h,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        int top = l.top + h + 1;
        ::SetWindowPos(ListBox->GetHandle(), nullptr, l.left, top, l.right - l.left,
                       std::max<int>(0, l.bottom - top), SWP_NOZORDER | SWP_NOACTIVATE);
        if (!HasOption(OptionKeepCaretRow)) {
            int caret = static_cast<int>(ListBox->SendMessage(LB_GETCARETINDEX));
            if (caret > 2) ListBox->SetTopIndex(caret - 2);
        }
    }
    ListBox->SendMessage(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(GetTotalWidth()));
}

// ---- hit test and notifications ----

int TQSColumnHeader::HitTest(HD_HITTESTINFO& info) const {
    const POINT& p = info.pt;
    TRect c = GetHandle() ? GetClientRect() : TRect(0, 0, Attr.W, Attr.H);
    info.iItem = -1;
    if (!c.Contains(TPoint(p.x, p.y))) {
        info.flags = 0;
        if (p.x < c.left)
            info.flags |= HHT_TOLEFT;
        else if (p.x >= c.right)
            info.flags |= HHT_TORIGHT;
        if (p.y < c.top)
            info.flags |= HHT_ABOVE;
        else if (p.y >= c.bottom)
            info.flags |= HHT_BELOW;
        return -1;
    }
    int d = GetSystemMetrics(SM_CXDOUBLECLK);
    int n = GetColumnCount();
    int right = -ScrollOffset;
    for (int i = 0; i < n; ++i) {
        int w = Items[static_cast<size_t>(i)]->cxy;
        right += w;
        if (i + 1 < n) {
            int nextRight = right + Items[static_cast<size_t>(i) + 1]->cxy;
            if (Items[static_cast<size_t>(i) + 1]->cxy < d && p.x >= nextRight && p.x < nextRight + d) {
                info.flags = HHT_ONDIVOPEN;
                info.iItem = i + 1;
                return info.iItem;
            }
        }
        if (p.x >= right - d && p.x < right + d) {
            info.flags = HHT_ONDIVIDER;
            info.iItem = i;
            return i;
        }
        if (p.x >= right - w && p.x < right - d) {
            info.flags = HHT_ONHEADER;
            info.iItem = i;
            return i;
        }
    }
    info.flags = HHT_NOWHERE;
    return -1;
}

LRESULT TQSColumnHeader::Notify(UINT code, int column) {
    HD_NOTIFYA nm{};
    nm.hdr.hwndFrom = GetHandle();
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetId());
    nm.hdr.code = code;
    nm.iItem = column;
    nm.iButton = (GetKeyState(VK_RBUTTON) < 0 ? 1 : 0) + (GetKeyState(VK_MBUTTON) < 0 ? 2 : 0);
    nm.pitem = GetItem(column);
    if (ListBox != nullptr) {
        LRESULT result = 0;
        if (ListBox->OnHeaderNotify(nm, result)) return result;
    }
    HWND parent = GetParentH();
    if (parent == nullptr) return 0;
    return ::SendMessageA(parent, WM_NOTIFY, static_cast<WPARAM>(GetId()), reinterpret_cast<LPARAM>(&nm));
}

// ---- mouse ----

bool TQSColumnHeader::EvSetCursor(HWND, UINT hitTest, UINT) {
    if (hitTest == HTCLIENT) {
        HD_HITTESTINFO info{};
        GetCursorPos(&info.pt);
        ::ScreenToClient(GetHandle(), &info.pt);
        HitTest(info);
        HINSTANCE module = GetModule() != nullptr ? GetModule()->GetInstance() : nullptr;
        if (info.flags == HHT_ONDIVOPEN)
            ::SetCursor(LoadCursorA(module, MAKEINTRESOURCEA(1012)));
        else if (info.flags == HHT_ONDIVIDER)
            ::SetCursor(LoadCursorA(module, MAKEINTRESOURCEA(1011)));
        else
            ::SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    }
    return DefaultProcessing() != 0;
}

void TQSColumnHeader::EvLButtonDown(UINT, const TPoint& p) {
    HD_HITTESTINFO info{};
    info.pt = p;
    int item = HitTest(info);
    if (item == -1) return;
    if (info.flags == HHT_ONHEADER) {
        if (!(GetStyle() & HDS_BUTTONS)) return;
        PressedColumn = DragColumn = item;
        Invalidate(false);
        DragState = DragPressing;
        SetCapture();
    } else if (info.flags == HHT_ONDIVIDER || info.flags == HHT_ONDIVOPEN) {
        if (Notify(HDN_BEGINTRACK, item) == 0) {
            BeginSizing(p, item);
            SetCapture();
        }
    }
}

void TQSColumnHeader::EvLButtonDblClk(UINT, const TPoint& p) {
    HD_HITTESTINFO info{};
    info.pt = p;
    int item = HitTest(info);
    if (item == -1) return;
    if (info.flags == HHT_ONHEADER) {
        if (GetStyle() & HDS_BUTTONS) Notify(HDN_ITEMDBLCLICK, item);
    } else if (info.flags == HHT_ONDIVIDER || info.flags == HHT_ONDIVOPEN) {
        Notify(HDN_DIVIDERDBLCLICK, item);
    }
}

void TQSColumnHeader::EvMouseMove(UINT, const TPoint& p) {
    if (DragState == DragPressing) {
        HD_HITTESTINFO info{};
        info.pt = p;
        int item = HitTest(info);
        if (item == DragColumn && PressedColumn != DragColumn) {
            PressedColumn = DragColumn;
            Invalidate(false);
        } else if (item != DragColumn && PressedColumn != -1) {
            PressedColumn = -1;
            Invalidate(false);
        }
    } else if (DragState == DragSizing) {
        if (Notify(HDN_TRACK, DragColumn) != 0)
            EndSizing();
        else
            TrackSizing(p);
    }
}

void TQSColumnHeader::EvLButtonUp(UINT, const TPoint&) {
    if (DragState == DragPressing) {
        ReleaseCapture();
        DragState = DragIdle;
        if (PressedColumn == DragColumn) {
            Notify(HDN_ITEMCLICK, DragColumn);
            PressedColumn = -1;
            Invalidate(false);
        }
    } else if (DragState == DragSizing) {
        EndSizing();
    }
}

void TQSColumnHeader::EvSetFocus(HWND) {
    if (ListBox != nullptr && ListBox->GetHandle())
        ListBox->SetFocus();
    else
        DefaultProcessing();
}

// ---- sizing a divider ----

void TQSColumnHeader::BeginSizing(const TPoint& p, int column) {
    DragState = DragSizing;
    DragStart = p;
    DragColumn = column;
    DragWidth = GetColumnWidth(column);
    DragColumnLeft = ColumnLeft(column) - ScrollOffset;
    DrawSizingLine(DragColumnLeft + DragWidth);
}

void TQSColumnHeader::TrackSizing(const TPoint& p) {
    DrawSizingLine(DragColumnLeft + DragWidth);
    DragWidth = std::max(0, GetColumnWidth(DragColumn) + p.x - DragStart.x);
    DrawSizingLine(DragColumnLeft + DragWidth);
}

void TQSColumnHeader::EndSizing() {
    ReleaseCapture();
    DragState = DragIdle;
    DrawSizingLine(DragColumnLeft + DragWidth);
    SetColumnWidth(DragColumn, DragWidth);
    Notify(HDN_ENDTRACK, DragColumn);
}

void TQSColumnHeader::DrawSizingLine(int x) {
    if (!GetHandle()) return;
    TClientDC dc(GetHandle());
    TRect c = GetClientRect();
    dc.SelectStockObject(WHITE_PEN);
    int oldRop = dc.SetROP2(R2_XORPEN);
    dc.MoveTo(x, c.top);
    dc.LineTo(x, c.bottom);
    dc.SetROP2(oldRop);
}

// ---- painting ----

void TQSColumnHeader::Paint(TDC& dc, bool, TRect& update) {
    dc.SetTextColor(TColor::System(COLOR_BTNTEXT));
    dc.SetBkColor(TColor::System(COLOR_BTNFACE));
    dc.SetBkMode(TRANSPARENT);
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    TRect client = GetClientRect();
    if (Items.empty()) {
        dc.FillRect(client, face);
        return;
    }
    dc.SelectObject(*HeaderFont);
    TEXTMETRICA tm{};
    dc.GetTextMetrics(tm);
    int a = tm.tmAveCharWidth;
    bool buttons = (GetStyle() & HDS_BUTTONS) != 0;
    int x = client.left - ScrollOffset;
    for (int i = 0; i < GetColumnCount(); ++i) {
        TQSHdrItem& item = *Items[static_cast<size_t>(i)];
        TRect r(x, client.top, x + item.cxy, client.bottom);
        x += item.cxy;
        if (item.cxy <= 0 || !r.Touches(update)) continue;
        int style = 1;
        if (buttons) {
            r.right -= 1;
            dc.MoveTo(r.right, r.top);
            dc.LineTo(r.right, r.bottom);
            style = i == PressedColumn ? 7 : 6;
        }
        EdgeBorder border(r, EdgeBorder::Style{style});
        border.Paint(dc);
        r = border.InnerRect();
        if (item.fmt & HDF_OWNERDRAW) {
            DRAWITEMSTRUCT dis{ODT_HEADER,
                               static_cast<UINT>(GetId()),
                               static_cast<UINT>(i),
                               ODA_DRAWENTIRE,
                               i == PressedColumn ? ODS_SELECTED : 0u,
                               GetHandle(),
                               dc,
                               r,
                               static_cast<DWORD_PTR>(item.lParam)};
            ::SendMessageA(GetParentH(), WM_DRAWITEM, static_cast<WPARAM>(GetId()),
                           reinterpret_cast<LPARAM>(&dis));
            continue;
        }
        dc.FillRect(r, face);
        bool hasBitmap = (item.fmt & HDF_BITMAP) && item.hbm != nullptr;
        bool hasText = (item.fmt & HDF_STRING) && item.pszText != nullptr;
        TSize bmp = hasBitmap ? TBitmap(item.hbm).Size() : TSize(0, 0);
        TSize text = hasText ? dc.GetTextExtent(item.pszText, item.cchTextMax) : TSize(0, 0);
        int contentWidth = bmp.cx + text.cx + (hasBitmap ? a : 0);
        int start;
        if (item.fmt & HDF_CENTER)
            start = r.left + (r.Width() - contentWidth) / 2;
        else if (item.fmt & HDF_RIGHT)
            start = r.right - (a + contentWidth);
        else
            start = r.left + a;
        if (hasBitmap) {
            TMemoryDC mem(dc);
            TBitmap bitmap(item.hbm);
            mem.SelectObject(bitmap);
            dc.BitBlt(TRect(start, r.top, start + bmp.cx, r.top + bmp.cy), mem, TPoint(0, 0), SRCCOPY);
            start += bmp.cx + a;
        }
        if (hasText)
            dc.DrawText(item.pszText, item.cchTextMax, TRect(start, r.top, start + text.cx, r.top + text.cy),
                        DT_NOPREFIX | DT_NOCLIP);
    }
    // The rest right of the last column looks like an empty caption; its right and bottom rings lie
    // outside the client area.
    TRect rest(x, client.top, client.right + 5, client.bottom + 5);
    if (!rest.IsEmpty() && rest.Touches(update)) {
        dc.FillRect(rest, face);
        EdgeBorder border(rest, EdgeBorder::Style{buttons ? 6 : 1});
        border.Paint(dc);
        dc.FillRect(border.InnerRect(), face);
    }
    dc.RestoreFont();
}
