// PDF DCs: the drawing code builds its paths on a cairo context as for any surface; where it would paint
// them, the shape goes to the DC's PdfWriter with the context's colour, stroke settings and the DC's clip.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/gdi/gdi_internal.h"

namespace qsm::gdi {

namespace {

cairo_user_data_key_t g_pdfKey;

PdfRgb ToRgb(double r, double g, double b) {
    auto byte = [](double v) {
        long c = std::lround(v * 255.0);
        return static_cast<uint8_t>(c < 0 ? 0 : c > 255 ? 255 : c);
    };
    return {byte(r), byte(g), byte(b)};
}

PdfRgb SourceColor(cairo_t* cr) {
    double r = 0, g = 0, b = 0, a = 1;
    if (cairo_pattern_get_rgba(cairo_get_source(cr), &r, &g, &b, &a) != CAIRO_STATUS_SUCCESS) return {};
    return ToRgb(r, g, b);
}

// The context's path in surface units; the caller destroys it.
cairo_path_t* DevicePath(cairo_t* cr) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    cairo_identity_matrix(cr);
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_set_matrix(cr, &m);
    return path;
}

// What a stroke of the path can show of the pen: ends to cap (a figure left open) and corners to join (a
// figure of more than one segment, or a closed one).
struct PathShape {
    bool ends = false;
    bool corners = false;
};

PathShape ShapeOf(const cairo_path_t* path) {
    PathShape shape;
    if (path->status != CAIRO_STATUS_SUCCESS) return {true, true};
    bool open = false;
    int segments = 0;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        switch (path->data[i].header.type) {
            case CAIRO_PATH_MOVE_TO:
                shape.ends = shape.ends || open;
                open = false;
                segments = 0;
                break;
            case CAIRO_PATH_CLOSE_PATH:
                shape.corners = shape.corners || segments > 0;
                open = false;
                break;
            case CAIRO_PATH_CURVE_TO:
                shape.corners = true;  // a curve's own turns are joined too
                [[fallthrough]];
            default:
                open = true;
                if (++segments > 1) shape.corners = true;
                break;
        }
    }
    shape.ends = shape.ends || open;
    return shape;
}

// The path as path operators. False when it has no segment; what was written of it is then ended without
// painting, so that no open path stays in the content. `anyStart`: a closed figure may start at any of its
// corners (the path is filled, or stroked without dashes).
bool WritePathData(PdfWriter& w, const cairo_path_t* path, bool anyStart) {
    bool any = false;
    bool written = false;
    if (path->status == CAIRO_STATUS_SUCCESS) {
        const cairo_path_data_t* d = path->data;
        int n = path->num_data;
        for (int i = 0; i < n; i += d[i].header.length) {
            const cairo_path_data_t& h = d[i];
            switch (h.header.type) {
                case CAIRO_PATH_MOVE_TO: {
                    // A move that starts nothing (cairo adds one after each closing).
                    int next = i + h.header.length;
                    if (next >= n || d[next].header.type == CAIRO_PATH_MOVE_TO) break;
                    // Four sides of an upright rectangle closed: the short form.
                    if (next + 8 <= n && d[next].header.type == CAIRO_PATH_LINE_TO &&
                        d[next + 2].header.type == CAIRO_PATH_LINE_TO &&
                        d[next + 4].header.type == CAIRO_PATH_LINE_TO &&
                        d[next + 6].header.type == CAIRO_PATH_CLOSE_PATH) {
                        double x0 = d[i + 1].point.x, y0 = d[i + 1].point.y;
                        double x1 = d[next + 1].point.x, y1 = d[next + 1].point.y;
                        double x2 = d[next + 3].point.x, y2 = d[next + 3].point.y;
                        double x3 = d[next + 5].point.x, y3 = d[next + 5].point.y;
                        // The short form goes along x first: a rectangle that goes along y first is the same
                        // cycle of corners from its second one on (same winding), where its start does not
                        // matter (no dashes).
                        bool alongX = y0 == y1 && x1 == x2 && y2 == y3 && x3 == x0;
                        bool alongY = anyStart && x0 == x1 && y1 == y2 && x2 == x3 && y3 == y0;
                        if ((alongX || alongY) && x0 != x2 && y0 != y2) {
                            if (alongX)
                                w.Rect(x0, y0, x2 - x0, y2 - y0);
                            else
                                w.Rect(x1, y1, x2 - x1, y0 - y1);
                            any = true;
                            i = next + 6;  // the closing follows; the loop steps over it
                            break;
                        }
                    }
                    w.MoveTo(d[i + 1].point.x, d[i + 1].point.y);
                    written = true;
                    break;
                }
                case CAIRO_PATH_LINE_TO:
                    w.LineTo(d[i + 1].point.x, d[i + 1].point.y);
                    any = true;
                    break;
                case CAIRO_PATH_CURVE_TO:
                    w.CurveTo(d[i + 1].point.x, d[i + 1].point.y, d[i + 2].point.x, d[i + 2].point.y,
                              d[i + 3].point.x, d[i + 3].point.y);
                    any = true;
                    break;
                case CAIRO_PATH_CLOSE_PATH:
                    w.ClosePath();
                    written = true;
                    break;
            }
        }
    }
    if (written && !any) w.EndPathNoPaint();
    return any;
}

