// Drawing helpers of the window system: formatted text, 3D edges, focus rectangles, frame controls.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/wm/internal.h"

namespace qsm::wm {
namespace {

void Line(HDC dc, int x, int y, int w, int h, int color) {
    RECT r{x, y, x + w, y + h};
    FillRect(dc, &r, GetSysColorBrush(color));
}

// Removes '&' prefixes; returns the index of the underlined character or -1.
int StripPrefix(std::string& s) {
    std::string out;
    int underline = -1;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) {
            ++i;
            if (s[i] != '&') underline = static_cast<int>(out.size());
        }
        out += s[i];
    }
    s.swap(out);
    return underline;
}

int Width(HDC dc, const std::string& s) {
    SIZE sz{0, 0};
    if (!s.empty()) GetTextExtentPoint32A(dc, s.data(), static_cast<int>(s.size()), &sz);
    return sz.cx;
}

std::string ExpandTabs(HDC dc, const std::string& s) {
    if (s.find('\t') == std::string::npos) return s;
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    int tab = std::max<int>(1, 8 * tm.tmAveCharWidth);
    std::string out;
    for (char c : s) {
        if (c != '\t') {
            out += c;
            continue;
        }
        int w = Width(dc, out);
        int target = (w / tab + 1) * tab;
        do
            out += ' ';
        while (Width(dc, out) < target);
    }
    return out;
}

}  // namespace
}  // namespace qsm::wm

using namespace qsm::wm;

int DrawTextA(HDC dc, LPCSTR text, int count, LPRECT rect, UINT format) {
    if (dc == nullptr || text == nullptr || rect == nullptr) return 0;
    std::string all = count < 0 ? std::string(text) : std::string(text, static_cast<size_t>(count));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    int line_height = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
    int width = rect->right - rect->left;

    // Break into lines.
    std::vector<std::string> lines;
    if (format & DT_SINGLELINE) {
        std::string s = all;
        for (char& c : s)
            if (c == '\r' || c == '\n') c = ' ';
        lines.push_back(s);
    } else {
        size_t start = 0;
        for (;;) {
            size_t nl = all.find('\n', start);
            std::string seg = all.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
            if (!seg.empty() && seg.back() == '\r') seg.pop_back();
            if (format & DT_WORDBREAK) {
                // Greedy wrapping at blanks; a word wider than the line stays whole.
                std::string cur;
                size_t i = 0;
                while (i <= seg.size()) {
                    size_t sp = seg.find(' ', i);
                    std::string word = seg.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
                    std::string trial = cur.empty() ? word : cur + " " + word;
                    std::string measured = trial;
                    if (!(format & DT_NOPREFIX)) StripPrefix(measured);
                    if (!cur.empty() && Width(dc, measured) > width) {
                        lines.push_back(cur);
                        cur = word;
                    } else {
                        cur = trial;
                    }
                    if (sp == std::string::npos) break;
                    i = sp + 1;
                }
                lines.push_back(cur);
            } else {
                lines.push_back(seg);
            }
            if (nl == std::string::npos) break;
            start = nl + 1;
        }
    }

    std::vector<int> underline(lines.size(), -1);
    int widest = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!(format & DT_NOPREFIX)) underline[i] = StripPrefix(lines[i]);
        if (format & DT_EXPANDTABS) lines[i] = ExpandTabs(dc, lines[i]);
        if ((format & DT_END_ELLIPSIS) && Width(dc, lines[i]) > width) {
            std::string s = lines[i];
            while (!s.empty() && Width(dc, s + "...") > width)
                s.pop_back();
            lines[i] = s + "...";
        }
        widest = std::max(widest, Width(dc, lines[i]));
    }
    int total = line_height * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - line_height) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - line_height;
    }
    int saved = 0;
    if (!(format & DT_NOCLIP)) {
        saved = SaveDC(dc);
        IntersectClipRect(dc, rect->left, rect->top, rect->right, rect->bottom);
    }
    for (size_t i = 0; i < lines.size(); ++i, y += line_height) {
        const std::string& s = lines[i];
        int w = Width(dc, s);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (width - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        if (!s.empty()) TextOutA(dc, x, y, s.data(), static_cast<int>(s.size()));
        if (underline[i] >= 0 && !(format & DT_HIDEPREFIX) && static_cast<size_t>(underline[i]) < s.size()) {
            int ux = x + Width(dc, s.substr(0, static_cast<size_t>(underline[i])));
            int uw = Width(dc, s.substr(static_cast<size_t>(underline[i]), 1));
            int uy = y + tm.tmAscent + 1;
            HPEN pen = CreatePen(PS_SOLID, 1, GetTextColor(dc));
            HGDIOBJ old = SelectObject(dc, pen);
            MoveToEx(dc, ux, uy, nullptr);
            LineTo(dc, ux + uw, uy);
            SelectObject(dc, old);
            DeleteObject(pen);
        }
    }
    if (saved) RestoreDC(dc, saved);
    return total;
}

BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags) {
    if (dc == nullptr || rect == nullptr) return FALSE;
    RECT r = *rect;
    struct Ring {
        int top_left, bottom_right;
    };
    std::vector<Ring> rings;
    bool mono = (flags & BF_MONO) != 0, flat = (flags & BF_FLAT) != 0;
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) {
        if (mono || flat)
            rings.push_back(
                {mono ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW, mono ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW});
        else if (edge & BDR_RAISEDOUTER)
            rings.push_back({(flags & BF_SOFT) ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT, COLOR_3DDKSHADOW});
        else
            rings.push_back({COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT});
    }
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
        if (mono || flat)
            rings.push_back({flat ? COLOR_BTNFACE : COLOR_WINDOW, flat ? COLOR_BTNFACE : COLOR_WINDOW});
        else if (edge & BDR_RAISEDINNER)
            rings.push_back({(flags & BF_SOFT) ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW});
        else
            rings.push_back({COLOR_3DDKSHADOW, COLOR_3DLIGHT});
    }
    for (const Ring& g : rings) {
        int w = r.right - r.left, h = r.bottom - r.top;
        if (w <= 0 || h <= 0) break;
        if (flags & BF_TOP) Line(dc, r.left, r.top, w, 1, g.top_left);
        if (flags & BF_LEFT) Line(dc, r.left, r.top, 1, h, g.top_left);
        if (flags & BF_BOTTOM) Line(dc, r.left, r.bottom - 1, w, 1, g.bottom_right);
        if (flags & BF_RIGHT) Line(dc, r.right - 1, r.top, 1, h, g.bottom_right);
        if (flags & BF_LEFT) r.left++;
        if (flags & BF_TOP) r.top++;
        if (flags & BF_RIGHT) r.right--;
        if (flags & BF_BOTTOM) r.bottom--;
    }
    if ((flags & BF_MIDDLE) && r.right > r.left && r.bottom > r.top)
        FillRect(dc, &r, GetSysColorBrush(mono ? COLOR_WINDOW : COLOR_BTNFACE));
    if (flags & BF_ADJUST) *rect = r;
    return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
    if (dc == nullptr || rect == nullptr) return FALSE;
    // A dotted frame that inverts every other pixel: drawing it twice restores the pixels.
    const RECT& r = *rect;
    for (int x = r.left; x < r.right; x += 2) {
        PatBlt(dc, x, r.top, 1, 1, DSTINVERT);
        if (r.bottom - 1 > r.top) PatBlt(dc, x, r.bottom - 1, 1, 1, DSTINVERT);
    }
    for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
        PatBlt(dc, r.left, y, 1, 1, DSTINVERT);
        if (r.right - 1 > r.left) PatBlt(dc, r.right - 1, y, 1, 1, DSTINVERT);
    }
    return TRUE;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
    if (dc == nullptr || rect == nullptr) return FALSE;
    return PatBlt(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, DSTINVERT);
}

