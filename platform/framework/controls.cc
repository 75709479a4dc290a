#include "platform/framework/controls.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/framework/transfer_field.h"

// ---- controls ----

TControl::TControl(TWindow* parent, int id, const char* title, int x, int y, int w, int h, TModule* module) {
    Init(parent, title, module);
    InitControl(id, x, y, w, h);
}

TControl::TControl(TWindow* parent, int resourceId, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
}

void TControl::InitControl(int id, int x, int y, int w, int h) {
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP;
    Attr.Id = id;
    Attr.X = x;
    Attr.Y = y;
    Attr.W = w;
    Attr.H = h;
}

void TControl::InitFromResource(int resourceId) {
    Attr.Id = resourceId;
    FromResource = true;
    DisableAutoCreate();
    EnableTransfer();
}

void TControl::DrawItem(DRAWITEMSTRUCT&) {}

void TControl::SetupWindow() {
    TWindow::SetupWindow();
}

namespace {

UINT TransferText(TWindow& w, void* buffer, TTransferDirection direction, UINT limit) {
    if (limit == 0) return 0;
    char* p = static_cast<char*>(buffer);
    if (direction == tdGetData) {
        std::string text = w.GetCaption();
        size_t n = std::min<size_t>(text.size(), limit - 1);
        memcpy(p, text.data(), n);
        p[n] = 0;
    } else if (direction == tdSetData) {
        std::string text(p, strnlen(p, limit));
        w.SetCaption(text.c_str());
    }
    return limit;
}

using qsm::framework::ReadField;
using qsm::framework::WriteField;

}  // namespace

TStatic::TStatic(TWindow* parent, int id, const char* title, int x, int y, int w, int h, UINT textLimit,
                 TModule* module) {
    Init(parent, title, module);
    InitControl(id, x, y, w, h);
    Attr.Style = (Attr.Style & ~WS_TABSTOP) | SS_LEFT;
    TextLimit = textLimit;
}

TStatic::TStatic(TWindow* parent, int resourceId, UINT textLimit, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
    TextLimit = textLimit;
    if (textLimit == 0) DisableTransfer();
}

UINT TStatic::Transfer(void* buffer, TTransferDirection direction) {
    return TransferText(*this, buffer, direction, TextLimit);
}

TButton::TButton(TWindow* parent, int id, const char* text, int x, int y, int w, int h, bool isDefault,
                 TModule* module) {
    Init(parent, text, module);
    InitControl(id, x, y, w, h);
    Attr.Style |= isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

TButton::TButton(TWindow* parent, int resourceId, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
    DisableTransfer();
}

TCheckBox::TCheckBox(TWindow* parent, int id, const char* title, int x, int y, int w, int h,
                     TModule* module) {
    Init(parent, title, module);
    InitControl(id, x, y, w, h);
    Attr.Style |= BS_AUTOCHECKBOX;
}

TCheckBox::TCheckBox(TWindow* parent, int resourceId, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
}

UINT TCheckBox::Transfer(void* buffer, TTransferDirection direction) {
    if (direction == tdGetData)
        WriteField<WORD>(buffer, static_cast<WORD>(GetCheck()));
    else if (direction == tdSetData)
        SetCheck(ReadField<WORD>(buffer));
    return sizeof(WORD);
}

TRadioButton::TRadioButton(TWindow* parent, int id, const char* title, int x, int y, int w, int h,
                           TModule* module) {
    Init(parent, title, module);
    InitControl(id, x, y, w, h);
    Attr.Style |= BS_AUTORADIOBUTTON;
}

TRadioButton::TRadioButton(TWindow* parent, int resourceId, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
}

TGroupBox::TGroupBox(TWindow* parent, int id, const char* text, int x, int y, int w, int h, TModule* module) {
    Init(parent, text, module);
    InitControl(id, x, y, w, h);
    Attr.Style = (Attr.Style & ~WS_TABSTOP) | BS_GROUPBOX;
}

TGroupBox::TGroupBox(TWindow* parent, int resourceId, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
    DisableTransfer();
}

TEdit::TEdit(TWindow* parent, int id, const char* text, int x, int y, int w, int h, UINT textLimit,
             bool multiline, TModule* module) {
    Init(parent, text, module);
    InitControl(id, x, y, w, h);
    Attr.Style |= WS_BORDER | ES_LEFT | ES_AUTOHSCROLL;
    if (multiline) Attr.Style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
    TextLimit = textLimit;
}

TEdit::TEdit(TWindow* parent, int resourceId, UINT textLimit, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
    TextLimit = textLimit;
    if (textLimit == 0) DisableTransfer();
}

void TEdit::SetupWindow() {
    TStatic::SetupWindow();
    if (TextLimit > 0) LimitText(TextLimit - 1);
}

void TEdit::LimitText(UINT limit) {
    SendMessage(EM_LIMITTEXT, limit);
}

void TEdit::GetSelection(int& start, int& end) const {
    DWORD s = 0, e = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
    start = static_cast<int>(s);
    end = static_cast<int>(e);
}

TListBox::TListBox(TWindow* parent, int id, int x, int y, int w, int h, TModule* module) {
    Init(parent, nullptr, module);
    InitControl(id, x, y, w, h);
    Attr.Style |= LBS_STANDARD;
}

TListBox::TListBox(TWindow* parent, int resourceId, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
}

UINT TListBox::Transfer(void* buffer, TTransferDirection direction) {
    if (direction == tdGetData)
        WriteField<int32_t>(buffer, GetSelIndex());
    else if (direction == tdSetData)
        SetSelIndex(ReadField<int32_t>(buffer));
    return sizeof(int32_t);
}

std::string TListBox::GetString(int index) const {
    int n = GetStringLen(index);
    if (n < 0) return {};
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
    return buf.data();
}

TComboBox::TComboBox(TWindow* parent, int id, int x, int y, int w, int h, DWORD style, UINT textLimit,
                     TModule* module) {
    Init(parent, nullptr, module);
    InitControl(id, x, y, w, h);
    Attr.Style |= style | WS_VSCROLL | CBS_AUTOHSCROLL;
    TextLimit = textLimit;
}

TComboBox::TComboBox(TWindow* parent, int resourceId, UINT textLimit, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
    TextLimit = textLimit;
}

void TComboBox::SetupWindow() {
    TControl::SetupWindow();
    if (TextLimit > 0) SendMessage(CB_LIMITTEXT, TextLimit - 1);
}

UINT TComboBox::Transfer(void* buffer, TTransferDirection direction) {
    if (direction == tdGetData)
        WriteField<int32_t>(buffer, GetSelIndex());
    else if (direction == tdSetData)
        SetSelIndex(ReadField<int32_t>(buffer));
    return sizeof(int32_t);
}

std::string TComboBox::GetString(int index) const {
    int n = static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
    if (n < 0) return {};
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
    return buf.data();
}

TScrollBar::TScrollBar(TWindow* parent, int id, int x, int y, int w, int h, bool isHScrollBar,
                       TModule* module) {
    Init(parent, nullptr, module);
    InitControl(id, x, y, w, h);
    Attr.Style = (Attr.Style & ~WS_TABSTOP) | (isHScrollBar ? SBS_HORZ : SBS_VERT);
}

TScrollBar::TScrollBar(TWindow* parent, int resourceId, TModule* module) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
}

