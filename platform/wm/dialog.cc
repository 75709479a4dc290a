// Dialogs: creation from templates, the dialog window procedure, keyboard navigation, modal and modeless
// dialogs, dialog item helpers and message boxes.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "platform/wm/control_util.h"
#include "platform/wm/dialog_template.h"

namespace qsm::wm {
namespace {

struct DialogState {
    HFONT font = nullptr;
    bool own_font = false;
    bool ended = false;
    INT_PTR result = 0;
    int def_id = 0;
    HWND saved_focus = nullptr;
    LONG base_x = 6;
    LONG base_y = 13;
};

DialogState* DlgState(HWND h) {
    Window* w = W(h);
    if (w == nullptr || w->cls->proc != DialogClassProc) return nullptr;
    return &Ctl<DialogState>(h);
}

bool Usable(HWND c) {
    return IsWindowVisible(c) && IsWindowEnabled(c);
}

LONG_PTR GetDlgLong(HWND h, int off) {
    return GetWindowLongPtrA(h, off);
}

bool IsPushButton(HWND c) {
    LRESULT code = SendMessageA(c, WM_GETDLGCODE, 0, 0);
    return (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

// Makes a push button the default one or an ordinary one, keeping its other button styles (an icon or a
// picture, the alignment of its text).
void SetPushButtonType(HWND button, bool makeDefault) {
    DWORD keep = static_cast<DWORD>(GetWindowLongA(button, GWL_STYLE)) & 0xFFFFu & ~BS_TYPEMASK;
    SendMessageA(button, BM_SETSTYLE, keep | (makeDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), TRUE);
}

void FocusControl(HWND dlg, HWND c) {
    if (c == nullptr) return;
    SetFocus(c);
    if (SendMessageA(c, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(c, EM_SETSEL, 0, -1);
    // The focused push button shows as the default one; otherwise the dialog's default button does.
    int def = static_cast<int>(LOWORD(static_cast<DWORD_PTR>(SendMessageA(dlg, DM_GETDEFID, 0, 0))));
    for (HWND k = GetWindow(dlg, GW_CHILD); k != nullptr; k = GetWindow(k, GW_HWNDNEXT)) {
        if (!IsPushButton(k)) continue;
        bool make_default = IsPushButton(c) ? k == c : GetDlgCtrlID(k) == def;
        SetPushButtonType(k, make_default);
    }
}

// Mnemonic: the control whose text has "&c"; a static gives the next control.
HWND FindMnemonic(HWND dlg, char c) {
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (HWND k = GetWindow(dlg, GW_CHILD); k != nullptr; k = GetWindow(k, GW_HWNDNEXT)) {
        if (!Usable(k)) continue;
        std::string t = TextOf(k);
        if (SendMessageA(k, WM_GETDLGCODE, 0, 0) & DLGC_STATIC) {
            if (StyleOf(k) & SS_NOPREFIX) continue;
        }
        for (size_t i = 0; i + 1 < t.size(); ++i) {
            if (t[i] != '&') continue;
            if (t[i + 1] == '&') {
                ++i;
                continue;
            }
            if (tolower(static_cast<unsigned char>(t[i + 1])) != c) break;
            if (SendMessageA(k, WM_GETDLGCODE, 0, 0) & DLGC_STATIC) {
                for (HWND n = GetWindow(k, GW_HWNDNEXT); n != nullptr; n = GetWindow(n, GW_HWNDNEXT))
                    if (Usable(n) && !(SendMessageA(n, WM_GETDLGCODE, 0, 0) & DLGC_STATIC)) return n;
                return nullptr;
            }
            return k;
        }
    }
    return nullptr;
}

void GetBaseUnits(HFONT font, LONG* bx, LONG* by) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SIZE s{0, 0};
    const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32A(dc, letters, 52, &s);
    SelectObject(dc, old);
    DeleteDC(dc);
    *bx = std::max<LONG>(1, (s.cx / 26 + 1) / 2);
    *by = std::max<LONG>(1, tm.tmHeight);
}

}  // namespace

bool DialogMessageHook(HWND modal, MSG& m) {
    if (DlgState(modal) == nullptr) return false;
    return IsDialogMessageA(modal, &m) != FALSE;
}

HWND CreateDialogFromTemplate(const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param) {
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(t.font_points, 96, 72);
    lf.lfWeight = 400;
    strncpy(lf.lfFaceName, t.font_face.c_str(), LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectA(&lf);
    LONG bx = 6, by = 13;
    GetBaseUnits(font, &bx, &by);
    auto px = [&](int v) { return MulDiv(v, bx, 4); };
    auto py = [&](int v) { return MulDiv(v, by, 8); };
    DWORD style = t.style & ~WS_VISIBLE;
    DWORD ex = t.ex_style | ((t.style & DS_MODALFRAME) ? WS_EX_DLGMODALFRAME : 0);
    if (style & DS_CONTROL) {
        style = (style & ~(WS_CAPTION | WS_SYSMENU | WS_POPUP)) | WS_CHILD;
        ex |= WS_EX_CONTROLPARENT;
    }
    RECT r{0, 0, px(t.cx), py(t.cy)};
    AdjustWindowRectEx(&r, style, FALSE, ex);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = px(t.x), y = py(t.y);
    Window* o = W(owner);
    if (!(style & WS_CHILD) && o != nullptr && !(t.style & DS_ABSALIGN)) {
        POINT p = ClientOrigin(TopLevel(o));
        x += p.x;
        y += p.y;
    }
    if ((t.style & DS_CENTER) || (t.x == 0 && t.y == 0 && !(style & WS_CHILD))) {
        RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (o != nullptr) GetWindowRect(TopLevel(o)->handle, &area);
        x = area.left + (area.right - area.left - w) / 2;
        y = area.top + (area.bottom - area.top - h) / 2;
        x = std::max(0, x);
        y = std::max(0, y);
    }
    HWND dlg = CreateWindowExA(ex, WC_DIALOG, t.caption.c_str(), style, x, y, w, h, owner, nullptr, nullptr,
                               nullptr);
    if (dlg == nullptr) {
        DeleteObject(font);
        return nullptr;
    }
    DialogState& st = Ctl<DialogState>(dlg);
    st.font = font;
    st.own_font = true;
    st.base_x = bx;
    st.base_y = by;
    SetWindowLongPtrA(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    for (const DialogItem& it : t.items) {
        HWND c = CreateWindowExA(it.ex_style | WS_EX_NOPARENTNOTIFY, it.cls.c_str(), it.text.c_str(),
                                 it.style & ~WS_VISIBLE, px(it.x), py(it.y), px(it.cx), py(it.cy), dlg,
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(static_cast<UINT>(it.id))),
                                 nullptr, nullptr);
        if (!IsWindow(dlg)) return nullptr;
        if (c == nullptr) continue;
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (it.style & WS_VISIBLE) ShowWindow(c, SW_SHOWNA);
        if ((it.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && it.cls == "BUTTON" && st.def_id == 0)
            st.def_id = it.id;
    }
    HWND first = GetNextDlgTabItem(dlg, nullptr, FALSE);
    if (SendMessageA(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param)) {
        if (IsWindow(first)) st.saved_focus = first;
    }
    if (!IsWindow(dlg)) return nullptr;
    if (t.style & WS_VISIBLE) {
        ShowWindow(dlg, SW_SHOW);
        if (st.saved_focus != nullptr && IsWindow(st.saved_focus)) FocusControl(dlg, st.saved_focus);
    }
    return dlg;
}

namespace {

INT_PTR RunModal(HWND dlg, HWND owner) {
    DialogState& st = Ctl<DialogState>(dlg);
    HWND top_owner = owner != nullptr && W(owner) != nullptr ? TopLevel(W(owner))->handle : nullptr;
    bool disabled_owner = top_owner != nullptr && IsWindowEnabled(top_owner);
    if (disabled_owner) EnableWindow(top_owner, FALSE);
    if (!IsWindowVisible(dlg) && !st.ended) {
        ShowWindow(dlg, SW_SHOW);
        if (st.saved_focus != nullptr && IsWindow(st.saved_focus)) FocusControl(dlg, st.saved_focus);
    }
    std::shared_ptr<Window> keep = Hold(dlg);
    RunModalLoop(dlg, &st.ended, MSGF_DIALOGBOX);
    // A dialog destroyed by its owner while it ran ended without a result (and its state went with it).
    INT_PTR result = IsWindow(dlg) && st.ended ? st.result : -1;
    if (disabled_owner && IsWindow(top_owner)) EnableWindow(top_owner, TRUE);
    if (IsWindow(dlg)) {
        if (top_owner != nullptr && GetActiveWindow() == dlg) SetActiveWindow(top_owner);
        DestroyWindow(dlg);
    }
    return result;
}

}  // namespace

INT_PTR DialogBoxFromTemplate(const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param) {
    DialogTemplate modal = t;
    modal.style &= ~WS_VISIBLE;
    HWND dlg = CreateDialogFromTemplate(modal, owner, proc, param);
    if (dlg == nullptr) return -1;
    return RunModal(dlg, owner);
}

LRESULT DialogClassProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    return DefDlgProcA(h, msg, wparam, lparam);
}

namespace {

bool LoadTemplate(HINSTANCE instance, LPCSTR name, DialogTemplate* t) {
    HRSRC res = FindResourceA(instance, name, RT_DIALOG);
    if (res == nullptr) return false;
    HGLOBAL mem = LoadResource(instance, res);
    auto* data = static_cast<const char*>(LockResource(mem));
    if (data == nullptr) return false;
    return ParseDialogTemplate(data, SizeofResource(instance, res), t, nullptr);
}

// ---- message boxes ----

struct BoxInfo {
    UINT type;
    bool has_cancel;
};

INT_PTR BoxProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_INITDIALOG:
            SetPropA(h, "qsm.box", reinterpret_cast<HANDLE>(lparam));
            return TRUE;
        case WM_COMMAND: {
            auto* info = static_cast<BoxInfo*>(GetPropA(h, "qsm.box"));
            int id = LOWORD(wparam);
            if (id == IDCANCEL && info != nullptr && !info->has_cancel) {
                // Esc closes only a box that can be cancelled, or one with a single OK button.
                if ((info->type & MB_TYPEMASK) != MB_OK) return TRUE;
                id = IDOK;
            }
            if (GetDlgItem(h, id) != nullptr || id == IDOK) EndDialog(h, id);
            return TRUE;
        }
        case WM_DRAWITEM: {
            auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lparam);
            auto* info = static_cast<BoxInfo*>(GetPropA(h, "qsm.box"));
            if (d == nullptr || info == nullptr) return FALSE;
            UINT icon = info->type & MB_ICONMASK;
            COLORREF color = icon == MB_ICONHAND          ? RGB(0xC0, 0, 0)
                             : icon == MB_ICONEXCLAMATION ? RGB(0xE0, 0xB0, 0)
                                                          : RGB(0, 0, 0xC0);
            const char* mark = icon == MB_ICONHAND          ? "X"
                               : icon == MB_ICONEXCLAMATION ? "!"
                               : icon == MB_ICONQUESTION    ? "?"
                                                            : "i";
            HBRUSH b = CreateSolidBrush(color);
            HGDIOBJ ob = SelectObject(d->hDC, b);
            HGDIOBJ op = SelectObject(d->hDC, GetStockObject(NULL_PEN));
            Ellipse(d->hDC, d->rcItem.left, d->rcItem.top, d->rcItem.right, d->rcItem.bottom);
            SelectObject(d->hDC, op);
            SelectObject(d->hDC, ob);
            DeleteObject(b);
            LOGFONTA lf{};
            lf.lfHeight = -20;
            lf.lfWeight = 700;
            strcpy(lf.lfFaceName, "Times New Roman");
            HFONT f = CreateFontIndirectA(&lf);
            HGDIOBJ of = SelectObject(d->hDC, f);
            SetBkMode(d->hDC, TRANSPARENT);
            SetTextColor(d->hDC, RGB(255, 255, 255));
            RECT r = d->rcItem;
            DrawTextA(d->hDC, mark, 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
            SelectObject(d->hDC, of);
            DeleteObject(f);
            return TRUE;
        }
        default:
            return FALSE;
    }
}

}  // namespace

}  // namespace qsm::wm

using namespace qsm::wm;

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    DialogTemplate t;
    if (!LoadTemplate(instance, name, &t)) return nullptr;
    return CreateDialogFromTemplate(t, owner, proc, param);
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC proc, LPARAM param) {
    DialogTemplate t;
    if (!LoadTemplate(instance, name, &t)) return -1;
    return DialogBoxFromTemplate(t, owner, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
    DialogState* st = DlgState(dialog);
    if (st == nullptr) return FALSE;
    st->ended = true;
    st->result = result;
    // The owner is enabled again before the dialog goes, so that activation returns to it.
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner != nullptr && !IsWindowEnabled(owner) && GetPropA(dialog, "qsm.keepowner") == nullptr)
        EnableWindow(owner, TRUE);
    ShowWindow(dialog, SW_HIDE);
    WakeQueue(CurrentQueue());
    return TRUE;
}

LRESULT DefDlgProcA(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (W(h) == nullptr) return 0;
    auto proc = reinterpret_cast<DLGPROC>(GetDlgLong(h, DWLP_DLGPROC));
    if (proc != nullptr) {
        SetWindowLongPtrA(h, DWLP_MSGRESULT, 0);
        INT_PTR r = proc(h, msg, wparam, lparam);
        if (W(h) == nullptr) return r;
        if (r) {
            switch (msg) {
                case WM_CTLCOLORMSGBOX:
                case WM_CTLCOLOREDIT:
                case WM_CTLCOLORLISTBOX:
                case WM_CTLCOLORBTN:
                case WM_CTLCOLORDLG:
                case WM_CTLCOLORSCROLLBAR:
                case WM_CTLCOLORSTATIC:
                case WM_COMPAREITEM:
                case WM_INITDIALOG:
                    return r;
                default:
                    return GetDlgLong(h, DWLP_MSGRESULT);
            }
        }
    }
    DialogState& st = Ctl<DialogState>(h);
    switch (msg) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_CLOSE: {
            HWND cancel = GetDlgItem(h, IDCANCEL);
            if (cancel == nullptr || IsWindowEnabled(cancel))
                PostMessageA(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case WM_NCDESTROY:
            if (st.own_font && st.font != nullptr) DeleteObject(st.font);
            st.font = nullptr;
            return DefWindowProcA(h, msg, wparam, lparam);
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(st.font);
        case WM_SETFONT:
            if (st.own_font && st.font != nullptr) DeleteObject(st.font);
            st.font = reinterpret_cast<HFONT>(wparam);
            st.own_font = false;
            return 0;
        case DM_GETDEFID: {
            if (st.def_id != 0) return MAKELONG(static_cast<WORD>(st.def_id), DC_HASDEFID);
            for (HWND k = GetWindow(h, GW_CHILD); k != nullptr; k = GetWindow(k, GW_HWNDNEXT))
                if (SendMessageA(k, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)
                    return MAKELONG(static_cast<WORD>(GetDlgCtrlID(k)), DC_HASDEFID);
            return 0;
        }
        case DM_SETDEFID:
            st.def_id = static_cast<int>(wparam);
            for (HWND k = GetWindow(h, GW_CHILD); k != nullptr; k = GetWindow(k, GW_HWNDNEXT))
                if (IsPushButton(k)) SetPushButtonType(k, GetDlgCtrlID(k) == st.def_id);
            return TRUE;
        case WM_NEXTDLGCTL:
            if (lparam)
                FocusControl(h, reinterpret_cast<HWND>(wparam));
            else
                FocusControl(h, GetNextDlgTabItem(h, GetFocus(), wparam != 0));
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wparam) == WA_INACTIVE) {
                HWND f = GetFocus();
                if (f != nullptr && IsChild(h, f)) st.saved_focus = f;
            } else {
                HWND f = st.saved_focus;
                if (f == nullptr || !IsWindow(f) || !IsChild(h, f)) f = GetNextDlgTabItem(h, nullptr, FALSE);
                if (f != nullptr)
                    FocusControl(h, f);
                else
                    SetFocus(h);
            }
            return 0;
        case WM_SETFOCUS: {
            HWND f = st.saved_focus;
            if (f == nullptr || !IsWindow(f) || !IsChild(h, f)) f = GetNextDlgTabItem(h, nullptr, FALSE);
            if (f != nullptr) FocusControl(h, f);
            return 0;
        }
        default:
            return DefWindowProcA(h, msg, wparam, lparam);
    }
}

HWND GetNextDlgTabItem(HWND dialog, HWND ctl, BOOL previous) {
    Window* d = W(dialog);
    if (d == nullptr) return nullptr;
    std::vector<HWND> tabs;
    for (Window* c : d->children)
        if ((c->style & WS_TABSTOP) && Usable(c->handle)) tabs.push_back(c->handle);
    // A radio group is entered at its checked button.
    auto entry = [&](HWND c) {
        if ((SendMessageA(c, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) &&
            SendMessageA(c, BM_GETCHECK, 0, 0) == BST_UNCHECKED) {
            for (HWND g = GetNextDlgGroupItem(dialog, c, FALSE); g != nullptr && g != c;
                 g = GetNextDlgGroupItem(dialog, g, FALSE))
                if (SendMessageA(g, BM_GETCHECK, 0, 0) == BST_CHECKED) return g;
        }
        return c;
    };
    if (tabs.empty()) return ctl;
    if (ctl == nullptr || !IsChild(dialog, ctl)) return entry(previous ? tabs.back() : tabs.front());
    // Position of ctl in Z-order among all children.
    std::vector<Window*>& all = d->children;
    Window* cw = W(ctl);
    while (cw != nullptr && cw->IsChild() && cw->parent != d)
        cw = cw->parent;
    auto at = std::find(all.begin(), all.end(), cw);
    if (at == all.end()) return entry(tabs.front());
    size_t n = all.size(), i = static_cast<size_t>(at - all.begin());
    for (size_t k = 1; k <= n; ++k) {
        size_t j = previous ? (i + n - k) % n : (i + k) % n;
        Window* c = all[j];
        if ((c->style & WS_TABSTOP) && Usable(c->handle)) {
            // Moving back out of a radio group lands on its first button (or the checked one).
            return entry(c->handle);
        }
    }
    return ctl;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND ctl, BOOL previous) {
    Window* d = W(dialog);
    Window* c = W(ctl);
    if (d == nullptr || c == nullptr || c->parent != d) return nullptr;
    std::vector<Window*>& all = d->children;
    size_t i = static_cast<size_t>(std::find(all.begin(), all.end(), c) - all.begin());
    size_t start = i;
    while (start > 0 && !(all[start]->style & WS_GROUP))
        --start;
    size_t end = i + 1;
    while (end < all.size() && !(all[end]->style & WS_GROUP))
        ++end;
    size_t n = end - start;
    for (size_t k = 1; k < n; ++k) {
        size_t j = start + (previous ? (i - start + n - k) % n : (i - start + k) % n);
        if (Usable(all[j]->handle)) return all[j]->handle;
    }
    return ctl;
}

BOOL IsDialogMessageA(HWND dialog, LPMSG msg) {
    if (msg == nullptr || W(dialog) == nullptr) return FALSE;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
    HWND target = msg->hwnd;
    auto dispatch = [&] {
        TranslateMessage(msg);
        DispatchMessageA(msg);
        return TRUE;
    };
    if (msg->message != WM_KEYDOWN && msg->message != WM_CHAR && msg->message != WM_SYSCHAR)
        return dispatch();
    LRESULT code = SendMessageA(target, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    if (code & DLGC_WANTMESSAGE) return dispatch();
    if (msg->message == WM_KEYDOWN) {
        switch (msg->wParam) {
            case VK_TAB:
                if (code & DLGC_WANTTAB) return dispatch();
                FocusControl(dialog,
                             GetNextDlgTabItem(dialog, GetFocus(), (GetKeyState(VK_SHIFT) & 0x8000) != 0));
                return TRUE;
            case VK_LEFT:
            case VK_UP:
            case VK_RIGHT:
            case VK_DOWN: {
                if (code & DLGC_WANTARROWS) return dispatch();
                bool back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
                HWND next = GetNextDlgGroupItem(dialog, GetFocus(), back);
                if (next != nullptr && next != GetFocus()) {
                    FocusControl(dialog, next);
                    if ((SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) &&
                        (StyleOf(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
                        SendMessageA(next, BM_CLICK, 0, 0);
                }
                return TRUE;
            }
            case VK_RETURN: {
                HWND f = GetFocus();
                int id = IDOK;
                if (f != nullptr && IsPushButton(f) && IsChild(dialog, f)) {
                    id = GetDlgCtrlID(f);
                } else {
                    LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
                    if (HIWORD(static_cast<DWORD_PTR>(def)) == DC_HASDEFID)
                        id = LOWORD(static_cast<DWORD_PTR>(def));
                }
                HWND button = GetDlgItem(dialog, id);
                if (button != nullptr && !IsWindowEnabled(button)) {
                    MessageBeep(0);
                    return TRUE;
                }
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
                return TRUE;
            }
            case VK_ESCAPE: {
                HWND cancel = GetDlgItem(dialog, IDCANCEL);
                if (cancel != nullptr && !IsWindowEnabled(cancel)) return TRUE;
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(cancel));
                return TRUE;
            }
            default:
                return dispatch();
        }
    }
    // Characters: the control takes them when it wants them; otherwise they pick a control by mnemonic.
    char c = static_cast<char>(msg->wParam);
    if (msg->message == WM_CHAR && (c == '\t' || c == '\r' || c == 27)) return TRUE;
    if (msg->message == WM_CHAR && (code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS))) return dispatch();
    HWND hit = FindMnemonic(dialog, c);
    if (hit == nullptr) {
        if (msg->message == WM_SYSCHAR) return dispatch();
        return dispatch();
    }
    LRESULT hit_code = SendMessageA(hit, WM_GETDLGCODE, 0, 0);
    if (hit_code & DLGC_BUTTON) {
        if (hit_code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
            SendMessageA(hit, BM_CLICK, 0, 0);
        } else {
            FocusControl(dialog, hit);
            SendMessageA(hit, BM_CLICK, 0, 0);
        }
    } else {
        FocusControl(dialog, hit);
    }
    return TRUE;
}

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
    DialogState* st = DlgState(dialog);
    if (st == nullptr || rect == nullptr) return FALSE;
    rect->left = MulDiv(rect->left, st->base_x, 4);
    rect->right = MulDiv(rect->right, st->base_x, 4);
    rect->top = MulDiv(rect->top, st->base_y, 8);
    rect->bottom = MulDiv(rect->bottom, st->base_y, 8);
    return TRUE;
}

LONG GetDialogBaseUnits() {
    LONG bx = 6, by = 13;
    GetBaseUnits(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)), &bx, &by);
    return MAKELONG(static_cast<WORD>(bx), static_cast<WORD>(by));
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT msg, WPARAM wparam, LPARAM lparam) {
    HWND c = GetDlgItem(dialog, id);
    return c != nullptr ? SendMessageA(c, msg, wparam, lparam) : 0;
}

BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text) {
    HWND c = GetDlgItem(dialog, id);
    return c != nullptr ? SetWindowTextA(c, text) : FALSE;
}

UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buf, int size) {
    if (buf != nullptr && size > 0) buf[0] = 0;
    HWND c = GetDlgItem(dialog, id);
    return c != nullptr ? static_cast<UINT>(GetWindowTextA(c, buf, size)) : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed) {
    char buf[16];
    if (is_signed)
        snprintf(buf, sizeof buf, "%d", static_cast<int>(value));
    else
        snprintf(buf, sizeof buf, "%u", value);
    return SetDlgItemTextA(dialog, id, buf);
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* ok, BOOL is_signed) {
    if (ok != nullptr) *ok = FALSE;
    char buf[64];
    if (GetDlgItemTextA(dialog, id, buf, sizeof buf) == 0) return 0;
    const char* p = buf;
    while (*p == ' ')
        ++p;
    bool neg = false;
    if (is_signed && (*p == '-' || *p == '+')) neg = *p++ == '-';
    if (*p < '0' || *p > '9') return 0;
    uint64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + static_cast<uint64_t>(*p++ - '0');
        if (v > 0xFFFFFFFFull) return 0;
    }
    while (*p == ' ')
        ++p;
    if (*p != 0) return 0;
    if (is_signed && v > (neg ? 0x80000000ull : 0x7FFFFFFFull)) return 0;
    if (ok != nullptr) *ok = TRUE;
    return neg ? static_cast<UINT>(-static_cast<int64_t>(v)) : static_cast<UINT>(v);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND c = GetDlgItem(dialog, id);
    if (c == nullptr) return FALSE;
    SendMessageA(c, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
    for (int id = first; id <= last; ++id)
        CheckDlgButton(dialog, id, id == check ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    struct B {
        int id;
        const char* label;
    };
    std::vector<B> buttons;
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            buttons = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
            break;
        case MB_ABORTRETRYIGNORE:
            buttons = {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}};
            break;
        case MB_YESNOCANCEL:
            buttons = {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
            break;
        case MB_YESNO:
            buttons = {{IDYES, "&Yes"}, {IDNO, "&No"}};
            break;
        case MB_RETRYCANCEL:
            buttons = {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}};
            break;
        default:
            buttons = {{IDOK, "OK"}};
            break;
    }
    size_t def = std::min<size_t>((type & MB_DEFMASK) >> 8, buttons.size() - 1);
    BoxInfo info{type, false};
    for (const B& b : buttons)
        info.has_cancel |= b.id == IDCANCEL;

    // Measured in pixels with the message font, then written as a template in dialog units of that font.
    HFONT font = DefaultGuiFont();
    LONG bx, by;
    GetBaseUnits(font, &bx, &by);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT tr{0, 0, 420, 0};
    std::string body = text != nullptr ? text : "";
    DrawTextA(dc, body.c_str(), -1, &tr, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    DeleteDC(dc);
    bool icon = (type & MB_ICONMASK) != 0;
    auto dx = [&](int px) { return (px * 4 + bx - 1) / bx; };
    auto dy = [&](int px) { return (px * 8 + by - 1) / by; };
    int margin = 7, icon_w = icon ? 32 + 10 : 0;
    int text_w = dx(tr.right) + 2, text_h = dy(tr.bottom) + 1;
    int bw = 50, bh = 14, gap = 4;
    int buttons_w = static_cast<int>(buttons.size()) * bw + static_cast<int>(buttons.size() - 1) * gap;
    int cx = std::max(dx(icon_w) + text_w, buttons_w) + 2 * margin;
    int top_h = std::max(text_h, icon ? dy(32) : 0);
    int cy = margin + top_h + 8 + bh + margin;
    DialogTemplate t;
    t.caption = caption != nullptr ? caption : "Error";
    t.cx = cx;
    t.cy = cy;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    t.ex_style = (type & MB_TOPMOST) ? WS_EX_TOPMOST : 0;
    t.font_points = 8;
    t.font_face = "MS Shell Dlg";
    if (icon)
        t.items.push_back(DialogItem{"STATIC", 20, "", margin, margin, dx(32), dy(32),
                                     WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0});
    t.items.push_back(DialogItem{"STATIC", 0xFFFF, body, margin + dx(icon_w), margin + (top_h - text_h) / 2,
                                 text_w, text_h, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0});
    int x = (cx - buttons_w) / 2;
    for (size_t i = 0; i < buttons.size(); ++i) {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
                      (i == 0 ? WS_GROUP : 0);
        t.items.push_back(
            DialogItem{"BUTTON", buttons[i].id, buttons[i].label, x, cy - margin - bh, bw, bh, style, 0});
        x += bw + gap;
    }
    // No owner and task-modal: every enabled top-level window of the thread waits.
    HWND real_owner = owner != nullptr && W(owner) != nullptr ? TopLevel(W(owner))->handle : nullptr;
    std::vector<HWND> disabled;
    if (real_owner == nullptr && (type & MB_TASKMODAL)) {
        for (Window* tw : S().toplevels)
            if (tw->queue.get() == &CurrentQueue() && tw->Visible() && !(tw->style & WS_DISABLED))
                disabled.push_back(tw->handle);
        for (HWND hh : disabled)
            EnableWindow(hh, FALSE);
    }
    UINT icon_kind = type & MB_ICONMASK;
    MessageBeep(icon_kind);
    HWND dlg = CreateDialogFromTemplate(t, real_owner, BoxProc, reinterpret_cast<LPARAM>(&info));
    int result = IDCANCEL;
    if (dlg != nullptr) {
        if (!info.has_cancel && (type & MB_TYPEMASK) != MB_OK)
            EnableMenuItem(GetSystemMenu(dlg, FALSE), SC_CLOSE, MF_GRAYED);
        SetPropA(dlg, "qsm.messagebox", reinterpret_cast<HANDLE>(1));
        Ctl<DialogState>(dlg).saved_focus = GetDlgItem(dlg, buttons[def].id);
        Ctl<DialogState>(dlg).def_id = buttons[def].id;
        result = static_cast<int>(RunModal(dlg, real_owner));
    }
    for (HWND hh : disabled)
        if (IsWindow(hh)) EnableWindow(hh, TRUE);
    return result;
}

int MessageBoxExA(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD) {
    return MessageBoxA(owner, text, caption, type);
}