bool WritePath(PdfWriter& w, cairo_t* cr) {
    cairo_path_t* path = DevicePath(cr);
    bool any = WritePathData(w, path, true);
    cairo_path_destroy(path);
    return any;
}

double MatrixScale(const cairo_matrix_t& m) {
    return std::sqrt(std::fabs(m.xx * m.yy - m.xy * m.yx));
}

// The transformation from the source pattern's space to the surface.
cairo_matrix_t PatternToSurface(cairo_t* cr, cairo_pattern_t* pattern) {
    cairo_matrix_t p, ctm, out;
    cairo_pattern_get_matrix(pattern, &p);
    if (cairo_matrix_invert(&p) != CAIRO_STATUS_SUCCESS) cairo_matrix_init_identity(&p);
    cairo_get_matrix(cr, &ctm);
    cairo_matrix_multiply(&out, &p, &ctm);
    return out;
}

// The pixels of an image surface as 0x00RRGGBB; false for other surfaces.
bool ImagePixels(cairo_surface_t* s, int* width, int* height, std::vector<uint32_t>* pixels) {
    if (!s || cairo_surface_get_type(s) != CAIRO_SURFACE_TYPE_IMAGE) return false;
    cairo_format_t format = cairo_image_surface_get_format(s);
    if (format != CAIRO_FORMAT_RGB24 && format != CAIRO_FORMAT_ARGB32) return false;
    cairo_surface_flush(s);
    *width = cairo_image_surface_get_width(s);
    *height = cairo_image_surface_get_height(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    if (!data || *width <= 0 || *height <= 0) return false;
    pixels->resize(static_cast<size_t>(*width) * *height);
    for (int y = 0; y < *height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < *width; ++x)
            (*pixels)[static_cast<size_t>(y) * *width + x] = row[x] & 0xFFFFFF;
    }
    return true;
}

void WritePendingFill(DC& dc, cairo_t* cr) {
    if (!dc.pdfFillPending) return;
    dc.pdfFillPending = false;
    PdfWriter& w = *dc.pdf;
    w.SetClip(dc.pdfClip);
    w.SetFillColor(dc.pdfFillColor);
    if (WritePath(w, cr)) w.Fill(dc.pdfFillEvenOdd);
}

}  // namespace

SurfacePath::Fixed SurfacePath::ToFixed(double x, double y) const {
    // The context's matrix as cairo applies it, then cairo's rounding to 24.8 fixed point: the sum with
    // 1.5 * 2^44 leaves the value in 256ths, rounded to the nearest (ties to even), in its low 32 bits.
    const double dx = (m_[0] * x + m_[2] * y) + m_[4];
    const double dy = (m_[1] * x + m_[3] * y) + m_[5];
    constexpr double kMagic = 1.5 * static_cast<double>(1LL << 44);
    auto fixed = [](double v) {
        const double t = v + kMagic;
        uint64_t bits;
        std::memcpy(&bits, &t, sizeof bits);
        return static_cast<int32_t>(static_cast<uint32_t>(bits));
    };
    return {fixed(dx), fixed(dy)};
}