void TScrollBar::SetupWindow() {
    TControl::SetupWindow();
    SetRange(0, 100);
}

void TScrollBar::GetRange(int& low, int& high) const {
    ::GetScrollRange(Handle, SB_CTL, &low, &high);
}

void TScrollBar::SetRange(int low, int high, bool redraw) {
    ::SetScrollRange(Handle, SB_CTL, low, high, redraw);
}

int TScrollBar::GetPosition() const {
    return ::GetScrollPos(Handle, SB_CTL);
}

void TScrollBar::SetPosition(int pos, bool redraw) {
    int low = 0, high = 0;
    GetRange(low, high);
    pos = std::clamp(pos, low, std::max(low, high));
    if (pos != GetPosition()) ::SetScrollPos(Handle, SB_CTL, pos, redraw);
}

int TScrollBar::DeltaPos(int delta) {
    SetPosition(GetPosition() + delta);
    return GetPosition();
}

UINT TScrollBar::Transfer(void* buffer, TTransferDirection direction) {
    TScrollBarData d{};
    if (direction == tdGetData) {
        int low = 0, high = 0;
        GetRange(low, high);
        d = {low, high, GetPosition()};
        memcpy(buffer, &d, sizeof d);
    } else if (direction == tdSetData) {
        memcpy(&d, buffer, sizeof d);
        SetRange(d.LowValue, d.HighValue);
        SetPosition(d.Position);
    }
    return sizeof d;
}

// ---- dialogs ----

TDialog::TDialog(TWindow* parent, const char* resId, TModule* module) {
    Init(parent, nullptr, module);
    InitDialog(resId);
}

TDialog::TDialog(TWindow* parent, int resId, TModule* module) {
    Init(parent, nullptr, module);
    InitDialog(MAKEINTRESOURCEA(resId));
}

TDialog::~TDialog() {
    if (Handle && Modal) EndDialog(Handle, IDCANCEL);
}

void TDialog::InitDialog(const char* resId) {
    if (IS_INTRESOURCE(resId))
        ResNumber = static_cast<int>(reinterpret_cast<uintptr_t>(resId));
    else
        ResName = resId ? resId : "";
    Attr.Style = WS_POPUP;
    DisableAutoCreate();
}

const char* TDialog::ResourceName() const {
    return ResNumber >= 0 ? MAKEINTRESOURCEA(ResNumber) : ResName.c_str();
}

