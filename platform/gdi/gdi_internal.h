// Objects and device-context state shared by the files of the gdi layer. Not for use outside platform/gdi.
#pragma once

#include <cairo.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "platform/gdi/pdf_writer.h"

namespace qsm::gdi {

struct Object {
    DWORD type = 0;
    bool stock = false;
    int refs = 0;  // selections in DCs and their saved states
    bool deletePending = false;
    virtual ~Object() = default;
};

struct Pen : Object {
    UINT style = PS_SOLID;  // full style word: line style, cap, join and type bits
    int width = 1;
    COLORREF color = 0;
    bool geometric = false;  // scales with the mapping; otherwise one device pixel
    int LineStyle() const { return static_cast<int>(style & PS_STYLE_MASK); }
};

struct Brush : Object {
    UINT style = BS_SOLID;
    COLORREF color = 0;
    // BS_PATTERN: patternW x patternH pixels 0x00RRGGBB, row by row; with monoPattern the pixels are 0 or
    // 0xFFFFFF and stand for the DC's text and background colours.
    int patternW = 0, patternH = 0;
    std::vector<uint32_t> pattern;
    bool monoPattern = false;
};

struct FontFace;  // a loaded font file (fonts.cc)

struct Font : Object {
    LOGFONTA lf{};
    std::shared_ptr<FontFace> face;
    std::string family;  // family of the matched font (GetTextFaceA)
    bool synthBold = false;
    bool synthItalic = false;
};

struct Bitmap : Object {
    cairo_surface_t* surface = nullptr;  // RGB24 (colour) or ARGB32
    int width = 0;
    int height = 0;
    int bitCount = 32;
    // DIB sections whose bits are not the surface's own memory are copied to and from the surface around
    // every use.
    void* bits = nullptr;
    bool ownsBits = false;
    bool direct = true;
    bool bottomUp = false;
    int stride = 0;
    std::vector<RGBQUAD> colors;
    void SyncToSurface();
    void SyncFromSurface();
    ~Bitmap() override;
};

struct Region : Object {
    cairo_region_t* rgn = nullptr;
    ~Region() override;
};

enum class DCKind { Screen, Memory, Surface, Pdf, Recording, Info };

struct PathOp {
    enum Kind { Move, Line, Curve, Close } kind;
    double x[3], y[3];
};

struct DCState {
    Pen* pen = nullptr;
    Brush* brush = nullptr;
    Font* font = nullptr;
    COLORREF textColor = 0;
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    UINT textAlign = TA_LEFT | TA_TOP;
    int rop2 = R2_COPYPEN;
    int polyFillMode = ALTERNATE;
    int mapMode = MM_TEXT;
    POINT winOrg{0, 0};
    POINT vpOrg{0, 0};
    SIZE winExt{1, 1};
    SIZE vpExt{1, 1};
    POINT pos{0, 0};
    cairo_region_t* clip = nullptr;  // application clip in device coordinates; null = none
};

// A path built as cairo builds it on a context with the matrix `m` (xx, yx, xy, yy, x0, y0), read back in
// surface units as cairo_copy_path gives it: points on cairo's 1/256 grid, a segment that goes nowhere or
// straight on from the one before merged into it, the line that closes a figure left to its closing. PDF
// DCs build their shapes here instead of on their cairo context: the file gets the same path.
class SurfacePath {
public:
    void Reset(const double m[6]);
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3);
    void ClosePath();
    // The path's elements, valid until the path changes.
    const cairo_path_t* Path();

private:
    struct Fixed {
        int32_t x, y;
        bool operator==(const Fixed&) const = default;
    };
    enum Op : uint8_t { kMove, kLine, kCurve, kClose };
    Fixed ToFixed(double x, double y) const;
    void MoveToFixed(Fixed p);
    void LineToFixed(Fixed p);
    void ApplyMove();
    void DropLine();
    Op LastOp() const { return ops_.empty() ? kClose : ops_.back(); }

    double m_[6] = {1, 0, 0, 1, 0, 0};
    std::vector<Op> ops_;
    std::vector<Fixed> points_;
    bool hasCurrent_ = false, needsMove_ = false;
    Fixed current_{0, 0}, lastMove_{0, 0};
    std::vector<cairo_path_data_t> data_;
    cairo_path_t path_{};
};

struct FontMetricsPx {
    int ascent = 0, descent = 0, height = 0, internalLeading = 0, externalLeading = 0;
    int aveCharWidth = 0, maxCharWidth = 0;
    double ppem = 0;
};

