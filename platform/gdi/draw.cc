// Lines, shapes, paths and text output.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include <pixman.h>

#include "platform/gdi/gdi_internal.h"

namespace qsm::gdi {
namespace {

struct Pt {
    double x, y;
};

// One figure of a shape: its first point, then per segment its end point (a straight segment) or the two
// control points and the end point of a cubic Bezier. `curve` is empty when every segment is straight;
// otherwise it flags the three points of each cubic.
struct Figure {
    std::vector<Pt> pts;
    std::vector<bool> curve;
    Figure() = default;
    Figure(std::vector<Pt> p) : pts(std::move(p)) {}  // straight segments only
    bool Curved() const { return !curve.empty(); }
    bool CurveAt(size_t i) const { return Curved() && curve[i] && i + 2 < pts.size(); }
};
using Figures = std::vector<Figure>;

// Flattens a cubic Bezier into points (device coordinates), for the one-pixel lines set pixel by pixel.
void AppendBezier(std::vector<Pt>& out, Pt p0, Pt p1, Pt p2, Pt p3) {
    double len = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                 std::hypot(p3.x - p2.x, p3.y - p2.y);
    int steps = std::clamp(static_cast<int>(len / 2), 4, 256);
    for (int i = 1; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps, u = 1 - t;
        out.push_back({u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
                       u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y});
    }
}

std::vector<Pt> Flatten(const Figure& f) {
    if (!f.Curved() || f.pts.empty()) return f.pts;
    std::vector<Pt> out{f.pts[0]};
    for (size_t i = 1; i < f.pts.size();) {
        if (f.CurveAt(i)) {
            AppendBezier(out, f.pts[i - 1], f.pts[i], f.pts[i + 1], f.pts[i + 2]);
            i += 3;
        } else {
            out.push_back(f.pts[i++]);
        }
    }
    return out;
}

void PathMoveTo(cairo_t* cr, double x, double y) {
    cairo_move_to(cr, x, y);
}
void PathLineTo(cairo_t* cr, double x, double y) {
    cairo_line_to(cr, x, y);
}
void PathCurveTo(cairo_t* cr, double x1, double y1, double x2, double y2, double x3, double y3) {
    cairo_curve_to(cr, x1, y1, x2, y2, x3, y3);
}
void PathClose(cairo_t* cr) {
    cairo_close_path(cr);
}
void PathMoveTo(SurfacePath* p, double x, double y) {
    p->MoveTo(x, y);
}
void PathLineTo(SurfacePath* p, double x, double y) {
    p->LineTo(x, y);
}
void PathCurveTo(SurfacePath* p, double x1, double y1, double x2, double y2, double x3, double y3) {
    p->CurveTo(x1, y1, x2, y2, x3, y3);
}
void PathClose(SurfacePath* p) {
    p->ClosePath();
}

// Adds the figure to cairo's path (or a PDF DC's path made as cairo makes it), moved by (dx, dy), curves
// as curves.
template <class Target>
void TraceFigure(Target* cr, const Figure& f, double dx, double dy, bool closed) {
    if (f.pts.empty()) return;
    PathMoveTo(cr, f.pts[0].x + dx, f.pts[0].y + dy);
    for (size_t i = 1; i < f.pts.size();) {
        if (f.CurveAt(i)) {
            PathCurveTo(cr, f.pts[i].x + dx, f.pts[i].y + dy, f.pts[i + 1].x + dx, f.pts[i + 1].y + dy,
                        f.pts[i + 2].x + dx, f.pts[i + 2].y + dy);
            i += 3;
        } else {
            PathLineTo(cr, f.pts[i].x + dx, f.pts[i].y + dy);
            ++i;
        }
    }
    if (closed) PathClose(cr);
}

template <class Target>
void Trace(Target* cr, const Figures& figures, double dx, double dy, bool closed) {
    for (const Figure& f : figures)
        TraceFigure(cr, f, dx, dy, closed);
}

bool IsRaster(const DC& dc) {
    return dc.surface && cairo_surface_get_type(dc.surface) == CAIRO_SURFACE_TYPE_IMAGE;
}

bool pattern_needs_background(int style) {
    return style == PS_DASH || style == PS_DOT || style == PS_DASHDOT || style == PS_DASHDOTDOT;
}

void SetColor(cairo_t* cr, COLORREF c) {
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

// A binary raster operation bit by bit: the code less one is its truth table, bit 2 * pen + destination.
uint32_t ApplyRop(int rop, uint32_t dst, uint32_t pen) {
    if (rop < R2_BLACK || rop > R2_WHITE) return pen;
    unsigned t = static_cast<unsigned>(rop - 1);
    uint32_t out = 0;
    if (t & 8) out |= pen & dst;
    if (t & 4) out |= pen & ~dst;
    if (t & 2) out |= ~pen & dst;
    if (t & 1) out |= ~pen & ~dst;
    return out;
}

std::vector<Pt> ToDevicePoints(const DC& dc, const POINT* pts, int count) {
    std::vector<Pt> out(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        ToDevice(dc, pts[i].x, pts[i].y, &out[i].x, &out[i].y);
    return out;
}

double PenDeviceWidth(const DC& dc, const Pen& pen) {
    if (!pen.geometric) return 1.0;
    double w = pen.width * std::fabs(ScaleX(dc));
    return w < 1.0 ? 1.0 : w;
}

// One-pixel lines of a cosmetic solid pen on a raster surface, set pixel by pixel as GDI sets them: no
// antialiasing, each segment from its first point up to but not including its last (a closed figure thus
// covers every corner once). False when the surface is not a plain raster one, or the DC draws smoothly;
// the caller strokes then.
bool StrokeHairline(DC& dc, const Figures& figures, bool closed, COLORREF color) {
    if (!dc.cr || !dc.surface || dc.baseScale != 1.0 || (dc.smooth && dc.st.rop2 == R2_COPYPEN)) return false;
    if (cairo_surface_get_type(dc.surface) != CAIRO_SURFACE_TYPE_IMAGE) return false;
    cairo_format_t format = cairo_image_surface_get_format(dc.surface);
    if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32) return false;
    if (dc.bitmap && dc.bitmap->stock) return true;
    int rop = dc.st.rop2;
    if (rop == R2_NOP) return true;
    if (rop == R2_BLACK) color = 0, rop = R2_COPYPEN;
    if (rop == R2_WHITE) color = RGB(255, 255, 255), rop = R2_COPYPEN;
    const cairo_region_t* clip = DrawingClipOf(dc);
    int w = cairo_image_surface_get_width(dc.surface), h = cairo_image_surface_get_height(dc.surface);
    // Pixels outside this box are never set; a clip of more than one rectangle is asked point by point.
    cairo_rectangle_int_t box{0, 0, w, h};
    bool oneRect = true;
    if (clip) {
        cairo_rectangle_int_t ext;
        cairo_region_get_extents(clip, &ext);
        int x0 = std::max(ext.x, 0), y0 = std::max(ext.y, 0);
        int x1 = std::min(ext.x + ext.width, w), y1 = std::min(ext.y + ext.height, h);
        box = {x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
        oneRect = cairo_region_num_rectangles(clip) <= 1;
    }
    if (box.width <= 0 || box.height <= 0) return true;
    SyncBitmapIn(dc);
    cairo_surface_flush(dc.surface);
    unsigned char* data = cairo_image_surface_get_data(dc.surface);
    int stride = cairo_image_surface_get_stride(dc.surface);
    uint32_t pen = 0xFF000000u | (static_cast<uint32_t>(GetRValue(color)) << 16) |
                   (static_cast<uint32_t>(GetGValue(color)) << 8) | GetBValue(color);
    int bx1 = box.x + box.width, by1 = box.y + box.height;
    auto plot = [&](int x, int y) {
        if (x < box.x || y < box.y || x >= bx1 || y >= by1) return;
        if (!oneRect && !cairo_region_contains_point(clip, x, y)) return;
        auto* px = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride) + x;
        *px = rop == R2_COPYPEN ? pen : 0xFF000000u | (ApplyRop(rop, *px, pen) & 0xFFFFFF);
    };
    auto round = [](double v) { return static_cast<long long>(std::floor(v + 0.5)); };
    // Bresenham from a to b, b left out.
    auto segment = [&](Pt a, Pt b) {
        long long x = round(a.x) + dc.origin.x, y = round(a.y) + dc.origin.y;
        long long xe = round(b.x) + dc.origin.x, ye = round(b.y) + dc.origin.y;
        long long dx = std::llabs(xe - x), dy = -std::llabs(ye - y);
        int sx = x < xe ? 1 : -1, sy = y < ye ? 1 : -1;
        long long err = dx + dy;
        // Segments far outside the surface are skipped whole.
        if (std::max(x, xe) < box.x || std::min(x, xe) >= bx1 || std::max(y, ye) < box.y ||
            std::min(y, ye) >= by1)
            return;
        if (dx > (1LL << 24) || -dy > (1LL << 24)) return;
        if ((dy == 0 || dx == 0) && oneRect && rop == R2_COPYPEN) {
            // Rows and columns, the staff lines, stems and bar lines, are set as runs.
            if (dy == 0) {
                long long lo = sx > 0 ? x : xe + 1, hi = sx > 0 ? xe : x + 1;  // [lo, hi)
                lo = std::max<long long>(lo, box.x);
                hi = std::min<long long>(hi, bx1);
                if (y < box.y || y >= by1 || lo >= hi) return;
                auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
                std::fill(row + lo, row + hi, pen);
            } else {
                long long lo = sy > 0 ? y : ye + 1, hi = sy > 0 ? ye : y + 1;
                lo = std::max<long long>(lo, box.y);
                hi = std::min<long long>(hi, by1);
                if (x < box.x || x >= bx1) return;
                for (long long r = lo; r < hi; ++r)
                    reinterpret_cast<uint32_t*>(data + static_cast<size_t>(r) * stride)[x] = pen;
            }
            return;
        }
        while (x != xe || y != ye) {
            plot(static_cast<int>(x), static_cast<int>(y));
            long long e2 = 2 * err;
            if (e2 >= dy) err += dy, x += sx;
            if (e2 <= dx) err += dx, y += sy;
        }
    };
    std::vector<Pt> flat;
    for (const Figure& f : figures) {
        if (f.Curved()) flat = Flatten(f);
        const std::vector<Pt>& fig = f.Curved() ? flat : f.pts;
        for (size_t i = 0; i + 1 < fig.size(); ++i)
            segment(fig[i], fig[i + 1]);
        if (closed && fig.size() > 1) segment(fig.back(), fig.front());
    }
    cairo_surface_mark_dirty(dc.surface);
    SyncBitmapOut(dc);
    return true;
}

// The cap, join, width and dash of the pen on cairo. Device pixels become surface units through `scale`:
// the caller strokes with cairo's matrix reset, so that a stroke needs no transformation of its own.
void SetPenStyle(cairo_t* cr, UINT style, bool cosmetic, double width, double scale) {
    cairo_set_line_width(cr, width * scale);
    if (cosmetic) {
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    } else {
        switch (style & PS_ENDCAP_MASK) {
            case PS_ENDCAP_FLAT:
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
                break;
            case PS_ENDCAP_SQUARE:
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
                break;
            default:
                cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
                break;
        }
        switch (style & PS_JOIN_MASK) {
            case PS_JOIN_MITER:
                cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
                break;
            case PS_JOIN_BEVEL:
                cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
                break;
            default:
                cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
                break;
        }
    }
    double unit = (cosmetic ? 1.0 : width) * scale;
    static const double kDash[] = {18, 6};
    static const double kDot[] = {3, 3};
    static const double kDashDot[] = {9, 6, 3, 6};
    static const double kDashDotDot[] = {9, 3, 3, 3, 3, 3};
    const double* pattern = nullptr;
    int n = 0;
    switch (static_cast<int>(style & PS_STYLE_MASK)) {
        case PS_DASH:
            pattern = kDash, n = 2;
            break;
        case PS_DOT:
            pattern = kDot, n = 2;
            break;
        case PS_DASHDOT:
            pattern = kDashDot, n = 4;
            break;
        case PS_DASHDOTDOT:
            pattern = kDashDotDot, n = 6;
            break;
        default:
            break;
    }
    if (pattern) {
        double scaled[6];
        for (int i = 0; i < n; ++i)
            scaled[i] = pattern[i] * unit;
        cairo_set_dash(cr, scaled, n, 0);
    }
}

// The cap and join SetPenStyle gives cairo, as a PDF file writes them: 0 butt or miter, 1 round, 2 square or
// bevel.
void PdfPenStyle(UINT style, bool cosmetic, PdfShapePaint* paint) {
    if (cosmetic) {
        paint->cap = 0;
        paint->join = 0;
        return;
    }
    switch (style & PS_ENDCAP_MASK) {
        case PS_ENDCAP_FLAT:
            paint->cap = 0;
            break;
        case PS_ENDCAP_SQUARE:
            paint->cap = 2;
            break;
        default:
            paint->cap = 1;
            break;
    }
    switch (style & PS_JOIN_MASK) {
        case PS_JOIN_MITER:
            paint->join = 0;
            break;
        case PS_JOIN_BEVEL:
            paint->join = 2;
            break;
        default:
            paint->join = 1;
            break;
    }
}

// Resets cairo's matrix after a path was built in device pixels (the path stays where it is): strokes are
// then written without a transformation of their own. The factor from device pixels to surface units.
double ResetMatrix(cairo_t* cr, const DC& dc) {
    if (dc.baseScale == 1.0) return 1.0;
    cairo_identity_matrix(cr);
    return dc.baseScale;
}

// A stroke of odd width sits on pixel centres, one of even width on pixel edges.
double PenOffset(double width) {
    return (static_cast<long long>(std::lround(width)) % 2) ? 0.5 : 0.0;
}

// A stroke ready to be traced: its figures moved onto the pen's pixel grid, each closed or open. Open
// lines of a cosmetic pen leave out their last point: each segment moves back by half a pixel along itself
// (a curve along its chord) and becomes a figure of its own. The figures lie end to end in one array of
// points, so that outlines made and gathered one after another reuse their storage.
struct Outline {
    struct Span {
        uint32_t begin, end;  // into pts
        bool closed;
        bool curved;  // `curve` flags its cubics' points, as Figure::curve does
    };
    std::vector<Pt> pts;
    std::vector<uint8_t> curve;  // by point
    std::vector<Span> figs;

    void Clear() {
        pts.clear();
        curve.clear();
        figs.clear();
    }
    bool Empty() const { return figs.empty(); }
    void Push(Pt p, bool c) {
        pts.push_back(p);
        curve.push_back(c ? 1 : 0);
    }
    void EndFigure(size_t begin, bool closed, bool curved) {
        figs.push_back({static_cast<uint32_t>(begin), static_cast<uint32_t>(pts.size()), closed, curved});
    }
    void Add(const Figures& figures, bool close, bool cosmetic, double off) {
        for (const Figure& fig : figures) {
            if (fig.pts.empty()) continue;
            if (!cosmetic || close) {
                const size_t begin = pts.size();
                for (size_t k = 0; k < fig.pts.size(); ++k)
                    Push({fig.pts[k].x + off, fig.pts[k].y + off}, fig.Curved() && fig.curve[k]);
                EndFigure(begin, close, fig.Curved());
                continue;
            }
            const auto& p = fig.pts;
            for (size_t i = 0; i + 1 < p.size();) {
                size_t last = fig.CurveAt(i + 1) ? i + 3 : i + 1;
                double dx = p[last].x - p[i].x, dy = p[last].y - p[i].y;
                double len = std::hypot(dx, dy);
                if (len == 0 && last == i + 1) {
                    i = last;
                    continue;
                }
                double sx = off - (len == 0 ? 0 : 0.5 * dx / len), sy = off - (len == 0 ? 0 : 0.5 * dy / len);
                const size_t begin = pts.size();
                const bool curved = last == i + 3;
                for (size_t k = i; k <= last; ++k)
                    Push({p[k].x + sx, p[k].y + sy}, curved && k > i);
                EndFigure(begin, false, curved);
                i = last;
            }
        }
    }
    template <class Target>
    void Trace(Target* cr) const {
        for (const Span& f : figs) {
            const Pt* p = pts.data() + f.begin;
            const uint8_t* c = curve.data() + f.begin;
            const size_t n = f.end - f.begin;
            if (n == 0) continue;
            PathMoveTo(cr, p[0].x, p[0].y);
            for (size_t i = 1; i < n;) {
                if (f.curved && c[i] && i + 2 < n) {
                    PathCurveTo(cr, p[i].x, p[i].y, p[i + 1].x, p[i + 1].y, p[i + 2].x, p[i + 2].y);
                    i += 3;
                } else {
                    PathLineTo(cr, p[i].x, p[i].y);
                    ++i;
                }
            }
            if (f.closed) PathClose(cr);
        }
    }
};

bool IsSolidLine(const Pen& pen) {
    return pen.LineStyle() == PS_SOLID || pen.LineStyle() == PS_INSIDEFRAME;
}

}  // namespace

// Shapes of one colour and pen that wait to be drawn together on a vector surface: strokes, or shapes
// filled and outlined in the same colour whose extents do not overlap. One path with many figures is
// written and processed once where each shape of its own would be a separate operation of the surface.
struct DrawBatch {
    bool fill = false;
    COLORREF color = 0;
    UINT penStyle = 0;
    bool cosmetic = true;
    double width = 0;
    int fillMode = ALTERNATE;
    cairo_region_t* clip = nullptr;  // the clip and origin the shapes were given with
    POINT origin{0, 0};
    Outline outline;
    std::vector<std::array<double, 4>> boxes;  // fill batches: the extent of each shape
    size_t shapes = 0;
    ~DrawBatch() {
        if (clip) cairo_region_destroy(clip);
    }
};

void DrawBatchDeleter::operator()(DrawBatch* b) const {
    delete b;
}

// Storage that drawings on a DC reuse from shape to shape.
struct DrawScratch {
    Outline outline;
    Figures figures;
    Figures pathFigures;
    std::vector<bool> pathClosed;
    std::unique_ptr<DrawBatch> spareBatch;  // a drawn batch kept for the next one
};

void DrawScratchDeleter::operator()(DrawScratch* s) const {
    delete s;
}

namespace {

DrawScratch& ScratchOf(DC& dc) {
    if (!dc.scratch) dc.scratch.reset(new DrawScratch);
    return *dc.scratch;
}

// The DC's outline to make a shape in, emptied.
Outline& ScratchOutline(DC& dc) {
    Outline& outline = ScratchOf(dc).outline;
    outline.Clear();
    return outline;
}

// Gives a drawn batch back for the next one.
struct BatchReturn {
    DC& dc;
    std::unique_ptr<DrawBatch, DrawBatchDeleter>& b;
    ~BatchReturn() {
        if (!b) return;
        if (b->clip) cairo_region_destroy(b->clip);
        b->clip = nullptr;
        b->outline.Clear();
        b->boxes.clear();
        b->shapes = 0;
        ScratchOf(dc).spareBatch.reset(b.release());
    }
};

}  // namespace

void FlushBatch(DC& dc) {
    if (!dc.batch) return;
    std::unique_ptr<DrawBatch, DrawBatchDeleter> b = std::move(dc.batch);
    BatchReturn giveBack{dc, b};
    if (b->outline.Empty()) return;
    if (dc.pdf) {
        if (!BeginPdfShape(dc, b->clip, b->origin)) return;
        b->outline.Trace(&dc.pdfShape);
        PdfShapePaint paint;
        paint.fill = b->fill;
        paint.fillColor = paint.strokeColor = PdfColor(b->color);
        paint.evenOdd = b->fillMode != WINDING;
        paint.stroke = true;
        paint.width = b->width * dc.baseScale;
        PdfPenStyle(b->penStyle, b->cosmetic, &paint);
        WritePdfShape(dc, paint);
        return;
    }
    EmitIn(dc, b->clip, b->origin, b->color, [&](cairo_t* cr) {
        b->outline.Trace(cr);
        if (b->fill) {
            cairo_set_fill_rule(cr,
                                b->fillMode == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
            PaintFill(cr, true);
        }
        SetPenStyle(cr, b->penStyle, b->cosmetic, b->width, ResetMatrix(cr, dc));
        PaintStroke(cr);
    });
}

namespace {

constexpr size_t kMaxBatchShapes = 256;

// Adds a shape to the DC's batch, drawing the batch first when the shape does not fit it. `box` is the
// shape's extent for a fill batch.
// The shape is added to the batch's outline by `add`.
template <class Add>
void Batch(DC& dc, bool fill, const Pen& pen, double width, int fillMode, const std::array<double, 4>& box,
           const Add& add) {
    cairo_region_t* clip = EffectiveClip(dc);
    DrawBatch* b = dc.batch.get();
    bool fits = b && b->fill == fill && b->color == pen.color && b->penStyle == pen.style &&
                b->cosmetic == !pen.geometric && b->width == width && (!fill || b->fillMode == fillMode) &&
                b->origin.x == dc.origin.x && b->origin.y == dc.origin.y && b->shapes < kMaxBatchShapes &&
                cairo_region_equal(b->clip, clip);
    if (fits && fill) {
        // Overlapping shapes in one path would cancel each other's fill.
        for (const auto& o : b->boxes)
            if (box[0] < o[2] && o[0] < box[2] && box[1] < o[3] && o[1] < box[3]) {
                fits = false;
                break;
            }
    }
    if (!fits) {
        FlushBatch(dc);
        if (std::unique_ptr<DrawBatch>& spare = ScratchOf(dc).spareBatch)
            dc.batch.reset(spare.release());
        else
            dc.batch.reset(new DrawBatch);
        b = dc.batch.get();
        b->fill = fill;
        b->color = pen.color;
        b->penStyle = pen.style;
        b->cosmetic = !pen.geometric;
        b->width = width;
        b->fillMode = fillMode;
        b->origin = dc.origin;
        b->clip = clip;
    } else if (clip) {
        cairo_region_destroy(clip);
    }
    add(b->outline);
    if (fill) b->boxes.push_back(box);
    ++b->shapes;
}

// Strokes a shape with the DC's pen.
void Stroke(DC& dc, const Figures& figures, bool closed) {
    const Pen* pen = dc.st.pen;
    if (!pen || pen->LineStyle() == PS_NULL || figures.empty()) return;
    double width = PenDeviceWidth(dc, *pen);
    double off = PenOffset(width);
    bool cosmetic = !pen->geometric;
    int style = pen->LineStyle();
    if (cosmetic && IsSolidLine(*pen) && StrokeHairline(dc, figures, closed, pen->color)) return;
    if (dc.cr && !IsRaster(dc) && IsSolidLine(*pen)) {
        Batch(dc, false, *pen, width, ALTERNATE, {},
              [&](Outline& o) { o.Add(figures, closed, cosmetic, off); });
        return;
    }
    Outline& outline = ScratchOutline(dc);
    outline.Add(figures, closed, cosmetic, off);
    if (pattern_needs_background(style) && dc.st.bkMode == OPAQUE && cosmetic) {
        auto solid = [&](cairo_t* cr) {
            Trace(cr, figures, off, off, false);
            cairo_set_line_width(cr, width * ResetMatrix(cr, dc));
            PaintStroke(cr);
        };
        Emit(dc, dc.st.bkColor, solid);
    }
    Emit(dc, pen->color, [&](cairo_t* cr) {
        outline.Trace(cr);
        SetPenStyle(cr, pen->style, cosmetic, width, ResetMatrix(cr, dc));
        PaintStroke(cr);
    });
}

// A pattern brush as the source, in device pixels repeating from the DC's device origin; a solid brush
// leaves the colour Emit set.
void SetBrushSource(cairo_t* cr, const DC& dc, const Brush& b) {
    if (b.style != BS_PATTERN || b.patternW <= 0 || b.patternH <= 0) return;
    cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_RGB24, b.patternW, b.patternH);
    cairo_surface_flush(tile);
    unsigned char* data = cairo_image_surface_get_data(tile);
    int stride = cairo_image_surface_get_stride(tile);
    for (int y = 0; y < b.patternH; ++y)
        for (int x = 0; x < b.patternW; ++x) {
            uint32_t v = 0xFF000000u | BrushPixel(b, dc.st, x, y);
            std::memcpy(data + static_cast<size_t>(y) * stride + x * 4, &v, 4);
        }
    cairo_surface_mark_dirty(tile);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(tile);
    cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(p, CAIRO_FILTER_NEAREST);
    cairo_set_source(cr, p);
    cairo_pattern_destroy(p);
    cairo_surface_destroy(tile);
}

bool HasBrush(const DC& dc) {
    return dc.st.brush && dc.st.brush->style != BS_NULL;
}

// Emit's steps on a PDF DC up to its drawing, which the caller writes straight to the file: false when
// nothing is drawn. `color` becomes the one the raster operation leaves.
bool BeginPdfEmit(DC& dc, COLORREF* color, bool useRop) {
    if (!dc.cr) return false;
    FlushBatch(dc);
    if (dc.bitmap && dc.bitmap->stock) return false;
    int rop = useRop ? dc.st.rop2 : R2_COPYPEN;
    if (rop == R2_NOP) return false;
    if (rop == R2_BLACK) *color = 0;
    if (rop == R2_WHITE) *color = RGB(255, 255, 255);
    return BeginPdfShape(dc, DrawingClipOf(dc), dc.origin);
}

void Fill(DC& dc, const Figures& figures, int fillMode) {
    if (!HasBrush(dc)) return;
    if (dc.pdf && dc.st.brush->style != BS_PATTERN) {
        COLORREF color = dc.st.brush->color;
        if (!BeginPdfEmit(dc, &color, true)) return;
        Trace(&dc.pdfShape, figures, 0, 0, true);
        PdfShapePaint paint;
        paint.fill = true;
        paint.fillColor = PdfColor(color);
        paint.evenOdd = fillMode != WINDING;
        WritePdfShape(dc, paint);
        return;
    }
    Emit(dc, dc.st.brush->color, [&](cairo_t* cr) {
        SetBrushSource(cr, dc, *dc.st.brush);
        cairo_set_fill_rule(cr, fillMode == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        Trace(cr, figures, 0, 0, true);
        PaintFill(cr, false);
    });
}

// Fills a shape with the brush and outlines it with the pen. `outline` is the shape as the pen strokes it
// (closed figures), `inside` the shape as the brush fills it; the two lie at most half a pixel apart. On a
// vector surface a solid pen of at least one pixel covers that difference, so the outline is written once,
// filled and stroked in one operation; elsewhere the fill and the stroke are drawn one after the other.
void FillAndStroke(DC& dc, const Figures& inside, const Figures& outline, int fillMode) {
    const Pen* pen = dc.st.pen;
    bool solidPen = pen && IsSolidLine(*pen);
    bool solidBrush = HasBrush(dc) && dc.st.brush->style != BS_PATTERN;
    if (!dc.cr || IsRaster(dc) || !solidPen || !solidBrush) {
        Fill(dc, inside, fillMode);
        Stroke(dc, outline, true);
        return;
    }
    double width = PenDeviceWidth(dc, *pen), off = PenOffset(width);
    // The shape is the outline's figures that have points, moved by the pen's offset.
    const Figure* f0 = nullptr;
    size_t figures = 0;
    std::array<double, 4> box{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Figure& f : outline) {
        if (f.pts.empty()) continue;
        if (!figures++) f0 = &f;
        for (const Pt& p : f.pts) {
            const double x = p.x + off, y = p.y + off;
            box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
            box[2] = std::max(box[2], x), box[3] = std::max(box[3], y);
        }
    }
    if (!figures) return;
    // A lone rectangle keeps the surface's short form of it; in a path of several figures it would not.
    bool rect = false;
    if (figures == 1 && !f0->Curved() && f0->pts.size() == 4) {
        Pt p0[4];
        for (int i = 0; i < 4; ++i)
            p0[i] = {f0->pts[i].x + off, f0->pts[i].y + off};
        rect = (p0[0].y == p0[1].y && p0[1].x == p0[2].x && p0[2].y == p0[3].y && p0[3].x == p0[0].x) ||
               (p0[0].x == p0[1].x && p0[1].y == p0[2].y && p0[2].x == p0[3].x && p0[3].y == p0[0].y);
    }
    if (pen->color == dc.st.brush->color && !rect) {
        Batch(dc, true, *pen, width, fillMode, box,
              [&](Outline& o) { o.Add(outline, true, !pen->geometric, off); });
        return;
    }
    Outline& shape = ScratchOutline(dc);
    shape.Add(outline, true, !pen->geometric, off);
    if (dc.pdf) {
        COLORREF color = dc.st.brush->color;
        if (!BeginPdfEmit(dc, &color, true)) return;
        shape.Trace(&dc.pdfShape);
        PdfShapePaint paint;
        paint.fill = paint.stroke = true;
        paint.fillColor = PdfColor(color);
        paint.strokeColor = PdfColor(pen->color);
        paint.evenOdd = fillMode != WINDING;
        paint.width = width * dc.baseScale;
        PdfPenStyle(pen->style, !pen->geometric, &paint);
        WritePdfShape(dc, paint);
        return;
    }
    Emit(dc, dc.st.brush->color, [&](cairo_t* cr) {
        cairo_set_fill_rule(cr, fillMode == WINDING ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        shape.Trace(cr);
        PaintFill(cr, true);
        SetColor(cr, pen->color);
        SetPenStyle(cr, pen->style, !pen->geometric, width, ResetMatrix(cr, dc));
        PaintStroke(cr);
    });
}

std::vector<Pt> EllipsePoints(double l, double t, double r, double b) {
    std::vector<Pt> pts;
    double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l - 1) / 2, ry = (b - t - 1) / 2;
    if (rx < 0) rx = 0;
    if (ry < 0) ry = 0;
    int steps = std::clamp(static_cast<int>((rx + ry) * 2), 16, 720);
    for (int i = 0; i < steps; ++i) {
        double a = 2 * M_PI * i / steps;
        pts.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return pts;
}

// The same ellipse as four cubic Beziers, starting at the same point and running the same way.
Figure EllipseCurves(double l, double t, double r, double b) {
    double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l - 1) / 2, ry = (b - t - 1) / 2;
    if (rx < 0) rx = 0;
    if (ry < 0) ry = 0;
    const double k = 0.5522847498307936;  // control distance of a quarter circle of radius 1
    double kx = k * rx, ky = k * ry;
    Figure f({{cx + rx, cy},
              {cx + rx, cy + ky},
              {cx + kx, cy + ry},
              {cx, cy + ry},
              {cx - kx, cy + ry},
              {cx - rx, cy + ky},
              {cx - rx, cy},
              {cx - rx, cy - ky},
              {cx - kx, cy - ry},
              {cx, cy - ry},
              {cx + kx, cy - ry},
              {cx + rx, cy - ky},
              {cx + rx, cy}});
    f.curve.assign(f.pts.size(), true);
    f.curve[0] = false;
    return f;
}

Figure Shifted(Figure f, double dx, double dy) {
    for (Pt& p : f.pts)
        p.x += dx, p.y += dy;
    return f;
}

void AddLine(Figure& f, Pt p) {
    f.pts.push_back(p);
    if (f.Curved()) f.curve.push_back(false);
}

void AddCurve(Figure& f, Pt c1, Pt c2, Pt end) {
    if (!f.Curved()) f.curve.assign(f.pts.size(), false);
    f.pts.insert(f.pts.end(), {c1, c2, end});
    f.curve.insert(f.curve.end(), {true, true, true});
}

// Figures of the DC's path, made in `figs` (whose figures keep their storage) and `closed`.
void PathFigures(const DC& dc, Figures& figs, std::vector<bool>& closed) {
    size_t n = 0;
    closed.clear();
    auto start = [&](Pt p) {
        if (n < figs.size()) {
            figs[n].pts.clear();
            figs[n].curve.clear();
        } else {
            figs.emplace_back();
        }
        figs[n++].pts.push_back(p);
        closed.push_back(false);
    };
    Pt cur{0, 0};
    for (const PathOp& op : dc.path) {
        switch (op.kind) {
            case PathOp::Move:
                start({op.x[0], op.y[0]});
                cur = {op.x[0], op.y[0]};
                break;
            case PathOp::Line:
                if (n == 0) start(cur);
                AddLine(figs[n - 1], {op.x[0], op.y[0]});
                cur = {op.x[0], op.y[0]};
                break;
            case PathOp::Curve:
                if (n == 0) start(cur);
                AddCurve(figs[n - 1], {op.x[0], op.y[0]}, {op.x[1], op.y[1]}, {op.x[2], op.y[2]});
                cur = {op.x[2], op.y[2]};
                break;
            case PathOp::Close:
                if (!closed.empty()) closed.back() = true;
                break;
        }
    }
    figs.resize(n);
}

// `n` empty figures of the DC's own to make a shape in: their storage stays from shape to shape.
Figures& ScratchFigures(DC& dc, size_t n) {
    Figures& figs = ScratchOf(dc).figures;
    figs.resize(n);
    for (Figure& f : figs) {
        f.pts.clear();
        f.curve.clear();
    }
    return figs;
}

void PathMove(DC& dc, Pt p) {
    dc.path.push_back({PathOp::Move, {p.x, 0, 0}, {p.y, 0, 0}});
}
void PathLine(DC& dc, Pt p) {
    dc.path.push_back({PathOp::Line, {p.x, 0, 0}, {p.y, 0, 0}});
}
void PathClose(DC& dc) {
    dc.path.push_back({PathOp::Close, {0, 0, 0}, {0, 0, 0}});
}
void PathFigure(DC& dc, const Figure& f, bool close) {
    if (f.pts.empty()) return;
    PathMove(dc, f.pts[0]);
    for (size_t i = 1; i < f.pts.size();) {
        if (f.CurveAt(i)) {
            dc.path.push_back({PathOp::Curve,
                               {f.pts[i].x, f.pts[i + 1].x, f.pts[i + 2].x},
                               {f.pts[i].y, f.pts[i + 1].y, f.pts[i + 2].y}});
            i += 3;
        } else {
            PathLine(dc, f.pts[i++]);
        }
    }
    if (close) PathClose(dc);
}

}  // namespace

cairo_region_t* EffectiveClip(const DC& dc) {
    cairo_region_t* r = nullptr;
    if (dc.st.clip) {
        r = cairo_region_copy(dc.st.clip);
        cairo_region_translate(r, dc.origin.x, dc.origin.y);
    }
    if (dc.sysClip) {
        if (r)
            cairo_region_intersect(r, dc.sysClip);
        else
            r = cairo_region_copy(dc.sysClip);
    }
    return r;
}

const cairo_region_t* DrawingClipOf(DC& dc) {
    DC::DrawingClip& k = dc.drawingClip;
    if (k.valid && k.origin.x == dc.origin.x && k.origin.y == dc.origin.y &&
        cairo_region_equal(k.fromClip, dc.st.clip) && cairo_region_equal(k.fromSys, dc.sysClip))
        return k.clip;
    ForgetDrawingClip(dc);
    k.valid = true;
    k.origin = dc.origin;
    if (dc.st.clip) k.fromClip = cairo_region_copy(dc.st.clip);
    if (dc.sysClip) k.fromSys = cairo_region_copy(dc.sysClip);
    k.clip = EffectiveClip(dc);
    return k.clip;
}

void ForgetDrawingClip(DC& dc) {
    DC::DrawingClip& k = dc.drawingClip;
    for (cairo_region_t* r : {k.clip, k.fromClip, k.fromSys})
        if (r) cairo_region_destroy(r);
    k = DC::DrawingClip();
}

void SyncBitmapIn(DC& dc) {
    if (dc.bitmap && !dc.bitmap->direct) dc.bitmap->SyncToSurface();
}
void SyncBitmapOut(DC& dc) {
    if (dc.bitmap && !dc.bitmap->direct) dc.bitmap->SyncFromSurface();
}

void Emit(DC& dc, COLORREF color, const std::function<void(cairo_t*)>& draw, bool useRop) {
    if (!dc.cr) return;
    FlushBatch(dc);
    if (dc.bitmap && dc.bitmap->stock) return;
    int rop = useRop ? dc.st.rop2 : R2_COPYPEN;
    if (rop == R2_NOP) return;
    if (rop == R2_BLACK) color = 0, rop = R2_COPYPEN;
    if (rop == R2_WHITE) color = RGB(255, 255, 255), rop = R2_COPYPEN;
    EmitIn(dc, DrawingClipOf(dc), dc.origin, color, draw, rop);
}

namespace {

void ApplyClip(cairo_t* cr, const cairo_region_t* clip) {
    if (!clip) return;
    int n = cairo_region_num_rectangles(clip);
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(clip, i, &r);
        cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    }
    cairo_clip(cr);
}

// Puts the clip on the DC's context, one save level down, unless it is there already.
void KeepClip(DC& dc, const cairo_region_t* clip) {
    if (dc.clipKept && cairo_region_equal(dc.keptClip, clip)) return;
    DropKeptClip(dc);
    cairo_save(dc.cr);
    dc.clipKept = true;
    if (clip) dc.keptClip = cairo_region_copy(clip);
    ApplyClip(dc.cr, clip);
}

}  // namespace

void DropKeptClip(DC& dc) {
    if (!dc.clipKept) return;
    cairo_restore(dc.cr);
    dc.clipKept = false;
    if (dc.keptClip) cairo_region_destroy(dc.keptClip);
    dc.keptClip = nullptr;
}

void EmitIn(DC& dc, const cairo_region_t* clip, POINT origin, COLORREF color,
            const std::function<void(cairo_t*)>& draw, int rop) {
    if (!dc.cr || (dc.bitmap && dc.bitmap->stock)) return;
    if (clip && cairo_region_is_empty(clip)) return;
    SyncBitmapIn(dc);
    auto applyClip = [&](cairo_t* cr) { ApplyClip(cr, clip); };
    bool image = cairo_surface_get_type(dc.surface) == CAIRO_SURFACE_TYPE_IMAGE;
    if (rop == R2_COPYPEN && image && !dc.pdf && dc.baseScale == 1.0) {
        // Drawings on a raster surface follow each other with the same clip: it stays on the context
        // between them, and each drawing saves and restores only its own state above it.
        cairo_t* cr = dc.cr;
        KeepClip(dc, clip);
        cairo_save(cr);
        if (origin.x != 0 || origin.y != 0) cairo_translate(cr, origin.x, origin.y);
        SetColor(cr, color);
        draw(cr);
        cairo_restore(cr);
    } else if (dc.pdf) {
        // The base scale stays on the context between drawings, as the clip does on a raster surface; the
        // file's writer takes the clip itself.
        cairo_t* cr = dc.cr;
        if (!dc.clipKept) {
            cairo_save(cr);
            cairo_scale(cr, dc.baseScale, dc.baseScale);
            dc.clipKept = true;
        }
        cairo_save(cr);
        BeginPdfDrawing(dc, clip);
        if (origin.x != 0 || origin.y != 0) cairo_translate(cr, origin.x, origin.y);
        SetColor(cr, color);
        draw(cr);
        EndPdfDrawing(dc, cr);
        cairo_restore(cr);
    } else if (rop == R2_COPYPEN || !image) {
        cairo_t* cr = dc.cr;
        cairo_save(cr);
        cairo_scale(cr, dc.baseScale, dc.baseScale);
        applyClip(cr);
        cairo_translate(cr, origin.x, origin.y);
        SetColor(cr, color);
        draw(cr);
        cairo_restore(cr);
    } else {
        int w = cairo_image_surface_get_width(dc.surface);
        int h = cairo_image_surface_get_height(dc.surface);
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
        cairo_t* mcr = cairo_create(mask);
        cairo_set_antialias(mcr, CAIRO_ANTIALIAS_NONE);
        applyClip(mcr);
        cairo_translate(mcr, origin.x, origin.y);
        cairo_set_source_rgba(mcr, 0, 0, 0, 1);
        draw(mcr);
        cairo_destroy(mcr);
        cairo_surface_flush(mask);
        cairo_surface_flush(dc.surface);
        const unsigned char* m = cairo_image_surface_get_data(mask);
        int mstride = cairo_image_surface_get_stride(mask);
        unsigned char* d = cairo_image_surface_get_data(dc.surface);
        int dstride = cairo_image_surface_get_stride(dc.surface);
        uint32_t pen =
            (static_cast<uint32_t>(GetRValue(color)) << 16) | (GetGValue(color) << 8) | GetBValue(color);
        if (d && m) {
            for (int y = 0; y < h; ++y) {
                const unsigned char* mrow = m + static_cast<size_t>(y) * mstride;
                auto* drow = reinterpret_cast<uint32_t*>(d + static_cast<size_t>(y) * dstride);
                for (int x = 0; x < w; ++x) {
                    if (mrow[x] < 128) continue;
                    uint32_t px = drow[x];
                    drow[x] = 0xFF000000u | (ApplyRop(rop, px, pen) & 0xFFFFFF);
                }
            }
        }
        cairo_surface_mark_dirty(dc.surface);
        cairo_surface_destroy(mask);
    }
    SyncBitmapOut(dc);
}

}  // namespace qsm::gdi

using namespace qsm::gdi;

namespace {

Pt Dev(const DC& dc, int x, int y) {
    Pt p;
    ToDevice(dc, x, y, &p.x, &p.y);
    return p;
}

// A rectangle of whole device pixels (corners x0, y0 and x1, y1 in either order) filled with a colour on a
// plain raster surface, set row by row as cairo fills it without antialiasing: every pixel inside the
// rectangle and the clip, through the same fill cairo uses. False when the rectangle or the surface is of
// another kind; the caller fills then.
bool FillPixelRect(DC& dc, double x0, double y0, double x1, double y1, COLORREF color) {
    if (!dc.cr || !dc.surface || dc.baseScale != 1.0 || dc.pdf) return false;
    if (cairo_surface_get_type(dc.surface) != CAIRO_SURFACE_TYPE_IMAGE) return false;
    cairo_format_t format = cairo_image_surface_get_format(dc.surface);
    if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32) return false;
    constexpr double kLimit = 1 << 28;
    for (double v : {x0, y0, x1, y1})
        if (!(std::fabs(v) < kLimit) || v != std::floor(v)) return false;
    if (dc.bitmap && dc.bitmap->stock) return true;
    FlushBatch(dc);
    int w = cairo_image_surface_get_width(dc.surface), h = cairo_image_surface_get_height(dc.surface);
    int left = static_cast<int>(std::min(x0, x1)) + dc.origin.x,
        right = static_cast<int>(std::max(x0, x1)) + dc.origin.x;
    int top = static_cast<int>(std::min(y0, y1)) + dc.origin.y,
        bottom = static_cast<int>(std::max(y0, y1)) + dc.origin.y;
    cairo_rectangle_int_t box{std::max(left, 0), std::max(top, 0), 0, 0};
    box.width = std::min(right, w) - box.x;
    box.height = std::min(bottom, h) - box.y;
    if (box.width <= 0 || box.height <= 0) return true;
    const cairo_region_t* clip = DrawingClipOf(dc);
    int n = clip ? cairo_region_num_rectangles(clip) : 1;
    bool synced = false;
    unsigned char* data = nullptr;
    int stride = 0;
    uint32_t pixel = 0xFF000000u | (static_cast<uint32_t>(GetRValue(color)) << 16) |
                     (static_cast<uint32_t>(GetGValue(color)) << 8) | GetBValue(color);
    // The clip's rectangles do not overlap: each one's part of the box is filled.
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r = box;
        if (clip) {
            cairo_rectangle_int_t c;
            cairo_region_get_rectangle(clip, i, &c);
            int x0 = std::max(box.x, c.x), y0 = std::max(box.y, c.y);
            int x1 = std::min(box.x + box.width, c.x + c.width),
                y1 = std::min(box.y + box.height, c.y + c.height);
            if (x1 <= x0 || y1 <= y0) continue;
            r = {x0, y0, x1 - x0, y1 - y0};
        }
        if (!synced) {
            synced = true;
            SyncBitmapIn(dc);
            cairo_surface_flush(dc.surface);
            data = cairo_image_surface_get_data(dc.surface);
            stride = cairo_image_surface_get_stride(dc.surface);
        }
        pixman_fill(reinterpret_cast<uint32_t*>(data), stride / 4, 32, r.x, r.y, r.width, r.height, pixel);
    }
    if (synced) {
        cairo_surface_mark_dirty(dc.surface);
        SyncBitmapOut(dc);
    }
    return true;
}

}  // namespace

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT old) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    if (dc->recording) Record(*dc, "MoveToEx", {x, y});
    if (old) *old = dc->st.pos;
    dc->st.pos = {x, y};
    if (dc->inPath) PathMove(*dc, Dev(*dc, x, y));
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    if (dc->recording) Record(*dc, "LineTo", {x, y});
    Pt a = Dev(*dc, dc->st.pos.x, dc->st.pos.y), b = Dev(*dc, x, y);
    dc->st.pos = {x, y};
    if (dc->inPath) {
        PathLine(*dc, b);
        return TRUE;
    }
    Figures& line = ScratchFigures(*dc, 1);
    line[0].pts.push_back(a);
    line[0].pts.push_back(b);
    Stroke(*dc, line, false);
    return TRUE;
}

