// The combo box: a selection field (an edit for the drop-down and simple kinds) over a list that drops
// down in a popup window or stays open below.
#include <algorithm>
#include <cstring>

#include "platform/wm/control_util.h"

namespace qsm::wm {
namespace {

constexpr int kEditId = 1001;
constexpr int kListId = 1000;

struct ComboState {
    HWND edit = nullptr;
    HWND list = nullptr;
    bool dropped = false;
    int drop_height = 0;
    bool extended_ui = false;
    bool focus = false;
    int sel_before_drop = -1;
    HFONT font = nullptr;
};

DWORD Kind(HWND h) {
    return StyleOf(h) & 3u;
}

int ButtonWidth() {
    return GetSystemMetrics(SM_CXVSCROLL);
}

int FieldHeight(HWND list) {
    int ih = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    return ih + 6;
}

void NotifyCb(HWND h, WORD code) {
    Notify(h, code);
}

std::string ItemText(HWND list, int i) {
    int n = static_cast<int>(SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0));
    if (n < 0) return {};
    std::string s(static_cast<size_t>(n) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(n));
    return s;
}

void ShowSelection(HWND h, ComboState& st) {
    int i = static_cast<int>(SendMessageA(st.list, LB_GETCURSEL, 0, 0));
    if (st.edit != nullptr) {
        std::string t = i >= 0 ? ItemText(st.list, i) : std::string();
        SetWindowTextA(st.edit, t.c_str());
        if (GetFocus() == st.edit) SendMessageA(st.edit, EM_SETSEL, 0, -1);
    }
    InvalidateRect(h, nullptr, FALSE);
}

void CloseUp(HWND h, ComboState& st, bool accept) {
    if (!st.dropped) return;
    st.dropped = false;
    ShowWindow(st.list, SW_HIDE);
    if (GetCapture() == h) ReleaseCapture();
    int now = static_cast<int>(SendMessageA(st.list, LB_GETCURSEL, 0, 0));
    if (!accept) {
        SendMessageA(st.list, LB_SETCURSEL, static_cast<WPARAM>(st.sel_before_drop), 0);
        NotifyCb(h, CBN_SELENDCANCEL);
    } else {
        if (now != st.sel_before_drop) {
            ShowSelection(h, st);
            NotifyCb(h, CBN_SELCHANGE);
        }
        NotifyCb(h, CBN_SELENDOK);
    }
    InvalidateRect(h, nullptr, FALSE);
    NotifyCb(h, CBN_CLOSEUP);
}

void DropDown(HWND h, ComboState& st) {
    if (st.dropped || Kind(h) == CBS_SIMPLE) return;
    NotifyCb(h, CBN_DROPDOWN);
    if (!IsWindow(h)) return;
    RECT r;
    GetWindowRect(h, &r);
    int count = static_cast<int>(SendMessageA(st.list, LB_GETCOUNT, 0, 0));
    int ih = static_cast<int>(SendMessageA(st.list, LB_GETITEMHEIGHT, 0, 0));
    int field = r.bottom - r.top;
    int height = std::max(ih + 2, st.drop_height - field);
    if (!(StyleOf(h) & CBS_NOINTEGRALHEIGHT)) height = std::min(height, std::max(1, count) * ih + 2);
    st.sel_before_drop = static_cast<int>(SendMessageA(st.list, LB_GETCURSEL, 0, 0));
    SetWindowPos(st.list, HWND_TOPMOST, r.left, r.bottom, r.right - r.left, height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (st.sel_before_drop >= 0)
        SendMessageA(st.list, LB_SETTOPINDEX, static_cast<WPARAM>(st.sel_before_drop), 0);
    st.dropped = true;
    SetCapture(h);
    InvalidateRect(h, nullptr, FALSE);
}

void Step(HWND h, ComboState& st, int delta, bool absolute) {
    int count = static_cast<int>(SendMessageA(st.list, LB_GETCOUNT, 0, 0));
    if (count == 0) return;
    int cur = static_cast<int>(SendMessageA(st.list, LB_GETCURSEL, 0, 0));
    int next = absolute ? delta : (cur < 0 ? 0 : cur + delta);
    next = std::clamp(next, 0, count - 1);
    if (next == cur) return;
    SendMessageA(st.list, LB_SETCURSEL, static_cast<WPARAM>(next), 0);
    if (!st.dropped) {
        ShowSelection(h, st);
        NotifyCb(h, CBN_SELCHANGE);
    }
}

// Keys that the combo box takes from its edit field.
LRESULT ComboEditProc(HWND e, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto old = reinterpret_cast<WNDPROC>(GetPropA(e, "qsm.editproc"));
    HWND combo = GetParent(e);
    if (combo != nullptr && msg == WM_KEYDOWN &&
        (wparam == VK_UP || wparam == VK_DOWN || wparam == VK_F4 || wparam == VK_PRIOR || wparam == VK_NEXT ||
         ((wparam == VK_RETURN || wparam == VK_ESCAPE) && SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0)))) {
        return SendMessageA(combo, msg, wparam, lparam);
    }
    if (combo != nullptr && msg == WM_SYSKEYDOWN && (wparam == VK_DOWN || wparam == VK_UP))
        return SendMessageA(combo, msg, wparam, lparam);
    if (combo != nullptr && msg == WM_GETDLGCODE) {
        LRESULT code = CallWindowProcA(old, e, msg, wparam, lparam);
        if (SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0)) code |= DLGC_WANTALLKEYS;
        return code;
    }
    return CallWindowProcA(old, e, msg, wparam, lparam);
}

