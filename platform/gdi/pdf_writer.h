// A PDF file written page by page: paths, fills and strokes, rectangular clips, text in fonts embedded as
// TrueType subsets of the glyphs used (Type 3 fonts of their outlines for other faces), and RGB images.
// Coordinates are device units (`unit` points each, the pixels of a printer) from the page's top-left corner,
// y downwards. Graphics state (colours, line width, cap, join, dash, clip) is written only when it changes,
// and consecutive glyphs share one text object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/font_subset.h"

namespace qsm::gdi {

class PdfDeflateJob;

struct PdfRgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const PdfRgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

struct PdfStrokeStyle {
    double width = 1;
    int cap = 0;   // 0 butt, 1 round, 2 square; -1 any (a path of closed figures only, no dashes)
    int join = 0;  // 0 miter, 1 round, 2 bevel; -1 any (figures of one straight segment each)
    std::vector<double> dash;
    bool operator==(const PdfStrokeStyle& o) const {
        return width == o.width && cap == o.cap && join == o.join && dash == o.dash;
    }
};

struct PdfRect {
    double x, y, w, h;
    bool operator==(const PdfRect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// A clip: the intersection of each of its layers, a layer being the union of its rectangles.
using PdfClip = std::vector<std::vector<PdfRect>>;

// The outline of one glyph in font units (y upwards) as PDF path operators, with its advance and box.
struct PdfGlyph {
    std::string path;
    double advance = 0;
    double box[4] = {0, 0, 0, 0};
};

// Glyphs placed on the page: glyph index, the position of its origin and the character it shows (0: none).
struct PdfGlyphPos {
    unsigned glyph;
    double x, y;
    uint32_t unicode = 0;
};

// Reads a table of a font file by its tag into `data`; false when the font has none.
using PdfFontTableFn = bool (*)(const void* context, uint32_t tag, std::string* data);

// A font as the caller knows it: `key` tells fonts apart, `name` is its PostScript name. `table` reads the
// font's tables, with `tableContext`, the first time the font is shown; a font with TrueType outlines that
// its licence lets a document embed is then embedded as a subset of its own glyphs. Other fonts, and
// `synthetic` ones (outlines made bolder or slanted), embed the outlines that `outline` gives; the advances
// of a subset's glyphs are the font's own.
struct PdfFontInfo {
    const void* key = nullptr;
    std::string name;
    double unitsPerEm = 1000;
    PdfFontTableFn table = nullptr;
    const void* tableContext = nullptr;
    // The font's glyph table where it lies in memory that stays until the file is finished: read there
    // rather than copied through `table` (empty: it is copied).
    std::string_view glyf;
    bool synthetic = false;
};

class PdfWriter {
public:
    PdfWriter() = default;
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;
    ~PdfWriter();

    // Creates the file; every page is widthPt x heightPt points, drawn in units of `unit` points. False when
    // the file cannot be made.
    bool Open(const std::string& path, double widthPt, double heightPt, double unit);
    void SetTitle(const std::u16string& title) { title_ = title; }
    // How much of a page's content gathers before a thread begins to deflate it while the rest of the page
    // is drawn (0: never; a page is then deflated once it ends). The file is the same either way.
    void SetFeedChunk(size_t bytes) { feedChunk_ = bytes ? bytes : SIZE_MAX; }

    void BeginPage();
    // Ends the page; false when the file could not be written.
    bool EndPage();
    // Ends an open page and completes the file; false when it could not be written.
    bool Finish();
    // Closes the file without completing it.
    void Abandon();

    // The clip of the following operations.
    void SetClip(const PdfClip& clip);

    // A shape: state first, then its path, then one of the painting calls.
    void SetFillColor(PdfRgb c);
    void SetStrokeColor(PdfRgb c);
    void SetStrokeStyle(const PdfStrokeStyle& s);
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3);
    void Rect(double x, double y, double w, double h);
    void ClosePath();
    void Fill(bool evenOdd);
    void Stroke();
    void FillStroke(bool evenOdd);
    void EndPathNoPaint();  // a path given up

    // Fills the current path with an image repeated every tile (width x height pixels 0x00RRGGBB, row by
    // row), its pixel (0, 0) at (originX, originY) and one pixel `pixel` points wide.
    void FillPattern(bool evenOdd, int width, int height, const uint32_t* pixels, double originX,
                     double originY, double pixel);

    // Text: a font is known by the caller's key; the writer asks for a glyph's outline once, through
    // `outline`, the first time the glyph is shown.
    using OutlineFn = bool (*)(const void* key, unsigned glyph, PdfGlyph* out, void* context);
    void ShowGlyphs(const PdfFontInfo& font, double size, PdfRgb color, const PdfGlyphPos* glyphs,
                    size_t count, OutlineFn outline, void* context);

    // An image of width x height pixels 0x00RRGGBB placed by the matrix from image pixels (x right, y down)
    // to the page.
    void DrawImage(int width, int height, const uint32_t* pixels, const double matrix[6]);

private:
    struct SubFont {
        const void* key = nullptr;  // of its font
        int object = 0;
        std::string name;
        std::vector<unsigned> glyphs;  // by code
        std::vector<PdfGlyph> outlines;
        std::vector<uint32_t> chars;
    };
    struct Font {
        double upm = 1000;
        std::string name;
        std::map<unsigned, std::pair<int, int>> codes;  // glyph -> (subfont, code)
        std::vector<int> subFonts;                      // indexes into subFonts_
        bool trueType = false;                          // embedded as subsets of the font program
        SfntTables tables;
    };

    int NewObject();
    void BeginObject(int id);
    void Write(const char* data, size_t size);
    void Write(const std::string& s) { Write(s.data(), s.size()); }
    void WriteStream(int id, const std::string& dict, const std::string& data, bool compress);
    // Writes a stream of `data`, or of `packed` (its deflated bytes, empty: none) where that is shorter.
    void WritePacked(int id, const std::string& dict, const std::string& data, const std::string& packed);
    // Whether writes go behind the queued page streams instead of into the file.
    bool Queueing() const { return !queued_.empty() && !draining_; }
    // Queues the page stream `id`, deflated by `job` (on a thread already when `threaded`).
    void QueuePageStream(int id, std::shared_ptr<PdfDeflateJob> job, bool threaded);
    // Starts a deflating thread for each queued page that has none.
    void StartDeflateThreads();
    // Gives the page's content drawn so far to a thread that deflates it while the rest is drawn, once there
    // is enough of it to be worth a thread.
    void FeedPage() {
        if (content_.size() - pageFed_ >= feedChunk_) FeedPageJob();
    }
    void FeedPageJob();
    // Writes the oldest queued streams, waiting for their deflating, until at most `keep` are left, then
    // those of the rest already deflated.
    void WriteQueued(size_t keep);
    void EndText();
    // The path being made, written when it is painted: its operators with their coordinates in hundredths
    // of a unit, as the content writes them ('m', 'l', 'c', 'r' for a rectangle, 'h').
    struct PathOp {
        char op;
        long long v[6];
    };
    void AddPathOp(char op, const double* v, int n);
    // Writes the path's operators moved by (-dx, -dy) hundredths.
    void WritePathOps(long long dx, long long dy);
    // Writes the path as it is, unpainted.
    void FlushPath();
    // Writes the path painted with `op`. A path of lines and curves is written from its first point, in a
    // translation to that point: a shape drawn in many places is then the same text each time, which
    // deflates to little.
    void PaintPath(const char* op);
    void NumHundredths(long long v);
    void Num(double v);  // to the page content
    void Op(const char* op);
    void ResetState();
    int ImageObject(int width, int height, const uint32_t* pixels);
    int WriteToUnicode(const std::vector<uint32_t>& chars);  // 0 when no code has a character
    void WriteType3Font(const Font& font, const SubFont& sf);
    // A subset's font program and its deflated bytes. The tables were found fit for a subset when the font
    // was first shown, and a subfont holds at most 256 glyphs.
    struct FontProgram {
        std::string data, packed;
    };
    void WriteTrueTypeFont(const Font& font, const SubFont& sf, const FontProgram& program);

    FILE* file_ = nullptr;
    bool failed_ = false;
    uint64_t offset_ = 0;
    std::vector<uint64_t> offsets_;  // by object number - 1
    double width_ = 0, height_ = 0, unit_ = 1;
    std::u16string title_;
    int pagesObject_ = 0, resourcesObject_ = 0;
    std::vector<int> pages_;
    bool inPage_ = false;
    std::string content_;
    size_t lastContentSize_ = 0;              // of the page before
    std::shared_ptr<PdfDeflateJob> pageJob_;  // deflating the page's content while it is drawn
    size_t pageFed_ = 0;                      // bytes of the content given to it
    bool pageUnthreaded_ = false;             // no thread could be had for this page
    size_t feedChunk_ = 8192;

    // State of the page content.
    PdfClip clip_;
    bool fillSet_ = false, strokeSet_ = false, styleSet_ = false;
    PdfRgb fill_, stroke_;
    PdfStrokeStyle style_;
    bool inText_ = false;
    std::vector<PathOp> path_;
    const SubFont* textFont_ = nullptr;
    double textSize_ = 0, textX_ = 0, textY_ = 0;

    std::map<const void*, Font> fonts_;
    std::vector<SubFont> subFonts_;
    std::vector<std::pair<std::string, int>> xobjects_;  // images: name, object
    std::vector<std::pair<std::string, int>> patterns_;

    // Page content streams being deflated on threads of their own while the next pages are drawn, and
    // what was written after each of them meanwhile: the file gets the same bytes in the same order as if
    // each page had been deflated when it ended.
    struct QueuedStream {
        int id = 0;
        std::shared_ptr<PdfDeflateJob> job;           // the content and its deflating, shared with its thread
        bool threaded = false;                        // its thread was started
        std::string after;                            // written after the stream
        std::vector<std::pair<int, size_t>> objects;  // objects beginning in `after`, at their place
    };
    std::deque<QueuedStream> queued_;
    bool draining_ = false;
};

// Appends v to out with at most `decimals` decimals, no trailing zeros and no exponent.
void AppendPdfNumber(std::string& out, double v, int decimals = 2);

}  // namespace qsm::gdi
