#include "ui/controls.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/file_utils.h"
#include "core/text_utils.h"
#include "platform/framework/transfer_field.h"
#include "ui/message_box.h"
#include "ui/number_text.h"
#include "ui/ui_draw.h"

namespace {

using qsm::framework::ReadField;
using qsm::framework::WriteField;

// The window text, at most size - 1 characters of it.
std::string WindowText(HWND hwnd, int size) {
    std::string buf(static_cast<size_t>(size), '\0');
    int n = GetWindowTextA(hwnd, buf.data(), size);
    buf.resize(static_cast<size_t>(n > 0 ? n : 0));
    return buf;
}

}  // namespace

// ---- TQSRStatic ----

TQSRStatic::TQSRStatic(TWindow* parent, int id, const char* title, int x, int y, int w, int h, UINT textLimit,
                       TModule* module)
    : TStatic(parent, id, title, x, y, w, h, textLimit, module) {}

TQSRStatic::TQSRStatic(TWindow* parent, int resourceId, UINT textLimit, TModule* module)
    : TStatic(parent, resourceId, textLimit, module) {}

void TQSRStatic::SetInitialText(const char* text, int mode) {
    InitialText = text;
    TextMode = mode;
}

void TQSRStatic::EnableTextTransfer() {
    OwnTransfer = 1;
    EnableTransfer();
}

void TQSRStatic::Printf(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SetText(text);
}

void TQSRStatic::SetupWindow() {
    TStatic::SetupWindow();
    if (InitialText == nullptr) return;
    if (TextMode == 0) {
        SetText(InitialText);
    } else if (TextMode == 1) {
        char name[MAX_PATH];
        ComposePath(InitialText, name, 2);
        SetText(name);
    }
}

UINT TQSRStatic::Transfer(void* buffer, TTransferDirection direction) {
    if (!OwnTransfer) return TStatic::Transfer(buffer, direction);
    if (direction == tdSetData) {
        const char* text = ReadField<const char*>(buffer);
        SetText(text != nullptr ? text : "");
    }
    return sizeof(const char*);
}

// ---- TQSRMultiSelListBox ----

TQSRMultiSelListBox::TQSRMultiSelListBox(TWindow* parent, int id, int x, int y, int w, int h, TModule* module)
    : TListBox(parent, id, x, y, w, h, module) {
    Attr.Style = (Attr.Style | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT) &
                 ~static_cast<DWORD>(LBS_SORT);
}

TQSRMultiSelListBox::TQSRMultiSelListBox(TWindow* parent, int resourceId, TModule* module)
    : TListBox(parent, resourceId, module) {}

