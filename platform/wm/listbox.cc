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
    MousePress press;  // selecting by dragging
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

bool Valid(const ListState& st, WPARAM i) {
    return static_cast<int>(static_cast<INT_PTR>(i)) >= 0 && static_cast<INT_PTR>(i) < Count(st);
}

bool OwnerDrawn(DWORD style) {
    return (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
}

bool HasHScroll(HWND h) {
    return reinterpret_cast<uintptr_t>(GetPropA(h, "qsm.hscroll")) != 0;
}

// ---- message handlers ----

LRESULT OnCreate(HWND h, ListState& st) {
    DWORD style = StyleOf(h);
    if (style & WS_VSCROLL) SetPropA(h, "qsm.vscroll", reinterpret_cast<HANDLE>(1));
    if (style & WS_HSCROLL) SetPropA(h, "qsm.hscroll", reinterpret_cast<HANDLE>(1));
    // The bars show up when there is something to scroll.
    if (!(style & LBS_DISABLENOSCROLL)) ShowScrollBar(h, SB_BOTH, FALSE);
    UpdateScroll(h, st);
    return 0;
}

LRESULT OnSize(HWND h, ListState& st) {
    SetTop(h, st, st.top);
    return 0;
}

// A new font measures the items again, unless their owner gave their height.
LRESULT OnSetFont(HWND h, ListState& st, HFONT font, bool redraw) {
    st.font = font;
    if (!OwnerDrawn(StyleOf(h))) st.item_height = 0;
    UpdateScroll(h, st);
    if (redraw) InvalidateRect(h, nullptr, TRUE);
    return 0;
}

LRESULT OnSetFocus(HWND h, ListState& st) {
    st.focus = true;
    if (st.caret < 0 && Count(st) > 0) st.caret = st.cur >= 0 ? st.cur : 0;
    InvalidateItem(h, st, st.caret);
    NotifyLb(h, st, LBN_SETFOCUS);
    return 0;
}

LRESULT OnKillFocus(HWND h, ListState& st) {
    st.focus = false;
    InvalidateItem(h, st, st.caret);
    NotifyLb(h, st, LBN_KILLFOCUS);
    return 0;
}

// A press selects the item under the pointer and holds on for dragging the selection; the list of a combo
// box leaves the focus where it is.
LRESULT OnLButtonDown(HWND h, ListState& st, WPARAM keys, POINT p) {
    if (st.combo == nullptr && GetFocus() != h) SetFocus(h);
    if (Count(st) == 0) return 0;
    ClickItem(h, st, IndexAt(h, st, p), keys, false);
    st.press.Begin(h);
    return 0;
}

LRESULT OnMouseMove(HWND h, ListState& st, WPARAM keys, POINT p) {
    if (!st.press.held || Count(st) == 0) return 0;
    DWORD style = StyleOf(h);
    int i = IndexAt(h, st, p);
    if (!(style & LBS_MULTIPLESEL) && i != st.caret)
        ClickItem(h, st, i, keys, (style & LBS_EXTENDEDSEL) != 0);
    return 0;
}

LRESULT OnLButtonDblClk(HWND h, ListState& st) {
    if (Count(st) > 0) NotifyLb(h, st, LBN_DBLCLK);
    return 0;
}

// The arrow and paging keys move the caret (and in a single or extended list the selection with it); the
// space bar toggles an item of a multiple-selection list; Left and Right scroll sideways.
LRESULT OnKeyDown(HWND h, ListState& st, WPARAM key) {
    if (Count(st) == 0) return 0;
    DWORD style = StyleOf(h);
    int i = st.caret < 0 ? 0 : st.caret;
    int vis = VisibleCount(h, st);
    switch (key) {
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
            if (HasHScroll(h)) SendMessageA(h, WM_HSCROLL, key == VK_LEFT ? SB_LINELEFT : SB_LINERIGHT, 0);
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

// A typed character selects the next item that starts with it.
LRESULT OnChar(HWND h, ListState& st, WPARAM ch) {
    if (!HasStrings(StyleOf(h)) || Count(st) == 0) return 0;
    char c[2] = {static_cast<char>(ch), 0};
    int i = Find(st, st.caret, c, false);
    if (i != LB_ERR) ClickItem(h, st, i, 0, false);
    return 0;
}

LRESULT OnVScroll(HWND h, ListState& st, WPARAM request) {
    int top = st.top;
    if (ScrollRequestTarget(request, st.top, 1, VisibleCount(h, st), Count(st), &top)) SetTop(h, st, top);
    return 0;
}

LRESULT OnHScroll(HWND h, ListState& st, WPARAM request) {
    RECT r = ClientRectOf(h);
    int page = r.right - r.left;
    int pos = st.hpos;
    if (!ScrollRequestTarget(request, st.hpos, 8, page, st.hextent, &pos)) return 0;
    pos = std::clamp(pos, 0, std::max(0, st.hextent - page));
    if (pos != st.hpos) {
        st.hpos = pos;
        InvalidateRect(h, nullptr, TRUE);
    }
    UpdateScroll(h, st);
    return 0;
}

LRESULT OnAddString(HWND h, ListState& st, LPARAM item) {
    return Insert(h, st, -1, item, (StyleOf(h) & LBS_SORT) != 0);
}

LRESULT OnInsertString(HWND h, ListState& st, WPARAM at, LPARAM item) {
    return Insert(h, st, static_cast<int>(static_cast<INT_PTR>(at)), item, false);
}

// Removes an item (an owner-drawn one is announced to the owner) and returns how many are left.
LRESULT OnDeleteString(HWND h, ListState& st, WPARAM index) {
    if (!Valid(st, index)) return LB_ERR;
    int i = static_cast<int>(index);
    Item gone = st.items[static_cast<size_t>(i)];
    st.items.erase(st.items.begin() + i);
    if (OwnerDrawn(StyleOf(h))) {
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

LRESULT OnResetContent(HWND h, ListState& st) {
    st.items.clear();
    st.cur = st.caret = st.anchor = -1;
    st.top = 0;
    InvalidateRect(h, nullptr, TRUE);
    UpdateScroll(h, st);
    return 0;
}

// LB_GETTEXT: the text with its NUL, or for a list without strings the item's data.
LRESULT OnGetText(HWND h, const ListState& st, WPARAM index, LPARAM buffer) {
    if (!Valid(st, index)) return LB_ERR;
    const Item& it = st.items[index];
    if (!HasStrings(StyleOf(h))) {
        if (buffer) memcpy(reinterpret_cast<void*>(buffer), &it.data, sizeof it.data);
        return sizeof it.data;
    }
    if (buffer) memcpy(reinterpret_cast<char*>(buffer), it.text.c_str(), it.text.size() + 1);
    return static_cast<LRESULT>(it.text.size());
}

LRESULT OnGetTextLen(HWND h, const ListState& st, WPARAM index) {
    if (!Valid(st, index)) return LB_ERR;
    return HasStrings(StyleOf(h)) ? static_cast<LRESULT>(st.items[index].text.size())
                                  : static_cast<LRESULT>(sizeof(DWORD_PTR));
}

LRESULT OnSetItemData(ListState& st, WPARAM index, LPARAM data) {
    if (!Valid(st, index)) return LB_ERR;
    st.items[index].data = static_cast<DWORD_PTR>(data);
    return TRUE;
}

// Selects an item, or with -1 none, of a single-selection list and brings it into view.
LRESULT OnSetCurSel(HWND h, ListState& st, WPARAM index) {
    if (MultiSel(StyleOf(h))) return LB_ERR;
    int i = static_cast<int>(static_cast<INT_PTR>(index));
    if (i >= Count(st)) i = -1;
    SelectSingle(h, st, i);
    if (i >= 0) {
        SetCaret(h, st, i);
        EnsureVisible(h, st, i);
    }
    return i < 0 && static_cast<INT_PTR>(index) != -1 ? LB_ERR : i;
}

LRESULT OnGetCurSel(HWND h, const ListState& st) {
    return MultiSel(StyleOf(h)) ? st.caret : st.cur;
}

// LB_SETSEL of a multiple-selection list: one item, or all with -1.
LRESULT OnSetSel(HWND h, ListState& st, WPARAM on, LPARAM index) {
    if (!MultiSel(StyleOf(h))) return LB_ERR;
    int i = static_cast<int>(index);
    if (i == -1) {
        for (auto& it : st.items)
            it.selected = on != 0;
        InvalidateRect(h, nullptr, TRUE);
        return 0;
    }
    if (i < 0 || i >= Count(st)) return LB_ERR;
    st.items[static_cast<size_t>(i)].selected = on != 0;
    InvalidateItem(h, st, i);
    return 0;
}

LRESULT OnGetSel(HWND h, const ListState& st, WPARAM index) {
    return Valid(st, index) ? (IsSelected(h, st, static_cast<int>(index)) ? 1 : 0) : LB_ERR;
}

LRESULT OnGetSelCount(HWND h, const ListState& st) {
    if (!MultiSel(StyleOf(h))) return LB_ERR;
    return std::count_if(st.items.begin(), st.items.end(), [](const Item& it) { return it.selected; });
}

LRESULT OnGetSelItems(HWND h, const ListState& st, WPARAM room, INT* out) {
    if (!MultiSel(StyleOf(h))) return LB_ERR;
    int n = 0;
    for (int i = 0; i < Count(st) && n < static_cast<int>(room); ++i)
        if (st.items[static_cast<size_t>(i)].selected) {
            if (out != nullptr) out[n] = i;
            ++n;
        }
    return n;
}

LRESULT OnSelItemRange(HWND h, ListState& st, WPARAM on, LPARAM range) {
    if (!MultiSel(StyleOf(h))) return LB_ERR;
    int a = LOWORD(static_cast<DWORD_PTR>(range)), b = HIWORD(static_cast<DWORD_PTR>(range));
    for (int i = std::min(a, b); i <= std::max(a, b) && i < Count(st); ++i)
        st.items[static_cast<size_t>(i)].selected = on != 0;
    InvalidateRect(h, nullptr, TRUE);
    return 0;
}

// LB_FINDSTRING and LB_FINDSTRINGEXACT; a list without strings compares the items' data.
LRESULT OnFindString(HWND h, const ListState& st, UINT msg, WPARAM after, LPARAM what) {
    if (!HasStrings(StyleOf(h))) {
        for (int i = 0; i < Count(st); ++i)
            if (st.items[static_cast<size_t>(i)].data == static_cast<DWORD_PTR>(what)) return i;
        return LB_ERR;
    }
    return Count(st) == 0 ? LB_ERR
                          : Find(st, static_cast<int>(static_cast<INT_PTR>(after)),
                                 reinterpret_cast<LPCSTR>(what), msg == LB_FINDSTRINGEXACT);
}

LRESULT OnSelectString(HWND h, ListState& st, WPARAM after, LPCSTR prefix) {
    if (Count(st) == 0) return LB_ERR;
    int i = Find(st, static_cast<int>(static_cast<INT_PTR>(after)), prefix, false);
    if (i == LB_ERR) return LB_ERR;
    if (MultiSel(StyleOf(h))) return LB_ERR;
    SelectSingle(h, st, i);
    SetCaret(h, st, i);
    EnsureVisible(h, st, i);
    return i;
}

LRESULT OnSetTopIndex(HWND h, ListState& st, WPARAM index) {
    if (!Valid(st, index) && index != 0) return LB_ERR;
    SetTop(h, st, static_cast<int>(index));
    return 0;
}

LRESULT OnSetCaretIndex(HWND h, ListState& st, WPARAM index, LPARAM partly_visible_is_enough) {
    if (!Valid(st, index)) return LB_ERR;
    SetCaret(h, st, static_cast<int>(index));
    if (!partly_visible_is_enough) EnsureVisible(h, st, static_cast<int>(index));
    return 0;
}

LRESULT OnSetAnchorIndex(ListState& st, WPARAM index) {
    if (!Valid(st, index)) return LB_ERR;
    st.anchor = static_cast<int>(index);
    return 0;
}

LRESULT OnSetItemHeight(HWND h, ListState& st, LPARAM height) {
    if (LOWORD(static_cast<DWORD_PTR>(height)) == 0 || LOWORD(static_cast<DWORD_PTR>(height)) > 255)
        return LB_ERR;
    st.item_height = LOWORD(static_cast<DWORD_PTR>(height));
    InvalidateRect(h, nullptr, TRUE);
    UpdateScroll(h, st);
    return 0;
}

LRESULT OnGetItemRect(HWND h, ListState& st, WPARAM index, RECT* r) {
    if (!Valid(st, index) && !(index == 0 && Count(st) == 0)) return LB_ERR;
    if (r != nullptr) *r = ItemRect(h, st, static_cast<int>(index));
    return 1;
}

// LB_ITEMFROMPOINT: the nearest item in the low word, 1 in the high word when the point is outside it.
LRESULT OnItemFromPoint(HWND h, ListState& st, POINT p) {
    RECT c = ClientRectOf(h);
    int i = st.top + static_cast<int>(p.y / ItemHeight(h, st));
    bool outside = !PtInRect(&c, p) || i >= Count(st) || p.y < 0;
    i = std::clamp(i, 0, std::max(0, Count(st) - 1));
    return MAKELONG(static_cast<WORD>(i), outside ? 1 : 0);
}

LRESULT OnSetHorizontalExtent(HWND h, ListState& st, WPARAM extent) {
    st.hextent = static_cast<int>(extent);
    if (HasHScroll(h)) {
        RECT r = ClientRectOf(h);
        st.hpos = std::clamp(st.hpos, 0, std::max(0, st.hextent - static_cast<int>(r.right - r.left)));
        UpdateScroll(h, st);
    }
    InvalidateRect(h, nullptr, TRUE);
    return 0;
}

}  // namespace

void SetListBoxOwnerCombo(HWND list, HWND combo) {
    Ctl<ListState>(list).combo = combo;
}

LRESULT ListBoxProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (W(h) == nullptr) return 0;
    ListState& st = Ctl<ListState>(h);
    switch (msg) {
        case WM_CREATE:
            return OnCreate(h, st);
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(h, msg, [&](HDC dc) { PaintList(h, st, dc); });
        case WM_SIZE:
            return OnSize(h, st);
        case WM_SETFONT:
            return OnSetFont(h, st, reinterpret_cast<HFONT>(wparam), lparam != 0);
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(st.font);
        case WM_SETFOCUS:
            return OnSetFocus(h, st);
        case WM_KILLFOCUS:
            return OnKillFocus(h, st);
        case WM_ENABLE:
            return Redraw(h, TRUE);
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_LBUTTONDOWN:
            return OnLButtonDown(h, st, wparam, PointOf(lparam));
        case WM_MOUSEMOVE:
            return OnMouseMove(h, st, wparam, PointOf(lparam));
        case WM_LBUTTONUP:
            return st.press.OnLButtonUp(h);
        case WM_CAPTURECHANGED:
            return st.press.OnCaptureChanged();
        case WM_LBUTTONDBLCLK:
            return OnLButtonDblClk(h, st);
        case WM_KEYDOWN:
            return OnKeyDown(h, st, wparam);
        case WM_CHAR:
            return OnChar(h, st, wparam);
        case WM_VSCROLL:
            return OnVScroll(h, st, wparam);
        case WM_HSCROLL:
            return OnHScroll(h, st, wparam);
        case LB_ADDSTRING:
            return OnAddString(h, st, lparam);
        case LB_INSERTSTRING:
            return OnInsertString(h, st, wparam, lparam);
        case LB_DELETESTRING:
            return OnDeleteString(h, st, wparam);
        case LB_RESETCONTENT:
            return OnResetContent(h, st);
        case LB_GETCOUNT:
            return Count(st);
        case LB_GETTEXT:
            return OnGetText(h, st, wparam, lparam);
        case LB_GETTEXTLEN:
            return OnGetTextLen(h, st, wparam);
        case LB_GETITEMDATA:
            return Valid(st, wparam) ? static_cast<LRESULT>(st.items[wparam].data) : LB_ERR;
        case LB_SETITEMDATA:
            return OnSetItemData(st, wparam, lparam);
        case LB_SETCURSEL:
            return OnSetCurSel(h, st, wparam);
        case LB_GETCURSEL:
            return OnGetCurSel(h, st);
        case LB_SETSEL:
            return OnSetSel(h, st, wparam, lparam);
        case LB_GETSEL:
            return OnGetSel(h, st, wparam);
        case LB_GETSELCOUNT:
            return OnGetSelCount(h, st);
        case LB_GETSELITEMS:
            return OnGetSelItems(h, st, wparam, reinterpret_cast<INT*>(lparam));
        case LB_SELITEMRANGE:
            return OnSelItemRange(h, st, wparam, lparam);
        case LB_FINDSTRING:
        case LB_FINDSTRINGEXACT:
            return OnFindString(h, st, msg, wparam, lparam);
        case LB_SELECTSTRING:
            return OnSelectString(h, st, wparam, reinterpret_cast<LPCSTR>(lparam));
        case LB_GETTOPINDEX:
            return st.top;
        case LB_SETTOPINDEX:
            return OnSetTopIndex(h, st, wparam);
        case LB_GETCARETINDEX:
            return st.caret;
        case LB_SETCARETINDEX:
            return OnSetCaretIndex(h, st, wparam, lparam);
        case LB_GETANCHORINDEX:
            return st.anchor;
        case LB_SETANCHORINDEX:
            return OnSetAnchorIndex(st, wparam);
        case LB_GETITEMHEIGHT:
            return ItemHeight(h, st);
        case LB_SETITEMHEIGHT:
            return OnSetItemHeight(h, st, lparam);
        case LB_GETITEMRECT:
            return OnGetItemRect(h, st, wparam, reinterpret_cast<RECT*>(lparam));
        case LB_ITEMFROMPOINT:
            return OnItemFromPoint(h, st, PointOf(lparam));
        case LB_GETHORIZONTALEXTENT:
            return st.hextent;
        case LB_SETHORIZONTALEXTENT:
            return OnSetHorizontalExtent(h, st, wparam);
        default:
            return DefWindowProcA(h, msg, wparam, lparam);
    }
}

}  // namespace qsm::wm
