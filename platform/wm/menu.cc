// Menus: menu objects, the menu bar of a top-level window, popup menus with their tracking loop, menus and
// accelerator tables from resources (in our own text form), and accelerator translation.
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "platform/wm/control_util.h"
#include "platform/wm/menu_resource.h"

namespace qsm::wm {
namespace {

struct MenuItem {
    UINT flags = 0;
    UINT_PTR id = 0;
    std::string text;
    HMENU sub = nullptr;
};

struct Menu {
    std::vector<MenuItem> items;
    bool popup = false;
};

std::map<uintptr_t, std::unique_ptr<Menu>>& Menus() {
    static auto* m = new std::map<uintptr_t, std::unique_ptr<Menu>>();
    return *m;
}
uintptr_t g_next_menu = 0x30000;

Menu* M(HMENU h) {
    auto it = Menus().find(reinterpret_cast<uintptr_t>(h));
    return it == Menus().end() ? nullptr : it->second.get();
}

HMENU NewMenu(bool popup) {
    uintptr_t v = g_next_menu;
    g_next_menu += 4;
    auto m = std::make_unique<Menu>();
    m->popup = popup;
    Menus()[v] = std::move(m);
    return reinterpret_cast<HMENU>(v);
}

// The item a command or position names; searches submenus for commands.
MenuItem* Find(HMENU h, UINT what, UINT flags, HMENU* holder = nullptr, int* index = nullptr) {
    Menu* m = M(h);
    if (m == nullptr) return nullptr;
    if (flags & MF_BYPOSITION) {
        if (what >= m->items.size()) return nullptr;
        if (holder != nullptr) *holder = h;
        if (index != nullptr) *index = static_cast<int>(what);
        return &m->items[what];
    }
    for (size_t i = 0; i < m->items.size(); ++i) {
        MenuItem& it = m->items[i];
        if (it.sub != nullptr) {
            if (MenuItem* f = Find(it.sub, what, flags, holder, index)) return f;
        } else if (it.id == what && !(it.flags & MF_SEPARATOR)) {
            if (holder != nullptr) *holder = h;
            if (index != nullptr) *index = static_cast<int>(i);
            return &it;
        }
    }
    return nullptr;
}

MenuItem MakeItem(UINT flags, UINT_PTR id, LPCSTR text) {
    MenuItem it;
    it.flags = flags & ~(MF_BYPOSITION | MF_APPEND | MF_INSERT | MF_CHANGE | MF_DELETE | MF_REMOVE);
    if (flags & MF_POPUP) {
        it.sub = reinterpret_cast<HMENU>(id);
        if (Menu* s = M(it.sub)) s->popup = true;
    } else {
        it.id = id;
    }
    if (!(flags & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW)) && text != nullptr) it.text = text;
    if (flags & MF_SEPARATOR) it.text.clear();
    return it;
}

void RedrawBars(HMENU changed) {
    for (Window* t : S().toplevels)
        if (t->menu == changed) {
            t->nc_pending = true;
            UpdatePaintFlag(t);
        }
}

// ---- layout and drawing of popup menus ----

struct ItemBox {
    RECT r;
};

struct Metrics {
    int item_h = 18;
    int sep_h = 9;
    int check_w = 18;
    int arrow_w = 16;
};

HFONT MenuFont() {
    return DefaultGuiFont();
}

int Measure(HDC dc, const std::string& s) {
    std::string t;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) ++i;
        t += s[i];
    }
    SIZE sz{0, 0};
    if (!t.empty()) GetTextExtentPoint32A(dc, t.data(), static_cast<int>(t.size()), &sz);
    return sz.cx;
}

std::vector<RECT> LayoutPopup(HMENU h, SIZE* size) {
    Menu* m = M(h);
    std::vector<RECT> rects;
    Metrics mt;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    int x = 3, y = 3, col_w = 0, max_y = 3;
    size_t col_start = 0;
    auto close_column = [&](size_t end) {
        for (size_t k = col_start; k < end; ++k)
            rects[k].right = rects[k].left + col_w;
    };
    for (size_t i = 0; m != nullptr && i < m->items.size(); ++i) {
        const MenuItem& it = m->items[i];
        if ((it.flags & (MF_MENUBARBREAK | MF_MENUBREAK)) && i > 0) {
            close_column(i);
            x += col_w + ((it.flags & MF_MENUBARBREAK) ? 4 : 0);
            y = 3;
            col_w = 0;
            col_start = i;
        }
        int h2 = (it.flags & MF_SEPARATOR) ? mt.sep_h : mt.item_h;
        size_t tab = it.text.find('\t');
        int w = mt.check_w + Measure(dc, it.text.substr(0, tab)) + mt.arrow_w + 8;
        if (tab != std::string::npos) w += 16 + Measure(dc, it.text.substr(tab + 1));
        col_w = std::max(col_w, w);
        rects.push_back(RECT{x, y, x + w, y + h2});
        y += h2;
        max_y = std::max(max_y, y);
    }
    close_column(rects.size());
    SelectObject(dc, old);
    DeleteDC(dc);
    size->cx = x + col_w + 3;
    size->cy = max_y + 3;
    return rects;
}