void Paint(HWND h, ComboState& st, HDC dc) {
    RECT r = ClientRectOf(h);
    DWORD kind = Kind(h);
    if (kind == CBS_SIMPLE) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    RECT e = r;
    DrawEdge(dc, &e, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    HBRUSH brush = ControlColor(h, dc, kind == CBS_DROPDOWNLIST ? WM_CTLCOLORLISTBOX : WM_CTLCOLOREDIT);
    RECT button{e.right - ButtonWidth(), e.top, e.right, e.bottom};
    RECT field{e.left, e.top, button.left, e.bottom};
    FillRect(dc, &field, IsWindowEnabled(h) ? brush : GetSysColorBrush(COLOR_BTNFACE));
    DrawFrameControl(dc, &button, DFC_SCROLL,
                     DFCS_SCROLLCOMBOBOX | (st.dropped ? DFCS_PUSHED | DFCS_FLAT : 0) |
                         (IsWindowEnabled(h) ? 0 : DFCS_INACTIVE));
    if (kind != CBS_DROPDOWNLIST) return;
    int i = static_cast<int>(SendMessageA(st.list, LB_GETCURSEL, 0, 0));
    RECT t = field;
    InflateRect(&t, -1, -1);
    DWORD style = StyleOf(h);
    if (style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) {
        DRAWITEMSTRUCT dis{
            ODT_COMBOBOX,
            static_cast<UINT>(GetDlgCtrlID(h)),
            static_cast<UINT>(i),
            ODA_DRAWENTIRE,
            (st.focus && !st.dropped ? ODS_SELECTED | ODS_FOCUS : 0u) |
                (IsWindowEnabled(h) ? 0u : ODS_DISABLED),
            h,
            dc,
            t,
            i >= 0 ? static_cast<DWORD_PTR>(SendMessageA(st.list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0))
                   : 0};
        SendMessageA(GetParent(h), WM_DRAWITEM, static_cast<WPARAM>(GetDlgCtrlID(h)),
                     reinterpret_cast<LPARAM>(&dis));
        return;
    }
    HGDIOBJ old = SelectObject(dc, FontOr(st.font));
    SetBkMode(dc, TRANSPARENT);
    if (st.focus && !st.dropped) {
        FillRect(dc, &t, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else if (!IsWindowEnabled(h)) {
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    }
    if (i >= 0) {
        std::string s = ItemText(st.list, i);
        RECT tt = t;
        tt.left += 2;
        DrawTextA(dc, s.c_str(), -1, &tt, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (st.focus && !st.dropped) DrawFocusRect(dc, &t);
    SelectObject(dc, old);
}

void Layout(HWND h, ComboState& st) {
    RECT r = ClientRectOf(h);
    int field = FieldHeight(st.list);
    if (Kind(h) == CBS_SIMPLE) {
        if (st.edit != nullptr) MoveWindow(st.edit, 0, 0, r.right, field, TRUE);
        MoveWindow(st.list, 0, field, r.right, std::max(0, static_cast<int>(r.bottom) - field), TRUE);
        return;
    }
    if (st.edit != nullptr)
        MoveWindow(st.edit, 3, 3, std::max(0, static_cast<int>(r.right) - 6 - ButtonWidth()), field - 6,
                   TRUE);
}

// Most list messages go straight to the list: true, with the list's answer in `*result`, for those.
bool ForwardToList(const ComboState& st, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT* result) {
    static const std::pair<UINT, UINT> kForward[] = {
        {CB_ADDSTRING, LB_ADDSTRING},     {CB_INSERTSTRING, LB_INSERTSTRING},
        {CB_GETCOUNT, LB_GETCOUNT},       {CB_GETLBTEXTLEN, LB_GETTEXTLEN},
        {CB_GETITEMDATA, LB_GETITEMDATA}, {CB_SETITEMDATA, LB_SETITEMDATA},
        {CB_FINDSTRING, LB_FINDSTRING},   {CB_FINDSTRINGEXACT, LB_FINDSTRINGEXACT},
        {CB_GETCURSEL, LB_GETCURSEL},     {CB_GETITEMHEIGHT, LB_GETITEMHEIGHT}};
    for (auto [cb, lb] : kForward)
        if (msg == cb && st.list != nullptr) {
            *result = SendMessageA(st.list, lb, wparam, lparam);
            return true;
        }
    return false;
}

// Opens the list, or closes it taking the choice.
void ToggleDropDown(HWND h, ComboState& st) {
    if (st.dropped)
        CloseUp(h, st, true);
    else
        DropDown(h, st);
}

// The focus has left the combo box and its edit field: an open list closes, taking the choice.
void FocusGone(HWND h, ComboState& st, bool redraw) {
    CloseUp(h, st, true);
    st.focus = false;
    if (redraw) InvalidateRect(h, nullptr, FALSE);
    NotifyCb(h, CBN_KILLFOCUS);
}

// The point of a mouse message over the dropped list, in screen coordinates; false when it is elsewhere.
bool OverDroppedList(HWND h, const ComboState& st, POINT p, POINT* screen) {
    *screen = p;
    ClientToScreen(h, screen);
    RECT lr;
    GetWindowRect(st.list, &lr);
    return PtInRect(&lr, *screen) != FALSE;
}

// ---- message handlers ----

LRESULT OnNcCreate(HWND h, WPARAM wparam, LPARAM lparam) {
    // The scroll bar styles are for the list; the box itself shows none.
    if (Window* w = W(h)) w->style &= ~(WS_VSCROLL | WS_HSCROLL);
    return DefWindowProcA(h, WM_NCCREATE, wparam, lparam);
}

// Makes the list (a child of a simple combo box, else a popup) and the edit field of the kinds that have one;
// the box of a drop-down kind is as high as its field.
LRESULT OnCreate(HWND h, ComboState& st, const CREATESTRUCTA* cs) {
    DWORD style = StyleOf(h);
    DWORD kind = Kind(h);
    DWORD lstyle = LBS_NOTIFY | WS_VSCROLL | WS_BORDER | LBS_NOINTEGRALHEIGHT;
    if (style & CBS_SORT) lstyle |= LBS_SORT;
    if (style & CBS_HASSTRINGS) lstyle |= LBS_HASSTRINGS;
    if (style & CBS_OWNERDRAWFIXED) lstyle |= LBS_OWNERDRAWFIXED;
    if (style & CBS_OWNERDRAWVARIABLE) lstyle |= LBS_OWNERDRAWVARIABLE;
    if (kind == CBS_SIMPLE) {
        st.list = CreateWindowExA(0, "ComboLBox", "", lstyle | WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, h,
                                  reinterpret_cast<HMENU>(static_cast<uintptr_t>(kListId)), nullptr, nullptr);
    } else {
        st.list = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, "ComboLBox", "",
                                  lstyle | WS_POPUP, 0, 0, 10, 10, h, nullptr, nullptr, nullptr);
    }
    if (st.list == nullptr) return -1;
    SetListBoxOwnerCombo(st.list, h);
    if (kind != CBS_DROPDOWNLIST) {
        DWORD estyle = WS_CHILD | WS_VISIBLE | ((style & CBS_AUTOHSCROLL) ? ES_AUTOHSCROLL : 0);
        st.edit =
            CreateWindowExA(kind == CBS_SIMPLE ? WS_EX_CLIENTEDGE : 0, "EDIT", "", estyle, 0, 0, 10, 10, h,
                            reinterpret_cast<HMENU>(static_cast<uintptr_t>(kEditId)), nullptr, nullptr);
        SetPropA(st.edit, "qsm.editproc", reinterpret_cast<HANDLE>(GetWindowLongPtrA(st.edit, GWLP_WNDPROC)));
        SetWindowLongPtrA(st.edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ComboEditProc));
    }
    st.drop_height = cs != nullptr ? cs->cy : 100;
    if (kind != CBS_SIMPLE)
        SetWindowPos(h, nullptr, 0, 0, cs != nullptr ? cs->cx : 100, FieldHeight(st.list),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Layout(h, st);
    return 0;
}

// A popup list is not the box's child and goes with it here.
LRESULT OnDestroy(const ComboState& st) {
    if (st.list != nullptr && !(W(st.list) != nullptr && W(st.list)->IsChild())) DestroyWindow(st.list);
    return 0;
}

LRESULT OnSize(HWND h, ComboState& st) {
    Layout(h, st);
    return 0;
}

// The font goes to the list and the edit field too; the box of a drop-down kind takes the new field height.
LRESULT OnSetFont(HWND h, ComboState& st, WPARAM wparam, LPARAM lparam) {
    st.font = reinterpret_cast<HFONT>(wparam);
    SendMessageA(st.list, WM_SETFONT, wparam, lparam);
    if (st.edit != nullptr) SendMessageA(st.edit, WM_SETFONT, wparam, lparam);
    if (Kind(h) != CBS_SIMPLE)
        SetWindowPos(h, nullptr, 0, 0, W(h)->rect.right - W(h)->rect.left, FieldHeight(st.list),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Layout(h, st);
    return 0;
}

// The edit field takes the focus with all of its text selected.
LRESULT OnSetFocus(HWND h, ComboState& st) {
    if (st.edit != nullptr) {
        SetFocus(st.edit);
        SendMessageA(st.edit, EM_SETSEL, 0, -1);
    }
    if (!st.focus) {
        st.focus = true;
        NotifyCb(h, CBN_SETFOCUS);
    }
    InvalidateRect(h, nullptr, FALSE);
    return 0;
}

LRESULT OnKillFocus(HWND h, ComboState& st, HWND to) {
    if (to != st.edit && to != h) FocusGone(h, st, true);
    return 0;
}

LRESULT OnEnable(HWND h, const ComboState& st, BOOL enable) {
    if (st.edit != nullptr) EnableWindow(st.edit, enable);
    InvalidateRect(h, nullptr, FALSE);
    return 0;
}

// Notifications of the edit field and the list, passed on as the combo box's own.
LRESULT OnCommand(HWND h, ComboState& st, WORD code, HWND from) {
    if (from == st.edit) {
        if (code == EN_CHANGE)
            NotifyCb(h, CBN_EDITCHANGE);
        else if (code == EN_UPDATE)
            NotifyCb(h, CBN_EDITUPDATE);
        else if (code == EN_KILLFOCUS && GetFocus() != h && GetFocus() != st.list)
            FocusGone(h, st, false);
    } else if (from == st.list) {
        if (code == LBN_SELCHANGE && !st.dropped) {
            ShowSelection(h, st);
            NotifyCb(h, CBN_SELCHANGE);
        } else if (code == LBN_DBLCLK) {
            NotifyCb(h, CBN_DBLCLK);
        }
    }
    return 0;
}

// Owner-drawn items of the list are the combo box's items to its parent.
LRESULT OnOwnerItem(HWND h, UINT msg, LPARAM lparam) {
    if (msg == WM_DRAWITEM) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
        d->CtlType = ODT_COMBOBOX;
        d->CtlID = static_cast<UINT>(GetDlgCtrlID(h));
        d->hwndItem = h;
    } else if (msg == WM_MEASUREITEM) {
        auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
        m->CtlType = ODT_COMBOBOX;
        m->CtlID = static_cast<UINT>(GetDlgCtrlID(h));
    } else {
        auto* d = reinterpret_cast<DELETEITEMSTRUCT*>(lparam);
        d->CtlType = ODT_COMBOBOX;
        d->CtlID = static_cast<UINT>(GetDlgCtrlID(h));
        d->hwndItem = h;
    }
    return SendMessageA(GetParent(h), msg, static_cast<WPARAM>(GetDlgCtrlID(h)), lparam);
}

// A press on the field of a drop-down list or on the button opens the list; with the list open, a press
// outside it closes it without a choice (a press on it chooses on release).
LRESULT OnLButtonDown(HWND h, ComboState& st, POINT p) {
    if (st.dropped) {
        POINT s;
        if (!OverDroppedList(h, st, p, &s)) CloseUp(h, st, false);
        return 0;
    }
    if (GetFocus() != h && GetFocus() != st.edit) SetFocus(h);
    RECT r = ClientRectOf(h);
    if (Kind(h) == CBS_DROPDOWNLIST || p.x >= r.right - ButtonWidth() - 2) DropDown(h, st);
    return 0;
}

// With the list open the box has the capture: moves over the list select the item under the pointer, and
// the release there closes the list with that choice.
LRESULT OnMouseOverList(HWND h, ComboState& st, UINT msg, POINT p) {
    if (!st.dropped) return 0;
    POINT s;
    if (!OverDroppedList(h, st, p, &s)) return 0;
    POINT lp = s;
    ScreenToClient(st.list, &lp);
    LRESULT at = SendMessageA(st.list, LB_ITEMFROMPOINT, 0,
                              MAKELPARAM(static_cast<WORD>(lp.x), static_cast<WORD>(lp.y)));
    if (HIWORD(static_cast<DWORD_PTR>(at)) == 0)
        SendMessageA(st.list, LB_SETCURSEL, LOWORD(static_cast<DWORD_PTR>(at)), 0);
    if (msg == WM_LBUTTONUP) CloseUp(h, st, true);
    return 0;
}

LRESULT OnCaptureChanged(HWND h, ComboState& st, HWND to) {
    if (st.dropped && to != h) CloseUp(h, st, false);
    return 0;
}

// Alt+Down and Alt+Up open and close the list.
LRESULT OnSysKeyDown(HWND h, ComboState& st, WPARAM key, LPARAM lparam) {
    if (key != VK_DOWN && key != VK_UP) return DefWindowProcA(h, WM_SYSKEYDOWN, key, lparam);
    ToggleDropDown(h, st);
    return 0;
}

LRESULT OnKeyDown(HWND h, ComboState& st, WPARAM key) {
    switch (key) {
        case VK_F4:
            ToggleDropDown(h, st);
            break;
        case VK_RETURN:
            CloseUp(h, st, true);
            break;
        case VK_ESCAPE:
            CloseUp(h, st, false);
            break;
        case VK_DOWN:
            // The extended interface opens the list with Down.
            if (st.extended_ui && !st.dropped)
                DropDown(h, st);
            else
                Step(h, st, 1, false);
            break;
        case VK_UP:
            Step(h, st, -1, false);
            break;
        case VK_NEXT:
            Step(h, st, 8, false);
            break;
        case VK_PRIOR:
            Step(h, st, -8, false);
            break;
        case VK_HOME:
            if (Kind(h) == CBS_DROPDOWNLIST) Step(h, st, 0, true);
            break;
        case VK_END:
            if (Kind(h) == CBS_DROPDOWNLIST) Step(h, st, 0x7FFFFFFF, true);
            break;
        default:
            break;
    }
    return 0;
}

// A character typed into a drop-down list selects the next item that starts with it.
LRESULT OnChar(HWND h, ComboState& st, WPARAM ch) {
    if (Kind(h) != CBS_DROPDOWNLIST) return 0;
    char c[2] = {static_cast<char>(ch), 0};
    int cur = static_cast<int>(SendMessageA(st.list, LB_GETCURSEL, 0, 0));
    LRESULT i = SendMessageA(st.list, LB_FINDSTRING, static_cast<WPARAM>(cur), reinterpret_cast<LPARAM>(c));
    if (i >= 0) Step(h, st, static_cast<int>(i), true);
    return 0;
}

// The text goes into the edit field; a drop-down list selects the item with exactly that text.
LRESULT OnSetText(HWND h, ComboState& st, LPARAM text) {
    if (st.edit != nullptr) return SetWindowTextA(st.edit, reinterpret_cast<LPCSTR>(text));
    LRESULT i = SendMessageA(st.list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), text);
    if (i < 0) return CB_ERR;
    SendMessageA(st.list, LB_SETCURSEL, static_cast<WPARAM>(i), 0);
    InvalidateRect(h, nullptr, FALSE);
    return TRUE;
}

// WM_GETTEXT and WM_GETTEXTLENGTH: the edit field's text, or the selected item's.
LRESULT OnGetText(const ComboState& st, UINT msg, WPARAM size, char* buf) {
    std::string t;
    if (st.edit != nullptr) {
        t = TextOf(st.edit);
    } else {
        int i = static_cast<int>(SendMessageA(st.list, LB_GETCURSEL, 0, 0));
        if (i >= 0) t = ItemText(st.list, i);
    }
    if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(t.size());
    if (buf == nullptr || size == 0) return 0;
    size_t n = std::min(t.size(), static_cast<size_t>(size) - 1);
    memcpy(buf, t.data(), n);
    buf[n] = 0;
    return static_cast<LRESULT>(n);
}

LRESULT OnDeleteString(HWND h, const ComboState& st, WPARAM wparam, LPARAM lparam) {
    LRESULT r = SendMessageA(st.list, LB_DELETESTRING, wparam, lparam);
    InvalidateRect(h, nullptr, FALSE);
    return r;
}

LRESULT OnResetContent(HWND h, const ComboState& st) {
    SendMessageA(st.list, LB_RESETCONTENT, 0, 0);
    if (st.edit != nullptr) SetWindowTextA(st.edit, "");
    InvalidateRect(h, nullptr, FALSE);
    return CB_OKAY;
}

LRESULT OnSetCurSel(HWND h, ComboState& st, WPARAM index) {
    LRESULT r = SendMessageA(st.list, LB_SETCURSEL, index, 0);
    ShowSelection(h, st);
    return r;
}

LRESULT OnSelectString(HWND h, ComboState& st, WPARAM after, LPARAM prefix) {
    LRESULT r = SendMessageA(st.list, LB_SELECTSTRING, after, prefix);
    if (r >= 0) ShowSelection(h, st);
    return r;
}

LRESULT OnShowDropDown(HWND h, ComboState& st, bool show) {
    if (show)
        DropDown(h, st);
    else
        CloseUp(h, st, true);
    return TRUE;
}

// The rectangle of the box with its list dropped, in screen coordinates.
LRESULT OnGetDroppedControlRect(HWND h, const ComboState& st, RECT* r) {
    if (r != nullptr) {
        GetWindowRect(h, r);
        r->bottom = r->top + std::max(st.drop_height, static_cast<int>(r->bottom - r->top));
    }
    return TRUE;
}

LRESULT OnSetItemHeight(const ComboState& st, LPARAM height) {
    SendMessageA(st.list, LB_SETITEMHEIGHT, 0, height);
    return CB_OKAY;
}

LRESULT OnLimitText(const ComboState& st, WPARAM limit) {
    if (st.edit == nullptr) return FALSE;
    SendMessageA(st.edit, EM_LIMITTEXT, limit, 0);
    return TRUE;
}

// CB_SETEDITSEL: the start in the low word and the end in the high word, -1 each meaning as in EM_SETSEL.
LRESULT OnSetEditSel(const ComboState& st, LPARAM range) {
    if (st.edit == nullptr) return CB_ERR;
    SendMessageA(st.edit, EM_SETSEL,
                 static_cast<WPARAM>(static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(range)))),
                 static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(range))));
    return TRUE;
}