void TDialog::BindControls() {
    for (TWindow* c : Children) {
        if (!c->FromResource || c->Handle) continue;
        HWND h = GetDlgItem(Handle, c->Attr.Id);
        if (!h) continue;
        c->Attach(h);
        // A control of a class of the library heard the dialog's font before it had an object: it hears
        // it again now.
        if (!c->DefaultProc)
            if (LRESULT font = SendMessage(WM_GETFONT))
                ::SendMessageA(h, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    }
}

INT_PTR TDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* d = dynamic_cast<TDialog*>(TWindow::FromHandle(hwnd));
    if (!d && msg == WM_INITDIALOG) {
        d = reinterpret_cast<TDialog*>(lp);
        d->Bind(hwnd);
    }
    if (!d) return FALSE;
    if (msg == WM_INITDIALOG) {
        d->BindControls();
        for (TWindow* c : d->Children)
            if (c->FromResource && c->Handle) c->PerformSetupAndTransfer();
        d->PerformSetupAndTransfer();
        return d->EvInitDialog(reinterpret_cast<HWND>(wp)) ? TRUE : FALSE;
    }
    if (msg == WM_NCDESTROY) {
        d->Unbind();
        d->SetupDone = false;
        return FALSE;
    }
    bool savedDefault = d->DefaultCalled;
    d->DefaultCalled = false;
    LRESULT r = d->WindowProc(msg, wp, lp);
    bool wantsDefault = d->DefaultCalled;
    d->DefaultCalled = savedDefault;
    if (wantsDefault) return FALSE;
    switch (msg) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return r;
        default:
            break;
    }
    if (TWindow::FromHandle(hwnd) == d) SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, r);
    return TRUE;
}

LRESULT TDialog::DefWindowProcFor(UINT, WPARAM, LPARAM) {
    DefaultCalled = true;
    return 0;
}

int TDialog::Execute() {
    if (Handle) return -1;
    for (TWindow* c : Children)
        if (c->FromResource) c->Register();
    Modal = true;
    INT_PTR r = DialogBoxParamA(Module->GetInstance(), ResourceName(), Parent ? Parent->GetHandle() : nullptr,
                                DialogProc, reinterpret_cast<LPARAM>(this));
    Modal = false;
    return static_cast<int>(r);
}

bool TDialog::Create() {
    if (Handle) return true;
    for (TWindow* c : Children)
        if (c->FromResource) c->Register();
    Modal = false;
    HWND h = CreateDialogParamA(Module->GetInstance(), ResourceName(), Parent ? Parent->GetHandle() : nullptr,
                                DialogProc, reinterpret_cast<LPARAM>(this));
    return h != nullptr;
}

bool TDialog::EvInitDialog(HWND) {
    return true;
}

void TDialog::Destroy(int retVal) {
    if (!Handle) return;
    if (Modal) {
        for (TWindow* c : Children)
            if (c->Handle) c->CleanupWindow();
        CleanupWindow();
        EndDialog(Handle, retVal);
        return;
    }
    TWindow::Destroy(retVal);
}

void TDialog::CloseWindow(int retVal) {
    if (!CanClose()) return;
    TransferData(tdGetData);
    Destroy(retVal);
}

bool TDialog::PreProcessMsg(MSG& msg) {
    if (TWindow::PreProcessMsg(msg)) return true;
    return !Modal && Handle && IsDialogMessageA(Handle, &msg);
}

void TDialog::CmOk() {
    CloseWindow(IDOK);
}
void TDialog::CmCancel() {
    Destroy(IDCANCEL);
}
void TDialog::EvClose() {
    CmCancel();
}

DEFINE_RESPONSE_TABLE1(TDialog, TWindow)
EV_COMMAND(IDOK, CmOk), EV_COMMAND(IDCANCEL, CmCancel), EV_WM_CLOSE, END_RESPONSE_TABLE;

// ---- menus ----

TMenu::TMenu() : Handle(CreateMenu()), Owned(true) {}
TMenu::TMenu(const TModule& module, const char* resId) : Handle(module.LoadMenu(resId)), Owned(true) {}
TMenu::~TMenu() {
    if (Owned && Handle && ::IsMenu(Handle)) DestroyMenu(Handle);
}

std::string TMenu::GetMenuString(UINT item, UINT flags) const {
    char buf[256] = {};
    int n = GetMenuStringA(Handle, item, buf, sizeof buf, flags);
    return std::string(buf, static_cast<size_t>(std::max(n, 0)));
}

void TMenu::MergeItems(HMENU source) {
    int n = ::GetMenuItemCount(source);
    for (int i = 0; i < n; ++i) {
        UINT state = ::GetMenuState(source, static_cast<UINT>(i), MF_BYPOSITION);
        char text[256] = {};
        GetMenuStringA(source, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        if (state & MF_SEPARATOR) {
            AppendMenu(MF_SEPARATOR);
        } else if (HMENU sub = ::GetSubMenu(source, i)) {
            HMENU copy = CreatePopupMenu();
            TMenu c(copy, false);
            c.MergeItems(sub);
            AppendMenu(MF_POPUP | (state & (MF_GRAYED | MF_DISABLED)), reinterpret_cast<UINT_PTR>(copy),
                       text);
        } else {
            AppendMenu(
                MF_STRING | (state & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_MENUBARBREAK | MF_MENUBREAK)),
                ::GetMenuItemID(source, i), text);
        }
    }
}

TPopupMenu::TPopupMenu() : TMenu(CreatePopupMenu(), true) {}