struct DrawBatch;  // shapes waiting to be drawn together (draw.cc)
struct DrawBatchDeleter {
    void operator()(DrawBatch* b) const;
};
struct DrawScratch;  // storage that drawings on a DC reuse (draw.cc)
struct DrawScratchDeleter {
    void operator()(DrawScratch* s) const;
};

struct DC {
    DCKind kind = DCKind::Screen;
    DCState st;
    std::vector<DCState> saved;
    Bitmap* bitmap = nullptr;            // memory DCs
    cairo_surface_t* surface = nullptr;  // surface drawn on (a reference is held)
    cairo_t* cr = nullptr;
    // Raster surfaces: the clip `cr` keeps between drawings, one save level down, so that drawings with
    // the same clip do not set it again (keptClip null: no clip). PDF DCs keep their base scale there.
    bool clipKept = false;
    cairo_region_t* keptClip = nullptr;
    // The clip drawings are given (EffectiveClip), kept with the application clip, system clip and origin
    // it was made from, while they stay the same.
    struct DrawingClip {
        bool valid = false;
        POINT origin{0, 0};
        cairo_region_t* clip = nullptr;
        cairo_region_t* fromClip = nullptr;
        cairo_region_t* fromSys = nullptr;
    } drawingClip;
    int dpiX = 96, dpiY = 96;
    int width = 0, height = 0;  // device size in pixels
    double baseScale = 1.0;     // device pixels to surface units (PDF DCs: half pixels)
    POINT origin{0, 0};
    cairo_region_t* sysClip = nullptr;
    bool recording = false;
    bool smooth = false;  // lines, curves and fills antialiased on raster surfaces (SetDCSmoothing)
    std::vector<GdiRecord> records;
    // Path being built between BeginPath and EndPath, in device coordinates.
    bool inPath = false;
    bool pathReady = false;
    std::vector<PathOp> path;
    // Vector surfaces: shapes of one colour and pen not drawn yet; drawn before anything else is.
    std::unique_ptr<DrawBatch, DrawBatchDeleter> batch;
    std::unique_ptr<DrawScratch, DrawScratchDeleter> scratch;
    // The metrics of the last text output, by the face, height and vertical scale they are for.
    struct TextMetricsKept {
        std::weak_ptr<FontFace> face;
        LONG height = 0;
        double scale = 0;
        FontMetricsPx metrics;
    } textMetrics;
    // Printing.
    std::string pdfPath;
    double pageWidthPt = 0, pageHeightPt = 0;
    bool docStarted = false;
    bool pageDrawn = false;
    ABORTPROC abortProc = nullptr;
    PrinterArea area;  // printable area; empty = the whole page
    PrinterJobHooks jobHooks;
    // PDF DCs: the file being written. Their cairo context draws on a recording surface that is never
    // replayed; its fills, strokes, glyphs and images go to the writer instead (pdf_surface.cc).
    std::unique_ptr<PdfWriter> pdf;
    PdfClip pdfClip;              // the clip of the drawing under way, in points
    bool pdfFillPending = false;  // a fill kept to be written with the stroke of the same path
    PdfRgb pdfFillColor;
    bool pdfFillEvenOdd = false;
    std::vector<std::shared_ptr<FontFace>> pdfFaces;  // faces whose glyphs the file embeds
    // The faces' descriptions for the file, by face and synthesis (bit 0 bold, bit 1 italic); the faces
    // are held by pdfFaces.
    struct PdfFaceInfo {
        const FontFace* face = nullptr;
        int synth = 0;
        PdfFontInfo info;
    };
    std::vector<PdfFaceInfo> pdfFaceInfos;
    // What pdfClip was made from: whether there was a clip, its rectangles and the base scale; and whether
    // a drawing added layers of its own (ClipRect).
    bool pdfClipKept = false, pdfClipOf = false, pdfClipMoved = false;
    double pdfClipScale = 0;
    std::vector<cairo_rectangle_int_t> pdfClipRects;
    SurfacePath pdfShape;  // the path of the shape being written (direct drawing)
};

