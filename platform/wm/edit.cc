// The edit control: single-line and multi-line text with a caret, selection, limit, clipboard commands and
// the notifications of a dialog's edit field.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "platform/wm/control_util.h"

namespace qsm::wm {
namespace {

struct EditState {
    std::string text;
    int anchor = 0;  // selection is [min(anchor, caret), max(...))
    int caret = 0;
    int limit = 30000;
    bool modified = false;
    bool focus = false;
    MousePress press;    // selecting by dragging
    int scroll_x = 0;    // pixels, single line
    int first_line = 0;  // multi-line
    int margin_left = 1;
    int margin_right = 1;
    HFONT font = nullptr;
    bool vscroll = false;  // made with a vertical scroll bar, which stays (disabled while the text fits)
    std::string undo_text;
    bool can_undo = false;
};

bool Multi(HWND h) {
    return (StyleOf(h) & ES_MULTILINE) != 0;
}

// A single-line edit keeps only the first line of a text.
void KeepFirstLine(HWND h, std::string& s) {
    if (Multi(h)) return;
    size_t nl = s.find_first_of("\r\n");
    if (nl != std::string::npos) s.resize(nl);
}

// True when a CR LF pair starts at `i`.
bool CrLfAt(const std::string& t, int i) {
    return i >= 0 && static_cast<size_t>(i) + 1 < t.size() && t[static_cast<size_t>(i)] == '\r' &&
           t[static_cast<size_t>(i) + 1] == '\n';
}

struct Line {
    int start;
    int length;
};

std::string Shown(HWND h, const EditState&, const std::string& s) {
    if (StyleOf(h) & ES_PASSWORD) return std::string(s.size(), '*');
    return s;
}

int TextWidth(HDC dc, const std::string& s, int from, int to) {
    if (to <= from) return 0;
    SIZE sz{0, 0};
    GetTextExtentPoint32A(dc, s.data() + from, to - from, &sz);
    return sz.cx;
}

// A DC for measuring, with the control's font.
struct MeasureDc {
    HDC dc;
    HGDIOBJ old;
    explicit MeasureDc(const EditState& st) {
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, FontOr(st.font));
    }
    ~MeasureDc() {
        SelectObject(dc, old);
        DeleteDC(dc);
    }
};

int LineHeight(const EditState& st) {
    MeasureDc m(st);
    TEXTMETRICA tm{};
    GetTextMetricsA(m.dc, &tm);
    return std::max<int>(1, tm.tmHeight);
}

RECT FormatRect(HWND h, const EditState& st) {
    RECT r = ClientRectOf(h);
    r.left += st.margin_left;
    r.right -= st.margin_right;
    int lh = LineHeight(st);
    if (Multi(h)) {
        // Whole lines only: a line that does not fit is reached by scrolling, never shown cut.
        r.bottom = r.top + std::max(1, static_cast<int>((r.bottom - r.top) / lh)) * lh;
    } else {
        int extra = (r.bottom - r.top) - lh;
        r.top += std::max(0, extra / 2);
        r.bottom = r.top + lh;
    }
    return r;
}

// Lines of a multi-line edit: split at CR LF, wrapped at the width unless the control scrolls sideways.
std::vector<Line> Lines(HWND h, const EditState& st) {
    std::vector<Line> out;
    const std::string& t = st.text;
    if (!Multi(h)) {
        out.push_back(Line{0, static_cast<int>(t.size())});
        return out;
    }
    bool wrap = !(StyleOf(h) & (ES_AUTOHSCROLL | WS_HSCROLL));
    int width = FormatRect(h, st).right - FormatRect(h, st).left;
    MeasureDc m(st);
    size_t start = 0;
    for (;;) {
        size_t nl = t.find("\r\n", start);
        size_t end = nl == std::string::npos ? t.size() : nl;
        size_t ls = start;
        while (wrap && end > ls && TextWidth(m.dc, t, static_cast<int>(ls), static_cast<int>(end)) > width) {
            // Longest prefix that fits, broken after a blank when there is one.
            size_t fit = ls + 1;
            while (fit < end && TextWidth(m.dc, t, static_cast<int>(ls), static_cast<int>(fit + 1)) <= width)
                ++fit;
            size_t brk = fit;
            for (size_t k = fit; k > ls; --k)
                if (t[k - 1] == ' ') {
                    brk = k;
                    break;
                }
            out.push_back(Line{static_cast<int>(ls), static_cast<int>(brk - ls)});
            ls = brk;
        }
        out.push_back(Line{static_cast<int>(ls), static_cast<int>(end - ls)});
        if (nl == std::string::npos) break;
        start = nl + 2;
    }
    return out;
}

int LineOf(const std::vector<Line>& lines, int index) {
    for (size_t i = lines.size(); i-- > 0;)
        if (index >= lines[i].start) return static_cast<int>(i);
    return 0;
}

int VisibleLines(HWND h, const EditState& st) {
    RECT r = FormatRect(h, st);
    return std::max(1, static_cast<int>((r.bottom - r.top) / LineHeight(st)));
}

POINT CaretPoint(HWND h, const EditState& st, int index) {
    MeasureDc m(st);
    RECT r = FormatRect(h, st);
    std::string shown = Shown(h, st, st.text);
    if (!Multi(h)) return POINT{r.left + TextWidth(m.dc, shown, 0, index) - st.scroll_x, r.top};
    auto lines = Lines(h, st);
    int li = LineOf(lines, index);
    int x = r.left + TextWidth(m.dc, shown, lines[static_cast<size_t>(li)].start, index);
    return POINT{x, r.top + (li - st.first_line) * LineHeight(st)};
}

int IndexFromPoint(HWND h, const EditState& st, POINT p) {
    MeasureDc m(st);
    RECT r = FormatRect(h, st);
    std::string shown = Shown(h, st, st.text);
    Line line{0, static_cast<int>(st.text.size())};
    int x0 = r.left - st.scroll_x;
    if (Multi(h)) {
        auto lines = Lines(h, st);
        int li = std::clamp(st.first_line + static_cast<int>((p.y - r.top) / LineHeight(st)), 0,
                            static_cast<int>(lines.size()) - 1);
        line = lines[static_cast<size_t>(li)];
        x0 = r.left;
    }
    int best = line.start;
    for (int i = line.start; i <= line.start + line.length; ++i) {
        int x = x0 + TextWidth(m.dc, shown, line.start, i);
        if (x <= p.x) best = i;
        int next = i < line.start + line.length ? x0 + TextWidth(m.dc, shown, line.start, i + 1) : x;
        if (x <= p.x && p.x < (x + next) / 2) return i;
    }
    return best;
}

void ScrollToCaret(HWND h, EditState& st) {
    RECT r = FormatRect(h, st);
    if (!Multi(h)) {
        MeasureDc m(st);
        std::string shown = Shown(h, st, st.text);
        int x = TextWidth(m.dc, shown, 0, st.caret);
        int width = r.right - r.left;
        if (x - st.scroll_x > width - 1) st.scroll_x = x - width * 3 / 4;
        if (x < st.scroll_x) st.scroll_x = std::max(0, x - width / 4);
        if (st.scroll_x < 0) st.scroll_x = 0;
        return;
    }
    auto lines = Lines(h, st);
    int li = LineOf(lines, st.caret);
    int vis = VisibleLines(h, st);
    int old = st.first_line;
    if (li < st.first_line) st.first_line = li;
    if (li >= st.first_line + vis) st.first_line = li - vis + 1;
    if (old != st.first_line && st.vscroll) SetScrollPos(h, SB_VERT, st.first_line, TRUE);
}

void UpdateCaret(HWND h, EditState& st) {
    if (!st.focus) return;
    POINT p = CaretPoint(h, st, st.caret);
    SetCaretPos(p.x, p.y);
}

void UpdateScrollBar(HWND h, EditState& st) {
    if (!Multi(h) || !st.vscroll) return;
    int count = static_cast<int>(Lines(h, st).size());
    SCROLLINFO si{sizeof si,
                  SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL,
                  0,
                  std::max(0, count - 1),
                  static_cast<UINT>(VisibleLines(h, st)),
                  st.first_line,
                  0};
    SetScrollInfo(h, SB_VERT, &si, TRUE);
}

void Changed(HWND h, EditState& st, bool notify) {
    ScrollToCaret(h, st);
    UpdateScrollBar(h, st);
    UpdateCaret(h, st);
    InvalidateRect(h, nullptr, TRUE);
    if (notify) {
        Notify(h, EN_UPDATE);
        Notify(h, EN_CHANGE);
    }
}

// Replaces the selection with `s`, within the limit; false when nothing could be inserted.
bool ReplaceSelection(HWND h, EditState& st, std::string s, bool user) {
    DWORD style = StyleOf(h);
    if (style & ES_UPPERCASE)
        for (char& c : s)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (style & ES_LOWERCASE)
        for (char& c : s)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    KeepFirstLine(h, s);
    int a = std::min(st.anchor, st.caret), b = std::max(st.anchor, st.caret);
    size_t room = static_cast<size_t>(std::max(0, st.limit - (static_cast<int>(st.text.size()) - (b - a))));
    bool truncated = false;
    if (s.size() > room) {
        s.resize(room);
        truncated = true;
    }
    if (truncated && user) Notify(h, EN_MAXTEXT);
    if (s.empty() && a == b) return !truncated;
    st.undo_text = st.text;
    st.can_undo = true;
    st.text.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), s);
    st.caret = st.anchor = a + static_cast<int>(s.size());
    st.modified = true;
    W(h)->text = st.text;
    Changed(h, st, true);
    return !truncated;
}

