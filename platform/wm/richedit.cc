// The rich-text view "RichEdit20A": formatted text streamed in as rich text or plain text, word-wrapped in
// the control's width, scrolled vertically by pixels, with selection, a caret, links found in the text and
// reported to the parent through WM_NOTIFY, and the default and selection character formats.
#include <strings.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/kernel/clipboard.h"
#include "platform/kernel/memory.h"
#include "platform/wm/control_util.h"
#include "platform/wm/rtf_reader.h"

namespace qsm::wm {
namespace {

constexpr int kTabWidth = 48;                 // pixels between tab stops (half an inch)
constexpr size_t kMaxStreamBytes = 64 << 20;  // a stream longer than this is cut
constexpr int kDefaultLimit = 32767;
constexpr DWORD kDisableNoScroll = 0x2000;  // ES_DISABLENOSCROLL

struct Line {
    int start;  // first character
    int end;    // one past the last, the paragraph mark included
    int top;    // pixels from the top of the text
    int height;
    int ascent;
};

struct FontInfo {
    HFONT font = nullptr;
    int ascent = 0;
    int descent = 0;
    std::array<int, 256> advance{};
};

struct RichState {
    RichText doc;
    int anchor = 0;
    int caret = 0;
    DWORD event_mask = 0;
    bool auto_url = false;
    std::vector<CHARRANGE> links;
    int margin_left = 1;
    int margin_right = 1;
    int scroll_y = 0;
    long long limit = kDefaultLimit;
    bool focus = false;
    MousePress press;  // selecting by dragging
    bool modified = false;
    bool vscroll = false;   // made with a vertical scroll bar, shown while the text is taller than the view
    bool keep_bar = false;  // ES_DISABLENOSCROLL: the bar stays, disabled while the text fits
    bool layout_valid = false;
    int layout_width = -1;
    std::vector<Line> lines;
    int total_height = 0;
    // Fonts by format index and link look.
    std::map<std::pair<int, bool>, std::unique_ptr<FontInfo>> fonts;