void SurfacePath::Reset(const double m[6]) {
    std::copy(m, m + 6, m_);
    ops_.clear();
    points_.clear();
    hasCurrent_ = needsMove_ = false;
    current_ = lastMove_ = {0, 0};
}

void SurfacePath::MoveToFixed(Fixed p) {
    // A figure's move is written only when a segment follows it.
    needsMove_ = true;
    hasCurrent_ = true;
    current_ = lastMove_ = p;
}

void SurfacePath::ApplyMove() {
    if (!needsMove_) return;
    needsMove_ = false;
    lastMove_ = current_;
    ops_.push_back(kMove);
    points_.push_back(current_);
}

void SurfacePath::DropLine() {
    ops_.pop_back();
    points_.pop_back();
}

void SurfacePath::LineToFixed(Fixed p) {
    if (!hasCurrent_) {
        MoveToFixed(p);
        return;
    }
    ApplyMove();
    if (LastOp() != kMove && p == current_) return;
    if (LastOp() == kLine) {
        const Fixed before = points_[points_.size() - 2];
        if (before == current_) {
            DropLine();
        } else {
            // The same direction as the line before: that line is extended instead.
            const int32_t ax = current_.x - before.x, ay = current_.y - before.y;
            const int32_t bx = p.x - current_.x, by = p.y - current_.y;
            const bool sameSlope = static_cast<int64_t>(ay) * bx == static_cast<int64_t>(by) * ax;
            const bool backwards = ((ax ^ bx) | (ay ^ by)) < 0;
            if (sameSlope && !backwards) DropLine();
        }
    }
    ops_.push_back(kLine);
    points_.push_back(p);
    current_ = p;
}

void SurfacePath::MoveTo(double x, double y) {
    MoveToFixed(ToFixed(x, y));
}

void SurfacePath::LineTo(double x, double y) {
    LineToFixed(ToFixed(x, y));
}

void SurfacePath::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
    const Fixed p0 = ToFixed(x1, y1), p1 = ToFixed(x2, y2), p2 = ToFixed(x3, y3);
    if (current_ == p2 && p1 == p2 && p0 == p2) {
        LineToFixed(p2);
        return;
    }
    if (!hasCurrent_) MoveToFixed(p0);
    ApplyMove();
    if (LastOp() == kLine && points_[points_.size() - 2] == current_) DropLine();
    ops_.push_back(kCurve);
    points_.insert(points_.end(), {p0, p1, p2});
    current_ = p2;
}

void SurfacePath::ClosePath() {
    if (!hasCurrent_) return;
    LineToFixed(lastMove_);
    if (LastOp() == kLine) DropLine();
    needsMove_ = true;
    ops_.push_back(kClose);
}

const cairo_path_t* SurfacePath::Path() {
    // Every element is a header and its points; a path that ends with a closing gets the move cairo adds
    // after it.
    data_.resize(ops_.size() + points_.size() + 2);
    cairo_path_data_t* d = data_.data();
    const Fixed* p = points_.data();
    auto header = [&d](cairo_path_data_type_t type, int length) {
        d->header.type = type;
        d->header.length = length;
        ++d;
    };
    auto point = [&d](Fixed f) {
        d->point.x = f.x / 256.0;
        d->point.y = f.y / 256.0;
        ++d;
    };
    for (Op op : ops_) {
        switch (op) {
            case kMove:
                header(CAIRO_PATH_MOVE_TO, 2);
                point(*p++);
                break;
            case kLine:
                header(CAIRO_PATH_LINE_TO, 2);
                point(*p++);
                break;
            case kCurve:
                header(CAIRO_PATH_CURVE_TO, 4);
                point(*p++);
                point(*p++);
                point(*p++);
                break;
            case kClose:
                header(CAIRO_PATH_CLOSE_PATH, 1);
                break;
        }
    }
    if (needsMove_ && hasCurrent_) {
        header(CAIRO_PATH_MOVE_TO, 2);
        point(current_);
    }
    path_.status = CAIRO_STATUS_SUCCESS;
    path_.data = data_.data();
    path_.num_data = static_cast<int>(d - data_.data());
    return &path_;
}