void DrawItemText(HDC dc, const MenuItem& it, RECT r, bool hot) {
    bool gray = (it.flags & (MF_GRAYED | MF_DISABLED)) != 0;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(gray ? COLOR_GRAYTEXT : hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    size_t tab = it.text.find('\t');
    std::string left = it.text.substr(0, tab);
    DrawTextA(dc, left.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    if (tab != std::string::npos) {
        std::string right = it.text.substr(tab + 1);
        RECT rr = r;
        rr.right -= 16;
        DrawTextA(dc, right.c_str(), -1, &rr, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
}

void PaintPopup(HWND wnd, HMENU h, int hot, HDC dc) {
    Menu* m = M(h);
    RECT c = ClientRectOf(wnd);
    FillRect(dc, &c, GetSysColorBrush(COLOR_MENU));
    RECT e = c;
    DrawEdge(dc, &e, EDGE_RAISED, BF_RECT);
    if (m == nullptr) return;
    SIZE size;
    std::vector<RECT> rects = LayoutPopup(h, &size);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    Metrics mt;
    for (size_t i = 0; i < m->items.size(); ++i) {
        const MenuItem& it = m->items[i];
        RECT r = rects[i];
        if (it.flags & MF_MENUBARBREAK && i > 0) {
            RECT bar{r.left - 3, 2, r.left - 1, c.bottom - 2};
            DrawEdge(dc, &bar, EDGE_ETCHED, BF_LEFT);
        }
        if (it.flags & MF_SEPARATOR) {
            RECT s{r.left + 1, r.top + 4, r.right - 1, r.top + 6};
            DrawEdge(dc, &s, EDGE_ETCHED, BF_TOP);
            continue;
        }
        bool is_hot = static_cast<int>(i) == hot;
        if (is_hot) FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        if (it.flags & MF_CHECKED) {
            RECT ck{r.left, r.top, r.left + mt.check_w, r.bottom};
            DrawFrameControl(dc, &ck, DFC_MENU, DFCS_MENUCHECK);
        }
        RECT t{r.left + mt.check_w, r.top, r.right - mt.arrow_w, r.bottom};
        DrawItemText(dc, it, t, is_hot);
        if (it.sub != nullptr) {
            RECT ar{r.right - mt.arrow_w, r.top, r.right, r.bottom};
            DrawFrameControl(dc, &ar, DFC_MENU, DFCS_MENUARROW);
        }
    }
    SelectObject(dc, old);
}

// Items of a menu bar laid out from the left.
std::vector<RECT> LayoutBar(HMENU h, const RECT& bar) {
    std::vector<RECT> out;
    Menu* m = M(h);
    if (m == nullptr) return out;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    int x = bar.left;
    for (const MenuItem& it : m->items) {
        int w = Measure(dc, it.text) + 16;
        out.push_back(RECT{x, bar.top, x + w, bar.bottom});
        x += w;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return out;
}

// ---- tracking ----

struct Level {
    HMENU menu = nullptr;
    HWND wnd = nullptr;
    int hot = -1;
    std::vector<RECT> rects;
};

struct Track {
    HWND owner = nullptr;
    UINT flags = 0;
    std::vector<Level> levels;
    bool done = false;
    UINT_PTR chosen = 0;
    int bar_switch = 0;  // -1 / +1: the user moved to a neighbour of the menu bar
    HWND bar_window = nullptr;
    int bar_index = -1;
    bool pressed_inside = false;
    bool moved = false;
    bool light_first = false;  // opened from the keyboard: the first item is lit
};

Track* g_track = nullptr;

void Select(Track& t, size_t level, int hot);

void OpenLevel(Track& t, HMENU menu, POINT at, bool below_rect, const RECT& avoid) {
    if (!(t.flags & TPM_NONOTIFY) && t.owner != nullptr)
        SendMessageA(t.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu),
                     MAKELPARAM(static_cast<WORD>(t.levels.size()), FALSE));
    SIZE size;
    Level lv;
    lv.menu = menu;
    lv.rects = LayoutPopup(menu, &size);
    SIZE screen = CurrentBackend().ScreenSize();
    int x = at.x, y = at.y;
    if (t.levels.empty() && !below_rect) {
        if (t.flags & TPM_RIGHTALIGN)
            x -= size.cx;
        else if (t.flags & TPM_CENTERALIGN)
            x -= size.cx / 2;
        if (t.flags & TPM_BOTTOMALIGN)
            y -= size.cy;
        else if (t.flags & TPM_VCENTERALIGN)
            y -= size.cy / 2;
    }
    if (x + size.cx > screen.cx)
        x = below_rect ? screen.cx - size.cx
                       : std::max(0, static_cast<int>(avoid.left) - static_cast<int>(size.cx));
    if (y + size.cy > screen.cy) y = std::max(0, static_cast<int>(screen.cy - size.cy));
    x = std::max(0, x);
    y = std::max(0, y);
    lv.wnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "#32768", "", WS_POPUP, x,
                             y, size.cx, size.cy, nullptr, nullptr, nullptr, nullptr);
    SetPropA(lv.wnd, "qsm.menu", reinterpret_cast<HANDLE>(menu));
    t.levels.push_back(lv);
    ShowWindow(lv.wnd, SW_SHOWNA);
}

void CloseFrom(Track& t, size_t level) {
    while (t.levels.size() > level) {
        DestroyWindow(t.levels.back().wnd);
        t.levels.pop_back();
    }
}

void Select(Track& t, size_t level, int hot) {
    Level& lv = t.levels[level];
    if (lv.hot == hot) return;
    lv.hot = hot;
    SetPropA(lv.wnd, "qsm.hot", reinterpret_cast<HANDLE>(static_cast<intptr_t>(hot + 1)));
    InvalidateRect(lv.wnd, nullptr, TRUE);
    if (!(t.flags & TPM_NONOTIFY) && t.owner != nullptr) {
        Menu* m = M(lv.menu);
        if (hot >= 0 && m != nullptr && static_cast<size_t>(hot) < m->items.size()) {
            const MenuItem& it = m->items[static_cast<size_t>(hot)];
            WORD id = it.sub != nullptr ? static_cast<WORD>(hot) : static_cast<WORD>(it.id);
            SendMessageA(t.owner, WM_MENUSELECT,
                         MAKEWPARAM(id, static_cast<WORD>(it.flags | (it.sub ? MF_POPUP : 0) | MF_HILITE)),
                         reinterpret_cast<LPARAM>(lv.menu));
        }
    }
}

bool Selectable(const MenuItem& it) {
    return !(it.flags & MF_SEPARATOR);
}
bool Enabled(const MenuItem& it) {
    return !(it.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR));
}

void OpenSub(Track& t, size_t level) {
    Level& lv = t.levels[level];
    Menu* m = M(lv.menu);
    if (m == nullptr || lv.hot < 0) return;
    const MenuItem& it = m->items[static_cast<size_t>(lv.hot)];
    CloseFrom(t, level + 1);
    if (it.sub == nullptr || !Enabled(it)) return;
    RECT r = lv.rects[static_cast<size_t>(lv.hot)];
    POINT o{0, 0};
    ClientToScreen(lv.wnd, &o);
    OffsetRect(&r, o.x, o.y);
    OpenLevel(t, it.sub, POINT{r.right - 2, r.top - 3}, false, r);
}

void Choose(Track& t, size_t level) {
    Level& lv = t.levels[level];
    Menu* m = M(lv.menu);
    if (m == nullptr || lv.hot < 0) return;
    const MenuItem& it = m->items[static_cast<size_t>(lv.hot)];
    if (!Enabled(it)) return;
    if (it.sub != nullptr) {
        OpenSub(t, level);
        if (t.levels.size() > level + 1) {
            Level& sub = t.levels[level + 1];
            Menu* sm = M(sub.menu);
            for (size_t k = 0; sm != nullptr && k < sm->items.size(); ++k)
                if (Selectable(sm->items[k])) {
                    Select(t, level + 1, static_cast<int>(k));
                    break;
                }
        }
        return;
    }
    t.chosen = it.id;
    t.done = true;
}

// The level and item under a screen point; false when over no menu.
bool HitItem(Track& t, POINT s, size_t* level, int* item) {
    for (size_t l = t.levels.size(); l-- > 0;) {
        RECT wr;
        GetWindowRect(t.levels[l].wnd, &wr);
        if (!PtInRect(&wr, s)) continue;
        *level = l;
        *item = -1;
        POINT c{s.x - wr.left, s.y - wr.top};
        for (size_t k = 0; k < t.levels[l].rects.size(); ++k)
            if (PtInRect(&t.levels[l].rects[k], c) && Selectable(M(t.levels[l].menu)->items[k]))
                *item = static_cast<int>(k);
        return true;
    }
    return false;
}

int BarItemAt(HWND bar_window, POINT s);

// `s`: the pointer as the message saw it.
void Mouse(Track& t, UINT msg, POINT s) {
    size_t level = 0;
    int item = -1;
    bool over = HitItem(t, s, &level, &item);
    if (msg == WM_MOUSEMOVE) {
        t.moved = true;
        if (!over) {
            if (t.bar_window != nullptr) {
                int b = BarItemAt(t.bar_window, s);
                if (b >= 0 && b != t.bar_index) {
                    t.bar_switch = b - t.bar_index;
                    t.done = true;
                }
            }
            return;
        }
        if (item >= 0) {
            CloseFrom(t, level + 1);
            Select(t, level, item);
            OpenSub(t, level);
        }
        return;
    }
    bool down = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN;
    if (down) {
        if (!over) {
            t.done = true;  // a press outside every menu dismisses it
            return;
        }
        t.pressed_inside = true;
        return;
    }
    bool up = msg == WM_LBUTTONUP || (msg == WM_RBUTTONUP && (t.flags & TPM_RIGHTBUTTON));
    if (up && over && item >= 0 && (t.pressed_inside || t.moved)) {
        Select(t, level, item);
        Choose(t, level);
    }
}

void Key(Track& t, WPARAM vk) {
    size_t level = t.levels.size() - 1;
    Level& lv = t.levels[level];
    Menu* m = M(lv.menu);
    int n = m != nullptr ? static_cast<int>(m->items.size()) : 0;
    auto step = [&](int dir) {
        if (n == 0) return;
        int i = lv.hot;
        for (int k = 0; k < n; ++k) {
            i = (i + dir + n) % n;
            if (i < 0) i = n - 1;
            if (Selectable(m->items[static_cast<size_t>(i)])) {
                Select(t, level, i);
                return;
            }
        }
    };
    switch (vk) {
        case VK_DOWN:
            step(1);
            break;
        case VK_UP:
            step(-1);
            break;
        case VK_RIGHT:
            if (lv.hot >= 0 && m->items[static_cast<size_t>(lv.hot)].sub != nullptr)
                Choose(t, level);
            else if (t.bar_window != nullptr) {
                t.bar_switch = 1;
                t.done = true;
            }
            break;
        case VK_LEFT:
            if (level > 0)
                CloseFrom(t, level);
            else if (t.bar_window != nullptr) {
                t.bar_switch = -1;
                t.done = true;
            }
            break;
        case VK_RETURN:
            Choose(t, level);
            break;
        case VK_ESCAPE:
            if (level > 0)
                CloseFrom(t, level);
            else
                t.done = true;
            break;
        default:
            break;
    }
}

void Char(Track& t, char c) {
    size_t level = t.levels.size() - 1;
    Menu* m = M(t.levels[level].menu);
    if (m == nullptr) return;
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (size_t i = 0; i < m->items.size(); ++i) {
        const std::string& s = m->items[i].text;
        size_t amp = s.find('&');
        if (amp != std::string::npos && amp + 1 < s.size() &&
            tolower(static_cast<unsigned char>(s[amp + 1])) == c) {
            Select(t, level, static_cast<int>(i));
            Choose(t, level);
            return;
        }
    }
}

// Handles the waiting messages but the keyboard's: the menu is painted before a test's hook looks at it,
// while keys that came meanwhile (Alt+F, V typed quickly) stay for the menu. The mouse's go where they were
// meant to go, as before: the release of the click that opened a context menu is no choice in it.
void PumpAllButKeys() {
    const UINT ranges[][2] = {{0, WM_KEYFIRST - 1}, {WM_KEYLAST + 1, 0xFFFFFFFFu}};
    for (const auto& r : ranges) {
        MSG m;
        while (PeekMessageA(&m, nullptr, r[0], r[1], PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(m.wParam));
                return;
            }
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
}

// Runs a popup menu until a choice or dismissal; the chosen command, 0 for none.
UINT_PTR RunTrack(Track& t, HMENU menu, POINT at, bool below, const RECT& avoid) {
    Track* outer = g_track;
    g_track = &t;
    if (!(t.flags & TPM_NONOTIFY) && t.owner != nullptr) SendMessageA(t.owner, WM_ENTERMENULOOP, TRUE, 0);
    OpenLevel(t, menu, at, below, avoid);
    if (t.light_first) {
        Menu* m = M(menu);
        for (size_t k = 0; m != nullptr && k < m->items.size(); ++k)
            if (Selectable(m->items[k])) {
                Select(t, 0, static_cast<int>(k));
                break;
            }
    }
    HWND capture_wnd = t.levels[0].wnd;
    SetCapture(capture_wnd);
    bool hooked = false;
    while (!t.done && !t.levels.empty() && IsWindow(capture_wnd)) {
        if (!hooked) {
            hooked = true;
            PumpAllButKeys();
            CallModalHook(capture_wnd);
            continue;
        }
        MSG m;
        if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (t.owner != nullptr)
                SendMessageA(t.owner, WM_ENTERIDLE, MSGF_MENU, reinterpret_cast<LPARAM>(capture_wnd));
            if (t.done) break;
            WaitMessage();
            continue;
        }
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) {
            Mouse(t, m.message, m.pt);
        } else if (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCRBUTTONDBLCLK) {
            Mouse(t, m.message - WM_NCMOUSEMOVE + WM_MOUSEMOVE, m.pt);
        } else if (m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN) {
            Key(t, m.wParam);
            // The character of the key comes next and picks an item by its mnemonic.
            if (!t.done) TranslateMessage(&m);
        } else if (m.message == WM_CHAR || m.message == WM_SYSCHAR) {
            Char(t, static_cast<char>(m.wParam));
        } else if (m.message == WM_KEYUP || m.message == WM_SYSKEYUP) {
        } else {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (GetCapture() != capture_wnd && !t.done) break;  // something else took the pointer
    }
    if (GetCapture() == capture_wnd) ReleaseCapture();
    CloseFrom(t, 0);
    if (!(t.flags & TPM_NONOTIFY) && t.owner != nullptr) {
        SendMessageA(t.owner, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
        SendMessageA(t.owner, WM_EXITMENULOOP, TRUE, 0);
    }
    g_track = outer;
    return t.chosen;
}

int BarItemAt(HWND bar_window, POINT s) {
    Window* w = W(bar_window);
    if (w == nullptr || w->menu == nullptr) return -1;
    RECT bar = MenuBarRect(w);
    POINT o = ScreenOrigin(w);
    POINT p{s.x - o.x, s.y - o.y};
    std::vector<RECT> items = LayoutBar(w->menu, bar);
    for (size_t i = 0; i < items.size(); ++i)
        if (PtInRect(&items[i], p)) return static_cast<int>(i);
    return -1;
}

}  // namespace

RECT MenuBarRect(const Window* w) {
    RECT r{0, 0, 0, 0};
    if (w->menu == nullptr || (w->style & WS_CHILD)) return r;
    RECT in = FrameInsets(w);
    return RECT{in.left, in.top, w->rect.right - w->rect.left - in.right,
                in.top + GetSystemMetrics(SM_CYMENU)};
}

void DrawMenuBar(Window* w, HDC dc, const RECT& bar) {
    FillRect(dc, &bar, GetSysColorBrush(COLOR_MENU));
    Menu* m = M(w->menu);
    if (m == nullptr) return;
    std::vector<RECT> items = LayoutBar(w->menu, bar);
    HGDIOBJ old = SelectObject(dc, MenuFont());
    int hot = static_cast<int>(reinterpret_cast<intptr_t>(GetPropA(w->handle, "qsm.barhot"))) - 1;
    for (size_t i = 0; i < items.size(); ++i) {
        RECT r = items[i];
        if (static_cast<int>(i) == hot) {
            RECT e = r;
            DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
        }
        DrawItemText(dc, m->items[i], RECT{r.left + 8, r.top, r.right, r.bottom}, false);
    }
    SelectObject(dc, old);
}

// Runs the menu bar from item `index` on, moving along the bar as the user asks.
void MenuBarTrack(Window* w, int index, bool keyboard) {
    HWND hwnd = w->handle;
    if (index < 0) return;
    SendMessageA(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(w->menu), 0);
    for (int guard = 0; guard < 64 && IsWindow(hwnd); ++guard) {
        Menu* m = M(W(hwnd)->menu);
        if (m == nullptr || m->items.empty()) return;
        index = (index % static_cast<int>(m->items.size()) + static_cast<int>(m->items.size())) %
                static_cast<int>(m->items.size());
        MenuItem& it = m->items[static_cast<size_t>(index)];
        RECT bar = MenuBarRect(W(hwnd));
        std::vector<RECT> items = LayoutBar(W(hwnd)->menu, bar);
        RECT r = items[static_cast<size_t>(index)];
        POINT o = ScreenOrigin(W(hwnd));
        OffsetRect(&r, o.x, o.y);
        SetPropA(hwnd, "qsm.barhot", reinterpret_cast<HANDLE>(static_cast<intptr_t>(index + 1)));
        W(hwnd)->nc_pending = true;
        UpdatePaintFlag(W(hwnd));
        if (it.sub == nullptr) {
            // A command on the bar itself.
            RemovePropA(hwnd, "qsm.barhot");
            if (Enabled(it)) PostMessageA(hwnd, WM_COMMAND, it.id, 0);
            return;
        }
        Track t;
        t.owner = hwnd;
        t.bar_window = hwnd;
        t.bar_index = index;
        t.pressed_inside = true;
        t.light_first = keyboard || guard > 0;
        UINT_PTR chosen = RunTrack(t, it.sub, POINT{r.left, r.bottom}, true, r);
        if (!IsWindow(hwnd)) return;
        RemovePropA(hwnd, "qsm.barhot");
        W(hwnd)->nc_pending = true;
        UpdatePaintFlag(W(hwnd));
        if (t.bar_switch != 0) {
            index += t.bar_switch;
            continue;
        }
        if (chosen != 0) PostMessageA(hwnd, WM_COMMAND, chosen, 0);
        return;
    }
}

void MenuBarClick(Window* w, POINT screen) {
    MenuBarTrack(w, BarItemAt(w->handle, screen), false);
}

// Alt and a letter: the bar item with that mnemonic opens with its first item lit. False when no item of
// the window's bar has it.
bool MenuBarKey(Window* w, char c) {
    Menu* m = M(w->menu);
    if (m == nullptr || (w->style & WS_CHILD)) return false;
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (size_t i = 0; i < m->items.size(); ++i) {
        const std::string& s = m->items[i].text;
        size_t amp = s.find('&');
        if (amp != std::string::npos && amp + 1 < s.size() &&
            tolower(static_cast<unsigned char>(s[amp + 1])) == c) {
            MenuBarTrack(w, static_cast<int>(i), true);
            return true;
        }
    }
    return false;
}

LRESULT MenuWindowProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(h, msg, [&](HDC dc) {
                auto menu = reinterpret_cast<HMENU>(GetPropA(h, "qsm.menu"));
                int hot = static_cast<int>(reinterpret_cast<intptr_t>(GetPropA(h, "qsm.hot"))) - 1;
                PaintPopup(h, menu, hot, dc);
            });
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        default:
            return DefWindowProcA(h, msg, wparam, lparam);
    }
}

}  // namespace qsm::wm

