#include "ui/column_list.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "ui/ui_draw.h"

const char* qsm::SplitColumnCell(const char* row, int column, char* buffer, int size) {
    if (buffer == nullptr || size <= 0) return "";
    std::memset(buffer, 0, static_cast<size_t>(size));
    if (row == nullptr) return buffer;
    size_t len = std::min(std::strlen(row), static_cast<size_t>(size - 1));
    std::memcpy(buffer, row, len);
    for (size_t i = 0; i < len; ++i)
        if (buffer[i] == '\t') buffer[i] = '\0';
    size_t at = 0;
    for (int piece = 0; piece < column; ++piece) {
        while (at < len && buffer[at] != '\0')
            ++at;
        if (at >= len) return buffer + len;  // the terminator: an empty cell
        ++at;
    }
    return buffer + at;
}

DEFINE_RESPONSE_TABLE1(TQSColumnListBox, TListBox)
EV_WM_HSCROLL, EV_WM_SIZE, END_RESPONSE_TABLE;

TQSColumnListBox::TQSColumnListBox(TQSColumnHeader* header, int resourceId, TModule* module)
    : TListBox(header->GetParentO(), resourceId, module),
      CellBuffer(std::make_unique<char[]>(CellBufferSize)) {
    Bind(header);
}

TQSColumnListBox::TQSColumnListBox(TQSColumnHeader* header, int id, int x, int y, int w, int h,
                                   TModule* module)
    : TListBox(header->GetParentO(), id, x, y, w, h, module),
      CellBuffer(std::make_unique<char[]>(CellBufferSize)) {
    Attr.Style |= 0x00B30161u;
    Attr.Style &= ~LBS_SORT;
    Bind(header);
}

void TQSColumnListBox::Bind(TQSColumnHeader* header) {
    Header = header;
    if (header != nullptr) header->ListBox = this;
}

TQSColumnListBox::~TQSColumnListBox() {
    if (Header != nullptr && Header->ListBox == this) Header->ListBox = nullptr;
}

void TQSColumnListBox::SetupWindow() {
    TListBox::SetupWindow();
    if (InitialItems == nullptr) return;
    ClearList();
    for (const char* p = InitialItems; *p != '\0'; p += std::strlen(p) + 1)
        AddString(p);
}

void TQSColumnListBox::SetGridLines(bool on) {
    if ((GridLines != 0) == on) return;
    GridLines = on ? 1 : 0;
    if (GetHandle()) Invalidate(true);
}

void TQSColumnListBox::SetRowSelected(int row, int selected) {
    bool now = SendMessage(LB_GETSEL, static_cast<WPARAM>(row)) > 0;
    if (now != (selected != 0)) SendMessage(LB_SETSEL, selected != 0 ? TRUE : FALSE, row);
}

bool TQSColumnListBox::HasSelection() const {
    for (int i = GetCount() - 1; i >= 0; --i)
        if (SendMessage(LB_GETSEL, static_cast<WPARAM>(i)) > 0) return true;
    return false;
}

bool TQSColumnListBox::HasStrings() const {
    DWORD style = GetHandle() ? GetStyle() : Attr.Style;
    return (style & LBS_HASSTRINGS) != 0;
}

void TQSColumnListBox::SyncHeaderScroll() {
    if (Header != nullptr) Header->ScrollColumns(GetScrollPos(SB_HORZ));
}

void TQSColumnListBox::EvHScroll(UINT, UINT, HWND) {
    DefaultProcessing();
    SyncHeaderScroll();
}

void TQSColumnListBox::EvSize(UINT, const TSize&) {
    DefaultProcessing();
    SyncHeaderScroll();
    Invalidate(true);
}

// ---- cells ----

void TQSColumnListBox::GetColumnText(DWORD_PTR itemData, int row, int column, char* buffer, int size) {
    TQSColumnTextRequest request{itemData, row, column, buffer, size};
    buffer[0] = '\0';
    HWND parent = GetParentH();
    if (parent == nullptr) return;
    ::SendMessageA(parent, RegisterWindowMessageA("QSSW_GETCOLTEXT"), reinterpret_cast<WPARAM>(GetHandle()),
                   reinterpret_cast<LPARAM>(&request));
}

const char* TQSColumnListBox::CellText(int row, int column) {
    char* buffer = CellBuffer.get();
    if (HasStrings()) return qsm::SplitColumnCell(GetString(row).c_str(), column, buffer, CellBufferSize);
    GetColumnText(static_cast<DWORD_PTR>(GetItemData(row)), row, column, buffer, CellBufferSize);
    // An owner that fills the whole buffer still leaves a terminated text.
    buffer[CellBufferSize - 1] = '\0';
    return buffer;
}