    RichState() { doc.formats.push_back(RichFormat{}); }
    ~RichState() { DropFonts(); }
    void DropFonts() {
        for (auto& [key, f] : fonts)
            if (f->font != nullptr) DeleteObject(f->font);
        fonts.clear();
    }
    int Length() const { return static_cast<int>(doc.text.size()); }
};

RichState& StateOf(HWND h) {
    return Ctl<RichState>(h);
}

bool InLink(const RichState& st, int i, CHARRANGE* range = nullptr) {
    for (const CHARRANGE& r : st.links)
        if (i >= r.cpMin && i < r.cpMax) {
            if (range != nullptr) *range = r;
            return true;
        }
    return false;
}

FontInfo& FontFor(RichState& st, int fmt, bool link) {
    auto key = std::make_pair(fmt, link);
    auto it = st.fonts.find(key);
    if (it != st.fonts.end()) return *it->second;
    const RichFormat& f = st.doc.formats[static_cast<size_t>(fmt)];
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(f.size_twips, 96, 1440);
    lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = f.italic;
    // Underlines and strike-out lines are drawn by the view itself.
    lf.lfCharSet = f.charset;
    lf.lfPitchAndFamily = f.pitch_family;
    CopyFaceName(lf.lfFaceName, f.face.c_str());
    auto info = std::make_unique<FontInfo>();
    info->font = CreateFontIndirectA(&lf);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info->font != nullptr ? info->font : DefaultGuiFont());
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    info->ascent = tm.tmAscent;
    info->descent = tm.tmDescent;
    for (int c = 0; c < 256; ++c) {
        char ch = static_cast<char>(c);
        SIZE sz{0, 0};
        GetTextExtentPoint32A(dc, &ch, 1, &sz);
        info->advance[static_cast<size_t>(c)] = sz.cx;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    FontInfo& out = *info;
    st.fonts[key] = std::move(info);
    return out;
}

int Advance(RichState& st, int i, int x) {
    char c = st.doc.text[static_cast<size_t>(i)];
    if (c == '\r') return 0;
    if (c == '\t') return kTabWidth - x % kTabWidth;
    return FontFor(st, st.doc.format[static_cast<size_t>(i)], InLink(st, i))
        .advance[static_cast<unsigned char>(c)];
}

int TextWidthOf(HWND h, const RichState& st) {
    RECT r = ClientRectOf(h);
    return std::max(1, static_cast<int>(r.right - r.left) - st.margin_left - st.margin_right);
}

// Breaks the text into lines: at paragraph marks, and after the last blank that fits the width (inside a
// word when a word alone is wider).
void Layout(HWND h, RichState& st) {
    int width = TextWidthOf(h, st);
    st.lines.clear();
    const std::string& t = st.doc.text;
    int n = st.Length();
    int top = 0;
    auto add = [&](int start, int end) {
        int asc = 0, desc = 0;
        int probe_end = end > start ? end : std::min(start + 1, n);
        int probe_start = end > start ? start : std::max(0, start - (start >= n ? 1 : 0));
        if (n == 0) {
            FontInfo& f = FontFor(st, 0, false);
            asc = f.ascent, desc = f.descent;
        }
        for (int i = probe_start; i < probe_end; ++i) {
            FontInfo& f = FontFor(st, st.doc.format[static_cast<size_t>(i)], InLink(st, i));
            asc = std::max(asc, f.ascent);
            desc = std::max(desc, f.descent);
        }
        int height = std::max(1, asc + desc);
        st.lines.push_back(Line{start, end, top, height, asc});
        top += height;
    };
    int ls = 0;
    while (ls < n) {
        int x = 0, brk = -1, i = ls;
        bool done = false;
        while (i < n) {
            char c = t[static_cast<size_t>(i)];
            if (c == '\r') {
                add(ls, i + 1);
                ls = i + 1;
                done = true;
                break;
            }
            int adv = Advance(st, i, x);
            if (c != ' ' && x + adv > width && i > ls) {
                int at = brk > ls ? brk : i;
                add(ls, at);
                ls = at;
                done = true;
                break;
            }
            x += adv;
            if (c == ' ' || c == '\t') brk = i + 1;
            ++i;
        }
        if (!done) {
            add(ls, n);
            ls = n;
            break;
        }
    }
    // After a final paragraph mark (or in an empty text) the caret has a line of its own.
    if (n == 0 || t.back() == '\r') add(n, n);
    st.total_height = top;
    st.layout_width = width;
    st.layout_valid = true;
}

int ClientHeight(HWND h) {
    RECT r = ClientRectOf(h);
    return std::max(0, static_cast<int>(r.bottom - r.top));
}

int MaxScroll(HWND h, const RichState& st) {
    return std::max(0, st.total_height - ClientHeight(h));
}

void UpdateScrollBar(HWND h, RichState& st, bool keep_shown) {
    if (!st.vscroll) return;
    UINT mask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (keep_shown || st.keep_bar) mask |= SIF_DISABLENOSCROLL;
    SCROLLINFO si{sizeof si,   mask, 0, std::max(0, st.total_height - 1), static_cast<UINT>(ClientHeight(h)),
                  st.scroll_y, 0};
    SetScrollInfo(h, SB_VERT, &si, TRUE);
}

void EnsureLayout(HWND h, RichState& st) {
    if (st.layout_valid && st.layout_width == TextWidthOf(h, st)) return;
    Layout(h, st);
    st.scroll_y = std::clamp(st.scroll_y, 0, MaxScroll(h, st));
    UpdateScrollBar(h, st, false);
    // Showing or hiding the bar changes the width; the second layout keeps the bar as it is then.
    if (st.layout_width != TextWidthOf(h, st)) {
        Layout(h, st);
        st.scroll_y = std::clamp(st.scroll_y, 0, MaxScroll(h, st));
        UpdateScrollBar(h, st, (StyleOf(h) & WS_VSCROLL) != 0);
    }
}

void Relayout(HWND h, RichState& st) {
    st.layout_valid = false;
    EnsureLayout(h, st);
    InvalidateRect(h, nullptr, FALSE);
}

int LineOf(const RichState& st, int index) {
    for (size_t i = st.lines.size(); i-- > 0;)
        if (index >= st.lines[i].start) {
            // The position after a wrapped line's last character starts the next line.
            return static_cast<int>(i);
        }
    return 0;
}

// The line at `y` pixels from the top of the text: the last one that starts there or above.
size_t LineAt(const RichState& st, int y) {
    size_t li = 0;
    while (li + 1 < st.lines.size() && st.lines[li + 1].top <= y)
        ++li;
    return li;
}

int XOf(HWND h, RichState& st, int index) {
    EnsureLayout(h, st);
    const Line& l = st.lines[static_cast<size_t>(LineOf(st, index))];
    int x = 0;
    for (int i = l.start; i < index && i < l.end; ++i)
        x += Advance(st, i, x);
    return st.margin_left + x;
}

// The character position nearest to a client point; with `over_char`, -1 unless the point is on a
// character.
int IndexAt(HWND h, RichState& st, POINT p, bool over_char = false) {
    EnsureLayout(h, st);
    int y = p.y + st.scroll_y;
    size_t li = LineAt(st, y);
    const Line& l = st.lines[li];
    if (over_char && (y < l.top || y >= l.top + l.height)) return -1;
    int last = l.end;
    if (last > l.start && st.doc.text[static_cast<size_t>(last) - 1] == '\r') --last;
    int x = st.margin_left;
    for (int i = l.start; i < last; ++i) {
        int adv = Advance(st, i, x - st.margin_left);
        if (over_char) {
            if (p.x >= x && p.x < x + adv) return i;
        } else if (p.x < x + adv / 2) {
            return i;
        }
        x += adv;
    }
    return over_char ? -1 : last;
}

void ScrollTo(HWND h, RichState& st, int y) {
    EnsureLayout(h, st);
    y = std::clamp(y, 0, MaxScroll(h, st));
    if (y == st.scroll_y) return;
    st.scroll_y = y;
    if (StyleOf(h) & WS_VSCROLL) SetScrollPos(h, SB_VERT, y, TRUE);
    InvalidateRect(h, nullptr, FALSE);
}

void UpdateCaret(HWND h, RichState& st) {
    if (!st.focus) return;
    EnsureLayout(h, st);
    const Line& l = st.lines[static_cast<size_t>(LineOf(st, st.caret))];
    SetCaretPos(XOf(h, st, st.caret), l.top - st.scroll_y);
}

void ScrollToCaret(HWND h, RichState& st) {
    EnsureLayout(h, st);
    const Line& l = st.lines[static_cast<size_t>(LineOf(st, st.caret))];
    int ch = ClientHeight(h);
    if (l.top < st.scroll_y)
        ScrollTo(h, st, l.top);
    else if (l.top + l.height > st.scroll_y + ch)
        ScrollTo(h, st, l.top + l.height - ch);
}

bool IsUrlChar(unsigned char c) {
    return c > ' ' && c != '<' && c != '>' && c != '"' && c != '{' && c != '}' && c != 0x7F;
}

// Links: runs that start with a scheme or "www." after a non-word character and go on to the next blank;
// closing punctuation at the end is not part of them.
void DetectLinks(RichState& st) {
    st.links.clear();
    if (!st.auto_url) return;
    static const char* const kStarts[] = {
        "http://", "https://", "ftp://", "mailto:", "file:", "news:", "www."};
    const std::string& t = st.doc.text;
    size_t i = 0;
    while (i < t.size()) {
        bool boundary = i == 0 || !isalnum(static_cast<unsigned char>(t[i - 1]));
        size_t matched = 0;
        if (boundary)
            for (const char* s : kStarts) {
                size_t n = strlen(s);
                if (t.size() - i >= n && strncasecmp(t.c_str() + i, s, n) == 0) {
                    matched = n;
                    break;
                }
            }
        if (matched == 0) {
            ++i;
            continue;
        }
        size_t end = i + matched;
        while (end < t.size() && IsUrlChar(static_cast<unsigned char>(t[end])))
            ++end;
        while (end > i + matched && strchr(".,;:!?)'", t[end - 1]) != nullptr)
            --end;
        if (end > i + matched) st.links.push_back(CHARRANGE{static_cast<LONG>(i), static_cast<LONG>(end)});
        i = end;
    }
}

void Changed(HWND h, RichState& st, bool notify) {
    DetectLinks(st);
    st.anchor = std::clamp(st.anchor, 0, st.Length());
    st.caret = std::clamp(st.caret, 0, st.Length());
    Relayout(h, st);
    UpdateCaret(h, st);
    if (notify && (st.event_mask & ENM_CHANGE)) Notify(h, EN_CHANGE);
}

size_t LimitOf(const RichState& st) {
    return static_cast<size_t>(std::max<long long>(0, st.limit));
}

// Replaces the whole text by rich or plain text.
void SetContent(HWND h, RichState& st, std::string_view data, bool rtf) {
    RichFormat def = st.doc.formats[0];
    st.doc = RichText{};
    st.doc.formats.push_back(def);
    st.DropFonts();
    if (rtf)
        ReadRtf(data, LimitOf(st), &st.doc);
    else
        ReadPlainText(data, LimitOf(st), &st.doc);
    st.anchor = st.caret = 0;
    st.scroll_y = 0;
    st.modified = false;
    Changed(h, st, true);
}

// Replaces [a, b) with `piece` (its formats taken over), within the limit; the caret goes after it.
void Splice(HWND h, RichState& st, int a, int b, const RichText& piece) {
    size_t keep = st.doc.text.size() - static_cast<size_t>(b - a);
    size_t room = LimitOf(st) > keep ? LimitOf(st) - keep : 0;
    size_t n = std::min(room, piece.text.size());
    std::vector<uint16_t> fmts(n);
    for (size_t i = 0; i < n; ++i)
        fmts[i] = st.doc.Intern(piece.formats[piece.format[i]]);
    st.doc.text.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), piece.text.substr(0, n));
    st.doc.format.erase(st.doc.format.begin() + a, st.doc.format.begin() + b);
    st.doc.format.insert(st.doc.format.begin() + a, fmts.begin(), fmts.end());
    st.anchor = st.caret = a + static_cast<int>(n);
    st.modified = true;
    Changed(h, st, true);
}