using namespace qsm::wm;

HMENU CreateMenu() {
    return NewMenu(false);
}
HMENU CreatePopupMenu() {
    return NewMenu(true);
}

BOOL DestroyMenu(HMENU menu) {
    auto it = Menus().find(reinterpret_cast<uintptr_t>(menu));
    if (it == Menus().end()) return FALSE;
    std::vector<HMENU> subs;
    for (const MenuItem& i : it->second->items)
        if (i.sub != nullptr) subs.push_back(i.sub);
    Menus().erase(it);
    for (HMENU s : subs)
        DestroyMenu(s);
    return TRUE;
}

BOOL IsMenu(HMENU menu) {
    return M(menu) != nullptr;
}

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
    Menu* m = M(menu);
    if (m == nullptr) return FALSE;
    m->items.push_back(MakeItem(flags, id, text));
    RedrawBars(menu);
    return TRUE;
}

BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
    Menu* m = M(menu);
    if (m == nullptr) return FALSE;
    size_t at = m->items.size();
    if (flags & MF_BYPOSITION) {
        if (position != 0xFFFFFFFFu) at = std::min<size_t>(position, m->items.size());
    } else {
        HMENU holder = nullptr;
        int index = 0;
        if (Find(menu, position, 0, &holder, &index) == nullptr) return FALSE;
        m = M(holder);
        at = static_cast<size_t>(index);
    }
    m->items.insert(m->items.begin() + static_cast<ptrdiff_t>(at), MakeItem(flags, id, text));
    RedrawBars(menu);
    return TRUE;
}