HFONT TQSColumnListBox::ListFont() const {
    auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    return font != nullptr ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

// ---- drawing ----

void TQSColumnListBox::DrawItem(DRAWITEMSTRUCT& info) {
    TDC dc(info.hDC);
    TRect r(info.rcItem);
    if (GridLines) r.right = static_cast<int>(SendMessage(LB_GETHORIZONTALEXTENT));
    if (info.itemAction == ODA_FOCUS) {
        dc.DrawFocusRect(r);
        return;
    }
    if (info.itemID == static_cast<UINT>(-1)) {
        if ((info.itemState & ODS_FOCUS) && info.itemAction != ODA_SELECT) dc.DrawFocusRect(r);
        return;
    }
    TFont font(ListFont());
    dc.SelectObject(font);
    TEXTMETRICA tm{};
    dc.GetTextMetrics(tm);
    int a = tm.tmAveCharWidth;
    TColor oldBk = dc.GetBkColor(), oldText = dc.GetTextColor();
    bool selected = (info.itemState & ODS_SELECTED) != 0;
    TColor bk = TColor::System(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    dc.SetBkColor(bk);
    dc.SetTextColor(TColor::System(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    dc.FillRect(r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    int row = static_cast<int>(info.itemID);
    int columns = Header != nullptr ? Header->GetColumnCount() : 0;
    int x = 0;
    for (int i = 0; i < columns; ++i) {
        int w = Header->GetColumnWidth(i);
        TRect cell(x + a, r.top, x + w, r.bottom);
        int room = w - 2 * a;
        x += w;
        if (w < 2) continue;
        const char* text = CellText(row, i);
        if (*text != '\0' && room > 0) {
            // FitTextToWidth cuts in place: the cell's text lies in the list's own buffer.
            char* cut = CellBuffer.get() + (text - CellBuffer.get());
            FitTextToWidth(dc, cut, room);
            dc.DrawText(cut, -1, TRect(cell.left, r.top, cell.left + room, r.bottom),
                        DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
        if (GridLines) {
            dc.SelectStockObject(WHITE_PEN);
            int rop = dc.SetROP2(R2_XORPEN);
            dc.MoveTo(cell.right - 3, cell.top);
            dc.LineTo(cell.right - 3, cell.bottom);
            dc.SetROP2(rop);
            dc.RestorePen();
        }
    }
    if (GridLines && row == GetCount() - 1)
        dc.FillRect(TRect(0, r.bottom - 1, x, r.bottom + 1), GetSysColorBrush(COLOR_WINDOWTEXT));
    dc.SetBkColor(oldBk);
    dc.SetTextColor(oldText);
    if (info.itemState & ODS_FOCUS) dc.DrawFocusRect(r);
    dc.RestoreFont();
}

// ---- sizing columns to their contents ----

int TQSColumnListBox::GetWidestCell(int column) {
    TScreenDC dc;
    TFont font(ListFont());
    dc.SelectObject(font);
    TEXTMETRICA tm{};
    dc.GetTextMetrics(tm);
    int widest = 0;
    for (int row = GetCount() - 1; row >= 0; --row) {
        const char* text = CellText(row, column);
        if (*text != '\0') widest = std::max(widest, static_cast<int>(dc.GetTextExtent(text).cx));
    }
    return widest + 2 * tm.tmAveCharWidth;
}

void TQSColumnListBox::AutoSizeColumn(int column, int mode) {
    if (Header == nullptr || Header->GetItem(column) == nullptr) return;
    int hw = Header->GetHeaderTextWidth(column);
    if (mode == 0) {
        Header->SetColumnWidth(column, hw);
        return;
    }
    int c = GetWidestCell(column);
    if (mode == 2 && c < hw) c = hw;
    Header->SetColumnWidth(column, c);
}

void TQSColumnListBox::AutoSizeColumns(int mode) {
    if (Header == nullptr) return;
    for (int i = 0; i < Header->GetColumnCount(); ++i)
        AutoSizeColumn(i, mode);
}

bool TQSColumnListBox::OnHeaderNotify(HD_NOTIFYA& info, LRESULT& result) {
    result = 0;
    if (info.hdr.code != HDN_DIVIDERDBLCLICK || Header == nullptr || Header->GetItem(info.iItem) == nullptr)
        return false;
    int cur = Header->GetColumnWidth(info.iItem);
    int hw = Header->GetHeaderTextWidth(info.iItem);
    int best = std::max(hw, GetWidestCell(info.iItem));
    Header->SetColumnWidth(info.iItem, best > cur ? best : hw);
    return true;
}