// Handle tables (objects.cc).
DC* ToDC(HDC hdc);
Object* ToObject(HGDIOBJ obj);
template <class T>
T* ToObjectOf(HGDIOBJ obj, DWORD type) {
    Object* o = ToObject(obj);
    return o && o->type == type ? static_cast<T*>(o) : nullptr;
}
HGDIOBJ Register(Object* obj);
// Slots the handle table holds over all its sizes: bounded by the most objects ever alive at once, not by
// how many came and went.
size_t ObjectTableSlots();
HDC RegisterDC(DC* dc);
void AddRef(Object* obj);
void Release(Object* obj);
void InitDCObjects(DC* dc);
void ReleaseState(DCState& st);
void RetainState(DCState& st);

// The colour (0x00RRGGBB) of a brush at a device pixel of the DC (relative to the DC's device origin).
inline uint32_t BrushPixel(const Brush& b, const DCState& st, int x, int y) {
    auto rgb = [](COLORREF c) {
        return (static_cast<uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    };
    if (b.style != BS_PATTERN || b.patternW <= 0 || b.patternH <= 0) return rgb(b.color);
    int px = ((x % b.patternW) + b.patternW) % b.patternW, py = ((y % b.patternH) + b.patternH) % b.patternH;
    uint32_t v = b.pattern[static_cast<size_t>(py * b.patternW + px)];
    if (b.monoPattern) return rgb(v ? st.bkColor : st.textColor);
    return v;
}

// Coordinates (dc.cc).
double ScaleX(const DC& dc);
double ScaleY(const DC& dc);
void ToDevice(const DC& dc, double lx, double ly, double* dx, double* dy);
void SetDCSurface(DC& dc, cairo_surface_t* surface);

// Drawing helpers (draw.cc).
void SyncBitmapIn(DC& dc);
void SyncBitmapOut(DC& dc);
// Takes the clip kept on the DC's cairo context off it.
void DropKeptClip(DC& dc);
// Runs draw on the DC's cairo context with the clip and base scale in force, in source colour `color`, or
// through the raster operation when one other than R2_COPYPEN is selected. Skips when nothing can show.
void Emit(DC& dc, COLORREF color, const std::function<void(cairo_t*)>& draw, bool useRop = true);
// Emit with a given clip (surface pixels, null = none), device origin and raster operation.
void EmitIn(DC& dc, const cairo_region_t* clip, POINT origin, COLORREF color,
            const std::function<void(cairo_t*)>& draw, int rop = R2_COPYPEN);
// Draws the shapes that wait in the DC's batch, if any. Everything that draws on the DC's surface or ends
// its page calls this first, so that shapes keep their order.
void FlushBatch(DC& dc);
cairo_region_t* EffectiveClip(const DC& dc);  // in surface pixels, caller destroys; null = unclipped
// EffectiveClip kept by the DC: valid until the DC's clip or origin changes.
const cairo_region_t* DrawingClipOf(DC& dc);
void ForgetDrawingClip(DC& dc);

// Recording (record.cc).
void Record(DC& dc, const char* op, std::initializer_list<int32_t> args);
void RecordPoints(DC& dc, const char* op, const POINT* pts, int count);
void RecordText(DC& dc, const char* op, std::initializer_list<int32_t> args, const char* text, int count);
void RecordWText(DC& dc, const char* op, std::initializer_list<int32_t> args, const char16_t* text,
                 int count);

// PDF DCs (pdf_surface.cc). Drawing code calls these in place of cairo's painting calls: on a PDF DC's
// context they write to its file, on any other context they are cairo's own.
DC* PdfDCOf(cairo_t* cr);   // null unless cr is a PDF DC's context
bool StartPdfFile(DC& dc);  // makes the writer and the context for dc.pdfPath
void PaintFill(cairo_t* cr, bool preserve);
void PaintStroke(cairo_t* cr);
void PaintSource(cairo_t* cr);                                                // cairo_paint of an image
void ClipRect(cairo_t* cr, double x, double y, double width, double height);  // cairo_rectangle + cairo_clip
// Around the drawing function of EmitIn on a PDF DC: the clip region (surface pixels) in force, and the
// end of the drawing.
void BeginPdfDrawing(DC& dc, const cairo_region_t* clip);
void EndPdfDrawing(DC& dc, cairo_t* cr);
// Glyphs at user-space origins of a drawing with the matrix m, in a face drawn at `ppem` user units.
void ShowPdfGlyphs(DC& dc, const PdfFontInfo& font, double ppem, const PdfGlyphPos* glyphs, size_t count,
                   const double m[6], PdfRgb color, PdfWriter::OutlineFn outline, void* context);
// The matrix (xx, yx, xy, yy, x0, y0) and source colour of a drawing on a PDF DC's context, after what it
// left to be written before its glyphs.
void PdfGlyphTarget(DC& dc, cairo_t* cr, double m[6], PdfRgb* color);

// Drawing on a PDF DC straight to its file, with the steps of EmitIn and the painting calls but without
// cairo: the file gets the same bytes. BeginPdfShape starts a drawing with the clip (surface pixels, null:
// none) and origin (false: nothing can show) and readies dc.pdfShape for its points in device pixels, as
// cairo's context would have them; WritePdfShape then writes the path filled, stroked or both.
struct PdfShapePaint {
    bool fill = false;
    PdfRgb fillColor;
    bool evenOdd = false;
    bool stroke = false;
    PdfRgb strokeColor;
    double width = 1;  // surface units
    int cap = 0;       // 0 butt, 1 round, 2 square
    int join = 0;      // 0 miter, 1 round, 2 bevel
};
void PdfMatrix(const DC& dc, POINT origin, double m[6]);
bool BeginPdfShape(DC& dc, const cairo_region_t* clip, POINT origin);
void WritePdfShape(DC& dc, const PdfShapePaint& paint);
inline PdfRgb PdfColor(COLORREF c) {
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// A vector of trivially copied values with room for N of them in itself.
template <class T, size_t N>
class InlineVector {
public:
    InlineVector() = default;
    InlineVector(const InlineVector& o) { Append(o.data_, o.size_); }
    InlineVector& operator=(const InlineVector& o) {
        if (this != &o) {
            size_ = 0;
            Append(o.data_, o.size_);
        }
        return *this;
    }
    InlineVector(InlineVector&& o) noexcept { Take(o); }
    InlineVector& operator=(InlineVector&& o) noexcept {
        if (this != &o) {
            Free();
            Take(o);
        }
        return *this;
    }
    ~InlineVector() { Free(); }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }
    void reserve(size_t n) {
        if (n > capacity_) Grow(n);
    }
    void push_back(const T& v) {
        if (size_ == capacity_) Grow(2 * capacity_);
        data_[size_++] = v;
    }

private:
    void Append(const T* p, size_t n) {
        reserve(size_ + n);
        std::copy(p, p + n, data_ + size_);
        size_ += n;
    }
    void Grow(size_t n) {
        T* p = new T[n];
        std::copy(data_, data_ + size_, p);
        Free();
        data_ = p;
        capacity_ = n;
    }
    void Free() {
        if (data_ != local_) delete[] data_;
        data_ = local_;
        capacity_ = N;
    }
    void Take(InlineVector& o) {
        size_ = o.size_;
        if (o.data_ == o.local_) {
            std::copy(o.local_, o.local_ + o.size_, local_);
        } else {
            data_ = o.data_;
            capacity_ = o.capacity_;
            o.data_ = o.local_;
            o.capacity_ = N;
        }
        o.size_ = 0;
    }

    T local_[N];
    T* data_ = local_;
    size_t size_ = 0, capacity_ = N;
};

// Fonts (fonts.cc).
struct GlyphRun {
    // Runs are mostly a symbol or a short word.
    InlineVector<unsigned long, 8> glyphs;
    InlineVector<int, 8> advances;    // device pixels
    InlineVector<uint32_t, 8> chars;  // the character each glyph shows (for the text of PDF files)
    int width = 0;                    // sum of the advances
};
bool ResolveFont(Font& font);
FontMetricsPx MetricsFor(const Font& font, double deviceScaleY);
GlyphRun ShapeBytes(const Font& font, double deviceScaleY, const char* text, int count);
GlyphRun ShapeWide(const Font& font, double deviceScaleY, const char16_t* text, int count);
// ShapeBytes(...).width, without the run.
int BytesWidth(const Font& font, double deviceScaleY, const char* text, int count);
void DrawGlyphRun(cairo_t* cr, const Font& font, double ppem, const GlyphRun& run, double x, double y,
                  const int* deviceAdvances);
// DrawGlyphRun on a PDF DC, with the drawing's matrix (xx, yx, xy, yy, x0, y0) and text colour.
void ShowGlyphRunPdf(DC& dc, const Font& font, double ppem, const GlyphRun& run, double x, double y,
                     const int* deviceAdvances, const double m[6], PdfRgb color);
Font* DefaultFont();

}  // namespace qsm::gdi