void TypeText(HWND h, RichState& st, const std::string& s) {
    int a = std::min(st.anchor, st.caret), b = std::max(st.anchor, st.caret);
    RichText piece;
    // Typed text takes the format of the character before it.
    piece.formats.push_back(a > 0 ? st.doc.formats[st.doc.format[static_cast<size_t>(a) - 1]]
                                  : st.doc.formats[0]);
    for (char c : s)
        piece.Append(c, 0);
    Splice(h, st, a, b, piece);
    ScrollToCaret(h, st);
}

std::string Selected(const RichState& st) {
    int a = std::min(st.anchor, st.caret), b = std::max(st.anchor, st.caret);
    return st.doc.text.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
}

// Paragraph marks as CR LF, the way text leaves the control.
std::string WithCrLf(const std::string& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 16);
    for (char c : s) {
        out.push_back(c);
        if (c == '\r') out.push_back('\n');
    }
    return out;
}

void CopySelection(const RichState& st) {
    PutTextOnClipboard(WithCrLf(Selected(st)));
}

void SetSelection(HWND h, RichState& st, LONG a, LONG b) {
    int n = st.Length();
    if (a < 0) {
        st.anchor = st.caret;
    } else {
        if (b < 0 || b > n) b = n;
        st.anchor = std::clamp<int>(a, 0, n);
        st.caret = std::clamp<int>(b, 0, n);
    }
    ScrollToCaret(h, st);
    UpdateCaret(h, st);
    InvalidateRect(h, nullptr, FALSE);
}

void MoveCaret(HWND h, RichState& st, int to, bool extend) {
    st.caret = std::clamp(to, 0, st.Length());
    if (!extend) st.anchor = st.caret;
    ScrollToCaret(h, st);
    UpdateCaret(h, st);
    InvalidateRect(h, nullptr, FALSE);
}

