#include "render/layout/tests/ink_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/gdi/gdi.h"
#include "score/glyph_codes.h"

namespace qsm::ink {
namespace {

using qsm::gdi::GdiRecord;

constexpr int kStrip = 2;  // width of the strips ink is cut into

// Record kinds of the layout the drawing names in an item's tag.
constexpr int kGraceRecord = 9, kNoteRecord = 14, kMultiRestMoreRecord = 15, kBarLineRecord = 16;

struct Pt {
    double x, y;
};

// The glyph number of a music font code, -1 when the font has none.
int GlyphOfCode(int code) {
    for (int g = 1; g < kMeasuredGlyphCount; ++g)
        if (kGlyphCodes[g] == code) return g;
    return -1;
}

Kind GlyphKind(int g) {
    if (g == glWholeHead || g == glHalfHead || g == glFilledHead || (g >= glXHead && g <= glShapeTiFilled))
        return Kind::Head;
    if (g == glFlat || g == glSharp || g == glNatural || g == glDoubleSharp || g == glDoubleFlat)
        return Kind::Accidental;
    if (g == glDot) return Kind::Dot;
    if (g >= glFlagDown1 && g <= glFlagUp4) return Kind::Flag;
    if (g >= glWholeRest && g <= glRest64th) return Kind::Rest;
    if (g == glTrebleClef || g == glBassClef || g == glCClef || g == glPercussionClef || g == glClefOctave8)
        return Kind::Clef;
    if (g >= glDynamicPPP && g <= glDynamicFFF) return Kind::Dynamic;
    // The note of a tempo mark is part of its text.
    if (g == glTempoEighth || g == glTempoQuarter || g == glTempoHalf) return Kind::Text;
    return Kind::Symbol;
}

bool IsMusicFont(const GdiRecord& r) {
    return r.fontFace.compare(0, 4, "QSM2") == 0;
}

// The characters of a text call as bytes of the music font (wide symbols are U+F000 + code).
std::string TextBytes(const GdiRecord& r) {
    if (!r.text.empty()) return r.text;
    std::string s;
    for (char16_t c : r.wtext)
        s += static_cast<char>(c >= 0xF000 ? c - 0xF000 : c);
    return s;
}

Box Bounds(const std::vector<Box>& strips) {
    Box b{0, 0, 0, 0};
    bool first = true;
    for (const Box& s : strips) {
        if (s.Empty()) continue;
        if (first) {
            b = s;
            first = false;
        } else {
            b.left = std::min(b.left, s.left);
            b.top = std::min(b.top, s.top);
            b.right = std::max(b.right, s.right);
            b.bottom = std::max(b.bottom, s.bottom);
        }
    }
    return b;
}

// A straight stroke of the pen width from a to b, as strips.
void Stroke(std::vector<Box>& out, Pt a, Pt b, int width) {
    double h = std::max(width, 1) / 2.0;
    if (a.x > b.x) std::swap(a, b);
    if (b.x - a.x < kStrip) {
        out.push_back({static_cast<int>(std::floor(std::min(a.x, b.x) - h)),
                       static_cast<int>(std::floor(std::min(a.y, b.y) - h)),
                       static_cast<int>(std::ceil(std::max(a.x, b.x) + h)),
                       static_cast<int>(std::ceil(std::max(a.y, b.y) + h))});
        return;
    }
    for (double x = a.x; x < b.x; x += kStrip) {
        double x2 = std::min(x + kStrip, b.x);
        double y1 = a.y + (x - a.x) * (b.y - a.y) / (b.x - a.x);
        double y2 = a.y + (x2 - a.x) * (b.y - a.y) / (b.x - a.x);
        out.push_back({static_cast<int>(std::floor(x)), static_cast<int>(std::floor(std::min(y1, y2) - h)),
                       static_cast<int>(std::ceil(x2)), static_cast<int>(std::ceil(std::max(y1, y2) + h))});
    }
}

// The area inside closed polygons (every figure closed), as strips: at each strip the span between the
// highest and lowest edge crossing.
void Fill(std::vector<Box>& out, const std::vector<std::vector<Pt>>& figures) {
    double lo = 1e18, hi = -1e18;
    for (const auto& f : figures)
        for (const Pt& p : f)
            lo = std::min(lo, p.x), hi = std::max(hi, p.x);
    if (lo > hi) return;
    for (double x = std::floor(lo); x < hi; x += kStrip) {
        double top = 1e18, bottom = -1e18;
        for (double sx : {x, std::min(x + kStrip, hi)}) {
            for (const auto& f : figures) {
                for (size_t i = 0; i < f.size(); ++i) {
                    const Pt& p = f[i];
                    const Pt& q = f[(i + 1) % f.size()];
                    double x0 = std::min(p.x, q.x), x1 = std::max(p.x, q.x);
                    if (sx < x0 || sx > x1) continue;
                    double y = x1 == x0 ? p.y : p.y + (sx - p.x) * (q.y - p.y) / (q.x - p.x);
                    if (x1 == x0) {
                        top = std::min({top, p.y, q.y});
                        bottom = std::max({bottom, p.y, q.y});
                    }
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        if (top <= bottom)
            out.push_back({static_cast<int>(x), static_cast<int>(std::floor(top)),
                           static_cast<int>(std::ceil(std::min(x + kStrip, hi))),
                           static_cast<int>(std::ceil(bottom)) + 1});
    }
}

// Points along a cubic Bezier segment, its start excluded.
void Flatten(std::vector<Pt>& out, Pt p0, Pt p1, Pt p2, Pt p3) {
    const int n = 16;
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1 - t;
        out.push_back({u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                       u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y});
    }
}

}  // namespace

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Head:
            return "head";
        case Kind::Stem:
            return "stem";
        case Kind::Accidental:
            return "accidental";
        case Kind::Dot:
            return "dot";
        case Kind::Ledger:
            return "ledger line";
        case Kind::Flag:
            return "flag";
        case Kind::Rest:
            return "rest";
        case Kind::Clef:
            return "clef";
        case Kind::Dynamic:
            return "dynamic";
        case Kind::Text:
            return "text";
        case Kind::Lyric:
            return "lyric";
        case Kind::Beam:
            return "beam";
        case Kind::Slur:
            return "slur";
        case Kind::Tie:
            return "tie";
        case Kind::Hairpin:
            return "hairpin";
        case Kind::StaffLine:
            return "staff line";
        case Kind::BarLine:
            return "bar line";
        case Kind::Symbol:
            return "symbol";
        case Kind::Line:
            return "line";
    }
    return "?";
}

InkReader::InkReader() {
    screen_ = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
}

InkReader::~InkReader() {
    if (screen_) DeleteDC(static_cast<HDC>(screen_));
}

const std::vector<Box>& InkReader::TextStrips(const GdiRecord& r) {
    std::ostringstream key;
    key << r.fontFace << '|' << r.fontHeight << '|' << r.fontWeight << '|' << r.fontItalic << '|'
        << r.fontCharSet << '|' << r.textAlign << '|' << r.text << '|';
    for (char16_t c : r.wtext)
        key << static_cast<int>(c) << ',';
    auto found = textCache_.find(key.str());
    if (found != textCache_.end()) return found->second;
    std::vector<Box>& strips = textCache_[key.str()];
    HDC screen = static_cast<HDC>(screen_);
    HDC dc = CreateCompatibleDC(screen);
    HFONT font = CreateFontA(r.fontHeight, 0, 0, 0, r.fontWeight, static_cast<DWORD>(r.fontItalic), 0, 0,
                             static_cast<DWORD>(r.fontCharSet), OUT_TT_PRECIS, 0, 0, 0, r.fontFace.c_str());
    HGDIOBJ oldFont = SelectObject(dc, font);
    SIZE size{0, 0};
    if (!r.wtext.empty())
        GetTextExtentPoint32W(dc, r.wtext.c_str(), static_cast<int>(r.wtext.size()), &size);
    else
        GetTextExtentPoint32A(dc, r.text.c_str(), static_cast<int>(r.text.size()), &size);
    const int em = std::abs(r.fontHeight) + 4;
    const int w = 2 * size.cx + 8 * em + 16, h = 8 * em + 16;
    const int ox = w / 2, oy = h / 2;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp && bits) {
        HGDIOBJ oldBmp = SelectObject(dc, bmp);
        RECT all{0, 0, w, h};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        SetTextAlign(dc, r.textAlign);
        if (!r.wtext.empty())
            TextOutW(dc, ox, oy, r.wtext.c_str(), static_cast<int>(r.wtext.size()));
        else
            TextOutA(dc, ox, oy, r.text.c_str(), static_cast<int>(r.text.size()));
        GdiFlush();
        const auto* px = static_cast<const uint32_t*>(bits);
        for (int x0 = 0; x0 < w; x0 += kStrip) {
            int top = h, bottom = -1;
            for (int x = x0; x < std::min(x0 + kStrip, w); ++x)
                for (int y = 0; y < h; ++y) {
                    // Ink darker than a quarter grey: the faint edge of smoothed glyphs does not count.
                    if ((px[static_cast<size_t>(y) * w + x] & 0xFF) < 0xC0) {
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
                }
            if (bottom >= top)
                strips.push_back({x0 - ox, top - oy, std::min(x0 + kStrip, w) - ox, bottom + 1 - oy});
        }
        SelectObject(dc, oldBmp);
        DeleteObject(bmp);
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
    DeleteDC(dc);
    return strips;
}

std::vector<Ink> InkReader::Read(const std::vector<GdiRecord>& log) {
    std::vector<Ink> out;
    std::string tag = "none";
    int staff = -1, item = -1, extra = -1;
    Pt pos{0, 0};
    bool inPath = false;
    std::vector<std::vector<Pt>> path;
    std::vector<Box> pathStroke;
    auto add = [&](Kind kind, std::vector<Box> strips, std::string what) {
        if (strips.empty()) return;
        Ink ink;
        ink.kind = kind;
        ink.tag = tag;
        ink.staff = staff;
        ink.item = item;
        ink.extra = extra;
        ink.what = std::move(what);
        ink.strips = std::move(strips);
        ink.bounds = Bounds(ink.strips);
        if (!ink.bounds.Empty()) out.push_back(std::move(ink));
    };
    auto isNoteItem = [&] { return tag == "item" && (extra == kNoteRecord || extra == kGraceRecord); };
    auto isBarItem = [&] {
        return tag == "item" && (extra == kBarLineRecord || extra == kMultiRestMoreRecord);
    };
    // The kind of a line or shape by what draws it.
    auto shapeKind = [&](bool vertical, bool horizontal, bool path) {
        if (tag == "staff") return Kind::StaffLine;
        if (tag == "beam") return path || !(vertical || horizontal) ? Kind::Beam : Kind::Line;
        if (tag == "slur") return Kind::Slur;
        if (tag == "hairpin") return Kind::Hairpin;
        if (tag == "lyric" || tag == "hyphen") return Kind::Lyric;
        if (isBarItem()) return Kind::BarLine;
        if (isNoteItem()) {
            if (path) return Kind::Tie;
            if (vertical) return Kind::Stem;
            if (horizontal) return Kind::Ledger;
        }
        return Kind::Line;
    };
    for (const GdiRecord& r : log) {
        const std::string& op = r.op;
        if (op == "GdiComment") {
            char name[32] = {0};
            int s = -1, i = -1, e = -1;
            if (std::sscanf(r.text.c_str(), "%31s %d %d %d", name, &s, &i, &e) >= 1) {
                tag = name;
                staff = s;
                item = i;
                extra = e;
            }
        } else if (op == "MoveToEx" && r.args.size() >= 2) {
            pos = {static_cast<double>(r.args[0]), static_cast<double>(r.args[1])};
            if (inPath) path.push_back({pos});
        } else if (op == "LineTo" && r.args.size() >= 2) {
            Pt to{static_cast<double>(r.args[0]), static_cast<double>(r.args[1])};
            if (inPath) {
                if (path.empty()) path.push_back({pos});
                path.back().push_back(to);
            } else {
                std::vector<Box> strips;
                Stroke(strips, pos, to, r.penWidth);
                add(shapeKind(pos.x == to.x, pos.y == to.y, false), std::move(strips), "line");
            }
            pos = to;
        } else if ((op == "Polyline" || op == "Polygon") && r.args.size() >= 4) {
            std::vector<Pt> pts;
            for (size_t k = 0; k + 1 < r.args.size(); k += 2)
                pts.push_back({static_cast<double>(r.args[k]), static_cast<double>(r.args[k + 1])});
            std::vector<Box> strips;
            if (op == "Polygon" && r.brushStyle != BS_NULL) {
                Fill(strips, {pts});
            } else {
                for (size_t k = 0; k + 1 < pts.size(); ++k)
                    Stroke(strips, pts[k], pts[k + 1], r.penWidth);
                if (op == "Polygon") Stroke(strips, pts.back(), pts.front(), r.penWidth);
            }
            add(shapeKind(false, false, true), std::move(strips), op);
        } else if (op == "PolyBezier" && r.args.size() >= 8) {
            std::vector<Pt> pts;
            for (size_t k = 0; k + 1 < r.args.size(); k += 2)
                pts.push_back({static_cast<double>(r.args[k]), static_cast<double>(r.args[k + 1])});
            std::vector<Pt> line{pts[0]};
            for (size_t k = 1; k + 2 < pts.size(); k += 3)
                Flatten(line, line.back(), pts[k], pts[k + 1], pts[k + 2]);
            if (inPath) {
                path.push_back(line);
            } else {
                std::vector<Box> strips;
                for (size_t k = 0; k + 1 < line.size(); ++k)
                    Stroke(strips, line[k], line[k + 1], r.penWidth);
                add(shapeKind(false, false, true), std::move(strips), "curve");
            }
            pos = pts.back();
        } else if (op == "BeginPath") {
            inPath = true;
            path.clear();
        } else if (op == "EndPath") {
            inPath = false;
        } else if (op == "StrokeAndFillPath" || op == "FillPath" || op == "StrokePath") {
            // A path's figures follow one another: the closing curve of a slur or tie continues its
            // outer curve, so they are filled as one figure.
            std::vector<Pt> all;
            for (const auto& f : path)
                all.insert(all.end(), f.begin(), f.end());
            std::vector<Box> strips;
            if (op == "StrokePath") {
                for (size_t k = 0; k + 1 < all.size(); ++k)
                    Stroke(strips, all[k], all[k + 1], r.penWidth);
            } else {
                Fill(strips, {all});
            }
            add(shapeKind(false, false, true), std::move(strips), "path");
            path.clear();
        } else if ((op == "Rectangle" || op == "Ellipse") && r.args.size() >= 4) {
            const int l = r.args[0], t = r.args[1], rt = r.args[2], b = r.args[3];
            std::vector<Box> strips;
            if (r.brushStyle != BS_NULL) {
                for (int x = l; x < rt; x += kStrip)
                    strips.push_back({x, t, std::min(x + kStrip, rt), b});
            } else if (op == "Rectangle") {
                const int pw = std::max(r.penWidth, 1);
                Stroke(strips, {double(l), double(t)}, {double(rt), double(t)}, pw);
                Stroke(strips, {double(l), double(b)}, {double(rt), double(b)}, pw);
                Stroke(strips, {double(l), double(t)}, {double(l), double(b)}, pw);
                Stroke(strips, {double(rt), double(t)}, {double(rt), double(b)}, pw);
            } else {
                const double cx = (l + rt) / 2.0, cy = (t + b) / 2.0, rx = (rt - l) / 2.0, ry = (b - t) / 2.0;
                for (int k = 0; k < 32; ++k) {
                    double a0 = k * M_PI / 16, a1 = (k + 1) * M_PI / 16;
                    Stroke(strips, {cx + rx * std::cos(a0), cy + ry * std::sin(a0)},
                           {cx + rx * std::cos(a1), cy + ry * std::sin(a1)}, r.penWidth);
                }
            }
            add(tag == "item" && isBarItem() ? Kind::BarLine : Kind::Line, std::move(strips), op);
        } else if ((op == "TextOutA" || op == "TextOutW" || op == "ExtTextOutA" || op == "ExtTextOutW") &&
                   r.args.size() >= 2) {
            const std::vector<Box>& shape = TextStrips(r);
            std::vector<Box> strips;
            strips.reserve(shape.size());
            for (const Box& b : shape)
                strips.push_back(
                    {b.left + r.args[0], b.top + r.args[1], b.right + r.args[0], b.bottom + r.args[1]});
            Kind kind = Kind::Text;
            std::string what = r.text;
            if (tag == "lyric" || tag == "hyphen") {
                kind = Kind::Lyric;
            } else if (IsMusicFont(r)) {
                std::string bytes = TextBytes(r);
                int g = bytes.size() == 1 ? GlyphOfCode(static_cast<unsigned char>(bytes[0])) : -1;
                kind = g >= 0 ? GlyphKind(g) : Kind::Symbol;
                what = g >= 0 ? "glyph " + std::to_string(g) : "\"" + bytes + "\"";
            } else if (!r.wtext.empty()) {
                what.clear();
                for (char16_t c : r.wtext)
                    what += c < 0x80 ? static_cast<char>(c) : '?';
            }
            add(kind, std::move(strips), what);
        }
    }
    return out;
}

namespace {

bool NoteLike(Kind k) {
    return k == Kind::Head || k == Kind::Stem || k == Kind::Accidental || k == Kind::Dot || k == Kind::Ledger;
}
bool TextLike(Kind k) {
    return k == Kind::Text || k == Kind::Dynamic || k == Kind::Lyric;
}

// The rule that keeps two marks apart, or null when none does.
const char* Rule(const Ink& a, const Ink& b) {
    if (a.tag == b.tag && a.staff == b.staff && a.item == b.item &&
        (a.tag != "lyric" && a.tag != "hyphen" ? true : a.extra == b.extra))
        return nullptr;
    // A note's own syllable and hyphen are drawn under its tag "lyric", the note under "item": they are
    // different marks and are kept apart as any other.
    if (TextLike(a.kind) && TextLike(b.kind)) {
        if (a.kind == Kind::Lyric && b.kind == Kind::Lyric && a.staff == b.staff && a.extra == b.extra)
            return "syllables";
        return "text/text";
    }
    if ((NoteLike(a.kind) && (TextLike(b.kind) || b.kind == Kind::Hairpin)) ||
        (NoteLike(b.kind) && (TextLike(a.kind) || a.kind == Kind::Hairpin)))
        return "note/text";
    if (TextLike(a.kind) && b.kind == Kind::Hairpin) return "text/hairpin";
    if (TextLike(b.kind) && a.kind == Kind::Hairpin) return "text/hairpin";
    if (a.kind == Kind::Head && b.kind == Kind::Head) return "head/head";
    return nullptr;
}

// The common part of two boxes; false when they share no pixel.
bool Common(const Box& a, const Box& b, Box* where) {
    Box o{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
    if (o.Empty()) return false;
    *where = o;
    return true;
}

// A pixel of overlap is the smoothed edge of two marks that touch: ink overlaps when the pixels both cover
// reach over more than one pixel across and down.
bool Significant(const Box& b) {
    return b.right - b.left > 1 && b.bottom - b.top > 1;
}

}  // namespace

std::vector<Overlap> FindOverlaps(const std::vector<Ink>& inks, int textRoom, int noteRoom) {
    const int clearance = std::max(textRoom, noteRoom);
    std::vector<Overlap> out;
    std::vector<size_t> order(inks.size());
    for (size_t i = 0; i < inks.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return inks[a].bounds.left < inks[b].bounds.left; });
    for (size_t i = 0; i < order.size(); ++i) {
        const Ink& a = inks[order[i]];
        for (size_t j = i + 1; j < order.size(); ++j) {
            const Ink& b = inks[order[j]];
            if (b.bounds.left >= a.bounds.right + clearance) break;
            const char* rule = Rule(a, b);
            if (!rule) continue;
            // Text keeps a little room from what it stands beside; heads may touch.
            const std::string r = rule;
            const int c = r == "head/head" ? 0 : r == "note/text" ? noteRoom : textRoom;
            auto grow = [c](Box x) { return Box{x.left - c, x.top - c, x.right + c, x.bottom + c}; };
            Box where;
            if (!Common(grow(a.bounds), b.bounds, &where) || !Significant(where)) continue;
            // The span of the pixels both cover.
            Box all;
            bool any = false;
            for (const Box& strip : a.strips) {
                const Box sa = grow(strip);
                if (sa.right <= where.left || sa.left >= where.right) continue;
                for (const Box& sb : b.strips) {
                    Box m;
                    if (!Common(sa, sb, &m) || m.bottom - m.top <= 1) continue;
                    if (!any) all = m;
                    all = {std::min(all.left, m.left), std::min(all.top, m.top), std::max(all.right, m.right),
                           std::max(all.bottom, m.bottom)};
                    any = true;
                }
            }
            if (any && Significant(all)) out.push_back({&a, &b, all, rule});
        }
    }
    return out;
}

std::vector<const Ink*> PastRight(const std::vector<Ink>& inks, int right) {
    std::vector<const Ink*> out;
    for (const Ink& ink : inks)
        if (ink.bounds.right > right + 1) out.push_back(&ink);
    return out;
}

std::string Describe(const Ink& ink) {
    std::string s = ink.tag + " " + std::to_string(ink.staff) + ":" + std::to_string(ink.item);
    if (ink.tag == "lyric" || ink.tag == "hyphen") s += " line " + std::to_string(ink.extra);
    s += std::string(" (") + KindName(ink.kind);
    if (!ink.what.empty()) s += " " + ink.what;
    return s + ")";
}

}  // namespace qsm::ink
