// Line and shape primitives of the drawing context: staff and ledger lines, stems, beams, bar lines, ties,
// slurs, hairpins, triplet brackets, braces, brackets, rulers.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render/bezier2.h"
#include "render/music_fonts.h"

int TMusicFonts::ThinBar() const {
    return StemWidth * 7 / 5;
}
int TMusicFonts::ThickBar() const {
    return GlyphWidths[7] * 2 / 3;
}
int TMusicFonts::BarGap() const {
    return GlyphWidths[7] / 5 + 1;
}

void TMusicFonts::DrawLine(int x1, int y1, int x2, int y2) {
    if (!OutputDC) return;
    int w = x1 == x2 ? StemWidth : y1 == y2 ? LineWidth : (StemWidth + LineWidth + 1) / 2;
    HGDIOBJ pen = Pen(PS_SOLID, w, Color());
    SelectObject(OutputDC, pen);
    MoveToEx(OutputDC, x1, y1, nullptr);
    LineTo(OutputDC, x2, y2);
    RestorePenAndBrush();
}

void TMusicFonts::DrawThinLine(int x1, int y1, int x2, int y2) {
    if (!OutputDC) return;
    MoveToEx(OutputDC, x1, y1, nullptr);
    LineTo(OutputDC, x2, y2);
}

void TMusicFonts::DrawThickVertical(int width, int x, int y1, int y2) {
    if (!OutputDC) return;
    if (GetDrawThickLinesAsRectangles()) {
        HGDIOBJ pen = Pen(PS_SOLID, 1, Color());
        HGDIOBJ brush = Brush(Color());
        SelectObject(OutputDC, pen);
        SelectObject(OutputDC, brush);
        MoveToEx(OutputDC, x, y1, nullptr);
        LineTo(OutputDC, x, y2);
        Rectangle(OutputDC, x, std::min(y1, y2), x + width, std::max(y1, y2));
        RestorePenAndBrush();
        return;
    }
    HGDIOBJ pen = FlatPen(std::max(width, 1), Color());
    SelectObject(OutputDC, pen);
    MoveToEx(OutputDC, x + width / 2, y1, nullptr);
    LineTo(OutputDC, x + width / 2, y2);
    RestorePenAndBrush();
}

void TMusicFonts::DrawDashedVertical(int width, int x, int y1, int y2, int period) {
    if (!OutputDC) return;
    if (period <= 0) {
        // No dash length: one solid stroke rather than an endless loop.
        DrawThickVertical(width, x, y1, y2);
        return;
    }
    int h = (3 * period) / 8;
    if (GetDrawThickLinesAsRectangles()) {
        for (int64_t c = y1; c <= y2; c += period)
            DrawThickVertical(width, x, static_cast<int>(std::max<int64_t>(c - h, y1)),
                              static_cast<int>(std::min<int64_t>(c + h, y2)));
        return;
    }
    HGDIOBJ pen = FlatPen(std::max(width, 1), Color());
    SelectObject(OutputDC, pen);
    for (int64_t c = y1; c <= y2; c += period) {
        MoveToEx(OutputDC, x + width / 2, static_cast<int>(std::max<int64_t>(c - h, y1)), nullptr);
        LineTo(OutputDC, x + width / 2, static_cast<int>(std::min<int64_t>(c + h, y2)));
    }
    RestorePenAndBrush();
}

void TMusicFonts::DrawDottedArrow(int paletteIndex, int pos, int x1, int x2) {
    if (!OutputDC) return;
    int y = PosToY(pos), u6 = StaffSpace / 6;
    HGDIOBJ pen = Pen(PS_DOT, 1, ColorOf(paletteIndex));
    SelectObject(OutputDC, pen);
    MoveToEx(OutputDC, x1, y, nullptr);
    LineTo(OutputDC, x2, y);
    if (x2 - x1 > StaffSpace) {
        MoveToEx(OutputDC, x2, y, nullptr);
        LineTo(OutputDC, x2 - u6, y - u6);
        MoveToEx(OutputDC, x2, y, nullptr);
        LineTo(OutputDC, x2 - u6, y + u6);
    }
    RestorePenAndBrush();
}