BOOL ModifyMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
    MenuItem* it = Find(menu, position, flags);
    if (it == nullptr) return FALSE;
    *it = MakeItem(flags, id, text);
    RedrawBars(menu);
    return TRUE;
}

static BOOL RemoveItem(HMENU menu, UINT position, UINT flags, bool destroy) {
    HMENU holder = nullptr;
    int index = 0;
    MenuItem* it = Find(menu, position, flags, &holder, &index);
    if (it == nullptr) return FALSE;
    HMENU sub = it->sub;
    Menu* m = M(holder);
    m->items.erase(m->items.begin() + index);
    if (destroy && sub != nullptr) DestroyMenu(sub);
    RedrawBars(menu);
    return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
    return RemoveItem(menu, position, flags, true);
}
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
    return RemoveItem(menu, position, flags, false);
}

UINT EnableMenuItem(HMENU menu, UINT id, UINT enable) {
    MenuItem* it = Find(menu, id, enable & MF_BYPOSITION);
    if (it == nullptr) return 0xFFFFFFFFu;
    UINT old = it->flags & (MF_GRAYED | MF_DISABLED);
    it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    RedrawBars(menu);
    return old;
}

DWORD CheckMenuItem(HMENU menu, UINT id, UINT check) {
    MenuItem* it = Find(menu, id, check & MF_BYPOSITION);
    if (it == nullptr) return 0xFFFFFFFFu;
    DWORD old = it->flags & MF_CHECKED;
    it->flags = (it->flags & ~MF_CHECKED) | (check & MF_CHECKED);
    return old;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
    bool found = false;
    for (UINT i = first; i <= last; ++i) {
        MenuItem* it = Find(menu, i, flags);
        if (it == nullptr) continue;
        found = true;
        it->flags = (it->flags & ~MF_CHECKED) | (i == check ? MF_CHECKED : 0);
    }
    return found ? TRUE : FALSE;
}