BOOL GetCurrentPositionEx(HDC hdc, LPPOINT out) {
    DC* dc = ToDC(hdc);
    if (!dc || !out) return FALSE;
    *out = dc->st.pos;
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
    DC* dc = ToDC(hdc);
    if (!dc || !points || count < 2) return FALSE;
    if (dc->recording) RecordPoints(*dc, "Polyline", points, count);
    auto pts = ToDevicePoints(*dc, points, count);
    if (dc->inPath) {
        PathFigure(*dc, pts, false);
        return TRUE;
    }
    Stroke(*dc, {pts}, false);
    return TRUE;
}

BOOL Polygon(HDC hdc, const POINT* points, int count) {
    DC* dc = ToDC(hdc);
    if (!dc || !points || count < 2) return FALSE;
    if (dc->recording) RecordPoints(*dc, "Polygon", points, count);
    if (dc->inPath) {
        PathFigure(*dc, ToDevicePoints(*dc, points, count), true);
        return TRUE;
    }
    Figures& shape = ScratchFigures(*dc, 1);
    std::vector<Pt>& pts = shape[0].pts;
    pts.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        ToDevice(*dc, points[i].x, points[i].y, &pts[i].x, &pts[i].y);
    FillAndStroke(*dc, shape, shape, dc->st.polyFillMode);
    return TRUE;
}