void TMusicFonts::DrawArrow(int paletteIndex, int x, int pos1, int pos2) {
    if (!OutputDC) return;
    int xa = x + StaffSpace / 2, ya = PosToY(pos1), yb = PosToY(pos2);
    COLORREF c = ColorOf(paletteIndex);
    HGDIOBJ pen = Pen(PS_SOLID, 1, c);
    HGDIOBJ brush = Brush(c);
    SelectObject(OutputDC, pen);
    SelectObject(OutputDC, brush);
    MoveToEx(OutputDC, xa, ya, nullptr);
    LineTo(OutputDC, xa, yb);
    // Base U/2 wide, sides half a radian off the shaft.
    int half = StaffSpace / 4;
    int len = static_cast<int>(std::lround(half / std::tan(0.5)));
    int dir = yb >= ya ? 1 : -1;
    POINT tri[3] = {{xa, yb}, {xa - half, yb - dir * len}, {xa + half, yb - dir * len}};
    Polygon(OutputDC, tri, 3);
    RestorePenAndBrush();
}

void TMusicFonts::DrawStaffLines(int x1, int x2, int lines, bool ends) {
    int first = -2 * ((lines - 1) / 2);
    for (int i = 0; i < lines; ++i) {
        int y = PosToY(first + 2 * i);
        DrawLine(x1, y, x2 - (StemWidth / 2 + 1), y);
    }
    if (ends) {
        DrawLine(x1, PosToY(-4), x1, PosToY(4));
        DrawLine(x2, PosToY(-4), x2, PosToY(4));
    }
}

void TMusicFonts::DrawLedgerLines(int x, int pos, int toPos, int length) {
    if (pos % 2) pos += pos > 0 ? 1 : -1;
    int count = std::abs(toPos - pos) / 2;
    int dir = toPos >= 0 ? 1 : -1;
    for (int i = 0; i <= count; ++i) {
        int y = PosToY(pos + dir * 2 * i);
        DrawLine(x, y, x + length, y);
    }
}

int TMusicFonts::GetStemEnd(int dir, int pos, int size, int flags, int length) const {
    int u = StaffSpace;
    int m = u / 2;
    if (flags > 0) {
        if (dir < 1) {
            m = ((flags - 1) * u * 3) / 5 + 2 * u;
        } else {
            m = 2 * u + ((flags - 1) * u) / 4;
            if (flags > 2) m += ((flags - 2) * u) / 5;
        }
    }
    int sign = pos >= 0 ? 1 : -1;
    int len;
    if (length) {
        len = u * length / 2;
    } else {
        if (flags == 0) {
            len = 7 * u / 2;
            if (pos != 0 && sign == -dir) len -= std::min(std::abs(pos), 9) * u / 9;
        } else {
            len = 3 * u / 2 + m;
        }
        if (sign == dir && size != 1) len = std::max(len, dir * pos * u / 2);
    }
    len = std::max(len, m);
    if (size == 1) len = 2 * len / 3;
    return PosToY(pos) - dir * len;
}

void TMusicFonts::DrawStemUp(int x, int pos, int size, int headGlyph, int span, int flags, int length) {
    flags = std::clamp(flags, 0, 4);
    int xs = x + GetGlyphWidth(size, headGlyph);
    int end = GetStemEnd(1, pos - span, size, flags, length);
    DrawStemLine(xs, PosToY(pos) - GetStemAttachOffset(size, headGlyph, 1), end, 1);
    if (flags) DrawGlyph(size, glFlagUp1 - 1 + flags, xs, end);
}

void TMusicFonts::DrawStemDown(int x, int pos, int size, int headGlyph, int span, int flags, int length) {
    flags = std::clamp(flags, 0, 4);
    int end = GetStemEnd(-1, pos + span, size, flags, length);
    DrawStemLine(x, PosToY(pos) + GetStemAttachOffset(size, headGlyph, -1), end, -1);
    if (flags) DrawGlyph(size, glFlagDown1 - 1 + flags, x, end);
}

void TMusicFonts::DrawStemLine(int x, int y1, int y2, int dir) {
    if (!OutputDC) return;
    int h = StemPenWidth / 2;
    if (h != 0) x += dir < 1 ? h : -(h - 1);
    HGDIOBJ pen = Pen(PS_SOLID, StemPenWidth, Color());
    SelectObject(OutputDC, pen);
    MoveToEx(OutputDC, x, y1, nullptr);
    LineTo(OutputDC, x, y2);
    RestorePenAndBrush();
}

