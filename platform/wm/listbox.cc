// The list box: strings or owner-drawn items with data, single, multiple and extended selection, a caret,
// a top index, vertical and horizontal scrolling, and its notifications.
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/wm/control_util.h"

namespace qsm::wm {
namespace {

struct Item {
    std::string text;
    DWORD_PTR data = 0;
    bool selected = false;
    int height = 0;
};

struct ListState {
    std::vector<Item> items;
    int caret = -1;  // focus item
    int anchor = -1;
    int cur = -1;  // the selection of a single-selection list
    int top = 0;
    int item_height = 0;
    int hextent = 0;
    int hpos = 0;
    bool focus = false;
    bool tracking = false;
    HFONT font = nullptr;
    HWND combo = nullptr;  // the combo box that owns this list
};

bool HasStrings(DWORD style) {
    return (style & LBS_HASSTRINGS) || !(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE));
}
bool MultiSel(DWORD style) {
    return (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
}

HWND NotifyTarget(HWND h, const ListState& st) {
    return st.combo != nullptr ? st.combo : GetParent(h);
}

void NotifyLb(HWND h, const ListState& st, WORD code) {
    if (st.combo != nullptr) {
        // The combo box hears of its list's changes as list notifications.
        SendMessageA(st.combo, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(h)), code),
                     reinterpret_cast<LPARAM>(h));
        return;
    }
    if (StyleOf(h) & LBS_NOTIFY) Notify(h, code);
}

int ItemHeight(HWND h, ListState& st) {
    if (st.item_height > 0) return st.item_height;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FontOr(st.font));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    st.item_height = std::max<int>(1, tm.tmHeight);
    DWORD style = StyleOf(h);
    if (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) {
        HWND parent = NotifyTarget(h, st);
        MEASUREITEMSTRUCT mis{ODT_LISTBOX, static_cast<UINT>(GetDlgCtrlID(h)), 0,
                              0,           static_cast<UINT>(st.item_height),  0};
        if (parent != nullptr)
            SendMessageA(parent, WM_MEASUREITEM, static_cast<WPARAM>(GetDlgCtrlID(h)),
                         reinterpret_cast<LPARAM>(&mis));
        if (mis.itemHeight > 0) st.item_height = static_cast<int>(mis.itemHeight);
    }
    return st.item_height;
}

int Count(const ListState& st) {
    return static_cast<int>(st.items.size());
}

int VisibleCount(HWND h, ListState& st) {
    RECT r = ClientRectOf(h);
    return std::max(1, static_cast<int>((r.bottom - r.top) / ItemHeight(h, st)));
}

// Lists made with scroll bars show them while there is something to scroll.
void UpdateScroll(HWND h, ListState& st) {
    DWORD style = StyleOf(h);
    if (GetPropA(h, "qsm.vscroll") != nullptr) {
        UINT mask =
            SIF_RANGE | SIF_PAGE | SIF_POS | ((style & LBS_DISABLENOSCROLL) ? SIF_DISABLENOSCROLL : 0u);
        SCROLLINFO si{sizeof si, mask, 0, std::max(0, Count(st) - 1), static_cast<UINT>(VisibleCount(h, st)),
                      st.top,    0};
        SetScrollInfo(h, SB_VERT, &si, TRUE);
    }
    if (GetPropA(h, "qsm.hscroll") != nullptr) {
        RECT r = ClientRectOf(h);
        SCROLLINFO si{sizeof si,
                      SIF_RANGE | SIF_PAGE | SIF_POS,
                      0,
                      std::max(0, st.hextent - 1),
                      static_cast<UINT>(r.right - r.left),
                      st.hpos,
                      0};
        SetScrollInfo(h, SB_HORZ, &si, TRUE);
    }
}