DC* PdfDCOf(cairo_t* cr) {
    return static_cast<DC*>(cairo_get_user_data(cr, &g_pdfKey));
}

bool StartPdfFile(DC& dc) {
    auto writer = std::make_unique<PdfWriter>();
    // Drawn in the DC's surface units (device pixels times the base scale): the file scales them to points
    // once per page.
    if (!writer->Open(dc.pdfPath, dc.pageWidthPt, dc.pageHeightPt, 72.0 / dc.dpiX / dc.baseScale))
        return false;
    // An unbounded recording surface: it keeps cairo's clip and paths unlimited by any page size and is
    // never replayed.
    cairo_surface_t* s = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        writer->Abandon();
        std::remove(dc.pdfPath.c_str());
        return false;
    }
    SetDCSurface(dc, s);
    cairo_surface_destroy(s);
    cairo_set_user_data(dc.cr, &g_pdfKey, &dc, nullptr);
    dc.pdf = std::move(writer);
    return true;
}

void PaintFill(cairo_t* cr, bool preserve) {
    DC* dc = PdfDCOf(cr);
    if (!dc || !dc->pdf) {
        preserve ? cairo_fill_preserve(cr) : cairo_fill(cr);
        return;
    }
    WritePendingFill(*dc, cr);
    PdfWriter& w = *dc->pdf;
    bool evenOdd = cairo_get_fill_rule(cr) == CAIRO_FILL_RULE_EVEN_ODD;
    cairo_pattern_t* source = cairo_get_source(cr);
    cairo_surface_t* tile = nullptr;
    if (cairo_pattern_get_type(source) == CAIRO_PATTERN_TYPE_SURFACE &&
        cairo_pattern_get_surface(source, &tile) == CAIRO_STATUS_SUCCESS) {
        int tw = 0, th = 0;
        std::vector<uint32_t> pixels;
        if (ImagePixels(tile, &tw, &th, &pixels)) {
            cairo_matrix_t m = PatternToSurface(cr, source);
            w.SetClip(dc->pdfClip);
            if (WritePath(w, cr)) w.FillPattern(evenOdd, tw, th, pixels.data(), m.x0, m.y0, m.xx);
        }
        if (!preserve) cairo_new_path(cr);
        return;
    }
    if (preserve) {
        dc->pdfFillPending = true;
        dc->pdfFillColor = SourceColor(cr);
        dc->pdfFillEvenOdd = evenOdd;
        return;
    }
    w.SetClip(dc->pdfClip);
    w.SetFillColor(SourceColor(cr));
    if (WritePath(w, cr)) w.Fill(evenOdd);
    cairo_new_path(cr);
}