BOOL PolyBezier(HDC hdc, const POINT* points, DWORD count) {
    DC* dc = ToDC(hdc);
    if (!dc || !points || count < 4 || (count - 1) % 3 != 0) return FALSE;
    if (dc->recording) RecordPoints(*dc, "PolyBezier", points, static_cast<int>(count));
    auto pts = ToDevicePoints(*dc, points, static_cast<int>(count));
    if (dc->inPath) {
        PathMove(*dc, pts[0]);
        for (size_t i = 1; i + 2 < pts.size(); i += 3)
            dc->path.push_back({PathOp::Curve,
                                {pts[i].x, pts[i + 1].x, pts[i + 2].x},
                                {pts[i].y, pts[i + 1].y, pts[i + 2].y}});
        return TRUE;
    }
    Figure curve(std::move(pts));
    curve.curve.assign(curve.pts.size(), true);
    curve.curve[0] = false;
    Stroke(*dc, {curve}, false);
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    if (dc->recording) Record(*dc, "Rectangle", {left, top, right, bottom});
    Pt a = Dev(*dc, left, top), b = Dev(*dc, right, bottom);
    double l = std::min(a.x, b.x), r = std::max(a.x, b.x), t = std::min(a.y, b.y), bo = std::max(a.y, b.y);
    if (dc->inPath) {
        PathFigure(*dc, Figure({{l, t}, {r, t}, {r, bo}, {l, bo}}), true);
        return TRUE;
    }
    bool noPen = !dc->st.pen || dc->st.pen->LineStyle() == PS_NULL;
    // Without a pen the fill stops one pixel short on the right and bottom.
    double fr = noPen ? r - 1 : r, fb = noPen ? bo - 1 : bo;
    bool hasFill = fr > l && fb > t, hasOutline = !noPen && r - l >= 1 && bo - t >= 1;
    Figures inside{Figure({{l, t}, {fr, t}, {fr, fb}, {l, fb}})};
    Figures outline{Figure({{l, t}, {r - 1, t}, {r - 1, bo - 1}, {l, bo - 1}})};
    if (hasFill && hasOutline)
        FillAndStroke(*dc, inside, outline, ALTERNATE);
    else if (hasFill)
        Fill(*dc, inside, ALTERNATE);
    else if (hasOutline)
        Stroke(*dc, outline, true);
    return TRUE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    if (dc->recording) Record(*dc, "Ellipse", {left, top, right, bottom});
    Pt a = Dev(*dc, left, top), b = Dev(*dc, right, bottom);
    double l = std::min(a.x, b.x), t = std::min(a.y, b.y), r = std::max(a.x, b.x), bo = std::max(a.y, b.y);
    // Raster surfaces keep the polygon of GDI-like pixels; vector surfaces get the ellipse as curves.
    Figure shape = IsRaster(*dc) ? Figure(EllipsePoints(l, t, r, bo)) : EllipseCurves(l, t, r, bo);
    // Points lie on the outline's pixel centres; the stroke adds the half pixel.
    Figures outline{Shifted(shape, -0.5, -0.5)};
    if (dc->inPath) {
        PathFigure(*dc, outline[0], true);
        return TRUE;
    }
    FillAndStroke(*dc, {shape}, outline, ALTERNATE);
    return TRUE;
}

