// PDF DCs: the drawing code builds its paths on a cairo context as for any surface; where it would paint
// them, the shape goes to the DC's PdfWriter with the context's colour, stroke settings and the DC's clip.
#include <cairo.h>

#include <cmath>
#include <cstdio>
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
}

void BeginPdfDrawing(DC& dc, const cairo_region_t* clip) {
    dc.pdfClip.clear();
    dc.pdfFillPending = false;
    if (!clip) return;
    std::vector<PdfRect> layer;
    int n = cairo_region_num_rectangles(clip);
    for (int i = 0; i < n; ++i) {
        cairo_rectangle_int_t r;
        cairo_region_get_rectangle(clip, i, &r);
        const double k = dc.baseScale;
        layer.push_back({r.x * k, r.y * k, r.width * k, r.height * k});
    }
    dc.pdfClip.push_back(std::move(layer));
}

void EndPdfDrawing(DC& dc, cairo_t* cr) {
    WritePendingFill(dc, cr);
    cairo_new_path(cr);
}

void ShowPdfGlyphs(DC& dc, cairo_t* cr, const PdfFontInfo& font, double ppem,
                   const std::vector<PdfGlyphPos>& userGlyphs, PdfWriter::OutlineFn outline, void* context) {
    WritePendingFill(dc, cr);
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    std::vector<PdfGlyphPos> glyphs = userGlyphs;
    for (PdfGlyphPos& g : glyphs)
        cairo_user_to_device(cr, &g.x, &g.y);
    dc.pdf->SetClip(dc.pdfClip);
    dc.pdf->ShowGlyphs(font, ppem * MatrixScale(ctm), SourceColor(cr), glyphs.data(), glyphs.size(), outline,
                       context);
}

}  // namespace qsm::gdi