void Paint(HWND h, RichState& st, HDC dc) {
    EnsureLayout(h, st);
    RECT cr = ClientRectOf(h);
    FillRect(dc, &cr, GetSysColorBrush(COLOR_WINDOW));
    int a = std::min(st.anchor, st.caret), b = std::max(st.anchor, st.caret);
    bool show_sel = a != b && (st.focus || (StyleOf(h) & ES_NOHIDESEL));
    bool enabled = IsWindowEnabled(h) != FALSE;
    SetBkMode(dc, TRANSPARENT);
    UINT old_align = SetTextAlign(dc, TA_BASELINE | TA_LEFT);
    HGDIOBJ old_font = SelectObject(dc, DefaultGuiFont());
    const std::string& t = st.doc.text;
    for (const Line& l : st.lines) {
        int y = l.top - st.scroll_y;
        if (y + l.height <= 0) continue;
        if (y >= cr.bottom) break;
        int x = 0;
        int i = l.start;
        while (i < l.end) {
            // A run of characters with one look.
            int fmt = st.doc.format[static_cast<size_t>(i)];
            bool link = InLink(st, i);
            bool sel = show_sel && i >= a && i < b;
            int j = i, w = 0, line_w = 0;  // line_w: up to the last character that shows
            while (j < l.end && st.doc.format[static_cast<size_t>(j)] == fmt && InLink(st, j) == link &&
                   (show_sel && j >= a && j < b) == sel) {
                w += Advance(st, j, x + w);
                char cj = t[static_cast<size_t>(j)];
                if (cj != '\t' && cj != '\r' && cj != ' ') line_w = w;
                ++j;
            }
            int x0 = st.margin_left + x;
            if (sel) {
                RECT hr{x0, y, x0 + std::max(w, t[static_cast<size_t>(j) - 1] == '\r' ? 4 : 0), y + l.height};
                FillRect(dc, &hr, GetSysColorBrush(COLOR_HIGHLIGHT));
            }
            const RichFormat& f = st.doc.formats[static_cast<size_t>(fmt)];
            COLORREF color = !enabled       ? GetSysColor(COLOR_GRAYTEXT)
                             : sel          ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                             : link         ? GetSysColor(COLOR_HOTLIGHT)
                             : f.auto_color ? GetSysColor(COLOR_WINDOWTEXT)
                                            : f.color;
            SetTextColor(dc, color);
            FontInfo& font = FontFor(st, fmt, link);
            SelectObject(dc, font.font);
            // Tabs and paragraph marks show nothing; the rest is drawn piece by piece between tabs.
            int px = x0;
            int k = i;
            while (k < j) {
                int m = k;
                while (m < j && t[static_cast<size_t>(m)] != '\t' && t[static_cast<size_t>(m)] != '\r')
                    ++m;
                if (m > k) {
                    TextOutA(dc, px, y + l.ascent, t.data() + k, m - k);
                    for (int q = k; q < m; ++q)
                        px += Advance(st, q, px - st.margin_left);
                }
                if (m < j) px += Advance(st, m, px - st.margin_left);
                k = m + 1;
            }
            // Lines under and through the run, one pixel per 12 points, in the text colour.
            int thick = std::max(1, (font.ascent + font.descent) / 16);
            int base = y + l.ascent;

            if ((f.underline || link) && line_w > 0) {
                HBRUSH b = CreateSolidBrush(color);
                RECT u{x0, base + std::max(1, font.descent / 2), x0 + line_w,
                       base + std::max(1, font.descent / 2) + thick};
                FillRect(dc, &u, b);
                DeleteObject(b);
            }
            if (f.strike && line_w > 0) {
                HBRUSH b = CreateSolidBrush(color);
                RECT s{x0, base - font.ascent / 3, x0 + line_w, base - font.ascent / 3 + thick};
                FillRect(dc, &s, b);
                DeleteObject(b);
            }
            x += w;
            i = j;
        }
    }
    SelectObject(dc, old_font);
    SetTextAlign(dc, old_align);
}

// Tells the parent about a mouse message over a link; true when the parent handled it.
bool NotifyLink(HWND h, RichState& st, UINT msg, WPARAM wparam, LPARAM lparam, POINT p) {
    if (!(st.event_mask & ENM_LINK) || st.links.empty()) return false;
    int i = IndexAt(h, st, p, true);
    CHARRANGE range{};
    if (i < 0 || !InLink(st, i, &range)) return false;
    ENLINK link{};
    link.nmhdr.hwndFrom = h;
    link.nmhdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(h));
    link.nmhdr.code = EN_LINK;
    link.msg = msg;
    link.wParam = wparam;
    link.lParam = lparam;
    link.chrg = range;
    HWND parent = GetParent(h);
    if (parent == nullptr) return false;
    return SendMessageA(parent, WM_NOTIFY, link.nmhdr.idFrom, reinterpret_cast<LPARAM>(&link)) != 0;
}

bool OverLink(HWND h, RichState& st, POINT p) {
    int i = IndexAt(h, st, p, true);
    return i >= 0 && InLink(st, i);
}

void ApplyCharFormat(RichFormat& f, const CHARFORMAT2A& cf, bool has_weight) {
    DWORD m = cf.dwMask;
    if (m & CFM_BOLD) f.bold = (cf.dwEffects & CFE_BOLD) != 0;
    if (has_weight && (m & CFM_WEIGHT)) f.bold = cf.wWeight >= FW_BOLD;
    if (m & CFM_ITALIC) f.italic = (cf.dwEffects & CFE_ITALIC) != 0;
    if (m & CFM_UNDERLINE) f.underline = (cf.dwEffects & CFE_UNDERLINE) != 0;
    if (m & CFM_STRIKEOUT) f.strike = (cf.dwEffects & CFE_STRIKEOUT) != 0;
    if ((m & CFM_SIZE) && cf.yHeight > 0) f.size_twips = std::min<LONG>(cf.yHeight, 32760);
    if (m & CFM_COLOR) {
        f.auto_color = (cf.dwEffects & CFE_AUTOCOLOR) != 0;
        f.color = f.auto_color ? 0 : cf.crTextColor;
    }
    if (m & CFM_FACE) {
        f.face.assign(cf.szFaceName, strnlen(cf.szFaceName, LF_FACESIZE));
        f.pitch_family = cf.bPitchAndFamily;
    }
    if (m & CFM_CHARSET) f.charset = cf.bCharSet;
}

void FillCharFormat(const RichFormat& f, DWORD mask, CHARFORMAT2A* cf, bool has_weight) {
    cf->dwMask = mask;
    cf->dwEffects = (f.bold ? CFE_BOLD : 0) | (f.italic ? CFE_ITALIC : 0) |
                    (f.underline ? CFE_UNDERLINE : 0) | (f.strike ? CFE_STRIKEOUT : 0) |
                    (f.auto_color ? CFE_AUTOCOLOR : 0);
    cf->yHeight = f.size_twips;
    cf->yOffset = 0;
    cf->crTextColor = f.auto_color ? GetSysColor(COLOR_WINDOWTEXT) : f.color;
    cf->bCharSet = f.charset;
    cf->bPitchAndFamily = f.pitch_family;
    CopyFaceName(cf->szFaceName, f.face.c_str());
    if (has_weight) cf->wWeight = static_cast<WORD>(f.bold ? FW_BOLD : FW_NORMAL);
}

constexpr DWORD kAllMasks =
    CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_SIZE | CFM_COLOR | CFM_FACE | CFM_CHARSET;