int GetMenuItemCount(HMENU menu) {
    Menu* m = M(menu);
    return m != nullptr ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    Menu* m = M(menu);
    if (m == nullptr || position < 0 || static_cast<size_t>(position) >= m->items.size()) return 0xFFFFFFFFu;
    const MenuItem& it = m->items[static_cast<size_t>(position)];
    return it.sub != nullptr ? 0xFFFFFFFFu : static_cast<UINT>(it.id);
}

UINT GetMenuState(HMENU menu, UINT id, UINT flags) {
    MenuItem* it = Find(menu, id, flags);
    if (it == nullptr) return 0xFFFFFFFFu;
    if (it->sub != nullptr)
        return (static_cast<UINT>(GetMenuItemCount(it->sub)) << 8) | (it->flags & 0xFF) | MF_POPUP;
    return it->flags;
}

int GetMenuStringA(HMENU menu, UINT id, LPSTR buf, int size, UINT flags) {
    MenuItem* it = Find(menu, id, flags);
    if (it == nullptr) return 0;
    if (buf == nullptr || size <= 0) return static_cast<int>(it->text.size());
    size_t n = std::min(it->text.size(), static_cast<size_t>(size - 1));
    memcpy(buf, it->text.data(), n);
    buf[n] = 0;
    return static_cast<int>(n);
}