BOOL SetPixelV(HDC hdc, int x, int y, COLORREF color) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    if (dc->recording) Record(*dc, "SetPixelV", {x, y, static_cast<int32_t>(color)});
    Pt p = Dev(*dc, x, y);
    Emit(
        *dc, color,
        [&](cairo_t* cr) {
            cairo_rectangle(cr, std::floor(p.x), std::floor(p.y), 1, 1);
            PaintFill(cr, false);
        },
        false);
    return TRUE;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    DC* dc = ToDC(hdc);
    if (!dc || !dc->surface || cairo_surface_get_type(dc->surface) != CAIRO_SURFACE_TYPE_IMAGE)
        return CLR_INVALID;
    SyncBitmapIn(*dc);
    Pt p = Dev(*dc, x, y);
    int px = static_cast<int>(std::floor(p.x)) + dc->origin.x,
        py = static_cast<int>(std::floor(p.y)) + dc->origin.y;
    int w = cairo_image_surface_get_width(dc->surface), h = cairo_image_surface_get_height(dc->surface);
    if (px < 0 || py < 0 || px >= w || py >= h) return CLR_INVALID;
    cairo_surface_flush(dc->surface);
    const unsigned char* data = cairo_image_surface_get_data(dc->surface);
    uint32_t v;
    std::memcpy(&v, data + static_cast<size_t>(py) * cairo_image_surface_get_stride(dc->surface) + px * 4, 4);
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    DC* dc = ToDC(hdc);
    auto* b = ToObjectOf<Brush>(brush, OBJ_BRUSH);
    if (!dc || !rect || !b) return 0;
    if (dc->recording) Record(*dc, "FillRect", {rect->left, rect->top, rect->right, rect->bottom});
    if (b->style == BS_NULL) return 1;
    Pt a = Dev(*dc, rect->left, rect->top), c = Dev(*dc, rect->right, rect->bottom);
    if (b->style != BS_PATTERN && FillPixelRect(*dc, a.x, a.y, c.x, c.y, b->color)) return 1;
    Emit(
        *dc, b->color,
        [&](cairo_t* cr) {
            SetBrushSource(cr, *dc, *b);
            cairo_rectangle(cr, std::min(a.x, c.x), std::min(a.y, c.y), std::fabs(c.x - a.x),
                            std::fabs(c.y - a.y));
            PaintFill(cr, false);
        },
        false);
    return 1;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    DC* dc = ToDC(hdc);
    auto* b = ToObjectOf<Brush>(brush, OBJ_BRUSH);
    if (!dc || !rect || !b) return 0;
    if (dc->recording) Record(*dc, "FrameRect", {rect->left, rect->top, rect->right, rect->bottom});
    if (b->style == BS_NULL || rect->right <= rect->left || rect->bottom <= rect->top) return 1;
    Pt a = Dev(*dc, rect->left, rect->top), c = Dev(*dc, rect->right, rect->bottom);
    Emit(
        *dc, b->color,
        [&](cairo_t* cr) {
            cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
            cairo_rectangle(cr, a.x, a.y, c.x - a.x, c.y - a.y);
            if (c.x - a.x > 2 && c.y - a.y > 2)
                cairo_rectangle(cr, a.x + 1, a.y + 1, c.x - a.x - 2, c.y - a.y - 2);
            PaintFill(cr, false);
        },
        false);
    return 1;
}