namespace {

void Arrow(HDC dc, const RECT& r, int dir, int color) {
    int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    int s = std::max(2, std::min(r.right - r.left, r.bottom - r.top) / 4);
    POINT p[3];
    switch (dir) {
        case 0:
            p[0] = {cx - s, cy + s / 2};
            p[1] = {cx + s, cy + s / 2};
            p[2] = {cx, cy - s / 2 - 1};
            break;
        case 1:
            p[0] = {cx - s, cy - s / 2};
            p[1] = {cx + s, cy - s / 2};
            p[2] = {cx, cy + s / 2 + 1};
            break;
        case 2:
            p[0] = {cx + s / 2, cy - s};
            p[1] = {cx + s / 2, cy + s};
            p[2] = {cx - s / 2 - 1, cy};
            break;
        default:
            p[0] = {cx - s / 2, cy - s};
            p[1] = {cx - s / 2, cy + s};
            p[2] = {cx + s / 2 + 1, cy};
            break;
    }
    HBRUSH b = GetSysColorBrush(color);
    HGDIOBJ ob = SelectObject(dc, b);
    HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, p, 3);
    SelectObject(dc, op);
    SelectObject(dc, ob);
}

}  // namespace

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state) {
    if (dc == nullptr || rect == nullptr) return FALSE;
    RECT r = *rect;
    bool pushed = (state & DFCS_PUSHED) != 0, inactive = (state & DFCS_INACTIVE) != 0;
    switch (type) {
        case DFC_BUTTON:
            if ((state & 0x1F) == DFCS_BUTTONPUSH) {
                DrawEdge(dc, &r, pushed ? EDGE_SUNKEN : EDGE_RAISED,
                         BF_RECT | BF_MIDDLE | ((state & DFCS_FLAT) ? BF_FLAT : 0));
            } else if ((state & DFCS_BUTTONRADIO) == DFCS_BUTTONRADIO) {
                HGDIOBJ ob =
                    SelectObject(dc, GetSysColorBrush(pushed || inactive ? COLOR_BTNFACE : COLOR_WINDOW));
                HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
                HGDIOBJ op = SelectObject(dc, pen);
                Ellipse(dc, r.left, r.top, r.right, r.bottom);
                if (state & DFCS_CHECKED) {
                    SelectObject(dc, GetSysColorBrush(inactive ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
                    SelectObject(dc, GetStockObject(NULL_PEN));
                    int w = r.right - r.left, h = r.bottom - r.top;
                    Ellipse(dc, r.left + w / 3, r.top + h / 3, r.right - w / 3, r.bottom - h / 3);
                }
                SelectObject(dc, op);
                SelectObject(dc, ob);
                DeleteObject(pen);
            } else {
                DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
                FillRect(dc, &r, GetSysColorBrush(pushed || inactive ? COLOR_BTNFACE : COLOR_WINDOW));
                if (state & DFCS_CHECKED) {
                    // A check mark of three-pixel-thick strokes.
                    int w = r.right - r.left;
                    int x0 = r.left + w / 5, y0 = r.top + (r.bottom - r.top) / 2 - 1;
                    int color = inactive ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT;
                    for (int i = 0; i < w / 5 + 1; ++i)
                        Line(dc, x0 + i, y0 + i, 1, 3, color);
                    int xm = x0 + w / 5, ym = y0 + w / 5;
                    for (int i = 1; i < w / 2; ++i)
                        Line(dc, xm + i, ym - i, 1, 3, color);
                }
            }
            return TRUE;
        case DFC_SCROLL:
            if (state & DFCS_SCROLLSIZEGRIP) {
                FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
                for (int k = 0; k < 3; ++k) {
                    for (int i = 0; i < 12 - 4 * k && i < r.right - r.left; ++i) {
                        int x = r.right - 1 - i, y = r.bottom - 12 + 4 * k + i;
                        if (y < r.top) continue;
                        Line(dc, x - 4 * k - 1, r.bottom - 1 - i, 1, 1, COLOR_BTNHIGHLIGHT);
                        (void)x;
                    }
                }
                return TRUE;
            }
            DrawEdge(dc, &r, pushed ? EDGE_SUNKEN : EDGE_RAISED,
                     BF_RECT | BF_MIDDLE | (pushed ? BF_FLAT : 0));
            if (pushed) OffsetRect(&r, 1, 1);
            {
                int dir = static_cast<int>(state & 0x0F);
                if (dir == DFCS_SCROLLCOMBOBOX) dir = 1;
                Arrow(dc, r, dir, inactive ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
            }
            return TRUE;
        case DFC_CAPTION: {
            DrawEdge(dc, &r, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
            int s = std::min(r.right - r.left, r.bottom - r.top) / 4;
            int cx = (r.left + r.right) / 2 + (pushed ? 1 : 0),
                cy = (r.top + r.bottom) / 2 + (pushed ? 1 : 0);
            for (int i = -s; i < s; ++i) {
                Line(dc, cx + i, cy + i, 2, 1, COLOR_BTNTEXT);
                Line(dc, cx + i, cy - i - 1, 2, 1, COLOR_BTNTEXT);
            }
            return TRUE;
        }
        case DFC_MENU:
            if (state & DFCS_MENUCHECK) {
                int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
                for (int i = 0; i < 3; ++i)
                    Line(dc, cx - 3 + i, cy - 1 + i, 1, 3, COLOR_MENUTEXT);
                for (int i = 0; i < 5; ++i)
                    Line(dc, cx + i, cy + 1 - i, 1, 3, COLOR_MENUTEXT);
            } else {
                Arrow(dc, r, 3, COLOR_MENUTEXT);
            }
            return TRUE;
        default:
            return FALSE;
    }
}