void SetSel(HWND h, EditState& st, int a, int b) {
    int n = static_cast<int>(st.text.size());
    if (a < 0) {
        // -1 removes the selection, leaving the caret where it is.
        st.anchor = st.caret;
    } else {
        if (b < 0) b = n;
        st.anchor = std::clamp(a, 0, n);
        st.caret = std::clamp(b, 0, n);
    }
    ScrollToCaret(h, st);
    UpdateCaret(h, st);
    InvalidateRect(h, nullptr, FALSE);
}

void MoveCaret(HWND h, EditState& st, int to, bool extend) {
    int n = static_cast<int>(st.text.size());
    to = std::clamp(to, 0, n);
    // Never inside a CR LF pair.
    if (CrLfAt(st.text, to - 1)) to += to > st.caret ? 1 : -1;
    st.caret = to;
    if (!extend) st.anchor = to;
    ScrollToCaret(h, st);
    UpdateCaret(h, st);
    InvalidateRect(h, nullptr, FALSE);
}

void Copy(const EditState& st) {
    int a = std::min(st.anchor, st.caret), b = std::max(st.anchor, st.caret);
    PutTextOnClipboard(st.text.substr(static_cast<size_t>(a), static_cast<size_t>(b - a)));
}

void Paint(HWND h, EditState& st, HDC dc) {
    DWORD style = StyleOf(h);
    bool enabled = IsWindowEnabled(h) != FALSE;
    HBRUSH brush =
        ControlColor(h, dc, (!enabled || (style & ES_READONLY)) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
    RECT cr = ClientRectOf(h);
    FillRect(dc, &cr, brush);
    HGDIOBJ old = SelectObject(dc, FontOr(st.font));
    if (!enabled) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    RECT r = FormatRect(h, st);
    if (Multi(h))
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
    else
        IntersectClipRect(dc, r.left, cr.top, r.right, cr.bottom);
    std::string shown = Shown(h, st, st.text);
    int lh = LineHeight(st);
    int a = std::min(st.anchor, st.caret), b = std::max(st.anchor, st.caret);
    bool show_sel = a != b && (st.focus || (style & ES_NOHIDESEL));
    COLORREF text_color = GetTextColor(dc);
    auto draw_run = [&](int x, int y, int from, int to) {
        // Draws [from, to) at x with the selected part highlighted.
        int cx = x;
        int cuts[4] = {from, std::clamp(a, from, to), std::clamp(b, from, to), to};
        for (int k = 0; k < 3; ++k) {
            int s0 = cuts[k], s1 = cuts[k + 1];
            if (s1 <= s0) continue;
            int w = TextWidth(dc, shown, s0, s1);
            bool sel = show_sel && k == 1;
            if (sel) {
                RECT hr{cx, y, cx + w, y + lh};
                FillRect(dc, &hr, GetSysColorBrush(COLOR_HIGHLIGHT));
                SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            } else {
                SetTextColor(dc, text_color);
            }
            TextOutA(dc, cx, y, shown.data() + s0, s1 - s0);
            cx += w;
        }
    };
    if (!Multi(h)) {
        int x = r.left - st.scroll_x;
        int w = TextWidth(dc, shown, 0, static_cast<int>(shown.size()));
        if ((style & ES_CENTER) && w < r.right - r.left)
            x = r.left + (r.right - r.left - w) / 2;
        else if ((style & ES_RIGHT) && w < r.right - r.left)
            x = r.right - w;
        draw_run(x, r.top, 0, static_cast<int>(shown.size()));
    } else {
        auto lines = Lines(h, st);
        int y = r.top;
        for (size_t i = static_cast<size_t>(st.first_line); i < lines.size() && y < r.bottom; ++i, y += lh)
            draw_run(r.left, y, lines[i].start, lines[i].start + lines[i].length);
    }
    SelectObject(dc, old);
}

// ---- message handlers ----

LRESULT OnCreate(HWND h, EditState& st, const CREATESTRUCTA* cs) {
    if (cs != nullptr && cs->lpszName != nullptr) st.text = cs->lpszName;
    KeepFirstLine(h, st.text);
    W(h)->text = st.text;
    st.vscroll = (StyleOf(h) & WS_VSCROLL) != 0;
    UpdateScrollBar(h, st);
    return 0;
}

LRESULT OnSetText(HWND h, EditState& st, LPCSTR t) {
    std::string s = t != nullptr ? t : "";
    KeepFirstLine(h, s);
    if (static_cast<int>(s.size()) > st.limit) s.resize(static_cast<size_t>(st.limit));
    st.text = s;
    W(h)->text = s;
    st.anchor = st.caret = 0;
    st.scroll_x = 0;
    st.first_line = 0;
    st.modified = false;
    st.can_undo = false;
    Changed(h, st, true);
    return TRUE;
}

// Messages after which the text is laid out again and nobody is told.
LRESULT Relayout(HWND h, EditState& st) {
    Changed(h, st, false);
    return 0;
}

LRESULT OnSetFont(HWND h, EditState& st, HFONT font) {
    st.font = font;
    return Relayout(h, st);
}

LRESULT OnSetFocus(HWND h, EditState& st) {
    st.focus = true;
    return TextFocusGained(h, LineHeight(st), [&] { UpdateCaret(h, st); });
}

LRESULT OnKillFocus(HWND h, EditState& st) {
    st.focus = false;
    return TextFocusLost(h);
}

LRESULT OnGetDlgCode(HWND h, const MSG* m) {
    LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    if (Multi(h) && m != nullptr && m->message == WM_KEYDOWN && m->wParam == VK_RETURN &&
        (StyleOf(h) & ES_WANTRETURN))
        code |= DLGC_WANTALLKEYS;
    return code;
}

LRESULT OnLButtonDown(HWND h, EditState& st, WPARAM keys, POINT p) {
    if (GetFocus() != h) SetFocus(h);
    MoveCaret(h, st, IndexFromPoint(h, st, p), (keys & MK_SHIFT) != 0);
    st.press.Begin(h);
    return 0;
}

// A double click selects the word under the pointer.
LRESULT OnLButtonDblClk(HWND h, EditState& st, POINT p) {
    if (GetFocus() != h) SetFocus(h);
    auto [a, b] = WordAround(st.text, IndexFromPoint(h, st, p));
    SetSel(h, st, a, b);
    return 0;
}

LRESULT OnMouseMove(HWND h, EditState& st, POINT p) {
    if (st.press.held) MoveCaret(h, st, IndexFromPoint(h, st, p), true);
    return 0;
}

// Left and Right: a character (or with Ctrl a word) to the side; without Shift a selection collapses to its
// side instead.
int LeftTarget(const EditState& st, bool shift, bool ctrl) {
    if (ctrl) {
        int to = st.caret;
        while (to > 0 && !IsWordChar(st.text[static_cast<size_t>(to) - 1]))
            --to;
        while (to > 0 && IsWordChar(st.text[static_cast<size_t>(to) - 1]))
            --to;
        return to;
    }
    if (!shift && st.anchor != st.caret) return std::min(st.anchor, st.caret);
    return st.caret - 1;
}

int RightTarget(const EditState& st, bool shift, bool ctrl) {
    int n = static_cast<int>(st.text.size());
    if (ctrl) {
        int to = st.caret;
        while (to < n && IsWordChar(st.text[static_cast<size_t>(to)]))
            ++to;
        while (to < n && !IsWordChar(st.text[static_cast<size_t>(to)]))
            ++to;
        return to;
    }
    if (!shift && st.anchor != st.caret) return std::max(st.anchor, st.caret);
    return st.caret + 1;
}

// Home and End: the ends of the caret's line, or of the whole text in a single line or with Ctrl.
int HomeEndTarget(HWND h, const EditState& st, bool home, bool ctrl) {
    if (!Multi(h) || ctrl) return home ? 0 : static_cast<int>(st.text.size());
    auto lines = Lines(h, st);
    const Line& l = lines[static_cast<size_t>(LineOf(lines, st.caret))];
    return home ? l.start : l.start + l.length;
}

// Up, Down, Page Up and Page Down of a multi-line edit: the place below or above the caret on the line they
// go to, scrolled into view.
int LineStepTarget(HWND h, EditState& st, WPARAM key) {
    auto lines = Lines(h, st);
    int li = LineOf(lines, st.caret);
    int step = (key == VK_UP || key == VK_DOWN) ? 1 : VisibleLines(h, st);
    int to_line = std::clamp(li + ((key == VK_UP || key == VK_PRIOR) ? -step : step), 0,
                             static_cast<int>(lines.size()) - 1);
    POINT p = CaretPoint(h, st, st.caret);
    int lh = LineHeight(st);
    if (to_line < st.first_line) st.first_line = to_line;
    int vis = VisibleLines(h, st);
    if (to_line >= st.first_line + vis) st.first_line = to_line - vis + 1;
    p.y = FormatRect(h, st).top + (to_line - st.first_line) * lh;
    return IndexFromPoint(h, st, p);
}

// Delete removes the selection or the character (a CR LF pair as one) after the caret; Shift+Delete cuts.
void DeleteForward(HWND h, EditState& st, bool shift) {
    if (StyleOf(h) & ES_READONLY) return;
    if (shift) {
        SendMessageA(h, WM_CUT, 0, 0);
        return;
    }
    if (st.anchor == st.caret) {
        if (st.caret >= static_cast<int>(st.text.size())) return;
        st.anchor = st.caret + (CrLfAt(st.text, st.caret) ? 2 : 1);
    }
    ReplaceSelection(h, st, "", true);
}

// Backspace removes the selection or the character (a CR LF pair as one) before the caret.
void DeleteBack(HWND h, EditState& st) {
    if (st.anchor == st.caret) {
        if (st.caret == 0) return;
        st.anchor = st.caret - (CrLfAt(st.text, st.caret - 2) ? 2 : 1);
    }
    ReplaceSelection(h, st, "", true);
}

LRESULT OnKeyDown(HWND h, EditState& st, WPARAM key) {
    bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    switch (key) {
        case VK_LEFT:
            MoveCaret(h, st, LeftTarget(st, shift, ctrl), shift);
            break;
        case VK_RIGHT:
            MoveCaret(h, st, RightTarget(st, shift, ctrl), shift);
            break;
        case VK_HOME:
        case VK_END:
            MoveCaret(h, st, HomeEndTarget(h, st, key == VK_HOME, ctrl), shift);
            break;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
            if (Multi(h)) MoveCaret(h, st, LineStepTarget(h, st, key), shift);
            break;
        case VK_DELETE:
            DeleteForward(h, st, shift);
            break;
        case VK_INSERT:
            // Ctrl+Insert copies, Shift+Insert pastes.
            if (ctrl)
                SendMessageA(h, WM_COPY, 0, 0);
            else if (shift)
                SendMessageA(h, WM_PASTE, 0, 0);
            break;
        default:
            break;
    }
    return 0;
}

LRESULT OnChar(HWND h, EditState& st, WPARAM wparam) {
    auto c = static_cast<unsigned char>(wparam);
    // Ctrl+C, Ctrl+X, Ctrl+V and Ctrl+Z.
    static constexpr std::pair<unsigned char, UINT> kCommands[] = {
        {3, WM_COPY}, {24, WM_CUT}, {22, WM_PASTE}, {26, WM_UNDO}};
    for (auto [key, command] : kCommands)
        if (c == key) {
            SendMessageA(h, command, 0, 0);
            return 0;
        }
    DWORD style = StyleOf(h);
    if (style & ES_READONLY) return 0;
    if (c == 8) {
        DeleteBack(h, st);
        return 0;
    }
    if (c == '\r' || c == '\t') {
        if (Multi(h)) ReplaceSelection(h, st, c == '\r' ? "\r\n" : "\t", true);
        return 0;
    }
    if (c < 32 || c == 127) return 0;
    // A number edit takes digits only; a full edit takes nothing more.
    bool allowed = !(style & ES_NUMBER) || isdigit(c);
    if (!allowed || !ReplaceSelection(h, st, std::string(1, static_cast<char>(c)), true)) MessageBeep(0);
    return 0;
}

LRESULT OnCopy(const EditState& st) {
    Copy(st);
    return 0;
}

LRESULT OnCut(HWND h, EditState& st) {
    if (StyleOf(h) & (ES_READONLY | ES_PASSWORD)) return 0;
    Copy(st);
    ReplaceSelection(h, st, "", true);
    return 0;
}

LRESULT OnClear(HWND h, EditState& st) {
    if (!(StyleOf(h) & ES_READONLY)) ReplaceSelection(h, st, "", true);
    return 0;
}

LRESULT OnPaste(HWND h, EditState& st) {
    if (StyleOf(h) & ES_READONLY) return 0;
    std::string s;
    if (!OpenClipboard(h)) return 0;
    if (HANDLE mem = GetClipboardData(CF_TEXT)) {
        if (auto* p = static_cast<const char*>(GlobalLock(mem))) {
            s.assign(p, strnlen(p, GlobalSize(mem)));
            GlobalUnlock(mem);
        }
    }
    CloseClipboard();
    if (!s.empty()) ReplaceSelection(h, st, s, true);
    return 0;
}

// Undo swaps the text with the one before the last change, so a second undo redoes.
LRESULT OnUndo(HWND h, EditState& st) {
    if (!st.can_undo) return FALSE;
    std::swap(st.text, st.undo_text);
    W(h)->text = st.text;
    st.anchor = st.caret = static_cast<int>(st.text.size());
    Changed(h, st, true);
    return TRUE;
}

LRESULT OnSetSel(HWND h, EditState& st, WPARAM from, LPARAM to) {
    SetSel(h, st, static_cast<int>(static_cast<INT_PTR>(from)), static_cast<int>(to));
    return 0;
}

LRESULT OnReplaceSel(HWND h, EditState& st, LPCSTR t) {
    ReplaceSelection(h, st, t != nullptr ? t : "", false);
    return 0;
}

LRESULT OnLimitText(EditState& st, WPARAM limit) {
    return SetField(st.limit,
                    limit == 0 ? 0x7FFFFFFE : static_cast<int>(std::min<WPARAM>(limit, 0x7FFFFFFE)));
}

LRESULT OnSetReadOnly(HWND h, bool on) {
    Window* w = W(h);
    if (on)
        w->style |= ES_READONLY;
    else
        w->style &= ~static_cast<DWORD>(ES_READONLY);
    InvalidateRect(h, nullptr, TRUE);
    return TRUE;
}

LRESULT OnLineIndex(HWND h, const EditState& st, WPARAM line) {
    auto lines = Lines(h, st);
    int li = static_cast<int>(static_cast<INT_PTR>(line));
    if (li < 0) li = LineOf(lines, st.caret);
    if (li >= static_cast<int>(lines.size())) return -1;
    return lines[static_cast<size_t>(li)].start;
}

LRESULT OnLineFromChar(HWND h, const EditState& st, WPARAM index) {
    int i = static_cast<int>(static_cast<INT_PTR>(index));
    if (i < 0) i = std::min(st.anchor, st.caret);
    return LineOf(Lines(h, st), i);
}

LRESULT OnLineLength(HWND h, const EditState& st, WPARAM index) {
    auto lines = Lines(h, st);
    int i = static_cast<int>(static_cast<INT_PTR>(index));
    if (i < 0) i = st.caret;
    return lines[static_cast<size_t>(LineOf(lines, i))].length;
}

// EM_GETLINE: the buffer's first WORD gives its size; the line is copied without a terminating NUL.
LRESULT OnGetLine(HWND h, const EditState& st, WPARAM line, char* buf) {
    auto lines = Lines(h, st);
    if (buf == nullptr || line >= lines.size()) return 0;
    WORD size;
    memcpy(&size, buf, sizeof size);
    const Line& l = lines[line];
    int n = std::min<int>(size, l.length);
    memcpy(buf, st.text.data() + l.start, static_cast<size_t>(n));
    return n;
}

LRESULT OnScrollCaret(HWND h, EditState& st) {
    ScrollToCaret(h, st);
    InvalidateRect(h, nullptr, FALSE);
    return TRUE;
}

LRESULT OnGetRect(HWND h, const EditState& st, RECT* r) {
    if (r != nullptr) *r = FormatRect(h, st);
    return 0;
}

LRESULT OnSetMargins(HWND h, EditState& st, WPARAM which, LPARAM margins) {
    if (which & EC_LEFTMARGIN) st.margin_left = LOWORD(static_cast<DWORD_PTR>(margins));
    if (which & EC_RIGHTMARGIN) st.margin_right = HIWORD(static_cast<DWORD_PTR>(margins));
    return Relayout(h, st);
}

LRESULT OnVScroll(HWND h, EditState& st, WPARAM request) {
    if (!Multi(h)) return 0;
    int count = static_cast<int>(Lines(h, st).size());
    int vis = VisibleLines(h, st);
    int line = st.first_line;
    if (!ScrollRequestTarget(request, st.first_line, 1, vis, count, &line)) return 0;
    line = std::clamp(line, 0, std::max(0, count - vis));
    if (line != st.first_line) {
        st.first_line = line;
        SetScrollPos(h, SB_VERT, line, TRUE);
        UpdateCaret(h, st);
        InvalidateRect(h, nullptr, FALSE);
        Notify(h, EN_VSCROLL);
    }
    return 0;
}

}  // namespace