HMENU GetSubMenu(HMENU menu, int position) {
    Menu* m = M(menu);
    if (m == nullptr || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
    return m->items[static_cast<size_t>(position)].sub;
}

HMENU GetMenu(HWND hwnd) {
    Window* w = W(hwnd);
    return w != nullptr && !(w->style & WS_CHILD) ? w->menu : nullptr;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
    Window* w = W(hwnd);
    if (w == nullptr || (w->style & WS_CHILD)) return FALSE;
    w->menu = menu;
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL DrawMenuBar(HWND hwnd) {
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    w->nc_pending = true;
    UpdatePaintFlag(w);
    return TRUE;
}

HMENU GetSystemMenu(HWND hwnd, BOOL revert) {
    Window* w = W(hwnd);
    if (w == nullptr) return nullptr;
    auto h = reinterpret_cast<HMENU>(GetPropA(hwnd, "qsm.sysmenu"));
    if (revert) {
        if (h != nullptr) DestroyMenu(h);
        RemovePropA(hwnd, "qsm.sysmenu");
        return nullptr;
    }
    if (h == nullptr || M(h) == nullptr) {
        h = CreatePopupMenu();
        AppendMenuA(h, MF_STRING, SC_RESTORE, "&Restore");
        AppendMenuA(h, MF_STRING, SC_MOVE, "&Move");
        AppendMenuA(h, MF_STRING, SC_SIZE, "&Size");
        AppendMenuA(h, MF_STRING, SC_MINIMIZE, "Mi&nimize");
        AppendMenuA(h, MF_STRING, SC_MAXIMIZE, "Ma&ximize");
        AppendMenuA(h, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(h, MF_STRING, SC_CLOSE, "&Close\tAlt+F4");
        SetPropA(hwnd, "qsm.sysmenu", reinterpret_cast<HANDLE>(h));
    }
    return h;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    if (M(menu) == nullptr) return FALSE;
    if (g_track != nullptr) return FALSE;  // one popup menu at a time
    Track t;
    t.owner = owner;
    t.flags = flags;
    UINT_PTR chosen = RunTrack(t, menu, POINT{x, y}, false, RECT{x, y, x, y});
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    if (chosen != 0 && owner != nullptr) PostMessageA(owner, WM_COMMAND, chosen, 0);
    return TRUE;
}

BOOL EndMenu() {
    if (g_track == nullptr) return FALSE;
    g_track->done = true;
    WakeQueue(CurrentQueue());
    return TRUE;
}

// ---- resources ----

namespace qsm::wm {
namespace {

HMENU Build(const MenuTemplate& t, bool popup) {
    HMENU h = NewMenu(popup);
    for (const MenuTemplateItem& it : t.items) {
        if (it.popup) {
            HMENU sub = Build(*it.popup, true);
            AppendMenuA(h, MF_POPUP | it.flags, reinterpret_cast<UINT_PTR>(sub), it.text.c_str());
        } else {
            AppendMenuA(h, it.flags, it.id, it.text.c_str());
        }
    }
    return h;
}

struct AccelTable {
    std::vector<ACCEL> entries;
};
std::map<uintptr_t, std::unique_ptr<AccelTable>>& Accels() {
    static auto* a = new std::map<uintptr_t, std::unique_ptr<AccelTable>>();
    return *a;
}
uintptr_t g_next_accel = 0x50000;

const char* Resource(HINSTANCE instance, LPCSTR name, LPCSTR type, size_t* size) {
    HRSRC res = FindResourceA(instance, name, type);
    if (res == nullptr) return nullptr;
    *size = SizeofResource(instance, res);
    return static_cast<const char*>(LockResource(LoadResource(instance, res)));
}

}  // namespace

HMENU MenuFromTemplate(const MenuTemplate& t) {
    return Build(t, false);
}

}  // namespace qsm::wm

HMENU LoadMenuA(HINSTANCE instance, LPCSTR name) {
    size_t size = 0;
    const char* data = Resource(instance, name, RT_MENU, &size);
    if (data == nullptr) return nullptr;
    MenuTemplate t;
    if (!ParseMenuTemplate(data, size, &t, nullptr)) return nullptr;
    return MenuFromTemplate(t);
}

HACCEL CreateAcceleratorTableA(LPACCEL accels, int count) {
    if (accels == nullptr || count <= 0) return nullptr;
    auto t = std::make_unique<AccelTable>();
    t->entries.assign(accels, accels + count);
    uintptr_t v = g_next_accel;
    g_next_accel += 4;
    Accels()[v] = std::move(t);
    return reinterpret_cast<HACCEL>(v);
}

HACCEL LoadAcceleratorsA(HINSTANCE instance, LPCSTR name) {
    size_t size = 0;
    const char* data = Resource(instance, name, RT_ACCELERATOR, &size);
    if (data == nullptr) return nullptr;
    std::vector<ACCEL> entries;
    if (!ParseAcceleratorTable(data, size, &entries, nullptr) || entries.empty()) return nullptr;
    return CreateAcceleratorTableA(entries.data(), static_cast<int>(entries.size()));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    return Accels().erase(reinterpret_cast<uintptr_t>(table)) ? TRUE : FALSE;
}

int CopyAcceleratorTableA(HACCEL table, LPACCEL out, int count) {
    auto it = Accels().find(reinterpret_cast<uintptr_t>(table));
    if (it == Accels().end()) return 0;
    int n = static_cast<int>(it->second->entries.size());
    if (out == nullptr) return n;
    n = std::min(n, count);
    for (int i = 0; i < n; ++i)
        out[i] = it->second->entries[static_cast<size_t>(i)];
    return n;
}

int TranslateAcceleratorA(HWND hwnd, HACCEL table, LPMSG msg) {
    if (msg == nullptr || W(hwnd) == nullptr) return 0;
    auto it = Accels().find(reinterpret_cast<uintptr_t>(table));
    if (it == Accels().end()) return 0;
    bool key = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
    bool chr = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
    if (!key && !chr) return 0;
    bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
    for (const ACCEL& a : it->second->entries) {
        bool virt = (a.fVirt & FVIRTKEY) != 0;
        if (virt != key) continue;
        if (virt) {
            if (msg->wParam != a.key) continue;
            if (shift != ((a.fVirt & FSHIFT) != 0) || ctrl != ((a.fVirt & FCONTROL) != 0) ||
                alt != ((a.fVirt & FALT) != 0))
                continue;
        } else {
            if ((msg->wParam & 0xFF) != a.key) continue;
            if (alt != ((a.fVirt & FALT) != 0)) continue;
        }
        // A command whose menu item is greyed is not sent.
        if (HMENU menu = GetMenu(hwnd)) {
            UINT state = GetMenuState(menu, a.cmd, MF_BYCOMMAND);
            if (state != 0xFFFFFFFFu && (state & (MF_GRAYED | MF_DISABLED))) return 1;
        }
        SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
        return 1;
    }
    return 0;
}