void PaintStroke(cairo_t* cr) {
    DC* dc = PdfDCOf(cr);
    if (!dc || !dc->pdf) {
        cairo_stroke(cr);
        return;
    }
    PdfWriter& w = *dc->pdf;
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    double scale = MatrixScale(ctm);
    PdfStrokeStyle style;
    style.width = cairo_get_line_width(cr) * scale;
    switch (cairo_get_line_cap(cr)) {
        case CAIRO_LINE_CAP_ROUND:
            style.cap = 1;
            break;
        case CAIRO_LINE_CAP_SQUARE:
            style.cap = 2;
            break;
        default:
            style.cap = 0;
            break;
    }
    switch (cairo_get_line_join(cr)) {
        case CAIRO_LINE_JOIN_ROUND:
            style.join = 1;
            break;
        case CAIRO_LINE_JOIN_BEVEL:
            style.join = 2;
            break;
        default:
            style.join = 0;
            break;
    }
    if (int n = cairo_get_dash_count(cr); n > 0) {
        style.dash.resize(static_cast<size_t>(n));
        double offset = 0;
        cairo_get_dash(cr, style.dash.data(), &offset);
        for (double& v : style.dash)
            v *= scale;
    }
    cairo_path_t* path = DevicePath(cr);
    PathShape shape = ShapeOf(path);
    if (style.dash.empty() && !shape.ends) style.cap = -1;
    if (!shape.corners) style.join = -1;
    bool fill = dc->pdfFillPending;
    dc->pdfFillPending = false;
    w.SetClip(dc->pdfClip);
    if (fill) w.SetFillColor(dc->pdfFillColor);
    w.SetStrokeColor(SourceColor(cr));
    w.SetStrokeStyle(style);
    if (WritePathData(w, path, style.dash.empty())) {
        if (fill)
            w.FillStroke(dc->pdfFillEvenOdd);
        else
            w.Stroke();
    }
    cairo_path_destroy(path);
    cairo_new_path(cr);
}

void PaintSource(cairo_t* cr) {
    DC* dc = PdfDCOf(cr);
    if (!dc || !dc->pdf) {
        cairo_paint(cr);
        return;
    }
    WritePendingFill(*dc, cr);
    PdfWriter& w = *dc->pdf;
    cairo_pattern_t* source = cairo_get_source(cr);
    w.SetClip(dc->pdfClip);
    cairo_surface_t* image = nullptr;
    if (cairo_pattern_get_type(source) == CAIRO_PATTERN_TYPE_SURFACE &&
        cairo_pattern_get_surface(source, &image) == CAIRO_STATUS_SUCCESS) {
        int iw = 0, ih = 0;
        std::vector<uint32_t> pixels;
        if (!ImagePixels(image, &iw, &ih, &pixels)) return;
        cairo_matrix_t m = PatternToSurface(cr, source);
        const double matrix[6] = {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
        w.DrawImage(iw, ih, pixels.data(), matrix);
        return;
    }
    // A colour over everything the clip lets through.
    w.SetFillColor(SourceColor(cr));
    w.Rect(0, 0, dc->width * dc->baseScale, dc->height * dc->baseScale);
    w.Fill(false);
}

void ClipRect(cairo_t* cr, double x, double y, double width, double height) {
    DC* dc = PdfDCOf(cr);
    if (!dc || !dc->pdf) {
        cairo_rectangle(cr, x, y, width, height);
        cairo_clip(cr);
        return;
    }
    double x0 = x, y0 = y, x1 = x + width, y1 = y + height;
    cairo_user_to_device(cr, &x0, &y0);
    cairo_user_to_device(cr, &x1, &y1);
    dc->pdfClip.push_back(
        {PdfRect{std::min(x0, x1), std::min(y0, y1), std::fabs(x1 - x0), std::fabs(y1 - y0)}});
    dc->pdfClipMoved = true;
}

void BeginPdfDrawing(DC& dc, const cairo_region_t* clip) {
    dc.pdfFillPending = false;
    // Drawings follow each other mostly with the same clip: its layer is made again only when it changed.
    const int n = clip ? cairo_region_num_rectangles(clip) : 0;
    bool same = !dc.pdfClipMoved && dc.pdfClipKept && dc.pdfClipOf == (clip != nullptr) &&
                dc.pdfClipScale == dc.baseScale && dc.pdfClipRects.size() == static_cast<size_t>(n);
    for (int i = 0; same && i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(clip, i, &r);
        const cairo_rectangle_int_t& k = dc.pdfClipRects[static_cast<size_t>(i)];
        same = r.x == k.x && r.y == k.y && r.width == k.width && r.height == k.height;
    }
    if (same) return;
    dc.pdfClip.clear();
    dc.pdfClipRects.clear();
    dc.pdfClipMoved = false;
    dc.pdfClipKept = true;
    dc.pdfClipOf = clip != nullptr;
    dc.pdfClipScale = dc.baseScale;
    if (!clip) return;
    std::vector<PdfRect> layer;
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(clip, i, &r);
        dc.pdfClipRects.push_back(r);
        const double k = dc.baseScale;
        layer.push_back({r.x * k, r.y * k, r.width * k, r.height * k});
    }
    dc.pdfClip.push_back(std::move(layer));
}