void TMusicFonts::DrawBeams(int x1, int y1, int x2, int y2, int dir, bool cue, int count) {
    if (!OutputDC || count <= 0) return;
    int u = StaffSpace;
    int thickness = cue ? std::max(u / 4, 1) : u / 2;
    int spacing = cue ? u / 2 : u;
    int s = dir >= 0 ? 1 : -1;
    y1 -= s * (StemWidth / 2);
    y2 -= s * (StemWidth / 2);
    HGDIOBJ brush = Brush(Color());
    SelectObject(OutputDC, brush);
    for (int i = 0; i < count; ++i) {
        POINT pts[4] = {{x1, y1 + s * i * spacing},
                        {x1, y1 + s * (i * spacing + thickness)},
                        {x2, y2 + s * (i * spacing + thickness)},
                        {x2, y2 + s * i * spacing}};
        Polygon(OutputDC, pts, 4);
    }
    RestorePenAndBrush();
}

void TMusicFonts::DrawTripletMark(int hook, int size, int x1, int y1, int x2, int y2, bool bracket) {
    int gw = GetGlyphWidth(size, glTriplet3);
    int mx = x1 + (x2 - x1) / 2, my = y1 + (y2 - y1) / 2;
    int left = mx - gw / 2;
    DrawGlyph(size, glTriplet3, left, my);
    if (!bracket) return;
    // With both ends at one x there is no line to follow: only the hooks are drawn.
    if (x2 != x1) {
        auto lineY = [&](int x) {
            return static_cast<int>(y1 + static_cast<int64_t>(x - x1) * (y2 - y1) / (x2 - x1));
        };
        int xa = left - StaffSpace / 4, xb = left + gw + StaffSpace / 2;
        DrawLine(x1, y1, xa, lineY(xa));
        DrawLine(xb, lineY(xb), x2, y2);
    }
    DrawLine(x1, y1, x1, y1 + hook * StaffSpace / 2);
    DrawLine(x2, y2, x2, y2 + hook * StaffSpace / 2);
}

void TMusicFonts::FillPath(const POINT* pts, int count, int penWidth) {
    HGDIOBJ pen = Pen(PS_SOLID, penWidth, Color());
    HGDIOBJ brush = Brush(Color());
    SelectObject(OutputDC, pen);
    SelectObject(OutputDC, brush);
    BeginPath(OutputDC);
    PolyBezier(OutputDC, pts, static_cast<DWORD>(count));
    EndPath(OutputDC);
    StrokeAndFillPath(OutputDC);
    RestorePenAndBrush();
}

void TMusicFonts::DrawSlur(POINT start, POINT control, POINT end, bool below, bool cue) {
    if (!OutputDC) return;
    int t = 5 * StaffSpace / 16;
    if (cue) t = 2 * t / 3;
    t = std::max(t, 1);
    POINT inner{control.x, control.y + (below ? -t : t)};
    POINT a[4], b[4];
    Bezier2(start.x, start.y, control.x, control.y, end.x, end.y).ToCubic(a);
    Bezier2(end.x, end.y, inner.x, inner.y, start.x, start.y).ToCubic(b);
    POINT pts[7] = {a[0], a[1], a[2], a[3], b[1], b[2], b[3]};
    FillPath(pts, 7, StaffSpace / 24 + 1);
}

void TMusicFonts::DrawTieArc(int pos, bool below, int x1, int x2) {
    if (!OutputDC) return;
    int u = StaffSpace;
    int xl = std::min(x1, x2), xr = std::max(x1, x2);
    int d = below ? -1 : 1;
    int y = PosToY(pos) - (d * u) / 4;
    // A font without a note head width must not divide by zero.
    int w7 = std::max(GlyphWidths[7], 1);
    int h = (xr - xl) / w7 < 11 ? 4 * u / 5 : u;
    auto arc = [y](POINT* out, int xa, int xb, int height) {
        int q = (xb - xa) / 4;
        out[0] = {xa, y};
        out[1] = {xa, y + height / 2};
        out[2] = {xa + q, y + height};
        out[3] = {xa + (xb - xa) / 2, y + height};
        out[4] = {xb - q, y + height};
        out[5] = {xb, y + height / 2};
        out[6] = {xb, y};
    };
    POINT outer[7], back[7], pts[13];
    arc(outer, xl, xr, -d * h);
    arc(back, xr, xl, -d * (u / 6 + h + 1));
    std::copy(outer, outer + 7, pts);
    std::copy(back + 1, back + 7, pts + 7);
    FillPath(pts, 13, 1);
}