// The attributes the characters of [a, b) share.
DWORD CommonMask(const RichState& st, int a, int b) {
    DWORD mask = kAllMasks;
    const RichFormat& f0 = st.doc.formats[st.doc.format[static_cast<size_t>(a)]];
    for (int i = a + 1; i < b; ++i) {
        const RichFormat& f = st.doc.formats[st.doc.format[static_cast<size_t>(i)]];
        if (f.bold != f0.bold) mask &= ~CFM_BOLD;
        if (f.italic != f0.italic) mask &= ~CFM_ITALIC;
        if (f.underline != f0.underline) mask &= ~CFM_UNDERLINE;
        if (f.strike != f0.strike) mask &= ~CFM_STRIKEOUT;
        if (f.size_twips != f0.size_twips) mask &= ~CFM_SIZE;
        if (f.auto_color != f0.auto_color || f.color != f0.color) mask &= ~CFM_COLOR;
        if (f.face != f0.face) mask &= ~CFM_FACE;
        if (f.charset != f0.charset) mask &= ~CFM_CHARSET;
    }
    return mask;
}

LRESULT GetCharFormat(RichState& st, WPARAM which, LPARAM lparam) {
    auto* cf = reinterpret_cast<CHARFORMAT2A*>(lparam);
    if (cf == nullptr || (cf->cbSize != sizeof(CHARFORMATA) && cf->cbSize != sizeof(CHARFORMAT2A))) return 0;
    bool has_weight = cf->cbSize == sizeof(CHARFORMAT2A);
    DWORD mask = kAllMasks | (has_weight ? CFM_WEIGHT : 0);
    const RichFormat* f = &st.doc.formats[0];
    if (which & SCF_SELECTION) {
        int a = std::min(st.anchor, st.caret), b = std::max(st.anchor, st.caret);
        if (a < b) {
            f = &st.doc.formats[st.doc.format[static_cast<size_t>(a)]];
            mask = CommonMask(st, a, b) | (has_weight && (CommonMask(st, a, b) & CFM_BOLD) ? CFM_WEIGHT : 0);
        } else if (a > 0) {
            f = &st.doc.formats[st.doc.format[static_cast<size_t>(a) - 1]];
        }
    }
    FillCharFormat(*f, mask, cf, has_weight);
    return static_cast<LRESULT>(mask);
}

LRESULT SetCharFormat(HWND h, RichState& st, WPARAM which, LPARAM lparam) {
    const auto* in = reinterpret_cast<const CHARFORMAT2A*>(lparam);
    if (in == nullptr || (in->cbSize != sizeof(CHARFORMATA) && in->cbSize != sizeof(CHARFORMAT2A))) return 0;
    CHARFORMAT2A cf{};
    memcpy(&cf, in, in->cbSize);
    bool has_weight = in->cbSize == sizeof(CHARFORMAT2A);
    if (which & (SCF_SELECTION | SCF_ALL)) {
        int a = 0, b = st.Length();
        if (!(which & SCF_ALL)) a = std::min(st.anchor, st.caret), b = std::max(st.anchor, st.caret);
        std::map<uint16_t, uint16_t> changed;
        for (int i = a; i < b; ++i) {
            uint16_t& fi = st.doc.format[static_cast<size_t>(i)];
            auto it = changed.find(fi);
            if (it == changed.end()) {
                RichFormat f = st.doc.formats[fi];
                ApplyCharFormat(f, cf, has_weight);
                it = changed.emplace(fi, st.doc.Intern(f)).first;
            }
            fi = it->second;
        }
    } else {
        // The default format, which every character without a format of its own follows.
        ApplyCharFormat(st.doc.formats[0], cf, has_weight);
        st.DropFonts();
    }
    Relayout(h, st);
    UpdateCaret(h, st);
    return TRUE;
}

LRESULT StreamIn(HWND h, RichState& st, WPARAM format, LPARAM lparam) {
    auto* es = reinterpret_cast<EDITSTREAM*>(lparam);
    if (es == nullptr || es->pfnCallback == nullptr) return 0;
    std::string data;
    std::vector<BYTE> buf(4096);
    es->dwError = 0;
    while (data.size() < kMaxStreamBytes) {
        LONG got = 0;
        DWORD err = es->pfnCallback(es->dwCookie, buf.data(), static_cast<LONG>(buf.size()), &got);
        if (err != 0) {
            es->dwError = err;
            break;
        }
        if (got <= 0) break;
        data.append(reinterpret_cast<const char*>(buf.data()),
                    static_cast<size_t>(std::min<LONG>(got, static_cast<LONG>(buf.size()))));
    }
    // Rich text that does not start as such is read as plain text.
    bool rtf = (format & SF_RTF) && LooksLikeRtf(data);
    if (format & SFF_SELECTION) {
        RichText piece;
        piece.formats.push_back(st.doc.formats[0]);
        if (rtf)
            ReadRtf(data, LimitOf(st), &piece);
        else
            ReadPlainText(data, LimitOf(st), &piece);
        int a = std::min(st.anchor, st.caret), b = std::max(st.anchor, st.caret);
        int before = st.Length() - (b - a);
        Splice(h, st, a, b, piece);
        return st.Length() - before;
    }
    SetContent(h, st, data, rtf);
    return st.Length();
}

void CopyOut(const std::string& s, WPARAM size, LPARAM lparam, LRESULT* n) {
    auto* buf = reinterpret_cast<char*>(lparam);
    *n = 0;
    if (buf == nullptr || size == 0) return;
    size_t k = std::min(s.size(), static_cast<size_t>(size) - 1);
    memcpy(buf, s.data(), k);
    buf[k] = 0;
    *n = static_cast<LRESULT>(k);
}