LRESULT OnGetEditSel(const ComboState& st, WPARAM wparam, LPARAM lparam) {
    if (st.edit == nullptr) return CB_ERR;
    return SendMessageA(st.edit, EM_GETSEL, wparam, lparam);
}

}  // namespace

LRESULT ComboBoxProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (W(h) == nullptr) return 0;
    ComboState& st = Ctl<ComboState>(h);
    if (LRESULT r = 0; ForwardToList(st, msg, wparam, lparam, &r)) return r;
    switch (msg) {
        case WM_NCCREATE:
            return OnNcCreate(h, wparam, lparam);
        case WM_CREATE:
            return OnCreate(h, st, reinterpret_cast<const CREATESTRUCTA*>(lparam));
        case WM_DESTROY:
            return OnDestroy(st);
        case WM_SIZE:
            return OnSize(h, st);
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(h, msg, [&](HDC dc) { Paint(h, st, dc); });
        case WM_SETFONT:
            return OnSetFont(h, st, wparam, lparam);
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(st.font);
        case WM_SETFOCUS:
            return OnSetFocus(h, st);
        case WM_KILLFOCUS:
            return OnKillFocus(h, st, reinterpret_cast<HWND>(wparam));
        case WM_ENABLE:
            return OnEnable(h, st, static_cast<BOOL>(wparam));
        case WM_COMMAND:
            return OnCommand(h, st, HIWORD(wparam), reinterpret_cast<HWND>(lparam));
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_DELETEITEM:
            return OnOwnerItem(h, msg, lparam);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return OnLButtonDown(h, st, PointOf(lparam));
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
            return OnMouseOverList(h, st, msg, PointOf(lparam));
        case WM_CAPTURECHANGED:
            return OnCaptureChanged(h, st, reinterpret_cast<HWND>(lparam));
        case WM_SYSKEYDOWN:
            return OnSysKeyDown(h, st, wparam, lparam);
        case WM_KEYDOWN:
            return OnKeyDown(h, st, wparam);
        case WM_CHAR:
            return OnChar(h, st, wparam);
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS | (st.dropped ? DLGC_WANTALLKEYS : 0);
        case WM_SETTEXT:
            return OnSetText(h, st, lparam);
        case WM_GETTEXT:
        case WM_GETTEXTLENGTH:
            return OnGetText(st, msg, wparam, reinterpret_cast<char*>(lparam));
        case CB_GETLBTEXT:
            return SendMessageA(st.list, LB_GETTEXT, wparam, lparam);
        case CB_DELETESTRING:
            return OnDeleteString(h, st, wparam, lparam);
        case CB_RESETCONTENT:
            return OnResetContent(h, st);
        case CB_SETCURSEL:
            return OnSetCurSel(h, st, wparam);
        case CB_SELECTSTRING:
            return OnSelectString(h, st, wparam, lparam);
        case CB_SHOWDROPDOWN:
            return OnShowDropDown(h, st, wparam != 0);
        case CB_GETDROPPEDSTATE:
            return st.dropped;
        case CB_SETEXTENDEDUI:
            return SetField(st.extended_ui, wparam != 0);
        case CB_GETEXTENDEDUI:
            return st.extended_ui;
        case CB_GETDROPPEDCONTROLRECT:
            return OnGetDroppedControlRect(h, st, reinterpret_cast<RECT*>(lparam));
        case CB_SETITEMHEIGHT:
            return OnSetItemHeight(st, lparam);
        case CB_LIMITTEXT:
            return OnLimitText(st, wparam);
        case CB_SETEDITSEL:
            return OnSetEditSel(st, lparam);
        case CB_GETEDITSEL:
            return OnGetEditSel(st, wparam, lparam);
        default:
            return DefWindowProcA(h, msg, wparam, lparam);
    }
}

}  // namespace qsm::wm