void TMusicFonts::DrawHairpin(int kind, int x1, int x2, int pos, bool narrowGap) {
    if (!OutputDC) return;
    int u = StaffSpace;
    int o = x2 - x1 > 40 * u ? 3 * u / 4 : 2 * u / 3;
    int y = PosToY(pos);
    int xo = kind == 2 ? x1 : x2, xn = kind == 2 ? x2 : x1;
    int g = narrowGap ? o / 6 : 0;
    HGDIOBJ pen = Pen(PS_SOLID, u / 8 + 1, Color());
    SelectObject(OutputDC, pen);
    MoveToEx(OutputDC, xn, y - g, nullptr);
    LineTo(OutputDC, xo, y - o);
    MoveToEx(OutputDC, xn, y + g, nullptr);
    LineTo(OutputDC, xo, y + o);
    RestorePenAndBrush();
}

int TMusicFonts::GetBarLineWidth(int style) const {
    int sw = StemWidth, thick = ThickBar(), gap = BarGap(), w30 = GlyphWidths[30];
    switch (style) {
        case 1:
        case 3:
            return 2 * sw + gap;
        case 4:
        case 5:
            return gap + thick + sw;
        case 6:
        case 7:
            return w30 + 2 * (gap + sw);
        case 8:
        case 9:
            return w30 + thick + 2 * gap + sw;
        case 10:
            return 1;
        case 12:
            return w30 + gap;
        case 13:
            return 2 * GlyphWidths[7];
        default:
            return sw;
    }
}

void TMusicFonts::DrawBarLine(int x, int style, int top, int bottom) {
    if (top == -1 && bottom == 1) top = -2, bottom = 2;
    int yt = PosToY(top), yb = PosToY(bottom);
    int thin = ThinBar(), thick = ThickBar(), gap = BarGap(), w30 = GlyphWidths[30];
    auto bar = [&](int w, int at) { DrawThickVertical(w, at, yt, yb); };
    auto dots = [&](int at) { DrawGlyphAtPos(0, glRepeatDots, at, 0); };
    switch (style) {
        case 0:
            bar(thin, x);
            break;
        case 1:
            bar(thin, x);
            bar(thin, x + gap + thin);
            break;
        case 2:
            DrawDashedVertical(thin, x, yt, yb, StaffSpace);
            break;
        case 3:
            DrawDashedVertical(thin, x, yt, yb, StaffSpace);
            DrawDashedVertical(thin, x + gap + thin, yt, yb, StaffSpace);
            break;
        case 4:
            bar(thick, x);
            bar(thin, x + gap + thick);
            break;
        case 5:
            bar(thin, x);
            bar(thick, x + thin + gap);
            break;
        case 6: {
            int x2 = x + gap + thin;
            bar(thin, x);
            bar(thin, x2);
            dots(x2 + thin + gap);
            break;
        }
        case 7: {
            int x2 = x + w30 + gap;
            dots(x);
            bar(thin, x2);
            bar(thin, x2 + gap + thin);
            break;
        }
        case 8: {
            int x2 = x + gap + thick;
            bar(thick, x);
            bar(thin, x2);
            dots(x2 + thin + gap);
            break;
        }
        case 9: {
            int x2 = x + w30 + gap;
            dots(x);
            bar(thin, x2);
            bar(thick, x2 + thin + gap);
            break;
        }
        case 10:
            bar(1, x);
            break;
        case 12:
            dots(x + gap);
            break;
        case 13:
            DrawLine(x, PosToY(1), x + 2 * thick, PosToY(-2));
            DrawLine(x, PosToY(2), x + 2 * thick, PosToY(-1));
            bar(thin, x + thick);
            break;
        default:
            break;
    }
}

int TMusicFonts::GetRepeatDotsSpace() const {
    return GlyphWidths[30] + GlyphWidths[7] / 5 + 1;
}

void TMusicFonts::DrawBarStroke(int x, int y1, int y2) {
    DrawThickVertical(ThinBar(), x, y1, y2);
}

void TMusicFonts::DrawMultiMeasureRestBar(int x1, int x2, const char* text, int pos, bool centred) {
    if (!OutputDC) return;
    int u = StaffSpace;
    {
        HGDIOBJ pen = Pen(PS_SOLID, 1, Color());
        HGDIOBJ brush = Brush(Color());
        SelectObject(OutputDC, pen);
        SelectObject(OutputDC, brush);
        Rectangle(OutputDC, x1, OriginY - u / 4, x2, OriginY - u / 4 + u / 2);
        RestorePenAndBrush();
    }
    DrawThickVertical(ThinBar(), x1, OriginY - u, OriginY + u);
    DrawThickVertical(ThinBar(), x2 - 1, OriginY - u, OriginY + u);
    int w = MeasureText(0, text);
    int left = x1 + (x2 - x1) / 2 - w / 2;
    if (!centred) left = std::min(left, x1 + GlyphWidths[7]);
    DrawText(0, 1, left, pos, text);
}