void SetTop(HWND h, ListState& st, int top) {
    int vis = VisibleCount(h, st);
    top = std::clamp(top, 0, std::max(0, Count(st) - vis));
    if (top != st.top) {
        st.top = top;
        InvalidateRect(h, nullptr, TRUE);
    }
    UpdateScroll(h, st);
}

void EnsureVisible(HWND h, ListState& st, int i) {
    if (i < 0) return;
    int vis = VisibleCount(h, st);
    if (i < st.top)
        SetTop(h, st, i);
    else if (i >= st.top + vis)
        SetTop(h, st, i - vis + 1);
}

RECT ItemRect(HWND h, ListState& st, int i) {
    RECT c = ClientRectOf(h);
    int ih = ItemHeight(h, st);
    int y = (i - st.top) * ih;
    return RECT{c.left, y, c.right, y + ih};
}

void InvalidateItem(HWND h, ListState& st, int i) {
    if (i < 0 || i >= Count(st)) return;
    RECT r = ItemRect(h, st, i);
    InvalidateRect(h, &r, TRUE);
}

bool IsSelected(HWND h, const ListState& st, int i) {
    if (i < 0 || i >= Count(st)) return false;
    return MultiSel(StyleOf(h)) ? st.items[static_cast<size_t>(i)].selected : st.cur == i;
}

void SetCaret(HWND h, ListState& st, int i) {
    int old = st.caret;
    st.caret = i;
    InvalidateItem(h, st, old);
    InvalidateItem(h, st, i);
}

void SelectSingle(HWND h, ListState& st, int i) {
    if (st.cur == i) return;
    InvalidateItem(h, st, st.cur);
    st.cur = i;
    InvalidateItem(h, st, i);
}

void PaintList(HWND h, ListState& st, HDC dc) {
    DWORD style = StyleOf(h);
    HBRUSH brush = ControlColor(h, dc, WM_CTLCOLORLISTBOX);
    RECT c = ClientRectOf(h);
    FillRect(dc, &c, brush);
    HGDIOBJ old_font = SelectObject(dc, FontOr(st.font));
    bool owner = (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
    COLORREF text = GetTextColor(dc), bk = GetBkColor(dc);
    for (int i = st.top; i < Count(st); ++i) {
        RECT r = ItemRect(h, st, i);
        if (r.top >= c.bottom) break;
        bool sel = IsSelected(h, st, i);
        bool focus = st.focus && i == st.caret;
        if (owner) {
            // The owner draws with the contents shifted by the horizontal scroll position.
            POINT old_org;
            SetWindowOrgEx(dc, st.hpos, 0, &old_org);
            RECT ir = r;
            OffsetRect(&ir, st.hpos, 0);
            ir.right = std::max(ir.right, static_cast<LONG>(st.hextent));
            DRAWITEMSTRUCT dis{ODT_LISTBOX,
                               static_cast<UINT>(GetDlgCtrlID(h)),
                               static_cast<UINT>(i),
                               ODA_DRAWENTIRE,
                               (sel ? ODS_SELECTED : 0u) | (focus ? ODS_FOCUS : 0u) |
                                   (IsWindowEnabled(h) ? 0u : ODS_DISABLED),
                               h,
                               dc,
                               ir,
                               st.items[static_cast<size_t>(i)].data};
            SendMessageA(NotifyTarget(h, st), WM_DRAWITEM, static_cast<WPARAM>(GetDlgCtrlID(h)),
                         reinterpret_cast<LPARAM>(&dis));
            SetWindowOrgEx(dc, old_org.x, old_org.y, nullptr);
            continue;
        }
        if (sel) {
            FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
        } else {
            SetTextColor(dc, IsWindowEnabled(h) ? text : GetSysColor(COLOR_GRAYTEXT));
            SetBkColor(dc, bk);
        }
        SetBkMode(dc, TRANSPARENT);
        const std::string& s = st.items[static_cast<size_t>(i)].text;
        RECT t = r;
        t.left += 2 - st.hpos;
        DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &t,
                  DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | ((style & LBS_USETABSTOPS) ? DT_EXPANDTABS : 0));
        if (focus) DrawFocusRect(dc, &r);
    }
    SetTextColor(dc, text);
    SetBkColor(dc, bk);
    SelectObject(dc, old_font);
}