// Up, Down, Page Up and Page Down: the place below or above the caret on the line they reach (a page scrolls
// the view too).
int VerticalTarget(HWND h, RichState& st, WPARAM vk) {
    const Line& l = st.lines[static_cast<size_t>(LineOf(st, st.caret))];
    int x = XOf(h, st, st.caret);
    int y = l.top - st.scroll_y + l.height / 2;
    int ch = ClientHeight(h);
    if (vk == VK_UP) y -= l.height;
    if (vk == VK_DOWN) y += l.height;
    if (vk == VK_PRIOR) {
        ScrollTo(h, st, st.scroll_y - ch);
        y -= ch;
    }
    if (vk == VK_NEXT) {
        ScrollTo(h, st, st.scroll_y + ch);
        y += ch;
    }
    return IndexAt(h, st, POINT{x, std::clamp(y, -st.scroll_y, st.total_height - st.scroll_y - 1)});
}

// Delete removes the selection or the character after the caret.
void DeleteForward(HWND h, RichState& st) {
    if (StyleOf(h) & ES_READONLY) return;
    if (st.anchor == st.caret) {
        if (st.caret >= st.Length()) return;
        st.anchor = st.caret + 1;
    }
    TypeText(h, st, "");
}

// ---- message handlers ----

LRESULT OnNcCreate(HWND h, WPARAM wparam, LPARAM lparam) {
    // The view is always multi-line.
    if (Window* w = W(h)) w->style |= ES_MULTILINE;
    return DefWindowProcA(h, WM_NCCREATE, wparam, lparam);
}

LRESULT OnCreate(HWND h, RichState& st, const CREATESTRUCTA* cs) {
    std::string text = cs != nullptr && cs->lpszName != nullptr ? cs->lpszName : "";
    DWORD style = StyleOf(h);
    st.vscroll = (style & WS_VSCROLL) != 0;
    st.keep_bar = (style & kDisableNoScroll) != 0;
    SetContent(h, st, text, LooksLikeRtf(text));
    return 0;
}

LRESULT OnSize(HWND h, RichState& st) {
    EnsureLayout(h, st);
    UpdateCaret(h, st);
    InvalidateRect(h, nullptr, FALSE);
    return 0;
}

// WM_SETTEXT: rich text when the text starts as such, plain text otherwise.
LRESULT OnSetText(HWND h, RichState& st, LPCSTR t) {
    std::string s = t != nullptr ? t : "";
    SetContent(h, st, s, LooksLikeRtf(s));
    return TRUE;
}

LRESULT OnGetText(const RichState& st, WPARAM size, LPARAM buffer) {
    LRESULT n = 0;
    CopyOut(WithCrLf(st.doc.text), size, buffer, &n);
    return n;
}