int TMusicFonts::GetBraceWidth() const {
    return 2 * GlyphWidths[7];
}

void TMusicFonts::DrawBrace(int x, int yTop, int yBottom, bool shifted) {
    if (!OutputDC) return;
    int w7 = GlyphWidths[7], u = StaffSpace;
    int mid = yTop + (yBottom - yTop) / 2;
    int t = 2 * w7 / 5 + 1;
    x -= t;
    if (shifted) x -= w7 / 2;
    int a = x - 2 * w7 + t, c = x;
    for (int half = 0; half < 2; ++half) {
        int d = half == 0 ? yTop : yBottom;
        int bend = half == 0 ? -u : u;
        POINT pts[7] = {{a, mid}, {2 * c - a - t, mid + bend},        {2 * a - c, d - (d - mid) / 4},
                        {c, d},   {2 * a - c + t, d - (d - mid) / 4}, {2 * c - a, mid + bend},
                        {a, mid}};
        FillPath(pts, 7, u / 20 + 1);
    }
}

int TMusicFonts::GetBracketWidth() const {
    return MulDiv(2, GlyphWidths[7], 3);
}

void TMusicFonts::DrawBracket(int x, int yTop, int yBottom) {
    if (!OutputDC) return;
    int w7 = GlyphWidths[7], u = StaffSpace;
    int k = std::max(MulDiv(4, w7, 9), 1);
    yTop -= u / 4;
    yBottom += u / 4;
    x -= GetBracketWidth();
    {
        HGDIOBJ pen = Pen(PS_SOLID, u / 20 + 1, Color());
        HGDIOBJ brush = Brush(Color());
        SelectObject(OutputDC, pen);
        SelectObject(OutputDC, brush);
        Rectangle(OutputDC, x, yTop, x + k, yBottom);
        RestorePenAndBrush();
    }
    for (int dir : {1, -1}) {
        int y = dir == 1 ? yTop : yBottom;
        int tipY = y - dir * u, backY = y - (dir * u) / 4;
        POINT pts[7] = {{x, y},         {x + w7 / 2, y},    {x + w7, y + (tipY - y) / 2},
                        {x + w7, tipY}, {x + w7 / 2, tipY}, {x, tipY + (backY - tipY) / 2},
                        {x, backY}};
        FillPath(pts, 7, 1);
    }
}

void TMusicFonts::DrawSystemSeparator(int x, int y) {
    int w7 = GlyphWidths[7], u = StaffSpace;
    int ys = y - u / 3;
    DrawBeams(x - w7 / 2, ys, x + w7, ys - 2 * u / 3, 1, false, 1);
    ys += 3 * u / 4;
    DrawBeams(x - w7 / 2, ys, x + w7, ys - 2 * u / 3, 1, false, 1);
}

void TMusicFonts::DrawRuler(int paletteIndex, int pos, int x, int width, bool triangle) {
    if (!OutputDC) return;
    HGDIOBJ pen = Pen(PS_SOLID, 1, ColorOf(paletteIndex));
    SelectObject(OutputDC, pen);
    int y0 = PosToY(pos) + 2;
    int h = std::min(StaffSpace / 2, 7);
    int y1 = y0 + h, y2 = y1 + 1;
    int mid = y0 + (y2 - y0) / 2;
    if (triangle) {
        POINT pts[4] = {{x, y0}, {x + width - 1, y0}, {x + width / 2, y0 + width - 1}, {x, y0}};
        Polyline(OutputDC, pts, 4);
    } else {
        POINT pts[4] = {{x, y1}, {x, y0}, {x + width - 1, y0}, {x + width - 1, y2}};
        Polyline(OutputDC, pts, 4);
        for (int k = 1; k <= 398 && GlyphWidths[7] > 0; ++k) {
            int tx = x + k * GlyphWidths[7] / 2;
            if (tx >= x + width - 3) break;
            MoveToEx(OutputDC, tx, y0, nullptr);
            LineTo(OutputDC, tx, k % 2 ? mid + 1 : y2);
        }
    }
    RestorePenAndBrush();
}