int Insert(HWND h, ListState& st, int at, LPARAM lparam, bool sorted) {
    DWORD style = StyleOf(h);
    Item item;
    if (HasStrings(style)) {
        auto* s = reinterpret_cast<LPCSTR>(lparam);
        item.text = s != nullptr ? s : "";
    } else {
        item.data = static_cast<DWORD_PTR>(lparam);
    }
    if (sorted && HasStrings(style)) {
        at = 0;
        while (at < Count(st) &&
               strcasecmp(st.items[static_cast<size_t>(at)].text.c_str(), item.text.c_str()) <= 0)
            ++at;
    } else if (at < 0 || at > Count(st)) {
        at = Count(st);
    }
    if (style & LBS_OWNERDRAWVARIABLE) {
        MEASUREITEMSTRUCT mis{ODT_LISTBOX, static_cast<UINT>(GetDlgCtrlID(h)),   static_cast<UINT>(at),
                              0,           static_cast<UINT>(ItemHeight(h, st)), item.data};
        SendMessageA(NotifyTarget(h, st), WM_MEASUREITEM, static_cast<WPARAM>(GetDlgCtrlID(h)),
                     reinterpret_cast<LPARAM>(&mis));
        item.height = static_cast<int>(mis.itemHeight);
    }
    st.items.insert(st.items.begin() + at, item);
    if (st.cur >= at) ++st.cur;
    if (st.caret >= at) ++st.caret;
    if (st.anchor >= at) ++st.anchor;
    InvalidateRect(h, nullptr, TRUE);
    UpdateScroll(h, st);
    return at;
}

int Find(const ListState& st, int after, LPCSTR text, bool exact) {
    if (text == nullptr) return LB_ERR;
    int n = Count(st);
    size_t len = strlen(text);
    for (int k = 1; k <= n; ++k) {
        int i = (after + k) % n;
        if (i < 0) i += n;
        const std::string& s = st.items[static_cast<size_t>(i)].text;
        bool hit = exact ? strcasecmp(s.c_str(), text) == 0 : strncasecmp(s.c_str(), text, len) == 0;
        if (hit) return i;
    }
    return LB_ERR;
}

int IndexAt(HWND h, ListState& st, POINT p) {
    int i = st.top + static_cast<int>(p.y >= 0 ? p.y / ItemHeight(h, st) : -1);
    return std::clamp(i, 0, std::max(0, Count(st) - 1));
}

void ClickItem(HWND h, ListState& st, int i, WPARAM keys, bool drag) {
    DWORD style = StyleOf(h);
    if (i < 0 || i >= Count(st) || (style & LBS_NOSEL)) return;
    if (style & LBS_MULTIPLESEL) {
        if (drag) return;
        st.items[static_cast<size_t>(i)].selected = !st.items[static_cast<size_t>(i)].selected;
        SetCaret(h, st, i);
        InvalidateItem(h, st, i);
    } else if (style & LBS_EXTENDEDSEL) {
        bool shift = (keys & MK_SHIFT) != 0 || drag, ctrl = (keys & MK_CONTROL) != 0;
        if (!shift) st.anchor = i;
        if (!ctrl) {
            for (auto& it : st.items)
                it.selected = false;
        }
        int a = std::min(st.anchor < 0 ? i : st.anchor, i), b = std::max(st.anchor < 0 ? i : st.anchor, i);
        if (shift) {
            for (int k = a; k <= b; ++k)
                st.items[static_cast<size_t>(k)].selected = true;
        } else if (ctrl) {
            st.items[static_cast<size_t>(i)].selected = !st.items[static_cast<size_t>(i)].selected;
        } else {
            st.items[static_cast<size_t>(i)].selected = true;
        }
        SetCaret(h, st, i);
        InvalidateRect(h, nullptr, TRUE);
    } else {
        SelectSingle(h, st, i);
        SetCaret(h, st, i);
    }
    EnsureVisible(h, st, i);
    NotifyLb(h, st, LBN_SELCHANGE);
}

}  // namespace