void TQSRMultiSelListBox::DrawItem(DRAWITEMSTRUCT& info) {
    TDC dc(info.hDC);
    TRect r(info.rcItem);
    bool focus = (info.itemState & ODS_FOCUS) != 0;
    // Item texts are at most 199 characters; longer ones are cut.
    std::string text;
    if (info.itemID != static_cast<UINT>(-1)) text = GetString(static_cast<int>(info.itemID)).substr(0, 199);
    if (text.empty()) {
        if (focus) dc.DrawFocusRect(r);
        return;
    }
    bool selected = SendMessage(LB_GETSEL, info.itemID) > 0;
    TColor oldBk = dc.GetBkColor(), oldText = dc.GetTextColor();

    // The box is square on the screen.
    int b = MulDiv(r.Height(), dc.GetDeviceCaps(LOGPIXELSX), dc.GetDeviceCaps(LOGPIXELSY));
    dc.FillRect(r, GetSysColorBrush(COLOR_WINDOW));
    TColor bk = GetSysColor(COLOR_WINDOW), fg = GetSysColor(COLOR_WINDOWTEXT);

    TRect box(r.left + 1, r.top + 1, r.left + b - 1, r.bottom - 1);
    DrawEdge3d(dc, box, 0x05, 0x0F);
    box = TRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
    DrawEdge3d(dc, box, 0x0A, 0x0F);
    if (selected) {
        int dx = MulDiv(box.Width() + 1, 2, 9), dy = MulDiv(box.Height() + 1, 2, 9);
        TRect in(box.left + dx, box.top + dy, box.right - dx, box.bottom - dy);
        TPen pen(fg, 2, PS_SOLID);
        dc.SelectObject(pen);
        dc.MoveTo(in.left, in.top);
        dc.LineTo(in.right, in.bottom);
        dc.MoveTo(in.left, in.bottom);
        dc.LineTo(in.right, in.top);
        dc.RestorePen();
    }

    TRect t = r;
    t.left = MulDiv(box.right, 5, 4);
    if (focus) {
        bk = GetSysColor(COLOR_HIGHLIGHT);
        fg = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    TBrush back(bk);
    dc.FillRect(t, back);
    dc.SetBkColor(bk);
    dc.SetTextColor(fg);
    dc.DrawText(text.c_str(), -1, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (focus) dc.DrawFocusRect(t);
    dc.SetBkColor(oldBk);
    dc.SetTextColor(oldText);
}

// ---- TQSRComboBox ----

TQSRComboBox::TQSRComboBox(TWindow* parent, int id, int x, int y, int w, int h, DWORD style, UINT textLimit,
                           TModule* module, const char* itemList)
    : TComboBox(parent, id, x, y, w, h, style, textLimit, module) {
    ItemList = itemList;
}

TQSRComboBox::TQSRComboBox(TWindow* parent, int resourceId, UINT textLimit, TModule* module,
                           const char* itemList)
    : TComboBox(parent, resourceId, textLimit, module) {
    ItemList = itemList;
    if (itemList != nullptr) ValueMode = IndexMode;
}

void TQSRComboBox::SetValueMode(const char* itemList) {
    ItemList = itemList;
    ValueMode = IndexMode;
}

void TQSRComboBox::SetRange(int min, int max) {
    ValueMode = RangeMode;
    MinValue = min;
    MaxValue = max;
}

void TQSRComboBox::FillRange(int from, int to, int step) {
    if (step < 1) return;
    for (int64_t v = from; v <= to; v += step)
        AddString(std::to_string(v).c_str());
}

int TQSRComboBox::GetIntValue() const {
    return qsm::ReadIntText(WindowText(Handle, 10).c_str());
}

bool TQSRComboBox::IsValueValid() const {
    std::string text = WindowText(Handle, 10);
    if (!IsNumberText(text.c_str(), false)) return false;
    int v = qsm::ReadIntText(text.c_str());
    return MinValue <= v && v <= MaxValue;
}

void TQSRComboBox::SetIntValue(int value) {
    std::string text = std::to_string(qsm::ClampInt(value, MinValue, MaxValue));
    int index = FindExactString(text.c_str());
    if (ValueMode == RangeMode && index < 0) {
        SetText(text.c_str());
        SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(0, 0xFFFF));
    } else {
        SetSelIndex(index);
    }
}

void TQSRComboBox::SetupWindow() {
    TComboBox::SetupWindow();
    SetExtendedUI(true);
    if (ItemList == nullptr) return;
    ClearList();
    for (const char* p = ItemList; *p; p += std::strlen(p) + 1)
        AddString(p);
}

UINT TQSRComboBox::Transfer(void* buffer, TTransferDirection direction) {
    if (ValueMode == IndexMode) {
        if (direction == tdGetData) {
            // With nothing selected the value stays as it was.
            int index = GetSelIndex();
            if (index >= 0) WriteField<int32_t>(buffer, index);
        } else if (direction == tdSetData) {
            SetSelIndex(ReadField<int32_t>(buffer));
        }
        return sizeof(int32_t);
    }
    if (ValueMode == RangeMode) {
        if (direction == tdGetData)
            WriteField<int32_t>(buffer, GetIntValue());
        else if (direction == tdSetData)
            SetIntValue(ReadField<int32_t>(buffer));
        return sizeof(int32_t);
    }
    return TComboBox::Transfer(buffer, direction);
}

bool TQSRComboBox::CanClose() {
    if (ValueMode != RangeMode || IsValueValid()) return TComboBox::CanClose();
    FindMessageBoxOwner(this)->MessageBox("Value is out of range", Title.empty() ? nullptr : Title.c_str(),
                                          MB_ICONEXCLAMATION | MB_OK);
    SetFocus();
    return false;
}

// ---- TQSREdit ----

TQSREdit::TQSREdit(TWindow* parent, int id, const char* text, int x, int y, int w, int h, UINT textLimit,
                   bool multiline, TModule* module)
    : TEdit(parent, id, text, x, y, w, h, textLimit, multiline, module) {}

TQSREdit::TQSREdit(TWindow* parent, int resourceId, UINT textLimit, TModule* module)
    : TEdit(parent, resourceId, textLimit, module) {}

char* TQSREdit::GetText(char* buffer, int size) const {
    if (buffer == nullptr || size < 1) return buffer;
    std::memset(buffer, 0, static_cast<size_t>(size));
    GetWindowTextA(Handle, buffer, size);
    return buffer;
}

void TQSREdit::Printf(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SetText(text);
}

void TQSREdit::SetupWindow() {
    TEdit::SetupWindow();
    if (HasOption(FixedFont))
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), FALSE);
}

LRESULT TQSREdit::EvGetDlgCode(const MSG*) {
    LRESULT code = DefaultProcessing();
    if (HasOption(NoSelectAll)) code &= ~static_cast<LRESULT>(DLGC_HASSETSEL);
    return code;
}

DEFINE_RESPONSE_TABLE1(TQSREdit, TEdit)
EV_WM_GETDLGCODE, END_RESPONSE_TABLE;