BOOL GdiComment(HDC hdc, UINT size, const BYTE* data) {
    DC* dc = ToDC(hdc);
    if (!dc || (size > 0 && !data)) return FALSE;
    if (dc->recording)
        RecordText(*dc, "GdiComment", {}, reinterpret_cast<const char*>(data), static_cast<int>(size));
    return TRUE;
}

BOOL BeginPath(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    if (dc->recording) Record(*dc, "BeginPath", {});
    dc->path.clear();
    dc->inPath = true;
    dc->pathReady = false;
    return TRUE;
}

BOOL EndPath(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc || !dc->inPath) return FALSE;
    if (dc->recording) Record(*dc, "EndPath", {});
    dc->inPath = false;
    dc->pathReady = true;
    return TRUE;
}

BOOL AbortPath(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc) return FALSE;
    if (dc->recording) Record(*dc, "AbortPath", {});
    dc->inPath = dc->pathReady = false;
    dc->path.clear();
    return TRUE;
}

BOOL CloseFigure(HDC hdc) {
    DC* dc = ToDC(hdc);
    if (!dc || !dc->inPath) return FALSE;
    if (dc->recording) Record(*dc, "CloseFigure", {});
    PathClose(*dc);
    return TRUE;
}

static BOOL FinishPath(HDC hdc, bool fill, bool stroke, const char* op) {
    DC* dc = ToDC(hdc);
    if (!dc || !dc->pathReady) return FALSE;
    if (dc->recording) Record(*dc, op, {});
    Figures& figs = ScratchOf(*dc).pathFigures;
    std::vector<bool>& closed = ScratchOf(*dc).pathClosed;
    PathFigures(*dc, figs, closed);
    if (fill && stroke) {
        // A filled path closes every figure.
        FillAndStroke(*dc, figs, figs, dc->st.polyFillMode);
    } else if (fill) {
        Fill(*dc, figs, dc->st.polyFillMode);
    } else if (stroke) {
        // Closed figures are stroked closed, open ones open.
        Figures open, shut;
        for (size_t i = 0; i < figs.size(); ++i)
            (closed[i] ? shut : open).push_back(std::move(figs[i]));
        if (!shut.empty()) Stroke(*dc, shut, true);
        if (!open.empty()) Stroke(*dc, open, false);
    }
    dc->path.clear();
    dc->pathReady = false;
    return TRUE;
}
BOOL StrokePath(HDC hdc) {
    return FinishPath(hdc, false, true, "StrokePath");
}
BOOL FillPath(HDC hdc) {
    return FinishPath(hdc, true, false, "FillPath");
}
BOOL StrokeAndFillPath(HDC hdc) {
    return FinishPath(hdc, true, true, "StrokeAndFillPath");
}