void EndPdfDrawing(DC& dc, cairo_t* cr) {
    WritePendingFill(dc, cr);
    cairo_new_path(cr);
}

void PdfGlyphTarget(DC& dc, cairo_t* cr, double m[6], PdfRgb* color) {
    WritePendingFill(dc, cr);
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    const double values[6] = {ctm.xx, ctm.yx, ctm.xy, ctm.yy, ctm.x0, ctm.y0};
    std::copy(values, values + 6, m);
    *color = SourceColor(cr);
}

void ShowPdfGlyphs(DC& dc, const PdfFontInfo& font, double ppem, const PdfGlyphPos* userGlyphs, size_t count,
                   const double m[6], PdfRgb color, PdfWriter::OutlineFn outline, void* context) {
    // Runs are mostly a glyph or two.
    PdfGlyphPos local[16];
    std::vector<PdfGlyphPos> heap;
    PdfGlyphPos* glyphs = local;
    if (count > std::size(local)) {
        heap.resize(count);
        glyphs = heap.data();
    }
    for (size_t i = 0; i < count; ++i) {
        // As cairo_user_to_device takes them.
        const double x = userGlyphs[i].x, y = userGlyphs[i].y;
        glyphs[i] = userGlyphs[i];
        glyphs[i].x = (m[0] * x + m[2] * y) + m[4];
        glyphs[i].y = (m[1] * x + m[3] * y) + m[5];
    }
    const double scale = std::sqrt(std::fabs(m[0] * m[3] - m[2] * m[1]));
    dc.pdf->SetClip(dc.pdfClip);
    dc.pdf->ShowGlyphs(font, ppem * scale, color, glyphs, count, outline, context);
}

void PdfMatrix(const DC& dc, POINT origin, double m[6]) {
    // The base scale that stays on the context, and the origin's translation above it, multiplied as cairo
    // multiplies them.
    const double k = dc.baseScale;
    m[0] = k, m[1] = 0, m[2] = 0, m[3] = k, m[4] = 0, m[5] = 0;
    if (origin.x != 0 || origin.y != 0) {
        const double tx = origin.x, ty = origin.y;
        m[4] = tx * k + ty * 0.0 + 0.0;
        m[5] = tx * 0.0 + ty * k + 0.0;
    }
}

bool BeginPdfShape(DC& dc, const cairo_region_t* clip, POINT origin) {
    if (!dc.cr || (dc.bitmap && dc.bitmap->stock)) return false;
    if (clip && cairo_region_is_empty(clip)) return false;
    BeginPdfDrawing(dc, clip);
    double m[6];
    PdfMatrix(dc, origin, m);
    dc.pdfShape.Reset(m);
    return true;
}

void WritePdfShape(DC& dc, const PdfShapePaint& paint) {
    PdfWriter& w = *dc.pdf;
    const cairo_path_t* path = dc.pdfShape.Path();
    w.SetClip(dc.pdfClip);
    if (!paint.stroke) {
        w.SetFillColor(paint.fillColor);
        if (WritePathData(w, path, true)) w.Fill(paint.evenOdd);
        return;
    }
    PdfStrokeStyle style;
    style.width = paint.width;
    style.cap = paint.cap;
    style.join = paint.join;
    PathShape shape = ShapeOf(path);
    if (!shape.ends) style.cap = -1;
    if (!shape.corners) style.join = -1;
    if (paint.fill) w.SetFillColor(paint.fillColor);
    w.SetStrokeColor(paint.strokeColor);
    w.SetStrokeStyle(style);
    if (WritePathData(w, path, true)) {
        if (paint.fill)
            w.FillStroke(paint.evenOdd);
        else
            w.Stroke();
    }
}

}  // namespace qsm::gdi