// A font set on the view becomes its default character format.
LRESULT OnSetFont(HWND h, RichState& st, HFONT font) {
    LOGFONTA lf{};
    if (font == nullptr || GetObjectA(font, sizeof lf, &lf) == 0) return 0;
    RichFormat& f = st.doc.formats[0];
    int height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    if (height > 0) f.size_twips = MulDiv(height, 1440, 96);
    f.bold = lf.lfWeight >= FW_BOLD;
    f.italic = lf.lfItalic != 0;
    f.charset = lf.lfCharSet;
    f.pitch_family = lf.lfPitchAndFamily;
    f.face.assign(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
    st.DropFonts();
    Relayout(h, st);
    return 0;
}

// The caret is as high as the caret's line.
LRESULT OnSetFocus(HWND h, RichState& st) {
    st.focus = true;
    EnsureLayout(h, st);
    const Line& l = st.lines[static_cast<size_t>(LineOf(st, st.caret))];
    return TextFocusGained(h, l.height, [&] { UpdateCaret(h, st); });
}

LRESULT OnKillFocus(HWND h, RichState& st) {
    st.focus = false;
    return TextFocusLost(h);
}

// The pointer is a hand over a link (unless the parent answers the link's notification) and a text beam
// elsewhere in the client area.
LRESULT OnSetCursor(HWND h, RichState& st, WPARAM wparam, LPARAM lparam) {
    if (reinterpret_cast<HWND>(wparam) != h || LOWORD(lparam) != HTCLIENT)
        return DefWindowProcA(h, WM_SETCURSOR, wparam, lparam);
    POINT p{0, 0};
    GetCursorPos(&p);
    ScreenToClient(h, &p);
    if (NotifyLink(h, st, WM_SETCURSOR, wparam, lparam, p)) return TRUE;
    SetCursor(LoadCursorA(nullptr, OverLink(h, st, p) ? IDC_HAND : IDC_IBEAM));
    return TRUE;
}

LRESULT OnLButtonDown(HWND h, RichState& st, WPARAM keys, POINT p) {
    if (GetFocus() != h) SetFocus(h);
    MoveCaret(h, st, IndexAt(h, st, p), (keys & MK_SHIFT) != 0);
    st.press.Begin(h);
    return 0;
}

// A double click selects the word under the pointer.
LRESULT OnLButtonDblClk(HWND h, RichState& st, POINT p) {
    auto [a, b] = WordAround(st.doc.text, IndexAt(h, st, p));
    SetSelection(h, st, a, b);
    return 0;
}

LRESULT OnMouseMove(HWND h, RichState& st, POINT p) {
    if (st.press.held) MoveCaret(h, st, IndexAt(h, st, p), true);
    return 0;
}

// Mouse messages over a link go to the parent first; what it handles goes no further.
LRESULT OnMouse(HWND h, RichState& st, UINT msg, WPARAM wparam, LPARAM lparam) {
    POINT p = PointOf(lparam);
    if (NotifyLink(h, st, msg, wparam, lparam, p)) return 0;
    switch (msg) {
        case WM_LBUTTONDOWN:
            return OnLButtonDown(h, st, wparam, p);
        case WM_LBUTTONDBLCLK:
            return OnLButtonDblClk(h, st, p);
        case WM_MOUSEMOVE:
            return OnMouseMove(h, st, p);
        case WM_LBUTTONUP:
            return st.press.OnLButtonUp(h);
        default:
            return 0;
    }
}

// A notch of the wheel scrolls three lines of the first line's height.
LRESULT OnMouseWheel(HWND h, RichState& st, WPARAM wparam) {
    int notches = static_cast<SHORT>(HIWORD(wparam)) / WHEEL_DELTA;
    EnsureLayout(h, st);
    int step = st.lines.empty() ? 16 : st.lines[0].height;
    ScrollTo(h, st, st.scroll_y - notches * 3 * step);
    UpdateCaret(h, st);
    return 0;
}

// Line steps go from one line's top to the next; a page is the view's height.
LRESULT OnVScroll(HWND h, RichState& st, WPARAM request) {
    EnsureLayout(h, st);
    int y = st.scroll_y;
    size_t li = LineAt(st, y);
    const Line& l = st.lines[li];
    if (LOWORD(request) == SB_LINEUP)
        y = l.top < y ? l.top : (li > 0 ? st.lines[li - 1].top : 0);
    else if (LOWORD(request) == SB_LINEDOWN)
        y = l.top + l.height;
    else if (!ScrollRequestTarget(request, y, 0, ClientHeight(h), st.total_height, &y))
        return 0;
    int before = st.scroll_y;
    ScrollTo(h, st, y);
    UpdateCaret(h, st);
    if (before != st.scroll_y && (st.event_mask & ENM_SCROLL)) Notify(h, EN_VSCROLL);
    return 0;
}

LRESULT OnKeyDown(HWND h, RichState& st, WPARAM vk) {
    bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    EnsureLayout(h, st);
    const std::string& t = st.doc.text;
    const Line& l = st.lines[static_cast<size_t>(LineOf(st, st.caret))];
    int line_end = l.end > l.start && t[static_cast<size_t>(l.end) - 1] == '\r' ? l.end - 1 : l.end;
    bool collapse = !shift && st.anchor != st.caret;  // an arrow without Shift collapses the selection
    switch (vk) {
        case VK_LEFT:
            MoveCaret(h, st, collapse ? std::min(st.anchor, st.caret) : st.caret - 1, shift);
            break;
        case VK_RIGHT:
            MoveCaret(h, st, collapse ? std::max(st.anchor, st.caret) : st.caret + 1, shift);
            break;
        case VK_HOME:
            MoveCaret(h, st, ctrl ? 0 : l.start, shift);
            break;
        case VK_END:
            MoveCaret(h, st, ctrl ? st.Length() : line_end, shift);
            break;
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
            MoveCaret(h, st, VerticalTarget(h, st, vk), shift);
            break;
        case VK_DELETE:
            DeleteForward(h, st);
            break;
        default:
            break;
    }
    return 0;
}

// Ctrl+C copies and Ctrl+A selects all; typing replaces the selection, Backspace removes it or the character
// before the caret.
LRESULT OnChar(HWND h, RichState& st, WPARAM wparam) {
    auto c = static_cast<unsigned char>(wparam);
    if (c == 3) {
        CopySelection(st);
        return 0;
    }
    if (c == 1) {
        SetSelection(h, st, 0, -1);
        return 0;
    }
    if (StyleOf(h) & ES_READONLY) return 0;
    if (c == 8) {
        if (st.anchor == st.caret) {
            if (st.caret == 0) return 0;
            st.anchor = st.caret - 1;
        }
        TypeText(h, st, "");
        return 0;
    }
    if ((c == '\r' || c == '\t' || c >= 32) && c != 127)
        TypeText(h, st, std::string(1, static_cast<char>(c)));
    return 0;
}

LRESULT OnCopy(const RichState& st) {
    CopySelection(st);
    return 0;
}

LRESULT OnAutoUrlDetect(HWND h, RichState& st, bool on) {
    st.auto_url = on;
    DetectLinks(st);
    Relayout(h, st);
    return 0;
}

LRESULT OnExSetSel(HWND h, RichState& st, const CHARRANGE* r) {
    if (r == nullptr) return 0;
    SetSelection(h, st, r->cpMin, r->cpMax);
    return std::max(st.anchor, st.caret);
}

LRESULT OnExGetSel(const RichState& st, CHARRANGE* r) {
    if (r != nullptr) {
        r->cpMin = std::min(st.anchor, st.caret);
        r->cpMax = std::max(st.anchor, st.caret);
    }
    return 0;
}

LRESULT OnSetSel(HWND h, RichState& st, WPARAM from, LPARAM to) {
    SetSelection(h, st, static_cast<LONG>(static_cast<INT_PTR>(from)), static_cast<LONG>(to));
    return 0;
}

// EM_GETSELTEXT: the caller's buffer holds the selection and its terminating NUL.
LRESULT OnGetSelText(const RichState& st, char* buf) {
    if (buf == nullptr) return 0;
    std::string s = Selected(st);
    memcpy(buf, s.c_str(), s.size() + 1);
    return static_cast<LRESULT>(s.size());
}

LRESULT OnReplaceSel(HWND h, RichState& st, LPCSTR t) {
    TypeText(h, st, t != nullptr ? t : "");
    return 0;
}

LRESULT OnSetMargins(HWND h, RichState& st, WPARAM which, LPARAM margins) {
    if (which & EC_LEFTMARGIN) st.margin_left = LOWORD(static_cast<DWORD_PTR>(margins));
    if (which & EC_RIGHTMARGIN) st.margin_right = HIWORD(static_cast<DWORD_PTR>(margins));
    Relayout(h, st);
    UpdateCaret(h, st);
    return 0;
}

LRESULT OnSetReadOnly(HWND h, bool on) {
    if (on)
        W(h)->style |= ES_READONLY;
    else
        W(h)->style &= ~static_cast<DWORD>(ES_READONLY);
    return TRUE;
}

LRESULT OnGetLineCount(HWND h, RichState& st) {
    EnsureLayout(h, st);
    return static_cast<LRESULT>(st.lines.size());
}

LRESULT OnGetFirstVisibleLine(HWND h, RichState& st) {
    EnsureLayout(h, st);
    return static_cast<LRESULT>(LineAt(st, st.scroll_y));
}

LRESULT OnLineIndex(HWND h, RichState& st, WPARAM line) {
    EnsureLayout(h, st);
    int li = static_cast<int>(static_cast<INT_PTR>(line));
    if (li < 0) li = LineOf(st, st.caret);
    if (li >= static_cast<int>(st.lines.size())) return -1;
    return st.lines[static_cast<size_t>(li)].start;
}

LRESULT OnLineFromChar(HWND h, RichState& st, WPARAM index) {
    EnsureLayout(h, st);
    int i = static_cast<int>(static_cast<INT_PTR>(index));
    if (i < 0) i = std::min(st.anchor, st.caret);
    return LineOf(st, i);
}

LRESULT OnScrollCaret(HWND h, RichState& st) {
    ScrollToCaret(h, st);
    UpdateCaret(h, st);
    return 0;
}

LRESULT OnGetRect(HWND h, const RichState& st, RECT* r) {
    if (r != nullptr) {
        *r = ClientRectOf(h);
        r->left += st.margin_left;
        r->right -= st.margin_right;
    }
    return 0;
}

}  // namespace