void SetListBoxOwnerCombo(HWND list, HWND combo) {
    Ctl<ListState>(list).combo = combo;
}

LRESULT ListBoxProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (W(h) == nullptr) return 0;
    ListState& st = Ctl<ListState>(h);
    DWORD style = StyleOf(h);
    auto valid = [&](WPARAM i) {
        return static_cast<int>(static_cast<INT_PTR>(i)) >= 0 && static_cast<INT_PTR>(i) < Count(st);
    };
    switch (msg) {
        case WM_CREATE:
            if (style & WS_VSCROLL) SetPropA(h, "qsm.vscroll", reinterpret_cast<HANDLE>(1));
            if (style & WS_HSCROLL) SetPropA(h, "qsm.hscroll", reinterpret_cast<HANDLE>(1));
            // The bars show up when there is something to scroll.
            if (!(style & LBS_DISABLENOSCROLL)) ShowScrollBar(h, SB_BOTH, FALSE);
            UpdateScroll(h, st);
            return 0;
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(h, msg, [&](HDC dc) { PaintList(h, st, dc); });
        case WM_SIZE:
            SetTop(h, st, st.top);
            return 0;
        case WM_SETFONT:
            st.font = reinterpret_cast<HFONT>(wparam);
            if (!(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE))) st.item_height = 0;
            UpdateScroll(h, st);
            if (lparam) InvalidateRect(h, nullptr, TRUE);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(st.font);
        case WM_SETFOCUS:
            st.focus = true;
            if (st.caret < 0 && Count(st) > 0) st.caret = st.cur >= 0 ? st.cur : 0;
            InvalidateItem(h, st, st.caret);
            NotifyLb(h, st, LBN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            st.focus = false;
            InvalidateItem(h, st, st.caret);
            NotifyLb(h, st, LBN_KILLFOCUS);
            return 0;
        case WM_ENABLE:
            InvalidateRect(h, nullptr, TRUE);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_LBUTTONDOWN: {
            if (st.combo == nullptr && GetFocus() != h) SetFocus(h);
            if (Count(st) == 0) return 0;
            int i = IndexAt(h, st, POINT{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
            ClickItem(h, st, i, wparam, false);
            st.tracking = true;
            SetCapture(h);
            return 0;
        }
        case WM_MOUSEMOVE: {
            if (!st.tracking || Count(st) == 0) return 0;
            POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            int i = IndexAt(h, st, p);
            if (!(style & LBS_MULTIPLESEL) && i != st.caret)
                ClickItem(h, st, i, wparam, (style & LBS_EXTENDEDSEL) != 0);
            return 0;
        }
        case WM_LBUTTONUP:
            if (st.tracking) {
                st.tracking = false;
                if (GetCapture() == h) ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            st.tracking = false;
            return 0;
        case WM_LBUTTONDBLCLK:
            if (Count(st) > 0) NotifyLb(h, st, LBN_DBLCLK);
            return 0;
        case WM_KEYDOWN: {
            if (Count(st) == 0) return 0;
            int i = st.caret < 0 ? 0 : st.caret;
            int vis = VisibleCount(h, st);
            switch (wparam) {
                case VK_UP:
                    --i;
                    break;
                case VK_DOWN:
                    ++i;
                    break;
                case VK_PRIOR:
                    i -= vis - 1;
                    break;
                case VK_NEXT:
                    i += vis - 1;
                    break;
                case VK_HOME:
                    i = 0;
                    break;
                case VK_END:
                    i = Count(st) - 1;
                    break;
                case VK_SPACE:
                    if (style & LBS_MULTIPLESEL) ClickItem(h, st, i, 0, false);
                    return 0;
                case VK_LEFT:
                case VK_RIGHT:
                    if (reinterpret_cast<uintptr_t>(GetPropA(h, "qsm.hscroll")) != 0)
                        SendMessageA(h, WM_HSCROLL, wparam == VK_LEFT ? SB_LINELEFT : SB_LINERIGHT, 0);
                    return 0;
                default:
                    return 0;
            }
            i = std::clamp(i, 0, Count(st) - 1);
            if (style & LBS_MULTIPLESEL) {
                SetCaret(h, st, i);
                EnsureVisible(h, st, i);
            } else {
                bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
                ClickItem(h, st, i, shift ? MK_SHIFT : 0, false);
            }
            return 0;
        }
        case WM_CHAR: {
            if (!HasStrings(style) || Count(st) == 0) return 0;
            char c[2] = {static_cast<char>(wparam), 0};
            int i = Find(st, st.caret, c, false);
            if (i != LB_ERR) ClickItem(h, st, i, 0, false);
            return 0;
        }
        case WM_VSCROLL: {
            int vis = VisibleCount(h, st);
            int top = st.top;
            switch (LOWORD(wparam)) {
                case SB_LINEUP:
                    --top;
                    break;
                case SB_LINEDOWN:
                    ++top;
                    break;
                case SB_PAGEUP:
                    top -= vis;
                    break;
                case SB_PAGEDOWN:
                    top += vis;
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    top = HIWORD(wparam);
                    break;
                case SB_TOP:
                    top = 0;
                    break;
                case SB_BOTTOM:
                    top = Count(st);
                    break;
                default:
                    return 0;
            }
            SetTop(h, st, top);
            return 0;
        }
        case WM_HSCROLL: {
            RECT r = ClientRectOf(h);
            int page = r.right - r.left;
            int pos = st.hpos;
            switch (LOWORD(wparam)) {
                case SB_LINELEFT:
                    pos -= 8;
                    break;
                case SB_LINERIGHT:
                    pos += 8;
                    break;
                case SB_PAGELEFT:
                    pos -= page;
                    break;
                case SB_PAGERIGHT:
                    pos += page;
                    break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION:
                    pos = HIWORD(wparam);
                    break;
                case SB_LEFT:
                    pos = 0;
                    break;
                case SB_RIGHT:
                    pos = st.hextent;
                    break;
                default:
                    return 0;
            }
            pos = std::clamp(pos, 0, std::max(0, st.hextent - page));
            if (pos != st.hpos) {
                st.hpos = pos;
                InvalidateRect(h, nullptr, TRUE);
            }
            UpdateScroll(h, st);
            return 0;
        }
        case LB_ADDSTRING:
            return Insert(h, st, -1, lparam, (style & LBS_SORT) != 0);
        case LB_INSERTSTRING:
            return Insert(h, st, static_cast<int>(static_cast<INT_PTR>(wparam)), lparam, false);
        case LB_DELETESTRING: {
            if (!valid(wparam)) return LB_ERR;
            int i = static_cast<int>(wparam);
            Item gone = st.items[static_cast<size_t>(i)];
            st.items.erase(st.items.begin() + i);
            if (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) {
                DELETEITEMSTRUCT dis{ODT_LISTBOX, static_cast<UINT>(GetDlgCtrlID(h)), static_cast<UINT>(i), h,
                                     gone.data};
                SendMessageA(NotifyTarget(h, st), WM_DELETEITEM, static_cast<WPARAM>(GetDlgCtrlID(h)),
                             reinterpret_cast<LPARAM>(&dis));
            }
            auto fix = [&](int& v) {
                if (v == i)
                    v = -1;
                else if (v > i)
                    --v;
            };
            fix(st.cur);
            fix(st.caret);
            fix(st.anchor);
            SetTop(h, st, st.top);
            InvalidateRect(h, nullptr, TRUE);
            return Count(st);
        }
        case LB_RESETCONTENT:
            st.items.clear();
            st.cur = st.caret = st.anchor = -1;
            st.top = 0;
            InvalidateRect(h, nullptr, TRUE);
            UpdateScroll(h, st);
            return 0;
        case LB_GETCOUNT:
            return Count(st);
        case LB_GETTEXT: {
            if (!valid(wparam)) return LB_ERR;
            const Item& it = st.items[wparam];
            if (!HasStrings(style)) {
                if (lparam) memcpy(reinterpret_cast<void*>(lparam), &it.data, sizeof it.data);
                return sizeof it.data;
            }
            if (lparam) memcpy(reinterpret_cast<char*>(lparam), it.text.c_str(), it.text.size() + 1);
            return static_cast<LRESULT>(it.text.size());
        }
        case LB_GETTEXTLEN:
            if (!valid(wparam)) return LB_ERR;
            return HasStrings(style) ? static_cast<LRESULT>(st.items[wparam].text.size())
                                     : static_cast<LRESULT>(sizeof(DWORD_PTR));
        case LB_GETITEMDATA:
            return valid(wparam) ? static_cast<LRESULT>(st.items[wparam].data) : LB_ERR;
        case LB_SETITEMDATA:
            if (!valid(wparam)) return LB_ERR;
            st.items[wparam].data = static_cast<DWORD_PTR>(lparam);
            return TRUE;
        case LB_SETCURSEL: {
            if (MultiSel(style)) return LB_ERR;
            int i = static_cast<int>(static_cast<INT_PTR>(wparam));
            if (i >= Count(st)) i = -1;
            SelectSingle(h, st, i);
            if (i >= 0) {
                SetCaret(h, st, i);
                EnsureVisible(h, st, i);
            }
            return i < 0 && static_cast<INT_PTR>(wparam) != -1 ? LB_ERR : i;
        }
        case LB_GETCURSEL:
            if (MultiSel(style)) return st.caret;
            return st.cur;
        case LB_SETSEL: {
            if (!MultiSel(style)) return LB_ERR;
            int i = static_cast<int>(lparam);
            if (i == -1) {
                for (auto& it : st.items)
                    it.selected = wparam != 0;
                InvalidateRect(h, nullptr, TRUE);
                return 0;
            }
            if (i < 0 || i >= Count(st)) return LB_ERR;
            st.items[static_cast<size_t>(i)].selected = wparam != 0;
            InvalidateItem(h, st, i);
            return 0;
        }
        case LB_GETSEL:
            return valid(wparam) ? (IsSelected(h, st, static_cast<int>(wparam)) ? 1 : 0) : LB_ERR;
        case LB_GETSELCOUNT: {
            if (!MultiSel(style)) return LB_ERR;
            return std::count_if(st.items.begin(), st.items.end(),
                                 [](const Item& it) { return it.selected; });
        }
        case LB_GETSELITEMS: {
            if (!MultiSel(style)) return LB_ERR;
            auto* out = reinterpret_cast<INT*>(lparam);
            int n = 0;
            for (int i = 0; i < Count(st) && n < static_cast<int>(wparam); ++i)
                if (st.items[static_cast<size_t>(i)].selected) {
                    if (out != nullptr) out[n] = i;
                    ++n;
                }
            return n;
        }
        case LB_SELITEMRANGE: {
            if (!MultiSel(style)) return LB_ERR;
            int a = LOWORD(static_cast<DWORD_PTR>(lparam)), b = HIWORD(static_cast<DWORD_PTR>(lparam));
            for (int i = std::min(a, b); i <= std::max(a, b) && i < Count(st); ++i)
                st.items[static_cast<size_t>(i)].selected = wparam != 0;
            InvalidateRect(h, nullptr, TRUE);
            return 0;
        }
        case LB_FINDSTRING:
        case LB_FINDSTRINGEXACT:
            if (!HasStrings(style)) {
                for (int i = 0; i < Count(st); ++i)
                    if (st.items[static_cast<size_t>(i)].data == static_cast<DWORD_PTR>(lparam)) return i;
                return LB_ERR;
            }
            return Count(st) == 0 ? LB_ERR
                                  : Find(st, static_cast<int>(static_cast<INT_PTR>(wparam)),
                                         reinterpret_cast<LPCSTR>(lparam), msg == LB_FINDSTRINGEXACT);
        case LB_SELECTSTRING: {
            if (Count(st) == 0) return LB_ERR;
            int i = Find(st, static_cast<int>(static_cast<INT_PTR>(wparam)), reinterpret_cast<LPCSTR>(lparam),
                         false);
            if (i == LB_ERR) return LB_ERR;
            if (MultiSel(style)) return LB_ERR;
            SelectSingle(h, st, i);
            SetCaret(h, st, i);
            EnsureVisible(h, st, i);
            return i;
        }
        case LB_GETTOPINDEX:
            return st.top;
        case LB_SETTOPINDEX:
            if (!valid(wparam) && wparam != 0) return LB_ERR;
            SetTop(h, st, static_cast<int>(wparam));
            return 0;
        case LB_GETCARETINDEX:
            return st.caret;
        case LB_SETCARETINDEX:
            if (!valid(wparam)) return LB_ERR;
            SetCaret(h, st, static_cast<int>(wparam));
            if (!lparam) EnsureVisible(h, st, static_cast<int>(wparam));
            return 0;
        case LB_GETANCHORINDEX:
            return st.anchor;
        case LB_SETANCHORINDEX:
            if (!valid(wparam)) return LB_ERR;
            st.anchor = static_cast<int>(wparam);
            return 0;
        case LB_GETITEMHEIGHT:
            return ItemHeight(h, st);
        case LB_SETITEMHEIGHT:
            if (LOWORD(static_cast<DWORD_PTR>(lparam)) == 0 || LOWORD(static_cast<DWORD_PTR>(lparam)) > 255)
                return LB_ERR;
            st.item_height = LOWORD(static_cast<DWORD_PTR>(lparam));
            InvalidateRect(h, nullptr, TRUE);
            UpdateScroll(h, st);
            return 0;
        case LB_GETITEMRECT: {
            if (!valid(wparam) && !(wparam == 0 && Count(st) == 0)) return LB_ERR;
            if (auto* r = reinterpret_cast<RECT*>(lparam)) *r = ItemRect(h, st, static_cast<int>(wparam));
            return 1;
        }
        case LB_ITEMFROMPOINT: {
            POINT p{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            RECT c = ClientRectOf(h);
            int i = st.top + static_cast<int>(p.y / ItemHeight(h, st));
            bool outside = !PtInRect(&c, p) || i >= Count(st) || p.y < 0;
            i = std::clamp(i, 0, std::max(0, Count(st) - 1));
            return MAKELONG(static_cast<WORD>(i), outside ? 1 : 0);
        }
        case LB_GETHORIZONTALEXTENT:
            return st.hextent;
        case LB_SETHORIZONTALEXTENT: {
            st.hextent = static_cast<int>(wparam);
            if (reinterpret_cast<uintptr_t>(GetPropA(h, "qsm.hscroll")) != 0) {
                RECT r = ClientRectOf(h);
                st.hpos =
                    std::clamp(st.hpos, 0, std::max(0, st.hextent - static_cast<int>(r.right - r.left)));
                UpdateScroll(h, st);
            }
            InvalidateRect(h, nullptr, TRUE);
            return 0;
        }
        default:
            return DefWindowProcA(h, msg, wparam, lparam);
    }
}

}  // namespace qsm::wm