LRESULT EditProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (W(h) == nullptr) return 0;
    EditState& st = Ctl<EditState>(h);
    switch (msg) {
        case WM_CREATE:
            return OnCreate(h, st, reinterpret_cast<const CREATESTRUCTA*>(lparam));
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(h, msg, [&](HDC dc) { Paint(h, st, dc); });
        case WM_SETTEXT:
            return OnSetText(h, st, reinterpret_cast<LPCSTR>(lparam));
        case WM_SETFONT:
            return OnSetFont(h, st, reinterpret_cast<HFONT>(wparam));
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(st.font);
        case WM_SIZE:
            return Relayout(h, st);
        case WM_SETFOCUS:
            return OnSetFocus(h, st);
        case WM_KILLFOCUS:
            return OnKillFocus(h, st);
        case WM_ENABLE:
            return Redraw(h, TRUE);
        case WM_GETDLGCODE:
            return OnGetDlgCode(h, reinterpret_cast<const MSG*>(lparam));
        case WM_LBUTTONDOWN:
            return OnLButtonDown(h, st, wparam, PointOf(lparam));
        case WM_LBUTTONDBLCLK:
            return OnLButtonDblClk(h, st, PointOf(lparam));
        case WM_MOUSEMOVE:
            return OnMouseMove(h, st, PointOf(lparam));
        case WM_LBUTTONUP:
            return st.press.OnLButtonUp(h);
        case WM_CAPTURECHANGED:
            return st.press.OnCaptureChanged();
        case WM_KEYDOWN:
            return OnKeyDown(h, st, wparam);
        case WM_CHAR:
            return OnChar(h, st, wparam);
        case WM_COPY:
            return OnCopy(st);
        case WM_CUT:
            return OnCut(h, st);
        case WM_CLEAR:
            return OnClear(h, st);
        case WM_PASTE:
            return OnPaste(h, st);
        case WM_UNDO:
        case EM_UNDO:
            return OnUndo(h, st);
        case EM_CANUNDO:
            return st.can_undo;
        case EM_GETSEL:
            return ReportSelection(st.anchor, st.caret, wparam, lparam);
        case EM_SETSEL:
            return OnSetSel(h, st, wparam, lparam);
        case EM_REPLACESEL:
            return OnReplaceSel(h, st, reinterpret_cast<LPCSTR>(lparam));
        case EM_GETMODIFY:
            return st.modified;
        case EM_SETMODIFY:
            return SetField(st.modified, wparam != 0);
        case EM_LIMITTEXT:
            return OnLimitText(st, wparam);
        case EM_GETLIMITTEXT:
            return st.limit;
        case EM_SETREADONLY:
            return OnSetReadOnly(h, wparam != 0);
        case EM_GETLINECOUNT:
            return static_cast<LRESULT>(Lines(h, st).size());
        case EM_LINEINDEX:
            return OnLineIndex(h, st, wparam);
        case EM_LINEFROMCHAR:
            return OnLineFromChar(h, st, wparam);
        case EM_LINELENGTH:
            return OnLineLength(h, st, wparam);
        case EM_GETLINE:
            return OnGetLine(h, st, wparam, reinterpret_cast<char*>(lparam));
        case EM_GETFIRSTVISIBLELINE:
            return Multi(h) ? st.first_line : 0;
        case EM_SCROLLCARET:
            return OnScrollCaret(h, st);
        case EM_GETRECT:
            return OnGetRect(h, st, reinterpret_cast<RECT*>(lparam));
        case EM_SETMARGINS:
            return OnSetMargins(h, st, wparam, lparam);
        case EM_GETMARGINS:
            return MAKELONG(static_cast<WORD>(st.margin_left), static_cast<WORD>(st.margin_right));
        case WM_VSCROLL:
            return OnVScroll(h, st, wparam);
        default:
            return DefWindowProcA(h, msg, wparam, lparam);
    }
}

}  // namespace qsm::wm