// Text.

namespace {

// The metrics of the DC's last text, kept while its face, height and scale stay the same: runs of one font
// follow each other.
const FontMetricsPx& RunMetrics(DC& dc, const Font& font, double sy) {
    DC::TextMetricsKept& k = dc.textMetrics;
    // The same face: the same living object (a face made later at the same address is another one).
    const bool sameFace =
        !k.face.expired() && !k.face.owner_before(font.face) && !font.face.owner_before(k.face);
    if (!sameFace || k.height != font.lf.lfHeight || k.scale != sy) {
        k.metrics = MetricsFor(font, sy);
        k.face = font.face;
        k.height = font.lf.lfHeight;
        k.scale = sy;
    }
    return k.metrics;
}

BOOL OutputRun(DC& dc, int x, int y, UINT options, const RECT* rect, const GlyphRun& run, const INT* dx) {
    Font* font = dc.st.font;
    double sx = std::fabs(ScaleX(dc)), sy = std::fabs(ScaleY(dc));
    const FontMetricsPx m = RunMetrics(dc, *font, sy);
    // The run's own advances, or those the caller gave.
    std::vector<int> given;
    int width = run.width;
    if (dx) {
        given.resize(run.advances.size());
        width = 0;
        for (size_t i = 0; i < given.size(); ++i) {
            given[i] = static_cast<int>(std::lround(dx[i] * sx));
            width += given[i];
        }
    }
    const int* adv = dx ? given.data() : run.advances.data();
    bool updateCp = dc.st.textAlign & TA_UPDATECP;
    Pt ref = updateCp ? Dev(dc, dc.st.pos.x, dc.st.pos.y) : Dev(dc, x, y);
    double left = std::round(ref.x), base = std::round(ref.y);
    UINT h = dc.st.textAlign & TA_CENTER;
    if (h == TA_CENTER)
        left -= width / 2;
    else if (h == TA_RIGHT)
        left -= width;
    UINT v = dc.st.textAlign & TA_BASELINE;
    if (v == TA_TOP)
        base += m.ascent;
    else if (v == TA_BOTTOM)
        base -= m.descent;
    if (updateCp) {
        int logical = static_cast<int>(std::lround(width / sx));
        if (h == TA_LEFT) dc.st.pos.x += logical;
        if (h == TA_RIGHT) dc.st.pos.x -= logical;
    }
    Pt r0{}, r1{};
    if (rect) {
        r0 = Dev(dc, rect->left, rect->top);
        r1 = Dev(dc, rect->right, rect->bottom);
    }
    if (rect && (options & ETO_OPAQUE)) {
        Emit(
            dc, dc.st.bkColor,
            [&](cairo_t* cr) {
                cairo_rectangle(cr, r0.x, r0.y, r1.x - r0.x, r1.y - r0.y);
                PaintFill(cr, false);
            },
            false);
    }
    if (run.glyphs.empty()) return TRUE;
    if (dc.st.bkMode == OPAQUE) {
        Emit(
            dc, dc.st.bkColor,
            [&](cairo_t* cr) {
                if (rect && (options & ETO_CLIPPED)) {
                    ClipRect(cr, r0.x, r0.y, r1.x - r0.x, r1.y - r0.y);
                }
                cairo_rectangle(cr, left, base - m.ascent, width, m.height);
                PaintFill(cr, false);
            },
            false);
    }
    if (dc.pdf && !(rect && (options & ETO_CLIPPED))) {
        COLORREF color = dc.st.textColor;
        if (!BeginPdfEmit(dc, &color, false)) return TRUE;
        double mat[6];
        PdfMatrix(dc, dc.origin, mat);
        ShowGlyphRunPdf(dc, *font, m.ppem, run, left, base, adv, mat, PdfColor(color));
        return TRUE;
    }
    Emit(
        dc, dc.st.textColor,
        [&](cairo_t* cr) {
            if (rect && (options & ETO_CLIPPED)) {
                ClipRect(cr, r0.x, r0.y, r1.x - r0.x, r1.y - r0.y);
            }
            DrawGlyphRun(cr, *font, m.ppem, run, left, base, adv);
        },
        false);
    return TRUE;
}

Font* ReadyFont(DC& dc) {
    Font* f = dc.st.font;
    if (!f || !ResolveFont(*f)) return nullptr;
    return f;
}

}  // namespace

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int count) {
    return ExtTextOutA(hdc, x, y, 0, nullptr, text, count < 0 ? 0 : static_cast<UINT>(count), nullptr);
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count) {
    return ExtTextOutW(hdc, x, y, 0, nullptr, text, count < 0 ? 0 : static_cast<UINT>(count), nullptr);
}

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count,
                 const INT* dx) {
    DC* dc = ToDC(hdc);
    if (!dc || (count > 0 && !text)) return FALSE;
    if (dc->recording) {
        if (options == 0 && !rect && !dx)
            RecordText(*dc, "TextOutA", {x, y}, text, static_cast<int>(count));
        else
            RecordText(*dc, "ExtTextOutA", {x, y, static_cast<int32_t>(options)}, text,
                       static_cast<int>(count));
    }
    Font* f = ReadyFont(*dc);
    if (!f) return FALSE;
    if (!dc->cr) return TRUE;
    GlyphRun run = ShapeBytes(*f, std::fabs(ScaleY(*dc)), text, static_cast<int>(count));
    return OutputRun(*dc, x, y, options, rect, run, dx);
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const INT* dx) {
    DC* dc = ToDC(hdc);
    if (!dc || (count > 0 && !text)) return FALSE;
    if (dc->recording) {
        if (options == 0 && !rect && !dx)
            RecordWText(*dc, "TextOutW", {x, y}, text, static_cast<int>(count));
        else
            RecordWText(*dc, "ExtTextOutW", {x, y, static_cast<int32_t>(options)}, text,
                        static_cast<int>(count));
    }
    Font* f = ReadyFont(*dc);
    if (!f) return FALSE;
    if (!dc->cr) return TRUE;
    GlyphRun run = ShapeWide(*f, std::fabs(ScaleY(*dc)), text, static_cast<int>(count));
    return OutputRun(*dc, x, y, options, rect, run, dx);
}