LRESULT RichEditProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_NCCREATE) return OnNcCreate(h, wparam, lparam);
    if (W(h) == nullptr) return 0;
    RichState& st = StateOf(h);
    switch (msg) {
        case WM_CREATE:
            return OnCreate(h, st, reinterpret_cast<const CREATESTRUCTA*>(lparam));
        case WM_PAINT:
        case WM_ERASEBKGND:
            return PaintWhole(h, msg, [&](HDC dc) { Paint(h, st, dc); });
        case WM_SIZE:
            return OnSize(h, st);
        case WM_SETTEXT:
            return OnSetText(h, st, reinterpret_cast<LPCSTR>(lparam));
        case WM_GETTEXT:
            return OnGetText(st, wparam, lparam);
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(WithCrLf(st.doc.text).size());
        case WM_SETFONT:
            return OnSetFont(h, st, reinterpret_cast<HFONT>(wparam));
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(FontFor(st, 0, false).font);
        case WM_SETFOCUS:
            return OnSetFocus(h, st);
        case WM_KILLFOCUS:
            return OnKillFocus(h, st);
        case WM_ENABLE:
            return Redraw(h, FALSE);
        case WM_GETDLGCODE:
            return DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL | DLGC_WANTALLKEYS;
        case WM_SETCURSOR:
            return OnSetCursor(h, st, wparam, lparam);
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            return OnMouse(h, st, msg, wparam, lparam);
        case WM_CAPTURECHANGED:
            return st.press.OnCaptureChanged();
        case WM_MOUSEWHEEL:
            return OnMouseWheel(h, st, wparam);
        case WM_VSCROLL:
            return OnVScroll(h, st, wparam);
        case WM_KEYDOWN:
            return OnKeyDown(h, st, wparam);
        case WM_CHAR:
            return OnChar(h, st, wparam);
        case WM_COPY:
            return OnCopy(st);
        case EM_STREAMIN:
            return StreamIn(h, st, wparam, lparam);
        case EM_GETEVENTMASK:
            return static_cast<LRESULT>(st.event_mask);
        case EM_SETEVENTMASK:
            return static_cast<LRESULT>(std::exchange(st.event_mask, static_cast<DWORD>(lparam)));
        case EM_AUTOURLDETECT:
            return OnAutoUrlDetect(h, st, wparam != 0);
        case EM_GETAUTOURLDETECT:
            return st.auto_url ? TRUE : FALSE;
        case EM_EXSETSEL:
            return OnExSetSel(h, st, reinterpret_cast<const CHARRANGE*>(lparam));
        case EM_EXGETSEL:
            return OnExGetSel(st, reinterpret_cast<CHARRANGE*>(lparam));
        case EM_SETSEL:
            return OnSetSel(h, st, wparam, lparam);
        case EM_GETSEL:
            return ReportSelection(st.anchor, st.caret, wparam, lparam);
        case EM_GETSELTEXT:
            return OnGetSelText(st, reinterpret_cast<char*>(lparam));
        case EM_REPLACESEL:
            return OnReplaceSel(h, st, reinterpret_cast<LPCSTR>(lparam));
        case EM_GETCHARFORMAT:
            return GetCharFormat(st, wparam, lparam);
        case EM_SETCHARFORMAT:
            return SetCharFormat(h, st, wparam, lparam);
        case EM_SETMARGINS:
            return OnSetMargins(h, st, wparam, lparam);
        case EM_GETMARGINS:
            return MAKELONG(static_cast<WORD>(st.margin_left), static_cast<WORD>(st.margin_right));
        case EM_SETREADONLY:
            return OnSetReadOnly(h, wparam != 0);
        case EM_LIMITTEXT:
            return SetField(st.limit, wparam == 0 ? 65536 : static_cast<long long>(wparam));
        case EM_EXLIMITTEXT:
            return SetField(st.limit, lparam <= 0 ? 65536 : static_cast<long long>(lparam));
        case EM_GETLIMITTEXT:
            return static_cast<LRESULT>(std::min<long long>(st.limit, 0x7FFFFFFF));
        case EM_GETMODIFY:
            return st.modified;
        case EM_SETMODIFY:
            return SetField(st.modified, wparam != 0);
        case EM_GETLINECOUNT:
            return OnGetLineCount(h, st);
        case EM_GETFIRSTVISIBLELINE:
            return OnGetFirstVisibleLine(h, st);
        case EM_LINEINDEX:
            return OnLineIndex(h, st, wparam);
        case EM_LINEFROMCHAR:
            return OnLineFromChar(h, st, wparam);
        case EM_SCROLLCARET:
            return OnScrollCaret(h, st);
        case EM_GETRECT:
            return OnGetRect(h, st, reinterpret_cast<RECT*>(lparam));
        default:
            return DefWindowProcA(h, msg, wparam, lparam);
    }
}

}  // namespace qsm::wm