static BOOL Extent(DC* dc, int width, SIZE* size) {
    double sx = std::fabs(ScaleX(*dc)), sy = std::fabs(ScaleY(*dc));
    FontMetricsPx m = MetricsFor(*dc->st.font, sy);
    size->cx = static_cast<LONG>(std::lround(width / sx));
    size->cy = static_cast<LONG>(std::lround(m.height / sy));
    return TRUE;
}

BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size) {
    DC* dc = ToDC(hdc);
    if (!dc || !size || count < 0 || (count > 0 && !text)) return FALSE;
    Font* f = ReadyFont(*dc);
    if (!f) return FALSE;
    return Extent(dc, BytesWidth(*f, std::fabs(ScaleY(*dc)), text, count), size);
}

BOOL GetTextExtentPointA(HDC hdc, LPCSTR text, int count, SIZE* size) {
    return GetTextExtentPoint32A(hdc, text, count, size);
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size) {
    DC* dc = ToDC(hdc);
    if (!dc || !size || count < 0 || (count > 0 && !text)) return FALSE;
    Font* f = ReadyFont(*dc);
    if (!f) return FALSE;
    return Extent(dc, ShapeWide(*f, std::fabs(ScaleY(*dc)), text, count).width, size);
}

BOOL GetCharWidth32A(HDC hdc, UINT first, UINT last, INT* widths) {
    DC* dc = ToDC(hdc);
    if (!dc || !widths || last < first || last > 255) return FALSE;
    for (UINT c = first; c <= last; ++c) {
        char ch = static_cast<char>(c);
        SIZE s;
        if (!GetTextExtentPoint32A(hdc, &ch, 1, &s)) return FALSE;
        widths[c - first] = s.cx;
    }
    return TRUE;
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* tm) {
    DC* dc = ToDC(hdc);
    if (!dc || !tm) return FALSE;
    Font* f = ReadyFont(*dc);
    if (!f) return FALSE;
    double sy = std::fabs(ScaleY(*dc)), sx = std::fabs(ScaleX(*dc));
    FontMetricsPx m = MetricsFor(*f, sy);
    auto ly = [&](int v) { return static_cast<LONG>(std::lround(v / sy)); };
    auto lx = [&](int v) { return static_cast<LONG>(std::lround(v / sx)); };
    *tm = TEXTMETRICA{};
    tm->tmHeight = ly(m.height);
    tm->tmAscent = ly(m.ascent);
    tm->tmDescent = ly(m.descent);
    tm->tmInternalLeading = ly(m.internalLeading);
    tm->tmExternalLeading = ly(m.externalLeading);
    tm->tmAveCharWidth = lx(m.aveCharWidth);
    tm->tmMaxCharWidth = lx(m.maxCharWidth);
    tm->tmWeight = f->lf.lfWeight ? f->lf.lfWeight : FW_NORMAL;
    tm->tmDigitizedAspectX = dc->dpiX;
    tm->tmDigitizedAspectY = dc->dpiY;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    tm->tmItalic = f->lf.lfItalic;
    tm->tmCharSet = f->lf.lfCharSet;
    tm->tmPitchAndFamily = 0x06;  // variable pitch, TrueType
    return TRUE;
}
